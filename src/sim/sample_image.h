#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/sim_raw_image.h"

namespace bb::sim {

// The sample firmware that the examples and a fresh simulated camera carry:
// a firmware part and resources in both groups, made up here so that they can
// be made again.
ImageContent SampleImageContent();

// Reproducible filler bytes for made-up images.
std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t seed);

// The sample parameter file (text) and ISP core image.
std::vector<std::uint8_t> SampleParameterFile();
std::vector<std::uint8_t> SampleIspCore();

}  // namespace bb::sim

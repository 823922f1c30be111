#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "sim/sim_camera.h"
#include "sim/sim_request.h"
#include "support/test_host.h"

namespace bb::test {

// What a camera received, as the camera sees it: each vendor request with the
// data sent to it or answered, each bulk-out transfer's size, and the memory
// and storage it ended with. Request blocks and I/O control codes stay out:
// they are the driver's business, not the camera's.
struct CameraIntake {
  std::vector<std::string> requests;
  std::vector<std::uint32_t> bulkOutSizes;
  std::map<std::uint32_t, std::vector<std::uint8_t>> ram;
  std::map<std::uint32_t, std::vector<std::uint8_t>> storage;

  friend bool operator==(const CameraIntake&, const CameraIntake&) = default;
};

// For GoogleTest: the requests line by line, the bulk sizes, and the memory
// regions by address and size.
void PrintTo(const CameraIntake& intake, std::ostream* out);

std::vector<std::string> DescribeRequests(const std::vector<sim::SimRequest>& requests);
CameraIntake IntakeOf(const std::vector<sim::SimRequest>& requests, const std::vector<std::uint32_t>& bulkOutSizes,
                      const sim::SimCamera& camera);

// The reference: the same command against a fresh simulated camera in this
// process, on the simulated bus and a virtual clock, as `--simulate` runs it.
// `drive` does what the command-line program does for the command; the job's
// files are those of `folder`.
CameraIntake ReferenceIntake(const std::string& folder, bool legacy, const std::function<void(TestHost&)>& drive);

}  // namespace bb::test

#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace bb {

// Opens a regular file for binary reading; its size, or nullopt when it cannot
// be opened or is not a regular file (a folder, a FIFO, a device), which is
// refused without blocking.
std::optional<std::uint64_t> OpenForReading(const std::string& path, std::ifstream& file);

// Reads exactly `count` bytes; false when the file delivered fewer.
bool ReadExactly(std::ifstream& file, std::uint8_t* destination, std::uint64_t count);

// A zero-filled buffer, or null when it cannot be had. Sizes come from files
// and cameras, so failure is an answer, not an exception.
std::unique_ptr<std::uint8_t[]> AllocateZeroed(std::uint64_t size);

}  // namespace bb

#pragma once

// What the benchmarks share: the tool's processor time, the process's
// memory, a firmware of a known pattern and a sum that proves a camera got it.

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace bb::bench {

// The tool's cost is processor time: on a machine that other work keeps
// busy, wall time would measure the other work too.
inline double CpuMs(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}
inline double ThreadCpuMs() { return CpuMs(CLOCK_THREAD_CPUTIME_ID); }
// Of every thread of the process, those that ended included.
inline double ProcessCpuMs() { return CpuMs(CLOCK_PROCESS_CPUTIME_ID); }

inline std::uint8_t FirmwareByte(std::uint64_t i) { return static_cast<std::uint8_t>(i * 31 + (i >> 12)); }

inline void FillFirmware(std::uint64_t at, std::span<std::uint8_t> piece) {
  for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = FirmwareByte(at + i);
}

inline void WriteFirmwareFile(const std::filesystem::path& path, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  FillFirmware(0, bytes);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
}

// A sum that sees every byte and its place (the camera's pieces are whole
// multiples of 8 bytes, but for the last of a download).
struct Checksum {
  std::uint64_t sum = 0;
  std::uint64_t count = 0;
  void Add(std::span<const std::uint8_t> bytes) {
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, bytes.data() + i, 8);
      sum = (sum ^ word) * 1099511628211ull + ++count;
    }
    for (; i < bytes.size(); ++i) sum = (sum ^ bytes[i]) * 1099511628211ull + ++count;
  }
  bool operator==(const Checksum&) const = default;
};

// What a camera receives of the firmware: the file in 64 KiB pieces, then
// zeros up to the block boundary.
inline void AddFirmware(Checksum& sum, std::size_t size, std::uint32_t blockUnit) {
  std::vector<std::uint8_t> piece;
  for (std::size_t at = 0; at < size; at += piece.size()) {
    piece.resize(std::min<std::size_t>(size - at, 0x10000));
    FillFirmware(at, piece);
    sum.Add(piece);
  }
  piece.assign((size + blockUnit - 1) / blockUnit * blockUnit - size, 0);
  sum.Add(piece);
}

// Resident memory now ("VmRSS") and at its peak ("VmHWM"), in KiB; the peak
// can be reset to now.
inline std::uint64_t StatusKiB(const char* field) {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  unsigned long long value = 0;
  const std::size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, field, length) == 0) std::sscanf(line + length, ": %llu", &value);
  }
  std::fclose(status);
  return value;
}
inline void ResetPeak() {
  if (std::FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", refs);
    std::fclose(refs);
  }
}

}  // namespace bb::bench

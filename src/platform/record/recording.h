#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/record/call.h"
#include "util/sha256.h"

namespace bb::record {

// An image file of the recorded job, by the job's name for it ("ParamFile",
// "IspFile", "FwFile", "Firmware").
struct ImageFile {
  std::string role;
  std::string path;
  // False when the file could not be read at the start of the recording.
  bool present = false;
  std::uint64_t size = 0;
  Sha256Digest digest{};

  friend bool operator==(const ImageFile&, const ImageFile&) = default;
};

struct RecordingHeader {
  std::string program;   // "burnbench-cli 5.5.2.0"
  std::string platform;  // "Linux x86_64"
  std::string started;   // UTC, "2024-05-01T09:30:00Z"
  // The command lines that were run one after the other, without the program
  // name and without --record: one for the command-line program; the window's
  // hot keys check the versions first and make two.
  std::vector<std::vector<std::string>> commands;
  std::vector<ImageFile> images;

  friend bool operator==(const RecordingHeader&, const RecordingHeader&) = default;
};

// Recordings of format 1 hold no serial numbers.
inline constexpr std::uint16_t kFirstFormatWithSerials = 2;

struct Recording {
  // The format version of the file it was read from.
  std::uint16_t formatVersion = kFirstFormatWithSerials;
  RecordingHeader header;
  std::vector<Call> calls;
  // The exit status of the recorded run; the window has none.
  std::optional<int> exitStatus;
};

}  // namespace bb::record

#pragma once

#include <cstdint>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>

#include "platform/record/recording.h"
#include "util/sha256.h"

namespace bb::record {

// Where recorded calls go. Add may be called from any thread.
class CallSink {
 public:
  virtual ~CallSink() = default;
  virtual void Add(const Call& call) = 0;
};

// Writes one recording file. Every record is flushed as it is written, so a
// program that dies leaves the calls up to its death (a reader then reports
// the file as truncated).
class RecordingWriter final : public CallSink {
 public:
  RecordingWriter() = default;
  RecordingWriter(const RecordingWriter&) = delete;
  RecordingWriter& operator=(const RecordingWriter&) = delete;

  // Creates the file, replacing one, and writes the preamble and the header.
  // Call times are taken relative to originUs. False when the file cannot be
  // created or written.
  bool Open(const std::string& path, const RecordingHeader& header, std::uint64_t originUs);
  bool IsOpen() const;
  // Ignored while no file is open, and once a call went beyond what a reader
  // accepts: the recording then ends before that call.
  void Add(const Call& call) override;
  // Writes the end record and closes the file. False when any part of the
  // recording could not be written, or it ended early.
  bool Close(std::optional<int> exitStatus);
  // Why the recording ended before the run did, naming the first call it
  // lacks; empty while it holds every call.
  std::string Incomplete() const;

 private:
  void Put(const std::vector<std::uint8_t>& bytes);

  mutable std::mutex mutex_;
  std::ofstream file_;
  Sha256 hash_;
  std::uint64_t originUs_ = 0;
  std::uint64_t calls_ = 0;
  std::uint64_t bytes_ = 0;
  std::string incomplete_;
  bool open_ = false;
  bool failed_ = false;
};

}  // namespace bb::record

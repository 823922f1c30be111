#include "platform/record/recording_writer.h"

#include "platform/record/recording_format.h"
#include "util/paths.h"

namespace bb::record {

bool RecordingWriter::Open(const std::string& path, const RecordingHeader& header,
                           std::uint64_t originUs) {
  std::lock_guard lock(mutex_);
  if (open_) return false;
  file_.open(FsPath(path), std::ios::binary | std::ios::trunc);
  if (!file_) return false;
  open_ = true;
  failed_ = false;
  originUs_ = originUs;
  hash_.Finish();
  Put(EncodePreamble());
  Put(EncodeHeader(header));
  return !failed_;
}

bool RecordingWriter::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void RecordingWriter::Add(const Call& call) {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  // A call beyond what a reader accepts would make the whole file unreadable.
  if (!FitsLimits(call)) {
    failed_ = true;
    return;
  }
  Call stamped = call;
  stamped.atUs = call.atUs > originUs_ ? call.atUs - originUs_ : 0;
  Put(EncodeCall(stamped));
}

bool RecordingWriter::Close(std::optional<int> exitStatus) {
  std::lock_guard lock(mutex_);
  if (!open_) return false;
  const std::vector<std::uint8_t> end = EncodeEnd(exitStatus, hash_);
  file_.write(reinterpret_cast<const char*>(end.data()), static_cast<std::streamsize>(end.size()));
  file_.close();
  if (!file_) failed_ = true;
  open_ = false;
  return !failed_;
}

void RecordingWriter::Put(const std::vector<std::uint8_t>& bytes) {
  hash_.Update(bytes);
  file_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file_.flush();
  if (!file_) failed_ = true;
}

}  // namespace bb::record

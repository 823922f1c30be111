#include "platform/record/recording_writer.h"

#include "platform/record/recording_format.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb::record {

namespace {

// Room kept for the end record: its kind, length, status and digest.
constexpr std::uint64_t kEndReserve = 64;

}  // namespace

bool RecordingWriter::Open(const std::string& path, const RecordingHeader& header,
                           std::uint64_t originUs) {
  std::lock_guard lock(mutex_);
  if (open_) return false;
  file_.open(FsPath(path), std::ios::binary | std::ios::trunc);
  if (!file_) return false;
  open_ = true;
  failed_ = false;
  originUs_ = originUs;
  calls_ = 0;
  bytes_ = 0;
  incomplete_.clear();
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
  if (!open_ || !incomplete_.empty()) return;
  Call stamped = call;
  stamped.atUs = call.atUs > originUs_ ? call.atUs - originUs_ : 0;
  const std::vector<std::uint8_t> record = FitsLimits(call) ? EncodeCall(stamped) : std::vector<std::uint8_t>{};
  // A call beyond what a reader accepts would make the whole file unreadable:
  // the recording ends before it, and stays readable up to there.
  std::string why;
  if (record.empty() || record.size() > kMaxRecordBytes) {
    why = "the call is larger than a recording holds";
  } else if (calls_ >= kMaxCalls) {
    why = Format("a recording holds at most %llu calls", static_cast<unsigned long long>(kMaxCalls));
  } else if (bytes_ + record.size() + kEndReserve > kMaxRecordingBytes) {
    why = "a recording holds at most 1 GiB";
  }
  if (!why.empty()) {
    incomplete_ = Format("it ends before call %llu: %s", static_cast<unsigned long long>(calls_ + 1),
                         why.c_str());
    return;
  }
  ++calls_;
  Put(record);
}

std::string RecordingWriter::Incomplete() const {
  std::lock_guard lock(mutex_);
  return incomplete_;
}

bool RecordingWriter::Close(std::optional<int> exitStatus) {
  std::lock_guard lock(mutex_);
  if (!open_) return false;
  const std::vector<std::uint8_t> end = EncodeEnd(exitStatus, hash_);
  file_.write(reinterpret_cast<const char*>(end.data()), static_cast<std::streamsize>(end.size()));
  file_.close();
  if (!file_) failed_ = true;
  open_ = false;
  return !failed_ && incomplete_.empty();
}

void RecordingWriter::Put(const std::vector<std::uint8_t>& bytes) {
  bytes_ += bytes.size();
  hash_.Update(bytes);
  file_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file_.flush();
  if (!file_) failed_ = true;
}

}  // namespace bb::record

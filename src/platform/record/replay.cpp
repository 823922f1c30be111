#include "platform/record/replay.h"

#include <algorithm>

#include "platform/record/call_text.h"
#include "platform/record/request_view.h"
#include "util/format.h"

namespace bb::record {

namespace {

Call Asked(CallKind kind, std::int64_t target = 0, std::uint32_t number = 0) {
  Call call;
  call.kind = kind;
  call.target = target;
  call.number = number;
  return call;
}

// Whether the tool asked what was recorded: the arguments only, never the
// outcome, and never the times.
bool SameRequest(const Call& recorded, const Call& asked) {
  if (recorded.kind != asked.kind) return false;
  switch (recorded.kind) {
    case CallKind::kOpenInterfaceSet:
      return recorded.interfaceClass == asked.interfaceClass;
    case CallKind::kEnumerateInterface:
    case CallKind::kReadInterfacePath:
    case CallKind::kReadInterfaceLocation:
    case CallKind::kReadInterfaceSerial:
      return recorded.target == asked.target && recorded.number == asked.number;
    case CallKind::kOpen:
      return recorded.path == asked.path;
    case CallKind::kIoControl:
      return recorded.target == asked.target && recorded.number == asked.number &&
             recorded.block == asked.block && recorded.lengthCell == asked.lengthCell &&
             recorded.sent == asked.sent;
    case CallKind::kRead:
      return recorded.target == asked.target && recorded.size == asked.size;
    case CallKind::kWrite:
      return recorded.target == asked.target && recorded.size == asked.size &&
             recorded.sent == asked.sent && recorded.sentDigest == asked.sentDigest;
    case CallKind::kRegisterArrival:
    case CallKind::kDeviceChange:
      return true;
    default:
      return recorded.target == asked.target;
  }
}

}  // namespace

void Replay::SkipCancels(std::size_t& index) const {
  while (index < recording_.calls.size() && recording_.calls[index].kind == CallKind::kCancelPending) {
    ++index;
  }
}

void Replay::MoveClockTo(std::uint64_t atUs) {
  const std::uint64_t atMs = atUs / 1000;
  if (atMs > clock_.NowMs()) clock_.Advance(atMs - clock_.NowMs());
}

void Replay::Diverge(std::size_t index, const std::string& recorded, const std::string& asked,
                     const std::string& detail) {
  if (Diverged()) return;
  message_ = Format("the replay stops at call %zu: recorded %s; asked %s", index + 1, recorded.c_str(),
                    asked.c_str());
  if (!detail.empty()) message_ += " (" + detail + ")";
  if (divergence_) divergence_(message_);
}

bool Replay::DeliverDeviceChange() {
  // The host takes one device change at a time: a change recorded among the
  // calls that another one's handler makes is not where the run is.
  if (Diverged() || delivering_) return false;
  SkipCancels(next_);
  if (next_ >= recording_.calls.size() || recording_.calls[next_].kind != CallKind::kDeviceChange) {
    return false;
  }
  const Call& change = recording_.calls[next_++];
  MoveClockTo(change.atUs);
  delivering_ = true;
  if (deviceChange_) deviceChange_(change.number, DeviceArrival{change.ok, change.path});
  delivering_ = false;
  return true;
}

const Call* Replay::Expect(const Call& asked) {
  if (Diverged()) return nullptr;
  while (DeliverDeviceChange()) {
  }
  if (Diverged()) return nullptr;
  if (next_ >= recording_.calls.size()) {
    Diverge(next_, "nothing more (the recording ends)", DescribeRequest(asked));
    return nullptr;
  }
  const Call& recorded = recording_.calls[next_];
  if (!SameRequest(recorded, asked)) {
    Diverge(next_, DescribeRequest(recorded), DescribeRequest(asked), DescribeDifference(recorded, asked));
    return nullptr;
  }
  // Moved on first: a timer that expires while the time passes may call in.
  ++next_;
  MoveClockTo(recorded.atUs);
  MoveClockTo(recorded.atUs + recorded.tookUs);
  return &recorded;
}

void Replay::Finish() {
  SkipCancels(next_);
  while (next_ < recording_.calls.size() && recording_.calls[next_].kind == CallKind::kDeviceChange) {
    ++next_;
    SkipCancels(next_);
  }
  if (next_ < recording_.calls.size()) {
    Diverge(next_, DescribeRequest(recording_.calls[next_]), "nothing more (the run ended)");
    return;
  }
  for (; nextCancel_ < recording_.calls.size(); ++nextCancel_) {
    if (recording_.calls[nextCancel_].kind == CallKind::kCancelPending) {
      Diverge(nextCancel_, DescribeRequest(recording_.calls[nextCancel_]), "nothing more (the run ended)");
      return;
    }
  }
}

DeviceTransport::SetHandle Replay::OpenInterfaceSet(const Guid& interfaceClass) {
  Call asked = Asked(CallKind::kOpenInterfaceSet);
  asked.interfaceClass = interfaceClass;
  const Call* recorded = Expect(asked);
  return recorded == nullptr ? kNoSet : static_cast<SetHandle>(recorded->result);
}

DeviceTransport::EnumResult Replay::EnumerateInterface(SetHandle set, std::uint32_t index) {
  const Call* recorded = Expect(Asked(CallKind::kEnumerateInterface, set, index));
  return recorded == nullptr ? EnumResult::kNoMoreItems : static_cast<EnumResult>(recorded->result);
}

bool Replay::ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) {
  const Call* recorded = Expect(Asked(CallKind::kReadInterfacePath, set, index));
  if (recorded == nullptr || !recorded->ok) return false;
  path = recorded->text;
  return true;
}

bool Replay::ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) {
  const Call* recorded = Expect(Asked(CallKind::kReadInterfaceLocation, set, index));
  if (recorded == nullptr || !recorded->ok) return false;
  location = recorded->text;
  return true;
}

bool Replay::ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) {
  if (recording_.formatVersion < kFirstFormatWithSerials) return false;
  const Call* recorded = Expect(Asked(CallKind::kReadInterfaceSerial, set, index));
  if (recorded == nullptr || !recorded->ok) return false;
  serial = recorded->text;
  return true;
}

void Replay::CloseInterfaceSet(SetHandle set) { Expect(Asked(CallKind::kCloseInterfaceSet, set)); }

DeviceTransport::Handle Replay::Open(const std::string& path) {
  Call asked = Asked(CallKind::kOpen);
  asked.path = path;
  const Call* recorded = Expect(asked);
  return recorded == nullptr ? kInvalidHandle : static_cast<Handle>(recorded->result);
}

bool Replay::IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) {
  Call asked = Asked(CallKind::kIoControl, handle, code);
  const RequestView request = ViewRequest(block);
  asked.block = request.block;
  asked.lengthCell = request.lengthCell;
  if (!request.DeviceToHost()) asked.sent.assign(request.Stage().begin(), request.Stage().end());
  const Call* recorded = Expect(asked);
  if (recorded == nullptr) return false;
  if (request.DeviceToHost()) {
    const std::span<std::uint8_t> stage = request.Stage();
    std::copy_n(recorded->received.begin(), std::min(stage.size(), recorded->received.size()), stage.begin());
    // A short answer fails, as it does through libusb: the rest of the stage
    // would be bytes the camera never sent.
    if (recorded->received.size() < stage.size()) return false;
  }
  return recorded->ok;
}

bool Replay::Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) {
  done = 0;
  Call asked = Asked(CallKind::kRead, handle);
  asked.size = static_cast<std::uint32_t>(buffer.size());
  const Call* recorded = Expect(asked);
  if (recorded == nullptr) return false;
  std::copy_n(recorded->received.begin(), std::min(buffer.size(), recorded->received.size()), buffer.begin());
  done = recorded->done;
  return recorded->ok;
}

bool Replay::Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) {
  done = 0;
  Call asked = Asked(CallKind::kWrite, handle);
  asked.size = static_cast<std::uint32_t>(data.size());
  // Asked in the form the recording kept, bytes or their hash.
  while (DeliverDeviceChange()) {
  }
  SkipCancels(next_);
  const bool hashed = next_ < recording_.calls.size() && recording_.calls[next_].sentDigest.has_value();
  if (hashed) {
    Sha256 hash;
    hash.Update(data);
    asked.sentDigest = hash.Finish();
  } else {
    asked.sent.assign(data.begin(), data.end());
  }
  const Call* recorded = Expect(asked);
  if (recorded == nullptr) return false;
  done = recorded->done;
  return recorded->ok;
}

void Replay::CancelPending(Handle handle) {
  if (Diverged()) return;
  const std::vector<Call>& calls = recording_.calls;
  while (nextCancel_ < calls.size() && calls[nextCancel_].kind != CallKind::kCancelPending) ++nextCancel_;
  const Call asked = Asked(CallKind::kCancelPending, handle);
  if (nextCancel_ >= calls.size()) {
    Diverge(calls.size(), "no further cancel", DescribeRequest(asked));
    return;
  }
  const Call& recorded = calls[nextCancel_];
  if (!SameRequest(recorded, asked)) {
    Diverge(nextCancel_, DescribeRequest(recorded), DescribeRequest(asked));
    return;
  }
  ++nextCancel_;
}

void Replay::Close(Handle handle) { Expect(Asked(CallKind::kClose, handle)); }

ArrivalWatch::Registration Replay::Register() {
  const Call* recorded = Expect(Asked(CallKind::kRegisterArrival));
  return recorded == nullptr ? kNone : static_cast<Registration>(recorded->result);
}

void Replay::Unregister(Registration registration) {
  Expect(Asked(CallKind::kUnregisterArrival, registration));
}

}  // namespace bb::record

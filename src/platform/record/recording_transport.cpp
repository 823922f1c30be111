#include "platform/record/recording_transport.h"

#include <chrono>

#include "platform/record/request_view.h"

namespace bb::record {

MicrosecondClock SteadyMicroseconds() {
  return [] {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
  };
}

Call RecordingTransport::Begin(CallKind kind) const {
  Call call;
  call.kind = kind;
  call.atUs = now_();
  return call;
}

void RecordingTransport::End(Call& call) const {
  const std::uint64_t end = now_();
  call.tookUs = end > call.atUs ? end - call.atUs : 0;
  sink_.Add(call);
}

DeviceTransport::SetHandle RecordingTransport::OpenInterfaceSet(const Guid& interfaceClass) {
  Call call = Begin(CallKind::kOpenInterfaceSet);
  call.interfaceClass = interfaceClass;
  const SetHandle set = inner_.OpenInterfaceSet(interfaceClass);
  call.result = set;
  End(call);
  return set;
}

DeviceTransport::EnumResult RecordingTransport::EnumerateInterface(SetHandle set, std::uint32_t index) {
  Call call = Begin(CallKind::kEnumerateInterface);
  call.target = set;
  call.number = index;
  const EnumResult result = inner_.EnumerateInterface(set, index);
  call.result = static_cast<std::int64_t>(result);
  End(call);
  return result;
}

bool RecordingTransport::ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) {
  Call call = Begin(CallKind::kReadInterfacePath);
  call.target = set;
  call.number = index;
  call.ok = inner_.ReadInterfacePath(set, index, path);
  if (call.ok) call.text = path;
  End(call);
  return call.ok;
}

bool RecordingTransport::ReadInterfaceLocation(SetHandle set, std::uint32_t index,
                                               std::string& location) {
  Call call = Begin(CallKind::kReadInterfaceLocation);
  call.target = set;
  call.number = index;
  call.ok = inner_.ReadInterfaceLocation(set, index, location);
  if (call.ok) call.text = location;
  End(call);
  return call.ok;
}

bool RecordingTransport::ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) {
  Call call = Begin(CallKind::kReadInterfaceSerial);
  call.target = set;
  call.number = index;
  call.ok = inner_.ReadInterfaceSerial(set, index, serial);
  if (call.ok) call.text = serial;
  End(call);
  return call.ok;
}

void RecordingTransport::CloseInterfaceSet(SetHandle set) {
  Call call = Begin(CallKind::kCloseInterfaceSet);
  call.target = set;
  inner_.CloseInterfaceSet(set);
  End(call);
}

DeviceTransport::Handle RecordingTransport::Open(const std::string& path) {
  Call call = Begin(CallKind::kOpen);
  call.path = path;
  const Handle handle = inner_.Open(path);
  call.result = handle;
  End(call);
  return handle;
}

bool RecordingTransport::IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) {
  Call call = Begin(CallKind::kIoControl);
  call.target = handle;
  call.number = code;
  const RequestView request = ViewRequest(block);
  call.block = request.block;
  call.lengthCell = request.lengthCell;
  if (!request.DeviceToHost()) call.sent.assign(request.Stage().begin(), request.Stage().end());
  call.ok = inner_.IoControl(handle, code, block);
  if (request.DeviceToHost()) call.received.assign(request.Stage().begin(), request.Stage().end());
  End(call);
  return call.ok;
}

bool RecordingTransport::Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) {
  Call call = Begin(CallKind::kRead);
  call.target = handle;
  call.size = static_cast<std::uint32_t>(buffer.size());
  call.ok = inner_.Read(handle, buffer, done);
  call.done = done;
  const std::span<const std::uint8_t> arrived = buffer.first(std::min<std::size_t>(done, buffer.size()));
  call.received.assign(arrived.begin(), arrived.end());
  End(call);
  return call.ok;
}

bool RecordingTransport::Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) {
  Call call = Begin(CallKind::kWrite);
  call.target = handle;
  call.size = static_cast<std::uint32_t>(data.size());
  if (data.size() > kKeptWriteBytes) {
    Sha256 hash;
    hash.Update(data);
    call.sentDigest = hash.Finish();
  } else {
    call.sent.assign(data.begin(), data.end());
  }
  call.ok = inner_.Write(handle, data, done);
  call.done = done;
  End(call);
  return call.ok;
}

void RecordingTransport::CancelPending(Handle handle) {
  Call call = Begin(CallKind::kCancelPending);
  call.target = handle;
  inner_.CancelPending(handle);
  End(call);
}

void RecordingTransport::Close(Handle handle) {
  Call call = Begin(CallKind::kClose);
  call.target = handle;
  inner_.Close(handle);
  End(call);
}

ArrivalWatch::Registration RecordingArrivalWatch::Register() {
  Call call;
  call.kind = CallKind::kRegisterArrival;
  call.atUs = now_();
  call.result = inner_.Register();
  sink_.Add(call);
  return static_cast<Registration>(call.result);
}

void RecordingArrivalWatch::Unregister(Registration registration) {
  Call call;
  call.kind = CallKind::kUnregisterArrival;
  call.atUs = now_();
  call.target = registration;
  inner_.Unregister(registration);
  sink_.Add(call);
}

void RecordingArrivalWatch::RecordDeviceChange(std::uint32_t event, const DeviceArrival& arrival) {
  Call call;
  call.kind = CallKind::kDeviceChange;
  call.atUs = now_();
  call.number = event;
  call.ok = arrival.cameraInterface;
  call.path = arrival.interfacePath;
  sink_.Add(call);
}

}  // namespace bb::record

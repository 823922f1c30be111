#include "platform/record/call_text.h"

#include <algorithm>
#include <span>

#include "util/byte_order.h"
#include "util/format.h"

namespace bb::record {

namespace {

// Enough bytes to recognise a header or a reply; the rest stays in the file.
constexpr std::size_t kShownBytes = 24;

std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  const std::size_t shown = std::min(bytes.size(), kShownBytes);
  for (std::size_t i = 0; i < shown; ++i) text += Format(i == 0 ? "%02x" : " %02x", bytes[i]);
  if (bytes.size() > shown) text += " ...";
  return text;
}

std::string Bytes(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return "0 bytes";
  return Format("%zu bytes: %s", bytes.size(), Hex(bytes).c_str());
}

std::string GuidText(const Guid& guid) {
  return Format("{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", guid.data1, guid.data2,
                guid.data3, guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3],
                guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
}

std::string Handle(std::int64_t handle) { return Format("%lld", static_cast<long long>(handle)); }

std::string Request(const Call& call) {
  if (call.block.size() != 20) return "an unreadable block of " + Bytes(call.block);
  return Format("request 0x%02x value 0x%x index 0x%x length %u %s", call.block[0],
                GetLe16(call.block, 4), GetLe16(call.block, 2), call.lengthCell & 0xFFFFu,
                call.block[16] == 1 ? "in" : "out");
}

std::string WriteData(const Call& call) {
  if (call.sentDigest) return "sha256 " + ToHex(*call.sentDigest);
  return Hex(call.sent);
}

std::size_t FirstDifference(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  const auto [left, right] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return static_cast<std::size_t>(left - a.begin());
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte < 0x20 || byte == 0x7F ? Format("\\x%02x", byte) : std::string(1, c);
  }
  return shown;
}

std::string DescribeRequest(const Call& call) {
  switch (call.kind) {
    case CallKind::kOpenInterfaceSet:
      return "OpenInterfaceSet " + GuidText(call.interfaceClass);
    case CallKind::kEnumerateInterface:
      return Format("EnumerateInterface set %s index %u", Handle(call.target).c_str(), call.number);
    case CallKind::kReadInterfacePath:
      return Format("ReadInterfacePath set %s index %u", Handle(call.target).c_str(), call.number);
    case CallKind::kReadInterfaceLocation:
      return Format("ReadInterfaceLocation set %s index %u", Handle(call.target).c_str(), call.number);
    case CallKind::kReadInterfaceSerial:
      return Format("ReadInterfaceSerial set %s index %u", Handle(call.target).c_str(), call.number);
    case CallKind::kCloseInterfaceSet:
      return "CloseInterfaceSet set " + Handle(call.target);
    case CallKind::kOpen:
      return "Open " + Printable(call.path);
    case CallKind::kIoControl: {
      std::string text = Format("IoControl 0x%x on handle %s: %s", call.number,
                                Handle(call.target).c_str(), Request(call).c_str());
      if (!call.sent.empty()) text += ", sending " + Bytes(call.sent);
      return text;
    }
    case CallKind::kRead:
      return Format("Read of %u bytes on handle %s", call.size, Handle(call.target).c_str());
    case CallKind::kWrite:
      return Format("Write of %u bytes on handle %s, %s", call.size, Handle(call.target).c_str(),
                    WriteData(call).c_str());
    case CallKind::kCancelPending:
      return "CancelPending on handle " + Handle(call.target);
    case CallKind::kClose:
      return "Close handle " + Handle(call.target);
    case CallKind::kRegisterArrival:
      return "RegisterArrival";
    case CallKind::kUnregisterArrival:
      return "UnregisterArrival " + Handle(call.target);
    case CallKind::kDeviceChange:
      return Format("device change 0x%x of %s %s", call.number,
                    call.ok ? "the camera's interface" : "another device", Printable(call.path).c_str());
  }
  return "an unknown call";
}

std::string DescribeOutcome(const Call& call) {
  switch (call.kind) {
    case CallKind::kOpenInterfaceSet:
      return "set " + Handle(call.result);
    case CallKind::kEnumerateInterface:
      return call.result == 0 ? "found" : call.result == 1 ? "no more items" : "another error";
    case CallKind::kReadInterfacePath:
    case CallKind::kReadInterfaceLocation:
    case CallKind::kReadInterfaceSerial:
      return call.ok ? Printable(call.text) : "failed";
    case CallKind::kOpen:
      return "handle " + Handle(call.result);
    case CallKind::kIoControl:
      if (!call.ok) return "failed";
      return call.block.size() == 20 && call.block[16] == 1 ? "ok, received " + Bytes(call.received) : "ok";
    case CallKind::kRead:
      return Format("%s, %u moved%s%s", call.ok ? "ok" : "failed", call.done,
                    call.received.empty() ? "" : ": ", Hex(call.received).c_str());
    case CallKind::kWrite:
      return Format("%s, %u moved", call.ok ? "ok" : "failed", call.done);
    case CallKind::kRegisterArrival:
      return "registration " + Handle(call.result);
    default:
      return "done";
  }
}

std::string DescribeDifference(const Call& recorded, const Call& asked) {
  if (recorded.kind != asked.kind) return {};
  if (recorded.block != asked.block) {
    return Format("the request blocks differ from byte %zu", FirstDifference(recorded.block, asked.block));
  }
  if (recorded.sent != asked.sent && !recorded.sentDigest) {
    return Format("the data sent differs from byte %zu", FirstDifference(recorded.sent, asked.sent));
  }
  return {};
}

}  // namespace bb::record

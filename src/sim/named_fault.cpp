#include "sim/named_fault.h"

#include <charconv>
#include <map>
#include <vector>

namespace bb::sim {

namespace {

using Kind = NamedFault::Kind;

NamedFault Of(Kind kind, std::uint32_t nth = 1) {
  NamedFault fault;
  fault.kind = kind;
  fault.nth = nth;
  return fault;
}

// A number in decimal or with 0x in hexadecimal, no greater than `max`.
std::optional<std::uint32_t> ParseNumber(std::string_view text, std::uint32_t max) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint32_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || number > max) {
    return std::nullopt;
  }
  return number;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t at = text.find(separator); at != std::string_view::npos; at = text.find(separator)) {
    parts.push_back(text.substr(0, at));
    text.remove_prefix(at + 1);
  }
  parts.push_back(text);
  return parts;
}

std::optional<NamedFault> ParseRequest(std::string_view what, std::string_view nth) {
  NamedFault fault = Of(Kind::kRequest);
  const std::vector<std::string_view> codeValue = Split(what, '/');
  if (codeValue.size() > 2) return std::nullopt;
  const std::optional<std::uint32_t> code = ParseNumber(codeValue[0], 0xFF);
  const std::optional<std::uint32_t> count = ParseNumber(nth, 0xFFFFFFFFu);
  if (!code || !count || *count == 0) return std::nullopt;
  if (codeValue.size() == 2) {
    const std::optional<std::uint32_t> value = ParseNumber(codeValue[1], 0xFFFF);
    if (!value) return std::nullopt;
    fault.value = static_cast<std::uint16_t>(*value);
  }
  fault.code = static_cast<std::uint8_t>(*code);
  fault.nth = *count;
  return fault;
}

// True when the I/O control of request `code` (and `value`) is in `event`.
bool IsRequest(const SimEvent& event, std::uint8_t code, std::optional<std::uint16_t> value = {}) {
  return event.kind == SimEvent::Kind::kIoControl && event.request.bRequest == code &&
         (!value || event.request.wValue == *value);
}

// The byte at `at` of a request's answer, when it was answered.
std::optional<std::uint8_t> AnswerByte(const SimEvent& event, std::size_t at) {
  if (!event.ok || event.request.data.size() <= at) return std::nullopt;
  return event.request.data[at];
}

}  // namespace

std::optional<NamedFault> ParseNamedFault(std::string_view name) {
  static const std::map<std::string_view, Kind> plain = {
      {"absent", Kind::kAbsent},
      {"busy", Kind::kBusy},
      {"no-storage", Kind::kNoStorage},
      {"write-timeout", Kind::kWriteTimeout},
      {"verify-mismatch", Kind::kVerifyMismatch},
      {"storage-write-fails", Kind::kStorageWriteFails},
      {"never-returns", Kind::kNeverReturns},
      {"no-return", Kind::kNeverReturns},
  };
  static const std::map<std::string_view, Kind> counted = {
      {"write-fails", Kind::kWriteFails}, {"write-short", Kind::kWriteShort},
      {"read-fails", Kind::kReadFails},   {"read-short", Kind::kReadShort},
      {"read-stalls", Kind::kReadStalls},
  };
  if (const auto found = plain.find(name); found != plain.end()) return Of(found->second);
  // The first bulk read outlasts the watchdog.
  if (name == "stalled-read") return Of(Kind::kReadStalls);
  const std::vector<std::string_view> parts = Split(name, ':');
  if (parts.size() == 2) {
    const auto found = counted.find(parts[0]);
    const std::optional<std::uint32_t> nth = ParseNumber(parts[1], 0xFFFFFFFFu);
    if (found == counted.end() || !nth || *nth == 0) return std::nullopt;
    return Of(found->second, *nth);
  }
  if (parts.size() == 3 && parts[0] == "request") return ParseRequest(parts[1], parts[2]);
  if (parts.size() == 3 && parts[0] == "pipe-open" && (parts[1] == "PIPE00" || parts[1] == "PIPE01")) {
    const std::optional<std::uint32_t> nth = ParseNumber(parts[2], 0xFFFFFFFFu);
    if (!nth || *nth == 0) return std::nullopt;
    NamedFault fault = Of(Kind::kPipeOpen, *nth);
    fault.pipe = std::string(parts[1]);
    return fault;
  }
  return std::nullopt;
}

namespace {

SimBus::FaultId InjectAimed(SimBus& bus, std::optional<std::size_t> camera, const NamedFault& fault) {
  switch (fault.kind) {
    case Kind::kAbsent:
      if (camera) {
        bus.Unplug(*camera);
      } else {
        bus.DetachAll();
      }
      // Shows when the program looks for a camera.
      return bus.WatchFault("absent", [](const SimEvent& event) { return event.kind == SimEvent::Kind::kEnumerate; });
    case Kind::kBusy:
      bus.ChangeCameras(camera, [](SimCamera& target) { target.busy = true; });
      return bus.WatchFault("busy", [](const SimEvent& event) {
        return IsRequest(event, 0x21, 0) && AnswerByte(event, 0).value_or(0) != 0;
      });
    case Kind::kNoStorage:
      bus.ChangeCameras(camera, [](SimCamera& target) { target.storagePresent = false; });
      // The storage write is refused, or a status says that no storage is there.
      return bus.WatchFault("no storage", [](const SimEvent& event) {
        return (IsRequest(event, 0x11) && !event.ok) || (IsRequest(event, 0x21, 4) && AnswerByte(event, 1) == 0);
      });
    case Kind::kWriteTimeout:
      bus.ChangeCameras(camera, [](SimCamera& target) { target.storageWritePolls = 0xFFFFFFFFu; });
      return bus.WatchFault("write timeout", [](const SimEvent& event) { return IsRequest(event, 0x11) && event.ok; });
    case Kind::kVerifyMismatch:
      bus.ChangeCameras(camera, [](SimCamera& target) { target.corruptStorageWrites = true; });
      return bus.WatchFault("verify mismatch", [](const SimEvent& event) { return IsRequest(event, 0x11) && event.ok; });
    case Kind::kStorageWriteFails:
      bus.ChangeCameras(camera, [](SimCamera& target) { target.storageWriteResult = 2; });
      return bus.WatchFault("storage write fails", [](const SimEvent& event) {
        return IsRequest(event, 0x21, 4) && AnswerByte(event, 0) == 2;
      });
    case Kind::kNeverReturns:
      return camera ? bus.NeverReturn(*camera) : bus.NeverReturn(true);
    case Kind::kRequest:
      return bus.FailRequest(fault.code, fault.value, fault.nth);
    case Kind::kWriteFails:
      return bus.FailWrite(fault.nth);
    case Kind::kWriteShort:
      return bus.ShortWrite(fault.nth);
    case Kind::kReadFails:
      return bus.FailRead(fault.nth);
    case Kind::kReadShort:
      return bus.ShortRead(fault.nth);
    case Kind::kReadStalls:
      return bus.StallRead(fault.nth, kStalledReadMs);
    case Kind::kPipeOpen:
      return bus.FailPipeOpen(fault.pipe, fault.nth);
  }
  return SimBus::kNoFault;
}

}  // namespace

SimBus::FaultId InjectNamedFault(SimBus& bus, std::optional<std::size_t> camera, const NamedFault& fault) {
  const SimBus::Aiming aiming(bus, camera);
  return InjectAimed(bus, camera, fault);
}

}  // namespace bb::sim

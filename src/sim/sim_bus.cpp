#include "sim/sim_bus.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "sim/sim_driver_block.h"
#include "util/byte_order.h"
#include "util/format.h"

namespace bb::sim {

namespace {

constexpr DriverBlockLayout kBlock = kDriverBlock;

SimEvent MakeEvent(SimEvent::Kind kind, std::string path = {}) {
  SimEvent event;
  event.kind = kind;
  event.path = std::move(path);
  return event;
}

std::uintptr_t AddressAt(std::span<const std::uint8_t> block, std::size_t at) {
  if constexpr (kBlock.addressWidth == 4) return GetLe32(block, at);
  return static_cast<std::uintptr_t>(GetLe64(block, at));
}

// Why the driver refuses a block, or nothing: the bytes between the fields
// are zero, the length cell holds the length alone, and a request without a
// data stage points at a copy of its wValue.
std::optional<std::string> JudgeBlock(std::span<const std::uint8_t> block,
                                      const std::uint32_t* lengthCell,
                                      const std::uint8_t* data) {
  for (std::size_t at = 0; at < block.size(); ++at) {
    const std::size_t addressesEnd = kBlock.lengthAddressAt + kBlock.addressWidth;
    const bool field = at == 0 || (at >= 2 && at < 6) ||
                       (at >= kBlock.dataAddressAt && at < addressesEnd) ||
                       at == kBlock.directionAt;
    if (!field && block[at] != 0) {
      return Format("block byte %u is 0x%02x, not zero", static_cast<unsigned>(at), block[at]);
    }
  }
  if (lengthCell == nullptr) return std::string("no length cell");
  if ((*lengthCell >> 16) != 0) {
    return Format("length cell 0x%08x holds more than a length", *lengthCell);
  }
  if (*lengthCell == 0 && block[kBlock.directionAt] == 0) {
    std::uint16_t value = 0;
    if (data != nullptr) std::memcpy(&value, data, sizeof(value));
    if (data == nullptr || value != GetLe16(block, 4)) {
      return std::string("no copy of wValue behind the data address");
    }
  } else if (data == nullptr) {
    return std::string("no data-stage buffer");
  }
  return std::nullopt;
}

}  // namespace

SimCamera& SimBus::Attach(std::string interfacePath) {
  Port port;
  port.camera = std::make_unique<SimCamera>();
  port.generation = ++generations_;
  port.number = static_cast<std::uint32_t>(ports_.size()) + 1;
  ++camerasMade_;
  port.path = interfacePath.empty() ? DefaultPath() : std::move(interfacePath);
  ports_.push_back(std::move(port));
  return *ports_.back().camera;
}

SimCamera& SimBus::PlugIn(std::string interfacePath) {
  SimCamera& camera = Attach(std::move(interfacePath));
  const DeviceArrival arrival{true, ports_.back().path};
  for (int i = 0; i < arrivalTimes_ && arrivalHandler_; ++i) arrivalHandler_(arrival);
  return camera;
}

void SimBus::Unplug(std::size_t index) {
  Port& port = ports_.at(index);
  port.present = false;
  port.returning = false;
  port.generation = ++generations_;
}

std::string SimBus::DefaultPath() const {
  return Format("\\\\?\\usb#vid_0c45&pid_2860#sim%u#{cb519fa1-e908-11d2-aadd-0060673487b7}",
                camerasMade_);
}

std::string SimBus::Location(std::size_t index) const {
  return std::to_string(ports_.at(index).number);
}

void SimBus::DetachAll() { ports_.clear(); }

void SimBus::SetDetailUnreadable(std::size_t camera, bool unreadable) {
  ports_.at(camera).detailUnreadable = unreadable;
}

void SimBus::SetHeldByOtherProgram(std::size_t camera, bool held) {
  ports_.at(camera).heldByOther = held;
}

void SimBus::FailPipeOpen(const std::string& pipeName, std::uint32_t nth) {
  pipeOpenFaults_[pipeName] = CountedFault{nth, 0};
}

void SimBus::FailRequest(std::uint8_t bRequest, std::optional<std::uint16_t> wValue,
                         std::uint32_t nth) {
  requestFaults_.push_back(RequestFault{bRequest, wValue, CountedFault{nth, 0}});
}

void SimBus::FailWrite(std::uint32_t nth) { writeFaults_.push_back({writesSeen_ + nth, std::nullopt}); }

void SimBus::ShortWrite(std::uint32_t nth, std::uint32_t missing) {
  writeFaults_.push_back({writesSeen_ + nth, missing});
}

void SimBus::ClearFaults() {
  failingIndexes_.clear();
  failSet_ = false;
  pipeOpenFaults_.clear();
  requestFaults_.clear();
  writeFaults_.clear();
  readFaults_.clear();
  for (Port& port : ports_) port.readStallMs = 0;
  neverReturn_ = false;
  arrivalTimes_ = 1;
}

void SimBus::FailRead(std::uint32_t nth) { readFaults_.push_back({readsSeen_ + nth, std::nullopt}); }

void SimBus::ShortRead(std::uint32_t nth, std::uint32_t missing) {
  readFaults_.push_back({readsSeen_ + nth, missing});
}

void SimBus::StallRead(std::uint32_t nth, std::uint32_t ms) {
  readFaults_.push_back({readsSeen_ + nth, 0, ms});
}

std::optional<SimBus::TransferFault> SimBus::FaultFor(const std::vector<TransferFault>& faults,
                                                      std::uint32_t count) {
  // Several faults may name one transfer: a stall, then a failure, say.
  std::optional<TransferFault> merged;
  for (const TransferFault& fault : faults) {
    if (fault.nth != count) continue;
    if (!merged) {
      merged = fault;
      continue;
    }
    merged->stallMs = std::max(merged->stallMs, fault.stallMs);
    if (!fault.missing || !merged->missing) {
      merged->missing.reset();
    } else {
      merged->missing = std::max(*merged->missing, *fault.missing);
    }
  }
  return merged;
}

std::vector<std::string> SimBus::TranscriptLines() const {
  std::vector<std::string> lines;
  for (const SimEvent& event : transcript_) lines.push_back(event.Describe());
  return lines;
}

std::vector<SimRequest> SimBus::Requests() const {
  std::vector<SimRequest> requests;
  for (const SimEvent& event : transcript_) {
    if (event.kind == SimEvent::Kind::kIoControl) requests.push_back(event.request);
  }
  return requests;
}

std::optional<std::size_t> SimBus::PortAt(std::uint32_t index) const {
  if (failingIndexes_.count(index) != 0) return std::nullopt;
  const auto below = static_cast<std::uint32_t>(
      std::count_if(failingIndexes_.begin(), failingIndexes_.end(),
                    [&](std::uint32_t failing) { return failing < index; }));
  std::uint32_t wanted = index - below;
  for (std::size_t port = 0; port < ports_.size(); ++port) {
    if (!ports_[port].present) continue;
    if (wanted == 0) return port;
    --wanted;
  }
  return std::nullopt;
}

void SimBus::DropOffIfRestarting(std::size_t port) {
  if (!ports_[port].camera->TakeRestart()) return;
  ports_[port].present = false;
  ports_[port].returning = true;
  ports_[port].generation = ++generations_;
}

bool SimBus::ReturnCameras() {
  bool returned = false;
  for (Port& port : ports_) {
    if (!port.returning || neverReturn_ || port.neverReturns) continue;
    ++camerasMade_;
    port.path = DefaultPath();
    port.present = true;
    port.returning = false;
    port.camera->Restarted();
    transcript_.push_back(MakeEvent(SimEvent::Kind::kReenumerate, port.path));
    returned = true;
    const DeviceArrival arrival{true, port.path};
    for (int i = 0; i < arrivalTimes_ && arrivalHandler_; ++i) arrivalHandler_(arrival);
  }
  return returned;
}

void SimBus::AnnounceForeignArrival() {
  if (arrivalHandler_) arrivalHandler_(DeviceArrival{});
}

DeviceTransport::SetHandle SimBus::OpenInterfaceSet(const Guid&) {
  transcript_.push_back(MakeEvent(SimEvent::Kind::kEnumerate));
  if (failSet_) return kNoSet;
  const SetHandle set = nextSet_++;
  openSets_.insert(set);
  return set;
}

DeviceTransport::EnumResult SimBus::EnumerateInterface(SetHandle set, std::uint32_t index) {
  if (openSets_.count(set) == 0) return EnumResult::kNoMoreItems;
  if (failingIndexes_.count(index) != 0) return EnumResult::kOtherError;
  return PortAt(index) ? EnumResult::kFound : EnumResult::kNoMoreItems;
}

bool SimBus::ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) {
  if (openSets_.count(set) == 0) return false;
  const std::optional<std::size_t> port = PortAt(index);
  if (!port || ports_[*port].detailUnreadable) return false;
  path = ports_[*port].path;
  return true;
}

bool SimBus::ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) {
  if (openSets_.count(set) == 0 || hideLocations_) return false;
  const std::optional<std::size_t> port = PortAt(index);
  if (!port) return false;
  location = Location(*port);
  return true;
}

void SimBus::CloseInterfaceSet(SetHandle set) { openSets_.erase(set); }

DeviceTransport::Handle SimBus::Open(const std::string& path) {
  for (std::size_t port = 0; port < ports_.size(); ++port) {
    if (!ports_[port].present) continue;
    const std::string& interfacePath = ports_[port].path;
    if (path.compare(0, interfacePath.size(), interfacePath) != 0) continue;
    const std::string rest = path.substr(interfacePath.size());
    std::string pipe;
    if (!rest.empty()) {
      if (rest[0] != '\\') continue;
      pipe = rest.substr(1);
      if (pipe != "PIPE00" && pipe != "PIPE01" && pipe != "PIPE02") break;
      auto fault = pipeOpenFaults_.find(pipe);
      if (fault != pipeOpenFaults_.end() && fault->second.Hits()) break;
    } else if (ports_[port].heldByOther) {
      break;
    }
    const Handle handle = nextHandle_++;
    handles_[handle] = OpenFile{port, ports_[port].generation, path, pipe};
    transcript_.push_back(MakeEvent(SimEvent::Kind::kOpen, path));
    return handle;
  }
  transcript_.push_back(MakeEvent(SimEvent::Kind::kOpenFailed, path));
  return kInvalidHandle;
}

SimBus::OpenFile* SimBus::Find(Handle handle) {
  auto found = handles_.find(handle);
  if (found == handles_.end() || found->second.port >= ports_.size()) return nullptr;
  const Port& port = ports_[found->second.port];
  return port.present && port.generation == found->second.generation ? &found->second : nullptr;
}

bool SimBus::IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) {
  SimEvent event = MakeEvent(SimEvent::Kind::kIoControl);
  SimRequest& request = event.request;
  request.ioctl = code;
  request.block.assign(block.begin(), block.end());
  OpenFile* file = Find(handle);
  if (file == nullptr || file->pipe != "PIPE00" || block.size() != kBlock.size) {
    if (file != nullptr && block.size() != kBlock.size) {
      ports_[file->port].camera->refusals.push_back(
          Format("a block of %u bytes, not %u", static_cast<unsigned>(block.size()),
                 static_cast<unsigned>(kBlock.size)));
    }
    event.ok = false;
    transcript_.push_back(event);
    return false;
  }
  request.bRequest = block[0];
  request.wIndex = GetLe16(block, 2);
  request.wValue = GetLe16(block, 4);
  request.direction = block[kBlock.directionAt];
  auto* data = reinterpret_cast<std::uint8_t*>(AddressAt(block, kBlock.dataAddressAt));
  const auto* lengthCell =
      reinterpret_cast<const std::uint32_t*>(AddressAt(block, kBlock.lengthAddressAt));
  if (const std::optional<std::string> refusal = JudgeBlock(block, lengthCell, data)) {
    ports_[file->port].camera->refusals.push_back(*refusal);
    event.ok = false;
    transcript_.push_back(event);
    return false;
  }
  request.wLength = static_cast<std::uint16_t>(*lengthCell);
  if (request.direction == 0 && request.wLength > 0) request.data.assign(data, data + request.wLength);

  bool failed = false;
  for (RequestFault& fault : requestFaults_) {
    if (fault.bRequest != request.bRequest) continue;
    if (fault.wValue && *fault.wValue != request.wValue) continue;
    if (fault.when.Hits()) failed = true;
  }
  // The driver's second control is for request 9 without a data stage; every
  // other request goes through the first.
  const bool ioctlMatches =
      code == (request.bRequest == 9 && request.wLength == 0 ? 0x220010u : 0x22000Cu);
  std::vector<std::uint8_t> answer;
  if (!failed && ioctlMatches) {
    failed = !ports_[file->port].camera->HandleRequest(request, answer);
  } else {
    failed = true;
  }
  if (!failed && request.direction == 1 && data != nullptr) {
    std::memcpy(data, answer.data(), std::min<std::size_t>(answer.size(), request.wLength));
    request.data = answer;
  }
  event.ok = !failed;
  transcript_.push_back(event);
  return !failed;
}

bool SimBus::Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) {
  done = 0;
  SimEvent event = MakeEvent(SimEvent::Kind::kRead);
  event.size = static_cast<std::uint32_t>(buffer.size());
  OpenFile* file = Find(handle);
  const std::optional<TransferFault> fault = FaultFor(readFaults_, ++readsSeen_);
  std::uint32_t stallMs = fault ? fault->stallMs : 0;
  if (file != nullptr && ports_[file->port].readStallMs > 0) {
    stallMs = std::exchange(ports_[file->port].readStallMs, 0u);
  }
  readCancelled_.store(false);
  pendingRead_.store(handle);
  // The camera's time passes a millisecond at a time, so that a cancel from
  // the host's watchdog ends the stall when it comes.
  if (stallMs > 0 && passTime_) {
    for (std::uint32_t ms = 0; ms < stallMs && !readCancelled_.load(); ++ms) passTime_(1);
  }
  pendingRead_.store(kInvalidHandle);
  const bool cancelled = readCancelled_.exchange(false);
  if (file == nullptr || file->pipe != "PIPE00" || cancelled || (fault && !fault->missing)) {
    event.ok = false;
    transcript_.push_back(event);
    return false;
  }
  std::span<std::uint8_t> wanted = buffer;
  if (fault) wanted = buffer.first(buffer.size() - std::min<std::size_t>(*fault->missing, buffer.size()));
  done = ports_[file->port].camera->ProvideBulkIn(wanted);
  event.moved = done;
  transcript_.push_back(event);
  return true;
}

bool SimBus::Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) {
  done = 0;
  SimEvent event = MakeEvent(SimEvent::Kind::kWrite);
  event.size = static_cast<std::uint32_t>(data.size());
  OpenFile* file = Find(handle);
  const std::optional<TransferFault> fault = FaultFor(writeFaults_, ++writesSeen_);
  if (file == nullptr || file->pipe != "PIPE01" || (fault && !fault->missing)) {
    event.ok = false;
    transcript_.push_back(event);
    return false;
  }
  std::span<const std::uint8_t> accepted = data;
  if (fault) accepted = data.first(data.size() - std::min<std::size_t>(*fault->missing, data.size()));
  done = ports_[file->port].camera->AcceptBulkOut(accepted);
  event.moved = done;
  transcript_.push_back(event);
  return true;
}

void SimBus::CancelPending(Handle handle) {
  if (handle != kInvalidHandle && pendingRead_.load() == handle) readCancelled_.store(true);
}

void SimBus::Close(Handle handle) {
  auto found = handles_.find(handle);
  if (found == handles_.end()) return;
  transcript_.push_back(MakeEvent(SimEvent::Kind::kClose, found->second.path));
  // The camera restarts once the transfer that carried its firmware is over.
  const bool bulkOut = found->second.pipe == "PIPE01" && Find(handle) != nullptr;
  const std::size_t port = found->second.port;
  handles_.erase(found);
  if (bulkOut) DropOffIfRestarting(port);
}

}  // namespace bb::sim

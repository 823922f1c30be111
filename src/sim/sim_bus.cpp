#include "sim/sim_bus.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "sim/fresh_camera.h"
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

// A request block as the driver reads it into `request`: why the driver
// refuses it, if it does, and where its data stage lies.
struct BlockReading {
  std::optional<std::string> refusal;
  std::uint8_t* data = nullptr;
};

BlockReading ReadBlock(std::span<std::uint8_t> block, SimRequest& request) {
  BlockReading reading;
  if (block.size() != kBlock.size) {
    reading.refusal = Format("a block of %u bytes, not %u", static_cast<unsigned>(block.size()),
                             static_cast<unsigned>(kBlock.size));
    return reading;
  }
  request.bRequest = block[0];
  request.wIndex = GetLe16(block, 2);
  request.wValue = GetLe16(block, 4);
  request.direction = block[kBlock.directionAt];
  reading.data = reinterpret_cast<std::uint8_t*>(AddressAt(block, kBlock.dataAddressAt));
  const auto* lengthCell = reinterpret_cast<const std::uint32_t*>(AddressAt(block, kBlock.lengthAddressAt));
  reading.refusal = JudgeBlock(block, lengthCell, reading.data);
  if (reading.refusal) return reading;
  request.wLength = static_cast<std::uint16_t>(*lengthCell);
  if (request.direction == 0 && request.wLength > 0) {
    request.data.assign(reading.data, reading.data + request.wLength);
  }
  return reading;
}

// The driver's second control is for request 9 without a data stage; every
// other request goes through the first.
bool RightControl(const SimRequest& request, std::uint32_t code) {
  return code == (request.bRequest == 9 && request.wLength == 0 ? 0x220010u : 0x22000Cu);
}

// The camera sees a request on its request pipe, and the refusal of a block
// of the wrong size on any pipe.
bool ReachesCamera(const std::string& pipe, std::span<const std::uint8_t> block) {
  return pipe == "PIPE00" || block.size() != kBlock.size;
}

}  // namespace

class SimBus::Hold {
 public:
  explicit Hold(SimBus& bus) : bus_(bus), lock_(bus.mutex_) { bus_.tidings_ = &tidings_; }
  ~Hold() {
    bus_.tidings_ = nullptr;
    lock_.unlock();
    for (const FaultId fault : tidings_.fired) {
      if (bus_.faultObserver_) bus_.faultObserver_(fault);
    }
    for (const DeviceArrival& arrival : tidings_.arrivals) {
      if (bus_.arrivalHandler_) bus_.arrivalHandler_(arrival);
    }
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  SimBus& bus_;
  std::unique_lock<std::mutex> lock_;
  Tidings tidings_;
};

template <typename Work>
auto SimBus::WithCamera(std::size_t port, std::uint32_t generation, Work work) {
  std::shared_ptr<Model> model;
  {
    Hold hold(*this);
    model = ports_.at(port).model;
  }
  using Answer = decltype(work(model->camera));
  if (!model) return std::optional<Answer>();
  const std::lock_guard lock(model->mutex);
  if (model->generation != generation) return std::optional<Answer>();
  return std::optional<Answer>(work(model->camera));
}

void SimBus::NewGeneration(Port& port) {
  port.generation = ++generations_;
  if (!port.model) return;
  const std::lock_guard lock(port.model->mutex);
  port.model->generation = port.generation;
}

void SimBus::Announce(const std::string& path) {
  const DeviceArrival arrival{true, path};
  for (int i = 0; i < arrivalTimes_; ++i) tidings_->arrivals.push_back(arrival);
}

SimCamera& SimBus::Attach(std::string interfacePath) {
  Hold hold(*this);
  Port port;
  port.model = std::make_shared<Model>(liveModels_);
  port.instance = ++instances_;
  NewGeneration(port);
  port.number = static_cast<std::uint32_t>(ports_.size()) + 1;
  ++camerasMade_;
  port.path = interfacePath.empty() ? DefaultPath() : std::move(interfacePath);
  port.serial = Format("SIM%04u", port.number);
  ports_.push_back(std::move(port));
  return ports_.back().model->camera;
}

SimCamera& SimBus::PlugIn(std::string interfacePath) {
  SimCamera& camera = Attach(std::move(interfacePath));
  Hold hold(*this);
  Announce(ports_.back().path);
  return camera;
}

bool SimBus::Unplug(std::size_t index) {
  Hold hold(*this);
  Port& port = ports_.at(index);
  if (!port.model) return false;
  port.present = false;
  port.returning = false;
  NewGeneration(port);
  port.model.reset();
  port.instance = 0;
  DropCameraFaults(index);
  return true;
}

std::size_t SimBus::AddEmptyPort() {
  Hold hold(*this);
  Port port;
  port.present = false;
  port.number = static_cast<std::uint32_t>(ports_.size()) + 1;
  ports_.push_back(std::move(port));
  return ports_.size() - 1;
}

bool SimBus::PlugIn(std::size_t index, std::optional<std::string> serial,
                    const std::function<void()>& beforeArrival) {
  // Made before the bus is held: the sample image takes a while to encode.
  auto model = std::make_shared<Model>(liveModels_);
  SetUpFreshCamera(model->camera, false);
  std::uint64_t instance = 0;
  {
    Hold hold(*this);
    Port& port = ports_.at(index);
    if (port.model) return false;
    DropCameraFaults(index);
    port.model = std::move(model);
    instance = port.instance = ++instances_;
    ++camerasMade_;
    port.path = DefaultPath();
    port.serial = std::move(serial);
    NewGeneration(port);
  }
  if (beforeArrival) beforeArrival();
  Hold hold(*this);
  Port& port = ports_.at(index);
  if (port.instance != instance || port.present || port.returning) return false;
  port.present = true;
  NewGeneration(port);
  Announce(port.path);
  return true;
}

bool SimBus::Restart(std::size_t index) {
  Hold hold(*this);
  Port& port = ports_.at(index);
  if (!port.model || !port.present) return false;
  port.present = false;
  port.returning = true;
  NewGeneration(port);
  return true;
}

bool SimBus::PowerDown(std::size_t index) {
  Hold hold(*this);
  Port& port = ports_.at(index);
  if (!port.model) return false;
  port.present = false;
  port.returning = false;
  NewGeneration(port);
  return true;
}

bool SimBus::PowerUp(std::size_t index) {
  Hold hold(*this);
  Port& port = ports_.at(index);
  if (!port.model || port.present) return false;
  ++camerasMade_;
  port.path = DefaultPath();
  port.present = true;
  port.returning = false;
  NewGeneration(port);
  {
    const std::lock_guard lock(port.model->mutex);
    port.model->camera.PoweredUp();
  }
  Record(MakeEvent(SimEvent::Kind::kReenumerate, port.path), index);
  Announce(port.path);
  return true;
}

std::weak_ptr<const SimCamera> SimBus::CameraModel(std::size_t index) {
  Hold hold(*this);
  const std::shared_ptr<Model>& model = ports_.at(index).model;
  if (!model) return {};
  return std::shared_ptr<const SimCamera>(model, &model->camera);
}

void SimBus::DropCameraFaults(std::size_t index) {
  const auto aimedHere = [index](const auto& fault) { return fault.camera == index; };
  std::erase_if(pipeOpenFaults_, aimedHere);
  std::erase_if(requestFaults_, aimedHere);
  std::erase_if(writeFaults_, aimedHere);
  std::erase_if(readFaults_, aimedHere);
  std::erase_if(watchedFaults_, aimedHere);
  Port& port = ports_.at(index);
  port.neverReturns = false;
  port.neverReturnFault = kNoFault;
  port.readStallMs = 0;
  port.detailUnreadable = false;
  port.heldByOther = false;
  UpdateQuiet();
}

void SimBus::AimFaultsAt(std::optional<std::size_t> camera) {
  Hold hold(*this);
  aim_ = camera;
}

SimBus::Aiming::Aiming(SimBus& bus, std::optional<std::size_t> camera) : bus_(bus), lock_(bus.aimMutex_) {
  bus_.AimFaultsAt(camera);
}

SimBus::Aiming::~Aiming() { bus_.AimFaultsAt(std::nullopt); }

void SimBus::ChangeCameras(std::optional<std::size_t> camera, const std::function<void(SimCamera&)>& change) {
  std::vector<std::shared_ptr<Model>> models;
  {
    Hold hold(*this);
    for (std::size_t i = 0; i < ports_.size(); ++i) {
      if ((!camera || *camera == i) && ports_[i].model) models.push_back(ports_[i].model);
    }
  }
  for (const std::shared_ptr<Model>& model : models) {
    const std::lock_guard lock(model->mutex);
    change(model->camera);
  }
}

std::string SimBus::DefaultPath() const {
  return Format("\\\\?\\usb#vid_0c45&pid_2860#sim%u#{cb519fa1-e908-11d2-aadd-0060673487b7}",
                camerasMade_);
}

std::string SimBus::Location(std::size_t index) const {
  return std::to_string(ports_.at(index).number);
}

void SimBus::DetachAll() {
  Hold hold(*this);
  ports_.clear();
}

void SimBus::SetDetailUnreadable(std::size_t camera, bool unreadable) {
  Hold hold(*this);
  ports_.at(camera).detailUnreadable = unreadable;
}

void SimBus::SetHeldByOtherProgram(std::size_t camera, bool held) {
  Hold hold(*this);
  ports_.at(camera).heldByOther = held;
}

namespace {

std::string Nth(std::uint32_t nth) { return nth == 0 ? std::string(" every time") : Format(" #%u", nth); }

}  // namespace

SimBus::FaultId SimBus::AddFault(std::string what) {
  faultReports_.push_back(FaultReport{std::move(what), std::nullopt});
  return faultReports_.size() - 1;
}

void SimBus::Fire(FaultId fault, std::size_t at) {
  FaultReport& report = faultReports_.at(fault);
  if (report.firedAt) return;
  report.firedAt = at;
  tidings_->fired.push_back(fault);
}

void SimBus::Settle(const std::vector<FaultId>& faults) {
  for (const FaultId fault : faults) faultReports_.at(fault).firedAt = entries_;
}

void SimBus::Record(const SimEvent& event, std::optional<std::size_t> port) {
  const std::size_t at = entries_++;
  if (keepTranscript_) {
    transcript_.push_back(event);
    transcript_.back().camera = port;
  }
  for (const WatchedFault& watched : watchedFaults_) {
    // A call to no camera in particular (enumeration) shows every camera's.
    if (port && !Targets(watched.camera, port)) continue;
    if (watched.showsIn(event)) Fire(watched.id, at);
  }
}

void SimBus::RecordCall(const SimEvent& event, std::optional<std::size_t> port) {
  if (port) {
    Record(event, port);
    return;
  }
  ++entries_;
  if (keepTranscript_) transcript_.push_back(event);
}

SimBus::FaultId SimBus::WatchFault(std::string what, std::function<bool(const SimEvent&)> showsIn) {
  Hold hold(*this);
  const FaultId id = AddFault(std::move(what));
  watchedFaults_.push_back(WatchedFault{std::move(showsIn), id, aim_});
  UpdateQuiet();
  return id;
}

void SimBus::KeepTranscript(bool keep) {
  Hold hold(*this);
  keepTranscript_ = keep;
  UpdateQuiet();
}

void SimBus::StallFirstRead(std::size_t camera, std::uint32_t ms) {
  Hold hold(*this);
  ports_.at(camera).readStallMs = ms;
  UpdateQuiet();
}

void SimBus::UpdateQuiet() {
  const bool stalls = std::any_of(ports_.begin(), ports_.end(), [](const Port& port) { return port.readStallMs > 0; });
  quiet_ = !keepTranscript_ && !stalls && writeFaults_.empty() && readFaults_.empty() && requestFaults_.empty() &&
           watchedFaults_.empty();
}

SimBus::FaultId SimBus::NeverReturn(std::size_t camera) {
  Hold hold(*this);
  Port& port = ports_.at(camera);
  port.neverReturns = true;
  port.neverReturnFault = AddFault("never returns");
  return port.neverReturnFault;
}

SimBus::FaultId SimBus::NeverReturn(bool never) {
  Hold hold(*this);
  neverReturn_ = never;
  neverReturnFault_ = never ? AddFault("never returns") : kNoFault;
  return neverReturnFault_;
}

SimBus::FaultId SimBus::FailPipeOpen(const std::string& pipeName, std::uint32_t nth) {
  Hold hold(*this);
  const FaultId id = AddFault("open " + pipeName + Nth(nth));
  pipeOpenFaults_.push_back(PipeFault{pipeName, CountedFault{nth, 0}, id, aim_});
  return id;
}

SimBus::FaultId SimBus::FailRequest(std::uint8_t bRequest, std::optional<std::uint16_t> wValue,
                                    std::uint32_t nth) {
  Hold hold(*this);
  const std::string value = wValue ? Format("/%u", static_cast<unsigned>(*wValue)) : std::string();
  const FaultId id = AddFault(Format("request 0x%02x%s%s", bRequest, value.c_str(), Nth(nth).c_str()));
  requestFaults_.push_back(RequestFault{bRequest, wValue, CountedFault{nth, 0}, id, aim_});
  UpdateQuiet();
  return id;
}

SimBus::FaultId SimBus::AddTransferFault(Direction direction, std::string what, std::uint32_t nth,
                                         std::optional<std::uint32_t> missing, std::uint32_t stallMs) {
  Hold hold(*this);
  const bool write = direction == kWrite;
  const FaultId id = AddFault(std::move(what) + Nth(nth));
  const std::uint32_t upcoming =
      write ? Upcoming(writesSeen_, &Model::writesSeen) : Upcoming(readsSeen_, &Model::readsSeen);
  (write ? writeFaults_ : readFaults_).push_back({upcoming + nth, missing, stallMs, id, aim_});
  UpdateQuiet();
  return id;
}

SimBus::FaultId SimBus::FailWrite(std::uint32_t nth) {
  return AddTransferFault(kWrite, "write fails", nth, std::nullopt);
}

SimBus::FaultId SimBus::ShortWrite(std::uint32_t nth, std::uint32_t missing) {
  return AddTransferFault(kWrite, "write short", nth, missing);
}

void SimBus::ClearFaults() {
  Hold hold(*this);
  failingIndexes_.clear();
  failSet_ = false;
  pipeOpenFaults_.clear();
  requestFaults_.clear();
  writeFaults_.clear();
  readFaults_.clear();
  for (Port& port : ports_) port.readStallMs = 0;
  watchedFaults_.clear();
  neverReturn_ = false;
  neverReturnFault_ = kNoFault;
  arrivalTimes_ = 1;
  UpdateQuiet();
}

SimBus::FaultId SimBus::FailRead(std::uint32_t nth) {
  return AddTransferFault(kRead, "read fails", nth, std::nullopt);
}

SimBus::FaultId SimBus::ShortRead(std::uint32_t nth, std::uint32_t missing) {
  return AddTransferFault(kRead, "read short", nth, missing);
}

SimBus::FaultId SimBus::StallRead(std::uint32_t nth, std::uint32_t ms) {
  return AddTransferFault(kRead, Format("read stalls %u ms", ms), nth, 0, ms);
}

std::optional<std::size_t> SimBus::PortOf(Handle handle) const {
  auto found = handles_.find(handle);
  if (found == handles_.end() || found->second.port >= ports_.size()) return std::nullopt;
  if (ports_[found->second.port].instance != found->second.instance) return std::nullopt;
  return found->second.port;
}

std::optional<SimBus::TransferFault> SimBus::FaultFor(const std::vector<TransferFault>& faults,
                                                      std::uint32_t busCount,
                                                      std::optional<std::size_t> port,
                                                      std::uint32_t portCount) {
  // Several faults may name one transfer: a stall, then a failure, say.
  std::optional<TransferFault> merged;
  for (const TransferFault& fault : faults) {
    const bool named = fault.camera ? fault.camera == port && fault.nth == portCount : fault.nth == busCount;
    if (!named) continue;
    Fire(fault.id, entries_);
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

const SimBus::Listed* SimBus::ListedAt(SetHandle set, std::uint32_t index) const {
  const auto found = openSets_.find(set);
  if (found == openSets_.end() || failingIndexes_.count(index) != 0) return nullptr;
  const auto below = static_cast<std::uint32_t>(
      std::count_if(failingIndexes_.begin(), failingIndexes_.end(),
                    [&](std::uint32_t failing) { return failing < index; }));
  const std::uint32_t wanted = index - below;
  return wanted < found->second.size() ? &found->second[wanted] : nullptr;
}

void SimBus::DropOffIfRestarting(std::size_t port) {
  bool restarting = false;
  {
    const std::lock_guard lock(ports_[port].model->mutex);
    restarting = ports_[port].model->camera.TakeRestart();
  }
  if (!restarting) return;
  ports_[port].present = false;
  ports_[port].returning = true;
  NewGeneration(ports_[port]);
}

bool SimBus::ReturnCameras() {
  Hold hold(*this);
  bool returned = false;
  for (std::size_t index = 0; index < ports_.size(); ++index) {
    Port& port = ports_[index];
    if (!port.returning) continue;
    if (neverReturn_ || port.neverReturns) {
      const FaultId fault = port.neverReturns ? port.neverReturnFault : neverReturnFault_;
      if (fault != kNoFault) Fire(fault, entries_);
      continue;
    }
    ++camerasMade_;
    port.path = DefaultPath();
    port.present = true;
    port.returning = false;
    NewGeneration(port);
    {
      const std::lock_guard lock(port.model->mutex);
      port.model->camera.Restarted();
    }
    Record(MakeEvent(SimEvent::Kind::kReenumerate, port.path), index);
    returned = true;
    Announce(port.path);
  }
  return returned;
}

void SimBus::AnnounceForeignArrival() {
  Hold hold(*this);
  tidings_->arrivals.push_back(DeviceArrival{});
}

DeviceTransport::SetHandle SimBus::OpenInterfaceSet(const Guid&) {
  Hold hold(*this);
  Record(MakeEvent(SimEvent::Kind::kEnumerate));
  if (failSet_) return kNoSet;
  const SetHandle set = nextSet_++;
  std::vector<Listed>& listed = openSets_[set];
  for (std::size_t port = 0; port < ports_.size(); ++port) {
    if (ports_[port].present) listed.push_back(Listed{port, ports_[port].path, ports_[port].serial});
  }
  return set;
}

DeviceTransport::EnumResult SimBus::EnumerateInterface(SetHandle set, std::uint32_t index) {
  Hold hold(*this);
  if (openSets_.count(set) == 0) return EnumResult::kNoMoreItems;
  if (failingIndexes_.count(index) != 0) return EnumResult::kOtherError;
  return ListedAt(set, index) != nullptr ? EnumResult::kFound : EnumResult::kNoMoreItems;
}

bool SimBus::ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) {
  Hold hold(*this);
  const Listed* listed = ListedAt(set, index);
  if (listed == nullptr || ports_[listed->port].detailUnreadable) return false;
  path = listed->path;
  return true;
}

bool SimBus::ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) {
  Hold hold(*this);
  if (hideLocations_) return false;
  const Listed* listed = ListedAt(set, index);
  if (listed == nullptr) return false;
  location = Location(listed->port);
  return true;
}

bool SimBus::ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) {
  Hold hold(*this);
  const Listed* listed = ListedAt(set, index);
  if (listed == nullptr || !listed->serial) return false;
  serial = *listed->serial;
  return true;
}

void SimBus::CloseInterfaceSet(SetHandle set) {
  Hold hold(*this);
  openSets_.erase(set);
}

DeviceTransport::Handle SimBus::Open(const std::string& path) {
  Hold hold(*this);
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
      bool failed = false;
      for (PipeFault& fault : pipeOpenFaults_) {
        if (fault.pipe != pipe || !Targets(fault.camera, port) || !fault.when.Hits()) continue;
        Fire(fault.id, entries_);
        failed = true;
      }
      if (failed) break;
    } else if (ports_[port].heldByOther) {
      break;
    }
    const Handle handle = nextHandle_++;
    handles_[handle] = OpenFile{port, ports_[port].instance, ports_[port].generation, path, pipe};
    Record(MakeEvent(SimEvent::Kind::kOpen, path), port);
    return handle;
  }
  Record(MakeEvent(SimEvent::Kind::kOpenFailed, path));
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
  std::optional<std::size_t> port;
  std::optional<std::size_t> answering;  // the camera that takes the request
  std::uint32_t generation = 0;          // as the call found it
  std::optional<std::string> refusal;
  std::vector<FaultId> fired;
  bool failed = false;
  std::uint8_t* data = nullptr;
  {
    Hold hold(*this);
    const OpenFile* file = Find(handle);
    port = PortOf(handle);
    if (file != nullptr) generation = file->generation;
    if (file != nullptr && ReachesCamera(file->pipe, block)) {
      answering = file->port;
      const BlockReading reading = ReadBlock(block, request);
      refusal = reading.refusal;
      data = reading.data;
    }
    failed = !answering || refusal.has_value();
    if (!failed) {
      const std::size_t firedBefore = tidings_->fired.size();
      for (RequestFault& fault : requestFaults_) {
        if (fault.bRequest != request.bRequest) continue;
        if (fault.wValue && *fault.wValue != request.wValue) continue;
        if (!Targets(fault.camera, file->port)) continue;
        if (!fault.when.Hits()) continue;
        Fire(fault.id, entries_);
        failed = true;
      }
      fired.assign(tidings_->fired.begin() + static_cast<std::ptrdiff_t>(firedBefore), tidings_->fired.end());
      failed = failed || !RightControl(request, code);
    }
  }
  std::vector<std::uint8_t> answer;
  if (answering) {
    failed = WithCamera(*answering, generation, [&](SimCamera& camera) {
               if (refusal) camera.refusals.push_back(*refusal);
               return failed || !camera.HandleRequest(request, answer);
             }).value_or(true);
  }
  if (!failed && request.direction == 1 && data != nullptr) {
    std::memcpy(data, answer.data(), std::min<std::size_t>(answer.size(), request.wLength));
    request.data = answer;
  }
  event.ok = !failed;
  Hold hold(*this);
  Settle(fired);
  RecordCall(event, port);
  return !failed;
}

bool SimBus::Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) {
  return ReadPassing(handle, buffer, done, passTime_);
}

bool SimBus::ReadPassing(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done,
                         const TimePassage& passTime) {
  done = 0;
  SimEvent event = MakeEvent(SimEvent::Kind::kRead);
  event.size = static_cast<std::uint32_t>(buffer.size());
  std::optional<std::size_t> port;
  std::optional<std::size_t> serving;  // the camera whose pipe serves the read
  std::uint32_t generation = 0;
  std::optional<TransferFault> fault;
  std::vector<FaultId> fired;
  std::uint32_t stallMs = 0;
  {
    Hold hold(*this);
    const OpenFile* file = Find(handle);
    port = PortOf(handle);
    const std::uint32_t portCount = port ? ++ports_[*port].model->readsSeen : 0;
    const std::size_t firedBefore = tidings_->fired.size();
    fault = FaultFor(readFaults_, ++readsSeen_, port, portCount);
    fired.assign(tidings_->fired.begin() + static_cast<std::ptrdiff_t>(firedBefore), tidings_->fired.end());
    stallMs = fault ? fault->stallMs : 0;
    if (file != nullptr && ports_[file->port].readStallMs > 0) {
      stallMs = std::exchange(ports_[file->port].readStallMs, 0u);
      UpdateQuiet();
    }
    if (file != nullptr && file->pipe == "PIPE00") {
      serving = file->port;
      generation = file->generation;
    }
    pendingReads_[handle] = false;
  }
  // The camera's time passes a millisecond at a time, so that a cancel from
  // the host's watchdog ends the stall when it comes; the bus is not held
  // meanwhile, and other cameras go on.
  const auto cancelled = [&] {
    Hold hold(*this);
    return pendingReads_[handle];
  };
  if (stallMs > 0 && passTime) {
    for (std::uint32_t ms = 0; ms < stallMs && !cancelled(); ++ms) passTime(1);
  }
  bool ended = false;
  {
    Hold hold(*this);
    ended = pendingReads_[handle];
    pendingReads_.erase(handle);
  }
  if (!serving || ended || (fault && !fault->missing)) {
    event.ok = false;
  } else {
    std::span<std::uint8_t> wanted = buffer;
    if (fault) wanted = buffer.first(buffer.size() - std::min<std::size_t>(*fault->missing, buffer.size()));
    // A camera unplugged or gone off the bus during a stall serves nothing.
    const std::optional<std::uint32_t> served =
        WithCamera(*serving, generation, [&](SimCamera& camera) { return camera.ProvideBulkIn(wanted); });
    event.ok = served.has_value();
    done = served.value_or(0);
    event.moved = done;
  }
  Hold hold(*this);
  Settle(fired);
  RecordCall(event, port);
  return event.ok;
}

bool SimBus::Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) {
  done = 0;
  SimEvent event = MakeEvent(SimEvent::Kind::kWrite);
  event.size = static_cast<std::uint32_t>(data.size());
  std::optional<std::size_t> port;
  std::optional<std::size_t> taking;  // the camera whose pipe takes the data
  std::uint32_t generation = 0;
  std::optional<TransferFault> fault;
  std::vector<FaultId> fired;
  {
    Hold hold(*this);
    const OpenFile* file = Find(handle);
    port = PortOf(handle);
    const std::uint32_t portCount = port ? ++ports_[*port].model->writesSeen : 0;
    const std::size_t firedBefore = tidings_->fired.size();
    fault = FaultFor(writeFaults_, ++writesSeen_, port, portCount);
    fired.assign(tidings_->fired.begin() + static_cast<std::ptrdiff_t>(firedBefore), tidings_->fired.end());
    if (file != nullptr && file->pipe == "PIPE01") {
      taking = file->port;
      generation = file->generation;
    }
  }
  if (!taking || (fault && !fault->missing)) {
    event.ok = false;
  } else {
    std::span<const std::uint8_t> accepted = data;
    if (fault) accepted = data.first(data.size() - std::min<std::size_t>(*fault->missing, data.size()));
    const std::optional<std::uint32_t> taken =
        WithCamera(*taking, generation, [&](SimCamera& camera) { return camera.AcceptBulkOut(accepted); });
    event.ok = taken.has_value();
    done = taken.value_or(0);
    event.moved = done;
  }
  Hold hold(*this);
  Settle(fired);
  RecordCall(event, port);
  return event.ok;
}

std::optional<SimBus::Lane> SimBus::LaneOf(Handle handle) {
  Hold hold(*this);
  const auto found = handles_.find(handle);
  if (found == handles_.end() || PortOf(handle) != found->second.port) return std::nullopt;
  Lane lane;
  lane.model_ = ports_[found->second.port].model;
  lane.generation_ = found->second.generation;
  lane.pipe_ = found->second.pipe;
  return lane;
}

// On a quiet bus nothing of a call is the bus's but its counts, which are
// atomic: the handle's camera, under its own lock, is all the call holds. The
// camera answers only while it is on the bus as it was when the handle was
// opened, as a call through the bus finds it.
bool SimBus::IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block, const Lane& lane) {
  if (!quiet_) return IoControl(handle, code, block);
  ++entries_;
  const std::shared_ptr<Model> model = lane.model_.lock();
  if (!model || !ReachesCamera(lane.pipe_, block)) return false;
  SimRequest request;
  request.ioctl = code;
  const BlockReading reading = ReadBlock(block, request);
  std::vector<std::uint8_t> answer;
  {
    const std::lock_guard lock(model->mutex);
    if (model->generation != lane.generation_) return false;
    if (reading.refusal) {
      model->camera.refusals.push_back(*reading.refusal);
      return false;
    }
    if (!RightControl(request, code) || !model->camera.HandleRequest(request, answer)) return false;
  }
  if (request.direction == 1 && reading.data != nullptr) {
    std::memcpy(reading.data, answer.data(), std::min<std::size_t>(answer.size(), request.wLength));
  }
  return true;
}

bool SimBus::ReadPassing(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done,
                         const TimePassage& passTime, const Lane& lane) {
  if (!quiet_) return ReadPassing(handle, buffer, done, passTime);
  done = 0;
  ++readsSeen_;
  ++entries_;
  const std::shared_ptr<Model> model = lane.model_.lock();
  if (!model) return false;
  const std::lock_guard lock(model->mutex);
  ++model->readsSeen;
  if (lane.pipe_ != "PIPE00" || model->generation != lane.generation_) return false;
  done = model->camera.ProvideBulkIn(buffer);
  return true;
}

bool SimBus::Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done, const Lane& lane) {
  if (!quiet_) return Write(handle, data, done);
  done = 0;
  ++writesSeen_;
  ++entries_;
  const std::shared_ptr<Model> model = lane.model_.lock();
  if (!model) return false;
  const std::lock_guard lock(model->mutex);
  ++model->writesSeen;
  if (lane.pipe_ != "PIPE01" || model->generation != lane.generation_) return false;
  done = model->camera.AcceptBulkOut(data);
  return true;
}

void SimBus::CancelPending(Handle handle) {
  Hold hold(*this);
  const auto pending = pendingReads_.find(handle);
  if (handle != kInvalidHandle && pending != pendingReads_.end()) pending->second = true;
}

void SimBus::Close(Handle handle) {
  Hold hold(*this);
  auto found = handles_.find(handle);
  if (found == handles_.end()) return;
  RecordCall(MakeEvent(SimEvent::Kind::kClose, found->second.path), PortOf(handle));
  // The camera restarts once the transfer that carried its firmware is over.
  const bool bulkOut = found->second.pipe == "PIPE01" && Find(handle) != nullptr;
  const std::size_t port = found->second.port;
  handles_.erase(found);
  if (bulkOut) DropOffIfRestarting(port);
}

}  // namespace bb::sim

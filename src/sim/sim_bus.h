#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/arrival_watch.h"
#include "platform/device_transport.h"
#include "sim/sim_camera.h"
#include "sim/sim_event.h"

namespace bb::sim {

// The simulated camera driver: a device transport over any number of attached
// camera models, with a transcript of every call and faults injected per call.
//
// Several threads may call it at once, as several sessions reach the cameras
// of one machine. The bus is held only while a call does its bookkeeping
// (handles, counts, faults, the transcript); a camera's model answers under a
// lock of that camera alone; and the time a camera takes of its own (a
// stalled read) passes holding neither, so one camera never holds up
// another's transfer. A caller that keeps its own handles (a shared bus's
// session, through a Lane) moves data and requests on a bus that keeps no
// transcript and has no transfer faults holding its camera alone, never the
// bus. The fault observer and the arrival handler are called
// on the calling thread once the bus is let go, so they may call it again.
// Set them and make the ports before calls begin. Cameras attached before
// calls begin may have faults injected then; a line of cameras plugged into
// empty ports while calls run (PlugIn, Unplug, PowerDown, PowerUp, Restart)
// takes faults aimed at each camera as it is plugged in. What a test reads
// back (transcript, reports, a camera's model) it reads once no call runs.
class SimBus final : public DeviceTransport {
 private:
  struct Model;

 public:
  // Names an injected fault in its report.
  using FaultId = std::size_t;
  static constexpr FaultId kNoFault = static_cast<FaultId>(-1);

  // Attaches a camera at the next free port (1, 2, ...), which it keeps across
  // its restarts; its interface path is made up unless given.
  SimCamera& Attach(std::string interfacePath = {});
  // A camera plugged in while the host runs: attached, and its arrival
  // announced.
  SimCamera& PlugIn(std::string interfacePath = {});
  // The camera leaves the bus and stays away; its port stays its own, empty.
  // Its model is freed once no call is answered by it, and every fault aimed
  // at it is dropped, fired or not. False when the port was empty.
  bool Unplug(std::size_t index);
  void DetachAll();
  // The camera at a port; there must be one.
  SimCamera& Camera(std::size_t index = 0) { return ports_.at(index).model->camera; }

  // --- a line of cameras, plugged in one after another ---
  // A port with no camera, at the next port number; make them all before
  // calls begin. Returns its index.
  std::size_t AddEmptyPort();
  // A fresh camera (waiting for its parameters and core, the sample firmware
  // in its storage) at the empty port `index`, under a new interface path and
  // with this USB serial number (none for nullopt). `beforeArrival` runs
  // while it is at the port but not yet on the bus: faults aimed at the port
  // then target it alone, counting its own calls. Then it is on the bus and
  // its arrival announced. False when the port holds a camera, or lost it
  // again before it arrived.
  bool PlugIn(std::size_t index, std::optional<std::string> serial,
              const std::function<void()>& beforeArrival = {});
  // The camera leaves the bus and comes back by itself, as one that restarts
  // after its burn: at the next ReturnCameras, under a new interface path.
  // False when there is no camera on the bus at the port.
  bool Restart(std::size_t index);
  // The same camera off the bus, and back on with its serial number and its
  // storage, booted afresh (its RAM lost) and announced. False when there is
  // no camera at the port, or (PowerUp) when it is on the bus.
  bool PowerDown(std::size_t index);
  bool PowerUp(std::size_t index);
  // Camera models not yet freed.
  std::size_t LiveCameras() const { return liveModels_.load(); }
  // The model of the camera now at the port, to see when it is freed; empty
  // when the port is empty.
  std::weak_ptr<const SimCamera> CameraModel(std::size_t index);
  const std::string& InterfacePath(std::size_t index = 0) const { return ports_.at(index).path; }
  // The location the transport reports for a camera: its port number.
  std::string Location(std::size_t index = 0) const;
  // The USB serial number a camera reports: SIM and its port number in four
  // digits (SIM0002) unless set; none when set to nullopt.
  void SetSerial(std::size_t index, std::optional<std::string> serial) { ports_.at(index).serial = std::move(serial); }
  std::size_t Cameras() const { return ports_.size(); }

  // --- re-enumeration ---
  // A camera that restarted is off the bus until the host's message loop goes
  // idle; then it comes back under a new interface path and is announced as an
  // interface of the camera's class. Returns true when a camera came back.
  bool ReturnCameras();
  using ArrivalHandler = std::function<void(const DeviceArrival&)>;
  void SetArrivalHandler(ArrivalHandler handler) { arrivalHandler_ = std::move(handler); }
  // Something that is not a camera appears on the machine (a memory stick's
  // volume, a serial port) and is announced at once.
  void AnnounceForeignArrival();
  // The camera stays away after its restart: every camera, or one. The fault
  // fires when a camera that restarted would have come back. NeverReturn(false)
  // returns kNoFault.
  FaultId NeverReturn(bool never = true);
  FaultId NeverReturn(std::size_t camera);
  // Each return is announced this many times, as some drivers do.
  void AnnounceArrivalTimes(int times) { arrivalTimes_ = times; }
  bool Present(std::size_t camera = 0) const { return ports_.at(camera).present; }

  // --- faults ---
  // The faults injected from now on target this camera alone, and count its
  // own calls; without a camera (as at the start) they target every camera's
  // calls, counted over the whole bus.
  void AimFaultsAt(std::optional<std::size_t> camera);
  // Aims the faults injected while it lives, as AimFaultsAt does, for one
  // thread at a time: injections on several threads do not aim each other's.
  class Aiming {
   public:
    Aiming(SimBus& bus, std::optional<std::size_t> camera);
    ~Aiming();
    Aiming(const Aiming&) = delete;
    Aiming& operator=(const Aiming&) = delete;

   private:
    SimBus& bus_;
    std::unique_lock<std::mutex> lock_;
  };
  // Changes the state of the camera at a port (none: of every camera), under
  // its own lock, so that it may be done while calls run.
  void ChangeCameras(std::optional<std::size_t> camera, const std::function<void(SimCamera&)>& change);
  // The interface's detail cannot be read, or another program holds it.
  void SetDetailUnreadable(std::size_t camera, bool unreadable);
  void SetHeldByOtherProgram(std::size_t camera, bool held);
  // Enumeration index `index` fails with an error other than "no more items";
  // the cameras move up by one index.
  void FailEnumerationAt(std::uint32_t index) { failingIndexes_.insert(index); }
  void FailInterfaceSet(bool fail) { failSet_ = fail; }
  // The driver cannot tell where its cameras are plugged in.
  void HideLocations(bool hide) { hideLocations_ = hide; }
  // The nth open (1-based) of a pipe of this name fails; 0 fails every one.
  FaultId FailPipeOpen(const std::string& pipeName, std::uint32_t nth = 0);
  // The nth I/O control (1-based) of this request code, and of this wValue if
  // given, fails; 0 fails every one.
  FaultId FailRequest(std::uint8_t bRequest, std::optional<std::uint16_t> wValue = std::nullopt,
                      std::uint32_t nth = 0);
  // The nth bulk write from now on (1-based, counted over the whole bus)
  // fails, or moves `missing` bytes fewer than given.
  FaultId FailWrite(std::uint32_t nth);
  FaultId ShortWrite(std::uint32_t nth, std::uint32_t missing = 1);
  // The same for bulk reads; a stalled read takes `ms` of the camera's time
  // before it completes, which the time passage lets the host's clock see. A
  // stalled read that is cancelled fails at once.
  FaultId FailRead(std::uint32_t nth);
  FaultId ShortRead(std::uint32_t nth, std::uint32_t missing = 1);
  FaultId StallRead(std::uint32_t nth, std::uint32_t ms);
  // The next bulk read from this one camera stalls so, whatever the others do.
  void StallFirstRead(std::size_t camera, std::uint32_t ms);
  // A fault of a camera's own state (busy, no storage, ...) that shows at the
  // first call whose transcript entry `showsIn` accepts.
  FaultId WatchFault(std::string what, std::function<bool(const SimEvent&)> showsIn);
  using TimePassage = std::function<void(std::uint32_t ms)>;
  // How the camera's time passes for Read; a shared bus gives each session's
  // read its own, through ReadPassing.
  void SetTimePassage(TimePassage passTime) { passTime_ = std::move(passTime); }
  bool ReadPassing(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done,
                   const TimePassage& passTime);

  // Drops every fault injected so far; their reports stay.
  void ClearFaults();

  // --- what became of the faults ---
  // Whether the call a fault targets was made: the index of the transcript
  // entry of that call (for a camera that never returns, of the next call),
  // or nothing while it has not fired.
  struct FaultReport {
    std::string what;  // "request 0x21/4 #2", "write fails #3", ...
    std::optional<std::size_t> firedAt;
  };
  const std::vector<FaultReport>& FaultReports() const { return faultReports_; }
  bool Fired(FaultId fault) const { return faultReports_.at(fault).firedAt.has_value(); }
  // Told of each fault once, as it fires.
  void SetFaultObserver(std::function<void(FaultId)> observer) { faultObserver_ = std::move(observer); }

  // --- transcript ---
  // Without it the calls are still counted (a fault's report names the
  // call's number) but not kept, so that a long line of cameras costs no
  // memory for them.
  void KeepTranscript(bool keep);
  const std::vector<SimEvent>& Transcript() const { return transcript_; }
  std::vector<std::string> TranscriptLines() const;
  std::vector<SimRequest> Requests() const;
  void ClearTranscript() {
    transcript_.clear();
    entries_ = 0;
  }
  std::size_t OpenHandles() const { return handles_.size(); }

  // --- a caller's own handles ---
  // What an open handle leads to, taken once after the open by a caller that
  // keeps its handles apart (a shared bus's session, on its own thread). The
  // calls that take it count and answer as those without do, but while the
  // bus keeps no transcript and has no fault that a transfer or request could
  // fire, they hold the handle's camera alone: many cameras' transfers never
  // wait for each other.
  class Lane {
   private:
    friend class SimBus;
    std::weak_ptr<Model> model_;
    std::uint32_t generation_ = 0;
    std::string pipe_;
  };
  std::optional<Lane> LaneOf(Handle handle);
  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block, const Lane& lane);
  bool ReadPassing(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done,
                   const TimePassage& passTime, const Lane& lane);
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done, const Lane& lane);

  // --- DeviceTransport ---
  SetHandle OpenInterfaceSet(const Guid& interfaceClass) override;
  EnumResult EnumerateInterface(SetHandle set, std::uint32_t index) override;
  bool ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) override;
  bool ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) override;
  bool ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) override;
  void CloseInterfaceSet(SetHandle set) override;
  Handle Open(const std::string& path) override;
  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override;
  bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override;
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) override;
  void CancelPending(Handle handle) override;
  void Close(Handle handle) override;

 private:
  // A camera's model, for as long as it is plugged in or a call it answers
  // lasts.
  struct Model {
    explicit Model(std::atomic<std::size_t>& live) : live_(live) { ++live_; }
    ~Model() { --live_; }
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    SimCamera camera;
    // Held while the model answers a call.
    std::mutex mutex;
    // The port's generation, kept under `mutex` too: a call answers only
    // while the camera is still on the bus as it was when the call found it.
    std::uint32_t generation = 0;
    // The camera's own transfers, as faults aimed at it count them.
    std::atomic<std::uint32_t> writesSeen{0};
    std::atomic<std::uint32_t> readsSeen{0};

   private:
    std::atomic<std::size_t>& live_;
  };
  struct Port {
    std::shared_ptr<Model> model;  // null while the port is empty
    // Which camera is at the port: a new one for each camera plugged in,
    // kept over its restarts and power cycles.
    std::uint64_t instance = 0;
    std::uint32_t number = 0;
    std::string path;
    std::optional<std::string> serial;
    bool detailUnreadable = false;
    bool heldByOther = false;
    bool present = true;
    bool returning = false;
    bool neverReturns = false;
    FaultId neverReturnFault = kNoFault;
    std::uint32_t readStallMs = 0;
    std::uint32_t generation = 0;
  };
  struct OpenFile {
    std::size_t port = 0;
    std::uint64_t instance = 0;
    std::uint32_t generation = 0;
    std::string path;
    std::string pipe;  // empty for the interface itself
  };
  struct CountedFault {
    std::uint32_t nth = 0;  // 0: every time
    std::uint32_t seen = 0;
    bool Hits() { return ++seen == nth || nth == 0; }
  };
  // Each fault targets one camera's calls, or every camera's (none).
  struct PipeFault {
    std::string pipe;
    CountedFault when;
    FaultId id;
    std::optional<std::size_t> camera;
  };
  struct RequestFault {
    std::uint8_t bRequest;
    std::optional<std::uint16_t> wValue;
    CountedFault when;
    FaultId id;
    std::optional<std::size_t> camera;
  };
  struct TransferFault {
    std::uint32_t nth;
    std::optional<std::uint32_t> missing;  // nullopt: the call fails
    std::uint32_t stallMs = 0;
    FaultId id = 0;
    std::optional<std::size_t> camera;
  };
  struct WatchedFault {
    std::function<bool(const SimEvent&)> showsIn;
    FaultId id;
    std::optional<std::size_t> camera;
  };
  static bool Targets(const std::optional<std::size_t>& camera, std::optional<std::size_t> port) {
    return !camera || camera == port;
  }
  // The faults that name this transfer, the `busCount`th on the bus and the
  // `portCount`th of its camera, merged; each of them fires.
  std::optional<TransferFault> FaultFor(const std::vector<TransferFault>& faults, std::uint32_t busCount,
                                        std::optional<std::size_t> port, std::uint32_t portCount);
  // The next transfer of the kind these counters count, as a fault aimed now
  // numbers it.
  std::uint32_t Upcoming(const std::atomic<std::uint32_t>& busSeen,
                         std::atomic<std::uint32_t> Model::*cameraSeen) const {
    if (!aim_) return busSeen.load();
    const std::shared_ptr<Model>& model = ports_.at(*aim_).model;
    return model ? ((*model).*cameraSeen).load() : 0;
  }
  // Whether a transfer or a request could fire a fault or be kept in the
  // transcript; without, a call on a lane need not hold the bus.
  void UpdateQuiet();
  // The port of the camera a handle was opened on, even when it has left the
  // bus since; none once it was unplugged.
  std::optional<std::size_t> PortOf(Handle handle) const;
  FaultId AddFault(std::string what);
  enum Direction { kWrite, kRead };
  // A fault at the `nth` call of its direction still to come (on the aimed
  // camera, or over the whole bus), named `what`.
  FaultId AddTransferFault(Direction direction, std::string what, std::uint32_t nth,
                           std::optional<std::uint32_t> missing, std::uint32_t stallMs = 0);
  // What a call tells once it lets go of the bus.
  struct Tidings {
    std::vector<FaultId> fired;
    std::vector<DeviceArrival> arrivals;
  };
  // The bus held for one piece of a call's bookkeeping.
  class Hold;
  // The camera's model, under its own lock, for one piece of a call's work.
  // Nothing when the camera left the bus, or was unplugged, since the call
  // found it in `generation`.
  template <typename Work>
  auto WithCamera(std::size_t port, std::uint32_t generation, Work work);
  // The fault fired at the call with this transcript index.
  void Fire(FaultId fault, std::size_t at);
  // Faults fired before their call's transcript entry was made: they fired at
  // the entry made now.
  void Settle(const std::vector<FaultId>& faults);
  // Appends to the transcript; a watched fault that shows in the entry fires.
  // `port`: the camera the call went to, if any.
  void Record(const SimEvent& event, std::optional<std::size_t> port = std::nullopt);
  // A call through a handle: to a camera that was unplugged, or through no
  // open handle, it shows no camera's watched fault.
  void RecordCall(const SimEvent& event, std::optional<std::size_t> port);
  // A port's camera is on the bus anew, or left it: handles opened before
  // reach it no more.
  void NewGeneration(Port& port);
  // The faults aimed at a port, and what it kept of its camera.
  void DropCameraFaults(std::size_t port);
  void Announce(const std::string& path);

  // Each open set's snapshot: the cameras present when it was opened, with
  // the interface path each had then, as the system's device list stays as it
  // was taken while other programs' cameras leave and come back.
  struct Listed {
    std::size_t port;
    std::string path;
    std::optional<std::string> serial;
  };
  // The entry at `index` of an open set; null past its end.
  const Listed* ListedAt(SetHandle set, std::uint32_t index) const;
  // The open file behind a handle, while its camera is still the one opened.
  OpenFile* Find(Handle handle);
  void DropOffIfRestarting(std::size_t port);
  std::string DefaultPath() const;

  // Before the ports, whose models count themselves out as they go.
  std::atomic<std::size_t> liveModels_{0};
  std::vector<Port> ports_;
  std::uint64_t instances_ = 0;
  std::map<Handle, OpenFile> handles_;
  Handle nextHandle_ = 1;
  SetHandle nextSet_ = 1;
  std::map<SetHandle, std::vector<Listed>> openSets_;
  std::set<std::uint32_t> failingIndexes_;
  bool failSet_ = false;
  bool hideLocations_ = false;
  std::optional<std::size_t> aim_;
  std::vector<PipeFault> pipeOpenFaults_;
  std::vector<RequestFault> requestFaults_;
  std::vector<TransferFault> writeFaults_;
  std::atomic<std::uint32_t> writesSeen_{0};
  std::vector<TransferFault> readFaults_;
  std::atomic<std::uint32_t> readsSeen_{0};
  TimePassage passTime_;
  std::uint32_t camerasMade_ = 0;
  // Each attachment and each return gets a new one, so stale handles fail.
  std::uint32_t generations_ = 0;
  bool neverReturn_ = false;
  FaultId neverReturnFault_ = kNoFault;
  std::vector<WatchedFault> watchedFaults_;
  std::vector<FaultReport> faultReports_;
  std::function<void(FaultId)> faultObserver_;
  int arrivalTimes_ = 1;
  ArrivalHandler arrivalHandler_;
  std::vector<SimEvent> transcript_;
  bool keepTranscript_ = true;
  // The calls counted since the transcript began: the next entry's index.
  std::atomic<std::size_t> entries_{0};
  // No transcript kept, and no fault a transfer or request could fire.
  std::atomic<bool> quiet_{false};
  // The reads in progress, and whether another thread cancelled each.
  std::map<Handle, bool> pendingReads_;

  std::mutex mutex_;
  // Held by whoever aims faults.
  std::mutex aimMutex_;
  // What the holder of the bus has to tell once it lets go.
  Tidings* tidings_ = nullptr;
};

}  // namespace bb::sim

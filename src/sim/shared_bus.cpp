#include "sim/shared_bus.h"

#include <map>
#include <utility>

#include "platform/forwarding_transport.h"

namespace bb::sim {

// The bus's own calls, except that a session's transfers go straight to the
// lane of the handle it opened.
class SharedBus::Port final : public ForwardingTransport {
 public:
  Port(SimBus& bus, TimePassage passTime) : ForwardingTransport(bus), bus_(bus), passTime_(std::move(passTime)) {}

  Handle Open(const std::string& path) override {
    const Handle handle = bus_.Open(path);
    if (std::optional<SimBus::Lane> lane = bus_.LaneOf(handle)) lanes_.emplace(handle, std::move(*lane));
    return handle;
  }
  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override {
    const auto lane = lanes_.find(handle);
    return lane != lanes_.end() ? bus_.IoControl(handle, code, block, lane->second)
                                : bus_.IoControl(handle, code, block);
  }
  bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override {
    const auto lane = lanes_.find(handle);
    return lane != lanes_.end() ? bus_.ReadPassing(handle, buffer, done, passTime_, lane->second)
                                : bus_.ReadPassing(handle, buffer, done, passTime_);
  }
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) override {
    const auto lane = lanes_.find(handle);
    return lane != lanes_.end() ? bus_.Write(handle, data, done, lane->second) : bus_.Write(handle, data, done);
  }
  void Close(Handle handle) override {
    lanes_.erase(handle);
    bus_.Close(handle);
  }

 private:
  SimBus& bus_;
  TimePassage passTime_;
  // What each handle this session opened leads to: its transfers need not
  // look it up on the bus. Only the session's own thread uses them.
  std::map<Handle, SimBus::Lane> lanes_;
};

class SharedBus::Session final : public SharedBus::Connection {
 public:
  Session(SharedBus& shared, TimePassage passTime) : shared_(shared), port_(shared.bus_, std::move(passTime)) {
    const std::lock_guard lock(shared_.listenersMutex_);
    listener_ = shared_.nextListener_++;
    shared_.listeners_.emplace(listener_, [this](const DeviceArrival& arrival) {
      const std::lock_guard inboxLock(inboxMutex_);
      inbox_.push_back(arrival);
    });
  }
  ~Session() override {
    const std::lock_guard lock(shared_.listenersMutex_);
    shared_.listeners_.erase(listener_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  DeviceTransport& Transport() override { return port_; }
  SimArrivalWatch& Arrivals() override { return arrivals_; }

  bool Idle() override {
    shared_.bus_.ReturnCameras();
    std::vector<DeviceArrival> arrived;
    {
      const std::lock_guard lock(inboxMutex_);
      arrived.swap(inbox_);
    }
    for (const DeviceArrival& arrival : arrived) arrivals_.Announce(arrival);
    return !arrived.empty();
  }

  void DropArrivals() override {
    const std::lock_guard lock(inboxMutex_);
    inbox_.clear();
  }

 private:
  SharedBus& shared_;
  Port port_;
  SimArrivalWatch arrivals_;
  int listener_ = 0;
  // Arrivals seen on any session's thread, announced on this session's own.
  std::mutex inboxMutex_;
  std::vector<DeviceArrival> inbox_;
};

SharedBus::SharedBus(SimBus& bus) : bus_(bus) {
  bus_.SetArrivalHandler([this](const DeviceArrival& arrival) {
    const std::lock_guard lock(listenersMutex_);
    for (const auto& [id, listener] : listeners_) listener(arrival);
  });
}

std::unique_ptr<SharedBus::Connection> SharedBus::Connect(TimePassage passTime) {
  return std::make_unique<Session>(*this, std::move(passTime));
}

}  // namespace bb::sim

#include "sim/shared_bus.h"

#include <utility>

namespace bb::sim {

class SharedBus::Port final : public DeviceTransport {
 public:
  Port(SharedBus& shared, TimePassage passTime) : shared_(shared), passTime_(std::move(passTime)) {}

  SetHandle OpenInterfaceSet(const Guid& interfaceClass) override {
    return shared_.Locked([&](SimBus& bus) { return bus.OpenInterfaceSet(interfaceClass); });
  }
  EnumResult EnumerateInterface(SetHandle set, std::uint32_t index) override {
    return shared_.Locked([&](SimBus& bus) { return bus.EnumerateInterface(set, index); });
  }
  bool ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) override {
    return shared_.Locked([&](SimBus& bus) { return bus.ReadInterfacePath(set, index, path); });
  }
  bool ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) override {
    return shared_.Locked([&](SimBus& bus) { return bus.ReadInterfaceLocation(set, index, location); });
  }
  bool ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) override {
    return shared_.Locked([&](SimBus& bus) { return bus.ReadInterfaceSerial(set, index, serial); });
  }
  void CloseInterfaceSet(SetHandle set) override {
    shared_.Locked([&](SimBus& bus) { bus.CloseInterfaceSet(set); });
  }
  Handle Open(const std::string& path) override {
    return shared_.Locked([&](SimBus& bus) { return bus.Open(path); });
  }
  bool IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) override {
    return shared_.Locked([&](SimBus& bus) { return bus.IoControl(handle, code, block); });
  }
  bool Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override {
    return shared_.Locked([&](SimBus& bus) {
      bus.SetTimePassage(passTime_);
      const bool read = bus.Read(handle, buffer, done);
      bus.SetTimePassage({});
      return read;
    });
  }
  bool Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) override {
    return shared_.Locked([&](SimBus& bus) { return bus.Write(handle, data, done); });
  }
  // Comes from a watchdog's thread while the read it ends holds the bus, so
  // it does not wait for the bus: the bus takes a cancel at any time.
  void CancelPending(Handle handle) override { shared_.bus_.CancelPending(handle); }
  void Close(Handle handle) override {
    shared_.Locked([&](SimBus& bus) { bus.Close(handle); });
  }

 private:
  SharedBus& shared_;
  TimePassage passTime_;
};

class SharedBus::Session final : public SharedBus::Connection {
 public:
  Session(SharedBus& shared, TimePassage passTime) : shared_(shared), port_(shared, std::move(passTime)) {
    listener_ = shared_.Locked([&](SimBus&) {
      const int id = shared_.nextListener_++;
      shared_.listeners_.emplace(id, [this](const DeviceArrival& arrival) {
        std::lock_guard lock(inboxMutex_);
        inbox_.push_back(arrival);
      });
      return id;
    });
  }
  ~Session() override {
    shared_.Locked([&](SimBus&) { return shared_.listeners_.erase(listener_); });
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  DeviceTransport& Transport() override { return port_; }
  SimArrivalWatch& Arrivals() override { return arrivals_; }

  bool Idle() override {
    shared_.Locked([](SimBus& bus) { return bus.ReturnCameras(); });
    std::vector<DeviceArrival> arrived;
    {
      std::lock_guard lock(inboxMutex_);
      arrived.swap(inbox_);
    }
    for (const DeviceArrival& arrival : arrived) arrivals_.Announce(arrival);
    return !arrived.empty();
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
    for (const auto& [id, listener] : listeners_) listener(arrival);
  });
}

std::unique_ptr<SharedBus::Connection> SharedBus::Connect(TimePassage passTime) {
  return std::make_unique<Session>(*this, std::move(passTime));
}

}  // namespace bb::sim

#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/device_transport.h"
#include "sim/sim_arrival_watch.h"
#include "sim/sim_bus.h"

namespace bb::sim {

// One simulated bus reached by several sessions, each on its own thread, as
// the cameras on one computer are reached by several programs. The bus takes
// the calls of every session at once, holding each camera only for its own
// (see SimBus); a camera that comes back is announced to every session.
class SharedBus {
 public:
  // What one session holds of the bus: a device transport on it whose stalled
  // reads pass the session's own time, and its own arrival notifications.
  class Connection {
   public:
    virtual ~Connection() = default;
    virtual DeviceTransport& Transport() = 0;
    // Its announcer runs on the session's thread, from Idle.
    virtual SimArrivalWatch& Arrivals() = 0;
    // The session's message loop has nothing to do: cameras that restarted
    // come back, and every return since the last call is announced (to a
    // registration held now). True when a camera came back.
    virtual bool Idle() = 0;
    // Forgets the returns announced to it so far, for a connection that only
    // looks at the bus and never idles; nothing comes back by it.
    virtual void DropArrivals() = 0;
  };

  // Takes over the bus's arrival handler.
  explicit SharedBus(SimBus& bus);
  SharedBus(const SharedBus&) = delete;
  SharedBus& operator=(const SharedBus&) = delete;

  // Time that a camera takes of its own (a stalled read) passes on the clock
  // of the session whose transfer it holds up.
  using TimePassage = std::function<void(std::uint32_t ms)>;
  // A connection for one session; the session's thread uses it.
  std::unique_ptr<Connection> Connect(TimePassage passTime = {});

 private:
  class Port;
  class Session;

  SimBus& bus_;
  // Each session's inbox of arrivals, filled on the thread that brought a
  // camera back.
  std::mutex listenersMutex_;
  std::map<int, std::function<void(const DeviceArrival&)>> listeners_;
  int nextListener_ = 1;
};

}  // namespace bb::sim

#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/line_store.h"
#include "platform/run_store.h"
#include "station/station_feed.h"

namespace bb {

// How often the forwarder tries, in real time: a server that is down is tried
// again after `firstRetryMs`, then after twice as long each time up to
// `longestRetryMs`; while the line takes runs it looks for new ones every
// `firstRetryMs` and whenever a run ends.
struct ForwarderPace {
  std::uint32_t firstRetryMs = 2000;
  std::uint32_t longestRetryMs = 300000;
  std::size_t batch = 100;
};

// Store and forward: sends the runs that the local store holds and the line's
// database does not, oldest first, a batch per transaction, and marks them
// sent in the local store only once the server has committed them. A batch
// sent twice (the mark lost) adds nothing there. It runs on a thread of its
// own, so a line that is slow or down never holds up a run; what it does
// shows as the station's LineView and, when that turns bad or good again, as
// a warning.
class LineForwarder final : public StationListener {
 public:
  struct Ports {
    RunStore& outbox;
    LineStore& line;
    Clock& clock;  // the time of day only; the forwarder's pauses are real
    std::function<void(const LineView&)> show;
    std::function<void(const std::string&)> warn;
  };

  // `sentBy` names the station on the line; `shownDatabase` is the
  // connection string with its secrets masked.
  LineForwarder(Ports ports, std::string sentBy, std::string shownDatabase, ForwarderPace pace);
  ~LineForwarder() override;
  LineForwarder(const LineForwarder&) = delete;
  LineForwarder& operator=(const LineForwarder&) = delete;

  // Sends what waits, batch after batch, until nothing does, the line fails,
  // or the forwarder stops; returns how the line stands then.
  LineView SendWaiting();

  // The thread that sends; Stop ends it and then sends what waits once more.
  void Start();
  LineView Stop();

  // A run that ended is sent at once, not at the next look.
  void OnSnapshot(const StationSnapshot&, std::uint64_t) override {}
  void OnEvent(const StationEvent& event) override;

 private:
  void Run();
  void Show(LineView view);
  bool Stopping();
  // A problem of the local database, said once while it lasts: the
  // forwarder meets it again at every look.
  void WarnOnce(const std::string& problem);

  Ports ports_;
  std::string sentBy_;
  ForwarderPace pace_;
  LineView view_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool nudged_ = false;
  bool stopping_ = false;
  // Set once the thread has ended: the last pass sends all that waits.
  bool finalPass_ = false;
  std::string localProblem_;
  std::thread thread_;
};

}  // namespace bb

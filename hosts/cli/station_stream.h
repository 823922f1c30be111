#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "station/station_feed.h"

namespace bb::cli {

// The station's events as the page's event stream carries them: each client
// gets a snapshot of everything first, then each change in order. The
// station never waits for a client: a client's queue is bounded, and a client
// that lets it fill is dropped (its browser reconnects to a new snapshot). A
// slot's progress goes out at most every `slotInterval`; a change of its
// state goes out at once.
class StationStream final : public StationListener {
 public:
  struct Limits {
    std::size_t maxStreams = 32;
    std::size_t maxQueued = 256;
    std::chrono::milliseconds slotInterval{100};
    // A client that has had nothing for this long is sent a comment, so that
    // a connection that died is noticed.
    std::chrono::milliseconds keepAlive{5000};
  };
  // The runs a snapshot lists, newest last.
  static constexpr std::size_t kRecentRuns = 20;

  explicit StationStream(Limits limits);
  ~StationStream() override;
  StationStream(const StationStream&) = delete;
  StationStream& operator=(const StationStream&) = delete;

  void OnSnapshot(const StationSnapshot& snapshot, std::uint64_t sequence) override;
  void OnEvent(const StationEvent& event) override;

  class Client;
  // A new client with the snapshot as its first message; null when
  // maxStreams are open already.
  std::shared_ptr<Client> Open();
  // The client's next message, waiting for it; an empty message when there
  // was none for keepAlive. False when the client was dropped or the stream
  // ended: its connection is to be closed.
  bool Next(Client& client, std::string& message);
  void Close(const std::shared_ptr<Client>& client);
  // Every client's stream ends; no new one opens.
  void End();

  // What /api/slots answers: the header, the slots and the cameras at no
  // slot, with the runs of this process.
  std::string SlotsJson();
  std::size_t OpenStreams();
  std::size_t MaxStreams() const { return limits_.maxStreams; }
  // How many clients were dropped for a full queue.
  std::uint64_t Dropped();

 private:
  struct SlotPace {
    std::chrono::steady_clock::time_point sentAt{};
    bool sent = false;
    int state = -1;
    std::optional<StationEvent> held;
  };

  void Send(const std::string& message);
  void Pace();

  const Limits limits_;
  std::mutex mutex_;
  std::condition_variable paced_;
  StationSnapshot snapshot_;
  std::uint64_t sequence_ = 0;
  std::deque<RunEnded> runs_;
  std::vector<SlotPace> pace_;
  std::vector<std::shared_ptr<Client>> clients_;
  std::uint64_t dropped_ = 0;
  bool ended_ = false;
  std::thread pacer_;
};

}  // namespace bb::cli

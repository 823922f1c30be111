#include "station_stream.h"

#include <algorithm>

#include "station_json.h"

namespace bb::cli {

class StationStream::Client {
 public:
  std::deque<std::string> messages;
  bool dropped = false;
  std::condition_variable ready;
};

StationStream::StationStream(Limits limits) : limits_(limits), pacer_([this] { Pace(); }) {}

StationStream::~StationStream() {
  End();
  pacer_.join();
}

void StationStream::OnSnapshot(const StationSnapshot& snapshot, std::uint64_t sequence) {
  std::lock_guard lock(mutex_);
  snapshot_ = snapshot;
  sequence_ = sequence;
}

void StationStream::OnEvent(const StationEvent& event) {
  std::lock_guard lock(mutex_);
  sequence_ = event.sequence;
  ApplyEvent(snapshot_, event);
  switch (event.kind) {
    case StationEvent::Kind::kSlot: {
      if (pace_.size() <= event.slot) pace_.resize(event.slot + 1);
      SlotPace& pace = pace_[event.slot];
      const auto now = std::chrono::steady_clock::now();
      const int state = static_cast<int>(event.slotView.state);
      // The same state again is progress: it waits out the slot's interval,
      // and only its latest value goes.
      if (pace.sent && pace.state == state && now - pace.sentAt < limits_.slotInterval) {
        pace.held = event;
        paced_.notify_one();
        return;
      }
      pace.held.reset();
      pace.sent = true;
      pace.sentAt = now;
      pace.state = state;
      Send(StreamMessage("slot", Json{{"sequence", event.sequence},
                                      {"index", event.slot},
                                      {"slot", SlotJson(event.slotView)}}));
      break;
    }
    case StationEvent::Kind::kStrays:
      Send(StreamMessage("strays", Json{{"sequence", event.sequence}, {"strays", StraysJson(event.strays)}}));
      break;
    // The page shows the line's state in its header.
    case StationEvent::Kind::kHeader:
    case StationEvent::Kind::kLine:
      Send(StreamMessage("header", Json{{"sequence", event.sequence},
                                        {"header", HeaderJson(snapshot_.header, snapshot_.line)}}));
      break;
    case StationEvent::Kind::kRunEnded:
      runs_.push_back(event.run);
      if (runs_.size() > kRecentRuns) runs_.pop_front();
      Send(StreamMessage("run", Json{{"sequence", event.sequence}, {"run", RunEndedJson(event.run)}}));
      break;
  }
}

void StationStream::Send(const std::string& message) {
  for (const std::shared_ptr<Client>& client : clients_) {
    if (client->dropped) continue;
    if (client->messages.size() >= limits_.maxQueued) {
      client->dropped = true;
      client->messages.clear();
      ++dropped_;
    } else {
      client->messages.push_back(message);
    }
    client->ready.notify_one();
  }
}

void StationStream::Pace() {
  std::unique_lock lock(mutex_);
  while (!ended_) {
    auto due = std::chrono::steady_clock::time_point::max();
    for (const SlotPace& pace : pace_) {
      if (pace.held) due = std::min(due, pace.sentAt + limits_.slotInterval);
    }
    if (due == std::chrono::steady_clock::time_point::max()) {
      paced_.wait(lock);
      continue;
    }
    paced_.wait_until(lock, due);
    const auto now = std::chrono::steady_clock::now();
    for (std::size_t index = 0; index < pace_.size(); ++index) {
      SlotPace& pace = pace_[index];
      if (!pace.held || now < pace.sentAt + limits_.slotInterval) continue;
      pace.sentAt = now;
      Send(StreamMessage("slot", Json{{"sequence", pace.held->sequence},
                                      {"index", index},
                                      {"slot", SlotJson(pace.held->slotView)}}));
      pace.held.reset();
    }
  }
}

std::shared_ptr<StationStream::Client> StationStream::Open() {
  std::lock_guard lock(mutex_);
  if (ended_ || clients_.size() >= limits_.maxStreams) return nullptr;
  auto client = std::make_shared<Client>();
  client->messages.push_back("retry: 1000\n" + StreamMessage("snapshot", SnapshotJson(snapshot_, sequence_, runs_)));
  clients_.push_back(client);
  return client;
}

bool StationStream::Next(Client& client, std::string& message) {
  std::unique_lock lock(mutex_);
  client.ready.wait_for(lock, limits_.keepAlive,
                        [&] { return !client.messages.empty() || client.dropped || ended_; });
  if (client.dropped || (ended_ && client.messages.empty())) return false;
  message.clear();
  if (client.messages.empty()) return true;
  message = std::move(client.messages.front());
  client.messages.pop_front();
  return true;
}

void StationStream::Close(const std::shared_ptr<Client>& client) {
  std::lock_guard lock(mutex_);
  std::erase(clients_, client);
}

void StationStream::End() {
  std::lock_guard lock(mutex_);
  ended_ = true;
  for (const std::shared_ptr<Client>& client : clients_) client->ready.notify_all();
  paced_.notify_all();
}

std::string StationStream::SlotsJson() {
  std::lock_guard lock(mutex_);
  return JsonText(SnapshotJson(snapshot_, sequence_, runs_));
}

std::size_t StationStream::OpenStreams() {
  std::lock_guard lock(mutex_);
  return clients_.size();
}

std::uint64_t StationStream::Dropped() {
  std::lock_guard lock(mutex_);
  return dropped_;
}

}  // namespace bb::cli

#include "station/line_forwarder.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "util/format.h"

namespace bb {

namespace {

bool Failing(LineView::State state) {
  return state == LineView::State::kUnreachable || state == LineView::State::kRefused;
}

}  // namespace

LineForwarder::LineForwarder(Ports ports, std::string sentBy, std::string shownDatabase, ForwarderPace pace)
    : ports_(std::move(ports)), sentBy_(std::move(sentBy)), pace_(pace) {
  view_.state = LineView::State::kStarting;
  view_.database = std::move(shownDatabase);
  std::string why;
  ports_.outbox.CountWaiting(view_.waiting, why);
}

LineForwarder::~LineForwarder() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool LineForwarder::Stopping() {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void LineForwarder::Show(LineView view) {
  const LineView before = std::exchange(view_, view);
  if (view.state != before.state || view.reason != before.reason) {
    if (view.state == LineView::State::kUnreachable) {
      ports_.warn(Format("burnbench-cli: the line's database %s is unreachable (%s); %zu runs wait here and go "
                         "when it answers", view.database.c_str(), view.reason.c_str(), view.waiting));
    } else if (view.state == LineView::State::kRefused) {
      ports_.warn(Format("burnbench-cli: the line's database %s refuses the runs (%s); %zu runs wait here and go "
                         "when it takes them", view.database.c_str(), view.reason.c_str(), view.waiting));
    } else if (Failing(before.state)) {
      ports_.warn("burnbench-cli: the line's database " + view.database + " takes the runs again");
    }
  }
  ports_.show(view);
}

LineView LineForwarder::SendWaiting() {
  LineView view = view_;
  for (;;) {
    std::vector<RunRow> rows;
    std::string why;
    if (!ports_.outbox.Waiting(pace_.batch, rows, why)) {
      WarnOnce("burnbench-cli: cannot read the runs waiting for the line: " + why);
      return view_;
    }
    if (rows.empty()) {
      if (view.state == LineView::State::kStarting) view.state = LineView::State::kSent;
      view.waiting = 0;
      // Nothing waits; a line that failed before is not asked until there is.
      if (!Failing(view.state)) Show(view);
      return view_;
    }
    const LineAnswer answer = ports_.line.Send(rows, sentBy_, why);
    if (answer != LineAnswer::kTaken) {
      const LineView::State state =
          answer == LineAnswer::kSaidNo ? LineView::State::kRefused : LineView::State::kUnreachable;
      if (state != view.state) view.sinceUtcMs = ports_.clock.UtcNowMs();
      view.state = state;
      view.reason = why;
      ports_.outbox.CountWaiting(view.waiting, why);
      Show(view);
      return view_;
    }
    std::vector<std::string> ids;
    for (const RunRow& row : rows) {
      ids.push_back(row.runId);
      view.sentUpToUtcMs = std::max(view.sentUpToUtcMs, row.endUtcMs);
    }
    if (!ports_.outbox.MarkSent(ids, ports_.clock.UtcNowMs(), why)) {
      // They are on the line; sent again later, they add nothing there.
      WarnOnce("burnbench-cli: the line holds the runs sent, but the local database does not take the mark: " + why);
      return view_;
    }
    localProblem_.clear();
    view.state = LineView::State::kSent;
    view.sinceUtcMs = 0;
    view.reason.clear();
    ports_.outbox.CountWaiting(view.waiting, why);
    Show(view);
    if (Stopping() && !finalPass_) return view_;
  }
}

void LineForwarder::Start() {
  ports_.show(view_);
  thread_ = std::thread([this] { Run(); });
}

LineView LineForwarder::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  finalPass_ = true;
  return SendWaiting();
}

void LineForwarder::WarnOnce(const std::string& problem) {
  if (problem != localProblem_) ports_.warn(problem);
  localProblem_ = problem;
}

void LineForwarder::OnEvent(const StationEvent& event) {
  if (event.kind != StationEvent::Kind::kRunEnded) return;
  {
    std::lock_guard lock(mutex_);
    nudged_ = true;
  }
  wake_.notify_all();
}

void LineForwarder::Run() {
  std::uint32_t pause = pace_.firstRetryMs;
  for (;;) {
    const bool failedBefore = Failing(view_.state);
    const LineView view = SendWaiting();
    if (!Failing(view.state)) {
      pause = pace_.firstRetryMs;
    } else if (failedBefore) {
      pause = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{pause} * 2, pace_.longestRetryMs));
    }
    std::unique_lock lock(mutex_);
    // A run that ended does not cut short the pause of a line that failed.
    wake_.wait_for(lock, std::chrono::milliseconds(pause),
                   [&] { return stopping_ || (nudged_ && !Failing(view.state)); });
    nudged_ = false;
    if (stopping_) return;
  }
}

}  // namespace bb

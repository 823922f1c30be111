#include "station_board.h"

#include <algorithm>
#include <ctime>

#include "platform/record/call_text.h"
#include "util/format.h"

namespace bb::cli {

namespace {

std::string Shown(const std::string& text) { return text.empty() ? "-" : record::Printable(text); }

std::string Seconds(std::int64_t ms) { return Format("%.1f s", static_cast<double>(ms) / 1000.0); }

std::string LocalClock(std::int64_t utcMs) {
  const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  char text[16] = {};
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

std::string StateOf(const SlotView& slot) {
  std::string state = SlotStateText(slot.state);
  if (RunsIn(slot.state) && slot.percent >= 0) state += Format(" %d%%", slot.percent);
  if (!slot.detail.empty()) state += (slot.state == SlotState::kNotReady ? ": " : "  ") + Shown(slot.detail);
  if (!slot.note.empty()) state += "  (" + Shown(slot.note) + ")";
  return state;
}

std::string HourMinute(std::int64_t utcMs) { return LocalClock(utcMs).substr(0, 5); }

std::string Waiting(std::size_t runs) { return Format("%zu run%s waiting", runs, runs == 1 ? "" : "s"); }

const char* ResultOf(const RunEnded& run) { return run.doneBefore ? "done before" : run.passed ? "ok" : "failed"; }

int Width(const std::vector<SlotView>& slots, std::size_t least, std::string (*field)(const SlotView&)) {
  std::size_t width = least;
  for (const SlotView& slot : slots) width = std::max(width, field(slot).size());
  return static_cast<int>(width);
}

}  // namespace

std::vector<std::string> StationBoardLines(const StationSnapshot& snapshot) {
  const StationHeader& header = snapshot.header;
  std::vector<std::string> lines;
  std::string title = "station " + Shown(header.name);
  if (!header.operatorName.empty()) title += "   operator " + Shown(header.operatorName);
  title += "   firmware " + Shown(header.firmware);
  if (!header.pinPrefix.empty()) title += "   FwSha256 " + header.pinPrefix;
  lines.push_back(title);
  const std::string doneBefore = header.doneBefore == 0 ? "" : Format("   done before %u", header.doneBefore);
  lines.push_back(Format("passed %u   failed %u%s   %.1f cameras per hour   running since %s", header.passed,
                         header.failed, doneBefore.c_str(), header.camerasPerHour,
                         LocalClock(header.startUtcMs).c_str()));
  if (!header.notReady.empty()) lines.push_back("not ready: " + Shown(header.notReady));
  if (header.stopping) {
    lines.push_back("stopping: the runs under way finish; Ctrl-C again ends them where their camera is safe");
  }
  if (snapshot.line.state != LineView::State::kNone) lines.push_back(LineText(snapshot.line));

  const auto label = [](const SlotView& slot) { return Shown(slot.label); };
  const auto location = [](const SlotView& slot) { return Shown(slot.location); };
  const auto serial = [](const SlotView& slot) { return Shown(slot.serial); };
  const int labelWidth = Width(snapshot.slots, 4, label);
  const int locationWidth = Width(snapshot.slots, 8, location);
  const int serialWidth = Width(snapshot.slots, 6, serial);
  lines.push_back(Format("%-*s  %-*s  %-*s  %8s  %s", labelWidth, "slot", locationWidth, "location", serialWidth,
                         "serial", "time", "state"));
  for (const SlotView& slot : snapshot.slots) {
    const bool timed = RunsIn(slot.state) || slot.state == SlotState::kPassed || slot.state == SlotState::kFailed;
    lines.push_back(Format("%-*s  %-*s  %-*s  %8s  %s", labelWidth, label(slot).c_str(), locationWidth,
                           location(slot).c_str(), serialWidth, serial(slot).c_str(),
                           timed ? Seconds(slot.runMs).c_str() : "", StateOf(slot).c_str()));
  }
  for (const StrayCamera& stray : snapshot.strays) {
    lines.push_back(Format("not a slot: %s (serial %s), left alone", Shown(stray.location).c_str(),
                           Shown(stray.serial).c_str()));
  }
  return lines;
}

std::string LineText(const LineView& line) {
  switch (line.state) {
    case LineView::State::kNone: return {};
    case LineView::State::kStarting: return "line: " + line.database + ", " + Waiting(line.waiting);
    case LineView::State::kSent:
      if (line.sentUpToUtcMs == 0) return line.waiting == 0 ? "line: nothing waiting" : "line: " + Waiting(line.waiting);
      return "line: sent up to " + HourMinute(line.sentUpToUtcMs) +
             (line.waiting == 0 ? std::string() : ", " + Waiting(line.waiting));
    case LineView::State::kUnreachable:
      return "line: unreachable since " + HourMinute(line.sinceUtcMs) + ", " + Waiting(line.waiting);
    case LineView::State::kRefused:
      return "line: refused since " + HourMinute(line.sinceUtcMs) + ", " + Waiting(line.waiting) + ": " +
             Shown(line.reason);
  }
  return {};
}

std::string RunEndedLine(const RunEnded& run) {
  return Format("%s\t%s\t%s\t%s\t%.1f\t%s\n", run.label.c_str(), run.location.c_str(), Shown(run.serial).c_str(),
                ResultOf(run), static_cast<double>(run.durationMs) / 1000.0, run.lastLine.c_str());
}

std::string ShiftSummary(const std::vector<RunEnded>& runs) {
  std::size_t labels = 4;
  std::size_t serials = 6;
  for (const RunEnded& run : runs) {
    labels = std::max(labels, Shown(run.label).size());
    serials = std::max(serials, Shown(run.serial).size());
  }
  const int column = static_cast<int>(labels);
  const int serialColumn = static_cast<int>(serials);
  std::string text = Format("%-*s  %-*s  %-6s  %8s  %s\n", column, "slot", serialColumn, "serial", "result", "time",
                            "last line");
  unsigned passed = 0;
  unsigned failed = 0;
  unsigned doneBefore = 0;
  for (const RunEnded& run : runs) {
    (run.doneBefore ? doneBefore : run.passed ? passed : failed) += 1;
    text += Format("%-*s  %-*s  %-6s  %8s  %s\n", column, Shown(run.label).c_str(), serialColumn,
                   Shown(run.serial).c_str(), ResultOf(run), Seconds(run.durationMs).c_str(), run.lastLine.c_str());
  }
  text += Format("%u runs: %u passed, %u failed", passed + failed, passed, failed);
  if (doneBefore != 0) text += Format("; %u done before, not burned again", doneBefore);
  return text + "\n";
}

void StationBoard::OnSnapshot(const StationSnapshot& snapshot, std::uint64_t) {
  snapshot_ = snapshot;
  draw_(StationBoardLines(snapshot_));
}

void StationBoard::OnEvent(const StationEvent& event) {
  if (event.kind == StationEvent::Kind::kRunEnded) {
    ended_(RunEndedLine(event.run));
    return;
  }
  ApplyEvent(snapshot_, event);
  draw_(StationBoardLines(snapshot_));
}

}  // namespace bb::cli

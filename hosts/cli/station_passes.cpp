#include "station_passes.h"

#include <algorithm>
#include <utility>

#include "local_time.h"
#include "platform/append_file.h"
#include "platform/run_row_json.h"
#include "util/uuid.h"

namespace bb::cli {

namespace {

bool SameDigest(const std::optional<FileDigest>& kept, const FileDigest& sent) {
  return kept && kept->digest == sent.digest && kept->size == sent.size;
}

// Every image of the job went to the camera in that run, byte for byte.
bool SentTheSame(const RunRow& row, const SharedImages& images) {
  return std::all_of(images.begin(), images.end(), [&row](const SharedImage& image) {
    return std::any_of(row.files.begin(), row.files.end(), [&image](const RunRow::Image& file) {
      return file.key == image.key && SameDigest(file.digest, image.digest);
    });
  });
}

}  // namespace

StationPasses::StationPasses(RunStore& store, StationImages& images, SharedTime& time, StationRecordFacts facts,
                             std::function<void(const std::string&)> note)
    : store_(store), images_(images), time_(time), facts_(std::move(facts)), note_(std::move(note)) {}

std::optional<EarlierPass> StationPasses::PassedBefore(const std::string& serial) {
  const std::shared_ptr<const SharedImages> images = images_.Images();
  if (!images) return std::nullopt;
  RunFilter filter;
  filter.serial = serial;
  filter.result = kResultOk;
  for (const SharedImage& image : *images) {
    if (image.key == "FwFile") filter.firmware = image.digest.digest;
  }
  std::vector<RunRow> rows;
  std::string why;
  if (!store_.Find(filter, rows, why)) {
    // Not knowing is no reason to leave a camera unburned.
    note_("burnbench-cli: cannot look up whether " + serial + " passed before: " + why);
    return std::nullopt;
  }
  for (const RunRow& row : rows) {
    if (SentTheSame(row, *images)) return EarlierPass{row.runId, LocalTimeText(row.endUtcMs)};
  }
  return std::nullopt;
}

std::string StationPasses::KeepDoneBefore(const RunOrder& order, const EarlierPass&, const std::string& line) {
  RunRow row;
  row.runId = RandomUuid();
  row.startUtcMs = time_.UtcNowMs();
  row.endUtcMs = row.startUtcMs;
  row.command = facts_.command;
  row.station = facts_.stationName;
  row.operatorName = facts_.operatorName;
  row.slot = order.label;
  row.location = order.camera.location;
  row.interfacePath = order.camera.path;
  row.serial = order.camera.serial;
  if (const std::shared_ptr<const SharedImages> images = images_.Images()) {
    for (const SharedImage& image : *images) row.files.push_back(RunRow::Image{image.key, image.path, image.digest});
  }
  row.result = kResultDoneBefore;
  row.exitStatus = 0;
  row.lastLogLine = line;
  row.log = {line};
  std::string warning;
  const Kept kept = store_.Add(row, warning);
  if (kept == Kept::kPending || kept == Kept::kOnlyInWarning) note_(warning);
  if (!facts_.reportPath.empty() && !AppendWhole(facts_.reportPath, RunRowLine(row, RowForm::kReport))) {
    note_("burnbench-cli: cannot write the run report to " + facts_.reportPath);
  }
  return row.runId;
}

}  // namespace bb::cli

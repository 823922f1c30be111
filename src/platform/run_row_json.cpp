#include "platform/run_row_json.h"

#include "util/iso_time.h"
#include "util/json_text.h"

namespace bb {

namespace {

Json TextOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

Json TextOrNull(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }

void AddDigest(Json& object, const std::optional<FileDigest>& digest) {
  object["sha256"] = digest ? Json(ToHex(digest->digest)) : Json(nullptr);
  object["size"] = digest ? Json(digest->size) : Json(nullptr);
}

Json VersionsObject(const RunRow& row) {
  Json versions = Json::object();
  for (const auto& [key, text] : {std::pair{"ap", &row.apVersion}, std::pair{"isp", &row.ispVersion},
                                  std::pair{"customer", &row.customerVersion}}) {
    if (!text->empty()) versions[key] = *text;
  }
  return versions;
}

Json FilesObject(const RunRow& row) {
  Json files = Json::object();
  for (const RunRow::Image& image : row.files) {
    Json file = {{"path", image.path}};
    AddDigest(file, image.digest);
    files[image.key] = std::move(file);
  }
  return files;
}

}  // namespace

Json RunRowJson(const RunRow& row, RowForm form) {
  Json object = Json::object();
  object["start"] = IsoUtc(row.startUtcMs);
  object["end"] = IsoUtc(row.endUtcMs);
  object["run_id"] = row.runId;
  object["station"] = TextOrNull(row.station);
  object["operator"] = TextOrNull(row.operatorName);
  object["slot"] = TextOrNull(row.slot);
  object["command"] = row.command;
  object["location"] = TextOrNull(row.location);
  object["interface"] = TextOrNull(row.interfacePath);
  object["serial"] = TextOrNull(row.serial);
  object["versions"] = VersionsObject(row);
  object["files"] = FilesObject(row);
  object["result"] = row.result;
  object["exit_status"] = row.exitStatus;
  object["last_log_line"] = row.lastLogLine;
  object["duration_ms"] = row.endUtcMs - row.startUtcMs;
  if (form == RowForm::kWhole) {
    Json readBack = nullptr;
    if (row.readBack) {
      readBack = Json::object();
      AddDigest(readBack, row.readBack);
    }
    object["read_back"] = std::move(readBack);
    object["log"] = row.log;
  }
  return object;
}

std::string RunRowLine(const RunRow& row, RowForm form) { return JsonText(RunRowJson(row, form)) + "\n"; }

}  // namespace bb

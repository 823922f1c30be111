#include "platform/run_row_json.h"

#include <utility>

#include "util/format.h"
#include "util/iso_time.h"
#include "util/json_text.h"

namespace bb {

namespace {

std::string TextOrNull(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

std::string TextOrNull(const std::optional<std::string>& text) {
  return text ? JsonString(*text) : "null";
}

std::string DigestMembers(const std::optional<FileDigest>& digest) {
  if (!digest) return "\"sha256\":null,\"size\":null";
  return "\"sha256\":\"" + ToHex(digest->digest) +
         Format("\",\"size\":%llu", static_cast<unsigned long long>(digest->size));
}

std::string VersionsObject(const RunRow& row) {
  std::string out;
  for (const auto& [key, text] : {std::pair{"ap", &row.apVersion}, std::pair{"isp", &row.ispVersion},
                                  std::pair{"customer", &row.customerVersion}}) {
    if (text->empty()) continue;
    out += out.empty() ? "" : ",";
    out += Format("\"%s\":", key) + JsonString(*text);
  }
  return "{" + out + "}";
}

std::string FilesObject(const RunRow& row) {
  std::string out;
  for (const RunRow::Image& image : row.files) {
    out += out.empty() ? "" : ",";
    out += JsonString(image.key) + ":{\"path\":" + JsonString(image.path) + "," +
           DigestMembers(image.digest) + "}";
  }
  return "{" + out + "}";
}

std::string LogList(const std::vector<std::string>& log) {
  std::string out = "[";
  for (const std::string& line : log) {
    if (out.size() > 1) out += ',';
    out += JsonString(line);
  }
  out += ']';
  return out;
}

}  // namespace

std::string RunRowLine(const RunRow& row, RowForm form) {
  std::string line = "{";
  line += "\"start\":\"" + IsoUtc(row.startUtcMs) + "\"";
  line += ",\"end\":\"" + IsoUtc(row.endUtcMs) + "\"";
  line += ",\"run_id\":" + JsonString(row.runId);
  line += ",\"station\":" + TextOrNull(row.station);
  line += ",\"operator\":" + TextOrNull(row.operatorName);
  line += ",\"slot\":" + TextOrNull(row.slot);
  line += ",\"command\":" + JsonString(row.command);
  line += ",\"location\":" + TextOrNull(row.location);
  line += ",\"interface\":" + TextOrNull(row.interfacePath);
  line += ",\"serial\":" + TextOrNull(row.serial);
  line += ",\"versions\":" + VersionsObject(row);
  line += ",\"files\":" + FilesObject(row);
  line += ",\"result\":" + JsonString(row.result);
  line += Format(",\"exit_status\":%d", row.exitStatus);
  line += ",\"last_log_line\":" + JsonString(row.lastLogLine);
  line += Format(",\"duration_ms\":%lld", static_cast<long long>(row.endUtcMs - row.startUtcMs));
  if (form == RowForm::kWhole) {
    line += ",\"read_back\":";
    if (row.readBack) {
      line += '{';
      line += DigestMembers(row.readBack);
      line += '}';
    } else {
      line += "null";
    }
    line += ",\"log\":" + LogList(row.log);
  }
  line += "}\n";
  return line;
}

}  // namespace bb

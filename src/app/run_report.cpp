#include "app/run_report.h"

#include <chrono>

#include "util/format.h"
#include "util/json_text.h"
#include "util/paths.h"

namespace bb {

namespace {

std::string VersionText(const VersionRecord& record) {
  return Format("\"%u.%u.%u.%u\"", record[0], record[1], record[2], record[3]);
}

std::string TextOrNull(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

std::string VersionsObject(const VersionsRead& versions) {
  std::string out;
  for (const auto& [key, record] : {std::pair{"ap", &versions.ap}, std::pair{"isp", &versions.isp},
                                    std::pair{"customer", &versions.customer}}) {
    if (!*record) continue;
    out += out.empty() ? "" : ",";
    out += Format("\"%s\":", key) + VersionText(**record);
  }
  return "{" + out + "}";
}

std::string FilesObject(const std::vector<RunRecord::ImageFile>& files) {
  std::string out;
  for (const RunRecord::ImageFile& file : files) {
    out += out.empty() ? "" : ",";
    out += JsonString(file.key) + ":{\"path\":" + JsonString(file.path);
    if (file.digest) {
      out += ",\"sha256\":\"" + ToHex(file.digest->digest) + "\"";
      out += Format(",\"size\":%llu", static_cast<unsigned long long>(file.digest->size));
    } else {
      out += ",\"sha256\":null,\"size\":null";
    }
    out += "}";
  }
  return "{" + out + "}";
}

}  // namespace

std::string IsoUtc(std::int64_t utcMs) {
  using namespace std::chrono;
  const sys_time<milliseconds> time{milliseconds(utcMs)};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{time - day};
  return Format("%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()),
                static_cast<int>(clock.subseconds().count()));
}

std::string ReportPath(const std::string& configured, const std::string& folder) {
  const bool drive = configured.size() >= 3 && configured[1] == ':' && IsPathSeparator(configured[2]);
  const bool network = configured.starts_with("\\\\");
#if defined(_WIN32)
  const bool absolute = drive || network;
#else
  const bool absolute = drive || network || configured.starts_with('/');
#endif
  if (absolute || folder.empty()) return configured;
  return folder + kPathSeparator + configured;
}

std::string RunReportLine(const RunRecord& record) {
  std::string line = "{";
  line += "\"start\":\"" + IsoUtc(record.startUtcMs) + "\"";
  line += ",\"end\":\"" + IsoUtc(record.endUtcMs) + "\"";
  line += ",\"command\":" + JsonString(RunCommandText(record.command));
  line += ",\"location\":" + TextOrNull(record.location);
  line += ",\"interface\":" + TextOrNull(record.interfacePath);
  line += ",\"serial\":" + TextOrNull(record.serial);
  line += ",\"versions\":" + VersionsObject(record.versions);
  line += ",\"files\":" + FilesObject(record.files);
  line += Format(",\"result\":\"%s\"", record.succeeded ? "ok" : "failed");
  line += Format(",\"exit_status\":%d", record.exitStatus);
  line += ",\"last_log_line\":" + JsonString(record.lastLogLine);
  line += Format(",\"duration_ms\":%lld",
                 static_cast<long long>(record.endUtcMs - record.startUtcMs));
  line += "}\n";
  return line;
}

}  // namespace bb

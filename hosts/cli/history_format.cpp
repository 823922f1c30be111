#include "history_format.h"

#include <algorithm>

#include "local_time.h"
#include "platform/record/call_text.h"
#include "util/format.h"
#include "util/iso_time.h"

namespace bb::cli {

namespace {

std::string Shown(const std::string& text) { return text.empty() ? "-" : record::Printable(text); }
std::string Shown(const std::optional<std::string>& text) { return text ? Shown(*text) : "-"; }

std::string Seconds(const RunRow& row) {
  return Format("%.1f s", static_cast<double>(row.endUtcMs - row.startUtcMs) / 1000.0);
}

std::string CsvCell(const std::string& text) {
  std::string cell = text;
  if (!cell.empty() && std::string_view("=+-@\t\r").find(cell[0]) != std::string_view::npos) {
    cell.insert(cell.begin(), '\'');
  }
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (const char c : cell) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string DigestText(const std::optional<FileDigest>& digest) {
  if (!digest) return "-";
  return ToHex(digest->digest) + Format(" (%llu bytes)", static_cast<unsigned long long>(digest->size));
}

const RunRow::Image* ImageOf(const RunRow& row, const char* key) {
  const auto found = std::find_if(row.files.begin(), row.files.end(),
                                  [key](const RunRow::Image& image) { return image.key == key; });
  return found == row.files.end() ? nullptr : &*found;
}

constexpr const char* kImageKeys[] = {"ParamFile", "IspFile", "FwFile"};

}  // namespace

std::string HistoryTable(const std::vector<RunRow>& rows, bool stations) {
  std::vector<std::vector<std::string>> cells = {
      {"start", "result", "command", "serial", "slot", "time", "run", "last line"}};
  if (stations) cells[0].insert(cells[0].begin() + 4, "station");
  for (const RunRow& row : rows) {
    cells.push_back({LocalTimeText(row.startUtcMs), row.result, row.command, Shown(row.serial), Shown(row.slot),
                     Seconds(row), row.runId.substr(0, 8), record::Printable(row.lastLogLine)});
    if (stations) cells.back().insert(cells.back().begin() + 4, Shown(row.station));
  }
  std::vector<std::size_t> widths(cells[0].size(), 0);
  for (const auto& line : cells) {
    for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
  }
  std::string text;
  for (const auto& line : cells) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const bool last = i + 1 == line.size();
      out += last ? line[i] : line[i] + std::string(widths[i] - line[i].size() + 2, ' ');
    }
    text += out + "\n";
  }
  return text;
}

std::string HistoryCsv(const std::vector<RunRow>& rows) {
  std::string text =
      "run_id,start,end,duration_ms,command,station,operator,slot,location,interface,serial,ap_version,"
      "isp_version,customer_version,param_path,param_sha256,param_size,isp_path,isp_sha256,isp_size,"
      "fw_path,fw_sha256,fw_size,result,exit_status,last_log_line,read_back_sha256,read_back_size\r\n";
  for (const RunRow& row : rows) {
    std::vector<std::string> cells = {row.runId,
                                      IsoUtc(row.startUtcMs),
                                      IsoUtc(row.endUtcMs),
                                      std::to_string(row.endUtcMs - row.startUtcMs),
                                      row.command,
                                      row.station.value_or(""),
                                      row.operatorName.value_or(""),
                                      row.slot.value_or(""),
                                      row.location,
                                      row.interfacePath,
                                      row.serial,
                                      row.apVersion,
                                      row.ispVersion,
                                      row.customerVersion};
    for (const char* key : kImageKeys) {
      const RunRow::Image* image = ImageOf(row, key);
      const bool hashed = image != nullptr && image->digest;
      cells.push_back(image != nullptr ? image->path : "");
      cells.push_back(hashed ? ToHex(image->digest->digest) : "");
      cells.push_back(hashed ? std::to_string(image->digest->size) : "");
    }
    cells.push_back(row.result);
    cells.push_back(std::to_string(row.exitStatus));
    cells.push_back(row.lastLogLine);
    cells.push_back(row.readBack ? ToHex(row.readBack->digest) : "");
    cells.push_back(row.readBack ? std::to_string(row.readBack->size) : "");
    std::string line;
    for (const std::string& cell : cells) {
      if (!line.empty()) line += ',';
      line += CsvCell(cell);
    }
    text += line + "\r\n";
  }
  return text;
}

std::string RunDetails(const RunRow& row) {
  std::string text;
  const auto member = [&text](const char* name, const std::string& value) {
    text += Format("%-10s %s\n", name, value.c_str());
  };
  member("run", row.runId);
  member("start", LocalTimeText(row.startUtcMs) + " (" + IsoUtc(row.startUtcMs) + ")");
  member("end", LocalTimeText(row.endUtcMs) + " (" + IsoUtc(row.endUtcMs) + ")");
  member("time", Seconds(row));
  member("command", row.command);
  member("station", Shown(row.station));
  member("operator", Shown(row.operatorName));
  member("slot", Shown(row.slot));
  member("location", Shown(row.location));
  member("interface", Shown(row.interfacePath));
  member("serial", Shown(row.serial));
  member("versions", "ap " + Shown(row.apVersion) + ", isp " + Shown(row.ispVersion) + ", customer " +
                         Shown(row.customerVersion));
  for (const char* key : kImageKeys) {
    if (const RunRow::Image* image = ImageOf(row, key)) {
      member(key, record::Printable(image->path) + ", SHA-256 " + DigestText(image->digest));
    }
  }
  member("read back", DigestText(row.readBack));
  member("result", row.result + Format(" (exit status %d)", row.exitStatus));
  text += "log:\n";
  for (const std::string& line : row.log) text += "  " + record::Printable(line) + "\n";
  return text;
}

}  // namespace bb::cli

namespace bb::cli {

std::string LineSummaryTable(const std::vector<LineSummaryRow>& rows) {
  std::size_t stations = 7;
  std::size_t slots = 4;
  for (const LineSummaryRow& row : rows) {
    stations = std::max(stations, Shown(row.station).size());
    slots = std::max(slots, Shown(row.slot).size());
  }
  const int stationWidth = static_cast<int>(stations);
  const int slotWidth = static_cast<int>(slots);
  std::string table = Format("%-*s  %-*s  %8s  %8s  %16s\n", stationWidth, "station", slotWidth, "slot", "passed",
                             "failed", "cameras per hour");
  for (const LineSummaryRow& row : rows) {
    table += Format("%-*s  %-*s  %8llu  %8llu  %16.1f\n", stationWidth, Shown(row.station).c_str(), slotWidth,
                    Shown(row.slot).c_str(), static_cast<unsigned long long>(row.passed),
                    static_cast<unsigned long long>(row.failed), row.camerasPerHour);
  }
  return table;
}

}  // namespace bb::cli

#include "platform/sqlite/run_row_parse.h"

#include <openssl/evp.h>

#include <cstdlib>
#include <initializer_list>
#include <utility>

#include <nlohmann/json.hpp>

#include "util/iso_time.h"
#include "util/uuid.h"

namespace bb {

namespace {

using Json = nlohmann::json;

// The namespace of run records, itself a random UUID made once.
constexpr UuidBytes kRunNamespace = {0x3c, 0x2b, 0x9e, 0x41, 0x5d, 0x7a, 0x4f, 0x08,
                                   0xa6, 0x1e, 0xc4, 0x57, 0x90, 0xd3, 0x6b, 0x22};

// Members read with their type checked first: nlohmann throws on a wrong one.
const Json* Member(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() || found->is_null() ? nullptr : &*found;
}

bool TextMember(const Json& object, const char* key, std::string& into, std::string& why) {
  const Json* value = Member(object, key);
  if (value == nullptr) return true;
  if (!value->is_string()) {
    why = std::string(key) + " is not a text";
    return false;
  }
  into = value->get<std::string>();
  return true;
}

std::optional<FileDigest> DigestMember(const Json& object, std::string& why) {
  const Json* sha = Member(object, "sha256");
  const Json* size = Member(object, "size");
  if (sha == nullptr && size == nullptr) return std::nullopt;
  const std::optional<Sha256Digest> digest =
      sha != nullptr && sha->is_string() ? ParseSha256(sha->get<std::string>()) : std::nullopt;
  if (!digest || size == nullptr || !size->is_number_unsigned()) {
    why = "a SHA-256 without 64 hex digits or a size";
    return std::nullopt;
  }
  return FileDigest{*digest, size->get<std::uint64_t>()};
}

bool TimeMember(const Json& object, const char* key, std::optional<std::int64_t>& into,
                std::string& why) {
  std::string text;
  if (!TextMember(object, key, text, why)) return false;
  if (text.empty()) return true;
  into = ParseIsoUtc(text);
  if (!into) why = std::string(key) + " is not a UTC time";
  return into.has_value();
}

bool ReadFiles(const Json& object, RunRow& row, std::string& why) {
  const Json* files = Member(object, "files");
  if (files == nullptr) return true;
  if (!files->is_object()) {
    why = "files is not an object";
    return false;
  }
  for (const auto& [key, entry] : files->items()) {
    RunRow::Image image{key, {}, std::nullopt};
    if (!entry.is_object() || !TextMember(entry, "path", image.path, why)) {
      why = "the file " + key + " is not an object with a path";
      return false;
    }
    image.digest = DigestMember(entry, why);
    if (!image.digest && !why.empty()) return false;
    row.files.push_back(std::move(image));
  }
  return true;
}

bool ReadLog(const Json& object, RunRow& row, std::string& why) {
  const Json* log = Member(object, "log");
  if (log == nullptr) return true;
  if (!log->is_array()) {
    why = "log is not a list";
    return false;
  }
  for (const Json& line : *log) {
    if (!line.is_string()) {
      why = "log holds something other than lines";
      return false;
    }
    row.log.push_back(line.get<std::string>());
  }
  return true;
}

bool ReadTexts(const Json& object, RunRow& row, std::string& why) {
  const std::initializer_list<std::pair<const char*, std::string*>> texts = {
      {"run_id", &row.runId},         {"command", &row.command},
      {"location", &row.location},
      {"interface", &row.interfacePath}, {"serial", &row.serial},
      {"result", &row.result},        {"last_log_line", &row.lastLogLine}};
  for (const auto& [key, into] : texts) {
    if (!TextMember(object, key, *into, why)) return false;
  }
  const std::initializer_list<std::pair<const char*, std::optional<std::string>*>> named = {
      {"station", &row.station}, {"operator", &row.operatorName}, {"slot", &row.slot}};
  for (const auto& [key, into] : named) {
    std::string text;
    if (!TextMember(object, key, text, why)) return false;
    if (Member(object, key) != nullptr) *into = text;
  }
  const Json* versions = Member(object, "versions");
  if (versions == nullptr) return true;
  if (!versions->is_object()) {
    why = "versions is not an object";
    return false;
  }
  return TextMember(*versions, "ap", row.apVersion, why) &&
         TextMember(*versions, "isp", row.ispVersion, why) &&
         TextMember(*versions, "customer", row.customerVersion, why);
}

// Times, result and exit status, filled in where a line leaves them out.
bool ReadOutcome(const Json& object, RunRow& row, std::string& why) {
  std::optional<std::int64_t> start;
  std::optional<std::int64_t> end;
  if (!TimeMember(object, "start", start, why) || !TimeMember(object, "end", end, why)) return false;
  if (!start) {
    why = "it has no start";
    return false;
  }
  if (row.command.empty()) {
    why = "it has no command";
    return false;
  }
  if (row.result != kResultOk && row.result != kResultFailed && row.result != kResultDoneBefore) {
    why = "its result is not ok, failed or done before";
    return false;
  }
  row.startUtcMs = *start;
  const Json* duration = Member(object, "duration_ms");
  if (end) {
    row.endUtcMs = *end;
  } else {
    row.endUtcMs = duration != nullptr && duration->is_number_integer()
                       ? *start + duration->get<std::int64_t>()
                       : *start;
  }
  const Json* status = Member(object, "exit_status");
  if (status != nullptr &&
      (!status->is_number_integer() || status->get<std::int64_t>() < 0 || status->get<std::int64_t>() > 255)) {
    why = "exit_status is not a number from 0 to 255";
    return false;
  }
  row.exitStatus = status != nullptr ? status->get<int>() : row.result == kResultFailed ? 1 : 0;
  return true;
}

}  // namespace

std::string NameUuid(const UuidBytes& space, std::string_view name) {
  std::string input(reinterpret_cast<const char*>(space.data()), space.size());
  input.append(name);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(input.data(), input.size(), digest, &length, EVP_sha1(), nullptr) != 1 || length < 16) {
    std::abort();
  }
  UuidBytes bytes{};
  std::copy_n(digest, bytes.size(), bytes.begin());
  return UuidText(bytes, 5);
}

std::string RunNameUuid(std::string_view name) { return NameUuid(kRunNamespace, name); }

std::optional<RunRow> ParseRunRowLine(std::string_view line, std::string& why) {
  why.clear();
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  const Json object = Json::parse(line, nullptr, false);
  if (object.is_discarded() || !object.is_object()) {
    why = "it is not a JSON object";
    return std::nullopt;
  }
  RunRow row;
  if (!ReadTexts(object, row, why) || !ReadFiles(object, row, why) || !ReadLog(object, row, why) ||
      !ReadOutcome(object, row, why)) {
    return std::nullopt;
  }
  if (const Json* readBack = Member(object, "read_back")) {
    if (!readBack->is_object() || !(row.readBack = DigestMember(*readBack, why))) {
      if (why.empty()) why = "read_back has no SHA-256 and size";
      return std::nullopt;
    }
  }
  if (row.runId.empty()) row.runId = RunNameUuid(line);
  return row;
}

}  // namespace bb

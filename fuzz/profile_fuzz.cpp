// Arbitrary bytes as an INI file. Reading must stay within its buffers, honour
// the capacity and cut only between UTF-8 characters. A write must store a value
// that reads back, leave what other keys read as it was, and a second write of
// the same value must leave the file alone. The first line of the input may be
// "section|key|value", which makes the fuzzer's own names reachable.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/std/ini_profile.h"
#include "scratch_folder.h"

namespace {

struct Entry {
  std::string_view section;
  std::string_view key;
};

// Keys of Isp.ini; the write goes to the first, the others must not change.
constexpr Entry kWritten = {"2860", "FwFile"};
constexpr Entry kOthers[] = {{"DevNo", "ChipID"}, {"2860", "ParamFile"}, {"", "x"}};
constexpr std::size_t kCapacities[] = {0, 1, 5, 260, std::size_t{1} << 16};
constexpr std::size_t kWhole = std::size_t{1} << 24;
constexpr std::string_view kMissing = "\x01missing";

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Each lead byte followed by as many continuation bytes as it announces.
bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80    ? 1
                               : lead >= 0xF8 ? 0
                               : lead >= 0xF0 ? 4
                               : lead >= 0xE0 ? 3
                               : lead >= 0xC0 ? 2
                                              : 0;
    if (length == 0 || at + length > text.size()) return false;
    for (std::size_t i = 1; i < length; ++i) {
      if (!IsContinuationByte(text[at + i])) return false;
    }
    at += length;
  }
  return true;
}

void CheckReads(bb::Profile& profile, const std::string& path, Entry entry) {
  profile.ReadInt(path, entry.section, entry.key, -1);
  const std::string whole = profile.ReadString(path, entry.section, entry.key, kMissing, kWhole);
  for (const std::size_t capacity : kCapacities) {
    const std::string cut = profile.ReadString(path, entry.section, entry.key, kMissing, capacity);
    if (capacity == 0) {
      Require(cut.empty());
      continue;
    }
    if (whole.size() <= capacity - 1) {
      Require(cut == whole);
      continue;
    }
    // A cut stops short of the capacity only to keep a character whole.
    Require(whole.starts_with(cut) && cut.size() <= capacity - 1 && cut.size() + 3 >= capacity - 1);
    if (IsUtf8(whole)) Require(!IsContinuationByte(whole[cut.size()]));
  }
}

std::vector<std::string> ReadOthers(bb::Profile& profile, const std::string& path) {
  std::vector<std::string> values;
  for (const Entry& other : kOthers) {
    values.push_back(profile.ReadString(path, other.section, other.key, kMissing, kWhole));
  }
  return values;
}

// A value without blanks or quotes at its ends reads back exactly as written.
bool ReadsBackAsWritten(std::string_view value) {
  const auto plain = [](char c) {
    return c != ' ' && c != '\t' && c != '"' && c != '\'' && c != '\v' && c != '\f' && c != '\x1a';
  };
  return value.empty() || (plain(value.front()) && plain(value.back()));
}

void CheckWrite(bb::Profile& profile, const std::string& path, Entry entry,
                std::string_view value) {
  if (!profile.WriteString(path, entry.section, entry.key, value)) return;
  if (ReadsBackAsWritten(value)) {
    Require(profile.ReadString(path, entry.section, entry.key, kMissing, kWhole) == value);
  }
  const std::string written = Contents(path);
  Require(profile.WriteString(path, entry.section, entry.key, value));
  Require(Contents(path) == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bb::fuzz::ScratchFolder folder;
  const std::string path = folder.Write("Isp.ini", data, size);
  bb::IniProfile profile;

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view firstLine = input.substr(0, input.find_first_of("\r\n"));
  const std::size_t bar = firstLine.find('|');
  const std::size_t secondBar = firstLine.find('|', bar == std::string_view::npos ? bar : bar + 1);
  const Entry made = {firstLine.substr(0, bar),
                      bar == std::string_view::npos
                          ? std::string_view()
                          : firstLine.substr(bar + 1, secondBar - bar - 1)};
  const std::string_view madeValue =
      secondBar == std::string_view::npos ? "made" : firstLine.substr(secondBar + 1);

  CheckReads(profile, path, kWritten);
  CheckReads(profile, path, made);
  for (const Entry& other : kOthers) CheckReads(profile, path, other);

  const std::vector<std::string> before = ReadOthers(profile, path);
  CheckWrite(profile, path, kWritten, "C:\\fuzz\\fw.bin");
  Require(ReadOthers(profile, path) == before);

  CheckWrite(profile, path, made, madeValue);
  return 0;
}

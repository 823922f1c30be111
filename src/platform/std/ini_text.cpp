#include "platform/std/ini_text.h"

#include "platform/profile_format.h"
#include "platform/std/ini_line.h"

namespace bb {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::size_t BodyStart(std::string_view text) {
  return text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
}

struct IniLookup {
  bool sectionFound = false;
  // Where a new key of the section goes: behind its last line that is not blank.
  std::size_t insertAt = 0;
  // That line's break; none at the start of the file or behind an unended last line.
  std::size_t lastBreakBegin = 0;
  std::optional<IniLine> key;
};

IniLookup Lookup(std::string_view text, std::string_view section, std::string_view key) {
  section = NormalizeIniName(section);
  key = NormalizeIniName(key);
  IniLookup found;
  found.insertAt = BodyStart(text);
  found.lastBreakBegin = found.insertAt;
  bool inSection = section.empty();
  found.sectionFound = inSection;
  IniLineReader reader(text, found.insertAt);
  IniLine line;
  while (reader.Next(line)) {
    if (line.kind == IniLine::Kind::kBlank) continue;
    if (line.kind == IniLine::Kind::kSection) {
      // The first section of the name ends here; later ones are never looked at.
      if (inSection) break;
      inSection = IniNamesEqual(line.name, section);
      found.sectionFound = inSection;
    }
    if (!inSection) continue;
    found.insertAt = line.end;
    found.lastBreakBegin = line.breakBegin;
    if (line.kind == IniLine::Kind::kEntry && IniNamesEqual(line.name, key)) {
      found.key = line;
      break;
    }
  }
  return found;
}

std::string_view LineBreakOf(std::string_view text) {
  const std::size_t at = text.find_first_of("\r\n");
  if (at == std::string_view::npos) return "\r\n";
  if (text.substr(at, 2) == "\r\n") return "\r\n";
  return text.substr(at, 1);
}

std::string_view DropLeadingBlanks(std::string_view text) {
  while (!text.empty() && IsProfileBlank(text.front())) text.remove_prefix(1);
  return text;
}

}  // namespace

std::optional<std::string_view> FindIniValue(std::string_view text, std::string_view section,
                                             std::string_view key) {
  const IniLookup found = Lookup(text, section, key);
  if (!found.key || found.key->valueBegin == IniLine::kNoValue) return std::nullopt;
  return found.key->Value(text);
}

bool SetIniValue(std::string& text, std::string_view section, std::string_view key,
                 std::string_view value) {
  // Leading blanks would be dropped on reading anyway; Windows drops them on writing.
  value = DropLeadingBlanks(value);
  const IniLookup found = Lookup(text, section, key);
  const std::string lineBreak(LineBreakOf(text));

  if (found.key) {
    const IniLine& line = *found.key;
    if (line.valueBegin != IniLine::kNoValue) {
      if (line.Value(text) == value) return false;
      text.replace(line.valueBegin, line.breakBegin - line.valueBegin, value);
    } else {
      std::string entry = "=";
      entry.append(value);
      text.replace(line.nameEnd, line.breakBegin - line.nameEnd, entry);
    }
    return true;
  }

  // A new key's line ends like the line before it: a lone CR put in front of
  // a blank LF line would join it into one CR LF break.
  std::string entryBreak = lineBreak;
  std::string added;
  if (found.sectionFound) {
    const std::size_t lastBreakSize = found.insertAt - found.lastBreakBegin;
    if (lastBreakSize > 0) {
      entryBreak = text.substr(found.lastBreakBegin, lastBreakSize);
    } else if (found.insertAt > BodyStart(text)) {
      added.append(lineBreak);
    }
  } else {
    const bool lastLineOpen =
        text.size() > BodyStart(text) && text.back() != '\n' && text.back() != '\r';
    if (lastLineOpen) added.append(lineBreak);
    added.append("[").append(NormalizeIniName(section)).append("]").append(lineBreak);
  }
  added.append(NormalizeIniName(key)).append("=").append(value).append(entryBreak);
  text.insert(found.sectionFound ? found.insertAt : text.size(), added);
  return true;
}

}  // namespace bb

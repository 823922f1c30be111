#include "station/slot_plan.h"

#include <algorithm>
#include <cctype>

namespace bb {

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool Printable(std::string_view text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}  // namespace

bool SameLabel(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<std::vector<SlotPlace>> ParseSlots(std::string_view text, std::string& error) {
  std::vector<SlotPlace> slots;
  while (!Trimmed(text).empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view entry = Trimmed(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    const std::size_t colon = entry.find(':');
    const std::string_view label = Trimmed(entry.substr(0, colon));
    const std::string_view location =
        colon == std::string_view::npos ? std::string_view() : Trimmed(entry.substr(colon + 1));
    if (label.empty() || location.empty() || !Printable(label) || !Printable(location)) {
      error = "a slot is written LABEL:LOCATION, not \"" + std::string(entry) + "\"";
      return std::nullopt;
    }
    for (const SlotPlace& slot : slots) {
      if (SameLabel(slot.label, label)) {
        error = "two slots are labelled " + std::string(label);
        return std::nullopt;
      }
      if (slot.location == location) {
        error = "two slots are at location " + std::string(location);
        return std::nullopt;
      }
    }
    slots.push_back(SlotPlace{std::string(label), std::string(location)});
  }
  return slots;
}

}  // namespace bb

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bb {

// One slot of a station: the label the operator knows it by, and the
// location of the port it is (as `devices` lists locations).
struct SlotPlace {
  std::string label;
  std::string location;
};

// Reads `[Station] Slots`, "A:1-1.2,B:1-1.3": a label and a location each,
// blanks around either left out. Nothing when a slot lacks either, a label
// holds a control character, or two slots share a label (in any case) or a
// location; `error` then says which.
std::optional<std::vector<SlotPlace>> ParseSlots(std::string_view text, std::string& error);

// Labels compare as the operator reads them: "a" is slot "A".
bool SameLabel(std::string_view a, std::string_view b);

}  // namespace bb

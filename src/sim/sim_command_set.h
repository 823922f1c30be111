#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/sim_request.h"

namespace bb::sim {

// The camera's commands as the camera itself knows them, from its own
// documentation and not from the tool's table: what each request must carry.
struct CommandSpec {
  enum class Stage { kNone, kIn, kOut };

  std::uint8_t bRequest;
  std::uint16_t wValue;
  // nullopt: any index (the block count request carries its count there).
  std::optional<std::uint16_t> wIndex;
  std::uint16_t wLength;
  Stage stage;
};

// The command a request names by its code, value and index; null for one the
// camera does not have.
const CommandSpec* FindCommand(std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex);

// Why the camera refuses a request, or nothing when it is a command the camera
// has, with that command's length and direction.
std::optional<std::string> JudgeRequest(const SimRequest& request);

}  // namespace bb::sim

#include "sim/sim_command_set.h"

#include <array>

#include "util/format.h"

namespace bb::sim {

namespace {

using Stage = CommandSpec::Stage;

constexpr std::array<CommandSpec, 20> kCommands{{
    {0x70, 0x0000, 0, 5, Stage::kIn},       // stage query
    {0x20, 0x0000, 0, 8, Stage::kIn},       // AP version
    {0x20, 0x0000, 1, 1, Stage::kIn},       // AP version, one byte each
    {0x20, 0x0000, 2, 1, Stage::kIn},
    {0x20, 0x0000, 3, 1, Stage::kIn},
    {0x20, 0x0000, 4, 1, Stage::kIn},
    {0x20, 0x0001, 0, 8, Stage::kIn},       // ISP version
    {0x20, 0x0002, 0, 6, Stage::kIn},       // customer version
    {0x21, 0x0000, 0, 1, Stage::kIn},       // busy
    {0x21, 0x0004, 0, 2, Stage::kIn},       // write status and storage
    {0xFD, 0x04F3, 0, 8, Stage::kOut},      // RAM download header
    {0xFD, 0x04F1, 0, 16, Stage::kOut},     // ISP write header
    {0xFD, 0x04F2, 0, 8, Stage::kOut},      // read request
    {0x10, 0x0000, std::nullopt, 0, Stage::kNone},  // block count in wIndex
    {0x11, 0x0000, 0, 0, Stage::kNone},     // start storage write
    {0x71, 0x0000, 0, 4, Stage::kOut},      // ROM address
    {0x33, 0x0000, 0, 0, Stage::kNone},     // select the image for a verify
    {0x33, 0x0001, 0, 0, Stage::kNone},     // select the image for an export
    {0x34, 0x0000, 0, 0, Stage::kNone},     // power down
    {0x79, 0x000B, 0, 8, Stage::kIn},       // read info
}};

}  // namespace

const CommandSpec* FindCommand(std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex) {
  for (const CommandSpec& command : kCommands) {
    if (command.bRequest == bRequest && command.wValue == wValue &&
        (!command.wIndex || *command.wIndex == wIndex)) {
      return &command;
    }
  }
  return nullptr;
}

std::optional<std::string> JudgeRequest(const SimRequest& request) {
  const std::string name =
      Format("request %02x/%04x/%u", request.bRequest, request.wValue, request.wIndex);
  const CommandSpec* command = FindCommand(request.bRequest, request.wValue, request.wIndex);
  if (command == nullptr) return name + ": no such command";
  if (request.wLength != command->wLength) {
    return Format("%s: wLength %u, the command has %u", name.c_str(), request.wLength,
                  command->wLength);
  }
  const std::uint8_t direction = command->stage == Stage::kIn ? 1 : 0;
  if (request.direction != direction) {
    return Format("%s: direction %u, the command has %u", name.c_str(), request.direction,
                  direction);
  }
  return std::nullopt;
}

}  // namespace bb::sim

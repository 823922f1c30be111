#pragma once

#include <cstdint>

namespace bb {

// Step codes of the step message that the main window posts to itself.
inline constexpr std::uint32_t kStepStart = 0;
inline constexpr std::uint32_t kStepWait = 3;
inline constexpr std::uint32_t kStepArrived = 5;
inline constexpr std::uint32_t kStepVerify = 7;
inline constexpr std::uint32_t kStepEnd = 11;

// The window message that carries a step: the first private message plus 100.
inline constexpr unsigned kStepMessage = 1024 + 100;

}  // namespace bb

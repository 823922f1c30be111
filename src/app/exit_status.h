#pragma once

namespace bb {

// Exit statuses of a program without a window and of each camera's session.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUnusable = 2;
// As a shell reports a program that Ctrl-C ended.
inline constexpr int kExitInterrupted = 130;

}  // namespace bb

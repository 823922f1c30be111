#pragma once

namespace bb::win {

// Resources of res/burnbench.rc that the code asks for by number.
inline constexpr int kAboutDialog = 100;
inline constexpr int kAboutMenuText = 101;
inline constexpr int kMainDialog = 102;
inline constexpr int kProgramIcon = 128;
inline constexpr int kFileSelectionDialog = 129;
inline constexpr int kAboutVersionText = 1038;

// The system-menu command of the about box.
inline constexpr unsigned kAboutCommand = 16;

}  // namespace bb::win

#pragma once

namespace bb {

// Control ids of the main window; the window definitions use the same numbers.
inline constexpr int kIspButton = 1000;
inline constexpr int kVersionButton = 1001;
inline constexpr int kLogList = 1010;
inline constexpr int kNandRadio = 1012;
inline constexpr int kMaskRadio = 1013;
inline constexpr int kRomRadio = 1014;
inline constexpr int kNormalRadio = 1015;
inline constexpr int kVexa618Radio = 1019;
inline constexpr int kVexa616Radio = 1020;
inline constexpr int kVexa611Radio = 1021;
inline constexpr int kSilentModeCheck = 1022;
inline constexpr int kVexa2860Radio = 1023;
inline constexpr int kChipCombo = 1026;
inline constexpr int kReadVerifyCheck = 1036;
inline constexpr int kReadButton = 1037;
inline constexpr int kStatusBar = 7777;

}  // namespace bb

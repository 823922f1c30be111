#pragma once

namespace bb {

// Status codes as the operator sees them: 0 is success, callers test zero
// against non-zero.
inline constexpr int kOk = 0;
inline constexpr int kFailed = -1;           // failure already logged, or missing argument
inline constexpr int kFilesDiffer = 1;
inline constexpr int kFileError = 2;         // file cannot be opened or created, conversion failed
inline constexpr int kNoBuffer = 8;          // a transfer buffer cannot be allocated
inline constexpr int kNoPipe = 21;           // camera absent or pipe cannot be opened
inline constexpr int kRequestFailed = 22;    // vendor request failed
inline constexpr int kReadFailed = 23;       // bulk read failed
inline constexpr int kShortTransfer = 24;    // bulk transfer moved fewer bytes than asked
inline constexpr int kWriteFailed = 25;      // bulk write failed
inline constexpr int kCameraBusy = 26;
inline constexpr int kReadTimeout = 27;      // shown by the watchdog, never returned
inline constexpr int kRefused = 68;          // request 0x44 refused by the filter
inline constexpr int kSend = 81;             // the filter's verdict "send"; never returned
inline constexpr int kProcedureFailed = 104; // a read-back start or legacy header failed
inline constexpr int kIspTimeout = 301;      // the camera's status poll gave up

}  // namespace bb

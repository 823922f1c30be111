#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace bb {

// Joined paths use the platform's separator; "\" and "/" both split a path.
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Paths are UTF-8 inside the program; the file system wants its own encoding.
inline std::filesystem::path FsPath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The folder part of a path: everything before its last "\" or "/", or ".".
inline std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

// Paths are held in 260 bytes including the terminator wherever the camera's
// tools have always kept them.
inline constexpr std::size_t kMaxPath = 260;

}  // namespace bb

#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace bb::fuzz {

// A folder of its own for one fuzzing process, so parallel jobs never share
// files; removed when the process ends normally.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device entropy;
    path_ = std::filesystem::temp_directory_path() /
            ("burnbench-fuzz-" + std::to_string(entropy()) + std::to_string(entropy()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The path of `name` in the folder, as UTF-8 text like every path the program holds.
  std::string File(std::string_view name) const {
    const std::u8string text = (path_ / name).u8string();
    return std::string(text.begin(), text.end());
  }

  // Replaces the file `name` with the bytes and returns its path.
  std::string Write(std::string_view name, const std::uint8_t* data, std::size_t size) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return File(name);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace bb::fuzz

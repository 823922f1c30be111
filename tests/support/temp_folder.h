#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace bb::test {

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("burnbench-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Paths as the program holds them: UTF-8 text.
  std::string Text() const { return Utf8(path_); }
  std::string File(std::string_view name) const { return Utf8(path_ / name); }

  std::string Write(std::string_view name, std::string_view content) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return File(name);
  }
  std::string Write(std::string_view name, const std::vector<std::uint8_t>& content) const {
    return Write(name, std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
  }
  std::vector<std::uint8_t> Read(std::string_view name) const { return ReadPath(path_ / name); }
  static std::vector<std::uint8_t> ReadPath(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

 private:
  static std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  }

  std::filesystem::path path_;
};

}  // namespace bb::test

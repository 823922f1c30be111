#pragma once

#include <optional>
#include <string>

namespace bb::cli {

// A new, empty folder of the program's own in the system's temporary folder,
// readable by this user alone; it is removed with everything in it when the
// object goes.
class ScratchFolder {
 public:
  // Nullopt when no folder can be made there.
  static std::optional<ScratchFolder> Make();

  ScratchFolder(ScratchFolder&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  ScratchFolder& operator=(ScratchFolder&&) = delete;
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::string& Path() const { return path_; }

 private:
  explicit ScratchFolder(std::string path) : path_(std::move(path)) {}

  std::string path_;
};

}  // namespace bb::cli

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "util/paths.h"
#include "util/regular_file.h"

namespace bb {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool OpenRegularFile(const std::string& path, std::ifstream& file) {
  const std::filesystem::path fsPath = FsPath(path);
  // Anything but a regular file is refused before it is opened at all: the
  // open alone may rewind a tape or claim a terminal.
  std::error_code error;
  if (std::filesystem::status(fsPath, error).type() != std::filesystem::file_type::regular) {
    return false;
  }
  // The name may have come to mean something else since: open it without
  // waiting and look at what was opened.
  const Descriptor checked(::open(fsPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (checked.Get() < 0 || ::fstat(checked.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
#if defined(__linux__)
  // The stream takes the very file that was checked, whatever the name means now.
  file.open("/proc/self/fd/" + std::to_string(checked.Get()), std::ios::binary);
  if (file.is_open()) return true;
#endif
  file.open(fsPath, std::ios::binary);
  return file.is_open();
}

}  // namespace bb

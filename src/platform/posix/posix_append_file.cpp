#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/append_file.h"

namespace bb {

namespace {

class LockedFile {
 public:
  explicit LockedFile(int fd) : fd_(fd) {
    if (fd_ < 0) return;
    int locked = -1;
    do {
      locked = ::flock(fd_, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    locked_ = locked == 0;
  }
  ~LockedFile() {
    // Closing lets the lock go, after everything written.
    if (fd_ >= 0) ::close(fd_);
  }
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

  int Get() const { return fd_; }
  bool Locked() const { return locked_; }

 private:
  int fd_;
  bool locked_ = false;
};

// Whether the file ends inside a line; a file that cannot be read is taken as
// ending well, as it always was.
bool EndsUnended(int fd, off_t size) {
  char last = '\n';
  return size > 0 && ::pread(fd, &last, 1, size - 1) == 1 && last != '\n';
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool ReadAll(int fd, std::string& text, std::size_t size) {
  text.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t read = ::pread(fd, text.data() + done, size - done, static_cast<off_t>(done));
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) return false;
    done += static_cast<std::size_t>(read);
  }
  return true;
}

}  // namespace

bool AppendWhole(const std::string& path, std::string_view text) {
  constexpr int kFlags = O_APPEND | O_CREAT | O_CLOEXEC;
  int fd = ::open(path.c_str(), O_RDWR | kFlags, 0644);
  // A report that may only be written is still appended to, unchecked.
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags, 0644);
  const LockedFile file(fd);
  if (file.Get() < 0 || !file.Locked()) return false;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) return false;
  // Under the lock the break and the text land together, as one line.
  const bool separated = !EndsUnended(file.Get(), info.st_size) || WriteAll(file.Get(), "\n");
  if (separated && WriteAll(file.Get(), text)) return true;
  // No reader may meet a line cut short, and the next line must not be glued to it.
  [[maybe_unused]] const int undone = ::ftruncate(file.Get(), info.st_size);
  return false;
}

bool TakeWhole(const std::string& path, const TakeText& take) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  const LockedFile file(fd);
  struct stat info {};
  if (!file.Locked() || ::fstat(file.Get(), &info) != 0) return false;
  if (info.st_size <= 0) return true;
  if (static_cast<std::uint64_t>(info.st_size) > kLargestTakenFile) return false;
  std::string text;
  if (!ReadAll(file.Get(), text, static_cast<std::size_t>(info.st_size))) return false;
  const std::optional<std::string> left = take(text);
  if (!left) return true;
  // O_APPEND is not set here: the text left starts at the first byte.
  return ::ftruncate(file.Get(), 0) == 0 && ::lseek(file.Get(), 0, SEEK_SET) == 0 &&
         WriteAll(file.Get(), *left) && ::fsync(file.Get()) == 0;
}

}  // namespace bb

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/file_replace.h"

namespace bb {

namespace {

// As the kernel counts links on the way to a file.
constexpr int kMostLinks = 40;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SystemWhy() { return std::strerror(errno); }

// The file that `path` names at the end of its links; a link's own place is
// not where the replacement goes, or the link would be replaced by a file.
bool FollowLinks(const std::string& path, std::string& file, std::string& why) {
  file = path;
  for (int hops = 0; hops <= kMostLinks; ++hops) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) {
      if (errno == ENOENT) return true;
      why = SystemWhy();
      return false;
    }
    if (!S_ISLNK(info.st_mode)) return true;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    const ssize_t length = ::readlink(file.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
      why = length < 0 ? SystemWhy() : "its link changed while it was followed";
      return false;
    }
    target.resize(static_cast<std::size_t>(length));
    file = target.starts_with('/') ? target : FolderOf(file) + "/" + target;
  }
  why = std::strerror(ELOOP);
  return false;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  bool Close() {
    if (fd_ < 0) return true;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// A new file of its own beside `file`, named after it so that one left by a
// crash shows where it came from. Its permissions start from the process's
// usual ones; an existing file's are put on it later.
int CreateBeside(const std::string& file, std::string& name) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : file.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + "." + base + "." + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".new";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
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

// The rename itself is on the disk only once its folder is.
void FlushFolder(const std::string& file) {
  const Descriptor folder(::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() >= 0) ::fsync(folder.Get());
}

}  // namespace

bool ReplaceFileContent(const std::string& path, std::string_view text, std::string& why) {
  if (path.empty()) {
    why = "no file is named";
    return false;
  }
  std::string file;
  if (!FollowLinks(path, file, why)) return false;
  struct stat old {};
  const bool exists = ::stat(file.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) {
    why = SystemWhy();
    return false;
  }

  std::string name;
  Descriptor fresh(CreateBeside(file, name));
  if (fresh.Get() < 0) {
    why = "no new file can be made in " + FolderOf(file) + " (" + SystemWhy() + ")";
    return false;
  }
  // Owner first: a change of owner may drop the set-id bits the mode then restores.
  if (exists) {
    [[maybe_unused]] const int owner = ::fchown(fresh.Get(), old.st_uid, old.st_gid);
  }
  const bool written = (!exists || ::fchmod(fresh.Get(), old.st_mode & 07777) == 0) &&
                       WriteAll(fresh.Get(), text) && ::fsync(fresh.Get()) == 0 && fresh.Close() &&
                       ::rename(name.c_str(), file.c_str()) == 0;
  if (!written) {
    why = SystemWhy();
    ::unlink(name.c_str());
    return false;
  }
  FlushFolder(file);
  return true;
}

}  // namespace bb

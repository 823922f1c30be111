#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>
#include <vector>

#include "platform/native_file.h"

namespace bb {

namespace {

constexpr std::intptr_t kNoHandle = -1;

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

// A descriptor that closes itself, for the folders of a walk.
class FolderFd {
 public:
  explicit FolderFd(int fd) : fd_(fd) {}
  FolderFd(const FolderFd&) = delete;
  FolderFd& operator=(const FolderFd&) = delete;
  ~FolderFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::vector<std::string> SplitComponents(std::string_view relative) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= relative.size()) {
    const std::size_t end = std::min(relative.find('/', start), relative.size());
    parts.emplace_back(relative.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Opens the folders parts[0] to parts[count - 1], each inside the one before,
// from `start`, none of them a link; empty parts (doubled separators) are
// skipped. `walked` holds the last one, or nothing when there was nothing to
// walk and `start` is the folder.
bool WalkFolders(int start, const std::vector<std::string>& parts, std::size_t count,
                 FolderFd& walked) {
  for (std::size_t i = 0; i < count; ++i) {
    if (parts[i].empty()) continue;
    const int from = walked.Get() >= 0 ? walked.Get() : start;
    walked.Reset(::openat(from, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (walked.Get() < 0) return false;
  }
  return true;
}

FileIdentity IdentityOf(const struct stat& info) {
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool IsOneOf(const FileIdentity& identity, std::span<const FileIdentity> inputs) {
  return std::find(inputs.begin(), inputs.end(), identity) != inputs.end();
}

// Opens `name` in `folder` for writing without following a link and without
// waiting on a pipe; only a regular file that is none of `inputs` is kept.
// `made` is the file it opened.
int OpenRegularForWriting(int folder, const char* name, int extraFlags,
                          std::span<const FileIdentity> inputs, FileIdentity& made) {
  // An input is refused before it is opened for writing at all.
  struct stat named {};
  if (::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && IsOneOf(IdentityOf(named), inputs)) {
    return -1;
  }
  const int fd = ::openat(folder, name,
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | extraFlags,
                          0666);
  if (fd < 0) return -1;
  struct stat info {};
  // Looked at again on what was opened, before anything is emptied: the name
  // may reach another file by now.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || IsOneOf(IdentityOf(info), inputs)) {
    ::close(fd);
    return -1;
  }
  if (info.st_nlink > 1) {
    // Emptying it would empty every other name of the same file.
    ::close(fd);
    if ((extraFlags & O_EXCL) != 0 || ::unlinkat(folder, name, 0) != 0) return -1;
    return OpenRegularForWriting(folder, name, O_EXCL, inputs, made);
  }
  // Only a file with content is emptied: ext4 writes a file back at its close
  // once it has been truncated, which would slow every new file down.
  if (info.st_size > 0 && ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return -1;
  }
  made = IdentityOf(info);
  return fd;
}

}  // namespace

PathKind InspectPath(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT ? PathKind::kAbsent : PathKind::kOther;
  if (S_ISLNK(info.st_mode)) return PathKind::kLink;
  if (S_ISDIR(info.st_mode)) return PathKind::kFolder;
  if (S_ISREG(info.st_mode)) return PathKind::kRegularFile;
  return PathKind::kOther;
}

std::optional<NativeFile> NativeFile::OpenForReading(const std::string& path) {
  // Anything but a regular file is refused before it is opened: the open alone
  // may rewind a tape or claim a terminal. What was opened is looked at again.
  struct stat named {};
  if (::stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return std::nullopt;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  NativeFile file(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return file;
}

std::optional<NativeFolder> NativeFolder::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  return NativeFolder(fd, path);
}

std::optional<NativeFolder> NativeFolder::OpenInside(std::string_view relative) const {
  const std::vector<std::string> parts = SplitComponents(relative);
  FolderFd walked(-1);
  if (!WalkFolders(Fd(handle_), parts, parts.size(), walked) || walked.Get() < 0) {
    return std::nullopt;
  }
  return NativeFolder(walked.Release(), path_ + '/' + std::string(relative));
}

NativeFolder::NativeFolder(NativeFolder&& other) noexcept
    : handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = kNoHandle;
}

NativeFolder& NativeFolder::operator=(NativeFolder&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNoHandle) ::close(Fd(handle_));
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    other.handle_ = kNoHandle;
  }
  return *this;
}

NativeFolder::~NativeFolder() {
  if (handle_ != kNoHandle) ::close(Fd(handle_));
}

std::optional<NativeFile> NativeFile::CreateInside(const NativeFolder& folder,
                                                   std::string_view relative,
                                                   std::span<const FileIdentity> inputs) {
  const std::vector<std::string> parts = SplitComponents(relative);
  if (parts.back().empty()) return std::nullopt;
  FolderFd walked(-1);
  if (!WalkFolders(Fd(folder.handle_), parts, parts.size() - 1, walked)) return std::nullopt;
  if (walked.Get() < 0) walked.Reset(::fcntl(Fd(folder.handle_), F_DUPFD_CLOEXEC, 0));
  if (walked.Get() < 0) return std::nullopt;
  FileIdentity made;
  const int fd = OpenRegularForWriting(walked.Get(), parts.back().c_str(), 0, inputs, made);
  if (fd < 0) return std::nullopt;
  NativeFile file(fd);
  file.folder_ = walked.Release();
  file.name_ = parts.back();
  file.identity_ = made;
  return file;
}

std::optional<NativeFile> NativeFile::CreateInside(const std::string& folder,
                                                   std::string_view relative,
                                                   std::span<const FileIdentity> inputs) {
  const std::optional<NativeFolder> opened = NativeFolder::Open(folder);
  if (!opened) return std::nullopt;
  return CreateInside(*opened, relative, inputs);
}

std::optional<NativeFile> NativeFile::Create(const std::string& path,
                                             std::span<const FileIdentity> inputs) {
  const std::size_t cut = path.rfind('/');
  if (cut == std::string::npos) return CreateInside(".", path, inputs);
  return CreateInside(cut == 0 ? std::string("/") : path.substr(0, cut),
                      std::string_view(path).substr(cut + 1), inputs);
}

NativeFile::NativeFile(NativeFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)),
      folder_(std::exchange(other.folder_, kNoHandle)),
      name_(std::move(other.name_)),
      identity_(other.identity_) {}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
  if (this != &other) {
    Close();
    if (folder_ != kNoHandle) ::close(Fd(folder_));
    handle_ = std::exchange(other.handle_, kNoHandle);
    folder_ = std::exchange(other.folder_, kNoHandle);
    name_ = std::move(other.name_);
    identity_ = other.identity_;
  }
  return *this;
}

NativeFile::~NativeFile() {
  Close();
  if (folder_ != kNoHandle) ::close(Fd(folder_));
}

bool NativeFile::Close() {
  if (handle_ == kNoHandle) return true;
  const int result = ::close(Fd(handle_));
  handle_ = kNoHandle;
  return result == 0;
}

bool NativeFile::Remove() {
  Close();
  if (folder_ == kNoHandle) return false;
  // Whatever was renamed into its place meanwhile is not this file's to remove.
  struct stat named {};
  const bool removed = ::fstatat(Fd(folder_), name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                       IdentityOf(named) == identity_ && ::unlinkat(Fd(folder_), name_.c_str(), 0) == 0;
  ::close(Fd(std::exchange(folder_, kNoHandle)));
  return removed;
}

std::optional<FileIdentity> NativeFile::Identity() const {
  struct stat info {};
  if (::fstat(Fd(handle_), &info) != 0) return std::nullopt;
  return IdentityOf(info);
}

std::optional<std::uint64_t> NativeFile::Size() const {
  struct stat info {};
  if (::fstat(Fd(handle_), &info) != 0 || info.st_size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

bool NativeFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const std::uint64_t at = offset + done;
    if (at > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    const ssize_t got = ::pread(Fd(handle_), out.data() + done, out.size() - done,
                                static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool NativeFile::Write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(Fd(handle_), bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

bool NativeFile::Truncate() {
  return ::ftruncate(Fd(handle_), 0) == 0 && ::lseek(Fd(handle_), 0, SEEK_SET) == 0;
}

}  // namespace bb

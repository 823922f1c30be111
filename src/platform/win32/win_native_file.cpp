#include <windows.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "platform/native_file.h"
#include "util/paths.h"

namespace bb {

namespace {

constexpr std::intptr_t kNoHandle = -1;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t Held(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

std::wstring Wide(const std::string& utf8) { return FsPath(utf8).wstring(); }

// Closes a handle that a look on the way needed.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

PathKind KindOf(DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return PathKind::kLink;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathKind::kFolder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return PathKind::kOther;
  return PathKind::kRegularFile;
}

PathKind KindAt(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::kAbsent
                                                                          : PathKind::kOther;
  }
  return KindOf(attributes);
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return FileIdentity{info.dwVolumeSerialNumber,
                      (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

bool IsOneOf(const FileIdentity& identity, std::span<const FileIdentity> inputs) {
  return std::find(inputs.begin(), inputs.end(), identity) != inputs.end();
}

// Where an open file or folder is now, as a path without the "\\?\" prefix,
// which would switch off the rules for trailing dots and blanks that the
// export's names were checked against.
std::optional<std::wstring> FinalPathOf(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::nullopt;
    const bool fitted = length < path.size();
    path.resize(length);
    if (fitted) break;
  }
  if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\" + path.substr(7);
  if (path.starts_with(L"\\\\?\\")) return path.substr(4);
  return path;
}

// True when `inner` lies below the folder at `outer`.
bool LiesInside(const std::wstring& inner, std::wstring outer) {
  if (outer.empty()) return false;
  if (outer.back() != L'\\') outer += L'\\';
  return inner.size() > outer.size() &&
         CompareStringOrdinal(inner.data(), static_cast<int>(outer.size()), outer.data(),
                              static_cast<int>(outer.size()), TRUE) == CSTR_EQUAL;
}

// True when `opened` is a disk file of `kind` (a reparse point is neither a
// file nor a folder) and lies inside the held folder, where that is now.
bool OpenedInside(HANDLE opened, HANDLE heldFolder, PathKind kind, BY_HANDLE_FILE_INFORMATION& info) {
  if (GetFileType(opened) != FILE_TYPE_DISK || !GetFileInformationByHandle(opened, &info) ||
      KindOf(info.dwFileAttributes) != kind) {
    return false;
  }
  const std::optional<std::wstring> where = FinalPathOf(opened);
  const std::optional<std::wstring> folder = FinalPathOf(heldFolder);
  return where && folder && LiesInside(*where, *folder);
}

bool DeleteThrough(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// The path of `relative` inside the held folder, where that folder is now;
// every folder on the way must be a folder, not a link. Both separators split.
std::optional<std::wstring> PathInside(HANDLE heldFolder, std::string_view relative, bool lastIsFolder) {
  std::optional<std::wstring> path = FinalPathOf(heldFolder);
  if (!path) return std::nullopt;
  std::size_t start = 0;
  bool any = false;
  for (;;) {
    const std::size_t end = std::min(relative.find_first_of("\\/", start), relative.size());
    const std::string_view part = relative.substr(start, end - start);
    const bool last = end == relative.size();
    if (last && part.empty() && !lastIsFolder) return std::nullopt;
    if (!part.empty()) {
      *path += L'\\';
      *path += Wide(std::string(part));
      any = true;
      if ((!last || lastIsFolder) && KindAt(*path) != PathKind::kFolder) return std::nullopt;
    }
    if (last) break;
    start = end + 1;
  }
  if (!any) return std::nullopt;
  return path;
}

}  // namespace

PathKind InspectPath(const std::string& path) { return KindAt(Wide(path)); }

std::optional<NativeFile> NativeFile::OpenForReading(const std::string& path) {
  const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  NativeFile opened(Held(file));
  if (GetFileType(file) != FILE_TYPE_DISK) return std::nullopt;
  return opened;
}

std::optional<NativeFolder> NativeFolder::Open(const std::string& path) {
  const HANDLE folder = CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return std::nullopt;
  NativeFolder opened(Held(folder), path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(folder, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::nullopt;
  }
  return opened;
}

std::optional<NativeFolder> NativeFolder::OpenInside(std::string_view relative) const {
  const std::optional<std::wstring> path = PathInside(Native(handle_), relative, true);
  if (!path) return std::nullopt;
  const HANDLE inside = CreateFileW(path->c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (inside == INVALID_HANDLE_VALUE) return std::nullopt;
  NativeFolder opened(Held(inside), path_ + '\\' + std::string(relative));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!OpenedInside(inside, Native(handle_), PathKind::kFolder, info)) return std::nullopt;
  return opened;
}

NativeFolder::NativeFolder(NativeFolder&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), path_(std::move(other.path_)) {}

NativeFolder& NativeFolder::operator=(NativeFolder&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNoHandle) CloseHandle(Native(handle_));
    handle_ = std::exchange(other.handle_, kNoHandle);
    path_ = std::move(other.path_);
  }
  return *this;
}

NativeFolder::~NativeFolder() {
  if (handle_ != kNoHandle) CloseHandle(Native(handle_));
}

std::optional<NativeFile> NativeFile::CreateInside(const NativeFolder& folder, std::string_view relative,
                                                   std::span<const FileIdentity> inputs) {
  const HANDLE held = Native(folder.handle_);
  const std::optional<std::wstring> path = PathInside(held, relative, false);
  if (!path) return std::nullopt;
  if (const PathKind kind = KindAt(*path); kind != PathKind::kAbsent && kind != PathKind::kRegularFile) {
    return std::nullopt;
  }

  // What is there is looked at through a handle that cannot write: an input
  // is refused before anything opens it for writing, and a file with further
  // names is deleted through its own handle, never by a path.
  bool replaced = false;
  {
    const ScopedHandle existing(CreateFileW(path->c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (existing.Get() != INVALID_HANDLE_VALUE) {
      BY_HANDLE_FILE_INFORMATION info{};
      if (!OpenedInside(existing.Get(), held, PathKind::kRegularFile, info) ||
          IsOneOf(IdentityOf(info), inputs)) {
        return std::nullopt;
      }
      if (info.nNumberOfLinks > 1) {
        // Emptying it would empty every other name of the same file.
        const ScopedHandle deleting(ReOpenFile(existing.Get(), DELETE, kShareAll, FILE_FLAG_OPEN_REPARSE_POINT));
        if (deleting.Get() == INVALID_HANDLE_VALUE || !DeleteThrough(deleting.Get())) return std::nullopt;
        replaced = true;
      }
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
      return std::nullopt;
    }
  }

  const HANDLE file = CreateFileW(path->c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, replaced ? CREATE_NEW : OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  const bool createdNow = replaced || GetLastError() != ERROR_ALREADY_EXISTS;
  NativeFile made(Held(file));
  // Looked at again on what was opened, before anything is written: a folder
  // on the way may have become a junction since it was looked at.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!OpenedInside(file, held, PathKind::kRegularFile, info) || IsOneOf(IdentityOf(info), inputs) ||
      info.nNumberOfLinks > 1) {
    // A file this open made goes again; one that was there stays as it was.
    if (createdNow) made.Remove();
    return std::nullopt;
  }
  if ((info.nFileSizeHigh != 0 || info.nFileSizeLow != 0) && !SetEndOfFile(file)) return std::nullopt;
  return made;
}

std::optional<NativeFile> NativeFile::CreateInside(const std::string& folder, std::string_view relative,
                                                   std::span<const FileIdentity> inputs) {
  const std::optional<NativeFolder> opened = NativeFolder::Open(folder);
  if (!opened) return std::nullopt;
  return CreateInside(*opened, relative, inputs);
}

std::optional<NativeFile> NativeFile::Create(const std::string& path, std::span<const FileIdentity> inputs) {
  const std::size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return CreateInside(".", path, inputs);
  return CreateInside(path.substr(0, cut), std::string_view(path).substr(cut + 1), inputs);
}

NativeFile::NativeFile(NativeFile&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
  }
  return *this;
}

NativeFile::~NativeFile() { Close(); }

bool NativeFile::Close() {
  if (handle_ == kNoHandle) return true;
  const BOOL closed = CloseHandle(Native(handle_));
  handle_ = kNoHandle;
  return closed != 0;
}

bool NativeFile::Remove() {
  if (handle_ == kNoHandle) return false;
  const bool removed = DeleteThrough(Native(handle_));
  Close();
  return removed;
}

std::optional<FileIdentity> NativeFile::Identity() const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(Native(handle_), &info)) return std::nullopt;
  return IdentityOf(info);
}

std::optional<std::uint64_t> NativeFile::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Native(handle_), &size) || size.QuadPart < 0) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool NativeFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(Native(handle_), out.data() + done, piece, &got, &position) || got == 0) {
      return false;
    }
    done += got;
  }
  return true;
}

bool NativeFile::Write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(Native(handle_), bytes.data() + done, piece, &put, nullptr) || put == 0) {
      return false;
    }
    done += put;
  }
  return true;
}

bool NativeFile::CopyFrom(NativeFile& source, std::uint64_t offset, std::uint64_t length) {
  return CopyThroughBuffer(source, offset, length);
}

bool NativeFile::Truncate() {
  const LARGE_INTEGER start{};
  return SetFilePointerEx(Native(handle_), start, nullptr, FILE_BEGIN) && SetEndOfFile(Native(handle_));
}

}  // namespace bb

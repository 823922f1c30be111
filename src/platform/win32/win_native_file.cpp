#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/native_file.h"
#include "util/paths.h"

namespace bb {

namespace {

constexpr std::intptr_t kNoHandle = -1;

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t Held(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

std::wstring Wide(const std::string& utf8) { return FsPath(utf8).wstring(); }

PathKind KindOf(DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return PathKind::kLink;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathKind::kFolder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return PathKind::kOther;
  return PathKind::kRegularFile;
}

// Opens the file itself, never what a reparse point at its place leads to.
HANDLE OpenNoFollow(const std::wstring& path, DWORD disposition) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Keeps the handle when it is a plain disk file with one name, emptied.
bool KeepAsPlainFile(HANDLE file, bool& otherNames) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) return false;
  if (KindOf(info.dwFileAttributes) != PathKind::kRegularFile) return false;
  otherNames = info.nNumberOfLinks > 1;
  return otherNames || SetEndOfFile(file) != 0;
}

}  // namespace

PathKind InspectPath(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::kAbsent
                                                                          : PathKind::kOther;
  }
  return KindOf(attributes);
}

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
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::nullopt;
  }
  return NativeFolder(kNoHandle, path, path.size());
}

std::optional<NativeFolder> NativeFolder::OpenInside(std::string_view relative) const {
  std::string path = path_;
  std::size_t start = 0;
  while (start <= relative.size()) {
    const std::size_t end = std::min(relative.find_first_of("\\/", start), relative.size());
    if (end > start) {
      path += '\\';
      path += relative.substr(start, end - start);
      if (InspectPath(path) != PathKind::kFolder) return std::nullopt;
    }
    start = end + 1;
  }
  if (path == path_) return std::nullopt;
  return NativeFolder(kNoHandle, path, rootLength_);
}

bool NativeFolder::RemoveFile(std::string_view relative) const {
  std::string path = path_;
  path += '\\';
  path += relative;
  return DeleteFileW(Wide(path).c_str()) != 0;
}

NativeFolder::NativeFolder(NativeFolder&& other) noexcept
    : handle_(other.handle_), path_(std::move(other.path_)), rootLength_(other.rootLength_) {}

NativeFolder& NativeFolder::operator=(NativeFolder&& other) noexcept {
  handle_ = other.handle_;
  path_ = std::move(other.path_);
  rootLength_ = other.rootLength_;
  return *this;
}

NativeFolder::~NativeFolder() = default;

std::optional<NativeFile> NativeFile::CreateInside(const NativeFolder& folder,
                                                   std::string_view relative) {
  // The folders inside the operator's are looked at again for every file.
  std::string inside = folder.path_.substr(folder.rootLength_);
  inside += '\\';
  inside += relative;
  return CreateInside(folder.path_.substr(0, folder.rootLength_), inside);
}

std::optional<NativeFile> NativeFile::CreateInside(const std::string& folder,
                                                   std::string_view relative) {
  // Windows takes both separators; every folder on the way is looked at before
  // the file is opened.
  std::string path = folder;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(relative.find_first_of("\\/", start), relative.size());
    const std::string_view part = relative.substr(start, end - start);
    if (end == relative.size()) {
      if (part.empty()) return std::nullopt;
      path += '\\';
      path += part;
      break;
    }
    if (!part.empty()) {
      path += '\\';
      path += part;
      if (InspectPath(path) != PathKind::kFolder) return std::nullopt;
    }
    start = end + 1;
  }

  const std::wstring wide = Wide(path);
  if (const PathKind kind = InspectPath(path); kind != PathKind::kAbsent &&
                                               kind != PathKind::kRegularFile) {
    return std::nullopt;
  }
  HANDLE file = OpenNoFollow(wide, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  bool otherNames = false;
  if (!KeepAsPlainFile(file, otherNames)) {
    CloseHandle(file);
    return std::nullopt;
  }
  if (otherNames) {
    // Emptying it would empty every other name of the same file.
    CloseHandle(file);
    if (!DeleteFileW(wide.c_str())) return std::nullopt;
    file = OpenNoFollow(wide, CREATE_NEW);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  }
  return NativeFile(Held(file));
}

std::optional<NativeFile> NativeFile::Create(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return CreateInside(".", path);
  return CreateInside(path.substr(0, cut), std::string_view(path).substr(cut + 1));
}

NativeFile::NativeFile(NativeFile&& other) noexcept : handle_(other.handle_) {
  other.handle_ = kNoHandle;
}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = kNoHandle;
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

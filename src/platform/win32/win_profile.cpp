#include "platform/win32/win_profile.h"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <system_error>

#include "platform/profile_format.h"
#include "platform/win32/utf16.h"
#include "util/utf8.h"

namespace bb {

namespace {

// Windows looks for a file name without a folder in the Windows folder; made
// full, a relative path means the current folder, as it does everywhere else.
std::optional<std::wstring> FullPath(const std::string& path) {
  const std::wstring wide = ToUtf16(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::nullopt;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return std::nullopt;
  full.resize(length);
  return full;
}

// Values never hold a line break, so this default tells a missing key from an
// empty value; the caller's default is then used as it is, unlike a default
// given to Windows, which loses its trailing blanks and its quotes.
constexpr wchar_t kMissingValue[] = L"\n";

// Capacity counts UTF-8 bytes, and a UTF-8 byte never stands for less than one
// UTF-16 unit, so the first capacity - 1 units hold every byte we keep. The
// buffer has one unit for the terminator and two to spare: Windows may split a
// surrogate pair at the end of the buffer, and a quoted value that just fills
// it loses its last character; both then fall behind the part we keep, which
// is cut to capacity - 1 bytes at a character boundary. The buffer grows from
// a small start, so a large capacity costs memory only for a long value.
std::optional<std::wstring> ReadValue(const std::wstring& file, std::string_view section,
                                      std::string_view key, std::size_t capacity) {
  constexpr std::size_t kFirstUnits = 1024;
  constexpr std::size_t kMostUnits = std::numeric_limits<DWORD>::max();
  const std::size_t needed = capacity > kMostUnits - 2 ? kMostUnits : capacity + 2;
  const std::wstring wideSection = ToUtf16(section);
  const std::wstring wideKey = ToUtf16(key);
  std::wstring buffer(std::min(needed, kFirstUnits), L'\0');
  for (;;) {
    const DWORD copied =
        GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), kMissingValue, buffer.data(),
                                 static_cast<DWORD>(buffer.size()), file.c_str());
    // Only a copy that reaches the last two units of the buffer may have been cut.
    if (copied + 2 < buffer.size() || buffer.size() == needed) {
      buffer.resize(copied);
      break;
    }
    buffer.assign(std::min(buffer.size() * 2, needed), L'\0');
  }
  if (buffer == kMissingValue) return std::nullopt;
  return buffer;
}

}  // namespace

std::int32_t WinProfile::ReadInt(const std::string& path, std::string_view section,
                                 std::string_view key, std::int32_t defaultValue) {
  const std::optional<std::wstring> file = FullPath(path);
  if (!file) return defaultValue;
  return static_cast<std::int32_t>(GetPrivateProfileIntW(
      ToUtf16(section).c_str(), ToUtf16(key).c_str(), defaultValue, file->c_str()));
}

std::string WinProfile::ReadString(const std::string& path, std::string_view section,
                                   std::string_view key, std::string_view defaultValue,
                                   std::size_t capacity) {
  if (capacity == 0) return {};
  const std::optional<std::wstring> file = FullPath(path);
  const std::optional<std::wstring> value =
      file ? ReadValue(*file, section, key, capacity) : std::nullopt;
  if (!value) return std::string(Utf8Prefix(defaultValue, capacity - 1));
  const std::string text = ToUtf8(*value);
  return std::string(Utf8Prefix(text, capacity - 1));
}

namespace {

// What the file looked like: its size and time of last change, or that it is
// not there. A file that could not be opened for reading is noted as such.
struct FileLook {
  enum class Kind { kMissing, kReadable, kUnreadable };
  Kind kind = Kind::kUnreadable;
  ULARGE_INTEGER size{};
  FILETIME written{};

  bool operator==(const FileLook& other) const {
    return kind == other.kind && size.QuadPart == other.size.QuadPart &&
           CompareFileTime(&written, &other.written) == 0;
  }
};

FileLook LookAt(const std::wstring& file) {
  FileLook look;
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      look.kind = FileLook::Kind::kMissing;
    }
    return look;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(handle, &info)) {
    look.kind = FileLook::Kind::kReadable;
    look.size.HighPart = info.nFileSizeHigh;
    look.size.LowPart = info.nFileSizeLow;
    look.written = info.ftLastWriteTime;
  }
  CloseHandle(handle);
  return look;
}

// The system's functions read the file again for every key: what they give is
// one state of the file only when the file looked the same before and after.
class WinReading final : public ProfileReading {
 public:
  WinReading(WinProfile& profile, std::string path)
      : profile_(profile), path_(std::move(path)) {
    const std::optional<std::wstring> file = FullPath(path_);
    if (file) {
      file_ = *file;
      before_ = LookAt(file_);
    }
  }

  std::int32_t ReadInt(std::string_view section, std::string_view key,
                       std::int32_t defaultValue) override {
    return profile_.ReadInt(path_, section, key, defaultValue);
  }
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue, std::size_t capacity) override {
    return profile_.ReadString(path_, section, key, defaultValue, capacity);
  }

  State Verdict() override {
    if (file_.empty() || before_.kind == FileLook::Kind::kUnreadable) return State::kUnreadable;
    return LookAt(file_) == before_ ? State::kWhole : State::kChanged;
  }

 private:
  WinProfile& profile_;
  std::string path_;
  std::wstring file_;
  FileLook before_;
};

}  // namespace

std::unique_ptr<ProfileReading> WinProfile::Read(const std::string& path) {
  return std::make_unique<WinReading>(*this, path);
}

bool WinProfile::WriteStrings(const std::string& path, std::span<const ProfileEntry> entries,
                              std::string& why) {
  for (const ProfileEntry& entry : entries) {
    if (!IsWritableProfileEntry(entry.section, entry.key, entry.value)) {
      why = "a key or value that would read back as another cannot be written";
      return false;
    }
  }
  const std::optional<std::wstring> file = FullPath(path);
  if (!file) {
    why = "no full path can be made of it";
    return false;
  }
  for (const ProfileEntry& entry : entries) {
    if (!WritePrivateProfileStringW(ToUtf16(entry.section).c_str(), ToUtf16(entry.key).c_str(),
                                    ToUtf16(entry.value).c_str(), file->c_str())) {
      why = std::system_category().message(static_cast<int>(GetLastError()));
      return false;
    }
  }
  return true;
}

}  // namespace bb

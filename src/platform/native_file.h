#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace bb {

// What a path names, looked at without following a link at its end. A symbolic
// link, a junction or any other reparse point is a link, whatever it points to.
enum class PathKind { kAbsent, kFolder, kRegularFile, kLink, kOther };
PathKind InspectPath(const std::string& path);

// Makes the folder `path` unless a folder is there already. False when
// anything else is there, a link to a folder included, since files written
// through it would land elsewhere; or when it cannot be made.
bool EnsurePlainFolder(const std::string& path);

// Which file a handle or a name reaches, whatever name it goes by: its device
// and inode (Windows: its volume's serial number and its file id).
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// A folder held open while files are created inside it, so that a run of
// files needs the folder looked at once: the folder that was looked at stays
// the folder written into, whatever is renamed or linked at its path
// meanwhile (POSIX creates files relative to the open folder; Windows builds
// each file's path from the place the open folder has then, and checks where
// the opened file lies). Owns its handle; any one thread at a time.
class NativeFolder {
 public:
  // The operator's folder, taken as it is (a link to a folder is followed).
  static std::optional<NativeFolder> Open(const std::string& path);
  // The existing folder `relative` inside this one; no folder on the way may
  // be a link.
  std::optional<NativeFolder> OpenInside(std::string_view relative) const;
  // Where it was opened, for texts and names.
  const std::string& Path() const { return path_; }

  NativeFolder(NativeFolder&& other) noexcept;
  NativeFolder& operator=(NativeFolder&& other) noexcept;
  NativeFolder(const NativeFolder&) = delete;
  NativeFolder& operator=(const NativeFolder&) = delete;
  ~NativeFolder();

 private:
  friend class NativeFile;
  NativeFolder(std::intptr_t handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  std::intptr_t handle_;
  std::string path_;
};

// A file opened through the operating system itself, for the read-back's files:
// they take large ranges that must move at the speed of the system's own copy,
// and they are written into folders that the camera's list file names, where a
// planted link must never carry a write elsewhere. Owns its handle; blocking
// calls, any one thread at a time.
class NativeFile {
 public:
  // An existing regular file, for reading. Folders, devices and pipes are
  // refused without waiting for a writer.
  static std::optional<NativeFile> OpenForReading(const std::string& path);

  // Creates, or empties, the regular file `relative` inside `folder`. No
  // folder on the way inside `relative` and not the file itself may be a link;
  // the file, if it exists, must be a regular file; folders are not created. A
  // file that has further hard links is replaced by a new one, so that the
  // other names keep their content. A file that is one of `inputs` (files
  // being read meanwhile) is refused before anything opens it for writing:
  // emptying it would empty the input under its reader. Refused: nullopt, and
  // nothing on disk changed.
  static std::optional<NativeFile> CreateInside(const NativeFolder& folder, std::string_view relative,
                                                std::span<const FileIdentity> inputs = {});
  // The same inside the folder at `folder` (the operator's choice, taken as it
  // is), opened for this file alone.
  static std::optional<NativeFile> CreateInside(const std::string& folder, std::string_view relative,
                                                std::span<const FileIdentity> inputs = {});
  // The same for a path whose folder part is taken as it is.
  static std::optional<NativeFile> Create(const std::string& path,
                                          std::span<const FileIdentity> inputs = {});

  NativeFile(NativeFile&& other) noexcept;
  NativeFile& operator=(NativeFile&& other) noexcept;
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;
  ~NativeFile();

  // Which file this is; nullopt when the system cannot tell.
  std::optional<FileIdentity> Identity() const;
  // The file's size now; nullopt when the system cannot tell.
  std::optional<std::uint64_t> Size() const;
  // Reads exactly out.size() bytes at `offset`; false when fewer came.
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out);
  // Writes all of `bytes` at the current position.
  bool Write(std::span<const std::uint8_t> bytes);
  // Copies `length` bytes of `source`, from `offset`, to the current position:
  // inside the kernel where the system can, else through one large buffer.
  // False when the source ends early or a write fails.
  bool CopyFrom(NativeFile& source, std::uint64_t offset, std::uint64_t length);
  // Empties the file and writes from its start again.
  bool Truncate();
  // Closes the handle; false when the system reported an error on the way.
  bool Close();
  // Takes a file that Create or CreateInside made away again, and closes it.
  // Never by a path that may lead elsewhere meanwhile: Windows deletes it
  // through its handle, so only before Close; elsewhere its name goes from the
  // folder it was created in, while that name still reaches this file. False
  // when nothing was removed.
  bool Remove();

 private:
  explicit NativeFile(std::intptr_t handle) : handle_(handle) {}
  bool CopyThroughBuffer(NativeFile& source, std::uint64_t offset, std::uint64_t length);

  std::intptr_t handle_;
#if !defined(_WIN32)
  // Where a created file was made, for Remove: its folder (a handle of its
  // own), its name there, and the file that name reached.
  std::intptr_t folder_ = -1;
  std::string name_;
  FileIdentity identity_;
#endif
};

}  // namespace bb

#include "readback/resource_export.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <vector>

#include "burn/image_files.h"
#include "device/status_codes.h"
#include "readback/brn_convert.h"
#include "readback/brn_file.h"
#include "readback/export_names.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

namespace {

constexpr char kListFile[] = "files.ini";
// 6553 directory entries, just under 64 KiB, per read.
constexpr std::uint64_t kEntriesPerPiece = 0x10000 / BrnEntry::kSize;

// A dangling link counts too: something of that name is there.
bool Exists(const std::string& path) { return InspectPath(path) != PathKind::kAbsent; }

// The export folder and its sub directories A and B, each opened at the first
// entry that goes into it and kept for the rest of the walk: one look at each
// folder instead of one for every entry, and the folder looked at stays the
// folder written into.
class PlaceFolders {
 public:
  explicit PlaceFolders(const std::string& folder) : path_(folder) {}

  // Nullptr when the folder of `place` cannot be opened.
  const NativeFolder* For(ExportPlace place) {
    std::optional<NativeFolder>& held = held_[static_cast<std::size_t>(place)];
    if (!held) {
      if (place == ExportPlace::kFolder) {
        held = NativeFolder::Open(path_);
      } else if (const NativeFolder* top = For(ExportPlace::kFolder)) {
        held = top->OpenInside(place == ExportPlace::kGroupA ? "A" : "B");
      }
    }
    return held ? &*held : nullptr;
  }

 private:
  std::string path_;
  std::array<std::optional<NativeFolder>, 3> held_;
};

}  // namespace

ResourceExport::ResourceExport(Platform& platform, Context& context, WindowState& window,
                               ReadBack& readBack)
    : platform_(platform), context_(context), window_(window), readBack_(readBack) {}

void ResourceExport::ShowStop(const char* text) {
  MessageBoxRequest box;
  box.text = text;
  box.title = context_.applicationName;
  box.icon = BoxIcon::kNone;
  box.kind = BoxKind::kError;
  box.buttons = BoxButtons::kOkOnly;
  platform_.prompts.ShowMessageBox(box);
}

std::string ResourceExport::ChooseReadFolder() {
  std::string folder = platform_.prompts.ChooseFolder(window_.job.ReadPath);
  if (!folder.empty()) window_.job.ReadPath = folder;
  return folder;
}

bool ResourceExport::AgreeToOverwrite() {
  MessageBoxRequest question;
  question.text = "Files are existed, do you want to overwrite them?";
  question.title = "Get resource files";
  question.icon = BoxIcon::kNone;
  question.kind = BoxKind::kQuestion;
  question.buttons = BoxButtons::kOkCancel;
  overwriteAgreed_ = platform_.prompts.ShowMessageBox(question) == BoxAnswer::kOkPressed;
  return overwriteAgreed_;
}

bool ResourceExport::MayReplace(const std::string& path) {
  if (!window_.askBeforeReplacing || overwriteAgreed_ || !Exists(path)) return true;
  return AgreeToOverwrite();
}

void ResourceExport::GetResourceFiles() {
  Console& console = platform_.console;
  overwriteAgreed_ = false;
  const std::string folder = ChooseReadFolder();
  if (folder.empty()) return;

  const std::string name = kPathSeparator + std::string(FileNamePart(window_.job.FwFile));
  const std::string raw = folder + name + ".raw";
  const std::string brn = folder + name + ".brn";
  if ((Exists(raw) || Exists(brn)) && !AgreeToOverwrite()) return;
  console.SetStatusText(Format("[Get]: %s", brn.c_str()));
  console.RepaintNow();

  // A path the program cannot hold whole is refused, not cut to another name.
  if (brn.size() >= kMaxPath || readBack_.ReadResource(raw, ReadPurpose::kExport) != kOk) {
    console.AddLogLine("Read Resource Fail !!!");
    return;
  }
  if (ConvertToBrn(raw, brn, window_.job.FwFileID, console) != kOk) {
    console.AddLogLine("Convert BRN File Fail !!!");
    return;
  }
  ExportToFolder(brn, folder, raw);
}

bool ResourceExport::ExportToFolder(const std::string& brnName, const std::string& folder,
                                    const std::string& rawName) {
  Console& console = platform_.console;
  // A link there, even to a folder, would carry the entries out of the chosen
  // folder, and a file there cannot take them: both are refused.
  if (!EnsurePlainFolder(folder + kPathSeparator + "A")) {
    console.AddLogLine("Cannot create sub directory \".\\A\" !!!");
    return false;
  }
  if (!EnsurePlainFolder(folder + kPathSeparator + "B")) {
    console.AddLogLine("Cannot create sub directory \".\\B\" !!!");
    return false;
  }
  const bool exported = ExportBrnFile(brnName, folder, rawName) == 0;
  console.AddLogLine(exported ? "Read Resource Files Success !!!" : "Export Resource Files Fail !!!");
  return exported;
}

int ResourceExport::ExportBrnFile(const std::string& brnName, const std::string& folder,
                                  const std::string& rawName) {
  if (brnName.empty() || folder.empty()) return kFileError;
  BrnHeader header;
  std::optional<NativeFile> brn = OpenBrnFile(brnName, header);
  if (!brn) return kFileError;
  // An entry written over the BRN file would empty it under its own reader;
  // one over the raw image would lose what the camera gave back.
  std::vector<FileIdentity> inputs;
  const std::optional<FileIdentity> brnIdentity = brn->Identity();
  if (!brnIdentity) return kFileError;
  inputs.push_back(*brnIdentity);
  if (!rawName.empty()) {
    const std::optional<NativeFile> raw = NativeFile::OpenForReading(rawName);
    if (const std::optional<FileIdentity> rawIdentity = raw ? raw->Identity() : std::nullopt) {
      inputs.push_back(*rawIdentity);
    }
  }
  return ExportEntries(*brn, folder, BrnHeader::kSize, header, inputs);
}

int ResourceExport::ExportEntries(NativeFile& brn, const std::string& folder,
                                  std::uint64_t directoryOffset, const BrnHeader& header,
                                  std::span<const FileIdentity> inputs) {
  const std::uint64_t count = EntryCount(header);
  const std::uint64_t endMarkOffset = directoryOffset + count * BrnEntry::kSize;
  // The first entry's data starts after the directory, at an offset held in 32
  // bits: counts that push it further cannot describe any entry.
  if (endMarkOffset + kBrnEndMark.size() > std::numeric_limits<std::uint32_t>::max()) return -1;
  std::array<std::uint8_t, kBrnEndMark.size()> endMark{};
  if (!brn.ReadAt(endMarkOffset, endMark) || endMark != kBrnEndMark) return -1;

  // The directory is read in pieces: its size comes from the file, and the
  // memory used must not.
  const std::string listFile = folder + kPathSeparator + kListFile;
  std::vector<std::uint8_t> piece;
  PlaceFolders places(folder);
  std::uint64_t running = endMarkOffset + kBrnEndMark.size();
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t slot = i % kEntriesPerPiece;
    if (slot == 0) {
      piece.resize(static_cast<std::size_t>(std::min(count - i, kEntriesPerPiece) * BrnEntry::kSize));
      if (!brn.ReadAt(directoryOffset + i * BrnEntry::kSize, piece)) {
        ShowStop("Export file error, break!");
        break;
      }
    }
    const BrnEntry entry = BrnEntry::DecodeAt(piece, static_cast<std::size_t>(slot * BrnEntry::kSize));
    if (entry.offset != running) {
      ShowStop("Address error!");
      break;
    }
    const std::string relative = ExportFileName(listFile, entry.id);
    const NativeFolder* into = relative.empty() ? nullptr : places.For(PlaceOf(entry.id));
    if (into != nullptr && !MayReplace(into->Path() + kPathSeparator + relative)) return kFailed;
    if (into == nullptr || WriteFileRange(brn, *into, relative, running, entry.size, inputs) != 0) {
      ShowStop("Export file error, break!");
      break;
    }
    running += entry.size;
  }
  return 0;
}

std::string ResourceExport::ExportFileName(const std::string& listFile, std::uint16_t id) {
  const std::string key = ExportKey(id);
  const ExportPlace place = PlaceOf(id);
  const char* section = place == ExportPlace::kFolder   ? "FW"
                        : place == ExportPlace::kGroupA ? "RawA File List"
                                                        : "RawB File List";
  std::string name = platform_.profile.ReadString(listFile, section, key, key, kMaxPath);
  if (!IsContainedName(name)) return {};
  return name;
}

int ResourceExport::WriteFileRange(NativeFile& brn, const NativeFolder& folder,
                                   const std::string& relative, std::uint64_t offset,
                                   std::uint64_t size, std::span<const FileIdentity> inputs) {
  const std::string name = folder.Path() + kPathSeparator + relative;
  if (name.size() >= kMaxPath) return kFileError;
  std::optional<NativeFile> out = NativeFile::CreateInside(folder, relative, inputs);
  if (!out) return kFileError;
  if (!out->CopyFrom(brn, offset, size) || !out->Close()) {
    // A short entry file would pass for the resource itself.
    out->Remove();
    return kFileError;
  }
  return kOk;
}

}  // namespace bb

#include "readback/resource_export.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "burn/image_files.h"
#include "device/status_codes.h"
#include "readback/brn_convert.h"
#include "readback/brn_file.h"
#include "readback/export_names.h"
#include "readback/stream_io.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

namespace {

constexpr char kListFile[] = "files.ini";

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(FsPath(path), error);
}

// Creates `folder` + separator + `name` unless something of that name exists.
bool EnsureSubDirectory(const std::string& folder, const char* name) {
  const std::string path = folder + kPathSeparator + name;
  if (Exists(path)) return true;
  std::error_code error;
  return std::filesystem::create_directory(FsPath(path), error);
}

}  // namespace

ResourceExport::ResourceExport(Platform& platform, Context& context, WindowState& window,
                               ReadBack& readBack)
    : platform_(platform), context_(context), window_(window), readBack_(readBack) {}

void ResourceExport::ShowStop(const char* text) {
  MessageBoxRequest box;
  box.text = text;
  box.title = context_.applicationName;
  box.icon = BoxIcon::kExclamation;
  box.buttons = BoxButtons::kOkOnly;
  platform_.prompts.ShowMessageBox(box);
}

std::string ResourceExport::ChooseReadFolder() {
  std::string folder = platform_.prompts.ChooseFolder(window_.job.ReadPath);
  if (!folder.empty()) window_.job.ReadPath = folder;
  return folder;
}

void ResourceExport::GetResourceFiles() {
  Console& console = platform_.console;
  const std::string folder = ChooseReadFolder();
  if (folder.empty()) return;

  const std::string name = kPathSeparator + std::string(FileNamePart(window_.job.FwFile));
  const std::string raw = folder + name + ".raw";
  const std::string brn = folder + name + ".brn";
  if (Exists(raw) || Exists(brn)) {
    MessageBoxRequest question;
    question.text = "Files are existed, do you want to overwrite them?";
    question.title = "Get resource files";
    question.icon = BoxIcon::kQuestion;
    question.buttons = BoxButtons::kOkCancel;
    if (platform_.prompts.ShowMessageBox(question) != BoxAnswer::kOkPressed) return;
  }
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
  if (!EnsureSubDirectory(folder, "A")) {
    console.AddLogLine("Cannot create sub directory \".\\A\" !!!");
    return;
  }
  if (!EnsureSubDirectory(folder, "B")) {
    console.AddLogLine("Cannot create sub directory \".\\B\" !!!");
    return;
  }
  console.AddLogLine(ExportBrnFile(brn, folder) != 0 ? "Export Resource Files Fail !!!"
                                                     : "Read Resource Files Success !!!");
}

int ResourceExport::ExportBrnFile(const std::string& brnName, const std::string& folder) {
  if (brnName.empty() || folder.empty()) return kFileError;
  BrnHeader header;
  std::optional<std::ifstream> brn = OpenBrnFile(brnName, header);
  if (!brn) return kFileError;
  return ExportEntries(*brn, folder, BrnHeader::kSize, header);
}

int ResourceExport::ExportEntries(std::ifstream& brn, const std::string& folder,
                                  std::uint64_t directoryOffset, const BrnHeader& header) {
  const std::uint64_t count = EntryCount(header);
  const std::uint64_t directorySize = count * BrnEntry::kSize + 2;
  brn.clear();
  brn.seekg(0, std::ios::end);
  const auto fileSize = static_cast<std::uint64_t>(brn.tellg());
  if (directoryOffset + directorySize > fileSize) return -1;
  std::vector<std::uint8_t> directory(directorySize);
  if (!ReadAt(brn, directoryOffset, directory)) return -1;
  if (directory[directorySize - 2] != 0x24 || directory[directorySize - 1] != 0x6D) return -1;

  const std::string listFile = folder + kPathSeparator + kListFile;
  std::uint64_t running = directoryOffset + directorySize;
  for (std::uint64_t i = 0; i < count; ++i) {
    const BrnEntry entry = BrnEntry::DecodeAt(directory, i * BrnEntry::kSize);
    if (entry.offset != running) {
      ShowStop("Address error!");
      break;
    }
    const std::string relative = ExportFileName(listFile, entry.id);
    if (relative.empty() || WriteFileRange(brn, folder + relative, running, entry.size) != 0) {
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
  const std::string name = platform_.profile.ReadString(listFile, section, key, key, kMaxPath);
  if (!IsContainedName(name)) return {};
  std::string relative(1, kPathSeparator);
  if (place == ExportPlace::kGroupA) relative += std::string("A") + kPathSeparator;
  if (place == ExportPlace::kGroupB) relative += std::string("B") + kPathSeparator;
  return relative + name;
}

int ResourceExport::WriteFileRange(std::ifstream& brn, const std::string& name,
                                   std::uint64_t offset, std::uint64_t size) {
  if (name.size() >= kMaxPath) return kFileError;
  std::ofstream out(FsPath(name), std::ios::binary | std::ios::trunc);
  if (!out.is_open()) return kFileError;
  brn.clear();
  const bool copied = CopyFileRange(brn, out, offset, size);
  out.close();
  if (!copied || !out) {
    // A short entry file would pass for the resource itself.
    std::error_code ignored;
    std::filesystem::remove(FsPath(name), ignored);
    return kFileError;
  }
  return kOk;
}

}  // namespace bb

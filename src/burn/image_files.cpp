#include "burn/image_files.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <vector>

#include "util/binary_file.h"
#include "util/paths.h"

namespace bb {

namespace {

bool IsAbsolute(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return true;
#if !defined(_WIN32)
  // On POSIX a path from the root names one file wherever the program lives.
  if (!path.empty() && path[0] == '/') return true;
#endif
  return false;
}

}  // namespace

int ResolveImagePath(std::string_view source, std::string& destination, std::size_t capacity,
                     std::string_view executableFolder) {
  if (capacity == 0) return -1;
  if (IsAbsolute(source)) {
    if (source.size() >= capacity) return -1;
    destination = std::string(source);
    return 0;
  }
  const std::string_view name = FileNamePart(source);
  if (executableFolder.size() + 1 + name.size() + 1 > capacity) return -1;
  std::string joined(executableFolder);
  joined += kPathSeparator;
  joined += name;
  destination = std::move(joined);
  return 0;
}

std::string_view FileNamePart(std::string_view path) {
  for (std::size_t i = path.size(); i > 1; --i) {
    if (IsPathSeparator(path[i - 1])) return path.substr(i);
  }
  return path;
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  std::ifstream file;
  return OpenForReading(path, file).has_value();
}

int CheckJobFiles(std::int32_t controllerCode, const BurnJob& job, Prompts& prompts,
                  std::string_view applicationName) {
  if (controllerCode != 10) return -1;
  struct Check {
    const std::string& path;
    const char* message;
  };
  const std::array<Check, 3> checks{{{job.ParamFile, "Error Parameter Files !!!"},
                                     {job.IspFile, "Error Isp Files !!!"},
                                     {job.FwFile, "Error Fw Files !!!"}}};
  for (const Check& check : checks) {
    if (FileExists(check.path)) continue;
    MessageBoxRequest box;
    box.text = check.message;
    box.title = std::string(applicationName);
    box.icon = BoxIcon::kExclamation;
    box.kind = BoxKind::kError;
    box.buttons = BoxButtons::kOkOnly;
    prompts.ShowMessageBox(box);
    return 1;
  }
  return 0;
}

void ConvertStartupImage(const std::filesystem::path& folder, std::ostream& out) {
  constexpr std::size_t kHead = 256;
  constexpr std::size_t kBody = 0x1FF00;
  constexpr std::size_t kOutput = 0x20000;
  // What the input does not supply stays zero, so the output is the same for
  // the same input every time.
  std::vector<char> area(kHead + kOutput, 0);

  const std::u8string input = (folder / "CORV604.BIN").u8string();
  auto readInto = [&](std::size_t at, std::size_t count) {
    std::ifstream file;
    if (!OpenForReading(std::string(input.begin(), input.end()), file)) {
      out << "file open fail\n";
      return;
    }
    file.read(area.data() + at, static_cast<std::streamsize>(count));
  };
  readInto(kHead, kBody);
  readInto(0, kHead);
  std::copy_n(area.begin(), kHead, area.begin() + kOutput);

  std::ofstream output(folder / "VuVED3038.bin", std::ios::binary | std::ios::trunc);
  if (!output.is_open()) {
    out << "file open fail\n";
    return;
  }
  output.write(area.data() + kHead, static_cast<std::streamsize>(kOutput));
}

}  // namespace bb

#include "app/process_values.h"

#include "util/format.h"

namespace bb {

std::string ComputeExecutableFolder(ProcessInfo& process) {
  std::string path = process.ExecutablePath();
  const std::size_t cut = path.find_last_of("\\/");
  if (cut != std::string::npos) path.resize(cut);
  return path;
}

ProductVersion ReadProductVersion(ProcessInfo& process) {
  return process.ReadProductVersionInfo().value_or(ProductVersion{});
}

std::string MainCaption(const ProductVersion& version) {
  if (version.Revision() != 0) {
    return Format("ISP 2860 [%u.%u.%u.%u]", version.Major(), version.Minor(), version.Build(),
                  version.Revision());
  }
  return Format("ISP 2860 [%u.%u.%u]", version.Major(), version.Minor(), version.Build());
}

}  // namespace bb

#include "common/file_selection.h"

#include <string>

namespace bb {

bool FitsJobFileLimit(std::string_view path) { return path.size() <= kJobFileTextLimit; }

OpenFileRequest BrowseRequest(JobFileRow row, std::string_view storedPath) {
  OpenFileRequest request;
  request.title = "Select File";
  switch (row) {
    case JobFileRow::kParameter:
      request.filterDescription = "Param File(*.txt)";
      request.filterPattern = "*.txt";
      break;
    case JobFileRow::kCore:
      request.filterDescription = "IspCore File(*.bin)";
      request.filterPattern = "*.bin";
      break;
    case JobFileRow::kFirmware:
      request.filterDescription = "Fw File(*.bin)";
      request.filterPattern = "*.bin";
      break;
  }
  request.initialPath = std::string(storedPath);
  const std::size_t cut = storedPath.rfind('\\');
  request.initialFolder =
      std::string(cut == std::string_view::npos ? storedPath : storedPath.substr(0, cut + 1));
  return request;
}

}  // namespace bb

#include "device/isp_message_box.h"

#include <string>

#include "util/format.h"

namespace bb {

namespace {

struct ErrorTextEntry {
  int code;
  const char* text;
};

// Looked up from the top; the entry without text ends the table.
constexpr ErrorTextEntry ErrorTextTable[] = {
    {0, "The operation completed successfully."},
    {301, "The ISP timeout."},
    {27, "Bulk READFILE Time Out error."},
    {0, nullptr},
};

}  // namespace

std::string_view ErrorText(int code) {
  for (const ErrorTextEntry& entry : ErrorTextTable) {
    if (entry.text == nullptr) break;
    if (entry.code == code) return entry.text;
  }
  return {};
}

int IspMessageBox(Prompts& prompts, int code, std::string_view text) {
  MessageBoxRequest request;
  request.title = "Corvane ISP";
  request.ownerless = true;
  request.buttons = BoxButtons::kOkOnly;
  if (code == 0) {
    request.text = std::string(text);
    request.icon = BoxIcon::kInformation;
    request.kind = BoxKind::kNotice;
  } else {
    request.text = Format("Error %d\n", code);
    request.text += ErrorText(code);
    request.text += '\n';
    request.text += text;
    request.icon = BoxIcon::kError;
    request.kind = BoxKind::kError;
  }
  prompts.ShowMessageBox(request);
  return code;
}

}  // namespace bb

#include "app/exit_status.h"
#include "line_commands.h"

namespace bb::cli {

namespace {

constexpr char kNoLine[] = "a line of stations is not available on Windows: there is no libpq for it";

int NoLine(std::FILE* err) {
  std::fprintf(err, "burnbench-cli: %s\n", kNoLine);
  return kExitUnusable;
}

}  // namespace

std::unique_ptr<LineStore> OpenLine(const LineSettings&, std::string& error) {
  error = kNoLine;
  return nullptr;
}

int RunForward(const ProcessSetup&, const std::string&, std::FILE*, std::FILE* err) { return NoLine(err); }
int RunLineSetup(const ProcessSetup&, std::FILE*, std::FILE* err) { return NoLine(err); }
int RunLineHistory(const ProcessSetup&, std::FILE*, std::FILE* err) { return NoLine(err); }

}  // namespace bb::cli

#include "recording_command.h"

#include <optional>
#include <string>

#include "platform/record/call_text.h"
#include "platform/record/recording_format.h"

namespace bb::cli {

namespace {

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text += ' ';
    text += record::Printable(word);
  }
  return text;
}

void PrintHeader(const record::Recording& recording, std::FILE* out) {
  const record::RecordingHeader& header = recording.header;
  std::fprintf(out, "Burnbench recording, format %u\n", static_cast<unsigned>(recording.formatVersion));
  std::fprintf(out, "program   %s\nplatform  %s\nstarted   %s\n", record::Printable(header.program).c_str(),
               record::Printable(header.platform).c_str(), record::Printable(header.started).c_str());
  for (const std::vector<std::string>& command : header.commands) {
    std::fprintf(out, "command   %s\n", Joined(command).c_str());
  }
  for (const record::ImageFile& image : header.images) {
    const std::string role = record::Printable(image.role);
    const std::string path = record::Printable(image.path);
    if (image.present) {
      std::fprintf(out, "image     %s %s, %llu bytes, sha256 %s\n", role.c_str(), path.c_str(),
                   static_cast<unsigned long long>(image.size), ToHex(image.digest).c_str());
    } else {
      std::fprintf(out, "image     %s %s, unreadable\n", role.c_str(), path.c_str());
    }
  }
  if (recording.exitStatus) {
    std::fprintf(out, "exit      %d\n", *recording.exitStatus);
  } else {
    std::fputs("exit      none (a run of the window)\n", out);
  }
}

}  // namespace

int PrintRecording(const Options& options, std::FILE* out, std::FILE* err) {
  const std::string& file = options.operands[0];
  std::string error;
  const std::optional<record::Recording> recording = record::ReadRecordingFile(file, error);
  if (!recording) {
    std::fprintf(err, "burnbench-cli: cannot read the recording %s: %s\n", file.c_str(), error.c_str());
    return 2;
  }
  PrintHeader(*recording, out);
  std::size_t number = 0;
  for (const record::Call& call : recording->calls) {
    const std::string took =
        call.tookUs == 0 ? std::string() : " (" + std::to_string(call.tookUs) + " us)";
    std::fprintf(out, "#%zu %llu.%06llu s%s %s -> %s\n", ++number,
                 static_cast<unsigned long long>(call.atUs / 1000000),
                 static_cast<unsigned long long>(call.atUs % 1000000), took.c_str(),
                 record::DescribeRequest(call).c_str(), record::DescribeOutcome(call).c_str());
  }
  return 0;
}

}  // namespace bb::cli

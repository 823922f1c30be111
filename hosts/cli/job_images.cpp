#include "job_images.h"

#include <utility>

#include "burn/job_config.h"
#include "platform/record/header_facts.h"

namespace bb::cli {

namespace {

// Loading the job only to learn its paths must leave the log alone.
class SilentConsole final : public Console {
 public:
  void AddLogLine(std::string_view) override {}
  void ClearLog() override {}
  void SetStatusText(std::string_view) override {}
  void SetCaption(std::string_view) override {}
  void RepaintNow() override {}
};

}  // namespace

std::vector<record::ImageFile> JobImages(const Options& options, Profile& profile,
                                         const Context& context) {
  std::vector<record::ImageFile> images;
  if (options.command == "legacy") {
    images.push_back(record::HashImage("Firmware", options.operands.at(0)));
  } else if (options.command == "burn" || options.command == "read") {
    Context scratch = context;
    SilentConsole console;
    BurnJob job;
    if (LoadJob(profile, scratch, console, kVexa2860, &job) != 0) return images;
    images.push_back(record::HashImage("ParamFile", job.ParamFile));
    images.push_back(record::HashImage("IspFile", job.IspFile));
    images.push_back(record::HashImage("FwFile", job.FwFile));
  }
  return images;
}

}  // namespace bb::cli

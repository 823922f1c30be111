#include "app/run_tracker.h"

namespace bb {

const char* RunCommandText(RunCommand command) {
  switch (command) {
    case RunCommand::kVersions:
      return "versions";
    case RunCommand::kBurn:
      return "burn";
    case RunCommand::kBurnVerify:
      return "burn --verify";
    case RunCommand::kParamOnly:
      return "burn --param-only";
    case RunCommand::kReadBack:
      return "read";
    case RunCommand::kLegacy:
      return "legacy";
  }
  return "burn";
}

RunCommand RunCommandOf(std::int32_t workKind) {
  switch (workKind) {
    case kParamOnly:
      return RunCommand::kParamOnly;
    case kBurnVerify:
      return RunCommand::kBurnVerify;
    case kReadBack:
      return RunCommand::kReadBack;
    default:
      return RunCommand::kBurn;
  }
}

void RunTracker::Begin(RunCommand command) {
  if (depth_++ > 0) return;
  record_ = RunRecord{};
  record_.command = command;
  record_.startUtcMs = clock_.UtcNowMs();
  commands_.ForgetVersions();
  binding_.BeginRun();
}

void RunTracker::End() {
  if (depth_ == 0 || --depth_ > 0) return;
  record_.endUtcMs = clock_.UtcNowMs();
  record_.location = binding_.RunLocation();
  record_.interfacePath = binding_.RunPath();
  record_.serial = binding_.RunSerial();
  record_.versions = commands_.Versions();
  binding_.EndRun();
  // Versions and legacy downloads send none of the job's files.
  if (record_.command != RunCommand::kVersions && record_.command != RunCommand::kLegacy) {
    const BurnJob& job = window_.job;
    for (const auto& [key, path] : {std::pair{"ParamFile", &job.ParamFile},
                                    std::pair{"IspFile", &job.IspFile},
                                    std::pair{"FwFile", &job.FwFile}}) {
      if (path->empty()) continue;
      record_.files.push_back(RunRecord::ImageFile{key, *path, HashFile(*path)});
    }
  }
  if (listener_) listener_(record_);
}

}  // namespace bb

#include "app/run_tracker.h"

#include "common/job_images.h"
#include "util/uuid.h"

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
  record_.runId = RandomUuid();
  commands_.ForgetVersions();
  window_.imagesRead.clear();
  window_.readBack.reset();
  binding_.BeginRun();
  if (beginListener_) beginListener_();
}

void RunTracker::End() {
  if (depth_ == 0 || --depth_ > 0) return;
  record_.endUtcMs = clock_.UtcNowMs();
  record_.location = binding_.RunLocation();
  record_.interfacePath = binding_.RunPath();
  record_.serial = binding_.RunSerial();
  record_.versions = commands_.Versions();
  record_.readBack = window_.readBack;
  binding_.EndRun();
  // Versions and legacy downloads send none of the job's files. The files are
  // told as the run read them: hashed again now, they could be other bytes.
  if (record_.command != RunCommand::kVersions && record_.command != RunCommand::kLegacy) {
    for (const JobImage& image : JobImages(window_.job)) {
      if (image.path.empty()) continue;
      const auto read = window_.imagesRead.find(image.fileKey);
      record_.files.push_back(RunRecord::ImageFile{
          std::string(image.fileKey), image.path,
          read == window_.imagesRead.end() ? std::nullopt : std::optional(read->second)});
    }
  }
  if (listener_) listener_(record_);
}

}  // namespace bb

#include "station/station_images.h"

#include <system_error>
#include <utility>

#include "burn/burn_procedure.h"
#include "burn/image_bytes.h"
#include "burn/image_check.h"
#include "burn/job_config.h"
#include "common/job_images.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

namespace {

// Keeps the first line a check logs: the reason a station is not ready.
class FirstLine final : public Console {
 public:
  void AddLogLine(std::string_view text) override {
    if (line.empty()) line = text;
  }
  void ClearLog() override {}
  void SetStatusText(std::string_view) override {}
  void SetCaption(std::string_view) override {}
  void RepaintNow() override {}

  std::string line;
};

}  // namespace

StationImages::StationImages(Profile& profile, Context context, bool allowUnpinned)
    : profile_(profile), context_(std::move(context)), allowUnpinned_(allowUnpinned) {}

StationImages::Stamp StationImages::StampOf(const std::string& path, bool withContent) {
  Stamp stamp{path, std::nullopt, 0, std::nullopt};
  if (withContent) {
    if (const std::optional<FileDigest> hashed = HashFile(path)) stamp.content = hashed->digest;
  }
  std::error_code error;
  const auto time = std::filesystem::last_write_time(FsPath(path), error);
  if (!error) stamp.time = time;
  const auto size = std::filesystem::file_size(FsPath(path), error);
  if (!error) stamp.size = size;
  return stamp;
}

bool StationImages::Unchanged() const {
  if (stamps_.empty()) return false;
  for (const Stamp& stamp : stamps_) {
    if (!(StampOf(stamp.path, stamp.content.has_value()) == stamp)) return false;
  }
  return true;
}

std::string StationImages::Refresh() {
  std::lock_guard lock(mutex_);
  if (Unchanged()) return notReady_;
  notReady_ = Load();
  if (!notReady_.empty()) images_.reset();
  return notReady_;
}

std::string StationImages::Load() {
  // The files as they stand before they are read: a change while they are
  // read shows at the next look and is read again.
  stamps_ = {StampOf(context_.configPath, true)};
  pinMissing_ = false;
  BurnJob job;
  FirstLine said;
  if (LoadJob(profile_, context_, said, kVexa2860, &job) != 0) {
    return said.line.empty() ? "cannot read the job from " + context_.configPath : said.line;
  }
  firmware_ = job.FwFile;
  pinPrefix_ = job.FwSha256 ? job.FwSha256->substr(0, 12) : std::string();
  auto images = std::make_shared<SharedImages>();
  for (const JobImage& image : JobImages(job)) {
    stamps_.push_back(StampOf(image.path, false));
    if (!image.pin && !allowUnpinned_) {
      pinMissing_ = true;
      return Format("%s is not set: a station burns only pinned images", std::string(image.pinKey).c_str());
    }
    ImageBytes bytes;
    std::uint64_t size = 0;
    if (ReadImageBytes(image.path, kMaxTransfer, kFirmwareSlack, bytes, size) != ImageRead::kRead) {
      return "cannot read " + image.path;
    }
    if (!CheckImageDigest(image, bytes.digest, said)) return said.line;
    images->push_back(SharedImage{image.path, bytes.buffer, bytes.digest, kFirmwareSlack, std::string(image.fileKey)});
  }
  images_ = std::move(images);
  return {};
}

std::string StationImages::Firmware() {
  std::lock_guard lock(mutex_);
  return firmware_;
}

std::string StationImages::PinPrefix() {
  std::lock_guard lock(mutex_);
  return pinPrefix_;
}

bool StationImages::PinMissing() {
  std::lock_guard lock(mutex_);
  return pinMissing_;
}

std::shared_ptr<const SharedImages> StationImages::Images() {
  std::lock_guard lock(mutex_);
  return images_;
}

}  // namespace bb

#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/context.h"
#include "common/shared_image.h"
#include "platform/profile.h"
#include "station/station_ports.h"
#include "util/sha256.h"

namespace bb {

// The job's three images as a station burns them: read, checked against their
// pins and hashed once, then shared read-only by every run. They are read
// again only when the configuration file or an image changes (its time or
// size), never per camera; a change that does not match its pin leaves the
// station not ready, with the reason, until the files are right again.
class StationImages final : public ImageSupply {
 public:
  // `allowUnpinned`: a file without its pin is burned as it is.
  StationImages(Profile& profile, Context context, bool allowUnpinned);

  std::string Refresh() override;
  std::string Firmware() override;
  std::string PinPrefix() override;

  // True when the last look found an image without its pin, and unpinned
  // images are not allowed: the station does not start.
  bool PinMissing();
  // What runs send now; null while the station is not ready.
  std::shared_ptr<const SharedImages> Images();

 private:
  struct Stamp {
    std::string path;
    std::optional<std::filesystem::file_time_type> time;
    std::uintmax_t size = 0;
    // Of the configuration file, whose rewrite may keep its size and, on
    // some file systems, its time: its pins change at the same length.
    std::optional<Sha256Digest> content;
    bool operator==(const Stamp&) const = default;
  };

  // `withContent`: the file is small enough to hash at every look.
  static Stamp StampOf(const std::string& path, bool withContent);
  bool Unchanged() const;
  // Reads the job and its images; empty, or why they cannot be burned.
  std::string Load();

  Profile& profile_;
  Context context_;
  bool allowUnpinned_;
  std::mutex mutex_;
  std::vector<Stamp> stamps_;
  std::string notReady_;
  bool pinMissing_ = false;
  std::string firmware_;
  std::string pinPrefix_;
  std::shared_ptr<const SharedImages> images_;
};

}  // namespace bb

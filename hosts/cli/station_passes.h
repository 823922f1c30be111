#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/run_store.h"
#include "platform/shared_time.h"
#include "station/station_images.h"
#include "station/station_ports.h"

namespace bb::cli {

// Who and what every record of a station's runs names.
struct StationRecordFacts {
  std::string stationName;
  std::optional<std::string> operatorName;
  // How the station's runs name their command ("burn --verify").
  std::string command;
  // Where a run report line goes too; empty for none.
  std::string reportPath;
};

// A camera's earlier pass by the records database: a run that passed with
// the same serial and the same three images (by their SHA-256) as the
// station burns now.
class StationPasses final : public PassRecords {
 public:
  // `note` tells the operator what the records could not do.
  StationPasses(RunStore& store, StationImages& images, SharedTime& time, StationRecordFacts facts,
                std::function<void(const std::string&)> note);

  std::optional<EarlierPass> PassedBefore(const std::string& serial) override;
  std::string KeepDoneBefore(const RunOrder& order, const EarlierPass& earlier, const std::string& line) override;

 private:
  RunStore& store_;
  StationImages& images_;
  SharedTime& time_;
  StationRecordFacts facts_;
  std::function<void(const std::string&)> note_;
};

}  // namespace bb::cli

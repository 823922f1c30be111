#pragma once

#include <cstdint>
#include <string>

#include "platform/profile.h"
#include "station/slot_plan.h"

namespace bb {

// Section [Station] of Isp.ini.
struct StationSettings {
  // Name: how records and the board name the station.
  std::string name;
  // UnplugSeconds: how long a slot must stand empty before the same camera
  // is burned there again.
  std::uint32_t unplugSeconds = 3;
  // Verify=1: every burn reads its image back.
  bool verify = false;
  // Slots: none means every location is a slot.
  std::vector<SlotPlace> slots;
};

inline constexpr std::uint32_t kLeastUnplugSeconds = 1;
inline constexpr std::uint32_t kMostUnplugSeconds = 600;

// Reads the section; without Name the station is named `hostName`. False,
// with the reason in `error`, when a value cannot be used.
bool ReadStationSettings(Profile& profile, const std::string& path, const std::string& hostName,
                         StationSettings& settings, std::string& error);

}  // namespace bb

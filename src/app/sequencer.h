#pragma once

#include <cstdint>

#include "app/run_tracker.h"
#include "common/arrival_watcher.h"
#include "common/context.h"
#include "common/platform.h"
#include "common/window_state.h"
#include "burn/burn_procedure.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "readback/read_back.h"
#include "readback/resource_export.h"

namespace bb {

// Runs every long operation as a chain of posted steps, so that the window's
// message loop runs between them while the camera drops off and comes back.
// User-interface thread only.
class Sequencer {
 public:
  static constexpr std::uint32_t kDeviceArrival = 0x8000;
  static constexpr unsigned kKeyDown = 256;
  static constexpr unsigned kKeyEscape = 27;
  static constexpr unsigned kKeyF5 = 116;
  static constexpr unsigned kKeyF6 = 117;

  Sequencer(Platform& platform, Context& context, WindowState& window, DeviceLink& link,
            DeviceCommands& commands, BurnProcedure& burn, ReadBack& readBack,
            ResourceExport& resourceExport, ArrivalWatcher& arrivals, RunTracker& runs);

  // The step message's handler; returns 1 whatever happened.
  int OnStep(std::uint32_t step);
  void EnableRunButtons(bool enable);
  // A device-change event of the window, with what the platform told of the
  // device.
  void OnDeviceChange(std::uint32_t event, const DeviceArrival& arrival);
  // The pre-dispatch key filter; true when the message must not be dispatched.
  bool FilterKey(unsigned message, std::uintptr_t key);
  // The "Read [F6]" button.
  void StartReadBackFromButton();

 private:
  void RunParamOnly(std::uint32_t step);
  void RunBurn(std::uint32_t step, bool verify);
  void RunReadBack(std::uint32_t step);
  void UnexpectedStep(std::uint32_t step);
  void PowerDownAfterBurn(std::uint32_t step);
  // A run lasts from its first step to the step that ends it.
  void BeginRun(std::int32_t workKind);
  void EndRun();

  Platform& platform_;
  Context& context_;
  WindowState& window_;
  DeviceLink& link_;
  DeviceCommands& commands_;
  BurnProcedure& burn_;
  ReadBack& readBack_;
  ResourceExport& resourceExport_;
  ArrivalWatcher& arrivals_;
  RunTracker& runs_;
  bool runActive_ = false;
};

}  // namespace bb

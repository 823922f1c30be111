#include "app/sequencer.h"

#include "common/control_ids.h"
#include "common/steps.h"
#include "burn/job_config.h"
#include "device/command_table.h"
#include "readback/read_verify.h"
#include "util/format.h"

namespace bb {

Sequencer::Sequencer(Platform& platform, Context& context, WindowState& window, DeviceLink& link,
                     DeviceCommands& commands, BurnProcedure& burn, ReadBack& readBack,
                     ResourceExport& resourceExport, ArrivalWatcher& arrivals, RunTracker& runs)
    : platform_(platform),
      context_(context),
      window_(window),
      link_(link),
      commands_(commands),
      burn_(burn),
      readBack_(readBack),
      resourceExport_(resourceExport),
      arrivals_(arrivals),
      runs_(runs) {}

void Sequencer::EnableRunButtons(bool enable) {
  for (const int id : {kIspButton, kVersionButton, kReadButton}) {
    platform_.controls.SetEnabled(id, enable);
  }
}

int Sequencer::OnStep(std::uint32_t step) {
  if (step == kStepEnd || (step >= 2 && step <= 10 && step % 2 == 0)) {
    arrivals_.StopWatchingArrival();
    EnableRunButtons(true);
    EndRun();
    return 1;
  }
  BeginRun(window_.job.WorkKind);
  switch (window_.job.WorkKind) {
    case kParamOnly:
      RunParamOnly(step);
      break;
    case kBurn:
      RunBurn(step, false);
      break;
    case kBurnVerify:
      RunBurn(step, true);
      break;
    case kReadBack:
      RunReadBack(step);
      break;
    default:
      platform_.console.AddLogLine("Error work item!!");
      arrivals_.StopWatchingArrival();
      platform_.steps.Post(kStepEnd);
      break;
  }
  PowerDownAfterBurn(step);
  return 1;
}

void Sequencer::BeginRun(std::int32_t workKind) {
  if (runActive_) return;
  runActive_ = true;
  runs_.Begin(RunCommandOf(workKind));
}

void Sequencer::EndRun() {
  if (!runActive_) return;
  runActive_ = false;
  runs_.End();
}

void Sequencer::PowerDownAfterBurn(std::uint32_t step) {
  if (context_.settings.AutoPowerDown2860 == 0) return;
  const std::int32_t kind = window_.job.WorkKind;
  if ((kind == kBurn && step == kStepArrived) || (kind == kBurnVerify && step == kStepVerify)) {
    constexpr Command powerDown = CommandTable::PowerDownRequest;
    link_.VendorNoData(powerDown.bRequest, powerDown.wValue, powerDown.wIndex);
  }
}

void Sequencer::UnexpectedStep(std::uint32_t step) {
  platform_.console.AddLogLine(Format("  Unknow Isp Msg Id ... %d", static_cast<int>(step)));
  arrivals_.StopWatchingArrival();
  platform_.steps.Post(kStepEnd);
}

void Sequencer::RunParamOnly(std::uint32_t step) {
  if (context_.controllerCode == kVexa2860 && step == kStepStart) {
    platform_.console.SetStatusText(Format("[Param]: %s", window_.job.ParamFile.c_str()));
    const int status = burn_.DownloadParam(&window_.job);
    platform_.console.AddLogLine(status == 0 ? "Parameter download OK." : "Parameter download Fail.");
  } else {
    platform_.console.AddLogLine("Parameter download OK.");
  }
  platform_.steps.Post(kStepEnd);
}

void Sequencer::RunBurn(std::uint32_t step, bool verify) {
  switch (step) {
    case kStepStart:
      EnableRunButtons(false);
      platform_.steps.Post(burn_.RunJob(&window_.job) != 0 ? kStepEnd : kStepWait);
      return;
    case kStepWait:
      platform_.clock.SleepMs(1);
      return;
    case kStepArrived: {
      arrivals_.StopWatchingArrival();
      commands_.ShowIspVersion();
      const int status = burn_.FinishBurn(&window_.job);
      platform_.steps.Post(verify && status == 0 ? kStepVerify : kStepEnd);
      return;
    }
    case kStepVerify:
      if (verify) {
        ReadVerify(&window_.job, readBack_, platform_.console, window_.verifyFolder);
        platform_.steps.Post(kStepEnd);
        return;
      }
      break;
    default:
      break;
  }
  UnexpectedStep(step);
}

void Sequencer::RunReadBack(std::uint32_t step) {
  switch (step) {
    case kStepStart:
      EnableRunButtons(false);
      platform_.steps.Post(readBack_.StartReadBack() != 0 ? kStepEnd : kStepWait);
      return;
    case kStepWait:
      platform_.clock.SleepMs(1);
      return;
    case kStepArrived:
      arrivals_.StopWatchingArrival();
      commands_.ShowIspVersion();
      resourceExport_.GetResourceFiles();
      platform_.steps.Post(kStepEnd);
      return;
    default:
      UnexpectedStep(step);
      return;
  }
}

void Sequencer::OnDeviceChange(std::uint32_t event, const DeviceArrival& arrival) {
  if (event != kDeviceArrival) return;
  // Another camera plugged in while this run's camera restarts is not its
  // return.
  if (arrivals_.Watching() && arrival.cameraInterface && !link_.IsBoundCamera(arrival.interfacePath)) {
    return;
  }
  if (arrivals_.TakeArrival(arrival)) platform_.steps.Post(kStepArrived);
}

bool Sequencer::FilterKey(unsigned message, std::uintptr_t key) {
  if (message != kKeyDown) return false;
  switch (key) {
    case kKeyEscape:
      platform_.steps.Post(kStepEnd);
      return true;
    case kKeyF5: {
      const std::int32_t kind = platform_.controls.IsChecked(kReadVerifyCheck) ? kBurnVerify : kBurn;
      BeginRun(kind);
      // Not even the version check goes out for a job that may not run.
      if (!CheckIspTimeout(window_.job, platform_.console)) {
        platform_.steps.Post(kStepEnd);
        return false;
      }
      commands_.CheckVersions();
      EnableRunButtons(true);
      window_.job.WorkKind = kind;
      platform_.steps.Post(burn_.RunJob(&window_.job) != 0 ? kStepEnd : kStepWait);
      return false;
    }
    case kKeyF6:
      BeginRun(kReadBack);
      if (!CheckIspTimeout(window_.job, platform_.console)) {
        platform_.steps.Post(kStepEnd);
        return false;
      }
      commands_.CheckVersions();
      window_.job.WorkKind = kReadBack;
      platform_.steps.Post(kStepStart);
      return false;
    default:
      return false;
  }
}

void Sequencer::StartReadBackFromButton() {
  platform_.console.ClearLog();
  window_.job.WorkKind = kReadBack;
  platform_.steps.Post(kStepStart);
}

}  // namespace bb

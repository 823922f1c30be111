#pragma once

#include <string>
#include <vector>

#include "common/arrival_watcher.h"
#include "common/platform.h"
#include "common/window_state.h"
#include "burn/burn_procedure.h"
#include "platform/std/fifo_step_queue.h"
#include "sim/sim_arrival_watch.h"
#include "support/device_rig.h"
#include "support/native_profile.h"
#include "support/recording_controls.h"
#include "support/temp_folder.h"

namespace bb::test {

// The burn procedure against one simulated camera, with the executable's
// folder in a temporary folder that holds Isp.ini and the image files.
struct BurnRig : DeviceRig {
  BurnRig() {
    context.executableFolder = folder.Text();
    context.configPath = folder.File("Isp.ini");
    context.controllerCode = 10;
    bus.Attach();
    bus.SetArrivalHandler([this](const DeviceArrival& arrival) { arrivals.Announce(arrival); });
    arrivals.SetAnnouncer([this](const DeviceArrival&) { ++arrivalsAnnounced; });
  }

  // An Isp.ini with the given job section lines and the three image files.
  void WriteJob(const std::string& extraLines, std::size_t firmwareSize) {
    folder.Write("Isp.ini", "[DevNo]\nChipID=10\n[2860]\nParamAddress2860=0x1000\n"
                            "CoreAddress2860=0x2000\nDramAddress2860=0x300000\n"
                            "RomAddress2860=0x40000\nSectorAddress2860=5\n"
                            "ParamFile=param.txt\nIspFile=core.bin\nFwFile=fw.bin\n" +
                                extraLines);
    param = Pattern(100, 1);
    core = Pattern(3000, 2);
    firmware = Pattern(firmwareSize, 3);
    folder.Write("param.txt", param);
    folder.Write("core.bin", core);
    folder.Write("fw.bin", firmware);
  }

  static std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
  }

  std::vector<std::uint32_t> Steps() {
    std::vector<std::uint32_t> posted;
    while (auto step = steps.Take()) posted.push_back(*step);
    return posted;
  }

  TempFolder folder;
  RecordingControls controls;
  FifoStepQueue steps;
  sim::SimArrivalWatch arrivals;
  NativeProfile profile;
  Platform platform{bus, clock, timers, console, controls, prompts, steps, arrivals, profile};
  WindowState window;
  ArrivalWatcher watcher{arrivals, console};
  BurnProcedure burn{platform, context, window, link, commands, watcher};
  int arrivalsAnnounced = 0;
  std::vector<std::uint8_t> param;
  std::vector<std::uint8_t> core;
  std::vector<std::uint8_t> firmware;
};

}  // namespace bb::test

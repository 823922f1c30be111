#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "common/arrival_watcher.h"
#include "common/context.h"
#include "common/platform.h"
#include "common/window_state.h"
#include "burn/burn_procedure.h"
#include "device/device_commands.h"
#include "device/device_link.h"

namespace bb {

// Why an image is read: the camera prepares it differently.
enum class ReadPurpose { kExport, kVerify };

// Reading an image back from the camera into a local file. User-interface
// thread only; every transfer blocks it.
class ReadBack {
 public:
  ReadBack(Platform& platform, Context& context, WindowState& window, DeviceLink& link,
           DeviceCommands& commands, BurnProcedure& burn, ArrivalWatcher& arrivals);

  // Brings the camera's ISP core up for reading; 0 when the camera will come
  // back (or StepArrived has been posted), else the failing stage's code.
  int StartReadBack();
  // Reads the camera's image into `fileName`, created anew, writing each piece
  // as it arrives; the file is left empty when the read fails.
  int ReadResource(const std::string& fileName, ReadPurpose purpose);
  // Reads `size` bytes at a device address into `buffer`, guarding each piece.
  int ReadDeviceData(std::uint32_t size, std::uint32_t address, std::span<std::uint8_t> buffer);

 private:
  // Takes each piece as it arrives; false stops the read.
  using PieceSink = std::function<bool(std::span<const std::uint8_t>)>;
  // ReadDeviceData into the whole `buffer`, or, with a sink, into a buffer of
  // one piece that each piece arrives in and is handed on from.
  int ReadPieces(std::uint32_t size, std::uint32_t address, std::span<std::uint8_t> buffer,
                 const PieceSink& sink);
  void Log(const std::string& line, bool repaint = false);

  Platform& platform_;
  Context& context_;
  WindowState& window_;
  DeviceLink& link_;
  DeviceCommands& commands_;
  BurnProcedure& burn_;
  ArrivalWatcher& arrivals_;
};

}  // namespace bb

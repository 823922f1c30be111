#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/context.h"
#include "common/platform.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "device/usb_pipes.h"

namespace bb {

// The one-press download of the VEXA611, VEXA616 and VEXA618: the ISP core
// that the radios choose, then the firmware behind the legacy ISP write
// header. No re-enumeration, no status polls. User-interface thread only; the
// transfers, the sleeps and the dialogs block it.
class LegacyProcedure {
 public:
  LegacyProcedure(Platform& platform, Context& context, DeviceLink& link, DeviceCommands& commands);

  // The ISP button for every controller code but the VEXA2860's.
  void LegacyDownload();
  // Returns 0; 2 a file cannot be used, or the configuration with the pins
  // cannot be read whole; 8 no memory; 26 busy; 104 the header failed;
  // otherwise the status of the busy query or of the bulk write.
  int LegacyIspWrite(const std::string& firmwarePath);
  // The open-file dialog for a firmware image, opened on `path`. True when the
  // operator chose a file whose path fits `capacity` bytes with a terminator;
  // `path` then holds it. Otherwise `path` is unchanged.
  bool SelectBinFile(std::string& path, std::size_t capacity);

 private:
  bool DownloadCore();
  int SendHeader(UsbPipes& pipes, std::uint32_t blocks);
  void Log(const std::string& line, bool repaint = false);

  Platform& platform_;
  Context& context_;
  DeviceLink& link_;
  DeviceCommands& commands_;
};

}  // namespace bb

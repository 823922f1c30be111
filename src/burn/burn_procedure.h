#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>

#include "burn/image_bytes.h"
#include "common/arrival_watcher.h"
#include "common/context.h"
#include "common/job_images.h"
#include "common/platform.h"
#include "common/window_state.h"
#include "common/burn_job.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "device/usb_pipes.h"

namespace bb {

// Transfers count in 32 bits; the firmware buffer keeps 64 KiB of slack, which
// pads its last block with zeros.
inline constexpr std::uint64_t kFirmwareSlack = 0x10000;
inline constexpr std::uint64_t kMaxTransfer = std::numeric_limits<std::uint32_t>::max() - kFirmwareSlack;

// The VEXA2860 burn: the parameter file and the ISP core into the camera's
// memory, the firmware behind its header, and, after the camera has come back,
// the storage write and the wait for it. User-interface thread only; every
// transfer blocks it.
class BurnProcedure {
 public:
  BurnProcedure(Platform& platform, Context& context, WindowState& window, DeviceLink& link,
                DeviceCommands& commands, ArrivalWatcher& arrivals);

  // The ISP button on the VEXA2860 path: reload the job, let the operator
  // confirm the files, and post the first step.
  void StartBurn();
  // The first stage: 0 when the camera will come back (or StepArrived has been
  // posted), -1 after a logged failure.
  int RunJob(BurnJob* job);
  // The second stage: the storage write and its wait.
  int FinishBurn(BurnJob* job);

  // What a run demands of the images it may send before its first request
  // (see CheckImageFile); false, logged, when the run must stop. A file that
  // its pin check hashed counts as what the run read of it until it is sent.
  bool CheckJobImages(std::span<const JobImage> images);

  int DownloadFile(const std::string& path, std::uint32_t address);
  int DownloadParam(BurnJob* job);
  int DownloadCore(BurnJob* job);
  int WriteFirmware(BurnJob* job);
  int StageFirmware(BurnJob* job);

 private:
  enum class FirmwareHeader { kIspWrite, kStaging };
  // Reads an image for sending and checks the bytes read: 0, or kFileError
  // or kNoBuffer (logged) when they cannot be sent.
  // The station's copy of a file, read once for every session, or none.
  const SharedImage* FindShared(const std::string& path, std::uint64_t slack) const;
  // The station's copy of the file when it has one, else the file read now.
  ImageRead ShareOrRead(const std::string& path, std::uint64_t slack, ImageBytes& bytes, std::uint64_t& size);
  int ReadForSending(const JobImage& image, std::uint64_t slack, ImageBytes& bytes,
                     std::uint64_t& size);
  // The download of one image, refused before any of it is sent when the
  // bytes read are empty or not the pinned ones.
  int DownloadImage(const JobImage& image, std::uint32_t address);
  int SendFirmware(BurnJob* job, FirmwareHeader header);
  int SendHeader(UsbPipes& pipes, const BurnJob& job, FirmwareHeader header,
                 std::uint32_t blocks);
  bool SelectJobFiles(BurnJob& job);
  void Log(const std::string& line, bool repaint = false);

  Platform& platform_;
  Context& context_;
  WindowState& window_;
  DeviceLink& link_;
  DeviceCommands& commands_;
  ArrivalWatcher& arrivals_;
};

}  // namespace bb

#include "burn/burn_procedure.h"

#include <array>
#include <limits>
#include <memory>

#include "common/control_ids.h"
#include "common/job_images.h"
#include "common/steps.h"
#include "burn/image_check.h"
#include "burn/image_files.h"
#include "burn/job_config.h"
#include "device/command_table.h"
#include "device/primitives.h"
#include "device/status_codes.h"
#include "util/byte_order.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

BurnProcedure::BurnProcedure(Platform& platform, Context& context, WindowState& window,
                             DeviceLink& link, DeviceCommands& commands, ArrivalWatcher& arrivals)
    : platform_(platform),
      context_(context),
      window_(window),
      link_(link),
      commands_(commands),
      arrivals_(arrivals) {}

void BurnProcedure::Log(const std::string& line, bool repaint) {
  platform_.console.AddLogLine(line);
  if (repaint) platform_.console.RepaintNow();
}

bool BurnProcedure::SelectJobFiles(BurnJob& job) {
  JobFileChoice choice{job.ParamFile, job.IspFile, job.FwFile, false};
  const bool confirmed = platform_.prompts.SelectJobFiles(choice);
  window_.paramOnly = choice.paramOnly;
  if (!confirmed) return false;
  for (auto [chosen, field] : {std::pair{&choice.paramFile, &job.ParamFile},
                               std::pair{&choice.ispFile, &job.IspFile},
                               std::pair{&choice.fwFile, &job.FwFile}}) {
    if (chosen->size() < kMaxPath) *field = *chosen;
  }
  return true;
}

void BurnProcedure::StartBurn() {
  BurnJob& job = window_.job;
  window_.paramOnly = false;
  platform_.console.ClearLog();
  if (LoadJob(platform_.profile, context_, platform_.console, context_.controllerCode, &job) != 0 ||
      !CheckIspTimeout(job, platform_.console)) {
    return;
  }

  const bool silent = platform_.controls.IsChecked(kSilentModeCheck);
  bool dialogConfirmed = false;
  if (!silent || CheckJobFiles(context_.controllerCode, job, platform_.prompts, context_.applicationName) != 0) {
    if (!SelectJobFiles(job)) return;
    dialogConfirmed = true;
  }
  if (CheckJobFiles(context_.controllerCode, job, platform_.prompts, context_.applicationName) != 0) {
    Log("File(s) not found!");
    return;
  }

  if (window_.paramOnly) {
    job.WorkKind = kParamOnly;
  } else {
    job.WorkKind = platform_.controls.IsChecked(kReadVerifyCheck) ? kBurnVerify : kBurn;
  }
  if (dialogConfirmed) SaveJobFiles(platform_.profile, context_, context_.controllerCode, &job);
  platform_.steps.Post(kStepStart);
}

int BurnProcedure::RunJob(BurnJob* job) {
  if (job == nullptr) return -1;
  // Nothing goes to the camera, not even the stage query, before every image
  // of the job has passed: whatever the stage, the job is burned whole or not at all.
  if (!CheckJobImages(JobImages(*job))) return -1;
  std::array<std::uint8_t, 5> reply{};
  constexpr Command stageQuery = CommandTable::StageQuery;
  if (link_.VendorIn(stageQuery.bRequest, stageQuery.wValue, stageQuery.wIndex, stageQuery.wLength,
                     reply) != kOk) {
    Log("USB Connection Error !!!");
    return -1;
  }
  const std::uint8_t stage = reply[0];
  if (stage >= 3) {
    // The ISP core already runs: the image goes straight into its DRAM.
    if (StageFirmware(job) != kOk) return -1;
    platform_.steps.Post(kStepArrived);
    return 0;
  }
  if (stage == 0) {
    if (context_.controllerCode == kVexa2860) {
      platform_.console.SetStatusText(Format("[Param]: %s", job->ParamFile.c_str()));
      if (DownloadParam(job) != 0) return -1;
    }
    platform_.console.SetStatusText(Format("[Isp]: %s", job->IspFile.c_str()));
  } else {
    platform_.console.SetStatusText(Format("[Isp]: %s", job->IspFile.c_str()));
    job->CoreAddress = GetLe32(reply, 1);
  }
  if (DownloadCore(job) != 0) return -1;

  platform_.console.SetStatusText(Format("[Burn]: %s", job->FwFile.c_str()));
  if (WriteFirmware(job) != kOk) return -1;
  return arrivals_.WatchArrival() ? 0 : -1;
}

int BurnProcedure::DownloadFile(const std::string& path, std::uint32_t address) {
  const std::optional<std::string> unpinned;
  return DownloadImage(JobImage{"", path, unpinned}, address);
}

bool BurnProcedure::CheckJobImages(std::span<const JobImage> images) {
  for (const JobImage& image : images) {
    if (const SharedImage* shared = FindShared(image.path, 0)) {
      window_.imagesRead.insert_or_assign(std::string(image.fileKey), shared->digest);
      if (!CheckImageDigest(image, shared->digest, platform_.console)) return false;
      continue;
    }
    std::optional<FileDigest> hashed;
    const bool passed = CheckImageFile(image, platform_.console, hashed);
    // A file refused for its pin is told as it was found.
    if (hashed) window_.imagesRead.insert_or_assign(std::string(image.fileKey), *hashed);
    if (!passed) return false;
  }
  return true;
}

const SharedImage* BurnProcedure::FindShared(const std::string& path, std::uint64_t slack) const {
  if (!window_.sharedImages) return nullptr;
  for (const SharedImage& shared : *window_.sharedImages) {
    if (shared.path == path && shared.slack >= slack) return &shared;
  }
  return nullptr;
}

ImageRead BurnProcedure::ShareOrRead(const std::string& path, std::uint64_t slack, ImageBytes& bytes,
                                     std::uint64_t& size) {
  if (const SharedImage* shared = FindShared(path, slack)) {
    bytes = ImageBytes{shared->buffer, shared->digest};
    size = shared->digest.size;
    return ImageRead::kRead;
  }
  return ReadImageBytes(path, kMaxTransfer, slack, bytes, size);
}

int BurnProcedure::ReadForSending(const JobImage& image, std::uint64_t slack, ImageBytes& bytes,
                                  std::uint64_t& size) {
  const ImageRead read = ShareOrRead(image.path, slack, bytes, size);
  switch (read) {
    case ImageRead::kRead:
      break;
    case ImageRead::kCannotOpen:
      Log("Open file error...");
      return kFileError;
    case ImageRead::kNoMemory:
      Log(Format("Alloc Size(%llu) error...", static_cast<unsigned long long>(size)));
      return kNoBuffer;
    case ImageRead::kShortRead:
      Log("Read file error...");
      return kFileError;
  }
  if (!CheckImageDigest(image, bytes.digest, platform_.console)) return kFileError;
  // What the run's report tells: the bytes that go to the camera.
  if (!image.fileKey.empty()) {
    window_.imagesRead.insert_or_assign(std::string(image.fileKey), bytes.digest);
  }
  return kOk;
}

int BurnProcedure::DownloadImage(const JobImage& image, std::uint32_t address) {
  Log(Format("Download %s ...", std::string(FileNamePart(image.path)).c_str()));
  ImageBytes bytes;
  std::uint64_t size = 0;
  if (ReadForSending(image, 1024, bytes, size) != kOk) return -1;

  const auto length = static_cast<std::uint32_t>(size);
  Log(Format("  Begin ... 0x%x(0x%x)", address, length), true);
  const int status = commands_.WriteRegion(std::span(bytes.buffer.get(), length), address, length);
  bytes.buffer.reset();
  if (status != kOk) {
    Log("  Fail!");
    return -1;
  }
  Log("  OK!", true);
  platform_.clock.SleepMs(1000);
  return 0;
}

int BurnProcedure::DownloadParam(BurnJob* job) {
  if (job == nullptr) return -1;
  return DownloadImage(JobImages(*job)[0], job->ParamAddress);
}

int BurnProcedure::DownloadCore(BurnJob* job) {
  if (job == nullptr) return -1;
  return DownloadImage(JobImages(*job)[1], job->CoreAddress);
}

int BurnProcedure::WriteFirmware(BurnJob* job) { return SendFirmware(job, FirmwareHeader::kIspWrite); }

int BurnProcedure::StageFirmware(BurnJob* job) { return SendFirmware(job, FirmwareHeader::kStaging); }

int BurnProcedure::SendHeader(UsbPipes& pipes, const BurnJob& job, FirmwareHeader header,
                              std::uint32_t blocks) {
  const std::int32_t controller = context_.controllerCode;
  const std::uint32_t length = blocks * context_.transfer.BlockUnit;
  if (header == FirmwareHeader::kStaging) {
    if (controller != kVexa2860) return kOk;
    std::array<std::uint8_t, 8> data{};
    PutLe32(data, 0, job.DramAddress);
    PutLe32(data, 4, length);
    constexpr Command command = CommandTable::RamDownloadHeader;
    return ControlOut(pipes, command.bRequest, command.wValue, command.wIndex, command.wLength, data);
  }
  if (controller != kVexa2860 && controller != kVexa611 && controller != kVexa616 &&
      controller != kVexa618) {
    constexpr Command command = CommandTable::BlockCountRequest;
    return ControlNoData(pipes, command.bRequest, command.wValue,
                         static_cast<std::uint16_t>(blocks & 0xFFFFu));
  }
  std::uint32_t romField = job.RomAddress;
  if (controller == kVexa616) romField = context_.settings.NandReserveSize616;
  if (controller == kVexa618) romField = context_.settings.NandReserveSize618;
  std::array<std::uint8_t, 16> data{};
  PutLe32(data, 0, job.DramAddress);
  PutLe32(data, 4, romField);
  PutLe32(data, 8, job.SectorAddress);
  PutLe32(data, 12, blocks);
  constexpr Command command = CommandTable::IspWriteHeader;
  return ControlOut(pipes, command.bRequest, command.wValue, command.wIndex, command.wLength, data);
}

int BurnProcedure::SendFirmware(BurnJob* job, FirmwareHeader header) {
  if (job == nullptr) return -1;
  Log(Format("Download firmware %s ...", std::string(FileNamePart(job->FwFile)).c_str()));
  ImageBytes firmware;
  std::uint64_t size = 0;
  const int read = ReadForSending(JobImages(*job)[2], kFirmwareSlack, firmware, size);
  if (read != kOk) return read;
  Log("  Write File Prepare...", true);

  const std::uint32_t unit = context_.transfer.BlockUnit;
  const auto blocks = static_cast<std::uint32_t>((size + unit - 1) / unit);
  {
    std::unique_ptr<UsbPipes> pipes = link_.NewPipes();
    if (!pipes) {
      Log("ISP Fail!", true);
      return kNoBuffer;
    }
    constexpr Command busyQuery = CommandTable::BusyQuery;
    if (!IsAbsent(busyQuery)) {
      std::array<std::uint8_t, 1> busy{};
      const int status = ControlIn(*pipes, busyQuery.bRequest, busyQuery.wValue, busyQuery.wIndex,
                                   busyQuery.wLength, busy);
      if (status != kOk) {
        Log("ISP Fail!", true);
        return status;
      }
      if ((busy[0] & 1) != 0) {
        Log("ISP Busy!", true);
        return kCameraBusy;
      }
    }
    context_.legacyDramAddress = job->DramAddress;
    const int status = SendHeader(*pipes, *job, header, blocks);
    if (status != kOk) {
      Log("ISP Fail!", true);
      return status;
    }
  }
  Log("  Write File....", true);
  const std::uint32_t length = blocks * unit;
  const int status =
      link_.BulkWrite(length, context_.transfer.BulkChunk, std::span(firmware.buffer.get(), length));
  // Without it the log would end on "  Write File...." as if the write went on.
  if (status != kOk) Log("  Fail!");
  return status;
}

int BurnProcedure::FinishBurn(BurnJob* job) {
  if (job == nullptr) return -1;
  std::uint8_t present = 0;
  const int storage = commands_.QueryStorage(&present);
  if (storage != kOk) {
    Log("ISP Fail!");
    return storage;
  }
  if (present == 0) {
    Log("ISP Fail.  Storage not existed.");
    return -1;
  }
  {
    std::unique_ptr<UsbPipes> pipes = link_.NewPipes();
    if (!pipes) {
      Log("ISP Write File Fail.");
      return kRequestFailed;
    }
    std::array<std::uint8_t, 4> rom{};
    PutLe32(rom, 0, job->RomAddress);
    constexpr Command romAddress = CommandTable::RomAddressRequest;
    // A camera that did not take the ROM address would write the firmware
    // wherever its last address points: no storage write then.
    int status = ControlOut(*pipes, romAddress.bRequest, romAddress.wValue, romAddress.wIndex,
                            romAddress.wLength, rom);
    constexpr Command start = CommandTable::StartStorageWrite;
    if (status == kOk) status = ControlNoData(*pipes, start.bRequest, start.wValue, start.wIndex);
    if (status != kOk) {
      Log("ISP Write File Fail.");
      return status;
    }
  }
  // In range: every run refuses any other value before it begins.
  const int result = commands_.WaitWriteDone(5000, static_cast<std::uint32_t>(job->IspTimeoutSec));
  Log(result == kOk ? "ISP Write File OK !!!" : "ISP Write File Timeout !!!", true);
  return result;
}

}  // namespace bb

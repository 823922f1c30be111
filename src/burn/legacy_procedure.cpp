#include "burn/legacy_procedure.h"

#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <span>

#include "common/control_ids.h"
#include "burn/image_bytes.h"
#include "burn/image_check.h"
#include "burn/legacy_core.h"
#include "burn/legacy_image.h"
#include "config/optional_value.h"
#include "device/command_table.h"
#include "device/primitives.h"
#include "device/status_codes.h"
#include "util/byte_order.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

namespace {

// The core goes with its exact size, which counts in 32 bits; its buffer keeps
// 1 KiB of slack.
constexpr std::uint64_t kCoreSlack = 1024;
constexpr std::uint64_t kMaxCore = std::numeric_limits<std::uint32_t>::max();

bool IsLegacyController(std::int32_t controller) {
  return controller == kVexa611 || controller == kVexa616 || controller == kVexa618;
}

// The text of a pin key; nullopt without a key. Read when the image is sent,
// as the job's pins are, so an edit counts at once.
std::optional<std::string> ReadPin(ProfileReading& reading, std::string_view section,
                                   std::string_view key) {
  if (key.empty()) return std::nullopt;
  return ReadOptionalString(reading, section, key, kLongestProfileValue);
}

}  // namespace

LegacyProcedure::LegacyProcedure(Platform& platform, Context& context, DeviceLink& link,
                                 DeviceCommands& commands)
    : platform_(platform), context_(context), link_(link), commands_(commands) {}

void LegacyProcedure::Log(const std::string& line, bool repaint) {
  platform_.console.AddLogLine(line);
  if (repaint) platform_.console.RepaintNow();
}

void LegacyProcedure::LegacyDownload() {
  platform_.console.ClearLog();
  if (IsLegacyController(context_.controllerCode)) {
    context_.transfer = TransferSettings{256, 0x10000};
    if (!DownloadCore()) return;
  }

  if (platform_.controls.IsChecked(kSilentModeCheck) && context_.legacyFirmwareConfirmed) {
    platform_.console.RepaintNow();
    LegacyIspWrite(context_.legacyFirmwarePath);
    return;
  }
  // The choice becomes the confirmed image only after the question: a file the
  // operator declined must not be the one Silent Mode sends next.
  std::string chosen =
      context_.legacyFirmwareConfirmed ? context_.legacyFirmwarePath : std::string();
  if (!SelectBinFile(chosen, kMaxPath)) return;
  MessageBoxRequest question;
  question.text = Format("Are you sure to down the file to your camera?\nPath:%s", chosen.c_str());
  question.title = "Question";
  question.icon = BoxIcon::kQuestion;
  question.kind = BoxKind::kQuestion;
  question.buttons = BoxButtons::kYesNo;
  question.ownerless = true;
  if (platform_.prompts.ShowMessageBox(question) != BoxAnswer::kYes) return;

  platform_.console.RepaintNow();
  context_.legacyFirmwarePath = chosen;
  context_.legacyFirmwareConfirmed = true;
  platform_.console.SetStatusText(Format("F/W: %s", chosen.c_str()));
  LegacyIspWrite(context_.legacyFirmwarePath);
}

bool LegacyProcedure::DownloadCore() {
  const LegacyCore core =
      ChooseLegacyCore(context_.controllerCode, platform_.controls, context_.settings);
  if (core.dramAddress) context_.legacyDramAddress = *core.dramAddress;
  const char* name = core.fileName.c_str();
  Log(Format("Ready to download %s ...", name), true);

  const std::string path = context_.executableFolder + kPathSeparator + core.fileName;
  ImageBytes bytes;
  std::uint64_t size = 0;
  // A path cut to fit would open another file.
  const ImageRead read = path.size() < kMaxPath
                             ? ReadImageBytes(path, kMaxCore, kCoreSlack, bytes, size)
                             : ImageRead::kCannotOpen;
  switch (read) {
    case ImageRead::kRead:
      break;
    case ImageRead::kCannotOpen:
      Log(Format("Open \"%s\" error...", name));
      return false;
    case ImageRead::kNoMemory:
      Log("Alloc Size error...");
      return false;
    case ImageRead::kShortRead:
      Log("Read file error...");
      return false;
  }
  const std::unique_ptr<ProfileReading> reading = platform_.profile.Read(context_.configPath);
  const std::optional<std::string> pin = ReadPin(*reading, core.pinSection, core.pinKey);
  if (!ReadWhole(*reading, context_.configPath, platform_.console)) return false;
  if (!CheckImageDigest(JobImage{core.pinKey, path, pin}, bytes.digest, platform_.console)) {
    return false;
  }

  Log(Format("Begin to download %s ...", name), true);
  const auto length = static_cast<std::uint32_t>(size);
  const int status = commands_.WriteRegion(std::span(bytes.buffer.get(), length), core.address, length);
  bytes.buffer.reset();
  if (status != kOk) {
    Log(Format("Download %s Fail!", name));
    return false;
  }
  Log(Format("Download %s OK!", name), true);
  platform_.clock.SleepMs(1000);
  return true;
}

int LegacyProcedure::LegacyIspWrite(const std::string& firmwarePath) {
  const LegacyPinKey pinKey = LegacyFirmwarePinKey(context_.controllerCode);
  // The bad-pixel table's pin goes with the firmware's: the two make one image.
  const std::unique_ptr<ProfileReading> reading = platform_.profile.Read(context_.configPath);
  const std::optional<std::string> pin = ReadPin(*reading, pinKey.section, pinKey.key);
  const std::optional<std::string> tablePin = ReadPin(*reading, "BadPixel", kBadPixelPinKey);
  if (!ReadWhole(*reading, context_.configPath, platform_.console)) return kFileError;
  LegacyImage image;
  const int prepared = PrepareLegacyImage(
      JobImage{pinKey.key, firmwarePath, pin},
      JobImage{kBadPixelPinKey, context_.settings.BadpixelFile, tablePin}, context_.settings,
      context_.transfer.BlockUnit, platform_.console, image);
  if (prepared != kOk) return prepared;
  Log("ISP Write File Prepare...", true);
  // Without it the log would end on a line that says the write is under way.
  auto failed = [this](int status) {
    Log("  Fail!", true);
    return status;
  };

  {
    std::unique_ptr<UsbPipes> pipes = link_.NewPipes();
    if (!pipes) return failed(kNoBuffer);
    constexpr Command busyQuery = CommandTable::BusyQuery;
    if (!IsAbsent(busyQuery)) {
      std::array<std::uint8_t, 1> busy{};
      const int status = ControlIn(*pipes, busyQuery.bRequest, busyQuery.wValue, busyQuery.wIndex,
                                   busyQuery.wLength, busy);
      if (status != kOk) return failed(status);
      if ((busy[0] & 1) != 0) return failed(kCameraBusy);
    }
    if (SendHeader(*pipes, image.blocks) != kOk) {
      image.bytes.reset();
      Log("ISP Fail!", true);
      return kProcedureFailed;
    }
  }

  platform_.clock.SleepMs(4000);
  Log("ISP Write File....", true);
  const int status = link_.BulkWrite(image.length, context_.transfer.BulkChunk,
                                     std::span(image.bytes.get(), image.length));
  image.bytes.reset();
  if (status != kOk) return failed(status);
  platform_.console.ClearLog();
  Log("ISP Write File OK.", true);
  return kOk;
}

int LegacyProcedure::SendHeader(UsbPipes& pipes, std::uint32_t blocks) {
  const std::int32_t controller = context_.controllerCode;
  if (!IsLegacyController(controller)) {
    constexpr Command command = CommandTable::BlockCountRequest;
    return ControlNoData(pipes, command.bRequest, command.wValue,
                         static_cast<std::uint16_t>(blocks & 0xFFFFu));
  }
  std::uint32_t romField = 0;
  if (controller == kVexa616) romField = context_.settings.NandReserveSize616;
  if (controller == kVexa618) romField = context_.settings.NandReserveSize618;
  std::array<std::uint8_t, 16> data{};
  PutLe32(data, 0, context_.legacyDramAddress);
  PutLe32(data, 4, romField);
  // The sector address stays 0.
  PutLe32(data, 12, blocks);
  constexpr Command command = CommandTable::IspWriteHeader;
  return ControlOut(pipes, command.bRequest, command.wValue, command.wIndex, command.wLength, data);
}

bool LegacyProcedure::SelectBinFile(std::string& path, std::size_t capacity) {
  if (capacity == 0) return false;
  OpenFileRequest request;
  request.title = "Select BIN File";
  request.filterDescription = "Bin File";
  request.filterPattern = "*.bin";
  request.initialPath = path;
  const std::size_t cut = path.find_last_of("\\/");
  request.initialFolder = cut == std::string::npos ? path : path.substr(0, cut + 1);
  const std::optional<std::string> chosen = platform_.prompts.ChooseOpenFile(request);
  // A path cut to fit would name another file.
  if (!chosen || chosen->size() >= capacity) return false;
  path = *chosen;
  return true;
}

}  // namespace bb

#include "readback/read_back.h"

#include <array>
#include <memory>

#include "common/job_images.h"
#include "common/steps.h"
#include "burn/image_files.h"
#include "burn/job_config.h"
#include "device/command_table.h"
#include "device/status_codes.h"
#include "device/usb_pipes.h"
#include "platform/native_file.h"
#include "util/binary_file.h"
#include "util/byte_order.h"
#include "util/format.h"
#include "util/paths.h"
#include "util/sha256.h"

namespace bb {

namespace {

constexpr std::uint32_t kPieceWatchdogMs = 5000;
// The largest storage a VEXA2860 camera holds. The camera announces the size
// of what it sends; a larger one is no image of its storage.
constexpr std::uint32_t kLargestStorage = std::uint32_t{1} << 30;

}  // namespace

ReadBack::ReadBack(Platform& platform, Context& context, WindowState& window, DeviceLink& link,
                   DeviceCommands& commands, BurnProcedure& burn, ArrivalWatcher& arrivals)
    : platform_(platform),
      context_(context),
      window_(window),
      link_(link),
      commands_(commands),
      burn_(burn),
      arrivals_(arrivals) {}

void ReadBack::Log(const std::string& line, bool repaint) {
  platform_.console.AddLogLine(line);
  if (repaint) platform_.console.RepaintNow();
}

int ReadBack::StartReadBack() {
  BurnJob& job = window_.job;
  if (!CheckIspTimeout(job, platform_.console)) return kProcedureFailed;
  // The parameter file and the ISP core may both be downloaded, whatever the
  // stage: nothing goes to the camera before both have passed.
  const std::array<JobImage, 3> images = JobImages(job);
  if (!burn_.CheckJobImages(std::span(images).first(2))) return kProcedureFailed;
  std::array<std::uint8_t, 5> reply{};
  constexpr Command stageQuery = CommandTable::StageQuery;
  if (link_.VendorIn(stageQuery.bRequest, stageQuery.wValue, stageQuery.wIndex, stageQuery.wLength,
                     reply) != kOk) {
    Log("USB Connection Error !!!");
    return kProcedureFailed;
  }
  const std::uint8_t stage = reply[0];
  if (stage >= 3) {
    platform_.steps.Post(kStepArrived);
    return kOk;
  }
  if (stage == 0) {
    platform_.console.SetStatusText(Format("[Param]: %s", job.ParamFile.c_str()));
    if (burn_.DownloadParam(&job) != 0) return kProcedureFailed;
  }
  platform_.console.SetStatusText(Format("[Isp]: %s", job.IspFile.c_str()));
  if (stage != 0) job.CoreAddress = GetLe32(reply, 1);
  if (burn_.DownloadCore(&job) != 0) return kProcedureFailed;

  const std::uint16_t unit = context_.transfer.BlockUnit;
  std::unique_ptr<std::uint8_t[]> zeros = AllocateZeroed(std::uint64_t{unit} + 0x10000);
  if (!zeros) {
    Log("ISP Fail!");
    return kNoBuffer;
  }
  context_.legacyDramAddress = job.DramAddress;
  std::array<std::uint8_t, 16> header{};
  PutLe32(header, 0, job.DramAddress);
  PutLe32(header, 4, job.RomAddress);
  PutLe32(header, 8, job.SectorAddress);
  PutLe32(header, 12, 1);
  constexpr Command ispWrite = CommandTable::IspWriteHeader;
  int status =
      link_.VendorOut(ispWrite.bRequest, ispWrite.wValue, ispWrite.wIndex, ispWrite.wLength, header);
  if (status == kOk) {
    status = link_.BulkWrite(unit, context_.transfer.BulkChunk, std::span(zeros.get(), unit));
  }
  if (status != kOk) {
    // Otherwise the run would end on the core's "  OK!" as if all went well.
    Log("ISP Fail!");
    return status;
  }
  return arrivals_.WatchArrival() ? kOk : kFailed;
}

int ReadBack::ReadResource(const std::string& fileName, ReadPurpose purpose) {
  Log(Format("Read resource %s ...", std::string(FileNamePart(fileName)).c_str()), true);
  const Command select = CommandTable::ReadSelectRequest;
  const std::uint16_t selectValue = purpose == ReadPurpose::kExport ? 1 : 0;
  int status = link_.VendorNoData(select.bRequest, selectValue, select.wIndex);
  if (status != kOk) return status;
  // In range: every run refuses any other value before it begins.
  status = commands_.WaitWriteDone(1000, static_cast<std::uint32_t>(window_.job.IspTimeoutSec));
  if (status != kOk) {
    Log("ISP Read File Fail.  Wait timeout");
    return status;
  }
  std::array<std::uint8_t, 8> info{};
  constexpr Command readInfo = CommandTable::ReadInfoRequest;
  status = link_.VendorIn(readInfo.bRequest, readInfo.wValue, readInfo.wIndex, readInfo.wLength, info);
  if (status != kOk) return status;
  const std::uint32_t size = GetLe32(info, 0);
  const std::uint32_t address = GetLe32(info, 4);
  Log(Format("  Begin ... 0x%x(0x%x)", address, size), true);

  if (size > kLargestStorage) {
    Log(Format("  Image size 0x%x is more than a camera's storage can hold (0x%x) !!!", size,
               kLargestStorage));
    Log("  Fail!");
    return kFailed;
  }

  // Never through a link: the folder may hold one that leads elsewhere.
  std::optional<NativeFile> file = NativeFile::Create(fileName);
  if (!file) return kFileError;
  if (size == 0) {
    window_.readBack = FileDigest{Sha256().Finish(), 0};
    Log("  OK!");
    return kOk;
  }
  // One piece at a time, written as it arrives: memory stays at one piece
  // whatever size the camera announces.
  const std::uint32_t pieceSize = std::min(size, context_.transfer.BulkChunk);
  std::unique_ptr<std::uint8_t[]> piece = AllocateZeroed(pieceSize);
  if (!piece) {
    Log(Format("Alloc Size(%u) error...", pieceSize));
    return kNoBuffer;
  }
  Sha256 hash;
  status = ReadPieces(size, address, std::span(piece.get(), pieceSize),
                      [&file, &hash](std::span<const std::uint8_t> arrived) {
                        hash.Update(arrived);
                        return file->Write(arrived);
                      });
  // A read or a disk that fails part-way must not leave a short image that
  // looks complete.
  if (status != kOk) file->Truncate();
  if (!file->Close() && status == kOk) status = kFileError;
  if (status == kOk) window_.readBack = FileDigest{hash.Finish(), size};
  Log(status == kOk ? "  OK!" : "  Fail!");
  return status;
}

int ReadBack::ReadDeviceData(std::uint32_t size, std::uint32_t address,
                             std::span<std::uint8_t> buffer) {
  if (buffer.size() < size) return kFailed;
  return ReadPieces(size, address, buffer.first(size), nullptr);
}

int ReadBack::ReadPieces(std::uint32_t size, std::uint32_t address, std::span<std::uint8_t> buffer,
                         const PieceSink& sink) {
  if (buffer.empty() || size == 0) return kFailed;
  const std::uint32_t chunk = context_.transfer.BulkChunk;
  if (chunk == 0) return kFailed;
  // With a sink the buffer is one piece, used again for each.
  const bool reused = static_cast<bool>(sink);
  if (buffer.size() < (reused ? std::min(size, chunk) : size)) return kFailed;
  std::array<std::uint8_t, 8> request{};
  PutLe32(request, 0, address);
  PutLe32(request, 4, size);
  constexpr Command read = CommandTable::ReadRequest;
  int status = link_.VendorOut(read.bRequest, read.wValue, read.wIndex, read.wLength, request);
  if (status != kOk) return status;

  std::unique_ptr<UsbPipes> pipes = link_.NewPipes();
  if (!pipes) return kNoPipe;
  const DeviceTransport::Handle pipe = pipes->OpenPipe(UsbPipes::kRequestSlot);
  if (pipe == DeviceTransport::kInvalidHandle) return kNoPipe;
  DeviceTransport& transport = link_.Transport();
  for (std::uint32_t offset = 0; offset < size;) {
    const std::uint32_t piece = std::min(size - offset, chunk);
    const std::span<std::uint8_t> into = reused ? buffer.first(piece) : buffer.subspan(offset, piece);
    std::uint32_t done = 0;
    link_.ArmWatchdog(kPieceWatchdogMs, kReadTimeout, pipe);
    const bool ok = transport.Read(pipe, into, done);
    link_.DisarmWatchdog();
    if (!ok || done < piece) {
      transport.Close(pipe);
      return ok ? kShortTransfer : kReadFailed;
    }
    if (reused && !sink(into)) {
      transport.Close(pipe);
      return kFileError;
    }
    offset += piece;
  }
  transport.Close(pipe);
  return kOk;
}

}  // namespace bb

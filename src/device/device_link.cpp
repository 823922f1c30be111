#include "device/device_link.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <new>

#include "device/camera_survey.h"
#include "device/isp_message_box.h"
#include "device/primitives.h"
#include "device/status_codes.h"
#include "device/usb_pipes.h"

namespace bb {

int CommandFilter(std::uint8_t bRequest, std::uint16_t wValue) {
  // 0xFF marks a command that this camera does not have.
  if (bRequest == 0xFF) return kOk;
  // The three 0x44 commands count as done and are never sent.
  if (bRequest == 0x44) return wValue <= 2 ? kOk : kRefused;
  return kSend;
}

DeviceLink::DeviceLink(DeviceTransport& transport, Clock& clock, TimerService& timers,
                       Prompts& prompts)
    : transport_(transport),
      clock_(clock),
      prompts_(prompts),
      watchdog_(timers, transport, [this](int code) { IspMessageBox(code, ""); }) {}

namespace {

template <typename Primitive>
int ThroughFilter(DeviceLink& link, std::uint8_t bRequest, std::uint16_t wValue,
                  Primitive primitive) {
  const int verdict = CommandFilter(bRequest, wValue);
  if (verdict != kSend) return verdict;
  std::unique_ptr<UsbPipes> pipes = link.NewPipes();
  if (!pipes) return kRequestFailed;
  return primitive(*pipes) == kOk ? kOk : kRequestFailed;
}

}  // namespace

int DeviceLink::VendorIn(std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex,
                         std::uint16_t wLength, std::span<std::uint8_t> buffer) {
  return ThroughFilter(*this, bRequest, wValue, [&](UsbPipes& pipes) {
    return ControlIn(pipes, bRequest, wValue, wIndex, wLength, buffer);
  });
}

int DeviceLink::VendorOut(std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex,
                          std::uint16_t wLength, std::span<const std::uint8_t> buffer) {
  return ThroughFilter(*this, bRequest, wValue, [&](UsbPipes& pipes) {
    return ControlOut(pipes, bRequest, wValue, wIndex, wLength, buffer);
  });
}

int DeviceLink::VendorNoData(std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex) {
  return ThroughFilter(*this, bRequest, wValue, [&](UsbPipes& pipes) {
    return ControlNoData(pipes, bRequest, wValue, wIndex);
  });
}

int DeviceLink::BulkWrite(std::uint32_t total, std::uint32_t chunk,
                          std::span<const std::uint8_t> source) {
  if (chunk == 0 || chunk > kMaxChunk || source.size() < total) return kFailed;

  std::unique_ptr<UsbPipes> pipes = NewPipes();
  if (!pipes) return kNoBuffer;
  const DeviceTransport::Handle pipe = pipes->OpenPipe(UsbPipes::kBulkOutSlot);
  if (pipe == DeviceTransport::kInvalidHandle) return kNoPipe;
  struct PipeCloser {
    DeviceTransport& transport;
    DeviceTransport::Handle handle;
    ~PipeCloser() { transport.Close(handle); }
  } closer{transport_, pipe};

  std::unique_ptr<std::uint8_t[]> staging(new (std::nothrow) std::uint8_t[kMaxChunk]());
  if (!staging) return kNoBuffer;
  const std::span<std::uint8_t> stage(staging.get(), kMaxChunk);

  auto writePiece = [&](std::uint64_t offset, std::uint32_t size) {
    std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(offset), size, stage.begin());
    std::uint32_t done = 0;
    if (!transport_.Write(pipe, stage.first(size), done)) return kWriteFailed;
    return done < size ? kShortTransfer : kOk;
  };

  const std::uint32_t fullChunks = total / chunk;
  const std::uint32_t remainder = total % chunk;
  for (std::uint32_t i = 0; i < fullChunks; ++i) {
    const int status = writePiece(static_cast<std::uint64_t>(i) * chunk, chunk);
    if (status != kOk) return status;
    // The camera needs time to set up after the first chunk.
    clock_.SleepMs(i == 0 ? 500 : 1);
  }
  if (remainder != 0) {
    return writePiece(static_cast<std::uint64_t>(fullChunks) * chunk, remainder);
  }
  return kOk;
}

bool DeviceLink::IsBoundCamera(const std::string& interfacePath) {
  const std::string* bound = binding_.Location();
  if (bound == nullptr) return true;
  const auto samePath = [&](const std::string& path) {
    return std::equal(path.begin(), path.end(), interfacePath.begin(), interfacePath.end(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                  std::tolower(static_cast<unsigned char>(b)); });
  };
  for (const AttachedCamera& camera : ListCameras(transport_)) {
    if (camera.location == *bound && (interfacePath.empty() || samePath(camera.path))) return true;
  }
  return false;
}

int DeviceLink::IspMessageBox(int code, std::string_view text) {
  return bb::IspMessageBox(prompts_, code, text);
}

}  // namespace bb

#include "device/primitives.h"

#include "device/request_block.h"
#include "device/status_codes.h"

namespace bb {

namespace {

int Issue(UsbPipes& pipes, const RequestBlock& block, std::uint32_t ioctl) {
  DeviceTransport& transport = pipes.Transport();
  const DeviceTransport::Handle pipe = pipes.OpenPipe(UsbPipes::kRequestSlot);
  if (pipe == DeviceTransport::kInvalidHandle) return kNoPipe;
  auto bytes = block.Encode();
  const bool ok = transport.IoControl(pipe, ioctl, bytes);
  transport.Close(pipe);
  return ok ? kOk : kRequestFailed;
}

}  // namespace

namespace {

int WithDataStage(UsbPipes& pipes, std::uint8_t bRequest, std::uint16_t wValue,
                  std::uint16_t wIndex, std::uint16_t wLength, const void* data,
                  std::uint8_t direction) {
  const std::uint32_t lengthCell = wLength;
  RequestBlock block;
  block.bRequest = bRequest;
  block.wValue = wValue;
  block.wIndex = wIndex;
  block.dataAddress = data;
  block.lengthAddress = &lengthCell;
  block.direction = direction;
  return Issue(pipes, block, kIoctlVendorRequest);
}

}  // namespace

int ControlIn(UsbPipes& pipes, std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex,
              std::uint16_t wLength, std::span<std::uint8_t> buffer) {
  if (buffer.size() < wLength) return kRequestFailed;
  return WithDataStage(pipes, bRequest, wValue, wIndex, wLength, buffer.data(),
                       RequestBlock::kDeviceToHost);
}

int ControlOut(UsbPipes& pipes, std::uint8_t bRequest, std::uint16_t wValue, std::uint16_t wIndex,
               std::uint16_t wLength, std::span<const std::uint8_t> buffer) {
  if (buffer.size() < wLength) return kRequestFailed;
  return WithDataStage(pipes, bRequest, wValue, wIndex, wLength, buffer.data(),
                       RequestBlock::kHostToDevice);
}

int ControlNoData(UsbPipes& pipes, std::uint8_t bRequest, std::uint16_t wValue,
                  std::uint16_t wIndex) {
  // The driver expects a data address even without a data stage; it gets a copy
  // of wValue and a length of 0.
  const std::uint16_t valueCell = wValue;
  const std::uint32_t lengthCell = 0;
  RequestBlock block;
  block.bRequest = bRequest;
  block.wValue = wValue;
  block.wIndex = wIndex;
  block.dataAddress = &valueCell;
  block.lengthAddress = &lengthCell;
  block.direction = RequestBlock::kHostToDevice;
  return Issue(pipes, block, bRequest == 9 ? kIoctlRequestNine : kIoctlVendorRequest);
}

}  // namespace bb

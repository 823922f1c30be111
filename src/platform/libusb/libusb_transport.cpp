#include "platform/libusb/libusb_transport.h"

#include <libusb.h>

#include <climits>
#include <utility>

#include "platform/libusb/driver_request.h"
#include "platform/libusb/usb_serial.h"

namespace bb {

namespace {

constexpr char kPipeSeparator = '\\';

void MarkCompleted(libusb_transfer* transfer) {
  *static_cast<int*>(transfer->user_data) = 1;
}

unsigned TimeoutMs(std::chrono::milliseconds timeout) { return static_cast<unsigned>(timeout.count()); }

}  // namespace

LibusbTransport::LibusbTransport(UsbContext& context, std::vector<UsbId> ids)
    : context_(context), ids_(std::move(ids)) {}

LibusbTransport::~LibusbTransport() = default;

DeviceTransport::SetHandle LibusbTransport::OpenInterfaceSet(const Guid& interfaceClass) {
  if (context_.Get() == nullptr) {
    if (usbUnavailable_) std::exchange(usbUnavailable_, nullptr)(context_.Failure());
    return kNoSet;
  }
  if (interfaceClass != CameraInterfaceClass) return kNoSet;
  const SetHandle set = nextSet_++;
  sets_.emplace(set, UsbCameraList(context_.Get(), ids_));
  return set;
}

const UsbCameraEntry* LibusbTransport::EntryAt(SetHandle set, std::uint32_t index) const {
  const auto found = sets_.find(set);
  if (found == sets_.end() || index >= found->second.Entries().size()) return nullptr;
  return &found->second.Entries()[index];
}

DeviceTransport::EnumResult LibusbTransport::EnumerateInterface(SetHandle set, std::uint32_t index) {
  return EntryAt(set, index) != nullptr ? EnumResult::kFound : EnumResult::kNoMoreItems;
}

bool LibusbTransport::ReadInterfacePath(SetHandle set, std::uint32_t index, std::string& path) {
  const UsbCameraEntry* entry = EntryAt(set, index);
  if (entry == nullptr) return false;
  path = entry->path;
  return true;
}

bool LibusbTransport::ReadInterfaceLocation(SetHandle set, std::uint32_t index, std::string& location) {
  const UsbCameraEntry* entry = EntryAt(set, index);
  if (entry == nullptr || entry->location.empty()) return false;
  location = entry->location;
  return true;
}

bool LibusbTransport::ReadInterfaceSerial(SetHandle set, std::uint32_t index, std::string& serial) {
  const UsbCameraEntry* entry = EntryAt(set, index);
  if (entry == nullptr) return false;
  std::optional<std::string> found;
  if (held_ && heldPath_ == entry->path) {
    found = ReadUsbSerial(held_->Get());
  } else {
    // Reading a string needs the device open, not its interface claimed: a
    // camera another program holds tells its serial too.
    libusb_device_handle* device = nullptr;
    if (libusb_open(entry->device, &device) != LIBUSB_SUCCESS) return false;
    found = ReadUsbSerial(device);
    libusb_close(device);
  }
  if (!found) return false;
  serial = std::move(*found);
  return true;
}

void LibusbTransport::CloseInterfaceSet(SetHandle set) { sets_.erase(set); }

DeviceTransport::Handle LibusbTransport::Open(const std::string& path) {
  std::string interfacePath = path;
  Pipe pipe = Pipe::kInterface;
  const std::size_t cut = path.rfind(kPipeSeparator);
  if (cut != std::string::npos) {
    const std::string name = path.substr(cut + 1);
    if (name == "PIPE00") {
      pipe = Pipe::kRequestsAndBulkIn;
    } else if (name == "PIPE01") {
      pipe = Pipe::kBulkOut;
    } else {
      return kInvalidHandle;
    }
    interfacePath.resize(cut);
  }
  if (!Hold(interfacePath)) return kInvalidHandle;
  const Handle handle = nextHandle_++;
  cameras_.emplace(handle, OpenCamera{held_, pipe});
  return handle;
}

bool LibusbTransport::Hold(const std::string& interfacePath) {
  if (held_ && heldPath_ == interfacePath) return true;
  // A camera at another path is another camera, or this one gone from its old
  // address: either way the claim on it is over. Pipes still open keep it
  // until they close.
  held_.reset();
  heldPath_.clear();
  const UsbCameraList cameras(context_.Get(), ids_);
  const UsbCameraEntry* entry = cameras.Find(interfacePath);
  if (entry == nullptr) return false;
  UsbOpenFailure failure = UsbOpenFailure::kNone;
  std::unique_ptr<UsbCameraHandle> camera = UsbCameraHandle::Open(entry->device, failure);
  if (!camera) {
    if (failure == UsbOpenFailure::kAccessDenied && accessDenied_ && deniedPaths_.insert(interfacePath).second) {
      accessDenied_(interfacePath);
    }
    if (failure == UsbOpenFailure::kClaimedElsewhere && heldElsewhere_ && heldPaths_.insert(interfacePath).second) {
      heldElsewhere_(interfacePath, entry->location);
    }
    return false;
  }
  held_ = std::move(camera);
  heldPath_ = interfacePath;
  return true;
}

LibusbTransport::OpenCamera* LibusbTransport::Find(Handle handle, Pipe pipe) {
  const auto found = cameras_.find(handle);
  if (found == cameras_.end() || found->second.pipe != pipe) return nullptr;
  return &found->second;
}

bool LibusbTransport::IoControl(Handle handle, std::uint32_t code, std::span<std::uint8_t> block) {
  OpenCamera* open = Find(handle, Pipe::kRequestsAndBulkIn);
  if (open == nullptr) return false;
  if (code != kDriverIoctlRequest && code != kDriverIoctlRequestNine) return false;
  const std::optional<DriverRequest> request = DecodeDriverRequest(block);
  if (!request) return false;
  const int moved = libusb_control_transfer(open->camera->Get(), request->requestType, request->bRequest,
                                            request->wValue, request->wIndex, request->data,
                                            request->wLength, TimeoutMs(kControlTimeout));
  // The tool reads all wLength bytes of an answer; a shorter one would leave
  // it reading bytes the camera never sent.
  return moved == request->wLength;
}

bool LibusbTransport::Read(Handle handle, std::span<std::uint8_t> buffer, std::uint32_t& done) {
  done = 0;
  const OpenCamera* open = Find(handle, Pipe::kRequestsAndBulkIn);
  if (open == nullptr) return false;
  return Bulk(handle, open->camera->Get(), open->camera->BulkIn(), buffer.data(), buffer.size(), done);
}

bool LibusbTransport::Write(Handle handle, std::span<const std::uint8_t> data, std::uint32_t& done) {
  done = 0;
  const OpenCamera* open = Find(handle, Pipe::kBulkOut);
  if (open == nullptr) return false;
  // libusb only reads the buffer of an outgoing transfer.
  return Bulk(handle, open->camera->Get(), open->camera->BulkOut(), const_cast<std::uint8_t*>(data.data()),
              data.size(), done);
}

bool LibusbTransport::Bulk(Handle handle, libusb_device_handle* device, std::uint8_t endpoint,
                           std::uint8_t* data, std::size_t length, std::uint32_t& done) {
  if (length > INT_MAX) return false;
  libusb_transfer* transfer = libusb_alloc_transfer(0);
  if (transfer == nullptr) return false;
  int completed = 0;
  libusb_fill_bulk_transfer(transfer, device, endpoint, data,
                            static_cast<int>(length), &MarkCompleted, &completed, TimeoutMs(kBulkTimeout));
  {
    // Submitting under the lock means a cancel either comes before the
    // transfer is pending (and is nothing to do) or reaches it.
    const std::lock_guard<std::mutex> lock(pendingMutex_);
    if (libusb_submit_transfer(transfer) != LIBUSB_SUCCESS) {
      libusb_free_transfer(transfer);
      return false;
    }
    pendingHandle_ = handle;
    pendingTransfer_ = transfer;
  }
  while (completed == 0) {
    const int result = libusb_handle_events_completed(context_.Get(), &completed);
    // Events that cannot be handled would leave the transfer pending for
    // ever; cancelled, it completes at the next round.
    if (result < 0 && result != LIBUSB_ERROR_INTERRUPTED) libusb_cancel_transfer(transfer);
  }
  {
    const std::lock_guard<std::mutex> lock(pendingMutex_);
    pendingHandle_ = kInvalidHandle;
    pendingTransfer_ = nullptr;
  }
  const bool ok = transfer->status == LIBUSB_TRANSFER_COMPLETED;
  done = static_cast<std::uint32_t>(transfer->actual_length);
  libusb_free_transfer(transfer);
  return ok;
}

void LibusbTransport::CancelPending(Handle handle) {
  const std::lock_guard<std::mutex> lock(pendingMutex_);
  if (handle != kInvalidHandle && handle == pendingHandle_) libusb_cancel_transfer(pendingTransfer_);
}

void LibusbTransport::Close(Handle handle) { cameras_.erase(handle); }

}  // namespace bb

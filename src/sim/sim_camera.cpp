#include "sim/sim_camera.h"

#include <algorithm>

#include "sim/sim_command_set.h"
#include "sim/sim_raw_image.h"
#include "util/byte_order.h"

namespace bb::sim {

namespace {

void Answer(std::vector<std::uint8_t>& answer, std::span<const std::uint8_t> bytes,
            std::uint16_t wLength) {
  answer.assign(wLength, 0);
  std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), wLength), answer.begin());
}

}  // namespace

bool SimCamera::HandleRequest(const SimRequest& request, std::vector<std::uint8_t>& answer) {
  if (const std::optional<std::string> refusal = JudgeRequest(request)) {
    refusals.push_back(*refusal);
    return false;
  }
  switch (request.bRequest) {
    case 0x20: {  // versions
      if (request.wValue == 0 && request.wIndex >= 1 && request.wIndex <= 4) {
        const std::uint8_t byte = apVersionBytes[request.wIndex - 1u];
        Answer(answer, std::span(&byte, 1), request.wLength);
        return true;
      }
      if (request.wIndex != 0) return false;
      if (request.wValue == 0) Answer(answer, apVersion, request.wLength);
      else if (request.wValue == 1) Answer(answer, ispVersion, request.wLength);
      else if (request.wValue == 2) Answer(answer, customerVersion, request.wLength);
      else return false;
      return true;
    }
    case 0x21: {  // busy and write status
      if (request.wValue == 0) {
        const std::uint8_t byte = busy ? 1 : 0;
        Answer(answer, std::span(&byte, 1), request.wLength);
        return true;
      }
      if (request.wValue == 4) {
        std::uint8_t status = writeStatusIdle;
        if (!writeStatusSequence.empty()) {
          status = writeStatusSequence.front();
          writeStatusSequence.pop_front();
        } else if (runningPolls_ > 0) {
          --runningPolls_;
          status = 0;
        } else if (writeResult_) {
          status = *writeResult_;
          writeResult_.reset();
        }
        const std::array<std::uint8_t, 2> reply{status, storagePresent ? std::uint8_t{1} : std::uint8_t{0}};
        Answer(answer, reply, request.wLength);
        return true;
      }
      return false;
    }
    case 0x70: {  // stage
      if (legacy) return false;
      std::array<std::uint8_t, 5> reply{stage};
      PutLe32(reply, 1, reportedCoreAddress);
      Answer(answer, reply, request.wLength);
      return true;
    }
    case 0xFD: {
      if (request.wValue == 0x04F3 && request.data.size() >= 8) {
        StartDownload(GetLe32(request.data, 0), GetLe32(request.data, 4), false);
        return true;
      }
      if (request.wValue == 0x04F2 && request.data.size() >= 8) {
        const ReadRequest read{GetLe32(request.data, 0), GetLe32(request.data, 4)};
        readRequests.push_back(read);
        bulkIn.clear();
        const std::uint64_t start = std::uint64_t{read.address} - imageDeviceAddress;
        const std::uint64_t imageSize = bulkSource ? bulkSource->size : image_.size();
        if (read.address < imageDeviceAddress || start + read.size > imageSize) return false;
        if (bulkSource) {
          sourceAt_ = start;
          sourceEnd_ = start + read.size;
          return true;
        }
        bulkIn.assign(image_.begin() + static_cast<std::ptrdiff_t>(start),
                      image_.begin() + static_cast<std::ptrdiff_t>(start + read.size));
        return true;
      }
      if (request.wValue == 0x04F1 && request.data.size() >= 16) {
        const IspWriteHeader header{GetLe32(request.data, 0), GetLe32(request.data, 4),
                                    GetLe32(request.data, 8), GetLe32(request.data, 12)};
        ispWriteHeaders.push_back(header);
        // Only the VEXA2860 restarts after its firmware.
        StartDownload(header.dramAddress, header.blocks * kBlockUnit, !legacy);
        return true;
      }
      return false;
    }
    case 0x10:  // block count, for controllers without a header
      blockCountRequests.push_back(request.wIndex);
      return true;
    case 0x11:
      if (!storagePresent) return false;
      StartStorageWrite();
      return true;
    case 0x71:
      if (request.data.size() < 4) return false;
      romAddress = GetLe32(request.data, 0);
      return true;
    case 0x34:
      ++powerDowns;
      return true;
    case 0x33:
      readSelects.push_back(request.wValue);
      PrepareImage();
      return true;
    case 0x79: {
      std::array<std::uint8_t, 8> reply{};
      PutLe32(reply, 0, bulkSource ? bulkSource->size : static_cast<std::uint32_t>(image_.size()));
      PutLe32(reply, 4, imageDeviceAddress);
      Answer(answer, reply, request.wLength);
      return true;
    }
    default:
      return false;
  }
}

void SimCamera::StartDownload(std::uint32_t address, std::uint32_t length, bool firmware) {
  pending_ = PendingDownload{address, length, firmware};
  ram[address].clear();
  if (length == 0) {
    lastImage_.clear();
    restartPending_ = restartPending_ || firmware;
  }
}

// Storage holds whole blocks; the camera knows where its image ends by the
// image's own directory.
std::span<const std::uint8_t> SimCamera::WithoutBlockPadding(std::span<const std::uint8_t> stored) {
  constexpr std::size_t kHeader = 32;
  if (stored.size() < kHeader || GetBe32(stored, 12) != 0) return stored;
  const std::uint64_t entries = std::uint64_t{1} + GetBe32(stored, 16) + GetBe32(stored, 20);
  const std::uint64_t last = kHeader + (entries - 1) * 10;
  if (last + 10 > stored.size()) return stored;
  const auto at = static_cast<std::size_t>(last);  // within `stored`, checked above
  const std::uint64_t end = std::uint64_t{GetBe32(stored, at + 2)} + GetBe32(stored, at + 6) + 2;
  return end <= stored.size() ? stored.first(static_cast<std::size_t>(end)) : stored;
}

void SimCamera::PrepareImage() {
  if (bulkSource) {
    image_.clear();
  } else if (servedImage) {
    image_ = *servedImage;
  } else {
    // A camera without storage has no image to give.
    const auto found = storagePresent ? storage.find(romAddress) : storage.end();
    const std::vector<std::uint8_t> nothing;
    const std::vector<std::uint8_t>& stored = found == storage.end() ? nothing : found->second;
    std::optional<std::vector<std::uint8_t>> raw;
    if (!serveBareImage) raw = RawImageFromBrn(WithoutBlockPadding(stored));
    image_ = raw ? *raw : EncodeBareRawImage(stored);
  }
  runningPolls_ = 0;
  writeResult_.reset();
  writeStatusSequence.assign(readPreparePolls, 0);
  writeStatusSequence.push_back(1);
}

void SimCamera::StartStorageWrite() {
  ++storageWrites;
  storage[romAddress] = lastImage_;
  std::vector<std::uint8_t>& stored = storage[romAddress];
  if (corruptStorageWrites && !stored.empty()) stored[stored.size() / 2] ^= 0x10;
  if (writeStatusSequence.empty()) {
    runningPolls_ = storageWritePolls;
    writeResult_ = storageWriteResult;
  }
}

std::uint32_t SimCamera::AcceptBulkOut(std::span<const std::uint8_t> data) {
  const auto size = static_cast<std::uint32_t>(data.size());
  bulkBytesReceived += size;
  bulkOutWrites.push_back(size);
  const std::uint32_t taken = std::min(size, pending_.remaining);
  if (taken > 0) {
    std::vector<std::uint8_t>& region = ram[pending_.address];
    if (bulkSink) {
      bulkSink(data.first(taken));
    } else {
      region.insert(region.end(), data.begin(), data.begin() + taken);
    }
    pending_.remaining -= taken;
    if (pending_.remaining == 0) {
      lastImage_ = region;
      restartPending_ = restartPending_ || pending_.firmware;
    }
  }
  return size;
}

void SimCamera::PoweredUp() {
  if (!legacy) stage = 0;
  ram.clear();
  pending_ = PendingDownload{};
  lastImage_.clear();
  restartPending_ = false;
  runningPolls_ = 0;
  writeResult_.reset();
  bulkIn.clear();
}

bool SimCamera::TakeRestart() {
  const bool restart = restartPending_;
  restartPending_ = false;
  return restart;
}

std::uint32_t SimCamera::ProvideBulkIn(std::span<std::uint8_t> buffer) {
  bulkInReads.push_back(static_cast<std::uint32_t>(buffer.size()));
  if (bulkSource) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), sourceEnd_ - sourceAt_));
    bulkSource->make(sourceAt_, buffer.first(count));
    sourceAt_ += count;
    return static_cast<std::uint32_t>(count);
  }
  const std::size_t count = std::min(buffer.size(), bulkIn.size());
  std::copy_n(bulkIn.begin(), count, buffer.begin());
  bulkIn.erase(bulkIn.begin(), bulkIn.begin() + static_cast<std::ptrdiff_t>(count));
  return static_cast<std::uint32_t>(count);
}

}  // namespace bb::sim

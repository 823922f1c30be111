#include "sim/sim_camera.h"

#include <algorithm>

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
        }
        const std::array<std::uint8_t, 2> reply{status, storagePresent ? std::uint8_t{1} : std::uint8_t{0}};
        Answer(answer, reply, request.wLength);
        return true;
      }
      return false;
    }
    case 0x70: {  // stage
      std::array<std::uint8_t, 5> reply{stage};
      PutLe32(reply, 1, reportedCoreAddress);
      Answer(answer, reply, request.wLength);
      return true;
    }
    case 0xFD: {
      if (request.wValue == 0x04F3 && request.data.size() >= 8) {
        pending_.address = GetLe32(request.data, 0);
        pending_.remaining = GetLe32(request.data, 4);
        ram[pending_.address].clear();
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

std::uint32_t SimCamera::AcceptBulkOut(std::span<const std::uint8_t> data) {
  const auto size = static_cast<std::uint32_t>(data.size());
  bulkBytesReceived += size;
  const std::uint32_t taken = std::min(size, pending_.remaining);
  if (taken > 0) {
    std::vector<std::uint8_t>& region = ram[pending_.address];
    region.insert(region.end(), data.begin(), data.begin() + taken);
    pending_.remaining -= taken;
  }
  return size;
}

std::uint32_t SimCamera::ProvideBulkIn(std::span<std::uint8_t> buffer) {
  const std::size_t count = std::min(buffer.size(), bulkIn.size());
  std::copy_n(bulkIn.begin(), count, buffer.begin());
  bulkIn.erase(bulkIn.begin(), bulkIn.begin() + static_cast<std::ptrdiff_t>(count));
  return static_cast<std::uint32_t>(count);
}

}  // namespace bb::sim

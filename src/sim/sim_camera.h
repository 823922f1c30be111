#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <vector>

#include "sim/sim_request.h"

namespace bb::sim {

// The model of one camera: what it answers and what it keeps of what it was
// sent. Its behaviour follows the tool's expectations of a real camera; values
// that the tool does not interpret (stage meanings, write status codes) are this
// model's own choice.
class SimCamera {
 public:
  // Firmware lengths in headers count blocks of this many bytes.
  static constexpr std::uint32_t kBlockUnit = 256;

  // Answers a request. Returns false when the camera rejects it (the driver
  // then fails the I/O control). For device-to-host requests `answer` is
  // filled with up to wLength bytes.
  bool HandleRequest(const SimRequest& request, std::vector<std::uint8_t>& answer);

  // Accepts bulk-out data. Returns the count taken.
  std::uint32_t AcceptBulkOut(std::span<const std::uint8_t> data);
  // Serves bulk-in data. Returns the count given.
  std::uint32_t ProvideBulkIn(std::span<std::uint8_t> buffer);

  // --- state a test may set ---
  std::uint8_t stage = 3;
  std::uint32_t reportedCoreAddress = 0;
  std::array<std::uint8_t, 8> apVersion{2, 1, 0, 0, 0, 0, 0, 0};
  // The single-byte form: answers to wIndex 1 to 4 when apVersion[0] < 2.
  std::array<std::uint8_t, 4> apVersionBytes{0, 0, 0, 0};
  std::array<std::uint8_t, 8> ispVersion{1, 2, 3, 4, 0, 0, 0, 0};
  std::array<std::uint8_t, 8> customerVersion{9, 8, 7, 6, 0, 0, 0, 0};
  bool busy = false;
  bool storagePresent = true;
  // Write status answers, one per query; when used up, `writeStatusIdle`.
  std::deque<std::uint8_t> writeStatusSequence;
  std::uint8_t writeStatusIdle = 0;
  // What the bulk-in pipe serves next.
  std::deque<std::uint8_t> bulkIn;

  // --- what it received ---
  // RAM contents by the address each download started at.
  std::map<std::uint32_t, std::vector<std::uint8_t>> ram;
  std::uint32_t bulkBytesReceived = 0;

 private:
  struct PendingDownload {
    std::uint32_t address = 0;
    std::uint32_t remaining = 0;
  };
  PendingDownload pending_;
};

}  // namespace bb::sim

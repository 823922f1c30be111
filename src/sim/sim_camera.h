#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
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
  // then fails the I/O control): among others, every request that is not one
  // of its commands with that command's length and direction. For
  // device-to-host requests `answer` is filled with wLength bytes.
  bool HandleRequest(const SimRequest& request, std::vector<std::uint8_t>& answer);

  // Accepts bulk-out data. Returns the count taken.
  std::uint32_t AcceptBulkOut(std::span<const std::uint8_t> data);
  // Serves bulk-in data. Returns the count given.
  std::uint32_t ProvideBulkIn(std::span<std::uint8_t> buffer);

  // True once after a firmware image has arrived behind an ISP write header:
  // the camera then restarts and re-enumerates.
  bool TakeRestart();
  // Back on the bus: the ISP core runs now.
  void Restarted() { stage = 3; }
  // Powered up again: it boots waiting for its parameters and core, with
  // nothing of its RAM and no download or storage write under way; its
  // storage stays.
  void PoweredUp();

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
  // The image a read serves: set by a test, or else the raw image of what
  // the last storage write stored (without groups when `serveBareImage`).
  std::optional<std::vector<std::uint8_t>> servedImage;
  bool serveBareImage = false;
  std::uint32_t imageDeviceAddress = 0x800000;
  // Preparing an image for reading reports "running" this many polls.
  std::uint32_t readPreparePolls = 1;
  // A storage write reports "running" this many polls, then this result.
  std::uint32_t storageWritePolls = 2;
  std::uint8_t storageWriteResult = 1;
  // A camera whose storage keeps a wrong byte in every image it writes.
  bool corruptStorageWrites = false;
  // A VEXA611, VEXA616 or VEXA618: no stage query, and the firmware behind the
  // ISP write header stays in its DRAM without a restart.
  bool legacy = false;

  // Where downloaded bytes go instead of the RAM when set: a benchmark that
  // measures the tool apart from the camera's bookkeeping counts them there.
  std::function<void(std::span<const std::uint8_t>)> bulkSink;
  // Where read bytes come from instead of the stored image when set: a
  // benchmark's camera that makes an image of `size` bytes piece by piece as
  // it is read, and so keeps none of it.
  struct BulkSource {
    std::uint32_t size = 0;
    std::function<void(std::uint64_t offset, std::span<std::uint8_t> piece)> make;
  };
  std::optional<BulkSource> bulkSource;

  // --- what it received ---
  // Why each refused request was refused, in order.
  std::vector<std::string> refusals;
  // The byte count of every bulk write as it arrived, and of every bulk read
  // as it was asked of the camera.
  std::vector<std::uint32_t> bulkOutWrites;
  std::vector<std::uint32_t> bulkInReads;
  // RAM contents by the address each download started at.
  std::map<std::uint32_t, std::vector<std::uint8_t>> ram;
  std::uint32_t bulkBytesReceived = 0;
  struct IspWriteHeader {
    std::uint32_t dramAddress;
    std::uint32_t romAddress;
    std::uint32_t sectorAddress;
    std::uint32_t blocks;
  };
  std::vector<IspWriteHeader> ispWriteHeaders;
  std::vector<std::uint16_t> blockCountRequests;
  std::uint32_t romAddress = 0;
  // Storage contents by the address each write started at.
  std::map<std::uint32_t, std::vector<std::uint8_t>> storage;
  int storageWrites = 0;
  int powerDowns = 0;
  std::vector<std::uint16_t> readSelects;
  struct ReadRequest {
    std::uint32_t address;
    std::uint32_t size;
  };
  std::vector<ReadRequest> readRequests;

 private:
  struct PendingDownload {
    std::uint32_t address = 0;
    std::uint32_t remaining = 0;
    bool firmware = false;
  };
  void StartDownload(std::uint32_t address, std::uint32_t length, bool firmware);
  void StartStorageWrite();
  void PrepareImage();
  static std::span<const std::uint8_t> WithoutBlockPadding(std::span<const std::uint8_t> stored);

  std::vector<std::uint8_t> image_;
  // The part of the bulk source that the last read request asked for.
  std::uint64_t sourceAt_ = 0;
  std::uint64_t sourceEnd_ = 0;
  PendingDownload pending_;
  // The image that the last completed download brought; the storage write
  // takes it.
  std::vector<std::uint8_t> lastImage_;
  bool restartPending_ = false;
  // A storage write in progress: the "running" answers still to give, then
  // its result. Counted, so that a write that never ends costs nothing.
  std::uint32_t runningPolls_ = 0;
  std::optional<std::uint8_t> writeResult_;
};

}  // namespace bb::sim

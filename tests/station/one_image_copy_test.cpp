// Eight cameras burned at once hold one copy of the image: while every
// camera's session is in the middle of sending the firmware, the process holds
// one buffer of the image's size, the one it read, checked and hashed once.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "camera_runner.h"
#include "cli_options.h"
#include "simulated_link.h"
#include "sim/fresh_camera.h"
#include "sim/shared_bus.h"
#include "sim/sim_bus.h"
#include "support/temp_folder.h"
#include "util/sha256.h"

namespace {

// The allocations of at least 1 MiB alive now: a copy of the image is one.
// Plain globals, constant-initialized, so that they serve before main too.
constexpr std::size_t kLarge = std::size_t{1} << 20;
std::mutex gLargeMutex;
std::array<void*, 256> gLarge{};
std::atomic<std::size_t> gLargeAlive{0};
std::atomic<bool> gLargeOverflow{false};

void* Made(void* allocated, std::size_t size) {
  if (allocated == nullptr || size < kLarge) return allocated;
  const std::lock_guard lock(gLargeMutex);
  for (void*& slot : gLarge) {
    if (slot != nullptr) continue;
    slot = allocated;
    ++gLargeAlive;
    return allocated;
  }
  gLargeOverflow = true;
  return allocated;
}

void Freed(void* freed) {
  if (freed == nullptr || gLargeAlive == 0) return;
  const std::lock_guard lock(gLargeMutex);
  for (void*& slot : gLarge) {
    if (slot != freed) continue;
    slot = nullptr;
    --gLargeAlive;
    return;
  }
}

void* Allocate(std::size_t size) {
  void* allocated = Made(std::malloc(size == 0 ? 1 : size), size);
  if (allocated == nullptr) throw std::bad_alloc();
  return allocated;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Made(std::malloc(size == 0 ? 1 : size), size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Made(std::malloc(size == 0 ? 1 : size), size);
}
void operator delete(void* freed) noexcept {
  Freed(freed);
  std::free(freed);
}
void operator delete[](void* freed) noexcept {
  Freed(freed);
  std::free(freed);
}
void operator delete(void* freed, std::size_t) noexcept {
  Freed(freed);
  std::free(freed);
}
void operator delete[](void* freed, std::size_t) noexcept {
  Freed(freed);
  std::free(freed);
}
void operator delete(void* freed, const std::nothrow_t&) noexcept {
  Freed(freed);
  std::free(freed);
}
void operator delete[](void* freed, const std::nothrow_t&) noexcept {
  Freed(freed);
  std::free(freed);
}

namespace bb {
namespace {

constexpr unsigned kCameras = 8;
constexpr std::size_t kImageBytes = std::size_t{4} << 20;

// Holds each camera's session in its firmware transfer until every camera's
// is there, and then counts the large buffers alive.
class Gathering {
 public:
  void Arrive() {
    std::unique_lock lock(mutex_);
    if (++arrived_ == kCameras) {
      largeAtOnce_ = gLargeAlive;
      together_.notify_all();
      return;
    }
    together_.wait_for(lock, std::chrono::seconds(60), [this] { return arrived_ == kCameras; });
  }
  // Every session was in its firmware transfer at once, and then this many
  // large buffers were alive.
  std::optional<std::size_t> LargeAtOnce() {
    const std::lock_guard lock(mutex_);
    return arrived_ == kCameras ? std::optional(largeAtOnce_) : std::nullopt;
  }

 private:
  std::mutex mutex_;
  std::condition_variable together_;
  unsigned arrived_ = 0;
  std::size_t largeAtOnce_ = 0;
};

// Cameras that keep only the SHA-256 of the firmware they are sent, so that
// the image's only buffers are the tool's.
class GatheringCameras final : public CameraWorld {
 public:
  GatheringCameras() {
    for (unsigned i = 0; i < kCameras; ++i) {
      sim::SimCamera& camera = bus_.Attach();
      sim::SetUpFreshCamera(camera, false);
      Received& received = received_[i];
      camera.bulkSink = [this, &camera, &received](std::span<const std::uint8_t> bytes) {
        // The parameter file and the core come before the ISP write header.
        if (camera.ispWriteHeaders.empty()) return;
        if (!received.gathered) {
          received.gathered = true;
          gathering_.Arrive();
        }
        received.firmware.Update(bytes);
      };
    }
  }

  std::unique_ptr<CameraLink> Connect(CameraTime passTime, Notes) override {
    return cli::MakeSimulatedLink(shared_.Connect(std::move(passTime)));
  }

  Gathering& Gathered() { return gathering_; }
  Sha256Digest Firmware(unsigned camera) { return received_.at(camera).firmware.Finish(); }

 private:
  struct Received {
    bool gathered = false;
    Sha256 firmware;
  };

  Gathering gathering_;
  std::array<Received, kCameras> received_;
  sim::SimBus bus_;
  sim::SharedBus shared_{bus_};
};

TEST(OneImageCopyTest, EightCamerasBurnedAtOnceHoldOneCopyOfTheImage) {
  test::TempFolder work;
  {
    std::vector<std::uint8_t> firmware(kImageBytes);
    for (std::size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<std::uint8_t>(i * 7 + (i >> 10));
    work.Write("fw.bin", firmware);
  }
  work.Write("param.bin", "PARAMETR");
  work.Write("core.bin", "ISPCORE!");
  std::string ini =
      "[DevNo]\nChipID=10\n[2860]\nParamAddress2860=0x1000\nCoreAddress2860=0x20000\nDramAddress2860=0x300000\n"
      "RomAddress2860=0\nSectorAddress2860=0\nParamFile=param.bin\nIspFile=core.bin\nFwFile=fw.bin\n"
      "IspTimeoutSec=30\nFwFileID=256\nAutoPowerDown2860=0\n";
  for (const auto& [key, name] : {std::pair{"ParamSha256", "param.bin"}, std::pair{"IspSha256", "core.bin"},
                                  std::pair{"FwSha256", "fw.bin"}}) {
    ini += std::string(key) + "=" + ToHex(HashFile(work.File(name))->digest) + "\n";
  }
  work.Write("Isp.ini", ini);

  std::string error;
  const std::optional<cli::Options> options =
      cli::ParseOptions({"--simulate", std::to_string(kCameras), "--virtual-clock", "--ini", work.File("Isp.ini"),
                         "--db", "none", "burn", "--all"},
                        error);
  ASSERT_TRUE(options) << error;
  GatheringCameras cameras;
  std::FILE* out = std::fopen(work.File("out.txt").c_str(), "wb");
  std::FILE* err = std::fopen(work.File("err.txt").c_str(), "wb");
  const int status = cli::RunCommandLine(*options, work.File("burnbench-cli"), out, err, &cameras);
  std::fclose(out);
  std::fclose(err);

  const std::vector<std::uint8_t> said = test::TempFolder::ReadPath(work.Path() / "err.txt");
  EXPECT_EQ(status, 0) << std::string(said.begin(), said.end());
  const std::optional<std::size_t> large = cameras.Gathered().LargeAtOnce();
  ASSERT_TRUE(large) << "the sessions were never all in their firmware transfer at once";
  EXPECT_EQ(*large, 1u) << "large buffers alive while " << kCameras << " cameras were sent the image";
  EXPECT_FALSE(gLargeOverflow);
  const Sha256Digest sent = HashFile(work.File("fw.bin"))->digest;
  for (unsigned i = 0; i < kCameras; ++i) EXPECT_EQ(cameras.Firmware(i), sent) << "camera " << i + 1;
}

}  // namespace
}  // namespace bb

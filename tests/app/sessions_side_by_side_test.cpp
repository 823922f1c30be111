// Several cameras' sessions at once, each on its own thread with its own step
// loop, sharing one simulated bus and nothing else.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/camera_session.h"

namespace bb {
namespace {

using test::CameraSession;

// The log of the same job burned on a camera alone.
std::vector<std::string> LogAlone(int seed) {
  sim::SimBus bus;
  bus.Attach().stage = 0;
  sim::SharedBus shared(bus);
  CameraSession session(shared, "1", seed);
  session.Burn();
  return session.console.log;
}

TEST(SessionsSideBySideTest, FourCamerasBurnAtOnceEachOnlyItsOwnJob) {
  sim::SimBus bus;
  for (int i = 0; i < 4; ++i) bus.Attach().stage = 0;
  bus.Camera(1).busy = true;
  bus.Camera(3).corruptStorageWrites = true;
  sim::SharedBus shared(bus);

  std::vector<std::unique_ptr<CameraSession>> sessions;
  for (int i = 0; i < 4; ++i) {
    sessions.push_back(std::make_unique<CameraSession>(shared, bus.Location(i), i + 1));
  }
  std::vector<std::thread> threads;
  for (auto& session : sessions) threads.emplace_back([&session] { session->Burn(); });
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(sessions[0]->console.log, LogAlone(1));
  EXPECT_EQ(sessions[2]->console.log, LogAlone(3));
  EXPECT_EQ(sessions[1]->console.log.back(), "ISP Busy!");
  EXPECT_EQ(sessions[3]->console.log.back(), "Verify Fail !!!");

  for (int i = 0; i < 4; ++i) {
    const sim::SimCamera& camera = bus.Camera(static_cast<std::size_t>(i));
    const std::vector<std::uint8_t>& own = sessions[static_cast<std::size_t>(i)]->firmware;
    if (i == 1) {
      EXPECT_EQ(camera.storageWrites, 0);
      continue;
    }
    ASSERT_EQ(camera.storageWrites, 1) << i;
    const std::vector<std::uint8_t>& stored = camera.storage.at(0x40000);
    ASSERT_EQ(stored.size(), (own.size() + 255) / 256 * 256) << i;
    const auto differing = std::mismatch(own.begin(), own.end(), stored.begin());
    if (i == 3) {
      EXPECT_EQ(static_cast<std::size_t>(differing.first - own.begin()), stored.size() / 2);
    } else {
      EXPECT_EQ(differing.first, own.end()) << i;
    }
  }

  for (int i = 0; i < 4; ++i) {
    const CameraSession& session = *sessions[static_cast<std::size_t>(i)];
    const RunRecord& record = session.record;
    EXPECT_EQ(record.location, bus.Location(static_cast<std::size_t>(i)));
    EXPECT_EQ(record.succeeded, i == 0 || i == 2) << i;
    ASSERT_EQ(record.files.size(), 3u);
    EXPECT_EQ(record.files[2].path, session.folder.File("fw.brn"));
    ASSERT_TRUE(record.files[2].digest);
    EXPECT_EQ(record.files[2].digest->size, session.firmware.size());
    if (i > 0) {
      EXPECT_NE(record.files[2].digest->digest, sessions[0]->record.files[2].digest->digest);
    }
  }
}

// A camera that takes time of its own (a stalled read) holds up no other
// camera: another camera's whole burn runs while the stall lasts.
TEST(SessionsSideBySideTest, AStalledReadHoldsUpOnlyItsOwnCamera) {
  sim::SimBus bus;
  for (int i = 0; i < 2; ++i) bus.Attach().stage = 0;
  bus.StallFirstRead(0, 1);
  sim::SharedBus shared(bus);
  std::mutex mutex;
  std::condition_variable changed;
  bool stalling = false;
  bool otherDone = false;
  bool otherDoneDuringStall = false;
  CameraSession stalled(shared, bus.Location(0), 1, [&](std::uint32_t) {
    std::unique_lock lock(mutex);
    stalling = true;
    changed.notify_all();
    // Bounded, so that a bus that holds every camera fails here instead of hanging.
    otherDoneDuringStall = changed.wait_for(lock, std::chrono::seconds(30), [&] { return otherDone; });
  });
  CameraSession other(shared, bus.Location(1), 2);
  std::thread first([&] { stalled.Burn(); });
  std::thread second([&] {
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return stalling; });
    }
    other.Burn();
    const std::lock_guard lock(mutex);
    otherDone = true;
    changed.notify_all();
  });
  first.join();
  second.join();

  EXPECT_TRUE(otherDoneDuringStall);
  EXPECT_EQ(other.console.log, LogAlone(2));
  EXPECT_EQ(stalled.console.log, LogAlone(1));
}

}  // namespace
}  // namespace bb

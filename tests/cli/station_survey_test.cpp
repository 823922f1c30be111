// A station's look at the bus keeps one link for the station's life and drops
// at every look what was announced to it; the check for another program's
// claim opens the camera through a link of its own, let go at once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/fresh_camera.h"
#include "sim/shared_bus.h"
#include "sim/sim_bus.h"
#include "simulated_link.h"
#include "station_survey.h"

namespace bb::cli {
namespace {

using ::testing::ElementsAre;

// Two simulated cameras, at ports 1 and 2; counts the links made and the
// drops asked of them.
class CountingWorld final : public CameraWorld {
 public:
  CountingWorld() {
    for (int i = 0; i < 2; ++i) sim::SetUpFreshCamera(bus_.Attach(), false);
  }

  std::unique_ptr<CameraLink> Connect(CameraTime passTime, Notes) override {
    ++links;
    return std::make_unique<CountingLink>(MakeSimulatedLink(shared_.Connect(std::move(passTime))), drops);
  }

  int links = 0;
  int drops = 0;

 private:
  class CountingLink final : public CameraLink {
   public:
    CountingLink(std::unique_ptr<CameraLink> inner, int& drops) : inner_(std::move(inner)), drops_(drops) {}
    DeviceTransport& Transport() override { return inner_->Transport(); }
    ArrivalWatch& Arrivals() override { return inner_->Arrivals(); }
    void OnArrival(ArrivalHandler handler) override { inner_->OnArrival(std::move(handler)); }
    bool Idle() override { return inner_->Idle(); }
    void DropAnnounced() override {
      ++drops_;
      inner_->DropAnnounced();
    }

   private:
    std::unique_ptr<CameraLink> inner_;
    int& drops_;
  };

  sim::SimBus bus_;
  sim::SharedBus shared_{bus_};
};

TEST(StationSurveyTest, OneLinkServesEveryLookAndDropsWhatWasAnnouncedToIt) {
  CountingWorld world;
  StationSurvey survey(world, {});
  std::vector<SeenCamera> seen;
  for (int look = 0; look < 3; ++look) {
    seen = survey.Look();
    std::vector<std::string> where;
    for (const SeenCamera& camera : seen) where.push_back(camera.location + " " + camera.serial);
    EXPECT_THAT(where, ElementsAre("1 SIM0001", "2 SIM0002"));
  }
  EXPECT_EQ(world.links, 1);
  EXPECT_EQ(world.drops, 3);

  ASSERT_FALSE(seen.empty());
  EXPECT_FALSE(survey.HeldByOther(seen[0]));
  EXPECT_EQ(world.links, 2);
  survey.Look();
  EXPECT_EQ(world.links, 2);
}

}  // namespace
}  // namespace bb::cli

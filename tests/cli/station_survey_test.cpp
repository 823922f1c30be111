// A station's look at the bus keeps one link for the station's life and drops
// at every look what was announced to it; the check for another program's
// claim opens the camera through a link of its own, let go at once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "camera_link.h"
#include "station_survey.h"

namespace bb::cli {
namespace {

using ::testing::ElementsAre;

// Counts the links made and the drops asked of them, around simulated cameras.
class CountingWorld final : public CameraWorld {
 public:
  explicit CountingWorld(CameraWorld& inner) : inner_(inner) {}

  std::unique_ptr<CameraLink> Connect(CameraTime passTime, Notes notes) override {
    ++links;
    return std::make_unique<CountingLink>(inner_.Connect(std::move(passTime), std::move(notes)), drops);
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

  CameraWorld& inner_;
};

TEST(StationSurveyTest, OneLinkServesEveryLookAndDropsWhatWasAnnouncedToIt) {
  std::string error;
  const std::unique_ptr<CameraWorld> simulated =
      MakeSimulatedWorld(2, {}, {}, false, [](const std::string&) {}, error);
  ASSERT_TRUE(simulated) << error;
  CountingWorld world(*simulated);
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

// A job may pin its images by their SHA-256: only the files it names by
// content are burned, and nothing reaches the camera when one is not.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>

#include "burn/job_config.h"
#include "device/status_codes.h"
#include "support/burn_rig.h"
#include "util/sha256.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string HexOf(const std::vector<std::uint8_t>& bytes) {
  Sha256 hash;
  hash.Update(bytes);
  return ToHex(hash.Finish());
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class ImagePinningTest : public ::testing::Test, protected test::BurnRig {
 protected:
  ImagePinningTest() {
    WriteJob("", 1000);
    const std::vector<std::uint8_t> ini = folder.Read("Isp.ini");
    unpinned = std::string(ini.begin(), ini.end());
  }
  // The job with its parameter file and core pinned right (the core in upper
  // case) and its firmware pinned to `fwPin`; the camera waits for everything.
  void LoadPinned(const std::string& fwPin) {
    folder.Write("Isp.ini", unpinned + "ParamSha256=" + HexOf(param) + "\nIspSha256=" +
                                Upper(HexOf(core)) + "\nFwSha256=" + fwPin + "\n");
    ASSERT_EQ(LoadJob(profile, context, console, 10, &window.job), 0);
    console.log.clear();
    bus.Camera().stage = 0;
  }

  std::string unpinned;
};

TEST_F(ImagePinningTest, ImagesWithTheirPinnedHashesInEitherCaseBurnAsBefore) {
  LoadPinned(HexOf(firmware));
  ASSERT_EQ(burn.RunJob(&window.job), 0);
  EXPECT_EQ(console.log.back(), "  Write File....");
  EXPECT_EQ(bus.Camera().ram.at(0x1000), param);
  EXPECT_EQ(bus.Camera().ram.at(0x2000), core);
  EXPECT_EQ(bus.Camera().ispWriteHeaders.at(0).blocks, 4u);
}

TEST_F(ImagePinningTest, OneWrongDigitStopsTheRunWithBothHashesBeforeTheCameraHearsAnything) {
  std::string wrong = HexOf(firmware);
  wrong[17] = wrong[17] == '0' ? '1' : '0';
  LoadPinned(wrong);
  EXPECT_EQ(burn.RunJob(&window.job), -1);
  EXPECT_THAT(console.log, ElementsAre("SHA-256 mismatch: " + folder.File("fw.bin") + " is " +
                                       HexOf(firmware) + ", FwSha256 is " + wrong + " !!!"));
  EXPECT_THAT(bus.Transcript(), IsEmpty());
}

TEST_F(ImagePinningTest, APinThatIsNotSixtyFourHexDigitsStopsTheRun) {
  const std::string right = HexOf(firmware);
  for (const std::string& malformed :
       {right.substr(1), right + "0", std::string(), "sha256:" + right, right.substr(0, 63) + "g"}) {
    LoadPinned(malformed);
    EXPECT_EQ(burn.RunJob(&window.job), -1) << malformed;
    EXPECT_THAT(console.log, ElementsAre("FwSha256 is not 64 hex digits !!!")) << malformed;
    EXPECT_THAT(bus.Transcript(), IsEmpty()) << malformed;
  }
}

// The firmware is replaced while the parameter file goes to the camera, after
// its check passed: the bytes read for sending are not the pinned ones, and
// none of them is sent.
TEST_F(ImagePinningTest, AFileThatChangesAfterItsCheckIsNotSent) {
  LoadPinned(HexOf(firmware));
  const std::vector<std::uint8_t> swapped = Pattern(1000, 9);
  bool replaced = false;
  clock.OnAdvance([&](std::uint64_t) {
    if (!replaced) folder.Write("fw.bin", swapped);
    replaced = true;
  });
  EXPECT_EQ(burn.RunJob(&window.job), -1);
  EXPECT_EQ(console.log.back(), "SHA-256 mismatch: " + folder.File("fw.bin") + " is " +
                                    HexOf(swapped) + ", FwSha256 is " + HexOf(firmware) + " !!!");
  EXPECT_TRUE(bus.Camera().ispWriteHeaders.empty());
  EXPECT_EQ(bus.Camera().ram.count(0x300000), 0u);
}

TEST_F(ImagePinningTest, APinnedFileThatCannotBeReadStopsTheRun) {
  LoadPinned(HexOf(firmware));
  std::filesystem::remove(folder.Path() / "core.bin");
  EXPECT_EQ(burn.RunJob(&window.job), -1);
  EXPECT_THAT(console.log,
              ElementsAre("Cannot read " + folder.File("core.bin") + " to check its SHA-256 !!!"));
  EXPECT_THAT(bus.Transcript(), IsEmpty());
}

}  // namespace
}  // namespace bb

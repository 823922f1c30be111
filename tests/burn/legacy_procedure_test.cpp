#include "burn/legacy_procedure.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <system_error>

#include "common/control_ids.h"
#include "config/read_settings.h"
#include "device/status_codes.h"
#include "support/test_host.h"
#include "util/binary_file.h"
#include "util/paths.h"
#include "util/sha256.h"

namespace bb {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

constexpr std::uint32_t kCore616MR = 0x12000;
constexpr std::uint32_t kDram616MR = 0x220000;
constexpr std::uint32_t kReserve616 = 0x6160;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

// A VEXA616 press with Mask and Rom checked, every legacy key of Isp.ini set
// to an address of its own, the ISP core beside the program and a 1000-byte
// firmware for the open-file dialog to choose.
struct LegacyRig : test::TestHost {
  LegacyRig() {
    bus.Attach().legacy = true;
    folder.Write("Isp.ini",
                 "[616]\nCoreAddress616_MN=0x11000\nCoreAddress616_MR=0x12000\n"
                 "CoreAddress616_NN=0x13000\nCoreAddress616_NR=0x14000\n"
                 "DramAddress616_MN=0x210000\nDramAddress616_MR=0x220000\n"
                 "DramAddress616_NN=0x230000\nDramAddress616_NR=0x240000\n"
                 "NandReserveSize616=0x6160\n"
                 "[618]\nCoreAddress618_MN=0x21000\nCoreAddress618_MR=0x22000\n"
                 "CoreAddress618_NN=0x23000\nCoreAddress618_NR=0x24000\n"
                 "DramAddress618_MN=0x310000\nDramAddress618_MR=0x320000\n"
                 "DramAddress618_NN=0x330000\nDramAddress618_NR=0x340000\n"
                 "NandReserveSize618=0x6180\n");
    ReadSettings(profile, ConfigPath(folder.Text()), context.settings);
    context.controllerCode = kVexa616;
    Check({kMaskRadio, kRomRadio});
    core = Pattern(3000, 2);
    folder.Write("ispmask-rom.bin", core);
    firmware = Pattern(1000, 3);
    firmwarePath = folder.Write("fw.bin", firmware);
  }

  void Check(std::initializer_list<int> ids) {
    controls.checked.clear();
    for (const int id : ids) controls.checked[id] = true;
  }
  sim::SimCamera& Camera() { return bus.Camera(); }
  void Press() { bench.legacy.LegacyDownload(); }
  // A press whose file dialog, if it opens, chooses the firmware.
  void PressChoosing() {
    prompts.ScriptOpenFile(firmwarePath);
    Press();
  }

  std::vector<std::uint8_t> core;
  std::string firmwarePath;
};

class LegacyProcedureTest : public ::testing::Test, protected LegacyRig {
 protected:
  LegacyProcedureTest() {
    // Sleeps show in the console's record, where they fall between the lines.
    clock.OnAdvance([this](std::uint64_t now) {
      console.calls.push_back("sleep " + std::to_string(now - lastNow_));
      lastNow_ = now;
    });
  }
  static std::vector<std::uint8_t> ZeroPadded(std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
  }
  std::vector<std::uint32_t> BulkWriteSizes() const {
    std::vector<std::uint32_t> sizes;
    for (const sim::SimEvent& event : bus.Transcript()) {
      if (event.kind == sim::SimEvent::Kind::kWrite) sizes.push_back(event.size);
    }
    return sizes;
  }
  // The ISP write of a linked image with the given table; the camera's DRAM
  // afterwards.
  std::vector<std::uint8_t> LinkedWrite(std::size_t tableSize, std::size_t firmwareSize) {
    context.controllerCode = kVexa611;
    context.transfer = TransferSettings{256, 0x10000};
    context.settings.LinkFlag = 1;
    table = Pattern(tableSize, 9);
    context.settings.BadpixelFile = folder.Write("badpixel.bin", table);
    firmware = Pattern(firmwareSize, 3);
    folder.Write("fw.bin", firmware);
    EXPECT_EQ(bench.legacy.LegacyIspWrite(firmwarePath), kOk);
    return Camera().ram[context.legacyDramAddress];
  }

  std::vector<std::uint8_t> table;

 private:
  std::uint64_t lastNow_ = 0;
};

TEST_F(LegacyProcedureTest, A616WithMaskAndRomDownloadsItsCoreThenTheConfirmedFirmware) {
  PressChoosing();

  EXPECT_THAT(console.log, ElementsAre("ISP Write File OK."));
  EXPECT_THAT(console.calls,
              ElementsAre("clear", "log Ready to download ispmask-rom.bin ...", "repaint",
                          "log Begin to download ispmask-rom.bin ...", "repaint",
                          "log Download ispmask-rom.bin OK!", "repaint", "sleep 1000", "repaint",
                          "status F/W: " + firmwarePath, "log ISP Write File Prepare...",
                          "repaint", "sleep 4000", "log ISP Write File....", "repaint", "clear",
                          "log ISP Write File OK.", "repaint"));
  EXPECT_EQ(Camera().ram.at(kCore616MR), core);
  ASSERT_EQ(Camera().ispWriteHeaders.size(), 1u);
  const auto header = Camera().ispWriteHeaders[0];
  EXPECT_EQ(header.dramAddress, kDram616MR);
  EXPECT_EQ(header.romAddress, kReserve616);
  EXPECT_EQ(header.sectorAddress, 0u);
  EXPECT_EQ(header.blocks, 4u);
  EXPECT_EQ(context.legacyDramAddress, kDram616MR);
  // 1000 bytes are 4 blocks of 256; the 24 bytes after the file are zero.
  EXPECT_EQ(Camera().ram.at(kDram616MR), ZeroPadded(firmware, 1024));
  EXPECT_THAT(BulkWriteSizes(), ElementsAre(3000, 1024));
  EXPECT_EQ(context.transfer.BlockUnit, std::uint16_t{256});
  EXPECT_EQ(context.transfer.BulkChunk, 0x10000u);
  EXPECT_TRUE(context.legacyFirmwareConfirmed);
  EXPECT_EQ(context.legacyFirmwarePath, firmwarePath);

  // The camera has no stage query and stays on the bus.
  for (const sim::SimRequest& request : bus.Requests()) EXPECT_NE(request.bRequest, 0x70);
  EXPECT_TRUE(bus.Present());
  EXPECT_FALSE(bus.ReturnCameras());
  EXPECT_EQ(bus.OpenHandles(), 0u);
}

// The legacy keys pin the core that the radios choose and the controller's
// firmware; each is checked on the bytes read, before any of them is sent.
TEST_F(LegacyProcedureTest, PinnedCoreAndFirmwareAreSentOnlyWhenTheyMatch) {
  const auto hexOf = [](const std::vector<std::uint8_t>& bytes) {
    Sha256 hash;
    hash.Update(bytes);
    return ToHex(hash.Finish());
  };
  const std::string ini = context.configPath;
  ASSERT_TRUE(profile.WriteString(ini, "616", "CoreSha256_616_MR", hexOf(core)));
  ASSERT_TRUE(profile.WriteString(ini, "616", "FwSha256_616", hexOf(firmware)));
  PressChoosing();
  EXPECT_THAT(console.log, ElementsAre("ISP Write File OK."));

  const std::vector<std::string> coreLines = {"Ready to download ispmask-rom.bin ...",
                                              "Begin to download ispmask-rom.bin ...",
                                              "Download ispmask-rom.bin OK!"};
  const std::vector<std::uint8_t> otherFirmware = Pattern(1000, 5);
  folder.Write("fw.bin", otherFirmware);
  controls.checked[kSilentModeCheck] = true;
  bus.ClearTranscript();
  Press();
  std::vector<std::string> expected = coreLines;
  expected.push_back("SHA-256 mismatch: " + firmwarePath + " is " + hexOf(otherFirmware) +
                     ", FwSha256_616 is " + hexOf(firmware) + " !!!");
  EXPECT_EQ(console.log, expected);
  EXPECT_THAT(BulkWriteSizes(), ElementsAre(3000)) << "the core only";
  EXPECT_EQ(Camera().ispWriteHeaders.size(), 1u) << "only the first press's header";

  const std::vector<std::uint8_t> otherCore = Pattern(3000, 6);
  const std::string corePath = folder.Write("ispmask-rom.bin", otherCore);
  bus.ClearTranscript();
  Press();
  EXPECT_THAT(console.log, ElementsAre("Ready to download ispmask-rom.bin ...",
                                       "SHA-256 mismatch: " + corePath + " is " + hexOf(otherCore) +
                                           ", CoreSha256_616_MR is " + hexOf(core) + " !!!"));
  EXPECT_THAT(bus.Transcript(), IsEmpty());
}

TEST_F(LegacyProcedureTest, AnEmptyCoreOrFirmwareIsRefusedBeforeItIsSent) {
  folder.Write("fw.bin", "");
  PressChoosing();
  EXPECT_THAT(console.log, ElementsAre("Ready to download ispmask-rom.bin ...",
                                       "Begin to download ispmask-rom.bin ...",
                                       "Download ispmask-rom.bin OK!",
                                       "File " + firmwarePath + " is empty !!!"));
  EXPECT_THAT(BulkWriteSizes(), ElementsAre(3000));
  EXPECT_TRUE(Camera().ispWriteHeaders.empty());

  const std::string corePath = folder.Write("ispmask-rom.bin", "");
  bus.ClearTranscript();
  Press();
  EXPECT_THAT(console.log, ElementsAre("Ready to download ispmask-rom.bin ...",
                                       "File " + corePath + " is empty !!!"));
  EXPECT_THAT(bus.Transcript(), IsEmpty());
}

TEST_F(LegacyProcedureTest, TheOperatorIsAskedWithTheFileDialogAndAnOwnerlessQuestion) {
  PressChoosing();
  const std::vector<OpenFileRequest> dialogs = prompts.OpenFileRequests();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].title, "Select BIN File");
  EXPECT_EQ(dialogs[0].filterDescription, "Bin File");
  EXPECT_EQ(dialogs[0].filterPattern, "*.bin");
  EXPECT_EQ(dialogs[0].initialPath, "");
  EXPECT_EQ(dialogs[0].initialFolder, "");

  const std::vector<MessageBoxRequest> boxes = prompts.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Are you sure to down the file to your camera?\nPath:" + firmwarePath);
  EXPECT_EQ(boxes[0].title, "Question");
  EXPECT_EQ(boxes[0].icon, BoxIcon::kQuestion);
  EXPECT_EQ(boxes[0].kind, BoxKind::kQuestion);
  EXPECT_EQ(boxes[0].buttons, BoxButtons::kYesNo);
  EXPECT_TRUE(boxes[0].ownerless);
}

TEST_F(LegacyProcedureTest, TheFirstCheckedPairDecidesTheCoreAndTheDramAddress) {
  struct Case {
    std::int32_t controller;
    std::vector<int> radios;
    const char* core;
    std::uint32_t coreAddress;
    std::uint32_t dram;
  };
  const std::vector<Case> cases = {
      {kVexa616, {kMaskRadio, kNormalRadio, kNandRadio, kRomRadio}, "ispnormal-rom.bin", 0x14000,
       0x240000},
      {kVexa616, {kMaskRadio, kNormalRadio, kNandRadio}, "ispnormal-nand.bin", 0x13000, 0x230000},
      {kVexa616, {kMaskRadio, kNandRadio, kRomRadio}, "ispmask-rom.bin", 0x12000, 0x220000},
      {kVexa616, {kMaskRadio, kNandRadio}, "ispmask-nand.bin", 0x11000, 0x210000},
      {kVexa618, {kNormalRadio, kRomRadio, kNandRadio}, "isp_rom_618_normal.bin", 0x24000,
       0x340000},
      {kVexa618, {kNormalRadio, kNandRadio}, "isp_nand_618_normal.bin", 0x23000, 0x330000},
      {kVexa618, {kMaskRadio, kRomRadio, kNandRadio}, "isp_rom_618.bin", 0x22000, 0x320000},
      {kVexa618, {kMaskRadio, kNandRadio}, "isp_nand_618.bin", 0x21000, 0x310000},
  };
  std::uint8_t seed = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.core);
    const std::vector<std::uint8_t> bytes = Pattern(500, seed++);
    folder.Write(c.core, bytes);
    context.controllerCode = c.controller;
    controls.checked.clear();
    for (const int radio : c.radios) controls.checked[radio] = true;
    Camera().ram.clear();
    PressChoosing();
    EXPECT_EQ(Camera().ram[c.coreAddress], bytes);
    ASSERT_FALSE(Camera().ispWriteHeaders.empty());
    EXPECT_EQ(Camera().ispWriteHeaders.back().dramAddress, c.dram);
    EXPECT_EQ(Camera().ispWriteHeaders.back().romAddress,
              c.controller == kVexa616 ? 0x6160u : 0x6180u);
    EXPECT_THAT(console.log, ElementsAre("ISP Write File OK."));
  }
}

TEST_F(LegacyProcedureTest, A618WithoutACheckedPairTriesTheFolderItselfAndStops) {
  context.controllerCode = kVexa618;
  context.legacyDramAddress = 0x5000;
  Check({kMaskRadio, kNormalRadio});
  Press();
  EXPECT_THAT(console.log, ElementsAre("Ready to download  ...", "Open \"\" error..."));
  EXPECT_TRUE(bus.Transcript().empty());
  EXPECT_THAT(prompts.OpenFileRequests(), IsEmpty());
  EXPECT_EQ(context.legacyDramAddress, 0x5000u);
}

TEST_F(LegacyProcedureTest, A611UsesItsOneCoreAndTheDramAddressAsItWas) {
  context.controllerCode = kVexa611;
  context.legacyDramAddress = 0x123456;
  const std::vector<std::uint8_t> usbisp = Pattern(700, 5);
  folder.Write("usbisp.bin", usbisp);
  PressChoosing();
  EXPECT_EQ(Camera().ram.at(0x9000), usbisp);
  EXPECT_EQ(Camera().ram.count(kCore616MR), 0u);
  ASSERT_EQ(Camera().ispWriteHeaders.size(), 1u);
  const auto header = Camera().ispWriteHeaders[0];
  EXPECT_EQ(header.dramAddress, 0x123456u);
  EXPECT_EQ(header.romAddress, 0u);
  EXPECT_EQ(header.sectorAddress, 0u);
  EXPECT_EQ(context.legacyDramAddress, 0x123456u);
  EXPECT_THAT(console.log, ElementsAre("ISP Write File OK."));
}

TEST_F(LegacyProcedureTest, AnotherControllerSendsOnlyABlockCountWithTheTransferSettingsItHas) {
  context.controllerCode = 9;
  PressChoosing();
  EXPECT_THAT(console.log, ElementsAre("ISP Write File OK."));
  // 1000 bytes in blocks of 128 are 8.
  EXPECT_THAT(Camera().blockCountRequests, ElementsAre(8));
  EXPECT_TRUE(Camera().ispWriteHeaders.empty());
  for (const sim::SimRequest& request : bus.Requests()) EXPECT_NE(request.bRequest, 0xFD);
  EXPECT_EQ(Camera().bulkBytesReceived, 1024u);
  EXPECT_EQ(context.transfer.BlockUnit, std::uint16_t{128});
  EXPECT_EQ(context.transfer.BulkChunk, 4096u);
  EXPECT_THAT(clock.Sleeps(), ElementsAre(4000));
}

TEST_F(LegacyProcedureTest, LinkFlagBuildsTheWholeImageWithTheBadPixelTableAtItsEnd) {
  context.legacyDramAddress = 0x300000;
  const std::vector<std::uint8_t> image = LinkedWrite(512, 100);

  ASSERT_EQ(Camera().ispWriteHeaders.size(), 1u);
  EXPECT_EQ(Camera().ispWriteHeaders[0].blocks, 2048u);
  ASSERT_EQ(image.size(), 0x80000u);
  EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), image.begin()));
  EXPECT_TRUE(std::all_of(image.begin() + 100, image.begin() + 0x7FDFF,
                          [](std::uint8_t byte) { return byte == 0xFF; }));
  EXPECT_TRUE(std::equal(table.begin(), table.end(), image.begin() + 0x7FDFF));
  EXPECT_EQ(image[0x7FFFF], 0xFF);
  // Four seconds before the write, then the bulk pacing over eight full chunks.
  EXPECT_THAT(clock.Sleeps(), ElementsAre(4000, 500, 1, 1, 1, 1, 1, 1, 1));
  EXPECT_THAT(console.log, ElementsAre("ISP Write File OK."));
}

TEST_F(LegacyProcedureTest, TablesOfTheSmallestAndLargestSizeAndAFullSizeFirmwareAreLinked) {
  for (const std::size_t size : {256u, 1024u}) {
    SCOPED_TRACE(size);
    const std::vector<std::uint8_t> image = LinkedWrite(size, 100);
    ASSERT_EQ(image.size(), 0x80000u);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), image.begin() + (0x7FFFF - size)));
    EXPECT_EQ(image[0x7FFFF - size - 1], 0xFF);
    EXPECT_EQ(image[0x7FFFF], 0xFF);
  }
  // The table lies over the end of a firmware that fills the image.
  const std::vector<std::uint8_t> image = LinkedWrite(256, 0x80000);
  EXPECT_TRUE(std::equal(firmware.begin(), firmware.end() - 257, image.begin()));
  EXPECT_TRUE(std::equal(table.begin(), table.end(), image.begin() + 0x7FEFF));
  EXPECT_EQ(image[0x7FFFF], firmware.back());
}

TEST_F(LegacyProcedureTest, ATableOfAnotherSizeOrNoTableSendsNothingAndLogsNothing) {
  context.controllerCode = kVexa611;
  context.transfer = TransferSettings{256, 0x10000};
  context.settings.LinkFlag = 1;
  for (const std::size_t size : {255u, 1025u}) {
    SCOPED_TRACE(size);
    context.settings.BadpixelFile = folder.Write("badpixel.bin", Pattern(size, 9));
    EXPECT_EQ(bench.legacy.LegacyIspWrite(firmwarePath), kFileError);
  }
  context.settings.BadpixelFile = folder.File("missing.bin");
  EXPECT_EQ(bench.legacy.LegacyIspWrite(firmwarePath), kFileError);
  EXPECT_THAT(console.calls, IsEmpty());
  EXPECT_TRUE(bus.Transcript().empty());
}

// The merged table is part of the image the camera stores: under a pinned
// firmware it must be pinned as well, and a pinned table is checked on the
// bytes merged.
TEST_F(LegacyProcedureTest, APinnedFirmwareTakesOnlyAPinnedBadPixelTable) {
  const auto hexOf = [](const std::vector<std::uint8_t>& bytes) {
    Sha256 hash;
    hash.Update(bytes);
    return ToHex(hash.Finish());
  };
  context.controllerCode = kVexa611;
  context.transfer = TransferSettings{256, 0x10000};
  context.settings.LinkFlag = 1;
  table = Pattern(512, 9);
  const std::string tablePath = folder.Write("badpixel.bin", table);
  context.settings.BadpixelFile = tablePath;
  firmware = Pattern(100, 3);
  folder.Write("fw.bin", firmware);
  const std::string otherTable = hexOf(Pattern(512, 8));
  const struct {
    std::string firmwarePin;
    std::string tablePin;
    int status;
    std::string line;
  } kCases[] = {
      {hexOf(firmware), "", kFileError,
       "BadPixelSha256 is missing: the bad-pixel table " + tablePath +
           " would be merged unpinned into the pinned firmware !!!"},
      {hexOf(firmware), otherTable, kFileError,
       "SHA-256 mismatch: " + tablePath + " is " + hexOf(table) + ", BadPixelSha256 is " +
           otherTable + " !!!"},
      {"", otherTable, kFileError,
       "SHA-256 mismatch: " + tablePath + " is " + hexOf(table) + ", BadPixelSha256 is " +
           otherTable + " !!!"},
      {hexOf(firmware), hexOf(table), kOk, "ISP Write File OK."},
      {"", "", kOk, "ISP Write File OK."},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    std::string ini = "[611]\n";
    if (!c.firmwarePin.empty()) ini += "FwSha256_611=" + c.firmwarePin + "\n";
    if (!c.tablePin.empty()) ini += "[BadPixel]\nBadPixelSha256=" + c.tablePin + "\n";
    folder.Write("Isp.ini", ini);
    console.log.clear();
    bus.ClearTranscript();
    EXPECT_EQ(bench.legacy.LegacyIspWrite(firmwarePath), c.status);
    EXPECT_THAT(console.log, ElementsAre(c.line));
    EXPECT_EQ(bus.Transcript().empty(), c.status != kOk);
  }
}

TEST_F(LegacyProcedureTest, OnlyLinkFlagOneLinks) {
  context.controllerCode = kVexa611;
  context.transfer = TransferSettings{256, 0x10000};
  context.settings.LinkFlag = 2;
  context.settings.BadpixelFile = folder.File("missing.bin");
  firmware = Pattern(100, 3);
  folder.Write("fw.bin", firmware);
  ASSERT_EQ(bench.legacy.LegacyIspWrite(firmwarePath), kOk);
  EXPECT_EQ(Camera().ispWriteHeaders.at(0).blocks, 1u);
  EXPECT_EQ(Camera().ram.at(0), ZeroPadded(firmware, 256));
}

TEST_F(LegacyProcedureTest, AFirmwareLargerThanTheLinkedImageIsRefusedBeforeAnythingIsSent) {
  context.controllerCode = kVexa611;
  context.transfer = TransferSettings{256, 0x10000};
  context.settings.LinkFlag = 1;
  context.settings.BadpixelFile = folder.Write("badpixel.bin", Pattern(512, 9));
  folder.Write("fw.bin", Pattern(0x80001, 3));
  EXPECT_EQ(bench.legacy.LegacyIspWrite(firmwarePath), kFileError);
  EXPECT_THAT(console.log, ElementsAre("F/W file too large: 524289 bytes (at most 524288)."));
  EXPECT_TRUE(bus.Transcript().empty());
}

TEST_F(LegacyProcedureTest, SilentModeAsksOnTheFirstPressAndReusesTheImageAfterwards) {
  controls.checked[kSilentModeCheck] = true;
  PressChoosing();
  EXPECT_EQ(prompts.OpenFileRequests().size(), 1u);
  EXPECT_EQ(prompts.Boxes().size(), 1u);
  EXPECT_THAT(console.log, ElementsAre("ISP Write File OK."));

  Press();
  EXPECT_EQ(prompts.OpenFileRequests().size(), 1u);
  EXPECT_EQ(prompts.Boxes().size(), 1u);
  EXPECT_EQ(Camera().ispWriteHeaders.size(), 2u);
  EXPECT_EQ(Camera().ram.at(kDram616MR), ZeroPadded(firmware, 1024));
  EXPECT_THAT(console.log, ElementsAre("ISP Write File OK."));

  // Without Silent Mode the dialog opens on the confirmed image.
  controls.checked[kSilentModeCheck] = false;
  Press();
  const OpenFileRequest reopened = prompts.OpenFileRequests().back();
  EXPECT_EQ(reopened.initialPath, firmwarePath);
  EXPECT_EQ(reopened.initialFolder, folder.Text() + kPathSeparator);
  EXPECT_EQ(console.log.back(), "Download ispmask-rom.bin OK!") << "the dialog was cancelled";
  EXPECT_EQ(Camera().ispWriteHeaders.size(), 2u);
}

TEST_F(LegacyProcedureTest, ACancelledDialogOrANoSendsNoFirmware) {
  Press();  // nothing scripted: the dialog is cancelled
  EXPECT_THAT(prompts.Boxes(), IsEmpty());
  EXPECT_EQ(console.log.back(), "Download ispmask-rom.bin OK!");

  prompts.Answer(BoxAnswer::kNo);
  PressChoosing();
  EXPECT_EQ(prompts.Boxes().size(), 1u);
  EXPECT_EQ(console.log.back(), "Download ispmask-rom.bin OK!");
  EXPECT_TRUE(Camera().ispWriteHeaders.empty());
  EXPECT_EQ(Camera().bulkBytesReceived, 2u * 3000u) << "the core twice, no firmware";
  EXPECT_FALSE(context.legacyFirmwareConfirmed);
  EXPECT_EQ(context.legacyFirmwarePath, "");
  EXPECT_THAT(console.calls, Not(Contains(StartsWith("status"))));
}

TEST_F(LegacyProcedureTest, AFileDeclinedAfterAConfirmedOneIsNotWhatSilentModeSends) {
  PressChoosing();
  const std::string other = folder.Write("other.bin", Pattern(300, 7));
  prompts.ScriptOpenFile(other);
  prompts.Answer(BoxAnswer::kNo);
  Press();
  EXPECT_EQ(context.legacyFirmwarePath, firmwarePath);

  controls.checked[kSilentModeCheck] = true;
  Press();
  EXPECT_EQ(Camera().ispWriteHeaders.size(), 2u);
  EXPECT_EQ(Camera().ram.at(kDram616MR), ZeroPadded(firmware, 1024));
}

TEST_F(LegacyProcedureTest, SelectBinFileOpensOnTheFolderAndTakesOnlyAPathThatFits) {
  std::string path = "C:\\images\\fw.bin";
  prompts.ScriptOpenFile(std::string(259, 'a'));
  prompts.ScriptOpenFile(std::string(260, 'b'));
  ASSERT_TRUE(bench.legacy.SelectBinFile(path, 260));
  EXPECT_EQ(path, std::string(259, 'a'));
  EXPECT_EQ(prompts.OpenFileRequests().at(0).initialPath, "C:\\images\\fw.bin");
  EXPECT_EQ(prompts.OpenFileRequests().at(0).initialFolder, "C:\\images\\");
  EXPECT_FALSE(bench.legacy.SelectBinFile(path, 260)) << "a path cut to fit names another file";
  EXPECT_EQ(path, std::string(259, 'a'));

  path = "fw.bin";
  EXPECT_FALSE(bench.legacy.SelectBinFile(path, 260));
  EXPECT_EQ(prompts.OpenFileRequests().back().initialFolder, "fw.bin");
  const std::size_t dialogs = prompts.OpenFileRequests().size();
  EXPECT_FALSE(bench.legacy.SelectBinFile(path, 0));
  EXPECT_EQ(prompts.OpenFileRequests().size(), dialogs);
  EXPECT_EQ(path, "fw.bin");
}

TEST_F(LegacyProcedureTest, EachFailureEndsThePressWithItsLineOrSilently) {
  struct Case {
    const char* name;
    std::function<void(LegacyRig&)> fault;
    const char* lastLine;
    bool headerSent;
  };
  const std::vector<Case> cases = {
      {"core missing",
       [](LegacyRig& r) { std::filesystem::remove(r.folder.Path() / "ispmask-rom.bin"); },
       "Open \"ispmask-rom.bin\" error...", false},
      {"no camera", [](LegacyRig& r) { r.bus.DetachAll(); }, "Download ispmask-rom.bin Fail!",
       false},
      {"core header", [](LegacyRig& r) { r.bus.FailRequest(0xFD, 0x04F3); },
       "Download ispmask-rom.bin Fail!", false},
      {"core bulk", [](LegacyRig& r) { r.bus.FailWrite(1); }, "Download ispmask-rom.bin Fail!",
       false},
      {"firmware missing",
       [](LegacyRig& r) { std::filesystem::remove(r.folder.Path() / "fw.bin"); },
       "Download ispmask-rom.bin OK!", false},
      {"busy query", [](LegacyRig& r) { r.bus.FailRequest(0x21, 0); }, "  Fail!", false},
      {"busy", [](LegacyRig& r) { r.Camera().busy = true; }, "  Fail!", false},
      {"write header", [](LegacyRig& r) { r.bus.FailRequest(0xFD, 0x04F1); }, "ISP Fail!", false},
      {"firmware bulk", [](LegacyRig& r) { r.bus.FailWrite(2); }, "  Fail!", true},
      {"short firmware bulk", [](LegacyRig& r) { r.bus.ShortWrite(2); }, "  Fail!", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LegacyRig rig;
    c.fault(rig);
    rig.PressChoosing();
    ASSERT_FALSE(rig.console.log.empty());
    EXPECT_EQ(rig.console.log.back(), c.lastLine);
    // A failed firmware write says so after the line of the stage it ended in.
    if (std::string_view(c.lastLine) == "  Fail!") {
      EXPECT_EQ(rig.console.log.end()[-2],
                c.headerSent ? "ISP Write File...." : "ISP Write File Prepare...");
    }
    if (rig.bus.Cameras() > 0) {
      EXPECT_EQ(rig.Camera().ispWriteHeaders.size(), c.headerSent ? 1u : 0u);
    }
    EXPECT_EQ(rig.bus.OpenHandles(), 0u);
  }
}

TEST_F(LegacyProcedureTest, TheIspWriteReturnsTheCodeOfItsFailure) {
  struct Case {
    const char* name;
    std::function<void(LegacyRig&)> fault;
    int result;
  };
  const std::vector<Case> cases = {
      {"firmware missing", [](LegacyRig& r) { r.firmwarePath = r.folder.File("none.bin"); },
       kFileError},
      {"no camera", [](LegacyRig& r) { r.bus.DetachAll(); }, kNoPipe},
      {"busy query", [](LegacyRig& r) { r.bus.FailRequest(0x21, 0); }, kRequestFailed},
      {"busy", [](LegacyRig& r) { r.Camera().busy = true; }, kCameraBusy},
      {"write header", [](LegacyRig& r) { r.bus.FailRequest(0xFD, 0x04F1); }, kProcedureFailed},
      {"firmware bulk", [](LegacyRig& r) { r.bus.FailWrite(1); }, kWriteFailed},
      {"short firmware bulk", [](LegacyRig& r) { r.bus.ShortWrite(1); }, kShortTransfer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LegacyRig rig;
    rig.context.transfer = TransferSettings{256, 0x10000};
    c.fault(rig);
    EXPECT_EQ(rig.bench.legacy.LegacyIspWrite(rig.firmwarePath), c.result);
    EXPECT_EQ(rig.bus.OpenHandles(), 0u);
  }
}

TEST_F(LegacyProcedureTest, ACorePathThatDoesNotFitItsBufferIsRefusedLikeAMissingFile) {
  context.controllerCode = kVexa611;
  // The folder, a separator and "usbisp.bin" in 259 bytes fit; in 260 they do not.
  const std::size_t fixed = folder.Text().size() + 1 + 1 + std::string("usbisp.bin").size();
  ASSERT_LE(260 - fixed, 255u) << "one folder name holds at most 255 bytes";
  auto folderForPathOf = [&](std::size_t total) {
    const std::filesystem::path deep = folder.Path() / std::string(total - fixed, 'd');
    std::error_code error;
    std::filesystem::create_directory(deep, error);
    std::ofstream(deep / "usbisp.bin", std::ios::binary) << "core";
    return deep;
  };
  const std::filesystem::path fits = folderForPathOf(259);
  const std::filesystem::path tooLong = folderForPathOf(260);
  if (!std::filesystem::exists(tooLong / "usbisp.bin")) GTEST_SKIP() << "no paths this long here";

  context.executableFolder = fits.string();
  PressChoosing();
  EXPECT_EQ(Camera().ram.at(0x9000).size(), 4u);

  context.executableFolder = tooLong.string();
  Camera().ram.clear();
  Press();
  EXPECT_THAT(console.log,
              ElementsAre("Ready to download usbisp.bin ...", "Open \"usbisp.bin\" error..."));
  EXPECT_TRUE(Camera().ram.empty());
}

TEST_F(LegacyProcedureTest, FilesTooLargeForATransferAreRefused) {
  // Sparse files: the size counts, not the bytes on disk.
  std::filesystem::resize_file(folder.Path() / "ispmask-rom.bin", (std::uint64_t{1} << 32) + 1);
  Press();
  EXPECT_THAT(console.log,
              ElementsAre("Ready to download ispmask-rom.bin ...", "Alloc Size error..."));
  EXPECT_TRUE(bus.Transcript().empty());

  console.calls.clear();
  std::filesystem::resize_file(folder.Path() / "fw.bin", std::uint64_t{1} << 32);
  EXPECT_EQ(bench.legacy.LegacyIspWrite(firmwarePath), kNoBuffer);
  EXPECT_THAT(console.calls, IsEmpty());
  EXPECT_TRUE(bus.Transcript().empty());
}

// A sysfs file reports a whole page as its size but reads only its text: a file
// that delivers fewer bytes than its size promised, as one that shrinks would.
TEST_F(LegacyProcedureTest, AFileThatReadsShortOfItsSizeIsRefusedNotSentWithStaleBytes) {
  const std::string shrinking = "/sys/devices/system/cpu/online";
  std::ifstream probe;
  const std::optional<std::uint64_t> size = OpenForReading(shrinking, probe);
  std::vector<std::uint8_t> bytes(size.value_or(0));
  if (!size || ReadExactly(probe, bytes.data(), *size)) GTEST_SKIP() << "no such file here";

  EXPECT_EQ(bench.legacy.LegacyIspWrite(shrinking), kFileError);
  EXPECT_THAT(console.log, ElementsAre("Read file error..."));

  context.controllerCode = kVexa611;
  std::error_code error;
  std::filesystem::create_symlink(shrinking, folder.Path() / "usbisp.bin", error);
  if (error) GTEST_SKIP() << "no symbolic links here";
  Press();
  EXPECT_THAT(console.log, ElementsAre("Ready to download usbisp.bin ...", "Read file error..."));
  EXPECT_TRUE(bus.Transcript().empty());
}

}  // namespace
}  // namespace bb

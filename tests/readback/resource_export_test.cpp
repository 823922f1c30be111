#include "readback/resource_export.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/steps.h"
#include "readback/export_names.h"
#include "support/test_host.h"

#if !defined(_WIN32)
#include "support/disk_room.h"
#endif

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ResourceExportTest : public ::testing::Test, protected test::TestHost {
 protected:
  ResourceExportTest() {
    camera = &bus.Attach();
    camera->stage = 3;
    std::filesystem::create_directories(out.Path());
  }
  // Burns `content` into the camera's storage and exports it into `out`.
  void Export(const sim::ImageContent& content, const std::string& extraLines = "") {
    WriteSampleJob(content, extraLines);
    camera->storage[0] = firmware;
    prompts.ScriptFolder(out.Text());
    bench.sequencer.StartReadBackFromButton();
    Pump();
  }
  bool OutHas(const std::string& relative) const {
    return std::filesystem::is_regular_file(out.Path() / relative);
  }
  std::vector<std::uint8_t> OutRead(const std::string& relative) const { return out.Read(relative); }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const MessageBoxRequest& box : prompts.Boxes()) texts.push_back(box.text);
    return texts;
  }

  static bool LinkFolder(const std::filesystem::path& target, const std::filesystem::path& link) {
    std::error_code error;
    std::filesystem::create_directory_symlink(target, link, error);
    return !error;
  }
  static bool LinkFile(const std::filesystem::path& target, const std::filesystem::path& link) {
    std::error_code error;
    std::filesystem::create_symlink(target, link, error);
    return !error;
  }

  test::TempFolder out;
  // Where planted links lead: nothing may appear or change here.
  test::TempFolder outside;
  sim::SimCamera* camera = nullptr;
};

TEST_F(ResourceExportTest, WithoutAListFileEveryEntryIsWrittenUnderItsKey) {
  const sim::ImageContent content = SampleContent();
  Export(content);
  EXPECT_EQ(console.log.back(), "Read Resource Files Success !!!");
  EXPECT_EQ(OutRead("Res_0x100.res"), content.firmware);
  EXPECT_EQ(OutRead("A/Res_0x5.res"), content.groupA[0].data);
  EXPECT_EQ(OutRead("A/Res_0x7f.res"), content.groupA[1].data);
  EXPECT_EQ(OutRead("B/Res_0x80.res"), content.groupB[0].data);
  EXPECT_EQ(OutRead("fw.brn.brn"), firmware);
  EXPECT_TRUE(OutHas("fw.brn.raw"));
  EXPECT_EQ(Job().ReadPath, out.Text());
  EXPECT_EQ(camera->readSelects, (std::vector<std::uint16_t>{1}));
}

TEST_F(ResourceExportTest, TheListFileNamesTheEntries) {
  out.Write("files.ini", "[FW]\nRes_0x100.res=firmware.bin\n[RawA File List]\nRes_0x5.res=logo.bmp\n"
                         "[RawB File List]\nRes_0x80.res=font.dat\n");
  Export(SampleContent());
  EXPECT_TRUE(OutHas("firmware.bin"));
  EXPECT_TRUE(OutHas("A/logo.bmp"));
  EXPECT_TRUE(OutHas("A/Res_0x7f.res")) << "a key the list lacks is its own name";
  EXPECT_TRUE(OutHas("B/font.dat"));
}

TEST_F(ResourceExportTest, TheIdAloneDecidesTheFolder) {
  sim::ImageContent content = SampleContent();
  content.groupA.push_back({0x100, {1, 2, 3}});
  content.groupB.push_back({0x20, {4, 5}});
  Export(content, "FwFileID=3\n");
  EXPECT_TRUE(OutHas("A/Res_0x3.res")) << "the firmware entry with id 3 belongs to A";
  EXPECT_EQ(OutRead("Res_0x100.res"), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(OutRead("A/Res_0x20.res"), (std::vector<std::uint8_t>{4, 5}));
}

TEST_F(ResourceExportTest, ANameInAMissingSubFolderStopsTheWalk) {
  out.Write("files.ini", "[RawA File List]\nRes_0x7f.res=missing/x.bin\n");
  Export(SampleContent());
  EXPECT_THAT(BoxTexts(), ElementsAre("Export file error, break!"));
  // The stop is an error, shown without an icon.
  EXPECT_EQ(prompts.Boxes()[0].icon, BoxIcon::kNone);
  EXPECT_EQ(prompts.Boxes()[0].kind, BoxKind::kError);
  EXPECT_TRUE(OutHas("A/Res_0x5.res")) << "entries before the stop stay";
  EXPECT_FALSE(OutHas("B/Res_0x80.res")) << "entries after it are not written";
  EXPECT_FALSE(OutHas("Res_0x100.res"));
  EXPECT_EQ(console.log.back(), "Read Resource Files Success !!!");
}

TEST_F(ResourceExportTest, NamesThatLeaveTheFolderAreRefused) {
  for (const char* name : {"../escaped.bin", "..\\escaped.bin", "/tmp/escaped.bin", "C:\\escaped.bin",
                           "sub/../../escaped.bin", "...", "CON", "nul.txt", "Com1 .bin", "lpt9..",
                           "sub/AUX", "prn.a.b", "conout$", "sub/COM\xC2\xB9.bin"}) {
    SCOPED_TRACE(name);
    test::TestHost host;
    test::TempFolder target;
    const std::filesystem::path inner = target.Path() / "inner";
    std::filesystem::create_directories(inner);
    std::ofstream(inner / "files.ini") << "[FW]\nRes_0x100.res=" << name << "\n";
    host.bus.Attach().stage = 3;
    host.WriteSampleJob(test::TestHost::SampleContent());
    host.bus.Camera().storage[0] = host.firmware;
    host.prompts.ScriptFolder(inner.string());
    host.bench.sequencer.StartReadBackFromButton();
    host.Pump();
    EXPECT_FALSE(std::filesystem::exists(target.Path() / "escaped.bin"));
    EXPECT_FALSE(std::filesystem::exists("/tmp/escaped.bin"));
    ASSERT_FALSE(host.prompts.Boxes().empty());
    EXPECT_EQ(host.prompts.Boxes().back().text, "Export file error, break!");
  }
  EXPECT_TRUE(IsContainedName("logo.bmp"));
  EXPECT_TRUE(IsContainedName("sub/logo.bmp"));
  EXPECT_TRUE(IsContainedName(".hidden"));
  EXPECT_FALSE(IsContainedName(""));
  // Superscript four (U+2074) is no port number; one to three are.
  for (const char* name : {"CONSOLE", "COM10", "LPT", "NULL.txt", "xCON", "AUX1", "CONIN",
                           "CONOUT$$", "COM\xE2\x81\xB4", "LPT\xC2\xB9\xC2\xB9", "COM\xC2"}) {
    EXPECT_FALSE(IsReservedDeviceName(name)) << name;
  }
  for (const char* name : {"con", "Nul ", "AUX.", "com9.tar.gz", "LPT1 . x", "COM0", "lpt0.txt",
                           "COM\xC2\xB9", "lpt\xC2\xB2.log", "Com\xC2\xB3 ", "CONIN$",
                           "conout$.txt"}) {
    EXPECT_TRUE(IsReservedDeviceName(name)) << name;
  }
}

TEST_F(ResourceExportTest, ASubFolderThatIsALinkOrAFileIsRefusedAndNothingIsWritten) {
  const std::filesystem::path elsewhere = outside.Path();
  bool linksMissing = false;
  for (const char* sub : {"A", "B"}) {
    for (const bool asLink : {false, true}) {
      SCOPED_TRACE(std::string(sub) + (asLink ? " as a link" : " as a file"));
      std::filesystem::remove_all(out.Path());
      std::filesystem::create_directories(out.Path());
      if (std::string(sub) == "B") std::filesystem::create_directories(out.Path() / "A");
      if (asLink) {
        if (!LinkFolder(elsewhere, out.Path() / sub)) {
          linksMissing = true;
          continue;
        }
      } else {
        out.Write(sub, "not a folder");
      }
      Export(SampleContent());
      EXPECT_EQ(console.log.back(), std::string("Cannot create sub directory \".\\") + sub + "\" !!!");
      EXPECT_TRUE(std::filesystem::is_empty(elsewhere)) << "nothing written through the link";
      EXPECT_FALSE(OutHas("Res_0x100.res")) << "no entry is written";
      EXPECT_TRUE(OutHas("fw.brn.brn")) << "the BRN file stays";
    }
  }
  if (linksMissing) GTEST_SKIP() << "no symbolic links here; only plain files were tried";
}

TEST_F(ResourceExportTest, EntryFilesNeverGoThroughLinks) {
  const std::string victim = outside.Write("victim.txt", "keep me");
  std::filesystem::create_directories(out.Path() / "A");
  // A linked entry file, a linked folder on the way to one, a dangling link.
  const std::vector<std::pair<std::string, std::string>> plants = {
      {"A/Res_0x5.res", victim}, {"A/dir/x.bin", outside.Text()}, {"A/Res_0x5.res", outside.File("new.bin")}};
  for (const auto& [place, target] : plants) {
    SCOPED_TRACE(place);
    std::filesystem::remove_all(out.Path() / "A");
    std::filesystem::create_directories(out.Path() / "A");
    const bool throughFolder = place == "A/dir/x.bin";
    out.Write("files.ini", throughFolder ? "[RawA File List]\nRes_0x5.res=dir/x.bin\n" : "");
    const std::filesystem::path link = out.Path() / (throughFolder ? "A/dir" : place);
    const bool linked = throughFolder ? LinkFolder(target, link) : LinkFile(target, link);
    if (!linked) GTEST_SKIP() << "no symbolic links here";
    const auto stops = [this] {
      const std::vector<std::string> texts = BoxTexts();
      return std::count(texts.begin(), texts.end(), "Export file error, break!");
    };
    const auto stopsBefore = stops();
    Export(SampleContent());
    EXPECT_EQ(stops(), stopsBefore + 1);
    EXPECT_EQ(prompts.Boxes().back().text, "Export file error, break!");
    EXPECT_EQ(outside.Read("victim.txt"), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
    EXPECT_FALSE(std::filesystem::exists(outside.Path() / "x.bin"));
    EXPECT_FALSE(std::filesystem::exists(outside.Path() / "new.bin"));
    EXPECT_FALSE(OutHas("A/Res_0x7f.res")) << "the walk stops at the link";
  }
}

TEST_F(ResourceExportTest, AnEntryFileWithAnotherNameOutsideIsReplacedNotEmptied) {
  const std::string victim = outside.Write("victim.txt", "keep me");
  std::filesystem::create_directories(out.Path() / "A");
  std::error_code error;
  std::filesystem::create_hard_link(victim, out.Path() / "A" / "Res_0x5.res", error);
  if (error) GTEST_SKIP() << "no hard links here";
  const sim::ImageContent content = SampleContent();
  Export(content);
  EXPECT_EQ(console.log.back(), "Read Resource Files Success !!!");
  EXPECT_EQ(OutRead("A/Res_0x5.res"), content.groupA[0].data);
  EXPECT_EQ(outside.Read("victim.txt"), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
}

TEST_F(ResourceExportTest, AnEarlierExportIsReplacedOnlyAfterTheQuestion) {
  out.Write("fw.brn.brn", "earlier");
  prompts.Answer(BoxAnswer::kCancel);
  Export(SampleContent());
  ASSERT_EQ(prompts.Boxes().size(), 1u);
  EXPECT_EQ(prompts.Boxes()[0].text, "Files are existed, do you want to overwrite them?");
  EXPECT_EQ(prompts.Boxes()[0].title, "Get resource files");
  EXPECT_EQ(prompts.Boxes()[0].buttons, BoxButtons::kOkCancel);
  EXPECT_EQ(prompts.Boxes()[0].icon, BoxIcon::kNone);
  EXPECT_EQ(prompts.Boxes()[0].kind, BoxKind::kQuestion);
  EXPECT_TRUE(camera->readSelects.empty());
  EXPECT_THAT(OutRead("fw.brn.brn"), ElementsAre('e', 'a', 'r', 'l', 'i', 'e', 'r'));

  Export(SampleContent());
  EXPECT_EQ(OutRead("fw.brn.brn"), firmware);
}

TEST_F(ResourceExportTest, ACancelledFolderChoiceReadsNothing) {
  WriteSampleJob(SampleContent());
  Job().ReadPath = "remembered";
  bench.sequencer.StartReadBackFromButton();
  Pump();
  EXPECT_THAT(prompts.FoldersOpenedOn(), ElementsAre("remembered"));
  EXPECT_EQ(Job().ReadPath, "remembered");
  EXPECT_TRUE(camera->readSelects.empty());
}

TEST_F(ResourceExportTest, ARawImageWithoutGroupsCannotBeExported) {
  camera->servedImage = sim::EncodeBareRawImage(std::vector<std::uint8_t>(100, 1));
  Export(SampleContent());
  EXPECT_EQ(console.log.back(), "Export Resource Files Fail !!!");
  EXPECT_FALSE(OutHas("Res_0x100.res"));
}

TEST_F(ResourceExportTest, AFailedReadOrConversionEndsWithItsLine) {
  bus.FailRequest(0x79);
  Export(SampleContent());
  EXPECT_EQ(console.log.back(), "Read Resource Fail !!!");
  bus.ClearFaults();
  camera->servedImage = std::vector<std::uint8_t>{0, 0, 0, 9, 1};
  Export(SampleContent());
  EXPECT_EQ(console.log.back(), "Convert BRN File Fail !!!");
}

TEST_F(ResourceExportTest, AnEntryOutOfSequenceStopsTheWalkWithAddressError) {
  WriteSampleJob(SampleContent());
  std::vector<std::uint8_t> brn = firmware;
  brn[32 + 10 + 5] ^= 1;  // the second entry's offset
  out.Write("bad.brn", brn);
  std::filesystem::create_directories(out.Path() / "A");
  EXPECT_EQ(bench.resourceExport.ExportBrnFile(out.File("bad.brn"), out.Text()), 0);
  EXPECT_THAT(BoxTexts(), ElementsAre("Address error!"));
  for (const MessageBoxRequest& box : prompts.Boxes()) {
    EXPECT_EQ(box.title, "Burnbench");
    EXPECT_EQ(box.icon, BoxIcon::kNone);
    EXPECT_EQ(box.kind, BoxKind::kError);
  }
  EXPECT_TRUE(OutHas("A/Res_0x5.res"));
  EXPECT_FALSE(OutHas("A/Res_0x7f.res"));

  brn = firmware;
  const std::size_t endMark = 32 + 10 * 4;
  brn[endMark] = 0;
  out.Write("nomark.brn", brn);
  EXPECT_EQ(bench.resourceExport.ExportBrnFile(out.File("nomark.brn"), out.Text()), -1);
  EXPECT_EQ(bench.resourceExport.ExportBrnFile(out.File("missing.brn"), out.Text()), 2);
  EXPECT_EQ(bench.resourceExport.ExportBrnFile("", out.Text()), 2);
}

// The BRN file being exported is never an entry's file: it keeps every byte.
TEST_F(ResourceExportTest, AnEntryThatIsTheBrnFileItselfStopsTheWalk) {
  WriteSampleJob(SampleContent());
  out.Write("image.brn", firmware);
  out.Write("files.ini", "[FW]\nRes_0x100.res=image.brn\n");
  bench.resourceExport.ExportToFolder(out.File("image.brn"), out.Text());
  EXPECT_THAT(BoxTexts(), ElementsAre("Export file error, break!"));
  EXPECT_EQ(OutRead("image.brn"), firmware);
}

// A BRN file that ends inside its last entry: the entry's file, written in
// part, is taken away again through what created it (Windows: its handle).
TEST_F(ResourceExportTest, AnEntryCutShortByItsBrnFileIsNotLeftBehind) {
  WriteSampleJob(SampleContent());
  std::vector<std::uint8_t> cut = firmware;
  cut.erase(cut.end() - 700, cut.end() - 2);  // keeps the trailer
  out.Write("cut.brn", cut);
  std::filesystem::create_directories(out.Path() / "A");
  std::filesystem::create_directories(out.Path() / "B");
  EXPECT_EQ(bench.resourceExport.ExportBrnFile(out.File("cut.brn"), out.Text()), 0);
  EXPECT_THAT(BoxTexts(), ElementsAre("Export file error, break!"));
  EXPECT_EQ(OutRead("B/Res_0x80.res"), SampleContent().groupB[0].data);
  EXPECT_FALSE(std::filesystem::exists(out.Path() / "Res_0x100.res"));
}

#if !defined(_WIN32)
TEST_F(ResourceExportTest, AnEntryWrittenOnlyInPartIsNotLeftBehind) {
  WriteSampleJob(SampleContent());
  out.Write("image.brn", firmware);
  std::filesystem::create_directories(out.Path() / "A");
  std::filesystem::create_directories(out.Path() / "B");
  {
    // Room for the group entries, not for the 1500 bytes of the firmware's.
    test::DiskRoom full(1000);
    EXPECT_EQ(bench.resourceExport.ExportBrnFile(out.File("image.brn"), out.Text()), 0);
  }
  EXPECT_THAT(BoxTexts(), ElementsAre("Export file error, break!"));
  EXPECT_EQ(OutRead("B/Res_0x80.res"), SampleContent().groupB[0].data);
  EXPECT_FALSE(std::filesystem::exists(out.Path() / "Res_0x100.res"));
}
#endif

TEST_F(ResourceExportTest, CountsWhoseDirectoryEndsPast32BitsAreRefused) {
  // A directory of 430 million entries ends past 4 GiB, where no entry's 32-bit
  // offset can point; the file is sparse, so it costs no disk.
  BrnHeader header;
  header.countA = 430'000'000;
  const std::uint64_t endMark = 32 + 10 * EntryCount(header);
  const std::uint64_t size = endMark + 2 + 100;
  const std::filesystem::path big = out.Path() / "big.brn";
  const auto head = header.Encode();
  out.Write("big.brn", std::vector<std::uint8_t>(head.begin(), head.end()));
  std::error_code error;
  std::filesystem::resize_file(big, size, error);
  if (error) GTEST_SKIP() << "no sparse file of " << size << " bytes here";
  {
    std::fstream file(big, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(endMark));
    file.write("\x24\x6D", 2);
    file.seekp(static_cast<std::streamoff>(size - 2));
    file.write("\x7F\x7E", 2);
  }
  EXPECT_FALSE(bench.resourceExport.ExportToFolder(out.File("big.brn"), out.Text()));
  EXPECT_EQ(console.log.back(), "Export Resource Files Fail !!!");
  EXPECT_TRUE(prompts.Boxes().empty());
  EXPECT_TRUE(std::filesystem::is_empty(out.Path() / "A")) << "refused before any entry";
  std::filesystem::remove(big);
}

}  // namespace
}  // namespace bb

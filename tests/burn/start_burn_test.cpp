#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "common/control_ids.h"
#include "common/steps.h"
#include "support/burn_rig.h"

namespace bb {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class StartBurnTest : public ::testing::Test, protected test::BurnRig {
 protected:
  StartBurnTest() { WriteJob("", 1000); }
  std::string IniText() const {
    const std::vector<std::uint8_t> bytes = folder.Read("Isp.ini");
    return std::string(bytes.begin(), bytes.end());
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const MessageBoxRequest& box : prompts.Boxes()) texts.push_back(box.text);
    return texts;
  }
};

TEST_F(StartBurnTest, SilentModeWithAllFilesPresentStartsWithoutDialog) {
  controls.checked[kSilentModeCheck] = true;
  const std::string before = IniText();
  console.AddLogLine("from the last run");
  burn.StartBurn();
  EXPECT_THAT(Steps(), ElementsAre(kStepStart));
  EXPECT_EQ(window.job.WorkKind, kBurn);
  EXPECT_THAT(prompts.FileDialogsOpened(), IsEmpty());
  EXPECT_THAT(console.log, IsEmpty());
  EXPECT_EQ(IniText(), before) << "nothing is saved without a dialog";
  EXPECT_EQ(window.job.FwFile, folder.File("fw.bin"));
}

TEST_F(StartBurnTest, ReadVerifyAloneDecidesTheKindInSilentMode) {
  controls.checked[kSilentModeCheck] = true;
  controls.checked[kReadVerifyCheck] = true;
  burn.StartBurn();
  EXPECT_EQ(window.job.WorkKind, kBurnVerify);
}

TEST_F(StartBurnTest, SilentModeWithAMissingFileAsksThroughTheDialog) {
  controls.checked[kSilentModeCheck] = true;
  std::filesystem::remove(folder.Path() / "core.bin");
  prompts.ScriptFileDialog({true, false, std::nullopt});
  burn.StartBurn();
  EXPECT_EQ(prompts.FileDialogsOpened().size(), 1u);
  EXPECT_THAT(BoxTexts(), ElementsAre("Error Isp Files !!!", "Error Isp Files !!!"));
  EXPECT_THAT(console.log, ElementsAre("File(s) not found!"));
  EXPECT_THAT(Steps(), IsEmpty());
}

TEST_F(StartBurnTest, AConfirmedDialogSavesTheChosenPathsAndParamOnlyMakesAParameterRun) {
  const std::string otherFw = folder.Write("other.bin", std::string(10, 'x'));
  JobFileChoice chosen{folder.File("param.txt"), folder.File("core.bin"), otherFw, false};
  prompts.ScriptFileDialog({true, true, chosen});
  burn.StartBurn();
  const std::vector<JobFileChoice> opened = prompts.FileDialogsOpened();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].fwFile, folder.File("fw.bin")) << "the dialog opens with the job's paths";
  EXPECT_EQ(window.job.WorkKind, kParamOnly);
  EXPECT_TRUE(window.paramOnly);
  EXPECT_EQ(window.job.FwFile, otherFw);
  EXPECT_NE(IniText().find("FwFile=" + otherFw), std::string::npos);
  EXPECT_THAT(Steps(), ElementsAre(kStepStart));
}

TEST_F(StartBurnTest, ConfirmingWithoutParamOnlyBurns) {
  prompts.ScriptFileDialog({true, false, std::nullopt});
  controls.checked[kReadVerifyCheck] = true;
  burn.StartBurn();
  EXPECT_EQ(window.job.WorkKind, kBurnVerify);
  EXPECT_FALSE(window.paramOnly);
  EXPECT_NE(IniText().find("ParamFile=" + folder.File("param.txt")), std::string::npos);
}

TEST_F(StartBurnTest, ACancelledDialogChangesNothing) {
  const std::string before = IniText();
  prompts.ScriptFileDialog({false, true, std::nullopt});
  burn.StartBurn();
  EXPECT_THAT(Steps(), IsEmpty());
  EXPECT_EQ(IniText(), before);
  EXPECT_TRUE(window.paramOnly) << "the dialog's last check state is kept";
  EXPECT_TRUE(bus.Transcript().empty());
}

TEST_F(StartBurnTest, TheNextBurnClearsParamOnly) {
  prompts.ScriptFileDialog({true, true, std::nullopt});
  burn.StartBurn();
  controls.checked[kSilentModeCheck] = true;
  burn.StartBurn();
  EXPECT_FALSE(window.paramOnly);
  EXPECT_EQ(window.job.WorkKind, kBurn);
}

TEST_F(StartBurnTest, OnlyTheFirstMissingFileIsReported) {
  controls.checked[kSilentModeCheck] = true;
  for (const char* name : {"param.txt", "core.bin", "fw.bin"}) {
    std::filesystem::remove(folder.Path() / name);
  }
  prompts.ScriptFileDialog({true, false, std::nullopt});
  burn.StartBurn();
  EXPECT_THAT(BoxTexts(), ElementsAre("Error Parameter Files !!!", "Error Parameter Files !!!"));
  for (const MessageBoxRequest& box : prompts.Boxes()) {
    EXPECT_EQ(box.icon, BoxIcon::kExclamation);
    EXPECT_EQ(box.kind, BoxKind::kError);
    EXPECT_EQ(box.title, "Burnbench");
  }
}

}  // namespace
}  // namespace bb

// Numbered copies from a fake memory card: restarting numbers, sound memos,
// names already in the target folder, moving, and case-folding targets.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/tools/numbered_copies.h"
#include "command_fixture.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

class NumberedCopies : public CommandTest {
 protected:
  void Put(const std::string& Path, const std::string& Text) {
    std::filesystem::create_directories(std::filesystem::path(Path).parent_path());
    WriteText(Path, Text);
  }
  std::string Line(const std::string& Target, const std::string& Card, int32_t Mode) {
    return "COPYNUMBER TargetDir=\"" + Target + "\" FileMode=" + std::to_string(Mode) +
           " Comments=1 SourceMode=1 Dir=\"" + Card + "\" Subdirs=1 Sort1=1 OpenTarget=0";
  }
};

TEST_F(NumberedCopies, NamesAndRuns) {
  EXPECT_EQ(NumberedName(8, "DSC0001", FindNumberRun("DSC0001")), "DSC0008");
  EXPECT_EQ(NumberedName(10, "P9", FindNumberRun("P9")), "P10");
  EXPECT_EQ(NumberedName(1, "IMG", FindNumberRun("IMG")), "IMG-1");
  const TNumberRun r = FindNumberRun("a12b0345c");
  EXPECT_EQ(r.Start, 5);
  EXPECT_EQ(r.End, 8);
  EXPECT_EQ(r.Value, 345);
}

TEST_F(NumberedCopies, CardWithRestartingNumbersIntoAFilledFolder) {
  const std::string card = Dir + "card/", target = Dir + "target";
  Put(card + "DCIM/100/DSC0001.JPG", "a1");
  Put(card + "DCIM/100/DSC0001.WAV", "memo");
  Put(card + "DCIM/100/DSC0002.JPG", "a2");
  Put(card + "DCIM/101/DSC0001.JPG", "b1");
  Put(card + "DCIM/101/IMG.JPG", "img");
  for (int i = 1; i <= 3; ++i) Put(target + "/DSC000" + std::to_string(i) + ".JPG", "old" + std::to_string(i));

  ASSERT_TRUE(CommandTest::Line(Line(target, card, 0)));
  const std::string t = target + "/";
  EXPECT_EQ(ReadText(t + "DSC0004.JPG"), "a1");
  EXPECT_EQ(ReadText(t + "DSC0004.JPG.wav"), "memo");
  EXPECT_EQ(ReadText(t + "DSC0005.JPG"), "a2");
  EXPECT_EQ(ReadText(t + "DSC0006.JPG"), "b1");
  EXPECT_EQ(ReadText(t + "IMG-1.JPG"), "img");
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(ReadText(t + "DSC000" + std::to_string(i) + ".JPG"), "old" + std::to_string(i));
  EXPECT_TRUE(std::filesystem::exists(card + "DCIM/100/DSC0001.JPG"));  // copied, not moved

  // Moving the same card again continues after the copies.
  ASSERT_TRUE(CommandTest::Line(Line(target, card, 1)));
  EXPECT_EQ(ReadText(t + "DSC0007.JPG"), "a1");
  EXPECT_EQ(ReadText(t + "DSC0007.JPG.wav"), "memo");
  EXPECT_EQ(ReadText(t + "IMG-2.JPG"), "img");
  EXPECT_FALSE(std::filesystem::exists(card + "DCIM/100/DSC0001.JPG"));
  EXPECT_FALSE(std::filesystem::exists(card + "DCIM/100/DSC0001.WAV"));

  // Nothing left to copy: the message.
  ASSERT_TRUE(CommandTest::Line(Line(target, card, 0)));
  EXPECT_TRUE(ShownText(kNoFilesSelected));
}

TEST_F(NumberedCopies, LongerNumbersAndTwoSourcesOfOneName) {
  const std::string target = Dir + "t/";
  std::filesystem::create_directories(target);
  for (int i = 1; i <= 9; ++i) WriteText(target + "P" + std::to_string(i) + ".JPG", "x");
  WriteText(Dir + "P9.JPG", "new");
  TCopyPlan plan = PlanNumberedCopies({Dir + "P9.JPG"}, target, false, false);
  ASSERT_EQ(plan.Targets.size(), 1u);
  EXPECT_EQ(plan.Targets[0], target + "P10.JPG");
  plan = PlanNumberedCopies({Dir + "a/DSC0001.JPG", Dir + "b/DSC0001.JPG"}, Dir + "empty/", false, false);
  EXPECT_EQ(plan.Targets, (std::vector<std::string>{Dir + "empty/DSC0001.JPG", Dir + "empty/DSC0002.JPG"}));
}

TEST_F(NumberedCopies, CaseFoldingTargetsCollideOnCase) {
  const std::string target = Dir + "fold/";
  std::filesystem::create_directories(target);
  WriteText(target + "dsc0001.jpg", "old");
  EXPECT_EQ(PlanNumberedCopies({Dir + "DSC0001.JPG"}, target, false, true).Targets[0], target + "DSC0002.JPG");
  EXPECT_EQ(PlanNumberedCopies({Dir + "DSC0001.JPG"}, target, false, false).Targets[0], target + "DSC0001.JPG");
  EXPECT_FALSE(FolderFoldsCase(target));  // the scratch folder is on a case-sensitive file system
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target), {}), 1);  // the probe is gone
}

TEST_F(NumberedCopies, NeverOverwrites) {
  const std::string target = Dir + "n/";
  std::filesystem::create_directories(target);
  WriteText(Dir + "src.JPG", "new");
  WriteText(target + "taken.JPG", "old");
  TCopyPlan plan;
  plan.Sources = {Dir + "src.JPG"};
  plan.Targets = {target + "taken.JPG"};
  EXPECT_EQ(TransferFiles(plan, false), plan.Sources);
  EXPECT_EQ(TransferFiles(plan, true), plan.Sources);
  EXPECT_EQ(ReadText(target + "taken.JPG"), "old");
  EXPECT_EQ(ReadText(Dir + "src.JPG"), "new");
}

}  // namespace
}  // namespace kv

// Saving under generated names: the name rules, numbering past existing
// files, overwriting and skipping, the source picture left alone, and names
// reserved so that two savers never share one.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <string>

#include "app/layer/imager_layer.h"
#include "app/workflows/auto_save.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

class AutoSave : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Image = new timagerlayer(Form.get());
    Paint24(Image->Bitmap(), 12, 8, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 20), uint8_t(y * 30), 90}; });
    Image->PictureEdited();
    Dir = Folder.Path() + "/";
  }
  std::string Text(const std::string& More) const { return " Directory=\"" + Folder.Path() + "\"" + More; }
  void Touch(const std::string& Name, const std::string& Content = "x") { WriteText(Dir + Name, Content); }

  TScratchFolder Folder{"kvautosave"};
  std::string Dir;
  std::unique_ptr<TForm> Form;
  timagerlayer* Image = nullptr;
};

TEST_F(AutoSave, NamesFollowTheRules) {
  Touch("foto12.jpg");
  const std::string src = Dir + "foto12.jpg";
  const std::string other = "/elsewhere/Bild3.PNG";
  struct Case {
    std::string Source, Text;
    int32_t Number;
    std::string Name;
  } cases[] = {
      {other, Text(" Startfile=\"Urlaub\" Type=\"JPG\" KeepParams=0"), 7, Dir + "urlaub-7.jpg"},
      {other, Text(" Startfile=\"Urlaub\" Type=\"TIF\" KeepParams=0"), 2, Dir + "urlaub-2.tif"},
      {other, Text(""), 1, Dir + "unbenannt-1.png"},  // KeepParams is on when absent
      {other, Text(" KeepDirectory=1 KeepParams=0"), 4, "/elsewhere/unbenannt-4.jpg"},
      {other, Text(" KeepStartfile=1"), 4, Dir + "Bild3.png"},
      // The kept name exists: its digits and one "-" go, the number comes back.
      {src, Text(" KeepStartfile=1 Exists=0"), 3, Dir + "foto-3.jpg"},
      {src, Text(" KeepStartfile=1 Exists=1"), 3, Dir + "foto12.jpg"},
      // A picture never saved has no name to keep.
      {"", Text(" KeepStartfile=1 Type=\"PNG\" KeepParams=0"), 5, Dir + "unbenannt-5.png"},
  };
  for (const Case& c : cases) EXPECT_EQ(AutoSaveFileName(c.Source, c.Text, c.Number), c.Name) << c.Text;
}

TEST_F(AutoSave, NewNumberSkipsExistingFilesAndAdvances) {
  for (int i = 1; i <= 3; ++i) Touch("shot-" + IntToStr(i) + ".jpg");
  const std::string text = Text(" Startfile=\"Shot\" Type=\"JPG\" KeepParams=0 Exists=0 Quality=85");
  int32_t n = -1;  // starts at Startnumber (1 when absent)
  std::string saved;
  ASSERT_EQ(AutoSaveImage(*Image, text, n, &saved), asrSaved);
  EXPECT_EQ(saved, Dir + "shot-4.jpg");
  EXPECT_EQ(n, 5);
  EXPECT_EQ(ReadText(Dir + "shot-1.jpg"), "x");
  if (HaveTool("identify")) {
    EXPECT_EQ(RunCapture("identify -format '%m %wx%h %Q' '" + saved + "'"), "JPEG 12x8 85");
  }
}

TEST_F(AutoSave, OverwriteKeepsTheNumberAndSkipLeavesEverything) {
  Touch("a-2.png", "old");
  const std::string base = Text(" Startfile=\"A\" Type=\"PNG\" KeepParams=0");
  int32_t n = 2;
  ASSERT_EQ(AutoSaveImage(*Image, base + " Exists=1", n), asrSaved);
  EXPECT_EQ(n, 2);
  EXPECT_NE(ReadText(Dir + "a-2.png"), "old");
  Touch("a-2.png", "old");
  EXPECT_EQ(AutoSaveImage(*Image, base + " Exists=2", n), asrSkipped);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(ReadText(Dir + "a-2.png"), "old");
  // Nothing there: "nicht speichern" saves, and the number stays.
  ASSERT_EQ(AutoSaveImage(*Image, Text(" Startfile=\"B\" Type=\"PNG\" KeepParams=0 Exists=2"), n), asrSaved);
  EXPECT_TRUE(FileExists(Dir + "b-2.png"));
  EXPECT_EQ(n, 2);
}

TEST_F(AutoSave, OverwriteNeverHitsTheSourceUnlessSavingInPlace) {
  const std::string src = Dir + "foto-1.png";
  Image->SaveToFileByExtension(src);
  const std::string original = ReadText(src);
  Paint24(Image->Bitmap(), 12, 8, [](int32_t, int32_t) { return Gray(10); });
  Image->PictureEdited();
  int32_t n = 1;
  std::string saved;
  ASSERT_EQ(AutoSaveImage(*Image, Text(" Startfile=\"foto\" Exists=1"), n, &saved), asrSaved);
  EXPECT_EQ(saved, Dir + "foto-2.png");
  EXPECT_EQ(ReadText(src), original);
  // Folder, name and format all kept, and "Überschreiben": the user asked for exactly that.
  Image->IOParams().FileName = src;
  ASSERT_EQ(AutoSaveImage(*Image, " KeepDirectory=1 KeepStartfile=1 KeepParams=1 Exists=1", n, &saved), asrSaved);
  EXPECT_EQ(saved, src);
  EXPECT_NE(ReadText(src), original);
}

TEST_F(AutoSave, TwoSaversNeverShareANameAndAFailedSaveLeavesNoFile) {
  auto* second = new timagerlayer(Form.get());
  Paint24(second->Bitmap(), 4, 4, [](int32_t, int32_t) { return Gray(200); });
  second->PictureEdited();
  const std::string text = Text(" Startfile=\"P\" Type=\"BMP\" KeepParams=0");
  int32_t a = 1, b = 1;  // both believe number 1 is next
  std::string na, nb;
  AutoSaveImage(*Image, text, a, &na);
  AutoSaveImage(*second, text, b, &nb);
  EXPECT_NE(na, nb);
  EXPECT_EQ(nb, Dir + "p-2.bmp");
  // No writer for the kind: an error naming the file, and no empty file left.
  int32_t n = 1;
  EXPECT_THROW(AutoSaveImage(*Image, Text(" Startfile=\"Q\" Type=\"XYZ\" KeepParams=0"), n), EAutoSaveError);
  EXPECT_FALSE(FileExists(Dir + "q-1.xyz"));
  EXPECT_EQ(n, 1);
}

}  // namespace
}  // namespace kv

// Commands that make and close image windows: NEWIMAGE, OPEN, DUPLICATE,
// SEPERATECHANNELS, CLOSE and CLOSEALL with the save question answered by script.
#include "app/interpreter/interpreter.h"
#include "interpreter_fixture.h"
#include "platform/rtl/file_utils.h"
#include "support/outside_tools.h"

namespace kv::test {
namespace {

const TBGRPixel kBlack{0, 0, 0};
const TBGRPixel kRed{0, 0, 255};

using InterpreterWindows = InterpreterTest;

TEST_F(InterpreterWindows, NewImageDefaults) {
  ASSERT_TRUE(RunLine("NEWIMAGE"));
  Tchild* child = Active();
  ASSERT_NE(child, nullptr);
  timagerlayer& imager = *child->imager1;
  EXPECT_EQ(imager.Bitmap().Width(), 600);
  EXPECT_EQ(imager.Bitmap().Height(), 600);
  EXPECT_EQ(imager.Bitmap().PixelFormat(), pf24bit);
  EXPECT_EQ(PixelAt(imager, 0, 0), kBlack);
  EXPECT_EQ(PixelAt(imager, 599, 599), kBlack);
  EXPECT_EQ(imager.IOParams().DpiX, 600);
  EXPECT_EQ(imager.IOParams().DpiY, 600);
  EXPECT_EQ(imager.DpiX(), 600);
  EXPECT_TRUE(child->modified);
  EXPECT_EQ(child->Caption(), "!unbenannt1");
  RunLine("NEWIMAGE Width=3 Height=2 FillColor=255 Resolution=72");
  EXPECT_EQ(Active()->Caption(), "!unbenannt2");
  EXPECT_EQ(PixelAt(*Active()->imager1, 2, 1), kRed);
  EXPECT_EQ(Active()->imager1->IOParams().DpiX, 72);
}

TEST_F(InterpreterWindows, NewImageUnits) {
  struct TCase {
    const char* Params;
    int32_t W, H;
  } cases[] = {
      {"Width=50 vwidth=7 Height=10 vheight=7", 300, 60},
      {"Width=2 vwidth=1 Resolution=300 Height=1 vheight=1", 600, 300},
      {"Width=2.54 vwidth=2 Resolution=100 Height=10 vheight=0", 100, 10},
  };
  for (const TCase& c : cases) {
    RunLine(std::string("NEWIMAGE ") + c.Params);
    EXPECT_EQ(Active()->imager1->Bitmap().Width(), c.W) << c.Params;
    EXPECT_EQ(Active()->imager1->Bitmap().Height(), c.H) << c.Params;
  }
  (*Dialogs)->Answer(mrOk);
  EXPECT_THROW(RunLine("NEWIMAGE Width=0"), ECommandError);
  EXPECT_EQ(Windows(), 3);  // no empty window for a bad size
}

TEST_F(InterpreterWindows, OpenReadsAndConvertsTo24Bits) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick";
  const std::string file = Dir + "grey.png";
  test::Run("convert -size 5x4 xc:gray50 -type Grayscale -depth 8 '" + file + "'");
  ASSERT_TRUE(RunLine("OPEN FileName=\"" + file + "\""));
  Tchild* child = Active();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Caption(), file);
  EXPECT_EQ(child->imager1->Bitmap().PixelFormat(), pf24bit);
  EXPECT_EQ(child->imager1->Bitmap().Width(), 5);
  EXPECT_FALSE(child->modified);
}

TEST_F(InterpreterWindows, OpenOfUnreadableFileShowsMessageAndLeavesNoWindow) {
  WriteText(Dir + "broken.png", "this is no picture");
  // The message as it stands, and why on a line of its own.
  const std::pair<std::string, std::string> cases[] = {
      {Dir + "broken.png", "PNG-Kopf ist beschädigt"},
      {Dir + "missing.bmp", "Datei oder Ordner nicht gefunden"},
      {Dir + "strange.xyz", "\".xyz\""},
  };
  for (const auto& [name, reason] : cases) {
    Shown().clear();
    (*Dialogs)->Answer(mrOk);
    EXPECT_TRUE(RunLine("hidden open filename=\"" + name + "\"")) << name;
    ASSERT_EQ(Shown().size(), 1u) << name;
    const std::string first = "Kann Datei " + name + " nicht laden.\r";
    EXPECT_EQ(Shown()[0].Text.substr(0, first.size()), first);
    EXPECT_NE(Shown()[0].Text.find(reason, first.size()), std::string::npos) << Shown()[0].Text;
    EXPECT_EQ(Shown()[0].Type, mtError);
    EXPECT_EQ(Windows(), 0) << name;
  }
  EXPECT_EQ(Logged().Count(), 0);
}

TEST_F(InterpreterWindows, DuplicateCopiesTheImage) {
  RunLine("NEWIMAGE Width=4 Height=4 FillColor=255");
  Tchild* source = Active();
  source->modified = false;
  RunLine("DUPLICATE");
  Tchild* copy = Active();
  ASSERT_NE(copy, source);
  EXPECT_TRUE(copy->modified);
  EXPECT_EQ(copy->Caption(), "!unbenannt2");
  EXPECT_EQ(PixelAt(*copy->imager1, 3, 3), kRed);
}

TEST_F(InterpreterWindows, SeparateChannelsMakesOneWindowPerChannel) {
  RunLine("NEWIMAGE Width=3 Height=1 FillColor=255");  // red
  static_cast<TBGRPixel*>(Active()->imager1->Bitmap().ScanLine(0))[2] = TBGRPixel{255, 255, 255};
  Active()->SetCaption("bild");
  RunLine("SEPERATECHANNELS Model=\"cmyk\"");
  ASSERT_EQ(Windows(), 5);
  EXPECT_EQ(Active()->Caption(), "bild_C");
  const struct {
    const char* Caption;
    uint8_t Red, White;
  } expect[] = {{"bild_C", 0, 0}, {"bild_M", 255, 0}, {"bild_Y", 255, 0}, {"bild_K", 0, 0}};
  for (const auto& e : expect) {
    Tchild* channel = Form->findchild(e.Caption);
    ASSERT_NE(channel, nullptr) << e.Caption;
    EXPECT_EQ(PixelAt(*channel->imager1, 0, 0), (TBGRPixel{e.Red, e.Red, e.Red})) << e.Caption;
    EXPECT_EQ(PixelAt(*channel->imager1, 2, 0), (TBGRPixel{e.White, e.White, e.White})) << e.Caption;
  }
}

TEST_F(InterpreterWindows, CloseWithCancelKeepsTheWindow) {
  RunLine("NEWIMAGE Width=4 Height=4");
  (*Dialogs)->Answer(mrCancel);
  RunLine("CLOSE");
  EXPECT_TRUE(CancelFlag);
  EXPECT_EQ(Windows(), 1);
  (*Dialogs)->Answer(mrNo);
  RunLine("CLOSE");
  EXPECT_FALSE(CancelFlag);
  EXPECT_EQ(Windows(), 0);
  EXPECT_EQ(Shown().size(), 2u);
}

TEST_F(InterpreterWindows, CloseClosesTheWindowItAskedAbout) {
  RunLine("NEWIMAGE Width=4 Height=4");
  Tchild* asked = Active();
  asked->SetCaption("asked");
  RunLine("NEWIMAGE Width=4 Height=4");
  Tchild* active = Active();
  active->modified = false;
  Form->OverrideChild = asked;
  (*Dialogs)->Answer(mrNo);
  RunLine("CLOSE");
  Form->OverrideChild = nullptr;
  ASSERT_EQ(Windows(), 1);
  EXPECT_EQ(Form->MDIChildren(0), active);
}

TEST_F(InterpreterWindows, CloseAllStopsAtCancel) {
  for (int i = 0; i < 3; ++i) RunLine("NEWIMAGE Width=4 Height=4");
  (*Dialogs)->Answer(mrNo);
  (*Dialogs)->Answer(mrCancel);
  RunLine("CLOSEALL");
  EXPECT_TRUE(CancelFlag);
  EXPECT_EQ(Windows(), 2);
  EXPECT_EQ(Shown().size(), 2u);
  // Without changes nothing is asked and all go.
  for (int i = 0; i < Form->MDIChildCount(); ++i) dynamic_cast<Tchild*>(Form->MDIChildren(i))->modified = false;
  RunLine("CLOSEALL");
  EXPECT_FALSE(CancelFlag);
  EXPECT_EQ(Windows(), 0);
}

}  // namespace
}  // namespace kv::test

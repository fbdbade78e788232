// Tool lines: the tools this build lacks fail loudly, a tool line with bad input
// fails with the line, QUIT closes the main window.
#include <gtest/gtest.h>

#include "command_fixture.h"
#include "support/temp_files.h"
#include "platform/ui/screen_grab.h"

namespace kv {
namespace {

using namespace kv::test;

class ToolCommands : public CommandTest {};

TEST_F(ToolCommands, ToolLinesWithMissingFilesFail) {
  MakeChild(8, 8, Pattern);
  Form->OverrideChild = nullptr;
  const int32_t windows = Windows();
  WriteText(Dir + "bad.asc", "Named object: \"x\"\nTri-mesh, Vertices: 1     Faces: 1\nVertex 0: X:0 Y:0 Z:0\nFace 0: A:0 B:0 C:5 AB:1 BC:1 CA:1\n");
  for (const std::string& line : {std::string("MAKE3D left=\"a.jpg\" right=\"b.jpg\""), std::string("GETLEFTRIGHT Pic3D=\"a.jps\""),
                                 "MESH Width=50 filename=\"" + Dir + "bad.asc\"", std::string("MESH Width=50 filename=\"none.asc\"")}) {
    EXPECT_FALSE(Line(line)) << line;
    EXPECT_TRUE(FailureShown(line)) << line;
  }
  EXPECT_EQ(Windows(), windows);  // no empty window is left behind
}

TEST_F(ToolCommands, NewClipboardMakesAnImageOfTheClipboardsPicture) {
  Form->Show();
  const int32_t windows = Form->MDIChildCount();
  ASSERT_TRUE(RunLine("NEWIMAGE Width=7 Height=5 FillColor=255"));
  ASSERT_TRUE(RunLine("COPY"));
  ASSERT_TRUE(RunLine("NEWCLIPBOARD"));
  ASSERT_EQ(Form->MDIChildCount(), windows + 2);
  TBitmap& b = Form->getimager()->Bitmap();
  ASSERT_EQ(b.Width(), 7);
  ASSERT_EQ(b.Height(), 5);
  EXPECT_EQ(PixelAt(*Form->getimager(), 6, 4), (TBGRPixel{0, 0, 255}));
}

// The offscreen screen shows nothing worth comparing: the sizes tell.
TEST_F(ToolCommands, ScreenshotOfTheDesktopOrOfAWindow) {
  Form->SetBounds(10, 10, 500, 400);
  Form->Show();
  Application->ProcessMessages();
  const TRect desktop = GetWindowRect(GetDesktopWindow());
  ASSERT_GT(desktop.Width(), 0);
  const int32_t windows = Form->MDIChildCount();
  ASSERT_TRUE(RunLine("SCREENSHOT"));
  ASSERT_EQ(Form->MDIChildCount(), windows + 1);
  EXPECT_EQ(Form->getimager()->Bitmap().Width(), desktop.Width());
  EXPECT_EQ(Form->getimager()->Bitmap().Height(), desktop.Height());

  const TRect window = GetWindowRect(Form->Handle());
  ASSERT_TRUE(RunLine("SCREENSHOT Window=" + std::to_string(Form->Handle())));
  ASSERT_EQ(Form->MDIChildCount(), windows + 2);
  EXPECT_EQ(Form->getimager()->Bitmap().Width(), window.Width());
  EXPECT_EQ(Form->getimager()->Bitmap().Height(), window.Height());

  const std::string none = "SCREENSHOT Window=12345";
  EXPECT_FALSE(Line(none));
  EXPECT_TRUE(FailureShown(none));
  EXPECT_EQ(Form->MDIChildCount(), windows + 2);
}

TEST_F(ToolCommands, QuitClosesTheMainWindow) {
  Form->Show();
  ASSERT_TRUE(Form->Visible());
  ASSERT_TRUE(RunLine("QUIT"));
  Application->ProcessMessages();
  EXPECT_FALSE(Form->Visible());
}

}  // namespace
}  // namespace kv

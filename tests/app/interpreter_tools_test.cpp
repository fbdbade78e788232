// Tool lines: the tools this build lacks fail loudly, QUIT closes the main window.
#include <gtest/gtest.h>

#include "command_fixture.h"
#include "platform/ui/screen_grab.h"

namespace kv {
namespace {

using namespace kv::test;

class ToolCommands : public CommandTest {};

TEST_F(ToolCommands, MissingToolsFailInsteadOfDoingNothing) {
  MakeChild(8, 8, Pattern);
  for (const char* line : {"MAKE3D left=\"a.jpg\" right=\"b.jpg\"", "GETLEFTRIGHT Pic3D=\"a.jps\"", "MESH Width=50",
                           "SLIDESHOW", "SHOWMESHDEMO", "MOSAIC", "COPYNUMBER", "STUCKPIXEL", "JPGTRAFO", "OPTIONS",
                           "SCANOPTIONS ScanButton=1"}) {
    EXPECT_FALSE(Line(line)) << line;
    EXPECT_TRUE(FailureShown(line)) << line;
  }
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

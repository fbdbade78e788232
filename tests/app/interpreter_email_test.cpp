// EMAIL hands the current image to the desktop's mailer; a fake xdg-email
// first on PATH writes down what it was given.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "command_fixture.h"
#include "platform/rtl/file_utils.h"
#include "support/outside_tools.h"

namespace kv {
namespace {

using namespace kv::test;

class EmailCommand : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    const char* path = std::getenv("PATH");
    OldPath = path ? path : "/usr/bin:/bin";
    std::filesystem::create_directories(Dir + "bin");
    setenv("PATH", (Dir + "bin:" + OldPath).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", OldPath.c_str(), 1);
    CommandTest::TearDown();
  }
  // The fake mailer: one argument a line, then the exit code.
  void FakeMailer(int ExitCode) {
    const std::string script = Dir + "bin/xdg-email";
    WriteText(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + Dir + "mail.txt'\nexit " +
                          std::to_string(ExitCode) + "\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
  }
  std::string MailArgs() { return ReadText(Dir + "mail.txt"); }

  std::string OldPath;
};

TEST_F(EmailCommand, AnUnsavedImageGoesAsAJpegCopy) {
  FakeMailer(0);
  Tchild& child = MakeChild(30, 20, Pattern);
  ASSERT_TRUE(RunLine("EMAIL TO=\"a@example.org\" SUBJECT=\"Ein Bild\" TEXT=\"Hallo Welt\""));
  const std::string copy = Dir + "Cache/kavrtmp.jpg";
  EXPECT_EQ(MailArgs(), "--utf8\n--subject\nEin Bild\n--body\nHallo Welt\n--attach\n" + copy + "\na@example.org\n");
  if (HaveTool("identify")) {
    EXPECT_EQ(RunCapture("identify -format '%m %w %h' '" + copy + "'"), "JPEG 30 20");
  }
  EXPECT_TRUE(FileExists(copy));
  EXPECT_EQ(child.imager1->IOParams().FileName, "");  // the image keeps no name of the copy
}

TEST_F(EmailCommand, ASavedImageGoesAsItsFile) {
  FakeMailer(0);
  Tchild& child = MakeChild(4, 4, Pattern);
  WriteText(Dir + "bild.png", "x");
  child.imager1->IOParams().FileName = Dir + "bild.png";
  ASSERT_TRUE(RunLine("EMAIL TO=\"a@example.org\""));
  EXPECT_NE(MailArgs().find("--attach\n" + Dir + "bild.png\n"), std::string::npos);
  EXPECT_FALSE(FileExists(Dir + "Cache/kavrtmp.jpg"));
}

TEST_F(EmailCommand, AMailerThatFailsOrNoImageFailsTheLine) {
  FakeMailer(0);
  EXPECT_FALSE(Line("EMAIL"));
  EXPECT_FALSE(FileExists(Dir + "mail.txt"));

  FakeMailer(3);
  MakeChild(4, 4, Pattern);
  EXPECT_FALSE(Line("EMAIL TO=\"a@example.org\""));
  EXPECT_TRUE(FailureShown("EMAIL TO=\"a@example.org\""));
}

}  // namespace
}  // namespace kv

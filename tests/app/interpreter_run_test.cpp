// The run of one line: prefixes, logging, unknown keywords, the failure
// message and the undo points commands leave behind.
#include "app/interpreter/interpreter.h"
#include "platform/ui/std_controls.h"
#include "interpreter_fixture.h"

namespace kv::test {
namespace {

const TBGRPixel kRed{0, 0, 255};
const TBGRPixel kWhite{255, 255, 255};

TEST_F(InterpreterTest, EmptyLineReturnsTrueAndLogsNothing) {
  EXPECT_TRUE(RunLine(""));
  EXPECT_EQ(Logged().Count(), 0);
  EXPECT_TRUE(Shown().empty());
}

// CLEAR fills with the control's background, so whether the line ran shows in a pixel.
TEST_F(InterpreterTest, PrefixesDecideLoggingAndRunning) {
  struct TCase {
    const char* Line;
    bool Runs;
    const char* Logged;  // nullptr: nothing logged
  } cases[] = {
      {"Clear", true, "Clear"},
      {"hidden clear", true, nullptr},
      {"HIDDEN CLEAR", true, nullptr},
      {"ALREADYDONE CLEAR", false, "CLEAR"},
      {"alreadydone Clear", false, "Clear"},
  };
  for (const TCase& c : cases) {
    Logged().Clear();
    Tchild* child = OverrideChild(4, 3, kRed);
    child->imager1->SetBackground(clWhite);
    EXPECT_TRUE(RunLine(c.Line)) << c.Line;
    EXPECT_EQ(PixelAt(*child->imager1, 3, 2), c.Runs ? kWhite : kRed) << c.Line;
    EXPECT_EQ(child->modified, c.Runs) << c.Line;
    if (c.Logged) {
      ASSERT_EQ(Logged().Count(), 1) << c.Line;
      EXPECT_EQ(Logged().Strings(0), c.Logged);
    } else {
      EXPECT_EQ(Logged().Count(), 0) << c.Line;
    }
  }
}

TEST_F(InterpreterTest, UnknownKeywordIsLoggedAndHarmless) {
  Tchild* child = OverrideChild(2, 2, kRed);
  EXPECT_TRUE(RunLine("FROBNICATE Width=3"));
  ASSERT_EQ(Logged().Count(), 1);
  EXPECT_EQ(Logged().Strings(0), "FROBNICATE Width=3");
  EXPECT_EQ(PixelAt(*child->imager1, 1, 1), kRed);
  EXPECT_FALSE(child->modified);
  EXPECT_TRUE(Shown().empty());
}

TEST_F(InterpreterTest, FailingLineShowsTheLineOnceAndRaises) {
  const std::string line = "Effect Name=\"Invert\" Param1=\"0\"";
  (*Dialogs)->Answer(mrOk);
  EXPECT_THROW(RunLine(line), Exception);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].Text, CommandFailedMessage(line));
  EXPECT_NE(Shown()[0].Text.find("\r\r" + line + "\r\r"), std::string::npos);
  // The failing line was logged before it ran; the next line runs normally.
  ASSERT_EQ(Logged().Count(), 1);
  EXPECT_EQ(Logged().Strings(0), line);
  EXPECT_TRUE(RunLine("HIDDEN NOSUCHCOMMAND"));
  EXPECT_EQ(Shown().size(), 1u);
}

TEST_F(InterpreterTest, PrefixedFailureReportsTheLineAsReceived) {
  (*Dialogs)->Answer(mrOk);
  EXPECT_THROW(RunLine("hidden clear"), ECommandError);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].Text, CommandFailedMessage("hidden clear"));
}

// The end-of-command steps reset the progress bar; a command that returns skips them.
TEST_F(InterpreterTest, EndOfCommandStepsUnlessTheCommandReturns) {
  if (!Form->ProgressBar1) Form->ProgressBar1 = new TProgressBar(Form.get());
  struct TCase {
    const char* Line;
    int32_t Position;
  } cases[] = {
      {"UNKNOWNWORD", 0},
      {"ALREADYDONE TEXTCOMMENT Name=\"x\"", 0},
      {"TEXTCOMMENT Name=\"x\"", 50},  // no text list: returns at once
      {"", 50},
  };
  for (const TCase& c : cases) {
    Form->ProgressBar1->SetPosition(50);
    EXPECT_TRUE(RunLine(c.Line)) << c.Line;
    EXPECT_EQ(Form->ProgressBar1->Position(), c.Position) << c.Line;
  }
}

// Each undo point is one step back; the undo position returns to the live image.
TEST_F(InterpreterTest, UndoPointsAcrossCommands) {
  Tchild* child = OverrideChild(6, 4, kRed);
  timagerlayer& imager = *child->imager1;
  imager.SetBackground(clWhite);
  RunLine("CLEAR");
  RunLine("RESIZE Width=3 Height=2 Resample=1");
  EXPECT_EQ(imager.Bitmap().Width(), 3);
  EXPECT_EQ(imager.UndoPosition(), -1);
  ASSERT_TRUE(imager.CanUndo());
  imager.Undo();
  EXPECT_EQ(imager.Bitmap().Width(), 6);
  EXPECT_EQ(PixelAt(imager, 5, 3), kWhite);
  imager.Undo();
  EXPECT_EQ(PixelAt(imager, 5, 3), kRed);
  imager.Redo();
  imager.Redo();
  EXPECT_EQ(imager.Bitmap().Width(), 3);
}

}  // namespace
}  // namespace kv::test

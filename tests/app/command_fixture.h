// The interpreter's test window for the editing, drawing, scanner and tool
// lines: the program and settings folders in the scratch folder, and dialogs
// that nobody queued an answer for answered with Cancel and recorded (these
// lines show messages of their own besides the failure message).
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/interpreter/interpreter.h"
#include "interpreter_fixture.h"
#include "platform/system/paths.h"

namespace kv::test {

class CommandTest : public InterpreterTest {
 protected:
  void SetUp() override {
    InterpreterTest::SetUp();
    setenv("XDG_CONFIG_HOME", (Dir + "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (Dir + "data").c_str(), 1);
    SetProgramFolder(Dir);
    SetUserDataFolder(Dir);
    (*Dialogs)->OnUnexpected = [](const std::string&) {};
  }
  void TearDown() override {
    InterpreterTest::TearDown();
    SetProgramFolder("");
    SetUserDataFolder("");
  }

  // A new image window of W x H painted by Colour, made the target of commands.
  Tchild& MakeChild(int32_t W, int32_t H, const TPixelAt& Colour) {
    Tchild* child = OverrideChild(W, H, TBGRPixel{});
    child->imager1->SetSelectionBase(imsbBitmap);
    Fill24(child->imager1->Bitmap(), Colour);
    child->imager1->Update();
    return *child;
  }
  TBitmap& Bmp() { return Form->getimager()->Bitmap(); }
  // Pixel (X, Y) of the current image.
  TBGRPixel At(int32_t X, int32_t Y) { return PixelAt(*Form->getimager(), X, Y); }

  // Runs a line; false when it raised.
  bool Line(const std::string& L) {
    try {
      RunLine(L);
      return true;
    } catch (const Exception&) {
      return false;
    }
  }
  // Whether a dialog with exactly that text was shown.
  bool ShownText(const std::string& Text) {
    for (const TDialogRequest& r : Shown())
      if (r.Text == Text) return true;
    return false;
  }
  // A message whose first line is Text, with a reason on the lines below.
  bool ShownWithReason(const std::string& Text) {
    for (const TDialogRequest& r : Shown())
      if (r.Text.size() > Text.size() + 1 && r.Text.compare(0, Text.size() + 1, Text + "\r") == 0) return true;
    return false;
  }
  // Whether the failure message was shown for that line.
  bool FailureShown(const std::string& L) { return ShownText(CommandFailedMessage(L)); }
};

// A picture where every pixel differs from its neighbours.
inline TBGRPixel Pattern(int32_t X, int32_t Y) {
  return TBGRPixel{uint8_t(X * 7 + Y), uint8_t(Y * 11 + 3), uint8_t(X * 3 + Y * 5 + 40)};
}

}  // namespace kv::test

// A main window with image windows for running command lines in tests: the
// program and settings folders in a scratch folder, dialogs answered by
// script (a dialog nobody expected is answered with Cancel and recorded).
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "app/child/child_window.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "platform/graphics/bitmap.h"
#include "platform/system/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"
#include "support/temp_files.h"

namespace kv::test {

class CommandTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    setenv("XDG_CONFIG_HOME", (Dir + "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (Dir + "data").c_str(), 1);
    SetProgramFolder(Dir);
    EnsureQtApplication();
    Dialogs.emplace();
    (*Dialogs)->OnUnexpected = [](const std::string&) {};
    Form = std::make_unique<Tform1>(nullptr);
  }
  void TearDown() override {
    Form.reset();
    Dialogs.reset();
    SetProgramFolder("");
    TTempFolderTest::TearDown();
  }

  // A new image window of W x H, painted by Colour, made the target of commands.
  Tchild& MakeChild(int32_t W, int32_t H, const TPixelAt& Colour) {
    auto* child = new Tchild(Form.get());
    if (!child->imager1) {
      child->imager1 = new timagerlayer(child);
      child->imager1->SetParent(child);
      child->imager1->SetBounds(0, 0, 200, 200);
    }
    child->imager1->SetSelectionBase(imsbBitmap);
    Paint24(child->imager1->Bitmap(), W, H, Colour);
    child->imager1->Update();
    Form->OverrideChild = child;
    return *child;
  }
  TBitmap& Bmp() { return Form->getimager()->Bitmap(); }

  // Runs a line; false when it raised.
  bool Line(const std::string& L) {
    try {
      Form->interpreter(Form.get(), L);
      return true;
    } catch (const Exception&) {
      return false;
    }
  }
  // Whether a dialog with exactly that text was shown.
  bool ShownText(const std::string& Text) {
    for (const TDialogRequest& r : (*Dialogs)->Shown)
      if (r.Text == Text) return true;
    return false;
  }

  std::optional<TScriptedDialogsScope> Dialogs;
  std::unique_ptr<Tform1> Form;
};

// Pixel (X, Y) of a pf24bit bitmap.
inline TBGRPixel PixelAt(TBitmap& B, int32_t X, int32_t Y) { return static_cast<TBGRPixel*>(B.ScanLine(Y))[X]; }

// A picture where every pixel differs from its neighbours.
inline TBGRPixel Pattern(int32_t X, int32_t Y) {
  return TBGRPixel{uint8_t(X * 7 + Y), uint8_t(Y * 11 + 3), uint8_t(X * 3 + Y * 5 + 40)};
}

}  // namespace kv::test

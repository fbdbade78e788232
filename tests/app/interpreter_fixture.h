// A main window whose interpreter runs lines on offscreen image windows, with
// dialogs answered by script and the logged lines recorded.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/batch/batch_recorder.h"
#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "imaging/formats/gif_lzw.h"
#include "main_window_fixture.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "support/bitmap_patterns.h"

namespace kv::test {

class InterpreterTest : public TMainWindowTest {
 protected:
  void SetUp() override {
    TMainWindowTest::SetUp();
    InstallGifLzwHooks();  // the main window installs them at start in the program
    Dialogs = std::make_unique<TScriptedDialogsScope>();
    (*Dialogs)->OnUnexpected = [](const std::string& Problem) { ADD_FAILURE() << "unexpected dialog: " << Problem; };
    ShowMainWindow(900, 700);
    Form->Recorder().SetState(rsRecording);
  }
  void TearDown() override {
    // The window goes before the scripted dialogs it may still ask.
    Form.reset();
    Pump();
    Dialogs.reset();
    TMainWindowTest::TearDown();
  }

  // An image window given to the interpreter as the override child, W x H in one colour.
  Tchild* OverrideChild(int32_t W, int32_t H, TBGRPixel Colour) {
    Tchild* child = Form->newwindow();
    child->imager1->SetUndoLimit(10);
    Paint24(child->imager1->Bitmap(), W, H, [Colour](int32_t, int32_t) { return Colour; });
    child->imager1->PictureEdited();
    Form->OverrideChild = child;
    return child;
  }
  static TBGRPixel PixelAt(timagerlayer& Imager, int32_t X, int32_t Y) {
    return static_cast<const TBGRPixel*>(Imager.Bitmap().ScanLine(Y))[X];
  }

  int32_t Windows() {
    Pump();
    return Form->MDIChildCount();
  }
  Tchild* Active() { return dynamic_cast<Tchild*>(Form->ActiveMDIChild()); }

  bool RunLine(const std::string& Line) { return Form->interpreter(Form.get(), Line); }
  TStringList& Logged() { return Form->Recorder().Recording(); }
  std::vector<TDialogRequest>& Shown() { return (*Dialogs)->Shown; }

  std::unique_ptr<TScriptedDialogsScope> Dialogs;
};

}  // namespace kv::test

// Shared pieces of the image-window tests: a shown main window with image
// windows in its client area, mouse messages in window coordinates and a
// recorder of the command lines a window produces.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/child/child_window.h"
#include "app/child/drawing_options.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "main_window_fixture.h"
#include "platform/ui/application.h"
#include "platform/ui/menus.h"
#include "support/bitmap_patterns.h"

namespace kv::test {

class TChildWindowTest : public TMainWindowTest {
 protected:
  void SetUp() override {
    TMainWindowTest::SetUp();
    Main = &ShowMainWindow(900, 700);
  }
  void TearDown() override {
    Main = nullptr;
    TMainWindowTest::TearDown();
    drawingtool = dtZoom;
  }
  // A new image window with a W x H picture of one gray level, zoom 100.
  Tchild* NewImage(int32_t W, int32_t H, uint8_t Level = 128) {
    Tchild* c = Main->newwindow();
    c->SetCaption(Main->givenoname());
    Paint24(c->imager1->Bitmap(), W, H, [Level](int32_t, int32_t) { return Gray(Level); });
    c->imager1->PictureEdited();
    c->imager1->Update();
    Pump();
    return c;
  }
  // The drawing tool as the user picks it.
  void SetTool(int32_t Tool) {
    drawingtool = uint8_t(Tool);
    if (TMenuItem* m = Main->Mauszeiger1)
      for (int32_t i = 0; i < m->Count(); ++i) m->Items(i)->SetChecked(i == Tool);
  }
  // Records every line and plays the interpreter's part of the drawing state.
  void Record(Tchild& C) {
    C.OnCommand = [this](Tchild& Child, const std::string& Line) {
      Lines.push_back(Line);
      QuietSeen.push_back(Main->Quiet);
      if (Line.rfind("StartDrawing", 0) == 0 && drawingtool >= dtDraw) {
        const TPoint p{Child.imager1->XScr2Bmp(LastX), Child.imager1->YScr2Bmp(LastY)};
        Child.rightbutton = Line.find("RightMouseButton=1") != std::string::npos;
        Child.shapestarted = true;
        Child.freehand = drawingtool == dtDraw || drawingtool == dtRedEye || drawingtool == dtCopypaint;
        Child.origin = Child.lastpoint = p;
      } else if (Line.rfind("DrawFinish", 0) == 0) {
        Child.DrawShape(Child.origin, TPoint{Child.imager1->XScr2Bmp(LastX), Child.imager1->YScr2Bmp(LastY)}, pmCopy);
      }
      return true;
    };
  }
  void Down(Tchild& C, int32_t X, int32_t Y, bool Right = false) {
    LastX = X, LastY = Y;
    C.imager1->Perform(Right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, Right ? 0x0002 : MK_LBUTTON, LPARAM(MakeLong(X, Y)));
  }
  void Move(Tchild& C, int32_t X, int32_t Y) {
    LastX = X, LastY = Y;
    C.imager1->Perform(WM_MOUSEMOVE, MK_LBUTTON, LPARAM(MakeLong(X, Y)));
  }
  void Up(Tchild& C, int32_t X, int32_t Y, bool Right = false) {
    LastX = X, LastY = Y;
    C.imager1->Perform(Right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, LPARAM(MakeLong(X, Y)));
  }

  Tform1* Main = nullptr;
  std::vector<std::string> Lines;
  std::vector<bool> QuietSeen;
  int32_t LastX = 0, LastY = 0;
};

}  // namespace kv::test

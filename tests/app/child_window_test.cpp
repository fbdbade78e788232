// The image window inside the main window: creation and naming, the close
// question, the command lines of a press, drag and release, the status line
// and rulers, fitting and duplicating.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/helpers/size_units.h"
#include "child_test_support.h"
#include "imaging/views/ruler_box.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/file_utils.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/status_bar.h"

namespace kv {
namespace {

class ChildWindow : public test::TChildWindowTest {
 protected:
  // The next save dialog chooses Name.
  static void SaveAs(const std::string& Name) {
    AnswerFileDialog([Name](TFileDialogSession& S) {
      S.SetFileNameText(Name);
      S.PressOK();
    });
  }
};

TEST_F(ChildWindow, NewWindowIsTheActiveChildWithItsImageFillingTheRest) {
  Tchild* a = NewImage(50, 40);
  Tchild* b = NewImage(50, 40);
  EXPECT_EQ(Main->MDIChildCount(), 2);
  EXPECT_EQ(Main->ActiveMDIChild(), b);
  EXPECT_EQ(Main->MDIChildren(1), a);
  EXPECT_EQ(b->imager1->IOParams().FileName, "");
  EXPECT_TRUE(b->Visible());
  // The image control takes what the rulers and the status line leave.
  EXPECT_EQ(b->imager1->Width(), b->ClientWidth() - b->RulerBox2->Width());
  EXPECT_EQ(b->imager1->Height(), b->ClientHeight() - b->RulerBox1->Height() - b->StatusBar1->Height());
  EXPECT_EQ(b->StatusBar1->Top() + b->StatusBar1->Height(), b->ClientHeight());
  EXPECT_LT(b->RulerBox1->Top(), b->StatusBar1->Top());
  EXPECT_FALSE(b->imager1->AutoUndo());
  EXPECT_EQ(b->refpoint.X, -1);
  EXPECT_EQ(b->HelpFile, "Kavrelin.hlp");
  Main->Next();
  EXPECT_EQ(Main->ActiveMDIChild(), a);
}

TEST_F(ChildWindow, RulersAndStatusLineFollowTheViewToggles) {
  ASSERT_TRUE(Main->Lineal1 && Main->Statusleiste1);
  Main->Lineal1->SetChecked(false);
  Main->Statusleiste1->SetChecked(true);
  Tchild* c = NewImage(20, 20);
  EXPECT_FALSE(c->RulerBox1->Visible());
  EXPECT_FALSE(c->RulerBox2->Visible());
  EXPECT_TRUE(c->StatusBar1->Visible());
  EXPECT_EQ(c->imager1->Width(), c->ClientWidth());
}

TEST_F(ChildWindow, UnsavedImagesAreNumberedAfterTheHighestNumber) {
  std::vector<Tchild*> c;
  for (int i = 0; i < 3; ++i) c.push_back(NewImage(10, 10));
  EXPECT_EQ(c[0]->Caption(), "!unbenannt1");
  EXPECT_EQ(c[2]->Caption(), "!unbenannt3");
  c[1]->Close();  // unmodified: no question
  EXPECT_EQ(Main->MDIChildCount(), 2);
  EXPECT_EQ(Main->givenoname(), "!unbenannt4");
  Pump();
  // Captions compare in lower case; a tail that is not a number counts 0.
  c[0]->SetCaption("!Unbenannt7");
  c[2]->SetCaption("!unbenannt12.jpg");
  EXPECT_EQ(Main->givenoname(), "!unbenannt8");
  c[0]->SetCaption("bild.jpg");
  EXPECT_EQ(Main->givenoname(), "!unbenannt1");
}

TEST_F(ChildWindow, FindsImageWindowsByCaption) {
  NewImage(10, 10)->SetCaption("a.jpg");
  NewImage(10, 10)->SetCaption("b.png");
  TStringList captions;
  captions.Add("stale");
  Main->childcaptions(captions);
  ASSERT_EQ(captions.Count(), 2);
  EXPECT_EQ(captions.Strings(0), "b.png");
  EXPECT_EQ(captions.Strings(1), "a.jpg");
  EXPECT_EQ(Main->findchild("a.jpg")->Caption(), "a.jpg");
  EXPECT_EQ(Main->findchild("A.JPG"), nullptr);
}

TEST_F(ChildWindow, CloseQuestionAnswers) {
  struct TCase {
    TModalResult Answer;
    bool Closed;
    bool Cancelled;
  };
  for (const TCase& t : {TCase{mrYes, true, false}, TCase{mrNo, true, false}, TCase{mrCancel, false, true}}) {
    Tchild* c = NewImage(10, 10);
    c->modified = true;
    TScriptedDialogsScope dialogs;
    dialogs->Answer(t.Answer);
    // Yes saves the untitled picture under the name chosen in the save dialog.
    const std::string saved = Dir + "saved" + std::to_string(int(t.Answer)) + ".bmp";
    if (t.Answer == mrYes) SaveAs(saved);
    const std::string asked = "Möchten Sie die Änderungen in der Datei " + c->Caption() + " speichern?";
    c->Perform(WM_CLOSE);  // the close button
    ASSERT_EQ(dialogs->Shown.size(), 1u);
    EXPECT_EQ(dialogs->Shown[0].Text, asked);
    EXPECT_EQ(dialogs->Shown[0].Type, mtConfirmation);
    EXPECT_TRUE(dialogs->Shown[0].Buttons == mbYesNoCancel);
    EXPECT_EQ(Main->findchild(c->Caption()) == nullptr, t.Closed) << t.Answer;
    EXPECT_EQ(CancelFlag, t.Cancelled) << t.Answer;
    EXPECT_EQ(FileExists(saved), t.Answer == mrYes) << t.Answer;
    Pump();
    if (!t.Closed) {
      c->modified = false;
      c->Close();
      Pump();
    }
    EXPECT_EQ(Main->MDIChildCount(), 0);
  }
}

TEST_F(ChildWindow, UnmodifiedWindowClosesWithoutAQuestion) {
  Tchild* c = NewImage(10, 10);
  TScriptedDialogsScope dialogs;
  c->Perform(WM_CLOSE);
  EXPECT_TRUE(dialogs->Shown.empty());
  EXPECT_EQ(Main->MDIChildCount(), 0);
  Pump();
}

TEST_F(ChildWindow, ASaveThatDidNotHappenKeepsTheWindow) {
  Tchild* c = NewImage(10, 10);
  c->modified = true;
  TScriptedDialogsScope dialogs;
  // Yes, then the save dialog is cancelled: the window stays, the close is cancelled.
  dialogs->Answer(mrYes);
  AnswerFileDialog([](TFileDialogSession& S) { S.PressCancel(); });
  EXPECT_FALSE(c->myclose());
  EXPECT_TRUE(CancelFlag);
  EXPECT_TRUE(c->modified);
  // Yes with a save that happens; the flag is stale from the earlier question and cleared before asking.
  dialogs->Answer(mrYes);
  SaveAs(Dir + "kept.bmp");
  EXPECT_TRUE(c->myclose());
  EXPECT_FALSE(CancelFlag);
  EXPECT_TRUE(FileExists(Dir + "kept.bmp"));
  EXPECT_EQ(dialogs->Shown.size(), 2u);
}

TEST_F(ChildWindow, PressDragAndReleaseOfAShapeToolGiveTheirLines) {
  Tchild* c = NewImage(100, 80);
  Record(*c);
  SetTool(dtRectangle);
  const int32_t sx = c->imager1->XBmp2Scr(10), sy = c->imager1->YBmp2Scr(20);
  Down(*c, sx, sy);
  Move(*c, sx + 15, sy + 5);
  Move(*c, sx + 30, sy + 10);
  Up(*c, sx + 30, sy + 10);
  ASSERT_EQ(Lines.size(), 2u);
  EXPECT_EQ(Lines[0],
            "StartDrawing ForeGround=16777215 BackGround=0 FillStyle=0 LineStyle=0 Linewidth=1 PenStyle=4 "
            "DrawingTool=8 MouseX=10 MouseY=20 RightMouseButton=0");
  EXPECT_EQ(Lines[1], "DrawFinish OriginX=10 OriginY=20 MouseX=40 MouseY=30");
  EXPECT_FALSE(c->shapestarted);
}

TEST_F(ChildWindow, PressCarriesTheOptionsOfTheTool) {
  TdrawingoptionsForm options(nullptr);
  options.Options().Foreground = 0x0000FF;
  options.Options().Background = 0x00FF00;
  options.SetFillStyle(3);
  options.SetLineStyle(2);
  options.SetLineWidth(2.5);  // rounds half to even
  options.SetPenStyle(1);
  options.SetTolerance(10);
  options.SetIntensity(75);
  Tchild* c = NewImage(100, 80);
  Record(*c);
  const std::string common =
      "StartDrawing ForeGround=255 BackGround=65280 FillStyle=3 LineStyle=2 Linewidth=2 PenStyle=1 DrawingTool=";
  struct TCase {
    int32_t Tool;
    bool Right;
    std::string Tail;
  };
  for (const TCase& t : {TCase{dtZoom, false, "0 MouseX=5 MouseY=6 RightMouseButton=0"},
                         TCase{dtFloodfill, true, "12 MouseX=5 MouseY=6 RightMouseButton=1 Tolerance=10 Intensity=75"},
                         TCase{dtSelectMagic, false, "5 MouseX=5 MouseY=6 RightMouseButton=0 Tolerance=26"}}) {
    Lines.clear();
    SetTool(t.Tool);
    Down(*c, c->imager1->XBmp2Scr(5), c->imager1->YBmp2Scr(6), t.Right);
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_EQ(Lines[0], common + t.Tail);
  }
  // The text tool adds the font and the lines to draw.
  Lines.clear();
  SetTool(dtText);
  options.Options().TextLines.Clear();
  options.Options().TextLines.Add("Hallo Welt");
  Down(*c, c->imager1->XBmp2Scr(5), c->imager1->YBmp2Scr(6));
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_NE(Lines[0].find("RightMouseButton=0 FontColor="), std::string::npos) << Lines[0];
  EXPECT_NE(Lines[0].find("TextCount=1 Text0=\"Hallo Welt\""), std::string::npos) << Lines[0];
}

TEST_F(ChildWindow, FreehandDragRecordsOneAlreadyDoneLinePerMoveQuietly) {
  Tchild* c = NewImage(60, 60, 0);
  Record(*c);
  SetTool(dtDraw);
  const int32_t sx = c->imager1->XBmp2Scr(20), sy = c->imager1->YBmp2Scr(20);
  Down(*c, sx, sy);
  Move(*c, sx + 1, sy);
  Move(*c, sx + 2, sy + 1);
  Up(*c, sx + 2, sy + 1);
  ASSERT_EQ(Lines.size(), 4u);
  EXPECT_EQ(Lines[1], "Alreadydone Draw MouseX=21 MouseY=20");
  EXPECT_EQ(Lines[2], "Alreadydone Draw MouseX=22 MouseY=21");
  EXPECT_EQ(Lines[3], "DrawFinish OriginX=20 OriginY=20 MouseX=22 MouseY=21");
  EXPECT_EQ(QuietSeen, (std::vector<bool>{false, true, true, false}));
  EXPECT_FALSE(Main->Quiet);
  // The dabs are on the bitmap: white, the foreground default.
  EXPECT_EQ(c->imager1->Bitmap().Canvas().Pixel(21, 20), clWhite);
  EXPECT_EQ(c->imager1->Bitmap().Canvas().Pixel(22, 21), clWhite);
  EXPECT_EQ(c->imager1->Bitmap().Canvas().Pixel(40, 40), clBlack);
}

TEST_F(ChildWindow, StatusTextInTheChosenUnits) {
  EXPECT_EQ(ChildStatusText(400, 200, 10, 20, 300, 300, 2, 1, 1),
            "3.387 x 1.693    X:0.085  Y:0.169 (cm)  118.110 pixel/cm");
  EXPECT_EQ(ChildStatusText(400, 200, 10, 20, 72, 72, 0, 0, 1),
            "400.000 x 200.000    X:10.000  Y:20.000 (pixel)  72.000 pixel/inch (dpi)");
  // No resolution: the physical units read 0 instead of dividing by zero.
  EXPECT_EQ(ChildStatusText(400, 200, 10, 20, 0, 0, 1, 3, 1), "0.000 x 0.000    X:0.000  Y:0.000 (inch)  0.000 pixel/m");
  EXPECT_EQ(ChildStatusText(400, 200, 100, 50, 96, 96, 7, 2, 1).substr(0, 40),
            "100.000 x 100.000    X:25.000  Y:25.000 ");
}

TEST_F(ChildWindow, MouseMoveSetsRulerMarkersAndStatusLine) {
  Tchild* c = NewImage(100, 80);
  Move(*c, c->imager1->XBmp2Scr(30), c->imager1->YBmp2Scr(12));
  EXPECT_DOUBLE_EQ(c->RulerBox1->GetGripPos(0), 30);
  EXPECT_DOUBLE_EQ(c->RulerBox2->GetGripPos(0), 12);
  EXPECT_EQ(c->StatusBar1->SimpleText().substr(0, 44), "100.000 x 80.000    X:30.000  Y:12.000 (pixe");
}

TEST_F(ChildWindow, RulersFollowTheZoom) {
  Tchild* c = NewImage(100, 80);
  c->imager1->SetZoom(200);
  EXPECT_DOUBLE_EQ(c->RulerBox1->DotPerUnit(), 2);
  EXPECT_DOUBLE_EQ(c->RulerBox1->Frequency(), 10);    // a tick every 20 screen pixels
  EXPECT_DOUBLE_EQ(c->RulerBox1->LabelFreq(), 100);   // a label every 10 ticks
  EXPECT_DOUBLE_EQ(c->RulerBox2->DotPerUnit(), 2);
}

TEST_F(ChildWindow, ZoomBoxFollowsTheViewWithoutSettingItBack) {
  TdrawingoptionsForm options(nullptr);
  Tchild* c = NewImage(100, 80);
  c->imager1->SetZoom(250);
  EXPECT_EQ(options.ZoomText(), "250 %");
  EXPECT_EQ(options.ZoomSliderPosition(), 250);
  options.SetZoomText("75 %");
  options.ZoomBoxChange(&options);
  EXPECT_DOUBLE_EQ(c->imager1->Zoom(), 75);
  options.SetZoomText("0");
  options.ZoomBoxChange(&options);
  EXPECT_DOUBLE_EQ(c->imager1->Zoom(), 1);
  EXPECT_TRUE(options.ZoomButtonClick("&Kleiner"));
  EXPECT_DOUBLE_EQ(c->imager1->Zoom(), 1);
  EXPECT_TRUE(options.ZoomButtonClick("3:1"));
  EXPECT_DOUBLE_EQ(c->imager1->Zoom(), 300);
  EXPECT_FALSE(options.ZoomButtonClick("4:1"));
}

// "Fenster" fits the picture into its window: no scroll bar is left over;
// an arrow of a bar moves the picture by a step one can see.
TEST_F(ChildWindow, FittedPictureNeedsNoScrollBarsAndArrowsStepVisibly) {
  TdrawingoptionsForm options(nullptr);
  for (const auto& [w, h] : {std::pair{1600, 1200}, std::pair{90, 40}, std::pair{3000, 300}}) {
    Tchild* c = NewImage(w, h);
    c->SetBounds(0, 0, 420, 330);
    timagerlayer& v = *c->imager1;
    v.SetZoom(100);
    Application->ProcessMessages();
    if (w > 400) {
      ASSERT_TRUE(v.HorzBarInUse()) << w;
      const int32_t before = v.ViewX();
      v.Perform(WM_HSCROLL, SB_LINEDOWN, 0);
      EXPECT_GE(v.ViewX() - before, 8) << w;
    }
    EXPECT_TRUE(options.ZoomButtonClick("Fenster"));
    Application->ProcessMessages();
    EXPECT_FALSE(v.HorzBarInUse()) << w << "x" << h << " at " << v.Zoom();
    EXPECT_FALSE(v.VertBarInUse()) << w << "x" << h << " at " << v.Zoom();
  }
}

TEST_F(ChildWindow, FittingSizesTheWindowToItsImage) {
  Tchild* c = NewImage(200, 100);
  Main->fensteranpassen(Main, c);
  timagerlayer& v = *c->imager1;
  EXPECT_EQ(c->ClientWidth(), v.GetIdealWidth() + c->RulerBox2->Width());
  EXPECT_EQ(c->ClientHeight(), v.GetIdealHeight() + c->StatusBar1->Height() + 1 + c->RulerBox1->Height());

  // Too wide and too high for the frame: held inside with room for scroll bars.
  Tchild* big = NewImage(3000, 2000);
  big->SetBounds(100, 80, big->Width(), big->Height());
  Main->fensteranpassen(Main, big);
  EXPECT_EQ(big->Left(), 0);
  EXPECT_EQ(big->Top(), 0);
  EXPECT_EQ(big->Width(), Main->MDIClientWidth() - 45);
  EXPECT_EQ(big->Height(), Main->MDIClientHeight() - 50);

  // Nothing for a maximised window; an empty image or a frame with no room is no failure.
  Tchild* empty = NewImage(0, 0);
  Main->fensteranpassen(Main, empty);
  EXPECT_GT(empty->Width(), 0);
  Main->SetBounds(0, 0, 10, 10);
  Main->fensteranpassen(Main, big);
  EXPECT_GT(big->Width(), 0);
  c->SetWindowState(wsMaximized);
  const int32_t w = c->Width();  // maximised, the window's size is the area's
  Main->fensteranpassen(Main, c);
  EXPECT_EQ(c->Width(), w);
}

TEST_F(ChildWindow, DuplicateIsAnUnsavedModifiedCopy) {
  Tchild* a = NewImage(30, 20, 77);
  a->imager1->IOParams().FileName = "/tmp/original.png";
  Tchild* b = Main->duplicate();
  ASSERT_NE(b, nullptr);
  EXPECT_NE(b, a);
  EXPECT_TRUE(b->modified);
  EXPECT_EQ(b->Caption(), "!unbenannt2");
  EXPECT_EQ(b->imager1->Bitmap().Width(), 30);
  EXPECT_EQ(b->imager1->Bitmap().Canvas().Pixel(5, 5), a->imager1->Bitmap().Canvas().Pixel(5, 5));
  EXPECT_EQ(b->imager1->IOParams().FileName, "");
  EXPECT_EQ(a->imager1->IOParams().FileName, "/tmp/original.png");
}

TEST_F(ChildWindow, NoDuplicateWithoutAnImageWindow) { EXPECT_EQ(Main->duplicate(), nullptr); }

}  // namespace
}  // namespace kv

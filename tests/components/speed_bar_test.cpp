// The speed bar: sections, the grid, docking by drag, resizing, customise
// mode with its setup window, and the layout kept across a restart of the form.
#include <gtest/gtest.h>

#include "components/draw_utils.h"
#include "components/speedbar/setup_window.h"
#include "components/speedbar/speed_bar.h"
#include "platform/rtl/strings.h"
#include "platform/system/registry.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/screen_frame.h"
#include "support/temp_files.h"

namespace kv {

// A program form with a stored layout: one bar with two sections of three commands.
class TBarForm : public TForm {
 public:
  explicit TBarForm(TComponent* AOwner) : TForm(AOwner) {
    SetBounds(0, 0, 400, 300);
    Storage = new TFormStorage(this);
    Storage->SetName("FormStorage1");
    Storage->BeginLoading();
    Bar = new TSpeedBar(this);
    Bar->SetName("SpeedBar1");
    Bar->SetParent(this);
    Bar->SetIniStorage(Storage);
    for (const char* sect : {"Datei", "Bild"}) {
      const int32_t s = Bar->AddSectionNamed(sect);
      for (int i = 1; i <= 3; ++i) Bar->NewItem(this, s, std::string(sect) + IntToStr(i));
    }
    Storage->SetUseRegistry(true);
    Storage->SetIniFileName("\\software\\Kavrelin\\storage");
    Storage->Loaded();
  }
  TFormStorage* Storage;
  TSpeedBar* Bar;
};

namespace {

void Mouse(TControl* C, UINT Msg, int32_t X, int32_t Y) {
  C->Perform(Msg, Msg == WM_LBUTTONDOWN || Msg == WM_MOUSEMOVE ? MK_LBUTTON : 0, static_cast<LPARAM>(MakeLong(X, Y)));
}
// A point of the screen in a control's client coordinates.
TPoint At(TControl* C, TPoint Screen) { return C->ScreenToClient(Screen); }

class SpeedBarTest : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    EnsureQtApplication();
    SetRegistryFolder(Dir);
    Screen->SetPixelsPerInchForTesting(96);
  }
  void TearDown() override {
    Screen->SetPixelsPerInchForTesting(0);
    SetRegistryFolder("");
    TTempFolderTest::TearDown();
  }
  static std::string Reg(const std::string& Ident) {
    TRegIniFile r("\\software\\Kavrelin\\storage");
    return r.ReadString("TBarFormSpeedBar1", Ident, "<none>");
  }
  static void SetReg(const std::string& Ident, const std::string& Value) {
    TRegIniFile r("\\software\\Kavrelin\\storage");
    r.WriteString("TBarFormSpeedBar1", Ident, Value);
  }
};

TEST_F(SpeedBarTest, DefaultsAndTheGridStep) {
  TBarForm f(nullptr);
  TSpeedBar* b = f.Bar;
  EXPECT_EQ(b->BtnWidth(), 24);
  EXPECT_EQ(b->BtnHeight(), 23);
  EXPECT_EQ(b->BorderSize(), 3);  // 2 + the raised outer bevel
  EXPECT_EQ(b->BtnOffsetHorz(), 3);
  EXPECT_EQ(b->BtnOffsetVert(), 3);
  EXPECT_EQ(b->Height(), 29);
  EXPECT_EQ(b->Align(), alTop);
  EXPECT_EQ(GetPropValue(b, "Options"), "[sbAllowDrag,sbGrayedBtns]");
  EXPECT_TRUE(b->ShowHint());
  EXPECT_EQ(b->StepX(), 8);
  EXPECT_EQ(b->StepY(), 23);
  for (auto [w, step] : {std::pair{24, 8}, {23, 1}, {30, 10}, {2, 1}, {16, 8}}) {
    b->SetBtnWidth(w);
    EXPECT_EQ(b->StepX(), step) << w;
  }
  b->SetBtnOffsetHorz(1);  // never inside the border
  EXPECT_EQ(b->BtnOffsetHorz(), 3);
}

TEST_F(SpeedBarTest, SectionsItemsAndTheirLookups) {
  TBarForm f(nullptr);
  TSpeedBar* b = f.Bar;
  for (int i = 0; i < 3; ++i) b->AddSectionNamed("File");
  EXPECT_EQ(b->Sections(2)->Caption(), "File");
  EXPECT_EQ(b->Sections(3)->Caption(), "File (1)");
  EXPECT_EQ(b->Sections(4)->Caption(), "File (2)");
  try {
    b->Sections(4)->SetCaption("Bild");
    FAIL() << "a duplicate caption was taken";
  } catch (const ESpeedbarError& E) {
    EXPECT_EQ(E.Message(), "In der Stringliste sind Duplikate nicht erlaubt");
  }
  EXPECT_EQ(b->SectionIndexOf("Bild"), 1);
  EXPECT_EQ(b->SectionIndexOf("bild"), -1);
  EXPECT_EQ(b->FindItemByName("BILD2"), b->ItemAt(1, 1));
  EXPECT_EQ(b->ItemAt(7, 0), nullptr);
  EXPECT_EQ(b->ItemAt(0, 3), nullptr);
  EXPECT_EQ(b->ItemCountOf(-1), 0);
  EXPECT_EQ(b->NewItem(&f, 9, "X"), nullptr);
  TSpeedItem* it = b->ItemAt(0, 0);
  EXPECT_FALSE(it->Visible());
  EXPECT_TRUE(it->Enabled());
  EXPECT_TRUE(it->Stored());
  EXPECT_EQ(it->ImageIndex(), -1);
  EXPECT_EQ(it->Spacing(), 4);
  EXPECT_EQ(it->Margin(), -1);
  EXPECT_EQ(it->Layout(), blGlyphTop);
  EXPECT_TRUE(it->MarkDropDown());
  EXPECT_TRUE(it->ParentShowHint());
  EXPECT_EQ(it->Button()->Style(), bsNew);
  EXPECT_EQ(it->Caption(), "Datei1");
  EXPECT_EQ(it->Hint(), "Datei1|");  // the hint follows the caption
  it->SetCaption("Laden");
  EXPECT_EQ(it->Hint(), "Laden|");
  it->SetHint("Laden|Eine Datei öffnen");
  it->SetCaption("Öffnen");
  EXPECT_EQ(it->Hint(), "Öffnen|Eine Datei öffnen");
  it->SetCaption("Öffne|Datei laden");  // a long part of its own becomes the whole hint
  EXPECT_EQ(it->Hint(), "Öffne|Datei laden");
  it->SetName("Laden");  // the caption was not the name: it stays
  EXPECT_EQ(it->Caption(), "Öffne|Datei laden");
  TSpeedItem* two = b->ItemAt(0, 1);
  two->SetHint("Datei2|Lang");
  two->SetCaption("Zwei|");  // an empty long part keeps the old one
  EXPECT_EQ(two->Hint(), "Zwei|Lang");
  two->SetName("Datei22");
  EXPECT_EQ(two->Caption(), "Zwei|");
  // An action gives the button its caption but does not show a hidden item.
  TAction act(nullptr);
  act.SetCaption("Drehen");
  b->ItemAt(1, 0)->SetAction(&act);
  EXPECT_EQ(b->ItemAt(1, 0)->BtnCaption(), "Drehen");
  EXPECT_FALSE(b->ItemAt(1, 0)->Button()->Visible());
  b->ItemAt(1, 0)->SetAction(nullptr);
  // Moving an item to another section, and freeing a section with its items.
  b->PlaceItem(1, it);
  EXPECT_EQ(it->SectionIndex(), 1);
  EXPECT_EQ(b->ItemCountOf(1), 4);
  b->Sections(0)->SetIndex(1);
  EXPECT_EQ(b->Sections(1)->Caption(), "Datei");
  EXPECT_EQ(it->SectionIndex(), 0);
  b->FreeSection(0);
  EXPECT_EQ(b->FindItemByName("Laden"), nullptr);
  EXPECT_EQ(f.FindComponent("Datei1"), nullptr);
  EXPECT_EQ(b->ItemAt(0, 0)->Name(), "Datei22");
}

TEST_F(SpeedBarTest, AlignmentOrientationAndDroppingOnTheGrid) {
  TBarForm f(nullptr);
  TSpeedBar* b = f.Bar;
  EXPECT_THROW(b->SetAlign(alNone), ESpeedbarError);
  EXPECT_THROW(b->SetAlign(alClient), ESpeedbarError);
  TSpeedItem* it = b->ItemAt(0, 0);
  const int32_t off = b->BtnOffsetHorz();
  EXPECT_TRUE(b->DropItemAt(it, off + 13, 15));
  EXPECT_EQ(it->Left(), off + 16);
  EXPECT_EQ(it->Top(), off);  // across the bar: truncated to the row
  EXPECT_TRUE(it->Visible());
  EXPECT_TRUE(b->DropItemAt(it, off + 11, 4));
  EXPECT_EQ(it->Left(), off + 8);
  EXPECT_FALSE(b->DropItemAt(it, 500, 4));
  EXPECT_FALSE(it->Visible());
  b->DropItemAt(it, off + 16, off);
  // Docked left the bar turns: sizes, steps and places swap.
  int moves = 0;
  b->OnPosChanged = [&](TObject*) { ++moves; };
  b->SetAlign(alLeft);
  EXPECT_EQ(b->Orientation(), boVertical);
  EXPECT_EQ(b->BtnWidth(), 23);
  EXPECT_EQ(b->BtnHeight(), 24);
  EXPECT_EQ(b->StepY(), 8);
  EXPECT_EQ(it->Top(), off + 16);
  EXPECT_EQ(it->Left(), off);
  EXPECT_EQ(moves, 0);  // only dragging and restoring report a move
}

TEST_F(SpeedBarTest, DraggingTheBarDocksItAtTheEdgeUnderTheMouse) {
  TBarForm f(nullptr);
  f.Show();
  TSpeedBar* b = f.Bar;
  int moves = 0;
  b->OnPosChanged = [&](TObject*) { ++moves; };
  Mouse(b, WM_LBUTTONDOWN, 50, 10);
  Mouse(b, WM_MOUSEMOVE, 52, 12);  // under 5 pixels: no drag yet
  EXPECT_FALSE(b->Dragging());
  Mouse(b, WM_MOUSEMOVE, 200, 280);  // the lower triangle of a 400 x 300 client
  ASSERT_TRUE(b->Dragging());
  const TPoint o = f.ClientOrigin();
  EXPECT_EQ(b->DragFrame(), Rect(o.X, o.Y + f.ClientHeight() - 29, o.X + f.ClientWidth(), o.Y + f.ClientHeight()));
  EXPECT_EQ(ScreenFrameCount(), 3);
  EXPECT_EQ(Screen->Cursor(), crDragHand);
  Mouse(b, WM_LBUTTONUP, 200, 280);
  EXPECT_EQ(ScreenFrameCount(), 0);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(b->Align(), alBottom);
  EXPECT_EQ(b->Top(), f.ClientHeight() - 29);
  EXPECT_EQ(moves, 1);

  // Over the left triangle, with a veto: the bar stays where it is.
  b->OnApplyAlign = [](TObject*, TAlign A, bool& Apply) { Apply = A != alLeft; };
  Mouse(b, WM_LBUTTONDOWN, 50, 10);
  const TPoint left = At(b, f.ClientToScreen(TPoint{10, 150}));
  Mouse(b, WM_MOUSEMOVE, left.X, left.Y);
  EXPECT_EQ(b->DragFrame(), Bounds(b->ClientOrigin().X, b->ClientOrigin().Y, b->Width(), b->Height()));
  Mouse(b, WM_LBUTTONUP, left.X, left.Y);
  EXPECT_EQ(b->Align(), alBottom);
  // The upper triangle docks it at the top again.
  b->OnApplyAlign = nullptr;
  Mouse(b, WM_LBUTTONDOWN, 50, 10);
  const TPoint top = At(b, f.ClientToScreen(TPoint{200, 20}));
  Mouse(b, WM_MOUSEMOVE, top.X, top.Y);
  Mouse(b, WM_LBUTTONUP, top.X, top.Y);
  EXPECT_EQ(b->Align(), alTop);
  EXPECT_EQ(b->Top(), 0);
  EXPECT_EQ(moves, 3);
}

TEST_F(SpeedBarTest, ResizingInCustomiseModeCountsWholeRows) {
  TBarForm f(nullptr);
  f.Show();
  TSpeedBar* b = f.Bar;
  b->SetOptions(TSpeedbarOptions{sbAllowDrag, sbAllowResize});
  Mouse(b, WM_LBUTTONDOWN, 50, b->ClientHeight() - 1);  // not customising: a drag, not a resize
  EXPECT_FALSE(b->Resizing());
  Mouse(b, WM_LBUTTONUP, 50, b->ClientHeight() - 1);
  TForm editor(nullptr);
  b->SetEditing(&editor);
  EXPECT_TRUE(b->ItemAt(0, 0)->Editing());
  Mouse(b, WM_MOUSEMOVE, 50, b->ClientHeight());
  EXPECT_EQ(b->Cursor(), crSizeNS);
  Mouse(b, WM_LBUTTONDOWN, 50, b->ClientHeight());
  ASSERT_TRUE(b->Resizing());
  Mouse(b, WM_MOUSEMOVE, 50, 60);  // 2.6 button heights
  EXPECT_EQ(b->Height(), 2 * 23 + 6);
  Mouse(b, WM_MOUSEMOVE, 50, 2000);  // never more than the parent holds
  EXPECT_EQ(b->Height(), f.ClientHeight());
  Mouse(b, WM_LBUTTONUP, 50, 30);
  EXPECT_FALSE(b->Resizing());
  int ended = 0;
  b->OnCustomize = [&](TObject*) { ++ended; };
  b->SetEditing(nullptr);
  EXPECT_EQ(ended, 1);
  EXPECT_FALSE(b->ItemAt(0, 0)->Editing());
}

TEST_F(SpeedBarTest, TheLayoutSurvivesARestartOfTheForm) {
  {
    TBarForm f(nullptr);
    f.Show();
    TSpeedBar* b = f.Bar;
    b->SetOptions(TSpeedbarOptions{sbAllowDrag, sbAllowResize});
    b->DropItemAt(b->FindItemByName("Bild2"), 3, 3);
    b->DropItemAt(b->FindItemByName("Datei3"), 3 + 48, 3);
    b->FindItemByName("Datei1")->SetStored(false);
    b->DropItemAt(b->FindItemByName("Datei1"), 3 + 24, 3);
    b->SetAlign(alBottom);
    b->SetHeight(52);
    f.Close();
  }
  EXPECT_EQ(Reg("Position"), "2");
  EXPECT_EQ(Reg("Width"), "52");
  EXPECT_EQ(Reg("Version"), "0");
  EXPECT_EQ(Reg("PixelsPerInch"), "96");
  EXPECT_EQ(Reg("BtnWidth"), "24");
  EXPECT_EQ(Reg("BtnHeight"), "23");
  EXPECT_EQ(Reg("Count"), "2");  // the unstored item is left out
  EXPECT_EQ(Reg("Button1"), "Datei3,51,3");
  EXPECT_EQ(Reg("Button2"), "Bild2,3,3");

  TBarForm g(nullptr);
  g.Bar->SetOptions(TSpeedbarOptions{sbAllowDrag, sbAllowResize});
  int moves = 0;
  g.Bar->OnPosChanged = [&](TObject*) { ++moves; };
  g.Show();
  TSpeedBar* b = g.Bar;
  EXPECT_EQ(b->Align(), alBottom);
  EXPECT_EQ(b->Height(), 52);
  EXPECT_EQ(moves, 1);
  EXPECT_TRUE(b->FindItemByName("Datei3")->Visible());
  EXPECT_EQ(b->FindItemByName("Datei3")->Left(), 51);
  EXPECT_TRUE(b->FindItemByName("Bild2")->Visible());
  EXPECT_FALSE(b->FindItemByName("Datei1")->Visible());
  EXPECT_FALSE(b->FindItemByName("Bild1")->Visible());
}

TEST_F(SpeedBarTest, StoredButtonsThatNoLongerFitAreMended) {
  SetReg("Count", "3");
  SetReg("Button1", "Verschwunden,3,3");  // no such item any more
  SetReg("Button2", "Bild3,-40,3");       // left of the margin
  SetReg("Button3", "");
  {
    TBarForm f(nullptr);
    f.Show();
    EXPECT_TRUE(f.Bar->FindItemByName("Bild3")->Visible());
    EXPECT_EQ(f.Bar->FindItemByName("Bild3")->Left(), 3);
    EXPECT_EQ(f.Bar->Align(), alTop);  // no position stored: as built
  }
  // A damaged count or size: what is there is shown, at least one row high, at once.
  SetReg("Count", "2147483647");
  SetReg("Position", "99");  // no alignment of that number: the top
  SetReg("Width", "-7");
  {
    TBarForm f(nullptr);
    f.Bar->SetOptions(TSpeedbarOptions{sbAllowDrag, sbAllowResize});
    f.Show();
    EXPECT_TRUE(f.Bar->FindItemByName("Bild3")->Visible());
    EXPECT_EQ(f.Bar->Align(), alTop);
    EXPECT_EQ(f.Bar->Height(), 29);
  }
  // "Count" 0 leaves the items as the program made them.
  SetReg("Count", "0");
  {
    TBarForm f(nullptr);
    f.Bar->ItemAt(0, 0)->SetVisible(true);
    f.Show();
    EXPECT_TRUE(f.Bar->ItemAt(0, 0)->Visible());
  }
  // Another resolution keeps the default arrangement; a newer version too.
  SetReg("Count", "1");
  SetReg("Button1", "Bild1,27,3");
  SetReg("PixelsPerInch", "120");
  {
    TBarForm f(nullptr);
    f.Show();
    EXPECT_FALSE(f.Bar->FindItemByName("Bild1")->Visible());
  }
  SetReg("PixelsPerInch", "96");
  SetReg("Version", "1");
  {
    TBarForm f(nullptr);
    f.Bar->SetVersion(2);
    f.Show();
    EXPECT_FALSE(f.Bar->FindItemByName("Bild1")->Visible());
  }
}

TEST_F(SpeedBarTest, CustomiseWindowListsAndDragsButtonsOntoTheBar) {
  TBarForm f(nullptr);
  f.Show();
  TSpeedBar* b = f.Bar;
  b->Customize(0);
  TSpeedbarSetupWindow* w = TSpeedbarSetupWindow::FindFor(b);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Caption(), "Symbolleisteneditor");
  EXPECT_EQ(w->CategoriesLabel->Caption(), "&Kategorien:");
  EXPECT_EQ(w->ButtonsLabel->Caption(), "&Befehle:");
  EXPECT_EQ(w->ButtonsLabel->FocusControl(), w->ButtonsList);
  EXPECT_FALSE(w->HelpBtn->Visible());
  EXPECT_EQ(w->CloseBtn->Caption(), "OK");
  EXPECT_EQ(b->EditWindow(), w);
  EXPECT_TRUE(b->ItemAt(1, 2)->Editing());
  // A second Customize brings the same window back.
  b->Customize(77);
  int windows = 0;
  for (int32_t i = 0; i < Screen->FormCount(); ++i) windows += dynamic_cast<TSpeedbarSetupWindow*>(Screen->Forms(i)) != nullptr;
  EXPECT_EQ(windows, 1);
  EXPECT_EQ(w->HelpContext(), 77);
  EXPECT_TRUE(w->HelpBtn->Visible());
  // Rows are a button high plus 2; the lists show 7 of them at 96 pixels per inch.
  EXPECT_EQ(w->ButtonsList->DefaultRowHeight(), 25);
  EXPECT_EQ(w->ButtonsList->ClientHeight(), 175);
  EXPECT_EQ(w->SectionList->ClientHeight(), 175);
  // The section list drives the button list.
  EXPECT_EQ(w->SectionList->RowCount(), 2);
  b->ItemAt(1, 0)->SetHint("Bild eins|Das erste Bild");
  ASSERT_TRUE(w->SectionList->SetRow(1));
  EXPECT_EQ(w->ButtonsList->RowCount(), 3);
  EXPECT_EQ(w->ItemOfRow(2), b->ItemAt(1, 2));
  EXPECT_EQ(w->Hint(), "Bild eins|Das erste Bild");

  // Each row shows the button face at the bar's button size, framed, then its caption.
  w->ButtonsList->Invalidate();
  w->ButtonsList->PreparePaint();
  const TBitmap& list = w->ButtonsList->BackBuffer();
  EXPECT_EQ(static_cast<TColorRef>(list.GetPixelColor(1, 1)), ColorToRGB(clBtnShadow));
  EXPECT_EQ(static_cast<TColorRef>(list.GetPixelColor(2, 2)), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(static_cast<TColorRef>(list.GetPixelColor(24, 23)), ColorToRGB(clWindowFrame));
  EXPECT_EQ(static_cast<TColorRef>(list.GetPixelColor(10, 10)), ColorToRGB(clBtnFace));

  // Drag the first button of the list onto the bar at (27, 3).
  TSpeedItem* it = b->ItemAt(1, 0);
  const TPoint drop = b->ClientToScreen(TPoint{27 + 2, 3});
  const TPoint release = At(w->ButtonsList, TPoint{drop.X + 24, drop.Y + 23});
  Mouse(w->ButtonsList, WM_LBUTTONDOWN, 5, 5);
  ASSERT_TRUE(w->DraggingItem());
  ASSERT_NE(w->DragImage(), nullptr);
  Mouse(w->ButtonsList, WM_MOUSEMOVE, release.X, release.Y);
  EXPECT_EQ(w->DragImage()->BoundsRect(), Rect(drop.X, drop.Y, drop.X + 24, drop.Y + 23));
  EXPECT_TRUE(w->DragImage()->Visible());
  EXPECT_NE(Screen->ActiveForm(), w->DragImage());  // the picture never takes the activation
  EXPECT_FALSE(w->SectionList->SetRow(0));  // no other section while dragging
  Mouse(w->ButtonsList, WM_LBUTTONUP, release.X, release.Y);
  EXPECT_FALSE(w->DraggingItem());
  EXPECT_EQ(w->DragImage(), nullptr);
  EXPECT_TRUE(it->Visible());
  EXPECT_EQ(it->Left(), 27);  // 29 snaps to 27 on the 8-pixel grid
  EXPECT_EQ(it->Top(), 3);

  // A button already on the bar cannot be dragged: the no-drop cursor, nothing changes.
  Mouse(w->ButtonsList, WM_LBUTTONDOWN, 5, 5);
  EXPECT_EQ(w->DragImage(), nullptr);
  Mouse(w->ButtonsList, WM_MOUSEMOVE, release.X + 40, release.Y);
  EXPECT_EQ(w->ButtonsList->Cursor(), crNoDrop);
  Mouse(w->ButtonsList, WM_LBUTTONUP, release.X + 40, release.Y);
  EXPECT_EQ(w->ButtonsList->Cursor(), crDefault);
  EXPECT_EQ(it->Left(), 27);
  // Dropped outside the bar: nothing happens.
  Mouse(w->ButtonsList, WM_LBUTTONDOWN, 5, 30);
  Mouse(w->ButtonsList, WM_LBUTTONUP, 60, 60);
  EXPECT_FALSE(b->ItemAt(1, 1)->Visible());

  // On the bar itself the button moves to another place, or off the bar to hide.
  Mouse(it->Button(), WM_LBUTTONDOWN, 3, 3);
  ASSERT_NE(it->Button()->DragImage(), nullptr);
  const TPoint to = At(it->Button(), b->ClientToScreen(TPoint{100 + 24, 3 + 23}));
  Mouse(it->Button(), WM_MOUSEMOVE, to.X, to.Y);
  Mouse(it->Button(), WM_LBUTTONUP, to.X, to.Y);
  EXPECT_EQ(it->Left(), 99);
  EXPECT_TRUE(it->Visible());
  const TPoint off = At(it->Button(), b->ClientToScreen(TPoint{100, 200}));
  Mouse(it->Button(), WM_LBUTTONDOWN, 3, 3);
  Mouse(it->Button(), WM_LBUTTONUP, off.X, off.Y);
  EXPECT_FALSE(it->Visible());

  int32_t help = 0;
  Application->OnHelp = [&](uint16_t, intptr_t Data, bool&) {
    help = static_cast<int32_t>(Data);
    return true;
  };
  w->HelpBtn->Click();
  Application->OnHelp = nullptr;
  EXPECT_EQ(help, 77);

  // Closing ends customise mode and tells the bar.
  int ended = 0;
  b->OnCustomize = [&](TObject*) { ++ended; };
  w->Close();
  Application->ProcessMessages();
  EXPECT_EQ(TSpeedbarSetupWindow::FindFor(b), nullptr);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(b->EditWindow(), nullptr);
  EXPECT_FALSE(b->ItemAt(1, 2)->Editing());
}

TEST_F(SpeedBarTest, WallpaperTilesOrStretchesInsideTheBorderUnderTheBoundLines) {
  TBarForm f(nullptr);
  TSpeedBar* b = f.Bar;
  TBitmap& pic = b->Wallpaper().Bitmap();
  pic.SetSize(4, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) pic.SetPixelColor(x, y, x == 0 && y == 0 ? clBlue : clLime);
  b->Wallpaper().SetBitmap(&pic);
  b->SetBoundLines(TBoundLines{blTop, blRight});
  auto at = [b](int32_t X, int32_t Y) {
    b->Invalidate();
    b->PreparePaint();
    return static_cast<TColorRef>(b->BackBuffer().GetPixelColor(X, Y));
  };
  // Tiled from the inner corner (1, 1), inside the one-pixel bevel.
  EXPECT_EQ(at(5, 5), static_cast<TColorRef>(clBlue));
  EXPECT_EQ(at(6, 5), static_cast<TColorRef>(clLime));
  EXPECT_EQ(at(9, 9), static_cast<TColorRef>(clBlue));
  EXPECT_EQ(at(60, 5), static_cast<TColorRef>(clLime));
  EXPECT_EQ(at(10, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(at(10, 1), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(at(b->ClientWidth() - 2, 10), ColorToRGB(clBtnShadow));
  EXPECT_EQ(at(b->ClientWidth() - 1, 10), ColorToRGB(clBtnHighlight));
  b->SetOptions(TSpeedbarOptions{sbAllowDrag, sbStretchBitmap});
  EXPECT_EQ(at(60, 5), static_cast<TColorRef>(clBlue));  // one picture over the whole inside
  EXPECT_EQ(at(b->ClientWidth() - 5, b->ClientHeight() - 3), static_cast<TColorRef>(clLime));
}

TEST_F(SpeedBarTest, SettingTheWallpaperShowsItAtOnce) {
  TBarForm f(nullptr);
  TSpeedBar* b = f.Bar;
  auto at = [b](int32_t X, int32_t Y) {
    b->PreparePaint();
    return static_cast<TColorRef>(b->BackBuffer().GetPixelColor(X, Y));
  };
  const TColorRef plain = at(20, 5);
  TPicture pic;
  pic.Bitmap().SetSize(2, 2);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 2; ++x) pic.Bitmap().SetPixelColor(x, y, clRed);
  b->SetWallpaper(&pic);
  pic.Bitmap().SetPixelColor(0, 0, clBlue);  // the bar keeps its own copy
  EXPECT_EQ(at(20, 5), static_cast<TColorRef>(clRed));
  b->SetWallpaper(nullptr);
  EXPECT_EQ(at(20, 5), plain);
}

// Captions are drawn in the desktop's menu font, not a fixed one.
TEST_F(SpeedBarTest, CaptionsUseTheDesktopsMenuFont) {
  TFont menu;
  ASSERT_TRUE(Screen->MenuFont(menu));
  TBarForm f(nullptr);
  const TFont& font = f.Bar->Font();
  EXPECT_EQ(font.Name(), menu.Name());
  EXPECT_NE(font.Name(), "MS Sans Serif");
  EXPECT_EQ(font.Height(), menu.Height());
  EXPECT_TRUE(font.Style() == menu.Style());
  EXPECT_EQ(font.Charset(), 1);
}

TEST_F(SpeedBarTest, WallpaperIsAPublishedProperty) {
  TBarForm f(nullptr);
  ASSERT_TRUE(IsPublishedProp(f.Bar, "Wallpaper"));
  EXPECT_EQ(GetObjectProp(f.Bar, "Wallpaper"), &f.Bar->Wallpaper());
  TPicture pic;
  pic.Bitmap().SetSize(3, 2);
  SetObjectProp(f.Bar, "Wallpaper", &pic);  // copied, as SetWallpaper does
  EXPECT_EQ(f.Bar->Wallpaper().Bitmap().Width(), 3);
}

TEST_F(SpeedBarTest, StoredFormDataSectionsItemsAndScaling) {
  TForm f(nullptr);
  auto* b = new TSpeedBar(&f);
  b->SetParent(&f);
  b->BeginLoading();
  SetPropValue(b, "Sections", "Datei\nBild\n");
  SetPropValue(b, "AllowDrag", "False");
  SetPropValue(b, "InternalVer", "0");
  SetPropValue(b, "BtnWidth", "30");
  EXPECT_THROW(SetPropValue(b, "Align", "alNone"), ESpeedbarError);
  b->Loaded();
  EXPECT_EQ(b->SectionCount(), 2);
  EXPECT_EQ(b->Sections(1)->Caption(), "Bild");
  EXPECT_FALSE(b->Options().Contains(sbAllowDrag));
  EXPECT_EQ(b->Align(), alTop);
  // Items go to the section they name, else the first, else their stored index.
  auto* named = new TSpeedItem(&f);
  named->SetSectionName("Bild");
  named->SetParentComponent(b);
  auto* unknown = new TSpeedItem(&f);
  unknown->SetSectionName("Fehlt");
  unknown->SetParentComponent(b);
  auto* indexed = new TSpeedItem(&f);
  SetPropValue(indexed, "Section", "1");
  indexed->SetParentComponent(b);
  EXPECT_EQ(named->SectionIndex(), 1);
  EXPECT_EQ(unknown->SectionIndex(), 0);
  EXPECT_EQ(indexed->SectionIndex(), 1);
  EXPECT_EQ(GetPropValue(named, "Section"), "1");
  // A form read at twice the resolution: only what the form data gave is scaled.
  b->BeginLoading();
  b->ChangeScale(2, 1);
  b->Loaded();
  EXPECT_EQ(b->BtnWidth(), 60);
  EXPECT_EQ(b->BtnHeight(), 23);
  EXPECT_EQ(b->StepX(), 10);
  b->ChangeScale(1, 2);  // at run time all four are
  EXPECT_EQ(b->BtnWidth(), 30);
  EXPECT_EQ(b->BtnHeight(), 11);
  EXPECT_EQ(b->BtnOffsetHorz(), 3);  // never inside the border
}

TEST_F(SpeedBarTest, FreeingTheBarClosesItsWindow) {
  auto* f = new TBarForm(nullptr);
  f->Show();
  f->Bar->Customize(0);
  ASSERT_NE(TSpeedbarSetupWindow::FindFor(f->Bar), nullptr);
  delete f;
  Application->ProcessMessages();
  for (int32_t i = 0; i < Screen->FormCount(); ++i)
    EXPECT_EQ(dynamic_cast<TSpeedbarSetupWindow*>(Screen->Forms(i)), nullptr);
}

}  // namespace
}  // namespace kv

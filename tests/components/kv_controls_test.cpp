// Shadowed labels, speed buttons, their glyph engine and the text list box,
// rendered headless and read back pixel by pixel.
#include <gtest/gtest.h>

#include "components/controls/kv_label.h"
#include "components/controls/kv_speed_button.h"
#include "components/controls/text_list_box.h"
#include "components/draw_utils.h"
#include "platform/ui/forms.h"
#include "platform/ui/list_box.h"
#include "platform/ui/message_window.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

// Distinct system colours, so every frame line and shadow can be told apart.
constexpr TColorRef kFace = RGB(200, 200, 200), kHighlight = RGB(255, 0, 0), kShadow = RGB(0, 0, 255),
                    kFrame = RGB(0, 128, 0), kGray = RGB(0, 0, 160), kBtnText = RGB(1, 2, 3);

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    for (auto [i, c] : {std::pair{COLOR_BTNFACE, kFace}, {COLOR_BTNHIGHLIGHT, kHighlight}, {COLOR_BTNSHADOW, kShadow},
                        {COLOR_WINDOWFRAME, kFrame}, {COLOR_GRAYTEXT, kGray}, {COLOR_BTNTEXT, kBtnText}}) {
      Saved.emplace_back(i, GetSysColor(i));
      SetSysColor(i, c);
    }
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 300, 200);
  }
  void TearDown() override {
    delete Form;
    for (auto [i, c] : Saved) SetSysColor(i, c);
  }
  // Paints the control's whole picture now and returns it.
  static const TBitmap& Render(TControl* C) {
    C->Invalidate();
    C->PreparePaint();
    return dynamic_cast<TGraphicControl*>(C)->BackBuffer();
  }
  TForm* Form = nullptr;
  std::vector<std::pair<int32_t, TColorRef>> Saved;
};

// The bounding box of the pixels that pass a test.
TRect BoxOf(const TBitmap& B, const std::function<bool(TColorRef)>& Test) {
  TRect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x)
      if (Test(static_cast<TColorRef>(B.GetPixelColor(x, y)))) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r;
}
bool Reddish(TColorRef c) { return GetRValue(c) > 150 && GetGValue(c) < 100 && GetBValue(c) < 100; }
bool Dark(TColorRef c) { return GetRValue(c) < 90 && GetGValue(c) < 90 && GetBValue(c) < 90; }
bool Bluish(TColorRef c) { return GetBValue(c) > 100 && GetRValue(c) < 60 && GetGValue(c) < 60; }

TKvLabel* MakeLabel(TForm* F, const std::string& Caption) {
  auto* l = new TKvLabel(F);
  l->SetParent(F);
  l->SetLeft(10);
  l->SetTop(10);
  l->Font().SetSize(14);
  l->Font().SetColor(clBlack);
  l->SetColor(clWhite);
  l->SetCaption(Caption);
  return l;
}

TEST_F(ControlsTest, LabelDefaultsAndShadowsFallWhereTheyArePointed) {
  auto* l = new TKvLabel(Form);
  EXPECT_EQ(l->Width(), 65);
  EXPECT_EQ(l->Height(), 17);
  EXPECT_TRUE(l->AutoSize());
  EXPECT_EQ(l->ShadowColor(), clBtnHighlight);
  EXPECT_EQ(l->ShadowSize(), 1);
  EXPECT_EQ(l->ShadowPos(), spLeftTop);
  EXPECT_FALSE(l->Transparent());
  EXPECT_EQ(GetPropValue(l, "ShadowPos"), "spLeftTop");

  TKvLabel* s = MakeLabel(Form, "HM");
  s->SetShadowColor(clRed);
  s->SetShadowSize(3);
  struct Case { TShadowPosition P; int32_t Dx, Dy; };
  for (Case c : {Case{spLeftTop, -3, -3}, Case{spLeftBottom, -3, 3}, Case{spRightBottom, 3, 3}, Case{spRightTop, 3, -3}}) {
    s->SetShadowPos(c.P);
    const TBitmap& b = Render(s);
    const TRect text = BoxOf(b, Dark), shadow = BoxOf(b, Reddish);
    ASSERT_LT(text.Left, text.Right) << int(c.P);
    // The shadow sticks out of the text by the shadow size on its side only.
    EXPECT_EQ(c.Dx < 0 ? shadow.Left - text.Left : shadow.Right - text.Right, c.Dx) << int(c.P);
    EXPECT_EQ(c.Dy < 0 ? shadow.Top - text.Top : shadow.Bottom - text.Bottom, c.Dy) << int(c.P);
  }
}

TEST_F(ControlsTest, ADisabledLabelWithoutShadowStillShowsOneLowerRight) {
  TKvLabel* l = MakeLabel(Form, "HM");
  l->SetShadowSize(0);
  l->SetEnabled(false);
  const TBitmap& b = Render(l);
  const TRect text = BoxOf(b, Bluish), shadow = BoxOf(b, Reddish);  // clGrayText, clBtnHighlight
  ASSERT_LT(text.Left, text.Right);
  EXPECT_EQ(shadow.Right - text.Right, 1);
  EXPECT_EQ(shadow.Bottom - text.Bottom, 1);
  NewStyleControls() = false;
  const TBitmap& old = Render(l);
  EXPECT_EQ(BoxOf(old, Reddish).Left, INT32_MAX);  // no shadow at all in the old style
  NewStyleControls() = true;
}

TEST_F(ControlsTest, AutoSizeCountsTheShadowAndAnEmptyCaptionKeepsOneLine) {
  TKvLabel* l = MakeLabel(Form, "Wg text");
  l->SetShadowSize(0);
  const int32_t w0 = l->Width(), h0 = l->Height();
  TBitmap m(1, 1);
  m.Canvas().Font().Assign(l->Font());
  EXPECT_EQ(w0, m.Canvas().TextWidth("Wg text") + 2);
  l->SetShadowSize(3);
  EXPECT_EQ(l->Width(), w0 + 3);
  EXPECT_EQ(l->Height(), h0 + 3);
  l->SetShadowSize(0);
  l->SetCaption("");
  EXPECT_EQ(l->Height(), h0);
  l->SetCaption("&");
  EXPECT_EQ(l->Height(), h0);
  // Right-justified labels keep their right edge while they grow.
  l->SetAlignment(taRightJustify);
  const int32_t right = l->Left() + l->Width();
  l->SetCaption("a much longer caption");
  EXPECT_EQ(l->Left() + l->Width(), right);
}

TEST_F(ControlsTest, LabelLayoutPutsTheTextAtTopMiddleOrBottom) {
  TKvLabel* l = MakeLabel(Form, "Mitte");
  l->SetShadowSize(0);
  l->SetAutoSize(false);
  l->SetHeight(60);
  const int32_t textH = BoxOf(Render(l), Dark).Height();
  EXPECT_LT(BoxOf(Render(l), Dark).Top, 8);
  l->SetLayout(tlBottom);
  EXPECT_GT(BoxOf(Render(l), Dark).Bottom, 60 - 8);
  l->SetLayout(tlCenter);
  const TRect mid = BoxOf(Render(l), Dark);
  EXPECT_NEAR(mid.Top + mid.Height() / 2, 30, textH / 2 + 2);
}

TEST_F(ControlsTest, LabelPressAndAccelerator) {
  TKvLabel* l = MakeLabel(Form, "&Name");
  auto* target = new TForm(nullptr);  // any windowed control will do; a form cannot be focused hidden
  l->Perform(WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(MakeLong(2, 2)));
  EXPECT_TRUE(l->PressedOnLabel());
  l->Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>(MakeLong(2, 2)));
  EXPECT_FALSE(l->PressedOnLabel());
  EXPECT_EQ(l->Perform(CM_DIALOGCHAR, 'n', 0), 0);  // no focus control
  l->SetFocusControl(target);
  delete target;  // a freed focus control is forgotten
  EXPECT_EQ(l->FocusControl(), nullptr);
}

// ---- speed buttons ----

TKvSpeedButton* MakeButton(TForm* F, int32_t Left = 10) {
  auto* b = new TKvSpeedButton(F);
  b->SetParent(F);
  b->SetBounds(Left, 10, 25, 25);
  return b;
}

void Press(TControl* C, int32_t X = 5, int32_t Y = 5) {
  C->Perform(WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(MakeLong(X, Y)));
}
void Release(TControl* C, int32_t X = 5, int32_t Y = 5) {
  C->Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>(MakeLong(X, Y)));
}

TEST_F(ControlsTest, ButtonFramesOfEveryState) {
  TKvSpeedButton* b = MakeButton(Form);
  EXPECT_EQ(b->Width(), 25);
  EXPECT_EQ(b->Spacing(), 1);
  EXPECT_EQ(b->Layout(), blGlyphTop);
  EXPECT_TRUE(b->GrayedInactive());
  auto at = [&](int32_t X, int32_t Y) { return static_cast<TColorRef>(Render(b).GetPixelColor(X, Y)); };
  // Up, new style: highlight / window frame, then face / shadow.
  EXPECT_EQ(at(0, 0), kHighlight);
  EXPECT_EQ(at(24, 24), kFrame);
  EXPECT_EQ(at(23, 23), kShadow);
  EXPECT_EQ(at(1, 1), kFace);
  // Pressed: window frame / highlight, then shadow / face.
  Press(b);
  EXPECT_EQ(b->ButtonState(), sbsPressed);
  EXPECT_EQ(at(0, 0), kFrame);
  EXPECT_EQ(at(24, 24), kHighlight);
  EXPECT_EQ(at(1, 1), kShadow);
  // Dragged off the button it comes up, back on it goes down again.
  b->Perform(WM_MOUSEMOVE, MK_LBUTTON, static_cast<LPARAM>(MakeLong(40, 5)));
  EXPECT_EQ(b->ButtonState(), sbsUp);
  b->Perform(WM_MOUSEMOVE, MK_LBUTTON, static_cast<LPARAM>(MakeLong(5, 5)));
  EXPECT_EQ(b->ButtonState(), sbsPressed);
  Release(b);
  EXPECT_EQ(b->ButtonState(), sbsUp);
  // Latched: the face is dithered with the highlight.
  b->SetGroupIndex(1);
  b->SetDown(true);
  EXPECT_EQ(b->ButtonState(), sbsLatched);
  EXPECT_NE(at(5, 5), at(5, 6));
  EXPECT_TRUE((at(5, 5) == kFace && at(5, 6) == kHighlight) || (at(5, 5) == kHighlight && at(5, 6) == kFace));
  // Flat and not hovered: no frame at all.
  b->SetAllowAllUp(true);
  b->SetDown(false);
  b->SetFlat(true);
  EXPECT_EQ(at(0, 0), kFace);
  EXPECT_EQ(at(24, 24), kFace);
  // Old style, up: window frame all round, then highlight / shadow.
  b->SetFlat(false);
  b->SetStyle(bsWin31);
  EXPECT_EQ(at(0, 0), kFrame);
  EXPECT_EQ(at(24, 24), kFrame);
  EXPECT_EQ(at(1, 1), kHighlight);
  EXPECT_EQ(at(23, 23), kShadow);
}

std::unique_ptr<TBitmap> Strip(int32_t W, int32_t H) {
  // A yellow square on a fuchsia ground, which the bottom-left pixel makes see-through.
  return test::Make24(W, H, [](int32_t x, int32_t y) {
    return x % 16 >= 4 && x % 16 < 12 && y >= 4 && y < 12 ? TBGRPixel{0, 255, 255} : TBGRPixel{255, 0, 255};
  });
}

TEST_F(ControlsTest, GlyphStripsSetTheirCountAndMaskColour) {
  TKvSpeedButton* b = MakeButton(Form);
  b->SetGlyph(Strip(64, 16).get());
  EXPECT_EQ(b->NumGlyphs(), 4);
  EXPECT_EQ(b->GlyphEngine().MaskColor(), static_cast<TColor>(0xFF00FF));
  b->SetGlyph(Strip(112, 16).get());  // 7 would be too many
  EXPECT_EQ(b->NumGlyphs(), 1);
  b->SetNumGlyphs(2);
  b->SetGlyph(Strip(40, 16).get());  // not a whole multiple: left alone
  EXPECT_EQ(b->NumGlyphs(), 2);
  b->SetNumGlyphs(9);
  EXPECT_EQ(b->NumGlyphs(), 5);
}

TEST_F(ControlsTest, GlyphStatesRenderNormalGreyAndEmbossed) {
  TKvSpeedButton* b = MakeButton(Form);
  b->SetBounds(10, 10, 30, 30);
  b->SetGlyph(Strip(16, 16).get());
  const TBitmap& up = Render(b);
  const TRect red = BoxOf(up, [](TColorRef c) { return c == RGB(255, 255, 0); });
  ASSERT_EQ(red.Width(), 8);
  const int32_t gx = red.Left - 4, gy = red.Top - 4;  // the glyph's own top-left
  EXPECT_EQ(static_cast<TColorRef>(up.GetPixelColor(gx, gy)), kFace);  // fuchsia is see-through
  // Glyph on top without caption: centred across, and with no caption the
  // spacing is 0 and the margin centres it along too (inside the 2-pixel frame).
  EXPECT_EQ(red.Left, 2 + 26 / 2 - 16 / 2 + 4);
  EXPECT_EQ(red.Top, 2 + 26 / 2 - 16 / 2 + 4);
  // Flat and not hovered: the grey of yellow, (77 x 255 + 150 x 255) >> 8.
  b->SetFlat(true);
  const TBitmap& grey = Render(b);
  EXPECT_EQ(static_cast<TColorRef>(grey.GetPixelColor(red.Left + 2, red.Top + 2)), RGB(226, 226, 226));
  b->SetGrayedInactive(false);
  EXPECT_EQ(static_cast<TColorRef>(Render(b).GetPixelColor(red.Left + 2, red.Top + 2)), RGB(255, 255, 0));
  // Disabled: the shape in shadow, its highlight one pixel lower right.
  b->SetFlat(false);
  b->SetEnabled(false);
  const TBitmap& dis = Render(b);
  EXPECT_EQ(static_cast<TColorRef>(dis.GetPixelColor(red.Left, red.Top)), kShadow);
  EXPECT_EQ(static_cast<TColorRef>(dis.GetPixelColor(red.Right, red.Bottom)), kHighlight);
  EXPECT_EQ(static_cast<TColorRef>(dis.GetPixelColor(red.Left - 1, red.Top - 1)), kFace);
}

TEST_F(ControlsTest, GlyphListsAreSharedPerSizeAndSlotsComeBack) {
  TKvSpeedButton* a = MakeButton(Form, 10);
  TKvSpeedButton* b = MakeButton(Form, 40);
  a->SetGlyph(Strip(16, 16).get());
  b->SetGlyph(Strip(16, 16).get());
  Render(a);
  Render(b);
  TGlyphList* list = a->GlyphEngine().SharedList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list, b->GlyphEngine().SharedList());
  EXPECT_EQ(list->UsedCount(), 2);
  const int32_t slot = a->GlyphEngine().StateIndex(sbsUp);
  delete a;
  EXPECT_EQ(list->UsedCount(), 1);
  TKvSpeedButton* c = MakeButton(Form, 70);
  c->SetGlyph(Strip(16, 16).get());
  Render(c);
  EXPECT_EQ(c->GlyphEngine().StateIndex(sbsUp), slot);  // the freed slot is used again
}

TEST_F(ControlsTest, MarginAndSpacingMinusOneSpreadThreeEqualGaps) {
  TKvButtonGlyph g;
  g.SetGlyph(Strip(16, 16).get());
  TBitmap canvas(10, 10);
  const TRect client = Rect(0, 0, 120, 30);
  const TButtonLayoutResult r =
      g.CalcButtonLayout(canvas.Canvas(), client, TPoint{0, 0}, "Text", blGlyphLeft, -1, -1, false, 0, nullptr, -1);
  const int32_t gap1 = r.GlyphPos.X, gap2 = r.TextBounds.Left - (r.GlyphPos.X + 16), gap3 = 120 - r.TextBounds.Right;
  EXPECT_EQ(gap1, gap2);
  EXPECT_LE(std::abs(gap3 - gap1), 2);  // what the integer division leaves over
  EXPECT_EQ(r.GlyphPos.Y, 15 - 8);
}

TEST_F(ControlsTest, GroupsDownAndClicks) {
  TKvSpeedButton* a = MakeButton(Form, 10);
  TKvSpeedButton* b = MakeButton(Form, 40);
  a->SetDown(true);  // not grouped: stays up
  EXPECT_FALSE(a->Down());
  a->SetGroupIndex(3);
  b->SetGroupIndex(3);
  a->SetDown(true);
  b->SetDown(true);
  EXPECT_FALSE(a->Down());
  EXPECT_TRUE(b->Down());
  // Without AllowAllUp a down button cannot be released, by property or by click.
  b->SetDown(false);
  EXPECT_TRUE(b->Down());
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  Press(b);
  Release(b);
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(clicks, 1);
  a->SetAllowAllUp(true);  // told to the whole group
  EXPECT_TRUE(b->AllowAllUp());
  Press(b);
  Release(b);
  EXPECT_FALSE(b->Down());
  // A click gives the button's modal result to its form.
  Form->SetModalResult(mrOk);
  a->SetModalResult(mrNone);
  a->PerformButtonClick();
  EXPECT_EQ(Form->ModalResult(), mrNone);
  EXPECT_TRUE(a->Down());
  // Released outside: no click.
  Press(b);
  Release(b, 60, 5);
  EXPECT_EQ(clicks, 2);
}

TEST_F(ControlsTest, DropDownMenuPopsUpBelowAndClicksNothing) {
  TKvSpeedButton* b = MakeButton(Form);
  TPopupMenu menu(nullptr);
  int picked = 0, clicks = 0;
  menu.Items().push_back(TPopupItem{"Eins", [&](TObject*) { ++picked; }});
  b->SetDropDownMenu(&menu);
  b->OnClick = [&](TObject*) { ++clicks; };
  TPoint at;
  SetPopupRunner([&](TPopupMenu& M, int32_t X, int32_t Y) {
    at = TPoint{X, Y};
    EXPECT_TRUE(b->MenuOpen());
    EXPECT_EQ(M.PopupComponent(), b);
    return 0;
  });
  Press(b);
  SetPopupRunner(nullptr);
  EXPECT_EQ(picked, 1);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(b->ButtonState(), sbsUp);
  EXPECT_EQ(at, b->ClientToScreen(TPoint{-1, 25}));
  b->PerformButtonClick();  // a button whose menu pops up by itself is not clicked programmatically
  EXPECT_EQ(clicks, 0);
}

TEST_F(ControlsTest, AltWithTheMarkedLetterClicksTheButtonAndFocusesTheLabelsControl) {
  auto* edit = new TListBox(Form);
  edit->SetParent(Form);
  edit->SetBounds(100, 100, 80, 60);
  auto* other = new TListBox(Form);
  other->SetParent(Form);
  other->SetBounds(200, 100, 80, 60);
  TKvLabel* l = MakeLabel(Form, "&Name");
  l->SetFocusControl(edit);
  TKvSpeedButton* b = MakeButton(Form, 50);
  b->SetCaption("&Zoom");
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  Form->Show();
  other->Perform(WM_SYSCHAR, 'z', AltMask);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(other->Perform(CM_DIALOGCHAR, 'n', 0), 0);  // a child offers nothing of its own
  EXPECT_NE(Form->Perform(CM_DIALOGCHAR, 'n', 0), 0);
  l->SetShowAccelChar(false);
  EXPECT_EQ(Form->Perform(CM_DIALOGCHAR, 'n', 0), 0);
  // With ShowFocus the label frames its text while its control has the focus.
  l->SetShowFocus(true);
  Form->SetFocusedControl(edit);
  EXPECT_TRUE(l->FocusShown());
  auto framed = [&] {
    const TBitmap& b = Render(l);
    for (int32_t x = 0; x < b.Width(); ++x)
      if (static_cast<TColorRef>(b.GetPixelColor(x, 0)) != static_cast<TColorRef>(clWhite)) return true;
    return false;
  };
  EXPECT_TRUE(framed());
  Form->SetFocusedControl(other);
  EXPECT_FALSE(l->FocusShown());
  EXPECT_FALSE(framed());
}

TEST_F(ControlsTest, AHeldButtonRepeatsItsClick) {
  TKvSpeedButton* b = MakeButton(Form);
  b->SetAllowTimer(true);
  b->SetInitPause(20);
  b->SetRepeatInterval(10);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  Form->Show();
  Press(b);
  const uint64_t end = TickCount64() + 3000;  // generous for a loaded machine; the loop ends at 3 clicks
  while (TickCount64() < end && clicks < 3) WaitForMessages(20);
  EXPECT_GE(clicks, 3);
  Release(b);
  const int32_t held = clicks;
  const uint64_t after = TickCount64() + 60;
  while (TickCount64() < after) WaitForMessages(20);
  EXPECT_EQ(clicks, held);  // no repeat once released
}

TEST_F(ControlsTest, ALinkedActionShowsOnTheButtonAndRunsOnClick) {
  TKvSpeedButton* b = MakeButton(Form);
  b->SetGroupIndex(4);
  b->SetAllowAllUp(true);
  TImageList images(nullptr, 16, 16);
  images.AddMasked(*Strip(16, 16), clFuchsia);
  TActionList list(nullptr);
  list.SetImages(&images);
  TAction a(nullptr);
  a.SetActionList(&list);
  a.SetCaption("&Drehen");
  a.SetHint("Drehen|Das Bild drehen");
  a.SetChecked(true);
  a.SetImageIndex(0);
  int runs = 0;
  a.OnExecute = [&](TObject*) { ++runs; };
  b->SetAction(&a);
  EXPECT_EQ(b->Caption(), "&Drehen");
  EXPECT_EQ(b->Hint(), "Drehen|Das Bild drehen");
  EXPECT_TRUE(b->Down());
  ASSERT_EQ(b->Glyph().Width(), 16);  // the list's image became the glyph
  EXPECT_EQ(b->Glyph().GetPixelColor(0, 0), clFuchsia);
  EXPECT_EQ(b->Glyph().GetPixelColor(6, 6), static_cast<TColor>(RGB(255, 255, 0)));
  a.SetEnabled(false);  // later changes follow
  EXPECT_FALSE(b->Enabled());
  a.SetEnabled(true);
  a.SetChecked(false);
  EXPECT_FALSE(b->Down());
  Press(b);
  Release(b);
  EXPECT_EQ(runs, 1);
  int own = 0;
  b->OnClick = [&](TObject*) { ++own; };  // a handler of its own wins
  b->PerformButtonClick();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(own, 1);
  { TAction gone(nullptr);
    b->SetAction(&gone); }
  EXPECT_EQ(b->Action(), nullptr);
}

TEST_F(ControlsTest, HoverRaisesEnterAndLeaveAndLiftsAFlatButton) {
  Form->Show();
  Screen->SetActiveForm(Form);
  TKvLabel* l = MakeLabel(Form, "Hier");
  std::vector<std::string> seen;
  l->OnMouseEnter = [&](TObject*) { seen.push_back("enter"); };
  l->OnMouseLeave = [&](TObject*) { seen.push_back("leave"); };
  l->Perform(CM_MOUSEENTER);
  EXPECT_TRUE(l->Hovered());
  l->Perform(CM_MOUSELEAVE);
  EXPECT_FALSE(l->Hovered());
  l->SetEnabled(false);
  l->Perform(CM_MOUSEENTER);  // a disabled label does not light up
  EXPECT_EQ(seen, (std::vector<std::string>{"enter", "leave"}));

  TKvSpeedButton* b = MakeButton(Form, 100);
  b->SetFlat(true);
  auto at = [&](int32_t X, int32_t Y) { return static_cast<TColorRef>(Render(b).GetPixelColor(X, Y)); };
  EXPECT_EQ(at(0, 0), kFace);
  b->Perform(CM_MOUSEENTER);
  EXPECT_TRUE(b->Hovered());
  EXPECT_EQ(at(0, 0), kHighlight);  // flat: highlight / shadow while the mouse is over it
  EXPECT_EQ(at(24, 24), kShadow);
  b->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(at(0, 0), kFace);
  Screen->SetActiveForm(nullptr);
}

// ---- list box and embossed images ----

TEST_F(ControlsTest, DeletingTheWidestLineShrinksTheExtentAndScrollsLeft) {
  auto* box = new TTextListBox(Form);
  box->SetParent(Form);
  box->SetBounds(0, 0, 60, 80);
  Form->Show();
  box->Items().Add("ab");
  box->Items().Add("a much, much longer line");
  TCanvas& c = box->MeasureCanvas();
  EXPECT_EQ(box->LongestItemWidth(), c.TextWidth("a much, much longer linex"));
  EXPECT_EQ(box->HorizontalExtent(), box->LongestItemWidth());
  box->Perform(WM_HSCROLL, SB_BOTTOM, 0);
  EXPECT_GT(box->HorzPosition(), 0);
  box->Items().Delete(1);
  EXPECT_EQ(box->HorzPosition(), 0);
  EXPECT_EQ(box->LongestItemWidth(), c.TextWidth("abx"));
  box->Items().Insert(0, "x\ty");
  box->SetTabWidth(16);  // one stop every 16 x width("0") / 4 pixels
  box->Items().Clear();
  EXPECT_EQ(box->LongestItemWidth(), 0);
  box->Items().Add("x\ty");
  EXPECT_EQ(box->LongestItemWidth(), 4 * c.TextWidth("0") + c.TextWidth("yx"));
}

TEST_F(ControlsTest, ImageListEntriesDrawEmbossed) {
  TImageList list(nullptr, 4, 4);
  auto pic = test::Make24(4, 4, [](int32_t x, int32_t y) {
    return x == 1 && y == 1 ? TBGRPixel{0, 0, 0} : TBGRPixel{255, 0, 255};
  });
  ASSERT_EQ(list.AddMasked(*pic, clFuchsia), 0);
  TBitmap out(6, 6, pf24bit);
  out.Canvas().Brush().SetColor(clWhite);
  out.Canvas().FillRect(Rect(0, 0, 6, 6));
  DrawImageEmbossed(list, out.Canvas(), 1, 1, 0, clBtnHighlight, clBtnShadow, true);
  EXPECT_EQ(static_cast<TColorRef>(out.GetPixelColor(2, 2)), kShadow);
  EXPECT_EQ(static_cast<TColorRef>(out.GetPixelColor(3, 3)), kHighlight);
  EXPECT_EQ(out.GetPixelColor(1, 1), clWhite);
  EXPECT_EQ(out.GetPixelColor(4, 4), clWhite);
  DrawImageEmbossed(list, out.Canvas(), 1, 1, 5, clBtnHighlight, clBtnShadow, true);  // no such image: nothing
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// The program's labels share one shadow setting: switching it reaches labels
// made before and after, and a label painted later shows the new shadow.
TEST_F(ControlsTest, ProgramLabelsFollowTheProgramWideShadow) {
  struct TRestore {
    ~TRestore() { SetLabelShadowSize(1); }
  } restore;
  auto* before = new TmyKvLabel(Form);
  before->SetParent(Form);
  before->Font().SetSize(14);
  before->Font().SetColor(clBlack);
  before->SetColor(clWhite);
  before->SetShadowColor(clRed);
  before->SetCaption("HM");
  EXPECT_EQ(before->ShadowSize(), 1);
  // The shadow sticks out of the text up and left; without one nothing does.
  const auto overhang = [&] {
    const TBitmap& b = Render(before);
    const TRect text = BoxOf(b, Dark), shadow = BoxOf(b, Reddish);
    return std::max(text.Left - shadow.Left, text.Top - shadow.Top);
  };
  EXPECT_EQ(overhang(), 1);

  SetLabelShadowSize(0);
  EXPECT_EQ(LabelShadowSize(), 0);
  EXPECT_EQ(before->ShadowSize(), 0);
  EXPECT_LE(overhang(), 0);
  auto* after = new TmyKvLabel(Form);
  EXPECT_EQ(after->ShadowSize(), 0);

  // A size set on one label by hand gives way to the program's at its next paint.
  after->SetParent(Form);
  after->SetCaption("x");
  after->SetShadowSize(4);
  Render(after);
  EXPECT_EQ(after->ShadowSize(), 0);
  SetLabelShadowSize(1);
  EXPECT_EQ(after->ShadowSize(), 1);
  // A plain shadowed label keeps its own.
  auto* plain = new TKvLabel(Form);
  plain->SetShadowSize(3);
  SetLabelShadowSize(0);
  EXPECT_EQ(plain->ShadowSize(), 3);
}

}  // namespace
}  // namespace kv

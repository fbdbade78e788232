// Spin buttons and spin edits driven by real key and mouse events, headless.
#include <gtest/gtest.h>

#include "components/controls/kv_spin.h"
#include "platform/rtl/strings.h"
#include "platform/ui/forms.h"
#include "platform/ui/input_synth.h"
#include "platform/ui/qt_app.h"
#include "support/shot_file.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::SaveShot;

class SpinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 300, 200);
    Form->Show();
  }
  void TearDown() override { delete Form; }
  template <class T = TKvSpinEdit>
  T* MakeEdit() {
    auto* e = new T(Form);
    e->SetParent(Form);
    e->SetBounds(10, 10, 100, 24);
    e->HandleNeeded();
    return e;
  }
  // Replaces the whole text by typing.
  static void Type(TKvSpinEdit* E, const std::string& Text) {
    E->SelectAll();
    SynthText(E, Text);
  }
  TForm* Form = nullptr;
};

TEST_F(SpinTest, DefaultsAndTheThreeTextForms) {
  TKvSpinEdit* e = MakeEdit();
  EXPECT_EQ(e->Text(), "0");
  EXPECT_EQ(e->ValueType(), vtInteger);
  EXPECT_EQ(e->Increment(), 1);
  EXPECT_EQ(e->Decimal(), 2);
  EXPECT_TRUE(e->EditorEnabled());
  EXPECT_TRUE(e->ArrowKeys());
  EXPECT_EQ(e->ButtonKind(), bkDiagonal);
  ASSERT_NE(e->Button(), nullptr);
  EXPECT_EQ(e->Button()->Width(), e->Button()->Height());  // a square at the right edge
  EXPECT_GT(e->Button()->Parent()->Left(), 60);

  e->SetValueType(vtHex);
  e->SetValue(255);
  EXPECT_EQ(e->Text(), "FF");
  Type(e, "1f");
  EXPECT_EQ(e->Value(), 31);

  e->SetValueType(vtFloat);
  e->SetValue(2.5);
  EXPECT_EQ(e->Text(), "2.50");
  DecimalSeparator = ',';
  e->SetValue(2.5);
  EXPECT_EQ(e->Text(), "2,50");
  EXPECT_EQ(e->Value(), 2.5);
  DecimalSeparator = '.';
  e->SetValue(2.5);
  e->SetDecimal(3);
  EXPECT_EQ(e->Text(), "2.500");

  // Float to integer: the value carries over and an increment below one becomes one.
  e->SetIncrement(0.4);
  e->SetValueType(vtInteger);
  EXPECT_EQ(e->Text(), "2");  // 2.5 rounds half to even
  EXPECT_EQ(e->Increment(), 1);
}

TEST_F(SpinTest, ArrowKeysStepAndRaiseTheirEvents) {
  TKvSpinEdit* e = MakeEdit();
  std::vector<std::string> log;
  e->OnChange = [&](TObject*) { log.push_back("change " + e->Text()); };
  e->OnTopClick = [&](TObject*) { log.push_back("top"); };
  e->OnBottomClick = [&](TObject*) { log.push_back("bottom"); };
  // Without a range stepping goes below zero.
  SynthKey(e, VK_DOWN);
  SynthKey(e, VK_DOWN);
  EXPECT_EQ(e->Text(), "-2");
  EXPECT_TRUE(e->Modified());
  EXPECT_EQ(log, (std::vector<std::string>{"change -1", "bottom", "change -2", "bottom"}));

  // At the edge of the range the text stays: no change event, the click event still comes.
  e->SetMinValue(-2);
  e->SetMaxValue(3);
  e->SetIncrement(2);
  log.clear();
  SynthKey(e, VK_UP);
  SynthKey(e, VK_UP);
  SynthKey(e, VK_UP);
  SynthKey(e, VK_UP);
  EXPECT_EQ(e->Text(), "3");
  EXPECT_EQ(log, (std::vector<std::string>{"change 0", "top", "change 2", "top", "change 3", "top", "top"}));

  // Without ArrowKeys the keys do not step.
  e->SetArrowKeys(false);
  SynthKey(e, VK_DOWN);
  EXPECT_EQ(e->Text(), "3");

  // A read-only edit only beeps.
  e->SetArrowKeys(true);
  e->SetReadOnly(true);
  log.clear();
  const int32_t beeps = BeepCount();
  SynthKey(e, VK_DOWN);
  EXPECT_EQ(e->Text(), "3");
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(BeepCount(), beeps + 1);
}

TEST_F(SpinTest, TypingIsFilteredByTheValueType) {
  TKvSpinEdit* e = MakeEdit();
  struct Case {
    TValueType Type;
    bool EditorEnabled;
    std::string Typed, Shown;
    int32_t Beeps;
  };
  const Case cases[] = {
      {vtInteger, true, "12a3.4", "1234", 2},
      {vtFloat, true, "1.5.2e3E", "1.52e3", 2},
      {vtHex, true, "7fG-1", "7f-1", 1},
      {vtInteger, false, "99", "0", 2},  // only stepping
      {vtInteger, false, "\b", "0", 1},
  };
  for (const Case& c : cases) {
    e->SetValueType(c.Type);
    e->SetEditorEnabled(true);
    e->SetText("");
    e->SetEditorEnabled(c.EditorEnabled);
    if (!c.EditorEnabled) e->SetText("0");
    const int32_t beeps = BeepCount();
    SynthText(e, c.Typed);
    EXPECT_EQ(e->Text(), c.Shown) << c.Typed;
    EXPECT_EQ(BeepCount() - beeps, c.Beeps) << c.Typed;
  }
  // Without the editor the text cannot be pasted or deleted either.
  SetClipboardText("77");
  e->SelectAll();
  e->PasteFromClipboard();
  SynthKey(e, VK_DELETE);
  EXPECT_EQ(e->Text(), "0");
  e->SetEditorEnabled(true);
  e->SelectAll();
  e->PasteFromClipboard();
  EXPECT_EQ(e->Text(), "77");
}

TEST_F(SpinTest, AValueOutsideTheRangeIsNeverStored) {
  TKvSpinEdit* e = MakeEdit();
  e->SetMinValue(1);
  e->SetMaxValue(10);
  SynthFocus(e, true);
  Type(e, "50");
  EXPECT_EQ(e->Text(), "50");
  EXPECT_EQ(e->Value(), 10);  // a caller reading while the field has the focus gets the limit
  SynthFocus(e, false);
  EXPECT_EQ(e->Text(), "10");

  // Text that is no number reads as MinValue and leaving the field raises nothing.
  SynthFocus(e, true);
  Type(e, "--");
  EXPECT_EQ(e->Value(), 1);
  SynthFocus(e, false);
  EXPECT_EQ(e->Text(), "--");
  SynthKey(e, VK_UP);
  EXPECT_EQ(e->Text(), "2");

  e->SetValueType(vtFloat);
  e->SetMinValue(0.5);
  e->SetText("abc");
  EXPECT_EQ(e->Value(), 0.5);
  e->SetValue(-7);
  EXPECT_EQ(e->Text(), "0.50");
}

TEST_F(SpinTest, TheOwnVariantOnlyReportsItsArrows) {
  auto* e = MakeEdit<TmyKvSpinEdit>();
  e->SetText("5");
  int top = 0, bottom = 0, changes = 0;
  e->OnTopClick = [&](TObject*) { ++top; };
  e->OnBottomClick = [&](TObject*) { ++bottom; };
  e->OnChange = [&](TObject*) { ++changes; };
  SynthKey(e, VK_UP);
  SynthKey(e, VK_DOWN);
  SynthKey(e, VK_DOWN);
  EXPECT_EQ(e->Text(), "5");
  EXPECT_EQ(top, 1);
  EXPECT_EQ(bottom, 2);
  EXPECT_EQ(changes, 0);
}

TEST_F(SpinTest, AHeldHalfRepeatsAfter400ThenEvery100Milliseconds) {
  TKvSpinEdit* e = MakeEdit();
  TKvSpinButton* b = e->Button();
  ASSERT_NE(b, nullptr);
  const int32_t s = b->Width();
  int ups = 0;
  e->OnTopClick = [&](TObject*) { ++ups; };
  SynthMouse(b, maPress, 2, 2);  // upper-left half
  EXPECT_EQ(ups, 1);  // one step at once
  EXPECT_EQ(b->Down(), TKvSpinButton::sbTopDown);
  TTimer* t = b->RepeatTimer();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Interval(), 400u);
  EXPECT_TRUE(t->Running());
  t->OnTimer()(t);  // the first tick, after 400 ms
  EXPECT_EQ(ups, 2);
  EXPECT_EQ(t->Interval(), 100u);
  t->OnTimer()(t);
  t->OnTimer()(t);
  EXPECT_EQ(ups, 4);
  EXPECT_EQ(e->Text(), "4");
  // Moving off the half it was pressed on shows it up and stops the repeat.
  SynthMouse(b, maMove, s - 2, s - 2, mbLeft, {ssLeft});
  EXPECT_EQ(b->Down(), TKvSpinButton::sbNotDown);
  t->OnTimer()(t);
  EXPECT_EQ(ups, 4);
  SynthMouse(b, maMove, 2, 2, mbLeft, {ssLeft});
  EXPECT_EQ(b->Down(), TKvSpinButton::sbTopDown);
  SynthMouse(b, maRelease, 2, 2);
  EXPECT_EQ(b->Down(), TKvSpinButton::sbNotDown);
  t->OnTimer()(t);  // the timer runs on but does nothing until the next press
  EXPECT_EQ(ups, 4);

  // The lower-right half steps down, and a press restarts the 400 ms pause.
  SynthMouse(b, maPress, s - 2, s - 2);
  EXPECT_EQ(e->Text(), "3");
  EXPECT_EQ(t->Interval(), 400u);
  SynthMouse(b, maRelease, s - 2, s - 2);
}

TEST_F(SpinTest, TheStandardKindCarriesAnUpDown) {
  TKvSpinEdit* e = MakeEdit();
  e->SetButtonKind(bkStandard);
  ASSERT_EQ(e->Button(), nullptr);
  TKvUpDown* u = e->UpDown();
  ASSERT_NE(u, nullptr);
  EXPECT_LE(u->Width(), 15);
  SynthMouse(u, maPress, 3, 2);
  SynthMouse(u, maRelease, 3, 2);
  EXPECT_EQ(e->Text(), "1");
  SynthMouse(u, maPress, 3, u->Height() - 2);
  SynthMouse(u, maRelease, 3, u->Height() - 2);
  SynthMouse(u, maPress, 3, u->Height() - 2);
  SynthMouse(u, maRelease, 3, u->Height() - 2);
  EXPECT_EQ(e->Text(), "-1");
  EXPECT_EQ(u->Position(), 0);
  e->SetEnabled(false);
  EXPECT_FALSE(u->Enabled());
}

TEST_F(SpinTest, TheDiagonalButtonPaintsItsPressedHalfAndArrows) {
  TKvSpinButton b(nullptr);
  b.SetParent(Form);
  b.SetBounds(0, 0, 20, 20);
  auto render = [&]() -> const TBitmap& {
    b.Invalidate();
    b.PreparePaint();
    return b.BackBuffer();
  };
  auto blackIn = [](const TBitmap& B, int32_t X0, int32_t Y0, int32_t X1, int32_t Y1) {
    int32_t n = 0;
    for (int32_t y = Y0; y < Y1; ++y)
      for (int32_t x = X0; x < X1; ++x)
        if (static_cast<TColorRef>(B.GetPixelColor(x, y)) == 0) ++n;
    return n;
  };
  const TBitmap& up = render();
  // Up arrow in the upper-left quarter, down arrow in the lower-right one, nothing elsewhere.
  EXPECT_GT(blackIn(up, 0, 0, 10, 10), 8);
  EXPECT_GT(blackIn(up, 10, 10, 20, 20), 8);
  EXPECT_EQ(blackIn(up, 10, 0, 20, 10) + blackIn(up, 0, 10, 10, 20), 0);
  EXPECT_EQ(static_cast<TColorRef>(up.GetPixelColor(0, 0)), GetSysColor(COLOR_BTNHIGHLIGHT));
  SynthMouse(&b, maPress, 3, 3);
  const TBitmap& pressed = render();
  EXPECT_EQ(static_cast<TColorRef>(pressed.GetPixelColor(0, 0)), GetSysColor(COLOR_BTNSHADOW));
  SaveShot(pressed, "spin_button_top_pressed.png");
  SynthMouse(&b, maRelease, 3, 3);

  TKvSpinEdit* e = MakeEdit();
  e->SetValue(42);
  TKvSpinEdit* s = MakeEdit();
  s->SetTop(50);
  s->SetButtonKind(bkStandard);
  s->SetValue(7);
  Form->Repaint();
  SaveShot(*GrabControl(e), "spin_edit_diagonal.png");
  SaveShot(*GrabControl(s), "spin_edit_standard.png");
  // The digits, dark on the window colour, left of the button.
  const auto shot = GrabControl(e);
  int32_t dark = 0;
  for (int32_t y = 0; y < shot->Height(); ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const TColorRef c = static_cast<TColorRef>(shot->GetPixelColor(x, y));
      dark += GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
    }
  EXPECT_GT(dark, 10);
}

}  // namespace
}  // namespace kv

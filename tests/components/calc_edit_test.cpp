// The calculator's key sequences, its pop-up below the number edit, and the
// number edit's typing, range and formatting rules.
#include <gtest/gtest.h>

#include "components/controls/calc_edit.h"
#include "platform/rtl/strings.h"
#include "platform/ui/input_synth.h"
#include "platform/ui/qt_app.h"
#include "support/shot_file.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::SaveShot;

TEST(Calculator, KeySequencesGiveTheirDisplays) {
  EnsureQtApplication();
  struct Case {
    std::string Keys, Display;
  };
  const Case cases[] = {
      {"12+3=", "15"},
      {"10-4=", "6"},
      {"7*6=", "42"},
      {"2+3*4=", "20"},  // left to right, as the keys come
      {"1/3=", "0.333333333333333"},
      {"1.5+1.5=", "3"},
      {".5+1=", "1.5"},
      {"1..5", "1.5"},
      {"200+10%", "220"},
      {"50*10%", "5"},
      {"200-10%", "180"},
      {"2+=", "2"},
      {"9Q", "3"},
      {"4R", "0.25"},
      {"2_", "-2"},
      {"5_\b", "0"},
      {"123\b", "12"},
      {"7\b", "0"},
      {"1/0=", "Error"},
      {"1/0=5+", "Error"},  // nothing but C after an error
      {"1/0=C", "0"},
      {"1/0=\x1b" "4", "4"},
      {"0R", "Error"},
      {"5_Q", "Error"},
      {"9C3+1=", "4"},
      {"1234567890123456789", "123456789012345"},  // 15 digits at most
  };
  for (const Case& c : cases) {
    TCalculatorPanel p(nullptr);
    p.SetBeepOnError(false);
    for (char k : c.Keys) p.CalcKey(static_cast<unsigned char>(k));
    EXPECT_EQ(p.DisplayText(), c.Display) << c.Keys;
  }
}

TEST(Calculator, EventsBeepsAndTheClipboard) {
  EnsureQtApplication();
  TCalculatorPanel p(nullptr);
  std::vector<std::string> log;
  p.OnResult = [&](TObject*) { log.push_back("result " + p.DisplayText()); };
  p.OnError = [&](TObject*) { log.push_back("error"); };
  p.OnCalcKey = [&](TObject*, char32_t& Key) {
    if (Key == 'X') Key = '*';  // the key event may change the key
  };
  const int32_t beeps = BeepCount();
  for (char k : std::string("6X7=")) p.CalcKey(static_cast<unsigned char>(k));
  for (char k : std::string("1/0=")) p.CalcKey(static_cast<unsigned char>(k));
  EXPECT_EQ(log, (std::vector<std::string>{"result 42", "error", "result Error"}));
  EXPECT_EQ(BeepCount(), beeps + 1);
  p.CalcKey('C');
  SetClipboardText("$ 1234.5 ");
  p.CalcKey(22);  // Ctrl+V: the currency sign goes
  EXPECT_EQ(p.DisplayText(), "1234.5");
  p.CalcKey('_');
  p.CalcKey(3);  // Ctrl+C
  EXPECT_EQ(ClipboardText(), "-1234.5");
  SetClipboardText("kein Wert");
  p.CalcKey(22);
  EXPECT_EQ(p.DisplayText(), "0");
}

class CalcEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 320, 240);
    Form->Show();
    Edit = new TKvCalcEdit(Form);
    Edit->SetParent(Form);
    Edit->SetBounds(10, 10, 120, 21);
    Edit->HandleNeeded();
  }
  void TearDown() override { delete Form; }
  void Focus(bool In) { SynthFocus(Edit, In); }
  TForm* Form = nullptr;
  TKvCalcEdit* Edit = nullptr;
};

TEST_F(CalcEditTest, DefaultsAndTheFormattedText) {
  EXPECT_EQ(Edit->DecimalPlaces(), 2u);
  EXPECT_EQ(Edit->DisplayFormat(), ",0.##");
  EXPECT_TRUE(Edit->ZeroEmpty());
  EXPECT_TRUE(Edit->BeepOnError());
  EXPECT_FALSE(Edit->CheckOnExit());
  EXPECT_EQ(Edit->DisplayAlignment(), taRightJustify);
  EXPECT_EQ(Edit->ButtonWidth(), 20);
  EXPECT_EQ(Edit->NumGlyphs(), 2);
  // Zero: an empty text while editing, "0" formatted while not.
  EXPECT_EQ(Edit->Text(), "");
  EXPECT_EQ(Edit->ShownText(), "0");
  Edit->SetValue(1234.5);
  EXPECT_EQ(Edit->ShownText(), "1,234.5");
  Focus(true);
  EXPECT_EQ(Edit->ShownText(), "1234.5");
  Focus(false);
  EXPECT_EQ(Edit->ShownText(), "1,234.5");
  Edit->SetDisplayFormat("");
  EXPECT_EQ(Edit->ShownText(), "1234.5");
}

TEST_F(CalcEditTest, TypingAndTheRange) {
  Edit->SetMinValue(0);
  Edit->SetMaxValue(100);
  Focus(true);
  Edit->SelectAll();
  const int32_t beeps = BeepCount();
  SynthText(Edit, "-1.234");  // '-' refused, then the third decimal
  EXPECT_EQ(Edit->Text(), "1.23");
  EXPECT_EQ(BeepCount() - beeps, 2);
  // ',' is the thousands separator here: it stays and the number reads without it.
  Edit->SelectAll();
  SynthText(Edit, "1,5");
  EXPECT_EQ(Edit->Text(), "1,5");
  EXPECT_EQ(Edit->Value(), 15);
  DecimalSeparator = ',';
  ThousandSeparator = '.';
  Edit->SelectAll();
  SynthText(Edit, "2,5");
  EXPECT_EQ(Edit->Value(), 2.5);
  DecimalSeparator = '.';
  ThousandSeparator = ',';
  Edit->SetValue(150);
  EXPECT_EQ(Edit->Value(), 100);
  // Only a lower limit when the maximum is 0 and below the minimum.
  Edit->SetMaxValue(0);
  Edit->SetMinValue(5);
  Edit->SetValue(3);
  EXPECT_EQ(Edit->Value(), 5);
  Edit->SetValue(1e6);
  EXPECT_EQ(Edit->Value(), 1e6);
  // Escape writes the text from the value again.
  Edit->SetValue(7);
  Edit->SelectAll();
  SynthText(Edit, "99");
  SynthKey(Edit, VK_ESCAPE);
  EXPECT_EQ(Edit->Text(), "7");
}

TEST_F(CalcEditTest, TextsThatAreNoNumbersNeverEscapeAHandler) {
  Edit->SetMinValue(1);
  Edit->SetMaxValue(10);
  Edit->SetValue(4);
  EXPECT_THROW(Edit->SetText("abc"), EConvertError);
  EXPECT_EQ(Edit->Value(), 4);
  // Pasting text that is no number puts the old text back, with a beep.
  Focus(true);
  SetClipboardText("zwölf");
  Edit->SelectAll();
  const int32_t beeps = BeepCount();
  Edit->PasteFromClipboard();
  EXPECT_EQ(Edit->Text(), "4");
  EXPECT_EQ(BeepCount(), beeps + 1);
  // A typed value out of range is limited on leaving, never kept.
  Edit->SelectAll();
  SynthText(Edit, "50");
  EXPECT_EQ(Edit->Value(), 10);
  Focus(false);
  EXPECT_EQ(Edit->Text(), "10");
  // With CheckOnExit leaving raises the range error and the text stays for correction.
  Edit->SetCheckOnExit(true);
  Focus(true);
  Edit->SelectAll();
  SynthText(Edit, "0");
  try {
    Edit->Perform(WM_KILLFOCUS);
    FAIL() << "no range error";
  } catch (const ERangeError& e) {
    EXPECT_STREQ(e.what(), "Wert muß zwischen 1.00 und 10.00 liegen");
  }
  EXPECT_EQ(Edit->Text(), "0");
}

TEST_F(CalcEditTest, FormatOnEditingKeepsThousandsSeparators) {
  Edit->SetFormatOnEditing(true);
  Focus(true);
  Edit->SelectAll();
  SynthText(Edit, "1234567");
  EXPECT_EQ(Edit->Text(), "1,234,567");
  EXPECT_EQ(Edit->Value(), 1234567);
}

TEST_F(CalcEditTest, ThePopupCalculatorWorksOnTheEditsValue) {
  Edit->SetValue(21);
  int changes = 0;
  Edit->OnChange = [&](TObject*) { ++changes; };
  Edit->DoClick();
  TPopupCalculator* pop = Edit->Calculator();
  ASSERT_TRUE(Edit->PopupVisible());
  EXPECT_TRUE(pop->Visible());
  EXPECT_EQ(pop->Width(), 104);
  EXPECT_EQ(pop->Height(), 127);
  TLocCalculator* calc = pop->Calculator();
  EXPECT_EQ(calc->DisplayText(), "21");
  // Below the edit, right edges on one line.
  const TPoint e = Form->ClientToScreen(TPoint{Edit->Left(), Edit->Top()});
  EXPECT_EQ(pop->Top(), e.Y + Edit->Height());
  EXPECT_EQ(pop->Left() + pop->Width(), std::max(e.X + Edit->Width(), pop->Width()));
  // Keys typed in the edit work the calculator; the edit shows its display.
  SynthText(Edit, "*2");
  EXPECT_EQ(Edit->ShownText(), "2");
  EXPECT_EQ(calc->FindButton('*')->Font().Color(), clPurple);
  EXPECT_EQ(calc->FindButton('C')->Font().Color(), clMaroon);
  Form->Repaint();
  const auto shot = GrabControl(pop);
  ASSERT_NE(shot, nullptr);
  SaveShot(*shot, "calc_popup.png");
  SynthText(Edit, "=");
  EXPECT_FALSE(Edit->PopupVisible());
  EXPECT_FALSE(pop->Visible());
  EXPECT_EQ(Edit->Value(), 42);
  EXPECT_EQ(changes, 1);

  // Escape closes without taking the value; so does a click elsewhere.
  Edit->DoClick();
  SynthText(Edit, "5");
  SynthKey(Edit, VK_ESCAPE);
  EXPECT_FALSE(Edit->PopupVisible());
  EXPECT_EQ(Edit->Value(), 42);
  Edit->DoClick();
  SynthText(Edit, "9");
  SynthMouse(Form, maPress, 300, 200);
  SynthMouse(Form, maRelease, 300, 200);
  EXPECT_FALSE(Edit->PopupVisible());
  EXPECT_EQ(Edit->Value(), 42);
  // The button pressed again closes it accepting.
  Edit->DoClick();
  SynthText(Edit, "+1");
  SynthMouse(Edit->Button(), maPress, 3, 3);
  SynthMouse(Edit->Button(), maRelease, 3, 3);
  EXPECT_FALSE(Edit->PopupVisible());
  EXPECT_EQ(Edit->Value(), 1);  // "+1" on a fresh entry shows 1
  // An error is never taken: the popup stays until C.
  Edit->DoClick();
  SynthText(Edit, "/0=");
  EXPECT_TRUE(Edit->PopupVisible());
  EXPECT_EQ(Edit->ShownText(), "Error");
  SynthKey(Edit, VK_ESCAPE);
  EXPECT_EQ(Edit->Value(), 1);
  // A release on the pop-up's own window closes it, accepting inside its client area.
  Edit->DoClick();
  SynthText(Edit, "8");
  SynthMouse(pop, maRelease, 1, 1);
  EXPECT_FALSE(Edit->PopupVisible());
  EXPECT_EQ(Edit->Value(), 8);
}

TEST_F(CalcEditTest, APopupNearTheBottomOpensAboveTheEdit) {
  const int32_t sh = Screen->Height();
  Form->SetBounds(0, sh - 80, 320, 80);
  Edit->SetTop(30);
  Edit->DoClick();
  TPopupCalculator* pop = Edit->Calculator();
  const TPoint e = Form->ClientToScreen(TPoint{Edit->Left(), Edit->Top()});
  EXPECT_EQ(pop->Top(), e.Y - pop->Height());
  Edit->PopupCloseUp(pop, false);
  // Left alignment puts its left edge on the edit's.
  Edit->SetPopupAlign(epaLeft);
  Edit->DoClick();
  EXPECT_EQ(pop->Left(), e.X);
  Edit->PopupCloseUp(pop, false);
  Form->Repaint();
  const auto shot = GrabControl(Edit);
  ASSERT_NE(shot, nullptr);
  SaveShot(*shot, "calc_edit.png");
}

}  // namespace
}  // namespace kv

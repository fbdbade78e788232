// The colour choice dialog, opened as the program opens it and answered
// through its own controls.
#include <gtest/gtest.h>

#include <functional>

#include "app/filters/colour_pick.h"
#include "imaging/views/hsv_box.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/picture.h"
#include "platform/ui/image.h"
#include "platform/ui/panel.h"
#include "components/controls/kv_spin.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/std_controls.h"

namespace kv {
namespace {

// Runs PickColor on Packed with Script working the shown dialog's frame.
bool Pick(uint32_t& Packed, const std::function<TModalResult(TFrameColorForm&)>& Script) {
  EnsureQtApplication();
  TScriptedDialogsScope dialogs;
  bool shown = false;
  dialogs->AnswerModal([&](TCustomForm& Form) {
    auto* pick = dynamic_cast<TColorPickForm*>(&Form);
    if (!pick) return mrAbort;
    shown = true;
    EXPECT_EQ(pick->Caption(), "Farbauswahl");
    EXPECT_EQ(pick->OkButton->Caption(), "&Ok");
    return Script(*pick->Frame);
  });
  const bool ok = PickColor(Packed);
  EXPECT_TRUE(shown);
  EXPECT_EQ(dialogs->Pending(), 0u);
  return ok;
}

TEST(ColourPick, ChannelEditsInEachModelGiveTheColour) {
  struct TCase {
    const char* Model;  // as the model list shows it
    std::vector<const char*> Typed;
    uint32_t Expected;
  } cases[] = {
      {"RGB", {"200", "100", "50"}, 0xC86432},    {"CMYK", {"0", "100", "100", "0"}, 0xFF0000},  // pure red
      {"CMYK", {"0", "0", "0", "100"}, 0x000000},                                                // K 100 % is black
      {"HSV", {"0", "0", "99"}, 0xFFFFFF},        {"YUV", {"128", "0", "0"}, 0x808080},
      {"Lab", {"100", "0", "0"}, 0xFFFFFF},
  };
  for (const TCase& c : cases) {
    uint32_t packed = 0x123456;
    const bool ok = Pick(packed, [&](TFrameColorForm& F) {
      F.ModelCombo->Select(F.ModelCombo->IndexOf(c.Model));
      EXPECT_EQ(F.Model(), ColorModelIndex(c.Model));
      for (size_t k = 0; k < c.Typed.size(); ++k) F.ChannelEdits[k]->SetText(c.Typed[k]);
      return mrOk;
    });
    EXPECT_TRUE(ok) << c.Model;
    EXPECT_EQ(packed, c.Expected) << c.Model << ' ' << std::hex << packed;
  }
}

TEST(ColourPick, ShowsTheColourAndItsCodeAndCancelChangesNothing) {
  uint32_t packed = 0xFF8000;
  const bool ok = Pick(packed, [](TFrameColorForm& F) {
    EXPECT_EQ(F.HtmlEdit->Text(), "FF8000");
    EXPECT_EQ(F.ChannelLabels[0]->Caption(), "Rot");
    EXPECT_DOUBLE_EQ(F.ChannelEdits[0]->Value(), 255);
    // Switching the model keeps the colour and renames the channels.
    F.ModelCombo->Select(F.ModelCombo->IndexOf("CMYK"));
    EXPECT_EQ(F.ChannelLabels[3]->Caption(), "Schwarz");
    EXPECT_TRUE(F.ChannelEdits[3]->Visible());
    EXPECT_DOUBLE_EQ(F.ChannelEdits[1]->Value(), 50);  // magenta: half of green is missing
    F.HtmlEdit->SetText("00FF80");
    F.ChannelEdits[2]->SetText("50");  // yellow share 50 of the model's 100
    return mrCancel;
  });
  EXPECT_FALSE(ok);
  EXPECT_EQ(packed, 0xFF8000u);
}

TEST(ColourPick, ValueRanges) {
  uint32_t packed = 0xFFFFFF;
  Pick(packed, [](TFrameColorForm& F) {
    F.RangeCombo->Select(F.RangeCombo->IndexOf("0..1"));
    EXPECT_DOUBLE_EQ(F.ChannelEdits[0]->Value(), 1);
    EXPECT_DOUBLE_EQ(F.ChannelEdits[0]->Increment(), 0.01);
    EXPECT_EQ(F.MaxLabels[0]->Caption(), "1");
    F.ChannelEdits[1]->SetValue(0.5);
    EXPECT_EQ(F.HtmlEdit->Text(), "FF80FF");
    F.RangeCombo->Select(F.RangeCombo->IndexOf("Modell"));
    F.ModelCombo->Select(F.ModelCombo->IndexOf("Lab"));
    EXPECT_DOUBLE_EQ(F.ChannelMin(1), -128);
    EXPECT_DOUBLE_EQ(F.ChannelMax(1), 127);
    F.ModelCombo->Select(F.ModelCombo->IndexOf("HSV"));
    EXPECT_DOUBLE_EQ(F.ChannelMax(0), 359);
    EXPECT_DOUBLE_EQ(F.ChannelEdits[0]->Increment(), 1);
    return mrOk;
  });
}

// Column x of a strip, row y of the bar, (x, y) of the field, as drawn.
TBGRPixel Shown(TImage* Image, int32_t X, int32_t Y) {
  const TBitmap& b = Image->Picture().Bitmap();
  return static_cast<const TBGRPixel*>(b.ScanLine(Y))[X];
}

TEST(ColourPick, StripsFieldAndDragging) {
  uint32_t packed = 0x204060;
  const bool ok = Pick(packed, [](TFrameColorForm& F) {
    // RGB strips: column x holds the channel at x, the others at the colour's values.
    for (int32_t k = 0; k < 3; ++k) {
      EXPECT_EQ(F.Strips[size_t(k)]->Picture().Bitmap().Width(), 256);
      EXPECT_EQ(F.Strips[size_t(k)]->Picture().Bitmap().Height(), 17);
    }
    EXPECT_FALSE(F.Strips[3]->Visible());
    EXPECT_EQ(Shown(F.Strips[0], 200, 14), (TBGRPixel{0x60, 0x40, 200}));
    EXPECT_EQ(Shown(F.Strips[2], 10, 14), (TBGRPixel{10, 0x40, 0x20}));
    // The cursor is the inverse of the strip under it.
    const TBGRPixel under = Shown(F.Strips[0], 0x20, 14);
    EXPECT_EQ(Shown(F.Strips[0], 0x20 - 3, 3), (TBGRPixel{uint8_t(255 - under.b), uint8_t(255 - under.g), uint8_t(255 - under.r)}));
    // "Kanäle trennen": the other channels take the model's fixed values.
    F.SeparateBox->SetChecked(true);
    EXPECT_EQ(Shown(F.Strips[1], 100, 14), (TBGRPixel{0, 100, 0}));
    F.SeparateBox->SetChecked(false);
    // Dragging on the green strip sets green to x / 255, held inside the strip.
    F.Strips[1]->OnMouseDown(F.Strips[1], mbLeft, {}, 128, 8);
    EXPECT_EQ(F.HtmlEdit->Text(), "208060");
    F.Strips[1]->OnMouseMove(F.Strips[1], {}, 400, 8);
    EXPECT_EQ(F.HtmlEdit->Text(), "20FF60");
    F.Strips[1]->OnMouseUp(F.Strips[1], mbLeft, {}, 400, 8);
    F.Strips[1]->OnMouseMove(F.Strips[1], {}, 0, 8);  // released: no more dragging
    EXPECT_EQ(F.HtmlEdit->Text(), "20FF60");
    // The bar holds red (top 255, bottom 0); the field green across, blue upwards.
    EXPECT_EQ(F.ChannelCombo->Item(0), "Rot");
    EXPECT_EQ(Shown(F.Bar, 2, 0), (TBGRPixel{0x60, 0xFF, 255}));
    EXPECT_EQ(Shown(F.Bar, 2, 255), (TBGRPixel{0x60, 0xFF, 0}));
    EXPECT_EQ(Shown(F.Field, 10, 254), (TBGRPixel{1, 10, 0x20}));
    F.Field->OnMouseDown(F.Field, mbLeft, {}, 255, 0);
    F.Field->OnMouseUp(F.Field, mbLeft, {}, 255, 0);
    EXPECT_EQ(F.HtmlEdit->Text(), "20FFFF");
    F.Bar->OnMouseDown(F.Bar, mbLeft, {}, 5, 0);
    F.Bar->OnMouseUp(F.Bar, mbLeft, {}, 5, 0);
    EXPECT_EQ(F.HtmlEdit->Text(), "FFFFFF");
    // Another channel on the bar: the field shows the other two.
    F.ChannelCombo->Select(2);
    F.Field->OnMouseDown(F.Field, mbLeft, {}, 0, 255);
    F.Field->OnMouseUp(F.Field, mbLeft, {}, 0, 255);
    EXPECT_EQ(F.HtmlEdit->Text(), "0000FF");
    // CMYK has a fourth strip, captioned "Schwarz".
    F.ModelCombo->Select(F.ModelCombo->IndexOf("CMYK"));
    EXPECT_TRUE(F.Strips[3]->Visible());
    EXPECT_EQ(F.StripLabels[3]->Caption(), "Schwarz");
    F.Strips[3]->OnMouseDown(F.Strips[3], mbLeft, {}, 255, 8);
    F.Strips[3]->OnMouseUp(F.Strips[3], mbLeft, {}, 255, 8);
    EXPECT_EQ(F.HtmlEdit->Text(), "000000");  // K 100 % is black
    return mrOk;
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(packed, 0u);
}

TEST(ColourPick, SmallFrameOpensTheDialog) {
  EnsureQtApplication();
  TFramehsvform f(nullptr);
  int changes = 0, clicks = 0;
  f.OnChange = [&](TObject*) { ++changes; };
  f.OnClick = [&](TObject*) { ++clicks; };
  EXPECT_EQ(f.Button1->Caption(), "Wählen ...");
  EXPECT_EQ(f.Button1->Hint(), "Ruft einen größeren Dialog zur Farbauswahl auf.");
  EXPECT_EQ(f.Panel1->Hint(), "Hier sehen Sie die gewählte Farbe.");
  f.SetColor(TColor(0x0000FF));  // red
  EXPECT_EQ(f.Panel1->Color(), TColor(0x0000FF));
  TScriptedDialogsScope dialogs;
  for (const TModalResult answer : {mrCancel, mrOk}) {
    dialogs->AnswerModal([&](TCustomForm& Form) {
      auto* pick = dynamic_cast<TColorPickForm*>(&Form);
      if (!pick) return mrAbort;
      EXPECT_EQ(pick->Frame->Packed(), 0xFF0000u);  // the box's colour
      pick->Frame->SetPacked(0x00FF00);
      return answer;
    });
    f.Button1->Click();
  }
  EXPECT_EQ(f.Color(), TColor(0x00FF00));
  EXPECT_EQ(f.Panel1->Color(), TColor(0x00FF00));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(changes, 0);
  // Releasing the mouse in the box raises both events.
  f.HSVBox1->OnMouseUp(f.HSVBox1, mbLeft, {}, 5, 5);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(clicks, 2);
}

}  // namespace
}  // namespace kv

// The colour choice dialog, opened as the program opens it and answered
// through its own controls.
#include <gtest/gtest.h>

#include <functional>

#include "app/filters/colour_pick.h"
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

}  // namespace
}  // namespace kv

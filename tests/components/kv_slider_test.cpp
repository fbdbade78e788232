// The slider: geometry from its pictures, keyboard steps, thumb dragging,
// repeating page steps, ticks, both orientations and the events.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "components/controls/kv_slider.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "support/shot_file.h"

namespace kv {
namespace {

void Mouse(TControl& C, UINT Msg, int32_t X, int32_t Y, uint32_t Keys = 0) {
  C.Perform(Msg, Keys, static_cast<LPARAM>(MakeLong(X, Y)));
}
void Key(TControl& C, uint16_t Vk) { C.Perform(WM_KEYDOWN, Vk, 1); }

TColor Rgb(TColor C) { return TColor(ColorToRGB(C)); }

class Slider : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 300, 300);
    S = new TKvSlider(Form);
    S->SetParent(Form);
    S->OnChange = [this](TObject*) { Log.push_back("change " + IntToStr(S->Value())); };
    S->OnChanged = [this](TObject*) { Log.push_back("changed " + IntToStr(S->Value())); };
  }
  void TearDown() override { delete Form; }
  const TBitmap& Render() {
    S->Invalidate();
    S->PreparePaint();
    return S->BackBuffer();
  }
  TForm* Form = nullptr;
  TKvSlider* S = nullptr;
  std::vector<std::string> Log;
};

TEST_F(Slider, DefaultsAndGeometryFromTheBuiltInPictures) {
  EXPECT_EQ(S->Width(), 150);
  EXPECT_EQ(S->Height(), 40);
  EXPECT_EQ(S->MinValue(), 0);
  EXPECT_EQ(S->MaxValue(), 100);
  EXPECT_EQ(S->Increment(), 10);
  EXPECT_EQ(S->Orientation(), soHorizontal);
  EXPECT_EQ(S->Options(), (TSliderOptions{soShowFocus, soShowPoints, soSmooth}));
  EXPECT_EQ(S->EdgeSize(), 2);
  EXPECT_TRUE(S->TabStop());
  EXPECT_EQ(S->UserImages(), 0);
  // The ruler is 12 pixels shorter than the client; the thumb starts 6 pixels in.
  EXPECT_EQ(S->RulerBitmap().Width(), 138);
  EXPECT_EQ(S->ThumbRect(), (TRect{6, 10, 17, 30}));
  S->SetValue(100);
  EXPECT_EQ(S->ThumbRect().Left, 6 + 138 - 11);
  S->SetValue(250);  // limited
  EXPECT_EQ(S->Value(), 100);
  EXPECT_EQ(Log, std::vector<std::string>{"change 100"});

  const TBitmap& b = Render();
  EXPECT_EQ(b.GetPixelColor(133, 20), Rgb(clBtnHighlight));  // the thumb's lit left edge
  test::SaveShot(b, "kv_slider.png");
}

TEST_F(Slider, KeysStepToMultiplesOfTheIncrement) {
  const struct {
    int32_t From;
    uint16_t Key;
    int32_t To;
  } cases[] = {{50, VK_RIGHT, 60}, {50, VK_LEFT, 40}, {55, VK_RIGHT, 70}, {45, VK_RIGHT, 50}, {7, VK_RIGHT, 20},
               {7, VK_LEFT, 0},    {0, VK_LEFT, 0},   {100, VK_RIGHT, 100}, {37, VK_HOME, 0}, {37, VK_END, 100},
               {50, VK_UP, 50},    {50, VK_DOWN, 50}};
  for (const auto& c : cases) {
    S->SetValue(c.From);
    Log.clear();
    Key(*S, c.Key);
    EXPECT_EQ(S->Value(), c.To) << c.From << " " << c.Key;
    if (c.Key != VK_UP && c.Key != VK_DOWN)
      EXPECT_EQ(Log.back(), "changed " + IntToStr(c.To)) << c.From;  // a step ends in OnChanged
    else
      EXPECT_TRUE(Log.empty());
  }
  for (int32_t bad : {0, -3, 101}) {
    try {
      S->SetIncrement(bad);
      ADD_FAILURE() << bad;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Wert muß zwischen 1 und 100 liegen");
    }
  }
  EXPECT_EQ(S->Increment(), 10);
  S->SetIncrement(25);
  S->SetValue(30);
  Key(*S, VK_RIGHT);
  EXPECT_EQ(S->Value(), 50);
}

TEST_F(Slider, DraggingTheThumbAndSnapping) {
  Mouse(*S, WM_LBUTTONDOWN, 10, 20, MK_LBUTTON);  // 4 pixels into the thumb
  EXPECT_TRUE(S->ThumbDown());
  Mouse(*S, WM_MOUSEMOVE, S->ValueToPosition(50) + 4, 20, MK_LBUTTON);
  EXPECT_EQ(S->Value(), 50);
  EXPECT_EQ(S->ThumbRect().Left, S->ValueToPosition(50));
  // Pressed: the right half of the thumb picture (its dark face) shows.
  EXPECT_EQ(Render().GetPixelColor(S->ThumbRect().Left + 5, 15), Rgb(clBtnShadow));
  Mouse(*S, WM_LBUTTONUP, S->ValueToPosition(50) + 4, 20);
  EXPECT_FALSE(S->ThumbDown());
  EXPECT_EQ(Log, (std::vector<std::string>{"change 50", "changed 50"}));

  // Without soSmooth values snap to the increment, halves to the even multiple.
  S->SetOptions(TSliderOptions{soShowFocus, soShowPoints});
  for (auto [raw, snapped] : {std::pair{25, 20}, {35, 40}, {44, 40}, {96, 100}}) {
    const int32_t grab = S->ThumbRect().Left + 3;
    Mouse(*S, WM_LBUTTONDOWN, grab, 20, MK_LBUTTON);
    Mouse(*S, WM_MOUSEMOVE, S->ValueToPosition(raw) + 3, 20, MK_LBUTTON);
    Mouse(*S, WM_LBUTTONUP, S->ValueToPosition(raw) + 3, 20);
    EXPECT_EQ(S->Value(), snapped) << raw;
  }
}

TEST_F(Slider, HoldingTheRulerRepeatsStepsTowardsThePointer) {
  Mouse(*S, WM_LBUTTONDOWN, 100, 20, MK_LBUTTON);
  EXPECT_EQ(S->Value(), 10);  // one step at once
  EXPECT_TRUE(S->Stepping());
  // Every 400 ms another, until the thumb reaches the pointer.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (S->Value() < 70 && std::chrono::steady_clock::now() < deadline) Application->ProcessMessages();
  EXPECT_EQ(S->Value(), 70);
  Mouse(*S, WM_LBUTTONUP, 100, 20);
  EXPECT_FALSE(S->Stepping());
  EXPECT_EQ(Log.back(), "changed 70");
  // Left of the thumb decreases; off the ruler nothing happens.
  Mouse(*S, WM_LBUTTONDOWN, 8, 19, MK_LBUTTON);
  Mouse(*S, WM_LBUTTONUP, 8, 19);
  EXPECT_EQ(S->Value(), 60);
  Mouse(*S, WM_LBUTTONDOWN, 8, 2, MK_LBUTTON);
  Mouse(*S, WM_LBUTTONUP, 8, 2);
  EXPECT_EQ(S->Value(), 60);
}

TEST_F(Slider, VerticalSlidersGrowUpwards) {
  S->SetOrientation(soVertical);
  S->SetBounds(0, 0, 40, 150);
  EXPECT_EQ(S->RulerBitmap().Height(), 138);
  EXPECT_EQ(S->ThumbRect(), (TRect{10, 6 + 138 - 11, 30, 6 + 138}));  // MinValue at the bottom
  Key(*S, VK_UP);
  EXPECT_EQ(S->Value(), 10);
  Key(*S, VK_DOWN);
  EXPECT_EQ(S->Value(), 0);
  Key(*S, VK_LEFT);
  EXPECT_EQ(S->Value(), 0);
  S->SetValue(100);
  EXPECT_EQ(S->ThumbRect().Top, 6);  // MaxValue at the top
  // Above the thumb nothing is left; below it decreases.
  Mouse(*S, WM_LBUTTONDOWN, 20, 100, MK_LBUTTON);
  Mouse(*S, WM_LBUTTONUP, 20, 100);
  EXPECT_EQ(S->Value(), 90);
  Mouse(*S, WM_LBUTTONDOWN, 20, S->ThumbRect().Top + 2, MK_LBUTTON);  // on the thumb: a drag to the bottom
  Mouse(*S, WM_MOUSEMOVE, 20, 400, MK_LBUTTON);
  Mouse(*S, WM_LBUTTONUP, 20, 400);
  EXPECT_EQ(S->Value(), 0);
  test::SaveShot(Render(), "kv_slider_vertical.png");
}

TEST_F(Slider, TicksAtLeastFourPixelsApartWithBothEnds) {
  EXPECT_EQ(S->TickValues(), (std::vector<int32_t>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
  const TBitmap& b = Render();
  // End ticks are 5 pixels long, inner ones 3, below the thumb, in the shadow colour.
  EXPECT_EQ(b.GetPixelColor(11, 36), Rgb(clBtnShadow));
  EXPECT_EQ(b.GetPixelColor(24, 34), Rgb(clBtnShadow));
  EXPECT_NE(b.GetPixelColor(24, 36), Rgb(clBtnShadow));
  S->SetMaxValue(1000);
  const std::vector<int32_t> t = S->TickValues();
  EXPECT_EQ(t[1], 40);  // 10 values are 1.27 pixels: every fourth increment
  EXPECT_EQ(t.back(), 1000);
  EXPECT_EQ(t[t.size() - 2], 960);
  S->SetMaxValue(1);
  S->SetIncrement(1);
  EXPECT_EQ(S->TickValues(), (std::vector<int32_t>{0, 1}));
}

TEST_F(Slider, UserPicturesAndTheRulerBuiltFromThem) {
  TBitmap ruler(10, 4, pf24bit);
  for (int32_t x = 0; x < 10; ++x)
    for (int32_t y = 0; y < 4; ++y)
      ruler.SetPixelColor(x, y, x < 2 ? clRed : x >= 8 ? clBlue : TColor(RGB(uint8_t(x * 20), 100, 0)));
  S->SetImage(siHRuler, &ruler);
  EXPECT_EQ(S->UserImages(), 1 << siHRuler);
  const TBitmap& r = S->RulerBitmap();
  ASSERT_EQ(r.Width(), 138);
  EXPECT_EQ(r.GetPixelColor(0, 1), clRed);
  EXPECT_EQ(r.GetPixelColor(2, 1), ruler.GetPixelColor(2, 1));
  EXPECT_EQ(r.GetPixelColor(8, 1), ruler.GetPixelColor(2, 1));  // the middle repeats
  EXPECT_EQ(r.GetPixelColor(135, 1), ruler.GetPixelColor(3, 1));  // the last copy is cut short
  EXPECT_EQ(r.GetPixelColor(136, 1), clBlue);

  TBitmap thumb(8, 12, pf24bit);
  S->SetNumThumbStates(1);
  S->SetOptions(S->Options() + TSliderOptions{soThumbOpaque});
  S->SetImage(siHThumb, &thumb);
  EXPECT_EQ(S->ThumbRect().Width(), 8);
  S->SetImage(siHThumb, nullptr);  // the built-in one again, and no longer opaque
  EXPECT_FALSE(S->Options().Contains(soThumbOpaque));
  EXPECT_EQ(S->UserImages(), 1 << siHRuler);
}

}  // namespace
}  // namespace kv

// The check box that sizes itself to its caption.
#include <gtest/gtest.h>

#include "components/controls/resizing_check_box.h"
#include "platform/graphics/draw_text.h"
#include "platform/ui/forms.h"
#include "platform/ui/input_synth.h"
#include "platform/ui/qt_app.h"
#include "support/shot_file.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::SaveShot;

TSize Measure(const TFont& Font, const std::string& Text) {
  TBitmap b(1, 1);
  b.Canvas().Font().Assign(Font);
  TRect r{0, 0, 0, 0};
  DrawText(b.Canvas(), Text, r, DT_CALCRECT | DT_EXPANDTABS | DT_NOCLIP);
  return {r.Width(), r.Height()};
}

TEST(ResizingCheckBox, FollowsItsCaptionButNeverGetsLower) {
  EnsureQtApplication();
  TForm form(nullptr);
  form.SetBounds(0, 0, 400, 200);
  auto* b = new TResizingCheckBox(&form);
  EXPECT_TRUE(b->AutoSize());
  b->SetBounds(12, 30, 97, 17);
  b->SetParent(&form);
  b->SetCaption("Kurz");
  const int32_t w0 = b->Width();
  EXPECT_EQ(w0, Measure(b->Font(), "Kurz").cx + 20);
  // A longer caption widens it by exactly the text growth; the position stays.
  b->SetCaption("Kurz und dann viel länger");
  EXPECT_EQ(b->Width() - w0, Measure(b->Font(), "Kurz und dann viel länger").cx - Measure(b->Font(), "Kurz").cx);
  EXPECT_EQ(b->Left(), 12);
  EXPECT_EQ(b->Top(), 30);
  // Two lines make it taller; a short caption afterwards keeps that height.
  b->SetCaption("Erste Zeile\nZweite Zeile");
  const int32_t h2 = b->Height();
  EXPECT_EQ(h2, std::max(17, Measure(b->Font(), "Erste Zeile\nZweite Zeile").cy));
  EXPECT_GT(h2, 17);
  b->SetCaption("x");
  EXPECT_EQ(b->Height(), h2);
  // A bigger font is measured again.
  b->SetCaption("Schrift");
  const int32_t small = b->Width();
  b->Font().SetSize(b->Font().Size() * 2);
  EXPECT_GT(b->Width(), small);
  // Without AutoSize it keeps its designed size.
  b->SetAutoSize(false);
  b->SetBounds(12, 30, 50, 17);
  b->SetCaption("Ein sehr langer Text, der nicht passt");
  EXPECT_EQ(b->Width(), 50);
  EXPECT_EQ(b->Height(), 17);
  b->SetAutoSize(true);
  EXPECT_GT(b->Width(), 50);

  form.Show();
  b->SetChecked(true);
  form.Repaint();
  const auto shot = GrabControl(b);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(shot->Width(), b->Width());
  SaveShot(*shot, "resizing_check_box.png");
}

}  // namespace
}  // namespace kv

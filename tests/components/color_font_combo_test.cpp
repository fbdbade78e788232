// Colour and font combo boxes: their lists, selection by value and by name,
// and the owner-drawn items rendered.
#include <gtest/gtest.h>

#include <algorithm>

#include "components/controls/color_font_combo.h"
#include "platform/ui/forms.h"
#include "platform/ui/input_synth.h"
#include "platform/ui/qt_app.h"
#include "support/shot_file.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::SaveShot;

class ComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 300, 200);
  }
  void TearDown() override { delete Form; }
  template <class T>
  T* Make() {
    auto* c = new T(Form);
    c->SetParent(Form);
    c->SetBounds(10, 10, 160, 22);
    return c;
  }
  // Every item drawn under one another, the selected one as given.
  static std::unique_ptr<TBitmap> RenderList(TCustomComboBox* C, int32_t Selected, int32_t Width = 160) {
    const int32_t h = C->ItemHeight();
    auto b = std::make_unique<TBitmap>(Width, h * C->Count(), pf24bit);
    for (int32_t i = 0; i < C->Count(); ++i) {
      TBitmap item(Width, h, pf24bit);
      TOwnerDrawState s;
      if (i == Selected) s.Include(odSelected);
      C->DrawItem(item.Canvas(), i, Rect(0, 0, Width, h), s);
      b->Canvas().Draw(0, i * h, item);
    }
    return b;
  }
  TForm* Form = nullptr;
};

std::vector<std::string> Names(const TCustomComboBox* C) {
  std::vector<std::string> n;
  for (int32_t i = 0; i < C->Count(); ++i) n.push_back(C->Item(i));
  return n;
}

TEST_F(ComboTest, TheColourListAndItsNames) {
  auto* c = Make<TColorComboBox>();
  EXPECT_EQ(c->Style(), csDropDownList);
  EXPECT_TRUE(c->DisplayNames());
  const std::vector<std::string> sixteen = {"Black", "Maroon", "Green", "Olive", "Navy",   "Purple", "Teal", "Gray",
                                            "Silver", "Red",   "Lime",  "Yellow", "Blue", "Fuchsia", "Aqua", "White"};
  EXPECT_EQ(Names(c), sixteen);
  EXPECT_EQ(static_cast<TColor>(c->ItemData(4)), 0x800000);  // navy: blue * 65536
  EXPECT_EQ(c->ItemIndex(), 0);
  c->SetOptions({coIncludeDefault, coIncludeNone});
  ASSERT_EQ(c->Count(), 18);
  EXPECT_EQ(c->Item(16), "None");
  EXPECT_EQ(c->Item(17), "Vorgabe");
  EXPECT_EQ(static_cast<TColor>(c->ItemData(16)), clNone);
  EXPECT_EQ(static_cast<TColor>(c->ItemData(17)), clDefault);
  c->SetColorNames({"", "Kastanie", ""});
  EXPECT_EQ(c->Item(0), "Black");
  EXPECT_EQ(c->Item(1), "Kastanie");
  c->SetOptions({});
  EXPECT_EQ(c->Count(), 16);
}

TEST_F(ComboTest, ColourSelectionByValueByClickAndByTypedName) {
  auto* c = Make<TColorComboBox>();
  int changes = 0;
  c->OnChange = [&](TObject*) { ++changes; };
  c->SetColorValue(clTeal);
  EXPECT_EQ(c->ItemIndex(), 6);
  EXPECT_EQ(c->Text(), "Teal");
  EXPECT_EQ(changes, 1);
  c->SetColorValue(clTeal);
  EXPECT_EQ(changes, 1);
  // A colour not in the list: no item in a drop-down list.
  c->SetColorValue(0x123456);
  EXPECT_EQ(c->ItemIndex(), -1);
  EXPECT_EQ(c->ColorValue(), 0x123456);
  EXPECT_EQ(changes, 2);
  // Clicking an item takes its colour; the same again is no change.
  c->Select(9);
  EXPECT_EQ(c->ColorValue(), clRed);
  EXPECT_EQ(changes, 3);
  c->Select(9);
  EXPECT_EQ(changes, 3);

  c->SetStyle(csDropDown);
  c->SetColorValue(0x123456);
  EXPECT_EQ(c->Text(), "$00123456");
  changes = 0;
  c->TypeText("Lime");
  EXPECT_EQ(c->ColorValue(), clLime);
  EXPECT_EQ(changes, 1);
  c->TypeText("$00FF0000");
  EXPECT_EQ(c->ColorValue(), clBlue);
  c->TypeText("$00FF000");  // not done typing: a different number
  EXPECT_EQ(changes, 3);
  c->TypeText("kein Name");  // no name, no number: the value stays, no event
  EXPECT_EQ(c->ColorValue(), 0x0FF000);
  EXPECT_EQ(changes, 3);
}

TEST_F(ComboTest, ColourSwatchesAreFramedToStayVisible) {
  auto* c = Make<TColorComboBox>();
  const auto list = RenderList(c, 4);
  const int32_t h = c->ItemHeight();
  EXPECT_GE(h, 9);
  auto px = [&](int32_t Item, int32_t X, int32_t Y) {
    return static_cast<TColor>(list->GetPixelColor(X, Item * h + Y));
  };
  // The swatch: 2 pixels in, 22 wide; its frame at (2, 2).
  // A channel above 192 makes the frame black, so light colours stay visible.
  EXPECT_EQ(px(15, 2, 2), clBlack);
  EXPECT_EQ(px(15, 10, h / 2), clWhite);
  EXPECT_EQ(px(9, 2, 2), clBlack);
  EXPECT_EQ(px(9, 10, h / 2), clRed);
  EXPECT_EQ(px(8, 2, 2), clSilver);  // 192 itself is not above
  EXPECT_EQ(px(1, 2, 2), clMaroon);  // dark and unselected: framed in itself
  EXPECT_EQ(px(4, 2, 2), clWhite);   // selected: a white frame
  EXPECT_EQ(px(4, 10, h / 2), clNavy);
  EXPECT_EQ(px(1, 1, 1), static_cast<TColor>(ColorToRGB(clWindow)));  // outside the swatch: cleared
  EXPECT_EQ(px(4, 1, 1), static_cast<TColor>(ColorToRGB(clHighlight)));
  SaveShot(*list, "color_combo_items.png");

  c->SetDisplayNames(false);
  TBitmap wide(100, h, pf24bit);
  c->DrawItem(wide.Canvas(), 2, Rect(0, 0, 100, h), {});
  EXPECT_EQ(static_cast<TColor>(wide.GetPixelColor(90, h / 2)), clGreen);  // up to 3 pixels before the edge

  c->SetDisplayNames(true);
  Form->Show();
  c->SetColorValue(clPurple);
  Form->Repaint();
  const auto shot = GrabControl(c);
  ASSERT_NE(shot, nullptr);
  SaveShot(*shot, "color_combo_closed.png");
  int purple = 0;
  for (int32_t y = 0; y < shot->Height(); ++y)
    for (int32_t x = 0; x < shot->Width(); ++x) purple += static_cast<TColor>(shot->GetPixelColor(x, y)) == clPurple;
  EXPECT_GT(purple, 20);  // the closed box draws its current item too
}

TEST_F(ComboTest, TheFontListFiltersAndSelectsByName) {
  auto* f = Make<TFontComboBox>();
  EXPECT_EQ(f->Device(), fdScreen);
  EXPECT_FALSE(f->UseFonts());
  const std::vector<std::string> all = Names(f);
  ASSERT_FALSE(all.empty());
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
  auto has = [](const std::vector<std::string>& L, const std::string& N) {
    return std::find(L.begin(), L.end(), N) != L.end();
  };
  ASSERT_TRUE(has(all, "DejaVu Sans"));
  ASSERT_TRUE(has(all, "DejaVu Sans Mono"));
  const int32_t sans = f->IndexOf("DejaVu Sans");
  EXPECT_EQ(f->ItemData(sans), TRUETYPE_FONTTYPE | NOT_SYMBOL_FONT);

  int changes = 0;
  f->OnChange = [&](TObject*) { ++changes; };
  f->SetFontName("dejavu sans");
  EXPECT_EQ(f->FontName(), "DejaVu Sans");
  EXPECT_EQ(changes, 1);
  f->SetFontName("DejaVu Sans");
  EXPECT_EQ(changes, 1);
  f->Perform(CM_FONTCHANGE);  // the installed fonts changed: the list is built again, the name stays
  EXPECT_EQ(f->FontName(), "DejaVu Sans");
  EXPECT_EQ(f->Count(), static_cast<int32_t>(all.size()));
  EXPECT_EQ(changes, 1);

  // A rebuild that keeps the name says nothing; one that loses it says so once.
  f->SetTrueTypeOnly(true);
  EXPECT_TRUE(f->Options().Contains(foTrueTypeOnly));
  for (int32_t i = 0; i < f->Count(); ++i) EXPECT_TRUE(f->ItemData(i) & TRUETYPE_FONTTYPE) << f->Item(i);
  EXPECT_EQ(f->FontName(), "DejaVu Sans");
  EXPECT_EQ(changes, 1);
  f->SetOptions({foFixedPitchOnly});
  EXPECT_TRUE(has(Names(f), "DejaVu Sans Mono"));
  EXPECT_FALSE(has(Names(f), "DejaVu Sans"));
  EXPECT_EQ(f->FontName(), "");
  EXPECT_EQ(changes, 2);

  f->SetOptions({foNoSymbolFonts});
  for (int32_t i = 0; i < f->Count(); ++i) EXPECT_TRUE(f->ItemData(i) & NOT_SYMBOL_FONT) << f->Item(i);
  EXPECT_FALSE(has(Names(f), "D050000L"));  // the dingbats of the URW fonts
  f->SetOptions({foOEMFontsOnly});
  EXPECT_EQ(f->Count(), 0);

  // Typed into an editable box, a listed name selects its entry.
  f->SetOptions({});
  f->SetStyle(csDropDown);
  changes = 0;
  f->TypeText("dejavu serif");
  EXPECT_EQ(f->FontName(), "DejaVu Serif");
  EXPECT_GE(f->ItemIndex(), 0);
  EXPECT_EQ(changes, 1);
}

TEST_F(ComboTest, FontItemsShowTheirSymbolAndOptionallyTheirFont) {
  auto* f = Make<TFontComboBox>();
  f->SetUseFonts(true);
  const int32_t serif = f->IndexOf("DejaVu Serif"), mono = f->IndexOf("DejaVu Sans Mono");
  ASSERT_GE(serif, 0);
  ASSERT_GE(mono, 0);
  const int32_t h = f->ItemHeight();
  EXPECT_GE(h, 11);  // at least the symbol's height - 1
  TBitmap a(200, h, pf24bit), b(200, h, pf24bit);
  f->DrawItem(a.Canvas(), serif, Rect(0, 0, 200, h), {});
  f->DrawItem(b.Canvas(), mono, Rect(0, 0, 200, h), {odSelected});
  // The TrueType symbol sits 2 pixels from the left: black in it, none before it.
  int black = 0;
  for (int32_t y = 0; y < h; ++y) {
    EXPECT_NE(static_cast<TColor>(a.GetPixelColor(0, y)), clBlack);
    for (int32_t x = 2; x < 14; ++x) black += static_cast<TColor>(a.GetPixelColor(x, y)) == clBlack;
  }
  EXPECT_GT(black, 10);
  // Each name drawn in its own font: the two renderings differ in the text area.
  f->SetUseFonts(false);
  TBitmap plain(200, h, pf24bit);
  f->DrawItem(plain.Canvas(), serif, Rect(0, 0, 200, h), {});
  int differ = 0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 20; x < 200; ++x) differ += a.GetPixelColor(x, y) != plain.GetPixelColor(x, y);
  EXPECT_GT(differ, 10);
  f->SetUseFonts(true);
  const auto list = RenderList(f, mono, 220);
  SaveShot(*list, "font_combo_items.png");
}

}  // namespace
}  // namespace kv

// Length, resolution and size frames: values kept in pixels and dpi, shown
// in the user's unit, the proportional rule and the "Spezial" menus.
#include <gtest/gtest.h>

#include "app/dialogs/size_frames.h"
#include "components/controls/calc_edit.h"
#include "interpreter_fixture.h"
#include "platform/ui/button.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/std_controls.h"

namespace kv::test {
namespace {

class SizeFrames : public InterpreterTest {
 protected:
  void SetUp() override {
    InterpreterTest::SetUp();
    Host = std::make_unique<TForm>(nullptr);
    Host->SetName("SizeHost");
  }
  void TearDown() override {
    Host.reset();
    SetPopupRunner(nullptr);
    PrintDialogBusy = false;
    InterpreterTest::TearDown();
  }
  // A size panel whose starting size is W x H at Dpi.
  Tsizeframe& Sizes(double W, double H, double Dpi = 300) {
    auto* f = new Tsizeframe(Host.get());
    f->SetParent(Host.get());
    f->dpiframeform1->SetValueNotify(Dpi);
    f->SetSize(W, H);
    f->show();
    return *f;
  }
  std::unique_ptr<TForm> Host;
};

TEST_F(SizeFrames, LengthFrameConvertsUnitsAndKeepsPixels) {
  auto* f = new Tconverterframe(Host.get());
  int clicks = 0;
  f->OnClick = [&](TObject*) { ++clicks; };
  f->SetResolution(300);
  f->SetUnitIndex(2);
  f->SetShown(10);  // typing 10 cm
  EXPECT_NEAR(f->Value(), 1181.1023622, 1e-6);
  EXPECT_EQ(clicks, 1);
  f->SetUnitIndex(1);  // another unit shows the same length
  EXPECT_NEAR(f->Shown(), 10 / 2.54, 1e-6);
  f->SetUnitIndex(2);
  EXPECT_NEAR(f->Shown(), 10, 1e-6);
  EXPECT_NEAR(f->Value(), 1181.1023622, 1e-6);

  f->SetBase(800);
  f->SetUnitIndex(7);
  f->SetShown(50);
  EXPECT_DOUBLE_EQ(f->Value(), 400);

  // SetValue shows without telling; the notifying one tells.
  clicks = 0;
  f->SetUnitIndex(0);
  f->SetValue(120);
  EXPECT_EQ(clicks, 0);
  EXPECT_DOUBLE_EQ(f->Shown(), 120);
  f->SetValueNotify(130);
  EXPECT_EQ(clicks, 1);
}

TEST_F(SizeFrames, NoResolutionFallsBackAndSizesStayWithinTheBitmapLimit) {
  auto* f = new Tconverterframe(Host.get());
  f->SetResolution(0);
  f->SetUnitIndex(1);
  f->SetShown(2);  // 2 inches at no resolution: the default 300 dpi, not 0 or a division by 0
  EXPECT_DOUBLE_EQ(f->Value(), 600);
  f->SetValue(900);
  EXPECT_DOUBLE_EQ(f->Shown(), 3);

  f->SetUnitIndex(4);
  f->SetShown(1e9);  // a billion metres
  EXPECT_DOUBLE_EQ(f->Value(), double(MaxFramePixels()));
  EXPECT_NEAR(f->ToPixels(f->Shown()), double(MaxFramePixels()), 1);  // the number was put back to the limit
  f->SetUnitIndex(0);
  f->SetShown(-5);
  EXPECT_DOUBLE_EQ(f->Value(), 0);

  auto* d = new Tdpiframeform(Host.get());
  d->SetValue(0);
  EXPECT_DOUBLE_EQ(d->Value(), kDefaultFrameResolution);
  // Two lengths of one panel, the resolution typed as 0: still 300 dpi underneath.
  Tsizeframe& s = Sizes(400, 300);
  s.dpiframeform1->SetShown(0);
  EXPECT_DOUBLE_EQ(s.Resolution(), kDefaultFrameResolution);
  s.converterframe1->SetUnitIndex(2);
  EXPECT_NEAR(s.converterframe1->Shown(), 400 / 300.0 * 2.54, 1e-6);

  // The area is held too: a width that would pass the limit with this height shrinks.
  s.converterframe1->SetUnitIndex(0);
  s.converterframe1->SetShown(double(MaxFramePixels()));
  EXPECT_LE(int64_t(s.WidthPixels()) * int64_t(s.HeightPixels()), MaxFramePixels());
  EXPECT_EQ(s.HeightPixels(), 300);
}

TEST_F(SizeFrames, ResolutionFrameUnitsAndSpinArrows) {
  auto* d = new Tdpiframeform(Host.get());
  d->SetValue(254);
  const double shown[] = {254, 100, 10, 10000};
  for (int32_t unit = 0; unit < 4; ++unit) {
    d->SetUnitIndex(unit);
    EXPECT_NEAR(d->Shown(), shown[unit], 1e-9) << unit;
  }
  d->SetUnitIndex(1);
  d->SetShown(100);  // 100 pixels per cm
  EXPECT_NEAR(d->Value(), 254, 1e-9);

  auto* f = new Tconverterframe(Host.get());
  f->SetValue(1);
  f->DownClick(nullptr);  // not below 1
  EXPECT_DOUBLE_EQ(f->Shown(), 1);
  f->UpClick(nullptr);
  EXPECT_DOUBLE_EQ(f->Shown(), 2);
  f->DownClick(nullptr);
  EXPECT_DOUBLE_EQ(f->Shown(), 1);
  PrintDialogBusy = true;  // the print dialog is laying out
  f->UpClick(nullptr);
  EXPECT_DOUBLE_EQ(f->Shown(), 1);
}

TEST_F(SizeFrames, ProportionalPanel) {
  Tsizeframe& s = Sizes(400, 300, 72);
  EXPECT_EQ(s.origlabel->Caption(), "400 x 300 Pixel");
  EXPECT_EQ(s.orres->Caption(), "72 dpi");
  EXPECT_EQ(s.memorylabel->Caption(), "351.56 KB");
  s.CheckBox1->SetChecked(true);
  s.converterframe1->SetShown(800);
  EXPECT_DOUBLE_EQ(s.HeightPixels(), 600);
  s.converterframe2->SetShown(150);
  EXPECT_DOUBLE_EQ(s.WidthPixels(), 200);

  // Switching it on fits the starting aspect into the present box.
  s.CheckBox1->SetChecked(false);
  s.SetSize(1000, 300);
  s.CheckBox1->SetChecked(true);
  EXPECT_DOUBLE_EQ(s.WidthPixels(), 400);
  EXPECT_DOUBLE_EQ(s.HeightPixels(), 300);

  // A new resolution keeps the pixels and shows the physical units anew.
  s.converterframe1->SetUnitIndex(1);
  s.dpiframeform1->SetShown(200);
  EXPECT_DOUBLE_EQ(s.WidthPixels(), 400);
  EXPECT_DOUBLE_EQ(s.converterframe1->Shown(), 2);
}

TEST_F(SizeFrames, SpecialSizeMenu) {
  Tsizeframe& s = Sizes(400, 300);
  struct TCase {
    const char* Path;
    double W, H;
    int32_t Unit;
  } cases[] = {
      {"Breite und Höhe tauschen", 300, 400, 0},
      {"Doppelte", 800, 600, 0},
      {"Hälfte", 200, 150, 0},
      {"Orignalgröße", 400, 300, 0},
      {"Monitor|1024 x 768", 1024, 768, 0},
      {"Icon|16 x 16 (Pixel)", 16, 16, 0},
      {"Papierformat (Europa)|A4 (210 mm x 297 mm) - Standardgröße", 210 / 25.4 * 300, 297 / 25.4 * 300, 3},
      {"Foto|90 mm x 130 mm", 90 / 25.4 * 300, 130 / 25.4 * 300, 3},
      {"Papierformate (US)|Letter (8.5 Zoll x 11 Zoll)", 2550, 3300, 1},
      {"Papierformate (US)|B4 (250 mm x 353 mm)", 250 / 25.4 * 300, 353 / 25.4 * 300, 3},
  };
  for (const TCase& c : cases) {
    s.CheckBox1->SetChecked(true);
    s.SetSize(400, 300);
    s.converterframe1->SetUnitIndex(0);
    s.converterframe2->SetUnitIndex(0);
    ASSERT_TRUE(s.sizespecialform1->Choose(c.Path)) << c.Path;
    EXPECT_FALSE(s.CheckBox1->Checked()) << c.Path;
    EXPECT_NEAR(s.WidthPixels(), c.W, 1e-6) << c.Path;
    EXPECT_NEAR(s.HeightPixels(), c.H, 1e-6) << c.Path;
    EXPECT_EQ(s.converterframe1->UnitIndex(), c.Unit) << c.Path;
    EXPECT_EQ(s.converterframe2->UnitIndex(), c.Unit) << c.Path;
  }
  EXPECT_NEAR(s.converterframe1->Shown(), 250, 1e-6);

  // Re-proportioning against the starting 4:3.
  s.SetSize(800, 100);
  s.sizespecialform1->Choose("Re-Proportioniere Breite");
  EXPECT_NEAR(s.WidthPixels(), 133.333333, 1e-5);
  s.SetSize(800, 100);
  s.sizespecialform1->Choose("Re-Proportioniere Höhe");
  EXPECT_DOUBLE_EQ(s.HeightPixels(), 600);
  s.SetSize(800, 100);
  s.sizespecialform1->Choose("Reproportioniere (eingepasst)");
  EXPECT_DOUBLE_EQ(s.WidthPixels(), 133);
  EXPECT_DOUBLE_EQ(s.HeightPixels(), 100);
  s.SetSize(800, 100);
  s.sizespecialform1->Choose("Reproportioniere (abgeschnitten)");
  EXPECT_DOUBLE_EQ(s.WidthPixels(), 800);
  EXPECT_DOUBLE_EQ(s.HeightPixels(), 600);

  // The active image, and no printer: nothing changes.
  OverrideChild(64, 48, TBGRPixel{0, 0, 0});
  Form->OverrideChild = nullptr;
  s.sizespecialform1->Choose("Aktuelles Bild");
  EXPECT_DOUBLE_EQ(s.WidthPixels(), 64);
  EXPECT_DOUBLE_EQ(s.HeightPixels(), 48);
  s.sizespecialform1->Choose("Druckbarer Bereich");
  EXPECT_DOUBLE_EQ(s.WidthPixels(), 64);
}

TEST_F(SizeFrames, SpecialButtonsPopTheirMenusWithSubmenus) {
  Tsizeframe& s = Sizes(400, 300);
  // The runner picks by caption from the menu as it pops up, as a user would.
  std::string wanted;
  SetPopupRunner([&](TPopupMenu& Menu, int32_t, int32_t) {
    const auto all = FlattenPopupItems(Menu.Items());
    for (size_t i = 0; i < all.size(); ++i)
      if (all[i]->Caption == wanted) return int32_t(i);
    return -1;
  });
  wanted = "800 x 600";
  s.sizespecialform1->SpecialButton->Click();
  EXPECT_DOUBLE_EQ(s.WidthPixels(), 800);
  EXPECT_DOUBLE_EQ(s.HeightPixels(), 600);
  wanted = "Monitor";  // a submenu itself runs nothing
  s.sizespecialform1->SpecialButton->Click();
  EXPECT_DOUBLE_EQ(s.WidthPixels(), 800);

  wanted = "1440";
  int clicks = 0;
  s.dpiframeform1->OnClick = [&](TObject*) { ++clicks; };
  s.framedpispecialform1->SpecialButton->Click();
  EXPECT_DOUBLE_EQ(s.dpiframeform1->Value(), 1440);
  EXPECT_EQ(clicks, 1);
  s.dpiframeform1->SetValue(600);
  ASSERT_TRUE(s.framedpispecialform1->Choose("Originalauflösung"));
  EXPECT_DOUBLE_EQ(s.dpiframeform1->Value(), 300);
  ASSERT_TRUE(s.framedpispecialform1->Choose("Scanner|9600"));
  EXPECT_DOUBLE_EQ(s.dpiframeform1->Value(), 9600);
}

}  // namespace
}  // namespace kv::test

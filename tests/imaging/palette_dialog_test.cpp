#include "imaging/views/palette_dialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/ui/dialogs.h"
#include "platform/ui/qt_app.h"

namespace kv {
namespace {

constexpr int32_t kCell = TImagerPaletteDialog::kCellSize;

class PaletteDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Forms need the Qt application with widgets; an earlier test of this
    // program may have made one without (ctest runs each test alone).
    try {
      EnsureQtApplication();
    } catch (const EInvalidOperation&) {
      GTEST_SKIP() << "a Qt application without widgets exists in this process";
    }
    // 300 entries, none black or white, so cells and outlines tell apart.
    for (int32_t i = 0; i < 300; ++i)
      Entries.push_back(TBGRPixel{static_cast<uint8_t>(i % 251), static_cast<uint8_t>(40 + i % 7),
                                  static_cast<uint8_t>(200 - i % 200)});
    Dlg = std::make_unique<TImagerPaletteDialog>(nullptr);
  }

  TColor ColorOf(int32_t Index) const {
    const TBGRPixel& e = Entries[static_cast<size_t>(Index)];
    return static_cast<TColor>(RGB(e.r, e.g, e.b));
  }
  static int32_t CellX(int32_t Index) { return Index % 32 * kCell; }
  static int32_t CellY(int32_t Index) { return Index / 32 * kCell; }

  TColor Pixel(int32_t X, int32_t Y) {
    Dlg->Update();
    return Dlg->BackBuffer().GetPixelColor(X, Y);
  }
  TColor Background() const { return static_cast<TColor>(ColorToRGB(clBtnFace)); }
  void Move(int32_t X, int32_t Y) { Dlg->Perform(WM_MOUSEMOVE, 0, static_cast<LPARAM>(MakeLong(X, Y))); }
  void ClickAt(int32_t X, int32_t Y) {
    Dlg->Perform(WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(MakeLong(X, Y)));
    Dlg->Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>(MakeLong(X, Y)));
  }

  std::vector<TBGRPixel> Entries;
  std::unique_ptr<TImagerPaletteDialog> Dlg;
};

TEST_F(PaletteDialogTest, FormAndCancelButtonAsBuilt) {
  EXPECT_EQ(Dlg->Width(), 539);
  EXPECT_EQ(Dlg->Height(), 199);
  EXPECT_EQ(Dlg->Caption(), "");
  EXPECT_EQ(Dlg->BorderStyle(), bsDialog);
  EXPECT_EQ(Dlg->BorderIcons(), TBorderIcons{biSystemMenu});
  TButton* b = Dlg->CancelButton();
  EXPECT_EQ(b->Parent(), Dlg.get());
  EXPECT_EQ(b->Caption(), "&Cancel");
  EXPECT_EQ(b->ModalResult(), mrCancel);
  EXPECT_TRUE(b->Cancel());
  EXPECT_EQ(b->BoundsRect(), Bounds(8, 144, 75, 25));

  Dlg->Show();  // placed at the screen centre
  const TRect area = Screen->WorkAreaRect();
  EXPECT_EQ(Dlg->Left(), area.Left + (area.Width() - 539) / 2);
  EXPECT_EQ(Dlg->Top(), area.Top + (area.Height() - 199) / 2);
}

TEST_F(PaletteDialogTest, CellsAreLaidOutThirtyTwoToARowWithWhiteOutlines) {
  Dlg->SetPalette(Entries.data(), 40);
  for (int32_t i : {0, 1, 31, 32, 33, 39}) {
    const int32_t x = CellX(i), y = CellY(i);
    EXPECT_EQ(Pixel(x + 1, y + 1), ColorOf(i)) << i;
    EXPECT_EQ(Pixel(x + 14, y + 14), ColorOf(i)) << i;
    EXPECT_EQ(Pixel(x, y), clWhite) << i;
    EXPECT_EQ(Pixel(x + 15, y + 15), clWhite) << i;
    EXPECT_EQ(Pixel(x + 15, y + 8), clWhite) << i;
  }
  // Past the last entry and right of the grid: the form's background.
  EXPECT_EQ(Pixel(CellX(40) + 8, CellY(40) + 8), Background());
  EXPECT_EQ(Pixel(32 * kCell + 4, 4), Background());
}

TEST_F(PaletteDialogTest, CountIsClampedToTheGrid) {
  struct TCase {
    int32_t Count;
    int32_t Shown;
  };
  for (const TCase c : {TCase{300, 256}, TCase{256, 256}, TCase{-5, 0}, TCase{0, 0}}) {
    Dlg->SetPalette(Entries.data(), c.Count);
    EXPECT_EQ(Dlg->EntryCount(), c.Shown) << c.Count;
    if (c.Shown > 0) {
      EXPECT_EQ(Pixel(CellX(c.Shown - 1) + 8, CellY(c.Shown - 1) + 8), ColorOf(c.Shown - 1));
    }
    EXPECT_EQ(Pixel(CellX(c.Shown) + 8, CellY(c.Shown) + 8), Background()) << c.Count;
  }
  Dlg->SetPalette(nullptr, 10);
  EXPECT_EQ(Dlg->EntryCount(), 0);
}

TEST_F(PaletteDialogTest, TheEntryUnderTheMouseIsOutlinedInBlack) {
  Dlg->SetPalette(Entries.data(), 40);
  Move(CellX(33) + 5, CellY(33) + 9);
  EXPECT_EQ(Dlg->Current(), 33);
  EXPECT_EQ(Pixel(CellX(33), CellY(33)), clBlack);
  EXPECT_EQ(Pixel(CellX(33) + 15, CellY(33) + 15), clBlack);
  EXPECT_EQ(Pixel(CellX(33) + 8, CellY(33) + 8), ColorOf(33));
  EXPECT_EQ(Pixel(CellX(32), CellY(32)), clWhite);

  // Over no cell the current entry stays.
  const TPoint outside[] = {{32 * kCell, 3}, {CellX(45) + 3, CellY(45) + 3}, {-1, 5}, {5, -1}, {5, 190}};
  for (const TPoint& p : outside) {
    Move(p.X, p.Y);
    EXPECT_EQ(Dlg->Current(), 33) << p.X << "," << p.Y;
  }
  EXPECT_EQ(Pixel(CellX(33), CellY(33)), clBlack);

  Move(CellX(0) + 15, CellY(0));
  EXPECT_EQ(Dlg->Current(), 0);
  EXPECT_EQ(Pixel(CellX(0), CellY(0)), clBlack);
  EXPECT_EQ(Pixel(CellX(33), CellY(33)), clWhite);
}

TEST_F(PaletteDialogTest, AClickPicksTheColourAndEndsWithOk) {
  Dlg->SetPalette(Entries.data(), 40);
  TScriptedDialogsScope dialogs;
  dialogs->AnswerModal([&](TCustomForm& F) {
    ClickAt(CellX(20) + 3, 150);  // no entry current yet: nothing happens
    EXPECT_EQ(F.ModalResult(), mrNone);
    Move(CellX(37) + 2, CellY(37) + 2);
    ClickAt(CellX(37) + 2, CellY(37) + 2);
    return mrNone;
  });
  EXPECT_TRUE(Dlg->Execute());
  EXPECT_EQ(Dlg->Color(), ColorOf(37));
  EXPECT_FALSE(Dlg->Visible());

  // A press without a move before it takes the cell under it.
  dialogs->AnswerModal([&](TCustomForm&) {
    ClickAt(CellX(5) + 8, CellY(5) + 8);
    return mrNone;
  });
  EXPECT_TRUE(Dlg->Execute());
  EXPECT_EQ(Dlg->Color(), ColorOf(5));
}

TEST_F(PaletteDialogTest, CancelAndEscapeReturnFalse) {
  Dlg->SetPalette(Entries.data(), 40);
  TScriptedDialogsScope dialogs;
  dialogs->AnswerModal([&](TCustomForm&) {
    Move(CellX(3), CellY(3));
    Dlg->CancelButton()->Click();
    return mrNone;
  });
  EXPECT_FALSE(Dlg->Execute());
  dialogs->AnswerModal([&](TCustomForm& F) {
    F.Perform(CM_DIALOGKEY, VK_ESCAPE, 0);
    return mrNone;
  });
  EXPECT_FALSE(Dlg->Execute());
  EXPECT_EQ(Dlg->Color(), clBlack);  // nothing picked
}

}  // namespace
}  // namespace kv

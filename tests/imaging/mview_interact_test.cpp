#include <gtest/gtest.h>

#include "imaging/views/imager_mview.h"
#include "mview_fixture.h"
#include "platform/ui/timer.h"

namespace kv {
namespace {

using test::MViewTest;

TEST_F(MViewTest, MouseSelects) {
  MakeView(300, 200);
  View->SetThumbWidth(50);
  View->SetThumbHeight(40);
  View->SetGridWidth(4);
  AddSolid(12);
  std::vector<int32_t> picked;
  View->OnImageSelect = [&](TObject*, int32_t idx) { picked.push_back(idx); };
  Click(CellX(5), CellY(5));
  EXPECT_EQ(View->SelectedImage(), 5);
  EXPECT_EQ(picked, std::vector<int32_t>{5});
  Click(2, 2);  // between cells: nothing
  EXPECT_EQ(View->SelectedImage(), 5);
  // The mouse-down a double-click brings is ignored: the press stays where it was.
  Mouse(WM_LBUTTONDBLCLK, CellX(6), CellY(6), MK_LBUTTON);
  Mouse(WM_LBUTTONUP, CellX(5), CellY(5), 0);
  EXPECT_EQ(View->SelectedImage(), 5);
  // The right button selects nothing.
  Mouse(WM_RBUTTONDOWN, CellX(1), CellY(1), MK_RBUTTON);
  Mouse(WM_RBUTTONUP, CellX(1), CellY(1), 0);
  EXPECT_EQ(View->SelectedImage(), 5);

  View->SetEnableMultiSelect(true);
  Click(CellX(1), CellY(1));
  Click(CellX(3), CellY(3), MK_CONTROL);
  EXPECT_EQ(View->MultiSelectedImages(), (std::vector<int32_t>{1, 3}));
  Click(CellX(3), CellY(3), MK_CONTROL);  // Ctrl on a selected image toggles it off
  EXPECT_EQ(View->SelectedImage(), -1);
  EXPECT_EQ(View->MultiSelectedImages(), std::vector<int32_t>{1});
  // Shift without region: every index between.
  Click(CellX(1), CellY(1));
  Click(CellX(4), CellY(4), MK_SHIFT);
  EXPECT_EQ(View->MultiSelectedImages(), (std::vector<int32_t>{1, 2, 3, 4}));
  // Shift with region: the rectangle of rows 0..2 and columns 1..2.
  View->SetMultiSelectionOptions(TIMMultiSelectionOptions{immoRegion});
  Click(CellX(1), CellY(1));
  Click(CellX(10), CellY(10), MK_SHIFT);
  std::vector<int32_t> sel = View->MultiSelectedImages();
  std::sort(sel.begin(), sel.end());
  EXPECT_EQ(sel, (std::vector<int32_t>{1, 2, 5, 6, 9, 10}));
  EXPECT_EQ(View->SelectedImage(), 10);
  // A drag selects the range from the pressed image to the one under the mouse.
  View->SetMultiSelectionOptions({});
  Mouse(WM_LBUTTONDOWN, CellX(1), CellY(1), MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, CellX(2), CellY(2), MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, CellX(3), CellY(3), MK_LBUTTON);
  Mouse(WM_LBUTTONUP, CellX(3), CellY(3), 0);
  EXPECT_EQ(View->MultiSelectedImages(), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(View->SelectedImage(), 3);
}

// Sizes of 0 leave no division by zero anywhere (UBSan would stop here).
TEST_F(MViewTest, ZeroSizesAreHarmless) {
  MakeView(300, 200);
  View->SetGridWidth(-1);
  View->SetThumbWidth(0);
  View->SetThumbHeight(0);
  View->SetHorizBorder(0);
  View->SetVertBorder(0);
  AddSolid(5);
  EXPECT_EQ(View->Columns(), 0);
  Painted();
  for (uint16_t k : {VK_RIGHT, VK_NEXT, VK_DOWN, VK_PRIOR, VK_UP, VK_END}) Key(k);
  View->Perform(WM_MOUSEWHEEL, MakeLong(0, -120), 0);
  Click(0, 0);
  View->SetBottomGap(50);  // an image area below 0
  View->SetThumbWidth(10);
  Painted();
  View->SetThumbWidth(-20);  // nonsense sizes draw nothing sensible, but nothing breaks
  View->SetHorizBorder(-3);
  View->SetSelectedImage(0);
  Painted();
  Key(VK_NEXT);
  View->SetThumbWidth(100000);  // a cell far larger than the screen keeps no picture of itself
  View->SetThumbHeight(100000);
  View->SetHorizBorder(4);
  View->SetBottomGap(0);
  View->SetGridWidth(0);
  View->SetViewY(12500);  // the 40 x 30 picture fills 100000 x 75000 from y 12500 on
  EXPECT_EQ(At(Painted(), 150, 100), (TBGRPixel{0, 100, 200}));
  EXPECT_FALSE(View->Entry(0)->Prepared);
  EXPECT_EQ(View->GetImageCount(), 5);
}

TEST_F(MViewTest, DragScrollsWithScrollInteraction) {
  MakeView(300, 200);
  View->SetMouseInteract(TIMMMouseInteract{mmiScroll});
  AddSolid(10);  // one row 1044 pixels wide
  Mouse(WM_LBUTTONDOWN, 200, 50, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, 150, 40, MK_LBUTTON);
  EXPECT_EQ(View->ViewX(), 50);
  EXPECT_EQ(View->ViewY(), 0);  // nothing to scroll vertically
  Mouse(WM_LBUTTONUP, 20, 50, 0);
  EXPECT_EQ(View->ViewX(), 180);
  EXPECT_EQ(View->SelectedImage(), -1);  // scroll only: no selection
}

TEST_F(MViewTest, KeyboardMoves) {
  MakeView(300, 240);  // 2 rows of 104 fit: a page is 2 rows
  View->SetGridWidth(-1);  // (300 - 4) div 104 = 2 columns
  AddSolid(9);
  ASSERT_EQ(View->Columns(), 2);
  Key(VK_LEFT);  // needs a selection
  EXPECT_EQ(View->SelectedImage(), -1);
  Key(VK_RIGHT);
  EXPECT_EQ(View->SelectedImage(), 0);
  struct Step {
    uint16_t Key;
    int32_t Selected;
  };
  for (const Step s : {Step{VK_DOWN, 2}, Step{VK_RIGHT, 3}, Step{VK_NEXT, 7}, Step{VK_NEXT, 7}, Step{VK_DOWN, 8},
                       Step{VK_DOWN, 8}, Step{VK_PRIOR, 4}, Step{VK_UP, 2}, Step{VK_LEFT, 1}, Step{VK_END, 8},
                       Step{VK_HOME, 0}, Step{VK_UP, 0}, Step{'A', 0}}) {
    Key(s.Key);
    EXPECT_EQ(View->SelectedImage(), s.Selected) << "key " << s.Key;
    EXPECT_EQ(View->IsImageVisible(View->SelectedImage()), 2) << "key " << s.Key;
  }
  // Ctrl with multi-select adds to the selection.
  View->SetEnableMultiSelect(true);
  Click(CellX(1), CellY(1));
  Key(VK_LEFT, TShiftState{ssCtrl});
  EXPECT_EQ(View->MultiSelectedImages(), (std::vector<int32_t>{1, 0}));
  EXPECT_EQ(View->Perform(CM_WANTSPECIALKEY, VK_DOWN, 0), 1);
  View->Perform(WM_KEYDOWN, VK_END, 0);  // through the window's own key message
  EXPECT_EQ(View->SelectedImage(), 8);
}

TEST_F(MViewTest, PlaysOnTheTimer) {
  MakeView(300, 200);
  View->SetGridWidth(-1);
  AddSolid(3);
  View->SetImageDelay(0, 0);  // 0 plays at 10 ms, not a busy loop
  View->SetImageDelay(1, 30);
  View->SetImageDelay(2, 0);
  View->SetSelectedImage(2);
  int32_t wraps = 0;
  View->AddBitmapChangeEvent([&](TObject*, bool Destroying) {
    if (!Destroying && View->Playing() && View->PlayIndex() == 0) ++wraps;
  });
  View->SetPlaying(true);
  EXPECT_EQ(View->DisplayMode(), mdSingle);
  EXPECT_EQ(View->SelectedImage(), -1);
  EXPECT_EQ(View->PlayIndex(), 1);  // frame 0 shown, 1 next
  EXPECT_EQ(View->PlayTimer().Interval(), 10u);
  EXPECT_TRUE(View->PlayTimer().Enabled());
  View->SetSelectedImage(1);  // ignored while playing
  View->SetDisplayMode(mdGrid);  // only remembered
  EXPECT_EQ(View->SelectedImage(), -1);
  EXPECT_EQ(View->DisplayMode(), mdSingle);
  View->PlayFrame();  // frame 1
  EXPECT_EQ(View->PlayTimer().Interval(), 30u);
  // Frame 1 shows its own picture in the single cell.
  EXPECT_EQ(At(Painted(), 50, 50).b, 2);  // the index moved on after painting frame 1
  Wait(400);
  EXPECT_GT(wraps, 2);  // it loops
  // An insert while playing is refused as a selection but still reported where it went.
  View->TakeLastChange();
  View->InsertImage(1);
  EXPECT_EQ(View->TakeLastChange(), 1);
  EXPECT_EQ(View->LastChangeIndex(), 1);
  View->DeleteImageNoUpdate(1);  // the inserted one; deleting stops the player
  EXPECT_FALSE(View->Playing());
  EXPECT_FALSE(View->PlayTimer().Enabled());
  EXPECT_EQ(View->DisplayMode(), mdGrid);
  // The selection from before playing is back, one lower for the deleted entry.
  EXPECT_EQ(View->SelectedImage(), 2);
  ASSERT_NE(View->GetBitmap(), nullptr);
  EXPECT_EQ(At(*View->GetBitmap(), 0, 0).b, 2);

  View->Clear();  // an empty list stops at once
  View->SetPlaying(true);
  EXPECT_FALSE(View->PlayTimer().Enabled());
  View->SetPlaying(false);
}

}  // namespace
}  // namespace kv

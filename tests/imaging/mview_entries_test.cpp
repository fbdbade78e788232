#include <gtest/gtest.h>

#include "imaging/views/imager_mview.h"
#include "mview_fixture.h"
#include "platform/ui/scrolling.h"

namespace kv {
namespace {

using test::MViewTest;

TEST_F(MViewTest, Defaults) {
  MakeView();
  TImagerMView& v = *View;
  EXPECT_EQ(v.ThumbWidth(), 100);
  EXPECT_EQ(v.ThumbHeight(), 100);
  EXPECT_EQ(v.HorizBorder(), 4);
  EXPECT_EQ(v.SelectionWidth(), 3);
  EXPECT_EQ(v.SelectionColor(), 255);
  EXPECT_EQ(v.GridWidth(), 0);
  EXPECT_EQ(v.ImageCacheSize(), 10);
  EXPECT_EQ(v.ImageStore().GetMaxMapped(), 10);
  EXPECT_EQ(v.Style(), immsACD);
  EXPECT_EQ(v.SelectedImage(), -1);
  EXPECT_EQ(v.GetBitmap(), nullptr);
  EXPECT_TRUE(v.MouseInteract() == TIMMMouseInteract{mmiSelect});
  EXPECT_EQ(GetPropValue(&v, "StoreType"), "imtNormal");
  EXPECT_EQ(GetPropValue(&v, "WallPaperStyle"), "imwoNormal");
  SetPropValue(&v, "GridWidth", "-1");
  EXPECT_EQ(v.GridWidth(), -1);
  SetPropValue(&v, "ImageCacheSize", "3");
  EXPECT_EQ(v.ImageStore().GetMaxMapped(), 3);
  TImagerMView lone(nullptr);
  EXPECT_EQ(lone.Width(), 180);
  EXPECT_EQ(lone.Height(), 90);
}

TEST(MViewFit, FitThumbSize) {
  struct Case {
    int32_t W, H, MaxW, MaxH, OutW, OutH;
  };
  for (const Case c : {Case{200, 100, 100, 100, 100, 50}, Case{10, 20, 100, 100, 50, 100},
                       Case{1000, 1, 100, 100, 100, 1}, Case{1, 1000, 100, 100, 1, 100},
                       Case{100, 100, 100, 0, 1, 1}}) {
    int32_t w = -1, h = -1;
    FitThumbSize(c.W, c.H, c.MaxW, c.MaxH, w, h);
    EXPECT_EQ(w, c.OutW) << c.W << "x" << c.H;
    EXPECT_EQ(h, c.OutH) << c.W << "x" << c.H;
  }
  int32_t w = 7, h = 7;
  FitThumbSize(0, 10, 100, 100, w, h);
  EXPECT_EQ(w, 7);  // nothing for a picture without area
}

TEST_F(MViewTest, GridLayout) {
  MakeView(300, 200);
  View->SetThumbWidth(50);
  View->SetThumbHeight(40);
  AddSolid(7);
  struct Case {
    int32_t GridWidth, ClientW, Row6, Col6, TotalW, TotalH;
  };
  // -1: (300 - 4) div 54 = 5 columns; a client narrower than one cell gives 0 columns: one row.
  for (const Case c : {Case{0, 300, 0, 6, 6 * 54 + 4 + 54, 4 + 44}, Case{3, 300, 2, 0, 4 + 2 * 54 + 54, 4 + 2 * 44 + 44},
                       Case{-1, 300, 1, 1, 4 + 4 * 54 + 54, 4 + 44 + 44}, Case{-1, 40, 0, 6, 6 * 54 + 4 + 54, 48}}) {
    View->SetWidth(c.ClientW);
    View->SetGridWidth(c.GridWidth);
    EXPECT_EQ(View->ImageRow(6), c.Row6) << c.GridWidth << " " << c.ClientW;
    EXPECT_EQ(View->ImageCol(6), c.Col6) << c.GridWidth << " " << c.ClientW;
    EXPECT_EQ(View->Entry(6)->X, 4 + c.Col6 * 54);
    EXPECT_EQ(View->Entry(6)->Y, 4 + c.Row6 * 44);
    EXPECT_EQ(View->TotalWidth(), c.TotalW) << c.GridWidth << " " << c.ClientW;
    EXPECT_EQ(View->TotalHeight(), c.TotalH) << c.GridWidth << " " << c.ClientW;
  }
  View->SetWidth(300);
  View->SetGridWidth(3);
  EXPECT_EQ(View->ImageAtGridPos(2, 0), 6);
  EXPECT_EQ(View->ImageAtPos(4 + 54 + 10, 4 + 44 + 10), 4);
  EXPECT_EQ(View->ImageAtPos(2, 2), -1);  // the border between cells
  EXPECT_EQ(View->IsImageVisible(0), 2);
  EXPECT_EQ(View->IsImageVisible(99), 0);
  View->SetHeight(100);  // the third row (y 92..131) crosses the bottom edge
  EXPECT_EQ(View->IsImageVisible(6), 1);
  View->SetDisplayMode(mdSingle);
  for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(View->Entry(i)->X + View->Entry(i)->Y, 0) << i;
  EXPECT_EQ(View->TotalWidth(), 54);
}

TEST_F(MViewTest, ScrollLimitsBarsAndWheel) {
  MakeView(300, 200);
  View->SetGridWidth(2);
  View->SetScrollBars(ssVertical);
  AddSolid(10);  // 5 rows of 104: total height 524
  EXPECT_TRUE(ScrollBarVisible(View, SB_VERT));
  const int32_t maxY = View->TotalHeight() - View->ClientHeight();
  View->SetViewY(100000);
  EXPECT_EQ(View->ViewY(), maxY);
  View->SetViewY(0);
  View->Perform(WM_MOUSEWHEEL, MakeLong(0, -1), 0);  // the smallest notch down
  EXPECT_EQ(View->ViewY(), 104);
  View->Perform(WM_MOUSEWHEEL, MakeLong(0, 3 * 120), 0);
  EXPECT_EQ(View->ViewY(), 0);
  View->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(View->ViewY(), View->ClientHeight());
  View->Perform(WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(View->ViewY(), maxY);
  View->Perform(WM_VSCROLL, SB_THUMBPOSITION | (0 << 16), 0);
  EXPECT_EQ(View->ViewY(), 0);
  // Entries removed until all fit: the bar goes and the offset is pulled back.
  std::vector<int32_t> changes;
  View->OnViewChange = [&](TObject*, int32_t c) { changes.push_back(c); };
  View->SetViewY(maxY);
  while (View->GetImageCount() > 2) View->DeleteImage(View->GetImageCount() - 1);
  EXPECT_EQ(View->ViewY(), 0);
  EXPECT_FALSE(ScrollBarVisible(View, SB_VERT));
  ASSERT_FALSE(changes.empty());
  EXPECT_EQ(changes.back(), 0);
}

TEST_F(MViewTest, InsertAndDeleteKeepTheSelectedImage) {
  MakeView();
  std::vector<std::pair<int32_t, int32_t>> seen;  // (kind, index) as an attached component sees them
  View->AddBitmapChangeEvent([&](TObject*, bool Destroying) {
    if (Destroying) return;
    const int32_t kind = View->TakeLastChange();
    if (kind) seen.emplace_back(kind, View->LastChangeIndex());
  });
  View->InsertImage(0);
  View->InsertImage(5);  // appended
  EXPECT_EQ(View->GetImageCount(), 2);
  EXPECT_EQ(View->SelectedImage(), 1);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[1], std::make_pair(1, 1));
  AddSolid(3);  // entries 2..4 with pictures whose blue is 0, 1, 2
  View->SetSelectedImage(3);
  ASSERT_NE(View->GetBitmap(), nullptr);
  EXPECT_EQ(At(*View->GetBitmap(), 0, 0).b, 1);

  seen.clear();
  View->InsertImageNoSelect(0);  // before the selected one: it moves with its image
  EXPECT_EQ(View->SelectedImage(), 4);
  EXPECT_EQ(seen.back(), std::make_pair(1, 0));
  EXPECT_TRUE(View->DeleteImage(1));  // before the selected one
  EXPECT_EQ(View->SelectedImage(), 3);
  EXPECT_EQ(At(*View->GetBitmap(), 0, 0).b, 1);
  EXPECT_EQ(seen.back(), std::make_pair(2, 1));
  EXPECT_FALSE(View->DeleteImage(99));

  // Deleting the selected last image selects the new last one.
  View->SetSelectedImage(View->GetImageCount() - 1);
  View->DeleteImage(View->GetImageCount() - 1);
  EXPECT_EQ(View->SelectedImage(), View->GetImageCount() - 1);
  EXPECT_EQ(At(*View->GetBitmap(), 0, 0).b, 1);
  // Deleting the selected one elsewhere selects the one that moved into its place.
  View->SetSelectedImage(1);
  View->DeleteImage(1);
  EXPECT_EQ(View->SelectedImage(), 1);
  EXPECT_EQ(At(*View->GetBitmap(), 0, 0).b, 0);

  View->Clear();
  EXPECT_EQ(View->GetImageCount(), 0);
  EXPECT_EQ(View->SelectedImage(), -1);
  EXPECT_EQ(View->GetBitmap(), nullptr);
  EXPECT_EQ(View->ImageStore().GetMaxMapped(), 10);
}

TEST_F(MViewTest, CurrentImageIsWrittenBackAndThumbnailsAreReduced) {
  MakeView();
  AddSolid(2, 300, 150);
  View->SetSelectedImage(0);
  TBitmap* cur = View->GetBitmap();
  ASSERT_NE(cur, nullptr);
  EXPECT_EQ(cur->Width(), 300);
  static_cast<TBGRPixel*>(cur->ScanLine(5))[7] = TBGRPixel{9, 8, 7};  // an attached component edits it
  View->SetSelectedImage(1);
  TBitmap* back = View->GetImageBitmap(0);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(At(*back, 7, 5), (TBGRPixel{9, 8, 7}));
  View->ImageStore().ReleaseBitmap(back, false);

  View->SetStoreType(imtThumb);
  View->SetThumbWidth(60);
  View->SetThumbHeight(60);
  for (const auto& [w, h, fmt] : {std::tuple{300, 150, pf24bit}, std::tuple{1, 1, pf24bit}, std::tuple{64, 16, pf1bit},
                                  std::tuple{20, 40, pf8bit}}) {
    TBitmap src(w, h, fmt);
    if (fmt == pf24bit) test::Fill24(src, [](int32_t, int32_t) { return TBGRPixel{10, 20, 30}; });
    View->SetImage(1, &src);
    TBitmap* t = View->GetBitmap();  // entry 1 is current: the new image is checked out
    ASSERT_NE(t, nullptr);
    int32_t ew = 0, eh = 0;
    FitThumbSize(w, h, 60, 60, ew, eh);
    EXPECT_EQ(t->Width(), ew) << w << "x" << h;
    EXPECT_EQ(t->Height(), eh) << w << "x" << h;
    EXPECT_EQ(t->PixelFormat(), pf24bit);
    if (fmt == pf24bit) {
      EXPECT_EQ(At(*t, ew - 1, eh - 1), (TBGRPixel{10, 20, 30})) << w << "x" << h;
    }
  }
}

}  // namespace
}  // namespace kv

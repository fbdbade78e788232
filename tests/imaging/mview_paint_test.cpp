#include <gtest/gtest.h>

#include <string>

#include "imaging/formats/imager_io.h"
#include "imaging/views/imager_mview.h"
#include "mview_fixture.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::MViewTest;

TBGRPixel Rgb(TColor C) {
  const uint32_t v = ColorToRGB(C);
  return TBGRPixel{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

TEST_F(MViewTest, PaintsCellsSelectionAndFrames) {
  MakeView(300, 200);
  View->SetBackground(clWhite);
  View->SetThumbnailsBackground(clBlack);
  AddSolid(2, 100, 50);  // fills a 100 x 100 cell as 100 x 50, centred: rows 25..74
  View->SetSelectedImage(1);
  const TBitmap& p = Painted();
  // Cell 0 at (4, 4): the picture, its strips of cell background, the raised frame.
  EXPECT_EQ(At(p, 50, 50), (TBGRPixel{0, 100, 200}));
  EXPECT_EQ(At(p, 50, 10), (TBGRPixel{0, 0, 0}));
  EXPECT_EQ(At(p, 50, 4 + 25 - 1), Rgb(clWhite));  // raised frame: white on top
  EXPECT_EQ(At(p, 50, 4 + 75), Rgb(8421504));      // gray at the bottom
  EXPECT_EQ(At(p, 2, 50), Rgb(clWhite));           // the view's background between cells
  // Cell 1 at (108, 4) is selected: red rings around it (1 without the focus).
  EXPECT_EQ(At(p, 150, 50).b, 1);
  EXPECT_EQ(At(p, 107, 50), (TBGRPixel{0, 0, 255}));
  EXPECT_EQ(At(p, 106, 50), Rgb(clWhite));
  // An attached component edits the current picture in place: the cell follows.
  test::Fill24(*View->GetBitmap(), [](int32_t, int32_t) { return TBGRPixel{5, 6, 7}; });
  View->PictureEdited();
  EXPECT_EQ(At(Painted(), 150, 50), (TBGRPixel{5, 6, 7}));
  // Highlight-style selection fills the cell instead.
  View->SetSelectionStyle(imssACD);
  EXPECT_EQ(At(Painted(), 150, 10), Rgb(clHighlight));
  // Flat style draws no frame.
  View->SetStyle(immsFlat);
  EXPECT_EQ(At(Painted(), 50, 4 + 25 - 1), (TBGRPixel{0, 0, 0}));
}

TEST_F(MViewTest, Captions) {
  MakeView(300, 200);
  View->SetThumbnailsBackground(clBlack);
  View->SetBottomGap(20);
  AddSolid(1, 100, 100);
  TIMMText* top = View->ImageTopText(0);
  TIMMText* bottom = View->ImageBottomText(0);
  TIMMText* info = View->ImageInfoText(0);
  ASSERT_TRUE(top && bottom && info);
  EXPECT_EQ(View->ImageTopText(1), nullptr);
  EXPECT_EQ(top->Background, View->Background());
  EXPECT_EQ(info->Position, 1);
  top->Caption = "Oben";
  bottom->Caption = "Unten";
  bottom->Background = clYellow;
  info->Caption = "i";
  info->Background = clAqua;
  View->Update();
  TBitmap probe(10, 10, pf24bit);
  probe.Canvas().Font().Assign(bottom->Font);
  const int32_t th = probe.Canvas().TextHeight("Unten");
  const int32_t tw = probe.Canvas().TextWidth("Unten");
  const TBitmap& p = Painted();
  // The picture is fitted into the cell less the gap and the bottom text.
  const int32_t area = 100 - 20 - th;
  EXPECT_EQ(At(p, 4 + 50, 4 + area / 2), (TBGRPixel{0, 100, 200}));
  // Bottom text: an opaque yellow box centred above the gap.
  const int32_t by = 4 + 100 - 20 - th;
  int32_t yellow = 0;
  for (int32_t x = 4; x < 104; ++x)
    if (At(p, x, by + 1) == Rgb(clYellow)) ++yellow;
  EXPECT_GT(yellow, 0);
  EXPECT_LE(yellow, tw);
  EXPECT_EQ(At(p, 4 + (100 - tw) / 2 - 1, by + 1), (TBGRPixel{0, 0, 0}));  // cell background beside it
  // Info strip: the bottom th + 1 rows of the cell take its background.
  EXPECT_EQ(At(p, 6, 4 + 100 - 2), Rgb(clAqua));
}

TEST_F(MViewTest, OneBitPicturesReducedAreGrayAveraged) {
  MakeView(300, 200);
  View->SetStyle(immsFlat);
  // Alternate black and white columns: reduced they average to gray, enlarged they stay black or white.
  for (const int32_t w : {400, 20}) {
    View->Clear();
    TBitmap b(w, w, pf1bit);
    for (int32_t y = 0; y < w; ++y) {
      uint8_t* r = static_cast<uint8_t*>(b.ScanLine(y));
      for (int32_t i = 0; i < b.RowBytes(); ++i) r[i] = 0xAA;
    }
    View->InsertImage(0);
    View->SetImage(0, &b);
    View->Deselect();  // drawn from the store's own rows, and lent out:
    for (bool lent : {false, true}) {
      if (lent) View->SetSelectedImage(0);
      const TBGRPixel c = At(Painted(), 4 + 50, 4 + 50);
      if (w > 100) {
        EXPECT_NEAR(c.g, 128, 2) << w << " lent " << lent;
      } else {
        EXPECT_TRUE(c.g == 0 || c.g == 255) << w;
      }
    }
  }
}

TEST_F(MViewTest, LoadsOnlyVisibleEntriesAndNeverWhilePainting) {
  MakeView(300, 200);
  test::TScratchFolder dir("mview");
  const std::string good = dir.Path() + "/good.bmp";
  {
    std::unique_ptr<TBitmap> owned = Solid(30, 20, TBGRPixel{1, 2, 3});
    TBitmap& b = *owned;
    TImagerIO io(nullptr);
    io.AttachBitmap(&b);
    io.SaveToFileByExtension(good);
  }
  View->SetStoreType(imtThumb);
  View->SetGridWidth(-1);  // 2 columns, 2 rows visible
  for (int32_t i = 0; i < 40; ++i) {
    View->InsertImageNoSelect(i);
    View->SetImageFileName(i, i == 1 ? dir.Path() + "/missing.bmp" : good);
  }
  int32_t painting = 0, loadsWhilePainting = 0;
  View->OnIOProgress = [&](TObject*, int32_t) {
    if (painting) ++loadsWhilePainting;
  };
  View->Update();
  int32_t loaded = 0;
  for (int32_t i = 0; i < View->GetImageCount(); ++i) loaded += View->HasImage(i);
  EXPECT_EQ(loaded, 3);  // the four visible cells less the missing file
  EXPECT_EQ(View->Entry(0)->X, 4);
  View->OnDrawProgress = [&](TObject*, int32_t, int32_t) { painting = 1; };
  Painted();
  painting = 0;
  EXPECT_EQ(loadsWhilePainting, 0);
  // Scrolling a page loads the cells it brings into view.
  View->SetViewY(208);
  EXPECT_TRUE(View->HasImage(4) && View->HasImage(7));
  EXPECT_FALSE(View->HasImage(8));
  // Fitted pictures are kept for the cells in view and a screen around it, no more.
  EXPECT_TRUE(View->Entry(0)->Prepared && View->Entry(7)->Prepared);
  View->SetViewY(1000);
  EXPECT_FALSE(View->Entry(0)->Prepared);
  int32_t prepared = 0;
  for (int32_t i = 0; i < View->GetImageCount(); ++i) prepared += View->Entry(i)->Prepared != nullptr;
  EXPECT_LE(prepared, 2 * 6);  // six rows of two within a screen of the view

  // A corrupt entry goes before the paint, not during it.
  View->SetViewY(0);
  View->SetRemoveCorrupted(true);
  View->Update();
  EXPECT_EQ(View->GetImageCount(), 39);
  for (int32_t i = 0; i < 4; ++i) EXPECT_TRUE(View->HasImage(i)) << i;

  // Entries with an id ask for their picture; the view keeps a copy.
  View->Clear();
  std::unique_ptr<TBitmap> owned = Solid(10, 10, TBGRPixel{7, 7, 7});
  TBitmap& supplied = *owned;
  std::vector<int32_t> asked;
  View->OnImageIDRequest = [&](TObject*, int32_t ID, TBitmap*& B) {
    asked.push_back(ID);
    B = &supplied;
  };
  View->InsertImageNoSelect(0);
  View->SetImageID(0, 42);
  View->Update();
  EXPECT_EQ(asked, std::vector<int32_t>{42});
  EXPECT_TRUE(View->HasImage(0));
  // One that gets nothing stays empty and is not asked again at every update.
  View->InsertImageNoSelect(1);
  View->SetImageID(1, 43);
  View->OnImageIDRequest = [&](TObject*, int32_t ID, TBitmap*&) { asked.push_back(ID); };
  for (int i = 0; i < 3; ++i) View->Update();
  EXPECT_EQ(asked, (std::vector<int32_t>{42, 43}));
  EXPECT_FALSE(View->HasImage(1));
  EXPECT_EQ(View->GetImageCount(), 2);  // nothing supplied is no corrupt file
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

using test::MViewTest;

TEST_F(MViewTest, WallPaperEventsAndEntryBackgrounds) {
  MakeView(300, 200);
  View->SetBackground(clWhite);
  View->SetThumbnailsBackground(clBlack);
  AddSolid(3, 100, 50);
  std::vector<int32_t> per, drawn;
  View->OnDrawProgress = [&](TObject*, int32_t P, int32_t) { per.push_back(P); };
  View->OnImageDraw = [&](TObject*, int32_t idx, int32_t L, int32_t T, TCanvas&) {
    drawn.push_back(idx);
    EXPECT_EQ(L, 4 + idx * 104);
    EXPECT_EQ(T, 4);
  };
  Painted();
  EXPECT_EQ(per, (std::vector<int32_t>{0, 33, 66, 100}));
  EXPECT_EQ(drawn, (std::vector<int32_t>{0, 1, 2}));
  View->OnDrawProgress = nullptr;
  View->OnImageDraw = nullptr;

  // The entry's own background around its picture.
  View->SetDrawImageBackground(true);
  View->SetImageBackground(1, clLime);
  EXPECT_EQ(View->ImageBackground(1), clLime);
  EXPECT_EQ(At(Painted(), 150, 10), Rgb(clLime));
  EXPECT_EQ(At(Painted(), 50, 10), Rgb(clWhite));  // entry 0 took the view's background at insertion

  // A 10 x 10 wallpaper: drawn once at the origin, or tiled, or stretched over the client area.
  std::unique_ptr<TBitmap> tile = Solid(10, 10, TBGRPixel{1, 2, 3});
  TPicture pic;
  pic.SetBitmap(tile.get());
  View->SetWallPaper(&pic);
  EXPECT_EQ(At(Painted(), 1, 1), (TBGRPixel{1, 2, 3}));
  EXPECT_EQ(At(Painted(), 1, 150), Rgb(clWhite));
  View->SetWallPaperStyle(imwoTile);
  EXPECT_EQ(At(Painted(), 1, 150), (TBGRPixel{1, 2, 3}));
  View->SetWallPaperStyle(imwoStretch);
  EXPECT_EQ(At(Painted(), 299, 199), (TBGRPixel{1, 2, 3}));
  EXPECT_EQ(At(Painted(), 50, 50), (TBGRPixel{0, 100, 200}));  // the cells lie over it

  // With the focus the selection frame is SelectionWidth rings wide.
  View->SetSelectedImage(0);
  View->SetFocus();
  ASSERT_TRUE(View->Focused());
  EXPECT_EQ(At(Painted(), 4 - 3, 50), (TBGRPixel{0, 0, 255}));
  EXPECT_EQ(At(Painted(), 4 - 4, 50), (TBGRPixel{1, 2, 3}));
}

}  // namespace
}  // namespace kv

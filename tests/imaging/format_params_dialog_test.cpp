// The format parameters dialog, shown through the scripted dialog service:
// pages by bits, list rules, the lock, what OK, Apply and Cancel write, and
// the preview's file sizes against real files written with the same
// parameters and read by ImageMagick.
#include "imaging/views/io_previews.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <memory>
#include <string>

#include "imaging/formats/file_types.h"
#include "imaging/formats/gif_lzw.h"
#include "imaging/views/palette_dialog.h"
#include "platform/rtl/strings.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

class FormatParamsDialogTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    try {
      EnsureQtApplication();
    } catch (const EInvalidOperation&) {
      GTEST_SKIP() << "a Qt application without widgets exists in this process";
    }
    InstallGifLzwHooks();
    // A picture with gradients and edges, so that every format has work to do.
    Pic = Make24(61, 47, [](int32_t x, int32_t y) {
      return TBGRPixel{static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 5),
                       static_cast<uint8_t>((x / 8 + y / 8) % 2 ? 220 : 30)};
    });
    Rec = std::make_unique<TIOParamsVals>(nullptr);
  }
  void TearDown() override {
    GifLzwDecoderHook = nullptr;
    GifLzwEncoderHook = nullptr;
    TTempFolderTest::TearDown();
  }

  // Shows a fresh dialog on Rec with the page bits; Script works the form
  // and returns its modal result. Returns what Execute returned.
  bool Show(int32_t Pages, const std::function<TModalResult(TfIOPreviews&)>& Script, bool Lock = true) {
    auto form = std::make_unique<TfIOPreviews>(nullptr);
    form->SetParams(Rec.get());
    form->SetDefaultLockPreview(Lock);
    form->Imager1->Bitmap().Assign(Pic.get());
    if (!form->SetupPages(Pages)) return false;
    TScriptedDialogsScope dialogs;
    dialogs->AnswerModal([&](TCustomForm& F) { return Script(static_cast<TfIOPreviews&>(F)); });
    return form->Execute();
  }

  // The size a real file of the record's parameters has.
  int64_t RealFileSize(const std::string& Name) {
    TImagerIO io(nullptr);
    io.AttachBitmap(Pic.get());
    io.Params().Assign(*Rec);
    io.SaveToFileByExtension(Dir + Name);
    EXPECT_FALSE(io.Aborted()) << Name << ": " << io.AbortReason();
    return static_cast<int64_t>(std::filesystem::file_size(Dir + Name));
  }

  static std::vector<std::string> VisibleTabs(TfIOPreviews& F) {
    std::vector<std::string> v;
    for (TTabSheet* s : F.PageControl1->VisiblePages()) v.push_back(s->Caption());
    return v;
  }

  std::unique_ptr<TBitmap> Pic;
  std::unique_ptr<TIOParamsVals> Rec;
};

TEST_F(FormatParamsDialogTest, PagesFollowTheBits) {
  Rec->FileType = ioPCX;
  EXPECT_TRUE(Show(2, [](TfIOPreviews& F) {
    EXPECT_EQ(VisibleTabs(F), std::vector<std::string>{"PCX"});
    EXPECT_EQ(F.ActivePageKind(), ppPCX);
    return mrCancel;
  }) == false);
  // Nothing to show: the form is never shown (an unexpected show would abort).
  Rec->FileType = ioWMF;
  TfIOPreviews form(nullptr);
  form.SetParams(Rec.get());
  EXPECT_FALSE(form.SetupPages(2));
  EXPECT_TRUE(form.SetupPages(2 | 8));

  Show(1, [](TfIOPreviews& F) {
    EXPECT_EQ(VisibleTabs(F), (std::vector<std::string>{"JPEG", "TIFF", "GIF", "BMP", "PCX", "PNG", "TGA"}));
    EXPECT_EQ(F.ActivePageKind(), ppJPEG);
    EXPECT_EQ(F.Caption(), "Paramters preview");
    EXPECT_FALSE(F.ApplyButton->Enabled());
    return mrCancel;
  });
  Show(16 | 128, [](TfIOPreviews& F) {
    EXPECT_EQ(VisibleTabs(F), (std::vector<std::string>{"GIF", "PNG"}));
    return mrCancel;
  });
}

TEST_F(FormatParamsDialogTest, ColourListRules) {
  struct Case {
    int32_t Samples, Bits, Photometric, Colors;
  };
  for (const Case& c : {Case{1, 1, 1, tcBW}, Case{1, 4, 3, tc16}, Case{1, 8, 3, tc256}, Case{1, 16, 3, tc65536},
                        Case{3, 8, 2, tc16M}, Case{1, 1, 2, tc16M}, Case{1, 8, 0, tc256}, Case{3, 8, 1, tc256},
                        Case{1, 4, 6, tc16M}, Case{1, 1, 0, tcBW}})
    EXPECT_EQ(TiffColorsOf(c.Samples, c.Bits, c.Photometric), c.Colors)
        << c.Samples << "x" << c.Bits << " photometric " << c.Photometric;
  EXPECT_EQ(BmpColorsOf(3, 5), bc65536);
  EXPECT_EQ(BmpColorsOf(1, 4), bc16);
  EXPECT_EQ(PcxColorsOf(1, 8), pc256);
  EXPECT_EQ(SmallColorsOf(1, 4), sc256);
  EXPECT_EQ(SmallColorsOf(1, 1), scBW);
  EXPECT_EQ(TiffSampleBits(tc16M, kTiffCMYK).Samples, 4);
  EXPECT_EQ(BmpSampleBits(bc16M32).Bits, 8);
  // Every entry writes what reads back as the same entry (both 16M BMP entries as 16M).
  for (int32_t e = tcBW; e <= tc16M; ++e) {
    const TSampleBits sb = TiffSampleBits(e, e == tcBW ? kTiffBlackIsZero : kTiffRGB);
    const int32_t photometric = sb.Samples == 1 ? (e == tcBW ? kTiffBlackIsZero : kTiffPalette) : kTiffRGB;
    EXPECT_EQ(TiffColorsOf(sb.Samples, sb.Bits, photometric), e) << "tiff " << e;
  }
  for (int32_t e = bcBW; e <= bc16M32; ++e)
    EXPECT_EQ(BmpColorsOf(BmpSampleBits(e).Samples, BmpSampleBits(e).Bits), std::min<int32_t>(e, bc16M)) << e;
  for (int32_t e = pcBW; e <= pc16M; ++e)
    EXPECT_EQ(PcxColorsOf(PcxSampleBits(e).Samples, PcxSampleBits(e).Bits), e) << "pcx " << e;
  for (int32_t e = scBW; e <= sc16M; ++e)
    EXPECT_EQ(SmallColorsOf(SmallSampleBits(e).Samples, SmallSampleBits(e).Bits), e) << "small " << e;
}

TEST_F(FormatParamsDialogTest, TiffListsLockEachOther) {
  Rec->TiffPhotometric = kTiffRGB;
  Show(8, [](TfIOPreviews& F) {
    F.Tiff.Colors->Select(tc16);
    EXPECT_EQ(F.Tiff.Photometric->Item(F.Tiff.Photometric->ItemIndex()), "RGBPALETTE");
    F.Tiff.Colors->Select(tcBW);
    EXPECT_EQ(F.Tiff.Photometric->Item(F.Tiff.Photometric->ItemIndex()), "BLACKISZERO/Gray");
    F.Tiff.Colors->Select(tc16M);
    F.Tiff.Photometric->Select(kTiffBlackIsZero);
    EXPECT_EQ(F.Tiff.Colors->ItemIndex(), tc256);
    F.Tiff.Photometric->Select(kTiffCMYK);
    EXPECT_EQ(F.Tiff.Colors->Item(F.Tiff.Colors->ItemIndex()), "16M");
    F.OKButton->Click();
    return mrNone;
  });
  EXPECT_EQ(Rec->TiffPhotometric, kTiffCMYK);
  EXPECT_EQ(Rec->SamplesPerPixel, 4);
  EXPECT_EQ(Rec->BitsPerSample, 8);
}

TEST_F(FormatParamsDialogTest, WithTheLockUpOnlyPreviewUpdatesTheResult) {
  Rec->JpegQuality = 90;
  Show(4, [](TfIOPreviews& F) {
    EXPECT_FALSE(F.LockButton->Down());
    EXPECT_TRUE(F.PreviewButton->Enabled());
    const std::string before = F.Sizes[ppJPEG].Compressed->Caption();
    EXPECT_NE(before, "---");
    const int64_t renders = F.Imager2->RenderCount();
    F.Jpeg.Quality->SetText("10");
    EXPECT_EQ(F.Jpeg.QualityTrack->Position(), 10);
    EXPECT_EQ(F.Sizes[ppJPEG].Compressed->Caption(), before);
    EXPECT_EQ(F.Imager2->RenderCount(), renders);
    EXPECT_TRUE(F.ApplyButton->Enabled());
    F.PreviewButton->Click();
    EXPECT_NE(F.Sizes[ppJPEG].Compressed->Caption(), before);
    // The track bar writes the edit; the lock pressed previews at once and disables "&Preview".
    F.Jpeg.QualityTrack->SetPosition(55);
    EXPECT_EQ(F.Jpeg.Quality->Text(), "55");
    F.LockButton->Click();
    EXPECT_TRUE(F.LockButton->Down());
    EXPECT_FALSE(F.PreviewButton->Enabled());
    return mrCancel;
  }, false);
  EXPECT_EQ(Rec->JpegQuality, 90);  // cancelled
}

TEST_F(FormatParamsDialogTest, OkWritesOnlyTheActivePage) {
  Rec->JpegQuality = 80;
  Show(1, [](TfIOPreviews& F) {
    F.Jpeg.Quality->SetText("20");
    F.PageControl1->SelectPage(F.Sheets[ppGIF]);
    EXPECT_EQ(F.ActivePageKind(), ppGIF);
    EXPECT_FALSE(F.ApplyButton->Enabled());
    F.Gif.Colors->Select(3);  // 16 colours
    F.Gif.DelayTime->SetText("25");
    F.Gif.Interlaced->SetChecked(true);
    F.OKButton->Click();
    return mrNone;
  });
  EXPECT_EQ(Rec->JpegQuality, 80);
  EXPECT_EQ(Rec->BitsPerSample, 4);
  EXPECT_EQ(Rec->GifDelayTime, 25);
  EXPECT_TRUE(Rec->GifInterlaced);
}

TEST_F(FormatParamsDialogTest, ApplyWritesAndCancelKeepsWhatApplyWrote) {
  Rec->PngCompression = 5;
  Show(128, [](TfIOPreviews& F) {
    F.Png.Compression->Select(9);
    F.ApplyButton->Click();
    EXPECT_FALSE(F.ApplyButton->Enabled());
    F.Png.Filter->Select(2);
    return mrCancel;
  });
  EXPECT_EQ(Rec->PngCompression, 9);
  EXPECT_EQ(Rec->PngFilter, 0);
}

// The size shown is the size of the file written with the same parameters,
// and the file is what ImageMagick says it is.
TEST_F(FormatParamsDialogTest, CompressedSizeIsTheRealFileSize) {
  struct Case {
    int32_t Page;
    const char* File;
    std::function<void(TfIOPreviews&)> Set;
    const char* Identify;  // identify -format output expected, empty: not checked
    const char* Format;
  };
  const Case cases[] = {
      {ppJPEG, "q75.jpg", [](TfIOPreviews& F) { F.Jpeg.Quality->SetText("75"); }, "JPEG 75", "%m %Q"},
      {ppJPEG, "q30p.jpg", [](TfIOPreviews& F) {
         F.Jpeg.Quality->SetText("30");
         F.Jpeg.Progressive->SetChecked(true);
         F.Jpeg.OptimalHuffman->SetChecked(true);
       }, "JPEG 30 JPEG", "%m %Q %C"},
      {ppTIFF, "pal.tif", [](TfIOPreviews& F) {
         F.Tiff.Compression->Select(8);  // PACKBITS
         F.Tiff.Colors->Select(tc256);
       }, "TIFF RLE Palette", "%m %C %[type]"},
      {ppBMP, "rle.bmp", [](TfIOPreviews& F) {
         F.Bmp.Colors->Select(bc256);
         F.Bmp.Compression->Select(1);
       }, "BMP3 RLE", "%m %C"},
      {ppBMP, "16.bmp", [](TfIOPreviews& F) { F.Bmp.Colors->Select(bc65536); }, "", ""},
      {ppPCX, "16.pcx", [](TfIOPreviews& F) { F.Pcx.Colors->Select(pc16); }, "PCX", "%m"},
      {ppPNG, "bw.png", [](TfIOPreviews& F) {
         F.Png.Colors->Select(scBW);
         F.Png.Interlaced->SetChecked(true);
       }, "PNG 1 0", "%m %[png:IHDR.bit-depth-orig] %[png:IHDR.color-type-orig]"},
      {ppPNG, "max.png", [](TfIOPreviews& F) { F.Png.Compression->Select(9); }, "PNG 2",
       "%m %[png:IHDR.color-type-orig]"},
      {ppGIF, "32.gif", [](TfIOPreviews& F) { F.Gif.Colors->Select(4); }, "GIF", "%m"},
      {ppTGA, "rle.tga", [](TfIOPreviews& F) {
         F.Tga.Colors->Select(sc256);
         F.Tga.Compressed->SetChecked(true);
       }, "TGA", "%m"},
  };
  for (const Case& c : cases) {
    Rec->SetDefaults();
    // What the record carries beyond the page's values counts in the file too.
    Rec->DpiX = 300;
    Rec->DpiY = 150;
    static const char kNote[] = "made for the size test";
    Rec->JpegMarkers.AddMarker(0xFE, kNote, sizeof kNote - 1);
    std::string shown;
    Show(PageBit(c.Page), [&](TfIOPreviews& F) {
      c.Set(F);
      shown = F.Sizes[static_cast<size_t>(c.Page)].Compressed->Caption();
      const TBitmap& b = F.Imager1->Bitmap();
      EXPECT_EQ(F.Sizes[static_cast<size_t>(c.Page)].Original->Caption(),
                IntToStr((24 * b.Width() + 31) / 32 * 4 * b.Height()) + " bytes");
      F.OKButton->Click();
      return mrNone;
    });
    EXPECT_EQ(shown, IntToStr(RealFileSize(c.File)) + " bytes") << c.File;
    if (*c.Identify && HaveTool("identify")) {
      EXPECT_EQ(RunCapture(std::string("identify -format '") + c.Format + "' " + Dir + c.File), c.Identify)
          << c.File;
    }
  }
}

// The JPEG result is the file read back: it is what a read of the real file gives.
TEST_F(FormatParamsDialogTest, JpegResultIsTheFileReadBack) {
  TBitmap result;
  Show(4, [&](TfIOPreviews& F) {
    F.Jpeg.Quality->SetText("15");
    result.Assign(&F.Imager2->Bitmap());
    F.OKButton->Click();
    return mrNone;
  });
  RealFileSize("q15.jpg");
  TImagerIO io(nullptr);
  TBitmap fromFile;
  io.AttachBitmap(&fromFile);
  io.LoadFromFileByExtension(Dir + "q15.jpg");
  ASSERT_EQ(result.Width(), fromFile.Width());
  ASSERT_EQ(result.Height(), fromFile.Height());
  for (int32_t y = 0; y < result.Height(); ++y)
    ASSERT_EQ(std::memcmp(result.ScanLine(y), fromFile.ScanLine(y), static_cast<size_t>(result.Width()) * 3), 0)
        << "row " << y;
  EXPECT_NE(std::memcmp(result.ScanLine(5), Pic->ScanLine(5), static_cast<size_t>(Pic->Width()) * 3), 0);
}

TEST_F(FormatParamsDialogTest, PreviewToFewColoursKeepsThePaletteForTheColourPanels) {
  Show(16, [](TfIOPreviews& F) {
    F.Gif.Colors->Select(1);  // 4 colours
    int32_t distinct = 0;
    {
      std::set<uint32_t> seen;
      const TBitmap& b = F.Imager2->Bitmap();
      for (int32_t y = 0; y < b.Height(); ++y) {
        auto* row = static_cast<const uint8_t*>(b.ScanLine(y));
        for (int32_t x = 0; x < b.Width(); ++x)
          seen.insert(uint32_t(row[3 * x]) | uint32_t(row[3 * x + 1]) << 8 | uint32_t(row[3 * x + 2]) << 16);
      }
      distinct = static_cast<int32_t>(seen.size());
    }
    EXPECT_LE(distinct, 4);
    // The background panel picks from that palette.
    TScriptedDialogsScope palette;
    palette->AnswerModal([](TCustomForm& P) {
      auto& d = static_cast<TImagerPaletteDialog&>(P);
      EXPECT_EQ(d.EntryCount(), 4);
      EXPECT_EQ(d.CancelButton()->Caption(), "&Cancel");
      d.Perform(WM_MOUSEMOVE, 0, static_cast<LPARAM>(MakeLong(20, 4)));  // the second cell
      d.Perform(WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(MakeLong(20, 4)));
      d.Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>(MakeLong(20, 4)));
      return mrNone;
    });
    F.Gif.Background->Perform(WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(MakeLong(3, 3)));
    F.Gif.Background->Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>(MakeLong(3, 3)));
    EXPECT_TRUE(F.ApplyButton->Enabled());
    F.OKButton->Click();
    return mrNone;
  });
  EXPECT_NE(Rec->GifBackground, (TBGRPixel{0, 0, 0}));
}

TEST_F(FormatParamsDialogTest, LanguageSetsTheCaptions) {
  TfIOPreviews form(nullptr);
  form.SetLanguage(msGerman);
  EXPECT_EQ(form.Caption(), IMGetMsg(37, msGerman));
  EXPECT_EQ(form.Sizes[ppPNG].CompressedCaption->Caption(), IMGetMsg(44, msGerman) + ":");
  EXPECT_EQ(form.CancelButton->Caption(), IMGetMsg(4, msGerman));
  EXPECT_EQ(form.LockButton->Hint(), IMGetMsg(5, msGerman));
  EXPECT_EQ(form.SourceLabel->Caption(), IMGetMsg(1, msGerman) + ":");
}

// Through the I/O component, as the application opens it.
TEST_F(FormatParamsDialogTest, ShownByTheIOComponent) {
  InstallIOPreviewsDialog();
  TImagerIO io(nullptr);
  io.AttachBitmap(Pic.get());
  io.Params().FileType = ioJPEG;
  io.Params().JpegQuality = 50;
  TForm* announced = nullptr;
  io.OnIOPreview = [&](TObject*, TForm* F) { announced = F; };
  TScriptedDialogsScope dialogs;
  dialogs->AnswerModal([](TCustomForm& F) {
    auto& d = static_cast<TfIOPreviews&>(F);
    EXPECT_EQ(d.Imager1->Bitmap().Width(), 61);
    d.Jpeg.Quality->SetText("65");
    d.OKButton->Click();
    return mrNone;
  });
  EXPECT_TRUE(io.ShowPreviewsDialog(2));
  EXPECT_NE(announced, nullptr);
  EXPECT_EQ(io.Params().JpegQuality, 65);
  SetIOPreviewsDialogMaker(nullptr);
  // An image control brings the library's dialog with it.
  TImager imager(nullptr);
  EXPECT_TRUE(static_cast<bool>(IOPreviewsDialogMaker()));
  SetIOPreviewsDialogMaker(nullptr);
}

}  // namespace
}  // namespace kv

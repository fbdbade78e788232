// The image control: its companions and the properties it keeps in them,
// loading, saving and processing through it as the view shows them, the
// order of its events, and failures that must leave the picture alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/views/image_control.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "raster_compare.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::PixelOf;

class ImageControl : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 240, 190);
    Control = new TImager(Form.get());
    Control->SetBorderStyle(bsNone);
    Control->SetParent(Form.get());
    Control->SetBounds(0, 0, 200, 150);
    Form->Show();
    for (int i = 0; i < 3; ++i) Application->ProcessMessages();
  }
  void TearDown() override {
    Form.reset();
    TTempFolderTest::TearDown();
  }

  // Every pixel different, so that a mirrored or shifted picture shows.
  static TBGRPixel Coords(int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 5), uint8_t(y * 7), uint8_t(x + y)}; }
  void ShowCoords(int32_t W, int32_t H) {
    test::Paint24(Control->Bitmap(), W, H, Coords);
    Control->PictureEdited();
  }
  // The rendering the next paint shows, cut to the picture's size at zoom 100.
  std::unique_ptr<TBitmap> Shown() {
    Control->RenderNow();
    const TBitmap& r = Control->Rendering();
    const TBitmap& b = Control->Bitmap();
    return test::Make24(b.Width(), b.Height(), [&](int32_t x, int32_t y) { return PixelOf(r, x, y); });
  }
  // What the control's events said, in order: "p" for progress, "c" for an image change.
  void Record() {
    Control->SetOnProgress([this](TObject*, int32_t) {
      if (Events.empty() || Events.back() != 'p') Events += 'p';
    });
    Control->OnImageChange = [this](TObject*) { Events += 'c'; };
  }
  static bool NeedMagick() { return test::HaveTool("convert"); }

  std::unique_ptr<TForm> Form;
  TImager* Control = nullptr;
  std::string Events;
};

TEST_F(ImageControl, CompanionsCarryItsProperties) {
  TImagerIO* io = Control->IO();
  TImagerProc* proc = Control->Proc();
  ASSERT_NE(io, nullptr);
  ASSERT_NE(proc, nullptr);
  EXPECT_EQ(io->AttachedImager(), static_cast<TIMViewLink*>(Control));
  EXPECT_EQ(proc->AttachedImager(), static_cast<TIMViewLink*>(Control));
  EXPECT_EQ(io->Bitmap(), &Control->Bitmap());
  EXPECT_TRUE(Control->AutoUndo());
  EXPECT_EQ(Control->MsgLanguage(), msSystem);
  EXPECT_FALSE(Control->StreamHeaders());
  EXPECT_EQ(Control->DialogsMeasureUnit(), imduInches);
  EXPECT_TRUE(Control->ProcPreviewsParams().Empty());
  EXPECT_TRUE(Control->IOPreviewsParams().Empty());

  // Language: written to both, read from the processing component.
  Control->SetMsgLanguage(msGerman);
  EXPECT_EQ(proc->MsgLanguage(), msGerman);
  EXPECT_EQ(io->MsgLanguage(), msGerman);
  io->SetMsgLanguage(msFrench);
  EXPECT_EQ(Control->MsgLanguage(), msGerman);

  // The font: each companion its own equal copy.
  TFont f;
  f.SetName("DejaVu Sans");
  f.SetSize(17);
  Control->SetPreviewFont(&f);
  EXPECT_NE(io->PreviewFont(), proc->PreviewFont());
  EXPECT_NE(io->PreviewFont(), &f);
  EXPECT_EQ(io->PreviewFont()->Size(), 17);
  EXPECT_EQ(proc->PreviewFont()->Size(), 17);
  EXPECT_EQ(proc->PreviewFont()->Name(), "DejaVu Sans");
  EXPECT_EQ(Control->PreviewFont(), io->PreviewFont());

  // Published: stored text goes to the companion that keeps it.
  SetPropValue(Control, "AutoUndo", "False");
  SetPropValue(Control, "StreamHeaders", "True");
  SetPropValue(Control, "DialogsMeasureUnit", "imduCm");
  SetPropValue(Control, "IOPreviewsParams", "[ioppApplyButton]");
  SetPropValue(Control, "ProcPreviewsParams", "[prppDefaultLockPreview]");
  EXPECT_FALSE(proc->AutoUndo());
  EXPECT_TRUE(io->StreamHeaders());
  EXPECT_EQ(io->DialogsMeasureUnit(), imduCm);
  EXPECT_TRUE(io->PreviewsParams().Contains(ioppApplyButton));
  EXPECT_TRUE(proc->PreviewsParams().Contains(prppDefaultLockPreview));
  EXPECT_EQ(GetPropValue(Control, "MsgLanguage"), "msGerman");
  EXPECT_TRUE(IsPublishedProp(Control, "OnPreview"));
  EXPECT_TRUE(IsPublishedProp(Control, "OnIOPreview"));
  EXPECT_TRUE(IsPublishedProp(Control, "ZoomFilter"));  // the view's stay

  // Events live in the companions.
  int previews = 0;
  Control->SetOnPreview([&](TObject*, TForm*) { ++previews; });
  Control->SetOnIOPreview([&](TObject*, TForm*) { ++previews; });
  proc->OnPreview(nullptr, nullptr);
  io->OnIOPreview(nullptr, nullptr);
  EXPECT_EQ(previews, 2);
  // A progress handler set afterwards reaches both.
  Control->SetOnProgress([](TObject*, int32_t) {});
  EXPECT_TRUE(io->OnProgress);
  EXPECT_TRUE(proc->OnProgress);

  // Undo storage by number; a number no storage has is refused.
  Control->SetUndoStorage(0);
  EXPECT_EQ(proc->UndoStorage(), skHeap);
  Control->SetUndoStorage(7);
  EXPECT_EQ(proc->UndoStorage(), skHeap);
  Control->SetUndoLimit(4);
  EXPECT_EQ(proc->UndoLimit(), 4);
}

TEST_F(ImageControl, LoadShowsTheFileAsImageMagickDecodesIt) {
  if (!NeedMagick()) GTEST_SKIP() << "ImageMagick missing";
  const std::string png = Dir + "pic.png", ppm = Dir + "pic.ppm";
  ASSERT_EQ(test::Run("convert -size 37x23 gradient:'#ff2000-#0040ff' -fill '#10c020' -draw 'circle 12,11 18,11' -depth 8 " +
                      png),
            0);
  ASSERT_EQ(test::Run("convert " + png + " -depth 8 " + ppm), 0);
  TBitmap want;
  ASSERT_TRUE(test::ReadPnm(ppm, want));

  Record();
  Control->LoadFromFileByExtension(png);
  ASSERT_FALSE(Control->IO()->Aborted()) << Control->IO()->AbortReason();
  EXPECT_EQ(Events, "pc");  // progress of the read, then one image change
  EXPECT_EQ(Control->IOParams().FileName, png);
  EXPECT_EQ(Control->IOParams().Width, 37);
  EXPECT_EQ(test::MaxDiff(*Shown(), want), 0);
  // The background around the picture is the view's.
  const TBGRPixel bg = PixelOf(Control->Rendering(), 150, 100);
  const TColor c = ColorToRGB(Control->Background());
  EXPECT_EQ((TBGRPixel{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)}), bg);

  // A JPEG by its own call, from a file and from a stream.
  const std::string jpg = Dir + "pic.jpg";
  ASSERT_EQ(test::Run("convert " + png + " -quality 95 " + jpg), 0);
  ASSERT_EQ(test::Run("convert " + jpg + " -depth 8 " + ppm), 0);
  ASSERT_TRUE(test::ReadPnm(ppm, want));
  Events.clear();
  Control->LoadFromFileJpeg(jpg);
  ASSERT_FALSE(Control->IO()->Aborted()) << Control->IO()->AbortReason();
  EXPECT_EQ(Events, "pc");
  EXPECT_LE(test::MaxDiff(*Shown(), want), 2);  // IDCT rounding may differ by a step
  TMemoryStream s;
  s.LoadFromFile(jpg);
  ShowCoords(5, 5);
  Control->LoadFromStreamJpeg(s);
  ASSERT_FALSE(Control->IO()->Aborted()) << Control->IO()->AbortReason();
  EXPECT_LE(test::MaxDiff(*Shown(), want), 2);
  EXPECT_EQ(Control->IOParams().FileName, "");
}

TEST_F(ImageControl, SavesFilesImageMagickReadsBackIdentical) {
  if (!NeedMagick()) GTEST_SKIP() << "ImageMagick missing";
  ShowCoords(29, 17);
  const TBitmap& pic = Control->Bitmap();
  for (const std::string name : {"a.png", "a.bmp", "a.tif", "a.tga", "a.pcx", "a.ppm"}) {
    SCOPED_TRACE(name);
    const std::string file = Dir + name, back = file + ".ppm";
    Control->SaveToFileByExtension(file);
    ASSERT_FALSE(Control->IO()->Aborted()) << Control->IO()->AbortReason();
    ASSERT_EQ(test::Run("convert " + file + " -depth 8 " + back), 0);
    TBitmap got;
    ASSERT_TRUE(test::ReadPnm(back, got));
    EXPECT_EQ(test::MaxDiff(got, pic), 0);
  }
  Control->SaveToFileBMP(Dir + "b.dat");
  ASSERT_FALSE(Control->IO()->Aborted());
  EXPECT_EQ(test::RunCapture("identify -format %m:%wx%h " + Dir + "b.dat"), "BMP3:29x17");

  Control->IOParams().JpegQuality = 100;
  Control->SaveToFileJpeg(Dir + "c.jpg");
  ASSERT_FALSE(Control->IO()->Aborted());
  ASSERT_EQ(test::Run("convert " + Dir + "c.jpg -depth 8 " + Dir + "c.ppm"), 0);
  TBitmap got;
  ASSERT_TRUE(test::ReadPnm(Dir + "c.ppm", got));
  EXPECT_EQ(got.Width(), 29);
  EXPECT_LE(test::MaxDiff(got, pic), 40);  // chroma subsampling of a busy pattern

  // The JPEG stream write, read back through the control.
  TMemoryStream s;
  Control->SaveToStreamJpeg(s);
  ASSERT_FALSE(Control->IO()->Aborted());
  s.SetPosition(0);
  ShowCoords(3, 3);
  Control->LoadFromStreamJpeg(s);
  ASSERT_FALSE(Control->IO()->Aborted());
  EXPECT_EQ(test::MaxDiff(Control->Bitmap(), got), 0);

  // An extension the component does not write fails, and leaves no file.
  Control->SaveToFileByExtension(Dir + "a.ico");
  EXPECT_TRUE(Control->IO()->Aborted());
}

TEST_F(ImageControl, ProcessingWithUndoAndRedoChangesTheView) {
  ShowCoords(30, 20);
  const auto original = Shown();
  Record();
  Control->Flip(0);  // left and right
  EXPECT_EQ(Events.back(), 'c');
  EXPECT_EQ(std::count(Events.begin(), Events.end(), 'c'), 1);
  const auto flipped = Shown();
  EXPECT_EQ(PixelOf(*flipped, 0, 3), Coords(29, 3));
  EXPECT_EQ(Control->Proc()->UndoCount(), 1);

  // Undo as an application does it: keep a redo point, restore, drop the snapshot.
  Control->Proc()->SaveRedo();
  Control->UndoAt(0);
  Control->DiscardLastUndo();
  EXPECT_EQ(test::MaxDiff(*Shown(), *original), 0);
  EXPECT_EQ(Control->Proc()->UndoCount(), 0);
  Control->Proc()->Redo();
  EXPECT_EQ(test::MaxDiff(*Shown(), *flipped), 0);

  // UndoAt reaches back past newer snapshots.
  Control->SetUndoLimit(5);
  Control->ConvertToGray();
  Control->IntensityRGBall(40, 0, 0);
  EXPECT_EQ(Control->Proc()->UndoCount(), 2);
  Control->UndoAt(1);  // before the gray
  EXPECT_EQ(test::MaxDiff(*Shown(), *flipped), 0);

  // Geometry through the control, each shown at its new size.
  struct TCase {
    const char* Name;
    std::function<void()> Run;
    int32_t W, H;
  };
  const TCase cases[] = {
      {"rotate", [&] { Control->Rotate(90, false); }, 20, 30},
      {"resample", [&] { Control->Resample(15, 10, rfTriangle); }, 15, 10},
      {"resize", [&] { Control->ImageResize(33, 21); }, 33, 21},
      {"crop", [&] {
         Control->Select(2, 3, 12, 9);  // corners inclusive
         Control->EndSelect();
         Control->CropSel();
       }, 11, 7},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ShowCoords(30, 20);
    Events.clear();
    c.Run();
    EXPECT_EQ(Control->Bitmap().Width(), c.W);
    EXPECT_EQ(Control->Bitmap().Height(), c.H);
    EXPECT_EQ(Shown()->Width(), c.W);
    EXPECT_NE(Events.find('c'), std::string::npos);
    EXPECT_EQ(Events.back(), 'c');  // the change is told last
    Control->DeSelect();
  }
  // The rotation turns counter-clockwise: the top-right corner goes to the top left.
  ShowCoords(30, 20);
  Control->Rotate(90, false);
  EXPECT_EQ(PixelOf(*Shown(), 0, 0), Coords(29, 0));
  Control->SetBackground(TColor(0x00336699));
  Control->Clear();
  const auto cleared = Shown();
  EXPECT_EQ(cleared->Width(), 20);
  EXPECT_EQ(PixelOf(*cleared, 7, 9), (TBGRPixel{0x33, 0x66, 0x99}));
}

TEST_F(ImageControl, ClipboardThroughTheControl) {
  ShowCoords(30, 20);
  Control->SetBackground(TColor(0x00336699));
  const TBGRPixel bg{0x33, 0x66, 0x99};
  Control->Select(4, 5, 13, 11);  // 10 x 7
  Control->EndSelect();
  Record();
  Control->SelCutToClip();
  EXPECT_EQ(Events.back(), 'c');
  auto shown = Shown();
  EXPECT_EQ(PixelOf(*shown, 6, 7), bg);
  EXPECT_EQ(PixelOf(*shown, 3, 7), Coords(3, 7));

  // Pasted whole, the piece is the picture; undo brings the cut one back.
  Control->DeSelect();
  Control->PasteFromClipboard();
  shown = Shown();
  ASSERT_EQ(shown->Width(), 10);
  EXPECT_EQ(shown->Height(), 7);
  EXPECT_EQ(PixelOf(*shown, 0, 0), Coords(4, 5));
  EXPECT_EQ(PixelOf(*shown, 9, 6), Coords(13, 11));
  Control->UndoAt(0);
  EXPECT_EQ(Shown()->Width(), 30);

  // Copied from the restored picture and stretched into a selection twice its size.
  Control->Select(0, 0, 9, 6);
  Control->EndSelect();
  Control->SelCopyToClip();
  Control->DeSelect();
  Control->Select(10, 6, 29, 19);  // 20 x 14
  Control->EndSelect();
  Control->SelPasteFromClipStretch();
  shown = Shown();
  EXPECT_EQ(shown->Width(), 30);
  EXPECT_EQ(PixelOf(*shown, 10, 6), Coords(0, 0));
  EXPECT_EQ(PixelOf(*shown, 5, 3), Coords(5, 3));  // outside the selection: untouched
}

TEST_F(ImageControl, FailuresKeepThePictureAndSaySo) {
  ShowCoords(24, 16);
  auto alpha = std::make_unique<TIMMask>();
  alpha->AllocateBits(24, 16, 8);
  alpha->Fill(200);
  Control->SetAlphaChannel(std::move(alpha));
  Control->SetDpi(123, 45);
  Control->IOParams().FileName = "kept.bmp";
  Control->IOParams().FileType = 5;
  const auto before = Shown();
  const TColor background = Control->Background();
  auto intact = [&](const char* What) {
    SCOPED_TRACE(What);
    EXPECT_EQ(Control->Bitmap().Width(), 24);
    EXPECT_EQ(test::MaxDiff(Control->Bitmap(), *before), 0);
    EXPECT_EQ(test::MaxDiff(*Shown(), *before), 0);
    ASSERT_TRUE(Control->HasAlphaChannel());
    EXPECT_EQ(Control->GetAlphaChannel()->GetPixel(5, 5), 200);
    EXPECT_EQ(Control->TIMView::DpiX(), 123);
    EXPECT_EQ(Control->TIMView::DpiY(), 45);
    EXPECT_EQ(Control->Background(), background);
    EXPECT_EQ(Control->IOParams().FileName, "kept.bmp");
    EXPECT_EQ(Control->IOParams().FileType, 5);
  };
  Record();

  // A missing file: the component raises; nothing is told, nothing changes.
  EXPECT_THROW(Control->LoadFromFileByExtension(Dir + "none.png"), EFOpenError);
  EXPECT_THROW(Control->LoadFromFileJpeg(Dir + "none.jpg"), EFOpenError);
  EXPECT_EQ(Events, "");
  intact("missing");

  // Corrupt data: the aborted flag, the old picture, one change for the repaint.
  const std::vector<uint8_t> corrupt[] = {
      {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 1, 0, 0, 0, 1, 0, 8, 2},
      {'B', 'M', 0x46, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 0x28, 0, 0, 0, 0x10, 0, 0, 0, 0x10, 0, 0, 0, 1, 0, 24, 0},
      {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0xFF, 0xD9},
  };
  const char* names[] = {"bad.png", "bad.bmp", "bad.jpg"};
  for (int i = 0; i < 3; ++i) {
    test::WriteBytes(Dir + names[i], corrupt[i]);
    Events.clear();
    Control->LoadFromFileByExtension(Dir + names[i]);
    EXPECT_TRUE(Control->IO()->Aborted()) << names[i];
    EXPECT_EQ(Events.back(), 'c') << names[i];
    EXPECT_EQ(std::count(Events.begin(), Events.end(), 'c'), 1) << names[i];
    intact(names[i]);
  }
  TMemoryStream junk;
  junk.Write("not a jpeg at all", 17);
  junk.SetPosition(0);
  Control->LoadFromStreamJpeg(junk);
  EXPECT_TRUE(Control->IO()->Aborted());
  intact("jpeg stream");
  Control->LoadFromFileByExtension(Dir + "picture.xyz");
  EXPECT_TRUE(Control->IO()->Aborted());
  EXPECT_FALSE(Control->IO()->AbortReason().empty());
  intact("extension");

  // No scanner (a scanner configuration naming no backend): a clear refusal,
  // never a success.
  setenv("SANE_CONFIG_DIR", Dir.c_str(), 1);
  EXPECT_FALSE(Control->Acquire());
  EXPECT_TRUE(Control->IO()->Aborted());
  EXPECT_NE(Control->IO()->AbortReason().find("canner"), std::string::npos) << Control->IO()->AbortReason();
  EXPECT_FALSE(Control->SelectAcquireSource());
  intact("acquire");

  // A good load after all that replaces the picture.
  TBitmap small(3, 2, pf24bit);
  test::FillFlat24(small, TBGRPixel{1, 2, 3});
  TImagerIO writer(nullptr);
  writer.AttachBitmap(&small);
  writer.WriteBmpFile(Dir + "good.bmp");
  Control->LoadFromFileByExtension(Dir + "good.bmp");
  ASSERT_FALSE(Control->IO()->Aborted());
  EXPECT_EQ(Control->Bitmap().Width(), 3);
  EXPECT_FALSE(Control->HasAlphaChannel());
  EXPECT_EQ(Control->IOParams().FileName, Dir + "good.bmp");
}

TEST_F(ImageControl, ParamsReadAndAssign) {
  TBitmap pic(11, 7, pf24bit);
  test::Fill24(pic, Coords);
  TImagerIO writer(nullptr);
  writer.AttachBitmap(&pic);
  writer.Params().DpiX = writer.Params().DpiY = 150;
  writer.WriteBmpFile(Dir + "p.bmp");

  ShowCoords(4, 4);
  Control->ReadParamsFromFile(Dir + "p.bmp");
  EXPECT_EQ(Control->IOParams().Width, 11);
  EXPECT_EQ(Control->IOParams().DpiX, 150);
  EXPECT_EQ(Control->Bitmap().Width(), 4);  // the picture stays
  TFileStream s(Dir + "p.bmp", fmOpenRead);
  Control->IOParams().Width = 0;
  Control->ReadParamsFromStream(s);
  EXPECT_EQ(Control->IOParams().Height, 7);
  s.SetPosition(0);
  Control->IOParams().Width = 0;
  Control->ReadParamsFromStreamByType(s, 5);
  EXPECT_EQ(Control->IOParams().Width, 11);
  Control->IOParams().Width = 0;
  Control->ReadParamsFromFileByType(Dir + "p.bmp", 5);
  EXPECT_EQ(Control->IOParams().Width, 11);

  // From another control: its parameters, then its picture.
  TImager other(nullptr);
  test::Paint24(other.Bitmap(), 6, 5, Coords);
  other.IOParams().JpegQuality = 42;
  other.SetDpi(300, 300);
  Control->Assign(&other);
  EXPECT_EQ(Control->IOParams().JpegQuality, 42);
  EXPECT_EQ(test::MaxDiff(Control->Bitmap(), other.Bitmap()), 0);
  EXPECT_EQ(Control->TIMView::DpiX(), 300);
  // From an I/O component: its parameters only.
  writer.Params().JpegQuality = 7;
  Control->Assign(&writer);
  EXPECT_EQ(Control->IOParams().JpegQuality, 7);
  EXPECT_EQ(Control->Bitmap().Width(), 6);
}

}  // namespace
}  // namespace kv

// The I/O component with a view and around the picture: attachment, what a
// load hands to the view, the resolution adjustment, the metafile import,
// the parameters dialog hook and the published defaults.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "codec_test_util.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/metafile.h"
#include "imaging/formats/png.h"
#include "imager_view_fixture.h"
#include "imaging/views/imager_view.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/image.h"
#include "test_view.h"

namespace kv {
namespace {

using test::TTempFolderTest;

// A view that also gives the I/O component its resolution, selection and alpha.
class TIOView : public test::TTestView, public TIMIOViewLink {
 public:
  using TTestView::TTestView;
  int32_t DpiX() const override { return TIMView::DpiX(); }
  int32_t DpiY() const override { return TIMView::DpiY(); }
  void SetDpi(int32_t X, int32_t Y) override {
    TIMView::SetDpi(X, Y);
    ++DpiCalls;
  }
  void DeSelect() override {
    Selected = false;
    ++DeSelects;
  }
  void SetAlphaChannel(std::unique_ptr<TIMMask> Mask) override { TTestView::SetAlphaChannel(std::move(Mask)); }
  void RemoveAlphaChannel() override { TTestView::RemoveAlphaChannel(); }
  int DpiCalls = 0;
  int DeSelects = 0;
};

// An RGBA PNG whose left half is transparent.
void WriteHalfTransparentPng(const std::string& File, int32_t W, int32_t H) {
  auto b = test::PhotoLike(W, H);
  TIMMask alpha;
  alpha.AllocateBits(W, H, 8);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) alpha.SetPixel(x, y, x < W / 2 ? 0 : 255);
  TIOParamsVals p(nullptr);
  TMemoryStream s;
  test::TCodecRun run;
  WritePngStream(s, *b, p, run.Progress, &alpha);
  ASSERT_FALSE(run.Aborted);
  s.SaveToFile(File);
}

using ImagerIOView = TTempFolderTest;

TEST_F(ImagerIOView, LoadHandsPictureAlphaAndResolutionToTheView) {
  const std::string png = Dir + "a.png";
  WriteHalfTransparentPng(png, 20, 10);
  TIOView view(nullptr, 4, 4);
  view.SelectRect(0, 0, 1, 1);
  TImagerIO io(nullptr);
  io.SetAttachedImager(&view);
  EXPECT_EQ(io.Bitmap(), view.Bmp.get());
  io.Params().DpiX = 0;
  io.LoadFromFileByExtension(png);
  ASSERT_FALSE(io.Aborted()) << io.AbortReason();
  EXPECT_EQ(view.Bmp->Width(), 20);
  EXPECT_EQ(view.DeSelects, 1);
  EXPECT_FALSE(view.Selected);
  ASSERT_TRUE(view.HasAlphaChannel());
  EXPECT_EQ(view.Alpha->GetPixel(0, 0), 0);
  EXPECT_EQ(view.Alpha->GetPixel(19, 9), 255);
  EXPECT_EQ(view.DpiCalls, 1);
  EXPECT_EQ(view.TIMView::DpiX(), io.Params().DpiX);
  EXPECT_EQ(view.ImageChanges, 1);

  // Saving writes the view's alpha back; a picture without alpha drops the old one.
  io.SaveToFileByExtension(Dir + "b.png");
  ASSERT_FALSE(io.Aborted());
  TBitmap plain(6, 5, pf24bit);
  TImagerIO other(nullptr);
  other.AttachBitmap(&plain);
  other.WriteBmpFile(Dir + "c.bmp");
  io.LoadFromFileByExtension(Dir + "c.bmp");
  ASSERT_FALSE(io.Aborted());
  EXPECT_FALSE(view.HasAlphaChannel());
  io.LoadFromFileByExtension(Dir + "b.png");
  ASSERT_TRUE(view.HasAlphaChannel());
  EXPECT_EQ(view.Alpha->GetPixel(0, 0), 0);

  // The view goes: so does the target.
  {
    auto gone = std::make_unique<TIOView>(nullptr);
    io.SetAttachedImager(gone.get());
  }
  EXPECT_EQ(io.AttachedImager(), nullptr);
  EXPECT_EQ(io.Bitmap(), nullptr);
}

// The single-image view takes what a load hands over.
class ImagerIOSingleView : public test::ViewTest {};

TEST_F(ImagerIOSingleView, TakesWhatALoadHandsOver) {
  test::TScratchFolder folder;
  const std::string dir = folder.Path() + "/";
  WriteHalfTransparentPng(dir + "a.png", 20, 10);
  auto src = test::PhotoLike(12, 6);
  TImagerIO writer(nullptr);
  writer.AttachBitmap(src.get());
  writer.Params().DpiX = 300;
  writer.Params().DpiY = 300;
  writer.WriteBmpFile(dir + "b.bmp");

  MakeView();
  LoadCoords(100, 80);
  View->SetMouseInteract({miSelect});
  View->Select(10, 10, 50, 40);
  ASSERT_TRUE(View->SelectionExists());
  TImagerIO io(nullptr);
  io.SetAttachedImager(View);
  io.LoadFromFileByExtension(dir + "a.png");
  ASSERT_FALSE(io.Aborted()) << io.AbortReason();
  EXPECT_FALSE(View->SelectionExists());
  EXPECT_EQ(View->Bitmap().Width(), 20);
  ASSERT_TRUE(View->HasAlphaChannel());
  EXPECT_EQ(View->GetAlphaChannel()->GetPixel(0, 0), 0);
  io.LoadFromFileByExtension(dir + "b.bmp");
  ASSERT_FALSE(io.Aborted());
  EXPECT_FALSE(View->HasAlphaChannel());
  EXPECT_EQ(View->DpiX(), 300);
  EXPECT_EQ(View->DpiY(), 300);
}

TEST_F(ImagerIOView, LoadsIntoAnAttachedImage) {
  auto src = test::PhotoLike(9, 7);
  TImagerIO io(nullptr);
  io.AttachBitmap(src.get());
  io.WriteBmpFile(Dir + "a.bmp");
  TImage image(nullptr);
  TIOView view;
  io.SetAttachedImager(&view);
  io.SetAttachedTImage(&image);
  EXPECT_EQ(io.AttachedImager(), nullptr);
  EXPECT_EQ(view.BitmapChangeCount(), 0);
  image.Picture().Bitmap().SetModified(false);
  io.LoadFromFileByExtension(Dir + "a.bmp");
  ASSERT_FALSE(io.Aborted());
  EXPECT_EQ(image.Picture().Bitmap().Width(), 9);
  EXPECT_TRUE(image.Picture().Bitmap().Modified());  // the refresh that repaints the image
  io.AttachBitmap(nullptr);                          // ignored while an image is attached
  EXPECT_EQ(io.AttachedTImage(), &image);
  {
    auto freed = std::make_unique<TImage>(nullptr);
    io.SetAttachedTImage(freed.get());
  }
  EXPECT_EQ(io.AttachedTImage(), nullptr);
  EXPECT_EQ(io.Bitmap(), nullptr);
}

TEST_F(ImagerIOView, TransparencyWithoutAViewStaysWithTheComponent) {
  WriteHalfTransparentPng(Dir + "a.png", 8, 4);
  TBitmap b;
  TImagerIO io(nullptr);
  io.AttachBitmap(&b);
  io.ReadPngFile(Dir + "a.png");
  ASSERT_FALSE(io.Aborted());
  ASSERT_NE(io.OwnMask(), nullptr);
  EXPECT_EQ(io.OwnMask()->GetPixel(0, 0), 0);
  io.WriteBmpFile(Dir + "b.bmp");
  io.ReadBmpFile(Dir + "b.bmp");
  EXPECT_EQ(io.OwnMask(), nullptr);
}

// BMP stores resolutions as pixels per metre, so any pair can be made.
std::string BmpAtDpi(const std::string& Dir, int32_t W, int32_t H, int32_t DpiX, int32_t DpiY) {
  auto b = test::PhotoLike(W, H);
  TImagerIO io(nullptr);
  io.AttachBitmap(b.get());
  io.Params().DpiX = DpiX;
  io.Params().DpiY = DpiY;
  const std::string file = Dir + "dpi" + std::to_string(DpiX) + "x" + std::to_string(DpiY) + ".bmp";
  io.WriteBmpFile(file);
  return file;
}

TEST_F(ImagerIOView, ResolutionAdjustment) {
  struct TCase {
    int32_t W, H, DpiX, DpiY;
    int32_t WantW, WantH, WantDpiX, WantDpiY;
  };
  const TCase cases[] = {
      {1000, 500, 300, 150, 1000, 1000, 300, 300},  // wide: the height follows
      {100, 200, 100, 50, 50, 200, 50, 50},         // tall: the width follows
      {64, 32, 72, 72, 64, 32, 72, 72},             // equal: nothing
      {40, 20, 160, 10, 40, 320, 160, 160},        // 16 times: still followed
      // Absurd resolutions would ask for pictures past the pixel limit, far
      // larger than the file, or of no pixels at all: the picture stays as read.
      {200, 100, 1, 20000000, 200, 100, 1, 20000000},
      {100, 200, 1, 20000000, 100, 200, 1, 20000000},
      {5, 3, 20000000, 1, 5, 3, 20000000, 1},
      {40, 20, 170, 10, 40, 20, 170, 10},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H) + " at " + std::to_string(c.DpiX) + "x" +
                 std::to_string(c.DpiY));
    const std::string file = BmpAtDpi(Dir, c.W, c.H, c.DpiX, c.DpiY);
    TBitmap b;
    TImagerIO io(nullptr);
    io.AttachBitmap(&b);
    io.LoadFromFileByExtension(file);
    ASSERT_FALSE(io.Aborted()) << io.AbortReason();
    EXPECT_EQ(b.Width(), c.WantW);
    EXPECT_EQ(b.Height(), c.WantH);
    EXPECT_EQ(io.Params().Width, c.WantW);
    EXPECT_EQ(io.Params().Height, c.WantH);
    EXPECT_EQ(io.Params().DpiX, c.WantDpiX);
    EXPECT_EQ(io.Params().DpiY, c.WantDpiY);
  }
  const std::string file = BmpAtDpi(Dir, 100, 50, 300, 150);
  TBitmap b;
  TImagerIO io(nullptr);
  io.SetAutoAdjustDPI(false);
  io.AttachBitmap(&b);
  io.LoadFromFileByExtension(file);
  EXPECT_EQ(b.Height(), 50);
  EXPECT_EQ(io.Params().DpiY, 150);
}

// A stand-in renderer, so that the import's sizes can be checked before the real one lands.
class TFakeMetafile : public TIOMetafile {
 public:
  int32_t Width() const override { return 4000; }
  int32_t Height() const override { return 1000; }
  void Draw(TBitmap& Target, int32_t W, int32_t H) override {
    DrawnW = W;
    DrawnH = H;
    Target.SetPixelColor(0, 0, 0x0000FF);
  }
  static inline int32_t DrawnW = 0, DrawnH = 0;
};

std::vector<uint8_t> EmfHeader() {
  std::vector<uint8_t> d(108, 0);
  d[0] = 1;
  d[4] = 108;  // one record: the header
  d[40] = ' ', d[41] = 'E', d[42] = 'M', d[43] = 'F';
  return d;
}

TEST_F(ImagerIOView, MetafileImport) {
  const std::string emf = Dir + "a.emf", wmf = Dir + "a.wmf", fake = Dir + "b.wmf";
  test::WriteBytes(emf, EmfHeader());
  std::vector<uint8_t> w(60, 0);
  w[0] = 0xD7, w[1] = 0xCD, w[2] = 0xC6, w[3] = 0x9A;
  w[22] = 1, w[24] = 9, w[27] = 3;  // the header, then the end-of-file record
  w[40] = 3;
  test::WriteBytes(wmf, w);
  std::ofstream(fake) << "this is a text file named like a metafile";

  TBitmap b(3, 3, pf24bit);
  TImagerIO io(nullptr);
  io.AttachBitmap(&b);
  // Nothing can draw it yet: a clean failure, the picture untouched.
  SetIOMetafileLoader(nullptr);
  io.LoadFromFileByExtension(wmf);
  EXPECT_TRUE(io.Aborted());
  EXPECT_FALSE(io.AbortReason().empty());
  EXPECT_EQ(b.Width(), 3);
  EXPECT_THROW(io.LoadFromFileByExtension(fake), EInvalidGraphic);
  EXPECT_THROW(io.ImportMetafile(Dir + "missing.emf", -1, -1), EFOpenError);

  SetIOMetafileLoader([](const std::vector<uint8_t>&, int32_t) -> std::unique_ptr<TIOMetafile> {
    return std::make_unique<TFakeMetafile>();
  });
  struct TCase {
    int32_t W, H, WantW, WantH;
  };
  for (const TCase& c : {TCase{-1, -1, 2799, 699}, TCase{400, -1, 399, 99}, TCase{-1, 100, 399, 99},
                         TCase{50, 60, 49, 59}, TCase{6000, 3000, 2799, 1399}}) {
    io.ImportMetafile(emf, c.W, c.H);
    ASSERT_FALSE(io.Aborted()) << c.W << "x" << c.H;
    EXPECT_EQ(b.Width(), c.WantW);
    EXPECT_EQ(b.Height(), c.WantH);
    EXPECT_EQ(TFakeMetafile::DrawnW, c.WantW + 1);
    EXPECT_EQ(io.Params().FileType, ioEMF);
    EXPECT_EQ(io.Params().Width, c.WantW);
    EXPECT_EQ(io.Params().DpiX, IODefaultDpi());
  }
  io.LoadFromFileByType(wmf, ioWMF);
  EXPECT_FALSE(io.Aborted());
  EXPECT_EQ(io.Params().FileType, ioWMF);
  b.SetSize(5, 5);
  io.ImportMetafile(emf, 0, 100);  // does nothing
  EXPECT_EQ(b.Width(), 5);
  io.ImportMetafile(emf, 1, 100);  // one pixel wide is no picture
  EXPECT_TRUE(io.Aborted());
  SetIOMetafileLoader(nullptr);
}

class TFakeDialog : public TIOPreviewsDialog {
 public:
  explicit TFakeDialog(std::vector<std::string>& Log) : FLog(Log) {}
  bool SetupPages(int32_t Pages) override {
    FLog.push_back("pages " + std::to_string(Pages));
    return Pages != 2;
  }
  TForm* Form() override { return nullptr; }
  bool Execute() override {
    FLog.push_back("execute");
    return true;
  }

 private:
  std::vector<std::string>& FLog;
};

TEST(ImagerIODialog, PreviewsDialogThroughTheInstalledMaker) {
  TBitmap b(4, 4, pf24bit);
  TImagerIO io(nullptr);
  io.AttachBitmap(&b);
  SetIOPreviewsDialogMaker(nullptr);
  EXPECT_FALSE(io.ShowPreviewsDialog(1));
  std::vector<std::string> log;
  const TBitmap* handed = nullptr;
  SetIOPreviewsDialogMaker([&](TImagerIO& IO, TIOParamsVals& Params, std::unique_ptr<TBitmap> Source) {
    EXPECT_EQ(&IO, &io);
    EXPECT_EQ(&Params, &io.Params());
    EXPECT_EQ(Source->Width(), 4);
    handed = Source.get();
    return std::make_unique<TFakeDialog>(log);
  });
  io.OnIOPreview = [&](TObject* Sender, TForm*) {
    EXPECT_EQ(Sender, &io);
    log.push_back("preview");
  };
  EXPECT_TRUE(io.ShowPreviewsDialog(1));
  EXPECT_NE(handed, &b);  // a copy
  EXPECT_FALSE(io.ShowPreviewsDialog(2));
  EXPECT_EQ(log, (std::vector<std::string>{"pages 1", "preview", "execute", "pages 2"}));
  SetIOPreviewsDialogMaker(nullptr);
}

TEST(ImagerIOProperties, DefaultsAndParams) {
  TImagerIO io(nullptr);
  EXPECT_EQ(io.MsgLanguage(), msSystem);
  EXPECT_EQ(io.DialogsMeasureUnit(), imduInches);
  EXPECT_TRUE(io.AutoAdjustDPI());
  EXPECT_FALSE(io.StreamHeaders());
  EXPECT_FALSE(io.Aborted());
  EXPECT_EQ(io.Bitmap(), nullptr);
  EXPECT_NE(io.PreviewFont(), nullptr);
  const TPropertyTable& t = io.PropertyTable();
  for (const char* name : {"AttachedImager", "AttachedTImage", "MsgLanguage", "StreamHeaders", "PreviewFont",
                           "OnIOPreview", "DialogsMeasureUnit", "AutoAdjustDPI", "OnProgress", "Background",
                           "PreviewsParams"})
    EXPECT_NE(t.Find(name), nullptr) << name;

  TImagerIO other(nullptr);
  other.Params().JpegQuality = 77;
  io.AssignParams(&other);
  EXPECT_EQ(io.Params().JpegQuality, 77);
  TIOParamsVals rec(nullptr);
  rec.JpegQuality = 12;
  io.AssignParams(&rec);
  EXPECT_EQ(io.Params().JpegQuality, 12);
  TBitmap unrelated;
  io.AssignParams(&unrelated);
  EXPECT_EQ(io.Params().JpegQuality, 12);

  // Background: the component's own without a view, filling the whole target.
  TBitmap b(3, 2, pf24bit);
  io.AttachBitmap(&b);
  io.SetBackground(0x00336699);
  io.FillBackground();
  EXPECT_EQ(b.GetPixelColor(2, 1), TColor(0x00336699));
  // Params' defaults take the target's size.
  io.Params().SetDefaults();
  EXPECT_EQ(io.Params().Width, 3);
}

TEST(ImagerIOProperties, ViewDpiAndBackground) {
  TIOView view(nullptr, 5, 5);
  view.TIMView::SetDpi(200, 100);
  view.SetBackground(0x00112233);
  TImagerIO io(nullptr);
  io.SetAttachedImager(&view);
  io.Params().SetDefaults();
  EXPECT_EQ(io.Params().DpiX, 200);
  EXPECT_EQ(io.Params().DpiY, 100);
  EXPECT_EQ(io.Background(), TColor(0x00112233));
  io.SetBackground(0x00445566);
  EXPECT_EQ(view.Background(), TColor(0x00445566));
  TBitmap mine(2, 2, pf24bit);
  io.AttachBitmap(&mine);
  EXPECT_EQ(io.AttachedImager(), nullptr);
  EXPECT_EQ(view.BitmapChangeCount(), 0);
}

}  // namespace
}  // namespace kv

#include "platform/graphics/picture.h"

#include <cstdlib>
#include <filesystem>

#include "platform/graphics/canvas.h"
#include "platform/ui/image.h"
#include "support/temp_files.h"
#include "ui_test_support.h"

namespace kv {
namespace {

using test::TempPath;

TEST(Picture, BitmapOnFirstUseAndChangesReachTheOwner) {
  TPicture p;
  int changes = 0;
  p.OnChange = [&](TObject* Sender) {
    EXPECT_EQ(Sender, &p);
    ++changes;
  };
  EXPECT_EQ(p.Graphic(), nullptr);
  EXPECT_EQ(p.Width(), 0);
  TBitmap& b = p.Bitmap();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(&p.Bitmap(), &b);  // the same bitmap the second time
  b.SetSize(8, 4);
  EXPECT_EQ(p.Width(), 8);
  const int afterSize = changes;
  EXPECT_GT(afterSize, 1);
  // Pixels written directly tell nobody until Modified is set, as the processing component does.
  static_cast<uint8_t*>(b.ScanLine(0))[0] = 0x12;
  EXPECT_EQ(changes, afterSize);
  b.SetModified(true);
  EXPECT_EQ(changes, afterSize + 1);
  b.Canvas().Pixel(0, 0);
  b.Canvas().SetPixel(1, 1, clRed);
  EXPECT_EQ(changes, afterSize + 2);
}

TEST(Picture, AssignCopiesAndNullEmpties) {
  TPicture a, b;
  a.Bitmap().SetSize(3, 2);
  a.Bitmap().SetPixelColor(2, 1, clBlue);
  b.Assign(&a);
  ASSERT_NE(b.Graphic(), a.Graphic());
  EXPECT_EQ(b.Bitmap().GetPixelColor(2, 1), clBlue);
  TBitmap loose(5, 5);
  b.Assign(&loose);
  EXPECT_EQ(b.Width(), 5);
  b.Assign(nullptr);
  EXPECT_EQ(b.Graphic(), nullptr);
  TFont font;
  EXPECT_THROW(b.Assign(&font), EConvertError);
}

TEST(Picture, BmpFilesRoundTripAndOtherExtensionsAreRefused) {
  TPicture p;
  p.Bitmap().SetSize(6, 3);
  p.Bitmap().SetPixelColor(5, 2, clLime);
  const std::string file = TempPath("picture_round_trip.bmp");
  p.SaveToFile(file);
  TPicture q;
  int changes = 0;
  q.OnChange = [&](TObject*) { ++changes; };
  q.LoadFromFile(file);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(q.Width(), 6);
  EXPECT_EQ(q.Bitmap().GetPixelColor(5, 2), clLime);
  EXPECT_THROW(q.LoadFromFile(TempPath("picture.xyz")), EInvalidGraphic);
  EXPECT_THROW(q.LoadFromFile(TempPath("missing.bmp")), Exception);
  EXPECT_EQ(q.Width(), 6);  // a failed load keeps the picture
  std::filesystem::remove(file);
}

class ImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = new TForm(nullptr);
    Form->SetColor(clGray);
    Image = new TImage(Form);
    Image->SetParent(Form);
    Image->SetBounds(10, 10, 40, 20);
    Form->Show();
    uitest::Pump();
  }
  void TearDown() override { delete Form; }
  TForm* Form = nullptr;
  TImage* Image = nullptr;
};

TEST_F(ImageTest, RepaintsWhenThePictureChanges) {
  TBitmap& b = Image->Picture().Bitmap();
  b.SetSize(10, 10);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect(Rect(0, 0, 10, 10));
  QImage shown = uitest::Grab(Image);
  EXPECT_EQ(uitest::PixelAt(shown, 5, 5), clRed);
  EXPECT_EQ(uitest::PixelAt(shown, 20, 5), clGray);  // the parent's colour beside the picture
  // Written straight into the pixels, then marked as modified.
  for (int32_t y = 0; y < 10; ++y) std::fill_n(static_cast<uint8_t*>(b.ScanLine(y)), 30, uint8_t(0xFF));
  b.SetModified(true);
  shown = uitest::Grab(Image);
  EXPECT_EQ(uitest::PixelAt(shown, 5, 5), clWhite);
}

TEST_F(ImageTest, PlacementFollowsStretchCenterAndProportional) {
  Image->Picture().Bitmap().SetSize(10, 5);
  struct TCase {
    bool Stretch, Center, Proportional;
    TRect Want;
  } cases[] = {
      {false, false, false, Rect(0, 0, 10, 5)},
      {false, true, false, Rect(15, 7, 25, 12)},
      {true, false, false, Rect(0, 0, 40, 20)},
      {true, false, true, Rect(0, 0, 40, 20)},  // same aspect: fills
      {false, false, true, Rect(0, 0, 10, 5)},  // proportional never enlarges
  };
  for (const auto& c : cases) {
    Image->SetStretch(c.Stretch);
    Image->SetCenter(c.Center);
    Image->SetProportional(c.Proportional);
    EXPECT_EQ(Image->DestRect(), c.Want) << c.Stretch << c.Center << c.Proportional;
  }
  Image->Picture().Bitmap().SetSize(80, 20);  // wider than the client: shrunk to 40 x 10, centred
  Image->SetCenter(true);
  EXPECT_EQ(Image->DestRect(), Rect(0, 5, 40, 15));
  Image->SetAutoSize(true);
  EXPECT_EQ(Image->Width(), 80);
  EXPECT_EQ(Image->Height(), 20);
}

}  // namespace
}  // namespace kv

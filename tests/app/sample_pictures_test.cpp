// The samples the image tools start from in a new program folder: the 3-D
// window's stored eye pictures and mesh exist when it first opens, and a
// mosaic can be made from the default tile folder before any tiles were made.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/tools/mesh_tool.h"
#include "app/tools/mosaic_tool.h"
#include "app/tools/sample_pictures.h"
#include "app/tools/stereo_tool.h"
#include "app/tools/tool_files.h"
#include "command_fixture.h"
#include "imaging/processing/mesh3d.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/temp_file.h"

namespace kv {
namespace {

using namespace kv::test;
namespace fs = std::filesystem;

TBGRPixel Px(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }
TBGRPixel Rgb(uint8_t R, uint8_t G, uint8_t B) { return TBGRPixel{B, G, R}; }
bool Reddish(TBGRPixel P) { return P.r > 2 * P.g && P.r > 2 * P.b; }

class SamplePictures : public CommandTest {
 protected:
  void TearDown() override {
    SetTempPathOverride("");
    CommandTest::TearDown();
  }
};

TEST_F(SamplePictures, EyeWindowOpensOnTheSampleEyes) {
  {
    Tanaglyphform w(nullptr, 0, "Auge Links / Rechts -> 3D-Bild ...");
    w.FormShow(nullptr);
    ASSERT_EQ(w.LeftEye->Width(), kSampleEyeWidth);
    ASSERT_EQ(w.RightEye->Height(), kSampleEyeHeight);
    EXPECT_EQ(w.Stereo->Width(), kSampleEyeWidth);
    // The near red disc (centre 100, 160, disparity 16) stands 8 pixels right
    // of its place for the left eye and 8 left for the right one.
    EXPECT_TRUE(Reddish(Px(*w.LeftEye, 140, 160)));
    EXPECT_FALSE(Reddish(Px(*w.RightEye, 140, 160)));
    EXPECT_FALSE(Reddish(Px(*w.LeftEye, 60, 160)));
    EXPECT_TRUE(Reddish(Px(*w.RightEye, 60, 160)));
  }
  // A sample the user replaced stays his; a removed one is drawn again.
  SaveToolPicture(Dir + "Images/left.png", *Make24(10, 8, [](int32_t, int32_t) { return Gray(9); }));
  fs::remove(Dir + "Images/right.png");
  Tanaglyphform w(nullptr, 0, "Auge Links / Rechts -> 3D-Bild ...");
  w.FormShow(nullptr);
  EXPECT_EQ(w.LeftEye->Width(), 10);
  EXPECT_EQ(w.RightEye->Width(), kSampleEyeWidth);
}

TEST_F(SamplePictures, MeshWindowOpensOnTheStoredDefaultMesh) {
  Tanaglyphform w(nullptr, 2, "3D-Gitter ...");
  w.FormShow(nullptr);
  EXPECT_EQ(w.MeshFile(), Dir + "Images/cone.asc");
  ASSERT_FALSE(w.Mesh().Objects.empty());
  // The cone's edges are drawn: white lines on grey give full red in the red-blue picture.
  int32_t lines = 0;
  for (int32_t y = 0; y < w.Stereo->Height(); ++y)
    for (int32_t x = 0; x < w.Stereo->Width(); ++x) lines += Px(*w.Stereo, x, y).r == 255;
  EXPECT_GT(lines, 50);
  for (const char* name : {"cube.asc", "sphere.asc", "lamp.asc"}) EXPECT_TRUE(FileExists(Dir + "Images/" + name)) << name;
}

TEST_F(SamplePictures, MosaicFromTheDefaultTileFolderStartsWithTheDemoTiles) {
  SetTempPathOverride(Dir + "tmp");
  ForceDirectories(Dir + "tmp");
  const std::string folder = DefaultMosaicTileFolder();
  struct TCase {
    const char* Name;
    bool OwnTile;  // a tile of an earlier run already there
  };
  for (const TCase c : {TCase{"demo tiles", false}, TCase{"own tile", true}}) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(folder);
    if (c.OwnTile) {
      ForceDirectories(folder);
      SaveToolPicture(folder + "0.bmp", *Make24(32, 24, [](int32_t, int32_t) { return Rgb(0, 200, 0); }));
    }
    MakeChild(80, 60, [](int32_t, int32_t) { return Rgb(230, 40, 30); });
    const int32_t windows = Windows();
    ASSERT_TRUE(Line("MOSAIC Columns=4 Rows=3 CellWidth=32 CellHeight=24"));
    ASSERT_EQ(Windows(), windows + 1);
    const TBitmap& made = NewestImage(*Form).Bitmap();
    ASSERT_EQ(made.Width(), 128);
    ASSERT_EQ(made.Height(), 72);
    if (c.OwnTile) {
      EXPECT_FALSE(FileExists(folder + "1.bmp"));
      EXPECT_EQ(Px(made, 70, 40), Rgb(0, 200, 0));
    } else {
      EXPECT_TRUE(FileExists(folder + std::to_string(kDemoTileCount - 1) + ".bmp"));
      // A red picture is built of red tiles: the first cell takes the best
      // one, the others (each tile once in reach) still lean to red.
      EXPECT_TRUE(Reddish(Px(made, 30, 22)));
      int64_t r = 0, g = 0, b = 0;
      for (int32_t y = 0; y < 72; ++y)
        for (int32_t x = 0; x < 128; ++x) r += Px(made, x, y).r, g += Px(made, x, y).g, b += Px(made, x, y).b;
      EXPECT_GT(r, 2 * g);
      EXPECT_GT(r, 2 * b);
    }
  }
}

}  // namespace
}  // namespace kv

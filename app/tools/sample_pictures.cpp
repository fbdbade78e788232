#include "app/tools/sample_pictures.h"

#include <algorithm>
#include <cmath>

#include "app/tools/tool_files.h"
#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/paths.h"

namespace kv {

namespace {

uint8_t Clamp8(double V) { return uint8_t(std::clamp(V, 0.0, 255.0)); }

TBGRPixel Rgb(double R, double G, double B) { return TBGRPixel{Clamp8(B), Clamp8(G), Clamp8(R)}; }

// What one eye sees at (X, Y); Eye is +1 for the left eye and -1 for the
// right. A shape at disparity D stands D / 2 pixels right of its place for
// the left eye and left of it for the right eye, so it comes out of the
// screen by D.
TBGRPixel ScenePixel(int32_t X, int32_t Y, int32_t Eye) {
  constexpr int32_t kHorizon = kSampleEyeHeight / 2;
  struct TShape {
    int32_t Kind;  // 0 disc, 1 square
    int32_t X, Y, Size, Disparity;
    double R, G, B;
  };
  // Nearest first: the first shape hit hides those behind it.
  static const TShape shapes[] = {
      {0, 100, 160, 38, 16, 230, 60, 40},
      {1, 215, 140, 32, 8, 60, 110, 230},
      {0, 170, 85, 26, 2, 240, 200, 40},
  };
  for (const TShape& s : shapes) {
    const double dx = X - (s.X + Eye * s.Disparity / 2), dy = Y - s.Y;
    const bool hit = s.Kind == 0 ? dx * dx + dy * dy <= double(s.Size) * s.Size
                                 : std::fabs(dx) <= s.Size && std::fabs(dy) <= s.Size;
    if (!hit) continue;
    // Lit from the top left, so that the shape has texture for the eyes to fuse.
    const double shade = 1.15 - 0.45 * (dx + dy + 2 * s.Size) / (4.0 * s.Size);
    return Rgb(s.R * shade, s.G * shade, s.B * shade);
  }
  if (Y < kHorizon) return Rgb(110 + Y * 0.6, 160 + Y * 0.5, 245);
  // The ground: a chequer in perspective whose disparity grows towards the viewer.
  const double near = Y - kHorizon + 8;
  const double disparity = (Y - kHorizon) / 7.0;
  const double u = (X - kSampleEyeWidth / 2 - Eye * disparity / 2) * 40 / near, v = 4000 / near;
  const bool dark = (int32_t(std::floor(u / 24)) + int32_t(std::floor(v / 24))) & 1;
  const double light = 0.6 + 0.4 * (Y - kHorizon) / double(kSampleEyeHeight - kHorizon);
  return dark ? Rgb(40 * light, 120 * light, 50 * light) : Rgb(150 * light, 210 * light, 110 * light);
}

// One of twelve hues at full value, as red, green and blue.
void Hue(int32_t H, double& R, double& G, double& B) {
  const double h = (H % 12) / 2.0;  // sixths of the circle
  const int32_t sector = int32_t(h);
  const double f = h - sector;
  switch (sector) {
    case 0: R = 1, G = f, B = 0; break;
    case 1: R = 1 - f, G = 1, B = 0; break;
    case 2: R = 0, G = 1, B = f; break;
    case 3: R = 0, G = 1 - f, B = 1; break;
    case 4: R = f, G = 0, B = 1; break;
    default: R = 1, G = 0, B = 1 - f; break;
  }
}

}  // namespace

void DrawSampleEyes(TBitmap& Left, TBitmap& Right) {
  for (TBitmap* b : {&Left, &Right}) {
    b->SetPixelFormat(pf24bit);
    b->SetSize(kSampleEyeWidth, kSampleEyeHeight);
  }
  for (int32_t y = 0; y < kSampleEyeHeight; ++y) {
    auto* l = static_cast<TBGRPixel*>(Left.ScanLine(y));
    auto* r = static_cast<TBGRPixel*>(Right.ScanLine(y));
    for (int32_t x = 0; x < kSampleEyeWidth; ++x) {
      l[x] = ScenePixel(x, y, 1);
      r[x] = ScenePixel(x, y, -1);
    }
  }
}

void MakeSampleEyeImages() {
  const std::string folder = ProgramFolder() + "Images/";
  if (FileExists(folder + "left.png") && FileExists(folder + "right.png")) return;
  TBitmap left, right;
  DrawSampleEyes(left, right);
  // Without the samples the window starts empty, as with any missing picture.
  try {
    ForceDirectories(folder);
    if (!FileExists(folder + "left.png")) SaveToolPicture(folder + "left.png", left);
    if (!FileExists(folder + "right.png")) SaveToolPicture(folder + "right.png", right);
  } catch (const Exception&) {
  }
}

void DrawDemoTile(int32_t I, TBitmap& Tile) {
  Tile.SetPixelFormat(pf24bit);
  Tile.SetSize(kDemoTileWidth, kDemoTileHeight);
  double r, g, b;
  Hue(I, r, g, b);
  static const double tones[4] = {250, 185, 120, 60};
  const int32_t tone = (I / 12) % 4;
  // Darker tones are less saturated, as shadows in photographs are.
  const double grey = tone * 0.12, value = tones[tone];
  r = (r * (1 - grey) + grey) * value, g = (g * (1 - grey) + grey) * value, b = (b * (1 - grey) + grey) * value;
  const int32_t cx = 16 + (I * 7) % 32, cy = 12 + (I * 5) % 24;
  for (int32_t y = 0; y < kDemoTileHeight; ++y) {
    auto* row = static_cast<TBGRPixel*>(Tile.ScanLine(y));
    const double shade = 1.2 - 0.4 * y / kDemoTileHeight;
    for (int32_t x = 0; x < kDemoTileWidth; ++x) {
      const bool disc = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= 100;
      row[x] = disc ? Rgb((r + 255) / 2, (g + 255) / 2, (b + 255) / 2) : Rgb(r * shade, g * shade, b * shade);
    }
  }
}

void WriteDemoMosaicTiles(const std::string& Folder) {
  ForceDirectories(Folder);
  TBitmap tile;
  for (int32_t i = 0; i < kDemoTileCount; ++i) {
    DrawDemoTile(i, tile);
    SaveToolPicture(Folder + std::to_string(i) + ".bmp", tile);
  }
}

}  // namespace kv

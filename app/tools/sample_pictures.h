// The sample pictures the image tools start from, drawn here rather than
// shipped: a pair of eye pictures for the 3-D window and a folder of tiles
// that a mosaic can be built from before the user has made tiles of his own.
#pragma once
#include <cstdint>
#include <string>

namespace kv {

class TBitmap;

// Size of the sample eye pictures.
inline constexpr int32_t kSampleEyeWidth = 320, kSampleEyeHeight = 240;
// The demo tiles: kDemoTileCount pictures of the default cell size.
inline constexpr int32_t kDemoTileCount = 48, kDemoTileWidth = 64, kDemoTileHeight = 48;

// A small scene seen by the left and by the right eye: a sky, a chequered
// ground that comes nearer towards the bottom, and three shapes at different
// depths, each shifted between the eyes by its disparity.
void DrawSampleEyes(TBitmap& Left, TBitmap& Right);
// The program folder's "Images/left.png" and "Images/right.png", written
// first when missing. A folder that takes no files leaves them missing.
void MakeSampleEyeImages();

// Tile I of the demo set: a gradient of one of twelve hues in one of four
// tones, with a lighter disc, kDemoTileWidth x kDemoTileHeight.
void DrawDemoTile(int32_t I, TBitmap& Tile);
// Writes the demo tiles as Folder + "0.bmp" ... into Folder (made when missing).
void WriteDemoMosaicTiles(const std::string& Folder);

}  // namespace kv

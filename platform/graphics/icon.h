// TIcon: an icon file (the window system's ICO layout) kept as its bytes,
// with the largest image decoded for drawing: colour pixels and a mask.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/types.h"

namespace kv {

class TCanvas;

class TIcon : public TGraphic {
 public:
  TIcon();
  ~TIcon() override;

  int32_t Width() const override { return FImage ? FImage->Width() : 0; }
  int32_t Height() const override { return FImage ? FImage->Height() : 0; }
  bool Empty() const override { return !FImage; }

  // Reads an icon file (type 1) from the position to the end. Each image is a
  // device-independent bitmap of 1, 4, 8, 24 or 32 bits with its AND mask.
  // Damaged files raise EInvalidGraphic and leave the icon as it was.
  void LoadFromStream(TStream& Stream) override;
  // The bytes the icon was read from, or an icon file made from its picture.
  void SaveToStream(TStream& Stream) override;
  using TGraphic::LoadFromFile;
  using TGraphic::SaveToFile;

  // Makes a one-image icon of the bitmap; the pixels of MaskColor (clNone: none) become transparent.
  void FromBitmap(const TBitmap& Image, TColor MaskColor = clNone);
  // The decoded picture (pf24bit) and whether a pixel is see-through.
  const TBitmap* Image() const { return FImage.get(); }
  bool IsTransparentPixel(int32_t X, int32_t Y) const;
  // Bits per pixel of the decoded image as its header gave them.
  int32_t BitCount() const { return FBitCount; }

  // Draws the picture stretched into Rect, leaving the masked pixels.
  void Draw(TCanvas& ACanvas, const TRect& Rect);
  void Assign(const TPersistent* Source) override;
  bool SameAs(const TIcon& Other) const { return FData == Other.FData; }

 private:
  std::vector<uint8_t> FData;        // the icon file
  std::unique_ptr<TBitmap> FImage;   // nullptr when empty
  std::vector<uint8_t> FMask;        // 1 = transparent, one byte per pixel, rows top-down
  int32_t FBitCount = 0;
};

}  // namespace kv

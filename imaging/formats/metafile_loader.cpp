// The default metafile loader: the file's header gives its size, the graphics
// layer's converters and SVG painter draw it.
#include <memory>
#include <string>

#include "imaging/formats/codec.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/metafile.h"
#include "platform/graphics/metafile_render.h"

namespace kv {

namespace {

int32_t S16(const uint8_t* P) { return int16_t(uint16_t(P[0] | P[1] << 8)); }
uint32_t U16(const uint8_t* P) { return uint32_t(P[0]) | uint32_t(P[1]) << 8; }
int32_t S32(const uint8_t* P) { return int32_t(U16(P) | U16(P + 2) << 16); }

class TSvgMetafile : public TIOMetafile {
 public:
  TSvgMetafile(std::string Svg, int32_t Width, int32_t Height, int32_t ViewWidth, int32_t ViewHeight)
      : FSvg(std::move(Svg)), FWidth(Width), FHeight(Height), FViewWidth(ViewWidth), FViewHeight(ViewHeight) {}
  int32_t Width() const override { return FWidth; }
  int32_t Height() const override { return FHeight; }
  void Draw(TBitmap& Target, int32_t Width, int32_t Height) override {
    gfx::DrawSvg(FSvg, Target, Width, Height, FViewWidth, FViewHeight);
  }

 private:
  std::string FSvg;
  int32_t FWidth, FHeight;
  int32_t FViewWidth, FViewHeight;
};

// A side in pixels from a length in units of PerInch to the inch; 0 when unusable.
int32_t ToPixels(int64_t Units, int64_t PerInch, int32_t Dpi) {
  if (Units <= 0 || PerInch <= 0) return 0;
  const int64_t px = Units * Dpi / PerInch;
  return px > 0 && px < (int64_t(1) << 24) ? int32_t(px) : 0;
}

// The size the header states: an enhanced file's frame (0.01 mm) or, without
// one, its bounds in device pixels; a placeable file's box in its units per inch.
void HeaderSize(const std::vector<uint8_t>& Data, int32_t FileType, int32_t Dpi, int32_t& W, int32_t& H) {
  const uint8_t* d = Data.data();
  W = H = 0;
  if (FileType == ioEMF && Data.size() >= 88) {
    W = ToPixels(int64_t(S32(d + 32)) - S32(d + 24), 2540, Dpi);
    H = ToPixels(int64_t(S32(d + 36)) - S32(d + 28), 2540, Dpi);
    if (W == 0 || H == 0) {
      W = ToPixels(int64_t(S32(d + 16)) - S32(d + 8) + 1, Dpi, Dpi);
      H = ToPixels(int64_t(S32(d + 20)) - S32(d + 12) + 1, Dpi, Dpi);
    }
  } else if (FileType == ioWMF && Data.size() >= 22 && (U16(d) | U16(d + 2) << 16) == 0x9AC6CDD7) {
    const int32_t inch = int32_t(U16(d + 14));
    W = ToPixels(int64_t(S16(d + 10)) - S16(d + 6), inch, Dpi);
    H = ToPixels(int64_t(S16(d + 12)) - S16(d + 8), inch, Dpi);
  }
}

std::unique_ptr<TIOMetafile> LoadThroughSvg(const std::vector<uint8_t>& Data, int32_t FileType) {
  const int32_t dpi = IODefaultDpi();
  gfx::TMetafileSvg svg;
  const gfx::TMetafileKind kind = FileType == ioEMF ? gfx::TMetafileKind::Enhanced : gfx::TMetafileKind::Windows;
  if (!gfx::MetafileToSvg(Data.data(), Data.size(), kind, dpi, svg)) return nullptr;
  int32_t w = 0, h = 0;
  HeaderSize(Data, FileType, dpi, w, h);
  if (w == 0 || h == 0) {
    w = svg.Width;
    h = svg.Height;
  }
  // The enhanced converter states a size one pixel short of the inclusive
  // bounds its drawing fills; the view box is the whole bounds instead.
  int32_t viewW = 0, viewH = 0;
  if (FileType == ioEMF) {
    const uint8_t* d = Data.data();
    const int64_t bw = int64_t(S32(d + 16)) - S32(d + 8) + 1, bh = int64_t(S32(d + 20)) - S32(d + 12) + 1;
    if (bw > 0 && bh > 0 && bw < (int64_t(1) << 24) && bh < (int64_t(1) << 24)) {
      viewW = int32_t(bw);
      viewH = int32_t(bh);
    }
  }
  return std::make_unique<TSvgMetafile>(std::move(svg.Svg), w, h, viewW, viewH);
}

}  // namespace

TIOMetafileLoader DefaultIOMetafileLoader() { return &LoadThroughSvg; }

}  // namespace kv

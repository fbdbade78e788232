// The format parameters dialog's colour panels and the colour reduction of
// its result image.
#include "imaging/views/io_previews.h"

#include "imaging/views/palette_dialog.h"

namespace kv {

namespace {
TColor ColorOf(TBGRPixel P) { return static_cast<TColor>(RGB(P.r, P.g, P.b)); }
TBGRPixel PixelOf(TColor C) {
  const TColorRef rgb = ColorToRGB(C);
  return TBGRPixel{GetBValue(rgb), GetGValue(rgb), GetRValue(rgb)};
}
}  // namespace

bool TfIOPreviews::PickColor(TBGRPixel& Color, bool Palette, int32_t Count) {
  const TIOParamsVals& last = FIO->Params();
  // Without a colour map from a preview there is nothing to pick from: the
  // colour dialog serves instead of an empty palette.
  if (Palette && last.ColorMap && last.ColorMapCount > 0) {
    TImagerPaletteDialog dlg(nullptr);
    dlg.CancelButton()->SetCaption(FPaletteCancelCaption);
    dlg.SetPalette(last.ColorMap.get(), std::min(Count, last.ColorMapCount));
    if (!dlg.Execute()) return false;
    Color = PixelOf(dlg.Color());
    return true;
  }
  ColorDialog1->SetColor(ColorOf(Color));
  if (!ColorDialog1->Execute()) return false;
  Color = PixelOf(ColorDialog1->Color());
  return true;
}

void TfIOPreviews::ColorPanelClick(TObject* Sender) {
  TBGRPixel* target = nullptr;
  bool palette = true;
  int32_t count = 256;
  if (Sender == Gif.TransparentColor || Sender == Gif.Background) {
    target = Sender == Gif.Background ? &FValues.GifBackground : &FValues.GifTransparentColor;
    count = 1 << (FValues.GifColors + 1);
  } else if (Sender == Png.Background) {
    target = &FValues.PngBackground;
  } else if (Sender == Tga.Background) {
    target = &FValues.TgaBackground;
  }
  if (!target || !PickColor(*target, palette, count)) return;
  static_cast<TControl*>(Sender)->SetColor(ColorOf(*target));
  ApplyButton->SetEnabled(true);
}

void TfIOPreviews::ReduceColors(TImager* Target, int32_t Page) {
  TIOParamsVals& p = FIO->Params();
  FProc->SetAttachedBitmap(&Target->Bitmap());
  const int32_t bits = p.BitsPerSample * p.SamplesPerPixel;
  const int32_t colors = bits >= 1 && bits <= 8 ? 1 << bits : 0;  // 0: more than 256
  bool keepPalette = true;
  switch (Page) {
    case ppTIFF:
      if ((p.TiffPhotometric == kTiffWhiteIsZero || p.TiffPhotometric == kTiffBlackIsZero) &&
          p.SamplesPerPixel == 1 && p.BitsPerSample == 8) {
        FProc->ConvertToGray();
        p.FreeColorMap();
        return;
      }
      if (p.TiffPhotometric >= kTiffCMYK) return;
      break;
    case ppGIF:
    case ppPNG:
    case ppTGA:
      break;
    case ppBMP:
    case ppPCX:
      keepPalette = false;
      break;
    default:
      return;
  }
  if (colors == 0) {
    if (keepPalette) p.FreeColorMap();
    return;
  }
  if (!keepPalette) {
    FProc->ConvertTo(colors);
    return;
  }
  std::vector<TBGRPixel> palette;
  FProc->ConvertToPalette(colors, palette);
  p.SetColorMap(palette.data(), static_cast<int32_t>(palette.size()));
}

}  // namespace kv

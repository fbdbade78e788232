// The program's image control: undo position, conveniences and the
// image-information texts.
#include "app/layer/imager_layer.h"

#include <algorithm>

#include "app/layer/layer_helpers.h"
#include "imaging/formats/file_types.h"
#include "imaging/processing/geometry_ops.h"
#include "imaging/processing/imager_proc.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/cursors.h"

namespace kv {

timagerlayer::timagerlayer(TComponent* AOwner) : TImager(AOwner) {
  // The wheel is left to the platform's default handling: no zoom or scroll by the view.
  MouseWheelParams().Action = 0;
}

void timagerlayer::SaveUndoPoint() {
  SaveUndo();
  FUndoPosition = -1;
}

void timagerlayer::SaveUndoPointOf(TBitmap& Replaced) {
  Proc()->SaveUndoReplaced(Replaced, Proc()->GetAlphaMask(), "");
  FUndoPosition = -1;
}

void timagerlayer::ResampleWithUndo(int32_t Width, int32_t Height, TResampleFilter Filter) {
  TImagerProc& proc = *Proc();
  int32_t w = Width, h = Height;
  if (!ResampleSize(Bitmap(), w, h)) {
    // Nothing to resample: the undo point is still taken, as before any command.
    SaveUndoPoint();
    proc.Resample(Width, Height, Filter);
    return;
  }
  // The component snapshots the replaced picture itself while AutoUndo is on.
  const bool autoUndo = proc.AutoUndo();
  proc.SetAutoUndo(true);
  try {
    proc.Resample(Width, Height, Filter);
  } catch (...) {
    proc.SetAutoUndo(autoUndo);
    throw;
  }
  proc.SetAutoUndo(autoUndo);
  FUndoPosition = -1;
}

void timagerlayer::Undo() {
  if (FUndoPosition == -1) {
    SaveUndoPoint();
    FUndoPosition = 0;
  }
  if (!CanUndo()) return;
  ++FUndoPosition;
  UndoAt(FUndoPosition);
}

void timagerlayer::Redo() {
  if (!CanRedo()) return;
  --FUndoPosition;
  UndoAt(FUndoPosition);
}

bool timagerlayer::CanUndo() const {
  const int32_t count = const_cast<timagerlayer*>(this)->Proc()->UndoCount();
  return count >= 1 && FUndoPosition < count - 1;
}

bool timagerlayer::CanRedo() const {
  const int32_t count = const_cast<timagerlayer*>(this)->Proc()->UndoCount();
  return count >= 2 && FUndoPosition >= 1;
}

void timagerlayer::FillColor(TColor Color) {
  TBitmap& bmp = Bitmap();
  TCanvas& c = bmp.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Color);
  c.FillRect(Rect(0, 0, bmp.Width(), bmp.Height()));
}

void timagerlayer::UpdateBitmapRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  const TRect r = Rect(XBmp2Scr(Left), YBmp2Scr(Top), XBmp2Scr(Right), YBmp2Scr(Bottom));
  UpdateRect(r);
  RenderNow();
}

void timagerlayer::ResampleToFit() {
  const TBitmap& bmp = Bitmap();
  if (bmp.Empty() || Width() <= 0 || Height() <= 0) return;
  int32_t w = 0, h = 0;
  ProportionalSize(bmp.Width(), bmp.Height(), Width(), Height(), w, h);
  if (w < 1 || h < 1) return;
  Resample(w, h, rfNone);
}

int32_t timagerlayer::FitZoomPercent() const {
  const TBitmap& bmp = const_cast<timagerlayer*>(this)->Bitmap();
  // An empty picture has no size to fit: it is shown at its own size.
  if (bmp.Width() <= 0 || bmp.Height() <= 0) return 100;
  // Exact integer arithmetic: height / (bitmap height / 100), truncated.
  const int64_t byHeight = int64_t(std::max(Height(), 0)) * 100 / bmp.Height();
  const int64_t byWidth = int64_t(std::max(Width(), 0)) * 100 / bmp.Width();
  return int32_t(std::clamp<int64_t>(std::min(byHeight, byWidth), 1, INT32_MAX));
}

void timagerlayer::UpdateCursor() {
  const TIMMouseInteract mi = MouseInteract();
  if (mi.Contains(miSelect) || mi.Contains(miSelectPolygon) || mi.Contains(miSelectCircle))
    SetCursor(crCross);
  else if (mi.Contains(miScroll))
    SetCursor(crIMHand);
  else if (mi.Contains(miZoom))
    SetCursor(crIMZoomIn);
  else
    SetCursor(crIMCross3);
}

TImageInfoTexts ImageInfoText(timagerlayer& Control) {
  TImageInfoTexts t;
  const TIOParamsVals& params = Control.IOParams();
  const std::string& name = params.FileName;
  const TBitmap& bmp = Control.Bitmap();
  const bool onDisk = !name.empty() && name[0] != '!';

  t[tImageInfo::filename] = ExtractFileName(name);
  std::string folder = ExtractFilePath(name);
  if (!folder.empty() && folder.back() != PathDelim && folder[0] != '!') folder += PathDelim;
  t[tImageInfo::filepath] = folder;
  if (onDisk) {
    t[tImageInfo::filedate] = FileDateText(name);
    t[tImageInfo::filesize] = FormatByteSize(GetFileSizeByName(name));
  }
  if (const TIMFileTypeRecord* type = FindFileType(params.FileType))
    t[tImageInfo::filetype] = type->Description;
  t[tImageInfo::imagewidth] = IntToStr(bmp.Width());
  t[tImageInfo::imageheight] = IntToStr(bmp.Height());
  t[tImageInfo::numpixels] = IntToStr(int64_t(bmp.Width()) * bmp.Height());
  t[tImageInfo::textcomment] = ReadTextComment(name);
  t[tImageInfo::resolution] = IntToStr(params.DpiX);
  const bool german = Control.MsgLanguage() == msGerman;
  if (bmp.Height() < bmp.Width())
    t[tImageInfo::orientation] = german ? "Querformat" : "Landscape";
  else
    t[tImageInfo::orientation] = german ? "Hochformat" : "Portrait";
  return t;
}

}  // namespace kv

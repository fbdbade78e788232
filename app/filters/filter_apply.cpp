#include "app/filters/filter_apply.h"

#include <algorithm>
#include <memory>
#include <string>

#include "app/child/child_window.h"
#include "app/filters/colour_models.h"
#include "app/filters/filter_catalogue.h"
#include "app/filters/filter_kernels.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/tools/scan_pieces.h"
#include "imaging/model/pixel.h"
#include "imaging/processing/area_filters.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/colour_convert.h"
#include "imaging/processing/colour_kernels.h"
#include "imaging/processing/convert_bits.h"
#include "imaging/processing/edge_detect.h"
#include "imaging/processing/ff_files.h"
#include "imaging/processing/imager_proc.h"
#include "imaging/processing/resample.h"
#include "imaging/processing/scan_straighten.h"
#include "imaging/processing/stuck_pixels.h"
#include "imaging/processing/user_filter.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/forms.h"

namespace kv {

namespace {

bool GApplying = false;

// Cleared however the filter ends, so that a failing filter does not lock out every later one.
class TApplyingGuard {
 public:
  TApplyingGuard() { GApplying = true; }
  ~TApplyingGuard() { GApplying = false; }
  TApplyingGuard(const TApplyingGuard&) = delete;
  TApplyingGuard& operator=(const TApplyingGuard&) = delete;
};

// An item that was never given a kernel (a command line cannot carry one)
// would turn every pixel into the offset.
bool HasKernel(const TUserFilterRecord& R) {
  for (int32_t i = 0; i < 25; ++i)
    if (R.Values[i] != 0) return true;
  return false;
}

bool StartsWith(const std::string& Text, const char* Prefix) { return Text.rfind(Prefix, 0) == 0; }

// The picture of the image window with that title, as a pf24bit bitmap
// (a 1-bit picture is expanded into Holder).
const TBitmap& WindowPicture(const std::string& Title, TBitmap& Holder) {
  Tchild* child = form1 ? form1->findchild(Title) : nullptr;
  if (!child || !child->imager1) throw EFilterError("Es gibt kein Bildfenster \"" + Title + "\"");
  const TBitmap& b = child->imager1->Bitmap();
  if (b.PixelFormat() == pf24bit) return b;
  if (b.PixelFormat() != pf1bit) throw EFilterError("Das Bild von \"" + Title + "\" ist kein Farbbild");
  TProgressRec none;
  ConvertTo24BitRows(b, Holder, none);
  return Holder;
}

// Runs Work on the processing component with the bitmap as its target, as a
// temporary image control would, without an undo snapshot.
template <typename F>
void InControl(TBitmap& Bitmap, F Work) {
  TImagerProc proc(nullptr);
  proc.SetAutoUndo(false);
  proc.SetBackground(clBtnFace);
  proc.SetAttachedBitmap(&Bitmap);
  Work(proc);
}

class TDispatch {
 public:
  TDispatch(TBitmap& ABitmap, tfilteritem& AItem, bool AUseDefaults, bool APreview, double AScale,
            TProgressRec& AProgress, int32_t AX1, int32_t AY1, int32_t AX2, int32_t AY2, TBitmap* AReplaced)
      : B(ABitmap), Item(AItem), UseDefaults(AUseDefaults), Preview(APreview), Scale(AScale), P(AProgress),
        X1(AX1), Y1(AY1), X2(AX2), Y2(AY2), Replaced(AReplaced) {}

  void Run() {
    switch (Item.Kind) {
      case fkUserFilter: RunConvolution(); break;
      case fkFilterFactory: RunFilterFactory(); break;
      default: RunEffect(UpperCase(Item.Keyword)); break;
    }
  }

 private:
  // Parameter I, 1-based.
  const std::string& Text(int32_t I) const {
    const tfilterparam& p = Item.Params[size_t(std::clamp(I, 1, kMaxFilterParams) - 1)];
    return UseDefaults ? p.Default : p.Value;
  }
  int32_t Int(int32_t I) const { return FilterParamInt(Text(I)); }
  double Float(int32_t I) const { return FilterParamFloat(Text(I)); }
  bool Bool(int32_t I) const { return Int(I) > 0; }
  int32_t Scaled(double V) const { return Round32(V * Scale); }

  // Copy out: the rectangle is worked on in a copy drawn back at its corner.
  template <typename F>
  void CopyOut(F Work) {
    TBitmap work;
    if (!CopyBitmapRect(B, work, X1, Y1, X2, Y2)) return;
    Work(work);
    DrawBitmapAt(B, work, std::max(X1, 0), std::max(Y1, 0));
  }

  void RunConvolution() {
    if (!Item.FilePath.empty()) LoadUserFilter(Item.FilePath, Item.Convolution);
    ApplyUserFilter(B, Item.Convolution, X1, Y1, X2, Y2, P);
  }

  void RunFilterFactory() {
    std::unique_ptr<tfflfilter> loaded;
    tfflfilter* lib = Item.Library.get();
    if (!lib) {
      loaded = std::make_unique<tfflfilter>();
      loaded->Load(Item.FilePath);
      lib = loaded.get();
      if (Item.FilterNumber < 0 || Item.FilterNumber >= lib->Count())
        throw EFilterError("\"" + Item.FilePath + "\" enthält keinen Filter " + IntToStr(Item.FilterNumber));
      lib->SetCurrentFilter(Item.FilterNumber);
      for (int32_t i = 0; i < 8; ++i) lib->SetField(IntToStr(Int(i + 1)), ffkControlValue, i, Item.FilterNumber);
    }
    TBitmap work;
    if (!CopyBitmapRect(B, work, X1, Y1, X2, Y2)) return;
    const TRect r{std::max(X1, 0), std::max(Y1, 0), std::max(X1, 0) + work.Width(), std::max(Y1, 0) + work.Height()};
    const int32_t error = Scale != 1 ? lib->RunPreview(work, B, P, r, Scale) : lib->Run(work, B, P, r);
    if (error != 0)
      throw EFilterError("Die Formel des Filters hat einen Fehler an Stelle " + IntToStr(error));
  }

  void RunEffect(const std::string& K) {
    TObject* const sender = P.Sender;
    const TIMProgressEvent& progress = P.OnProgress;
    if (K == "WAVE")
      CopyOut([&](TBitmap& w) { Wave(w, Scaled(Int(1)), Scaled(Int(2)), P, Bool(4), Int(3)); });
    if (K == "LENS") {
      const int32_t cx = Bool(3) ? B.Width() / 2 : Scaled(Int(1));
      const int32_t cy = Bool(3) ? B.Height() / 2 : Scaled(Int(2));
      const int32_t w = Bool(6) ? B.Width() : Scaled(Int(4));
      const int32_t h = Bool(6) ? B.Height() : Scaled(Int(5));
      // The centre is a point of the bitmap; the copy starts at the rectangle's corner.
      CopyOut([&](TBitmap& work) { Lens(work, cx - std::max(X1, 0), cy - std::max(Y1, 0), P, Float(7), h, w); });
    }
    if (K == "BUMPMAP") {
      const int32_t cx = Bool(3) ? (X1 + X2) / 2 : X1 + Scaled(Int(1));
      const int32_t cy = Bool(3) ? (Y1 + Y2) / 2 : Y1 + Scaled(Int(2));
      const int32_t w = Bool(6) ? X2 - X1 : Scaled(Int(4));
      const int32_t h = Bool(6) ? Y2 - Y1 : Scaled(Int(5));
      const uint32_t light = PackedColour(TColorToTBGRPixel(TColor(Int(8))));
      BumpMap(B, cx, cy, P, X1, Y1, X2, Y2, light, Int(7), h, w);
    }
    if (K == "MANAGEUSERFILTER" && HasKernel(Item.Convolution))
      ApplyUserFilter(B, Item.Convolution, X1, Y1, X2, Y2, P);
    if (StartsWith(K, "COLORADD")) {
      const std::array<int32_t, 4> p{Int(1), Int(2), Int(3), Int(4)};
      ColorChannelAdd(B, ColorModelIndex(K.substr(8)), p, X1, Y1, X2, Y2, sender, progress);
    }
    if (K == "REDUCECOLORS") {
      const int32_t n = Int(1);
      CopyOut([&](TBitmap& w) {
        if (n > 2)
          ReduceColors(w, std::min(n, 256), nullptr, sender, progress);
        else
          ConvertTo1BitDither(w, P);
      });
    }
    if (StartsWith(K, "REDCOLOR")) {
      const int32_t n = std::clamp(FilterParamInt(K.substr(8)), 2, 256);
      CopyOut([&](TBitmap& w) { ReduceColors(w, n, nullptr, sender, progress); });
    }
    if (K == "BLACKWHITE") CopyOut([&](TBitmap& w) { ConvertTo1BitThreshold(w, Bool(2) ? -1 : Int(1), P); });
    if (K == "GRAYSCALE") GrayScale(B, X1, Y1, X2, Y2, sender, progress);
    if (K == "INVERT") Negative(B, X1, Y1, X2, Y2, sender, progress);
    if (K == "ROTATE") InControl(B, [&](TImagerProc& c) { c.Rotate(Bool(2), Float(1), Replaced); });
    if (StartsWith(K, "ROTATES")) {
      const int32_t angle = FilterParamInt(K.substr(7));
      InControl(B, [&](TImagerProc& c) { c.Rotate(false, angle, Replaced); });
    }
    if (K == "FLIPVERT") InControl(B, [](TImagerProc& c) { c.Flip(1); });
    if (K == "FLIPHORZ") InControl(B, [](TImagerProc& c) { c.Flip(0); });
    if (K == "SEPERATE") Separate();
    if (K == "STRAIGHTENBORDER") StraightenImage(B, ScanSetup(Int(1), Int(2)), P);
    if (K == "CUTBORDER") CutBorder(B, ScanSetup(Int(1), Int(2)), ScanPixels(Float(3)), P);
    if (K == "HOTPIXEL") HotPixelKernel(B, B, Int(1), P, P.per1, X1, Y1, X2, Y2, Int(2), 0);
    if (K == "STRAIGHTENTEXT")
      InControl(B, [&](TImagerProc& c) {
        c.OnProgress = progress;
        // The angle is found on a reduced copy: edges of a large scan add time, not precision.
        const double angle = EstimateSkewAngle(c, std::min(B.Width(), 800), Int(1), Float(2));
        if (angle != 0) c.Rotate(true, angle);
      });
    if (K == "EQUALIZE") Equalize(B, X1, Y1, X2, Y2, sender, progress);
    if (K == "COMBINE") Combine();
    if (K == "MERGE") Merge();
    if (K == "BRIGHTNESSCONTRAST") {
      int32_t r = 128, g = 128, b = 128;
      GetAverageRGB(B, r, g, b);
      if (Int(2) != 0) AdjustContrast(B, Int(2), r, g, b, X1, Y1, X2, Y2, sender, progress);
      if (Int(1) != 0) AddRGBOffsets(B, Int(1), Int(1), Int(1), X1, Y1, X2, Y2, sender, progress);
    }
    if (K == "HUESATURATION") AdjustHSV(B, Int(1), Int(2), 0, X1, Y1, X2, Y2, sender, progress);
    if (K == "GAMMA") GammaCorrect(B, Float(1), X1, Y1, X2, Y2, sender, progress);
    if (K == "MAXIMUM") Morphology(B, Int(1), mmMaximum, sender, progress, X1, Y1, X2, Y2);
    if (K == "MINIMUM") Morphology(B, Int(1), mmMinimum, sender, progress, X1, Y1, X2, Y2);
    if (K == "OPENING") Morphology(B, Int(1), mmOpening, sender, progress, X1, Y1, X2, Y2);
    if (K == "CLOSING") Morphology(B, Int(1), mmClosing, sender, progress, X1, Y1, X2, Y2);
    if (K == "SHENCASTAN")
      CopyOut([&](TBitmap& w) { ShenCastan(w, w, Int(3), progress, sender, Bool(4), 0, Float(2), Float(1)); });
    if (K == "ASPECTRATIO") AspectRatio();
  }

  // Lengths in centimetres on the real image, in pixels of this bitmap.
  int32_t ScanPixels(double Cm) const {
    double dpi = 0;
    if (form1 && form1->getimager()) dpi = form1->getimager()->IOParams().DpiX;
    return CmToPixels(Cm, Scale, dpi, Screen ? Screen->PixelsPerInch() : 96);
  }
  TScanSetup ScanSetup(int32_t Tolerance, int32_t BorderColour) const {
    TScanSetup s;
    s.X1 = X1, s.Y1 = Y1, s.X2 = X2, s.Y2 = Y2;
    s.Tolerance = Tolerance;
    s.Border = TColorToTBGRPixel(TColor(BorderColour));
    s.RunLength = std::max(ScanPixels(0.5), 1);
    return s;
  }

  // In the preview the pictures are outlined; otherwise each becomes an image window.
  void Separate() {
    const std::vector<TRect> pieces = SeparateScannedImages(B, ScanSetup(Int(1), Int(3)), ScanPixels(Float(2)));
    if (Preview) {
      OutlineScanPieces(B, pieces);
      return;
    }
    if (form1) SeparatedPiecesToWindows(*form1, B, pieces, nullptr);
  }

  void Combine() {
    const std::string& m = Text(5);
    int32_t index = 0;
    if (!TryStrToInt(Trim(m), index)) index = ColorModelIndex(Trim(m));
    const TColorModel model = TColorModel(std::clamp(index, int32_t(cmRGB), int32_t(cmYUV)));
    std::array<TBitmap, 4> holders;
    std::array<const TBitmap*, 4> sources{};
    for (int32_t i = 0; i < ColorModelChannelCount(model); ++i) {
      const std::string title = Text(i + 1);
      // An unset channel reads as 0; a title that names no window is an error.
      if (!title.empty() && title != "0") sources[size_t(i)] = &WindowPicture(title, holders[size_t(i)]);
    }
    CombineChannels(B, sources, model, X1, Y1, X2, Y2, P.Sender, P.OnProgress);
  }

  void Merge() {
    TBitmap holder, sized;
    const TBitmap* src = &WindowPicture(Text(1), holder);
    const int32_t size = Int(5);
    if (size > 0 && size != 100) {
      const int32_t w = int32_t(int64_t(src->Width()) * size / 100), h = int32_t(int64_t(src->Height()) * size / 100);
      if (w < 1 || h < 1) return;
      sized.SetPixelFormat(pf24bit);
      sized.SetSize(w, h);
      ResampleBitmapProgress(*src, sized, rfBSpline, P.Sender, P.OnProgress);
      src = &sized;
    }
    MergeBitmap(B, *src, Int(2), X1 + Scaled(Int(3)), Y1 + Scaled(Int(4)), X2, Y2, P.Sender, P.OnProgress);
  }

  void AspectRatio() {
    int32_t x1, y1, x2, y2;
    if (!AspectRatioRect(B.Width(), B.Height(), Float(1), Float(2), Bool(3), Int(4), x1, y1, x2, y2)) return;
    if (x1 == 0 && y1 == 0 && x2 == B.Width() && y2 == B.Height()) return;
    TBitmap cropped;
    if (CopyBitmapRect(B, cropped, x1, y1, x2, y2)) B.TakeOver(cropped);
  }

  TBitmap& B;
  tfilteritem& Item;
  bool UseDefaults;
  bool Preview;
  double Scale;
  TProgressRec& P;
  int32_t X1, Y1, X2, Y2;
  TBitmap* Replaced;
};

// Effects that build a new picture in place of the whole one.
bool ReplacesPicture(const tfilteritem& Item) {
  if (Item.Kind == fkUserFilter || Item.Kind == fkFilterFactory) return false;
  const std::string k = UpperCase(Item.Keyword);
  return k == "ROTATE" || StartsWith(k, "ROTATES");
}

}  // namespace

bool FilterApplying() { return GApplying; }

void ApplyFilterItem(TBitmap& Bitmap, tfilteritem& Item, bool UseDefaults, bool Preview, double Scale,
                     TProgressRec& Progress, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TBitmap* Replaced) {
  // Only the scan separation behaves differently in a preview.
  TDispatch(Bitmap, Item, UseDefaults, Preview, Scale, Progress, X1, Y1, X2, Y2, Replaced).Run();
}

void ApplyFilterToImage(timagerlayer& Image, tfilteritem* Item, bool UseDefaults, bool Preview,
                        bool SelectionFromActive, double Scale, bool UndoPoint) {
  if (GApplying || !Item) return;
  TApplyingGuard guard;

  TImagerView* selectionView = &Image;
  if (SelectionFromActive && form1 && form1->getimager()) selectionView = form1->getimager();
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  TIMMask* mask = nullptr;
  const TPoint* points = nullptr;
  const bool selected = selectionView->Proc()->GetSelectionInfo(x1, y1, x2, y2, mask, polyCount, points);

  TProgressRec progress;
  progress.Sender = &Image;
  if (form1) progress.OnProgress = [](TObject* Sender, int32_t Percent) { form1->onprogressany(Sender, Percent); };
  progress.per1 = 100.0 / (y2 - y1 + 0.5);

  TBitmap& bitmap = Image.Bitmap();
  const bool whole = !selected || polyCount == 0 || TImagerView::IsRectanglePolygon(points, polyCount);
  // A rotation of the whole picture hands the old one to the undo list
  // afterwards; every other effect works on the picture, so its snapshot comes first.
  const bool undo = UndoPoint || Image.AutoUndo();
  const bool undoAfter = undo && whole && ReplacesPicture(*Item);
  if (undo && !undoAfter) Image.SaveUndoPoint();
  if (whole) {
    TBitmap replaced;
    ApplyFilterItem(bitmap, *Item, UseDefaults, Preview, Scale, progress, x1, y1, x2, y2,
                    undoAfter ? &replaced : nullptr);
    if (undoAfter) Image.SaveUndoPointOf(replaced);
  } else {
    TBitmap work;
    if (CopyBitmapRect(bitmap, work, x1, y1, x2, y2)) {
      ApplyFilterItem(work, *Item, UseDefaults, Preview, Scale, progress, 0, 0, work.Width(), work.Height());
      if (work.PixelFormat() == pf24bit) DrawClippedToPolygons(bitmap, work, x1, polyCount, points, y1);
    }
  }
  if (form1) form1->PercentProc(0);
  Image.Update();
}

}  // namespace kv

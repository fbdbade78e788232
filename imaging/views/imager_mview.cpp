// TImagerMView: construction, properties, entries, the store and selection.
#include "imaging/views/imager_mview.h"

#include <algorithm>
#include <cstring>

#include "imaging/formats/imager_io.h"
#include "imaging/processing/resample.h"
#include "imaging/views/transition_effects.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {

// Reduces or enlarges Src into a new pf24bit Dst of W x H, as thumbnails are made.
void MakeThumbnail(const TBitmap& Src, int32_t W, int32_t H, TBitmap& Dst) {
  Dst.SetSize(0, 0);
  Dst.SetPixelFormat(pf24bit);
  Dst.SetSize(W, H);
  const int32_t sw = Src.Width(), sh = Src.Height();
  const bool tiny = sw < 2 && sh < 2;  // the resamplers leave such a source alone
  if (Src.PixelFormat() == pf1bit && !tiny) {
    ReduceRect24(Src, 0, 0, sw - 1, sh - 1, Dst);
    return;
  }
  const TBitmap* src24 = &Src;
  TBitmap converted;
  if (Src.PixelFormat() != pf24bit) {
    converted.SetPixelFormat(pf24bit);
    converted.SetSize(sw, sh);
    converted.Canvas().Draw(0, 0, Src);
    src24 = &converted;
  }
  if (tiny) {
    const uint8_t* p = static_cast<const uint8_t*>(src24->ScanLine(0));
    for (int32_t y = 0; y < H; ++y) {
      uint8_t* d = static_cast<uint8_t*>(Dst.ScanLine(y));
      for (int32_t x = 0; x < W; ++x) std::memcpy(d + size_t(x) * 3, p, 3);
    }
    return;
  }
  ResampleBitmapProgress(*src24, Dst, rfFastLinear, nullptr, TIMProgressEvent());
}

}  // namespace

void FitThumbSize(int32_t w, int32_t h, int32_t maxW, int32_t maxH, int32_t& OutW, int32_t& OutH) {
  if (w == 0 || h == 0) return;
  const double factor = std::min(double(maxH) / h, double(maxW) / w);
  OutW = std::max(Trunc32(w * factor), 1);
  OutH = std::max(Trunc32(h * factor), 1);
}

TIMMText::TIMMText(TImagerMView* AOwner, int32_t APosition) : Owner(AOwner), Position(APosition) {
  if (AOwner) Font.Assign(AOwner->Font());
  Background = AOwner ? AOwner->Background() : clBtnFace;
}

TIMMImageEntry::TIMMImageEntry(TImagerMView* Owner, TColor ABackground)
    : Background(ABackground), TopText(Owner, 0), InfoText(Owner, 1), BottomText(Owner, 2) {}

// ---- construction ----

TImagerMView::TImagerMView(TComponent* AOwner) : TIMView(AOwner) {
  FIO = new TImagerIO(this);
  FStore = std::make_unique<TIMVirtualDIBList>();
  FStore->SetMaxMapped(FImageCacheSize);
  FTransitions = std::make_unique<TIMTransitionEffects>(this);
  FWallPaper = std::make_unique<TPicture>();
  FPlayTimer = new TTimer(this);
  FPlayTimer->SetEnabled(false);
  FPlayTimer->SetOnTimer([this](TObject*) { PlayFrame(); });
  SetBounds(Left(), Top(), 180, 90);
  SetTabStop(true);
}

TImagerMView::~TImagerMView() {
  FPlayTimer->SetEnabled(false);
  FPlaying = false;
  FDestroying = true;
  DeselectNoUpdate();
  while (!FEntries.empty()) {
    if (FEntries.back()->Image) FStore->Delete(FEntries.back()->Image);
    FEntries.pop_back();
  }
  FTransitions.reset();
  FWallPaper.reset();
  FStore.reset();
}

// ---- TIMView ----

void TImagerMView::SetBackground(TColor Value) {
  TIMView::SetBackground(Value);
  Update();
}

int32_t TImagerMView::UnlockPaint() {
  if (FPaintLock > 0) --FPaintLock;
  if (FPaintLock == 0) Update();
  return FPaintLock;
}

int32_t TImagerMView::UnlockPaintNoUpdate() {
  if (FPaintLock > 0) --FPaintLock;
  return FPaintLock;
}

// ---- properties ----

// These setters store and lay out again, even for an unchanged value.
void TImagerMView::SetThumbWidth(int32_t Value) {
  FThumbWidth = Value;
  Update();
}

void TImagerMView::SetThumbHeight(int32_t Value) {
  FThumbHeight = Value;
  Update();
}

void TImagerMView::SetHorizBorder(int32_t Value) {
  FHorizBorder = Value;
  Update();
}

void TImagerMView::SetVertBorder(int32_t Value) {
  FVertBorder = Value;
  Update();
}

void TImagerMView::SetBottomGap(int32_t Value) {
  FBottomGap = Value;
  Update();
}

void TImagerMView::SetUpperGap(int32_t Value) {
  FUpperGap = Value;
  Update();
}

void TImagerMView::SetVisibleSelection(bool Value) {
  FVisibleSelection = Value;
  Update();
}

void TImagerMView::SetSelectionWidth(int32_t Value) {
  FSelectionWidth = Value;
  Update();
}

void TImagerMView::SetSelectionColor(TColor Value) {
  FSelectionColor = Value;
  Update();
}

void TImagerMView::SetGridWidth(int32_t Value) {
  FGridWidth = Value;
  Update();
}

void TImagerMView::SetDrawImageBackground(bool Value) {
  FDrawImageBackground = Value;
  Update();
}

void TImagerMView::SetThumbnailsBackground(TColor Value) {
  FThumbnailsBackground = Value;
  Update();
}

void TImagerMView::SetEnableMultiSelect(bool Value) {
  FEnableMultiSelect = Value;
  Update();
}

void TImagerMView::SetThumbnailsBorderColor(TColor Value) {
  FThumbnailsBorderColor = Value;
  Update();
}

void TImagerMView::SetStyle(TIMMStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Update();
}

void TImagerMView::SetSelectionStyle(TIMSStyle Value) {
  if (Value == FSelectionStyle) return;
  FSelectionStyle = Value;
  Update();
}

void TImagerMView::SetThumbnailsBorderWidth(int32_t Value) {
  if (Value == FThumbnailsBorderWidth) return;
  FThumbnailsBorderWidth = Value;
  Update();
}

void TImagerMView::SetWallPaperStyle(TIMWallPaperStyle Value) {
  if (Value == FWallPaperStyle) return;
  FWallPaperStyle = Value;
  Update();
}

void TImagerMView::SetWallPaper(TPicture* Value) {
  FWallPaper->Assign(Value);
  Update();
}

void TImagerMView::SetImageCacheSize(int32_t Value) {
  FImageCacheSize = Value;
  FStore->SetMaxMapped(Value);
  Update();
}

void TImagerMView::SetDisplayMode(TIMMDisplayMode Value) {
  if (FPlaying) {
    FSavedDisplayMode = Value;
    return;
  }
  FDisplayMode = Value;
  Update();
}

// ---- entries ----

void TImagerMView::InsertEntry(int32_t idx) {
  auto e = std::make_unique<TIMMImageEntry>(this, Background());
  if (idx < 0) idx = 0;
  if (idx >= GetImageCount()) FEntries.push_back(std::move(e));
  else FEntries.insert(FEntries.begin() + idx, std::move(e));
  // The selection restored when playing stops keeps its image.
  if (FPlaying && FSavedSelection >= idx) ++FSavedSelection;
}

void TImagerMView::InsertImage(int32_t idx) {
  // The current image's index moves with the insert: give it back first.
  DeselectNoUpdate();
  InsertEntry(idx);
  const int32_t at = std::clamp(idx, 0, GetImageCount() - 1);
  SelectNoUpdate(at);
  FLastChangeKind = 1;
  // The inserted index even while playing, when the selection is refused:
  // attached components insert their record there.
  FLastChangeIndex = at;
  NotifyBitmapChange();
  Update();
}

void TImagerMView::InsertImageNoSelect(int32_t idx) {
  const int32_t sel = FSelectedImage;
  InsertEntry(idx);
  // The selected image keeps its identity: its index moves with the insert.
  if (sel >= 0 && idx <= sel) ++FSelectedImage;
  for (int32_t& m : FMultiSelectedImages)
    if (idx <= m) ++m;
  FLastChangeKind = 1;
  FLastChangeIndex = idx;
  NotifyBitmapChange();
}

bool TImagerMView::DeleteImageNoUpdate(int32_t idx) {
  if (idx < 0 || idx >= GetImageCount()) return false;
  SetPlaying(false);
  const int32_t sel = FSelectedImage;
  DeselectNoUpdate();
  std::unique_ptr<TIMMImageEntry>& e = FEntries[size_t(idx)];
  if (e->Image) FStore->Delete(e->Image);
  FEntries.erase(FEntries.begin() + idx);
  std::erase(FMultiSelectedImages, idx);
  for (int32_t& m : FMultiSelectedImages)
    if (m > idx) --m;
  int32_t next = sel;
  if (sel == idx && idx >= GetImageCount()) next = GetImageCount() - 1;
  else if (sel > idx) next = sel - 1;
  if (next >= 0) {
    // Back as it was: no toggling of a multi-selection.
    const bool ms = FMultiSelecting, ks = FKeepSelected;
    FMultiSelecting = false;
    FKeepSelected = true;
    const std::vector<int32_t> keep = FMultiSelectedImages;
    SelectNoUpdate(next);
    if (FEnableMultiSelect) {
      FMultiSelectedImages = keep;
      if (std::find(keep.begin(), keep.end(), next) == keep.end()) FMultiSelectedImages.push_back(next);
    }
    FMultiSelecting = ms;
    FKeepSelected = ks;
  }
  FLastChangeKind = 2;
  FLastChangeIndex = idx;
  NotifyBitmapChange();
  return true;
}

bool TImagerMView::DeleteImage(int32_t idx) {
  const bool r = DeleteImageNoUpdate(idx);
  if (r) Update();
  return r;
}

void TImagerMView::Clear() {
  SetPlaying(false);
  Deselect();
  while (!FEntries.empty()) DeleteImageNoUpdate(0);
  FStore = std::make_unique<TIMVirtualDIBList>();
  FStore->SetMaxMapped(FImageCacheSize);
  FViewX = FViewY = 0;
  Update();
}

void TImagerMView::StoreImage(TIMMImageEntry& E, const TBitmap& Bitmap) {
  if (FStoreType == imtThumb && Bitmap.Width() > 0 && Bitmap.Height() > 0) {
    int32_t w = 0, h = 0;
    FitThumbSize(Bitmap.Width(), Bitmap.Height(), FThumbWidth, FThumbHeight, w, h);
    TBitmap thumb;
    MakeThumbnail(Bitmap, w, h, thumb);
    E.Image = FStore->AddBitmap(thumb);
  } else {
    E.Image = FStore->AddBitmap(Bitmap);
  }
}

void TImagerMView::DropEntryImage(TIMMImageEntry& E) {
  if (E.Image) {
    FStore->Delete(E.Image);
    E.Image = nullptr;
  }
  E.Prepared.reset();
  E.PreparedArea = -1;
}

bool TImagerMView::SetImageRowsNoUpdate(int32_t idx, int32_t Width, int32_t Height, int32_t Bits,
                                        const uint8_t* Rows) {
  if (!ValidIndex(idx) || FStoreType == imtThumb) return false;
  TIMMImageEntry& e = *FEntries[size_t(idx)];
  const bool current = idx == FSelectedImage;
  if (current) ReleaseCurrent();
  DropEntryImage(e);
  e.Image = FStore->AddRows(Width, Height, Bits, Rows);
  if (current) CheckOutCurrent();
  return true;
}

void TImagerMView::SetImageNoUpdate(int32_t idx, const TBitmap* Bitmap) {
  if (!ValidIndex(idx)) return;
  TIMMImageEntry& e = *FEntries[size_t(idx)];
  const bool current = idx == FSelectedImage;
  if (current) ReleaseCurrent();
  DropEntryImage(e);
  if (Bitmap) StoreImage(e, *Bitmap);
  if (current) CheckOutCurrent();
}

void TImagerMView::SetImage(int32_t idx, const TBitmap* Bitmap) {
  SetImageNoUpdate(idx, Bitmap);
  Update();
}

void TImagerMView::SetImageBackground(int32_t idx, TColor Color) {
  if (!ValidIndex(idx)) return;
  FEntries[size_t(idx)]->Background = Color;
  Update();
}

void TImagerMView::SetImageDelay(int32_t idx, int32_t ms) {
  if (ValidIndex(idx)) FEntries[size_t(idx)]->DelayTime = ms;
}

void TImagerMView::SetImageFileName(int32_t idx, const std::string& FileName) {
  if (!ValidIndex(idx)) return;
  FEntries[size_t(idx)]->FileName = FileName;
  FEntries[size_t(idx)]->LoadState = 0;
}

void TImagerMView::SetImageID(int32_t idx, int32_t ID) {
  if (!ValidIndex(idx)) return;
  FEntries[size_t(idx)]->ImageID = ID;
  FEntries[size_t(idx)]->LoadState = 0;
}

int32_t TImagerMView::ImageRow(int32_t idx) const { return ValidIndex(idx) ? FEntries[size_t(idx)]->Row : 0; }
int32_t TImagerMView::ImageCol(int32_t idx) const { return ValidIndex(idx) ? FEntries[size_t(idx)]->Col : 0; }
TColor TImagerMView::ImageBackground(int32_t idx) const {
  return ValidIndex(idx) ? FEntries[size_t(idx)]->Background : 0;
}
int32_t TImagerMView::ImageDelay(int32_t idx) const {
  return ValidIndex(idx) ? FEntries[size_t(idx)]->DelayTime : 0;
}
TIMMText* TImagerMView::ImageTopText(int32_t idx) {
  return ValidIndex(idx) ? &FEntries[size_t(idx)]->TopText : nullptr;
}
TIMMText* TImagerMView::ImageInfoText(int32_t idx) {
  return ValidIndex(idx) ? &FEntries[size_t(idx)]->InfoText : nullptr;
}
TIMMText* TImagerMView::ImageBottomText(int32_t idx) {
  return ValidIndex(idx) ? &FEntries[size_t(idx)]->BottomText : nullptr;
}
const TIMMImageEntry* TImagerMView::Entry(int32_t idx) const {
  return ValidIndex(idx) ? FEntries[size_t(idx)].get() : nullptr;
}
bool TImagerMView::HasImage(int32_t idx) const { return ValidIndex(idx) && FEntries[size_t(idx)]->Image; }

void TImagerMView::PrepareImageSpace(int32_t count, int32_t width, int32_t height, int32_t bitcount) {
  FStore->PrepareSpace(width, height, count, bitcount);
}

TBitmap* TImagerMView::GetImageBitmap(int32_t idx) {
  if (!ValidIndex(idx)) return nullptr;
  if (!FEntries[size_t(idx)]->Image) LoadEntryImage(idx);
  if (!ValidIndex(idx) || !FEntries[size_t(idx)]->Image) return nullptr;
  return FStore->GetBitmap(FEntries[size_t(idx)]->Image);
}

int32_t TImagerMView::TakeLastChange() {
  const int32_t k = FLastChangeKind;
  FLastChangeKind = 0;
  return k;
}

bool TImagerMView::LoadEntryImage(int32_t idx) {
  if (!ValidIndex(idx)) return true;
  TIMMImageEntry& e = *FEntries[size_t(idx)];
  if (e.ImageID >= 0 && OnImageIDRequest) {
    TBitmap* bmp = nullptr;
    OnImageIDRequest(this, e.ImageID, bmp);
    // The handler may have changed the entries.
    if (!ValidIndex(idx)) return true;
    if (bmp) SetImageNoUpdate(idx, bmp);
    else FEntries[size_t(idx)]->LoadState = 2;  // not asked again at every scroll
    return true;
  }
  if (e.FileName.empty()) return true;
  TBitmap tmp(1, 1, pf24bit);
  FIO->AttachBitmap(&tmp);
  FIO->SetBackground(e.Background);
  FIO->OnProgress = OnIOProgress;
  bool ok = true;
  if (FStoreType == imtThumb) {
    // At most the cell's size: JPEG then decodes at 1/2, 1/4 or 1/8 when that still covers it.
    FIO->Params().JpegScale = 0;
    FIO->Params().Width = FThumbWidth;
    FIO->Params().Height = FThumbHeight;
  } else {
    FIO->Params().JpegScale = 1;
  }
  try {
    FIO->LoadFromFileByExtension(e.FileName);
    ok = !FIO->Aborted();
  } catch (...) {
    ok = false;  // a file that cannot be opened counts as a failed load
  }
  FIO->Params().JpegScale = 1;
  FIO->OnProgress = nullptr;
  FIO->AttachBitmap(nullptr);
  if (ValidIndex(idx)) {
    TIMMImageEntry& loaded = *FEntries[size_t(idx)];
    loaded.LoadState = ok ? 0 : 1;  // a failed file is not read again at every scroll
    if (ok) {
      loaded.Background = FIO->Background();
      SetImageNoUpdate(idx, &tmp);
    }
  }
  return ok;
}

// ---- selection ----

void TImagerMView::ReleaseCurrent() {
  if (!FCurrentBitmap) return;
  FStore->ReleaseBitmap(FCurrentBitmap, true);  // changes made by attached components are kept
  FCurrentBitmap = nullptr;
}

void TImagerMView::CheckOutCurrent() {
  FCurrentBitmap = nullptr;
  if (!ValidIndex(FSelectedImage)) return;
  FCurrentBitmap = GetImageBitmap(FSelectedImage);
}

void TImagerMView::SelectNoUpdate(int32_t idx) {
  if (FPlaying || !ValidIndex(idx)) return;
  ReleaseCurrent();
  if (FEnableMultiSelect) {
    auto it = std::find(FMultiSelectedImages.begin(), FMultiSelectedImages.end(), idx);
    if (FMultiSelecting && it != FMultiSelectedImages.end()) {
      FMultiSelectedImages.erase(it);
      if (!FKeepSelected) {
        FSelectedImage = -1;  // the click toggled it off
        return;
      }
    } else if (!FMultiSelecting) {
      FMultiSelectedImages.clear();
    }
    FMultiSelectedImages.push_back(idx);
  }
  FSelectedImage = idx;
  CheckOutCurrent();
}

void TImagerMView::SetSelectedImage(int32_t idx) {
  if (FPlaying || !ValidIndex(idx)) return;
  SelectNoUpdate(idx);
  Update();
  if (OnImageSelect) OnImageSelect(this, FSelectedImage);
}

void TImagerMView::DeselectNoUpdate() {
  ReleaseCurrent();
  FSelectedImage = -1;
  if (FEnableMultiSelect) FMultiSelectedImages.clear();
}

void TImagerMView::Deselect() {
  DeselectNoUpdate();
  Update();
}

// ---- published properties ----

const TPropertyTable& TImagerMView::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TImagerMView>(TIMView::PropertyTable(), [](auto& p) {
    p.Enum("ScrollBars", &TImagerMView::ScrollBars, &TImagerMView::SetScrollBars,
           {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"});
    p.Enum("StoreType", &TImagerMView::StoreType, &TImagerMView::SetStoreType, {"imtNormal", "imtThumb"});
    p.Integer("ThumbWidth", &TImagerMView::ThumbWidth, &TImagerMView::SetThumbWidth);
    p.Integer("ThumbHeight", &TImagerMView::ThumbHeight, &TImagerMView::SetThumbHeight);
    p.Integer("HorizBorder", &TImagerMView::HorizBorder, &TImagerMView::SetHorizBorder);
    p.Integer("VertBorder", &TImagerMView::VertBorder, &TImagerMView::SetVertBorder);
    p.Integer("BottomGap", &TImagerMView::BottomGap, &TImagerMView::SetBottomGap);
    p.Integer("UpperGap", &TImagerMView::UpperGap, &TImagerMView::SetUpperGap);
    p.Bool("VisibleSelection", &TImagerMView::VisibleSelection, &TImagerMView::SetVisibleSelection);
    p.Integer("SelectionWidth", &TImagerMView::SelectionWidth, &TImagerMView::SetSelectionWidth);
    p.Integer("SelectionColor", &TImagerMView::SelectionColor, &TImagerMView::SetSelectionColor);
    p.Set("MouseInteract", &TImagerMView::MouseInteract, &TImagerMView::SetMouseInteract,
          {"mmiScroll", "mmiSelect"});
    p.Set("KeyInteract", &TImagerMView::KeyInteract, &TImagerMView::SetKeyInteract, {"mkiMoveSelected"});
    p.Enum("DisplayMode", &TImagerMView::DisplayMode, &TImagerMView::SetDisplayMode, {"mdGrid", "mdSingle"});
    p.Integer("GridWidth", &TImagerMView::GridWidth, &TImagerMView::SetGridWidth);
    p.Bool("RemoveCorrupted", &TImagerMView::RemoveCorrupted, &TImagerMView::SetRemoveCorrupted);
    p.Bool("DrawImageBackground", &TImagerMView::DrawImageBackground, &TImagerMView::SetDrawImageBackground);
    p.Integer("ImageCacheSize", &TImagerMView::ImageCacheSize, &TImagerMView::SetImageCacheSize);
    p.Enum("TransitionEffect", &TImagerMView::TransitionEffect, &TImagerMView::SetTransitionEffect,
           {"imttNone", "imttCrossDissolve", "imttFadeOut", "imttFadeIn", "imttFadeOutIn", "imttLeftRight1",
            "imttLeftRight2", "imttRightLeft1", "imttRightLeft2", "imttUpDown1", "imttUpDown2", "imttDownUp1",
            "imttDownUp2", "imttFromUpLeft", "imttFromUpRight", "imttFromBottomLeft", "imttFromBottomRight",
            "imttMoveLeftRight1", "imttMoveLeftRight2", "imttMoveRightLeft1", "imttMoveRightLeft2",
            "imttMoveUpDown1", "imttMoveUpDown2", "imttMoveDownUp1", "imttMoveDownUp2", "imttRandomPoints",
            "imttRandomBoxes", "imttCenter1", "imttCenter2", "imttCenterZoom1", "imttCenterZoom2"});
    p.Integer("TransitionDuration", &TImagerMView::TransitionDuration, &TImagerMView::SetTransitionDuration);
    p.Enum("Style", &TImagerMView::Style, &TImagerMView::SetStyle, {"immsFlat", "immsACD"});
    p.Enum("SelectionStyle", &TImagerMView::SelectionStyle, &TImagerMView::SetSelectionStyle,
           {"imssAround", "imssACD"});
    p.Integer("ThumbnailsBackground", &TImagerMView::ThumbnailsBackground, &TImagerMView::SetThumbnailsBackground);
    p.Bool("EnableMultiSelect", &TImagerMView::EnableMultiSelect, &TImagerMView::SetEnableMultiSelect);
    p.Set("MultiSelectionOptions", &TImagerMView::MultiSelectionOptions, &TImagerMView::SetMultiSelectionOptions,
          {"immoRegion"});
    p.Integer("ThumbnailsBorderWidth", &TImagerMView::ThumbnailsBorderWidth,
              &TImagerMView::SetThumbnailsBorderWidth);
    p.Integer("ThumbnailsBorderColor", &TImagerMView::ThumbnailsBorderColor,
              &TImagerMView::SetThumbnailsBorderColor);
    p.Object("WallPaper", &TImagerMView::WallPaper, &TImagerMView::SetWallPaper);
    p.Enum("WallPaperStyle", &TImagerMView::WallPaperStyle, &TImagerMView::SetWallPaperStyle,
           {"imwoNormal", "imwoStretch", "imwoTile"});
    p.Method("OnViewChange").Method("OnImageSelect").Method("OnImageDraw").Method("OnDrawProgress");
    p.Method("OnImageIDRequest").Method("OnIOProgress");
    p.Method("OnClick").Method("OnDblClick").Method("OnMouseDown").Method("OnMouseMove").Method("OnMouseUp");
    p.Method("OnKeyDown").Method("OnKeyPress").Method("OnKeyUp");
    p.Method("OnDragDrop").Method("OnDragOver").Method("OnEndDrag").Method("OnStartDrag");
  });
  return table;
}

}  // namespace kv

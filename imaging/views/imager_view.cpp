// TImagerView: construction, properties, layout, zoom and scrolling.
#include "imaging/views/imager_view.h"

#include <algorithm>
#include <cmath>

#include "imaging/formats/imager_io.h"
#include "imaging/processing/imager_proc.h"
#include "imaging/views/transition_effects.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/forms.h"
#include "platform/ui/scrolling.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {
constexpr int32_t kSelectionInterval = 210;
constexpr int32_t kAutoScrollInterval = 30;
// Showing or hiding a scroll bar changes the client area, which may change
// the need for the other bar: a few passes settle it; more would be a loop.
constexpr int32_t kMaxLayoutPasses = 4;
}  // namespace

TImagerView::TImagerView(TComponent* AOwner)
    : TIMView(AOwner), FBitmap(std::make_unique<TBitmap>(0, 0, pf24bit)) {
  FTransitions = std::make_unique<TIMTransitionEffects>(this);
  LoadViewCursors();
  SetCursor(crIMCross3);
  SetTabStop(false);
  SetBounds(Left(), Top(), 105, 105);
  FBitmap->SetSize(Width(), Height());  // a new view shows a picture of its own size
  SetDpi(Screen ? Screen->PixelsPerInch() : 96, Screen ? Screen->PixelsPerInch() : 96);
  FSelTimer = new TTimer(this);
  FSelTimer->SetEnabled(false);
  FSelTimer->SetInterval(kSelectionInterval);
  FSelTimer->SetOnTimer([this](TObject*) { SelectionTimerStep(true); });
  FScrollTimer = new TTimer(this);
  FScrollTimer->SetEnabled(false);
  FScrollTimer->SetInterval(kAutoScrollInterval);
  FScrollTimer->SetOnTimer([this](TObject*) { AutoScrollStep(); });
  FOutline = AddOutline();
  FSelMask.AllocateBits(FBitmap->Width(), FBitmap->Height(), 1);
}

TImagerView::~TImagerView() {
  FTransitions.reset();
  delete FIO;
  FIO = nullptr;
  delete FProc;
  FProc = nullptr;
  FSelTimer->SetEnabled(false);
  FScrollTimer->SetEnabled(false);
}

TIMSelectionOutline* TImagerView::AddOutline() {
  FOutlines.push_back(std::make_unique<TIMSelectionOutline>());
  TIMSelectionOutline* o = FOutlines.back().get();
  o->DashColor1 = SelColor1;
  o->DashColor2 = SelColor2;
  o->Animated = FSelectionOptions.Contains(imsoAnimated);
  o->Sizeable = FSelectionOptions.Contains(imsoSizeable);
  if (FOutlines.size() == 1 && !ComponentState().Contains(csDesigning)) FSelTimer->SetEnabled(true);
  return o;
}

// ---- companions ----

TImagerIO* TImagerView::IO() {
  if (!FIO) {
    FIO = new TImagerIO(nullptr);
    FIO->SetAttachedImager(this);
    FIO->OnProgress = FOnProgress;
  }
  return FIO;
}

TImagerProc* TImagerView::Proc() {
  if (!FProc) {
    FProc = new TImagerProc(nullptr);
    FProc->SetAttachedImager(this);
    FProc->OnProgress = FOnProgress;
  }
  return FProc;
}

void TImagerView::SetOnProgress(TIMProgressEvent Value) {
  FOnProgress = std::move(Value);
  if (FProc) FProc->OnProgress = FOnProgress;
  if (FIO) FIO->OnProgress = FOnProgress;
}

// ---- TIMView overrides ----

void TImagerView::SetBackground(TColor Value) {
  TIMView::SetBackground(Value);
  if (ComponentState().Contains(csDesigning)) {
    FBitmap->Canvas().Brush().SetColor(Value);
    FBitmap->Canvas().FillRect(Rect(0, 0, FBitmap->Width(), FBitmap->Height()));
  }
  Update();
  ImageChange();
}

TIMMask* TImagerView::GetAlphaChannel() {
  if (!FAlpha) {
    FAlpha = std::make_unique<TIMMask>();
    FAlpha->AllocateBits(FBitmap->Width(), FBitmap->Height(), 8);
    FAlpha->Fill(255);
    FAlpha->Full = true;
  }
  return FAlpha.get();
}

void TImagerView::SetAlphaChannel(std::unique_ptr<TIMMask> Mask) {
  FAlpha = std::move(Mask);
  MarkDirty();
}

void TImagerView::RemoveAlphaChannel() {
  if (!FAlpha) return;
  FAlpha.reset();
  MarkDirty();
}

int32_t TImagerView::UnlockPaint() {
  if (FPaintLock > 0) --FPaintLock;
  if (FPaintLock == 0) Update();
  return FPaintLock;
}

int32_t TImagerView::UnlockPaintNoUpdate() {
  if (FPaintLock > 0) --FPaintLock;
  return FPaintLock;
}

void TImagerView::ImageChange() {
  // The pixels changed in place: the cached rendering is stale.
  MarkDirty();
  if (OnImageChange) OnImageChange(this);
}

void TImagerView::ShowTransitionFrame(const TBitmap* Frame) {
  TIMView::ShowTransitionFrame(Frame);
  if (!Frame) Invalidate();
}

void TImagerView::ViewChange(int32_t Change) {
  if (OnViewChange) OnViewChange(this, Change);
}

void TImagerView::MarkDirty() {
  FDirty = true;
  FScrollOnly = false;
  FFullRepaint = true;
}

// ---- simple properties ----

void TImagerView::SetScrollBars(TScrollStyle Value) {
  FScrollBars = Value;
  if (HandleAllocated()) {
    if (Value != ssVertical && Value != ssBoth) ShowScrollBar(this, SB_VERT, false);
    if (Value != ssHorizontal && Value != ssBoth) ShowScrollBar(this, SB_HORZ, false);
  }
  if (Value != ssVertical && Value != ssBoth) FVertBarInUse = false;
  if (Value != ssHorizontal && Value != ssBoth) FHorzBarInUse = false;
  Update();
}

void TImagerView::SetScrollBarsAlwaysVisible(bool Value) {
  if (Value == FScrollBarsAlwaysVisible) return;
  FScrollBarsAlwaysVisible = Value;
  Update();
}

void TImagerView::SetCenter(bool Value) {
  if (Value == FCenter) return;
  FCenter = Value;
  Update();
}

void TImagerView::SetZoomFilter(TResampleFilter Value) {
  FRememberedFilter = Value;
  if (Value == FZoomFilter) return;
  FZoomFilter = Value;
  Update();
}

void TImagerView::SetBackgroundStyle(TIMBackgroundStyle Value) {
  FBackgroundStyle = Value;
  Invalidate();
  Update();
}

void TImagerView::SetEnableAlphaChannel(bool Value) {
  FEnableAlphaChannel = Value;
  Update();
}

void TImagerView::SetDisplayGrid(bool Value) {
  if (Value == FDisplayGrid) return;
  FDisplayGrid = Value;
  Update();
}

void TImagerView::SetAutoFit(bool Value) {
  if (Value == FAutoFit) return;
  FAutoFit = Value;
  Update();
}

void TImagerView::SetCursor(TCursor Value) {
  FDefaultCursor = Value;
  TIMView::SetCursor(Value);
}

void TImagerView::FillBackground() {
  TCanvas& c = FBitmap->Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Background());
  c.FillRect(Rect(0, 0, FBitmap->Width(), FBitmap->Height()));
  MarkDirty();
  Update();
}

void TImagerView::Blank() {
  FBitmap->SetSize(1, 1);
  FillBackground();
}

void TImagerView::Assign(const TPersistent* Source) {
  if (!Source) {
    FillBackground();
    return;
  }
  if (auto* v = dynamic_cast<const TImagerView*>(Source)) {
    FBitmap->Assign(v->FBitmap.get());
    FAlpha.reset();
    if (v->FAlpha) {
      GetAlphaChannel()->Assign(v->FAlpha.get());
    }
    TIMView::SetBackground(v->Background());
    SetDpi(v->DpiX(), v->DpiY());
  } else if (auto* b = dynamic_cast<const TBitmap*>(Source)) {
    if (b->PixelFormat() == pf24bit || b->PixelFormat() == pf1bit) {
      FBitmap->Assign(b);
    } else {
      FBitmap->SetSize(1, 1);
      FBitmap->SetPixelFormat(pf24bit);
      FBitmap->SetSize(b->Width(), b->Height());
      FBitmap->Canvas().Draw(0, 0, *b);
    }
  } else {
    return;
  }
  MarkDirty();
  Update();
  ImageChange();
}

void TImagerView::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  TIMView::SetBounds(ALeft, ATop, AWidth, AHeight);
  const TComponentState s = ComponentState();
  if (s.Contains(csLoading) || s.Contains(csReading) || s.Contains(csDesigning)) {
    FBitmap->SetSize(std::max(Width(), 0), std::max(Height(), 0));
    TCanvas& c = FBitmap->Canvas();
    c.Brush().SetColor(Background());
    c.FillRect(Rect(0, 0, FBitmap->Width(), FBitmap->Height()));
  }
}

void TImagerView::UpdateRect(const TRect& R) {
  FDirty = true;
  FScrollOnly = false;
  InvalidateRect(R);
}

// ---- geometry ----

bool TImagerView::HasParentWindow() const {
  return GetParentForm(this) != nullptr || (Parent() && Parent()->HandleAllocated());
}

int32_t TImagerView::GetExtentWidth() const { return HasParentWindow() ? ClientWidth() : 50; }
int32_t TImagerView::GetExtentHeight() const { return HasParentWindow() ? ClientHeight() : 50; }

int32_t TImagerView::GetIdealWidth() const {
  int32_t w = Trunc32(FBitmap->Width() / 100.0 * FZoom) + 1;
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) w += Width() - ClientWidth();
  return w;
}

int32_t TImagerView::GetIdealHeight() const {
  int32_t h = Trunc32(FBitmap->Height() / 100.0 * FZoom) + 1;
  if (FScrollBars == ssVertical || FScrollBars == ssBoth) h += Height() - ClientHeight();
  return h;
}

namespace {
// Scroll limits for a zoom factor: the zoomed size (with half a pixel of
// margin) less the client extent, none when the control holds the picture.
void MaxViewFor(const TBitmap& B, double Factor, int32_t ClientW, int32_t ClientH, int32_t OuterW, int32_t OuterH,
                double Margin, int32_t& MaxX, int32_t& MaxY) {
  const int64_t w = Trunc((B.Width() + Margin) * Factor);
  const int64_t h = Trunc((B.Height() + Margin) * Factor);
  MaxX = MaxY = 0;
  if (w < 1 || h < 1) return;
  if (OuterW >= w && OuterH >= h) return;
  MaxX = static_cast<int32_t>(std::clamp<int64_t>(w - ClientW, 0, MaxInt));
  MaxY = static_cast<int32_t>(std::clamp<int64_t>(h - ClientH, 0, MaxInt));
}
}  // namespace

void TImagerView::GetMaxViewXY(int32_t& MaxX, int32_t& MaxY) const {
  MaxViewFor(*FBitmap, FZoomFactor, ClientWidth(), ClientHeight(), Width(), Height(), FSizeMargin, MaxX, MaxY);
}

int32_t TImagerView::XScr2Bmp(int32_t X) const {
  return Trunc32((X - FOffsetX) * FInvZoomFactor + VisiblePart().SrcLeft);
}
int32_t TImagerView::YScr2Bmp(int32_t Y) const {
  return Trunc32((Y - FOffsetY) * FInvZoomFactor + VisiblePart().SrcTop);
}
int32_t TImagerView::XBmp2Scr(int32_t X) const {
  return Round32((double(Round(-FViewX * FInvZoomFactor)) + X) * FZoomFactor + FOffsetX);
}
int32_t TImagerView::YBmp2Scr(int32_t Y) const {
  return Round32((double(Round(-FViewY * FInvZoomFactor)) + Y) * FZoomFactor + FOffsetY);
}

TViewPart TImagerView::VisiblePart() const {
  TViewPart p;
  const int32_t bw = FBitmap->Width(), bh = FBitmap->Height();
  if (FZoomedWidth > 0 && bw > 0) {
    const double k = double(bw) / FZoomedWidth;
    p.SrcLeft = std::clamp(Round32(FViewX * k), 0, bw - 1);
    p.SrcWidth = Round32(FVisibleWidth * k);
    if (int64_t(p.SrcLeft) + p.SrcWidth > bw) --p.SrcWidth;
    p.SrcWidth = std::clamp(p.SrcWidth, 0, bw - p.SrcLeft);
  }
  if (FZoomedHeight > 0 && bh > 0) {
    const double k = double(bh) / FZoomedHeight;
    p.SrcTop = std::clamp(Round32(FViewY * k), 0, bh - 1);
    p.SrcHeight = Round32(FVisibleHeight * k);
    if (int64_t(p.SrcTop) + p.SrcHeight > bh) --p.SrcHeight;
    p.SrcHeight = std::clamp(p.SrcHeight, 0, bh - p.SrcTop);
  }
  if (FZoom <= 100) {
    p.DestWidth = FVisibleWidth;
    p.DestHeight = FVisibleHeight;
  } else {
    // The partly visible last pixel is drawn too.
    p.DestWidth = Trunc32(p.SrcWidth * FZoomFactor);
    if (p.DestWidth < FVisibleWidth && p.SrcLeft + p.SrcWidth < bw) {
      ++p.SrcWidth;
      p.DestWidth = Trunc32(p.SrcWidth * FZoomFactor);
    }
    p.DestHeight = Trunc32(p.SrcHeight * FZoomFactor);
    if (p.DestHeight < FVisibleHeight && p.SrcTop + p.SrcHeight < bh) {
      ++p.SrcHeight;
      p.DestHeight = Trunc32(p.SrcHeight * FZoomFactor);
    }
  }
  return p;
}

// ---- layout ----

void TImagerView::Update() {
  const TComponentState s = ComponentState();
  if (s.Contains(csDesigning) && !HasParentWindow()) return;
  for (auto item : {csLoading, csReading, csWriting, csDestroying, csAncestor, csUpdating, csFixups, csInline,
                    csDesignInstance})
    if (s.Contains(item)) return;
  // WM_SIZE from a scroll bar shown or hidden inside the layout comes back
  // here: the pass loop below takes care of it.
  if (FUpdateDepth > 0) return;
  ++FUpdateDepth;
  try {
    for (int32_t pass = 0; pass < kMaxLayoutPasses; ++pass) {
      bool changed = false;
      LayoutOnce(changed);
      if (!changed) break;
    }
  } catch (...) {
    --FUpdateDepth;
    throw;
  }
  --FUpdateDepth;
  MarkDirty();
  if (HasParentWindow() && FPaintOnUpdate) Invalidate();
}

void TImagerView::ApplyZoomFactors() {
  FZoomFactor = FZoom / 100.0;
  FInvZoomFactor = 100.0 / FZoom;
}

void TImagerView::LayoutOnce(bool& ClientChanged) {
  ClientChanged = false;
  const bool designing = ComponentState().Contains(csDesigning);
  const int32_t bw = FBitmap->Width(), bh = FBitmap->Height();
  if (FAutoFit && bw > 0 && bh > 0) {
    const int32_t mx = FBackgroundStyle == imbsCropped ? kEdgeX : FBackgroundStyle == imbsCropShadow ? 5 : 0;
    const int32_t my = FBackgroundStyle == imbsCropped ? kEdgeY : FBackgroundStyle == imbsCropShadow ? 5 : 0;
    double z = std::min((ClientHeight() - 2.0 * my) / (bh / 100.0), (ClientWidth() - 2.0 * mx) / (bw / 100.0));
    if (z < 1) z = 1;
    FZoom = z;
    ApplyZoomFactors();
    ViewChange(1);
  }
  if (bw != FLastBmpW || bh != FLastBmpH) {
    FLastBmpW = bw;
    FLastBmpH = bh;
    if (FSelectionExists) DeSelect();
    FSelMask.AllocateBits(bw, bh, 1);
    if (FAlpha && (FAlpha->Width != bw || FAlpha->Height != bh)) {
      FAlpha->AllocateBits(bw, bh, 8);
      FAlpha->Fill(255);
      FAlpha->Full = true;
    }
  }
  if (!designing) {
    int32_t maxX, maxY;
    GetMaxViewXY(maxX, maxY);
    if (FViewX > maxX || FViewY > maxY) {
      FViewX = std::min(FViewX, maxX);
      FViewY = std::min(FViewY, maxY);
      ViewChange(0);
    }
    if (HasParentWindow() && HandleAllocated()) {
      const int32_t cw = ClientWidth(), ch = ClientHeight();
      UpdateBar(SB_VERT, maxY, ch, FViewY, FVertRatio, FVertBarInUse,
                FScrollBars == ssVertical || FScrollBars == ssBoth);
      UpdateBar(SB_HORZ, maxX, cw, FViewX, FHorzRatio, FHorzBarInUse,
                FScrollBars == ssHorizontal || FScrollBars == ssBoth);
      ClientChanged = ClientWidth() != cw || ClientHeight() != ch;
    }
  }
  FZoomedWidth = Round32(bw * FZoomFactor);
  FZoomedHeight = Round32(bh * FZoomFactor);
  FOffsetX = FOffsetY = 0;
  FVisibleWidth = std::min(FZoomedWidth, designing ? Width() : ClientWidth());
  FVisibleHeight = std::min(FZoomedHeight, designing ? Height() : ClientHeight());
  if (FCenter) {
    if (FVisibleWidth < ClientWidth()) FOffsetX = int32_t(uint32_t(ClientWidth() - FVisibleWidth) >> 1);
    if (FVisibleHeight < ClientHeight()) FOffsetY = int32_t(uint32_t(ClientHeight() - FVisibleHeight) >> 1);
  }
}

void TImagerView::UpdateBar(int32_t Bar, int32_t Limit, int32_t Extent, int32_t Pos, double& Ratio, bool& InUse,
                            bool Allowed) {
  if (!Allowed) return;
  if (Limit < 1) {
    if (FScrollBarsAlwaysVisible) {
      TScrollInfo si;
      si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
      si.nMin = 0;
      si.nMax = 0;
      SetScrollInfo(this, Bar, si, true);
      ShowScrollBar(this, Bar, true);
      EnableScrollBar(this, Bar, ESB_DISABLE_BOTH);
      InUse = true;
    } else {
      if (ScrollBarVisible(this, Bar)) ShowScrollBar(this, Bar, false);
      InUse = false;
    }
    return;
  }
  InUse = true;
  Ratio = (double(Extent) + Limit) / 65536.0;
  ShowScaledScrollBar(Bar, Extent, Pos, Ratio);
}

// ---- scrolling ----

void TImagerView::StartFilterDelay() {
  if (FDelayZoomFilter && FZoomFilter != rfNone && FZoom != 100) FFilterDelay1 = 2;
  FFilterDelay2 = 2;
}

void TImagerView::Scrolled() {
  // Only the offset changed: the rendering may be shifted and its strip re-rendered.
  const bool wasClean = !FDirty || FScrollOnly;
  FDirty = true;
  FScrollOnly = wasClean;
  FFullRepaint = true;
  Invalidate();
  ViewChange(0);
  if (FSelectionExists) RedrawOutline();
  if (FHorzBarInUse && HandleAllocated()) SetScrollPos(this, SB_HORZ, Trunc32(FViewX / FHorzRatio), true);
  if (FVertBarInUse && HandleAllocated()) SetScrollPos(this, SB_VERT, Trunc32(FViewY / FVertRatio), true);
}

void TImagerView::SetViewX(int32_t Value) {
  if (Value == FViewX) return;
  StartFilterDelay();
  int32_t maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  FViewX = std::clamp(Value, 0, maxX);
  // A value clamped back to the present one still repaints and tells the
  // listeners: they asked for a place the view could not go.
  Scrolled();
}

void TImagerView::SetViewY(int32_t Value) {
  if (Value == FViewY) return;
  StartFilterDelay();
  int32_t maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  FViewY = std::clamp(Value, 0, maxY);
  // A value clamped back to the present one still repaints and tells the
  // listeners: they asked for a place the view could not go.
  Scrolled();
}

void TImagerView::SetViewXY(int32_t X, int32_t Y) {
  if (X == FViewX && Y == FViewY) return;
  StartFilterDelay();
  int32_t maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  FViewX = std::clamp(X, 0, maxX);
  FViewY = std::clamp(Y, 0, maxY);
  Scrolled();
}

// ---- zoom ----

void TImagerView::SetZoom(double Value) {
  if (!(Value > 0) || Value == FZoom || !std::isfinite(Value)) return;
  if (FDelayZoomFilter && FZoomFilter != rfNone && FZoom != 100) FFilterDelay1 = 2;
  FFilterDelay2 = 2;
  LockPaint();
  const double newFactor = Value / 100.0;
  const int32_t hx = int32_t(uint32_t(ClientWidth()) >> 1), hy = int32_t(uint32_t(ClientHeight()) >> 1);
  const int64_t bx = Round((double(FViewX) + hx - FOffsetX) * FInvZoomFactor);
  const int64_t by = Round((double(FViewY) + hy - FOffsetY) * FInvZoomFactor);
  const double nx = Trunc(bx * newFactor - hx), ny = Trunc(by * newFactor - hy);
  // The limits of the new zoom: those of the old one would pin a zoom-in to
  // the old, smaller picture's far edge.
  int32_t maxX, maxY;
  MaxViewFor(*FBitmap, newFactor, ClientWidth(), ClientHeight(), Width(), Height(), FSizeMargin, maxX, maxY);
  FViewX = static_cast<int32_t>(std::clamp<double>(nx, 0, maxX));
  FViewY = static_cast<int32_t>(std::clamp<double>(ny, 0, maxY));
  FZoom = Value;
  ApplyZoomFactors();
  MarkDirty();
  Update();
  UnlockPaintNoUpdate();
  LockPaint();
  Update();
  UnlockPaintNoUpdate();
  if (FSelectionExists) RedrawOutline();
  ViewChange(1);
}

void TImagerView::ZoomAt(int32_t X, int32_t Y, double NewZoom) {
  LockPaint();
  const int32_t bx = XScr2Bmp(X), by = YScr2Bmp(Y);
  SetZoom(NewZoom);
  const double f = FZoom / 100.0;
  SetViewXY(Trunc32(f * bx - ClientWidth() / 2), Trunc32(f * by - ClientHeight() / 2));
  UnlockPaint();
}

void TImagerView::Fit() {
  const int32_t bw = FBitmap->Width(), bh = FBitmap->Height();
  if (bw <= 0 || bh <= 0) return;
  const int32_t mx = FBackgroundStyle == imbsCropped ? kEdgeX : FBackgroundStyle == imbsCropShadow ? 5 : 0;
  const int32_t my = FBackgroundStyle == imbsCropped ? kEdgeY : FBackgroundStyle == imbsCropShadow ? 5 : 0;
  SetZoom(std::min((Height() - 2.0 * my) / (bh / 100.0), (Width() - 2.0 * mx) / (bw / 100.0)));
}

void TImagerView::ZoomSelection() {
  if (!FSelectionExists) return;
  int32_t l, t, r, b;
  if (GestureInProgress() || FGrip >= 0) {
    l = FOutline->Left;
    t = FOutline->Top;
    r = FOutline->Right - 1;
    b = FOutline->Bottom - 1;
  } else {
    l = FSelMask.X1;
    t = FSelMask.Y1;
    r = FSelMask.X2;
    b = FSelMask.Y2;
  }
  const int32_t a = r - l + 1, c = b - t + 1;
  if (a < 2 || c < 2) return;
  LockPaint();
  DeSelect();
  SetZoom(std::min(Height() / (c / 100.0), Width() / (a / 100.0)));
  const double f = FZoom / 100.0;
  SetViewXY(Trunc32(l * f) - (ClientWidth() - Trunc32(a * f)) / 2,
            Trunc32(t * f) - (ClientHeight() - Trunc32(c * f)) / 2);
  UnlockPaint();
}

// ---- messages ----

void TImagerView::HandleScroll(TMessage& Message, bool Vertical) {
  // Steps are whole zoomed pixels of the image.
  const int32_t step = std::max(Trunc32(FZoomFactor), 1);
  int32_t maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  const std::optional<int32_t> v =
      Vertical ? ScrollTarget(Message, FVertParams, FViewY, ClientHeight(), step, step, maxY, FVertRatio)
               : ScrollTarget(Message, FHorzParams, FViewX, ClientWidth(), step, step, maxX, FHorzRatio);
  if (!v) return;
  if (Vertical) SetViewY(*v);
  else SetViewX(*v);
}

void TImagerView::HandleWheel(TMessage& Message) {
  if (FWheelParams.Action == 0) {
    TIMView::Dispatch(Message);
    return;
  }
  TWMMouseWheel w(Message);
  int32_t dir = w.WheelDelta() > 0 ? -1 : 1;
  if (FWheelParams.InvertDirection) dir = -dir;
  if (FWheelParams.Action == 1) {
    int64_t change = 0;
    if (FWheelParams.Variation == 0) change = int64_t(dir) * FWheelParams.Value * std::max(Trunc32(FZoomFactor), 1);
    else if (FWheelParams.Variation == 1)
      change = int64_t(dir) * std::max<int64_t>(Round(ClientHeight() * FWheelParams.Value / 100.0), 1);
    else return;
    SetViewY(static_cast<int32_t>(std::clamp<int64_t>(FViewY + change, -MaxInt, MaxInt)));
  } else if (FWheelParams.Action == 2) {
    if (FWheelParams.Variation == 0) SetZoom(FZoom + double(dir) * FWheelParams.Value);
    else if (FWheelParams.Variation == 1)
      SetZoom(FZoom + double(dir) * std::max<int64_t>(Round(FZoom * FWheelParams.Value / 100.0), 1));
  }
  Message.Result = 1;
}

void TImagerView::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SIZE:
      TIMView::Dispatch(Message);
      Update();
      return;
    case WM_ERASEBKGND:
      Message.Result = 0;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TIMView::Dispatch(Message);
      Invalidate();
      return;
    case CM_WANTSPECIALKEY: {
      uint16_t key = static_cast<uint16_t>(Message.WParam);
      if (key >= 33 && key <= 40) {
        Message.Result = 1;
        KeyUp(key, KeyDataToShiftState(static_cast<int32_t>(Message.LParam)));
        return;
      }
      TIMView::Dispatch(Message);
      return;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      TIMView::Dispatch(Message);
      HandleScroll(Message, Message.Msg == WM_VSCROLL);
      return;
    case WM_MOUSEWHEEL:
      HandleWheel(Message);
      return;
    case WM_LBUTTONDBLCLK:
      TIMView::Dispatch(Message);
      if (FPolygonInProgress && !FLasso) {
        ClosePolygon((TWMMouse(Message).Keys() & MK_SHIFT) != 0);
        if (OnSelectionChange) OnSelectionChange(this);
      }
      return;
    default:
      TIMView::Dispatch(Message);
  }
}

// ---- transitions ----

void TImagerView::PrepareTransition() {
  if (ClientWidth() <= 0 || ClientHeight() <= 0) return;
  FTransitions->SetSizes(ClientWidth(), ClientHeight());
  DrawTo(FTransitions->FromBitmap());
}

void TImagerView::RunTransition(int32_t Effect, int32_t Duration) {
  if (ClientWidth() <= 0 || ClientHeight() <= 0) return;
  FTransitionEffect = Effect;
  FTransitionDuration = Duration;
  Update();
  DrawTo(FTransitions->ToBitmap());
  FTransitions->Transition = static_cast<TIMTransitionType>(Effect);
  FTransitions->Duration = Duration;
  FTransitions->Run(true);
  FTransitionEffect = 0;
}

// ---- published properties ----

const TPropertyTable& TImagerView::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TImagerView>(TIMView::PropertyTable(), [](auto& p) {
    p.Bool("DoubleBuffer", &TImagerView::DoubleBuffer, &TImagerView::SetDoubleBuffer);
    p.Enum("ZoomFilter", &TImagerView::ZoomFilter, &TImagerView::SetZoomFilter,
           {"rfNone", "rfTriangle", "rfHermite", "rfBell", "rfBSpline", "rfLanczos3", "rfMitchell", "rfNearest",
            "rfLinear", "rfFastLinear"});
    p.Enum("ScrollBars", &TImagerView::ScrollBars, &TImagerView::SetScrollBars,
           {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"});
    p.Method("OnViewChange").Method("OnImageChange");
    p.Set("SelectionOptions", &TImagerView::SelectionOptions, &TImagerView::SetSelectionOptions,
          {"imsoAnimated", "imsoSizeable", "imsoMoveable", "imsoFilled", "imsoCutBorders"});
    p.Bool("Center", &TImagerView::Center, &TImagerView::SetCenter);
    p.Set("MouseInteract", &TImagerView::MouseInteract, &TImagerView::SetMouseInteract,
          {"miZoom", "miScroll", "miSelect", "miSelectPolygon", "miSelectCircle", "miSelectZoom",
           "miSelectMagicWand", "miSelectLasso"});
    p.Bool("AutoFit", &TImagerView::AutoFit, &TImagerView::SetAutoFit);
    p.Enum("SelectionBase", &TImagerView::SelectionBase, &TImagerView::SetSelectionBase,
           {"imsbClientArea", "imsbBitmap"});
    p.Enum("BackgroundStyle", &TImagerView::BackgroundStyle, &TImagerView::SetBackgroundStyle,
           {"imbsSolid", "imbsHorizontal", "imbsVertical", "imbsFDiagonal", "imbsBDiagonal", "imbsCross",
            "imbsDiagCross", "imbsChessboard", "imbsDiagonals", "imbsCropped", "imbsCropShadow"});
    p.Method("OnSelectionChange").Method("OnSelectionChanging").Method("OnMouseInSel");
    p.Bool("DelayZoomFilter", &TImagerView::DelayZoomFilter, &TImagerView::SetDelayZoomFilter);
    p.Method("OnPaint");
    p.Bool("EnableAlphaChannel", &TImagerView::EnableAlphaChannel, &TImagerView::SetEnableAlphaChannel);
    p.Method("OnMouseInResizingGrip").Method("OnZoomIn").Method("OnZoomOut").Method("OnProgress");
    p.Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop);
    p.Method("OnDragDrop").Method("OnDragOver").Method("OnEndDrag").Method("OnStartDrag");
    p.Method("OnKeyDown").Method("OnKeyPress").Method("OnKeyUp");
  });
  return table;
}

}  // namespace kv

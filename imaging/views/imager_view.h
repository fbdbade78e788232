// The single-image view: one bitmap at any zoom with scroll bars, a choice
// of backgrounds, an optional alpha mask, a selection edited with the mouse
// and transitions between two pictures.
//
// Painting: the view keeps a rendering of the visible part (FBackBuffer),
// made again only when the bitmap, zoom, offset, background or a filled
// selection changes; a scroll re-renders only the strip it uncovered. Paint
// copies the invalid part of that rendering to the window and draws the
// overlays on top (the animated selection outline, the grips, the rubber line
// of a polygon in progress); changing an overlay invalidates its rectangle only.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/formats/io_view_link.h"
#include "imaging/model/kernel_types.h"
#include "imaging/model/mask.h"
#include "imaging/model/view_params.h"
#include "imaging/formats/io_view_link.h"
#include "imaging/processing/resample_filters.h"
#include "imaging/views/im_view.h"
#include "imaging/views/selection_outline.h"
#include "imaging/views/view_render.h"
#include "platform/rtl/set.h"
#include "platform/ui/scrolling.h"

namespace kv {

class TTimer;
class TImagerProc;
class TImagerIO;
class TIMTransitionEffects;

enum TIMMouseInteractItem : uint8_t {
  miZoom, miScroll, miSelect, miSelectPolygon, miSelectCircle, miSelectZoom, miSelectMagicWand, miSelectLasso
};
using TIMMouseInteract = TSet<TIMMouseInteractItem, 8>;

enum TIMSelectionOption : uint8_t { imsoAnimated, imsoSizeable, imsoMoveable, imsoFilled, imsoCutBorders };
using TIMSelectionOptions = TSet<TIMSelectionOption, 8>;

enum TIMSelectionBase : uint8_t { imsbClientArea, imsbBitmap };

using TViewChangeEvent = std::function<void(TObject* Sender, int32_t Change)>;  // 0 scrolled, 1 zoomed
using TIMZoomEvent = std::function<void(TObject* Sender, double& NewZoom)>;
using TIMMouseInResizingGripEvent = std::function<void(TObject* Sender, int32_t Grip)>;

// Cursor numbers the views register.
constexpr TCursor crIMZoomOut = 1778, crIMZoomIn = 1779, crIMCross = 1780, crIMEraser = 1781, crIMHand = 1782,
                  crIMPen = 1783, crIMCross1 = 1784, crIMCross3 = 1785, crIMMove2 = 1786, crIMMoveY = 1787,
                  crIMMove1 = 1788, crIMMoveX = 1789, crIMMove = 1790, crIMCross3Plus = 1791,
                  crIMCross3Minus = 1792, crIMCross2 = 1793, crIMCross2Plus = 1794, crIMCross2Minus = 1795;
// Registers the 18 cursors (idempotent).
void LoadViewCursors();

class TImagerView : public TIMView, public TIMSelectionSource, public TIMIOViewLink {
 public:
  explicit TImagerView(TComponent* AOwner);
  ~TImagerView() override;

  // ---- TIMView ----
  void SetBackground(TColor Value) override;
  TBitmap* GetBitmap() override { return FBitmap.get(); }
  TBitmap& Bitmap() { return *FBitmap; }
  TIMMask* GetAlphaChannel() override;
  int32_t DpiX() const override { return FDpiX; }
  int32_t DpiY() const override { return FDpiY; }
  void SetDpi(int32_t X, int32_t Y) override { TIMView::SetDpi(X, Y); }
  void SetAlphaChannel(std::unique_ptr<TIMMask> Mask) override;
  bool HasAlphaChannel() const override { return FAlpha != nullptr; }
  void RemoveAlphaChannel() override;
  void LockPaint() override { ++FPaintLock; }
  int32_t UnlockPaint() override;
  int32_t UnlockPaintNoUpdate() override;
  int32_t PaintLocked() const { return FPaintLock; }
  void ImageChange() override;
  void ShowTransitionFrame(const TBitmap* Frame) override;

  // ---- companions (made on first request, attached to this view) ----
  TImagerIO* IO();
  TImagerProc* Proc();
  void SetOnProgress(TIMProgressEvent Value);
  const TIMProgressEvent& GetOnProgress() const { return FOnProgress; }

  // ---- layout, zoom and scrolling ----
  // The layout: fit, bitmap size, scroll limits and bars, offsets; then invalidates.
  void Update() override;
  double Zoom() const { return FZoom; }
  void SetZoom(double Value);
  void ZoomAt(int32_t X, int32_t Y, double NewZoom);
  void Fit();
  void ZoomSelection();
  int32_t ViewX() const { return FViewX; }
  int32_t ViewY() const { return FViewY; }
  void SetViewX(int32_t Value);
  void SetViewY(int32_t Value);
  void SetViewXY(int32_t X, int32_t Y);
  void GetMaxViewXY(int32_t& MaxX, int32_t& MaxY) const;
  int32_t XScr2Bmp(int32_t X) const;
  int32_t YScr2Bmp(int32_t Y) const;
  int32_t XBmp2Scr(int32_t X) const;
  int32_t YBmp2Scr(int32_t Y) const;
  int32_t GetIdealWidth() const;
  int32_t GetIdealHeight() const;
  virtual int32_t GetExtentWidth() const;
  virtual int32_t GetExtentHeight() const;
  virtual bool HasParentWindow() const;
  int32_t OffsetX() const { return FOffsetX; }
  int32_t OffsetY() const { return FOffsetY; }
  int32_t VisibleWidth() const { return FVisibleWidth; }
  int32_t VisibleHeight() const { return FVisibleHeight; }
  int32_t ZoomedWidth() const { return FZoomedWidth; }
  int32_t ZoomedHeight() const { return FZoomedHeight; }
  // The visible part: source rectangle in bitmap pixels and its size on screen.
  TViewPart VisiblePart() const;

  TScrollStyle ScrollBars() const { return FScrollBars; }
  virtual void SetScrollBars(TScrollStyle Value);
  bool ScrollBarsAlwaysVisible() const { return FScrollBarsAlwaysVisible; }
  void SetScrollBarsAlwaysVisible(bool Value);
  bool HorzBarInUse() const { return FHorzBarInUse; }
  bool VertBarInUse() const { return FVertBarInUse; }
  TIMScrollBarParams& HorzScrollBar() { return FHorzParams; }
  TIMScrollBarParams& VertScrollBar() { return FVertParams; }
  TIMMouseWheelParams& MouseWheelParams() { return FWheelParams; }

  bool Center() const { return FCenter; }
  void SetCenter(bool Value);
  TResampleFilter ZoomFilter() const { return FZoomFilter; }
  void SetZoomFilter(TResampleFilter Value);
  bool DelayZoomFilter() const { return FDelayZoomFilter; }
  void SetDelayZoomFilter(bool Value) { FDelayZoomFilter = Value; }
  TIMBackgroundStyle BackgroundStyle() const { return FBackgroundStyle; }
  void SetBackgroundStyle(TIMBackgroundStyle Value);
  bool EnableAlphaChannel() const { return FEnableAlphaChannel; }
  void SetEnableAlphaChannel(bool Value);
  bool DisplayGrid() const { return FDisplayGrid; }
  void SetDisplayGrid(bool Value);
  bool DoubleBuffer() const { return FDoubleBuffer; }
  void SetDoubleBuffer(bool Value) { FDoubleBuffer = Value; }
  bool AutoFit() const { return FAutoFit; }
  void SetAutoFit(bool Value);
  void SetCursor(TCursor Value) override;
  TCursor DefaultCursor() const { return FDefaultCursor; }
  int32_t FilterDelay() const { return FFilterDelay1; }
  int32_t SelectionDelay() const { return FFilterDelay2; }

  void FillBackground();
  void Blank();
  void Assign(const TPersistent* Source) override;
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  // Marks the rendering stale and asks for a paint of R.
  void UpdateRect(const TRect& R);

  // ---- rendering ----
  // Fast nearest-neighbour rendering of the visible part into a pf24bit Target
  // (sized like the client area); Clip (inclusive-exclusive) limits what is written.
  virtual void DrawTo(TBitmap& Target, const TRect* Clip = nullptr);
  // The quality rendering (zoom filter) onto Target's canvas.
  virtual void PaintTo(TBitmap& Target);
  // The cached rendering of the client area.
  const TBitmap& Rendering() const { return FBackBuffer; }
  // How many pixels the last renderings wrote (whole client, or a scroll's strip).
  int64_t RenderedPixels() const { return FRenderedPixels; }
  // How many times the cached rendering was made again.
  int64_t RenderCount() const { return FRenderCount; }
  // Brings the cached rendering up to date now (what the next paint would do).
  void RenderNow();

  // ---- transitions ----
  TIMTransitionEffects& Transitions() { return *FTransitions; }
  int32_t TransitionEffect() const { return FTransitionEffect; }
  int32_t TransitionDuration() const { return FTransitionDuration; }
  void PrepareTransition();
  void RunTransition(int32_t Effect, int32_t Duration);

  // ---- selection ----
  TIMMask* SelectionMask() override { return &FSelMask; }
  bool SelectionExists() const override { return FSelectionExists; }
  const TPoint* GetPolySelPoints() const override { return FOutline->Points.data(); }
  int32_t GetPolySelCount() const override { return FOutline->Count(); }
  TIMSelectionOutline& CurrentOutline() { return *FOutline; }
  // Further outlines drawn (not edited) by the view; owned by it.
  TIMSelectionOutline* AddOutline();
  TIMMouseInteract MouseInteract() const { return FMouseInteract; }
  virtual void SetMouseInteract(TIMMouseInteract Value);
  TIMSelectionOptions SelectionOptions() const { return FSelectionOptions; }
  void SetSelectionOptions(TIMSelectionOptions Value);
  TIMSelectionBase SelectionBase() const { return FSelectionBase; }
  void SetSelectionBase(TIMSelectionBase Value) { FSelectionBase = Value; }
  virtual void Select(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Op = 0);
  virtual void AddSelPoint(int32_t X, int32_t Y);
  virtual void EndSelect();
  void DeSelect() override;
  int32_t SelX1() const;
  int32_t SelY1() const;
  int32_t SelX2() const;
  int32_t SelY2() const;
  static bool IsRectanglePolygon(const TPoint* Points, int32_t Count);
  void MagicWandSelect(int32_t X, int32_t Y, bool Add);
  // One step of the selection animation (the timer's, or a direct redraw).
  void SelectionTimerStep(bool FromTimer);
  TTimer& SelectionTimer() { return *FSelTimer; }
  int32_t GripHitTest(int32_t X, int32_t Y) const;
  int32_t MoveHitTest(int32_t X, int32_t Y) const;
  bool PolygonInProgress() const { return FPolygonInProgress; }
  bool AutoScrolling() const;

  TColor SelColor1 = clBlack;
  TColor SelColor2 = clWhite;
  TColor GripPenColor = clBlack;
  TColor GripBrushColor = clWhite;
  TBrushStyle GripBrushStyle = bsSolid;
  int32_t GripSize = 5;
  bool ShowSideGrips = true;
  bool DelayDisplaySelection = true;
  bool ForceAltKey = false;
  int32_t MagicWandMode = 0;
  int32_t MagicWandTolerance = 15;
  bool MagicWandMaxFilter = false;

  TNotifyEvent OnImageChange;
  TViewChangeEvent OnViewChange;
  TNotifyEvent OnPaint;
  TIMMouseInResizingGripEvent OnMouseInResizingGrip;
  TIMZoomEvent OnZoomIn;
  TIMZoomEvent OnZoomOut;
  TNotifyEvent OnSelectionChange;
  TNotifyEvent OnSelectionChanging;
  TNotifyEvent OnMouseInSel;

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  virtual void ViewChange(int32_t Change);
  virtual void ShiftMouseOrigins(int32_t DX, int32_t DY);
  // Auto-scrolling while the mouse rests outside the picture during a drag;
  // each step moves the view, shifts the mouse origins and calls AutoScrollMove.
  void StartAutoScroll(int32_t X, int32_t Y);
  void StopAutoScroll();
  virtual void AutoScrollMove(TShiftState /*Shift*/, int32_t /*X*/, int32_t /*Y*/) {}
  void Paint() override;
  void PaintRect(const TRect& R);
  // Layers a descendant draws over the picture on every paint, before the
  // selection overlays; R is the part of the client being painted.
  virtual void PaintLayer(TCanvas& /*C*/, const TRect& /*R*/) {}
  // True while DrawTo or PaintTo runs to make the cached rendering of the picture.
  bool RenderingCache() const { return FInRender; }
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;

 private:
  // layout and scrolling (imager_view.cpp)
  void LayoutOnce(bool& ClientChanged);
  void UpdateBar(int32_t Bar, int32_t Limit, int32_t Extent, int32_t Pos, double& Ratio, bool& InUse, bool Allowed);
  void Scrolled();
  void StartFilterDelay();
  void HandleScroll(TMessage& Message, bool Vertical);
  void HandleWheel(TMessage& Message);
  void ApplyZoomFactors();
  void MarkDirty();
  // rendering (imager_view_paint.cpp)
  void Render();
  bool RenderScrolled();
  bool FilterPathActive(const TViewPart& Part) const;
  TRenderSetup MakeRenderSetup(const TBitmap& Target) const;
  void PaintFillAndGrid(TBitmap& Target, const TRect& Clip, const TViewPart& P);
  void PaintOverlays(TCanvas& C);
  void CopyToCanvas(const TRect& R);
  // selection (imager_view_select.cpp)
  void SelectRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Op, bool Square);
  void RedrawOutline();
  void InvalidateOverlay();
  TRect OverlayRect() const;
  void DrawOutlineRecord(TCanvas& C, TIMSelectionOutline& O, bool Current);
  void DrawGrips(TCanvas& C, const TIMSelectionOutline& O);
  TRect OutlineScreenBox(const TIMSelectionOutline& O) const;
  int32_t ResizeByGrip(int32_t Grip, int32_t C, int32_t D, bool Square);
  void ClosePolygon(bool KeepMask);
  void RemovePointsSinceDown();
  bool GestureInProgress() const { return FRectDrag || FEllipseDrag || FPolygonInProgress; }
  // mouse (imager_view_mouse.cpp)
  TPoint ClampToPicture(int32_t X, int32_t Y) const;
  bool AltHeld() const;
  void AutoScrollStep();
  void DragMove(TShiftState Shift, int32_t X, int32_t Y);
  void EllipseTo(TShiftState Shift, int32_t X, int32_t Y);
  void RectTo(TShiftState Shift, int32_t X, int32_t Y);
  void ApplyCursor(TCursor C);

  std::unique_ptr<TBitmap> FBitmap;
  TBitmap FBackBuffer{0, 0, pf24bit};
  std::unique_ptr<TIMMask> FAlpha;
  TIMMask FSelMask;
  std::unique_ptr<TIMTransitionEffects> FTransitions;
  int32_t FTransitionEffect = 0;
  int32_t FTransitionDuration = 1000;
  std::vector<std::unique_ptr<TIMSelectionOutline>> FOutlines;
  TIMSelectionOutline* FOutline = nullptr;  // the current selection's record (first of the list)
  TTimer* FSelTimer = nullptr;              // owned by the view as a component
  TTimer* FScrollTimer = nullptr;
  TIMScrollBarParams FVertParams, FHorzParams;
  TIMMouseWheelParams FWheelParams;
  TImagerProc* FProc = nullptr;
  TImagerIO* FIO = nullptr;
  TIMProgressEvent FOnProgress;

  TCursor FSavedCursor = crDefault;
  TCursor FDefaultCursor = crIMCross3;
  bool FCenter = false;
  TResampleFilter FZoomFilter = rfNone;
  TResampleFilter FRememberedFilter = rfNone;
  bool FDelayZoomFilter = true;
  TIMBackgroundStyle FBackgroundStyle = imbsSolid;
  double FHorzRatio = 1, FVertRatio = 1;
  bool FHorzBarInUse = false, FVertBarInUse = false;
  bool FScrollBarsAlwaysVisible = false;
  bool FDisplayGrid = false;
  bool FFullRepaint = true;
  int32_t FLastBmpW = -1, FLastBmpH = -1;
  int32_t FFilterDelay1 = 0, FFilterDelay2 = 0;
  bool FDirty = true;
  bool FInRender = false;
  int32_t FViewX = 0, FViewY = 0;
  double FZoom = 100, FZoomFactor = 1, FInvZoomFactor = 1;
  TScrollStyle FScrollBars = ssNone;
  int32_t FPaintLock = 0;
  int32_t FOffsetX = 0, FOffsetY = 0;
  int32_t FVisibleWidth = 0, FVisibleHeight = 0;
  int32_t FZoomedWidth = 0, FZoomedHeight = 0;
  bool FDoubleBuffer = true;
  bool FAutoFit = false;
  bool FPaintOnUpdate = true;
  double FSizeMargin = 0.5;
  bool FEnableAlphaChannel = false;
  int32_t FUpdateDepth = 0;
  // What the cached rendering shows, to re-render only a scroll's strip.
  TRenderState FRendered;
  bool FScrollOnly = false;
  int64_t FRenderedPixels = 0;
  int64_t FRenderCount = 0;
  TRect FOverlayShown;  // screen box of the overlays as last painted

  // selection and gestures
  TIMMouseInteract FMouseInteract;
  TIMSelectionOptions FSelectionOptions{imsoAnimated, imsoSizeable, imsoMoveable};
  TIMSelectionBase FSelectionBase = imsbClientArea;
  TPoint FDownPos, FLastPos, FMoveOrigin;
  int32_t FDownViewX = 0, FDownViewY = 0, FDownCount = 0;
  bool FSelectionExists = false, FPolygonInProgress = false, FLasso = false, FRectDrag = false,
       FEllipseDrag = false;
  int32_t FGrip = -1, FMove = -1;
  TRect FGripBox;
  int32_t FBorderPhase = 0;
  bool FScrollDrag = false;
  TShiftState FDragShift;
  TPoint FAutoScrollPos;
};

}  // namespace kv

#include "imaging/views/im_view.h"

#include <algorithm>

#include "platform/rtl/pascal_math.h"
#include "platform/ui/scrolling.h"

namespace kv {

namespace {
// Every platform we run on draws 3-D (sunken) control frames.
constexpr bool kNewStyleControls = true;
}  // namespace

TIMView::TIMView(TComponent* AOwner) : TCustomControl(AOwner) {
  TControlStyle style = ControlStyle() + TControlStyle{csAcceptsControls, csOpaque, csReplicatable};
  if (!kNewStyleControls) style.Include(csFramed);
  SetControlStyle(style);
  SetCtl3D(true);
}

TIMView::~TIMView() {
  // Each record leaves the list before its callback runs, so a callback that
  // removes its own or another registration finds a consistent list.
  while (!FBitmapChangeList.empty()) {
    std::unique_ptr<TIMBitmapChangeRecord> rec = std::move(FBitmapChangeList.front());
    FBitmapChangeList.erase(FBitmapChangeList.begin());
    if (rec && rec->Event) rec->Event(this, true);
  }
}

void TIMView::SetBackground(TColor Value) { FBackground = Value; }

void TIMView::ShowTransitionFrame(const TBitmap* Frame) {
  if (Frame == nullptr && FTransitionFrame == nullptr) return;
  FTransitionFrame = Frame;
  if (Frame) Repaint();
}

bool TIMView::PaintTransitionFrame() {
  if (!FTransitionFrame) return false;
  Canvas().Draw(0, 0, *FTransitionFrame);
  return true;
}

TBitmap* TIMView::GetBitmap() { return nullptr; }

void TIMView::PictureEdited() {
  Update();
  ImageChange();
}

void TIMView::SetDpiX(int32_t Value) {
  if (Value != 0) FDpiX = Value;
}

void TIMView::SetDpiY(int32_t Value) {
  if (Value != 0) FDpiY = Value;
}

void TIMView::SetDpi(int32_t X, int32_t Y) {
  SetDpiX(X);
  SetDpiY(Y);
}

void TIMView::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TIMView::SetCtl3D(bool Value) {
  if (Value == Ctl3D()) return;
  TWinControl::SetCtl3D(Value);
  RecreateWnd();
}

void TIMView::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (FBorderStyle == bsSingle) {
    if (kNewStyleControls && Ctl3D()) Params.ExStyle |= WS_EX_CLIENTEDGE;
    else Params.Style |= WS_BORDER;
  }
  // The view repaints what changed itself rather than the whole window on every resize.
  Params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TIMView::Dispatch(TMessage& Message) {
  TCustomControl::Dispatch(Message);
  if (Message.Msg == CM_MOUSEENTER) {
    if (OnMouseEnter) OnMouseEnter(this);
  } else if (Message.Msg == CM_MOUSELEAVE) {
    if (OnMouseLeave) OnMouseLeave(this);
  }
}

TIMBitmapChangeRecord* TIMView::AddBitmapChangeEvent(TIMBitmapChangeEvent Event) {
  auto rec = std::make_unique<TIMBitmapChangeRecord>();
  rec->Event = std::move(Event);
  FBitmapChangeList.push_back(std::move(rec));
  return FBitmapChangeList.back().get();
}

void TIMView::RemoveBitmapChangeEvent(TIMBitmapChangeRecord* Handle) {
  if (!Handle) return;
  auto it = std::find_if(FBitmapChangeList.begin(), FBitmapChangeList.end(),
                         [Handle](const auto& r) { return r.get() == Handle; });
  if (it == FBitmapChangeList.end()) return;
  std::unique_ptr<TIMBitmapChangeRecord> rec = std::move(*it);
  FBitmapChangeList.erase(it);
  // A callback being called may be this very record: keep it alive until the calls are over.
  if (FNotifyDepth > 0) {
    rec->Removed = true;
    FRemovedDuringNotify.push_back(std::move(rec));
  }
}

void TIMView::NotifyBitmapChange() {
  // The records registered now; one added by a callback waits for the next notification.
  std::vector<TIMBitmapChangeRecord*> calls;
  calls.reserve(FBitmapChangeList.size());
  for (const auto& r : FBitmapChangeList) calls.push_back(r.get());

  struct TDepth {
    TIMView& View;
    explicit TDepth(TIMView& V) : View(V) { ++View.FNotifyDepth; }
    ~TDepth() {
      if (--View.FNotifyDepth == 0) View.FRemovedDuringNotify.clear();
    }
  } depth(*this);
  for (TIMBitmapChangeRecord* rec : calls)
    if (!rec->Removed && rec->Event) rec->Event(this, false);
}

const TPropertyTable& TIMView::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TIMView>(TCustomControl::PropertyTable(), [](auto& p) {
    p.Integer("Background", &TIMView::Background, &TIMView::SetBackground);
    p.Bool("Ctl3D", &TIMView::GetCtl3D, &TIMView::SetCtl3D);
    p.Bool("ParentCtl3D", &TWinControl::ParentCtl3D, &TWinControl::SetParentCtl3D);
    p.Method("OnMouseEnter").Method("OnMouseLeave");
    // A view's frame is none or single: the form's other styles are no values of it.
    p.Enum("BorderStyle", &TIMView::BorderStyle, &TIMView::SetBorderStyle, {"bsNone", "bsSingle"});
  });
  return table;
}

void TIMView::ShowScaledScrollBar(int32_t Bar, int32_t Client, int32_t Offset, double Scale) {
  TScrollInfo si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 65535;
  si.nPage = static_cast<uint32_t>(std::max<int64_t>(Trunc(Client / Scale), 0));
  si.nPos = Trunc32(Offset / Scale);
  SetScrollInfo(this, Bar, si, true);
  EnableScrollBar(this, Bar, ESB_ENABLE_BOTH);
  if (!ScrollBarVisible(this, Bar)) ShowScrollBar(this, Bar, true);
}

std::optional<int32_t> TIMView::ScrollTarget(TMessage& Message, const TIMScrollBarParams& Params, int32_t View,
                                             int32_t Client, int32_t DefaultLine, int32_t Unit, int32_t Max,
                                             double Scale) {
  const int64_t line = Params.LineStep == -1 ? DefaultLine : int64_t(Unit) * Params.LineStep;
  const int64_t page = Params.PageStep == -1 ? Client : int64_t(Unit) * Params.PageStep;
  TWMScroll s(Message);
  int64_t v = View;
  switch (s.ScrollCode()) {
    case SB_LINEUP: v -= line; break;
    case SB_LINEDOWN: v += line; break;
    case SB_PAGEUP: v -= page; break;
    case SB_PAGEDOWN: v += page; break;
    case SB_TOP: v = 0; break;
    case SB_BOTTOM: v = Max; break;
    case SB_THUMBTRACK:
      if (!Params.Tracking) return std::nullopt;
      [[fallthrough]];
    case SB_THUMBPOSITION: v = Trunc(s.Pos() * Scale); break;
    default: return std::nullopt;
  }
  return static_cast<int32_t>(std::clamp<int64_t>(v, -MaxInt, MaxInt));
}

}  // namespace kv

#include "imaging/views/im_view.h"

#include <algorithm>

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

}  // namespace kv

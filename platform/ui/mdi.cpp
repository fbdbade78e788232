// The multiple-document frame: a QMdiArea in the frame's client area holding
// one sub-window per child form, and the frame's list of its children in
// stacking order.
#include <QtCore/QEvent>
#include <QtWidgets/QScrollBar>
#include <QtCore/QVariant>
#include <QtGui/QResizeEvent>
#include <algorithm>

#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/mdi_client.h"
#include "platform/ui/menus.h"
#include "platform/ui/peer.h"
#include "platform/ui/scrolling.h"

namespace kv {

namespace {

// Room between the default places of children made one after another.
constexpr int32_t kDefaultPlaceStep = 24;
// A maximised child's bounds from before it was maximised, kept on its sub-window.
constexpr const char* kNormalBounds = "kvNormalBounds";
// Those bounds again, to be placed at the first geometry change after restoring.
constexpr const char* kRestoreBounds = "kvRestoreBounds";

}  // namespace

// ---- TMDIClient ----

TMDIClient::TMDIClient(TCustomForm* Frame, QWidget* Parent) : FFrame(Frame), FArea(new QMdiArea(Parent)) {
  FArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  FArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // See-through: the frame's own painting (its colour, a wallpaper) shows behind the children.
  FArea->setFrameShape(QFrame::NoFrame);
  FArea->setBackground(QBrush(Qt::NoBrush));
  FArea->viewport()->setAutoFillBackground(false);
  FArea->show();
  // The frame hears of the area's scrolling as WM_HSCROLL / WM_VSCROLL with
  // the distance its contents moved (pixels) in LParam, so that what it
  // paints behind the children (a wallpaper) can move with them.
  for (int32_t bar : {SB_HORZ, SB_VERT}) {
    QScrollBar* b = bar == SB_HORZ ? FArea->horizontalScrollBar() : FArea->verticalScrollBar();
    FScrollPos[bar] = b->value();
    QObject::connect(b, &QScrollBar::valueChanged, this, [this, bar](int Value) {
      const int32_t delta = FScrollPos[bar] - Value;
      FScrollPos[bar] = Value;
      if (delta == 0) return;
      TCustomForm* frame = FFrame;
      Guarded(frame, [&] {
        frame->Perform(bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, MakeLong(SB_THUMBPOSITION, uint16_t(Value)),
                       static_cast<LPARAM>(delta));
        frame->Invalidate();
      });
    });
  }
  QObject::connect(FArea.data(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* Sub) {
    TCustomForm* child = Sub ? ChildOf(Sub) : nullptr;
    if (!child || Quiet > 0 || FPlacing) return;
    TCustomForm* frame = FFrame;
    // The user picked a sub-window: the frame's stacking order and activation follow.
    Guarded(frame, [&] {
      if (frame->ActiveMDIChild() != child || !child->Active()) frame->MDIActivate(child);
    });
  });
}

TMDIClient::~TMDIClient() {
  for (auto& [child, sub] : FSubs)
    if (sub) sub->removeEventFilter(this);
}

QMdiSubWindow* TMDIClient::SubWindowOf(const TCustomForm* Child) const {
  auto it = FSubs.find(Child);
  return it == FSubs.end() ? nullptr : it->second.data();
}

TCustomForm* TMDIClient::ChildOf(QObject* SubWindow) const {
  for (auto& [child, sub] : FSubs)
    if (sub.data() == SubWindow) return const_cast<TCustomForm*>(child);
  return nullptr;
}

void TMDIClient::Add(TCustomForm* Child, QWidget* Widget) {
  if (!FArea) return;
  auto* sub = new QMdiSubWindow;
  // The child decides when it goes: closing asks the child, never deletes the sub-window.
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  sub->setWidget(Widget);
  FArea->addSubWindow(sub);
  sub->hide();
  sub->installEventFilter(this);
  Widget->installEventFilter(this);
  FSubs[Child] = sub;
}

void TMDIClient::Remove(TCustomForm* Child) {
  auto it = FSubs.find(Child);
  if (it == FSubs.end()) return;
  QPointer<QMdiSubWindow> sub = it->second;
  FSubs.erase(it);
  if (!sub) return;
  sub->removeEventFilter(this);
  // A peer still running an event was only reparented away; anything left inside is not ours.
  if (QWidget* w = sub->widget()) {
    w->removeEventFilter(this);
    sub->setWidget(nullptr);
    w->hide();
    w->setParent(nullptr);
  }
  ++Quiet;
  sub->hide();
  --Quiet;
  if (FEventDepth > 0) sub->deleteLater();
  else delete sub.data();
}

void TMDIClient::HideChild(const TCustomForm* Child) {
  if (QMdiSubWindow* sub = SubWindowOf(Child)) {
    ++Quiet;
    sub->hide();
    --Quiet;
  }
}

QSize TMDIClient::FrameExtent(const TCustomForm* Child) const {
  QMdiSubWindow* sub = SubWindowOf(Child);
  if (!sub || sub->isMaximized()) return QSize(0, 0);
  const QMargins m = sub->contentsMargins();
  return QSize(m.left() + m.right(), m.top() + m.bottom());
}

void TMDIClient::PlaceChild(TCustomForm* Child, int32_t Left, int32_t Top, int32_t Width, int32_t Height,
                            bool Visible) {
  QMdiSubWindow* sub = SubWindowOf(Child);
  if (!sub) return;
  FPlacing = true;
  sub->setWindowTitle(QString::fromStdString(Child->Caption()));
  if (QWidget* w = sub->widget()) w->show();
  if (Visible) {
    switch (Child->WindowState()) {
      case wsMinimized:
        if (!sub->isMinimized()) sub->showMinimized();
        break;
      case wsMaximized:
        if (!sub->isMaximized()) sub->showMaximized();
        break;
      default:
        if (sub->isMinimized() || sub->isMaximized()) sub->showNormal();
        else sub->show();
        break;
    }
  } else {
    sub->hide();
  }
  // After showing: the frame's margins are known only then. A child restored
  // from maximised has taken back its bounds meanwhile: those are placed.
  if (!sub->isMinimized() && !sub->isMaximized()) {
    const QSize f = FrameExtent(Child);
    if (Child->WindowState() == wsNormal) {
      Left = Child->Left();
      Top = Child->Top();
      Width = Child->Width();
      Height = Child->Height();
    }
    sub->setGeometry(Left, Top, Width + f.width(), Height + f.height());
  }
  FPlacing = false;
}

void TMDIClient::FollowMaximisedSize(QObject* Widget, const QSize& Size) {
  for (auto& [c, sub] : FSubs) {
    if (!sub || sub->widget() != Widget || !sub->isMaximized() || FFollowing) continue;
    // The area sizes a maximised child's widget, not the child: its controls
    // (the image view above all) follow, and the bounds from before come back
    // when it is restored.
    auto* child = const_cast<TCustomForm*>(c);
    if (!sub->property(kNormalBounds).isValid())
      sub->setProperty(kNormalBounds, QRect(child->Left(), child->Top(), child->Width(), child->Height()));
    // Maximised or being maximised (also by the child's own state), the
    // sub-window keeps its geometry whatever the child's bounds say.
    const bool placing = FPlacing;
    FFollowing = FPlacing = true;
    Guarded(child, [&] {
      // Maximised by the user, the child hears of it here first.
      if (child->WindowState() != wsMaximized) child->SetWindowState(wsMaximized);
      child->SetBounds(child->Left(), child->Top(), Size.width(), Size.height());
    });
    FPlacing = placing;
    FFollowing = false;
    return;
  }
}

bool TMDIClient::eventFilter(QObject* Watched, QEvent* Event) {
  TCustomForm* child = ChildOf(Watched);
  if (!child) {
    if (Event->type() == QEvent::Resize) {
      ++FEventDepth;
      FollowMaximisedSize(Watched, static_cast<QResizeEvent*>(Event)->size());
      --FEventDepth;
    }
    return QObject::eventFilter(Watched, Event);
  }
  ++FEventDepth;
  bool taken = false;
  switch (Event->type()) {
    case QEvent::Close:
      // The close button asks the child form, which decides (save question, free, minimise).
      Event->ignore();
      Guarded(child, [&] { child->Perform(WM_CLOSE); });
      taken = true;
      break;
    case QEvent::Move:
    case QEvent::Resize: {
      auto* sub = static_cast<QMdiSubWindow*>(Watched);
      if (!FPlacing && !sub->isMinimized() && !sub->isMaximized()) {
        const QSize f = FrameExtent(child);
        if (sub->property(kRestoreBounds).isValid()) {
          const QRect r = sub->property(kRestoreBounds).toRect();
          sub->setProperty(kRestoreBounds, QVariant());
          FPlacing = true;
          sub->setGeometry(r.x(), r.y(), r.width() + f.width(), r.height() + f.height());
          Guarded(child, [&] { child->SetBounds(r.x(), r.y(), r.width(), r.height()); });
          FPlacing = false;
          break;
        }
        // Moved or sized by the user or by tiling: the child's bounds follow.
        const QRect g = sub->geometry();
        FPlacing = true;
        Guarded(child, [&] { child->SetBounds(g.x(), g.y(), g.width() - f.width(), g.height() - f.height()); });
        FPlacing = false;
      }
      break;
    }
    case QEvent::WindowStateChange: {
      auto* sub = static_cast<QMdiSubWindow*>(Watched);
      const TWindowState state = sub->isMinimized() ? wsMinimized : sub->isMaximized() ? wsMaximized : wsNormal;
      if (state == wsNormal && sub->property(kNormalBounds).isValid()) {
        // Restored: the state first, so that placing the bounds from before
        // does not maximise the sub-window again.
        const QRect r = sub->property(kNormalBounds).toRect();
        sub->setProperty(kNormalBounds, QVariant());
        // The area then sizes the sub-window by a rule of its own: the next
        // geometry change puts these bounds back (below).
        sub->setProperty(kRestoreBounds, r);
        FPlacing = true;
        Guarded(child, [&] {
          child->SetWindowState(wsNormal);
          child->SetBounds(r.x(), r.y(), r.width(), r.height());
        });
        FPlacing = false;
      }
      if (!FPlacing && child->WindowState() != state) {
        FPlacing = true;
        Guarded(child, [&] { child->SetWindowState(state); });
        FPlacing = false;
      }
      break;
    }
    default:
      break;
  }
  --FEventDepth;
  return taken || QObject::eventFilter(Watched, Event);
}

// ---- the frame's side of TCustomForm ----

TCustomForm* TCustomForm::FindMDIFrame() {
  if (Application) {
    TCustomForm* main = Application->MainForm();
    if (main && main->FormStyle() == fsMDIForm) return main;
  }
  for (int32_t i = 0; i < Screen->FormCount(); ++i)
    if (TCustomForm* f = Screen->Forms(i); f && f->FormStyle() == fsMDIForm) return f;
  return nullptr;
}

void TCustomForm::AttachMDIChild(TCustomForm* Child) {
  Child->FMDIFrame = this;
  if (std::find(FMDIChildren.begin(), FMDIChildren.end(), Child) != FMDIChildren.end()) return;
  if (Child->Position() == poDefault || Child->Position() == poDefaultPosOnly) {
    // Each new child a step below and right of the one before, starting again near the corner.
    const TRect area = MDIClientRect();
    const int32_t n = MDIChildCount();
    const int32_t steps = std::max(1, std::min(area.Width(), area.Height()) / 2 / kDefaultPlaceStep);
    const int32_t at = (n % steps) * kDefaultPlaceStep;
    Child->SetBounds(at, at, Child->Width(), Child->Height());
  }
  FMDIChildren.insert(FMDIChildren.begin(), Child);
  FMDIOrder.push_back(Child);
}

void TCustomForm::DetachMDIChild(TCustomForm* Child) {
  std::erase(FMDIOrder, Child);
  auto it = std::find(FMDIChildren.begin(), FMDIChildren.end(), Child);
  if (it == FMDIChildren.end()) return;
  const bool wasActive = it == FMDIChildren.begin();
  FMDIChildren.erase(it);
  if (wasActive)
    if (TCustomForm* next = ActiveMDIChild()) MDIActivate(next);
}

void TCustomForm::MDIActivate(TCustomForm* Child) {
  auto it = std::find(FMDIChildren.begin(), FMDIChildren.end(), Child);
  if (it == FMDIChildren.end()) return;
  FMDIChildren.erase(it);
  FMDIChildren.insert(FMDIChildren.begin(), Child);
  if (FMDIClient && FMDIClient->Area())
    if (QMdiSubWindow* sub = FMDIClient->SubWindowOf(Child); sub && FMDIClient->Area()->activeSubWindow() != sub) {
      ++FMDIClient->Quiet;
      FMDIClient->Area()->setActiveSubWindow(sub);
      --FMDIClient->Quiet;
    }
  // The one active before hears of it first (a new child is already at the front when it is shown).
  for (TCustomForm* c : std::vector<TCustomForm*>(FMDIChildren))
    if (c != Child && c->Active()) c->Deactivate();
  Child->Activate();
}

TCustomForm* TCustomForm::ActiveMDIChild() const {
  for (TCustomForm* c : FMDIChildren)
    if (c->Visible()) return c;
  return nullptr;
}

TCustomForm* TCustomForm::MDIChildren(int32_t Index) const {
  if (Index < 0 || Index >= MDIChildCount()) return nullptr;
  return FMDIChildren[size_t(Index)];
}

void TCustomForm::Tile() {
  if (!FMDIClient || !FMDIClient->Area()) return;
  FMDIClient->Area()->tileSubWindows();
}

void TCustomForm::Cascade() {
  if (!FMDIClient || !FMDIClient->Area()) return;
  FMDIClient->Area()->cascadeSubWindows();
}

void TCustomForm::Next() {
  std::vector<TCustomForm*> shown;
  for (TCustomForm* c : FMDIChildren)
    if (c->Visible()) shown.push_back(c);
  if (shown.size() < 2) return;
  TCustomForm* current = shown.front();
  MDIActivate(shown[1]);
  // The one that was active goes to the back.
  FMDIChildren.erase(std::find(FMDIChildren.begin(), FMDIChildren.end(), current));
  FMDIChildren.push_back(current);
}

void TCustomForm::SetWindowMenu(TMenuItem* Value) {
  if (Value == FWindowMenu) return;
  if (FWindowMenu) FWindowMenu->RemoveFreeNotification(this);
  FWindowMenu = Value;
  if (FWindowMenu) FWindowMenu->FreeNotification(this);
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FWindowMenu) FWindowMenu = nullptr;
}

TRect TCustomForm::MDIClientRect() const { return FMDIClientPlaced ? FMDIClientRect : ClientRect(); }

void TCustomForm::AlignControls(TControl* AControl, TRect& Rect) {
  TCustomControl::AlignControls(AControl, Rect);
  if (FFormStyle != fsMDIForm) return;
  FMDIClientRect = Rect;
  FMDIClientPlaced = true;
  if (FMDIClient && FMDIClient->Area())
    FMDIClient->Area()->setGeometry(Rect.Left, Rect.Top, std::max(Rect.Width(), 0), std::max(Rect.Height(), 0));
}

}  // namespace kv

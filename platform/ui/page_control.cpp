// TPageControl over a Qt tab bar; the sheets are plain windowed controls
// laid out under (or above) it.
#include "platform/ui/page_control.h"

#include <QtCore/QSignalBlocker>
#include <QtWidgets/QTabBar>
#include <algorithm>

#include "platform/ui/std_controls.h"
#include "platform/ui/std_peer.h"

namespace kv {

// ---- TTabSheet ----

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csSetCaption};
  FVisible = false;
}

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetPageControl(TPageControl* Value) {
  if (Value == FPageControl) return;
  if (FPageControl) FPageControl->RemovePage(this);
  FPageControl = Value;
  if (FPageControl) {
    SetParent(FPageControl);
    FPageControl->InsertPage(this);
  } else if (!ComponentState().Contains(csDestroying)) {
    SetParent(nullptr);
  }
}

void TTabSheet::SetTabVisible(bool Value) {
  if (Value == FTabVisible) return;
  FTabVisible = Value;
  if (FPageControl) {
    if (!Value && FPageControl->ActivePage() == this) FPageControl->SetActivePage(nullptr);
    FPageControl->LayoutPages();
    FPageControl->UpdateTabs();
  }
}

int32_t TTabSheet::PageIndex() const {
  if (!FPageControl) return -1;
  for (int32_t i = 0; i < FPageControl->PageCount(); ++i)
    if (FPageControl->Pages(i) == this) return i;
  return -1;
}

void TTabSheet::Dispatch(TMessage& Message) {
  TWinControl::Dispatch(Message);
  if (Message.Msg == CM_TEXTCHANGED && FPageControl) FPageControl->UpdateTabs();
}

// ---- TPageControl ----

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csDoubleClicks};
  FWidth = 289;
  FHeight = 193;
  FTabStop = true;
}

TPageControl::~TPageControl() {
  for (TTabSheet* p : std::vector<TTabSheet*>(FPages)) p->SetPageControl(nullptr);
}

void TPageControl::InsertPage(TTabSheet* Page) {
  if (std::find(FPages.begin(), FPages.end(), Page) != FPages.end()) return;
  FPages.push_back(Page);
  Page->SetVisible(false);
  LayoutPages();
  UpdateTabs();
}

void TPageControl::RemovePage(TTabSheet* Page) {
  auto it = std::find(FPages.begin(), FPages.end(), Page);
  if (it == FPages.end()) return;
  FPages.erase(it);
  if (FActivePage == Page) FActivePage = nullptr;
  UpdateTabs();
}

std::vector<TTabSheet*> TPageControl::VisiblePages() const {
  std::vector<TTabSheet*> v;
  for (TTabSheet* p : FPages)
    if (p->TabVisible()) v.push_back(p);
  return v;
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* Current, bool GoForward) const {
  const std::vector<TTabSheet*> v = VisiblePages();
  if (v.empty()) return nullptr;
  auto it = std::find(v.begin(), v.end(), Current);
  if (it == v.end()) return GoForward ? v.front() : v.back();
  const ptrdiff_t n = static_cast<ptrdiff_t>(v.size());
  const ptrdiff_t i = ((it - v.begin()) + (GoForward ? 1 : -1) + n) % n;
  return v[static_cast<size_t>(i)];
}

void TPageControl::SetActivePage(TTabSheet* Page) {
  // A page whose tab is hidden can still be chosen by the program: dialogs
  // with several faces pick one of their pages this way.
  if (Page && Page->PageControl() != this) return;
  if (Page == FActivePage) return;
  if (FActivePage) FActivePage->SetVisible(false);
  FActivePage = Page;
  if (FActivePage) {
    LayoutPages();
    FActivePage->SetVisible(true);
    FActivePage->BringToFront();
  }
  UpdateTabs();
}

void TPageControl::SetActivePageIndex(int32_t Index) {
  SetActivePage(Index >= 0 && Index < PageCount() ? Pages(Index) : nullptr);
}

void TPageControl::SetTabPosition(TTabPosition Value) {
  if (Value == FTabPosition) return;
  FTabPosition = Value;
  LayoutPages();
  UpdateTabs();
}

bool TPageControl::SelectPage(TTabSheet* Page) {
  if (!Page || Page->PageControl() != this || !Page->TabVisible()) return false;
  if (Page == FActivePage) return true;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) {
    UpdateTabs();
    return false;
  }
  SetActivePage(Page);
  if (OnChange) OnChange(this);
  return FActivePage == Page;
}

void TPageControl::LayoutPages() {
  const TRect r = ClientRect();
  // Without a tab to show the pages take the whole control.
  const int32_t bar = VisiblePages().empty() ? 0 : kTabHeight;
  const int32_t top = FTabPosition == tpTop ? bar : 0;
  const int32_t h = std::max(0, r.Height() - bar);
  for (TTabSheet* p : FPages) p->SetBounds(0, top, r.Width(), h);
  if (auto* tabs = ClientWidget(this) ? ClientWidget(this)->findChild<QTabBar*>() : nullptr) {
    tabs->setGeometry(0, FTabPosition == tpTop ? 0 : h, r.Width(), kTabHeight);
    tabs->setVisible(bar > 0);
  }
}

void TPageControl::Resize() {
  LayoutPages();
  TWinControl::Resize();
}

void TPageControl::UpdateTabs() {
  QWidget* w = ClientWidget(this);
  auto* bar = w ? w->findChild<QTabBar*>() : nullptr;
  if (!bar) return;
  QSignalBlocker block(bar);
  const std::vector<TTabSheet*> pages = VisiblePages();
  // Rebuilt only when the tabs differ: this also runs inside the bar's own signal.
  bool same = bar->count() == static_cast<int>(pages.size());
  for (int i = 0; same && i < bar->count(); ++i)
    same = bar->tabData(i).toInt() == pages[static_cast<size_t>(i)]->PageIndex() &&
           bar->tabText(i).toStdString() == StripAccelerator(pages[static_cast<size_t>(i)]->Caption());
  if (!same) {
    while (bar->count() > 0) bar->removeTab(0);
    for (TTabSheet* p : pages) {
      const int i = bar->addTab(QString::fromStdString(StripAccelerator(p->Caption())));
      bar->setTabData(i, p->PageIndex());
    }
  }
  bar->setShape(FTabPosition == tpTop ? QTabBar::RoundedNorth : QTabBar::RoundedSouth);
  int current = -1;
  for (size_t i = 0; i < pages.size(); ++i)
    if (pages[i] == FActivePage) current = static_cast<int>(i);
  bar->setCurrentIndex(current);
}

void TPageControl::CreateWnd() {
  auto* p = new TStdPeer<QWidget>(this, ParentClientWidget(this));
  SetPeer(p);
  auto* bar = new QTabBar(p);
  bar->setDrawBase(true);
  QObject::connect(bar, &QTabBar::currentChanged, p, [p, bar](int Tab) {
    const int page = Tab < 0 ? -1 : bar->tabData(Tab).toInt();
    p->Signal([&](TControl* c) {
      auto* pc = static_cast<TPageControl*>(c);
      if (page >= 0 && page < pc->PageCount()) pc->SelectPage(pc->Pages(page));
    });
  });
  LayoutPages();
  UpdateTabs();
}

}  // namespace kv

// The main menu and the menu bar that shows it on a form: one Qt action per
// item, kept in step with the items. Item changes only mark the bar stale; it
// is brought up to date once the current event is over, so that a click
// handler may rebuild whole menus without deleting the action that runs it.
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QKeySequence>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/peer.h"

namespace kv {

void TScrollPeer::SetTopMargin(int32_t Value) {
  if (Value == TopMargin) return;
  TopMargin = Value;
  setViewportMargins(0, Value, 0, 0);
}

namespace {
void FillEntry(const QAction* A, TMenuBarEntry& Out) {
  Out.Text = A->text().toStdString();
  Out.Enabled = A->isEnabled();
  Out.Visible = A->isVisible();
  Out.Checkable = A->isCheckable();
  Out.Checked = A->isChecked();
  Out.Separator = A->isSeparator();
  Out.ShortCut = A->shortcut().toString(QKeySequence::PortableText).toStdString();
  Out.SubCount = 0;
}
}  // namespace

struct TMenuBarBinding {
  struct TEntry {
    QAction* Action = nullptr;
    QMenu* Menu = nullptr;  // owns Action when set
  };

  TMainMenu& Menu;
  TCustomForm& Form;
  QPointer<QMenuBar> Bar;
  QPointer<QAbstractScrollArea> Host;
  std::unordered_map<const TMenuItem*, TEntry> Entries;
  std::vector<QPointer<QAction>> WindowList;  // in the window menu, after its own items
  QPointer<QMenu> WindowListHost;             // the menu whose opening refreshes the list
  bool Posted = false;

  TMenuBarBinding(TMainMenu& AMenu, TCustomForm& AForm) : Menu(AMenu), Form(AForm) {}

  ~TMenuBarBinding() {
    // Only through the host: the form may be half destroyed by now.
    if (auto* sp = dynamic_cast<TScrollPeer*>(Host.data())) sp->SetTopMargin(0);
    delete Bar.data();  // its menus and actions go with it
  }

  static void Free(TEntry& E) {
    if (E.Menu)
      delete E.Menu;
    else
      delete E.Action;
  }

  // Whether the item still hangs in this menu's tree (a click may come after it was freed).
  bool InTree(const TMenuItem* Item, const TMenuItem* Under) const {
    for (int32_t i = 0; i < Under->Count(); ++i) {
      const TMenuItem* c = Under->Items(i);
      if (c == Item || InTree(Item, c)) return true;
    }
    return false;
  }

  void Post() {
    if (Posted || !Bar) return;
    Posted = true;
    QTimer::singleShot(0, Bar.data(), [this] { Sync(); });
  }

  QMenuBar* EnsureBar() {
    Form.HandleNeeded();
    auto* sp = dynamic_cast<TScrollPeer*>(Form.Peer());
    if (!sp) return nullptr;
    if (Bar && Host.data() == sp) return Bar;
    // The form's window was made anew: the old bar went with the old window.
    Entries.clear();
    WindowList.clear();
    Host = sp;
    Bar = new QMenuBar(sp);
    Bar->setNativeMenuBar(false);
    return Bar;
  }

  void Apply(QAction* A, const TMenuItem* Item) {
    A->setText(QString::fromStdString(Item->Caption()));
    A->setEnabled(Item->Enabled());
    A->setVisible(Item->Visible());
    const bool checkable = Item->Checked() || Item->RadioItem();
    A->setCheckable(checkable);
    if (checkable) A->setChecked(Item->Checked());
    A->setStatusTip(QString::fromStdString(Item->Hint()));
    const int key = QtKeyOfShortCut(Item->ShortCut());
    const QKeySequence seq = key ? QKeySequence(key) : QKeySequence();
    if (A->shortcut() != seq) A->setShortcut(seq);
  }

  // ---- the window list of the frame's window menu ----
  // The list is made anew whenever the menu opens and whenever the bar is
  // brought up to date, so it always shows the children as they are now.

  QMenu* WindowListMenu() const {
    const TMenuItem* wm = Form.WindowMenu();
    if (!wm) return nullptr;
    auto it = Entries.find(wm);
    return it == Entries.end() ? nullptr : it->second.Menu;
  }

  void ClearWindowList() {
    for (QAction* a : WindowList)
      if (a) delete a;
    WindowList.clear();
  }

  void SyncWindowList() {
    ClearWindowList();
    QMenu* menu = WindowListMenu();
    if (!menu) return;
    if (menu != WindowListHost) {
      WindowListHost = menu;
      QObject::connect(menu, &QMenu::aboutToShow, Bar, [this, menu] {
        if (WindowListMenu() == menu) SyncWindowList();
      });
    }
    const std::vector<TCustomForm*> children = Form.MDIChildrenInCreationOrder();
    TCustomForm* active = Form.ActiveMDIChild();
    int32_t n = 0;
    for (TCustomForm* child : children) {
      if (!child->Visible()) continue;
      if (n == 0) {
        auto* line = new QAction(Bar);
        line->setSeparator(true);
        menu->addAction(line);
        WindowList.push_back(line);
      }
      ++n;
      // Only the first nine get a digit to press; a "&" of the caption is shown, not an accelerator.
      QString caption = QString::fromStdString(child->Caption());
      caption.replace(QLatin1Char('&'), QLatin1String("&&"));
      auto* a = new QAction((n <= 9 ? QStringLiteral("&") : QString()) + QString::number(n) + QLatin1Char(' ') + caption,
                            Bar);
      a->setCheckable(true);
      a->setChecked(child == active);
      QObject::connect(a, &QAction::triggered, Bar, [this, child] { WindowChosen(child); });
      menu->addAction(a);
      WindowList.push_back(a);
    }
  }

  void WindowChosen(TCustomForm* Child) {
    Guarded(&Form, [&] {
      // The child may have gone since the list was made.
      const std::vector<TCustomForm*> children = Form.MDIChildrenInCreationOrder();
      if (std::find(children.begin(), children.end(), Child) == children.end()) return;
      if (Child->WindowState() == wsMinimized) Child->SetWindowState(wsNormal);
      Child->BringToFront();
    });
  }

  void SyncItems(const TMenuItem* Parent, QWidget* Holder, std::unordered_map<const TMenuItem*, TEntry>& Old) {
    QList<QAction*> wanted;
    for (int32_t i = 0; i < Parent->Count(); ++i) {
      TMenuItem* item = Parent->Items(i);
      const bool line = item->IsLine();
      const bool sub = !line && item->Count() > 0;
      TEntry e;
      if (auto it = Old.find(item); it != Old.end()) {
        e = it->second;
        Old.erase(it);
        if ((e.Menu != nullptr) != sub || e.Action->isSeparator() != line) {
          Free(e);
          e = {};
        }
      }
      if (!e.Action) {
        if (sub) {
          e.Menu = new QMenu(Bar);  // every menu hangs on the bar, so freeing one never frees another
          e.Action = e.Menu->menuAction();
        } else {
          e.Action = new QAction(Bar);
          if (line) e.Action->setSeparator(true);
          QObject::connect(e.Action, &QAction::triggered, Bar, [this, item] { Clicked(item); });
        }
      }
      if (!line) Apply(e.Action, item);
      e.Action->setVisible(item->Visible());
      if (sub) SyncItems(item, e.Menu, Old);
      Entries[item] = e;
      wanted.push_back(e.Action);
    }
    if (Holder->actions() != wanted) {
      for (QAction* a : Holder->actions()) Holder->removeAction(a);
      Holder->addActions(wanted);
    }
  }

  void Sync() {
    Posted = false;
    QMenuBar* bar = EnsureBar();
    if (!bar) return;
    // Out first: the items' own actions are compared with what the menus hold.
    ClearWindowList();
    std::unordered_map<const TMenuItem*, TEntry> old;
    old.swap(Entries);
    SyncItems(Menu.Items(), bar, old);
    for (auto& [item, e] : old) Free(e);
    SyncWindowList();
    auto* sp = static_cast<TScrollPeer*>(Host.data());
    const int32_t h = bar->actions().isEmpty() ? 0 : bar->sizeHint().height();
    bar->setGeometry(0, 0, sp->width(), h);
    bar->setVisible(h > 0);
    if (h != sp->TopMargin) {
      sp->SetTopMargin(h);
      Form.Realign();
    }
  }

  void Clicked(TMenuItem* Item) {
    Guarded(&Form, [&] {
      if (InTree(Item, Menu.Items())) Item->Click();
    });
  }
};

TMainMenu::TMainMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr)) {
  FItems->OnChange = [this](TObject*) {
    if (FBinding) FBinding->Post();
  };
}

TMainMenu::~TMainMenu() {
  SetWindow(nullptr);
  FItems->OnChange = nullptr;
  delete FItems;
}

void TMainMenu::SetWindow(TCustomForm* Form) {
  if (Form == FWindow) return;
  if (FWindow) FWindow->RemoveFreeNotification(this);
  FBinding.reset();
  FWindow = Form;
  if (!FWindow) return;
  FWindow->FreeNotification(this);
  FBinding = std::make_unique<TMenuBarBinding>(*this, *FWindow);
  FBinding->Sync();
}

void TMainMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FWindow) {
    // The form's window is going: the bar goes with it, only forget it.
    if (FBinding) {
      FBinding->Bar = nullptr;
      FBinding->Host = nullptr;
    }
    FBinding.reset();
    FWindow = nullptr;
  }
}

void TMainMenu::SyncMenuBar() {
  if (FBinding) FBinding->Sync();
}

bool TMainMenu::MenuBarEntry(const TMenuItem* Item, TMenuBarEntry& Out) {
  SyncMenuBar();
  if (!FBinding) return false;
  auto it = FBinding->Entries.find(Item);
  if (it == FBinding->Entries.end()) return false;
  FillEntry(it->second.Action, Out);
  Out.SubCount = it->second.Menu ? static_cast<int32_t>(it->second.Menu->actions().size()) : 0;
  return true;
}

bool TMainMenu::TriggerMenuBarEntry(const TMenuItem* Item) {
  SyncMenuBar();
  if (!FBinding) return false;
  auto it = FBinding->Entries.find(Item);
  if (it == FBinding->Entries.end() || it->second.Menu) return false;
  it->second.Action->trigger();
  return true;
}


std::vector<TMenuBarEntry> TMainMenu::WindowListEntries() {
  SyncMenuBar();
  std::vector<TMenuBarEntry> out;
  if (!FBinding) return out;
  for (const QAction* a : FBinding->WindowList)
    if (a) FillEntry(a, out.emplace_back());
  return out;
}

bool TMainMenu::TriggerWindowListEntry(int32_t Index) {
  SyncMenuBar();
  if (!FBinding) return false;
  int32_t n = 0;
  for (QAction* a : FBinding->WindowList)
    if (a && !a->isSeparator() && n++ == Index) {
      a->trigger();
      return true;
    }
  return false;
}

}  // namespace kv

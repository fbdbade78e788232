// The main menu and the menu bar that shows it on a form: one Qt action per
// item, kept in step with the items. Item changes only mark the bar stale; it
// is brought up to date once the current event is over, so that a click
// handler may rebuild whole menus without deleting the action that runs it.
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <unordered_map>

#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/peer.h"

namespace kv {

void TScrollPeer::SetTopMargin(int32_t Value) {
  if (Value == TopMargin) return;
  TopMargin = Value;
  setViewportMargins(0, Value, 0, 0);
}

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
    std::unordered_map<const TMenuItem*, TEntry> old;
    old.swap(Entries);
    SyncItems(Menu.Items(), bar, old);
    for (auto& [item, e] : old) Free(e);
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
  const QAction* a = it->second.Action;
  Out.Text = a->text().toStdString();
  Out.Enabled = a->isEnabled();
  Out.Visible = a->isVisible();
  Out.Checkable = a->isCheckable();
  Out.Checked = a->isChecked();
  Out.Separator = a->isSeparator();
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

}  // namespace kv

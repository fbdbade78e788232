// Popup menus over QMenu, or over a test's runner.
#include "platform/ui/popup_menu.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QMenu>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "platform/ui/qt_app.h"

namespace kv {

namespace {
TPopupRunner& Runner() {
  static TPopupRunner r;
  return r;
}

int32_t RunQtMenu(TPopupMenu& Menu, int32_t X, int32_t Y) {
  EnsureQtApplication();
  const QString platform = QGuiApplication::platformName();
  if (RunningWithoutDisplay()) return -1;
  if (platform == "offscreen" || platform == "minimal") {
    std::fprintf(stderr, "kavrelin: a popup menu was shown with no one to answer it\n");
    std::abort();
  }
  QMenu m;
  std::vector<QAction*> actions;
  // Same order as FlattenPopupItems, so the chosen action maps to its index.
  const std::function<void(QMenu&, const std::vector<TPopupItem>&)> add = [&](QMenu& Into,
                                                                             const std::vector<TPopupItem>& Items) {
    for (const TPopupItem& it : Items) {
      if (it.Caption == "-") {
        actions.push_back(Into.addSeparator());
        continue;
      }
      if (!it.Items.empty()) {
        QMenu* sub = Into.addMenu(QString::fromStdString(it.Caption));
        sub->setEnabled(it.Enabled);
        actions.push_back(sub->menuAction());
        add(*sub, it.Items);
        continue;
      }
      QAction* a = Into.addAction(QString::fromStdString(it.Caption));
      a->setEnabled(it.Enabled);
      if (it.Checked) {
        a->setCheckable(true);
        a->setChecked(true);
      }
      actions.push_back(a);
    }
  };
  add(m, Menu.Items());
  QPoint at(X, Y);
  const QSize hint = m.sizeHint();
  if (Menu.Alignment() == paRight) at.rx() -= hint.width();
  else if (Menu.Alignment() == paCenter) at.rx() -= hint.width() / 2;
  QAction* chosen = m.exec(at);
  for (size_t i = 0; i < actions.size(); ++i)
    if (actions[i] == chosen) return static_cast<int32_t>(i);
  return -1;
}
}  // namespace

void SetPopupRunner(TPopupRunner R) { Runner() = std::move(R); }

std::vector<const TPopupItem*> FlattenPopupItems(const std::vector<TPopupItem>& Items) {
  std::vector<const TPopupItem*> out;
  const std::function<void(const std::vector<TPopupItem>&)> walk = [&](const std::vector<TPopupItem>& List) {
    for (const TPopupItem& it : List) {
      out.push_back(&it);
      walk(it.Items);
    }
  };
  walk(Items);
  return out;
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner) {}

void TPopupMenu::Popup(int32_t X, int32_t Y) {
  if (OnPopup) OnPopup(this);
  const int32_t i = Runner() ? Runner()(*this, X, Y) : RunQtMenu(*this, X, Y);
  const std::vector<const TPopupItem*> all = FlattenPopupItems(FItems);
  if (i < 0 || i >= static_cast<int32_t>(all.size())) return;
  const TPopupItem& it = *all[size_t(i)];
  if (!it.Enabled || it.Caption == "-" || !it.Items.empty() || !it.OnClick) return;
  const TNotifyEvent click = it.OnClick;  // the handler may rebuild the items
  click(this);
}

const TPropertyTable& TPopupMenu::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TPopupMenu>(TComponent::PropertyTable(), [](auto& p) {
    p.Bool("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup);
    p.Enum("Alignment", &TPopupMenu::Alignment, &TPopupMenu::SetAlignment, {"paLeft", "paRight", "paCenter"});
    p.Method("OnPopup");
  });
  return table;
}

}  // namespace kv

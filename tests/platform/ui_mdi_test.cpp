// The multiple-document frame: children as sub-windows of its client area,
// their stacking order and activation, arranging, closing through the
// sub-window, and the status bar that narrows the client area.
#include <QtGui/QImage>
#include <QtWidgets/QMdiArea>
#include <QtWidgets/QMdiSubWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QScrollBar>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/panel.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/status_bar.h"

namespace kv {
namespace {

class Mdi : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Frame = std::make_unique<TForm>(nullptr);
    Frame->SetFormStyle(fsMDIForm);
    Frame->SetBounds(0, 0, 800, 600);
    Frame->Show();
    Pump();
  }
  void TearDown() override {
    for (TForm* c : Children) delete c;
    Frame.reset();
    Pump();
  }
  static void Pump() {
    for (int i = 0; i < 3; ++i) Application->ProcessMessages();
  }
  TForm* NewChild(const std::string& Caption) {
    auto* c = new TForm(nullptr);
    c->SetFormStyle(fsMDIChild);
    c->SetCaption(Caption);
    c->SetBounds(10, 10, 200, 150);
    c->Show();
    Children.push_back(c);
    return c;
  }
  QMdiArea* Area() { return PeerWidget(Frame.get())->findChild<QMdiArea*>(); }
  QMdiSubWindow* SubOf(TForm* Child) {
    for (QMdiSubWindow* s : Area()->subWindowList())
      if (s->widget() == PeerWidget(Child)) return s;
    return nullptr;
  }

  std::unique_ptr<TForm> Frame;
  std::vector<TForm*> Children;
};

TEST_F(Mdi, ChildrenLiveInTheFrameInStackingOrder) {
  TForm* a = NewChild("a");
  TForm* b = NewChild("b");
  TForm* c = NewChild("c");
  ASSERT_NE(Area(), nullptr);
  EXPECT_EQ(Area()->subWindowList().size(), 3);
  EXPECT_EQ(Frame->MDIChildCount(), 3);
  EXPECT_EQ(Frame->ActiveMDIChild(), c);
  EXPECT_EQ(Frame->MDIChildren(0), c);
  EXPECT_EQ(Frame->MDIChildren(2), a);
  EXPECT_EQ(Frame->MDIChildren(3), nullptr);
  EXPECT_EQ(c->MDIFrame(), Frame.get());
  EXPECT_EQ(SubOf(b)->windowTitle().toStdString(), "b");
  EXPECT_TRUE(c->Active());
  EXPECT_FALSE(b->Active());

  a->BringToFront();
  EXPECT_EQ(Frame->ActiveMDIChild(), a);
  EXPECT_TRUE(a->Active());
  EXPECT_FALSE(c->Active());
  Frame->Next();
  EXPECT_EQ(Frame->ActiveMDIChild(), c);
  EXPECT_EQ(Frame->MDIChildren(2), a);  // the one left goes to the back
  b->SetCaption("renamed");
  EXPECT_EQ(SubOf(b)->windowTitle().toStdString(), "renamed");
}

// The window menu lists the shown children below its own items, numbered in
// the order they came, the active one checked, and picks one when chosen.
TEST_F(Mdi, WindowMenuListsTheChildrenAndActivatesTheChosenOne) {
  auto* menu = new TMainMenu(Frame.get());
  auto* windows = new TMenuItem(Frame.get());
  windows->SetCaption("&Fenster");
  menu->Items()->Add(windows);
  auto* tile = new TMenuItem(Frame.get());
  tile->SetCaption("Nebeneinander");
  windows->Add(tile);
  menu->SetWindow(Frame.get());
  EXPECT_TRUE(menu->WindowListEntries().empty());  // no window menu yet
  Frame->SetWindowMenu(windows);
  EXPECT_TRUE(menu->WindowListEntries().empty());  // no children: not even the separator

  TForm* a = NewChild("a");
  TForm* b = NewChild("b & c");
  TForm* c = NewChild("c");
  TForm* hidden = NewChild("hidden");
  hidden->Hide();
  c->BringToFront();
  auto texts = [&] {
    std::vector<std::string> out;
    for (const TMenuBarEntry& e : menu->WindowListEntries())
      out.push_back(e.Separator ? "-" : (e.Checked ? "*" : "") + e.Text);
    return out;
  };
  EXPECT_EQ(texts(), (std::vector<std::string>{"-", "&1 a", "&2 b && c", "*&3 c"}));
  TMenuBarEntry e;
  ASSERT_TRUE(menu->MenuBarEntry(windows, e));
  EXPECT_EQ(e.SubCount, 5);  // its own item, the separator and three windows

  // Choosing a minimised child restores and activates it.
  a->SetWindowState(wsMinimized);
  EXPECT_TRUE(menu->TriggerWindowListEntry(0));
  EXPECT_EQ(Frame->ActiveMDIChild(), a);
  EXPECT_EQ(a->WindowState(), wsNormal);
  EXPECT_EQ(texts(), (std::vector<std::string>{"-", "*&1 a", "&2 b && c", "&3 c"}));

  // A child that goes leaves the list, and the others close up.
  std::erase(Children, b);
  delete b;
  c->SetCaption("renamed");
  EXPECT_EQ(texts(), (std::vector<std::string>{"-", "*&1 a", "&2 renamed"}));
  EXPECT_FALSE(menu->TriggerWindowListEntry(2));

  // Opening the menu shows a child that came since the bar was last brought up to date.
  QMenu* shown = nullptr;
  for (QAction* a : PeerWidget(Frame.get())->findChild<QMenuBar*>()->actions())
    if (a->text() == "&Fenster") shown = a->menu();
  ASSERT_NE(shown, nullptr);
  const qsizetype before = shown->actions().size();
  NewChild("d");
  EXPECT_EQ(shown->actions().size(), before);
  emit shown->aboutToShow();
  ASSERT_EQ(shown->actions().size(), before + 1);
  EXPECT_EQ(shown->actions().back()->text().toStdString(), "&3 d");
  // A freed window menu is forgotten.
  delete windows;
  EXPECT_EQ(Frame->WindowMenu(), nullptr);
  EXPECT_TRUE(menu->WindowListEntries().empty());
}

TEST_F(Mdi, ActivationEventsFollowTheActiveChild) {
  std::vector<std::string> log;
  TForm* a = NewChild("a");
  TForm* b = NewChild("b");
  for (TForm* f : {a, b}) {
    f->OnActivate = [&log](TObject* S) { log.push_back("+" + static_cast<TForm*>(S)->Caption()); };
    f->OnDeactivate = [&log](TObject* S) { log.push_back("-" + static_cast<TForm*>(S)->Caption()); };
  }
  a->BringToFront();
  b->BringToFront();
  EXPECT_EQ(log, (std::vector<std::string>{"-b", "+a", "-a", "+b"}));
}

TEST_F(Mdi, BoundsAreTheChildsOwnWidgetInsideItsSubWindow) {
  TForm* a = NewChild("a");
  a->SetBounds(30, 40, 220, 160);
  QMdiSubWindow* sub = SubOf(a);
  EXPECT_EQ(sub->pos(), QPoint(30, 40));
  EXPECT_EQ(PeerWidget(a)->size(), QSize(220, 160));
  // The user moving the sub-window moves the form.
  sub->move(70, 20);
  EXPECT_EQ(a->Left(), 70);
  EXPECT_EQ(a->Top(), 20);
  EXPECT_EQ(a->Width(), 220);
}

TEST_F(Mdi, TileKeepsEveryChildInsideTheClientArea) {
  for (const char* n : {"a", "b", "c", "d"}) NewChild(n);
  Frame->Tile();
  const TRect client = Frame->MDIClientRect();
  for (TForm* c : Children) {
    EXPECT_GE(c->Left(), 0);
    EXPECT_GE(c->Top(), 0);
    EXPECT_LE(c->Left() + c->Width(), client.Width());
    EXPECT_LE(c->Top() + c->Height(), client.Height());
  }
  // Tiled side by side: no two overlap.
  for (size_t i = 0; i < Children.size(); ++i)
    for (size_t j = i + 1; j < Children.size(); ++j) {
      const TRect p = Children[i]->BoundsRect(), q = Children[j]->BoundsRect();
      EXPECT_TRUE(p.Right <= q.Left || q.Right <= p.Left || p.Bottom <= q.Top || q.Bottom <= p.Top) << i << j;
    }
  Frame->Cascade();
  EXPECT_NE(Children[0]->Top(), Children[1]->Top());
  EXPECT_NE(Children[0]->Left(), Children[1]->Left());
}

// A child maximised after tiling, by its own state or by the user at its
// sub-window, lays its controls out over the whole area; restored, it gets
// its tiled bounds back.
TEST_F(Mdi, MaximisedChildFillsTheAreaAfterTile) {
  for (const char* n : {"a", "b", "c", "d", "e", "f", "g", "h"}) NewChild(n);
  std::vector<TPanel*> views;
  for (TForm* c : Children) {
    auto* p = new TPanel(c);
    p->SetAlign(alClient);
    p->SetParent(c);
    views.push_back(p);
  }
  Frame->Tile();
  Pump();
  const TRect client = Frame->MDIClientRect();
  for (int byUser = 0; byUser < 2; ++byUser) {
    TForm* c = Children[size_t(2 + byUser)];
    TPanel* view = views[size_t(2 + byUser)];
    const TRect tiled = c->BoundsRect();
    ASSERT_LT(tiled.Width(), client.Width() / 2);
    if (byUser)
      SubOf(c)->showMaximized();
    else
      c->SetWindowState(wsMaximized);
    Pump();
    const QSize inside = PeerWidget(c)->size();
    EXPECT_GT(inside.width(), client.Width() * 3 / 4) << byUser;
    EXPECT_EQ(c->Width(), inside.width()) << byUser;
    EXPECT_EQ(c->Height(), inside.height()) << byUser;
    EXPECT_EQ(view->Width(), inside.width()) << byUser;
    EXPECT_EQ(view->Height(), inside.height()) << byUser;
    if (byUser)
      SubOf(c)->showNormal();
    else
      c->SetWindowState(wsNormal);
    Pump();
    EXPECT_EQ(c->BoundsRect(), tiled) << byUser;
    EXPECT_EQ(view->Width(), tiled.Width()) << byUser;
  }
}

TEST_F(Mdi, ClosingTheSubWindowAsksTheChild) {
  TForm* a = NewChild("a");
  TForm* b = NewChild("b");
  bool allow = false;
  b->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = allow; };
  b->OnClose = [](TObject*, TCloseAction& Action) { Action = caFree; };
  SubOf(b)->close();
  EXPECT_EQ(Frame->MDIChildCount(), 2);
  EXPECT_TRUE(SubOf(b)->isVisible());
  allow = true;
  SubOf(b)->close();
  // On its way out: no longer a child, and the one before is active again.
  EXPECT_EQ(Frame->MDIChildCount(), 1);
  EXPECT_EQ(Frame->ActiveMDIChild(), a);
  b->SetCaption("going");  // a released child does not come back meanwhile
  EXPECT_FALSE(SubOf(b)->isVisible());
  Children.pop_back();  // freed by its release
  Pump();
  EXPECT_EQ(Area()->subWindowList().size(), 1);
}

TEST_F(Mdi, ChildWithoutFrameCannotBeMade) {
  Frame.reset();
  TForm orphan(nullptr);
  orphan.SetFormStyle(fsMDIChild);
  EXPECT_THROW(orphan.HandleNeeded(), EInvalidOperation);
}

TEST_F(Mdi, FreeingTheFrameFirstLeavesItsChildrenUsable) {
  TForm* a = NewChild("a");
  Frame.reset();
  EXPECT_EQ(a->MDIFrame(), nullptr);
  a->SetCaption("still here");
  EXPECT_EQ(a->Caption(), "still here");
}

TEST_F(Mdi, AlignedBarsNarrowTheClientArea) {
  auto* bar = new TStatusBar(Frame.get());
  bar->SetParent(Frame.get());
  bar->SetSimplePanel(true);
  bar->SetSimpleText("Bereit");
  Pump();
  const TRect r = Frame->MDIClientRect();
  EXPECT_EQ(r.Height(), Frame->ClientHeight() - bar->Height());
  EXPECT_EQ(r.Width(), Frame->ClientWidth());
  EXPECT_EQ(Area()->geometry(), QRect(r.Left, r.Top, r.Width(), r.Height()));
  EXPECT_EQ(bar->SimpleText(), "Bereit");
  EXPECT_EQ(bar->Top() + bar->Height(), Frame->ClientHeight());
}

// What the frame paints behind the children (a wallpaper) can follow the
// client area's scrolling: the frame hears of it with the distance moved.
TEST_F(Mdi, ScrollingTheClientAreaTellsTheFrame) {
  TForm* far = NewChild("weit");
  far->SetBounds(1500, 1200, 200, 150);
  Pump();
  std::vector<std::pair<UINT, LPARAM>> seen;
  const TWndMethod previous = Frame->WindowProc;
  Frame->WindowProc = [&](TMessage& M) {
    if (M.Msg == WM_HSCROLL || M.Msg == WM_VSCROLL) seen.emplace_back(M.Msg, M.LParam);
    previous(M);
  };
  QScrollBar* h = Area()->horizontalScrollBar();
  QScrollBar* v = Area()->verticalScrollBar();
  ASSERT_GT(h->maximum(), 100);
  ASSERT_GT(v->maximum(), 40);
  h->setValue(100);
  v->setValue(40);
  h->setValue(70);
  Frame->WindowProc = previous;
  EXPECT_EQ(seen, (std::vector<std::pair<UINT, LPARAM>>{{WM_HSCROLL, -100}, {WM_VSCROLL, -40}, {WM_HSCROLL, 30}}));
}

TEST_F(Mdi, FramePaintingShowsBehindTheChildren) {
  NewChild("a")->SetBounds(0, 0, 100, 80);
  Frame->SetColor(clRed);
  Pump();
  const QImage shot = PeerWidget(Frame.get())->grab().toImage();
  EXPECT_EQ(shot.pixelColor(700, 500), QColor(Qt::red));
  EXPECT_NE(shot.pixelColor(50, 60), QColor(Qt::red));
}

TEST(StatusBar, PanelsKeepTheirTextsAndIgnoreBadIndexes) {
  EnsureQtApplication();
  TStatusBar bar(nullptr);
  EXPECT_EQ(bar.Align(), alBottom);
  bar.SetPanelCount(2);
  bar.SetPanelText(1, "zwei");
  bar.SetPanelText(5, "nichts");
  EXPECT_EQ(bar.PanelText(1), "zwei");
  EXPECT_EQ(bar.PanelText(5), "");
  EXPECT_EQ(bar.PanelText(-1), "");
}

}  // namespace
}  // namespace kv

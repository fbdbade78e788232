// The standard dialog controls driven through their Qt widgets, as a person
// would: the control's state and events must follow what the widget did.
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QSlider>
#include <QtWidgets/QTabBar>
#include <QtWidgets/QToolButton>
#include <gtest/gtest.h>

#include "platform/ui/forms.h"
#include "platform/ui/page_control.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/track_bar.h"

namespace kv {
namespace {

class StdControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 400, 300);
  }
  template <class T>
  T* Add() {
    T* c = new T(Form.get());
    c->SetParent(Form.get());
    return c;
  }
  std::unique_ptr<TForm> Form;
};

TEST_F(StdControlsTest, WidgetInputReachesTheControls) {
  TEdit* edit = Add<TEdit>();
  TComboBox* combo = Add<TComboBox>();
  TCheckBox* check = Add<TCheckBox>();
  TTrackBar* track = Add<TTrackBar>();
  combo->SetItems({"a", "b", "c"});
  track->SetRange(0, 100);
  int edits = 0, picks = 0, clicks = 0, moves = 0;
  edit->OnChange = [&](TObject*) { ++edits; };
  combo->OnChange = [&](TObject*) { ++picks; };
  check->OnClick = [&](TObject*) { ++clicks; };
  track->OnChange = [&](TObject*) { ++moves; };
  Form->Show();

  auto* e = dynamic_cast<QLineEdit*>(PeerWidget(edit));
  ASSERT_NE(e, nullptr);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
  QApplication::sendEvent(e, &key);
  EXPECT_EQ(edit->Text(), "x");
  EXPECT_EQ(edits, 1);
  edit->SetText("yz");  // set by the program: the widget follows, OnChange runs as well
  EXPECT_EQ(e->text().toStdString(), "yz");
  EXPECT_EQ(edits, 2);

  auto* c = dynamic_cast<QComboBox*>(PeerWidget(combo));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->count(), 3);
  combo->SetItemIndex(1);  // no event for the program's choice
  EXPECT_EQ(c->currentIndex(), 1);
  EXPECT_EQ(picks, 0);
  Q_EMIT c->activated(2);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(picks, 1);

  dynamic_cast<QCheckBox*>(PeerWidget(check))->click();
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(clicks, 1);

  dynamic_cast<QSlider*>(PeerWidget(track))->setValue(40);
  EXPECT_EQ(track->Position(), 40);
  EXPECT_EQ(moves, 1);
  track->SetPosition(500);  // clamped
  EXPECT_EQ(track->Position(), 100);
  EXPECT_EQ(dynamic_cast<QSlider*>(PeerWidget(track))->value(), 100);
}

TEST_F(StdControlsTest, EditableComboBoxTakesTypedTextAndShowsChosenEntries) {
  TComboBox* combo = Add<TComboBox>();
  combo->SetItems({"100 %", "50 %"});
  combo->SetEditable(true);
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  combo->SetText("75 %");
  Form->Show();

  auto* c = dynamic_cast<QComboBox*>(PeerWidget(combo));
  ASSERT_NE(c, nullptr);
  ASSERT_NE(c->lineEdit(), nullptr);
  EXPECT_EQ(c->lineEdit()->text().toStdString(), "75 %");
  EXPECT_EQ(changes, 0);

  combo->Select(1);
  EXPECT_EQ(combo->Text(), "50 %");
  EXPECT_EQ(changes, 1);

  QKeyEvent key(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, "5");
  QApplication::sendEvent(c->lineEdit(), &key);
  EXPECT_EQ(combo->Text(), "50 %5");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(changes, 2);

  combo->SetText("200 %");  // the program's text: shown, no event
  EXPECT_EQ(c->lineEdit()->text().toStdString(), "200 %");
  EXPECT_EQ(changes, 2);

  // A list takes no typed text.
  TComboBox* list = Add<TComboBox>();
  list->SetItems({"a"});
  list->TypeText("x");
  EXPECT_EQ(list->Text(), "");
  EXPECT_EQ(list->ItemIndex(), -1);
}

TEST_F(StdControlsTest, UpDownStepsItsEditWithinRange) {
  TEdit* edit = Add<TEdit>();
  TUpDown* arrows = Add<TUpDown>();
  arrows->SetRange(0, 3);
  arrows->SetAssociate(edit);
  edit->SetText("2");
  Form->Show();
  QList<QToolButton*> buttons = PeerWidget(arrows)->findChildren<QToolButton*>();
  ASSERT_EQ(buttons.size(), 2);
  buttons[0]->click();  // up
  EXPECT_EQ(edit->Text(), "3");
  buttons[0]->click();
  EXPECT_EQ(edit->Text(), "3");
  edit->SetText("junk");
  buttons[1]->click();  // down from the last position
  EXPECT_EQ(edit->Text(), "2");
  delete edit;  // the arrows forget it
  EXPECT_EQ(arrows->Associate(), nullptr);
  arrows->StepUp();
}

TEST_F(StdControlsTest, PageControlShowsOnePageAndAsksBeforeChanging) {
  TPageControl* pages = Add<TPageControl>();
  pages->SetBounds(0, 0, 300, 200);
  pages->SetTabPosition(tpBottom);
  TTabSheet* sheets[3];
  for (int i = 0; i < 3; ++i) {
    sheets[i] = new TTabSheet(Form.get());
    sheets[i]->SetCaption(std::string("P&") + char('0' + i));
    sheets[i]->SetPageControl(pages);
  }
  sheets[1]->SetTabVisible(false);
  pages->SetActivePage(sheets[0]);
  Form->Show();
  EXPECT_TRUE(sheets[0]->Visible());
  EXPECT_FALSE(sheets[2]->Visible());
  EXPECT_EQ(sheets[0]->Top(), 0);
  EXPECT_EQ(sheets[0]->Height(), 200 - TPageControl::kTabHeight);
  auto* bar = PeerWidget(pages)->findChild<QTabBar*>();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->count(), 2);
  EXPECT_EQ(bar->tabText(1).toStdString(), "P2");

  bool allow = false;
  int changes = 0;
  pages->OnChanging = [&](TObject*, bool& Allow) { Allow = allow; };
  pages->OnChange = [&](TObject*) { ++changes; };
  bar->setCurrentIndex(1);  // refused
  EXPECT_EQ(pages->ActivePage(), sheets[0]);
  EXPECT_EQ(bar->currentIndex(), 0);
  allow = true;
  bar->setCurrentIndex(1);
  EXPECT_EQ(pages->ActivePage(), sheets[2]);
  EXPECT_TRUE(sheets[2]->Visible());
  EXPECT_FALSE(sheets[0]->Visible());
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(pages->SelectPage(sheets[1]));  // its tab is hidden
  EXPECT_EQ(pages->FindNextPage(sheets[2], true), sheets[0]);
}

// A dialog with several faces hides every tab and picks its page itself.
TEST_F(StdControlsTest, PagesWithHiddenTabsArePickedByTheProgram) {
  TPageControl* pages = Add<TPageControl>();
  pages->SetBounds(0, 0, 300, 200);
  TTabSheet* sheets[2];
  for (TTabSheet*& s : sheets) {
    s = new TTabSheet(Form.get());
    s->SetPageControl(pages);
    s->SetTabVisible(false);
  }
  Form->Show();
  pages->SetActivePage(sheets[1]);
  EXPECT_EQ(pages->ActivePage(), sheets[1]);
  EXPECT_TRUE(sheets[1]->Visible());
  EXPECT_FALSE(pages->SelectPage(sheets[0]));  // no tab for the user to pick
  EXPECT_EQ(sheets[1]->Top(), 0);              // no tab bar takes room
  EXPECT_EQ(sheets[1]->Height(), 200);
  auto* bar = PeerWidget(pages)->findChild<QTabBar*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(bar->isVisible());
}

TEST_F(StdControlsTest, SpeedButtonsOfAGroupPressOneAtATime) {
  TSpeedButton* a = Add<TSpeedButton>();
  TSpeedButton* b = Add<TSpeedButton>();
  TSpeedButton* plain = Add<TSpeedButton>();
  for (TSpeedButton* s : {a, b}) s->SetGroupIndex(1);
  a->SetAllowAllUp(true);
  Form->Show();
  dynamic_cast<QToolButton*>(PeerWidget(a))->click();
  EXPECT_TRUE(a->Down());
  b->Click();
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  EXPECT_FALSE(dynamic_cast<QToolButton*>(PeerWidget(a))->isChecked());
  b->Click();  // not AllowAllUp: stays down
  EXPECT_TRUE(b->Down());
  a->Click();
  a->Click();  // AllowAllUp: comes up
  EXPECT_FALSE(a->Down());
  plain->SetDown(true);  // a button without a group never stays down
  EXPECT_FALSE(plain->Down());
  EXPECT_EQ(StripAccelerator("Fish && &Chips"), "Fish & Chips");
}

}  // namespace
}  // namespace kv

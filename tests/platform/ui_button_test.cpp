#include "platform/ui/button.h"

#include <QtGui/QKeySequence>
#include <QtWidgets/QPushButton>

#include "platform/ui/dialogs.h"
#include "platform/ui/qt_app.h"
#include "ui_test_support.h"

namespace kv {
namespace {

using uitest::SendKey;
using uitest::SendMouse;

class TQtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { EnsureQtApplication(); }
};
::testing::Environment* const GQtEnv = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

class ButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 300, 200);
  }
  void TearDown() override { delete Form; }

  // A button on the form that counts its OnClick calls in Clicks[Index].
  TButton* AddButton(int Index, const std::string& Caption, int32_t Left) {
    auto* b = new TButton(Form);
    b->SetParent(Form);
    b->SetCaption(Caption);
    b->SetLeft(Left);
    b->OnClick = [this, Index](TObject*) { ++Clicks[Index]; };
    return b;
  }

  TForm* Form = nullptr;
  int Clicks[3] = {0, 0, 0};
};

TEST_F(ButtonTest, DefaultsPropertiesAndMnemonic) {
  TButton* b = AddButton(0, "&Cancel", 8);
  EXPECT_EQ(b->Width(), 75);
  EXPECT_EQ(b->Height(), 25);
  EXPECT_TRUE(b->TabStop());
  SetPropValue(b, "ModalResult", "2");
  SetPropValue(b, "Cancel", "True");
  SetPropValue(b, "Default", "True");
  EXPECT_EQ(b->ModalResult(), mrCancel);
  EXPECT_TRUE(b->Cancel());
  EXPECT_TRUE(b->Default());
  EXPECT_EQ(GetPropValue(b, "Caption"), "&Cancel");
  EXPECT_EQ(GetPropValue(b, "Enabled"), "True");

  Form->Show();
  auto* q = qobject_cast<QPushButton*>(PeerWidget(b));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->text(), QStringLiteral("&Cancel"));
  EXPECT_EQ(q->shortcut(), QKeySequence(Qt::ALT | Qt::Key_C));
  EXPECT_TRUE(q->isDefault());
  b->SetCaption("&Close");  // a caption changed later reaches the Qt button
  EXPECT_EQ(q->text(), QStringLiteral("&Close"));
}

TEST_F(ButtonTest, MouseClickAndClickRaiseOnClick) {
  TButton* b = AddButton(0, "Go", 10);
  int downs = 0;
  b->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { ++downs; };
  Form->Show();
  SendMouse(b, QEvent::MouseButtonPress, 5, 5, Qt::LeftButton, Qt::LeftButton);
  SendMouse(b, QEvent::MouseButtonRelease, 5, 5, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Clicks[0], 1);
  EXPECT_EQ(downs, 1);
  // Released off the button: no click, as with any push button.
  SendMouse(b, QEvent::MouseButtonPress, 5, 5, Qt::LeftButton, Qt::LeftButton);
  SendMouse(b, QEvent::MouseButtonRelease, 200, 5, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Clicks[0], 1);
  b->Click();
  EXPECT_EQ(Clicks[0], 2);
}

TEST_F(ButtonTest, ModalResultEndsAModalRun) {
  TButton* plain = AddButton(0, "Apply", 10);
  TButton* ok = AddButton(1, "OK", 100);
  ok->SetModalResult(mrOk);
  TScriptedDialogsScope dialogs;
  dialogs->AnswerModal([&](TCustomForm& F) {
    plain->Click();
    EXPECT_EQ(F.ModalResult(), mrNone);  // mrNone leaves the form's result alone
    SendMouse(ok, QEvent::MouseButtonPress, 5, 5, Qt::LeftButton, Qt::LeftButton);
    SendMouse(ok, QEvent::MouseButtonRelease, 5, 5, Qt::LeftButton, Qt::NoButton);
    return mrNone;
  });
  EXPECT_EQ(Form->ShowModal(), mrOk);
  EXPECT_EQ(Clicks[0], 1);
  EXPECT_EQ(Clicks[1], 1);
  EXPECT_FALSE(Form->Visible());

  // OnClick runs after the result is set and may take it back.
  ok->OnClick = [](TObject* Sender) { GetParentForm(static_cast<TControl*>(Sender))->SetModalResult(mrNone); };
  Form->Show();
  ok->Click();
  EXPECT_EQ(Form->ModalResult(), mrNone);
}

TEST_F(ButtonTest, EnterAndEscapePressTheDefaultAndCancelButtons) {
  auto* other = new uitest::TRecorder(Form);
  other->SetParent(Form);
  other->SetBounds(10, 100, 50, 50);
  TButton* def = AddButton(0, "OK", 10);
  TButton* cancel = AddButton(1, "Cancel", 100);
  TButton* plain = AddButton(2, "Apply", 190);
  // A button on a panel hears dialog keys too: each control offers them to its children.
  auto* panel = new uitest::TRecorder(Form);
  panel->SetParent(Form);
  panel->SetBounds(90, 40, 100, 50);
  cancel->SetParent(panel);
  cancel->SetLeft(5);
  def->SetDefault(true);
  cancel->SetCancel(true);
  Form->Show();

  struct TCase {
    TWinControl* Focus;
    int Key;
    Qt::KeyboardModifiers Mods;
    bool CancelEnabled;
    int Pressed;  // index of the button clicked, -1 none
  };
  const TCase cases[] = {
      {other, Qt::Key_Escape, Qt::NoModifier, true, 1},
      {other, Qt::Key_Return, Qt::NoModifier, true, 0},
      {other, Qt::Key_Enter, Qt::KeypadModifier, true, 0},
      {plain, Qt::Key_Return, Qt::NoModifier, true, 2},  // the focused button takes Enter
      {def, Qt::Key_Escape, Qt::NoModifier, true, 1},
      {other, Qt::Key_Escape, Qt::ShiftModifier, true, -1},
      {other, Qt::Key_Escape, Qt::NoModifier, false, -1},
      {other, Qt::Key_A, Qt::NoModifier, true, -1},
  };
  for (const TCase& c : cases) {
    cancel->SetEnabled(c.CancelEnabled);
    c.Focus->SetFocus();
    Clicks[0] = Clicks[1] = Clicks[2] = 0;
    SendKey(c.Focus, QEvent::KeyPress, c.Key, c.Mods);
    SendKey(c.Focus, QEvent::KeyRelease, c.Key, c.Mods);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(Clicks[i], i == c.Pressed ? 1 : 0) << "key " << c.Key << " focus " << c.Focus->ClassName() << " button " << i;
  }
}

TEST_F(ButtonTest, EscapeEndsAModalRunThroughTheCancelButton) {
  TButton* cancel = AddButton(0, "Cancel", 10);
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  TScriptedDialogsScope dialogs;
  dialogs->AnswerModal([&](TCustomForm& F) {
    SendKey(&F, QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    return mrNone;
  });
  EXPECT_EQ(Form->ShowModal(), mrCancel);
  EXPECT_EQ(Clicks[0], 1);
}

}  // namespace
}  // namespace kv

// The splitter between two aligned panels: which control it resizes, dragging
// within the limits, the rubber-band line, Escape, refusals and the events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/controls/kv_splitter.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/std_controls.h"
#include "support/shot_file.h"

namespace kv {
namespace {

void Mouse(TControl& C, UINT Msg, int32_t X, int32_t Y, uint32_t Keys = 0) {
  C.Perform(Msg, Keys, static_cast<LPARAM>(MakeLong(X, Y)));
}

class Splitter : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 500, 400);
    Box = new TPanel(Form);
    Box->SetParent(Form);
    Box->SetBevelOuter(bvNone);
    Box->SetBounds(0, 0, 400, 300);
  }
  void TearDown() override { delete Form; }
  TPanel* Panel(TAlign Align, int32_t Size) {
    auto* p = new TPanel(Form);
    p->SetParent(Box);
    if (Align == alTop || Align == alBottom) p->SetHeight(Size);
    else p->SetWidth(Size);
    p->SetAlign(Align);
    return p;
  }
  TKvSplitter* Split(TAlign Align) {
    auto* s = new TKvSplitter(Form);
    s->SetParent(Box);
    s->SetAlign(Align);
    s->OnPosChanging = [this](TObject*, int32_t X, int32_t Y, bool& Allow) {
      Log.push_back("changing " + IntToStr(X) + "," + IntToStr(Y));
      Allow = !Refuse;
    };
    s->OnPosChanged = [this](TObject*) { Log.push_back("changed"); };
    return s;
  }
  TForm* Form = nullptr;
  TPanel* Box = nullptr;
  std::vector<std::string> Log;
  bool Refuse = false;
};

TEST_F(Splitter, DefaultsAndTheControlItResizes) {
  TKvSplitter plain(nullptr);
  EXPECT_EQ(plain.Width(), 185);
  EXPECT_EQ(plain.Height(), 3);
  EXPECT_EQ(plain.TopLeftLimit(), 20);
  EXPECT_EQ(plain.BottomRightLimit(), 20);
  EXPECT_FALSE(plain.Ctl3D());
  SetPropValue(&plain, "LimitOffset", "7");  // the old single limit sets both
  EXPECT_EQ(plain.TopLeftLimit(), 7);
  EXPECT_EQ(plain.BottomRightLimit(), 7);
  EXPECT_EQ(plain.ResizeKind(), 0);

  TPanel* left = Panel(alLeft, 100);
  TKvSplitter* s = Split(alLeft);
  EXPECT_EQ(s->Width(), 3);
  EXPECT_EQ(s->ControlFirst(), left);  // the control touching its aligned side
  TPanel* rest = Panel(alClient, 0);
  s->SetControlSecond(rest);
  EXPECT_EQ(s->ResizeKind(), 3);
  EXPECT_EQ(s->Cursor(), crHSplit);
  s->SetControlFirst(Form);  // refused
  s->SetControlSecond(s);    // refused
  EXPECT_EQ(s->ControlFirst(), left);
  EXPECT_EQ(s->ControlSecond(), rest);
  struct Case {
    TAlign First, Second, Own;
    int32_t Kind;
  } cases[] = {{alTop, alClient, alTop, 1},  {alBottom, alClient, alBottom, 1}, {alClient, alTop, alTop, 2},
               {alLeft, alClient, alLeft, 3}, {alClient, alRight, alRight, 4},  {alLeft, alClient, alTop, 0},
               {alTop, alLeft, alTop, 0},     {alClient, alClient, alTop, 0}};
  for (const Case& c : cases) {
    left->SetAlign(c.First);
    rest->SetAlign(c.Second);
    s->SetAlign(c.Own);
    EXPECT_EQ(s->ResizeKind(), c.Kind) << int(c.First) << " " << int(c.Second) << " " << int(c.Own);
  }
  delete rest;  // a freed control is forgotten
  EXPECT_EQ(s->ControlSecond(), nullptr);
}

TEST_F(Splitter, DraggingResizesWithinTheLimitsAndRaisesTheEvents) {
  TPanel* top = Panel(alTop, 100);
  TKvSplitter* s = Split(alTop);
  TPanel* rest = Panel(alClient, 0);
  s->SetControlSecond(rest);
  ASSERT_EQ(s->ControlFirst(), top);
  ASSERT_EQ(s->Top(), 100);
  EXPECT_EQ(s->Cursor(), crVSplit);

  Mouse(*s, WM_LBUTTONDOWN, 50, 0, MK_LBUTTON);
  EXPECT_TRUE(s->Dragging());
  EXPECT_FALSE(Application->ShowHint());  // no hints while dragging
  Mouse(*s, WM_MOUSEMOVE, 50, 40, MK_LBUTTON);
  EXPECT_EQ(s->LineRect(), (TRect{0, 140, 400, 142}));  // across the parent, two pixels
  Mouse(*s, WM_LBUTTONUP, 50, 40);
  EXPECT_FALSE(s->Dragging());
  EXPECT_TRUE(Application->ShowHint());
  EXPECT_EQ(top->Height(), 140);
  EXPECT_EQ(s->Top(), 140);
  EXPECT_EQ(rest->Top(), 143);
  EXPECT_EQ(Log, (std::vector<std::string>{"changing 50,40", "changing 50,40", "changed"}));

  // Beyond the parent's edges the splitter stops the limit's pixels before them.
  Mouse(*s, WM_LBUTTONDOWN, 50, 0, MK_LBUTTON);
  Mouse(*s, WM_MOUSEMOVE, 50, -500, MK_LBUTTON);
  EXPECT_EQ(s->Cursor(), crNoDrop);
  Mouse(*s, WM_LBUTTONUP, 50, -500);
  EXPECT_EQ(top->Height(), 20);
  Mouse(*s, WM_LBUTTONDOWN, 50, 0, MK_LBUTTON);
  Mouse(*s, WM_LBUTTONUP, 50, 900);
  EXPECT_EQ(s->Top(), 300 - 20);
  EXPECT_EQ(s->Cursor(), crVSplit);

  // A refused change leaves both panels as they are.
  Log.clear();
  Refuse = true;
  Mouse(*s, WM_LBUTTONDOWN, 50, 0, MK_LBUTTON);
  Mouse(*s, WM_MOUSEMOVE, 50, -30, MK_LBUTTON);
  Mouse(*s, WM_LBUTTONUP, 50, -30);
  EXPECT_EQ(s->Top(), 280);
  EXPECT_EQ(Log, (std::vector<std::string>{"changing 50,-30", "changing 50,-30"}));
  s->Invalidate();
  s->PreparePaint();
  test::SaveShot(s->BackBuffer(), "kv_splitter.png");
}

TEST_F(Splitter, EscapeCancelsThroughTheFocusedControlsKeys) {
  TPanel* left = Panel(alLeft, 100);
  TKvSplitter* s = Split(alLeft);
  auto* edit = new TEdit(Form);
  edit->SetParent(Box);
  std::vector<std::string> keys;
  edit->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) { keys.push_back(IntToStr(Key)); };
  Form->SetFocusedControl(edit);

  Mouse(*s, WM_LBUTTONDOWN, 1, 50, MK_LBUTTON);
  Mouse(*s, WM_MOUSEMOVE, 61, 50, MK_LBUTTON);
  edit->Perform(WM_KEYDOWN, 'A', 1);  // other keys still reach the edit's own handler
  edit->Perform(WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_FALSE(s->Dragging());
  Mouse(*s, WM_LBUTTONUP, 61, 50);
  EXPECT_EQ(left->Width(), 100);
  EXPECT_EQ(Log, std::vector<std::string>{"changing 61,50"});
  // The edit has its handler back.
  edit->Perform(WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_EQ(keys, (std::vector<std::string>{"65", IntToStr(VK_ESCAPE)}));

  Mouse(*s, WM_LBUTTONDOWN, 1, 50, MK_LBUTTON);
  Mouse(*s, WM_LBUTTONUP, 31, 50);
  EXPECT_EQ(left->Width(), 130);
}

}  // namespace
}  // namespace kv

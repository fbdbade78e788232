#include "imaging/views/im_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/qt_app.h"
#include "test_view.h"

namespace kv {
namespace {

using test::TTestView;


TEST(IMView, Defaults) {
  TTestView v;
  EXPECT_EQ(v.Background(), clBtnFace);
  EXPECT_EQ(v.BorderStyle(), bsSingle);
  EXPECT_TRUE(v.GetCtl3D());
  EXPECT_EQ(v.DpiX(), 0);
  EXPECT_EQ(v.DpiY(), 0);
  EXPECT_FALSE(v.OnMouseEnter);
  EXPECT_FALSE(v.OnMouseLeave);
  for (TControlStyleItem s : {csAcceptsControls, csOpaque, csReplicatable})
    EXPECT_TRUE(v.ControlStyle().Contains(s)) << int(s);
  EXPECT_FALSE(v.ControlStyle().Contains(csFramed));  // 3-D frames are always there
  EXPECT_EQ(v.BitmapChangeCount(), 0);

  EXPECT_EQ(GetPropValue(&v, "BorderStyle"), "bsSingle");
  EXPECT_EQ(GetPropValue(&v, "Ctl3D"), "True");
  SetPropValue(&v, "Background", "255");
  EXPECT_EQ(v.Background(), 255);
  SetPropValue(&v, "BorderStyle", "bsNone");
  EXPECT_EQ(v.BorderStyle(), bsNone);
  EXPECT_THROW(SetPropValue(&v, "BorderStyle", "bsSizeable"), EPropertyError);
  EXPECT_EQ(v.BorderStyle(), bsNone);
  EXPECT_TRUE(IsPublishedProp(&v, "OnMouseEnter"));
  EXPECT_TRUE(IsPublishedProp(&v, "ParentCtl3D"));
}

TEST(IMView, DpiZeroKeepsThePresentValue) {
  TTestView v;
  v.SetDpi(300, 150);
  EXPECT_EQ(v.DpiX(), 300);
  EXPECT_EQ(v.DpiY(), 150);
  v.SetDpiX(0);
  v.SetDpiY(0);
  v.SetDpi(0, 0);
  EXPECT_EQ(v.DpiX(), 300);
  EXPECT_EQ(v.DpiY(), 150);
  v.SetDpi(-72, 0);  // only 0 is refused
  EXPECT_EQ(v.DpiX(), -72);
  EXPECT_EQ(v.DpiY(), 150);
}

TEST(IMView, CreateParamsFrame) {
  struct Case {
    TBorderStyle Border;
    bool Ctl3D;
    bool ClientEdge;
    bool Border1;
  };
  for (const Case c : {Case{bsSingle, true, true, false}, Case{bsSingle, false, false, true},
                       Case{bsNone, true, false, false}, Case{bsNone, false, false, false}}) {
    TTestView v;
    v.SetBorderStyle(c.Border);
    v.SetCtl3D(c.Ctl3D);
    TCreateParams p;
    p.WindowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    v.CallCreateParams(p);
    EXPECT_EQ((p.ExStyle & WS_EX_CLIENTEDGE) != 0, c.ClientEdge) << int(c.Border) << c.Ctl3D;
    EXPECT_EQ((p.Style & WS_BORDER) != 0, c.Border1) << int(c.Border) << c.Ctl3D;
    EXPECT_EQ(p.WindowClass.style & (CS_HREDRAW | CS_VREDRAW), 0u);
    EXPECT_NE(p.WindowClass.style & CS_DBLCLKS, 0u);  // other class bits stay
  }
}

TEST(IMView, OnlyChangesRecreateTheWindow) {
  EnsureQtApplication();  // windows need the Qt application with widgets
  TTestView v;
  v.SetBounds(0, 0, 40, 30);
  v.HandleNeeded();
  ASSERT_TRUE(v.HandleAllocated());
  const int32_t made = v.CreateParamsCalls;
  EXPECT_NE(v.CurrentParams().ExStyle & WS_EX_CLIENTEDGE, 0u);

  v.SetBorderStyle(bsSingle);
  v.SetCtl3D(true);
  EXPECT_EQ(v.CreateParamsCalls, made);

  v.SetBorderStyle(bsNone);
  EXPECT_EQ(v.CreateParamsCalls, made + 1);
  EXPECT_EQ(v.CurrentParams().ExStyle & WS_EX_CLIENTEDGE, 0u);
  v.SetBorderStyle(bsSingle);
  v.SetCtl3D(false);
  EXPECT_EQ(v.CreateParamsCalls, made + 3);
  EXPECT_NE(v.CurrentParams().Style & WS_BORDER, 0u);
  EXPECT_FALSE(v.Ctl3D());
}

TEST(IMView, MouseEnterAndLeaveRaiseTheEvents) {
  TTestView v;
  v.Perform(CM_MOUSEENTER);  // no handler: nothing to call
  std::vector<std::string> seen;
  v.OnMouseEnter = [&](TObject* s) { seen.push_back(s == &v ? "enter" : "enter?"); };
  v.OnMouseLeave = [&](TObject* s) { seen.push_back(s == &v ? "leave" : "leave?"); };
  v.Perform(CM_MOUSEENTER);
  v.Perform(CM_MOUSELEAVE);
  v.Perform(WM_NULL);
  EXPECT_EQ(seen, (std::vector<std::string>{"enter", "leave"}));
}

TEST(IMView, RemovingAHandleTwiceDoesNothing) {
  int calls = 0;  // outlives the view, whose end calls the callbacks
  TTestView v;
  TIMBitmapChangeRecord* a = v.AddBitmapChangeEvent([&](TObject*, bool) { ++calls; });
  TIMBitmapChangeRecord* b = v.AddBitmapChangeEvent([&](TObject*, bool) { calls += 10; });
  ASSERT_NE(a, b);
  v.RemoveBitmapChangeEvent(a);
  v.RemoveBitmapChangeEvent(a);
  v.RemoveBitmapChangeEvent(nullptr);
  EXPECT_EQ(v.BitmapChangeCount(), 1);
  v.NotifyBitmapChange();
  EXPECT_EQ(calls, 10);
}

TEST(IMView, DestructionTellsEveryRegistrantOnceInOrder) {
  std::vector<std::string> seen;
  {
    auto v = std::make_unique<TTestView>();
    const TIMView* raw = v.get();  // the callbacks run inside TIMView's destructor
    for (const char* name : {"a", "b", "c"})
      v->AddBitmapChangeEvent([&seen, raw, name](TObject* s, bool d) {
        seen.push_back(std::string(name) + (d ? "+" : "-") + (s == raw ? "" : "?") +
                       std::to_string(raw->BitmapChangeCount()));
      });
    v.reset();
  }
  // Each record has left the list when its callback runs.
  EXPECT_EQ(seen, (std::vector<std::string>{"a+2", "b+1", "c+0"}));
}

TEST(IMView, CallbacksMayRemoveRegistrationsWhileBeingCalled) {
  // During a notification: the first removes itself and the third; the
  // second adds a fourth. Removed records are not called (and not freed
  // while running, which ASan would report); the added one waits.
  std::vector<std::string> seen;
  TIMBitmapChangeRecord* first = nullptr;
  TIMBitmapChangeRecord* third = nullptr;
  TTestView v;
  first = v.AddBitmapChangeEvent([&](TObject*, bool) {
    v.RemoveBitmapChangeEvent(first);
    v.RemoveBitmapChangeEvent(third);
    seen.push_back("1");
  });
  v.AddBitmapChangeEvent([&](TObject*, bool) {
    seen.push_back("2");
    v.AddBitmapChangeEvent([&](TObject*, bool) { seen.push_back("4"); });
  });
  third = v.AddBitmapChangeEvent([&](TObject*, bool) { seen.push_back("3"); });
  v.NotifyBitmapChange();
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(v.BitmapChangeCount(), 2);
  seen.clear();
  v.NotifyBitmapChange();
  EXPECT_EQ(seen, (std::vector<std::string>{"2", "4"}));
}

TEST(IMView, CallbacksMayRemoveRegistrationsDuringDestruction) {
  // The first registrant, told of the end, unregisters the second (as a
  // component freed from inside the callback would) and itself.
  std::vector<std::string> seen;
  TIMView* v = new TTestView();  // the callbacks run inside TIMView's destructor
  TIMBitmapChangeRecord* first = nullptr;
  TIMBitmapChangeRecord* second = nullptr;
  first = v->AddBitmapChangeEvent([&](TObject*, bool) {
    seen.push_back("1");
    v->RemoveBitmapChangeEvent(second);
    v->RemoveBitmapChangeEvent(first);
  });
  second = v->AddBitmapChangeEvent([&](TObject*, bool) { seen.push_back("2"); });
  v->AddBitmapChangeEvent([&](TObject*, bool d) { seen.push_back(d ? "3" : "3?"); });
  delete v;
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "3"}));
}

TEST(IMView, SameCallbackRegisteredTwiceIsCalledTwice) {
  int calls = 0;
  TTestView v;
  auto cb = [&](TObject*, bool d) { calls += d ? 100 : 1; };
  TIMBitmapChangeRecord* a = v.AddBitmapChangeEvent(cb);
  v.AddBitmapChangeEvent(cb);
  v.NotifyBitmapChange();
  EXPECT_EQ(calls, 2);
  v.RemoveBitmapChangeEvent(a);
  v.NotifyBitmapChange();
  EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace kv

#include "platform/ui/scrolling.h"

#include <QtCore/QPointer>
#include <QtWidgets/QScrollBar>
#include <functional>
#include <utility>

#include "ui_test_support.h"

namespace kv {
namespace {

// Records WM_HSCROLL / WM_VSCROLL as "V code pos" and, like a view, follows
// the line and page codes with SetScrollPos when asked to.
class TScroller : public uitest::TRecorder {
 public:
  using TRecorder::TRecorder;
  std::vector<std::string> Scrolls;
  bool Follow = false;
  // Runs once, on the first scroll message (frees, moves or remakes the control).
  std::function<void()> OnFirstScroll;
  void Dispatch(TMessage& M) override {
    if ((M.Msg == WM_VSCROLL || M.Msg == WM_HSCROLL) && OnFirstScroll) {
      std::exchange(OnFirstScroll, nullptr)();
      return;
    }
    if (M.Msg == WM_VSCROLL || M.Msg == WM_HSCROLL) {
      TWMScroll s(M);
      const int32_t bar = M.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ;
      Scrolls.push_back(std::string(bar == SB_VERT ? "V " : "H ") + std::to_string(s.ScrollCode()) + " " +
                        std::to_string(s.Pos()));
      if (Follow) {
        const int32_t pos = GetScrollPos(this, bar);
        switch (s.ScrollCode()) {
          case SB_LINEDOWN: SetScrollPos(this, bar, pos + 1, true); break;
          case SB_LINEUP: SetScrollPos(this, bar, pos - 1, true); break;
          case SB_PAGEDOWN: SetScrollPos(this, bar, pos + 10, true); break;
          case SB_THUMBTRACK:
          case SB_THUMBPOSITION: SetScrollPos(this, bar, s.Pos(), true); break;
          default: break;
        }
      }
      return;
    }
    TRecorder::Dispatch(M);
  }
};

class ScrollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 300, 200);
    View = new TScroller(Form);
    View->SetParent(Form);
    View->SetBounds(0, 0, 200, 150);
    Form->Show();
    uitest::Pump();
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 99;
    si.nPage = 10;
    si.nPos = 20;
    SetScrollInfo(View, SB_VERT, si, true);
    View->Log.clear();
  }
  void TearDown() override { delete Form; }
  QScrollBar* VBar() { return static_cast<QAbstractScrollArea*>(PeerWidget(View))->verticalScrollBar(); }
  TForm* Form = nullptr;
  TScroller* View = nullptr;
};

TEST_F(ScrollTest, RangesShowAndHideTheBarAndChangeTheClientArea) {
  EXPECT_TRUE(ScrollBarVisible(View, SB_VERT));
  const int32_t extent = 200 - View->ClientWidth();
  EXPECT_GT(extent, 0);
  EXPECT_EQ(VBar()->maximum(), 90);  // positions run to nMax - nPage + 1
  EXPECT_EQ(VBar()->value(), 20);
  TScrollInfo si;
  si.fMask = SIF_RANGE | SIF_PAGE;
  si.nMax = 5;  // the page holds everything: nothing to scroll
  si.nPage = 10;
  SetScrollInfo(View, SB_VERT, si, true);
  EXPECT_FALSE(ScrollBarVisible(View, SB_VERT));
  EXPECT_EQ(View->ClientWidth(), 200);
  EXPECT_EQ(View->Log, (std::vector<std::string>{"resize 200x150"}));
  EXPECT_EQ(GetScrollPos(View, SB_VERT), 0);  // clamped into the new range
  si.fMask |= SIF_DISABLENOSCROLL;
  SetScrollInfo(View, SB_VERT, si, true);
  EXPECT_TRUE(ScrollBarVisible(View, SB_VERT));
  EXPECT_FALSE(VBar()->isEnabled());
  ShowScrollBar(View, SB_BOTH, false);
  EXPECT_EQ(View->ClientRect(), Rect(0, 0, 200, 150));
}

TEST_F(ScrollTest, BarActionsArriveAsScrollCodesAndTheProgramMovesTheBar) {
  using A = QAbstractSlider;
  for (A::SliderAction a : {A::SliderSingleStepAdd, A::SliderSingleStepSub, A::SliderPageStepAdd,
                            A::SliderPageStepSub, A::SliderToMinimum, A::SliderToMaximum})
    VBar()->triggerAction(a);
  const std::vector<std::string> want = {"V 1 0", "V 8 0", "V 0 0", "V 8 0", "V 3 0", "V 8 0",
                                         "V 2 0", "V 8 0", "V 6 0", "V 8 0", "V 7 0", "V 8 0"};
  EXPECT_EQ(View->Scrolls, want);
  EXPECT_EQ(VBar()->value(), 20);  // nobody set a position: the bar stays
  View->Follow = true;
  VBar()->triggerAction(A::SliderSingleStepAdd);
  VBar()->triggerAction(A::SliderPageStepAdd);
  EXPECT_EQ(GetScrollPos(View, SB_VERT), 31);
  EXPECT_EQ(VBar()->value(), 31);
}

TEST_F(ScrollTest, DraggingTheThumbTracksThenEnds) {
  QScrollBar* b = VBar();
  b->setSliderDown(true);
  b->setSliderPosition(40);
  TScrollInfo si;
  si.fMask = SIF_TRACKPOS | SIF_POS;
  GetScrollInfo(View, SB_VERT, si);
  EXPECT_EQ(si.nTrackPos, 40);
  EXPECT_EQ(si.nPos, 20);
  b->setSliderPosition(55);
  b->setSliderDown(false);
  EXPECT_EQ(View->Scrolls, (std::vector<std::string>{"V 5 40", "V 5 55", "V 4 55", "V 8 0"}));
  EXPECT_EQ(b->value(), 20);  // not taken: the thumb goes back
  View->Follow = true;
  b->setSliderDown(true);
  b->setSliderPosition(70);
  b->setSliderDown(false);
  EXPECT_EQ(GetScrollPos(View, SB_VERT), 70);
  EXPECT_EQ(b->value(), 70);
}

TEST_F(ScrollTest, TheWheelOverABarIsTheWindowsWheel) {
  std::vector<int32_t> deltas;
  View->OnMouseWheel = [&](TObject*, TShiftState, int32_t D, TPoint, bool& Handled) {
    deltas.push_back(D);
    Handled = true;
  };
  QWheelEvent e(QPointF(2, 2), VBar()->mapToGlobal(QPointF(2, 2)), QPoint(), QPoint(0, -120), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(VBar(), &e);
  EXPECT_EQ(deltas, (std::vector<int32_t>{-120}));
  EXPECT_EQ(VBar()->value(), 20);
  EXPECT_TRUE(View->Scrolls.empty());
}

TEST_F(ScrollTest, ControlsWithoutBarsRefuseQuietly) {
  auto* plain = new TWinControl(Form);
  plain->SetParent(Form);
  TScrollInfo si;
  si.fMask = SIF_ALL;
  EXPECT_EQ(SetScrollInfo(plain, SB_VERT, si, true), 0);
  EXPECT_FALSE(GetScrollInfo(plain, SB_VERT, si));
  EXPECT_FALSE(ShowScrollBar(plain, SB_HORZ, true));
  EXPECT_FALSE(GetScrollInfo(View, 7, si));
}

// A scroll handler may free, re-parent or remake its control while the bar's
// signal is still running; the peer and its bar must outlive the signal.
TEST_F(ScrollTest, AHandlerMayFreeMoveOrRemakeItsControl) {
  using A = QAbstractSlider;
  auto* other = new TForm(nullptr);
  other->Show();
  const std::vector<std::pair<const char*, std::function<void(TScroller*)>>> cases = {
      {"free", [](TScroller* v) { delete v; }},
      {"reparent", [&](TScroller* v) { v->SetParent(other); }},
      {"recreate", [](TScroller* v) { v->RecreateWnd(); }},
  };
  for (const auto& c : cases) {
    const std::string name = c.first;
    const auto& act = c.second;
    for (int how = 0; how < 2; ++how) {  // a click on the arrow; the thumb let go after a drag
      auto* v = new TScroller(Form);
      v->SetParent(Form);
      v->SetBounds(0, 0, 200, 150);
      SetScrollRange(v, SB_VERT, 0, 99, true);
      QPointer<QScrollBar> bar = static_cast<QAbstractScrollArea*>(PeerWidget(v))->verticalScrollBar();
      bool freed = false;
      v->OnFirstScroll = [&, v] {
        act(v);
        freed = name == "free";
      };
      if (how == 0) {
        bar->triggerAction(A::SliderSingleStepAdd);
      } else {
        bar->setSliderDown(true);
        bar->setSliderPosition(30);
        if (bar) bar->setSliderDown(false);
      }
      uitest::Pump();
      EXPECT_EQ(freed, name == "free") << name;
      if (!freed) {
        EXPECT_NE(PeerWidget(v), nullptr) << name;
        delete v;
      }
    }
  }
  delete other;
}

}  // namespace
}  // namespace kv

#include <QtWidgets/QApplication>

#include "platform/ui/qt_app.h"
#include "ui_test_support.h"

namespace kv {
namespace {

using uitest::TRecorder;

// One widget application for the whole test program, made before any test can
// make a font-only one.
class TQtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { EnsureQtApplication(); }
};
::testing::Environment* const GQtEnv = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 300, 200);
    Rec = new TRecorder(Form);
    Rec->SetParent(Form);
    Rec->SetBounds(10, 10, 100, 80);
    Form->Show();
    uitest::Pump();
    Rec->Log.clear();
  }
  void TearDown() override {
    delete Form;
    Application->OnException = nullptr;
  }
  TForm* Form = nullptr;
  TRecorder* Rec = nullptr;
};

TEST_F(ControlTest, MouseMessagesBecomeHandlerCalls) {
  using uitest::SendMouse;
  SendMouse(Rec, QEvent::MouseButtonPress, 5, 6, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
  EXPECT_TRUE(Rec->MouseCapture());
  SendMouse(Rec, QEvent::MouseMove, 7, 8, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
  SendMouse(Rec, QEvent::MouseButtonRelease, 7, 8, Qt::LeftButton, Qt::NoButton, Qt::ShiftModifier);
  EXPECT_FALSE(Rec->MouseCapture());
  // Windows order for a double click: down, up, double-click (as a down with ssDouble), up.
  SendMouse(Rec, QEvent::MouseButtonPress, 5, 6, Qt::LeftButton, Qt::LeftButton);
  SendMouse(Rec, QEvent::MouseButtonRelease, 5, 6, Qt::LeftButton, Qt::NoButton);
  SendMouse(Rec, QEvent::MouseButtonDblClick, 5, 6, Qt::LeftButton, Qt::LeftButton);
  SendMouse(Rec, QEvent::MouseButtonRelease, 5, 6, Qt::LeftButton, Qt::NoButton);
  // A right click is no Click; a release outside the client area neither.
  SendMouse(Rec, QEvent::MouseButtonPress, 3, 4, Qt::RightButton, Qt::RightButton, Qt::ControlModifier);
  SendMouse(Rec, QEvent::MouseButtonRelease, 3, 4, Qt::RightButton, Qt::NoButton);
  SendMouse(Rec, QEvent::MouseButtonPress, 1, 1, Qt::LeftButton, Qt::LeftButton);
  SendMouse(Rec, QEvent::MouseButtonRelease, 150, 1, Qt::LeftButton, Qt::NoButton);
  const std::vector<std::string> want = {
      "down 0 Shift+Left 5,6", "move Shift+Left 7,8", "click",         "up 0 Shift 7,8",
      "down 0 Left 5,6",       "click",               "up 0 - 5,6",    "dblclick",
      "down 0 Left+Double 5,6", "up 0 - 5,6",         "down 1 Ctrl+Right 3,4", "up 1 - 3,4",
      "down 0 Left 1,1",       "up 0 - 150,1"};
  EXPECT_EQ(Rec->Log, want);
}

TEST_F(ControlTest, WithoutDoubleClickStyleASecondClickIsAPress) {
  TControlStyle s = Rec->ControlStyle();
  s.Exclude(csDoubleClicks);
  Rec->SetControlStyle(s);
  uitest::SendMouse(Rec, QEvent::MouseButtonDblClick, 2, 2, Qt::LeftButton, Qt::LeftButton);
  uitest::SendMouse(Rec, QEvent::MouseButtonRelease, 2, 2, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Rec->Log, (std::vector<std::string>{"down 0 Left 2,2", "click", "up 0 - 2,2"}));
}

TEST_F(ControlTest, CaptureSendsMouseToTheCapturingControlInItsCoordinates) {
  auto* other = new TRecorder(Form);
  other->SetParent(Form);
  other->SetBounds(150, 20, 50, 50);
  uitest::Pump();
  other->Log.clear();
  SetCaptureControl(other);
  uitest::SendMouse(Rec, QEvent::MouseMove, 5, 5, Qt::NoButton, Qt::NoButton);
  EXPECT_TRUE(Rec->Log.empty());
  // (5,5) in Rec is (15,15) in the form, (-135,-5) in the other control.
  EXPECT_EQ(other->Log, (std::vector<std::string>{"move - -135,-5"}));
  ReleaseCapture();
  EXPECT_EQ(GetCaptureControl(), nullptr);
}

TEST_F(ControlTest, KeysArriveAsVirtualKeysWithShiftState) {
  struct TCase {
    int Key;
    Qt::KeyboardModifiers Mods;
    QString Text;
    std::vector<std::string> Want;
  };
  const TCase cases[] = {
      {Qt::Key_A, Qt::ShiftModifier, "A", {"keydown 65 Shift", "char 65"}},
      {Qt::Key_F, Qt::AltModifier, "f", {"keydown 70 Alt", "char 102"}},
      {Qt::Key_F5, Qt::NoModifier, "", {"keydown 116 -"}},
      {Qt::Key_7, Qt::KeypadModifier, "7", {"keydown 103 -", "char 55"}},
      {Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier, "", {"keydown 36 Shift+Ctrl"}},
      {Qt::Key_PageDown, Qt::NoModifier, "", {"keydown 34 -"}},
      {Qt::Key_Plus, Qt::ShiftModifier, "+", {"keydown 187 Shift", "char 43"}},
      {Qt::Key_Escape, Qt::NoModifier, "\x1b", {"keydown 27 -", "char 27"}},
      {Qt::Key_Adiaeresis, Qt::NoModifier, QString::fromUtf8("\xc3\xa4"), {"char 228"}},
  };
  for (const TCase& c : cases) {
    Rec->Log.clear();
    uitest::SendKey(Rec, QEvent::KeyPress, c.Key, c.Mods, c.Text);
    EXPECT_EQ(Rec->Log, c.Want) << c.Key;
  }
  Rec->Log.clear();
  uitest::SendKey(Rec, QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a", true);  // auto-repeat: no release yet
  uitest::SendKey(Rec, QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
  EXPECT_EQ(Rec->Log, (std::vector<std::string>{"keyup 65 -"}));
}

TEST_F(ControlTest, ArrowsAndTabGoToTheFormUnlessTheControlClaimsThem) {
  auto* next = new TRecorder(Form);
  next->SetParent(Form);
  next->SetBounds(150, 10, 50, 50);
  next->SetTabStop(true);
  Rec->SetTabStop(true);
  Rec->SetFocus();
  uitest::Pump();
  EXPECT_EQ(Form->ActiveControl(), Rec);
  uitest::SendKey(Rec, QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  EXPECT_TRUE(Rec->Log.empty());  // the form moved the focus instead
  EXPECT_EQ(Form->ActiveControl(), next);

  // A hook through WindowProc claims the special keys for the control.
  TWndMethod old = Rec->WindowProc;
  Rec->WindowProc = [old](TMessage& M) {
    if (M.Msg == CM_WANTSPECIALKEY) M.Result = 1;
    else old(M);
  };
  uitest::SendKey(Rec, QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  EXPECT_EQ(Rec->Log, (std::vector<std::string>{"keydown 39 -"}));
}

TEST_F(ControlTest, AKeyHandlerThatClearsTheKeyStopsIt) {
  std::vector<std::string> seen;
  Form->SetKeyPreview(true);
  Form->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) {
    seen.push_back("form " + std::to_string(Key));
    if (Key == VK_DELETE) Key = 0;
  };
  Rec->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) { seen.push_back("control " + std::to_string(Key)); };
  uitest::SendKey(Rec, QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  uitest::SendKey(Rec, QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier);
  EXPECT_EQ(seen, (std::vector<std::string>{"form 46", "form 45", "control 45"}));
}

TEST_F(ControlTest, WheelDeltasAreSummedToWholeNotches) {
  std::vector<int32_t> deltas;
  Rec->OnMouseWheel = [&](TObject*, TShiftState, int32_t Delta, TPoint, bool& Handled) {
    deltas.push_back(Delta);
    Handled = true;
  };
  for (int d : {40, 40, 40, 240, -60, -60, -30, 90, 120}) uitest::SendWheel(Rec, d);
  // 40+40+40 = one notch; 240 two at once; -60-60 one back; -30+90 = 60 stays below a notch; +60+120 = 180 -> one, 60 left.
  EXPECT_EQ(deltas, (std::vector<int32_t>{120, 240, -120, 120}));
}

TEST_F(ControlTest, AWheelNobodyTakesGoesToTheParent) {
  int32_t formDelta = 0;
  Form->OnMouseWheel = [&](TObject*, TShiftState, int32_t Delta, TPoint, bool& Handled) {
    formDelta = Delta;
    Handled = true;
  };
  EXPECT_FALSE(uitest::SendWheel(Rec, -120));
  // Qt hands an ignored wheel to the parent widget only when it dispatches it itself; do that step here.
  QWheelEvent e(QPointF(20, 20), ClientWidget(Form)->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, -120),
                Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(ClientWidget(Form), &e);
  EXPECT_EQ(formDelta, -120);
}

// A control with a frame: the client area is what the frame leaves.
class TFramed : public TRecorder {
 public:
  TFramed(TComponent* AOwner, uint32_t Style, uint32_t ExStyle) : TRecorder(AOwner), FStyle(Style), FExStyle(ExStyle) {}

 protected:
  void CreateParams(TCreateParams& P) override {
    TRecorder::CreateParams(P);
    P.Style |= FStyle;
    P.ExStyle |= FExStyle;
  }
  uint32_t FStyle, FExStyle;
};

TEST_F(ControlTest, ClientAreaFollowsFrameAndSizeChanges) {
  struct TCase {
    uint32_t Style, ExStyle;
    int32_t Frame;
  } cases[] = {{0, 0, 0}, {WS_BORDER, 0, 1}, {0, WS_EX_CLIENTEDGE, 2}};
  for (const TCase& c : cases) {
    auto* f = new TFramed(Form, c.Style, c.ExStyle);
    f->SetParent(Form);
    f->SetBounds(0, 100, 60, 40);
    uitest::Pump();
    EXPECT_EQ(f->ClientWidth(), 60 - 2 * c.Frame);
    EXPECT_EQ(f->ClientHeight(), 40 - 2 * c.Frame);
    // Qt lays the client widget out where the control says it is.
    EXPECT_EQ(ClientWidget(f)->geometry(), QRect(c.Frame, c.Frame, 60 - 2 * c.Frame, 40 - 2 * c.Frame));
    EXPECT_EQ(f->ClientOrigin().X - Form->ClientOrigin().X, c.Frame);
    f->Log.clear();
    f->SetBounds(0, 100, 70, 45);
    EXPECT_EQ(f->Log, (std::vector<std::string>{"resize " + std::to_string(70 - 2 * c.Frame) + "x" +
                                                std::to_string(45 - 2 * c.Frame)}));
    delete f;
  }
}

TEST_F(ControlTest, PaintGoesThroughTheBackBufferToTheScreen) {
  Rec->OnPaintCall = [](TRecorder& R) {
    R.Canvas().Brush().SetColor(clBlue);
    R.Canvas().FillRect(R.ClientRect());
    R.Canvas().Brush().SetColor(clRed);
    R.Canvas().FillRect(Rect(0, 0, 50, 40));
  };
  Rec->Invalidate();
  QImage shown = uitest::Grab(Rec);
  EXPECT_EQ(uitest::PixelAt(shown, 10, 10), clRed);
  EXPECT_EQ(uitest::PixelAt(shown, 60, 50), clBlue);
  EXPECT_EQ(Rec->BackBuffer().GetPixelColor(99, 79), clBlue);

  // Drawing outside Paint shows at the next paint event without another Paint.
  const int32_t paints = Rec->Paints;
  Rec->Canvas().Brush().SetColor(clLime);
  Rec->Canvas().FillRect(Rect(90, 70, 100, 80));
  shown = uitest::Grab(Rec);
  EXPECT_EQ(uitest::PixelAt(shown, 95, 75), clLime);
  EXPECT_EQ(Rec->Paints, paints);

  // Invalidate asks for Paint again, limited to what is invalid.
  Rec->InvalidateRect(Rect(80, 60, 100, 80));
  shown = uitest::Grab(Rec);
  EXPECT_EQ(Rec->Paints, paints + 1);
  EXPECT_EQ(uitest::PixelAt(shown, 95, 75), clBlue);
}

// Takes CM_MOUSEENTER / CM_MOUSELEAVE as a view does.
class TEnterLeave : public TRecorder {
 public:
  using TRecorder::TRecorder;
  void Dispatch(TMessage& M) override {
    if (M.Msg == CM_MOUSEENTER || M.Msg == CM_MOUSELEAVE) {
      TRecorder::Dispatch(M);
      Log.push_back(M.Msg == CM_MOUSEENTER ? "enter" : "leave");
      M.Result = 7;
      return;
    }
    TRecorder::Dispatch(M);
  }
};

TEST_F(ControlTest, PerformDispatchesControlMessagesToHandlers) {
  auto* v = new TEnterLeave(Form);
  v->SetParent(Form);
  v->SetBounds(150, 10, 50, 50);
  v->Log.clear();
  EXPECT_EQ(v->Perform(CM_MOUSEENTER), 7);
  EXPECT_EQ(v->Perform(CM_MOUSELEAVE), 7);
  EXPECT_EQ(v->Perform(CM_BASE + 999), 0);  // nobody's message: default handling
  QEvent enter(QEvent::Enter), leave(QEvent::Leave);
  QCoreApplication::sendEvent(PeerWidget(v), &enter);
  QCoreApplication::sendEvent(PeerWidget(v), &leave);
  EXPECT_EQ(v->Log, (std::vector<std::string>{"enter", "leave", "enter", "leave"}));
}

TEST_F(ControlTest, ExceptionsInHandlersEndInHandleException) {
  std::vector<std::string> caught;
  Application->OnException = [&](TObject* Sender, const Exception& E) {
    caught.push_back(E.Message() + (Sender == Rec ? " from control" : ""));
  };
  Rec->OnPaintCall = [](TRecorder&) { throw EInvalidGraphic("paint failed"); };
  Rec->OnMouseDown = [](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { throw std::runtime_error("mouse failed"); };
  Rec->OnKeyDown = [](TObject*, uint16_t&, TShiftState) { Abort(); };
  Rec->Invalidate();
  uitest::Grab(Rec);
  uitest::SendMouse(Rec, QEvent::MouseButtonPress, 1, 1, Qt::LeftButton, Qt::LeftButton);
  uitest::SendMouse(Rec, QEvent::MouseButtonRelease, 1, 1, Qt::LeftButton, Qt::NoButton);
  uitest::SendKey(Rec, QEvent::KeyPress, Qt::Key_B, Qt::NoModifier);
  EXPECT_EQ(caught, (std::vector<std::string>{"paint failed from control", "Interner Fehler: mouse failed from control"}));
}

TEST_F(ControlTest, AlignLaysOutChildrenInOrderAndFollowsResizes) {
  Form->SetClientSize(200, 100);
  auto make = [&](TAlign A, int32_t W, int32_t H) {
    auto* c = new TWinControl(Form);
    c->SetBounds(0, 0, W, H);
    c->SetAlign(A);
    c->SetParent(Form);
    return c;
  };
  TWinControl* client = make(alClient, 5, 5);
  TWinControl* top = make(alTop, 5, 20);
  TWinControl* bottom = make(alBottom, 5, 10);
  TWinControl* left = make(alLeft, 30, 5);
  TWinControl* right = make(alRight, 40, 5);
  Rec->SetAnchors(TAnchors{akRight, akBottom});  // 10,10,100,80 in a 200 x 100 client
  EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 200, 20));
  EXPECT_EQ(bottom->BoundsRect(), Rect(0, 90, 200, 100));
  EXPECT_EQ(left->BoundsRect(), Rect(0, 20, 30, 90));
  EXPECT_EQ(right->BoundsRect(), Rect(160, 20, 200, 90));
  EXPECT_EQ(client->BoundsRect(), Rect(30, 20, 160, 90));
  Form->SetClientSize(300, 150);
  EXPECT_EQ(bottom->BoundsRect(), Rect(0, 140, 300, 150));
  EXPECT_EQ(right->BoundsRect(), Rect(260, 20, 300, 140));
  EXPECT_EQ(client->BoundsRect(), Rect(30, 20, 260, 140));
  EXPECT_EQ(Rec->BoundsRect(), Rect(110, 60, 210, 140));
  top->Hide();
  EXPECT_EQ(client->BoundsRect(), Rect(30, 0, 260, 140));
}

TEST_F(ControlTest, ParentsFreeChildrenAndFreedChildrenLeaveTheirParent) {
  auto* panel = new TWinControl(nullptr);  // owned by nobody: its parent frees it
  panel->SetParent(Form);
  panel->SetBounds(0, 0, 100, 100);
  auto* inner = new TRecorder(Form);
  inner->SetParent(panel);
  auto* graphic = new TGraphicControl(nullptr);
  graphic->SetParent(panel);
  EXPECT_NE(PeerWidget(inner), nullptr);
  EXPECT_NE(PeerWidget(graphic), nullptr);
  const HWND before = inner->Handle();
  EXPECT_EQ(FindControl(before), inner);
  panel->RecreateWnd();
  EXPECT_NE(inner->Handle(), before);  // a new window for the children too
  EXPECT_EQ(FindControl(before), nullptr);
  delete inner;
  EXPECT_EQ(panel->ControlCount(), 1);
  const int32_t owned = Form->ComponentCount();
  delete panel;  // frees the graphic control with it
  EXPECT_EQ(Form->ComponentCount(), owned);
  EXPECT_EQ(Form->ControlCount(), 1);
}

TEST_F(ControlTest, AControlMayFreeItsOwnWindowInItsHandler) {
  // A click that recreates the window deletes the peer whose event is running.
  Rec->OnClick = [this](TObject*) { Rec->RecreateWnd(); };
  const HWND before = Rec->Handle();
  uitest::SendMouse(Rec, QEvent::MouseButtonPress, 1, 1, Qt::LeftButton, Qt::LeftButton);
  uitest::SendMouse(Rec, QEvent::MouseButtonRelease, 1, 1, Qt::LeftButton, Qt::NoButton);
  uitest::Pump();
  EXPECT_NE(Rec->Handle(), before);
}

}  // namespace
}  // namespace kv

// Image lists, list boxes, tree views, panels, popup menus, the folder
// chooser, the control under a screen point and the desktop's colour
// changes reaching the controls, headless.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ui/actions.h"
#include "platform/ui/find_control.h"
#include "platform/ui/folder_dialog.h"
#include "platform/ui/forms.h"
#include "platform/ui/image_list.h"
#include "platform/ui/input_synth.h"
#include "platform/ui/list_box.h"
#include "platform/ui/panel.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/scrolling.h"
#include "platform/ui/system_image_list.h"
#include "platform/ui/tree_view.h"
#include "support/message_wait.h"

namespace kv {
namespace {

class UiListsTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApplication(); }
};

// A strip of W x H cells, cell i filled with colour Colors[i] except a fuchsia top-left pixel.
std::unique_ptr<TBitmap> Cells(int32_t W, int32_t H, const std::vector<TColor>& Colors) {
  auto bp = std::make_unique<TBitmap>(W * int32_t(Colors.size()), H, pf24bit);
  TBitmap& b = *bp;
  for (int32_t i = 0; i < int32_t(Colors.size()); ++i)
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) b.SetPixelColor(i * W + x, y, x == 0 && y == 0 ? clFuchsia : Colors[size_t(i)]);
  return bp;
}

TEST_F(UiListsTest, ImageListCutsMasksDrawsAndTellsItsLinks) {
  TImageList list(nullptr, 4, 3);
  int changes = 0;
  TChangeLink link;
  link.OnChange = [&](TObject* S) { changes += S == &list; };
  list.RegisterChanges(&link);
  EXPECT_EQ(list.AddMasked(*Cells(4, 3, {clRed, clBlue}), clFuchsia), 0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(list.IsTransparent(1, 0, 0));
  EXPECT_FALSE(list.IsTransparent(1, 1, 0));

  TBitmap canvas(6, 5, pf24bit);
  canvas.Canvas().Brush().SetColor(clWhite);
  canvas.Canvas().FillRect(Rect(0, 0, 6, 5));
  list.Draw(canvas.Canvas(), 1, 1, 1);
  EXPECT_EQ(canvas.GetPixelColor(1, 1), clWhite);  // see-through
  EXPECT_EQ(canvas.GetPixelColor(2, 1), clBlue);
  EXPECT_EQ(canvas.GetPixelColor(5, 1), clWhite);  // beyond the image
  list.Draw(canvas.Canvas(), 0, 0, 7);             // no such image: nothing, no fault

  TBitmap mask, img;
  ASSERT_TRUE(list.GetMask(0, mask));
  EXPECT_EQ(mask.GetPixelColor(0, 0), clWhite);
  EXPECT_EQ(mask.GetPixelColor(3, 2), clBlack);
  ASSERT_TRUE(list.GetBitmap(0, img, clLime));
  EXPECT_EQ(img.GetPixelColor(0, 0), clLime);
  EXPECT_EQ(img.GetPixelColor(3, 2), clRed);
  // An image added with a mask of its own.
  EXPECT_EQ(list.Add(img, &mask), 2);
  EXPECT_TRUE(list.IsTransparent(2, 0, 0));
  list.Delete(0);
  EXPECT_EQ(list.Count(), 2);
  list.SetWidth(8);  // a new size empties the list
  EXPECT_EQ(list.Count(), 0);
  list.UnRegisterChanges(&link);
  list.Clear();
  EXPECT_EQ(link.Sender(), nullptr);
}

TEST_F(UiListsTest, ListBoxLinesSelectionAndSidewaysScrolling) {
  TForm f(nullptr);
  f.SetBounds(0, 0, 200, 200);
  auto* box = new TListBox(&f);
  box->SetParent(&f);
  box->SetBounds(0, 0, 80, 100);
  f.Show();
  box->Items().Add("one");
  box->Items().Add("three");
  box->Items().Insert(1, "two");
  EXPECT_EQ(box->Items().Text(), "one\ntwo\nthree\n");
  EXPECT_EQ(box->Perform(LB_GETCOUNT), 3);
  box->SetItemIndex(2);
  box->Items().Delete(0);
  EXPECT_EQ(box->ItemIndex(), 1);  // the selection follows its line
  EXPECT_THROW(box->Items().Delete(5), Exception);
  // A click selects the line under the mouse.
  box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(MakeLong(3, 2)));
  box->Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>(MakeLong(3, 2)));
  EXPECT_EQ(box->ItemIndex(), 0);
  // Sideways: the extent bounds the scroll position.
  box->Perform(LB_SETHORIZONTALEXTENT, 300);
  box->Perform(WM_HSCROLL, SB_BOTTOM);
  EXPECT_EQ(box->HorzPosition(), 300 - box->ClientWidth());
  box->Perform(LB_SETHORIZONTALEXTENT, 0);
  EXPECT_EQ(box->HorzPosition(), 0);
  box->Items().Clear();
  EXPECT_EQ(box->ItemIndex(), -1);
  EXPECT_EQ(box->Items().Count(), 0);
}

// The left edge of the selection's highlight in the row at Y, -1 when none.
int32_t HighlightLeft(TControl* C, int32_t Y) {
  const auto shot = GrabControl(C);
  if (!shot) return -1;
  for (int32_t x = 0; x < shot->Width(); ++x)
    if (static_cast<TColorRef>(shot->GetPixelColor(x, Y)) == ColorToRGB(clHighlight)) return x;
  return -1;
}

TEST_F(UiListsTest, TreeViewScrollsSidewaysWhenALabelIsWiderThanTheView) {
  TForm f(nullptr);
  f.SetBounds(0, 0, 300, 300);
  auto* tree = new TTreeView(&f);
  tree->SetParent(&f);
  tree->SetBounds(0, 0, 120, 200);
  f.Show();
  TTreeNode* root = tree->AddChild(nullptr, "kurz");
  TTreeNode* deep = tree->AddChild(root, "ein Eintrag, dessen Name weit über den Rand hinausreicht");
  tree->AddChild(deep, "x");
  EXPECT_FALSE(ScrollBarVisible(tree, SB_HORZ));  // the long label is not shown yet
  root->Expand();
  ASSERT_GT(tree->ContentWidth(), tree->ClientWidth());
  EXPECT_TRUE(ScrollBarVisible(tree, SB_HORZ));
  TScrollInfo h;
  h.fMask = SIF_RANGE | SIF_PAGE;
  ASSERT_TRUE(GetScrollInfo(tree, SB_HORZ, h));
  EXPECT_EQ(h.nMax + 1, tree->ContentWidth());
  EXPECT_EQ(int32_t(h.nPage), tree->ClientWidth());

  // The rows move left by a column (a row's height) per arrow step, and no further than the widest label.
  tree->SetSelected(deep);
  const int32_t row = tree->NodeRect(deep).Top + tree->ItemHeight() / 2;
  const int32_t left0 = HighlightLeft(tree, row);
  ASSERT_GT(left0, 0);
  tree->Perform(WM_HSCROLL, SB_LINERIGHT);
  EXPECT_EQ(tree->LeftPos(), tree->ItemHeight());
  EXPECT_EQ(GetScrollPos(tree, SB_HORZ), tree->ItemHeight());
  EXPECT_EQ(HighlightLeft(tree, row), left0 - tree->ItemHeight());
  tree->Perform(WM_HSCROLL, SB_RIGHT);
  EXPECT_EQ(tree->LeftPos(), tree->ContentWidth() - tree->ClientWidth());
  tree->Perform(WM_HSCROLL, SB_LINELEFT);
  const int32_t before = tree->ContentWidth() - tree->ClientWidth() - tree->ItemHeight();
  EXPECT_EQ(tree->LeftPos(), before);
  tree->Perform(WM_HSCROLL, SB_PAGELEFT);
  EXPECT_EQ(tree->LeftPos(), std::max(0, before - tree->ClientWidth()));
  tree->Perform(WM_HSCROLL, SB_LEFT);
  EXPECT_EQ(tree->LeftPos(), 0);

  // A click on the scrolled expand button still finds it (unscrolled, the
  // point would lie left of the button and select the row instead).
  tree->SetLeftPos(15);
  ASSERT_EQ(tree->LeftPos(), 15);
  const TRect r = tree->NodeRect(deep);
  const int32_t button = deep->Level() * 19 + 19 / 2 - tree->LeftPos();
  tree->Perform(WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(MakeLong(button, r.Top + r.Height() / 2)));
  tree->Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>(MakeLong(button, r.Top + r.Height() / 2)));
  EXPECT_TRUE(deep->Expanded());

  // Once the long label is out of sight again the bar goes and the rows return to the left edge.
  root->Collapse();
  EXPECT_EQ(tree->LeftPos(), 0);
  EXPECT_FALSE(ScrollBarVisible(tree, SB_HORZ));
}

// A control that counts the colour changes it hears.
class TColorListener : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int Heard = 0;
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == CM_SYSCOLORCHANGE) ++Heard;
    TCustomControl::Dispatch(Message);
  }
};

TEST_F(UiListsTest, ADesktopColourChangeReachesEveryControlOnceAndRedrawsTheSystemIcons) {
  TForm f(nullptr);
  auto* panel = new TPanel(&f);
  panel->SetParent(&f);
  auto* nested = new TColorListener(&f);
  nested->SetParent(panel);
  auto* top = new TColorListener(&f);
  top->SetParent(&f);
  f.HandleNeeded();
  ASSERT_GE(SystemIconIndex({"folder"}), 0);
  int changes = 0;
  TChangeLink link;
  link.OnChange = [&](TObject*) { ++changes; };
  SystemImageList(false)->RegisterChanges(&link);
  {
    TSynthColorScheme dark;
    EXPECT_TRUE(test::WaitWithMessages([&] { return nested->Heard > 0 && top->Heard > 0; }, 5));
    // The palette and the theme news of one switch are told once.
    for (int i = 0; i < 20; ++i) Application->ProcessMessages();
    EXPECT_EQ(nested->Heard, 1);
    EXPECT_EQ(top->Heard, 1);
    EXPECT_GT(changes, 0);  // the icons were drawn again
  }
  EXPECT_TRUE(test::WaitWithMessages([&] { return nested->Heard == 2 && top->Heard == 2; }, 5));
  SystemImageList(false)->UnRegisterChanges(&link);
}

TEST_F(UiListsTest, PanelBevelsAndTheAreaLeftForAlignedChildren) {
  TForm f(nullptr);
  f.SetBounds(0, 0, 200, 200);
  auto* p = new TPanel(&f);
  p->SetParent(&f);
  p->SetBounds(0, 0, 50, 30);
  p->SetBevelInner(bvLowered);
  p->SetBevelWidth(2);
  auto* child = new TPanel(&f);
  child->SetParent(p);
  child->SetAlign(alClient);
  EXPECT_EQ(child->BoundsRect(), Rect(4, 4, 46, 26));
  p->Invalidate();
  p->PreparePaint();
  const TBitmap& b = p->BackBuffer();
  EXPECT_EQ(static_cast<TColorRef>(b.GetPixelColor(0, 0)), ColorToRGB(clBtnHighlight));   // raised outer
  EXPECT_EQ(static_cast<TColorRef>(b.GetPixelColor(49, 29)), ColorToRGB(clBtnShadow));
  EXPECT_EQ(static_cast<TColorRef>(b.GetPixelColor(2, 2)), ColorToRGB(clBtnShadow));      // lowered inner
  EXPECT_EQ(static_cast<TColorRef>(b.GetPixelColor(47, 27)), ColorToRGB(clBtnHighlight));
}

TEST_F(UiListsTest, TheControlUnderAScreenPoint) {
  TForm f(nullptr);
  f.SetBounds(0, 0, 200, 200);
  auto* outer = new TPanel(&f);
  outer->SetParent(&f);
  outer->SetBounds(10, 10, 100, 100);
  auto* inner = new TPanel(&f);
  inner->SetParent(outer);
  inner->SetBounds(20, 20, 30, 30);
  f.Show();
  EXPECT_EQ(FindWinControlAtScreen(inner->ClientToScreen(TPoint{5, 5})), inner);
  EXPECT_EQ(FindWinControlAtScreen(outer->ClientToScreen(TPoint{5, 5})), outer);
  EXPECT_EQ(FindWinControlAtScreen(f.ClientToScreen(TPoint{150, 150})), &f);
  f.Hide();
  EXPECT_EQ(FindWinControlAtScreen(inner->ClientToScreen(TPoint{5, 5})), nullptr);
}

// A graphic control that takes one marked character.
class TMnemonic : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  char32_t Key = 0;
  int Taken = 0;
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == CM_DIALOGCHAR && static_cast<char32_t>(Message.WParam) == Key) {
      ++Taken;
      Message.Result = 1;
      return;
    }
    TGraphicControl::Dispatch(Message);
  }
};

TEST_F(UiListsTest, AltWithACharacterReachesTheMarkedControlsOfTheForm) {
  TForm f(nullptr);
  auto* box = new TListBox(&f);
  box->SetParent(&f);
  auto* panel = new TPanel(&f);
  panel->SetParent(&f);
  auto* m = new TMnemonic(&f);
  m->SetParent(panel);  // nested: the offer goes all the way down
  m->Key = U'z';
  char32_t typed = 0;
  box->OnKeyPress = [&](TObject*, char32_t& K) { typed = K; };
  box->Perform(WM_SYSCHAR, 'z', AltMask);
  EXPECT_EQ(m->Taken, 1);
  box->Perform(WM_CHAR, 'z', 0);  // without Alt it is plain typing
  EXPECT_EQ(m->Taken, 1);
  EXPECT_EQ(typed, U'z');
  box->OnKeyPress = [](TObject*, char32_t& K) { K = 0; };  // taken by the control itself
  box->Perform(WM_SYSCHAR, 'z', AltMask);
  EXPECT_EQ(m->Taken, 1);
}

TEST_F(UiListsTest, ActionsTellTheirClientsOfEveryChange) {
  struct TClient : TActionClient {
    int Told = 0;
    void ActionChanged(TBasicAction*) override { ++Told; }
  } one, two;
  TAction a(nullptr);
  a.RegisterClient(&one);
  a.RegisterClient(&two);
  a.RegisterClient(&one);  // once only
  a.SetCaption("Drucken");
  a.SetCaption("Drucken");  // no change, no news
  a.SetChecked(true);
  EXPECT_EQ(one.Told, 2);
  a.UnRegisterClient(&two);
  a.SetHint("h");
  EXPECT_EQ(two.Told, 2);
  EXPECT_EQ(one.Told, 3);
  EXPECT_FALSE(a.Execute());  // nothing to run
  int runs = 0;
  a.OnExecute = [&](TObject* S) { runs += S == &a; };
  EXPECT_TRUE(a.Execute());
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(GetPropValue(&a, "Checked"), "True");
  auto* list = new TActionList(nullptr);
  a.SetActionList(list);
  delete list;  // a freed list is forgotten
  EXPECT_EQ(a.ActionList(), nullptr);
}

TEST_F(UiListsTest, PopupMenusAndFolderDialogsAnswerByScript) {
  TPopupMenu m(nullptr);
  int clicked = 0, popped = 0;
  m.OnPopup = [&](TObject*) { ++popped; };
  m.Items().push_back({"Eins", [&](TObject*) { clicked = 1; }});
  m.Items().push_back({"-", nullptr});
  m.Items().push_back({"Zwei", [&](TObject*) { clicked = 2; }, false});
  SetPopupRunner([](TPopupMenu&, int32_t, int32_t) { return 2; });
  m.Popup(10, 10);  // a disabled item does nothing
  EXPECT_EQ(clicked, 0);
  SetPopupRunner([](TPopupMenu&, int32_t, int32_t) { return 0; });
  m.Popup(10, 10);
  EXPECT_EQ(clicked, 1);
  EXPECT_EQ(popped, 2);
  SetPopupRunner(nullptr);

  TFolderDialogRequest r;
  r.Root = "/tmp";
  r.HelpCaption = "&Hilfe";
  int helps = 0, inits = 0;
  std::vector<std::string> seen;
  r.OnHelp = [&] { ++helps; };
  r.OnInitialized = [&](TFolderDialogSession&) { ++inits; };
  r.OnSelChanged = [&](TFolderDialogSession& S, const std::string& P) {
    seen.push_back(P);
    S.EnableOK(P != "/nowhere");
  };
  AnswerFolderDialog([](TFolderDialogSession& S) {
    EXPECT_TRUE(S.HasHelpButton());
    S.PressHelp();
    S.SetSelection("/usr");
    return true;
  });
  AnswerFolderDialog([](TFolderDialogSession& S) {
    S.SetSelection("/nowhere");
    return true;  // OK is disabled: nothing confirmed
  });
  std::string chosen;
  EXPECT_TRUE(BrowseForFolder(r, chosen));
  EXPECT_EQ(chosen, "/usr");
  chosen.clear();
  EXPECT_FALSE(BrowseForFolder(r, chosen));
  EXPECT_EQ(chosen, "");
  EXPECT_EQ(helps, 1);
  EXPECT_EQ(inits, 2);
  EXPECT_EQ(seen, (std::vector<std::string>{"/usr", "/nowhere"}));
  EXPECT_EQ(PendingFolderAnswers(), 0);
}

}  // namespace
}  // namespace kv

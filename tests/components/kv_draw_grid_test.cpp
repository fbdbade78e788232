// The program's draw grid: layout, selection, fixed-cell buttons, column
// sizing, scrolling, editing with the in-place editor and its pick list,
// driven by mouse and key messages and read back from state and pixels.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "components/controls/kv_draw_grid.h"
#include "components/form_storage.h"
#include "platform/rtl/strings.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/scrolling.h"
#include "support/shot_file.h"

namespace kv {
namespace {

void Mouse(TControl& C, UINT Msg, int32_t X, int32_t Y, uint32_t Keys = 0) {
  C.Perform(Msg, Keys, static_cast<LPARAM>(MakeLong(X, Y)));
}
void Click(TControl& C, int32_t X, int32_t Y, uint32_t Keys = 0) {
  Mouse(C, WM_LBUTTONDOWN, X, Y, MK_LBUTTON | Keys);
  Mouse(C, WM_LBUTTONUP, X, Y, Keys);
}
void Key(TControl& C, uint16_t Vk) { C.Perform(WM_KEYDOWN, Vk, 1); }

// Columns 64 wide and rows 18 high with one-pixel lines: column c starts at
// 65 * c, row r at 19 * r.
constexpr int32_t X(int32_t Col) { return 65 * Col + 10; }
constexpr int32_t Y(int32_t Row) { return 19 * Row + 5; }

class DrawGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 400, 300);
    Grid = new TKvDrawGrid(Form);
    Grid->SetName("Grid1");
    Grid->SetParent(Form);
    Grid->SetBorderStyle(bsNone);
    Grid->SetBounds(0, 0, 300, 100);
    Grid->OnDrawCell = [this](TObject*, int32_t C, int32_t R, const TRect& Rect, TGridDrawState S) {
      Log.push_back("draw " + IntToStr(C) + "," + IntToStr(R));
      if (S.Contains(gdFixed)) Grid->Canvas().TextOut(Rect.Left + 2, Rect.Top + 2, IntToStr(C));
      else Grid->Canvas().TextOut(Rect.Left + 2, Rect.Top + 2, Cells[{C, R}]);
    };
  }
  void TearDown() override { delete Form; }
  const TBitmap& Render() {
    Grid->Invalidate();
    Grid->PreparePaint();
    return Grid->BackBuffer();
  }
  // The log without the drawing lines.
  std::vector<std::string> Events() const {
    std::vector<std::string> out;
    for (const std::string& s : Log)
      if (s.rfind("draw ", 0) != 0) out.push_back(s);
    return out;
  }
  TForm* Form = nullptr;
  TKvDrawGrid* Grid = nullptr;
  std::vector<std::string> Log;
  std::map<std::pair<int32_t, int32_t>, std::string> Cells;
};

TEST_F(DrawGrid, DefaultsFixedCellsAndSelectionByMouseAndKeys) {
  EXPECT_EQ(Grid->DefaultRowHeight(), 18);
  EXPECT_EQ(Grid->Options(), (TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine,
                                           goDrawFocusSelected, goColSizing}));
  EXPECT_FALSE(Grid->FixedButtons());
  EXPECT_EQ(GetPropValue(Grid, "DefaultRowHeight"), "18");
  Grid->SetOptions(Grid->Options() + TGridOptions{goRangeSelect});
  Grid->OnSelectCell = [this](TObject*, int32_t C, int32_t R, bool& Can) {
    Log.push_back("select " + IntToStr(C) + "," + IntToStr(R));
    Can = C != 4;
  };
  EXPECT_EQ(Grid->MouseCoord(X(2), Y(3)), (TGridCoord{2, 3}));
  EXPECT_EQ(Grid->CellRect(2, 3), (TRect{130, 57, 194, 75}));

  Click(*Grid, X(2), Y(2));
  Click(*Grid, X(3), Y(3), MK_SHIFT);
  EXPECT_EQ(Grid->Selection(), (TGridRect{2, 2, 3, 3}));
  Click(*Grid, X(4), Y(1));  // refused by OnSelectCell
  EXPECT_EQ(Grid->Selection(), (TGridRect{2, 2, 3, 3}));
  Click(*Grid, X(0), Y(1));  // a fixed cell is never selected
  EXPECT_EQ(Grid->Selection(), (TGridRect{2, 2, 3, 3}));
  Key(*Grid, VK_DOWN);
  EXPECT_EQ(Grid->Selection(), (TGridRect{3, 4, 3, 4}));
  Key(*Grid, VK_HOME);
  EXPECT_EQ(Grid->Col(), 1);
  EXPECT_EQ(Events(), (std::vector<std::string>{"select 2,2", "select 3,3", "select 4,1", "select 3,4", "select 1,4"}));

  Grid->SetSelection(TGridRect{1, 1, 2, 2});
  const TBitmap& b = Render();
  EXPECT_EQ(b.GetPixelColor(40, 10), TColor(ColorToRGB(clBtnFace)));  // fixed corner
  EXPECT_EQ(b.GetPixelColor(65 + 30, 19 + 15), TColor(ColorToRGB(clHighlight)));  // selected
  EXPECT_EQ(b.GetPixelColor(195 + 30, 19 * 3 + 15), TColor(ColorToRGB(clWindow)));
  EXPECT_EQ(b.GetPixelColor(64, 30), TColor(ColorToRGB(clBtnShadow)));  // fixed column's line
  test::SaveShot(b, "kv_draw_grid.png");
}

TEST_F(DrawGrid, EmptyGridsAndCellsWiderThanTheWindowPaintAndScrollInsideTheirArrays) {
  struct Case {
    int32_t Cols, Rows, ColWidth, RowHeight;
  } cases[] = {{5, 0, 64, 18}, {0, 0, 64, 18}, {1, 1, 64, 18}, {3, 3, 5000, 18}, {2, 40, 64, 5000}, {60, 60, 0, 0}};
  Form->HandleNeeded();
  for (const Case& c : cases) {
    Grid->SetColCount(c.Cols);
    Grid->SetRowCount(c.Rows);
    Grid->SetDefaultColWidth(c.ColWidth);
    Grid->SetDefaultRowHeight(c.RowHeight);
    Render();
    for (UINT msg : {WM_VSCROLL, WM_HSCROLL})
      for (uint16_t code : {SB_LINEDOWN, SB_PAGEDOWN, SB_BOTTOM, SB_LINEUP, SB_TOP, SB_THUMBPOSITION})
        Grid->Perform(msg, MakeLong(code, 3), 0);
    for (uint16_t k : {VK_END, VK_NEXT, VK_DOWN, VK_RIGHT, VK_PRIOR, VK_HOME}) Key(*Grid, k);
    for (int32_t x : {-5, 0, 70, 299, 400}) Click(*Grid, x, 50);
    Render();
    EXPECT_EQ(Grid->CellRect(c.Cols + 3, 0), TRect{}) << c.Cols << "x" << c.Rows;
    EXPECT_EQ(Grid->ColWidths(-1), 0);
    EXPECT_EQ(Grid->RowHeights(c.Rows), 0);
    EXPECT_LE(Grid->Col(), std::max(c.Cols, 1));
    EXPECT_LE(Grid->TopRow(), std::max(c.Rows, 1));
  }
  EXPECT_THROW(Grid->SetColWidths(99, 10), EInvalidGridOperation);
}

TEST_F(DrawGrid, FixedCellsPressLikeButtons) {
  Grid->SetRowCount(20);
  Form->HandleNeeded();
  Grid->OnCheckButton = [this](TObject*, int32_t C, int32_t R, bool& Enabled) {
    Log.push_back("check " + IntToStr(C) + "," + IntToStr(R));
    Enabled = C != 3;
  };
  Grid->OnFixedCellClick = [this](TObject*, int32_t C, int32_t R) {
    Log.push_back("click " + IntToStr(C) + "," + IntToStr(R));
  };
  Grid->OnDblClick = [this](TObject*) { Log.push_back("dblclick"); };

  // Without fixed buttons a fixed cell behaves as in the layer's grid.
  Click(*Grid, X(2), Y(0));
  EXPECT_TRUE(Events().empty());

  Grid->SetFixedButtons(true);
  Mouse(*Grid, WM_LBUTTONDOWN, X(2), Y(0), MK_LBUTTON);
  EXPECT_EQ(Grid->PressedCell(), (TGridCoord{2, 0}));
  {
    // Pressed: sunken, the shadow on its top-left edge.
    const TBitmap& b = Render();
    EXPECT_EQ(b.GetPixelColor(130, 5), TColor(ColorToRGB(clBtnShadow)));
    test::SaveShot(b, "kv_draw_grid_pressed.png");
  }
  Mouse(*Grid, WM_LBUTTONUP, X(2), Y(0));
  EXPECT_EQ(Render().GetPixelColor(130, 5), TColor(ColorToRGB(clBtnHighlight)));  // raised again

  // Released over another cell: no click; shown pressed only while over it.
  Mouse(*Grid, WM_LBUTTONDOWN, X(1), Y(0), MK_LBUTTON);
  Mouse(*Grid, WM_MOUSEMOVE, X(2), Y(0), MK_LBUTTON);
  EXPECT_TRUE(Grid->Pressing());
  EXPECT_EQ(Render().GetPixelColor(65, 5), TColor(ColorToRGB(clBtnHighlight)));
  Mouse(*Grid, WM_LBUTTONUP, X(2), Y(0));

  // Refused: a beep and no press.
  const int32_t beeps = BeepCount();
  Mouse(*Grid, WM_LBUTTONDOWN, X(3), Y(0), MK_LBUTTON);
  EXPECT_EQ(BeepCount(), beeps + 1);
  EXPECT_FALSE(Grid->Pressing());
  Mouse(*Grid, WM_LBUTTONUP, X(3), Y(0));

  // A double click on a fixed cell is one more press; elsewhere it is a double click.
  Mouse(*Grid, WM_LBUTTONDOWN, X(0), Y(2), MK_LBUTTON);
  Mouse(*Grid, WM_LBUTTONUP, X(0), Y(2));
  Mouse(*Grid, WM_LBUTTONDBLCLK, X(0), Y(2), MK_LBUTTON);
  Mouse(*Grid, WM_LBUTTONUP, X(0), Y(2));
  Mouse(*Grid, WM_LBUTTONDBLCLK, X(2), Y(2), MK_LBUTTON);
  Mouse(*Grid, WM_LBUTTONUP, X(2), Y(2));

  // Scrolling ends a press without a click.
  Mouse(*Grid, WM_LBUTTONDOWN, X(0), Y(1), MK_LBUTTON);
  Grid->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_FALSE(Grid->Pressing());
  Mouse(*Grid, WM_LBUTTONUP, X(0), Y(1));

  EXPECT_EQ(Events(), (std::vector<std::string>{"check 2,0", "click 2,0", "check 1,0", "check 3,0", "check 0,2",
                                                "click 0,2", "check 0,2", "click 0,2", "dblclick", "check 0,1"}));
}

TEST_F(DrawGrid, ColumnsAreSizedAtTheirLinesInTheFixedRow) {
  Grid->SetFixedButtons(true);
  Grid->OnColumnSized = [this](TObject*) { Log.push_back("sized " + IntToStr(Grid->ColWidths(1))); };
  Grid->OnCheckButton = [this](TObject*, int32_t, int32_t, bool&) { Log.push_back("check"); };
  Mouse(*Grid, WM_MOUSEMOVE, 129, 5);
  EXPECT_EQ(Grid->Cursor(), crHSplit);
  Mouse(*Grid, WM_LBUTTONDOWN, 129, 5, MK_LBUTTON);
  Mouse(*Grid, WM_MOUSEMOVE, 150, 5, MK_LBUTTON);
  EXPECT_EQ(Grid->GridState(), gsColSizing);
  EXPECT_EQ(Render().GetPixelColor(150, 60), clBlack);  // the line the column is sized to
  Mouse(*Grid, WM_LBUTTONUP, 150, 5);
  EXPECT_EQ(Grid->ColWidths(1), 85);
  EXPECT_EQ(Grid->CellRect(2, 1).Left, 65 + 85 + 1);
  EXPECT_EQ(Events(), std::vector<std::string>{"sized 85"});

  // Sizing is only at the fixed row; lower down the same line selects.
  Grid->SetFixedButtons(false);
  Click(*Grid, 150, Y(2));
  EXPECT_EQ(Grid->ColWidths(1), 85);
  EXPECT_EQ(Grid->Col(), 1);
}

TEST_F(DrawGrid, ScrollBarsFollowTheCellsAndMoveTheView) {
  Grid->SetRowCount(30);
  Grid->SetColCount(3);
  Form->HandleNeeded();
  Grid->OnTopLeftChanged = [this](TObject*) { Log.push_back("topleft " + IntToStr(Grid->TopRow())); };
  EXPECT_TRUE(ScrollBarVisible(Grid, SB_VERT));
  EXPECT_FALSE(ScrollBarVisible(Grid, SB_HORZ));
  Grid->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(Grid->TopRow(), 2);
  Grid->Perform(WM_VSCROLL, SB_BOTTOM, 0);
  const int32_t last = Grid->TopRow();
  EXPECT_EQ(last + Grid->VisibleRowCount(), 30);
  EXPECT_EQ(GetScrollPos(Grid, SB_VERT), last);
  Grid->Perform(WM_VSCROLL, MakeLong(SB_THUMBPOSITION, 5), 0);
  EXPECT_EQ(Grid->TopRow(), 5);
  // The current cell moving out of view brings it back into view.
  Grid->SetRow(29);
  EXPECT_EQ(Grid->TopRow(), last);
  Grid->SetRowCount(3);
  EXPECT_FALSE(ScrollBarVisible(Grid, SB_VERT));
  EXPECT_EQ(Grid->TopRow(), 1);
  EXPECT_EQ(Events(), (std::vector<std::string>{"topleft 2", "topleft " + IntToStr(last), "topleft 5",
                                                "topleft " + IntToStr(last)}));
}

TEST_F(DrawGrid, TheRightButtonMovesColumnsAndRows) {
  Grid->SetOptions(Grid->Options() + TGridOptions{goColMoving, goRowMoving});
  Grid->SetFixedButtons(true);
  Grid->SetColWidths(1, 40);
  Grid->OnColumnMoved = [this](TObject*, int32_t From, int32_t To) {
    Log.push_back("col " + IntToStr(From) + ">" + IntToStr(To));
  };
  Grid->OnRowMoved = [this](TObject*, int32_t From, int32_t To) {
    Log.push_back("row " + IntToStr(From) + ">" + IntToStr(To));
  };
  Grid->OnFixedCellClick = [this](TObject*, int32_t, int32_t) { Log.push_back("click"); };
  Mouse(*Grid, WM_RBUTTONDOWN, 70, Y(0), MK_RBUTTON);
  Mouse(*Grid, WM_MOUSEMOVE, 200, Y(0), MK_RBUTTON);
  Mouse(*Grid, WM_RBUTTONUP, 200, Y(0));
  EXPECT_EQ(Grid->ColWidths(3), 40);  // the column went with its width
  Mouse(*Grid, WM_RBUTTONDOWN, X(0), Y(3), MK_RBUTTON);
  Mouse(*Grid, WM_MOUSEMOVE, X(0), Y(1), MK_RBUTTON);
  Mouse(*Grid, WM_RBUTTONUP, X(0), Y(1));
  EXPECT_EQ(Events(), (std::vector<std::string>{"col 1>3", "row 3>1"}));
}

class DrawGridLayout : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    EnsureQtApplication();
    SetRegistryFolder(Dir);
  }
  void TearDown() override {
    SetRegistryFolder("");
    TTempFolderTest::TearDown();
  }
};

TEST_F(DrawGridLayout, ColumnWidthsAreKeptByTheFormsSettingsStore) {
  auto make = [](TForm& F, const std::string& GridName) {
    auto* store = new TFormStorage(&F);
    store->SetUseRegistry(true);
    store->SetIniFileName("\\software\\Kavrelin\\gridtest");
    auto* g = new TKvDrawGrid(&F);
    g->SetName(GridName);
    g->SetParent(&F);
    g->SetIniStorage(store);
    return std::pair{store, g};
  };
  {
    TForm f(nullptr);
    auto [store, g] = make(f, "Grid1");
    store->RestoreFormPlacement();
    g->SetColWidths(2, 99);
    g->SetColWidths(4, 7);
    store->SaveFormPlacement();
  }
  TForm f(nullptr);
  auto [store, g] = make(f, "Grid1");
  store->RestoreFormPlacement();
  EXPECT_EQ(g->ColWidths(2), 99);
  EXPECT_EQ(g->ColWidths(4), 7);
  EXPECT_EQ(g->ColWidths(1), 64);
  TForm other(nullptr);
  auto [store2, unnamed] = make(other, "");
  store2->RestoreFormPlacement();
  EXPECT_EQ(unnamed->ColWidths(2), 64);  // a grid without a name keeps nothing
}

class GridEditing : public DrawGrid {
 protected:
  void SetUp() override {
    DrawGrid::SetUp();
    Grid->SetOptions(Grid->Options() + TGridOptions{goEditing});
    Cells[{1, 1}] = "alt";
    Grid->OnGetEditText = [this](TObject*, int32_t C, int32_t R, std::string& V) {
      Log.push_back("get " + IntToStr(C) + "," + IntToStr(R));
      V = Cells[{C, R}];
    };
    Grid->OnSetEditText = [this](TObject*, int32_t C, int32_t R, const std::string& V) {
      Log.push_back("set " + V);
      Cells[{C, R}] = V;
    };
    Grid->OnShowEditor = [this](TObject*, int32_t C, int32_t, bool& Allow) {
      Log.push_back("show " + IntToStr(C));
      Allow = C != 2;
    };
    Grid->OnGetEditLimit = [this](TObject*, int32_t& Max) {
      Log.push_back("limit");
      Max = 6;
    };
    Grid->OnGetEditStyle = [this](TObject*, int32_t C, int32_t, TEditStyle& S) {
      Log.push_back("style");
      S = C == 3 ? esEllipsis : C == 4 ? esPickList : esSimple;
    };
    Grid->OnGetEditAlign = [this](TObject*, int32_t, int32_t, TAlignment& A) {
      Log.push_back("align");
      A = taRightJustify;
    };
    Grid->OnEditChange = [this](TObject*) { Log.push_back("change"); };
    Grid->OnCancelEdit = [this](TObject*) { Log.push_back("cancel"); };
    Grid->OnAcceptEditKey = [](TObject*, char32_t& K) { return !(K >= '0' && K <= '9'); };
  }
  TKvInplaceEdit* Editor() { return dynamic_cast<TKvInplaceEdit*>(Grid->InplaceEditor()); }
};

TEST_F(GridEditing, ShowTypeCommitAndCancel) {
  Key(*Grid, VK_F2);
  ASSERT_TRUE(Grid->EditorMode());
  ASSERT_NE(Editor(), nullptr);
  EXPECT_EQ(Editor()->Text(), "alt");
  EXPECT_EQ(Editor()->MaxLength(), 6);
  EXPECT_EQ(Editor()->Alignment(), taRightJustify);
  EXPECT_EQ(Editor()->BoundsRect(), Grid->CellRect(1, 1));
  Editor()->SetText("neu");
  // Escape hides the editor; the text never reaches the cell.
  Key(*Editor(), VK_ESCAPE);
  EXPECT_FALSE(Grid->EditorMode());
  EXPECT_FALSE(Editor()->Visible());
  EXPECT_EQ((Cells[{1, 1}]), "alt");

  Key(*Grid, VK_F2);
  Editor()->SetText("x");
  EXPECT_TRUE(Editor()->AcceptChar('y'));
  const int32_t beeps = BeepCount();
  EXPECT_FALSE(Editor()->AcceptChar('7'));  // refused by OnAcceptEditKey
  EXPECT_EQ(BeepCount(), beeps + 1);
  Editor()->TypeChar('y');
  Editor()->TypeChar('7');
  Key(*Editor(), VK_RETURN);
  EXPECT_FALSE(Grid->EditorMode());
  EXPECT_EQ((Cells[{1, 1}]), "xy");

  // Refused by OnShowEditor: editing stays off.
  Grid->SetCol(2);
  Key(*Grid, VK_F2);
  EXPECT_FALSE(Grid->EditorMode());

  EXPECT_EQ(Events(), (std::vector<std::string>{"show 1", "limit", "get 1,1", "style", "align", "change", "cancel",
                                                "show 1", "limit", "get 1,1", "style", "align", "change", "change",
                                                "set xy", "show 2"}));
}

TEST_F(GridEditing, EllipsisButtonAndPickList) {
  std::vector<std::string> clicks;
  Grid->OnEditButtonClick = [&](TObject*) { clicks.push_back("button"); };
  std::vector<std::string> fruit{"Apfel", "Banane", "Birne", "Kirsche"};
  for (int i = 0; i < 8; ++i) fruit.push_back("Zitrone" + IntToStr(i));
  Grid->OnGetPicklist = [&](TObject*, int32_t, int32_t, TStrings* L) { L->AssignLines(fruit); };
  Form->HandleNeeded();

  Grid->SetCol(3);
  Key(*Grid, VK_F2);
  ASSERT_TRUE(Editor()->Button()->Visible());
  EXPECT_EQ(Editor()->Button()->Left(), Editor()->ClientWidth() - 16);
  Click(*Editor()->Button(), 4, 4);
  EXPECT_EQ(clicks, std::vector<std::string>{"button"});
  Click(*Editor()->Button(), 4, 4);
  Mouse(*Editor()->Button(), WM_LBUTTONDOWN, 4, 4, MK_LBUTTON);
  Mouse(*Editor()->Button(), WM_LBUTTONUP, 40, 4);  // released off the button: no click
  EXPECT_EQ(clicks.size(), 2u);
  test::SaveShot(Render(), "kv_draw_grid_editing.png");
  Editor()->Button()->Invalidate();
  Editor()->Button()->PreparePaint();
  test::SaveShot(Editor()->Button()->BackBuffer(), "kv_draw_grid_ellipsis.png");
  Key(*Editor(), VK_RETURN);

  Cells[{4, 1}] = "Birne";
  Grid->SetCol(4);
  Key(*Grid, VK_F2);
  ASSERT_EQ(Editor()->EditStyle(), esPickList);
  Editor()->Button()->Invalidate();
  Editor()->Button()->PreparePaint();
  test::SaveShot(Editor()->Button()->BackBuffer(), "kv_draw_grid_dropdown.png");
  Editor()->ButtonClick();
  ASSERT_TRUE(Editor()->ListVisible());
  TPopupListbox* list = Editor()->PickList();
  EXPECT_EQ(list->ItemIndex(), 2);  // the entry equal to the text
  EXPECT_GE(list->Width(), Editor()->Width());
  EXPECT_EQ(list->Height(), 8 * list->ItemHeight() + 2);  // at most eight rows show
  EXPECT_GE(list->Top(), Editor()->ClientToScreen(TPoint{0, Editor()->Height()}).Y - 0);
  EXPECT_TRUE(Editor()->TakeKey(VK_DOWN, {}));
  EXPECT_TRUE(Editor()->TakeKey(VK_RETURN, {}));
  EXPECT_FALSE(Editor()->ListVisible());
  EXPECT_EQ(Editor()->Text(), "Kirsche");

  // Typing searches: two letters within four seconds, then a fresh start after five.
  uint32_t now = 100000;
  list->TickCount = [&] { return now; };
  Editor()->DropDown();
  EXPECT_FALSE(Editor()->AcceptChar('b'));  // typed into the list
  EXPECT_EQ(list->ItemIndex(), 1);
  now += 1000;
  Editor()->AcceptChar('i');
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(list->SearchText(), "bi");
  now += 5000;
  Editor()->AcceptChar('z');
  EXPECT_EQ(list->SearchText(), "z");
  EXPECT_EQ(list->ItemIndex(), 4);
  EXPECT_TRUE(Editor()->TakeKey(VK_BACK, {}));
  EXPECT_EQ(list->SearchText(), "");
  EXPECT_TRUE(Editor()->TakeKey(VK_ESCAPE, {}));  // closes unchanged
  EXPECT_FALSE(Editor()->ListVisible());
  EXPECT_EQ(Editor()->Text(), "Kirsche");
  // A click on an entry takes it.
  Editor()->DropDown();
  Click(*list, 5, list->ItemHeight() * 1 + 2);
  EXPECT_FALSE(Editor()->ListVisible());
  EXPECT_EQ(Editor()->Text(), "Banane");
}

}  // namespace
}  // namespace kv

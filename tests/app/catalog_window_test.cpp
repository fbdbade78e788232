// Catalog windows: the order of their entries, the grid their frame lays out,
// the catalog lines of the command language, catalog files, and the main
// window's menus and actions while a catalog window is in front.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/catalog/image_source_frame.h"
#include "app/workflows/slide_form.h"
#include "components/controls/file_dir_edit.h"
#include "platform/ui/std_controls.h"
#include "app/actions/main_actions.h"
#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_menus.h"
#include "app/catalog/catalog_sort.h"
#include "app/catalog/catalog_window.h"
#include "app/helpers/folder_helpers.h"
#include "app/params/param_strings.h"
#include "command_fixture.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/random.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/actions.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/menus.h"
#include "platform/system/paths.h"
#include "platform/ui/messages.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/scrolling.h"
#include "support/shot_file.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

std::vector<std::string> Lines(const TStrings& List) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < List.Count(); ++i) out.push_back(List.Strings(i));
  return out;
}

// Puts the shared sort text back whatever a test set.
class SortScope {
 public:
  explicit SortScope(const std::string& Text) : FPrevious(CurrentCatalogSort()) { SetCurrentCatalogSort(Text); }
  ~SortScope() { SetCurrentCatalogSort(FPrevious); }

 private:
  std::string FPrevious;
};

// ---- order of entries ----

TEST(CatalogSort, FileAndNumberOrdersByTheTrailingNumberAsAValue) {
  TCatalogSort s;
  s.Sort1 = skFileNumber;
  struct Case {
    const char *A, *B;
    int Sign;
  } cases[] = {
      {"/p/foto2.jpg", "/p/foto10.jpg", -1},
      {"/p/FOTO10.jpg", "/p/foto9.png", 1},            // prefix without case, then the number
      {"/p/foto007.jpg", "/p/foto7.jpg", 0},           // the value, not the text
      {"/p/foto.jpg", "/p/foto0.jpg", -1},             // no number before any number
      {"/a/zz9.jpg", "/b/aa1.jpg", -1},                // the folder is part of the prefix
      {"/p/x123456789012345678901.jpg", "/p/x99999999999999999999.jpg", 1},  // longer than 64 bits
      {"/p/img_2020_05a.jpg", "/p/img_2020_4b.jpg", 1},  // the last run of digits counts
  };
  for (const Case& c : cases) {
    const int r = CompareCatalogFiles(s, c.A, c.B);
    EXPECT_EQ((r > 0) - (r < 0), c.Sign) << c.A << " " << c.B;
  }
  s.Sort1Descending = true;
  EXPECT_GT(CompareCatalogFiles(s, "/p/foto2.jpg", "/p/foto10.jpg"), 0);
}

TEST(CatalogSort, TextRoundTripAndKeysWithoutCase) {
  TCatalogSort s;
  s.Sort1 = 3;
  s.Sort2 = 1;
  s.Sort2Descending = true;
  EXPECT_EQ(WriteCatalogSort(s), " Sort1=3 Sort1descanding=0 Sort2=1 Sort2descanding=1");
  const TCatalogSort r = ReadCatalogSort("sort1=5 SORT1DESCANDING=1 Sort2=6");
  EXPECT_EQ(r.Sort1, 5);
  EXPECT_TRUE(r.Sort1Descending);
  EXPECT_EQ(r.Sort2, 6);
  EXPECT_FALSE(r.Sort2Descending);
}

TEST(CatalogSort, SecondKeyDecidesTiesAndSizesComeFromTheFiles) {
  TScratchFolder tmp;
  const std::string dir = tmp.Path() + "/";
  const std::string a = dir + "b/x.jpg", b = dir + "a/x.jpg", c = dir + "a/y.jpg";
  for (const auto& [f, size] : {std::pair{a, 30}, std::pair{b, 10}, std::pair{c, 20}}) {
    ForceDirectories(ExtractFilePath(f));
    WriteText(f, std::string(size_t(size), 'x'));
  }
  TStringList list;
  list.AssignLines({a, b, c, dir + "missing.jpg"});
  TCatalogSort s;
  s.Sort1 = skFileName;
  s.Sort2 = skFolder;
  SortCatalogList(list, s);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{dir + "missing.jpg", b, a, c}));
  s = TCatalogSort{};
  s.Sort1 = skFileSize;
  s.Sort1Descending = true;
  SortCatalogList(list, s);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{a, c, b, dir + "missing.jpg"}));
}

TEST(CatalogSort, RandomShufflesOnEveryResortWithoutLosingEntries) {
  const int32_t seed = RandSeed;
  RandSeed = 4711;
  TStringList list;
  std::vector<std::string> all;
  for (int i = 0; i < 40; ++i) all.push_back("/p/f" + std::to_string(i) + ".jpg");
  list.AssignLines(all);
  TCatalogSort s;
  s.Sort1 = skRandom;
  SortCatalogList(list, s);
  const std::vector<std::string> first = Lines(list);
  SortCatalogList(list, s);
  EXPECT_NE(Lines(list), first);
  EXPECT_NE(first, all);
  EXPECT_EQ(std::multiset<std::string>(first.begin(), first.end()),
            std::multiset<std::string>(all.begin(), all.end()));
  // A random insert lands somewhere inside the list, never outside it.
  SortScope scope(WriteCatalogSort(s));
  for (int i = 0; i < 50; ++i) InsertSorted(list, "/p/new.jpg");
  EXPECT_EQ(list.Count(), 90);
  RandSeed = seed;
}

TEST(CatalogSort, InsertSortedPlaces) {
  {
    SortScope none("");
    TStringList list;
    list.AssignLines({"/p/foto9.jpg", "/p/foto1.jpg"});
    InsertSorted(list, "/p/foto5.jpg");
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"/p/foto9.jpg", "/p/foto1.jpg", "/p/foto5.jpg"}));
  }
  SortScope byNumber(" Sort1=1");
  const struct Case {
    std::vector<std::string> List;
    std::string Path;
    int32_t At;
  } cases[] = {
      {{}, "/p/a1", 0},
      {{"/p/a5"}, "/p/a1", 0},
      {{"/p/a5"}, "/p/a9", 1},
      {{"/p/a5"}, "/p/a5.png", 0},  // equal: before it
      {{"/p/a1", "/p/a5", "/p/a9"}, "/p/a5.png", 1},
      {{"/p/a1", "/p/a5", "/p/a9"}, "/p/a6", 2},
      {{"/p/a1", "/p/a5", "/p/a9"}, "/p/a0", 0},
      {{"/p/a1", "/p/a5", "/p/a9"}, "/p/a10", 3},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.AssignLines(c.List);
    InsertSorted(list, c.Path);
    ASSERT_EQ(list.Count(), int32_t(c.List.size()) + 1);
    EXPECT_EQ(list.Strings(c.At), c.Path) << c.Path << " into " << c.List.size();
  }
  // Past 256 entries the largest still goes to the end, and every insert keeps the order.
  TStringList big;
  for (int i = 600; i >= 0; i -= 2) InsertSorted(big, "/p/a" + std::to_string(i));
  InsertSorted(big, "/p/a1000");
  InsertSorted(big, "/p/a301");
  EXPECT_EQ(big.Strings(big.Count() - 1), "/p/a1000");
  for (int32_t i = 1; i < big.Count(); ++i)
    EXPECT_LT(CompareCatalogFiles(ReadCatalogSort(" Sort1=1"), big.Strings(i - 1), big.Strings(i)), 0) << i;
}

TEST(CatalogFile, LinesWithoutAFolderAreImagesAndBlankLinesAreSkipped) {
  TScratchFolder tmp;
  const std::string dir = tmp.Path() + "/";
  SetProgramFolder(dir);
  WriteText(dir + "k.pcf", "/abs/a.jpg\r\nb.png\n\n   \nsub/c.gif\n");
  EXPECT_EQ(ReadCatalogFile(dir + "k.pcf"),
            (std::vector<std::string>{"/abs/a.jpg", ImagesFolder() + "b.png", "sub/c.gif"}));
  EXPECT_ANY_THROW(ReadCatalogFile(dir + "none.pcf"));
  // A mark written twice: the entry is the same as with one, and reads so again once written back.
  WriteText(dir + "m.pcf", "\xEF\xBB\xBF\xEF\xBB\xBF/abs/a.jpg\r\n\xEF\xBB\xBF/abs/b.jpg\r\n");
  const std::vector<std::string> marked = ReadCatalogFile(dir + "m.pcf");
  EXPECT_EQ(marked, (std::vector<std::string>{"/abs/a.jpg", "/abs/b.jpg"}));
  TStringList list;
  for (const std::string& e : marked) list.Add(e);
  WriteCatalogFile(dir + "m2.pcf", list);
  EXPECT_EQ(ReadCatalogFile(dir + "m2.pcf"), marked);
  SetProgramFolder("");
}

// ---- the frame's grid ----

class CatalogFrameGrid : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApplication(); }
  // A frame of its own: no main window, so thumbnails 100 x 70 and margin 15 (cells 130 wide).
  std::unique_ptr<Tcatalogframe> Frame(int32_t Files, int32_t Width, int32_t Height) {
    auto f = std::make_unique<Tcatalogframe>(nullptr);
    f->SetBounds(0, 0, Width, Height);
    for (int32_t i = 0; i < Files; ++i) f->Files().Add("/p/f" + std::to_string(i) + ".jpg");
    f->Repaint();
    return f;
  }
};

TEST_F(CatalogFrameGrid, ArrangementsAndCellIndexes) {
  auto f = Frame(0, 400, 300);
  EXPECT_TRUE(f->Horizontal());
  EXPECT_EQ(f->InfoSet(), ReadParamImageInfoset("Info=265", "Info"));
  f->SetArrangement(carCells, false);
  EXPECT_EQ(f->DrawGrid1().ColCount(), 4);  // 400 div 130 + 1
  EXPECT_EQ(f->DrawGrid1().RowCount(), 2);  // an empty catalog still has 2 x 2 cells
  for (int32_t c = 0; c < 4; ++c)
    for (int32_t r = 0; r < 2; ++r) EXPECT_EQ(f->CellFileIndex(c, r), -1);

  f = Frame(7, 400, 300);
  f->SetArrangement(carCells, false);
  EXPECT_EQ(f->DrawGrid1().RowCount(), 4);  // 6 div 3 + 2
  EXPECT_EQ(f->DrawGrid1().ColWidths(0), 0);
  EXPECT_EQ(f->DrawGrid1().ColWidths(1), 130);
  const struct {
    int32_t Col, Row, Index;
  } cells[] = {{1, 1, 0}, {3, 1, 2}, {1, 2, 3}, {1, 3, 6}, {2, 3, -1}, {0, 1, -1}};
  for (const auto& c : cells) EXPECT_EQ(f->CellFileIndex(c.Col, c.Row), c.Index) << c.Col << "," << c.Row;

  f->SetArrangement(carCells, true);  // down the columns
  const int32_t rows = f->DrawGrid1().RowCount();
  EXPECT_EQ(f->CellFileIndex(1, 2), 1);
  EXPECT_EQ(f->CellFileIndex(2, 1), rows - 1);

  f->SetArrangement(carOverview, true);
  EXPECT_EQ(f->DrawGrid1().RowCount(), 3);
  EXPECT_EQ(f->DrawGrid1().ColCount(), 8);
  EXPECT_EQ(f->CellFileIndex(4, 1), 3);
  EXPECT_EQ(f->CellFileIndex(4, 2), 3);  // the information below its picture

  f->SetArrangement(carDetailed, false);
  EXPECT_EQ(f->DrawGrid1().ColCount(), 3 + 2);  // name, size and comment
  EXPECT_EQ(f->DrawGrid1().RowCount(), 8);
  EXPECT_GT(f->DrawGrid1().RowHeights(0), 0);  // the captions
  f->SetInfoSet(tImageInfoset{});
  EXPECT_EQ(f->DrawGrid1().ColCount(), 2);  // the thumbnails only
}

TEST_F(CatalogFrameGrid, SelectedFilesAreSortedAndUnique) {
  auto f = Frame(7, 400, 300);
  f->SetArrangement(carOverview, false);
  f->DrawGrid1().SetSelection(TGridRect{1, 5, 2, 6});  // two files, each by picture and information
  TStringList sel;
  f->SelectedFiles(sel);
  EXPECT_EQ(Lines(sel), (std::vector<std::string>{"/p/f4.jpg", "/p/f5.jpg"}));
  EXPECT_EQ(f->SelectedFilesWithComments(), std::string("/p/f4.jpg\0/p/f5.jpg\0\0", 21));
}

// ---- catalog windows in the main window ----

class CatalogWindows : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    Sort = std::make_unique<SortScope>("");
  }
  void TearDown() override {
    CommandTest::TearDown();
    Sort.reset();
  }
  TFormcatalog* Catalog() { return Form->getcatalog(); }
  std::vector<std::string> Entries() { return Lines(Catalog()->catalogframe1->Files()); }
  TAction& A(const char* Name) {
    TAction* a = MainAction(*Form, Name);
    EXPECT_NE(a, nullptr) << Name;
    return *a;
  }
  bool MenuVisible(const char* Caption) { return Form->MainMenu1->Items()->Find(Caption)->Visible(); }
  TMenuItem* ItemOf(TMenuItem* Menu, const std::string& Caption) {
    for (int32_t i = 0; i < Menu->Count(); ++i)
      if (Menu->Items(i)->Caption() == Caption) return Menu->Items(i);
    ADD_FAILURE() << Caption;
    return nullptr;
  }

  std::unique_ptr<SortScope> Sort;
};

TEST_F(CatalogWindows, NewAddSaveAndReopenRoundTrip) {
  SetCurrentCatalogSort(" Sort1=1");
  ASSERT_TRUE(RunLine("NEWCATALOG"));
  ASSERT_NE(Catalog(), nullptr);
  EXPECT_EQ(Catalog()->Caption(), "!unbenannt1");
  EXPECT_TRUE(Catalog()->Visible());
  for (const char* f : {"foto10.jpg", "foto2.jpg", "bild1.png", "foto1.jpg"})
    ASSERT_TRUE(RunLine("ADDCATALOG filename=\"" + Dir + f + "\""));
  EXPECT_EQ(Entries(), (std::vector<std::string>{Dir + "bild1.png", Dir + "foto1.jpg", Dir + "foto2.jpg",
                                                 Dir + "foto10.jpg"}));
  EXPECT_TRUE(Catalog()->modified);

  const std::string file = Dir + "urlaub.pcf";
  ASSERT_TRUE(RunLine("SaveAs FileName=\"" + file + "\""));
  EXPECT_EQ(ReadText(file), Dir + "bild1.png\n" + Dir + "foto1.jpg\n" + Dir + "foto2.jpg\n" + Dir + "foto10.jpg\n");
  EXPECT_EQ(Catalog()->Caption(), file);
  EXPECT_FALSE(Catalog()->modified);

  ASSERT_TRUE(RunLine("CLOSE"));  // saved: no question
  EXPECT_EQ(Windows(), 0);
  EXPECT_TRUE(Shown().empty());

  // Reopened under another sort, the entries take their sorted places.
  SetCurrentCatalogSort(" Sort1=1 Sort1descanding=1");
  ASSERT_TRUE(RunLine("open filename=\"" + file + "\""));
  ASSERT_NE(Catalog(), nullptr);
  EXPECT_EQ(Catalog()->Caption(), file);
  EXPECT_FALSE(Catalog()->modified);
  EXPECT_EQ(Entries(), (std::vector<std::string>{Dir + "foto10.jpg", Dir + "foto2.jpg", Dir + "foto1.jpg",
                                                 Dir + "bild1.png"}));
  TStringList recent;
  Form->historynames(recent);
  EXPECT_EQ(recent.Strings(0), file);
}

TEST_F(CatalogWindows, CatalogLinesFailWithoutACatalogOrOutsideTheList) {
  for (const char* line : {"ADDCATALOG filename=\"/p/a.jpg\"", "DELCATALOG Index=0"}) {
    EXPECT_FALSE(Line(line)) << line;
    EXPECT_TRUE(FailureShown(line)) << line;
  }
  ASSERT_TRUE(RunLine("NEWCATALOG"));
  for (const char* f : {"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"}) RunLine(std::string("ADDCATALOG filename=\"") + f + "\"");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"}));  // no sort: appended
  Catalog()->modified = false;
  ASSERT_TRUE(RunLine("DELCATALOG Index=1"));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"/p/a.jpg", "/p/c.jpg"}));
  EXPECT_TRUE(Catalog()->modified);
  for (const char* line : {"DELCATALOG Index=2", "DELCATALOG", "ADDCATALOG filename=\"\""}) {
    EXPECT_FALSE(Line(line)) << line;
    EXPECT_TRUE(FailureShown(line)) << line;
  }
  EXPECT_EQ(Entries().size(), 2u);
}

TEST_F(CatalogWindows, UnreadableCatalogFileLeavesNoWindow) {
  EXPECT_TRUE(RunLine("OPEN FileName=\"" + Dir + "fehlt.PCF\""));
  EXPECT_TRUE(ShownWithReason("Kann Datei " + Dir + "fehlt.PCF nicht laden."));
  EXPECT_EQ(Windows(), 0);
}

TEST_F(CatalogWindows, CloseQuestionOfAChangedCatalog) {
  ASSERT_TRUE(RunLine("NEWCATALOG"));
  RunLine("ADDCATALOG filename=\"/p/a.jpg\"");
  (*Dialogs)->Answer(mrCancel);
  ASSERT_TRUE(RunLine("CLOSEALL"));
  EXPECT_TRUE(ShownText("Möchten Sie Ihre Änderungen von !unbenannt1 speichern?"));
  EXPECT_EQ(Windows(), 1);
  EXPECT_TRUE(CancelFlag);  // so a shut-down stops too

  // Yes saves through the save-as dialog (an unsaved catalog has no name yet).
  (*Dialogs)->Answer(mrYes);
  std::string pattern;
  AnswerFileDialog([&](TFileDialogSession& S) {
    pattern = S.FilterPattern();
    S.SetFileNameText("neu.pcf");
    S.EnterFolder(Dir);
    S.PressOK();
  });
  ASSERT_TRUE(RunLine("CLOSE"));
  EXPECT_EQ(pattern, "*.pcf;");
  EXPECT_EQ(ReadText(Dir + "neu.pcf"), "/p/a.jpg\n");
  EXPECT_EQ(Windows(), 0);

  ASSERT_TRUE(RunLine("NEWCATALOG"));
  RunLine("ADDCATALOG filename=\"/p/a.jpg\"");
  (*Dialogs)->Answer(mrNo);
  ASSERT_TRUE(RunLine("CLOSE"));
  EXPECT_EQ(Windows(), 0);
  EXPECT_FALSE(CancelFlag);
}

TEST_F(CatalogWindows, SaveAllSavesANamedCatalogUnderItsName) {
  const std::string file = Dir + "k.pcf";
  WriteText(file, "/p/a.jpg\n");
  ASSERT_TRUE(RunLine("OPEN FileName=\"" + file + "\""));
  RunLine("ADDCATALOG filename=\"/p/b.jpg\"");
  ASSERT_TRUE(RunLine("SAVEALL"));
  EXPECT_EQ(ReadText(file), "/p/a.jpg\n/p/b.jpg\n");
  EXPECT_FALSE(Catalog()->modified);
}

TEST_F(CatalogWindows, MenuStateWithNoWindowAnImageWindowAndOnlyACatalog) {
  const char* fileActions[] = {"Save", "SaveAsA", "Saveall", "Closeit", "Closeall", "SendDirect"};
  const char* catalogActions[] = {"catalogadd", "catalogremove", "SlideshowCatalog", "printcatalog"};
  Form->updateall();
  for (const char* n : fileActions) EXPECT_FALSE(A(n).Enabled()) << n;
  for (const char* n : catalogActions) EXPECT_FALSE(A(n).Enabled()) << n;
  EXPECT_FALSE(MenuVisible("Katalog"));

  ASSERT_TRUE(RunLine("NEWCATALOG"));
  for (const char* n : fileActions) EXPECT_TRUE(A(n).Enabled()) << n;
  for (const char* n : catalogActions) EXPECT_TRUE(A(n).Enabled()) << n;
  for (const char* n : {"Print", "printtiled", "printposter", "Clear", "Draw"}) EXPECT_FALSE(A(n).Enabled()) << n;
  EXPECT_TRUE(MenuVisible("Katalog"));
  for (const char* m : {"Bearbeiten", "Farben", "Bild"}) EXPECT_FALSE(MenuVisible(m)) << m;

  ASSERT_TRUE(RunLine("NEWIMAGE Width=4 Height=4"));
  EXPECT_EQ(Catalog(), nullptr);
  EXPECT_FALSE(MenuVisible("Katalog"));
  EXPECT_FALSE(A("printcatalog").Enabled());
  EXPECT_TRUE(A("Print").Enabled());
}

TEST_F(CatalogWindows, NewCatalogActionAddsTheChosenFile) {
  WriteText(Dir + "a.png", "x");
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(Dir + "a.png");
    S.SetFileNameText("a.png");
    S.PressOK();
  });
  A("newcatalogaction").Execute();
  ASSERT_NE(Catalog(), nullptr);
  EXPECT_EQ(Entries(), std::vector<std::string>{Dir + "a.png"});
  EXPECT_EQ(Logged().Strings(Logged().Count() - 1), "ADDCATALOG Filename=\"" + Dir + "a.png\"");
}

TEST_F(CatalogWindows, RemoveDeletesTheSelectedFilesFromTheBack) {
  ASSERT_TRUE(RunLine("NEWCATALOG"));
  std::vector<std::string> all;
  for (int i = 0; i < 9; ++i) {
    all.push_back("/p/f" + std::to_string(i) + ".jpg");
    RunLine("ADDCATALOG filename=\"" + all.back() + "\"");
  }
  Tcatalogframe& frame = *Catalog()->catalogframe1;
  for (const bool horizontal : {false, true}) {
    frame.SetArrangement(carCells, horizontal);
    ASSERT_GE(frame.DrawGrid1().ColCount(), 3);
    ASSERT_GE(frame.DrawGrid1().RowCount(), 3);
  }
  // Two rows of two cells each: which files they show depends on the layout.
  frame.DrawGrid1().SetSelection(TGridRect{1, 1, 2, 2});
  std::set<std::string> gone;
  for (int32_t r = 1; r <= 2; ++r)
    for (int32_t c = 1; c <= 2; ++c) gone.insert(all[size_t(frame.CellFileIndex(c, r))]);
  ASSERT_EQ(gone.size(), 4u);
  A("catalogremove").Execute();
  std::vector<std::string> left;
  for (const std::string& f : all)
    if (!gone.count(f)) left.push_back(f);
  EXPECT_EQ(Entries(), left);
}

TEST_F(CatalogWindows, ClicksSelectCellsAndADoubleClickOpensTheFile) {
  ASSERT_TRUE(RunLine("NEWCATALOG"));
  for (const char* f : {"a.png", "b.png", "c.png"}) RunLine("ADDCATALOG filename=\"" + Dir + f + "\"");
  Tcatalogframe& frame = *Catalog()->catalogframe1;
  frame.SetArrangement(carCells, false);
  ASSERT_GE(frame.DrawGrid1().ColCount(), 4);
  TKvDrawGrid& g = frame.DrawGrid1();
  const int32_t y = g.RowHeights(0) + g.RowHeights(1) / 2;
  auto x = [&g](int32_t Col) { return g.ColWidths(0) + (Col - 1) * g.ColWidths(1) + g.ColWidths(1) / 2; };
  auto mouse = [&g](UINT Msg, int32_t X, int32_t Y, uint32_t Keys) {
    g.Perform(Msg, Keys, static_cast<LPARAM>(MakeLong(X, Y)));
  };
  mouse(WM_LBUTTONDOWN, x(1), y, MK_LBUTTON);
  mouse(WM_LBUTTONUP, x(1), y, 0);
  mouse(WM_LBUTTONDOWN, x(3), y, MK_LBUTTON | MK_SHIFT);
  mouse(WM_LBUTTONUP, x(3), y, 0);
  TStringList sel;
  frame.SelectedFiles(sel);
  EXPECT_EQ(Lines(sel), (std::vector<std::string>{Dir + "a.png", Dir + "b.png", Dir + "c.png"}));

  mouse(WM_LBUTTONDOWN, x(2), y, MK_LBUTTON);
  mouse(WM_LBUTTONUP, x(2), y, 0);
  mouse(WM_LBUTTONDBLCLK, x(2), y, MK_LBUTTON);
  mouse(WM_LBUTTONUP, x(2), y, 0);
  EXPECT_EQ(Logged().Strings(Logged().Count() - 1), "open Filename=\"" + Dir + "b.png\"");
  EXPECT_TRUE(ShownWithReason("Kann Datei " + Dir + "b.png nicht laden."));  // no picture in it
}

TEST_F(CatalogWindows, DraggingSelectedEntriesMovesThemToTheDropCell) {
  ASSERT_TRUE(RunLine("NEWCATALOG"));
  for (const char* f : {"a", "b", "c", "d", "e"}) RunLine(std::string("ADDCATALOG filename=\"/p/") + f + ".jpg\"");
  Tcatalogframe& frame = *Catalog()->catalogframe1;
  frame.SetArrangement(carCells, false);
  TKvDrawGrid& g = frame.DrawGrid1();
  auto centre = [&](int32_t Index) {
    for (int32_t r = 1; r < g.RowCount(); ++r)
      for (int32_t c = 1; c < g.ColCount(); ++c)
        if (frame.CellFileIndex(c, r) == Index) {
          const TRect cell = g.CellRect(c, r);
          return TPoint{(cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2};
        }
    ADD_FAILURE() << Index;
    return TPoint{};
  };
  auto mouse = [&g](UINT Msg, TPoint P, uint32_t Keys) { g.Perform(Msg, Keys, static_cast<LPARAM>(MakeLong(P.X, P.Y))); };
  Catalog()->modified = false;
  // A click starts a drag at once; released over the selection it drops nothing.
  mouse(WM_LBUTTONDOWN, centre(0), MK_LBUTTON);
  EXPECT_TRUE(g.Dragging());
  mouse(WM_LBUTTONUP, centre(0), 0);
  EXPECT_FALSE(g.Dragging());
  mouse(WM_LBUTTONDOWN, centre(1), MK_LBUTTON | MK_SHIFT);
  mouse(WM_MOUSEMOVE, centre(1), MK_LBUTTON);
  EXPECT_FALSE(Catalog()->modified);
  // Over another file the drop is taken: both entries go before it, in their order.
  mouse(WM_MOUSEMOVE, centre(3), MK_LBUTTON);
  mouse(WM_LBUTTONUP, centre(3), 0);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"/p/c.jpg", "/p/a.jpg", "/p/b.jpg", "/p/d.jpg", "/p/e.jpg"}));
  EXPECT_TRUE(Catalog()->modified);
  // Escape, or a cell without a file, drops nothing.
  g.SetSelection(TGridRect{1, 1, 1, 1});
  mouse(WM_LBUTTONDOWN, centre(0), MK_LBUTTON);
  mouse(WM_MOUSEMOVE, centre(4), MK_LBUTTON);
  g.Perform(WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_FALSE(g.Dragging());
  mouse(WM_LBUTTONUP, centre(4), 0);
  EXPECT_EQ(Entries()[0], "/p/c.jpg");
}

TEST_F(CatalogWindows, ScrollBarsShowTheCellsBeyondTheWindow) {
  ASSERT_TRUE(RunLine("NEWCATALOG"));
  for (int i = 0; i < 14; ++i) RunLine("ADDCATALOG filename=\"/p/f" + std::to_string(i) + ".jpg\"");
  Tcatalogframe& frame = *Catalog()->catalogframe1;
  TKvDrawGrid& g = frame.DrawGrid1();
  frame.SetArrangement(carOverview, true);  // one column per file
  ASSERT_TRUE(g.HandleAllocated());
  EXPECT_TRUE(ScrollBarVisible(&g, SB_HORZ));
  EXPECT_EQ(g.LeftCol(), 1);
  g.Perform(WM_HSCROLL, SB_LINEDOWN, 0);
  g.Perform(WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(g.LeftCol(), 3);
  int32_t col = 0, row = 0;
  ASSERT_TRUE(frame.CellAt(10, 10, col, row));
  EXPECT_EQ(frame.CellFileIndex(col, row), 2);
  g.Perform(WM_HSCROLL, SB_RIGHT, 0);
  EXPECT_EQ(g.LeftCol() + g.VisibleColCount(), g.ColCount());
  frame.SetArrangement(carOverview, false);  // one row per file: the view starts over
  EXPECT_EQ(g.LeftCol(), 1);
  EXPECT_TRUE(ScrollBarVisible(&g, SB_VERT));
  g.Invalidate();
  g.PreparePaint();
  test::SaveShot(g.BackBuffer(), "catalog_grid.png");
}

TEST_F(CatalogWindows, SlideShowFromACatalogSavesItFirst) {
  // The setup window opens on the saved catalog.
  std::string shownCatalog;
  int32_t opened = 0;
  auto answer = [&] {
    (*Dialogs)->AnswerModal([&](TCustomForm& F) {
      auto& setup = dynamic_cast<Tslideform&>(F);
      ++opened;
      if (setup.imageSourceframe1->SourceMode() == 0) shownCatalog = setup.imageSourceframe1->FilenameEdit1->Text();
      return mrCancel;
    });
  };
  ASSERT_TRUE(RunLine("NEWCATALOG"));
  AnswerFileDialog([](TFileDialogSession& S) { S.PressCancel(); });
  A("SlideshowCatalog").Execute();
  EXPECT_EQ(opened, 0);  // the save was cancelled: nothing more
  EXPECT_TRUE(CancelFlag);

  const std::string file = Dir + "show.pcf";
  ASSERT_TRUE(RunLine("SaveAs FileName=\"" + file + "\""));
  RunLine("ADDCATALOG filename=\"/p/a.jpg\"");
  answer();
  A("SlideshowCatalog").Execute();
  EXPECT_EQ(ReadText(file), "/p/a.jpg\n");
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(shownCatalog, file);
}

TEST_F(CatalogWindows, SortAndArrangementMenus) {
  Form->SetStoredString("CatalogSort", " Sort1=4 Sort1descanding=1 Sort2=1 Sort2descanding=0");
  Form->DoCreate();
  TMenuItem* sort1 = Form->Sortierung1;
  TMenuItem* sort2 = Form->Sortierung2;
  ASSERT_EQ(sort1->Count(), 14 + 2);
  EXPECT_EQ(sort1->Items(3)->Caption(), "Dateiname");
  EXPECT_TRUE(ItemOf(sort1, "Verzeichnis")->Checked());
  EXPECT_TRUE(ItemOf(sort1, "Absteigend")->Checked());
  EXPECT_TRUE(ItemOf(sort2, "Datei+Nummer")->Checked());
  EXPECT_EQ(CurrentCatalogSort(), Form->StoredString("CatalogSort"));

  ASSERT_TRUE(RunLine("NEWCATALOG"));
  for (const char* f : {"/p/b10.jpg", "/p/b9.jpg", "/q/a.jpg"}) RunLine(std::string("ADDCATALOG filename=\"") + f + "\"");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"/q/a.jpg", "/p/b9.jpg", "/p/b10.jpg"}));

  ItemOf(sort1, "Absteigend")->Click();
  EXPECT_EQ(Form->StoredString("CatalogSort"), " Sort1=4 Sort1descanding=0 Sort2=1 Sort2descanding=0");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"/p/b9.jpg", "/p/b10.jpg", "/q/a.jpg"}));
  ItemOf(sort1, "Keine")->Click();
  ItemOf(sort2, "Absteigend")->Click();
  EXPECT_FALSE(ItemOf(sort1, "Verzeichnis")->Checked());
  EXPECT_EQ(Entries(), (std::vector<std::string>{"/q/a.jpg", "/p/b10.jpg", "/p/b9.jpg"}));

  TMenuItem* arrange = Form->Katalog2;
  ASSERT_EQ(arrange->Count(), 5);
  Tcatalogframe& frame = *Catalog()->catalogframe1;
  ItemOf(arrange, "Überblick")->Click();
  EXPECT_EQ(frame.Arrangement(), carOverview);
  EXPECT_EQ(Form->StoredInt("CatalogArrange"), 1);
  ItemOf(arrange, "Horizontal")->Click();
  EXPECT_TRUE(frame.Horizontal());
  EXPECT_TRUE(Form->StoredBool("CatalogArrHor"));
  EXPECT_FALSE(ItemOf(arrange, "Zellen")->Checked());
}

TEST_F(CatalogWindows, MailFromACatalogAttachesEveryEntry) {
  const char* path = std::getenv("PATH");
  const std::string oldPath = path ? path : "/usr/bin:/bin";
  ForceDirectories(Dir + "bin");
  WriteText(Dir + "bin/xdg-email", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + Dir +
                                       "mail.txt'\n");
  ASSERT_EQ(::chmod((Dir + "bin/xdg-email").c_str(), 0755), 0);
  setenv("PATH", (Dir + "bin:" + oldPath).c_str(), 1);
  ASSERT_TRUE(RunLine("NEWCATALOG"));
  RunLine("ADDCATALOG filename=\"/p/a.jpg\"");
  RunLine("ADDCATALOG filename=\"/p/b c.jpg\"");
  const bool ok = Line("EMAIL SUBJECT=\"Katalog\"");
  setenv("PATH", oldPath.c_str(), 1);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ReadText(Dir + "mail.txt"), "--utf8\n--subject\nKatalog\n--attach\n/p/a.jpg\n--attach\n/p/b c.jpg\n");
}

}  // namespace
}  // namespace kv

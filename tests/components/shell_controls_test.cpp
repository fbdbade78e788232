// The shell controls over a temporary folder tree: item lists, file masks,
// the folder tree (expanding, hidden folders, masks, renaming in place, and
// following changes made while it watches), the folder combo and the file
// list following the tree, and the context menu's commands against GIO's
// own tool and the freedesktop trash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <filesystem>
#include <string>
#include <vector>

#include "components/shell/file_change_thread.h"
#include "components/shell/shell_context_menu.h"
#include "components/shell/shell_items.h"
#include "components/shell/system_combo_box.h"
#include "components/shell/system_tree_view.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/input_synth.h"
#include "platform/ui/message_window.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/scrolling.h"
#include "platform/ui/system_image_list.h"
#include "support/outside_tools.h"
#include "support/shell_home.h"
#include "support/temp_files.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

PItemIDList Items(const std::vector<std::string>& Names) {
  std::vector<uint8_t> b;
  for (const auto& n : Names) {
    const uint16_t cb = uint16_t(3 + n.size());
    b.push_back(uint8_t(cb & 0xFF));
    b.push_back(uint8_t(cb >> 8));
    b.push_back('F');
    b.insert(b.end(), n.begin(), n.end());
  }
  PItemIDList p = IdListAlloc(int32_t(b.size()) + 2);
  std::memcpy(p, b.data(), b.size());
  return p;
}

TEST(ShellItemLists, JoinCopyCompareAndWalk) {
  {
    TIdListHolder ab(Items({"a", "bb"})), c(Items({"ccc"})), abc(Items({"a", "bb", "ccc"}));
    EXPECT_EQ(IdListSize(ab.Get()), 4 + 5 + 2);
    EXPECT_EQ(IdListSize(nullptr), 0);
    TIdListHolder joined(IdListJoin(ab.Get(), c.Get()));
    EXPECT_TRUE(IdListEqual(joined.Get(), abc.Get()));
    TIdListHolder second(IdListJoin(nullptr, c.Get()));  // a missing first part copies the second
    EXPECT_TRUE(IdListEqual(second.Get(), c.Get()));
    EXPECT_NE(second.Get(), c.Get());
    EXPECT_TRUE(IdListEqual(nullptr, nullptr));
    EXPECT_FALSE(IdListEqual(ab.Get(), nullptr));
    EXPECT_FALSE(IdListEqual(ab.Get(), abc.Get()));
    EXPECT_EQ(IdListCopy(nullptr), nullptr);
    TIdListHolder first(IdListFirst(abc.Get())), last(IdListLast(abc.Get())), parent(IdListParent(abc.Get()));
    TIdListHolder a(Items({"a"}));
    EXPECT_TRUE(IdListEqual(first.Get(), a.Get()));
    EXPECT_TRUE(IdListEqual(last.Get(), c.Get()));
    EXPECT_TRUE(IdListEqual(parent.Get(), ab.Get()));
    EXPECT_EQ(IdListParent(a.Get()), nullptr);  // nothing would be left
    PCItemIDList n = IdListNext(abc.Get());
    n = IdListNext(IdListNext(n));
    EXPECT_NE(n, nullptr);
    EXPECT_EQ(IdListNext(n), nullptr);  // at the terminator
  }
  EXPECT_EQ(ShellLiveBlocks(), 0);
}

TEST(ShellFileMasks, TheMatchRulesAndCase) {
  struct TCase {
    std::string Masks, Name;
    bool Match;
  } cases[] = {
      {"", "anything", true},           // an empty mask text matches every name
      {"*.", "readme", true},           // a name without a point gets one
      {"*.jpg", "a.jpg", true},
      {"?.jpg", "a.jpg", true},
      {"??.jpg", "a.jpg", false},
      {"p*o.j*", "photo.jpeg", true},
      {"*.*", "readme", true},          // in a list the point is appended
      {"*.jpg", "a.png", false},
      {"*.jpg", "a.jpg.png", false},
      {"*.jpg;*.png", "b.png", true},
      {"*.JPG", "Urlaub.jpg", true},    // without regard to case, both ways
      {"*.jpg", "URLAUB.JPG", true},
      {"?.jpg", "ä.JPG", true},         // "?" is one character, not one byte
      {"*.jpg;;", "x", false},          // an empty mask matches nothing
      {"a?c", "ac", false},
      {"*ab*", "xxabyy", true},
  };
  for (const auto& c : cases) {
    TMaskList list;
    BuildMaskList(c.Masks, list);
    EXPECT_EQ(MatchesMaskList(c.Name, &list), c.Match) << c.Masks << " / " << c.Name;
  }
  // Alone, "*.*" wants a point.
  EXPECT_FALSE(MatchesMask("readme", "*.*"));
  EXPECT_TRUE(MatchesMask("a.b", "*.*"));
  EXPECT_TRUE(MatchesMaskList("x", nullptr));
  TMaskList list;
  BuildMaskList("*.PNG;*.png;*.jpg", list);
  EXPECT_EQ(list, (TMaskList{"*.jpg", "*.png"}));
}

class ShellTree : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    Root = Dir.Path();
    fs::create_directories(Root + "/alpha/eins");
    fs::create_directories(Root + "/beta");
    fs::create_directories(Root + "/.versteckt");
    test::WriteText(Root + "/bild.jpg", "j");
    test::WriteText(Root + "/bild.PNG", "p");
    test::WriteText(Root + "/text.txt", "t");
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 400, 500);
  }
  void TearDown() override {
    delete Form;
    // Watchers asked to stop end within their 10 ms slice.
    test::WaitFor([] { return TFileChangeThread::RunningCount() == 0; }, [] { WaitForMessages(5); });
    EXPECT_EQ(TFileChangeThread::RunningCount(), 0);
    EXPECT_EQ(FolderItemDataCount(), 0);
  }
  TdfsSystemTreeView* MakeTree(bool Window = true) {
    auto* t = new TdfsSystemTreeView(Form);
    t->SetParent(Form);
    t->SetBounds(0, 0, 300, 400);
    t->SetRootFolder(rfCustom);
    t->SetCustomDir(Root);
    t->SetReadDelay(0);
    if (Window) t->HandleNeeded();
    return t;
  }
  // The children's texts, sorted here: the tree's own order follows the locale.
  static std::vector<std::string> Texts(TTreeNode* Node) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < Node->Count(); ++i) out.push_back(Node->Item(i)->Text());
    std::sort(out.begin(), out.end());
    return out;
  }
  static TTreeNode* Child(TTreeNode* Node, const std::string& Text) {
    for (int32_t i = 0; i < Node->Count(); ++i)
      if (Node->Item(i)->Text() == Text) return Node->Item(i);
    return nullptr;
  }
  bool Until(const std::function<bool()>& Done, int Ms = 1000) {
    return test::WaitFor(Done, [] { WaitForMessages(10); }, Ms);
  }

  test::TShellHomeScope Scope;
  test::TScratchFolder Dir{"kvshelltree"};
  std::string Root;
  TForm* Form = nullptr;
};

TEST_F(ShellTree, ExpandsHiddenFoldersFilesAndMasks) {
  TdfsSystemTreeView* t = MakeTree();
  EXPECT_EQ(t->Version(), "TdfsSystemTreeView v0.97 Beta");
  t->SetVersion("x");
  EXPECT_EQ(t->Version(), "TdfsSystemTreeView v0.97 Beta");
  int populated = 0;
  t->OnPopulated = [&](TObject*, TTreeNode*) { ++populated; };
  ASSERT_EQ(t->RootCount(), 1);
  TTreeNode* root = t->Root(0);
  EXPECT_TRUE(root->Expanded());  // ExpandRoot
  EXPECT_EQ(Texts(root), (std::vector<std::string>{".versteckt", "alpha", "beta"}));
  EXPECT_TRUE(Child(root, "alpha")->HasChildren());
  EXPECT_FALSE(Child(root, "beta")->HasChildren());
  // A folder without subfolders loses its button once listed.
  TTreeNode* beta = Child(root, "beta");
  EXPECT_FALSE(beta->Expand());
  EXPECT_TRUE(Child(root, "alpha")->Expand());
  EXPECT_EQ(populated, 1);

  t->SetShowHiddenDirs(false);
  EXPECT_EQ(Texts(t->Root(0)), (std::vector<std::string>{"alpha", "beta"}));
  t->SetShowFiles(true);
  EXPECT_EQ(Texts(t->Root(0)), (std::vector<std::string>{"alpha", "beta", "bild.PNG", "bild.jpg", "text.txt"}));
  // Folders come before files.
  EXPECT_TRUE(t->Root(0)->Item(0)->HasChildren() || t->Root(0)->Item(0)->Text() == "beta");
  EXPECT_EQ(t->Root(0)->Item(2)->Text().substr(0, 4), "bild");
  t->SetFileMask("*.jpg;*.png");  // folders stay, files by mask, without regard to case
  EXPECT_EQ(Texts(t->Root(0)), (std::vector<std::string>{"alpha", "beta", "bild.PNG", "bild.jpg"}));
  // A link back up shows as a folder that never unfolds; a link elsewhere unfolds.
  fs::create_directory_symlink(Root, Root + "/alpha/zurueck");
  fs::create_directory_symlink(Root + "/alpha", Root + "/beta/zu-alpha");
  t->Rebuild();
  TTreeNode* alpha = Child(t->Root(0), "alpha");
  ASSERT_TRUE(alpha->Expand());
  TTreeNode* back = Child(alpha, "zurueck");
  ASSERT_TRUE(back);
  EXPECT_FALSE(back->HasChildren());
  EXPECT_FALSE(back->Expand());
  EXPECT_EQ(back->Count(), 0);
  ASSERT_TRUE(Child(t->Root(0), "beta")->Expand());
  EXPECT_TRUE(Child(Child(t->Root(0), "beta"), "zu-alpha")->Expand());
  t->SetCustomDirCaption("Meine Bilder");
  EXPECT_EQ(t->Root(0)->Text(), "Meine Bilder");
  // Every node carries its icon.
  EXPECT_GE(Child(t->Root(0), "alpha")->ImageIndex, 0);
}

TEST_F(ShellTree, SelectionBeforeTheWindowAndRenameInPlace) {
  TdfsSystemTreeView* t = MakeTree(false);
  t->SetSelection(Root + "/alpha/eins");  // kept until the tree is built
  t->HandleNeeded();
  EXPECT_EQ(t->Selection(), Root + "/alpha/eins");
  EXPECT_EQ(t->Directory(), Root + "/alpha/eins");

  // Renaming onto a name that exists is refused: nothing moves.
  TTreeNode* alpha = t->Selected()->Parent();
  test::WriteText(Root + "/alpha/zwei", "datei");
  ASSERT_TRUE(t->Selected()->EditText());
  t->EditControl()->SetText("zwei");
  t->EndEditNode(false);
  EXPECT_EQ(t->Selected()->Text(), "eins");
  EXPECT_TRUE(fs::is_directory(Root + "/alpha/eins"));
  EXPECT_EQ(test::ReadText(Root + "/alpha/zwei"), "datei");

  // A renamed folder keeps working: its children are listed under the new name.
  ASSERT_TRUE(alpha->EditText());
  t->EditControl()->SetText("gamma");
  t->EndEditNode(false);
  EXPECT_EQ(alpha->Text(), "gamma");
  EXPECT_TRUE(fs::is_directory(Root + "/gamma/eins"));
  alpha->Expand();
  ASSERT_TRUE(Child(alpha, "eins"));
  t->SetSelected(Child(alpha, "eins"));
  EXPECT_EQ(t->Selection(), Root + "/gamma/eins");
}

TEST_F(ShellTree, FollowsFilesAndFoldersMadeWhileItWatches) {
  TdfsSystemTreeView* t = MakeTree();
  t->SetSelected(t->Root(0));
  ASSERT_EQ(t->WatchedPath(), Root);
  TTreeNode* alphaBefore = Child(t->Root(0), "alpha");
  // Only folder names are watched without files shown: a new file refreshes nothing.
  test::WriteText(Root + "/neu.txt", "x");
  EXPECT_FALSE(Until([&] { return Child(t->Root(0), "alpha") != alphaBefore; }, 300));
  // A new folder shows within a second, a renamed one follows, a deleted one goes.
  fs::create_directory(Root + "/delta");
  EXPECT_TRUE(Until([&] { return Child(t->Root(0), "delta") != nullptr; }));
  fs::rename(Root + "/delta", Root + "/epsilon");
  EXPECT_TRUE(Until([&] { return Child(t->Root(0), "epsilon") && !Child(t->Root(0), "delta"); }));
  fs::remove(Root + "/epsilon");
  EXPECT_TRUE(Until([&] { return !Child(t->Root(0), "epsilon"); }));
  EXPECT_EQ(t->WatchedPath(), Root);

  // With files shown, files follow too: made, renamed and deleted.
  t->SetShowFiles(true);
  t->SetSelected(t->Root(0));
  test::WriteText(Root + "/foto.jpg", "x");
  EXPECT_TRUE(Until([&] { return Child(t->Root(0), "foto.jpg") != nullptr; }));
  fs::rename(Root + "/foto.jpg", Root + "/urlaub.jpg");
  EXPECT_TRUE(Until([&] { return Child(t->Root(0), "urlaub.jpg") && !Child(t->Root(0), "foto.jpg"); }));
  fs::remove(Root + "/text.txt");
  EXPECT_TRUE(Until([&] { return !Child(t->Root(0), "text.txt"); }));
  EXPECT_EQ(t->WatchedPath(), Root);
}

TEST_F(ShellTree, ALinkedListFollowsFilesMadeRenamedAndDeletedWhileTheTreeWatches) {
  TdfsSystemTreeView* t = MakeTree(false);
  auto* list = new TdfsCustomSystemListView(Form);
  list->SetParent(Form);
  ASSERT_EQ(t->ListView(), list);
  t->HandleNeeded();
  t->SetSelected(t->Root(0));
  ASSERT_EQ(t->WatchedPath(), Root);
  const auto lines = [list] {
    std::vector<std::string> out;
    for (int32_t i = 0; i < list->Items().Count(); ++i) out.push_back(list->Items().Get(i));
    std::sort(out.begin(), out.end());
    return out;
  };
  const auto shows = [&](const std::string& Name) {
    const auto l = lines();
    return std::find(l.begin(), l.end(), Name) != l.end();
  };
  ASSERT_TRUE(shows("text.txt"));
  // The tree shows no files, but the list does: file changes are watched for it.
  test::WriteText(Root + "/neu.jpg", "x");
  EXPECT_TRUE(Until([&] { return shows("neu.jpg"); }));
  fs::rename(Root + "/neu.jpg", Root + "/umbenannt.jpg");
  EXPECT_TRUE(Until([&] { return shows("umbenannt.jpg") && !shows("neu.jpg"); }));
  fs::remove(Root + "/text.txt");
  EXPECT_TRUE(Until([&] { return !shows("text.txt"); }));
  EXPECT_EQ(lines(), (std::vector<std::string>{"alpha", "beta", "bild.PNG", "bild.jpg", "umbenannt.jpg"}));
  EXPECT_EQ(t->WatchedPath(), Root);
}

TEST_F(ShellTree, AVanishedFolderHandsTheSelectionToItsNearestParent) {
  fs::create_directories(Root + "/alpha/eins/zwei");
  TdfsSystemTreeView* t = MakeTree();
  t->SetSelection(Root + "/alpha/eins/zwei");
  ASSERT_EQ(t->WatchedPath(), Root + "/alpha/eins/zwei");
  // The whole chain goes at once: the selection lands on the nearest folder that is still there.
  fs::remove_all(Root + "/alpha");
  EXPECT_TRUE(Until([&] { return t->Selection() == Root; }));
  EXPECT_FALSE(Child(t->Root(0), "alpha"));
  EXPECT_TRUE(Until([&] { return t->WatchedPath() == Root; }));
}

TEST_F(ShellTree, AStoppedWatcherEndsAndNeverReports) {
  TdfsSystemTreeView* t = MakeTree();
  t->SetSelected(t->Root(0));
  ASSERT_FALSE(t->WatchedPath().empty());
  int ends = 0;
  auto w = TFileChangeThread::Start(Root + "/beta", TFileChangeFilter{fnFileName}, false, [&] { ++ends; });
  w->Terminate();
  test::WriteText(Root + "/beta/x.txt", "x");
  EXPECT_TRUE(Until([&] { return TFileChangeThread::RunningCount() == 1; }));  // the tree's watcher remains
  WaitForMessages(20);
  EXPECT_EQ(ends, 0);
  EXPECT_TRUE(w->NoNotify());
  // Selecting a virtual place starts no watcher; the old one stops.
  t->SetRootFolder(rfDesktop);
  TTreeNode* computer = Child(t->Root(0), "Computer");
  ASSERT_TRUE(computer);
  t->SetSelected(computer);
  EXPECT_EQ(t->WatchedPath(), "");
  EXPECT_TRUE(Until([&] { return TFileChangeThread::RunningCount() == 0; }));
  // A watcher that fires reports once.
  auto once = TFileChangeThread::Start(Root + "/beta", TFileChangeFilter{fnFileName}, false, [&] { ++ends; });
  test::WriteText(Root + "/beta/y.txt", "y");
  EXPECT_TRUE(Until([&] { return ends == 1 && TFileChangeThread::RunningCount() == 0; }));
  WaitForMessages(20);
  EXPECT_EQ(ends, 1);
}

TEST_F(ShellTree, AutoscrollNearTheEdgesWithTheZonesClearOfTheOtherBar) {
  for (int i = 10; i < 40; ++i) fs::create_directory(Root + "/o" + std::to_string(i));
  TdfsSystemTreeView* t = MakeTree();
  t->SetBounds(0, 0, 160, 200);
  const std::string wide = "Ein Wurzelordner mit einer Beschriftung, die breiter ist als der Baum";
  t->SetCustomDirCaption(wide);
  t->SetAutoscroll(true);
  const int32_t fh = t->FontHeight(), col = t->ItemHeight(), w = t->ClientWidth(), h = t->ClientHeight();
  const int32_t inset = kAutoscrollBarInset;
  struct TCase {
    int32_t X, Y, Rows, Pixels;
  };
  const auto run = [&](const char* State, const std::vector<TCase>& Cases) {
    for (const TCase& c : Cases) {
      t->SetTopRow(3);
      t->SetLeftPos(2 * col);
      const int32_t row0 = t->TopRow(), left0 = t->LeftPos();
      SynthMouse(t, maMove, c.X, c.Y);
      EXPECT_EQ(t->TopRow() - row0, c.Rows) << State << " at " << c.X << "," << c.Y;
      EXPECT_EQ(t->LeftPos() - left0, c.Pixels) << State << " at " << c.X << "," << c.Y;
    }
  };
  // Both bars: the bottom and right zones sit 16 pixels further in.
  ASSERT_TRUE(ScrollBarVisible(t, SB_HORZ) && ScrollBarVisible(t, SB_VERT));
  run("both bars", {{w / 2, h / 2, 0, 0},
                    {w / 2, fh - 1, -1, 0},
                    {w / 2, h - 1, 1, 0},
                    {w / 2, h - inset - fh + 1, 1, 0},
                    {w / 2, h - inset - fh - 1, 0, 0},
                    {fh - 1, h / 2, 0, -col},
                    {w - inset - fh + 1, h / 2, 0, col},
                    {w - inset - fh - 1, h / 2, 0, 0},
                    {fh - 1, fh - 1, -1, -col}});
  // Only the horizontal bar: the right zone is a font height wide at the edge.
  t->Root(0)->Collapse();
  ASSERT_TRUE(ScrollBarVisible(t, SB_HORZ) && !ScrollBarVisible(t, SB_VERT));
  const int32_t w1 = t->ClientWidth();
  run("horizontal bar", {{w1 - inset - fh + 1, t->ClientHeight() / 2, 0, 0}, {w1 - fh + 1, t->ClientHeight() / 2, 0, col}});
  // Only the vertical bar: so is the bottom zone.
  t->Root(0)->Expand();
  t->SetCustomDirCaption("R");
  ASSERT_TRUE(!ScrollBarVisible(t, SB_HORZ) && ScrollBarVisible(t, SB_VERT));
  const int32_t h2 = t->ClientHeight();
  run("vertical bar", {{t->ClientWidth() / 2, h2 - inset - fh + 1, 0, 0}, {t->ClientWidth() / 2, h2 - fh + 1, 1, 0}});
  t->SetAutoscroll(false);
  run("off", {{t->ClientWidth() / 2, h2 - 1, 0, 0}, {1, 1, 0, 0}});
}

// Counts how often a shell control takes the system image lists again.
template <class T>
class TCountingRebuilds : public T {
 public:
  using T::T;
  int Rebuilds = 0;
  void RebuildImageLists() override {
    ++Rebuilds;
    T::RebuildImageLists();
  }
};

TEST_F(ShellTree, TheLinkedControlsTakeTheSystemIconsAgainWhenTheDesktopColoursChange) {
  auto* t = new TCountingRebuilds<TdfsSystemTreeView>(Form);
  t->SetParent(Form);
  t->SetRootFolder(rfCustom);
  t->SetCustomDir(Root);
  auto* list = new TCountingRebuilds<TdfsCustomSystemListView>(Form);
  list->SetParent(Form);
  auto* combo = new TCountingRebuilds<TdfsSystemComboBox>(Form);
  combo->SetParent(Form);
  Form->HandleNeeded();
  t->HandleNeeded();
  {
    TSynthColorScheme dark;
    EXPECT_TRUE(Until([&] { return t->Rebuilds == 1 && list->Rebuilds == 1 && combo->Rebuilds == 1; }, 3000));
  }
  EXPECT_TRUE(Until([&] { return t->Rebuilds == 2 && list->Rebuilds == 2 && combo->Rebuilds == 2; }, 3000));
  EXPECT_EQ(t->Images(), SystemImageList(false));
}

TEST_F(ShellTree, ComboAndListFollowTheTreeAndTheTreeFollowsTheCombo) {
  fs::create_directories(Root + "/alpha/eins/zwei/drei");
  TdfsSystemTreeView* t = MakeTree(false);
  t->SetRootFolder(rfDesktop);
  auto* combo = new TdfsSystemComboBox(Form);
  combo->SetParent(Form);
  auto* list = new TdfsCustomSystemListView(Form);
  list->SetParent(Form);
  EXPECT_EQ(t->ComboBox(), combo);  // made on the same owner: linked
  EXPECT_EQ(t->ListView(), list);
  EXPECT_EQ(combo->ListView(), list);
  combo->HandleNeeded();
  t->HandleNeeded();
  EXPECT_EQ(combo->Version(), "TdfsSystemComboBox v0.97 Beta");
  // The desktop first, the mounted file systems right after Computer.
  ASSERT_GT(combo->Count(), 4);
  EXPECT_EQ(combo->ShellItem(0)->Indent, 0);
  int32_t computer = -1;
  for (int32_t i = 0; i < combo->Count(); ++i)
    if (combo->Item(i) == "Computer") computer = i;
  ASSERT_GE(computer, 0);
  EXPECT_EQ(combo->ShellItem(computer + 1)->ParseName, "/");
  EXPECT_EQ(combo->ShellItem(computer + 1)->Indent, 20);

  // The tree's selection shows in the combo, with the chain down to it.
  t->SetSelection(Root + "/alpha/eins");
  EXPECT_EQ(combo->SelectedPath(), Root + "/alpha/eins");
  EXPECT_EQ(list->Items().Count(), 1);
  EXPECT_EQ(list->Items().Get(0), "zwei");
  const int32_t shown = combo->ItemIndex();
  EXPECT_TRUE(combo->ShellItem(shown)->Temporary);
  EXPECT_EQ(combo->ShellItem(shown)->Indent, combo->ShellItem(shown - 1)->Indent + 10);

  // Three levels below the mount point: three entries more, ten pixels deeper each.
  const int32_t before = combo->Count();
  TIdListHolder usr(ShellParsePathUnderComputer("/usr/share/doc"));
  ASSERT_TRUE(usr.Get());
  combo->ShowFolder(usr.Get());
  int32_t temporaries = 0;
  for (int32_t i = 0; i < combo->Count(); ++i) temporaries += combo->ShellItem(i)->Temporary;
  EXPECT_EQ(temporaries, 3);
  EXPECT_EQ(combo->ShellItem(combo->ItemIndex())->Indent, 20 + 30);
  EXPECT_LT(combo->Count(), before + 3);  // the chain to the old folder went first
  EXPECT_EQ(t->Selection(), "/usr/share/doc");  // and the tree followed

  // Choosing an entry moves the tree.
  int32_t home = -1;
  for (int32_t i = 0; i < combo->Count(); ++i)
    if (combo->ShellItem(i)->ParseName == Scope.Home().Home()) home = i;
  ASSERT_GE(home, 0);
  combo->Select(home);
  EXPECT_EQ(t->Selection(), Scope.Home().Home());

  // A list outside the desktop's reach selects nothing.
  TIdListHolder bogus(ShellMakeItem(sikFile, "gibt-es-nicht"));
  combo->ShowFolder(bogus.Get());
  EXPECT_EQ(combo->ItemIndex(), -1);
}

class ShellMenu : public ShellTree {
 protected:
  void SetUp() override {
    ShellTree::SetUp();
    Clipboard().Clear();
  }
  void TearDown() override {
    SetPopupRunner(nullptr);
    ShellTree::TearDown();
  }
  // Runs a command on one item of the tree's root folder.
  bool Verb(const std::string& Name, const std::string& VerbText, const TShellMenuHooks* Hooks = nullptr) {
    TIdListHolder abs(ShellParsePath(Root));
    auto folder = TShellFolder::Bind(abs.Get());
    TIdListHolder rel(folder->ParseDisplayName(Name));
    const uint32_t attrs = folder->GetAttributesOf(rel.Get(), 0xFFFFFFFF);
    return ShellContextMenu(folder, {rel.Get()}, attrs, TPoint{0, 0}, 0, caVerb, VerbText, Hooks);
  }
};

TEST_F(ShellMenu, CopiedFilesArePastedByGioAndTheirsByUs) {
  ASSERT_TRUE(Verb("bild.jpg", kVerbCopy));
  const std::vector<uint8_t> special = Clipboard().GetBuffer(RegisterClipboardFormat("x-special/gnome-copied-files"));
  const std::string s(special.begin(), special.end());
  EXPECT_EQ(s.substr(0, 5), "copy\n");
  const std::vector<uint8_t> uris = Clipboard().GetBuffer(RegisterClipboardFormat("text/uri-list"));
  std::string uri(uris.begin(), uris.end());
  uri = uri.substr(0, uri.find('\r'));
  EXPECT_EQ(uri, ShellPathToUri(Root + "/bild.jpg"));
  if (test::HaveTool("gio")) {
    fs::create_directories(Root + "/gio-ziel");
    ASSERT_EQ(test::Run("gio copy '" + uri + "' '" + ShellPathToUri(Root + "/gio-ziel") + "/'"), 0);
    EXPECT_EQ(test::ReadText(Root + "/gio-ziel/bild.jpg"), "j");
  }
  // What another file manager cuts (its own format only) we move; the source is gone, the bytes are whole.
  const std::string theirs = "cut\n" + ShellPathToUri(Root + "/text.txt");
  Clipboard().Open();
  Clipboard().SetBuffer(RegisterClipboardFormat("x-special/gnome-copied-files"), theirs.data(), theirs.size());
  Clipboard().Close();
  ASSERT_TRUE(Verb("beta", kVerbPaste));
  EXPECT_EQ(test::ReadText(Root + "/beta/text.txt"), "t");
  EXPECT_FALSE(fs::exists(Root + "/text.txt"));
}

TEST_F(ShellMenu, PasteNeverLosesOrReplacesAFile) {
  TScriptedDialogsScope dialogs;
  // Cut and paste into the same folder leaves the file where it is.
  ASSERT_TRUE(Verb("bild.jpg", kVerbCut));
  std::string error;
  EXPECT_TRUE(ShellPasteInto(Root, error)) << error;
  EXPECT_EQ(test::ReadText(Root + "/bild.jpg"), "j");
  // A copy onto a taken name gets a name of its own.
  ASSERT_TRUE(Verb("bild.jpg", kVerbCopy));
  EXPECT_TRUE(ShellPasteInto(Root, error));
  EXPECT_EQ(test::ReadText(Root + "/bild (Kopie).jpg"), "j");
  // A move onto a taken name is refused, both files stay.
  test::WriteText(Root + "/beta/bild.jpg", "anders");
  ASSERT_TRUE(Verb("bild.jpg", kVerbCut));
  EXPECT_FALSE(ShellPasteInto(Root + "/beta", error));
  EXPECT_NE(error.find("bild.jpg"), std::string::npos);
  EXPECT_EQ(test::ReadText(Root + "/bild.jpg"), "j");
  EXPECT_EQ(test::ReadText(Root + "/beta/bild.jpg"), "anders");
}

TEST_F(ShellMenu, MoveToTrashAndAskBeforeDeletingForGood) {
  TScriptedDialogsScope dialogs;
  ASSERT_TRUE(Verb("text.txt", kVerbDelete));
  EXPECT_FALSE(fs::exists(Root + "/text.txt"));
  auto entries = ShellTrashEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].OriginalPath, Root + "/text.txt");
  EXPECT_EQ(test::ReadText(Scope.Home().Trash() + "/files/" + entries[0].Name), "t");
  // No trash: the user is asked; No keeps the file, Yes deletes it.
  fs::remove_all(Scope.Home().Trash());
  test::WriteText(Scope.Home().Trash(), "kein Ordner");
  dialogs->Answer(IDNO);
  ASSERT_TRUE(Verb("bild.jpg", kVerbDelete));
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_NE(dialogs->Shown[0].Text.find("Endgültig löschen?"), std::string::npos);
  EXPECT_TRUE(fs::exists(Root + "/bild.jpg"));
  dialogs->Answer(IDYES);
  ASSERT_TRUE(Verb("bild.jpg", kVerbDelete));
  EXPECT_FALSE(fs::exists(Root + "/bild.jpg"));
}

TEST_F(ShellMenu, TheMenuOffersTheCommandsAndOpenWithRunsTheRegisteredEntry) {
  // A desktop entry of the test's own, the default for plain text files.
  const std::string marker = Root + "/gestartet.txt";
  const std::string script = Root + "/viewer.sh";
  test::WriteText(script, "#!/bin/sh\necho \"$@\" > '" + marker + "'\n");
  fs::permissions(script, fs::perms::owner_all);
  const std::string entry = Scope.Home().DataHome() + "/applications/kvtest-viewer.desktop";
  test::WriteText(entry, "[Desktop Entry]\nType=Application\nName=Kv Testbetrachter\nExec=" + script +
                             " %f\nMimeType=text/plain;\n");
  test::WriteText(Scope.Home().ConfigHome() + "/mimeapps.list",
                  "[Default Applications]\ntext/plain=kvtest-viewer.desktop\n");
  const auto apps = ShellAppsFor(Root + "/text.txt");
  auto it = std::find_if(apps.begin(), apps.end(), [](const TShellApp& A) { return A.Id == "kvtest-viewer.desktop"; });
  ASSERT_NE(it, apps.end());
  EXPECT_EQ(it->Name, "Kv Testbetrachter");

  std::vector<std::string> captions;
  int32_t openWith = -1;
  SetPopupRunner([&](TPopupMenu& M, int32_t, int32_t) {
    for (size_t i = 0; i < M.Items().size(); ++i) {
      captions.push_back(M.Items()[i].Caption);
      if (M.Items()[i].Caption == "Öffnen mit Kv Testbetrachter") openWith = int32_t(i);
    }
    return openWith;
  });
  TIdListHolder abs(ShellParsePath(Root));
  auto folder = TShellFolder::Bind(abs.Get());
  TIdListHolder rel(folder->ParseDisplayName("text.txt"));
  EXPECT_TRUE(ShellContextMenu(folder, {rel.Get()}, folder->GetAttributesOf(rel.Get(), 0xFFFFFFFF), TPoint{5, 5}, 0,
                               caShowMenu));
  for (const char* c : {"Öffnen", "Ausschneiden", "Kopieren", "Einfügen", "In den Papierkorb verschieben",
                        "Umbenennen", "Eigenschaften"})
    EXPECT_NE(std::find(captions.begin(), captions.end(), c), captions.end()) << c;
  ASSERT_GE(openWith, 0);
  EXPECT_TRUE(Until([&] { return fs::exists(marker) && !test::ReadText(marker).empty(); }, 3000));
  EXPECT_NE(test::ReadText(marker).find(Root + "/text.txt"), std::string::npos);

  // Closing the menu without a choice runs nothing and still reports the menu as shown.
  SetPopupRunner([](TPopupMenu&, int32_t, int32_t) { return -1; });
  EXPECT_TRUE(ShellContextMenuForFile(Root + "/*.JPG", TPoint{0, 0}, 0, caShowMenu));
  EXPECT_FALSE(ShellContextMenuForFile(Root + "/*.gif", TPoint{0, 0}, 0, caShowMenu));

  // Properties: a small dialog of our own.
  TScriptedDialogsScope dialogs;
  std::string caption;
  dialogs->AnswerModal([&](TCustomForm& F) {
    caption = F.Caption();
    return mrOk;
  });
  EXPECT_TRUE(ShellContextMenuForFile(Root + "/text.txt", TPoint{0, 0}, 0, caProperties));
  EXPECT_EQ(caption, "Eigenschaften von text.txt");
}

TEST_F(ShellMenu, ARightClickOnANodeShowsItsMenuWhoseRenameEditsInPlace) {
  TdfsSystemTreeView* t = MakeTree();
  TTreeNode* beta = Child(t->Root(0), "beta");
  ASSERT_TRUE(beta);
  const TRect r = t->NodeRect(beta);
  SetPopupRunner([](TPopupMenu& M, int32_t, int32_t) {
    for (size_t i = 0; i < M.Items().size(); ++i)
      if (M.Items()[i].Caption == "Umbenennen") return int32_t(i);
    return -1;
  });
  const LPARAM at = static_cast<LPARAM>(MakeLong(r.Left + 60, r.Top + r.Height() / 2));
  t->Perform(WM_RBUTTONDOWN, 0, at);
  t->Perform(WM_RBUTTONUP, 0, at);
  EXPECT_EQ(t->Selected(), beta);
  ASSERT_TRUE(t->IsEditing());
  t->EditControl()->SetText("gamma");
  t->EndEditNode(false);
  EXPECT_EQ(beta->Text(), "gamma");
  EXPECT_TRUE(fs::is_directory(Root + "/gamma"));
  EXPECT_FALSE(fs::exists(Root + "/beta"));
}

}  // namespace
}  // namespace kv

// The shell namespace over a temporary home: what the desktop holds, paths
// to item lists and back, the places without a counterpart, renames and
// copies that never lose a file, the trash, and change notifications.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/system/change_notify.h"
#include "platform/system/shell_namespace.h"
#include "support/outside_tools.h"
#include "support/shell_home.h"
#include "support/temp_files.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Kinds(PCItemIDList List) {
  std::vector<std::string> out;
  while (List) {
    uint16_t cb;
    std::memcpy(&cb, List, 2);
    if (cb == 0) break;
    TShellItemKind k;
    std::string name;
    ShellItemOf(List, k, name);
    out.push_back(std::string(1, char(k)) + ":" + name);
    List += cb;
  }
  return out;
}

class ShellNamespace : public ::testing::Test {
 protected:
  test::TShellHomeScope Scope;
  std::string Home = Scope.Home().Home();
};

TEST_F(ShellNamespace, TheDesktopHoldsItsFilesHomeComputerAndTrash) {
  fs::create_directories(Scope.Home().Desktop() + "/Projekt");
  test::WriteText(Scope.Home().Desktop() + "/notiz.txt", "x");
  auto desk = TShellFolder::Desktop();
  std::vector<PItemIDList> kids;
  ASSERT_TRUE(desk->EnumObjects(SFE_FOLDERS | SFE_NONFOLDERS, kids));
  std::sort(kids.begin(), kids.end(), [&](auto A, auto B) { return desk->CompareIDs(A, B) < 0; });
  std::vector<std::string> names;
  for (PItemIDList k : kids) {
    names.push_back(desk->GetDisplayNameOf(k, SFN_NORMAL));
    ShellFree(k);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"home", "Computer", "Papierkorb", "Projekt", "notiz.txt"}));
  // Computer lists the root file system first.
  PItemIDList computer = ShellSpecialFolder(spDrives);
  auto comp = TShellFolder::Bind(computer);
  ASSERT_TRUE(comp);
  kids.clear();
  comp->EnumObjects(SFE_FOLDERS, kids);
  ASSERT_FALSE(kids.empty());
  EXPECT_EQ(comp->GetDisplayNameOf(kids.front(), SFN_FORPARSING), "/");
  for (PItemIDList k : kids) ShellFree(k);
  ShellFree(computer);
}

TEST_F(ShellNamespace, PathsBecomeItemListsAndBack) {
  fs::create_directories(Home + "/Bilder/Urlaub");
  struct TCase {
    std::string Path;
    std::vector<std::string> Items;  // empty: does not parse
    std::string Expected;            // the path the list gives back
  } cases[] = {
      {Home + "/Bilder/Urlaub", {"H:", "F:Bilder", "F:Urlaub"}, Home + "/Bilder/Urlaub"},
      {Home + "//Bilder/./Urlaub/", {"H:", "F:Bilder", "F:Urlaub"}, Home + "/Bilder/Urlaub"},
      {Home, {"H:"}, Home},
      {"/usr/share", {"C:", "M:/", "F:usr", "F:share"}, "/usr/share"},
      {"trash:///", {"T:"}, ""},
      {"computer:///", {"C:"}, ""},
      {Home + "/fehlt", {}, ""},
      {"relativ/pfad", {}, ""},
  };
  for (const auto& c : cases) {
    PItemIDList l = ShellParsePath(c.Path);
    EXPECT_EQ(l ? Kinds(l) : std::vector<std::string>{}, c.Items) << c.Path;
    if (l && c.Path.find(':') == std::string::npos) EXPECT_EQ(ShellPathFromIDList(l), c.Expected) << c.Path;
    ShellFree(l);
  }
  // Under a Computer root the home folder is reached through its mount point.
  PItemIDList l = ShellParsePathUnderComputer(Home + "/Bilder");
  ASSERT_TRUE(l);
  EXPECT_EQ(Kinds(l).front(), "C:");
  EXPECT_EQ(ShellPathFromIDList(l), Home + "/Bilder");
  ShellFree(l);
  EXPECT_EQ(ShellLiveBlocks(), 0);
}

TEST_F(ShellNamespace, PlacesWithoutACounterpartMapToRealFoldersOrEmptyNodes) {
  struct TCase {
    TShellPlace Place;
    std::string Path;     // "" for a virtual node
    std::string Caption;  // of the empty node
  } cases[] = {
      {spFonts, Scope.Home().DataHome() + "/fonts", ""},
      {spStartMenu, Scope.Home().DataHome() + "/applications", ""},
      {spPrograms, Scope.Home().DataHome() + "/applications", ""},
      {spStartup, Scope.Home().ConfigHome() + "/autostart", ""},
      {spDesktopDir, Scope.Home().Desktop(), ""},
      {spDocumentDir, Home, ""},  // no user-dirs.dirs: documents are the home folder
      {spControlPanel, "", "Systemsteuerung"},
      {spPrinters, "", "Drucker"},
      {spNetHood, "", "Netzwerk"},
      {spRecycleBin, "", "Papierkorb"},
  };
  for (const auto& c : cases) {
    PItemIDList l = ShellSpecialFolder(c.Place);
    ASSERT_TRUE(l) << int(c.Place);
    EXPECT_EQ(ShellPathFromIDList(l), c.Path) << int(c.Place);
    auto f = TShellFolder::Bind(l);
    ASSERT_TRUE(f) << int(c.Place);
    if (!c.Caption.empty()) {
      EXPECT_EQ(f->GetDisplayNameOf(nullptr, SFN_NORMAL), c.Caption);
      std::vector<PItemIDList> kids;
      f->EnumObjects(SFE_FOLDERS | SFE_NONFOLDERS, kids);
      if (c.Place != spRecycleBin) EXPECT_TRUE(kids.empty()) << c.Caption;
      for (PItemIDList k : kids) ShellFree(k);
    }
    ShellFree(l);
  }
}

TEST_F(ShellNamespace, RenamesAndMovesNeverReplaceAFile) {
  test::TScratchFolder dir("kvshellren");
  test::WriteText(dir.Path() + "/a.txt", "A");
  test::WriteText(dir.Path() + "/b.txt", "B");
  PItemIDList abs = ShellParsePath(dir.Path());
  auto folder = TShellFolder::Bind(abs);
  ShellFree(abs);
  ASSERT_TRUE(folder);
  PItemIDList a = folder->ParseDisplayName("a.txt");
  std::string error;
  EXPECT_EQ(folder->SetNameOf(a, "b.txt", error), nullptr);
  EXPECT_NE(error.find("b.txt"), std::string::npos);
  for (const char* bad : {"", "x/y", ".."}) EXPECT_EQ(folder->SetNameOf(a, bad, error), nullptr) << bad;
  EXPECT_EQ(test::ReadText(dir.Path() + "/a.txt"), "A");
  EXPECT_EQ(test::ReadText(dir.Path() + "/b.txt"), "B");
  PItemIDList c = folder->SetNameOf(a, "c.txt", error);
  ASSERT_TRUE(c);
  EXPECT_EQ(test::ReadText(dir.Path() + "/c.txt"), "A");
  ShellFree(a);
  ShellFree(c);

  // Paste: into the same folder a move does nothing; a copy takes a new name; a move onto a name refuses.
  fs::create_directories(dir.Path() + "/sub");
  test::WriteText(dir.Path() + "/sub/b.txt", "other");
  std::string result;
  EXPECT_TRUE(ShellCopyInto(dir.Path() + "/b.txt", dir.Path(), true, result, error));
  EXPECT_EQ(test::ReadText(dir.Path() + "/b.txt"), "B");
  EXPECT_TRUE(ShellCopyInto(dir.Path() + "/b.txt", dir.Path(), false, result, error));
  EXPECT_EQ(result, dir.Path() + "/b (Kopie).txt");
  EXPECT_TRUE(ShellCopyInto(dir.Path() + "/b.txt", dir.Path(), false, result, error));
  EXPECT_EQ(result, dir.Path() + "/b (Kopie 2).txt");
  EXPECT_FALSE(ShellCopyInto(dir.Path() + "/b.txt", dir.Path() + "/sub", true, result, error));
  EXPECT_EQ(test::ReadText(dir.Path() + "/b.txt"), "B");
  EXPECT_EQ(test::ReadText(dir.Path() + "/sub/b.txt"), "other");
  EXPECT_FALSE(ShellCopyInto(dir.Path() + "/sub", dir.Path() + "/sub", false, result, error));
  // A folder holding a link to itself copies as a link, not without end.
  fs::create_directory_symlink(dir.Path() + "/sub", dir.Path() + "/sub/loop");
  fs::create_directories(dir.Path() + "/ziel");
  EXPECT_TRUE(ShellCopyInto(dir.Path() + "/sub", dir.Path() + "/ziel", false, result, error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir.Path() + "/ziel/sub/loop"));
  EXPECT_EQ(ShellLiveBlocks(), 0);
}

TEST_F(ShellNamespace, TrashKeepsTheFileAndWhereItCameFrom) {
  test::TScratchFolder dir("kvshelltrash");
  // The home file system's trash, as other desktop programs read it.
  const std::string file = Home + "/weg mit mir.txt";
  test::WriteText(file, "inhalt");
  std::string error;
  ASSERT_TRUE(ShellMoveToTrash(file, error)) << error;
  EXPECT_FALSE(fs::exists(file));
  const auto entries = ShellTrashEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].OriginalPath, file);
  EXPECT_FALSE(entries[0].DeletionDate.empty());
  const std::string info = test::ReadText(Scope.Home().Trash() + "/info/" + entries[0].Name + ".trashinfo");
  EXPECT_NE(info.find("Path=" + ShellPathToUri(file).substr(7)), std::string::npos) << info;
  // Restored by hand from the info file: the bytes are whole.
  fs::rename(Scope.Home().Trash() + "/files/" + entries[0].Name, entries[0].OriginalPath);
  EXPECT_EQ(test::ReadText(file), "inhalt");
  // The trash item shows its original name.
  test::WriteText(file, "2");
  ASSERT_TRUE(ShellMoveToTrash(file, error));
  PItemIDList trash = ShellSpecialFolder(spRecycleBin);
  auto t = TShellFolder::Bind(trash);
  std::vector<PItemIDList> kids;
  t->EnumObjects(SFE_NONFOLDERS, kids);
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(t->GetDisplayNameOf(kids[0], SFN_NORMAL), "weg mit mir.txt");
  for (PItemIDList k : kids) ShellFree(k);
  ShellFree(trash);
  // Without a usable trash nothing is deleted behind the user's back.
  fs::remove_all(Scope.Home().Trash());
  test::WriteText(Scope.Home().Trash(), "kein Ordner");
  test::WriteText(file, "bleibt");
  EXPECT_FALSE(ShellMoveToTrash(file, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(test::ReadText(file), "bleibt");
}

TEST_F(ShellNamespace, ChangeNotificationsFireForTheKindsAsked) {
  test::TScratchFolder dir("kvshellwatch");
  auto waitFired = [](int32_t H) {
    for (int i = 0; i < 100; ++i)  // up to a second
      if (WaitChangeNotification(H, 10) == cwFired) return true;
    return false;
  };
  const int32_t dirsOnly = OpenChangeNotification(dir.Path(), false, FILE_NOTIFY_CHANGE_DIR_NAME);
  ASSERT_GE(dirsOnly, 0);
  test::WriteText(dir.Path() + "/datei.txt", "x");
  EXPECT_EQ(WaitChangeNotification(dirsOnly, 50), cwTimeout);
  fs::create_directory(dir.Path() + "/neu");
  EXPECT_TRUE(waitFired(dirsOnly));
  CloseChangeNotification(dirsOnly);

  const int32_t files = OpenChangeNotification(dir.Path(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
  fs::rename(dir.Path() + "/datei.txt", dir.Path() + "/umbenannt.txt");
  EXPECT_TRUE(waitFired(files));
  CloseChangeNotification(files);

  // Subtree watching sees a change two levels down; the folder vanishing always fires.
  fs::create_directories(dir.Path() + "/neu/tief");
  const int32_t tree = OpenChangeNotification(dir.Path(), true, FILE_NOTIFY_CHANGE_FILE_NAME);
  test::WriteText(dir.Path() + "/neu/tief/x.txt", "x");
  EXPECT_TRUE(waitFired(tree));
  CloseChangeNotification(tree);
  const int32_t gone = OpenChangeNotification(dir.Path() + "/neu/tief", false, FILE_NOTIFY_CHANGE_SIZE);
  fs::remove_all(dir.Path() + "/neu");
  EXPECT_TRUE(waitFired(gone));
  CloseChangeNotification(gone);
  EXPECT_EQ(OpenChangeNotification(dir.Path() + "/fehlt", false, FILE_NOTIFY_CHANGE_FILE_NAME), -1);
}

TEST_F(ShellNamespace, ClipboardUrisSurviveGiosCopy) {
  // Our URIs are what GIO's own tool takes: names with blanks and umlauts included.
  if (!test::HaveTool("gio")) GTEST_SKIP() << "gio not installed";
  test::TScratchFolder dir("kvshelluri");
  const std::string src = dir.Path() + "/Grüße aus #1.txt";
  test::WriteText(src, "hallo");
  fs::create_directories(dir.Path() + "/ziel");
  const std::string uri = ShellPathToUri(src);
  EXPECT_EQ(ShellUriToPath(uri), src);
  ASSERT_EQ(test::Run("gio copy '" + uri + "' '" + ShellPathToUri(dir.Path() + "/ziel") + "/'"), 0);
  EXPECT_EQ(test::ReadText(dir.Path() + "/ziel/Grüße aus #1.txt"), "hallo");
}

}  // namespace
}  // namespace kv

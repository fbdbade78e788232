#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <string>

#include "app/helpers/program_helpers.h"
#include "platform/rtl/file_utils.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/list_box.h"
#include "support/temp_files.h"

namespace kv {
namespace {

TEST(ProgramHelpers, TextHelpers) {
  EXPECT_EQ(StripQuotes("\"a b\" \"c\""), "a b c");
  EXPECT_EQ(StripMenuCaption("&Speichern unter..."), "Speichern unter");
  EXPECT_EQ(StripMenuCaption("Dr&ucken & Co...."), "Drucken  Co.");
  EXPECT_EQ(RemoveDots("a.b.c."), "abc");
  EXPECT_EQ(IntToText(-42), "-42");
  EXPECT_EQ(ClampInt(-5, 0, 10), 0);
  EXPECT_EQ(ClampInt(15, 0, 10), 10);
  EXPECT_EQ(ClampInt(5, 10, 0), 10);  // low wins over a smaller high
  EXPECT_TRUE(IsNearZero(9e-7));
  EXPECT_FALSE(IsNearZero(-1e-6));
  EXPECT_EQ(ScaleByRatio(10, 4, 6), 15);
  EXPECT_EQ(ScaleByRatio(10, 1e-9, 6), 0);
  EXPECT_EQ(MulDivSafe(10, 3, 2), 15);
  EXPECT_EQ(MulDivSafe(10, 3, 0), 0);
}

TEST(ProgramHelpers, PopTokenKeepsQuotesAndTheRest) {
  const struct {
    const char* In;
    const char* Token;
    const char* Rest;
  } cases[] = {
      {"  \"/bilder/mein bild.jpg\" /tmp/b.png", "\"/bilder/mein bild.jpg\"", " /tmp/b.png"},
      {"a b", "a", " b"},
      {"ab\"c d\"ef gh", "ab\"c d\"", "ef gh"},
      {"\"open", "\"open", ""},
      {" ", "", " "},  // a single blank survives the trimming and ends an empty token
      {"", "", ""},
  };
  for (const auto& c : cases) {
    std::string text = c.In;
    EXPECT_EQ(PopToken(text), c.Token) << c.In;
    EXPECT_EQ(text, c.Rest) << c.In;
  }
}

TEST(ProgramHelpers, TakeChars) {
  std::string t = "abcdef";
  EXPECT_EQ(TakeChars(t, 2), "ab");
  EXPECT_EQ(t, "cdef");
  EXPECT_EQ(TakeChars(t, 0), "");
  EXPECT_EQ(TakeChars(t, -3), "");
  EXPECT_EQ(t, "cdef");
  EXPECT_EQ(TakeChars(t, 9), "cdef");
  EXPECT_EQ(t, "");
}

TEST(ProgramHelpers, NumbersReadWithoutErrorsOrLocale) {
  const struct {
    const char* In;
    int32_t Int;
    double Float;
  } cases[] = {
      {"  42abc", 42, 42},        {"-17", -17, -17},          {"+8", 8, 8},
      {"$ff", 255, 0},            {"0x1A", 26, 0},            {"", 0, 0},
      {"abc", 0, 0},              {"12.75 cm", 12, 12.75},    {"-.5", 0, -0.5},
      {"1e3x", 1, 1000},          {"99999999999", 2147483647, 99999999999.0},
      {"-99999999999", -2147483647 - 1, -99999999999.0},   {"inf", 0, 0},
      {"nan", 0, 0},              {"3,5", 3, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToIntVal(c.In), c.Int) << c.In;
    EXPECT_DOUBLE_EQ(StrToFloatVal(c.In), c.Float) << c.In;
  }
}

TEST(ProgramHelpers, NamesAndNumbersInNames) {
  EXPECT_EQ(FileNameWithoutExt("/home/a/b.tar.gz"), "b.tar");
  EXPECT_EQ(FileNameWithoutExt("bild"), "bild");
  const struct {
    const char* Name;
    int32_t Start, End;
    int64_t Value;
  } cases[] = {
      {"Bild012a", 5, 7, 12},
      {"Bild", 5, 5, 0},
      {"", 1, 1, 0},
      {"7", 1, 1, 7},
      {"a1b22c333", 7, 9, 333},
      {"x99999999999999999999999", 2, 24, INT64_MAX},
  };
  for (const auto& c : cases) {
    const TNumberInName n = FindNumberInName(c.Name);
    EXPECT_EQ(n.Start, c.Start) << c.Name;
    EXPECT_EQ(n.End, c.End) << c.Name;
    EXPECT_EQ(n.Value, c.Value) << c.Name;
  }
}

// Paths keep their case and compare with it: only whole folders count.
TEST(ProgramHelpers, CommonFolderPrefixKeepsTheCase) {
  const struct {
    const char* A;
    const char* B;
    const char* Prefix;
  } cases[] = {
      {"/home/Bilder/Urlaub/a.jpg", "/home/Bilder/Familie/b.jpg", "/home/Bilder/"},
      {"/home/Bilder/Urlaub/a.jpg", "/home/bilder/Familie/b.jpg", "/home/"},
      {"/home/Bild/a.jpg", "/home/Bilder/b.jpg", "/home/"},
      {"/a/b/c.jpg", "/a/b/d.jpg", "/a/b/"},
      {"/a/x.jpg", "/b/y.jpg", "/"},
      {"a/x.jpg", "b/y.jpg", ""},
      {"x.jpg", "y.jpg", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CommonFolderPrefix(c.A, c.B), c.Prefix) << c.A << " " << c.B;
}

class HelperFolders : public test::TTempFolderTest {
 protected:
  void TearDown() override {
    SetProgramFolder("");
    SetRegistryFolder("");
    TTempFolderTest::TearDown();
  }
};

TEST_F(HelperFolders, FoldersEndWithTheDelimiter) {
  EXPECT_EQ(IncludeBackslash(""), "");
  EXPECT_EQ(IncludeBackslash("/a"), "/a/");
  EXPECT_EQ(IncludeBackslash("/a/"), "/a/");
  // What the program writes is the user's, not beside the program.
  SetProgramFolder(Dir + "prog");
  ::setenv("XDG_DATA_HOME", (Dir + "data").c_str(), 1);
  EXPECT_EQ(ImagesFolder(), Dir + "data/kavrelin/Images/");
  EXPECT_EQ(BatchFolder(), Dir + "data/kavrelin/Batch/");
  EXPECT_EQ(CacheFolder(), Dir + "data/kavrelin/Cache/");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(SystemFolder(), "/usr/lib/");
  EXPECT_EQ(SpecialFolder(12345), "");
  for (int32_t n : {CSIDL_DESKTOP, CSIDL_STARTUP, CSIDL_PROGRAMS, CSIDL_APPDATA, CSIDL_PROFILE, CSIDL_MYPICTURES})
    EXPECT_EQ(SpecialFolder(n).back(), '/') << n;
}

TEST_F(HelperFolders, SpecialFoldersFollowTheXdgSettings) {
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  setenv("HOME", (Dir + "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (Dir + "cfg").c_str(), 1);
  setenv("XDG_DATA_HOME", (Dir + "data").c_str(), 1);
  ForceDirectories(Dir + "cfg");
  test::WriteText(Dir + "cfg/user-dirs.dirs",
                  "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                  "XDG_PICTURES_DIR=\"/srv/bilder\"\nXDG_MUSIC_DIR=\"relative\"\n");
  EXPECT_EQ(SpecialFolder(CSIDL_DESKTOPDIRECTORY), Dir + "home/Schreibtisch/");
  EXPECT_EQ(SpecialFolder(CSIDL_MYPICTURES), "/srv/bilder/");
  EXPECT_EQ(SpecialFolder(CSIDL_MYMUSIC), Dir + "home/");  // not a valid entry
  EXPECT_EQ(SpecialFolder(CSIDL_STARTUP), Dir + "cfg/autostart/");
  EXPECT_EQ(SpecialFolder(CSIDL_PROGRAMS), Dir + "data/applications/");
  EXPECT_EQ(WindowsFolder(), Dir + "data/kavrelin/");
  EXPECT_TRUE(DirectoryExists(Dir + "data/kavrelin"));
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(HelperFolders, FolderChecksLeaveTheCurrentFolderAlone) {
  const std::string before = GetCurrentDir();
  ASSERT_TRUE(MakeFolder(Dir + "sub"));
  EXPECT_FALSE(MakeFolder(Dir + "sub"));
  EXPECT_FALSE(MakeFolder(Dir + "no/such/parent"));
  EXPECT_TRUE(DirectoryExistsByChDir(Dir + "sub"));
  EXPECT_FALSE(DirectoryExistsByChDir(Dir + "missing"));
  test::WriteText(Dir + "file", "x");
  EXPECT_FALSE(DirectoryExistsByChDir(Dir + "file"));
  EXPECT_FALSE(DirectoryExistsByChDir(""));
  EXPECT_EQ(GetCurrentDir(), before);
}

TEST_F(HelperFolders, CopiesReplaceAtomicallyAndAskFirst) {
  test::WriteText(Dir + "a.txt", "neu");
  test::WriteText(Dir + "b.txt", "alt");
  ForceDirectories(Dir + "Plugins");
  ShellCopyFile(Dir + "a.txt", Dir + "Plugins");  // into the folder under its own name
  EXPECT_EQ(test::ReadText(Dir + "Plugins/a.txt"), "neu");
  {
    TScriptedDialogsScope scope;
    scope->Answer(mrNo);
    EXPECT_FALSE(ShellCopyFileAsk(Dir + "a.txt", Dir + "b.txt"));
    EXPECT_EQ(test::ReadText(Dir + "b.txt"), "alt");
    scope->Answer(mrYes);
    EXPECT_TRUE(ShellCopyFileAsk(Dir + "a.txt", Dir + "b.txt"));
    EXPECT_EQ(test::ReadText(Dir + "b.txt"), "neu");
    EXPECT_TRUE(ShellCopyFileAsk(Dir + "a.txt", Dir + "c.txt"));  // nothing to replace: no question
    EXPECT_EQ(scope->Shown.size(), 2u);
  }
  ShellCopyFile(Dir + "a.txt", Dir + "a.txt");
  EXPECT_EQ(test::ReadText(Dir + "a.txt"), "neu");
  EXPECT_THROW(ShellCopyFile(Dir + "missing", Dir + "d.txt"), EInOutError);
  EXPECT_FALSE(FileExists(Dir + "d.txt"));
  EXPECT_THROW(ShellCopyFile(Dir + "a.txt", Dir + "no/folder/d.txt"), EInOutError);
  TStringList l;
  l.Add("/a");
  l.Add("/b c");
  EXPECT_EQ(JoinNullSeparated(l), std::string("/a\0/b c\0\0", 9));
}

TEST_F(HelperFolders, RegistryListsRoundTripAndSurviveDamage) {
  SetRegistryFolder(Dir);
  TStringList l;
  l.Add("/opt/plugins");
  l.Add("");
  l.Add("/home/x/mehr plugins");
  WriteRegistryList(l, "\\Software\\Kavrelin\\3.6\\AddPlug");
  EXPECT_TRUE(RegistryKeyExists("\\Software\\Kavrelin\\3.6\\AddPlug"));
  EXPECT_FALSE(RegistryKeyExists("\\Software\\Kavrelin\\3.6\\Nichts"));
  TStringList back;
  back.Add("schon da");
  ReadRegistryList(back, "\\Software\\Kavrelin\\3.6\\AddPlug");
  ASSERT_EQ(back.Count(), 4);
  EXPECT_EQ(back.Strings(1), "/opt/plugins");
  EXPECT_EQ(back.Strings(3), "/home/x/mehr plugins");
  ReadRegistryList(back, "\\Software\\Kavrelin\\3.6\\Nichts");
  EXPECT_EQ(back.Count(), 4);
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Kavrelin\\3.6\\Inet", true));
    r.WriteString("Count", "2");  // as a settings file written by hand has it
    r.WriteString("0", "ftp");
    r.WriteString("1", "mail");
    ASSERT_TRUE(r.OpenKey("\\Software\\Kavrelin\\3.6\\Huge", true));
    r.WriteInteger("Count", 2000000000);
    r.WriteString("0", "only");
  }
  TStringList inet;
  ReadRegistryList(inet, "\\Software\\Kavrelin\\3.6\\Inet");
  EXPECT_EQ(inet.Count(), 2);
  TStringList huge;
  ReadRegistryList(huge, "\\Software\\Kavrelin\\3.6\\Huge");
  EXPECT_LE(huge.Count(), 2);
  EXPECT_EQ(huge.Strings(0), "only");
}

// The settings file: dword values arrive as integers, the import reports a
// failing line and stops there.
TEST_F(HelperFolders, SettingsImportReadsDwordsAndStopsAtAFailure) {
  SetRegistryFolder(Dir);
  test::WriteText(Dir + "kavrelin.reg",
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kavrelin\\3.6]\r\n\"maxundo\"=dword:00000010\r\n"
                  "\"BackgroundImage\"=\"C:\\\\Bilder\\\\back.bmp\"\r\n\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Kavrelin\\3.6\\FILTER]\r\n\"Seperate\"=dword:zz\r\n"
                  "\"After\"=\"1\"\r\n");
  EXPECT_THROW(
      try { ImportRegFile(Dir + "kavrelin.reg"); } catch (const ERegistryException& e) {
        EXPECT_NE(e.Message().find("line 8"), std::string::npos) << e.Message();
        throw;
      },
      ERegistryException);
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\Software\\Kavrelin\\3.6", false));
  EXPECT_EQ(r.GetDataType("maxundo"), rdInteger);
  EXPECT_EQ(r.ReadInteger("maxundo"), 16);
  EXPECT_EQ(r.ReadString("BackgroundImage"), "C:\\Bilder\\back.bmp");  // REGEDIT4 escapes undone
  EXPECT_TRUE(r.KeyExists("FILTER"));
  ASSERT_TRUE(r.OpenKey("FILTER", false));
  EXPECT_FALSE(r.ValueExists("After"));
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// A menu item as the helper sees one: sub-items with a check mark.
struct TFakeMenuItem {
  struct TSub {
    bool C = false;
    bool Checked() const { return C; }
  };
  std::vector<TSub> Subs;
  int32_t Count() const { return int32_t(Subs.size()); }
  const TSub* Items(int32_t I) const { return &Subs[size_t(I)]; }
};

TEST(ProgramHelpers, ControlPlaces) {
  EXPECT_EQ(LastCheckedMenuItem(TFakeMenuItem{}), 0);
  EXPECT_EQ(LastCheckedMenuItem(TFakeMenuItem{{{false}, {true}, {false}, {true}, {false}}}), 3);

  TSpeedBar bar(nullptr);
  EXPECT_EQ(LastDownSpeedItem(bar), 0);  // no section at all
  bar.AddSectionNamed("Datei");
  for (int i = 0; i < 4; ++i) bar.NewItem(&bar, 0, "Item" + std::to_string(i));
  EXPECT_EQ(LastDownSpeedItem(bar), 0);
  for (int i : {1, 2}) {
    bar.ItemAt(0, i)->SetGroupIndex(1 + i);  // a button stays down only in a group
    bar.ItemAt(0, i)->SetAllowAllUp(true);
    bar.ItemAt(0, i)->SetDown(true);
  }
  EXPECT_EQ(LastDownSpeedItem(bar), 2);

  TListBox combo(nullptr);
  FillResampleFilterCombo(combo);
  ASSERT_EQ(combo.Items().Count(), 7);
  EXPECT_EQ(combo.Items().Strings(0), "Keinen");
  EXPECT_EQ(combo.Items().Strings(5), "Lanczos3");
  EXPECT_EQ(combo.ItemIndex(), 0);
}

TEST(ProgramHelpers, StopwatchCountsWholeSeconds) {
  StartStopwatch();
  EXPECT_EQ(StopwatchSeconds(), 0);
  // The elapsed time is what the stopwatch measures: this sleep is the case under test.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(StopwatchSeconds(), 1);  // 0.6 s rounds up
  StartStopwatch();
  EXPECT_EQ(StopwatchSeconds(), 0);
}

}  // namespace
}  // namespace kv

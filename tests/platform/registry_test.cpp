#include "platform/system/registry.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/string_list.h"
#include "platform/system/regedit_format.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::ReadText;
using test::WriteText;

class Registry : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    SetRegistryFolder(Dir);
  }
  void TearDown() override {
    SetRegistryFolder(Dir);  // writes what a failing test left pending, while Dir still exists
    SetRegistryFolder("");
    TTempFolderTest::TearDown();
  }
  // Forgets the loaded hives, so the next read comes from the file.
  void Reload() { SetRegistryFolder(Dir); }
  std::string HiveText() { return ReadText(Dir + "HKEY_CURRENT_USER.reg"); }
};

TEST_F(Registry, KeysAndValuesCompareWithoutCaseAndKeepTheirCase) {
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Kavrelin\\Größe", true));
    r.WriteString("Name", "a");
    ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\kavrelin\\GRÖSSE", true));  // another key: ß has no capital here
    ASSERT_TRUE(r.OpenKey("\\software\\KAVRELIN\\GRÖßE", false));
    EXPECT_EQ(r.ReadString("NAME"), "a");
    r.WriteString("name", "b");  // replaces "Name" and keeps its case
    EXPECT_EQ(r.CurrentPath(), "software\\KAVRELIN\\GRÖßE");
  }
  Reload();
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\Software", false));
  std::vector<std::string> names;
  r.GetKeyNames(names);
  EXPECT_EQ(names, std::vector<std::string>({"Kavrelin"}));
  ASSERT_TRUE(r.OpenKey("kavrelin", false));  // relative to the open key
  EXPECT_EQ(r.CurrentPath(), "Software\\kavrelin");
  r.GetKeyNames(names);
  EXPECT_EQ(names, std::vector<std::string>({"Größe", "GRÖSSE"}));
  ASSERT_TRUE(r.OpenKey("GRÖSSE", false));
  EXPECT_FALSE(r.ValueExists("Name"));
  ASSERT_TRUE(r.OpenKey("\\Software\\Kavrelin\\Größe", false));
  r.GetValueNames(names);
  EXPECT_EQ(names, std::vector<std::string>({"Name"}));
  EXPECT_EQ(r.ReadString("Name"), "b");
}

TEST_F(Registry, EveryValueTypeRoundTripsThroughTheHiveFile) {
  std::vector<uint8_t> blob(200);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = uint8_t(i * 7);
  const std::string tricky = "C:\\Bilder\\\"x\" = [y] ; Ü€";
  {
    TRegistry r;
    r.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(r.OpenKey("\\Software\\T", true));
    r.WriteString("", "default");
    r.WriteString("Tricky", tricky);
    r.WriteString("Lines", "one\ntwo\r\n");
    r.WriteString("Empty", "");
    r.WriteExpandString("Exp", "%HOME%/x");
    r.WriteInteger("Neg", -5);
    r.WriteBool("Yes", true);
    r.WriteFloat("Pi", 3.141592653589793);
    r.WriteDateTime("When", 45000.25);
    r.WriteBinaryData("Blob", blob.data(), int32_t(blob.size()));
    r.WriteBinaryData("NoBytes", nullptr, 0);
  }
  const std::string text = ReadText(Dir + "HKEY_LOCAL_MACHINE.reg");
  EXPECT_EQ(std::filesystem::status(Dir + "HKEY_LOCAL_MACHINE.reg").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(text.rfind("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n\n[HKEY_LOCAL_MACHINE\\Software\\T]\n", 0), 0u)
      << text;
  EXPECT_NE(text.find("\"Neg\"=dword:fffffffb\n"), std::string::npos);
  EXPECT_NE(text.find("\"Tricky\"=\"C:\\\\Bilder\\\\\\\"x\\\" = [y] ; Ü€\"\n"), std::string::npos);
  std::istringstream lines(text);
  for (std::string l; std::getline(lines, l);) EXPECT_LE(l.size(), 80u) << l;

  Reload();
  TRegistry r;
  r.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(r.OpenKeyReadOnly("\\software\\t"));
  EXPECT_EQ(r.ReadString(""), "default");
  EXPECT_EQ(r.ReadString("Tricky"), tricky);
  EXPECT_EQ(r.ReadString("Lines"), "one\ntwo\r\n");
  EXPECT_EQ(r.ReadString("Empty"), "");
  EXPECT_EQ(r.GetDataSize("Empty"), 1);  // the closing NUL
  EXPECT_EQ(r.ReadString("Exp"), "%HOME%/x");
  EXPECT_EQ(r.GetDataType("Exp"), rdExpandString);
  EXPECT_EQ(r.ReadInteger("Neg"), -5);
  EXPECT_EQ(r.GetDataType("Neg"), rdInteger);
  EXPECT_TRUE(r.ReadBool("Yes"));
  EXPECT_EQ(r.ReadFloat("Pi"), 3.141592653589793);
  EXPECT_EQ(r.ReadDateTime("When"), 45000.25);
  EXPECT_EQ(r.GetDataType("When"), rdBinary);
  std::vector<uint8_t> back(300);
  EXPECT_EQ(r.ReadBinaryData("Blob", back.data(), int32_t(back.size())), 200);
  back.resize(200);
  EXPECT_EQ(back, blob);
  EXPECT_EQ(r.ReadBinaryData("NoBytes", nullptr, 0), 0);
  EXPECT_EQ(r.GetDataSize("NoBytes"), 0);
  EXPECT_EQ(r.GetDataSize("Missing"), -1);
  EXPECT_EQ(r.GetDataType("Missing"), rdUnknown);
  std::vector<std::string> names;
  r.GetValueNames(names);  // order of creation
  EXPECT_EQ(names, std::vector<std::string>({"", "Tricky", "Lines", "Empty", "Exp", "Neg", "Yes", "Pi",
                                             "When", "Blob", "NoBytes"}));
}

TEST_F(Registry, FailuresRaiseTheLibraryTexts) {
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\Software\\E", true));
  r.WriteString("S", "text");
  r.WriteInteger("I", 1);
  r.WriteBinaryData("B", "12345", 5);
  char buf[4];
  struct Case {
    const char* What;
    std::function<void()> Call;
    const char* Message;
  } cases[] = {
      {"missing integer", [&] { r.ReadInteger("None"); }, "Failed to get data for 'None'"},
      {"missing float", [&] { r.ReadFloat("None"); }, "Failed to get data for 'None'"},
      {"string as integer", [&] { r.ReadInteger("S"); }, "Invalid data type for 'S'"},
      {"integer as string", [&] { r.ReadString("I"); }, "Invalid data type for 'I'"},
      {"integer as float", [&] { r.ReadFloat("I"); }, "Invalid data type for 'I'"},
      {"binary too large", [&] { r.ReadBinaryData("B", buf, 4); }, "Invalid data type for 'B'"},
      {"string as binary", [&] { r.ReadBinaryData("S", buf, 4); }, "Invalid data type for 'S'"},
      {"name with line break", [&] { r.WriteString("a\nb", "x"); }, "Failed to set data for 'a\nb'"},
  };
  for (const Case& c : cases) {
    try {
      c.Call();
      ADD_FAILURE() << c.What << ": nothing raised";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.Message(), c.Message) << c.What;
    }
  }
  EXPECT_EQ(r.ReadString("None"), "");  // a missing string is empty, not an error
  EXPECT_EQ(r.ReadBinaryData("None", buf, 4), 0);

  ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\E"));
  EXPECT_THROW(r.WriteString("S", "y"), ERegistryException);
  EXPECT_FALSE(r.DeleteValue("S"));
  EXPECT_FALSE(r.OpenKey("NewChild", true));  // no right to create below a read-only key
  EXPECT_EQ(r.ReadString("S"), "text");
  r.CloseKey();
  EXPECT_EQ(r.CurrentKey(), 0u);
  EXPECT_THROW(r.WriteString("S", "y"), ERegistryException);  // no key open
  EXPECT_THROW(r.CreateKey("bad\nname"), ERegistryException);
}

TEST_F(Registry, KeysAreDeletedMovedAndValuesRenamed) {
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\A\\B\\C", true));
  r.WriteInteger("x", 1);
  ASSERT_TRUE(r.OpenKey("\\A\\B", false));
  r.WriteString("first", "1");
  r.WriteString("second", "2");
  r.RenameValue("first", "third");
  r.RenameValue("second", "THIRD");  // the target exists: nothing happens
  std::vector<std::string> names;
  r.GetValueNames(names);
  EXPECT_EQ(names, std::vector<std::string>({"second", "third"}));
  EXPECT_TRUE(r.HasSubKeys());

  ASSERT_TRUE(r.OpenKey("\\A", false));
  r.MoveKey("B", "B\\Inner", true);  // into itself: refused, nothing lost
  EXPECT_TRUE(r.KeyExists("B\\C"));
  EXPECT_FALSE(r.KeyExists("B\\Inner"));
  r.MoveKey("B", "Moved", true);
  EXPECT_FALSE(r.KeyExists("B"));
  EXPECT_TRUE(r.KeyExists("\\A\\Moved\\C"));
  ASSERT_TRUE(r.OpenKey("Moved\\C", false));
  EXPECT_EQ(r.ReadInteger("x"), 1);

  EXPECT_TRUE(r.DeleteKey("\\A\\Moved"));  // with its subkeys
  EXPECT_FALSE(r.KeyExists("\\A\\Moved\\C"));
  EXPECT_FALSE(r.DeleteKey("\\A\\Moved"));
  EXPECT_FALSE(r.DeleteKey("\\"));  // the root itself cannot go
  EXPECT_TRUE(r.KeyExists("\\A"));
}

TEST_F(Registry, TwoObjectsAndTwoProcessesKeepEachOthersChanges) {
  {
    TRegistry a, b;
    ASSERT_TRUE(a.OpenKey("\\Software\\Shared", true));
    ASSERT_TRUE(b.OpenKey("\\Software\\Shared", true));
    a.WriteString("FromA", "a");
    EXPECT_EQ(b.ReadString("FromA"), "a");  // seen at once inside the process
    b.WriteString("FromB", "b");
  }
  // Each process writes through its own cache; the lock and the reload before
  // every write keep both sets.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  const char* who = child == 0 ? "Child" : "Parent";
  bool ok = true;
  try {
    TRegistry r;
    r.SetLazyWrite(false);
    if (!r.OpenKey("\\Software\\Shared", true)) ok = false;
    for (int i = 0; i < 40; ++i) r.WriteInteger(who + std::to_string(i), i);
  } catch (...) {
    ok = false;
  }
  if (child == 0) ::_exit(ok ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(ok);

  Reload();
  TRegistry r;
  ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\Shared"));
  EXPECT_EQ(r.ReadString("FromA"), "a");
  EXPECT_EQ(r.ReadString("FromB"), "b");
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(r.ReadInteger("Child" + std::to_string(i)), i);
    EXPECT_EQ(r.ReadInteger("Parent" + std::to_string(i)), i);
  }
}

TEST_F(Registry, AFailedWriteRaisesAndLeavesTheHiveAsItWas) {
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Safe", true));
    r.WriteString("Old", "kept");
  }
  const std::string before = HiveText();
  ASSERT_FALSE(before.empty());
  // A file size limit makes the write fail even for root (tests run as root).
  std::vector<uint8_t> big(8192, 0xAB);
  rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool raisedNow = false, raisedAtClose = false;
  {
    TRegistry r;
    r.SetLazyWrite(false);
    if (r.OpenKey("\\Software\\Safe", false)) {
      try {
        r.WriteBinaryData("Big", big.data(), int32_t(big.size()));
      } catch (const ERegistryException& e) {
        raisedNow = e.Message() == "Failed to set data for 'Big'";
      }
      raisedNow = raisedNow && !r.ValueExists("Big");  // taken back
      r.SetLazyWrite(true);
      r.WriteBinaryData("Big2", big.data(), int32_t(big.size()));
      try {
        r.CloseKey();
      } catch (const ERegistryException&) {
        raisedAtClose = true;
      }
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
  }
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(raisedNow);
  EXPECT_TRUE(raisedAtClose);
  EXPECT_EQ(HiveText(), before);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(Dir)) files += e.path().extension() != ".lock";
  EXPECT_EQ(files, 1);  // no temporary file left behind
  // The change that failed at close stays pending and is written by the next flush.
  RegHiveFlush(HKEY_CURRENT_USER);
  Reload();
  TRegistry r;
  ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\Safe"));
  EXPECT_EQ(r.ReadString("Old"), "kept");
  EXPECT_EQ(r.GetDataSize("Big2"), 8192);
  EXPECT_FALSE(r.ValueExists("Big"));
}

TEST_F(Registry, ImportMergesARegFileIntoTheCurrentUser) {
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Kavrelin\\Old\\Deep", true));
    ASSERT_TRUE(r.OpenKey("\\Software\\Kavrelin\\3.6", true));
    r.WriteString("Gone", "x");
    r.WriteString("Stays", "y");
  }
  const std::string file = Dir + "kavrelin.reg";
  WriteText(file,
            "\xEF\xBB\xBFREGEDIT4\r\n\r\n"
            "; settings shipped with the program\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Kavrelin\\3.6]\r\n"
            "\"Path\"=\"C:\\\\Programme\\\\Kavrelin\\\\\"\r\n"
            "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
            "\"Legacy\"=\"C:\\Bilder\\\"\r\n"
            "@=\"default\"\r\n"
            "\"Count\"=dword:0000000A\r\n"
            "\"Blob\"=hex:01,02,03,\\\r\n"
            "  04,ff\r\n"
            "\"Env\"=hex(2):25,48,4f,4d,45,25,00\r\n"
            "\"Gone\"=-\r\n"
            "\r\n"
            "[-HKEY_CURRENT_USER\\Software\\Kavrelin\\Old]\r\n");
  ImportRegFile(file);
  ImportRegFile(Dir + "missing.reg");  // does nothing
  TRegistry r;
  ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\Kavrelin\\3.6"));
  EXPECT_EQ(r.ReadString("Path"), "C:\\Programme\\Kavrelin\\");
  EXPECT_EQ(r.ReadString("Quote"), "say \"hi\"");
  EXPECT_EQ(r.ReadString("Legacy"), "C:\\Bilder\\");
  EXPECT_EQ(r.ReadString(""), "default");
  EXPECT_EQ(r.ReadInteger("Count"), 10);
  uint8_t blob[8] = {};
  EXPECT_EQ(r.ReadBinaryData("Blob", blob, 8), 5);
  EXPECT_EQ(blob[3], 4);
  EXPECT_EQ(blob[4], 0xFF);
  EXPECT_EQ(r.ReadString("Env"), "%HOME%");
  EXPECT_EQ(r.GetDataType("Env"), rdExpandString);
  EXPECT_FALSE(r.ValueExists("Gone"));
  EXPECT_EQ(r.ReadString("Stays"), "y");
  EXPECT_FALSE(r.KeyExists("\\Software\\Kavrelin\\Old"));
  r.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(r.KeyExists("\\Software"));  // the file's root names never reach other hives
}

TEST_F(Registry, ExportWritesRegedit4ThatImportsBack) {
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\X\\Sub", true));
    r.WriteInteger("N", 255);
    ASSERT_TRUE(r.OpenKey("\\Software\\X", false));
    r.WriteString("S", "a\\b");
  }
  const std::string file = Dir + "export.reg";
  EXPECT_FALSE(ExportRegKey(HKEY_CURRENT_USER, "\\Software\\Nothing", file));
  ASSERT_TRUE(ExportRegKey(HKEY_CURRENT_USER, "\\Software\\X", file));
  EXPECT_EQ(ReadText(file),
            "REGEDIT4\n\n"
            "[HKEY_CURRENT_USER\\Software\\X]\n\"S\"=\"a\\\\b\"\n\n"
            "[HKEY_CURRENT_USER\\Software\\X\\Sub]\n\"N\"=dword:000000ff\n\n");
  TRegistry r;
  ASSERT_TRUE(r.DeleteKey("\\Software\\X"));
  ImportRegFile(file);
  ASSERT_TRUE(r.OpenKey("\\Software\\X\\Sub", false));
  EXPECT_EQ(r.ReadInteger("N"), 255);
}

// A settings file that fails part-way reports the file and the line and stops
// there: what came before it is written, nothing after it.
TEST_F(Registry, MalformedRegTextStopsTheImportAndSaysWhere) {
  const std::string deep = "[HKEY_CURRENT_USER" + [] {
    std::string s;
    for (int i = 0; i < 600; ++i) s += "\\k";
    return s;
  }() + "]\n\"v\"=\"x\"\n";
  const struct {
    std::string Text;
    int Line;  // 0: imports without complaint
  } cases[] = {
      {"\"Orphan\"=\"value before any section\"\nREGEDIT4\n", 0},
      {"[\n[]\n[-]\n]\n", 1},
      {"[HKEY_CURRENT_USER\\M]\n\"Open=\"no end\n\"N\"=dword:xyz\n", 2},
      {"[HKEY_CURRENT_USER\\M]\n\"N\"=dword:xyz\n", 2},
      {"[HKEY_CURRENT_USER\\M]\n\"W\"=dword:123456789\n", 2},
      {"[HKEY_CURRENT_USER\\M]\n\"H\"=hex:1,2,zz\n", 2},
      {"[HKEY_CURRENT_USER\\M]\n\"H2\"=hex(:01\n", 2},
      {"[HKEY_CURRENT_USER\\M]\n\"H4\"=hex:100\n", 2},
      {"[HKEY_CURRENT_USER\\M]\n\"C\"=hex:01,\\\n", 0},  // continuation at the end of the text
      {"[HKEY_CURRENT_USER\\M]\n=\"no name\"\n", 2},
      {"[HKEY_CURRENT_USER\\M]\n\"Q\" \"x\"\n", 2},
      {"[HKEY_CURRENT_USER\\M]\n\n; note\n@\n", 4},
      {"[HKEY_CURRENT_USER\\M]\nstray words\n", 2},
      {"[HKEY_CURRENT_USER\\M]\n\"E\"=\n", 2},
      {"[HKEY_CURRENT_USER\\M]\n\"Bad\nName\"=\"x\"\n", 2},
      {std::string("\0\0\0[\0]\n\"\0\"=\"\0\"\n", 15), 0},
      {deep, 1},
  };
  for (const auto& c : cases) {
    WriteText(Dir + "bad.reg", c.Text);
    try {
      ImportRegFile(Dir + "bad.reg");
      EXPECT_EQ(c.Line, 0) << c.Text;
    } catch (const ERegistryException& e) {
      EXPECT_NE(e.Message().find("bad.reg' stopped at line " + std::to_string(c.Line) + ":"), std::string::npos)
          << e.Message();
    }
  }
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\M", false));
  std::vector<std::string> names;
  r.GetValueNames(names);
  EXPECT_EQ(names, std::vector<std::string>({"C"}));  // the one well-formed value
  EXPECT_FALSE(r.KeyExists("\\k"));  // deeper than any key may be
  // The hive still reads back.
  Reload();
  ASSERT_TRUE(r.OpenKey("\\M", false));
  EXPECT_EQ(r.GetDataSize("C"), 1);

  // Half-way: the sections before the bad line are in, the rest is not.
  WriteText(Dir + "half.reg",
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kavrelin\\3.6]\n\"Count\"=dword:0000002a\n\n"
            "[HKEY_CURRENT_USER\\Software\\Kavrelin\\3.6\\FILTER]\n\"A\"=\"1\"\n\"B\"=hux:00\n\"C\"=\"3\"\n"
            "[HKEY_CURRENT_USER\\Software\\Kavrelin\\Later]\n");
  try {
    ImportRegFile(Dir + "half.reg");
    ADD_FAILURE() << "no failure reported";
  } catch (const ERegistryException& e) {
    EXPECT_NE(e.Message().find("stopped at line 8: \"B\"=hux:00"), std::string::npos) << e.Message();
  }
  ASSERT_TRUE(r.OpenKey("\\Software\\Kavrelin\\3.6", false));
  EXPECT_EQ(r.ReadInteger("Count"), 42);
  ASSERT_TRUE(r.OpenKey("FILTER", false));
  EXPECT_EQ(r.ReadString("A"), "1");
  EXPECT_FALSE(r.ValueExists("C"));
  EXPECT_FALSE(r.KeyExists("\\Software\\Kavrelin\\Later"));
}

// A value left continued with "\\" must not swallow the key or value that follows.
TEST(RegText, ContinuationEndsAtALineThatStartsAKeyOrAValue) {
  for (const char* next : {"[HKEY_CURRENT_USER\\Next]", "\"Next\"=\"x\"", "@=\"x\""}) {
    const std::string text = std::string("[HKEY_CURRENT_USER\\A]\n\"H\"=hex:01,02,\\\n  03,\\\n") + next + "\n";
    std::vector<TRegTextEntry> got;
    ParseRegText(text, [&](const TRegTextEntry& E) { got.push_back(E); });
    ASSERT_EQ(got.size(), 3u) << next;
    EXPECT_EQ(got[1].Name, "H");
    EXPECT_EQ(got[1].Data, (std::vector<uint8_t>{1, 2, 3})) << next;
    EXPECT_EQ(got[2].Kind, next[0] == '[' ? reKey : reValue) << next;
  }
}

// Import and reload look values and subkeys up by name: thousands of them in
// one key must not take time that grows with the square of their number.
TEST_F(Registry, ThousandsOfValuesAndKeysInOneKeyStayFast) {
  // Import and reload of n values and n subkeys of one key, timed for two
  // sizes: linear work grows about 4 times from the smaller to the larger, a
  // quadratic one 16 times. A ratio is steady on a busy machine, a wall-clock
  // limit is not.
  auto importAndReload = [&](int n, const std::string& key) {
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + key + "]\n";
    for (int i = 0; i < n; ++i) text += "\"V" + std::to_string(i) + "\"=dword:" + std::to_string(i % 10) + "\n";
    for (int i = 0; i < n; ++i) text += "[HKEY_CURRENT_USER\\" + key + "\\K" + std::to_string(i) + "]\n";
    WriteText(Dir + key + ".reg", text);
    const auto start = std::chrono::steady_clock::now();
    ImportRegFile(Dir + key + ".reg");
    Reload();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  const int n = 40000;
  const double small = importAndReload(n / 4, "Small");
  const double large = importAndReload(n, "Big");
  EXPECT_LT(large, 9.0 * small + 0.5) << small << " s for " << n / 4 << ", " << large << " s for " << n;
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\Big", false));
  EXPECT_EQ(r.ReadInteger("v39999"), 9);
  EXPECT_TRUE(r.KeyExists("k12345"));
  // The index follows deletions: names after the deleted one are still found.
  EXPECT_TRUE(r.DeleteValue("V0"));
  EXPECT_EQ(r.ReadInteger("V39999"), 9);
  EXPECT_FALSE(r.ValueExists("V0"));
  EXPECT_TRUE(r.DeleteKey("K0"));
  EXPECT_TRUE(r.KeyExists("K39999"));
  std::vector<std::string> names;
  r.GetValueNames(names);
  ASSERT_EQ(names.size(), size_t(n - 1));
  EXPECT_EQ(names.front(), "V1");
}

TEST_F(Registry, RegIniFileStoresSectionsAsSubkeysOfStrings) {
  {
    TRegistryIniFile ini("\\software\\Kavrelin\\storage");
    ini.WriteInteger("Tform1", "FormVersion", 3);
    ini.WriteBool("Tform1", "Visible", true);
    ini.WriteString("Tform1", "NormPos", "1,2,3,4");
    ini.WriteString("Tform2", "Hex", "$1F");
    EXPECT_EQ(ini.ReadInteger("Tform1", "FormVersion", 0), 3);
    EXPECT_EQ(ini.ReadInteger("Tform2", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Tform1", "NormPos", -1), -1);  // no number: the default
    EXPECT_EQ(ini.ReadString("Nope", "x", "dflt"), "dflt");
    std::vector<std::string> list;
    ini.ReadSections(list);
    EXPECT_EQ(list, std::vector<std::string>({"Tform1", "Tform2"}));
    ini.ReadSectionValues("tform1", list);
    EXPECT_EQ(list, std::vector<std::string>({"FormVersion=3", "Visible=1", "NormPos=1,2,3,4"}));
    TStringList sl;
    sl.Add("replaced");
    ini.ReadSectionValues("Tform1", sl);
    EXPECT_EQ(sl.Text(), "FormVersion=3\nVisible=1\nNormPos=1,2,3,4\n");
    ini.RegIniFile().GetKeyNames(sl);
    EXPECT_EQ(sl.Text(), "Tform1\nTform2\n");
    EXPECT_TRUE(ini.SectionExists("TFORM2"));
    ini.EraseSection("Tform2");
    EXPECT_FALSE(ini.SectionExists("Tform2"));
    ini.DeleteKey("Tform1", "NormPos");
    EXPECT_FALSE(ini.ValueExists("Tform1", "NormPos"));
  }
  TRegistry r;
  ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\Kavrelin\\Storage\\Tform1"));
  EXPECT_EQ(r.GetDataType("FormVersion"), rdString);  // everything is text
  EXPECT_EQ(r.ReadString("Visible"), "1");
  r.CloseKey();
  ASSERT_TRUE(r.OpenKey("\\Software\\Kavrelin\\Storage\\Tform1", false));
  r.WriteInteger("Dword", 7);

  TRegIniFile ro("\\software\\Kavrelin\\storage", KEY_READ);
  EXPECT_EQ(ro.ReadInteger("Tform1", "Dword", 0), 7);  // a true integer value reads too
  EXPECT_TRUE(ro.ReadBool("Tform1", "Visible", false));
  EXPECT_THROW(ro.WriteString("Tform1", "x", "y"), ERegistryException);
}

}  // namespace
}  // namespace kv

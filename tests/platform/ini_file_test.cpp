#include "platform/system/ini_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/string_list.h"
#include "platform/system/file_lock.h"
#include "support/message_wait.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::ReadText;
using test::WriteText;

// Whether some process waits for a lock on the file or folder Path: the
// kernel lists a blocked request as "->" before its type, with the inode.
bool SomeoneWaitsForLock(const std::string& Path) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0) return false;
  const std::string inode = ":" + std::to_string(st.st_ino) + " ";
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);)
    if (line.find(" -> ") != std::string::npos && line.find(inode) != std::string::npos) return true;
  return false;
}

class IniFile : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    Name = Dir + "test.ini";
  }
  std::string Name;
};

TEST_F(IniFile, ReadsAsTheProfileFunctionsAndKeepsWhatItDoesNotUnderstand) {
  const std::string original =
      "; comment line\r\n"
      "stray text before any section\r\n"
      "[Main]\r\n"
      "  Spaced  =  padded value  \r\n"
      "Quoted=\"  inner  \"\r\n"
      "Single='x'\r\n"
      "Half=\"open\r\n"
      "no equals sign here\r\n"
      "Empty=\r\n"
      "\r\n"
      "[main]\r\n"
      "Spaced=shadowed by the first section\r\n";
  WriteText(Name, original);
  TIniFile ini(Name);
  EXPECT_EQ(ini.ReadString("MAIN", "spaced", "d"), "padded value");
  EXPECT_EQ(ini.ReadString("Main", "Quoted", "d"), "  inner  ");
  EXPECT_EQ(ini.ReadString("Main", "Single", "d"), "x");
  EXPECT_EQ(ini.ReadString("Main", "Half", "d"), "\"open");
  EXPECT_EQ(ini.ReadString("Main", "Empty", "d"), "");
  EXPECT_EQ(ini.ReadString("Main", "Missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("Other", "Spaced", "d"), "d");

  ini.WriteString("main", "SPACED", "new");    // replaced in place, written case kept
  ini.WriteString("Main", "Added", "1");       // after the section's last line, before the blank
  ini.WriteString("Fresh", "Key", "v");        // a new section at the end
  EXPECT_EQ(ReadText(Name),
            "; comment line\r\n"
            "stray text before any section\r\n"
            "[Main]\r\n"
            "Spaced=new\r\n"
            "Quoted=\"  inner  \"\r\n"
            "Single='x'\r\n"
            "Half=\"open\r\n"
            "no equals sign here\r\n"
            "Empty=\r\n"
            "Added=1\r\n"
            "\r\n"
            "[main]\r\n"
            "Spaced=shadowed by the first section\r\n"
            "\r\n"
            "[Fresh]\r\n"
            "Key=v\r\n");
}

// A run of CRs before a LF is all line end: the value keeps none of them and
// the file is written back with plain LF line ends.
TEST_F(IniFile, ARunOfCarriageReturnsIsOneLineEnd) {
  WriteText(Name, "[A]\nk=v\r\r\nj=1\n");
  TIniFile ini(Name);
  EXPECT_EQ(ini.ReadString("A", "k", "d"), "v");
  ini.WriteString("A", "j", "2");
  EXPECT_EQ(ReadText(Name), "[A]\nk=v\nj=2\n");
}

TEST_F(IniFile, CarriageReturnsAloneEndLinesAndAreWrittenBackSo) {
  WriteText(Name, "[A]\rk=v\r\rj=1\r");
  TIniFile ini(Name);
  EXPECT_EQ(ini.ReadString("A", "k", "d"), "v");
  EXPECT_EQ(ini.ReadString("A", "j", "d"), "1");
  ini.WriteString("A", "j", "2");
  EXPECT_EQ(ReadText(Name), "[A]\rk=v\r\rj=2\r");
}

TEST_F(IniFile, SectionValuesOfManyKeysKeepTheirOrderAndFirstValues) {
  std::string text = "[Big]\n";
  for (int i = 0; i < 40000; ++i) text += "K" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  text += "k7=shadowed\n[Other]\nK1=x\n";
  WriteText(Name, text);
  TIniFile ini(Name);
  std::vector<std::string> values;
  ini.ReadSectionValues("big", values);
  ASSERT_EQ(values.size(), 40001u);
  EXPECT_EQ(values[0], "K0=0");
  EXPECT_EQ(values[39999], "K39999=39999");
  EXPECT_EQ(values[40000], "k7=7");  // a repeated name reads as its first line
}

// Two writers, one through a symbolic link and one through its target, must
// take the same lock: the target's folder, where the file is replaced.
TEST_F(IniFile, AWriterThroughALinkLocksWhereTheTargetIsReplaced) {
  const std::string real = Dir + "real/";
  const std::string links = Dir + "links/";
  std::filesystem::create_directories(real);
  std::filesystem::create_directories(links);
  WriteText(real + "a.ini", "[A]\nk=1\n");
  std::filesystem::create_symlink(real + "a.ini", links + "a.ini");
  std::atomic<bool> written{false};
  std::thread writer;
  {
    TFileLock held(real, true);  // another writer by the target's path, mid-change
    writer = std::thread([&] {
      TIniFile viaLink(links + "a.ini");
      viaLink.WriteString("A", "k", "2");
      written = true;
    });
    // The writer either blocks on the target folder's lock, or (taking the
    // wrong lock) gets through and writes, which ends the wait as well.
    EXPECT_TRUE(test::WaitWithMessages([&] { return written.load() || SomeoneWaitsForLock(real); }, 30));
    EXPECT_FALSE(written.load());  // waits for the lock on the target's folder
  }
  writer.join();
  EXPECT_TRUE(written.load());
  EXPECT_TRUE(std::filesystem::is_symlink(links + "a.ini"));
  EXPECT_EQ(ReadText(real + "a.ini"), "[A]\nk=2\n");
}

TEST_F(IniFile, ManySectionsListOnceEachWithoutCase) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "[S" + std::to_string(i) + "]\n[s" + std::to_string(i) + "]\n";
  WriteText(Name, text);
  TIniFile ini(Name);
  std::vector<std::string> names;
  ini.ReadSections(names);
  ASSERT_EQ(names.size(), 20000u);
  EXPECT_EQ(names.front(), "S0");
  EXPECT_EQ(names.back(), "S19999");
}

TEST_F(IniFile, NumbersBooleansAndFloats) {
  WriteText(Name,
            "[N]\nhex1=$1F\nhex2=0x1f\nneg=-7\nspace= 42 \nbad=12abc\nbig=4294967296\n"
            "allbits=$FFFFFFFF\nmin=-2147483648\nf=1,5\n");
  TIniFile ini(Name);
  struct {
    const char* Ident;
    int32_t Expected;
  } ints[] = {{"hex1", 31}, {"hex2", 31}, {"neg", -7},         {"space", 42},           {"bad", 99},
              {"big", 99},  {"none", 99}, {"allbits", -1},     {"min", -2147483647 - 1}};
  for (const auto& c : ints) EXPECT_EQ(ini.ReadInteger("N", c.Ident, 99), c.Expected) << c.Ident;
  EXPECT_EQ(ini.ReadFloat("N", "f", 0), 1.5);  // decimal comma of older files
  EXPECT_EQ(ini.ReadFloat("N", "bad", -1), -1);

  ini.WriteBool("B", "on", true);
  ini.WriteBool("B", "off", false);
  ini.WriteFloat("B", "tenth", 0.1);
  ini.WriteInteger("B", "i", -12);
  EXPECT_TRUE(ini.ReadBool("B", "on", false));
  EXPECT_FALSE(ini.ReadBool("B", "off", true));
  EXPECT_TRUE(ini.ReadBool("B", "none", true));
  EXPECT_EQ(ini.ReadFloat("B", "tenth", 0), 0.1);
  EXPECT_NE(ReadText(Name).find("on=1\noff=0\ntenth=0.1\ni=-12\n"), std::string::npos);
}

TEST_F(IniFile, SectionsListEraseAndDelete) {
  WriteText(Name, "[A]\nx=1\ny=\"2\"\n[Empty]\n[b]\nz=3\n[a]\nw=4\n");
  TIniFile ini(Name);
  std::vector<std::string> list;
  ini.ReadSections(list);
  EXPECT_EQ(list, std::vector<std::string>({"A", "Empty", "b"}));
  ini.ReadSection("a", list);
  EXPECT_EQ(list, std::vector<std::string>({"x", "y"}));
  ini.ReadSectionValues("A", list);
  EXPECT_EQ(list, std::vector<std::string>({"x=1", "y=2"}));
  TStringList sl;
  ini.ReadSections(sl);
  EXPECT_EQ(sl.Text(), "A\nEmpty\nb\n");
  EXPECT_TRUE(ini.SectionExists("B"));
  EXPECT_FALSE(ini.SectionExists("Empty"));  // a section without values counts as absent
  EXPECT_TRUE(ini.ValueExists("A", "Y"));
  EXPECT_FALSE(ini.ValueExists("A", "w"));

  ini.DeleteKey("A", "X");
  ini.EraseSection("A");  // both sections of the name go, so "w" does not come to light
  EXPECT_EQ(ini.ReadString("A", "w", "gone"), "gone");
  EXPECT_EQ(ReadText(Name), "[Empty]\n[b]\nz=3\n");
}

TEST_F(IniFile, MissingFileReadsEmptyAndWritesAreAtomicAndSafe) {
  TIniFile ini(Name);
  EXPECT_EQ(ini.ReadString("S", "k", "d"), "d");
  EXPECT_FALSE(std::filesystem::exists(Name));
  ini.WriteString("S", "k", "v");
  EXPECT_EQ(ReadText(Name), "[S]\nk=v\n");

  // A second object that already read the file does not lose the first one's write.
  TIniFile other(Name);
  EXPECT_EQ(other.ReadString("S", "k", ""), "v");
  ini.WriteString("S", "a", "1");
  other.WriteString("S", "b", "2");
  EXPECT_EQ(ReadText(Name), "[S]\nk=v\na=1\nb=2\n");

  // Text that would break the file into other lines is refused, the file untouched.
  for (auto [sec, ident, value] : {std::tuple{"S", "k", "x\ny=1"}, {"S]", "k", "x"}, {"S", "a=b", "x"},
                                   {"S", "", "x"}, {"S\n[T", "k", "x"}})
    EXPECT_THROW(ini.WriteString(sec, ident, value), EIniFileException) << ident;
  EXPECT_EQ(ReadText(Name), "[S]\nk=v\na=1\nb=2\n");

  TIniFile nowhere(Dir + "no/such/folder/x.ini");
  try {
    nowhere.WriteString("S", "k", "v");
    ADD_FAILURE() << "nothing raised";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Schreiben in " + Dir + "no/such/folder/x.ini nicht möglich");
  }
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(Dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

TEST_F(IniFile, ABareNameLivesInTheConfigFolder) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", Dir.c_str(), 1);
  {
    TIniFile ini("Kavrelin.INI");
    EXPECT_EQ(ini.FileName(), Dir + "kavrelin/Kavrelin.INI");
    ini.WriteInteger("Tform1", "FormVersion", 2);  // creates the folder
  }
  if (old)
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ReadText(Dir + "kavrelin/Kavrelin.INI"), "[Tform1]\nFormVersion=2\n");
}

}  // namespace
}  // namespace kv

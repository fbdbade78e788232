// File associations, wallpaper, links and wallpaper changers against fake
// desktop tools: small scripts first on PATH that log what they were asked and
// keep the MIME defaults in a file, as xdg-mime keeps them in mimeapps.list.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/helpers/desktop_entry.h"
#include "app/helpers/desktop_helpers.h"
#include "app/helpers/file_associations.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/paths.h"
#include "platform/system/registry.h"
#include "platform/ui/forms.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

extern char** environ;

namespace kv {
namespace {

class FakeDesktop : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    for (const char* v : {"PATH", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
      const char* old = std::getenv(v);
      Saved.emplace_back(v, old ? std::optional<std::string>(old) : std::nullopt);
    }
    ForceDirectories(Dir + "bin");
    ForceDirectories(Dir + "cfg");
    setenv("PATH", (Dir + "bin:" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin")).c_str(), 1);
    setenv("XDG_DATA_HOME", (Dir + "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (Dir + "cfg").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (Dir + "run").c_str(), 1);
    SetRegistryFolder(Dir + "reg");
    const std::string log = Dir + "calls.log";
    Fake("xdg-mime",
         "echo \"xdg-mime $*\" >> '" + log + "'\n"
         "case \"$1\" in\n"
         "  query) grep \"^$3=\" '" + Dir + "defaults' 2>/dev/null | tail -1 | cut -d= -f2 ;;\n"
         "  default) echo \"$3=$2\" >> '" + Dir + "defaults' ;;\n"
         "esac\n");
    Fake("update-mime-database", "echo \"update-mime-database $*\" >> '" + log + "'\n");
    Fake("gsettings", "echo \"gsettings $*\" >> '" + log + "'\n");
  }
  void TearDown() override {
    for (const auto& [name, value] : Saved)
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    SetRegistryFolder("");
    TTempFolderTest::TearDown();
  }
  void Fake(const std::string& Name, const std::string& Body) {
    const std::string file = Dir + "bin/" + Name;
    test::WriteText(file, "#!/bin/sh\n" + Body);
    ::chmod(file.c_str(), 0755);
  }
  void SetDefault(const std::string& Mime, const std::string& Id) {
    test::WriteText(Dir + "defaults", test::ReadText(Dir + "defaults") + Mime + "=" + Id + "\n");
  }
  std::string Calls() {
    const std::string c = test::ReadText(Dir + "calls.log");
    test::WriteText(Dir + "calls.log", "");
    return c;
  }
  std::string Entry(const std::string& Class) { return Dir + "data/applications/" + AssociationDesktopId(Class); }
  // What desktop-file-validate says of a file; empty when it finds nothing to complain of.
  static std::string Validate(const std::string& File) {
    if (!test::HaveTool("desktop-file-validate")) return {};
    const test::TToolRun r = test::RunTool("desktop-file-validate '" + File + "' 2>&1");
    return r.Status == 0 ? std::string() : r.Output + " ";
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
};

TEST_F(FakeDesktop, AssociatingAndUnassociatingGivesEachTypeBackToItsOwner) {
  SetDefault("image/jpeg", "org.gnome.eog.desktop");
  for (const char* ext : {"jpg", ".JPEG", "jpe"}) AssociateExtension(ext, ParamStr(0));
  EXPECT_EQ(Calls(),
            "xdg-mime query default image/jpeg\nxdg-mime default kavrelin-jpggrafik.desktop image/jpeg\n"
            "xdg-mime query default image/jpeg\nxdg-mime default kavrelin-jpeggrafik.desktop image/jpeg\n"
            "xdg-mime query default image/jpeg\nxdg-mime default kavrelin-jpegrafik.desktop image/jpeg\n");
  EXPECT_TRUE(IsExtensionAssociated("JPE", "jpeGrafik"));
  EXPECT_FALSE(IsExtensionAssociated("jpg", "jpgGrafik"));  // the last association holds the type
  const std::string e = Entry("jpgGrafik");
  EXPECT_EQ(ReadDesktopEntryValue(e, "Name"), "Kavrelin (jpg)");
  EXPECT_EQ(ReadDesktopEntryValue(e, "MimeType"), "image/jpeg;");
  EXPECT_EQ(ReadDesktopEntryValue(e, "X-Kavrelin-PreviousLink"), "org.gnome.eog.desktop");
  EXPECT_EQ(ReadDesktopEntryValue(Entry("jpegGrafik"), "X-Kavrelin-PreviousLink"), "kavrelin-jpggrafik.desktop");
  EXPECT_EQ(Validate(e), "");

  // Associating again keeps the real previous owner instead of itself.
  AssociateExtension("jpe", ParamStr(0));
  EXPECT_EQ(ReadDesktopEntryValue(Entry("jpeGrafik"), "X-Kavrelin-PreviousLink"), "kavrelin-jpeggrafik.desktop");

  // Back in reverse order: each extension returns to the owner it had.
  UnassociateExtension("jpg", "jpgGrafik");  // not the owner now: nothing changes
  EXPECT_TRUE(FileExists(e));
  Calls();
  UnassociateExtension("jpe", "jpeGrafik");
  EXPECT_EQ(Calls(), "xdg-mime query default image/jpeg\nxdg-mime default kavrelin-jpeggrafik.desktop image/jpeg\n");
  UnassociateExtension("jpeg", "jpegGrafik");
  UnassociateExtension("jpg", "jpgGrafik");
  EXPECT_FALSE(FileExists(e));
  EXPECT_FALSE(FileExists(Entry("jpeGrafik")));
  EXPECT_FALSE(IsExtensionAssociated("jpg", "jpgGrafik"));
  Calls();
  EXPECT_EQ(test::RunCapture("tail -1 '" + Dir + "defaults'"), "image/jpeg=org.gnome.eog.desktop\n");
}

// A path with blanks, quotes and a percent sign reaches the program as one argument.
TEST_F(FakeDesktop, TheOpenCommandQuotesTheProgram) {
  const std::string program = Dir + "mein \"Kavrelin\" 100%/kav$relin";
  RegisterExtension("png", "pngGrafik", "Kavrelin (png)", program, "%1");
  const std::string e = Entry("pngGrafik");
  EXPECT_EQ(Validate(e), "");
  EXPECT_EQ(ReadDesktopEntryValue(e, "Icon"), "");  // "%1": the file shows itself
  // The Exec line as a desktop would split it, run through the shell rules it follows.
  const std::string exec = ReadDesktopEntryValue(e, "Exec");
  ASSERT_EQ(exec.substr(exec.size() - 3), " %f");
  std::string unquoted = exec.substr(0, exec.size() - 3);
  ASSERT_TRUE(unquoted.size() >= 2 && unquoted.front() == '"' && unquoted.back() == '"');
  std::string arg;
  for (size_t i = 1; i + 1 < unquoted.size(); ++i) {
    if (unquoted[i] == '\\') ++i;
    else if (unquoted[i] == '%') ++i;
    arg += unquoted[i];
  }
  EXPECT_EQ(arg, program);
}

// Every extension of a kind gets its own class; pictures that show themselves get "%1".
TEST_F(FakeDesktop, AssociatingAFileKindTakesAllItsExtensions) {
  AssociateFileKind(tFileFormat::jpg);
  for (const char* c : {"jpgGrafik", "jpegGrafik", "jpeGrafik"}) {
    EXPECT_EQ(ReadDesktopEntryValue(Entry(c), "Icon"), "kavrelin") << c;
    EXPECT_EQ(ReadDesktopEntryValue(Entry(c), "MimeType"), "image/jpeg;") << c;
  }
  AssociateFileKind(tFileFormat::bmp);
  for (const char* c : {"bmpGrafik", "dibGrafik", "rleGrafik"}) {
    EXPECT_TRUE(FileExists(Entry(c))) << c;
    EXPECT_EQ(ReadDesktopEntryValue(Entry(c), "Icon"), "") << c;
  }
  EXPECT_TRUE(IsExtensionAssociated(".rle", "rleGrafik"));
  EXPECT_EQ(MimeTypeOfExtension("RLE"), "application/x-kavrelin-rle");
}

TEST_F(FakeDesktop, AnExtensionWithoutATypeGetsTheProgramsOwn) {
  test::WriteText(Dir + "cfg/mimeapps.list",
                  "[Default Applications]\ntext/plain=gedit.desktop\n"
                  "application/x-kavrelin-pix=kavrelin-pixgrafik.desktop;\n[Added Associations]\n"
                  "application/x-kavrelin-pix=kavrelin-pixgrafik.desktop;\n");
  AssociateExtension("pix", "%1");
  const std::string package = Dir + "data/mime/packages/kavrelin-pix.xml";
  EXPECT_NE(test::ReadText(package).find("<glob pattern=\"*.pix\"/>"), std::string::npos);
  EXPECT_EQ(Calls(), "update-mime-database " + Dir + "data/mime/\n"
                     "xdg-mime query default application/x-kavrelin-pix\n"
                     "xdg-mime default kavrelin-pixgrafik.desktop application/x-kavrelin-pix\n");
  if (test::HaveTool("xmllint")) {
    EXPECT_EQ(test::Run("xmllint --noout '" + package + "'"), 0);
  }
  UnassociateExtension("PIX", "pixGrafik");
  // Nobody had the type before: only our default line goes.
  EXPECT_EQ(test::ReadText(Dir + "cfg/mimeapps.list"),
            "[Default Applications]\ntext/plain=gedit.desktop\n[Added Associations]\n"
            "application/x-kavrelin-pix=kavrelin-pixgrafik.desktop;\n");
  EXPECT_FALSE(FileExists(package));
  EXPECT_THROW(AssociateExtension("../x", "%1"), Exception);
  EXPECT_EQ(AssociationDesktopId("../Mein Bild"), "kavrelin-.._mein_bild.desktop");
}

TEST_F(FakeDesktop, AMissingToolIsReportedAndLeavesNoEntryBehind) {
  ::unlink((Dir + "bin/xdg-mime").c_str());
  setenv("PATH", (Dir + "bin").c_str(), 1);
  try {
    AssociateExtension("gif", ParamStr(0));
    ADD_FAILURE() << "no failure reported";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find("xdg-mime"), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(FileExists(Entry("gifGrafik")));
  EXPECT_FALSE(IsExtensionAssociated("gif", "gifGrafik"));
}

TEST_F(FakeDesktop, WallpaperGoesToTheRegistryAndTheDesktop) {
  const struct {
    int32_t Mode;
    const char* Tile;  // TileWallPaper afterwards, starting from "7"
    const char* Options;
  } cases[] = {{0, "0", "centered"}, {1, "1", "wallpaper"}, {2, "0", "centered"}, {4, "7", nullptr}};
  const std::string picture = Dir + "Bild mit Ä/" + std::string(300, 'x') + ".bmp";
  for (const auto& c : cases) {
    {
      TRegistry r;
      ASSERT_TRUE(r.OpenKey("\\Control Panel\\desktop", true));
      r.WriteString("TileWallPaper", "7");
      r.DeleteValue("WallpaperStyle");
    }
    EXPECT_TRUE(SetDesktopWallpaper(picture, c.Mode)) << c.Mode;
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Control Panel\\desktop", false));
    EXPECT_EQ(r.ReadString("TileWallPaper"), c.Tile) << c.Mode;
    EXPECT_EQ(r.ReadString("Wallpaper"), picture);
    EXPECT_EQ(r.ReadInteger("WallpaperStyle"), 3);
    const std::string uri = "file://" + Dir + "Bild%20mit%20%C3%84/" + std::string(300, 'x') + ".bmp";
    std::string expected = "gsettings set org.gnome.desktop.background picture-uri " + uri +
                           "\ngsettings set org.gnome.desktop.background picture-uri-dark " + uri + "\n";
    if (c.Options) expected += std::string("gsettings set org.gnome.desktop.background picture-options ") + c.Options + "\n";
    EXPECT_EQ(Calls(), expected) << c.Mode;
  }
  EXPECT_TRUE(SetDesktopWallpaper("", 0));
  EXPECT_EQ(Calls(), "gsettings set org.gnome.desktop.background picture-options none\n");
  ::unlink((Dir + "bin/gsettings").c_str());
  setenv("PATH", (Dir + "bin").c_str(), 1);
  EXPECT_FALSE(SetDesktopWallpaper(picture, 0));  // no desktop setting to take it
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\Control Panel\\desktop", false));
  EXPECT_EQ(r.ReadString("Wallpaper"), picture);
}

// The real gsettings, writing to a key file of the test's own, reads back what we set.
TEST_F(FakeDesktop, TheRealGSettingsTakesTheWallpaper) {
  ::unlink((Dir + "bin/gsettings").c_str());
  if (!test::HaveTool("gsettings") ||
      test::RunCapture("gsettings list-schemas").find("org.gnome.desktop.background\n") == std::string::npos)
    GTEST_SKIP() << "gsettings or the desktop schemas are not installed";
  const char* oldBackend = std::getenv("GSETTINGS_BACKEND");
  const std::string savedBackend = oldBackend ? oldBackend : "";
  setenv("GSETTINGS_BACKEND", "keyfile", 1);
  const std::string picture = Dir + "Mein Bild #1.bmp";
  EXPECT_TRUE(SetDesktopWallpaper(picture, 1));
  auto get = [](const std::string& Key) {
    return test::RunCapture("gsettings get org.gnome.desktop.background " + Key);
  };
  EXPECT_EQ(get("picture-uri"), "'file://" + Dir + "Mein%20Bild%20%231.bmp'\n");
  EXPECT_EQ(get("picture-options"), "'wallpaper'\n");
  EXPECT_TRUE(SetDesktopWallpaper(picture, 3));
  EXPECT_EQ(get("picture-options"), "'centered'\n");
  EXPECT_TRUE(SetDesktopWallpaper("", 0));
  EXPECT_EQ(get("picture-options"), "'none'\n");
  if (oldBackend) setenv("GSETTINGS_BACKEND", savedBackend.c_str(), 1);
  else unsetenv("GSETTINGS_BACKEND");
}

TEST_F(FakeDesktop, LinksAreDesktopEntries) {
  EXPECT_EQ(ShellLinkFileName("/a/Kavrelin Wallpaper Changer.lnk"), "/a/Kavrelin Wallpaper Changer.desktop");
  EXPECT_EQ(ShellLinkFileName("/a/b.desktop"), "/a/b.desktop");
  const std::string program = Dir + "wallp";
  test::WriteText(program, "#!/bin/sh\n");
  ::chmod(program.c_str(), 0755);
  const std::string autostart = Dir + "cfg/autostart/Kavrelin Wallpaper Changer.lnk";
  ASSERT_TRUE(CreateShellLink(program, autostart, "Kavrelin Wallpaper Changer"));
  const std::string link = ShellLinkFileName(autostart);
  EXPECT_EQ(Validate(link), "");
  EXPECT_EQ(ReadDesktopEntryValue(link, "Type"), "Application");
  EXPECT_EQ(ReadDesktopEntryValue(link, "Exec"), "\"" + program + "\"");
  EXPECT_EQ(ReadDesktopEntryValue(link, "Name"), "Kavrelin Wallpaper Changer");
  struct stat st {};
  ASSERT_EQ(::stat(link.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);

  test::WriteText(Dir + "Bild 1.jpg", "");
  ASSERT_TRUE(CreateShellLink(Dir + "Bild 1.jpg", Dir + "desk/bild.lnk", ""));
  EXPECT_EQ(Validate(Dir + "desk/bild.desktop"), "");
  EXPECT_EQ(ReadDesktopEntryValue(Dir + "desk/bild.desktop", "Type"), "Link");
  EXPECT_EQ(ReadDesktopEntryValue(Dir + "desk/bild.desktop", "URL"), "file://" + Dir + "Bild%201.jpg");
  EXPECT_EQ(ReadDesktopEntryValue(Dir + "desk/bild.desktop", "Name"), "Bild 1.jpg");
  test::WriteText(Dir + "plain", "");
  EXPECT_FALSE(CreateShellLink(program, Dir + "plain/x.lnk", "x"));  // a file where the folder should be
}

class twallpaperform : public TForm {
 public:
  using TForm::TForm;
};

pid_t StartSleeper() {
  pid_t pid = 0;
  const char* argv[] = {"sleep", "30", nullptr};
  if (::posix_spawnp(&pid, "sleep", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return 0;
  return pid;
}

TEST_F(FakeDesktop, WallpaperChangersOfThisAndOtherProcessesAreClosed) {
  auto* a = new twallpaperform(nullptr);
  a->SetCaption("kavrelinwallpaper");
  a->OnClose = [](TObject*, TCloseAction& Action) { Action = caFree; };
  auto* refusing = new twallpaperform(nullptr);
  refusing->SetCaption("KavrelinWallpaper");
  refusing->OnCloseQuery = [](TObject*, bool& CanClose) { CanClose = false; };
  auto* other = new twallpaperform(nullptr);
  other->SetCaption("etwas anderes");
  a->Show();
  refusing->Show();
  other->Show();

  // Another changer process, and a mark whose process runs some other program.
  const pid_t changer = StartSleeper(), stranger = StartSleeper();
  ASSERT_GT(changer, 0);
  ASSERT_GT(stranger, 0);
  ForceDirectories(Dir + "run/kavrelin");
  char exe[4096] = {};
  ASSERT_GT(::readlink(("/proc/" + std::to_string(changer) + "/exe").c_str(), exe, sizeof exe - 1), 0);
  test::WriteText(Dir + "run/kavrelin/wallpaper-" + std::to_string(changer), exe);
  test::WriteText(Dir + "run/kavrelin/wallpaper-" + std::to_string(stranger), "/usr/bin/kavrelin");
  test::WriteText(Dir + "run/kavrelin/wallpaper-999999999", exe);  // long gone
  AnnounceWallpaperChanger();  // this process: never asked to end itself

  CloseWallpaperChangers();  // ends although one window refuses
  int status = 0;
  EXPECT_EQ(::waitpid(changer, &status, 0), changer);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(::waitpid(stranger, &status, WNOHANG), 0);  // still running
  EXPECT_FALSE(FileExists(Dir + "run/kavrelin/wallpaper-999999999"));
  EXPECT_TRUE(FileExists(Dir + "run/kavrelin/wallpaper-" + std::to_string(::getpid())));
  EXPECT_TRUE(refusing->Visible());
  EXPECT_TRUE(other->Visible());
  bool aGone = true;
  for (int32_t i = 0; i < Screen->FormCount(); ++i) aGone = aGone && Screen->Forms(i) != a;
  EXPECT_TRUE(aGone);
  ::kill(stranger, SIGKILL);
  ::waitpid(stranger, &status, 0);
  delete refusing;
  delete other;
}

}  // namespace
}  // namespace kv

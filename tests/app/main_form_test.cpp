// The main window: stored options, menus and speed bars, recent files, the
// queue of files to open, the hand-over of a second start, mail, progress,
// the wallpaper and the close query.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "app/actions/main_actions.h"
#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/layer/layer_helpers.h"
#include "app/main/main_form.h"
#include "app/startup/instance_guard.h"
#include "components/speedbar/speed_bar.h"
#include "components/wallpaper/mdi_wallpaper.h"
#include "imaging/formats/io_params.h"
#include "imaging/formats/png.h"
#include "imaging/model/kernel_types.h"
#include "imaging/processing/colour_kernels.h"
#include "imaging/views/open_save_dialog.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/system/registry.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/actions.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/drop_files.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/menus.h"
#include "platform/ui/screen_grab.h"
#include "platform/ui/std_controls.h"
#include "support/sane_test_env.h"
#include "platform/ui/theme_icons.h"
#include "support/temp_files.h"

namespace kv {
namespace {

class MainForm : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    OldDir = GetCurrentDir();  // showing the window enters the program folder
    const char* path = std::getenv("PATH");
    OldPath = path ? std::optional<std::string>(path) : std::nullopt;
    ForceDirectories(Dir + "bin");
    setenv("PATH", (Dir + "bin:" + OldPath.value_or("/usr/bin:/bin")).c_str(), 1);
    SetRegistryFolder(Dir + "reg");
    SetProgramFolder(Dir);
    SetUserDataFolder(Dir);
    Dialogs.emplace();
    // Opening goes through the command language, whose own reports are not what these tests check.
    (*Dialogs)->OnUnexpected = [](const std::string&) {};
    Application->OnException = [this](TObject*, const Exception& E) { Errors.push_back(E.Message()); };
    RunMode = 0;
    Form = new Tform1(nullptr);
    Form->DoCreate();
  }
  void TearDown() override {
    delete Form;
    Application->OnException = nullptr;
    Dialogs.reset();
    SetProgramFolder("");
    SetUserDataFolder("");
    SetRegistryFolder("");
    if (OldPath) setenv("PATH", OldPath->c_str(), 1);
    SetCurrentDir(OldDir);
    TTempFolderTest::TearDown();
  }
  void Fake(const std::string& Name, const std::string& Body) {
    const std::string file = Dir + "bin/" + Name;
    test::WriteText(file, "#!/bin/sh\n" + Body);
    ::chmod(file.c_str(), 0755);
  }
  std::vector<std::string> Recent() const {
    TStringList l;
    Form->historynames(l);
    std::vector<std::string> out;
    for (int32_t i = 0; i < l.Count(); ++i) out.push_back(l.Strings(i));
    return out;
  }
  // The names the idle handler hands to openit, one per idle turn, and the batches it plays.
  std::vector<std::string> Drain() {
    std::vector<std::string> opened;
    for (int turns = 0; turns < 20 && !Trim(Form->PendingFiles).empty(); ++turns) {
      Form->OpenFiles().Clear();
      bool done = false;
      Form->doidle(Form, done);
      if (Form->OpenFiles().Count() == 1) opened.push_back(Form->OpenFiles().Strings(0));
    }
    return opened;
  }

  std::vector<std::string> Errors;
  std::string OldDir;
  std::optional<std::string> OldPath;
  std::optional<TScriptedDialogsScope> Dialogs;
  Tform1* Form = nullptr;
};

TEST_F(MainForm, StoredValuesHaveTheirDefaultsAndKeepWhatIsSet) {
  EXPECT_TRUE(Form->StoredBool("AutoZoomFenster"));
  EXPECT_FALSE(Form->StoredBool("NoWelcome"));
  EXPECT_EQ(Form->StoredInt("maxHistory"), 50);
  EXPECT_EQ(Form->StoredInt("undomode"), 2);
  EXPECT_EQ(Form->StoredInt("CatalogHeight"), 70);
  EXPECT_EQ(Form->StoredString("CatalogInfo"), "Info=265");
  EXPECT_EQ(Form->StoredString("BackgroundImage"), "background.jpg");
  EXPECT_EQ(Form->StoredString("Scanoptions"), "");
  EXPECT_DOUBLE_EQ(Form->StoredFloat("Userunit"), 1.0);
  Form->SetStoredInt("CacheMem", 33);
  Form->SetStoredBool("textshadow", false);
  Form->SetStoredString("LastWorkingDir", "/tmp/x/");
  EXPECT_EQ(Form->StoredInt("CacheMem"), 33);
  EXPECT_FALSE(Form->StoredBool("textshadow"));
  EXPECT_EQ(Form->StoredString("LastWorkingDir"), "/tmp/x/");
  // Once read at the first showing, they outlive the window and come back with their types.
  Form->SetStoredBool("NoWelcome", true);
  Form->Show();
  Form->SetStoredInt("CacheMem", 33);
  Form->SetStoredBool("textshadow", false);
  Form->SetStoredString("LastWorkingDir", "/tmp/x/");
  Form->SetStoredString("Scanoptions", " Source=\"a b\"");
  delete Form;
  Form = new Tform1(nullptr);
  Form->DoCreate();
  Form->Show();
  EXPECT_EQ(Form->StoredInt("CacheMem"), 33);
  EXPECT_FALSE(Form->StoredBool("textshadow"));
  EXPECT_TRUE(Form->StoredBool("Backgroundadjust"));
  EXPECT_EQ(Form->StoredString("LastWorkingDir"), "/tmp/x/");
  EXPECT_EQ(Form->StoredString("Scanoptions"), " Source=\"a b\"");
}

TEST_F(MainForm, MenusAndSpeedBarsAreBuilt) {
  TMenuItem* root = Form->MainMenu1->Items();
  for (const char* caption : {"&Datei", "&Bearbeiten", "&Bild", "&Farben", "&Katalog", "&Fenster"})
    EXPECT_NE(root->Find(caption), nullptr) << caption;
  ASSERT_NE(Form->Kanletrennen1, nullptr);
  std::vector<std::string> channels;
  for (int32_t i = 0; i < Form->Kanletrennen1->Count(); ++i) channels.push_back(Form->Kanletrennen1->Items(i)->Caption());
  EXPECT_EQ(channels, (std::vector<std::string>{"RGB", "HSV", "HSL", "CMYK", "LAB", "YUV"}));
  // The form shows its menu.
  Form->SetStoredBool("NoWelcome", true);
  Form->Show();
  TMenuBarEntry e;
  EXPECT_TRUE(Form->MainMenu1->MenuBarEntry(Form->Datei1, e));
  EXPECT_EQ(e.Text, "&Datei");

  // One section per menu of the bar, named from its caption; the recent files get no buttons.
  for (TSpeedBar* bar : {Form->SpeedBar1, Form->imagespeedbar}) {
    ASSERT_EQ(bar->SectionCount(), root->Count());
    EXPECT_EQ(bar->Sections(0)->Caption(), "Datei");
    EXPECT_EQ(bar->Sections(5)->Caption(), "Katalog");
    TSpeedItem* open = bar->FindItemByName("Datei1Open1");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->Caption(), "Öffnen");
    EXPECT_FALSE(open->Visible());
    EXPECT_EQ(bar->FindItemByName("Datei1Erneutladen1"), nullptr);
    EXPECT_EQ(bar->FindItemByName("Datei1N1"), nullptr);  // separators
    EXPECT_EQ(bar->FindItemByName("Datei1Neu1"), nullptr);  // items with a submenu
    EXPECT_NE(bar->FindItemByName("Datei1NewGrafik1"), nullptr);  // ... but theirs
  }
  // A text button shows its caption.
  TSpeedItem* tile = Form->SpeedBar1->FindItemByName("Fenster1Nebeneinander1");
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(tile->BtnCaption(), "Nebeneinander");
}

// A speed button pressed and let go runs what its menu item runs, here the
// action that duplicates the picture into a new window.
TEST_F(MainForm, SpeedButtonsRunTheirMenuItemsAction) {
  Form->SetStoredBool("NoWelcome", true);
  Form->Show();
  Form->interpreter(Form, "NEWIMAGE Width=20 Height=10 FillColor=255");
  TSpeedItem* item = Form->SpeedBar1->FindItemByName("Bearbeiten1DuplicateAction1");
  ASSERT_NE(item, nullptr);
  ASSERT_NE(item->Action(), nullptr);
  item->SetVisible(true);
  const int32_t before = Form->MDIChildCount();
  TSpeedbarButton* b = item->Button();
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLong(4, 4));
  b->Perform(WM_LBUTTONUP, 0, MakeLong(4, 4));
  EXPECT_EQ(Form->MDIChildCount(), before + 1);
}

// Buttons with a picture of the desktop's icon theme keep their caption as
// the hint; the caption keeps its umlaut.
TEST_F(MainForm, SpeedButtonsShowThemeGlyphsWithTheirCaptionAsHint) {
  TBitmap probe;
  if (!ThemeIconGlyph("document-open", 16, clBtnFace, probe)) GTEST_SKIP() << "no icon theme installed";
  TSpeedItem* open = Form->SpeedBar1->FindItemByName("Datei1Open1");
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(open->Glyph()->Width(), 16);
  EXPECT_EQ(open->BtnCaption(), "");
  EXPECT_EQ(open->Hint().substr(0, std::string("Öffnen").size()), "Öffnen");
}

// Docked at a side the buttons run down the bar, docked at the top across it.
TEST_F(MainForm, SpeedBarButtonsFollowTheDockingEdge) {
  TSpeedBar* bar = Form->SpeedBar1;
  TSpeedbarButton* b = bar->FindItemByName("Datei1Open1")->Button();
  b->SetBounds(50, 10, 21, 21);
  bool apply = false;
  Form->SpeedBar1ApplyAlign(bar, alLeft, apply);
  EXPECT_TRUE(apply);
  EXPECT_EQ(b->Left(), 10);
  EXPECT_EQ(b->Top(), 50);
  int32_t right = 0;
  for (int32_t s = 0; s < bar->SectionCount(); ++s)
    for (int32_t i = 0; i < bar->ItemCountOf(s); ++i)
      right = std::max(right, bar->ItemAt(s, i)->Button()->Left() + bar->ItemAt(s, i)->Button()->Width());
  EXPECT_EQ(bar->Height(), right + 3);
  Form->SpeedBar1ApplyAlign(bar, alTop, apply);
  EXPECT_EQ(b->Left(), 50);
  EXPECT_EQ(b->Top(), 10);
  EXPECT_EQ(bar->Height(), 26);
}

TEST_F(MainForm, RecentFilesKeepTenNewestFirstWithoutDuplicates) {
  for (int i = 1; i <= 11; ++i) Form->historyadd("/pics/p" + std::to_string(i) + ".png");
  std::vector<std::string> r = Recent();
  ASSERT_EQ(r.size(), 10u);
  EXPECT_EQ(r.front(), "/pics/p11.png");
  EXPECT_EQ(r.back(), "/pics/p2.png");
  // Reopening moves the name to the top, whatever its case.
  Form->historyadd("/PICS/P5.png");
  r = Recent();
  ASSERT_EQ(r.size(), 10u);
  EXPECT_EQ(r.front(), "/PICS/P5.png");
  EXPECT_EQ(std::count_if(r.begin(), r.end(), [](const std::string& s) { return SameText(s, "/pics/p5.png"); }), 1);

  // They persist newest first and come back in that order.
  TCloseAction action = caFree;
  Form->FormClose(Form, action);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\Kavrelin\\3.6\\Historyfilename", false));
  EXPECT_EQ(reg.ReadString("0"), "/PICS/P5.png");
  reg.CloseKey();
  delete Form;
  Form = new Tform1(nullptr);
  Form->DoCreate();
  EXPECT_EQ(Recent(), r);
}

// A "&" or "..." of a name is lost to a menu caption: items match by the name they hold.
TEST_F(MainForm, RecentFilesMatchByTheNameTheyHold) {
  for (const char* name : {"/p/Tom&Jerry.png", "/p/wait...png", "/p/Tom&Jerry.png", "/p/wait...png"})
    Form->historyadd(name);
  EXPECT_EQ(Recent(), (std::vector<std::string>{"/p/wait...png", "/p/Tom&Jerry.png"}));
  EXPECT_EQ(Form->Erneutladen1->Items(1)->Caption(), "/p/Tom&&Jerry.png");
}

TEST_F(MainForm, ChoosingARecentFileOpensIt) {
  Form->historyadd("/pics/a.png");
  Form->historyadd("/pics/b.png");
  try {
    Form->Erneutladen1->Items(1)->Click();
  } catch (const Exception&) {
    // a failing open is reported by the interpreter
  }
  ASSERT_EQ(Form->OpenFiles().Count(), 1);
  EXPECT_EQ(Form->OpenFiles().Strings(0), "/pics/a.png");
}

// Menu items that run lines of their own are refused like the actions while a
// batch plays or a message pump runs, and a drop opens nothing then.
TEST_F(MainForm, MenuLinesAndDropsWaitForABatchOrPump) {
  Form->historyadd("/pics/a.png");
  TMenuItem* wallpaper = dynamic_cast<TMenuItem*>(Form->FindComponent("Kacheln1"));
  ASSERT_NE(wallpaper, nullptr);
  const std::function<void()> clicks[] = {
      [&] { Form->Erneutladen1->Items(0)->Click(); },
      [&] { Form->Kanletrennen1->Items(0)->Click(); },
      [&] { wallpaper->Click(); },
      [&] { ASSERT_TRUE(DropFilesOn(Form, {Dir + "a.png"})); },
  };
  Form->FormShow(Form);
  for (bool pump : {false, true}) {
    Form->BatchBusy = pump ? 0 : 1;
    Form->Pump = pump;
    for (const auto& click : clicks) {
      (*Dialogs)->Shown.clear();
      Form->OpenFiles().Clear();
      CancelFlag = false;
      click();
      ASSERT_EQ((*Dialogs)->Shown.size(), 1u);
      EXPECT_EQ((*Dialogs)->Shown[0].Text, "Es wird gerade eine Batch ausgeführt. Warten Sie bis diese zu Ende ist.");
      EXPECT_TRUE(CancelFlag);
      EXPECT_EQ(Form->OpenFiles().Count(), 0);
    }
  }
  Form->BatchBusy = 0;
  Form->Pump = false;
}

TEST_F(MainForm, QueueOpensEveryNameInOrderAndPlaysBatches) {
  Form->PendingFiles = " \"/my pics/a b.png\"   c.png job.ATP \"\" d.jpg ";
  // The batch is played, not opened: it leaves no name in the open list.
  EXPECT_EQ(Drain(), (std::vector<std::string>{"/my pics/a b.png", "c.png", "d.jpg"}));
  EXPECT_EQ(Trim(Form->PendingFiles), "");
}

// A batch from the queue whose line fails shows the line and then, as the
// menu path does, the reason in the program's language.
TEST_F(MainForm, QueuedBatchShowsWhyALineFailed) {
  test::WriteText(Dir + "job.atp", "RESIZE Width=10 Height=10 vwidth=0 vheight=0\r\n");
  Form->PendingFiles = "\"" + Dir + "job.atp\"";
  (*Dialogs)->Shown.clear();
  Drain();
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "Es ist kein Bildfenster aktiv");
  ASSERT_FALSE((*Dialogs)->Shown.empty());
  EXPECT_NE((*Dialogs)->Shown[0].Text.find("RESIZE"), std::string::npos);
}

TEST_F(MainForm, AnEmptyNameDoesNotHoldUpTheQueue) {
  Form->PendingFiles = "\"\" d.jpg";
  bool done = true;
  Form->doidle(Form, done);
  EXPECT_FALSE(done);  // the next idle turn must come without waiting for a message
  Form->OpenFiles().Clear();
  Form->doidle(Form, done);
  ASSERT_EQ(Form->OpenFiles().Count(), 1);
  EXPECT_EQ(Form->OpenFiles().Strings(0), "d.jpg");
  EXPECT_TRUE(done);
}

// Every argument of the start is opened once the window shows, in order, one
// per idle turn, and each lands in the recent files.
TEST_F(MainForm, StartArgumentsAreAllOpenedAfterShowing) {
  for (const char* name : {"first.bmp", "second pic.bmp"}) {
    timagerlayer pic(nullptr);
    pic.Bitmap().AllocateForOverwrite(6, 4, pf24bit);
    for (int32_t y = 0; y < 4; ++y) std::memset(pic.Bitmap().ScanLine(y), 0x30, 6 * 3);
    pic.SaveToFileByExtension(Dir + name);
  }
  const std::string a = Dir + "first.bmp", b = Dir + "second pic.bmp";
  const char* argv[] = {"kavrelin", a.c_str(), b.c_str()};
  SetCommandLine(3, argv);
  Form->SetStoredBool("NoWelcome", true);
  (*Dialogs)->OnUnexpected = nullptr;  // opening real files asks nothing
  Form->Show();
  const char* self[] = {"app_tests"};
  SetCommandLine(1, self);
  EXPECT_EQ(Drain(), (std::vector<std::string>{a, b}));
  Application->ProcessMessages();
  ASSERT_EQ(Form->MDIChildCount(), 2);
  EXPECT_EQ(Form->MDIChildren(0)->Caption(), b);  // the last one opened is in front
  EXPECT_EQ(Form->MDIChildren(1)->Caption(), a);
  EXPECT_EQ(Recent(), (std::vector<std::string>{b, a}));
}

TEST_F(MainForm, AnEmptyQueuedNameDoesNotHoldUpTheNext) {
  Form->PendingFiles = "\"\" c.png";
  bool done = true;
  Form->doidle(Form, done);
  EXPECT_FALSE(done);  // another idle turn follows at once for c.png
  EXPECT_EQ(Drain(), (std::vector<std::string>{"c.png"}));
}

TEST_F(MainForm, HandOverQueuesTheRestOfTheCommandLine) {
  struct TCase {
    const char* Line;
    std::vector<std::string> Opened;
  };
  const TCase cases[] = {
      {"\"/opt/my apps/kavrelin\" a.png \"/x y/b.png\" c.png", {"a.png", "/x y/b.png", "c.png"}},
      {"/usr/bin/kavrelin  one.png", {"one.png"}},
      {"/usr/bin/kavrelin", {}},
      {"", {}},
  };
  for (const TCase& c : cases) {
    Form->PendingFiles.clear();
    InstanceGuard().ReceivedCommandLine = c.Line;
    Form->anotherinstance();
    EXPECT_EQ(Drain(), c.Opened) << c.Line;
  }
  InstanceGuard().ReceivedCommandLine.clear();
}

TEST_F(MainForm, DroppedFilesAreOpenedOneByOne) {
  // Each dropped name gets an open list of its own.
  Form->FormShow(Form);
  Form->OpenFiles().Clear();
  ASSERT_TRUE(DropFilesOn(Form, {Dir + "a.png", Dir + "b c.png"}));
  ASSERT_EQ(Form->OpenFiles().Count(), 1);
  EXPECT_EQ(Form->OpenFiles().Strings(0), Dir + "b c.png");
}

TEST_F(MainForm, ShowingGreetsUnlessToldNotTo) {
  Form->SetStoredBool("NoWelcome", true);
  Form->FormShow(Form);
  EXPECT_EQ(Form->FindComponent("infoform"), nullptr);
  Form->SetStoredBool("NoWelcome", false);
  Form->FormShow(Form);
  auto* info = dynamic_cast<TForm*>(Form->FindComponent("infoform"));
  ASSERT_NE(info, nullptr);
  EXPECT_TRUE(info->Visible());
}

TEST_F(MainForm, BackgroundPictureTakesTheButtonFaceAsItsAverage) {
  timagerlayer src(nullptr);
  src.Bitmap().AllocateForOverwrite(8, 4, pf24bit);
  for (int32_t y = 0; y < 4; ++y) {
    auto* row = static_cast<uint8_t*>(src.Bitmap().ScanLine(y));
    for (int32_t i = 0; i < 8 * 3; ++i) row[i] = uint8_t(126 + (i + y) % 5);
  }
  src.SaveToFileByExtension(Dir + "bg.bmp");
  Form->SetStoredBool("NoWelcome", true);
  Form->SetStoredString("BackgroundImage", Dir + "bg.bmp");
  Form->FormShow(Form);
  TBitmap& pic = Form->Wallpaper1->Picture().Bitmap();
  ASSERT_EQ(pic.Width(), 8);
  ASSERT_EQ(pic.Height(), 4);
  int32_t r = 0, g = 0, b = 0;
  GetAverageRGB(pic, r, g, b);
  const TColorRef face = ColorToRGB(clBtnFace);
  EXPECT_NEAR(r, int32_t(face & 0xFF), 1);
  EXPECT_NEAR(g, int32_t((face >> 8) & 0xFF), 1);
  EXPECT_NEAR(b, int32_t((face >> 16) & 0xFF), 1);
  EXPECT_EQ(Form->imagerlayer1->Bitmap().Width(), 10);
  EXPECT_EQ(Form->SpeedBar1->Wallpaper().Width(), 8);
}

// A background file that is no picture leaves the frame plain; the start goes on.
TEST_F(MainForm, UnreadableBackgroundDoesNotStopTheStart) {
  Form->SetStoredBool("NoWelcome", true);
  for (const char* name : {"bg.jpg", "bg.xyz", "empty.png"}) {
    test::WriteText(Dir + name, std::string(name) == "empty.png" ? "" : "no picture at all");
    Form->SetStoredString("BackgroundImage", Dir + name);
    Application->OnIdle = nullptr;
    EXPECT_NO_THROW(Form->FormShow(Form)) << name;
    EXPECT_TRUE(Application->OnIdle) << name;
    EXPECT_TRUE(Form->Wallpaper1->Picture().Bitmap().Empty()) << name;
  }
}

TEST_F(MainForm, MailGoesToTheDesktopMailer) {
  const std::string log = Dir + "mail.log";
  Fake("xdg-email", "for a in \"$@\"; do echo \"[$a]\" >> '" + log + "'; done\n");
  TStringList attach;
  attach.Add("/tmp/a b.jpg");
  attach.Add("");
  attach.Add("/tmp/c.png");
  EXPECT_TRUE(Form->sendmail("max@example.org", "Grüße", "Zeile 1\r\nZeile 2", attach));
  EXPECT_EQ(test::ReadText(log),
            "[--utf8]\n[--subject]\n[Grüße]\n[--body]\n[Zeile 1\r\nZeile 2]\n[--attach]\n[/tmp/a b.jpg]\n"
            "[--attach]\n[/tmp/c.png]\n[max@example.org]\n");
  ::unlink(log.c_str());
  // No recipient, subject or text: only what is given goes out.
  EXPECT_TRUE(Form->sendmail("", "", "", TStringList()));
  EXPECT_EQ(test::ReadText(log), "[--utf8]\n");
  Fake("xdg-email", "exit 3\n");
  EXPECT_FALSE(Form->sendmail("a@b.c", "s", "t", TStringList()));
}

TEST_F(MainForm, RecommendationMailCarriesInfoTextAndPicture) {
  const std::string log = Dir + "mail.log";
  Fake("xdg-email", "for a in \"$@\"; do echo \"[$a]\" >> '" + log + "'; done\n");
  Form->Weiterempfehlung1Click(Form);
  EXPECT_EQ(test::ReadText(log), "");  // no Info.txt: nothing is sent
  test::WriteText(Dir + "Info.txt", "Zeile A\nZeile B\n");
  Form->Weiterempfehlung1Click(Form);
  const std::string sent = test::ReadText(log);
  EXPECT_NE(sent.find("[Kavrelin]"), std::string::npos);
  EXPECT_NE(sent.find("Zeile A\r\nZeile B\r\n\r\nLeiten Sie"), std::string::npos);
  EXPECT_EQ(sent.find("--attach"), std::string::npos);  // no picture beside the program
  EXPECT_EQ(sent.find("@"), std::string::npos);
  // A mailer that cannot start is said, not passed over in silence.
  Fake("xdg-email", "exit 3\n");
  (*Dialogs)->Shown.clear();
  Form->Weiterempfehlung1Click(Form);
  ASSERT_EQ((*Dialogs)->Shown.size(), 1u);
  EXPECT_EQ((*Dialogs)->Shown[0].Text, "Es konnte kein E-Mail-Programm gestartet werden");
}

// Every help item opens its file with the desktop, or says why it cannot;
// none points at a web address.
TEST_F(MainForm, HelpItemsOpenTheirFilesOrSayWhyNot) {
  const std::string log = Dir + "opened.log";
  Fake("xdg-open", "echo \"$1\" >> '" + log + "'\n");
  auto click = [&](const char* Name) {
    auto* item = dynamic_cast<TMenuItem*>(Form->FindComponent(Name));
    ASSERT_NE(item, nullptr) << Name;
    (*Dialogs)->Shown.clear();
    ::unlink(log.c_str());
    item->Click();
  };
  const char* items[] = {"Hilfethemen1", "Lizenz1", "WeitereProgramme1", "Tour1"};
  // Nothing beside the program: each item says which file is missing.
  for (const char* name : items) {
    click(name);
    EXPECT_FALSE(FileExists(log)) << name;
    ASSERT_EQ((*Dialogs)->Shown.size(), 1u) << name;
    EXPECT_NE((*Dialogs)->Shown[0].Text.find("fehlt im Programmordner"), std::string::npos) << name;
    EXPECT_NE((*Dialogs)->Shown[0].Text.find(Dir), std::string::npos) << name;
  }
  test::WriteText(Dir + "Kavrelin.hlp", "Hilfe");
  test::WriteText(Dir + "Lizenz.hlp", "Lizenz");
  ForceDirectories(Dir + "tour/tour");
  test::WriteText(Dir + "tour/tour/tour.html", "<p>Tour</p>");
  const std::string wanted[] = {Dir + "Kavrelin.hlp", Dir + "Lizenz.hlp", Dir + "Kavrelin.hlp",
                                Dir + "tour/tour/tour.html"};
  for (size_t i = 0; i < std::size(items); ++i) {
    click(items[i]);
    EXPECT_TRUE((*Dialogs)->Shown.empty()) << items[i];
    EXPECT_EQ(test::ReadText(log), wanted[i] + "\n") << items[i];
  }
  // A desktop without a program for the file is said, not passed over.
  Fake("xdg-open", "exit 3\n");
  click("Hilfethemen1");
  ASSERT_EQ((*Dialogs)->Shown.size(), 1u);
  EXPECT_NE((*Dialogs)->Shown[0].Text.find("konnte nicht geöffnet werden"), std::string::npos);
}

// The help and notices files the program ships are beside the built program.
TEST(ProgramFiles, HelpAndNoticesAreShipped) {
  for (const char* name : {"Kavrelin.hlp", "Lizenz.hlp"}) {
    const std::string text = test::ReadText(std::string(KV_PROGRAM_DIR) + name);
    EXPECT_FALSE(text.empty()) << name;
    EXPECT_EQ(text.find("http"), std::string::npos) << name;
  }
}

// Scanning without any scanner says so instead of ending like a cancel.
TEST_F(MainForm, ScanWithoutAScannerSaysSo) {
  test::UseSaneBackends("");
  TAction* scan = MainAction(*Form, "scanaction");
  ASSERT_NE(scan, nullptr);
  (*Dialogs)->Shown.clear();
  scan->Execute();
  ASSERT_EQ((*Dialogs)->Shown.size(), 1u);
  EXPECT_NE((*Dialogs)->Shown[0].Text.find("kein Scanner"), std::string::npos);
}

// The import dialogs offer plug-ins or Filter Factory files, not pictures, and
// leave the open dialog's own filter to the image dialogs after them.
TEST_F(MainForm, ImportsOfferTheirOwnFilesAndCopyThemBesideTheProgram) {
  ForceDirectories(Dir + "src");
  test::WriteText(Dir + "src/blur.8bf", "x");
  const std::string filter = Form->OpenDialog1->Filter();
  struct TCase {
    void (Tform1::*Click)(TObject*);
    const char* Pattern;
  };
  for (const TCase& c : {TCase{&Tform1::Importieren1Click, "*.8bf"}, TCase{&Tform1::Filterimportieren1Click, "*.ffl"}}) {
    std::string pattern;
    AnswerFileDialog([&](TFileDialogSession& S) {
      pattern = S.FilterPattern();
      S.PressCancel();
    });
    (Form->*c.Click)(Form);
    EXPECT_EQ(pattern.rfind(c.Pattern, 0), 0u) << pattern;
  }
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(Dir + "src/blur.8bf");
    S.SetFileNameText("blur.8bf");
    S.PressOK();
  });
  (*Dialogs)->Shown.clear();
  Form->Importieren1Click(Form);
  EXPECT_EQ(test::ReadText(Dir + "Plugins/blur.8bf"), "x");
  ASSERT_EQ((*Dialogs)->Shown.size(), 1u);
  EXPECT_NE((*Dialogs)->Shown[0].Text.find("erst bei einem Neustart von Kavrelin sichtbar"), std::string::npos);
  EXPECT_EQ(Form->OpenDialog1->Filter(), filter);
  EXPECT_TRUE(Form->OpenDialog1->AutoSetFilter());
}

TEST_F(MainForm, ProgressShowsThePercentAndPumpsMessages) {
  Form->ProgressBar1->SetPosition(0);
  EXPECT_FALSE(Form->onprogressany(Form, 42));
  EXPECT_EQ(Form->ProgressBar1->Position(), 42);
  EXPECT_FALSE(Form->AbortRequested);
  EXPECT_FALSE(Form->Pump);
  Form->PercentProc(7);
  EXPECT_EQ(Form->ProgressBar1->Position(), 7);
}

TEST_F(MainForm, CancelInASaveQuestionKeepsTheProgramOpen) {
  Form->SetStoredBool("NoWelcome", true);
  Form->Show();
  Form->interpreter(Form, "NEWIMAGE Width=20 Height=10");  // a new picture counts as modified
  Form->interpreter(Form, "NEWIMAGE Width=20 Height=10");
  Application->ProcessMessages();
  ASSERT_EQ(Form->MDIChildCount(), 2);
  (*Dialogs)->OnUnexpected = nullptr;  // from here every question must be one we answer
  (*Dialogs)->Answer(mrCancel);
  bool canClose = true;
  Form->FormCloseQuery(Form, canClose);
  Application->ProcessMessages();
  EXPECT_FALSE(canClose);
  EXPECT_EQ(Form->MDIChildCount(), 2);
  EXPECT_EQ((*Dialogs)->Shown.size(), 1u);  // the closing stopped at the first question
  // Not saving either lets the program end.
  (*Dialogs)->Answer(mrNo);
  (*Dialogs)->Answer(mrNo);
  Form->FormCloseQuery(Form, canClose);
  Application->ProcessMessages();
  EXPECT_TRUE(canClose);
  EXPECT_EQ(Form->MDIChildCount(), 0);
  // Other run modes never ask.
  Form->interpreter(Form, "NEWIMAGE Width=20 Height=10");
  RunMode = 2;
  Form->FormCloseQuery(Form, canClose);
  RunMode = 0;
  EXPECT_TRUE(canClose);
  EXPECT_EQ((*Dialogs)->Pending(), 0u);
  CancelFlag = false;
}

TEST_F(MainForm, WallpaperIsMadeFromACopy) {
  const std::string log = Dir + "gs.log";
  Fake("gsettings", "echo \"$*\" >> '" + log + "'\n");
  auto* child = new Tchild(Form);
  child->imager1 = new timagerlayer(child);
  child->imager1->Bitmap().AllocateForOverwrite(40, 20, pf24bit);
  for (int32_t y = 0; y < 20; ++y) std::memset(child->imager1->Bitmap().ScanLine(y), 0x50, 40 * 3);
  Form->OverrideChild = child;
  TFormFreeWatch watch(*child);
  const std::string file = Dir + "kavrelin.bmp";
  Form->ChangeWallPaper(file, 2);  // fit inside the screen
  // The document keeps its size and stays unmodified, so closing it asks nothing.
  ASSERT_FALSE(watch.Freed());  // closing frees the window once the current message is done
  EXPECT_EQ(child->imager1->Bitmap().Width(), 40);
  EXPECT_EQ(child->imager1->Bitmap().Height(), 20);
  EXPECT_FALSE(child->modified);
  Application->ProcessMessages();
  EXPECT_TRUE(watch.Freed() || !child->Visible());
  Form->OverrideChild = nullptr;
  EXPECT_EQ((*Dialogs)->Shown.size(), 0u);
  // The file holds the picture fitted to the screen.
  timagerlayer back(nullptr);
  back.LoadFromFileByExtension(file);
  int32_t w = 0, h = 0;
  ProportionalSize(40, 20, Screen->Width(), Screen->Height(), w, h);
  EXPECT_EQ(back.Bitmap().Width(), w);
  EXPECT_EQ(back.Bitmap().Height(), h);
  EXPECT_NE(test::ReadText(log).find("picture-uri"), std::string::npos);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// Renders the main window with two image windows to a PNG kept beside the
// test's files (main_window.png), for a person to look at; checks that the
// picture holds the windows' own colours.
TEST_F(MainForm, RendersWithTwoImageWindows) {
  Form->SetStoredBool("NoWelcome", true);
  Form->SetBounds(0, 0, 900, 640);
  Form->Show();
  Form->interpreter(Form, "NEWIMAGE Width=320 Height=220 FillColor=16711680");  // blue
  Form->interpreter(Form, "STARTDRAWING DrawingTool=9 Foreground=255 Background=65535 FillStyle=0 MouseX=20 MouseY=20");
  Form->interpreter(Form, "DRAWFINISH OriginX=20 OriginY=20 MouseX=300 MouseY=200");
  Form->interpreter(Form, "NEWIMAGE Width=260 Height=180 FillColor=65280");  // green
  Form->interpreter(Form, "EFFECT Name=Gamma Param1=0.5");
  Application->ProcessMessages();
  ASSERT_EQ(Form->MDIChildCount(), 2);
  Form->Tile();
  Application->ProcessMessages();
  TBitmap shot;
  ASSERT_TRUE(RenderWindow(Form->Handle(), shot));
  EXPECT_EQ(shot.Width(), Form->Width());
  bool blue = false, green = false;
  for (int32_t y = 0; y < shot.Height(); y += 2)
    for (int32_t x = 0; x < shot.Width(); x += 2) {
      const TColor c = shot.GetPixelColor(x, y);
      blue = blue || c == TColor(0xFF0000);
      green = green || (GetRValue(c) == 0 && GetGValue(c) > 100 && GetBValue(c) == 0);
    }
  EXPECT_TRUE(blue);
  EXPECT_TRUE(green);
  const char* tmp = std::getenv("KV_TEST_TMP");
  const std::string file = std::string(tmp ? tmp : Dir.c_str()) + "/main_window.png";
  TFileStream out(file, fmCreate);
  TIOParamsVals params(nullptr);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  WritePngStream(out, shot, params, progress);
  EXPECT_FALSE(aborted);
}

}  // namespace
}  // namespace kv

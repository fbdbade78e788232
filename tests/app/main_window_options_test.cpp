// The main window's window list, the options it applies when it is shown
// (stored menu shortcuts, the label shadow, the kernels' thread count), the
// drawing-options window it restores, and the settings a fresh user starts with.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#include "app/child/child_window.h"
#include "app/child/drawing_options.h"
#include "app/helpers/registry_helpers.h"
#include "app/main/info_form.h"
#include "app/main/main_form.h"
#include "app/main/menu_shortcuts.h"
#include "app/settings/form_storage1.h"
#include "components/controls/kv_label.h"
#include "components/speedbar/speed_bar.h"
#include "imaging/model/parallel_rows.h"
#include "main_window_fixture.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/paths.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/menus.h"

namespace kv {
namespace {

class MainWindowOptions : public test::TMainWindowTest {
 protected:
  void SetUp() override {
    TMainWindowTest::SetUp();
    OldDir = GetCurrentDir();  // showing the window enters the program folder
    SetProgramFolder(Dir);
    SetUserDataFolder(Dir);
    Dialogs.emplace();
    (*Dialogs)->OnUnexpected = [](const std::string&) {};
    RunMode = 0;
  }
  void TearDown() override {
    Form.reset();
    Drawing.reset();
    Pump();
    Dialogs.reset();
    SetProgramFolder("");
    SetUserDataFolder("");
    SetLabelShadowSize(1);
    SetKernelThreadsSetting(0);
    SetCurrentDir(OldDir);
    TMainWindowTest::TearDown();
  }
  // Creates and shows the main window as the program does.
  Tform1& Start() {
    Form = std::make_unique<Tform1>(nullptr);
    Form->DoCreate();
    Form->SetBounds(0, 0, 900, 700);
    Form->SetStoredBool("NoWelcome", true);
    Form->Show();
    Pump();
    return *Form;
  }
  TMenuItem* Item(const char* Name) const { return dynamic_cast<TMenuItem*>(Form->FindComponent(Name)); }
  std::vector<std::string> WindowList() const {
    std::vector<std::string> out;
    for (const TMenuBarEntry& e : Form->MainMenu1->WindowListEntries())
      out.push_back(e.Separator ? "-" : (e.Checked ? "*" : "") + e.Text);
    return out;
  }

  std::string OldDir;
  std::optional<TScriptedDialogsScope> Dialogs;
  std::unique_ptr<TdrawingoptionsForm> Drawing;
};

TEST_F(MainWindowOptions, WindowMenuListsTheImageWindows) {
  Tform1& f = Start();
  EXPECT_EQ(f.WindowMenu(), f.Fenster1);
  std::vector<Tchild*> w;
  for (const char* name : {"a.png", "b.png", "c.png"}) {
    w.push_back(f.newwindow());
    w.back()->SetCaption(name);
  }
  Pump();
  EXPECT_EQ(WindowList(), (std::vector<std::string>{"-", "&1 a.png", "&2 b.png", "*&3 c.png"}));

  w[1]->Close();
  Pump();
  ASSERT_EQ(f.MDIChildCount(), 2);
  EXPECT_EQ(WindowList(), (std::vector<std::string>{"-", "&1 a.png", "*&2 c.png"}));

  ASSERT_TRUE(f.MainMenu1->TriggerWindowListEntry(0));
  EXPECT_EQ(f.getchild(), w[0]);
  EXPECT_EQ(WindowList(), (std::vector<std::string>{"-", "*&1 a.png", "&2 c.png"}));
}

TEST_F(MainWindowOptions, StoredShortcutsAreGivenToTheItemsOfTheirKey) {
  TStringList stored;
  stored.Add(" | Datei | Öffnen | Strg+O");
  stored.Add(" | DATEI | speichern | Umsch+Strg+S");  // keys compare without case
  stored.Add(" | Bearbeiten | Rückgängig | ");
  stored.Add(" | Gibt es nicht | Strg+Q");
  WriteRegistryList(stored, ShortcutsKey);
  Tform1& f = Start();
  EXPECT_EQ(Item("Open1")->ShortCut(), TShortCut(scCtrl | 'O'));
  EXPECT_EQ(Item("Save1")->ShortCut(), TShortCut(scShift | scCtrl | 'S'));
  EXPECT_EQ(Item("Undocmd1")->ShortCut(), TShortCut(0));
  TMenuBarEntry e;
  ASSERT_TRUE(f.MainMenu1->MenuBarEntry(Item("Open1"), e));
  EXPECT_EQ(e.ShortCut, "Ctrl+O");

  // The lines of all items: captions without "&" and "...", no separators, submenus walked.
  TStringList lines;
  MenuShortcutLines(*f.MainMenu1->Items(), lines);
  for (const char* line : {" | Datei | Öffnen | Strg+O", " | Datei | Speichern | Umsch+Strg+S",
                           " | Datei | Neu | Grafik  | ", " | Bearbeiten | Kommentar | Tonkommentar aufnehmen | "})
    EXPECT_GE(lines.IndexOf(line), 0) << line;
  for (int32_t i = 0; i < lines.Count(); ++i) {
    EXPECT_EQ(lines.Strings(i).find(" | - | "), std::string::npos) << lines.Strings(i);
    EXPECT_EQ(lines.Strings(i).find(" | Neu | Strg"), std::string::npos);  // a submenu has no line of its own
  }
}

// Items whose key is in no line lose their shortcut; a key listed twice gives the first.
TEST_F(MainWindowOptions, ApplyingLinesClearsTheUnlisted) {
  TMenuItem root(nullptr);
  auto* file = new TMenuItem(nullptr);
  file->SetCaption("&Datei");
  root.Add(file);
  auto* open = new TMenuItem(nullptr);
  open->SetCaption("Ö&ffnen...");
  open->SetShortCut(VK_F3);
  file->Add(open);
  auto* quit = new TMenuItem(nullptr);
  quit->SetCaption("Beenden");
  quit->SetShortCut(VK_F4);
  file->Add(quit);
  TStringList lines;
  lines.Add("| datei | öffnen | F5");
  lines.Add(" | Datei | Öffnen | F6");
  ApplyShortcutLines(root, lines);
  EXPECT_EQ(open->ShortCut(), VK_F5);
  EXPECT_EQ(quit->ShortCut(), TShortCut(0));
  // Without the stored key nothing is touched.
  EXPECT_FALSE(ApplyStoredShortcuts(root));
  EXPECT_EQ(open->ShortCut(), VK_F5);
}

TEST_F(MainWindowOptions, LabelShadowFollowsTheStoredOption) {
  TmyKvLabel early(nullptr);
  Start();
  EXPECT_EQ(LabelShadowSize(), 1);
  Form->SetStoredBool("textshadow", false);
  Form.reset();  // keeps the option
  Start();
  EXPECT_EQ(LabelShadowSize(), 0);
  EXPECT_EQ(early.ShadowSize(), 0);
  TmyKvLabel late(nullptr);
  EXPECT_EQ(late.ShadowSize(), 0);
  // The welcome window's text is such a label.
  Form->Willkommen1Click(Form.get());
  auto* welcome = dynamic_cast<Tinfoform*>(Form->FindComponent("infoform"));
  ASSERT_NE(welcome, nullptr);
  EXPECT_EQ(welcome->Label1->ShadowSize(), 0);
}

// The stored thread count reaches the image kernels; 0 (every core) is the default.
TEST_F(MainWindowOptions, KernelThreadsFollowTheStoredOption) {
  SetKernelThreadsSetting(5);
  Start();
  EXPECT_EQ(Form->StoredInt("KernelThreads"), 0);
  EXPECT_EQ(KernelThreadsSetting(), 0);
  Form->SetStoredInt("KernelThreads", 1);
  Form.reset();  // keeps the option
  Start();
  EXPECT_EQ(KernelThreadsSetting(), 1);
  EXPECT_EQ(KernelThreads(), 1);
}

TEST_F(MainWindowOptions, DrawingOptionsAreRestoredWhenTheMainWindowShows) {
  {
    TdrawingoptionsForm first(nullptr);
    first.Formstorage1->RestoreFormPlacement();
    EXPECT_DOUBLE_EQ(first.Options().LineWidth, 1);  // nothing stored yet
    first.SetBounds(40, 50, 220, 300);
    first.SetLineWidth(7.5);
    first.SetTolerance(33);
    first.SetIntensity(80);
    first.Options().TextFont.SetName("DejaVu Sans");
    first.Options().TextLines.Clear();
    first.Options().TextLines.Add("erste, Zeile");
    first.Options().TextLines.Add("zweite \"x\"");
    first.Formstorage1->SaveFormPlacement();
  }
  Drawing = std::make_unique<TdrawingoptionsForm>(nullptr);
  TdrawingoptionsForm& d = *Drawing;
  EXPECT_DOUBLE_EQ(d.Options().LineWidth, 1);
  Start();
  EXPECT_DOUBLE_EQ(d.Options().LineWidth, 7.5);
  EXPECT_DOUBLE_EQ(d.Options().Tolerance, 33);
  EXPECT_DOUBLE_EQ(d.Options().Intensity, 80);
  EXPECT_EQ(d.Options().TextFont.Name(), "DejaVu Sans");
  ASSERT_EQ(d.Options().TextLines.Count(), 2);
  EXPECT_EQ(d.Options().TextLines.Strings(0), "erste, Zeile");
  EXPECT_EQ(d.Options().TextLines.Strings(1), "zweite \"x\"");
  EXPECT_EQ(d.Left(), 40);
  EXPECT_EQ(d.Top(), 50);

  // Hidden by the menu and shown again, the window keeps what was set meanwhile.
  d.Show();
  d.SetLineWidth(12);
  d.Hide();
  d.Show();
  EXPECT_DOUBLE_EQ(d.Options().LineWidth, 12);
}

std::set<std::string> ShownButtons(TSpeedBar& Bar) {
  std::set<std::string> names;
  for (int32_t s = 0; s < Bar.SectionCount(); ++s)
    for (int32_t i = 0; i < Bar.ItemCountOf(s); ++i)
      if (Bar.ItemAt(s, i)->Visible()) names.insert(Bar.ItemAt(s, i)->Name());
  return names;
}

#ifdef KV_PROGRAM_DIR
// Neither bar shows anything on its own; the settings shipped beside the
// program show the common buttons and the drawing tools, none on top of
// another, and give the usual keys.
TEST_F(MainWindowOptions, FreshUserStartsWithTheShippedSettings) {
  Start();
  EXPECT_TRUE(ShownButtons(*Form->SpeedBar1).empty());
  EXPECT_TRUE(ShownButtons(*Form->imagespeedbar).empty());
  Form.reset();
  SetRegistryFolder(Dir + "fresh");

  // The build puts it into the program folder.
  const std::string shipped = std::string(KV_PROGRAM_DIR) + "kavrelin.reg";
  ASSERT_TRUE(FileExists(shipped));
  ASSERT_FALSE(RegistryKeyExists("\\Software\\Kavrelin\\3.6\\"));
  ImportRegFile(shipped);
  EXPECT_TRUE(RegistryKeyExists("\\Software\\Kavrelin\\3.6\\"));  // the next start imports nothing
  Tform1& f = Start();
  EXPECT_EQ(ShownButtons(*f.SpeedBar1),
            (std::set<std::string>{"Datei1Open1", "Datei1Save1", "Datei1Print1", "Bearbeiten1Undocmd1",
                                   "Bearbeiten1RedoCmd1", "Bearbeiten1Cutaction1", "Bearbeiten1Copyaction1",
                                   "Bearbeiten1PasteAction1", "Bearbeiten1Zoomaction1",
                                   "Fenster1AufBildgreanpassen1"}));
  std::set<std::string> tools;
  for (int32_t i = 0; i < f.Mauszeiger1->Count(); ++i) tools.insert("Bearbeiten1" + f.Mauszeiger1->Items(i)->Name());
  EXPECT_EQ(tools.size(), 16u);
  EXPECT_EQ(ShownButtons(*f.imagespeedbar), tools);
  for (TSpeedBar* bar : {f.SpeedBar1, f.imagespeedbar}) {
    std::vector<TRect> boxes;
    for (int32_t s = 0; s < bar->SectionCount(); ++s)
      for (int32_t i = 0; i < bar->ItemCountOf(s); ++i)
        if (TSpeedItem* it = bar->ItemAt(s, i); it->Visible()) boxes.push_back(it->Button()->BoundsRect());
    for (size_t a = 0; a < boxes.size(); ++a)
      for (size_t b = a + 1; b < boxes.size(); ++b) {
        const bool apart = boxes[a].Right <= boxes[b].Left || boxes[b].Right <= boxes[a].Left ||
                           boxes[a].Bottom <= boxes[b].Top || boxes[b].Bottom <= boxes[a].Top;
        EXPECT_TRUE(apart) << bar->Name() << ' ' << a << ' ' << b;
      }
  }
  // The usual keys, and the options with their defaults.
  EXPECT_EQ(Item("NewGrafik1")->ShortCut(), TShortCut(scCtrl | 'N'));
  EXPECT_EQ(Item("Open1")->ShortCut(), TShortCut(scCtrl | 'O'));
  EXPECT_EQ(Item("PasteAction1")->ShortCut(), TShortCut(scCtrl | 'V'));
  EXPECT_TRUE(f.StoredBool("textshadow"));
  EXPECT_EQ(f.StoredInt("maxundo"), 1);
  EXPECT_EQ(f.StoredString("CatalogInfo"), "Info=265");
}
#endif

}  // namespace
}  // namespace kv

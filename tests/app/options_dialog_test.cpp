// "Optionen" as the main window opens it: every control set, OK, and a new
// main window reading the settings, the shortcuts and the associations back
// from the temporary home. The desktop's MIME tools are fakes first on PATH
// that keep the defaults in a file, as xdg-mime keeps them in mimeapps.list.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>

#include "app/actions/main_actions.h"
#include "app/dialogs/options_dialog.h"
#include "app/helpers/file_associations.h"
#include "app/helpers/folder_helpers.h"
#include "app/helpers/registry_helpers.h"
#include "app/main/menu_shortcuts.h"
#include "app/params/file_kinds.h"
#include "app/params/grafik_format.h"
#include "app/params/param_strings.h"
#include "app/startup/startup.h"
#include "components/controls/file_dir_edit.h"
#include "components/controls/kv_spin.h"
#include "imaging/model/words.h"
#include "interpreter_fixture.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/registry.h"
#include "platform/ui/actions.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/input_synth.h"
#include "platform/ui/list_box.h"
#include "platform/ui/memo.h"
#include "platform/ui/menus.h"
#include "platform/ui/page_control.h"
#include "support/outside_tools.h"

namespace kv::test {
namespace {

class OptionsDialog : public InterpreterTest {
 protected:
  void SetUp() override {
    for (const char* v : {"PATH", "XDG_DATA_HOME"}) {
      const char* old = std::getenv(v);
      Saved.emplace_back(v, old ? std::optional<std::string>(old) : std::nullopt);
    }
    InterpreterTest::SetUp();
    ForceDirectories(Dir + "bin");
    setenv("PATH", (Dir + "bin:" + std::string(Saved[0].second.value_or("/usr/bin:/bin"))).c_str(), 1);
    setenv("XDG_DATA_HOME", (Dir + "data").c_str(), 1);
    Fake("xdg-mime",
         "case \"$1\" in\n"
         "  query) grep \"^$3=\" '" + Dir + "defaults' 2>/dev/null | tail -1 | cut -d= -f2 ;;\n"
         "  default) echo \"$3=$2\" >> '" + Dir + "defaults' ;;\n"
         "esac\n");
    Fake("update-mime-database", "true\n");
    // Another program owns PNG files before.
    WriteText(Dir + "defaults", "image/png=other-viewer.desktop\n");
  }
  void TearDown() override {
    InterpreterTest::TearDown();
    for (const auto& [name, value] : Saved)
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
  }
  void Fake(const std::string& Name, const std::string& Body) {
    const std::string file = Dir + "bin/" + Name;
    WriteText(file, "#!/bin/sh\n" + Body);
    ::chmod(file.c_str(), 0755);
  }
  // Opens the dialog as the menu does ("Extras" > "Allgemein...", the line "Options").
  // Nested answers a dialog the script opens from the options.
  void RunOptions(std::function<void(Toptionform&)> Script, TScriptedDialogs::TModalScript Nested = nullptr,
                  const std::vector<TModalResult>& Messages = {}) {
    (*Dialogs)->AnswerModal([Script](TCustomForm& F) {
      auto* d = dynamic_cast<Toptionform*>(&F);
      EXPECT_NE(d, nullptr);
      if (d) Script(*d);
      return mrNone;
    });
    if (Nested) (*Dialogs)->AnswerModal(Nested);
    for (TModalResult m : Messages) (*Dialogs)->Answer(m);
    MainAction(*Form, "generaloptions")->Execute();
    Pump();
  }
  TMenuItem* Item(const char* Name) const { return dynamic_cast<TMenuItem*>(Form->FindComponent(Name)); }
  static int32_t LineOf(Toptionform& D, const std::string& Key) {
    TStrings& items = D.ShortcutList->Items();
    for (int32_t i = 0; i < items.Count(); ++i)
      if (ShortcutLineKey(items.Strings(i)) == Key) return i;
    return -1;
  }
  static void CheckKind(Toptionform& D, tFileFormat Kind, bool On) {
    D.FileKinds->CheckList().SetChecked(FileKindListIndex(Kind), On);
  }
  static bool KindChecked(Toptionform& D, tFileFormat Kind) {
    return D.FileKinds->CheckList().Checked(FileKindListIndex(Kind));
  }
  std::string LanguageValue() {
    TRegistry r;
    if (!r.OpenKeyReadOnly(LanguageChoiceKey) || !r.ValueExists(LanguageChoiceValueName())) return "<none>";
    return r.ReadString(LanguageChoiceValueName());
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
};

TEST_F(OptionsDialog, OkWritesEverythingAndANewMainWindowReadsItBack) {
  const std::string saveKeys = ShortCutToText(ShortCut('S', TShiftState{ssCtrl}));
  RunOptions([&](Toptionform& d) {
    EXPECT_EQ(d.Caption(), "Optionen");
    d.BackgroundEdit->SetText(Dir + "wand.png");
    d.BackgroundAdjustBox->SetChecked(false);
    d.LanguageBox->Select(d.LanguageBox->IndexOf("FR"));
    d.TextShadowBox->SetChecked(false);
    d.RulerBox->Select(2);
    d.ResolutionBox->Select(1);
    d.AutoZoomBox->SetChecked(false);
    d.AutoFitBox->SetChecked(false);
    d.UndoEdit->SetValue(5);
    d.UndoModeBox->Select(0);
    CheckKind(d, tFileFormat::png, true);
    d.GridSizeEdit->SetValue(20);
    d.CatalogWidthEdit->SetValue(120);
    d.CatalogHeightEdit->SetValue(90);
    d.FontButton->Click();
    d.InfoFields->SetImageInfoset(tImageInfoset{tImageInfo::filename, tImageInfo::filesize});
    d.HistoryEdit->SetValue(30);
    d.DiskCacheBox->SetChecked(false);
    EXPECT_FALSE(d.DiskCacheEdit->Enabled());
    d.MemCacheEdit->SetValue(64);
    // "Öffnen" takes the keys of "Speichern", which loses them.
    const int32_t save = LineOf(d, "| Datei | Speichern |");
    const int32_t open = LineOf(d, "| Datei | Öffnen |");
    ASSERT_GE(save, 0);
    ASSERT_GE(open, 0);
    d.ShortcutList->SetItemIndex(save);
    d.ShortcutListClick(nullptr);
    d.HotKeyEdit->SetText(saveKeys);
    d.SetButton->Click();
    EXPECT_EQ(ShortcutLineText(d.ShortcutList->Items().Strings(save)), saveKeys);
    d.ShortcutList->SetItemIndex(open);
    d.ShortcutListClick(nullptr);
    d.HotKeyEdit->SetText(saveKeys);
    d.SetButton->Click();
    EXPECT_EQ(ShortcutLineText(d.ShortcutList->Items().Strings(save)), "");
    TStringList folders;
    folders.Add(Dir + "plug eins");
    folders.Add(Dir + "plug2");
    d.PluginFolders->SetLines(folders);
    d.Button1->Click();
  },
             // the font dialog of "&Schriftoptionen ..."
             [](TCustomForm& F) {
               auto* f = dynamic_cast<TFontOptionsForm*>(&F);
               EXPECT_NE(f, nullptr);
               if (!f) return mrCancel;
               f->SizeEdit->SetValue(14);
               f->BoldBox->SetChecked(true);
               return mrOk;
             });
  // At once: the menu, the registry and the desktop.
  EXPECT_EQ(ShortCutToText(Item("Open1")->ShortCut()), saveKeys);
  EXPECT_EQ(Item("Save1")->ShortCut(), TShortCut(0));
  EXPECT_EQ(LanguageValue(), "FR");
  TStringList plugins;
  ReadRegistryList(plugins, AddPlugKey);
  ASSERT_EQ(plugins.Count(), 2);
  EXPECT_EQ(plugins.Strings(0), Dir + "plug eins");
  EXPECT_TRUE(IsExtensionAssociated("png", "pngGrafik"));

  // A new main window reads it all back.
  Form.reset();
  Pump();
  ShowMainWindow(900, 700);
  const struct {
    const char* Name;
    std::string Value;
  } stored[] = {{"BackgroundImage", Dir + "wand.png"}, {"Backgroundadjust", "False"}, {"textshadow", "False"},
                {"Rulertyp", "2"}, {"Resolutiontyp", "1"}, {"AutoZoomFenster", "False"},
                {"AutoFensterAnpassen", "False"}, {"maxundo", "5"}, {"undomode", "0"}, {"CatalogGridsize", "20"},
                {"CatalogWidth", "120"}, {"CatalogHeight", "90"}, {"maxHistory", "30"}, {"CacheDisk", "0"},
                {"CacheMem", "64"},
                {"CatalogInfo", WriteParamImageInfoset("Info", tImageInfoset{tImageInfo::filename,
                                                                            tImageInfo::filesize}).substr(1)}};
  for (const auto& s : stored) {
    const std::string v = Form->StoredString(s.Name);
    EXPECT_TRUE(v == s.Value || (s.Value == "False" && !Form->StoredBool(s.Name))) << s.Name << ": " << v;
  }
  TFont font;
  ReadParamFont(Form->StoredString("Catalogfontoptions"), font);
  EXPECT_EQ(font.Size(), 14);
  EXPECT_TRUE(font.Style().Contains(fsBold));
  EXPECT_EQ(ShortCutToText(Item("Open1")->ShortCut()), saveKeys);
  EXPECT_EQ(Item("Save1")->ShortCut(), TShortCut(0));

  // ... and shows it again; Cancel then changes nothing.
  RunOptions([&](Toptionform& d) {
    EXPECT_TRUE(KindChecked(d, tFileFormat::png));
    EXPECT_FALSE(KindChecked(d, tFileFormat::jpg));
    EXPECT_EQ(d.LanguageBox->Item(d.LanguageBox->ItemIndex()), "FR");
    EXPECT_FALSE(d.DiskCacheBox->Checked());
    EXPECT_FALSE(d.DiskCacheEdit->Enabled());
    EXPECT_TRUE(d.MemCacheBox->Checked());
    EXPECT_EQ(d.RulerBox->ItemIndex(), 2);
    EXPECT_EQ(d.CatalogFont().Size(), 14);
    CheckKind(d, tFileFormat::png, false);
    d.LanguageBox->Select(0);
    d.UndoEdit->SetValue(9);
    d.Button2->Click();
  });
  EXPECT_EQ(Form->StoredInt("maxundo"), 5);
  EXPECT_EQ(LanguageValue(), "FR");
  EXPECT_TRUE(IsExtensionAssociated("png", "pngGrafik"));

  // Unchecking gives PNG back to its owner before; "Standard" clears the language.
  RunOptions([&](Toptionform& d) {
    CheckKind(d, tFileFormat::png, false);
    d.LanguageBox->Select(0);
    d.Button1->Click();
  });
  EXPECT_FALSE(IsExtensionAssociated("png", "pngGrafik"));
  EXPECT_EQ(RunCapture("grep '^image/png=' '" + Dir + "defaults' | tail -1"), "image/png=other-viewer.desktop\n");
  EXPECT_EQ(LanguageValue(), "");
}

// The language takes effect at the next start, as its label says: the start
// makes the stored choice the word table's language for the texts that name
// none, and "Standard" or a module without a row of its own leaves the locale.
TEST_F(OptionsDialog, TheLanguageChoiceSelectsTheWordTableAtTheNextStart) {
  const std::string program = ProgramFolder();
  SetProgramFolder(Dir + "prog/");
  ForceDirectories(Dir + "prog");
  WriteText(Dir + "prog/kavrelin.XX", "");  // a module the word table has no row for
  IMSetSystemLanguageForTesting("de_DE.UTF-8");
  const struct {
    const char* Choice;
    const char* Cancel;  // word 4 of the table
  } cases[] = {{"FR", "Annuler"}, {"SV", "Avbryt"}, {"XX", "Abbrechen"}, {"Standard", "Abbrechen"}};
  for (const auto& c : cases) {
    const std::string before = IMGetMsg(4, msSystem);
    RunOptions([&](Toptionform& d) {
      const int32_t at = d.LanguageBox->IndexOf(c.Choice);
      ASSERT_GE(at, 0) << c.Choice;
      d.LanguageBox->Select(at);
      d.Button1->Click();
    });
    EXPECT_EQ(IMGetMsg(4, msSystem), before) << c.Choice << ": changed before the restart";
    ApplyLanguageChoice();  // as the program does when it starts
    EXPECT_EQ(IMGetMsg(4, msSystem), c.Cancel) << c.Choice;
  }
  IMSetSystemLanguageForTesting(std::nullopt);
  IMSetProgramLanguage(msSystem);
  SetProgramFolder(program);
}

// Kinds whose extensions share one file type (jpg, jpeg, jpe are all
// image/jpeg) count as associated, and unchecking gives the type back to the
// owner before, not to one of the program's own other extensions.
TEST_F(OptionsDialog, KindsWithSeveralExtensionsGoAndComeBackWhole) {
  WriteText(Dir + "defaults", "image/jpeg=other-viewer.desktop\n");
  RunOptions([](Toptionform& d) {
    EXPECT_FALSE(KindChecked(d, tFileFormat::jpg));
    CheckKind(d, tFileFormat::jpg, true);
    d.Button1->Click();
  });
  EXPECT_TRUE(FileKindAssociated(tFileFormat::jpg));
  RunOptions([](Toptionform& d) {
    EXPECT_TRUE(KindChecked(d, tFileFormat::jpg));
    CheckKind(d, tFileFormat::jpg, false);
    d.Button1->Click();
  });
  EXPECT_FALSE(FileKindAssociated(tFileFormat::jpg));
  EXPECT_EQ(RunCapture("grep '^image/jpeg=' '" + Dir + "defaults' | tail -1"), "image/jpeg=other-viewer.desktop\n");
}

TEST_F(OptionsDialog, ShortcutLinesSetAndDelete) {
  const std::string keys = ShortCutToText(ShortCut('P', TShiftState{ssCtrl, ssShift}));
  RunOptions([&](Toptionform& d) {
    TStrings& items = d.ShortcutList->Items();
    ASSERT_GT(items.Count(), 10);
    EXPECT_EQ(d.ShortcutList->ItemIndex(), 0);  // the first line is selected
    EXPECT_EQ(items.Strings(0).substr(0, 3), " | ");
    const int32_t paste = LineOf(d, "| Bearbeiten | Einfügen |");
    ASSERT_GE(paste, 0);
    d.ShortcutList->SetItemIndex(paste);
    d.ShortcutListClick(nullptr);
    // The key field takes a key press as the shortcut, not as typing.
    d.PageControl1->SetActivePageIndex(5);
    Pump();
    SynthKey(d.HotKeyEdit, 'P', TShiftState{ssCtrl, ssShift});
    EXPECT_EQ(d.HotKeyEdit->Text(), keys);
    SynthKey(d.HotKeyEdit, VK_SHIFT, TShiftState{ssShift});  // a modifier alone changes nothing
    EXPECT_EQ(d.HotKeyEdit->Text(), keys);
    d.SetButton->Click();
    EXPECT_EQ(ShortcutLineText(items.Strings(paste)), keys);
    // Selecting another line and coming back shows its keys; "Löschen" takes them away.
    d.ShortcutList->SetItemIndex(0);
    d.ShortcutListClick(nullptr);
    d.ShortcutList->SetItemIndex(paste);
    d.ShortcutListClick(nullptr);
    EXPECT_EQ(d.HotKeyEdit->Text(), keys);
    d.DeleteButton->Click();
    EXPECT_EQ(ShortcutLineText(items.Strings(paste)), "");
    d.HotKeyEdit->SetText(keys);
    d.SetButton->Click();
    d.Button1->Click();
  });
  EXPECT_EQ(Item("PasteAction1")->ShortCut(), ShortCut('P', TShiftState{ssCtrl, ssShift}));
}

// "löschen" on the disk cache asks first and deletes only on Yes.
TEST_F(OptionsDialog, CacheButtonsAskAndClear) {
  const std::string program = ProgramFolder();
  SetProgramFolder(Dir + "prog/");
  const std::string folder = CacheFolder();
  const std::string cached = folder + "bild.jpg.cache";
  ForceDirectories(folder);
  WriteText(cached, "x");
  RunOptions([&](Toptionform& d) {
    d.DiskClearButton->Click();
    EXPECT_TRUE(FileExists(cached));
    d.DiskClearButton->Click();
    EXPECT_FALSE(FileExists(cached));
    d.MemClearButton->Click();
    d.Button2->Click();
  },
             nullptr, {mrNo, mrYes, mrOk, mrOk});
  SetProgramFolder(program);
  std::vector<std::string> texts;
  for (const TDialogRequest& r : Shown())
    if (r.Kind == dkMessageDlg) texts.push_back(r.Text);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0], "Diese Funktion löscht alle Cache-Dateien (Datei-Endung: .cache) aus dem Verzeichnis:\r" +
                          folder + "\r\rMöchten Sie fortfahren?");
  EXPECT_EQ(texts[2], "Disk-Cache ist gelöscht.");
  EXPECT_EQ(texts[3], "Memory-Cache ist gelöscht");
}

// The stored lines are looked up by key whatever their place: the line that
// sorts first (place 0) is found like any other.
TEST_F(OptionsDialog, StoredShortcutAtTheFirstPlaceIsFound) {
  TStringList lines;
  MenuShortcutLines(*Form->MainMenu1->Items(), lines);
  lines.Sort();
  const std::string first = lines.Strings(0);
  const std::string keys = ShortCutToText(ShortCut(VK_F12, TShiftState{ssCtrl, ssShift}));
  lines.Put(0, first.substr(0, first.rfind('|') + 1) + " " + keys);
  WriteRegistryList(lines, ShortcutsKey);
  Form.reset();
  Pump();
  ShowMainWindow(900, 700);
  TStringList now;
  MenuShortcutLines(*Form->MainMenu1->Items(), now);
  bool found = false;
  for (int32_t i = 0; i < now.Count(); ++i)
    if (ShortcutLineKey(now.Strings(i)) == ShortcutLineKey(first)) {
      EXPECT_EQ(ShortcutLineText(now.Strings(i)), keys);
      found = true;
    }
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace kv::test

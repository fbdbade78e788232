#include "app/dialogs/options_dialog.h"

#include <algorithm>
#include <filesystem>

#include "app/catalog/thumbnail_cache.h"
#include "app/dialogs/size_frames.h"
#include "app/helpers/file_associations.h"
#include "app/helpers/folder_helpers.h"
#include "app/helpers/registry_helpers.h"
#include "app/helpers/text_helpers.h"
#include "app/main/main_form.h"
#include "app/main/menu_shortcuts.h"
#include "app/params/file_kinds.h"
#include "app/params/grafik_format.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "app/startup/startup.h"
#include "components/controls/color_font_combo.h"
#include "components/controls/file_dir_edit.h"
#include "components/controls/kv_spin.h"
#include "platform/graphics/font_families.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/system/process.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/list_box.h"
#include "platform/ui/memo.h"
#include "platform/ui/menus.h"
#include "platform/ui/page_control.h"

namespace kv {

namespace {

constexpr int32_t kHelpContext = 430;
constexpr int32_t kMaxCacheMegabytes = 9999999;

const char kClearDiskQuestion[] =
    "Diese Funktion löscht alle Cache-Dateien (Datei-Endung: .cache) aus dem Verzeichnis:\r%s\r\rMöchten Sie "
    "fortfahren?";

std::vector<std::string> KindExtensions(tFileFormat Kind) {
  std::vector<std::string> list;
  const std::string first = FileKindExtension(Kind);
  if (first.empty()) return list;
  list.push_back(first);
  for (int32_t n = 0;; ++n) {
    const std::string ext = FileKindExtraExtension(Kind, n);
    if (ext.empty()) break;
    list.push_back(ext);
  }
  return list;
}

TLabel* AddLabel(TWinControl* Parent, const std::string& Caption, int32_t Left, int32_t Top, int32_t Width = 220) {
  auto* l = new TLabel(Parent);
  l->SetParent(Parent);
  l->SetCaption(Caption);
  l->SetAutoSize(false);
  l->SetBounds(Left, Top, Width, 17);
  return l;
}

TCheckBox* AddCheck(TWinControl* Parent, const std::string& Caption, int32_t Left, int32_t Top, int32_t Width = 320) {
  auto* c = new TCheckBox(Parent);
  c->SetParent(Parent);
  c->SetCaption(Caption);
  c->SetBounds(Left, Top, Width, 21);
  return c;
}

TKvSpinEdit* AddSpin(TWinControl* Parent, int32_t Left, int32_t Top, int32_t Max, int32_t Min = 0) {
  auto* e = new TKvSpinEdit(Parent);
  e->SetParent(Parent);
  e->SetMinValue(Min);
  e->SetMaxValue(Max);
  e->SetBounds(Left, Top, 100, 23);
  return e;
}

TButton* AddButton(TWinControl* Parent, const std::string& Caption, int32_t Left, int32_t Top, int32_t Width = 100) {
  auto* b = new TButton(Parent);
  b->SetParent(Parent);
  b->SetCaption(Caption);
  b->SetBounds(Left, Top, Width, 25);
  return b;
}

}  // namespace

std::vector<std::string> LanguageChoices() {
  std::vector<std::string> list;
  for (const TLanguageChoice& c : WordTableLanguages) list.push_back(c.Extension);
  namespace fs = std::filesystem;
  std::error_code ec;
  std::vector<std::string> modules;
  for (fs::directory_iterator it(ProgramFolder(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    // "kavrelin." and a two-character extension
    if (name.size() == 11 && SameText(name.substr(0, 9), "kavrelin.")) modules.push_back(UpperCase(name.substr(9)));
  }
  std::sort(modules.begin(), modules.end());
  for (const std::string& m : modules)
    if (std::find(list.begin(), list.end(), m) == list.end()) list.push_back(m);
  return list;
}

bool FileKindAssociated(tFileFormat Kind) {
  for (const std::string& ext : KindExtensions(Kind))
    if (IsExtensionAssociated(ext, ext + "Grafik")) return true;
  return false;
}

void UnassociateFileKind(tFileFormat Kind) {
  const std::vector<std::string> exts = KindExtensions(Kind);
  // Extensions of one file type were associated one after the other, each
  // remembering the one before as its previous owner: giving one back may
  // hand the type to the next of ours, so it goes round until none holds it.
  for (size_t round = 0; round <= exts.size(); ++round) {
    bool gaveBack = false;
    for (auto it = exts.rbegin(); it != exts.rend(); ++it)
      if (IsExtensionAssociated(*it, *it + "Grafik")) {
        UnassociateExtension(*it, *it + "Grafik");
        gaveBack = true;
      }
    if (!gaveBack) break;
  }
}

// ---- THotKeyEdit ----

void THotKeyEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (Key == VK_SHIFT || Key == VK_CONTROL || Key == VK_MENU) return;
  const std::string text = ShortCutToText(ShortCut(Key, Shift));
  if (!text.empty()) SetText(text);
  Key = 0;
}

void THotKeyEdit::KeyPress(char32_t& Key) { Key = 0; }

// ---- TFontOptionsForm ----

TFontOptionsForm::TFontOptionsForm(TComponent* AOwner) : TForm(AOwner) {
  SetName("FontOptionsForm");
  SetCaption("Schriftoptionen");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientSize(330, 220);
  AddLabel(this, "Schriftart:", 10, 12, 90);
  NameBox = new TComboBox(this);
  NameBox->SetParent(this);
  NameBox->SetBounds(110, 8, 210, 23);
  for (const TFontFamilyInfo& f : ScreenFontFamilies()) NameBox->AddItem(f.Name);
  AddLabel(this, "Größe:", 10, 44, 90);
  SizeEdit = AddSpin(this, 110, 40, 400, 1);
  BoldBox = AddCheck(this, "Fett", 110, 72, 200);
  ItalicBox = AddCheck(this, "Kursiv", 110, 96, 200);
  UnderlineBox = AddCheck(this, "Unterstrichen", 110, 120, 200);
  AddLabel(this, "Farbe:", 10, 152, 90);
  ColorEdit = new TEdit(this);
  ColorEdit->SetParent(this);
  ColorEdit->SetBounds(110, 148, 100, 23);
  TButton* ok = AddButton(this, "OK", 110, 186);
  ok->SetModalResult(mrOk);
  ok->SetDefault(true);
  TButton* cancel = AddButton(this, "Abbrechen", 220, 186);
  cancel->SetModalResult(mrCancel);
  cancel->SetCancel(true);
}

void TFontOptionsForm::SetFont(const TFont& Font) {
  int32_t i = NameBox->IndexOf(Font.Name());
  if (i < 0) i = NameBox->AddItem(Font.Name());
  NameBox->SetItemIndex(i);
  SizeEdit->SetValue(Font.Size());
  BoldBox->SetChecked(Font.Style().Contains(fsBold));
  ItalicBox->SetChecked(Font.Style().Contains(fsItalic));
  UnderlineBox->SetChecked(Font.Style().Contains(fsUnderline));
  ColorEdit->SetText(IntToStr(int32_t(Font.Color())));
}

void TFontOptionsForm::GetFont(TFont& Font) const {
  if (NameBox->ItemIndex() >= 0) Font.SetName(NameBox->Item(NameBox->ItemIndex()));
  Font.SetSize(SizeEdit->AsInteger());
  TFontStyles style;
  if (BoldBox->Checked()) style.Include(fsBold);
  if (ItalicBox->Checked()) style.Include(fsItalic);
  if (UnderlineBox->Checked()) style.Include(fsUnderline);
  Font.SetStyle(style);
  Font.SetColor(TColor(StrToIntVal(ColorEdit->Text())));
}

// ---- Toptionform ----

TTabSheet* Toptionform::Page(const std::string& Caption) {
  auto* p = new TTabSheet(this);
  p->SetCaption(Caption);
  p->SetPageControl(PageControl1);
  return p;
}

Toptionform::Toptionform(TComponent* AOwner, Tform1& Main) : TForm(AOwner), FMain(Main) {
  SetName("optionform");
  SetCaption("Optionen");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientSize(520, 420);
  OnShow = [this](TObject* S) { FormShow(S); };

  PageControl1 = new TPageControl(this);
  PageControl1->SetName("PageControl1");
  PageControl1->SetParent(this);
  PageControl1->SetBounds(8, 8, 504, 364);

  TTabSheet* general = Page("Allgemein");
  AddLabel(general, "Hintergrundbild", 10, 12);
  BackgroundEdit = new TFilenameEdit(this);
  BackgroundEdit->SetName("BackgroundEdit");
  BackgroundEdit->SetParent(general);
  BackgroundEdit->SetBounds(10, 32, 470, 23);
  BackgroundAdjustBox = AddCheck(general, "Farben an Desktop anpassen", 10, 62);
  AddLabel(general, "Sprache", 10, 100, 150);
  AddLabel(general, "(erst nach Neustart aktiv)", 10, 116, 150);
  LanguageBox = new TComboBox(this);
  LanguageBox->SetName("LanguageBox");
  LanguageBox->SetParent(general);
  LanguageBox->SetBounds(170, 102, 120, 23);
  LanguageButton = AddButton(general, "Weitere Sprachmodule ...", 300, 101, 180);
  LanguageButton->OnClick = [this](TObject* S) { LanguageButtonClick(S); };
  TextShadowBox = AddCheck(general, "Text Schatten", 10, 146);

  TTabSheet* image = Page("Bild");
  AddLabel(image, "Einheiten in", 10, 14, 150);
  RulerBox = new TComboBox(this);
  RulerBox->SetParent(image);
  RulerBox->SetBounds(170, 10, 160, 23);
  AddLabel(image, "Bildauflösung in", 10, 44, 150);
  ResolutionBox = new TComboBox(this);
  ResolutionBox->SetParent(image);
  ResolutionBox->SetBounds(170, 40, 160, 23);
  AutoZoomBox = AddCheck(image, "Beim Laden auf Fenstergröße zoomen", 10, 76);
  AutoFitBox = AddCheck(image, "Beim Laden Fenstergröße an Bild anpassen", 10, 100);
  AddLabel(image, "Rückgängig", 10, 136, 150);
  UndoEdit = AddSpin(image, 170, 132, 1000);
  AddLabel(image, "Optimiert für:", 10, 170, 150);
  UndoModeBox = new TComboBox(this);
  UndoModeBox->SetParent(image);
  UndoModeBox->SetBounds(170, 166, 250, 23);
  UndoModeBox->SetItems({"Kleine Bilder (Speicher)", "Große Bilder (Festplatte)", "Schnelligkeit (Speicher-Bitmap)"});

  TTabSheet* kinds = Page("Dateitypen");
  FileKinds = new tgrafikformat(this);
  FileKinds->SetParent(kinds);
  FileKinds->SetCaption("Folgende Dateitypen mit Explorer Verknüpfen:");
  FileKinds->SetBounds(8, 8, 480, 320);
  FileKinds->SetKind(loadablegrafik);

  TTabSheet* catalog = Page("Katalog");
  AddLabel(catalog, "Bilderabstand:", 10, 14, 150);
  GridSizeEdit = AddSpin(catalog, 170, 10, 1000);
  AddLabel(catalog, "Bilderbreite:", 10, 44, 150);
  CatalogWidthEdit = AddSpin(catalog, 170, 40, 10000, 1);
  AddLabel(catalog, "Bilderhöhe:", 10, 74, 150);
  CatalogHeightEdit = AddSpin(catalog, 170, 70, 10000, 1);
  FontButton = AddButton(catalog, "&Schriftoptionen ...", 290, 10, 180);
  FontButton->OnClick = [this](TObject* S) { FontButtonClick(S); };
  InfoFields = new tgrafikformat(this);
  InfoFields->SetParent(catalog);
  InfoFields->SetCaption("Zusätzliche Informationen");
  InfoFields->SetBounds(8, 104, 480, 224);
  InfoFields->SetKind(imageinfo);

  TTabSheet* cache = Page("Cache");
  AddLabel(cache, "max. Historyeinträge", 10, 14, 150);
  HistoryEdit = AddSpin(cache, 170, 10, 10000);
  DiskCacheBox = AddCheck(cache, "Disk-Cache aktiv", 10, 50, 150);
  DiskCacheEdit = AddSpin(cache, 170, 48, kMaxCacheMegabytes);
  AddLabel(cache, "MB", 276, 52, 30);
  DiskClearButton = AddButton(cache, "löschen", 320, 47);
  MemCacheBox = AddCheck(cache, "Memory-Cache aktiv", 10, 84, 150);
  MemCacheEdit = AddSpin(cache, 170, 82, kMaxCacheMegabytes);
  AddLabel(cache, "MB", 276, 86, 30);
  MemClearButton = AddButton(cache, "löschen", 320, 81);
  DiskCacheBox->OnClick = [this](TObject* S) { DiskCacheBoxClick(S); };
  MemCacheBox->OnClick = [this](TObject* S) { MemCacheBoxClick(S); };
  DiskClearButton->OnClick = [this](TObject* S) { DiskClearButtonClick(S); };
  MemClearButton->OnClick = [this](TObject* S) { MemClearButtonClick(S); };

  TTabSheet* keys = Page("Kürzel");
  AddLabel(keys, "Menueinträge", 10, 8);
  ShortcutList = new TListBox(this);
  ShortcutList->SetName("ShortcutList");
  ShortcutList->SetParent(keys);
  ShortcutList->SetBounds(10, 28, 480, 250);
  ShortcutList->OnClick = [this](TObject* S) { ShortcutListClick(S); };
  AddLabel(keys, "Tastenkürzel hier eingeben:", 10, 290, 170);
  HotKeyEdit = new THotKeyEdit(this);
  HotKeyEdit->SetName("HotKeyEdit");
  HotKeyEdit->SetParent(keys);
  HotKeyEdit->SetBounds(180, 286, 120, 23);
  SetButton = AddButton(keys, "Setzen", 310, 285, 80);
  DeleteButton = AddButton(keys, "Löschen", 400, 285, 80);
  SetButton->OnClick = [this](TObject* S) { SetButtonClick(S); };
  DeleteButton->OnClick = [this](TObject* S) { DeleteButtonClick(S); };

  TTabSheet* plugins = Page("Plugins");
  AddLabel(plugins, "Zusätzlich folgende Pluginverzeichnisse durchsuchen:", 10, 8, 400);
  PluginFolders = new TMemo(this);
  PluginFolders->SetName("PluginFolders");
  PluginFolders->SetParent(plugins);
  PluginFolders->SetBounds(10, 28, 480, 296);

  Button1 = AddButton(this, "OK", 8, 384);
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject* S) { Button1Click(S); };
  Button2 = AddButton(this, "Abbrechen", 118, 384);
  Button2->SetCancel(true);
  Button2->SetModalResult(mrCancel);
  Button3 = AddButton(this, "&Hilfe", 228, 384);
  Button3->OnClick = [](TObject*) {
    if (Application) Application->HelpContext(kHelpContext);
  };
  PageControl1->SetActivePageIndex(0);
  FormCreate();
}

void Toptionform::FormCreate() {
  FillLengthUnitCombo(*RulerBox);
  FillResolutionUnitCombo(*ResolutionBox);
  BackgroundEdit->SetFilter(ImageFilter());
  BackgroundEdit->SetText(FMain.StoredString("BackgroundImage"));
  BackgroundAdjustBox->SetChecked(FMain.StoredBool("Backgroundadjust"));
  TextShadowBox->SetChecked(FMain.StoredBool("textshadow"));
  const auto pick = [](TComboBox* Box, int32_t Index) {
    if (Index >= 0 && Index < Box->Count()) Box->SetItemIndex(Index);
  };
  pick(RulerBox, FMain.StoredInt("Rulertyp"));
  pick(ResolutionBox, FMain.StoredInt("Resolutiontyp"));
  AutoZoomBox->SetChecked(FMain.StoredBool("AutoZoomFenster"));
  AutoFitBox->SetChecked(FMain.StoredBool("AutoFensterAnpassen"));
  UndoEdit->SetValue(FMain.StoredInt("maxundo"));
  pick(UndoModeBox, FMain.StoredInt("undomode"));
  GridSizeEdit->SetValue(FMain.StoredInt("CatalogGridsize"));
  CatalogWidthEdit->SetValue(FMain.StoredInt("CatalogWidth"));
  CatalogHeightEdit->SetValue(FMain.StoredInt("CatalogHeight"));
  ReadParamFont(FMain.StoredString("Catalogfontoptions"), FCatalogFont);
  InfoFields->SetImageInfoset(ReadParamImageInfoset(FMain.StoredString("CatalogInfo"), "Info"));
  HistoryEdit->SetValue(FMain.StoredInt("maxHistory"));
  const int32_t disk = FMain.StoredInt("CacheDisk");
  const int32_t mem = FMain.StoredInt("CacheMem");
  DiskCacheEdit->SetValue(disk);
  MemCacheEdit->SetValue(mem);
  DiskCacheBox->SetChecked(disk > 0);
  MemCacheBox->SetChecked(mem > 0);
  DiskCacheBoxClick(DiskCacheBox);
  MemCacheBoxClick(MemCacheBox);
  TStringList folders;
  ReadRegistryList(folders, AddPlugKey);
  PluginFolders->SetLines(folders);
}

void Toptionform::FormShow(TObject*) {
  tFileFormatset kinds;
  for (int32_t i = 0; i < kFileFormatCount; ++i) {
    const tFileFormat kind = tFileFormat(i);
    if (FileKindAssociated(kind)) kinds.Include(kind);
  }
  FileKinds->SetFileFormatset(kinds);

  LanguageBox->ClearItems();
  LanguageBox->AddItem("Standard");
  for (const std::string& ext : LanguageChoices()) LanguageBox->AddItem(ext);
  const std::string chosen = UpperCase(Trim(ReadLanguageChoice()));
  const int32_t at = chosen.empty() ? -1 : LanguageBox->IndexOf(chosen);
  LanguageBox->SetItemIndex(at > 0 ? at : 0);

  TStringList lines;
  if (FMain.MainMenu1) MenuShortcutLines(*FMain.MainMenu1->Items(), lines);
  ShortcutList->Items().Assign(&lines);
  ShortcutList->SetItemIndex(lines.Count() > 0 ? 0 : -1);
  ShortcutListClick(ShortcutList);
}

void Toptionform::ShortcutListClick(TObject*) {
  const int32_t i = ShortcutList->ItemIndex();
  if (i < 0 || i >= ShortcutList->Items().Count()) return;
  HotKeyEdit->SetText(ShortcutLineText(ShortcutList->Items().Strings(i)));
}

void Toptionform::SetLineShortcut(int32_t Index, const std::string& Text) {
  TStrings& items = ShortcutList->Items();
  const std::string line = items.Strings(Index);
  const size_t bar = line.rfind('|');
  const std::string head = bar == std::string::npos ? line + " |" : line.substr(0, bar + 1);
  items.Put(Index, head + " " + Text);
}

void Toptionform::SetButtonClick(TObject*) {
  const int32_t i = ShortcutList->ItemIndex();
  TStrings& items = ShortcutList->Items();
  if (i < 0 || i >= items.Count()) return;
  const std::string text = Trim(HotKeyEdit->Text());
  const TShortCut key = TextToShortCut(text);
  // A key works one item: whoever had it loses it.
  if (key != 0)
    for (int32_t j = 0; j < items.Count(); ++j)
      if (j != i && TextToShortCut(ShortcutLineText(items.Strings(j))) == key) SetLineShortcut(j, "");
  SetLineShortcut(i, key != 0 ? ShortCutToText(key) : text);
  ShortcutList->SetItemIndex(i);
}

void Toptionform::DeleteButtonClick(TObject*) {
  const int32_t i = ShortcutList->ItemIndex();
  if (i < 0 || i >= ShortcutList->Items().Count()) return;
  SetLineShortcut(i, "");
  ShortcutList->SetItemIndex(i);
  HotKeyEdit->SetText("");
}

void Toptionform::DiskCacheBoxClick(TObject*) { DiskCacheEdit->SetEnabled(DiskCacheBox->Checked()); }
void Toptionform::MemCacheBoxClick(TObject*) { MemCacheEdit->SetEnabled(MemCacheBox->Checked()); }

void Toptionform::DiskClearButtonClick(TObject*) {
  const std::string folder = tcache().CacheFolder();
  if (MessageDlg(Format(kClearDiskQuestion, folder), mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes)
    return;
  tcache().ClearDisk();
  ShowMessage("Disk-Cache ist gelöscht.");
}

void Toptionform::MemClearButtonClick(TObject*) {
  tcache().Clear();
  ShowMessage("Memory-Cache ist gelöscht");
}

void Toptionform::FontButtonClick(TObject*) {
  TFontOptionsForm dialog(nullptr);
  dialog.SetFont(FCatalogFont);
  if (dialog.ShowModal() == mrOk) dialog.GetFont(FCatalogFont);
}

void Toptionform::LanguageButtonClick(TObject*) { ShellOpen(LanguageModulesPage); }

void Toptionform::Button1Click(TObject*) {
  // File kinds first: a desktop tool that fails leaves the other settings unwritten
  // and the dialog open, so nothing is reported done that was not.
  const tFileFormatset kinds = FileKinds->FileFormatset();
  try {
    for (int32_t i = 0; i < kFileFormatCount; ++i) {
      const tFileFormat kind = tFileFormat(i);
      if (kinds.Contains(kind))
        AssociateFileKind(kind);
      else
        UnassociateFileKind(kind);
    }
  } catch (const Exception& E) {
    MessageDlg("Die Dateitypen konnten nicht verknüpft werden:\r" + E.Message(), mtError, TMsgDlgButtons{mbOK}, 0);
    return;
  }

  FMain.SetStoredString("BackgroundImage", BackgroundEdit->Text());
  FMain.SetStoredBool("Backgroundadjust", BackgroundAdjustBox->Checked());
  FMain.SetStoredBool("textshadow", TextShadowBox->Checked());
  FMain.SetStoredInt("Rulertyp", std::max(0, RulerBox->ItemIndex()));
  FMain.SetStoredInt("Resolutiontyp", std::max(0, ResolutionBox->ItemIndex()));
  FMain.SetStoredBool("AutoZoomFenster", AutoZoomBox->Checked());
  FMain.SetStoredBool("AutoFensterAnpassen", AutoFitBox->Checked());
  FMain.SetStoredInt("maxundo", UndoEdit->AsInteger());
  FMain.SetStoredInt("undomode", std::max(0, UndoModeBox->ItemIndex()));
  FMain.SetStoredInt("CatalogGridsize", GridSizeEdit->AsInteger());
  FMain.SetStoredInt("CatalogWidth", CatalogWidthEdit->AsInteger());
  FMain.SetStoredInt("CatalogHeight", CatalogHeightEdit->AsInteger());
  FMain.SetStoredString("Catalogfontoptions", WriteParamFont(FCatalogFont));
  FMain.SetStoredString("CatalogInfo", Trim(WriteParamImageInfoset("Info", InfoFields->ImageInfoset())));
  FMain.SetStoredInt("maxHistory", HistoryEdit->AsInteger());
  FMain.SetStoredInt("CacheDisk", DiskCacheBox->Checked() ? DiskCacheEdit->AsInteger() : 0);
  FMain.SetStoredInt("CacheMem", MemCacheBox->Checked() ? MemCacheEdit->AsInteger() : 0);
  // Written now, so a program that ends without closing its window keeps them.
  if (FMain.Formstorage1) FMain.Formstorage1->SaveFormPlacement();

  TStringList folders;
  PluginFolders->GetLines(folders);
  WriteRegistryList(folders, AddPlugKey);

  const int32_t language = LanguageBox->ItemIndex();
  WriteLanguageChoice(language > 0 ? LanguageBox->Item(language) : std::string());

  TStringList lines;
  lines.Assign(&ShortcutList->Items());
  WriteRegistryList(lines, ShortcutsKey);
  if (FMain.MainMenu1) ApplyShortcutLines(*FMain.MainMenu1->Items(), lines);
  SetModalResult(mrOk);
}

void ShowOptionsDialog(Tform1& Main) {
  Toptionform dialog(nullptr, Main);
  dialog.ShowModal();
}

}  // namespace kv

// The main menu and the two speed bars built from it, the menus filled at
// creation (filters, channels), the speed-bar handlers, and the handlers of
// the window and help menus.
#include <algorithm>
#include <cctype>

#include "app/actions/main_actions.h"
#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_menus.h"
#include "app/catalog/catalog_sort.h"
#include "app/catalog/catalog_window.h"
#include "app/child/child_window.h"
#include "app/child/drawing_options.h"
#include "app/filters/filter_catalogue.h"
#include "app/filters/filter_dialog.h"
#include "app/filters/filter_menus.h"
#include "app/filters/plugin_binding.h"
#include "app/helpers/program_helpers.h"
#include "app/helpers/text_helpers.h"
#include "app/layer/imager_layer.h"
#include "app/main/info_form.h"
#include "app/main/main_form.h"
#include "components/speedbar/speed_bar.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/system/process.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/menus.h"
#include "platform/ui/theme_icons.h"

namespace kv {
namespace {

// Only letters and digits; "_" in front of a leading digit (a component name).
std::string CleanName(const std::string& Text) {
  std::string out;
  for (unsigned char c : Text)
    if (std::isalnum(c)) out += static_cast<char>(c);
  if (!out.empty() && std::isdigit(static_cast<unsigned char>(out[0]))) out.insert(0, "_");
  return out;
}

// Speed buttons that show a picture of the desktop's icon theme, by the name
// of their menu item; the others show their caption.
struct TThemeGlyph {
  const char* Item;
  const char* Icon;
};
const TThemeGlyph kThemeGlyphs[] = {
    {"NewGrafik1", "document-new"},    {"Open1", "document-open"},        {"Save1", "document-save"},
    {"SaveAsA1", "document-save-as"},  {"Print1", "document-print"},      {"Closeit1", "window-close"},
    {"QuitAction1", "application-exit"}, {"Undocmd1", "edit-undo"},      {"RedoCmd1", "edit-redo"},
    {"Cutaction1", "edit-cut"},        {"Copyaction1", "edit-copy"},      {"PasteAction1", "edit-paste"},
    {"Clear1", "edit-clear"},          {"DeSelect1", "edit-select-all"},  {"Zoomaction1", "zoom-in"},
    {"AufBildgreanpassen1", "zoom-fit-best"}, {"Hilfethemen1", "help-contents"},
    {"berdasProgramm1", "help-about"},
};
constexpr int32_t kThemeGlyphSize = 16;

const char* ThemeIconOf(const std::string& ItemName) {
  for (const TThemeGlyph& g : kThemeGlyphs)
    if (ItemName == g.Item) return g.Icon;
  return nullptr;
}

// The fixed entries at the top of the filter menu: kept by its rebuild, which
// goes by their tags. An action link would copy the action's tag over them, so
// they run their action by a click instead.
bool FixedFilterAction(const char* Name) {
  for (const char* n : {"FilterBrowser", "Quicklaunch", "lastfilter"})
    if (std::string(Name) == n) return true;
  return false;
}

// The menu tree: one row per item; Depth 0 is a menu of the bar. Action rows
// take caption, state and click from the action of that name.
struct TMenuRow {
  int Depth;
  const char* Name;
  const char* Caption;
  const char* Action = nullptr;
  intptr_t Tag = 0;
};

// clang-format off
const TMenuRow kMenuRows[] = {
  {0, "Datei1", "&Datei"},
  {1, "Neu1", "&Neu"},
  {2, "NewGrafik1", "Grafik ...", "NewGrafik"},
  {2, "newcatalogaction1", "Katalog", "newcatalogaction"},
  {2, "NewClipboard1", "Neue Grafik aus Zwischenablage", "NewClipboard"},
  {1, "Open1", "Öffnen", "Open"},
  {1, "Erneutladen1", "Erneut laden"},
  {1, "N1", "-"},
  {1, "Save1", "Speichern", "Save"},
  {1, "SaveAsA1", "Speichern als ...", "SaveAsA"},
  {1, "Saveall1", "Alle Speichern", "Saveall"},
  {1, "N2", "-"},
  {1, "Closeit1", "Schliessen", "Closeit"},
  {1, "Closeall1", "Alle Schliessen", "Closeall"},
  {1, "N3", "-"},
  {1, "Importieren2", "Einlesen"},
  {2, "scanaction1", "Scanne...", "scanaction"},
  {2, "choosescanner1", "Scanner wählen...", "choosescanner"},
  {2, "scanop1", "Scan Optionen...", "scanop"},
  {2, "screenshot1", "Bildschirm Schnappschuss ...", "screenshot"},
  {2, "Videoaction1", "Video aufnehmen...", "Videoaction"},
  {2, "WebCam1", "Webcam ...", "WebCam"},
  {2, "FrameGrabber1", "Bilder einfangen...", "FrameGrabber"},
  {1, "Digitalkamera1", "Digitalkamera"},
  {1, "N4", "-"},
  {1, "Print1", "Drucken...", "Print"},
  {1, "printtiled1", "Kachel-Druck...", "printtiled"},
  {1, "printposter1", "Poster-Druck...", "printposter"},
  {1, "N5", "-"},
  {1, "SendDirect1", "Als Email", "SendDirect"},
  {1, "Hintergrundbild1", "Als Hintergrundbild"},
  {2, "Zentriert1", "&Zentriert", nullptr, 0},
  {2, "Kacheln1", "&Kacheln", nullptr, 1},
  {2, "Vollbildeingepasst1", "Vollbild (eingepasst)", nullptr, 2},
  {2, "Vollbildabgeschnitten1", "Vollbild (abgeschnitten)", nullptr, 3},
  {2, "wievorheriges1", "wie vorheriges", nullptr, 4},
  {1, "N6", "-"},
  {1, "QuitAction1", "Beenden", "QuitAction"},
  {0, "Bearbeiten1", "&Bearbeiten"},
  {1, "Undocmd1", "Rückgängig", "Undocmd"},
  {1, "RedoCmd1", "Wiederherstellen", "RedoCmd"},
  {1, "RckgngigPufferlschen1", "Rückgängig-Puffer löschen"},
  {1, "N7", "-"},
  {1, "Cutaction1", "Ausschneiden", "Cutaction"},
  {1, "Copyaction1", "Kopieren", "Copyaction"},
  {1, "PasteAction1", "Einfügen", "PasteAction"},
  {1, "Cropaction1", "Abschneiden", "Cropaction"},
  {1, "DeSelect1", "Alles auswählen (keine Markierung)", "DeSelect"},
  {1, "Clear1", "Mit Hintergrundfarbe löschen", "Clear"},
  {1, "DuplicateAction1", "Duplizieren", "DuplicateAction"},
  {1, "N8", "-"},
  {1, "Mauszeiger1", "&Mauszeiger"},
  {1, "N9", "-"},
  {1, "Kommentar1", "Kommentar"},
  {2, "komrec1", "Tonkommentar aufnehmen", "komrec"},
  {2, "komplay1", "Tonkommentar abspielen", "komplay"},
  {2, "komdel1", "Tonkommentar löschen", "komdel"},
  {2, "komimp1", "Tonkommentar importieren...", "komimp"},
  {2, "komtext1", "Textkommentar festlegen", "komtext"},
  {2, "komsoundop1", "Aufnahmeeinstellungen...", "komsoundop"},
  {1, "Geheim1", "Geheimtext"},
  {2, "wtext1", "Geheimtext eingeben", "wtext"},
  {2, "rtext1", "Geheimtext anzeigen", "rtext"},
  {2, "wdata1", "Geheimdatei im Bild speichern ...", "wdata"},
  {2, "rdata1", "Geheimdatei aus dem Bild lesen ....", "rdata"},
  {0, "Bild1", "&Bild"},
  {1, "Resize1", "Größe ändern...", "Resize"},
  {1, "heften1", "An anderes Bild heften ...", "heften"},
  {1, "Kanletrennen1", "Kanäle trennen"},
  {1, "NumbCol1", "Anzahl der Farben zeigen...", "NumbCol"},
  {1, "Histogram1", "Histogramm...", "Histogram"},
  {1, "N10", "-"},
  {1, "leftrightto3d1", "Auge Links / Rechts -> 3D-Bild ...", "leftrightto3d"},
  {1, "_3dtoleftright1", "3D-Bild -> Auge Links / Rechts ...", "_3dtoleftright"},
  {1, "_3dmesh1", "3D-Gitter ...", "_3dmesh"},
  {1, "jpgtrafoaction1", "Verlustfreie JPG-Transformation ...", "jpgtrafoaction"},
  {1, "defpixel1", "Stuck Pixel (Defekte Pixel) ...", "defpixel"},
  {0, "Farben1", "&Farben"},
  {0, "Filter1", "F&ilter"},
  {1, "FilterBrowser1", "Filter Browser ...", "FilterBrowser", 301},
  {1, "Quicklaunch1", "Schnell-Auswahl ...", "Quicklaunch", 302},
  {1, "lastfilter1", "Letzter Filter", "lastfilter", 307},
  {1, "PluginFilter1", "Plugin Filter", nullptr, 310},
  {0, "Katalog1", "&Katalog"},
  {1, "catalogadd1", "Datei hinzufügen...", "catalogadd"},
  {1, "catalogremove1", "Markierte Dateien entfernen", "catalogremove"},
  {1, "N11", "-"},
  {1, "Katalog2", "Darstellung"},
  {1, "Sortierung1", "1.Sortierung"},
  {1, "Sortierung2", "2.Sortierung"},
  {1, "N12", "-"},
  {1, "SlideshowCatalog1", "Diashow direkt vom Katalog...", "SlideshowCatalog"},
  {1, "printcatalog1", "Thumbnail-Druck..", "printcatalog"},
  {0, "Ansicht1", "&Ansicht"},
  {1, "Standardleiste1", "Standard-Leiste"},
  {1, "Objektleiste", "Objekt-Leiste"},
  {1, "Statusleiste1", "Statusleiste"},
  {1, "Lineal1", "Lineal"},
  {1, "BatchFenster1", "Batch Fenster"},
  {1, "zeichnenaction1", "Zeichnen Fenster", "zeichnenaction"},
  {1, "Zoom1", "Zoom"},
  {1, "N13", "-"},
  {1, "HauptStatus1", "Haupt-Statusleiste..."},
  {1, "ObjektStatus1", "Objekt-Leiste..."},
  {1, "N14", "-"},
  {1, "browseraction1", "Bilder Browser ...", "browseraction"},
  {0, "Extras1", "E&xtras"},
  {1, "Batch1", "Batch"},
  {2, "batchaction1", "Batch...", "batchaction"},
  {2, "batchnew1", "Neu aufnehmen", "batchnew"},
  {2, "batchpause1", "Aufnahme Pause", "batchpause"},
  {2, "batchstop1", "Aufnahme stoppen", "batchstop"},
  {2, "batchscan1", "Auto Scannen (Scannen && Speichern)...", "batchscan"},
  {2, "copyscan1", "Fotokopierer (Scannen && Drucken)...", "copyscan"},
  {2, "multiscan1", "Multi Scan (Auto Scan && Auto Bildtrennung)...", "multiscan"},
  {1, "Slideshow1", "Diashow ...", "Slideshow"},
  {1, "Mosaicaction1", "Mosaik ...", "Mosaicaction"},
  {1, "diginum1", "Bilder Kopieren && Umnummerieren ...", "diginum"},
  {1, "N15", "-"},
  {1, "Importieren1", "Plugins importieren..."},
  {1, "Filterimportieren1", "Filter Factory Dateien importieren..."},
  {1, "N16", "-"},
  {1, "Optionen1", "Optionen"},
  {2, "generaloptions1", "Allgemein...", "generaloptions"},
  {0, "Fenster1", "&Fenster"},
  {1, "Nebeneinander1", "Nebeneinander"},
  {1, "Untereinander1", "Untereinander"},
  {1, "bereinander1", "Überlappend"},
  {1, "AufBildgreanpassen1", "Auf Bildgröße anpassen"},
  {0, "Hilfe1", "&Hilfe"},
  {1, "Hilfethemen1", "Hilfethemen"},
  {1, "Willkommen1", "Willkommen"},
  {1, "Tour1", "Tour"},
  {1, "Lizenz1", "Lizenz"},
  {1, "N17", "-"},
  {1, "Weiterempfehlung1", "Weiterempfehlung"},
  {1, "WeitereProgramme1", "Weitere Programme", nullptr, 20},
  {1, "N18", "-"},
  {1, "berdasProgramm1", "Über das Programm..."},
};
// clang-format on

}  // namespace

namespace {
// Actions belong to the action list or to the form.
TBasicAction* FindAction(const Tform1& Form, const char* Name) {
  if (Form.ActionList1)
    if (auto* a = dynamic_cast<TBasicAction*>(Form.ActionList1->FindComponent(Name))) return a;
  return dynamic_cast<TBasicAction*>(Form.FindComponent(Name));
}
}  // namespace

void Tform1::BuildMenus() {
  std::vector<TMenuItem*> parents{MainMenu1->Items()};
  for (const TMenuRow& row : kMenuRows) {
    parents.resize(size_t(row.Depth) + 1);
    auto* item = new TMenuItem(this);
    item->SetName(row.Name);
    item->SetCaption(row.Caption);
    item->SetTag(row.Tag);
    if (row.Action) {
      if (FixedFilterAction(row.Action)) {
        const std::string action = row.Action;
        item->OnClick = [this, action](TObject*) {
          if (TBasicAction* a = FindAction(*this, action.c_str())) a->Execute();
        };
      } else if (TBasicAction* a = FindAction(*this, row.Action)) {
        item->SetAction(a);
      }
    }
    parents.back()->Add(item);
    parents.push_back(item);
  }
  auto find = [this](const char* Name) { return dynamic_cast<TMenuItem*>(FindComponent(Name)); };
  auto click = [&](const char* Name, void (Tform1::*Handler)(TObject*)) {
    if (TMenuItem* m = find(Name)) m->OnClick = [this, Handler](TObject* S) { (this->*Handler)(S); };
  };
  Filter1 = find("Filter1");
  PluginFilter1 = find("PluginFilter1");
  Farben1 = find("Farben1");
  Bild1 = find("Bild1");
  Datei1 = find("Datei1");
  Kanletrennen1 = find("Kanletrennen1");
  Katalog1 = find("Katalog1");
  Katalog2 = find("Katalog2");
  Sortierung1 = find("Sortierung1");
  Sortierung2 = find("Sortierung2");
  Erneutladen1 = find("Erneutladen1");
  Fenster1 = find("Fenster1");
  Mauszeiger1 = find("Mauszeiger1");
  Digitalkamera1 = find("Digitalkamera1");
  Standardleiste1 = find("Standardleiste1");
  Objektleiste = find("Objektleiste");
  Statusleiste1 = find("Statusleiste1");
  Lineal1 = find("Lineal1");
  BatchFenster1 = find("BatchFenster1");
  for (TMenuItem* t : {Standardleiste1, Objektleiste, Statusleiste1, Lineal1}) t->SetChecked(true);
  for (TMenuItem* t : {Standardleiste1, Objektleiste, Statusleiste1, Lineal1, BatchFenster1})
    t->OnClick = [this](TObject* S) { ToggleClick(S); };
  for (const char* w : {"Zentriert1", "Kacheln1", "Vollbildeingepasst1", "Vollbildabgeschnitten1", "wievorheriges1"})
    click(w, &Tform1::Wallpaperclick);
  click("RckgngigPufferlschen1", &Tform1::RckgngigPufferlschen1Click);
  click("HauptStatus1", &Tform1::HauptStatusClick);
  click("ObjektStatus1", &Tform1::HauptStatusClick);
  click("Importieren1", &Tform1::Importieren1Click);
  click("Filterimportieren1", &Tform1::Filterimportieren1Click);
  click("Nebeneinander1", &Tform1::Nebeneinander1Click);
  click("Untereinander1", &Tform1::Untereinander1Click);
  click("bereinander1", &Tform1::bereinander1Click);
  click("AufBildgreanpassen1", &Tform1::AufBildgreanpassen1Click);
  click("Hilfethemen1", &Tform1::Hilfethemen1Click);
  click("Willkommen1", &Tform1::Willkommen1Click);
  click("Tour1", &Tform1::Tour1Click);
  click("Lizenz1", &Tform1::Lizenz1Click);
  click("Weiterempfehlung1", &Tform1::Weiterempfehlung1Click);
  click("WeitereProgramme1", &Tform1::WeitereProgramme1Click);
  click("berdasProgramm1", &Tform1::berdasProgramm1Click);
  BuildMousePointerMenu(*this);
  // One item per zoom button of the drawing-options window, pressing it by its caption.
  if (TMenuItem* zoom = find("Zoom1"))
    for (const std::string& caption : TdrawingoptionsForm::ZoomButtonCaptions()) {
      auto* item = new TMenuItem(this);
      item->SetName("Zoom" + CleanName(caption));
      item->SetCaption(caption);
      item->OnClick = [this](TObject* S) { onzoomclick(S); };
      zoom->Add(item);
    }
}

void Tform1::ToggleClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  item->SetChecked(!item->Checked());
  updateall();
}

// ---- speed bars ----

void Tform1::mainmenu_to_speedbar(TSpeedBar* Bar) {
  if (!Bar) return;
  const std::function<void(TMenuItem*, TMenuItem*, int32_t)> add = [&](TMenuItem* Top, TMenuItem* Menu,
                                                                      int32_t Section) {
    for (int32_t i = 0; i < Menu->Count(); ++i) {
      TMenuItem* item = Menu->Items(i);
      if (item == Erneutladen1 || item->IsLine()) continue;
      if (item->Count() > 0) {
        add(Top, item, Section);
        continue;
      }
      std::string caption = StripMenuCaption(item->Caption());
      if (!caption.empty() && std::isdigit(static_cast<unsigned char>(caption[0]))) caption.insert(0, "_");
      const std::string name = CleanName(Top->Name() + item->Name());
      if (name.empty() || Bar->FindComponent(name)) continue;
      TSpeedItem* button = Bar->NewItem(Bar, Section, name);
      if (!button) continue;
      button->SetCaption(caption);
      button->SetHint(caption);
      button->SetImageIndex(item->ImageIndex());
      if (item->Action()) button->SetAction(item->Action());
      if (item->OnClick) {
        // The item may be rebuilt later: click it through its name.
        const std::string itemName = item->Name();
        button->OnClick = [this, itemName](TObject*) {
          if (auto* m = dynamic_cast<TMenuItem*>(FindComponent(itemName))) m->Click();
        };
      }
      button->SetBounds(10, 10, Bar->BtnWidth(), Bar->BtnHeight());
      TBitmap glyph;
      const char* icon = item->ImageIndex() < 0 ? ThemeIconOf(item->Name()) : nullptr;
      if (icon && ThemeIconGlyph(icon, kThemeGlyphSize, clBtnFace, glyph)) {
        // The picture alone, as on a button with an image; the action's caption goes.
        button->SetGlyph(&glyph);
        button->SetBtnCaption("");
      } else if (item->ImageIndex() < 0) {
        button->SetBtnCaption(caption);
        button->SetBounds(10, 10, Canvas().TextWidth(caption + "     "), Bar->BtnHeight());
      }
      // The caption is the hint, also where the action brought a hint of its own (or none).
      button->SetHint(caption);
      button->SetVisible(false);
    }
  };
  for (int32_t i = 0; i < MainMenu1->Items()->Count(); ++i) {
    TMenuItem* top = MainMenu1->Items()->Items(i);
    const std::string section = CleanName(top->Caption());
    int32_t index = Bar->SectionIndexOf(section);
    if (index < 0) index = Bar->AddSectionNamed(section);
    add(top, top, index);
  }
}

void Tform1::SpeedBar1Customize(TObject*) {
  SpeedBar1->SetEnabled(true);
  imagespeedbar->SetEnabled(true);
}

void Tform1::HauptStatusClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  const bool objectBar = item && SameText(StripMenuCaption(item->Caption()), "Objekt-Leiste");
  TSpeedBar* bar = objectBar ? imagespeedbar : SpeedBar1;
  TSpeedBar* other = objectBar ? SpeedBar1 : imagespeedbar;
  bar->SetVisible(true);
  other->SetEnabled(false);
  try {
    bar->Customize(0);
  } catch (...) {
    SpeedBar1Customize(bar);
    throw;
  }
}

void Tform1::SpeedBar1PosChanged(TObject* Sender) {
  auto* bar = dynamic_cast<TSpeedBar*>(Sender);
  if (!bar) return;
  bool apply = true;
  if (bar->OnApplyAlign) bar->OnApplyAlign(bar, bar->Align(), apply);
}

namespace {
// Text buttons fit their captions; buttons run along the bar's docking edge.
void AlignBarButtons(TSpeedBar& Bar, TCanvas& Canvas, TAlign Align) {
  int32_t right = 0;
  const bool vertical = Align == alLeft || Align == alRight;
  for (int32_t s = 0; s < Bar.SectionCount(); ++s)
    for (int32_t i = 0; i < Bar.ItemCountOf(s); ++i) {
      TSpeedItem* item = Bar.ItemAt(s, i);
      TSpeedbarButton* b = item->Button();
      if (item->ImageIndex() < 0 && !item->BtnCaption().empty())
        b->SetWidth(Canvas.TextWidth(item->BtnCaption() + "     "));
      if (vertical ? b->Top() < b->Left() : b->Left() < b->Top()) {
        const int32_t l = b->Left();
        b->SetLeft(b->Top());
        b->SetTop(l);
      }
      right = std::max(right, b->Left() + b->Width());
    }
  Bar.SetHeight(vertical ? right + 3 : 26);
}
}  // namespace

void Tform1::SpeedBar1ApplyAlign(TObject*, TAlign Align, bool& Apply) {
  AlignBarButtons(*SpeedBar1, Canvas(), Align);
  Apply = true;
}

void Tform1::imagespeedbarApplyAlign(TObject*, TAlign Align, bool& Apply) {
  AlignBarButtons(*imagespeedbar, Canvas(), Align);
  Apply = true;
}

void Tform1::Formstorage1RestorePlacement(TObject*) {
  for (TSpeedBar* bar : {SpeedBar1, imagespeedbar}) {
    bar->SetBtnWidth(21);
    bar->SetBtnHeight(21);
    // The new size applies to text buttons too: give them back the width of their captions.
    SpeedBar1PosChanged(bar);
  }
}

// ---- menus filled at creation ----

void Tform1::BuildFilterMenus() {
  FillFilterMenus(*this, [this](TObject* S) { filterclickproc(S); });
  FillPluginMenu(*this, [this](TObject* S) { pluginclickproc(S); });
}

void Tform1::rebuildfiltermenu() {
  RebuildFilterMenu(Filter1, [this](TObject* S) { filterclickproc(S); });
}

void Tform1::BuildChannelMenu() {
  if (!Kanletrennen1) return;
  const char* const models[] = {"RGB", "HSV", "HSL", "CMYK", "LAB", "YUV"};
  for (int32_t i = 0; i < 6; ++i) {
    auto* item = new TMenuItem(this);
    item->SetCaption(models[i]);
    item->OnClick = [this](TObject* S) { onchannelclickproc(S); };
    Kanletrennen1->Insert(i, item);
  }
}

void Tform1::onchannelclickproc(TObject* Sender) {
  if (RefusedWhileBusy()) return;
  if (auto* item = dynamic_cast<TMenuItem*>(Sender))
    interpreter(this, "SeperateChannels Model=\"" + StripMenuCaption(item->Caption()) + "\"");
}

void Tform1::pluginclickproc(TObject* Sender) {
  if (RefusedWhileBusy()) return;
  if (auto* item = dynamic_cast<TMenuItem*>(Sender)) interpreter(this, "RunPlugin Filename=\"" + item->Hint() + "\"");
}

void Tform1::urlclickproc(TObject* Sender) {
  if (auto* item = dynamic_cast<TMenuItem*>(Sender)) ShellOpen(item->Hint());
}

void Tform1::filterclickproc(TObject* Sender) {
  if (RefusedWhileBusy()) return;
  auto* item = dynamic_cast<tmymenuitem*>(Sender);
  if (!item || !item->Filter) return;
  ShowFilterDialog(*this, item->Catalogue ? *item->Catalogue : FilterCatalogue(), item->Filter);
}

void Tform1::catalogarrangeclickproc(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  if (item->Tag() == -10)
    item->SetChecked(!item->Checked());
  else
    item->SetChecked(true);
  updateall();
}

void Tform1::catalogsortclickproc(TObject* Sender) {
  if (!Sortierung1 || !Sortierung2) return;
  const std::string sort = ClickSortMenus(*Sortierung1, *Sortierung2, dynamic_cast<TMenuItem*>(Sender));
  SetStoredString("CatalogSort", sort);
  if (TFormcatalog* catalog = getcatalog())
    catalog->catalogframe1->Resort(this, sort);
  else
    SetCurrentCatalogSort(sort);
  updateall();
}

void Tform1::BuildCatalogMenus() {
  if (Katalog2) FillArrangeMenu(*Katalog2, this, [this](TObject* S) { catalogarrangeclickproc(S); });
  if (!Sortierung1 || !Sortierung2) return;
  for (TMenuItem* menu : {Sortierung1, Sortierung2})
    FillSortMenu(*menu, this, [this](TObject* S) { catalogsortclickproc(S); });
  const std::string sort = StoredString("CatalogSort");
  CheckSortMenus(*Sortierung1, *Sortierung2, sort);
  // New catalogs insert under the sort the menus show, before any click on them.
  SetCurrentCatalogSort(sort);
}

// ---- window and help menus ----

namespace {
// Shares the frame's client area among the shown windows in columns (side by
// side) or in rows (one above the other), in their stacking order.
void TileChildren(Tform1& Form, bool SideBySide) {
  std::vector<TCustomForm*> shown;
  for (int32_t i = 0; i < Form.MDIChildCount(); ++i) {
    TCustomForm* c = Form.MDIChildren(i);
    if (c && c->Visible() && c->WindowState() != wsMinimized) shown.push_back(c);
  }
  if (shown.empty()) return;
  const int32_t n = static_cast<int32_t>(shown.size());
  const int32_t w = Form.MDIClientWidth(), h = Form.MDIClientHeight();
  for (int32_t k = 0; k < n; ++k) {
    TCustomForm* c = shown[size_t(k)];
    if (c->WindowState() == wsMaximized) c->SetWindowState(wsNormal);
    if (SideBySide)
      c->SetBounds(k * w / n, 0, (k + 1) * w / n - k * w / n, h);
    else
      c->SetBounds(0, k * h / n, w, (k + 1) * h / n - k * h / n);
  }
}
}  // namespace

void Tform1::Nebeneinander1Click(TObject*) { TileChildren(*this, true); }
void Tform1::Untereinander1Click(TObject*) { TileChildren(*this, false); }
void Tform1::bereinander1Click(TObject*) { Cascade(); }

void Tform1::AufBildgreanpassen1Click(TObject*) {
  Tchild* c = getchild();
  if (!c) return;
  // The second pass corrects for scroll bars the first one made appear or go.
  fensteranpassen(this, c);
  fensteranpassen(this, c);
}

void Tform1::RckgngigPufferlschen1Click(TObject*) {
  if (timagerlayer* im = getimager()) im->Proc()->ClearAllUndo();
}

void Tform1::Optionen2Click(TObject*) { interpreter(this, "Options"); }

void Tform1::Willkommen1Click(TObject*) {
  auto* info = dynamic_cast<Tinfoform*>(FindComponent("infoform"));
  if (!info) {
    info = new Tinfoform(this);
    info->SetName("infoform");
  }
  info->Show();
}

void Tform1::berdasProgramm1Click(TObject* Sender) {
  std::string title = "Über das Programm";
  if (auto* item = dynamic_cast<TMenuItem*>(Sender)) title = StripMenuCaption(item->Caption());
  Taboutform about(nullptr);
  about.SetCaption(title);
  about.ShowModal();
}

namespace {

// Opens a file of the program folder with the desktop; when it is missing or
// the desktop has nothing to show it with, the user is told which and why.
void OpenProgramFile(const std::string& Name, const std::string& What) {
  const std::string file = ProgramFolder() + Name;
  if (!FileExists(file)) {
    MessageDlg(Format("%s \"%s\" fehlt im Programmordner.", What, file), mtInformation, TMsgDlgButtons{mbOK}, 0);
    return;
  }
  if (!ShellOpen(file))
    MessageDlg(Format("%s \"%s\" konnte nicht geöffnet werden: Für diesen Dateityp ist kein Programm eingerichtet.",
                      What, file),
               mtInformation, TMsgDlgButtons{mbOK}, 0);
}

}  // namespace

void Tform1::Hilfethemen1Click(TObject*) { OpenProgramFile("Kavrelin.hlp", "Die Hilfedatei"); }

void Tform1::WeitereProgramme1Click(TObject* Sender) {
  auto* item = dynamic_cast<TComponent*>(Sender);
  // Without a help viewer of its own the help file shows the topic.
  if (!Application->HelpContext(item ? static_cast<int32_t>(item->Tag()) : 0))
    OpenProgramFile("Kavrelin.hlp", "Die Hilfedatei");
}

void Tform1::Lizenz1Click(TObject*) {
  for (const char* name : {"Lizenz.hlp", "License.hlp"})
    if (FileExists(ProgramFolder() + name)) {
      OpenProgramFile(name, "Die Lizenzdatei");
      return;
    }
  OpenProgramFile("Lizenz.hlp", "Die Lizenzdatei");
}

void Tform1::Tour1Click(TObject*) { OpenProgramFile("tour/tour/tour.html", "Die Seite der Tour"); }

}  // namespace kv

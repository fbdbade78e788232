// The action table of the main window and the building of its action list.
#include "app/actions/main_actions.h"

#include "app/child/child_window.h"
#include "app/main/main_form.h"
#include "platform/rtl/strings.h"
#include "platform/ui/actions.h"
#include "platform/ui/menus.h"

namespace kv {

namespace {

// Categories decide the automatic enabling in updateall: "Bearbeiten", "Bild",
// "Colors" and "Filter" need an image window, "Catalog" an active catalog;
// the others are left alone (or set by their own rule).
const std::vector<TMainActionInfo> kActions = {
    {"NewGrafik", "Grafik ...", "Datei", 0, akImageDialog, ""},
    {"Resize", "Größe ändern...", "Bild", 0, akImageDialog, ""},
    {"Open", "Öffnen", "Datei", 0, akOpen, ""},
    {"SaveAsA", "Speichern als ...", "Datei", 0, akSaveAs, ""},
    {"Save", "Speichern", "Datei", 0, akSave, ""},
    {"Saveall", "Alle Speichern", "Datei", 0, akLine, "SaveAll"},
    {"Closeit", "Schliessen", "Datei", 0, akLine, "close"},
    {"Closeall", "Alle Schliessen", "Datei", 0, akLine, "CloseAll"},
    {"FilterBrowser", "Filter Browser ...", "Filter", 0, akFilterDialog, ""},
    {"Quicklaunch", "Schnell-Auswahl ...", "Filter", 0, akQuickFilter, ""},
    {"NumbCol", "Anzahl der Farben zeigen...", "Colors", 0, akLine, "NumberColors"},
    {"Histogram", "Histogramm...", "Colors", 0, akLine, "ShowHistogram"},
    {"DuplicateAction", "Duplizieren", "Bild", 0, akLine, "Duplicate"},
    {"Clear", "Mit Hintergrundfarbe löschen", "Bearbeiten", 0, akLine, "Clear"},
    {"Print", "Drucken...", "Datei", 0, akPrint, ""},
    {"printtiled", "Kachel-Druck...", "Datei", 1, akPrint, ""},
    {"printposter", "Poster-Druck...", "Datei", 2, akPrint, ""},
    {"printcatalog", "Thumbnail-Druck..", "Catalog", 3, akPrint, ""},
    {"Videoaction", "Video aufnehmen...", "Extras", 0, akCapture, ""},
    {"WebCam", "Webcam ...", "Extras", 1, akCapture, ""},
    {"FrameGrabber", "Bilder einfangen...", "Extras", 2, akCapture, ""},
    {"Slideshow", "Diashow ...", "Extras", 0, akSlideshow, ""},
    {"SlideshowCatalog", "Diashow direkt vom Katalog...", "Catalog", 0, akSlideshowCatalog, ""},
    {"komrec", "Tonkommentar aufnehmen", "Bild", 0, akComment, ""},
    {"komtext", "Textkommentar festlegen", "Bild", 0, akComment, ""},
    {"komdel", "Tonkommentar löschen", "Bild", 0, akComment, ""},
    {"komplay", "Tonkommentar abspielen", "Bild", 0, akComment, ""},
    {"komimp", "Tonkommentar importieren...", "Bild", 0, akComment, ""},
    {"komsoundop", "Aufnahmeeinstellungen...", "Extras", 0, akLine, "CommentSoundOptions"},
    {"catalogadd", "Datei hinzufügen...", "Catalog", 0, akCatalogAdd, ""},
    {"browseraction", "Bilder Browser ...", "Extras", 0, akBrowser, ""},
    {"newcatalogaction", "Katalog", "Datei", 0, akNewCatalog, ""},
    {"catalogremove", "Markierte Dateien entfernen", "Catalog", 0, akCatalogRemove, ""},
    {"batchaction", "Batch...", "Extras", 0, akAutomation, ""},
    {"batchscan", "Auto Scannen (Scannen && Speichern)...", "Extras", 0, akAutomation, ""},
    {"copyscan", "Fotokopierer (Scannen && Drucken)...", "Extras", 0, akAutomation, ""},
    {"multiscan", "Multi Scan (Auto Scan && Auto Bildtrennung)...", "Extras", 0, akAutomation, ""},
    {"batchnew", "Neu aufnehmen", "Extras", 0, akRecorder, ""},
    {"batchpause", "Aufnahme Pause", "Extras", 0, akRecorder, ""},
    {"batchstop", "Aufnahme stoppen", "Extras", 0, akRecorder, ""},
    {"QuitAction", "Beenden", "Datei", 0, akLine, "Quit"},
    {"scanaction", "Scanne...", "Datei", 0, akScan, ""},
    {"choosescanner", "Scanner wählen...", "Datei", 0, akLine, "ChooseScanner"},
    {"Undocmd", "Rückgängig", "Bearbeiten", 0, akUndo, ""},
    {"RedoCmd", "Wiederherstellen", "Bearbeiten", 0, akRedo, ""},
    {"Cutaction", "Ausschneiden", "Bearbeiten", 0, akLine, "Cut"},
    {"Cropaction", "Abschneiden", "Bearbeiten", 0, akLine, "Crop"},
    {"Copyaction", "Kopieren", "Bearbeiten", 0, akLine, "Copy"},
    {"PasteAction", "Einfügen", "Bearbeiten", 0, akLine, "Paste"},
    {"DeSelect", "Alles auswählen (keine Markierung)", "Bearbeiten", 0, akLine, "Deselect"},
    {"wtext", "Geheimtext eingeben", "Bild", 0, akWriteText, ""},
    {"rtext", "Geheimtext anzeigen", "Bild", 0, akLine, "ReadText"},
    {"wdata", "Geheimdatei im Bild speichern ...", "Bild", 0, akWriteData, ""},
    {"rdata", "Geheimdatei aus dem Bild lesen ....", "Bild", 0, akReadData, ""},
    {"leftrightto3d", "Auge Links / Rechts -> 3D-Bild ...", "Bild", 0, akAnaglyph, ""},
    {"_3dtoleftright", "3D-Bild -> Auge Links / Rechts ...", "Bild", 1, akAnaglyph, ""},
    {"_3dmesh", "3D-Gitter ...", "Extras", 2, akAnaglyph, ""},
    {"SendDirect", "Als Email", "Datei", 0, akLine, "Email"},
    {"NewClipboard", "Neue Grafik aus Zwischenablage", "Datei", 0, akLine, "NewClipboard"},
    {"Zoomaction", "Zoom", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"Handaction", "Hand", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"SelectRect", "Rechteck auswählen", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"SelectEllipse", "Ellipse auswählen", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"SelectPolygon", "Polygon auswählen", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"SelectMagic", "Zauberstab", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"Draw", "Zeichnen", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"Line", "Linie", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"Rectangle", "Rechteck", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"Ellipse", "Ellipse", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"RoundRect", "Abgerundetes Rechteck", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"Text", "Text", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"Floodfill", "Füllen", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"GetColor", "Farbe aufnehmen", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"Copypaint", "Kopierpinsel", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"RedEye", "Rote Augen entfernen", "Ansicht", kDrawingToolTag, akDrawingTool, ""},
    {"generaloptions", "Allgemein...", "Extras", 0, akLine, "Options"},
    {"heften", "An anderes Bild heften ...", "Bild", 0, akJoin, ""},
    {"screenshot", "Bildschirm Schnappschuss ...", "Datei", 0, akScreenshot, ""},
    // Its enabled state belongs to the plug-in call, which sets it after each run.
    {"lastfilter", "Letzter Filter", "plugin", 0, akLine, "Lastfilter"},
    {"Mosaicaction", "Mosaik ...", "Bild", 0, akMosaic, ""},
    {"zeichnenaction", "Zeichnen Fenster", "Ansicht", 0, akDrawingWindow, ""},
    {"scanop", "Scan Optionen...", "Datei", 0, akLine, "ScanOptions"},
    {"diginum", "Bilder Kopieren && Umnummerieren ...", "Extras", 0, akNumberedCopies, ""},
    {"defpixel", "Stuck Pixel (Defekte Pixel) ...", "Bild", 0, akStuckPixel, ""},
    {"jpgtrafoaction", "Verlustfreie JPG-Transformation ...", "Extras", 0, akLosslessJpeg, ""},
};

TActionLineRunner& LineRunner() {
  static TActionLineRunner runner;
  return runner;
}

}  // namespace

TActionLineRunner SetActionLineRunner(TActionLineRunner Runner) {
  TActionLineRunner previous = std::move(LineRunner());
  LineRunner() = std::move(Runner);
  return previous;
}

void RunActionLine(Tform1& Form, const std::string& Line) {
  if (LineRunner())
    LineRunner()(Form, Line);
  else
    Form.interpreter(&Form, Line);
}

const std::vector<TMainActionInfo>& MainActionTable() { return kActions; }

const TMainActionInfo* FindMainActionInfo(const std::string& Name) {
  for (const TMainActionInfo& a : kActions)
    if (SameText(a.Name, Name)) return &a;
  return nullptr;
}

const std::vector<std::string>& DrawingToolActionNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (const TMainActionInfo& a : kActions)
      if (a.Tag == kDrawingToolTag) n.emplace_back(a.Name);
    return n;
  }();
  return names;
}

void CreateMainActions(Tform1& Form) {
  // The main window makes them when it is created; a second call adds nothing.
  if (MainAction(Form, "NewGrafik")) return;
  if (!Form.ActionList1) {
    Form.ActionList1 = new TActionList(&Form);
    Form.ActionList1->SetName("ActionList1");
  }
  Form.ActionList1->OnExecute = [&Form](TBasicAction* Action, bool& Handled) { Form.ActionList1Execute(Action, Handled); };
  for (const TMainActionInfo& info : kActions) {
    if (Form.ActionList1->FindAction(info.Name)) continue;  // built before
    auto* a = new TAction(&Form);
    a->SetName(info.Name);
    a->SetCaption(info.Caption);
    a->SetCategory(info.Category);
    a->SetTag(info.Tag);
    a->SetActionList(Form.ActionList1);
  }
  bool chosen = false;
  for (const std::string& name : DrawingToolActionNames())
    if (const TAction* a = MainAction(Form, name)) chosen = chosen || a->Checked();
  if (TAction* zoom = MainAction(Form, "Zoomaction"); zoom && !chosen) zoom->SetChecked(true);
}

TAction* MainAction(const Tform1& Form, const std::string& Name) {
  if (!Form.ActionList1) return nullptr;
  return dynamic_cast<TAction*>(Form.ActionList1->FindAction(Name));
}

int32_t CheckedDrawingTool(const Tform1& Form) {
  // Without the actions (windows made on their own) the process-wide tool stands.
  if (!Form.ActionList1) return drawingtool;
  const std::vector<std::string>& names = DrawingToolActionNames();
  for (size_t i = 0; i < names.size(); ++i) {
    const TAction* a = MainAction(Form, names[i]);
    if (a && a->Checked()) return int32_t(i);
  }
  return 0;
}

void BuildMousePointerMenu(Tform1& Form) {
  if (!Form.Mauszeiger1 || Form.Mauszeiger1->Count() > 0) return;
  for (const std::string& name : DrawingToolActionNames()) {
    TAction* a = MainAction(Form, name);
    if (!a) continue;
    auto* item = new TMenuItem(&Form);
    // Named, so that each tool gets a speed-bar button of its own that a stored layout can show.
    item->SetName(name + "1");
    item->SetRadioItem(true);
    item->SetGroupIndex(1);
    item->SetAction(a);
    Form.Mauszeiger1->Add(item);
  }
}

}  // namespace kv

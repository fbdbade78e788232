// The one handler of every main-window action: refused while a batch or a
// message pump runs, otherwise one handler per kind of action, then the
// menu state is recomputed.
#include <algorithm>
#include <functional>
#include <string>

#include "app/actions/comment_actions.h"
#include "app/actions/main_actions.h"
#include "app/catalog/catalog_frame.h"
#include "app/catalog/image_browser.h"
#include "app/catalog/catalog_window.h"
#include "app/child/child_window.h"
#include "app/dialogs/new_image_dialog.h"
#include "app/filters/filter_catalogue.h"
#include "app/filters/filter_dialog.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/tools/join_tool.h"
#include "app/tools/lossless_jpeg.h"
#include "app/tools/mosaic_tool.h"
#include "app/tools/numbered_copies.h"
#include "app/tools/stereo_tool.h"
#include "app/tools/stuck_pixel_tool.h"
#include "app/workflows/automation.h"
#include "app/workflows/print_dialog.h"
#include "imaging/formats/twain_params.h"
#include "app/workflows/slide_form.h"
#include "imaging/processing/imager_proc.h"
#include "imaging/views/open_save_dialog.h"
#include "app/webcam/screen_driver_form.h"
#include "app/webcam/video_form.h"
#include "platform/ui/screen_grab.h"
#include "platform/rtl/strings.h"
#include "platform/ui/actions.h"
#include "platform/ui/dialogs.h"

namespace kv {

const char* const kBatchBusyMessage = "Es wird gerade eine Batch ausgeführt. Warten Sie bis diese zu Ende ist.";
const char* const kAllFilesFilter = "*.*|*.*";

std::vector<int32_t> CatalogRemovalOrder(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                                         const std::function<int32_t(int32_t Col, int32_t Row)>& CellIndex,
                                         int32_t Count) {
  std::vector<int32_t> order;
  for (int32_t row = Bottom; row >= Top; --row)
    for (int32_t col = Right; col >= Left; --col) {
      const int32_t index = CellIndex(col, row);
      if (index >= 0 && index < Count) order.push_back(index);
    }
  // Where several cells show one file (its picture and its information), or
  // the cells run across the list, each index must go once and from the back,
  // or a later deletion would hit a file that moved into the freed place.
  std::sort(order.begin(), order.end(), std::greater<int32_t>());
  order.erase(std::unique(order.begin(), order.end()), order.end());
  return order;
}

TDialogSettingsScope::TDialogSettingsScope(TOpenImagerDialog& Dialog, const std::string& Title,
                                           const std::string& Filter)
    : FDialog(Dialog),
      FTitle(Dialog.Title()),
      FFilter(Dialog.Filter()),
      FDefaultExt(Dialog.DefaultExt()),
      FAutoSetFilter(Dialog.AutoSetFilter()) {
  Dialog.SetTitle(Title);
  if (Filter.empty()) return;
  // The automatic filter would put the image formats back in its place.
  Dialog.SetAutoSetFilter(false);
  Dialog.SetFilter(Filter);
}

TDialogSettingsScope::~TDialogSettingsScope() {
  FDialog.SetTitle(FTitle);
  FDialog.SetFilter(FFilter);
  FDialog.SetDefaultExt(FDefaultExt);
  FDialog.SetAutoSetFilter(FAutoSetFilter);
}

namespace {

// The hidden-data capacity of the current image; a picture too small for
// even the header offers nothing rather than a negative size.
int32_t HiddenCapacity(Tform1& Form) {
  timagerlayer* im = Form.getimager();
  if (!im) return 0;
  return std::max(0, im->Proc()->GetHiddenDataSpace());
}

void RunLine(Tform1& Form, const std::string& Line) { RunActionLine(Form, Line); }

void CheckDrawingTool(Tform1& Form, TAction& Chosen) {
  const std::vector<std::string>& names = DrawingToolActionNames();
  for (size_t i = 0; i < names.size(); ++i) {
    TAction* a = MainAction(Form, names[i]);
    if (!a) continue;
    a->SetChecked(a == &Chosen);
    if (a == &Chosen) drawingtool = uint8_t(i);
  }
  Form.Setmousepointer();
}

void AddToCatalog(Tform1& Form) {
  TOpenImagerDialog* dlg = Form.OpenDialog1;
  if (!dlg) return;
  TStringList files;
  {
    TDialogSettingsScope scope(*dlg, "Datei hinzufügen");
    if (!dlg->Execute()) return;
    files.Assign(&dlg->Files());
  }
  for (int32_t i = 0; i < files.Count(); ++i) RunLine(Form, "ADDCATALOG" + WriteParamString("Filename", files.Strings(i)));
}

void RemoveFromCatalog(Tform1& Form) {
  TFormcatalog* catalog = Form.getcatalog();
  if (!catalog) return;
  const Tcatalogframe& frame = *catalog->catalogframe1;
  const TGridRect s = frame.DrawGrid1().Selection();
  const auto cell = [&frame](int32_t Col, int32_t Row) { return frame.CellFileIndex(Col, Row); };
  for (int32_t index : CatalogRemovalOrder(s.Left, s.Top, s.Right, s.Bottom, cell, frame.Files().Count()))
    RunLine(Form, "DelCatalog" + WriteParamInt("Index", index));
}

void WriteHiddenText(Tform1& Form) {
  if (!Form.getimager()) return;
  std::string text;
  if (!InputQuery("Geheimtext eingeben", Format("Geheimtext eingeben, maximal %d Zeichen", HiddenCapacity(Form)),
                  text))
    return;
  RunLine(Form, "WriteText" + WriteParamString("text", text));
}

void WriteHiddenFile(Tform1& Form) {
  TOpenImagerDialog* dlg = Form.OpenDialog1;
  if (!dlg || !Form.getimager()) return;
  std::string file;
  {
    TDialogSettingsScope scope(*dlg, Format("Geheimdatei eingeben, maximal %d Bytes groß.", HiddenCapacity(Form)),
                               kAllFilesFilter);
    if (!dlg->Execute()) return;
    file = dlg->FileName();
  }
  RunLine(Form, "WriteData" + WriteParamString("Filename", file));
}

void ReadHiddenFile(Tform1& Form) {
  TSaveImagerDialog* dlg = Form.SaveDialog1;
  if (!dlg || !Form.getimager()) return;
  std::string file;
  {
    TDialogSettingsScope scope(*dlg, "Ausgelesen Daten speichern unter", kAllFilesFilter);
    dlg->SetDefaultExt("");
    if (!dlg->Execute()) return;
    file = dlg->FileName();
  }
  RunLine(Form, "ReadData" + WriteParamString("Filename", file));
}

// Each opening makes a window of its own; the main window does not wait for it.
void OpenVideoWindow(Tform1& Form, int32_t Mode) {
  auto* w = new Tvideoform(&Form);
  w->Mode = Mode;
  w->Show();
}

void ChooseScreenshotWindow(Tform1& Form) {
  uint32_t window = 0;
  if (!ChooseScreenWindow(window)) return;
  const HWND h = window ? HWND(window) : GetDesktopWindow();
  RunLine(Form, "Screenshot" + WriteParamInt("Window", int32_t(h)));
}

// Runs one action of the table; false when it ended early without the update.
bool RunMainAction(Tform1& Form, const TMainActionInfo& Info, TAction& Action) {
  switch (Info.Kind) {
    case akLine: RunLine(Form, Info.Line); break;
    case akImageDialog: {
      const std::string line = ShowImageDialog(SameText(Info.Name, "Resize"), Action.Caption());
      if (!line.empty()) RunLine(Form, line);
      break;
    }
    case akOpen:
      if (Form.OpenDialog1) Form.OpenDialog1->SetTitle("Öffnen");
      if (Form.executeopendialog()) Form.openit();
      break;
    case akSaveAs: Form.Speichernals1Click(&Action); break;
    case akSave: Form.Speichern1Click(&Action); break;
    case akFilterDialog: ShowFilterDialog(Form, FilterCatalogue(), nullptr); break;
    case akQuickFilter: ShowQuickFilterChoice(Form); break;
    case akPrint: ShowPrintDialog(Form, Info.Tag); break;
    case akCapture: OpenVideoWindow(Form, int32_t(Info.Tag)); break;
    case akSlideshow: ShowSlideShowSetup(); break;
    case akSlideshowCatalog:
      // The show reads the catalog from its file: it is saved first.
      if (Form.catalogspeichern1Click(&Action) && Form.getcatalog()) ShowSlideShowSetup(Form.getcatalog()->Caption());
      break;
    case akComment: return RunCommentAction(Form, Info.Name);
    case akCatalogAdd: AddToCatalog(Form); break;
    case akBrowser: ShowImageBrowser(Form); break;
    case akNewCatalog:
      RunLine(Form, "NEWCATALOG");
      if (TAction* add = MainAction(Form, "catalogadd")) add->Execute();
      break;
    case akCatalogRemove: RemoveFromCatalog(Form); break;
    case akAutomation:
      ShowAutomation(Form, SameText(Info.Name, "batchscan")  ? apAutoScan
                           : SameText(Info.Name, "copyscan") ? apPhotocopy
                           : SameText(Info.Name, "multiscan") ? apMultiScan
                                                              : apBatch);
      break;
    case akRecorder:
      if (SameText(Info.Name, "batchnew"))
        Form.batchnew();
      else if (SameText(Info.Name, "batchpause"))
        Form.batchpause();
      else
        Form.batchstop();
      break;
    case akScan:
      // A scan without a device would end as silently as a cancelled one.
      if (Form.imagerlayer1 && Form.imagerlayer1->TWainParams().SourceList().empty()) {
        MessageDlg("Es wurde kein Scanner gefunden. Schließen Sie einen Scanner an oder richten Sie ihn in SANE ein "
                   "(\"scanimage -L\" zeigt die gefundenen Geräte).",
                   mtInformation, TMsgDlgButtons{mbOK}, 0);
        break;
      }
      RunLine(Form, "Scan" + Form.StoredString("Scanoptions"));
      break;
    case akUndo:
      if (timagerlayer* im = Form.getimager()) im->Undo();
      break;
    case akRedo:
      if (timagerlayer* im = Form.getimager()) im->Redo();
      break;
    case akWriteText: WriteHiddenText(Form); break;
    case akWriteData: WriteHiddenFile(Form); break;
    case akReadData: ReadHiddenFile(Form); break;
    case akAnaglyph: ShowAnaglyphWindow(Form, Info.Tag, Action.Caption()); break;
    case akDrawingTool: CheckDrawingTool(Form, Action); break;
    case akJoin: ShowJoinDialog(Form); break;
    case akScreenshot: ChooseScreenshotWindow(Form); break;
    case akMosaic: ShowMosaicDialog(Form); break;
    case akDrawingWindow: Action.SetChecked(!Action.Checked()); break;
    case akNumberedCopies: ShowNumberedCopiesDialog(Form); break;
    case akStuckPixel: ShowStuckPixelDialog(Form); break;
    case akLosslessJpeg: ShowLosslessJpegDialog(Form); break;
  }
  return true;
}

}  // namespace

bool Tform1::RefusedWhileBusy() {
  if (!Busy() && !Pump) return false;
  MessageDlg(kBatchBusyMessage, mtWarning, TMsgDlgButtons{mbOK}, 0);
  CancelFlag = true;  // a shut-down waiting on this action stops
  return true;
}

void Tform1::ActionList1Execute(TBasicAction* Action, bool& Handled) {
  Handled = true;
  if (RefusedWhileBusy()) return;
  auto* action = dynamic_cast<TAction*>(Action);
  const TMainActionInfo* info = action ? FindMainActionInfo(action->Name()) : nullptr;
  if (info && !RunMainAction(*this, *info, *action)) return;
  updateall();
}

}  // namespace kv

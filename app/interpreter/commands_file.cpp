// Files and windows: new, open, save, close, resize; catalogs open and save here too.
#include "app/catalog/catalog_sort.h"
#include "app/catalog/catalog_window.h"
#include "app/child/child_window.h"
#include "app/helpers/size_units.h"
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/format_params.h"
#include "app/params/param_strings.h"
#include "imaging/formats/codec.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/start_marks.h"
#include "platform/rtl/strings.h"
#include "platform/ui/dialogs.h"

namespace kv {

namespace {

const char kCannotLoad[] = "Kann Datei %s nicht laden.";

// User units per inch; a whole number where the store keeps it as one. A
// unit of no size would make every length 0: it counts as the default, 1.
double UserUnit(const Tform1& Form) {
  double unit = Form.StoredFloat("Userunit");
  if (unit <= 0) unit = Form.StoredInt("Userunit");
  return unit > 0 ? unit : 1;
}

// The size of a NEWIMAGE or RESIZE line in pixels (halves rounded to even);
// Base is what 100 percent is. A size no bitmap can take fails the line.
void ReadSize(const TCommandRun& Run, double Width, double Height, int32_t Resolution, int32_t BaseWidth,
              int32_t BaseHeight, int32_t& PixelsX, int32_t& PixelsY) {
  const double user = UserUnit(Run.Form);
  PixelsX = Round32(UnitToPixels(Run.Int("vwidth", 0), BaseWidth, Resolution, Width, user));
  PixelsY = Round32(UnitToPixels(Run.Int("vheight", 0), BaseHeight, Resolution, Height, user));
  if (!CheckImageSize(PixelsX, PixelsY))
    throw ECommandError("Ungültige Bildgröße " + IntToStr(PixelsX) + " x " + IntToStr(PixelsY));
}

// The reason, when there is one, goes on a line of its own below the message.
void ReportUnreadable(const std::string& Name, const std::string& Reason) {
  std::string text = kCannotLoad;
  text.replace(text.find("%s"), 2, Name);
  if (!Reason.empty()) text += "\r" + Reason;
  MessageDlg(text, mtError, TMsgDlgButtons{mbOK}, 0);
}

// The file is read before the window exists: an unreadable catalog leaves no
// empty window. True when the catalog opened.
bool OpenCatalog(TCommandRun& Run, const std::string& Name) {
  std::vector<std::string> entries;
  try {
    entries = ReadCatalogFile(Name);
  } catch (const Exception& E) {
    ReportUnreadable(Name, E.Message());
    Run.Return();
    return false;
  }
  TFormcatalog* catalog = Run.Form.newcatalog();
  catalog->SetCaption(Name);
  catalog->LoadEntries(entries);
  Run.Return();
  return true;
}

}  // namespace

void cmdNewImage(TCommandRun& Run) {
  const double width = Run.Float("Width", 600);
  const int32_t resolution = Run.Int("Resolution", 600);
  const double height = Run.Float("Height", 600);
  const TColor fill = TColor(Run.Int("FillColor", 0));
  int32_t w = 0, h = 0;
  // The size is checked before the window exists, so a bad line leaves no empty window behind.
  ReadSize(Run, width, height, resolution, 600, 600, w, h);

  Tchild* child = Run.Form.newwindow();
  if (!child || !child->imager1) throw ECommandError("Das Bildfenster konnte nicht angelegt werden");
  timagerlayer& imager = *child->imager1;
  imager.Bitmap().SetPixelFormat(pf24bit);
  imager.Bitmap().SetSize(w, h);
  child->SetCaption(Run.Form.givenoname());
  child->modified = true;
  Run.Form.fensteranpassen(Run.Sender, child);
  imager.FillColor(fill);
  imager.IOParams().DpiX = resolution;
  imager.IOParams().DpiY = resolution;
  imager.SetDpi(resolution, resolution);  // rulers and status line read the view's
  imager.PictureEdited();
  child->imager1ViewChange(Run.Sender);
}

void cmdOpen(TCommandRun& Run) {
  // The window's title and the recent-file list show the name tidied:
  // absolute, without "." and ".." steps.
  const std::string given = Run.Str("FileName", "");
  const std::string name = given.empty() ? given : ExpandFileName(given);
  if (SameTextNoCase(ExtractFileExt(name), ".PCF")) {
    if (OpenCatalog(Run, name)) Run.Form.historyadd(name);
    return;
  }

  Tchild* child = Run.Form.newwindow();
  if (!child || !child->imager1) throw ECommandError("Das Bildfenster konnte nicht angelegt werden");
  child->SetCaption(name);
  timagerlayer& imager = *child->imager1;
  bool failed = false;
  std::string reason;
  StartMark("image window created");
  try {
    imager.LoadFromFileByExtension(name);
    StartMark("file decoded");
    failed = imager.IO()->Aborted();
    if (failed) reason = imager.IO()->AbortReason();
  } catch (const Exception& E) {
    // Whatever the reader raises, the file could not be read: the user gets the
    // file message and no empty window is left behind.
    failed = true;
    reason = E.Message();
  }
  if (failed) {
    ReportUnreadable(name, reason);
    child->Close();
    Run.Return();
    return;
  }
  // Only names that opened are offered again.
  Run.Form.historyadd(name);
  if (imager.Bitmap().PixelFormat() != pf24bit) imager.ConvertTo24Bit();
  const bool fitWindow = Run.Form.StoredBool("AutoFensterAnpassen");
  if (fitWindow) Run.Form.fensteranpassen(Run.Sender, child);
  child->imager1ViewChange(Run.Sender);
  child->BringToFront();
  if (Run.Form.StoredBool("AutoZoomFenster")) imager.Fit();
  if (fitWindow) Run.Form.fensteranpassen(Run.Sender, child);
}

void cmdSaveAs(TCommandRun& Run) {
  const std::string name = Run.Str("FileName", "");
  Run.Form.historyadd(name);
  Tchild* child = Run.Form.getchild();
  if (!child && !Run.Form.getcatalog()) throw ECommandError("Es ist kein Bildfenster aktiv");
  if (child && child->imager1) {
    timagerlayer& imager = *child->imager1;
    ReadFormatParams(Run.Line, imager.IOParams(), name);
    // A write that failed must not mark the image saved: the window keeps its
    // name (the writer notes the new one early) and its modified flag, and the line fails.
    const std::string previousName = imager.IOParams().FileName;
    try {
      imager.SaveToFileByExtension(name);
    } catch (...) {
      imager.IOParams().FileName = previousName;
      throw;
    }
    if (imager.IO()->Aborted()) {
      imager.IOParams().FileName = previousName;
      const std::string& reason = imager.IO()->AbortReason();
      throw ECommandError("Kann " + name + " nicht speichern" + (reason.empty() ? "" : ": " + reason));
    }
    child->SetCaption(name);
    imager.IOParams().FileName = name;
    child->modified = false;
  }
  if (TFormcatalog* catalog = Run.Form.getcatalog()) catalog->SaveToFile(name);
}

void cmdClose(TCommandRun& Run) {
  CancelFlag = false;
  TCustomForm* window = Run.Form.ActiveMDIChild();
  if (dynamic_cast<Tchild*>(window)) {
    // The window asked about is the one that closes, even when the question
    // brought another to the front or the target is an override child.
    Tchild* target = Run.Form.getchild();
    if (target) {
      window = target;
      if (!target->myclose()) return;
    }
  }
  if (!CancelFlag && window) window->Close();
}

void cmdResize(TCommandRun& Run) {
  const double width = Run.Float("Width", 600);
  const int32_t resolution = Run.Int("Resolution", 600);
  const double height = Run.Float("Height", 600);
  const bool resample = Run.Bool("Resample", false);
  const int32_t filter = Run.Int("ResampleFilter", 0);
  timagerlayer& imager = Run.Imager();
  const int32_t newResolution = Run.Int("Resolution", imager.IOParams().DpiX);
  if (filter < rfNone || filter > rfFastLinear) throw ECommandError("Unbekannter Resampling-Filter");
  int32_t w = 0, h = 0;
  ReadSize(Run, width, height, resolution, imager.Bitmap().Width(), imager.Bitmap().Height(), w, h);

  if (resample) {
    // The picture the result replaces is the undo snapshot: no copy of it is made.
    Run.Child().modified = true;
    imager.ResampleWithUndo(w, h, TResampleFilter(filter));
  } else {
    Run.UndoPoint();
    imager.ImageResize(w, h);
  }
  imager.IOParams().DpiX = newResolution;
  imager.IOParams().DpiY = newResolution;
  imager.SetDpi(newResolution, newResolution);
  Run.Child().imager1ViewChange(Run.Sender);
}

void cmdSaveAll(TCommandRun& Run) {
  CancelFlag = false;
  const int32_t count = Run.Form.MDIChildCount();
  if (count == 0) {
    Run.Return();
    return;
  }
  for (int32_t i = 0; i < count; ++i) {
    if (Run.Form.ActiveMDIChild()) Run.Form.Speichern1Click(Run.Sender);
    Run.Form.Next();
    if (CancelFlag) break;
  }
}

void cmdCloseAll(TCommandRun& Run) {
  CancelFlag = false;
  for (int32_t i = Run.Form.MDIChildCount() - 1; i >= 0; --i) {
    Run.RunLine("HIDDEN CLOSE");
    if (CancelFlag) {
      Run.Return();
      return;
    }
  }
}

}  // namespace kv

// Tools that make new pictures or take the whole line: stereo, mesh, mail,
// clipboard image, screenshot, quit, slide show, mosaic, numbered copies,
// stuck pixels, lossless JPEG.
#include <chrono>
#include <thread>

#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_window.h"
#include "app/child/child_window.h"
#include "app/helpers/folder_helpers.h"
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/tools/lossless_jpeg.h"
#include "app/tools/mesh_tool.h"
#include "app/tools/mosaic_tool.h"
#include "app/tools/numbered_copies.h"
#include "app/tools/stereo_tool.h"
#include "app/tools/stuck_pixel_tool.h"
#include "app/workflows/slide_player.h"
#include "app/params/param_strings.h"
#include "platform/devices/screen_windows.h"
#include "platform/devices/video_capture.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/screen_grab.h"

namespace kv {

namespace {

// Lets the window system settle for Ms milliseconds while messages run.
void PauseWithMessages(int32_t Ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
  Application->ProcessMessages();
  while (std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Application->ProcessMessages();
  }
}

// An image that has never been saved has no file to attach: a name beginning
// with "!" is the caption of an unsaved image, not a file.
bool HasOwnFile(const std::string& FileName) { return !FileName.empty() && FileName[0] != '!' && FileExists(FileName); }

}  // namespace

void cmdMake3D(TCommandRun& Run) { RunMake3D(Run); }
void cmdGetLeftRight(TCommandRun& Run) { RunGetLeftRight(Run); }
void cmdMesh(TCommandRun& Run) { RunMesh(Run); }

void cmdEmail(TCommandRun& Run) {
  const std::string text = Run.Str("TEXT", ""), subject = Run.Str("SUBJECT", ""), to = Run.Str("TO", "");
  Tchild* child = Run.Form.getchild();
  if (!child && !Run.Form.getcatalog()) throw ECommandError("Es ist kein Bildfenster aktiv");
  if (child) {
    timagerlayer& imager = Run.Imager();
    std::string attachment = imager.IOParams().FileName;
    if (!HasOwnFile(attachment)) {
      const std::string cache = CacheFolder();
      ForceDirectories(cache);
      attachment = cache + "kavrtmp.jpg";
      // A copy: the image keeps its own name in its record.
      const std::string own = imager.IOParams().FileName;
      imager.SaveToFileJpeg(attachment);
      imager.IOParams().FileName = own;
      if (imager.IO()->Aborted()) throw ECommandError("Das Bild konnte nicht unter \"" + attachment + "\" gespeichert werden");
    }
    TStringList files;
    files.Add(attachment);
    if (!Run.Form.sendmail(to, subject, text, files)) throw ECommandError("Es konnte kein E-Mail-Programm gestartet werden");
  }
  if (TFormcatalog* catalog = Run.Form.getcatalog()) {
    TStringList files;
    files.Assign(&catalog->catalogframe1->Files());
    if (!Run.Form.sendmail(to, subject, text, files)) throw ECommandError("Es konnte kein E-Mail-Programm gestartet werden");
  }
}

void cmdNewClipboard(TCommandRun& Run) {
  Run.RunLine("HIDDEN NEWIMAGE");
  Run.RunLine("HIDDEN PASTE");
  Run.Form.fensteranpassen(&Run.Form, &Run.Child());
}

void cmdScreenshot(TCommandRun& Run) {
  const HWND desktop = GetDesktopWindow();
  const HWND window = HWND(uint32_t(Run.Int("Window", int32_t(desktop))));
  const TRect r = GetWindowRect(window);
  TBitmap shot;
  int32_t xw = 0, xh = 0;
  if ((r.Width() <= 0 || r.Height() <= 0) && window != desktop && ScreenWindowSize(uint32_t(window), xw, xh)) {
    // A window of another program, as the window picker lists them: read at
    // its current size through the screen source.
    RaiseScreenWindow(uint32_t(window));
    std::string err;
    if (!GrabSingleFrame(ScreenCaptureDevice(uint32_t(window)), shot, &err))
      throw ECommandError("Der Bildschirm konnte nicht gelesen werden: " + err);
  } else {
    if (r.Width() <= 0 || r.Height() <= 0) throw ECommandError("Es gibt kein Fenster für einen Schnappschuss");
    shot.AllocateForOverwrite(r.Width(), r.Height(), pf24bit);
    if (window != desktop) BringWindowToTop(window);
    Application->Minimize();
    Application->ProcessMessages();
    if (!IsWindowVisible(window)) {
      Application->Restore();
      Application->ProcessMessages();
    }
    PauseWithMessages(500);
    const bool grabbed = GrabWindow(window, shot);
    if (window != desktop) Run.Form.BringToFront();
    if (!grabbed) {
      Application->Restore();
      throw ECommandError("Der Bildschirm konnte nicht gelesen werden");
    }
  }
  Run.RunLine("HIDDEN NEWIMAGE" + WriteParamInt("Width", shot.Width()) + WriteParamInt("Height", shot.Height()) +
              WriteParamInt("Resolution", Screen->PixelsPerInch()));
  timagerlayer& imager = Run.Imager();
  imager.Bitmap().Assign(&shot);
  imager.Update();
  imager.Fit();
  Application->Restore();
}

void cmdQuit(TCommandRun& Run) { Run.Form.Close(); }

void cmdSlideShow(TCommandRun& Run) { RunSlideShowLine(&Run.Form, Run.Line); }
void cmdShowMeshDemo(TCommandRun& Run) { RunShowMeshDemo(Run); }
void cmdMosaic(TCommandRun& Run) { BuildMosaic(Run.Form, Run.Line); }
void cmdCopyNumber(TCommandRun& Run) { RunCopyNumber(Run.Form, Run.Line); }
void cmdStuckPixel(TCommandRun& Run) { RunStuckPixel(Run); }
void cmdJpgTrafo(TCommandRun& Run) { Tlosslessjpgform::RunJpgTrafo(Run.Form, Run.Line); }

}  // namespace kv

// Scanner selection, acquisition and options.
#include <memory>
#include <string>
#include <vector>

#include "app/catalog/image_source_options.h"
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "imaging/formats/twain_params.h"
#include "platform/ui/select_source_dialog.h"

namespace kv {

namespace {

// The main window's hidden image control that scans land in.
timagerlayer& Scanner(const TCommandRun& Run) {
  if (!Run.Form.imagerlayer1) throw ECommandError("Es gibt kein Bildelement für den Scanner");
  return *Run.Form.imagerlayer1;
}

// The scanner last chosen by the user; SCAN takes it as the default source,
// as a source manager remembers the choice. Empty: the first scanner.
std::string& ChosenScanner() {
  static std::string name;
  return name;
}

int32_t DefaultSource(TIMTWainParams& P) {
  const std::vector<TW_IDENTITY>& list = P.SourceList();
  if (!ChosenScanner().empty())
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i].ProductName == ChosenScanner()) return int32_t(i);
  return P.GetDefaultSourceIndex();
}

}  // namespace

void cmdChooseScanner(TCommandRun& Run) {
  timagerlayer& scanner = Scanner(Run);
  TIMTWainParams& p = scanner.TWainParams();
  const std::vector<TW_IDENTITY>& list = p.SourceList();
  const int32_t previous = p.SelectedSource();
  const std::string current =
      previous >= 0 && size_t(previous) < list.size() ? list[size_t(previous)].ProductName : std::string();
  SetSelectSourceHook([current](const std::vector<std::string>& Names, std::string& Chosen) {
    return SelectSourceDialog(Names, Chosen, current);
  });
  if (scanner.SelectAcquireSource()) {
    const int32_t chosen = p.SelectedSource();
    if (chosen >= 0 && size_t(chosen) < p.SourceList().size())
      ChosenScanner() = p.SourceList()[size_t(chosen)].ProductName;
  } else if (p.SelectedSource() != previous) {
    p.SetSelectedSource(previous);  // a cancelled choice changes nothing
  }
}

void cmdScan(TCommandRun& Run) {
  timagerlayer& scanner = Scanner(Run);
  TIMTWainParams& p = scanner.TWainParams();
  // Without any scanner the acquisition fails as a cancelled one does.
  if (p.SourceList().empty()) {
    Run.Result = false;
    return;
  }
  p.SetSelectedSource(DefaultSource(p));
  p.ApplyCapabilities();
  const bool noDialog = Run.Bool("NoDialog", false);
  p.VisibleDialog = !noDialog;
  p.BufferedTransfer = false;
  Tform1& form = Run.Form;
  scanner.IO()->OnProgress = [&form](TObject* Sender, int32_t Percent) { form.onprogressany(Sender, Percent); };
  if (noDialog) {
    p.PixelType().SetCurrentValue(Run.Int("pixeltype", p.PixelType().CurrentValue()));
    const double dpix = Run.Float("dpix", p.XResolution().CurrentValue());
    const double dpiy = Run.Float("dpiy", p.YResolution().CurrentValue());
    // The frame is given in pixels and kept in inches: a resolution of 0 has no frame.
    if (!(dpix > 0) || !(dpiy > 0)) throw ECommandError("Die Scan-Auflösung muss größer als 0 sein");
    p.XResolution().SetCurrentValue(dpix);
    p.YResolution().SetCurrentValue(dpiy);
    p.UseAcquireFrame = true;
    const double left = Run.Float("offsetx", 0) / dpix;
    const double top = Run.Float("offsety", 0) / dpiy;
    p.SetAcquireFrame(0, left);
    p.SetAcquireFrame(1, top);
    p.SetAcquireFrame(2, left + Run.Float("sizex", 0) / dpix);
    p.SetAcquireFrame(3, top + Run.Float("sizey", 0) / dpiy);
  }
  bool got = false;
  try {
    got = scanner.Acquire();
  } catch (...) {
    scanner.IO()->OnProgress = nullptr;
    throw;
  }
  scanner.IO()->OnProgress = nullptr;
  if (!got) {
    Run.Result = false;
    return;
  }
  TBitmap& scanned = scanner.Bitmap();
  if (scanned.PixelFormat() != pf24bit) scanner.ConvertTo24Bit();
  Run.RunLine("HIDDEN NewImage" + WriteParamInt("Width", scanned.Width()) +
              WriteParamInt("Height", scanned.Height()) + WriteParamInt("Resolution", scanner.IOParams().DpiX));
  timagerlayer& target = Run.Imager();
  target.Bitmap().Assign(&scanned);
  target.Update();
  scanned.SetSize(3, 3);
  scanner.Update();
}

void cmdScanOptions(TCommandRun& Run) {
  TIMTWainParams* twain = nullptr;
  if (Run.Form.imagerlayer1) {
    TIMTWainParams& p = Run.Form.imagerlayer1->TWainParams();
    // Without a scanner the dialog still edits the stored options; with one
    // it reads the scanner SCAN would use.
    if (!p.SourceList().empty()) {
      p.SetSelectedSource(DefaultSource(p));
      twain = &p;
    }
  }
  auto dlg = std::make_unique<Timagesourceopform>(nullptr, 3, Run.Form.StoredString("Scanoptions"), twain);
  dlg->SetScanButton(Run.Bool("ScanButton", false));
  if (dlg->ShowModal() == mrOk)
    Run.Form.SetStoredString("Scanoptions", dlg->GetParams());
  else
    Run.Result = false;
}

}  // namespace kv

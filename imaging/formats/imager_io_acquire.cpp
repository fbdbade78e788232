// Scanner acquisition through the I/O component: one page into the target
// bitmap, or the choice of the scanner to use.
#include "imaging/formats/imager_io.h"

namespace kv {

bool TImagerIO::Acquire() {
  FAborted = false;
  FAbortReason.clear();
  TBitmap* bmp = Bitmap();
  if (!bmp) {
    Fail("Es ist kein Bild zum Scannen da");
    return false;
  }
  TProgressRec progress = MakeProgress(true);
  TIMTWainParams& p = *FTWainParams;
  TTwainManager& mgr = TwainManager();
  const bool got = TwainAcquire(bmp, p.VisibleDialog, p, nullptr, mgr, progress, *FParams);
  if (got) {
    if (FAutoAdjustDPI) AdjustDpi();
    if (TIMIOViewLink* view = IOView()) view->SetDpi(FParams->DpiX, FParams->DpiY);
  } else if (!FAborted || FAbortReason.empty()) {
    // The user's cancel leaves the flag set without a reason; a failure says why.
    Fail(mgr.ConditionText.empty() ? std::string("Es wurde kein Bild eingelesen") : mgr.ConditionText);
  }
  RefreshTarget();
  return got;
}

bool TImagerIO::SelectAcquireSource() {
  std::string name;
  const bool ok = SelectTwainSourceDialog(name, TwainManager());
  FTWainParams->SelectSourceByName(name);
  return ok;
}

}  // namespace kv

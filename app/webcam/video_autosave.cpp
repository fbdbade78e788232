// Frames the grabber saves rather than opens.
#include "app/layer/imager_layer.h"
#include "app/webcam/video_form.h"
#include "app/workflows/auto_save.h"
#include "components/controls/kv_spin.h"
#include "platform/ui/dialogs.h"

namespace kv {

void Tvideoform::SaveGrabbedFrame() {
  int32_t number = int32_t(autosaveframe1->KvSpinEdit6->Value());
  try {
    AutoSaveImage(*frameie, autosaveframe1->GetParams(), number);
  } catch (const EAutoSaveError& E) {
    MessageDlg(E.Message(), mtWarning, TMsgDlgButtons{mbOK}, 0);
    return;
  }
  // The next frame goes on from the advanced number.
  autosaveframe1->KvSpinEdit6->SetValue(number);
}

}  // namespace kv

// Whole-image commands: colours, histogram, duplicate, channels, clear, wallpaper, selection.
#include <vector>

#include "app/child/child_window.h"
#include "app/filters/colour_models.h"
#include "app/helpers/folder_helpers.h"
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/histogram_form.h"
#include "app/main/main_form.h"
#include "imaging/processing/colour_convert.h"
#include "imaging/processing/imager_proc.h"
#include "imaging/views/histogram_box.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

namespace kv {

void cmdNumberColors(TCommandRun& Run) {
  const int32_t count = Run.Imager().Proc()->CalcNumColors();
  ShowMessage("Das Bild hat " + IntToStr(count) + " unterschiedliche Farben.");
}

void cmdShowHistogram(TCommandRun& Run) {
  timagerlayer& imager = Run.Imager();
  TfHistogram dialog(nullptr);
  dialog.ImagerProc1->SetAttachedImager(&imager);
  dialog.HistogramBox1->Update();
  dialog.ShowModal();
}

void cmdDuplicate(TCommandRun& Run) {
  Run.Child();
  if (!Run.Form.duplicate()) throw ECommandError("Das aktive Fenster enthält kein Bild zum Duplizieren");
}

void cmdSeperateChannels(TCommandRun& Run) {
  const TColorModel model = ColorModelIndex(Run.Str("Model", ""));
  Tchild& source = Run.Child();
  timagerlayer& sourceImager = Run.Imager();
  TBitmap& src = sourceImager.Bitmap();
  if (src.PixelFormat() != pf24bit) throw ECommandError("Kanäle lassen sich nur aus 24-Bit-Bildern trennen");
  const std::string caption = source.Caption();
  const int32_t channels = ColorModelChannelCount(model);

  std::vector<Tchild*> targets;
  for (int32_t c = 0; c < channels; ++c) {
    Tchild* copy = Run.Form.duplicate();
    if (!copy || !copy->imager1) throw ECommandError("Das Kanalfenster konnte nicht angelegt werden");
    copy->SetCaption(caption + "_" + ColorModelChannelLetter(model, c));
    targets.push_back(copy);
  }
  targets.front()->BringToFront();
  if (Application) Application->ProcessMessages();

  std::vector<TBitmap*> dst;
  for (Tchild* t : targets) {
    TBitmap& b = t->imager1->Bitmap();
    // A duplicate is made of the active window, which need not be the target
    // (an override child): the rows below must match the source's.
    if (b.Width() != src.Width() || b.Height() != src.Height() || b.PixelFormat() != pf24bit)
      t->imager1->Assign(&sourceImager);
    dst.push_back(&t->imager1->Bitmap());
  }
  const int32_t width = src.Width(), height = src.Height();
  std::vector<TBGRPixel*> out(dst.size());
  for (int32_t y = 0; y < height; ++y) {
    if (const TIMProgressEvent& progress = sourceImager.GetOnProgress()) progress(&sourceImager, y * 100 / height);
    const auto* in = static_cast<const TBGRPixel*>(src.ScanLine(y));
    for (size_t c = 0; c < dst.size(); ++c) out[c] = static_cast<TBGRPixel*>(dst[c]->ScanLine(y));
    for (int32_t x = 0; x < width; ++x) {
      const TModelValues v = NormalizeModelValues(ColorToModel(model, PackedColour(in[x])), model);
      for (int32_t c = 0; c < channels; ++c) {
        const uint8_t grey = ClampByte(Round32(v[size_t(c)] * 255));
        out[size_t(c)][x] = TBGRPixel{grey, grey, grey};
      }
    }
  }
  for (Tchild* t : targets) t->imager1->PictureEdited();
}

void cmdClear(TCommandRun& Run) {
  timagerlayer& imager = Run.Imager();
  Run.UndoPoint();
  imager.Clear();
}

void cmdWallpaper(TCommandRun& Run) {
  const int32_t mode = Run.Int("Mode", 0);
  Run.Child();
  Run.Form.ChangeWallPaper(IncludeBackslash(WindowsFolder()) + "kavrelin.bmp", mode);
}

void cmdDeselect(TCommandRun& Run) { Run.Imager().DeSelect(); }

}  // namespace kv

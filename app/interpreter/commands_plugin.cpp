// Filter plug-ins: RUNPLUGIN runs a plug-in file through harlok.so on a copy of
// the current image, LASTFILTER repeats the last run with the parameters the
// plug-in kept.
#include <algorithm>
#include <array>
#include <cstring>

#include "app/filters/plugin_binding.h"
#include "app/filters/plugin_binding_colour.h"
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "imaging/model/mask.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/actions.h"
#include "platform/ui/application.h"

namespace kv {

namespace {

constexpr uint32_t PluginForeground = 0x000000FF;  // red
constexpr uint32_t PluginBackground = 0x0000FF00;  // green
constexpr int32_t DefaultPluginDpi = 300;

void EnableLastFilter(Tform1& Form, bool Enabled) {
  TComponent* c = Form.FindComponent("lastfilter");
  if (!c && Form.ActionList1) c = Form.ActionList1->FindComponent("lastfilter");
  if (auto* action = dynamic_cast<TCustomAction*>(c)) action->SetEnabled(Enabled);
}

// A single polygon of four corners (a fifth closing one allowed) whose sides run along the axes.
bool IsAxisRectangle(const TPoint* Points, int32_t Count) {
  if (!Points) return false;
  if (Count == 5 && Points[4] == Points[0]) Count = 4;
  if (Count != 4) return false;
  for (int32_t i = 0; i < 4; ++i) {
    const TPoint& a = Points[i];
    const TPoint& b = Points[(i + 1) % 4];
    if (a.X == kPolygonSeparator || ((a.X == b.X) == (a.Y == b.Y))) return false;
  }
  return true;
}

void RunPlugin(TCommandRun& Run, int32_t Action) {
  const std::string fileName = Run.Str("FileName", "");
  Run.UndoPoint();
  const TRun8BFPlugIn entry = PluginHostEntry();
  if (!entry) throw ECommandError("Die Plug-in-Bibliothek harlok.so konnte nicht geladen werden");
  timagerlayer& imager = Run.Imager();
  TBitmap& image = imager.Bitmap();
  if (image.Empty()) throw ECommandError("Das Bild ist leer");
  // The library works on 24-bit pixels only.
  if (image.PixelFormat() != pf24bit) imager.ConvertTo24Bit();

  TBitmap work;
  work.Assign(&image);
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  TIMMask* mask = nullptr;
  const TPoint* poly = nullptr;
  const bool selected = imager.Proc()->GetSelectionInfo(x1, y1, x2, y2, mask, polyCount, poly);
  // The library is handed no rectangle reaching past the picture.
  x1 = std::clamp(x1, 0, work.Width());
  x2 = std::clamp(x2, x1, work.Width());
  y1 = std::clamp(y1, 0, work.Height());
  y2 = std::clamp(y2, y1, work.Height());

  // Our rows run top-down: a negative height says so.
  THarlokBitmap bitmap{work.Width(), -work.Height(), work.RowBytes(), 24, work.Bits()};
  std::array<char, PluginTextBufferSize> name{}, category{}, error{};
  FilterCallBlock block;
  block.ParentWindow = reinterpret_cast<void*>(Run.Form.Handle());
  block.Bitmap = &bitmap;
  block.HorzResolution = imager.DpiX() ? imager.DpiX() : DefaultPluginDpi;
  block.VertResolution = imager.DpiY() ? imager.DpiY() : DefaultPluginDpi;
  block.FilterTop = y1;
  block.FilterLeft = x1;
  block.FilterBottom = y2;
  block.FilterRight = x2;
  block.NameBuffer = name.data();
  block.CategoryBuffer = category.data();
  block.ForegroundColor = PluginForeground;
  block.BackgroundColor = PluginBackground;
  block.AbortTest = &PluginAbortTest;
  block.Progress = &PluginProgress;
  block.ChooseColor = &PluginPickColor;
  block.ConvertColor = &PluginConvertColor;
  // Not read for a run otherwise; it lets a file that does not load be reported with the reason.
  block.ErrorText = error.data();

  if (Application) Application->ProcessMessages();
  entry(fileName.c_str(), Action, &block);
  EnableLastFilter(Run.Form, block.Result == hrOk);
  if (block.Result == hrOk) {
    if (selected && !IsAxisRectangle(poly, polyCount) && mask && !mask->IsEmpty())
      mask->CopyThroughMask(image, work, false, false);
    else
      image.TakeOver(work);
    imager.Proc()->RefreshTarget();
  }
  imager.Update();

  // A file that never ran must not pass for a filtered image. Of the other
  // failures, a cancelled dialog the plug-in has shown itself; a text the library
  // hands back (the plug-in's own report, or damage it did outside its buffers)
  // is for the user to read.
  const std::string reason(error.data(), strnlen(error.data(), error.size() - 1));
  if (block.Result == hrCannotLoad)
    throw ECommandError("Das Plug-in " + fileName + " konnte nicht geladen werden" + (reason.empty() ? "" : ": " + reason));
  if (block.Result < 0 && !reason.empty()) throw ECommandError("Das Plug-in " + fileName + " ist gescheitert: " + reason);
  if (Action == haRepeat && block.Result == hrNothingToRepeat)
    throw ECommandError("Es gibt keinen Plug-in-Aufruf zum Wiederholen");
}

}  // namespace

void cmdRunPlugin(TCommandRun& Run) { RunPlugin(Run, haRun); }
void cmdLastFilter(TCommandRun& Run) { RunPlugin(Run, haRepeat); }

}  // namespace kv

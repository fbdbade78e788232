#include "app/tools/tool_files.h"

#include <algorithm>
#include <filesystem>

#include "app/catalog/image_source.h"
#include "app/interpreter/interpreter.h"
#include "app/params/param_strings.h"
#include "imaging/formats/imager_io.h"
#include "imaging/processing/convert_bits.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"

namespace kv {

namespace {

std::string CannotLoad(const std::string& FileName) { return "Kann Datei " + FileName + " nicht laden."; }

}  // namespace

void LoadToolPicture(const std::string& FileName, TBitmap& Bitmap, int32_t* Dpi) {
  TBitmap read;
  TImagerIO io(nullptr);
  io.AttachBitmap(&read);
  try {
    io.LoadFromFileByExtension(FileName);
  } catch (const Exception&) {
    throw ECommandError(CannotLoad(FileName));
  }
  if (io.Aborted() || read.Empty()) throw ECommandError(CannotLoad(FileName));
  if (Dpi) *Dpi = io.Params().DpiX;
  if (read.PixelFormat() == pf24bit) {
    Bitmap.TakeOver(read);
    return;
  }
  TBitmap wide;
  TProgressRec none;
  ConvertTo24BitRows(read, wide, none);
  Bitmap.TakeOver(wide);
}

void SaveToolPicture(const std::string& FileName, const TBitmap& Bitmap, int32_t Dpi) {
  TBitmap copy;
  copy.Assign(&Bitmap);
  TImagerIO io(nullptr);
  io.AttachBitmap(&copy);
  if (Dpi > 0) {
    io.Params().DpiX = Dpi;
    io.Params().DpiY = Dpi;
  }
  try {
    io.SaveToFileByExtension(FileName);
  } catch (const Exception& e) {
    throw ECommandError("Kann " + FileName + " nicht speichern: " + e.Message());
  }
  if (io.Aborted()) throw ECommandError("Kann " + FileName + " nicht speichern: " + io.AbortReason());
}

std::vector<std::string> ListFolderImageSource(const std::string& Params) {
  if (ReadParamInt(Params, "SourceMode", -1) != 1) return {};
  return ListImageSource(Params);
}

}  // namespace kv

#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"

namespace kv {

Tchild& NewestChild(Tform1& Form) {
  const auto& order = Form.MDIChildrenInCreationOrder();
  for (auto it = order.rbegin(); it != order.rend(); ++it)
    if (auto* c = dynamic_cast<Tchild*>(*it); c && c->imager1) return *c;
  throw ECommandError("Das Bildfenster konnte nicht angelegt werden");
}

timagerlayer& NewestImage(Tform1& Form) { return *NewestChild(Form).imager1; }

}  // namespace kv

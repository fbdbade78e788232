#include "app/tools/tool_files.h"

#include <algorithm>
#include <filesystem>

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

bool PictureExtension(const std::string& Name) {
  static const char* const kinds[] = {".jpg", ".jpeg", ".jpe", ".png", ".bmp", ".pcx", ".gif", ".tif",
                                      ".tiff", ".tga", ".wmf", ".emf", ".ico", ".cur", ".ppm", ".pgm", ".pbm", ".pnm"};
  const std::string ext = LowerCase(ExtractFileExt(Name));
  return std::any_of(std::begin(kinds), std::end(kinds), [&](const char* k) { return ext == k; });
}

void ListFolder(const std::filesystem::path& Folder, bool Subdirs, std::vector<std::string>& Out) {
  std::error_code ec;
  std::vector<std::filesystem::directory_entry> entries;
  for (std::filesystem::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
  std::sort(entries.begin(), entries.end(),
            [](const auto& A, const auto& B) { return A.path().filename().string() < B.path().filename().string(); });
  for (const auto& e : entries) {
    const std::string name = e.path().filename().string();
    if (e.is_directory(ec)) {
      if (Subdirs && !name.empty() && name[0] != '.') ListFolder(e.path(), Subdirs, Out);
      continue;
    }
    if (PictureExtension(name)) Out.push_back(e.path().string());
  }
}

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
    throw ECommandError("The picture could not be saved to \"" + FileName + "\": " + e.Message());
  }
  if (io.Aborted()) throw ECommandError("The picture could not be saved to \"" + FileName + "\"");
}

std::vector<std::string> ListFolderImageSource(const std::string& Params) {
  std::vector<std::string> files;
  if (ReadParamInt(Params, "SourceMode", -1) != 1) return files;
  std::string dir = ReadParamString(Params, "Dir", "");
  if (dir.empty()) return files;
  // Relative folders are taken from the program folder, as the sources of the browser are.
  if (dir[0] != '/') dir = ProgramFolder() + dir;
  ListFolder(dir, ReadParamBool(Params, "Subdirs", false), files);
  return files;
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
  throw ECommandError("Cannot create an image window");
}

timagerlayer& NewestImage(Tform1& Form) { return *NewestChild(Form).imager1; }

}  // namespace kv

// Clipboard, options and data hidden in pixels.
#include <cstring>
#include <string>
#include <vector>

#include "app/catalog/thumbnail_cache.h"
#include "app/dialogs/options_dialog.h"
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "imaging/processing/hidden_data.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/streams.h"
#include "platform/ui/dialogs.h"

namespace kv {

namespace {

// 65090
const char* const kDataTooLarge = "Fehler, Daten sind zu groß";
// 65119
const char* const kNoDataFound =
    "Keine Daten gefunden\rBeachten Sie bitte, daß die Grafik nicht mit Qualitätsverlust-Grafikformaten wie "
    "z.B. JPG gespeichert werden darf,\rda dort die Farbinformationen zwecks Kompression verändert werden. "
    "Benutzen Sie hierfür lieber z.B. das BMP oder PCX-Format.";

// The whole file; raises when it cannot be read, so a missing file is never
// hidden as no data at all.
std::vector<uint8_t> ReadWholeFile(const std::string& FileName) {
  if (!FileExists(FileName)) throw ECommandError("Die Datei \"" + FileName + "\" existiert nicht");
  TFileStream in(FileName, fmOpenRead);
  const int64_t size = in.Size();
  if (size > INT32_MAX) throw ECommandError("Die Datei \"" + FileName + "\" ist zu groß");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (size > 0) in.ReadBuffer(bytes.data(), int32_t(size));
  return bytes;
}

// The hidden bytes of the current image. A header whose length is negative
// or larger than the picture can hold is not believed: it would ask for more
// bytes than there are.
std::vector<uint8_t> ReadHiddenBytes(timagerlayer& Imager) {
  if (!HiddenDataPresent(Imager.Bitmap())) throw ECommandError("Das Bild enthält keine versteckten Daten");
  TImagerProc& proc = *Imager.Proc();
  const int32_t n = proc.ReadHiddenData(nullptr, 0);
  std::vector<uint8_t> bytes(size_t(n > 0 ? n : 0));
  if (n > 0) proc.ReadHiddenData(bytes.data(), n);
  return bytes;
}

// Every failure while reading hidden data tells the user first, then ends the command.
template <typename F>
void ReadingHidden(F&& Read) {
  try {
    Read();
  } catch (...) {
    ShowMessage(kNoDataFound);
    throw;
  }
}

}  // namespace

void cmdCut(TCommandRun& Run) {
  Run.UndoPoint();
  Run.Imager().SelCutToClip();
}

void cmdCrop(TCommandRun& Run) {
  Run.UndoPoint();
  Run.Imager().CropSel();
}

void cmdCopy(TCommandRun& Run) { Run.Imager().SelCopyToClip(); }

void cmdPaste(TCommandRun& Run) {
  Run.UndoPoint();
  timagerlayer& imager = Run.Imager();
  if (imager.SelectionExists()) imager.SelPasteFromClipStretch();
  else imager.PasteFromClipboard();
}

void cmdOptions(TCommandRun& Run) {
  ShowOptionsDialog(Run.Form);
  tcache().Clear();  // thumbnails of the old size and information go
}

void cmdWriteText(TCommandRun& Run) {
  const std::string text = Run.Str("Text", "");
  Run.UndoPoint();
  timagerlayer& imager = Run.Imager();
  if (int64_t(text.size()) > imager.Proc()->GetHiddenDataSpace()) {
    ShowMessage(kDataTooLarge);
    return;
  }
  imager.Proc()->WriteHiddenText(text);
}

void cmdReadText(TCommandRun& Run) {
  timagerlayer& imager = Run.Imager();
  std::string text;
  ReadingHidden([&] {
    const std::vector<uint8_t> bytes = ReadHiddenBytes(imager);
    text.assign(bytes.begin(), bytes.end());
  });
  ShowMessage(text);
}

void cmdWriteData(TCommandRun& Run) {
  const std::string fileName = Run.Str("Filename", "");
  timagerlayer& imager = Run.Imager();
  // Read before the undo point: a file that is not there changes nothing.
  const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
  Run.UndoPoint();
  if (int64_t(bytes.size()) > imager.Proc()->GetHiddenDataSpace()) {
    ShowMessage(kDataTooLarge);
    return;
  }
  imager.Proc()->WriteHiddenData(bytes.data(), int32_t(bytes.size()));
}

void cmdReadData(TCommandRun& Run) {
  const std::string fileName = Run.Str("Filename", "");
  timagerlayer& imager = Run.Imager();
  ReadingHidden([&] {
    const std::vector<uint8_t> bytes = ReadHiddenBytes(imager);
    TFileStream out(fileName, fmCreate);
    if (!bytes.empty()) out.WriteBuffer(bytes.data(), int32_t(bytes.size()));
  });
}

}  // namespace kv

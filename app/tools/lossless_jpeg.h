// Mirroring and rotating a JPEG file in place on its coefficients: the
// executor of the JPGTRAFO line and the dialog that builds that line.
#pragma once
#include <cstdint>
#include <string>

#include "app/tools/tool_dialog.h"

namespace kv {

class Tform1;
class TEdit;
class TCheckBox;
class TComboBox;

// Messages of the tool.
inline constexpr const char* kJpgOpenFailed = "Fehler: Konnte Datei nicht öffnen";
inline constexpr const char* kJpgNotJpeg = "Fehler: Die Datei ist keine JPG-Datei";
inline constexpr const char* kJpgBadTrafo = "Fehler: Unbekannte Transformation";
inline constexpr const char* kJpgDropsEdges =
    "Fehler: Die Bildgröße ist kein Vielfaches der Blockgröße; die Transformation würde den Rand abschneiden";
inline constexpr const char* kJpgFailed = "Fehler: Die Transformation ist fehlgeschlagen";

class Tlosslessjpgform : public TToolDialog {
 public:
  // Without WithFile the dialog has no file field: its caller names the files.
  explicit Tlosslessjpgform(TComponent* AOwner, bool WithFile = true);
  TEdit* FileEdit = nullptr;
  TComboBox* TrafoBox = nullptr;
  TCheckBox* KeepDateBox = nullptr;
  TCheckBox* OpenBox = nullptr;
  TCheckBox* TrimBox = nullptr;

  // The transform code of a list entry (0-based): index + 2, plus 2 more above 2.
  static int32_t TrafoOfEntry(int32_t Index);
  // The settings part: keyword and parameters without the file.
  std::string SettingsLine() const;

  // Runs one JPGTRAFO line; false (after a message) when the file was left alone.
  static bool RunJpgTrafo(Tform1& Form, const std::string& Line);
};

// The dialog; on OK the main window runs its line.
void ShowLosslessJpegDialog(Tform1& Form);

}  // namespace kv

// The stuck-pixel list dialog and the STUCKPIXEL line it builds.
#pragma once
#include <string>

#include "app/tools/tool_dialog.h"

namespace kv {

class Tform1;
class TMemo;
class TEdit;
class TCommandRun;

inline constexpr const char* kTooManyPixels =
    "Abgebrochen, da zu viele Pixel gefunden wurden.\rEntweder Toleranzwert erhöhen oder maximale Anzahl erhöhen";

class Tdefpixform : public TToolDialog {
 public:
  Tdefpixform(TComponent* AOwner, Tform1* AMain);
  TMemo* Memo1 = nullptr;
  TEdit* KvSpinEdit11 = nullptr;  // "Toleranz"
  TEdit* KvSpinEdit1 = nullptr;   // "Max Pixel"
  // Fills the memo from a dark exposure; false when the file could not be read.
  bool ReadDarkFrame(const std::string& FileName);

 private:
  Tform1* FMain;
};

// STUCKPIXEL: an undo point, then every listed pixel repaired.
void RunStuckPixel(TCommandRun& Run);
void ShowStuckPixelDialog(Tform1& Form);

}  // namespace kv

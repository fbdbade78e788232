// The options of an image source ("Optionen"): for catalogs and folders the
// sort keys and the file kinds shown; for the scanner the options used when
// scanning without the scanner's own dialog.
#pragma once
#include <cstdint>
#include <string>

#include "platform/ui/forms.h"

namespace kv {

class mycombobox;
class TButton;
class TCheckBox;
class TCheckListBox;
class TGroupBox;
class Tconverterframe;
class TLabel;
class TPanel;
class TIMTWainParams;
class Tsortframe;

// The colour kinds of the scanner, in the order of "pixeltype".
inline constexpr const char* kScanPixelTypes[] = {"Schwarz / Weiß (1 bit)", "Graustufen (8 bit)", "Farbe (24 bit)"};

class Timagesourceopform : public TForm {
 public:
  // Mode is the source kind: 0 and 1 show the sort and file kinds, 3 the
  // scanner options. Params is the text edited (the options text, or the
  // stored scanner options). Twain is the scanner asked for its values, or
  // nullptr when there is none.
  Timagesourceopform(TComponent* AOwner, int32_t Mode, const std::string& Params, TIMTWainParams* Twain = nullptr);

  // First panel.
  TPanel* Panel1 = nullptr;
  Tsortframe* sortframe1 = nullptr;
  TLabel* KindsLabel = nullptr;  // "Folgende Typen darstellen"
  TCheckListBox* FileKinds = nullptr;

  // Second panel.
  TPanel* Panel2 = nullptr;
  TCheckBox* CheckBox1 = nullptr;  // "Kein Scandialog, Scanoptionen manuell setzen"
  TGroupBox* GroupBox1 = nullptr;  // "Scanoptionen"
  mycombobox* PixelTypeBox = nullptr;
  mycombobox* DpiXBox = nullptr;
  mycombobox* DpiYBox = nullptr;
  // Distances from the top left corner and size: length frames that keep
  // pixels at the chosen resolution and show them in the unit chosen.
  Tconverterframe* offsetxframe = nullptr;  // "Links"
  Tconverterframe* offsetyframe = nullptr;  // "Oben"
  Tconverterframe* sizexframe = nullptr;    // "Breite"
  Tconverterframe* sizeyframe = nullptr;    // "Höhe"
  TButton* ReadButton = nullptr;      // "Werte vom Scanner lesen"
  TButton* MaxButton = nullptr;       // "Maxmimale Größe"

  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;

  int32_t Mode() const { return FMode; }
  // The OK button reads "Scan": the dialog is asked between two sheets.
  void SetScanButton(bool Value);

  // Kinds 0 and 1: the sort keys followed by "Filetypes". Kind 3: the
  // scanner options, empty unless they are set by hand.
  std::string GetParams() const;
  int32_t Filetypes() const;

  // Fills the scanner values from the scanner: colour kind, resolution lists
  // and values, and the frame's place and size (its full size when it has none).
  void ReadScannerValues();
  // Both distances 0 and the size the scanner's physical width and height.
  void MaxSize();
  void CheckBox1Click(TObject* Sender);
  // A resolution was chosen: the distance and size fields take it.
  void ResolutionChange(TObject* Sender);

 private:
  void SetScannerParams(const std::string& Params);
  void ApplyParams();
  double DpiX() const;
  double DpiY() const;
  int32_t FMode;
  TIMTWainParams* FTwain;
  std::string FParams;
};

// The image-source options dialog on the options text of a frame; the new
// text on OK, the old one otherwise.
std::string EditImageSourceOptions(int32_t Mode, const std::string& Options);

}  // namespace kv

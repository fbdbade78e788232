// The slide-show setup window "Optionen für Diashow": its controls make the
// slide-show command line, and a command line sets them back. From here a
// show runs, is saved as a batch, or is exported.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/workflows/slide_settings.h"
#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TCheckBox;
class TCheckListBox;
class TComboBox;
class TEdit;
class TFilenameEdit;
class TFontDialog;
class TKvSpinEdit;
class TLabel;
class Tdirectionframe;
class TimageSourceframe;
class tformstorage1;

class Tslideform : public TForm {
 public:
  explicit Tslideform(TComponent* AOwner);

  // Display.
  TComboBox* ImageSizeBox = nullptr;  // "Bildgröße"
  Tdirectionframe* directionframe1 = nullptr;  // the anchor
  TComboBox* FilterBox = nullptr;
  TCheckBox* EffectsCheck = nullptr;  // "Überblendungseffekte"
  TKvSpinEdit* EffectTimeEdit = nullptr;
  TCheckBox* SoundRadio[3] = {};  // "Kein Sound", "Hintergrundmusik abspielen:", "Tonkommentar ..."
  TFilenameEdit* SoundFileEdit = nullptr;
  TEdit* ColorEdit = nullptr;     // the background colour as six hexadecimal digits, red first
  TButton* ColorButton = nullptr;
  TCheckListBox* InfoList = nullptr;  // "Zusätzliche Informationen"
  TButton* FontButton = nullptr;      // "Schrift-Optionen..."
  TKvSpinEdit* FontSizeEdit = nullptr;
  TFontDialog* FontDialog1 = nullptr;
  // Window.
  TCheckBox* CanvasRadio[3] = {};  // "Vollbild", "Bildgröße", "Größe festlegen:"
  TKvSpinEdit* WidthEdit = nullptr;
  TKvSpinEdit* HeightEdit = nullptr;
  TCheckBox* NoBorderCheck = nullptr;  // "kein Fensterrahmen"
  TCheckBox* HideMouseCheck = nullptr;
  TCheckBox* MoveCheck = nullptr;
  TCheckBox* IntervalCheck = nullptr;  // "nächstes Bild nach"
  TKvSpinEdit* IntervalEdit = nullptr;
  TCheckBox* ForeverCheck = nullptr;  // "nach Beenden wiederhohlen"
  // Pictures: a catalog or a folder, with the file kinds and the order.
  TimageSourceframe* imageSourceframe1 = nullptr;

  TButton* ShowButton = nullptr;  // "Diashow"
  TButton* CDButton = nullptr;
  TButton* ScreenSaverButton = nullptr;
  TButton* WallpaperButton = nullptr;
  TButton* ConfigureButton = nullptr;
  TButton* WebButton = nullptr;
  TButton* SaveButton = nullptr;
  TButton* HelpButton = nullptr;
  TButton* CloseButton = nullptr;

  std::string LastCommand;
  // A catalog the window starts with, over what it remembers.
  std::string PresetCatalog;
  void ApplyPreset();

  TSlideSettings Settings() const;
  void SetSettings(const TSlideSettings& S);
  std::string getSlideShowOKValues() const;
  std::string getCmdWithoutSourcesound() const;
  std::string getcmdstring() const;

  void updateall();
  void DiashowClick();
  // "Speichern ...": the show as a batch file in the batch folder.
  void SaveClick();
  void FontClick();
  void ColorClick();
  void WebClick();

 private:
  TCheckBox* AddCheck(const std::string& Caption, int32_t X, int32_t& Y, bool Checked);
  TKvSpinEdit* AddSpin(int32_t X, int32_t Y, int32_t W, double Min, double Max, double Value);
  TComboBox* AddCombo(const std::string& Caption, int32_t X, int32_t& Y, const std::vector<std::string>& Items);
  void Exclusive(TCheckBox* const* Group, int32_t Count, TCheckBox* Chosen);
  tformstorage1* FStore = nullptr;
  bool FUpdating = false;
};

// "Diashow ..." and "Diashow direkt vom Katalog...": the setup window, preset
// with a catalog file when one is given.
void ShowSlideShowSetup(const std::string& CatalogFile = "");

}  // namespace kv

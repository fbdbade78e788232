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
class tformstorage1;

class Tslideform : public TForm {
 public:
  explicit Tslideform(TComponent* AOwner);

  // Display.
  TComboBox* ImageSizeBox = nullptr;  // "Bildgröße"
  TComboBox* AnchorBox = nullptr;     // the anchor, as the nine places of a 3 x 3 picker
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
  // Pictures: the catalog and folder sources.
  TComboBox* SourceBox = nullptr;
  TEdit* CatalogEdit = nullptr;
  TEdit* DirEdit = nullptr;
  TCheckBox* SubdirsCheck = nullptr;
  std::string SourceOptions = "Sort1=1";

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

// The nine anchor values of the 3 x 3 picker, row by row from the top left.
inline constexpr int32_t kAnchorTags[9] = {10, 2, 6, 8, 0, 4, 9, 1, 5};

// "Diashow ..." and "Diashow direkt vom Katalog...": the setup window, preset
// with a catalog file when one is given.
void ShowSlideShowSetup(const std::string& CatalogFile = "");

}  // namespace kv

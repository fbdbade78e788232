// The print dialog "Drucken": layout, information text and printer, with a
// live preview, returning the "Print" command line.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "app/workflows/print_layout.h"
#include "app/workflows/print_preview.h"
#include "platform/graphics/canvas.h"
#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TCheckBox;
class TCheckListBox;
class TComboBox;
class TGroupBox;
class TKvSpinEdit;
class TLabel;
class TSpeedButton;
class Tconverterframe;
class Tdirectionframe;
class Tform1;
class Tsizeframe;
class tformstorage1;

class Tprintform : public TForm {
 public:
  // Mode: 0 one picture, 1 a page of copies, 2 poster, 3 catalog thumbnails.
  // Image is the picture printed (null in mode 3); CatalogFiles the catalog's entries in mode 3.
  Tprintform(TComponent* AOwner, int32_t Mode, timagerlayer* Image, const TStrings* CatalogFiles);
  ~Tprintform() override;

  // Special size: at most one down; none gives 0.
  TSpeedButton* FitButton = nullptr;       // "Voll (eingepasst)"
  TSpeedButton* FillButton = nullptr;      // "Voll (abgeschnitten)"
  TSpeedButton* OriginalButton = nullptr;  // "Originalgröße"
  Tdirectionframe* directionframe1 = nullptr;  // the anchor
  // "Abstand": "Links" and "Oben", kept in printer pixels; 100 % is the page.
  Tconverterframe* leftframe = nullptr;
  Tconverterframe* topframe = nullptr;
  TCheckBox* WithOffsetBox = nullptr;  // "Ränder hinzurechnen"
  // Width and height, kept in printer pixels (100 % is the picture), and "Proportional".
  Tsizeframe* sizeframe1 = nullptr;
  TButton* HalfButton = nullptr;    // "/ 2"
  TButton* DoubleButton = nullptr;  // "x 2"
  TCheckBox* CutLinesBox = nullptr;  // "Schneidelinien"
  TKvSpinEdit* FontSizeEdit = nullptr;  // "Schriftgröße"
  TButton* FontButton = nullptr;        // "Schrift-Optionen..."
  TCheckListBox* InfoList = nullptr;    // "Zusätzliche Informationen"
  TKvSpinEdit* CopiesEdit = nullptr;    // "Anzahl der Drucke"
  TGroupBox* PrinterBox = nullptr;      // "Drucker"
  TLabel* PrinterNameLabel = nullptr;
  TLabel* ResolutionLabel = nullptr;
  TComboBox* ResolutionUnit = nullptr;
  TLabel* PageSizeLabel = nullptr;
  TComboBox* PageSizeUnit = nullptr;
  TLabel* MarginsLabel = nullptr;
  TComboBox* MarginsUnit = nullptr;
  TButton* SetupButton = nullptr;  // "Druck-Einstellungen..."
  TprintFrame* printFrame1 = nullptr;
  TButton* PrintButton = nullptr;  // "&Drucken"
  TButton* CancelButton = nullptr;

  int32_t Mode() const { return FMode; }
  TFont& InfoFont() { return FFont; }
  // The "Print" line of the controls.
  std::string BuildCommand() const;
  // The line "&Drucken" built; empty until then.
  const std::string& Command() const { return FCommand; }
  // Reads the printer again, sizes and redraws the preview.
  void FillPrinterPage();
  void Preview();
  // DirectionPos of the anchor frame, -1 when none is down.
  int32_t DirectionPos() const;
  int32_t SpecialSize() const;

  void FormShow(TObject* Sender);

 private:
  void SizeChanged(TObject* Sender);
  void PositionChanged();
  void WriteBackGeometry();
  void SpecialUp();
  void ScaleSize(double Factor);
  // The picture's size (in mode 3 the thumbnail's): the percent base of the size.
  double PictureWidth() const;
  double PictureHeight() const;
  // The printer's resolution and the percent bases into the length frames.
  void SetFrameBases();
  void PrinterSetup();
  void PrintClick();

  int32_t FMode;
  timagerlayer* FImage;
  TPrintSource FSource;
  // The size frame's printer entries answered by this dialog while it lives.
  std::function<bool(double&, double&)> FOldPrintablePage, FOldPrinterResolution;
  TFont FFont;
  std::string FCommand;
  bool FUpdating = false;
  bool FShown = false;
  tformstorage1* formstorage1 = nullptr;
};

// The print actions: the dialog in the action's mode; on "&Drucken" the line
// goes to the interpreter. The job's title is the active window's caption.
void ShowPrintDialog(Tform1& Form, int32_t Mode);

}  // namespace kv

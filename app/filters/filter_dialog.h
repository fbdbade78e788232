// "Vorschau": the filters of one catalogue category as tabs, a parameter
// panel built from the chosen filter's parameter records, a preview on a
// reduced copy of the picture (or of its selection) beside the unfiltered
// copy, trying on the real picture, suggestion variants and a quick choice.
// On OK it returns the command line that the main window runs.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/filters/filter_preview_grid.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TCheckBox;
class TComboBox;
class TKvSlider;
class TKvSpeedButton;
class TKvSpinEdit;
class TLabel;
class TPageControl;
class TTimer;
class TFramehsvform;
class Tdirectionframe;
class Tform1;
class Tframeuserfilform;
class tfilterclass;
class tfilteritem;
class timagerlayer;

// The controls of one parameter row; only those of the parameter's type exist.
struct TFilterParamRow {
  int32_t Param = 0;  // index into the item's parameters
  TLabel* Label = nullptr;
  TKvSpinEdit* Spin = nullptr;     // integer and real
  TKvSlider* Slider = nullptr;     // integer and real with a closed range
  TCheckBox* Check = nullptr;      // yes/no
  TFramehsvform* ColorFrame = nullptr;  // colour
  TComboBox* Combo = nullptr;           // image window, choice
  Tdirectionframe* Anchor = nullptr;    // anchor
};

class Tfilterform : public TForm {
 public:
  explicit Tfilterform(TComponent* AOwner);
  ~Tfilterform() override;

  // Set by the caller before showing: the catalogue, the filter to start
  // with (none: every filter of the catalogue) and the picture to work on
  // (none: the active image window's).
  tfilterclass* SourceCatalogue = nullptr;
  tfilteritem* StartItem = nullptr;
  timagerlayer* Image = nullptr;
  // The result: the command line OK built ("" when cancelled or when the
  // editor's filter was applied at once).
  std::string CommandLine;

  TPageControl* FilterParamBox = nullptr;
  timagerlayer* beforeImager = nullptr;
  timagerlayer* afterImager = nullptr;
  TKvSpeedButton* previewspeedbutton = nullptr;  // "Automatische Vorschau", down
  TKvSpeedButton* checkspeedbutton = nullptr;    // "Automatische Überprüfung", up
  TButton* previewButton = nullptr;              // "Vorschau"
  TButton* checkbutton = nullptr;                // "Überprüfen"
  TComboBox* mycombobox1 = nullptr;              // "Max", "Mittel", "Min"
  TCheckBox* CheckBox1 = nullptr;                // "Filter mit skalieren"
  TKvSpeedButton* SpeedButton6 = nullptr;        // "Hand"
  TKvSpeedButton* SpeedButton7 = nullptr;        // "Zoom"
  TButton* Button1 = nullptr;                    // "Ok"
  TButton* Button2 = nullptr;                    // "Abbrechen"
  TButton* Button4 = nullptr;                    // "Vorschläge ..."
  TButton* Button5 = nullptr;                    // "Schnellwahl ..."
  TButton* Button7 = nullptr;                    // "Standardwerte"
  TButton* Button9 = nullptr;                    // "Hilfe"
  TTimer* Timer1 = nullptr;                      // settles slider moves
  TLabel* ErrorLabel = nullptr;                  // why the last preview or try failed
  Tframeuserfilform* Editor = nullptr;           // while the panel holds it

  // The dialog's catalogue (the tabs) and the filter shown.
  const TFilterRefs& Catalogue() const { return FCatalogue; }
  int32_t CurrentIndex() const;
  // The filter the panel works on (the editor's own while it is shown).
  tfilteritem* CurrentItem() const;
  const std::vector<TFilterParamRow>& Rows() const { return FRows; }
  // The row of a parameter, or nullptr when it has none.
  const TFilterParamRow* RowOf(int32_t Param) const;

  // Opening: the catalogue, the starting tab, the panel and the preview.
  void FormShow();
  // Closing: stored settings, the real picture put back unless kept.
  void FormClose();
  // OK and Cancel, as the buttons do before the dialog ends.
  void Button1Click();
  void Button2Click();
  // Shows the filter of tab Index: panel and preview.
  void SelectFilter(int32_t Index);
  void BuildPanel(bool LoadSettings);
  void BuildPreview();
  void ComputePreview();
  void TryOnImage();
  void SetDefaults();
  void ShowSuggestions();
  void ShowQuickChoice();
  // The text of the last failed preview or try ("" after a good one).
  const std::string& PreviewError() const { return FPreviewError; }
  bool AppliedInPlace() const { return FAppliedInPlace; }
  // The share of the area that the preview shows (after width / area width).
  double PreviewScale() const;
  // The selection's box on the real picture that the preview shows.
  const TRect& PreviewArea() const { return FArea; }
  // Whether filter files were loaded or saved (the filter menu is rebuilt then).
  bool FiltersChanged() const { return FFiltersChanged; }

 private:
  timagerlayer* RealImage() const;
  void ClearPanel();
  void AddRow(int32_t Param, int32_t Left, int32_t Top, int32_t Right);
  void ParamChanged(int32_t Param, const std::string& Value);
  void SpinChanged(const TFilterParamRow& Row);
  void SliderMoved(const TFilterParamRow& Row);
  void ModelChosen(int32_t Model);
  void RefreshPreview();
  void SyncViews(timagerlayer* From, int32_t Change);
  void PutBackRealImage();
  void ShowError(const std::string& Text);

  TFilterRefs FCatalogue;
  std::vector<TFilterParamRow> FRows;
  std::vector<TControl*> FPanelControls;
  std::unique_ptr<tfilteritem> FEditorItem;  // the editor's filter as a kind-2 item
  std::unique_ptr<TBitmap> FRealCopy;        // the real picture before the first try
  TRect FArea{0, 0, 0, 0};
  std::string FPreviewError;
  bool FAppliedInPlace = false;
  bool FKeep = false;           // OK keeps what was tried
  bool FBuilding = false;       // the panel is being filled: no echo
  bool FSliderMoving = false;   // a slider writes its spin edit
  bool FSyncing = false;        // one view follows the other
  bool FFiltersChanged = false;
  int32_t FPendingParam = -1;
  double FZoomRatio = 1;
};

// Copies every field of an item but its loaded library.
void CopyFilterItem(const tfilteritem& From, tfilteritem& To);

// The dialog for the catalogue (and starting filter) on the active image
// window, modal; on OK its line runs. Rebuilds the filter menu when filter
// files changed.
void ShowFilterDialog(Tform1& Form, tfilterclass& Catalogue, tfilteritem* StartItem);
// The quick choice over the whole filter catalogue; on OK the chosen
// filter's line runs.
void ShowQuickFilterChoice(Tform1& Form);

}  // namespace kv

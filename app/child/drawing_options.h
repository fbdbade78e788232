// The drawing-options tool window "Zeichnen": the colours, fill, line and
// brush settings, the text of the text tool and the zoom box that every
// drawing command and image window reads. The settings live in a plain
// record, so image windows work with the defaults when the window does not
// exist.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/canvas.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/forms.h"

namespace kv {

class Tchild;
class tformstorage1;
class TButton;
class TFontComboBox;
class TFramehsvform;
class TGroupBox;
class mycombobox;
class TKvSlider;
class TKvSpinEdit;
class TMemo;
class TPageControl;
class TSpeedBar;
class TTabSheet;
class TTextFontDialog;

struct TDrawingOptions {
  TDrawingOptions();
  TDrawingOptions(const TDrawingOptions&) = delete;
  TDrawingOptions& operator=(const TDrawingOptions&) = delete;

  TColor Foreground = clWhite;
  TColor Background = clBlack;
  // The place of the pressed button in the fill-pattern (8), line-style (6) and brush-size (5) bars.
  int32_t FillStyle = 0;
  int32_t LineStyle = 0;
  int32_t PenStyle = 4;
  double LineWidth = 1;  // 1 to 100000
  double Tolerance = 10; // percent
  double Intensity = 50; // percent
  TFont TextFont;
  TStringList TextLines;
};

constexpr int32_t kFillStyleCount = 8;
constexpr int32_t kLineStyleCount = 6;
constexpr int32_t kBrushSizeCount = 5;

// The options in use: the window's, or the defaults while there is no window.
TDrawingOptions& CurrentDrawingOptions();

enum TDrawingPage : uint8_t { dpText, dpColor, dpFill, dpLine, dpBrush, dpZoom };
constexpr int32_t kDrawingPageCount = 6;

class TdrawingoptionsForm : public TForm {
 public:
  explicit TdrawingoptionsForm(TComponent* AOwner);
  ~TdrawingoptionsForm() override;

  TDrawingOptions& Options() { return FOptions; }
  // Each bar keeps one button down: values outside its range are held at its ends.
  void SetFillStyle(int32_t Value);
  void SetLineStyle(int32_t Value);
  void SetPenStyle(int32_t Value);
  void SetLineWidth(double Value);
  void SetTolerance(double Value);
  void SetIntensity(double Value);

  bool PageVisible(TDrawingPage Page) const { return FPages[Page]; }
  // Shows or hides the page's tab.
  void SetPageVisible(TDrawingPage Page, bool Value);
  // The zoom page's "Markierung" button.
  bool SelectionZoomEnabled() const { return FSelectionZoomEnabled; }
  void SetSelectionZoomEnabled(bool Value);

  // ---- zoom box and slider ----
  const std::string& ZoomText() const { return FZoomText; }
  // Sets the text without running the change handling.
  void SetZoomText(const std::string& Value);
  static const std::vector<std::string>& ZoomItems();
  int32_t ZoomSliderPosition() const { return FZoomSlider; }
  // The box's change handling: its leading number (at least 1) goes to the
  // slider and, unless the change came from an image window, to the active image.
  void ZoomBoxChange(TObject* Sender);
  // The slider moved: the box shows the value and its change handling runs.
  void ZoomSliderChange(int32_t Position);
  // The zoom buttons "1:1", "Kleiner", "Größer", "1:2", "1:3", "2:1", "3:1", "Markierung", "Fenster".
  static const std::vector<std::string>& ZoomButtonCaptions();
  // Runs the button with that caption (compared without "&", "..." and case)
  // on the active image; false when no button has it.
  bool ZoomButtonClick(const std::string& Caption);

  void FormClose(TObject* Sender, TCloseAction& Action);

  // ---- controls ----
  TPageControl* PageControl1 = nullptr;
  TTabSheet* Sheets[kDrawingPageCount] = {};
  // "Text"
  TMemo* Memo1 = nullptr;
  TButton* FontButton = nullptr;  // "Schrift Optionen..."
  TTextFontDialog* FontDialog1 = nullptr;
  TFontComboBox* FontComboBox1 = nullptr;
  // "Farbe"
  TFramehsvform* foreground = nullptr;
  TFramehsvform* background = nullptr;
  // "Füllart", "Linienart", "Pinselart"
  TSpeedBar* SpeedBar3 = nullptr;
  TGroupBox* FillGroup = nullptr;  // "Farbfüllen / Auto Auswahl"
  TKvSpinEdit* KvSpinEdit2 = nullptr;  // "Toleranz (%)"
  TKvSpinEdit* KvSpinEdit3 = nullptr;  // "Intensität (%)"
  TSpeedBar* SpeedBar2 = nullptr;
  TKvSpinEdit* KvSpinEdit1 = nullptr;  // "Liniendicke"
  TSpeedBar* SpeedBar1 = nullptr;
  // "Zoom"
  mycombobox* mycombobox1 = nullptr;
  TKvSlider* KvSlider1 = nullptr;
  std::vector<TButton*> ZoomButtons;

  // "Schrift Optionen...": the dialog's font goes to the text and the memo.
  void FontButtonClick(TObject* Sender);
  // A face chosen in the box.
  void FontComboBox1Change(TObject* Sender);

  // Keeps the window's placement, the text tool's face and text, the
  // tolerance, intensity and line width; restored when the main window shows.
  tformstorage1* Formstorage1 = nullptr;

 private:
  void CreateStore();
  void CreatePages();
  TSpeedBar* MakeBar(TTabSheet* Page, const std::string& Name, const std::vector<std::string>& Captions,
                     const std::vector<std::string>& Hints, int32_t Down, void (TdrawingoptionsForm::*Set)(int32_t));
  void ApplyFont();
  // Writes the options into the controls without their change handling.
  void ShowOptions();
  bool FShowing = false;

  TDrawingOptions FOptions;
  bool FPages[kDrawingPageCount] = {true, true, true, true, true, true};
  bool FSelectionZoomEnabled = false;
  std::string FZoomText = "100 %";
  int32_t FZoomSlider = 100;
};

// Sets the foreground (or background) colour of the drawing commands and
// shows it in the window's colour box.
void SetDrawingColor(bool Background, TColor Value);

// The one drawing-options window, or nullptr.
extern TdrawingoptionsForm* drawingoptionsform;

// The zoom percent at which the whole image fits the window's client area
// less its visible status bar and rulers; 100 when nothing fits.
int32_t WindowFitZoom(Tchild& Child);

}  // namespace kv

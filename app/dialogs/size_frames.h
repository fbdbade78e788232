// Frames for entering a length or a resolution in the unit the user picks
// while the program keeps pixels and pixels per inch: the length frame, the
// resolution frame, the size panel made of two lengths and a resolution, and
// the "Spezial" buttons with their menus of common sizes and resolutions.
// The new-image and resize dialogs, the options and the print and scanner
// dialogs are built from them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "app/helpers/size_units.h"
#include "platform/ui/frames.h"

namespace kv {

class TButton;
class TCheckBox;
class TComboBox;
class TGroupBox;
class TKvCalcEdit;
class TKvSpinButton;
class TLabel;
class TPopupMenu;
class tformstorage1;

// Pixels per inch a frame works with when it is given none (0, negative or
// not a number): conversions never divide by a missing resolution.
inline constexpr double kDefaultFrameResolution = 300;
double UsableResolution(double Dpi);

// Largest side a length frame holds, in pixels: no bitmap may be larger.
int64_t MaxFramePixels();

// Set by the print dialog while it recomputes its layout: the length frames'
// arrows do nothing meanwhile.
extern bool PrintDialogBusy;

// The 8 length unit names, item 0 selected.
void FillLengthUnitCombo(TComboBox& Combo);
// The 4 resolution unit names, item 0 selected.
void FillResolutionUnitCombo(TComboBox& Combo);

// The stored value "Userunit" of the main window (user units per inch); 1
// when there is no main window or the value is no size.
double StoredUserUnit();

// A length: the value in pixels, shown in the unit of the combo.
class Tconverterframe : public TFrame {
 public:
  explicit Tconverterframe(TComponent* AOwner);

  TComboBox* mycombobox1 = nullptr;
  TKvCalcEdit* _KvCalcEdit1 = nullptr;
  TKvSpinButton* SpinButton1 = nullptr;
  tformstorage1* formstorage1 = nullptr;

  // In pixels.
  double Value() const { return FValue; }
  // Stores the pixels (within 0, or -MaxFramePixels when signed, and
  // MaxFramePixels) and shows them in the
  // chosen unit without raising OnClick.
  void SetValue(double Pixels);
  // SetValue, then OnClick.
  void SetValueNotify(double Pixels);
  // Whether negative lengths are kept (a position left of or above the page);
  // sizes never go below 0.
  bool Signed() const { return FSigned; }
  void SetSigned(bool Value) { FSigned = Value; }
  // Pixels per inch as given (may be 0); conversions use UsableResolution.
  double Resolution() const { return FResolution; }
  void SetResolution(double Dpi);
  void SetResolutionNotify(double Dpi);
  // The pixels of 100 %.
  double Base() const { return FBase; }
  void SetBase(double Pixels);
  // The unit's place in the combo.
  int32_t UnitIndex() const;
  // Picking a unit: the value stays, the number is shown in the new unit.
  void SetUnitIndex(int32_t Unit);
  // The number shown in the edit.
  double Shown() const;
  // Typing a number: it is stored as pixels and OnClick runs.
  void SetShown(double Number);
  double ToPixels(double Number) const;
  double FromPixels(double Pixels) const;

  // The spin button's arrows: +1 on the shown number; -1 only above 1.
  void UpClick(TObject* Sender);
  void DownClick(TObject* Sender);

  TNotifyEvent OnClick;

 private:
  void ShowValue();
  void EditChange();
  void StoreNumber(double Number);

  double Clamped(double Pixels) const;

  double FValue = 0;
  double FResolution = kDefaultFrameResolution;
  double FBase = 0;
  bool FShowing = false;
  bool FSigned = false;
};

// A resolution: pixels per inch, shown in the unit of the combo.
class Tdpiframeform : public TFrame {
 public:
  explicit Tdpiframeform(TComponent* AOwner);

  TComboBox* mycombobox1 = nullptr;
  TKvCalcEdit* _KvCalcEdit1 = nullptr;
  TKvSpinButton* SpinButton1 = nullptr;
  tformstorage1* formstorage1 = nullptr;

  // Pixels per inch as entered (typing 0 keeps 0; users of the value go
  // through UsableResolution).
  double Value() const { return FValue; }
  // Shows Dpi without OnClick; no resolution gives kDefaultFrameResolution.
  void SetValue(double Dpi);
  void SetValueNotify(double Dpi);
  // The starting value ("Originalauflösung").
  double StartValue() const { return FStartValue; }
  void SetStartValue(double Dpi) { FStartValue = Dpi; }
  int32_t UnitIndex() const;
  void SetUnitIndex(int32_t Unit);
  double Shown() const;
  void SetShown(double Number);

  void UpClick(TObject* Sender);
  void DownClick(TObject* Sender);

  TNotifyEvent OnClick;

 private:
  void ShowValue();
  void EditChange();

  double FValue = kDefaultFrameResolution;
  double FStartValue = kDefaultFrameResolution;
  bool FShowing = false;
};

class Tsizeframe;

// The "Spezial" button of the size panel and its menu of common sizes.
class Tsizespecialform : public TFrame {
 public:
  explicit Tsizespecialform(TComponent* AOwner);

  TButton* SpecialButton = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;

  // The fields the menu works on.
  void Attach(Tsizeframe* Sizes) { FSizes = Sizes; }
  // Runs the entry of that caption path ("Monitor", "1024 x 768"); false
  // when there is none.
  bool Choose(const std::string& Path);
  // Sets width and height (and their unit) from a size caption; false when
  // the caption holds no size.
  bool ApplyCaption(const std::string& Caption);

  void SpecialButtonClick(TObject* Sender);

 private:
  void BuildMenu();
  void Entry(void (Tsizespecialform::*Action)());
  void Doubled();
  void Halved();
  void Swapped();
  void ReproportionWidth();
  void ReproportionHeight();
  void ReproportionFitted();
  void ReproportionCovered();
  void ActiveImage();
  void FromClipboard();
  void Original();
  void Printable();
  void FromScanner();
  void MonitorSize();

  Tsizeframe* FSizes = nullptr;
};

// The "Spezial" button of the resolution field and its menu of common resolutions.
class Tframedpispecialform : public TFrame {
 public:
  explicit Tframedpispecialform(TComponent* AOwner);

  TButton* SpecialButton = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;

  void Attach(Tdpiframeform* Resolution) { FResolution = Resolution; }
  bool Choose(const std::string& Path);
  void SpecialButtonClick(TObject* Sender);

 private:
  void BuildMenu();
  void Set(double Dpi);

  Tdpiframeform* FResolution = nullptr;
};

// Where the "Spezial" menus get what the size panel cannot know itself.
// Each gives false when its device is missing, and the entry then does nothing.
struct TSizeSources {
  // The printer's printable page in pixels.
  std::function<bool(double& Width, double& Height)> PrintablePage;
  // The printer's logical pixels per inch.
  std::function<bool(double& DpiX, double& DpiY)> PrinterResolution;
  // The scanner's current frame in pixels and its current resolutions.
  std::function<bool(double& Width, double& Height)> ScannerFrame;
  std::function<bool(double& DpiX, double& DpiY)> ScannerResolution;
};
TSizeSources& SizeSources();

// The size panel: width, height and resolution with "Proportional", the
// memory a 24-bit image of that size takes, and the starting values.
class Tsizeframe : public TFrame {
 public:
  explicit Tsizeframe(TComponent* AOwner);

  TGroupBox* GroupBox1 = nullptr;
  Tconverterframe* converterframe1 = nullptr;  // width
  Tconverterframe* converterframe2 = nullptr;  // height
  Tdpiframeform* dpiframeform1 = nullptr;      // resolution
  TCheckBox* CheckBox1 = nullptr;              // "Proportional"
  TLabel* memorylabel = nullptr;
  TLabel* origlabel = nullptr;
  TLabel* orres = nullptr;
  Tsizespecialform* sizespecialform1 = nullptr;
  Tframedpispecialform* framedpispecialform1 = nullptr;
  tformstorage1* formstorage1 = nullptr;

  // Pixels, and pixels per inch (never 0).
  double WidthPixels() const;
  double HeightPixels() const;
  double Resolution() const;
  double StartWidth() const { return FStartWidth; }
  double StartHeight() const { return FStartHeight; }
  // Sets width and height in pixels without the proportional rule, then
  // the memory label and the print dialog; the special-size menu's way in,
  // so the print dialog hears it with sizespecialform1 as the sender.
  void SetSize(double Width, double Height);

  // The current values become the starting ones; the panel is shown and
  // "Proportional" takes its stored state.
  void show();
  // "Proportional" without its click handling (the resize face switches it
  // off while it takes the image's size).
  void SetProportionalQuietly(bool Value);

  void CheckBox1Click(TObject* Sender);
  void converterframe1Click(TObject* Sender);
  void converterframe2Click(TObject* Sender);
  void dpiframeform1Click(TObject* Sender);

  // The print dialog attaches here to hear of every change; the sender is
  // the size frame, or sizespecialform1 for a size the menu set.
  TNotifyEvent OnSizeChange;

  // Memory label and print dialog after a change.
  void Changed();

 private:
  // Changed, with Source as the sender the print dialog hears of.
  void ChangedBy(TObject* Source);
  // Keeps width x height within the pixel limit by shrinking the side just set.
  void LimitArea(bool WidthChanged);

  double FStartWidth = 400;
  double FStartHeight = 400;
  bool FQuiet = false;
};

}  // namespace kv

// The colour choice: a frame with a model, a value range, one number edit per
// channel, the HTML code and the named colours, and the dialog that carries it.
#pragma once
#include <array>
#include <cstdint>

#include "app/filters/colour_models.h"
#include "platform/ui/forms.h"
#include "platform/ui/frames.h"

namespace kv {

class TButton;
class TCheckBox;
class TImage;
class TPageControl;
class TTabSheet;
class THSVBox;
class TStoredValue;
class tformstorage1;
class TColorComboBox;
class TComboBox;
class TEdit;
class TKvSpinEdit;
class TLabel;
class TPanel;

enum TValueRange : uint8_t { vrModel, vr255, vrUnit, vr100, vrHex };

class TFrameColorForm : public TFrame {
 public:
  explicit TFrameColorForm(TComponent* AOwner);

  // The packed colour (red * 65536 + green * 256 + blue).
  uint32_t Packed() const;
  void SetPacked(uint32_t Value);
  TColorModel Model() const { return FModel; }
  // Converts the current colour into the model and relabels the channels.
  void SetModel(TColorModel Value);
  TValueRange Range() const { return FRange; }
  void SetRange(TValueRange Value);
  const TModelValues& Values() const { return FValues; }
  // The lowest and highest number a channel edit takes in the current range.
  double ChannelMin(int32_t Channel) const;
  double ChannelMax(int32_t Channel) const;

  TComboBox* ModelCombo = nullptr;  // "Farb - Modell"
  TComboBox* RangeCombo = nullptr;  // "Wertebereich"
  std::array<TLabel*, 4> ChannelLabels{};
  std::array<TKvSpinEdit*, 4> ChannelEdits{};
  std::array<TLabel*, 4> MinLabels{};
  std::array<TLabel*, 4> MaxLabels{};
  TEdit* HtmlEdit = nullptr;
  TPanel* Sample = nullptr;
  TColorComboBox* NamedColors = nullptr;
  // "1D": one strip per channel (the fourth for CMYK only) and "Kanäle trennen".
  TPageControl* Pages = nullptr;
  std::array<TImage*, 4> Strips{};
  std::array<TLabel*, 4> StripLabels{};
  TCheckBox* SeparateBox = nullptr;
  // "2D": the channel held by the bar, the bar and the field of the other two.
  TComboBox* ChannelCombo = nullptr;  // "Kanal"
  TImage* Bar = nullptr;
  TImage* Field = nullptr;
  // The channel the bar shows (0 to 2).
  int32_t BarChannel() const { return FBarChannel; }

 private:
  void Refresh();
  void DrawStrips();
  void DrawField();
  // Dragging: a strip sets its channel to X / 255, the bar its channel from
  // the top (1) down, the field its two channels.
  void StripDrag(int32_t Channel, int32_t X);
  void BarDrag(int32_t Y);
  void FieldDrag(int32_t X, int32_t Y);
  void SetNormalized(int32_t Channel, double Value);
  int32_t FDragging = -1;  // 0..3 a strip, 4 the bar, 5 the field
  int32_t FBarChannel = 0;
  void ChannelChanged(int32_t Channel);
  void HtmlChanged();
  TModelValues FValues{0, 0, 0, 0};
  TColorModel FModel = cmRGB;
  TValueRange FRange = vrModel;
  bool FRefreshing = false;     // the edits are being written, not typed in
  int32_t FTypingChannel = -1;  // the user is typing in this channel's edit
  bool FTypingHtml = false;
};

// "Farbauswahl": the frame with "&Ok" and "Abbrechen".
class TColorPickForm : public TForm {
 public:
  explicit TColorPickForm(TComponent* AOwner);
  TFrameColorForm* Frame = nullptr;
  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;
};

// Shows the dialog with Packed; on OK Packed takes the chosen colour and true
// is returned. An empty Caption keeps "Farbauswahl".
bool PickColor(uint32_t& Packed, const std::string& Caption = {});

// The small colour frame: an HSV box, a panel showing its colour and
// "Wählen ..." for the large dialog. Its store keeps the colour as "Color".
class TFramehsvform : public TFrame {
 public:
  explicit TFramehsvform(TComponent* AOwner);

  TColor Color() const;
  // Sets the box and the panel; raises nothing.
  void SetColor(TColor Value);
  // The colour a store that never saved gives back.
  void SetStoredDefault(TColor Value);

  THSVBox* HSVBox1 = nullptr;
  TPanel* Panel1 = nullptr;
  TButton* Button1 = nullptr;  // "Wählen ..."
  tformstorage1* Formstorage1 = nullptr;
  // The box's events: raised when the mouse is released after pressing in
  // it, and (click only) when the dialog gave a colour.
  TNotifyEvent OnChange;
  TNotifyEvent OnClick;

  void Button1Click(TObject* Sender);

 private:
  TStoredValue* FColorValue = nullptr;
};

}  // namespace kv

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

 private:
  void Refresh();
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

}  // namespace kv

// The histogram dialog: the current image's histogram by channel, as bars
// or lines, drawn from the dialog's own processing component.
#pragma once
#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TComboBox;
class THistogramBox;
class TImagerProc;
class TLabel;

class TfHistogram : public TForm {
 public:
  explicit TfHistogram(TComponent* AOwner);

  static constexpr int32_t kHelpContext = 43;

  TImagerProc* ImagerProc1 = nullptr;
  THistogramBox* HistogramBox1 = nullptr;
  TComboBox* ChannelBox = nullptr;  // "Kanal": "RGB (Grau)", "Rot", "Grün", "Blau"
  TComboBox* ModeBox = nullptr;     // "Modus": "Balken", "Linien"
  TButton* OkButton = nullptr;
  TButton* HelpButton = nullptr;

  void FormShow(TObject* Sender);
  void ChannelChange(TObject* Sender);
  void ModeChange(TObject* Sender);
};

}  // namespace kv

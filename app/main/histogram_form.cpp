#include "app/main/histogram_form.h"

#include "imaging/processing/imager_proc.h"
#include "imaging/views/histogram_box.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

// The box's kinds in the order of the channel list (8 gray, 1 red, 2 green, 4 blue).
const THistogramKindItem kChannelKinds[] = {hkGray, hkRed, hkGreen, hkBlue};

}  // namespace

TfHistogram::TfHistogram(TComponent* AOwner) : TForm(AOwner) {
  SetName("fHistogram");
  SetCaption("Histogramm");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientSize(330, 250);
  ImagerProc1 = new TImagerProc(this);
  HistogramBox1 = new THistogramBox(this);
  HistogramBox1->SetParent(this);
  HistogramBox1->SetBounds(8, 8, 314, 170);
  HistogramBox1->SetAttachedImagerProc(ImagerProc1);
  auto label = [this](const char* Text, int32_t X) {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetBounds(X, 188, 60, 16);
    l->SetCaption(Text);
  };
  label("Kanal", 8);
  ChannelBox = new TComboBox(this);
  ChannelBox->SetParent(this);
  ChannelBox->SetBounds(8, 204, 110, 22);
  ChannelBox->SetItems({"RGB (Grau)", "Rot", "Grün", "Blau"});
  ChannelBox->OnChange = [this](TObject* S) { ChannelChange(S); };
  label("Modus", 126);
  ModeBox = new TComboBox(this);
  ModeBox->SetParent(this);
  ModeBox->SetBounds(126, 204, 90, 22);
  ModeBox->SetItems({"Balken", "Linien"});
  ModeBox->OnChange = [this](TObject* S) { ModeChange(S); };
  OkButton = new TButton(this);
  OkButton->SetParent(this);
  OkButton->SetBounds(232, 188, 90, 25);
  OkButton->SetCaption("&Ok");
  OkButton->SetDefault(true);
  OkButton->SetCancel(true);
  OkButton->SetModalResult(mrOk);
  HelpButton = new TButton(this);
  HelpButton->SetParent(this);
  HelpButton->SetBounds(232, 218, 90, 25);
  HelpButton->SetCaption("&Hilfe");
  HelpButton->OnClick = [](TObject*) {
    if (Application) Application->HelpContext(kHelpContext);
  };
  OnShow = [this](TObject* S) { FormShow(S); };
}

void TfHistogram::FormShow(TObject*) {
  ChannelBox->SetItemIndex(0);
  ChannelChange(this);
  ModeBox->SetItemIndex(0);
  ModeChange(this);
}

void TfHistogram::ChannelChange(TObject*) {
  const int32_t i = ChannelBox->ItemIndex();
  if (i < 0 || i > 3) return;
  HistogramBox1->SetHistogramKind(THistogramKind{kChannelKinds[i]});
}

void TfHistogram::ModeChange(TObject*) {
  HistogramBox1->SetHistogramStyle(ModeBox->ItemIndex() == 1 ? hsLines : hsBars);
}

}  // namespace kv

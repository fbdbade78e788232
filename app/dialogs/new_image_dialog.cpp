#include "app/dialogs/new_image_dialog.h"

#include "app/dialogs/size_frames.h"
#include "app/filters/colour_pick.h"
#include "app/helpers/control_helpers.h"
#include "app/helpers/text_helpers.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "components/controls/calc_edit.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/page_control.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

constexpr int32_t kHelpContext = 411;

}  // namespace

TNeuGrafik::TNeuGrafik(TComponent* AOwner) : TForm(AOwner) {
  SetName("NeuGrafik");
  SetCaption("Neue Grafik");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientSize(460, 540);
  // Set before the frames hook the form, so their stores restore first and
  // the resize face then takes the image's values over them.
  OnShow = [this](TObject* S) { FormShow(S); };

  sizeframe1 = new Tsizeframe(this);
  sizeframe1->SetName("sizeframe1");
  sizeframe1->SetParent(this);
  sizeframe1->SetBounds(10, 8, 440, 200);

  PageControl1 = new TPageControl(this);
  PageControl1->SetName("PageControl1");
  PageControl1->SetParent(this);
  PageControl1->SetBounds(10, 214, 440, 280);
  newimagetab = new TTabSheet(this);
  newimagetab->SetName("newimagetab");
  newimagetab->SetPageControl(PageControl1);
  newimagetab->SetTabVisible(false);
  resizetab = new TTabSheet(this);
  resizetab->SetName("resizetab");
  resizetab->SetPageControl(PageControl1);
  resizetab->SetTabVisible(false);

  Label1 = new TLabel(this);
  Label1->SetName("Label1");
  Label1->SetParent(newimagetab);
  Label1->SetCaption("Füllfarbe");
  Label1->SetBounds(4, 4, 100, 17);
  Framehsvform1 = new TFramehsvform(this);
  Framehsvform1->SetName("Framehsvform1");
  Framehsvform1->SetParent(newimagetab);
  Framehsvform1->SetTop(24);

  scaleCheckBox = new TCheckBox(this);
  scaleCheckBox->SetName("scaleCheckBox");
  scaleCheckBox->SetParent(resizetab);
  scaleCheckBox->SetCaption("Bild mit skalieren");
  scaleCheckBox->SetChecked(true);
  scaleCheckBox->SetBounds(8, 8, 200, 21);
  scaleCheckBox->OnClick = [this](TObject* S) { scaleCheckBoxClick(S); };
  Label2 = new TLabel(this);
  Label2->SetName("Label2");
  Label2->SetParent(resizetab);
  Label2->SetCaption("Filter");
  Label2->SetBounds(8, 40, 60, 17);
  filterchoosebox = new TComboBox(this);
  filterchoosebox->SetName("filterchoosebox");
  filterchoosebox->SetParent(resizetab);
  filterchoosebox->SetBounds(70, 36, 160, 23);
  for (const std::string& name : ResampleFilterNames()) filterchoosebox->AddItem(name);
  filterchoosebox->SetItemIndex(0);

  const struct {
    TButton** Field;
    const char* Name;
    const char* Caption;
    TModalResult Result;
    int32_t Left;
  } buttons[] = {
      {&Button1, "Button1", "&Ok", mrNone, 10},
      {&Button2, "Button2", "&Abbrechen", mrCancel, 120},
      {&Button3, "Button3", "&Hilfe", mrNone, 230},
  };
  for (const auto& b : buttons) {
    auto* button = new TButton(this);
    button->SetName(b.Name);
    button->SetParent(this);
    button->SetCaption(b.Caption);
    button->SetModalResult(b.Result);
    button->SetBounds(b.Left, 504, 100, 27);
    *b.Field = button;
  }
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject* S) { Button1Click(S); };
  Button2->SetCancel(true);
  Button3->OnClick = [](TObject*) {
    if (Application) Application->HelpContext(kHelpContext);
  };

  formstorage1 = new tformstorage1(this);
  formstorage1->SetName("formstorage1");
  formstorage1->BeginLoading();
  TStoredValue* filter = formstorage1->StoredValues().Add();
  filter->SetName("filterchoosebox.Itemindex");
  filter->OnSave = [this](TObject*, TVariant& V) { V = TVariant(filterchoosebox->ItemIndex()); };
  filter->OnRestore = [this](TObject*, TVariant& V) {
    if (V.VarType() == varEmpty) return;
    const int32_t i = StrToIntVal(V.AsString());
    if (i >= 0 && i < filterchoosebox->Count()) filterchoosebox->SetItemIndex(i);
  };
  TStoredValue* scale = formstorage1->StoredValues().Add();
  scale->SetName("scaleCheckBox.Checked");
  scale->OnSave = [this](TObject*, TVariant& V) { V = TVariant(scaleCheckBox->Checked()); };
  scale->OnRestore = [this](TObject*, TVariant& V) {
    if (V.VarType() == varEmpty) return;
    const std::string t = Trim(V.AsString());
    scaleCheckBox->SetChecked(SameText(t, "True") || StrToIntVal(t) != 0);
  };
  formstorage1->Loaded();
  PageControl1->SetActivePage(newimagetab);
}

bool TNeuGrafik::ResizeFace() const { return PageControl1->ActivePage() == resizetab; }

void TNeuGrafik::FormShow(TObject*) {
  if (ResizeFace()) {
    const bool proportional = sizeframe1->CheckBox1->Checked();
    sizeframe1->SetProportionalQuietly(false);
    sizeframe1->sizespecialform1->Choose("Aktuelles Bild");
    sizeframe1->framedpispecialform1->Choose("Aktuelles Bild");
    sizeframe1->SetProportionalQuietly(proportional);
  }
  sizeframe1->show();
  scaleCheckBoxClick(scaleCheckBox);
}

void TNeuGrafik::scaleCheckBoxClick(TObject*) {
  const bool on = scaleCheckBox->Checked();
  filterchoosebox->SetEnabled(on);
  Label2->SetEnabled(on);
}

std::string TNeuGrafik::BuildLine() const {
  const Tconverterframe& w = *sizeframe1->converterframe1;
  const Tconverterframe& h = *sizeframe1->converterframe2;
  const std::string common = WriteParamFloat("width", w.Shown()) + WriteParamInt("vwidth", w.UnitIndex()) +
                             WriteParamFloat("height", h.Shown()) + WriteParamInt("vheight", h.UnitIndex()) +
                             WriteParamInt("Resolution", Round32(sizeframe1->Resolution()));
  if (ResizeFace())
    return "Resize" + common + WriteParamBool("Resample", scaleCheckBox->Checked()) +
           WriteParamInt("ResampleFilter", std::max(0, filterchoosebox->ItemIndex()));
  return "NewImage" + common + WriteParamInt("FillColor", int32_t(Framehsvform1->Color()));
}

void TNeuGrafik::Button1Click(TObject*) {
  FResultLine = BuildLine();
  SetModalResult(mrOk);
}

std::string ShowImageDialog(bool Resize, const std::string& Caption) {
  TNeuGrafik dialog(nullptr);
  dialog.PageControl1->SetActivePage(Resize ? dialog.resizetab : dialog.newimagetab);
  if (!Caption.empty()) dialog.SetCaption(Caption);
  if (dialog.ShowModal() != mrOk) return {};
  return dialog.ResultLine();
}

}  // namespace kv

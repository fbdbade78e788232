#include "app/main/info_form.h"

#include "app/helpers/file_associations.h"
#include "app/main/main_form.h"
#include "components/controls/kv_label.h"
#include "platform/graphics/color.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/paths.h"
#include "platform/system/process.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/cursors.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/image.h"
#include "platform/ui/messages.h"

namespace kv {

const char* const Tinfoform::kLinkQuestion =
    "Sollen die Grafikformate mit Kavrelin verknüpft werden, so dass sie sich per Doppelklick öffnen?";

namespace {

struct TTopic {
  const char* Caption;
  int32_t Context;
};
const TTopic kTopics[] = {
    {"Grafiken öffnen und speichern", 21}, {"Drucken", 22},  {"Scannen", 23},
    {"Video", 24},  {"Diashow", 25}, {"Bilder bearbeiten", 26}, {"Mit Katalogen arbeiten", 27},
    {"Ton-Kommentare", 28}, {"Filter", 29},
};

TButton* MakeButton(TCustomForm* Owner, const std::string& Caption, int32_t X, int32_t Y, int32_t W) {
  auto* b = new TButton(Owner);
  b->SetParent(Owner);
  b->SetBounds(X, Y, W, 25);
  b->SetCaption(Caption);
  return b;
}

}  // namespace

Tinfoform::Tinfoform(TComponent* AOwner) : TForm(AOwner) {
  SetFormStyle(fsMDIChild);
  SetCaption("Willkommen");
  SetBorderStyle(bsSingle);  // fixed size
  SetBorderIcons(TBorderIcons{biSystemMenu});
  SetBounds(20, 20, 430, 330);
  Label1 = new TmyKvLabel(this);
  Label1->SetAutoSize(false);
  Label1->SetParent(this);
  Label1->SetBounds(16, 12, 390, 22);
  Label1->SetCaption("Herzlich willkommen zu Kavrelin.");
  int32_t i = 0;
  for (const TTopic& t : kTopics) {
    TButton* b = MakeButton(this, t.Caption, 16 + (i % 2) * 200, 44 + (i / 2) * 30, 190);
    const int32_t context = t.Context;
    b->SetTag(context);
    b->OnClick = [context](TObject*) {
      if (Application) Application->HelpContext(context);
    };
    TopicButtons.push_back(b);
    ++i;
  }
  TourButton = MakeButton(this, "Tour", 216, 164, 190);
  TourButton->OnClick = [this](TObject*) {
    if (auto* main = dynamic_cast<Tform1*>(Owner())) main->Tour1Click(this);
  };
  LinkButton = MakeButton(this, "Explorer Verknüpfungen", 16, 204, 190);
  LinkButton->OnClick = [this](TObject* S) { LinkButtonClick(S); };
  CloseButton = MakeButton(this, "Fenster schließen", 216, 204, 190);
  CloseButton->OnClick = [this](TObject*) { Close(); };
  CheckBox1 = new TCheckBox(this);
  CheckBox1->SetParent(this);
  CheckBox1->SetBounds(16, 244, 390, 20);
  CheckBox1->SetCaption("Diesen Dialog nicht mehr anzeigen");
  OnShow = [this](TObject* S) { FormShow(S); };
  OnClose = [this](TObject* S, TCloseAction& A) { FormClose(S, A); };
}

void Tinfoform::FormShow(TObject*) {
  if (auto* main = dynamic_cast<Tform1*>(Owner())) CheckBox1->SetChecked(main->StoredBool("NoWelcome"));
}

void Tinfoform::FormClose(TObject*, TCloseAction& Action) {
  if (auto* main = dynamic_cast<Tform1*>(Owner())) main->SetStoredBool("NoWelcome", CheckBox1->Checked());
  Action = caFree;
}

void Tinfoform::LinkButtonClick(TObject*) {
  if (MessageDlg(kLinkQuestion, mtConfirmation, TMsgDlgButtons{mbYes, mbNo}, 0) != mrYes) return;
  try {
    for (int32_t k = int32_t(tFileFormat::jpg); k <= int32_t(tFileFormat::cur); ++k) AssociateFileKind(tFileFormat(k));
  } catch (const Exception& E) {
    // The desktop's tools may be missing: the user learns why nothing was linked.
    MessageDlg(E.Message(), mtError, TMsgDlgButtons{mbOK}, 0);
  }
}

TLinkLabel::TLinkLabel(TComponent* AOwner) : TLabel(AOwner) {
  Font().SetColor(clCaptionText);
  SetCursor(crHandPoint);
}

void TLinkLabel::Dispatch(TMessage& Message) {
  TLabel::Dispatch(Message);
  if (Message.Msg == CM_MOUSEENTER) Font().SetColor(clHighlight);
  if (Message.Msg == CM_MOUSELEAVE) Font().SetColor(clCaptionText);
}

void TLinkLabel::Click() {
  TLabel::Click();
  ShellOpen(Caption());
}

Taboutform::Taboutform(TComponent* AOwner) : TForm(AOwner) {
  SetBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  SetClientSize(340, 220);
  Image1 = new TImage(this);
  Image1->SetParent(this);
  Image1->SetBounds(16, 16, 64, 64);
  Image1->SetStretch(true);
  Image1->SetProportional(true);
  const std::string icon = ProgramFolder() + "kavrelin.svg";
  try {
    if (FileExists(icon)) Image1->Picture().LoadFromFile(icon);
  } catch (...) {
    // Without its picture the box still says what it must.
  }
  Label1 = new TmyKvLabel(this);
  Label1->SetAutoSize(false);
  Label1->SetParent(this);
  Label1->SetBounds(96, 16, 228, 22);
  Label1->SetCaption("Kavrelin 3.6");
  DateLabel = new TLabel(this);
  DateLabel->SetParent(this);
  DateLabel->SetBounds(96, 48, 228, 18);
  DateLabel->SetCaption("Ausgabedatum: " + DateToStr(EncodeDate(2002, 12, 5)));
  int32_t y = 96;
  for (const char* address : {"https://kavrelin.example.org/", "mailto:info@kavrelin.example.org"}) {
    auto* link = new TLinkLabel(this);
    link->SetParent(this);
    link->SetBounds(96, y, 228, 18);
    link->SetCaption(address);
    Links.push_back(link);
    y += 24;
  }
  OKButton = new TButton(this);
  OKButton->SetParent(this);
  OKButton->SetBounds(130, 180, 80, 25);
  OKButton->SetCaption("OK");
  OKButton->SetDefault(true);
  OKButton->SetCancel(true);
  OKButton->SetModalResult(mrOk);
}

}  // namespace kv

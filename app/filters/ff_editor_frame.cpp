// The Filter Factory editor frame.
#include "app/filters/ff_editor_frame.h"

#include "app/filters/filter_apply.h"
#include "app/params/file_kinds.h"
#include "components/controls/kv_slider.h"
#include "components/controls/kv_speed_button.h"
#include "imaging/processing/ff_eval.h"
#include "imaging/processing/ff_files.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/memo.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {

// The speed buttons in the order of their names (KvSpeedButton1 .. 8).
struct TFieldButton {
  const char* Caption;
  int32_t Field;
};
const TFieldButton kFieldButtons[8] = {{"Rot", ffkRed},        {"Grün", ffkGreen},      {"Blau", ffkBlue},
                                       {"Name", ffkTitle},     {"Kategorie", ffkCategory}, {"8BF", ffk8BF},
                                       {"Autor", ffkAuthor},   {"Copyright", ffkCopyright}};

bool IsFormula(int32_t Field) { return Field == ffkRed || Field == ffkGreen || Field == ffkBlue; }

// Line breaks would split one field of the library over several lines.
std::string OneLine(std::string Text) {
  for (char& c : Text)
    if (c == '\r' || c == '\n') c = ' ';
  return Text;
}

}  // namespace

Tframeuserfilform::Tframeuserfilform(TComponent* AOwner)
    : TFrame(AOwner), FLibrary(std::make_unique<tfflfilter>()), FField(ffkRed) {
  SetName("frameuserfilform");
  SetBounds(0, 0, 560, 250);
  auto label = [this](int32_t x, int32_t y, int32_t w, const std::string& Caption) {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetBounds(x, y, w, 17);
    l->SetCaption(Caption);
    return l;
  };
  auto button = [this](int32_t x, int32_t y, int32_t w, const std::string& Caption, TNotifyEvent Click) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetBounds(x, y, w, 23);
    b->SetCaption(Caption);
    b->OnClick = std::move(Click);
    return b;
  };
  Label1 = label(4, 6, 40, "Filter:");
  Label2 = label(46, 6, 50, "1/1");
  Button6 = button(100, 2, 24, "<", [this](TObject*) { StepFilter(-1); });
  Button7 = button(126, 2, 24, ">", [this](TObject*) { StepFilter(1); });
  Button4 = button(152, 2, 24, "+", [this](TObject*) { InsertFilter(); });
  Button5 = button(178, 2, 24, "-", [this](TObject*) { DeleteFilter(); });
  for (int32_t i = 0; i < 8; ++i) {
    auto* b = new TKvSpeedButton(this);
    b->SetParent(this);
    b->SetBounds(4 + i * 66, 30, 64, 21);
    b->SetCaption(kFieldButtons[i].Caption);
    b->SetGroupIndex(1);
    b->SetDown(i == 0);
    const int32_t field = kFieldButtons[i].Field;
    b->OnClick = [this, field](TObject*) { ChooseField(field); };
    KvSpeedButtons[size_t(i)] = b;
  }
  RichEdit1 = new TMemo(this);
  RichEdit1->SetParent(this);
  RichEdit1->SetBounds(4, 54, 300, 130);
  RichEdit1->OnChange = [this](TObject*) {
    if (!FShowing) TakeBack();
  };
  Image1 = label(4, 190, 16, "!");
  Image1->Font().SetColor(clRed);
  Image1->OnClick = [this](TObject*) { GoToError(); };
  Label3 = label(22, 190, 45, "Stelle:");
  Label4 = label(68, 190, 50, "");
  for (TLabel* l : {Image1, Label3, Label4}) l->SetVisible(false);
  for (int32_t i = 0; i < 8; ++i) {
    const int32_t y = 54 + i * 24;
    auto* e = new TEdit(this);
    e->SetParent(this);
    e->SetBounds(310, y, 90, 21);
    e->SetTag(i);
    e->OnChange = [this](TObject*) {
      if (!FShowing) TakeBack();
    };
    Edits[size_t(i)] = e;
    auto* s = new TKvSlider(this);
    s->SetParent(this);
    s->SetBounds(404, y, 110, 21);
    s->SetMinValue(0);
    s->SetMaxValue(255);
    s->SetTag(i);
    s->OnChange = [this, i](TObject*) { SliderMoved(i); };
    Sliders[size_t(i)] = s;
    ValueLabels[size_t(i)] = label(518, y + 2, 36, "0");
  }
  Button1 = button(4, 220, 90, "Laden ...", [this](TObject*) {
    if (FilterApplying()) return;
    TFileDialogRequest r;
    r.FileMustExist = true;
    r.InitialDir = ProgramFolder() + "User Filter";
    r.Filter = AddAllFilesFilter("(FFL) Filter Factory Library|*.ffl|(AFS) Filter Factory File|*.afs");
    TFileDialogResult result;
    if (RunFileDialog(r, result) && !result.Files.empty()) LoadLibrary(result.Files.front());
  });
  Button2 = button(98, 220, 90, "Speichern ...", [this](TObject*) {
    if (FilterApplying()) return;
    TFileDialogRequest r;
    r.Save = true;
    r.OverwritePrompt = true;
    r.InitialDir = ProgramFolder() + "User Filter";
    r.Filter = "(FFL) Filter Factory Library|*.ffl";
    r.DefaultExt = "ffl";
    TFileDialogResult result;
    if (RunFileDialog(r, result) && !result.Files.empty()) SaveLibrary(result.Files.front());
  });
  Button3 = button(192, 220, 70, "Hilfe", [](TObject*) {
    if (Application) Application->HelpContext(295);
  });
  Timer1 = new TTimer(this);
  Timer1->SetEnabled(false);
  Timer1->SetInterval(500);
  Timer1->SetOnTimer([this](TObject*) {
    Timer1->SetEnabled(false);
    TakeBack();
  });
  ShowFilter();
}

Tframeuserfilform::~Tframeuserfilform() = default;

void Tframeuserfilform::ShowFilter() {
  FShowing = true;
  const int32_t n = FLibrary->CurrentFilter();
  for (int32_t i = 0; i < 8; ++i) {
    Edits[size_t(i)]->SetText(FLibrary->GetField(ffkControlName, n, i));
    const int32_t v = StrToIntDef(Trim(FLibrary->GetField(ffkControlValue, n, i)), 0);
    Sliders[size_t(i)]->SetValue(v);
    ValueLabels[size_t(i)]->SetCaption(IntToStr(Sliders[size_t(i)]->Value()));
  }
  RichEdit1->SetText(FLibrary->GetField(FField, n));
  Label2->SetCaption(IntToStr(n + 1) + "/" + IntToStr(FLibrary->Count()));
  FShowing = false;
  ShowError(IsFormula(FField) ? FFCheckFormula(RichEdit1->Text()) : 0);
  if (OnFilterChange) OnFilterChange(this);
}

void Tframeuserfilform::TakeBack() {
  if (FShowing) return;
  const int32_t n = FLibrary->CurrentFilter();
  const std::string text = OneLine(RichEdit1->Text());
  if (IsFormula(FField)) ShowError(FFCheckFormula(text));
  FLibrary->SetField(text, FField, 0, n);
  for (int32_t i = 0; i < 8; ++i) {
    FLibrary->SetField(OneLine(Edits[size_t(i)]->Text()), ffkControlName, i, n);
    FLibrary->SetField(IntToStr(Sliders[size_t(i)]->Value()), ffkControlValue, i, n);
  }
  if (OnFilterChange) OnFilterChange(this);
}

void Tframeuserfilform::ChooseField(int32_t Field) {
  FField = Field;
  for (int32_t i = 0; i < 8; ++i) KvSpeedButtons[size_t(i)]->SetDown(kFieldButtons[i].Field == Field);
  ShowFilter();
}

void Tframeuserfilform::ShowError(int32_t Position) {
  FErrorPosition = Position;
  Label4->SetCaption(Position ? IntToStr(Position) : std::string());
  for (TLabel* l : {Image1, Label3, Label4}) l->SetVisible(Position != 0);
}

void Tframeuserfilform::SliderMoved(int32_t Tag) {
  if (FShowing) return;
  ValueLabels[size_t(Tag)]->SetCaption(IntToStr(Sliders[size_t(Tag)]->Value()));
  // The value is taken back once the slider rests.
  Timer1->SetEnabled(false);
  Timer1->SetEnabled(true);
}

void Tframeuserfilform::StepFilter(int32_t Delta) {
  if (FilterApplying()) return;
  const int32_t n = FLibrary->CurrentFilter() + Delta;
  if (n < 0 || n >= FLibrary->Count()) return;
  FLibrary->SetCurrentFilter(n);
  ShowFilter();
}

void Tframeuserfilform::InsertFilter() {
  if (FilterApplying()) return;
  FLibrary->NewFilter(FLibrary->CurrentFilter());
  ShowFilter();
}

void Tframeuserfilform::DeleteFilter() {
  if (FilterApplying()) return;
  FLibrary->DeleteFilter(FLibrary->CurrentFilter());
  if (FLibrary->CurrentFilter() >= FLibrary->Count()) FLibrary->SetCurrentFilter(FLibrary->Count() - 1);
  ShowFilter();
}

void Tframeuserfilform::LoadLibrary(const std::string& FileName) {
  auto lib = std::make_unique<tfflfilter>();
  lib->Load(FileName);
  FLibrary = std::move(lib);
  FLibrary->SetCurrentFilter(0);
  FFilesChanged = true;
  ShowFilter();
}

void Tframeuserfilform::SaveLibrary(const std::string& FileName) {
  TakeBack();
  FLibrary->Save(FileName);
  FFilesChanged = true;
}

void Tframeuserfilform::GoToError() {
  if (FErrorPosition > 0) RichEdit1->SetSelStart(FErrorPosition - 1);
}

}  // namespace kv

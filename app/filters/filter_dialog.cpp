// The filter dialog.
#include "app/filters/filter_dialog.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "app/filters/colour_models.h"
#include "app/filters/colour_pick.h"
#include "app/filters/ff_editor_frame.h"
#include "app/filters/filter_apply.h"
#include "app/filters/filter_catalogue.h"
#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/direction_frame.h"
#include "app/main/main_form.h"
#include "app/settings/form_storage1.h"
#include "components/controls/kv_slider.h"
#include "components/controls/kv_speed_button.h"
#include "components/controls/kv_spin.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/ff_files.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/random.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/page_control.h"
#include "platform/ui/panel.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/timer.h"
#include "platform/rtl/sys_error.h"

namespace kv {

namespace {

const char* const kPreviewSizes[] = {"Max", "Mittel", "Min"};
enum : int32_t { psMax, psMedium, psMin };

bool IsOpenRange(const tfilterparam& P) { return P.Max == kOpenRangeMax || P.Min == kOpenRangeMin; }

std::string RealText(double V) {
  char b[64];
  std::snprintf(b, sizeof b, "%.6f", V);
  return b;
}

std::vector<std::string> SplitBars(const std::string& Text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t bar = Text.find('|', start);
    out.push_back(Text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) return out;
    start = bar + 1;
  }
}

std::vector<std::string> ImageWindowTitles() {
  std::vector<std::string> titles;
  if (!form1) return titles;
  for (int32_t i = 0; i < form1->MDIChildCount(); ++i)
    if (auto* c = dynamic_cast<Tchild*>(form1->MDIChildren(i))) titles.push_back(c->Caption());
  return titles;
}

// Lends the editor's library to its kind-2 item for one application.
class TLentLibrary {
 public:
  TLentLibrary(Tframeuserfilform* Editor, tfilteritem* Item) : FEditor(Editor), FItem(Item) {
    if (FEditor && FItem) {
      FItem->Library = FEditor->TakeLibrary();
      FItem->FilterNumber = FItem->Library->CurrentFilter();
    }
  }
  ~TLentLibrary() {
    if (FEditor && FItem && FItem->Library) FEditor->GiveLibrary(std::move(FItem->Library));
  }
  TLentLibrary(const TLentLibrary&) = delete;
  TLentLibrary& operator=(const TLentLibrary&) = delete;

 private:
  Tframeuserfilform* FEditor;
  tfilteritem* FItem;
};

}  // namespace

void CopyFilterItem(const tfilteritem& From, tfilteritem& To) {
  To.Caption = From.Caption;
  To.Category = From.Category;
  To.Kind = From.Kind;
  To.Convolution = From.Convolution;
  To.FilePath = From.FilePath;
  To.FilterNumber = From.FilterNumber;
  To.ParamCount = From.ParamCount;
  To.Params = From.Params;
  To.RowCount = From.RowCount;
  To.Tag = From.Tag;
  To.Keyword = From.Keyword;
}

Tfilterform::Tfilterform(TComponent* AOwner) : TForm(AOwner) {
  SetName("filterform");
  SetCaption("Vorschau");
  SetPosition(poScreenCenter);
  SetBounds(0, 0, 720, 690);
  auto speed = [this](int32_t x, int32_t y, int32_t w, const std::string& Caption, const std::string& Hint) {
    auto* b = new TKvSpeedButton(this);
    b->SetParent(this);
    b->SetBounds(x, y, w, 23);
    b->SetCaption(Caption);
    b->SetHint(Hint);
    b->SetShowHint(!Hint.empty());
    return b;
  };
  auto button = [this](int32_t x, int32_t y, int32_t w, const std::string& Caption) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetBounds(x, y, w, 25);
    b->SetCaption(Caption);
    return b;
  };
  beforeImager = new timagerlayer(this);
  beforeImager->SetParent(this);
  beforeImager->SetBounds(8, 8, 348, 260);
  beforeImager->SetHint("So schaut das Bild vor dem Filter aus.");
  afterImager = new timagerlayer(this);
  afterImager->SetParent(this);
  afterImager->SetBounds(364, 8, 348, 260);
  afterImager->SetHint("So schaut das Bild nach dem Filter aus.\r\nVorschau muss allerdings angeschaltet sein.");
  for (timagerlayer* v : {beforeImager, afterImager}) {
    v->SetShowHint(true);
    v->SetAutoUndo(false);
    v->SetMouseInteract(TIMMouseInteract{miZoom});
    v->OnViewChange = [this, v](TObject*, int32_t Change) { SyncViews(v, Change); };
  }
  ErrorLabel = new TLabel(this);
  ErrorLabel->SetParent(this);
  ErrorLabel->SetBounds(8, 272, 704, 17);
  ErrorLabel->Font().SetColor(clRed);

  previewspeedbutton = speed(8, 292, 60, "Auto", "Automatische Vorschau");
  previewspeedbutton->SetGroupIndex(11);
  previewspeedbutton->SetAllowAllUp(true);
  previewspeedbutton->SetDown(true);
  checkspeedbutton = speed(70, 292, 60, "Auto", "Automatische Überprüfung");
  checkspeedbutton->SetGroupIndex(12);
  checkspeedbutton->SetAllowAllUp(true);
  previewButton = button(134, 291, 80, "Vorschau");
  previewButton->OnClick = [this](TObject*) { ComputePreview(); };
  checkbutton = button(218, 291, 80, "Überprüfen");
  checkbutton->OnClick = [this](TObject*) { TryOnImage(); };
  auto* quality = new TLabel(this);
  quality->SetParent(this);
  quality->SetBounds(306, 295, 100, 17);
  quality->SetCaption("Vorschau Qualität");
  mycombobox1 = new TComboBox(this);
  mycombobox1->SetParent(this);
  mycombobox1->SetBounds(408, 291, 70, 23);
  for (const char* s : kPreviewSizes) mycombobox1->AddItem(s);
  mycombobox1->SetItemIndex(psMin);
  mycombobox1->OnChange = [this](TObject*) {
    BuildPreview();
    RefreshPreview();
  };
  CheckBox1 = new TCheckBox(this);
  CheckBox1->SetParent(this);
  CheckBox1->SetBounds(486, 293, 130, 19);
  CheckBox1->SetCaption("Filter mit skalieren");
  CheckBox1->OnClick = [this](TObject*) {
    if (!FBuilding) ComputePreview();
  };
  SpeedButton6 = speed(620, 292, 44, "Hand", "");
  SpeedButton7 = speed(666, 292, 44, "Zoom", "");
  for (TKvSpeedButton* b : {SpeedButton6, SpeedButton7}) b->SetGroupIndex(13);
  SpeedButton7->SetDown(true);
  SpeedButton6->OnClick = [this](TObject*) {
    for (timagerlayer* v : {beforeImager, afterImager}) v->SetMouseInteract(TIMMouseInteract{miScroll});
  };
  SpeedButton7->OnClick = [this](TObject*) {
    for (timagerlayer* v : {beforeImager, afterImager}) v->SetMouseInteract(TIMMouseInteract{miZoom});
  };

  FilterParamBox = new TPageControl(this);
  FilterParamBox->SetParent(this);
  FilterParamBox->SetBounds(8, 322, 704, 320);
  FilterParamBox->SetTabPosition(tpBottom);
  FilterParamBox->SetHint("Hier können Sie die Einstellungen des aktuellen Filters ändern.");
  FilterParamBox->SetShowHint(true);
  FilterParamBox->OnChange = [this](TObject*) { SelectFilter(FilterParamBox->ActivePageIndex()); };

  Button1 = button(8, 652, 80, "Ok");
  Button1->SetModalResult(mrOk);
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject*) { Button1Click(); };
  Button2 = button(92, 652, 80, "Abbrechen");
  Button2->SetModalResult(mrCancel);
  Button2->SetCancel(true);
  Button2->OnClick = [this](TObject*) { Button2Click(); };
  Button4 = button(196, 652, 110, "Vorschläge ...");
  Button4->OnClick = [this](TObject*) { ShowSuggestions(); };
  Button5 = button(310, 652, 110, "Schnellwahl ...");
  Button5->OnClick = [this](TObject*) { ShowQuickChoice(); };
  Button7 = button(424, 652, 110, "Standardwerte");
  Button7->OnClick = [this](TObject*) { SetDefaults(); };
  Button9 = button(632, 652, 80, "Hilfe");
  Button9->OnClick = [](TObject*) {
    if (Application) Application->HelpContext(29);
  };

  Timer1 = new TTimer(this);
  Timer1->SetEnabled(false);
  Timer1->SetInterval(500);
  Timer1->SetOnTimer([this](TObject*) {
    Timer1->SetEnabled(false);
    if (const TFilterParamRow* row = RowOf(FPendingParam)) SpinChanged(*row);
  });
  OnShow = [this](TObject*) { FormShow(); };
  OnClose = [this](TObject*, TCloseAction&) { FormClose(); };
}

Tfilterform::~Tfilterform() = default;

timagerlayer* Tfilterform::RealImage() const { return Image ? Image : form1 ? form1->getimager() : nullptr; }

int32_t Tfilterform::CurrentIndex() const { return FilterParamBox->ActivePageIndex(); }

tfilteritem* Tfilterform::CurrentItem() const {
  if (Editor && FEditorItem) return FEditorItem.get();
  const int32_t i = CurrentIndex();
  return i >= 0 && size_t(i) < FCatalogue.size() ? FCatalogue[size_t(i)].Item : nullptr;
}

const TFilterParamRow* Tfilterform::RowOf(int32_t Param) const {
  for (const TFilterParamRow& r : FRows)
    if (r.Param == Param) return &r;
  return nullptr;
}

// ---- opening and closing ----

void Tfilterform::FormShow() {
  FCatalogue.clear();
  if (SourceCatalogue)
    for (int32_t i = 0; i < SourceCatalogue->Count(); ++i) {
      tfilteritem* item = SourceCatalogue->Items(i);
      if (!StartItem || item->Category == StartItem->Category) FCatalogue.push_back({SourceCatalogue->Names(i), item});
    }
  for (const TFilterRef& r : FCatalogue) LoadFilterSettings(*r.Item);
  FBuilding = true;
  while (FilterParamBox->PageCount() > 0) delete FilterParamBox->Pages(FilterParamBox->PageCount() - 1);
  for (const TFilterRef& r : FCatalogue) {
    auto* sheet = new TTabSheet(this);
    sheet->SetPageControl(FilterParamBox);
    sheet->SetCaption(r.Name);
  }
  int32_t start = FCatalogue.empty() ? -1 : 0;
  for (int32_t i = int32_t(FCatalogue.size()) - 1; i >= 0; --i)
    if (FCatalogue[size_t(i)].Item == StartItem) {
      start = i;
      break;
    }
  FilterParamBox->SetActivePageIndex(start);
  FBuilding = false;
  BuildPanel(true);
  BuildPreview();
  RefreshPreview();
}

void Tfilterform::FormClose() {
  Timer1->SetEnabled(false);
  for (const TFilterRef& r : FCatalogue) StoreFilterSettings(*r.Item);
  if (Editor && Editor->FilesChanged()) FFiltersChanged = true;
  if (FRealCopy && !FKeep) PutBackRealImage();
  FRealCopy.reset();
}

void Tfilterform::PutBackRealImage() {
  timagerlayer* real = RealImage();
  if (!real || !FRealCopy) return;
  real->Bitmap().Assign(FRealCopy.get());
  real->Update();
}

void Tfilterform::Button1Click() {
  Timer1->SetEnabled(false);
  tfilteritem* item = CurrentItem();
  if (Editor && FEditorItem) {
    // The editor's filter exists only here: it is applied now, and no line is left to run.
    if (FRealCopy) PutBackRealImage();
    if (timagerlayer* real = RealImage()) {
      TLentLibrary lent(Editor, FEditorItem.get());
      try {
        ApplyFilterToImage(*real, FEditorItem.get(), false, false, true, 1);
      } catch (const std::exception& e) {
        ShowError(ExceptionText(e));
        SetModalResult(mrNone);
        return;
      }
    }
    FKeep = true;
    CommandLine.clear();
    return;
  }
  CommandLine = FilterItemToCommand(item);
  // Separation makes new windows: trying it leaves nothing on the picture to keep.
  if (item && SameText(item->Keyword, "Seperate")) FAppliedInPlace = false;
  if (FAppliedInPlace) CommandLine = "AlreadyDone " + CommandLine;
  FKeep = FAppliedInPlace;
}

void Tfilterform::Button2Click() {
  Timer1->SetEnabled(false);
  FAppliedInPlace = false;
  FKeep = false;
}

void Tfilterform::SelectFilter(int32_t Index) {
  if (FBuilding) return;
  if (Index != CurrentIndex()) {
    FBuilding = true;
    FilterParamBox->SetActivePageIndex(Index);
    FBuilding = false;
  }
  BuildPanel(false);
  RefreshPreview();
}

// ---- the parameter panel ----

void Tfilterform::ClearPanel() {
  Timer1->SetEnabled(false);
  FPendingParam = -1;
  FRows.clear();
  if (Editor && Editor->FilesChanged()) FFiltersChanged = true;
  for (auto it = FPanelControls.rbegin(); it != FPanelControls.rend(); ++it) delete *it;
  FPanelControls.clear();
  Editor = nullptr;
  FEditorItem.reset();
}

void Tfilterform::BuildPanel(bool LoadSettings) {
  ClearPanel();
  const int32_t index = CurrentIndex();
  if (index < 0 || size_t(index) >= FCatalogue.size()) return;
  tfilteritem& item = *FCatalogue[size_t(index)].Item;
  SetCaption(FCatalogue[size_t(index)].Name);
  TTabSheet* sheet = FilterParamBox->ActivePage();
  const int32_t width = sheet ? sheet->ClientWidth() : FilterParamBox->Width();
  const int32_t height = sheet ? sheet->ClientHeight() : FilterParamBox->Height() - TPageControl::kTabHeight;
  FBuilding = true;
  if (LoadSettings) LoadFilterSettings(item);

  // A Filter Factory filter shows only the controls its formulas read.
  std::unique_ptr<tfflfilter> loaded;
  const tfflfilter* lib = item.Library.get();
  if (item.Kind == fkFilterFactory && !lib) {
    try {
      loaded = std::make_unique<tfflfilter>();
      loaded->Load(item.FilePath);
      loaded->SetCurrentFilter(item.FilterNumber);
      lib = loaded.get();
    } catch (const std::exception& e) {
      ShowError(ExceptionText(e));
    }
  }
  std::vector<int32_t> params;
  for (int32_t i = 0; i < item.ParamCount; ++i)
    if (item.Kind != fkFilterFactory || !lib || lib->ControlUsed(i)) params.push_back(i);

  auto addLabel = [&](const std::string& Text, int32_t X, int32_t Y, int32_t W) {
    auto* l = new TLabel(this);
    l->SetParent(sheet ? static_cast<TWinControl*>(sheet) : FilterParamBox);
    l->SetBounds(X, Y, W, 17);
    l->SetCaption(Text);
    FPanelControls.push_back(l);
    return l;
  };
  if (params.empty()) addLabel("Keine Parameter", 10, 15, 200);

  // Rows run down the panel; one that would pass its foot starts a second column.
  int32_t total = 15;
  for (int32_t p : params) total += item.Params[size_t(p)].Typ == fptColor ? 80 : 25;
  const bool twoColumns = total > height;
  const int32_t columnWidth = twoColumns ? width / 2 : width;
  int32_t left = 10, top = 15, column = 0;
  for (int32_t p : params) {
    const tfilterparam& par = item.Params[size_t(p)];
    if (par.Typ == fptUserFilter) {
      Editor = new Tframeuserfilform(this);
      Editor->SetParent(sheet ? static_cast<TWinControl*>(sheet) : FilterParamBox);
      Editor->SetBounds(4, 10, std::min(Editor->Width(), width - 8), Editor->Height());
      FPanelControls.push_back(Editor);
      FEditorItem = std::make_unique<tfilteritem>();
      FEditorItem->Kind = fkFilterFactory;
      FEditorItem->Caption = item.Caption;
      FEditorItem->Category = item.Category;
      FEditorItem->ParamCount = 8;
      Editor->OnFilterChange = [this](TObject*) {
        if (FBuilding) return;
        FAppliedInPlace = false;
        RefreshPreview();
      };
      continue;
    }
    const int32_t step = par.Typ == fptColor ? 80 : 25;
    const int32_t need = par.Typ == fptColor ? 70 : 35;
    if (top + need > height && column == 0 && twoColumns) {
      column = 1;
      left = width / 2 + 10;
      top = 15;
    }
    AddRow(p, left, top, left - 10 + columnWidth);
    top += step;
  }
  if (item.Kind == fkFilterFactory && lib) {
    const std::string line = "Autor: " + lib->GetField(ffkAuthor, item.FilterNumber) + "     Copyright: " +
                             lib->GetField(ffkCopyright, item.FilterNumber);
    addLabel(line, 10, std::min(top + 5, height - 20), width - 20);
  }
  Button5->SetEnabled(FCatalogue.size() > 1);
  Button4->SetEnabled(item.RowCount > 0 || (item.Kind == fkFilterFactory && !Editor));
  CheckBox1->SetChecked(item.Kind == fkBuiltin && !Editor);
  FBuilding = false;
}

void Tfilterform::AddRow(int32_t Param, int32_t Left, int32_t Top, int32_t Right) {
  tfilteritem& item = *FCatalogue[size_t(CurrentIndex())].Item;
  tfilterparam& par = item.Params[size_t(Param)];
  TWinControl* parent = FilterParamBox->ActivePage();
  if (!parent) parent = FilterParamBox;
  TFilterParamRow row;
  row.Param = Param;
  auto own = [&](TControl* C) {
    C->SetParent(parent);
    FPanelControls.push_back(C);
  };
  row.Label = new TLabel(this);
  own(row.Label);
  row.Label->SetBounds(Left, Top + 3, 150, 17);
  row.Label->SetCaption(par.Name);
  switch (par.Typ) {
    case fptInteger:
    case fptReal: {
      row.Spin = new TKvSpinEdit(this);
      own(row.Spin);
      row.Spin->SetBounds(Right - 270, Top, 60, 23);
      if (par.Typ == fptReal) {
        row.Spin->SetValueType(vtFloat);
        row.Spin->SetDecimal(6);
      }
      row.Spin->SetMinValue(FilterParamFloat(par.Min));
      row.Spin->SetMaxValue(FilterParamFloat(par.Max));
      row.Spin->SetIncrement(par.Increment.empty() ? 1 : FilterParamFloat(par.Increment));
      row.Spin->SetValue(FilterParamFloat(par.Value));
      if (!IsOpenRange(par)) {
        row.Slider = new TKvSlider(this);
        own(row.Slider);
        row.Slider->SetBounds(Right - 10 - 250, Top, 250, 23);
        row.Slider->SetMinValue(0);
        row.Slider->SetMaxValue(100);
      }
      break;
    }
    case fptBool:
      row.Check = new TCheckBox(this);
      own(row.Check);
      row.Check->SetBounds(Left + 160, Top, 20, 19);
      row.Check->SetChecked(FilterParamInt(par.Value) > 0);
      break;
    case fptColor: {
      row.ColorFrame = new TFramehsvform(this);
      // The parameter holds the colour; the frame's own store would overwrite it.
      row.ColorFrame->Formstorage1->SetActive(false);
      own(row.ColorFrame);
      row.ColorFrame->SetBounds(Left + 75 + 80, Top, row.ColorFrame->Width(), 80);
      row.ColorFrame->SetColor(TColor(FilterParamInt(par.Value)));
      break;
    }
    case fptAnchor: {
      row.Anchor = new Tdirectionframe(this);
      row.Anchor->Formstorage1->SetActive(false);
      own(row.Anchor);
      row.Anchor->SetLeft(Left + 75 + 80);
      row.Anchor->SetTop(Top);
      const int32_t mask = FilterParamInt(par.Value);
      const auto& tags = Tdirectionframe::kTags;
      // A value that is no place shows the centre.
      row.Anchor->SetDirection(std::find(tags.begin(), tags.end(), mask) != tags.end() ? mask : 0);
      break;
    }
    case fptImageWindow:
    case fptChoice: {
      row.Combo = new TComboBox(this);
      own(row.Combo);
      row.Combo->SetBounds(Left + 75 + 80, Top, 230, 23);
      if (par.Typ == fptImageWindow) {
        const std::vector<std::string> titles = ImageWindowTitles();
        row.Combo->SetItems(titles);
        int32_t at = row.Combo->IndexOf(par.Value);
        if (at < 0 && !titles.empty()) {
          par.Value = par.Default = titles.front();
          at = 0;
        }
        row.Combo->SetItemIndex(at);
      } else {
        row.Combo->SetItems(SplitBars(par.Min));
        row.Combo->SetItemIndex(FilterParamInt(par.Value));
      }
      break;
    }
    default: break;
  }
  FRows.push_back(row);
  const TFilterParamRow& r = FRows.back();
  if (r.Spin) {
    if (r.Slider) {
      const double lo = FilterParamFloat(par.Min), hi = FilterParamFloat(par.Max);
      if (hi > lo) r.Slider->SetValue(Round32((FilterParamFloat(par.Value) - lo) * 100 / (hi - lo)));
      r.Slider->OnChange = [this, Param](TObject*) {
        if (const TFilterParamRow* x = RowOf(Param)) SliderMoved(*x);
      };
    }
    r.Spin->OnChange = [this, Param](TObject*) {
      if (const TFilterParamRow* x = RowOf(Param)) SpinChanged(*x);
    };
  }
  if (r.Check)
    r.Check->OnClick = [this, Param](TObject*) {
      if (const TFilterParamRow* x = RowOf(Param)) ParamChanged(Param, x->Check->Checked() ? "1" : "0");
    };
  // The frame raises its click after a pick in the box and after the large dialog.
  if (r.ColorFrame)
    r.ColorFrame->OnClick = [this, Param](TObject*) {
      if (const TFilterParamRow* x = RowOf(Param)) ParamChanged(Param, IntToStr(int32_t(x->ColorFrame->Color())));
    };
  if (r.Anchor)
    r.Anchor->OnClick = [this, Param](TObject*) {
      const TFilterParamRow* x = RowOf(Param);
      if (x && x->Anchor->Direction() >= 0) ParamChanged(Param, IntToStr(x->Anchor->Direction()));
    };
  if (r.Combo) {
    const uint8_t typ = par.Typ;
    const bool model = par.Typ == fptChoice && par.Name == "Farbmodell";
    r.Combo->OnChange = [this, Param, typ, model](TObject*) {
      const TFilterParamRow* x = RowOf(Param);
      if (!x) return;
      const int32_t i = x->Combo->ItemIndex();
      if (i < 0) return;
      // A choice is read back as its index, so the index is what is kept.
      if (typ == fptChoice)
        ParamChanged(Param, IntToStr(i));
      else
        ParamChanged(Param, x->Combo->Item(i));
      if (model) ModelChosen(ColorModelIndex(x->Combo->Item(i)));
    };
    if (model && r.Combo->ItemIndex() >= 0) ModelChosen(ColorModelIndex(r.Combo->Item(r.Combo->ItemIndex())));
  }
}

void Tfilterform::ModelChosen(int32_t Model) {
  const auto m = TColorModel(std::clamp(Model, 0, kColorModelCount - 1));
  for (size_t k = 0; k < FRows.size() && k < 4; ++k) {
    const TFilterParamRow& r = FRows[k];
    const std::string name = ColorChannelName(m, int32_t(k));
    r.Label->SetCaption(name);
    const bool hide = name.empty() && r.Combo;
    r.Label->SetVisible(!hide);
    if (r.Combo) r.Combo->SetVisible(!hide);
  }
}

// ---- parameter changes ----

void Tfilterform::ParamChanged(int32_t Param, const std::string& Value) {
  if (FBuilding || FSliderMoving) return;
  tfilteritem* item = CurrentItem();
  if (!item || Param < 0 || Param >= kMaxFilterParams) return;
  FAppliedInPlace = false;
  item->Params[size_t(Param)].Value = Value;
  RefreshPreview();
}

void Tfilterform::SpinChanged(const TFilterParamRow& Row) {
  if (FBuilding || FSliderMoving || !Row.Spin) return;
  tfilteritem* item = CurrentItem();
  if (!item) return;
  const tfilterparam& par = item->Params[size_t(Row.Param)];
  const double v = Row.Spin->Value();
  const std::string text = par.Typ == fptReal ? RealText(v) : IntToStr(Round32(v));
  if (Row.Slider) {
    const double lo = FilterParamFloat(par.Min), hi = FilterParamFloat(par.Max);
    FSliderMoving = true;
    if (hi > lo) Row.Slider->SetValue(Round32((v - lo) * 100 / (hi - lo)));
    FSliderMoving = false;
  }
  const int32_t param = Row.Param;
  ParamChanged(param, text);
}

void Tfilterform::SliderMoved(const TFilterParamRow& Row) {
  if (FBuilding || FSliderMoving || !Row.Spin) return;
  tfilteritem* item = CurrentItem();
  if (!item) return;
  const tfilterparam& par = item->Params[size_t(Row.Param)];
  const double lo = FilterParamFloat(par.Min), hi = FilterParamFloat(par.Max);
  double v = lo + (hi - lo) * Row.Slider->Value() / 100.0;
  if (par.Typ == fptInteger) v = Round32(v);
  FSliderMoving = true;
  Row.Spin->SetValue(v);
  FSliderMoving = false;
  // The preview follows once the slider rests.
  FPendingParam = Row.Param;
  Timer1->SetEnabled(false);
  Timer1->SetEnabled(true);
}

// ---- preview ----

void Tfilterform::RefreshPreview() {
  if (previewspeedbutton->Down()) ComputePreview();
  if (checkspeedbutton->Down()) TryOnImage();
}

void Tfilterform::BuildPreview() {
  timagerlayer* real = RealImage();
  TBitmap& before = beforeImager->Bitmap();
  if (!real || real->Bitmap().Empty()) {
    before.SetSize(0, 0);
    afterImager->Bitmap().SetSize(0, 0);
    FArea = TRect{0, 0, 0, 0};
    return;
  }
  FArea = SelectionArea(*real);
  int32_t w = FArea.Width(), h = FArea.Height();
  switch (mycombobox1->ItemIndex()) {
    case psMax: break;
    case psMedium:
      if (int64_t(w) * h > 307200) {
        w = 640;
        h = 480;
      }
      break;
    default:
      w = std::max(beforeImager->ClientWidth(), 1);
      h = std::max(beforeImager->ClientHeight(), 1);
      break;
  }
  ScaleAreaInto(real->Bitmap(), FArea, w, h, before);
  afterImager->Bitmap().Assign(&before);
  FZoomRatio = 1;
  for (timagerlayer* v : {beforeImager, afterImager}) {
    v->SetZoom(100);
    v->SetViewXY(0, 0);
    v->Update();
  }
}

double Tfilterform::PreviewScale() const {
  return FArea.Width() > 0 ? double(afterImager->Bitmap().Width()) / FArea.Width() : 1;
}

void Tfilterform::ShowError(const std::string& Text) {
  FPreviewError = Text;
  ErrorLabel->SetCaption(Text);
}

void Tfilterform::ComputePreview() {
  if (FilterApplying()) return;
  tfilteritem* item = CurrentItem();
  afterImager->Bitmap().Assign(&beforeImager->Bitmap());
  if (item && !afterImager->Bitmap().Empty()) {
    const double scale = CheckBox1->Checked() ? PreviewScale() : 1;
    TLentLibrary lent(Editor, Editor ? FEditorItem.get() : nullptr);
    try {
      ApplyFilterToImage(*afterImager, item, false, true, false, scale);
      ShowError("");
    } catch (const std::exception& e) {
      // The preview shows the picture unfiltered and says why; the dialog stays usable.
      afterImager->Bitmap().Assign(&beforeImager->Bitmap());
      ShowError(ExceptionText(e));
    }
  }
  afterImager->Update();
}

void Tfilterform::TryOnImage() {
  if (FilterApplying()) return;
  timagerlayer* real = RealImage();
  tfilteritem* item = CurrentItem();
  if (!real || !item) return;
  if (!FRealCopy)
    FRealCopy = DuplicateBitmap(real->Bitmap());
  else
    real->Bitmap().Assign(FRealCopy.get());
  if (!real->AutoUndo()) real->SaveUndoPoint();
  TLentLibrary lent(Editor, Editor ? FEditorItem.get() : nullptr);
  try {
    ApplyFilterToImage(*real, item, false, true, true, 1);
    FAppliedInPlace = true;
    ShowError("");
  } catch (const std::exception& e) {
    PutBackRealImage();
    FAppliedInPlace = false;
    ShowError(ExceptionText(e));
  }
}

void Tfilterform::SyncViews(timagerlayer* From, int32_t Change) {
  if (FSyncing) return;
  timagerlayer* other = From == beforeImager ? afterImager : beforeImager;
  FSyncing = true;
  if (Change == 1) other->SetZoom(From == beforeImager ? From->Zoom() * FZoomRatio : From->Zoom() / FZoomRatio);
  other->SetViewXY(From->ViewX(), From->ViewY());
  FSyncing = false;
}

// ---- defaults, suggestions, quick choice ----

void Tfilterform::SetDefaults() {
  tfilteritem* item = CurrentItem();
  if (!item) return;
  if (item->Kind != fkUserFilter)
    for (int32_t i = 0; i < item->ParamCount; ++i) item->Params[size_t(i)].Value = item->Params[size_t(i)].Default;
  FAppliedInPlace = false;
  BuildPanel(false);
  RefreshPreview();
}

void Tfilterform::ShowSuggestions() {
  tfilteritem* item = CurrentItem();
  if (!item || Editor) return;
  std::vector<std::unique_ptr<tfilteritem>> variants;
  TFilterRefs refs;
  const int32_t count = item->Kind == fkFilterFactory ? 51 : item->RowCount;
  for (int32_t v = 0; v < count; ++v) {
    auto variant = std::make_unique<tfilteritem>();
    CopyFilterItem(*item, *variant);
    for (int32_t p = 0; p < kMaxFilterParams; ++p) {
      tfilterparam& par = variant->Params[size_t(p)];
      if (item->Kind == fkFilterFactory)
        par.Value = p < 8 ? IntToStr(Random(256)) : par.Value;
      else
        par.Value = par.Suggestions[size_t(v)];
    }
    refs.push_back({FCatalogue[size_t(CurrentIndex())].Name + " " + IntToStr(v + 1), variant.get()});
    variants.push_back(std::move(variant));
  }
  if (refs.empty()) return;
  int32_t chosen = -1;
  if (!ChooseFilterByPreview(*beforeImager, refs, &chosen) || chosen < 0) return;
  const tfilteritem& pick = *variants[size_t(chosen)];
  for (int32_t p = 0; p < kMaxFilterParams; ++p) item->Params[size_t(p)].Value = pick.Params[size_t(p)].Value;
  FAppliedInPlace = false;
  if (item->Kind == fkUserFilter)
    item->Convolution = pick.Convolution;
  else
    BuildPanel(false);
  RefreshPreview();
}

void Tfilterform::ShowQuickChoice() {
  int32_t chosen = -1;
  if (!ChooseFilterByPreview(*beforeImager, FCatalogue, &chosen) || chosen < 0) return;
  FAppliedInPlace = false;
  SelectFilter(chosen);
}

// ---- the main window's entries ----

void ShowFilterDialog(Tform1& Form, tfilterclass& Catalogue, tfilteritem* StartItem) {
  auto dlg = std::make_unique<Tfilterform>(nullptr);
  dlg->SourceCatalogue = &Catalogue;
  dlg->StartItem = StartItem;
  const bool ok = dlg->ShowModal() == mrOk;
  const std::string line = dlg->CommandLine;
  const bool changed = dlg->FiltersChanged();
  dlg.reset();
  if (ok && !line.empty()) Form.interpreter(&Form, line);
  if (changed) Form.rebuildfiltermenu();
}

void ShowQuickFilterChoice(Tform1& Form) {
  timagerlayer* image = Form.getimager();
  if (!image) return;
  tfilteritem* chosen = ChooseFilterByPreview(*image, CatalogueRefs(FilterCatalogue()));
  if (!chosen) return;
  if (Application) Application->ProcessMessages();
  const std::string line = FilterItemToCommand(chosen);
  if (!line.empty()) Form.interpreter(&Form, line);
}

}  // namespace kv

#include "app/catalog/image_source_frame.h"

#include <algorithm>
#include <set>
#include <vector>

#include "app/catalog/image_source.h"
#include "app/catalog/image_source_options.h"
#include "app/child/child_window.h"
#include "app/filters/filter_catalogue.h"
#include "app/helpers/folder_helpers.h"
#include "app/helpers/my_combo_box.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "app/tools/scan_pieces.h"
#include "components/controls/file_dir_edit.h"
#include "imaging/processing/colour_convert.h"
#include "imaging/processing/scan_straighten.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/forms.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

bool ReadChecked(const std::string& V) {
  const std::string t = Trim(V);
  return SameText(t, "True") || StrToIntDef(t, 0) != 0;
}

}  // namespace

TimageSourceframe::TimageSourceframe(TComponent* AOwner) : TFrame(AOwner) {
  SetName("imageSourceframe");
  SetBounds(0, 0, 360, 150);

  Label1 = new TLabel(this);
  Label1->SetParent(this);
  Label1->SetCaption("Quelle");
  Label1->SetBounds(4, 8, 60, 17);
  mycombobox1 = new mycombobox(this, std::vector<std::string>(std::begin(kImageSourceKinds), std::end(kImageSourceKinds)));
  mycombobox1->SetName("mycombobox1");
  mycombobox1->SetParent(this);
  mycombobox1->SetBounds(70, 4, 180, 24);
  mycombobox1->SetItemIndex(ismFolder);
  mycombobox1->OnChange = [this](TObject* Sender) { mycombobox1Change(Sender); };

  OptionsButton = new TButton(this);
  OptionsButton->SetName("OptionsButton");
  OptionsButton->SetParent(this);
  OptionsButton->SetCaption("Optionen");
  OptionsButton->SetBounds(258, 3, 96, 26);
  OptionsButton->OnClick = [this](TObject* Sender) { OptionsButtonClick(Sender); };

  FilenameEdit1 = new TFilenameEdit(this);
  FilenameEdit1->SetName("FilenameEdit1");
  FilenameEdit1->SetParent(this);
  FilenameEdit1->SetFilter(CatalogFilter());
  FilenameEdit1->SetBounds(4, 36, 350, 24);

  DirectoryEdit1 = new TDirectoryEdit(this);
  DirectoryEdit1->SetName("DirectoryEdit1");
  DirectoryEdit1->SetParent(this);
  DirectoryEdit1->SetBounds(4, 36, 350, 24);
  DirectoryEdit1->SetText(ImagesFolder());

  CheckBox6 = new TCheckBox(this);
  CheckBox6->SetName("CheckBox6");
  CheckBox6->SetParent(this);
  CheckBox6->SetCaption("Unterverzeichnisse einbeziehen");
  CheckBox6->SetBounds(4, 66, 350, 20);

  CheckBox1 = new TCheckBox(this);
  CheckBox1->SetName("CheckBox1");
  CheckBox1->SetParent(this);
  CheckBox1->SetCaption("In Einzelbilder trennen (Autokorrektur)");
  CheckBox1->SetBounds(4, 90, 350, 20);

  options = new TEdit(this);
  options->SetName("options");
  options->SetParent(this);
  options->SetVisible(false);
  options->SetText(WriteParamInt("Sort1", skFileNumber));

  formstorage1 = new tformstorage1(this);
  formstorage1->SetName("formstorage1");
  formstorage1->BeginLoading();
  const struct {
    const char* Name;
    std::function<std::string()> Get;
    std::function<void(const std::string&)> Set;
  } slots[] = {
      {"mycombobox1.Itemindex", [this] { return IntToStr(mycombobox1->ItemIndex()); },
       [this](const std::string& V) {
         const int32_t i = StrToIntDef(Trim(V), ismFolder);
         if (i >= 0 && i < mycombobox1->Count()) mycombobox1->SetItemIndex(i);
       }},
      {"FilenameEdit1.Text", [this] { return FilenameEdit1->Text(); },
       [this](const std::string& V) { FilenameEdit1->SetText(V); }},
      {"options.Text", [this] { return options->Text(); }, [this](const std::string& V) { options->SetText(V); }},
      {"DirectoryEdit1.Text", [this] { return DirectoryEdit1->Text(); },
       [this](const std::string& V) { DirectoryEdit1->SetText(V); }},
      {"CheckBox6.Checked", [this] { return std::string(CheckBox6->Checked() ? "1" : "0"); },
       [this](const std::string& V) { CheckBox6->SetChecked(ReadChecked(V)); }},
      {"CheckBox1.Checked", [this] { return std::string(CheckBox1->Checked() ? "1" : "0"); },
       [this](const std::string& V) { CheckBox1->SetChecked(ReadChecked(V)); }},
  };
  for (const auto& s : slots) {
    TStoredValue* v = formstorage1->StoredValues().Add();
    v->SetName(s.Name);
    v->SetValue(TVariant(s.Get()));
    v->OnSave = [get = s.Get](TObject*, TVariant& Value) { Value = TVariant(get()); };
    v->OnRestore = [this, set = s.Set](TObject*, TVariant& Value) {
      set(Value.AsString());
      UpdateControls();
    };
  }
  formstorage1->Loaded();
  UpdateControls();
}

void TimageSourceframe::SetKindCount(int32_t Count) {
  Count = std::clamp(Count, 1, int32_t(std::size(kImageSourceKinds)));
  const int32_t keep = mycombobox1->ItemIndex();
  std::vector<std::string> items(std::begin(kImageSourceKinds), std::begin(kImageSourceKinds) + Count);
  mycombobox1->SetItems(items);
  mycombobox1->SetItemIndex(keep >= 0 && keep < Count ? keep : std::min(int32_t(ismFolder), Count - 1));
  UpdateControls();
}

int32_t TimageSourceframe::SourceMode() const { return mycombobox1->ItemIndex(); }

void TimageSourceframe::UpdateControls() {
  const int32_t kind = SourceMode();
  FilenameEdit1->SetVisible(kind == ismCatalog);
  DirectoryEdit1->SetVisible(kind == ismFolder);
  CheckBox6->SetVisible(kind == ismFolder);
  CheckBox1->SetVisible(mycombobox1->Count() > 2);
}

void TimageSourceframe::mycombobox1Change(TObject*) { UpdateControls(); }

void TimageSourceframe::GetParams(std::string& Params) const {
  const int32_t kind = SourceMode();
  Params += WriteParamInt("SourceMode", kind);
  if (kind == ismFolder)
    Params += WriteParamString("Dir", DirectoryEdit1->Text()) + WriteParamBool("Subdirs", CheckBox6->Checked());
  if (kind == ismCatalog) Params += WriteParamString("catalog", FilenameEdit1->Text());
  Params += WriteParamBool("seperate", CheckBox1->Checked() && mycombobox1->Count() > 2);
  Params += " " + options->Text();
}

std::string TimageSourceframe::GetParams() const {
  std::string p;
  GetParams(p);
  return p;
}

void TimageSourceframe::SetParams(const std::string& Params) {
  const TImageSourceParams p = ReadImageSourceParams(Params);
  if (p.SourceMode >= 0 && p.SourceMode < mycombobox1->Count()) mycombobox1->SetItemIndex(p.SourceMode);
  if (p.SourceMode == ismFolder) {
    DirectoryEdit1->SetText(p.Dir);
    CheckBox6->SetChecked(p.Subdirs);
  }
  if (p.SourceMode == ismCatalog) FilenameEdit1->SetText(p.Catalog);
  CheckBox1->SetChecked(p.Seperate);
  std::string opts;
  opts += WriteParamInt("Sort1", p.Sort.Sort1) + WriteParamInt("Sort2", p.Sort.Sort2) +
          WriteParamBool("Sort2descanding", p.Sort.Sort2Descending) +
          WriteParamBool("Sort1descanding", p.Sort.Sort1Descending) + WriteParamInt("Filetypes", p.Filetypes);
  options->SetText(opts);
  UpdateControls();
}

void TimageSourceframe::OptionsButtonClick(TObject*) {
  if (SourceMode() == ismScanner) {
    if (form1) form1->interpreter(this, "HIDDEN SCANOPTIONS");
    return;
  }
  if (SourceMode() == ismOpenWindows) return;  // open windows have no order or kinds to choose
  options->SetText(EditImageSourceOptions(SourceMode(), options->Text()));
}

void TimageSourceframe::PerImage(const TImageSourceAction& Action, Tform1& Owner) {
  if (!CheckBox1->Checked() || mycombobox1->Count() <= 2) {
    Action(this);
    return;
  }
  // The separating filter's stored settings: tolerance, smallest size (cm) and background colour.
  std::string stored;
  {
    TRegistry r(KEY_READ);
    if (r.OpenKeyReadOnly(kFilterSettingsKey) && r.ValueExists("Seperate")) stored = r.ReadString("Seperate");
  }
  const int32_t tolerance = FilterParamInt(ReadParamString(stored, "Param1", "20"));
  const double minCm = FilterParamFloat(ReadParamString(stored, "Param2", "9"));
  const int32_t border = FilterParamInt(ReadParamString(stored, "Param3", "0"));
  Tchild* sheetWindow = Owner.getchild();
  timagerlayer* sheetImage = Owner.getimager();
  if (!sheetWindow || !sheetImage) return;
  TBitmap sheet;
  sheet.Assign(&sheetImage->Bitmap());
  const double dpi = sheetImage->IOParams().DpiX;
  TScanSetup setup;
  setup.X2 = sheet.Width();
  setup.Y2 = sheet.Height();
  setup.Tolerance = tolerance;
  setup.Border = TColorToTBGRPixel(TColor(border));
  const double ppi = Screen ? Screen->PixelsPerInch() : 96;
  setup.RunLength = std::max(CmToPixels(0.5, 1, dpi, ppi), 1);
  const std::vector<TRect> pieces = SeparateScannedImages(sheet, setup, CmToPixels(minCm, 1, dpi, ppi));
  SeparatedPiecesToWindows(Owner, sheet, pieces, [&] { Action(this); });
  sheetWindow->Close();
}

void TimageSourceframe::getimages(const TImageSourceAction& Action, Tform1& Owner,
                                  const std::function<void(const std::string& FileName)>& NotLoaded) {
  const int32_t kind = SourceMode();
  if (kind == ismCatalog || kind == ismFolder) {
    for (const std::string& file : ListImageSource(GetParams())) {
      const std::vector<TCustomForm*> before = Owner.MDIChildrenInCreationOrder();
      Owner.interpreter(this, "Open" + WriteParamString("filename", file));
      // A picture that did not open leaves no window of its own: the action
      // must not run on whatever picture happens to be current instead.
      Tchild* opened = Owner.getchild();
      if (!opened || std::find(before.begin(), before.end(), opened) != before.end()) {
        if (NotLoaded) NotLoaded(file);
        continue;
      }
      PerImage(Action, Owner);
    }
    return;
  }
  if (kind == ismOpenWindows) {
    int32_t count = 0;
    for (int32_t i = 0; i < Owner.MDIChildCount(); ++i)
      if (dynamic_cast<Tchild*>(Owner.MDIChildren(i))) ++count;
    for (int32_t i = 0; i < count; ++i) {
      if (dynamic_cast<Tchild*>(Owner.ActiveMDIChild())) PerImage(Action, Owner);
      Owner.Next();
    }
    return;
  }
  if (kind == ismScanner) {
    for (;;) {
      const std::string scanOptions = Owner.StoredString("Scanoptions");
      if (!Owner.interpreter(this, "HIDDEN Scan" + scanOptions)) break;
      PerImage(Action, Owner);
      if (ReadParamBool(scanOptions, "NoDialog", false) &&
          !Owner.interpreter(this, "HIDDEN SCANOPTIONS" + WriteParamBool("ScanButton", true)))
        break;
      if (Application) Application->ProcessMessages();
    }
    if (Application) Application->ProcessMessages();
  }
}

}  // namespace kv

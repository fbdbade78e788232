#include "app/workflows/auto_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#include "app/helpers/folder_helpers.h"
#include "app/main/main_form.h"
#include "app/params/file_kinds.h"
#include "app/params/format_params.h"
#include "app/params/param_strings.h"
#include "app/settings/form_storage1.h"
#include "components/controls/file_dir_edit.h"
#include "components/controls/kv_spin.h"
#include "imaging/formats/imager_io.h"
#include "imaging/views/image_control.h"
#include "imaging/views/io_previews.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/button.h"
#include "platform/ui/std_controls.h"
#include "platform/rtl/sys_error.h"

namespace kv {

namespace {

// Bounds the search for a free number: a folder never holds this many.
constexpr int32_t kMaxNumberTries = 1000000;

std::string LowerAscii(std::string_view S) { return LowerCase(S); }

bool SameFile(const std::string& A, const std::string& B) {
  if (A.empty() || B.empty()) return false;
  struct stat sa {}, sb {};
  if (stat(A.c_str(), &sa) != 0 || stat(B.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Creates the file only when no file of the name exists: 0, or the errno.
int Reserve(const std::string& Name) {
  const int fd = open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  close(fd);
  return 0;
}

[[noreturn]] void FailReserve(const std::string& Name, int Err) {
  throw EAutoSaveError("Kann " + Name + " nicht speichern: " + SysErrorMessage(Err));
}

// The page of the format parameters dialog (its SetupPages bits).
int32_t ParamsPage(const std::string& Type) {
  const std::string t = UpperCase(Type);
  if (t == "JPG") return 4;
  if (t == "TIF") return 8;
  if (t == "GIF") return 16;
  if (t == "BMP") return 32;
  if (t == "PCX") return 64;
  if (t == "PNG") return 128;
  if (t == "TGA") return 256;
  return 2;
}

}  // namespace

TAutoSaveSettings ReadAutoSaveSettings(std::string_view Text) {
  TAutoSaveSettings s;
  s.Directory = ReadParamString(Text, "Directory", "");
  s.Startfile = ReadParamString(Text, "Startfile", "unbenannt");
  s.Startnumber = ReadParamInt(Text, "Startnumber", 1);
  s.Type = ReadParamString(Text, "Type", "JPG");
  const int32_t exists = ReadParamInt(Text, "Exists", 0);
  s.Exists = (exists == 1 || exists == 2) ? TAutoSaveExists(exists) : aseNewNumber;
  s.KeepDirectory = ReadParamBool(Text, "KeepDirectory", false);
  s.KeepStartfile = ReadParamBool(Text, "KeepStartfile", false);
  s.KeepParams = ReadParamBool(Text, "KeepParams", true);
  return s;
}

std::string AutoSaveFileName(const std::string& SourceName, std::string_view Text, int32_t Number) {
  const TAutoSaveSettings s = ReadAutoSaveSettings(Text);
  const std::string folder = s.KeepDirectory ? ExtractFilePath(SourceName) : IncludeBackslash(s.Directory);
  const std::string sourceBase = ChangeFileExt(ExtractFileName(SourceName), "");
  // A picture that was never saved has no name to keep: it is numbered like any other.
  const bool keepName = s.KeepStartfile && !sourceBase.empty();
  const std::string number = IntToStr(Number);
  std::string base = keepName ? sourceBase : LowerAscii(s.Startfile) + "-" + number;
  const std::string ext = LowerAscii(s.KeepParams ? ExtractFileExt(SourceName) : "." + s.Type);
  std::string name = folder + base + ext;
  if (keepName && s.Exists == aseNewNumber && FileExists(name)) {
    while (!base.empty() && base.back() >= '0' && base.back() <= '9') base.pop_back();
    if (!base.empty() && base.back() == '-') base.pop_back();
    name = folder + base + "-" + number + ext;
  }
  return name;
}

std::string AutoSaveName(TImager& Image, std::string_view Text, int32_t Number) {
  return AutoSaveFileName(Image.IOParams().FileName, Text, Number);
}

TAutoSaveResult AutoSaveImage(TImager& Image, std::string_view Text, int32_t& Number, std::string* SavedName) {
  const TAutoSaveSettings s = ReadAutoSaveSettings(Text);
  if (Number < 0) Number = s.Startnumber;
  const std::string source = Image.IOParams().FileName;
  const bool inPlace = s.KeepDirectory && s.KeepStartfile && s.KeepParams;

  std::string name;
  bool reserved = false;
  bool advance = false;
  // The first free name from Number on, created at once so no other saver takes it.
  auto takeFreeName = [&] {
    for (int32_t tries = 0; tries < kMaxNumberTries; ++tries) {
      name = AutoSaveFileName(source, Text, Number);
      const int err = Reserve(name);
      if (err == 0) {
        reserved = true;
        advance = true;
        return;
      }
      if (err != EEXIST) FailReserve(name, err);
      ++Number;
    }
    throw EAutoSaveError("Kein freier Dateiname für " + name);
  };

  switch (s.Exists) {
    case aseNewNumber:
      takeFreeName();
      break;
    case aseOverwrite:
      name = AutoSaveFileName(source, Text, Number);
      if (!inPlace && SameFile(name, source)) {
        takeFreeName();  // the picture's own file stays as it was
      } else {
        const int err = Reserve(name);
        if (err == 0) reserved = true;
        else if (err != EEXIST) FailReserve(name, err);
      }
      break;
    case aseSkip: {
      name = AutoSaveFileName(source, Text, Number);
      const int err = Reserve(name);
      if (err == EEXIST) return asrSkipped;
      if (err != 0) FailReserve(name, err);
      reserved = true;
      break;
    }
  }

  // An empty placeholder of ours must not stay behind as a broken picture.
  auto dropPlaceholder = [&] {
    if (reserved) unlink(name.c_str());
  };
  const std::string previousName = Image.IOParams().FileName;
  // The save reports to the main window's progress bar, whatever window the picture is in.
  if (form1) Image.SetOnProgress([](TObject* Sender, int32_t Percent) { form1->onprogressany(Sender, Percent); });
  try {
    ReadFormatParams(Text, Image.IOParams(), name);
    Image.SaveToFileByExtension(name);
  } catch (const std::exception& e) {
    Image.IOParams().FileName = previousName;
    dropPlaceholder();
    throw EAutoSaveError("Kann " + name + " nicht speichern: " + ExceptionText(e));
  }
  if (Image.IO()->Aborted()) {
    Image.IOParams().FileName = previousName;
    dropPlaceholder();
    const std::string& reason = Image.IO()->AbortReason();
    throw EAutoSaveError("Kann " + name + " nicht speichern" + (reason.empty() ? "" : ": " + reason));
  }
  if (advance) ++Number;
  if (SavedName) *SavedName = name;
  return asrSaved;
}

// ---- the frame ----

Tautosaveframe::Tautosaveframe(TComponent* AOwner) : TFrame(AOwner) {
  SetName("autosaveframe");
  SetBounds(0, 0, 420, 150);
  auto label = [this](const std::string& Caption, int32_t X, int32_t Y) {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetCaption(Caption);
    l->SetBounds(X, Y + 3, 90, 17);
    return l;
  };
  auto check = [this](const char* Name, int32_t Y) {
    auto* c = new TCheckBox(this);
    c->SetName(Name);
    c->SetParent(this);
    c->SetCaption("wie vorher");
    c->SetBounds(320, Y, 95, 21);
    c->OnClick = [this](TObject*) { UpdateKeepStates(); };
    return c;
  };
  Label1 = label("Verzeichnis", 5, 5);
  DirectoryEdit1 = new TDirectoryEdit(this);
  DirectoryEdit1->SetName("DirectoryEdit1");
  DirectoryEdit1->SetParent(this);
  DirectoryEdit1->SetBounds(100, 5, 215, 23);
  DirectoryEdit1->SetText(ImagesFolder());
  CheckBox2 = check("CheckBox2", 5);

  Label2 = label("Startdatei", 5, 35);
  Edit3 = new TEdit(this);
  Edit3->SetName("Edit3");
  Edit3->SetParent(this);
  Edit3->SetBounds(100, 35, 120, 23);
  Edit3->SetText("Unbenannt");
  Label3 = label("-", 225, 35);
  Label3->SetBounds(225, 38, 10, 17);
  KvSpinEdit6 = new TKvSpinEdit(this);
  KvSpinEdit6->SetName("KvSpinEdit6");
  KvSpinEdit6->SetParent(this);
  KvSpinEdit6->SetBounds(240, 35, 75, 23);
  KvSpinEdit6->SetMinValue(0);
  KvSpinEdit6->SetMaxValue(999999999);
  KvSpinEdit6->SetValue(1);
  CheckBox3 = check("CheckBox3", 35);

  Label4 = label("Grafikformat", 5, 65);
  mycombobox2 = new TComboBox(this);
  mycombobox2->SetName("mycombobox2");
  mycombobox2->SetParent(this);
  mycombobox2->SetBounds(100, 65, 130, 23);
  for (const std::string& t : WritableFormatShortNames()) mycombobox2->AddItem(t);
  mycombobox2->SetItemIndex(0);
  ParamsButton = new TButton(this);
  ParamsButton->SetName("ParamsButton");
  ParamsButton->SetParent(this);
  ParamsButton->SetCaption("Parameter...");
  ParamsButton->SetBounds(235, 65, 80, 23);
  ParamsButton->OnClick = [this](TObject* Sender) { ParamsButtonClick(Sender); };
  CheckBox4 = check("CheckBox4", 65);

  Label5 = label("Falls Datei existiert", 5, 95);
  Label5->SetBounds(5, 98, 130, 17);
  mycombobox3 = new TComboBox(this);
  mycombobox3->SetName("mycombobox3");
  mycombobox3->SetParent(this);
  mycombobox3->SetBounds(140, 95, 175, 23);
  mycombobox3->SetItems({"Nummer erhöhen", "Überschreiben", "nicht speichern"});
  mycombobox3->SetItemIndex(0);

  formstorage1 = new tformstorage1(this);
  formstorage1->SetName("formstorage1");
  formstorage1->BeginLoading();
  struct TSlot {
    const char* Name;
    std::function<std::string()> Get;
    std::function<void(const std::string&)> Set;
  };
  auto boolSlot = [](TCheckBox* C) {
    return std::make_pair([C] { return std::string(C->Checked() ? "1" : "0"); },
                          [C](const std::string& V) { C->SetChecked(StrToIntDef(Trim(V), 0) != 0 || SameText(Trim(V), "True")); });
  };
  auto indexSlot = [](TComboBox* C) {
    return std::make_pair([C] { return IntToStr(C->ItemIndex()); },
                          [C](const std::string& V) {
                            const int32_t i = StrToIntDef(Trim(V), C->ItemIndex());
                            if (i >= 0 && i < C->Count()) C->SetItemIndex(i);
                          });
  };
  const auto b2 = boolSlot(CheckBox2), b3 = boolSlot(CheckBox3), b4 = boolSlot(CheckBox4);
  const auto c2 = indexSlot(mycombobox2), c3 = indexSlot(mycombobox3);
  const TSlot slots[] = {
      {"DirectoryEdit1.Text", [this] { return DirectoryEdit1->Text(); },
       [this](const std::string& V) { DirectoryEdit1->SetText(V); }},
      {"CheckBox2.Checked", b2.first, b2.second},
      {"CheckBox3.Checked", b3.first, b3.second},
      {"CheckBox4.Checked", b4.first, b4.second},
      {"Edit3.Text", [this] { return Edit3->Text(); }, [this](const std::string& V) { Edit3->SetText(V); }},
      {"mycombobox2.Itemindex", c2.first, c2.second},
      {"mycombobox3.Itemindex", c3.first, c3.second},
      {"KvSpinEdit6.Value", [this] { return IntToStr(KvSpinEdit6->AsInteger()); },
       [this](const std::string& V) { KvSpinEdit6->SetValue(StrToIntDef(Trim(V), 1)); }},
      {"Params", [this] { return FParams; },
       [this](const std::string& V) {
         FParams = V;
         ApplyParams();
       }},
  };
  for (const TSlot& slot : slots) {
    TStoredValue* v = formstorage1->StoredValues().Add();
    v->SetName(slot.Name);
    v->SetValue(TVariant(slot.Get()));
    v->OnSave = [get = slot.Get](TObject*, TVariant& Value) { Value = TVariant(get()); };
    v->OnRestore = [set = slot.Set](TObject*, TVariant& Value) { set(Value.AsString()); };
  }
  formstorage1->Loaded();
  UpdateKeepStates();
}

std::string Tautosaveframe::ChosenType() const {
  const int32_t i = mycombobox2->ItemIndex();
  return i >= 0 && i < mycombobox2->Count() ? mycombobox2->Item(i) : std::string("JPG");
}

void Tautosaveframe::GetParams(std::string& Out) const {
  Out = WriteParamString("Directory", DirectoryEdit1->Text()) + WriteParamString("Startfile", Edit3->Text()) +
        WriteParamInt("Startnumber", KvSpinEdit6->AsInteger()) + WriteParamString("Type", ChosenType()) +
        WriteParamInt("Exists", std::max(0, mycombobox3->ItemIndex())) +
        WriteParamBool("KeepDirectory", CheckBox2->Checked()) +
        WriteParamBool("KeepStartfile", CheckBox3->Checked()) + WriteParamBool("KeepParams", CheckBox4->Checked()) +
        FParams;
}

std::string Tautosaveframe::GetParams() const {
  std::string out;
  GetParams(out);
  return out;
}

void Tautosaveframe::SetControlsEnabled(bool On) {
  FEnabled = On;
  for (int32_t i = 0; i < ControlCount(); ++i) Controls(i)->SetEnabled(On);
  UpdateKeepStates();
}

void Tautosaveframe::UpdateKeepStates() {
  if (!FEnabled) return;
  DirectoryEdit1->SetEnabled(!CheckBox2->Checked());
  const bool name = !CheckBox3->Checked();
  Edit3->SetEnabled(name);
  Label3->SetEnabled(name);
  KvSpinEdit6->SetEnabled(name);
  const bool format = !CheckBox4->Checked();
  mycombobox2->SetEnabled(format);
  ParamsButton->SetEnabled(format);
}

// The stored text read into a fresh record of the chosen kind and written
// back: keys of another kind, or broken ones, do not travel on.
void Tautosaveframe::ApplyParams() {
  if (FParams.empty()) return;
  TImagerIO io(nullptr);
  const std::string dummy = "dummy." + LowerCase(ChosenType());
  ReadFormatParams(FParams, io.Params(), dummy);
  FParams = WriteFormatParams(io.Params(), dummy);
}

void Tautosaveframe::ParamsButtonClick(TObject*) { EditFormatParams(FParams, ChosenType()); }

bool EditFormatParams(std::string& Params, const std::string& Type) {
  if (!IOPreviewsDialogMaker()) InstallIOPreviewsDialog();
  TImagerIO io(nullptr);
  TBitmap one(1, 1, pf24bit);
  io.AttachBitmap(&one);
  const std::string dummy = "dummy." + LowerCase(Type);
  ReadFormatParams(Params, io.Params(), dummy);
  io.Params().FileName = dummy;
  if (!io.ShowPreviewsDialog(ParamsPage(Type))) return false;
  Params = WriteFormatParams(io.Params(), dummy);
  return true;
}

}  // namespace kv

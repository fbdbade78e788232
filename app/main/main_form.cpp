// Creation, showing and closing of the main window; the stored options, the
// recent files, the queue of files still to open, dropped files, progress,
// abort and the hand-over of a second start.
#include "app/main/main_form.h"

#include "app/actions/main_actions.h"
#include "app/batch/batch_recorder.h"
#include "app/batch/batch_window.h"
#include "app/catalog/catalog_menus.h"
#include "app/child/child_window.h"
#include "app/child/drawing_options.h"
#include "app/helpers/program_helpers.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/menu_shortcuts.h"
#include "app/params/file_kinds.h"
#include "app/settings/form_storage1.h"
#include "app/startup/instance_guard.h"
#include "components/controls/kv_label.h"
#include "components/speedbar/speed_bar.h"
#include "components/wallpaper/mdi_wallpaper.h"
#include "imaging/formats/lzw_coders.h"
#include "imaging/model/parallel_rows.h"
#include "imaging/processing/colour_kernels.h"
#include "imaging/views/open_save_dialog.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/start_marks.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/system/sound.h"
#include "platform/ui/application.h"
#include "platform/ui/drop_files.h"
#include "platform/ui/menus.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/std_controls.h"

namespace kv {

uint8_t RunMode = 0;
bool CancelFlag = false;
Tform1* form1 = nullptr;

namespace {

constexpr const char* kHistoryKey = "\\Software\\Kavrelin\\3.6\\Historyfilename";
constexpr int32_t kMaxRecentFiles = 10;

struct TStoredDefault {
  const char* Name;
  TVariant Default;
};

// The program's options with their defaults; other windows read them by name.
const std::vector<TStoredDefault>& StoredDefaults() {
  static const std::vector<TStoredDefault> list = {
      {"Version", TVariant(std::string())},
      {"Rulertyp", TVariant(int32_t(0))},
      {"Resolutiontyp", TVariant(int32_t(0))},
      {"AutoZoomFenster", TVariant(true)},
      {"AutoFensterAnpassen", TVariant(true)},
      {"Language", TVariant(int32_t(0))},
      {"ShowInfoForm", TVariant(false)},
      {"Userunit", TVariant(int32_t(1))},
      {"LastWorkingDir", TVariant(std::string())},
      {"CacheMem", TVariant(int32_t(10))},
      {"CacheDisk", TVariant(int32_t(100))},
      {"maxHistory", TVariant(int32_t(50))},
      {"CatalogInfo", TVariant(std::string("Info=265"))},
      {"Catalogfontoptions", TVariant(std::string())},
      {"CatalogGridsize", TVariant(int32_t(15))},
      {"CatalogWidth", TVariant(int32_t(100))},
      {"CatalogHeight", TVariant(int32_t(70))},
      {"CatalogSort", TVariant(std::string())},
      {"CatalogArrange", TVariant(int32_t(0))},
      {"CatalogArrHor", TVariant(false)},
      {"BrowserSort", TVariant(std::string())},
      {"BrowserArrange", TVariant(int32_t(0))},
      {"BrowserArrHor", TVariant(false)},
      {"BackgroundImage", TVariant(std::string("background.jpg"))},
      {"NoWelcome", TVariant(false)},
      {"maxundo", TVariant(int32_t(1))},
      {"undomode", TVariant(int32_t(2))},
      {"textshadow", TVariant(true)},
      {"Backgroundadjust", TVariant(true)},
      {"Scanoptions", TVariant(std::string())},
      {"SoundDevice", TVariant(std::string(kDefaultSoundDevice))},
      // Most threads an image operation runs on; 0 uses every core.
      {"KernelThreads", TVariant(int32_t(0))},
  };
  return list;
}

}  // namespace

Tform1::Tform1(TComponent* AOwner)
    : TForm(AOwner),
      FInterpreter(std::make_unique<TCommandInterpreter>(*this)),
      FRecorder(std::make_unique<TBatchRecorder>()) {
  form1 = this;
  SetName("Form1");
  SetCaption("Kavrelin");
  SetFormStyle(fsMDIForm);
  SetBounds(0, 0, 800, 600);

  MainMenu1 = new TMainMenu(this);
  MainMenu1->SetName("MainMenu1");
  OpenDialog1 = new TOpenImagerDialog(this);
  OpenDialog1->SetName("OpenDialog1");
  OpenDialog1->SetOptions(TOpenOptions{ofHideReadOnly, ofAllowMultiSelect, ofFileMustExist});
  OpenDialog1->SetFilter(
      "All graphics|*.tif;*.tiff;*.gif;*.jpg;*.jpeg;*.jpe;*.pcx;*.bmp;*.ico;*.cur;*.png;*.wmf;*.emf;*.avi|" +
      OpenFilter());
  SaveDialog1 = new TSaveImagerDialog(this);
  SaveDialog1->SetName("SaveDialog1");

  SpeedBar1 = new TSpeedBar(this);
  SpeedBar1->SetName("SpeedBar1");
  SpeedBar1->SetParent(this);
  imagespeedbar = new TSpeedBar(this);
  imagespeedbar->SetName("imagespeedbar");
  imagespeedbar->SetParent(this);
  SpeedBar1->OnApplyAlign = [this](TObject* S, TAlign A, bool& Apply) { SpeedBar1ApplyAlign(S, A, Apply); };
  imagespeedbar->OnApplyAlign = [this](TObject* S, TAlign A, bool& Apply) { imagespeedbarApplyAlign(S, A, Apply); };
  for (TSpeedBar* bar : {SpeedBar1, imagespeedbar}) {
    bar->OnPosChanged = [this](TObject* S) { SpeedBar1PosChanged(S); };
    bar->OnCustomize = [this](TObject* S) { SpeedBar1Customize(S); };
  }
  ProgressBar1 = new TProgressBar(this);
  ProgressBar1->SetName("ProgressBar1");
  ProgressBar1->SetParent(this);
  ProgressBar1->SetHeight(12);
  ProgressBar1->SetAlign(alBottom);
  // Scans and the background picture are prepared here, never shown.
  imagerlayer1 = new timagerlayer(this);
  imagerlayer1->SetName("imagerlayer1");
  imagerlayer1->SetVisible(false);
  imagerlayer1->SetParent(this);

  Wallpaper1 = new TMDIWallpaper(this);
  Wallpaper1->SetName("Wallpaper1");
  Wallpaper1->BeginLoading();
  Wallpaper1->SetClient(this);
  Wallpaper1->Loaded();

  OnCreate = [this](TObject* S) { FormCreate(S); };
  OnShow = [this](TObject* S) { FormShow(S); };
  OnCloseQuery = [this](TObject* S, bool& C) { FormCloseQuery(S, C); };
  OnClose = [this](TObject* S, TCloseAction& A) { FormClose(S, A); };
  // The store hooks the events above, so it comes after them.
  CreateStore();
  CreateMainActions(*this);
  BuildMenus();
}

Tform1::~Tform1() {
  if (SharedWallpaperPicture == &Wallpaper1->Picture()) SharedWallpaperPicture = nullptr;
  if (Application && Application->OnIdle && form1 == this) Application->OnIdle = nullptr;
  if (form1 == this) form1 = nullptr;
}

void Tform1::CreateStore() {
  Formstorage1 = new tformstorage1(this);
  Formstorage1->SetName("Formstorage1");
  Formstorage1->BeginLoading();
  for (const TStoredDefault& d : StoredDefaults()) {
    TStoredValue* v = Formstorage1->StoredValues().Add();
    v->SetName(d.Name);
    v->SetValue(d.Default);
  }
  Formstorage1->OnRestorePlacement = [this](TObject* S) { Formstorage1RestorePlacement(S); };
  SpeedBar1->SetIniStorage(Formstorage1);
  imagespeedbar->SetIniStorage(Formstorage1);
  Formstorage1->Loaded();
}

// ---- stored values ----

namespace {
const TVariant* StoredOf(const tformstorage1* Store, const std::string& Name) {
  if (!Store) return nullptr;
  const TStoredValue* v = const_cast<tformstorage1*>(Store)->StoredValues().FindValue(Name);
  return v ? &v->Value() : nullptr;
}
}  // namespace

int32_t Tform1::StoredInt(const std::string& Name) const {
  const TVariant* v = StoredOf(Formstorage1, Name);
  if (!v) return 0;
  // Values read back from the registry are text; a damaged one reads as 0.
  if (v->VarType() == varString) return StrToIntVal(v->AsString());
  return static_cast<int32_t>(v->AsInteger());
}

bool Tform1::StoredBool(const std::string& Name) const {
  const TVariant* v = StoredOf(Formstorage1, Name);
  if (!v) return false;
  if (v->VarType() == varString) {
    const std::string s = Trim(v->AsString());
    if (SameText(s, "True")) return true;
    if (SameText(s, "False") || s.empty()) return false;
    return StrToFloatVal(s) != 0;
  }
  return v->AsBoolean();
}

double Tform1::StoredFloat(const std::string& Name) const {
  const TVariant* v = StoredOf(Formstorage1, Name);
  if (!v) return 0;
  if (v->VarType() == varString) return StrToFloatVal(v->AsString());
  return v->AsFloat();
}

std::string Tform1::StoredString(const std::string& Name) const {
  const TVariant* v = StoredOf(Formstorage1, Name);
  return v ? v->AsString() : std::string();
}

namespace {
TStoredValue& StoredSlot(tformstorage1* Store, const std::string& Name) {
  TStoredValue* v = Store->StoredValues().FindValue(Name);
  if (!v) {
    v = Store->StoredValues().Add();
    v->SetName(Name);
  }
  return *v;
}
}  // namespace

void Tform1::SetStoredInt(const std::string& Name, int32_t Value) { StoredSlot(Formstorage1, Name).SetValue(TVariant(Value)); }
void Tform1::SetStoredBool(const std::string& Name, bool Value) { StoredSlot(Formstorage1, Name).SetValue(TVariant(Value)); }
void Tform1::SetStoredString(const std::string& Name, const std::string& Value) {
  StoredSlot(Formstorage1, Name).SetValue(TVariant(Value));
}

bool Tform1::interpreter(TObject* Sender, const std::string& Line) { return FInterpreter->Run(Sender, Line); }

// ---- creation, showing, closing ----

void Tform1::FormCreate(TObject*) {
  // Every run mode reads pictures (slide shows, screen savers, wallpapers).
  InstallLzwCoders();
  if (RunMode != 0) return;
  StartMark("main window menus built");
  mainmenu_to_speedbar(SpeedBar1);
  mainmenu_to_speedbar(imagespeedbar);
  StartMark("speed bars built");
  BuildFilterMenus();
  BuildCatalogMenus();
  StartMark("filter menus built");
  BuildChannelMenu();
  // Stored newest first; adding from the last keeps that order.
  TStringList names;
  ReadRegistryList(names, kHistoryKey);
  for (int32_t i = names.Count() - 1; i >= 0; --i)
    if (!names.Strings(i).empty()) historyadd(names.Strings(i));
  SetWindowMenu(Fenster1);
}

void Tform1::FormShow(TObject*) {
  // The bar needs the window; hidden frames of the other run modes never get one.
  MainMenu1->SetWindow(this);
  StartMark("main window shows");
  LoadBackground();
  SpeedBar1->SetWallpaper(&Wallpaper1->Picture());
  imagespeedbar->SetWallpaper(&SpeedBar1->Wallpaper());
  SharedWallpaperPicture = &Wallpaper1->Picture();
  if (Katalog2) CheckArrangeMenu(*Katalog2, StoredInt("CatalogArrange"), StoredBool("CatalogArrHor"));
  ApplyOptions();
  SetSoundDeviceName(StoredString("SoundDevice"));
  if (!StoredBool("NoWelcome")) Willkommen1Click(this);
  // Every argument is a file to open, not only the first.
  for (int32_t i = 1; i <= ParamCount(); ++i) PendingFiles += " \"" + ParamStr(i) + "\"";
  Application->OnIdle = [this](TObject* S, bool& Done) { doidle(S, Done); };
  AcceptDropFiles(this, [this](TObject* S, const TStrings& F) { DropFiles(S, F); });
  SetCurrentDir(ProgramFolder());
  OnActivate = [this](TObject*) { checkclipboard(); };
  if (drawingoptionsform && drawingoptionsform->Formstorage1) drawingoptionsform->Formstorage1->RestoreFormPlacement();
  updateall();
  StartMark("main window shown");
}

void Tform1::ApplyOptions() {
  ApplyStoredShortcuts(*MainMenu1->Items());
  SetLabelShadowSize(StoredBool("textshadow") ? 1 : 0);
  SetKernelThreadsSetting(StoredInt("KernelThreads"));
}

void Tform1::FormCloseQuery(TObject*, bool& CanClose) {
  if (RunMode != 0) {
    CanClose = true;
    return;
  }
  CancelFlag = false;
  if (TComponent* c = FindComponent("Closeall"); auto* a = dynamic_cast<TBasicAction*>(c))
    a->Execute();
  else
    interpreter(this, "CloseAll");
  Application->ProcessMessages();
  CanClose = !CancelFlag;
}

void Tform1::FormClose(TObject*, TCloseAction&) {
  Application->ProcessMessages();
  TStringList names;
  historynames(names);
  WriteRegistryList(names, kHistoryKey);
  FRecorder->Recording().Clear();
}

void Tform1::LoadBackground() {
  std::string name = StoredString("BackgroundImage");
  if (name.empty()) return;
  if (ExtractFilePath(name).empty()) name = ProgramFolder() + name;
  if (!FileExists(name)) return;
  imagerlayer1->LoadFromFileByExtension(name);
  // A file that did not load leaves the control's own picture: that is no background.
  if (imagerlayer1->IO()->Aborted()) return;
  imagerlayer1->ConvertTo24Bit();
  TBitmap& bmp = imagerlayer1->Bitmap();
  if (bmp.Width() <= 0 || bmp.Height() <= 0) return;
  if (StoredBool("Backgroundadjust")) {
    // Shift every channel so that the picture's average becomes the button face.
    int32_t r = 0, g = 0, b = 0;
    GetAverageRGB(bmp, r, g, b);
    const TColorRef face = ColorToRGB(clBtnFace);
    const int32_t dr = int32_t(face & 0xFF) - r, dg = int32_t((face >> 8) & 0xFF) - g,
                  db = int32_t((face >> 16) & 0xFF) - b;
    const int32_t n = bmp.Width();
    for (int32_t y = 0; y < bmp.Height(); ++y) {
      auto* row = static_cast<uint8_t*>(bmp.ScanLine(y));
      for (int32_t x = 0; x < n; ++x, row += 3) {
        row[0] = uint8_t(std::clamp(row[0] + db, 0, 255));
        row[1] = uint8_t(std::clamp(row[1] + dg, 0, 255));
        row[2] = uint8_t(std::clamp(row[2] + dr, 0, 255));
      }
    }
  }
  Wallpaper1->Picture().SetBitmap(&bmp);
  // Only the background needed the picture; the control keeps a token one.
  bmp.SetSize(10, 10);
}

// ---- recent files ----

void Tform1::historyadd(const std::string& FileName) {
  if (!Erneutladen1) return;
  // Items are matched by the name they hold: their caption loses a "&" or
  // "..." of the name to the menu, so the same file would come back twice.
  for (int32_t i = Erneutladen1->Count() - 1; i >= 0; --i)
    if (SameText(Erneutladen1->Items(i)->Hint(), FileName)) Erneutladen1->Delete(i);
  auto* item = new TMenuItem(this);
  // Doubled, a "&" of the name shows as itself rather than as a shortcut.
  item->SetCaption(StringReplace(FileName, "&", "&&", TReplaceFlags{rfReplaceAll}));
  item->SetHint(FileName);
  item->OnClick = [this](TObject* S) { AutoItemClick(S); };
  Erneutladen1->Insert(0, item);
  while (Erneutladen1->Count() > kMaxRecentFiles) Erneutladen1->Delete(Erneutladen1->Count() - 1);
}

void Tform1::historynames(TStrings& List) const {
  List.Clear();
  if (!Erneutladen1) return;
  for (int32_t i = 0; i < Erneutladen1->Count(); ++i) List.Add(Erneutladen1->Items(i)->Hint());
}

void Tform1::AutoItemClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item || RefusedWhileBusy()) return;
  // The item goes away when the name is opened (it moves to the top): copy the name.
  const std::string name = item->Hint();
  OpenFiles().Clear();
  OpenFiles().Add(name);
  openit();
  if (Tchild* c = getchild()) fensteranpassen(this, c);
}

// ---- opening ----

TStrings& Tform1::OpenFiles() { return OpenDialog1->Files(); }

void Tform1::openit() {
  // A line may open dialogs that change the list: walk a copy.
  TStringList names;
  names.Assign(&OpenFiles());
  for (int32_t i = 0; i < names.Count(); ++i) {
    StartMark("open");
    interpreter(this, "open Filename=\"" + names.Strings(i) + "\"");
    StartMark("opened");
    Application->ProcessMessages();
  }
}

void Tform1::doidle(TObject*, bool& Done) {
  Done = true;
  std::string word;
  if (!TakePendingName(PendingFiles, word)) return;
  // The next name waits for the next idle turn, also after an empty word.
  Done = Trim(PendingFiles).empty();
  if (word.empty()) return;
  try {
    if (SameText(ExtractFileExt(word), ".atp")) {
      playbatch(word);
    } else {
      OpenFiles().Clear();
      OpenFiles().Add(word);
      openit();
      movetoforeground();
    }
  } catch (...) {
    // The interpreter has shown the failing line; the reason follows as on
    // the menu path, and the queue goes on with the next name.
    Application->HandleException(this);
  }
  // Without a display only batches brought the editor up: it ends with them.
  if (RunningWithoutDisplay() && Trim(PendingFiles).empty() && !Application->Terminated()) Close();
}

void Tform1::DropFiles(TObject*, const TStrings& Files) {
  // Opening changes the active window under a command still running.
  if (RefusedWhileBusy()) return;
  for (int32_t i = 0; i < Files.Count(); ++i) {
    OpenFiles().Clear();
    OpenFiles().Add(Files.Strings(i));
    try {
      openit();
    } catch (...) {
      // The line was shown by the interpreter, the reason is shown here; the
      // other dropped files still open.
      Application->HandleException(this);
    }
  }
}

void Tform1::anotherinstance() {
  QueueHandedOverLine(PendingFiles, InstanceGuard().ReceivedCommandLine);
}

void Tform1::movetoforeground() {
  BringToFront();
  // The command history stays above the main window.
  for (int32_t i = 0; i < Screen->FormCount(); ++i)
    if (dynamic_cast<Tbatchwindowform*>(Screen->Forms(i)) && Screen->Forms(i)->Visible())
      Screen->Forms(i)->BringToFront();
}

// ---- progress ----

bool Tform1::onprogressany(TObject*, int32_t Percent) {
  PercentProc(Percent);
  AbortRequested = AbortProc();
  return AbortRequested;
}

void Tform1::PercentProc(int32_t Percent) {
  if (ProgressBar1) ProgressBar1->SetPosition(Percent);
}

bool Tform1::AbortProc() {
  Pump = true;
  try {
    Application->ProcessMessages();
  } catch (...) {
    Pump = false;
    throw;
  }
  Pump = false;
  return (GetKeyState(VK_ESCAPE) & 0x8000) != 0 && Screen->ActiveForm() != nullptr;
}

}  // namespace kv

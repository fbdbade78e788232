#include "app/tools/stereo_tool.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/child/child_window.h"
#include "app/dialogs/size_frames.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "app/tools/glasses_picture.h"
#include "app/tools/mesh_tool.h"
#include "app/tools/sample_pictures.h"
#include "app/tools/tool_files.h"
#include "components/controls/kv_spin.h"
#include "app/settings/form_storage1.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/processing/mesh3d.h"
#include "imaging/processing/stereo.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/atomic_file_stream.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/random.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/ticks.h"
#include "platform/system/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/forms.h"
#include "platform/ui/page_control.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {

constexpr int32_t kJpegType = 3;

void CopyBitmap(TBitmap& Target, const TBitmap& Source) { Target.Assign(&Source); }

int32_t ScreenPpi() { return Screen ? Screen->PixelsPerInch() : 96; }

int32_t SpinInt(const TKvSpinEdit* Edit) { return Edit ? Round32(Edit->Value()) : 0; }

bool NearZero(double V) { return std::fabs(V) <= 1e-6; }

TLabel* AddLabel(TComponent* Owner, TWinControl* Parent, const std::string& Caption, int32_t X, int32_t Y) {
  auto* l = new TLabel(Owner);
  l->SetParent(Parent);
  l->SetCaption(Caption);
  l->SetBounds(X, Y + 4, 120, 17);
  return l;
}

TKvSpinEdit* AddSpin(TComponent* Owner, TWinControl* Parent, const std::string& Name, int32_t X, int32_t Y,
                     double Value) {
  auto* e = new TKvSpinEdit(Owner);
  e->SetName(Name);
  e->SetParent(Parent);
  e->SetBounds(X, Y, 90, 23);
  e->SetValue(Value);
  return e;
}

TCheckBox* AddBox(TComponent* Owner, TWinControl* Parent, const std::string& Name, const std::string& Caption,
                  int32_t X, int32_t Y) {
  auto* c = new TCheckBox(Owner);
  c->SetName(Name);
  c->SetParent(Parent);
  c->SetCaption(Caption);
  c->SetBounds(X, Y, 200, 21);
  c->SetChecked(true);
  return c;
}

// The picture as JPEG; the old file stays as it was when writing fails.
void WriteJpegFile(const std::string& FileName, TBitmap& Picture) {
  TImagerIO io(nullptr);
  io.AttachBitmap(&Picture);
  TAtomicFileStream out(FileName);
  io.SaveToStreamByType(out, kJpegType);
  if (io.Aborted()) throw ECommandError("Kann " + FileName + " nicht speichern: " + io.AbortReason());
  out.Commit();
}

}  // namespace

void LoadEyeImage(const std::string& FileName, TBitmap& Eye, bool IsLeft) {
  if (!SameText(ExtractFileExt(FileName), ".JPS")) {
    LoadToolPicture(FileName, Eye);
    return;
  }
  TBitmap pair;
  TImagerIO io(nullptr);
  io.AttachBitmap(&pair);
  try {
    io.LoadFromFileByType(FileName, kJpegType);
  } catch (const Exception&) {
    throw ECommandError("Kann Datei " + FileName + " nicht laden.");
  }
  if (io.Aborted() || pair.Empty() || pair.PixelFormat() != pf24bit)
    throw ECommandError("Kann Datei " + FileName + " nicht laden.");
  TBitmap left, right;
  SplitStereoImage(left, right, pair, skCrossed);
  Eye.TakeOver(IsLeft ? left : right);
}

void SaveJps(const std::string& FileName, const TBitmap& Left, const TBitmap& Right) {
  TBitmap l, r, pair;
  CopyBitmap(l, Left);
  CopyBitmap(r, Right);
  MakeAnaglyph(l, r, pair, skCrossed, 0, 0, 0);
  WriteJpegFile(FileName, pair);
}

void RunMake3D(TCommandRun& Run) {
  TBitmap left, right;
  LoadEyeImage(Run.Str("left", ""), left, true);
  LoadEyeImage(Run.Str("right", ""), right, false);
  const int32_t w = std::min(left.Width(), right.Width()), h = std::min(left.Height(), right.Height());
  Run.RunLine("HIDDEN NEWIMAGE" + WriteParamInt("Width", w) + WriteParamInt("Height", h) +
              WriteParamInt("FillColor", 0));
  timagerlayer& imager = NewestImage(Run.Form);
  MakeAnaglyph(left, right, imager.Bitmap(), Run.Int("Mode", 0), Run.Int("dx", 0), Run.Int("dy", 0),
               Run.Int("dr", 0));
  imager.Update();
  Run.Form.fensteranpassen(&Run.Form, &NewestChild(Run.Form));
}

void RunGetLeftRight(TCommandRun& Run) {
  TBitmap stereo;
  LoadToolPicture(Run.Str("Pic3D", ""), stereo);
  TBitmap left, right;
  SplitStereoImage(left, right, stereo, Run.Int("Mode", 0));
  const std::string newImage = "HIDDEN NEWIMAGE" + WriteParamInt("Width", stereo.Width()) +
                               WriteParamInt("Height", stereo.Height()) + WriteParamInt("FillColor", 0);
  Run.RunLine(newImage);
  timagerlayer& first = NewestImage(Run.Form);
  first.Bitmap().TakeOver(right);
  first.Update();
  Run.RunLine(newImage);
  timagerlayer& second = NewestImage(Run.Form);
  second.Bitmap().TakeOver(left);
  second.Update();
  Run.Form.fensteranpassen(&Run.Form, &NewestChild(Run.Form));
}

void DrawGlassesTest(TBitmap& Bitmap, int32_t Width, int32_t Height) {
  Bitmap.SetPixelFormat(pf24bit);
  Bitmap.SetSize(std::max(Width, 1), std::max(Height, 1));
  for (int32_t y = 0; y < Bitmap.Height(); ++y) std::memset(Bitmap.ScanLine(y), 0, size_t(Bitmap.Width()) * 3);
  auto put = [&](int32_t x, int32_t y, TBGRPixel p) {
    if (x < Bitmap.Width() && y < Bitmap.Height()) static_cast<TBGRPixel*>(Bitmap.ScanLine(y))[x] = p;
  };
  for (int32_t i = 0; i <= 85; ++i)
    for (int32_t j = 0; j <= 20; ++j) {
      const uint8_t v = uint8_t(3 * i);
      put(10 + i, 5 + j, {0, 0, v});
      put(10 + i, 30 + j, {0, v, 0});
      put(10 + i, 55 + j, {v, 0, 0});
    }
}

Tanaglyphform::Tanaglyphform(TComponent* AOwner, int32_t AMode, const std::string& ACaption, bool ADemo)
    : TToolDialog(AOwner, "anaglyphform", ACaption), Demo(ADemo), Mode(AMode) {
  // Set before any frame is made: the length frames' stores hook the window's
  // show when they are made and call this after restoring. The window's own
  // store reads the stored values before this runs too, so the window loads
  // what they name; the demo's store is inactive and neither reads nor writes.
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  if (Mode == 0) {
    LeftEdit = AddEdit("Linkes Auge", "anaglyphleft", "Images/left.png");
    RightEdit = AddEdit("Rechtes Auge", "anaglyphright", "Images/right.png");
  } else if (Mode == 1) {
    Pic3DEdit = AddEdit("3D-Bild", "anaglyph3d", "");
  } else {
    MeshEdit = AddEdit("3D-Gitter", "mesh", "Images/cone.asc");
  }
  std::vector<std::string> kinds(std::begin(kStereoKinds), std::end(kStereoKinds));
  mycombobox1 = AddCombo("Verfahren", "mycombobox1", kinds, 0);
  // The control pages under the settings.
  PageControl2 = new TPageControl(this);
  PageControl2->SetName("PageControl2");
  auto addControlPage = [this](const std::string& Caption) {
    auto* page = new TTabSheet(this);
    page->SetPageControl(PageControl2);
    page->SetCaption(Caption);
    return page;
  };
  ChangePage = addControlPage("Ändern");
  OutputPage = addControlPage("Ausgabe");
  DemoPage = addControlPage("Demo");
  AddFrame(PageControl2, 230);
  BuildChangePage();
  BuildOutputPage();
  BuildDemoPage();
  AddNote("");
  AddButtons("Erzeuge Bild", 35);
  HelpButton->SetCaption("Hilfe zu 3D-Verfahren");
  HelpButton->SetWidth(150);
  OnRun = [this](TObject*) { ResultLine = BuildLine(); };

  // The pages with the views, right of the settings.
  constexpr int32_t left = 480, width = 430, height = 330;
  PageControl1 = new TPageControl(this);
  PageControl1->SetParent(this);
  PageControl1->SetBounds(left, 10, width, height);
  LeftPage = AddPage("Linkes Auge");
  RightPage = AddPage("Rechtes Auge");
  StereoPage = AddPage("3D-Bild");
  GlassesPage = AddPage("Brille");
  timagerlayer1 = AddView(LeftPage);
  timagerlayer2 = AddView(RightPage);
  timagerlayer3 = AddView(StereoPage);
  LeftEye = &timagerlayer1->Bitmap();
  RightEye = &timagerlayer2->Bitmap();
  Stereo = &timagerlayer3->Bitmap();
  imtester = new timagerlayer(this);
  imtester->SetParent(GlassesPage);
  imtester->SetBounds(5, 5, 300, 90);
  GlassesLabel = new TLabel(this);
  GlassesLabel->SetParent(GlassesPage);
  GlassesLabel->SetBounds(5, 105, width - 20, 17);
  GlassesLabel->SetCaption("Brillentest: Farbe des jeweils anderen Brillenglasses sollte verschwinden.");
  auto button = [this](TWinControl* Parent, const std::string& Caption, int32_t X, int32_t Y, int32_t W) {
    auto* b = new TButton(this);
    b->SetParent(Parent);
    b->SetCaption(Caption);
    b->SetBounds(X, Y, W, 25);
    return b;
  };
  RedBlueButton = button(GlassesPage, "Rot-Blau Brille drucken ...", 5, 135, 200);
  RedGreenButton = button(GlassesPage, "Rot-Grün Brille drucken ...", 5, 165, 200);
  PrintHelpButton = button(GlassesPage, "Hilfe zum drucken", 5, 195, 200);
  RedBlueButton->OnClick = [this](TObject*) { LoadGlasses(false); };
  RedGreenButton->OnClick = [this](TObject*) { LoadGlasses(true); };
  PrintHelpButton->OnClick = [](TObject*) {
    if (Application) Application->HelpContext(351);
  };

  const int32_t row = 10 + height + 10;
  LoadButton = button(this, "Bild laden ...", left, row, 130);
  LoadJpsButton = button(this, "JPS laden...", left + 140, row, 130);
  SaveJpsButton = button(this, "JPS speichern...", left + 280, row, 130);
  MeshHelpButton = button(this, "3D-Gitter Hilfe ...", left + 280, row + 30, 130);
  MeshHelpButton->OnClick = [](TObject*) {
    if (Application) Application->HelpContext(352);
  };
  previewspeedbutton = new TSpeedButton(this);
  previewspeedbutton->SetParent(this);
  previewspeedbutton->SetCaption("Vorschau");
  previewspeedbutton->SetBounds(left, row + 30, 130, 25);
  previewspeedbutton->SetGroupIndex(1);
  previewspeedbutton->SetAllowAllUp(true);
  KvSpeedButton1 = new TSpeedButton(this);
  KvSpeedButton1->SetParent(this);
  KvSpeedButton1->SetCaption("Automatische Überprüfung");
  KvSpeedButton1->SetBounds(left + 140, row + 30, 130, 25);
  KvSpeedButton1->SetGroupIndex(2);
  KvSpeedButton1->SetAllowAllUp(true);
  // A live preview unless the user turns it off.
  KvSpeedButton1->SetDown(true);
  AddStored("KvSpeedButton1.Down", KvSpeedButton1);
  AddStored("previewspeedbutton.Down", previewspeedbutton);
  SetClientSize(left + width + 10, std::max(ClientHeight(), row + 70));

  LoadButton->OnClick = [this](TObject*) {
    TFileDialogRequest r;
    r.Title = "Öffnen";
    r.Filter = Mode == 2 ? "(ASC) 3D-Studio |*.asc|" : ImageFilter();
    r.FileMustExist = true;
    TFileDialogResult res;
    if (!RunFileDialog(r, res) || res.Files.empty()) return;
    if (Mode != 2) {
      LoadChosenFile(res.Files.front(), false);
      return;
    }
    // A mesh: it replaces the shown one (the demo keeps the stored name).
    CheckBox7->SetChecked(false);
    try {
      LoadMesh(res.Files.front());
    } catch (const Exception& E) {
      ShowMessage(E.Message());
      return;
    }
    if (!Demo) MeshEdit->SetText(res.Files.front());
    if (!LosButton->Down()) Preview();
  };
  LoadJpsButton->OnClick = [this](TObject*) {
    TFileDialogRequest r;
    r.Title = "Öffnen";
    r.Filter = kJpsFilter;
    r.FileMustExist = true;
    TFileDialogResult res;
    if (RunFileDialog(r, res) && !res.Files.empty()) LoadChosenFile(res.Files.front(), true);
  };
  SaveJpsButton->OnClick = [this](TObject*) {
    TFileDialogRequest r;
    r.Save = true;
    r.OverwritePrompt = true;
    r.Title = "Speichern als";
    r.Filter = AddAllFilesFilter(kJpsFilter);
    r.DefaultExt = "jps";
    TFileDialogResult res;
    if (!RunFileDialog(r, res) || res.Files.empty()) return;
    try {
      SaveJpsTo(res.Files.front());
    } catch (const Exception& E) {
      ShowMessage(E.Message());
    }
  };
  previewspeedbutton->OnClick = [this](TObject*) {
    Preview();
    previewspeedbutton->SetDown(KvSpeedButton1->Down());
  };
  KvSpeedButton1->OnClick = [this](TObject*) { AutoPreview(); };
  mycombobox1->OnChange = [this](TObject*) { AutoPreview(); };
  PageControl1->OnChange = [this](TObject*) { PageChanged(); };

  SwitchTimer = new TTimer(this);
  SwitchTimer->SetInterval(20000);
  SwitchTimer->SetOnTimer([this](TObject*) {
    if (Mode == 2 && CheckBox7->Checked() && LosButton->Down()) SwitchMesh();
  });
  SwitchTimer->SetEnabled(Mode == 2);
  OnResize = [this](TObject*) { FormResized(); };
  FMesh = std::make_unique<tobjects3d>(LeftEye, RightEye);

  if (Demo) {
    // The demo shows its picture only: no controls, no eye pages, nothing stored.
    KvSpeedButton1->SetDown(true);
    PageControl2->SetVisible(false);
    LeftPage->SetTabVisible(false);
    RightPage->SetTabVisible(false);
    Store()->SetActive(false);
  }
}

void Tanaglyphform::BuildChangePage() {
  TWinControl* p = ChangePage;
  const bool integral = Mode != 2;  // shifts and turns of eye pictures are whole pixels and degrees
  auto spin = [&](const std::string& Name, int32_t X, int32_t Y, double Value) {
    TKvSpinEdit* e = AddSpin(this, p, Name, X, Y, Value);
    if (!integral) e->SetValueType(vtFloat);
    return e;
  };
  AddLabel(this, p, "Bewegen", 5, 5);
  AddLabel(this, p, "Drehen", 215, 5);
  const char* axes[3] = {"X", "Y", "Z"};
  TKvSpinEdit** moves[3] = {&MoveX, &MoveY, &MoveZ};
  TKvSpinEdit** turns[3] = {&TurnX, &TurnY, &TurnZ};
  for (int32_t i = 0; i < 3; ++i) {
    const int32_t y = 30 + 28 * i;
    TLabel* ml = AddLabel(this, p, axes[i], 5, y);
    *moves[i] = spin(std::string("Move") + axes[i], 25, y, 0);
    TLabel* tl = AddLabel(this, p, axes[i], 215, y);
    *turns[i] = spin(std::string("Turn") + axes[i], 235, y, 0);
    // The Z move and the Y and Z turns belong to the mesh only.
    if (i == 2) ml->SetTag(1), (*moves[i])->SetTag(1);
    if (i > 0) tl->SetTag(1), (*turns[i])->SetTag(1);
  }
  AddLabel(this, p, "Schrittweite", 5, 120)->SetTag(1);
  KvSpinEdit3 = AddSpin(this, p, "KvSpinEdit3", 110, 120, 50);
  AddLabel(this, p, "Schrittweite", 215, 120)->SetTag(1);
  KvSpinEdit4 = AddSpin(this, p, "KvSpinEdit4", 320, 120, 5);
  AddLabel(this, p, "Skalierung", 5, 150)->SetTag(1);
  ScaleEdit = AddSpin(this, p, "ScaleEdit", 110, 150, 1);
  ScaleEdit->SetValueType(vtFloat);
  ScaleEdit->SetIncrement(0.1);
  ScaleEdit->SetValue(1);
  for (TKvSpinEdit* e : {KvSpinEdit3, KvSpinEdit4, ScaleEdit}) e->SetTag(1);
  for (TKvSpinEdit* e : {MoveX, MoveY, MoveZ, TurnX, TurnY, TurnZ, ScaleEdit})
    e->OnChange = [this, e](TObject*) { MeshEditChanged(e); };
  for (TKvSpinEdit* e : {KvSpinEdit3, KvSpinEdit4}) e->OnChange = [this](TObject*) { StepWidthsChanged(); };
  AddStored("KvSpinEdit3.Value", KvSpinEdit3);
  AddStored("KvSpinEdit4.Value", KvSpinEdit4);
}

void Tanaglyphform::BuildOutputPage() {
  TWinControl* p = OutputPage;
  auto frame = [&](const std::string& Caption, const std::string& Name, int32_t Y, double Centimetres) {
    AddLabel(this, p, Caption, 5, Y)->SetWidth(180);
    auto* f = new Tconverterframe(this);
    f->SetName(Name);
    f->SetParent(p);
    f->SetBounds(190, Y, 230, 25);
    f->SetResolution(ScreenPpi());
    f->SetUnitIndex(2);  // centimetres
    f->SetValue(f->ToPixels(Centimetres));
    return f;
  };
  EyeFrame = frame("Abstand zwischen Augen", "converterframe1", 5, 6);
  DistanceFrame = frame("Entfernung zum Monitor", "converterframe2", 35, 50);
  EyeFrame->OnClick = [this](TObject*) {
    FMesh->EyeOffset = Round32(EyeFrame->Value()) >> 1;
    AutoPreview();
  };
  DistanceFrame->OnClick = [this](TObject*) {
    FMesh->Monitorz = Round32(DistanceFrame->Value());
    AutoPreview();
  };
  FixSizeBox = new TCheckBox(this);
  FixSizeBox->SetName("CheckBox5");
  FixSizeBox->SetParent(p);
  FixSizeBox->SetCaption("Ausgabegröße festlegen");
  FixSizeBox->SetBounds(5, 70, 250, 21);
  AddLabel(this, p, "Breite", 5, 98);
  OutWidth = AddSpin(this, p, "myKvSpinEdit7", 110, 98, 400);
  AddLabel(this, p, "Höhe", 5, 126);
  OutHeight = AddSpin(this, p, "myKvSpinEdit8", 110, 126, 300);
  for (TKvSpinEdit* e : {OutWidth, OutHeight}) {
    e->SetMinValue(1);
    e->SetMaxValue(10000);
    e->SetEnabled(false);
    e->OnChange = [this](TObject*) { OutputSizeChanged(); };
  }
  FixSizeBox->OnClick = [this](TObject*) {
    OutWidth->SetEnabled(FixSizeBox->Checked());
    OutHeight->SetEnabled(FixSizeBox->Checked());
  };
  AddStored("myKvSpinEdit7.Value", OutWidth);
  AddStored("myKvSpinEdit8.Value", OutHeight);
}

void Tanaglyphform::BuildDemoPage() {
  TWinControl* p = DemoPage;
  LosButton = new TSpeedButton(this);
  LosButton->SetName("LosButton");
  LosButton->SetParent(p);
  LosButton->SetCaption("Los");
  LosButton->SetBounds(5, 5, 80, 25);
  LosButton->SetGroupIndex(3);
  LosButton->SetAllowAllUp(true);
  LosButton->SetDown(true);
  AddLabel(this, p, "Wiederholrate (s)", 100, 5);
  KvSpinEdit2 = AddSpin(this, p, "KvSpinEdit2", 230, 5, 15);
  KvSpinEdit2->SetMinValue(1);
  KvSpinEdit2->SetMaxValue(999999);
  CheckBox1 = AddBox(this, p, "CheckBox1", "X-Rotation", 5, 40);
  CheckBox2 = AddBox(this, p, "CheckBox2", "Y-Rotation", 5, 65);
  CheckBox3 = AddBox(this, p, "CheckBox3", "Z-Rotation", 5, 90);
  CheckBox4 = AddBox(this, p, "CheckBox4", "Aus dem Monitor heraus", 215, 40);
  CheckBox6 = AddBox(this, p, "CheckBox6", "Z-Kreisbahn", 215, 65);
  CheckBox7 = AddBox(this, p, "CheckBox7", "Objekt wechseln", 215, 90);
  AddStored("KvSpinEdit2.Value", KvSpinEdit2);
  AddStored("CheckBox7.Checked", CheckBox7);
  AddStored("CheckBox4.Checked", CheckBox4);
  AddStored("CheckBox3.Checked", CheckBox3);
  AddStored("CheckBox2.Checked", CheckBox2);
  AddStored("CheckBox1.Checked", CheckBox1);
  AddStored("CheckBox6.Checked", CheckBox6);
}

Tanaglyphform::~Tanaglyphform() {
  if (FIdleHooked && Application) Application->OnIdle = FPrevIdle;
}

TTabSheet* Tanaglyphform::AddPage(const std::string& Caption) {
  auto* page = new TTabSheet(this);
  page->SetPageControl(PageControl1);
  page->SetCaption(Caption);
  return page;
}

timagerlayer* Tanaglyphform::AddView(TTabSheet* Page) {
  auto* view = new timagerlayer(this);
  view->SetParent(Page);
  view->SetAlign(alClient);
  view->SetAutoFit(true);
  view->Bitmap().SetPixelFormat(pf24bit);
  return view;
}

void Tanaglyphform::RepaintViews() {
  for (timagerlayer* v : {timagerlayer1, timagerlayer2, timagerlayer3}) v->Update();
}

std::string Tanaglyphform::Resolve(const std::string& Name) const {
  if (Name.empty() || Name[0] == '/') return Name;
  const std::string file = ProgramFolder() + Name;
  // The samples the stored names start with are drawn on first use.
  if (!FileExists(file) && ExtractFilePath(file) == ProgramFolder() + "Images/") {
    if (SameText(ExtractFileExt(file), ".asc")) SampleMeshFolder();
    if (SameText(ExtractFileName(file), "left.png") || SameText(ExtractFileName(file), "right.png"))
      MakeSampleEyeImages();
  }
  return file;
}

void Tanaglyphform::FormShow(TObject*) {
  FSettingUp = true;
  LeftPage->SetTabVisible(Mode != 1 && !Demo);
  RightPage->SetTabVisible(Mode != 1 && !Demo);
  StereoPage->SetTabVisible(Mode == 1);
  if (Demo) KvSpeedButton1->SetDown(true);
  PageControl1->SetActivePage(Mode == 1 ? StereoPage : Demo ? GlassesPage : LeftPage);
  FLastPage = PageControl1->ActivePage();
  // Stored pictures that no longer exist are skipped.
  try {
    if (Mode == 0) {
      const std::string l = Resolve(LeftEdit->Text()), r = Resolve(RightEdit->Text());
      if (FileExists(l)) LoadEyeImage(l, *LeftEye, true);
      if (FileExists(r)) LoadEyeImage(r, *RightEye, false);
    } else if (Mode == 1) {
      const std::string f = Resolve(Pic3DEdit->Text());
      if (FileExists(f)) LoadToolPicture(f, *Stereo);
    } else {
      for (timagerlayer* v : {timagerlayer1, timagerlayer2, timagerlayer3}) v->ResetUndoPosition();
      SizeBitmaps();
      const std::string f = Demo ? SampleMeshFolder() + "lamp.asc" : Resolve(MeshEdit->Text());
      if (FileExists(f)) LoadMesh(f);
    }
  } catch (const Exception& E) {
    ShowMessage(E.Message());
  }
  if (Mode != 2) {
    for (TKvSpinEdit* e : {MoveX, MoveY, TurnX}) e->SetValue(0);
  }
  // Page "Ändern" offers the mesh's controls in mode 2 only; mode 1 has no use for it.
  for (int32_t i = 0; i < ChangePage->ControlCount(); ++i) {
    TControl* c = ChangePage->Controls(i);
    if (c->Tag() == 1) c->SetVisible(Mode == 2);
  }
  ChangePage->SetTabVisible(Mode != 1);
  OutputPage->SetTabVisible(Mode == 2);
  DemoPage->SetTabVisible(Mode == 2);
  if (PageControl2->ActivePage() && !PageControl2->ActivePage()->TabVisible())
    PageControl2->SetActivePage(Mode == 1 ? nullptr : ChangePage);
  PageControl2->SetVisible(Mode != 1 && !Demo);
  MeshHelpButton->SetVisible(Mode == 2);
  LoadJpsButton->SetVisible(Mode == 0);
  SaveJpsButton->SetVisible(Mode == 0);
  ResultLine.clear();
  DrawGlassesTest(imtester->Bitmap(), imtester->Width(), imtester->Height());
  imtester->Update();
  RepaintViews();
  UpdateLoadButton();
  FSettingUp = false;
  StepWidthsChanged();
  if (Mode == 2 && !FIdleHooked && Application) {
    FPrevIdle = Application->OnIdle;
    Application->OnIdle = [this](TObject* Sender, bool& Done) {
      if (FPrevIdle) FPrevIdle(Sender, Done);
      IdleStep();
      // The demo moves on as long as it runs.
      if (LosButton->Down() && !FMesh->Objects.empty()) Done = false;
    };
    FIdleHooked = true;
  }
  Preview();
}

void Tanaglyphform::UpdateLoadButton() {
  const TTabSheet* page = PageControl1->ActivePage();
  if (Mode == 0) LoadButton->SetEnabled(page != StereoPage);
  if (Mode == 1) LoadButton->SetEnabled(page == StereoPage);
}

void Tanaglyphform::AutoPreview() {
  if (!FSettingUp && KvSpeedButton1->Down()) Preview();
}

void Tanaglyphform::PageChanged() {
  TTabSheet* page = PageControl1->ActivePage();
  TTabSheet* was = FLastPage;
  FLastPage = page;
  UpdateLoadButton();
  if (Mode == 0 && page == StereoPage) AutoPreview();
  if (Mode == 1 && was == StereoPage && page != StereoPage) AutoPreview();
}

void Tanaglyphform::LoadChosenFile(const std::string& FileName, bool FromJpsButton) {
  TTabSheet* page = PageControl1->ActivePage();
  try {
    if (SameText(ExtractFileExt(FileName), ".JPS")) {
      LoadEyeImage(FileName, *LeftEye, true);
      LoadEyeImage(FileName, *RightEye, false);
      if (LeftEdit) LeftEdit->SetText(FileName);
      if (RightEdit) RightEdit->SetText(FileName);
    } else if (page == LeftPage || page == RightPage || page == StereoPage) {
      TBitmap& target = page == LeftPage ? *LeftEye : page == RightPage ? *RightEye : *Stereo;
      LoadEyeImage(FileName, target, page == LeftPage);
    }
  } catch (const Exception& E) {
    ShowMessage(E.Message());
    return;
  }
  TEdit* stored = page == LeftPage ? LeftEdit : page == RightPage ? RightEdit : page == StereoPage ? Pic3DEdit : nullptr;
  if (stored) stored->SetText(FileName);
  RepaintViews();
  if (FromJpsButton) Preview();
}

void Tanaglyphform::Preview() {
  const int32_t kind = std::clamp(mycombobox1->ItemIndex(), 0, 7);
  if (Mode == 1) {
    LeftPage->SetTabVisible(true);
    RightPage->SetTabVisible(true);
    if (PageControl1->ActivePage() != RightPage) PageControl1->SetActivePage(LeftPage);
    FLastPage = PageControl1->ActivePage();
    SplitStereoImage(*LeftEye, *RightEye, *Stereo, kind);
    UpdateLoadButton();
    RepaintViews();
    return;
  }
  const bool hidden = !StereoPage->TabVisible();
  StereoPage->SetTabVisible(true);
  if (hidden) {
    PageControl1->SetActivePage(StereoPage);
    FLastPage = StereoPage;
    UpdateLoadButton();
  }
  if (Mode == 0) {
    TBitmap lc, rc;
    CopyBitmap(lc, *LeftEye);
    CopyBitmap(rc, *RightEye);
    if (lc.PixelFormat() != pf24bit) lc.SetPixelFormat(pf24bit);
    if (rc.PixelFormat() != pf24bit) rc.SetPixelFormat(pf24bit);
    Stereo->SetPixelFormat(pf24bit);
    Stereo->SetSize(0, 0);
    MakeAnaglyph(lc, rc, *Stereo, kind, SpinInt(MoveX), SpinInt(MoveY), SpinInt(TurnX));
    RepaintViews();
    return;
  }
  if (FMeshLoaded.empty() && !Demo) {
    // A window used without being shown reads its mesh now.
    const std::string f = Resolve(MeshEdit->Text());
    if (!FileExists(f)) return;
    SizeBitmaps();
    LoadMesh(f);
  }
  if (LeftEye->Width() != SpinInt(OutWidth) || LeftEye->Height() != SpinInt(OutHeight)) SizeBitmaps();
  // The lengths of page "Ausgabe" are what the eyes see, however they were set.
  FMesh->EyeOffset = Round32(EyeFrame->Value()) >> 1;
  FMesh->Monitorz = Round32(DistanceFrame->Value());
  const int32_t w = LeftEye->Width(), h = LeftEye->Height();
  for (TBitmap* b : {LeftEye, RightEye})
    for (int32_t y = 0; y < h; ++y) std::memset(b->ScanLine(y), 0x80, size_t(w) * 3);
  FMesh->BuildMatrix();
  for (int32_t i = 0; i < int32_t(FMesh->Objects.size()); ++i) {
    FMesh->DrawEye(i, 0);
    FMesh->DrawEye(i, 1);
  }
  TBitmap lc, rc;
  CopyBitmap(lc, *LeftEye);
  CopyBitmap(rc, *RightEye);
  Stereo->SetPixelFormat(pf24bit);
  Stereo->SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) std::memset(Stereo->ScanLine(y), 0, size_t(w) * 3);
  MakeAnaglyph(lc, rc, *Stereo, kind, 0, 0, 0);
  RepaintViews();
}

void Tanaglyphform::SizeBitmaps() {
  const int32_t w = std::max(SpinInt(OutWidth), 1), h = std::max(SpinInt(OutHeight), 1);
  for (TBitmap* b : {LeftEye, RightEye, Stereo}) {
    b->SetPixelFormat(pf24bit);
    b->SetSize(w, h);
  }
}

void Tanaglyphform::LoadMesh(const std::string& FileName) {
  // Read aside first: a bad file leaves the shown mesh as it was.
  tobjects3d read(nullptr, nullptr);
  try {
    read.LoadAscMesh(FileName);
  } catch (const EMeshError& E) {
    throw ECommandError(E.Message());
  }
  FMesh->Objects = std::move(read.Objects);
  FMesh->MinX = read.MinX, FMesh->MinY = read.MinY, FMesh->MinZ = read.MinZ;
  FMesh->MaxX = read.MaxX, FMesh->MaxY = read.MaxY, FMesh->MaxZ = read.MaxZ;
  FMesh->EyeOffset = Round32(EyeFrame->Value()) >> 1;
  FMesh->Monitorz = Round32(DistanceFrame->Value());
  FMesh->ResetPosition();
  FMeshLoaded = FileName;
  FillFromMesh();
}

void Tanaglyphform::FillFromMesh() {
  FFilling = true;
  MoveX->SetValue(FMesh->TranslateX);
  MoveY->SetValue(FMesh->TranslateY);
  MoveZ->SetValue(FMesh->TranslateZ);
  TurnX->SetValue(FMesh->RotateX);
  TurnY->SetValue(FMesh->RotateY);
  TurnZ->SetValue(FMesh->RotateZ);
  ScaleEdit->SetValue(FMesh->Scale);
  FFilling = false;
}

void Tanaglyphform::MeshEditChanged(TKvSpinEdit* Edit) {
  if (FFilling) return;
  if (Mode == 2 && FMesh) {
    const double v = Edit->Value();
    if (Edit == MoveX) FMesh->TranslateX = v;
    if (Edit == MoveY) FMesh->TranslateY = v;
    if (Edit == MoveZ) FMesh->TranslateZ = v;
    if (Edit == TurnX) FMesh->RotateX = v;
    if (Edit == TurnY) FMesh->RotateY = v;
    if (Edit == TurnZ) FMesh->RotateZ = v;
    if (Edit == ScaleEdit) FMesh->Scale = v;
  }
  AutoPreview();
}

void Tanaglyphform::StepWidthsChanged() {
  for (TKvSpinEdit* e : {MoveX, MoveY, MoveZ}) e->SetIncrement(KvSpinEdit3->Value());
  for (TKvSpinEdit* e : {TurnX, TurnY, TurnZ}) e->SetIncrement(KvSpinEdit4->Value());
}

void Tanaglyphform::OutputSizeChanged() {
  if (Mode != 2 || !FMesh || FSettingUp) return;
  SizeBitmaps();
  FMesh->ResetPosition();
  FillFromMesh();
  AutoPreview();
}

void Tanaglyphform::FormResized() {
  if (Mode != 2 || !FMesh || FSettingUp || !Visible()) return;
  if (!FixSizeBox->Checked()) {
    const int32_t w = timagerlayer1->ClientWidth(), h = timagerlayer1->ClientHeight();
    if (w > 0 && h > 0) {
      OutWidth->SetValue(w);
      OutHeight->SetValue(h);
    }
    return;
  }
  AutoPreview();
  FMesh->ResetPosition();
  FillFromMesh();
}

std::string Tanaglyphform::MeshFolder() const {
  if (Demo) return SampleMeshFolder();
  return ExtractFilePath(Resolve(MeshEdit->Text()));
}

void Tanaglyphform::SwitchMesh() {
  const std::string folder = MeshFolder();
  std::vector<std::string> files;
  TSearchRec f;
  if (FindFirst(folder + "*.asc", faAnyFile & ~(faDirectory | faVolumeID), f) == 0) {
    do {
      if (!(f.Attr & (faDirectory | faVolumeID))) files.push_back(f.Name);
    } while (FindNext(f) == 0);
  }
  FindClose(f);
  if (files.empty()) return;
  const int32_t i = Random(int32_t(files.size()));
  if (i <= 0) return;
  try {
    LoadMesh(folder + files[size_t(i)]);
  } catch (const Exception&) {
    return;  // the demo goes on with the mesh it shows
  }
  if (!Demo) MeshEdit->SetText(folder + files[size_t(i)]);
  if (!LosButton->Down()) Preview();
}

void Tanaglyphform::IdleStep() {
  if (Mode != 2 || FMesh->Objects.empty() || !LosButton->Down()) return;
  int64_t period = int64_t(Round(KvSpinEdit2->Value())) * 1000;
  if (period == 0) period = 1000;
  DemoStep(double(GetTickCount() % uint64_t(period)) / double(period));
}

void Tanaglyphform::DemoStep(double T) {
  if (FMesh->Objects.empty()) return;
  double tri = 2 * T;
  if (tri > 1) tri = 2 - tri;
  FSettingUp = true;
  const double angle = 360 * T;
  if (CheckBox1->Checked()) TurnX->SetValue(angle);
  if (CheckBox2->Checked()) TurnY->SetValue(angle);
  if (CheckBox3->Checked()) TurnZ->SetValue(angle);
  const double D = FMesh->Monitorz;
  if (CheckBox4->Checked()) {
    const double e = std::max(FMesh->MaxY - FMesh->MinY, FMesh->MaxX - FMesh->MinX);
    const double m = std::min(LeftEye->Width(), LeftEye->Height());
    const double h = D * 0.5;
    double u = D - h;
    if (!NearZero(u)) {
      u = D * e / u;
      if (!NearZero(u)) ScaleEdit->SetValue(0.7 * m / u);
    }
    MoveZ->SetValue(h * (2 * tri - 1) - FMesh->Scale * (FMesh->MaxZ - FMesh->MinZ) / 2);
  }
  if (CheckBox6->Checked()) {
    const double a = 8 * M_PI * T;
    const double r = std::min(D - FMesh->TranslateZ, 100.0) / 3;
    MoveX->SetValue(std::cos(a) * r);
    MoveY->SetValue(std::sin(a) * r);
  }
  FSettingUp = false;
  Preview();
}

std::string Tanaglyphform::BuildLine() {
  const int32_t kind = std::clamp(mycombobox1->ItemIndex(), 0, 7);
  if (Mode == 0)
    return "Make3D" + WriteParamString("Left", Resolve(LeftEdit->Text())) +
           WriteParamString("Right", Resolve(RightEdit->Text())) + WriteParamInt("Mode", kind) +
           WriteParamInt("dx", SpinInt(MoveX)) + WriteParamInt("dy", SpinInt(MoveY)) +
           WriteParamInt("dr", SpinInt(TurnX));
  if (Mode == 1) return "GetLeftRight" + WriteParamString("Pic3D", Resolve(Pic3DEdit->Text())) + WriteParamInt("Mode", kind);
  Preview();
  if (FMeshLoaded.empty()) return {};
  FMesh->BuildMatrix();
  return "Mesh" + WriteParamString("filename", FMeshLoaded) + WriteMeshMatrix(*FMesh) +
         WriteParamInt("Width", std::max(SpinInt(OutWidth), 1)) + WriteParamInt("Height", std::max(SpinInt(OutHeight), 1)) +
         WriteParamInt("Monitorz", FMesh->Monitorz) + WriteParamInt("Eye", FMesh->EyeOffset) + WriteParamInt("Mode", kind);
}

void Tanaglyphform::SaveJpsTo(const std::string& FileName) {
  TBitmap left, right;
  CopyBitmap(left, *LeftEye);
  CopyBitmap(right, *RightEye);
  Stereo->SetPixelFormat(pf24bit);
  Stereo->SetSize(0, 0);
  MakeAnaglyph(left, right, *Stereo, skCrossed, 0, 0, 0);
  timagerlayer3->Update();
  WriteJpegFile(FileName, *Stereo);
}

void Tanaglyphform::LoadGlasses(bool RedGreen) {
  if (!Main) return;
  Main->interpreter(this, "hidden open" + WriteParamString("filename", GlassesFile()));
  // The fill paints with the pen colour at the given intensity: both are
  // stated, or the lens would come out half white instead of green.
  if (RedGreen)
    Main->interpreter(this, "hidden StartDrawing" + WriteParamInt("ForeGround", kGreenLensColour) +
                                WriteParamInt("BackGround", kGreenLensColour) + WriteParamInt("FillStyle", 0) +
                                WriteParamInt("DrawingTool", 12) + WriteParamInt("MouseX", kGreenLensX) +
                                WriteParamInt("MouseY", kGreenLensY) + WriteParamInt("Intensity", 100));
  ShowMessage(kGlassesLoadedMessage);
}

void ShowAnaglyphWindow(Tform1& Form, int32_t Mode, const std::string& Caption, bool Demo) {
  auto dlg = std::make_unique<Tanaglyphform>(nullptr, Mode, Caption, Demo);
  dlg->Main = &Form;
  if (dlg->ShowModal() != mrOk || dlg->ResultLine.empty()) return;
  Form.interpreter(&Form, dlg->ResultLine);
}

}  // namespace kv

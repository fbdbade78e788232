#include "app/tools/stereo_tool.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "app/child/child_window.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "app/tools/glasses_picture.h"
#include "app/tools/mesh_tool.h"
#include "app/tools/tool_files.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/processing/mesh3d.h"
#include "imaging/processing/stereo.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/atomic_file_stream.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
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

double EditFloat(const TEdit* Edit, double Default) {
  double v = Default;
  return Edit && TryStrToFloat(Trim(Edit->Text()), v) ? v : Default;
}

// The picture as JPEG; the old file stays as it was when writing fails.
void WriteJpegFile(const std::string& FileName, TBitmap& Picture) {
  TImagerIO io(nullptr);
  io.AttachBitmap(&Picture);
  TAtomicFileStream out(FileName);
  io.SaveToStreamByType(out, kJpegType);
  if (io.Aborted()) throw ECommandError("The picture could not be saved to \"" + FileName + "\"");
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
  if (Mode != 1) {
    MoveX = AddEdit("Bewegen X", "MoveX", "0");
    MoveY = AddEdit("Bewegen Y", "MoveY", "0");
    TurnX = AddEdit("Drehen X", "TurnX", "0");
  }
  if (Mode == 2) {
    MoveZ = AddEdit("Bewegen Z", "MoveZ", "0");
    TurnY = AddEdit("Drehen Y", "TurnY", "0");
    TurnZ = AddEdit("Drehen Z", "TurnZ", "0");
    ScaleEdit = AddEdit("Skalierung", "ScaleEdit", "1");
    OutWidth = AddEdit("Breite", "myKvSpinEdit7", "400");
    OutHeight = AddEdit("Höhe", "myKvSpinEdit8", "300");
    EyeEdit = AddEdit("Abstand zwischen Augen (cm)", "EyeEdit", "6");
    DistanceEdit = AddEdit("Entfernung zum Monitor (cm)", "DistanceEdit", "50");
  }
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
    if (!Demo) MeshEdit->SetText(res.Files.front());
    FMesh.reset();
    try {
      Preview();
    } catch (const Exception& E) {
      ShowMessage(E.Message());
    }
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
  for (TEdit* e : {MoveX, MoveY, TurnX})
    if (e) e->OnChange = [this](TObject*) { AutoPreview(); };
  PageControl1->OnChange = [this](TObject*) { PageChanged(); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };

  if (Demo) {
    auto* timer = new TTimer(this);
    timer->SetInterval(50);
    timer->SetOnTimer([this](TObject*) {
      const double period = 15000;
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch()).count();
      DemoStep(std::fmod(double(ms), period) / period);
      Preview();
    });
    timer->SetEnabled(true);
  }
}

Tanaglyphform::~Tanaglyphform() = default;

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
  return ProgramFolder() + Name;
}

void Tanaglyphform::FormShow(TObject*) {
  FSettingUp = true;
  LeftPage->SetTabVisible(Mode != 1);
  RightPage->SetTabVisible(Mode != 1);
  StereoPage->SetTabVisible(Mode == 1);
  // The demo shows the stereo picture only.
  if (Demo) {
    LeftPage->SetTabVisible(false);
    RightPage->SetTabVisible(false);
    KvSpeedButton1->SetDown(true);
  }
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
    }
  } catch (const Exception& E) {
    ShowMessage(E.Message());
  }
  if (Mode != 2) {
    for (TEdit* e : {MoveX, MoveY, TurnX})
      if (e) e->SetText("0");
  }
  MeshHelpButton->SetVisible(Mode == 2);
  LoadJpsButton->SetVisible(Mode == 0);
  SaveJpsButton->SetVisible(Mode == 0);
  ResultLine.clear();
  DrawGlassesTest(imtester->Bitmap(), imtester->Width(), imtester->Height());
  imtester->Update();
  RepaintViews();
  UpdateLoadButton();
  FSettingUp = false;
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
    MakeAnaglyph(lc, rc, *Stereo, kind, EditInt(MoveX), EditInt(MoveY), EditInt(TurnX));
    RepaintViews();
    return;
  }
  const int32_t w = std::max(EditInt(OutWidth), 1), h = std::max(EditInt(OutHeight), 1);
  for (TBitmap* b : {LeftEye, RightEye}) {
    b->SetPixelFormat(pf24bit);
    b->SetSize(w, h);
  }
  const std::string file = Demo ? SampleMeshFolder() + "lamp.asc" : Resolve(MeshEdit->Text());
  if (!FMesh || FMeshLoaded != file) {
    if (!FileExists(file)) return;
    auto loaded = std::make_unique<tobjects3d>(nullptr, nullptr);
    loaded->LoadAscMesh(file);
    FMesh = std::move(loaded);
    FMeshLoaded = file;
  }
  // The object is placed afresh over the bitmaps of this preview.
  tobjects3d m(LeftEye, RightEye);
  m.Objects = FMesh->Objects;
  m.MinX = FMesh->MinX, m.MinY = FMesh->MinY, m.MinZ = FMesh->MinZ;
  m.MaxX = FMesh->MaxX, m.MaxY = FMesh->MaxY, m.MaxZ = FMesh->MaxZ;
  const int32_t ppi = ScreenPpi();
  m.EyeOffset = Round32(EditFloat(EyeEdit, 6) / 2.54 * ppi) >> 1;
  m.Monitorz = Round32(EditFloat(DistanceEdit, 50) / 2.54 * ppi);
  m.ResetPosition();
  m.TranslateX += EditFloat(MoveX, 0);
  m.TranslateY += EditFloat(MoveY, 0);
  m.TranslateZ += EditFloat(MoveZ, 0);
  m.RotateX = EditFloat(TurnX, 0);
  m.RotateY = EditFloat(TurnY, 0);
  m.RotateZ = EditFloat(TurnZ, 0);
  m.Scale = EditFloat(ScaleEdit, 1);
  for (TBitmap* b : {LeftEye, RightEye})
    for (int32_t y = 0; y < h; ++y) std::memset(b->ScanLine(y), 0x80, size_t(w) * 3);
  m.BuildMatrix();
  for (int32_t i = 0; i < int32_t(m.Objects.size()); ++i) {
    m.DrawEye(i, 0);
    m.DrawEye(i, 1);
  }
  FMesh->Matrix = m.Matrix;
  FMesh->Monitorz = m.Monitorz;
  FMesh->EyeOffset = m.EyeOffset;
  FMesh->TranslateZ = m.TranslateZ;
  TBitmap lc, rc;
  CopyBitmap(lc, *LeftEye);
  CopyBitmap(rc, *RightEye);
  Stereo->SetPixelFormat(pf24bit);
  Stereo->SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) std::memset(Stereo->ScanLine(y), 0, size_t(w) * 3);
  MakeAnaglyph(lc, rc, *Stereo, kind, 0, 0, 0);
  RepaintViews();
}

void Tanaglyphform::DemoStep(double T) {
  if (!FMesh) return;
  TurnX->SetText(FloatToStr(360 * T));
  TurnY->SetText(FloatToStr(360 * T));
  TurnZ->SetText(FloatToStr(360 * T));
  const double a = 8 * M_PI * T;
  const double r = std::min(FMesh->Monitorz - FMesh->TranslateZ, 100.0) / 3;
  MoveX->SetText(FloatToStr(std::cos(a) * r));
  MoveY->SetText(FloatToStr(std::sin(a) * r));
}

std::string Tanaglyphform::BuildLine() {
  const int32_t kind = std::clamp(mycombobox1->ItemIndex(), 0, 7);
  if (Mode == 0)
    return "Make3D" + WriteParamString("Left", Resolve(LeftEdit->Text())) +
           WriteParamString("Right", Resolve(RightEdit->Text())) + WriteParamInt("Mode", kind) +
           WriteParamInt("dx", EditInt(MoveX)) + WriteParamInt("dy", EditInt(MoveY)) +
           WriteParamInt("dr", EditInt(TurnX));
  if (Mode == 1) return "GetLeftRight" + WriteParamString("Pic3D", Resolve(Pic3DEdit->Text())) + WriteParamInt("Mode", kind);
  Preview();
  if (!FMesh) return {};
  return "Mesh" + WriteParamString("filename", FMeshLoaded) + WriteMeshMatrix(*FMesh) +
         WriteParamInt("Width", std::max(EditInt(OutWidth), 1)) + WriteParamInt("Height", std::max(EditInt(OutHeight), 1)) +
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

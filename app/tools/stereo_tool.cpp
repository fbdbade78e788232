#include "app/tools/stereo_tool.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "app/child/child_window.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/tools/mesh_tool.h"
#include "app/tools/tool_files.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/processing/mesh3d.h"
#include "imaging/processing/stereo.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/ui/button.h"
#include "platform/ui/forms.h"
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
  TImagerIO io(nullptr);
  io.AttachBitmap(&pair);
  {
    TFileStream out(FileName, fmCreate);
    io.SaveToStreamByType(out, kJpegType);
  }
  if (io.Aborted()) throw ECommandError("The picture could not be saved to \"" + FileName + "\"");
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
  Stereo = std::make_unique<TBitmap>();
  LeftEye = std::make_unique<TBitmap>();
  RightEye = std::make_unique<TBitmap>();
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
  auto* preview = new TButton(this);
  preview->SetParent(this);
  preview->SetCaption("Vorschau");
  preview->SetBounds(10, ClientHeight() - 45, 100, 25);
  preview->OnClick = [this](TObject*) { Preview(); };
  if (Mode == 0) {
    auto* save = new TButton(this);
    save->SetParent(this);
    save->SetCaption("JPS speichern...");
    save->SetBounds(120, ClientHeight() - 45, 120, 25);
    save->OnClick = [this](TObject*) {
      std::string name = ChangeFileExt(Resolve(LeftEdit->Text()), ".jps");
      SaveJpsTo(name);
    };
  }
  AddNote("");
  AddButtons("Erzeuge Bild", 35);
  OnRun = [this](TObject*) { ResultLine = BuildLine(); };
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

std::string Tanaglyphform::Resolve(const std::string& Name) const {
  if (Name.empty() || Name[0] == '/') return Name;
  return ProgramFolder() + Name;
}

void Tanaglyphform::Preview() {
  const int32_t kind = std::clamp(mycombobox1->ItemIndex(), 0, 7);
  if (Mode == 1) {
    const std::string file = Resolve(Pic3DEdit->Text());
    if (!FileExists(file)) return;
    TBitmap stereo;
    LoadToolPicture(file, stereo);
    SplitStereoImage(*LeftEye, *RightEye, stereo, kind);
    return;
  }
  if (Mode == 0) {
    const std::string l = Resolve(LeftEdit->Text()), r = Resolve(RightEdit->Text());
    if (!FileExists(l) || !FileExists(r)) return;
    LoadEyeImage(l, *LeftEye, true);
    LoadEyeImage(r, *RightEye, false);
    TBitmap lc, rc;
    CopyBitmap(lc, *LeftEye);
    CopyBitmap(rc, *RightEye);
    Stereo = std::make_unique<TBitmap>();
    MakeAnaglyph(lc, rc, *Stereo, kind, EditInt(MoveX), EditInt(MoveY), EditInt(TurnX));
    return;
  }
  const int32_t w = std::max(EditInt(OutWidth), 1), h = std::max(EditInt(OutHeight), 1);
  LeftEye = std::make_unique<TBitmap>(w, h, pf24bit);
  RightEye = std::make_unique<TBitmap>(w, h, pf24bit);
  const std::string file = Demo ? SampleMeshFolder() + "lamp.asc" : Resolve(MeshEdit->Text());
  if (!FMesh || FMeshLoaded != file) {
    if (!FileExists(file)) return;
    auto loaded = std::make_unique<tobjects3d>(nullptr, nullptr);
    loaded->LoadAscMesh(file);
    FMesh = std::move(loaded);
    FMeshLoaded = file;
  }
  // The object is placed afresh over the bitmaps of this preview.
  tobjects3d m(LeftEye.get(), RightEye.get());
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
  for (TBitmap* b : {LeftEye.get(), RightEye.get()})
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
  Stereo = std::make_unique<TBitmap>(w, h, pf24bit);
  MakeAnaglyph(lc, rc, *Stereo, kind, 0, 0, 0);
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
  const std::string l = Resolve(LeftEdit->Text()), r = Resolve(RightEdit->Text());
  TBitmap left, right;
  LoadEyeImage(l, left, true);
  LoadEyeImage(r, right, false);
  SaveJps(FileName, left, right);
}

void ShowAnaglyphWindow(Tform1& Form, int32_t Mode, const std::string& Caption, bool Demo) {
  auto dlg = std::make_unique<Tanaglyphform>(nullptr, Mode, Caption, Demo);
  if (dlg->ShowModal() != mrOk || dlg->ResultLine.empty()) return;
  Form.interpreter(&Form, dlg->ResultLine);
}

}  // namespace kv

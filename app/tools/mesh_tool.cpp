#include "app/tools/mesh_tool.h"

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "app/batch/batch_window.h"
#include "app/child/child_window.h"
#include "app/child/drawing_options.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/tools/stereo_tool.h"
#include "app/tools/tool_files.h"
#include "imaging/processing/mesh3d.h"
#include "imaging/processing/stereo.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/atomic_file_stream.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"

namespace kv {

namespace {

std::string Key(int Row, int Col) { return "m" + std::to_string(Row) + std::to_string(Col); }

void FillGrey(TBitmap& B) {
  for (int32_t y = 0; y < B.Height(); ++y) std::memset(B.ScanLine(y), 0x80, size_t(B.Width()) * 3);
}

TMeshObject Merge(TMeshObject A, const TMeshObject& B, double Dy) {
  const int32_t base = int32_t(A.Vertices.size());
  for (TMeshVertex v : B.Vertices) {
    v.Y += Dy;
    A.Vertices.push_back(v);
  }
  for (TMeshFace f : B.Faces) {
    f.A += base, f.B += base, f.C += base;
    A.Faces.push_back(f);
  }
  return A;
}

}  // namespace

void ReadMeshMatrix(tobjects3d& Mesh, const std::string& Params) {
  Mesh.Matrix = IdentityMatrix();
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      Mesh.Matrix[size_t(r)][size_t(c)] = ReadParamFloat(Params, Key(r, c), r == c ? 1.0 : 0.0);
}

std::string WriteMeshMatrix(const tobjects3d& Mesh) {
  std::string s;
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) s += WriteParamFloat(Key(r, c), Mesh.Matrix[size_t(r)][size_t(c)]);
  return s;
}

void RunMesh(TCommandRun& Run) {
  const int32_t w = Run.Int("Width", 200), h = Run.Int("Height", 200);
  if (w < 1 || h < 1 || int64_t(w) * h > (int64_t(1) << 28))
    throw ECommandError("Die Größe " + IntToStr(w) + " x " + IntToStr(h) + " ist keine gültige Bildgröße");
  TBitmap left(w, h, pf24bit), right(w, h, pf24bit);
  tobjects3d mesh(&left, &right);
  std::string file = Run.Str("filename", "");
  if (!file.empty() && file[0] != '/' && !FileExists(file)) file = ProgramFolder() + file;
  try {
    mesh.LoadAscMesh(file);
  } catch (const EMeshError& e) {
    throw ECommandError(e.Message());
  }
  FillGrey(left);
  FillGrey(right);
  mesh.Monitorz = Run.Int("Monitorz", 900);
  mesh.EyeOffset = Run.Int("Eye", 34);
  ReadMeshMatrix(mesh, Run.Line);
  for (int32_t i = 0; i < int32_t(mesh.Objects.size()); ++i) {
    mesh.DrawEye(i, 0);
    mesh.DrawEye(i, 1);
  }
  Run.RunLine("HIDDEN NEWIMAGE" + WriteParamInt("Width", w) + WriteParamInt("Height", h) +
              WriteParamInt("FillColor", 0) + WriteParamInt("Resolution", Screen ? Screen->PixelsPerInch() : 96));
  timagerlayer& imager = NewestImage(Run.Form);
  MakeAnaglyph(left, right, imager.Bitmap(), Run.Int("Mode", 0), 0, 0, 0);
  imager.Update();
  Run.Form.fensteranpassen(&Run.Form, &NewestChild(Run.Form));
}

void RunShowMeshDemo(TCommandRun& Run) {
  const std::string caption = "3D-Gitter ...";
  // The demo has the screen to itself while it runs: the main window and the
  // command history and drawing-options windows that are shown go down.
  struct TLowered {
    TCustomForm* Form;
    TWindowState Was;
  };
  std::vector<TLowered> lowered{{&Run.Form, Run.Form.WindowState()}};
  for (TCustomForm* f : {static_cast<TCustomForm*>(batchwindowform), static_cast<TCustomForm*>(drawingoptionsform)})
    if (f && f->Visible()) lowered.push_back({f, f->WindowState()});
  for (const TLowered& l : lowered) l.Form->SetWindowState(wsMinimized);
  auto restore = [&] {
    if (Application) Application->Restore();
    for (const TLowered& l : lowered) l.Form->SetWindowState(l.Was);
  };
  try {
    ShowAnaglyphWindow(Run.Form, 2, caption, true);
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

std::string SampleMeshFolder() {
  const std::string folder = ProgramFolder() + "Images/";
  WriteSampleMeshes(folder);
  return folder;
}

void WriteSampleMeshes(const std::string& Folder) {
  ForceDirectories(Folder);
  auto write = [&](const std::string& Name, const std::function<TMeshObject()>& Make) {
    const std::string file = Folder + Name + ".asc";
    if (FileExists(file)) return;
    // A mesh cut short would be refused; the file appears only when complete.
    // A folder that takes no files leaves the samples missing, as the window
    // skips any missing mesh.
    try {
      TAtomicFileStream out(file);
      const std::string text = WriteAscMesh(Name, Make());
      out.WriteBuffer(text.data(), int32_t(text.size()));
      out.Commit();
    } catch (const Exception&) {
    }
  };
  write("cone", [] { return MakeConeMesh(60, 120, 16); });
  write("cube", [] { return MakeCubeMesh(100); });
  write("sphere", [] { return MakeSphereMesh(60, 8, 12); });
  // A lamp: a cone shade over a small sphere on a thin cube stand.
  write("lamp", [] { return Merge(Merge(MakeConeMesh(60, 60, 16), MakeSphereMesh(15, 6, 8), 30), MakeCubeMesh(20), 80); });
}

}  // namespace kv

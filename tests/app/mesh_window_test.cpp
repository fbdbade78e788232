// The 3-D window's mesh mode worked through its pages: the edits of "Ändern"
// place the mesh as the renderer draws it, the "Ausgabe" lengths set the eyes'
// offset and the viewing distance, the demo's step moves the edits as its
// boxes ask, "Objekt wechseln" picks another mesh of the folder, and each mode
// shows only its pages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/dialogs/size_frames.h"
#include "app/layer/imager_layer.h"
#include "app/tools/stereo_tool.h"
#include "command_fixture.h"
#include "components/controls/kv_spin.h"
#include "imaging/processing/mesh3d.h"
#include "imaging/processing/stereo.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/random.h"
#include "platform/ui/button.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/forms.h"
#include "platform/ui/page_control.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"

namespace kv {
namespace {

using namespace kv::test;

TBGRPixel Px(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }

bool Same(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height()) return false;
  for (int32_t y = 0; y < A.Height(); ++y)
    for (int32_t x = 0; x < A.Width(); ++x)
      if (!(Px(A, x, y) == Px(B, x, y))) return false;
  return true;
}

void Grey(TBitmap& B, int32_t W, int32_t H) {
  B.SetPixelFormat(pf24bit);
  B.SetSize(W, H);
  for (int32_t y = 0; y < H; ++y) std::memset(B.ScanLine(y), 0x80, size_t(W) * 3);
}

class MeshWindow : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    Folder = Dir + "meshes/";
    std::filesystem::create_directories(Folder + "d.asc");  // a folder is no mesh
    std::ofstream(Folder + "a.asc", std::ios::binary) << WriteAscMesh("a", MakeCubeMesh(60));
    std::ofstream(Folder + "b.asc", std::ios::binary) << WriteAscMesh("b", MakeSphereMesh(40, 6, 8));
    std::ofstream(Folder + "c.asc", std::ios::binary) << WriteAscMesh("c", MakeConeMesh(40, 80, 12));
  }
  // A mesh window of a fixed 160 x 120 output showing the cube.
  std::unique_ptr<Tanaglyphform> Window() {
    auto w = std::make_unique<Tanaglyphform>(nullptr, 2, "3D-Gitter ...");
    w->Main = Form.get();
    w->MeshEdit->SetText(Folder + "a.asc");
    w->FixSizeBox->SetChecked(true);
    w->OutWidth->SetValue(160);
    w->OutHeight->SetValue(120);
    w->FormShow(nullptr);
    return w;
  }
  // What the renderer and the kernel make of the cube placed by Place.
  template <typename F>
  std::unique_ptr<TBitmap> Expected(const Tanaglyphform& W, int32_t Kind, F Place) {
    TBitmap l, r;
    Grey(l, 160, 120);
    Grey(r, 160, 120);
    tobjects3d m(&l, &r);
    m.LoadAscMesh(Folder + "a.asc");
    m.EyeOffset = Round32(W.EyeFrame->Value()) >> 1;
    m.Monitorz = Round32(W.DistanceFrame->Value());
    m.ResetPosition();
    Place(m);
    m.BuildMatrix();
    m.DrawEye(0, 0);
    m.DrawEye(0, 1);
    auto out = std::make_unique<TBitmap>(160, 120, pf24bit);
    for (int32_t y = 0; y < 120; ++y) std::memset(out->ScanLine(y), 0, 160 * 3);
    MakeAnaglyph(l, r, *out, Kind, 0, 0, 0);
    return out;
  }
  std::string Folder;
};

TEST_F(MeshWindow, ChangeEditsPlaceTheMeshAsTheRendererDraws) {
  auto w = Window();
  ASSERT_EQ(w->MeshFile(), Folder + "a.asc");
  // Shown: the edits hold the placed object, the preview is the renderer's.
  const tobjects3d& mesh = w->Mesh();
  EXPECT_NEAR(w->MoveZ->Value(), mesh.TranslateZ, 0.005);
  EXPECT_DOUBLE_EQ(w->ScaleEdit->Value(), 1);
  EXPECT_TRUE(Same(*w->Stereo, *Expected(*w, 0, [](tobjects3d&) {})));
  // Each edit writes into the object and previews.
  w->MoveX->SetText("20");
  w->MoveY->SetText("-15");
  w->TurnX->SetText("10");
  w->TurnY->SetText("30");
  w->TurnZ->SetText("45");
  w->ScaleEdit->SetText("1.5");
  w->MoveZ->SetText("100");
  w->mycombobox1->SetItemIndex(skRedCyanColour);
  auto placed = [](tobjects3d& m) {
    m.TranslateX = 20, m.TranslateY = -15, m.TranslateZ = 100;
    m.RotateX = 10, m.RotateY = 30, m.RotateZ = 45, m.Scale = 1.5;
  };
  w->Preview();
  EXPECT_TRUE(Same(*w->Stereo, *Expected(*w, skRedCyanColour, placed)));
  EXPECT_FALSE(Same(*w->Stereo, *Expected(*w, skRedCyanColour, [](tobjects3d&) {})));
  EXPECT_DOUBLE_EQ(mesh.RotateY, 30);
  EXPECT_DOUBLE_EQ(mesh.Scale, 1.5);
  // The left eye is the renderer's drawing itself.
  TBitmap l, r;
  Grey(l, 160, 120);
  Grey(r, 160, 120);
  tobjects3d m(&l, &r);
  m.LoadAscMesh(Folder + "a.asc");
  m.EyeOffset = mesh.EyeOffset, m.Monitorz = mesh.Monitorz;
  placed(m);
  m.BuildMatrix();
  m.DrawEye(0, 0);
  EXPECT_TRUE(Same(*w->LeftEye, l));
  // The line builds what the preview shows.
  const std::string line = w->BuildLine();
  EXPECT_NE(line.find("Width=160 Height=120"), std::string::npos);
  EXPECT_NE(line.find("m23="), std::string::npos);
}

TEST_F(MeshWindow, StepWidthsAreTheArrowsIncrements) {
  auto w = Window();
  EXPECT_DOUBLE_EQ(w->KvSpinEdit3->Value(), 50);
  EXPECT_DOUBLE_EQ(w->KvSpinEdit4->Value(), 5);
  EXPECT_DOUBLE_EQ(w->ScaleEdit->Increment(), 0.1);
  for (TKvSpinEdit* e : {w->MoveX, w->MoveY, w->MoveZ}) EXPECT_DOUBLE_EQ(e->Increment(), 50);
  for (TKvSpinEdit* e : {w->TurnX, w->TurnY, w->TurnZ}) EXPECT_DOUBLE_EQ(e->Increment(), 5);
  w->KvSpinEdit3->SetValue(20);
  w->KvSpinEdit4->SetValue(15);
  for (TKvSpinEdit* e : {w->MoveX, w->MoveY, w->MoveZ}) EXPECT_DOUBLE_EQ(e->Increment(), 20);
  for (TKvSpinEdit* e : {w->TurnX, w->TurnY, w->TurnZ}) EXPECT_DOUBLE_EQ(e->Increment(), 15);
  // The arrows move the object by the step.
  const double x = w->Mesh().TranslateX;
  w->MoveX->UpClick(nullptr);
  EXPECT_NEAR(w->Mesh().TranslateX, x + 20, 1e-9);
  w->TurnZ->DownClick(nullptr);
  EXPECT_NEAR(w->Mesh().RotateZ, -15, 1e-9);
  w->ScaleEdit->UpClick(nullptr);
  EXPECT_NEAR(w->Mesh().Scale, 1.1, 1e-9);
}

TEST_F(MeshWindow, OutputLengthsSetEyeOffsetAndDistance) {
  auto w = Window();
  // The defaults: 6 cm between the eyes, 50 cm to the screen, at the screen's resolution.
  const double ppi = Screen ? Screen->PixelsPerInch() : 96;
  EXPECT_DOUBLE_EQ(w->EyeFrame->Resolution(), ppi);
  EXPECT_EQ(w->EyeFrame->UnitIndex(), 2);
  EXPECT_NEAR(w->EyeFrame->Shown(), 6, 1e-9);
  EXPECT_NEAR(w->DistanceFrame->Shown(), 50, 1e-9);
  EXPECT_EQ(w->Mesh().EyeOffset, Round32(6 / 2.54 * ppi) >> 1);
  EXPECT_EQ(w->Mesh().Monitorz, Round32(50 / 2.54 * ppi));
  w->EyeFrame->SetShown(7);
  w->DistanceFrame->SetShown(40);
  EXPECT_EQ(w->Mesh().EyeOffset, Round32(7 / 2.54 * ppi) >> 1);
  EXPECT_EQ(w->Mesh().Monitorz, Round32(40 / 2.54 * ppi));
  EXPECT_NE(w->BuildLine().find("Eye=" + std::to_string(Round32(7 / 2.54 * ppi) >> 1)), std::string::npos);
  // A new output size: bitmaps of that size, the object placed afresh.
  w->MoveX->SetText("30");
  w->OutWidth->SetValue(200);
  EXPECT_EQ(w->LeftEye->Width(), 200);
  EXPECT_EQ(w->Stereo->Width(), 200);
  EXPECT_DOUBLE_EQ(w->Mesh().TranslateX, 0);
  EXPECT_DOUBLE_EQ(w->MoveX->Value(), 0);
}

TEST_F(MeshWindow, DemoStepWritesTheMovementsTheBoxesAsk) {
  auto w = Window();
  const tobjects3d& m = w->Mesh();
  const double D = m.Monitorz, h = D / 2;
  const double e = std::max(m.MaxY - m.MinY, m.MaxX - m.MinX), size = std::min(160, 120);
  const double scale = 0.7 * size / (D * e / (D - h));
  struct Case {
    double T;
    bool Turns, Out, Orbit;
  };
  const Case cases[] = {{0, true, true, true}, {0.25, true, true, true}, {0.5, true, true, true},
                        {0.8, true, false, true}, {0.3, false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.T);
    for (TCheckBox* b : {w->CheckBox1, w->CheckBox2, w->CheckBox3}) b->SetChecked(c.Turns);
    w->CheckBox4->SetChecked(c.Out);
    w->CheckBox6->SetChecked(c.Orbit);
    for (TKvSpinEdit* t : {w->TurnX, w->TurnY, w->TurnZ, w->MoveX, w->MoveY, w->MoveZ}) t->SetValue(0);
    w->ScaleEdit->SetValue(1);
    w->DemoStep(c.T);
    const double angle = c.Turns ? 360 * c.T : 0;
    for (TKvSpinEdit* t : {w->TurnX, w->TurnY, w->TurnZ}) EXPECT_NEAR(t->Value(), angle, 0.005);
    const double tri = c.T * 2 > 1 ? 2 - c.T * 2 : c.T * 2;
    if (c.Out) {
      EXPECT_NEAR(w->ScaleEdit->Value(), scale, 0.005);
      EXPECT_NEAR(w->MoveZ->Value(), h * (2 * tri - 1) - w->ScaleEdit->Value() * (m.MaxZ - m.MinZ) / 2, 0.01);
    } else {
      EXPECT_DOUBLE_EQ(w->ScaleEdit->Value(), 1);
      EXPECT_DOUBLE_EQ(w->MoveZ->Value(), 0);
    }
    const double r = std::min(D - w->MoveZ->Value(), 100.0) / 3, a = 8 * M_PI * c.T;
    EXPECT_NEAR(w->MoveX->Value(), c.Orbit ? std::cos(a) * r : 0, 0.01);
    EXPECT_NEAR(w->MoveY->Value(), c.Orbit ? std::sin(a) * r : 0, 0.01);
    // The edits reached the object and one preview drew it.
    EXPECT_NEAR(m.TranslateZ, w->MoveZ->Value(), 1e-9);
    EXPECT_NEAR(m.RotateY, w->TurnY->Value(), 1e-9);
  }
}

TEST_F(MeshWindow, ObjektWechselnLoadsAnotherMeshOfTheFolder) {
  auto w = Window();
  EXPECT_EQ(w->SwitchTimer->Interval(), 20000u);
  EXPECT_TRUE(w->CheckBox7->Checked());
  // Seeds that draw the first file (which keeps the mesh) and another one.
  const char* names[3] = {"a.asc", "b.asc", "c.asc"};
  int32_t kept = 0, switched = 0;
  for (int32_t seed : {1, 1000003, 20000000, 400000000, 777777777, 1234567890, -5, -1000000000}) {
    SCOPED_TRACE(seed);
    RandSeed = seed;
    const int32_t i = Random(3);
    const std::string before = w->MeshFile();
    RandSeed = seed;
    w->SwitchMesh();
    EXPECT_EQ(w->MeshFile(), i > 0 ? Folder + names[i] : before);
    EXPECT_EQ(w->MeshEdit->Text(), w->MeshFile());
    ++(i > 0 ? switched : kept);
  }
  EXPECT_GT(kept, 0);
  EXPECT_GT(switched, 0);
  // Choosing a mesh by hand stops the switching.
  AnswerFileDialog([&](TFileDialogSession& S) {
    EXPECT_EQ(S.Request().Filter, "(ASC) 3D-Studio |*.asc|");
    S.SelectFile(Folder + "c.asc");
    S.SetFileNameText("c.asc");
    S.PressOK();
  });
  w->LoadButton->Click();
  EXPECT_EQ(w->MeshFile(), Folder + "c.asc");
  EXPECT_FALSE(w->CheckBox7->Checked());
}

TEST_F(MeshWindow, PagesShowPerMode) {
  struct Case {
    int32_t Mode;
    bool Demo, Change, Output, DemoTab, MeshOnly, Controls, Eyes;
  };
  const Case cases[] = {{0, false, true, false, false, false, true, true},
                        {1, false, false, false, false, false, false, true},
                        {2, false, true, true, true, true, true, true},
                        {2, true, true, true, true, true, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Mode * 10 + c.Demo);
    Tanaglyphform w(nullptr, c.Mode, "3D", c.Demo);
    if (c.Mode == 2 && !c.Demo) w.MeshEdit->SetText(Folder + "a.asc");
    if (c.Mode == 0) w.LeftEdit->SetText(Dir + "none.png"), w.RightEdit->SetText(Dir + "none.png");
    w.FormShow(nullptr);
    EXPECT_EQ(w.ChangePage->TabVisible(), c.Change);
    EXPECT_EQ(w.OutputPage->TabVisible(), c.Output);
    EXPECT_EQ(w.DemoPage->TabVisible(), c.DemoTab);
    for (TControl* e : {(TControl*)w.MoveZ, (TControl*)w.TurnY, (TControl*)w.TurnZ, (TControl*)w.KvSpinEdit3,
                        (TControl*)w.KvSpinEdit4, (TControl*)w.ScaleEdit})
      EXPECT_EQ(e->Visible(), c.MeshOnly);
    EXPECT_TRUE(w.MoveX->Visible());
    EXPECT_EQ(w.PageControl2->Visible(), c.Controls);
    if (c.Mode != 1) {
      EXPECT_EQ(w.LeftPage->TabVisible(), c.Eyes);
      EXPECT_EQ(w.RightPage->TabVisible(), c.Eyes);
    }
    if (c.Demo) {
      EXPECT_TRUE(w.KvSpeedButton1->Down());
      EXPECT_EQ(w.MeshFile(), Dir + "Images/lamp.asc");
    }
    // The demo runs from the start, with every movement.
    if (c.Mode == 2) {
      EXPECT_TRUE(w.LosButton->Down());
      EXPECT_DOUBLE_EQ(w.KvSpinEdit2->Value(), 15);
      for (TCheckBox* b : {w.CheckBox1, w.CheckBox2, w.CheckBox3, w.CheckBox4, w.CheckBox6, w.CheckBox7})
        EXPECT_TRUE(b->Checked());
    }
  }
}

TEST_F(MeshWindow, DemoSettingsAreKeptButNotByTheDemo) {
  // Shown, changed and closed: the mesh mode keeps the demo's boxes and spin edits.
  auto run = [](bool Demo, const std::function<void(Tanaglyphform&)>& Work) {
    Tanaglyphform w(nullptr, 2, "3D-Gitter ...", Demo);
    w.Show();
    Work(w);
  };
  auto change = [](Tanaglyphform& w, double Rate) {
    w.CheckBox4->SetChecked(false);
    w.CheckBox7->SetChecked(false);
    w.KvSpinEdit2->SetValue(Rate);
    w.KvSpinEdit3->SetValue(Rate + 1);
  };
  run(false, [&](Tanaglyphform& w) { change(w, 30); });
  run(false, [](Tanaglyphform& w) {
    EXPECT_FALSE(w.CheckBox4->Checked());
    EXPECT_FALSE(w.CheckBox7->Checked());
    EXPECT_TRUE(w.CheckBox6->Checked());
    EXPECT_TRUE(w.CheckBox1->Checked());
    EXPECT_TRUE(w.KvSpeedButton1->Down());
    EXPECT_DOUBLE_EQ(w.KvSpinEdit4->Value(), 5);
    EXPECT_DOUBLE_EQ(w.KvSpinEdit2->Value(), 30);
    EXPECT_DOUBLE_EQ(w.KvSpinEdit3->Value(), 31);
  });
  // The demo neither reads nor writes them.
  run(true, [&](Tanaglyphform& w) {
    EXPECT_TRUE(w.CheckBox4->Checked());
    EXPECT_DOUBLE_EQ(w.KvSpinEdit2->Value(), 15);
    change(w, 40);
  });
  run(false, [](Tanaglyphform& w) { EXPECT_DOUBLE_EQ(w.KvSpinEdit2->Value(), 30); });
}

}  // namespace
}  // namespace kv

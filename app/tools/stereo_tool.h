// Stereo pictures in the program: eye pictures read from files (a ".jps"
// holds both), the MAKE3D and GETLEFTRIGHT lines, ".jps" writing, and the
// 3-D window that builds those lines (and, in its third mode, the MESH line).
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/tools/tool_dialog.h"

namespace kv {

class TBitmap;
class Tform1;
class TCommandRun;
class TEdit;
class TComboBox;
class TCheckBox;
class tobjects3d;

inline constexpr const char* kJpsFilter = "(JPS) Left/Right Eye|*.jps|";
inline constexpr const char* kStereoKinds[8] = {"Rot-Blau Brille", "Rot-Grün Brille", "Rot-Blau-Brille (Farbe)",
                                                "Monotones Bild",  "Parallel",        "Gekreuzt",
                                                "Spiegel",         "Shutterbrille"};

// One eye's picture of a file: a ".jps" is read as JPEG and split as crossed
// side by side (the left eye when IsLeft); any other file is read directly.
void LoadEyeImage(const std::string& FileName, TBitmap& Eye, bool IsLeft);
// The crossed pair of the two eyes written as JPEG, whatever the name's extension.
void SaveJps(const std::string& FileName, const TBitmap& Left, const TBitmap& Right);

void RunMake3D(TCommandRun& Run);
void RunGetLeftRight(TCommandRun& Run);

// The glasses test: three ramps of red, green and blue on black, 86 steps of 3.
void DrawGlassesTest(TBitmap& Bitmap, int32_t Width, int32_t Height);

class Tanaglyphform : public TToolDialog {
 public:
  // Mode 0 eye pictures to stereo picture, 1 stereo picture to eye pictures, 2 mesh.
  Tanaglyphform(TComponent* AOwner, int32_t AMode, const std::string& ACaption, bool ADemo = false);
  bool Demo;
  // One step of the demo at time T (0 .. 1 over the repeat time): turns and moves the mesh.
  void DemoStep(double T);
  ~Tanaglyphform() override;
  int32_t Mode;
  TEdit* LeftEdit = nullptr;   // stored "anaglyphleft"
  TEdit* RightEdit = nullptr;  // stored "anaglyphright"
  TEdit* Pic3DEdit = nullptr;  // stored "anaglyph3d"
  TEdit* MeshEdit = nullptr;   // stored "mesh"
  TComboBox* mycombobox1 = nullptr;
  TEdit* MoveX = nullptr;
  TEdit* MoveY = nullptr;
  TEdit* MoveZ = nullptr;
  TEdit* TurnX = nullptr;
  TEdit* TurnY = nullptr;
  TEdit* TurnZ = nullptr;
  TEdit* ScaleEdit = nullptr;
  TEdit* OutWidth = nullptr;
  TEdit* OutHeight = nullptr;
  TEdit* EyeEdit = nullptr;
  TEdit* DistanceEdit = nullptr;
  // The result of the last preview: the stereo picture (modes 0 and 2) or the eyes (mode 1).
  std::unique_ptr<TBitmap> Stereo, LeftEye, RightEye;
  // Runs the preview once with the values in the controls.
  void Preview();
  // The line "Erzeuge Bild" builds for the mode.
  std::string BuildLine();
  // "JPS speichern...": the eye pictures written as one ".jps".
  void SaveJpsTo(const std::string& FileName);

 private:
  std::string Resolve(const std::string& Name) const;
  std::unique_ptr<tobjects3d> FMesh;
  std::string FMeshLoaded;
};

void ShowAnaglyphWindow(Tform1& Form, int32_t Mode, const std::string& Caption, bool Demo = false);

}  // namespace kv

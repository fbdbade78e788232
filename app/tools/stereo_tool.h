// Stereo pictures in the program: eye pictures read from files (a ".jps"
// holds both), the MAKE3D and GETLEFTRIGHT lines, ".jps" writing, and the
// 3-D window that builds those lines (and, in its third mode, the MESH line).
#pragma once
#include <cstdint>
#include <functional>
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
class TKvSpinEdit;
class Tconverterframe;
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

class TButton;
class TLabel;
class TPageControl;
class TSpeedButton;
class TTabSheet;
class TTimer;
class timagerlayer;

inline constexpr const char* kGlassesLoadedMessage =
    "Die Brille wurde druckbereit in Kavrelin geladen. \rLesen Sie bitte die \"Hilfe zum drucken\" um zu erfahren, "
    "wie Sie die Brille ausdrucken müssen.";
// The colour the red-green glasses' second lens is filled with (green 80) and the point it is filled at.
inline constexpr int32_t kGreenLensColour = 20480, kGreenLensX = 123, kGreenLensY = 617;

class Tanaglyphform : public TToolDialog {
 public:
  // Mode 0 eye pictures to stereo picture, 1 stereo picture to eye pictures, 2 mesh.
  Tanaglyphform(TComponent* AOwner, int32_t AMode, const std::string& ACaption, bool ADemo = false);
  bool Demo;
  // One step of the demo at time T (0 .. 1 over the repeat time): the chosen
  // movements written into the edits without a preview each, then one preview.
  void DemoStep(double T);
  // The demo's step on an idle moment: mode 2, a mesh loaded and "Los" down.
  void IdleStep();
  // A random ".asc" of the mesh folder (index 0 keeps the shown one).
  void SwitchMesh();
  // The mesh drawn in mode 2 and the file it came from (empty before any).
  tobjects3d& Mesh() { return *FMesh; }
  const std::string& MeshFile() const { return FMeshLoaded; }
  // A mesh file read into the object, the edits filled from it; raises on a bad file.
  void LoadMesh(const std::string& FileName);
  ~Tanaglyphform() override;
  int32_t Mode;
  // The main window whose interpreter opens the glasses (null: the glasses buttons do nothing).
  Tform1* Main = nullptr;
  TEdit* LeftEdit = nullptr;   // stored "anaglyphleft"
  TEdit* RightEdit = nullptr;  // stored "anaglyphright"
  TEdit* Pic3DEdit = nullptr;  // stored "anaglyph3d"
  TEdit* MeshEdit = nullptr;   // stored "mesh"
  TComboBox* mycombobox1 = nullptr;
  // Page "Ändern": the move edits (dx, dy in modes 0 and 1), the turn edits
  // (dr), the two step widths and the scale; in mode 2 they edit the mesh.
  TKvSpinEdit* MoveX = nullptr;
  TKvSpinEdit* MoveY = nullptr;
  TKvSpinEdit* MoveZ = nullptr;
  TKvSpinEdit* TurnX = nullptr;
  TKvSpinEdit* TurnY = nullptr;
  TKvSpinEdit* TurnZ = nullptr;
  TKvSpinEdit* KvSpinEdit3 = nullptr;  // "Schrittweite" of the move edits
  TKvSpinEdit* KvSpinEdit4 = nullptr;  // "Schrittweite" of the turn edits
  TKvSpinEdit* ScaleEdit = nullptr;    // "Skalierung"
  // Page "Ausgabe".
  Tconverterframe* EyeFrame = nullptr;       // "Abstand zwischen Augen"
  Tconverterframe* DistanceFrame = nullptr;  // "Entfernung zum Monitor"
  TCheckBox* FixSizeBox = nullptr;           // "Ausgabegröße festlegen"
  TKvSpinEdit* OutWidth = nullptr;           // stored "myKvSpinEdit7"
  TKvSpinEdit* OutHeight = nullptr;          // stored "myKvSpinEdit8"
  // Page "Demo".
  TSpeedButton* LosButton = nullptr;  // "Los"
  TKvSpinEdit* KvSpinEdit2 = nullptr; // "Wiederholrate (s)"
  TCheckBox* CheckBox1 = nullptr;     // "X-Rotation"
  TCheckBox* CheckBox2 = nullptr;     // "Y-Rotation"
  TCheckBox* CheckBox3 = nullptr;     // "Z-Rotation"
  TCheckBox* CheckBox4 = nullptr;     // "Aus dem Monitor heraus"
  TCheckBox* CheckBox6 = nullptr;     // "Z-Kreisbahn"
  TCheckBox* CheckBox7 = nullptr;     // "Objekt wechseln"
  // The control pages left of the views.
  TPageControl* PageControl2 = nullptr;
  TTabSheet* ChangePage = nullptr;  // "Ändern"
  TTabSheet* OutputPage = nullptr;  // "Ausgabe"
  TTabSheet* DemoPage = nullptr;    // "Demo"
  TTimer* SwitchTimer = nullptr;    // 20000 ms: another mesh of the folder

  // The pages and their views: left eye, right eye, the stereo picture, the glasses test.
  TPageControl* PageControl1 = nullptr;
  TTabSheet* LeftPage = nullptr;    // "Linkes Auge"
  TTabSheet* RightPage = nullptr;   // "Rechtes Auge"
  TTabSheet* StereoPage = nullptr;  // "3D-Bild"
  TTabSheet* GlassesPage = nullptr; // "Brille"
  timagerlayer* timagerlayer1 = nullptr;
  timagerlayer* timagerlayer2 = nullptr;
  timagerlayer* timagerlayer3 = nullptr;
  timagerlayer* imtester = nullptr;
  TLabel* GlassesLabel = nullptr;
  TButton* LoadButton = nullptr;      // "Bild laden ..."
  TButton* LoadJpsButton = nullptr;   // "JPS laden..."
  TButton* SaveJpsButton = nullptr;   // "JPS speichern..."
  TButton* RedBlueButton = nullptr;   // "Rot-Blau Brille drucken ..."
  TButton* RedGreenButton = nullptr;  // "Rot-Grün Brille drucken ..."
  TButton* PrintHelpButton = nullptr; // "Hilfe zum drucken"
  TButton* MeshHelpButton = nullptr;  // "3D-Gitter Hilfe ..."
  TSpeedButton* previewspeedbutton = nullptr;  // "Vorschau"
  TSpeedButton* KvSpeedButton1 = nullptr;      // "Automatische Überprüfung"

  // The bitmaps of the three views.
  TBitmap* LeftEye = nullptr;
  TBitmap* RightEye = nullptr;
  TBitmap* Stereo = nullptr;

  // What showing the window does: pages for the mode, the stored pictures
  // loaded, the glasses test drawn, one preview.
  void FormShow(TObject* Sender);
  // Runs the preview once with the values in the controls.
  void Preview();
  // The line "Erzeuge Bild" builds for the mode.
  std::string BuildLine();
  // A file chosen by "Bild laden ..." (FromJpsButton false) or "JPS laden...".
  void LoadChosenFile(const std::string& FileName, bool FromJpsButton);
  // "JPS speichern...": the eye views combined crossed into the 3-D view, written as JPEG.
  void SaveJpsTo(const std::string& FileName);
  // The glasses buttons: the glasses opened in the main window, green for the red-green kind.
  void LoadGlasses(bool RedGreen);

 private:
  std::string Resolve(const std::string& Name) const;
  void PageChanged();
  void UpdateLoadButton();
  // Runs the preview when "Automatische Überprüfung" is down and no set-up is under way.
  void AutoPreview();
  TTabSheet* AddPage(const std::string& Caption);
  timagerlayer* AddView(TTabSheet* Page);
  void RepaintViews();
  void BuildChangePage();
  void BuildOutputPage();
  void BuildDemoPage();
  // The edits of page "Ändern" from the object (no write-back meanwhile).
  void FillFromMesh();
  // An edit of page "Ändern" changed: its value into the object, then the preview.
  void MeshEditChanged(TKvSpinEdit* Edit);
  void StepWidthsChanged();
  void SizeBitmaps();
  void OutputSizeChanged();
  void FormResized();
  std::string MeshFolder() const;
  std::unique_ptr<tobjects3d> FMesh;
  std::string FMeshLoaded;
  TTabSheet* FLastPage = nullptr;
  bool FSettingUp = false;  // several edits change: no preview per change
  bool FFilling = false;    // edits filled from the mesh: no write-back
  bool FIdleHooked = false;
  std::function<void(TObject*, bool&)> FPrevIdle;
};

void ShowAnaglyphWindow(Tform1& Form, int32_t Mode, const std::string& Caption, bool Demo = false);

}  // namespace kv

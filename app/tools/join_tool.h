// The join dialog: a second open picture placed beside, above, below or over
// the current one, blended where they overlap, the union as a new window.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/tools/tool_dialog.h"
#include "imaging/processing/join_images.h"

namespace kv {

class Tform1;
class TBitmap;
class TEdit;
class TCheckBox;
class TComboBox;
class TButton;
class timagerlayer;
class Tdirectionframe;

class Theftenform : public TToolDialog {
 public:
  Theftenform(TComponent* AOwner, Tform1& AMain);
  ~Theftenform() override;
  TComboBox* WindowBox = nullptr;   // "Zu heftendes Bild"
  TEdit* KvSpinEdit1 = nullptr;     // "Transparenz im Überlappungsbereich"
  // "Heft-Seite": where the current picture is anchored; the second goes
  // beside it on the other side, or over it from the centre.
  Tdirectionframe* directionframe1 = nullptr;
  TEdit* KvSpinEdit2 = nullptr;     // "Grad"
  TCheckBox* AntialiasBox = nullptr;
  timagerlayer* im = nullptr;       // the preview
  TButton* ZoomOneButton = nullptr;   // "1:1"
  TButton* ZoomInButton = nullptr;    // "Größer"
  TButton* ZoomOutButton = nullptr;   // "Kleiner"
  TButton* ZoomFitButton = nullptr;   // "Fenster"

  TJoinPlacement Placement;
  // The working copy of the chosen picture, turned.
  void PrepareSecond();
  // Places both pictures for the chosen side.
  void ApplyDirection();
  void DrawPreview();
  // Drags the second picture: the pointer in bitmap coordinates.
  void StartDrag(int32_t X, int32_t Y);
  void DragTo(int32_t X, int32_t Y);
  void EndDrag() { FDragging = false; }
  // The union of both placed pictures, cut from the preview.
  void JoinedPicture(TBitmap& Out) const;

 private:
  Tform1& FMain;
  std::unique_ptr<TBitmap> FSecond;
  bool FDragging = false;
  int32_t FDragDX = 0, FDragDY = 0;
};

void ShowJoinDialog(Tform1& Form);

}  // namespace kv

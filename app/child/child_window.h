// The image window: a child of the main window's multiple-document area with
// one image control, two rulers and a status line. It turns mouse presses,
// drags and releases into command lines for the interpreter and asks whether
// to save a modified image before it closes.
#pragma once
#include <cstdint>
#include <string>

#include "platform/graphics/canvas.h"
#include "platform/ui/forms.h"

namespace kv {

class TBitmap;
class TRulerBox;
class TStatusBar;
class timagerlayer;

// The drawing tool: the place of the checked item of the main window's
// mouse-pointer menu. Process-wide.
enum TDrawingTool : uint8_t {
  dtZoom, dtHand, dtSelectRect, dtSelectEllipse, dtSelectPolygon, dtSelectMagic, dtDraw, dtLine,
  dtRectangle, dtEllipse, dtRoundRect, dtText, dtFloodfill, dtGetColor, dtCopypaint, dtRedEye
};
extern uint8_t drawingtool;

class Tchild : public TForm {
 public:
  explicit Tchild(TComponent* AOwner);
  ~Tchild() override;

  timagerlayer* imager1 = nullptr;
  TRulerBox* RulerBox1 = nullptr;  // horizontal, along the bottom
  TRulerBox* RulerBox2 = nullptr;  // vertical, along the right edge
  TStatusBar* StatusBar1 = nullptr;

  // ---- window state ----
  bool modified = false;
  bool shapestarted = false;
  bool freehand = false;
  TPoint origin{0, 0};
  TPoint lastpoint{0, 0};
  TPoint refpoint{-1, -1};
  TPoint sourcepoint{0, 0};
  bool rightbutton = false;
  int32_t penkind = 0;
  bool inmousemove = false;

  // ---- drawing primitives called by the interpreter ----
  // Draws the current shape tool from Origin to Point on the bitmap's canvas, then repaints.
  void DrawShape(TPoint Origin, TPoint Point, TPenMode Mode);
  // One brush dab at a bitmap point.
  void drawwithpinsel(int32_t X, int32_t Y, int32_t PenKind, TColor Color);
  // The fill of the flood-fill tool; the queue grows as needed.
  static void FloodFill(TBitmap& Bitmap, int32_t X, int32_t Y, TColor Reference, TColor Fill,
                        int32_t Tolerance, int32_t Intensity);

  // The close question: asks to save a modified image; Cancel sets CancelFlag.
  // Answers whether the window may close.
  bool myclose();

  // ---- event handlers ----
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormResize(TObject* Sender);
  void imager1ViewChange(TObject* Sender);
  void imager1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void imager1MouseMove(TObject* Sender, TShiftState Shift, int32_t X, int32_t Y);
  void imager1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void imager1Progress(TObject* Sender, int32_t Percent);
};

}  // namespace kv

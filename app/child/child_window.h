// The image window: a child of the main window's multiple-document area with
// one image control, two rulers and a status line. It turns mouse presses,
// drags and releases into command lines for the interpreter and asks whether
// to save a modified image before it closes.
#pragma once
#include <cstdint>
#include <functional>
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
  std::string HelpFile;

  // Runs a command line of this window. Unset, lines go to the main window's
  // interpreter; tests put a recorder here.
  std::function<bool(Tchild& Child, const std::string& Line)> OnCommand;

  // ---- drawing primitives called by the interpreter ----
  // Draws the current shape tool from Origin to Point on the bitmap's canvas, then repaints.
  void DrawShape(TPoint Origin, TPoint Point, TPenMode Mode);
  // One brush dab at a bitmap point.
  void drawwithpinsel(int32_t X, int32_t Y, int32_t PenKind, TColor Color);
  // The fill of the flood-fill tool; the queue grows as needed.
  static void FloodFill(TBitmap& Bitmap, int32_t X, int32_t Y, TColor Reference, TColor Fill,
                        int32_t Tolerance, int32_t Intensity);

  // The close question: asks to save a modified image; Cancel (or a save that
  // did not happen) sets CancelFlag. Answers whether the window may close; the
  // window's close message runs it before closing.
  bool myclose();
  void Dispatch(TMessage& Message) override;

  // ---- event handlers ----
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormActivate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormResize(TObject* Sender);
  // Change 1: the zoom changed (the drawing options' zoom box follows).
  void imager1ViewChange(TObject* Sender, int32_t Change = 1);
  void imager1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void imager1MouseMove(TObject* Sender, TShiftState Shift, int32_t X, int32_t Y);
  void imager1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void imager1Progress(TObject* Sender, int32_t Percent);

 private:
  bool RunCommand(const std::string& Line);
  // Fits a ruler to the view: scale, tick and label spacing, position.
  void FitRuler(TRulerBox& Ruler, int32_t SizePixels, int32_t Offset, double Resolution);
  // The colour a brush tool paints at a bitmap point.
  TColor BrushColor(int32_t X, int32_t Y);
  bool FRubberShown = false;  // a rubber band is on the bitmap and must be erased before the next
};

// The status line text for an image of Width x Height pixels with the mouse at (X, Y).
std::string ChildStatusText(int32_t Width, int32_t Height, int32_t X, int32_t Y, double DpiX, double DpiY,
                            int32_t RulerUnit, int32_t ResolutionUnit, double UserUnit);

}  // namespace kv

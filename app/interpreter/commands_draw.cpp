// Drawing from the image window: start, freehand dabs, finish. The child
// window keeps the drawing's state from STARTDRAWING to DRAWFINISH.
#include <cstdlib>

#include "app/child/child_window.h"
#include "app/child/drawing_options.h"
#include "app/interpreter/commands.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/params/param_strings.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/dialogs.h"

namespace kv {

namespace {

// 65132
const char* const kNoReferencePoint = "Sie müssen erst mit der rechten Maustaste den Bezugspunkt definieren";

// Styles come from the line: a number the canvas does not know draws solid.
TPenStyle PenStyleOf(int32_t V) { return V >= psSolid && V <= psInsideFrame ? TPenStyle(V) : psSolid; }
TBrushStyle BrushStyleOf(int32_t V) { return V >= bsSolid && V <= bsDiagCross ? TBrushStyle(V) : bsSolid; }

// The colour with its red lowered by 10, not below 0 (the red-eye brush).
TColor LessRed(TColor C) {
  const int32_t red = C & 0xFF;
  return (C & ~0xFF) | (red > 10 ? red - 10 : 0);
}

// The colour at a bitmap point; false outside the picture.
bool ColorAt(timagerlayer& Imager, int32_t X, int32_t Y, TColor& Out) {
  Out = Imager.Bitmap().Canvas().Pixel(X, Y);
  return Out != -1;
}

// The colour a brush tool puts at (X, Y); false when there is none to take.
bool BrushColor(Tchild& Child, timagerlayer& Imager, int32_t X, int32_t Y, TColor& Out) {
  switch (drawingtool) {
    case dtDraw:
      Out = CurrentDrawingOptions().Foreground;
      return true;
    case dtRedEye:
      if (!ColorAt(Imager, X, Y, Out)) return false;
      Out = LessRed(Out);
      return true;
    case dtCopypaint:
      return ColorAt(Imager, Child.refpoint.X + X - Child.sourcepoint.X, Child.refpoint.Y + Y - Child.sourcepoint.Y,
                     Out);
    default:
      return false;
  }
}

// Lines of text one below the other, 1.1 font heights apart.
void WriteTextLines(TCommandRun& Run, TCanvas& Canvas, int32_t X, int32_t Y) {
  ReadParamFont(Run.Line, Canvas.Font());
  TStringList lines;
  Run.List("Text", lines);
  // A negative height gives the character height; the lines still go downwards.
  const int64_t step = Round(1.1 * std::abs(Canvas.Font().Height()));
  for (int32_t i = 0; i < lines.Count(); ++i) Canvas.TextOut(X, int32_t(Y + i * step), lines.Strings(i));
}

}  // namespace

void cmdStartDrawing(TCommandRun& Run) {
  const int32_t tool = Run.Int("DrawingTool", 0);
  drawingtool = uint8_t(tool);
  if (tool == dtSelectMagic) Run.Imager().MagicWandTolerance = Run.Int("Tolerance", 15);
  if (tool < dtDraw) return;
  Run.UndoPoint();
  Tchild& child = Run.Child();
  timagerlayer& imager = Run.Imager();
  TCanvas& canvas = imager.Bitmap().Canvas();
  canvas.Pen().SetColor(Run.Int("Foreground", 16777215));
  canvas.Brush().SetColor(Run.Int("Background", 0));
  canvas.Pen().SetStyle(PenStyleOf(Run.Int("LineStyle", 0)));
  canvas.Pen().SetWidth(Run.Int("LineWidth", 1));
  canvas.Brush().SetStyle(BrushStyleOf(Run.Int("Fillstyle", 0)));
  child.penkind = Run.Int("PenStyle", 0);
  const int32_t x = Run.Int("MouseX", 0), y = Run.Int("MouseY", 0);
  child.rightbutton = Run.Bool("RightMouseButton", false);
  child.freehand = false;
  switch (tool) {
    case dtDraw:
    case dtRedEye:
      child.freehand = true;
      child.shapestarted = true;
      break;
    case dtLine:
    case dtRectangle:
    case dtEllipse:
    case dtRoundRect:
      child.shapestarted = true;
      break;
    case dtText:
      WriteTextLines(Run, canvas, x, y);
      break;
    case dtFloodfill: {
      TColor reference;
      if (ColorAt(imager, x, y, reference))
        Tchild::FloodFill(imager.Bitmap(), x, y, reference, canvas.Pen().Color(), Run.Int("Tolerance", 10),
                          Run.Int("Intensity", 50));
      break;
    }
    case dtGetColor: {
      TColor c;
      if (ColorAt(imager, x, y, c)) SetDrawingColor(child.rightbutton, c);
      break;
    }
    case dtCopypaint:
      if (child.rightbutton) {
        child.refpoint = TPoint{x, y};
      } else if (child.refpoint.X < 0) {
        ShowMessage(kNoReferencePoint);
        Run.Return();
        return;
      } else {
        child.sourcepoint = TPoint{x, y};
        child.freehand = true;
        child.shapestarted = true;
      }
      break;
    default:
      break;
  }
  if (child.shapestarted) {
    canvas.MoveTo(x, y);
    child.origin = child.lastpoint = TPoint{x, y};
  }
  // The first dab of a stroke goes through the window's own mouse handling.
  if (child.freehand)
    child.imager1MouseMove(child.imager1, child.rightbutton ? TShiftState{ssRight} : TShiftState{ssLeft},
                           imager.XBmp2Scr(x), imager.YBmp2Scr(y));
}

void cmdDraw(TCommandRun& Run) {
  const int32_t x = Run.Int("MouseX", 0), y = Run.Int("MouseY", 0);
  if (drawingtool != dtDraw && drawingtool != dtRedEye && drawingtool != dtCopypaint) return;
  Tchild& child = Run.Child();
  TColor c;
  if (BrushColor(child, Run.Imager(), x, y, c)) child.drawwithpinsel(x, y, child.penkind, c);
}

void cmdDrawFinish(TCommandRun& Run) {
  const int32_t y = Run.Int("MouseY", 0), x = Run.Int("MouseX", 0);
  const int32_t originY = Run.Int("OriginY", 0), originX = Run.Int("OriginX", 0);
  Tchild& child = Run.Child();
  child.DrawShape(TPoint{originX, originY}, TPoint{x, y}, pmCopy);
  child.shapestarted = false;
  child.freehand = false;
}

}  // namespace kv

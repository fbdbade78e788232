// The image window: creation, rulers and status line, mouse to command lines,
// drawing primitives and the close question.
#include "app/child/child_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/child/drawing_options.h"
#include "app/helpers/control_helpers.h"
#include "app/helpers/size_units.h"
#include "app/helpers/text_helpers.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "imaging/views/ruler_box.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/start_marks.h"
#include "platform/rtl/strings.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/menus.h"
#include "platform/ui/status_bar.h"

namespace kv {

uint8_t drawingtool = dtZoom;

namespace {

constexpr char kRulerHint[] =
    "Mit Hilfe des Lineals sehen sie, wo sich der Mauszeiger\r\nim Bild befindet. Sie können das Lineal auch "
    "ausschalten,\r\nwenn Sie es nicht benötigen.";
constexpr int32_t kRulerBreadth = 24;
// Steps of a scroll-bar arrow, in view pixels times the zoom factor.
constexpr int32_t kScrollLineStep = 16;

// A stored value of the main window, or its default while there is none.
int32_t StoredOr(const char* Name, int32_t Default) { return form1 ? form1->StoredInt(Name) : Default; }
double UserUnit() { return form1 ? form1->StoredFloat("Userunit") : 1; }

// A view toggle of the main window's menu, found by its name; an item that is
// not there counts as checked, so the window shows everything.
bool ToggleChecked(const char* Name) {
  const auto* item = form1 ? dynamic_cast<const TMenuItem*>(form1->FindComponent(Name)) : nullptr;
  return !item || item->Checked();
}

// The drawing tool: the checked item of the mouse-pointer menu, else the last one stored.
int32_t CurrentDrawingTool() {
  if (form1 && form1->Mauszeiger1)
    for (int32_t i = 0; i < form1->Mauszeiger1->Count(); ++i)
      if (form1->Mauszeiger1->Items(i)->Checked()) return LastCheckedMenuItem(*form1->Mauszeiger1);
  return drawingtool;
}

std::string Fixed3(double Value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", Value);
  return buf;
}

uint8_t LowerRed(TColor Color) {
  const int32_t r = GetRValue(ColorToRGB(Color));
  return uint8_t(std::max(0, r - 10));
}

}  // namespace

std::string ChildStatusText(int32_t Width, int32_t Height, int32_t X, int32_t Y, double DpiX, double DpiY,
                            int32_t RulerUnit, int32_t ResolutionUnit, double UserUnitValue) {
  const double w = PixelsToUnit(RulerUnit, Width, DpiX, Width, UserUnitValue);
  const double h = PixelsToUnit(RulerUnit, Height, DpiY, Height, UserUnitValue);
  const double x = PixelsToUnit(RulerUnit, Width, DpiX, X, UserUnitValue);
  const double y = PixelsToUnit(RulerUnit, Height, DpiY, Y, UserUnitValue);
  return Fixed3(w) + " x " + Fixed3(h) + "    X:" + Fixed3(x) + "  Y:" + Fixed3(y) + " (" +
         LengthUnitName(RulerUnit) + ")  " + Fixed3(ResolutionUnitFactor(ResolutionUnit, DpiX)) + " " +
         ResolutionUnitName(ResolutionUnit);
}

// ---- creation ----

Tchild::Tchild(TComponent* AOwner) : TForm(AOwner) {
  SetFormStyle(fsMDIChild);
  SetPosition(poDefault);
  Font().SetName("MS Sans Serif");
  Font().SetSize(8);
  SetBounds(0, 0, 400, 300);

  // Each bar aligned to the bottom goes below those before it: the status line lies lowest.
  RulerBox1 = new TRulerBox(this);
  RulerBox1->SetName("RulerBox1");
  RulerBox1->SetRulerDir(rdHorizontal);
  RulerBox1->SetGripsDir(gdDown);
  RulerBox1->SetDotPerUnit(10);
  RulerBox1->SetFrequency(1);
  RulerBox1->SetLabelFreq(10);
  RulerBox1->SetHint(kRulerHint);
  RulerBox1->SetBounds(0, 1000, 400, kRulerBreadth);
  RulerBox1->SetAlign(alBottom);
  RulerBox1->SetParent(this);

  StatusBar1 = new TStatusBar(this);
  StatusBar1->SetName("StatusBar1");
  StatusBar1->SetSimplePanel(true);
  StatusBar1->SetBounds(0, 2000, 400, 19);
  StatusBar1->SetAlign(alBottom);
  StatusBar1->SetParent(this);

  RulerBox2 = new TRulerBox(this);
  RulerBox2->SetName("RulerBox2");
  RulerBox2->SetRulerDir(rdVertical);
  RulerBox2->SetGripsDir(gdDown);
  RulerBox2->SetDotPerUnit(1);
  RulerBox2->SetFrequency(10);
  RulerBox2->SetLabelFreq(40);
  RulerBox2->SetHint(kRulerHint);
  RulerBox2->SetBounds(1000, 0, kRulerBreadth, 300);
  RulerBox2->SetAlign(alRight);
  RulerBox2->SetParent(this);

  imager1 = new timagerlayer(this);
  imager1->SetName("imager1");
  imager1->SetScrollBars(ssBoth);
  imager1->SetBackgroundStyle(imbsDiagonals);
  imager1->SetAutoUndo(false);
  imager1->SetAlign(alClient);
  // An arrow of a scroll bar moves the picture by a step one can see, not by one pixel.
  imager1->HorzScrollBar().LineStep = kScrollLineStep;
  imager1->VertScrollBar().LineStep = kScrollLineStep;
  imager1->SetParent(this);
  imager1->OnViewChange = [this](TObject* Sender, int32_t Change) { imager1ViewChange(Sender, Change); };
  imager1->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
    imager1MouseDown(Sender, Button, Shift, X, Y);
  };
  imager1->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int32_t X, int32_t Y) {
    imager1MouseMove(Sender, Shift, X, Y);
  };
  imager1->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
    imager1MouseUp(Sender, Button, Shift, X, Y);
  };
  imager1->SetOnProgress([this](TObject* Sender, int32_t Percent) { imager1Progress(Sender, Percent); });
#ifdef KV_BENCH_HOOKS
  // The start-up benchmark ends at the first picture on screen.
  imager1->OnPaint = [this](TObject*) {
    const TBitmap& b = imager1->Bitmap();
    if (b.Width() > 1 && b.Height() > 1) FirstPaintMark();
  };
#endif

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnActivate = [this](TObject* Sender) { FormActivate(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnResize = [this](TObject* Sender) { FormResize(Sender); };
  // Destruction refreshes the main window's menus and tools, as activation does.
  OnDestroy = [](TObject*) {
    if (form1) form1->updateall();
  };
  DoCreate();
}

Tchild::~Tchild() = default;

void Tchild::FormCreate(TObject*) {
  imager1->SetUndoLimit(StoredOr("maxundo", 1) + 1);
  imager1->SetUndoStorage(uint8_t(StoredOr("undomode", 2)));
  modified = false;
  refpoint = TPoint{-1, -1};
  HelpFile = "Kavrelin.hlp";
  inmousemove = false;
}

void Tchild::FormShow(TObject*) {
  imager1ViewChange(this, 1);
  const bool rulers = ToggleChecked("Lineal1");
  RulerBox1->SetVisible(rulers);
  RulerBox2->SetVisible(rulers);
  StatusBar1->SetVisible(ToggleChecked("Statusleiste1"));
  shapestarted = false;
  freehand = false;
  FRubberShown = false;
}

void Tchild::FormActivate(TObject*) {
  if (form1) form1->updateall();
}

void Tchild::FormClose(TObject*, TCloseAction& Action) { Action = caFree; }

void Tchild::FormResize(TObject*) { imager1->Update(); }

void Tchild::imager1Progress(TObject* Sender, int32_t Percent) {
  if (form1) form1->onprogressany(Sender, Percent);
}

bool Tchild::RunCommand(const std::string& Line) {
  if (OnCommand) return OnCommand(*this, Line);
  return form1 ? form1->interpreter(this, Line) : false;
}

// ---- view, rulers and status line ----

void Tchild::FitRuler(TRulerBox& Ruler, int32_t SizePixels, int32_t Offset, double Resolution) {
  const int32_t unit = StoredOr("Rulertyp", 0);
  const double user = UserUnit();
  const double z = imager1->Zoom() / 100;
  if (IsNearZero(z)) return;
  const double s = PixelsToUnit(unit, SizePixels, Resolution, SizePixels, user);
  if (!IsNearZero(s)) {
    Ruler.SetDotPerUnit(SizePixels / s * z);
    const double t = PixelsToUnit(unit, SizePixels, Resolution, 20, user);
    if (!IsNearZero(t)) Ruler.SetFrequency(t / z);  // a tick about every 20 screen pixels
    const double labels = double(Round(Ruler.Frequency() * 10000)) / 1000;
    if (!IsNearZero(labels)) Ruler.SetLabelFreq(labels);
  }
  Ruler.SetViewPos(PixelsToUnit(unit, SizePixels, Resolution, Offset, user) / z);
}

void Tchild::imager1ViewChange(TObject*, int32_t Change) {
  if (Change == 1 && drawingoptionsform) {
    const std::string text = IntToStr(Round(imager1->Zoom())) + " %";
    if (text != drawingoptionsform->ZoomText()) {
      drawingoptionsform->SetZoomText(text);
      drawingoptionsform->ZoomBoxChange(this);
    }
  }
  const TBitmap& bmp = imager1->Bitmap();
  FitRuler(*RulerBox1, bmp.Width(), imager1->ViewX(), imager1->DpiX());
  FitRuler(*RulerBox2, bmp.Height(), imager1->ViewY(), imager1->DpiY());
}

// ---- mouse ----

void Tchild::imager1MouseDown(TObject*, TMouseButton Button, TShiftState, int32_t X, int32_t Y) {
  const TDrawingOptions& o = CurrentDrawingOptions();
  const int32_t tool = CurrentDrawingTool();
  std::string line = "StartDrawing";
  line += WriteParamInt("ForeGround", o.Foreground);
  line += WriteParamInt("BackGround", o.Background);
  line += WriteParamInt("FillStyle", o.FillStyle);
  line += WriteParamInt("LineStyle", o.LineStyle);
  line += WriteParamInt("Linewidth", Round32(o.LineWidth));
  line += WriteParamInt("PenStyle", o.PenStyle);
  line += WriteParamInt("DrawingTool", tool);
  line += WriteParamInt("MouseX", imager1->XScr2Bmp(X));
  line += WriteParamInt("MouseY", imager1->YScr2Bmp(Y));
  line += WriteParamBool("RightMouseButton", Button == mbRight);
  if (tool == dtText) {
    line += WriteParamFont(o.TextFont);
    line += WriteParamStrings("Text", o.TextLines);
  } else if (tool == dtFloodfill) {
    line += WriteParamInt("Tolerance", Round32(o.Tolerance));
    line += WriteParamInt("Intensity", Round32(o.Intensity));
  } else if (tool == dtSelectMagic) {
    line += WriteParamInt("Tolerance", Round32(o.Tolerance * 2.55));  // percent to a 0..255 distance
  }
  FRubberShown = false;
  RunCommand(line);
}

TColor Tchild::BrushColor(int32_t X, int32_t Y) {
  TCanvas& c = imager1->Bitmap().Canvas();
  switch (drawingtool) {
    case dtCopypaint: return c.Pixel(X + refpoint.X - sourcepoint.X, Y + refpoint.Y - sourcepoint.Y);
    case dtRedEye: {
      const TColorRef p = ColorToRGB(c.Pixel(X, Y));
      return TColor(RGB(LowerRed(TColor(p)), GetGValue(p), GetBValue(p)));
    }
    default: return CurrentDrawingOptions().Foreground;
  }
}

void Tchild::imager1MouseMove(TObject*, TShiftState, int32_t X, int32_t Y) {
  if (inmousemove) return;
  inmousemove = true;
  struct TGuard {
    bool& Flag;
    ~TGuard() { Flag = false; }
  } guard{inmousemove};

  const int32_t bx = imager1->XScr2Bmp(X);
  const int32_t by = imager1->YScr2Bmp(Y);
  const TBitmap& bmp = imager1->Bitmap();
  const int32_t unit = StoredOr("Rulertyp", 0);
  const double user = UserUnit();
  RulerBox1->SetGripPos(0, PixelsToUnit(unit, bmp.Width(), imager1->DpiX(), bx, user));
  RulerBox2->SetGripPos(0, PixelsToUnit(unit, bmp.Height(), imager1->DpiY(), by, user));
  StatusBar1->SetSimpleText(ChildStatusText(bmp.Width(), bmp.Height(), bx, by, imager1->DpiX(), imager1->DpiY(), unit,
                                            StoredOr("Resolutiontyp", 0), user));
  if (!shapestarted) return;
  if (freehand) {
    drawwithpinsel(bx, by, penkind, BrushColor(bx, by));
    {
      // The dab is painted already: the line is only recorded, not run again.
      struct TQuiet {
        TQuiet() {
          if (form1) form1->Quiet = true;
        }
        ~TQuiet() {
          if (form1) form1->Quiet = false;
        }
      } quiet;
      RunCommand("Alreadydone Draw" + WriteParamInt("MouseX", bx) + WriteParamInt("MouseY", by));
    }
    imager1->UpdateBitmapRect(bx - 3, by - 3, bx + 3, by + 3);
    return;
  }
  if (FRubberShown) DrawShape(origin, lastpoint, pmNotXor);
  lastpoint = TPoint{bx, by};
  DrawShape(origin, lastpoint, pmNotXor);
  FRubberShown = true;
}

void Tchild::imager1MouseUp(TObject*, TMouseButton, TShiftState, int32_t X, int32_t Y) {
  if (shapestarted) {
    shapestarted = false;
    freehand = false;
    // The last rubber band goes before the final shape is drawn, wherever the button came up.
    if (FRubberShown) DrawShape(origin, lastpoint, pmNotXor);
    FRubberShown = false;
    RunCommand("DrawFinish" + WriteParamInt("OriginX", origin.X) + WriteParamInt("OriginY", origin.Y) +
               WriteParamInt("MouseX", imager1->XScr2Bmp(X)) + WriteParamInt("MouseY", imager1->YScr2Bmp(Y)));
  }
  if (form1) form1->updateall();
}

// ---- drawing primitives ----

void Tchild::DrawShape(TPoint Origin, TPoint Point, TPenMode Mode) {
  int32_t x1 = Origin.X, y1 = Origin.Y, x2 = Point.X, y2 = Point.Y;
  if (rightbutton) {
    // Equal sides: the shorter drag decides.
    if (int64_t(y2) - y1 < int64_t(x2) - x1) x2 = x1 + (y2 - y1);
    else y2 = y1 + (x2 - x1);
  }
  TCanvas& c = imager1->Bitmap().Canvas();
  c.Pen().SetMode(Mode);
  switch (drawingtool) {
    case dtLine:
      c.MoveTo(x1, y1);
      c.LineTo(x2, y2);
      break;
    case dtRectangle: c.Rectangle(x1, y1, x2, y2); break;
    case dtEllipse: c.Ellipse(x1, y1, x2, y2); break;
    case dtRoundRect: c.RoundRect(x1, y1, x2, y2, (x1 - x2) / 2, (y1 - y2) / 2); break;
    default: break;
  }
  imager1->UpdateRect(imager1->ClientRect());
}

void Tchild::drawwithpinsel(int32_t X, int32_t Y, int32_t, TColor Color) {
  // The brush grows ring by ring with the size: 1, 5, 9, 13 and 21 pixels.
  static const TPoint kRings[][8] = {
      {{1, 0}, {-1, 0}, {0, 1}, {0, -1}},
      {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}},
      {{2, 0}, {-2, 0}, {0, 2}, {0, -2}},
      {{2, 1}, {2, -1}, {-2, 1}, {-2, -1}, {1, 2}, {-1, 2}, {1, -2}, {-1, -2}},
  };
  static const int32_t kRingSize[] = {4, 4, 4, 8};
  const int32_t size = std::max(0, CurrentDrawingOptions().PenStyle);
  TCanvas& c = imager1->Bitmap().Canvas();
  c.SetPixel(X, Y, Color);
  for (int32_t ring = 0; ring < std::min(size, 4); ++ring)
    for (int32_t i = 0; i < kRingSize[ring]; ++i) {
      const int32_t px = X + kRings[ring][i].X, py = Y + kRings[ring][i].Y;
      switch (drawingtool) {
        case dtDraw: c.SetPixel(px, py, Color); break;
        case dtRedEye: {
          const TColorRef p = ColorToRGB(c.Pixel(px, py));
          c.SetPixel(px, py, TColor(RGB(LowerRed(TColor(p)), GetGValue(p), GetBValue(p))));
          break;
        }
        case dtCopypaint:
          c.SetPixel(px, py, c.Pixel(px + refpoint.X - sourcepoint.X, py + refpoint.Y - sourcepoint.Y));
          break;
        default: break;
      }
    }
}

void Tchild::FloodFill(TBitmap& Bitmap, int32_t X, int32_t Y, TColor Reference, TColor Fill, int32_t Tolerance,
                       int32_t Intensity) {
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  if (Bitmap.PixelFormat() != pf24bit || X < 0 || Y < 0 || X >= w || Y >= h) return;
  const double k = 1 - Intensity / 100.0;
  const double limit = Tolerance / 100.0 * 150;  // per channel
  const TColorRef ref = ColorToRGB(Reference), fill = ColorToRGB(Fill);
  // Memory order is blue, green, red.
  const int32_t refBgr[3] = {GetBValue(ref), GetGValue(ref), GetRValue(ref)};
  const double fillPart[3] = {(1 - k) * GetBValue(fill), (1 - k) * GetGValue(fill), (1 - k) * GetRValue(fill)};
  std::vector<uint8_t> marked(size_t(w) * size_t(h), 0);
  // The queue grows with the frontier; visited entries are dropped once they are half of it.
  std::vector<TPoint> queue;
  size_t head = 0;
  auto visit = [&](int32_t px, int32_t py) {
    static const int32_t kDx[4] = {1, -1, 0, 0}, kDy[4] = {0, 0, 1, -1};  // right, left, below, above
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t nx = px + kDx[i], ny = py + kDy[i];
      if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
      uint8_t& mark = marked[size_t(ny) * size_t(w) + size_t(nx)];
      if (mark) continue;
      uint8_t* p = static_cast<uint8_t*>(Bitmap.ScanLine(ny)) + size_t(nx) * 3;
      if (std::abs(p[0] - refBgr[0]) > limit || std::abs(p[1] - refBgr[1]) > limit || std::abs(p[2] - refBgr[2]) > limit)
        continue;
      for (int32_t c = 0; c < 3; ++c) p[c] = uint8_t(std::clamp<int64_t>(Round(k * p[c] + fillPart[c]), 0, 255));
      mark = 1;
      queue.push_back(TPoint{nx, ny});
    }
  };
  visit(X, Y);
  while (head < queue.size()) {
    const TPoint p = queue[head++];
    visit(p.X, p.Y);
    if (head > 4096 && head * 2 > queue.size()) {
      queue.erase(queue.begin(), queue.begin() + std::ptrdiff_t(head));
      head = 0;
    }
  }
}

// ---- closing ----

bool Tchild::myclose() {
  if (!modified) return true;
  CancelFlag = false;
  const TModalResult answer =
      MessageDlg(Format("Möchten Sie die Änderungen in der Datei %s speichern?", Caption()), mtConfirmation,
                 mbYesNoCancel, 0);
  if (answer == mrYes && form1) {
    // The save action works on the active window: make sure that is this one.
    if (form1->ActiveMDIChild() != this) BringToFront();
    form1->Speichern1Click(this);
  }
  if (answer == mrCancel || CancelFlag) {
    CancelFlag = true;
    return false;
  }
  return true;
}

void Tchild::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_CLOSE && !myclose()) return;
  TForm::Dispatch(Message);
}

}  // namespace kv

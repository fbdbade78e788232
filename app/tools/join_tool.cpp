#include "app/tools/join_tool.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/direction_frame.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/tools/tool_files.h"
#include "imaging/processing/rotate.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/ui/button.h"
#include "platform/ui/forms.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

Tchild* ImageWindow(Tform1& Main, int32_t Index) {
  int32_t n = 0;
  for (TCustomForm* f : Main.MDIChildrenInCreationOrder())
    if (auto* c = dynamic_cast<Tchild*>(f); c && c->imager1) {
      if (n == Index) return c;
      ++n;
    }
  return nullptr;
}

}  // namespace

Theftenform::Theftenform(TComponent* AOwner, Tform1& AMain) : TToolDialog(AOwner, "heftenform", "Heften"), FMain(AMain) {
  std::vector<std::string> captions;
  for (TCustomForm* f : AMain.MDIChildrenInCreationOrder())
    if (auto* c = dynamic_cast<Tchild*>(f); c && c->imager1) captions.push_back(c->Caption());
  WindowBox = AddCombo("Zu heftendes Bild", "WindowBox", captions, captions.empty() ? -1 : int32_t(captions.size()) - 1);
  KvSpinEdit1 = AddEdit("Transparenz im Überlappungsbereich", "KvSpinEdit1", "50");
  // Showing runs after the direction frame's store has put back its pressed
  // button, so the placement follows what was chosen last time.
  OnShow = [this](TObject*) {
    PrepareSecond();
    ApplyDirection();
    im->Fit();
  };
  directionframe1 = new Tdirectionframe(this);
  directionframe1->SetName("directionframe1");
  // The current picture on the left, the second on its right, for a new user.
  directionframe1->SetDefault(8);
  AddSized("Heft-Seite", directionframe1, 75, 75);
  KvSpinEdit2 = AddEdit("Geraderichten: Grad", "KvSpinEdit2", "0");
  AntialiasBox = AddCheck("Antialiasing", "AntialiasBox", true);
  im = new timagerlayer(this);
  im->SetParent(this);
  im->SetBounds(480, 10, 320, 240);
  // The mouse moves the second picture; the view's own gestures stay off.
  im->SetMouseInteract({});
  im->OnMouseDown = [this](TObject*, TMouseButton Button, TShiftState, int32_t X, int32_t Y) {
    if (Button == mbLeft) StartDrag(im->XScr2Bmp(X), im->YScr2Bmp(Y));
  };
  im->OnMouseMove = [this](TObject*, TShiftState, int32_t X, int32_t Y) { DragTo(im->XScr2Bmp(X), im->YScr2Bmp(Y)); };
  im->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { EndDrag(); };
  auto zoom = [this](const std::string& Caption, int32_t X, std::function<void()> Act) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetCaption(Caption);
    b->SetBounds(X, 260, 75, 25);
    b->OnClick = [Act](TObject*) { Act(); };
    return b;
  };
  ZoomOneButton = zoom("1:1", 480, [this] { im->SetZoom(100); });
  ZoomInButton = zoom("Größer", 560, [this] { im->SetZoom(im->Zoom() * 2); });
  ZoomOutButton = zoom("Kleiner", 640, [this] { im->SetZoom(std::max(im->Zoom() / 2, 1.0)); });
  ZoomFitButton = zoom("Fenster", 720, [this] { im->Fit(); });
  SetClientSize(820, std::max(ClientHeight(), 295));
  AddButtons("Ok", 0);
  WindowBox->OnChange = [this](TObject*) {
    PrepareSecond();
    ApplyDirection();
  };
  KvSpinEdit2->OnChange = [this](TObject*) {
    PrepareSecond();
    ApplyDirection();
  };
  AntialiasBox->OnClick = [this](TObject*) {
    PrepareSecond();
    ApplyDirection();
  };
  directionframe1->OnClick = [this](TObject*) { ApplyDirection(); };
  KvSpinEdit1->OnChange = [this](TObject*) { DrawPreview(); };
  PrepareSecond();
  ApplyDirection();
  im->Fit();
}

Theftenform::~Theftenform() = default;

void Theftenform::PrepareSecond() {
  timagerlayer* current = FMain.getimager();
  Tchild* chosen = ImageWindow(FMain, std::max(WindowBox->ItemIndex(), 0));
  // With one window the picture is joined with a copy of itself.
  const TBitmap* source = chosen ? &chosen->imager1->Bitmap() : current ? &current->Bitmap() : nullptr;
  FSecond = std::make_unique<TBitmap>();
  if (!source) return;
  FSecond->Assign(source);
  double angle = 0;
  TryStrToFloat(Trim(KvSpinEdit2->Text()), angle);
  if (Round32(angle) != 0)
    RotateBitmap(*FSecond, Round32(angle), AntialiasBox->Checked(), TColor(0), nullptr, nullptr);
}

void Theftenform::ApplyDirection() {
  timagerlayer* current = FMain.getimager();
  if (!current || !FSecond) return;
  const TBitmap& c = current->Bitmap();
  const int32_t mask = directionframe1->Direction();
  Placement = PlaceJoin(mask, c.Width(), c.Height(), FSecond->Width(), FSecond->Height());
  im->Bitmap().SetPixelFormat(pf24bit);
  im->Bitmap().SetSize(c.Width() + FSecond->Width(), c.Height() + FSecond->Height());
  DrawPreview();
}

void Theftenform::DrawPreview() {
  timagerlayer* current = FMain.getimager();
  if (!current || !FSecond) return;
  double weight = 50;
  TryStrToFloat(Trim(KvSpinEdit1->Text()), weight);
  DrawJoinPreview(im->Bitmap(), current->Bitmap(), *FSecond, Placement, std::clamp(weight, 0.0, 100.0));
  im->Update();
}

void Theftenform::StartDrag(int32_t X, int32_t Y) {
  FDragging = true;
  FDragDX = X - Placement.X1;
  FDragDY = Y - Placement.Y1;
}

void Theftenform::DragTo(int32_t X, int32_t Y) {
  if (!FDragging) return;
  Placement.X1 = X - FDragDX;
  Placement.Y1 = Y - FDragDY;
  DrawPreview();
}

void Theftenform::JoinedPicture(TBitmap& Out) const {
  timagerlayer* current = FMain.getimager();
  if (!current || !FSecond) return;
  const TBitmap& c = current->Bitmap();
  const TRect r = JoinUnion(im->Bitmap(), c.Width(), c.Height(), FSecond->Width(), FSecond->Height(), Placement);
  Out.SetPixelFormat(pf24bit);
  Out.SetSize(std::max(r.Width(), 0), std::max(r.Height(), 0));
  for (int32_t y = 0; y < Out.Height(); ++y)
    std::memcpy(Out.ScanLine(y), static_cast<const uint8_t*>(im->Bitmap().ScanLine(r.Top + y)) + size_t(r.Left) * 3,
                size_t(Out.Width()) * 3);
}

void ShowJoinDialog(Tform1& Form) {
  timagerlayer* current = Form.getimager();
  if (!current) return;
  auto dlg = std::make_unique<Theftenform>(nullptr, Form);
  if (dlg->ShowModal() != mrOk) return;
  TBitmap joined;
  dlg->JoinedPicture(joined);
  if (joined.Empty()) return;
  const int32_t dpi = current->IOParams().DpiX;
  Form.interpreter(&Form, "HIDDEN NEWIMAGE" + WriteParamInt("Width", joined.Width()) +
                              WriteParamInt("Height", joined.Height()) +
                              (dpi > 0 ? WriteParamInt("Resolution", dpi) : std::string()));
  timagerlayer& target = NewestImage(Form);
  target.Bitmap().TakeOver(joined);
  target.Update();
}

}  // namespace kv

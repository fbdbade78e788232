// The menu state: which actions, menus, bars and windows are enabled or
// visible, recomputed wholesale after every action and every command; and the
// drawing tool's effect on the image view.
#include <string>

#include "app/actions/main_actions.h"
#include "app/batch/batch_window.h"
#include "app/catalog/catalog_frame.h"
#include "app/catalog/catalog_menus.h"
#include "app/catalog/thumbnail_cache.h"
#include "app/catalog/catalog_window.h"
#include "app/child/drawing_options.h"
#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "components/speedbar/speed_bar.h"
#include "imaging/views/ruler_box.h"
#include "platform/rtl/strings.h"
#include "platform/system/clipboard_service.h"
#include "platform/ui/actions.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/menus.h"
#include "platform/ui/status_bar.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

// A view toggle of the menus, found by its name: Standardleiste1 (speed bar
// SpeedBar1), Objektleiste (imagespeedbar), Statusleiste1 (status bar of each
// image window), Lineal1 (rulers), BatchFenster1 (command history window).
const TMenuItem* Toggle(const Tform1& Form, const char* Name) {
  return dynamic_cast<const TMenuItem*>(Form.FindComponent(Name));
}
// A toggle that does not exist counts as checked, so image windows show
// everything (as they do when they are shown).
bool ToggleChecked(const Tform1& Form, const char* Name) {
  const TMenuItem* item = Toggle(Form, Name);
  return !item || item->Checked();
}

void EnableAction(const Tform1& Form, const char* Name, bool Value) {
  if (TAction* a = MainAction(Form, Name)) a->SetEnabled(Value);
}

// A top-level menu by its caption (accelerator signs ignored).
TMenuItem* TopMenu(const Tform1& Form, const std::string& Caption) {
  if (!Form.MainMenu1) return nullptr;
  return Form.MainMenu1->Items()->Find(Caption);
}

void ShowMenu(TMenuItem* Menu, bool Value) {
  if (Menu) Menu->SetVisible(Value);
}

bool NeedsImage(const TCustomAction& Action) {
  static const char* const categories[] = {"Bearbeiten", "Bild", "Colors", "Filter"};
  if (Action.Tag() == kDrawingToolTag) return true;
  for (const char* c : categories)
    if (SameText(Action.Category(), c)) return true;
  return false;
}

// The drawing-options window follows its action and shows the pages the
// current drawing tool uses.
void UpdateDrawingOptions(const Tform1& Form, timagerlayer* Imager) {
  TdrawingoptionsForm* d = drawingoptionsform;
  if (!d) return;
  const TAction* toggle = MainAction(Form, "zeichnenaction");
  d->SetVisible(toggle && toggle->Checked());
  const int32_t t = CheckedDrawingTool(Form);
  d->SetPageVisible(dpText, t == dtText);
  d->SetPageVisible(dpColor, t >= dtDraw);
  d->SetPageVisible(dpLine, t >= dtDraw);
  d->SetPageVisible(dpFill, t >= dtDraw || t == dtSelectMagic);
  d->SetPageVisible(dpBrush, t == dtDraw || t == dtCopypaint || t == dtRedEye);
  d->SetPageVisible(dpZoom, Imager != nullptr);
  d->SetSelectionZoomEnabled(Imager && Imager->SelectionExists());
}

}  // namespace

void Tform1::updateall() {
  if (SpeedBar1) SpeedBar1->SetVisible(ToggleChecked(*this, "Standardleiste1"));
  if (imagespeedbar) imagespeedbar->SetVisible(ToggleChecked(*this, "Objektleiste"));

  Tchild* child = getchild();
  timagerlayer* imager = getimager();
  const bool catalog = getcatalog() != nullptr;
  if (ActionList1)
    for (int32_t i = 0; i < ActionList1->ActionCount(); ++i) {
      TCustomAction* a = ActionList1->Actions(i);
      if (NeedsImage(*a))
        a->SetEnabled(child != nullptr);
      else if (SameText(a->Category(), "Catalog"))
        a->SetEnabled(catalog);
    }

  for (const char* name : {"SaveAsA", "Save", "Saveall", "Closeit", "Closeall", "SendDirect"})
    EnableAction(*this, name, imager || catalog);
  for (const char* name : {"Print", "printtiled", "printposter"}) EnableAction(*this, name, imager != nullptr);
  EnableAction(*this, "printcatalog", catalog);

  ShowMenu(TopMenu(*this, "&Bearbeiten"), imager != nullptr);
  ShowMenu(Farben1 ? Farben1 : TopMenu(*this, "&Farben"), imager != nullptr);
  ShowMenu(Bild1 ? Bild1 : TopMenu(*this, "&Bild"), imager != nullptr);
  ShowMenu(TopMenu(*this, "&Katalog"), catalog);

  EnableAction(*this, "Undocmd", imager && imager->CanUndo());
  EnableAction(*this, "RedoCmd", imager && imager->CanRedo());
  checkclipboard();
  UpdateDrawingOptions(*this, imager);
  // The history window is shown only on request: without its item it stays as it is.
  if (const TMenuItem* item = Toggle(*this, "BatchFenster1"); item && batchwindowform)
    batchwindowform->SetVisible(item->Checked());

  if (child) {
    if (child->StatusBar1) child->StatusBar1->SetVisible(ToggleChecked(*this, "Statusleiste1"));
    const bool rulers = ToggleChecked(*this, "Lineal1");
    if (child->RulerBox1) child->RulerBox1->SetVisible(rulers);
    if (child->RulerBox2) child->RulerBox2->SetVisible(rulers);
    Setmousepointer();
  }

  if (TFormcatalog* cat = getcatalog(); cat && Katalog2) {
    int32_t arrange = 0;
    bool horizontal = false;
    ReadArrangeMenu(*Katalog2, arrange, horizontal);
    SetStoredInt("CatalogArrange", arrange);
    SetStoredBool("CatalogArrHor", horizontal);
    cat->catalogframe1->SetArrangement(TCatalogArrangement(arrange), horizontal);
    cat->catalogframe1->Repaint();
  }
  tcache().SetImageSize(StoredInt("CatalogWidth"), StoredInt("CatalogHeight"));

  if (Digitalkamera1)
    for (int32_t i = 0; i < Digitalkamera1->Count(); ++i) {
      TMenuItem* item = Digitalkamera1->Items(i);
      if (item->Tag() == 2 || item->Tag() == 3) item->SetEnabled(child != nullptr);
    }

  if (ProgressBar1) ProgressBar1->SetPosition(0);
}

void Tform1::Setmousepointer() {
  timagerlayer* imager = getimager();
  if (!imager) return;
  imager->SetMouseInteract(TIMMouseInteract{});
  imager->SetCursor(crIMCross3);
  TIMMouseInteract mi;
  switch (CheckedDrawingTool(*this)) {
    case dtZoom:
      mi = TIMMouseInteract{miZoom};
      imager->MouseWheelParams().Action = 2;
      break;
    case dtHand:
      mi = TIMMouseInteract{miScroll};
      imager->MouseWheelParams().Action = 1;
      break;
    case dtSelectRect: mi = TIMMouseInteract{miSelect}; break;
    case dtSelectEllipse: mi = TIMMouseInteract{miSelectCircle}; break;
    case dtSelectPolygon: mi = TIMMouseInteract{miSelectPolygon}; break;
    case dtSelectMagic: mi = TIMMouseInteract{miSelectMagicWand}; break;
    default: break;  // the drawing tools leave the mouse to the image window
  }
  imager->SetMouseInteract(mi);
  imager->UpdateCursor();
}

void Tform1::checkclipboard() {
  EnableAction(*this, "NewClipboard", Clipboard().HasFormat(CF_DIB) || Clipboard().HasFormat(CF_BITMAP));
}

void Tform1::mousepointerclick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  item->SetChecked(true);
  if (auto* a = dynamic_cast<TAction*>(item->Action()); a && a->Tag() == kDrawingToolTag) {
    const std::vector<std::string>& names = DrawingToolActionNames();
    for (size_t i = 0; i < names.size(); ++i)
      if (TAction* t = MainAction(*this, names[i])) {
        t->SetChecked(t == a);
        if (t == a) drawingtool = uint8_t(i);
      }
  }
  Setmousepointer();
  updateall();
}

void Tform1::flipchecked(TObject* Sender) {
  if (auto* item = dynamic_cast<TMenuItem*>(Sender)) item->SetChecked(!item->Checked());
  updateall();
}

void Tform1::setchecked(TObject* Sender) {
  if (auto* item = dynamic_cast<TMenuItem*>(Sender)) item->SetChecked(item->Checked());
  updateall();
}

void Tform1::onzoomclick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  // The window's button of the same caption does the zooming.
  if (item && drawingoptionsform) drawingoptionsform->ZoomButtonClick(item->Caption());
}

}  // namespace kv

// Sections, items, their buttons, the drag image and the list cell painter.
#include <algorithm>

#include "components/draw_utils.h"
#include "components/speedbar/speed_bar.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {
// The part of a hint before (short) or after (long) its "|".
std::string ShortHint(const std::string& H) {
  const size_t p = H.find('|');
  return p == std::string::npos ? H : H.substr(0, p);
}
std::string LongHint(const std::string& H) {
  const size_t p = H.find('|');
  return p == std::string::npos ? std::string() : H.substr(p + 1);
}
}  // namespace

// ---- TSpeedbarButton ----

TSpeedbarButton::TSpeedbarButton(TComponent* AOwner) : TKvSpeedButton(AOwner) {
  FVisible = false;
  SetStyle(bsNew);
  SetParentFont(true);
  SetParentShowHint(true);
}

TSpeedbarButton::~TSpeedbarButton() { FDrag.reset(); }

void TSpeedbarButton::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (FItem && FItem->SpeedBar()) {
    TSpeedBar* bar = FItem->SpeedBar();
    if (bar->Orientation() == boHorizontal) ATop = std::max(ATop, bar->BtnOffsetVert());
    else ALeft = std::max(ALeft, bar->BtnOffsetHorz());
  }
  TKvSpeedButton::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TSpeedbarButton::ActionChange(TBasicAction* Sender, bool CheckDefaults) {
  const bool visible = Visible();
  TKvSpeedButton::ActionChange(Sender, CheckDefaults);
  SetVisible(visible);
}

void TSpeedbarButton::DrawGlyphAndCaption(TCanvas& Canvas, const TRect& R, bool DrawMark, SpeedButtonState State) {
  TSpeedBar* bar = FItem ? FItem->SpeedBar() : nullptr;
  if (bar && bar->Images() && FItem->ImageIndex() >= 0) {
    GlyphEngine().Draw(Canvas, R, TPoint{0, 0}, Caption(), Layout(), Margin(), Spacing(), DrawMark, State, 0,
                       bar->Images(), FItem->ImageIndex());
    return;
  }
  TKvSpeedButton::DrawGlyphAndCaption(Canvas, R, DrawMark, State);
}

void TSpeedbarButton::Paint() {
  // Opaque only while shown; a hidden button paints nothing.
  if (Visible()) FControlStyle.Include(csOpaque);
  else {
    FControlStyle.Exclude(csOpaque);
    return;
  }
  TKvSpeedButton::Paint();
}

void TSpeedbarButton::WndProc(TMessage& Message) {
  if (FItem && FItem->Editing() && FItem->SpeedBar() && Message.Msg >= WM_MOUSEFIRST &&
      Message.Msg <= WM_MOUSELAST && Message.Msg != WM_MOUSEWHEEL && Message.Msg != WM_MOUSEHWHEEL) {
    EditMouse(Message);
    return;
  }
  TKvSpeedButton::WndProc(Message);
}

// Customise mode: the button is dragged about the bar, or off it.
void TSpeedbarButton::EditMouse(TMessage& Message) {
  TSpeedBar* bar = FItem->SpeedBar();
  TWMMouse m(Message);
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (!FItem->Visible()) return;
      SetMouseCapture(true);
      const TPoint corner = ClientToScreen(TPoint{Width(), Height()});
      SetCursorPos(corner.X, corner.Y);
      FDrag = std::make_unique<TBtnControl>(nullptr);
      FDrag->AssignSpeedItem(FItem);
      return;
    }
    case WM_MOUSEMOVE: {
      if (!FDrag) return;
      const TPoint screen = ClientToScreen(m.Pos());
      const TPoint inBar = bar->ScreenToClient(screen);
      if (Visible()) Hide();
      const TRect cr = bar->ClientRect();
      if (inBar.X >= cr.Left && inBar.X < cr.Right && inBar.Y >= cr.Top && inBar.Y < cr.Bottom)
        FDrag->Activate(Bounds(screen.X - Width(), screen.Y - Height(), Width(), Height()));
      else
        FDrag->Hide();
      return;
    }
    case WM_LBUTTONUP: {
      if (!FDrag) return;
      SetMouseCapture(false);
      const TPoint screen = ClientToScreen(m.Pos());
      const TPoint size{FDrag->Width(), FDrag->Height()};
      FDrag.reset();
      const TPoint drop = bar->ScreenToClient(TPoint{screen.X - size.X, screen.Y - size.Y});
      const TRect cr = bar->ClientRect();
      const bool inside = drop.X >= cr.Left && drop.X < cr.Right && drop.Y >= cr.Top && drop.Y < cr.Bottom;
      bool shown = false;
      if (inside) {
        shown = bar->DropItemAt(FItem, drop.X, drop.Y);
      } else {
        FItem->SendToBack();
        FItem->SetVisible(false);
      }
      bar->NotifyEditWindow(shown ? SBR_BTNSELECT : SBR_CHANGED, shown ? static_cast<TObject*>(FItem) : bar);
      return;
    }
    default:
      return;
  }
}

// ---- TSpeedbarSection ----

TSpeedbarSection::TSpeedbarSection(TComponent* AOwner) : TComponent(AOwner) {}

TSpeedbarSection::~TSpeedbarSection() {
  Destroying();
  while (!FList.empty()) {
    TSpeedItem* it = FList.back();
    FList.pop_back();
    it->FSpeedBar = nullptr;
    it->FSection = -1;
    delete it;
  }
  if (FSpeedBar) {
    auto& l = FSpeedBar->FSections;
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
    FSpeedBar = nullptr;
  }
}

void TSpeedbarSection::SetCaption(const std::string& Value) {
  if (Value == FCaption) return;
  if (FSpeedBar && !ComponentState().Contains(csLoading) && FSpeedBar->SectionIndexOf(Value) >= 0)
    throw ESpeedbarError("In der Stringliste sind Duplikate nicht erlaubt");
  FCaption = Value;
}

int32_t TSpeedbarSection::Index() const {
  if (!FSpeedBar) return -1;
  const auto& l = FSpeedBar->FSections;
  return static_cast<int32_t>(std::find(l.begin(), l.end(), this) - l.begin());
}

void TSpeedbarSection::SetIndex(int32_t Value) {
  if (!FSpeedBar) return;
  auto& l = FSpeedBar->FSections;
  const int32_t cur = Index();
  Value = std::clamp(Value, 0, static_cast<int32_t>(l.size()) - 1);
  if (Value == cur) return;
  l.erase(l.begin() + cur);
  l.insert(l.begin() + Value, this);
  // The items follow their section's place.
  for (int32_t s = 0; s < static_cast<int32_t>(l.size()); ++s)
    for (TSpeedItem* it : l[size_t(s)]->FList) it->FSection = s;
}

TComponent* TSpeedbarSection::GetParentComponent() const { return FSpeedBar; }

const TPropertyTable& TSpeedbarSection::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TSpeedbarSection>(TComponent::PropertyTable(), [](auto& p) {
    p.String("Caption", &TSpeedbarSection::Caption, &TSpeedbarSection::SetCaption);
  });
  return table;
}

// ---- TSpeedItem ----

TSpeedItem::TSpeedItem(TComponent* AOwner) : TComponent(AOwner), FButton(new TSpeedbarButton(nullptr)) {
  FButton->FItem = this;
  FButton->SetSpacing(4);
  // The button always has this handler, so it would never run its action by
  // itself: the item's own handler wins, else the linked action runs.
  FButton->OnClick = [this](TObject* S) {
    if (OnClick) OnClick(S);
    else if (TBasicAction* a = FButton->Action()) a->Execute();
  };
  FButton->OnDblClick = [this](TObject* S) {
    if (OnDblClick) OnDblClick(S);
  };
  FButton->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int32_t X, int32_t Y) {
    if (OnMouseDown) OnMouseDown(S, B, Sh, X, Y);
  };
  FButton->OnMouseMove = [this](TObject* S, TShiftState Sh, int32_t X, int32_t Y) {
    if (OnMouseMove) OnMouseMove(S, Sh, X, Y);
  };
  FButton->OnMouseUp = [this](TObject* S, TMouseButton B, TShiftState Sh, int32_t X, int32_t Y) {
    if (OnMouseUp) OnMouseUp(S, B, Sh, X, Y);
  };
  FButton->OnMouseEnter = [this](TObject* S) {
    if (OnMouseEnter) OnMouseEnter(S);
  };
  FButton->OnMouseLeave = [this](TObject* S) {
    if (OnMouseLeave) OnMouseLeave(S);
  };
}

TSpeedItem::~TSpeedItem() {
  Destroying();
  if (FSpeedBar) {
    for (TSpeedbarSection* s : FSpeedBar->FSections) s->FList.erase(std::remove(s->FList.begin(), s->FList.end(), this), s->FList.end());
    FSpeedBar = nullptr;
  }
  FButton->FItem = nullptr;
  delete FButton;
}

void TSpeedItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
}

void TSpeedItem::SetEditing(bool Value) {
  FEditing = Value;
  if (Value) FButton->SetFlat(false);
  else if (FSpeedBar) FButton->SetFlat(FSpeedBar->Options().Contains(sbFlatBtns));
  UpdateButtonEnabled();
}

void TSpeedItem::UpdateButtonEnabled() {
  FButton->SetEnabled(FEditing || (FEnabled && (!FSpeedBar || FSpeedBar->Enabled())));
}

void TSpeedItem::UpdateButtonVisible() {
  const bool show = FVisible && FSpeedBar && FSpeedBar->Visible();
  if (show && FButton->Parent() != FSpeedBar) FButton->SetParent(FSpeedBar);
  FButton->SetVisible(show);
}

void TSpeedItem::SetVisible(bool Value) {
  if (Value == FVisible && (!Value || FButton->Visible())) return;
  FVisible = Value;
  UpdateButtonVisible();
}

void TSpeedItem::SetEnabled(bool Value) {
  FEnabled = Value;
  UpdateButtonEnabled();
}

void TSpeedItem::SetTag(intptr_t Value) {
  TComponent::SetTag(Value);
  FButton->SetTag(Value);
}

void TSpeedItem::SetImageIndex(int32_t Value) {
  if (Value == FImageIndex) return;
  FImageIndex = Value;
  FButton->GlyphEngine().Invalidate();
  FButton->Invalidate();
}

void TSpeedItem::SetSection(int32_t Value) {
  if (FSpeedBar) FSpeedBar->PlaceItem(Value, this);
  else FSection = Value;
}

void TSpeedItem::SetParentComponent(TComponent* Value) {
  auto* bar = dynamic_cast<TSpeedBar*>(Value);
  if (!bar) return;
  int32_t index = std::max(FSection, 0);
  if (!FSectionName.empty()) index = std::max(bar->SectionIndexOf(FSectionName), 0);
  FSection = -1;
  bar->PlaceItem(index, this);
}

void TSpeedItem::SetCaption(const std::string& Value) {
  const std::string old = FCaption;
  FCaption = Value;
  auto* ownerControl = dynamic_cast<TControl*>(Owner());
  const bool ownerReady = !ownerControl || !ownerControl->ComponentState().Contains(csLoading);
  const std::string hint = Hint();
  if (!ownerReady || old != ShortHint(hint)) return;
  // The hint follows the caption.
  const size_t bar = Value.find('|');
  if (bar != std::string::npos) {
    if (!LongHint(Value).empty()) SetHint(Value);
    else SetHint(ShortHint(Value) + "|" + LongHint(hint));
  } else if (hint.find('|') != std::string::npos) {
    SetHint(Value + "|" + LongHint(hint));
  } else {
    SetHint(Value + "|");
  }
}

void TSpeedItem::SetName(const std::string& Value) {
  const std::string old = Name();
  TComponent::SetName(Value);
  if (FCaption == old) SetCaption(Value);
}

const TPropertyTable& TSpeedItem::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TSpeedItem>(TComponent::PropertyTable(), [](auto& p) {
    p.Object("Action", &TSpeedItem::Action, &TSpeedItem::SetAction);
    p.Bool("AllowAllUp", &TSpeedItem::AllowAllUp, &TSpeedItem::SetAllowAllUp);
    p.Bool("AllowTimer", &TSpeedItem::AllowTimer, &TSpeedItem::SetAllowTimer);
    p.String("BtnCaption", &TSpeedItem::BtnCaption, &TSpeedItem::SetBtnCaption);
    p.String("Caption", &TSpeedItem::Caption, &TSpeedItem::SetCaption);
    p.Integer("GroupIndex", &TSpeedItem::GroupIndex, &TSpeedItem::SetGroupIndex);
    p.Bool("Down", &TSpeedItem::Down, &TSpeedItem::SetDown);
    p.Object("DropDownMenu", &TSpeedItem::DropDownMenu, &TSpeedItem::SetDropDownMenu);
    p.Bool("Enabled", &TSpeedItem::Enabled, &TSpeedItem::SetEnabled);
    p.Object("Font", &TSpeedItem::Font, &TSpeedItem::SetFont);
    p.Integer("Cursor", &TSpeedItem::Cursor, &TSpeedItem::SetCursor);
    p.Object("Glyph", &TSpeedItem::Glyph, &TSpeedItem::SetGlyph);
    p.String("Hint", &TSpeedItem::Hint, &TSpeedItem::SetHint);
    p.Integer("ImageIndex", &TSpeedItem::ImageIndex, &TSpeedItem::SetImageIndex);
    p.Enum("Layout", &TSpeedItem::Layout, &TSpeedItem::SetLayout,
           {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"});
    p.Integer("Margin", &TSpeedItem::Margin, &TSpeedItem::SetMargin);
    p.Bool("MarkDropDown", &TSpeedItem::MarkDropDown, &TSpeedItem::SetMarkDropDown);
    p.Integer("NumGlyphs", &TSpeedItem::NumGlyphs, &TSpeedItem::SetNumGlyphs);
    p.Bool("ParentShowHint", &TSpeedItem::ParentShowHint, &TSpeedItem::SetParentShowHint);
    p.Bool("ParentFont", &TSpeedItem::ParentFont, &TSpeedItem::SetParentFont);
    p.Bool("ShowHint", &TSpeedItem::ShowHint, &TSpeedItem::SetShowHint);
    p.Integer("Spacing", &TSpeedItem::Spacing, &TSpeedItem::SetSpacing);
    p.Bool("Stored", &TSpeedItem::Stored, &TSpeedItem::SetStored);
    p.Integer("Tag", &TSpeedItem::Tag, &TSpeedItem::SetTag);
    p.Integer("Left", &TSpeedItem::Left, &TSpeedItem::SetLeft);
    p.Integer("Top", &TSpeedItem::Top, &TSpeedItem::SetTop);
    p.Bool("Visible", &TSpeedItem::Visible, &TSpeedItem::SetVisible);
    p.Bool("WordWrap", &TSpeedItem::WordWrap, &TSpeedItem::SetWordWrap);
    p.Integer("Section", &TSpeedItem::Section, &TSpeedItem::SetSection);
    p.String("SectionName", &TSpeedItem::SectionName, &TSpeedItem::SetSectionName);
    p.Method("OnClick").Method("OnDblClick").Method("OnMouseDown").Method("OnMouseMove").Method("OnMouseUp");
    p.Method("OnMouseEnter").Method("OnMouseLeave");
  });
  return table;
}

// ---- drag image and list cells ----

TBtnControl::TBtnControl(TComponent* AOwner) : TCustomForm(AOwner) {
  SetBorderStyle(bsNone);
  SetFormStyle(fsStayOnTop);
  SetCursor(crDragHand);
  SetNoActivate(true);
  FVisible = false;
}

void TBtnControl::AssignSpeedItem(TSpeedItem* Item) {
  TSpeedBar* bar = Item->SpeedBar();
  SetBounds(Left(), Top(), bar ? bar->BtnWidth() : Item->Button()->Width(),
            bar ? bar->BtnHeight() : Item->Button()->Height());
  FImage.SetImageSize(TPoint{Width(), Height()});
  FImage.SetCaption(Item->BtnCaption());
  FImage.SetGlyph(Item->Glyph());
  FImage.SetNumGlyphs(Item->NumGlyphs());
  FImages = bar ? bar->Images() : nullptr;
  FImageIndex = Item->ImageIndex();
  FLayout = Item->Layout();
  FSpacing = Item->Spacing();
  FMargin = Item->Margin();
  FImage.SetWordWrap(Item->WordWrap());
  if (bar) Font().Assign(bar->Font());
}

void TBtnControl::Activate(const TRect& R) {
  SetBounds(R.Left, R.Top, R.Width(), R.Height());
  if (!Visible()) Show();
}

void TBtnControl::Paint() {
  FImage.DrawButtonImage(Canvas(), 0, 0, 0, FImageIndex, FImages, &Font(), FLayout, FSpacing, FMargin);
}

void PaintItemCell(TCanvas& Canvas, const TRect& Cell, TSpeedItem* Item, int32_t /*Row*/, TButtonImage& Painter) {
  if (!Item) return;
  TSpeedBar* bar = Item->SpeedBar();
  const int32_t bw = bar ? bar->BtnWidth() : 24, bh = bar ? bar->BtnHeight() : 23;
  Painter.SetImageSize(TPoint{bw, bh});
  Painter.SetCaption(Item->BtnCaption());
  Painter.SetWordWrap(Item->WordWrap());
  const TCustomImageList* images = bar && Item->ImageIndex() >= 0 ? bar->Images() : nullptr;
  if (!images) {
    Painter.SetGlyph(Item->Glyph());
    Painter.SetNumGlyphs(Item->NumGlyphs());
  }
  TFont* font = bar ? &bar->Font() : nullptr;
  Painter.DrawButtonImage(Canvas, Cell.Left + 1, Cell.Top + 1, 0, Item->ImageIndex(), images, font, Item->Layout(),
                          Item->Spacing(), Item->Margin());
  TRect text = Cell;
  text.Left += bw + 3;
  PaintCellText(Canvas, text, Item->Caption(), taLeftJustify, tlCenter);
}

}  // namespace kv

// The speed bar: sections and items, button settings, grid, orientation, painting.
#include "components/speedbar/speed_bar.h"

#include <algorithm>
#include <utility>

#include "components/draw_utils.h"
#include "components/speedbar/setup_window.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/find_control.h"
#include "platform/ui/forms.h"

namespace kv {

TSpeedBar::TSpeedBar(TComponent* AOwner) : TCustomPanel(AOwner) {
  FShowHint = true;
  FParentShowHint = false;
  FOffset = TPoint{BorderSize(), BorderSize()};
  FAlign = alTop;
  ApplyMenuFont();
  UpdateGridSize();
  FHeight = 2 * FOffset.Y + FButtonSize.Y;
  FIniLink.OnSave = [this](TObject*) { StoreLayout(); };
  FIniLink.OnLoad = [this](TObject*) { LoadLayout(); };
  FImageChangeLink.OnChange = [this](TObject*) {
    ForEachButton([](TSpeedItem* I) {
      I->Button()->GlyphEngine().Invalidate();
      I->Button()->Invalidate();
    });
  };
}

TSpeedBar::~TSpeedBar() {
  Destroying();
  OnApplyAlign = nullptr;
  OnCustomize = nullptr;
  OnPosChanged = nullptr;
  OnVisibleChanged = nullptr;
  FIniLink.OnSave = nullptr;
  FIniLink.OnLoad = nullptr;
  FIniLink.SetStorage(nullptr);
  if (FImages) FImages->UnRegisterChanges(&FImageChangeLink);
  NotifyEditWindow(SBR_DESTROYED, this);
  FEditWin = nullptr;
  while (!FSections.empty()) {
    TSpeedbarSection* s = FSections.back();
    FSections.pop_back();
    s->FSpeedBar = nullptr;
    // Items first, while the bar still exists for their buttons to leave it.
    for (TSpeedItem* it : s->FList) {
      it->FSpeedBar = nullptr;
      it->FSection = -1;
      delete it;
    }
    s->FList.clear();
    delete s;
  }
}

int32_t TSpeedBar::BorderSize() const {
  int32_t r = FOptions.Contains(sbFlatBtns) ? 0 : 2;
  r += BorderWidth();
  if (FBevelOuter != bvNone) r += FBevelWidth;
  if (FBevelInner != bvNone) r += FBevelWidth;
  return r;
}

void TSpeedBar::ApplyMenuFont() {
  TFont f;
  f.Assign(Font());
  if (Screen && Screen->MenuFont(f)) {
    f.SetCharset(1);  // DEFAULT_CHARSET
    Font().Assign(f);
    return;
  }
  // Without a desktop to ask: the classic menu font.
  f.SetName("MS Sans Serif");
  f.SetSize(8);
  f.SetStyle(TFontStyles{});
  f.SetColor(clBtnText);
  Font().Assign(f);
}

// ---- sections and items ----

int32_t TSpeedBar::AddSectionNamed(const std::string& Caption) {
  auto* s = new TSpeedbarSection(Owner() ? Owner() : this);
  s->FCaption = Caption;
  return AttachSection(s);
}

int32_t TSpeedBar::AttachSection(TSpeedbarSection* Section) {
  const std::string base = Section->FCaption;
  for (int32_t n = 1; SectionIndexOf(Section->FCaption) >= 0; ++n) Section->FCaption = Format("%s (%d)", base, n);
  Section->FSpeedBar = this;
  FSections.push_back(Section);
  const int32_t index = static_cast<int32_t>(FSections.size()) - 1;
  for (TSpeedItem* it : Section->FList) {
    it->FSection = index;
    ApplyButtonSettings(it, false);
  }
  return index;
}

TSpeedItem* TSpeedBar::NewItem(TComponent* AOwner, int32_t Section, const std::string& AName) {
  if (Section < 0 || Section >= SectionCount()) return nullptr;
  auto* item = new TSpeedItem(AOwner);
  FSections[size_t(Section)]->FList.push_back(item);
  item->FSection = Section;
  ApplyButtonSettings(item, true);
  if (!AName.empty()) {
    item->SetName(AName);
    item->SetCaption(AName);
    item->Button()->Hide();
    item->Button()->SetParent(this);
  }
  return item;
}

TSpeedItem* TSpeedBar::ItemAt(int32_t Section, int32_t Index) const {
  if (Section < 0 || Section >= SectionCount()) return nullptr;
  const auto& l = FSections[size_t(Section)]->FList;
  if (Index < 0 || Index >= static_cast<int32_t>(l.size())) return nullptr;
  return l[size_t(Index)];
}

int32_t TSpeedBar::ItemCountOf(int32_t Section) const {
  if (Section < 0 || Section >= SectionCount()) return 0;
  return FSections[size_t(Section)]->Count();
}

TSpeedbarSection* TSpeedBar::Sections(int32_t Index) const {
  if (Index < 0 || Index >= SectionCount()) return nullptr;
  return FSections[size_t(Index)];
}

TSpeedItem* TSpeedBar::FindItemByName(const std::string& Name) const {
  for (TSpeedbarSection* s : FSections)
    for (TSpeedItem* it : s->FList)
      if (SameText(it->Name(), Name)) return it;
  return nullptr;
}

int32_t TSpeedBar::SectionIndexOf(const std::string& Caption) const {
  for (size_t i = 0; i < FSections.size(); ++i)
    if (FSections[i]->FCaption == Caption) return static_cast<int32_t>(i);
  return -1;
}

void TSpeedBar::PlaceItem(int32_t Section, TSpeedItem* Item) {
  if (!Item) return;
  if (Item->FSpeedBar == this && Item->FSection >= 0) {
    if (Section < 0) return;
    Section = std::min(Section, SectionCount() - 1);
    if (Section == Item->FSection) return;
    auto& from = FSections[size_t(Item->FSection)]->FList;
    from.erase(std::remove(from.begin(), from.end(), Item), from.end());
    FSections[size_t(Section)]->FList.push_back(Item);
    Item->FSection = Section;
    return;
  }
  if (Section < 0) return;
  if (FSections.empty()) AddSectionNamed("");
  Section = std::min(Section, SectionCount() - 1);
  FSections[size_t(Section)]->FList.push_back(Item);
  Item->FSection = Section;
  ApplyButtonSettings(Item, !ComponentState().Contains(csLoading));
  Item->Button()->Hide();
  Item->Button()->SetParent(this);
}

void TSpeedBar::DetachItem(TSpeedItem* Item) {
  if (!Item || Item->FSpeedBar != this) return;
  for (TSpeedbarSection* s : FSections) s->FList.erase(std::remove(s->FList.begin(), s->FList.end(), Item), s->FList.end());
  Item->Button()->SetParent(nullptr);
  Item->FSpeedBar = nullptr;
  Item->FSection = -1;
}

void TSpeedBar::FreeSection(int32_t Index) {
  if (Index < 0 || Index >= SectionCount()) return;
  delete FSections[size_t(Index)];  // frees its items and leaves the list
  for (int32_t s = Index; s < SectionCount(); ++s)
    for (TSpeedItem* it : FSections[size_t(s)]->FList) it->FSection = s;
}

void TSpeedBar::DetachSection(int32_t Index) {
  if (Index < 0 || Index >= SectionCount()) return;
  TSpeedbarSection* s = FSections[size_t(Index)];
  for (TSpeedItem* it : s->FList) {
    it->Button()->SetParent(nullptr);
    it->FSpeedBar = nullptr;
    it->FSection = -1;
  }
  s->FList.clear();
  FSections.erase(FSections.begin() + Index);
  s->FSpeedBar = nullptr;
  for (int32_t i = Index; i < SectionCount(); ++i)
    for (TSpeedItem* it : FSections[size_t(i)]->FList) it->FSection = i;
}

void TSpeedBar::VisitItems(const TItemProc& Proc, void* Data) {
  for (size_t s = 0; s < FSections.size(); ++s) {
    const std::vector<TSpeedItem*> items = FSections[s]->FList;  // a visitor may rearrange
    for (TSpeedItem* it : items) Proc(it, Data);
  }
}

void TSpeedBar::ForEachButton(const std::function<void(TSpeedItem*)>& Fn) const {
  for (TSpeedbarSection* s : FSections)
    for (TSpeedItem* it : s->FList) Fn(it);
}

void TSpeedBar::ApplyButtonSettings(TSpeedItem* Item, bool WithBounds) {
  Item->FSpeedBar = this;
  TSpeedbarButton* b = Item->Button();
  if (WithBounds) b->SetBounds(0, 0, FButtonSize.X, FButtonSize.Y);
  b->SetStyle(bsNew);
  b->SetFlat(FOptions.Contains(sbFlatBtns) && !Item->Editing());
  b->SetTransparent(FOptions.Contains(sbTransparentBtns));
  b->SetGrayedInactive(FOptions.Contains(sbGrayedBtns));
  Item->FEditing = FEditWin != nullptr;
  Item->UpdateButtonEnabled();
  if (Item->FEditing) b->SetFlat(false);
}

// ---- settings ----

void TSpeedBar::SetBoundLines(TBoundLines Value) {
  if (Value == FBoundLines) return;
  FBoundLines = Value;
  Realign();
  Invalidate();
}

void TSpeedBar::SetPosition(TBarPosition Value) {
  if (Value == FPosition) return;
  if (Value == bpAuto && (FAlign == alNone || FAlign == alClient))
    throw ESpeedbarError("Cannot set this property value while Position is bpAuto");
  FPosition = Value;
  if (Value == bpAuto) SetOrientation(Orientation());
}

void TSpeedBar::SetAlign(TAlign Value) {
  if (Value == FAlign) return;
  const bool reading = ComponentState().Contains(csLoading);
  if (FPosition == bpAuto && (Value == alNone || Value == alClient)) {
    if (Value == alNone && reading) FLegacyNone = true;
    throw ESpeedbarError("Cannot set this property value while Position is bpAuto");
  }
  const int32_t w = Width(), h = Height();
  TControl::SetAlign(Value);
  if (reading) SetBounds(Left(), Top(), w, h);
  if (FPosition == bpAuto) {
    if (Value == alTop || Value == alBottom) SetOrientation(boHorizontal);
    else if (Value == alLeft || Value == alRight) SetOrientation(boVertical);
  }
}

void TSpeedBar::SetOptions(TSpeedbarOptions Value) {
  if (Value == FOptions) return;
  const int32_t oldBorder = BorderSize();
  FOptions = Value;
  ForEachButton([this](TSpeedItem* I) { ApplyButtonSettings(I, false); });
  if (BorderSize() != oldBorder && !ComponentState().Contains(csLoading)) {
    // The margins follow the border when they were at it.
    if (FOffset.X == oldBorder) SetBtnOffsetHorz(BorderSize());
    if (FOffset.Y == oldBorder) SetBtnOffsetVert(BorderSize());
  }
  Invalidate();
}

void TSpeedBar::OffsetButtons(int32_t Dx, int32_t Dy) {
  if (Dx == 0 && Dy == 0) return;
  ForEachButton([Dx, Dy](TSpeedItem* I) {
    TSpeedbarButton* b = I->Button();
    b->TKvSpeedButton::SetBounds(b->Left() + Dx, b->Top() + Dy, b->Width(), b->Height());
  });
}

void TSpeedBar::SetBtnOffsetHorz(int32_t Value) {
  Value = std::max(Value, BorderSize());
  const int32_t d = Value - FOffset.X;
  FOffset.X = Value;
  FExplicit |= 1;
  OffsetButtons(d, 0);
}

void TSpeedBar::SetBtnOffsetVert(int32_t Value) {
  Value = std::max(Value, BorderSize());
  const int32_t d = Value - FOffset.Y;
  FOffset.Y = Value;
  FExplicit |= 2;
  OffsetButtons(0, d);
}

void TSpeedBar::SetBtnWidth(int32_t Value) {
  Value = std::max(Value, 1);
  FButtonSize.X = Value;
  FExplicit |= 4;
  UpdateGridSize();
  if (!ComponentState().Contains(csLoading)) {
    if (Orientation() == boVertical) SetClientWidth(std::max(ClientWidth(), 2 * FOffset.X + FButtonSize.X));
    ForEachButton([this](TSpeedItem* I) { I->Button()->SetBounds(I->Left(), I->Top(), FButtonSize.X, FButtonSize.Y); });
  }
  NotifyEditWindow(SBR_BTNSIZECHANGED, this);
}

void TSpeedBar::SetBtnHeight(int32_t Value) {
  Value = std::max(Value, 1);
  FButtonSize.Y = Value;
  FExplicit |= 8;
  UpdateGridSize();
  if (!ComponentState().Contains(csLoading)) {
    if (Orientation() == boHorizontal) SetClientHeight(std::max(ClientHeight(), 2 * FOffset.Y + FButtonSize.Y));
    ForEachButton([this](TSpeedItem* I) { I->Button()->SetBounds(I->Left(), I->Top(), FButtonSize.X, FButtonSize.Y); });
  }
  NotifyEditWindow(SBR_BTNSIZECHANGED, this);
}

void TSpeedBar::SetIniStorage(TFormPlacement* Value) { FIniLink.SetStorage(Value); }

void TSpeedBar::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  if (FImages) {
    FImages->UnRegisterChanges(&FImageChangeLink);
    FImages->RemoveFreeNotification(this);
  }
  FImages = Value;
  if (Value) {
    Value->RegisterChanges(&FImageChangeLink);
    Value->FreeNotification(this);
  }
  FImageChangeLink.Change();
}

void TSpeedBar::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomPanel::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FImages) {
    FImages = nullptr;
    FImageChangeLink.SetSender(nullptr);
  }
  if (AComponent == FEditWin) FEditWin = nullptr;
}

// ---- grid and orientation ----

void TSpeedBar::UpdateGridSize() {
  const bool horz = Orientation() == boHorizontal;
  const int32_t a = horz ? FButtonSize.X : FButtonSize.Y;
  int32_t step = std::max(1, std::min(8, a / 3));
  while (a % step != 0) ++step;
  if (step == a && a > 1) {
    --step;
    while (step > 1 && a % step != 0) --step;
  }
  if (horz) FGridSize = TPoint{step, FButtonSize.Y};
  else FGridSize = TPoint{FButtonSize.X, step};
}

TBarOrientation TSpeedBar::Orientation() const {
  if (FPosition == bpCustom) return FOrientation;
  switch (FAlign) {
    case alTop:
    case alBottom: return boHorizontal;
    case alLeft:
    case alRight: return boVertical;
    default: return FOrientation;
  }
}

void TSpeedBar::SetOrientation(TBarOrientation Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  if (ComponentState().Contains(csLoading)) return;
  FInOrientation = true;  // no painting halfway through
  std::swap(FButtonSize.X, FButtonSize.Y);
  std::swap(FGridSize.X, FGridSize.Y);
  std::swap(FOffset.X, FOffset.Y);
  // A row of buttons becomes a column: each button's place turns with the bar.
  ForEachButton([this](TSpeedItem* I) {
    TSpeedbarButton* b = I->Button();
    b->TKvSpeedButton::SetBounds(b->Top(), b->Left(), FButtonSize.X, FButtonSize.Y);
  });
  FInOrientation = false;
  Invalidate();
  NotifyEditWindow(SBR_BTNSIZECHANGED, this);
}

void TSpeedBar::SnapItem(TSpeedItem* Item) {
  TSpeedbarButton* b = Item->Button();
  int32_t l = b->Left(), t = b->Top();
  if (Orientation() == boHorizontal) {
    l = static_cast<int32_t>(Round(double(l - FOffset.X) / FGridSize.X)) * FGridSize.X + FOffset.X;
    t = (t - FOffset.Y) / FGridSize.Y * FGridSize.Y + FOffset.Y;
  } else {
    t = static_cast<int32_t>(Round(double(t - FOffset.Y) / FGridSize.Y)) * FGridSize.Y + FOffset.Y;
    l = (l - FOffset.X) / FGridSize.X * FGridSize.X + FOffset.X;
  }
  b->SetBounds(l, t, FButtonSize.X, FButtonSize.Y);
}

bool TSpeedBar::DropItemAt(TSpeedItem* Item, int32_t X, int32_t Y) {
  if (!Item) return false;
  if (Item->FSpeedBar != this) PlaceItem(0, Item);
  Item->Button()->TKvSpeedButton::SetBounds(X, Y, FButtonSize.X, FButtonSize.Y);
  SnapItem(Item);
  const TRect cr = ClientRect();
  const bool inside = Item->Left() >= cr.Left && Item->Left() < cr.Right && Item->Top() >= cr.Top && Item->Top() < cr.Bottom;
  if (inside) {
    Item->SetVisible(true);
    Item->BringToFront();
  } else {
    Item->SendToBack();
    Item->SetVisible(false);
  }
  return inside;
}

void TSpeedBar::ChangeScale(int32_t M, int32_t D) {
  if (M == D || D == 0) return;
  const bool reading = ComponentState().Contains(csLoading);
  auto scale = [M, D](int32_t V) { return static_cast<int32_t>(int64_t(V) * M / D); };
  if (!FControlStyle.Contains(csFixedWidth) && (!reading || (FExplicit & 4))) FButtonSize.X = scale(FButtonSize.X);
  if (!FControlStyle.Contains(csFixedHeight) && (!reading || (FExplicit & 8))) FButtonSize.Y = scale(FButtonSize.Y);
  if (!reading || (FExplicit & 1)) FOffset.X = scale(FOffset.X);
  if (!reading || (FExplicit & 2)) FOffset.Y = scale(FOffset.Y);
  UpdateGridSize();
  SetBounds(scale(Left()), scale(Top()), scale(Width()), scale(Height()));
  ForEachButton([this, &scale](TSpeedItem* I) {
    TSpeedbarButton* b = I->Button();
    b->TKvSpeedButton::SetBounds(scale(b->Left()), scale(b->Top()), FButtonSize.X, FButtonSize.Y);
    if (I->Visible()) SnapItem(I);
  });
  FExplicit = 0;
}

// ---- customise mode ----

void TSpeedBar::Customize(int32_t HelpContext) { TSpeedbarSetupWindow::OpenSetupFor(this, HelpContext); }

void TSpeedBar::SetEditing(TWinControl* Window) {
  const bool was = FEditWin != nullptr;
  if (FEditWin) FEditWin->RemoveFreeNotification(this);
  FEditWin = Window;
  if (Window) Window->FreeNotification(this);
  ForEachButton([this](TSpeedItem* I) { I->SetEditing(FEditWin != nullptr); });
  if (was && !Window && !ComponentState().Contains(csDesigning)) CustomizeEnd();
}

void TSpeedBar::CustomizeEnd() {
  if (OnCustomize) OnCustomize(this);
}

void TSpeedBar::NotifyEditWindow(int32_t Code, TObject* Sender) {
  if (FEditWin) FEditWin->Perform(CM_SPEEDBARCHANGED, static_cast<WPARAM>(Code), reinterpret_cast<LPARAM>(Sender));
}

void TSpeedBar::AlignmentChanged() {
  if (OnPosChanged) OnPosChanged(this);
}

// ---- painting and alignment ----

TRect TSpeedBar::AdjustClientRect() const {
  TRect r = TCustomPanel::AdjustClientRect();
  if (FBoundLines.Contains(blTop)) r.Top += 2;
  if (FBoundLines.Contains(blBottom)) r.Bottom -= 2;
  if (FBoundLines.Contains(blLeft)) r.Left += 2;
  if (FBoundLines.Contains(blRight)) r.Right -= 2;
  return r;
}

void TSpeedBar::AlignControls(TControl* AControl, TRect& Rect) {
  TCustomPanel::AlignControls(AControl, Rect);
  if (ComponentState().Contains(csLoading)) return;
  const int32_t b = BorderSize();
  if (FOffset.X < b) OffsetButtons(b - std::exchange(FOffset.X, b), 0);
  if (FOffset.Y < b) OffsetButtons(0, b - std::exchange(FOffset.Y, b));
}

void TSpeedBar::SetWallpaper(const TPicture* Value) {
  FWallpaper.Assign(Value);
  Invalidate();
}

void TSpeedBar::Paint() {
  if (FInOrientation) return;
  TCustomPanel::Paint();
  TCanvas& c = Canvas();
  const int32_t bs = BorderSize() - (FOptions.Contains(sbFlatBtns) ? 0 : 2);
  const TRect inner = Rect(bs, bs, ClientWidth() - bs, ClientHeight() - bs);
  if (TGraphic* g = FWallpaper.Graphic(); g && !g->Empty() && inner.Width() > 0 && inner.Height() > 0) {
    const TBitmap& pic = FWallpaper.Bitmap();
    const TRect oldClip = c.ClipRect();
    c.SetClipRect(inner);
    if (FOptions.Contains(sbStretchBitmap)) {
      c.StretchDraw(inner, pic);
    } else {
      for (int32_t y = inner.Top; y < inner.Bottom; y += pic.Height())
        for (int32_t x = inner.Left; x < inner.Right; x += pic.Width()) c.Draw(x, y, pic);
    }
    c.SetClipRect(oldClip);
  }
  const int32_t w = ClientWidth(), h = ClientHeight();
  auto line = [&c](int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TColor Color) {
    c.Pen().SetColor(Color);
    c.Pen().SetWidth(1);
    c.MoveTo(X1, Y1);
    c.LineTo(X2, Y2);
  };
  if (FBoundLines.Contains(blTop)) {
    line(0, 0, w, 0, clBtnShadow);
    line(0, 1, w, 1, clBtnHighlight);
  }
  if (FBoundLines.Contains(blBottom)) {
    line(0, h - 2, w, h - 2, clBtnShadow);
    line(0, h - 1, w, h - 1, clBtnHighlight);
  }
  if (FBoundLines.Contains(blLeft)) {
    line(0, 0, 0, h, clBtnShadow);
    line(1, 0, 1, h, clBtnHighlight);
  }
  if (FBoundLines.Contains(blRight)) {
    line(w - 2, 0, w - 2, h, clBtnShadow);
    line(w - 1, 0, w - 1, h, clBtnHighlight);
  }
}

void TSpeedBar::SetEnabled(bool Value) {
  TCustomPanel::SetEnabled(Value);
  ForEachButton([](TSpeedItem* I) { I->UpdateButtonEnabled(); });
}

void TSpeedBar::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_VISIBLECHANGED) {
    TCustomPanel::Dispatch(Message);
    ForEachButton([](TSpeedItem* I) { I->UpdateButtonVisible(); });
    if (OnVisibleChanged) OnVisibleChanged(this);
    return;
  }
  TCustomPanel::Dispatch(Message);
}

void TSpeedBar::Loaded() {
  TCustomPanel::Loaded();
  // Stored before the bar knew better: no alignment while placed automatically.
  if (FInternalVer == 0 && FLegacyNone && FPosition == bpAuto) SetAlign(alTop);
  FLegacyNone = false;
  UpdateGridSize();
  ForEachButton([this](TSpeedItem* I) {
    I->Button()->SetBounds(I->Left(), I->Top(), FButtonSize.X, FButtonSize.Y);
    I->UpdateButtonVisible();
  });
}

// ---- the form-resource view ----

std::string TSpeedBar::SectionsText() const {
  std::string t;
  for (TSpeedbarSection* s : FSections) t += s->FCaption + "\n";
  return t;
}

void TSpeedBar::SetSectionsText(const std::string& Value) {
  size_t from = 0;
  while (from < Value.size()) {
    size_t nl = Value.find('\n', from);
    if (nl == std::string::npos) nl = Value.size();
    std::string cap = Value.substr(from, nl - from);
    if (!cap.empty() && cap.back() == '\r') cap.pop_back();
    if (SectionIndexOf(cap) < 0) AddSectionNamed(cap);
    from = nl + 1;
  }
}

const TPropertyTable& TSpeedBar::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TSpeedBar>(TCustomPanel::PropertyTable(), [](auto& p) {
    p.Set("BoundLines", &TSpeedBar::BoundLines, &TSpeedBar::SetBoundLines, {"blTop", "blBottom", "blLeft", "blRight"});
    p.Enum("Position", &TSpeedBar::Position, &TSpeedBar::SetPosition, {"bpAuto", "bpCustom"});
    p.Enum("Align", &TSpeedBar::Align, &TSpeedBar::SetAlign,
           {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"});
    p.Set("Options", &TSpeedBar::Options, &TSpeedBar::SetOptions,
          {"sbAllowDrag", "sbAllowResize", "sbFlatBtns", "sbGrayedBtns", "sbTransparentBtns", "sbStretchBitmap"});
    p.Integer("BtnOffsetHorz", &TSpeedBar::BtnOffsetHorz, &TSpeedBar::SetBtnOffsetHorz);
    p.Integer("BtnOffsetVert", &TSpeedBar::BtnOffsetVert, &TSpeedBar::SetBtnOffsetVert);
    p.Integer("BtnWidth", &TSpeedBar::BtnWidth, &TSpeedBar::SetBtnWidth);
    p.Integer("BtnHeight", &TSpeedBar::BtnHeight, &TSpeedBar::SetBtnHeight);
    p.Object("IniStorage", &TSpeedBar::IniStorage, &TSpeedBar::SetIniStorage);
    p.Integer("Version", &TSpeedBar::Version, &TSpeedBar::SetVersion);
    p.Object("Images", &TSpeedBar::Images, &TSpeedBar::SetImages);
    p.Object("Wallpaper", [](const TSpeedBar& B) { return const_cast<TPicture*>(&B.FWallpaper); },
             &TSpeedBar::SetWallpaper);
    p.String("Sections", &TSpeedBar::SectionsText, &TSpeedBar::SetSectionsText);
    p.Bool("NewStyle", [](const TSpeedBar&) { return true; }, [](TSpeedBar&, bool) {});
    p.Integer("InternalVer", [](const TSpeedBar& B) { return B.FInternalVer == 0 ? 0 : 1; },
              [](TSpeedBar& B, int32_t V) { B.FInternalVer = V; });
    p.Bool("AllowDrag", [](const TSpeedBar& B) { return B.FOptions.Contains(sbAllowDrag); },
           [](TSpeedBar& B, bool V) {
             TSpeedbarOptions o = B.FOptions;
             if (V) o.Include(sbAllowDrag);
             else o.Exclude(sbAllowDrag);
             B.SetOptions(o);
           });
    p.Method("OnApplyAlign").Method("OnCustomize").Method("OnPosChanged").Method("OnVisibleChanged");
  });
  return table;
}

TSpeedBar* SpeedBarAtPoint(TPoint ScreenPoint) {
  return dynamic_cast<TSpeedBar*>(FindWinControlAtScreen(ScreenPoint));
}

}  // namespace kv

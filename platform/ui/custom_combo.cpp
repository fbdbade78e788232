// TCustomComboBox over QComboBox, with the owner-drawn items painted from
// the control's DrawItem through an item delegate.
#include "platform/ui/custom_combo.h"

#include <QtCore/QSignalBlocker>
#include <QtGui/QPainter>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QStyledItemDelegate>
#include <QtWidgets/QStylePainter>
#include <cstring>

#include "platform/graphics/draw_text.h"
#include "platform/rtl/strings.h"
#include "platform/ui/std_peer.h"

namespace kv {
namespace {

// The box is about to show its list.
constexpr UINT CM_DROPDOWN = CM_BASE + 0x100;

// Paints one item through the control into an image of the item's size.
QImage PaintedItem(TCustomComboBox* C, int32_t Index, int32_t W, int32_t H, TOwnerDrawState State) {
  if (W <= 0 || H <= 0) return {};
  TBitmap b(W, H, pf32bit);
  Guarded(C, [&] { C->DrawItem(b.Canvas(), Index, Rect(0, 0, W, H), State); });
  QImage img(W, H, QImage::Format_RGB32);
  for (int32_t y = 0; y < H; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
    std::memcpy(row, b.ScanLine(y), static_cast<size_t>(W) * 4);
    for (int32_t x = 0; x < W; ++x) row[x] |= 0xFF000000u;  // our pixels leave the alpha byte 0
  }
  return img;
}

class TComboPeer : public TStdPeer<QComboBox> {
 public:
  TComboPeer(TControl* Control, QWidget* Parent);
  TCustomComboBox* Combo() const { return static_cast<TCustomComboBox*>(FControl); }

 protected:
  void paintEvent(QPaintEvent* E) override {
    TCustomComboBox* c = Combo();
    if (!c || !c->OwnerDraw() || isEditable()) {
      QComboBox::paintEvent(E);
      return;
    }
    QStylePainter p(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    p.drawComplexControl(QStyle::CC_ComboBox, opt);
    if (currentIndex() < 0) return;
    const QRect r = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    TOwnerDrawState s{odComboBoxEdit};
    if (hasFocus()) s += TOwnerDrawState{odSelected, odFocused};
    if (!isEnabled()) s.Include(odDisabled);
    p.drawImage(r.topLeft(), PaintedItem(c, currentIndex(), r.width(), r.height(), s));
  }
  void showPopup() override {
    if (TCustomComboBox* c = Combo()) {
      TStdPeerBusy busy(this);
      Guarded(c, [&] { c->Perform(CM_DROPDOWN, 0, 0); });
    }
    if (FControl) QComboBox::showPopup();
  }
};

class TItemDelegate : public QStyledItemDelegate {
 public:
  explicit TItemDelegate(TComboPeer* Peer) : QStyledItemDelegate(Peer), FPeer(Peer) {}
  void paint(QPainter* P, const QStyleOptionViewItem& O, const QModelIndex& I) const override {
    TCustomComboBox* c = FPeer->Combo();
    if (!c || !c->OwnerDraw()) {
      QStyledItemDelegate::paint(P, O, I);
      return;
    }
    TOwnerDrawState s;
    if (O.state & QStyle::State_Selected) s.Include(odSelected);
    if (O.state & QStyle::State_HasFocus) s.Include(odFocused);
    if (!(O.state & QStyle::State_Enabled)) s.Include(odDisabled);
    P->drawImage(O.rect.topLeft(), PaintedItem(c, I.row(), O.rect.width(), O.rect.height(), s));
  }
  QSize sizeHint(const QStyleOptionViewItem& O, const QModelIndex& I) const override {
    TCustomComboBox* c = FPeer->Combo();
    if (!c || !c->OwnerDraw()) return QStyledItemDelegate::sizeHint(O, I);
    return QSize(std::max(O.rect.width(), 1), c->ItemHeight());
  }

 private:
  TComboPeer* FPeer;
};

TComboPeer::TComboPeer(TControl* Control, QWidget* Parent) : TStdPeer<QComboBox>(Control, Parent) {
  setItemDelegate(new TItemDelegate(this));
  setInsertPolicy(QComboBox::NoInsert);
}

}  // namespace

TCustomComboBox::TCustomComboBox(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 145;
  FHeight = 21;
  FTabStop = true;
  FColor = clWindow;
}

TCustomComboBox::~TCustomComboBox() = default;

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  if (FStyle == csDropDownList) FItemIndex = IndexOf(FText);
  RecreateWnd();
}

void TCustomComboBox::SetOwnerDraw(bool Value) {
  if (Value == FOwnerDraw) return;
  FOwnerDraw = Value;
  RecreateWnd();
}

void TCustomComboBox::SetItemHeight(int32_t Value) {
  if (Value < 1 || Value == FItemHeight) return;
  FItemHeight = Value;
  if (auto* c = PeerAs<QComboBox>(this)) c->view()->doItemsLayout();
}

int32_t TCustomComboBox::AddItem(const std::string& Text, intptr_t Data) {
  FItems.push_back(Text);
  FData.push_back(Data);
  UpdateQt();
  return Count() - 1;
}

void TCustomComboBox::ClearItems() {
  FItems.clear();
  FData.clear();
  FItemIndex = -1;
  UpdateQt();
}

int32_t TCustomComboBox::IndexOf(const std::string& Text, bool IgnoreCase) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (IgnoreCase ? AnsiSameText(FItems[static_cast<size_t>(i)], Text) : FItems[static_cast<size_t>(i)] == Text)
      return i;
  return -1;
}

void TCustomComboBox::EndUpdate() {
  if (FUpdating > 0 && --FUpdating == 0) UpdateQt();
}

void TCustomComboBox::SetItemIndex(int32_t Value) {
  if (Value < -1 || Value >= Count()) Value = -1;
  FItemIndex = Value;
  if (Value >= 0) {
    FFromQt = true;  // the text follows the item; nothing is looked up again
    SetText(FItems[static_cast<size_t>(Value)]);
    FFromQt = false;
  } else if (FStyle == csDropDownList) {
    FFromQt = true;
    SetText("");
    FFromQt = false;
  }
  UpdateQt();
}

void TCustomComboBox::Select(int32_t Index) {
  if (Index < 0 || Index >= Count()) return;
  SetItemIndex(Index);
  Click();
  Change();
}

void TCustomComboBox::TypeText(const std::string& Text) {
  if (FStyle == csDropDownList) return;
  UserEditedText(Text);
  UpdateQt();
}

void TCustomComboBox::UserChoseIndex(int32_t Index) { Select(Index); }

void TCustomComboBox::UserEditedText(const std::string& Text) {
  FItemIndex = -1;
  FFromQt = true;
  SetText(Text);
  FFromQt = false;
  Change();
}

bool TCustomComboBox::DroppedDown() const {
  auto* c = PeerAs<QComboBox>(this);
  return c && c->view()->isVisible();
}

void TCustomComboBox::SetDroppedDown(bool Value) {
  HandleNeeded();
  auto* c = PeerAs<QComboBox>(this);
  if (!c) return;
  if (Value) c->showPopup();
  else c->hidePopup();
}

void TCustomComboBox::DrawItem(TCanvas& Canvas, int32_t Index, const TRect& Rect, TOwnerDrawState State) {
  Canvas.Brush().SetStyle(bsSolid);
  Canvas.Brush().SetColor(State.Contains(odSelected) ? clHighlight : clWindow);
  Canvas.FillRect(Rect);
  if (Index < 0 || Index >= Count()) return;
  Canvas.Font().Assign(Font());
  Canvas.Font().SetColor(State.Contains(odSelected) ? clHighlightText : clWindowText);
  Canvas.Brush().SetStyle(bsClear);
  TRect r = Rect;
  r.Left += 2;
  DrawText(Canvas, Item(Index), r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::Click() { TWinControl::Click(); }

void TCustomComboBox::DropDown() {
  if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::UpdateQt() {
  if (FUpdating) return;
  auto* c = PeerAs<QComboBox>(this);
  if (!c) return;
  QSignalBlocker block(c);
  c->setEditable(FStyle != csDropDownList);
  c->clear();
  for (const std::string& s : FItems) c->addItem(QString::fromStdString(s));
  c->setCurrentIndex(FItemIndex);
  if (c->isEditable()) {
    QSignalBlocker blockEdit(c->lineEdit());
    if (c->lineEdit()->text().toStdString() != FText) c->lineEdit()->setText(QString::fromStdString(FText));
  }
  c->update();
}

void TCustomComboBox::CreateWnd() {
  auto* p = new TComboPeer(this, ParentClientWidget(this));
  SetPeer(p);
  UpdateQt();
  QObject::connect(p, qOverload<int>(&QComboBox::activated), p, [p](int Index) {
    p->Signal([&](TControl* c) { static_cast<TCustomComboBox*>(c)->UserChoseIndex(Index); });
  });
  if (p->lineEdit())
    QObject::connect(p->lineEdit(), &QLineEdit::textEdited, p, [p](const QString& T) {
      p->Signal([&](TControl* c) { static_cast<TCustomComboBox*>(c)->UserEditedText(T.toStdString()); });
    });
}

void TCustomComboBox::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_TEXTCHANGED:
      TWinControl::Dispatch(Message);
      if (!FFromQt) {
        // Text set by the program: a list shows the entry with that text, an edit the text itself.
        if (FStyle == csDropDownList) FItemIndex = IndexOf(FText);
        UpdateQt();
      }
      return;
    case CM_DROPDOWN:
      DropDown();
      return;
    default:
      TWinControl::Dispatch(Message);
  }
}

}  // namespace kv

// The standard controls over Qt's line edit, check box, combo box, group box
// and progress bar; the label paints itself.
#include "platform/ui/std_controls.h"

#include <QtCore/QSignalBlocker>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QProgressBar>
#include <algorithm>

#include "platform/ui/std_peer.h"

namespace kv {

std::string StripAccelerator(const std::string& Caption) {
  std::string out;
  out.reserve(Caption.size());
  for (size_t i = 0; i < Caption.size(); ++i) {
    if (Caption[i] == '&') {
      if (i + 1 < Caption.size() && Caption[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += Caption[i];
  }
  return out;
}

// ---- TLabel ----

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle.Include(csSetCaption);
  FParentColor = true;
  FWidth = 65;
  FHeight = 17;
}

void TLabel::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  AdjustSize();
}

void TLabel::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Invalidate();
}

void TLabel::AdjustSize() {
  if (!FAutoSize) return;
  Canvas().Font().Assign(Font());
  const std::string t = StripAccelerator(FText);
  const TSize sz = Canvas().TextExtent(t.empty() ? std::string(" ") : t);
  SetBounds(FLeft, FTop, t.empty() ? 0 : sz.cx, sz.cy);
}

void TLabel::Dispatch(TMessage& Message) {
  TGraphicControl::Dispatch(Message);
  if (Message.Msg == CM_TEXTCHANGED || Message.Msg == CM_FONTCHANGED) {
    AdjustSize();
    Invalidate();
  }
}

void TLabel::Paint() {
  TCanvas& c = Canvas();
  if (!FTransparent) {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
  }
  c.Brush().SetStyle(bsClear);
  c.Font().Assign(Font());
  if (!Enabled()) c.Font().SetColor(clGrayText);
  c.TextOut(0, 0, StripAccelerator(FText));
}

// ---- TEdit ----

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 121;
  FHeight = 21;
  FTabStop = true;
  FColor = clWindow;
}

TEdit::~TEdit() = default;

void TEdit::SetReadOnly(bool Value) {
  FReadOnly = Value;
  if (auto* e = PeerAs<QLineEdit>(this)) e->setReadOnly(Value);
}

void TEdit::CreateWnd() {
  auto* p = new TStdPeer<QLineEdit>(this, ParentClientWidget(this));
  SetPeer(p);
  p->setText(QString::fromStdString(FText));
  p->setReadOnly(FReadOnly);
  QObject::connect(p, &QLineEdit::textEdited, p, [p](const QString& V) {
    p->Signal([&](TControl* c) {
      auto* e = static_cast<TEdit*>(c);
      e->FFromQt = true;
      e->SetText(V.toStdString());
      e->FFromQt = false;
    });
  });
}

void TEdit::Change() {
  if (OnChange) OnChange(this);
}

void TEdit::Dispatch(TMessage& Message) {
  TWinControl::Dispatch(Message);
  if (Message.Msg != CM_TEXTCHANGED) return;
  if (!FFromQt)
    if (auto* e = PeerAs<QLineEdit>(this)) {
      QSignalBlocker block(e);
      e->setText(QString::fromStdString(FText));
    }
  Change();
}

// ---- TCheckBox ----

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 97;
  FHeight = 17;
  FTabStop = true;
}

TCheckBox::~TCheckBox() = default;

void TCheckBox::SetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  UpdateQt();
  Click();
}

void TCheckBox::Click() { TWinControl::Click(); }

void TCheckBox::UpdateQt() {
  auto* b = PeerAs<QCheckBox>(this);
  if (!b) return;
  QSignalBlocker block(b);
  b->setText(QString::fromStdString(FText));
  b->setChecked(FChecked);
}

void TCheckBox::CreateWnd() {
  auto* p = new TStdPeer<QCheckBox>(this, ParentClientWidget(this));
  SetPeer(p);
  UpdateQt();
  QObject::connect(p, &QCheckBox::toggled, p, [p](bool On) {
    p->Signal([&](TControl* c) { static_cast<TCheckBox*>(c)->SetChecked(On); });
  });
}

void TCheckBox::Dispatch(TMessage& Message) {
  TWinControl::Dispatch(Message);
  if (Message.Msg == CM_TEXTCHANGED) UpdateQt();
}

// ---- TComboBox ----

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csDoubleClicks};
  FWidth = 145;
  FHeight = 21;
  FTabStop = true;
}

TComboBox::~TComboBox() = default;

int32_t TComboBox::AddItem(const std::string& Text, intptr_t Data) {
  FItems.push_back(Text);
  FData.push_back(Data);
  UpdateQt();
  return Count() - 1;
}

void TComboBox::SetItems(const std::vector<std::string>& Items) {
  FItems = Items;
  FData.assign(Items.size(), 0);
  if (FItemIndex >= Count()) FItemIndex = -1;
  UpdateQt();
}

void TComboBox::ClearItems() {
  FItems.clear();
  FData.clear();
  FItemIndex = -1;
  UpdateQt();
}

void TComboBox::SetItemIndex(int32_t Value) {
  if (Value < -1 || Value >= Count()) Value = -1;
  if (Value == FItemIndex) return;
  FItemIndex = Value;
  if (FEditable && Value >= 0) {
    // An edit shows the chosen entry's text.
    FFromUser = true;
    SetText(FItems[static_cast<size_t>(Value)]);
    FFromUser = false;
  }
  UpdateQt();
}

void TComboBox::SetEditable(bool Value) {
  if (Value == FEditable) return;
  FEditable = Value;
  RecreateWnd();
}

void TComboBox::TypeText(const std::string& Text) {
  if (!FEditable) return;
  UserEditedText(Text);
  UpdateQt();
}

void TComboBox::UserEditedText(const std::string& Text) {
  // The edit already shows it: refilling the box would move the caret.
  FItemIndex = -1;
  FFromUser = true;
  SetText(Text);
  FFromUser = false;
  if (OnChange) OnChange(this);
}

void TComboBox::Dispatch(TMessage& Message) {
  TWinControl::Dispatch(Message);
  // Text set by the program shows in an edit at once.
  if (Message.Msg == CM_TEXTCHANGED && FEditable && !FFromUser) UpdateQt();
}

int32_t TComboBox::IndexOf(const std::string& Text) const {
  auto it = std::find(FItems.begin(), FItems.end(), Text);
  return it == FItems.end() ? -1 : static_cast<int32_t>(it - FItems.begin());
}

void TComboBox::Select(int32_t Index) {
  SetItemIndex(Index);
  if (OnChange) OnChange(this);
}

void TComboBox::UpdateQt() {
  auto* b = PeerAs<QComboBox>(this);
  if (!b) return;
  QSignalBlocker block(b);
  b->clear();
  for (const std::string& s : FItems) b->addItem(QString::fromStdString(s));
  b->setCurrentIndex(FItemIndex);
  if (FEditable && b->lineEdit()) {
    QSignalBlocker blockEdit(b->lineEdit());
    b->lineEdit()->setText(QString::fromStdString(Text()));
  }
}

void TComboBox::CreateWnd() {
  auto* p = new TStdPeer<QComboBox>(this, ParentClientWidget(this));
  SetPeer(p);
  p->setEditable(FEditable);
  UpdateQt();
  if (p->lineEdit())
    QObject::connect(p->lineEdit(), &QLineEdit::textEdited, p, [p](const QString& T) {
      p->Signal([&](TControl* c) { static_cast<TComboBox*>(c)->UserEditedText(T.toStdString()); });
    });
  // activated comes only from the user, as OnChange does.
  QObject::connect(p, &QComboBox::activated, p, [p](int Index) {
    p->Signal([&](TControl* c) { static_cast<TComboBox*>(c)->Select(Index); });
  });
}

// ---- TGroupBox ----

TGroupBox::TGroupBox(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csSetCaption, csDoubleClicks};
  FWidth = 185;
  FHeight = 105;
}

TGroupBox::~TGroupBox() = default;

void TGroupBox::CreateWnd() {
  auto* p = new TStdPeer<QGroupBox>(this, ParentClientWidget(this));
  SetPeer(p);
  p->setTitle(QString::fromStdString(StripAccelerator(FText)));
}

void TGroupBox::Dispatch(TMessage& Message) {
  TWinControl::Dispatch(Message);
  if (Message.Msg == CM_TEXTCHANGED)
    if (auto* g = PeerAs<QGroupBox>(this)) g->setTitle(QString::fromStdString(StripAccelerator(FText)));
}

// ---- TProgressBar ----

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{};
  FWidth = 150;
  FHeight = 16;
}

TProgressBar::~TProgressBar() = default;

void TProgressBar::SetRange(int32_t AMin, int32_t AMax) {
  FMin = AMin;
  FMax = std::max(AMin, AMax);
  FPosition = std::clamp(FPosition, FMin, FMax);
  UpdateQt();
}

void TProgressBar::SetPosition(int32_t Value) {
  Value = std::clamp(Value, FMin, FMax);
  if (Value == FPosition) return;
  FPosition = Value;
  UpdateQt();
}

void TProgressBar::UpdateQt() {
  auto* b = PeerAs<QProgressBar>(this);
  if (!b) return;
  b->setRange(FMin, FMax);
  b->setValue(FPosition);
}

void TProgressBar::CreateWnd() {
  auto* p = new TStdPeer<QProgressBar>(this, ParentClientWidget(this));
  SetPeer(p);
  p->setTextVisible(false);
  UpdateQt();
}

}  // namespace kv

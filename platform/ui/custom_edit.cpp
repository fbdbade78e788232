// TCustomEdit over QLineEdit, with the keys routed through the control first.
#include "platform/ui/custom_edit.h"

#include <QtCore/QSignalBlocker>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeySequence>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QStyle>
#include <algorithm>
#include <atomic>

#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/std_peer.h"

namespace kv {

namespace {

QString QtText(const std::string& S) { return QString::fromStdString(S); }

class TEditPeer : public TStdPeer<QLineEdit> {
 public:
  TEditPeer(TControl* Control, QWidget* Parent) : TStdPeer<QLineEdit>(Control, Parent) {
    // The edit's own menu would cut and paste behind the control's back.
    setContextMenuPolicy(Qt::NoContextMenu);
  }

 protected:
  std::optional<bool> ToControl(QEvent* E) override {
    if (E->type() == QEvent::KeyPress) return KeyPressed(static_cast<QKeyEvent*>(E));
    if (E->type() == QEvent::KeyRelease) {
      ForwardInput(E);
      return std::nullopt;
    }
    return TStdPeer<QLineEdit>::ToControl(E);
  }

 private:
  std::optional<bool> KeyPressed(QKeyEvent* Ke) {
    const int key = Ke->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_Tab ||
        key == Qt::Key_Backtab) {
      ForwardInput(Ke);  // the form's dialog keys, then the control
      return true;
    }
    auto* edit = static_cast<TCustomEdit*>(FControl);
    UINT clip = 0;
    if (Ke->matches(QKeySequence::Paste)) clip = WM_PASTE;
    else if (Ke->matches(QKeySequence::Cut)) clip = WM_CUT;
    else if (Ke->matches(QKeySequence::Copy)) clip = WM_COPY;
    if (clip) {
      Guarded(edit, [&] { edit->Perform(clip); });
      return true;
    }
    NoteInputState(Ke->modifiers(), QGuiApplication::mouseButtons());
    const uint16_t vk = VirtualKeyOf(key, Ke->modifiers());
    NoteKeyState(vk, true);
    const bool alt = Ke->modifiers() & Qt::AltModifier;
    int32_t keyData = 1 | (alt ? 0x20000000 : 0);
    if (Ke->isAutoRepeat()) keyData |= 0x40000000;
    bool dropped = false, changed = false;
    std::u32string chars;
    Guarded(edit, [&] {
      if (vk) {
        TMessage m{alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, keyData, 0};
        edit->WindowProc(m);
        if (m.WParam == 0) {
          dropped = true;
          return;
        }
      }
      for (char32_t ch : Ke->text().toUcs4()) {
        if (!FControl) return;
        TMessage m{alt ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(ch), keyData, 0};
        edit->WindowProc(m);
        if (m.WParam != ch) changed = true;
        if (m.WParam) chars += static_cast<char32_t>(m.WParam);
      }
    });
    if (!FControl || dropped) return true;
    if (!changed) return std::nullopt;  // the widget types the key as it came
    if (chars.empty()) return true;
    const QString text = QString::fromUcs4(chars.data(), static_cast<qsizetype>(chars.size()));
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Ke->modifiers() & ~Qt::KeypadModifier, text);
    QLineEdit::event(&typed);
    return true;
  }
};

QLineEdit* LineEdit(const TControl* C) { return PeerAs<QLineEdit>(C); }
}  // namespace

std::string ClipboardText() {
  EnsureQtApplication();
  return QGuiApplication::clipboard()->text().toStdString();
}

int32_t SystemScrollBarWidth() {
  EnsureQtApplication();
  return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

void SetClipboardText(const std::string& Text) {
  EnsureQtApplication();
  QGuiApplication::clipboard()->setText(QtText(Text));
}

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 121;
  FHeight = 21;
  FTabStop = true;
  FColor = clWindow;
}

TCustomEdit::~TCustomEdit() = default;

void TCustomEdit::SetReadOnly(bool Value) {
  FReadOnly = Value;
  UpdateWindowReadOnly();
}

void TCustomEdit::UpdateWindowReadOnly() {
  if (QLineEdit* e = LineEdit(this)) e->setReadOnly(WindowReadOnly());
}

void TCustomEdit::SetMaxLength(int32_t Value) {
  FMaxLength = std::max(0, Value);
  if (QLineEdit* e = LineEdit(this)) e->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
}

void TCustomEdit::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  if (QLineEdit* e = LineEdit(this))
    e->setAlignment((FAlignment == taRightJustify ? Qt::AlignRight
                     : FAlignment == taCenter     ? Qt::AlignHCenter
                                                  : Qt::AlignLeft) |
                    Qt::AlignVCenter);
}

int32_t TCustomEdit::SelStart() const {
  if (QLineEdit* e = LineEdit(this)) return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
  return FSelStart;
}

int32_t TCustomEdit::SelLength() const {
  if (QLineEdit* e = LineEdit(this)) return static_cast<int32_t>(e->selectedText().size());
  return FSelLength;
}

void TCustomEdit::SetSelStart(int32_t Value) {
  FSelStart = std::max(0, Value);
  FSelLength = 0;
  if (QLineEdit* e = LineEdit(this)) e->setCursorPosition(FSelStart);
}

void TCustomEdit::SetSelLength(int32_t Value) {
  FSelLength = std::max(0, Value);
  if (QLineEdit* e = LineEdit(this)) {
    const int start = SelStart();
    e->setSelection(start, FSelLength);
  }
}

std::string TCustomEdit::SelText() const {
  if (QLineEdit* e = LineEdit(this)) return e->selectedText().toStdString();
  const QString t = QtText(FText);
  return t.mid(FSelStart, FSelLength).toStdString();
}

void TCustomEdit::SetSelText(const std::string& Value) {
  QString t = QtText(FText);
  const int start = std::min<int>(SelStart(), static_cast<int>(t.size()));
  const int len = std::min<int>(SelLength(), static_cast<int>(t.size()) - start);
  t.replace(start, len, QtText(Value));
  SetText(t.toStdString());
  SetSelStart(start + static_cast<int32_t>(QtText(Value).size()));
}

void TCustomEdit::SelectAll() {
  FSelStart = 0;
  FSelLength = static_cast<int32_t>(QtText(FText).size());
  if (QLineEdit* e = LineEdit(this)) e->selectAll();
}

void TCustomEdit::ClearSelection() {
  if (SelLength() > 0) SetSelText("");
}

void TCustomEdit::SetEditRect(const TRect& R) {
  FEditRect = R;
  FHasEditRect = true;
  UpdateEditRect();
}

void TCustomEdit::UpdateEditRect() {
  if (!FHasEditRect) return;
  if (QLineEdit* e = LineEdit(this))
    e->setTextMargins(std::max(0, FEditRect.Left), 0, std::max(0, FWidth - FEditRect.Right), 0);
}

void TCustomEdit::SetCaretVisible(bool Value) { FCaretVisible = Value; }

void TCustomEdit::SetShownText(const std::optional<std::string>& Value) {
  FShownText = Value;
  if (QLineEdit* e = LineEdit(this)) {
    const QString t = QtText(ShownText());
    if (e->text() == t) return;
    QSignalBlocker block(e);
    e->setText(t);
  }
}

void TCustomEdit::CreateWnd() {
  auto* p = new TEditPeer(this, ParentClientWidget(this));
  SetPeer(p);
  p->setText(QtText(ShownText()));
  p->setReadOnly(WindowReadOnly());
  p->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
  const TAlignment a = FAlignment;
  FAlignment = taLeftJustify;
  SetAlignment(a);
  UpdateEditRect();
  QObject::connect(p, &QLineEdit::textChanged, p, [p](const QString& V) {
    p->Signal([&](TControl* c) { static_cast<TCustomEdit*>(c)->TextEdited(V.toStdString()); });
  });
}

void TCustomEdit::TextEdited(const std::string& Value) {
  FShownText.reset();  // what was typed is the text now
  if (Value == FText) return;
  FModified = true;
  SetText(Value);
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::DoEnter() {
  // A click places the caret where it lands; the keyboard selects the whole text.
  if (FAutoSelect && GetKeyState(VK_LBUTTON) >= 0) SelectAll();
  TWinControl::DoEnter();
}

void TCustomEdit::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_TEXTCHANGED:
      TWinControl::Dispatch(Message);
      // The widget shows what it should; a text changed while the widget's own
      // change is being handled (a reformat) goes back to it as well.
      if (QLineEdit* e = LineEdit(this))
        if (const QString t = QtText(ShownText()); e->text() != t) {
          QSignalBlocker block(e);
          e->setText(t);
        }
      Change();
      return;
    case WM_SIZE:
      TWinControl::Dispatch(Message);
      UpdateEditRect();
      return;
    default:
      TWinControl::Dispatch(Message);
  }
}

void TCustomEdit::DefaultHandler(TMessage& Message) {
  QLineEdit* e = LineEdit(this);
  switch (Message.Msg) {
    case WM_CUT:
      if (e && !e->isReadOnly()) e->cut();
      else if (!e && !WindowReadOnly() && FSelLength > 0) {
        SetClipboardText(SelText());
        SetSelText("");
      }
      return;
    case WM_COPY:
      if (e) e->copy();
      else if (FSelLength > 0) SetClipboardText(SelText());
      return;
    case WM_PASTE:
      if (e && !e->isReadOnly()) e->paste();
      else if (!e && !WindowReadOnly()) SetSelText(ClipboardText());
      return;
    default:
      TWinControl::DefaultHandler(Message);
  }
}

const TPropertyTable& TCustomEdit::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomEdit>(TWinControl::PropertyTable(), [](auto& p) {
    p.Bool("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly);
    p.Integer("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength);
    p.Bool("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect);
    p.Method("OnChange");
  });
  return table;
}

}  // namespace kv

// The multi-line edit.
#include "platform/ui/memo.h"

#include <algorithm>

#include <QtCore/QSignalBlocker>
#include <QtGui/QTextCursor>
#include <QtWidgets/QPlainTextEdit>

#include "platform/rtl/string_list.h"
#include "platform/ui/std_peer.h"

namespace kv {

TMemo::TMemo(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 185;
  FHeight = 89;
  FTabStop = true;
  FColor = clWindow;
}

TMemo::~TMemo() = default;

void TMemo::GetLines(TStrings& Lines) const {
  Lines.Clear();
  const std::string& text = Text();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Lines.Add(line);
    start = end + 1;
  }
}

void TMemo::SetLines(const TStrings& Lines) {
  std::string text;
  for (int32_t i = 0; i < Lines.Count(); ++i) {
    if (i) text += '\n';
    text += Lines.Strings(i);
  }
  SetText(text);
}

int32_t TMemo::SelStart() const {
  if (auto* e = PeerAs<QPlainTextEdit>(this)) return e->textCursor().position();
  return FSelStart;
}

void TMemo::SetSelStart(int32_t Value) {
  FSelStart = std::clamp<int32_t>(Value, 0, static_cast<int32_t>(Text().size()));
  if (auto* e = PeerAs<QPlainTextEdit>(this)) {
    QTextCursor c = e->textCursor();
    c.setPosition(std::min<int32_t>(FSelStart, static_cast<int32_t>(e->toPlainText().size())));
    e->setTextCursor(c);
  }
}

void TMemo::SetScrollBars(TScrollStyle Value) {
  if (Value == FScrollBars) return;
  FScrollBars = Value;
  ApplyScrollBars();
}

void TMemo::ApplyScrollBars() {
  auto* e = PeerAs<QPlainTextEdit>(this);
  if (!e) return;
  const bool horz = FScrollBars == ssHorizontal || FScrollBars == ssBoth;
  const bool vert = FScrollBars == ssVertical || FScrollBars == ssBoth;
  e->setHorizontalScrollBarPolicy(horz ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
  e->setVerticalScrollBarPolicy(vert ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
  e->setLineWrapMode(horz ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
}

void TMemo::CreateWnd() {
  auto* p = new TStdPeer<QPlainTextEdit>(this, ParentClientWidget(this));
  SetPeer(p);
  p->setPlainText(QString::fromStdString(Text()));
  ApplyScrollBars();
  QObject::connect(p, &QPlainTextEdit::textChanged, p, [p]() {
    p->Signal([&](TControl* c) {
      auto* m = static_cast<TMemo*>(c);
      m->FFromQt = true;
      m->SetText(p->toPlainText().toStdString());
      m->FFromQt = false;
    });
  });
}

void TMemo::Dispatch(TMessage& Message) {
  TWinControl::Dispatch(Message);
  if (Message.Msg != CM_TEXTCHANGED) return;
  if (!FFromQt)
    if (auto* e = PeerAs<QPlainTextEdit>(this)) {
      QSignalBlocker block(e);
      e->setPlainText(QString::fromStdString(Text()));
    }
  if (OnChange) OnChange(this);
}

}  // namespace kv

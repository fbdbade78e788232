// TMemo: a multi-line edit over Qt's plain text edit. Its text is the lines
// joined with line breaks; Lines copies them out and in.
#pragma once
#include "platform/ui/controls.h"
#include "platform/ui/scrolling.h"

namespace kv {

class TStrings;

class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* AOwner);
  ~TMemo() override;
  // The lines of the text; a last empty line after a final break is dropped.
  void GetLines(TStrings& Lines) const;
  void SetLines(const TStrings& Lines);
  // The caret, in characters from the start of the text (0-based).
  int32_t SelStart() const;
  void SetSelStart(int32_t Value);
  // The bars the style names are always shown, others only when needed; with
  // a horizontal bar long lines are not wrapped.
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value);
  TNotifyEvent OnChange;
  void Dispatch(TMessage& Message) override;

 protected:
  void CreateWnd() override;

 private:
  void ApplyScrollBars();
  TScrollStyle FScrollBars = ssNone;
  bool FFromQt = false;  // the text came from the widget: do not push it back
  int32_t FSelStart = 0;  // kept for a memo without a window
};

}  // namespace kv

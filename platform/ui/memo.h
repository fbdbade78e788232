// TMemo: a multi-line edit over Qt's plain text edit. Its text is the lines
// joined with line breaks; Lines copies them out and in.
#pragma once
#include "platform/ui/controls.h"

namespace kv {

class TStrings;

class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* AOwner);
  ~TMemo() override;
  // The lines of the text; a last empty line after a final break is dropped.
  void GetLines(TStrings& Lines) const;
  void SetLines(const TStrings& Lines);
  TNotifyEvent OnChange;
  void Dispatch(TMessage& Message) override;

 protected:
  void CreateWnd() override;

 private:
  bool FFromQt = false;  // the text came from the widget: do not push it back
};

}  // namespace kv

// The memo dialog: a few lines of text edited in a window with OK and Cancel.
#pragma once
#include <string>

#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TMemo;
class TPanel;
class TStrings;

class Tinputmemo : public TForm {
 public:
  explicit Tinputmemo(TComponent* AOwner);
  TMemo* Memo1 = nullptr;
  TPanel* Panel1 = nullptr;
  TButton* OKButton = nullptr;
  TButton* CancelButton = nullptr;
};

// Shows the memo dialog titled Caption loaded with Lines; on OK Lines takes
// the edited text and true is returned.
bool EditLines(const std::string& Caption, TStrings& Lines);

}  // namespace kv

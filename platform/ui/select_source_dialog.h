// Our own choice among the scanners: a list of their names with OK and Cancel.
// It runs through the dialog service, so tests answer it by script.
#pragma once
#include <string>
#include <vector>

#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TListBox;

class TSelectSourceForm : public TForm {
 public:
  TSelectSourceForm(TComponent* AOwner, const std::vector<std::string>& Names, const std::string& Current);
  TListBox* List = nullptr;
  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;
};

// True when a source was chosen; Chosen is then its name. No names: false at once.
bool SelectSourceDialog(const std::vector<std::string>& Names, std::string& Chosen, const std::string& Current = "");

}  // namespace kv

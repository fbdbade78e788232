// Our own dialog of a scanner's settings, built from the options the device
// offers: a check box for a yes/no option, a list for a choice of values, an
// edit for a number or text. OK sends what was changed to the device; it
// runs through the dialog service, so tests answer it by script.
#pragma once
#include <string>
#include <vector>

#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TScanDevice;

class TScanOptionsForm : public TForm {
 public:
  TScanOptionsForm(TComponent* AOwner, TScanDevice& Device);
  // One row per option shown: the option's name and its control.
  struct TRow {
    std::string Name;
    TWinControl* Control = nullptr;
  };
  const std::vector<TRow>& Rows() const { return FRows; }
  // The control of an option, or nullptr when the dialog does not show it.
  TWinControl* ControlOf(const std::string& Name) const;
  // Sends the values of the controls that differ from the device's to the
  // device; false (Problem says which and why) when the device refuses one.
  bool Apply(std::string& Problem);

  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;

 private:
  TScanDevice& FDevice;
  std::vector<TRow> FRows;
};

// Shows the dialog for Device; true when it closed with OK and the device
// took the values. Refused values are reported in a message box.
bool ScanOptionsDialog(TScanDevice& Device);

}  // namespace kv

// The common frame of the small tool dialogs: controls laid out top to bottom
// in a label column and a control column, buttons at the bottom, and a
// settings store that keeps each named control's state between runs: read
// when the dialog is shown, written when it closes (run or cancelled) or,
// when it never closed, when it is freed.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/forms.h"

namespace kv {

class TLabel;
class TEdit;
class TCheckBox;
class TComboBox;
class TButton;
class tformstorage1;

class TToolDialog : public TForm {
 public:
  TToolDialog(TComponent* AOwner, const std::string& AName, const std::string& ACaption);
  ~TToolDialog() override;

  // The line the dialog built; empty when it was cancelled.
  std::string ResultLine;

  TLabel* AddNote(const std::string& Text);
  TEdit* AddEdit(const std::string& Caption, const std::string& Name, const std::string& Default);
  TCheckBox* AddCheck(const std::string& Caption, const std::string& Name, bool Default);
  TComboBox* AddCombo(const std::string& Caption, const std::string& Name, const std::vector<std::string>& Items,
                      int32_t Default);
  // A control placed by the caller whose state is kept like the others' (edits, boxes, speed buttons, memos).
  void AddStored(const std::string& Name, TWinControl* Control);
  // A frame of its own (it keeps its own settings) across both columns.
  void AddFrame(TWinControl* Frame, int32_t Height);
  // A control of its own size in the control column, with a label.
  void AddSized(const std::string& Caption, TWinControl* Control, int32_t Width, int32_t Height);
  // "Ausführen" (or the given caption) runs OnRun and closes with mrOk; "&Abbrechen" cancels;
  // "&Hilfe" shows the help context.
  void AddButtons(const std::string& RunCaption, int32_t HelpContext);
  TButton* RunButton = nullptr;
  TButton* HelpButton = nullptr;
  TNotifyEvent OnRun;

  // Whole-number value of an edit (0 when it holds none).
  static int32_t EditInt(const TEdit* Edit);

  void Dispatch(TMessage& Message) override;

 protected:
  void LoadSettings();
  tformstorage1* Store() const { return FStore; }

 private:
  void Place(TLabel* Label, TWinControl* Control, int32_t Height);
  int32_t FTop = 10;
  tformstorage1* FStore = nullptr;
  bool FStoreHooked = false;
  std::vector<std::pair<std::string, TWinControl*>> FStored;
};

}  // namespace kv

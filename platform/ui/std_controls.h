// The standard controls a dialog is built from: label, edit, check box,
// drop-down list, group frame and progress bar. Each keeps its state itself
// and shows it through a Qt widget once it has a peer, so a form can be
// filled and read before it is shown, and headless.
//
// As in the class library the forms were written for: setting an edit's
// Text raises OnChange, setting a check box's Checked raises OnClick, and
// setting a list's ItemIndex raises nothing; what the user does raises the
// same events (Select stands for the user picking a list entry).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/controls.h"

namespace kv {

// Text without a window: "&" marks an accelerator and is not drawn ("&&" draws one).
class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* AOwner);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  void Dispatch(TMessage& Message) override;

 protected:
  void Paint() override;

 private:
  void AdjustSize();
  bool FAutoSize = true;
  bool FTransparent = false;
};

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* AOwner);
  ~TEdit() override;
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  TNotifyEvent OnChange;
  void Dispatch(TMessage& Message) override;

 protected:
  void CreateWnd() override;
  virtual void Change();

  bool FFromQt = false;  // the text came from the widget: do not push it back

 private:
  bool FReadOnly = false;
};

class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* AOwner);
  ~TCheckBox() override;
  bool Checked() const { return FChecked; }
  // Raises OnClick when the state changes.
  void SetChecked(bool Value);
  // The user clicking it: the state toggles.
  void Toggle() { SetChecked(!FChecked); }
  void Dispatch(TMessage& Message) override;

 protected:
  void CreateWnd() override;
  void Click() override;

 private:
  void UpdateQt();
  bool FChecked = false;
};

// A drop-down list (csDropDownList): the user picks one of Items. Made
// editable, it also takes a typed Text (csDropDown); the entries then only
// offer texts to choose.
class TComboBox : public TWinControl {
 public:
  explicit TComboBox(TComponent* AOwner);
  ~TComboBox() override;
  bool Editable() const { return FEditable; }
  // Changing it makes the window again.
  void SetEditable(bool Value);
  // The user types a text into an editable box: ItemIndex becomes -1 and
  // OnChange runs. A list ignores it.
  void TypeText(const std::string& Text);
  void Dispatch(TMessage& Message) override;
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  const std::string& Item(int32_t Index) const { return FItems.at(static_cast<size_t>(Index)); }
  // The value kept with an entry (0 unless given).
  intptr_t ItemData(int32_t Index) const { return FData.at(static_cast<size_t>(Index)); }
  int32_t AddItem(const std::string& Text, intptr_t Data = 0);
  void SetItems(const std::vector<std::string>& Items);
  void ClearItems();
  // -1: no entry.
  int32_t ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int32_t Value);
  // The index of an entry's text, or -1.
  int32_t IndexOf(const std::string& Text) const;
  // The user picks an entry: ItemIndex moves and OnChange runs.
  void Select(int32_t Index);
  TNotifyEvent OnChange;

 protected:
  void CreateWnd() override;

 private:
  void UpdateQt();
  void UserEditedText(const std::string& Text);
  std::vector<std::string> FItems;
  std::vector<intptr_t> FData;
  int32_t FItemIndex = -1;
  bool FEditable = false;
  bool FFromUser = false;  // the text came from the user or the chosen entry
};

// A captioned frame around other controls.
class TGroupBox : public TWinControl {
 public:
  explicit TGroupBox(TComponent* AOwner);
  ~TGroupBox() override;
  void Dispatch(TMessage& Message) override;

 protected:
  void CreateWnd() override;
};

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(TComponent* AOwner);
  ~TProgressBar() override;
  int32_t Min() const { return FMin; }
  int32_t Max() const { return FMax; }
  void SetRange(int32_t AMin, int32_t AMax);
  int32_t Position() const { return FPosition; }
  // Clamped to Min..Max.
  void SetPosition(int32_t Value);

 protected:
  void CreateWnd() override;

 private:
  void UpdateQt();
  int32_t FMin = 0;
  int32_t FMax = 100;
  int32_t FPosition = 0;
};

// Caption without its accelerator marks: "&&" gives "&", a lone "&" goes.
std::string StripAccelerator(const std::string& Caption);

}  // namespace kv

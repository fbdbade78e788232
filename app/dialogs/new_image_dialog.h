// The image dialog with two faces: a new empty image ("NewImage") and the
// size of the current image ("Resize"). It only builds the command line; the
// main window hands it to the interpreter.
#pragma once
#include <string>

#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TCheckBox;
class TComboBox;
class TLabel;
class TPageControl;
class TTabSheet;
class TFramehsvform;
class Tform1;
class tformstorage1;
class Tsizeframe;

class TNeuGrafik : public TForm {
 public:
  explicit TNeuGrafik(TComponent* AOwner);

  Tsizeframe* sizeframe1 = nullptr;
  TPageControl* PageControl1 = nullptr;
  TTabSheet* newimagetab = nullptr;
  TTabSheet* resizetab = nullptr;
  TLabel* Label1 = nullptr;  // "Füllfarbe"
  TFramehsvform* Framehsvform1 = nullptr;
  TCheckBox* scaleCheckBox = nullptr;
  TLabel* Label2 = nullptr;  // "Filter"
  TComboBox* filterchoosebox = nullptr;
  TButton* Button1 = nullptr;  // "&Ok"
  TButton* Button2 = nullptr;  // "&Abbrechen"
  TButton* Button3 = nullptr;  // "&Hilfe"
  tformstorage1* formstorage1 = nullptr;

  // The line "&Ok" built; empty until then.
  const std::string& ResultLine() const { return FResultLine; }
  // The line for the face shown now, from the controls.
  std::string BuildLine() const;
  bool ResizeFace() const;

  void FormShow(TObject* Sender);
  void scaleCheckBoxClick(TObject* Sender);
  void Button1Click(TObject* Sender);

 private:
  std::string FResultLine;
};

// The face is chosen by its page; the caption is the action's. Returns the
// command line on "&Ok" and "" when the dialog was cancelled.
std::string ShowImageDialog(bool Resize, const std::string& Caption);

}  // namespace kv

// The welcome window shown beside the images, and the about box.
#pragma once
#include <string>
#include <vector>

#include "platform/ui/forms.h"
#include "platform/ui/std_controls.h"

namespace kv {

class TmyKvLabel;
class TButton;
class TCheckBox;
class TImage;

// "Willkommen": help topics, the tour, the shell links, and a box that stops
// it from showing at every start (the main window's "NoWelcome").
class Tinfoform : public TForm {
 public:
  explicit Tinfoform(TComponent* AOwner);
  TmyKvLabel* Label1 = nullptr;
  // The topic buttons, each opening help at its context (21 to 29).
  std::vector<TButton*> TopicButtons;
  TButton* TourButton = nullptr;
  TButton* LinkButton = nullptr;   // "Explorer Verknüpfungen"
  TButton* CloseButton = nullptr;  // "Fenster schließen"
  TCheckBox* CheckBox1 = nullptr;  // "Diesen Dialog nicht mehr anzeigen"

  static const char* const kLinkQuestion;

  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void LinkButtonClick(TObject* Sender);
};

// A label showing a web address: the highlight colour under the mouse, the
// caption text colour otherwise; a click opens its text with the desktop.
class TLinkLabel : public TLabel {
 public:
  explicit TLinkLabel(TComponent* AOwner);
  void Dispatch(TMessage& Message) override;
  void Click() override;
};

// The program's name and version, its release date and its web addresses.
class Taboutform : public TForm {
 public:
  explicit Taboutform(TComponent* AOwner);
  TmyKvLabel* Label1 = nullptr;  // the name followed by " 3.6"
  TImage* Image1 = nullptr;
  TLabel* DateLabel = nullptr;   // "Ausgabedatum:" and the release date
  std::vector<TLinkLabel*> Links;
  TButton* OKButton = nullptr;
};

}  // namespace kv

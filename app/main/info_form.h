// The welcome window shown beside the images, and the about box.
#pragma once
#include "platform/ui/forms.h"

namespace kv {

class TmyKvLabel;
class TButton;

// A plain image-area window that greets the user.
class Tinfoform : public TForm {
 public:
  explicit Tinfoform(TComponent* AOwner);
  TmyKvLabel* Label1 = nullptr;
};

// The program's name and version, closed with OK.
class Taboutform : public TForm {
 public:
  explicit Taboutform(TComponent* AOwner);
  TmyKvLabel* Label1 = nullptr;
  TButton* OKButton = nullptr;
};

}  // namespace kv

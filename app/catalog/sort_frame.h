// The two-key sort choice: "1.Sortierung" and "2.Sortierung", each a sort
// key with its own "absteigend" box, written to and read from a parameter
// text.
#pragma once
#include <string>
#include <string_view>

#include "app/catalog/catalog_sort.h"
#include "platform/ui/frames.h"

namespace kv {

class mycombobox;
class TCheckBox;
class TLabel;
class tformstorage1;

class Tsortframe : public TFrame {
 public:
  explicit Tsortframe(TComponent* AOwner);

  TLabel* Label1 = nullptr;          // "1.Sortierung"
  mycombobox* mycombobox1 = nullptr;  // first key
  TCheckBox* CheckBox1 = nullptr;    // first key descending
  TLabel* Label2 = nullptr;          // "2.Sortierung"
  mycombobox* mycombobox2 = nullptr;  // second key
  TCheckBox* CheckBox2 = nullptr;    // second key descending
  tformstorage1* formstorage1 = nullptr;

  // Raised by every change of a key or a box.
  TNotifyEvent OnChange;

  // Appends " Sort1=.. Sort2=.. Sort2descanding=.. Sort1descanding=..".
  void setsort(std::string& Params) const;
  // Takes the four values of Params (0 and false when absent); a key that
  // is no sort key of the lists reads as 0.
  void getsort(std::string_view Params);
  TCatalogSort Sort() const;

 private:
  void SortChanged(TObject* Sender);
};

}  // namespace kv

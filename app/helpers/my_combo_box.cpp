#include "app/helpers/my_combo_box.h"

namespace kv {

mycombobox::mycombobox(TComponent* AOwner) : TComboBox(AOwner) {}

mycombobox::mycombobox(TComponent* AOwner, const std::vector<std::string>& Items) : TComboBox(AOwner) {
  SetItems(Items);
  Loaded();
}

void mycombobox::Loaded() {
  TComboBox::Loaded();
  if (Count() > 0 && ItemIndex() < 0) SetItemIndex(0);
}

const TPropertyTable& mycombobox::PropertyTable() const {
  static const auto table = TPropertyTable::Make<mycombobox>(TComboBox::PropertyTable(), [](auto& p) {
    p.Integer("ItemIndex", &mycombobox::ItemIndex, &mycombobox::SetItemIndex);
  });
  return table;
}

}  // namespace kv

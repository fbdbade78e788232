// The drop-down list that always shows a choice: once it has entries and
// none is chosen, the first one is. Its ItemIndex is a published property, so
// a settings store can keep it by name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/std_controls.h"

namespace kv {

class mycombobox : public TComboBox {
 public:
  explicit mycombobox(TComponent* AOwner);
  // Built with its entries: the first is chosen.
  mycombobox(TComponent* AOwner, const std::vector<std::string>& Items);

  // The end of construction: with entries and no choice, entry 0 is chosen.
  void Loaded() override;
  const TPropertyTable& PropertyTable() const override;
};

}  // namespace kv

// The window picker of the screen source: "Desktop" first, then every
// visible top-level window with a title, topmost first.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TListBox;

class Tscreendriverform : public TForm {
 public:
  explicit Tscreendriverform(TComponent* AOwner);

  TListBox* ListBox1 = nullptr;
  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;

  // The entries as listed: text and window (0 the desktop).
  struct TEntry {
    std::string Text;
    uint32_t Window = 0;
  };
  const std::vector<TEntry>& Entries() const { return FEntries; }
  // Lists the windows again; the first entry is selected.
  void FillList();
  // The chosen window after OK.
  uint32_t Result = 0;

  void OkClick(TObject* Sender);
  void ListBox1DblClick(TObject* Sender);

 private:
  std::vector<TEntry> FEntries;
};

// Shows the picker; true with Window set after OK.
bool ChooseScreenWindow(uint32_t& Window);

}  // namespace kv

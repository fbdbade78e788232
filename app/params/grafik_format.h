// tgrafikformat: a group frame with a check list and the buttons "&Alle
// Markieren" and "&Keine Markieren", with which a dialog chooses a set of
// image file kinds or a set of image-information fields.
//
// Set Kind first (it fills the list), then FileFormatset or ImageInfoset;
// read the chosen set back through the same property.
#pragma once
#include <cstdint>

#include "app/params/file_kind_types.h"
#include "platform/ui/std_controls.h"

namespace kv {

class TButton;
class TCheckListBox;

enum tcheckkind : uint8_t { loadablegrafik, imageinfo };

class tgrafikformat : public TGroupBox {
 public:
  explicit tgrafikformat(TComponent* AOwner);
  ~tgrafikformat() override;

  tcheckkind Kind() const { return FKind; }
  // Refills the list: the image kinds' descriptions, or the 11 information texts.
  void SetKind(tcheckkind Value);
  // Only image kinds have a place in the list; others are ignored.
  tFileFormatset FileFormatset() const;
  void SetFileFormatset(tFileFormatset Value);
  tImageInfoset ImageInfoset() const;
  void SetImageInfoset(tImageInfoset Value);
  const TNotifyEvent& OnChecklistChange() const { return FOnChecklistChange; }
  // Also the list's check-click handler: a click on one box raises it too.
  void SetOnChecklistChange(TNotifyEvent Value);

  TCheckListBox& CheckList() const { return *FList; }
  TButton& AllButton() const { return *FAll; }
  TButton& NoneButton() const { return *FNone; }

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 private:
  void PlaceParts();
  void ButtonClick(TObject* Sender);

  tcheckkind FKind = loadablegrafik;
  TCheckListBox* FList;  // owned as components
  TButton* FAll;
  TButton* FNone;
  TNotifyEvent FOnChecklistChange;
};

}  // namespace kv

#include "app/params/grafik_format.h"

#include "app/params/file_kinds.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"

namespace kv {

tgrafikformat::tgrafikformat(TComponent* AOwner) : TGroupBox(AOwner) {
  FList = new TCheckListBox(this);
  FList->SetParent(this);
  FList->SetLeft(10);
  FList->SetTop(15);
  FList->SetColor(clBtnFace);

  auto button = [this](const char* Caption, int32_t Width, int32_t Left, intptr_t Tag) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetCaption(Caption);
    b->SetBounds(Left, b->Top(), Width, 20);
    b->SetTag(Tag);
    b->OnClick = [this](TObject* Sender) { ButtonClick(Sender); };
    return b;
  };
  FAll = button("&Alle Markieren", 100, 10, 0);
  FNone = button("&Keine Markieren", 110, 110, 1);
  SetKind(loadablegrafik);
  PlaceParts();
}

tgrafikformat::~tgrafikformat() = default;

void tgrafikformat::SetKind(tcheckkind Value) {
  FKind = Value;
  TStrings& items = FList->Items();
  items.Clear();
  if (FKind == loadablegrafik) {
    for (int i = 0; i < kFileFormatCount; ++i) {
      const auto k = static_cast<tFileFormat>(i);
      if (ImageKinds.Contains(k)) items.Add(FileKindDescription(FileKindText(k)));
    }
  } else {
    for (int i = 0; i < kImageInfoCount; ++i) items.Add(ImageInfoText(static_cast<tImageInfo>(i)));
  }
}

tFileFormatset tgrafikformat::FileFormatset() const {
  tFileFormatset s;
  const int32_t n = std::min(FList->Items().Count(), FileKindListIndex(tFileFormat::pcf));
  for (int32_t i = 0; i < n; ++i)
    if (FList->Checked(i)) s.Include(FileKindAtListIndex(i));
  return s;
}

void tgrafikformat::SetFileFormatset(tFileFormatset Value) {
  for (int i = 0; i < kFileFormatCount; ++i) {
    const auto k = static_cast<tFileFormat>(i);
    if (!ImageKinds.Contains(k)) continue;
    const int32_t place = FileKindListIndex(k);
    if (place < FList->Items().Count()) FList->SetChecked(place, Value.Contains(k));
  }
}

tImageInfoset tgrafikformat::ImageInfoset() const {
  tImageInfoset s;
  const int32_t n = std::min(FList->Items().Count(), kImageInfoCount);
  for (int32_t i = 0; i < n; ++i)
    if (FList->Checked(i)) s.Include(static_cast<tImageInfo>(i));
  return s;
}

void tgrafikformat::SetImageInfoset(tImageInfoset Value) {
  for (int32_t i = 0; i < FList->Items().Count(); ++i)
    FList->SetChecked(i, i < kImageInfoCount && Value.Contains(static_cast<tImageInfo>(i)));
}

void tgrafikformat::SetOnChecklistChange(TNotifyEvent Value) {
  FOnChecklistChange = Value;
  FList->OnClickCheck = std::move(Value);
}

void tgrafikformat::ButtonClick(TObject* Sender) {
  const bool check = static_cast<TButton*>(Sender)->Tag() == 0;
  // One change event for the whole sweep, not one per line.
  TNotifyEvent saved = std::move(FList->OnClickCheck);
  FList->OnClickCheck = nullptr;
  for (int32_t i = 0; i < FList->Items().Count(); ++i) FList->SetChecked(i, check);
  FList->OnClickCheck = std::move(saved);
  if (FOnChecklistChange) FOnChecklistChange(Sender);
}

void tgrafikformat::PlaceParts() {
  for (TButton* b : {FAll, FNone}) b->SetTop(ClientHeight() - b->Height() - 5);
  FList->SetWidth(Width() - 20);
  FList->SetHeight(FAll->Top() - 20);
}

void tgrafikformat::Dispatch(TMessage& Message) {
  TGroupBox::Dispatch(Message);
  if (Message.Msg == WM_SIZE) PlaceParts();
}

const TPropertyTable& tgrafikformat::PropertyTable() const {
  static const auto table = TPropertyTable::Make<tgrafikformat>(TGroupBox::PropertyTable(), [](auto& p) {
    p.Enum("Kind", &tgrafikformat::Kind, &tgrafikformat::SetKind, {"loadablegrafik", "imageinfo"});
    p.Set("FileFormatset", &tgrafikformat::FileFormatset, &tgrafikformat::SetFileFormatset,
          {"jpg", "png", "bmp", "pcx", "gif", "tiff", "tga", "wmf", "emf", "ico", "cur", "pcf", "avi", "dxf", "imv",
           "wav", "mid", "wma", "mp3"});
    p.Set("ImageInfoset", &tgrafikformat::ImageInfoset, &tgrafikformat::SetImageInfoset,
          {"filename", "filepath", "filedate", "filesize", "filetype", "imagewidth", "imageheight", "numpixels",
           "textcomment", "resolution", "orientation"});
  });
  return table;
}

}  // namespace kv

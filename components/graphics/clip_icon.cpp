#include "components/graphics/clip_icon.h"

#include <vector>

#include "platform/graphics/picture.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace kv {

TClipFormat CF_ICON() {
  static const TClipFormat f = RegisterClipboardFormat(CF_ICON_NAME);
  return f;
}

void CopyIconToClipboard(const TIcon& Icon) {
  if (Icon.Empty()) return;
  TMemoryStream s;
  const_cast<TIcon&>(Icon).SaveToStream(s);
  TClipboard& c = Clipboard();
  c.Open();
  c.SetBuffer(CF_ICON(), s.Memory(), size_t(s.Size()));
  c.SetBitmap(*Icon.Image());
  c.Close();
}

bool PasteIconFromClipboard(TIcon& Icon) {
  const std::vector<uint8_t> data = Clipboard().GetBuffer(CF_ICON());
  if (data.empty()) return false;
  TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
  TIcon tmp;
  tmp.LoadFromStream(s);
  Icon.Assign(&tmp);
  return true;
}

namespace {
// At start-up the icon format is known to the picture as the icon's.
struct TClipIconRegistration {
  TClipIconRegistration() {
    TPicture::RegisterClipboardFormat(CF_ICON(), [] { return std::make_unique<TIcon>(); });
  }
  ~TClipIconRegistration() { TPicture::UnregisterGraphicClass(TIcon().ClassName()); }
} GClipIconRegistration;
}  // namespace

}  // namespace kv

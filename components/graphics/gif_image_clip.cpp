// GIF pictures on the clipboard and as a graphic class of the picture.
#include <vector>

#include "components/graphics/gif_image.h"
#include "components/graphics/gif_texts.h"
#include "platform/graphics/picture.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/clipboard.h"

namespace kv {

TClipFormat CF_GIF() {
  static const TClipFormat f = RegisterClipboardFormat(CF_GIF_NAME);
  return f;
}

void TGIFImage::SaveToClipboardFormat() {
  if (FFrames.empty()) throw EInvalidGraphicOperation(SGIFNoData);
  TClipboard& c = Clipboard();
  c.Open();
  try {
    if (TBitmap* b = FFrames[0]->DecodedBitmap()) c.SetBitmap(*b);
    bool allCoded = true;
    for (const auto& f : FFrames) allCoded = allCoded && f->Item && !f->Item->CodedData.empty();
    if (allCoded) {
      TMemoryStream s;
      WriteGif(s, true);
      c.SetBuffer(CF_GIF(), s.Memory(), size_t(s.Size()));
    }
  } catch (...) {
    c.Close();
    throw;
  }
  c.Close();
}

void TGIFImage::LoadFromClipboardFormat() {
  TClipboard& c = Clipboard();
  if (c.HasFormat(CF_GIF())) {
    const std::vector<uint8_t> data = c.GetBuffer(CF_GIF());
    TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
    ReadData(s);
    if (!FFrames.empty()) {
      FCurrentFrame = 0;
      TBitmap b;
      if (c.GetBitmap(b)) FFrames[0]->SetBitmap(b, true);
    }
    Changed();
    return;
  }
  TBitmap b;
  if (!c.GetBitmap(b)) throw EInvalidGraphic("Das Format der Zwischenablage wird nicht unterstützt");
  Assign(&b);
}

void RegisterGIFImage() {
  TPicture::RegisterFileFormat("gif", "CompuServe GIF Bild", [] { return std::make_unique<TGIFImage>(); });
  TPicture::RegisterClipboardFormat(CF_GIF(), [] { return std::make_unique<TGIFImage>(); });
}

void UnregisterGIFImage() { TPicture::UnregisterGraphicClass(TGIFImage().ClassName()); }

}  // namespace kv

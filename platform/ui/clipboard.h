// The clipboard: formats by number, the standard ones and those registered by
// name, each holding bytes. Bitmaps travel as packed device-independent
// bitmaps (CF_DIB) and, for other programs, as a plain image; a plain image
// or BMP file that another program put there reads back as CF_DIB. Data set
// between Open and Close go out together; outside them each Set replaces the
// clipboard's content.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/system/clipboard_service.h"

namespace kv {

class TBitmap;

// The same name gives the same number (from 0xC000), whatever its case.
TClipFormat RegisterClipboardFormat(const std::string& Name);
// Empty for a number that was never registered.
std::string GetClipboardFormatName(TClipFormat Format);

class TClipboard : public TClipboardService {
 public:
  void Open() override;
  void Close() override;
  void Clear() override;
  bool HasFormat(TClipFormat Format) const override;
  void SetBuffer(TClipFormat Format, const void* Data, size_t Size) override;
  std::vector<uint8_t> GetBuffer(TClipFormat Format) const override;
  void SetBitmap(const TBitmap& Bitmap);
  // False (Bitmap unchanged) when no bitmap is on the clipboard or it does not load.
  bool GetBitmap(TBitmap& Bitmap) const;

 private:
  int32_t FOpenCount = 0;
  std::vector<std::pair<TClipFormat, std::vector<uint8_t>>> FPending;
  void Publish();
};

// The one clipboard; it is also the ClipboardService of the lower layers
// from the moment it or the Qt application object is first made.
TClipboard& Clipboard();

}  // namespace kv

// The clipboard: formats by number, the standard ones and those registered by
// name, each holding bytes; bitmaps travel as device-independent bitmap files.
// Data set between Open and Close go out together; outside them each Set
// replaces the clipboard's content.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class TBitmap;
using TClipFormat = uint32_t;
constexpr TClipFormat CF_BITMAP = 2;
constexpr TClipFormat CF_DIB = 8;

// The same name gives the same number (from 0xC000), whatever its case.
TClipFormat RegisterClipboardFormat(const std::string& Name);
// Empty for a number that was never registered.
std::string GetClipboardFormatName(TClipFormat Format);

class TClipboard {
 public:
  void Open();
  void Close();
  void Clear();
  bool HasFormat(TClipFormat Format) const;
  void SetBuffer(TClipFormat Format, const void* Data, size_t Size);
  // Empty when the format is not on the clipboard.
  std::vector<uint8_t> GetBuffer(TClipFormat Format) const;
  void SetBitmap(const TBitmap& Bitmap);
  // False (Bitmap unchanged) when no bitmap is on the clipboard or it does not load.
  bool GetBitmap(TBitmap& Bitmap) const;

 private:
  int32_t FOpenCount = 0;
  std::vector<std::pair<TClipFormat, std::vector<uint8_t>>> FPending;
  void Publish();
};

TClipboard& Clipboard();

}  // namespace kv

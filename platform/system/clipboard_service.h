// What the layers below the user interface need of the system clipboard:
// formats by number, each holding bytes. The user interface layer installs
// the clipboard that speaks to the desktop; until then there is none and
// clipboard operations do nothing, as when the clipboard cannot be opened.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv {

using TClipFormat = uint32_t;
constexpr TClipFormat CF_BITMAP = 2;
// A packed device-independent bitmap: info header, masks, colour table and rows.
constexpr TClipFormat CF_DIB = 8;

class TClipboardService {
 public:
  virtual ~TClipboardService() = default;
  // Data set between Open and Close go out together.
  virtual void Open() = 0;
  virtual void Close() = 0;
  virtual void Clear() = 0;
  virtual bool HasFormat(TClipFormat Format) const = 0;
  virtual void SetBuffer(TClipFormat Format, const void* Data, size_t Size) = 0;
  // Empty when the format is not on the clipboard.
  virtual std::vector<uint8_t> GetBuffer(TClipFormat Format) const = 0;
};

// The installed clipboard, or nullptr.
TClipboardService* ClipboardService();
void SetClipboardService(TClipboardService* Service);

}  // namespace kv

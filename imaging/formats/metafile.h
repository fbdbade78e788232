// Metafiles (WMF and EMF) are imported by drawing them into a bitmap. The
// formats layer recognises them but draws nothing itself: a renderer is
// installed by the layer that has one. Until then an import fails through
// the aborted flag.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kv {

class TBitmap;

// One loaded metafile.
class TIOMetafile {
 public:
  virtual ~TIOMetafile() = default;
  // Its own size in screen pixels.
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // Draws it at 0,0 stretched to Width x Height into Target (clipped to it).
  virtual void Draw(TBitmap& Target, int32_t Width, int32_t Height) = 0;
};

// Null when the graphics system cannot load the data. FileType is ioWMF or ioEMF.
using TIOMetafileLoader = std::unique_ptr<TIOMetafile> (*)(const std::vector<uint8_t>& Data, int32_t FileType);

// The installed loader; until one is set, the renderer of the graphics layer
// (DefaultIOMetafileLoader). Setting null leaves metafiles undrawable.
void SetIOMetafileLoader(TIOMetafileLoader Loader);
TIOMetafileLoader IOMetafileLoader();
// Draws through SVG made by the system's metafile converters, sized by the
// file's own header at IODefaultDpi.
TIOMetafileLoader DefaultIOMetafileLoader();

// ioEMF for an enhanced metafile, ioWMF for a Windows metafile (with or
// without the placeable header), 0 for anything else.
int32_t DetectMetafileType(const uint8_t* Data, size_t Length);

// True when the records of a metafile of FileType (ioWMF or ioEMF) chain
// within Length: every record at least its minimum size and inside the data,
// up to the end-of-file record or exactly to the end of the data.
bool MetafileRecordsSound(const uint8_t* Data, size_t Length, int32_t FileType);

}  // namespace kv

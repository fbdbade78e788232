// The texts of the open and save dialogs with preview: their filters from
// the file-type table, the extension rules, the format parameters page of an
// extension and the information lines about a file.
#pragma once
#include <cstdint>
#include <string>

#include "imaging/model/words.h"

namespace kv {

class TIOParamsVals;

// "All graphics|..." and one entry per readable type, then AVI.
std::string BuildOpenFilter();
// One entry per writable type, then AVI.
std::string BuildSaveFilter();
// The save dialog's filter before any rebuild.
std::string InitialSaveFilter();

// The first extension of a pattern list ("*.tif;*.tiff" gives "tif"); empty
// when it has none or a wildcard.
std::string FirstPatternExtension(const std::string& Pattern);
// Name with its extension replaced by Ext (no dot), or Ext appended when it
// has none; only the last extension goes ("my.photo.jpg" gives "my.photo.png").
// Folders in the name keep their dots. An empty name stays empty.
std::string ReplaceNameExtension(const std::string& Name, const std::string& Ext);

// The format parameters page (4 JPEG ... 256 TGA) for a file name's
// extension, else for DefaultExt (without dot); 0 when neither names one.
// GIF counts only with the GIF encoder installed.
int32_t AdvancedPageFor(const std::string& FileName, const std::string& DefaultExt);

// The five information lines about a file.
struct TIMPreviewInfo {
  std::string PicLabel1;   // size and frames
  std::string PicLabel2;   // colours
  std::string PicLabel3;   // resolution
  std::string InfoLabel1;  // format summary
  std::string InfoLabel2;  // file size and memory
};
TIMPreviewInfo PreviewInfo(const TIOParamsVals& Params, int32_t FrameCount, int64_t FileSize, TMsgLanguage Language);

}  // namespace kv

// The EXIF fields of the parameter record, taken from a TIFF directory and
// from the EXIF sub-directory it points to.
#pragma once
#include <vector>

#include "imaging/formats/tiff_dir.h"

namespace kv {

class TIOParamsVals;

// Fills the EXIF fields that the entries (and their EXIF sub-directory) hold;
// the others stay as they were.
void ReadExifFields(TTiffFile& File, const std::vector<TTiffEntry>& Entries, TIOParamsVals& Params);

}  // namespace kv

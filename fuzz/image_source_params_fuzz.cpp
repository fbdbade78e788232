// Image-source parameter texts come from batch files, show files and stored
// settings. Any text reads without a fault into values in their ranges, and
// what the source frame writes from them reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/catalog/image_source.h"
#include "app/params/param_strings.h"

using namespace kv;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool Same(const TImageSourceParams& A, const TImageSourceParams& B) {
  return A.SourceMode == B.SourceMode && A.Dir == B.Dir && A.Subdirs == B.Subdirs && A.Catalog == B.Catalog &&
         A.Seperate == B.Seperate && A.Sort.Sort1 == B.Sort.Sort1 && A.Sort.Sort2 == B.Sort.Sort2 &&
         A.Sort.Sort1Descending == B.Sort.Sort1Descending && A.Sort.Sort2Descending == B.Sort.Sort2Descending &&
         A.Filetypes == B.Filetypes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 4096) return 0;
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  const TImageSourceParams p = ReadImageSourceParams(text);
  Check(p.Sort.Sort1 >= skNone && p.Sort.Sort1 <= skLastKind);
  Check(p.Sort.Sort2 >= skNone && p.Sort.Sort2 <= skLastKind);
  const tFileFormatset kinds = FiletypesToKinds(p.Filetypes);
  ImageSourceAccepts(p.Dir, kinds);
  ImageSourceAccepts(p.Catalog, kinds);
  std::string written;
  try {
    written = WriteParamInt("SourceMode", p.SourceMode) + WriteParamString("Dir", p.Dir) +
              WriteParamBool("Subdirs", p.Subdirs) + WriteParamString("catalog", p.Catalog) +
              WriteParamBool("seperate", p.Seperate) + WriteParamInt("Sort1", p.Sort.Sort1) +
              WriteParamInt("Sort2", p.Sort.Sort2) + WriteParamBool("Sort2descanding", p.Sort.Sort2Descending) +
              WriteParamBool("Sort1descanding", p.Sort.Sort1Descending) + WriteParamInt("Filetypes", p.Filetypes);
  } catch (const EParamValueError&) {
    return 0;  // a name no parameter text can hold: refused when written
  }
  Check(Same(ReadImageSourceParams(written), p));
  return 0;
}

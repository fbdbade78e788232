// Plug-in property lists come from files of other makers: any bytes are read without
// reading past them, and the texts never outgrow what the bytes can hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "pluginhost/pipl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  // An exact-size copy, so that ASan sees any read past the end.
  std::vector<uint8_t> bytes(Data, Data + Size);
  kv::TPiPLInfo info;
  kv::ReadPiPL(bytes.data(), bytes.size(), info);
  if (info.Name.size() > 255 || info.Category.size() > 255 || info.EntryPoint.size() > Size) std::abort();
  return 0;
}

// Parameter strings come from batch files, the command line of a second
// start and stored settings. Any line must read without a fault, and the
// one-pass list reader must agree with reading each item by name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/params/format_params.h"
#include "app/params/param_strings.h"
#include "imaging/formats/io_params.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/string_list.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 4096) return 0;
  const std::string line(reinterpret_cast<const char*>(Data), Size);

  ReadCommandParam(line, "COMMAND", "");
  ReadParamInt(line, "Width", 600);
  ReadParamFloat(line, "Width", 600.0);
  ReadParamBool(line, "Resample", false);
  ReadParamImageInfoset(line, "Info");
  ReadParamFileFormatset(line, "Filetypes", tFileFormatset{});
  TFont font;
  ReadParamFont(line, font);

  TStringList list;
  if (ReadParamStrings(line, "Text", list)) {
    for (int32_t i = 0; i < list.Count(); ++i)
      if (list.Get(i) != ReadParamString(line, "Text" + std::to_string(i), "")) std::abort();
  } else if (list.Count() != 0) {
    std::abort();
  }

  for (const char* name : {"a.tif", "a.gif", "a.jpeg", "a.pcx", "a.bmp", "a.png", "a.tga"}) {
    TIOParamsVals params(nullptr);
    ReadFormatParams(line, params, name);
    try {
      // What was read must read back the same from what is written.
      const std::string written = WriteFormatParams(params, name);
      TIOParamsVals back(nullptr);
      ReadFormatParams(written, back, name);
      if (WriteFormatParams(back, name) != written) std::abort();
    } catch (const EParamValueError&) {
      // a line break inside a quoted value: refused, as it should be
    }
  }
  return 0;
}

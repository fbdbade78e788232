// Comment files beside pictures and the program's information text are read
// as text lines: any bytes load, and the lines survive the escaped form the
// program passes them in, unless a line itself holds the escape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/layer/layer_helpers.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 65536) return 0;
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  kv::TStringList lines;
  lines.LoadFromStream(in);
  const std::string escaped = kv::ListToEscapedText(lines);
  kv::TStringList back;
  kv::EscapedTextToList(escaped, back);
  bool plain = true;
  for (int32_t i = 0; i < lines.Count(); ++i) plain = plain && lines.Get(i).find("\\r\\n") == std::string::npos;
  if (!plain) return 0;
  if (back.Count() != lines.Count()) std::abort();
  for (int32_t i = 0; i < lines.Count(); ++i)
    if (back.Get(i) != lines.Get(i)) std::abort();
  return 0;
}

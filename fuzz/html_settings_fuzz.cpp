// The HTML gallery's ".sht" settings files are read as the settings window
// loads them: the first line of the file. Any bytes read without a fault,
// and the settings written from what was read keep to one line that saving
// and loading again leaves as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/workflows/slide_html.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 8192) return 0;
  TReadOnlyMemoryStream in(Data, int64_t(Size));
  TStringList file;
  file.LoadFromStream(in);
  if (file.Count() == 0) return 0;
  THtmlSettings h;
  ReadHtmlSettings(file.Get(0), h);
  // Saved, loaded and saved again: after one round the line stays as it is.
  // (An empty text is not offered by the parameter reader, so the first
  // round may bring back a default in its place.)
  const std::string saved = WriteHtmlSettings(h);
  if (saved.find_first_of("\r\n") != std::string::npos) std::abort();
  THtmlSettings back;
  ReadHtmlSettings(saved, back);
  const std::string again = WriteHtmlSettings(back);
  THtmlSettings third;
  ReadHtmlSettings(again, third);
  if (WriteHtmlSettings(third) != again) std::abort();
  HtmlColour(third.GRbc);
  return 0;
}

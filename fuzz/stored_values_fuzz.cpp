// Stored form values and properties come back from the registry as text,
// whatever was written there: every value loads into its property or is left
// alone, and what the object then stores loads back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "components/props_storage.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"

namespace {

using TSection = std::map<std::string, std::string>;

// The store's three operations over one section in memory.
void Bind(kv::TPropsStorage& s, TSection& Values) {
  s.Section = "Form1";
  s.OnReadString = [&Values](const std::string&, const std::string& Ident, const std::string& Default) {
    const auto it = Values.find(kv::UpperCase(Ident));
    return it == Values.end() ? Default : it->second;
  };
  s.OnWriteString = [&Values](const std::string&, const std::string& Ident, const std::string& Value) {
    Values[kv::UpperCase(Ident)] = Value;
  };
  s.OnEraseSection = [&Values](const std::string&) { Values.clear(); };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 16384) return 0;
  // "Ident=Value" lines, as a section of the store holds them.
  kv::TStringList lines;
  lines.SetText(std::string_view(reinterpret_cast<const char*>(Data), Size));
  TSection stored;
  for (int32_t i = 0; i < lines.Count(); ++i) {
    const std::string& l = lines.Strings(i);
    const size_t eq = l.find('=');
    if (eq != std::string::npos) stored[kv::UpperCase(l.substr(0, eq))] = l.substr(eq + 1);
  }
  kv::TFont font;
  kv::TPropsStorage in;
  Bind(in, stored);
  in.Object = &font;
  in.LoadProperties();
  TSection first;
  kv::TPropsStorage out;
  Bind(out, first);
  out.Object = &font;
  out.StoreProperties();
  kv::TFont again;
  kv::TPropsStorage back;
  Bind(back, first);
  back.Object = &again;
  back.LoadProperties();
  TSection second;
  kv::TPropsStorage out2;
  Bind(out2, second);
  out2.Object = &again;
  out2.StoreProperties();
  if (first != second) std::abort();
  return 0;
}

// "show.ini" and "wallp.ini" hold a slide-show command on their first line;
// the player, the wallpaper changer and the setup window read it. Any bytes
// read without a fault, and the setup window's command written from what it
// read keeps to one line that writing and reading again leaves as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/catalog/image_source.h"
#include "app/params/param_strings.h"
#include "app/workflows/slide_settings.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 8192) return 0;
  TReadOnlyMemoryStream in(Data, int64_t(Size));
  TStringList file;
  file.LoadFromStream(in);
  const std::string line = file.Count() > 0 ? file.Get(0) : "";

  // What the player and the changer take from the line.
  for (const char* name : {"Imagesizemode", "Anchor", "Filter", "EffectsTime", "Soundmode", "Color", "Canvasmode",
                           "Canvasmode2width", "Canvasmode2height"})
    ReadParamInt(line, name, 0);
  for (const char* name : {"Effects", "noBorder", "Hidemouse", "Move", "forever"}) ReadParamBool(line, name, false);
  ReadParamFloat(line, "Interval", 60);
  ReadParamString(line, "Soundmode1Filename", "");
  ReadParamImageInfoset(line, "Info");
  ReadImageSourceParams(line);

  // The setup window opened on the line writes one command line, which after
  // one round reads back the same. (An empty text is not offered by the
  // parameter reader, so the first round may bring back a default.)
  const std::string cmd = getcmdstring(SlideSettingsFromCommand(line));
  if (cmd.find_first_of("\r\n") != std::string::npos) std::abort();
  const std::string again = getcmdstring(SlideSettingsFromCommand(cmd));
  if (getcmdstring(SlideSettingsFromCommand(again)) != again) std::abort();
  return 0;
}

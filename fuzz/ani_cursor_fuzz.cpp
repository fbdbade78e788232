// Animated cursor reader: any bytes load or raise one of the library's
// exceptions; what loads has at least one frame, each with an icon, and the
// header's step count matches the frames.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "components/graphics/ani_file.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::TAnimatedCursorImage a;
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  try {
    a.LoadFromStream(in);
  } catch (const kv::Exception&) {
    if (a.FrameCount() != 0) std::abort();  // a refused file leaves the image empty
    return 0;
  }
  if (a.FrameCount() == 0 || a.AniHeader().StepCount != uint32_t(a.FrameCount())) std::abort();
  for (int32_t i = 0; i < a.FrameCount(); ++i)
    if (a.FrameItems(i).FrameIcon().Empty()) std::abort();
  return 0;
}

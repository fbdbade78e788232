// ".asc" mesh files: any text either reads into objects whose faces name
// existing vertices, or is refused with EMeshError; drawing what was read
// stays inside the bitmaps.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/processing/mesh3d.h"
#include "platform/graphics/bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace kv;
  TBitmap l(40, 30, pf24bit), r(40, 30, pf24bit);
  tobjects3d m(&l, &r);
  try {
    m.LoadAscText(std::string(reinterpret_cast<const char*>(Data), Size));
  } catch (const EMeshError&) {
    return 0;
  }
  for (const TMeshObject& o : m.Objects)
    for (const TMeshFace& f : o.Faces)
      for (int32_t i : {f.A, f.B, f.C})
        if (i < 0 || size_t(i) >= o.Vertices.size()) __builtin_trap();
  m.BuildMatrix();
  for (int32_t i = 0; i < int32_t(m.Objects.size()); ++i) {
    m.DrawEye(i, 0);
    m.DrawEye(i, 1);
  }
  return 0;
}

// kv_metafile_writer wmf|emf PATH WIDTH HEIGHT [LEFT TOP RIGHT BOTTOM RED GREEN BLUE]...
// Writes a metafile of filled rectangles (see metafile_writer.h); exit status 0 on success.
#include <cstdlib>
#include <string>
#include <vector>

#include "metafile_writer.h"

int main(int argc, char** argv) {
  if (argc < 5 || (argc - 5) % 7 != 0) return 2;
  const std::string kind = argv[1];
  std::vector<kv::test::TMetaRect> rects;
  for (int i = 5; i < argc; i += 7) {
    auto n = [&](int k) { return std::atoi(argv[i + k]); };
    rects.push_back({n(0), n(1), n(2), n(3), uint8_t(n(4)), uint8_t(n(5)), uint8_t(n(6))});
  }
  const int w = std::atoi(argv[3]), h = std::atoi(argv[4]);
  const bool ok = kind == "emf" ? kv::test::WriteEmf(argv[2], w, h, rects) : kv::test::WriteWmf(argv[2], w, h, rects);
  return ok ? 0 : 1;
}

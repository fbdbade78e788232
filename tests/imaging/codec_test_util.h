// What the JPEG, EXIF and PNG tests share: running a codec as the I/O
// component would (aborted flag cleared first), a photo-like test picture,
// and pixel comparisons with what an outside tool decoded.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/formats/codec.h"
#include "platform/rtl/streams.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv::test {

using TReadProc = void (*)(TStream&, TBitmap&, TIOParamsVals&, TProgressRec&, bool, TIMMask*);

struct TCodecRun {
  bool Aborted = false;
  int32_t LastProgress = -1;
  int32_t ProgressCalls = 0;
  TProgressRec Progress;
  TCodecRun() {
    Progress.Aborted = &Aborted;
    Progress.OnProgress = [this](TObject*, int32_t Per) {
      LastProgress = Per;
      ++ProgressCalls;
    };
  }
};

// Reads the whole file through Read from a memory stream.
inline bool ReadFile(TReadProc Read, const std::string& Path, TBitmap& B, TIOParamsVals& P, bool ParamsOnly = false,
                     TIMMask* Mask = nullptr) {
  TMemoryStream s;
  s.LoadFromFile(Path);
  TCodecRun run;
  Read(s, B, P, run.Progress, ParamsOnly, Mask);
  return !run.Aborted;
}

inline std::vector<uint8_t> StreamBytes(TMemoryStream& S) {
  const auto* p = static_cast<const uint8_t*>(S.Memory());
  return {p, p + S.Size()};
}

// Smooth gradients with edges and a little noise, so that every DCT and
// filter path has work to do.
inline std::unique_ptr<TBitmap> PhotoLike(int32_t W, int32_t H) {
  return Make24(W, H, [](int32_t x, int32_t y) {
    const uint32_t n = uint32_t(x * 7919 + y * 104729) * 2654435761u >> 28;
    const uint8_t r = uint8_t((x * 255 / 67 + n) & 0xFF);
    const uint8_t g = uint8_t(((x + y) * 3 + (y / 9 % 2) * 60) & 0xFF);
    const uint8_t b = uint8_t((128 + 100 * std::sin(x * 0.2) * std::cos(y * 0.15)) + n);
    return TBGRPixel{b, g, r};
  });
}

// Largest difference of any byte between a 24-bit bitmap and a PPM the
// tools wrote; -1 when the sizes differ or the file is not a PPM.
inline int MaxDiffToPpm(const TBitmap& B, const std::string& Ppm) {
  TBitmap ref;
  if (!ReadPnm(Ppm, ref) || ref.Width() != B.Width() || ref.Height() != B.Height() ||
      ref.PixelFormat() != B.PixelFormat())
    return -1;
  int worst = 0;
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* a = static_cast<const uint8_t*>(B.ScanLine(y));
    const auto* b = static_cast<const uint8_t*>(ref.ScanLine(y));
    const int32_t n = B.PixelFormat() == pf1bit ? (B.Width() + 7) / 8 : B.Width() * 3;
    for (int32_t i = 0; i < n; ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
  }
  return worst;
}

// Mean difference of the bytes, for lossy round trips; a large value when the sizes differ.
inline double MeanDiffToPpm(const TBitmap& B, const std::string& Ppm) {
  TBitmap ref;
  if (!ReadPnm(Ppm, ref) || ref.Width() != B.Width() || ref.Height() != B.Height()) return 1e9;
  double sum = 0;
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* a = static_cast<const uint8_t*>(B.ScanLine(y));
    const auto* b = static_cast<const uint8_t*>(ref.ScanLine(y));
    for (int32_t i = 0; i < B.Width() * 3; ++i) sum += std::abs(int(a[i]) - int(b[i]));
  }
  return sum / (double(B.Width()) * B.Height() * 3);
}

// Raw bytes a tool wrote to its standard output (ImageMagick's rgb:- and rgba:-).
inline std::string ToolBytes(const std::string& Command) { return RunCapture(Command); }

}  // namespace kv::test

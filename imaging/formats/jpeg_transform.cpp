// Lossless flips, rotations and crops of a JPEG on its DCT coefficients,
// through TurboJPEG's transformer (which keeps its C error handling to
// itself and only returns a status).
#include <turbojpeg.h>

#include <cstring>
#include <memory>
#include <vector>

#include "imaging/formats/jpeg.h"

namespace kv {

namespace {

struct THandleCloser {
  void operator()(void* H) const { tjDestroy(H); }
};
struct TBufferFree {
  void operator()(unsigned char* P) const { tjFree(P); }
};

// Input larger than this is refused rather than read into memory.
constexpr int64_t kMaxTransformInput = int64_t(1) << 30;

bool OperationOf(uint8_t Code, int& Op) {
  switch (Code) {
    case jtNone: Op = TJXOP_NONE; return true;
    case jtMirrorLeftRight: Op = TJXOP_HFLIP; return true;
    case jtMirrorTopBottom: Op = TJXOP_VFLIP; return true;
    case jtRotate90: Op = TJXOP_ROT90; return true;
    case jtRotate180: Op = TJXOP_ROT180; return true;
    case jtRotate270: Op = TJXOP_ROT270; return true;
    default: return false;
  }
}

// Keeps the COM markers of the header and the JFIF and Adobe markers (which
// describe the pixels), drops every other APPn marker. Segments after the
// first frame or scan header are copied unchanged.
std::vector<uint8_t> KeepCommentsOnly(const uint8_t* D, size_t N) {
  std::vector<uint8_t> out;
  out.reserve(N);
  if (N < 2) return out;
  out.insert(out.end(), D, D + 2);  // SOI
  size_t p = 2;
  while (p + 4 <= N && D[p] == 0xFF) {
    const uint8_t type = D[p + 1];
    const size_t len = size_t(D[p + 2]) << 8 | D[p + 3];
    if ((type < 0xE0 || type > 0xEF) && type != 0xFE) break;  // the header's marker part ends here
    if (len < 2 || p + 2 + len > N) break;
    const uint8_t* body = D + p + 4;
    const size_t bodyLen = len - 2;
    const bool keep = type == 0xFE || (type == 0xE0 && bodyLen >= 5 && std::memcmp(body, "JFIF", 5) == 0) ||
                      (type == 0xEE && bodyLen >= 5 && std::memcmp(body, "Adobe", 5) == 0);
    if (keep) out.insert(out.end(), D + p, D + p + 2 + len);
    p += 2 + len;
  }
  out.insert(out.end(), D + p, D + N);
  return out;
}

bool RunTransform(TStream& Input, TStream& Output, int32_t L, int32_t T, int32_t R, int32_t B,
               TJpegCopyMarkers CopyMarkers, bool Trim, uint8_t Code) {
  tjtransform t{};
  if (!OperationOf(Code, t.op)) return false;
  const int64_t start = FindJpegStart(Input);
  if (start < 0) return false;
  const int64_t size = Input.Size() - start;
  if (size <= 0 || size > kMaxTransformInput) return false;
  std::vector<uint8_t> in(static_cast<size_t>(size));
  Input.SetPosition(start);
  if (Input.Read(in.data(), int32_t(size)) != int32_t(size)) return false;

  std::unique_ptr<void, THandleCloser> h(tjInitTransform());
  if (!h) return false;
  // Refuse sizes whose coefficients we would not hold in memory.
  int w = 0, ht = 0, subsamp = 0, colorspace = 0;
  if (tjDecompressHeader3(h.get(), in.data(), static_cast<unsigned long>(size), &w, &ht, &subsamp, &colorspace) != 0 ||
      !CheckImageSize(w, ht))
    return false;

  if (L != 0 || T != 0 || R != 0 || B != 0) {
    if (L < 0 || T < 0 || R < L || B < T) return false;
    t.r.x = L;
    t.r.y = T;
    t.r.w = R - L + 1;
    t.r.h = B - T + 1;
    t.options |= TJXOPT_CROP;
  }
  if (Trim) t.options |= TJXOPT_TRIM;
  if (CopyMarkers == jcCopyNone) t.options |= TJXOPT_COPYNONE;

  unsigned char* raw = nullptr;
  unsigned long rawSize = 0;
  const int rc = tjTransform(h.get(), in.data(), static_cast<unsigned long>(size), 1, &raw, &rawSize, &t,
                             TJFLAG_LIMITSCANS);
  std::unique_ptr<unsigned char, TBufferFree> out(raw);
  if (rc != 0 || !out || rawSize == 0 || rawSize > uint64_t(INT32_MAX)) return false;
  if (CopyMarkers == jcCopyComments) {
    const std::vector<uint8_t> kept = KeepCommentsOnly(out.get(), rawSize);
    Output.WriteBuffer(kept.data(), int32_t(kept.size()));
  } else {
    Output.WriteBuffer(out.get(), int32_t(rawSize));
  }
  return true;
}

}  // namespace

TJpegTransformFit CheckJpegTransform(TStream& Input, uint8_t Transform) {
  int op = 0;
  if (!OperationOf(Transform, op)) return jfBadCode;
  const int64_t back = Input.Position();
  const int64_t start = FindJpegStart(Input);
  if (start < 0) return jfNotJpeg;
  const int64_t size = Input.Size() - start;
  if (size <= 0 || size > kMaxTransformInput) return jfNotJpeg;
  std::vector<uint8_t> in(static_cast<size_t>(size));
  Input.SetPosition(start);
  const bool read = Input.Read(in.data(), int32_t(size)) == int32_t(size);
  Input.SetPosition(back);
  if (!read) return jfNotJpeg;
  std::unique_ptr<void, THandleCloser> h(tjInitTransform());
  int w = 0, ht = 0, subsamp = 0, colorspace = 0;
  if (!h || tjDecompressHeader3(h.get(), in.data(), static_cast<unsigned long>(size), &w, &ht, &subsamp,
                                &colorspace) != 0 || subsamp < 0 || subsamp >= TJ_NUMSAMP)
    return jfNotJpeg;
  // A block row or column that is only partly inside the picture can only
  // stay where it is; a transform that has to move it to the other side fails.
  const bool fullColumns = w % tjMCUWidth[subsamp] == 0;
  const bool fullRows = ht % tjMCUHeight[subsamp] == 0;
  bool perfect = true;
  switch (op) {
    case TJXOP_HFLIP: perfect = fullColumns; break;
    case TJXOP_VFLIP: perfect = fullRows; break;
    case TJXOP_ROT90: perfect = fullRows; break;
    case TJXOP_ROT270: perfect = fullColumns; break;
    case TJXOP_ROT180: perfect = fullColumns && fullRows; break;
    default: break;
  }
  return perfect ? jfPerfect : jfDropsEdges;
}

void TransformJpegLossless(TStream& Input, TStream& Output, TProgressRec& Progress, int32_t CropLeft,
                           int32_t CropTop, int32_t CropRight, int32_t CropBottom, TJpegCopyMarkers CopyMarkers,
                           bool Trim, uint8_t Transform) {
  Progress.StartCodec(1);
  try {
    if (Progress.Failed() ||
        !RunTransform(Input, Output, CropLeft, CropTop, CropRight, CropBottom, CopyMarkers, Trim, Transform)) {
      Progress.Fail();
      return;
    }
    Progress.CodecRow();
  } catch (...) {
    Progress.Fail();
  }
}

}  // namespace kv

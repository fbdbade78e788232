// Writes small WMF and EMF files of filled rectangles with libuemf, so the
// metafile import is checked against files a third party made. Only the
// separate writer program includes this: libuemf and libwmf both export a
// wmf_free, so one process must not link both directly.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <uemf.h>
#include <uwmf.h>
}

namespace kv::test {

struct TMetaRect {
  int32_t Left, Top, Right, Bottom;
  uint8_t Red, Green, Blue;
};

// An enhanced metafile of Width x Height pixels at 96 dpi (the frame in
// 0.01 mm to match), drawn in device pixels with an invisible pen.
inline bool WriteEmf(const std::string& Path, int32_t Width, int32_t Height, const std::vector<TMetaRect>& Rects) {
  EMFTRACK* et = nullptr;
  EMFHANDLES* eht = nullptr;
  if (emf_start(Path.c_str(), 1 << 16, 1 << 16, &et) || emf_htable_create(64, 64, &eht)) return false;
  const U_RECTL bounds{0, 0, Width - 1, Height - 1};
  const U_RECTL frame{0, 0, Width * 2540 / 96, Height * 2540 / 96};
  // A reference device of 40 x 20 inches at 96 dpi.
  const U_SIZEL device{3840, 1920}, mm{1016, 508};
  emf_append((PU_ENHMETARECORD)U_EMRHEADER_set(bounds, frame, nullptr, 0, nullptr, device, mm, 0), et, U_REC_FREE);
  emf_append((PU_ENHMETARECORD)selectobject_set(U_NULL_PEN, eht), et, U_REC_FREE);
  for (const TMetaRect& r : Rects) {
    uint32_t brush = 0;
    const U_LOGBRUSH lb = logbrush_set(U_BS_SOLID, U_RGB(r.Red, r.Green, r.Blue), U_HS_SOLIDCLR);
    emf_append((PU_ENHMETARECORD)createbrushindirect_set(&brush, eht, lb), et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)selectobject_set(brush, eht), et, U_REC_FREE);
    emf_append((PU_ENHMETARECORD)U_EMRRECTANGLE_set(U_RECTL{r.Left, r.Top, r.Right, r.Bottom}), et, U_REC_FREE);
  }
  emf_append((PU_ENHMETARECORD)U_EMREOF_set(0, nullptr, et), et, U_REC_FREE);
  const bool ok = emf_finish(et, eht) == 0;
  emf_free(&et);
  emf_htable_free(&eht);
  return ok;
}

// A placeable Windows metafile of Width x Height units at 96 units per inch.
inline bool WriteWmf(const std::string& Path, int32_t Width, int32_t Height, const std::vector<TMetaRect>& Rects) {
  WMFTRACK* wt = nullptr;
  WMFHANDLES* wht = nullptr;
  if (wmf_start(Path.c_str(), 1 << 16, 1 << 16, &wt) || wmf_htable_create(64, 64, &wht)) return false;
  U_PAIRF* inches = U_PAIRF_set(float(Width) / 96.0f, float(Height) / 96.0f);
  wmf_header_append((U_METARECORD*)U_WMRHEADER_set(inches, 96), wt, U_REC_FREE);
  std::free(inches);
  wmf_append((U_METARECORD*)U_WMRSETWINDOWORG_set(point16_set(0, 0)), wt, U_REC_FREE);
  wmf_append((U_METARECORD*)U_WMRSETWINDOWEXT_set(point16_set(int16_t(Width), int16_t(Height))), wt, U_REC_FREE);
  uint32_t pen = 0;
  wmf_append((U_METARECORD*)wcreatepenindirect_set(&pen, wht, U_PEN_set(U_PS_NULL, 1, U_RGB(0, 0, 0))), wt,
             U_REC_FREE);
  wmf_append((U_METARECORD*)wselectobject_set(pen, wht), wt, U_REC_FREE);
  for (const TMetaRect& r : Rects) {
    uint32_t brush = 0;
    const U_WLOGBRUSH lb = U_WLOGBRUSH_set(U_BS_SOLID, U_RGB(r.Red, r.Green, r.Blue), U_HS_SOLIDCLR);
    wmf_append((U_METARECORD*)wcreatebrushindirect_set(&brush, wht, lb), wt, U_REC_FREE);
    wmf_append((U_METARECORD*)wselectobject_set(brush, wht), wt, U_REC_FREE);
    const U_RECT16 box{int16_t(r.Left), int16_t(r.Top), int16_t(r.Right), int16_t(r.Bottom)};
    wmf_append((U_METARECORD*)U_WMRRECTANGLE_set(box), wt, U_REC_FREE);
  }
  wmf_append((U_METARECORD*)U_WMREOF_set(), wt, U_REC_FREE);
  const bool ok = wmf_finish(wt) == 0;
  wmf_free(&wt);
  wmf_htable_free(&wht);
  return ok;
}

}  // namespace kv::test

// Transfer of scanned pages into bitmaps. "Memory" transfer converts each
// strip as sane_read hands it over; "native" transfer reads the whole page
// first. Every loop ends on end of frame, cancel, error or the aborted flag.
#include <sane/saneopts.h>

#include <algorithm>
#include <cstring>

#include "imaging/formats/io_params.h"
#include "imaging/formats/twain_options.h"
#include "imaging/processing/bitmap_utils.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/pascal_math.h"
#include "platform/devices/scan_options_dialog.h"

namespace kv {

namespace {

constexpr int32_t kStripBytes = 64 * 1024;
// Pages of unknown length grow up to this; beyond it the scan fails, not the process.
constexpr size_t kMaxPageBytes = size_t(1) << 30;
constexpr int32_t kMaxLine = 1 << 24;
constexpr int32_t kMaxIdleReads = 10000;

uint8_t From16(uint16_t V) { return uint8_t((uint32_t(V) * 255 + 32767) / 65535); }

// Converts one scanner line into one bitmap row (1-bit, or 24-bit BGR).
void ConvertLine(const TScanParameters& P, const uint8_t* S, uint8_t* D, int32_t W) {
  const int32_t depth = P.Depth;
  switch (P.Format) {
    case sfGray:
      if (depth == 1) {
        std::memcpy(D, S, size_t((W + 7) / 8));
      } else if (depth == 8) {
        for (int32_t x = 0; x < W; ++x) D[3 * x] = D[3 * x + 1] = D[3 * x + 2] = S[x];
      } else {
        for (int32_t x = 0; x < W; ++x) {
          uint16_t v;
          std::memcpy(&v, S + 2 * x, 2);
          D[3 * x] = D[3 * x + 1] = D[3 * x + 2] = From16(v);
        }
      }
      break;
    case sfRGB:
      if (depth == 1) {
        for (int32_t x = 0; x < W; ++x)
          for (int32_t c = 0; c < 3; ++c) {
            const int32_t bit = 3 * x + c;
            D[3 * x + 2 - c] = (S[bit >> 3] & (0x80 >> (bit & 7))) ? 255 : 0;
          }
      } else if (depth == 8) {
        for (int32_t x = 0; x < W; ++x) D[3 * x] = S[3 * x + 2], D[3 * x + 1] = S[3 * x + 1], D[3 * x + 2] = S[3 * x];
      } else {
        for (int32_t x = 0; x < W; ++x)
          for (int32_t c = 0; c < 3; ++c) {
            uint16_t v;
            std::memcpy(&v, S + 6 * x + 2 * c, 2);
            D[3 * x + 2 - c] = From16(v);
          }
      }
      break;
    default: {  // one colour of a three-pass scan into its byte of BGR
      const int32_t off = P.Format == sfRed ? 2 : P.Format == sfGreen ? 1 : 0;
      for (int32_t x = 0; x < W; ++x) {
        uint8_t v;
        if (depth == 1) v = (S[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        else if (depth == 8) v = S[x];
        else {
          uint16_t w;
          std::memcpy(&w, S + 2 * x, 2);
          v = From16(w);
        }
        D[3 * x + off] = v;
      }
    }
  }
}

// Bytes of one line as the frame format and depth require; 0 when unusable.
int64_t NeededLineBytes(const TScanParameters& P) {
  const int64_t spp = P.Format == sfRGB ? 3 : 1;
  return (int64_t(P.PixelsPerLine) * spp * P.Depth + 7) / 8;
}

struct TPage {
  int32_t Width = 0;
  bool OneBit = false;
  int64_t RowBytes = 0;   // of the bitmap rows kept here
  int32_t Rows = 0;       // rows filled by the longest frame
  std::vector<uint8_t> Data;
};

// Reads one frame into the page. False on any failure; Status tells which.
bool ReadFrame(TScanDevice& Dev, const TScanParameters& P, TPage& Page, bool Native, TProgressRec& Progress,
               TScanStatus& Status) {
  const int32_t lineBytes = P.BytesPerLine;
  std::vector<uint8_t> line(static_cast<size_t>(lineBytes));
  std::vector<uint8_t> chunk(static_cast<size_t>(kStripBytes));
  std::vector<uint8_t> whole;  // native: the page first
  int32_t fill = 0, row = 0;
  auto emit = [&](const uint8_t* Src, size_t N) -> bool {
    while (N > 0) {
      const size_t take = std::min(N, size_t(lineBytes - fill));
      std::memcpy(line.data() + fill, Src, take);
      fill += int32_t(take), Src += take, N -= take;
      if (fill < lineBytes) break;
      fill = 0;
      if (P.Lines >= 0 && row >= P.Lines) continue;  // a device sending more than it announced
      const size_t need = size_t(row + 1) * size_t(Page.RowBytes);
      if (need > kMaxPageBytes) return false;
      if (Page.Data.size() < need) Page.Data.resize(std::max(need, std::min(kMaxPageBytes, Page.Data.size() * 2)));
      ConvertLine(P, line.data(), Page.Data.data() + size_t(row) * size_t(Page.RowBytes), Page.Width);
      ++row;
    }
    return true;
  };
  int32_t idle = 0;  // reads in a row that brought nothing: a stuck device must not hang us
  for (;;) {
    int32_t got = 0;
    Status = Dev.Read(chunk.data(), kStripBytes, got);
    if (Status == ssGood && got == 0 && ++idle > kMaxIdleReads) return Status = ssInval, false;
    if (got > 0) idle = 0;
    if (got > 0) {
      if (Native) {
        if (whole.size() + size_t(got) > kMaxPageBytes) return Status = ssInval, false;
        whole.insert(whole.end(), chunk.begin(), chunk.begin() + got);
      } else if (!emit(chunk.data(), size_t(got))) {
        return Status = ssInval, false;
      } else if (P.Lines > 0 && Progress.OnProgress) {
        Progress.OnProgress(Progress.Sender, int32_t(int64_t(row) * 100 / P.Lines));
      }
    }
    if (Progress.Aborted && *Progress.Aborted) return Status = ssCancelled, false;
    if (Status == ssEof) break;
    if (Status != ssGood) return false;
  }
  Status = ssGood;
  if (Native && (!emit(whole.data(), whole.size()))) return Status = ssInval, false;
  Page.Rows = std::max(Page.Rows, row);
  return true;
}

}  // namespace

bool TwainTransferPage(TScanDevice& Dev, TBitmap& Bitmap, bool Native, TProgressRec& Progress, TIOParamsVals& IO,
                  TTwainManager& Mgr, bool& NoDocs) {
  NoDocs = false;
  TPage page;
  TScanParameters first;
  for (int32_t frame = 0; frame < 3; ++frame) {
    TScanStatus st = Dev.Start();
    if (st == ssNoDocs && frame == 0) {
      NoDocs = true;
      Mgr.Fail(st, ScanStatusText(st));
      return false;
    }
    TScanParameters p;
    if (st == ssGood) st = Dev.Parameters(p);
    if (st != ssGood) {
      Mgr.Fail(st, ScanStatusText(st));
      Dev.Cancel();
      return false;
    }
    const bool known = p.Depth == 1 || p.Depth == 8 || p.Depth == 16;
    if (!known || p.PixelsPerLine <= 0 || p.Lines == 0 || p.BytesPerLine <= 0 || p.BytesPerLine > kMaxLine ||
        p.PixelsPerLine > kMaxLine || p.BytesPerLine < NeededLineBytes(p)) {
      Mgr.Fail(ssUnsupported, p.Lines == 0 || p.PixelsPerLine <= 0 ? "Der Scanner hat ein leeres Bild geliefert."
                                                                     : "Der Scanner hat ein nicht unterstütztes Bild geliefert.");
      Dev.Cancel();
      return false;
    }
    if (frame == 0) {
      first = p;
      page.Width = p.PixelsPerLine;
      page.OneBit = p.Format == sfGray && p.Depth == 1;
      page.RowBytes = page.OneBit ? (int64_t(page.Width) + 7) / 8 : int64_t(page.Width) * 3;
      if (p.Lines > 0) {
        if (size_t(p.Lines) * size_t(page.RowBytes) > kMaxPageBytes) {
          Mgr.Fail(ssInval, "Das gescannte Bild ist zu groß.");
          Dev.Cancel();
          return false;
        }
        page.Data.assign(size_t(p.Lines) * size_t(page.RowBytes), 0);
      }
    } else if (p.PixelsPerLine != page.Width || page.OneBit) {
      Mgr.Fail(ssInval, "Die Teilbilder des Scans passen nicht zusammen.");
      Dev.Cancel();
      return false;
    }
    if (!ReadFrame(Dev, p, page, Native, Progress, st)) {
      Mgr.Fail(st, ScanStatusText(st));
      Dev.Cancel();
      return false;
    }
    if (p.LastFrame || p.Format == sfGray || p.Format == sfRGB) break;
  }
  if (page.Rows == 0) {
    Mgr.Fail(ssInval, "Der Scanner hat ein leeres Bild geliefert.");
    return false;
  }
  Bitmap.SetSize(0, 0);
  Bitmap.SetPixelFormat(page.OneBit ? pf1bit : pf24bit);
  Bitmap.SetSize(page.Width, page.Rows);
  for (int32_t y = 0; y < page.Rows; ++y) {
    auto* d = static_cast<uint8_t*>(Bitmap.ScanLine(y));
    std::memcpy(d, page.Data.data() + size_t(y) * size_t(page.RowBytes), size_t(page.RowBytes));
  }
  // Scanners send one-bit data with 1 as black: our one-bit bitmaps keep 1 as white.
  if (page.OneBit) InvertBitmapBits(Bitmap);
  double dpi = 0;
  Dev.GetNumber(SANE_NAME_SCAN_RESOLUTION, dpi);
  double dx = dpi, dy = dpi;
  Dev.GetNumber(SANE_NAME_SCAN_X_RESOLUTION, dx);
  Dev.GetNumber(SANE_NAME_SCAN_Y_RESOLUTION, dy);
  IO.BitsPerSample = page.OneBit ? 1 : 8;
  IO.SamplesPerPixel = first.Format == sfGray ? 1 : 3;
  IO.DpiX = Round32(dx);
  IO.DpiY = Round32(dy);
  IO.Width = page.Width;
  IO.Height = page.Rows;
  IO.FreeColorMap();
  Bitmap.NotifyChanged();
  if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, 100);
  return true;
}

bool TwainAcquire(TBitmap* Bitmap, bool ShowDialog, TIMTWainParams& Params, void*, TTwainManager& Mgr,
                  TProgressRec& Progress, TIOParamsVals& IOParams, const TIMAcquireBitmapEvent& Callback,
                  void* CallbackData) {
  Mgr.Fail(ssGood, "");
  std::unique_ptr<TScanDevice> dev = OpenTwainSource(Params, Mgr);
  if (!dev) return false;
  if (!SendTwainCapabilities(Params, *dev, Mgr)) return false;
  // The device's own settings, in our dialog, after what the caller asked for.
  if (ShowDialog && !ScanOptionsDialog(*dev)) {
    Mgr.Fail(ssCancelled, ScanStatusText(ssCancelled));
    return false;
  }
  const bool native = !Params.BufferedTransfer;
  bool noDocs = false;
  if (!Callback) {
    if (!Bitmap) return false;
    const bool ok = TwainTransferPage(*dev, *Bitmap, native, Progress, IOParams, Mgr, noDocs);
    dev->Cancel();  // ends a feeder batch after its first page
    return ok;
  }
  bool any = false;
  while (!(Progress.Aborted && *Progress.Aborted)) {
    auto page = std::make_unique<TBitmap>();
    if (!TwainTransferPage(*dev, *page, native, Progress, IOParams, Mgr, noDocs)) break;
    any = true;
    Callback(CallbackData, page.get(), IOParams);
    if (!Params.FFeederEnabled) break;  // a flatbed has one page
  }
  // An empty feeder after pages is the normal end of a batch, not a failure.
  if (any && noDocs) Mgr.Fail(ssGood, "");
  dev->Cancel();
  return any;
}

}  // namespace kv

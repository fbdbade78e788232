// The print dialog's preview redraw after a setting change, for a 24 MP
// picture on an A4 page at 300 dpi: the scale of the chosen quality, the
// bitmap cleared, the page laid out and drawn. Prints "redraw_ms" per
// quality (best of the runs), then "frame_redraw_ms": the same change through
// the dialog's preview frame, its control painted.
//
//   print_preview_cli [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/params/param_strings.h"
#include "app/workflows/print_layout.h"
#include "app/workflows/print_preview.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/controls.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/std_controls.h"

using namespace kv;

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  EnsureQtApplication();
  TBitmap picture(6000, 4000, pf24bit);
  for (int32_t y = 0; y < picture.Height(); ++y) {
    auto* row = static_cast<uint8_t*>(picture.ScanLine(y));
    for (int32_t x = 0; x < picture.Width() * 3; ++x) row[x] = uint8_t(x * 7 + y * 3);
  }
  TPrintSource source;
  source.Picture = &picture;
  source.PictureDpi = 300;
  source.Info[tImageInfo::filename] = "bild.jpg";
  TPrintDevice device;  // 300 dpi
  const int32_t pageW = 2480, pageH = 3508;
  const int32_t controlW = 355, controlH = 502;  // the dialog's preview control
  const char* names[] = {"Max", "Mittel", "Min"};
  for (int q = 0; q < 3; ++q) {
    double best = 1e9;
    for (int r = 0; r < runs; ++r) {
      // A setting change: a different size each run, so nothing can be reused.
      const std::string line = "Print Specialsize=0 DirectionPos=0 cutlines=1 ImageInfoSet=1" +
                               WriteParamFloat("width", 1500 + r) + WriteParamFloat("height", 1000 + r);
      const auto t0 = std::chrono::steady_clock::now();
      const double scale = PreviewScaleFor(TPreviewQuality(q), pageW, pageH, controlW, controlH);
      TBitmap preview(std::max(1, Round32(pageW * scale)), std::max(1, Round32(pageH * scale)), pf24bit);
      TCanvas canvas(preview);
      canvas.Brush().SetColor(clWhite);
      canvas.FillRect(TRect{0, 0, preview.Width(), preview.Height()});
      PrintWithLayout(source, &canvas, pageW, pageH, scale, true, line + " Page=-1", device);
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      best = std::min(best, ms);
    }
    std::printf("%-7s redraw_ms %.2f\n", names[q], best);
  }
  // The same change through the dialog's preview frame: the layout, the
  // bitmap at the quality's scale and the preview control painted at its
  // fit zoom (what the user waits for).
  TprintFrame frame(nullptr);
  frame.SetBounds(0, 0, 455, 670);
  frame.Source = &source;
  frame.Device = device;
  frame.PageWidth = pageW;
  frame.PageHeight = pageH;
  for (int q = 0; q < 3; ++q) {
    frame.QualityBox->SetItemIndex(q);
    double best = 1e9;
    for (int r = 0; r < runs; ++r) {
      frame.Command = "Print Specialsize=0 DirectionPos=0 cutlines=1 ImageInfoSet=1" +
                      WriteParamFloat("width", 1500 + r) + WriteParamFloat("height", 1000 + r);
      const auto t0 = std::chrono::steady_clock::now();
      frame.ComputePreview();
      frame.Image1->PreparePaint();
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      best = std::min(best, ms);
    }
    std::printf("%-7s frame_redraw_ms %.2f\n", names[q], best);
  }
  return 0;
}

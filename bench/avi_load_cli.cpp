// Bench-only tool: loads every frame of an AVI file, so that compare_avi.sh
// times it beside ffmpeg decoding the same file.
//   avi_load_cli view FILE.avi    through the multi-frame loader into a multi-image view
//   avi_load_cli frames FILE.avi  the AVI reader alone: every frame as a 24-bit DIB
// Prints the frames loaded and the time of the load alone as "step_ms <ms>".
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "imaging/model/parallel_rows.h"
#include "imaging/views/imager_mio.h"
#include "imaging/views/imager_mview.h"
#include "platform/media/avi_reader.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"

namespace {

using namespace kv;
using TClock = std::chrono::steady_clock;

void Report(TClock::time_point T0, int32_t Frames) {
  std::fprintf(stderr, "frames %d\nstep_ms %.2f\n", Frames,
               std::chrono::duration<double, std::milli>(TClock::now() - T0).count());
}

int Frames(const std::string& File) {
  const auto t0 = TClock::now();
  TAviFile avi;
  avi.SetReadAhead(KernelThreads());
  TAviStreamInfo info;
  if (!avi.Open(File) || !avi.GetVideoStream() || !avi.StreamInfo(info) || !avi.GetFrameOpen()) return 1;
  int32_t n = 0;
  while (n < int32_t(info.Length) && avi.GetFrame(n)) ++n;
  Report(t0, n);
  return n == int32_t(info.Length) ? 0 : 1;
}

int View(const std::string& File) {
  EnsureQtApplication();
  TForm form(nullptr);
  auto* view = new TImagerMView(&form);
  view->SetParent(&form);
  view->SetBounds(0, 0, 640, 480);
  form.Show();
  TImagerMIO loader(nullptr);
  loader.SetAttachedMView(view);
  const auto t0 = TClock::now();
  loader.LoadAVIFile(File);
  Report(t0, view->GetImageCount());
  return loader.Aborting() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: avi_load_cli view|frames FILE.avi\n");
    return 2;
  }
  if (std::strcmp(argv[1], "frames") == 0) return Frames(argv[2]);
  if (std::strcmp(argv[1], "view") == 0) return View(argv[2]);
  return 2;
}

// The webcam window's whole chain on the test pattern: capture, decode and
// convert, date stamp, the frame view, one JPEG per frame, and the HTTP
// server answering whoever polls. Runs for the given seconds and prints the
// frames handled and the process's CPU time per frame, for
// compare_webcam.sh.
//   webcam_chain_cli SECONDS PORT [WIDTHxHEIGHT@RATE]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/webcam/video_form.h"
#include "components/controls/kv_spin.h"
#include "imaging/views/imager_video_view.h"
#include "platform/devices/video_capture.h"
#include "platform/ui/message_window.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"

using namespace kv;

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s SECONDS PORT [WIDTHxHEIGHT@RATE]\n", argv[0]);
    return 2;
  }
  const double seconds = std::atof(argv[1]);
  ::setenv(kCaptureTestSourceVar, argc > 3 ? argv[3] : "640x480@30", 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  EnsureQtApplication();
  auto* w = new Tvideoform(nullptr);
  w->Mode = 1;
  w->Show();
  ProcessPendingMessages();
  w->CheckBox1->SetChecked(true);  // the date stamp
  w->RadioButton1->SetChecked(true);
  w->RadioGroup1->SetItemIndex(0);
  w->mycombobox2->Select(w->mycombobox2->Count() - 2);  // the pattern, before "Bildschirm"
  w->VideoOnButton->SetDown(true);
  w->VideoOnClick();
  if (!w->ImagerVideoView2->ShowVideo()) {
    std::fprintf(stderr, "no test pattern: %s\n", w->ImagerVideoView2->LastError().c_str());
    return 1;
  }
  w->KvSpinEdit4->SetValue(1000);  // every frame of the source reaches the window
  w->ImagerVideoView2->SetDisplayMode(dmOverlay);
  const int32_t address = w->mycombobox3->IndexOf("127.0.0.1");
  w->mycombobox3->SetItemIndex(address);
  w->Edit7->SetText(argv[2]);
  w->ServerButton->SetDown(true);
  w->ServerClick();
  if (!w->HttpServer1->Listening()) return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  // Warm-up, then the measured span.
  const uint64_t warm = TickCount64() + 1000;
  while (TickCount64() < warm) WaitForMessages(50);
  const uint64_t frames0 = w->FramesTaken, jpeg0 = w->JpegEncodings();
  const uint64_t dropped0 = w->ImagerVideoView2->Session().DroppedFrames();
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const uint64_t end = TickCount64() + uint64_t(seconds * 1000);
  while (TickCount64() < end) WaitForMessages(50);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  const uint64_t frames = w->FramesTaken - frames0;
  std::printf("frames %llu jpegs %llu dropped %llu wall %.3f cpu %.3f cpu_per_frame_ms %.3f core_share %.1f%%\n",
              (unsigned long long)frames, (unsigned long long)(w->JpegEncodings() - jpeg0),
              (unsigned long long)(w->ImagerVideoView2->Session().DroppedFrames() - dropped0), wall, cpu,
              frames ? cpu * 1000 / double(frames) : 0.0, 100.0 * cpu / wall);
  w->ServerButton->SetDown(false);
  w->ServerClick();
  w->VideoOnButton->SetDown(false);
  w->VideoOnClick();
  delete w;
  return 0;
}

// Automation over a folder: the batch "resize to 50 %, sharpen, save as JPEG
// quality 85" run by the automation on every picture of the folder, as the
// window "Batch" runs it. Prints "step_ms" for the whole run.
//
//   automation_cli make DIR COUNT WIDTH HEIGHT   (writes COUNT JPEG pictures)
//   automation_cli run IN_DIR OUT_DIR
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/catalog/image_source_frame.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/workflows/automation.h"
#include "imaging/formats/imager_io.h"
#include "platform/graphics/bitmap.h"
#include "platform/system/paths.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/qt_app.h"

using namespace kv;

namespace {

// A 3 x 3 sharpening kernel (centre 5, the four neighbours -1) as a convolution file.
void WriteSharpen(const std::string& Path) {
  uint8_t bytes[54] = {};
  auto put = [&](int Word, int16_t V) {
    bytes[2 * Word] = uint8_t(uint16_t(V) >> 8);
    bytes[2 * Word + 1] = uint8_t(V);
  };
  put(12, 5);
  for (int w : {7, 11, 13, 17}) put(w, -1);
  put(25, 1);
  std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 6 && std::string(argv[1]) == "make") {
    const std::string dir = argv[2];
    const int count = std::atoi(argv[3]), w = std::atoi(argv[4]), h = std::atoi(argv[5]);
    TBitmap b(w, h, pf24bit);
    for (int i = 0; i < count; ++i) {
      for (int32_t y = 0; y < h; ++y) {
        auto* row = static_cast<uint8_t*>(b.ScanLine(y));
        for (int32_t x = 0; x < w * 3; ++x) row[x] = uint8_t((x * (i + 3) + y * 5) >> 3);
      }
      TImagerIO io(nullptr);
      io.AttachBitmap(&b);
      io.Params().JpegQuality = 90;
      char name[64];
      std::snprintf(name, sizeof name, "/p%03d.jpg", i);
      io.SaveToFileByExtension(dir + name);
    }
    return 0;
  }
  if (argc < 4 || std::string(argv[1]) != "run") {
    std::fprintf(stderr, "usage: automation_cli make DIR COUNT W H | run IN OUT\n");
    return 2;
  }
  const std::string in = argv[2], out = argv[3];
  const std::string home = out + "/.home/";
  mkdir(home.c_str(), 0755);
  mkdir((home + "Batch").c_str(), 0755);
  SetRegistryFolder(home + "reg");
  SetProgramFolder(home);
  SetUserDataFolder(home);
  EnsureQtApplication();
  WriteSharpen(home + "sharpen.acf");
  const std::string batch = home + "Batch/bench.atp";
  std::ofstream(batch) << "RESIZE Width=50 vwidth=7 Height=50 vheight=7 Resample=1 ResampleFilter=5\r\n"
                       << "ACF Name=\"" << home << "sharpen.acf\"\r\n";
  auto form = std::make_unique<Tform1>(nullptr);
  form->SetStoredBool("NoWelcome", true);
  auto source = std::make_unique<TimageSourceframe>(nullptr);
  source->SetParams(WriteParamInt("SourceMode", 1) + WriteParamString("Dir", in) + WriteParamBool("Subdirs", false));
  TAutomationJob job;
  job.Batch = batch;
  job.Source = source.get();
  job.Save = true;
  job.SaveText = WriteParamString("Directory", out) + WriteParamString("Startfile", "out") +
                 WriteParamString("Type", "JPG") + WriteParamInt("Exists", 1) + WriteParamBool("KeepParams", false) +
                 WriteParamInt("Quality", 85);
  job.Close = true;
  const auto t0 = std::chrono::steady_clock::now();
  const TAutomationResult r = RunAutomation(*form, job);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  std::printf("saved %d\nstep_ms %.1f\n", r.Saved, ms);
  source.reset();
  form.reset();
  return r.Failed == 0 ? 0 : 1;
}

// The webcam window's frames: which are taken, the per-frame batch, the date
// stamp, new images, and the JPEG the HTTP server hands out.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/batch/batch_list_frame.h"
#include "app/child/child_window.h"
#include "app/helpers/folder_helpers.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/webcam/video_form.h"
#include "components/controls/kv_spin.h"
#include "imaging/views/imager_video_view.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/ui/font_dialog.h"
#include "platform/ui/message_window.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"

namespace kv {

bool MotionDetectedIn(const TBitmap& Frame, TBitmap& Reference, int32_t Sensitivity) {
  const int64_t n = int64_t(Frame.Width()) * Frame.Height();
  if (n <= 0) return false;
  Sensitivity = std::min(Sensitivity, 255);
  bool result = false;
  if (Reference.Width() == Frame.Width() && Reference.Height() == Frame.Height() &&
      Frame.PixelFormat() == pf24bit && Reference.PixelFormat() == pf24bit) {
    // 64 bits: 255 * 3 per pixel over a large frame would wrap 32.
    uint64_t sum = 0;
    const int32_t bytes = Frame.Width() * 3;
    for (int32_t y = 0; y < Frame.Height(); ++y) {
      const auto* a = static_cast<const uint8_t*>(Frame.ScanLine(y));
      const auto* b = static_cast<const uint8_t*>(Reference.ScanLine(y));
      uint64_t row = 0;
      for (int32_t x = 0; x < bytes; ++x) row += uint64_t(std::abs(int32_t(a[x]) - int32_t(b[x])));
      sum += row / 3;
    }
    const uint64_t mean = sum / uint64_t(n);
    result = int64_t(255 - Sensitivity) < int64_t(mean);
  }
  Reference.Assign(&Frame);
  return result;
}

TVideoTime SplitVideoTime(int64_t Ms) {
  return TVideoTime{int32_t((Ms / 3600000) % 255), int32_t((Ms / 60000) % 60), int32_t((Ms / 1000) % 60),
                    int32_t((Ms / 10) % 100)};
}

bool Tvideoform::MotionDetected(const TBitmap& Frame, int32_t Sensitivity) {
  return MotionDetectedIn(Frame, *FMotionRef, Sensitivity);
}

void Tvideoform::ImagerVideoView2VideoFrame(TObject*, TBitmap* Bitmap) {
  if (!Bitmap) return;
  if (RadioGroup1->ItemIndex() == 2 && !FFrameFromTimer) {
    ++FramesIgnored;
    return;
  }
  FFrameFromTimer = false;
  if (Mode == 0) return;
  bool take = false;
  if (NowButton->Down()) {
    NowButton->SetDown(false);
    take = true;
  } else if (RadioButton1->Checked()) {
    take = true;
  } else if (RadioButton4->Checked()) {
    const double now = double(Now());
    if ((now - FLastTaken) * 86400 > KvSpinEdit2->Value()) {
      FLastTaken = now;
      take = true;
    }
  } else if (RadioButton3->Checked()) {
    take = MotionDetected(*Bitmap, Round32(KvSpinEdit1->Value()));
  }
  if (!take) return;
  ++FramesTaken;
  ProcessTakenFrame(*Bitmap);
}

void Tvideoform::ProcessTakenFrame(const TBitmap& Frame) {
  FWork->Bitmap().Assign(&Frame);
  RunFrameBatch();
  StampDate();
  frameie->Bitmap().Assign(&FWork->Bitmap());
  frameie->Update();
  FrameViewChanged();
  if (sleeptimer->Enabled()) return;
  if (Mode == 2 && GrabButton->Down()) {
    GrabTakenFrame();
    GrabButton->SetDown(AutoGrabCheck->Checked());
  } else if (Mode == 1 && GoButton->Down()) {
    // The protocol steps let messages run: a frame that comes meanwhile
    // must not start a second cycle on top of the one running.
    if (FSending) {
      ++SendsSkipped;
      return;
    }
    SendingCycle();
    GoButton->SetDown(RepeatCheck->Checked());
  }
}

namespace {

// Waits, letting messages run, until no other webcam step runs; then takes the flag.
struct TBusyScope {
  TBusyScope() {
    while (WebcamBusy) WaitForMessages(20);
    WebcamBusy = true;
  }
  ~TBusyScope() { WebcamBusy = false; }
};

}  // namespace

void Tvideoform::RunFrameBatch() {
  if (!CheckBox2->Checked() || !form1) return;
  const std::string program = batchlistFrame1 ? batchlistFrame1->SelectedProgram() : std::string();
  if (program.empty()) return;
  if (!FBatchChild) {
    FBatchChild = new Tchild(form1);
    FBatchChild->SetFormStyle(fsNormal);
    FBatchChild->SetVisible(false);
    BringToFront();
  }
  form1->OverrideChild = FBatchChild;
  struct TRestore {
    ~TRestore() {
      if (form1) form1->OverrideChild = nullptr;
    }
  } restore;
  if (timagerlayer* img = form1->getimager()) {
    img->Bitmap().Assign(&FWork->Bitmap());
    img->Update();
  }
  {
    TBusyScope busy;
    // The list gives the program with its folder.
    form1->playbatch(program);
  }
  if (timagerlayer* img = form1->getimager()) FWork->Bitmap().Assign(&img->Bitmap());
}

void Tvideoform::StampDate() {
  if (!CheckBox1->Checked()) return;
  TCanvas& c = FWork->Bitmap().Canvas();
  c.Font().Assign(&FontDialog1->Font());
  c.Brush().SetColor(clBlack);
  c.Brush().SetStyle(bsSolid);
  c.TextOut(0, 0, DateTimeToStr(Now()));
}

void Tvideoform::GrabTakenFrame() {
  if (!form1) return;
  if (RadioButton12->Checked()) {
    TBusyScope busy;
    form1->interpreter(this, "NewImage width=" + IntToStr(frameie->Bitmap().Width()) +
                                 " height=" + IntToStr(frameie->Bitmap().Height()));
    if (timagerlayer* img = form1->getimager()) {
      img->Bitmap().Assign(&frameie->Bitmap());
      img->Update();
    }
  } else if (RadioButton5->Checked()) {
    SaveGrabbedFrame();
  }
}

void Tvideoform::FrameViewChanged() { FJpeg.reset(); }

std::shared_ptr<const std::vector<uint8_t>> Tvideoform::CurrentJpeg() {
  if (FJpeg) return FJpeg;
  // Once per frame, however many clients ask.
  TMemoryStream s;
  frameie->SaveToStreamJpeg(s);
  auto bytes = std::make_shared<std::vector<uint8_t>>(size_t(s.Size()));
  if (!bytes->empty()) std::memcpy(bytes->data(), s.Memory(), bytes->size());
  ++FJpegEncodings;
  FJpeg = bytes;
  return FJpeg;
}

}  // namespace kv

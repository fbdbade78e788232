// The webcam window's recording to an AVI file and its playback.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/layer/imager_layer.h"
#include "app/webcam/video_form.h"
#include "components/controls/file_dir_edit.h"
#include "components/controls/kv_spin.h"
#include "imaging/views/imager_video_view.h"
#include "platform/media/avi_reader.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/message_window.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/track_bar.h"

namespace kv {

namespace {

std::string Unquoted(std::string S) {
  S.erase(std::remove(S.begin(), S.end(), '"'), S.end());
  return S;
}

// A packed 24-bit (or 1-bit) DIB as the AVI reader gives it, into a 24-bit bitmap.
bool DibToBitmap(const std::vector<uint8_t>& Dib, TBitmap& Into) {
  if (Dib.size() < 40) return false;
  int32_t w = 0, h = 0;
  uint16_t bits = 0;
  std::memcpy(&w, &Dib[4], 4);
  std::memcpy(&h, &Dib[8], 4);
  std::memcpy(&bits, &Dib[14], 2);
  const bool topDown = h < 0;
  h = std::abs(h);
  if (w <= 0 || h <= 0 || (bits != 24 && bits != 1)) return false;
  const size_t palette = bits == 1 ? 8 : 0;
  const size_t row = size_t(((w * bits + 31) / 32) * 4);
  if (Dib.size() < 40 + palette + row * size_t(h)) return false;
  Into.AllocateForOverwrite(w, h, pf24bit);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = &Dib[40 + palette + row * size_t(topDown ? y : h - 1 - y)];
    auto* dst = static_cast<uint8_t*>(Into.ScanLine(y));
    if (bits == 24) {
      std::memcpy(dst, src, size_t(w) * 3);
    } else {
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* c = &Dib[40 + 4 * ((src[x / 8] >> (7 - x % 8)) & 1)];
        dst[3 * x] = c[0];
        dst[3 * x + 1] = c[1];
        dst[3 * x + 2] = c[2];
      }
    }
  }
  return true;
}

}  // namespace

void Tvideoform::ShowTime(TEdit* const* Fields, int64_t Ms) {
  const TVideoTime t = SplitVideoTime(Ms);
  const int32_t v[4] = {t.Hours, t.Minutes, t.Seconds, t.Hundredths};
  for (int i = 0; i < 4; ++i) Fields[i]->SetText(IntToStr(v[i]));
}

void Tvideoform::ClosePlayback() {
  if (FPlayFile) FPlayFile->Close();
  FPlayFile.reset();
  FPlayName.clear();
  SetPlayRunning(false);
  FShownFrame = -1;
  if (PlayerState == 1) PlayerState = 0;
}

void Tvideoform::RecordClick() {
  if (PlayerState == 1) ClosePlayback();
  const std::string file = Unquoted(FilenameEdit3->Text());
  if (FileExists(file) &&
      MessageDlg(Format("Datei %s existiert. Überschreiben?", file), mtConfirmation, TMsgDlgButtons{mbOK, mbCancel},
                 0) != mrOk) {
    UpdateEnabled();
    return;
  }
  if (!ImagerVideoView2->ShowVideo()) {
    ShowMessage("Video ist nicht an!");
    UpdateEnabled();
    return;
  }
  ImagerVideoView2->SetCaptureFile(file);
  ImagerVideoView2->SetCaptureFrameRate(int32_t(std::max(1.0, RecordRate->Value())));
  ImagerVideoView2->SetCaptureAudio(CheckBox4->Checked());
  if (!ImagerVideoView2->StartCapture()) {
    MessageDlg("Die Aufnahme lässt sich nicht starten: " + ImagerVideoView2->LastError(), mtWarning,
               TMsgDlgButtons{mbOK}, 0);
    UpdateEnabled();
    return;
  }
  FRecordStart = double(Now());
  PlayerState = 2;
  UpdateEnabled();
}

void Tvideoform::StopClick() {
  if (PlayerState == 2) {
    ImagerVideoView2->StopCapture();
    PlayerState = 0;
  } else if (PlayerState == 1) {
    ClosePlayback();
  }
  UpdateEnabled();
}

void Tvideoform::PlayClick() {
  const std::string file = Unquoted(FilenameEdit3->Text());
  if (PlayerState == 1 && !SameText(file, FPlayName)) ClosePlayback();
  if (PlayerState == 1) {
    FPlayStartTick = TickCount64();
    FPlayStartPos = FPlayPosMs;
    SetPlayRunning(true);
    return;
  }
  if (!FileExists(file)) {
    ShowMessage("Datei nicht gefunden.");
    return;
  }
  auto avi = std::make_unique<TAviFile>();
  TAviStreamInfo info;
  if (!avi->Open(file) || !avi->GetVideoStream() || !avi->StreamInfo(info) || !avi->GetFrameOpen() ||
      info.Scale == 0 || info.Rate == 0) {
    MessageDlg("Die Datei " + file + " lässt sich nicht abspielen.", mtWarning, TMsgDlgButtons{mbOK}, 0);
    return;
  }
  FPlayFile = std::move(avi);
  FPlayName = file;
  FPlayRate = double(info.Rate) / info.Scale;
  FPlayFrames = int32_t(info.Length);
  FPlayLengthMs = int64_t(FPlayFrames * 1000.0 / FPlayRate);
  PlayerState = 1;
  PositionBar->SetRange(0, int32_t(std::min<int64_t>(FPlayLengthMs, 0x7FFFFFFF)));
  ShowTime(TotalFields, FPlayLengthMs);
  FPlayPosMs = 0;
  FShownFrame = -1;
  ShowPlayFrame();
  FPlayStartTick = TickCount64();
  FPlayStartPos = 0;
  SetPlayRunning(true);
  UpdateEnabled();
}

void Tvideoform::ShowPlayPicture() {
  if (!FPlayFile) return;
  const int32_t index = std::clamp(int32_t(FPlayPosMs * FPlayRate / 1000.0), 0, std::max(0, FPlayFrames - 1));
  if (index == FShownFrame) return;
  if (const std::vector<uint8_t>* dib = FPlayFile->GetFrame(index)) {
    TBitmap frame;
    if (DibToBitmap(*dib, frame)) {
      frameie->Bitmap().Assign(&frame);
      frameie->Update();
      frameie->Fit();
      FrameViewChanged();
      FShownFrame = index;
    }
  }
}

void Tvideoform::ShowPlayPosition() {
  // Setting the fields must not read them back as a typed position halfway.
  FShowingPosition = true;
  struct TGuard {
    bool& B;
    ~TGuard() { B = false; }
  } guard{FShowingPosition};
  PositionBar->SetPosition(int32_t(FPlayPosMs));
  const TVideoTime t = SplitVideoTime(FPlayPosMs);
  const int32_t v[4] = {t.Hours, t.Minutes, t.Seconds, t.Hundredths};
  for (int i = 0; i < 4; ++i)
    if (int32_t(PosFields[i]->Value()) != v[i]) PosFields[i]->SetValue(v[i]);
}

void Tvideoform::ShowPlayFrame() {
  ShowPlayPicture();
  ShowPlayPosition();
}

void Tvideoform::SetPlayRunning(bool Value) {
  FPlayRunning = Value && FPlayFile && FPlayRate > 0;
  if (FPlayRunning) PlayTimer->SetInterval(uint32_t(std::max(1L, std::lround(1000.0 / FPlayRate))));
  PlayTimer->SetEnabled(FPlayRunning);
}

void Tvideoform::AdvancePlayClock() {
  if (PlayerState != 1 || !FPlayRunning) return;
  FPlayPosMs = FPlayStartPos + int64_t(TickCount64() - FPlayStartTick);
  if (FPlayPosMs >= FPlayLengthMs) {
    FPlayPosMs = FPlayLengthMs;
    SetPlayRunning(false);
  }
}

void Tvideoform::PlayTimerTick() {
  // The picture at the file's own rate; Timer1 moves the slider and the fields.
  const bool running = FPlayRunning;
  AdvancePlayClock();
  ShowPlayPicture();
  if (running && !FPlayRunning) ShowPlayPosition();  // the end shows at once
}

void Tvideoform::SetPlayPosition(int64_t Ms) {
  if (PlayerState != 1) return;
  FPlayPosMs = std::clamp<int64_t>(Ms, 0, FPlayLengthMs);
  FPlayStartTick = TickCount64();
  FPlayStartPos = FPlayPosMs;
  ShowPlayFrame();
}

int64_t Tvideoform::FramePosition(int32_t Delta) const {
  if (FPlayRate <= 0) return FPlayPosMs;
  const int32_t index = int32_t(FPlayPosMs * FPlayRate / 1000.0) + Delta;
  return int64_t(std::ceil(std::max(0, index) * 1000.0 / FPlayRate));
}

void Tvideoform::StepFrame(int32_t Delta) {
  if (PlayerState != 1 || FPlayRate <= 0) return;
  SetPlayRunning(false);
  SetPlayPosition(FramePosition(Delta));
}

void Tvideoform::Timer1Tick() {
  if (PlayerState == 2) {
    ShowTime(TotalFields, int64_t((double(Now()) - FRecordStart) * 86400000.0));
  } else if (PlayerState == 1 && FPlayRunning) {
    AdvancePlayClock();
    if (!FPlayRunning) ShowPlayPicture();
    ShowPlayPosition();
  }
}

}  // namespace kv

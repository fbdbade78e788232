#include "imaging/views/imager_video_view.h"

#include <cmath>
#include <cstring>

#include "imaging/processing/imager_proc.h"
#include "platform/devices/capture_dialogs.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/dialogs.h"
#include "platform/system/sound.h"
#include "platform/ui/message_window.h"

namespace kv {

namespace {

constexpr size_t kMaxDrivers = 10;

void Put32(uint8_t* P, uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = uint8_t(V >> (8 * i));
}

}  // namespace

TImagerVideoView::TImagerVideoView(TComponent* AOwner) : TImagerVect(AOwner), FFormat(kFormatBlockSize, 0) {
  RefreshDevices();
  FSession.OnFrame = [this](const TBitmap& Frame) { FrameArrived(Frame); };
  FSession.OnEnded = [this](const std::string& Message) { DeviceEnded(Message); };
}

TImagerVideoView::~TImagerVideoView() {
  FDestroying = true;
  FOnVideoFrame = nullptr;
  FOnVideoFrameRaw = nullptr;
  SetShowVideo(false);
  FSession.Close();
}

void TImagerVideoView::RefreshDevices() {
  FDevices = ListCaptureDevices();
  if (FDevices.size() > kMaxDrivers) FDevices.resize(kMaxDrivers);
  FDriverList.clear();
  for (const TCaptureDevice& d : FDevices) FDriverList.push_back(d.Name + " " + d.Version);
}

bool TImagerVideoView::Connect() {
  if (FSession.IsOpen()) return true;
  if (OnJob) OnJob(this, imjVideoCapConnecting, 0);
  if (FVideoSource < 0 || FVideoSource >= int32_t(FDevices.size())) {
    FLastError = "Kein Videogerät vorhanden";
    return false;
  }
  std::string err;
  if (!FSession.Open(FDevices[size_t(FVideoSource)], &err, FWantWidth, FWantHeight, FWantRate)) {
    FLastError = err;
    return false;
  }
  FSession.SetDelivering(false);  // nothing is shown until the preview starts
  FFormatKnown = false;
  ReadFormat();
  if (OnJob) OnJob(this, imjNothing, 0);
  return true;
}

void TImagerVideoView::Disconnect() {
  if (FCapturing) StopCapture();
  FSession.Close();
}

void TImagerVideoView::ReadFormat() {
  if (FFormatKnown || !FSession.IsOpen()) return;
  const TCaptureFormat f = FSession.Format();
  std::fill(FFormat.begin(), FFormat.end(), 0);
  Put32(&FFormat[0], 40);
  Put32(&FFormat[4], uint32_t(f.Width));
  Put32(&FFormat[8], uint32_t(-f.Height));  // negative: rows top-down, as the frames come
  FFormat[12] = 1;                          // planes
  FFormat[14] = 24;                         // bits per pixel
  Put32(&FFormat[20], uint32_t(((f.Width * 24 + 31) / 32) * 4 * f.Height));
  FFormatKnown = true;
}

TRect TImagerVideoView::GetVideoSize() {
  bool own = false;
  if (!FFormatKnown && !ConnectTemporarily(own)) return TRect{};
  ReadFormat();
  const TCaptureFormat f = FSession.Format();
  int32_t w = 0, h = 0;
  if (f.Width > 0) {
    w = f.Width;
    h = f.Height;
  } else {
    uint32_t uw = 0, uh = 0;
    std::memcpy(&uw, &FFormat[4], 4);
    std::memcpy(&uh, &FFormat[8], 4);
    w = int32_t(uw);
    h = -int32_t(uh);
  }
  if (own) Disconnect();
  if (w <= 0 || h <= 0) return TRect{};
  return Rect(0, 0, w - 1, h - 1);
}

void TImagerVideoView::StartPreview() {
  if (!FSession.IsOpen()) return;
  // Overlay draws every frame; the preview one per PreviewRate milliseconds.
  FSession.SetDeliveryInterval(FDisplayMode == dmPreview ? uint32_t(std::max(FPreviewRate, 0)) : 0);
  FSession.SetDelivering(true);
}

void TImagerVideoView::SetShowVideo(bool Value) {
  if (Value) {
    if (FShowVideo) return;
    FFrozen = false;
    TImagerView::SetScrollBars(ssNone);
    if (!Connect()) return;
    SetDisplayMode(FDisplayMode);
    FShowVideo = true;
    Invalidate();
  } else {
    const bool was = FShowVideo;
    Disconnect();
    FShowVideo = false;
    FLive.SetSize(0, 0);
    if (was && FRememberedScrollBars != ssNone && !FDestroying) TImagerView::SetScrollBars(FRememberedScrollBars);
    if (!FDestroying) Invalidate();
  }
}

void TImagerVideoView::SetDisplayMode(TVCDisplayMode Value) {
  FDisplayMode = Value;
  if (!FSession.IsOpen()) return;
  DeSelect();
  if (!FFrozen) StartPreview();
}

void TImagerVideoView::SetVideoSource(int32_t Value) {
  FVideoSource = Value;
  FWantWidth = FWantHeight = 0;
  FWantRate = 0;
  if (FShowVideo) {
    SetShowVideo(false);
    SetShowVideo(true);
  }
}

void TImagerVideoView::SetPreviewRate(int32_t Value) {
  FPreviewRate = Value;
  if (FSession.IsOpen() && FDisplayMode == dmPreview && !FFrozen)
    FSession.SetDeliveryInterval(uint32_t(std::max(Value, 0)));
}

void TImagerVideoView::SetScrollBars(TScrollStyle Value) {
  FRememberedScrollBars = Value;
  TImagerView::SetScrollBars(Value);
}

void TImagerVideoView::SetOnVideoFrame(TVideoFrameEvent Value) { FOnVideoFrame = std::move(Value); }

void TImagerVideoView::SetOnVideoFrameRaw(TVideoFrameRawEvent Value) { FOnVideoFrameRaw = std::move(Value); }

void TImagerVideoView::Select(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Op) {
  if (FFrozen || !FShowVideo) TImagerVect::Select(X1, Y1, X2, Y2, Op);
}

void TImagerVideoView::GrabFrameNoStop() {
  if (FSession.IsOpen()) FSession.RequestFrame();
}

void TImagerVideoView::SetFreeze(bool Value) {
  FFrozen = Value;
  if (!FShowVideo || !FSession.IsOpen()) return;
  if (!Value) {
    SetDisplayMode(FDisplayMode);
    Invalidate();
    return;
  }
  FSession.SetDelivering(false);
  FGrabPending = true;
  FSession.RequestFrame();
  // A device that never delivers must not hold the view: after the time-out
  // the previous bitmap stays.
  const uint64_t deadline = TickCount64() + kGrabTimeoutMs;
  while (FGrabPending && FSession.IsOpen() && TickCount64() < deadline)
    WaitForMessages(uint32_t(std::max<int64_t>(1, int64_t(deadline - TickCount64()))));
  FGrabPending = false;
  if (FFitFreeze && !Bitmap().Empty() && ClientWidth() > 0 && ClientHeight() > 0) {
    TImagerProc proc(nullptr);
    proc.SetAttachedBitmap(&Bitmap());
    const bool smaller = Bitmap().Width() < ClientWidth() || Bitmap().Height() < ClientHeight();
    proc.Resample(ClientWidth(), ClientHeight(), smaller ? rfFastLinear : rfNone);
  }
  Update();
}

void TImagerVideoView::FrameArrived(const TBitmap& Frame) {
  if (FOnVideoFrame) {
    TBitmap copy;
    copy.Assign(&Frame);
    FOnVideoFrame(this, &copy);
  }
  if (FOnVideoFrameRaw) {
    ReadFormat();
    FOnVideoFrameRaw(this, FFormat.data(), Frame.ScanLine(0));
  }
  if (FGrabPending) {
    Bitmap().Assign(&Frame);
    FGrabPending = false;
    return;
  }
  if (FShowVideo && !FFrozen) {
    FLive.Assign(&Frame);
    Invalidate();
  }
}

void TImagerVideoView::DeviceEnded(const std::string& Message) {
  // The session has closed itself; the view goes back to showing its bitmap.
  FCapturing = false;
  if (FSound) FSound->Stop();
  FSound.reset();
  FGrabPending = false;
  const bool was = FShowVideo;
  FShowVideo = false;
  FFrozen = false;
  FLive.SetSize(0, 0);
  if (was && FRememberedScrollBars != ssNone) TImagerView::SetScrollBars(FRememberedScrollBars);
  Invalidate();
  FLastError = Message;
  if (OnVideoEnded) OnVideoEnded(this, Message);
  else ShowMessage(Message);
}

void TImagerVideoView::Paint() {
  if (FShowVideo && !FFrozen) {
    if (ClientWidth() <= 0 || ClientHeight() <= 0) return;
    TCanvas& c = Canvas();
    if (FLive.Empty()) {
      c.Brush().SetColor(Background());
      c.FillRect(ClientRect());
    } else {
      c.StretchDraw(ClientRect(), FLive);
    }
    return;
  }
  TImagerVect::Paint();
}

bool TImagerVideoView::ConnectTemporarily(bool& Own) {
  Own = !FSession.IsOpen();
  return Connect();
}

void TImagerVideoView::AfterDialog(bool Own) {
  FFormatKnown = false;
  ReadFormat();
  if (Own) Disconnect();
}

bool TImagerVideoView::ShowVideoSourceDialog() {
  bool own = false;
  if (!ConnectTemporarily(own)) return false;
  const bool ok = CaptureSourceDialog(FSession.Device());
  AfterDialog(own);
  return ok;
}

bool TImagerVideoView::ShowVideoFormatDialog() {
  bool own = false;
  if (!ConnectTemporarily(own)) return false;
  TCaptureFormatChoice choice;
  const bool ok = CaptureFormatDialog(FSession.Device(), FSession.Format(), choice);
  if (ok) {
    // The new format needs the device opened afresh.
    FWantWidth = choice.Width;
    FWantHeight = choice.Height;
    FWantRate = choice.Rate;
    const bool shown = FShowVideo, recording = FCapturing;
    if (!recording) {
      FSession.Close();
      if (!Connect()) {
        FShowVideo = false;
        return false;
      }
      if (shown && !FFrozen) StartPreview();
    }
  }
  AfterDialog(own);
  return ok;
}

bool TImagerVideoView::ShowVideoDisplayDialog() {
  bool own = false;
  if (!ConnectTemporarily(own)) return false;
  int32_t rate = FPreviewRate;
  const bool ok = CaptureDisplayDialog(rate);
  if (ok) SetPreviewRate(rate);
  AfterDialog(own);
  return ok;
}

bool TImagerVideoView::ShowVideoCompressionDialog() {
  bool own = false;
  if (!ConnectTemporarily(own)) return false;
  int32_t quality = FCaptureQuality;
  const bool ok = CaptureCompressionDialog(quality);
  if (ok) SetCaptureQuality(quality);
  AfterDialog(own);
  return ok;
}

int32_t TImagerVideoView::MicroSecPerFrame() const {
  return FCaptureFrameRate > 0 ? Round32(1000000.0 / FCaptureFrameRate) : 0;
}

bool TImagerVideoView::StartCapture() {
  if (FCapturing) return false;
  if (!FSession.IsOpen() || FCaptureFrameRate <= 0) {
    FLastError = FSession.IsOpen() ? "Ungültige Bildrate" : "Kein Videogerät verbunden";
    return false;
  }
  std::string err;
  FLastError.clear();
  int32_t rate = 0, channels = 0;
  if (FCaptureAudio) {
    FSound = std::make_unique<TSoundRecorder>();
    const TSoundStatus st = FSound->Start();
    if (st.Ok()) {
      rate = FSound->Format().SampleRate;
      channels = FSound->Format().Channels;
    } else {
      // No sound device: the frames are recorded all the same.
      FLastError = "Ohne Ton: " + st.Message;
      FSound.reset();
    }
  }
  if (!FSession.StartRecording(FCaptureFile, FCaptureFrameRate, &err, FCaptureQuality, rate, channels)) {
    FLastError = err;
    if (FSound) FSound->Stop();
    FSound.reset();
    return false;
  }
  FCapturing = true;
  if (!FCaptureYield) CaptureInForeground();
  return true;
}

void TImagerVideoView::CaptureInForeground() {
  // Only the device's own frames are handled, each through the frame events,
  // until a handler stops the capture or the device ends; the rest of the
  // program waits until then.
  while (FCapturing && FSession.IsOpen() && !MessageLoopEnding()) {
    FSession.RequestFrame();
    FSession.HandleOwnMessage(100);
  }
}

void TImagerVideoView::StopCapture() {
  if (!FCapturing) return;
  std::string err;
  std::vector<int16_t> samples;
  if (FSound) {
    FSound->Stop();
    samples = FSound->Samples();
  }
  if (!FSession.StopRecording(&err, FSound ? &samples : nullptr) && !err.empty()) FLastError = err;
  FSound.reset();
  FCapturing = false;
}

}  // namespace kv

// The capture view: a vector view that shows the live picture of a capture
// device, freezes one frame into its bitmap, hands every frame to its owner
// as a bitmap or as raw rows, and records the device to an AVI file.
//
// Frames come from the capture layer on the UI thread; a frame that comes
// while the one before is still being handled is dropped by the layer. The
// live picture is drawn scaled into the client area; the view's bitmap is
// touched only by a freeze.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/model/kernel_types.h"
#include "imaging/views/imager_vect.h"
#include "platform/devices/video_capture.h"

namespace kv {

enum TVCDisplayMode : uint8_t { dmPreview, dmOverlay };

using TVideoFrameEvent = std::function<void(TObject* Sender, TBitmap* Bitmap)>;
// hDib: the format block (a 40-byte bitmap info header: width, height
// negative for top-down rows, 24 bits); pData: the frame's rows.
using TVideoFrameRawEvent = std::function<void(TObject* Sender, const void* hDib, const void* pData)>;
// A device that stops giving frames; the view has turned its video off.
using TVideoEndedEvent = std::function<void(TObject* Sender, const std::string& Message)>;

class TSoundRecorder;

class TImagerVideoView : public TImagerVect {
 public:
  static constexpr int32_t kFormatBlockSize = 1068;
  // How long a freeze waits for its frame before it keeps the previous bitmap.
  static constexpr uint32_t kGrabTimeoutMs = 3000;

  explicit TImagerVideoView(TComponent* AOwner);
  ~TImagerVideoView() override;

  // "name version" of each device, in device order (at most ten).
  const std::vector<std::string>& VideoSourceList() const { return FDriverList; }
  const std::vector<TCaptureDevice>& Devices() const { return FDevices; }
  // Lists the devices again (a camera plugged in later).
  void RefreshDevices();

  bool ShowVideo() const { return FShowVideo; }
  void SetShowVideo(bool Value);
  bool Freeze() const { return FFrozen; }
  void SetFreeze(bool Value);
  TVCDisplayMode DisplayMode() const { return FDisplayMode; }
  void SetDisplayMode(TVCDisplayMode Value);
  int32_t VideoSource() const { return FVideoSource; }
  void SetVideoSource(int32_t Value);
  int32_t PreviewRate() const { return FPreviewRate; }
  void SetPreviewRate(int32_t Value);
  void SetScrollBars(TScrollStyle Value) override;
  bool FitFreeze() const { return FFitFreeze; }
  void SetFitFreeze(bool Value) { FFitFreeze = Value; }
  bool Connected() const { return FSession.IsOpen(); }

  const TVideoFrameEvent& OnVideoFrame() const { return FOnVideoFrame; }
  void SetOnVideoFrame(TVideoFrameEvent Value);
  const TVideoFrameRawEvent& OnVideoFrameRaw() const { return FOnVideoFrameRaw; }
  void SetOnVideoFrameRaw(TVideoFrameRawEvent Value);
  TIMJobEvent OnJob;
  TVideoEndedEvent OnVideoEnded;

  // Selection works on a frozen frame or with the video off.
  void Select(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Op = 0) override;

  // The driver's dialogs, our own over the device's settings; each connects
  // for the time of the dialog when not connected. False when it cannot
  // connect or the dialog is cancelled.
  bool ShowVideoSourceDialog();
  bool ShowVideoFormatDialog();
  bool ShowVideoDisplayDialog();
  bool ShowVideoCompressionDialog();

  // 0, 0, width - 1, height - 1 of the device's format (empty when unknown).
  TRect GetVideoSize();
  // The format block: a bitmap info header of the current format.
  const std::vector<uint8_t>& VideoFormat() const { return FFormat; }

  // Makes the device deliver one frame through the frame events without
  // stopping or freezing anything.
  void GrabFrameNoStop();

  // ---- recording ----
  const std::string& CaptureFile() const { return FCaptureFile; }
  void SetCaptureFile(const std::string& Value) { FCaptureFile = Value; }
  int32_t CaptureFrameRate() const { return FCaptureFrameRate; }
  void SetCaptureFrameRate(int32_t Value) { FCaptureFrameRate = Value; }
  // Sound from the sound device goes into the file beside the frames.
  bool CaptureAudio() const { return FCaptureAudio; }
  void SetCaptureAudio(bool Value) { FCaptureAudio = Value; }
  // True: recording runs in the background and the program goes on. False:
  // StartCapture records in the foreground and returns only when a frame
  // event has called StopCapture or the device has ended; meanwhile the
  // recorded frames reach the frame events and no other message is handled.
  bool CaptureYield() const { return FCaptureYield; }
  void SetCaptureYield(bool Value) { FCaptureYield = Value; }
  // JPEG quality of the recorded frames, 1 (smallest) to 100; set by the compression dialog.
  int32_t CaptureQuality() const { return FCaptureQuality; }
  void SetCaptureQuality(int32_t Value) { FCaptureQuality = std::clamp(Value, 1, 100); }
  // Microseconds per frame a recording asks for: round(1000000 / CaptureFrameRate).
  int32_t MicroSecPerFrame() const;
  bool StartCapture();
  void StopCapture();
  bool Capturing() const { return FCapturing; }
  // Why the last connect or recording failed.
  const std::string& LastError() const { return FLastError; }

  TCaptureSession& Session() { return FSession; }

 protected:
  void Paint() override;

 private:
  bool Connect();
  void Disconnect();
  void ReadFormat();
  void StartPreview();
  void FrameArrived(const TBitmap& Frame);
  void DeviceEnded(const std::string& Message);
  void CaptureInForeground();
  // Connects for a dialog; Own tells whether the dialog must disconnect again.
  bool ConnectTemporarily(bool& Own);
  void AfterDialog(bool Own);

  std::vector<TCaptureDevice> FDevices;
  std::vector<std::string> FDriverList;
  TCaptureSession FSession;
  bool FShowVideo = false;
  bool FFrozen = false;
  TVCDisplayMode FDisplayMode = dmPreview;
  int32_t FVideoSource = 0;
  TScrollStyle FRememberedScrollBars = ssNone;
  int32_t FPreviewRate = 60;
  TVideoFrameEvent FOnVideoFrame;
  TVideoFrameRawEvent FOnVideoFrameRaw;
  std::vector<uint8_t> FFormat;
  bool FFormatKnown = false;
  bool FFitFreeze = true;
  bool FGrabPending = false;
  std::string FCaptureFile = "Capture.avi";
  int32_t FCaptureFrameRate = 15;
  bool FCaptureAudio = false;
  bool FCaptureYield = true;
  int32_t FCaptureQuality = 90;
  bool FCapturing = false;
  std::unique_ptr<TSoundRecorder> FSound;
  bool FDestroying = false;
  std::string FLastError;
  // The last live frame, drawn while video is shown and not frozen.
  TBitmap FLive;
  // Requested format, kept across reconnects (0: the device's own).
  int32_t FWantWidth = 0, FWantHeight = 0;
  double FWantRate = 0;

  friend class TCaptureDialogs;
};

}  // namespace kv

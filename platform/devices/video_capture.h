// The video-capture layer: cameras (V4L2), the screen and single windows
// (X11) and, when the environment asks for it, a generated test pattern, all
// read through the system's device, demuxer and decoder libraries and turned
// into 24-bit bitmaps by one conversion path.
//
// A device is opened by a TCaptureSession. Its frames are read and decoded on
// a worker thread; each converted frame reaches the session's OnFrame on the
// UI thread through the message loop. While a frame is still waiting to be
// handled, a newer one is dropped and counted, so a slow handler never makes
// frames pile up. Recording writes the frames as MJPEG into an AVI file.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class TBitmap;

enum TCaptureSourceKind : uint8_t { cskCamera, cskTestPattern, cskScreen };

struct TCaptureDevice {
  std::string Name;     // the card's name (the pattern's name)
  std::string Version;  // the driver's version as "major.minor.patch"
  std::string Path;     // the device node; for the pattern its generator text; for the screen the display
  TCaptureSourceKind Kind = cskCamera;
  uint32_t WindowId = 0;  // screen: the window to grab, 0 the whole screen
};

// The environment variable that offers the test pattern as a device. Its
// value is "1" for the default size (320 x 240 at 30 frames per second), or
// "WIDTHxHEIGHT@RATE", or that with ":SECONDS" after which the pattern ends.
constexpr const char* kCaptureTestSourceVar = "KV_CAPTURE_TEST_SOURCE";

// Cameras from /dev/video* that can capture, with the names their drivers
// give, in node order; then the test pattern when the environment asks.
std::vector<TCaptureDevice> ListCaptureDevices();
// The screen (WindowId 0) or one of its windows on the X display of the
// environment.
TCaptureDevice ScreenCaptureDevice(uint32_t WindowId = 0);

// What a session delivers.
struct TCaptureFormat {
  int32_t Width = 0;
  int32_t Height = 0;
  double FrameRate = 0;      // frames per second the device states
  std::string PixelFormat;   // the device's own pixel format name
};

// Whether the system's capture libraries can be used; Error says why not.
bool CaptureLibrariesAvailable(std::string* Error = nullptr);

// One 24-bit frame of Device (the screen: its window at its current size)
// read synchronously; false with Error set when the device gives none.
bool GrabSingleFrame(const TCaptureDevice& Device, TBitmap& Into, std::string* Error = nullptr);

class TCaptureSession {
 public:
  // A frame on the UI thread; the bitmap is 24-bit and valid during the call.
  using TFrameEvent = std::function<void(const TBitmap& Frame)>;
  // The device stopped giving frames (unplugged, closed by its server); on
  // the UI thread, once, after which the session is closed.
  using TEndedEvent = std::function<void(const std::string& Message)>;

  TCaptureSession();
  ~TCaptureSession();
  TCaptureSession(const TCaptureSession&) = delete;
  TCaptureSession& operator=(const TCaptureSession&) = delete;

  // Opens the device and starts reading. Width/Height/FrameRate, when not 0,
  // ask the device for that format. False with Error set when it fails.
  bool Open(const TCaptureDevice& Device, std::string* Error = nullptr, int32_t Width = 0, int32_t Height = 0,
            double FrameRate = 0);
  void Close();
  bool IsOpen() const;
  const TCaptureDevice& Device() const { return FDevice; }
  // What the device delivers; zeros while closed.
  TCaptureFormat Format() const;

  // At most one frame per Ms milliseconds reaches OnFrame (0: every frame).
  void SetDeliveryInterval(uint32_t Ms);
  // Off: frames are read (and recorded) but not delivered.
  void SetDelivering(bool Value);
  bool Delivering() const;
  // Delivers the next frame even while delivery is off or held back by the interval.
  void RequestFrame();
  // Handles one message of this session alone (a frame for OnFrame, or the
  // device's end), waiting up to MaxWaitMs for it; every other message stays
  // queued. For work that must not let the rest of the program run. False
  // when nothing came in time or the session is closed.
  bool HandleOwnMessage(uint32_t MaxWaitMs);

  TFrameEvent OnFrame;
  TEndedEvent OnEnded;

  // Frames handed to OnFrame, and frames dropped because the one before
  // had not been handled yet.
  uint64_t DeliveredFrames() const;
  uint64_t DroppedFrames() const;

  // Records the frames into an AVI file with MJPEG video at FrameRate frames
  // per second (a frame the device gives too early is skipped, a late one
  // fills its place). Quality 1 (smallest) to 100. False with Error set when
  // the file cannot be written.
  // AudioRate/AudioChannels other than 0 add a 16-bit PCM sound stream,
  // whose samples StopRecording receives.
  bool StartRecording(const std::string& FileName, double FrameRate, std::string* Error = nullptr,
                      int32_t Quality = 90, int32_t AudioRate = 0, int32_t AudioChannels = 0);
  // Finishes the file (with Audio's interleaved samples when the recording
  // has sound); its error (a full disk) is returned in Error.
  bool StopRecording(std::string* Error = nullptr, const std::vector<int16_t>* Audio = nullptr);
  bool Recording() const;
  uint64_t RecordedFrames() const;

 private:
  struct TState;
  std::shared_ptr<TState> F;
  TCaptureDevice FDevice;
  void Deliver();
  void Ended();
};

// The version text of a V4L2 capability word.
std::string V4l2VersionText(uint32_t Version);

}  // namespace kv

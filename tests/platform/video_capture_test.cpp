// The capture layer on the generated test pattern, checked against ffmpeg's
// own rendering and ffprobe; cameras only where a /dev/video node exists.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/devices/v4l2_device.h"
#include "platform/devices/video_capture.h"
#include "platform/graphics/bitmap.h"
#include "platform/media/avi_reader.h"
#include "platform/ui/message_window.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::HaveTool;
using test::RunCapture;

// Offers the pattern for the time of one test.
class TTestSourceEnv {
 public:
  explicit TTestSourceEnv(const std::string& Value) { ::setenv(kCaptureTestSourceVar, Value.c_str(), 1); }
  ~TTestSourceEnv() { ::unsetenv(kCaptureTestSourceVar); }
};

TCaptureDevice Pattern(const std::string& Spec) {
  TCaptureDevice d;
  d.Name = "Testbild";
  d.Path = Spec;
  d.Kind = cskTestPattern;
  return d;
}

template <typename F> bool WaitFor(F Done, uint32_t Ms = 10000) {
  const uint64_t deadline = TickCount64() + Ms;
  while (!Done()) {
    if (TickCount64() >= deadline) return false;
    WaitForMessages(50);
  }
  return true;
}

TEST(VideoCaptureTest, TestPatternIsListedOnlyWhenAskedFor) {
  for (const TCaptureDevice& d : ListCaptureDevices()) EXPECT_NE(d.Kind, cskTestPattern);
  TTestSourceEnv env("160x120@30");
  const std::vector<TCaptureDevice> list = ListCaptureDevices();
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list.back().Kind, cskTestPattern);
  EXPECT_EQ(list.back().Name, "Testbild");
  EXPECT_EQ(V4l2VersionText(0x050A03), "5.10.3");
}

// The first frame of the pattern against ffmpeg's rendering of the same frame.
TEST(VideoCaptureTest, GrabMatchesFfmpegRendering) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
  ASSERT_TRUE(CaptureLibrariesAvailable());
  TBitmap frame;
  std::string err;
  ASSERT_TRUE(GrabSingleFrame(Pattern("160x120@30"), frame, &err)) << err;
  ASSERT_EQ(frame.Width(), 160);
  ASSERT_EQ(frame.Height(), 120);
  test::TScratchFolder dir;
  const std::string raw = dir.Path() + "/ref.bgr";
  ASSERT_EQ(test::Run("ffmpeg -v error -y -f lavfi -i testsrc2=size=160x120:rate=30 -frames:v 1 -f rawvideo "
                      "-pix_fmt bgr24 '" + raw + "'"),
            0);
  const std::vector<uint8_t> ref = test::ReadBytes(raw);
  ASSERT_EQ(ref.size(), size_t(160 * 120 * 3));
  int64_t sum = 0;
  int worst = 0;
  for (int y = 0; y < 120; ++y) {
    const auto* row = static_cast<const uint8_t*>(frame.ScanLine(y));
    for (int x = 0; x < 160 * 3; ++x) {
      const int d = std::abs(int(row[x]) - int(ref[size_t(y) * 480 + x]));
      sum += d;
      worst = std::max(worst, d);
    }
  }
  // Both convert the same YUV frame; only the chroma filters may differ.
  EXPECT_LT(double(sum) / (160 * 120 * 3), 3.0);
  EXPECT_LT(worst, 96);
}

TEST(VideoCaptureTest, FramesReachTheUiThreadAndSlowHandlersDrop) {
  TCaptureSession s;
  std::string err;
  ASSERT_TRUE(s.Open(Pattern("96x64@60"), &err)) << err;
  EXPECT_EQ(s.Format().Width, 96);
  EXPECT_EQ(s.Format().Height, 64);
  EXPECT_NEAR(s.Format().FrameRate, 60, 0.01);
  const std::thread::id ui = std::this_thread::get_id();
  int frames = 0;
  bool onUi = true;
  s.OnFrame = [&](const TBitmap& F) {
    onUi = onUi && std::this_thread::get_id() == ui;
    EXPECT_EQ(F.PixelFormat(), pf24bit);
    ++frames;
    // A handler slower than the source: frames meanwhile must be dropped.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(80);
    while (std::chrono::steady_clock::now() < until) {
    }
  };
  ASSERT_TRUE(WaitFor([&] { return frames >= 5; }));
  EXPECT_TRUE(onUi);
  EXPECT_GT(s.DroppedFrames(), 0u);
  EXPECT_EQ(s.DeliveredFrames(), uint64_t(frames));
  EXPECT_LE(PendingMessageCount(), 2);
  // Off: nothing is delivered until a frame is asked for.
  s.SetDelivering(false);
  WaitForMessages(100);
  const int before = frames;
  s.RequestFrame();
  ASSERT_TRUE(WaitFor([&] { return frames == before + 1; }));
  s.Close();
  EXPECT_FALSE(s.IsOpen());
}

TEST(VideoCaptureTest, EndOfSourceEndsTheSessionWithAMessage) {
  TCaptureSession s;
  ASSERT_TRUE(s.Open(Pattern("64x48@30:0.3")));
  std::string message;
  s.OnEnded = [&](const std::string& M) { message = M; };
  ASSERT_TRUE(WaitFor([&] { return !message.empty(); }));
  EXPECT_NE(message.find("Testbild"), std::string::npos);
  EXPECT_FALSE(s.IsOpen());
}

TEST(VideoCaptureTest, RecordingIsAnMjpegAviOfTheRightLength) {
  if (!HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe missing";
  test::TScratchFolder dir;
  const std::string file = dir.Path() + "/rec.avi";
  TCaptureSession s;
  ASSERT_TRUE(s.Open(Pattern("176x144@30")));
  std::string err;
  ASSERT_TRUE(s.StartRecording(file, 15, &err)) << err;
  EXPECT_FALSE(s.StartRecording(file, 15, &err));
  ASSERT_TRUE(WaitFor([&] { return s.RecordedFrames() >= 45; }, 20000));
  ASSERT_TRUE(s.StopRecording(&err)) << err;
  s.Close();
  const std::string probe =
      RunCapture("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                 "stream=codec_name,width,height,nb_read_frames,r_frame_rate -of default=nw=1 '" + file + "'");
  EXPECT_NE(probe.find("codec_name=mjpeg"), std::string::npos) << probe;
  EXPECT_NE(probe.find("width=176"), std::string::npos) << probe;
  EXPECT_NE(probe.find("height=144"), std::string::npos) << probe;
  EXPECT_NE(probe.find("r_frame_rate=15/1"), std::string::npos) << probe;
  const size_t at = probe.find("nb_read_frames=");
  ASSERT_NE(at, std::string::npos);
  const int n = std::atoi(probe.c_str() + at + 15);
  EXPECT_GE(n, 45);
  EXPECT_LE(n, 50);
  // Our own reader plays it back.
  TAviFile avi;
  ASSERT_TRUE(avi.Open(file));
  ASSERT_TRUE(avi.GetVideoStream());
  ASSERT_TRUE(avi.GetFrameOpen());
  EXPECT_NE(avi.GetFrame(0), nullptr);
}

TEST(VideoCaptureTest, UnwritableRecordingFileIsRefused) {
  TCaptureSession s;
  ASSERT_TRUE(s.Open(Pattern("64x48@30")));
  std::string err;
  EXPECT_FALSE(s.StartRecording("/nonexistent-folder/x.avi", 15, &err));
  EXPECT_FALSE(err.empty());
  EXPECT_FALSE(s.Recording());
}

TEST(VideoCaptureTest, RealCamera) {
  std::vector<TCaptureDevice> cams;
  for (const TCaptureDevice& d : ListCaptureDevices())
    if (d.Kind == cskCamera) cams.push_back(d);
  if (cams.empty()) GTEST_SKIP() << "no camera at /dev/video*";
  std::vector<TV4l2Format> formats;
  ASSERT_TRUE(QueryV4l2Formats(cams[0].Path, formats));
  EXPECT_FALSE(formats.empty());
  std::vector<TV4l2Control> controls;
  EXPECT_TRUE(QueryV4l2Controls(cams[0].Path, controls));
  TBitmap frame;
  std::string err;
  ASSERT_TRUE(GrabSingleFrame(cams[0], frame, &err)) << err;
  EXPECT_GT(frame.Width(), 0);
}

}  // namespace
}  // namespace kv

// The capture view on the generated test pattern: connecting with its job
// numbers, live frames, freezing, recording and a device that goes away.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/views/imager_video_view.h"
#include "platform/media/avi_reader.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/message_window.h"
#include "platform/ui/std_controls.h"
#include "shown_view_fixture.h"
#include "support/alsa_test_env.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

class TPatternEnv {
 public:
  explicit TPatternEnv(const char* Value) {
    if (Value) ::setenv(kCaptureTestSourceVar, Value, 1);
    else ::unsetenv(kCaptureTestSourceVar);
  }
  ~TPatternEnv() { ::unsetenv(kCaptureTestSourceVar); }
};

template <typename F> bool WaitFor(F Done, uint32_t Ms = 10000) {
  const uint64_t deadline = TickCount64() + Ms;
  while (!Done()) {
    if (TickCount64() >= deadline) return false;
    WaitForMessages(20);
  }
  return true;
}

class ImagerVideoViewTest : public test::ShownViewTest<TImagerVideoView> {
 protected:
  // The pattern is the last device; cameras of the machine come first.
  void Connect() {
    ASSERT_FALSE(View->VideoSourceList().empty());
    View->SetVideoSource(int32_t(View->VideoSourceList().size()) - 1);
    View->SetShowVideo(true);
    ASSERT_TRUE(View->ShowVideo()) << View->LastError();
  }
};

TEST_F(ImagerVideoViewTest, DefaultsAndNoDevice) {
  TPatternEnv env(nullptr);
  ShowView(160, 120);
  EXPECT_EQ(View->PreviewRate(), 60);
  EXPECT_EQ(View->CaptureFile(), "Capture.avi");
  EXPECT_EQ(View->CaptureFrameRate(), 15);
  EXPECT_EQ(View->MicroSecPerFrame(), 66667);
  EXPECT_TRUE(View->FitFreeze());
  EXPECT_TRUE(View->CaptureYield());
  EXPECT_FALSE(View->CaptureAudio());
  EXPECT_EQ(View->VideoFormat().size(), size_t(TImagerVideoView::kFormatBlockSize));
  // Past the last device nothing connects and nothing is shown.
  View->SetVideoSource(int32_t(View->VideoSourceList().size()));
  View->SetShowVideo(true);
  EXPECT_FALSE(View->ShowVideo());
  EXPECT_FALSE(View->ShowVideoFormatDialog());
  EXPECT_FALSE(View->StartCapture());
}

TEST_F(ImagerVideoViewTest, ConnectReportsJobsAndDeliversFrames) {
  TPatternEnv env("120x90@30");
  ShowView(160, 120);
  EXPECT_EQ(View->VideoSourceList().back(), "Testbild testsrc2");
  std::vector<int> jobs;
  View->OnJob = [&](TObject*, TIMJob Job, int32_t Per) {
    jobs.push_back(int(Job));
    EXPECT_EQ(Per, 0);
  };
  int frames = 0, raw = 0;
  View->SetOnVideoFrame([&](TObject* S, TBitmap* B) {
    EXPECT_EQ(S, View);
    EXPECT_EQ(B->Width(), 120);
    EXPECT_EQ(B->PixelFormat(), pf24bit);
    ++frames;
  });
  View->SetOnVideoFrameRaw([&](TObject*, const void* Format, const void* Data) {
    EXPECT_NE(Data, nullptr);
    int32_t w = 0;
    std::memcpy(&w, static_cast<const uint8_t*>(Format) + 4, 4);
    EXPECT_EQ(w, 120);
    ++raw;
  });
  View->SetPreviewRate(10);
  Connect();
  EXPECT_EQ(jobs, (std::vector<int>{imjVideoCapConnecting, imjNothing}));
  const TRect size = View->GetVideoSize();
  EXPECT_EQ(size.Right, 119);
  EXPECT_EQ(size.Bottom, 89);
  ASSERT_TRUE(WaitFor([&] { return frames >= 5 && raw >= 5; }));
  // Selection waits for a frozen frame.
  View->Select(1, 1, 10, 10);
  EXPECT_FALSE(View->SelectionExists());

  // Freeze: one frame into the bitmap, fitted to the client area.
  View->SetFitFreeze(false);
  View->SetFreeze(true);
  EXPECT_TRUE(View->Freeze());
  EXPECT_EQ(View->Bitmap().Width(), 120);
  EXPECT_EQ(View->Bitmap().Height(), 90);
  const int before = frames;
  WaitForMessages(200);
  EXPECT_LE(frames, before + 1);  // frozen: no preview frames
  View->GrabFrameNoStop();
  ASSERT_TRUE(WaitFor([&] { return frames > before; }));
  View->SetFreeze(false);
  View->SetFitFreeze(true);
  View->SetFreeze(true);
  EXPECT_EQ(View->Bitmap().Width(), View->ClientWidth());
  EXPECT_EQ(View->Bitmap().Height(), View->ClientHeight());
  View->SetShowVideo(false);
  EXPECT_FALSE(View->Connected());
}

TEST_F(ImagerVideoViewTest, RecordsAndReconnectsOnSourceChange) {
  TPatternEnv env("96x64@30");
  ShowView(160, 120);
  Connect();
  test::TScratchFolder dir;
  View->SetCaptureFile(dir.Path() + "/cap.avi");
  View->SetCaptureFrameRate(10);
  ASSERT_TRUE(View->StartCapture()) << View->LastError();
  EXPECT_FALSE(View->StartCapture());
  ASSERT_TRUE(WaitFor([&] { return View->Session().RecordedFrames() >= 5; }));
  View->StopCapture();
  EXPECT_FALSE(View->Capturing());
  TAviFile avi;
  TAviStreamInfo info;
  ASSERT_TRUE(avi.Open(dir.Path() + "/cap.avi"));
  ASSERT_TRUE(avi.GetVideoStream());
  ASSERT_TRUE(avi.StreamInfo(info));
  EXPECT_EQ(info.Width, 96);
  EXPECT_EQ(info.Rate / std::max<uint32_t>(info.Scale, 1), 10u);
  EXPECT_GE(info.Length, 5u);
  // Choosing the source again while showing reconnects.
  View->SetVideoSource(View->VideoSource());
  EXPECT_TRUE(View->ShowVideo());
  EXPECT_TRUE(View->Connected());
}

// Without yield the recording runs in the foreground: StartCapture returns
// when a frame handler stops it, and no other message runs meanwhile.
TEST_F(ImagerVideoViewTest, CaptureWithoutYieldRunsInTheForeground) {
  TPatternEnv env("64x48@30");
  ShowView(160, 120);
  Connect();
  test::TScratchFolder dir;
  const std::string file = dir.Path() + "/fg.avi";
  View->SetCaptureFile(file);
  View->SetCaptureFrameRate(30);
  View->SetCaptureYield(false);
  int frames = 0;
  View->SetOnVideoFrame([&](TObject*, TBitmap*) {
    if (++frames == 8) View->StopCapture();
  });
  bool other = false;
  const HWND wnd = AllocateHWnd([&](TMessage&) { other = true; });
  PostMessage(wnd, WM_USER);
  ASSERT_TRUE(View->StartCapture()) << View->LastError();
  EXPECT_FALSE(View->Capturing());
  EXPECT_EQ(frames, 8);
  EXPECT_FALSE(other);  // still queued
  EXPECT_TRUE(WaitFor([&] { return other; }));
  DeallocateHWnd(wnd);
  TAviFile avi;
  TAviStreamInfo info;
  ASSERT_TRUE(avi.Open(file));
  ASSERT_TRUE(avi.GetVideoStream());
  ASSERT_TRUE(avi.StreamInfo(info));
  EXPECT_EQ(info.Width, 64);
  EXPECT_GE(info.Length, 5u);
}

// A device that ends during a foreground recording ends it too.
TEST_F(ImagerVideoViewTest, CaptureWithoutYieldEndsWithTheDevice) {
  TPatternEnv env("64x48@30:0.3");
  ShowView(160, 120);
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrOk);
  Connect();
  test::TScratchFolder dir;
  View->SetCaptureFile(dir.Path() + "/gone.avi");
  View->SetCaptureYield(false);
  ASSERT_TRUE(View->StartCapture());
  EXPECT_FALSE(View->Capturing());
  EXPECT_FALSE(View->ShowVideo());
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_NE(dialogs->Shown[0].Text.find("liefert keine Bilder mehr"), std::string::npos);
}

// Sound from the sound device (ALSA's file plug-in here) goes into the file
// as a second stream; ffprobe reads both.
TEST_F(ImagerVideoViewTest, RecordsSoundBesideTheFrames) {
  if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe missing";
  TPatternEnv env("64x48@30");
  test::TAlsaTestEnv alsa(test::TAlsaTestEnv::Pattern(22050 * 4));
  ShowView(160, 120);
  Connect();
  test::TScratchFolder dir;
  const std::string file = dir.Path() + "/sound.avi";
  View->SetCaptureFile(file);
  View->SetCaptureAudio(true);
  ASSERT_TRUE(View->StartCapture()) << View->LastError();
  EXPECT_EQ(View->LastError(), "");
  ASSERT_TRUE(WaitFor([&] { return View->Session().RecordedFrames() >= 10; }));
  View->StopCapture();
  const std::string probe = test::RunCapture("ffprobe -v error -show_entries stream=codec_type,codec_name,sample_rate "
                                             "-of default=nw=1 '" + file + "'");
  EXPECT_NE(probe.find("codec_name=mjpeg"), std::string::npos) << probe;
  EXPECT_NE(probe.find("codec_name=pcm_s16le"), std::string::npos) << probe;
  EXPECT_NE(probe.find("sample_rate=22050"), std::string::npos) << probe;
}

TEST_F(ImagerVideoViewTest, VanishedDeviceEndsWithAMessage) {
  TPatternEnv env("64x48@30:0.3");
  ShowView(160, 120);
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrOk);
  Connect();
  test::TScratchFolder dir;
  View->SetCaptureFile(dir.Path() + "/gone.avi");
  ASSERT_TRUE(View->StartCapture());
  ASSERT_TRUE(WaitFor([&] { return !View->ShowVideo(); }));
  EXPECT_FALSE(View->Capturing());
  EXPECT_FALSE(View->Connected());
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_NE(dialogs->Shown[0].Text.find("Testbild"), std::string::npos);
  // The view stays usable: it connects again.
  View->SetShowVideo(true);
  EXPECT_TRUE(View->ShowVideo());
  View->SetShowVideo(false);
}

TEST_F(ImagerVideoViewTest, DialogsOfThePatternRunByScript) {
  TPatternEnv env("96x64@30");
  ShowView(160, 120);
  View->SetVideoSource(int32_t(View->VideoSourceList().size()) - 1);
  TScriptedDialogsScope dialogs;
  // The format dialog offers sizes; choosing 160 x 120 reopens at that size.
  dialogs->AnswerModal([](TCustomForm& F) {
    auto* combo = dynamic_cast<TComboBox*>(F.FindComponent("Setting0"));
    EXPECT_NE(combo, nullptr);
    if (combo) combo->SetItemIndex(combo->IndexOf("160 x 120, 25 Bilder/s"));
    return mrOk;
  });
  ASSERT_TRUE(View->ShowVideoFormatDialog());
  EXPECT_FALSE(View->Connected());  // connected for the dialog only
  EXPECT_EQ(View->GetVideoSize().Right, 159);
  dialogs->AnswerModal([](TCustomForm&) { return mrOk; });
  EXPECT_TRUE(View->ShowVideoSourceDialog());
  dialogs->AnswerModal([](TCustomForm& F) {
    auto* e = dynamic_cast<TEdit*>(F.FindComponent("Setting0"));
    if (e) e->SetText("40");
    return mrOk;
  });
  EXPECT_TRUE(View->ShowVideoDisplayDialog());
  EXPECT_EQ(View->PreviewRate(), 40);
  dialogs->AnswerModal([](TCustomForm&) { return mrCancel; });
  EXPECT_FALSE(View->ShowVideoCompressionDialog());
}

}  // namespace
}  // namespace kv

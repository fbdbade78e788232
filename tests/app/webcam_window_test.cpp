// The webcam window in its three modes, fed by the generated test pattern or
// by frames handed to its frame handler; its HTTP server asked by curl, its
// uploads taken by pyftpdlib and its mails by aiosmtpd.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <netinet/in.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/actions/main_actions.h"
#include "app/batch/batch_list_frame.h"
#include "app/helpers/folder_helpers.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/webcam/inet_targets.h"
#include "app/webcam/screen_driver_form.h"
#include "app/webcam/video_form.h"
#include "app/workflows/auto_save.h"
#include "command_fixture.h"
#include "components/controls/file_dir_edit.h"
#include "components/controls/combo_edit.h"
#include "components/controls/kv_spin.h"
#include "imaging/views/imager_video_view.h"
#include "net/peer_servers.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/file_utils.h"
#include "platform/ui/button.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/font_dialog.h"
#include "platform/ui/list_box.h"
#include "platform/ui/message_window.h"
#include "platform/ui/page_control.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/timer.h"
#include "support/outside_tools.h"
#include "support/x_window.h"

namespace kv {
namespace {

template <typename F> bool WaitFor(F Done, uint32_t Ms = 15000) {
  const uint64_t deadline = TickCount64() + Ms;
  while (!Done()) {
    if (TickCount64() >= deadline) return false;
    WaitForMessages(20);
  }
  return true;
}

// A shell command on a thread while the message loop runs (our servers
// answer from it); its output.
std::string RunWhilePumping(const std::string& Command) {
  std::atomic<bool> done{false};
  std::string out;
  std::thread t([&] {
    out = test::RunCapture(Command);
    done = true;
  });
  WaitFor([&] { return done.load(); }, 60000);
  t.join();
  return out;
}

std::unique_ptr<TBitmap> Solid(int32_t W, int32_t H, uint8_t V) {
  auto b = std::make_unique<TBitmap>(W, H, pf24bit);
  for (int32_t y = 0; y < H; ++y) std::memset(b->ScanLine(y), V, size_t(b->RowBytes()));
  return b;
}

// ---- the motion test and the time fields ----

TEST(WebcamMotionTest, SensitivityTable) {
  struct TCase {
    uint8_t First, Second;
    int32_t Sensitivity;
    bool Motion;
  } cases[] = {
      {0, 0, 255, false},    // no change
      {0, 1, 255, true},     // any mean above 0 at 255
      {0, 255, 0, false},    // 0 never
      {0, 55, 200, false},   // the default needs a mean above 55
      {0, 56, 200, true},
      {0, 56, 999, true},    // limited to 255
  };
  for (const TCase& c : cases) {
    TBitmap ref;
    EXPECT_FALSE(MotionDetectedIn(*Solid(16, 16, c.First), ref, c.Sensitivity));  // first frame: the reference
    EXPECT_EQ(MotionDetectedIn(*Solid(16, 16, c.Second), ref, c.Sensitivity), c.Motion)
        << int(c.First) << " -> " << int(c.Second) << " at " << c.Sensitivity;
  }
  // Another size is no motion but becomes the reference; an empty frame changes nothing.
  TBitmap ref;
  MotionDetectedIn(*Solid(16, 16, 0), ref, 255);
  EXPECT_FALSE(MotionDetectedIn(*Solid(8, 8, 200), ref, 255));
  EXPECT_EQ(ref.Width(), 8);
  TBitmap empty;
  EXPECT_FALSE(MotionDetectedIn(empty, ref, 255));
  EXPECT_EQ(ref.Width(), 8);
  // 256 x 256 = 65536 pixels like any other size.
  MotionDetectedIn(*Solid(256, 256, 0), ref, 255);
  EXPECT_TRUE(MotionDetectedIn(*Solid(256, 256, 10), ref, 250));
}

// Full differences over more than 16.8 million pixels pass 2^32 in the sum.
TEST(WebcamMotionTest, LargeFrameSumDoesNotWrap) {
  TBitmap ref;
  MotionDetectedIn(*Solid(4200, 4100, 0), ref, 1);
  EXPECT_TRUE(MotionDetectedIn(*Solid(4200, 4100, 255), ref, 1));
}

TEST(WebcamMotionTest, TimeFields) {
  const TVideoTime t = SplitVideoTime(3600000 + 2 * 60000 + 3 * 1000 + 450);
  EXPECT_EQ(t.Hours, 1);
  EXPECT_EQ(t.Minutes, 2);
  EXPECT_EQ(t.Seconds, 3);
  EXPECT_EQ(t.Hundredths, 45);
  EXPECT_EQ(SplitVideoTime(int64_t(255) * 3600000).Hours, 0);
}

// ---- targets ----

TEST(WebcamTargetsTest, TextsCaptionsAndLineBreaks) {
  const std::string mail = "Mode=\"email\" SMTP=\"mx\" From=\"a@b\" To=\"c@d\"";
  EXPECT_TRUE(IsEmailTarget(mail));
  EXPECT_EQ(InetTargetCaption(mail), "c@d (a@b)");
  EXPECT_EQ(InetTargetCaption("Mode=\"FTP\" Host=\"ftp.example.org\""), "ftp.example.org");
  EXPECT_FALSE(IsEmailTarget("Host=\"x\""));
  EXPECT_EQ(InetTargetLineBreakKey("Mode=\"FTP\" Host=\"h\" Dir=\"a\rDELE b\""), "Dir");
  EXPECT_EQ(InetTargetLineBreakKey(mail), "");
}

class WebcamWindowTest : public test::CommandTest {
 protected:
  void SetUp() override {
    test::CommandTest::SetUp();
    ::setenv(kCaptureTestSourceVar, "96x72@30", 1);
  }
  void TearDown() override {
    if (Window) {
      Window->VideoOnButton->SetDown(false);
      Window->ImagerVideoView2->SetShowVideo(false);
    }
    delete Window;
    Window = nullptr;
    ::unsetenv(kCaptureTestSourceVar);
    test::CommandTest::TearDown();
  }
  Tvideoform& Open(int32_t Mode) {
    Window = new Tvideoform(Form.get());
    Window->Mode = Mode;
    Window->Show();
    Pump();
    return *Window;
  }
  // Chooses the test pattern and switches the video on.
  void VideoOn() {
    const int32_t n = Window->mycombobox2->Count();
    const int32_t pattern = Window->Mode == 0 ? n - 1 : n - 2;
    ASSERT_GE(pattern, 0);
    Window->mycombobox2->Select(pattern);
    Window->VideoOnButton->SetDown(true);
    Window->VideoOnClick();
    ASSERT_TRUE(Window->ImagerVideoView2->ShowVideo());
  }
  void Frame(uint8_t V = 100) {
    auto b = Solid(40, 30, V);
    Window->ImagerVideoView2VideoFrame(Window->ImagerVideoView2, b.get());
  }
  Tvideoform* Window = nullptr;
};

TEST_F(WebcamWindowTest, PagesAndSourcesByMode) {
  struct TCase {
    int32_t Mode;
    bool Grab, Webcam, Server, Record, Frame;
  } cases[] = {{0, false, false, false, true, false}, {1, false, true, true, false, true}, {2, true, false, false, false, true}};
  for (const TCase& c : cases) {
    Tvideoform& w = Open(c.Mode);
    EXPECT_EQ(w.GrabSheet->TabVisible(), c.Grab);
    EXPECT_EQ(w.WebcamSheet->TabVisible(), c.Webcam);
    EXPECT_EQ(w.ServerSheet->TabVisible(), c.Server);
    EXPECT_EQ(w.RecordSheet->TabVisible(), c.Record);
    EXPECT_EQ(w.FrameSheet->TabVisible(), c.Frame);
    EXPECT_TRUE(w.VideoSheet->TabVisible());
    const int32_t n = w.mycombobox2->Count();
    ASSERT_GT(n, 0);
    EXPECT_EQ(w.mycombobox2->Item(n - 1) == "Bildschirm", c.Mode != 0);
    EXPECT_EQ(w.Caption(), "Video");
    // The controls of the other modes' pages are freed, and nothing points at them.
    for (TTabSheet* page : {w.GrabSheet, w.WebcamSheet, w.ServerSheet, w.RecordSheet, w.FrameSheet})
      if (!page->TabVisible()) {
        EXPECT_EQ(page->ControlCount(), 0) << page->Caption();
      }
    EXPECT_EQ(w.GrabButton != nullptr && w.autosaveframe1 != nullptr, c.Grab);
    EXPECT_EQ(w.GoButton != nullptr && w.ListBox1 != nullptr, c.Webcam);
    EXPECT_EQ(w.Edit7 != nullptr, c.Server);
    EXPECT_EQ(w.PlayButton != nullptr && w.PosFields[3] != nullptr, c.Record);
    EXPECT_EQ(w.CheckBox2 != nullptr && w.batchlistFrame1 != nullptr, c.Frame);
    // Closed, shown again and working.
    w.Close();
    Pump();
    w.Show();
    Pump();
    EXPECT_TRUE(w.Visible());
    w.VideoOnButton->SetDown(true);
    w.VideoOnClick();
    EXPECT_TRUE(w.ImagerVideoView2->ShowVideo() || w.ScreenSource);
    w.VideoOnButton->SetDown(false);
    w.VideoOnClick();
    delete Window;
    Window = nullptr;
  }
}

// The settings come back in the next window; one whose page another mode
// freed keeps its stored value through that mode's window.
TEST_F(WebcamWindowTest, SettingsOfFreedPagesAreKept) {
  Open(1).Edit7->SetText("8123");
  Window->KvSpinEdit3->SetValue(1234);
  delete Window;
  Window = nullptr;
  Tvideoform& w0 = Open(0);
  EXPECT_EQ(w0.Edit7, nullptr);
  EXPECT_EQ(int32_t(w0.KvSpinEdit3->Value()), 1234);
  delete Window;
  Window = nullptr;
  EXPECT_EQ(Open(1).Edit7->Text(), "8123");
}

TEST_F(WebcamWindowTest, FrameRules) {
  Tvideoform& w = Open(2);
  w.CheckBox1->SetChecked(false);
  // "schnellst möglich": every frame.
  Frame();
  Frame();
  EXPECT_EQ(w.FramesTaken, 2u);
  // "nach" 2 seconds: more than 2 seconds since the last one taken by the rule.
  w.RadioButton4->SetChecked(true);
  EXPECT_FALSE(w.RadioButton1->Checked());
  const TDateTime start = Now();
  SetNowForTesting(start);
  Frame();
  EXPECT_EQ(w.FramesTaken, 3u);
  SetNowForTesting(TDateTime(double(start) + 1.5 / 86400));
  Frame();
  EXPECT_EQ(w.FramesTaken, 3u);
  SetNowForTesting(TDateTime(double(start) + 2.5 / 86400));
  Frame();
  EXPECT_EQ(w.FramesTaken, 4u);
  SetNowForTesting(std::nullopt);
  // "bei Bewegung": the first frame is the reference, a change is motion.
  w.RadioButton3->SetChecked(true);
  w.KvSpinEdit1->SetValue(250);
  Frame(10);
  Frame(10);
  EXPECT_EQ(w.FramesTaken, 4u);
  Frame(90);
  EXPECT_EQ(w.FramesTaken, 5u);
  // "Manuell": only "Jetzt!", which comes up again.
  w.RadioButton2->SetChecked(true);
  Frame();
  EXPECT_EQ(w.FramesTaken, 5u);
  w.NowButton->SetDown(true);
  Frame();
  EXPECT_EQ(w.FramesTaken, 6u);
  EXPECT_FALSE(w.NowButton->Down());
  // "Hintergrund": only frames the timer asked for.
  w.RadioButton1->SetChecked(true);
  w.RadioGroup1->SetItemIndex(2);
  Frame();
  EXPECT_EQ(w.FramesTaken, 6u);
  EXPECT_EQ(w.FramesIgnored, 1u);
}

TEST_F(WebcamWindowTest, DateStampAndNewImagesFromTheLivePattern) {
  Tvideoform& w = Open(2);
  const int32_t before = Windows();
  VideoOn();
  // Without the stamp the frame view shows the frame as it came.
  w.CheckBox1->SetChecked(false);
  Frame(100);
  EXPECT_EQ(static_cast<const uint8_t*>(w.frameie->Bitmap().ScanLine(0))[0], 100);
  w.CheckBox1->SetChecked(true);
  Frame(100);
  EXPECT_EQ(static_cast<const uint8_t*>(w.frameie->Bitmap().ScanLine(0))[0], 0);  // the stamp's black ground
  // "Schrift-Optionen..." is the font dialog; its font writes the stamp.
  AnswerFontDialog([](TFont& F) {
    F.SetColor(clRed);
    F.SetHeight(-14);
    return true;
  });
  w.FontButton->OnClick(nullptr);
  Frame(100);
  int32_t red = 0;
  const TBitmap& stamped = w.frameie->Bitmap();
  for (int32_t y = 0; y < stamped.Height(); ++y)
    for (int32_t x = 0; x < stamped.Width(); ++x) {
      const auto* p = static_cast<const uint8_t*>(stamped.ScanLine(y)) + 3 * x;
      if (p[2] > 200 && p[1] < 60 && p[0] < 60) ++red;
    }
  EXPECT_GT(red, 0);
  // "Einfangen" with "als": one new image of the frame's size per press.
  w.GrabButton->SetDown(true);
  ASSERT_TRUE(WaitFor([&] { return Windows() == before + 1; }));
  EXPECT_FALSE(w.GrabButton->Down());
  EXPECT_EQ(Form->getimager()->Bitmap().Width(), 96);
  EXPECT_EQ(Form->getimager()->Bitmap().Height(), 72);
  // With the automatic toggle it stays down and images keep coming.
  w.AutoGrabCheck->SetChecked(true);
  w.GrabButton->SetDown(true);
  ASSERT_TRUE(WaitFor([&] { return Windows() >= before + 3; }));
  w.GrabButton->SetDown(false);
  EXPECT_FALSE(WebcamBusy);
}

TEST_F(WebcamWindowTest, GrabbedFramesAreAutoSavedUnderTheirNames) {
  Tvideoform& w = Open(2);
  w.CheckBox1->SetChecked(false);
  w.RadioButton5->SetChecked(true);
  EXPECT_FALSE(w.RadioButton12->Checked());
  const std::string folder = Dir + "shots";
  ForceDirectories(folder);
  w.autosaveframe1->DirectoryEdit1->SetText(folder);
  w.autosaveframe1->Edit3->SetText("Cam");
  w.autosaveframe1->KvSpinEdit6->SetValue(7);
  w.AutoGrabCheck->SetChecked(true);
  w.GrabButton->SetDown(true);
  Frame(10);
  Frame(20);
  EXPECT_EQ(int32_t(w.autosaveframe1->KvSpinEdit6->Value()), 9);
  const std::string text = w.autosaveframe1->GetParams();
  for (int32_t n : {7, 8}) {
    const std::string name = AutoSaveFileName("", text, n);
    EXPECT_TRUE(FileExists(name)) << name;
    if (test::HaveTool("identify")) {
      EXPECT_EQ(test::RunCapture("identify -format '%wx%h' '" + name + "'"), "40x30") << name;
    }
  }
  EXPECT_NE(AutoSaveFileName("", text, 7).find("cam"), std::string::npos);
}

TEST_F(WebcamWindowTest, BatchRunsOnEachTakenFrame) {
  ForceDirectories(BatchFolder());
  test::WriteText(BatchFolder() + "small.atp", "RESIZE Width=12 Height=9 Resolution=72 Resample=1\r\n");
  Tvideoform& w = Open(1);
  w.batchlistFrame1->ReadFileList();
  w.batchlistFrame1->FileListBox1->SetItemIndex(w.batchlistFrame1->FileListBox1->Items().IndexOf("small.atp"));
  ASSERT_EQ(ExtractFileName(w.batchlistFrame1->SelectedProgram()), "small.atp");
  w.CheckBox1->SetChecked(false);
  w.CheckBox2->SetChecked(true);
  Frame();
  EXPECT_EQ(w.frameie->Bitmap().Width(), 12);
  EXPECT_EQ(w.frameie->Bitmap().Height(), 9);
  EXPECT_EQ(Form->OverrideChild, nullptr);
  EXPECT_FALSE(WebcamBusy);
}

// curl gets the current frame as JPEG at "/", and nothing at any other path,
// however the request names a file beside the program.
TEST_F(WebcamWindowTest, HttpServerServesOnlyTheCurrentFrame) {
  if (!test::HaveTool("curl")) GTEST_SKIP() << "curl missing";
  test::WriteText(Dir + "secret.txt", "not for the web");
  Tvideoform& w = Open(1);
  const std::string port = std::to_string(test::FreePort());
  w.mycombobox3->SetItemIndex(w.mycombobox3->IndexOf("127.0.0.1"));
  w.Edit7->SetText(port);
  w.ServerButton->SetDown(true);
  w.ServerClick();
  ASSERT_TRUE(w.HttpServer1->Listening());
  Frame(120);
  const std::string url = "http://127.0.0.1:" + port;
  const std::string got = Dir + "got.jpg";
  std::string head =
      RunWhilePumping("curl -s -D - -o '" + got + "' " + url + "/ && curl -s -o /dev/null " + url + "/ && curl -s -o /dev/null " + url + "/");
  EXPECT_NE(head.find("200 OK"), std::string::npos) << head;
  EXPECT_NE(head.find("Content-Type: image/jpeg"), std::string::npos) << head;
  const auto jpeg = w.CurrentJpeg();
  EXPECT_EQ(test::ReadBytes(got), *jpeg);
  EXPECT_EQ(w.JpegEncodings(), 1u);  // three answers, one encoding
  if (test::HaveTool("identify")) {
    EXPECT_EQ(test::RunCapture("identify -format '%wx%h %m' '" + got + "'"), "40x30 JPEG");
  }
  for (const char* path : {"/secret.txt", "/kavrelin", "/../secret.txt", "/index.html"}) {
    const std::string code = RunWhilePumping("curl -s -o /dev/null -w '%{http_code}' --path-as-is " + url + path);
    EXPECT_EQ(code, "404") << path;
  }
  // HEAD: the header with the length, no body.
  head = RunWhilePumping("curl -s -I " + url + "/");
  EXPECT_NE(head.find("Content-Length: " + std::to_string(jpeg->size())), std::string::npos) << head;
  // A new frame, a new picture.
  Frame(30);
  EXPECT_NE(*w.CurrentJpeg(), *jpeg);
  w.ServerButton->SetDown(false);
  w.ServerClick();
  EXPECT_FALSE(w.HttpServer1->Listening());
}

TEST_F(WebcamWindowTest, PortBelow1024IsReportedWithAnother) {
  Tvideoform& w = Open(1);
  // Held here, so that the server cannot have it whatever its rights.
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(1023);
  const bool held = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(s, 1) == 0;
  (void)held;
  w.mycombobox3->SetItemIndex(w.mycombobox3->IndexOf("127.0.0.1"));
  w.Edit7->SetText("1023");
  (*Dialogs)->Answer(mrOk);
  w.ServerButton->SetDown(true);
  w.ServerClick();
  ::close(s);
  EXPECT_FALSE(w.HttpServer1->Listening());
  EXPECT_FALSE(w.ServerButton->Down());
  ASSERT_FALSE(Shown().empty());
  const std::string& m = Shown().back().Text;
  EXPECT_NE(m.find("1023"), std::string::npos) << m;
  EXPECT_NE(m.find("über 1024"), std::string::npos) << m;
}

// Serves Root for kv/secret; with a file "fail" in Root every upload is cut
// off after part of the file has arrived; with "slow" uploads take a second.
const char* kFtpServer = R"(
import sys, os, time, logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.disable(logging.CRITICAL)
root = sys.argv[1]
a = DummyAuthorizer()
a.add_user('kv', 'secret', root, perm='elradfmwMT')
class H(FTPHandler):
    authorizer = a
    def ftp_STOR(self, file, mode='w'):
        if os.path.exists(os.path.join(root, 'fail')):
            open(file, 'wb').write(b'partial')
            self.respond('426 Connection closed; transfer aborted.')
            return
        if os.path.exists(os.path.join(root, 'slow')):
            time.sleep(1)
        return FTPHandler.ftp_STOR(self, file, mode)
s = FTPServer(('127.0.0.1', 0), H)
print(s.socket.getsockname()[1], flush=True)
s.serve_forever()
)";

TEST_F(WebcamWindowTest, FtpUploadsAndAnInterruptedOneKeepsTheLastGoodFile) {
  if (!test::HavePythonModule("pyftpdlib")) GTEST_SKIP() << "pyftpdlib not installed";
  const std::string root = Dir + "ftproot";
  std::filesystem::create_directories(root + "/cam");
  test::TPeerProcess server;
  ASSERT_TRUE(server.Start({test::kSystemPython, "-c", kFtpServer, root}));
  Tvideoform& w = Open(1);
  w.FilenameEdit1->SetText(Dir + "webcam.jpg");
  w.KvSpinEdit5->SetValue(0);
  w.SetTargets({"Mode=\"FTP\" Host=\"127.0.0.1\" User=\"kv\" Pass=\"secret\" Adv=1 Dir=\"cam\" Passive=1 "
                "Timeout=\"20\" Port=\"" + server.FirstLine() + "\""});
  w.ListBox1->SetChecked(0, true);
  w.GoButton->SetDown(true);
  Frame(200);
  EXPECT_FALSE(w.GoButton->Down());  // without the repeat toggle: one cycle
  EXPECT_EQ(w.StatusLabel->Caption(), "Rename war erfolgreich");
  const std::vector<uint8_t> good = test::ReadBytes(root + "/cam/webcam.jpg");
  EXPECT_EQ(good, test::ReadBytes(Dir + "webcam.jpg"));
  EXPECT_FALSE(FileExists(root + "/cam/webcam.jpgp"));

  // The server cuts the next upload off: the picture of the last cycle stays.
  test::WriteText(root + "/fail", "");
  w.GoButton->SetDown(true);
  Frame(20);
  EXPECT_EQ(w.StatusLabel->Caption(), "Upload schlug fehl");
  EXPECT_EQ(test::ReadBytes(root + "/cam/webcam.jpg"), good);
  std::filesystem::remove(root + "/fail");

  // A host with a line break never reaches a protocol line.
  w.SetTargets({"Mode=\"FTP\" Host=\"127.0.0.1\rDELE cam/webcam.jpg\" User=\"kv\" Pass=\"secret\""});
  w.ListBox1->SetChecked(0, true);
  w.GoButton->SetDown(true);
  Frame(60);
  EXPECT_NE(w.StatusLabel->Caption().find("schlug fehl"), std::string::npos);
  EXPECT_EQ(test::ReadBytes(root + "/cam/webcam.jpg"), good);

  // No target chosen.
  w.ListBox1->SetChecked(0, false);
  w.GoButton->SetDown(true);
  Frame(60);
  EXPECT_EQ(w.TargetLabel->Caption(), "Fehler, keine Internet-Einstellungen gewählt");
}

// Frames keep coming while a slow upload lets messages run: none of them
// starts a second cycle on top of the one running.
TEST_F(WebcamWindowTest, FramesDuringASlowUploadStartNoSecondSend) {
  if (!test::HavePythonModule("pyftpdlib")) GTEST_SKIP() << "pyftpdlib not installed";
  const std::string root = Dir + "ftproot";
  std::filesystem::create_directories(root);
  test::WriteText(root + "/slow", "");
  test::TPeerProcess server;
  ASSERT_TRUE(server.Start({test::kSystemPython, "-c", kFtpServer, root}));
  Tvideoform& w = Open(1);
  w.FilenameEdit1->SetText(Dir + "webcam.jpg");
  w.KvSpinEdit5->SetValue(0);
  w.CheckBox1->SetChecked(false);
  w.SetTargets({"Mode=\"FTP\" Host=\"127.0.0.1\" User=\"kv\" Pass=\"secret\" Adv=1 Passive=1 Port=\"" +
                server.FirstLine() + "\""});
  w.ListBox1->SetChecked(0, true);
  int during = 0;
  TTimer more(nullptr);
  more.SetInterval(50);
  more.SetOnTimer([&](TObject*) {
    if (!w.Sending()) return;
    ++during;
    Frame(uint8_t(during));
  });
  more.SetEnabled(true);
  w.GoButton->SetDown(true);
  Frame(1);
  more.SetEnabled(false);
  EXPECT_GT(during, 0);
  EXPECT_EQ(w.SendsSkipped, uint64_t(during));
  EXPECT_EQ(w.StatusLabel->Caption(), "Rename war erfolgreich");
  EXPECT_TRUE(FileExists(root + "/webcam.jpg"));
}

const char* kSmtpServer = R"(
import asyncio, os, sys
from aiosmtpd.smtp import SMTP
out = sys.argv[1]
class H:
    async def handle_DATA(self, server, session, envelope):
        open(os.path.join(out, 'mail.eml'), 'wb').write(envelope.original_content)
        open(os.path.join(out, 'mail.env'), 'w').write(envelope.mail_from + '\n' + '\n'.join(envelope.rcpt_tos))
        return '250 OK'
loop = asyncio.new_event_loop()
srv = loop.run_until_complete(loop.create_server(lambda: SMTP(H(), decode_data=False), '127.0.0.1', 0))
print(srv.sockets[0].getsockname()[1], flush=True)
loop.run_forever()
)";

const char* kAttachment = R"(
import email, sys
from email import policy
m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=policy.default)
print(m['Subject'])
for part in m.walk():
    if part.get_filename():
        open(sys.argv[2], 'wb').write(part.get_payload(decode=True))
        print(part.get_filename())
)";

TEST_F(WebcamWindowTest, MailCarriesTheFrame) {
  if (!test::HavePythonModule("aiosmtpd")) GTEST_SKIP() << "aiosmtpd not installed";
  const std::string out = Dir + "mail";
  std::filesystem::create_directories(out);
  test::TPeerProcess server;
  ASSERT_TRUE(server.Start({test::kSystemPython, "-c", kSmtpServer, out}));
  Tvideoform& w = Open(1);
  w.FilenameEdit1->SetText(Dir + "webcam.jpg");
  w.KvSpinEdit5->SetValue(0);
  w.SetTargets({"Mode=\"EMAIL\" SMTP=\"127.0.0.1\" From=\"cam@example.org\" To=\"me@example.org\" Adv=1 "
                "Timeout=\"20\" Port=\"" + server.FirstLine() + "\" Signon=\"kvtest\""});
  EXPECT_EQ(w.ListBox1->Items().Strings(0), "me@example.org (cam@example.org)");
  w.ListBox1->SetChecked(0, true);
  w.GoButton->SetDown(true);
  Frame(150);
  EXPECT_EQ(w.StatusLabel->Caption(), "Mail war erfolgreich");
  ASSERT_TRUE(FileExists(out + "/mail.eml"));
  EXPECT_EQ(test::ReadText(out + "/mail.env"), "cam@example.org\nme@example.org");
  const std::string parts = test::RunCapture(std::string(test::kSystemPython) + " -c \"" + kAttachment + "\" '" +
                                             out + "/mail.eml' '" + Dir + "attached.jpg'");
  EXPECT_NE(parts.find("Webcam Schnappschuss mit Kavrelin"), std::string::npos) << parts;
  EXPECT_NE(parts.find("webcam.jpg"), std::string::npos) << parts;
  EXPECT_EQ(test::ReadBytes(Dir + "attached.jpg"), test::ReadBytes(Dir + "webcam.jpg"));
}

// POP3 sign-in before the mail, against dovecot: a refused password ends the
// target before any mail goes out; the right one lets the mail follow.
TEST_F(WebcamWindowTest, Pop3SignInComesBeforeTheMail) {
  if (!test::HavePythonModule("aiosmtpd")) GTEST_SKIP() << "aiosmtpd not installed";
  if (!std::filesystem::exists("/usr/sbin/dovecot")) GTEST_SKIP() << "no dovecot";
  const std::string pop = Dir, out = Dir + "smtp";
  std::filesystem::create_directories(out);
  test::TPeerProcess dovecot, ready, smtp;
  std::string popPort;
  ASSERT_TRUE(test::StartDovecotPop3(pop, dovecot, ready, popPort)) << test::ReadText(pop + "dovecot.log");
  ASSERT_TRUE(smtp.Start({test::kSystemPython, "-c", kSmtpServer, out}));
  Tvideoform& w = Open(1);
  w.FilenameEdit1->SetText(Dir + "webcam.jpg");
  w.KvSpinEdit5->SetValue(0);
  w.CheckBox1->SetChecked(false);
  auto target = [&](const std::string& Pass) {
    return "Mode=\"EMAIL\" SMTP=\"127.0.0.1\" From=\"cam@example.org\" To=\"me@example.org\" Adv=1 Timeout=\"20\" "
           "Port=\"" + smtp.FirstLine() + "\" Signon=\"kvtest\" Pop3Ident=1 Pop3=\"127.0.0.1\" PPort=\"" + popPort +
           "\" User=\"kv\" Pass=\"" + Pass + "\"";
  };
  // The server refuses the password: no mail.
  w.SetTargets({target("wrong")});
  w.ListBox1->SetChecked(0, true);
  w.GoButton->SetDown(true);
  Frame(80);
  EXPECT_EQ(w.StatusLabel->Caption(), "POP3-Passwort schlug fehl");
  // dovecot writes the refusal when its login process lets the connection go,
  // which may come after the client has read the answer.
  EXPECT_TRUE(WaitFor([&] { return test::ReadText(pop + "dovecot.log").find("auth failed") != std::string::npos; }))
      << test::ReadText(pop + "dovecot.log");
  EXPECT_FALSE(FileExists(out + "/mail.eml"));
  // Signed in, the mail goes out.
  w.SetTargets({target("secret")});
  w.ListBox1->SetChecked(0, true);
  w.GoButton->SetDown(true);
  Frame(160);
  EXPECT_EQ(w.StatusLabel->Caption(), "Mail war erfolgreich");
  EXPECT_TRUE(FileExists(out + "/mail.eml"));
  EXPECT_TRUE(WaitFor([&] { return test::ReadText(pop + "dovecot.log").find("Login: user=<kv>") != std::string::npos; }))
      << test::ReadText(pop + "dovecot.log");
}

TEST_F(WebcamWindowTest, TargetListIsStoredInAFileOnlyTheUserReads) {
  Tvideoform& w = Open(1);
  (*Dialogs)->AnswerModal([](TCustomForm& F) {
    auto& f = dynamic_cast<Tinetoptionform&>(F);
    f.FtpHost->SetText("ftp.example.org");
    f.FtpPass->SetText("geheim");
    return mrOk;
  });
  w.AddTarget(false);
  (*Dialogs)->AnswerModal([](TCustomForm& F) {
    auto& f = dynamic_cast<Tinetoptionform&>(F);
    EXPECT_TRUE(f.EmailShown());
    f.MailTo->SetText("me@example.org");
    f.MailFrom->SetText("cam@example.org");
    return mrOk;
  });
  w.AddTarget(true);
  ASSERT_EQ(w.Targets().size(), 2u);
  EXPECT_EQ(w.ListBox1->Items().Strings(0), "me@example.org (cam@example.org)");  // new ones at the top
  EXPECT_EQ(w.ListBox1->Items().Strings(1), "ftp.example.org");
  const std::string ftp = w.Targets()[1];
  // All nine keys in order, the hidden advanced ones too.
  EXPECT_EQ(ftp, "Mode=\"FTP\" Host=\"ftp.example.org\" User=\"\" Pass=\"geheim\" Adv=0 Dir=\"\" Passive=0 "
                 "Timeout=\"240\" Port=\"21\"");
  // A store file left readable by others (an older version wrote it so)
  // is the user's alone once the targets with their passwords go in.
  const std::string hive = Dir + "reg/HKEY_CURRENT_USER.reg";
  if (FileExists(hive)) ::chmod(hive.c_str(), 0644);
  w.Close();
  Pump();
  TStringList stored;
  ReadInetTargets(stored);
  ASSERT_EQ(stored.Count(), 2);
  EXPECT_EQ(stored.Strings(1), ftp);
  struct stat st{};
  ASSERT_EQ(::stat(hive.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_NE(test::ReadText(hive).find("geheim"), std::string::npos);
}

TEST_F(WebcamWindowTest, TargetDialogKinds) {
  Tinetoptionform f(nullptr);
  f.string2form("Mode=\"email\" SMTP=\"mx\" To=\"x@y\" Adv=1 Pop3Ident=0");
  EXPECT_TRUE(f.EmailShown());
  EXPECT_EQ(f.MailSmtp->Text(), "mx");
  EXPECT_TRUE(f.MailTimeout->Visible());
  EXPECT_FALSE(f.MailPop3->Enabled());
  f.MailPop3Ident->SetChecked(true);
  EXPECT_TRUE(f.MailPop3->Enabled());
  f.string2form("", false);
  EXPECT_FALSE(f.EmailShown());
  EXPECT_FALSE(f.FtpPort->Visible());
  f.FtpHost->SetText("bad\"host");
  (*Dialogs)->AnswerModal([](TCustomForm&) { return mrOk; });
  (*Dialogs)->Answer(mrOk);
  (*Dialogs)->AnswerModal([](TCustomForm&) { return mrCancel; });
  EXPECT_FALSE(f.Execute("", false));
  EXPECT_EQ(Shown()[Shown().size() - 2].Kind, dkMessageDlg);
}

TEST_F(WebcamWindowTest, RecordAndPlayBack) {
  Tvideoform& w = Open(0);
  const std::string file = Dir + "rec.avi";
  w.FilenameEdit3->SetText(file);
  // Video off: nothing starts.
  (*Dialogs)->Answer(mrOk);
  w.RecordClick();
  EXPECT_EQ(Shown().back().Text, "Video ist nicht an!");
  EXPECT_EQ(w.PlayerState, 0);
  (*Dialogs)->Answer(mrOk);
  w.PlayClick();
  EXPECT_EQ(Shown().back().Text, "Datei nicht gefunden.");
  VideoOn();
  w.RecordRate->SetValue(10);
  w.RecordClick();
  ASSERT_EQ(w.PlayerState, 2);
  EXPECT_FALSE(w.FilenameEdit3->Enabled());
  ASSERT_TRUE(WaitFor([&] { return w.ImagerVideoView2->Session().RecordedFrames() >= 10; }));
  w.StopClick();
  EXPECT_EQ(w.PlayerState, 0);
  w.PlayClick();
  ASSERT_EQ(w.PlayerState, 1);
  EXPECT_GE(w.PlayLength(), 900);
  EXPECT_EQ(w.frameie->Bitmap().Width(), 96);
  w.SetPlayPosition(500);
  EXPECT_EQ(w.PlayPosition(), 500);
  w.StepFrame(1);
  EXPECT_EQ(w.PlayPosition(), 600);
  // The time fields' arrows move the position by their step, the hundredths'
  // by one frame, and the fields carry over.
  w.PauseButton->OnClick(nullptr);
  ASSERT_GE(w.PlayLength(), 1000);
  w.SetPlayPosition(900);
  w.PosFields[3]->UpClick(nullptr);
  EXPECT_EQ(w.PlayPosition(), 1000);
  EXPECT_EQ(int(w.PosFields[2]->Value()), 1);
  EXPECT_EQ(int(w.PosFields[3]->Value()), 0);
  w.PosFields[3]->DownClick(nullptr);
  EXPECT_EQ(w.PlayPosition(), 900);
  w.PosFields[2]->DownClick(nullptr);  // not below 0
  EXPECT_EQ(w.PlayPosition(), 0);
  w.PosFields[1]->UpClick(nullptr);  // not past the end
  EXPECT_EQ(w.PlayPosition(), w.PlayLength());
  w.SetPlayPosition(600);
  w.PlayClick();  // play on the open file goes on from there
  ASSERT_TRUE(WaitFor([&] { return w.PlayPosition() >= w.PlayLength(); }));
  // Recording over an existing file asks first; Cancel leaves it.
  w.StopClick();
  (*Dialogs)->Answer(mrCancel);
  w.RecordClick();
  EXPECT_EQ(w.PlayerState, 0);
  EXPECT_NE(Shown().back().Text.find("existiert. Überschreiben?"), std::string::npos);
}

// The pattern ends after half a second, as an unplugged camera would: the
// window reports it, its video and recording stop, what was recorded stays
// playable, and the video can be switched on again.
TEST_F(WebcamWindowTest, VanishedDeviceEndsCaptureAndLeavesTheWindowUsable) {
  ::setenv(kCaptureTestSourceVar, "96x72@30:0.5", 1);
  Tvideoform& w = Open(0);
  const std::string file = Dir + "cut.avi";
  w.FilenameEdit3->SetText(file);
  VideoOn();
  w.RecordClick();
  ASSERT_EQ(w.PlayerState, 2);
  const size_t shown = Shown().size();
  (*Dialogs)->Answer(mrOk);
  ASSERT_TRUE(WaitFor([&] { return Shown().size() > shown; }));
  EXPECT_NE(Shown().back().Text.find("liefert keine Bilder mehr"), std::string::npos) << Shown().back().Text;
  EXPECT_FALSE(w.VideoOnButton->Down());
  EXPECT_FALSE(w.ImagerVideoView2->ShowVideo());
  EXPECT_EQ(w.PlayerState, 0);
  EXPECT_TRUE(w.RecordButton->Enabled());
  EXPECT_TRUE(w.FilenameEdit3->Enabled());
  w.PlayClick();
  ASSERT_EQ(w.PlayerState, 1);
  EXPECT_GT(w.PlayLength(), 0);
  w.StopClick();
  w.VideoOnButton->SetDown(true);
  w.VideoOnClick();
  EXPECT_TRUE(w.ImagerVideoView2->ShowVideo());
  w.VideoOnButton->SetDown(false);
  w.VideoOnClick();
  EXPECT_FALSE(w.ImagerVideoView2->ShowVideo());
}

TEST_F(WebcamWindowTest, MainWindowActionsOpenWorkingWindows) {
  struct TCase {
    const char* Action;
    int32_t Mode;
  } cases[] = {{"Videoaction", 0}, {"WebCam", 1}, {"FrameGrabber", 2}};
  for (const TCase& c : cases) {
    TAction* a = MainAction(*Form, c.Action);
    ASSERT_NE(a, nullptr) << c.Action;
    const int32_t before = Form->ComponentCount();
    a->Execute();
    Pump();
    ASSERT_EQ(Form->ComponentCount(), before + 1) << c.Action;
    auto* w = dynamic_cast<Tvideoform*>(Form->Components(before));
    ASSERT_NE(w, nullptr) << c.Action;
    EXPECT_EQ(w->Mode, c.Mode);
    EXPECT_TRUE(w->Visible());
    // It works: the pattern's frames reach it.
    const int32_t n = w->mycombobox2->Count();
    w->mycombobox2->Select(c.Mode == 0 ? n - 1 : n - 2);
    w->VideoOnButton->SetDown(true);
    w->VideoOnClick();
    EXPECT_TRUE(w->ImagerVideoView2->ShowVideo()) << c.Action;
    if (c.Mode != 0) {
      ASSERT_TRUE(WaitFor([&] { return w->FramesTaken > 0; }));
    }
    w->VideoOnButton->SetDown(false);
    w->VideoOnClick();
    delete w;
  }
}

// Under a real X server: the screen source with a window chosen in the
// picker by its title; each background tick copies it at its current size.
TEST_F(WebcamWindowTest, ScreenWindowSourceFollowsTheWindow) {
  const char* display = std::getenv("KV_TEST_DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no X display (KV_TEST_DISPLAY)";
  test::TDisplayEnv env(display);
  test::TXWindow win("kv webcam probe", 0x0000FF00, 50, 40);  // green
  ASSERT_NE(win.Id, 0u);
  Tvideoform& w = Open(1);
  w.CheckBox1->SetChecked(false);
  w.mycombobox2->Select(w.mycombobox2->Count() - 1);
  ASSERT_TRUE(w.ScreenSource);
  (*Dialogs)->AnswerModal([](TCustomForm& F) {
    auto& f = dynamic_cast<Tscreendriverform&>(F);
    EXPECT_EQ(f.Entries()[0].Text, "Desktop");
    const int32_t i = f.ListBox1->Items().IndexOf("kv webcam probe");
    EXPECT_GT(i, 0);
    f.ListBox1->SetItemIndex(i);
    f.OkClick(&f);
    return mrNone;
  });
  w.QuelleClick();
  ASSERT_EQ(w.ScreenWindow, win.Id);
  EXPECT_EQ(w.SizeLabel->Caption(), "Videogröße: 50 x 40");
  w.KvSpinEdit3->SetValue(100);
  w.VideoOnButton->SetDown(true);
  w.VideoOnClick();
  ASSERT_TRUE(WaitFor([&] { return w.FramesTaken > 0; }));
  EXPECT_EQ(w.frameie->Bitmap().Width(), 50);
  const auto* p = static_cast<const uint8_t*>(w.frameie->Bitmap().ScanLine(20)) + 25 * 3;
  EXPECT_EQ(p[1], 255);
  EXPECT_EQ(p[0], 0);
  win.Resize(70, 30);
  ASSERT_TRUE(WaitFor([&] { return w.frameie->Bitmap().Width() == 70; }));
  EXPECT_EQ(w.SizeLabel->Caption(), "Videogröße: 70 x 30");
  w.VideoOnButton->SetDown(false);
  w.VideoOnClick();
}

#ifdef KV_PROGRAM_DIR
// What users run: a batch with "Screenshot" and the window's handle.
TEST_F(WebcamWindowTest, ScreenshotOfAWindowFromABatch) {
  const char* display = std::getenv("KV_TEST_DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no X display (KV_TEST_DISPLAY)";
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  test::TDisplayEnv env(display);
  test::TXWindow win("kv batch probe", 0x000000FF, 33, 22);  // blue
  ASSERT_NE(win.Id, 0u);
  const std::string out = Dir + "shot.png";
  std::string escaped;
  for (char c : out) escaped += c == '/' ? std::string("//") : std::string(1, c);
  test::WriteText(Dir + "job.atp", "SCREENSHOT Window=" + std::to_string(win.Id) + "\r\nSAVEAS FileName=\"" +
                                       escaped + "\"\r\nQUIT\r\n");
  const test::TToolRun run = test::RunTool("cd " + Dir + " && env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen DISPLAY=" +
                                           display + " XDG_RUNTIME_DIR=" + Dir + " XDG_CONFIG_HOME=" + Dir +
                                           "config HOME=" + Dir + " " + KV_PROGRAM_DIR + "kavrelin job.atp 2>&1");
  ASSERT_TRUE(WIFEXITED(run.Status) && WEXITSTATUS(run.Status) == 0) << run.Output;
  ASSERT_TRUE(FileExists(out)) << run.Output;
  EXPECT_EQ(test::RunCapture("identify -format '%wx%h' '" + out + "'"), "33x22");
  EXPECT_NE(test::RunCapture("convert '" + out + "' -crop 1x1+16+11 -depth 8 txt:-").find("#0000FF"), std::string::npos);
}
#endif

TEST_F(WebcamWindowTest, WindowPickerWithoutWindowsListsTheDesktop) {
  const char* display = std::getenv("DISPLAY");
  const std::string old = display ? display : "";
  ::unsetenv("DISPLAY");
  Tscreendriverform f(nullptr);
  if (!old.empty()) ::setenv("DISPLAY", old.c_str(), 1);
  ASSERT_EQ(f.Entries().size(), 1u);
  EXPECT_EQ(f.Entries()[0].Text, "Desktop");
  EXPECT_EQ(f.ListBox1->ItemIndex(), 0);
  EXPECT_EQ(f.Caption(), "Fenster auswählen");
}

}  // namespace
}  // namespace kv

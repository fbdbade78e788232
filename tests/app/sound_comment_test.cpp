// Sound and text comments beside an image, recorded, played, imported and
// deleted through the interpreter's lines with ALSA's file and null plug-ins
// as the sound device, then once more by the program from a batch file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/actions/comment_form.h"
#include "app/batch/batch_escapes.h"
#include "app/layer/layer_helpers.h"
#include "app/params/param_strings.h"
#include "app/tools/tool_files.h"
#include "platform/rtl/string_list.h"
#include "command_fixture.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/sound.h"
#include "platform/ui/button.h"
#include "platform/ui/std_controls.h"
#include "support/alsa_test_env.h"
#include "support/outside_tools.h"
#include "support/test_display.h"

namespace kv {
namespace {

using namespace kv::test;
using Clock = std::chrono::steady_clock;

constexpr int32_t kRate = 22050;

class SoundComment : public CommandTest {
 protected:
  // An image window on a saved picture, so that it has comments.
  std::string OpenPicture() {
    const std::string pic = Dir + "bild.bmp";
    SaveToolPicture(pic, MakeChild(8, 6, Pattern).imager1->Bitmap());
    Form->OverrideChild = nullptr;  // the opened picture is the current image
    EXPECT_TRUE(Line("OPEN FileName=\"" + pic + "\""));
    return pic;
  }
  // Pumps until Done or a deadline; false on the deadline.
  template <typename Pred> static bool PumpUntil(Pred Done, double Seconds = 20) {
    const auto end = Clock::now() + std::chrono::duration<double>(Seconds);
    while (!Done()) {
      if (Clock::now() > end) return false;
      Application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  // Answers the comment window: Script works it and ends by clicking or waiting.
  void WithCommentWindow(const std::function<void(Tkomform&)>& Script) {
    (*Dialogs)->AnswerModal([Script](TCustomForm& F) {
      auto* w = dynamic_cast<Tkomform*>(&F);
      if (!w) return mrAbort;
      Script(*w);
      return mrNone;
    });
  }
  static bool Closed(Tkomform& W) { return W.ModalResult() != mrNone; }
};

TEST_F(SoundComment, RecordPlayImportDelete) {
  const auto feed = TAlsaTestEnv::Pattern(size_t(kRate) * 6);
  TAlsaTestEnv env(feed);
  const std::string pic = OpenPicture();
  const std::string wav = pic + ".wav";

  // Three seconds on the clock, then "Stop".
  std::string seconds;
  WithCommentWindow([&](Tkomform& W) {
    EXPECT_EQ(W.Caption(), "Kommentar aufnehmen");
    EXPECT_EQ(W.Label1->Caption(), "Aufnahme läuft !!! bild.bmp");
    EXPECT_EQ(W.DeviceId, 1);
    const auto start = Clock::now();
    EXPECT_TRUE(PumpUntil([&] {
      return Clock::now() - start >= std::chrono::seconds(3) && W.Label2->Caption() == "3 Sekunden";
    }));
    W.Button1->Click();
    seconds = W.Label2->Caption();
    EXPECT_TRUE(Closed(W));
    EXPECT_EQ(W.DeviceId, 0);
  });
  ASSERT_TRUE(Line("COMMENTRECORD Name=\"" + pic + "\""));
  EXPECT_EQ(seconds, "3 Sekunden");
  ASSERT_TRUE(FileExists(wav));
  double length = 0;
  TSoundFormat format;
  ASSERT_TRUE(SoundFileInfo(wav, length, format));
  // As long as it ran: three seconds and the moment it took to press "Stop".
  EXPECT_GE(length, 2.95);
  EXPECT_LT(length, 3.5);
  const std::string raw = Dir + "rec.raw";
  ASSERT_EQ(test::Run("ffmpeg -v error -y -i '" + wav + "' -f s16le -ac 1 '" + raw + "'"), 0);
  const auto recorded = TAlsaTestEnv::Samples(ReadBytes(raw));
  ASSERT_GE(recorded.size(), size_t(3 * kRate));
  EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), feed.begin()));

  // Played to its end, the window closes by itself.
  WithCommentWindow([&](Tkomform& W) {
    EXPECT_EQ(W.Caption(), "Kommentar abspielen");
    EXPECT_EQ(W.Label1->Caption(), "Kommentar wird abgespielt !!! bild.bmp");
    EXPECT_TRUE(PumpUntil([&] { return Closed(W); }));
  });
  ASSERT_TRUE(Line("COMMENTPLAY Name=\"" + pic + "\""));
  EXPECT_EQ(env.Caught(), recorded);

  // Importing over the comment asks first; No keeps the old one.
  const std::string other = Dir + "other.wav";
  ASSERT_TRUE(WriteWaveFile(other, std::vector<int16_t>(800, 5), {8000, 1}).Ok());
  for (const TModalResult answer : {mrNo, mrYes}) {
    WithCommentWindow([&](Tkomform& W) {
      EXPECT_EQ(W.Caption(), "Kommentar importieren");
      EXPECT_FALSE(W.Button1->Visible());
      EXPECT_TRUE(PumpUntil([&] { return Closed(W); }));
    });
    (*Dialogs)->Answer(answer);
    ASSERT_TRUE(Line("COMMENTIMPORT filename=\"" + other + "\""));
    EXPECT_EQ(ReadBytes(wav) == ReadBytes(other), answer == mrYes);
  }

  ASSERT_TRUE(Line("COMMENTDELETE Name=\"" + pic + "\""));
  EXPECT_FALSE(FileExists(wav));
}

TEST_F(SoundComment, WithoutADeviceNothingIsRecordedAndStopCloses) {
  TAlsaTestEnv env({}, false);
  const std::string pic = OpenPicture();
  WithCommentWindow([&](Tkomform& W) {
    EXPECT_EQ(W.Label1->Caption(), kNoSoundDevice);
    EXPECT_EQ(W.DeviceId, 0);
    W.Button1->Click();
    EXPECT_TRUE(Closed(W));
  });
  EXPECT_FALSE(Line("COMMENTRECORD Name=\"" + pic + "\""));
  EXPECT_FALSE(FileExists(pic + ".wav"));

  ASSERT_TRUE(WriteWaveFile(pic + ".wav", std::vector<int16_t>(100, 1), {8000, 1}).Ok());
  WithCommentWindow([&](Tkomform& W) {
    EXPECT_EQ(W.Label1->Caption(), kNoSoundDevice);
    W.Button1->Click();
  });
  EXPECT_FALSE(Line("COMMENTPLAY Name=\"" + pic + "\""));
}

TEST_F(SoundComment, FailuresAreShown) {
  TAlsaTestEnv env(TAlsaTestEnv::Pattern(kRate));
  // A recording that cannot be saved: the user is told, the line fails.
  const std::string lost = Dir + "no/such/folder/bild.bmp";
  WithCommentWindow([&](Tkomform& W) {
    EXPECT_TRUE(PumpUntil([&] { return W.Label2->Caption() == "0 Sekunden"; }));
    W.Button1->Click();
  });
  (*Dialogs)->Answer(mrOk);
  EXPECT_FALSE(Line("COMMENTRECORD Name=\"" + lost + "\""));
  bool told = false;
  for (const TDialogRequest& r : Shown()) told |= r.Kind == dkMessageDlg && r.Type == mtError;
  EXPECT_TRUE(told);

  // A comment that is no sound file.
  const std::string pic = OpenPicture();
  WriteText(pic + ".wav", "not a sound");
  WithCommentWindow([&](Tkomform& W) {
    EXPECT_NE(W.Label1->Caption().find(pic + ".wav"), std::string::npos) << W.Label1->Caption();
    W.Button1->Click();
  });
  EXPECT_FALSE(Line("COMMENTPLAY Name=\"" + pic + "\""));

  // Unsaved images have no comments.
  EXPECT_FALSE(Line("COMMENTRECORD Name=\"\""));
  EXPECT_FALSE(Line("COMMENTPLAY Name=\"!unbenannt1\""));
}

TEST_F(SoundComment, SoundOptionsSetTheDevice) {
  (*Dialogs)->AnswerInput(true, "plughw:1,0");
  ASSERT_TRUE(Line("COMMENTSOUNDOPTIONS"));
  EXPECT_EQ(SoundDeviceName(), "plughw:1,0");
  EXPECT_EQ(Form->StoredString("SoundDevice"), "plughw:1,0");
  (*Dialogs)->AnswerInput(false, "x");
  ASSERT_TRUE(Line("COMMENTSOUNDOPTIONS"));
  EXPECT_EQ(SoundDeviceName(), "plughw:1,0");
  (*Dialogs)->AnswerInput(true, " ");
  ASSERT_TRUE(Line("COMMENTSOUNDOPTIONS"));
  EXPECT_EQ(SoundDeviceName(), "default");
}

#ifdef KV_PROGRAM_DIR
// The shown program, as users run it: a comment recorded for three seconds
// and stopped with the window's default button, played into the catch file,
// a text comment written, emptied and written again, the sound comment
// deleted, imported and deleted. Comment windows need a display (a
// program without one answers every window with Cancel): the test display
// of the run (KV_TEST_DISPLAY, Xvfb in CI) and xdotool's keys.
TEST_F(SoundComment, ProgramRunsTheCommentLines) {
  const char* display = std::getenv("KV_TEST_DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no test display (KV_TEST_DISPLAY is not set)";
  if (!HaveTool("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  const TTestDisplayLock displayLock(display);  // xdotool's keys go to the focused window
  const auto feed = TAlsaTestEnv::Pattern(size_t(kRate) * 8);
  TAlsaTestEnv env(feed);
  const std::string pic = Dir + "bild.bmp";
  SaveToolPicture(pic, MakeChild(8, 6, Pattern).imager1->Bitmap());
  const std::string source = Dir + "memo.wav";
  ASSERT_TRUE(WriteWaveFile(source, TAlsaTestEnv::Pattern(kRate / 4), {kRate, 1}).Ok());
  TStringList text;
  text.Add("Erste Zeile");
  text.Add("Zweite Zeile");
  const std::vector<std::string> lines = {
      "OPEN FileName=\"" + pic + "\"",
      "COMMENTRECORD Name=\"" + pic + "\"",
      "COMMENTPLAY Name=\"" + pic + "\"",
      "Textcomment" + WriteParamStrings("text", text) + WriteParamString("Name", pic),
      "Textcomment textCount=0 Name=\"" + pic + "\"",
      "Textcomment" + WriteParamStrings("text", text) + WriteParamString("Name", pic),
  };
  std::string job;
  for (const std::string& l : lines) job += EscapeBatchLine(l) + "\r\n";
  WriteText(Dir + "job.atp", job + "QUIT\r\n");
  const std::string env_ = "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=" + std::string(display) +
                           " ALSA_CONFIG_PATH=" + env.ConfigFile + " XDG_RUNTIME_DIR=" + Dir + " XDG_CONFIG_HOME=" +
                           Dir + "config XDG_DATA_HOME=" + Dir + "data HOME=" + Dir + " ";
  const std::string log = Dir + "program.log";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const std::string cmd = "cd " + Dir + " && exec " + env_ + "timeout 120 " + KV_PROGRAM_DIR + "kavrelin job.atp >" + log + " 2>&1";
    ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_GT(pid, 0);
  auto xdo = [&](const std::string& Args) {
    return RunCapture("DISPLAY=" + std::string(display) + " xdotool " + Args + " 2>/dev/null");
  };
  // The recording window, once it shows.
  std::string window;
  const auto end = Clock::now() + std::chrono::seconds(60);
  while (window.empty() && Clock::now() < end) {
    window = xdo("search --onlyvisible --name 'Kommentar aufnehmen'");
    if (const size_t nl = window.find('\n'); nl != std::string::npos) window.resize(nl);
    if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(window.empty()) << ReadText(log);
  // The length of the recording is what is checked: the device delivers in
  // real time, so this wait is the 3-second recording itself, then "Stop",
  // the default button.
  const auto shown = Clock::now();
  while (Clock::now() - shown < std::chrono::milliseconds(3200)) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  while (Clock::now() < end && ("\n" + xdo("search --onlyvisible --name '.'")).find("\n" + window + "\n") != std::string::npos) {
    xdo("windowfocus --sync " + window);
    xdo("key --clearmodifiers Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadText(log);

  double length = 0;
  TSoundFormat format;
  ASSERT_TRUE(SoundFileInfo(pic + ".wav", length, format)) << ReadText(log);
  EXPECT_GE(length, 3.0);
  EXPECT_LT(length, 10.0);
  const std::string raw = Dir + "rec.raw";
  ASSERT_EQ(test::Run("ffmpeg -v error -y -i '" + pic + ".wav' -f s16le -ac 1 '" + raw + "'"), 0);
  const auto recorded = TAlsaTestEnv::Samples(ReadBytes(raw));
  EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), feed.begin()));
  EXPECT_EQ(env.Caught(), recorded);  // played back to its end
  EXPECT_EQ(ReadTextComment(pic), ListToEscapedText(text));

  // Deleted, imported from another file, deleted again.
  WriteText(Dir + "job.atp", EscapeBatchLine("OPEN FileName=\"" + pic + "\"") + "\r\n" +
                                 EscapeBatchLine("COMMENTDELETE Name=\"" + pic + "\"") + "\r\n" +
                                 EscapeBatchLine("Commentimport filename=\"" + source + "\"") + "\r\nQUIT\r\n");
  const TToolRun again = RunTool("cd " + Dir + " && " + env_ + "timeout 120 " + KV_PROGRAM_DIR + "kavrelin job.atp 2>&1");
  ASSERT_TRUE(WIFEXITED(again.Status) && WEXITSTATUS(again.Status) == 0) << again.Output;
  EXPECT_EQ(ReadBytes(pic + ".wav"), ReadBytes(source));
  WriteText(Dir + "job.atp", EscapeBatchLine("OPEN FileName=\"" + pic + "\"") + "\r\n" +
                                 EscapeBatchLine("COMMENTDELETE Name=\"" + pic + "\"") + "\r\nQUIT\r\n");
  const TToolRun del = RunTool("cd " + Dir + " && " + env_ + "timeout 120 " + KV_PROGRAM_DIR + "kavrelin job.atp 2>&1");
  ASSERT_TRUE(WIFEXITED(del.Status) && WEXITSTATUS(del.Status) == 0) << del.Output;
  EXPECT_FALSE(FileExists(pic + ".wav"));
  EXPECT_TRUE(FileExists(pic + ".txt"));
}
#endif

}  // namespace
}  // namespace kv

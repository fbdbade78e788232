// Recording commands in the real main window and playing the saved batch
// again, in the same window and in the program started with the batch file,
// must make the same files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/batch/batch_recorder.h"
#include "main_window_fixture.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"
#include "platform/ui/dialogs.h"
#include "support/outside_tools.h"

namespace kv {
namespace {

class BatchRecordReplay : public test::TMainWindowTest {
 protected:
  void SetUp() override {
    TMainWindowTest::SetUp();
    SetProgramFolder(Dir);
    SetUserDataFolder(Dir);
    Out = Dir + "out/";
    ForceDirectories(Out);
  }
  void TearDown() override {
    TMainWindowTest::TearDown();
    SetProgramFolder("");
    SetUserDataFolder("");
  }
  // Every file the commands made, by name, and the folder emptied for the next run.
  std::map<std::string, std::vector<uint8_t>> TakeOutputs() {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& e : std::filesystem::directory_iterator(Out)) files[e.path().filename().string()] = test::ReadBytes(e.path().string());
    std::filesystem::remove_all(Out);
    ForceDirectories(Out);
    return files;
  }
  // Every file must come back byte for byte (no writer here stores a time);
  // for one that does not, the pixels are compared too, to tell a difference
  // of the picture from one of the file's form.
  void ExpectSameFiles(const std::map<std::string, std::vector<uint8_t>>& First,
                       const std::map<std::string, std::vector<uint8_t>>& Again, const std::string& How) {
    ASSERT_EQ(First.size(), Again.size()) << How;
    for (const auto& [name, bytes] : First) {
      const auto other = Again.find(name);
      ASSERT_NE(other, Again.end()) << How << ": " << name;
      if (other->second == bytes) continue;
      ADD_FAILURE() << How << ": " << name << " differs in its bytes";
      if (!test::HaveTool("compare")) continue;
      test::WriteBytes(Dir + "first-" + name, bytes);
      test::WriteBytes(Dir + "again-" + name, other->second);
      const std::string ae = test::RunCapture("compare -metric AE '" + Dir + "first-" + name + "' '" + Dir + "again-" +
                                              name + "' null: 2>&1");
      EXPECT_EQ(ae, "0") << How << ": " << name << " differs in its pixels";
    }
  }
  std::string Out;
};

TEST_F(BatchRecordReplay, RecordingAndReplayingABatchGivesTheSameFiles) {
  ShowMainWindow(800, 600);
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrOk);
  Form->batchnew();
  ASSERT_EQ(Form->Recorder().State(), rsRecording);

  const std::vector<std::string> commands = {
      "NEWIMAGE Width=64 Height=48 vwidth=0 vheight=0 FillColor=16744448",
      // A rectangle and an ellipse dragged with the mouse, then a text.
      "STARTDRAWING DrawingTool=8 Foreground=65280 Background=255 LineWidth=3 Fillstyle=0 MouseX=4 MouseY=5",
      "DRAWFINISH MouseX=40 MouseY=30 OriginX=4 OriginY=5",
      "STARTDRAWING DrawingTool=9 Foreground=16777215 Background=0 LineWidth=1 Fillstyle=1 MouseX=30 MouseY=20",
      "DRAWFINISH MouseX=60 MouseY=44 OriginX=30 OriginY=20",
      "STARTDRAWING DrawingTool=11 Foreground=0 MouseX=2 MouseY=2 TextCount=1 Text0=\"Kv\"",
      "EFFECT Name=Gamma Param1=0.5",
      // Hidden text with a line break and slashes: the file must carry both.
      "WRITETEXT Text=\"erste Zeile\r\nzweite // Zeile\"",
      "SAVEAS FileName=\"" + Out + "picture.png\"",
      "SAVEAS FileName=\"" + Out + "picture.bmp\"",
      "RESIZE Width=40 Height=30 vwidth=0 vheight=0 Resample=1 ResampleFilter=5",
      "SAVEAS FileName=\"" + Out + "small.tif\"",
      "SAVEAS FileName=\"" + Out + "small.bmp\"",
      "NEWIMAGE Width=20 Height=10 vwidth=0 vheight=0 FillColor=255",
      "EFFECT Name=ColorAddRGB Param2=100",
      "SAVEAS FileName=\"" + Out + "second.png\"",
  };
  for (const std::string& line : commands) {
    Form->interpreter(Form.get(), line);
    Pump();
  }
  ASSERT_EQ(dialogs->Shown.size(), 1u) << dialogs->Shown.back().Text;

  dialogs->AnswerInput(true, "roundtrip");
  Form->batchstop();
  const std::string job = Dir + "Batch/roundtrip.atp";
  ASSERT_TRUE(FileExists(job));

  // One file line per command, line breaks and slashes escaped.
  TStringList raw;
  raw.LoadFromFile(job);
  ASSERT_EQ(raw.Count(), int32_t(commands.size()));
  EXPECT_EQ(raw.Get(7), "WRITETEXT Text=\"erste Zeile/n/rzweite //// Zeile\"");
  EXPECT_EQ(raw.Get(8), "SAVEAS FileName=\"" + StringReplace(Out, "/", "//", TReplaceFlags{rfReplaceAll}) +
                            "picture.png\"");
  EXPECT_EQ(test::ReadText(job).find('\n'), test::ReadText(job).find("\r\n") + 1);

  const auto first = TakeOutputs();
  ASSERT_EQ(first.size(), 5u);
  Form->playbatch(job);
  Pump();
  EXPECT_EQ(dialogs->Shown.size(), 2u);  // only the two boxes of the recording
  ExpectSameFiles(first, TakeOutputs(), "played again");

#ifdef KV_PROGRAM_DIR
  // The program started with the batch file (and a QUIT to end it) makes them too.
  test::WriteText(Dir + "job.atp", test::ReadText(job) + "QUIT\r\n");
  const test::TToolRun run = test::RunTool("cd " + Dir + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR=" +
                                           Dir + " XDG_CONFIG_HOME=" + Dir + "config HOME=" + Dir + " " +
                                           KV_PROGRAM_DIR + "kavrelin job.atp 2>&1");
  ASSERT_TRUE(WIFEXITED(run.Status) && WEXITSTATUS(run.Status) == 0) << run.Output;
  ExpectSameFiles(first, TakeOutputs(), "played by the program");
#endif
}

}  // namespace
}  // namespace kv

// The list of batch programs in the history window, with its recorder buttons.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/batch/batch_list_frame.h"
#include "app/batch/batch_recorder.h"
#include "app/batch/batch_window.h"
#include "main_window_fixture.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/paths.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/speed_button.h"

namespace kv {
namespace {

std::vector<std::string> Lines(TStrings& S) {
  std::vector<std::string> r;
  for (int32_t i = 0; i < S.Count(); ++i) r.push_back(S.Get(i));
  return r;
}

class BatchList : public test::TMainWindowTest {
 protected:
  void SetUp() override {
    TMainWindowTest::SetUp();
    SetProgramFolder(Dir);
    SetUserDataFolder(Dir);
    const char* path = std::getenv("PATH");
    OldPath = path ? path : "/usr/bin:/bin";
  }
  void TearDown() override {
    delete History;
    setenv("PATH", OldPath.c_str(), 1);
    TMainWindowTest::TearDown();
    SetProgramFolder("");
    SetUserDataFolder("");
  }
  // The main window and its history window, the batch folder holding Files.
  TbatchlistFrame& Open(const std::vector<std::string>& Files) {
    ForceDirectories(Dir + "Batch");
    for (const std::string& f : Files) test::WriteText(Dir + "Batch/" + f, "NEWIMAGE Width=8 Height=8 vwidth=0 vheight=0\r\n");
    ShowMainWindow(640, 480);
    History = new Tbatchwindowform(nullptr);
    return *History->batchlistFrame1;
  }
  // Which of play, pause, stop and record are enabled, as "PpSr" with "-" for disabled.
  static std::string Enabled(const TbatchlistFrame& F) {
    std::string s;
    s += F.PlayButton->Enabled() ? 'P' : '-';
    s += F.PauseButton->Enabled() ? 'p' : '-';
    s += F.StopButton->Enabled() ? 'S' : '-';
    s += F.RecordButton->Enabled() ? 'r' : '-';
    return s;
  }
  Tbatchwindowform* History = nullptr;
  std::string OldPath;
};

TEST(BatchListButtons, EnabledByRecorderState) {
  const struct {
    uint8_t State;
    TBatchButtons On;
  } cases[] = {
      {0, {bbPlay, bbRecord}}, {1, {bbPause, bbStop}}, {2, {bbPlay, bbStop}},
      {3, {bbStop, bbRecord}}, {4, {bbPause, bbStop}}, {5, {}},
  };
  for (const auto& c : cases) EXPECT_TRUE(EnabledBatchButtons(c.State) == c.On) << int(c.State);
}

TEST_F(BatchList, ListsTheProgramsAndSelectsTheFirst) {
  TbatchlistFrame& f = Open({"b.atp", "A.ATP", "notes.txt", "c.atp.bak"});
  ForceDirectories(Dir + "Batch/folder.atp");
  f.ReadFileList();
  EXPECT_EQ(Lines(f.FileListBox1->Items()), (std::vector<std::string>{"A.ATP", "b.atp"}));
  EXPECT_EQ(f.FileListBox1->ItemIndex(), 0);
  EXPECT_EQ(f.SelectedProgram(), Dir + "Batch/A.ATP");

  // A Batch "folder" that is not one leaves the list empty, and nothing selected plays nothing.
  std::filesystem::remove_all(Dir + "Batch");
  test::WriteText(Dir + "Batch", "not a folder");
  f.ReadFileList();
  f.updateall();
  EXPECT_EQ(f.FileListBox1->Items().Count(), 0);
  EXPECT_EQ(f.SelectedProgram(), "");
  const int32_t before = Form->MDIChildCount();
  f.PlayClick(f.PlayButton);
  EXPECT_EQ(Form->MDIChildCount(), before);
  EXPECT_TRUE(ListBatchPrograms(Dir + "missing/").empty());
}

TEST_F(BatchList, RecorderButtonsFollowTheRecorderAndASaveShowsTheNewProgram) {
  TbatchlistFrame& f = Open({"old.atp"});
  TScriptedDialogsScope dialogs;
  EXPECT_EQ(Enabled(f), "P--r");

  dialogs->Answer(mrOk);  // the confirmation of a new recording
  f.RecordClick(f.RecordButton);
  EXPECT_EQ(Form->Recorder().State(), rsRecording);
  EXPECT_EQ(Enabled(f), "-pS-");
  Form->interpreter(Form.get(), "NEWIMAGE Width=5 Height=4 vwidth=0 vheight=0");

  f.PauseClick(f.PauseButton);
  EXPECT_EQ(Form->Recorder().State(), rsPaused);
  EXPECT_EQ(Enabled(f), "--Sr");
  f.RecordClick(f.RecordButton);  // resumes without asking
  EXPECT_EQ(Enabled(f), "-pS-");

  // The menu's actions reach the frame the same way.
  Form->batchpause();
  EXPECT_EQ(Enabled(f), "--Sr");

  dialogs->AnswerInput(true, "new");
  f.StopClick(f.StopButton);
  EXPECT_EQ(Form->Recorder().State(), rsIdle);
  EXPECT_EQ(Enabled(f), "P--r");
  EXPECT_EQ(Lines(f.FileListBox1->Items()), (std::vector<std::string>{"new.atp", "old.atp"}));
  EXPECT_EQ(f.SelectedProgram(), Dir + "Batch/old.atp");  // the selection stays where it was
  EXPECT_EQ(test::ReadText(Dir + "Batch/new.atp"), "NEWIMAGE Width=5 Height=4 vwidth=0 vheight=0\r\n");

  // "Batch..." is the main window's action, which opens the automation window.
  dialogs->AnswerModal([](TCustomForm& F) {
    EXPECT_EQ(F.Caption(), "Batch");
    return mrCancel;
  });
  f.BatchButtonClick(f.BatchButton);
  EXPECT_EQ(dialogs->Shown.back().Kind, dkModalForm);
  EXPECT_EQ(dialogs->Pending(), 0u);
}

TEST_F(BatchList, PlayRunsTheSelectedProgram) {
  TbatchlistFrame& f = Open({"a.atp"});
  test::WriteText(Dir + "Batch/b.atp", "NEWIMAGE Width=8 Height=8 vwidth=0 vheight=0\r\nRESIZE Resample=1 ResampleFilter=99\r\n");
  f.ReadFileList();
  const int32_t before = Form->MDIChildCount();
  f.PlayClick(f.PlayButton);
  EXPECT_EQ(Form->MDIChildCount(), before + 1);

  // A failing line is shown once by the interpreter, then its reason in the
  // program's language, and goes no further.
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrOk);
  dialogs->Answer(IDOK);
  f.FileListBox1->SetItemIndex(1);
  f.PlayClick(f.PlayButton);
  Pump();
  EXPECT_EQ(Form->MDIChildCount(), before + 2);
  ASSERT_EQ(dialogs->Shown.size(), 2u);
  EXPECT_NE(dialogs->Shown[0].Text.find("HIDDEN RESIZE"), std::string::npos);
  EXPECT_NE(dialogs->Shown[1].Text.find("Unbekannter Resampling-Filter"), std::string::npos)
      << dialogs->Shown[1].Text;
  EXPECT_FALSE(Form->Busy());
}

TEST_F(BatchList, DeleteAsksFirst) {
  TbatchlistFrame& f = Open({"a.atp", "b.atp"});
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrCancel);
  f.DeleteButtonClick(f.DeleteButton);
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_EQ(dialogs->Shown[0].Text, "Sind Sie sicher, dass Sie die Aufnahme-Datei löschen möchten?");
  EXPECT_TRUE(dialogs->Shown[0].Buttons == mbOKCancel);
  EXPECT_TRUE(FileExists(Dir + "Batch/a.atp"));

  dialogs->Answer(mrOk);
  f.DeleteButtonClick(f.DeleteButton);
  EXPECT_FALSE(FileExists(Dir + "Batch/a.atp"));
  EXPECT_EQ(Lines(f.FileListBox1->Items()), (std::vector<std::string>{"b.atp"}));
  EXPECT_EQ(f.FileListBox1->ItemIndex(), 0);
}

TEST_F(BatchList, EditHandsTheProgramToTheDesktopsOpener) {
  TbatchlistFrame& f = Open({"my job.atp"});
  ForceDirectories(Dir + "bin");
  const std::string fake = Dir + "bin/xdg-open";
  test::WriteText(fake, "#!/bin/sh\nprintf '%s|' \"$@\" > \"" + Dir + "opened\"\n");
  ::chmod(fake.c_str(), 0755);
  setenv("PATH", (Dir + "bin:" + OldPath).c_str(), 1);
  f.EditButtonClick(f.EditButton);
  EXPECT_EQ(test::ReadText(Dir + "opened"), Dir + "Batch/my job.atp|");

  // An opener that fails is reported.
  test::WriteText(fake, "#!/bin/sh\nexit 3\n");
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrOk);
  f.EditButtonClick(f.EditButton);
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_NE(dialogs->Shown[0].Text.find("my job.atp"), std::string::npos);
}

}  // namespace
}  // namespace kv

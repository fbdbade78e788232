#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/batch/batch_escapes.h"
#include "app/batch/batch_player.h"
#include "app/batch/batch_recorder.h"
#include "app/batch/batch_window.h"
#include "app/main/main_form.h"
#include "platform/system/paths.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/list_box.h"
#include "platform/ui/panel.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/std_controls.h"
#include "support/temp_files.h"

namespace kv {
namespace {

TEST(BatchEscapes, Table) {
  struct TCase {
    const char* Command;
    const char* InFile;
  };
  const TCase cases[] = {
      {"WRITETEXT Text=\"one\rtwo\"", "WRITETEXT Text=\"one/ntwo\""},
      {"WRITETEXT Text=\"a\r\nb\"", "WRITETEXT Text=\"a/n/rb\""},
      {"X Text=\"//\"", "X Text=\"////\""},
      {"OPEN FileName=\"/home/u/x.jpg\"", "OPEN FileName=\"//home//u//x.jpg\""},
      {"", ""},
      {"/", "//"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(EscapeBatchLine(c.Command), c.InFile) << c.Command;
    EXPECT_EQ(UnescapeBatchLine(c.InFile), c.Command) << c.InFile;
  }
  // Hand-written lines: an unknown pair keeps both characters, a lone "/" at the end stays.
  EXPECT_EQ(UnescapeBatchLine("OPEN FileName=\"/tmp/a.png\""), "OPEN FileName=\"/tmp/a.png\"");
  EXPECT_EQ(UnescapeBatchLine("a/"), "a/");
  EXPECT_EQ(UnescapeBatchLine("a///x"), "a//x");
}

class BatchFixture : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    EnsureQtApplication();
    SetProgramFolder(Dir);
    SetUserDataFolder(Dir);
    SetRegistryFolder(Dir);
    Form = std::make_unique<Tform1>(nullptr);
  }
  void TearDown() override {
    Form.reset();
    SetRegistryFolder("");
    SetProgramFolder("");
    SetUserDataFolder("");
    TTempFolderTest::TearDown();
  }
  std::vector<std::string> Recorded() {
    std::vector<std::string> r;
    for (int32_t i = 0; i < Form->Recorder().Recording().Count(); ++i) r.push_back(Form->Recorder().Recording().Get(i));
    return r;
  }
  std::unique_ptr<Tform1> Form;
};

using BatchRecorder = BatchFixture;

TEST_F(BatchRecorder, RecordPauseResumeStopAndSave) {
  TScriptedDialogsScope dialogs;
  int changes = 0;
  Form->Recorder().OnChange = [&] { ++changes; };
  Form->Recorder().Recording().Add("left over");

  dialogs->Answer(mrOk);
  Form->batchnew();
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_NE(dialogs->Shown[0].Text.find("Alle folgenden Schritte werden aufgenommen"), std::string::npos);
  EXPECT_EQ(Form->Recorder().State(), rsRecording);
  EXPECT_TRUE(Recorded().empty());

  Form->LogLine("WRITETEXT Text=\"a\r\nb\"");
  Form->batchpause();
  EXPECT_EQ(Form->Recorder().State(), rsPaused);
  Form->LogLine("INVERT");  // paused: left out
  Form->batchnew();         // resumes without asking
  EXPECT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_EQ(Form->Recorder().State(), rsRecording);
  Form->LogLine("X Text=\"//\"");
  EXPECT_EQ(Recorded(), (std::vector<std::string>{"WRITETEXT Text=\"a\r\nb\"", "X Text=\"//\""}));

  dialogs->AnswerInput(true, "job");
  Form->batchstop();
  EXPECT_EQ(Form->Recorder().State(), rsIdle);
  EXPECT_EQ(dialogs->Shown.back().Caption, "Aufnahme gestoppt");
  EXPECT_EQ(dialogs->Shown.back().Text, "Bitte geben Sie einen Namen für die Aufnahme an");
  EXPECT_EQ(test::ReadText(Dir + "Batch/job.atp"), "WRITETEXT Text=\"a/n/rb\"\r\nX Text=\"////\"\r\n");
  EXPECT_GE(changes, 5);

  // Played back, the file gives the lines as they were recorded.
  std::vector<std::string> played;
  PlayBatch(*Form, Dir + "Batch/job.atp", [&](const std::string& Line) { played.push_back(Line); });
  EXPECT_EQ(played, (std::vector<std::string>{"HIDDEN WRITETEXT Text=\"a\r\nb\"", "HIDDEN X Text=\"//\""}));
}

TEST_F(BatchRecorder, CancelKeepsTheLinesUntilTheNextRecording) {
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrCancel);
  Form->batchnew();  // not confirmed
  EXPECT_EQ(Form->Recorder().State(), rsIdle);
  dialogs->Answer(mrOk);
  Form->batchnew();
  Form->LogLine("ALREADYDONE INVERT");
  Form->LogLine("GRAY");
  dialogs->AnswerInput(false, "");
  Form->batchstop();
  EXPECT_EQ(Form->Recorder().State(), rsIdle);
  EXPECT_FALSE(std::filesystem::exists(Dir + "Batch"));
  EXPECT_EQ(Recorded(), (std::vector<std::string>{"INVERT", "GRAY"}));

  // Stopping while idle still saves what the list holds.
  dialogs->AnswerInput(true, "again");
  Form->batchstop();
  EXPECT_EQ(test::ReadText(Dir + "Batch/again.atp"), "INVERT\r\nGRAY\r\n");

  dialogs->Answer(mrOk);
  Form->batchnew();
  EXPECT_TRUE(Recorded().empty());
}

TEST_F(BatchRecorder, NamesCannotLeaveTheBatchFolder) {
  TScriptedDialogsScope dialogs;
  for (const char* name : {"../escape", "..", "a/b", ""}) {
    dialogs->AnswerInput(true, name);
    EXPECT_THROW(Form->batchstop(), EBatchName) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(Dir + "escape.atp"));
  EXPECT_FALSE(std::filesystem::exists(Dir + "Batch"));
  EXPECT_TRUE(ValidBatchName("my job .v2"));
}

using BatchPlayer = BatchFixture;

TEST_F(BatchPlayer, ThirdLineFailsBusyCleared) {
  test::WriteText(Dir + "job.atp", "  NEWIMAGE Width=10  \r\nHIDDEN OPEN FileName=\"//tmp//a.png\"\r\nBAD\r\nNEVER\r\n");
  std::vector<std::string> ran;
  std::vector<int32_t> busy;
  auto runner = [&](const std::string& Line) {
    ran.push_back(Line);
    busy.push_back(Form->BatchBusy);
    if (Line == "HIDDEN BAD") throw Exception("failed");
  };
  EXPECT_THROW(PlayBatch(*Form, Dir + "job.atp", runner), Exception);
  EXPECT_EQ(ran, (std::vector<std::string>{"HIDDEN NEWIMAGE Width=10", "HIDDEN OPEN FileName=\"/tmp/a.png\"", "HIDDEN BAD"}));
  EXPECT_EQ(busy, (std::vector<int32_t>{1, 1, 1}));
  EXPECT_EQ(Form->BatchBusy, 0);
  EXPECT_FALSE(Form->Busy());
}

TEST_F(BatchPlayer, NestedPlayersStayBusyUntilTheOuterEnds) {
  test::WriteText(Dir + "inner.atp", "A\r\n");
  test::WriteText(Dir + "outer.atp", "PLAY\r\nB\r\nQUIT\r\n");
  std::vector<std::string> log;
  std::function<void(const std::string&)> runner = [&](const std::string& Line) {
    log.push_back(Line + " " + std::to_string(Form->BatchBusy));
    if (Line == "HIDDEN PLAY") PlayBatch(*Form, Dir + "inner.atp", runner);
  };
  PlayBatch(*Form, Dir + "outer.atp", runner);
  // QUIT runs with the busy state already ended, so closing is not refused.
  EXPECT_EQ(log, (std::vector<std::string>{"HIDDEN PLAY 1", "HIDDEN A 2", "HIDDEN B 1", "HIDDEN QUIT 0"}));
  EXPECT_EQ(Form->BatchBusy, 0);
}

TEST_F(BatchPlayer, MissingFileIsReported) {
  TScriptedDialogsScope dialogs;
  dialogs->Answer(IDOK);
  bool ran = false;
  PlayBatch(*Form, Dir + "none.atp", [&](const std::string&) { ran = true; });
  EXPECT_FALSE(ran);
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_NE(dialogs->Shown[0].Text.find("none.atp"), std::string::npos);
  EXPECT_EQ(Form->BatchBusy, 0);
}

TEST_F(BatchPlayer, HistoryLinesWaitForARunningBatch) {
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrOk);
  dialogs->Answer(mrOk);
  auto* w = new Tbatchwindowform(Form.get());
  w->AddLine("NEWIMAGE Width=5 Height=5", 50);
  w->TextListBox1->SetItemIndex(0);
  Form->BatchBusy = 1;
  w->TextListBox1DblClick(w->TextListBox1);
  uint16_t key = VK_RETURN;
  w->Edit1KeyDown(w->Edit1, key, {});
  Form->BatchBusy = 0;
  // Nothing ran, so nothing was logged; the user was told twice.
  EXPECT_EQ(w->TextListBox1->Items().Count(), 1);
  ASSERT_EQ(dialogs->Shown.size(), 2u);
  EXPECT_EQ(dialogs->Shown[1].Text, "Es wird gerade eine Batch ausgeführt. Warten Sie bis diese zu Ende ist.");
  EXPECT_EQ(w->Edit1->Text(), "NEWIMAGE Width=5 Height=5");
}

TEST(BatchWindow, HistoryKeepsMaxLinesAndKeysWalkIt) {
  EnsureQtApplication();
  TForm owner(nullptr);
  auto* w = new Tbatchwindowform(&owner);
  EXPECT_EQ(batchwindowform, w);
  EXPECT_EQ(w->Caption(), "Batch");
  for (int i = 1; i <= 51; ++i) w->AddLine("LINE" + std::to_string(i), 50);
  TStrings& items = w->TextListBox1->Items();
  ASSERT_EQ(items.Count(), 50);
  EXPECT_EQ(items.Get(0), "LINE2");
  EXPECT_EQ(items.Get(49), "LINE51");
  EXPECT_EQ(w->TextListBox1->TopIndex(), 49);

  // A limit below one still shows the newest line.
  w->AddLine("ONLY", 0);
  EXPECT_EQ(items.Count(), 1);

  for (const char* s : {"A", "B", "C"}) w->AddLine(s, 50);
  w->TextListBox1->SetItemIndex(1);
  w->TextListBox1Click(w->TextListBox1);
  EXPECT_EQ(w->Edit1->Text(), "A");
  uint16_t key = VK_UP;
  w->Edit1KeyDown(w->Edit1, key, {});
  EXPECT_EQ(key, 0);
  EXPECT_EQ(w->TextListBox1->ItemIndex(), 0);
  EXPECT_EQ(w->Edit1->Text(), "ONLY");
  key = VK_UP;
  w->Edit1KeyDown(w->Edit1, key, {});  // stays on the first
  EXPECT_EQ(w->TextListBox1->ItemIndex(), 0);
  for (int i = 0; i < 5; ++i) {
    key = VK_DOWN;
    w->Edit1KeyDown(w->Edit1, key, {});
  }
  EXPECT_EQ(w->TextListBox1->ItemIndex(), 3);  // stops on the last
  EXPECT_EQ(w->Edit1->Text(), "C");
  key = 'X';
  w->Edit1KeyDown(w->Edit1, key, {});
  EXPECT_EQ(key, 'X');  // other keys act normally

  w->Panel1->SetWidth(333);
  EXPECT_EQ(w->Edit1->Width(), w->Panel1->ClientWidth());
  delete w;
  EXPECT_EQ(batchwindowform, nullptr);
}

}  // namespace
}  // namespace kv

// Automation over a folder of generated pictures with a recorded batch
// (resize, a filter, a text stamp): the saved files and their names under the
// naming rules, collisions, a stop in the middle, a source that fails to load,
// pictures that were not saved staying open, and the main window's action.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/actions/main_actions.h"
#include "app/batch/batch_list_frame.h"
#include "app/catalog/image_source_frame.h"
#include "app/helpers/folder_helpers.h"
#include "app/params/param_strings.h"
#include "app/workflows/auto_save.h"
#include "app/workflows/automation.h"
#include "command_fixture.h"
#include "components/controls/file_dir_edit.h"
#include "imaging/formats/imager_io.h"
#include "platform/ui/actions.h"
#include "platform/ui/radio_button.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "support/outside_tools.h"

namespace kv {
namespace {

using namespace kv::test;
namespace fs = std::filesystem;

class Automation : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    Form->Recorder().SetState(rsIdle);
    fs::create_directories(Dir + "in");
    fs::create_directories(Dir + "out");
    fs::create_directories(BatchFolder());
    for (int i = 0; i < 5; ++i) {
      TBitmap b;
      Paint24(b, 40 + 2 * i, 30, [i](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 5), uint8_t(y * 7), uint8_t(i * 50)}; });
      TImagerIO io(nullptr);
      io.AttachBitmap(&b);
      io.SaveToFileByExtension(Dir + "in/p" + std::to_string(i) + ".png");
    }
    WriteText(Dir + "in/kaputt.png", "no picture at all");
    WriteText(BatchFolder() + "stamp.atp",
              "RESIZE Width=50 vwidth=7 Height=50 vheight=7 Resample=1 ResampleFilter=5\r\n"
              "EFFECT Name=Invert\r\n"
              "StartDrawing ForeGround=255 BackGround=0 FillStyle=1 LineStyle=0 Linewidth=1 PenStyle=0 DrawingTool=11 "
              "MouseX=1 MouseY=1 RightMouseButton=0 FontColor=255 FontHeight=-8 FontName=\"DejaVu Sans\" FontBold=0 "
              "FontItalic=0 FontUnderline=0 fontStrikeout=0 TextCount=1 Text0=\"K\"\r\n");
    Source = std::make_unique<TimageSourceframe>(nullptr);
    Source->SetParams(WriteParamInt("SourceMode", 1) + WriteParamString("Dir", Dir + "in") +
                      WriteParamBool("Subdirs", false));
  }
  void TearDown() override {
    Source.reset();
    CommandTest::TearDown();
  }
  TAutomationJob Job(const std::string& Save) {
    TAutomationJob j;
    j.Batch = BatchFolder() + "stamp.atp";
    j.Source = Source.get();
    j.Save = true;
    j.SaveText = WriteParamString("Directory", Dir + "out") + Save;
    j.Close = true;
    return j;
  }
  std::set<std::string> Out() {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir + "out")) names.insert(e.path().filename().string());
    return names;
  }
  int32_t Windows() { return Form->MDIChildCount(); }

  std::unique_ptr<TimageSourceframe> Source;
};

TEST_F(Automation, SavesEveryLoadedPictureUnderNumberedNamesAndClosesIt) {
  const std::string save = WriteParamString("Startfile", "Bild") + WriteParamString("Type", "PNG") +
                           WriteParamBool("KeepParams", false);
  TAutomationResult r = RunAutomation(*Form, Job(save));
  EXPECT_EQ(r.Done, 5);  // the broken file is not worked on, but counted
  EXPECT_EQ(r.NotLoaded, 1);
  EXPECT_EQ(r.Saved, 5);
  EXPECT_EQ(r.NextNumber, 6);
  EXPECT_EQ(Out(), (std::set<std::string>{"bild-1.png", "bild-2.png", "bild-3.png", "bild-4.png", "bild-5.png"}));
  EXPECT_EQ(Windows(), 0);
  // Resized to half, inverted and stamped: ImageMagick reads what we wrote.
  if (HaveTool("identify")) {
    std::set<std::string> sizes;
    for (const std::string& n : Out()) sizes.insert(RunCapture("identify -format '%wx%h' '" + Dir + "out/" + n + "'"));
    EXPECT_EQ(sizes, (std::set<std::string>{"20x15", "21x15", "22x15", "23x15", "24x15"}));
  }
  // Again from number 1: the taken names are passed over.
  r = RunAutomation(*Form, Job(save));
  EXPECT_EQ(r.Saved, 5);
  EXPECT_EQ(Out().size(), 10u);
  EXPECT_TRUE(Out().count("bild-10.png"));
}

TEST_F(Automation, KeptNamesAndPicturesNotSavedStayOpen) {
  // The sources' own names in another folder, in their own format.
  TAutomationResult r = RunAutomation(*Form, Job(WriteParamBool("KeepStartfile", true)));
  EXPECT_EQ(Out(), (std::set<std::string>{"p0.png", "p1.png", "p2.png", "p3.png", "p4.png"}));
  // "nicht speichern": every name is taken, nothing is saved, and no window is closed unsaved.
  r = RunAutomation(*Form, Job(WriteParamBool("KeepStartfile", true) + WriteParamInt("Exists", 2)));
  EXPECT_EQ(r.Saved, 0);
  EXPECT_EQ(r.Skipped, 5);
  EXPECT_EQ(Windows(), 5);
  EXPECT_EQ(Out().size(), 5u);
}

TEST_F(Automation, StopsInTheMiddle) {
  TAutomationJob job = Job(WriteParamString("Startfile", "s") + WriteParamString("Type", "BMP") +
                           WriteParamBool("KeepParams", false));
  std::vector<int32_t> seen;
  int32_t total = 0;
  job.OnImage = [&](int32_t Done, int32_t Total) {
    seen.push_back(Done);
    total = Total;
    return Done < 3;
  };
  const TAutomationResult r = RunAutomation(*Form, job);
  EXPECT_TRUE(r.Stopped);
  // The broken file counts as dealt with, so the progress can reach the total.
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(total, 6);  // the listed files, the broken one included
  EXPECT_EQ(r.Done + r.NotLoaded, 3);
  EXPECT_EQ(r.NotLoaded, 1);
  EXPECT_EQ(Out().size(), size_t(r.Done));
}

// A preset whose program is not in the batch folder runs nothing else in its
// place: "Ausführen" says what is missing and the window stays open.
TEST_F(Automation, PresetWithoutItsProgramAsksForOne) {
  {
    Tautoform w(nullptr);
    w.Preset(apAutoScan);
    EXPECT_EQ(w.batchlistFrame1->SelectedProgram(), "");  // stamp.atp is there, but not chosen
    EXPECT_TRUE(w.RadioButton9->Checked());
    (*Dialogs)->Answer(mrOk);
    w.SetModalResult(mrOk);
    EXPECT_FALSE(w.CloseQuery());
    ASSERT_FALSE((*Dialogs)->Shown.empty());
    EXPECT_NE((*Dialogs)->Shown.back().Text.find("scansave.atp"), std::string::npos);
    // Choosing a program lets it run.
    w.batchlistFrame1->FileListBox1->SetItemIndex(0);
    EXPECT_TRUE(w.CloseQuery());
  }
  // Through the main window's action: nothing is scanned or worked on.
  (*Dialogs)->AnswerModal([](TCustomForm&) { return mrOk; });
  (*Dialogs)->Answer(mrOk);
  const size_t shown = (*Dialogs)->Shown.size();
  ASSERT_NE(MainAction(*Form, "batchscan"), nullptr);
  MainAction(*Form, "batchscan")->Execute();
  ASSERT_EQ((*Dialogs)->Shown.size(), shown + 2);  // the window, then the message
  EXPECT_NE((*Dialogs)->Shown.back().Text.find("scansave.atp"), std::string::npos);
  EXPECT_EQ(Windows(), 0);
  EXPECT_TRUE(Out().empty());
  // With the program in place the preset selects it.
  WriteText(BatchFolder() + "scansave.atp", "EFFECT Name=Invert\r\n");
  Tautoform w(nullptr);
  w.Preset(apAutoScan);
  EXPECT_EQ(w.batchlistFrame1->SelectedProgram(), BatchFolder() + "scansave.atp");
  w.SetModalResult(mrOk);
  EXPECT_TRUE(w.CloseQuery());
}

// The main window's action opens the window "Batch"; "Ausführen" runs what it shows.
TEST_F(Automation, ActionOpensTheWindowAndRuns) {
  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto& w = dynamic_cast<Tautoform&>(F);
    EXPECT_EQ(w.Caption(), "Batch");
    EXPECT_FALSE(w.batchlistFrame1->PlayButton->Visible());
    w.batchlistFrame1->ReadFileList();
    w.batchlistFrame1->FileListBox1->SetItemIndex(0);
    w.RadioButton9->SetChecked(true);
    w.imageSourceframe1->SetParams(WriteParamInt("SourceMode", 1) + WriteParamString("Dir", Dir + "in"));
    w.CheckBox1->SetChecked(true);
    w.CheckBox2->SetChecked(true);
    w.autosaveframe1->DirectoryEdit1->SetText(Dir + "out");
    w.autosaveframe1->Edit3->SetText("Auto");
    w.autosaveframe1->mycombobox2->SetItemIndex(1);  // PNG
    return mrOk;
  });
  ASSERT_NE(MainAction(*Form, "batchaction"), nullptr);
  MainAction(*Form, "batchaction")->Execute();
  EXPECT_EQ(Out().size(), 5u);
  EXPECT_TRUE(Out().count("auto-1.png"));
  EXPECT_EQ(Windows(), 0);
}

}  // namespace
}  // namespace kv

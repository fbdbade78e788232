// The slide-show setup window: its controls make the command line, the line
// restores the controls, and a batch saved from it stays in the batch folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/catalog/image_source_frame.h"
#include "app/helpers/folder_helpers.h"
#include "app/helpers/my_combo_box.h"
#include "app/main/direction_frame.h"
#include "app/workflows/slide_form.h"
#include "command_fixture.h"
#include "components/controls/file_dir_edit.h"
#include "components/controls/kv_spin.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/font_dialog.h"
#include "platform/ui/std_controls.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

class SlideSetup : public CommandTest {};

TEST_F(SlideSetup, DefaultWindowMakesTheWholeLineInOrder) {
  Tslideform f(nullptr);
  f.imageSourceframe1->DirectoryEdit1->SetText("/pics");
  EXPECT_EQ(f.getcmdstring(),
            "SlideShow  Imagesizemode=0 Anchor=0 Filter=0 Effects=1 EffectsTime=2 Soundmode=0 Color=0 Info=261"
            " FontColor=16777215 FontHeight=38 FontName=\"Times New Roman\" FontBold=0 FontItalic=0 FontUnderline=0"
            " fontStrikeout=0 Canvasmode=0 Canvasmode2width=400 Canvasmode2height=400 noBorder=1 Hidemouse=0 Move=1"
            " Interval=10.00000000 forever=1 Soundmode1Filename=\"\" SourceMode=1 Dir=\"/pics\" Subdirs=0 seperate=0"
            "  Sort1=1");
  // The pictures part is the frame's own text, and only the catalog and folder kinds are offered.
  const std::string src = f.imageSourceframe1->GetParams();
  EXPECT_EQ(f.getcmdstring().substr(f.getcmdstring().size() - src.size()), src);
  EXPECT_EQ(f.imageSourceframe1->mycombobox1->Count(), 2);
}

// Each case sets controls, checks what the line says, and that the line sets a fresh window back alike.
TEST_F(SlideSetup, ControlsMakeTheLineAndTheLineRestoresThem) {
  struct TCase {
    const char* Name;
    std::function<void(Tslideform&)> Set;
    std::vector<std::string> Says;
  };
  const TCase cases[] = {
      {"interval off", [](Tslideform& f) { f.IntervalCheck->SetChecked(false); }, {" Interval=-1.00000000"}},
      {"quoted sound file", [](Tslideform& f) {
         f.SoundFileEdit->SetText("/music/\"best\".mid");
         f.SoundRadio[1]->SetChecked(true);
       },
       {" Soundmode=1", " Soundmode1Filename=\"/music/best.mid\""}},
      {"no canvas choice", [](Tslideform& f) { f.CanvasRadio[0]->SetChecked(false); }, {" Canvasmode=0"}},
      {"fixed canvas", [](Tslideform& f) {
         f.CanvasRadio[2]->SetChecked(true);
         f.WidthEdit->SetValue(640);
         f.HeightEdit->SetValue(480);
       },
       {" Canvasmode=2", " Canvasmode2width=640", " Canvasmode2height=480"}},
      {"fill, bottom left, Lanczos", [](Tslideform& f) {
         f.ImageSizeBox->SetItemIndex(2);
         f.directionframe1->SetDirection(9);
         f.FilterBox->SetItemIndex(5);
       },
       {" Imagesizemode=2", " Anchor=9", " Filter=5"}},
      {"information and colour", [](Tslideform& f) {
         for (int i = 0; i < 11; ++i) f.InfoList->SetChecked(i, i == 1 || i == 10);
         f.ColorEdit->SetText("FF0000");
       },
       {" Info=1026", " Color=255"}},
      {"catalog source", [](Tslideform& f) {
         f.imageSourceframe1->SetParams("SourceMode=0 catalog=\"/c/show.pcf\" Sort1=3 Sort1descanding=1 Filetypes=2");
       },
       {" SourceMode=0", " catalog=\"/c/show.pcf\"", " Sort1=3", " Sort1descanding=1", " Filetypes=2"}},
      {"no anchor", [](Tslideform& f) { f.directionframe1->Clear(); }, {" Anchor=-1"}},
      {"window options", [](Tslideform& f) {
         f.NoBorderCheck->SetChecked(false);
         f.HideMouseCheck->SetChecked(true);
         f.MoveCheck->SetChecked(false);
         f.ForeverCheck->SetChecked(false);
         f.EffectsCheck->SetChecked(false);
         f.IntervalEdit->SetValue(2.5);
       },
       {" noBorder=0", " Hidemouse=1", " Move=0", " forever=0", " Effects=0", " Interval=2.50000000"}},
  };
  for (const TCase& c : cases) {
    Tslideform f(nullptr);
    c.Set(f);
    const std::string line = f.getcmdstring();
    for (const std::string& s : c.Says) EXPECT_NE(line.find(s), std::string::npos) << c.Name << ": " << line;
    Tslideform back(nullptr);
    back.SetSettings(SlideSettingsFromCommand(line));
    // The frame writes back every sort key and the kinds, so the restored line holds at least what was said.
    const std::string again = back.getcmdstring();
    for (const std::string& s : c.Says) EXPECT_NE(again.find(s), std::string::npos) << c.Name << ": " << again;
    Tslideform third(nullptr);
    third.SetSettings(SlideSettingsFromCommand(again));
    EXPECT_EQ(third.getcmdstring(), again) << c.Name;
  }
}

// A damaged show line (a quote inside an unquoted value, a blank in a
// number) still opens the window, and its command is one line that reads
// back as written.
TEST_F(SlideSetup, DamagedLinesStillMakeACommand) {
  const std::string damaged =
      "SlideShow fontName=Arial\"Black\" SourceMode=1 Dir=/pics/\"a\" Sort1=\"3 4\" Filetypes=x Subdirs=1";
  const TSlideSettings s = SlideSettingsFromCommand(damaged);
  std::string line;
  ASSERT_NO_THROW(line = getcmdstring(s));
  EXPECT_NE(line.find(" FontName=\"ArialBlack\""), std::string::npos) << line;
  EXPECT_NE(line.find(" Dir=\"/pics/a\""), std::string::npos) << line;
  // What the image source makes of the options, written as numbers.
  EXPECT_NE(line.find(" Sort1=0"), std::string::npos) << line;
  EXPECT_NE(line.find(" Filetypes=2047"), std::string::npos) << line;
  EXPECT_EQ(getcmdstring(SlideSettingsFromCommand(line)), line);
}

TEST_F(SlideSetup, ControlsFollowTheirBoxes) {
  Tslideform f(nullptr);
  EXPECT_FALSE(f.WidthEdit->Enabled());
  f.CanvasRadio[2]->SetChecked(true);
  EXPECT_TRUE(f.WidthEdit->Enabled());
  EXPECT_FALSE(f.CanvasRadio[0]->Checked());  // one canvas choice at a time
  f.IntervalCheck->SetChecked(false);
  EXPECT_FALSE(f.IntervalEdit->Enabled());
  f.EffectsCheck->SetChecked(false);
  EXPECT_FALSE(f.EffectTimeEdit->Enabled());
  f.SoundFileEdit->OnClick(f.SoundFileEdit);
  EXPECT_TRUE(f.SoundRadio[1]->Checked());
  EXPECT_FALSE(f.SoundRadio[0]->Checked());
  // The font dialog's choice reaches the size edit and the line.
  AnswerFontDialog([](TFont& Font) {
    Font.SetName("DejaVu Sans");
    Font.SetHeight(-40);
    return true;
  });
  f.FontClick();
  EXPECT_EQ(int32_t(f.FontSizeEdit->Value()), f.FontDialog1->Font().Size());
  EXPECT_NE(f.getcmdstring().find(" FontHeight=-40 FontName=\"DejaVu Sans\""), std::string::npos);
}

TEST_F(SlideSetup, SavedBatchStaysInItsFolderAndAsksBeforeReplacing) {
  Tslideform f(nullptr);
  const std::string batch = BatchFolder();
  std::filesystem::create_directories(batch);
  // A name with a path would leave the batch folder: refused, nothing written anywhere.
  for (const std::string& bad : {std::string("../evil"), std::string("a/b"), std::string("..")}) {
    (*Dialogs)->Answer(mrOk);
    (*Dialogs)->AnswerInput(true, bad);
    (*Dialogs)->Answer(mrOk);  // the error message
    f.SaveClick();
    EXPECT_FALSE(std::filesystem::exists(batch + bad + ".atp")) << bad;
    EXPECT_FALSE(std::filesystem::exists(Dir + "evil.atp"));
  }
  (*Dialogs)->Answer(mrOk);
  (*Dialogs)->AnswerInput(true, "Urlaub 2024");
  f.SaveClick();
  EXPECT_EQ(ReadText(batch + "Urlaub 2024.atp"), f.getcmdstring() + "\n");

  // The same name again: the old file stays unless the user agrees.
  f.ForeverCheck->SetChecked(false);
  (*Dialogs)->Answer(mrOk);
  (*Dialogs)->AnswerInput(true, "Urlaub 2024");
  (*Dialogs)->Answer(mrNo);
  f.SaveClick();
  EXPECT_NE(ReadText(batch + "Urlaub 2024.atp").find(" forever=1"), std::string::npos);
  (*Dialogs)->Answer(mrOk);
  (*Dialogs)->AnswerInput(true, "Urlaub 2024");
  (*Dialogs)->Answer(mrYes);
  f.SaveClick();
  EXPECT_NE(ReadText(batch + "Urlaub 2024.atp").find(" forever=0"), std::string::npos);
  EXPECT_EQ((*Dialogs)->Pending(), 0u);
}

TEST_F(SlideSetup, PlainFileNames) {
  for (const char* good : {"show", "Urlaub 2024", "a.b", ".hidden"}) EXPECT_TRUE(IsPlainFileName(good)) << good;
  for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "x..y"}) EXPECT_FALSE(IsPlainFileName(bad)) << bad;
}

}  // namespace
}  // namespace kv

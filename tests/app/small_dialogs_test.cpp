// The small windows the main window shares: the drawing options with every
// drawing command, the histogram, the direction frame, the welcome window,
// the memo input and the about box, each opened as the program opens it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "app/actions/input_memo.h"
#include "app/child/drawing_options.h"
#include "app/child/font_dialog.h"
#include "app/filters/colour_pick.h"
#include "app/helpers/file_associations.h"
#include "app/helpers/my_combo_box.h"
#include "app/main/direction_frame.h"
#include "app/main/histogram_form.h"
#include "app/main/info_form.h"
#include "app/params/param_strings.h"
#include "child_test_support.h"
#include "command_fixture.h"
#include "components/controls/color_font_combo.h"
#include "components/controls/kv_label.h"
#include "components/controls/kv_slider.h"
#include "components/controls/kv_spin.h"
#include "components/speedbar/speed_bar.h"
#include "imaging/views/histogram_box.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/actions.h"
#include "platform/ui/button.h"
#include "platform/ui/custom_combo.h"
#include "platform/ui/memo.h"
#include "platform/ui/page_control.h"
#include "platform/ui/messages.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"

namespace kv {
namespace {

using namespace kv::test;

TEST(DirectionFrame, OffsetsAndButtons) {
  struct TCase {
    int32_t Mask, X, Y;
  } cases[] = {{5, 100, 60}, {0, 50, 30}, {10, 0, 0}, {2, 50, 0}, {9, 0, 60}, {6, 100, 0}, {-1, 7, 8}};
  for (const TCase& c : cases) {
    int32_t x = 7, y = 8;
    DirectionOffset(c.Mask, 100, 60, x, y);
    EXPECT_EQ(x, c.X) << c.Mask;
    EXPECT_EQ(y, c.Y) << c.Mask;
  }

  EnsureQtApplication();
  Tdirectionframe f(nullptr);
  int clicks = 0;
  f.OnClick = [&](TObject*) { ++clicks; };
  EXPECT_EQ(f.Direction(), -1);
  // Top row 10, 2, 6; middle 8, 0, 4; bottom 9, 1, 5.
  const int32_t tags[] = {10, 2, 6, 8, 0, 4, 9, 1, 5};
  for (int i = 0; i < 9; ++i) {
    f.Buttons[size_t(i)]->Click();
    EXPECT_EQ(f.Direction(), tags[i]) << i;
    for (int j = 0; j < 9; ++j) EXPECT_EQ(f.Buttons[size_t(j)]->Down(), i == j) << i << ' ' << j;
  }
  EXPECT_EQ(clicks, 9);
  f.SetDirection(4);
  EXPECT_TRUE(f.Buttons[5]->Down());
  EXPECT_EQ(f.Direction(), 4);
  f.Clear();
  EXPECT_EQ(f.Direction(), -1);
}

class SmallDialogs : public CommandTest {};

TEST_F(SmallDialogs, HistogramShowsTheChannelsAndModes) {
  // Without an image the line fails instead of showing an empty dialog.
  EXPECT_FALSE(Line("SHOWHISTOGRAM"));
  MakeChild(40, 30, Pattern);
  bool shown = false;
  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto* h = dynamic_cast<TfHistogram*>(&F);
    if (!h) return mrAbort;
    shown = true;
    EXPECT_EQ(h->Caption(), "Histogramm");
    EXPECT_EQ(h->ChannelBox->ItemIndex(), 0);
    EXPECT_EQ(h->ModeBox->ItemIndex(), 0);
    EXPECT_EQ(h->HistogramBox1->HistogramKind(), THistogramKind{hkGray});
    EXPECT_EQ(h->HistogramBox1->HistogramStyle(), hsBars);
    EXPECT_EQ(h->ImagerProc1->AttachedImager(), static_cast<TIMViewLink*>(Form->getimager()));
    const THistogramKindItem kinds[] = {hkGray, hkRed, hkGreen, hkBlue};
    for (int32_t i = 0; i < 4; ++i) {
      h->ChannelBox->Select(i);
      EXPECT_EQ(h->HistogramBox1->HistogramKind(), THistogramKind{kinds[i]}) << h->ChannelBox->Item(i);
    }
    h->ModeBox->Select(1);
    EXPECT_EQ(h->HistogramBox1->HistogramStyle(), hsLines);
    EXPECT_EQ(h->OkButton->Caption(), "&Ok");
    EXPECT_EQ(h->HelpButton->Caption(), "&Hilfe");
    h->OkButton->Click();
    return mrNone;
  });
  ASSERT_TRUE(Line("SHOWHISTOGRAM"));
  EXPECT_TRUE(shown);
}

TEST_F(SmallDialogs, WelcomeWindowRemembersItsBoxAndLinksTheFormats) {
  Form->Willkommen1Click(Form.get());
  auto* info = dynamic_cast<Tinfoform*>(Form->FindComponent("infoform"));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->Caption(), "Willkommen");
  EXPECT_EQ(info->Label1->Caption(), "Herzlich willkommen zu Kavrelin.");
  ASSERT_EQ(info->TopicButtons.size(), 9u);
  EXPECT_EQ(info->TopicButtons[0]->Caption(), "Grafiken öffnen und speichern");
  EXPECT_EQ(info->TopicButtons[0]->Tag(), 21);
  EXPECT_EQ(info->TopicButtons[8]->Caption(), "Filter");
  EXPECT_EQ(info->TopicButtons[8]->Tag(), 29);
  EXPECT_EQ(info->CheckBox1->Caption(), "Diesen Dialog nicht mehr anzeigen");
  EXPECT_TRUE(info->CheckBox1->Checked());  // the fixture keeps it from showing at start

  // The desktop's MIME tool, as a script that only says yes.
  ForceDirectories(Dir + "bin");
  WriteText(Dir + "bin/xdg-mime", "#!/bin/sh\nexit 0\n");
  chmod((Dir + "bin/xdg-mime").c_str(), 0755);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
  setenv("PATH", (Dir + "bin:" + oldPath).c_str(), 1);
  const std::string jpgEntry = Dir + "data/applications/" + AssociationDesktopId("jpgGrafik");
  const std::string curEntry = Dir + "data/applications/" + AssociationDesktopId("curGrafik");
  (*Dialogs)->Answer(mrNo);
  info->LinkButton->Click();
  EXPECT_FALSE(FileExists(jpgEntry));
  (*Dialogs)->Answer(mrYes);
  info->LinkButton->Click();
  EXPECT_EQ(Shown().back().Text, Tinfoform::kLinkQuestion);
  EXPECT_TRUE(FileExists(jpgEntry));
  EXPECT_TRUE(FileExists(curEntry));
  EXPECT_FALSE(FileExists(Dir + "data/applications/" + AssociationDesktopId("pcfGrafik")));
  setenv("PATH", oldPath.c_str(), 1);

  info->CheckBox1->SetChecked(false);
  info->CloseButton->Click();
  Pump();
  EXPECT_EQ(Form->FindComponent("infoform"), nullptr);  // closing frees it
  EXPECT_FALSE(Form->StoredBool("NoWelcome"));
  Form->Willkommen1Click(Form.get());
  info = dynamic_cast<Tinfoform*>(Form->FindComponent("infoform"));
  ASSERT_NE(info, nullptr);
  EXPECT_FALSE(info->CheckBox1->Checked());
  info->CheckBox1->SetChecked(true);
  info->Close();
  Pump();
  EXPECT_TRUE(Form->StoredBool("NoWelcome"));
}

TEST_F(SmallDialogs, MemoInputGivesItsLinesOnOkOnly) {
  for (const TModalResult answer : {mrOk, mrCancel}) {
    (*Dialogs)->AnswerModal([&](TCustomForm& F) {
      auto* m = dynamic_cast<Tinputmemo*>(&F);
      if (!m) return mrAbort;
      EXPECT_EQ(m->Caption(), "Titel");
      EXPECT_EQ(m->OKButton->Caption(), "&Ok");
      EXPECT_EQ(m->CancelButton->Caption(), "&Abbrechen");
      EXPECT_EQ(m->Memo1->ScrollBars(), ssBoth);
      EXPECT_EQ(m->Memo1->Text(), "alt");
      m->Memo1->SetText("neu\nzwei");
      (answer == mrOk ? m->OKButton : m->CancelButton)->Click();
      return mrNone;
    });
    TStringList lines;
    lines.Add("alt");
    EXPECT_EQ(EditLines("Titel", lines), answer == mrOk);
    EXPECT_EQ(lines.Text(), answer == mrOk ? "neu\nzwei\n" : "alt\n");
  }
}

TEST_F(SmallDialogs, AboutBox) {
  bool shown = false;
  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto* a = dynamic_cast<Taboutform*>(&F);
    if (!a) return mrAbort;
    shown = true;
    EXPECT_EQ(a->Label1->Caption(), "Kavrelin 3.6");
    EXPECT_EQ(a->DateLabel->Caption(), "Ausgabedatum: " + DateToStr(EncodeDate(2002, 12, 5)));
    EXPECT_EQ(a->Position(), poMainFormCenter);
    EXPECT_FALSE(a->Links.empty());
    for (TLinkLabel* l : a->Links) {
      EXPECT_EQ(l->Font().Color(), clCaptionText);
      l->Perform(CM_MOUSEENTER, 0, 0);
      EXPECT_EQ(l->Font().Color(), clHighlight);
      l->Perform(CM_MOUSELEAVE, 0, 0);
      EXPECT_EQ(l->Font().Color(), clCaptionText);
    }
    return mrOk;
  });
  Form->berdasProgramm1Click(nullptr);
  EXPECT_TRUE(shown);
}

class DrawingOptions : public TChildWindowTest {};

TEST_F(DrawingOptions, TheControlsGiveTheDrawingCommandsTheirSettings) {
  auto* options = new TdrawingoptionsForm(Main);
  ASSERT_EQ(drawingoptionsform, options);
  EXPECT_EQ(options->Caption(), "Zeichnen");
  const char* pages[] = {"Text", "Farbe", "Füllart", "Linienart", "Pinselart", "Zoom"};
  for (int32_t i = 0; i < kDrawingPageCount; ++i) EXPECT_EQ(options->Sheets[i]->Caption(), pages[i]);
  // Defaults.
  EXPECT_EQ(options->Memo1->Text(), "Test Text");
  EXPECT_EQ(options->foreground->Color(), clWhite);
  EXPECT_EQ(options->KvSpinEdit2->Value(), 10);
  EXPECT_EQ(options->KvSpinEdit3->Value(), 50);
  EXPECT_EQ(options->KvSpinEdit1->Value(), 1);
  EXPECT_TRUE(options->SpeedBar1->ItemAt(0, 4)->Down());
  EXPECT_EQ(options->SpeedBar1->ItemCountOf(0), 5);
  EXPECT_EQ(options->SpeedBar2->ItemCountOf(0), 6);
  EXPECT_EQ(options->SpeedBar3->ItemCountOf(0), 8);
  EXPECT_EQ(options->mycombobox1->Text(), "100 %");

  // Set through the controls.
  options->SpeedBar3->ItemAt(0, 5)->Button()->Click();
  options->SpeedBar2->ItemAt(0, 2)->Button()->Click();
  options->SpeedBar1->ItemAt(0, 1)->Button()->Click();
  options->KvSpinEdit1->SetText("3");
  options->KvSpinEdit2->SetText("30");
  options->KvSpinEdit3->SetText("80");
  options->Memo1->SetText("Zeile 1\nZeile 2");
  TScriptedDialogsScope dialogs;
  dialogs->AnswerModal([](TCustomForm& F) {
    auto* pick = dynamic_cast<TColorPickForm*>(&F);
    if (!pick) return mrAbort;
    pick->Frame->SetPacked(0x102030);
    return mrOk;
  });
  options->foreground->Button1->Click();
  EXPECT_EQ(options->Options().Foreground, TColor(0x302010));

  Tchild* c = NewImage(100, 80);
  Record(*c);
  SetTool(dtFloodfill);
  Down(*c, c->imager1->XBmp2Scr(5), c->imager1->YBmp2Scr(6));
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_EQ(Lines[0], "StartDrawing ForeGround=" + std::to_string(0x302010) +
                          " BackGround=0 FillStyle=5 LineStyle=2 Linewidth=3 PenStyle=1 DrawingTool=12 MouseX=5 "
                          "MouseY=6 RightMouseButton=0 Tolerance=30 Intensity=80");
  TStringList lines;
  lines.Add("Zeile 1");
  lines.Add("Zeile 2");
  EXPECT_EQ(options->Options().TextLines.Text(), lines.Text());
}

TEST_F(DrawingOptions, TextFontComesFromTheFaceBoxAndTheFontDialog) {
  auto* options = new TdrawingoptionsForm(Main);
  TScriptedDialogsScope dialogs;
  const std::string face = options->FontComboBox1->Count() > 1 ? options->FontComboBox1->Item(1) : "";
  if (!face.empty()) {
    options->FontComboBox1->Select(1);
    EXPECT_EQ(options->Options().TextFont.Name(), face);
    EXPECT_EQ(options->Memo1->Font().Name(), face);
  }
  // OK copies the dialog's font to the text and the memo; Cancel changes nothing.
  for (const TModalResult answer : {mrCancel, mrOk}) {
    dialogs->AnswerModal([&](TCustomForm& F) {
      auto* d = dynamic_cast<TTextFontDialog*>(&F);
      if (!d) return mrAbort;
      d->SizeEdit->SetText("31");
      d->BoldBox->SetChecked(true);
      return answer;
    });
    options->FontButton->Click();
    EXPECT_EQ(options->Options().TextFont.Size() == 31, answer == mrOk);
    EXPECT_EQ(options->Options().TextFont.Style().Contains(fsBold), answer == mrOk);
  }
  EXPECT_EQ(options->Memo1->Font().Size(), 31);
  Tchild* c = NewImage(60, 40);
  Record(*c);
  SetTool(dtText);
  Down(*c, c->imager1->XBmp2Scr(5), c->imager1->YBmp2Scr(6));
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_NE(Lines[0].find(WriteParamFont(options->Options().TextFont)), std::string::npos) << Lines[0];
  EXPECT_NE(Lines[0].find("Text0=\"Test Text\""), std::string::npos) << Lines[0];
}

TEST_F(DrawingOptions, ZoomBoxSliderAndButtons) {
  auto* options = new TdrawingoptionsForm(Main);
  Tchild* c = NewImage(60, 40);
  Pump();
  ASSERT_EQ(Main->getchild(), c);
  options->mycombobox1->TypeText("250 %");
  EXPECT_EQ(c->imager1->Zoom(), 250);
  EXPECT_EQ(options->KvSlider1->Value(), 250);
  options->mycombobox1->TypeText("0");
  EXPECT_EQ(c->imager1->Zoom(), 1);
  EXPECT_EQ(options->KvSlider1->Value(), 1);
  options->ZoomButtons[1]->Click();  // "Kleiner" at 1 % stays there
  EXPECT_EQ(options->ZoomButtons[1]->Caption(), "Kleiner");
  EXPECT_EQ(c->imager1->Zoom(), 1);
  options->KvSlider1->SetValue(120);
  EXPECT_EQ(options->mycombobox1->Text(), "120 %");
  EXPECT_EQ(c->imager1->Zoom(), 120);
  options->ZoomButtons[5]->Click();  // "2:1"
  EXPECT_EQ(c->imager1->Zoom(), 200);
}

TEST_F(DrawingOptions, ClosingUnchecksItsAction) {
  auto* options = new TdrawingoptionsForm(Main);
  auto* action = dynamic_cast<TCustomAction*>(Main->FindComponent("zeichnenaction"));
  if (!action && Main->ActionList1) action = dynamic_cast<TCustomAction*>(Main->ActionList1->FindComponent("zeichnenaction"));
  ASSERT_NE(action, nullptr);
  action->SetChecked(true);
  options->Show();
  options->Close();
  EXPECT_FALSE(action->Checked());
}

}  // namespace
}  // namespace kv

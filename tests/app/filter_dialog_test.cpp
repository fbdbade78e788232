// The filter dialog, the Filter Factory editor frame and the filter preview
// grid: opened as the main window opens them, worked through their controls,
// their previews against the filter run on the reduced copy, and OK's line
// run by the interpreter and by the program from a batch file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/actions/main_actions.h"
#include "app/batch/batch_escapes.h"
#include "app/filters/colour_pick.h"
#include "app/filters/ff_editor_frame.h"
#include "app/filters/filter_apply.h"
#include "app/filters/filter_catalogue.h"
#include "app/filters/filter_dialog.h"
#include "app/filters/filter_preview_grid.h"
#include "app/filters/user_filter_scan.h"
#include "app/main/direction_frame.h"
#include "app/tools/tool_files.h"
#include "command_fixture.h"
#include "components/controls/kv_slider.h"
#include "components/controls/kv_speed_button.h"
#include "components/controls/kv_spin.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/ff_files.h"
#include "imaging/views/imager_mview.h"
#include "platform/system/paths.h"
#include "platform/ui/actions.h"
#include "platform/ui/button.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/memo.h"
#include "platform/ui/menus.h"
#include "platform/ui/page_control.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/timer.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;
namespace fs = std::filesystem;

// Big-endian words of a ".acf" file: a 5 x 5 kernel, the divisor, the offset.
void WriteAcf(const std::string& File, const std::vector<int16_t>& Kernel, int16_t Divisor, int16_t Offset) {
  std::ofstream out(File, std::ios::binary);
  auto word = [&](int16_t v) {
    out.put(char(uint16_t(v) >> 8));
    out.put(char(uint16_t(v) & 0xFF));
  };
  for (int16_t v : Kernel) word(v);
  word(Divisor);
  word(Offset);
}

// One Filter Factory filter in a library file; controls 0 and 3 are the only ones read.
void WriteFfl(const std::string& File) {
  tfflfilter lib;
  lib.SetField("Spiegel", ffkTitle, 0, 0);
  lib.SetField("Tests", ffkCategory, 0, 0);
  lib.SetField("Jemand", ffkAuthor, 0, 0);
  lib.SetField("frei", ffkCopyright, 0, 0);
  lib.SetField("255-r", ffkRed, 0, 0);
  lib.SetField("g*ctl(0)/255", ffkGreen, 0, 0);
  lib.SetField("b+ctl(3)", ffkBlue, 0, 0);
  for (int32_t c = 0; c < 8; ++c) lib.SetField("Regler " + std::to_string(c), ffkControlName, c, 0);
  lib.Save(File);
}

bool SameBitmaps(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height()) return false;
  return CompareBitmaps(A, B);
}

const TFilterParamRow& Row(Tfilterform& D, int32_t Param) {
  const TFilterParamRow* r = D.RowOf(Param);
  if (!r) throw std::runtime_error("no row for parameter " + std::to_string(Param));
  return *r;
}

class FilterDialog : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    Child = &MakeChild(400, 300, Pattern);
  }
  void TearDown() override {
    User.reset();
    CommandTest::TearDown();
  }

  // A catalogue of the user's filters: one convolution and one Filter Factory filter.
  tfilterclass& UserCatalogue() {
    if (User) return *User;
    User = std::make_unique<tfilterclass>();
    fs::create_directories(Dir + "filters/blur");
    std::vector<int16_t> k(25, 0);
    for (int i : {6, 7, 8, 11, 12, 13, 16, 17, 18}) k[size_t(i)] = 1;
    WriteAcf(Dir + "filters/blur/weich.acf", k, 9, 3);
    WriteFfl(Dir + "filters/spiegel.ffl");
    ScanAcfFilters(*User, Dir + "filters/", nullptr, nullptr);
    ScanFflFilters(*User, Dir + "filters/", nullptr, nullptr);
    return *User;
  }
  tfilteritem* UserItem(uint8_t Kind) {
    for (int32_t i = 0; i < UserCatalogue().Count(); ++i)
      if (UserCatalogue().Items(i)->Kind == Kind) return UserCatalogue().Items(i);
    return nullptr;
  }

  // Opens the dialog as the main window does and lets Script work it.
  std::string RunDialog(tfilterclass& Catalogue, tfilteritem* Start, std::function<void(Tfilterform&)> Script) {
    (*Dialogs)->AnswerModal([Script](TCustomForm& F) {
      Script(dynamic_cast<Tfilterform&>(F));
      return mrNone;
    });
    auto dlg = std::make_unique<Tfilterform>(nullptr);
    dlg->SourceCatalogue = &Catalogue;
    dlg->StartItem = Start;
    dlg->ShowModal();
    return dlg->CommandLine;
  }

  // What the preview must show: the reduced copy of the area, filtered with the preview's scale.
  static void ExpectPreviewIsTheFilterOnTheReducedCopy(Tfilterform& D, timagerlayer& Real, const std::string& What) {
    TBitmap reduced;
    ScaleAreaInto(Real.Bitmap(), SelectionArea(Real), D.beforeImager->ClientWidth(), D.beforeImager->ClientHeight(),
                  reduced);
    ASSERT_FALSE(reduced.Empty()) << What;
    EXPECT_TRUE(SameBitmaps(D.beforeImager->Bitmap(), reduced)) << What;
    const double scale = D.CheckBox1->Checked() ? double(reduced.Width()) / SelectionArea(Real).Width() : 1;
    TProgressRec none;
    ApplyFilterItem(reduced, *D.CurrentItem(), false, true, scale, none, 0, 0, reduced.Width(), reduced.Height());
    EXPECT_TRUE(SameBitmaps(D.afterImager->Bitmap(), reduced)) << What;
    EXPECT_FALSE(SameBitmaps(D.afterImager->Bitmap(), D.beforeImager->Bitmap())) << What << ": nothing filtered";
    EXPECT_EQ(D.PreviewError(), "") << What;
  }

  // Pumps until Done or five seconds.
  static bool WaitFor(const std::function<bool()>& Done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!Done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Application->ProcessMessages();
    }
    return true;
  }

  Tchild* Child = nullptr;
  std::unique_ptr<tfilterclass> User;
};

// One filter of each kind: the preview is the filter on the reduced copy, and
// OK's line changes the picture as the filter does, in the window and when the
// program plays it from a batch file.
TEST_F(FilterDialog, PreviewAndOkLineOfEachKindOfFilter) {
  struct TCase {
    const char* What;
    std::function<tfilteritem*()> Item;
    std::function<tfilterclass&()> Catalogue;
    std::function<void(Tfilterform&)> Set;
  };
  const std::vector<TCase> cases = {
      {"built-in wave", [] { return FilterCatalogue().FindKeyword("Wave"); }, []() -> tfilterclass& { return FilterCatalogue(); },
       [](Tfilterform& D) {
         Row(D, 0).Spin->SetValue(12);   // Amplitude
         Row(D, 1).Spin->SetValue(25);   // Wellenlänge
       }},
      {"convolution", [this] { return UserItem(fkUserFilter); }, [this]() -> tfilterclass& { return UserCatalogue(); },
       nullptr},
      {"Filter Factory", [this] { return UserItem(fkFilterFactory); },
       [this]() -> tfilterclass& { return UserCatalogue(); },
       [](Tfilterform& D) {
         Row(D, 0).Spin->SetValue(100);
         Row(D, 3).Spin->SetValue(40);
       }},
  };
  SaveToolPicture(Dir + "in.bmp", Bmp());
  std::vector<std::string> job = {"Open FileName=\"" + Dir + "in.bmp\""};
  TBitmap original;
  original.Assign(&Bmp());
  TBitmap expected;
  expected.Assign(&Bmp());
  for (size_t i = 0; i < cases.size(); ++i) {
    const TCase& c = cases[i];
    tfilteritem* item = c.Item();
    ASSERT_NE(item, nullptr) << c.What;
    const std::string line = RunDialog(c.Catalogue(), item, [&](Tfilterform& D) {
      EXPECT_EQ(D.CurrentItem(), item) << c.What;
      if (c.Set) c.Set(D);
      ExpectPreviewIsTheFilterOnTheReducedCopy(D, *Child->imager1, c.What);
      EXPECT_TRUE(SameBitmaps(Bmp(), expected)) << c.What << ": the preview changed the picture";
      D.Button1->Click();
    });
    ASSERT_FALSE(line.empty()) << c.What;
    EXPECT_EQ(line, FilterItemToCommand(item)) << c.What;
    // The filter with the values chosen, on the whole picture.
    TProgressRec none;
    ApplyFilterItem(expected, *item, false, false, 1, none, 0, 0, expected.Width(), expected.Height());
    ASSERT_TRUE(Line(line)) << line;
    EXPECT_TRUE(SameBitmaps(Bmp(), expected)) << c.What << ": " << line;
    job.push_back(line);
  }

#ifdef KV_PROGRAM_DIR
  job.push_back("SaveAs FileName=\"" + Dir + "out.bmp\"");
  job.push_back("Quit");
  std::string text;
  for (const std::string& l : job) text += EscapeBatchLine(l) + "\r\n";
  WriteText(Dir + "job.atp", text);
  const TToolRun run = RunTool("cd " + Dir + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR=" +
                               Dir + " XDG_CONFIG_HOME=" + Dir + "config HOME=" + Dir + " timeout 300 " + KV_PROGRAM_DIR +
                               "kavrelin job.atp 2>&1");
  ASSERT_TRUE(WIFEXITED(run.Status) && WEXITSTATUS(run.Status) == 0) << run.Output;
  TBitmap out;
  LoadToolPicture(Dir + "out.bmp", out);
  EXPECT_TRUE(SameBitmaps(out, expected)) << "the program's batch filtered differently";
  EXPECT_FALSE(SameBitmaps(out, original));
#endif
}

// A colour row is the colour frame, an anchor row the nine-way frame: each
// writes the number the command reads and shows it again on the next opening.
TEST_F(FilterDialog, ColourAndAnchorRowsWriteTheirNumbers) {
  tfilteritem* border = ImageCatalogue().FindKeyword("StraightenBorder");
  ASSERT_NE(border, nullptr);
  std::string line = RunDialog(ImageCatalogue(), border, [&](Tfilterform& D) {
    TFramehsvform* frame = Row(D, 1).ColorFrame;
    ASSERT_NE(frame, nullptr);
    frame->SetColor(TColor(0x204060));  // blue 0x20, red 0x60
    frame->OnClick(frame);              // as after a pick in the box
    EXPECT_EQ(D.CurrentItem()->Params[1].Value, "2113632");
    D.Button1->Click();
  });
  EXPECT_NE(line.find("\"2113632\""), std::string::npos) << line;
  RunDialog(ImageCatalogue(), border, [&](Tfilterform& D) {
    EXPECT_EQ(Row(D, 1).ColorFrame->Color(), TColor(0x204060));
    D.Button2->Click();
  });

  tfilteritem* aspect = CameraCatalogue().FindKeyword("AspectRatio");
  ASSERT_NE(aspect, nullptr);
  line = RunDialog(CameraCatalogue(), aspect, [&](Tfilterform& D) {
    Tdirectionframe* anchor = Row(D, 3).Anchor;
    ASSERT_NE(anchor, nullptr);
    anchor->Buttons[8]->Click();  // bottom right
    EXPECT_EQ(D.CurrentItem()->Params[3].Value, "5");
    D.Button1->Click();
  });
  EXPECT_NE(line.find("\"5\""), std::string::npos) << line;
  RunDialog(CameraCatalogue(), aspect, [&](Tfilterform& D) {
    EXPECT_EQ(Row(D, 3).Anchor->Direction(), 5);
    D.Button2->Click();
  });
}

// Trying on the real picture: Cancel puts it back exactly; OK right after the
// try only records the line; a change after the try gives the plain line and
// the picture as it was before the try.
TEST_F(FilterDialog, TryingOnThePictureAndWhatOkAndCancelKeep) {
  tfilteritem* gamma = ColorCatalogue().FindKeyword("Gamma");
  TBitmap original;
  original.Assign(&Bmp());
  TBitmap tried;

  std::string line = RunDialog(ColorCatalogue(), gamma, [&](Tfilterform& D) {
    Row(D, 0).Spin->SetValue(0.5);
    D.checkbutton->Click();
    EXPECT_TRUE(D.AppliedInPlace());
    EXPECT_FALSE(SameBitmaps(Bmp(), original));
    tried.Assign(&Bmp());
    D.Button2->Click();
  });
  EXPECT_EQ(line, "");
  EXPECT_TRUE(SameBitmaps(Bmp(), original));

  line = RunDialog(ColorCatalogue(), gamma, [&](Tfilterform& D) {
    EXPECT_EQ(Row(D, 0).Spin->Value(), 0.5);  // the stored value came back
    D.checkbutton->Click();
    D.Button1->Click();
  });
  EXPECT_EQ(line, "AlreadyDone Effect Name=\"Gamma\" Param1=\"0.500000\"");
  EXPECT_TRUE(SameBitmaps(Bmp(), tried));
  ASSERT_TRUE(Line(line));
  EXPECT_TRUE(SameBitmaps(Bmp(), tried)) << "filtered twice";

  Fill24(Bmp(), Pattern);
  line = RunDialog(ColorCatalogue(), gamma, [&](Tfilterform& D) {
    D.checkbutton->Click();
    Row(D, 0).Spin->SetValue(2);
    D.Button1->Click();
  });
  EXPECT_EQ(line, "Effect Name=\"Gamma\" Param1=\"2.000000\"");
  EXPECT_TRUE(SameBitmaps(Bmp(), original));
}

// A preview whose filter fails says why, leaves the picture alone and keeps
// the dialog working; fixing the formula brings the preview back.
TEST_F(FilterDialog, AFailingPreviewShowsItsErrorAndTheDialogGoesOn) {
  TBitmap original;
  original.Assign(&Bmp());
  tfilteritem* editor = ImageCatalogue().FindKeyword("ManageUserFilter");
  ASSERT_NE(editor, nullptr);
  const std::string line = RunDialog(ImageCatalogue(), editor, [&](Tfilterform& D) {
    ASSERT_NE(D.Editor, nullptr);
    Tframeuserfilform& E = *D.Editor;
    E.RichEdit1->SetText("r + (g");
    EXPECT_TRUE(E.Image1->Visible());
    EXPECT_EQ(E.Label4->Caption(), std::to_string(E.ErrorPosition()));
    EXPECT_GT(E.ErrorPosition(), 0);
    EXPECT_NE(D.PreviewError(), "");
    EXPECT_EQ(D.ErrorLabel->Caption(), D.PreviewError());
    EXPECT_TRUE(SameBitmaps(D.afterImager->Bitmap(), D.beforeImager->Bitmap()));
    D.checkbutton->Click();
    EXPECT_FALSE(D.AppliedInPlace());
    EXPECT_TRUE(SameBitmaps(Bmp(), original));

    E.RichEdit1->SetText("255\r\n-r");
    EXPECT_FALSE(E.Image1->Visible());
    EXPECT_EQ(E.Library().GetField(ffkRed, 0), "255  -r");
    EXPECT_EQ(D.PreviewError(), "");
    const TBGRPixel b = static_cast<const TBGRPixel*>(D.beforeImager->Bitmap().ScanLine(5))[7];
    const TBGRPixel a = static_cast<const TBGRPixel*>(D.afterImager->Bitmap().ScanLine(5))[7];
    EXPECT_EQ(a.r, 255 - b.r);
    D.Button1->Click();
  });
  // The editor's filter is applied at once: no line is left to run.
  EXPECT_EQ(line, "");
  EXPECT_EQ(At(3, 4).r, 255 - Pattern(3, 4).r);
  EXPECT_EQ(At(3, 4).g, Pattern(3, 4).g);
}

TEST_F(FilterDialog, PanelRowsFollowTheFilter) {
  RunDialog(UserCatalogue(), UserItem(fkFilterFactory), [&](Tfilterform& D) {
    // Only the controls the formulas read get a row.
    ASSERT_EQ(D.Rows().size(), 2u);
    EXPECT_EQ(D.Rows()[0].Param, 0);
    EXPECT_EQ(D.Rows()[1].Param, 3);
    EXPECT_EQ(D.Rows()[1].Label->Caption(), "Regler 3");
    EXPECT_TRUE(D.Button4->Enabled());
    EXPECT_FALSE(D.CheckBox1->Checked());
    D.Button2->Click();
  });
  tfilteritem* combine = ColorCatalogue().FindKeyword("Combine");
  const std::string line = RunDialog(ColorCatalogue(), combine, [&](Tfilterform& D) {
    // Its category alone: the colour channel filters.
    EXPECT_EQ(D.Catalogue().size(), 7u);
    EXPECT_TRUE(D.Button5->Enabled());
    TComboBox* model = Row(D, 4).Combo;
    model->Select(model->IndexOf("CMYK"));
    EXPECT_EQ(D.Rows()[3].Label->Caption(), "Schwarz");
    EXPECT_TRUE(D.Rows()[3].Combo->Visible());
    model->Select(model->IndexOf("RGB"));
    EXPECT_EQ(D.Rows()[0].Label->Caption(), "Rot");
    EXPECT_FALSE(D.Rows()[3].Combo->Visible());
    model->Select(model->IndexOf("HSL"));
    D.previewspeedbutton->SetDown(false);
    D.Button1->Click();
  });
  // The choice is kept as its index, which is how the filter reads it.
  EXPECT_NE(line.find("Param5=\"2\""), std::string::npos) << line;

  RunDialog(ColorCatalogue(), ColorCatalogue().FindKeyword("Invert"), [&](Tfilterform& D) {
    EXPECT_TRUE(D.Rows().empty());
    EXPECT_EQ(D.Caption(), "Invertieren (Negativ)");
    EXPECT_FALSE(D.Button4->Enabled());
    D.Button2->Click();
  });
}

// Moving a slider quickly filters once, when it rests.
TEST_F(FilterDialog, SliderMovesSettleBeforeThePreview) {
  RunDialog(ColorCatalogue(), ColorCatalogue().FindKeyword("BrightnessContrast"), [&](Tfilterform& D) {
    const TFilterParamRow& r = Row(D, 0);
    ASSERT_NE(r.Slider, nullptr);
    TBitmap shown;
    shown.Assign(&D.afterImager->Bitmap());
    for (int32_t v : {60, 70, 80}) r.Slider->SetValue(v);
    EXPECT_EQ(r.Spin->Value(), -255 + 510 * 80 / 100.0);
    EXPECT_TRUE(SameBitmaps(D.afterImager->Bitmap(), shown)) << "filtered before the slider rested";
    EXPECT_TRUE(D.Timer1->Running());
    ASSERT_TRUE(WaitFor([&] { return !D.Timer1->Running(); }));
    EXPECT_EQ(D.CurrentItem()->Params[0].Value, "153");
    EXPECT_FALSE(SameBitmaps(D.afterImager->Bitmap(), shown));
    D.Button7->Click();  // defaults
    EXPECT_EQ(D.CurrentItem()->Params[0].Value, "0");
    EXPECT_TRUE(SameBitmaps(D.afterImager->Bitmap(), shown));
    D.Button2->Click();
  });
}

// Suggestions and the quick choice go through the grid; what is picked there
// becomes the dialog's filter and values, and cancelling changes nothing.
TEST_F(FilterDialog, SuggestionsAndQuickChoiceComeFromTheGrid) {
  tfilteritem* bc = ColorCatalogue().FindKeyword("BrightnessContrast");
  RunDialog(ColorCatalogue(), bc, [&](Tfilterform& D) {
    (*Dialogs)->AnswerModal([&](TCustomForm& F) {
      auto& grid = dynamic_cast<Tmultiform&>(F);
      EXPECT_EQ(grid.ImagerMView1->GetImageCount(), bc->RowCount);
      // Over the dialog's reduced copy, not the real picture.
      TBitmap want;
      const TBitmap& before = D.beforeImager->Bitmap();
      ScaleAreaInto(before, TRect{0, 0, before.Width(), before.Height()}, grid.ImagerMView1->ThumbWidth(),
                    grid.ImagerMView1->ThumbHeight(), want);
      EXPECT_TRUE(SameBitmaps(grid.Preview(), want));
      grid.ImagerMView1->SetSelectedImage(5);
      grid.Button1->Click();
      return mrNone;
    });
    D.Button4->Click();
    // Row 6 changes the contrast only.
    EXPECT_EQ(bc->Params[0].Value, "");
    EXPECT_EQ(bc->Params[1].Value, "20");
    EXPECT_EQ(Row(D, 1).Spin->Value(), 20);

    (*Dialogs)->AnswerModal([&](TCustomForm& F) {
      dynamic_cast<Tmultiform&>(F).Button2->Click();
      return mrNone;
    });
    D.Button5->Click();
    EXPECT_EQ(D.CurrentItem(), bc);

    (*Dialogs)->AnswerModal([&](TCustomForm& F) {
      auto& grid = dynamic_cast<Tmultiform&>(F);
      EXPECT_EQ(grid.ImagerMView1->GetImageCount(), int32_t(D.Catalogue().size()));
      grid.ImagerMView1->SetSelectedImage(2);
      grid.Button1->Click();
      return mrNone;
    });
    D.Button5->Click();
    EXPECT_EQ(D.CurrentItem(), D.Catalogue()[2].Item);
    EXPECT_EQ(D.FilterParamBox->ActivePageIndex(), 2);
    EXPECT_EQ(D.Caption(), D.Catalogue()[2].Name);
    D.Button2->Click();
  });
}

// The grid shows every filter of a category, in catalogue order, each on the
// reduced selection; index i is item i of the catalogue.
TEST_F(FilterDialog, GridShowsEveryFilterOfACategory) {
  TImagerView& view = *Child->imager1;
  view.Select(100, 50, 300, 250);
  TFilterRefs refs;
  for (const TFilterRef& r : CatalogueRefs(ColorCatalogue()))
    if (r.Item->Category == kCategoryReduce) refs.push_back(r);
  ASSERT_EQ(refs.size(), 6u);
  TBitmap original;
  original.Assign(&Bmp());
  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto& grid = dynamic_cast<Tmultiform&>(F);
    EXPECT_EQ(grid.ImagerMView1->GetImageCount(), int32_t(refs.size()));
    TBitmap area;
    ScaleAreaInto(Bmp(), SelectionArea(view), grid.ImagerMView1->ThumbWidth(), grid.ImagerMView1->ThumbHeight(), area);
    EXPECT_TRUE(SameBitmaps(grid.Preview(), area));
    for (size_t i = 0; i < refs.size(); ++i) {
      TBitmap want;
      want.Assign(&area);
      TProgressRec none;
      ApplyFilterItem(want, *refs[i].Item, false, true, 1, none, 0, 0, want.Width(), want.Height());
      TBitmap* thumb = grid.ImagerMView1->GetImageBitmap(int32_t(i));
      EXPECT_NE(thumb, nullptr) << refs[i].Name;
      if (!thumb) continue;
      EXPECT_TRUE(SameBitmaps(*thumb, want)) << refs[i].Name;
      grid.ImagerMView1->ImageStore().ReleaseBitmap(thumb, false);
      EXPECT_EQ(grid.Errors()[i], "") << refs[i].Name;
    }
    grid.ImagerMView1->SetSelectedImage(3);
    EXPECT_EQ(grid.NameLabel->Caption(), refs[3].Name);
    EXPECT_EQ(grid.CategoryLabel->Caption(), kCategoryReduce);
    grid.Button2->Click();
    return mrNone;
  });
  int32_t chosen = 0;
  EXPECT_EQ(ChooseFilterByPreview(view, refs, &chosen), nullptr);
  EXPECT_EQ(chosen, -1);
  EXPECT_TRUE(SameBitmaps(Bmp(), original));

  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto& grid = dynamic_cast<Tmultiform&>(F);
    grid.ImagerMView1->SetSelectedImage(4);
    grid.Button1->Click();
    return mrNone;
  });
  EXPECT_EQ(ChooseFilterByPreview(view, refs, &chosen), refs[4].Item);
  EXPECT_EQ(chosen, 4);

  // A filter that cannot run keeps its place, unfiltered, and the others still show.
  tfilteritem broken;
  CopyFilterItem(*ColorCatalogue().FindKeyword("Combine"), broken);
  broken.Params[0].Value = "kein Fenster";
  const TFilterRefs mixed = {{"kaputt", &broken}, refs[0]};
  Tmultiform grid(nullptr);
  grid.Source = &view;
  grid.Catalogue = mixed;
  grid.BuildThumbnails();
  ASSERT_EQ(grid.ImagerMView1->GetImageCount(), 2);
  EXPECT_NE(grid.Errors()[0].find("kein Fenster"), std::string::npos) << grid.Errors()[0];
  EXPECT_EQ(grid.Errors()[1], "");
  TBitmap* thumb = grid.ImagerMView1->GetImageBitmap(0);
  ASSERT_NE(thumb, nullptr);
  EXPECT_TRUE(SameBitmaps(*thumb, grid.Preview()));
  grid.ImagerMView1->ImageStore().ReleaseBitmap(thumb, false);
}

// Every filter menu entry and the two filter actions open their windows.
TEST_F(FilterDialog, MenuEntriesAndActionsOpenTheirWindows) {
  Form->DoCreate();  // fills the menus as at the program's start
  std::vector<TMenuItem*> entries;
  std::function<void(TMenuItem*)> collect = [&](TMenuItem* M) {
    if (!M) return;
    for (int32_t i = 0; i < M->Count(); ++i) {
      if (auto* e = dynamic_cast<tmymenuitem*>(M->Items(i)); e && e->Filter) entries.push_back(e);
      collect(M->Items(i));
    }
  };
  for (TMenuItem* m : {Form->Filter1, Form->Farben1, Form->Bild1, Form->Datei1}) collect(m);
  ASSERT_GE(entries.size(), 30u);
  for (TMenuItem* e : entries) {
    Shown().clear();
    Logged().Clear();
    const auto* entry = static_cast<tmymenuitem*>(e);
    (*Dialogs)->AnswerModal([&](TCustomForm& F) {
      auto& D = dynamic_cast<Tfilterform&>(F);
      EXPECT_EQ(D.Catalogue()[size_t(D.CurrentIndex())].Item, entry->Filter) << e->Caption();
      D.Button2->Click();
      return mrNone;
    });
    e->Click();
    ASSERT_EQ(Shown().size(), 1u) << e->Caption();
    EXPECT_EQ(Shown()[0].FormClass, "Tfilterform") << e->Caption();
    EXPECT_EQ(Logged().Count(), 0) << e->Caption();
  }

  auto action = [&](const char* Name) -> TAction& {
    TAction* a = MainAction(*Form, Name);
    EXPECT_NE(a, nullptr) << Name;
    return *a;
  };
  Shown().clear();
  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto& D = dynamic_cast<Tfilterform&>(F);
    EXPECT_EQ(int32_t(D.Catalogue().size()), FilterCatalogue().Count());
    D.FilterParamBox->SelectPage(D.FilterParamBox->Pages(0));
    D.Button1->Click();
    return mrNone;
  });
  action("FilterBrowser").Execute();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].FormClass, "Tfilterform");
  ASSERT_GE(Logged().Count(), 1);
  EXPECT_EQ(Logged().Get(Logged().Count() - 1), FilterItemToCommand(FilterCatalogue().Items(0)));

  Shown().clear();
  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto& grid = dynamic_cast<Tmultiform&>(F);
    EXPECT_EQ(grid.ImagerMView1->GetImageCount(), FilterCatalogue().Count());
    grid.ImagerMView1->SetSelectedImage(1);
    grid.Button1->Click();
    return mrNone;
  });
  action("Quicklaunch").Execute();
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].FormClass, "Tmultiform");
  EXPECT_EQ(Logged().Get(Logged().Count() - 1), FilterItemToCommand(FilterCatalogue().Items(1)));
}

// The editor frame on its own: the error sign comes and goes with the
// formula, the caret goes to the error, one filter is never deleted.
TEST(FilterFactoryEditor, ErrorsFiltersAndLines) {
  EnsureQtApplication();
  Tframeuserfilform frame(nullptr);
  int32_t changes = 0;
  frame.OnFilterChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(frame.Label2->Caption(), "1/1");
  frame.RichEdit1->SetText("r + #");
  EXPECT_TRUE(frame.Image1->Visible());
  EXPECT_EQ(frame.ErrorPosition(), 5);
  EXPECT_EQ(frame.Label4->Caption(), "5");
  frame.GoToError();
  EXPECT_EQ(frame.RichEdit1->SelStart(), 4);
  frame.RichEdit1->SetText("r + 1");
  EXPECT_FALSE(frame.Image1->Visible());
  EXPECT_GT(changes, 0);

  frame.Button5->Click();  // "-" on the only filter keeps it
  EXPECT_EQ(frame.Library().Count(), 1);
  frame.Button4->Click();  // "+"
  EXPECT_EQ(frame.Library().Count(), 2);
  EXPECT_EQ(frame.Label2->Caption(), "1/2");
  frame.Button7->Click();  // ">"
  EXPECT_EQ(frame.Label2->Caption(), "2/2");
  EXPECT_EQ(frame.RichEdit1->Text(), "r + 1");

  frame.ChooseField(ffkTitle);
  EXPECT_TRUE(frame.KvSpeedButtons[3]->Down());
  EXPECT_FALSE(frame.KvSpeedButtons[0]->Down());
  frame.RichEdit1->SetText("Mein\nFilter");
  EXPECT_EQ(frame.Library().GetField(ffkTitle, 1), "Mein Filter");
  frame.Edits[2]->SetText("Stärke");
  EXPECT_EQ(frame.Library().GetField(ffkControlName, 1, 2), "Stärke");
}

// "Speichern ..." takes back what is still pending (a slider that has not
// settled) and writes a ".ffl" below "User Filter"; "Laden ..." in a new
// frame gives every field of every filter back.
using FilterFactoryEditorFiles = test::TTempFolderTest;
TEST_F(FilterFactoryEditorFiles, SavedLibraryLoadsBackTheSame) {
  EnsureQtApplication();
  SetProgramFolder(Dir);
  fs::create_directories(Dir + "User Filter");
  const std::string file = Dir + "User Filter/eigene.ffl";
  Tframeuserfilform frame(nullptr);
  frame.RichEdit1->SetText("255-r");
  frame.ChooseField(ffkGreen);
  frame.RichEdit1->SetText("g*ctl(1)/255");
  frame.ChooseField(ffkBlue);
  frame.RichEdit1->SetText("(b+\nctl(2))/2");
  frame.ChooseField(ffkTitle);
  frame.RichEdit1->SetText("Erster");
  frame.Edits[1]->SetText("Grünanteil");
  frame.Button4->Click();  // "+": a second filter, shown in front of the first
  frame.ChooseField(ffkRed);
  frame.RichEdit1->SetText("x > X/2 ? 255 : 0");
  frame.ChooseField(ffkCategory);
  frame.RichEdit1->SetText("Tests");
  frame.Sliders[3]->SetValue(7);

  std::string initialDir, pattern;
  AnswerFileDialog([&](TFileDialogSession& S) {
    initialDir = S.Request().InitialDir;
    pattern = S.FilterPattern();
    S.SetFileNameText("eigene");  // the extension comes from the dialog
    S.PressOK();
  });
  frame.Button2->Click();
  EXPECT_EQ(initialDir, Dir + "User Filter");
  EXPECT_EQ(pattern, "*.ffl");
  ASSERT_TRUE(fs::exists(file));
  EXPECT_TRUE(frame.FilesChanged());
  EXPECT_EQ(frame.Library().GetField(ffkControlValue, 0, 3), "7");

  Tframeuserfilform loaded(nullptr);
  AnswerFileDialog([&](TFileDialogSession& S) {
    S.SelectFile(file);
    S.SetFileNameText("eigene.ffl");
    S.PressOK();
  });
  loaded.Button1->Click();
  EXPECT_EQ(PendingFileDialogAnswers(), 0);
  ASSERT_EQ(loaded.Library().Count(), 2);
  EXPECT_EQ(loaded.Label2->Caption(), "1/2");
  EXPECT_EQ(loaded.RichEdit1->Text(), "x > X/2 ? 255 : 0");
  EXPECT_EQ(loaded.Sliders[3]->Value(), 7);
  EXPECT_EQ(loaded.Library().GetField(ffkBlue, 1), "(b+ ctl(2))/2");
  for (int32_t n = 0; n < 2; ++n)
    for (int32_t kind = ffk8BF; kind <= ffkAlpha; ++kind)
      for (int32_t i = 0; i < (kind == ffkControlName || kind == ffkControlValue ? 8 : 1); ++i)
        EXPECT_EQ(loaded.Library().GetField(kind, n, i), frame.Library().GetField(kind, n, i))
            << "filter " << n << " field " << kind << " index " << i;
  SetProgramFolder("");
}

}  // namespace
}  // namespace kv

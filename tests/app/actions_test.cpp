// The main window's actions: enabled and visible states with and without an
// image window, the refusal while a batch runs, the drawing-tool radio group
// and its effect on the view, and the lines the actions issue.
// With a catalog window in front the states are those of catalog_window_test.cpp.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/actions/main_actions.h"
#include "app/actions/input_memo.h"
#include "app/batch/batch_recorder.h"
#include "app/child/child_window.h"
#include "app/child/drawing_options.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/workflows/print_dialog.h"
#include "platform/ui/button.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/actions.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/status_bar.h"
#include "imaging/formats/twain_params.h"
#include "imaging/views/open_save_dialog.h"
#include "imaging/views/ruler_box.h"
#include "main_window_fixture.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/memo.h"
#include "platform/ui/menus.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"
#include "support/sane_test_env.h"
#include "support/temp_files.h"

namespace kv {
namespace {

// The main window with its own actions and menus.
class Actions : public test::TMainWindowTest {
 protected:
  void SetUp() override {
    TMainWindowTest::SetUp();
    Previous = SetActionLineRunner([this](Tform1&, const std::string& Line) { Lines.push_back(Line); });
    ShowMainWindow(800, 600);
  }
  void TearDown() override {
    SetActionLineRunner(Previous);
    Options.reset();
    TMainWindowTest::TearDown();
    drawingtool = dtZoom;
  }

  // An image window with a small picture as the target of the actions.
  timagerlayer& OpenImage() {
    Tchild* c = Form->newwindow();
    test::Paint24(c->imager1->Bitmap(), 8, 6, [](int32_t, int32_t) { return test::Gray(90); });
    c->imager1->PictureEdited();
    Pump();
    Form->OverrideChild = c;  // the target whether or not the frame has activated it yet
    return *c->imager1;
  }
  TAction& A(const char* Name) {
    TAction* a = MainAction(*Form, Name);
    EXPECT_NE(a, nullptr) << Name;
    return *a;
  }
  bool MenuVisible(const char* Caption) { return Form->MainMenu1->Items()->Find(Caption)->Visible(); }

  std::unique_ptr<TdrawingoptionsForm> Options;
  std::vector<std::string> Lines;
  TActionLineRunner Previous;
};

TEST_F(Actions, TableHoldsUniqueActionsAndTheToolsInMenuOrder) {
  EXPECT_EQ(Form->ActionList1->ActionCount(), int32_t(MainActionTable().size()));
  for (const TMainActionInfo& info : MainActionTable()) {
    TAction& a = A(info.Name);
    EXPECT_EQ(a.Caption(), info.Caption);
    EXPECT_EQ(a.Category(), info.Category);
  }
  const std::vector<std::string> tools = {"Zoomaction", "Handaction", "SelectRect", "SelectEllipse",
                                          "SelectPolygon", "SelectMagic", "Draw", "Line",
                                          "Rectangle", "Ellipse", "RoundRect", "Text",
                                          "Floodfill", "GetColor", "Copypaint", "RedEye"};
  EXPECT_EQ(DrawingToolActionNames(), tools);
  EXPECT_EQ(A("printtiled").Tag(), 1);
  EXPECT_EQ(A("printcatalog").Tag(), 3);
  EXPECT_EQ(A("FrameGrabber").Tag(), 2);
  CreateMainActions(*Form);  // a second call adds nothing
  EXPECT_EQ(Form->ActionList1->ActionCount(), int32_t(MainActionTable().size()));
}

TEST_F(Actions, StatesFollowTheImageWindow) {
  const char* imageActions[] = {"Clear", "Cutaction", "Resize", "NumbCol", "FilterBrowser", "Draw", "Zoomaction"};
  const char* fileActions[] = {"Save", "SaveAsA", "Saveall", "Closeit", "Closeall", "SendDirect", "Print"};

  Form->updateall();
  for (const char* n : imageActions) EXPECT_FALSE(A(n).Enabled()) << n;
  for (const char* n : fileActions) EXPECT_FALSE(A(n).Enabled()) << n;
  for (const char* m : {"Bearbeiten", "Farben", "Bild", "Katalog"}) EXPECT_FALSE(MenuVisible(m)) << m;
  EXPECT_TRUE(MenuVisible("Datei"));
  EXPECT_TRUE(A("Open").Enabled());
  EXPECT_TRUE(A("NewGrafik").Enabled());
  EXPECT_FALSE(A("Undocmd").Enabled());

  OpenImage();
  Form->updateall();
  for (const char* n : imageActions) EXPECT_TRUE(A(n).Enabled()) << n;
  for (const char* n : fileActions) EXPECT_TRUE(A(n).Enabled()) << n;
  for (const char* m : {"Bearbeiten", "Farben", "Bild"}) EXPECT_TRUE(MenuVisible(m)) << m;
  // No catalog window is active: its menu and actions stay off.
  EXPECT_FALSE(MenuVisible("Katalog"));
  EXPECT_FALSE(A("printcatalog").Enabled());
  EXPECT_FALSE(A("catalogadd").Enabled());
}

// The window's own "Digitalkamera" submenu is the one the camera filters fill:
// one entry in the file menu, holding both filters, enabled with an image window.
TEST_F(Actions, CameraMenuIsOneSubmenuWhoseItemsFollowTheWindow) {
  Form->DoCreate();  // fills the menus as at the program's start
  TMenuItem* datei = Form->MainMenu1->Items()->Find("Datei");
  ASSERT_NE(datei, nullptr);
  int32_t cameraMenus = 0;
  for (int32_t i = 0; i < datei->Count(); ++i)
    if (datei->Items(i)->Caption() == "Digitalkamera") ++cameraMenus;
  EXPECT_EQ(cameraMenus, 1);
  ASSERT_NE(Form->Digitalkamera1, nullptr);
  ASSERT_EQ(Form->Digitalkamera1->Count(), 2);
  std::vector<TMenuItem*> items = {Form->Digitalkamera1->Items(0), Form->Digitalkamera1->Items(1)};
  EXPECT_EQ(items[0]->Caption(), "Hot Pixel (Wechselnde Pixelfehler)...");
  EXPECT_EQ(items[1]->Caption(), "Seitenverhältnis...");

  Form->updateall();
  for (TMenuItem* item : items) EXPECT_FALSE(item->Enabled()) << item->Caption();
  OpenImage();
  Form->updateall();
  for (TMenuItem* item : items) EXPECT_TRUE(item->Enabled()) << item->Caption();
}

TEST_F(Actions, UndoAndRedoFollowTheImageControl) {
  timagerlayer& im = OpenImage();
  im.SetUndoLimit(5);
  Form->updateall();
  EXPECT_FALSE(A("Undocmd").Enabled());
  EXPECT_FALSE(A("RedoCmd").Enabled());

  im.SaveUndoPoint();
  Form->updateall();
  EXPECT_TRUE(A("Undocmd").Enabled());
  EXPECT_FALSE(A("RedoCmd").Enabled());

  A("Undocmd").Execute();
  EXPECT_TRUE(A("RedoCmd").Enabled());
  A("RedoCmd").Execute();
  EXPECT_FALSE(A("RedoCmd").Enabled());
  EXPECT_TRUE(A("Undocmd").Enabled());
  EXPECT_TRUE(Lines.empty());  // undo and redo issue no command line
}

TEST_F(Actions, BusyBatchOrPumpRefusesEveryActionAndChangesNothing) {
  OpenImage();
  Form->updateall();
  A("Clear").SetEnabled(false);  // a state updateall would change back
  for (int kind = 0; kind < 2; ++kind) {
    TScriptedDialogsScope dialogs;
    dialogs->Answer(mrOk);
    CancelFlag = false;
    Form->BatchBusy = kind == 0 ? 1 : 0;
    Form->Pump = kind == 1;
    EXPECT_TRUE(A("Handaction").Execute());
    ASSERT_EQ(dialogs->Shown.size(), 1u);
    EXPECT_EQ(dialogs->Shown[0].Text, kBatchBusyMessage);
    EXPECT_TRUE(CancelFlag);
    EXPECT_TRUE(Lines.empty());
    EXPECT_FALSE(A("Handaction").Checked());
    EXPECT_FALSE(A("Clear").Enabled());
  }
  Form->BatchBusy = 0;
  Form->Pump = false;
  A("Closeall").Execute();
  EXPECT_EQ(Lines, std::vector<std::string>{"CloseAll"});
  EXPECT_TRUE(A("Clear").Enabled());
}

TEST_F(Actions, DrawingToolsAreOneRadioGroupDrivingTheView) {
  timagerlayer& im = OpenImage();
  struct Case {
    const char* Action;
    uint8_t Tool;
    TIMMouseInteract Interact;
  };
  const Case cases[] = {
      {"Handaction", dtHand, TIMMouseInteract{miScroll}},
      {"SelectEllipse", dtSelectEllipse, TIMMouseInteract{miSelectCircle}},
      {"SelectPolygon", dtSelectPolygon, TIMMouseInteract{miSelectPolygon}},
      {"SelectMagic", dtSelectMagic, TIMMouseInteract{miSelectMagicWand}},
      {"SelectRect", dtSelectRect, TIMMouseInteract{miSelect}},
      {"Text", dtText, TIMMouseInteract{}},
      {"Zoomaction", dtZoom, TIMMouseInteract{miZoom}},
  };
  for (const Case& c : cases) {
    A(c.Action).Execute();
    EXPECT_EQ(drawingtool, c.Tool) << c.Action;
    EXPECT_EQ(CheckedDrawingTool(*Form), c.Tool) << c.Action;
    EXPECT_TRUE(im.MouseInteract() == c.Interact) << c.Action;
    int checked = 0;
    for (const std::string& n : DrawingToolActionNames()) checked += A(n.c_str()).Checked();
    EXPECT_EQ(checked, 1) << c.Action;
  }
  EXPECT_EQ(im.MouseWheelParams().Action, 2);  // zoom tool: the wheel zooms
  A("Handaction").Execute();
  EXPECT_EQ(im.MouseWheelParams().Action, 1);
  EXPECT_EQ(im.Cursor(), crIMHand);
  A("Draw").Execute();
  EXPECT_EQ(im.Cursor(), crIMCross3);
  EXPECT_TRUE(Lines.empty());
}

TEST_F(Actions, FixedLinesAndTheScanLine) {
  test::UseSaneBackends("test");  // a scanner to scan with: without one the action says so instead
  UnloadTwain(TwainManager());
  OpenImage();
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"Saveall", "SaveAll"}, {"Closeit", "close"}, {"NumbCol", "NumberColors"}, {"Histogram", "ShowHistogram"},
      {"QuitAction", "Quit"}, {"DeSelect", "Deselect"}, {"lastfilter", "Lastfilter"}, {"generaloptions", "Options"},
      // an empty stored "Scanoptions" gives the bare keyword
      {"scanaction", "Scan"}};
  for (const auto& [action, line] : cases) {
    Lines.clear();
    A(action).Execute();
    EXPECT_EQ(Lines, std::vector<std::string>{line}) << action;
  }
  UnloadTwain(TwainManager());
}

// The print actions open the print dialog in their layout mode; "&Drucken"
// hands its line on, cancelled they run none.
TEST_F(Actions, PrintActionsOpenTheDialogInTheirMode) {
  OpenImage();
  const std::pair<const char*, int32_t> actions[] = {{"Print", 0}, {"printtiled", 1}, {"printposter", 2}};
  for (const auto& [name, mode] : actions) {
    TScriptedDialogsScope dialogs;
    Lines.clear();
    dialogs->AnswerModal([&, mode = mode](TCustomForm& F) {
      auto& print = dynamic_cast<Tprintform&>(F);
      EXPECT_EQ(print.Caption(), "Drucken");
      EXPECT_EQ(print.Mode(), mode);
      print.PrintButton->Click();
      return mrNone;
    });
    A(name).Execute();
    ASSERT_EQ(Lines.size(), 1u) << name;
    EXPECT_EQ(Lines[0].rfind("Print Mode=" + std::to_string(mode) + " ", 0), 0u) << Lines[0];
    dialogs->AnswerModal([](TCustomForm&) { return mrCancel; });
    Lines.clear();
    A(name).Execute();
    EXPECT_TRUE(Lines.empty()) << name;
  }
}

// The image tools open their dialogs; cancelled, they run no line.
TEST_F(Actions, ImageToolsOpenTheirDialogs) {
  OpenImage();
  for (const char* n : {"Mosaicaction", "heften", "leftrightto3d", "_3dtoleftright", "_3dmesh", "diginum", "defpixel",
                        "jpgtrafoaction", "NewGrafik", "Resize"}) {
    TScriptedDialogsScope dialogs;
    dialogs->AnswerModal([](TCustomForm&) { return mrCancel; });
    A(n).Execute();
    ASSERT_EQ(dialogs->Shown.size(), 1u) << n;
    EXPECT_EQ(dialogs->Shown[0].Kind, dkModalForm) << n;
    EXPECT_TRUE(Lines.empty()) << n;
  }
}

TEST_F(Actions, HiddenTextAsksWithTheCapacity) {
  timagerlayer& im = OpenImage();
  test::Paint24(im.Bitmap(), 40, 40, [](int32_t, int32_t) { return test::Gray(10); });
  TScriptedDialogsScope dialogs;
  dialogs->AnswerInput(true, "ein Geheimnis");
  A("wtext").Execute();
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_EQ(dialogs->Shown[0].Caption, "Geheimtext eingeben");
  EXPECT_EQ(dialogs->Shown[0].Text, "Geheimtext eingeben, maximal " + std::to_string(im.Proc()->GetHiddenDataSpace()) +
                                        " Zeichen");
  EXPECT_EQ(Lines, std::vector<std::string>{"WriteText text=\"ein Geheimnis\""});
}

TEST_F(Actions, CommentActionsRefuseOrAskFirst) {
  timagerlayer& im = OpenImage();
  {  // no file name: refused, no line
    TScriptedDialogsScope dialogs;
    dialogs->Answer(mrOk);
    A("komrec").Execute();
    ASSERT_EQ(dialogs->Shown.size(), 1u);
    EXPECT_EQ(dialogs->Shown[0].Text,
              "Sie müssen die Grafik erst speichern, bevor sie einen Kommentar aufnehmen können.");
  }
  const std::string image = Dir + "bild.jpg";
  im.IOParams().FileName = image;
  {  // no sound comment yet
    TScriptedDialogsScope dialogs;
    dialogs->Answer(mrOk);
    dialogs->Answer(mrOk);
    A("komdel").Execute();
    A("komplay").Execute();
    ASSERT_EQ(dialogs->Shown.size(), 2u);
    EXPECT_EQ(dialogs->Shown[1].Text, "Es existiert kein Kommentar zu dieser Datei.");
  }
  EXPECT_TRUE(Lines.empty());
  {
    TStringList wav;
    wav.Add("x");
    wav.SaveToFile(image + ".wav");
  }
  {  // existing comment: recording asks twice, a cancelled first question ends it
    TScriptedDialogsScope dialogs;
    dialogs->Answer(mrCancel);
    A("komrec").Execute();
    EXPECT_TRUE(Lines.empty());
    dialogs->Answer(mrOk);
    dialogs->Answer(mrOk);
    A("komrec").Execute();
    EXPECT_EQ(dialogs->Shown[1].Text, image + ".wav existiert bereits. Möchten Sie trotzdem einen neuen "
                                              "Tonkommentar aufnehmen?");
    dialogs->Answer(mrOk);
    A("komdel").Execute();
    A("komplay").Execute();
  }
  const std::string name = "Name=\"" + image + "\"";
  EXPECT_EQ(Lines, (std::vector<std::string>{"CommentRecord " + name, "COMMENTDELETE " + name, "COMMENTPLAY " + name}));
}

TEST_F(Actions, TextCommentIsEditedInTheMemo) {
  timagerlayer& im = OpenImage();
  const std::string image = Dir + "bild.png";
  im.IOParams().FileName = image;
  {
    TStringList old;
    old.Add("alt");
    old.SaveToFile(image + ".txt");
  }
  TScriptedDialogsScope dialogs;
  std::string shown;
  dialogs->AnswerModal([&](TCustomForm& F) {
    auto& memo = dynamic_cast<Tinputmemo&>(F);
    shown = memo.Memo1->Text();
    memo.Memo1->SetText("erste Zeile\nzweite Zeile");
    EXPECT_EQ(F.Caption(), "Textkommentar angeben");
    return mrOk;
  });
  A("komtext").Execute();
  EXPECT_EQ(shown, "alt");
  EXPECT_EQ(Lines, std::vector<std::string>{"Textcomment textCount=2 text0=\"erste Zeile\" text1=\"zweite Zeile\" "
                                            "Name=\"" + image + "\""});
}

TEST_F(Actions, DrawingOptionsShowThePagesOfTheTool) {
  Options = std::make_unique<TdrawingoptionsForm>(nullptr);
  timagerlayer& im = OpenImage();
  struct Case {
    const char* Action;
    bool Text, Color, Fill, Brush;
  };
  const Case cases[] = {
      {"Text", true, true, true, false},        {"Draw", false, true, true, true},
      {"SelectMagic", false, false, true, false}, {"Copypaint", false, true, true, true},
      {"Handaction", false, false, false, false},
  };
  for (const Case& c : cases) {
    A(c.Action).Execute();
    EXPECT_EQ(Options->PageVisible(dpText), c.Text) << c.Action;
    EXPECT_EQ(Options->PageVisible(dpColor), c.Color) << c.Action;
    EXPECT_EQ(Options->PageVisible(dpLine), c.Color) << c.Action;
    EXPECT_EQ(Options->PageVisible(dpFill), c.Fill) << c.Action;
    EXPECT_EQ(Options->PageVisible(dpBrush), c.Brush) << c.Action;
    EXPECT_TRUE(Options->PageVisible(dpZoom)) << c.Action;
  }
  EXPECT_FALSE(Options->Visible());
  A("zeichnenaction").Execute();
  EXPECT_TRUE(A("zeichnenaction").Checked());
  EXPECT_TRUE(Options->Visible());
  EXPECT_FALSE(Options->SelectionZoomEnabled());
  im.Select(0, 0, 4, 4);
  Form->updateall();
  EXPECT_TRUE(Options->SelectionZoomEnabled());
  A("zeichnenaction").Execute();
  EXPECT_FALSE(Options->Visible());
}

TEST_F(Actions, RecorderActionsDriveTheRecorder) {
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrOk);
  A("batchnew").Execute();
  EXPECT_EQ(Form->Recorder().State(), rsRecording);
  A("batchpause").Execute();
  EXPECT_EQ(Form->Recorder().State(), rsPaused);
  A("batchnew").Execute();  // resumes without asking
  EXPECT_EQ(Form->Recorder().State(), rsRecording);
  EXPECT_EQ(dialogs->Shown.size(), 1u);
}

TEST_F(Actions, ViewTogglesRulePartsOfTheImageWindow) {
  OpenImage();
  Tchild& child = *Form->getchild();
  TMenuItem* status = Form->Statusleiste1;
  TMenuItem* rulers = Form->Lineal1;
  ASSERT_TRUE(status && rulers);
  Form->updateall();  // both toggles start checked: the window shows everything
  EXPECT_TRUE(child.StatusBar1->Visible());
  EXPECT_TRUE(child.RulerBox1->Visible());

  status->SetChecked(false);
  Form->updateall();
  EXPECT_FALSE(child.StatusBar1->Visible());
  EXPECT_TRUE(child.RulerBox1->Visible());
  EXPECT_TRUE(child.RulerBox2->Visible());
  Form->flipchecked(rulers);
  EXPECT_FALSE(child.RulerBox1->Visible());
  EXPECT_FALSE(child.RulerBox2->Visible());
  Form->flipchecked(status);
  EXPECT_TRUE(child.StatusBar1->Visible());
}

TEST_F(Actions, MousePointerMenuIsBoundToTheToolActions) {
  OpenImage();
  if (!Form->Mauszeiger1) Form->Mauszeiger1 = new TMenuItem(Form.get());
  BuildMousePointerMenu(*Form);
  ASSERT_EQ(Form->Mauszeiger1->Count(), 16);
  EXPECT_TRUE(Form->Mauszeiger1->Items(0)->Checked());  // the zoom tool starts chosen
  Form->Mauszeiger1->Items(dtText)->Click();
  EXPECT_EQ(drawingtool, dtText);
  for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(Form->Mauszeiger1->Items(i)->Checked(), i == dtText) << i;
  EXPECT_TRUE(A("Text").Checked());
  Form->mousepointerclick(Form->Mauszeiger1->Items(dtHand));
  EXPECT_EQ(drawingtool, dtHand);
  EXPECT_TRUE(Form->getimager()->MouseInteract() == TIMMouseInteract{miScroll});
}

TEST_F(Actions, NewFromClipboardNeedsABitmapThere) {
  Clipboard().Clear();
  Form->updateall();
  EXPECT_FALSE(A("NewClipboard").Enabled());
  TBitmap bmp;
  test::Paint24(bmp, 4, 3, [](int32_t, int32_t) { return test::Gray(7); });
  Clipboard().SetBitmap(bmp);
  Form->checkclipboard();
  EXPECT_TRUE(A("NewClipboard").Enabled());
  Clipboard().Clear();
}

TEST_F(Actions, ZoomMenuItemsPressTheDrawingWindowsButtons) {
  Options = std::make_unique<TdrawingoptionsForm>(nullptr);
  timagerlayer& im = OpenImage();
  im.SetZoom(100);
  TMenuItem item(nullptr);
  item.SetCaption("&Größer...");
  Form->onzoomclick(&item);
  EXPECT_GT(im.Zoom(), 100);
  item.SetCaption("1:1");
  Form->onzoomclick(&item);
  EXPECT_EQ(im.Zoom(), 100);
  // The view menu carries one such item per button.
  TMenuItem* zoom = Form->MainMenu1->Items()->Find("&Ansicht")->Find("Zoom");
  ASSERT_NE(zoom, nullptr);
  EXPECT_EQ(zoom->Count(), int32_t(TdrawingoptionsForm::ZoomButtonCaptions().size()));
  zoom->Find("Kleiner")->Click();
  EXPECT_LT(im.Zoom(), 100);
}

TEST_F(Actions, FileDialogActionsBuildTheirLinesAndRestoreTheDialogs) {
  timagerlayer& im = OpenImage();
  im.IOParams().FileName = Dir + "bild.png";
  Form->OpenDialog1 = new TOpenImagerDialog(Form.get());
  Form->SaveDialog1 = new TSaveImagerDialog(Form.get());
  for (TOpenImagerDialog* d : {Form->OpenDialog1, static_cast<TOpenImagerDialog*>(Form->SaveDialog1)}) {
    d->SetFilter("Bilder|*.png");
    d->SetTitle("vorher");
    d->SetDefaultExt("png");
    d->SetInitialDir(Dir);
    d->SetAutoSetFilter(false);
  }
  struct Case {
    const char* Action;
    const char* Pattern;
    const char* File;
    std::string Line;
  };
  const Case cases[] = {
      {"catalogadd", "*.png", "a.png", "ADDCATALOG Filename=\"" + Dir + "a.png\""},
      {"wdata", "*.*", "geheim.bin", "WriteData Filename=\"" + Dir + "geheim.bin\""},
      {"rdata", "*.*", "aus.dat", "ReadData Filename=\"" + Dir + "aus.dat\""},
      {"komimp", "*.wav", "ton.wav", "Commentimport filename=\"" + Dir + "ton.wav\""},
  };
  for (const Case& c : cases) {
    TStringList content;
    content.Add("x");
    content.SaveToFile(Dir + c.File);
    std::string pattern;
    AnswerFileDialog([&](TFileDialogSession& S) {
      pattern = S.FilterPattern();
      S.SelectFile(Dir + c.File);
      S.SetFileNameText(c.File);
      S.PressOK();
    });
    Lines.clear();
    A(c.Action).Execute();
    EXPECT_EQ(pattern, c.Pattern) << c.Action;
    EXPECT_EQ(Lines, std::vector<std::string>{c.Line}) << c.Action;
  }
  EXPECT_EQ(Form->OpenDialog1->Filter(), "Bilder|*.png");
  EXPECT_EQ(Form->OpenDialog1->Title(), "vorher");
  EXPECT_EQ(Form->SaveDialog1->Filter(), "Bilder|*.png");
  EXPECT_EQ(Form->SaveDialog1->DefaultExt(), "png");
  EXPECT_FALSE(Form->OpenDialog1->AutoSetFilter());

  // A dialog that fills in the image formats by itself still offers all files here.
  Form->OpenDialog1->SetAutoSetFilter(true);
  std::string pattern;
  AnswerFileDialog([&](TFileDialogSession& S) {
    pattern = S.FilterPattern();
    S.PressCancel();
  });
  Lines.clear();
  A("wdata").Execute();
  EXPECT_EQ(pattern, "*.*");
  EXPECT_TRUE(Lines.empty());
  EXPECT_TRUE(Form->OpenDialog1->AutoSetFilter());
}

TEST(CatalogRemoval, DeletesFromTheBackSoIndexesStayValid) {
  // Four columns, row-major; a selection over columns 1..2 of rows 0..1 and
  // one past the nine entries (row 2, column 1 is index 9).
  auto index = [](int32_t Col, int32_t Row) { return Row * 4 + Col; };
  EXPECT_EQ(CatalogRemovalOrder(1, 0, 2, 1, index, 9), (std::vector<int32_t>{6, 5, 2, 1}));
  EXPECT_EQ(CatalogRemovalOrder(1, 1, 2, 2, index, 9), (std::vector<int32_t>{6, 5}));
  EXPECT_TRUE(CatalogRemovalOrder(0, 0, 1, 0, index, 0).empty());
}

}  // namespace
}  // namespace kv

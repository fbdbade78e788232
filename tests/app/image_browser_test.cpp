// The image browser on a folder of generated pictures: the grid, the
// selection's actions, renaming without overwriting, deleting to the trash,
// pasting files named on the clipboard, the text comment and the lossless
// JPEG transform (checked against jpegtran).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/actions/input_memo.h"
#include "app/actions/main_actions.h"
#include "app/catalog/catalog_frame.h"
#include "app/catalog/image_browser.h"
#include "app/tools/lossless_jpeg.h"
#include "app/tools/tool_files.h"
#include "command_fixture.h"
#include "platform/rtl/string_list.h"
#include "components/shell/shell_context_menu.h"
#include "components/shell/system_tree_view.h"
#include "platform/ui/actions.h"
#include "platform/ui/memo.h"
#include "platform/ui/std_controls.h"
#include "support/outside_tools.h"
#include "support/shell_home.h"

namespace kv {
namespace {

using namespace kv::test;
namespace fs = std::filesystem;

class ImageBrowser : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    // The desktop's data folder (and so the trash) of the shell's test home,
    // the same for every test: the desktop library reads it once per process.
    setenv("HOME", test::TShellHome::Get().Home().c_str(), 1);
    setenv("XDG_DATA_HOME", test::TShellHome::Get().DataHome().c_str(), 1);
    fs::create_directories(Dir + "pics");
    for (const char* name : {"a.jpg", "b.png", "c.bmp"}) SaveToolPicture(Dir + "pics/" + name, *Make24(32, 16, Pattern));
    WriteText(Dir + "pics/notes.txt", "keine Grafik");
    Browser = &ShowImageBrowser(*Form).BrowserFrame1;
    Frame().SetDirectory(Dir + "pics");
  }
  void TearDown() override {
    Form.reset();  // the browser window belongs to the main window
    CommandTest::TearDown();
  }
  TBrowserFrame& Frame() { return **Browser; }
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    const TStringList& files = Frame().catalogframe1->Files();
    for (int32_t i = 0; i < files.Count(); ++i) out.push_back(fs::path(files.Get(i)).filename().string());
    return out;
  }
  // Selects the cell of the file at list index First to that of Last.
  void Select(int32_t First, int32_t Last) {
    Tcatalogframe& c = *Frame().catalogframe1;
    TRect sel{-1, -1, -1, -1};
    for (int32_t row = 0; row < c.DrawGrid1().RowCount(); ++row)
      for (int32_t col = 0; col < c.DrawGrid1().ColCount(); ++col) {
        const int32_t i = c.CellFileIndex(col, row);
        if (i == First && sel.Left < 0) sel.Left = col, sel.Top = row;
        if (i == Last) sel.Right = col, sel.Bottom = row;
      }
    ASSERT_GE(sel.Left, 0);
    c.DrawGrid1().SetSelection(sel);
    Frame().SelectionChanged();
  }
  void SelectFile(const std::string& Name) {
    const std::vector<std::string> names = Names();
    const auto at = std::find(names.begin(), names.end(), Name);
    ASSERT_NE(at, names.end()) << Name;
    Select(int32_t(at - names.begin()), int32_t(at - names.begin()));
  }
  TBrowserFrame** Browser = nullptr;
  // The desktop's folders (and so the trash) in a home of the tests' own.
  test::TShellHomeScope Home;
};

TEST_F(ImageBrowser, MenuEntryOpensTheBrowserOnTheFoldersPictures) {
  TAction* action = MainAction(*Form, "browseraction");
  ASSERT_NE(action, nullptr);
  action->Execute();
  EXPECT_EQ(&ShowImageBrowser(*Form).BrowserFrame1, Browser);
  EXPECT_EQ(ShowImageBrowser(*Form).Caption(), "File Browser");
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.jpg", "b.png", "c.bmp"}));
  EXPECT_EQ(Frame().TdfsSystemTreeView1->Directory(), Dir + "pics");
  // Picking a folder in the tree lists it.
  fs::create_directories(Dir + "pics/unter");
  SaveToolPicture(Dir + "pics/unter/x.gif", *Make24(4, 4, Pattern));
  Frame().TdfsSystemTreeView1->SetDirectory(Dir + "pics/unter");
  EXPECT_EQ(Names(), std::vector<std::string>{"x.gif"});
  Frame().SetDirectory(Dir + "pics");
  // Only a selection of JPEG files can be transformed; playing needs a sound comment for each.
  SelectFile("a.jpg");
  EXPECT_TRUE(Frame().ActionEnabled(baLossless));
  EXPECT_FALSE(Frame().ActionEnabled(baSoundPlay));
  WriteText(Dir + "pics/a.jpg.wav", "RIFF");
  Select(0, 1);
  EXPECT_FALSE(Frame().ActionEnabled(baLossless));
  EXPECT_FALSE(Frame().ActionEnabled(baSoundPlay));
  fs::create_directories(Dir + "leer");
  Frame().SetDirectory(Dir + "leer");
  EXPECT_TRUE(Names().empty());
}

TEST_F(ImageBrowser, RenameKeepsTheKindMovesCommentsAndNeverOverwrites) {
  WriteText(Dir + "pics/a.jpg.txt", "Kommentar");
  SelectFile("a.jpg");
  (*Dialogs)->AnswerInput(true, "urlaub.png");
  Frame().RunAction(baRename);
  EXPECT_TRUE(fs::exists(Dir + "pics/urlaub.jpg"));
  EXPECT_FALSE(fs::exists(Dir + "pics/a.jpg"));
  EXPECT_EQ(ReadText(Dir + "pics/urlaub.jpg.txt"), "Kommentar");
  EXPECT_EQ(Names(), (std::vector<std::string>{"b.png", "c.bmp", "urlaub.jpg"}));

  // Onto a name that exists: refused, both files as they were.
  SaveToolPicture(Dir + "pics/d.bmp", *Make24(8, 8, Pattern));
  const std::vector<uint8_t> before = ReadBytes(Dir + "pics/d.bmp");
  Frame().ListFolder();
  SelectFile("c.bmp");
  (*Dialogs)->AnswerInput(true, "d");
  Frame().RunAction(baRename);
  EXPECT_TRUE(fs::exists(Dir + "pics/c.bmp"));
  EXPECT_EQ(ReadBytes(Dir + "pics/d.bmp"), before);
  // Cancel ends the whole run.
  Select(0, 1);
  (*Dialogs)->AnswerInput(false, "");
  Frame().RunAction(baRename);
  EXPECT_TRUE(fs::exists(Dir + "pics/b.png"));
}

TEST_F(ImageBrowser, DeleteMovesFilesAndCommentsToTheTrash) {
  WriteText(Dir + "pics/b.png.wav", "RIFF");
  SelectFile("b.png");
  Frame().RunAction(baDelete);
  const std::string trash = test::TShellHome::Get().Trash() + "/";
  EXPECT_TRUE(fs::exists(trash + "files/b.png"));
  EXPECT_TRUE(fs::exists(trash + "files/b.png.wav"));
  const std::string info = ReadText(trash + "info/b.png.trashinfo");
  EXPECT_NE(info.find("Path=" + Dir + "pics/b.png\n"), std::string::npos) << info;
  EXPECT_FALSE(fs::exists(Dir + "pics/b.png"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.jpg", "c.bmp"}));
  EXPECT_TRUE(Shown().empty());
}

TEST_F(ImageBrowser, PasteCopiesOrMovesWithoutOverwriting) {
  fs::create_directories(Dir + "other");
  SaveToolPicture(Dir + "other/e.png", *Make24(5, 5, Pattern));
  SaveToolPicture(Dir + "other/b.png", *Make24(6, 6, Pattern));
  const std::vector<uint8_t> ours = ReadBytes(Dir + "pics/b.png");
  ShellSetClipboardFiles({Dir + "other/e.png", Dir + "other/b.png"}, false);
  Frame().RunAction(baPaste);
  EXPECT_TRUE(fs::exists(Dir + "pics/e.png"));
  EXPECT_TRUE(fs::exists(Dir + "other/e.png"));
  EXPECT_EQ(ReadBytes(Dir + "pics/b.png"), ours);  // the copy got a name of its own
  EXPECT_TRUE(fs::exists(Dir + "pics/b (Kopie).png"));

  // Cut in the browser (with the file's comment) and pasted in the same folder: nothing moves, nothing is lost.
  WriteText(Dir + "pics/c.bmp.txt", "Notiz");
  SelectFile("c.bmp");
  Frame().RunAction(baCut);
  std::vector<std::string> files;
  bool cut = false;
  ASSERT_TRUE(ShellClipboardFiles(files, cut));
  EXPECT_TRUE(cut);
  EXPECT_EQ(files, (std::vector<std::string>{Dir + "pics/c.bmp", Dir + "pics/c.bmp.txt"}));
  Frame().RunAction(baPaste);
  EXPECT_TRUE(fs::exists(Dir + "pics/c.bmp"));
  // Cut again and pasted elsewhere it moves, comment and all.
  Frame().RunAction(baCut);
  Frame().SetDirectory(Dir + "other");
  Frame().RunAction(baPaste);
  EXPECT_TRUE(fs::exists(Dir + "other/c.bmp"));
  EXPECT_TRUE(fs::exists(Dir + "other/c.bmp.txt"));
  EXPECT_FALSE(fs::exists(Dir + "pics/c.bmp"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"b.png", "c.bmp", "e.png"}));
}

TEST_F(ImageBrowser, CopiedFilesPasteWithGioAndGiosCopiesPasteHere) {
  if (!HaveTool("gio")) GTEST_SKIP() << "libglib2.0-bin is needed";
  fs::create_directories(Dir + "other");
  SelectFile("b.png");
  Frame().RunAction(baCopy);
  std::vector<std::string> files;
  bool cut = true;
  ASSERT_TRUE(ShellClipboardFiles(files, cut));
  EXPECT_FALSE(cut);
  ASSERT_EQ(files.size(), 1u);
  // What the clipboard names, copied by GIO's own command.
  ASSERT_EQ(test::Run("gio copy 'file://" + files[0] + "' '" + Dir + "other/'"), 0);
  EXPECT_EQ(ReadBytes(Dir + "other/b.png"), ReadBytes(Dir + "pics/b.png"));
}

TEST_F(ImageBrowser, TextCommentIsWrittenBesideThePicture) {
  SelectFile("b.png");
  (*Dialogs)->AnswerModal([](TCustomForm& F) {
    auto& memo = dynamic_cast<Tinputmemo&>(F);
    EXPECT_EQ(memo.Caption(), "Textkommentar angeben");
    TStringList lines;
    lines.Add("Strand");
    lines.Add("Sommer 2002");
    memo.Memo1->SetLines(lines);
    return mrOk;
  });
  Frame().RunAction(baTextComment);
  TStringList written;
  written.LoadFromFile(Dir + "pics/b.png.txt");
  ASSERT_EQ(written.Count(), 2);
  EXPECT_EQ(written.Get(0), "Strand");
  EXPECT_EQ(written.Get(1), "Sommer 2002");
}

TEST_F(ImageBrowser, LosslessTransformMatchesJpegtran) {
  if (!HaveTool("jpegtran") || !HaveTool("djpeg")) GTEST_SKIP() << "libjpeg-turbo-progs is needed";
  const std::string file = Dir + "pics/a.jpg", original = Dir + "orig.jpg", theirs = Dir + "theirs.jpg";
  fs::copy_file(file, original);
  SelectFile("a.jpg");
  (*Dialogs)->AnswerModal([](TCustomForm& F) {
    auto& d = dynamic_cast<Tlosslessjpgform&>(F);
    EXPECT_EQ(d.FileEdit, nullptr);
    d.TrafoBox->SetItemIndex(3);  // 180°
    d.OpenBox->SetChecked(false);
    return mrOk;
  });
  Frame().RunAction(baLossless);
  ASSERT_EQ(test::Run("jpegtran -copy all -perfect -rotate 180 -outfile '" + theirs + "' '" + original + "'"), 0);
  const std::string mine = RunCapture("djpeg -ppm '" + file + "'");
  ASSERT_FALSE(mine.empty());
  EXPECT_EQ(mine, RunCapture("djpeg -ppm '" + theirs + "'"));
  EXPECT_NE(mine, RunCapture("djpeg -ppm '" + original + "'"));
}

}  // namespace
}  // namespace kv

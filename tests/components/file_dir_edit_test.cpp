// File and folder edits: the dialogs they open (answered by script), the
// names they take, dropped files and the history of chosen names.
#include <gtest/gtest.h>

#include <filesystem>

#include "components/controls/file_dir_edit.h"
#include "platform/ui/drop_files.h"
#include "platform/ui/folder_dialog.h"
#include "platform/ui/input_synth.h"
#include "platform/ui/qt_app.h"
#include "support/shot_file.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::SaveShot;

class FileEditTest : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    EnsureQtApplication();
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, 300, 200);
    Form->Show();
    std::filesystem::create_directories(Dir + "mit Blank");
    test::WriteText(Dir + "mit Blank/bild 1.png", "x");
    test::WriteText(Dir + "plain.png", "x");
  }
  void TearDown() override {
    delete Form;
    TTempFolderTest::TearDown();
  }
  template <class T>
  T* Make() {
    auto* e = new T(Form);
    e->SetParent(Form);
    e->SetBounds(10, 10, 200, 21);
    e->HandleNeeded();
    return e;
  }
  TForm* Form = nullptr;
};

TEST_F(FileEditTest, FileNameReadsTheFirstItemAndQuotesBlanks) {
  auto* e = Make<TFilenameEdit>();
  EXPECT_EQ(e->GlyphKind(), gkDefault);
  EXPECT_EQ(e->Filter(), "Alle Dateien (*.*)|*.*");
  EXPECT_EQ(e->DialogTitle(), "Durchsuchen");
  EXPECT_TRUE(e->DialogOptions().Contains(ofHideReadOnly));
  EXPECT_EQ(e->ButtonWidth(), 21);

  e->SetText("\"" + Dir + "mit Blank/bild 1.png\" -x");
  EXPECT_EQ(e->FileName(), Dir + "mit Blank/bild 1.png");
  e->SetText(Dir + "mit Blank/bild 1.png");  // an existing file is taken whole
  EXPECT_EQ(e->FileName(), Dir + "mit Blank/bild 1.png");
  e->SetFileName("/a b/c.png");
  EXPECT_EQ(e->Text(), "\"/a b/c.png\"");
  e->SetFileName("/ab/c.png");
  EXPECT_EQ(e->Text(), "/ab/c.png");
  try {
    e->SetFileName("a|b");
    FAIL() << "no error";
  } catch (const EInvalidFileName& x) {
    EXPECT_STREQ(x.what(), "Ungültiger Dateiname - a|b");
  }
  EXPECT_EQ(e->Text(), "/ab/c.png");
}

TEST_F(FileEditTest, TheButtonOpensTheDialogAndTheChoiceLandsInTheText) {
  auto* e = Make<TFilenameEdit>();
  e->SetFilter("Bilder|*.png;*.jpg|Leer||Alle|*.*");
  e->SetFilterIndex(2);
  e->SetDefaultExt("png");
  e->SetText(Dir + "plain.png");
  std::vector<std::string> log;
  e->OnBeforeDialog = [&](TObject*, std::string& Name, bool&) { log.push_back("before " + Name); };
  e->OnAfterDialog = [&](TObject*, std::string& Name, bool& Action) {
    log.push_back("after " + Name + (Action ? " ok" : " cancel"));
  };
  TFileDialogRequest seen;
  AnswerFileDialog([&](TFileDialogSession& S) {
    seen = S.Request();
    S.SelectFile(Dir + "mit Blank/bild 1.png");
    S.PressOK();
  });
  e->Button()->PerformButtonClick();
  EXPECT_EQ(PendingFileDialogAnswers(), 0);
  EXPECT_EQ(seen.Title, "Durchsuchen");
  EXPECT_EQ(seen.Filter, "Bilder|*.png;*.jpg|Alle|*.*");  // the entry without a pattern is left out
  EXPECT_EQ(seen.FilterIndex, 2);
  EXPECT_EQ(seen.DefaultExt, "png");
  EXPECT_FALSE(seen.Save);
  EXPECT_EQ(seen.InitialDir, Dir.substr(0, Dir.size() - 1));
  EXPECT_EQ(seen.FileName, Dir + "plain.png");
  const std::string chosen = Dir + "mit Blank/bild 1.png";
  EXPECT_EQ(e->Text(), "\"" + chosen + "\"");
  EXPECT_EQ(e->FileName(), chosen);
  EXPECT_EQ(e->InitialDir(), Dir + "mit Blank");
  EXPECT_EQ(log, (std::vector<std::string>{"before " + Dir + "plain.png", "after " + chosen + " ok"}));
  EXPECT_EQ(e->HistoryList(), std::vector<std::string>{chosen});

  // A save dialog next; the history goes to the dialog and keeps the newest first.
  e->SetDialogKind(dkSave);
  AnswerFileDialog([&](TFileDialogSession& S) {
    seen = S.Request();
    S.EnterFolder(Dir);
    S.SetFileNameText("neu.png");
    S.PressOK();
  });
  SynthKey(e, VK_DOWN, {ssAlt});  // the click key
  EXPECT_TRUE(seen.Save);
  EXPECT_EQ(seen.History, std::vector<std::string>{chosen});
  EXPECT_EQ(e->Text(), Dir + "neu.png");
  EXPECT_EQ(e->HistoryList(), (std::vector<std::string>{Dir + "neu.png", chosen}));

  // Cancelled: the text stays; a handler clearing Action before the dialog stops it.
  log.clear();
  AnswerFileDialog([](TFileDialogSession& S) { S.PressCancel(); });
  e->DoClick();
  EXPECT_EQ(e->Text(), Dir + "neu.png");
  e->OnBeforeDialog = [&](TObject*, std::string&, bool& Action) { Action = false; };
  AnswerFileDialog([](TFileDialogSession& S) { S.PressCancel(); });
  e->DoClick();
  EXPECT_EQ(PendingFileDialogAnswers(), 1);  // no dialog ran
  e->OnBeforeDialog = nullptr;
  e->DoClick();  // takes the pending answer
  EXPECT_EQ(PendingFileDialogAnswers(), 0);
}

TEST_F(FileEditTest, ANameTheDialogCannotTakeNeverReachesIt) {
  auto* e = Make<TFilenameEdit>();
  e->SetInitialDir(Dir + "mit Blank");
  for (const std::string& text : {Dir + "*.png", Dir + "a|b.png", std::string("\"") + Dir + "x?.png\"", Dir}) {
    e->SetText(text);
    TFileDialogRequest seen;
    AnswerFileDialog([&](TFileDialogSession& S) {
      seen = S.Request();
      S.PressCancel();
    });
    e->DoClick();
    EXPECT_EQ(seen.FileName, "") << text;
    EXPECT_EQ(seen.Filter, "Alle Dateien (*.*)|*.*") << text;
    EXPECT_EQ(e->Text(), text);
  }
  // A filter with no usable entry falls back to all files.
  e->SetFilter("Nichts|");
  TFileDialogRequest seen;
  AnswerFileDialog([&](TFileDialogSession& S) {
    seen = S.Request();
    S.PressCancel();
  });
  e->DoClick();
  EXPECT_EQ(seen.Filter, "Alle Dateien (*.*)|*.*");
}

TEST_F(FileEditTest, ButtonRulesReadOnlyAndWidth) {
  auto* e = Make<TFilenameEdit>();
  int clicks = 0;
  e->OnButtonClick = [&](TObject*) { ++clicks; };
  e->OnBeforeDialog = [](TObject*, std::string&, bool& Action) { Action = false; };
  e->SetReadOnly(true);
  e->Button()->PerformButtonClick();
  SynthKey(e, VK_DOWN, {ssAlt});
  EXPECT_EQ(clicks, 0);
  e->SetAlwaysEnable(true);
  e->Button()->PerformButtonClick();
  EXPECT_EQ(clicks, 1);
  e->SetReadOnly(false);
  e->SetButtonWidth(0);
  EXPECT_FALSE(e->Button()->Parent()->Visible());
  SynthKey(e, VK_DOWN, {ssAlt});
  EXPECT_EQ(clicks, 1);
  e->SetButtonWidth(30);
  EXPECT_EQ(e->Button()->Parent()->Width(), 30);
  SynthKey(e, VK_DOWN, {ssAlt});
  EXPECT_EQ(clicks, 2);
  e->SetGlyphKind(gkDropDown);
  EXPECT_EQ(e->ButtonWidth(), SystemScrollBarWidth());
  e->SetButtonWidth(50);  // fixed for the drop-down kind
  EXPECT_EQ(e->ButtonWidth(), SystemScrollBarWidth());
  e->SetGlyphKind(gkEllipsis);
  e->SetButtonWidth(21);
  EXPECT_EQ(e->NumGlyphs(), 1);
  // Too low for its font: raised to the least height.
  e->SetHeight(4);
  EXPECT_EQ(e->Height(), e->MinHeight());
  EXPECT_GT(e->Height(), 10);
}

TEST_F(FileEditTest, DroppedFilesFillTheEditOnlyWhenAccepted) {
  auto* e = Make<TFilenameEdit>();
  const std::string blank = Dir + "mit Blank/bild 1.png";
  EXPECT_FALSE(DropFilesOn(e, {blank}));
  EXPECT_EQ(e->Text(), "");
  int drops = 0;
  e->OnDropFiles = [&](TObject*) { ++drops; };
  e->SetAcceptFiles(true);
  ASSERT_TRUE(DropFilesOn(e, {blank, Dir + "plain.png"}));
  EXPECT_EQ(e->Text(), "\"" + blank + "\"");  // one pair of quotes, no more
  EXPECT_EQ(e->FileName(), blank);
  EXPECT_EQ(drops, 1);
  // A name that arrives quoted loses that pair once and is quoted once again.
  e->FilesDropped({"\"" + blank + "\""});
  EXPECT_EQ(e->Text(), "\"" + blank + "\"");
  // With several allowed, every name goes to the file list, the first to the text.
  e->SetDialogOptions({ofAllowMultiSelect});
  ASSERT_TRUE(DropFilesOn(e, {Dir + "plain.png", blank}));
  EXPECT_EQ(e->Text(), Dir + "plain.png");
  EXPECT_EQ(e->Files(), (std::vector<std::string>{Dir + "plain.png", blank}));
  e->SetAcceptFiles(false);
  EXPECT_FALSE(DropFilesOn(e, {blank}));

  Form->Repaint();
  const auto shot = GrabControl(e);
  ASSERT_NE(shot, nullptr);
  SaveShot(*shot, "file_edit.png");
}

TEST_F(FileEditTest, TheFolderEditOpensTheChooserAndAppendsWithSeveralFolders) {
  auto* d = Make<TDirectoryEdit>();
  EXPECT_EQ(d->DialogKind(), dkVCL);
  EXPECT_FALSE(d->MultipleDirs());
  std::string start, text;
  AnswerFolderDialog([&](TFolderDialogSession& S) {
    start = S.Selection();
    text = S.Request().Text;
    S.SetSelection(Dir + "mit Blank");
    return true;
  });
  d->SetDialogText("Ordner wählen");
  d->DoClick();
  EXPECT_EQ(start, "/");  // no text, no initial folder: the root
  EXPECT_EQ(text, "");    // the text belongs to the other kind of dialog
  EXPECT_EQ(d->Text(), Dir + "mit Blank");
  EXPECT_EQ(d->InitialDir(), Dir + "mit Blank");

  d->SetDialogKind(dkWin32);
  d->SetMultipleDirs(true);
  AnswerFolderDialog([&](TFolderDialogSession& S) {
    start = S.Selection();
    text = S.Request().Text;
    S.SetSelection(Dir.substr(0, Dir.size() - 1));
    return true;
  });
  d->DoClick();
  EXPECT_EQ(start, Dir + "mit Blank");  // the text's folder
  EXPECT_EQ(text, "Ordner wählen");
  EXPECT_EQ(d->Text(), Dir + "mit Blank;" + Dir.substr(0, Dir.size() - 1));
  // Two folders are no folder: the chooser starts at the root.
  AnswerFolderDialog([&](TFolderDialogSession& S) {
    start = S.Selection();
    return false;
  });
  d->DoClick();
  EXPECT_EQ(start, "/");
  EXPECT_EQ(d->Text(), Dir + "mit Blank;" + Dir.substr(0, Dir.size() - 1));

  // A dropped file gives its folder; a name that is no file is taken as it is.
  d->SetMultipleDirs(false);
  d->SetAcceptFiles(true);
  ASSERT_TRUE(DropFilesOn(d, {Dir + "mit Blank/bild 1.png"}));
  EXPECT_EQ(d->Text(), Dir + "mit Blank");
  ASSERT_TRUE(DropFilesOn(d, {Dir.substr(0, Dir.size() - 1)}));
  EXPECT_EQ(d->Text(), Dir.substr(0, Dir.size() - 1));
}

}  // namespace
}  // namespace kv

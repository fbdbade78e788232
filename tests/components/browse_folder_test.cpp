// The folder chooser driven by script: selection, the OK rule, help and the result.
#include <gtest/gtest.h>

#include <filesystem>

#include "components/browse_folder.h"
#include "platform/ui/application.h"
#include "platform/ui/folder_dialog.h"
#include "platform/rtl/file_utils.h"
#include "support/temp_files.h"

namespace kv {
namespace {

class BrowseFolderTest : public test::TTempFolderTest {};

TEST_F(BrowseFolderTest, AnExistingFolderIsChosenWithoutItsTrailingDelimiter) {
  std::filesystem::create_directories(Dir + "Bilder");
  TBrowseFolderDlg d(nullptr);
  EXPECT_EQ(d.BrowseKind(), bfFolders);
  EXPECT_TRUE(d.DesktopRoot());
  EXPECT_EQ(d.Position(), dpScreenCenter);
  d.SetFolderName(Dir);  // exists: the dialog opens on it
  d.SetDialogText("Ordner wählen");
  int inits = 0, changes = 0;
  std::string start;
  d.OnInitialized = [&](TObject*) { ++inits; };
  d.OnSelChanged = [&](TObject*) { ++changes; };
  AnswerFolderDialog([&](TFolderDialogSession& S) {
    start = S.Selection();
    EXPECT_FALSE(S.HasHelpButton());  // no help context
    S.SetSelection(Dir + "Bilder/");
    EXPECT_TRUE(S.OKEnabled());
    EXPECT_EQ(d.DisplayName(), "Bilder");
    return true;
  });
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(start, Dir);
  EXPECT_EQ(d.FolderName(), Dir + "Bilder");
  EXPECT_EQ(inits, 1);
  EXPECT_EQ(changes, 2);  // the initial selection and the user's
}

TEST_F(BrowseFolderTest, AMissingFolderCannotBeConfirmedAndCancelKeepsTheFolder) {
  std::string folder = Dir;
  AnswerFolderDialog([&](TFolderDialogSession& S) {
    S.SetSelection(Dir + "fehlt");
    EXPECT_FALSE(S.OKEnabled());
    return true;
  });
  EXPECT_FALSE(PickFolder(folder, "Text", 0));
  EXPECT_EQ(folder, Dir);
  AnswerFolderDialog([](TFolderDialogSession&) { return false; });
  EXPECT_FALSE(PickFolder(folder, "Text", 0));
  EXPECT_EQ(folder, Dir);
}

TEST_F(BrowseFolderTest, AHelpContextAddsAHelpButton) {
  int32_t asked = 0;
  Application->OnHelp = [&](uint16_t Command, intptr_t Data, bool&) {
    if (Command == HELP_CONTEXT) asked = static_cast<int32_t>(Data);
    return true;
  };
  std::string folder = Dir;
  AnswerFolderDialog([](TFolderDialogSession& S) {
    EXPECT_TRUE(S.HasHelpButton());
    S.PressHelp();
    return true;
  });
  EXPECT_TRUE(PickFolder(folder, "Text", 417));
  Application->OnHelp = nullptr;
  EXPECT_EQ(asked, 417);
  EXPECT_EQ(folder, ExcludeTrailingPathDelimiter(Dir));
}

}  // namespace
}  // namespace kv

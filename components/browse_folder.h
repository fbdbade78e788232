// TBrowseFolderDlg: the folder chooser of the interface components, and PickFolder.
#pragma once
#include <cstdint>
#include <string>

#include "platform/rtl/component.h"

namespace kv {

class TFolderDialogSession;

enum TBrowseKind : uint8_t { bfFolders, bfComputers };
enum TDialogPosition : uint8_t { dpDefault, dpScreenCenter };

class TBrowseFolderDlg : public TComponent {
 public:
  explicit TBrowseFolderDlg(TComponent* AOwner);

  TBrowseKind BrowseKind() const { return FBrowseKind; }
  void SetBrowseKind(TBrowseKind Value) { FBrowseKind = Value; }
  bool DesktopRoot() const { return FDesktopRoot; }
  void SetDesktopRoot(bool Value) { FDesktopRoot = Value; }
  const std::string& DialogText() const { return FDialogText; }
  void SetDialogText(const std::string& Value) { FDialogText = Value; }
  const std::string& FolderName() const { return FFolderName; }
  void SetFolderName(const std::string& Value) { FFolderName = Value; }
  int32_t HelpContext() const { return FHelpContext; }
  void SetHelpContext(int32_t Value) { FHelpContext = Value; }
  TDialogPosition Position() const { return FPosition; }
  void SetPosition(TDialogPosition Value) { FPosition = Value; }

  // The selection while the dialog runs: its name as shown (at most 260
  // characters), its path, and its icon's index (always 0 here).
  const std::string& DisplayName() const { return FDisplayName; }
  const std::string& SelectedName() const { return FSelectedName; }
  int32_t ImageIndex() const { return FImageIndex; }
  // The dialog's session while it runs (for OnInitialized and OnSelChanged), else nullptr.
  TFolderDialogSession* Session() const { return FSession; }

  // Runs the dialog; true when the user confirmed. FolderName then holds the
  // choice (a folder without its trailing delimiter, or a computer's name).
  bool Execute();

  TNotifyEvent OnInitialized;
  TNotifyEvent OnSelChanged;

  const TPropertyTable& PropertyTable() const override;

 private:
  void SelChanged(TFolderDialogSession& S, const std::string& Path);

  TBrowseKind FBrowseKind = bfFolders;
  bool FDesktopRoot = true;
  std::string FDialogText;
  std::string FFolderName;
  int32_t FHelpContext = 0;
  TDialogPosition FPosition = dpScreenCenter;
  std::string FDisplayName;
  std::string FSelectedName;
  int32_t FImageIndex = 0;
  TFolderDialogSession* FSession = nullptr;
};

// Lets the user pick a folder; Folder changes only when the user confirms.
bool PickFolder(std::string& Folder, const std::string& DialogText, int32_t HelpContext);

}  // namespace kv

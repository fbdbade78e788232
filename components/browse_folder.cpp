// The folder chooser on the platform's folder dialog.
#include "components/browse_folder.h"

#include <cstdlib>

#include "components/str_utils.h"
#include "platform/rtl/file_utils.h"
#include "platform/ui/application.h"
#include "platform/ui/folder_dialog.h"
#include "platform/ui/forms.h"

namespace kv {

TBrowseFolderDlg::TBrowseFolderDlg(TComponent* AOwner) : TComponent(AOwner) {}

void TBrowseFolderDlg::SelChanged(TFolderDialogSession& S, const std::string& Path) {
  FSelectedName = Path;
  std::string name = ExtractFileName(RemoveTrailingBackslash(Path));
  if (name.empty()) name = Path;
  FDisplayName = name.substr(0, 260);
  if (FBrowseKind == bfComputers) FSelectedName = FDisplayName;
  // Only an existing folder can be chosen.
  else S.EnableOK(!Path.empty() && FolderExists(Path));
  if (OnSelChanged) OnSelChanged(this);
}

bool TBrowseFolderDlg::Execute() {
  TFolderDialogRequest r;
  r.Title = Application ? Application->Title() : std::string();
  r.Text = FDialogText;
  // Desktop, network and drives have one stand-in each here: the home folder or the root.
  const char* home = std::getenv("HOME");
  r.Root = FBrowseKind == bfFolders && FDesktopRoot && home ? std::string(home) : std::string("/");
  r.CenterOnScreen = FPosition == dpScreenCenter;
  if (FHelpContext != 0) {
    r.HelpCaption = "&Hilfe";
    r.OnHelp = [this] {
      if (Application) Application->HelpContext(FHelpContext);
    };
  }
  r.OnInitialized = [this](TFolderDialogSession& S) {
    FSession = &S;
    if (!FFolderName.empty() && (FBrowseKind == bfComputers || FolderExists(FFolderName))) S.SetSelection(FFolderName);
    if (OnInitialized) OnInitialized(this);
  };
  r.OnSelChanged = [this](TFolderDialogSession& S, const std::string& Path) {
    FSession = &S;
    SelChanged(S, Path);
  };
  TCustomForm* active = Screen ? Screen->ActiveForm() : nullptr;
  std::string chosen;
  bool ok;
  try {
    ok = BrowseForFolder(r, chosen);
  } catch (...) {
    FSession = nullptr;
    throw;
  }
  FSession = nullptr;
  if (active && Screen) {
    for (int32_t i = 0; i < Screen->FormCount(); ++i)
      if (Screen->Forms(i) == active && active->Visible()) active->BringToFront();
  }
  if (!ok) return false;
  if (FBrowseKind == bfComputers) {
    std::string name = ExtractFileName(RemoveTrailingBackslash(chosen));
    FFolderName = name.empty() ? chosen : name.substr(0, 260);
  } else {
    FFolderName = RemoveTrailingBackslash(chosen);
  }
  return true;
}

const TPropertyTable& TBrowseFolderDlg::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TBrowseFolderDlg>(TComponent::PropertyTable(), [](auto& p) {
    p.Enum("BrowseKind", &TBrowseFolderDlg::BrowseKind, &TBrowseFolderDlg::SetBrowseKind, {"bfFolders", "bfComputers"});
    p.Bool("DesktopRoot", &TBrowseFolderDlg::DesktopRoot, &TBrowseFolderDlg::SetDesktopRoot);
    p.String("DialogText", &TBrowseFolderDlg::DialogText, &TBrowseFolderDlg::SetDialogText);
    p.String("FolderName", &TBrowseFolderDlg::FolderName, &TBrowseFolderDlg::SetFolderName);
    p.Integer("HelpContext", &TBrowseFolderDlg::HelpContext, &TBrowseFolderDlg::SetHelpContext);
    p.Enum("Position", &TBrowseFolderDlg::Position, &TBrowseFolderDlg::SetPosition, {"dpDefault", "dpScreenCenter"});
    p.Method("OnInitialized").Method("OnSelChanged");
  });
  return table;
}

bool PickFolder(std::string& Folder, const std::string& DialogText, int32_t HelpContext) {
  TBrowseFolderDlg d(nullptr);
  d.SetFolderName(Folder);
  d.SetDialogText(DialogText);
  d.SetHelpContext(HelpContext);
  if (!d.Execute()) return false;
  Folder = d.FolderName();
  return true;
}

}  // namespace kv

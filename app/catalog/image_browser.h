// The image browser: the pictures of one folder as a catalog grid beside the
// folder choice, with file operations on the selected pictures (cut, copy,
// paste, delete to the trash, rename, lossless JPEG transforms, sound and
// text comments).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/forms.h"
#include "platform/ui/frames.h"

namespace kv {

class Tcatalogframe;
class TdfsSystemComboBox;
class TdfsSystemTreeView;
class TKvSplitter;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TSpeedButton;
class Tform1;
class tformstorage1;

// The file actions, in the order of their buttons and of the right-click menu.
enum TBrowserAction : uint8_t {
  baCut, baCopy, baPaste, baDelete, baRename, baLossless, baTextComment, baSoundPlay, baSoundRecord,
};
inline constexpr int32_t kBrowserActionCount = 9;
const char* BrowserActionCaption(TBrowserAction Action);

class TBrowserFrame : public TFrame {
 public:
  explicit TBrowserFrame(TComponent* AOwner);
  ~TBrowserFrame() override;

  TPanel* Panel1 = nullptr;  // the folder side
  TdfsSystemComboBox* TdfsSystemComboBox1 = nullptr;
  TdfsSystemTreeView* TdfsSystemTreeView1 = nullptr;
  TKvSplitter* KvSplitter1 = nullptr;
  TPanel* Panel2 = nullptr;  // the buttons above the grid
  TSpeedButton* ArrangeButton = nullptr;
  TSpeedButton* Sort1Button = nullptr;
  TSpeedButton* Sort2Button = nullptr;
  TSpeedButton* ActionButtons[kBrowserActionCount] = {};
  Tcatalogframe* catalogframe1 = nullptr;
  TPopupMenu* FilePopup = nullptr;
  tformstorage1* formstorage1 = nullptr;

  // The arrangement menu ("Ansicht") and the two sort menus; the buttons pop
  // them up at their right edge.
  TMenuItem& ArrangeMenu() { return *FArrange; }
  TMenuItem& Sort1Menu() { return *FSort1; }
  TMenuItem& Sort2Menu() { return *FSort2; }

  const std::string& Directory() const { return FDirectory; }
  // Shows the folder: the grid lists its pictures again.
  void SetDirectory(const std::string& Folder);
  // The folder's pictures by the browser's sort, the grid repainted.
  void ListFolder();
  // The selected files (full paths, sorted).
  std::vector<std::string> SelectedFiles() const;
  // Enables the transform and the playing of comments by the selection.
  void SelectionChanged();
  bool ActionEnabled(TBrowserAction Action) const;
  void RunAction(TBrowserAction Action);

  void CutClick(TObject* Sender);
  void CopyClick(TObject* Sender);
  void PasteClick(TObject* Sender);
  void DeleteClick(TObject* Sender);
  void RenameClick(TObject* Sender);
  void LosslessClick(TObject* Sender);
  void TextCommentClick(TObject* Sender);
  void SoundPlayClick(TObject* Sender);
  void SoundRecordClick(TObject* Sender);
  void SortMenuClick(TObject* Sender);
  void ArrangeMenuClick(TObject* Sender);

 private:
  void TreeChange();
  void CopyOrCut(bool Cut);
  void PopupAtButton(TMenuItem& Menu, TSpeedButton& Button);
  void ApplyArrangement();
  TMenuItem* FArrange = nullptr;
  TMenuItem* FSort1 = nullptr;
  TMenuItem* FSort2 = nullptr;
  std::string FDirectory;
};

class Tbrowserform : public TForm {
 public:
  explicit Tbrowserform(TComponent* AOwner);
  ~Tbrowserform() override;
  TBrowserFrame* BrowserFrame1 = nullptr;
};

// The browser window of the main window: made on first use, then shown again.
Tbrowserform& ShowImageBrowser(Tform1& Form);

}  // namespace kv

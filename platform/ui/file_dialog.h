// The file open and save dialogs over Qt's own (non-native) file dialog,
// with room for the caller's controls: a side area right of the standard
// controls and a bottom area below them, both windowed controls the caller
// parents its own panels to. Like every dialog it can be answered by a
// script that works the real dialog, so a test never waits for a person.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/set.h"

namespace kv {

enum TOpenOption : uint8_t {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
  ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
  ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks,
  ofEnableIncludeNotify, ofEnableSizing
};
using TOpenOptions = TSet<TOpenOption, 32>;

class TWinControl;
struct TFileDialogRequest;

// The dialog while it runs, for the caller's notifications and for scripts.
class TFileDialogSession {
 public:
  virtual ~TFileDialogSession() = default;
  // Where the caller's controls go; the bottom area is null unless asked for.
  virtual TWinControl* SideArea() = 0;
  virtual TWinControl* BottomArea() = 0;
  // The full path selected now (empty when none).
  virtual std::string CurrentPath() const = 0;
  virtual std::string Folder() const = 0;
  // 1-based index of the filter shown, and its patterns ("*.tif;*.tiff").
  virtual int32_t FilterIndex() const = 0;
  virtual std::string FilterPattern() const = 0;
  // The text of the file-name field.
  virtual std::string FileNameText() const = 0;
  virtual void SetFileNameText(const std::string& Text) = 0;
  // The extension (without dot) added to a typed name that has none.
  virtual void SetDefaultExt(const std::string& Ext) = 0;
  // What the dialog was asked to show.
  virtual const TFileDialogRequest& Request() const = 0;

  // What the user does. Each raises the request's notification as the dialog would.
  virtual void SelectFile(const std::string& Path) = 0;
  virtual void EnterFolder(const std::string& Path) = 0;
  virtual void SelectFilter(int32_t Index) = 0;
  // OK: true when the dialog closed (OnFileOK may keep it open).
  virtual bool PressOK() = 0;
  virtual void PressCancel() = 0;
};

struct TFileDialogRequest {
  bool Save = false;
  bool MultiSelect = false;
  bool FileMustExist = false;
  bool OverwritePrompt = false;
  std::string Title;
  std::string InitialDir;
  std::string FileName;
  // "Description|*.a;*.b|Description|*.c" as the platform's dialogs take it.
  std::string Filter;
  int32_t FilterIndex = 1;
  std::string DefaultExt;
  // Names chosen before, the newest first (the dialog's history).
  std::vector<std::string> History;
  int32_t SideWidth = 0;     // 0: no side area
  int32_t BottomHeight = 0;  // 0: no bottom area
  // The list of places beside the files.
  bool PlacesBar = true;
  // Centred x = (screen - width) / 2, y = (screen - height) / 3.
  bool Center = true;

  std::function<void(TFileDialogSession&)> OnShow;           // the areas exist, nothing shown yet
  std::function<void(TFileDialogSession&)> OnSelectionChange;
  std::function<void(TFileDialogSession&)> OnFolderChange;
  std::function<void(TFileDialogSession&)> OnTypeChange;      // the filter index changed
  // The names chosen; false keeps the dialog open.
  std::function<bool(TFileDialogSession&, const std::vector<std::string>& Files)> OnFileOK;
  std::function<void(TFileDialogSession&)> OnClose;           // before the areas go
};

struct TFileDialogResult {
  std::vector<std::string> Files;  // absolute paths
  int32_t FilterIndex = 1;
};

// Runs the dialog modally; true when the user chose.
bool RunFileDialog(const TFileDialogRequest& Request, TFileDialogResult& Result);

// Tests: the next file dialogs are worked by these scripts, first in first
// out, while the real dialog runs. A script that neither presses OK (with
// success) nor Cancel leaves a dialog that is then cancelled.
using TFileDialogScript = std::function<void(TFileDialogSession& Session)>;
void AnswerFileDialog(TFileDialogScript Script);
int32_t PendingFileDialogAnswers();

// "Description|pattern|..." split into (description, pattern) pairs.
std::vector<std::pair<std::string, std::string>> SplitDialogFilter(const std::string& Filter);

}  // namespace kv

// Edits for a file name or a folder: the button opens the file dialog or the
// folder chooser, and files dropped on the edit fill it.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/controls/combo_edit.h"
#include "platform/ui/file_dialog.h"

namespace kv {

// Before and after the dialog: the name may be changed; clearing Action cancels.
using TExecOpenDialogEvent = std::function<void(TObject* Sender, std::string& Name, bool& Action)>;

// "Ungültiger Dateiname - %s"
class EInvalidFileName : public Exception {
 public:
  using Exception::Exception;
};

// True when the name has no character that is invalid in a file name here
// (control characters, wildcards and the characters the dialogs' filters and
// command lines use: * ? " < > |).
bool FileNameIsValid(const std::string& Name);

// The folder glyph of the file and folder edits, drawn here.
void MakeFileEditGlyph(TBitmap& Glyph);

class TFileDirEdit : public TCustomComboEdit {
 public:
  explicit TFileDirEdit(TComponent* AOwner);
  ~TFileDirEdit() override;

  bool AcceptFiles() const { return FAcceptFiles; }
  void SetAcceptFiles(bool Value);
  bool MultipleDirs() const { return FMultipleDirs; }

  // The name in its long and short forms (the same on this file system).
  virtual std::string LongName() const = 0;
  virtual std::string ShortName() const = 0;

  TExecOpenDialogEvent OnBeforeDialog;
  TExecOpenDialogEvent OnAfterDialog;
  TNotifyEvent OnDropFiles;

  const TPropertyTable& PropertyTable() const override;

  // ---- for the drop target ----
  void FilesDropped(const std::vector<std::string>& Files);

 protected:
  void DefaultGlyph(TBitmap& Glyph) override;
  void CreateWnd() override;
  virtual void ReceptFileDir(const std::string& AFileName) = 0;
  virtual void ClearFileList() {}
  virtual void DoAfterDialog(std::string& FileName, bool& Action);
  virtual void DoBeforeDialog(std::string& FileName, bool& Action);
  void UpdateDropTarget();

  bool FMultipleDirs = false;

 private:
  bool FAcceptFiles = false;
};

enum TFileDialogKind : uint8_t { dkOpen, dkSave, dkOpenPicture, dkSavePicture };
enum TFileEditStyle : uint8_t { fsEdit, fsComboBox };

class TFilenameEdit : public TFileDirEdit {
 public:
  explicit TFilenameEdit(TComponent* AOwner);

  // The text when it names an existing file, else its first item as a command line.
  std::string FileName() const;
  // EInvalidFileName for a name whose first item is no valid file name.
  void SetFileName(const std::string& Value);
  TFileDialogKind DialogKind() const { return FDialogKind; }
  void SetDialogKind(TFileDialogKind Value) { FDialogKind = Value; }
  const std::string& DefaultExt() const { return FDefaultExt; }
  void SetDefaultExt(const std::string& Value) { FDefaultExt = Value; }
  TFileEditStyle FileEditStyle() const { return FFileEditStyle; }
  void SetFileEditStyle(TFileEditStyle Value) { FFileEditStyle = Value; }
  const std::string& Filter() const { return FFilter; }
  void SetFilter(const std::string& Value) { FFilter = Value; }
  int32_t FilterIndex() const { return FFilterIndex; }
  void SetFilterIndex(int32_t Value) { FFilterIndex = Value; }
  const std::string& InitialDir() const { return FInitialDir; }
  void SetInitialDir(const std::string& Value) { FInitialDir = Value; }
  // Names chosen before, the newest first; the dialog offers them.
  const std::vector<std::string>& HistoryList() const { return FHistoryList; }
  void SetHistoryList(const std::vector<std::string>& Value) { FHistoryList = Value; }
  TOpenOptions DialogOptions() const { return FDialogOptions; }
  void SetDialogOptions(TOpenOptions Value);
  const std::string& DialogTitle() const { return FDialogTitle; }
  void SetDialogTitle(const std::string& Value) { FDialogTitle = Value; }
  // The names the dialog chose, or that were dropped, when several may be.
  const std::vector<std::string>& Files() const { return FFiles; }

  std::string LongName() const override;
  std::string ShortName() const override;

  const TPropertyTable& PropertyTable() const override;

 protected:
  void ButtonClick() override;
  void ReceptFileDir(const std::string& AFileName) override;
  void ClearFileList() override { FFiles.clear(); }

 private:
  // The filter the dialog gets: the entries that have a pattern, else the default.
  std::string DialogFilter() const;

  TFileDialogKind FDialogKind = dkOpen;
  std::string FDefaultExt;
  TFileEditStyle FFileEditStyle = fsEdit;
  std::string FFilter;
  int32_t FFilterIndex = 1;
  std::string FInitialDir;
  std::vector<std::string> FHistoryList;
  TOpenOptions FDialogOptions{ofHideReadOnly};
  std::string FDialogTitle;
  std::vector<std::string> FFiles;
};

enum TDirDialogKind : uint8_t { dkVCL, dkWin32 };
enum TSelectDirOpt : uint8_t { sdAllowCreate, sdPerformCreate, sdPrompt };
using TSelectDirOpts = TSet<TSelectDirOpt, 8>;

class TDirectoryEdit : public TFileDirEdit {
 public:
  explicit TDirectoryEdit(TComponent* AOwner);

  TDirDialogKind DialogKind() const { return FDialogKind; }
  void SetDialogKind(TDirDialogKind Value) { FDialogKind = Value; }
  const std::string& DialogText() const { return FDialogText; }
  void SetDialogText(const std::string& Value) { FDialogText = Value; }
  TSelectDirOpts DialogOptions() const { return FDialogOptions; }
  void SetDialogOptions(TSelectDirOpts Value) { FDialogOptions = Value; }
  const std::string& InitialDir() const { return FInitialDir; }
  void SetInitialDir(const std::string& Value) { FInitialDir = Value; }
  void SetMultipleDirs(bool Value) { FMultipleDirs = Value; }

  std::string LongName() const override;
  std::string ShortName() const override;

  const TPropertyTable& PropertyTable() const override;

 protected:
  void ButtonClick() override;
  void ReceptFileDir(const std::string& AFileName) override;

 private:
  TDirDialogKind FDialogKind = dkVCL;
  std::string FDialogText;
  TSelectDirOpts FDialogOptions;
  std::string FInitialDir;
};

}  // namespace kv

// The open and save dialogs with preview. The open dialog shows beside the
// file list a preview of the selected file (a single-image view for still
// pictures, the frames of an animated GIF, a multi-page TIFF or an AVI with a
// play button), a zoom list and information lines about it; the save dialog
// lists only the formats that can be written and its "Advanced..." button
// opens the format parameters dialog on the attached I/O component.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "imaging/formats/imager_io.h"
#include "imaging/model/words.h"
#include "imaging/views/frames_preview.h"
#include "imaging/views/imager_view.h"
#include "platform/rtl/component.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/button.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/panel.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"

namespace kv {

using TIMCanCloseEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// The dialog base: common properties and events, and the dialog window while it runs.
class TIMCommonDialog : public TComponent {
 public:
  explicit TIMCommonDialog(TComponent* AOwner);
  ~TIMCommonDialog() override;

  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value) { FCtl3D = Value; }
  int32_t HelpContext() const { return FHelpContext; }
  void SetHelpContext(int32_t Value) { FHelpContext = Value; }
  TMsgLanguage MsgLanguage() const { return FMsgLanguage; }
  void SetMsgLanguage(TMsgLanguage Value) { FMsgLanguage = Value; }
  bool ShowPlacesBar() const { return FShowPlacesBar; }
  void SetShowPlacesBar(bool Value) { FShowPlacesBar = Value; }
  bool ExtendedDialog() const { return FExtendedDialog; }
  void SetExtendedDialog(bool Value) { FExtendedDialog = Value; }
  // The dialog template in use ("IDD_IMTEMPLATE" with the preview).
  const std::string& Template() const { return FTemplate; }
  // The running dialog, null while it is not open.
  TFileDialogSession* Session() const { return FSession; }

  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

  const TPropertyTable& PropertyTable() const override;

 protected:
  virtual void DoShow();
  virtual void DoClose();

  bool FCtl3D = true;
  int32_t FHelpContext = 0;
  TMsgLanguage FMsgLanguage = msSystem;
  bool FShowPlacesBar = true;
  bool FExtendedDialog = true;
  std::string FTemplate;
  TFileDialogSession* FSession = nullptr;
};

enum TIMDBorderStyle : uint8_t { impsDefault, impsCropped, impsCropShadow };

class TOpenImagerDialog : public TIMCommonDialog {
 public:
  explicit TOpenImagerDialog(TComponent* AOwner);
  ~TOpenImagerDialog() override;

  TOpenOptions Options() const { return FOptions; }
  void SetOptions(TOpenOptions Value) { FOptions = Value; }
  const std::string& Filter() const { return FFilter; }
  void SetFilter(const std::string& Value) { FFilter = Value; }
  // The live index while the dialog is open.
  int32_t FilterIndex() const;
  void SetFilterIndex(int32_t Value) { FFilterIndex = Value; }
  const std::string& DefaultExt() const { return FDefaultExt; }
  void SetDefaultExt(const std::string& Value) { FDefaultExt = Value; }
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value) { FFileName = Value; }
  const std::string& InitialDir() const { return FInitialDir; }
  // Drops one trailing path delimiter unless it follows a drive colon or is the root.
  void SetInitialDir(const std::string& Value);
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }
  bool AutoSetFilter() const { return FAutoSetFilter; }
  void SetAutoSetFilter(bool Value) { FAutoSetFilter = Value; }
  bool AlwaysAnimate() const { return FAlwaysAnimate; }
  void SetAlwaysAnimate(bool Value) { FAlwaysAnimate = Value; }
  TIMDBorderStyle PreviewBorderStyle() const { return FPreviewBorderStyle; }
  void SetPreviewBorderStyle(TIMDBorderStyle Value);

  // The chosen files after Execute.
  TStringList& Files() { return FFiles; }
  // While open: the pattern of the selected filter entry.
  const std::string& CurrentFilter() const { return FCurrentFilter; }
  // While open, the full path selected in the dialog; otherwise FileName.
  virtual std::string GetFileName() const;
  // Runs the dialog; true when the user chose a file.
  virtual bool Execute();

  TIMCanCloseEvent OnCanClose;
  TNotifyEvent OnFolderChange;
  TNotifyEvent OnSelectionChange;
  TNotifyEvent OnTypeChange;

  // ---- the child controls ----
  TPanel* PicturePanel = nullptr;
  TComboBox* ZoomCombo = nullptr;
  TSpeedButton* PreviewButton = nullptr;
  TSpeedButton* PlayButton = nullptr;
  TImagerView* ImagerView = nullptr;
  TControl* ImagerMView = nullptr;  // the frames view, null without a frames preview
  TLabel* PicLabel1 = nullptr;
  TLabel* PicLabel2 = nullptr;
  TLabel* PicLabel3 = nullptr;
  TPanel* InfoPanel = nullptr;
  TLabel* InfoLabel1 = nullptr;
  TLabel* InfoLabel2 = nullptr;
  TButton* AdvancedButton = nullptr;
  TCheckBox* PreviewCheck = nullptr;
  TProgressBar* ProgressBar = nullptr;

  TImagerIO* IO() const { return FIO; }
  TIMFramesPreview* Frames() const { return FFrames.get(); }
  // The size and frame count of the selected file.
  int64_t SelectedFileSize() const { return FFileSize; }
  int32_t FrameCount() const { return FFrameCount; }

  // The enlarged preview of what the views show (PreviewButton, double-click).
  void ShowEnlargedPreview();
  // Puts information about a file into the five lines; null clears them.
  void ShowInfo(const TIOParamsVals* Params);

  const TPropertyTable& PropertyTable() const override;

 protected:
  // Runs the platform dialog with the component's settings.
  bool RunDialog(bool Save);
  virtual void ShowHandling(TFileDialogSession& S);
  virtual void CloseHandling(TFileDialogSession& S);
  virtual void SelectionHandling(TFileDialogSession& S);
  virtual void TypeChange(TFileDialogSession& S);
  void DoClose() override;

  // The texts from the word table in MsgLanguage.
  void UpdateWords();
  void ClearViews();
  void SetPlaying(bool Value);
  void ZoomChange(TObject* Sender);
  void PlayClick(TObject* Sender);
  void PreviewCheckClick(TObject* Sender);
  void LoadStill(const std::string& Path);
  void PreviewFailed();

  TOpenOptions FOptions{ofHideReadOnly};
  std::string FFilter;
  int32_t FFilterIndex = 1;
  std::string FDefaultExt;
  std::string FFileName;
  std::string FInitialDir;
  std::string FTitle;
  bool FAutoSetFilter = true;
  bool FAlwaysAnimate = false;
  TIMDBorderStyle FPreviewBorderStyle = impsDefault;
  TStringList FFiles;
  std::string FCurrentFilter;
  bool FAddAvi = true;          // the AVI entry is always in the filter
  bool FPreviewEnabled = true;
  int64_t FFileSize = 0;
  int32_t FFrameCount = 0;
  bool FInSelection = false;    // the selection handler is not re-entered
  std::string FDialogDefaultExt;
  TImagerIO* FIO = nullptr;     // owned, attached to ImagerView
  std::unique_ptr<TIMFramesPreview> FFrames;
};

enum TIMSaveDlgOptItem : uint8_t { sdShowPreview, sdShowAdvanced };
using TIMSaveDlgOpt = TSet<TIMSaveDlgOptItem, 8>;

class TSaveImagerDialog : public TOpenImagerDialog {
 public:
  explicit TSaveImagerDialog(TComponent* AOwner);
  ~TSaveImagerDialog() override;

  TIMSaveDlgOpt ExOptions() const { return FExOptions; }
  void SetExOptions(TIMSaveDlgOpt Value) { FExOptions = Value; }
  // Only a TImagerIO or a TImagerMIO is taken; anything else is ignored.
  TComponent* AttachedImagerIO() const { return FAttachedIO; }
  void SetAttachedImagerIO(TComponent* Value);

  std::string GetFileName() const override;
  bool Execute() override;
  // The "Advanced..." button: the parameters dialog of the attached component.
  void AdvancedClick(TObject* Sender);

  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void TypeChange(TFileDialogSession& S) override;

 private:
  TIMSaveDlgOpt FExOptions{sdShowPreview, sdShowAdvanced};
  // The record the dialog saves with: the I/O component's, or the first frame's.
  TIOParamsVals* AttachedParams() const;

  TComponent* FAttachedIO = nullptr;
  std::unique_ptr<TIOParamsVals> FSpare;  // the parameters before the dialog, for a cancel
};

}  // namespace kv

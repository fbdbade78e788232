// The open and save dialogs with preview: their controls, properties and the
// run of the platform dialog. The preview itself is in open_save_preview.cpp.
#include "imaging/views/open_save_dialog.h"

#include "imaging/views/frames_preview_mview.h"
#include "imaging/views/imager_mio.h"
#include "imaging/views/io_previews.h"
#include "imaging/views/open_save_filter.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

// The dialog buttons' pictures, drawn here.
void SetGlyph(TSpeedButton* Button, bool Play) {
  TBitmap g(16, 16, pf24bit);
  TCanvas& c = g.Canvas();
  c.Brush().SetColor(clBtnFace);
  c.FillRect(TRect{0, 0, 16, 16});
  c.Pen().SetColor(clBlack);
  c.Brush().SetColor(Play ? clGreen : clWhite);
  if (Play) {
    c.Polygon(std::vector<TPoint>{{4, 2}, {13, 8}, {4, 14}});
  } else {
    c.Ellipse(1, 1, 11, 11);
    c.MoveTo(9, 9);
    c.LineTo(15, 15);
  }
  Button->SetGlyph(g);
}

template <class T>
T* Make(TComponent* Owner, TWinControl* Parent, int32_t L, int32_t Top, int32_t W, int32_t H) {
  T* c = new T(Owner);
  if (Parent) c->SetParent(Parent);
  c->SetBounds(L, Top, W, H);
  return c;
}

TLabel* MakeLabel(TComponent* Owner, TWinControl* Parent, int32_t Top) {
  TLabel* l = new TLabel(Owner);
  l->SetParent(Parent);
  l->SetLeft(6);
  l->SetTop(Top);
  l->SetCaption("");
  return l;
}

}  // namespace

// ---- TIMCommonDialog ----

TIMCommonDialog::TIMCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
TIMCommonDialog::~TIMCommonDialog() = default;

void TIMCommonDialog::DoShow() {
  if (OnShow) OnShow(this);
}

void TIMCommonDialog::DoClose() {
  if (OnClose) OnClose(this);
}

const TPropertyTable& TIMCommonDialog::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TIMCommonDialog>(TComponent::PropertyTable(), [](auto& p) {
    p.Bool("Ctl3D", &TIMCommonDialog::Ctl3D, &TIMCommonDialog::SetCtl3D);
    p.Integer("HelpContext", &TIMCommonDialog::HelpContext, &TIMCommonDialog::SetHelpContext);
    p.Bool("ShowPlacesBar", &TIMCommonDialog::ShowPlacesBar, &TIMCommonDialog::SetShowPlacesBar);
    p.Bool("ExtendedDialog", &TIMCommonDialog::ExtendedDialog, &TIMCommonDialog::SetExtendedDialog);
  });
  return table;
}

// ---- TOpenImagerDialog ----

TOpenImagerDialog::TOpenImagerDialog(TComponent* AOwner) : TIMCommonDialog(AOwner) {
  FFilter = BuildOpenFilter();

  PicturePanel = Make<TPanel>(this, nullptr, 204, 5, 169, 200);
  PicturePanel->SetName("PicturePanel");
  PicturePanel->SetCaption("");
  PicturePanel->SetBevelOuter(bvNone);
  PicturePanel->SetBorderWidth(6);
  PicturePanel->SetAlign(alLeft);

  ZoomCombo = Make<TComboBox>(this, PicturePanel, 6, 5, 50, 21);
  ZoomCombo->SetName("ZoomCombo");
  ZoomCombo->SetHint("Zoom");
  ZoomCombo->OnChange = [this](TObject* Sender) { ZoomChange(Sender); };

  PreviewButton = Make<TSpeedButton>(this, PicturePanel, 60, 5, 23, 22);
  PreviewButton->SetName("PreviewButton");
  PreviewButton->SetFlat(true);
  SetGlyph(PreviewButton, false);
  PreviewButton->SetEnabled(false);
  PreviewButton->SetHint(IMGetMsg(0, FMsgLanguage));
  PreviewButton->OnClick = [this](TObject*) { ShowEnlargedPreview(); };

  PlayButton = Make<TSpeedButton>(this, PicturePanel, 85, 5, 23, 22);
  PlayButton->SetName("PlayButton");
  PlayButton->SetFlat(true);
  SetGlyph(PlayButton, true);
  PlayButton->SetGroupIndex(1);
  PlayButton->SetAllowAllUp(true);
  PlayButton->SetEnabled(false);
  PlayButton->SetHint(IMGetMsg(87, FMsgLanguage));
  PlayButton->OnClick = [this](TObject* Sender) { PlayClick(Sender); };

  ImagerView = Make<TImagerView>(this, PicturePanel, 6, 36, 133, 139);
  ImagerView->SetName("ImagerView");
  ImagerView->SetTabOrder(0);
  ImagerView->SetMouseInteract(TIMMouseInteract{miScroll});
  ImagerView->SetBackground(clWhite);
  ImagerView->SetBackgroundStyle(imbsSolid);
  ImagerView->SetBorderStyle(bsSingle);
  ImagerView->SetCenter(true);
  ImagerView->OnDblClick = [this](TObject*) { ShowEnlargedPreview(); };

  {
    const TIMFramesPreviewMaker& maker = FramesPreviewMaker();
    FFrames = maker ? maker(this, PicturePanel) : MakeMViewFramesPreview(this, PicturePanel);
    if (FFrames) {
      ImagerMView = FFrames->View();
      ImagerMView->SetBounds(6, 36, 133, 139);
      ImagerMView->SetVisible(false);
      ImagerMView->OnDblClick = [this](TObject*) { ShowEnlargedPreview(); };
      FFrames->OnFrameSelect = [this](int32_t Index) { ShowInfo(FFrames->FrameParams(Index)); };
      FFrames->OnProgress = [this](int32_t Per) { ProgressBar->SetPosition(Per); };
    }
  }

  PicLabel1 = MakeLabel(this, PicturePanel, 180);
  PicLabel1->SetName("PicLabel1");
  PicLabel2 = MakeLabel(this, PicturePanel, 203);
  PicLabel2->SetName("PicLabel2");
  PicLabel3 = MakeLabel(this, PicturePanel, 226);
  PicLabel3->SetName("PicLabel3");

  InfoPanel = Make<TPanel>(this, nullptr, 204, 5, 169, 200);
  InfoPanel->SetName("InfoPanel");
  InfoPanel->SetCaption("");
  InfoPanel->SetBevelOuter(bvNone);
  InfoPanel->SetBorderWidth(6);
  InfoLabel1 = MakeLabel(this, InfoPanel, 6);
  InfoLabel1->SetName("InfoLabel1");
  InfoLabel2 = MakeLabel(this, InfoPanel, 29);
  InfoLabel2->SetName("InfoLabel2");

  AdvancedButton = Make<TButton>(this, nullptr, 474, 0, 75, 23);
  AdvancedButton->SetName("AdvancedButton");
  AdvancedButton->SetVisible(false);

  PreviewCheck = Make<TCheckBox>(this, nullptr, 195, 24, 80, 23);
  PreviewCheck->SetName("PreviewCheck");
  PreviewCheck->SetChecked(true);
  PreviewCheck->SetCaption(IMGetMsg(0, FMsgLanguage));
  PreviewCheck->SetVisible(false);
  PreviewCheck->OnClick = [this](TObject* Sender) { PreviewCheckClick(Sender); };

  ProgressBar = Make<TProgressBar>(this, PicturePanel, 0, 55, 127, 19);
  ProgressBar->SetName("ProgressBar");
  ProgressBar->SetRange(0, 100);
  ProgressBar->SetVisible(false);

  FIO = new TImagerIO(this);
  FIO->SetAttachedImager(ImagerView);
  FIO->OnProgress = [this](TObject*, int32_t Per) { ProgressBar->SetPosition(Per); };
}

TOpenImagerDialog::~TOpenImagerDialog() {
  // The frames preview's view belongs to the panel; the preview goes first.
  if (FFrames) FFrames->OnFrameSelect = nullptr;
}

void TOpenImagerDialog::SetInitialDir(const std::string& Value) {
  std::string v = Value;
  const size_t n = v.size();
  if (n > 1 && (v[n - 1] == '/' || v[n - 1] == '\\') && v[n - 2] != ':') v.pop_back();
  FInitialDir = v;
}

void TOpenImagerDialog::SetPreviewBorderStyle(TIMDBorderStyle Value) {
  FPreviewBorderStyle = Value;
  switch (Value) {
    case impsDefault:
      ImagerView->SetBackgroundStyle(imbsSolid);
      ImagerView->SetBorderStyle(bsSingle);
      break;
    case impsCropped:
      ImagerView->SetBackgroundStyle(imbsCropped);
      ImagerView->SetBorderStyle(bsNone);
      break;
    case impsCropShadow:
      ImagerView->SetBackgroundStyle(imbsCropShadow);
      ImagerView->SetBorderStyle(bsNone);
      break;
  }
}

void TOpenImagerDialog::UpdateWords() {
  PreviewCheck->SetCaption(IMGetMsg(0, FMsgLanguage));
  PreviewButton->SetHint(IMGetMsg(0, FMsgLanguage));
  PlayButton->SetHint(IMGetMsg(87, FMsgLanguage));
}

int32_t TOpenImagerDialog::FilterIndex() const { return FSession ? FSession->FilterIndex() : FFilterIndex; }

std::string TOpenImagerDialog::GetFileName() const {
  if (!FSession) return FFileName;
  return FSession->CurrentPath();
}

bool TOpenImagerDialog::Execute() {
  FTemplate = "IDD_IMTEMPLATE";
  FPreviewEnabled = true;
  UpdateWords();
  PreviewCheck->SetVisible(true);
  AdvancedButton->SetVisible(false);
  if (FAutoSetFilter) FFilter = BuildOpenFilter();
  return RunDialog(false);
}

bool TOpenImagerDialog::RunDialog(bool Save) {
  TFileDialogRequest r;
  r.Save = Save;
  r.MultiSelect = FOptions.Contains(ofAllowMultiSelect);
  r.FileMustExist = FOptions.Contains(ofFileMustExist);
  r.OverwritePrompt = FOptions.Contains(ofOverwritePrompt);
  r.PlacesBar = FShowPlacesBar;
  r.Title = FTitle;
  r.InitialDir = FInitialDir;
  r.FileName = FFileName;
  r.Filter = FFilter;
  r.FilterIndex = FFilterIndex;
  const auto entries = SplitDialogFilter(FFilter);
  const std::string pattern = FFilterIndex >= 1 && FFilterIndex <= static_cast<int32_t>(entries.size())
                                  ? entries[static_cast<size_t>(FFilterIndex - 1)].second
                                  : std::string();
  std::string ext = FDefaultExt;
  if (ext.empty()) {
    ext = ExtractFileExt(FFileName);
    if (!ext.empty()) ext.erase(0, 1);
  }
  if (ext.empty()) ext = FirstPatternExtension(pattern);
  r.DefaultExt = ext;
  FDialogDefaultExt = ext;
  FCurrentFilter = pattern;
  r.SideWidth = FTemplate == "IDD_IMTEMPLATE" ? 181 : 0;
  r.BottomHeight = 56;
  r.OnShow = [this](TFileDialogSession& S) {
    FSession = &S;
    FCurrentFilter = S.FilterPattern();
    ShowHandling(S);
  };
  r.OnSelectionChange = [this](TFileDialogSession& S) { SelectionHandling(S); };
  r.OnFolderChange = [this](TFileDialogSession&) {
    if (OnFolderChange) OnFolderChange(this);
  };
  r.OnTypeChange = [this](TFileDialogSession& S) { TypeChange(S); };
  r.OnFileOK = [this](TFileDialogSession&, const std::vector<std::string>&) {
    bool can = true;
    if (OnCanClose) OnCanClose(this, can);
    return can;
  };
  r.OnClose = [this](TFileDialogSession& S) { CloseHandling(S); };

  TFileDialogResult result;
  bool ok = false;
  try {
    ok = RunFileDialog(r, result);
  } catch (...) {
    FSession = nullptr;
    throw;
  }
  FSession = nullptr;
  if (!ok) return false;
  FFiles.Clear();
  for (const std::string& f : result.Files) FFiles.Add(f);
  FFileName = result.Files.front();
  FFilterIndex = result.FilterIndex;
  return true;
}

void TOpenImagerDialog::ShowHandling(TFileDialogSession& S) {
  if (TWinControl* side = S.SideArea()) {
    PicturePanel->SetParent(side);
    PicturePanel->SetAlign(alClient);
  }
  ZoomCombo->ClearItems();
  ZoomCombo->AddItem("Fit");
  for (int32_t z : {25, 50, 75, 100, 125, 150, 175, 200, 300, 400}) ZoomCombo->AddItem(IntToStr(z) + "%", z);
  ZoomCombo->SetItemIndex(0);
  FFrameCount = 0;
  SetPlaying(false);
  PlayButton->SetEnabled(false);
  if (TWinControl* bottom = S.BottomArea()) {
    InfoPanel->SetParent(FExtendedDialog ? bottom : nullptr);
    InfoPanel->SetBounds(0, 0, 360, 56);
    PreviewCheck->SetParent(bottom);
    PreviewCheck->SetBounds(366, 4, 120, 23);
    AdvancedButton->SetParent(bottom);
    AdvancedButton->SetBounds(366, 29, 100, 23);
  }
  if (!FExtendedDialog) {
    PicLabel1->SetVisible(false);
    PicLabel2->SetVisible(false);
    PicLabel3->SetVisible(false);
    ZoomCombo->SetVisible(false);
  }
  DoShow();
}

void TOpenImagerDialog::DoClose() {
  TIMCommonDialog::DoClose();
  SetPlaying(false);
  ClearViews();
}

void TOpenImagerDialog::CloseHandling(TFileDialogSession&) {
  DoClose();
  // The panels go back to the component; the dialog's areas go with the dialog.
  for (TControl* c : {static_cast<TControl*>(PicturePanel), static_cast<TControl*>(InfoPanel),
                      static_cast<TControl*>(PreviewCheck), static_cast<TControl*>(AdvancedButton)})
    c->SetParent(nullptr);
}

void TOpenImagerDialog::TypeChange(TFileDialogSession& S) {
  FCurrentFilter = S.FilterPattern();
  FDialogDefaultExt = FirstPatternExtension(FCurrentFilter);
  S.SetDefaultExt(FDialogDefaultExt);
  const int32_t index = S.FilterIndex();
  if (index != FFilterIndex) {
    FFilterIndex = index;
    if (OnTypeChange) OnTypeChange(this);
  }
}

const TPropertyTable& TOpenImagerDialog::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TOpenImagerDialog>(TIMCommonDialog::PropertyTable(), [](auto& p) {
    p.String("Filter", &TOpenImagerDialog::Filter, &TOpenImagerDialog::SetFilter);
    p.Integer("FilterIndex", &TOpenImagerDialog::FilterIndex, &TOpenImagerDialog::SetFilterIndex);
    p.String("DefaultExt", &TOpenImagerDialog::DefaultExt, &TOpenImagerDialog::SetDefaultExt);
    p.String("FileName", &TOpenImagerDialog::FileName, &TOpenImagerDialog::SetFileName);
    p.String("InitialDir", &TOpenImagerDialog::InitialDir, &TOpenImagerDialog::SetInitialDir);
    p.String("Title", &TOpenImagerDialog::Title, &TOpenImagerDialog::SetTitle);
    p.Bool("AutoSetFilter", &TOpenImagerDialog::AutoSetFilter, &TOpenImagerDialog::SetAutoSetFilter);
    p.Bool("AlwaysAnimate", &TOpenImagerDialog::AlwaysAnimate, &TOpenImagerDialog::SetAlwaysAnimate);
    // Older forms store it; it is read and has no effect.
    p.String("FileEditStyle", [](const TOpenImagerDialog&) { return std::string(); },
             [](TOpenImagerDialog&, const std::string&) {});
  });
  return table;
}

// ---- TSaveImagerDialog ----

TSaveImagerDialog::TSaveImagerDialog(TComponent* AOwner)
    : TOpenImagerDialog(AOwner), FSpare(std::make_unique<TIOParamsVals>(nullptr)) {
  FFilter = InitialSaveFilter();
  AdvancedButton->OnClick = [this](TObject* Sender) { AdvancedClick(Sender); };
}

TSaveImagerDialog::~TSaveImagerDialog() { SetAttachedImagerIO(nullptr); }

void TSaveImagerDialog::SetAttachedImagerIO(TComponent* Value) {
  if (Value && !dynamic_cast<TImagerIO*>(Value) && !dynamic_cast<TImagerMIO*>(Value)) return;  // ignored
  if (Value == FAttachedIO) return;
  if (FAttachedIO) FAttachedIO->RemoveFreeNotification(this);
  FAttachedIO = Value;
  if (FAttachedIO) FAttachedIO->FreeNotification(this);
}

TIOParamsVals* TSaveImagerDialog::AttachedParams() const {
  if (auto* io = dynamic_cast<TImagerIO*>(FAttachedIO)) return &io->Params();
  if (auto* mio = dynamic_cast<TImagerMIO*>(FAttachedIO)) return mio->ImageParams(0);
  return nullptr;
}

void TSaveImagerDialog::Notification(TComponent* AComponent, TOperation Operation) {
  TOpenImagerDialog::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FAttachedIO) FAttachedIO = nullptr;
}

std::string TSaveImagerDialog::GetFileName() const {
  if (!FSession) return FFileName;
  const std::string typed = FSession->FileNameText();
  if (typed.empty()) return FSession->CurrentPath();
  if (typed[0] == '/') return typed;
  return IncludeTrailingPathDelimiter(FSession->Folder()) + typed;
}

bool TSaveImagerDialog::Execute() {
  FPreviewEnabled = FExOptions.Contains(sdShowPreview);
  FTemplate = FPreviewEnabled ? "IDD_IMTEMPLATE" : "IDD_IMTEMPLATE1";
  if (FAutoSetFilter) FFilter = BuildSaveFilter();
  AdvancedButton->SetVisible(FExOptions.Contains(sdShowAdvanced));
  AdvancedButton->SetCaption(IMGetMsg(45, FMsgLanguage) + "...");
  UpdateWords();
  PreviewCheck->SetVisible(FExOptions.Contains(sdShowPreview));
  // A multi-frame component saves the parameters of its first frame; without frames there is nothing to save.
  if (dynamic_cast<TImagerMIO*>(FAttachedIO) && !AttachedParams()) return false;
  if (TIOParamsVals* p = AttachedParams()) FSpare->Assign(*p);
  const bool ok = RunDialog(true);
  if (!ok) {
    if (TIOParamsVals* p = AttachedParams()) p->Assign(*FSpare);
    return false;
  }
  if (ExtractFileExt(ExtractFileName(FFileName)).empty()) {
    const auto entries = SplitDialogFilter(FFilter);
    if (FFilterIndex >= 1 && FFilterIndex <= static_cast<int32_t>(entries.size())) {
      const std::string ext = FirstPatternExtension(entries[static_cast<size_t>(FFilterIndex - 1)].second);
      if (!ext.empty()) {
        FFileName += "." + ext;
        if (FFiles.Count() > 0) FFiles.Put(0, FFileName);
      }
    }
  }
  return true;
}

void TSaveImagerDialog::TypeChange(TFileDialogSession& S) {
  // Only the extension changes: "my.photo.jpg" becomes "my.photo.png".
  const std::string ext = FirstPatternExtension(S.FilterPattern());
  const std::string typed = S.FileNameText();
  if (!ext.empty() && !typed.empty()) S.SetFileNameText(ReplaceNameExtension(typed, ext));
  TOpenImagerDialog::TypeChange(S);
}

void TSaveImagerDialog::AdvancedClick(TObject*) {
  std::string def = FDefaultExt.empty() ? FDialogDefaultExt : FDefaultExt;
  const int32_t page = AdvancedPageFor(GetFileName(), def);
  if (page == 0 || !FAttachedIO) return;
  if (!IOPreviewsDialogMaker()) InstallIOPreviewsDialog();
  if (auto* io = dynamic_cast<TImagerIO*>(FAttachedIO)) io->ShowPreviewsDialog(page);
  else if (auto* mio = dynamic_cast<TImagerMIO*>(FAttachedIO)) mio->ShowPreviewsDialog(0, page);
}

}  // namespace kv

// The open dialog's preview: the selected file in the single view or the
// frames view, the information lines, zoom, playing, and the enlarged preview.
#include <sys/stat.h>

#include "imaging/formats/file_types.h"
#include "imaging/formats/lzw_hooks.h"
#include "imaging/views/open_save_dialog.h"
#include "imaging/views/open_save_filter.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/forms.h"

namespace kv {

namespace {

// Restores the screen's cursor however the preview ends.
class TBusyCursor {
 public:
  TBusyCursor() : FSaved(Screen->Cursor()) { Screen->SetCursor(crHourGlass); }
  ~TBusyCursor() { Screen->SetCursor(FSaved); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

 private:
  TCursor FSaved;
};

// The enlarged preview window: Escape closes it.
class TPreviewForm : public TForm {
 public:
  explicit TPreviewForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("PreviewForm");
    SetBorderStyle(bsSizeToolWin);
    SetPosition(poScreenCenter);
    SetKeyPreview(true);
    OnKeyDown = [this](TObject*, uint16_t& Key, TShiftState) {
      if (Key == VK_ESCAPE) SetModalResult(mrCancel);
    };
    View = new TImagerView(this);
    View->SetParent(this);
    View->SetAlign(alClient);
    View->SetMouseInteract(TIMMouseInteract{miZoom, miScroll});
    View->SetBackground(clWhite);
    View->SetBackgroundStyle(imbsSolid);
    View->SetCenter(true);
    View->SetScrollBars(ssBoth);
  }
  TImagerView* View = nullptr;
};

// 100 for a picture at most 100 wide, its own size below the screen's, else the screen's.
int32_t PreviewSide(int32_t Picture, int32_t ScreenSide) {
  if (Picture <= 100) return 100;
  return Picture < ScreenSide ? Picture : ScreenSide;
}

}  // namespace

void TOpenImagerDialog::ShowInfo(const TIOParamsVals* Params) {
  TIMPreviewInfo info;
  if (Params) info = PreviewInfo(*Params, FFrameCount, FFileSize, FMsgLanguage);
  PicLabel1->SetCaption(info.PicLabel1);
  PicLabel2->SetCaption(info.PicLabel2);
  PicLabel3->SetCaption(info.PicLabel3);
  InfoLabel1->SetCaption(info.InfoLabel1);
  InfoLabel2->SetCaption(info.InfoLabel2);
}

void TOpenImagerDialog::ClearViews() {
  ImagerView->SetBackground(clWhite);
  ImagerView->Blank();
  if (FFrames) FFrames->Clear();
}

void TOpenImagerDialog::SetPlaying(bool Value) {
  if (FFrames) FFrames->SetPlaying(Value);
  PlayButton->SetDown(Value && PlayButton->GroupIndex() != 0);
  PreviewButton->SetEnabled(!Value && FFrameCount > 0 && PreviewCheck->Checked());
}

void TOpenImagerDialog::PlayClick(TObject*) {
  if (FFrames) FFrames->SetPlaying(PlayButton->Down());
  PreviewButton->SetEnabled(!PlayButton->Down());
}

void TOpenImagerDialog::ZoomChange(TObject*) {
  const int32_t i = ZoomCombo->ItemIndex();
  if (i < 0) return;
  const intptr_t zoom = ZoomCombo->ItemData(i);
  if (zoom > 0) ImagerView->SetZoom(static_cast<double>(zoom));
  else ImagerView->Fit();
}

void TOpenImagerDialog::PreviewFailed() {
  ShowInfo(nullptr);
  PreviewButton->SetEnabled(false);
  FFrameCount = 0;
  ClearViews();
}

void TOpenImagerDialog::LoadStill(const std::string& Path) {
  TIOParamsVals& p = FIO->Params();
  // A JPEG decodes no larger than the view needs.
  p.JpegScale = 0;
  p.Width = std::max(1, ImagerView->ClientWidth());
  p.Height = std::max(1, ImagerView->ClientHeight());
  FIO->LoadFromFileByExtension(Path);
}

void TOpenImagerDialog::SelectionHandling(TFileDialogSession& S) {
  if (FInSelection) return;
  FInSelection = true;
  struct TLeave {
    bool& Flag;
    ~TLeave() { Flag = false; }
  } leave{FInSelection};
  if (FPreviewEnabled) {
    const std::string path = S.CurrentPath();
    struct stat st{};
    if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      FFileSize = static_cast<int64_t>(st.st_size);
      try {
        if (!PreviewCheck->Checked()) {
          // Only the parameters: no pixels are read.
          FFrameCount = 1;
          FIO->ReadParamsFromFile(path);
          ShowInfo(FIO->Aborted() || FIO->Params().FileType == 0 ? nullptr : &FIO->Params());
        } else {
          TBusyCursor busy;
          ClearViews();
          SetPlaying(false);
          const std::string ext = LowerCase(ExtractFileExt(path));
          bool still = true;
          if (FFrames) {
            if (ext == ".avi") still = false;
            else if (ext == ".gif") still = !(IsGifDecoderInstalled() && FIO->GetGifImageCount(path) > 1);
            else if (ext == ".tif") still = FIO->GetTiffPageCount(path) < 2;
          }
          bool ok = false;
          ProgressBar->SetPosition(0);
          ProgressBar->SetVisible(true);
          ProgressBar->BringToFront();
          if (still) {
            ImagerView->SetVisible(true);
            if (ImagerMView) ImagerMView->SetVisible(false);
            ZoomCombo->SetEnabled(true);
            PlayButton->SetEnabled(false);
            FFrameCount = 1;
            LoadStill(path);
            ok = !FIO->Aborted() && !ImagerView->Bitmap().Empty();
            if (ok) ShowInfo(&FIO->Params());
          } else {
            ImagerView->SetVisible(false);
            ImagerMView->SetVisible(true);
            PlayButton->SetEnabled(true);
            ZoomCombo->SetEnabled(false);
            FFrameCount = FFrames->Load(path);
            ok = FFrameCount > 0;
            if (ok) {
              FFrames->SelectFrame(0);
              ShowInfo(FFrames->FrameParams(0));
              if (FAlwaysAnimate || ext == ".avi" || (ext == ".gif" && IsGifDecoderInstalled())) SetPlaying(true);
            }
          }
          ProgressBar->SetVisible(false);
          if (!ok) {
            PreviewFailed();
          } else {
            ZoomCombo->SetItemIndex(0);
            ZoomChange(ZoomCombo);
            PreviewButton->SetEnabled(!(FFrames && FFrames->Playing()));
          }
        }
      } catch (...) {
        // A file that cannot be previewed shows nothing; nothing is reported.
        ProgressBar->SetVisible(false);
        PreviewFailed();
      }
    }
  }
  if (OnSelectionChange) OnSelectionChange(this);
}

void TOpenImagerDialog::PreviewCheckClick(TObject*) {
  if (PreviewCheck->Checked()) {
    if (FSession) SelectionHandling(*FSession);
    return;
  }
  ShowInfo(nullptr);
  ImagerView->SetBackground(clWhite);
  ImagerView->Blank();
  ImagerView->SetZoom(100);
  if (FFrames) FFrames->Clear();
  PreviewButton->SetEnabled(false);
}

void TOpenImagerDialog::ShowEnlargedPreview() {
  TBitmap picture;
  if (ImagerMView && ImagerMView->Visible() && FFrames) {
    if (!FFrames->CopyFrame(FFrames->SelectedFrame(), picture)) return;
  } else {
    picture.Assign(&ImagerView->Bitmap());
  }
  if (picture.Empty()) return;
  TPreviewForm form(nullptr);
  form.SetCaption(GetFileName() + ": ");
  form.SetClientSize(PreviewSide(picture.Width(), Screen->Width()), PreviewSide(picture.Height(), Screen->Height()));
  form.View->Bitmap().Assign(&picture);
  form.View->Update();
  form.ShowModal();
}

}  // namespace kv

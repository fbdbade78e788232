// The open dialog's frames preview over the multi-image view and its
// multi-frame loader: the built-in maker when none other is installed.
#include "imaging/views/frames_preview_mview.h"

#include "imaging/views/imager_mio.h"
#include "imaging/views/imager_mview.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {

// A long video shows its first frames at once; the rest follow in small steps
// from the message loop, so the dialog stays usable and a new selection
// stops the load.
constexpr int32_t kFirstAviFrames = 8;
constexpr int32_t kAviFramesPerStep = 2;

class TMViewFrames : public TIMFramesPreview {
 public:
  TMViewFrames(TComponent* Owner, TWinControl* Parent) {
    // Both belong to the dialog component; this only works them.
    FView = new TImagerMView(Owner);
    FView->SetName("ImagerMView");
    FView->SetParent(Parent);
    FView->SetMouseInteract(TIMMMouseInteract{mmiScroll, mmiSelect});
    FView->SetScrollBars(ssHorizontal);
    FView->SetThumbWidth(100);
    FView->SetThumbHeight(109);
    FView->SetBackground(clWhite);
    FView->OnImageSelect = [this](TObject*, int32_t Index) {
      if (OnFrameSelect) OnFrameSelect(Index);
    };
    FLoader = new TImagerMIO(Owner);
    FLoader->SetAttachedMView(FView);
    FLoader->OnProgress = [this](TObject*, int32_t Per) {
      if (OnProgress) OnProgress(Per);
    };
    FSteps = new TTimer(Owner);
    FSteps->SetEnabled(false);
    FSteps->SetInterval(1);
    FSteps->SetOnTimer([this](TObject*) {
      if (!FLoader->ContinueAVILoad(kAviFramesPerStep)) FSteps->SetEnabled(false);
    });
  }
  ~TMViewFrames() override {
    FSteps->SetEnabled(false);
    FSteps->SetOnTimer(nullptr);
    FLoader->StopAVILoad();
    FView->OnImageSelect = nullptr;
    FLoader->OnProgress = nullptr;
  }
  TControl* View() override { return FView; }
  void Clear() override {
    StopSteps();
    FView->Clear();
    FView->SetBackground(clWhite);
  }
  int32_t Load(const std::string& FileName) override {
    StopSteps();
    if (LowerCase(ExtractFileExt(FileName)) != ".avi") {
      FLoader->LoadFile(FileName);
      return FLoader->ParamsCount();
    }
    const int32_t count = FLoader->BeginAVILoad(FileName);
    if (count <= 0) return 0;
    if (FLoader->ContinueAVILoad(kFirstAviFrames)) FSteps->SetEnabled(true);
    return FLoader->ParamsCount() > 0 ? count : 0;
  }
  void SelectFrame(int32_t Index) override { FView->SetSelectedImage(Index); }
  int32_t SelectedFrame() const override { return FView->SelectedImage(); }
  void SetPlaying(bool Value) override { FView->SetPlaying(Value); }
  bool Playing() const override { return FView->Playing(); }
  const TIOParamsVals* FrameParams(int32_t Index) override { return FLoader->ImageParams(Index); }
  bool CopyFrame(int32_t Index, TBitmap& Target) override {
    TBitmap* b = FView->GetImageBitmap(Index);
    if (!b) return false;
    Target.Assign(b);
    FView->ImageStore().ReleaseBitmap(b, false);
    return true;
  }

 private:
  void StopSteps() {
    FSteps->SetEnabled(false);
    FLoader->StopAVILoad();
  }

  TImagerMView* FView;
  TImagerMIO* FLoader;
  TTimer* FSteps;
};

}  // namespace

std::unique_ptr<TIMFramesPreview> MakeMViewFramesPreview(TComponent* Owner, TWinControl* Parent) {
  return std::make_unique<TMViewFrames>(Owner, Parent);
}

}  // namespace kv

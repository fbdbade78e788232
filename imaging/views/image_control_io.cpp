// The image control's I/O forwards. Loads are guarded: the I/O component
// leaves in the bitmap whatever a failing codec left there, and has already
// dropped the alpha mask and taken the file's resolution and parameters by
// then; the control puts the picture the user had back instead.
#include <memory>
#include <utility>

#include "imaging/model/mask.h"
#include "imaging/views/image_control.h"

namespace kv {

namespace {

// What a load replaces: the pixel block is moved aside (no copy), the rest is
// copied. Put back with Restore when the load did not succeed.
class TKeptPicture {
 public:
  TKeptPicture(TImager& Control, TImagerIO& IO) : FControl(Control), FParams(nullptr) {
    FBitmap.TakeOver(Control.Bitmap());
    if (Control.HasAlphaChannel()) {
      FAlpha = std::make_unique<TIMMask>();
      FAlpha->Assign(Control.GetAlphaChannel());
    }
    FDpiX = Control.TIMView::DpiX();
    FDpiY = Control.TIMView::DpiY();
    FBackground = Control.Background();
    FParams.Assign(IO.Params());
  }

  void Restore(TImagerIO& IO) {
    FControl.Bitmap().TakeOver(FBitmap);
    if (FAlpha) FControl.SetAlphaChannel(std::move(FAlpha));
    else if (FControl.HasAlphaChannel()) FControl.RemoveAlphaChannel();
    FControl.SetDpi(FDpiX, FDpiY);
    if (FControl.Background() != FBackground) FControl.SetBackground(FBackground);
    TIOParamsVals& p = IO.Params();
    p.Assign(FParams);
    if (!FParams.ExifThumbnail) p.ExifThumbnail.reset();  // Assign keeps one the failed read found
  }

 private:
  TImager& FControl;
  TBitmap FBitmap;
  std::unique_ptr<TIMMask> FAlpha;
  int32_t FDpiX = 0, FDpiY = 0;
  TColor FBackground = clNone;
  TIOParamsVals FParams;
};

// Holds the control's image-change handler back while a load runs, so that
// its listener hears of the outcome once, and counts what it held back.
class TParkedImageChange {
 public:
  explicit TParkedImageChange(TNotifyEvent& Slot) : FSlot(Slot), FHandler(std::move(Slot)) {
    FSlot = [this](TObject*) { ++FHeld; };
  }
  ~TParkedImageChange() { Release(); }
  void Release() {
    if (FReleased) return;
    FReleased = true;
    FSlot = std::move(FHandler);
  }
  int32_t Held() const { return FHeld; }

 private:
  TNotifyEvent& FSlot;
  TNotifyEvent FHandler;
  int32_t FHeld = 0;
  bool FReleased = false;
};

}  // namespace

void TImager::LoadKeepingPicture(const std::function<void()>& Load) {
  TImagerIO& io = IORef();
  TParkedImageChange parked(OnImageChange);
  TKeptPicture kept(*this, io);
  try {
    Load();
  } catch (...) {
    // The file could not be opened, or memory ran out: nothing of the load
    // stays, and the caller hears of it through the exception.
    kept.Restore(io);
    parked.Release();
    Update();
    throw;
  }
  const bool failed = io.Aborted();
  if (failed) kept.Restore(io);
  const bool told = parked.Held() > 0;
  parked.Release();
  if (failed) PictureEdited();
  else if (told) ImageChange();
}

void TImager::LoadFromFileJpeg(const std::string& FileName) {
  LoadKeepingPicture([&] { IORef().ReadJpegFile(FileName); });
}

void TImager::LoadFromStreamJpeg(TStream& S) {
  LoadKeepingPicture([&] { IORef().ReadJpegStream(S); });
}

void TImager::LoadFromFileByExtension(const std::string& FileName) {
  LoadKeepingPicture([&] { IORef().LoadFromFileByExtension(FileName); });
}

void TImager::SaveToFileByExtension(const std::string& FileName) { IORef().SaveToFileByExtension(FileName); }

void TImager::ReadParamsFromFile(const std::string& FileName) { IORef().ReadParamsFromFile(FileName); }

void TImager::ReadParamsFromStream(TStream& S) { IORef().ReadParamsFromStream(S); }

void TImager::ReadParamsFromFileByType(const std::string& FileName, int32_t FileType) {
  IORef().ReadParamsFromFileByType(FileName, FileType);
}

void TImager::ReadParamsFromStreamByType(TStream& S, int32_t FileType) {
  IORef().ReadParamsFromStreamByType(S, FileType);
}

bool TImager::Acquire() { return IORef().Acquire(); }

bool TImager::SelectAcquireSource() { return IORef().SelectAcquireSource(); }

}  // namespace kv

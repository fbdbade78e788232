// What the open dialog's preview needs of the multi-image view and the
// multi-frame loader: a view of frames that loads a GIF, multi-page TIFF or
// AVI file, selects and plays its frames. The multi-image view with its
// loader serves unless another maker is installed (tests install fakes).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kv {

class TBitmap;
class TComponent;
class TControl;
class TIOParamsVals;
class TWinControl;

class TIMFramesPreview {
 public:
  virtual ~TIMFramesPreview() = default;
  // The view control ("ImagerMView"), parented where the maker was told.
  virtual TControl* View() = 0;
  // No entries, white.
  virtual void Clear() = 0;
  // Loads the file's frames; the number of frames (0: nothing loaded). A
  // long video may load its first frames only and the rest while the message
  // loop runs, until Clear or the next Load.
  virtual int32_t Load(const std::string& FileName) = 0;
  virtual void SelectFrame(int32_t Index) = 0;
  virtual int32_t SelectedFrame() const = 0;
  virtual void SetPlaying(bool Value) = 0;
  virtual bool Playing() const = 0;
  // The parameters of a frame, null past the end.
  virtual const TIOParamsVals* FrameParams(int32_t Index) = 0;
  // A copy of a frame's picture; false past the end.
  virtual bool CopyFrame(int32_t Index, TBitmap& Target) = 0;

  // The user selected a frame in the view.
  std::function<void(int32_t Index)> OnFrameSelect;
  // Loading progress, 0..100.
  std::function<void(int32_t Percent)> OnProgress;
};

using TIMFramesPreviewMaker = std::function<std::unique_ptr<TIMFramesPreview>(TComponent* Owner, TWinControl* Parent)>;
void SetFramesPreviewMaker(TIMFramesPreviewMaker Maker);
const TIMFramesPreviewMaker& FramesPreviewMaker();

}  // namespace kv

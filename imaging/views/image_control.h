// The image control: a single-image view that carries its I/O and processing
// components from construction to destruction and offers their most used
// operations, properties and events as its own. The application's own image
// control derives from it.
//
// The properties below keep no value here: each reads and writes the
// companion that owns it. A load through the control that fails (missing
// file, corrupt data) leaves the picture shown before it, with its alpha
// mask, resolution, background and file parameters.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "imaging/formats/imager_io.h"
#include "imaging/processing/imager_proc.h"
#include "imaging/views/imager_view.h"

namespace kv {

class TImager : public TImagerView {
 public:
  explicit TImager(TComponent* AOwner);
  ~TImager() override;

  // ---- properties kept by the companions ----
  bool AutoUndo() const { return ProcRef().AutoUndo(); }
  void SetAutoUndo(bool Value) { ProcRef().SetAutoUndo(Value); }
  // Read from the processing component; written to both.
  TMsgLanguage MsgLanguage() const { return ProcRef().MsgLanguage(); }
  void SetMsgLanguage(TMsgLanguage Value);
  TPRPreviewsParams ProcPreviewsParams() const { return ProcRef().PreviewsParams(); }
  void SetProcPreviewsParams(TPRPreviewsParams Value) { ProcRef().SetPreviewsParams(Value); }
  TIOPreviewsParams IOPreviewsParams() const { return IORef().PreviewsParams(); }
  void SetIOPreviewsParams(TIOPreviewsParams Value) { IORef().SetPreviewsParams(Value); }
  // The I/O component's font; setting gives each companion its own copy.
  TFont* PreviewFont() const { return IORef().PreviewFont(); }
  void SetPreviewFont(TFont* Value);
  bool StreamHeaders() const { return IORef().StreamHeaders(); }
  void SetStreamHeaders(bool Value) { IORef().SetStreamHeaders(Value); }
  TIMDialogsMeasureUnit DialogsMeasureUnit() const { return IORef().DialogsMeasureUnit(); }
  void SetDialogsMeasureUnit(TIMDialogsMeasureUnit Value) { IORef().SetDialogsMeasureUnit(Value); }
  const TIMPreviewEvent& OnPreview() const { return ProcRef().OnPreview; }
  void SetOnPreview(TIMPreviewEvent Value) { ProcRef().OnPreview = std::move(Value); }
  const TIMIOPreviewEvent& OnIOPreview() const { return IORef().OnIOPreview; }
  void SetOnIOPreview(TIMIOPreviewEvent Value) { IORef().OnIOPreview = std::move(Value); }
  // The parameters of the last read and of the next write.
  TIOParamsVals& IOParams() { return IORef().Params(); }
  const TIOParamsVals& IOParams() const { return IORef().Params(); }
  TIMTWainParams& TWainParams() { return IORef().TWainParams(); }

  // ---- processing (each the processing component's operation) ----
  void SaveUndo() { ProcRef().SaveUndo(); }
  // Drops the newest snapshot without restoring it.
  void DiscardLastUndo() { ProcRef().ClearLastUndo(); }
  // Restores the N-th newest snapshot (0 the newest).
  void UndoAt(int32_t N) { ProcRef().UndoAt(N); }
  // The storage of new snapshots: 0 heap, 1 temporary file, 2 bitmap; other values are ignored.
  void SetUndoStorage(uint8_t Kind);
  void SetUndoLimit(int32_t N) { ProcRef().SetUndoLimit(N); }
  void IntensityRGBall(int32_t R, int32_t G, int32_t B) { ProcRef().IntensityRGBAll(R, G, B); }
  void ConvertToGray() { ProcRef().ConvertToGray(); }
  void ConvertTo24Bit() { ProcRef().ConvertTo24Bit(); }
  // Degrees, positive counter-clockwise.
  void Rotate(double Angle, bool Antialias) { ProcRef().Rotate(Antialias, Angle); }
  // 0 mirrors left and right, 1 top and bottom.
  void Flip(int32_t Direction) { ProcRef().Flip(Direction); }
  void ImageResize(int32_t Width, int32_t Height) { ProcRef().ImageResize(Width, Height); }
  void Resample(int32_t Width, int32_t Height, TResampleFilter Filter) { ProcRef().Resample(Width, Height, Filter); }
  void Clear() { ProcRef().Clear(); }
  void CropSel() { ProcRef().CropSel(); }
  // The clipboard, as device-independent bitmaps.
  void SelCopyToClip() { ProcRef().SelCopyToClip(); }
  void SelCutToClip() { ProcRef().SelCutToClip(); }
  void PasteFromClipboard() { ProcRef().PasteFromClipboard(); }
  // The clipboard's picture stretched into the selection's bounding box.
  void SelPasteFromClipStretch() { ProcRef().SelPasteFromClipStretch(); }

  // ---- I/O (each the I/O component's operation) ----
  void LoadFromFileJpeg(const std::string& FileName);
  void SaveToFileJpeg(const std::string& FileName) { IORef().WriteJpegFile(FileName); }
  void SaveToFileBMP(const std::string& FileName) { IORef().WriteBmpFile(FileName); }
  void LoadFromStreamJpeg(TStream& S);
  void SaveToStreamJpeg(TStream& S) { IORef().WriteJpegStream(S); }
  virtual void LoadFromFileByExtension(const std::string& FileName);
  virtual void SaveToFileByExtension(const std::string& FileName);
  virtual void ReadParamsFromFile(const std::string& FileName);
  virtual void ReadParamsFromStream(TStream& S);
  virtual void ReadParamsFromFileByType(const std::string& FileName, int32_t FileType);
  virtual void ReadParamsFromStreamByType(TStream& S, int32_t FileType);
  // False, with the I/O component's aborted flag and reason, when nothing arrived.
  bool Acquire();
  bool SelectAcquireSource();

  // The I/O parameters of a TImager or TImagerIO source first, then the
  // view's part (bitmap, alpha mask, background, resolution).
  void Assign(const TPersistent* Source) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  // Runs a load; when it fails or raises, what it replaced is put back.
  void LoadKeepingPicture(const std::function<void()>& Load);

 private:
  // The companions exist from construction on, so reaching them never makes one.
  TImagerIO& IORef() const { return *const_cast<TImager*>(this)->IO(); }
  TImagerProc& ProcRef() const { return *const_cast<TImager*>(this)->Proc(); }
};

}  // namespace kv

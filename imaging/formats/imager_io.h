// The I/O component: moves one image between files or streams and a target
// bitmap (an attached view's, an attached image control's, or one handed
// over). It picks the codec by file-type id, by extension or by content,
// keeps the file parameters in its record, reports progress and reports
// failures of the data through its aborted flag. Failures of the environment
// (a file that cannot be opened or created, exhausted memory) are raised.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "imaging/formats/io_params.h"
#include "imaging/formats/io_view_link.h"
#include "imaging/formats/twain_params.h"
#include "imaging/model/kernel_types.h"
#include "imaging/model/mask.h"
#include "imaging/model/words.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/color.h"
#include "platform/graphics/picture.h"
#include "platform/rtl/component.h"
#include "platform/rtl/set.h"
#include "platform/rtl/streams.h"

namespace kv {

class TForm;

enum TIMDialogsMeasureUnit : uint8_t { imduInches, imduCm, imduSelectableDefInches, imduSelectableDefCm };
enum TIOPreviewsParamsItems : uint8_t { ioppDefaultLockPreview, ioppApplyButton };
using TIOPreviewsParams = TSet<TIOPreviewsParamsItems>;
using TIMIOPreviewEvent = std::function<void(TObject* Sender, TForm* PreviewForm)>;

// The file, stream and frame getter of an AVI frame reader, released together
// when their holder is freed. Whoever opens them hands them to the component.
class TIMAviHandles {
 public:
  virtual ~TIMAviHandles() = default;
};

class TImagerIO : public TComponent, public TIOParamsOwner {
 public:
  explicit TImagerIO(TComponent* AOwner);
  // Unregisters from the attached view; the target bitmap is never freed.
  ~TImagerIO() override;

  // ---- attaching ----
  TIMViewLink* AttachedImager() const { return FAttachedImager; }
  // The view's bitmap becomes the target and its selection is cleared on
  // loads; the component follows the view's bitmap through a bitmap-change
  // callback. The view must be a component.
  void SetAttachedImager(TIMViewLink* Value);
  TPictureHolder* AttachedTImage() const { return FAttachedTImage; }
  // The image's picture bitmap becomes the target; a view is detached.
  void SetAttachedTImage(TPictureHolder* Value);
  // An explicit target; both attachments and the own mask are cleared. Null
  // is ignored while a view or an image is attached.
  void AttachBitmap(TBitmap* Value);
  // The target (not owned), or null.
  TBitmap* Bitmap() const;
  // Transparency of the last read when no view is attached; null when it had none.
  TIMMask* OwnMask() const { return FOwnMask.get(); }

  // ---- properties ----
  TMsgLanguage MsgLanguage() const { return FMsgLanguage; }
  void SetMsgLanguage(TMsgLanguage Value) { FMsgLanguage = Value; }
  // Stream reads and writes of TIFF, PCX and JPEG framed by the 12-byte header.
  bool StreamHeaders() const { return FStreamHeaders; }
  void SetStreamHeaders(bool Value) { FStreamHeaders = Value; }
  TFont* PreviewFont() const { return FPreviewFont.get(); }
  // Copies the font.
  void SetPreviewFont(TFont* Value);
  TIMDialogsMeasureUnit DialogsMeasureUnit() const { return FDialogsMeasureUnit; }
  void SetDialogsMeasureUnit(TIMDialogsMeasureUnit Value) { FDialogsMeasureUnit = Value; }
  bool AutoAdjustDPI() const { return FAutoAdjustDPI; }
  void SetAutoAdjustDPI(bool Value) { FAutoAdjustDPI = Value; }
  TIOPreviewsParams PreviewsParams() const { return FPreviewsParams; }
  void SetPreviewsParams(TIOPreviewsParams Value) { FPreviewsParams = Value; }
  // The attached view's background, else the component's own.
  TColor Background() const;
  void SetBackground(TColor Value);
  TIOParamsVals& Params() { return *FParams; }
  // Scanner parameters of this component (source, capabilities, frame).
  TIMTWainParams& TWainParams() { return *FTWainParams; }
  const TIOParamsVals& Params() const { return *FParams; }
  // False after a successful operation, true after a failed one. A progress
  // handler may set it to stop the codec that is running.
  bool Aborted() const { return FAborted; }
  void SetAborted(bool Value) { FAborted = Value; }
  // Why the component itself gave up (unknown type, no codec, no pixels ...);
  // empty after a success or when a codec gave up on its data.
  const std::string& AbortReason() const { return FAbortReason; }

  // The AVI frame reader's handles; released with the component or when replaced.
  void SetAviHandles(std::unique_ptr<TIMAviHandles> Handles) { FAviHandles = std::move(Handles); }

  TIMProgressEvent OnProgress;
  TIMIOPreviewEvent OnIOPreview;

  // ---- the ten operations descendants replace ----
  virtual void LoadFromFileByExtension(const std::string& FileName);
  virtual void SaveToFileByExtension(const std::string& FileName);
  virtual void LoadFromFileByType(const std::string& FileName, int32_t TypeId);
  virtual void ReadParamsFromFile(const std::string& FileName);
  virtual void ReadParamsFromFileByType(const std::string& FileName, int32_t TypeId);
  virtual void ReadParamsFromStream(TStream& S);
  virtual void ReadParamsFromStreamByType(TStream& S, int32_t TypeId);
  virtual void LoadFromStream(TStream& S);
  virtual void LoadFromStreamByType(TStream& S, int32_t TypeId);
  virtual void SaveToStreamByType(TStream& S, int32_t TypeId);

  // ---- one read and one write per format and medium ----
  void ReadTiffFile(const std::string& FileName) { ReadFormatFile(1, FileName); }
  void ReadTiffStream(TStream& S) { ReadFormatStream(1, S); }
  void WriteTiffFile(const std::string& FileName) { WriteFormatFile(1, FileName); }
  void WriteTiffStream(TStream& S) { WriteFormatStream(1, S); }
  void ReadGifFile(const std::string& FileName) { ReadFormatFile(2, FileName); }
  void ReadGifStream(TStream& S) { ReadFormatStream(2, S); }
  void WriteGifFile(const std::string& FileName) { WriteFormatFile(2, FileName); }
  void WriteGifStream(TStream& S) { WriteFormatStream(2, S); }
  void ReadJpegFile(const std::string& FileName) { ReadFormatFile(3, FileName); }
  void ReadJpegStream(TStream& S) { ReadFormatStream(3, S); }
  void WriteJpegFile(const std::string& FileName) { WriteFormatFile(3, FileName); }
  void WriteJpegStream(TStream& S) { WriteFormatStream(3, S); }
  void ReadPcxFile(const std::string& FileName) { ReadFormatFile(4, FileName); }
  void ReadPcxStream(TStream& S) { ReadFormatStream(4, S); }
  void WritePcxFile(const std::string& FileName) { WriteFormatFile(4, FileName); }
  void WritePcxStream(TStream& S) { WriteFormatStream(4, S); }
  void ReadBmpFile(const std::string& FileName) { ReadFormatFile(5, FileName); }
  void ReadBmpStream(TStream& S) { ReadFormatStream(5, S); }
  void WriteBmpFile(const std::string& FileName) { WriteFormatFile(5, FileName); }
  void WriteBmpStream(TStream& S) { WriteFormatStream(5, S); }
  void ReadIcoFile(const std::string& FileName) { ReadFormatFile(6, FileName); }
  void ReadIcoStream(TStream& S) { ReadFormatStream(6, S); }
  void ReadCurFile(const std::string& FileName) { ReadFormatFile(7, FileName); }
  void ReadCurStream(TStream& S) { ReadFormatStream(7, S); }
  void ReadPngFile(const std::string& FileName) { ReadFormatFile(8, FileName); }
  void ReadPngStream(TStream& S) { ReadFormatStream(8, S); }
  void WritePngFile(const std::string& FileName) { WriteFormatFile(8, FileName); }
  void WritePngStream(TStream& S) { WriteFormatStream(8, S); }
  void ReadTgaFile(const std::string& FileName) { ReadFormatFile(11, FileName); }
  void ReadTgaStream(TStream& S) { ReadFormatStream(11, S); }
  void WriteTgaFile(const std::string& FileName) { WriteFormatFile(11, FileName); }
  void WriteTgaStream(TStream& S) { WriteFormatStream(11, S); }
  void ReadPnmFile(const std::string& FileName) { ReadFormatFile(12, FileName); }
  void ReadPnmStream(TStream& S) { ReadFormatStream(12, S); }
  void WritePnmFile(const std::string& FileName) { WriteFormatFile(12, FileName); }
  void WritePnmStream(TStream& S) { WriteFormatStream(12, S); }

  // Draws a WMF or EMF file into the target. Width or Height 0 does nothing;
  // -1 follows from the other side by the metafile's aspect ratio (both -1:
  // its own size). Sides are capped at 2800 pixels; the bitmap is one pixel
  // smaller than the size on both axes. Raises for a file that cannot be
  // opened or is no metafile the graphics system loads; fails through
  // Aborted without a metafile renderer.
  void ImportMetafile(const std::string& FileName, int32_t Width, int32_t Height);

  // 0 when the file cannot be read or holds none.
  int32_t GetTiffPageCount(const std::string& FileName);
  int32_t GetGifImageCount(const std::string& FileName);

  // Scanner acquisition into the target, and the choice of the scanner.
  // False, with the aborted flag and a reason, when nothing arrived.
  bool Acquire();
  bool SelectAcquireSource();

  // Opens the format parameters dialog on a copy of the target (pages: see
  // TIOPreviewsDialog::SetupPages); true when it closed with OK.
  bool ShowPreviewsDialog(int32_t Pages);
  // Copies the record of another TImagerIO, or a TIOParamsVals; ignores anything else.
  void AssignParams(const TObject* Source);
  // The whole target takes Background.
  void FillBackground();

  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TPropertyTable& PropertyTable() const override;

  // TIOParamsOwner
  TBitmap* ParamsBitmap() override { return Bitmap(); }
  bool ParamsViewDpi(int32_t& DpiX, int32_t& DpiY) override;

 protected:
  // The read and write of one format, as every operation above runs them.
  void ReadFormatFile(int32_t Id, const std::string& FileName);
  void ReadFormatStream(int32_t Id, TStream& S);
  void WriteFormatFile(int32_t Id, const std::string& FileName);
  void WriteFormatStream(int32_t Id, TStream& S);

 private:
  void ReadFormat(int32_t Id, TStream& S, const std::string& FileName, bool Headers);
  void ReadParams(int32_t Id, TStream& S, bool Headers);
  bool WriteFormat(int32_t Id, TStream& S, bool Headers);
  // Sets the aborted flag with the component's own reason.
  void Fail(std::string Reason);
  // The failure of an unknown type: lists and EXIF emptied, no file name or type.
  void FailUnknownType(std::string Reason);
  void ClearMetadata();
  void AdjustDpi();
  void RefreshTarget();
  TProgressRec MakeProgress(bool WithHandler);
  TIMIOViewLink* IOView() const;
  TIMMask* ViewAlpha() const;
  void BitmapChange(TObject* Sender, bool Destroying);
  void DetachImager();
  TComponent* AttachedImagerComponent() const { return FAttachedImager ? FBitmapOwner : nullptr; }
  void SetAttachedImagerComponent(TComponent* Value);
  TComponent* AttachedTImageComponent() const { return FAttachedTImage ? FBitmapOwner : nullptr; }
  void SetAttachedTImageComponent(TComponent* Value);

  TBitmap* FBitmap = nullptr;
  TIMViewLink* FAttachedImager = nullptr;
  TPictureHolder* FAttachedTImage = nullptr;
  TMsgLanguage FMsgLanguage = msSystem;
  bool FStreamHeaders = false;
  std::unique_ptr<TFont> FPreviewFont;
  std::unique_ptr<TIMMask> FOwnMask;
  std::unique_ptr<TIMTWainParams> FTWainParams;
  TIMDialogsMeasureUnit FDialogsMeasureUnit = imduInches;
  bool FAutoAdjustDPI = true;
  std::unique_ptr<TIMAviHandles> FAviHandles;
  std::unique_ptr<TIOParamsVals> FParams;
  bool FAborted = false;
  std::string FAbortReason;
  TColor FOwnBackground = 0;
  TIOPreviewsParams FPreviewsParams;
  TIMBitmapChangeRecord* FChangeHandle = nullptr;
  // The view or TImage FBitmap belongs to, so that its end also ends FBitmap.
  TComponent* FBitmapOwner = nullptr;
};

}  // namespace kv

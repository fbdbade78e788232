// The processing component: the one way editing operations reach a picture.
// It works in place on a bitmap that belongs to something else (an attached
// view, or a bitmap handed over), keeps the undo and redo snapshots, limits
// operations to the view's selection, reports progress and tells its target
// that the picture changed.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/processing/colour_kernels.h"
#include "imaging/model/im_bitmap.h"
#include "imaging/model/kernel_types.h"
#include "imaging/model/pixel.h"
#include "imaging/processing/resample_filters.h"
#include "imaging/processing/view_link.h"
#include "imaging/model/words.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/color.h"
#include "platform/graphics/picture.h"
#include "platform/rtl/component.h"
#include "platform/rtl/set.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/types.h"

namespace kv {

class TIMMask;
class TForm;

enum TPRPreviewsParamsItems : uint8_t { prppDefaultLockPreview };
using TPRPreviewsParams = TSet<TPRPreviewsParamsItems>;
using TIMPreviewEvent = std::function<void(TObject* Sender, TForm* PreviewForm)>;

class TImagerProc : public TComponent {
 public:
  using TSnapshotList = std::vector<std::unique_ptr<TIMBitmap>>;

  explicit TImagerProc(TComponent* AOwner);
  // Removes the registration from the attached view and frees every snapshot;
  // the target bitmap is never freed.
  ~TImagerProc() override;

  // ---- attaching ----
  // The view (a TIMView) attached, seen through what the component needs of it.
  TIMViewLink* AttachedImager() const { return FAttachedImager; }
  // The view's bitmap becomes the target; the component follows the view's
  // bitmap and alpha channel through a bitmap-change callback. The view must
  // be a component.
  void SetAttachedImager(TIMViewLink* Value);
  // The image control (a TImage) attached.
  TPictureHolder* AttachedTImage() const { return FAttachedTImage; }
  // The image's Picture.Bitmap becomes the target; a view is detached. The
  // holder must be a component.
  void SetAttachedTImage(TPictureHolder* Value);
  // An explicit target; nullptr while a view or a TImage is attached changes nothing.
  void SetAttachedBitmap(TBitmap* Value);
  // The target picture (not owned), or nullptr. With a TImage attached: the
  // bitmap its picture holds now (nullptr when it holds none).
  TBitmap* Bitmap() const;
  // The attached view's alpha channel while it has one.
  TIMMask* AlphaMask() const { return FAlphaMask; }
  TIMBitmapChangeRecord* ChangeHandle() const { return FChangeHandle; }

  // ---- properties ----
  bool AutoUndo() const { return FAutoUndo; }
  void SetAutoUndo(bool Value) { FAutoUndo = Value; }
  // The attached view's background, else the component's own.
  TColor Background() const;
  void SetBackground(TColor Value);
  TMsgLanguage MsgLanguage() const { return FMsgLanguage; }
  void SetMsgLanguage(TMsgLanguage Value) { FMsgLanguage = Value; }
  TPRPreviewsParams PreviewsParams() const { return FPreviewsParams; }
  void SetPreviewsParams(TPRPreviewsParams Value) { FPreviewsParams = Value; }
  TFont* PreviewFont() const { return FPreviewFont.get(); }
  // Copies the font.
  void SetPreviewFont(TFont* Value);
  // Snapshots kept in each list; a value below 1 keeps one.
  int32_t UndoLimit() const { return FUndoLimit; }
  void SetUndoLimit(int32_t Value) { FUndoLimit = Value; }
  TIMStorageKind UndoStorage() const { return FUndoStorage; }
  void SetUndoStorage(TIMStorageKind Value) { FUndoStorage = Value; }

  TIMProgressEvent OnProgress;
  TIMPreviewEvent OnPreview;

  // ---- undo and redo ----
  // A snapshot of the target (and of the view's alpha channel when it has
  // one) at the newest end of the undo list, with an empty caption; the
  // oldest snapshots go first so that the list keeps UndoLimit entries.
  // Nothing for a missing or empty target.
  virtual void SaveUndo();
  // Restores the newest undo snapshot without removing it.
  virtual void Undo();
  // Restores the snapshot N places back from the newest (0 the newest)
  // without removing it; nothing for N out of range.
  virtual void UndoAt(int32_t N);
  virtual void ClearLastRedo();
  // Restores the newest redo snapshot without removing it.
  virtual void Redo();
  // SaveUndo on the redo list.
  virtual void SaveRedo();
  // SaveUndo, then the newest caption becomes Caption.
  void SaveUndoCaptioned(const std::string& Caption);
  // SaveUndoCaptioned for a picture the target has just given up for a new
  // one: Old holds it and moves into the snapshot where the undo storage
  // allows (it is copied otherwise), Alpha is the alpha channel it had (or
  // null). An operation that builds its result beside the picture takes its
  // snapshot this way, so that no second copy of the picture is made. An
  // empty Old takes the snapshot of the target as SaveUndoCaptioned does.
  void SaveUndoReplaced(TBitmap& Old, const TIMMask* Alpha, const std::string& Caption);
  void ClearLastUndo();
  void ClearAllUndo();
  void ClearAllRedo();
  int32_t UndoCount() const { return static_cast<int32_t>(FUndoList.size()); }
  const TSnapshotList& UndoList() const { return FUndoList; }
  const TSnapshotList& RedoList() const { return FRedoList; }
  const TStringList& UndoCaptions() const { return FUndoCaptions; }
  const TStringList& RedoCaptions() const { return FRedoCaptions; }

  // ---- shared members ----
  // With a view: its alpha channel when it has one. Without: AlphaMask.
  TIMMask* GetAlphaMask() const;
  // The box X1, Y1, X2, Y2 (right and bottom exclusive) to work on and the
  // selection mask. True when the attached view has a selection; the box is
  // then the mask's bounding box when the mask is not empty, and the polygon
  // outputs take the view's outline. Otherwise the box is the whole bitmap.
  bool GetSelectionInfo(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2, TIMMask*& Mask, int32_t& PolyCount,
                        const TPoint*& PolyPoints) const;
  // The mask operations work through: the attached view's selection mask while
  // the view has a selection, none while it has not, and a mask of the
  // component's own (made on first use) when no view is attached.
  TIMMask* WorkMask();
  // Tells the target the picture changed: the view updates and fires its
  // image-change hook; a bare bitmap raises its OnChange.
  void RefreshTarget();

  // ---- colour and tone ----
  void ConvertToGray();
  void IntensityRGBAll(int32_t Red, int32_t Green, int32_t Blue);
  // Counts over the selection's bounding box (the whole bitmap without one).
  void GetHistogram(TIMHistogram& Histogram);
  int32_t CalcNumColors();

  // ---- geometry and formats ----
  void ImageResize(int32_t Width, int32_t Height);
  void Resample(int32_t Width, int32_t Height, TResampleFilter Filter);
  // 0 mirrors left and right, 1 top and bottom.
  void Flip(int32_t Direction);
  // Degrees, positive counter-clockwise. Without AutoUndo, Replaced (when
  // given) receives the picture the rotation replaces (it stays empty when
  // nothing was turned).
  void Rotate(bool Antialias, double Angle, TBitmap* Replaced = nullptr);
  void Clear();
  void CropSel();
  void ConvertTo(int32_t Colours);
  void ConvertToPalette(int32_t Colours, std::vector<TBGRPixel>& Palette);
  void ConvertTo24Bit();

  // ---- clipboard (as device-independent bitmaps) ----
  // The whole picture (24 or 1 bit) replaces what the clipboard holds.
  void CopyToClipboard();
  // The selection: its bounding box, or with a mask the covered pixels on white.
  void SelCopyToClip();
  // SelCopyToClip, then the selection takes the background colour; nothing without a selection.
  void SelCutToClip();
  // The clipboard's picture replaces the target (pf1bit or pf24bit, the DIB's size).
  void PasteFromClipboard();
  // The clipboard's picture stretched into the selection's bounding box.
  void SelPasteFromClipStretch();

  // ---- hidden data (pf24bit only; 0 and no change otherwise) ----
  // Hides N bytes in the picture's low bits; N, or 0 when they do not fit.
  int32_t WriteHiddenData(const void* Buffer, int32_t N);
  int32_t WriteHiddenText(const std::string& Text);
  // The hidden length (0 when none); up to MaxCount bytes go to Buffer unless it is null.
  int32_t ReadHiddenData(void* Buffer, int32_t MaxCount);
  std::string ReadHiddenText();
  // Data bytes the picture can hide (negative when not even the header fits).
  int32_t GetHiddenDataSpace();

  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TPropertyTable& PropertyTable() const override;

 private:
  void SaveSnapshot(TSnapshotList& List, TStringList& Captions);
  // A snapshot of Picture (moved in with Take) and Alpha at the newest end of List.
  void PushSnapshot(TSnapshotList& List, TStringList& Captions, TBitmap& Picture, bool Take, const TIMMask* Alpha);
  void RestoreSnapshot(TSnapshotList& List, int32_t N);
  void ClearLast(TSnapshotList& List, TStringList& Captions);
  void ClearAll(TSnapshotList& List, TStringList& Captions);
  void BitmapChange(TObject* Sender, bool Destroying);
  void DetachImager();
  // Runs Kernel(bitmap, x1, y1, x2, y2) on the selection: straight on the
  // target without a selection or with an empty mask, else on a copy of the
  // mask's box merged back through the mask. Then RefreshTarget.
  void RunOnSelection(const std::function<void(TBitmap&, int32_t, int32_t, int32_t, int32_t)>& Kernel);
  bool Is24Bit() const;
  // The attachments as components, for the property table.
  TComponent* AttachedImagerComponent() const { return FAttachedImager ? FBitmapOwner : nullptr; }
  void SetAttachedImagerComponent(TComponent* Value);
  TComponent* AttachedTImageComponent() const { return FAttachedTImage ? FBitmapOwner : nullptr; }
  void SetAttachedTImageComponent(TComponent* Value);

  bool FAutoUndo = true;
  TIMViewLink* FAttachedImager = nullptr;
  TIMBitmapChangeRecord* FChangeHandle = nullptr;  // no registration
  TColor FOwnBackground = 0;
  TMsgLanguage FMsgLanguage = msSystem;
  TPRPreviewsParams FPreviewsParams;
  std::unique_ptr<TFont> FPreviewFont;
  TPictureHolder* FAttachedTImage = nullptr;
  TIMMask* FAlphaMask = nullptr;
  TSnapshotList FUndoList;
  TIMStorageKind FUndoStorage = skTempFile;
  std::unique_ptr<TIMMask> FOwnMask;
  int32_t FUndoLimit = 1;
  TStringList FUndoCaptions;
  TSnapshotList FRedoList;
  TStringList FRedoCaptions;
  TBitmap* FBitmap = nullptr;
  // The view or TImage FBitmap belongs to, so that its end also ends FBitmap
  // (kept as the component: its notification comes when it is no longer a view).
  TComponent* FBitmapOwner = nullptr;
};

// The skew of the text in the component's bitmap, in degrees (0 without a
// bitmap); progress goes to the component's OnProgress.
double EstimateSkewAngle(TImagerProc& Proc, int32_t TargetWidth, int32_t MaxAngle, double Precision);

}  // namespace kv

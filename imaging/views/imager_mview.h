// The multi-image view: a scrollable grid of equal cells (thumbnails), or one
// image at a time, with selection by mouse and keyboard, up to three caption
// texts per image and a player that steps through the images on a timer.
//
// The images live in a store in a temporary file (TIMVirtualDIBList) of which
// only a few are mapped at a time; the view keeps small entry records. The
// current image is lent out of the store as the view's displayed bitmap and
// written back when the selection moves.
//
// Painting only draws: whatever a paint needs (on-demand loads of the visible
// entries, removal of corrupt ones) is prepared before it, when the layout,
// the scroll offsets or the played frame change.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/model/view_params.h"
#include "imaging/model/virtual_dib_list.h"
#include "imaging/processing/transition_frames.h"
#include "imaging/views/im_view.h"
#include "imaging/views/imager_view.h"
#include "platform/graphics/picture.h"
#include "platform/rtl/set.h"

namespace kv {

class TImagerIO;
class TImagerMView;
class TIMTransitionEffects;
class TTimer;

enum TIMStoreType : uint8_t { imtNormal, imtThumb };
enum TIMMMouseInteractItem : uint8_t { mmiScroll, mmiSelect };
using TIMMMouseInteract = TSet<TIMMMouseInteractItem, 8>;
enum TIMMKeyInteractItem : uint8_t { mkiMoveSelected };
using TIMMKeyInteract = TSet<TIMMKeyInteractItem, 8>;
enum TIMMDisplayMode : uint8_t { mdGrid, mdSingle };
enum TIMMStyle : uint8_t { immsFlat, immsACD };
enum TIMSStyle : uint8_t { imssAround, imssACD };
enum TIMMultiSelectionOption : uint8_t { immoRegion };
using TIMMultiSelectionOptions = TSet<TIMMultiSelectionOption, 8>;
enum TIMWallPaperStyle : uint8_t { imwoNormal, imwoStretch, imwoTile };

using TIMMImageSelectEvent = std::function<void(TObject* Sender, int32_t idx)>;
using TIMMImageDrawEvent =
    std::function<void(TObject* Sender, int32_t idx, int32_t Left, int32_t Top, TCanvas& Canvas)>;
using TIMMDrawProgressEvent = std::function<void(TObject* Sender, int32_t per, int32_t idx)>;
// Supplies the picture of an entry that has an ImageID; the handler keeps
// ownership of what it hands back (the view stores a copy). Null: none.
using TIMMImageIDRequestEvent = std::function<void(TObject* Sender, int32_t ID, TBitmap*& Bitmap)>;

// One caption of an entry: 0 top, 1 info strip, 2 bottom.
class TIMMText : public TObject {
 public:
  TIMMText(TImagerMView* Owner, int32_t Position);
  std::string Caption;
  TFont Font;          // a copy of the view's font
  TColor Background;   // the view's background (clBtnFace without a view)
  TImagerMView* Owner;
  int32_t Position;
};

// The small record the view keeps for each image.
struct TIMMImageEntry {
  TIMMImageEntry(TImagerMView* Owner, TColor ABackground);
  TIMVirtualImageHandle Image = nullptr;  // null while the entry has no image
  int32_t X = 0, Y = 0;                   // cell's top-left in grid coordinates
  int32_t Row = 0, Col = 0;
  TColor Background;
  std::string FileName;  // source of an on-demand load; empty: none
  int32_t ImageID = -1;  // source of an on-demand load through OnImageIDRequest; -1: none
  int32_t DelayTime = 0; // milliseconds the image stays while playing
  TIMMText TopText, InfoText, BottomText;
  // After an on-demand load left the entry without image: 1 the file
  // failed, 2 the handler gave nothing. Painting preparation does not try
  // again (GetImageBitmap does; a new source clears it).
  uint8_t LoadState = 0;
  // The picture as the cell shows it (fitted, 24 bits), made before a paint
  // while the cell is in view and dropped when it leaves: painting then
  // reads no store block.
  std::unique_ptr<TBitmap> Prepared;
  int32_t PreparedArea = -1, PreparedWidth = -1;  // the image area it was fitted into
};

// Thumbnail size of a w x h picture in a maxW x maxH box: scaled to fit
// (small pictures enlarged), each side at least 1. Nothing when w or h is 0.
void FitThumbSize(int32_t w, int32_t h, int32_t maxW, int32_t maxH, int32_t& OutW, int32_t& OutH);

class TImagerMView : public TIMView {
 public:
  explicit TImagerMView(TComponent* AOwner);
  ~TImagerMView() override;

  // ---- TIMView ----
  void SetBackground(TColor Value) override;
  // The current image lent out of the store; null without a selection.
  TBitmap* GetBitmap() override { return FCurrentBitmap; }
  TIMMask* GetAlphaChannel() override { return nullptr; }
  void SetAlphaChannel(std::unique_ptr<TIMMask>) override {}
  bool HasAlphaChannel() const override { return false; }
  void RemoveAlphaChannel() override {}
  void LockPaint() override { ++FPaintLock; }
  int32_t UnlockPaint() override;
  int32_t UnlockPaintNoUpdate() override;
  int32_t PaintLocked() const { return FPaintLock; }

  // ---- entries ----
  int32_t GetImageCount() const { return static_cast<int32_t>(FEntries.size()); }
  // An empty entry at idx (appended when idx >= count), selected.
  void InsertImage(int32_t idx);
  void InsertImageNoSelect(int32_t idx);
  bool DeleteImageNoUpdate(int32_t idx);
  bool DeleteImage(int32_t idx);
  void Clear();
  // Stores Bitmap (a copy, or its thumbnail with imtThumb) as entry idx's image.
  void SetImageNoUpdate(int32_t idx, const TBitmap* Bitmap);
  // As SetImageNoUpdate with the rows of a device-independent bitmap as they
  // lie in memory (bottom row first, padded to 4 bytes), stored as they are;
  // false (nothing done) when the view keeps thumbnails, which need a bitmap.
  bool SetImageRowsNoUpdate(int32_t idx, int32_t Width, int32_t Height, int32_t Bits, const uint8_t* Rows);
  void SetImage(int32_t idx, const TBitmap* Bitmap);
  void SetImageBackground(int32_t idx, TColor Color);
  void SetImageDelay(int32_t idx, int32_t ms);
  // Where an entry's image comes from when it is first needed on screen.
  void SetImageFileName(int32_t idx, const std::string& FileName);
  void SetImageID(int32_t idx, int32_t ID);
  int32_t ImageRow(int32_t idx) const;
  int32_t ImageCol(int32_t idx) const;
  TColor ImageBackground(int32_t idx) const;
  int32_t ImageDelay(int32_t idx) const;
  // The captions of an entry; null for an index out of range.
  TIMMText* ImageTopText(int32_t idx);
  TIMMText* ImageInfoText(int32_t idx);
  TIMMText* ImageBottomText(int32_t idx);
  // The entry record; null for an index out of range.
  const TIMMImageEntry* Entry(int32_t idx) const;
  bool HasImage(int32_t idx) const;
  void PrepareImageSpace(int32_t count, int32_t width, int32_t height, int32_t bitcount);
  // Loads the entry on demand when it has no image, then lends its image out
  // of the store (null when it has none). Give it back through ImageStore().
  TBitmap* GetImageBitmap(int32_t idx);
  // The kind of the last change (0 none, 1 insert, 2 delete), reset to 0.
  int32_t TakeLastChange();
  int32_t LastChangeIndex() const { return FLastChangeIndex; }
  TIMVirtualDIBList& ImageStore() { return *FStore; }

  // ---- selection and view ----
  int32_t SelectedImage() const { return FSelectedImage; }
  void SetSelectedImage(int32_t idx);
  void SelectNoUpdate(int32_t idx);
  void Deselect();
  void DeselectNoUpdate();
  const std::vector<int32_t>& MultiSelectedImages() const { return FMultiSelectedImages; }
  bool MultiSelecting() const { return FMultiSelecting; }
  void SetMultiSelecting(bool Value) { FMultiSelecting = Value; }
  bool KeepSelected() const { return FKeepSelected; }
  void SetKeepSelected(bool Value) { FKeepSelected = Value; }
  int32_t ImageAtPos(int32_t x, int32_t y) const;
  int32_t ImageAtGridPos(int32_t row, int32_t col) const;
  // 0 outside the client area, 1 crossing its border, 2 wholly inside.
  int32_t IsImageVisible(int32_t idx) const;
  int32_t ViewX() const { return FViewX; }
  int32_t ViewY() const { return FViewY; }
  void SetViewX(int32_t v);
  void SetViewY(int32_t v);
  void SetViewXY(int32_t x, int32_t y);
  int32_t TotalWidth() const { return FTotalWidth; }
  int32_t TotalHeight() const { return FTotalHeight; }
  // Columns as the layout counts them (GridWidth, or as many as fit for -1).
  int32_t Columns() const;
  bool Playing() const { return FPlaying; }
  void SetPlaying(bool Value);
  int32_t PlayIndex() const { return FPlayIndex; }
  // The keyboard's moves: 0 left, 1 right, 2 up, 3 down, 4 home, 5 end, 6 page down, 7 page up.
  void MoveSelection(int32_t kind);
  // Selects the image under a client point as a click does.
  void SelectAtPos(int32_t x, int32_t y, TShiftState Shift);
  // One step of the player (the timer's).
  void PlayFrame();

  // Layout, scroll bars, on-demand loads of the visible cells, repaint.
  void Update() override;
  virtual void SetScrollBars(TScrollStyle Value);
  virtual void ViewChange(int32_t Change);
  virtual void PaintTo(TCanvas& Canvas);

  // ---- properties ----
  TScrollStyle ScrollBars() const { return FScrollBars; }
  TIMStoreType StoreType() const { return FStoreType; }
  void SetStoreType(TIMStoreType Value) { FStoreType = Value; }
  int32_t ThumbWidth() const { return FThumbWidth; }
  void SetThumbWidth(int32_t Value);
  int32_t ThumbHeight() const { return FThumbHeight; }
  void SetThumbHeight(int32_t Value);
  int32_t HorizBorder() const { return FHorizBorder; }
  void SetHorizBorder(int32_t Value);
  int32_t VertBorder() const { return FVertBorder; }
  void SetVertBorder(int32_t Value);
  int32_t BottomGap() const { return FBottomGap; }
  void SetBottomGap(int32_t Value);
  int32_t UpperGap() const { return FUpperGap; }
  void SetUpperGap(int32_t Value);
  bool VisibleSelection() const { return FVisibleSelection; }
  void SetVisibleSelection(bool Value);
  int32_t SelectionWidth() const { return FSelectionWidth; }
  void SetSelectionWidth(int32_t Value);
  TColor SelectionColor() const { return FSelectionColor; }
  void SetSelectionColor(TColor Value);
  TIMMMouseInteract MouseInteract() const { return FMouseInteract; }
  virtual void SetMouseInteract(TIMMMouseInteract Value) { FMouseInteract = Value; }
  TIMMKeyInteract KeyInteract() const { return FKeyInteract; }
  virtual void SetKeyInteract(TIMMKeyInteract Value) { FKeyInteract = Value; }
  // While playing, only the mode restored when playing stops changes.
  TIMMDisplayMode DisplayMode() const { return FDisplayMode; }
  void SetDisplayMode(TIMMDisplayMode Value);
  int32_t GridWidth() const { return FGridWidth; }
  void SetGridWidth(int32_t Value);
  bool RemoveCorrupted() const { return FRemoveCorrupted; }
  void SetRemoveCorrupted(bool Value) { FRemoveCorrupted = Value; }
  bool DrawImageBackground() const { return FDrawImageBackground; }
  void SetDrawImageBackground(bool Value);
  int32_t ImageCacheSize() const { return FImageCacheSize; }
  void SetImageCacheSize(int32_t Value);
  TIMTransitionType TransitionEffect() const { return FTransitionEffect; }
  void SetTransitionEffect(TIMTransitionType Value) { FTransitionEffect = Value; }
  int32_t TransitionDuration() const { return FTransitionDuration; }
  void SetTransitionDuration(int32_t Value) { FTransitionDuration = Value; }
  TIMMStyle Style() const { return FStyle; }
  void SetStyle(TIMMStyle Value);
  TIMSStyle SelectionStyle() const { return FSelectionStyle; }
  void SetSelectionStyle(TIMSStyle Value);
  TColor ThumbnailsBackground() const { return FThumbnailsBackground; }
  void SetThumbnailsBackground(TColor Value);
  bool EnableMultiSelect() const { return FEnableMultiSelect; }
  void SetEnableMultiSelect(bool Value);
  TIMMultiSelectionOptions MultiSelectionOptions() const { return FMultiSelectionOptions; }
  void SetMultiSelectionOptions(TIMMultiSelectionOptions Value) { FMultiSelectionOptions = Value; }
  int32_t ThumbnailsBorderWidth() const { return FThumbnailsBorderWidth; }
  void SetThumbnailsBorderWidth(int32_t Value);
  TColor ThumbnailsBorderColor() const { return FThumbnailsBorderColor; }
  void SetThumbnailsBorderColor(TColor Value);
  TPicture* WallPaper() const { return FWallPaper.get(); }
  void SetWallPaper(TPicture* Value);
  TIMWallPaperStyle WallPaperStyle() const { return FWallPaperStyle; }
  void SetWallPaperStyle(TIMWallPaperStyle Value);
  TIMScrollBarParams& HorzScrollBar() { return FHorzParams; }
  TIMScrollBarParams& VertScrollBar() { return FVertParams; }
  TIMTransitionEffects& Transitions() { return *FTransitions; }
  TImagerIO& IO() { return *FIO; }
  const TTimer& PlayTimer() const { return *FPlayTimer; }

  TViewChangeEvent OnViewChange;
  TIMMImageSelectEvent OnImageSelect;
  TIMMImageDrawEvent OnImageDraw;
  TIMMDrawProgressEvent OnDrawProgress;
  TIMMImageIDRequestEvent OnImageIDRequest;
  TIMProgressEvent OnIOProgress;

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void Paint() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  // imager_mview.cpp
  void InsertEntry(int32_t idx);
  void StoreImage(TIMMImageEntry& E, const TBitmap& Bitmap);
  // The entry's stored picture and its prepared copy are freed.
  void DropEntryImage(TIMMImageEntry& E);
  bool LoadEntryImage(int32_t idx);
  void ReleaseCurrent();
  void CheckOutCurrent();
  bool ValidIndex(int32_t idx) const { return idx >= 0 && idx < GetImageCount(); }
  // imager_mview_layout.cpp
  void LayoutEntries();
  void MaxView(int32_t& MaxX, int32_t& MaxY) const;
  void UpdateBars(bool& ClientChanged);
  // Loads the visible entries that have no image yet; true when a corrupt one was removed.
  bool PrepareVisible();
  void ScrollMessage(TMessage& Message, bool Vertical);
  void ScrollBarsToView();
  void ScrollToTop(int32_t idx);
  void ScrollToBottom(int32_t idx);
  void DragScroll(int32_t x, int32_t y);
  bool CanUpdate() const;
  // imager_mview_paint.cpp
  void PaintCell(TCanvas& C, int32_t idx);
  void PaintWallPaper(TCanvas& C);
  // The image area's height of entry idx's cell, the fitted picture size in
  // it (0 x 0 without image), and that picture rendered from the store.
  int32_t ImageAreaHeight(TCanvas& C, TIMMImageEntry& E);
  void FittedSize(TIMMImageEntry& E, int32_t AreaHeight, int32_t& W, int32_t& H);
  void RenderFitted(TIMMImageEntry& E, int32_t W, int32_t H, TBitmap& Out);
  // Makes entry idx's prepared picture when missing, of another size, or
  // lent out (attached components may have changed it).
  void PrepareCell(TIMMImageEntry& E);

  std::vector<std::unique_ptr<TIMMImageEntry>> FEntries;
  std::unique_ptr<TIMVirtualDIBList> FStore;
  int32_t FSelectedImage = -1;
  TBitmap* FCurrentBitmap = nullptr;  // lent out of the store while an image is current
  std::vector<int32_t> FMultiSelectedImages;
  bool FMultiSelecting = false;
  bool FKeepSelected = false;
  int32_t FViewX = 0, FViewY = 0;
  int32_t FTotalWidth = 0, FTotalHeight = 0;
  double FHScale = 1, FVScale = 1;
  TIMScrollBarParams FHorzParams, FVertParams;
  TImagerIO* FIO = nullptr;  // owned as a component
  std::unique_ptr<TIMTransitionEffects> FTransitions;
  std::unique_ptr<TPicture> FWallPaper;
  int32_t FPaintLock = 0;
  // mouse
  int32_t FDownX = 0, FDownY = 0, FDownViewX = 0, FDownViewY = 0;
  int32_t FPressedIndex = -1, FLastPassedIndex = -1;
  bool FDblClicked = false;
  // player
  bool FPlaying = false;
  int32_t FPlayIndex = 0;
  TTimer* FPlayTimer = nullptr;  // owned as a component
  TIMMDisplayMode FSavedDisplayMode = mdGrid;
  int32_t FSavedSelection = -1;
  bool FInPlayFrame = false;
  // changes
  int32_t FLastChangeKind = 0;
  int32_t FLastChangeIndex = 0;
  bool FUpdating = false;
  bool FDestroying = false;
  bool FPreparing = false;

  TScrollStyle FScrollBars = ssNone;
  TIMStoreType FStoreType = imtNormal;
  int32_t FThumbWidth = 100, FThumbHeight = 100;
  int32_t FHorizBorder = 4, FVertBorder = 4;
  int32_t FBottomGap = 0, FUpperGap = 0;
  bool FVisibleSelection = true;
  int32_t FSelectionWidth = 3;
  TColor FSelectionColor = 255;
  TIMMMouseInteract FMouseInteract{mmiSelect};
  TIMMKeyInteract FKeyInteract{mkiMoveSelected};
  TIMMDisplayMode FDisplayMode = mdGrid;
  int32_t FGridWidth = 0;
  bool FRemoveCorrupted = false;
  bool FDrawImageBackground = false;
  int32_t FImageCacheSize = 10;
  TIMTransitionType FTransitionEffect = imttNone;
  int32_t FTransitionDuration = 1000;
  TIMMStyle FStyle = immsACD;
  TIMSStyle FSelectionStyle = imssAround;
  TColor FThumbnailsBackground = clBtnFace;
  bool FEnableMultiSelect = false;
  TIMMultiSelectionOptions FMultiSelectionOptions;
  int32_t FThumbnailsBorderWidth = 0;
  TColor FThumbnailsBorderColor = clBtnFace;
  TIMWallPaperStyle FWallPaperStyle = imwoNormal;
};

}  // namespace kv

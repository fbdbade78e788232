// TSpeedBar: a tool bar whose buttons (TSpeedItem) belong to named sections
// and sit at free places on a grid. Users dock the bar at any edge of its
// parent, give it more rows or columns and, in customise mode, drag buttons
// onto it, about on it and off it. The layout is kept in the form's store.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/controls/kv_speed_button.h"
#include "components/form_storage.h"
#include "platform/graphics/picture.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/forms.h"
#include "platform/ui/image_list.h"
#include "platform/ui/panel.h"

namespace kv {

class ESpeedbarError : public Exception {
 public:
  using Exception::Exception;
};

enum TBoundLine : uint8_t { blTop, blBottom, blLeft, blRight };
using TBoundLines = TSet<TBoundLine, 8>;
enum TBarPosition : uint8_t { bpAuto, bpCustom };
enum TBarOrientation : uint8_t { boHorizontal, boVertical };
enum TSpeedbarOption : uint8_t {
  sbAllowDrag, sbAllowResize, sbFlatBtns, sbGrayedBtns, sbTransparentBtns, sbStretchBitmap
};
using TSpeedbarOptions = TSet<TSpeedbarOption, 8>;
using TApplyAlignEvent = std::function<void(TObject* Sender, TAlign Align, bool& Apply)>;

// Sent synchronously from a bar to its customise window: WParam the code,
// LParam the sender (the bar, or the dropped item for code 2).
constexpr UINT CM_SPEEDBARCHANGED = 45136;
constexpr int32_t SBR_CHANGED = 0;       // the bar's layout changed
constexpr int32_t SBR_DESTROYED = 1;     // the bar is being destroyed
constexpr int32_t SBR_BTNSELECT = 2;     // an item was dropped visibly on the bar
constexpr int32_t SBR_BTNSIZECHANGED = 3;  // button size or orientation changed

class TSpeedBar;
class TSpeedItem;
class TBtnControl;

// The button of an item, drawn from the bar's image list when the item has an image index.
class TSpeedbarButton : public TKvSpeedButton {
 public:
  explicit TSpeedbarButton(TComponent* AOwner);
  ~TSpeedbarButton() override;
  TSpeedItem* Item() const { return FItem; }
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  // The drag image while the button is dragged in customise mode.
  TBtnControl* DragImage() const { return FDrag.get(); }

 protected:
  friend class TSpeedItem;
  // The item's Visible and the stored layout decide whether the button shows, not the action.
  void ActionChange(TBasicAction* Sender, bool CheckDefaults) override;
  void DrawGlyphAndCaption(TCanvas& Canvas, const TRect& R, bool DrawMark, SpeedButtonState State) override;
  void Paint() override;
  void WndProc(TMessage& Message) override;

 private:
  void EditMouse(TMessage& Message);
  TSpeedItem* FItem = nullptr;
  std::unique_ptr<TBtnControl> FDrag;
};

class TSpeedbarSection : public TComponent {
 public:
  explicit TSpeedbarSection(TComponent* AOwner);
  ~TSpeedbarSection() override;

  const std::string& Caption() const { return FCaption; }
  // Raises ESpeedbarError for a caption another section of the bar has.
  void SetCaption(const std::string& Value);
  // Place in the bar's list; setting it moves the section (clamped).
  int32_t Index() const;
  void SetIndex(int32_t Value);
  int32_t Count() const { return static_cast<int32_t>(FList.size()); }
  TSpeedItem* Items(int32_t Index) const { return FList[size_t(Index)]; }
  TSpeedBar* SpeedBar() const { return FSpeedBar; }
  TComponent* GetParentComponent() const;

  const TPropertyTable& PropertyTable() const override;

 private:
  friend class TSpeedBar;
  friend class TSpeedItem;
  std::string FCaption;
  std::vector<TSpeedItem*> FList;
  TSpeedBar* FSpeedBar = nullptr;
};

class TSpeedItem : public TComponent {
 public:
  explicit TSpeedItem(TComponent* AOwner);
  ~TSpeedItem() override;

  TSpeedbarButton* Button() const { return FButton; }
  TSpeedBar* SpeedBar() const { return FSpeedBar; }
  int32_t SectionIndex() const { return FSection; }
  bool Editing() const { return FEditing; }
  void SetEditing(bool Value);

  // Own state.
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);
  void SetName(const std::string& Value);
  int32_t ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int32_t Value);
  bool Stored() const { return FStored; }
  void SetStored(bool Value) { FStored = Value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  intptr_t Tag() const { return TComponent::Tag(); }
  void SetTag(intptr_t Value);
  // The section caption read from stored form data.
  const std::string& SectionName() const { return FSectionName; }
  void SetSectionName(const std::string& Value) { FSectionName = Value; }
  int32_t Section() const { return FSection; }
  void SetSection(int32_t Value);
  // Reading stored form data: the item joins the bar, in the section its
  // SectionName names (the first one when none has that caption), else in
  // the section its stored index gives (at least 0).
  void SetParentComponent(TComponent* Value);

  // Forwarded to the button.
  TBasicAction* Action() const { return FButton->Action(); }
  void SetAction(TBasicAction* V) { FButton->SetAction(V); }
  bool AllowAllUp() const { return FButton->AllowAllUp(); }
  void SetAllowAllUp(bool V) { FButton->SetAllowAllUp(V); }
  bool AllowTimer() const { return FButton->AllowTimer(); }
  void SetAllowTimer(bool V) { FButton->SetAllowTimer(V); }
  const std::string& BtnCaption() const { return FButton->Caption(); }
  void SetBtnCaption(const std::string& V) { FButton->SetCaption(V); }
  int32_t GroupIndex() const { return FButton->GroupIndex(); }
  void SetGroupIndex(int32_t V) { FButton->SetGroupIndex(V); }
  bool Down() const { return FButton->Down(); }
  void SetDown(bool V) { FButton->SetDown(V); }
  TPopupMenu* DropDownMenu() const { return FButton->DropDownMenu(); }
  void SetDropDownMenu(TPopupMenu* V) { FButton->SetDropDownMenu(V); }
  TFont* Font() const { return &FButton->Font(); }
  void SetFont(TFont* V) { if (V) FButton->SetFont(*V); }
  TCursor Cursor() const { return FButton->Cursor(); }
  void SetCursor(TCursor V) { FButton->SetCursor(V); }
  TBitmap* Glyph() const { return &FButton->Glyph(); }
  void SetGlyph(TBitmap* V) { FButton->SetGlyph(V); }
  const std::string& Hint() const { return FButton->Hint(); }
  void SetHint(const std::string& V) { FButton->SetHint(V); }
  TButtonLayout Layout() const { return FButton->Layout(); }
  void SetLayout(TButtonLayout V) { FButton->SetLayout(V); }
  int32_t Margin() const { return FButton->Margin(); }
  void SetMargin(int32_t V) { FButton->SetMargin(V); }
  bool MarkDropDown() const { return FButton->MarkDropDown(); }
  void SetMarkDropDown(bool V) { FButton->SetMarkDropDown(V); }
  int32_t NumGlyphs() const { return FButton->NumGlyphs(); }
  void SetNumGlyphs(int32_t V) { FButton->SetNumGlyphs(V); }
  bool ParentShowHint() const { return FButton->ParentShowHint(); }
  void SetParentShowHint(bool V) { FButton->SetParentShowHint(V); }
  bool ParentFont() const { return FButton->ParentFont(); }
  void SetParentFont(bool V) { FButton->SetParentFont(V); }
  bool ShowHint() const { return FButton->ShowHint(); }
  void SetShowHint(bool V) { FButton->SetShowHint(V); }
  int32_t Spacing() const { return FButton->Spacing(); }
  void SetSpacing(int32_t V) { FButton->SetSpacing(V); }
  int32_t Left() const { return FButton->Left(); }
  void SetLeft(int32_t V) { FButton->SetLeft(V); }
  int32_t Top() const { return FButton->Top(); }
  void SetTop(int32_t V) { FButton->SetTop(V); }
  bool WordWrap() const { return FButton->WordWrap(); }
  void SetWordWrap(bool V) { FButton->SetWordWrap(V); }
  void SetBounds(int32_t L, int32_t T, int32_t W, int32_t H) { FButton->SetBounds(L, T, W, H); }
  void BringToFront() { FButton->BringToFront(); }
  void SendToBack() { FButton->SendToBack(); }

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TPropertyTable& PropertyTable() const override;

 private:
  friend class TSpeedBar;
  friend class TSpeedbarSection;
  void UpdateButtonVisible();
  void UpdateButtonEnabled();

  TSpeedbarButton* FButton;
  TSpeedBar* FSpeedBar = nullptr;
  int32_t FSection = -1;
  std::string FSectionName;
  std::string FCaption;
  int32_t FImageIndex = -1;
  bool FStored = true;
  bool FVisible = false;
  bool FEnabled = true;
  bool FEditing = false;
};

using TItemProc = std::function<void(TSpeedItem* Item, void* Data)>;

class TSpeedBar : public TCustomPanel {
 public:
  explicit TSpeedBar(TComponent* AOwner);
  ~TSpeedBar() override;

  TBoundLines BoundLines() const { return FBoundLines; }
  void SetBoundLines(TBoundLines Value);
  TBarPosition Position() const { return FPosition; }
  void SetPosition(TBarPosition Value);
  // Raises ESpeedbarError for alNone or alClient while Position is bpAuto.
  void SetAlign(TAlign Value);
  TSpeedbarOptions Options() const { return FOptions; }
  void SetOptions(TSpeedbarOptions Value);
  int32_t BtnOffsetHorz() const { return FOffset.X; }
  void SetBtnOffsetHorz(int32_t Value);
  int32_t BtnOffsetVert() const { return FOffset.Y; }
  void SetBtnOffsetVert(int32_t Value);
  int32_t BtnWidth() const { return FButtonSize.X; }
  void SetBtnWidth(int32_t Value);
  int32_t BtnHeight() const { return FButtonSize.Y; }
  void SetBtnHeight(int32_t Value);
  TFormPlacement* IniStorage() const { return FIniLink.Storage(); }
  void SetIniStorage(TFormPlacement* Value);
  int32_t Version() const { return FVersion; }
  void SetVersion(int32_t Value) { FVersion = Value; }
  TPicture& Wallpaper() { return FWallpaper; }
  // A copy of Value (nullptr: none) behind the buttons, shown at once.
  void SetWallpaper(const TPicture* Value);
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);

  TApplyAlignEvent OnApplyAlign;
  TNotifyEvent OnCustomize;
  TNotifyEvent OnPosChanged;
  TNotifyEvent OnVisibleChanged;

  // Sections and items.
  int32_t AddSectionNamed(const std::string& Caption);
  virtual int32_t AttachSection(TSpeedbarSection* Section);
  TSpeedItem* NewItem(TComponent* AOwner, int32_t Section, const std::string& AName);
  TSpeedItem* ItemAt(int32_t Section, int32_t Index) const;
  int32_t SectionCount() const { return static_cast<int32_t>(FSections.size()); }
  int32_t ItemCountOf(int32_t Section) const;
  TSpeedbarSection* Sections(int32_t Index) const;
  TSpeedItem* FindItemByName(const std::string& Name) const;
  int32_t SectionIndexOf(const std::string& Caption) const;
  void PlaceItem(int32_t Section, TSpeedItem* Item);
  void DetachItem(TSpeedItem* Item);
  void FreeSection(int32_t Index);
  void DetachSection(int32_t Index);
  virtual void VisitItems(const TItemProc& Proc, void* Data);
  void ApplyButtonSettings(TSpeedItem* Item, bool WithBounds);
  virtual void ApplyMenuFont();
  // Snaps the item to the grid at (X, Y); returns whether it is visible on the bar now.
  bool DropItemAt(TSpeedItem* Item, int32_t X, int32_t Y);
  // Opens the customise window.
  void Customize(int32_t HelpContext);

  TBarOrientation Orientation() const;
  void SetOrientation(TBarOrientation Value);
  int32_t StepX() const { return FGridSize.X; }
  int32_t StepY() const { return FGridSize.Y; }
  // 2 (0 with flat buttons) + BorderWidth + the bevels' widths.
  int32_t BorderSize() const;
  // Scales sizes and offsets by M / D (a form read at another resolution).
  void ChangeScale(int32_t M, int32_t D);

  // Customise mode: the window that customises the bar, or nullptr.
  TWinControl* EditWindow() const { return FEditWin; }
  void SetEditing(TWinControl* Window);
  // Tells the customise window (when open).
  void NotifyEditWindow(int32_t Code, TObject* Sender);

  // Layout persistence through the link.
  void StoreLayout();
  void LoadLayout();
  std::string LayoutSection() const;

  // Drag state, for tests.
  bool Dragging() const { return FDragging; }
  bool Resizing() const { return FResizing; }
  TRect DragFrame() const { return FDragRect; }

  void SetEnabled(bool Value) override;
  void Dispatch(TMessage& Message) override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void Paint() override;
  TRect AdjustClientRect() const override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  virtual void AlignmentChanged();
  virtual void CustomizeEnd();

 private:
  friend class TSpeedItem;
  friend class TSpeedbarSection;
  void UpdateGridSize();
  void ForEachButton(const std::function<void(TSpeedItem*)>& Fn) const;
  void SnapItem(TSpeedItem* Item);
  TAlign TargetEdge(TPoint ParentPoint) const;
  TRect FrameFor(TAlign Edge) const;
  bool InResizeZone(int32_t X, int32_t Y) const;
  void OffsetButtons(int32_t Dx, int32_t Dy);
  std::string SectionsText() const;
  void SetSectionsText(const std::string& Value);

  std::vector<TSpeedbarSection*> FSections;
  TBoundLines FBoundLines;
  TBarPosition FPosition = bpAuto;
  TBarOrientation FOrientation = boHorizontal;
  TSpeedbarOptions FOptions{sbAllowDrag, sbGrayedBtns};
  TPoint FOffset{0, 0};
  TPoint FButtonSize{24, 23};
  TPoint FGridSize{8, 1};
  int32_t FVersion = 0;
  TPicture FWallpaper;
  TCustomImageList* FImages = nullptr;
  TChangeLink FImageChangeLink;
  TIniLink FIniLink;
  TWinControl* FEditWin = nullptr;
  TAlign FPrevAlign = alTop;
  TAlign FTargetAlign = alTop;
  bool FVetoed = false;
  TRect FDragRect;
  bool FFrameShown = false;
  TPoint FStartDrag{0, 0};
  bool FPressed = false;
  bool FDragging = false;
  bool FResizing = false;
  TCursor FSavedCursor = crDefault;
  uint8_t FExplicit = 0;  // 1 BtnOffsetHorz, 2 BtnOffsetVert, 4 BtnWidth, 8 BtnHeight
  bool FLegacyNone = false;
  int32_t FInternalVer = 1;
  bool FInOrientation = false;
};

// The bar under a screen point, or nullptr.
TSpeedBar* SpeedBarAtPoint(TPoint ScreenPoint);

// Draws an item as its button looks, then its caption, in a list cell.
void PaintItemCell(TCanvas& Canvas, const TRect& Cell, TSpeedItem* Item, int32_t Row, TButtonImage& Painter);

// The drag image: a small top-most window showing a button face.
class TBtnControl : public TCustomForm {
 public:
  explicit TBtnControl(TComponent* AOwner);
  // Copies the item's look at the bar's button size.
  void AssignSpeedItem(TSpeedItem* Item);
  void Activate(const TRect& R);

 protected:
  void Paint() override;

 private:
  TButtonImage FImage;
  const TCustomImageList* FImages = nullptr;
  int32_t FImageIndex = -1;
  TButtonLayout FLayout = blGlyphTop;
  int32_t FSpacing = 1;
  int32_t FMargin = -1;
};

}  // namespace kv

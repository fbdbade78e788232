// TKvSpeedButton: a tool button with up to five state glyphs, groups,
// auto-repeat, a drop-down menu and flat or framed looks.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "components/controls/button_glyph.h"
#include "platform/ui/actions.h"
#include "platform/ui/controls.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/timer.h"

namespace kv {

enum TKvDropDownMenuPos : uint8_t { dmpBottom, dmpRight };

class TKvSpeedButton : public TGraphicControl, public TActionClient {
 public:
  explicit TKvSpeedButton(TComponent* AOwner);
  ~TKvSpeedButton() override;

  TAlignment Alignment() const { return FGlyph->Alignment(); }
  void SetAlignment(TAlignment Value);
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool Value);
  bool AllowTimer() const { return FAllowTimer; }
  void SetAllowTimer(bool Value);
  int32_t GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int32_t Value);
  bool Down() const { return FDown; }
  void SetDown(bool Value);
  TPopupMenu* DropDownMenu() const { return FDropDownMenu; }
  void SetDropDownMenu(TPopupMenu* Value);
  TKvDropDownMenuPos MenuPosition() const { return FMenuPosition; }
  void SetMenuPosition(TKvDropDownMenuPos Value) { FMenuPosition = Value; }
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  TBitmap& Glyph() { return FGlyph->GlyphStrip(); }
  void SetGlyph(const TBitmap* Value) { FGlyph->SetGlyph(Value); }
  bool GrayedInactive() const { return FGrayedInactive; }
  void SetGrayedInactive(bool Value);
  uint16_t InitPause() const { return FInitPause; }
  void SetInitPause(uint16_t Value) { FInitPause = Value; }
  uint16_t RepeatInterval() const { return FRepeatInterval; }
  void SetRepeatInterval(uint16_t Value) { FRepeatInterval = Value; }
  TButtonLayout Layout() const { return FLayout; }
  void SetLayout(TButtonLayout Value);
  int32_t Margin() const { return FMargin; }
  void SetMargin(int32_t Value);
  bool MarkDropDown() const { return FMarkDropDown; }
  void SetMarkDropDown(bool Value);
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  TKvNumGlyphs NumGlyphs() const { return FGlyph->NumGlyphs(); }
  void SetNumGlyphs(int32_t Value);
  int32_t Spacing() const { return FSpacing; }
  void SetSpacing(int32_t Value);
  TButtonStyle Style() const { return FStyle; }
  void SetStyle(TButtonStyle Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  bool WordWrap() const { return FGlyph->WordWrap(); }
  void SetWordWrap(bool Value);

  SpeedButtonState ButtonState() const { return FState; }
  bool PressTracking() const { return FDragging; }
  bool Hovered() const { return FMouseInControl; }
  bool MenuOpen() const { return FMenuOpen; }
  TKvButtonGlyph& GlyphEngine() { return *FGlyph; }
  const TBitmap& OffscreenImage() const { return FOffscreen; }

  // The linked action: its caption, hint, state, check mark and image show on the button.
  TBasicAction* Action() const { return FAction; }
  void SetAction(TBasicAction* Value);
  void ActionChanged(TBasicAction* Sender) override { ActionChange(Sender, false); }

  // Presses the button as a click would, without the mouse.
  void PerformButtonClick();
  // Gives ModalResult to the parent form, then raises OnClick.
  void Click() override;

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void Dispatch(TMessage& Message) override;
  void Loaded() override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  // Takes over what the action shows; with CheckDefaults only what the button still has at its default.
  virtual void ActionChange(TBasicAction* Sender, bool CheckDefaults);
  virtual void DrawGlyphAndCaption(TCanvas& Canvas, const TRect& R, bool DrawMark, SpeedButtonState State);
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void UpdateTracking();
  bool Inside(int32_t X, int32_t Y) const { return X >= 0 && X < ClientWidth() && Y >= 0 && Y <= ClientHeight(); }

  SpeedButtonState FState = sbsUp;
  bool FDragging = false;
  bool FMouseInControl = false;
  bool FMenuOpen = false;
  bool FMenuTracking = false;

 private:
  void GlyphChanged();
  void UpdateExclusive();
  void TimerExpired(TObject* Sender);
  void SetHovered(bool Value);

  std::unique_ptr<TKvButtonGlyph> FGlyph;
  TBasicAction* FAction = nullptr;
  TBitmap FOffscreen{0, 0, pf24bit};
  std::unique_ptr<TTimer> FRepeatTimer;
  int32_t FGroupIndex = 0;
  bool FDown = false;
  bool FAllowAllUp = false;
  bool FAllowTimer = false;
  TPopupMenu* FDropDownMenu = nullptr;
  TKvDropDownMenuPos FMenuPosition = dmpBottom;
  bool FFlat = false;
  bool FGrayedInactive = true;
  uint16_t FInitPause = 500;
  uint16_t FRepeatInterval = 100;
  TButtonLayout FLayout = blGlyphTop;
  int32_t FMargin = -1;
  bool FMarkDropDown = true;
  TModalResult FModalResult = mrNone;
  int32_t FSpacing = 1;
  TButtonStyle FStyle = bsAutoDetect;
  bool FTransparent = false;
};

}  // namespace kv

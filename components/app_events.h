// TAppEvents: a component a form drops in to hear the application's (and the
// screen's) events. Several may live at once: one shared TAppEventList hooks
// the event slots when the first arrives, hands each event to the registered
// components newest first and then to the handler that was there before, and
// puts those handlers back when the last one leaves.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/canvas.h"
#include "platform/rtl/component.h"
#include "platform/ui/application.h"

namespace kv {

class TAppEvents;

using TPaintIconEvent = std::function<void(TObject* Sender, TCanvas& Canvas)>;

// The one list behind every TAppEvents.
class TAppEventList : public TObject {
 public:
  TAppEventList();
  ~TAppEventList() override;

  void Register(TAppEvents* Events);
  void Unregister(TAppEvents* Events);
  int32_t Count() const { return int32_t(FList.size()); }
  bool Hooked() const { return FHooked; }

  // The dispatchers installed in the slots.
  void DoActivate(TObject* Sender);
  void DoDeactivate(TObject* Sender);
  void DoException(TObject* Sender, const Exception& E);
  void DoIdle(TObject* Sender, bool& Done);
  bool DoHelp(uint16_t Command, intptr_t Data, bool& CallHelp);
  void DoHint(TObject* Sender);
  void DoMessage(TMessage& Msg, bool& Handled);
  void DoMinimize(TObject* Sender);
  void DoRestore(TObject* Sender);
  void DoShowHint(std::string& HintStr, bool& CanShow, THintInfo& HintInfo);
  void DoActionExecute(TBasicAction* Action, bool& Handled);
  void DoActionUpdate(TBasicAction* Action, bool& Handled);
  void DoShortCut(TMessage& Msg, bool& Handled);
  void DoActiveControlChange(TObject* Sender);
  void DoActiveFormChange(TObject* Sender);

 private:
  void Hook();
  void Unhook();
  // Walks newest to oldest; Call returns whether this component's handler ran.
  // True when the walk went past the oldest (the previous handler is due).
  template <typename F>
  bool Walk(F&& Call, const bool* Handled = nullptr);

  std::vector<TAppEvents*> FList;
  bool FHooked = false;
  // The handlers that were there before.
  TNotifyEvent FOnActivate, FOnDeactivate, FOnHint, FOnMinimize, FOnRestore;
  TExceptionEvent FOnException;
  TIdleEvent FOnIdle;
  THelpEvent FOnHelp;
  TMessageEvent FOnMessage;
  TShowHintEvent FOnShowHint;
  TActionEvent FOnActionExecute, FOnActionUpdate;
  TShortCutEvent FOnShortCut;
  TNotifyEvent FOnActiveControlChange, FOnActiveFormChange;
};

// The process-wide list, made by the first TAppEvents; nullptr before.
TAppEventList* AppEventList();

class TAppEvents : public TComponent {
 public:
  explicit TAppEvents(TComponent* AOwner);
  ~TAppEvents() override;

  bool Chained() const { return FChained; }
  void SetChained(bool Value) { FChained = Value; }

  // At run time these read and write the application's (or the mouse's)
  // setting; while designing, the component's own copy.
  TColor HintColor() const;
  void SetHintColor(TColor Value);
  int32_t HintPause() const;
  void SetHintPause(int32_t Value);
  bool ShowHint() const;
  void SetShowHint(bool Value);
  int32_t HintShortPause() const;
  void SetHintShortPause(int32_t Value);
  int32_t HintHidePause() const;
  void SetHintHidePause(int32_t Value);
  bool ShowMainForm() const;
  void SetShowMainForm(bool Value);
  bool UpdateFormatSettings() const;
  void SetUpdateFormatSettings(bool Value);
  bool UpdateMetricSettings() const;
  void SetUpdateMetricSettings(bool Value);
  bool HintShortCuts() const;
  void SetHintShortCuts(bool Value);
  TBiDiMode BiDiMode() const;
  void SetBiDiMode(TBiDiMode Value);
  bool MouseDragImmediate() const;
  void SetMouseDragImmediate(bool Value);
  int32_t MouseDragThreshold() const;
  void SetMouseDragThreshold(int32_t Value);
  std::string BiDiKeyboard() const;
  void SetBiDiKeyboard(const std::string& Value);
  std::string NonBiDiKeyboard() const;
  void SetNonBiDiKeyboard(const std::string& Value);

  // The canvas of the minimised application's icon, made on first use.
  TCanvas& Canvas();

  TActionEvent OnActionExecute;
  TActionEvent OnActionUpdate;
  TShortCutEvent OnShortCut;
  TPaintIconEvent OnPaintIcon;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TExceptionEvent OnException;
  TIdleEvent OnIdle;
  THelpEvent OnHelp;
  TNotifyEvent OnHint;
  TMessageEvent OnMessage;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  TShowHintEvent OnShowHint;
  TNotifyEvent OnSettingsChanged;
  TNotifyEvent OnActiveControlChange;
  TNotifyEvent OnActiveFormChange;

  // Writes the settings to the application and the mouse.
  void Loaded() override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  // Paints the minimised application's icon through OnPaintIcon.
  virtual void PaintIcon(bool Erase);
  // The application main window's messages; true when taken.
  virtual bool MainWndHook(TMessage& Message);

 private:
  bool Designing() const { return ComponentState().Contains(csDesigning); }
  bool FChained = true;
  bool FRegistered = false;
  // The design-time copies.
  TColor FHintColor = clInfoBk;
  int32_t FHintPause = 500;
  bool FShowHint = true;
  int32_t FHintShortPause = 50;
  int32_t FHintHidePause = 2500;
  bool FShowMainForm = true;
  bool FUpdateFormatSettings = true;
  bool FUpdateMetricSettings = true;
  bool FHintShortCuts = true;
  TBiDiMode FBiDiMode = bdLeftToRight;
  bool FMouseDragImmediate = true;
  int32_t FMouseDragThreshold = 5;
  std::string FBiDiKeyboard;
  std::string FNonBiDiKeyboard;
  std::unique_ptr<TBitmap> FIconBitmap;
  std::unique_ptr<TCanvas> FCanvas;
};

}  // namespace kv

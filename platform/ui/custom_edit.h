// TCustomEdit: a one-line edit over Qt's line edit whose keys pass through
// the control first, as an edit window subclassed by the class library does.
//
// A key press becomes WM_KEYDOWN and then WM_CHAR for each typed character;
// a handler that zeroes the key drops it, one that changes the character
// makes the edit type the new one. Cut and paste (the keys and the messages)
// arrive as WM_CUT and WM_PASTE, which the default handler carries out, so a
// descendant can refuse them or check what was pasted. Enter, Escape and Tab
// go to the form's dialog keys first unless the control wants them
// (CM_WANTSPECIALKEY).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/graphics/draw_text.h"
#include "platform/ui/controls.h"
#include "platform/ui/message_beep.h"

namespace kv {

// The clipboard as plain text.
std::string ClipboardText();
void SetClipboardText(const std::string& Text);
// The width of a vertical scroll bar in the current style.
int32_t SystemScrollBarWidth();

class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* AOwner);
  ~TCustomEdit() override;

  bool ReadOnly() const { return FReadOnly; }
  virtual void SetReadOnly(bool Value);
  int32_t MaxLength() const { return FMaxLength; }
  void SetMaxLength(int32_t Value);
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool Value) { FAutoSelect = Value; }
  TAlignment Alignment() const { return FAlignment; }
  virtual void SetAlignment(TAlignment Value);
  // Set by typing, pasting and cutting; the program clears it.
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }

  // Selection in characters from 0.
  int32_t SelStart() const;
  void SetSelStart(int32_t Value);
  int32_t SelLength() const;
  void SetSelLength(int32_t Value);
  std::string SelText() const;
  void SetSelText(const std::string& Value);
  void SelectAll();
  void ClearSelection();
  // The area the text is drawn in, in client coordinates; controls with
  // buttons inside the edit leave room for them.
  void SetEditRect(const TRect& R);
  TRect EditRect() const { return FEditRect; }
  // A text the window shows in place of Text (a formatted number while the
  // edit is not focused, a calculator's display); nullopt shows Text again.
  void SetShownText(const std::optional<std::string>& Value);
  // What the window shows now.
  std::string ShownText() const { return FShownText ? *FShownText : FText; }
  // Whether the caret and text cursor show (a popup may hide the caret).
  void SetCaretVisible(bool Value);
  bool CaretVisible() const { return FCaretVisible; }

  void CutToClipboard() { Perform(WM_CUT); }
  void CopyToClipboard() { Perform(WM_COPY); }
  void PasteFromClipboard() { Perform(WM_PASTE); }

  TNotifyEvent OnChange;

  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

  // ---- for the peer ----
  // The widget typed text (or a cut or paste changed it).
  void TextEdited(const std::string& Value);

 protected:
  void CreateWnd() override;
  virtual void Change();
  void DoEnter() override;
  // Whether the widget shows the text read-only now (ReadOnly, or what a descendant says).
  virtual bool WindowReadOnly() const { return FReadOnly; }
  void UpdateWindowReadOnly();
  void UpdateEditRect();

  bool FReadOnly = false;
  int32_t FMaxLength = 0;
  bool FAutoSelect = true;
  TAlignment FAlignment = taLeftJustify;
  bool FModified = false;

 private:
  TRect FEditRect{0, 0, 0, 0};
  bool FHasEditRect = false;
  bool FCaretVisible = true;
  std::optional<std::string> FShownText;
  // Selection kept while the control has no peer.
  int32_t FSelStart = 0;
  int32_t FSelLength = 0;
};

}  // namespace kv

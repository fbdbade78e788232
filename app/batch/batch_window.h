// The command history window: the lines run lately, newest last, an edit
// line to type or recall a command and run it, and the list of batch programs
// with the recorder buttons.
#pragma once
#include <cstdint>
#include <string>

#include "platform/ui/forms.h"

namespace kv {

class TListBox;
class TPanel;
class TEdit;
class TbatchlistFrame;

class Tbatchwindowform : public TForm {
 public:
  explicit Tbatchwindowform(TComponent* AOwner);
  ~Tbatchwindowform() override;

  TListBox* TextListBox1 = nullptr;
  TPanel* Panel1 = nullptr;
  TEdit* Edit1 = nullptr;
  TbatchlistFrame* batchlistFrame1 = nullptr;

  // Appends a logged line, keeping at most the main window's "maxHistory" lines.
  void AddLine(const std::string& Line);
  // The same with the limit given; a limit below 1 keeps the newest line only.
  void AddLine(const std::string& Line, int32_t MaxHistory);

  void TextListBox1Click(TObject* Sender);
  void TextListBox1DblClick(TObject* Sender);
  void Edit1KeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void Panel1Resize(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);

 private:
  bool CopySelected();
};

// The one history window of the editor, or nullptr when there is none.
extern Tbatchwindowform* batchwindowform;

}  // namespace kv

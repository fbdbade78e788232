// The font choice of the text tool: face, size, styles and colour, with OK
// and Cancel.
#pragma once
#include "platform/graphics/canvas.h"
#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TCheckBox;
class TColorComboBox;
class TFontComboBox;
class TKvSpinEdit;

class TTextFontDialog : public TForm {
 public:
  explicit TTextFontDialog(TComponent* AOwner);
  // Shows the dialog with Font; on OK Font takes the choice and true is returned.
  bool Execute(TFont& Font);

  TFontComboBox* FaceBox = nullptr;
  TKvSpinEdit* SizeEdit = nullptr;
  TCheckBox* BoldBox = nullptr;
  TCheckBox* ItalicBox = nullptr;
  TCheckBox* UnderlineBox = nullptr;
  TColorComboBox* ColorBox = nullptr;
  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;
};

}  // namespace kv

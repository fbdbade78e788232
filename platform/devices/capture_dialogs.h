// Our own dialogs over a capture device's settings: the format (pixel
// format, frame size, frame rate), the source (a camera's controls), the
// display (preview rate) and the compression of recordings. Each runs
// through the dialog service, so tests answer it by script.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/devices/video_capture.h"
#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TComboBox;
class TEdit;
class TLabel;

struct TCaptureFormatChoice {
  int32_t Width = 0;
  int32_t Height = 0;
  double Rate = 0;
};

// One form for all four dialogs; Rows name what each control sets.
class TCaptureSettingsForm : public TForm {
 public:
  explicit TCaptureSettingsForm(TComponent* AOwner, const std::string& Caption);
  // A labelled control at the next row.
  TComboBox* AddCombo(const std::string& Label, const std::vector<std::string>& Items, int32_t Index);
  TEdit* AddEdit(const std::string& Label, const std::string& Text);
  TLabel* AddNote(const std::string& Text);
  TWinControl* AddControlRow(const std::string& Label, TWinControl* Control);
  void Finish();

  struct TRow {
    std::string Label;
    TControl* Control = nullptr;
  };
  const std::vector<TRow>& Rows() const { return FRows; }
  TControl* ControlOf(const std::string& Label) const;
  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;

 private:
  std::vector<TRow> FRows;
  int32_t FTop = 10;
};

// The sizes and rates the device offers ("640 x 480, 30 Bilder/s"). A camera
// lists what its driver enumerates; the test pattern a fixed choice; the
// screen only its current size.
std::vector<TCaptureFormatChoice> CaptureFormatChoices(const TCaptureDevice& Device, const TCaptureFormat& Current);
std::string CaptureFormatText(const TCaptureFormatChoice& C);

bool CaptureFormatDialog(const TCaptureDevice& Device, const TCaptureFormat& Current, TCaptureFormatChoice& Choice);
// A camera's controls are set while the dialog is confirmed; other sources have none.
bool CaptureSourceDialog(const TCaptureDevice& Device);
bool CaptureDisplayDialog(int32_t& PreviewRateMs);
bool CaptureCompressionDialog(int32_t& Quality);

}  // namespace kv

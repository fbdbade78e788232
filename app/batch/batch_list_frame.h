// The batch list: the batch programs (".atp") of the program's batch folder,
// with recorder buttons (play, pause, stop, record) and the buttons to open
// the automation, edit a program in a text editor or delete it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/set.h"
#include "platform/ui/frames.h"
#include "platform/ui/list_box.h"

namespace kv {

class TButton;
class TPanel;
class TSpeedButton;

enum TBatchButton : uint8_t { bbPlay, bbPause, bbStop, bbRecord };
using TBatchButtons = TSet<TBatchButton, 4>;

// The recorder buttons enabled in a recorder state: 0 play and record,
// 1 pause and stop, 2 play and stop, 3 stop and record, 4 pause and stop;
// none in any other state.
TBatchButtons EnabledBatchButtons(uint8_t State);

// The names of the ".atp" files (any case of the extension) in Folder, sorted;
// empty when the folder is missing or cannot be read.
std::vector<std::string> ListBatchPrograms(const std::string& Folder);

// A list box that shows a small page picture before each file name.
class TBatchFileListBox : public TListBox {
 public:
  using TListBox::TListBox;

 protected:
  void PaintItem(TCanvas& C, int32_t Index, const TRect& R, bool Selected) override;
};

class TbatchlistFrame : public TFrame {
 public:
  explicit TbatchlistFrame(TComponent* AOwner);

  TPanel* MediaPanel = nullptr;
  TSpeedButton* PlayButton = nullptr;
  TSpeedButton* PauseButton = nullptr;
  TSpeedButton* StopButton = nullptr;
  TSpeedButton* RecordButton = nullptr;
  TBatchFileListBox* FileListBox1 = nullptr;
  TPanel* ButtonPanel = nullptr;
  TButton* BatchButton = nullptr;
  TButton* EditButton = nullptr;
  TButton* DeleteButton = nullptr;

  // Enables the recorder buttons by the main window's recorder state and
  // selects the first program when none is.
  void updateall();
  // Reads the batch folder again, keeping the selected program when it is still there.
  void ReadFileList();
  // The selected program's full path, or "" when none is selected.
  std::string SelectedProgram() const;

  void PlayClick(TObject* Sender);
  void PauseClick(TObject* Sender);
  void StopClick(TObject* Sender);
  void RecordClick(TObject* Sender);
  void BatchButtonClick(TObject* Sender);
  void EditButtonClick(TObject* Sender);
  void DeleteButtonClick(TObject* Sender);

 private:
  void RunMainAction(const char* Name);
};

}  // namespace kv

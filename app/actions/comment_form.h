// The small window that records, plays or imports the sound comment of an
// image (the image's file name followed by ".wav").
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/system/sound.h"
#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TLabel;
class TTimer;

enum TCommentMode : int32_t { kmRecord = 0, kmPlay = 1, kmImport = 2 };

// Shown modally with Mode and the files set; it closes itself when an import
// is done or a comment has played to its end, else when "Stop" is pressed.
class Tkomform : public TForm {
 public:
  explicit Tkomform(TComponent* AOwner);
  ~Tkomform() override;

  TCommentMode Mode = kmRecord;
  std::string TargetFile;  // the image's ".wav" name
  std::string SourceFile;  // the file imported
  bool Running = false;
  // 1 while the recording device is open, 0 when none is.
  int32_t DeviceId = 0;
  // The outcome of the last device or file step; a failure has been shown.
  const TSoundStatus& LastResult() const { return FLastResult; }

  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TButton* Button1 = nullptr;  // "Stop"
  TTimer* Timer1 = nullptr;

  void FormShow(TObject* Sender);
  void Timer1Timer(TObject* Sender);
  void Button1Click(TObject* Sender);
  // The player reached the end of the comment.
  void MediaPlayer1Notify();

 private:
  void Fail(const TSoundStatus& Status, bool ShowBox);
  std::string ShortName() const;
  std::unique_ptr<TSoundRecorder> FRecorder;
  std::unique_ptr<TSoundPlayer> FPlayer;
  TTimer* FCloseTimer = nullptr;  // the import's posted close
  TSoundStatus FLastResult;
};

// Shows the window for one comment modally and returns its last result.
TSoundStatus RunCommentWindow(TCommentMode Mode, const std::string& Target, const std::string& Source = {});

// The text shown when there is no sound device.
extern const char* const kNoSoundDevice;

}  // namespace kv

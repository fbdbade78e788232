// The slide-show player: a window that lists the pictures of a slide-show
// command, shows them one after another with transitions and information
// text, and follows its buttons, keys and mouse. It also serves the
// slide-show player and screen-saver run modes.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/layer/imager_layer.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/forms.h"

namespace kv {

class TPanel;
class TButton;
class TLabel;
class TKvSpinEdit;
class TScreenSaverInhibit;
class TTimer;
class TSlideSound;

// The buttons of the control strip, in their order.
enum TMPBtnType : uint8_t { mbtPlay, mbtPause, mbtStop, mbtNext, mbtPrev, mbtStep, mbtBack };

inline constexpr const char* kSlideNoFiles = "No files selected";
inline constexpr const char* kNoReadablePicture = "Kein Bild der Diaschau kann geladen werden";

class Tdoslide : public TForm {
 public:
  explicit Tdoslide(TComponent* AOwner);
  ~Tdoslide() override;

  std::string ParamText;  // the slide-show command line
  // Drawn into a window the screen saver gave: that window decides the size.
  bool Embedded = false;

  timagerlayer* imager1 = nullptr;
  timagerlayer* preload = nullptr;  // the next picture, loaded ahead
  TBitmap tempie;                   // the canvas being composed
  TPanel* Panel1 = nullptr;
  TButton* MediaPlayer2[7] = {};
  TKvSpinEdit* KvSpinEdit2 = nullptr;
  TLabel* Label1 = nullptr;  // "/"
  TLabel* Label2 = nullptr;  // the number of pictures

  // Prepares and runs the whole show, then asks the window to close. Runs once.
  void FormActivate();
  // Shows one picture and waits until it is to be left.
  void playfile(int32_t Index);
  void MediaPlayer2Click(TMPBtnType Button);
  void FormKeyDown(uint16_t& Key, TShiftState Shift);
  void KvSpinEdit2Change();
  void imager1MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void imager1MouseMove(TShiftState Shift, int32_t X, int32_t Y);
  void FormClose(TCloseAction& Action);
  void UpdateButtons();

  const std::vector<std::string>& FileList() const { return FFiles; }
  int32_t CurrentIndex() const { return FCurrent; }
  bool Finished() const { return FFinished; }
  bool Paused() const { return FPaused; }
  int32_t SoundMode() const { return FSoundMode; }
  bool ScreenSaverMode() const;
  // True while the desktop is asked not to blank the screen.
  bool Inhibiting() const;
  // Observers: a picture has been shown (its index), the wait loop ran once.
  std::function<void(int32_t Index)> OnShown;
  std::function<void()> OnWait;

 private:
  bool LoadPreload(const std::string& FileName);
  // Drops an unreadable picture from the list; false when none is left.
  bool DropFile(int32_t Index);
  void Compose(int32_t W, int32_t H);
  void DrawInformation();
  void RunTransition();
  void ScreenSaverInput();
  void SetAdvance(bool Next);
  // Lets messages run until the key that acted is released.
  void WaitWhileKeyDown();

  std::vector<std::string> FFiles;
  std::string FPreloadName;
  bool FPreloadOk = false;
  TImageInfoTexts FInfo;
  TBitmap FOld;
  int32_t FCurrent = 0;
  int32_t FRequested = -1;
  bool FStarted = false;
  bool FFinished = false;
  bool FAdvance = false;
  bool FPaused = false;
  bool FWaiting = false;
  uint16_t FHeldKey = 0;  // the key that acted last, until the wait loop sees it released
  int32_t FSoundMode = 0;
  TPoint FMouseDown{0, 0};
  int32_t FIgnoreMoves = 5;
  bool FPanelShown = false;
  std::unique_ptr<TScreenSaverInhibit> FInhibit;
  TTimer* FStartTimer = nullptr;
  std::unique_ptr<TSlideSound> FSound;
};

// Shows the player modally; its show starts once the window is up.
void PlaySlideShowWindow(Tdoslide& Slide);
// What the interpreter's slide-show command does: the player, shown modally with the line.
void RunSlideShowLine(TComponent* Owner, const std::string& Line);

}  // namespace kv

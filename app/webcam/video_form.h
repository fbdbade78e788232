// The webcam window: a stream of pictures from a capture device, the screen
// or one window on it, turned into actions by the window's mode: recording
// and playback (0), the webcam with its targets and HTTP server (1), and the
// frame grabber that makes new images or auto-saved files (2).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/http_server.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/ui/forms.h"
#include "platform/ui/std_controls.h"

namespace kv {

class TAviFile;
class TButton;
class TCheckBox;
class TCheckListBox;
class TComboBox;
class TEdit;
class TFilenameEdit;
class TFontDialog;
class TFtpClient;
class TImagerVideoView;
class TKvSpinEdit;
class TLabel;
class TPageControl;
class TSpeedButton;
class TSyncPop3Client;
class TSyncSmtpClient;
class TTabSheet;
class TTimer;
class TTrackBar;
class TbatchlistFrame;
class Tautosaveframe;
class Tchild;
class Tform1;
class tformstorage1;
class timagerlayer;

// True while a webcam window runs a per-frame batch or makes a new image.
extern bool WebcamBusy;

// The motion test: the mean of the per-row (|dB|+|dG|+|dR|) div 3 sums over
// the pixels against the reference, compared with 255 - Sensitivity. The
// reference becomes a copy of the frame (unless the frame is empty). The sum
// is 64-bit: a large frame of full differences cannot wrap it.
bool MotionDetectedIn(const TBitmap& Frame, TBitmap& Reference, int32_t Sensitivity);

// A position in milliseconds as the time fields show it.
struct TVideoTime {
  int32_t Hours, Minutes, Seconds, Hundredths;
};
TVideoTime SplitVideoTime(int64_t Ms);

// A radio button: ticking it unticks the others of its group on the same parent.
class TWebcamRadio : public TCheckBox {
 public:
  TWebcamRadio(TComponent* AOwner, int32_t Group);
  void Click() override;

 private:
  int32_t FGroup;
};

class Tvideoform;

// The HTTP server's connection: "/" is answered with the current frame as
// JPEG, anything else with 404; no file of any folder is served.
class myTHttpConnection : public THttpConnection {
 public:
  explicit myTHttpConnection(TComponent* AOwner);
  Tvideoform* Webcam = nullptr;
  void SendCurrentFrame(bool WithBody);

 protected:
  void TriggerGetDocument(THttpGetFlag& Flags) override;
  void TriggerHeadDocument(THttpGetFlag& Flags) override;
};

class Tvideoform : public TForm {
 public:
  explicit Tvideoform(TComponent* AOwner);
  ~Tvideoform() override;

  // ---- state ----
  int32_t Mode = 0;
  bool ScreenSource = false;
  uint32_t ScreenWindow = 0;  // the chosen window, 0 the desktop
  TRect CaptureRect{};
  int32_t PlayerState = 0;  // 0 idle, 1 playing, 2 recording
  int32_t Connections = 0;

  // ---- controls ----
  TPageControl* PageControl1 = nullptr;
  TTabSheet* GrabSheet = nullptr;      // "Bild einfangen"
  TTabSheet* WebcamSheet = nullptr;    // "Webcam"
  TTabSheet* ServerSheet = nullptr;    // "Webcam Server"
  TTabSheet* RecordSheet = nullptr;    // "Aufnahme"
  TTabSheet* FrameSheet = nullptr;     // "Frame"
  TTabSheet* VideoSheet = nullptr;     // "Videofenster"
  TImagerVideoView* ImagerVideoView2 = nullptr;
  timagerlayer* frameie = nullptr;
  // Videofenster
  TComboBox* mycombobox2 = nullptr;  // source ("Treiber")
  TButton* QuelleButton = nullptr;
  TButton* FormatButton = nullptr;
  TButton* DisplayButton = nullptr;
  TCheckBox* OverlayCheck = nullptr;
  TKvSpinEdit* KvSpinEdit4 = nullptr;  // preview frames per second
  TLabel* SizeLabel = nullptr;
  TKvSpinEdit* KvSpinEdit3 = nullptr;  // "Bildrate Hintergrund" in ms
  TComboBox* RadioGroup1 = nullptr;    // "Bilder erzeugen, wenn Videofenster im..."
  TSpeedButton* VideoOnButton = nullptr;  // "&Video an"
  TButton* CloseButton = nullptr;         // "B&eenden"
  TButton* HelpButton = nullptr;
  // Frame
  TWebcamRadio* RadioButton1 = nullptr;  // "schnellst möglich"
  TWebcamRadio* RadioButton4 = nullptr;  // "nach"
  TKvSpinEdit* KvSpinEdit2 = nullptr;    // seconds
  TWebcamRadio* RadioButton3 = nullptr;  // "bei Bewegung"
  TKvSpinEdit* KvSpinEdit1 = nullptr;    // sensitivity
  TWebcamRadio* RadioButton2 = nullptr;  // "Manuell"
  TSpeedButton* NowButton = nullptr;     // "Jetzt!"
  TCheckBox* CheckBox1 = nullptr;        // "Datum und Uhrzeit einblenden"
  TButton* FontButton = nullptr;         // "Schrift-Optionen..."
  TCheckBox* CheckBox2 = nullptr;        // "Batch ausführen"
  TbatchlistFrame* batchlistFrame1 = nullptr;
  TFontDialog* FontDialog1 = nullptr;  // the date stamp's font
  // Bild einfangen
  TSpeedButton* GrabButton = nullptr;  // "Einfangen"
  TCheckBox* AutoGrabCheck = nullptr;  // automatic capture
  TWebcamRadio* RadioButton12 = nullptr;  // "als"
  TWebcamRadio* RadioButton5 = nullptr;   // "gespeichert"
  TComboBox* TargetKindCombo = nullptr;   // "Bild"
  Tautosaveframe* autosaveframe1 = nullptr;
  // Webcam
  TSpeedButton* GoButton = nullptr;  // "Los!"
  TCheckBox* RepeatCheck = nullptr;
  TKvSpinEdit* KvSpinEdit5 = nullptr;  // wait seconds
  TLabel* StatusLabel = nullptr;
  TLabel* TargetLabel = nullptr;
  TFilenameEdit* FilenameEdit1 = nullptr;  // webcam file
  TButton* ParamsButton = nullptr;
  TCheckListBox* ListBox1 = nullptr;
  TButton* AddFtpButton = nullptr;
  TButton* AddMailButton = nullptr;
  TButton* EditButton = nullptr;
  TButton* DeleteButton = nullptr;
  TButton* WwwButton = nullptr;
  // Webcam Server
  TComboBox* mycombobox3 = nullptr;  // local address
  TButton* UpdateButton = nullptr;
  TEdit* Edit7 = nullptr;  // port
  TSpeedButton* ServerButton = nullptr;  // "Los!"
  TEdit* Edit8 = nullptr;  // active connections
  TKvSpinEdit* myKvSpinEdit6 = nullptr;  // time-out seconds
  TKvSpinEdit* KvSpinEdit7 = nullptr;    // maximum connections
  // Aufnahme
  TSpeedButton* PlayButton = nullptr;
  TSpeedButton* PauseButton = nullptr;
  TSpeedButton* StopButton = nullptr;
  TSpeedButton* NextButton = nullptr;
  TSpeedButton* PrevButton = nullptr;
  TSpeedButton* StepButton = nullptr;
  TSpeedButton* BackButton = nullptr;
  TSpeedButton* RecordButton = nullptr;
  TFilenameEdit* FilenameEdit3 = nullptr;  // record file
  TKvSpinEdit* RecordRate = nullptr;       // frames per second
  TCheckBox* CheckBox4 = nullptr;          // "mit Sound"
  TButton* CompressionButton = nullptr;
  TTrackBar* PositionBar = nullptr;
  TKvSpinEdit* PosFields[4] = {};    // "Zeit:" hours, minutes, seconds, hundredths
  TEdit* TotalFields[4] = {};        // "Total:"
  TTimer* Timer1 = nullptr;
  TTimer* dummycapturetimer = nullptr;
  TTimer* sleeptimer = nullptr;
  TTimer* PlayTimer = nullptr;  // shows the playback's frames at the file's rate
  THttpServer* HttpServer1 = nullptr;
  tformstorage1* Formstorage1 = nullptr;

  // ---- operations ----
  void FormShow(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void UpdateEnabled();
  void SourceChanged();
  void QuelleClick();
  void FormatClick();
  void DisplayClick();
  void VideoOnClick();
  void ImagerVideoView2VideoFrame(TObject* Sender, TBitmap* Bitmap);
  void DummyCaptureTick();
  bool MotionDetected(const TBitmap& Frame, int32_t Sensitivity);
  void SendingCycle();
  void SendWebcamImage(const std::string& Target);
  void GoClick();
  void SleepTimerFired();
  // target list
  void AddTarget(bool Email);
  void EditTarget();
  void DeleteTargets();
  std::vector<std::string>& Targets() { return FTargets; }
  void SetTargets(const std::vector<std::string>& Targets);
  // HTTP server
  void ServerClick();
  void UpdateAddresses();
  // Format parameters of the webcam file, edited on the frame view's I/O.
  void ParamsClick();
  // The current frame as JPEG, encoded once per frame.
  std::shared_ptr<const std::vector<uint8_t>> CurrentJpeg();
  uint64_t JpegEncodings() const { return FJpegEncodings; }
  // recording and playback
  void RecordClick();
  void PlayClick();
  void StopClick();
  void StepFrame(int32_t Delta);
  // The position Delta frames from the current one.
  int64_t FramePosition(int32_t Delta) const;
  void SetPlayPosition(int64_t Ms);
  void Timer1Tick();
  int64_t PlayLength() const { return FPlayLengthMs; }
  int64_t PlayPosition() const { return FPlayPosMs; }

  // What the last frames did, for the status line and for tests.
  uint64_t FramesTaken = 0;
  uint64_t FramesIgnored = 0;
  uint64_t SendsSkipped = 0;  // frames that came while a send was running
  bool Sending() const { return FSending; }

 private:
  void BuildControls();
  void BuildStore();
  // Frees the controls of a page the mode does not show.
  void FreePageControls(TTabSheet* Page);
  void ShowVideoSize();
  void ProcessTakenFrame(const TBitmap& Frame);
  void RunFrameBatch();
  void StampDate();
  void GrabTakenFrame();
  void SaveGrabbedFrame();
  void FrameViewChanged();
  void LoadParams();
  void StoreParams();
  void ShowTime(TEdit* const* Fields, int64_t Ms);
  void ShowPlayFrame();
  void ShowPlayPicture();
  void ShowPlayPosition();
  void AdvancePlayClock();
  void SetPlayRunning(bool Value);
  void PlayTimerTick();
  void ClosePlayback();
  bool TargetStep(const std::string& Name, bool Ok);
  void ReportEnded(const std::string& Message);

  bool FFirstPress = true;
  bool FTickRunning = false;  // the capture-timer guard
  bool FClosing = false;
  bool FFrameFromTimer = false;
  bool FSending = false;
  double FLastTaken = 0;  // date-time of the last frame taken by "nach"
  double FRecordStart = 0;
  std::unique_ptr<TBitmap> FMotionRef;
  std::unique_ptr<timagerlayer> FWork;
  Tchild* FBatchChild = nullptr;
  std::vector<std::string> FTargets;
  std::string FParams;  // "Params": format parameters of the webcam file
  std::unique_ptr<TFtpClient> FFtp;
  std::unique_ptr<TSyncSmtpClient> FSmtp;
  std::unique_ptr<TSyncPop3Client> FPop3;
  int64_t FSendSize = 0;
  std::shared_ptr<const std::vector<uint8_t>> FJpeg;
  uint64_t FJpegEncodings = 0;
  std::unique_ptr<TAviFile> FPlayFile;
  std::string FPlayName;
  int64_t FPlayLengthMs = 0;
  int64_t FPlayPosMs = 0;
  double FPlayRate = 0;
  int32_t FPlayFrames = 0;
  uint64_t FPlayStartTick = 0;
  int64_t FPlayStartPos = 0;
  bool FPlayRunning = false;
  int32_t FShownFrame = -1;  // the file's frame in the frame view
  bool FShowingPosition = false;  // the time fields are being set from the position
};

}  // namespace kv

#include "app/workflows/slide_player.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/startup/run_mode.h"
#include "app/workflows/info_text.h"
#include "app/workflows/slide_frames.h"
#include "app/catalog/image_source.h"
#include "app/workflows/slide_sources.h"
#include "components/controls/kv_spin.h"
#include "imaging/formats/imager_io.h"
#include "imaging/processing/convert_bits.h"
#include "imaging/processing/resample.h"
#include "imaging/views/transition_effects.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/random.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/ticks.h"
#include "platform/system/screen_saver_inhibit.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/cursors.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/native_window.h"
#include "platform/ui/panel.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {

// The engine's effects the show draws from, after its own thirteen row effects.
constexpr TIMTransitionType kEngineEffects[12] = {
    imttLeftRight1,  imttRightLeft1,  imttUpDown1,      imttDownUp1,      imttFromUpLeft,   imttFromUpRight,
    imttFromBottomLeft, imttFromBottomRight, imttMoveDownUp1, imttMoveUpDown1, imttRandomPoints, imttRandomBoxes};

const char* const kButtonCaptions[7] = {"Play", "Pause", "Stop", "Next", "Prev", "Step", "Back"};

// A wait that lets messages run without spinning the processor.
void Breathe() {
  Application->ProcessMessages();
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

uint32_t Elapsed(uint32_t Start) {
  const uint32_t now = GetTickCount();
  return now >= Start ? now - Start : Start - now;
}

}  // namespace

Tdoslide::Tdoslide(TComponent* AOwner) : TForm(AOwner) {
  SetName("doslide");
  SetCaption("Diashow");
  SetKeyPreview(true);
  SetColor(clBlack);
  SetClientSize(400, 400);
  imager1 = new timagerlayer(this);
  imager1->SetName("imager1");
  imager1->SetParent(this);
  imager1->SetAlign(alClient);
  imager1->SetBackground(clBlack);
  imager1->SetBorderStyle(bsNone);
  imager1->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState S, int32_t X, int32_t Y) {
    imager1MouseDown(B, S, X, Y);
  };
  imager1->OnMouseMove = [this](TObject*, TShiftState S, int32_t X, int32_t Y) { imager1MouseMove(S, X, Y); };
  preload = new timagerlayer(this);
  preload->SetName("preload");
  preload->SetVisible(false);

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetAlign(alTop);
  Panel1->SetHeight(30);
  Panel1->SetVisible(false);
  for (int i = 0; i < 7; ++i) {
    TButton* b = new TButton(this);
    b->SetName(std::string("MediaPlayer2") + kButtonCaptions[i]);
    b->SetCaption(kButtonCaptions[i]);
    b->SetParent(Panel1);
    b->SetBounds(4 + i * 52, 3, 50, 24);
    b->OnClick = [this, i](TObject*) { MediaPlayer2Click(TMPBtnType(i)); };
    MediaPlayer2[i] = b;
  }
  KvSpinEdit2 = new TKvSpinEdit(this);
  KvSpinEdit2->SetName("KvSpinEdit2");
  KvSpinEdit2->SetParent(Panel1);
  KvSpinEdit2->SetBounds(372, 3, 60, 24);
  KvSpinEdit2->SetMinValue(1);
  KvSpinEdit2->SetMaxValue(1);
  KvSpinEdit2->SetValue(1);
  KvSpinEdit2->OnChange = [this](TObject*) { KvSpinEdit2Change(); };
  Label1 = new TLabel(this);
  Label1->SetParent(Panel1);
  Label1->SetCaption("/");
  Label1->SetBounds(436, 8, 8, 16);
  Label2 = new TLabel(this);
  Label2->SetParent(Panel1);
  Label2->SetCaption("0");
  Label2->SetBounds(446, 8, 60, 16);

  OnKeyDown = [this](TObject*, uint16_t& Key, TShiftState Shift) { FormKeyDown(Key, Shift); };
  // The show starts once the window's modal run has begun.
  FStartTimer = new TTimer(this);
  FStartTimer->SetEnabled(false);
  FStartTimer->SetInterval(1);
  FStartTimer->SetOnTimer([this](TObject*) {
    FStartTimer->SetEnabled(false);
    FormActivate();
  });
  OnShow = [this](TObject*) {
    if (!FStarted) FStartTimer->SetEnabled(true);
  };
  OnClose = [this](TObject*, TCloseAction& A) { FormClose(A); };
}

Tdoslide::~Tdoslide() = default;

bool Tdoslide::ScreenSaverMode() const { return RunMode == rmScreenSaver; }

bool Tdoslide::Inhibiting() const { return FInhibit && FInhibit->Held(); }

void Tdoslide::FormActivate() {
  if (FStarted) return;
  FStarted = true;
  const std::string& p = ParamText;
  SetBorderStyle(ReadParamBool(p, "noBorder", false) ? bsNone : bsSizeable);
  try {
    FFiles = ListImageSource(p);
  } catch (const Exception& E) {
    FFiles.clear();
    ShowMessage(E.Message());
  }
  imager1->SetBackground(TColor(ReadParamInt(p, "Color", 0)));
  imager1->SetZoomFilter(TResampleFilter(std::clamp(ReadParamInt(p, "Filter", 0), 0, 6)));
  if (ReadParamBool(p, "Hidemouse", false)) imager1->SetCursor(crNone);
  const int32_t canvas = ReadParamInt(p, "Canvasmode", 0);
  if (canvas == 0) {
    if (!Embedded) ShowFullScreen(*this);
  } else if (canvas == 2) {
    SetClientSize(std::max(1, ReadParamInt(p, "Canvasmode2width", 400)),
                  std::max(1, ReadParamInt(p, "Canvasmode2height", 400)));
  }
  imager1->Bitmap().SetSize(std::max(1, imager1->ClientWidth()), std::max(1, imager1->ClientHeight()));
  UpdateButtons();
  Application->ProcessMessages();

  // A failing file or no sound device silences the show; it goes on.
  FSoundMode = std::clamp(ReadParamInt(p, "Soundmode", 0), 0, 2);
  if (FSoundMode != 0) FSound = std::make_unique<TSlideSound>();
  if (FSoundMode == 1 && !FSound->PlayMusic(ReadParamString(p, "Soundmode1Filename", ""))) FSoundMode = 0;

  if (FFiles.empty()) {
    FFinished = true;
    ShowMessage(kSlideNoFiles);
  }
  Label2->SetCaption(IntToStr(int32_t(FFiles.size())));
  KvSpinEdit2->SetMaxValue(std::max<int32_t>(1, int32_t(FFiles.size())));

  if (ScreenSaverMode()) {
    SetFormStyle(fsStayOnTop);
    imager1->SetMouseCapture(true);
  } else if (ReadParamFloat(p, "Interval", -1) >= 0 && !FFinished) {
    FInhibit = std::make_unique<TScreenSaverInhibit>();
    FInhibit->Inhibit("Kavrelin", "Diashow", NativeWindowId(*this));
  }
  while (!FFinished) {
    if (FRequested >= 0) {
      FCurrent = FRequested;
      FRequested = -1;
    }
    playfile(FCurrent);
  }
  Close();
}

bool Tdoslide::LoadPreload(const std::string& FileName) {
  if (FPreloadOk && AnsiSameText(FPreloadName, FileName)) return true;
  FPreloadName = FileName;
  FPreloadOk = false;
  try {
    preload->IO()->LoadFromFileByExtension(FileName);
  } catch (const Exception&) {
    return false;
  }
  TBitmap& b = preload->Bitmap();
  if (preload->IO()->Aborted() || b.Empty()) return false;
  if (b.PixelFormat() != pf24bit) {
    TBitmap wide;
    TProgressRec none;
    ConvertTo24BitRows(b, wide, none);
    b.TakeOver(wide);
  }
  FPreloadOk = true;
  return true;
}

bool Tdoslide::DropFile(int32_t Index) {
  if (Index < 0 || Index >= int32_t(FFiles.size())) return !FFiles.empty();
  FFiles.erase(FFiles.begin() + Index);
  Label2->SetCaption(IntToStr(int32_t(FFiles.size())));
  KvSpinEdit2->SetMaxValue(std::max<int32_t>(1, int32_t(FFiles.size())));
  if (FFiles.empty()) return false;
  if (FCurrent >= int32_t(FFiles.size())) FCurrent = ReadParamBool(ParamText, "forever", false) ? 0 : int32_t(FFiles.size()) - 1;
  return true;
}

void Tdoslide::playfile(int32_t Index) {
  const std::string& p = ParamText;
  if (FSoundMode == 1) FSound->KeepMusicPlaying();
  {
    const TNotifyEvent keep = KvSpinEdit2->OnChange;
    KvSpinEdit2->OnChange = nullptr;
    KvSpinEdit2->SetValue(Index + 1);
    KvSpinEdit2->OnChange = keep;
  }
  if (FFinished) return;
  if (Index < 0 || Index >= int32_t(FFiles.size())) Index = FCurrent = 0;
  // An unreadable picture is left out; a show left with none ends.
  if (!LoadPreload(FFiles[size_t(Index)])) {
    if (!DropFile(Index)) {
      FFinished = true;
      ShowMessage(kNoReadablePicture);
    }
    return;
  }
  FInfo = ImageInfoText(*preload);
  Application->ProcessMessages();

  if (ReadParamInt(p, "Canvasmode", 0) == 1) SetClientSize(preload->Bitmap().Width(), preload->Bitmap().Height());
  const int32_t vw = std::max(1, imager1->ClientWidth()), vh = std::max(1, imager1->ClientHeight());
  int32_t w = 0, h = 0;
  FitShownSize(ReadParamInt(p, "Imagesizemode", 0), vw, vh, preload->Bitmap().Width(), preload->Bitmap().Height(), w, h);
  Compose(std::max(1, w), std::max(1, h));
  DrawInformation();

  FOld.Assign(&imager1->Bitmap());
  if (ReadParamBool(p, "Effects", true)) RunTransition();
  imager1->Bitmap().Assign(&tempie);
  imager1->Update();
  if (OnShown) OnShown(Index);

  const uint32_t start = GetTickCount();
  if (FSoundMode == 2 && FileExists(FFiles[size_t(Index)] + ".wav") &&
      !FSound->PlayComment(FFiles[size_t(Index)] + ".wav"))
    FSoundMode = 0;
  Application->ProcessMessages();
  FAdvance = false;
  // The next picture is read while this one is shown.
  if (!FFiles.empty()) LoadPreload(FFiles[size_t((Index + 1) % int32_t(FFiles.size()))]);

  const double waitSeconds = ReadParamFloat(p, "Interval", 10);
  const double interval = ReadParamFloat(p, "Interval", -1);
  const int64_t waitMs = int64_t(waitSeconds * 1000);
  while (!FAdvance && !FFinished) {
    FWaiting = true;
    Breathe();
    FWaiting = false;
    WaitWhileKeyDown();
    if (OnWait) OnWait();
    if (!FAdvance && interval > 0 && int64_t(Elapsed(start)) >= waitMs && !FPaused) SetAdvance(true);
  }
}

void Tdoslide::Compose(int32_t W, int32_t H) {
  const int32_t vw = std::max(1, imager1->ClientWidth()), vh = std::max(1, imager1->ClientHeight());
  TBitmap shown(W, H, pf24bit);
  ResampleBitmapProgress(preload->Bitmap(), shown, TResampleFilter(std::clamp(ReadParamInt(ParamText, "Filter", 0), 0, 6)),
                         nullptr, {});
  const TShownRect at = PlaceShown(ReadParamInt(ParamText, "Anchor", 0), vw, vh, W, H);
  imager1->Bitmap().SetSize(vw, vh);
  tempie.AllocateForOverwrite(vw, vh, pf24bit);
  tempie.Canvas().Brush().SetColor(clBlack);
  tempie.Canvas().Brush().SetStyle(bsSolid);
  tempie.Canvas().FillRect(TRect{0, 0, vw, vh});
  tempie.Canvas().Draw(Round32(at.X), Round32(at.Y), shown);
}

void Tdoslide::DrawInformation() {
  const tImageInfoset info = tImageInfoset::FromMask(uint32_t(ReadParamInt(ParamText, "Info", 0)));
  if (info.ToMask() == 0) return;
  // The same font in black first, one pixel higher and narrower, keeps the text readable on light pictures.
  std::string rest = ParamText;
  const size_t blank = rest.find(' ');
  if (blank != std::string::npos && rest.substr(0, blank).find('=') == std::string::npos) rest = rest.substr(blank);
  TCanvas& c = tempie.Canvas();
  const int32_t w = tempie.Width(), h = tempie.Height();
  DrawImageInfoText(c, TRect{0, 0, w - 1, h - 1}, itdUp, 1, "Info FontColor=0 " + rest, info, FInfo);
  DrawImageInfoText(c, TRect{0, 0, w, h}, itdUp, 1, ParamText, info, FInfo);
}

void Tdoslide::RunTransition() {
  const int32_t duration = std::max(1, ReadParamInt(ParamText, "EffectsTime", 2)) * 1000;
  const int32_t effect = Random(kSlideEffectCount);
  if (FOld.Width() != tempie.Width() || FOld.Height() != tempie.Height()) {
    FOld.SetSize(tempie.Width(), tempie.Height());
    FOld.Canvas().Brush().SetColor(clBlack);
    FOld.Canvas().FillRect(TRect{0, 0, tempie.Width(), tempie.Height()});
  }
  if (effect >= kRowEffectCount) {
    imager1->PrepareTransition();
    imager1->Bitmap().Assign(&tempie);
    imager1->RunTransition(kEngineEffects[effect - kRowEffectCount], duration);
    const uint32_t start = GetTickCount();
    while (imager1->Transitions().Running() && !FFinished && Elapsed(start) < uint32_t(duration) + 1000) Breathe();
    imager1->Transitions().Stop();
    return;
  }
  const uint32_t start = GetTickCount();
  uint32_t elapsed = 0;
  TBitmap& shown = imager1->Bitmap();
  shown.SetSize(tempie.Width(), tempie.Height());
  while (elapsed < uint32_t(duration) && !FFinished) {
    ComposeRowEffect(effect, uint8_t(int64_t(elapsed) * 256 / duration), tempie, FOld, shown);
    imager1->Update();
    Application->ProcessMessages();
    elapsed = Elapsed(start);
  }
}

void Tdoslide::SetAdvance(bool Next) {
  const int32_t count = int32_t(FFiles.size());
  const bool forever = ReadParamBool(ParamText, "forever", false);
  FCurrent = Next ? NextSlideIndex(FCurrent, count, forever) : PrevSlideIndex(FCurrent, count, forever);
  FAdvance = true;
}

void Tdoslide::MediaPlayer2Click(TMPBtnType Button) {
  FAdvance = true;
  switch (Button) {
    case mbtPlay:
      FPaused = false;
      FAdvance = false;
      break;
    case mbtPause:
      FPaused = true;
      FAdvance = false;
      break;
    case mbtStop:
      FFinished = true;
      Close();
      break;
    case mbtNext: FCurrent = std::max<int32_t>(0, int32_t(FFiles.size()) - 1); break;
    case mbtPrev: FCurrent = 0; break;
    case mbtStep: SetAdvance(true); break;
    case mbtBack: SetAdvance(false); break;
  }
  UpdateButtons();
}

void Tdoslide::UpdateButtons() {
  const bool timed = ReadParamFloat(ParamText, "Interval", -1) >= 0;
  MediaPlayer2[mbtPlay]->SetEnabled(timed && FPaused);
  MediaPlayer2[mbtPause]->SetEnabled(timed && !FPaused);
}

void Tdoslide::FormKeyDown(uint16_t& Key, TShiftState) {
  if (ScreenSaverMode()) {
    ScreenSaverInput();
    return;
  }
  TMPBtnType b;
  switch (Key) {
    case VK_RETURN: b = mbtPlay; break;
    case 'P': b = mbtPause; break;
    case VK_ESCAPE: b = mbtStop; break;
    case VK_UP: b = mbtNext; break;
    case VK_DOWN: b = mbtPrev; break;
    case VK_RIGHT: b = mbtStep; break;
    case VK_LEFT: b = mbtBack; break;
    default: return;
  }
  const uint16_t pressed = Key;
  Key = 0;
  // One press acts once: the repeats of a held key, and other keys, wait for its release.
  if (FHeldKey != 0 || !MediaPlayer2[b]->Enabled()) return;
  FHeldKey = pressed;
  MediaPlayer2Click(b);
}

void Tdoslide::WaitWhileKeyDown() {
  // Messages still run, so the buttons and the mouse work; a window that
  // loses the focus never sees the release, so the wait ends with it.
  while (FHeldKey != 0 && GetKeyState(FHeldKey) < 0 && !FFinished && Active()) Breathe();
  FHeldKey = 0;
}

void Tdoslide::KvSpinEdit2Change() {
  if (FFiles.empty()) return;
  FRequested = std::clamp(int32_t(KvSpinEdit2->Value()) - 1, 0, int32_t(FFiles.size()) - 1);
}

void Tdoslide::imager1MouseDown(TMouseButton Button, TShiftState, int32_t X, int32_t Y) {
  if (ScreenSaverMode()) {
    ScreenSaverInput();
    return;
  }
  if (Button == mbRight) {
    SetAdvance(true);
  } else if (Button == mbLeft) {
    FPanelShown = !Panel1->Visible();
    Panel1->SetVisible(FPanelShown);
    FMouseDown = TPoint{X, Y};
  }
}

void Tdoslide::imager1MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (ScreenSaverMode()) {
    if (FIgnoreMoves > 0) {
      --FIgnoreMoves;
      return;
    }
    ScreenSaverInput();
    return;
  }
  if (Shift.Contains(ssLeft)) {
    if (ReadParamBool(ParamText, "Move", true)) {
      const TPoint at = imager1->ClientToScreen(TPoint{X, Y});
      SetLeft(at.X + ClientWidth() - Width() - FMouseDown.X);
      SetTop(at.Y + ClientHeight() - Height() - FMouseDown.Y);
    }
  } else if (Y < 30) {
    Panel1->SetVisible(true);
  } else if (!Panel1->Visible()) {
    imager1->SetFocus();
  }
}

// Locking and passwords belong to the desktop's locker: any input ends the show.
void Tdoslide::ScreenSaverInput() {
  if (!FWaiting || FFinished) return;
  FIgnoreMoves = 5;
  FAdvance = true;
  FFinished = true;
}

void Tdoslide::FormClose(TCloseAction&) {
  FFinished = true;
  if (FSound) FSound->Stop();
  imager1->SetCursor(crDefault);
  if (ScreenSaverMode()) imager1->SetMouseCapture(false);
  if (FInhibit) FInhibit->Release();
}

void PlaySlideShowWindow(Tdoslide& Slide) {
  // Without a display nobody could answer a modal run: the show plays in the window all the same.
  if (RunningWithoutDisplay()) {
    Slide.Show();
    Slide.FormActivate();
    return;
  }
  Slide.ShowModal();
}

void RunSlideShowLine(TComponent* Owner, const std::string& Line) {
  auto* slide = new Tdoslide(Owner);
  slide->ParamText = Line;
  try {
    PlaySlideShowWindow(*slide);
  } catch (...) {
    delete slide;
    throw;
  }
  delete slide;
}

}  // namespace kv

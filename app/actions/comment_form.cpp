// The sound-comment window. The device work runs in the sound layer's
// threads; this window only starts, stops and shows the seconds.
#include "app/actions/comment_form.h"

#include "app/helpers/control_helpers.h"
#include "app/helpers/folder_helpers.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/timer.h"

namespace kv {

const char* const kNoSoundDevice = "Es wurde kein Tongerät gefunden.";

Tkomform::Tkomform(TComponent* AOwner) : TForm(AOwner) {
  SetName("komform");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{});
  SetPosition(poScreenCenter);
  SetClientSize(320, 110);
  Label1 = new TLabel(this);
  Label1->SetParent(this);
  Label1->SetBounds(16, 12, 288, 20);
  Label1->SetCaption("Aufnahme läuft !!!");
  Label2 = new TLabel(this);
  Label2->SetParent(this);
  Label2->SetBounds(16, 40, 288, 20);
  Label2->SetCaption("0 Sekunden");
  Button1 = new TButton(this);
  Button1->SetParent(this);
  Button1->SetBounds(122, 72, 75, 25);
  Button1->SetCaption("Stop");
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject* S) { Button1Click(S); };
  Timer1 = new TTimer(this);
  Timer1->SetEnabled(false);
  Timer1->SetOnTimer([this](TObject* S) { Timer1Timer(S); });
  FCloseTimer = new TTimer(this);
  FCloseTimer->SetEnabled(false);
  FCloseTimer->SetInterval(1);
  FCloseTimer->SetOnTimer([this](TObject*) {
    FCloseTimer->SetEnabled(false);
    Close();
  });
  OnShow = [this](TObject* S) { FormShow(S); };
}

Tkomform::~Tkomform() {
  // A window closed any other way than "Stop" leaves no device running.
  if (FPlayer) FPlayer->OnFinished = nullptr;
  FPlayer.reset();
  FRecorder.reset();
}

std::string Tkomform::ShortName() const { return ChangeFileExt(ExtractFileName(TargetFile), ""); }

void Tkomform::Fail(const TSoundStatus& Status, bool ShowBox) {
  FLastResult = Status;
  const std::string text = Status.Result == srNoDevice ? std::string(kNoSoundDevice) : Status.Message;
  Label1->SetCaption(text);
  if (ShowBox) MessageDlg(text, mtError, TMsgDlgButtons{mbOK}, 0);
}

void Tkomform::FormShow(TObject*) {
  Label2->SetCaption("");
  FLastResult = {};
  switch (Mode) {
    case kmImport: {
      Button1->SetVisible(false);
      Label1->SetCaption("Importiere Kommentar. Bitte warten ...");
      SetCaption("Kommentar importieren");
      if (Application) Application->ProcessMessages();
      try {
        ShellCopyFileAsk(SourceFile, TargetFile);
      } catch (const Exception& E) {
        Fail({srFileError, E.Message()}, true);
      }
      FCloseTimer->SetEnabled(true);
      break;
    }
    case kmRecord: {
      Button1->SetVisible(true);
      SetCaption("Kommentar aufnehmen");
      FRecorder = std::make_unique<TSoundRecorder>();
      const TSoundStatus st = FRecorder->Start();
      Running = true;
      if (!st.Ok()) {
        // Nothing is recorded; "Stop" still closes the window.
        Fail(st, false);
        break;
      }
      DeviceId = 1;
      Label1->SetCaption("Aufnahme läuft !!! " + ShortName());
      StartStopwatch();
      Timer1->SetInterval(1);
      Timer1->SetEnabled(true);
      break;
    }
    case kmPlay: {
      Button1->SetVisible(true);
      SetCaption("Kommentar abspielen");
      FPlayer = std::make_unique<TSoundPlayer>();
      FPlayer->OnFinished = [this] { MediaPlayer1Notify(); };
      const TSoundStatus st = FPlayer->Play(TargetFile);
      Running = true;
      if (!st.Ok()) {
        Fail(st, false);
        break;
      }
      Label1->SetCaption("Kommentar wird abgespielt !!! " + ShortName());
      break;
    }
  }
}

void Tkomform::Timer1Timer(TObject*) {
  if (Mode == kmRecord) Label2->SetCaption(std::to_string(StopwatchSeconds()) + " Sekunden");
}

void Tkomform::Button1Click(TObject*) {
  Running = false;
  Timer1->SetEnabled(false);
  if (Mode == kmPlay && FPlayer) {
    FPlayer->OnFinished = nullptr;
    FPlayer->Stop();
    const TSoundStatus st = FPlayer->LastStatus();
    if (!st.Ok()) Fail(st, true);
  } else if (Mode == kmRecord && FRecorder && DeviceId != 0) {
    Label2->SetCaption(std::to_string(StopwatchSeconds()) + " Sekunden");
    const TSoundStatus stopped = FRecorder->Stop();
    DeviceId = 0;
    // What was recorded before a device failure is still kept.
    const TSoundStatus saved = FRecorder->SaveToFile(TargetFile);
    if (!stopped.Ok())
      Fail(stopped, true);
    else if (!saved.Ok())
      Fail(saved, true);
  }
  Close();
}

void Tkomform::MediaPlayer1Notify() {
  if (!Running) return;
  Running = false;
  Button1Click(this);
}

TSoundStatus RunCommentWindow(TCommentMode Mode, const std::string& Target, const std::string& Source) {
  Tkomform form(nullptr);
  form.Mode = Mode;
  form.TargetFile = Target;
  form.SourceFile = Source;
  form.ShowModal();
  return form.LastResult();
}

}  // namespace kv

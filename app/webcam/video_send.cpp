// The webcam window's sending: the cycle over the chosen targets, FTP uploads
// and mails, the target list, and the HTTP server that serves the frame.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/webcam/inet_targets.h"
#include "app/webcam/video_form.h"
#include "components/controls/file_dir_edit.h"
#include "components/controls/kv_spin.h"
#include "imaging/formats/file_types.h"
#include "imaging/views/image_control.h"
#include "imaging/views/io_previews.h"
#include "net/ftp_client.h"
#include "net/net_socket.h"
#include "net/pop3_client.h"
#include "net/smtp_client.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {

// The frame's bytes shared with the window: no copy per request.
class TSharedBytesStream : public TCustomMemoryStream {
 public:
  explicit TSharedBytesStream(std::shared_ptr<const std::vector<uint8_t>> Bytes) : FBytes(std::move(Bytes)) {
    SetPointer(const_cast<uint8_t*>(FBytes->data()), int64_t(FBytes->size()));
  }
  int32_t Write(const void*, int32_t) override { return 0; }

 private:
  std::shared_ptr<const std::vector<uint8_t>> FBytes;
};

}  // namespace

// ---- the HTTP connection ----

myTHttpConnection::myTHttpConnection(TComponent* AOwner) : THttpConnection(AOwner) {}

void myTHttpConnection::TriggerGetDocument(THttpGetFlag& Flags) {
  THttpConnection::TriggerGetDocument(Flags);
  // Only the frame is served, never a file of any folder.
  if (Path() != "/" || !Webcam) {
    Flags = kv::Answer404;
    return;
  }
  SendCurrentFrame(true);
  Flags = AnswerMyself;
}

void myTHttpConnection::TriggerHeadDocument(THttpGetFlag& Flags) {
  THttpConnection::TriggerHeadDocument(Flags);
  if (Path() != "/" || !Webcam) {
    Flags = kv::Answer404;
    return;
  }
  SendCurrentFrame(false);
  Flags = AnswerMyself;
}

void myTHttpConnection::SendCurrentFrame(bool WithBody) {
  SetAnswerContentType("image/jpeg");
  auto stream = std::make_unique<TSharedBytesStream>(Webcam->CurrentJpeg());
  const int64_t size = stream->Size();
  if (!WithBody) stream->Seek(0, soEnd);
  SetDocStream(stream.release());
  SendStr(Version() + " 200 OK\r\nContent-Type: " + AnswerContentType() + "\r\nContent-Length: " +
          std::to_string(size) + "\r\n\r\n");
  SendStream();
}

void Tvideoform::UpdateAddresses() {
  const int32_t keep = mycombobox3->ItemIndex();
  mycombobox3->ClearItems();
  if (TStringList* list = GetLocalAddresses())
    for (int32_t i = 0; i < list->Count(); ++i) mycombobox3->AddItem(list->Strings(i));
  if (keep >= 0 && keep < mycombobox3->Count()) mycombobox3->SetItemIndex(keep);
  else mycombobox3->SetItemIndex(mycombobox3->Count() > 0 ? 0 : -1);
}

void Tvideoform::ServerClick() {
  if (!ServerButton->Down()) {
    if (HttpServer1->Listening()) HttpServer1->Stop();
    mycombobox3->SetEnabled(true);
    Edit7->SetEnabled(true);
    return;
  }
  const std::string port = Trim(Edit7->Text());
  HttpServer1->SetAddr(mycombobox3->ItemIndex() >= 0 ? mycombobox3->Item(mycombobox3->ItemIndex()) : "0.0.0.0");
  HttpServer1->SetPort(port);
  HttpServer1->SetMaxClients(Round32(KvSpinEdit7->Value()));
  const int32_t linger = Round32(myKvSpinEdit6->Value());
  HttpServer1->SetLingerTimeout(linger);
  HttpServer1->SetLingerOnOff(linger != 0 ? wsLingerOn : wsLingerOff);
  try {
    HttpServer1->Start();
  } catch (const Exception& E) {
    ServerButton->SetDown(false);
    const int32_t n = StrToIntDef(port, -1);
    // The program runs without privileges: ports below 1024 are the system's.
    if (n > 0 && n < 1024)
      MessageDlg("Der Port " + port + " kann nicht geöffnet werden (" + E.Message() +
                     "). Ports unter 1024 sind dem System vorbehalten; bitte einen Port über 1024 wählen, z. B. 8080.",
                 mtWarning, TMsgDlgButtons{mbOK}, 0);
    else
      MessageDlg("Der Port " + port + " kann nicht geöffnet werden: " + E.Message(), mtWarning,
                 TMsgDlgButtons{mbOK}, 0);
    return;
  }
  mycombobox3->SetEnabled(false);
  Edit7->SetEnabled(false);
}

void Tvideoform::ParamsClick() {
  TIOParamsVals& params = frameie->IOParams();
  std::string ext = ExtractFileExt(FilenameEdit1->Text());
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  if (const TIMFileTypeRecord* t = FindFileTypeByExtension(ext)) params.FileType = t->Id;
  const std::unique_ptr<TfIOPreviews> form(new TfIOPreviews(nullptr));
  form->SetParams(&params);
  form->Imager1->Bitmap().Assign(&frameie->Bitmap());
  form->Imager1->Update();
  if (form->SetupPages(2)) form->Execute();
}

// ---- the target list ----

void Tvideoform::AddTarget(bool Email) {
  Tinetoptionform form(nullptr);
  if (!form.Execute("", Email)) return;
  FTargets.insert(FTargets.begin(), form.Result);
  SetTargets(FTargets);
  ListBox1->SetItemIndex(0);
  UpdateEnabled();
}

void Tvideoform::EditTarget() {
  const int32_t i = ListBox1->ItemIndex();
  if (i < 0 || i >= int32_t(FTargets.size())) return;
  Tinetoptionform form(nullptr);
  if (!form.Execute(FTargets[size_t(i)], false)) return;
  FTargets[size_t(i)] = form.Result;
  std::vector<bool> ticks;
  for (int32_t k = 0; k < int32_t(FTargets.size()); ++k) ticks.push_back(ListBox1->Checked(k));
  SetTargets(FTargets);
  for (int32_t k = 0; k < int32_t(ticks.size()); ++k) ListBox1->SetChecked(k, ticks[size_t(k)]);
  ListBox1->SetItemIndex(0);
  UpdateEnabled();
}

void Tvideoform::DeleteTargets() {
  if (MessageDlg("Sind Sie sicher, dass Sie die markierten Einstellungen löschen möchten?", mtConfirmation,
                 TMsgDlgButtons{mbOK, mbCancel}, 0) != mrOk)
    return;
  std::vector<std::string> keep;
  for (int32_t k = 0; k < int32_t(FTargets.size()); ++k)
    if (!ListBox1->Checked(k) && k != ListBox1->ItemIndex()) keep.push_back(FTargets[size_t(k)]);
  SetTargets(keep);
}

// ---- the sending cycle ----

void Tvideoform::GoClick() {
  // Pressing again ends a running wait.
  if (sleeptimer->Enabled()) {
    sleeptimer->SetEnabled(false);
    StatusLabel->SetCaption("Inactive");
  }
}

void Tvideoform::SleepTimerFired() {
  sleeptimer->SetEnabled(false);
  StatusLabel->SetCaption("Inactive");
}

void Tvideoform::SendingCycle() {
  FSending = true;
  struct TDone {
    bool& B;
    ~TDone() { B = false; }
  } done{FSending};
  if (form1)
    frameie->SetOnProgress([](TObject* S, int32_t P) { form1->onprogressany(S, P); });
  const std::string file = FilenameEdit1->Text();
  if (!file.empty()) frameie->SaveToFileByExtension(file);
  bool any = false;
  for (int32_t k = 0; k < int32_t(FTargets.size()); ++k) {
    if (!ListBox1->Checked(k)) continue;
    any = true;
    TargetLabel->SetCaption(ListBox1->Items().Strings(k));
    SendWebcamImage(FTargets[size_t(k)]);
    TargetLabel->SetCaption("");
  }
  if (!any) {
    TargetLabel->SetCaption("Fehler, keine Internet-Einstellungen gewählt");
    return;
  }
  const int32_t seconds = Round32(KvSpinEdit5->Value());
  if (seconds != 0) {
    sleeptimer->SetInterval(uint32_t(seconds) * 1000);
    sleeptimer->SetEnabled(true);
    StatusLabel->SetCaption(StatusLabel->Caption() + ", Warte " + IntToStr(seconds) + " Sekunden");
  }
}

bool Tvideoform::TargetStep(const std::string& Name, bool Ok) {
  StatusLabel->SetCaption(Name + (Ok ? " war erfolgreich" : " schlug fehl"));
  return Ok;
}

void Tvideoform::SendWebcamImage(const std::string& Target) {
  const std::string file = FilenameEdit1->Text();
  struct stat st{};
  FSendSize = ::stat(file.c_str(), &st) == 0 ? int64_t(st.st_size) : 0;
  // Values with a line break would smuggle commands into the protocol.
  if (const std::string key = InetTargetLineBreakKey(Target); !key.empty()) {
    TargetStep("Verbindung", false);
    StatusLabel->SetCaption(StatusLabel->Caption() + " (Zeilenumbruch in \"" + key + "\")");
    return;
  }
  const bool adv = ReadParamBool(Target, "Adv", false);
  auto progress = [this](TObject* Sender, int64_t Count, bool& Abort) {
    if (form1) {
      if (FSendSize > 0) form1->onprogressany(Sender, int32_t(Count * 100 / FSendSize));
      if (form1->AbortRequested) Abort = true;
    }
  };
  if (!IsEmailTarget(Target)) {
    if (!FFtp) FFtp = std::make_unique<TFtpClient>(nullptr);
    TFtpClient& f = *FFtp;
    f.SetHostName(ReadParamString(Target, "Host", ""));
    f.SetUserName(ReadParamString(Target, "User", ""));
    f.SetPassWord(ReadParamString(Target, "Pass", ""));
    f.SetPassive(ReadParamBool(Target, "Passive", false) && adv);
    const std::string timeout = ReadParamString(Target, "Timeout", "");
    f.SetTimeout(adv && !timeout.empty() ? StrToIntDef(timeout, 240) : 240);
    f.SetHostDirName(adv ? ReadParamString(Target, "Dir", "") : "");
    const std::string port = ReadParamString(Target, "Port", "");
    f.SetPort(adv && !port.empty() ? port : "21");
    const std::string name = ExtractFileName(file);
    f.SetHostFileName(name + "p");
    f.SetLocalFileName(file);
    f.OnProgress = progress;
    if (f.Connected()) f.Quit();
    bool ok = f.Connected();
    if (!ok) ok = TargetStep("Verbindung", f.Open());
    if (ok && TargetStep("Username", f.User()) && TargetStep("Passwort", f.Pass())) {
      bool cwdOk = true;
      if (!f.HostDirName().empty()) cwdOk = TargetStep("Verzeichniswechsel", f.Cwd());
      if (cwdOk) {
        f.SetBinary(true);
        f.TypeSet();
        // Only a complete upload replaces the picture on the server.
        if (TargetStep("Upload", f.Put())) {
          f.SetLocalFileName(name);
          TargetStep("Rename", f.Rename());
        }
      }
    }
    if (f.Connected()) f.Quit();
    return;
  }
  if (!FSmtp) {
    FSmtp = std::make_unique<TSyncSmtpClient>(nullptr);
    FSmtp->SetTimeout(240);
  }
  if (!FPop3) FPop3 = std::make_unique<TSyncPop3Client>(nullptr);
  if (adv && ReadParamBool(Target, "Pop3Ident", false)) {
    TSyncPop3Client& p = *FPop3;
    const std::string pport = ReadParamString(Target, "PPort", "");
    if (!pport.empty()) p.SetPort(pport);
    p.SetHost(ReadParamString(Target, "Pop3", ""));
    p.SetUserName(ReadParamString(Target, "User", ""));
    p.SetPassWord(ReadParamString(Target, "Pass", ""));
    if (p.Connected()) p.Quit();
    const bool signedIn = TargetStep("POP3", p.Connect()) && TargetStep("POP3-Username", p.User()) &&
                          TargetStep("POP3-Passwort", p.Pass());
    if (p.Connected()) p.Quit();
    // A failed sign-in ends this target: the mail server would refuse the mail.
    if (!signedIn) return;
  }
  TSyncSmtpClient& s = *FSmtp;
  s.SetHost(ReadParamString(Target, "SMTP", ""));
  s.SetFromName(ReadParamString(Target, "From", ""));
  s.SetHdrFrom(ReadParamString(Target, "From", ""));
  TStringList rcpt;
  rcpt.Add(ReadParamString(Target, "To", ""));
  s.SetRcptName(&rcpt);
  s.SetHdrTo(ReadParamString(Target, "To", ""));
  s.SetHdrSubject("Webcam Schnappschuss mit Kavrelin");
  TStringList body;
  body.Add("Dieser Schnappschuss wurde automatisch mit Kavrelin gesendet, dem Bilder Multitalent. "
           "Mehr über Kavrelin steht auf der Seite des Programms im Netz.");
  s.SetMailMessage(&body);
  TStringList files;
  files.Add(file);
  s.SetEmailFiles(&files);
  s.SetCharSet("iso-8859-1");
  s.SetContentType(smtpPlainText);
  if (adv) {
    const std::string timeout = ReadParamString(Target, "Timeout", "");
    if (!timeout.empty()) s.SetTimeout(StrToIntDef(timeout, s.Timeout()));
    const std::string port = ReadParamString(Target, "Port", "");
    if (!port.empty()) s.SetPort(port);
    const std::string signon = ReadParamString(Target, "Signon", "");
    if (!signon.empty()) s.SetSignOn(signon);
  }
  if (s.Connected()) s.Quit();
  if (!s.Connected() && TargetStep("Verbindung", s.Connect())) {
    bool signed_ = true;
    if (adv && !s.SignOn().empty()) signed_ = TargetStep("SignOn", s.Helo());
    if (signed_) TargetStep("Mail", s.Mail());
  }
  // QUIT without waiting for the answer.
  if (s.Connected()) s.TCustomSmtpClient::Quit();
}

}  // namespace kv

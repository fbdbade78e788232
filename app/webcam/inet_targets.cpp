#include "app/webcam/inet_targets.h"

#include <algorithm>

#include "app/helpers/registry_helpers.h"
#include "app/params/param_strings.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/button.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/page_control.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

const char* const kLineKeys[] = {"Host", "User", "Pass", "Dir", "Port", "Timeout", "SMTP", "From",
                                 "To",   "Signon", "Pop3", "PPort"};

}  // namespace

bool IsEmailTarget(const std::string& Target) {
  return SameTextNoCase(ReadParamString(Target, "Mode", ""), "EMAIL");
}

std::string InetTargetCaption(const std::string& Target) {
  if (IsEmailTarget(Target))
    return ReadParamString(Target, "To", "") + " (" + ReadParamString(Target, "From", "") + ")";
  return ReadParamString(Target, "Host", "");
}

std::string InetTargetLineBreakKey(const std::string& Target) {
  for (const char* key : kLineKeys) {
    const std::string v = ReadParamString(Target, key, "");
    if (v.find_first_of("\r\n") != std::string::npos) return key;
  }
  return {};
}

void ReadInetTargets(TStrings& List) { ReadRegistryList(List, InetTargetsKey); }

void WriteInetTargets(const TStrings& List) { WriteRegistryList(List, InetTargetsKey); }

Tinetoptionform::Tinetoptionform(TComponent* AOwner) : TForm(AOwner) {
  SetName("inetoptionform");
  SetCaption("Internet-Einstellungen");
  SetBounds(0, 0, 430, 420);
  PageControl1 = new TPageControl(this);
  PageControl1->SetParent(this);
  PageControl1->SetBounds(8, 8, 414, 330);
  FtpSheet = new TTabSheet(this);
  FtpSheet->SetPageControl(PageControl1);
  FtpSheet->SetCaption("FTP");
  MailSheet = new TTabSheet(this);
  MailSheet->SetPageControl(PageControl1);
  MailSheet->SetCaption("E-MAIL");

  int32_t top = 8;
  auto label = [this, &top](TWinControl* Parent, const std::string& Text, int32_t X = 8) {
    auto* l = new TLabel(this);
    l->SetParent(Parent);
    l->SetCaption(Text);
    l->SetBounds(X, top + 3, 170, 18);
    return l;
  };
  auto edit = [this, &top](TWinControl* Parent, const std::string& Name, const std::string& Text, int32_t X = 180,
                           int32_t W = 210) {
    auto* e = new TEdit(this);
    e->SetParent(Parent);
    e->SetName(Name);
    e->SetText(Text);
    e->SetBounds(X, top, W, 22);
    top += 28;
    return e;
  };
  auto check = [this, &top](TWinControl* Parent, const std::string& Name, const std::string& Text) {
    auto* c = new TCheckBox(this);
    c->SetParent(Parent);
    c->SetName(Name);
    c->SetCaption(Text);
    c->SetBounds(8, top, 380, 22);
    top += 28;
    return c;
  };

  // FTP page
  label(FtpSheet, "FTP-Adresse");
  FtpHost = edit(FtpSheet, "FtpHost", "");
  label(FtpSheet, "Username");
  FtpUser = edit(FtpSheet, "FtpUser", "");
  label(FtpSheet, "Passwort");
  FtpPass = edit(FtpSheet, "FtpPass", "");
  FtpAdv = check(FtpSheet, "FtpAdv", "Erweitert");
  FtpPassive = check(FtpSheet, "FtpPassive", "Passive (für Firewall oder Proxy Server)");
  TLabel* tl = label(FtpSheet, "Timeout");
  FtpTimeout = edit(FtpSheet, "FtpTimeout", "240", 180, 80);
  top -= 28;
  TLabel* sec = label(FtpSheet, "sec", 270);
  top += 28;
  TLabel* pl = label(FtpSheet, "Port");
  FtpPort = edit(FtpSheet, "FtpPort", "21");
  TLabel* dl = label(FtpSheet, "FTP-Verzeichnis");
  FtpDir = edit(FtpSheet, "FtpDir", "");
  FFtpAdvanced = {FtpPassive, tl, FtpTimeout, sec, pl, FtpPort, dl, FtpDir};

  // e-mail page
  top = 8;
  label(MailSheet, "Server für ausgehende Mail");
  MailSmtp = edit(MailSheet, "MailSmtp", "");
  label(MailSheet, "e-mail Adresse des Absenders");
  MailFrom = edit(MailSheet, "MailFrom", "");
  label(MailSheet, "e-mail Adresse des Empfängers");
  MailTo = edit(MailSheet, "MailTo", "");
  MailAdv = check(MailSheet, "MailAdv", "Erweitert");
  TLabel* mtl = label(MailSheet, "Timeout");
  MailTimeout = edit(MailSheet, "MailTimeout", "240", 180, 80);
  top -= 28;
  TLabel* msec = label(MailSheet, "sec", 270);
  top += 28;
  TLabel* mpl = label(MailSheet, "Port");
  MailPort = edit(MailSheet, "MailPort", "smtp");
  TLabel* sl = label(MailSheet, "SignOn");
  MailSignon = edit(MailSheet, "MailSignon", "");
  MailPop3Ident = check(MailSheet, "MailPop3Ident", "Server benötigt POP3-Identifikation");
  TLabel* p3 = label(MailSheet, "POP3-Server");
  MailPop3 = edit(MailSheet, "MailPop3", "");
  TLabel* p3port = label(MailSheet, "Port");
  MailPPort = edit(MailSheet, "MailPPort", "pop3");
  TLabel* ul = label(MailSheet, "Username");
  MailUser = edit(MailSheet, "MailUser", "");
  TLabel* pw = label(MailSheet, "Passwort");
  MailPass = edit(MailSheet, "MailPass", "");
  FMailAdvanced = {mtl, MailTimeout, msec, mpl, MailPort, sl, MailSignon, MailPop3Ident,
                   p3,  MailPop3,    p3port, MailPPort, ul, MailUser,  pw, MailPass};
  FPop3Fields = {p3, MailPop3, p3port, MailPPort, ul, MailUser, pw, MailPass};

  FtpAdv->OnClick = [this](TObject*) { UpdateVisibility(); };
  MailAdv->OnClick = [this](TObject*) { UpdateVisibility(); };
  MailPop3Ident->OnClick = [this](TObject*) { UpdateVisibility(); };

  OkButton = new TButton(this);
  OkButton->SetParent(this);
  OkButton->SetName("OkButton");
  OkButton->SetCaption("OK");
  OkButton->SetBounds(260, 350, 75, 25);
  OkButton->SetDefault(true);
  OkButton->SetModalResult(mrOk);
  CancelButton = new TButton(this);
  CancelButton->SetParent(this);
  CancelButton->SetName("CancelButton");
  CancelButton->SetCaption("Abbrechen");
  CancelButton->SetBounds(342, 350, 75, 25);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  UpdateVisibility();
}

void Tinetoptionform::UpdateVisibility() {
  FtpSheet->SetTabVisible(!FEmail);
  MailSheet->SetTabVisible(FEmail);
  PageControl1->SetActivePage(FEmail ? MailSheet : FtpSheet);
  for (TControl* c : FFtpAdvanced) c->SetVisible(FtpAdv->Checked());
  for (TControl* c : FMailAdvanced) c->SetVisible(MailAdv->Checked());
  for (TControl* c : FPop3Fields) c->SetEnabled(MailPop3Ident->Checked());
}

void Tinetoptionform::string2form(const std::string& Text, bool Email) {
  FEmail = Text.empty() ? Email : IsEmailTarget(Text);
  if (!Text.empty()) {
    if (FEmail) {
      MailSmtp->SetText(ReadParamString(Text, "SMTP", ""));
      MailFrom->SetText(ReadParamString(Text, "From", ""));
      MailTo->SetText(ReadParamString(Text, "To", ""));
      MailAdv->SetChecked(ReadParamBool(Text, "Adv", false));
      MailTimeout->SetText(ReadParamString(Text, "Timeout", "240"));
      MailPort->SetText(ReadParamString(Text, "Port", "smtp"));
      MailSignon->SetText(ReadParamString(Text, "Signon", ""));
      MailPop3Ident->SetChecked(ReadParamBool(Text, "Pop3Ident", false));
      MailPop3->SetText(ReadParamString(Text, "Pop3", ""));
      MailPPort->SetText(ReadParamString(Text, "PPort", "pop3"));
      MailUser->SetText(ReadParamString(Text, "User", ""));
      MailPass->SetText(ReadParamString(Text, "Pass", ""));
    } else {
      FtpHost->SetText(ReadParamString(Text, "Host", ""));
      FtpUser->SetText(ReadParamString(Text, "User", ""));
      FtpPass->SetText(ReadParamString(Text, "Pass", ""));
      FtpAdv->SetChecked(ReadParamBool(Text, "Adv", false));
      FtpDir->SetText(ReadParamString(Text, "Dir", ""));
      FtpPassive->SetChecked(ReadParamBool(Text, "Passive", false));
      FtpTimeout->SetText(ReadParamString(Text, "Timeout", "240"));
      FtpPort->SetText(ReadParamString(Text, "Port", "21"));
    }
  }
  UpdateVisibility();
}

void Tinetoptionform::form2string(std::string& Text) {
  if (FEmail) {
    Text = WriteParamString("Mode", "EMAIL") + WriteParamString("SMTP", MailSmtp->Text()) +
           WriteParamString("From", MailFrom->Text()) + WriteParamString("To", MailTo->Text()) +
           WriteParamBool("Adv", MailAdv->Checked()) + WriteParamString("Timeout", MailTimeout->Text()) +
           WriteParamString("Port", MailPort->Text()) + WriteParamString("Signon", MailSignon->Text()) +
           WriteParamBool("Pop3Ident", MailPop3Ident->Checked()) + WriteParamString("Pop3", MailPop3->Text()) +
           WriteParamString("PPort", MailPPort->Text()) + WriteParamString("User", MailUser->Text()) +
           WriteParamString("Pass", MailPass->Text());
  } else {
    Text = WriteParamString("Mode", "FTP") + WriteParamString("Host", FtpHost->Text()) +
           WriteParamString("User", FtpUser->Text()) + WriteParamString("Pass", FtpPass->Text()) +
           WriteParamBool("Adv", FtpAdv->Checked()) + WriteParamString("Dir", FtpDir->Text()) +
           WriteParamBool("Passive", FtpPassive->Checked()) + WriteParamString("Timeout", FtpTimeout->Text()) +
           WriteParamString("Port", FtpPort->Text());
  }
  Text = TrimSpaces(Text);
}

bool Tinetoptionform::Execute(const std::string& Text, bool Email) {
  string2form(Text, Email);
  Result.clear();
  for (;;) {
    if (ShowModal() != mrOk) return false;
    try {
      form2string(Result);
      return true;
    } catch (const EParamValueError&) {
      // A value no protocol line may carry: the user corrects it.
      Result.clear();
      MessageDlg("Die Angaben dürfen keine Anführungszeichen und keine Zeilenumbrüche enthalten.", mtWarning,
                 TMsgDlgButtons{mbOK}, 0);
    }
  }
}

}  // namespace kv

// Internet targets of the webcam: one parameter text each, an FTP folder or
// an e-mail recipient, kept as a list in the registry; the dialog
// Tinetoptionform makes or edits one.
#pragma once
#include <string>
#include <vector>

#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TCheckBox;
class TEdit;
class TLabel;
class TPageControl;
class TStrings;
class TTabSheet;

// Where the list of targets lives below the current user.
inline constexpr const char* InetTargetsKey = "\\Software\\Kavrelin\\3.6\\Inet";

// "Mode" equal to "EMAIL" without regard to case; anything else is FTP.
bool IsEmailTarget(const std::string& Target);
// What the target list shows: "To (From)" for mail, else the host.
std::string InetTargetCaption(const std::string& Target);
// The first value (host, folder, address, user, port ...) holding a carriage
// return or line feed, by its key; empty when every value is clean. Such a
// value must never reach a protocol line.
std::string InetTargetLineBreakKey(const std::string& Target);

void ReadInetTargets(TStrings& List);
void WriteInetTargets(const TStrings& List);

class Tinetoptionform : public TForm {
 public:
  explicit Tinetoptionform(TComponent* AOwner);

  TPageControl* PageControl1 = nullptr;
  TTabSheet* FtpSheet = nullptr;
  TTabSheet* MailSheet = nullptr;
  // FTP page
  TEdit* FtpHost = nullptr;
  TEdit* FtpUser = nullptr;
  TEdit* FtpPass = nullptr;
  TCheckBox* FtpAdv = nullptr;
  TEdit* FtpDir = nullptr;
  TCheckBox* FtpPassive = nullptr;
  TEdit* FtpTimeout = nullptr;
  TEdit* FtpPort = nullptr;
  // e-mail page
  TEdit* MailSmtp = nullptr;
  TEdit* MailFrom = nullptr;
  TEdit* MailTo = nullptr;
  TCheckBox* MailAdv = nullptr;
  TEdit* MailTimeout = nullptr;
  TEdit* MailPort = nullptr;
  TEdit* MailSignon = nullptr;
  TCheckBox* MailPop3Ident = nullptr;
  TEdit* MailPop3 = nullptr;
  TEdit* MailPPort = nullptr;
  TEdit* MailUser = nullptr;
  TEdit* MailPass = nullptr;
  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;

  // Shows the page of the text's kind and fills it; an empty text gives an
  // empty form of the kind Email says.
  void string2form(const std::string& Text, bool Email = false);
  // The text of the shown kind, keys in their fixed order. Raises for a
  // value with a double quote or a line break.
  void form2string(std::string& Text);
  bool EmailShown() const { return FEmail; }
  // Advanced fields follow "Erweitert"; the POP3 fields the POP3 tick.
  void UpdateVisibility();

  // The text of the form after OK; empty after Cancel.
  std::string Result;
  // Runs the dialog on Text (empty: a new target of the kind Email); true and
  // Result set after OK.
  bool Execute(const std::string& Text, bool Email);

 private:
  bool FEmail = false;
  std::vector<TControl*> FFtpAdvanced;
  std::vector<TControl*> FMailAdvanced;
  std::vector<TControl*> FPop3Fields;
};

}  // namespace kv

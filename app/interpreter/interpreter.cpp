// Running one line: prefixes, logging, the keyword table, the end-of-command
// steps and the failure path.
#include "app/interpreter/interpreter.h"

#include <exception>

#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

const char kCommandFailed[] =
    "Achtung! Folgender Befehl verursachte einen Fehler: \r\r%s\r\rWenn Sie Befehle oder Batch-Programme manuell "
    "ausführen, müssen dieselben Bedingungen gelten wie bei der Aufnahme.\rHandelt es sich z.B. um einen "
    "Filterbefehl , muss dafür auch ein Bild aktiv sein.";

bool StartsWithNoCase(const std::string& Text, const char* Prefix) {
  const std::string_view p(Prefix);
  return Text.size() >= p.size() && SameTextNoCase(std::string_view(Text).substr(0, p.size()), p);
}

}  // namespace

std::string CommandFailedMessage(const std::string& Line) {
  std::string text = kCommandFailed;
  const std::size_t at = text.find("%s");
  return text.replace(at, 2, Line);
}

TCommandRun::TCommandRun(Tform1& AForm, TObject* ASender, std::string ALine, std::string AReceived)
    : Form(AForm), Sender(ASender), Line(std::move(ALine)), Received(std::move(AReceived)) {}

std::string TCommandRun::Str(const char* Name, const std::string& Default) const {
  return ReadParamString(Line, Name, Default);
}
int32_t TCommandRun::Int(const char* Name, int32_t Default) const { return ReadParamInt(Line, Name, Default); }
double TCommandRun::Float(const char* Name, double Default) const { return ReadParamFloat(Line, Name, Default); }
bool TCommandRun::Bool(const char* Name, bool Default) const { return ReadParamBool(Line, Name, Default); }
bool TCommandRun::List(const char* Name, TStrings& Into) const { return ReadParamStrings(Line, Name, Into); }

Tchild& TCommandRun::Child() const {
  Tchild* child = Form.getchild();
  if (!child) throw ECommandError("Es ist kein Bildfenster aktiv");
  return *child;
}

timagerlayer& TCommandRun::Imager() const {
  Tchild& child = Child();
  if (!child.imager1) throw ECommandError("Es ist kein Bildfenster aktiv");
  return *child.imager1;
}

void TCommandRun::UndoPoint() { Form.saveundo(); }

bool TCommandRun::RunLine(const std::string& NestedLine) { return Form.interpreter(&Form, NestedLine); }

bool TCommandInterpreter::Run(TObject* Sender, const std::string& Line) {
  if (Line.empty()) return true;
  const std::string received = Line;  // kept for the failure message, whatever the caller does with Line
  ++FDepth;
  struct TDepth {
    int32_t& Depth;
    ~TDepth() { --Depth; }
  } depth{FDepth};
  try {
    if (Application) Application->ProcessMessages();
    std::string line = Line;
    if (StartsWithNoCase(line, "ALREADYDONE")) {
      line = Copy(line, 13);
      FForm.LogLine(line);
      line.clear();  // logged, not run; the end-of-command steps still follow
    } else if (StartsWithNoCase(line, "HIDDEN")) {
      line = Copy(line, 8);
    } else {
      FForm.LogLine(line);
    }

    TCommandRun run(FForm, Sender, line, received);
    if (!line.empty()) {
      const std::string keyword = ReadCommandParam(line, "command", "");
      // Every keyword is compared even after a match; DESELECT is listed twice and runs twice.
      for (const TCommandEntry& entry : CommandTable()) {
        if (SameTextNoCase(keyword, entry.Keyword)) entry.Handler(run);
        if (run.Returned) return run.Result;
      }
    }

    if (!FForm.Quiet) {
      if (timagerlayer* imager = FForm.getimager()) imager->Update();
      FForm.updateall();
    }
    if (FForm.ProgressBar1) FForm.ProgressBar1->SetPosition(0);
    return run.Result;
  } catch (...) {
    // A nested line that failed has shown its own message; the lines around it
    // pass the same exception on without a second box.
    std::exception_ptr failure = std::current_exception();
    if (failure != FReported) {
      FReported = failure;
      ShowMessage(CommandFailedMessage(received));
    }
    if (FDepth == 1) FReported = nullptr;
    throw;
  }
}

}  // namespace kv

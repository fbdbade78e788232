// Running one line: prefixes, logging, the keyword table, the end-of-command
// steps and the failure path.
#include "app/interpreter/interpreter.h"

#include "app/child/child_window.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"

namespace kv {

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
  if (!child) throw ECommandError("No image window is active");
  return *child;
}

timagerlayer& TCommandRun::Imager() const {
  Tchild& child = Child();
  if (!child.imager1) throw ECommandError("No image window is active");
  return *child.imager1;
}

void TCommandRun::UndoPoint() { Form.saveundo(); }

bool TCommandRun::RunLine(const std::string& NestedLine) { return Form.interpreter(&Form, NestedLine); }

void MissingTool(const TCommandRun& Run, const std::string& Tool) {
  (void)Run;
  throw ECommandError("The command " + Tool + " is not available in this version");
}

bool TCommandInterpreter::Run(TObject* Sender, const std::string& Line) {
  if (Line.empty()) return true;
  TCommandRun run(FForm, Sender, Line, Line);
  const std::string keyword = ReadCommandParam(Line, "command", "");
  for (const TCommandEntry& entry : CommandTable()) {
    if (SameTextNoCase(keyword, entry.Keyword)) entry.Handler(run);
    if (run.Returned) return run.Result;
  }
  return run.Result;
}

}  // namespace kv

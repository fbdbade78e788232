// The command language: every editing step of the program is one line, run
// here on the current image window. A line is a keyword and parameter pairs;
// the keyword is compared with a table of handlers in a fixed order.
#pragma once
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace kv {

class TObject;
class TStrings;
class Tform1;
class Tchild;
class timagerlayer;

// A command that cannot run (no target window, a tool that is missing, a bad
// parameter). The interpreter reports it with the failing line and raises it on.
KV_DECLARE_EXCEPTION(ECommandError, Exception)

// One line being run: the parameters, the window it works on and the outcome.
class TCommandRun {
 public:
  TCommandRun(Tform1& Form, TObject* Sender, std::string Line, std::string Received);

  Tform1& Form;
  TObject* Sender;
  // The line without its prefix; the keyword is its first word.
  const std::string Line;
  // The line as received, prefix included (for the failure message).
  const std::string Received;
  // The interpreter's result: false only when an acquisition or an options dialog was cancelled.
  bool Result = true;
  // Set by a handler that "returns": the end-of-command steps are skipped.
  bool Returned = false;

  // Typed parameter readers over Line.
  std::string Str(const char* Name, const std::string& Default = "") const;
  int32_t Int(const char* Name, int32_t Default = 0) const;
  double Float(const char* Name, double Default = 0) const;
  bool Bool(const char* Name, bool Default = false) const;
  // False when the line holds no such list.
  bool List(const char* Name, TStrings& Into) const;

  // The target image window and its image control; raise ECommandError when there is none.
  Tchild& Child() const;
  timagerlayer& Imager() const;
  // Undo point on the target window, when there is one.
  void UndoPoint();
  // Runs a further line through the interpreter, with the main window as Sender.
  bool RunLine(const std::string& NestedLine);
  // Ends the command: the end-of-command steps are skipped.
  void Return() { Returned = true; }
};

using TCommandHandler = void (*)(TCommandRun& Run);
struct TCommandEntry {
  const char* Keyword;
  TCommandHandler Handler;
};
// The keywords in the order they are tested.
const std::vector<TCommandEntry>& CommandTable();

class TCommandInterpreter {
 public:
  explicit TCommandInterpreter(Tform1& Form) : FForm(Form) {}
  bool Run(TObject* Sender, const std::string& Line);

 private:
  Tform1& FForm;
  // Nesting of lines run by lines, and the failure already reported inside.
  int32_t FDepth = 0;
  std::exception_ptr FReported;
};

// The failure message with the line as received.
std::string CommandFailedMessage(const std::string& Line);

}  // namespace kv

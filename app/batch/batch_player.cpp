// Playing a batch file line by line, and logging lines to the history window
// and the recording.
#include "app/batch/batch_player.h"

#include "app/batch/batch_recorder.h"
#include "app/batch/batch_window.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"

namespace kv {

namespace {

bool StartsWithNoCase(const std::string& Text, std::string_view Prefix) {
  return Text.size() >= Prefix.size() && SameText(std::string_view(Text).substr(0, Prefix.size()), Prefix);
}

// Busy for as long as this player runs, however it ends; a nested player
// leaves the outer one busy.
class TBusyScope {
 public:
  explicit TBusyScope(Tform1& Form) : FForm(Form) { ++FForm.BatchBusy; }
  ~TBusyScope() {
    if (FForm.BatchBusy > 0) --FForm.BatchBusy;
  }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  Tform1& FForm;
};

}  // namespace

std::string PrepareBatchLine(const std::string& Line, bool& Quit) {
  std::string line = TrimSpaces(Line);
  Quit = StartsWithNoCase(line, "QUIT");
  if (!StartsWithNoCase(line, "HIDDEN")) line = "HIDDEN " + line;
  return line;
}

void PlayBatch(Tform1& Form, const std::string& FileName, const TBatchLineRunner& RunLine) {
  if (!Form.Quiet && Form.Visible() && Form.Enabled()) Form.SetFocus();
  TStringList lines;
  if (!LoadBatchFile(FileName, lines)) {
    Application->MessageBox("Die Batch-Datei \"" + FileName + "\" wurde nicht gefunden.", "Batch", MB_OK | MB_ICONERROR);
    return;
  }
  TBusyScope busy(Form);
  Application->ProcessMessages();
  for (int32_t i = 0; i < lines.Count(); ++i) {
    bool quit = false;
    const std::string line = PrepareBatchLine(lines.Get(i), quit);
    // The close handling of QUIT must not be refused as a menu action during a batch.
    if (quit) Form.BatchBusy = 0;
    RunLine(line);
    Application->ProcessMessages();
  }
}

void Tform1::playbatch(const std::string& FileName) {
  PlayBatch(*this, FileName, [this](const std::string& Line) { interpreter(this, Line); });
}

void Tform1::LogLine(const std::string& Line) {
  if (batchwindowform) batchwindowform->AddLine(Line);
  if (Recorder().State() != rsRecording) return;
  if (StartsWithNoCase(Line, "ALREADYDONE "))
    Recorder().Recording().Add(Line.substr(12));
  else
    Recorder().Recording().Add(Line);
}

}  // namespace kv

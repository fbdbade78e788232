// The recorder's actions and the batch file format on disk.
#include "app/batch/batch_recorder.h"

#include "app/batch/batch_escapes.h"
#include "app/batch/batch_list_frame.h"
#include "app/batch/batch_window.h"
#include "app/helpers/folder_helpers.h"
#include "app/main/main_form.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/file_lock.h"
#include "platform/ui/dialogs.h"

namespace kv {

bool ValidBatchName(const std::string& Name) {
  return !Name.empty() && Name != "." && Name != ".." && Name.find('/') == std::string::npos &&
         Name.find('\0') == std::string::npos;
}

void SaveBatchFile(const TStrings& Lines, const std::string& FileName) {
  std::string data;
  for (int32_t i = 0; i < Lines.Count(); ++i) {
    data += EscapeBatchLine(Lines.Get(i));
    data += "\r\n";
  }
  AtomicWriteFile(FileName, data);
}

namespace {

void UnescapeLines(const TStrings& Raw, TStrings& Lines) {
  Lines.BeginUpdate();
  Lines.Clear();
  for (int32_t i = 0; i < Raw.Count(); ++i) Lines.Add(UnescapeBatchLine(Raw.Get(i)));
  Lines.EndUpdate();
}

// The recorder buttons of the history window follow every change of state;
// after a save its list shows the new program too.
void UpdateBatchList(bool Reread) {
  if (!batchwindowform || !batchwindowform->batchlistFrame1) return;
  if (Reread) batchwindowform->batchlistFrame1->ReadFileList();
  batchwindowform->batchlistFrame1->updateall();
}

}  // namespace

void ParseBatchText(std::string_view Text, TStrings& Lines) {
  TStringList raw;
  raw.SetText(Text);
  UnescapeLines(raw, Lines);
}

bool LoadBatchFile(const std::string& FileName, TStrings& Lines) {
  if (!FileExists(FileName)) return false;
  TStringList raw;
  raw.LoadFromFile(FileName);
  UnescapeLines(raw, Lines);
  return true;
}

void Tform1::batchnew() {
  TBatchRecorder& r = Recorder();
  if (r.State() == rsPaused) {
    r.SetState(rsRecording);
  } else if (r.State() == rsIdle) {
    if (MessageDlg("Alle folgenden Schritte werden aufgenommen, bis Sie die Aufnahme über das Menu stoppen.\r"
                   "Drücken Sie auf Ok, um die Aufnahme zu starten",
                   mtConfirmation, mbOKCancel, 0) == mrOk) {
      r.SetState(rsRecording);
      r.Recording().Clear();
    }
  }
  r.Changed();
  UpdateBatchList(false);
}

void Tform1::batchpause() {
  TBatchRecorder& r = Recorder();
  if (r.State() == rsRecording) r.SetState(rsPaused);
  r.Changed();
  UpdateBatchList(false);
}

void Tform1::batchstop() {
  TBatchRecorder& r = Recorder();
  r.SetState(rsIdle);
  r.Changed();
  UpdateBatchList(false);
  std::string name;
  if (!InputQuery("Aufnahme gestoppt", "Bitte geben Sie einen Namen für die Aufnahme an", name)) return;
  // The name becomes a file of the batch folder, never a path elsewhere.
  if (!ValidBatchName(name))
    throw EBatchName("\"" + name + "\" kann nicht als Name einer Aufnahme dienen: er darf weder leer sein, noch \"/\" enthalten, noch \".\" oder \"..\" sein.");
  ForceDirectories(BatchFolder());
  SaveBatchFile(r.Recording(), BatchFolder() + name + ".atp");
  r.Changed();
  UpdateBatchList(true);
}

}  // namespace kv

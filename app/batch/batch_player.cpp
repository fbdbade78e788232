// Playing a batch file line by line, and logging lines to the history window
// and the recording.
#include "app/batch/batch_recorder.h"
#include "app/main/main_form.h"

namespace kv {

void Tform1::playbatch(const std::string& FileName) { (void)FileName; }

void Tform1::LogLine(const std::string& Line) {
  if (FRecorder->State() == rsRecording) FRecorder->Recording().Add(Line);
}

}  // namespace kv

// The recorder of logged command lines: idle, recording or paused, and the
// recording itself, saved as a batch file when it stops.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/string_list.h"

namespace kv {

enum TRecorderState : uint8_t { rsIdle = 0, rsRecording = 1, rsPaused = 3 };

class TBatchRecorder {
 public:
  TRecorderState State() const { return FState; }
  void SetState(TRecorderState Value) { FState = Value; }
  TStringList& Recording() { return FRecording; }

  // After every change of state, so recorder controls can follow it.
  std::function<void()> OnChange;
  void Changed() {
    if (OnChange) OnChange();
  }

 private:
  TRecorderState FState = rsIdle;
  TStringList FRecording;
};

// A recording's name that is empty, holds a "/" or is "." or ".." would
// leave the batch folder or name no file.
KV_DECLARE_EXCEPTION(EBatchName, Exception)
bool ValidBatchName(const std::string& Name);

// Writes the lines escaped, CR LF after each, replacing the file.
void SaveBatchFile(const TStrings& Lines, const std::string& FileName);
// Reads the file's lines unescaped; false when there is no such file.
bool LoadBatchFile(const std::string& FileName, TStrings& Lines);
// The same for the file's bytes: split into lines, each unescaped.
void ParseBatchText(std::string_view Text, TStrings& Lines);

}  // namespace kv

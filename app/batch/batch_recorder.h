// The recorder of logged command lines: idle, recording or paused, and the
// recording itself, saved as a batch file when it stops.
#pragma once
#include <cstdint>

#include "platform/rtl/string_list.h"

namespace kv {

enum TRecorderState : uint8_t { rsIdle = 0, rsRecording = 1, rsPaused = 3 };

class TBatchRecorder {
 public:
  TRecorderState State() const { return FState; }
  void SetState(TRecorderState Value) { FState = Value; }
  TStringList& Recording() { return FRecording; }

 private:
  TRecorderState FState = rsIdle;
  TStringList FRecording;
};

}  // namespace kv

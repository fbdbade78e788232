#include "imaging/formats/codec_failure.h"

#include <utility>

namespace kv {

namespace {
// Per thread: thumbnails and previews may decode on workers beside the main thread.
thread_local std::string GCodecFailure;
}  // namespace

void FailCodec(TProgressRec& Progress, const std::string& Why) {
  Progress.Fail();
  if (GCodecFailure.empty()) GCodecFailure = Why;
}

void ClearCodecFailure() { GCodecFailure.clear(); }

std::string TakeCodecFailure() { return std::exchange(GCodecFailure, std::string()); }

}  // namespace kv

// Why a codec gave up. Codecs report failure through the aborted flag of
// their progress record; where they know the reason they say it here too,
// and the I/O component that ran them shows it as its abort reason.
#pragma once
#include <string>

#include "imaging/model/kernel_types.h"

namespace kv {

// Sets the aborted flag and notes Why for this thread, unless a reason is
// already noted (the first one found is the one that counts).
void FailCodec(TProgressRec& Progress, const std::string& Why);
// Forgets any noted reason; the I/O component calls it before a codec runs.
void ClearCodecFailure();
// The noted reason ("" if none), which is forgotten.
std::string TakeCodecFailure();

}  // namespace kv

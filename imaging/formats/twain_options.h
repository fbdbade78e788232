// Capabilities onto scanner options and back (internal to the acquisition).
#pragma once
#include <string>

#include "imaging/formats/twain_params.h"

namespace kv {

inline constexpr const char* kNoScannerText = "Es wurde kein Scanner gefunden.";

// Opens the selected source (or the first one); records the condition when none.
std::unique_ptr<TScanDevice> OpenTwainSource(TIMTWainParams& Params, TTwainManager& Mgr);
// Sends the changed capabilities; false (condition recorded) when one is refused.
bool SendTwainCapabilities(TIMTWainParams& Params, TScanDevice& Dev, TTwainManager& Mgr);
void ReadTwainCapabilities(TIMTWainParams& Params, TScanDevice& Dev);

}  // namespace kv

namespace kv {
class TBitmap;
class TIOParamsVals;
// Scans one page from an open device into Bitmap (every frame of it).
// NoDocs tells an empty feeder apart from a failure.
bool TwainTransferPage(TScanDevice& Dev, TBitmap& Bitmap, bool Native, TProgressRec& Progress, TIOParamsVals& IO,
                       TTwainManager& Mgr, bool& NoDocs);
}  // namespace kv

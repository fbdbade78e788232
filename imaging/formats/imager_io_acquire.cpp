// Scanner acquisition through the I/O component. No scanner interface is
// built in yet: both calls say so through the aborted flag rather than
// return as if the user had cancelled, and the target stays as it was.
#include "imaging/formats/imager_io.h"

namespace kv {

namespace {
constexpr const char* kNoScanner = "Scanner acquisition is not available: no scanner interface is built in";
}

bool TImagerIO::Acquire() {
  FAborted = false;
  FAbortReason.clear();
  if (!Bitmap()) {
    Fail("There is no bitmap to acquire into");
    return false;
  }
  Fail(kNoScanner);
  return false;
}

bool TImagerIO::SelectAcquireSource() {
  FAborted = false;
  FAbortReason.clear();
  Fail(kNoScanner);
  return false;
}

}  // namespace kv

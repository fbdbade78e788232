#include "platform/rtl/exceptions.h"

namespace kv {

void Abort() { throw EAbort("Operation aborted"); }

}  // namespace kv

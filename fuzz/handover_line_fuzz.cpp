// A second start hands its command line over as bytes from another process.
// Queuing it and taking the names off the queue must never fault, must make
// progress on every step, and must keep the names that were waiting first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/helpers/text_helpers.h"
#include "platform/rtl/strings.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 8192) return 0;
  const std::string line(reinterpret_cast<const char*>(Data), Size);
  // Names already waiting stay first.
  std::string pending = "\"first name\"";
  QueueHandedOverLine(pending, line);
  std::string name;
  if (!TakePendingName(pending, name) || name != "first name") std::abort();
  size_t steps = 0;
  while (TakePendingName(pending, name)) {
    if (++steps > Size + 1) std::abort();  // every step takes at least one character
  }
  if (!Trim(pending).empty()) std::abort();
  return 0;
}

// Batch files are text anyone may write. Reading one, undoing its escapes and
// preparing each line to run must never fault; each prepared line is hidden
// from the history, and a recorded line survives writing and reading back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/batch/batch_escapes.h"
#include "app/batch/batch_player.h"
#include "app/batch/batch_recorder.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 16384) return 0;
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  TStringList lines;
  ParseBatchText(text, lines);
  for (int32_t i = 0; i < lines.Count(); ++i) {
    bool quit = false;
    const std::string line = PrepareBatchLine(lines.Get(i), quit);
    if (!SameText(line.substr(0, 6), "HIDDEN")) std::abort();
    if (quit && !SameText(line.substr(0, 11), "HIDDEN QUIT")) std::abort();
  }
  // As a recorded command, the bytes come back from the file form unchanged.
  if (UnescapeBatchLine(EscapeBatchLine(text)) != text) std::abort();
  const std::string escaped = EscapeBatchLine(text);
  if (escaped.find('\r') != std::string::npos || escaped.find('\n') != std::string::npos) std::abort();
  return 0;
}

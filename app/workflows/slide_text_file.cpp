#include "app/workflows/slide_text_file.h"

#include "platform/rtl/atomic_file_stream.h"
#include "platform/rtl/exceptions.h"

namespace kv {

void WriteTextFile(const std::string& FileName, const std::string& Text) {
  try {
    TAtomicFileStream out(FileName);
    if (!Text.empty()) out.Write(Text.data(), int32_t(Text.size()));
    out.Commit();
  } catch (const Exception& E) {
    throw EInOutError("Die Datei " + FileName + " kann nicht geschrieben werden: " + E.Message());
  }
}

}  // namespace kv

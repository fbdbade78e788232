// Recognising an image file by its first bytes.
#pragma once
#include <cstdint>
#include <string>

#include "platform/rtl/streams.h"

namespace kv {

// The file-type id of the data at the stream's position, 0 when no test
// fits. The position is restored; nothing is raised.
int32_t DetectStreamType(TStream& S);

// The content's id of a file; with Reconcile it must agree with the file's
// extension in the file-type table (icons and cursors, which share one
// header layout, take the extension's id). 0 for a file that cannot be
// opened, an extension the table does not list, or a disagreement.
int32_t DetectFileType(const std::string& FileName, bool Reconcile);

}  // namespace kv

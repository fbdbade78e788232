// Fills the four process-wide LZW hooks of lzw_hooks.h with the coders built
// into the program. Whatever starts the program (every run mode) calls this
// once before any picture is read or written, so the thumbnail cache, the
// multi-frame loader and the dialogs all see the same coders.
#pragma once

namespace kv {

void InstallLzwCoders();

}  // namespace kv

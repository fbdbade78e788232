// The open dialog's frames preview over the multi-image view and the
// multi-frame loader.
#pragma once
#include <memory>

#include "imaging/views/frames_preview.h"

namespace kv {

// The view and the loader are made owned by Owner, the view parented to Parent.
std::unique_ptr<TIMFramesPreview> MakeMViewFramesPreview(TComponent* Owner, TWinControl* Parent);

}  // namespace kv

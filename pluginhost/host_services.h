// The services the host offers a plug-in through its filter record: the handle,
// buffer, property, colour and image suites, displayPixels and the small procs.
#pragma once
#include <cstdint>

#include "pluginhost/call_block.h"
#include "pluginhost/filter_plugin_api.h"

namespace kv {

// The image as the plug-in sees it: top-down rows of red-green-blue pixels.
struct THostImage {
  uint8_t* Pixels = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t RowBytes = 0;
};

// The call block and image the services work on; both only during one call.
void SetServiceBlock(FilterCallBlock* Block);
void SetServiceImage(const THostImage& Image);

// Puts every suite and proc of the host into a zeroed record; AdvanceState is the
// host's own step, offered to the plug-in as advanceState.
void InstallHostServices(FilterRecord& Record, AdvanceStateProc AdvanceState);

// Frees every handle and buffer the plug-in still holds (when it is unloaded).
void ReleasePluginMemory();
int16_t LastHandleError();

// Bytes of physical memory free now, at most INT32_MAX.
int32_t AvailableMemory();

// The block's abort test; false without one.
bool HostAbortRequested();

}  // namespace kv

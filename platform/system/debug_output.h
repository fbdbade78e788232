// The debugger's output channel: texts components leave for a developer.
// They go to a sink a test may set, else to standard error when
// KV_DEBUG_OUTPUT is set in the environment, else nowhere.
#pragma once
#include <functional>
#include <string>

namespace kv {

void OutputDebugString(const std::string& Text);
// nullptr restores the default.
void SetDebugOutputSink(std::function<void(const std::string& Text)> Sink);

}  // namespace kv

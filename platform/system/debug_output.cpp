#include "platform/system/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace kv {

namespace {
std::mutex gLock;
std::function<void(const std::string&)> gSink;
}  // namespace

void OutputDebugString(const std::string& Text) {
  std::lock_guard<std::mutex> lock(gLock);
  if (gSink) {
    gSink(Text);
    return;
  }
  if (std::getenv("KV_DEBUG_OUTPUT")) std::fprintf(stderr, "%s\n", Text.c_str());
}

void SetDebugOutputSink(std::function<void(const std::string& Text)> Sink) {
  std::lock_guard<std::mutex> lock(gLock);
  gSink = std::move(Sink);
}

}  // namespace kv

// The one export of harlok.so.
#include "pluginhost/plugin_host.h"

extern "C" __attribute__((visibility("default"))) void Run8BFPlugIn(const char* FileName, int32_t Action,
                                                                    kv::FilterCallBlock* Block) {
  kv::TPluginHost::Instance().Call(FileName, Action, Block);
}

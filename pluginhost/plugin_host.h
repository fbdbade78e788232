// The inside of Run8BFPlugIn: the one plug-in the library holds between calls, its
// filter record and the selector sequence over the caller's bitmap.
#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pluginhost/call_block.h"
#include "pluginhost/filter_plugin_api.h"
#include "pluginhost/guarded_buffer.h"
#include "pluginhost/host_services.h"
#include "pluginhost/pipl.h"

namespace kv {

// Result of a run whose plug-in damaged the memory around the output buffer.
constexpr int32_t hrWroteOutside = -1;

class TPluginHost {
public:
  static TPluginHost& Instance();
  ~TPluginHost();

  void Call(const char* FileName, int32_t Action, FilterCallBlock* Block);
  // Finishes the held plug-in when due and releases it.
  void Unload();

private:
  TPluginHost() = default;
  bool Load(const char* FileName);
  bool FileChanged() const;
  void Describe();
  void About();
  void Run(bool Fresh);
  bool BindImage();
  void CallEntry(int16_t Selector);
  static OSErr AdvanceStateProcImpl();
  OSErr AdvanceState();
  void SetError(const std::string& Text);

  void* FLibrary = nullptr;
  PIEntryPoint FEntry = nullptr;
  std::string FFileName;
  struct stat FFileStat {};
  TPiPLInfo FInfo;

  FilterCallBlock* FBlock = nullptr;
  THostImage FImage;
  bool FBottomUp = false;
  FilterRecord FRecord{};
  AboutRecord FAbout{};
  PlatformData FPlatform{};
  unsigned char FErrorString[256]{};
  intptr_t FData = 0;
  int16_t FResult = 0;
  int16_t FParamsResult = 0;
  bool FParamsCalled = false;
  bool FRunHeld = false;     // a run loaded the held plug-in, so it may be repeated
  bool FFinishDue = false;   // parameters or start succeeded and no finish has followed
  bool FDamaged = false;

  TGuardedBuffer FOut;
  std::vector<uint8_t> FSample;
  int32_t FSampleRate = 0;
};

}  // namespace kv

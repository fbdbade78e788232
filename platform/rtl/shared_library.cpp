#include "platform/rtl/shared_library.h"

#include <dlfcn.h>

namespace kv {

TSharedLibrary::~TSharedLibrary() {
  if (FHandle) ::dlclose(FHandle);
}

bool TSharedLibrary::Load(const std::vector<std::string>& Names) {
  if (FHandle) return true;
  FError.clear();
  for (const std::string& n : Names) {
    // Local binding: the library's symbols never stand in for anyone else's.
    // It stays mapped after closing, since what it left running or allocated
    // may still refer to it.
    FHandle = ::dlopen(n.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (FHandle) {
      FName = n;
      FError.clear();
      return true;
    }
    const char* e = ::dlerror();
    FError = "The library " + n + " cannot be loaded" + (e ? std::string(": ") + e : std::string());
  }
  if (Names.empty()) FError = "No library named";
  return false;
}

void* TSharedLibrary::Symbol(const char* Name) {
  if (!FHandle) {
    if (FError.empty()) FError = "The library is not loaded";
    return nullptr;
  }
  ::dlerror();
  void* p = ::dlsym(FHandle, Name);
  if (!p) FError = "The library " + FName + " has no " + Name;
  return p;
}

}  // namespace kv

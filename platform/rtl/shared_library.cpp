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
    FError = "Die Bibliothek " + n + " kann nicht geladen werden" + (e ? std::string(": ") + e : std::string());
  }
  if (Names.empty()) FError = "Es ist keine Bibliothek genannt";
  return false;
}

void* TSharedLibrary::Symbol(const char* Name) {
  if (!FHandle) {
    if (FError.empty()) FError = "Die Bibliothek ist nicht geladen";
    return nullptr;
  }
  ::dlerror();
  void* p = ::dlsym(FHandle, Name);
  if (!p) FError = "Der Bibliothek " + FName + " fehlt " + Name;
  return p;
}

}  // namespace kv

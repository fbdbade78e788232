#include "pluginhost/harlok_client.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace kv {

THarlokLibrary::~THarlokLibrary() { Unload(); }

bool THarlokLibrary::Load(const std::string& Folder) {
  Unload();
  std::string path = Folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += HarlokLibraryName;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    FLastError = path + ": not found";
    return false;
  }
  if (path.front() != '/' && path.find('/') == std::string::npos) path = "./" + path;
  dlerror();
  FHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!FHandle) {
    const char* e = dlerror();
    FLastError = e ? e : path + ": cannot be loaded";
    return false;
  }
  FRun = reinterpret_cast<TRun8BFPlugIn>(dlsym(FHandle, HarlokExportName));
  if (!FRun) {
    FLastError = path + ": no export " + HarlokExportName;
    dlclose(FHandle);
    FHandle = nullptr;
    return false;
  }
  FLastError.clear();
  return true;
}

void THarlokLibrary::Unload() {
  FRun = nullptr;
  if (FHandle) dlclose(FHandle);
  FHandle = nullptr;
}

}  // namespace kv

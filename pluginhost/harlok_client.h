// The program's side of harlok.so: loads the library from a folder and binds its export.
#pragma once
#include <string>

#include "pluginhost/call_block.h"

namespace kv {

class THarlokLibrary {
public:
  THarlokLibrary() = default;
  ~THarlokLibrary();
  THarlokLibrary(const THarlokLibrary&) = delete;
  THarlokLibrary& operator=(const THarlokLibrary&) = delete;

  // Loads Folder + "harlok.so" when the file exists and binds Run8BFPlugIn by name.
  // False leaves the binding empty, with the reason in LastError.
  bool Load(const std::string& Folder);
  void Unload();
  bool Bound() const { return FRun != nullptr; }
  // Null while unbound.
  TRun8BFPlugIn Run8BFPlugIn() const { return FRun; }
  const std::string& LastError() const { return FLastError; }

private:
  void* FHandle = nullptr;
  TRun8BFPlugIn FRun = nullptr;
  std::string FLastError;
};

}  // namespace kv

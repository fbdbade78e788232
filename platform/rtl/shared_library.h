// A shared library opened on first use, so that a rarely used one costs the
// start of the program nothing. Symbols are looked up by name; a library or
// symbol that is missing leaves the object unloaded with a message saying which.
#pragma once
#include <string>
#include <vector>

namespace kv {

class TSharedLibrary {
 public:
  TSharedLibrary() = default;
  ~TSharedLibrary();
  TSharedLibrary(const TSharedLibrary&) = delete;
  TSharedLibrary& operator=(const TSharedLibrary&) = delete;

  // Opens the first of Names that loads; false with Error() set when none does.
  bool Load(const std::vector<std::string>& Names);
  bool Loaded() const { return FHandle != nullptr; }
  // The address of Name, or null with Error() set.
  void* Symbol(const char* Name);
  // Binds a function pointer by its name; false (and Error() set) when missing.
  template <typename F> bool Bind(F& Fn, const char* Name) {
    Fn = reinterpret_cast<F>(Symbol(Name));
    return Fn != nullptr;
  }
  const std::string& Error() const { return FError; }

 private:
  void* FHandle = nullptr;
  std::string FName;
  std::string FError;
};

}  // namespace kv

// A temporary home for the tests of the shell namespace: HOME and the XDG
// folders point into one scratch folder for the whole test program (the
// desktop libraries read them once and keep them), made on first use and
// removed at exit. Each test's TShellHomeScope sets the variables, empties
// the desktop and the trash, and restores the variables afterwards.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "support/temp_files.h"

namespace kv::test {

class TShellHome {
 public:
  static TShellHome& Get() {
    static TShellHome home;
    return home;
  }
  const std::string& Path() const { return FRoot.Path(); }
  std::string Home() const { return Path() + "/home"; }
  std::string Desktop() const { return Home() + "/Desktop"; }
  std::string DataHome() const { return Home() + "/.local/share"; }
  std::string ConfigHome() const { return Home() + "/.config"; }
  std::string Trash() const { return DataHome() + "/Trash"; }

 private:
  TShellHome() : FRoot("kvshellhome") {
    std::filesystem::create_directories(Desktop());
    std::filesystem::create_directories(DataHome() + "/applications");
    std::filesystem::create_directories(ConfigHome());
    std::filesystem::create_directories(Home() + "/.cache");
    std::filesystem::create_directories(Path() + "/runtime");
    std::filesystem::permissions(Path() + "/runtime", std::filesystem::perms::owner_all);
  }
  TScratchFolder FRoot;
};

class TShellHomeScope {
 public:
  TShellHomeScope() {
    TShellHome& h = TShellHome::Get();
    Set("HOME", h.Home());
    Set("XDG_DATA_HOME", h.DataHome());
    Set("XDG_CONFIG_HOME", h.ConfigHome());
    Set("XDG_CACHE_HOME", h.Home() + "/.cache");
    Set("XDG_RUNTIME_DIR", h.Path() + "/runtime");
    std::error_code ec;
    for (const auto& dir : {h.Desktop(), h.Trash()})
      for (const auto& e : std::filesystem::directory_iterator(dir, ec)) std::filesystem::remove_all(e.path(), ec);
    std::filesystem::remove(h.Trash(), ec);  // a test may have put a file there
    std::filesystem::create_directories(h.Desktop(), ec);
  }
  ~TShellHomeScope() {
    for (const auto& [name, value] : FSaved) {
      if (value) ::setenv(name.c_str(), value->c_str(), 1);
      else ::unsetenv(name.c_str());
    }
  }
  TShellHomeScope(const TShellHomeScope&) = delete;
  TShellHomeScope& operator=(const TShellHomeScope&) = delete;
  TShellHome& Home() { return TShellHome::Get(); }

 private:
  void Set(const std::string& Name, const std::string& Value) {
    const char* old = std::getenv(Name.c_str());
    FSaved.emplace(Name, old ? std::optional<std::string>(old) : std::nullopt);
    ::setenv(Name.c_str(), Value.c_str(), 1);
  }
  std::map<std::string, std::optional<std::string>> FSaved;
};

// Runs Step (which waits a little for the program's messages, e.g.
// WaitForMessages(10)) until Done holds or the deadline passes; returns
// Done's last answer.
inline bool WaitFor(const std::function<bool()>& Done, const std::function<void()>& Step, int TimeoutMs = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > end) return Done();
    Step();
  }
  return true;
}

}  // namespace kv::test

// SANE's own "test" backend as a real scanner: SANE_CONFIG_DIR points at a
// folder of ours whose dll.conf names only that backend, so no hardware or
// network is probed. Set before a scan session starts; SANE reads it then.
#pragma once
#include <dlfcn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv::test {

// A folder of this process under the scratch root, made on first use and
// removed with all it holds when the process ends.
inline std::string ProcessFolder(const std::string& Prefix) {
  struct TFolder {
    std::string Dir;
    ~TFolder() {
      std::error_code ec;
      std::filesystem::remove_all(Dir, ec);
    }
  };
  static std::vector<std::unique_ptr<TFolder>> folders;
  const std::string dir = TempPath(Prefix + std::to_string(getpid()));
  bool known = false;
  for (const auto& f : folders) known = known || f->Dir == dir;
  if (!known) folders.push_back(std::make_unique<TFolder>(TFolder{dir}));
  std::filesystem::create_directories(dir);
  return dir;
}

// Backends: "test" for the virtual devices, "" for a machine with none.
// SANE keeps the first folder it was given for the whole process but reads
// dll.conf again at each start, so one folder serves every test of a process.
inline std::string UseSaneBackends(const std::string& Backends) {
  const std::string dir = ProcessFolder("sane-config-");
  WriteText(dir + "/dll.conf", Backends.empty() ? "" : Backends + "\n");
  WriteText(dir + "/test.conf", "number_of_devices 2\n");
  setenv("SANE_CONFIG_DIR", dir.c_str(), 1);
  // Keeps the test backend mapped after SANE unloads it, so leak reports of
  // the backend's own name it and can be told apart from ours.
  static void* keep = dlopen("/usr/lib/x86_64-linux-gnu/sane/libsane-test.so.1", RTLD_NOW | RTLD_NODELETE);
  (void)keep;
  return dir;
}

// A scratch file of this process and test (tests run in parallel), in a
// folder that goes when the process ends.
inline std::string SaneScratch(const std::string& Name) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return ProcessFolder("sane-scratch-") + "/" + (info ? info->name() : "") + "-" + Name;
}

// Runs scanimage on the test device with Options and the PNM written to Out.
// The test backend's reader thread can deadlock at exit on a loaded machine,
// so a scan that hangs is stopped and tried again.
inline bool ScanImage(const std::string& Options, const std::string& Out) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int status = Run("timeout -k 5 60 scanimage -d test:0 --format=pnm " + Options + " > '" + Out + "' 2>/dev/null");
    const int rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (rc != 124 && rc != 137) return rc == 0;
  }
  return false;
}

}  // namespace kv::test

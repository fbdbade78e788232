// Running the outside tools that judge our output (ImageMagick, netpbm,
// exiv2, GNU date): whether one is installed, and what it prints.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kv::test {

inline bool HaveTool(const std::string& Name) {
  return std::system(("command -v " + Name + " >/dev/null 2>&1").c_str()) == 0;
}

// std::system's status; for commands whose output is not wanted.
inline int Run(const std::string& Command) { return std::system(Command.c_str()); }

struct TToolRun {
  bool Started = false;  // false when the shell could not be started at all
  int Status = -1;       // as pclose reports it
  std::string Output;    // standard output only: redirect 2>&1 in Command to get both
};

inline TToolRun RunTool(const std::string& Command) {
  TToolRun r;
  FILE* p = ::popen(Command.c_str(), "r");
  if (!p) return r;
  r.Started = true;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.Output.append(buf, n);
  r.Status = ::pclose(p);
  return r;
}

inline std::string RunCapture(const std::string& Command) { return RunTool(Command).Output; }

}  // namespace kv::test

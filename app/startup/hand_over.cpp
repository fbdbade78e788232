#include "app/startup/hand_over.h"

#include <cstdlib>

#include "app/startup/run_mode.h"
#include "platform/system/instance_client.h"
#include "platform/system/paths.h"

namespace kv {

std::string DisplayGuardSuffix(const char* X11Display, const char* WaylandDisplay) {
  std::string display;
  if (X11Display && *X11Display) {
    display = X11Display;
    // ":1" and ":1.0" are the same display; only the screen number differs.
    const size_t colon = display.rfind(':');
    const size_t dot = display.rfind('.');
    if (colon != std::string::npos && dot != std::string::npos && dot > colon) display.resize(dot);
  } else if (WaylandDisplay && *WaylandDisplay) {
    display = WaylandDisplay;
  } else {
    return std::string();
  }
  std::string r = "@";
  for (char c : display) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                       c == ':' || c == '-';
    r += plain ? c : '_';
  }
  return r;
}

namespace {

std::string DisplayGuardName(const std::string& Name) {
  return Name + DisplayGuardSuffix(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
}

}  // namespace

std::string GuardLockFile(const std::string& Name) { return PrivateRuntimeFolder() + DisplayGuardName(Name) + ".lock"; }
std::string GuardSocketFile(const std::string& Name) {
  return PrivateRuntimeFolder() + DisplayGuardName(Name) + ".sock";
}

TGuardOutcome OfferHandOver(const std::string& Name, const std::string& CommandLine, TInstanceLock& Lock) {
  // The lock only orders starts that meet; the socket tells who runs.
  if (!Lock.Acquire(GuardLockFile(Name), HandOverWaitMs)) return goNoAnswer;
  const THandOverResult r = SendHandOver(GuardSocketFile(Name), HandOverTag, CommandLine, HandOverWaitMs);
  switch (r.Outcome) {
    case hoAnswered: return r.Answer > 0 ? goHandedOver : goOwnEditor;
    case hoNoAnswer: return goNoAnswer;
    case hoNoListener: break;
  }
  return goFirst;
}

std::string HandOverCommandLine(const std::vector<std::string>& Args) {
  std::vector<std::string> items{ParamStr(0)};
  items.insert(items.end(), Args.begin(), Args.end());
  return JoinCommandLine(items);
}

}  // namespace kv

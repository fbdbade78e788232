#include "app/startup/hand_over.h"

#include "app/startup/run_mode.h"
#include "platform/system/instance_client.h"
#include "platform/system/paths.h"

namespace kv {

std::string GuardLockFile(const std::string& Name) { return PrivateRuntimeFolder() + Name + ".lock"; }
std::string GuardSocketFile(const std::string& Name) { return PrivateRuntimeFolder() + Name + ".sock"; }

TGuardOutcome OfferHandOver(const std::string& Name, const std::string& CommandLine, TInstanceLock& Lock) {
  // The lock only orders starts that meet; the socket tells who runs.
  const std::string folder = PrivateRuntimeFolder();
  if (!Lock.Acquire(folder + Name + ".lock", HandOverWaitMs)) return goNoAnswer;
  const THandOverResult r = SendHandOver(folder + Name + ".sock", HandOverTag, CommandLine, HandOverWaitMs);
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

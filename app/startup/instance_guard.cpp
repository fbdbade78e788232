#include "app/startup/instance_guard.h"

#include <cstdlib>
#include <cstring>

#include "platform/rtl/strings.h"
#include "platform/ui/instance_channel.h"

namespace kv {

TInstanceGuard& InstanceGuard() {
  static TInstanceGuard guard;
  return guard;
}

namespace {

void Listen(TInstanceGuard& G) {
  G.Server = std::make_unique<THandOverServer>(&ReceiveHandOver);
  G.Server->Listen(GuardSocketFile(G.Name));
}

}  // namespace

TGuardOutcome StartEditorGuard(const std::string& CommandLine) {
  TInstanceGuard& g = InstanceGuard();
  TInstanceLock lock;
  const TGuardOutcome outcome = OfferHandOver(g.Name, CommandLine, lock);
  // Listening before the lock goes, so a later start finds this one.
  if (outcome == goFirst) Listen(g);
  return outcome;
}

bool TakePassedGuard(TGuardOutcome& Outcome) {
  const char* value = std::getenv(PassedGuardVariable);
  if (!value) return false;
  const std::string passed = value;
  ::unsetenv(PassedGuardVariable);
  if (passed == PassedGuardOwnEditor) {
    Outcome = goOwnEditor;
    return true;
  }
  TInstanceGuard& g = InstanceGuard();
  const int handle = int(StrToIntDef(passed, -1));
  TInstanceLock lock;
  if (!lock.Adopt(handle, GuardLockFile(g.Name))) return false;
  Listen(g);
  Outcome = goFirst;
  return true;
}

TGuardOutcome StartScreenSaverGuard() {
  TInstanceGuard& g = InstanceGuard();
  g.Name = "KavrelinScreenSaver";
  TInstanceLock lock;
  if (!lock.Acquire(GuardLockFile(g.Name), HandOverWaitMs)) return goAlreadyRunning;
  if (ListenerAlive(GuardSocketFile(g.Name))) return goAlreadyRunning;
  Listen(g);
  return goFirst;
}

int32_t ReceiveHandOver(uint32_t Tag, const std::string& Data) {
  TInstanceGuard& g = InstanceGuard();
  const size_t zero = Data.find('\0');
  g.ReceivedCommandLine = zero == std::string::npos ? Data : Data.substr(0, zero);
  g.ReceivedTag = Tag;
  if (g.Handler) g.Handler();
  return g.Answer;
}

void StopInstanceGuard() {
  TInstanceGuard& g = InstanceGuard();
  g.Server.reset();
  g.Handler = nullptr;
  g.ReceivedCommandLine.clear();
  g.Name = EditorGuardName;
}

}  // namespace kv

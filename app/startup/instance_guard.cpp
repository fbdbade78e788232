#include "app/startup/instance_guard.h"

#include "platform/ui/instance_channel.h"

namespace kv {

TInstanceGuard& InstanceGuard() {
  static TInstanceGuard guard;
  return guard;
}

std::string GuardLockFile(const std::string& Name) { return PrivateRuntimeFolder() + Name + ".lock"; }
std::string GuardSocketFile(const std::string& Name) { return PrivateRuntimeFolder() + Name + ".sock"; }

namespace {

void Listen(TInstanceGuard& G) {
  G.Server = std::make_unique<THandOverServer>(&ReceiveHandOver);
  G.Server->Listen(GuardSocketFile(G.Name));
}

}  // namespace

TGuardOutcome StartEditorGuard(const std::string& CommandLine) {
  TInstanceGuard& g = InstanceGuard();
  // The lock only orders starts that meet; the socket tells who runs.
  TInstanceLock lock;
  if (!lock.Acquire(GuardLockFile(g.Name), HandOverWaitMs)) return goNoAnswer;
  const THandOverResult r = SendHandOver(GuardSocketFile(g.Name), HandOverTag, CommandLine, HandOverWaitMs);
  switch (r.Outcome) {
    case hoAnswered: return r.Answer > 0 ? goHandedOver : goOwnEditor;
    case hoNoAnswer: return goNoAnswer;
    case hoNoListener: break;
  }
  Listen(g);
  return goFirst;
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
  g.Name = "Kavrelin";
}

}  // namespace kv

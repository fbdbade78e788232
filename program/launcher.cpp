// The program as users start it, under every run-mode name. A second start of
// the editor hands its command line to the running one from here, before the
// window system and the codecs are loaded; every other start becomes the
// editor proper beside this file, with the same arguments.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/startup/hand_over.h"
#include "app/startup/run_mode.h"
#include "platform/rtl/exceptions.h"
#include "platform/system/instance_client.h"
#include "platform/system/paths.h"

namespace {

int Fail(const std::string& Text) {
  std::fprintf(stderr, "kavrelin: %s\n", Text.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kv;
  const std::string program = argc > 0 && argv[0] ? argv[0] : LauncherExecutableName;
  ::unsetenv(PassedGuardVariable);
  TInstanceLock lock;
  if (IsEditorProgram(program)) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // Nobody would see an editor of its own without a display; batch files run without it.
    const bool unseen = !DisplayAvailable() && !NamesBatchFile(args);
    try {
      const TGuardOutcome outcome = OfferHandOver(EditorGuardName, HandOverCommandLine(AbsoluteFileArguments(args)), lock);
      if (outcome == goHandedOver) return 0;
      if (outcome == goNoAnswer) return Fail("the running editor did not answer in time; nothing was handed over");
      if (unseen) return Fail(NoDisplayMessage);
      if (outcome == goOwnEditor) {
        ::setenv(PassedGuardVariable, PassedGuardOwnEditor, 1);
      } else {
        // The editor listens under this lock and only then lets it go, so
        // a start in between waits for it instead of starting another.
        ::setenv(PassedGuardVariable, std::to_string(lock.PassOn()).c_str(), 1);
      }
    } catch (const Exception& E) {
      return Fail(E.Message());
    }
  }
  const std::string editor = ProgramFolder() + EditorExecutableName;
  ::execv(editor.c_str(), argv);
  return Fail("cannot start " + editor + ": " + std::strerror(errno));
}

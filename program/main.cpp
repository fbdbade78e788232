// The program: one executable for every run mode, chosen by the name it was
// started under (kavrelin, show, wallp, or a name ending in .scr).
#include "app/startup/startup.h"
#include "platform/ui/qt_app.h"

// Qt's own globals are made as they are first used; one made after the exit
// handler was set up goes before it. Ending here deletes every window while
// they all still exist.
int main(int argc, char** argv) {
  const int code = kv::KavrelinMain(argc, argv);
  kv::ReleaseQtApplication();
  return code;
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_LEAK_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KV_LEAK_CHECKED)
// On a real display Qt talks to the desktop's accessibility bus, and the
// D-Bus library keeps a buffer to the end: not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so"; }
#endif

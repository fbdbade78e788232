// The program: one executable for every run mode, chosen by the name it was
// started under (kavrelin, show, wallp, or a name ending in .scr).
#include "app/startup/startup.h"

int main(int argc, char** argv) { return kv::KavrelinMain(argc, argv); }

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

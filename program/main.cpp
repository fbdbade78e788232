// The program: one executable for every run mode, chosen by the name it was
// started under (kavrelin, show, wallp, or a name ending in .scr).
#include "app/startup/startup.h"

int main(int argc, char** argv) { return kv::KavrelinMain(argc, argv); }

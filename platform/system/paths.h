// Where the program lives and what it was started with.
#pragma once
#include <cstdint>
#include <string>

namespace kv {

// Folder of the running executable, with a trailing "/". The program keeps its
// "Batch", "Plugins", "Cache" ... folders and "kavrelin.reg" beside itself.
std::string ProgramFolder();
// Tests point the program folder elsewhere; "" goes back to the executable's folder.
void SetProgramFolder(const std::string& Folder);

// The command line as the application received it (SetCommandLine at start).
// ParamStr(0) is the executable's full path; 1..ParamCount() are the arguments;
// any other index gives an empty text.
void SetCommandLine(int Argc, const char* const* Argv);
int32_t ParamCount();
std::string ParamStr(int32_t Index);

// The user's settings folder: $XDG_CONFIG_HOME/kavrelin/, by default
// ~/.config/kavrelin/, with a trailing "/". Not created here.
std::string ConfigFolder();

}  // namespace kv

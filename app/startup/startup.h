// From process start to the editor's message loop, or to the end of the run
// mode the program's name asks for.
#pragma once
#include <string>
#include <vector>

#include "app/startup/run_mode.h"

namespace kv {

// The whole program: returns the process's exit code.
int KavrelinMain(int Argc, char** Argv);

// Key and value name of the user's choice of language module, written by
// "/INIT" and read when the program picks its texts.
inline constexpr const char* LanguageChoiceKey = "\\Software\\Kavrelin\\Locales";
std::string LanguageChoiceValueName();
void WriteLanguageChoice(const std::string& Extension);
// "/INIT": imports "kavrelin.reg" of the program folder, and chooses the
// language module "kavrelin." + Extension when the program folder has it.
void RunInitSwitch(const std::string& Extension);

}  // namespace kv

// From process start to the editor's message loop, or to the end of the run
// mode the program's name asks for.
#pragma once
#include <string>
#include <vector>

#include "app/startup/run_mode.h"
#include "imaging/model/words.h"

namespace kv {

// The whole program: returns the process's exit code.
int KavrelinMain(int Argc, char** Argv);

// Key and value name of the user's choice of language module, written by
// "/INIT" and read when the program picks its texts.
inline constexpr const char* LanguageChoiceKey = "\\Software\\Kavrelin\\Locales";
std::string LanguageChoiceValueName();
void WriteLanguageChoice(const std::string& Extension);
// The stored extension ("" for "Standard" or none).
std::string ReadLanguageChoice();

// The word table's languages by the extension that chooses them.
struct TLanguageChoice {
  const char* Extension;
  TMsgLanguage Language;
};
inline constexpr TLanguageChoice WordTableLanguages[] = {
    {"EN", msEnglish}, {"IT", msItalian}, {"DE", msGerman}, {"ES", msSpanish},
    {"FR", msFrench},  {"PT", msPortuguese}, {"EL", msGreek}, {"RU", msRussian},
    {"NL", msDutch},   {"SV", msSwedish}};
// msSystem for "Standard" and for an extension the word table has no row for.
TMsgLanguage LanguageOfChoice(const std::string& Extension);
// At start: the stored choice becomes the language of the texts the program
// asks for without naming one; otherwise the locale keeps deciding.
void ApplyLanguageChoice();
// "/INIT": imports "kavrelin.reg" of the program folder, and chooses the
// language module "kavrelin." + Extension when the program folder has it.
void RunInitSwitch(const std::string& Extension);

}  // namespace kv

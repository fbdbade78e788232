// The word table the imaging dialogs label their controls from: 123 words by
// key in ten languages, plus a row the application may fill for its own.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kv {

enum TMsgLanguage : uint8_t {
  msSystem,
  msEnglish,
  msItalian,
  msGerman,
  msSpanish,
  msFrench,
  msPortuguese,
  msGreek,
  msRussian,
  msDutch,
  msSwedish,
  msUser
};

inline constexpr int kIMWordCount = 123;
inline constexpr int kIMWordRows = 11;  // msEnglish..msUser; row = language - 1

using TIMWordRow = std::array<std::string, kIMWordCount>;
using TIMWordTable = std::array<TIMWordRow, kIMWordRows>;

// The table itself, filled by IMWordsInit on first use.
TIMWordTable& IMWords();

// Stores Text at row Language - 1, key Key; msSystem and keys or languages out
// of range are ignored.
void IMSetMsg(TMsgLanguage Language, int Key, const std::string& Text);

// Fills rows msEnglish..msSwedish with the library's words; msUser is left as it is.
void IMWordsInit();

// The word of Key in Language. msSystem picks the program's language when one
// is set, else the row of the system's locale, at each call. An empty entry
// gives the English word; a key out of range gives "".
std::string IMGetMsg(int Key, TMsgLanguage Language);

// The language msSystem stands for, chosen by the program over the locale;
// msSystem (or a value without a row of the library's own) leaves it to the
// locale again.
void IMSetProgramLanguage(TMsgLanguage Language);
TMsgLanguage IMProgramLanguage();

// Replaces the locale read from LC_ALL / LC_MESSAGES / LANG (e.g. "sv_SE.UTF-8");
// std::nullopt goes back to the environment.
void IMSetSystemLanguageForTesting(std::optional<std::string> Locale);

}  // namespace kv

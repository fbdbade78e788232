#include "imaging/model/words.h"

#include <cstdlib>

#include "imaging/model/words_table.h"

namespace kv {
namespace {

void FillLibraryRows(TIMWordTable& Table) {
  const TIMWordList Lists[] = {IMWordsEnglish(), IMWordsItalian(),    IMWordsGerman(), IMWordsSpanish(),
                               IMWordsFrench(),  IMWordsPortuguese(), IMWordsGreek(),  IMWordsRussian(),
                               IMWordsDutch(),   IMWordsSwedish()};
  for (int Lang = msEnglish; Lang <= msSwedish; ++Lang)
    for (int Key = 0; Key < kIMWordCount; ++Key) Table[Lang - 1][Key] = Lists[Lang - msEnglish][Key];
}

// Built on first use so that no other static initialiser can see it half made.
TIMWordTable& Table() {
  static TIMWordTable Words = [] {
    TIMWordTable T;
    FillLibraryRows(T);
    return T;
  }();
  return Words;
}

std::optional<std::string>& LocaleOverride() {
  static std::optional<std::string> Locale;
  return Locale;
}

TMsgLanguage& ProgramLanguage() {
  static TMsgLanguage Language = msSystem;
  return Language;
}

// The locale that decides the language of messages, by POSIX precedence.
std::string SystemLocale() {
  if (LocaleOverride()) return *LocaleOverride();
  for (const char* Name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* Value = std::getenv(Name);
    if (Value && *Value) return Value;
  }
  return "";
}

// Primary language ids of the languages that have a row of their own (plus
// Swedish, which has a row but is deliberately not chosen by the locale).
enum : int {
  LANG_NEUTRAL = 0x00,
  LANG_GERMAN = 0x07,
  LANG_GREEK = 0x08,
  LANG_ENGLISH = 0x09,
  LANG_SPANISH = 0x0A,
  LANG_FRENCH = 0x0C,
  LANG_ITALIAN = 0x10,
  LANG_DUTCH = 0x13,
  LANG_PORTUGUESE = 0x16,
  LANG_RUSSIAN = 0x19,
  LANG_SWEDISH = 0x1D
};

int PriLangIDOfLocale(const std::string& Locale) {
  // "de_DE.UTF-8", "el_GR@euro", "pt": the language is what precedes '_', '.' or '@'.
  const std::string Lang = Locale.substr(0, Locale.find_first_of("_.@"));
  static const struct {
    const char* Code;
    int Id;
  } kCodes[] = {{"de", LANG_GERMAN},  {"el", LANG_GREEK},   {"en", LANG_ENGLISH}, {"es", LANG_SPANISH},
                {"fr", LANG_FRENCH},  {"it", LANG_ITALIAN}, {"nl", LANG_DUTCH},   {"pt", LANG_PORTUGUESE},
                {"ru", LANG_RUSSIAN}, {"sv", LANG_SWEDISH}};
  for (const auto& C : kCodes)
    if (Lang == C.Code) return C.Id;
  return LANG_NEUTRAL;
}

TMsgLanguage SystemMsgLanguage() {
  switch (PriLangIDOfLocale(SystemLocale())) {
    case LANG_GERMAN:
      return msGerman;
    case LANG_GREEK:
      return msGreek;
    case LANG_ENGLISH:
      return msEnglish;
    case LANG_SPANISH:
      return msSpanish;
    case LANG_FRENCH:
      return msFrench;
    case LANG_ITALIAN:
      return msItalian;
    case LANG_DUTCH:
      return msDutch;
    case LANG_PORTUGUESE:
      return msPortuguese;
    case LANG_RUSSIAN:
      return msRussian;
    default:
      return msEnglish;  // Swedish and every other language
  }
}

bool ValidKey(int Key) { return Key >= 0 && Key < kIMWordCount; }

}  // namespace

TIMWordTable& IMWords() { return Table(); }

void IMSetMsg(TMsgLanguage Language, int Key, const std::string& Text) {
  if (Language < msEnglish || Language > msUser || !ValidKey(Key)) return;
  Table()[Language - 1][Key] = Text;
}

void IMWordsInit() { FillLibraryRows(Table()); }

std::string IMGetMsg(int Key, TMsgLanguage Language) {
  if (!ValidKey(Key) || Language > msUser) return "";
  if (Language == msSystem) Language = ProgramLanguage() != msSystem ? ProgramLanguage() : SystemMsgLanguage();
  const std::string& Word = Table()[Language - 1][Key];
  // An empty label is never useful: the English word stands in for it.
  return Word.empty() ? Table()[msEnglish - 1][Key] : Word;
}

void IMSetProgramLanguage(TMsgLanguage Language) {
  ProgramLanguage() = Language >= msEnglish && Language <= msSwedish ? Language : msSystem;
}

TMsgLanguage IMProgramLanguage() { return ProgramLanguage(); }

void IMSetSystemLanguageForTesting(std::optional<std::string> Locale) { LocaleOverride() = std::move(Locale); }

}  // namespace kv

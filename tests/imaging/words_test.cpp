#include "imaging/model/words.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace kv {
namespace {

constexpr TMsgLanguage kLibraryLanguages[] = {msEnglish,    msItalian, msGerman,  msSpanish, msFrench,
                                              msPortuguese, msGreek,   msRussian, msDutch,   msSwedish};

// Every test leaves the table and the locale as the library starts with them.
class Words : public ::testing::Test {
 protected:
  void TearDown() override {
    IMWordsInit();
    IMWords()[msUser - 1].fill("");
    IMSetSystemLanguageForTesting(std::nullopt);
    IMSetProgramLanguage(msSystem);
  }
};

// Printf conversions and accelerator markers a translation must keep: "%s", "%d", "&".
std::vector<std::string> Markers(const std::string& S) {
  std::vector<std::string> M;
  for (size_t i = 0; i < S.size(); ++i) {
    if (S[i] == '%' && i + 1 < S.size())
      M.push_back(S.substr(i++, 2));
    else if (S[i] == '&')
      M.push_back(i + 1 < S.size() && S[i + 1] == '&' ? (++i, "&&") : "&");
  }
  return M;
}

bool ValidUtf8(const std::string& S) {
  for (size_t i = 0; i < S.size();) {
    const unsigned char c = static_cast<unsigned char>(S[i]);
    const int n = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
    if (n < 0 || i + n >= S.size() + (n == 0)) return false;
    for (int k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(S[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

TEST_F(Words, EveryEntryIsFilledValidAndKeepsTheEnglishMarkers) {
  for (TMsgLanguage L : kLibraryLanguages)
    for (int Key = 0; Key < kIMWordCount; ++Key) {
      const std::string& W = IMWords()[L - 1][Key];
      const std::string& En = IMWords()[msEnglish - 1][Key];
      EXPECT_FALSE(W.empty()) << int(L) << ' ' << Key;
      EXPECT_TRUE(ValidUtf8(W)) << int(L) << ' ' << Key;
      EXPECT_EQ(Markers(W), Markers(En)) << int(L) << ' ' << Key << ' ' << W;
    }
  // The application's own row starts empty.
  for (int Key = 0; Key < kIMWordCount; ++Key) EXPECT_EQ(IMWords()[msUser - 1][Key], "") << Key;
}

TEST_F(Words, LayoutOfTheRows) {
  const struct {
    int Key;
    std::vector<std::string> Row;  // msEnglish..msSwedish
  } kCases[] = {
      {0,
       {"Preview", "Anteprima", "Vorschau", "Vista Previa", "Prévisualisation", "Visualizar", "Προεπισκόπηση",
        "Просмотр", "Voorbeeld", "Granska"}},
      {4,
       {"Cancel", "Annulla", "Abbrechen", "Cancelar", "Annuler", "Cancelar", "Άκυρο", "Отмена", "Annuleren", "Avbryt"}},
      {22,
       {"Save", "Salva", "Speichern", "Guardar", "Enregistrer", "Salvar", "Αποθήκευση", "Сохранить", "Opslaan",
        "Spara"}},
      {119, {"Close", "Chiudi", "Schließen", "Cerrar", "Fermer", "Fechar", "Κλείστε", "Close", "Close", "Stäng"}},
      {120, {"Apply", "Applica", "Übernehmen", "Aplicar", "Appliquer", "Aplicar", "Apply", "Apply", "Apply", "Apply"}},
      {122, {"Units", "Unità", "Einheiten", "Unidades", "Unités", "Unidades", "Units", "Units", "Units", "Units"}},
  };
  for (const auto& C : kCases)
    for (size_t i = 0; i < std::size(kLibraryLanguages); ++i)
      EXPECT_EQ(IMGetMsg(C.Key, kLibraryLanguages[i]), C.Row[i]) << C.Key << ' ' << i;
  EXPECT_EQ(IMGetMsg(102, msEnglish), "Gamma correction");
  EXPECT_EQ(IMGetMsg(11, msEnglish), IMGetMsg(103, msEnglish));  // "Value" twice, as the dialogs use it
}

TEST_F(Words, UserRowAndEmptyEntriesFallBackToEnglish) {
  EXPECT_EQ(IMGetMsg(4, msUser), "Cancel");
  IMSetMsg(msUser, 4, "Peruuta");
  EXPECT_EQ(IMGetMsg(4, msUser), "Peruuta");
  EXPECT_EQ(IMGetMsg(22, msUser), "Save");

  IMSetMsg(msGerman, 4, "");
  EXPECT_EQ(IMGetMsg(4, msGerman), "Cancel");
  IMSetSystemLanguageForTesting("de_DE.UTF-8");
  EXPECT_EQ(IMGetMsg(4, msSystem), "Cancel");  // no empty label through the locale either
  EXPECT_EQ(IMGetMsg(22, msSystem), "Speichern");

  IMWordsInit();  // puts the library's words back and leaves the user's alone
  EXPECT_EQ(IMGetMsg(4, msGerman), "Abbrechen");
  EXPECT_EQ(IMGetMsg(4, msUser), "Peruuta");
}

TEST_F(Words, OutOfRangeIsIgnored) {
  for (int Key : {-1, kIMWordCount, 100000}) {
    IMSetMsg(msUser, Key, "x");
    EXPECT_EQ(IMGetMsg(Key, msEnglish), "") << Key;
    EXPECT_EQ(IMGetMsg(Key, msSystem), "") << Key;
  }
  IMSetMsg(msSystem, 4, "x");  // has no row
  IMSetMsg(static_cast<TMsgLanguage>(12), 4, "x");
  EXPECT_EQ(IMGetMsg(4, static_cast<TMsgLanguage>(12)), "");
  EXPECT_EQ(IMGetMsg(4, msEnglish), "Cancel");
}

TEST_F(Words, SystemLocalePicksTheRow) {
  const struct {
    const char* Locale;
    TMsgLanguage Row;
  } kCases[] = {
      {"de_DE.UTF-8", msGerman},
      {"de_AT", msGerman},
      {"el_GR.UTF-8", msGreek},
      {"en_GB.UTF-8", msEnglish},
      {"es_MX.UTF-8", msSpanish},
      {"fr_CA", msFrench},
      {"fr", msFrench},
      {"it_IT@euro", msItalian},
      {"nl_BE.UTF-8", msDutch},
      {"pt_BR.UTF-8", msPortuguese},
      {"ru_RU.KOI8-R", msRussian},
      {"sv_SE.UTF-8", msEnglish},
      {"fi_FI.UTF-8", msEnglish},
      {"ja_JP.UTF-8", msEnglish},
      {"C", msEnglish},
      {"POSIX", msEnglish},
      {"", msEnglish},
      {"dE_DE", msEnglish},
  };
  for (const auto& C : kCases) {
    IMSetSystemLanguageForTesting(C.Locale);
    for (int Key = 0; Key < kIMWordCount; ++Key)
      ASSERT_EQ(IMGetMsg(Key, msSystem), IMGetMsg(Key, C.Row)) << C.Locale << ' ' << Key;
  }
}

TEST_F(Words, SwedishAndGreekLocales) {
  IMSetSystemLanguageForTesting("sv_SE.UTF-8");
  EXPECT_EQ(IMGetMsg(4, msSystem), "Cancel");
  EXPECT_EQ(IMGetMsg(4, msSwedish), "Avbryt");
  IMSetSystemLanguageForTesting("el_GR.UTF-8");
  EXPECT_EQ(IMGetMsg(120, msSystem), "Apply");
  EXPECT_EQ(IMGetMsg(4, msSystem), "Άκυρο");
}

// The program's choice stands for msSystem over any locale, Swedish included;
// a value without a library row of its own leaves the locale to decide.
TEST_F(Words, ProgramLanguageWinsOverTheLocale) {
  IMSetSystemLanguageForTesting("de_DE.UTF-8");
  IMSetProgramLanguage(msSwedish);
  EXPECT_EQ(IMGetMsg(4, msSystem), "Avbryt");
  EXPECT_EQ(IMGetMsg(4, msFrench), "Annuler");
  for (TMsgLanguage none : {msSystem, msUser, TMsgLanguage(msUser + 1)}) {
    IMSetProgramLanguage(msFrench);
    IMSetProgramLanguage(none);
    EXPECT_EQ(IMProgramLanguage(), msSystem) << int(none);
    EXPECT_EQ(IMGetMsg(4, msSystem), "Abbrechen") << int(none);
  }
}

// Restores one environment variable when it goes out of scope.
class EnvVar {
 public:
  EnvVar(const char* Name, const char* Value) : FName(Name) {
    if (const char* Old = std::getenv(Name)) FOld = Old;
    if (Value)
      setenv(Name, Value, 1);
    else
      unsetenv(Name);
  }
  ~EnvVar() {
    if (FOld)
      setenv(FName, FOld->c_str(), 1);
    else
      unsetenv(FName);
  }

 private:
  const char* FName;
  std::optional<std::string> FOld;
};

TEST_F(Words, EnvironmentIsReadAtEachLookupInPosixOrder) {
  EnvVar All("LC_ALL", nullptr), Messages("LC_MESSAGES", nullptr), Lang("LANG", "de_DE.UTF-8");
  EXPECT_EQ(IMGetMsg(4, msSystem), "Abbrechen");
  {
    EnvVar M("LC_MESSAGES", "fr_FR.UTF-8");
    EXPECT_EQ(IMGetMsg(4, msSystem), "Annuler");
    EnvVar A("LC_ALL", "it_IT.UTF-8");
    EXPECT_EQ(IMGetMsg(4, msSystem), "Annulla");
    EnvVar Empty("LC_ALL", "");  // an empty variable does not count
    EXPECT_EQ(IMGetMsg(4, msSystem), "Annuler");
  }
  IMSetSystemLanguageForTesting("ru_RU.UTF-8");  // the test hook wins over the environment
  EXPECT_EQ(IMGetMsg(4, msSystem), "Отмена");
}

}  // namespace
}  // namespace kv

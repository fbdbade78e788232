// The library's words, one list per language, each indexed by key.
#pragma once
#include <span>

#include "imaging/model/words.h"

namespace kv {

using TIMWordList = std::span<const char* const, kIMWordCount>;

TIMWordList IMWordsEnglish();
TIMWordList IMWordsItalian();
TIMWordList IMWordsGerman();
TIMWordList IMWordsSpanish();
TIMWordList IMWordsFrench();
TIMWordList IMWordsPortuguese();
TIMWordList IMWordsGreek();
TIMWordList IMWordsRussian();
TIMWordList IMWordsDutch();
TIMWordList IMWordsSwedish();

}  // namespace kv

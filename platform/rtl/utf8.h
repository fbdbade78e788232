// UTF-8 helpers for the rtl's case-aware routines. Bytes that are not valid UTF-8
// pass through as themselves (code points 0xDC80..0xDCFF), so no input is lost.
#pragma once
#include <string>
#include <string_view>

namespace kv::utf8 {

// Reads the character at S[i] and advances i past it.
char32_t Next(std::string_view S, size_t& i);
void Append(std::string& Out, char32_t C);
// Simple case mapping for Latin-1, Latin Extended-A, Greek and Cyrillic. Every mapping
// keeps the UTF-8 length of the character.
char32_t ToUpper(char32_t C);
char32_t ToLower(char32_t C);

}  // namespace kv::utf8

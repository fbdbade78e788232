// Small text, command-line, file-name and memory routines the interface
// components share. Positions are 1-based as in the rtl string helpers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/set.h"

namespace kv {

using TCharSet = TSet<unsigned char, 256>;
// Blank and comma: the delimiters the components split words with.
inline const TCharSet WordDelims{' ', ','};

std::string ReplaceAll(std::string_view Text, std::string_view Search, std::string_view Replacement);
std::string RemoveChar(std::string_view Text, char Ch);
// Spaces only; other white space stays.
std::string TrimLeadingBlanks(std::string_view Text);
std::string TrimTrailingBlanks(std::string_view Text);
std::string TrimBlanks(std::string_view Text);
std::string RepeatChar(char Ch, int32_t Count);
// Words are maximal runs of characters outside Delims.
int32_t CountWords(std::string_view Text, const TCharSet& Delims);
// Position of word N (from 1), 0 when there are fewer words.
int32_t FindWordStart(int32_t N, std::string_view Text, const TCharSet& Delims);
std::string GetWord(int32_t N, std::string_view Text, const TCharSet& Delims);
// The text from Pos up to the next delimiter; Pos moves past that one delimiter.
std::string TakeField(std::string_view Text, int32_t& Pos, const TCharSet& Delims);

// The first item of a command line becomes Program; the others are joined
// with single blanks, an item with a blank in it quoted again.
void SplitProgramAndParams(std::string_view CommandLine, std::string& Program, std::string& Params);

// Not empty and free of < > " [ ] |.
bool FileNameAllowed(std::string_view Name);
bool FolderExists(const std::string& Path);
// A final path delimiter goes, unless the path is one character or a drive root (C:\).
std::string RemoveTrailingBackslash(std::string_view Path);
// The name of the path's last component as the file system has it; empty
// when it does not exist. This file system has one name per file, so the
// long and the short form are the same.
std::string LongComponentName(const std::string& Path);
std::string ShortComponentName(const std::string& Path);
std::string ToLongPath(const std::string& Path);
std::string ToShortPath(const std::string& Path);

// Memory blocks for the graphics classes.
void* AllocZeroed(int64_t Size);  // nullptr for 0 or less
void FreeAndClear(void*& Block);
inline void* OffsetPointer(void* Block, int64_t Count) { return static_cast<uint8_t*>(Block) + Count; }
void CopyBytes(void* Target, const void* Source, int64_t Count);
bool SameBytes(const void* A, const void* B, int64_t Count);

inline int32_t MaxOf(int32_t A, int32_t B) { return A > B ? A : B; }
inline int32_t MinOf(int32_t A, int32_t B) { return A < B ? A : B; }
inline void ExchangeInts(int32_t& A, int32_t& B) {
  const int32_t t = A;
  A = B;
  B = t;
}

// Whether the short date format, upper-cased, asks for four-digit years (read once at start).
bool FourDigitYear();

}  // namespace kv

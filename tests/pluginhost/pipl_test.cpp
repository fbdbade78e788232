#include "pluginhost/pipl.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/pluginhost/plugins/test_plugin.h"

namespace kv {
namespace {

std::vector<uint8_t> List(const char* Name, const char* Category, const char* Entry) {
  std::vector<uint8_t> b(2048);
  b.resize(kvtest::WritePiPL(b.data(), Name, Category, Entry));
  return b;
}

TEST(PiPL, ReadsNameCategoryAndEntryPoint) {
  auto b = List("Invert", "Colour", "Main");
  TPiPLInfo info;
  ReadPiPL(b.data(), b.size(), info);
  EXPECT_EQ(info.Name, "Invert");
  EXPECT_EQ(info.Category, "Colour");
  EXPECT_EQ(info.EntryPoint, "Main");
}

// A counted name of 3 characters fills its 4 bytes exactly: no padding follows.
TEST(PiPL, NameFillingItsPaddingExactly) {
  auto b = List("Abc", "Defgh", nullptr);
  TPiPLInfo info;
  ReadPiPL(b.data(), b.size(), info);
  EXPECT_EQ(info.Name, "Abc");
  EXPECT_EQ(info.Category, "Defgh");
}

TEST(PiPL, VendorAndKeysCompareWithoutCase) {
  auto b = List("X", nullptr, nullptr);
  b[10] = 'm';  // "MIB8" stored reversed, lower-cased here
  b[14] = 'E';  // key "eman" -> "Eman"
  TPiPLInfo info;
  ReadPiPL(b.data(), b.size(), info);
  EXPECT_EQ(info.Name, "X");
}

TEST(PiPL, OtherVendorsAndKeysAreIgnored) {
  auto b = List("X", "Y", nullptr);
  b[10] = 'Q';  // vendor of the first property no longer matches
  TPiPLInfo info;
  ReadPiPL(b.data(), b.size(), info);
  EXPECT_EQ(info.Name, "");
  EXPECT_EQ(info.Category, "Y");
}

TEST(PiPL, LaterListOverridesEarlier) {
  auto a = List("First", "Cat", nullptr), b = List("Second", nullptr, nullptr);
  TPiPLInfo info;
  ReadPiPL(a.data(), a.size(), info);
  ReadPiPL(b.data(), b.size(), info);
  EXPECT_EQ(info.Name, "Second");
  EXPECT_EQ(info.Category, "Cat");
}

// Counts and lengths from the file never lead the reader past the bytes it was given.
TEST(PiPL, LyingCountsAndLengthsStayInside) {
  auto full = List("Invert", "Colour", "Main");
  for (std::size_t cut = 0; cut <= full.size(); ++cut) {
    std::vector<uint8_t> part(full.begin(), full.begin() + cut);  // exact size: ASan sees any overread
    TPiPLInfo info;
    ReadPiPL(part.data(), part.size(), info);
    EXPECT_LE(info.Name.size(), 6u);
  }
  auto b = List("Name", nullptr, nullptr);
  kvtest::PutU32(b.data() + 6, 0xFFFFFFFF);   // count
  b[10 + 16] = 200;                           // counted length beyond the data
  kvtest::PutU32(b.data() + 10 + 12, 0xFFFFFFF0u);  // data length beyond the list
  TPiPLInfo info;
  ReadPiPL(b.data(), b.size(), info);
  EXPECT_EQ(info.Name, std::string("Name\0\0\0", 7));  // cut to the bytes present, padding included
}

}  // namespace
}  // namespace kv

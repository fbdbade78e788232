// The keyword table: every keyword once in the tested order, DESELECT twice.
#include <string>

#include "app/interpreter/interpreter.h"
#include "gtest/gtest.h"

namespace kv {
namespace {

TEST(CommandTableTest, KeywordsInTestedOrder) {
  const auto& table = CommandTable();
  ASSERT_EQ(table.size(), 58u);
  EXPECT_STREQ(table.front().Keyword, "NEWIMAGE");
  EXPECT_STREQ(table[4].Keyword, "RUNPLUGIN");
  EXPECT_STREQ(table[5].Keyword, "LASTFILTER");
  EXPECT_STREQ(table.back().Keyword, "JPGTRAFO");
  int deselect = 0;
  for (const TCommandEntry& e : table) {
    ASSERT_NE(e.Handler, nullptr) << e.Keyword;
    if (std::string(e.Keyword) == "DESELECT") ++deselect;
  }
  EXPECT_EQ(deselect, 2);
}

}  // namespace
}  // namespace kv

// Libraries opened on first use: a missing library or function is reported by
// name and leaves nothing half bound.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/rtl/shared_library.h"

namespace kv {
namespace {

TEST(SharedLibrary, BindsFunctionsOfTheFirstLibraryThatLoads) {
  TSharedLibrary lib;
  ASSERT_TRUE(lib.Load({"libkv-no-such-library.so.1", "libc.so.6"})) << lib.Error();
  EXPECT_TRUE(lib.Error().empty());
  size_t (*len)(const char*) = nullptr;
  ASSERT_TRUE(lib.Bind(len, "strlen"));
  EXPECT_EQ(len("kavrelin"), 8u);
}

TEST(SharedLibrary, MissingLibraryOrFunctionIsNamed) {
  TSharedLibrary none;
  EXPECT_FALSE(none.Load({"libkv-no-such-library.so.1"}));
  EXPECT_FALSE(none.Loaded());
  EXPECT_NE(none.Error().find("libkv-no-such-library.so.1"), std::string::npos) << none.Error();
  void (*fn)() = nullptr;
  EXPECT_FALSE(none.Bind(fn, "strlen"));
  EXPECT_EQ(fn, nullptr);

  TSharedLibrary libc;
  ASSERT_TRUE(libc.Load({"libc.so.6"}));
  EXPECT_FALSE(libc.Bind(fn, "kv_no_such_function"));
  EXPECT_EQ(fn, nullptr);
  EXPECT_NE(libc.Error().find("kv_no_such_function"), std::string::npos) << libc.Error();
}

}  // namespace
}  // namespace kv

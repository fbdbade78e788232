#include <gtest/gtest.h>

#include <chrono>

#include "platform/system/process.h"

namespace kv {
namespace {

TEST(Process, RunsWithoutAShellAndReportsHowItEnded) {
  TProcessResult r = RunProcess({"sh", "-c", "echo hi; echo oops >&2; exit 3"});
  EXPECT_TRUE(r.Started);
  EXPECT_FALSE(r.TimedOut);
  EXPECT_EQ(r.ExitCode, 3);
  EXPECT_EQ(r.Output, "hi\n");  // standard error is dropped
  EXPECT_FALSE(r.Succeeded());

  // Arguments arrive as they are: nothing is read as shell syntax.
  r = RunProcess({"printf", "%s|", "a;b $HOME `x`", "'q\""});
  EXPECT_TRUE(r.Succeeded());
  EXPECT_EQ(r.Output, "a;b $HOME `x`|'q\"|");

  EXPECT_FALSE(RunProcess({"kavrelin-no-such-tool"}).Started);
  EXPECT_FALSE(RunProcess({}).Started);
  EXPECT_EQ(FindProgram("kavrelin-no-such-tool"), "");
  EXPECT_NE(FindProgram("sh"), "");

  const auto start = std::chrono::steady_clock::now();
  r = RunProcess({"sleep", "20"}, 200);
  EXPECT_TRUE(r.Started);
  EXPECT_TRUE(r.TimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));

  // Output beyond the cap is read and dropped, so the tool is not blocked.
  r = RunProcess({"head", "-c", "3000000", "/dev/zero"});
  EXPECT_TRUE(r.Succeeded());
  EXPECT_EQ(r.Output.size(), MaxProcessOutput);
}

}  // namespace
}  // namespace kv

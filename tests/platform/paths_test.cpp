#include "platform/system/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kv {
namespace {

TEST(Paths, ProgramFolderIsTheExecutablesFolder) {
  const std::string exe = ParamStr(0);
  ASSERT_TRUE(std::filesystem::is_regular_file(exe)) << exe;
  const std::string folder = ProgramFolder();
  EXPECT_EQ(folder, exe.substr(0, exe.rfind('/') + 1));
  SetProgramFolder("/opt/kavrelin");
  EXPECT_EQ(ProgramFolder(), "/opt/kavrelin/");
  SetProgramFolder("");
  EXPECT_EQ(ProgramFolder(), folder);
}

TEST(Paths, CommandLine) {
  const char* argv[] = {"kavrelin", "/INIT", "de", ""};
  SetCommandLine(4, argv);
  EXPECT_EQ(ParamCount(), 3);
  EXPECT_EQ(ParamStr(1), "/INIT");
  EXPECT_EQ(ParamStr(2), "de");
  EXPECT_EQ(ParamStr(3), "");
  EXPECT_EQ(ParamStr(4), "");
  EXPECT_EQ(ParamStr(-1), "");
  EXPECT_NE(ParamStr(0), "kavrelin");  // the full path of the program, not argv[0]
  SetCommandLine(0, nullptr);
  EXPECT_EQ(ParamCount(), 0);
}

TEST(Paths, ConfigFolderFollowsTheBaseDirectoryRules) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const char* oldHome = std::getenv("HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "", savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", "/home/anna", 1);
  ::setenv("XDG_CONFIG_HOME", "/cfg/", 1);
  EXPECT_EQ(ConfigFolder(), "/cfg/kavrelin/");
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);  // relative values are ignored
  EXPECT_EQ(ConfigFolder(), "/home/anna/.config/kavrelin/");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ConfigFolder(), "/home/anna/.config/kavrelin/");
  oldXdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace
}  // namespace kv

// Scratch files for the tests that write to disk: the folder they live in
// ($KV_TEST_TMP, else the test framework's), text read and written whole, and
// a fixture that gives each test a fresh folder of its own.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kv::filetest {

// The scratch folder, made if missing, with a trailing "/".
inline std::string TempRoot() {
  const char* base = std::getenv("KV_TEST_TMP");
  std::string root = base ? base : ::testing::TempDir();
  std::filesystem::create_directories(root);
  if (!root.empty() && root.back() != '/') root += '/';
  return root;
}

inline std::string TempPath(const std::string& Name) { return TempRoot() + Name; }

inline std::string ReadText(const std::string& Name) {
  std::ifstream f(Name, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void WriteText(const std::string& Name, const std::string& Text) {
  std::ofstream(Name, std::ios::binary) << Text;
}

// Dir (with a trailing "/") is a new empty folder for each test, removed afterwards.
class TTempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = TempRoot() + "kvtestXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    Dir = tmpl + "/";
  }
  void TearDown() override {
    if (!Dir.empty()) std::filesystem::remove_all(Dir);
  }
  std::string Dir;
};

}  // namespace kv::filetest

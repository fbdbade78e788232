// Scratch files for the tests that write to disk: the folder they live in
// ($KV_TEST_TMP, else the test framework's), files read and written whole, and
// folders of their own for a test or a fixture.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kv::test {

// The scratch folder, made if missing, with a trailing "/".
inline std::string TempRoot() {
  const char* base = std::getenv("KV_TEST_TMP");
  std::string root = base && *base ? base : ::testing::TempDir();
  std::filesystem::create_directories(root);
  if (!root.empty() && root.back() != '/') root += '/';
  return root;
}

inline std::string TempPath(const std::string& Name) { return TempRoot() + Name; }

// Where a test leaves a picture for people to look at: the test output folder
// ($KV_TEST_TMP), or "" when there is none, so that nothing is left elsewhere.
inline std::string OutputPath(const std::string& Name) {
  const char* base = std::getenv("KV_TEST_TMP");
  if (!base || !*base) return {};
  std::filesystem::create_directories(base);
  return std::string(base) + "/" + Name;
}

inline std::string ReadText(const std::string& Name) {
  std::ifstream f(Name, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void WriteText(const std::string& Name, const std::string& Text) {
  std::ofstream(Name, std::ios::binary) << Text;
}

inline std::vector<uint8_t> ReadBytes(const std::string& Name) {
  std::ifstream f(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

inline void WriteBytes(const std::string& Name, const std::vector<uint8_t>& Bytes) {
  std::ofstream f(Name, std::ios::binary);
  f.write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
}

// A new empty folder under TempRoot(), removed with all it holds when this goes.
// Path() (no trailing "/") is empty when the folder could not be made.
class TScratchFolder {
 public:
  explicit TScratchFolder(const std::string& Prefix = "kvtest") {
    std::string tmpl = TempRoot() + Prefix + "XXXXXX";
    if (::mkdtemp(tmpl.data())) FPath = tmpl;
  }
  ~TScratchFolder() {
    std::error_code ec;
    if (!FPath.empty()) std::filesystem::remove_all(FPath, ec);
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

// Dir (with a trailing "/") is a new empty folder for each test, removed afterwards.
class TTempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FFolder.emplace();
    ASSERT_FALSE(FFolder->Path().empty());
    Dir = FFolder->Path() + "/";
  }
  void TearDown() override { FFolder.reset(); }
  std::string Dir;

 private:
  std::optional<TScratchFolder> FFolder;
};

}  // namespace kv::test

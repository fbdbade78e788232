// Saving a new version of a file: what the target's permissions allow, and
// what a write past the process's file-size limit does.
#include "platform/rtl/atomic_file_stream.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "support/temp_files.h"

namespace kv {
namespace {

class AtomicFileStream : public test::TTempFolderTest {
 protected:
  unsigned ModeOf(const std::string& Name) {
    struct stat st {};
    return ::stat(Name.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0;
  }
  size_t FilesIn() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(Dir)) ++n;
    return n;
  }
  void Save(const std::string& Name, const std::string& Text) {
    TAtomicFileStream f(Name);
    f.WriteBuffer(Text.data(), int32_t(Text.size()));
    f.Commit();
  }
};

// A write-protected file is refused, also for a user the system lets write
// anything; an ordinary replace keeps the replaced file's mode.
TEST_F(AtomicFileStream, WriteProtectedTargetIsRefusedAndModesAreKept) {
  const std::string locked = Dir + "locked.png";
  test::WriteText(locked, "old");
  ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
  try {
    Save(locked, "new");
    ADD_FAILURE() << "a write-protected file was replaced";
  } catch (const EFCreateError& e) {
    EXPECT_NE(e.Message().find(locked), std::string::npos) << e.Message();
  }
  EXPECT_EQ(test::ReadText(locked), "old");
  EXPECT_EQ(ModeOf(locked), 0444u);
  EXPECT_EQ(FilesIn(), 1u);  // no temporary file beside it

  const std::string shared = Dir + "shared.png";
  test::WriteText(shared, "old");
  ASSERT_EQ(::chmod(shared.c_str(), 0640), 0);
  Save(shared, "new");
  EXPECT_EQ(test::ReadText(shared), "new");
  EXPECT_EQ(ModeOf(shared), 0640u);
}

// Under a file-size limit the write fails like a full disk: reported, the
// temporary file removed, the old file kept, and the process lives on.
TEST_F(AtomicFileStream, WritePastTheFileSizeLimitIsAnErrorNotTheEnd) {
  const std::string target = Dir + "big.bmp";
  test::WriteText(target, "old");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit small{16384, 16384};
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) ::_exit(3);
    const std::vector<char> data(100000, 'x');
    try {
      TAtomicFileStream f(target);
      f.WriteBuffer(data.data(), int32_t(data.size()));
      f.Commit();
    } catch (const EWriteError&) {
      ::_exit(0);  // reported as a failed write
    } catch (...) {
      ::_exit(4);
    }
    ::_exit(5);  // written past the limit?
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(test::ReadText(target), "old");
  EXPECT_EQ(FilesIn(), 1u);  // the temporary file is gone
}

}  // namespace
}  // namespace kv

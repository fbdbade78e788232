#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/rtl/strings.h"
#include "support/temp_files.h"

namespace kv {
namespace {

void Touch(const std::string& Name, const std::string& Content = "x") { std::ofstream(Name) << Content; }

TEST(FileNames, Decomposition) {
  EXPECT_EQ(ExtractFileExt("/a/b.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("/a.b/c"), "");
  EXPECT_EQ(ExtractFileName("/a/b.jpg"), "b.jpg");
  EXPECT_EQ(ExtractFileName("b.jpg"), "b.jpg");
  EXPECT_EQ(ExtractFilePath("/a/b.jpg"), "/a/");
  EXPECT_EQ(ExtractFilePath("b.jpg"), "");
  EXPECT_EQ(ExtractFileDir("/a/b.jpg"), "/a");
  EXPECT_EQ(ExtractFileDir("/b.jpg"), "/");
  EXPECT_EQ(ChangeFileExt("/a.b/c", ".png"), "/a.b/c.png");
  EXPECT_EQ(ChangeFileExt("x.jpeg", ".bmp"), "x.bmp");
  EXPECT_EQ(ChangeFileExt("x.jpeg", ""), "x");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a/"), "/a");
  EXPECT_EQ(ExpandFileName("/a/./b/../c"), "/a/c");
  EXPECT_EQ(ExpandFileName("/../.."), "/");
  EXPECT_EQ(ExpandFileName("x/y"), IncludeTrailingPathDelimiter(GetCurrentDir()) + "x/y");
}

TEST(FileNames, MasksMatchWithoutCase) {
  struct Case { const char* Name; const char* Mask; bool Want; };
  for (const Case& c : {Case{"photo.JPG", "*.jpg", true}, Case{"photo.jpeg", "*.jpg", false},
                        Case{"a.b.c", "*.c", true}, Case{"abc", "a?c", true}, Case{"ac", "a?c", false},
                        Case{"ÄRGER.txt", "ä*", true}, Case{"äx", "?x", true},  // ? is one character, not one byte
                        Case{"img7.png", "img[0-9].png", true}, Case{"imgx.png", "img[!0-9].png", true},
                        Case{"img7.png", "img[!0-9].png", false}, Case{"", "*", true},
                        Case{"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false}})
    EXPECT_EQ(MatchesMask(c.Name, c.Mask), c.Want) << c.Name << " " << c.Mask;
  EXPECT_THROW(MatchesMask("a", "[a-"), EConvertError);
}

TEST(FileSystem, CreateFindRenameDelete) {
  const std::string root = test::TempPath("kv_rtl_fs_" + std::to_string(::getpid()));
  const std::string deep = root + "/x/y/z";
  ASSERT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_FALSE(FileExists(deep));
  EXPECT_THROW(ForceDirectories(""), EInOutError);

  Touch(root + "/b.JPG", "12345");
  Touch(root + "/a.jpg");
  Touch(root + "/.hidden.jpg");
  Touch(root + "/c.png");
  EXPECT_TRUE(FileExists(root + "/a.jpg"));

  TSearchRec sr;
  std::vector<std::string> names;
  for (int r = FindFirst(root + "/*.jpg", faAnyFile & ~faHidden, sr); r == 0; r = FindNext(sr)) {
    names.push_back(sr.Name);
    if (sr.Name == "b.JPG") {
      EXPECT_EQ(sr.Size, 5);
    }
    EXPECT_EQ(sr.Attr & faDirectory, 0);
    EXPECT_GT(sr.Time, EncodeDate(2000, 1, 1));
  }
  FindClose(sr);
  EXPECT_EQ(names, std::vector<std::string>({"a.jpg", "b.JPG"}));

  names.clear();
  for (int r = FindFirst(root + "/*.*", faAnyFile, sr); r == 0; r = FindNext(sr)) names.push_back(sr.Name);
  FindClose(sr);
  EXPECT_EQ(names, std::vector<std::string>({".", "..", ".hidden.jpg", "a.jpg", "b.JPG", "c.png", "x"}));
  EXPECT_NE(FindFirst(root + "/*.gif", faAnyFile, sr), 0);
  EXPECT_NE(FindFirst(root + "/missing/*", faAnyFile, sr), 0);

  // A rename never replaces an existing file.
  EXPECT_FALSE(RenameFile(root + "/a.jpg", root + "/c.png"));
  EXPECT_TRUE(RenameFile(root + "/a.jpg", root + "/d.jpg"));
  EXPECT_FALSE(FileExists(root + "/a.jpg"));
  EXPECT_GT(FileAge(root + "/d.jpg"), EncodeDate(2000, 1, 1));
  EXPECT_EQ(FileAge(root + "/a.jpg"), -1);
  EXPECT_FALSE(DeleteFile(root + "/x"));  // a folder is no file
  for (const char* f : {"/b.JPG", "/d.jpg", "/.hidden.jpg", "/c.png"}) EXPECT_TRUE(DeleteFile(root + f));
  EXPECT_FALSE(RemoveDir(root + "/x"));  // not empty
  EXPECT_TRUE(RemoveDir(deep) && RemoveDir(root + "/x/y") && RemoveDir(root + "/x") && RemoveDir(root));
}

}  // namespace
}  // namespace kv

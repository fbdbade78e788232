#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "support/temp_files.h"

namespace kv {
namespace {

std::vector<std::string> Lines(const TStrings& L) {
  std::vector<std::string> r;
  for (int32_t i = 0; i < L.Count(); ++i) r.push_back(L.Strings(i));
  return r;
}

TEST(StringList, SortedWithDuplicates) {
  TStringList l;
  l.SetSorted(true);
  for (const char* s : {"pear", "Apple", "fig", "apple"}) l.Add(s);
  EXPECT_EQ(Lines(l), std::vector<std::string>({"Apple", "fig", "pear"}));  // dupIgnore, case-insensitive
  EXPECT_EQ(l.IndexOf("PEAR"), 2);
  int32_t at;
  EXPECT_FALSE(l.Find("banana", at));
  EXPECT_EQ(at, 1);
  EXPECT_THROW(l.Insert(0, "x"), EStringListError);
  EXPECT_THROW(l.Put(0, "x"), EStringListError);

  l.SetDuplicates(dupError);
  try {
    l.Add("FIG");
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_STREQ(e.what(), "String list does not allow duplicates");
  }
  l.SetDuplicates(dupAccept);
  l.Add("fig");
  EXPECT_EQ(l.Count(), 4);
  EXPECT_TRUE(l.Find("FIG", at));
  EXPECT_EQ(at, 1);  // the first of equal lines

  l.SetCaseSensitive(true);
  EXPECT_EQ(Lines(l), std::vector<std::string>({"Apple", "fig", "fig", "pear"}));
  EXPECT_EQ(l.IndexOf("FIG"), -1);

  TStringList u;
  for (const char* s : {"b", "a", "c"}) u.Add(s);
  u.CustomSort([](TStringList* L, int32_t a, int32_t b) { return -CompareStr(L->Strings(a), L->Strings(b)); });
  EXPECT_EQ(Lines(u), std::vector<std::string>({"c", "b", "a"}));
  EXPECT_THROW(u.Strings(3), EStringListError);
}

TEST(StringList, TextLinesAndValues) {
  TStringList l;
  l.SetText("a\r\nb\n\nc\rd");
  EXPECT_EQ(Lines(l), std::vector<std::string>({"a", "b", "", "c", "d"}));
  EXPECT_EQ(l.Text(), "a\nb\n\nc\nd\n");
  l.SetText("x\n");
  EXPECT_EQ(l.Count(), 1);
  l.SetText("");
  EXPECT_EQ(l.Count(), 0);

  l.Add("Width=10");
  l.Add("name=a=b");
  l.Add("plain");
  EXPECT_EQ(l.Values("WIDTH"), "10");
  EXPECT_EQ(l.Values("Name"), "a=b");  // the first separator splits
  EXPECT_EQ(l.Names(2), "");
  EXPECT_EQ(l.ValueFromIndex(1), "a=b");
  l.SetValue("width", "20");
  EXPECT_EQ(l.Strings(0), "width=20");
  l.SetValue("Height", "5");
  EXPECT_EQ(l.IndexOfName("height"), 3);
  l.SetValue("Width", "");  // an empty value deletes the line
  EXPECT_EQ(l.IndexOfName("width"), -1);
  EXPECT_EQ(l.Count(), 3);
}

TEST(StringList, CommaAndDelimitedTextQuoting) {
  TStringList l;
  for (const char* s : {"plain", "two words", "say \"hi\"", "a,b", ""}) l.Add(s);
  EXPECT_EQ(l.CommaText(), "plain,\"two words\",\"say \"\"hi\"\"\",\"a,b\",");
  TStringList back;
  back.SetCommaText(l.CommaText());
  EXPECT_TRUE(back.Equals(&l));

  struct Case { const char* Text; std::vector<std::string> Want; };
  for (const Case& c : {Case{"a b,c", {"a", "b", "c"}},  // blanks outside quotes separate too
                        Case{"  a , b  ", {"a", "b"}},
                        Case{"a,,b", {"a", "", "b"}},
                        Case{"a,", {"a", ""}},
                        Case{"\"x\"\"y\",z", {"x\"y", "z"}},
                        Case{"\"open", {"open"}},
                        Case{"", {}}}) {
    l.SetCommaText(c.Text);
    EXPECT_EQ(Lines(l), c.Want) << c.Text;
  }
  l.Clear();
  l.Add("");
  EXPECT_EQ(l.CommaText(), "\"\"");  // a single empty line is not the empty list

  l.SetDelimiter(';');
  l.SetQuoteChar('\'');
  l.SetDelimitedText("a;'b;c';'it''s'");
  EXPECT_EQ(Lines(l), std::vector<std::string>({"a", "b;c", "it's"}));
  EXPECT_EQ(l.DelimitedText(), "a;'b;c';'it''s'");
}

TEST(StringList, ChangeEventsAndUpdates) {
  TStringList l;
  int changing = 0, changed = 0;
  l.OnChanging = [&](TObject* Sender) {
    EXPECT_EQ(Sender, &l);
    ++changing;
  };
  l.OnChange = [&](TObject*) { ++changed; };
  l.Add("a");
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changed, 1);
  l.BeginUpdate();
  l.Add("b");
  l.Add("c");
  l.Delete(0);
  l.EndUpdate();
  EXPECT_EQ(changing, 2);  // one pair for the whole update
  EXPECT_EQ(changed, 2);
  l.SetText("x\ny");
  EXPECT_EQ(changed, 3);
}

struct TCounted : TObject {
  static inline int Live = 0;
  TCounted() { ++Live; }
  ~TCounted() override { --Live; }
};

TEST(StringList, OwnsObjects) {
  TCounted::Live = 0;
  {
    TStringList l(true);
    for (const char* s : {"c", "a", "b"}) l.AddObject(s, new TCounted);
    TObject* first = l.Objects(0);
    l.Move(0, 2);  // moving keeps the object alive and with its line
    EXPECT_EQ(l.Objects(2), first);
    l.Exchange(0, 1);
    l.SetSorted(true);
    EXPECT_EQ(l.Objects(2), first);
    EXPECT_EQ(TCounted::Live, 3);
    l.Delete(0);
    EXPECT_EQ(TCounted::Live, 2);
  }
  EXPECT_EQ(TCounted::Live, 0);

  TCounted mine;
  {
    TStringList l;
    l.AddObject("x", &mine);
    l.Clear();
  }
  EXPECT_EQ(TCounted::Live, 1);
}

TEST(StringList, AssignAndStreams) {
  TStringList a;
  a.SetNameValueSeparator(':');
  a.SetText("k:v\nz");
  TStringList b;
  b.Assign(&a);
  EXPECT_TRUE(b.Equals(&a));
  EXPECT_EQ(b.Values("k"), "v");

  TMemoryStream m;
  m.WriteBuffer("\xEF\xBB\xBFone\r\ntwo", 11);
  m.SetPosition(0);
  b.LoadFromStream(m);
  EXPECT_EQ(Lines(b), std::vector<std::string>({"one", "two"}));  // the byte-order mark is dropped
  TMemoryStream out;
  b.SaveToStream(out);
  EXPECT_EQ(std::string(static_cast<char*>(out.Memory()), static_cast<size_t>(out.Size())), "one\ntwo\n");

  struct TOther : TPersistent {};
  TOther other;
  try {
    b.Assign(&other);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TOther to a TStringList");
  }
}

TEST(StringList, SaveToFileIsAtomic) {
  const std::string dir = test::TempPath("kv_sl_atomic_" + std::to_string(::getpid()));
  ASSERT_TRUE(ForceDirectories(dir));
  const std::string name = dir + "/list.txt";
  TStringList l;
  l.SetText("old\ncontent");
  l.SaveToFile(name);
  ::chmod(name.c_str(), 0640);
  EXPECT_EQ(test::ReadText(name), "old\ncontent\n");

  // A write that fails half-way, like a full disk: the file size limit stops it.
  TStringList big;
  big.Add(std::string(100000, 'x'));
  struct rlimit saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(big.SaveToFile(name), EWriteError);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(test::ReadText(name), "old\ncontent\n");  // the old file is untouched
  TSearchRec sr;
  std::vector<std::string> left;
  for (int r = FindFirst(dir + "/*", faAnyFile, sr); r == 0; r = FindNext(sr))
    if (sr.Name != "." && sr.Name != "..") left.push_back(sr.Name);
  EXPECT_EQ(left, std::vector<std::string>({"list.txt"}));  // no temporary file left behind

  l.SetText("new");
  l.SaveToFile(name);
  TStringList back;
  back.LoadFromFile(name);
  EXPECT_EQ(Lines(back), std::vector<std::string>({"new"}));
  struct stat st {};
  ::stat(name.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file keeps its permissions
  EXPECT_THROW(back.LoadFromFile(dir + "/missing.txt"), EFOpenError);
  EXPECT_THROW(l.SaveToFile(dir + "/no/such/dir/x.txt"), EFCreateError);
  DeleteFile(name);
  RemoveDir(dir);
}

}  // namespace
}  // namespace kv

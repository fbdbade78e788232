#include "platform/rtl/lists.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"

namespace kv {
namespace {

// Counts live instances, so a test sees exactly which objects a list freed.
struct TCounted : TObject {
  static inline int Live = 0;
  int Value;
  explicit TCounted(int V = 0) : Value(V) { ++Live; }
  ~TCounted() override { --Live; }
};

TEST(List, IndexErrorsAndReordering) {
  int a = 1, b = 2, c = 3;
  TList l;
  EXPECT_EQ(l.Add(&a), 0);
  l.Add(&b);
  l.Insert(0, &c);  // c a b
  EXPECT_EQ(l.IndexOf(&a), 1);
  l.Exchange(0, 2);  // b a c
  l.Move(0, 2);      // a c b
  EXPECT_EQ(l.First(), &a);
  EXPECT_EQ(l.Last(), &b);
  EXPECT_EQ(l.Remove(&c), 1);
  EXPECT_EQ(l.Remove(&c), -1);
  EXPECT_EQ(l.Extract(&c), nullptr);
  try {
    l.Get(2);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (2)");
  }
  EXPECT_THROW(l.Delete(-1), EListError);
  EXPECT_THROW(l.Insert(3, &a), EListError);
  EXPECT_THROW(l.SetCapacity(1), EListError);
  l.SetCount(4);
  EXPECT_EQ(l.Get(3), nullptr);
  l.Pack();
  EXPECT_EQ(l.Count(), 2);

  TList empty;
  EXPECT_THROW(empty.First(), EListError);
  EXPECT_THROW(empty.Last(), EListError);

  int v[] = {5, 3, 5, 1};
  TList s;
  for (int& x : v) s.Add(&x);
  s.Sort([](void* p, void* q) { return *static_cast<int*>(p) - *static_cast<int*>(q); });
  EXPECT_EQ(s.Get(0), &v[3]);
  EXPECT_EQ(s.Get(2), &v[0]);  // stable: equal items keep their order
  EXPECT_EQ(s.Get(3), &v[2]);
}

TEST(ObjectList, FreesWhatItOwnsAndNothingElse) {
  TCounted::Live = 0;
  {
    TObjectListOf<TCounted> l;
    for (int i = 0; i < 4; ++i) l.Add(new TCounted(i));
    l.Delete(0);
    EXPECT_EQ(TCounted::Live, 3);
    l.Put(0, new TCounted(9));  // the replaced object is freed
    EXPECT_EQ(TCounted::Live, 3);
    TCounted* kept = l.Extract(l.Items(1));
    EXPECT_EQ(TCounted::Live, 3);
    delete kept;
    l.SetCount(0);
    EXPECT_EQ(TCounted::Live, 0);
    l.Add(new TCounted);
  }
  EXPECT_EQ(TCounted::Live, 0);  // the list's destructor frees the rest

  TCounted outside;
  {
    TObjectList l(false);
    l.Add(&outside);
    l.Clear();
    l.Add(&outside);
  }
  EXPECT_EQ(TCounted::Live, 1);
}

}  // namespace
}  // namespace kv

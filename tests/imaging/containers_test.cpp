#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "imaging/model/byte_array.h"
#include "imaging/model/hash_set.h"
#include "imaging/model/im_lists.h"
#include "imaging/model/im_pow2.h"
#include "imaging/model/nul_stream.h"
#include "imaging/model/view_params.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/types.h"

namespace kv {
namespace {

std::vector<int32_t> Items(const TIMIntegerList& l) {
  std::vector<int32_t> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.GetItem(i));
  return v;
}

TEST(IMList, EditsKeepOrderAndSetTheItemFlag) {
  TIMIntegerList l;
  EXPECT_EQ(l.ItemSize(), 4);
  for (int32_t v : {10, 20, 30, 20}) l.Add(v);
  EXPECT_EQ(l.Changed(), TIMList::chItems);
  EXPECT_EQ(l.IndexOf(20), 1);  // the first of two
  EXPECT_EQ(l.IndexOf(99), -1);

  l.SetChanged(0);
  l.Delete(l.Count());  // one past the end: nothing, not even the flag
  l.Delete(-1);
  EXPECT_EQ(Items(l), (std::vector<int32_t>{10, 20, 30, 20}));
  EXPECT_EQ(l.Changed(), 0);

  l.Delete(0);
  EXPECT_EQ(Items(l), (std::vector<int32_t>{20, 30, 20}));
  EXPECT_EQ(l.Changed(), TIMList::chItems);

  l.SetItem(2, 7);
  l.SetItem(3, 8);  // past the end: ignored
  EXPECT_EQ(Items(l), (std::vector<int32_t>{20, 30, 7}));

  l.SetCount(5);  // the first items stay, the new ones are zero here
  EXPECT_EQ(Items(l), (std::vector<int32_t>{20, 30, 7, 0, 0}));
  l.SetCount(1);
  EXPECT_EQ(Items(l), (std::vector<int32_t>{20}));

  EXPECT_EQ(l.ItemAddress(1), nullptr);
  EXPECT_THROW(l.GetItem(1), EListError);
  EXPECT_THROW(l.SetCount(-1), EListError);
}

TEST(IMList, RangeAndCurrentValueFlagsAndClear) {
  TIMDoubleList d;
  d.SetRangeMin(75);
  EXPECT_EQ(d.Changed(), TIMList::chRange);
  d.SetCurrentValue(300);
  EXPECT_EQ(d.Changed(), TIMList::chRange | TIMList::chCurrentValue);
  d.Add(150);
  EXPECT_EQ(d.Changed(), 7);

  d.Clear();
  EXPECT_EQ(d.Changed(), 0);
  EXPECT_EQ(d.Count(), 0);
  EXPECT_EQ(d.Data(), nullptr);
  EXPECT_EQ(d.ItemSize(), 8);
  EXPECT_EQ(d.RangeMin(), 0);
  EXPECT_EQ(d.CurrentValue(), 0);
}

TEST(IMList, AssignCopiesItemsRangeAndFlags) {
  TIMDoubleList src;
  for (double v : {72.0, 150.0, 300.0}) src.Add(v);
  src.SetRangeMin(50);
  src.SetRangeMax(1200);
  src.SetRangeStep(1);
  src.SetCurrentValue(150);
  src.SetChanged(TIMList::chCurrentValue);

  TIMDoubleList dst;
  dst.Add(1);
  dst.Assign(&src);
  EXPECT_EQ(dst.Count(), 3);
  EXPECT_EQ(dst.GetItem(2), 300.0);
  EXPECT_EQ(dst.RangeMin(), 50);
  EXPECT_EQ(dst.RangeMax(), 1200);
  EXPECT_EQ(dst.RangeStep(), 1);
  EXPECT_EQ(dst.CurrentValue(), 150);
  EXPECT_EQ(dst.Changed(), TIMList::chCurrentValue);

  dst.Assign(nullptr);
  dst.Assign(&dst);
  EXPECT_EQ(dst.Count(), 3);

  // Doubles read as 4-byte integers would read past each item.
  TIMIntegerList ints;
  EXPECT_THROW(ints.Assign(&src), EListError);
  EXPECT_EQ(ints.Count(), 0);
}

TEST(IMList, RecordListAsAStack) {
  struct TSpan {
    int32_t Y, Left, Right, Dir;
  };
  TIMRecordList stack(sizeof(TSpan));
  const TSpan seed[2] = {{5, 1, 1, 1}, {6, 1, 1, -1}};
  EXPECT_EQ(stack.AddRecord(&seed[0]), 0);
  EXPECT_EQ(stack.AddRecord(&seed[1]), 1);
  // Adding one of its own records moves the block the record lives in.
  for (int i = 0; i < 100; ++i) stack.AddRecord(stack.GetRecord(0));
  const auto* top = static_cast<const TSpan*>(stack.GetRecord(stack.Count() - 1));
  EXPECT_EQ(top->Y, 5);
  EXPECT_EQ(stack.GetRecord(stack.Count()), nullptr);

  TIMRecordList copy(1);
  copy.Assign(&stack);
  EXPECT_EQ(copy.ItemSize(), int32_t(sizeof(TSpan)));
  EXPECT_EQ(std::memcmp(copy.Data(), stack.Data(), size_t(stack.Count()) * sizeof(TSpan)), 0);
  EXPECT_THROW(TIMRecordList(-1), EListError);
}

TEST(Hash1, CollisionsChainAndCountDistinctKeys) {
  THash1 h(13);
  EXPECT_EQ(h.Size(), 8192);
  EXPECT_TRUE(h.Insert(0));
  EXPECT_TRUE(h.Insert(8192));  // same bucket: a chain of two
  EXPECT_FALSE(h.Insert(0));
  EXPECT_TRUE(h.Insert(16384));  // appended to the chain
  EXPECT_FALSE(h.Insert(8192));
  EXPECT_FALSE(h.Insert(16384));
  EXPECT_EQ(h.Count(), 3);

  // Against a reference set, with keys crowded into few buckets.
  THash1 small(3);
  std::set<uint32_t> ref;
  std::mt19937 rng(7);
  for (int i = 0; i < 5000; ++i) {
    const uint32_t k = rng() % 700 * 0x01000001u;
    EXPECT_EQ(small.Insert(k), ref.insert(k).second);
  }
  EXPECT_EQ(small.Count(), int32_t(ref.size()));

  EXPECT_THROW(THash1(-1), EListError);
  EXPECT_THROW(THash1(31), EListError);
  EXPECT_EQ(THash1(0).Size(), 1);
}

TEST(IMByteArray, GrowsAndShrinksInSteps) {
  TIMByteArray a;
  EXPECT_EQ(a.Size(), 0);
  EXPECT_EQ(a.Capacity(), 8192);
  EXPECT_EQ(a.GrowthStep(), 8192);
  struct {
    int32_t NewSize, Capacity;
  } steps[] = {
      {8192, 8192},     // fits
      {8193, 16385},    // past the capacity: n + step
      {100, 8292},      // below capacity - step: a smaller block
      {150, 8292},      // within the block
      {100, 8292},      // capacity - step = 100: kept
      {99, 8291},       // one below: a new block again
      {0, 8192},
  };
  for (auto s : steps) {
    a.SetSize(s.NewSize);
    EXPECT_EQ(a.Size(), s.NewSize);
    EXPECT_EQ(a.Capacity(), s.Capacity) << s.NewSize;
  }

  for (int i = 0; i < 20000; ++i) a.AppendByte(uint8_t(i));
  a.SetSize(10);  // shrinking keeps the first bytes
  for (int i = 0; i < 10; ++i) EXPECT_EQ(a.Data()[i], uint8_t(i));

  EXPECT_THROW(a.SetSize(-1), EListError);
  EXPECT_THROW(a.SetSize(MaxInt), EListError);  // its capacity would not fit
}

TEST(IMByteArray, AppendFromShortStream) {
  const uint8_t bytes[] = {1, 2, 3, 4, 5};
  TReadOnlyMemoryStream s(bytes, sizeof bytes);
  TIMByteArray a;
  a.AppendByte(9);
  EXPECT_EQ(a.AppendFromStream(s, 3), 3);
  EXPECT_EQ(a.AppendFromStream(s, 100), 2);  // only what the stream had
  EXPECT_EQ(a.Size(), 6);
  EXPECT_EQ(std::vector<uint8_t>(a.Data(), a.Data() + 6), (std::vector<uint8_t>{9, 1, 2, 3, 4, 5}));
  EXPECT_EQ(a.AppendFromStream(s, 10), 0);
  EXPECT_EQ(a.Size(), 6);
}

TEST(NulStream, MeasuresWithoutStoring) {
  TNulStream s;
  s.WriteBuffer(nullptr, 10);
  s.SetPosition(0);
  s.WriteBuffer(nullptr, 4);
  EXPECT_EQ(s.Position(), 4);
  EXPECT_EQ(s.Size(), 10);

  EXPECT_EQ(s.Seek(0, soEnd), 10);
  EXPECT_EQ(s.Seek(-3, soEnd), 7);
  EXPECT_EQ(s.Seek(5, soCurrent), 12);  // seeking past the end raises the size too
  EXPECT_EQ(s.Size(), 12);
  char buf[4];
  EXPECT_EQ(s.Read(buf, 4), 4);  // reads move like writes
  EXPECT_EQ(s.Size(), 16);

  EXPECT_EQ(s.Seek(-1, soBeginning), -1);  // illegal targets leave the position alone
  EXPECT_EQ(s.Seek(int64_t(1) << 40, soCurrent), -1);
  EXPECT_EQ(s.Position(), 16);
}

TEST(NulStream, PositionNeverWrapsPastMaxInt) {
  TNulStream s;
  ASSERT_EQ(s.Seek(MaxInt - 2, soBeginning), MaxInt - 2);
  EXPECT_EQ(s.Write(nullptr, 10), 2);  // a short write, not a negative size
  EXPECT_EQ(s.Size(), MaxInt);
  EXPECT_THROW(s.WriteBuffer(nullptr, 1), EWriteError);
  EXPECT_EQ(s.Seek(1, soEnd), -1);
}

TEST(ViewParams, Defaults) {
  TIMScrollBarParams sb;
  EXPECT_EQ(sb.LineStep, -1);
  EXPECT_EQ(sb.PageStep, -1);
  EXPECT_TRUE(sb.Tracking);
  TIMMouseWheelParams w;
  EXPECT_FALSE(w.InvertDirection);
  EXPECT_EQ(w.Action, 2);
  EXPECT_EQ(w.Variation, 1);
  EXPECT_EQ(w.Value, 8);
}

TEST(IMPow2N, PowersAndLimits) {
  struct {
    int32_t a, n;
    int64_t Expected;
  } cases[] = {
      {1, 1, 2}, {8, 1, 256}, {8, 3, 16777216}, {4, 0, 1}, {0, 5, 1}, {-3, 2, 1},
      {16, 3, int64_t(1) << 48},  // 16-bit RGB does not fit 32 bits
      {31, 2, int64_t(1) << 62},
      {16, 4, INT64_MAX},         // saturates instead of wrapping to 0
  };
  for (auto c : cases) EXPECT_EQ(IMPow2N(c.a, c.n), c.Expected) << c.a << ' ' << c.n;
}

}  // namespace
}  // namespace kv

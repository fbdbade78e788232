#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imaging/model/iptc.h"
#include "imaging/model/marker_list.h"
#include "platform/rtl/exceptions.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

struct TRec {
  int32_t Record, Dataset;
  std::string Data;
  friend bool operator==(const TRec&, const TRec&) = default;
};

std::vector<TRec> Records(const TIMIPTCInfoList& l) {
  std::vector<TRec> v;
  for (int32_t i = 0; i < l.Count(); ++i) {
    const auto* d = reinterpret_cast<const char*>(l.Data(i));
    v.push_back({l.RecordNumber(i), l.DatasetNumber(i), std::string(d ? d : "", size_t(l.DataLength(i)))});
  }
  return v;
}

void Add(TIMIPTCInfoList& l, const TRec& r) {
  l.AddItem(r.Record, r.Dataset, int32_t(r.Data.size()), r.Data.data());
}

std::vector<TRec> Load(const Bytes& b) {
  TIMIPTCInfoList l;
  l.LoadFromBuffer(b.data(), int32_t(b.size()));
  return Records(l);
}

uint32_t DataSizeField(const Bytes& b) {
  return (uint32_t(b[22]) << 24) | (uint32_t(b[23]) << 16) | (uint32_t(b[24]) << 8) | b[25];
}

// A raw record with a 2-byte length, or with the given 4-byte extended length.
Bytes RawRecord(uint8_t rec, uint8_t ds, const std::string& data) {
  Bytes b{0x1C, rec, ds, uint8_t(data.size() >> 8), uint8_t(data.size())};
  b.insert(b.end(), data.begin(), data.end());
  return b;
}
Bytes RawExtended(uint8_t rec, uint8_t ds, uint32_t len, const std::string& data) {
  Bytes b{0x1C, rec, ds, 0x80, 0x04, uint8_t(len >> 24), uint8_t(len >> 16), uint8_t(len >> 8), uint8_t(len)};
  b.insert(b.end(), data.begin(), data.end());
  return b;
}
Bytes CutShort(Bytes b, size_t n) {
  b.resize(b.size() - n);
  return b;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(IPTC, BlockLayout) {
  TIMIPTCInfoList l;
  Bytes empty = l.SaveToBuffer();
  const char header[] = "Photoshop 3.0\0" "8BIM\x04\x04\0\0\0\0\0\0";
  EXPECT_EQ(empty, Bytes(header, header + 26));

  struct {
    size_t DataBytes, Saved;
    uint32_t DataSize;
  } cases[] = {
      {5, 36, 10},  // 26 + 5 + 5
      {4, 36, 9},   // 35 bytes, padded with one 0
      {0, 32, 5},
  };
  for (auto c : cases) {
    TIMIPTCInfoList one;
    Add(one, {2, 120, std::string(c.DataBytes, 'x')});
    const Bytes b = one.SaveToBuffer();
    ASSERT_EQ(b.size(), c.Saved) << c.DataBytes;
    EXPECT_EQ(DataSizeField(b), c.DataSize);
    EXPECT_EQ(Bytes(b.begin() + 26, b.begin() + 31), (Bytes{0x1C, 2, 120, 0, uint8_t(c.DataBytes)}));
    if (c.Saved > 26 + c.DataSize) {
      EXPECT_EQ(b.back(), 0);
    }
  }
}

TEST(IPTC, RecordVersionIsNeverWritten) {
  TIMIPTCInfoList l;
  Add(l, {2, 0, std::string("\0\4", 2)});
  Add(l, {2, 5, "title"});
  Add(l, {1, 0, "kept"});  // only record 2's dataset 0 is the version
  EXPECT_EQ(Load(l.SaveToBuffer()), (std::vector<TRec>{{2, 5, "title"}, {1, 0, "kept"}}));
}

TEST(IPTC, LongRecordUsesExtendedLength) {
  std::string big(40000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7);
  TIMIPTCInfoList l;
  Add(l, {2, 120, big});
  Add(l, {2, 25, "after"});
  const Bytes b = l.SaveToBuffer();
  EXPECT_EQ(Bytes(b.begin() + 26, b.begin() + 35), (Bytes{0x1C, 2, 120, 0x80, 0x04, 0, 0, 0x9C, 0x40}));
  EXPECT_EQ(DataSizeField(b), 9u + 40000 + 5 + 5);
  EXPECT_EQ(Load(b), (std::vector<TRec>{{2, 120, big}, {2, 25, "after"}}));

  // 32767 is the longest short length, 32768 the shortest extended one.
  for (size_t n : {32767u, 32768u}) {
    TIMIPTCInfoList e;
    Add(e, {2, 120, std::string(n, 'q')});
    const Bytes eb = e.SaveToBuffer();
    EXPECT_EQ(eb[29] == 0x80, n == 32768) << n;
    EXPECT_EQ(Load(eb), Records(e)) << n;
  }
}

// The header's data size may itself contain 0x1C; the records must still be
// found where they start (exiv2 writes such blocks for 28 bytes of records).
TEST(IPTC, RoundTripWhateverTheDataSize) {
  for (size_t n = 0; n < 300; ++n) {
    TIMIPTCInfoList l;
    Add(l, {2, 120, std::string(n, '\x1C')});
    Add(l, {2, 25, ""});
    Add(l, {2, 25, ""});  // an empty record may end the block exactly
    ASSERT_EQ(Load(l.SaveToBuffer()), Records(l)) << n;
  }
}

TEST(IPTC, ParsesRecordsWithoutOrBeyondTheHeader) {
  // Bare records after arbitrary bytes: the parse starts at the first tag marker.
  EXPECT_EQ(Load(Cat({{0, 1, 2}, RawRecord(2, 5, "a"), RawRecord(2, 25, "b")})),
            (std::vector<TRec>{{2, 5, "a"}, {2, 25, "b"}}));

  // Another resource, holding 0x1C bytes, before the IPTC resource.
  const Bytes sig{'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0};
  const Bytes other{'8', 'B', 'I', 'M', 0x03, 0xED, 3, 'a', 'b', 'c', 0, 0, 0, 3, 0x1C, 0x1C, 0x1C, 0};
  const Bytes recs = RawRecord(2, 5, "x");
  const Bytes iptc{'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0, 0, 0, 0, uint8_t(recs.size())};
  EXPECT_EQ(Load(Cat({sig, other, iptc, recs})), (std::vector<TRec>{{2, 5, "x"}}));
  // A well-formed block without an IPTC resource has no records.
  EXPECT_TRUE(Load(Cat({sig, other})).empty());

  EXPECT_TRUE(Load({}).empty());
  TIMIPTCInfoList l;
  l.LoadFromBuffer(nullptr, 100);
  EXPECT_EQ(l.Count(), 0);
}

TEST(IPTC, DamagedRecordsEndTheParseWithTheRecordsBefore) {
  const Bytes good = Cat({RawRecord(2, 5, "one"), RawRecord(2, 25, "two")});
  const std::vector<TRec> before{{2, 5, "one"}, {2, 25, "two"}};
  struct {
    const char* Name;
    Bytes Tail;
  } cases[] = {
      {"data cut short", CutShort(RawRecord(2, 120, "caption"), 2)},
      {"header cut short", {0x1C, 2, 120, 0}},
      {"extended length cut short", {0x1C, 2, 120, 0x80, 0x04, 0, 0}},
      {"extended length 2^32-1", RawExtended(2, 120, 0xFFFFFFFFu, "abc")},
      {"extended length 2^31", RawExtended(2, 120, 0x80000000u, "abc")},
      // pos + 9 + length wraps to a small number in 32 bits
      {"extended length wrapping to the start", RawExtended(2, 120, 0xFFFFFFF7u, "abc")},
      {"extended length one past the end", RawExtended(2, 120, 4, "abc")},
  };
  for (const auto& c : cases) EXPECT_EQ(Load(Cat({good, c.Tail})), before) << c.Name;
  EXPECT_EQ(Load(Cat({good, RawExtended(2, 120, 3, "abc")})).size(), 3u);
}

TEST(IPTC, UserChangedFlag) {
  TIMIPTCInfoList l;
  EXPECT_FALSE(l.UserChanged());
  Add(l, {2, 5, "t"});
  EXPECT_TRUE(l.UserChanged());
  const Bytes b = l.SaveToBuffer();

  TIMIPTCInfoList m;
  m.LoadFromBuffer(b.data(), int32_t(b.size()));
  EXPECT_FALSE(m.UserChanged());
  m.Clear();
  EXPECT_TRUE(m.UserChanged());
  m.LoadFromBuffer(b.data(), int32_t(b.size()));
  m.Assign(nullptr);
  EXPECT_FALSE(m.UserChanged());
  m.Assign(&l);
  EXPECT_TRUE(m.UserChanged());
  m.Assign(&m);  // assigning itself keeps its records
  EXPECT_EQ(Records(m), Records(l));
}

TEST(IPTC, RejectsWhatCannotBeStored) {
  TIMIPTCInfoList l;
  EXPECT_THROW(l.AddItem(256, 5, 0, nullptr), EListError);
  EXPECT_THROW(l.AddItem(2, -1, 0, nullptr), EListError);
  EXPECT_THROW(l.AddItem(2, 5, -1, "x"), EListError);
  EXPECT_THROW(l.AddItem(2, 5, 3, nullptr), EListError);
  EXPECT_EQ(l.Count(), 0);
  EXPECT_THROW(l.RecordNumber(0), EListError);
}

TEST(MarkerList, AddFindReplaceAndAssign) {
  TIMMarkerList m;
  EXPECT_EQ(m.AddMarker(0xE1, "exif", 4), 0);
  EXPECT_EQ(m.AddMarker(0xFE, "first", 5), 1);
  EXPECT_EQ(m.AddMarker(0xFE, "second", 6), 2);
  EXPECT_EQ(m.IndexOf(0xFE), 1);
  EXPECT_EQ(m.IndexOf(0xED), -1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(m.MarkerData(2)), size_t(m.MarkerLength(2))), "second");

  m.SetMarker(1, 0xED, 3, "abc");
  EXPECT_EQ(m.MarkerType(1), 0xED);
  EXPECT_EQ(m.MarkerLength(1), 3);

  TIMMarkerList copy;
  copy.AddMarker(0xE0, "x", 1);
  copy.Assign(&m);
  ASSERT_EQ(copy.Count(), 3);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(copy.MarkerType(i), m.MarkerType(i));
    ASSERT_EQ(copy.MarkerLength(i), m.MarkerLength(i));
    EXPECT_NE(copy.MarkerData(i), m.MarkerData(i));  // a copy, not shared memory
    EXPECT_EQ(std::memcmp(copy.MarkerData(i), m.MarkerData(i), size_t(m.MarkerLength(i))), 0);
  }
  copy.Assign(nullptr);
  copy.Assign(&copy);
  EXPECT_EQ(copy.Count(), 3);
  EXPECT_THROW(copy.MarkerType(3), EListError);

  m.AddMarker(0xE2, nullptr, 0);
  EXPECT_EQ(m.MarkerLength(3), 0);
  m.Clear();
  EXPECT_EQ(m.Count(), 0);
}

TEST(MarkerList, RefusesDataNoSegmentCanHold) {
  const Bytes big(70000, 0xAB);
  TIMMarkerList m;
  EXPECT_EQ(m.AddMarker(0xED, big.data(), 65533), 0);  // 65533 + the 2 length bytes = 65535
  EXPECT_EQ(m.MarkerLength(0), 65533);
  for (int32_t n : {65534, 65535, 70000, -1}) {
    EXPECT_THROW(m.AddMarker(0xED, big.data(), n), EListError) << n;
    EXPECT_THROW(m.SetMarker(0, 0xE1, n, big.data()), EListError) << n;
  }
  ASSERT_EQ(m.Count(), 1);  // nothing added, nothing cut, nothing replaced
  EXPECT_EQ(m.MarkerType(0), 0xED);
  EXPECT_EQ(m.MarkerLength(0), 65533);
}

// ---- exiv2 as the judge of the block format ----

// A tiny JPEG made by ImageMagick; "" when a tool is missing.
std::string MakeJpeg(const std::string& name) {
  if (!test::HaveTool("exiv2") || !test::HaveTool("convert")) return "";
  const std::string path = test::TempPath(name);
  if (test::Run("convert -size 8x8 xc:red '" + path + "'") != 0) return "";
  return path;
}

TEST(IPTCOracle, Exiv2ReadsOurBlock) {
  const std::string jpg = MakeJpeg("kv_iptc_ours.jpg");
  if (jpg.empty()) GTEST_SKIP() << "exiv2 or ImageMagick not installed";
  TIMIPTCInfoList l;
  Add(l, {2, 5, "Harbour"});
  Add(l, {2, 25, "boats"});
  Add(l, {2, 25, "evening"});
  Add(l, {2, 120, std::string(24, 'c')});  // 89 bytes: saved with the pad byte
  const Bytes block = l.SaveToBuffer();

  // Insert an APP13 segment right after SOI.
  Bytes j = test::ReadBytes(jpg);
  ASSERT_GE(j.size(), 2u);
  const size_t segLen = block.size() + 2;
  Bytes seg{0xFF, 0xED, uint8_t(segLen >> 8), uint8_t(segLen)};
  seg.insert(seg.end(), block.begin(), block.end());
  j.insert(j.begin() + 2, seg.begin(), seg.end());
  test::WriteBytes(jpg, j);

  const std::string out = test::RunCapture("exiv2 -PIkv '" + jpg + "' 2>&1");
  const std::string expected[] = {"Iptc.Application2.ObjectName", "Harbour", "Iptc.Application2.Keywords",
                                  "boats", "evening", "Iptc.Application2.Caption", std::string(24, 'c')};
  size_t at = 0;
  for (const std::string& e : expected) {  // present, in our order
    const size_t f = out.find(e, at);
    ASSERT_NE(f, std::string::npos) << e << "\n" << out;
    at = f;
  }
}

TEST(IPTCOracle, WeReadExiv2sBlock) {
  const std::string jpg = MakeJpeg("kv_iptc_theirs.jpg");
  if (jpg.empty()) GTEST_SKIP() << "exiv2 or ImageMagick not installed";
  ASSERT_EQ(test::Run("exiv2 -M'set Iptc.Application2.Caption String Hello there' "
                      "-M'add Iptc.Application2.Keywords String a' "
                      "-M'add Iptc.Application2.Keywords String b' '" + jpg + "'"),
            0);
  const Bytes j = test::ReadBytes(jpg);
  // Find the APP13 segment and hand its data to the loader, as the JPEG reader does.
  size_t i = 2;
  while (i + 4 <= j.size() && !(j[i] == 0xFF && j[i + 1] == 0xED)) i += 2 + ((size_t(j[i + 2]) << 8) | j[i + 3]);
  ASSERT_LE(i + 4, j.size()) << "no APP13 written";
  const size_t len = ((size_t(j[i + 2]) << 8) | j[i + 3]) - 2;
  ASSERT_LE(i + 4 + len, j.size());
  TIMIPTCInfoList l;
  l.LoadFromBuffer(j.data() + i + 4, int32_t(len));
  std::vector<TRec> got = Records(l);
  std::erase_if(got, [](const TRec& r) { return r.Record == 2 && r.Dataset == 0; });  // a version, if written
  EXPECT_EQ(got, (std::vector<TRec>{{2, 120, "Hello there"}, {2, 25, "a"}, {2, 25, "b"}}));
}

}  // namespace
}  // namespace kv

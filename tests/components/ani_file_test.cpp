// Animated cursors made here from icotool icons and cursors, wrapped in a RIFF
// container written by the test.
#include <gtest/gtest.h>

#include "components/graphics/ani_file.h"
#include "components/graphics/gif_image.h"
#include "components/graphics/icon_list.h"
#include "platform/rtl/exceptions.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
Bytes Chunk(const std::string& Id, const Bytes& Data) {
  Bytes b(Id.begin(), Id.end());
  Put32(b, uint32_t(Data.size()));
  b.insert(b.end(), Data.begin(), Data.end());
  if (Data.size() & 1) b.push_back(0);
  return b;
}
Bytes List(const std::string& Type, const std::vector<Bytes>& Items) {
  Bytes d(Type.begin(), Type.end());
  for (const Bytes& i : Items) d.insert(d.end(), i.begin(), i.end());
  return Chunk("LIST", d);
}
Bytes Anih(uint32_t Frames, uint32_t Steps, uint32_t Rate, uint32_t Flags = 1) {
  Bytes d;
  for (uint32_t v : {36u, Frames, Steps, 0u, 0u, 0u, 0u, Rate, Flags}) Put32(d, v);
  return Chunk("anih", d);
}
Bytes Values(const std::string& Id, std::initializer_list<uint32_t> V) {
  Bytes d;
  for (uint32_t v : V) Put32(d, v);
  return Chunk(Id, d);
}
Bytes Riff(const std::string& Form, const std::vector<Bytes>& Chunks) {
  Bytes d(Form.begin(), Form.end());
  for (const Bytes& c : Chunks) d.insert(d.end(), c.begin(), c.end());
  return Chunk("RIFF", d);
}

void Load(TAnimatedCursorImage& A, const Bytes& B) {
  TReadOnlyMemoryStream s(B.data(), int64_t(B.size()));
  A.LoadFromStream(s);
}

class AniFiles : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    test::TTempFolderTest::SetUp();
    if (!test::HaveTool("icotool") || !test::HaveTool("convert")) GTEST_SKIP() << "icoutils or ImageMagick missing";
    const char* colours[4] = {"red", "lime", "blue", "yellow"};
    for (int i = 0; i < 4; ++i) {
      const std::string png = Dir + "f" + std::to_string(i) + ".png";
      ASSERT_EQ(test::Run(std::string("convert -size 16x16 xc:") + colours[i] + " " + png), 0);
      ASSERT_EQ(test::Run("icotool -c -b 8 -o " + Dir + "f" + std::to_string(i) + ".ico " + png), 0);
      Icons.push_back(Chunk("icon", test::ReadBytes(Dir + "f" + std::to_string(i) + ".ico")));
    }
    ASSERT_EQ(test::Run("icotool -c --cursor -X 3 -Y 5 -b 8 -o " + Dir + "c.cur " + Dir + "f0.png"), 0);
    Cursor = Chunk("icon", test::ReadBytes(Dir + "c.cur"));
  }
  std::vector<Bytes> Icons;
  Bytes Cursor;
};

TEST_F(AniFiles, ReadsFramesRatesOrderAndInfo) {
  const Bytes info = List("INFO", {Chunk("INAM", {'S', 'p', 'i', 'n', 0}), Chunk("IART", {'K', 'v', 0})});
  const Bytes file = Riff("ACON", {info, Anih(3, 3, 10), Values("rate", {6, 12, 18}), Values("seq ", {2, 0, 1}),
                                   List("fram", {Icons[0], Icons[1], Cursor})});
  TAnimatedCursorImage a;
  Load(a, file);
  EXPECT_EQ(a.CursorTitle(), "Spin");
  EXPECT_EQ(a.CursorAuthor(), "Kv");
  ASSERT_EQ(a.FrameCount(), 3);
  // Every rate and step value counts, not only the first.
  EXPECT_EQ(a.FrameItems(0).JiffyRate, 6u);
  EXPECT_EQ(a.FrameItems(2).JiffyRate, 18u);
  EXPECT_EQ(a.FrameItems(0).StepIndex, 2);
  EXPECT_EQ(a.FrameItems(0).FrameIcon().Image()->GetPixelColor(0, 0), clRed);  // the cursor, icon 2
  EXPECT_FALSE(a.FrameItems(0).FromIconData);
  EXPECT_EQ(a.FrameItems(0).HotSpot, (TPoint{3, 5}));
  EXPECT_EQ(a.FrameItems(1).FrameIcon().Image()->GetPixelColor(0, 0), clRed);  // icon 0
  EXPECT_TRUE(a.FrameItems(1).FromIconData);
  EXPECT_EQ(a.FrameItems(1).HotSpot, (TPoint{8, 8}));
  EXPECT_EQ(a.FrameItems(2).FrameIcon().Image()->GetPixelColor(0, 0), clLime);
  EXPECT_EQ(a.SourceColorCount(), 256);
  EXPECT_EQ(a.AniHeader().StepCount, 3u);

  TBitmap strip;
  a.DrawStrip(strip, clWhite, false, false);
  EXPECT_EQ(strip.Width(), 48);
  EXPECT_EQ(strip.GetPixelColor(40, 3), clLime);
  TIconList list;
  list.Assign(nullptr);
  a.AssignTo(&list);
  EXPECT_EQ(list.Count(), 3);
}

TEST_F(AniFiles, ExtraIconsAreAppendedAndBecomeGifFrames) {
  TAnimatedCursorImage a;
  Load(a, Riff("ACON", {Anih(3, 3, 6), List("fram", {Icons[0], Icons[1], Icons[2], Icons[3]})}));
  ASSERT_EQ(a.FrameCount(), 4);
  EXPECT_EQ(a.FrameItems(3).StepIndex, -1);
  EXPECT_EQ(a.FrameItems(3).FrameIcon().Image()->GetPixelColor(1, 1), clYellow);

  TGIFImage g;
  g.Assign(&a);
  ASSERT_EQ(g.FrameCount(), 4);
  EXPECT_EQ(g.Frames(0).DelayMs, 100);  // 6 jiffies
  EXPECT_EQ(g.Frames(2).DecodedBitmap()->GetPixelColor(4, 4), clBlue);
  TMemoryStream s;
  g.SaveToStream(s);
  EXPECT_GT(s.Size(), 0);
}

TEST_F(AniFiles, MalformedFilesRaiseTheReadError) {
  const Bytes fram = List("fram", {Icons[0], Icons[1]});
  Bytes pastEnd = Riff("ACON", {Anih(2, 2, 6), fram});
  pastEnd[4 + 4 + 4 + 4] = 0xF0;  // the anih chunk claims more than the file holds
  Bytes hugeCount = Riff("ACON", {Anih(0x7FFFFFFF, 2, 6), fram});
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"RMID form", Riff("RMID", {Anih(2, 2, 6), fram})},
      {"no icon flag", Riff("ACON", {Anih(2, 2, 6, 0), fram})},
      {"no steps", Riff("ACON", {Anih(2, 0, 6), fram})},
      {"no frames", Riff("ACON", {Anih(2, 2, 6)})},
      {"step past the frames", Riff("ACON", {Anih(2, 2, 6), Values("seq ", {0, 2}), fram})},
      {"rate count", Riff("ACON", {Anih(2, 2, 6), Values("rate", {6}), fram})},
      {"chunk past end", pastEnd},
      {"frame count", hugeCount},
      {"short", Bytes{'R', 'I', 'F', 'F'}},
  };
  for (const auto& [name, bytes] : cases) {
    TAnimatedCursorImage a;
    EXPECT_THROW(Load(a, bytes), EReadError) << name;
    EXPECT_EQ(a.FrameCount(), 0) << name;
  }
  TAnimatedCursorImage a;
  TMemoryStream s;
  EXPECT_THROW(a.SaveToStream(s), EInvalidGraphicOperation);
}

TEST_F(AniFiles, IconListStoresEmptyEntriesAndStreamsByProperty) {
  TIcon red;
  red.LoadFromFile(Dir + "f0.ico");
  TIconList l;
  int changes = 0;
  l.OnChange = [&](TObject*) { ++changes; };
  l.BeginUpdate();
  l.Add(&red);
  l.Add(nullptr);
  l.BeginUpdate();
  l.Add(&red);
  l.EndUpdate();
  EXPECT_EQ(changes, 0);
  l.EndUpdate();
  EXPECT_EQ(changes, 1);
  TMemoryStream s;
  l.SaveItems(s);
  const uint8_t* m = static_cast<const uint8_t*>(s.Memory());
  const uint32_t first = uint32_t(m[4] | (m[5] << 8) | (m[6] << 16));
  EXPECT_EQ(m[8 + first], 0);  // the empty entry's size
  const std::string text = GetPropValue(&l, "Icons");
  TIconList back;
  SetPropValue(&back, "Icons", text);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.GetIcon(1), nullptr);
  EXPECT_TRUE(back.GetIcon(2)->SameAs(red));
  back.Move(2, 0);
  back.Exchange(0, 2);
  EXPECT_EQ(back.GetIcon(0), nullptr);
  back.SetIcon(0, &red);
  EXPECT_NE(back.GetIcon(0), nullptr);
  EXPECT_TRUE(back.NeedsStoring(nullptr));
  EXPECT_TRUE(back.NeedsStoring(&l));
}

}  // namespace
}  // namespace kv

// Clipboard lines and data hidden in the pixels of the current image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_fixture.h"
#include "platform/rtl/file_utils.h"
#include "platform/ui/clipboard.h"

namespace kv {
namespace {

using namespace kv::test;

const std::string kTooLarge = "Fehler, Daten sind zu groß";
const std::string kNoData =
    "Keine Daten gefunden\rBeachten Sie bitte, daß die Grafik nicht mit Qualitätsverlust-Grafikformaten wie z.B. "
    "JPG gespeichert werden darf,\rda dort die Farbinformationen zwecks Kompression verändert werden. Benutzen Sie "
    "hierfür lieber z.B. das BMP oder PCX-Format.";

// Plants a hidden-data header claiming Length bytes in row 0 (at least 22 pixels wide).
void PlantLength(TBitmap& B, uint32_t Length) {
  auto* row = static_cast<uint8_t*>(B.ScanLine(0));
  for (int32_t i = 0; i < 64; ++i) {
    const bool bit = i >= 32 && ((Length >> (i - 32)) & 1);
    row[i] = uint8_t((row[i] & 0xFE) | (bit ? 1 : 0));
  }
}

std::vector<uint8_t> Pixels(TBitmap& B) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(B.ScanLine(y));
    out.insert(out.end(), row, row + B.Width() * 3);
  }
  return out;
}

class EditCommands : public CommandTest {};

TEST_F(EditCommands, TextRoundTripKeepsLineBreaksAndQuotesAreTheOnlyLimit) {
  MakeChild(40, 30, Pattern);
  ASSERT_TRUE(Line("WRITETEXT Text=\"Erste Zeile\r\nzweite Zeile\""));
  ASSERT_TRUE(Line("READTEXT"));
  ASSERT_FALSE(Shown().empty());
  EXPECT_EQ(Shown().back().Text, "Erste Zeile\r\nzweite Zeile");
}

// 8 x 8 pixels carry (8 * 3 - 2) * 8 / 8 - 8 = 14 bytes.
TEST_F(EditCommands, TextUpToTheCapacityIsHiddenOneMoreIsRefused) {
  MakeChild(8, 8, Pattern);
  const std::vector<uint8_t> before = Pixels(Bmp());
  ASSERT_TRUE(Line("WRITETEXT Text=\"123456789012345\""));
  EXPECT_TRUE(ShownText(kTooLarge));
  EXPECT_EQ(Pixels(Bmp()), before);

  Shown().clear();
  ASSERT_TRUE(Line("WRITETEXT Text=\"12345678901234\""));
  EXPECT_FALSE(ShownText(kTooLarge));
  ASSERT_TRUE(Line("READTEXT"));
  EXPECT_EQ(Shown().back().Text, "12345678901234");
}

// A length that is not there, negative or more than the picture holds is
// never believed: the user is told, and the line fails.
TEST_F(EditCommands, ReadingRefusesHeadersThatCannotBeTrue) {
  struct Case {
    const char* Name;
    bool Plant;
    uint32_t Length;
  };
  // 30 x 10 pixels carry (88 * 10) / 8 - 8 = 102 bytes.
  const Case cases[] = {{"no header", false, 0}, {"negative", true, 0xFFFFFFF0u}, {"past capacity", true, 103}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    MakeChild(30, 10, [](int32_t, int32_t) { return Gray(255); });
    if (c.Plant) PlantLength(Bmp(), c.Length);
    const std::string out = Dir + "out.bin";
    for (const std::string& line : {std::string("READTEXT"), "READDATA Filename=\"" + out + "\""}) {
      Shown().clear();
      EXPECT_FALSE(Line(line)) << line;
      // The user learns why before the line is reported as failed.
      ASSERT_EQ(Shown().size(), 2u) << line;
      EXPECT_EQ(Shown()[0].Text, kNoData) << line;
      EXPECT_TRUE(FailureShown(line)) << line;
    }
    EXPECT_FALSE(FileExists(out));
  }
}

TEST_F(EditCommands, DataRoundTripIsByteExact) {
  MakeChild(64, 48, Pattern);
  std::vector<uint8_t> data;
  for (int i = 0; i < 700; ++i) data.push_back(uint8_t(i * 37));
  data.push_back(0);
  data.push_back(255);
  WriteBytes(Dir + "in.bin", data);
  ASSERT_TRUE(Line("WRITEDATA Filename=\"" + Dir + "in.bin\""));
  ASSERT_TRUE(Line("READDATA Filename=\"" + Dir + "back.bin\""));
  EXPECT_EQ(ReadBytes(Dir + "back.bin"), data);
}

TEST_F(EditCommands, DataTooLargeOrMissingLeavesThePicture) {
  MakeChild(8, 8, Pattern);
  const std::vector<uint8_t> before = Pixels(Bmp());
  WriteBytes(Dir + "big.bin", std::vector<uint8_t>(15, 7));
  ASSERT_TRUE(Line("WRITEDATA Filename=\"" + Dir + "big.bin\""));
  EXPECT_TRUE(ShownText(kTooLarge));
  EXPECT_EQ(Pixels(Bmp()), before);

  Shown().clear();
  const std::string missing = "WRITEDATA Filename=\"" + Dir + "missing.bin\"";
  EXPECT_FALSE(Line(missing));
  EXPECT_FALSE(ShownText(kTooLarge));
  EXPECT_TRUE(FailureShown(missing));
  EXPECT_EQ(Pixels(Bmp()), before);
}

TEST_F(EditCommands, CopyAndPasteGoThroughTheClipboard) {
  Tchild& child = MakeChild(20, 10, Pattern);
  child.imager1->Select(4, 2, 9, 6);
  ASSERT_TRUE(Line("COPY"));
  ASSERT_TRUE(Clipboard().HasFormat(CF_DIB));

  // Without a selection the clipboard's picture replaces the image.
  MakeChild(5, 5, [](int32_t, int32_t) { return Gray(0); });
  ASSERT_TRUE(Line("PASTE"));
  ASSERT_EQ(Bmp().Width(), 6);
  ASSERT_EQ(Bmp().Height(), 5);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) ASSERT_EQ(At(x, y), Pattern(x + 4, y + 2)) << x << "," << y;

  // With one, it is stretched into the selection and the rest stays.
  Tchild& target = MakeChild(30, 30, [](int32_t, int32_t) { return Gray(9); });
  target.imager1->Select(10, 10, 21, 19);
  ASSERT_TRUE(Line("PASTE"));
  EXPECT_EQ(Bmp().Width(), 30);
  EXPECT_EQ(At(10, 10), Pattern(4, 2));
  EXPECT_EQ(At(21, 19), Pattern(9, 6));
  EXPECT_EQ(At(9, 10), Gray(9));
  EXPECT_EQ(At(22, 20), Gray(9));
}

TEST_F(EditCommands, CopyWithoutSelectionTakesTheWholeImage) {
  MakeChild(7, 3, Pattern);
  ASSERT_TRUE(Line("COPY"));
  MakeChild(2, 2, [](int32_t, int32_t) { return Gray(0); });
  ASSERT_TRUE(Line("PASTE"));
  ASSERT_EQ(Bmp().Width(), 7);
  ASSERT_EQ(Bmp().Height(), 3);
  EXPECT_EQ(At(6, 2), Pattern(6, 2));
}

TEST_F(EditCommands, CutClearsTheSelectionAndCropKeepsIt) {
  Tchild& child = MakeChild(20, 10, Pattern);
  child.imager1->SetBackground(clBlack);
  child.imager1->Select(4, 2, 9, 6);
  ASSERT_TRUE(Line("CUT"));
  EXPECT_EQ(At(4, 2), Gray(0));
  EXPECT_EQ(At(9, 6), Gray(0));
  EXPECT_EQ(At(10, 7), Pattern(10, 7));
  MakeChild(2, 2, [](int32_t, int32_t) { return Gray(0); });
  ASSERT_TRUE(Line("PASTE"));
  ASSERT_EQ(Bmp().Width(), 6);
  EXPECT_EQ(At(0, 0), Pattern(4, 2));

  Tchild& other = MakeChild(20, 10, Pattern);
  other.imager1->Select(3, 1, 7, 8);
  ASSERT_TRUE(Line("CROP"));
  ASSERT_EQ(Bmp().Width(), 5);
  ASSERT_EQ(Bmp().Height(), 8);
  EXPECT_EQ(At(0, 0), Pattern(3, 1));
  EXPECT_EQ(At(4, 7), Pattern(7, 8));
}

TEST_F(EditCommands, WithoutAnImageWindowTheLinesFail) {
  for (const char* line : {"CUT", "CROP", "COPY", "PASTE", "WRITETEXT Text=\"a\"", "READTEXT"})
    EXPECT_FALSE(Line(line)) << line;
}

}  // namespace
}  // namespace kv

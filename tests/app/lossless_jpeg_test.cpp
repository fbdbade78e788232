// The JPGTRAFO line against jpegtran: the same pixels for every transform
// code, the markers kept, the file date kept, and refusals that leave the
// file alone.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/tools/lossless_jpeg.h"
#include "command_fixture.h"
#include "platform/ui/button.h"
#include "platform/ui/std_controls.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

class LosslessJpeg : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    if (!HaveTool("jpegtran") || !HaveTool("djpeg") || !HaveTool("convert")) GTEST_SKIP() << "libjpeg-turbo-progs and ImageMagick are needed";
  }
  // A JPEG with a comment marker, W x H, 2 x 2 chroma sampling (16 x 16 blocks).
  std::string MakeJpeg(const std::string& Name, int32_t W, int32_t H) {
    const std::string path = Dir + Name;
    const std::string raw = Dir + "raw-" + Name;
    const std::string cmd = "convert -size " + std::to_string(W) + "x" + std::to_string(H) +
                            " gradient:red-blue -fill yellow -draw 'rectangle 3,4 20,30' -fill green -draw 'circle 40,20 "
                            "45,28' -sampling-factor 2x2 -quality 90 '" + raw + "' && wrjpgcom -comment kvmarker '" + raw +
                            "' > '" + path + "' && rm '" + raw + "'";
    EXPECT_EQ(test::Run(cmd), 0);
    return path;
  }
  std::string Pixels(const std::string& Path) { return RunCapture("djpeg -ppm '" + Path + "'"); }
  static const char* Oracle(int32_t Code) {
    switch (Code) {
      case 2: return "-flip horizontal";
      case 5: return "-flip vertical";
      case 6: return "-rotate 90";
      case 7: return "-rotate 180";
      default: return "-rotate 270";
    }
  }
  static std::string Trafo(const std::string& File, int32_t Code, const std::string& More = "") {
    return "JPGTRAFO Trafo=" + std::to_string(Code) + " KeepDateTime=1 Open=0" + More + " File=\"" + File + "\"";
  }
  size_t FilesInDir() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(Dir)) ++n;
    return n;
  }
};

TEST_F(LosslessJpeg, EveryCodeMatchesJpegtranAndKeepsMarkersAndDate) {
  const std::string original = MakeJpeg("orig.jpg", 64, 48);
  for (int32_t code : {2, 5, 6, 7, 8}) {
    SCOPED_TRACE(code);
    const std::string ours = Dir + "ours.jpg", theirs = Dir + "theirs.jpg";
    std::filesystem::copy_file(original, ours, std::filesystem::copy_options::overwrite_existing);
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, ours.c_str(), old, 0), 0);
    const size_t files = FilesInDir();
    ASSERT_TRUE(Line(Trafo(ours, code)));
    EXPECT_TRUE(Shown().empty()) << Shown().back().Text;
    ASSERT_EQ(test::Run("jpegtran -copy all -perfect " + std::string(Oracle(code)) + " -outfile '" + theirs + "' '" + original + "'"), 0);
    const std::string mine = Pixels(ours);
    ASSERT_FALSE(mine.empty());
    EXPECT_EQ(mine, Pixels(theirs));
    EXPECT_NE(mine, Pixels(original));
    EXPECT_NE(RunCapture("rdjpgcom '" + ours + "'").find("kvmarker"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(ours.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(FilesInDir(), files + 1);  // theirs.jpg; no temporary file left behind
    std::filesystem::remove(theirs);
  }
}

TEST_F(LosslessJpeg, MirroringTwiceGivesThePictureBack) {
  const std::string file = MakeJpeg("twice.jpg", 64, 48);
  const std::string before = Pixels(file);
  ASSERT_TRUE(Line(Trafo(file, 2)));
  ASSERT_TRUE(Line(Trafo(file, 2)));
  EXPECT_EQ(Pixels(file), before);
}

TEST_F(LosslessJpeg, RefusalsLeaveTheFileAlone) {
  const std::string file = MakeJpeg("odd.jpg", 60, 45);
  const std::vector<uint8_t> bytes = ReadBytes(file);
  // Partial blocks at the right edge would have to move.
  EXPECT_FALSE(Tlosslessjpgform::RunJpgTrafo(*Form, Trafo(file, 2)));
  EXPECT_TRUE(ShownText(kJpgDropsEdges));
  // Codes outside the dialog's table.
  for (int32_t code : {0, 1, 3, 4, 9, -2}) {
    EXPECT_FALSE(Tlosslessjpgform::RunJpgTrafo(*Form, Trafo(file, code))) << code;
    EXPECT_TRUE(ShownText(std::string(kJpgBadTrafo) + " " + std::to_string(code))) << code;
  }
  // Not a JPEG at all.
  const std::string png = Dir + "pic.png";
  ASSERT_EQ(test::Run("convert -size 16x16 xc:red '" + png + "'"), 0);
  const std::vector<uint8_t> pngBytes = ReadBytes(png);
  EXPECT_FALSE(Tlosslessjpgform::RunJpgTrafo(*Form, Trafo(png, 6)));
  EXPECT_TRUE(ShownText(kJpgNotJpeg));
  EXPECT_EQ(ReadBytes(png), pngBytes);
  // A missing file: the message, and nothing is made.
  const size_t files = FilesInDir();
  EXPECT_FALSE(Tlosslessjpgform::RunJpgTrafo(*Form, Trafo(Dir + "missing.jpg", 6)));
  EXPECT_TRUE(ShownText(kJpgOpenFailed));
  EXPECT_EQ(FilesInDir(), files);
  EXPECT_EQ(ReadBytes(file), bytes);

  // Allowed to drop the edge blocks, it matches jpegtran's trim.
  const std::string theirs = Dir + "theirs.jpg";
  ASSERT_EQ(test::Run("jpegtran -copy all -trim -rotate 90 -outfile '" + theirs + "' '" + file + "'"), 0);
  ASSERT_TRUE(Tlosslessjpgform::RunJpgTrafo(*Form, Trafo(file, 6, " Trim=1")));
  EXPECT_EQ(Pixels(file), Pixels(theirs));
}

TEST_F(LosslessJpeg, DialogBuildsTheLine) {
  const std::string file = MakeJpeg("dlg.jpg", 32, 32);
  Tlosslessjpgform dlg(nullptr);
  EXPECT_EQ(dlg.TrafoBox->ItemIndex(), 2);
  const int32_t codes[5] = {2, 5, 6, 7, 8};
  for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(Tlosslessjpgform::TrafoOfEntry(i), codes[i]);
  dlg.FileEdit->SetText("\"" + file + "\"");
  dlg.TrafoBox->SetItemIndex(3);
  dlg.OpenBox->SetChecked(false);
  dlg.RunButton->Click();
  EXPECT_EQ(dlg.ResultLine, "JPGTrafo Trafo=7 KeepDateTime=1 Open=0 Trim=0 File=\"" + file + "\"");
}

}  // namespace
}  // namespace kv

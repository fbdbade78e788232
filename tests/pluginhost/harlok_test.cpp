// harlok.so as the program uses it: loaded from its folder, driven through
// Run8BFPlugIn with real plug-ins built beside these tests.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "pluginhost/harlok_client.h"
#include "tests/support/temp_files.h"

namespace kv {
namespace {

std::string PluginPath(const std::string& Name) { return std::string(KV_TEST_PLUGIN_DIR) + "/" + Name + ".8bf"; }

// A 24-bit bitmap with a pattern in every byte, the row padding included.
struct TTestBitmap {
  int32_t W, H, RowBytes;
  bool BottomUp;
  std::vector<uint8_t> Bytes;
  THarlokBitmap Bmp;
  TTestBitmap(int32_t Width, int32_t Height, bool BottomUpRows)
      : W(Width), H(Height), RowBytes((Width * 3 + 3) & ~3), BottomUp(BottomUpRows), Bytes(size_t(RowBytes) * Height) {
    for (size_t i = 0; i < Bytes.size(); ++i) Bytes[i] = uint8_t(i * 7 + 3);
    Bmp = {W, BottomUp ? H : -H, RowBytes, 24, Bytes.data()};
  }
  // Blue, green, red of the pixel in image row y (0 = top), column x.
  const uint8_t* At(const std::vector<uint8_t>& B, int32_t x, int32_t y) const {
    return &B[size_t(BottomUp ? H - 1 - y : y) * RowBytes + size_t(x) * 3];
  }
  bool IsPadding(size_t i) const { return i % size_t(RowBytes) >= size_t(W) * 3; }
};

int GProgress = -1;
std::string GPrompt;
std::vector<std::pair<int32_t, int32_t>> GConversions;
bool GAbort = false;

uint8_t AbortTest() { return GAbort ? 1 : 0; }
void Progress(int32_t Percent) { GProgress = Percent; }
void ChooseColor(uint16_t* c, const uint8_t* Prompt) {
  GPrompt = Prompt ? std::string(reinterpret_cast<const char*>(Prompt + 1), Prompt[0]) : "";
  c[0] = 1, c[1] = 2, c[2] = 3;
}
void ConvertColor(uint16_t*, int32_t From, int32_t To) { GConversions.emplace_back(From, To); }

class Harlok : public ::testing::Test {
protected:
  static void SetUpTestSuite() { ASSERT_TRUE(Lib.Load(KV_HARLOK_DIR)) << Lib.LastError(); }
  static void TearDownTestSuite() { Lib.Unload(); }

  void SetUp() override {
    std::memset(Name, 0, sizeof Name);
    std::memset(Category, 0, sizeof Category);
    std::memset(Error, 0, sizeof Error);
    GProgress = -1;
    GPrompt.clear();
    GConversions.clear();
    GAbort = false;
    unsetenv("KV_FAIL_MODE");
  }

  int32_t Describe(const std::string& File) {
    FilterCallBlock b;
    b.NameBuffer = Name;
    b.CategoryBuffer = Category;
    b.ErrorText = Error;
    Lib.Run8BFPlugIn()(File.c_str(), haDescribe, &b);
    return b.Result;
  }

  FilterCallBlock Block(TTestBitmap& Bmp, int32_t Top, int32_t Left, int32_t Bottom, int32_t Right) {
    FilterCallBlock b;
    b.ParentWindow = reinterpret_cast<void*>(0x1234);
    b.Bitmap = &Bmp.Bmp;
    b.HorzResolution = 72;
    b.VertResolution = 96;
    b.FilterTop = Top, b.FilterLeft = Left, b.FilterBottom = Bottom, b.FilterRight = Right;
    b.NameBuffer = Name;
    b.CategoryBuffer = Category;
    b.ForegroundColor = 0x000000FF;
    b.BackgroundColor = 0x0000FF00;
    b.AbortTest = AbortTest;
    b.Progress = Progress;
    b.ChooseColor = ChooseColor;
    b.ConvertColor = ConvertColor;
    b.ErrorText = Error;
    return b;
  }

  int32_t Call(const std::string& File, int32_t Action, FilterCallBlock& B) {
    B.Result = 12345;
    Lib.Run8BFPlugIn()(File.c_str(), Action, &B);
    return B.Result;
  }

  int32_t RunWhole(const std::string& Plugin, TTestBitmap& Bmp, int32_t Action = haRun) {
    FilterCallBlock b = Block(Bmp, 0, 0, Bmp.H, Bmp.W);
    return Call(PluginPath(Plugin), Action, b);
  }

  // The selectors the held plug-in has received since the last look.
  static std::string Selectors(const std::string& Plugin) {
    void* h = dlopen(PluginPath(Plugin).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h) return "<not loaded>";
    char* log = static_cast<char*>(dlsym(h, "SelectorLog"));
    std::string s = log ? log : "<no log>";
    if (log) std::memset(log, 0, 256);
    dlclose(h);
    return s;
  }

  static THarlokLibrary Lib;
  char Name[PluginTextBufferSize], Category[PluginTextBufferSize], Error[PluginTextBufferSize + 8];
};
THarlokLibrary Harlok::Lib;

TEST(HarlokLibrary, WithoutTheLibraryNothingIsBound) {
  THarlokLibrary lib;
  EXPECT_FALSE(lib.Load(test::TempPath("no-such-folder")));
  EXPECT_FALSE(lib.Bound());
  EXPECT_EQ(lib.Run8BFPlugIn(), nullptr);
  EXPECT_NE(lib.LastError().find("harlok.so"), std::string::npos);
  EXPECT_TRUE(lib.Load(KV_HARLOK_DIR)) << lib.LastError();
  EXPECT_TRUE(lib.Bound());
}

TEST_F(Harlok, DescribeReadsThePropertyList) {
  EXPECT_EQ(Describe(PluginPath("invert")), hrOk);
  EXPECT_STREQ(Name, "Invert");
  EXPECT_STREQ(Category, "Kavrelin Tests");
  EXPECT_EQ(Selectors("invert"), "");  // describing calls no selector
}

TEST_F(Harlok, FilesThatAreNoPluginGiveResultOneAndATextCutToItsBuffer) {
  test::TScratchFolder folder("harlok-files");
  const std::string dir = folder.Path() + "/";
  test::WriteText(dir + "windows.8bf", std::string("MZ\x90\0\3\0\0\0", 8) + std::string(200, '\0'));
  test::WriteText(dir + "text.8bf", "not a library at all");
  EXPECT_EQ(Describe(dir + "windows.8bf"), hrCannotLoad);
  EXPECT_NE(std::string(Error).find("Windows"), std::string::npos) << Error;
  EXPECT_EQ(Describe(dir + "text.8bf"), hrCannotLoad);
  EXPECT_NE(std::string(Error).find("text.8bf"), std::string::npos) << Error;
  // The loader's message repeats the long path: it is cut to 300 characters.
  std::memset(Error, 'x', sizeof Error);
  EXPECT_EQ(Describe(dir + std::string(400, 'a') + "/missing.8bf"), hrCannotLoad);
  EXPECT_EQ(std::strlen(Error), 300u);
  EXPECT_EQ(Error[301], 'x');
}

TEST_F(Harlok, RepeatWithoutAHeldRunChangesNothing) {
  TTestBitmap bmp(5, 4, true);
  const auto before = bmp.Bytes;
  ASSERT_EQ(Describe(PluginPath("invert")), hrOk);
  EXPECT_EQ(RunWhole("invert", bmp, haRepeat), hrNothingToRepeat);
  FilterCallBlock about = Block(bmp, 0, 0, 4, 5);
  EXPECT_EQ(Call(PluginPath("invert"), haAbout, about), hrOk);
  EXPECT_EQ(Selectors("invert"), "0");
  EXPECT_EQ(RunWhole("invert", bmp, haRepeat), hrNothingToRepeat);
  EXPECT_EQ(bmp.Bytes, before);
}

// Every row and column, the last ones included; the padding is not touched; a repeat
// runs the held plug-in again without its parameters call.
TEST_F(Harlok, InvertWholeImageAndRepeat) {
  for (bool bottomUp : {true, false}) {
    TTestBitmap bmp(13, 7, bottomUp);
    const auto before = bmp.Bytes;
    ASSERT_EQ(RunWhole("invert", bmp), hrOk) << Error;
    EXPECT_EQ(Selectors("invert"), "12345");
    for (size_t i = 0; i < before.size(); ++i)
      ASSERT_EQ(bmp.Bytes[i], bmp.IsPadding(i) ? before[i] : uint8_t(255 - before[i])) << i;
    ASSERT_EQ(RunWhole("invert", bmp, haRepeat), hrOk);
    EXPECT_EQ(Selectors("invert"), "2345");
    EXPECT_EQ(bmp.Bytes, before);
  }
}

TEST_F(Harlok, OnlyTheFilterRectangleChanges) {
  for (bool bottomUp : {true, false}) {
    TTestBitmap bmp(11, 9, bottomUp);
    const auto before = bmp.Bytes;
    FilterCallBlock b = Block(bmp, 2, 3, 6, 10);
    ASSERT_EQ(Call(PluginPath("invert"), haRun, b), hrOk) << Error;
    for (int32_t y = 0; y < bmp.H; ++y)
      for (int32_t x = 0; x < bmp.W; ++x) {
        const bool in = y >= 2 && y < 6 && x >= 3 && x < 10;
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(bmp.At(bmp.Bytes, x, y)[c], in ? uint8_t(255 - bmp.At(before, x, y)[c]) : bmp.At(before, x, y)[c])
              << x << ',' << y << ' ' << bottomUp;
      }
  }
}

// Tiles of 7 x 5 over an image that is not a multiple of them, after a pass at half
// rate whose pixels the plug-in compares with the full-rate ones.
TEST_F(Harlok, OwnTileSizeAndHalfRateInput) {
  TTestBitmap bmp(23, 17, true);
  const auto before = bmp.Bytes;
  ASSERT_EQ(RunWhole("tiles", bmp), hrOk) << Error;
  for (int32_t y = 0; y < bmp.H; ++y)
    for (int32_t x = 0; x < bmp.W; ++x) {
      const uint8_t* s = bmp.At(before, x, y);  // blue, green, red
      const uint8_t* d = bmp.At(bmp.Bytes, x, y);
      // red <- green, green <- blue, blue <- red
      ASSERT_TRUE(d[2] == s[1] && d[1] == s[0] && d[0] == s[2]) << x << ',' << y;
    }
}

TEST_F(Harlok, GeneratorNeedsNoInput) {
  TTestBitmap bmp(12, 13, false);
  const auto before = bmp.Bytes;
  FilterCallBlock b = Block(bmp, 2, 3, 11, 9);
  ASSERT_EQ(Call(PluginPath("generator"), haRun, b), hrOk) << Error;
  EXPECT_STREQ(Name, "");  // name and category buffers of a run are not written
  for (int32_t y = 0; y < bmp.H; ++y)
    for (int32_t x = 0; x < bmp.W; ++x) {
      const uint8_t* d = bmp.At(bmp.Bytes, x, y);
      if (y >= 2 && y < 11 && x >= 3 && x < 9)
        ASSERT_TRUE(d[0] == 77 && d[1] == y && d[2] == x) << x << ',' << y;
      else
        ASSERT_EQ(std::memcmp(d, bmp.At(before, x, y), 3), 0) << x << ',' << y;
    }
}

// The probe checks every host service from inside; a plug-in that writes nothing
// leaves the image exactly as it was, since its output starts as the source.
TEST_F(Harlok, EveryHostServiceAnswers) {
  TTestBitmap bmp(9, 6, true);
  const auto before = bmp.Bytes;
  ASSERT_EQ(RunWhole("probe", bmp), hrOk) << Error;
  EXPECT_EQ(bmp.Bytes, before);
  EXPECT_EQ(GProgress, 50);
  EXPECT_EQ(GPrompt, "Pick");
  EXPECT_NE(std::find(GConversions.begin(), GConversions.end(), std::make_pair(1, 0)), GConversions.end());
  EXPECT_EQ(Selectors("probe"), "12345");
}

struct TFailCase {
  const char* Mode;
  int32_t Result;
  const char* Selectors;
};

// An error in any phase stops the phases after it; a started run still gets its
// finish; the image stays as it was.
TEST_F(Harlok, FailuresLeaveTheImageAlone) {
  const TFailCase cases[] = {
      {"report", -30904, "1235"},   // error text at start
      {"badrect", -30100, "1235"},  // asks for rows below the image
      {"params", -128, "1"},        // cancelled dialog: nothing more
      {"inverted", 0, "1235"},      // an inverted rectangle ends the loop
  };
  for (const auto& c : cases) {
    setenv("KV_FAIL_MODE", c.Mode, 1);
    TTestBitmap bmp(6, 5, true);
    const auto before = bmp.Bytes;
    std::memset(Error, 0, sizeof Error);
    EXPECT_EQ(RunWhole("fail", bmp), c.Result) << c.Mode;
    EXPECT_EQ(Selectors("fail"), c.Selectors) << c.Mode;
    EXPECT_EQ(bmp.Bytes, before) << c.Mode;
    if (std::strcmp(c.Mode, "report") == 0) {
      EXPECT_STREQ(Error, "Kaputt: the test plug-in failed on purpose");
    }
  }
}

// Parameters were given but the run never started: the plug-in gets its finish when
// it is unloaded (the test keeps it mapped to read its log afterwards).
TEST_F(Harlok, FinishDueAtUnload) {
  setenv("KV_FAIL_MODE", "prepare", 1);
  TTestBitmap bmp(6, 5, true);
  EXPECT_EQ(RunWhole("fail", bmp), -30100);
  EXPECT_EQ(Selectors("fail"), "12");
  void* keep = dlopen(PluginPath("fail").c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(keep, nullptr);
  EXPECT_EQ(Describe(PluginPath("invert")), hrOk);
  EXPECT_EQ(Selectors("fail"), "5");
  dlclose(keep);
}

// A run refused before it reached the plug-in (empty rectangle, bad bitmap) or
// whose parameters were refused leaves nothing to repeat: a repeat then would hand
// the plug-in an empty record or one whose parameter handle was already freed.
TEST_F(Harlok, RefusedRunLeavesNothingToRepeat) {
  TTestBitmap bmp(8, 6, true);
  ASSERT_EQ(RunWhole("probe", bmp), hrOk) << Error;
  EXPECT_EQ(Selectors("probe"), "12345");
  FilterCallBlock empty = Block(bmp, 3, 3, 3, 5);
  EXPECT_EQ(Call(PluginPath("probe"), haRun, empty), -30100);
  EXPECT_EQ(RunWhole("probe", bmp, haRepeat), hrNothingToRepeat);
  bmp.Bmp.BitCount = 8;
  EXPECT_EQ(RunWhole("probe", bmp), -30100);
  bmp.Bmp.BitCount = 24;
  EXPECT_EQ(RunWhole("probe", bmp, haRepeat), hrNothingToRepeat);
  EXPECT_EQ(Selectors("probe"), "");
  setenv("KV_FAIL_MODE", "params", 1);
  EXPECT_EQ(RunWhole("fail", bmp), -128);
  EXPECT_EQ(RunWhole("fail", bmp, haRepeat), hrNothingToRepeat);
  EXPECT_EQ(Selectors("fail"), "1");
  // A refused repeat of a held run keeps it held.
  ASSERT_EQ(RunWhole("probe", bmp), hrOk) << Error;
  FilterCallBlock emptyRepeat = Block(bmp, 3, 3, 3, 5);
  EXPECT_EQ(Call(PluginPath("probe"), haRepeat, emptyRepeat), -30100);
  EXPECT_EQ(RunWhole("probe", bmp, haRepeat), hrOk) << Error;
  EXPECT_EQ(Selectors("probe"), "123452345");
}

TEST_F(Harlok, WritingOutsideTheBuffersIsCaught) {
  TTestBitmap bmp(8, 6, true);
  const auto before = bmp.Bytes;
  EXPECT_EQ(RunWhole("garbage", bmp), -1);
  EXPECT_NE(std::string(Error).find("outside"), std::string::npos) << Error;
  EXPECT_EQ(bmp.Bytes, before);
  EXPECT_EQ(RunWhole("garbage", bmp, haRepeat), -1);
  EXPECT_EQ(bmp.Bytes, before);
}

TEST_F(Harlok, BadBitmapOrRectangleIsRefused) {
  TTestBitmap bmp(8, 6, true);
  const auto before = bmp.Bytes;
  const int32_t rects[][4] = {{0, 0, 6, 9}, {0, 0, 7, 8}, {-1, 0, 6, 8}, {3, 3, 3, 5}, {4, 4, 2, 6}};
  for (const auto& r : rects) {
    FilterCallBlock b = Block(bmp, r[0], r[1], r[2], r[3]);
    EXPECT_EQ(Call(PluginPath("invert"), haRun, b), -30100) << r[0] << ' ' << r[1] << ' ' << r[2] << ' ' << r[3];
  }
  bmp.Bmp.RowBytes = 8 * 3 - 1;
  EXPECT_EQ(RunWhole("invert", bmp), -30100);
  EXPECT_EQ(bmp.Bytes, before);
}

// A held plug-in whose file was replaced is not repeated; describing reads the new file.
TEST_F(Harlok, ChangedFileIsDescribedAgain) {
  test::TScratchFolder folder("harlok-changed");
  const std::string dir = folder.Path() + "/";
  const std::string file = dir + "filter.8bf";
  std::filesystem::copy_file(PluginPath("invert"), file, std::filesystem::copy_options::overwrite_existing);
  TTestBitmap bmp(4, 3, true);
  FilterCallBlock b = Block(bmp, 0, 0, 3, 4);
  ASSERT_EQ(Call(file, haRun, b), hrOk);
  const auto after = bmp.Bytes;
  std::filesystem::copy_file(PluginPath("tiles"), dir + "new.8bf", std::filesystem::copy_options::overwrite_existing);
  std::filesystem::rename(dir + "new.8bf", file);
  EXPECT_EQ(Call(file, haRepeat, b), hrNothingToRepeat);
  EXPECT_EQ(bmp.Bytes, after);
  EXPECT_EQ(Describe(file), hrOk);
  EXPECT_STREQ(Name, "Tiles");
}

TEST_F(Harlok, AbortStopsTheRun) {
  TTestBitmap bmp(4, 3, true);
  const auto before = bmp.Bytes;
  GAbort = true;
  EXPECT_EQ(RunWhole("invert", bmp), -128);
  EXPECT_EQ(Selectors("invert"), "1235");
  EXPECT_EQ(bmp.Bytes, before);
}

}  // namespace
}  // namespace kv

// Acquisition from SANE's "test" device, compared with what scanimage scans
// from the same device with the same options.
#include <gtest/gtest.h>
#include <sane/saneopts.h>

#include <cstring>

#include "imaging/formats/io_params.h"
#include "imaging/formats/twain_options.h"
#include "imaging/formats/twain_params.h"
#include "platform/graphics/bitmap.h"
#include "support/netpbm_io.h"
#include "support/sane_test_env.h"

// SANE's test backend keeps buffers of cancelled and three-pass scans past
// sane_exit; its own leaks are not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libsane-test"; }

namespace kv {
namespace {

using namespace kv::test;

constexpr const char* kPattern = "--test-picture 'Color pattern' --resolution 50";

// scanimage's page as a P4 or 8-bit P6 bitmap.
bool Reference(const std::string& Options, TBitmap& B, const std::string& Name = "twain-ref") {
  const std::string raw = SaneScratch(Name + ".pnm"), conv = SaneScratch(Name + "-8.pnm");
  if (!ScanImage(Options, raw)) return false;
  if (ReadText(raw).substr(0, 2) == "P4") return ReadPnm(raw, B);
  if (test::Run("pamdepth 255 '" + raw + "' | ppmtoppm > '" + conv + "'") != 0) return false;
  return ReadPnm(conv, B);
}

void ExpectSameRaster(const TBitmap& A, const TBitmap& B) {
  ASSERT_EQ(A.PixelFormat(), B.PixelFormat());
  ASSERT_EQ(A.Width(), B.Width());
  ASSERT_EQ(A.Height(), B.Height());
  const bool bw = A.PixelFormat() == pf1bit;
  const size_t full = bw ? size_t(A.Width() / 8) : size_t(A.Width()) * 3;
  const uint8_t tail = bw && A.Width() % 8 ? uint8_t(0xFF00 >> (A.Width() % 8)) : 0;
  for (int32_t y = 0; y < A.Height(); ++y) {
    const auto* a = static_cast<const uint8_t*>(A.ScanLine(y));
    const auto* b = static_cast<const uint8_t*>(B.ScanLine(y));
    ASSERT_EQ(std::memcmp(a, b, full), 0) << "row " << y;
    if (tail) {
      ASSERT_EQ(a[full] & tail, b[full] & tail) << "row " << y;
    }
  }
}

class TwainAcquireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("scanimage") || !HaveTool("pamdepth")) GTEST_SKIP() << "scanimage or netpbm missing";
    UseSaneBackends("test");
    UnloadTwain(TwainManager());
  }
  void TearDown() override { UnloadTwain(TwainManager()); }
  TTwainManager& Mgr = TwainManager();
};

// Raw device options, every mode and depth scanimage can write, both transfers.
TEST_F(TwainAcquireTest, EveryModeAndDepthMatchesScanimage) {
  struct Case { const char* Mode; int Depth; bool ThreePass; bool Native; bool Hand; };
  const Case cases[] = {{"Gray", 1, false, false, false},  {"Gray", 8, false, false, false},
                        {"Gray", 16, false, true, false},  {"Color", 8, false, false, false},
                        {"Color", 16, false, false, false}, {"Color", 8, true, false, false},
                        {"Color", 8, false, true, false},  {"Gray", 8, false, false, true}};
  for (const Case& c : cases) {
    const std::string opts = std::string(kPattern) + " --mode " + c.Mode + " --depth " + std::to_string(c.Depth) +
                             (c.ThreePass ? " --three-pass=yes" : "") + " -x 37 -y 21" +
                             (c.Hand ? " --hand-scanner=yes" : "");
    SCOPED_TRACE(opts + (c.Native ? " native" : " memory"));
    TBitmap ref;
    ASSERT_TRUE(Reference(opts, ref));
    ASSERT_TRUE(LoadTwainManager(Mgr));
    TScanDevice dev(*Mgr.Session, "test:0");
    ASSERT_TRUE(dev.Opened());
    ASSERT_EQ(dev.SetString("test-picture", "Color pattern"), ssGood);
    ASSERT_EQ(dev.SetNumber(SANE_NAME_SCAN_RESOLUTION, 50), ssGood);
    ASSERT_EQ(dev.SetString(SANE_NAME_SCAN_MODE, c.Mode), ssGood);
    ASSERT_EQ(dev.SetNumber(SANE_NAME_BIT_DEPTH, c.Depth), ssGood);
    if (c.ThreePass) {
      ASSERT_EQ(dev.SetNumber("three-pass", 1), ssGood);
    }
    ASSERT_EQ(dev.SetNumber(SANE_NAME_SCAN_BR_X, 37), ssGood);
    ASSERT_EQ(dev.SetNumber(SANE_NAME_SCAN_BR_Y, 21), ssGood);
    if (c.Hand) {
      ASSERT_EQ(dev.SetNumber("hand-scanner", 1), ssGood);  // height known only at the end
    }
    TBitmap got;
    TProgressRec prog;
    int32_t last = -1;
    prog.OnProgress = [&](TObject*, int32_t per) { last = per; };
    TIOParamsVals io(nullptr);
    bool noDocs = true;
    ASSERT_TRUE(TwainTransferPage(dev, got, c.Native, prog, io, Mgr, noDocs)) << Mgr.ConditionText;
    EXPECT_FALSE(noDocs);
    ExpectSameRaster(got, ref);
    EXPECT_EQ(io.BitsPerSample, c.Depth == 1 ? 1 : 8);
    EXPECT_EQ(io.SamplesPerPixel, std::string(c.Mode) == "Color" ? 3 : 1);
    EXPECT_EQ(io.DpiX, 50);
    EXPECT_EQ(io.Width, got.Width());
    EXPECT_EQ(last, 100);
  }
}

TEST_F(TwainAcquireTest, ReadsCapabilitiesAndSelectsSources) {
  TIMTWainParams p;
  ASSERT_EQ(p.SourceList().size(), 2u);
  EXPECT_TRUE(p.SelectSourceByName("NONAME frontend-tester (test:1"));
  EXPECT_EQ(p.SelectedSource(), 1);
  EXPECT_TRUE(p.SelectSourceByName("noname"));
  EXPECT_EQ(p.SelectedSource(), 0);
  EXPECT_FALSE(p.SelectSourceByName("other"));
  EXPECT_EQ(p.GetDefaultSourceIndex(), 0);
  EXPECT_DOUBLE_EQ(p.XResolution().RangeMin(), 1);
  EXPECT_DOUBLE_EQ(p.XResolution().RangeMax(), 1200);
  EXPECT_TRUE(p.CapabilitiesValid);
  EXPECT_EQ(p.XResolution().Changed(), 0);
  EXPECT_GE(p.PixelType().IndexOf(TWPT_BW), 0);  // one-bit gray stands in for lineart
  EXPECT_GE(p.PixelType().IndexOf(TWPT_GRAY), 0);
  EXPECT_GE(p.PixelType().IndexOf(TWPT_RGB), 0);
  EXPECT_EQ(p.PixelType().CurrentValue(), TWPT_GRAY);
  EXPECT_NEAR(p.PhysicalWidth(), 200 / 25.4, 1e-9);
  EXPECT_EQ(p.Threshold(), 128);
  EXPECT_FALSE(p.FeederEnabled());
  EXPECT_DOUBLE_EQ(p.Gamma(), 2.2);
  EXPECT_EQ(p.XScaling().Count(), 1);
  // Without the acquire frame in use, no scan area is read.
  EXPECT_DOUBLE_EQ(p.AcquireFrame.Right, 0);
  p.UseAcquireFrame = true;
  p.SetSelectedSource(0);
  EXPECT_NEAR(p.AcquireFrame.Right, 80 / 25.4, 1e-4);
  EXPECT_NEAR(p.AcquireFrame.Bottom, 100 / 25.4, 1e-4);
}

// Pixel types, resolution and scan area as capabilities, through the whole call.
TEST_F(TwainAcquireTest, AcquiresPixelTypesAndScanArea) {
  struct Case { int32_t Type; const char* Options; };
  const Case cases[] = {{TWPT_BW, "--mode Gray --depth 1"},
                        {TWPT_GRAY, "--mode Gray --depth 8"},
                        {3, "--mode Color --depth 8"}};  // above RGB is sent as RGB
  for (const Case& c : cases) {
    for (const bool buffered : {true, false}) {
      SCOPED_TRACE(std::string(c.Options) + (buffered ? " memory" : " native"));
      TBitmap ref;
      ASSERT_TRUE(Reference(std::string(kPattern) + " " + c.Options + " -l 10 -t 5 -x 30 -y 20", ref));
      TIMTWainParams p;
      p.BufferedTransfer = buffered;
      p.PixelType().SetCurrentValue(c.Type);
      p.XResolution().SetCurrentValue(50);
      p.UseAcquireFrame = true;
      p.AcquireFrame = {10 / 25.4, 5 / 25.4, 40 / 25.4, 25 / 25.4};
      TBitmap got;
      TProgressRec prog;
      TIOParamsVals io(nullptr);
      // The pattern option is not a capability: the device keeps it for the session.
      {
        TScanDevice d(*TwainManager().Session, "test:0");
        ASSERT_EQ(d.SetString("test-picture", "Color pattern"), ssGood);
      }
      ASSERT_TRUE(TwainAcquire(&got, false, p, nullptr, Mgr, prog, io)) << Mgr.ConditionText;
      ExpectSameRaster(got, ref);
      EXPECT_EQ(io.DpiX, 50);
    }
  }
}

TEST_F(TwainAcquireTest, FeederGivesEveryPageThenStops) {
  const std::string dir = SaneScratch("batch");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  ASSERT_EQ(test::Run("cd '" + dir + "' && SANE_CONFIG_DIR='" + std::string(getenv("SANE_CONFIG_DIR")) +
                "' scanimage -d test:0 --format=pnm --source 'Automatic Document Feeder' --mode Color " + kPattern +
                " -x 20 -y 15 --batch=p%d.pnm >/dev/null 2>&1 || true"),
            0);
  int pages = 0;
  while (std::filesystem::exists(dir + "/p" + std::to_string(pages + 1) + ".pnm")) ++pages;
  ASSERT_GT(pages, 1);
  TIMTWainParams p(nullptr, /*MultiFrameOwner=*/true);
  EXPECT_TRUE(p.FFeederEnabled);
  p.PixelType().SetCurrentValue(TWPT_RGB);
  p.XResolution().SetCurrentValue(50);
  p.UseAcquireFrame = true;
  p.AcquireFrame = {0, 0, 20 / 25.4, 15 / 25.4};
  // Reading the capabilities took the source's flatbed setting: ask for the feeder now.
  EXPECT_FALSE(p.FeederEnabled());
  p.SetFeederEnabled(true);
  {
    TScanDevice d(*TwainManager().Session, "test:0");
    ASSERT_EQ(d.SetString("test-picture", "Color pattern"), ssGood);
  }
  std::vector<std::unique_ptr<TBitmap>> got;
  TProgressRec prog;
  TIOParamsVals io(nullptr);
  int data = 7;
  auto cb = [&](void* Data, TBitmap* B, TIOParamsVals& Io) {
    EXPECT_EQ(Data, &data);
    EXPECT_EQ(&Io, &io);
    got.push_back(std::make_unique<TBitmap>());
    got.back()->Assign(B);
  };
  ASSERT_TRUE(TwainAcquire(nullptr, false, p, nullptr, Mgr, prog, io, cb, &data)) << Mgr.ConditionText;
  ASSERT_EQ(int(got.size()), pages);
  EXPECT_TRUE(Mgr.ConditionText.empty());
  for (int i = 0; i < pages; ++i) {
    TBitmap ref;
    ASSERT_TRUE(ReadPnm(dir + "/p" + std::to_string(i + 1) + ".pnm", ref));
    ExpectSameRaster(*got[size_t(i)], ref);
  }
}

TEST_F(TwainAcquireTest, CancelledScansGiveNoImage) {
  // The device cancels: scanimage fails too, and so do we, without hanging.
  EXPECT_FALSE(ScanImage("--read-return-value SANE_STATUS_CANCELLED", SaneScratch("cancel.pnm")));
  ASSERT_TRUE(LoadTwainManager(Mgr));
  {
    TScanDevice dev(*Mgr.Session, "test:0");
    ASSERT_EQ(dev.SetString("read-return-value", "SANE_STATUS_CANCELLED"), ssGood);
    TBitmap b;
    TProgressRec prog;
    TIOParamsVals io(nullptr);
    bool noDocs = false;
    EXPECT_FALSE(TwainTransferPage(dev, b, false, prog, io, Mgr, noDocs));
    EXPECT_EQ(Mgr.ConditionCode, ssCancelled);
    ASSERT_EQ(dev.SetString("read-return-value", "Default"), ssGood);
  }
  // The user cancels through the aborted flag during the first strip.
  TIMTWainParams p;
  p.XResolution().SetCurrentValue(300);
  bool aborted = false;
  int calls = 0;
  TProgressRec prog;
  prog.Aborted = &aborted;
  prog.OnProgress = [&](TObject*, int32_t) { ++calls, aborted = true; };
  TBitmap b;
  TIOParamsVals io(nullptr);
  EXPECT_FALSE(TwainAcquire(&b, false, p, nullptr, Mgr, prog, io));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(Mgr.ConditionCode, ssCancelled);
}

TEST(TwainNoDevice, IsReportedNotSilent) {
  UseSaneBackends("");
  UnloadTwain(TwainManager());
  TTwainManager& mgr = TwainManager();
  std::vector<TW_IDENTITY> list;
  ListTwainSources(list, mgr);
  EXPECT_TRUE(list.empty());
  TIMTWainParams p;
  TBitmap b;
  TProgressRec prog;
  TIOParamsVals io(nullptr);
  EXPECT_FALSE(TwainAcquire(&b, true, p, nullptr, mgr, prog, io));
  EXPECT_EQ(mgr.ConditionText, kNoScannerText);
  EXPECT_FALSE(ExchangeTwainCapabilities(p, false, nullptr, mgr));
  std::string name = "x";
  EXPECT_FALSE(SelectTwainSourceDialog(name, mgr));
  EXPECT_EQ(name, "x");
  UnloadTwain(mgr);
}

}  // namespace
}  // namespace kv

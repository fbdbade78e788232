#include "platform/devices/sane_scanner.h"

#include <gtest/gtest.h>

#include "support/sane_test_env.h"

// SANE's test backend keeps some buffers past sane_exit; its leaks are not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libsane-test"; }

namespace kv {
namespace {

using namespace kv::test;

// Reads one whole frame; fails the test on anything but a clean end.
std::vector<uint8_t> ReadFrame(TScanDevice& D, TScanParameters& P) {
  std::vector<uint8_t> all;
  EXPECT_EQ(D.Start(), ssGood);
  EXPECT_EQ(D.Parameters(P), ssGood);
  uint8_t buf[4096];
  for (;;) {
    int32_t got = 0;
    const TScanStatus s = D.Read(buf, sizeof buf, got);
    all.insert(all.end(), buf, buf + got);
    if (s != ssGood) {
      EXPECT_EQ(s, ssEof);
      break;
    }
  }
  return all;
}

TEST(SaneScanner, ListsTheTestDevicesOnly) {
  UseSaneBackends("test");
  TScanSession S;
  ASSERT_TRUE(S.Ready());
  const auto devs = S.Devices();
  ASSERT_EQ(devs.size(), 2u);
  EXPECT_EQ(devs[0].Name, "test:0");
  EXPECT_EQ(devs[1].Name, "test:1");
}

TEST(SaneScanner, NoBackendsGiveNoDevicesAndOpenFails) {
  UseSaneBackends("");
  TScanSession S;
  EXPECT_TRUE(S.Devices().empty());
  TScanDevice D(S, "kvnosuchbackend:0");
  EXPECT_FALSE(D.Opened());
  EXPECT_NE(D.OpenStatus(), ssGood);
  double v = 0;
  EXPECT_FALSE(D.GetNumber("resolution", v));
  TScanParameters p;
  EXPECT_NE(D.Start(), ssGood);
  EXPECT_NE(D.Parameters(p), ssGood);
}

TEST(SaneScanner, OptionsReadAndWriteByName) {
  UseSaneBackends("test");
  TScanSession S;
  TScanDevice D(S, "test:0");
  ASSERT_TRUE(D.Opened());
  const TScanOption* res = D.Option("resolution");
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(res->Constraint, scRange);
  EXPECT_EQ(D.SetNumber("resolution", 75), ssGood);
  double v = 0;
  ASSERT_TRUE(D.GetNumber("resolution", v));
  EXPECT_DOUBLE_EQ(v, 75);
  EXPECT_EQ(D.SetString("mode", "Color"), ssGood);
  std::string mode;
  ASSERT_TRUE(D.GetString("mode", mode));
  EXPECT_EQ(mode, "Color");
  EXPECT_NE(D.SetString("mode", std::string(300, 'x')), ssGood);  // longer than the option
  EXPECT_NE(D.SetNumber("no-such-option", 1), ssGood);
  ASSERT_NE(D.Option("source"), nullptr);
  EXPECT_EQ(D.Option("source")->Strings.size(), 2u);
}

// The raw frame equals the raster scanimage writes for the same options.
TEST(SaneScanner, FrameBytesMatchScanimage) {
  if (!HaveTool("scanimage")) GTEST_SKIP() << "scanimage missing";
  UseSaneBackends("test");
  struct Case { const char* Mode; int Depth; };
  for (const Case c : {Case{"Gray", 8}, Case{"Color", 8}, Case{"Gray", 1}}) {
    SCOPED_TRACE(std::string(c.Mode) + " " + std::to_string(c.Depth));
    const std::string out = SaneScratch("raw.pnm");
    const std::string opts = std::string("--mode ") + c.Mode + " --depth " + std::to_string(c.Depth) +
                             " --resolution 50 --test-picture 'Color pattern' -x 30 -y 20";
    ASSERT_TRUE(ScanImage(opts, out));
    const std::vector<uint8_t> ref = ReadBytes(out);
    TScanSession S;
    TScanDevice D(S, "test:0");
    ASSERT_TRUE(D.Opened());
    ASSERT_EQ(D.SetString("mode", c.Mode), ssGood);
    ASSERT_EQ(D.SetNumber("depth", c.Depth), ssGood);
    ASSERT_EQ(D.SetNumber("resolution", 50), ssGood);
    ASSERT_EQ(D.SetString("test-picture", "Color pattern"), ssGood);
    ASSERT_EQ(D.SetNumber("br-x", 30), ssGood);
    ASSERT_EQ(D.SetNumber("br-y", 20), ssGood);
    TScanParameters p;
    const std::vector<uint8_t> raw = ReadFrame(D, p);
    ASSERT_EQ(raw.size(), size_t(p.BytesPerLine) * size_t(p.Lines));
    ASSERT_GE(ref.size(), raw.size());
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), ref.end() - std::ptrdiff_t(raw.size())));
  }
}

TEST(SaneScanner, ReadStatusOfTheDeviceEndsTheLoop) {
  UseSaneBackends("test");
  TScanSession S;
  TScanDevice D(S, "test:0");
  ASSERT_TRUE(D.Opened());
  ASSERT_EQ(D.SetString("read-return-value", "SANE_STATUS_CANCELLED"), ssGood);
  ASSERT_EQ(D.Start(), ssGood);
  uint8_t buf[256];
  int32_t got = 1;
  EXPECT_EQ(D.Read(buf, sizeof buf, got), ssCancelled);
  EXPECT_EQ(got, 0);
}

}  // namespace
}  // namespace kv

// The scanner parameters' explicit capability calls and the acquire frame
// by edge, against SANE's "test" device.
#include <gtest/gtest.h>

#include <utility>

#include "imaging/formats/twain_params.h"
#include "support/outside_tools.h"
#include "support/sane_test_env.h"

namespace kv {
namespace {

TEST(TwainCapabilities, AcquireFrameByEdge) {
  TIMTWainParams p;
  for (int32_t edge = 0; edge < 4; ++edge) p.SetAcquireFrame(edge, 1.5 + edge);
  p.SetAcquireFrame(4, 99);
  p.SetAcquireFrame(-1, 99);
  EXPECT_DOUBLE_EQ(p.AcquireFrame.Left, 1.5);
  EXPECT_DOUBLE_EQ(p.AcquireFrame.Top, 2.5);
  EXPECT_DOUBLE_EQ(p.AcquireFrame.Right, 3.5);
  EXPECT_DOUBLE_EQ(p.AcquireFrame.Bottom, 4.5);
  for (int32_t edge = 0; edge < 4; ++edge) EXPECT_DOUBLE_EQ(p.GetAcquireFrame(edge), 1.5 + edge);
  EXPECT_EQ(p.GetAcquireFrame(4), 0);
  EXPECT_EQ(p.GetAcquireFrame(-1), 0);
}

TEST(TwainCapabilities, AppliedValuesReadBackFromTheDevice) {
  if (!test::HaveTool("scanimage")) GTEST_SKIP() << "SANE missing";
  test::UseSaneBackends("test");
  UnloadTwain(TwainManager());
  TIMTWainParams p;
  ASSERT_TRUE(p.ReadCapabilities());
  EXPECT_TRUE(p.CapabilitiesValid);
  EXPECT_EQ(p.PixelType().CurrentValue(), TWPT_GRAY);
  p.XResolution().SetCurrentValue(75);
  p.PixelType().SetCurrentValue(TWPT_RGB);
  p.UseAcquireFrame = true;
  p.SetAcquireFrame(0, 10 / 25.4);
  p.SetAcquireFrame(1, 5 / 25.4);
  p.SetAcquireFrame(2, 40 / 25.4);
  p.SetAcquireFrame(3, 30 / 25.4);
  ASSERT_TRUE(p.ApplyCapabilities()) << TwainManager().ConditionText;
  // What the device took, read back in the same session.
  EXPECT_DOUBLE_EQ(p.XResolution().CurrentValue(), 75);
  EXPECT_EQ(p.XResolution().Changed(), 0);
  EXPECT_EQ(p.PixelType().CurrentValue(), TWPT_RGB);
  EXPECT_NEAR(p.GetAcquireFrame(0), 10 / 25.4, 1e-3);
  EXPECT_NEAR(p.GetAcquireFrame(3), 30 / 25.4, 1e-3);
  UnloadTwain(TwainManager());
}

// A paper size becomes the scan area; sizes the area cannot hold are not
// offered. Settings the device has no option for are taken and not sent.
TEST(TwainCapabilities, PaperSizeBecomesTheScanArea) {
  if (!test::HaveTool("scanimage")) GTEST_SKIP() << "SANE missing";
  test::UseSaneBackends("test");
  UnloadTwain(TwainManager());
  TIMTWainParams p;
  ASSERT_TRUE(p.ReadCapabilities());
  EXPECT_GE(p.SupportedSizes().IndexOf(13), 0);  // A6, 105 x 148 mm
  EXPECT_LT(p.SupportedSizes().IndexOf(1), 0);   // A4 is longer than the 200 mm the device reaches
  p.SupportedSizes().SetCurrentValue(13);
  p.Orientation().SetCurrentValue(1);
  p.XScaling().SetCurrentValue(2.0);
  ASSERT_TRUE(p.ApplyCapabilities()) << TwainManager().ConditionText;
  ASSERT_TRUE(LoadTwainManager(TwainManager()));
  TScanDevice dev(*TwainManager().Session, "test:0");
  double v = -1;
  for (auto [name, want] : {std::pair{"tl-x", 0.0}, {"tl-y", 0.0}, {"br-x", 105.0}, {"br-y", 148.0}}) {
    ASSERT_TRUE(dev.GetNumber(name, v)) << name;
    EXPECT_NEAR(v, want, 0.01) << name;
  }
}

}  // namespace
}  // namespace kv

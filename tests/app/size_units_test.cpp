// Lengths and resolutions in the user's units, against pixels.
#include <gtest/gtest.h>

#include "app/helpers/size_units.h"

namespace kv {
namespace {

TEST(SizeUnits, LengthsRoundTripThroughPixels) {
  EXPECT_NEAR(UnitToPixels(2, 0, 300, 10), 1181.1023622, 1e-6);
  EXPECT_NEAR(PixelsToUnit(2, 0, 300, UnitToPixels(2, 0, 300, 10)), 10, 1e-9);
  EXPECT_DOUBLE_EQ(UnitToPixels(7, 800, 300, 50), 400);   // percent of the base
  EXPECT_DOUBLE_EQ(UnitToPixels(5, 0, 144, 72), 144);     // points
  EXPECT_DOUBLE_EQ(UnitToPixels(6, 0, 300, 2, 3), 200);   // user unit of a third inch
  EXPECT_DOUBLE_EQ(UnitToPixels(8, 0, 300, 2), 0);
  // No resolution or no base: 0 rather than a division by zero.
  EXPECT_DOUBLE_EQ(PixelsToUnit(1, 0, 0, 500), 0);
  EXPECT_DOUBLE_EQ(PixelsToUnit(7, 0, 300, 500), 0);
  EXPECT_DOUBLE_EQ(PixelsToUnit(6, 0, 300, 500, 0), 0);
  EXPECT_EQ(LengthUnitName(6), "Benutzer");
  EXPECT_EQ(LengthUnitName(8), "");
}

TEST(SizeUnits, ResolutionsPerUnitLength) {
  EXPECT_DOUBLE_EQ(ResolutionUnitFactor(0, 254), 254);
  EXPECT_DOUBLE_EQ(ResolutionUnitFactor(1, 254), 100);
  EXPECT_DOUBLE_EQ(ResolutionUnitFactor(2, 254), 10);
  EXPECT_DOUBLE_EQ(ResolutionUnitFactor(3, 254), 10000);
  EXPECT_DOUBLE_EQ(ResolutionUnitFactor(4, 254), 0);
  EXPECT_DOUBLE_EQ(InchResolutionFromUnit(1, 100), 254);
  EXPECT_DOUBLE_EQ(InchResolutionFromUnit(9, 100), 0);
  EXPECT_EQ(ResolutionUnitName(0), "pixel/inch (dpi)");
}

}  // namespace
}  // namespace kv

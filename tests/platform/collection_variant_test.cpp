#include <gtest/gtest.h>

#include "platform/rtl/collection.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/variant.h"
#include "platform/ui/monitors.h"

namespace kv {
namespace {

class TItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  int32_t Value = 0;
  void Assign(const TPersistent* Source) override {
    if (auto* s = dynamic_cast<const TItem*>(Source)) Value = s->Value;
    else TCollectionItem::Assign(Source);
  }
};


TEST(Collection, ItemsMoveAreFreedAndNotifyOncePerUpdate) {
  TCollection c("TItem", [](TCollection* C) { return new TItem(C); });
  int updates = 0;
  c.OnUpdate = [&](TCollection*, TCollectionItem*) { ++updates; };
  c.BeginUpdate();
  auto* a = static_cast<TItem*>(c.Add());
  auto* b = static_cast<TItem*>(c.Add());
  c.EndUpdate();
  EXPECT_EQ(updates, 1);
  b->SetIndex(-5);  // clamped
  EXPECT_EQ(c.Items(0), b);
  EXPECT_EQ(a->Index(), 1);
  delete a;  // an item freed on its own leaves the list
  EXPECT_EQ(c.Count(), 1);
  EXPECT_THROW(c.Items(3), EListError);
  b->Value = 7;
  TCollection copy("TItem", [](TCollection* C) { return new TItem(C); });
  copy.Assign(&c);
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(static_cast<TItem*>(copy.Items(0))->Value, 7);
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
}

TEST(Variant, TextFormIsLocaleFree) {
  const char old = DecimalSeparator;
  DecimalSeparator = ',';
  EXPECT_EQ(TVariant(0.5).AsString(), "0.5");
  EXPECT_EQ(TVariant("2.25").AsFloat(), 2.25);
  DecimalSeparator = old;
  EXPECT_EQ(TVariant(int32_t(-3)).AsString(), "-3");
  EXPECT_EQ(TVariant(true).AsString(), "True");
  EXPECT_TRUE(TVariant("true").AsBoolean());
  EXPECT_TRUE(TVariant().IsEmpty());
  EXPECT_EQ(TVariant().AsString(), "");
  EXPECT_EQ(TVariant(" 12 ").AsInteger(), 12);
  EXPECT_THROW(TVariant("x").AsInteger(), EConvertError);
}

TEST(Monitors, APlacementOffEveryScreenComesBackOntoTheNearest) {
  SetMonitorRectsForTesting({Rect(0, 0, 800, 600), Rect(800, 0, 1600, 600)});
  EXPECT_EQ(BringOntoMonitor(Rect(10, 10, 110, 60)), Rect(10, 10, 110, 60));
  EXPECT_EQ(BringOntoMonitor(Rect(750, 10, 850, 60)), Rect(750, 10, 850, 60));  // partly on: the user reaches it
  EXPECT_EQ(BringOntoMonitor(Rect(-900, 100, -800, 150)), Rect(0, 100, 100, 150));
  EXPECT_EQ(BringOntoMonitor(Rect(2000, 900, 2100, 950)), Rect(1500, 550, 1600, 600));
  EXPECT_EQ(BringOntoMonitor(Rect(-5000, 0, -3000, 1000)), Rect(0, 0, 800, 600));  // larger than the screen
  SetMonitorRectsForTesting({});
}

}  // namespace
}  // namespace kv

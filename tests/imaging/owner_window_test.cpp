#include <gtest/gtest.h>

#include "imaging/model/im_utils.h"
#include "platform/ui/button.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"

namespace kv {
namespace {

TEST(OwnerWindowHandle, FirstWindowedOwnerDecides) {
  try {
    EnsureQtApplication();
  } catch (const EInvalidOperation&) {
    GTEST_SKIP() << "a Qt application without widgets exists in this process";
  }
  TForm form(nullptr);
  auto* plain = new TComponent(&form);
  auto* inner = new TComponent(plain);
  auto* unparented = new TButton(&form);  // owned by the form, but no window of its own
  auto* underButton = new TComponent(unparented);

  // Nothing has a window yet.
  EXPECT_EQ(OwnerWindowHandle(inner), 0u);
  EXPECT_FALSE(form.HandleAllocated());  // and asking made none

  form.HandleNeeded();
  EXPECT_EQ(OwnerWindowHandle(inner), form.Handle());
  EXPECT_EQ(OwnerWindowHandle(plain), form.Handle());
  EXPECT_EQ(OwnerWindowHandle(&form), form.Handle());
  // The walk stops at the first windowed control, whose window is not made.
  EXPECT_EQ(OwnerWindowHandle(underButton), 0u);
  EXPECT_FALSE(unparented->HandleAllocated());

  TComponent orphan(nullptr);
  EXPECT_EQ(OwnerWindowHandle(&orphan), 0u);
  EXPECT_EQ(OwnerWindowHandle(nullptr), 0u);
}

}  // namespace
}  // namespace kv

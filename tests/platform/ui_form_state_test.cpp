// A top-level form shown for the first time in the state it was given: it is
// mapped in that state, and a later change of state still reaches the window.
#include <QtWidgets/QWidget>
#include <gtest/gtest.h>

#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {
namespace {

TEST(FormFirstShowState, MappedInTheStateItWasGiven) {
  EnsureQtApplication();
  struct TCase {
    TWindowState State;
    Qt::WindowState Expected;
  };
  for (const TCase& c : {TCase{wsMaximized, Qt::WindowMaximized}, TCase{wsMinimized, Qt::WindowMinimized},
                         TCase{wsNormal, Qt::WindowNoState}}) {
    SCOPED_TRACE(int(c.State));
    TForm f(nullptr);
    f.SetBounds(10, 10, 300, 200);
    f.SetWindowState(c.State);
    f.Show();
    Application->ProcessMessages();
    QWidget* w = PeerWidget(&f);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized), c.Expected);
    EXPECT_EQ(f.WindowState(), c.State);
    // Back to normal once shown: the window follows.
    f.SetWindowState(wsNormal);
    Application->ProcessMessages();
    EXPECT_EQ(w->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized), Qt::WindowNoState);
  }
}

}  // namespace
}  // namespace kv

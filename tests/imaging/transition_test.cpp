#include "imaging/views/transition_effects.h"

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/processing/transition_frames.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/random.h"
#include "platform/rtl/ticks.h"
#include "platform/ui/timer.h"
#include "support/bitmap_patterns.h"
#include "test_view.h"

namespace kv {
namespace {

// Two different pictures, so that every pixel tells where it came from.
struct TPair {
  TBitmap From, To, Frame;
  TPair(int32_t W, int32_t H) : From(W, H, pf24bit), To(W, H, pf24bit), Frame(W, H, pf24bit) {
    for (int32_t y = 0; y < H; ++y) {
      auto* a = static_cast<uint8_t*>(From.ScanLine(y));
      auto* b = static_cast<uint8_t*>(To.ScanLine(y));
      for (int32_t i = 0; i < W * 3; ++i) {
        a[i] = uint8_t(10 + (i + y) % 90);
        b[i] = uint8_t(140 + (i * 7 + y) % 100);
      }
      std::memset(Frame.ScanLine(y), 0x55, size_t(W) * 3);
    }
  }
};

bool SameRows(const TBitmap& A, const TBitmap& B) {
  for (int32_t y = 0; y < A.Height(); ++y)
    if (std::memcmp(A.ScanLine(y), B.ScanLine(y), size_t(A.Width()) * 3) != 0) return false;
  return true;
}

bool AllColour(const TBitmap& A, uint8_t B, uint8_t G, uint8_t R) {
  for (int32_t y = 0; y < A.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(A.ScanLine(y));
    for (int32_t x = 0; x < A.Width(); ++x)
      if (row[x * 3] != B || row[x * 3 + 1] != G || row[x * 3 + 2] != R) return false;
  }
  return true;
}

constexpr TColor kBackground = 0x203040;  // red 0x40, green 0x30, blue 0x20

// Every effect starts at the old picture and ends at the new one, apart from
// those whose rule says otherwise: the fades through the background, the red
// line of the wipes, which stands at column or row 0 at the start (left to
// right, up to down) or at the end (right to left, down to up), and
// the random effects, which need not have covered every pixel.
TEST(TransitionFrames, StartAtFromEndAtTo) {
  for (int32_t t = imttCrossDissolve; t < kTransitionCount; ++t) {
    const auto type = static_cast<TIMTransitionType>(t);
    for (auto [w, h] : {std::pair{17, 9}, std::pair{64, 48}}) {
      TPair px(w, h);
      int32_t last = 0;
      DrawTransitionFrame(type, 0, px.From, px.To, px.Frame, kBackground, last);
      if (type == imttFadeIn) {
        EXPECT_TRUE(AllColour(px.Frame, 0x20, 0x30, 0x40));
      } else if (type != imttLeftRight2 && type != imttUpDown2) {
        EXPECT_TRUE(SameRows(px.Frame, px.From)) << t << ' ' << w;
      }
      for (int32_t p = 37; p < kTransitionFull; p += 97)
        DrawTransitionFrame(type, p, px.From, px.To, px.Frame, kBackground, last);
      DrawTransitionFrame(type, kTransitionFull, px.From, px.To, px.Frame, kBackground, last);
      if (type == imttFadeOut) {
        EXPECT_TRUE(AllColour(px.Frame, 0x20, 0x30, 0x40));
      } else if (type != imttRightLeft2 && type != imttDownUp2 && type != imttRandomPoints &&
                 type != imttRandomBoxes) {
        EXPECT_TRUE(SameRows(px.Frame, px.To)) << t << ' ' << w;
      }
    }
  }
}

// Under the address sanitizer: no effect touches memory outside the picture at
// any progress, odd and one-pixel sizes included.
TEST(TransitionFrames, EveryProgressStaysInside) {
  RandSeed = 7;
  for (int32_t t = imttNone; t < kTransitionCount; ++t)
    for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 7}, std::pair{7, 1}, std::pair{13, 11}, std::pair{9, 16}}) {
      TPair px(w, h);
      int32_t last = 0;
      for (int32_t p = 0; p <= kTransitionFull; ++p)
        DrawTransitionFrame(static_cast<TIMTransitionType>(t), p, px.From, px.To, px.Frame, kBackground, last);
    }
}

TEST(TransitionFrames, RulesAtChosenProgress) {
  TPair px(40, 20);
  int32_t last = 0;
  DrawTransitionFrame(imttFadeOutIn, 512, px.From, px.To, px.Frame, kBackground, last);
  EXPECT_TRUE(AllColour(px.Frame, 0x20, 0x30, 0x40));

  // A half cross-dissolve: (from * 512 + to * 512) shr 10 in every channel.
  DrawTransitionFrame(imttCrossDissolve, 512, px.From, px.To, px.Frame, kBackground, last);
  const auto* f = static_cast<const uint8_t*>(px.From.ScanLine(3));
  const auto* t = static_cast<const uint8_t*>(px.To.ScanLine(3));
  const auto* o = static_cast<const uint8_t*>(px.Frame.ScanLine(3));
  for (int i = 0; i < 40 * 3; ++i) EXPECT_EQ(o[i], (f[i] * 512 + t[i] * 512) >> 10) << i;

  // Left to right at a quarter: columns 0..9 are new, the red line stands at 10.
  DrawTransitionFrame(imttLeftRight2, 0, px.From, px.To, px.Frame, kBackground, last);
  DrawTransitionFrame(imttLeftRight2, 256, px.From, px.To, px.Frame, kBackground, last);
  for (int32_t y = 0; y < 20; ++y) {
    const auto* row = static_cast<const uint8_t*>(px.Frame.ScanLine(y));
    EXPECT_EQ(std::memcmp(row, px.To.ScanLine(y), 30), 0);
    EXPECT_EQ(row[30], 0);
    EXPECT_EQ(row[31], 0);
    EXPECT_EQ(row[32], 255);
    EXPECT_EQ(std::memcmp(row + 33, static_cast<const uint8_t*>(px.From.ScanLine(y)) + 33, 40 * 3 - 33), 0);
  }

  // Moving up to down at a quarter: rows 0..4 are the last five rows of to.
  DrawTransitionFrame(imttMoveUpDown1, 256, px.From, px.To, px.Frame, kBackground, last);
  for (int32_t y = 0; y < 5; ++y) EXPECT_EQ(std::memcmp(px.Frame.ScanLine(y), px.To.ScanLine(15 + y), 120), 0);
  for (int32_t y = 5; y < 20; ++y) EXPECT_EQ(std::memcmp(px.Frame.ScanLine(y), px.From.ScanLine(y - 5), 120), 0);

  // The random effects count what they have drawn.
  RandSeed = 1;
  last = 0;
  DrawTransitionFrame(imttRandomBoxes, 0, px.From, px.To, px.Frame, kBackground, last);
  DrawTransitionFrame(imttRandomBoxes, 600, px.From, px.To, px.Frame, kBackground, last);
  EXPECT_EQ(last, Round32(600.0 * (800 / 64) * (600 / 180.0) / 1024.0));
}

uint32_t gNow = 0;
uint32_t FakeTicks() { return gNow; }

struct TFakeClock {
  TFakeClock() { SetTickSource(&FakeTicks), gNow = 5000; }
  ~TFakeClock() { SetTickSource(nullptr); }
};

TEST(TransitionEffects, RunStepStop) {
  TFakeClock clock;
  test::TTestView view(nullptr, 32, 24);
  TIMTransitionEffects fx(&view);
  EXPECT_EQ(fx.Width(), 1);
  EXPECT_FALSE(fx.Timer().Enabled());
  EXPECT_EQ(fx.Timer().Interval(), 1u);

  fx.Run(true);  // imttNone
  EXPECT_FALSE(fx.Running());
  fx.Transition = imttCrossDissolve;
  fx.Run(true);  // a 1 x 1 work size does not start
  EXPECT_FALSE(fx.Running());
  EXPECT_EQ(view.PaintLock, 0);

  fx.SetSizes(32, 24);
  TPair px(32, 24);
  fx.FromBitmap().Assign(&px.From);
  fx.ToBitmap().Assign(&px.To);
  fx.Run(true);
  EXPECT_TRUE(fx.Running());
  EXPECT_TRUE(fx.Timer().Enabled());
  EXPECT_EQ(view.PaintLock, 1);

  fx.Step();  // the first frame is drawn at progress 0
  EXPECT_TRUE(SameRows(fx.FrameBitmap(), px.From));
  EXPECT_EQ(view.TransitionFrame(), &fx.FrameBitmap());
  gNow += 500;
  fx.Step();
  EXPECT_EQ(fx.Progress(), 512);
  gNow += 499;
  fx.Step();
  EXPECT_TRUE(fx.Running());
  gNow += 1;
  fx.Step();  // the first step at or after the duration ends it
  EXPECT_FALSE(fx.Running());
  EXPECT_EQ(fx.StepCount(), 4);
  EXPECT_FALSE(fx.Timer().Enabled());
  EXPECT_EQ(view.PaintLock, 0);
  EXPECT_EQ(view.TransitionFrame(), nullptr);
  EXPECT_EQ(fx.Width(), 1);
}

// Keeps a copy of every frame it is shown.
class TFrameView : public test::TTestView {
 public:
  using TTestView::TTestView;
  void ShowTransitionFrame(const TBitmap* Frame) override {
    if (Frame) Shown.Assign(Frame);
    TTestView::ShowTransitionFrame(Frame);
  }
  TBitmap Shown;
};

TEST(TransitionEffects, ZeroDurationShowsTheNewPicture) {
  TFakeClock clock;
  TFrameView view(nullptr, 16, 8);
  TIMTransitionEffects fx(&view);
  fx.Transition = imttLeftRight1;
  fx.Duration = 0;
  fx.SetSizes(16, 8);
  TPair px(16, 8);
  fx.FromBitmap().Assign(&px.From);
  fx.ToBitmap().Assign(&px.To);
  fx.Run(false);
  fx.Step();
  EXPECT_TRUE(SameRows(view.Shown, px.To));
  EXPECT_FALSE(fx.Running());
  EXPECT_EQ(view.PaintLock, 0);
}

TEST(TransitionEffects, RunAgainRestartsAndSizeStops) {
  TFakeClock clock;
  test::TTestView view(nullptr, 16, 8);
  TIMTransitionEffects fx(&view);
  fx.Transition = imttCenter1;
  fx.SetSizes(16, 8);
  fx.Run(true);
  gNow += 300;
  fx.Step();
  fx.Step();
  EXPECT_GT(fx.Progress(), 0);
  fx.Run(true);  // restarts from 0 without taking a second paint lock
  EXPECT_EQ(fx.Progress(), 0);
  EXPECT_EQ(view.PaintLock, 1);
  fx.SetSizes(20, 10);
  EXPECT_FALSE(fx.Running());
  EXPECT_EQ(view.PaintLock, 0);
  EXPECT_EQ(fx.Width(), 20);
}

}  // namespace
}  // namespace kv

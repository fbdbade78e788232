// The cursors of the image views, drawn here as small line pictures: a black
// line with a white rim, so that each shows on dark and light pictures.
#include <cmath>
#include <cstdlib>

#include "imaging/views/imager_view.h"
#include "platform/ui/cursors.h"

namespace kv {

namespace {

class TCursorPainter {
 public:
  TCursorPainter() {
    for (auto& b : FMasks.AndMask) b = 0xFF;
  }
  // A black line with a white rim.
  void Line(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    Walk(X1, Y1, X2, Y2, [this](int32_t x, int32_t y) {
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) Plot(x + dx, y + dy, true, false);
    });
    Walk(X1, Y1, X2, Y2, [this](int32_t x, int32_t y) { Plot(x, y, false, true); });
  }
  void Circle(int32_t CX, int32_t CY, int32_t R) {
    for (int32_t a = 0; a < 64; ++a) {
      const double t1 = a * 2 * 3.14159265358979 / 64, t2 = (a + 1) * 2 * 3.14159265358979 / 64;
      Line(CX + int32_t(std::lround(R * std::cos(t1))), CY + int32_t(std::lround(R * std::sin(t1))),
           CX + int32_t(std::lround(R * std::cos(t2))), CY + int32_t(std::lround(R * std::sin(t2))));
    }
  }
  void Arrow(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    Line(X1, Y1, X2, Y2);
    const double a = std::atan2(Y2 - Y1, X2 - X1);
    for (double d : {2.5, -2.5})
      Line(X2, Y2, X2 - int32_t(std::lround(5 * std::cos(a + d / 3))), Y2 - int32_t(std::lround(5 * std::sin(a + d / 3))));
  }
  const TCursorMasks& Masks() const { return FMasks; }

 private:
  template <typename F>
  static void Walk(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, F Fn) {
    const int32_t n = std::max(std::abs(X2 - X1), std::abs(Y2 - Y1));
    for (int32_t i = 0; i <= n; ++i)
      Fn(X1 + (n ? (X2 - X1) * i / n : 0), Y1 + (n ? (Y2 - Y1) * i / n : 0));
  }
  // Rim pixels become white unless already black; core pixels black.
  void Plot(int32_t X, int32_t Y, bool Rim, bool Core) {
    if (X < 0 || Y < 0 || X >= 32 || Y >= 32) return;
    const int32_t byte = Y * 4 + X / 8;
    const uint8_t bit = static_cast<uint8_t>(0x80 >> (X % 8));
    const bool black = !(FMasks.AndMask[byte] & bit) && !(FMasks.XorMask[byte] & bit);
    FMasks.AndMask[byte] &= static_cast<uint8_t>(~bit);
    if (Core) FMasks.XorMask[byte] &= static_cast<uint8_t>(~bit);
    else if (Rim && !black) FMasks.XorMask[byte] |= bit;
  }
  TCursorMasks FMasks;
};

void Cross(TCursorPainter& P, int32_t Gap) {
  P.Line(15, 3, 15, 15 - Gap);
  P.Line(15, 15 + Gap, 15, 27);
  P.Line(3, 15, 15 - Gap, 15);
  P.Line(15 + Gap, 15, 27, 15);
}

void Sign(TCursorPainter& P, bool Plus) {
  P.Line(22, 25, 28, 25);
  if (Plus) P.Line(25, 22, 25, 28);
}

}  // namespace

void LoadViewCursors() {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  auto reg = [](TCursor Id, int32_t HX, int32_t HY, auto Draw) {
    TCursorPainter p;
    Draw(p);
    RegisterCursor(Id, p.Masks(), HX, HY);
  };
  auto magnifier = [](TCursorPainter& p, bool Plus) {
    p.Circle(11, 11, 8);
    p.Line(17, 17, 27, 27);
    p.Line(7, 11, 15, 11);
    if (Plus) p.Line(11, 7, 11, 15);
  };
  reg(crIMZoomOut, 11, 11, [&](TCursorPainter& p) { magnifier(p, false); });
  reg(crIMZoomIn, 11, 11, [&](TCursorPainter& p) { magnifier(p, true); });
  reg(crIMCross, 15, 15, [](TCursorPainter& p) { Cross(p, 0); });
  reg(crIMEraser, 4, 27, [](TCursorPainter& p) {
    p.Line(4, 27, 20, 11);
    p.Line(20, 11, 27, 18);
    p.Line(27, 18, 11, 27);
    p.Line(11, 27, 4, 27);
  });
  reg(crIMHand, 15, 15, [](TCursorPainter& p) {
    for (int32_t x : {9, 13, 17, 21}) p.Line(x, 6, x, 16);
    p.Line(6, 14, 9, 22);
    p.Line(9, 22, 12, 27);
    p.Line(12, 27, 21, 27);
    p.Line(21, 27, 24, 20);
    p.Line(24, 20, 21, 12);
  });
  reg(crIMPen, 3, 28, [](TCursorPainter& p) {
    p.Line(3, 28, 6, 21);
    p.Line(6, 21, 22, 5);
    p.Line(22, 5, 26, 9);
    p.Line(26, 9, 10, 25);
    p.Line(10, 25, 3, 28);
  });
  reg(crIMCross1, 15, 15, [](TCursorPainter& p) { Cross(p, 2); });
  reg(crIMCross3, 15, 15, [](TCursorPainter& p) { Cross(p, 3); });
  reg(crIMMove2, 15, 15, [](TCursorPainter& p) {
    p.Arrow(15, 15, 6, 6);
    p.Arrow(15, 15, 24, 24);
  });
  reg(crIMMoveY, 15, 15, [](TCursorPainter& p) {
    p.Arrow(15, 15, 15, 4);
    p.Arrow(15, 15, 15, 26);
  });
  reg(crIMMove1, 15, 15, [](TCursorPainter& p) {
    p.Arrow(15, 15, 24, 6);
    p.Arrow(15, 15, 6, 24);
  });
  reg(crIMMoveX, 15, 15, [](TCursorPainter& p) {
    p.Arrow(15, 15, 4, 15);
    p.Arrow(15, 15, 26, 15);
  });
  reg(crIMMove, 15, 15, [](TCursorPainter& p) {
    p.Arrow(15, 15, 15, 4);
    p.Arrow(15, 15, 15, 26);
    p.Arrow(15, 15, 4, 15);
    p.Arrow(15, 15, 26, 15);
  });
  reg(crIMCross3Plus, 15, 15, [](TCursorPainter& p) {
    Cross(p, 3);
    Sign(p, true);
  });
  reg(crIMCross3Minus, 15, 15, [](TCursorPainter& p) {
    Cross(p, 3);
    Sign(p, false);
  });
  reg(crIMCross2, 15, 15, [](TCursorPainter& p) {
    Cross(p, 3);
    p.Line(12, 12, 18, 18);
  });
  reg(crIMCross2Plus, 15, 15, [](TCursorPainter& p) {
    Cross(p, 3);
    p.Line(12, 12, 18, 18);
    Sign(p, true);
  });
  reg(crIMCross2Minus, 15, 15, [](TCursorPainter& p) {
    Cross(p, 3);
    p.Line(12, 12, 18, 18);
    Sign(p, false);
  });
}

}  // namespace kv

#include "imaging/processing/ff_eval.h"

#include <algorithm>

#include "imaging/processing/ff_ops.h"
#include "imaging/processing/row_strips.h"
#include "platform/rtl/random.h"

namespace kv {

std::array<int32_t, 256>& FFMemory() {
  static std::array<int32_t, 256> cells{};
  return cells;
}

namespace {

using namespace ff;

constexpr int32_t kBlock = 256;                 // pixels per instruction
constexpr size_t kMaxRegisterBytes = 16u << 20;  // a formula of many registers runs in smaller blocks

inline int32_t SrcAt(const TFFRunContext& C, int32_t x, int32_t y, int32_t z) {
  if (C.Scaled) {
    x = Round32(x * C.Scale);
    y = Round32(y * C.Scale);
  }
  if (uint32_t(x) >= uint32_t(C.Width) || uint32_t(y) >= uint32_t(C.Height)) return 0;
  if (z == 3) return 255;
  if (uint32_t(z) > 2) return 0;
  return C.Rows[size_t(y)][size_t(x) * 3 + size_t(2 - z)];  // rows hold blue, green, red
}

template <class F> inline void Lanes1(int32_t N, int32_t* d, const int32_t* a, F f) {
  for (int32_t i = 0; i < N; ++i) d[i] = f(a[i]);
}
template <class F> inline void Lanes2(int32_t N, int32_t* d, const int32_t* a, const int32_t* b, F f) {
  for (int32_t i = 0; i < N; ++i) d[i] = f(a[i], b[i]);
}
template <class F>
inline void Lanes3(int32_t N, int32_t* d, const int32_t* a, const int32_t* b, const int32_t* c, F f) {
  for (int32_t i = 0; i < N; ++i) d[i] = f(a[i], b[i], c[i]);
}

}  // namespace

void FFExecute(const std::vector<TFFInstr>& Code, int32_t* Regs, int32_t Lanes, int32_t N,
               const TFFRunContext& Ctx) {
  auto R = [&](uint16_t k) { return Regs + size_t(k) * size_t(Lanes); };
  const size_t count = Code.size();
  for (size_t pc = 0; pc < count; ++pc) {
    const TFFInstr& in = Code[pc];
    int32_t* d = R(in.Dst);
    const int32_t* a = R(in.A[0]);
    const int32_t* b = R(in.A[1]);
    const int32_t* c = R(in.A[2]);
    const int32_t k = in.Imm;
    switch (in.Op) {
      case fcAdd: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Add(x, y); }); break;
      case fcSub: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Sub(x, y); }); break;
      case fcMul: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Mul(x, y); }); break;
      case fcDiv: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Div(x, y); }); break;
      case fcMod: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Mod(x, y); }); break;
      case fcShl: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Shl(x, y); }); break;
      case fcShr: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Shr(x, y); }); break;
      case fcAnd: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return x & y; }); break;
      case fcOr: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return x | y; }); break;
      case fcXor: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return x ^ y; }); break;
      case fcEq: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Truth(x == y); }); break;
      case fcNe: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Truth(x != y); }); break;
      case fcGt: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Truth(x > y); }); break;
      case fcLt: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Truth(x < y); }); break;
      case fcGe: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Truth(x >= y); }); break;
      case fcLe: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Truth(x <= y); }); break;
      case fcLAnd: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Truth((x > 0) & (y > 0)); }); break;
      case fcLOr: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Truth((x > 0) | (y > 0)); }); break;
      case fcAddI: Lanes1(N, d, a, [k](int32_t x) { return Add(x, k); }); break;
      case fcMulI: Lanes1(N, d, a, [k](int32_t x) { return Mul(x, k); }); break;
      case fcDivI: {  // k is neither 0 nor -1
        const TConstDivisor div(k);
        Lanes1(N, d, a, [div](int32_t x) { return DivConst(x, div); });
        break;
      }
      case fcShlI: Lanes1(N, d, a, [k](int32_t x) { return Shl(x, k); }); break;
      case fcShrI: Lanes1(N, d, a, [k](int32_t x) { return Shr(x, k); }); break;
      case fcAndI: Lanes1(N, d, a, [k](int32_t x) { return x & k; }); break;
      case fcNot: Lanes1(N, d, a, [](int32_t x) { return Truth(x == 0); }); break;
      case fcBitNot: Lanes1(N, d, a, [](int32_t x) { return ~x; }); break;
      case fcSelect: Lanes3(N, d, a, b, c, [](int32_t x, int32_t y, int32_t z) { return x > 0 ? y : z; }); break;
      case fcAbs: Lanes1(N, d, a, [](int32_t x) { return Abs(x); }); break;
      case fcAdd3: Lanes3(N, d, a, b, c, [](int32_t x, int32_t y, int32_t z) { return Add3(x, y, z); }); break;
      case fcSub3: Lanes3(N, d, a, b, c, [](int32_t x, int32_t y, int32_t z) { return Sub3(x, y, z); }); break;
      case fcDif: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return Dif(x, y); }); break;
      case fcMax: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return std::max(x, y); }); break;
      case fcMin: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return std::min(x, y); }); break;
      case fcMix: {
        const int32_t* e = R(in.A[3]);
        for (int32_t i = 0; i < N; ++i) d[i] = Mix(a[i], b[i], c[i], e[i]);
        break;
      }
      case fcScl: {
        const int32_t* e = R(in.A[3]);
        const int32_t* f = R(in.A[4]);
        for (int32_t i = 0; i < N; ++i) d[i] = Scl(a[i], b[i], c[i], e[i], f[i]);
        break;
      }
      case fcSqr: Lanes1(N, d, a, [](int32_t x) { return Sqr(x); }); break;
      case fcCtl: Lanes1(N, d, a, [&](int32_t x) { return Ctl(Ctx.Ctl, x); }); break;
      case fcVal: Lanes3(N, d, a, b, c, [&](int32_t x, int32_t y, int32_t z) { return Val(Ctx.Ctl, x, y, z); }); break;
      case fcMap: Lanes2(N, d, a, b, [&](int32_t x, int32_t y) { return Map(Ctx.Ctl, x, y); }); break;
      case fcGet:
        Lanes1(N, d, a, [&](int32_t x) { return uint32_t(x) < 256 ? Ctx.Memory[x] : 0; });
        break;
      case fcPut:
        for (int32_t i = 0; i < N; ++i) {
          if (uint32_t(b[i]) < 256) Ctx.Memory[b[i]] = a[i];
          d[i] = a[i];
        }
        break;
      case fcRnd:
        for (int32_t i = 0; i < N; ++i) d[i] = Add(a[i], Random(Abs(Add(Sub(b[i], a[i]), 1))));
        break;
      case fcSrc: Lanes3(N, d, a, b, c, [&](int32_t x, int32_t y, int32_t z) { return SrcAt(Ctx, x, y, z); }); break;
      case fcCnv: {
        const int32_t* m[10];
        for (int j = 0; j < 10; ++j) m[j] = R(in.A[j]);
        const int32_t* xs = R(frX);
        const int32_t* ys = R(frY);
        // Inside the picture, at full size and in a colour channel, the nine
        // pixels are read straight from three rows; the sum wraps the same way
        // in unsigned arithmetic.
        const bool direct = !Ctx.Scaled && uint32_t(k) <= 2;
        for (int32_t i = 0; i < N; ++i) {
          const int32_t x = xs[i], y = ys[i];
          int32_t sum = 0;
          if (direct && x >= 1 && y >= 1 && x < Ctx.Width - 1 && y < Ctx.Height - 1) {
            uint32_t u = 0;
            for (int j = 0; j < 3; ++j) {
              const uint8_t* p = Ctx.Rows[size_t(y - 1 + j)] + size_t(x - 1) * 3 + size_t(2 - k);
              u += uint32_t(p[0]) * uint32_t(m[3 * j][i]) + uint32_t(p[3]) * uint32_t(m[3 * j + 1][i]) +
                   uint32_t(p[6]) * uint32_t(m[3 * j + 2][i]);
            }
            sum = int32_t(u);
          } else {
            for (int j = 0; j < 9; ++j)
              sum = Add(sum, Mul(SrcAt(Ctx, Add(x, j % 3 - 1), Add(y, j / 3 - 1), k), m[j][i]));
          }
          d[i] = Div(sum, m[9][i]);
        }
        break;
      }
      case fcC2d: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return C2d(x, y); }); break;
      case fcC2m: Lanes2(N, d, a, b, [](int32_t x, int32_t y) { return C2m(x, y); }); break;
      case fcCos: Lanes1(N, d, a, [](int32_t x) { return Cos(x); }); break;
      case fcSin: Lanes1(N, d, a, [](int32_t x) { return Sin(x); }); break;
      case fcTan: Lanes1(N, d, a, [](int32_t x) { return Tan(x); }); break;
      case fcR2x: Lanes2(N, d, a, b, [k](int32_t x, int32_t y) { return R2x(x, y, k); }); break;
      case fcR2y: Lanes2(N, d, a, b, [k](int32_t x, int32_t y) { return R2y(x, y, k); }); break;
      case fcOpI: Lanes3(N, d, a, b, c, [](int32_t x, int32_t y, int32_t z) { return OperandI(x, y, z); }); break;
      case fcOpU: Lanes3(N, d, a, b, c, [](int32_t x, int32_t y, int32_t z) { return OperandU(x, y, z); }); break;
      case fcOpV: Lanes3(N, d, a, b, c, [](int32_t x, int32_t y, int32_t z) { return OperandV(x, y, z); }); break;
      case fcOpD: {
        const int32_t k2 = in.Imm2;
        Lanes2(N, d, a, b, [k, k2](int32_t x, int32_t y) { return C2d(Sub(x, k), Sub(y, k2)); });
        break;
      }
      case fcOpM: {
        const int32_t k2 = in.Imm2;
        Lanes2(N, d, a, b, [k, k2](int32_t x, int32_t y) { return C2m(Sub(x, k), Sub(y, k2)); });
        break;
      }
      case fcMov: std::copy(a, a + N, d); break;
      case fcJump: pc = size_t(k) - 1; break;
      case fcJumpLE0:
        if (a[0] <= 0) pc = size_t(k) - 1;
        break;
      default: break;
    }
  }
}

int32_t FFCheckFormula(std::string_view Formula) {
  TFFTree tree;
  return FFParseFormula(Formula, tree);
}

int32_t FFRunFilter(const std::array<std::string, 3>& Formulas, const int32_t* Controls, const TBitmap& Source,
                    TBitmap& Target, TProgressRec& Progress, const TRect& Rect, double Scale) {
  TFFRunContext ctx;
  ctx.Width = Source.Width();
  ctx.Height = Source.Height();
  ctx.Scaled = Scale > 0 && Scale != 1.0 && std::isfinite(Scale);
  ctx.Scale = ctx.Scaled ? Scale : 1.0;
  std::copy(Controls, Controls + 8, ctx.Ctl);
  ctx.Memory = FFMemory().data();

  TFFConstants constants;
  std::copy(Controls, Controls + 8, constants.Ctl);
  constants.X = ctx.Scaled ? Round32(ctx.Width / ctx.Scale) : ctx.Width;
  constants.Y = ctx.Scaled ? Round32(ctx.Height / ctx.Scale) : ctx.Height;

  TFFTree trees[3];
  for (int k = 0; k < 3; ++k) {
    if (const int32_t err = FFParseFormula(Formulas[size_t(k)], trees[k])) return err;
    constants.Channel = k;
    FFFold(trees[k], constants);
  }
  constants.Channel = -1;
  TFFCode code;
  if (!FFGenerate(trees, constants, code)) return 1;

  if (Source.PixelFormat() != pf24bit || Target.PixelFormat() != pf24bit) return 0;
  // The formulas may read any source pixel, so the source must not change under them.
  TBitmap copy;
  const TBitmap* src = &Source;
  if (&Source == &Target) {
    copy.Assign(&Source);
    src = &copy;
  }
  const int32_t x1 = std::max({Rect.Left, 0}), y1 = std::max({Rect.Top, 0});
  const int32_t x2 = int32_t(std::min<int64_t>({Rect.Right, Target.Width(), int64_t(Rect.Left) + ctx.Width}));
  const int32_t y2 = int32_t(std::min<int64_t>({Rect.Bottom, Target.Height(), int64_t(Rect.Top) + ctx.Height}));
  if (x1 >= x2 || y1 >= y2) return 0;
  ctx.Rows.resize(size_t(ctx.Height));
  for (int32_t y = 0; y < ctx.Height; ++y) ctx.Rows[size_t(y)] = static_cast<const uint8_t*>(src->ScanLine(y));

  int32_t lanes = code.Sequential ? 1 : kBlock;
  while (lanes > 1 && size_t(code.RegisterCount) * size_t(lanes) * 4 > kMaxRegisterBytes) lanes /= 2;

  // x of every column, scaled once for a preview.
  std::vector<int32_t> xs(size_t(x2 - x1));
  for (int32_t x = x1; x < x2; ++x) {
    const int32_t col = x - Rect.Left;
    xs[size_t(x - x1)] = ctx.Scaled ? Round32(col / ctx.Scale) : col;
  }
  const auto newRegisters = [&] {
    std::vector<int32_t> regs(size_t(code.RegisterCount) * size_t(lanes));
    for (const auto& [reg, value] : code.Constants) std::fill_n(regs.begin() + ptrdiff_t(reg) * lanes, lanes, value);
    return regs;
  };
  // Rows From..To-1 with the registers R.
  const auto runRows = [&](int32_t* R, int32_t From, int32_t To) {
    uint8_t out[3][kBlock];
    for (int32_t y = From; y < To; ++y) {
      const int32_t row = y - Rect.Top;
      const uint8_t* s = ctx.Rows[size_t(row)];
      uint8_t* t = static_cast<uint8_t*>(Target.ScanLine(y));
      const int32_t yv = ctx.Scaled ? Round32(row / ctx.Scale) : row;
      for (int32_t bx = x1; bx < x2; bx += lanes) {
        const int32_t n = std::min(lanes, x2 - bx);
        const uint8_t* p = s + size_t(bx - Rect.Left) * 3;
        for (int32_t i = 0; i < n; ++i, p += 3) {
          R[frR * lanes + i] = p[2];
          R[frG * lanes + i] = p[1];
          R[frB * lanes + i] = p[0];
          R[frX * lanes + i] = xs[size_t(bx - x1 + i)];
          R[frY * lanes + i] = yv;
        }
        FFExecute(code.Prologue, R, lanes, n, ctx);
        for (int k = 0; k < 3; ++k) {
          FFExecute(code.Channel[k], R, lanes, n, ctx);
          const int32_t* res = R + size_t(code.Result[k]) * size_t(lanes);
          for (int32_t i = 0; i < n; ++i) out[k][i] = ClampByte(res[i]);
        }
        uint8_t* q = t + size_t(bx) * 3;
        for (int32_t i = 0; i < n; ++i, q += 3) {
          q[0] = out[2][i];
          q[1] = out[1][i];
          q[2] = out[0][i];
        }
      }
    }
  };
  Progress.Start(y2 - y1);
  if (code.Sequential) {
    // get, put and rnd share the memory cells and the random sequence from
    // pixel to pixel: such formulas run row after row on this thread.
    std::vector<int32_t> regs = newRegisters();
    for (int32_t y = y1; y < y2; ++y) {
      runRows(regs.data(), y, y + 1);
      Progress.Row();
    }
    return 0;
  }
  // Each strip of rows has registers of its own; everything else the code
  // reads is shared and left alone while it runs.
  size_t instructions = code.Prologue.size();
  for (const auto& c : code.Channel) instructions += c.size();
  RunRowStrips(
      y1, y2, (int64_t(x2) - x1) * 3 * int64_t(instructions + 1),
      [&](int32_t From, int32_t To) {
        std::vector<int32_t> regs = newRegisters();
        runRows(regs.data(), From, To);
      },
      [&](int32_t) { Progress.Row(); });
  return 0;
}

namespace {

bool UsesControl(const TFFTree& T, int32_t N, int32_t Control) {
  const TFFNode& n = T[N];
  if (n.Class == ftcFunction && (n.Index == ffnCtl || n.Index == ffnVal || n.Index == ffnMap)) {
    const TFFNode& first = T[n.Args[0]];
    if (first.Class != ftcOperand || first.Index != fodConst) return true;
    // map(i, n) reads controls 2i and 2i + 1.
    if (n.Index == ffnMap ? (int64_t(first.Value) * 2 == Control || int64_t(first.Value) * 2 + 1 == Control)
                          : first.Value == Control)
      return true;
  }
  for (int k = 0; k < n.ArgCount; ++k)
    if (UsesControl(T, n.Args[k], Control)) return true;
  return false;
}

}  // namespace

bool FFControlUsed(const std::array<std::string, 3>& Formulas, int32_t Control) {
  for (const std::string& f : Formulas) {
    TFFTree tree;
    if (FFParseFormula(f, tree) != 0) return true;
    if (UsesControl(tree, tree.Root, Control)) return true;
  }
  return false;
}

}  // namespace kv

// The Filter Factory language: tokenizer and parser errors, every operator and
// function at its edges, folding, the examples of a whole run, and the row
// evaluator against the reference tree walker on random formulas.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <random>

#include "ff_reference.h"
#include "imaging/processing/ff_eval.h"
#include "imaging/processing/ff_ops.h"
#include "platform/rtl/random.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::Make24;

// Value of one formula for one pixel through the register code, folded or not.
struct TOnePixel {
  int32_t r = 10, g = 20, b = 200, x = 1, y = 2;
  int32_t Ctl[8] = {100, 120, 0, 0, 0, 0, 0, 0};
};

int32_t FastValue(const std::string& Formula, const TOnePixel& P, bool Fold, const TBitmap* Source = nullptr) {
  std::unique_ptr<TBitmap> fallback = Make24(4, 3, [](int32_t x, int32_t y) {
    return TBGRPixel{uint8_t(x * 10), uint8_t(y * 20), uint8_t(100 + x)};
  });
  if (!Source) Source = fallback.get();
  TFFTree trees[3];
  EXPECT_EQ(FFParseFormula(Formula, trees[0]), 0) << Formula;
  trees[1] = trees[2] = trees[0];
  TFFConstants c;
  std::copy(P.Ctl, P.Ctl + 8, c.Ctl);
  c.X = Source->Width();
  c.Y = Source->Height();
  if (Fold)
    for (int k = 0; k < 3; ++k) {
      c.Channel = k;
      FFFold(trees[k], c);
    }
  c.Channel = -1;
  TFFCode code;
  EXPECT_TRUE(FFGenerate(trees, c, code));
  TFFRunContext ctx;
  ctx.Width = Source->Width();
  ctx.Height = Source->Height();
  for (int32_t y = 0; y < ctx.Height; ++y) ctx.Rows.push_back(static_cast<const uint8_t*>(Source->ScanLine(y)));
  std::copy(P.Ctl, P.Ctl + 8, ctx.Ctl);
  ctx.Memory = FFMemory().data();
  std::vector<int32_t> regs(size_t(code.RegisterCount));
  for (auto [reg, v] : code.Constants) regs[reg] = v;
  regs[frR] = P.r;
  regs[frG] = P.g;
  regs[frB] = P.b;
  regs[frX] = P.x;
  regs[frY] = P.y;
  FFExecute(code.Prologue, regs.data(), 1, 1, ctx);
  FFExecute(code.Channel[0], regs.data(), 1, 1, ctx);
  return regs[code.Result[0]];
}

TEST(FFLanguage, ErrorPositions) {
  const struct {
    const char* Formula;
    int32_t Pos;
  } cases[] = {
      {"", 1},                   // empty
      {"// only a comment", 1},  // a comment alone is empty
      {"r + $", 5},              // outside the vocabulary
      {"r +\ng", 4},             // a line break is not a blank
      {"r + \xC3\xA4", 5},       // positions count characters, not bytes
      {"r)", 2},                 // ")" without a call
      {"abs(r", 1},              // call never closed
      {"max(1)", 1},             // too few arguments
      {"rst()", 1},              // empty argument: the token before it
      {"1 +", 3},                // missing right operand
      {"r * -g", 3},             // "-" takes 0 only with nothing at all on its left
      {"12abc", 1},              // a number runs over letters
      {"0x", 1},
      {"2147483648", 1},         // does not fit 32 bits
      {"x ? 1", 1},              // "?" without ":"
      {"1 : 2", 3},              // ":" without "?"
      {"r g", 1},
      {"ABS(r)", 1},             // names are case-sensitive
      {"r + 1 // comment", 0},
      {"abs(r) + 0xFF - ~-g", 17},  // "-" binds looser than "~": "~" finds nothing after it
      {"abs(r) + 0xFF - ~g", 0},
      {"(r, g)", 0},             // the comma inside parentheses is an operator
      {"max(r, g, b)", 0},       // the last argument takes the rest: max(r, (g, b))
  };
  for (const auto& c : cases) EXPECT_EQ(FFCheckFormula(c.Formula), c.Pos) << c.Formula;
}

TEST(FFLanguage, DeepFormulasAreRefusedNotOverflowed) {
  std::string f;
  for (int k = 0; k < 3000; ++k) f += "abs(";
  f += "r";
  for (int k = 0; k < 3000; ++k) f += ")";
  EXPECT_GT(FFCheckFormula(f), 0);
  std::string chain = "r";
  for (int k = 0; k < 3000; ++k) chain += "+r";
  EXPECT_GT(FFCheckFormula(chain), 0);
  std::string nots(3000, '!');
  EXPECT_GT(FFCheckFormula(nots + "r"), 0);
  EXPECT_EQ(FFCheckFormula(std::string(100, '!') + "r"), 0);
}

TEST(FFLanguage, OperatorsAndFunctionsAtTheirEdges) {
  const struct {
    const char* Formula;
    int32_t Value;
  } cases[] = {
      // pixel r=10 g=20 b=200 at x=1 y=2 of a 4 x 3 source; ctl(0)=100, ctl(1)=120
      {"0x80000000 / (0 - 1)", INT_MIN}, {"0x80000000 % (0 - 1)", 0}, {"7 / 0", 0}, {"7 % 0", 0},
      {"(0 - 7) / 2", -3}, {"(0 - 7) % 2", -1}, {"7 % (0 - 2)", 1}, {"12 / 2 * 3", 2}, {"12 * 2 / 3", 8},
      {"1 << 32", 1}, {"1 << 33", 2}, {"1 << 31", INT_MIN}, {"1 << (0 - 1)", INT_MIN}, {"(0 - 1) >> 28", 15},
      {"(0 - 1) >> 32", -1}, {"r >> 1", 5}, {"(r + 190) >> 1", 100}, {"0x7FFFFFFF + 1", INT_MIN}, {"0x80000000 - 1", INT_MAX},
      {"0x10000 * 0x10000", 0}, {"-0x80000000", INT_MIN}, {"0xFFFFFFFF", -1}, {"+5", 5}, {"-r + 10", 0},
      {"!0", 1}, {"!5", 0}, {"!(0 - 1)", 0}, {"~0", -1}, {"!~0", 0}, {"(0 - 1) || 0", 0}, {"0 || 3", 1},
      {"1 && 2", 1}, {"(0 - 1) && 1", 0}, {"5 & 3", 1}, {"5 | 3", 7}, {"5 ^ 3", 6}, {"2 > 1", 1},
      {"2 < 1", 0}, {"2 >= 2", 1}, {"2 <= 1", 0}, {"2 == 2", 1}, {"2 != 2", 0}, {"1 + 2 == 3", 1},
      {"1 ? 5 : 6", 5}, {"0 ? 5 : 6", 6}, {"(0 - 1) ? 5 : 6", 6}, {"1 ? 2 : 0 ? 3 : 4", 3},
      {"0 ? 1 : 1 ? 7 : 8", 7}, {"1 ? 0 ? 1 : 2 : 3", 2}, {"1, 2", 2}, {"(1, 2) + 1", 3},
      {"abs(0x80000000)", INT_MIN}, {"abs(0 - 5)", 5}, {"add(200, 100, 255)", 255}, {"add(1, 2, 255)", 3},
      {"sub(10, 50, 0)", 40}, {"sub(10, 12, 5)", 5}, {"dif(3, 10)", 7}, {"max(3, 7)", 7}, {"min(3, 7)", 3},
      {"mix(100, 200, 1, 4)", 175}, {"mix(1, 2, 3, 0)", 0}, {"scl(5, 0, 10, 0, 100)", 50},
      {"scl(5, 3, 3, 0, 1)", 0}, {"sqr(16)", 4}, {"sqr(12)", 3}, {"sqr(0 - 4)", 0}, {"cos(0)", 512},
      {"cos(512)", -512}, {"cos(256)", 0}, {"cos(0 - 1024)", 512}, {"cos(0x80000000)", 512}, {"sin(256)", 512},
      {"sin(0)", 0}, {"sin(768)", -512}, {"tan(128)", 512}, {"tan(256)", 0}, {"c2d(1, 0)", 256},
      {"c2d(0, 0 - 1)", 512}, {"c2d(0, 0)", 0}, {"c2m(3, 4)", 5}, {"c2m(0x80000000, 0)", INT_MAX},
      {"r2x(0, 100)", 102}, {"r2y(256, 100)", 101}, {"ctl(0)", 100}, {"ctl(8)", 0}, {"ctl(0 - 1)", 0},
      {"val(0, 0, 255)", 100}, {"val(8, 1, 2)", 0}, {"val(0 - 1, 7, 9)", 7}, {"map(0, 110)", 127},
      {"map(0, 100)", 0}, {"map(0, 120)", 255}, {"map(4, 1)", 255}, {"rst(5)", 0}, {"rad(1, 2, 3)", 1},
      {"put(7, 3), get(3)", 7}, {"get(256)", 0}, {"put(1, 300)", 1}, {"src(1, 2, 0)", 101},
      {"src(1, 2, 1)", 40}, {"src(1, 2, 2)", 10}, {"src(0 - 1, 0, 0)", 0}, {"src(4, 0, 0)", 0},
      {"src(0, 0, 3)", 255}, {"src(0, 0, 4)", 0}, {"i", 37}, {"u", 40}, {"v", -13}, {"X", 4}, {"Y", 3},
      {"Z", 3}, {"D", 1024}, {"M", 2}, {"dmin + mmin + CONST", 0}, {"z", 0}, {"c", 10}, {"x + y", 3},
      {"d", -128}, {"m", 1},  // d = c2d(x - X/2, y - Y/2) = c2d(-1, 1)
      // cnv reads the 3 x 3 neighbourhood of (x, y) in channel z (red: 100 + column; row 3 is outside)
      {"cnv(0, 0, 0, 1, 0, 0, 0, 0, 0, 1)", 100}, {"cnv(0, 0, 0, 0, 0, 1, 0, 0, 0, 1)", 102},
      {"cnv(1, 1, 1, 1, 1, 1, 1, 1, 1, 6)", 101}, {"cnv(1, 1, 1, 1, 1, 1, 1, 1, 1, 0)", 0},
  };
  for (bool fold : {false, true})
    for (const auto& c : cases) {
      FFMemory().fill(0);
      EXPECT_EQ(FastValue(c.Formula, TOnePixel{}, fold), c.Value) << c.Formula << (fold ? " folded" : "");
    }
}

// The evaluator divides by a constant through a multiplication: it must agree
// with the true truncated quotient for every dividend, at the edges above all.
TEST(FFLanguage, DivisionByAConstantIsExact) {
  std::mt19937 rng(5);
  for (int32_t k : {1, 2, 3, 7, 8, 255, 256, 1000, 65537, 1 << 30, INT_MAX, INT_MIN, -2, -3, -255, -INT_MAX}) {
    const ff::TConstDivisor div(k);
    std::vector<int32_t> as = {0, 1, -1, INT_MAX, INT_MIN, INT_MIN + 1, INT_MAX - 1};
    for (int32_t m : {1, 2, 3, 1000, 8388608, 2147483647 / std::max(1, k < 0 ? -(k + 1) : k)})
      for (int32_t e : {-1, 0, 1}) {
        const int64_t v = int64_t(k) * m + e;
        if (v >= INT_MIN && v <= INT_MAX) {
          as.push_back(int32_t(v));
          as.push_back(int32_t(-v));
        }
      }
    for (int n = 0; n < 20000; ++n) as.push_back(int32_t(rng()));
    for (int32_t a : as) ASSERT_EQ(ff::DivConst(a, div), ff::Div(a, k)) << a << " / " << k;
  }
}

TEST(FFLanguage, CosTableAndRandom) {
  for (int a : {0, 1, 100, 255, 300, 700, 1023, 5000})
    EXPECT_EQ(FastValue("cos(" + std::to_string(a) + ")", {}, false),
              int32_t(std::nearbyint(std::cos((a % 1024) * M_PI / 512) * 512)))
        << a;
  RandSeed = 1234;
  std::vector<int32_t> got;
  for (int k = 0; k < 50; ++k) got.push_back(FastValue("rnd(10, 13)", {}, true));
  RandSeed = 1234;
  for (int k = 0; k < 50; ++k) {
    const int32_t want = 10 + Random(4);
    EXPECT_EQ(got[size_t(k)], want);
    EXPECT_GE(got[size_t(k)], 10);
    EXPECT_LE(got[size_t(k)], 13);
  }
  // |b - a + 1| with b below a: rnd(5, 2) draws from 0..|-2|-1 = 0..1 above 5.
  RandSeed = 99;
  for (int k = 0; k < 20; ++k) {
    const int32_t v = FastValue("rnd(5, 2)", {}, true);
    EXPECT_TRUE(v == 5 || v == 6) << v;
  }
}

// Folding must leave alone what reads pixels, memory or the random generator.
TEST(FFLanguage, FoldingRules) {
  TFFConstants c;
  c.X = 40;
  c.Y = 30;
  c.Ctl[0] = 7;
  c.Channel = 1;
  const struct {
    const char* Formula;
    bool Folds;
  } cases[] = {
      {"ctl(0) * 2 + X - Y + M + Z + D + dmin + z", true}, {"sin(3) + c2d(1, 2) + val(0, 1, 9)", true},
      {"1 ? 2 : 3", true}, {"rnd(1, 1)", false}, {"get(0)", false}, {"put(1, 0)", false},
      {"src(0, 0, 0)", false}, {"cnv(1, 1, 1, 1, 1, 1, 1, 1, 1, 9)", false}, {"rst(rnd(0, 5))", false},
      {"0 && rnd(0, 5)", false}, {"r + 1", false}, {"x * 0", false},
  };
  for (const auto& t : cases) {
    TFFTree tree;
    ASSERT_EQ(FFParseFormula(t.Formula, tree), 0) << t.Formula;
    FFFold(tree, c);
    const bool folded = tree[tree.Root].Class == ftcOperand && tree[tree.Root].Index == fodConst;
    EXPECT_EQ(folded, t.Folds) << t.Formula;
  }
  TFFTree tree;
  FFParseFormula("ctl(0) * 2 + X - Y + M + Z + D + dmin + z", tree);
  FFFold(tree, c);
  EXPECT_EQ(tree[tree.Root].Value, 14 + 40 - 30 + 25 + 3 + 1024 + 0 + 1);
}

std::unique_ptr<TBitmap> RunFormulas(const std::array<std::string, 3>& F, const TBitmap& Source,
                                     int32_t* Err = nullptr, double Scale = 1.0) {
  auto target = std::make_unique<TBitmap>(Source.Width(), Source.Height());
  TProgressRec progress;
  const int32_t controls[8] = {};
  const int32_t e = FFRunFilter(F, controls, Source, *target, progress, {0, 0, Source.Width(), Source.Height()}, Scale);
  if (Err) *Err = e;
  return target;
}

TEST(FFLanguage, WholeRuns) {
  auto src = Make24(37, 5, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 7), uint8_t(y * 50), uint8_t(x + y)}; });
  // 255 - c inverts.
  auto inv = RunFormulas({"255 - c", "255 - c", "255 - c"}, *src);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 37 * 3; ++x)
      ASSERT_EQ(static_cast<uint8_t*>(inv->ScanLine(y))[x], 255 - static_cast<uint8_t*>(src->ScanLine(y))[x]);
  // The right half (x > X/2) turns white, the rest black.
  auto half = RunFormulas({"x > X/2 ? 255 : 0", "x > X/2 ? 255 : 0", "x > X/2 ? 255 : 0"}, *src);
  for (int32_t x = 0; x < 37; ++x)
    EXPECT_EQ(static_cast<uint8_t*>(half->ScanLine(3))[3 * x], x > 18 ? 255 : 0) << x;
  // A syntax error draws nothing and tells where.
  TBitmap untouched(37, 5);
  test::FillFlat24(untouched, TBGRPixel{1, 2, 3});
  TProgressRec progress;
  const int32_t controls[8] = {};
  EXPECT_EQ(FFRunFilter({"r", "g $", "b"}, controls, *src, untouched, progress, {0, 0, 37, 5}), 3);
  EXPECT_EQ(static_cast<uint8_t*>(untouched.ScanLine(0))[0], 1);
  // A rectangle: only its pixels change, each from the source pixel relative to its corner.
  TBitmap target(40, 10);
  test::FillFlat24(target, TBGRPixel{9, 9, 9});
  int calls = 0;
  progress.OnProgress = [&](TObject*, int32_t) { ++calls; };
  EXPECT_EQ(FFRunFilter({"x", "y", "255"}, controls, *src, target, progress, {2, 3, 39, 8}), 0);
  EXPECT_EQ(calls, 5);
  const uint8_t* row = static_cast<uint8_t*>(target.ScanLine(4));
  EXPECT_EQ(row[3 * 2 + 2], 0);
  EXPECT_EQ(row[3 * 2 + 1], 1);
  EXPECT_EQ(row[3 * 2 + 0], 255);
  EXPECT_EQ(row[3 * 38 + 2], 36);
  EXPECT_EQ(row[3 * 1], 9);
  EXPECT_EQ(static_cast<uint8_t*>(target.ScanLine(2))[3 * 5], 9);
  // The same bitmap as source and target reads the picture as it was.
  TBitmap same;
  same.Assign(src.get());
  progress.OnProgress = nullptr;
  FFRunFilter({"src(x + 1, y, 0)", "g", "b"}, controls, same, same, progress, {0, 0, 37, 5});
  EXPECT_EQ(static_cast<uint8_t*>(same.ScanLine(0))[3 * 5 + 2], 6);
}

// ImageMagick's -fx judges formulas whose value it can say exactly in its 0..1 scale.
TEST(FFLanguage, AgreesWithImageMagickFx) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
  test::TScratchFolder dir("ffim");
  ASSERT_FALSE(dir.Path().empty());
  std::mt19937 rng(3);
  auto src = Make24(41, 17, [&](int32_t, int32_t) { return TBGRPixel{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())}; });
  test::WritePnm(dir.Path() + "/in.ppm", *src);
  const struct {
    const char* Ours;
    const char* Fx;
  } cases[] = {
      {"255 - c", "1 - u"},
      {"x > X/2 ? 255 : 0", "i > floor(w/2) ? 1 : 0"},
      {"max(r, b) - min(g, b)", "max(r, b) - min(g, b)"},
      {"src(x + 1, y - 1, 0)", "p[1,-1].r"},  // 0 outside the picture: a black virtual pixel
  };
  for (const auto& c : cases) {
    auto ours = RunFormulas({c.Ours, c.Ours, c.Ours}, *src);
    const std::string out = dir.Path() + "/out.ppm";
    ASSERT_EQ(test::Run("convert '" + dir.Path() + "/in.ppm' -virtual-pixel Black -fx '" + c.Fx +
                        "' -depth 8 '" + out + "'"),
              0);
    TBitmap theirs;
    ASSERT_TRUE(test::ReadPnm(out, theirs));
    ASSERT_EQ(theirs.Width(), 41);
    for (int32_t y = 0; y < 17; ++y)
      ASSERT_EQ(0, std::memcmp(ours->ScanLine(y), theirs.ScanLine(y), 41 * 3)) << c.Ours << " row " << y;
  }
}

TEST(FFLanguage, PreviewScalesPlaceAndSize) {
  auto src = Make24(20, 10, [](int32_t x, int32_t y) { return TBGRPixel{0, uint8_t(y), uint8_t(x)}; });
  // At scale 2 the formulas see a 10 x 5 picture; x = round(column / 2).
  auto out = RunFormulas({"X", "Y", "x"}, *src, nullptr, 2.0);
  const uint8_t* row = static_cast<uint8_t*>(out->ScanLine(0));
  EXPECT_EQ(row[2], 10);
  EXPECT_EQ(row[1], 5);
  EXPECT_EQ(row[3 * 3], 2);  // round(1.5) = 2
  EXPECT_EQ(row[3 * 5], 2);  // round(2.5) = 2, halves to even
  // src reads at (round(x * s), round(y * s)).
  auto s2 = RunFormulas({"src(x, y, 0)", "0", "0"}, *src, nullptr, 2.0);
  EXPECT_EQ(static_cast<uint8_t*>(s2->ScanLine(0))[3 * 3 + 2], 4);
}

TEST(FFLanguage, ControlUse) {
  const struct {
    std::array<std::string, 3> F;
    int32_t Control;
    bool Used;
  } cases[] = {
      {{"ctl(0)", "g", "ctl(3) + b"}, 0, true},  {{"ctl(0)", "g", "ctl(3) + b"}, 3, true},
      {{"ctl(0)", "g", "ctl(3) + b"}, 1, false}, {{"val(2, 0, 255)", "g", "b"}, 2, true},
      {{"ctl(r)", "g", "b"}, 5, true},           {{"r $", "g", "b"}, 5, true},
      {{"map(1, r)", "g", "b"}, 3, true},        {{"map(1, r)", "g", "b"}, 1, false},
  };
  for (const auto& c : cases) EXPECT_EQ(FFControlUsed(c.F, c.Control), c.Used) << c.F[0] << " " << c.Control;
}

// Random formulas from the whole vocabulary, on random pixels: the row
// evaluator (folded, register code, blocks) must match the tree walker exactly,
// memory cells and the random generator's state included.
class TFormulaMaker {
 public:
  explicit TFormulaMaker(uint32_t Seed) : FRng(Seed) {}
  std::string Make(int Depth, bool Impure) {
    FImpure = Impure;
    return Expr(Depth);
  }

 private:
  int Pick(int N) { return int(FRng() % uint32_t(N)); }
  std::string Leaf() {
    static const char* kLeaves[] = {"r", "g", "b", "c", "x", "y", "X", "Y", "i", "u", "v", "z", "Z",
                                    "d", "D", "m", "M", "dmin", "mmin"};
    static const char* kNumbers[] = {"0", "1", "2", "3", "7", "31", "32", "33", "255", "256", "512", "1024",
                                     "0x7FFFFFFF", "0x80000000", "0xFFFFFFFF", "65536", "100000"};
    if (Pick(2)) return kLeaves[Pick(std::size(kLeaves))];
    return kNumbers[Pick(std::size(kNumbers))];
  }
  std::string Expr(int Depth) {
    if (Depth <= 0 || Pick(5) == 0) return Leaf();
    static const char* kBinary[] = {"||", "&&", "|", "^", "&", "==", "!=", ">", "<", ">=", "<=",
                                    "<<", ">>", "+", "-", "/", "%", "*", ","};
    static const char* kCalls[] = {"abs(", "add(", "cnv(", "ctl(", "dif(", "map(", "rst(", "max(", "min(",
                                   "mix(", "scl(", "sqr(", "src(", "sub(", "val(", "c2d(", "c2m(", "cos(",
                                   "sin(", "tan(", "r2x(", "r2y(", "rad("};
    static const int kArgs[] = {1, 3, 10, 1, 2, 2, 1, 2, 2, 4, 5, 1, 3, 3, 3, 2, 2, 1, 1, 1, 2, 2, 3};
    // One piece at a time: the operands of "+" have no fixed order of
    // evaluation, and each piece draws from the generator.
    switch (Pick(FImpure ? 7 : 6)) {
      case 0: {  // the comma only in parentheses, where it cannot split an argument list or a "?:"
        std::string s = Expr(Depth - 1);
        s += std::string(" ") + kBinary[Pick(std::size(kBinary) - 1)] + " ";
        return s + Expr(Depth - 1);
      }
      case 1: {
        std::string s = "(" + Expr(Depth - 1);
        s += std::string(" ") + kBinary[Pick(std::size(kBinary))] + " ";
        return s + Expr(Depth - 1) + ")";
      }
      case 2: {
        std::string s = "(" + Expr(Depth - 1);
        s += " ? " + Expr(Depth - 1);
        return s + " : " + Expr(Depth - 1) + ")";
      }
      case 3: {
        std::string s = Pick(2) ? "!(" : "~(";
        return s + Expr(Depth - 1) + ")";
      }
      case 4: return "(-" + Expr(Depth - 1) + ")";  // a sign only where nothing stands on its left
      case 6: {
        switch (Pick(3)) {
          case 0: {
            std::string s = "rnd(" + Expr(Depth - 1);
            return s + ", " + Expr(Depth - 1) + ")";
          }
          case 1: return "get(" + std::to_string(Pick(4)) + ")";
          default: {
            std::string s = "put(" + Expr(Depth - 1);
            return s + ", " + std::to_string(Pick(4)) + ")";
          }
        }
      }
      default: {
        const int k = Pick(std::size(kCalls));
        std::string s = kCalls[k];
        for (int a = 0; a < kArgs[k]; ++a) {
          if (a) s += ", ";
          // cnv's divisor and src's channel are small so that they matter
          if (k == 2 && a < 9) s += std::to_string(Pick(5) - 2);
          else if (k == 12 && a == 2) s += std::to_string(Pick(5) - 1);
          else s += Expr(Depth - 1);
        }
        return s + ")";
      }
    }
  }
  std::mt19937 FRng;
  bool FImpure = false;
};

TEST(FFLanguage, RowEvaluatorMatchesTreeWalker) {
  std::mt19937 rng(20261210);
  TFormulaMaker maker(77);
  int compared = 0;
  for (int iter = 0; iter < 400; ++iter) {
    const bool impure = iter % 4 == 3;
    std::array<std::string, 3> f;
    TFFTree trees[3];
    bool ok = true;
    for (int k = 0; k < 3; ++k) {
      f[size_t(k)] = maker.Make(1 + iter % 5, impure);
      // Half of the runs show the low bits of the value rather than its clamp.
      if (iter % 2 == 0) f[size_t(k)] = "(" + f[size_t(k)] + ") & 255";
      ok = ok && FFParseFormula(f[size_t(k)], trees[k]) == 0;
    }
    ASSERT_TRUE(ok) << f[0] << " | " << f[1] << " | " << f[2];
    const int32_t w = 1 + int32_t(rng() % 300), h = 1 + int32_t(rng() % 4);
    auto src = Make24(w, h, [&](int32_t, int32_t) {
      return TBGRPixel{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    });
    int32_t controls[8];
    for (int32_t& c : controls) c = int32_t(rng() % 256);
    const double scale = iter % 7 == 6 ? 0.75 + (rng() % 8) * 0.5 : 1.0;

    std::array<int32_t, 256> refMemory{};
    for (int32_t& m : refMemory) m = int32_t(rng() % 512);
    FFMemory() = refMemory;
    RandSeed = int32_t(rng());
    const int32_t seed = RandSeed;
    TBitmap want;
    test::RefRunFilter(trees, controls, *src, want, scale, refMemory);
    const int32_t refSeedAfter = RandSeed;

    RandSeed = seed;
    TBitmap got(w, h);
    TProgressRec progress;
    ASSERT_EQ(FFRunFilter(f, controls, *src, got, progress, {0, 0, w, h}, scale), 0);
    for (int32_t y = 0; y < h; ++y)
      ASSERT_EQ(0, std::memcmp(want.ScanLine(y), got.ScanLine(y), size_t(w) * 3))
          << "row " << y << " scale " << scale << "\nred: " << f[0] << "\ngreen: " << f[1] << "\nblue: " << f[2];
    ASSERT_EQ(FFMemory(), refMemory) << f[0] << " | " << f[1] << " | " << f[2];
    ASSERT_EQ(RandSeed, refSeedAfter) << f[0] << " | " << f[1] << " | " << f[2];
    ++compared;
  }
  EXPECT_EQ(compared, 400);
}

}  // namespace
}  // namespace kv

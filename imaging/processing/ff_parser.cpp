#include "imaging/processing/ff_parser.h"

#include <algorithm>

namespace kv {

namespace {

// A token not yet parsed, or a call already parsed into a node.
struct TItem {
  TFFToken Token;
  int32_t Node = -1;
};

bool IsOp(const TItem& It, uint8_t Op) {
  return It.Node < 0 && It.Token.Class == ftcOperator && It.Token.Index == Op;
}

// Level numbers: 0 ",", 1 "?:" together, then one level per binary operator
// from "||" to "*", and last the unary "!" and "~".
constexpr int kLevelCond = 1;
constexpr int kLevelUnary = 2 + (fopMul - fopLOr) + 1;
uint8_t LevelOperator(int Level) { return Level == 0 ? uint8_t(fopComma) : uint8_t(fopLOr + (Level - 2)); }

class TParser {
 public:
  explicit TParser(TFFTree& Tree) : FTree(Tree) {}

  int32_t Run(const std::vector<TFFToken>& Tokens) {
    FTree.Nodes.clear();
    FTree.Root = -1;
    if (Tokens.empty()) return 1;
    // Calls: each ")" closes the nearest unclosed function on its left.
    std::vector<TItem> items;
    std::vector<size_t> open;
    items.reserve(Tokens.size());
    for (const TFFToken& t : Tokens) {
      if (t.Class == ftcFunction && t.Index == ffnClose) {
        if (open.empty()) return t.Pos;
        const size_t f = open.back();
        open.pop_back();
        int32_t node = -1;
        if (const int32_t err = ParseCall(items, f, node)) return err;
        items.resize(f + 1);
        items[f].Node = node;
        continue;
      }
      if (t.Class == ftcFunction) open.push_back(items.size());
      items.push_back({t, -1});
    }
    FItems = &items;
    return ParseRange(0, items.size(), 0, 1, 0, FTree.Root);
  }

 private:
  int32_t NewNode(const TFFNode& N) {
    FTree.Nodes.push_back(N);
    return int32_t(FTree.Nodes.size() - 1);
  }
  int32_t DepthOf(int32_t Node) const { return FTree[Node].Depth; }

  // Builds an operator or call node over its children; false when too deep.
  bool Build(TFFNode N, std::initializer_list<int32_t> Kids, int32_t& Out) {
    int32_t depth = 0;
    N.ArgCount = 0;
    for (int32_t k : Kids) {
      N.Args[N.ArgCount++] = k;
      depth = std::max(depth, DepthOf(k));
    }
    N.Depth = depth + 1;
    if (N.Depth > kFFMaxDepth) return false;
    Out = NewNode(N);
    return true;
  }

  // Items[F] is the function token, the arguments follow it up to the end.
  int32_t ParseCall(std::vector<TItem>& Items, size_t F, int32_t& Out) {
    const TFFToken fn = Items[F].Token;
    const int nargs = kFFFunctionArgs[fn.Index];
    size_t bounds[11];
    bounds[0] = F + 1;
    int found = 1;
    for (size_t k = F + 1; k < Items.size() && found < nargs; ++k)
      if (IsOp(Items[k], fopComma)) bounds[found++] = k + 1;
    if (found < nargs) return fn.Pos;  // too few arguments
    bounds[nargs] = Items.size() + 1;
    FItems = &Items;
    int32_t args[10];
    for (int a = 0; a < nargs; ++a) {
      const size_t lo = bounds[a], hi = bounds[a + 1] - 1;
      const int32_t leftPos = Items[lo - 1].Token.Pos;
      if (const int32_t err = ParseRange(lo, hi, 0, leftPos, 0, args[a])) return err;
    }
    if (fn.Index == ffnParen) {
      Out = args[0];
      return 0;
    }
    TFFNode n;
    n.Class = ftcFunction;
    n.Index = fn.Index;
    n.Pos = fn.Pos;
    n.ArgCount = uint8_t(nargs);
    int32_t depth = 0;
    for (int a = 0; a < nargs; ++a) {
      n.Args[a] = args[a];
      depth = std::max(depth, DepthOf(args[a]));
    }
    n.Depth = depth + 1;
    if (n.Depth > kFFMaxDepth) return fn.Pos;
    Out = NewNode(n);
    return 0;
  }

  // Parses items [Lo, Hi) at operator level Level. LeftPos is the position of
  // the token just left of the range, reported when the range is empty.
  int32_t ParseRange(size_t Lo, size_t Hi, int Level, int32_t LeftPos, int Recursion, int32_t& Out) {
    const std::vector<TItem>& it = *FItems;
    if (Lo >= Hi) return LeftPos;
    const int32_t firstPos = it[Lo].Token.Pos;
    if (Recursion > kFFMaxDepth) return firstPos;
    for (; Level < kLevelUnary; ++Level) {
      if (Level == kLevelCond) {
        size_t colon = Hi;
        for (size_t k = Hi; k-- > Lo;)
          if (IsOp(it[k], fopColon)) {
            colon = k;
            break;
          }
        if (colon == Hi) continue;
        size_t quest = Hi;
        int nested = 0;
        for (size_t k = colon; k-- > Lo;) {
          if (IsOp(it[k], fopColon)) ++nested;
          if (IsOp(it[k], fopQuest)) {
            if (nested == 0) {
              quest = k;
              break;
            }
            --nested;
          }
        }
        if (quest == Hi) return it[colon].Token.Pos;  // a ":" without its "?"
        int32_t c = -1, a = -1, b = -1;
        if (int32_t e = ParseRange(Lo, quest, Level, LeftPos, Recursion + 1, c)) return e;
        if (int32_t e = ParseRange(quest + 1, colon, Level, it[quest].Token.Pos, Recursion + 1, a)) return e;
        if (int32_t e = ParseRange(colon + 1, Hi, Level, it[colon].Token.Pos, Recursion + 1, b)) return e;
        TFFNode n;
        n.Class = ftcOperator;
        n.Index = fopQuest;
        n.Pos = it[quest].Token.Pos;
        return Build(n, {c, a, b}, Out) ? 0 : firstPos;
      }
      const uint8_t op = LevelOperator(Level);
      size_t segLo = Lo;
      int32_t left = -1;
      int32_t opPos = 0;
      bool any = false;
      for (size_t k = Lo; k <= Hi; ++k) {
        if (k < Hi && !IsOp(it[k], op)) continue;
        if (k == Hi && !any) break;
        int32_t seg = -1;
        const int32_t segLeft = segLo == Lo ? LeftPos : it[segLo - 1].Token.Pos;
        if (segLo == k && segLo == Lo && (op == fopAdd || op == fopSub)) {
          TFFNode zero;  // "-a" and "+a" take 0 on the left
          zero.Pos = it[k].Token.Pos;
          seg = NewNode(zero);
        } else if (int32_t e = ParseRange(segLo, k, Level + 1, segLeft, Recursion + 1, seg)) {
          return e;
        }
        if (left < 0) {
          left = seg;
        } else {
          TFFNode n;
          n.Class = ftcOperator;
          n.Index = op;
          n.Pos = opPos;
          if (!Build(n, {left, seg}, left)) return firstPos;
        }
        if (k < Hi) opPos = it[k].Token.Pos;
        any = true;
        segLo = k + 1;
      }
      if (any) {
        Out = left;
        return 0;
      }
    }
    // Unary level: "!" or "~" applies to everything after it.
    if (IsOp(it[Lo], fopNot) || IsOp(it[Lo], fopBitNot)) {
      int32_t a = -1;
      if (int32_t e = ParseRange(Lo + 1, Hi, kLevelUnary, firstPos, Recursion + 1, a)) return e;
      TFFNode n;
      n.Class = ftcOperator;
      n.Index = it[Lo].Token.Index;
      n.Pos = firstPos;
      return Build(n, {a}, Out) ? 0 : firstPos;
    }
    if (Hi - Lo != 1) return firstPos;
    if (it[Lo].Node >= 0) {
      Out = it[Lo].Node;
      return 0;
    }
    const TFFToken& t = it[Lo].Token;
    if (t.Class != ftcOperand) return firstPos;
    TFFNode n;
    n.Class = ftcOperand;
    n.Index = t.Index;
    n.Value = t.Value;
    n.Pos = t.Pos;
    Out = NewNode(n);
    return 0;
  }

  TFFTree& FTree;
  const std::vector<TItem>* FItems = nullptr;
};

}  // namespace

int32_t FFParse(const std::vector<TFFToken>& Tokens, TFFTree& Tree) {
  const int32_t err = TParser(Tree).Run(Tokens);
  if (err) {
    Tree.Nodes.clear();
    Tree.Root = -1;
  }
  return err;
}

int32_t FFParseFormula(std::string_view Formula, TFFTree& Tree) {
  std::vector<TFFToken> tokens;
  if (const int32_t err = FFTokenize(Formula, tokens)) {
    Tree.Nodes.clear();
    Tree.Root = -1;
    return err;
  }
  return FFParse(tokens, Tree);
}

}  // namespace kv

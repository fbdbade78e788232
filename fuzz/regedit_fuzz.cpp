// REGEDIT4 parser: any bytes parse without harm, what the writer makes of the
// parsed keys reads back to the same text (parser and writer agree), the
// writer's text has no line a strict reading refuses, and a strict reading
// hands over the statements a lenient one finds before the first bad line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/reg_tree.h"
#include "platform/system/regedit_format.h"
#include "platform/system/registry_hive.h"

namespace {

// Lines of the statements up to the first bad line, and that line (0: none).
std::vector<int32_t> StrictLines(std::string_view Text, int32_t& BadLine) {
  std::vector<int32_t> lines;
  BadLine = 0;
  kv::ParseRegText(
      Text, [&](const kv::TRegTextEntry& e) { lines.push_back(e.Line); },
      [&](int32_t Line, std::string_view) {
        BadLine = Line;
        return false;
      });
  return lines;
}

std::string Rewrite(std::string_view Text, std::vector<int32_t>* Lines = nullptr) {
  kv::TRegKeyNode root;
  kv::ParseRegText(Text, [&](const kv::TRegTextEntry& e) {
    if (Lines) Lines->push_back(e.Line);
    kv::TRegPath path = kv::SplitRegPath(e.KeyPath);
    if (path.empty()) return;
    path.erase(path.begin());
    kv::TRegOp op;
    op.Path = std::move(path);
    op.Kind = e.Kind == kv::reKey         ? kv::roCreateKey
              : e.Kind == kv::reDeleteKey ? kv::roDeleteKey
              : e.Kind == kv::reValue     ? kv::roSetValue
                                          : kv::roDeleteValue;
    op.Name = e.Name;
    op.Type = e.Type;
    op.Data = e.Data;
    kv::ApplyRegOp(root, op);
  });
  std::string out(kv::RegTextHeader);
  kv::FormatRegKeyTree(out, "HKEY_CURRENT_USER", root, !root.Values().empty());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  std::vector<int32_t> all;
  const std::string once = Rewrite(text, &all);
  if (Rewrite(once) != once) __builtin_trap();
  int32_t bad = 0;
  StrictLines(once, bad);
  if (bad != 0) __builtin_trap();  // the writer never writes a line it would refuse
  const std::vector<int32_t> strict = StrictLines(text, bad);
  // Statements come in line order, and the strict ones are the lenient ones before the bad line.
  for (size_t i = 1; i < all.size(); ++i)
    if (all[i] < all[i - 1]) __builtin_trap();
  if (strict.size() > all.size()) __builtin_trap();
  for (size_t i = 0; i < strict.size(); ++i)
    if (strict[i] != all[i] || (bad && strict[i] >= bad)) __builtin_trap();
  if (bad && strict.size() < all.size() && all[strict.size()] < bad) __builtin_trap();
  return 0;
}

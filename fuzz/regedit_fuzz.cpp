// REGEDIT4 parser: any bytes parse without harm, and what the writer makes of
// the parsed keys reads back to the same text (parser and writer agree).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system/reg_tree.h"
#include "platform/system/regedit_format.h"
#include "platform/system/registry_hive.h"

namespace {

std::string Rewrite(std::string_view Text) {
  kv::TRegKeyNode root;
  kv::ParseRegText(Text, [&](const kv::TRegTextEntry& e) {
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
  const std::string once = Rewrite(std::string_view(reinterpret_cast<const char*>(Data), Size));
  if (Rewrite(once) != once) __builtin_trap();
  return 0;
}

#include "platform/system/reg_tree.h"

#include <algorithm>

namespace kv {

namespace {

// Folds ASCII capitals and, after a 0xC3 lead byte, the Latin-1 small letters
// U+00E0..U+00FE (not U+00F7, the division sign) to one case.
inline uint8_t FoldByte(uint8_t C, uint8_t Prev) {
  if (C >= 'a' && C <= 'z') return uint8_t(C - 32);
  if (Prev == 0xC3 && C >= 0xA0 && C <= 0xBE && C != 0xB7) return uint8_t(C - 0x20);
  return C;
}

}  // namespace

bool SameRegName(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  uint8_t prev = 0;
  for (size_t i = 0; i < A.size(); ++i) {
    const uint8_t a = uint8_t(A[i]);
    const uint8_t b = uint8_t(B[i]);
    if (FoldByte(a, prev) != FoldByte(b, prev)) return false;
    prev = a;  // equal lead bytes: the fold of the next byte sees the same context
  }
  return true;
}

std::string RegNameKey(std::string_view Name) {
  std::string key(Name);
  uint8_t prev = 0;
  for (char& c : key) {
    const uint8_t b = uint8_t(c);
    c = char(FoldByte(b, prev));
    prev = b;
  }
  return key;
}

namespace {

// After erasing position Gone: the positions behind it move down by one.
void DropFromIndex(std::unordered_map<std::string, size_t>& Index, size_t Gone) {
  for (auto& [key, pos] : Index)
    if (pos > Gone) --pos;
}

}  // namespace

TRegKeyNode* TRegKeyNode::FindSubKey(std::string_view SubName) {
  const auto it = FSubKeyIndex.find(RegNameKey(SubName));
  return it == FSubKeyIndex.end() ? nullptr : FSubKeys[it->second].get();
}

const TRegKeyNode* TRegKeyNode::FindSubKey(std::string_view SubName) const {
  return const_cast<TRegKeyNode*>(this)->FindSubKey(SubName);
}

TRegKeyNode* TRegKeyNode::AddSubKey(std::string_view SubName) {
  const auto [it, added] = FSubKeyIndex.try_emplace(RegNameKey(SubName), FSubKeys.size());
  if (!added) return FSubKeys[it->second].get();
  FSubKeys.push_back(std::make_unique<TRegKeyNode>(std::string(SubName)));
  return FSubKeys.back().get();
}

bool TRegKeyNode::DeleteSubKey(std::string_view SubName) {
  const auto it = FSubKeyIndex.find(RegNameKey(SubName));
  if (it == FSubKeyIndex.end()) return false;
  const size_t pos = it->second;
  FSubKeyIndex.erase(it);
  FSubKeys.erase(FSubKeys.begin() + std::ptrdiff_t(pos));
  DropFromIndex(FSubKeyIndex, pos);
  return true;
}

TRegValue* TRegKeyNode::FindValue(std::string_view ValueName) {
  const auto it = FValueIndex.find(RegNameKey(ValueName));
  return it == FValueIndex.end() ? nullptr : &FValues[it->second];
}

const TRegValue* TRegKeyNode::FindValue(std::string_view ValueName) const {
  return const_cast<TRegKeyNode*>(this)->FindValue(ValueName);
}

void TRegKeyNode::SetValue(std::string_view ValueName, uint32_t Type, std::vector<uint8_t> Data) {
  const auto [it, added] = FValueIndex.try_emplace(RegNameKey(ValueName), FValues.size());
  if (!added) {
    TRegValue& v = FValues[it->second];
    v.Type = Type;
    v.Data = std::move(Data);
    return;
  }
  FValues.push_back(TRegValue{std::string(ValueName), Type, std::move(Data)});
}

bool TRegKeyNode::DeleteValue(std::string_view ValueName) {
  const auto it = FValueIndex.find(RegNameKey(ValueName));
  if (it == FValueIndex.end()) return false;
  const size_t pos = it->second;
  FValueIndex.erase(it);
  FValues.erase(FValues.begin() + std::ptrdiff_t(pos));
  DropFromIndex(FValueIndex, pos);
  return true;
}

std::unique_ptr<TRegKeyNode> TRegKeyNode::Clone() const {
  auto copy = std::make_unique<TRegKeyNode>(Name);
  copy->FValues = FValues;
  copy->FValueIndex = FValueIndex;
  copy->FSubKeys.reserve(FSubKeys.size());
  for (const auto& k : FSubKeys) copy->FSubKeys.push_back(k->Clone());
  copy->FSubKeyIndex = FSubKeyIndex;
  return copy;
}

TRegPath SplitRegPath(std::string_view Path) {
  TRegPath parts;
  size_t pos = 0;
  while (pos <= Path.size()) {
    size_t next = Path.find('\\', pos);
    if (next == std::string_view::npos) next = Path.size();
    if (next > pos) parts.emplace_back(Path.substr(pos, next - pos));
    pos = next + 1;
  }
  return parts;
}

std::string JoinRegPath(const TRegPath& Path) {
  std::string s;
  for (const auto& p : Path) {
    if (!s.empty()) s += '\\';
    s += p;
  }
  return s;
}

bool IsValidRegName(std::string_view Name) {
  return Name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

const TRegKeyNode* FindRegKey(const TRegKeyNode& Root, const TRegPath& Path) {
  const TRegKeyNode* k = &Root;
  for (const auto& p : Path)
    if (!(k = k->FindSubKey(p))) return nullptr;
  return k;
}

TRegKeyNode* FindRegKey(TRegKeyNode& Root, const TRegPath& Path) {
  return const_cast<TRegKeyNode*>(FindRegKey(static_cast<const TRegKeyNode&>(Root), Path));
}

TRegKeyNode* CreateRegKey(TRegKeyNode& Root, const TRegPath& Path) {
  if (Path.size() > MaxRegKeyDepth) return nullptr;
  for (const auto& p : Path)
    if (!IsValidRegName(p)) return nullptr;
  TRegKeyNode* k = &Root;
  for (const auto& p : Path) k = k->AddSubKey(p);
  return k;
}

std::string RegDataToString(const std::vector<uint8_t>& Data) {
  const auto end = std::find(Data.begin(), Data.end(), uint8_t(0));
  return std::string(Data.begin(), end);
}

std::vector<uint8_t> StringToRegData(std::string_view Text) {
  std::vector<uint8_t> d(Text.begin(), Text.end());
  d.push_back(0);
  return d;
}

}  // namespace kv

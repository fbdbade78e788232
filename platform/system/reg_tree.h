// The in-memory form of one registry hive: keys with ordered subkeys and
// ordered values. Names compare without case and keep the case they were
// first written with.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kv {

// Value types as the window system numbers them; REGEDIT4 text writes them as hex(n).
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;
constexpr uint32_t REG_MULTI_SZ = 7;
constexpr uint32_t REG_QWORD = 11;

// Strings are stored as the window system stores them: the UTF-8 bytes and a closing NUL.
struct TRegValue {
  std::string Name;
  uint32_t Type = REG_NONE;
  std::vector<uint8_t> Data;
};

class TRegKeyNode {
 public:
  explicit TRegKeyNode(std::string AName = {}) : Name(std::move(AName)) {}

  // Set when the node is made; a subkey is not renamed in place (its index would not follow).
  std::string Name;
  // In the order they were added. Changed only through the members below,
  // which keep the name indexes.
  const std::vector<TRegValue>& Values() const { return FValues; }
  const std::vector<std::unique_ptr<TRegKeyNode>>& SubKeys() const { return FSubKeys; }

  TRegKeyNode* FindSubKey(std::string_view SubName);
  const TRegKeyNode* FindSubKey(std::string_view SubName) const;
  // Finds the subkey or appends it under the given case.
  TRegKeyNode* AddSubKey(std::string_view SubName);
  bool DeleteSubKey(std::string_view SubName);

  TRegValue* FindValue(std::string_view ValueName);
  const TRegValue* FindValue(std::string_view ValueName) const;
  // Replaces the data of an existing value in its place, or appends a new value.
  void SetValue(std::string_view ValueName, uint32_t Type, std::vector<uint8_t> Data);
  bool DeleteValue(std::string_view ValueName);

  std::unique_ptr<TRegKeyNode> Clone() const;

 private:
  std::vector<TRegValue> FValues;
  std::vector<std::unique_ptr<TRegKeyNode>> FSubKeys;
  // Folded name to position: an import or reload of a key with thousands of
  // values or subkeys stays linear instead of comparing each with each.
  std::unordered_map<std::string, size_t> FValueIndex;
  std::unordered_map<std::string, size_t> FSubKeyIndex;
};

using TRegPath = std::vector<std::string>;

// Deeper paths are refused (the window system's own limit), which also bounds
// the recursion over a tree read from a file.
constexpr size_t MaxRegKeyDepth = 512;

// Case-insensitive for ASCII and the Latin-1 letters (the umlauts of the program's texts).
bool SameRegName(std::string_view A, std::string_view B);
// The name folded to one case: two names are the same exactly when their keys are equal
// (for hashing many names instead of comparing each with each).
std::string RegNameKey(std::string_view Name);

// Splits at "\"; empty parts (leading, trailing or doubled separators) are dropped.
TRegPath SplitRegPath(std::string_view Path);
std::string JoinRegPath(const TRegPath& Path);

// Names must not hold line breaks or NULs: they could not be written back as text.
bool IsValidRegName(std::string_view Name);

const TRegKeyNode* FindRegKey(const TRegKeyNode& Root, const TRegPath& Path);
TRegKeyNode* FindRegKey(TRegKeyNode& Root, const TRegPath& Path);
// Nullptr when the path is deeper than MaxRegKeyDepth or holds an invalid name.
TRegKeyNode* CreateRegKey(TRegKeyNode& Root, const TRegPath& Path);

// String data as stored (bytes up to the first NUL) and back.
std::string RegDataToString(const std::vector<uint8_t>& Data);
std::vector<uint8_t> StringToRegData(std::string_view Text);

}  // namespace kv

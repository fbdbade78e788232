#include "platform/system/registry.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/types.h"
#include "platform/system/file_lock.h"
#include "platform/system/regedit_format.h"

namespace kv {

namespace {

constexpr int64_t MaxImportBytes = 64 << 20;

std::atomic<HKEY> GNextHandle{1};

[[noreturn]] void RaiseGetData(const std::string& Name) {
  throw ERegistryException("Failed to get data for '" + Name + "'");
}
[[noreturn]] void RaiseType(const std::string& Name) {
  throw ERegistryException("Invalid data type for '" + Name + "'");
}
[[noreturn]] void RaiseSetData(const std::string& Name) {
  throw ERegistryException("Failed to set data for '" + Name + "'");
}

TRegDataType DataTypeOf(uint32_t Type) {
  switch (Type) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    default: return rdUnknown;
  }
}

size_t TreeDepth(const TRegKeyNode& Node) {
  size_t d = 0;
  for (const auto& k : Node.SubKeys()) d = std::max(d, TreeDepth(*k) + 1);
  return d;
}

void CopyTreeOps(const TRegKeyNode& Node, const TRegPath& To, std::vector<TRegOp>& Ops) {
  Ops.push_back(TRegOp{roCreateKey, To, {}, REG_NONE, {}});
  for (const TRegValue& v : Node.Values()) Ops.push_back(TRegOp{roSetValue, To, v.Name, v.Type, v.Data});
  for (const auto& k : Node.SubKeys()) {
    TRegPath sub = To;
    sub.push_back(k->Name);
    CopyTreeOps(*k, sub, Ops);
  }
}

bool IsPrefix(const TRegPath& Prefix, const TRegPath& Path) {
  if (Prefix.size() > Path.size()) return false;
  for (size_t i = 0; i < Prefix.size(); ++i)
    if (!SameRegName(Prefix[i], Path[i])) return false;
  return true;
}

}  // namespace

// --- TRegistry ---------------------------------------------------------------

TRegistry::~TRegistry() {
  try {
    CloseKey();
  } catch (const std::exception&) {
    // The changes stay pending in the hive and are written by the next flush.
  }
}

void TRegistry::SetRootKey(HKEY Value) {
  if (Value == FRootKey) return;
  CloseKey();
  FRootKey = Value;
}

bool TRegistry::Resolve(const std::string& Key, TRegPath& Path, bool& Relative) const {
  Relative = Key.empty() || Key.front() != '\\';
  Path = Relative && FKey.Open ? FKey.Path : TRegPath{};
  for (auto& p : SplitRegPath(Key)) Path.push_back(std::move(p));
  return Path.size() <= MaxRegKeyDepth;
}

bool TRegistry::PathExists(const TRegPath& Path) {
  bool found = false;
  try {
    RegHiveRead(FRootKey, [&](const TRegKeyNode& t) { found = FindRegKey(t, Path) != nullptr; });
  } catch (const EInOutError& e) {
    throw ERegistryException(e.Message());
  }
  return found;
}

void TRegistry::Change(const std::vector<TRegOp>& Ops) {
  if (!RegHiveChange(FRootKey, Ops, !FLazyWrite)) throw EInOutError("No such root key");
  if (FLazyWrite && std::find(FDirtyRoots.begin(), FDirtyRoots.end(), FRootKey) == FDirtyRoots.end())
    FDirtyRoots.push_back(FRootKey);
}

void TRegistry::ChangeKey(TRegPath Path, uint32_t KeyAccess) {
  CloseKey();
  FKey.Open = true;
  FKey.PathText = JoinRegPath(Path);
  FKey.Path = std::move(Path);
  FKey.Access = KeyAccess;
  FKey.Handle = GNextHandle++;
}

void TRegistry::CloseKey() {
  const std::string path = FKey.PathText;
  FKey = TOpenKey{};
  std::vector<HKEY> roots;
  roots.swap(FDirtyRoots);
  bool failed = false;
  for (HKEY r : roots) {
    try {
      RegHiveFlush(r);
    } catch (const EInOutError&) {
      failed = true;  // stays pending in the hive
    }
  }
  if (failed) RaiseSetData(path);
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
  TRegPath path;
  bool relative = true;
  if (RootKeyName(FRootKey).empty() || !Resolve(Key, path, relative)) return false;
  if (!PathExists(path)) {
    if (!CanCreate) return false;
    // Creating below an open key needs the right to create subkeys on it.
    if (relative && FKey.Open && !(FKey.Access & KEY_CREATE_SUB_KEY)) return false;
    for (const auto& p : path)
      if (!IsValidRegName(p)) return false;
    try {
      Change({TRegOp{roCreateKey, path, {}, REG_NONE, {}}});
    } catch (const EInOutError&) {
      return false;
    }
  }
  ChangeKey(std::move(path), FAccess);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) {
  TRegPath path;
  bool relative = true;
  if (RootKeyName(FRootKey).empty() || !Resolve(Key, path, relative) || !PathExists(path)) return false;
  ChangeKey(std::move(path), KEY_READ);
  return true;
}

bool TRegistry::CreateKey(const std::string& Key) {
  TRegPath path;
  bool relative = true;
  bool ok = !RootKeyName(FRootKey).empty() && Resolve(Key, path, relative);
  for (const auto& p : path) ok = ok && IsValidRegName(p);
  if (ok && relative && FKey.Open && !(FKey.Access & KEY_CREATE_SUB_KEY) && !PathExists(path)) ok = false;
  if (ok && !PathExists(path)) {
    try {
      Change({TRegOp{roCreateKey, path, {}, REG_NONE, {}}});
    } catch (const EInOutError&) {
      ok = false;
    }
  }
  if (!ok) throw ERegistryException("Failed to create key " + Key);
  return true;
}

bool TRegistry::DeleteKey(const std::string& Key) {
  TRegPath path;
  bool relative = true;
  if (!Resolve(Key, path, relative) || path.empty() || !PathExists(path)) return false;
  try {
    Change({TRegOp{roDeleteKey, path, {}, REG_NONE, {}}});
  } catch (const EInOutError&) {
    return false;
  }
  return true;
}

bool TRegistry::KeyExists(const std::string& Key) {
  TRegPath path;
  bool relative = true;
  return Resolve(Key, path, relative) && PathExists(path);
}

bool TRegistry::HasSubKeys() {
  std::vector<std::string> names;
  GetKeyNames(names);
  return !names.empty();
}

void TRegistry::GetKeyNames(std::vector<std::string>& Strings) {
  Strings.clear();
  if (!FKey.Open) return;
  try {
    RegHiveRead(FRootKey, [&](const TRegKeyNode& t) {
      if (const TRegKeyNode* k = FindRegKey(t, FKey.Path))
        for (const auto& s : k->SubKeys()) Strings.push_back(s->Name);
    });
  } catch (const EInOutError& e) {
    throw ERegistryException(e.Message());
  }
}

void TRegistry::GetValueNames(std::vector<std::string>& Strings) {
  Strings.clear();
  if (!FKey.Open) return;
  try {
    RegHiveRead(FRootKey, [&](const TRegKeyNode& t) {
      if (const TRegKeyNode* k = FindRegKey(t, FKey.Path))
        for (const auto& v : k->Values()) Strings.push_back(v.Name);
    });
  } catch (const EInOutError& e) {
    throw ERegistryException(e.Message());
  }
}

void TRegistry::MoveKey(const std::string& OldName, const std::string& NewName, bool Delete) {
  TRegPath from, to;
  bool relative = true;
  if (!Resolve(OldName, from, relative) || !Resolve(NewName, to, relative) || from.empty()) return;
  // Moving a key into itself would copy without end and then delete the copy.
  if (IsPrefix(from, to)) return;
  std::vector<TRegOp> ops;
  bool ok = false;
  try {
    RegHiveRead(FRootKey, [&](const TRegKeyNode& t) {
      const TRegKeyNode* src = FindRegKey(t, from);
      if (!src || FindRegKey(t, to) || to.size() + TreeDepth(*src) > MaxRegKeyDepth) return;
      CopyTreeOps(*src, to, ops);
      ok = true;
    });
  } catch (const EInOutError& e) {
    throw ERegistryException(e.Message());
  }
  if (!ok) return;
  if (Delete) ops.push_back(TRegOp{roDeleteKey, from, {}, REG_NONE, {}});
  try {
    Change(ops);
  } catch (const EInOutError&) {
    RaiseSetData(NewName);
  }
}

void TRegistry::GetKeyNames(TStrings& Strings) {
  std::vector<std::string> v;
  GetKeyNames(v);
  Strings.AssignLines(v);
}

void TRegistry::GetValueNames(TStrings& Strings) {
  std::vector<std::string> v;
  GetValueNames(v);
  Strings.AssignLines(v);
}

bool TRegistry::GetValue(const std::string& Name, TRegValue& Value) {
  if (!FKey.Open) return false;
  bool found = false;
  try {
    RegHiveRead(FRootKey, [&](const TRegKeyNode& t) {
      const TRegKeyNode* k = FindRegKey(t, FKey.Path);
      const TRegValue* v = k ? k->FindValue(Name) : nullptr;
      if (v) {
        Value = *v;
        found = true;
      }
    });
  } catch (const EInOutError& e) {
    throw ERegistryException(e.Message());
  }
  return found;
}

TRegValue TRegistry::GetData(const std::string& Name) {
  TRegValue v;
  if (!GetValue(Name, v)) RaiseGetData(Name);
  return v;
}

void TRegistry::PutData(const std::string& Name, uint32_t Type, std::vector<uint8_t> Data) {
  if (!FKey.Open || !(FKey.Access & KEY_SET_VALUE) || !IsValidRegName(Name)) RaiseSetData(Name);
  try {
    Change({TRegOp{roSetValue, FKey.Path, Name, Type, std::move(Data)}});
  } catch (const EInOutError&) {
    RaiseSetData(Name);
  }
}

bool TRegistry::ValueExists(const std::string& Name) {
  TRegValue v;
  return GetValue(Name, v);
}

bool TRegistry::DeleteValue(const std::string& Name) {
  if (!FKey.Open || !(FKey.Access & KEY_SET_VALUE) || !ValueExists(Name)) return false;
  try {
    Change({TRegOp{roDeleteValue, FKey.Path, Name, REG_NONE, {}}});
  } catch (const EInOutError&) {
    return false;
  }
  return true;
}

void TRegistry::RenameValue(const std::string& OldName, const std::string& NewName) {
  TRegValue v;
  if (!GetValue(OldName, v) || ValueExists(NewName)) return;
  if (!FKey.Open || !(FKey.Access & KEY_SET_VALUE) || !IsValidRegName(NewName)) RaiseSetData(NewName);
  try {
    Change({TRegOp{roSetValue, FKey.Path, NewName, v.Type, std::move(v.Data)},
            TRegOp{roDeleteValue, FKey.Path, OldName, REG_NONE, {}}});
  } catch (const EInOutError&) {
    RaiseSetData(NewName);
  }
}

TRegDataType TRegistry::GetDataType(const std::string& ValueName) {
  TRegDataInfo info;
  GetDataInfo(ValueName, info);
  return info.RegData;
}

int32_t TRegistry::GetDataSize(const std::string& ValueName) {
  TRegDataInfo info;
  return GetDataInfo(ValueName, info) ? info.DataSize : -1;
}

bool TRegistry::GetDataInfo(const std::string& ValueName, TRegDataInfo& Value) {
  Value = TRegDataInfo{};
  TRegValue v;
  if (!GetValue(ValueName, v)) return false;
  Value.RegData = DataTypeOf(v.Type);
  Value.DataSize = int32_t(std::min<size_t>(v.Data.size(), size_t(MaxInt)));
  return true;
}

std::string TRegistry::ReadString(const std::string& Name) {
  TRegValue v;
  if (!GetValue(Name, v) || v.Data.empty()) return {};
  if (v.Type != REG_SZ && v.Type != REG_EXPAND_SZ) RaiseType(Name);
  return RegDataToString(v.Data);
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
  PutData(Name, REG_SZ, StringToRegData(Value));
}

void TRegistry::WriteExpandString(const std::string& Name, const std::string& Value) {
  PutData(Name, REG_EXPAND_SZ, StringToRegData(Value));
}

int32_t TRegistry::ReadInteger(const std::string& Name) {
  const TRegValue v = GetData(Name);
  if (v.Type != REG_DWORD || v.Data.size() != 4) RaiseType(Name);
  const uint32_t d = uint32_t(v.Data[0]) | uint32_t(v.Data[1]) << 8 | uint32_t(v.Data[2]) << 16 |
                     uint32_t(v.Data[3]) << 24;
  return int32_t(d);
}

void TRegistry::WriteInteger(const std::string& Name, int32_t Value) {
  const uint32_t d = uint32_t(Value);
  PutData(Name, REG_DWORD, {uint8_t(d), uint8_t(d >> 8), uint8_t(d >> 16), uint8_t(d >> 24)});
}

bool TRegistry::ReadBool(const std::string& Name) { return ReadInteger(Name) != 0; }

void TRegistry::WriteBool(const std::string& Name, bool Value) { WriteInteger(Name, Value ? 1 : 0); }

double TRegistry::ReadFloat(const std::string& Name) {
  const TRegValue v = GetData(Name);
  double d = 0;
  if (v.Type != REG_BINARY || v.Data.size() != sizeof d) RaiseType(Name);
  std::memcpy(&d, v.Data.data(), sizeof d);
  return d;
}

void TRegistry::WriteFloat(const std::string& Name, double Value) {
  std::vector<uint8_t> data(sizeof Value);
  std::memcpy(data.data(), &Value, sizeof Value);
  PutData(Name, REG_BINARY, std::move(data));
}

int32_t TRegistry::ReadBinaryData(const std::string& Name, void* Buffer, int32_t BufSize) {
  TRegValue v;
  if (!GetValue(Name, v)) return 0;
  const TRegDataType t = DataTypeOf(v.Type);
  if ((t != rdBinary && t != rdUnknown) || BufSize < 0 || v.Data.size() > size_t(BufSize)) RaiseType(Name);
  if (!v.Data.empty()) {
    if (!Buffer) RaiseGetData(Name);
    std::memcpy(Buffer, v.Data.data(), v.Data.size());
  }
  return int32_t(v.Data.size());
}

void TRegistry::WriteBinaryData(const std::string& Name, const void* Buffer, int32_t BufSize) {
  if (BufSize < 0 || (BufSize > 0 && !Buffer)) RaiseSetData(Name);
  const auto* p = static_cast<const uint8_t*>(Buffer);
  PutData(Name, REG_BINARY, std::vector<uint8_t>(p, p + BufSize));
}

// --- TRegIniFile -------------------------------------------------------------

TRegIniFile::TRegIniFile(const std::string& FileName) : FFileName(FileName) { OpenKey(FileName, true); }

TRegIniFile::TRegIniFile(const std::string& FileName, uint32_t AAccess) : TRegistry(AAccess), FFileName(FileName) {
  OpenKey(FileName, true);
}

template <typename F> bool TRegIniFile::InSection(const std::string& Section, F&& Fn) {
  TRegPath path;
  bool relative = true;
  if (!Resolve(Section, path, relative) || !PathExists(path)) return false;
  // The section becomes the open key for the call; the key and its pending
  // writes stay with this object, so nothing is flushed in between.
  TOpenKey saved = FKey;
  FKey.Open = true;
  FKey.PathText = JoinRegPath(path);
  FKey.Path = std::move(path);
  FKey.Access = FAccess;
  struct TRestore {
    TOpenKey& Key;
    TOpenKey Saved;
    ~TRestore() { Key = std::move(Saved); }
  } restore{FKey, std::move(saved)};
  Fn();
  return true;
}

std::string TRegIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                    const std::string& Default) {
  std::string result = Default;
  InSection(Section, [&] {
    if (ValueExists(Ident)) result = TRegistry::ReadString(Ident);
  });
  return result;
}

void TRegIniFile::WriteString(const std::string& Section, const std::string& Ident,
                              const std::string& Value) {
  CreateKey(Section);
  if (!InSection(Section, [&] { TRegistry::WriteString(Ident, Value); })) RaiseSetData(Ident);
}

int32_t TRegIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) {
  int32_t result = Default;
  InSection(Section, [&] {
    if (!ValueExists(Ident)) return;
    if (GetDataType(Ident) == rdString) {
      if (!TryParseIniInteger(TRegistry::ReadString(Ident), result)) result = Default;
    } else {
      result = TRegistry::ReadInteger(Ident);
    }
  });
  return result;
}

void TRegIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value) {
  WriteString(Section, Ident, std::to_string(Value));
}

bool TRegIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TRegIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
  WriteInteger(Section, Ident, Value ? 1 : 0);
}

void TRegIniFile::ReadSection(const std::string& Section, std::vector<std::string>& Strings) {
  Strings.clear();
  InSection(Section, [&] { GetValueNames(Strings); });
}

void TRegIniFile::ReadSections(std::vector<std::string>& Strings) { GetKeyNames(Strings); }

void TRegIniFile::ReadSectionValues(const std::string& Section, std::vector<std::string>& Strings) {
  std::vector<std::string> names;
  ReadSection(Section, names);
  Strings.clear();
  for (const auto& n : names) Strings.push_back(n + "=" + ReadString(Section, n, ""));
}

void TRegIniFile::ReadSection(const std::string& Section, TStrings& Strings) {
  std::vector<std::string> v;
  ReadSection(Section, v);
  Strings.AssignLines(v);
}

void TRegIniFile::ReadSections(TStrings& Strings) {
  std::vector<std::string> v;
  ReadSections(v);
  Strings.AssignLines(v);
}

void TRegIniFile::ReadSectionValues(const std::string& Section, TStrings& Strings) {
  std::vector<std::string> v;
  ReadSectionValues(Section, v);
  Strings.AssignLines(v);
}

void TRegIniFile::EraseSection(const std::string& Section) { TRegistry::DeleteKey(Section); }

void TRegIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
  InSection(Section, [&] { DeleteValue(Ident); });
}

// --- TRegistryIniFile --------------------------------------------------------

TRegistryIniFile::TRegistryIniFile(const std::string& FileName, uint32_t AAccess)
    : TCustomIniFile(FileName), FRegIniFile(FileName, AAccess) {}

std::string TRegistryIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                         const std::string& Default) {
  return FRegIniFile.ReadString(Section, Ident, Default);
}

void TRegistryIniFile::WriteString(const std::string& Section, const std::string& Ident,
                                   const std::string& Value) {
  FRegIniFile.WriteString(Section, Ident, Value);
}

int32_t TRegistryIniFile::ReadInteger(const std::string& Section, const std::string& Ident,
                                      int32_t Default) {
  return FRegIniFile.ReadInteger(Section, Ident, Default);
}

void TRegistryIniFile::ReadSection(const std::string& Section, std::vector<std::string>& Strings) {
  FRegIniFile.ReadSection(Section, Strings);
}

void TRegistryIniFile::ReadSections(std::vector<std::string>& Strings) { FRegIniFile.ReadSections(Strings); }

void TRegistryIniFile::ReadSectionValues(const std::string& Section, std::vector<std::string>& Strings) {
  FRegIniFile.ReadSectionValues(Section, Strings);
}

void TRegistryIniFile::EraseSection(const std::string& Section) { FRegIniFile.EraseSection(Section); }

void TRegistryIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
  FRegIniFile.DeleteKey(Section, Ident);
}

void TRegistryIniFile::UpdateFile() {
  try {
    RegHiveFlush(FRegIniFile.RootKey());
  } catch (const EInOutError&) {
    throw ERegistryException("Failed to set data for '" + FRegIniFile.CurrentPath() + "'");
  }
}

// --- Import and export -------------------------------------------------------

namespace {

// Whether an import statement can be carried out, so that a failing one stops
// the import before anything after it is changed.
bool CanApply(const TRegOp& Op) {
  if (Op.Path.size() > MaxRegKeyDepth) return false;
  for (const std::string& p : Op.Path)
    if (!IsValidRegName(p)) return false;
  return Op.Kind != roSetValue || IsValidRegName(Op.Name);
}

std::string ShortLineText(std::string_view Text) {
  constexpr size_t Max = 80;
  return Text.size() <= Max ? std::string(Text) : std::string(Text.substr(0, Max)) + "...";
}

}  // namespace

void ImportRegFile(const std::string& FileName) {
  std::string text;
  try {
    if (!ReadFileToString(FileName, text, MaxImportBytes)) return;
  } catch (const EInOutError& e) {
    throw ERegistryException(e.Message());
  }
  std::vector<TRegOp> ops;
  std::string failure;
  auto fail = [&](int32_t Line, std::string_view What) {
    failure = "Import of '" + FileName + "' stopped at line " + std::to_string(Line) + ": " + ShortLineText(What);
    return false;
  };
  ParseRegText(
      text,
      [&](const TRegTextEntry& e) {
        if (!failure.empty()) return;
        TRegPath path = SplitRegPath(e.KeyPath);
        if (!path.empty()) path.erase(path.begin());  // the root part, whatever it names
        TRegOp op;
        switch (e.Kind) {
          case reKey: op = TRegOp{roCreateKey, std::move(path), {}, REG_NONE, {}}; break;
          case reDeleteKey:
            if (path.empty()) return;  // never the whole hive
            op = TRegOp{roDeleteKey, std::move(path), {}, REG_NONE, {}};
            break;
          case reValue: op = TRegOp{roSetValue, std::move(path), e.Name, e.Type, e.Data}; break;
          case reDeleteValue: op = TRegOp{roDeleteValue, std::move(path), e.Name, REG_NONE, {}}; break;
        }
        if (!CanApply(op)) {
          fail(e.Line, e.Kind == reValue || e.Kind == reDeleteValue ? "invalid value name " + e.Name
                                                                    : "invalid key " + e.KeyPath);
          return;
        }
        ops.push_back(std::move(op));
      },
      [&](int32_t Line, std::string_view Text) { return fail(Line, Text); });
  if (!ops.empty()) {
    try {
      RegHiveChange(HKEY_CURRENT_USER, ops, true);
    } catch (const EInOutError& e) {
      throw ERegistryException(e.Message());
    }
  }
  if (!failure.empty()) throw ERegistryException(failure);
}

bool ExportRegKey(HKEY Root, const std::string& Key, const std::string& FileName) {
  const TRegPath path = SplitRegPath(Key);
  std::string text(RegTextHeader);
  bool found = false;
  try {
    RegHiveRead(Root, [&](const TRegKeyNode& t) {
      const TRegKeyNode* k = FindRegKey(t, path);
      if (!k) return;
      found = true;
      std::string full = RootKeyName(Root);
      for (const auto& p : path) full += '\\' + p;
      FormatRegKeyTree(text, full, *k, true);
    });
    if (found) AtomicWriteFile(FileName, text);
  } catch (const EInOutError& e) {
    throw ERegistryException(e.Message());
  }
  return found;
}

}  // namespace kv

// The file-backed hives behind TRegistry: one tree per root key, kept in
// "<root name>.reg" (REGEDIT4 text) in the registry folder.
//
// Each hive in memory is the file's content plus the changes of this process
// not yet written. Reads first check whether the file changed (another process
// wrote it) and then reload it and replay the unwritten changes on top. A write
// takes the hive's lock file, reloads under the lock when needed, replays and
// replaces the file atomically, so two processes never lose each other's
// changes. All calls are serialised by one process-wide mutex.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/system/reg_tree.h"

namespace kv {

using HKEY = uint32_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;
constexpr HKEY HKEY_USERS = 0x80000003;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005;
constexpr HKEY HKEY_DYN_DATA = 0x80000006;

// "HKEY_CURRENT_USER" and so on; empty for a value that is no root key.
std::string RootKeyName(HKEY Root);
// 0 when the name is no root key (compared without case).
HKEY RootKeyFromName(std::string_view Name);

// Folder of the hive files, with a trailing "/": by default ConfigFolder().
// Setting it (tests use a temporary folder; "" restores the default) first
// writes what is pending and then forgets every loaded hive.
void SetRegistryFolder(const std::string& Folder);
std::string RegistryFolder();
std::string HiveFileName(HKEY Root);

enum TRegOpKind : uint8_t { roCreateKey, roDeleteKey, roSetValue, roDeleteValue };

// One change; a value change creates its key when another process removed it meanwhile.
struct TRegOp {
  TRegOpKind Kind = roCreateKey;
  TRegPath Path;
  std::string Name;
  uint32_t Type = REG_NONE;
  std::vector<uint8_t> Data;
};

// Applies one change to a tree; false when the path cannot be created.
bool ApplyRegOp(TRegKeyNode& Tree, const TRegOp& Op);

// Runs Fn on the current tree of the hive. False for an unknown root; raises
// EInOutError when the hive file exists but cannot be read.
bool RegHiveRead(HKEY Root, const std::function<void(const TRegKeyNode&)>& Fn);

// Applies the changes to the hive. With WriteNow the hive is written at once;
// when that fails the changes are taken back and EInOutError is raised.
// False for an unknown root.
bool RegHiveChange(HKEY Root, const std::vector<TRegOp>& Ops, bool WriteNow);

// Writes the unwritten changes of the hive. On failure raises EInOutError and
// keeps them for the next attempt (at the latest when the process ends).
void RegHiveFlush(HKEY Root);

}  // namespace kv

// The registry as the program's classes use it: keys and typed values under
// the predefined roots, stored in file-backed hives (registry_hive.h).
//
// Writing: with LazyWrite (the default) changes are visible at once to every
// TRegistry of this process and are written to the hive file when the key is
// closed (CloseKey, opening another key, changing the root, destruction).
// Without LazyWrite every change is written before the call returns, and a
// change that cannot be written is taken back and raises. A failed write at
// CloseKey raises there and stays pending for the next write; a destructor
// cannot raise, so what it fails to write is tried again at the latest when
// the process ends.
//
// Failures raise ERegistryException with the class library's texts:
// "Failed to get data for '%s'" (a missing value), "Invalid data type for
// '%s'" (a value of another type or size), "Failed to set data for '%s'"
// and "Failed to create key %s".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/date_time.h"
#include "platform/system/ini_file.h"
#include "platform/system/registry_hive.h"

namespace kv {

// Access rights: the read and write parts that matter here are checked.
constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr uint32_t KEY_NOTIFY = 0x0010;
constexpr uint32_t KEY_CREATE_LINK = 0x0020;
constexpr uint32_t KEY_READ = 0x20019;
constexpr uint32_t KEY_WRITE = 0x20006;
constexpr uint32_t KEY_EXECUTE = KEY_READ;
constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

enum TRegDataType : uint8_t { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int32_t DataSize = 0;
};

class TRegistry : public TObject {
 public:
  TRegistry() = default;
  explicit TRegistry(uint32_t AAccess) : FAccess(AAccess) {}
  ~TRegistry() override;

  HKEY RootKey() const { return FRootKey; }
  // Closes the open key first.
  void SetRootKey(HKEY Value);
  uint32_t Access() const { return FAccess; }
  void SetAccess(uint32_t Value) { FAccess = Value; }
  bool LazyWrite() const { return FLazyWrite; }
  void SetLazyWrite(bool Value) { FLazyWrite = Value; }
  // Non-zero while a key is open.
  HKEY CurrentKey() const { return FKey.Open ? FKey.Handle : 0; }
  // The open key's path below the root, without a leading "\".
  const std::string& CurrentPath() const { return FKey.PathText; }

  // A key starting with "\" is a path from the root; any other is relative to
  // the open key (or to the root when none is open).
  bool OpenKey(const std::string& Key, bool CanCreate);
  bool OpenKeyReadOnly(const std::string& Key);
  // True when the key exists afterwards; raises "Failed to create key %s".
  bool CreateKey(const std::string& Key);
  void CloseKey();
  // Deletes the key with all its subkeys; false when it does not exist.
  bool DeleteKey(const std::string& Key);
  bool KeyExists(const std::string& Key);
  bool HasSubKeys();
  // Names of the open key's subkeys / values in their order (the list is cleared first).
  void GetKeyNames(std::vector<std::string>& Strings);
  void GetValueNames(std::vector<std::string>& Strings);
  void GetKeyNames(TStrings& Strings);
  void GetValueNames(TStrings& Strings);
  // Copies the key with its values and subkeys to NewName, then deletes the
  // old key when Delete. Nothing happens when OldName is missing, NewName
  // exists, or NewName lies inside OldName.
  void MoveKey(const std::string& OldName, const std::string& NewName, bool Delete);

  bool ValueExists(const std::string& Name);
  bool DeleteValue(const std::string& Name);
  // Only when OldName exists and NewName does not; the value keeps its type.
  void RenameValue(const std::string& OldName, const std::string& NewName);
  TRegDataType GetDataType(const std::string& ValueName);
  // Bytes of the value (a string counts its closing NUL); -1 when missing.
  int32_t GetDataSize(const std::string& ValueName);
  bool GetDataInfo(const std::string& ValueName, TRegDataInfo& Value);

  // A missing value reads as empty text.
  std::string ReadString(const std::string& Name);
  void WriteString(const std::string& Name, const std::string& Value);
  void WriteExpandString(const std::string& Name, const std::string& Value);
  int32_t ReadInteger(const std::string& Name);
  void WriteInteger(const std::string& Name, int32_t Value);
  // Stored as the integers 0 and 1; any integer but 0 reads as true.
  bool ReadBool(const std::string& Name);
  void WriteBool(const std::string& Name, bool Value);
  // Floats and date-times are 8-byte binary values holding the double.
  double ReadFloat(const std::string& Name);
  void WriteFloat(const std::string& Name, double Value);
  TDateTime ReadDate(const std::string& Name) { return ReadFloat(Name); }
  TDateTime ReadTime(const std::string& Name) { return ReadFloat(Name); }
  TDateTime ReadDateTime(const std::string& Name) { return ReadFloat(Name); }
  void WriteDate(const std::string& Name, TDateTime Value) { WriteFloat(Name, Value); }
  void WriteTime(const std::string& Name, TDateTime Value) { WriteFloat(Name, Value); }
  void WriteDateTime(const std::string& Name, TDateTime Value) { WriteFloat(Name, Value); }
  // Copies a binary (or untyped) value into Buffer and returns its size; 0
  // when missing; raises when it is of another type or larger than BufSize.
  int32_t ReadBinaryData(const std::string& Name, void* Buffer, int32_t BufSize);
  void WriteBinaryData(const std::string& Name, const void* Buffer, int32_t BufSize);

 protected:
  struct TOpenKey {
    bool Open = false;
    TRegPath Path;
    std::string PathText;
    uint32_t Access = 0;
    HKEY Handle = 0;
  };

  // The full path of Key as seen from the open key; false when too deep.
  bool Resolve(const std::string& Key, TRegPath& Path, bool& Relative) const;
  bool PathExists(const TRegPath& Path);
  void ChangeKey(TRegPath Path, uint32_t KeyAccess);
  // The open key's value, or false when there is none.
  bool GetValue(const std::string& Name, TRegValue& Value);
  TRegValue GetData(const std::string& Name);  // raises "Failed to get data"
  void PutData(const std::string& Name, uint32_t Type, std::vector<uint8_t> Data);
  // Raises EInOutError from the hive as is.
  void Change(const std::vector<TRegOp>& Ops);

  HKEY FRootKey = HKEY_CURRENT_USER;
  uint32_t FAccess = KEY_ALL_ACCESS;
  bool FLazyWrite = true;
  TOpenKey FKey;
  std::vector<HKEY> FDirtyRoots;  // roots with changes that CloseKey must write
};

// The registry used like an INI file: sections are subkeys of the open key
// (the key FileName, opened or created under HKEY_CURRENT_USER by the
// constructor), identifiers are their values. Everything is written as
// strings; reading a missing section or value gives the default.
class TRegIniFile : public TRegistry {
 public:
  explicit TRegIniFile(const std::string& FileName);
  TRegIniFile(const std::string& FileName, uint32_t AAccess);

  const std::string& FileName() const { return FFileName; }

  using TRegistry::DeleteKey;
  using TRegistry::ReadBool;
  using TRegistry::ReadInteger;
  using TRegistry::ReadString;
  using TRegistry::WriteBool;
  using TRegistry::WriteInteger;
  using TRegistry::WriteString;

  std::string ReadString(const std::string& Section, const std::string& Ident, const std::string& Default);
  void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
  // A string value is parsed leniently (text that is no number gives Default);
  // an integer value is read as such.
  int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default);
  void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);
  bool ReadBool(const std::string& Section, const std::string& Ident, bool Default);
  void WriteBool(const std::string& Section, const std::string& Ident, bool Value);
  void ReadSection(const std::string& Section, std::vector<std::string>& Strings);
  void ReadSections(std::vector<std::string>& Strings);
  void ReadSectionValues(const std::string& Section, std::vector<std::string>& Strings);
  void ReadSection(const std::string& Section, TStrings& Strings);
  void ReadSections(TStrings& Strings);
  void ReadSectionValues(const std::string& Section, TStrings& Strings);
  // Deletes the section's key with everything below it.
  void EraseSection(const std::string& Section);
  // Deletes the value Ident of the section.
  void DeleteKey(const std::string& Section, const std::string& Ident);

 private:
  // Runs Fn with the section's key as the open key; false when it does not exist.
  template <typename F> bool InSection(const std::string& Section, F&& Fn);

  std::string FFileName;
};

// TRegIniFile behind the common INI interface, for code that takes either store.
class TRegistryIniFile : public TCustomIniFile {
 public:
  explicit TRegistryIniFile(const std::string& FileName, uint32_t AAccess = KEY_ALL_ACCESS);
  TRegIniFile& RegIniFile() { return FRegIniFile; }

  using TCustomIniFile::ReadSection;
  using TCustomIniFile::ReadSections;
  using TCustomIniFile::ReadSectionValues;

  std::string ReadString(const std::string& Section, const std::string& Ident,
                         const std::string& Default) override;
  void WriteString(const std::string& Section, const std::string& Ident,
                   const std::string& Value) override;
  int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) override;
  void ReadSection(const std::string& Section, std::vector<std::string>& Strings) override;
  void ReadSections(std::vector<std::string>& Strings) override;
  void ReadSectionValues(const std::string& Section, std::vector<std::string>& Strings) override;
  void EraseSection(const std::string& Section) override;
  void DeleteKey(const std::string& Section, const std::string& Ident) override;
  // Writes what is pending to the hive file.
  void UpdateFile() override;

 private:
  TRegIniFile FRegIniFile;
};

// Merges a REGEDIT4 text file into the current user's registry and writes the
// hive once. The root named by each section is replaced by HKEY_CURRENT_USER,
// so a settings file can only ever change the user's own keys. Every value
// type of the format is taken, and the "-" deletions are carried out. A
// missing file does nothing. The import stops at the first line that is no
// valid statement or names a key or value that cannot be made: what came
// before it is written, and ERegistryException names the file and the line.
// Raises ERegistryException as well when the file cannot be read or the hive
// cannot be written (then nothing was changed).
void ImportRegFile(const std::string& FileName);

// Writes Key (a path below Root, "\" in front or not) with all its subkeys as a
// REGEDIT4 file. False when the key does not exist; raises ERegistryException
// when the file cannot be written.
bool ExportRegKey(HKEY Root, const std::string& Key, const std::string& FileName);

}  // namespace kv

// INI-style settings: the common interface of the INI file and of the
// registry used as an INI file, and the INI file on a path.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/system/file_lock.h"

namespace kv {

class TStrings;

// An integer as settings hold it: optional sign, then decimal, "$1F" or
// "0x1F" (hex covers all 32 bits); blanks around it are allowed, nothing else.
bool TryParseIniInteger(std::string_view S, int32_t& Value);

// An INI file's text as lines without their ends, with what it takes to write
// the same text back: a leading UTF-8 byte order mark, and CR LF line ends
// when the first line has one. A run of CRs before a LF belongs to the line end.
struct TIniLines {
  std::vector<std::string> Items;
  bool Bom = false;
  bool Crlf = false;
  // Lines end in a CR alone (when the first line does); written back so.
  bool CrOnly = false;
};
TIniLines ParseIniText(std::string_view Text);
std::string FormatIniText(const TIniLines& Lines);

// The rules TIniFile reads and edits its lines by (see there). Writes take a
// name and value that WritableIniEntry accepts; they return whether the lines changed.
std::string IniReadString(const TIniLines& Lines, std::string_view Section, std::string_view Ident,
                          const std::string& Default);
void IniReadSection(const TIniLines& Lines, std::string_view Section, std::vector<std::string>& Names);
void IniReadSections(const TIniLines& Lines, std::vector<std::string>& Names);
// "name=value" for every value line of the first section of that name, in
// file order; a name given twice shows its first value both times.
void IniReadSectionValues(const TIniLines& Lines, std::string_view Section, std::vector<std::string>& Strings);
bool WritableIniEntry(std::string_view Section, std::string_view Ident, std::string_view Value);
bool IniWriteString(TIniLines& Lines, std::string_view Section, std::string_view Ident, std::string_view Value);
bool IniEraseSection(TIniLines& Lines, std::string_view Section);
bool IniDeleteKey(TIniLines& Lines, std::string_view Section, std::string_view Ident);

class TCustomIniFile : public TObject {
 public:
  explicit TCustomIniFile(std::string FileName) : FFileName(std::move(FileName)) {}
  const std::string& FileName() const { return FFileName; }

  virtual std::string ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) = 0;
  virtual void WriteString(const std::string& Section, const std::string& Ident,
                           const std::string& Value) = 0;
  // Decimal, or hexadecimal as "$1F" or "0x1F"; text that is no number gives Default.
  virtual int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default);
  virtual void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);
  // Any integer but 0 reads as true; written as "1" and "0".
  virtual bool ReadBool(const std::string& Section, const std::string& Ident, bool Default);
  virtual void WriteBool(const std::string& Section, const std::string& Ident, bool Value);
  // Written with "." and as many digits as read back to the same value.
  virtual double ReadFloat(const std::string& Section, const std::string& Ident, double Default);
  virtual void WriteFloat(const std::string& Section, const std::string& Ident, double Value);

  // Names of the section's values / of all sections, in file order (the list is cleared first).
  virtual void ReadSection(const std::string& Section, std::vector<std::string>& Strings) = 0;
  virtual void ReadSections(std::vector<std::string>& Strings) = 0;
  // "name=value" lines.
  virtual void ReadSectionValues(const std::string& Section, std::vector<std::string>& Strings) = 0;
  // The same into a string list (cleared first).
  void ReadSection(const std::string& Section, TStrings& Strings);
  void ReadSections(TStrings& Strings);
  void ReadSectionValues(const std::string& Section, TStrings& Strings);
  virtual void EraseSection(const std::string& Section) = 0;
  virtual void DeleteKey(const std::string& Section, const std::string& Ident) = 0;
  virtual void UpdateFile() = 0;

  // As in the class library: a section exists when it holds at least one value.
  bool SectionExists(const std::string& Section);
  virtual bool ValueExists(const std::string& Section, const std::string& Ident);

 private:
  std::string FFileName;
};

// An INI file read and written through the same rules as the window system's
// profile functions: sections and names without case, values trimmed and one
// pair of enclosing quotes removed on reading, every write straight to the
// file. A bare file name (no "/") lies in ConfigFolder(). A missing file reads
// as empty and is created by the first write. Lines that are no section or
// value (comments, anything else) are kept as they stand. Each write replaces
// the file atomically under a lock on its folder, after re-reading it, so
// concurrent writers do not lose each other's values. Writes that fail raise
// EIniFileException "Schreiben in <file> nicht möglich".
class TIniFile : public TCustomIniFile {
 public:
  explicit TIniFile(const std::string& FileName);

  using TCustomIniFile::ReadSection;
  using TCustomIniFile::ReadSections;
  using TCustomIniFile::ReadSectionValues;

  std::string ReadString(const std::string& Section, const std::string& Ident,
                         const std::string& Default) override;
  void WriteString(const std::string& Section, const std::string& Ident,
                   const std::string& Value) override;
  void ReadSection(const std::string& Section, std::vector<std::string>& Strings) override;
  void ReadSections(std::vector<std::string>& Strings) override;
  void ReadSectionValues(const std::string& Section, std::vector<std::string>& Strings) override;
  void EraseSection(const std::string& Section) override;
  void DeleteKey(const std::string& Section, const std::string& Ident) override;
  void UpdateFile() override {}  // every write is already on disk

 private:
  void Load();  // re-reads when the file changed
  void Save();  // raises EIniFileException
  template <typename F> void Modify(F&& Change);
  // The folder writers lock: the one the file is replaced in.
  std::string LockFolder() const;

  std::string FFolder;
  bool FBareName = false;
  TFileStamp FStamp;
  bool FLoaded = false;
  TIniLines FLines;
};

}  // namespace kv

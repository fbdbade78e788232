// TStrings, the abstract list of strings with objects, name=value pairs and text forms,
// and TStringList, its plain implementation with sorting and change events.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/object.h"

namespace kv {

class TStream;
class TStringList;

enum TDuplicates : uint8_t { dupIgnore, dupAccept, dupError };
using TStringListSortCompare = std::function<int(TStringList* List, int32_t Index1, int32_t Index2)>;

class TStrings : public TPersistent {
 public:
  // ---- what a descendant provides ----
  virtual int32_t Count() const = 0;
  virtual std::string Get(int32_t Index) const = 0;
  virtual void Put(int32_t Index, const std::string& S);
  virtual TObject* GetObject(int32_t Index) const;
  virtual void PutObject(int32_t Index, TObject* AObject);
  virtual void Insert(int32_t Index, const std::string& S) = 0;
  virtual void Delete(int32_t Index) = 0;
  virtual void Clear() = 0;

  // ---- built on the above ----
  virtual int32_t Add(const std::string& S);
  virtual int32_t AddObject(const std::string& S, TObject* AObject);
  void InsertObject(int32_t Index, const std::string& S, TObject* AObject);
  virtual void AddStrings(const TStrings* Source);
  // Replaces the lines with Lines, in one update.
  void AssignLines(const std::vector<std::string>& Lines);
  virtual void Exchange(int32_t Index1, int32_t Index2);
  virtual void Move(int32_t CurIndex, int32_t NewIndex);
  // Compare without case unless a descendant says otherwise.
  virtual int32_t IndexOf(const std::string& S) const;
  virtual int32_t IndexOfName(const std::string& Name) const;
  virtual int32_t IndexOfObject(TObject* AObject) const;
  std::string Strings(int32_t Index) const { return Get(Index); }
  TObject* Objects(int32_t Index) const { return GetObject(Index); }

  // name=value lines
  std::string Names(int32_t Index) const;  // "" for a line without separator
  std::string Values(const std::string& Name) const;
  // Replaces the line of Name, adds one, or with an empty Value deletes it.
  void SetValue(const std::string& Name, const std::string& Value);
  std::string ValueFromIndex(int32_t Index) const;
  char NameValueSeparator() const { return FNameValueSeparator; }
  void SetNameValueSeparator(char Value) { FNameValueSeparator = Value; }

  // Every line followed by "\n". Setting accepts "\r\n", "\n" and "\r"; a last line
  // without a break counts too.
  virtual std::string Text() const;
  virtual void SetText(std::string_view Value);
  // Items separated by Delimiter; an item holding a blank, a control character, the
  // delimiter or the quote is quoted with QuoteChar, inner quotes doubled. Reading also
  // splits at blanks outside quotes.
  std::string DelimitedText() const;
  void SetDelimitedText(std::string_view Value);
  std::string CommaText() const;  // Delimiter ',' and QuoteChar '"'
  void SetCommaText(std::string_view Value);
  char Delimiter() const { return FDelimiter; }
  void SetDelimiter(char Value) { FDelimiter = Value; }
  char QuoteChar() const { return FQuoteChar; }
  void SetQuoteChar(char Value) { FQuoteChar = Value; }

  void BeginUpdate();
  void EndUpdate();
  int32_t UpdateCount() const { return FUpdateCount; }

  // Text files in UTF-8; a byte-order mark is skipped on reading.
  virtual void LoadFromFile(const std::string& FileName);
  virtual void LoadFromStream(TStream& Stream);
  // Written through a temporary file in the same folder, so a failure never destroys the old file.
  virtual void SaveToFile(const std::string& FileName) const;
  virtual void SaveToStream(TStream& Stream) const;

  bool Equals(const TStrings* Other) const;
  void Assign(const TPersistent* Source) override;

 protected:
  virtual void SetUpdateState(bool Updating);
  virtual int CompareStrings(const std::string& S1, const std::string& S2) const;
  [[noreturn]] static void Error(const std::string& Msg, int32_t Data);

 private:
  std::string DelimitedWith(char Delim, char Quote) const;
  void SetDelimitedWith(std::string_view Value, char Delim, char Quote);

  char FNameValueSeparator = '=';
  char FDelimiter = ',';
  char FQuoteChar = '"';
  int32_t FUpdateCount = 0;
};

class TStringList : public TStrings {
 public:
  TStringList() = default;
  // With OwnsObjects the list frees the objects of deleted and cleared lines, and all of
  // them when it is freed itself. PutObject replaces without freeing, so objects can be
  // moved between lines.
  explicit TStringList(bool AOwnsObjects) : FOwnsObjects(AOwnsObjects) {}
  ~TStringList() override;

  int32_t Count() const override { return static_cast<int32_t>(FList.size()); }
  std::string Get(int32_t Index) const override;
  void Put(int32_t Index, const std::string& S) override;
  TObject* GetObject(int32_t Index) const override;
  void PutObject(int32_t Index, TObject* AObject) override;
  void Insert(int32_t Index, const std::string& S) override;
  void Delete(int32_t Index) override;
  void Clear() override;
  int32_t Add(const std::string& S) override;
  int32_t AddObject(const std::string& S, TObject* AObject) override;
  void Exchange(int32_t Index1, int32_t Index2) override;
  int32_t IndexOf(const std::string& S) const override;

  // Binary search of a sorted list: true when found; Index is the first match or the
  // place where S belongs.
  virtual bool Find(const std::string& S, int32_t& Index) const;
  virtual void Sort();
  // Stable. Compare reads the lines by index; they do not move while it runs.
  virtual void CustomSort(const TStringListSortCompare& Compare);

  bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);
  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void Changed();
  virtual void Changing();
  void SetUpdateState(bool Updating) override;
  int CompareStrings(const std::string& S1, const std::string& S2) const override;
  void InsertItem(int32_t Index, const std::string& S, TObject* AObject);

 private:
  struct TStringItem {
    std::string FString;
    TObject* FObject = nullptr;
  };
  void CheckIndex(int32_t Index) const;

  std::vector<TStringItem> FList;
  bool FSorted = false;
  TDuplicates FDuplicates = dupIgnore;
  bool FCaseSensitive = false;
  bool FOwnsObjects = false;
};

}  // namespace kv

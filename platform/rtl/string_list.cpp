#include "platform/rtl/string_list.h"

#include <algorithm>
#include <numeric>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {
bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= ' '; }
}  // namespace

// ---- TStrings ----

void TStrings::Error(const std::string& Msg, int32_t Data) {
  std::string m = Msg;
  const size_t p = m.find("%d");
  if (p != std::string::npos) m.replace(p, 2, std::to_string(Data));
  throw EStringListError(m);
}

void TStrings::Put(int32_t Index, const std::string& S) {
  TObject* obj = GetObject(Index);
  Delete(Index);
  InsertObject(Index, S, obj);
}

TObject* TStrings::GetObject(int32_t) const { return nullptr; }
void TStrings::PutObject(int32_t, TObject*) {}

int32_t TStrings::Add(const std::string& S) {
  const int32_t i = Count();
  Insert(i, S);
  return i;
}

int32_t TStrings::AddObject(const std::string& S, TObject* AObject) {
  const int32_t i = Add(S);
  PutObject(i, AObject);
  return i;
}

void TStrings::InsertObject(int32_t Index, const std::string& S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

void TStrings::AddStrings(const TStrings* Source) {
  if (!Source) return;
  BeginUpdate();
  try {
    // Source may be this list: take the count first.
    const int32_t n = Source->Count();
    for (int32_t i = 0; i < n; ++i) AddObject(Source->Get(i), Source->GetObject(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::AssignLines(const std::vector<std::string>& Lines) {
  BeginUpdate();
  try {
    Clear();
    for (const auto& s : Lines) Add(s);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Exchange(int32_t Index1, int32_t Index2) {
  BeginUpdate();
  try {
    const std::string s = Get(Index1);
    TObject* o = GetObject(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, GetObject(Index2));
    Put(Index2, s);
    PutObject(Index2, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Move(int32_t CurIndex, int32_t NewIndex) {
  if (CurIndex == NewIndex) return;
  BeginUpdate();
  try {
    const std::string s = Get(CurIndex);
    TObject* o = GetObject(CurIndex);
    PutObject(CurIndex, nullptr);  // an owning list must not free the object on the way
    Delete(CurIndex);
    InsertObject(NewIndex, s, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int32_t TStrings::IndexOf(const std::string& S) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), S) == 0) return i;
  return -1;
}

int32_t TStrings::IndexOfName(const std::string& Name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const std::string s = Get(i);
    const size_t p = s.find(FNameValueSeparator);
    if (p != std::string::npos && CompareStrings(s.substr(0, p), Name) == 0) return i;
  }
  return -1;
}

int32_t TStrings::IndexOfObject(TObject* AObject) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (GetObject(i) == AObject) return i;
  return -1;
}

std::string TStrings::Names(int32_t Index) const {
  const std::string s = Get(Index);
  const size_t p = s.find(FNameValueSeparator);
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStrings::Values(const std::string& Name) const {
  const int32_t i = IndexOfName(Name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValue(const std::string& Name, const std::string& Value) {
  const int32_t i = IndexOfName(Name);
  if (!Value.empty()) {
    const std::string line = Name + FNameValueSeparator + Value;
    if (i < 0) Add(line);
    else Put(i, line);
  } else if (i >= 0) {
    Delete(i);
  }
}

std::string TStrings::ValueFromIndex(int32_t Index) const {
  const std::string s = Get(Index);
  const size_t p = s.find(FNameValueSeparator);
  return p == std::string::npos ? std::string() : s.substr(p + 1);
}

std::string TStrings::Text() const {
  std::string r;
  for (int32_t i = 0; i < Count(); ++i) {
    r += Get(i);
    r += '\n';
  }
  return r;
}

void TStrings::SetText(std::string_view Value) {
  BeginUpdate();
  try {
    Clear();
    const size_t n = Value.size();
    size_t i = 0;
    while (i < n) {
      const size_t start = i;
      while (i < n && Value[i] != '\n' && Value[i] != '\r') ++i;
      Add(std::string(Value.substr(start, i - start)));
      if (i < n && Value[i] == '\r') {
        ++i;
        if (i < n && Value[i] == '\n') ++i;
      } else if (i < n) {
        ++i;
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TStrings::DelimitedWith(char Delim, char Quote) const {
  const int32_t n = Count();
  if (n == 1 && Get(0).empty()) return std::string(2, Quote);
  std::string r;
  for (int32_t i = 0; i < n; ++i) {
    const std::string s = Get(i);
    const bool quote = std::any_of(s.begin(), s.end(), [&](char c) { return IsBlankByte(c) || c == Quote || c == Delim; });
    if (i > 0) r += Delim;
    r += quote ? AnsiQuotedStr(s, Quote) : s;
  }
  return r;
}

void TStrings::SetDelimitedWith(std::string_view Value, char Delim, char Quote) {
  auto skipBlanks = [&](size_t& p) {
    while (p < Value.size() && IsBlankByte(Value[p])) ++p;
  };
  BeginUpdate();
  try {
    Clear();
    size_t p = 0;
    skipBlanks(p);
    while (p < Value.size()) {
      std::string item;
      if (Value[p] == Quote) {
        item = AnsiExtractQuotedStr(Value, p, Quote);
      } else {
        const size_t start = p;
        while (p < Value.size() && !IsBlankByte(Value[p]) && Value[p] != Delim) ++p;
        item = std::string(Value.substr(start, p - start));
      }
      Add(item);
      skipBlanks(p);
      if (p < Value.size() && Value[p] == Delim) {
        if (p + 1 == Value.size()) Add(std::string());  // a trailing delimiter ends with an empty item
        ++p;
        skipBlanks(p);
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TStrings::DelimitedText() const { return DelimitedWith(FDelimiter, FQuoteChar); }
void TStrings::SetDelimitedText(std::string_view Value) { SetDelimitedWith(Value, FDelimiter, FQuoteChar); }
std::string TStrings::CommaText() const { return DelimitedWith(',', '"'); }
void TStrings::SetCommaText(std::string_view Value) { SetDelimitedWith(Value, ',', '"'); }

void TStrings::BeginUpdate() {
  if (FUpdateCount == 0) SetUpdateState(true);
  ++FUpdateCount;
}

void TStrings::EndUpdate() {
  if (FUpdateCount <= 0) return;
  if (--FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

int TStrings::CompareStrings(const std::string& S1, const std::string& S2) const { return AnsiCompareText(S1, S2); }

void TStrings::LoadFromFile(const std::string& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TStrings::LoadFromStream(TStream& Stream) {
  const int64_t size = Stream.Size() - Stream.Position();
  std::string data;
  if (size > 0) {
    if (size > INT32_MAX) throw EReadError("Unerwartetes Dateiende");
    data.resize(static_cast<size_t>(size));
    Stream.ReadBuffer(data.data(), static_cast<int32_t>(size));
  }
  std::string_view text(data);
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  SetText(text);
}

void TStrings::SaveToFile(const std::string& FileName) const { SaveFileAtomically(FileName, Text()); }

void TStrings::SaveToStream(TStream& Stream) const {
  const std::string t = Text();
  size_t done = 0;
  while (done < t.size()) {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(t.size() - done, 1u << 30));
    Stream.WriteBuffer(t.data() + done, n);
    done += static_cast<size_t>(n);
  }
}

bool TStrings::Equals(const TStrings* Other) const {
  if (!Other || Other->Count() != Count()) return false;
  for (int32_t i = 0; i < Count(); ++i)
    if (Get(i) != Other->Get(i)) return false;
  return true;
}

void TStrings::Assign(const TPersistent* Source) {
  const TStrings* src = dynamic_cast<const TStrings*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  if (src == this) return;
  BeginUpdate();
  try {
    Clear();
    FNameValueSeparator = src->FNameValueSeparator;
    FQuoteChar = src->FQuoteChar;
    FDelimiter = src->FDelimiter;
    AddStrings(src);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---- TStringList ----

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  if (FOwnsObjects)
    for (TStringItem& it : FList) FreeAndNil(it.FObject);
}

void TStringList::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
}

std::string TStringList::Get(int32_t Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)].FString;
}

void TStringList::Put(int32_t Index, const std::string& S) {
  if (FSorted) Error("Operation not allowed on sorted list", 0);
  CheckIndex(Index);
  Changing();
  FList[static_cast<size_t>(Index)].FString = S;
  Changed();
}

TObject* TStringList::GetObject(int32_t Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)].FObject;
}

void TStringList::PutObject(int32_t Index, TObject* AObject) {
  CheckIndex(Index);
  Changing();
  FList[static_cast<size_t>(Index)].FObject = AObject;
  Changed();
}

void TStringList::Insert(int32_t Index, const std::string& S) {
  if (FSorted) Error("Operation not allowed on sorted list", 0);
  if (Index < 0 || Index > Count()) Error("List index out of bounds (%d)", Index);
  InsertItem(Index, S, nullptr);
}

void TStringList::InsertItem(int32_t Index, const std::string& S, TObject* AObject) {
  Changing();
  FList.insert(FList.begin() + Index, TStringItem{S, AObject});
  Changed();
}

void TStringList::Delete(int32_t Index) {
  CheckIndex(Index);
  Changing();
  TObject* obj = FList[static_cast<size_t>(Index)].FObject;
  FList.erase(FList.begin() + Index);
  if (FOwnsObjects) delete obj;  // after removal, so its destructor sees a consistent list
  Changed();
}

void TStringList::Clear() {
  if (FList.empty()) return;
  Changing();
  std::vector<TStringItem> old;
  old.swap(FList);
  if (FOwnsObjects)
    for (TStringItem& it : old) FreeAndNil(it.FObject);
  Changed();
}

int32_t TStringList::Add(const std::string& S) { return AddObject(S, nullptr); }

int32_t TStringList::AddObject(const std::string& S, TObject* AObject) {
  int32_t index;
  if (!FSorted) {
    index = Count();
  } else if (Find(S, index)) {
    switch (FDuplicates) {
      case dupIgnore: return index;
      case dupError: Error("String list does not allow duplicates", 0);
      case dupAccept: break;
    }
  }
  InsertItem(index, S, AObject);
  return index;
}

void TStringList::Exchange(int32_t Index1, int32_t Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  Changing();
  std::swap(FList[static_cast<size_t>(Index1)], FList[static_cast<size_t>(Index2)]);
  Changed();
}

int32_t TStringList::IndexOf(const std::string& S) const {
  if (!FSorted) return TStrings::IndexOf(S);
  int32_t i;
  return Find(S, i) ? i : -1;
}

bool TStringList::Find(const std::string& S, int32_t& Index) const {
  int32_t lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    const int c = CompareStrings(FList[static_cast<size_t>(mid)].FString, S);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (FDuplicates != dupAccept) lo = mid;
      }
    }
  }
  Index = lo;
  return found;
}

void TStringList::Sort() {
  CustomSort([](TStringList* L, int32_t a, int32_t b) {
    return L->CompareStrings(L->FList[static_cast<size_t>(a)].FString, L->FList[static_cast<size_t>(b)].FString);
  });
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
  if (FList.size() < 2 || !Compare) return;
  Changing();
  std::vector<int32_t> order(FList.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return Compare(this, a, b) < 0; });
  std::vector<TStringItem> sorted;
  sorted.reserve(FList.size());
  for (int32_t i : order) sorted.push_back(std::move(FList[static_cast<size_t>(i)]));
  FList.swap(sorted);
  Changed();
}

void TStringList::SetSorted(bool Value) {
  if (FSorted == Value) return;
  if (Value) Sort();
  FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (FCaseSensitive == Value) return;
  FCaseSensitive = Value;
  if (FSorted) Sort();
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating) Changing();
  else Changed();
}

int TStringList::CompareStrings(const std::string& S1, const std::string& S2) const {
  return FCaseSensitive ? AnsiCompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

}  // namespace kv

#include "imaging/processing/ff_files.h"

#include <algorithm>
#include <vector>

#include "imaging/processing/ff_eval.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

// A library of this size would hold some hundred thousand filters; anything
// larger is not a library, and reading it whole would only exhaust memory.
constexpr int64_t kMaxFileBytes = int64_t(64) << 20;

bool IsAfsName(const std::string& FileName) {
  const size_t slash = FileName.find_last_of('/');
  const size_t dot = FileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return UpperCase(FileName.substr(dot)) == ".AFS";
}

std::string RemoveBackslashR(const std::string& S) {
  std::string out;
  out.reserve(S.size());
  for (size_t k = 0; k < S.size(); ++k) {
    if (S[k] == '\\' && k + 1 < S.size() && S[k + 1] == 'r') {
      ++k;
      continue;
    }
    out += S[k];
  }
  return out;
}

}  // namespace

tfflfilter::tfflfilter() { Reset(); }

void tfflfilter::Reset() {
  FLines.Clear();
  FLines.Add(kFflHeader);
  FLines.Add("0");
  NewFilter(0);
  FCurrent = 0;
}

int32_t tfflfilter::Count() const {
  if (FLines.Count() < 2) return 0;
  return std::max(StrToIntDef(Trim(FLines.Get(1)), 0), 0);
}

int32_t tfflfilter::LineOf(int32_t Kind, int32_t Filter, int32_t Index) const {
  if (Kind == ffkCount) return 1;
  if (Filter < 0 || Filter > (INT32_MAX - 31) / kFflLinesPerFilter) return -1;
  const int32_t base = 29 * Filter;
  switch (Kind) {
    case ffk8BF:
    case ffkCategory:
    case ffkTitle:
    case ffkAuthor:
    case ffkCopyright: return base + 2 + (Kind - ffk8BF);
    case ffkControlName:
    case ffkControlValue:
      if (Index < 0 || Index > 7) return -1;
      return base + (Kind == ffkControlName ? 11 : 19) + Index;
    case ffkRed:
    case ffkGreen:
    case ffkBlue:
    case ffkAlpha: return base + 27 + (Kind - ffkRed);
    default: return -1;
  }
}

std::string tfflfilter::GetField(int32_t Kind, int32_t Filter, int32_t Index) const {
  const int32_t line = LineOf(Kind, Filter, Index);
  return line >= 0 && line < FLines.Count() ? FLines.Get(line) : std::string();
}

void tfflfilter::SetField(const std::string& Text, int32_t Kind, int32_t Index, int32_t Filter) {
  const int32_t line = LineOf(Kind, Filter, Index);
  if (line >= 0 && line < FLines.Count()) FLines.Put(line, Text);
}

void tfflfilter::NewFilter(int32_t N) {
  while (FLines.Count() < 2) FLines.Add(FLines.Count() == 0 ? kFflHeader : "0");
  const int32_t count = Count();
  N = std::clamp(N, 0, count);
  const int32_t first = std::min(2 + 29 * std::min(N, (INT32_MAX - 31) / 29), FLines.Count());
  FLines.BeginUpdate();
  for (int32_t k = 0; k < kFflLinesPerFilter; ++k) FLines.Insert(first, "");
  FLines.Put(first + 1, kFflOwnCategory);
  FLines.Put(first + 25, "r");
  FLines.Put(first + 26, "g");
  FLines.Put(first + 27, "b");
  FLines.Put(1, IntToStr(count + 1));
  FLines.EndUpdate();
}

void tfflfilter::DeleteFilter(int32_t N) {
  const int32_t count = Count();
  if (count <= 1 || N < 0 || N >= count) return;
  const int32_t first = 2 + 29 * N;
  if (first + kFflLinesPerFilter > FLines.Count()) return;
  FLines.BeginUpdate();
  for (int32_t k = 0; k < kFflLinesPerFilter; ++k) FLines.Delete(first);
  FLines.Put(1, IntToStr(count - 1));
  FLines.EndUpdate();
  if (FCurrent >= count - 1) FCurrent = count - 2;
}

void tfflfilter::Load(const std::string& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f, IsAfsName(FileName));
}

void tfflfilter::LoadFromStream(TStream& Stream, bool Afs) {
  if (Stream.Size() - Stream.Position() > kMaxFileBytes) throw EReadError("Die Filter-Factory-Datei ist zu groß");
  TStringList lines;
  lines.LoadFromStream(Stream);
  if (Afs) {
    ConvertAfs(lines);
  } else {
    FLines.Assign(&lines);
    while (FLines.Count() < 2) FLines.Add(FLines.Count() == 0 ? kFflHeader : "0");
  }
  FixCount();
  FCurrent = 0;
}

void tfflfilter::FixCount() {
  const int32_t fits = (FLines.Count() - 2) / kFflLinesPerFilter;
  FLines.Put(1, IntToStr(std::min(Count(), fits)));
}

void tfflfilter::ConvertAfs(TStringList& Src) {
  Reset();
  SetField(kFflNoCategory, ffkCategory, 0, 0);
  std::vector<std::string> l;
  l.reserve(size_t(Src.Count()));
  for (int32_t k = 0; k < Src.Count(); ++k) l.push_back(Src.Get(k));

  // The four formulas may run over several lines and are separated by empty
  // lines; each is joined into one line, with a blank where the lines met so
  // that tokens on either side stay apart.
  size_t i = 9;
  for (int k = 0; k < 8; ++k) {
    if (k % 2 == 0) {
      if (i < l.size()) {
        size_t end = i + 1;
        while (end < l.size() && !l[end].empty()) ++end;
        std::string joined = l[i];
        for (size_t j = i + 1; j < end; ++j) joined += ' ' + l[j];
        l.erase(l.begin() + ptrdiff_t(i + 1), l.begin() + ptrdiff_t(end));
        l[i] = RemoveBackslashR(joined);
      }
      i += 2;
    } else {
      size_t end = i;
      while (end < l.size() && l[end].empty()) ++end;
      if (i < l.size()) l.erase(l.begin() + ptrdiff_t(i), l.begin() + ptrdiff_t(end));
    }
  }
  auto line = [&](size_t n, int32_t Kind, int32_t Index) {
    if (n < l.size()) SetField(l[n], Kind, Index, 0);
  };
  for (int32_t c = 0; c < 8; ++c) line(size_t(1 + c), ffkControlValue, c);
  line(9, ffkRed, 0);
  line(11, ffkGreen, 0);
  line(13, ffkBlue, 0);
  line(17, ffkCategory, 0);
  line(19, ffkTitle, 0);
  line(21, ffkAuthor, 0);
  line(23, ffkCopyright, 0);
  for (int32_t j = 0; j < 8; ++j) {
    const size_t n = size_t(25 + 2 * j);
    if (n < l.size()) SetField(l[n].size() > 3 ? l[n].substr(3) : std::string(), ffkControlName, j, 0);
  }
}

void tfflfilter::Save(const std::string& FileName) const { FLines.SaveToFile(FileName); }

int32_t tfflfilter::RunPreview(const TBitmap& Source, TBitmap& Target, TProgressRec& Progress, const TRect& Rect,
                               double Scale) const {
  const std::array<std::string, 3> formulas = {GetField(ffkRed, FCurrent), GetField(ffkGreen, FCurrent),
                                               GetField(ffkBlue, FCurrent)};
  int32_t controls[8];
  for (int32_t c = 0; c < 8; ++c) controls[c] = StrToIntDef(Trim(GetField(ffkControlValue, FCurrent, c)), 0);
  return FFRunFilter(formulas, controls, Source, Target, Progress, Rect, Scale);
}

int32_t tfflfilter::Run(const TBitmap& Source, TBitmap& Target, TProgressRec& Progress, const TRect& Rect) const {
  return RunPreview(Source, Target, Progress, Rect, 1.0);
}

bool tfflfilter::ControlUsed(int32_t Control) const {
  return FFControlUsed({GetField(ffkRed, FCurrent), GetField(ffkGreen, FCurrent), GetField(ffkBlue, FCurrent)},
                       Control);
}

}  // namespace kv

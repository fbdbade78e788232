#include "net/reply_lines.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <typeinfo>

namespace kv {

void TReplyLineBuffer::Append(const char* Data, size_t Count) {
  if (FSkipping) {
    if (Count == 0) return;
    const void* lf = std::memchr(Data, '\n', Count);
    if (!lf) {
      FSkipCR = Data[Count - 1] == '\r';
      return;
    }
    // Only CR LF ends a line without AcceptLF; a lone LF inside the dropped tail is
    // dropped with it, except when it follows a CR.
    const char* p = static_cast<const char*>(lf);
    if (!FAcceptLF) {
      while (p && !((p > Data && p[-1] == '\r') || (p == Data && FSkipCR))) {
        const size_t at = size_t(p - Data) + 1;
        p = at < Count ? static_cast<const char*>(std::memchr(Data + at, '\n', Count - at)) : nullptr;
      }
      if (!p) {
        FSkipCR = Count > 0 && Data[Count - 1] == '\r';
        return;
      }
    }
    FSkipping = false;
    FSkipCR = false;
    const size_t used = size_t(p - Data) + 1;
    Data += used;
    Count -= used;
  }
  Compact();
  FBuf.append(Data, Count);
}

size_t TReplyLineBuffer::FindLineEnd(size_t& EndLength) const {
  for (size_t i = FStart + FScanned; i < FBuf.size(); ++i) {
    if (FBuf[i] != '\n') continue;
    if (FAcceptLF) {
      EndLength = 1;
      return i;
    }
    if (i > FStart && FBuf[i - 1] == '\r') {
      EndLength = 2;
      return i - 1;
    }
  }
  return std::string::npos;
}

bool TReplyLineBuffer::NextLine(std::string& Line, bool* Truncated) {
  if (Truncated) *Truncated = false;
  size_t endLength = 0;
  const size_t end = FindLineEnd(endLength);
  if (end == std::string::npos) {
    FScanned = FBuf.size() - FStart;
    if (Pending() < FMaxLine) return false;
    // Over-long: hand out the head, drop the rest up to its line end.
    Line.assign(FBuf, FStart, FMaxLine);
    const std::string tail = FBuf.substr(FStart + FMaxLine);
    FBuf.clear();
    FStart = FScanned = 0;
    FSkipping = true;
    FSkipCR = false;
    if (Truncated) *Truncated = true;
    if (!tail.empty()) Append(tail);
    while (!Line.empty() && (Line.back() == '\r' || Line.back() == '\n')) Line.pop_back();
    return true;
  }
  Line.assign(FBuf, FStart, end - FStart);
  FStart = end + endLength;
  FScanned = 0;
  if (Line.size() > FMaxLine) {
    Line.resize(FMaxLine);
    if (Truncated) *Truncated = true;
  }
  while (!Line.empty() && (Line.back() == '\r' || Line.back() == '\n')) Line.pop_back();
  return true;
}

std::string TReplyLineBuffer::TakeRest() {
  std::string rest = FBuf.substr(FStart);
  Clear();
  return rest;
}

void TReplyLineBuffer::Clear() {
  FBuf.clear();
  FStart = FScanned = 0;
  FSkipping = FSkipCR = false;
}

void TReplyLineBuffer::Compact() {
  if (FStart == 0) return;
  FBuf.erase(0, FStart);
  FStart = 0;
}

TReplyStatus ReplyStatus(std::string_view Line) {
  TReplyStatus s;
  if (Line.size() < 3) return s;
  int32_t code = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (Line[i] < '0' || Line[i] > '9') return s;
    code = code * 10 + (Line[i] - '0');
  }
  s.Code = code;
  s.Continued = Line.size() > 3 && Line[3] == '-';
  return s;
}

bool TMultiLineReply::Feed(std::string_view Line, int32_t& Code) {
  const TReplyStatus s = ReplyStatus(Line);
  // "000" is a code like any other; only the digits matter.
  const bool numbered = s.Code > 0 || Line.substr(0, 3) == "000";
  if (FInReply) {
    if (!numbered || s.Code != FCode || s.Continued) return false;
    Code = FCode;
    FInReply = false;
    return true;
  }
  if (!numbered) return false;  // stray text outside a reply
  if (s.Continued) {
    FCode = s.Code;
    FInReply = true;
    return false;
  }
  Code = s.Code;
  return true;
}

bool HasLineBreak(std::string_view Text) { return Text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

std::string ExceptionClassName(const std::exception& E) {
  const char* raw = typeid(E).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(raw, nullptr, nullptr, &status), std::free);
  std::string s = status == 0 && name ? name.get() : raw;
  const size_t colon = s.rfind("::");
  return colon == std::string::npos ? s : s.substr(colon + 2);
}

}  // namespace kv

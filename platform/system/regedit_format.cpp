#include "platform/system/regedit_format.h"

#include <cstdio>

namespace kv {

namespace {

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

std::string_view TrimLeft(std::string_view S) {
  while (!S.empty() && IsBlank(S.front())) S.remove_prefix(1);
  return S;
}

std::string_view TrimRight(std::string_view S) {
  while (!S.empty() && IsBlank(S.back())) S.remove_suffix(1);
  return S;
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// 1 to 8 hex digits, nothing else.
bool ParseHex32(std::string_view S, uint32_t& Out) {
  if (S.empty() || S.size() > 8) return false;
  uint32_t v = 0;
  for (char c : S) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    v = (v << 4) | uint32_t(d);
  }
  Out = v;
  return true;
}

bool StartsWithNoCase(std::string_view S, std::string_view Prefix) {
  if (S.size() < Prefix.size()) return false;
  for (size_t i = 0; i < Prefix.size(); ++i) {
    char c = S[i];
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
    if (c != Prefix[i]) return false;
  }
  return true;
}

// Reads a quoted text starting at S[0] == '"'. "\\" and "\"" are escapes; any
// other backslash stands for itself, so hand-written paths with single
// backslashes survive. Returns the position after the closing quote, or npos.
size_t ParseQuoted(std::string_view S, std::string& Out) {
  Out.clear();
  for (size_t i = 1; i < S.size(); ++i) {
    const char c = S[i];
    if (c == '"') return i + 1;
    if (c == '\\' && i + 1 < S.size() && (S[i + 1] == '\\' || S[i + 1] == '"')) {
      Out += S[++i];
      continue;
    }
    Out += c;
  }
  return std::string_view::npos;
}

// Comma-separated bytes; false on anything else. Continuation backslashes are
// removed by the caller.
bool ParseHexBytes(std::string_view S, std::vector<uint8_t>& Out) {
  Out.clear();
  S = TrimRight(TrimLeft(S));
  if (S.empty()) return true;
  size_t pos = 0;
  for (;;) {
    const size_t comma = S.find(',', pos);
    const std::string_view tok =
        TrimRight(TrimLeft(S.substr(pos, comma == std::string_view::npos ? S.npos : comma - pos)));
    if (tok.empty() || tok.size() > 2) return false;
    int v = 0;
    for (char c : tok) {
      const int d = HexDigit(c);
      if (d < 0) return false;
      v = v * 16 + d;
    }
    Out.push_back(uint8_t(v));
    if (comma == std::string_view::npos) return true;
    pos = comma + 1;
    if (TrimLeft(S.substr(pos)).empty()) return true;  // a trailing comma is tolerated
  }
}

class TLineReader {
 public:
  explicit TLineReader(std::string_view Text) : FText(Text) {}
  bool Next(std::string_view& Line) {
    if (FPos >= FText.size()) return false;
    size_t end = FText.find('\n', FPos);
    if (end == std::string_view::npos) end = FText.size();
    Line = FText.substr(FPos, end - FPos);
    if (!Line.empty() && Line.back() == '\r') Line.remove_suffix(1);
    FPos = end + 1;
    ++FLine;
    return true;
  }
  // Where the next line starts, to go back to it.
  struct TMark {
    size_t Pos;
    int32_t Line;
  };
  TMark Mark() const { return {FPos, FLine}; }
  void Reset(TMark Mark) {
    FPos = Mark.Pos;
    FLine = Mark.Line;
  }
  // 1-based number of the line Next gave last.
  int32_t LineNumber() const { return FLine; }

 private:
  std::string_view FText;
  size_t FPos = 0;
  int32_t FLine = 0;
};

// Parses the part after "Name=" into Entry; false when malformed.
bool ParseValueData(std::string_view V, TLineReader& Lines, TRegTextEntry& E) {
  V = TrimLeft(V);
  if (TrimRight(V) == "-") {
    E.Kind = reDeleteValue;
    return true;
  }
  E.Kind = reValue;
  if (!V.empty() && V.front() == '"') {
    std::string text;
    const size_t end = ParseQuoted(V, text);
    const std::string_view rest = end == std::string_view::npos ? V : TrimRight(V.substr(end));
    if (end == std::string_view::npos || !rest.empty()) {
      // Hand-written files end a path with a lone backslash ("C:\Bilder\"): take
      // the text between the first and the last quote as it stands.
      const std::string_view t = TrimRight(V);
      if (t.size() < 2 || t.back() != '"') return false;
      text.assign(t.substr(1, t.size() - 2));
    }
    E.Type = REG_SZ;
    E.Data = StringToRegData(text);
    return true;
  }
  if (StartsWithNoCase(V, "dword:")) {
    uint32_t d = 0;
    if (!ParseHex32(TrimRight(V.substr(6)), d)) return false;
    E.Type = REG_DWORD;
    E.Data = {uint8_t(d), uint8_t(d >> 8), uint8_t(d >> 16), uint8_t(d >> 24)};
    return true;
  }
  if (!StartsWithNoCase(V, "hex")) return false;
  V.remove_prefix(3);
  uint32_t type = REG_BINARY;
  if (!V.empty() && V.front() == '(') {
    const size_t close = V.find(')');
    if (close == std::string_view::npos || !ParseHex32(V.substr(1, close - 1), type)) return false;
    V.remove_prefix(close + 1);
  }
  if (V.empty() || V.front() != ':') return false;
  V.remove_prefix(1);
  // Gather continuation lines; the data never grows beyond the text's own size.
  std::string data(TrimRight(V));
  std::string_view next;
  while (!data.empty() && data.back() == '\\') {
    const auto mark = Lines.Mark();
    if (!Lines.Next(next)) break;
    const std::string_view more = TrimRight(TrimLeft(next));
    // A line that starts a key or a value is never data, whatever came before.
    if (!more.empty() && (more.front() == '[' || more.front() == '"' || more.front() == '@')) {
      Lines.Reset(mark);
      break;
    }
    data.pop_back();
    data += more;
  }
  if (!data.empty() && data.back() == '\\') data.pop_back();
  E.Type = type;
  return ParseHexBytes(data, E.Data);
}

}  // namespace

void ParseRegText(std::string_view Text, const TRegTextSink& Sink, const TRegTextErrorSink& OnError) {
  if (Text.substr(0, 3) == "\xEF\xBB\xBF") Text.remove_prefix(3);
  TLineReader lines(Text);
  std::string section;  // empty: no valid section, values are dropped
  bool sectionSeen = false;
  std::string_view raw;
  TRegTextEntry e;
  int32_t lineNo = 0;
  // False when parsing is to stop.
  auto bad = [&](std::string_view Line) { return !sectionSeen || !OnError || OnError(lineNo, Line); };
  while (lines.Next(raw)) {
    lineNo = lines.LineNumber();
    const std::string_view line = TrimRight(TrimLeft(raw));
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      sectionSeen = true;
      section.clear();
      const size_t close = line.rfind(']');
      if (close == std::string_view::npos || close < 2 || (close == 2 && line[1] == '-')) {
        if (!bad(line)) return;
        continue;
      }
      std::string_view path = line.substr(1, close - 1);
      e = TRegTextEntry{};
      e.Line = lineNo;
      if (path.front() == '-') {
        path.remove_prefix(1);
        e.Kind = reDeleteKey;
        e.KeyPath.assign(path);
        Sink(e);
        continue;
      }
      e.Kind = reKey;
      e.KeyPath.assign(path);
      section = e.KeyPath;
      Sink(e);
      continue;
    }
    if (line.front() != '"' && line.front() != '@') {  // header or noise
      if (!bad(line)) return;
      continue;
    }
    e = TRegTextEntry{};
    e.Line = lineNo;
    std::string_view rest;
    bool ok = true;
    if (line.front() == '@') {
      rest = TrimLeft(line.substr(1));
    } else {
      const size_t end = ParseQuoted(line, e.Name);
      ok = end != std::string_view::npos;
      if (ok) rest = TrimLeft(line.substr(end));
    }
    ok = ok && !rest.empty() && rest.front() == '=' && ParseValueData(rest.substr(1), lines, e);
    if (!ok || section.empty()) {
      if (!bad(line)) return;
      continue;
    }
    e.KeyPath = section;
    Sink(e);
  }
}

namespace {

void AppendQuoted(std::string& Out, std::string_view S) {
  Out += '"';
  for (char c : S) {
    if (c == '\\' || c == '"') Out += '\\';
    Out += c;
  }
  Out += '"';
}

// A string goes out as "text" only when that reads back to the same bytes.
bool IsPlainString(const TRegValue& V) {
  if (V.Data.empty() || V.Data.back() != 0) return false;
  for (size_t i = 0; i + 1 < V.Data.size(); ++i) {
    const uint8_t c = V.Data[i];
    if (c == 0 || c == '\r' || c == '\n') return false;
  }
  return true;
}

}  // namespace

void FormatRegValue(std::string& Out, const TRegValue& V) {
  const size_t lineStart = Out.size();
  if (V.Name.empty())
    Out += '@';
  else
    AppendQuoted(Out, V.Name);
  Out += '=';
  char buf[32];
  if (V.Type == REG_SZ && IsPlainString(V)) {
    AppendQuoted(Out, std::string_view(reinterpret_cast<const char*>(V.Data.data()), V.Data.size() - 1));
    Out += '\n';
    return;
  }
  if (V.Type == REG_DWORD && V.Data.size() == 4) {
    const uint32_t d = uint32_t(V.Data[0]) | uint32_t(V.Data[1]) << 8 | uint32_t(V.Data[2]) << 16 |
                       uint32_t(V.Data[3]) << 24;
    std::snprintf(buf, sizeof buf, "dword:%08x\n", d);
    Out += buf;
    return;
  }
  if (V.Type == REG_BINARY) {
    Out += "hex:";
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", V.Type);
    Out += buf;
  }
  // Lines stay within 80 columns: "xx," items, a trailing "\" and a two-blank indent.
  size_t col = Out.size() - lineStart;
  for (size_t i = 0; i < V.Data.size(); ++i) {
    const bool last = i + 1 == V.Data.size();
    if (col + 3 > 79) {
      Out += "\\\n  ";
      col = 2;
    }
    std::snprintf(buf, sizeof buf, last ? "%02x" : "%02x,", V.Data[i]);
    Out += buf;
    col += last ? 2 : 3;
  }
  Out += '\n';
}

void FormatRegKeyTree(std::string& Out, const std::string& FullPath, const TRegKeyNode& Node,
                      bool WriteSelf) {
  if (WriteSelf) {
    Out += '[';
    Out += FullPath;
    Out += "]\n";
    for (const TRegValue& v : Node.Values()) FormatRegValue(Out, v);
    Out += '\n';
  }
  for (const auto& k : Node.SubKeys()) FormatRegKeyTree(Out, FullPath + '\\' + k->Name, *k, true);
}

}  // namespace kv

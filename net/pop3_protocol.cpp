#include "net/pop3_protocol.h"

#include <algorithm>

#include "net/md5.h"
#include "net/reply_lines.h"

namespace kv {

std::string Pop3CommandLine(std::string_view Command, std::string_view Arg) {
  if (HasLineBreak(Arg)) throw Pop3Exception("-ERR Line break in argument of " + std::string(Command) + " refused");
  std::string line(Command);
  if (!Arg.empty()) {
    line += ' ';
    line += Arg;
  }
  return line;
}

std::string ApopTimestamp(std::string_view Banner) {
  const size_t lt = Banner.find('<');
  if (lt == std::string_view::npos) return "";
  const size_t gt = Banner.find('>', lt);
  if (gt == std::string_view::npos) return "";
  return std::string(Banner.substr(lt, gt - lt + 1));
}

std::string ApopDigest(std::string_view Timestamp, std::string_view Password) {
  std::string hex = StrMD5(std::string(Timestamp) + std::string(Password));
  for (char& c : hex)
    if (c >= 'A' && c <= 'F') c = char(c - 'A' + 'a');  // RFC 1939 wants lower case
  return hex;
}

bool Pop3DataLine(std::string& Line) {
  if (Line == ".") return false;
  if (Line.size() >= 2 && Line[0] == '.' && Line[1] == '.') Line.erase(0, 1);
  return true;
}

namespace {

bool ReadNumber(std::string_view S, size_t& At, int32_t& Value) {
  const size_t start = At;
  int64_t v = 0;
  while (At < S.size() && S[At] >= '0' && S[At] <= '9') {
    if (v < INT32_MAX) v = v * 10 + (S[At] - '0');
    ++At;
  }
  Value = int32_t(std::min<int64_t>(v, INT32_MAX));
  return At > start;
}

void SkipBlanks(std::string_view S, size_t& At) {
  while (At < S.size() && (S[At] == ' ' || S[At] == '\t')) ++At;
}

}  // namespace

TPop3Numbers ParsePop3Numbers(std::string_view Text) {
  TPop3Numbers n;
  size_t at = 0;
  SkipBlanks(Text, at);
  if (!ReadNumber(Text, at, n.First)) return n;
  SkipBlanks(Text, at);
  n.HasSecond = ReadNumber(Text, at, n.Second);
  return n;
}

void ParseUidlLine(std::string_view Text, int32_t& MsgNum, std::string& Uidl) {
  size_t at = 0;
  SkipBlanks(Text, at);
  MsgNum = 0;
  Uidl.clear();
  ReadNumber(Text, at, MsgNum);
  SkipBlanks(Text, at);
  while (at < Text.size() && Text[at] >= '!' && Text[at] <= '~') Uidl += Text[at++];
}

std::string_view Pop3ReplyText(std::string_view Line) {
  size_t at = 0;
  while (at < Line.size() && Line[at] != ' ') ++at;
  while (at < Line.size() && Line[at] == ' ') ++at;
  return Line.substr(at);
}

}  // namespace kv

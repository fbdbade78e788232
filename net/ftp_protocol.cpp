#include "net/ftp_protocol.h"

#include "net/reply_lines.h"

namespace kv {

std::string FtpCommandLine(std::string_view Command, std::string_view Arg) {
  if (HasLineBreak(Arg)) throw FtpException("Line break in argument of " + std::string(Command) + " refused");
  std::string line(Command);
  if (!Arg.empty()) {
    line += ' ';
    line += Arg;
  }
  return line;
}

namespace {

// Reads 1 to 3 decimal digits worth at most 255.
bool ReadByte(std::string_view S, size_t& At, int& Value) {
  size_t digits = 0;
  Value = 0;
  while (At < S.size() && S[At] >= '0' && S[At] <= '9') {
    if (++digits > 3) return false;
    Value = Value * 10 + (S[At++] - '0');
  }
  return digits > 0 && Value <= 255;
}

}  // namespace

bool ParsePasvReply(std::string_view Line, uint8_t Address[4], uint16_t& Port) {
  const TReplyStatus status = ReplyStatus(Line);
  if (status.Code != 227 || status.Continued) return false;
  size_t at = Line.find('(');
  const bool inParens = at != std::string_view::npos;
  if (inParens) {
    ++at;
  } else {
    // Without parentheses the numbers are the first digits after the code.
    at = Line.find_first_of("0123456789", 3);
    if (at == std::string_view::npos) return false;
  }
  int n[6];
  for (int i = 0; i < 6; ++i) {
    if (i > 0) {
      if (at >= Line.size() || Line[at] != ',') return false;
      ++at;
    }
    if (!ReadByte(Line, at, n[i])) return false;
  }
  if (inParens ? (at >= Line.size() || Line[at] != ')') : (at < Line.size() && Line[at] == ',')) return false;
  for (int i = 0; i < 4; ++i) Address[i] = uint8_t(n[i]);
  Port = uint16_t(n[4] * 256 + n[5]);
  return Port != 0;
}

std::string FtpPortLine(uint32_t Address, uint16_t Port) {
  return "PORT " + std::to_string(Address >> 24) + ',' + std::to_string((Address >> 16) & 255) + ',' +
         std::to_string((Address >> 8) & 255) + ',' + std::to_string(Address & 255) + ',' + std::to_string(Port >> 8) +
         ',' + std::to_string(Port & 255);
}

bool ExtractQuotedDir(std::string_view Line, std::string& Dir) {
  size_t at = Line.find('"');
  if (at == std::string_view::npos) return false;
  Dir.clear();
  for (++at; at < Line.size(); ++at) {
    if (Line[at] != '"') {
      Dir += Line[at];
    } else if (at + 1 < Line.size() && Line[at + 1] == '"') {
      Dir += '"';
      ++at;
    } else {
      return true;
    }
  }
  return true;  // an unclosed quote keeps what followed it
}

int64_t ReplySecondNumber(std::string_view Line) {
  size_t at = 0;
  while (at < Line.size() && Line[at] >= '0' && Line[at] <= '9') ++at;
  at = Line.find_first_of("0123456789", at);
  if (at == std::string_view::npos) return -1;
  int64_t v = 0;
  for (; at < Line.size() && Line[at] >= '0' && Line[at] <= '9'; ++at) {
    if (v > (INT64_MAX - 9) / 10) return -1;
    v = v * 10 + (Line[at] - '0');
  }
  return v;
}

std::string FtpStatisticsLine(int64_t Bytes, int64_t Milliseconds) {
  std::string s = "! " + std::to_string(Bytes) + " bytes received/sent in " + std::to_string(Milliseconds / 1000) + " seconds";
  if (Milliseconds > 0) {
    const int64_t rate = Bytes < 32768 ? Bytes * 1000 / Milliseconds : Bytes / Milliseconds * 1000;
    s += " (" + std::to_string(rate) + " Bytes/sec)";
  }
  return s;
}

}  // namespace kv

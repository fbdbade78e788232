// The text side of the POP3 client: replies, the APOP timestamp and digest, and the
// numbers and ids of LIST, UIDL and STAT lines. No sockets here.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/exceptions.h"

namespace kv {

KV_DECLARE_EXCEPTION(Pop3Exception, Exception)

inline bool Pop3ReplyOk(std::string_view Line) { return !Line.empty() && Line[0] == '+'; }

// "CMD" or "CMD arg"; raises Pop3Exception when Arg holds a line break.
std::string Pop3CommandLine(std::string_view Command, std::string_view Arg);

// The banner's "<...>" from the first "<" to the first ">" after it; empty when
// there is none.
std::string ApopTimestamp(std::string_view Banner);

// MD5 of timestamp and password as 32 lower-case hexadecimal digits.
std::string ApopDigest(std::string_view Timestamp, std::string_view Password);

// A line of a multi-line reply: false for the terminating ".", else Line with one
// leading dot of a ".." removed.
bool Pop3DataLine(std::string& Line);

// First number of Text, then the next number after blanks ("1 120" of a LIST line,
// "+OK 2 320" after the status word is skipped by the caller). Missing numbers are 0.
struct TPop3Numbers {
  int32_t First = 0;
  int32_t Second = 0;
  bool HasSecond = false;
};
TPop3Numbers ParsePop3Numbers(std::string_view Text);

// "3 QhdPYR:00WBw1Ph7x7" gives 3 and the id (printable "!" to "~" after blanks).
void ParseUidlLine(std::string_view Text, int32_t& MsgNum, std::string& Uidl);

// The text after the status word of a positive reply ("+OK 2 320" gives "2 320").
std::string_view Pop3ReplyText(std::string_view Line);

}  // namespace kv

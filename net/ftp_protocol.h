// The text side of the FTP client: command lines, the passive-mode and PORT
// addresses, and the values taken out of replies. No sockets here.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/exceptions.h"

namespace kv {

KV_DECLARE_EXCEPTION(FtpException, Exception)

// "CMD" or "CMD arg". Raises FtpException when Arg holds a line break, which would
// let a file or folder name send a command of its own.
std::string FtpCommandLine(std::string_view Command, std::string_view Arg);

// The data port of a 227 reply. Strict: the reply code is 227 and six decimal
// numbers of 0 to 255 separated by single commas follow (inside the parentheses
// when there are any); a zero port is refused. Address receives the first four.
bool ParsePasvReply(std::string_view Line, uint8_t Address[4], uint16_t& Port);

// "PORT h1,h2,h3,h4,p1,p2" for an address in host byte order.
std::string FtpPortLine(uint32_t Address, uint16_t Port);

// The quoted folder name of a PWD or MKD reply ("" stands for one quote); false
// when the reply quotes nothing.
bool ExtractQuotedDir(std::string_view Line, std::string& Dir);

// The second number of a reply ("213 1234" gives 1234); -1 when there is none.
int64_t ReplySecondNumber(std::string_view Line);

// "! 1234 bytes received/sent in 2 seconds (617 Bytes/sec)".
std::string FtpStatisticsLine(int64_t Bytes, int64_t Milliseconds);

}  // namespace kv

// The socket-free text of the FTP, SMTP and POP3 clients: reply lines, command
// lines, passive-mode addresses, and the POP3 values.
#include <gtest/gtest.h>

#include "net/ftp_protocol.h"
#include "net/pop3_protocol.h"
#include "net/reply_lines.h"

namespace kv {
namespace {

std::vector<std::string> Drain(TReplyLineBuffer& B, std::vector<bool>* Cut = nullptr) {
  std::vector<std::string> lines;
  std::string l;
  bool truncated;
  while (B.NextLine(l, &truncated)) {
    lines.push_back(l);
    if (Cut) Cut->push_back(truncated);
  }
  return lines;
}

TEST(ReplyLines, SplitsAtLineEndsAcrossReceives) {
  TReplyLineBuffer lf(4096, true);
  lf.Append("220 a\r\n230 b\n22");
  EXPECT_EQ(Drain(lf), (std::vector<std::string>{"220 a", "230 b"}));
  lf.Append("1 c\r");
  EXPECT_TRUE(Drain(lf).empty());
  lf.Append("\n");
  EXPECT_EQ(Drain(lf), (std::vector<std::string>{"221 c"}));

  // Without LF acceptance a bare LF stays inside the line.
  TReplyLineBuffer crlf(4096, false);
  crlf.Append("250 x\ny\r");
  EXPECT_TRUE(Drain(crlf).empty());
  crlf.Append("\n");
  EXPECT_EQ(Drain(crlf), (std::vector<std::string>{"250 x\ny"}));
}

// The tail of an over-long line must not come out as a reply of its own.
TEST(ReplyLines, OverlongLineIsCutAndItsTailDropped) {
  for (bool acceptLF : {true, false}) {
    TReplyLineBuffer b(16, acceptLF);
    b.Append(std::string(20, 'x'));
    b.Append("+OK forged\r");  // still the same line
    std::vector<bool> cut;
    EXPECT_EQ(Drain(b, &cut), (std::vector<std::string>{std::string(16, 'x')}));
    EXPECT_EQ(cut, (std::vector<bool>{true}));
    b.Append("\n+OK real\r\n");
    EXPECT_EQ(Drain(b), (std::vector<std::string>{"+OK real"})) << acceptLF;
    // A whole over-long line in one receive.
    b.Append(std::string(40, 'y') + "\r\n-ERR next\r\n");
    EXPECT_EQ(Drain(b), (std::vector<std::string>{std::string(16, 'y'), "-ERR next"}));
    EXPECT_EQ(b.Pending(), 0u);
  }
}

TEST(ReplyLines, MultiLineRepliesEndOnTheirOwnCode) {
  TMultiLineReply r;
  int32_t code = 0;
  // Lines inside may begin with digits, even with another code and a blank.
  const char* kLines[] = {"123-First line", "Second line", "  234 A line beginning with numbers",
                          "234 not the end either", "123-still inside"};
  for (const char* l : kLines) EXPECT_FALSE(r.Feed(l, code)) << l;
  EXPECT_TRUE(r.Feed("123 The last line", code));
  EXPECT_EQ(code, 123);
  EXPECT_TRUE(r.Feed("200 single", code));
  EXPECT_EQ(code, 200);
  EXPECT_FALSE(r.Feed("stray text", code));
  EXPECT_TRUE(r.Feed("221", code));
  EXPECT_EQ(code, 221);
}

TEST(FtpText, PassiveReplyIsParsedStrictly) {
  uint8_t a[4];
  uint16_t port = 0;
  ASSERT_TRUE(ParsePasvReply("227 Entering Passive Mode (192,168,1,5,4,210).", a, port));
  EXPECT_EQ(port, 1234);
  EXPECT_EQ(a[0], 192);
  EXPECT_EQ(a[3], 5);
  ASSERT_TRUE(ParsePasvReply("227 =127,0,0,1,255,255", a, port));
  EXPECT_EQ(port, 65535);
  for (const char* bad : {
           "227 Entering Passive Mode (192,168,1,5,4)",        // five numbers
           "227 Entering Passive Mode (192,168,1,5,4,210,7)",  // seven
           "227 Entering Passive Mode (192,168,1,5,256,1)",    // byte out of range
           "227 Entering Passive Mode (192,168,1,5,-4,210)",   // sign
           "227 Entering Passive Mode (192,168,1,5,0004,210)", // four digits
           "227 Entering Passive Mode (192,168,1,5, 4,210)",   // blank
           "227 Entering Passive Mode (192,168,1,5,4,210",     // unclosed
           "227 Entering Passive Mode (192,168,1,5,0,0)",      // port 0
           "227 Entering Passive Mode ()",
           "227 Entering Passive Mode",
           "227-Entering Passive Mode (192,168,1,5,4,210)",    // a continuation line
           "229 Entering Extended Passive Mode (|||1234|)",
           "200 (192,168,1,5,4,210)",
       })
    EXPECT_FALSE(ParsePasvReply(bad, a, port)) << bad;
}

TEST(FtpText, CommandLinesAndReplyValues) {
  EXPECT_EQ(FtpPortLine(0xC0A80105, 1234), "PORT 192,168,1,5,4,210");
  EXPECT_EQ(FtpCommandLine("STOR", "a b.jpg"), "STOR a b.jpg");
  EXPECT_EQ(FtpCommandLine("PWD", ""), "PWD");
  for (const char* evil : {"x\r\nDELE y", "x\ny", "x\r"})
    EXPECT_THROW(FtpCommandLine("STOR", evil), FtpException) << evil;
  EXPECT_THROW(FtpCommandLine("CWD", std::string("a\0b", 3)), FtpException);

  std::string dir;
  ASSERT_TRUE(ExtractQuotedDir("257 \"/a \"\"b\"\"\" is current directory.", dir));
  EXPECT_EQ(dir, "/a \"b\"");
  EXPECT_FALSE(ExtractQuotedDir("257 no quotes", dir));
  EXPECT_EQ(ReplySecondNumber("213 104857600"), 104857600);
  EXPECT_EQ(ReplySecondNumber("213"), -1);
  EXPECT_EQ(FtpStatisticsLine(1000, 500), "! 1000 bytes received/sent in 0 seconds (2000 Bytes/sec)");
  EXPECT_EQ(FtpStatisticsLine(5, 0), "! 5 bytes received/sent in 0 seconds");
}

TEST(Pop3Text, ApopDigestIsLowerCaseHex) {
  // The banner of RFC 1939's example; the digest as md5sum gives it.
  const std::string ts = ApopTimestamp("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>");
  EXPECT_EQ(ts, "<1896.697170952@dbc.mtview.ca.us>");
  EXPECT_EQ(ApopDigest(ts, "tanstaafl"), "a6f0dd348916c9ee9539661f94c75203");
  EXPECT_EQ(ApopTimestamp("+OK ready"), "");
  EXPECT_EQ(ApopTimestamp("+OK ready <unclosed"), "");
  EXPECT_THROW(Pop3CommandLine("USER", "bob\r\nDELE 1"), Pop3Exception);
}

TEST(Pop3Text, DataLinesAndNumbers) {
  const struct {
    const char* In;
    bool More;
    const char* Out;
  } kCases[] = {{".", false, "."}, {"..", true, "."}, {"...x", true, "..x"}, {".x", true, ".x"}, {"x.", true, "x."}};
  for (const auto& c : kCases) {
    std::string l = c.In;
    EXPECT_EQ(Pop3DataLine(l), c.More) << c.In;
    if (c.More) {
      EXPECT_EQ(l, c.Out) << c.In;
    }
  }
  const TPop3Numbers n = ParsePop3Numbers(Pop3ReplyText("+OK 2 320"));
  EXPECT_EQ(n.First, 2);
  EXPECT_EQ(n.Second, 320);
  EXPECT_FALSE(ParsePop3Numbers("7").HasSecond);
  EXPECT_EQ(ParsePop3Numbers("99999999999 1").First, INT32_MAX);
  int32_t num;
  std::string id;
  ParseUidlLine("3  QhdPYR:00WBw1Ph7x7 trailing", num, id);
  EXPECT_EQ(num, 3);
  EXPECT_EQ(id, "QhdPYR:00WBw1Ph7x7");
}

}  // namespace
}  // namespace kv

#include "net/smtp_message.h"

#include <gtest/gtest.h>

#include "support/temp_files.h"

namespace kv {
namespace {

TEST(SmtpMessage, EnvelopeAddresses) {
  EXPECT_EQ(SmtpAddressArg("  bob@example.org "), "<bob@example.org>");
  EXPECT_EQ(SmtpAddressArg(" Bob <bob@example.org> "), "Bob <bob@example.org>");
  EXPECT_EQ(SmtpAddressArg("<bob@example.org"), "<<bob@example.org>");
  for (const char* evil : {"bob@x\r\nRCPT TO:<eve@x>", "bob@x\n", "bob@x\r"})
    EXPECT_THROW(SmtpAddressArg(evil), SmtpException) << evil;
}

TEST(SmtpMessage, DateIsEnglishWithSignedZone) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 3;
  t.tm_wday = 4;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 7;
  EXPECT_EQ(SmtpDateText(t, 60), "Thu, 3 Dec 2026 09:05:07 +0100");
  EXPECT_EQ(SmtpDateText(t, -60), "Thu, 3 Dec 2026 09:05:07 -0100");
  EXPECT_EQ(SmtpDateText(t, -330), "Thu, 3 Dec 2026 09:05:07 -0530");
  EXPECT_EQ(SmtpDateText(t, 0), "Thu, 3 Dec 2026 09:05:07 +0000");
  EXPECT_EQ(SmtpBoundary(t), "= Multipart Boundary 1203260905");
}

TEST(SmtpMessage, Base64LinesAndDotStuffing) {
  std::vector<uint8_t> bytes(46);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
  const std::string first = Base64Line(bytes.data(), 45);
  const std::string second = Base64Line(bytes.data() + 45, 1);
  EXPECT_EQ(first.size(), 60u);
  EXPECT_EQ(second, "Ow==");  // 45 * 7 = 315, stored as 0x3B
  EXPECT_EQ(Base64Line(reinterpret_cast<const uint8_t*>("Man"), 3), "TWFu");
  EXPECT_EQ(Base64Line(reinterpret_cast<const uint8_t*>("Ma"), 2), "TWE=");

  EXPECT_EQ(DotStuffed("."), "..");
  EXPECT_EQ(DotStuffed(".hidden"), "..hidden");
  EXPECT_EQ(DotStuffed("a.b"), "a.b");
  EXPECT_EQ(DotStuffed(""), "");
}

TEST(SmtpMessage, TextEncodingFollowsTheContent) {
  // Short 7-bit lines go as they are.
  TSmtpText plain = PrepareSmtpText({"Hello", ".", ""}, "iso-8859-1");
  EXPECT_FALSE(plain.QuotedPrintable);
  EXPECT_EQ(plain.Lines, (std::vector<std::string>{"Hello", ".", ""}));

  // Latin-1 characters are converted and encoded under the Latin-1 label.
  TSmtpText latin = PrepareSmtpText({"Gr\xC3\xBC\xC3\x9F" "e = 1 "}, "iso-8859-1");
  EXPECT_TRUE(latin.QuotedPrintable);
  EXPECT_EQ(latin.CharSet, "iso-8859-1");
  EXPECT_EQ(latin.Lines, (std::vector<std::string>{"Gr=FC=DFe =3D 1=20"}));

  // A character beyond Latin-1 keeps the UTF-8 bytes and says so.
  TSmtpText euro = PrepareSmtpText({"5 \xE2\x82\xAC"}, "iso-8859-1");
  EXPECT_EQ(euro.CharSet, "utf-8");
  EXPECT_EQ(euro.Lines, (std::vector<std::string>{"5 =E2=82=AC"}));

  // A long line is wrapped with soft breaks, never cut.
  const std::string longLine(2500, 'a');
  TSmtpText wrapped = PrepareSmtpText({longLine}, "iso-8859-1");
  EXPECT_TRUE(wrapped.QuotedPrintable);
  EXPECT_EQ(wrapped.CharSet, "iso-8859-1");
  std::string joined;
  for (size_t i = 0; i < wrapped.Lines.size(); ++i) {
    const std::string& l = wrapped.Lines[i];
    EXPECT_LE(l.size(), 76u);
    const bool last = i + 1 == wrapped.Lines.size();
    ASSERT_EQ(!l.empty() && l.back() == '=', !last);
    joined += last ? l : l.substr(0, l.size() - 1);
  }
  EXPECT_EQ(joined, longLine);
}

TEST(SmtpMessage, HeaderFields) {
  EXPECT_EQ(HeaderField("Subject", "Frame 12", false), (std::vector<std::string>{"Subject: Frame 12"}));
  EXPECT_EQ(HeaderField("Subject", "Gr\xC3\xBC\xC3\x9F" "e", false),
            (std::vector<std::string>{"Subject: =?utf-8?B?R3LDvMOfZQ==?="}));
  EXPECT_EQ(HeaderField("From", "J\xC3\xBCrgen <j@example.org>", true),
            (std::vector<std::string>{"From: =?utf-8?B?SsO8cmdlbg==?= <j@example.org>"}));
  // Long 8-bit values fold onto continuation lines without splitting a character.
  std::string umlauts;
  for (int i = 0; i < 40; ++i) umlauts += "\xC3\xA4";
  const auto folded = HeaderField("Subject", umlauts, false);
  ASSERT_EQ(folded.size(), 2u);
  EXPECT_EQ(folded[1][0], ' ');
  for (const char* evil : {"Hi\r\nBcc: eve@x", "Hi\nX: y", "Hi\r"})
    EXPECT_THROW(HeaderField("Subject", evil, false), SmtpException) << evil;
}

TEST(SmtpMessage, SourceReadsAttachmentsAndFailsEarly) {
  test::TScratchFolder dir("smtpmsg");
  const std::string file = dir.Path() + "/a.bin";
  std::vector<uint8_t> data(100);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i);
  test::WriteBytes(file, data);

  TSmtpMessageSource src;
  src.AddLines({"head"});
  src.AddAttachmentContent(file);
  src.AddLines({"tail"});
  src.Open();
  std::vector<std::string> lines;
  std::string l;
  while (src.NextLine(l)) lines.push_back(l);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1], Base64Line(data.data(), 45));
  EXPECT_EQ(lines[2], Base64Line(data.data() + 45, 45));
  EXPECT_EQ(lines[3], Base64Line(data.data() + 90, 10));
  EXPECT_EQ(lines[4], "tail");

  for (const std::string& bad : {dir.Path() + "/missing.bin", dir.Path()}) {
    TSmtpMessageSource s;
    s.AddLines({"head"});
    s.AddAttachmentContent(bad);
    EXPECT_THROW(s.Open(), SmtpException) << bad;
  }
}

}  // namespace
}  // namespace kv

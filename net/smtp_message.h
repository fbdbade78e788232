// The text side of the SMTP client: envelope arguments, the date line, the body's
// transfer encoding, header encoding, and the line source that produces the whole
// message (header, text and base64 attachments) one line at a time. No sockets here.
#pragma once
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace kv {

KV_DECLARE_EXCEPTION(SmtpException, Exception)

// The argument of MAIL FROM: and RCPT TO:: the trimmed name as given when it holds
// both "<" and ">", else inside angle brackets. Raises SmtpException on a line break.
std::string SmtpAddressArg(std::string_view Name);

// "Thu, 3 Dec 2026 09:05:07 +0100": English names whatever the locale; the zone is
// the local time's distance from UTC, east positive.
std::string SmtpDateText(const std::tm& Local, int32_t UtcOffsetMinutes);
std::string SmtpDateNow();

// The boundary of a multipart message made at the given local time.
std::string SmtpBoundary(const std::tm& Local);

// A line as it goes inside DATA: a leading "." gets a second one.
std::string DotStuffed(std::string_view Line);

// Base64 of up to 45 bytes as one line of up to 60 characters, "=" padded.
std::string Base64Line(const uint8_t* Data, size_t Count);

// The body text as it will be sent. Text that is 7-bit with lines of at most 998
// bytes goes as it is; anything else (8-bit bytes, longer lines, stray control line
// ends) goes quoted-printable so nothing is cut or mislabelled. Our strings are
// UTF-8: with a Latin-1 CharSet such text is converted when every character fits,
// else it is labelled "utf-8".
struct TSmtpText {
  std::vector<std::string> Lines;
  std::string CharSet;
  bool QuotedPrintable = false;
  const char* TransferEncoding() const { return QuotedPrintable ? "quoted-printable" : "7bit"; }
};
TSmtpText PrepareSmtpText(const std::vector<std::string>& Lines, std::string_view CharSet);

// One source line as quoted-printable lines of at most 76 characters (soft breaks).
std::vector<std::string> QuotedPrintableLines(std::string_view Line);

// A header field "Name: value" as physical lines: values with 8-bit bytes become
// RFC 2047 encoded words (for address fields only the display name before "<"),
// folded onto continuation lines. Raises SmtpException when Value holds a line break.
std::vector<std::string> HeaderField(std::string_view Name, std::string_view Value, bool AddressField);

struct TSmtpAttachment {
  std::string Path;         // the file read
  std::string Name;         // name= of Content-Type
  std::string FileName;     // filename= of Content-Disposition
  std::string ContentType;  // "application/octet-stream" unless changed
  std::vector<std::string> ExtraHeader;
};

// Produces the message's lines in order, reading attachments as it goes. Open()
// opens every attachment first, so an unreadable file fails the mail before DATA.
class TSmtpMessageSource {
 public:
  TSmtpMessageSource();
  ~TSmtpMessageSource();

  // Lines sent as they are (header lines, empty line, text parts).
  void AddLines(std::vector<std::string> Lines);
  // The content of an attachment in base64.
  void AddAttachmentContent(std::string Path);

  // Raises SmtpException "Unable to read attachment '<path>': <reason>".
  void Open();
  // The next line without CR LF and before dot stuffing; false at the end. A read
  // error raises SmtpException: the caller must then drop the connection rather
  // than end the DATA with ".", so no truncated message is delivered.
  bool NextLine(std::string& Line);

 private:
  struct TSegment {
    std::vector<std::string> Lines;
    std::string Path;  // non-empty: base64 of this file
    int Fd = -1;
    std::vector<uint8_t> Buf;  // read ahead of the base64 lines
    size_t BufPos = 0;
  };
  std::vector<TSegment> FSegments;
  size_t FSegment = 0;
  size_t FLine = 0;
  bool FOpened = false;
};

}  // namespace kv

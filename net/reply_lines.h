// Reply lines of the text protocols (FTP, SMTP, POP3): a bounded line buffer that
// splits received bytes into lines, and the assembler of three-digit replies that
// may span several lines.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// Holds received bytes until a line end arrives. A line longer than MaxLine is
// handed out cut to MaxLine bytes and marked truncated; the rest of it, up to its
// line end, is dropped as it arrives, so a long line can never be read as a new
// reply and memory stays bounded.
class TReplyLineBuffer {
 public:
  explicit TReplyLineBuffer(size_t MaxLine = 4096, bool AcceptLF = true) : FMaxLine(MaxLine), FAcceptLF(AcceptLF) {}

  // With AcceptLF a line ends at LF alone; otherwise only CR LF ends a line.
  void SetAcceptLF(bool Value) { FAcceptLF = Value; }
  bool AcceptLF() const { return FAcceptLF; }
  size_t MaxLine() const { return FMaxLine; }

  void Append(const char* Data, size_t Count);
  void Append(std::string_view Data) { Append(Data.data(), Data.size()); }

  // The next line without its line end (trailing CR and LF stripped). False when no
  // complete line is held.
  bool NextLine(std::string& Line, bool* Truncated = nullptr);

  // Bytes held that do not yet form a line.
  size_t Pending() const { return FBuf.size() - FStart; }
  // Room left before the held bytes would make an over-long line.
  size_t Room() const { return Pending() >= FMaxLine ? 0 : FMaxLine - Pending(); }
  std::string TakeRest();
  void Clear();

 private:
  size_t FindLineEnd(size_t& EndLength) const;
  void Compact();

  std::string FBuf;
  size_t FStart = 0;     // first byte not yet handed out
  size_t FScanned = 0;   // bytes after FStart already searched for a line end
  size_t FMaxLine;
  bool FAcceptLF;
  bool FSkipping = false;  // dropping the rest of a truncated line
  bool FSkipCR = false;    // the dropped tail so far ended in CR
};

// The status of a reply line of a three-digit protocol: Code is the number of the
// first three digits (0 when the line does not begin with three digits); Continued
// when the code is followed by "-".
struct TReplyStatus {
  int32_t Code = 0;
  bool Continued = false;
};
TReplyStatus ReplyStatus(std::string_view Line);

// Follows multi-line replies: a reply whose first line is "ddd-" ends only at a
// line that begins with the same three digits followed by anything but "-", so a
// text line inside that happens to begin with digits does not end it early.
class TMultiLineReply {
 public:
  // True when Line is the last line of a reply; Code is then the reply's code.
  bool Feed(std::string_view Line, int32_t& Code);
  bool InReply() const { return FInReply; }
  void Reset() { FInReply = false; }

 private:
  bool FInReply = false;
  int32_t FCode = 0;  // code of the multi-line reply in progress
};

// True when Text holds CR, LF or NUL: a line break would let a name or value smuggle
// a second command or header onto the wire.
bool HasLineBreak(std::string_view Text);

// The class name of an exception without its namespace ("ESocketException"), for
// the "500 <class>: <message>" replies the clients make of local failures.
std::string ExceptionClassName(const std::exception& E);

}  // namespace kv

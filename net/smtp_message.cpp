#include "net/smtp_message.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

#include "net/reply_lines.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/utf8.h"
#include "platform/rtl/sys_error.h"

namespace kv {

namespace {

constexpr size_t kMaxTextLine = 998;   // RFC 5322 limit without CR LF
constexpr size_t kQpLine = 76;         // RFC 2045 limit of an encoded line
constexpr size_t kBase64Group = 45;    // bytes per 60-character line
constexpr char kHex[] = "0123456789ABCDEF";
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool IsAsciiLine(std::string_view Line) {
  for (char c : Line)
    if (uint8_t(c) >= 0x80 || c == '\r' || c == '\n' || c == '\0') return false;
  return true;
}

bool IsAscii(std::string_view S) {
  for (char c : S)
    if (uint8_t(c) >= 0x80) return false;
  return true;
}

// Strictly valid UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view S) {
  for (size_t i = 0; i < S.size();) {
    const uint8_t c = uint8_t(S[i]);
    size_t n;
    char32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      n = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= S.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const uint8_t d = uint8_t(S[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3F);
    }
    static const char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

bool IsLatin1Name(std::string_view CharSet) {
  const std::string c = LowerCase(Trim(CharSet));
  return c == "iso-8859-1" || c == "iso8859-1" || c == "iso_8859-1" || c == "latin1" || c == "latin-1" ||
         c == "l1" || c == "iso-ir-100" || c == "cp819" || c == "ibm819";
}

// Latin-1 bytes of valid UTF-8 text; false when a character lies beyond U+00FF.
bool Utf8ToLatin1(std::string_view S, std::string& Out) {
  Out.clear();
  for (size_t i = 0; i < S.size();) {
    const char32_t c = utf8::Next(S, i);
    if (c > 0xFF) return false;
    Out += char(uint8_t(c));
  }
  return true;
}

void AppendBase64(std::string& Out, const uint8_t* Data, size_t Count) {
  for (size_t i = 0; i < Count; i += 3) {
    const uint32_t b0 = Data[i];
    const uint32_t b1 = i + 1 < Count ? Data[i + 1] : 0;
    const uint32_t b2 = i + 2 < Count ? Data[i + 2] : 0;
    const uint32_t v = b0 << 16 | b1 << 8 | b2;
    Out += kBase64[v >> 18];
    Out += kBase64[(v >> 12) & 63];
    Out += i + 1 < Count ? kBase64[(v >> 6) & 63] : '=';
    Out += i + 2 < Count ? kBase64[v & 63] : '=';
  }
}

}  // namespace

std::string SmtpAddressArg(std::string_view Name) {
  if (HasLineBreak(Name)) throw SmtpException("Line break in mail address refused");
  const std::string name = Trim(Name);
  if (name.find('<') != std::string::npos && name.find('>') != std::string::npos) return name;
  return "<" + name + ">";
}

std::string SmtpDateText(const std::tm& Local, int32_t UtcOffsetMinutes) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int32_t off = UtcOffsetMinutes < 0 ? -UtcOffsetMinutes : UtcOffsetMinutes;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %d %s %d %02d:%02d:%02d %c%02d%02d", kDays[(Local.tm_wday % 7 + 7) % 7],
                Local.tm_mday, kMonths[(Local.tm_mon % 12 + 12) % 12], Local.tm_year + 1900, Local.tm_hour,
                Local.tm_min, Local.tm_sec, UtcOffsetMinutes < 0 ? '-' : '+', int(off / 60), int(off % 60));
  return buf;
}

std::string SmtpDateNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) return "";
  return SmtpDateText(local, int32_t(local.tm_gmtoff / 60));
}

std::string SmtpBoundary(const std::tm& Local) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d", Local.tm_mon + 1, Local.tm_mday, Local.tm_year % 100,
                Local.tm_hour, Local.tm_min);
  return std::string("= Multipart Boundary ") + buf;
}

std::string DotStuffed(std::string_view Line) {
  if (!Line.empty() && Line[0] == '.') return "." + std::string(Line);
  return std::string(Line);
}

std::string Base64Line(const uint8_t* Data, size_t Count) {
  std::string s;
  s.reserve((Count + 2) / 3 * 4);
  AppendBase64(s, Data, Count);
  return s;
}

std::vector<std::string> QuotedPrintableLines(std::string_view Line) {
  std::vector<std::string> out;
  std::string cur;
  for (size_t i = 0; i < Line.size(); ++i) {
    const uint8_t c = uint8_t(Line[i]);
    const bool last = i + 1 == Line.size();
    std::string piece;
    // Blanks are literal except at the end, where transports may strip them.
    if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last)) {
      piece.assign(1, char(c));
    } else {
      piece = {'=', kHex[c >> 4], kHex[c & 15]};
    }
    // Keep room for the soft break "=" unless this piece ends the line.
    const size_t limit = last ? kQpLine : kQpLine - 1;
    if (cur.size() + piece.size() > limit) {
      out.push_back(cur + "=");
      cur.clear();
    }
    cur += piece;
  }
  out.push_back(cur);
  return out;
}

TSmtpText PrepareSmtpText(const std::vector<std::string>& Lines, std::string_view CharSet) {
  TSmtpText t;
  t.CharSet = std::string(CharSet);
  bool plain = true;
  for (const auto& l : Lines)
    if (l.size() > kMaxTextLine || !IsAsciiLine(l)) {
      plain = false;
      break;
    }
  if (plain) {
    t.Lines = Lines;
    return t;
  }
  t.QuotedPrintable = true;
  std::vector<std::string> text = Lines;
  bool eightBit = false;
  bool utf8 = true;
  for (const auto& l : Lines) {
    eightBit = eightBit || !IsAscii(l);
    utf8 = utf8 && IsValidUtf8(l);
  }
  if (eightBit && utf8 && IsLatin1Name(CharSet)) {
    std::vector<std::string> latin(text.size());
    bool fits = true;
    for (size_t i = 0; i < text.size() && fits; ++i) fits = Utf8ToLatin1(text[i], latin[i]);
    if (fits)
      text.swap(latin);
    else
      t.CharSet = "utf-8";
  }
  for (const auto& l : text) {
    auto qp = QuotedPrintableLines(l);
    t.Lines.insert(t.Lines.end(), std::make_move_iterator(qp.begin()), std::make_move_iterator(qp.end()));
  }
  return t;
}

std::vector<std::string> HeaderField(std::string_view Name, std::string_view Value, bool AddressField) {
  if (HasLineBreak(Value)) throw SmtpException("Line break in header " + std::string(Name) + " refused");
  std::string head = std::string(Name) + ": ";
  if (IsAscii(Value)) return {head + std::string(Value)};
  std::string_view text = Value;
  std::string_view rest;
  if (AddressField) {
    const size_t lt = Value.find('<');
    if (lt != std::string_view::npos) {
      text = Value.substr(0, lt);
      rest = Value.substr(lt);
      while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    }
  }
  const std::string charset = IsValidUtf8(text) ? "utf-8" : "iso-8859-1";
  // Words of at most 45 input bytes (60 base64 characters), never splitting a character.
  std::vector<std::string> lines;
  std::string cur = head;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = std::min(text.size(), at + kBase64Group);
    if (charset == "utf-8")
      while (end < text.size() && end > at && (uint8_t(text[end]) & 0xC0) == 0x80) --end;
    std::string word = "=?" + charset + "?B?" +
                       Base64Line(reinterpret_cast<const uint8_t*>(text.data() + at), end - at) + "?=";
    if (at > 0) {
      lines.push_back(cur);
      cur = " ";
    }
    cur += word;
    at = end;
  }
  if (!rest.empty()) cur += " " + std::string(rest);
  lines.push_back(cur);
  return lines;
}

TSmtpMessageSource::TSmtpMessageSource() = default;

TSmtpMessageSource::~TSmtpMessageSource() {
  for (auto& s : FSegments)
    if (s.Fd >= 0) ::close(s.Fd);
}

void TSmtpMessageSource::AddLines(std::vector<std::string> Lines) {
  TSegment s;
  s.Lines = std::move(Lines);
  FSegments.push_back(std::move(s));
}

void TSmtpMessageSource::AddAttachmentContent(std::string Path) {
  TSegment s;
  s.Path = std::move(Path);
  FSegments.push_back(std::move(s));
}

void TSmtpMessageSource::Open() {
  for (auto& s : FSegments) {
    if (s.Path.empty() || s.Fd >= 0) continue;
    s.Fd = ::open(s.Path.c_str(), O_RDONLY | O_CLOEXEC);
    int err = errno;
    struct stat st {};
    if (s.Fd >= 0 && ::fstat(s.Fd, &st) == 0 && !S_ISREG(st.st_mode)) err = EISDIR;
    if (s.Fd < 0 || !S_ISREG(st.st_mode))
      throw SmtpException("Der Anhang '" + s.Path + "' kann nicht gelesen werden: " + SysErrorMessage(err));
  }
  FOpened = true;
}

bool TSmtpMessageSource::NextLine(std::string& Line) {
  if (!FOpened) Open();
  while (FSegment < FSegments.size()) {
    TSegment& s = FSegments[FSegment];
    if (s.Path.empty()) {
      if (FLine < s.Lines.size()) {
        Line = s.Lines[FLine++];
        return true;
      }
    } else if (s.Fd >= 0 || s.BufPos < s.Buf.size()) {
      // Refill whole lines' worth at a time; only the file's last line may be short.
      if (s.Buf.size() - s.BufPos < kBase64Group && s.Fd >= 0) {
        s.Buf.erase(s.Buf.begin(), s.Buf.begin() + ptrdiff_t(s.BufPos));
        s.BufPos = 0;
        size_t have = s.Buf.size();
        s.Buf.resize(kBase64Group * 1456);
        while (have < s.Buf.size()) {
          const ssize_t n = ::read(s.Fd, s.Buf.data() + have, s.Buf.size() - have);
          if (n < 0 && errno == EINTR) continue;
          if (n < 0) throw SmtpException("Der Anhang '" + s.Path + "' kann nicht gelesen werden: " + SysErrorMessage(errno));
          if (n == 0) {
            ::close(s.Fd);
            s.Fd = -1;
            break;
          }
          have += size_t(n);
        }
        s.Buf.resize(have);
      }
      const size_t take = std::min(kBase64Group, s.Buf.size() - s.BufPos);
      if (take > 0) {
        Line = Base64Line(s.Buf.data() + s.BufPos, take);
        s.BufPos += take;
        return true;
      }
    }
    ++FSegment;
    FLine = 0;
  }
  return false;
}

}  // namespace kv

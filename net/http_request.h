// The parts of the HTTP server that need no socket: reading a request head
// line by line within limits, mapping its path to a file confined to the
// document folder, and the texts of the answers.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kv {

// Limits on what a client may send before its request is answered.
constexpr int32_t kHttpMaxLine = 8192;          // request line or one header line, line end included
constexpr int32_t kHttpMaxHeaderLines = 100;
constexpr int32_t kHttpMaxHeaderBytes = 65536;

struct THttpRequestHead {
  std::string Method;   // upper case
  std::string Path;     // before the first "?", as sent
  std::string Params;   // after it
  std::string Version;  // upper case, "HTTP/1.0" when missing
  std::vector<std::string> Headers;
  std::string ContentType, Accept, Referer, AcceptLanguage, AcceptEncoding, UserAgent, Host, Connection;
  int32_t ContentLength = 0;
  int32_t HeaderBytes = 0;
  void Clear() { *this = THttpRequestHead{}; }
};

enum THttpLineResult : uint8_t {
  hlMore,         // keep reading header lines
  hlComplete,     // the empty line: dispatch the request
  hlTooMany,      // too many header lines or bytes (431)
  hlBadRequest    // a request line without a method (400)
};

// Trailing LF and a CR before it are removed.
std::string StripLineEnd(const std::string& Line);
// Fills Method, Path, Params and Version from the request line.
THttpLineResult ParseRequestLine(const std::string& Line, THttpRequestHead& Head);
// One header line (already stripped); the empty line completes the head.
THttpLineResult ParseHeaderLine(const std::string& Line, THttpRequestHead& Head);

// Percent-decodes Path and splits it into segments; false for a path that
// is malformed, holds a NUL or tries to climb out ("..", also encoded).
// Backslashes count as separators, as clients on other systems send them.
bool DecodeRequestPath(const std::string& Path, std::vector<std::string>& Segments, bool& TrailingSlash);
// DocDir joined with the decoded path (DefaultDoc for a folder), or empty
// when the path is refused or the file found is not below DocDir once
// symbolic links are followed, or is no regular file.
std::string MapDocument(const std::string& DocDir, const std::string& Path, const std::string& DefaultDoc);
// The same joining without looking at the disk (the mapping the caller sees).
std::string JoinDocument(const std::string& DocDir, const std::string& Path, const std::string& DefaultDoc);

// An open descriptor, closed with the last holder.
class THttpFileHandle {
 public:
  explicit THttpFileHandle(int Fd) : FFd(Fd) {}
  ~THttpFileHandle();
  THttpFileHandle(const THttpFileHandle&) = delete;
  THttpFileHandle& operator=(const THttpFileHandle&) = delete;
  int Fd() const { return FFd; }

 private:
  int FFd;
};

// A document ready to send: its open file and its length.
struct THttpOpenDocument {
  std::shared_ptr<THttpFileHandle> File;
  int64_t Size = 0;
  std::string Name;  // the folder joined with the path, as MapDocument gives it
};

// The document folder, opened once. Requests resolve beneath it without
// following any symbolic link, so nothing outside it can be reached; small
// files stay open and are checked against their modification time before
// each reuse.
class THttpDocRoot {
 public:
  explicit THttpDocRoot(std::string DocDir);
  ~THttpDocRoot();
  THttpDocRoot(const THttpDocRoot&) = delete;
  THttpDocRoot& operator=(const THttpDocRoot&) = delete;

  const std::string& DocDir() const { return FDocDir; }
  // False (and Doc empty) for a path that is refused, missing, or no
  // regular file, with the same refusals as MapDocument.
  bool Open(const std::string& Path, const std::string& DefaultDoc, THttpOpenDocument& Doc);

  static constexpr int64_t kCachedFileMax = 1 << 20;  // larger files are opened per request
  static constexpr size_t kCachedFiles = 64;           // descriptors the cache may hold

 private:
  struct TEntry {
    std::shared_ptr<THttpFileHandle> File;
    uint64_t Dev = 0, Ino = 0;
    int64_t Size = 0, MTimeSec = 0, MTimeNsec = 0;
  };
  bool OpenFresh(const std::string& Rel, THttpOpenDocument& Doc, TEntry& Entry);

  std::string FDocDir;
  int FRootFd = -1;
  bool FNoResolve = false;  // the kernel lacks the beneath-only open
  std::map<std::string, TEntry> FCache;
};

// "text/html" for "htm" and "html" ... "application/binary" for the rest.
std::string DocumentContentType(const std::string& FileName);
std::string HtmlEscape(const std::string& Text);
// The 404 page of a path, escaped.
std::string NotFoundBody(const std::string& Path);

}  // namespace kv

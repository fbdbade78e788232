#include "net/http_request.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kv {

namespace {

std::string Upper(std::string S) {
  for (char& c : S)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return S;
}

std::string Lower(std::string S) {
  for (char& c : S)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return S;
}

std::string Trim(const std::string& S) {
  size_t b = 0, e = S.size();
  while (b < e && static_cast<unsigned char>(S[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(S[e - 1]) <= ' ') --e;
  return S.substr(b, e - b);
}

bool StartsNoCase(const std::string& S, const char* Prefix) {
  size_t i = 0;
  for (; Prefix[i]; ++i) {
    if (i >= S.size()) return false;
    char a = S[i], b = Prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

std::string RealPath(const std::string& P) {
  char buf[PATH_MAX];
  if (!::realpath(P.c_str(), buf)) return {};
  return buf;
}

}  // namespace

std::string StripLineEnd(const std::string& Line) {
  size_t n = Line.size();
  if (n > 0 && Line[n - 1] == '\n') --n;
  if (n > 0 && Line[n - 1] == '\r') --n;
  return Line.substr(0, n);
}

THttpLineResult ParseRequestLine(const std::string& Line, THttpRequestHead& Head) {
  Head.Clear();
  std::vector<std::string> words;
  size_t i = 0;
  while (i < Line.size() && words.size() < 3) {
    while (i < Line.size() && Line[i] == ' ') ++i;
    if (i >= Line.size()) break;
    size_t j = i;
    // The third word is the rest of the line, trimmed.
    if (words.size() == 2) j = Line.size();
    else
      while (j < Line.size() && Line[j] != ' ') ++j;
    words.push_back(Line.substr(i, j - i));
    i = j;
  }
  if (words.empty()) return hlBadRequest;
  Head.Method = Upper(words[0]);
  const std::string target = words.size() > 1 ? words[1] : std::string();
  const size_t q = target.find('?');
  Head.Path = q == std::string::npos ? target : target.substr(0, q);
  Head.Params = q == std::string::npos ? std::string() : target.substr(q + 1);
  Head.Version = words.size() > 2 ? Upper(Trim(words[2])) : std::string();
  if (Head.Version.empty()) Head.Version = "HTTP/1.0";
  return hlMore;
}

THttpLineResult ParseHeaderLine(const std::string& Line, THttpRequestHead& Head) {
  if (Line.empty()) return hlComplete;
  Head.HeaderBytes += static_cast<int32_t>(Line.size());
  if (static_cast<int32_t>(Head.Headers.size()) >= kHttpMaxHeaderLines || Head.HeaderBytes > kHttpMaxHeaderBytes)
    return hlTooMany;
  Head.Headers.push_back(Line);
  const size_t colon = Line.find(':');
  if (colon == std::string::npos) return hlMore;
  size_t v = colon + 1;
  while (v < Line.size() && Line[v] == ' ') ++v;
  const std::string value = Line.substr(v);
  if (StartsNoCase(Line, "content-type:")) Head.ContentType = value;
  else if (StartsNoCase(Line, "content-length:")) {
    char* end = nullptr;
    const long n = std::strtol(value.c_str(), &end, 10);
    if (end && end != value.c_str() && *end == '\0' && n >= 0 && n <= INT32_MAX) Head.ContentLength = int32_t(n);
  } else if (StartsNoCase(Line, "Accept:")) Head.Accept = value;
  else if (StartsNoCase(Line, "Referer:")) Head.Referer = value;
  else if (StartsNoCase(Line, "Accept-Language:")) Head.AcceptLanguage = value;
  else if (StartsNoCase(Line, "Accept-Encoding:")) Head.AcceptEncoding = value;
  else if (StartsNoCase(Line, "User-Agent:")) Head.UserAgent = value;
  else if (StartsNoCase(Line, "Host:")) Head.Host = value;
  else if (StartsNoCase(Line, "Connection:")) Head.Connection = value;
  return hlMore;
}

bool DecodeRequestPath(const std::string& Path, std::vector<std::string>& Segments, bool& TrailingSlash) {
  Segments.clear();
  TrailingSlash = false;
  std::string decoded;
  decoded.reserve(Path.size());
  for (size_t i = 0; i < Path.size(); ++i) {
    char c = Path[i];
    if (c == '%') {
      if (i + 2 >= Path.size()) return false;
      const int hi = HexValue(Path[i + 1]), lo = HexValue(Path[i + 2]);
      if (hi < 0 || lo < 0) return false;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    }
    if (c == '\0') return false;
    decoded += c == '\\' ? '/' : c;
  }
  std::string seg;
  for (size_t i = 0; i <= decoded.size(); ++i) {
    if (i == decoded.size() || decoded[i] == '/') {
      if (seg == "..") return false;
      if (!seg.empty() && seg != ".") Segments.push_back(seg);
      seg.clear();
    } else {
      seg += decoded[i];
    }
  }
  TrailingSlash = decoded.empty() || decoded.back() == '/';
  return true;
}

std::string JoinDocument(const std::string& DocDir, const std::string& Path, const std::string& DefaultDoc) {
  std::string doc = DocDir;
  if (!Path.empty() && Path[0] == '/') doc += Path;
  else doc += "/" + Path;
  if (!doc.empty() && doc.back() == '/') doc += DefaultDoc;
  return doc;
}

std::string MapDocument(const std::string& DocDir, const std::string& Path, const std::string& DefaultDoc) {
  std::vector<std::string> segs;
  bool folder = false;
  if (!DecodeRequestPath(Path, segs, folder)) return {};
  std::string doc = DocDir;
  while (doc.size() > 1 && doc.back() == '/') doc.pop_back();
  for (const std::string& s : segs) doc += "/" + s;
  if (folder) {
    if (DefaultDoc.empty() || DefaultDoc.find('/') != std::string::npos) return {};
    doc += "/" + DefaultDoc;
  }
  // Followed to the end, the file must still lie below the document folder.
  const std::string root = RealPath(DocDir);
  const std::string real = RealPath(doc);
  if (root.empty() || real.empty()) return {};
  const std::string prefix = root == "/" ? root : root + "/";
  if (real.compare(0, prefix.size(), prefix) != 0) return {};
  struct stat st{};
  if (::stat(real.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return doc;
}

THttpFileHandle::~THttpFileHandle() {
  if (FFd >= 0) ::close(FFd);
}

THttpDocRoot::THttpDocRoot(std::string DocDir) : FDocDir(std::move(DocDir)) {
  // The folder itself may be reached through links, as it always could.
  FRootFd = ::open(FDocDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

THttpDocRoot::~THttpDocRoot() {
  FCache.clear();
  if (FRootFd >= 0) ::close(FRootFd);
}

bool THttpDocRoot::OpenFresh(const std::string& Rel, THttpOpenDocument& Doc, TEntry& Entry) {
  // Non-blocking, so that a named pipe placed in the folder cannot stall the
  // server before it is refused as no regular file.
  const uint64_t flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = -1;
  if (!FNoResolve) {
    open_how how{};
    how.flags = flags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    long r;
    do {
      r = ::syscall(SYS_openat2, FRootFd, Rel.c_str(), &how, sizeof how);
      // Out of descriptors: the cache gives its own back before the request fails.
      if (r < 0 && (errno == EMFILE || errno == ENFILE) && !FCache.empty()) {
        FCache.clear();
        errno = EINTR;
      }
    } while (r < 0 && errno == EINTR);
    if (r < 0 && errno == ENOSYS) FNoResolve = true;
    else if (r < 0) return false;
    else fd = static_cast<int>(r);
  }
  if (FNoResolve) {
    // Old kernels: the path check of before, then an open by name.
    if (MapDocument(FDocDir, "/" + Rel, std::string()).empty()) return false;
    fd = ::openat(FRootFd, Rel.c_str(), static_cast<int>(flags));
    if (fd < 0 && (errno == EMFILE || errno == ENFILE) && !FCache.empty()) {
      FCache.clear();
      fd = ::openat(FRootFd, Rel.c_str(), static_cast<int>(flags));
    }
    if (fd < 0) return false;
  }
  auto file = std::make_shared<THttpFileHandle>(fd);
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  Doc.File = file;
  Doc.Size = st.st_size;
  Entry.File = std::move(file);
  Entry.Dev = st.st_dev;
  Entry.Ino = st.st_ino;
  Entry.Size = st.st_size;
  Entry.MTimeSec = st.st_mtim.tv_sec;
  Entry.MTimeNsec = st.st_mtim.tv_nsec;
  return true;
}

bool THttpDocRoot::Open(const std::string& Path, const std::string& DefaultDoc, THttpOpenDocument& Doc) {
  Doc = THttpOpenDocument{};
  if (FRootFd < 0) return false;
  std::vector<std::string> segs;
  bool folder = false;
  if (!DecodeRequestPath(Path, segs, folder)) return false;
  std::string rel;
  for (const std::string& seg : segs) rel += (rel.empty() ? "" : "/") + seg;
  if (folder) {
    if (DefaultDoc.empty() || DefaultDoc.find('/') != std::string::npos) return false;
    rel += (rel.empty() ? "" : "/") + DefaultDoc;
  }
  if (rel.empty()) return false;
  std::string name = FDocDir;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  name += "/" + rel;
  auto it = FCache.find(rel);
  if (it != FCache.end()) {
    // The same file, unchanged, is the one that was opened safely before;
    // anything else (a link put in its place too) is opened afresh.
    struct stat st{};
    const TEntry& e = it->second;
    if (::fstatat(FRootFd, rel.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_dev == e.Dev && st.st_ino == e.Ino && st.st_size == e.Size && st.st_mtim.tv_sec == e.MTimeSec &&
        st.st_mtim.tv_nsec == e.MTimeNsec) {
      Doc.File = e.File;
      Doc.Size = e.Size;
      Doc.Name = std::move(name);
      return true;
    }
    FCache.erase(it);
  }
  TEntry entry;
  if (!OpenFresh(rel, Doc, entry)) return false;
  Doc.Name = std::move(name);
  if (entry.Size <= kCachedFileMax) {
    if (FCache.size() >= kCachedFiles) FCache.erase(FCache.begin());
    FCache.emplace(rel, std::move(entry));
  }
  return true;
}

std::string DocumentContentType(const std::string& FileName) {
  const size_t slash = FileName.find_last_of('/');
  const size_t dot = FileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "application/binary";
  const std::string ext = Lower(FileName.substr(dot + 1));
  if (ext == "htm" || ext == "html") return "text/html";
  if (ext == "gif") return "image/gif";
  if (ext == "bmp") return "image/bmp";
  if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
  if (ext == "txt") return "text/plain";
  return "application/binary";
}

std::string HtmlEscape(const std::string& Text) {
  std::string out;
  out.reserve(Text.size());
  for (char c : Text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string NotFoundBody(const std::string& Path) {
  return "<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD><BODY><H1>404 Not Found</H1>The requested URL " +
         HtmlEscape(Path) + " was not found on this server.<P></BODY></HTML>\r\n";
}

}  // namespace kv

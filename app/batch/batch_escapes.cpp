#include "app/batch/batch_escapes.h"

namespace kv {

std::string EscapeBatchLine(std::string_view Line) {
  std::string r;
  r.reserve(Line.size() + 8);
  for (char c : Line) {
    switch (c) {
      case '/': r += "//"; break;
      case '\r': r += "/n"; break;
      case '\n': r += "/r"; break;
      default: r += c;
    }
  }
  return r;
}

std::string UnescapeBatchLine(std::string_view Line) {
  std::string r;
  r.reserve(Line.size());
  for (size_t i = 0; i < Line.size(); ++i) {
    const char c = Line[i];
    if (c != '/' || i + 1 >= Line.size()) {
      r += c;
      continue;
    }
    const char next = Line[++i];
    switch (next) {
      case '/': r += '/'; break;
      case 'n': r += '\r'; break;
      case 'r': r += '\n'; break;
      default:
        // Not one of ours: a path such as "/home/x.jpg" keeps both characters.
        r += '/';
        r += next;
    }
  }
  return r;
}

}  // namespace kv

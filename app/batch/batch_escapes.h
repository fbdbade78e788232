// Batch files hold one command line per text line; line breaks inside a
// command are written as escapes so that they cannot split it.
#pragma once
#include <string>
#include <string_view>

namespace kv {

// "/" becomes "//", a carriage return "/n", a line feed "/r".
std::string EscapeBatchLine(std::string_view Line);
// The reverse: "//" gives "/", "/n" a carriage return, "/r" a line feed.
// Any other "/x" pair, and a "/" at the very end, are kept as they stand, so
// the paths of hand-written batch files survive.
std::string UnescapeBatchLine(std::string_view Line);

}  // namespace kv

// The plug-in property list: name, category and entry point of a filter plug-in.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv {

struct TPiPLInfo {
  std::string Name;
  std::string Category;
  std::string EntryPoint;  // export name of the code property, "" when absent
};

// Reads one property list of Size bytes into Info; a later list overrides what an
// earlier one gave. Reads nothing beyond Size whatever the counts and lengths claim.
void ReadPiPL(const uint8_t* Data, std::size_t Size, TPiPLInfo& Info);

}  // namespace kv

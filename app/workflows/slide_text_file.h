// Whole text files written by the exports.
#pragma once
#include <string>

namespace kv {

// Writes Text as the whole file, through a temporary file renamed over it;
// raises EInOutError naming the file when it cannot be written.
void WriteTextFile(const std::string& FileName, const std::string& Text);

}  // namespace kv

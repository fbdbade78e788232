// Catalog files come from disk, where anything may have been written: every
// file reads without harm, its entries name files (never a blank or a bare
// folder), and written back they read as the same entries.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/catalog/catalog_sort.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"

namespace {

// One scratch folder per run, removed at exit.
struct TScratch {
  std::string Dir;
  TScratch() {
    Dir = (std::filesystem::temp_directory_path() / ("catalog-fuzz-" + std::to_string(getpid()))).string() + "/";
    std::filesystem::create_directories(Dir);
  }
  ~TScratch() {
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
  }
};

void WriteFile(const std::string& Name, const uint8_t* Data, size_t Size) {
  FILE* f = std::fopen(Name.c_str(), "wb");
  if (!f) std::abort();
  if (Size && std::fwrite(Data, 1, Size, f) != Size) std::abort();
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 65536) return 0;
  static TScratch scratch;
  const std::string file = scratch.Dir + "in.pcf";
  WriteFile(file, Data, Size);
  const std::vector<std::string> entries = kv::ReadCatalogFile(file);
  kv::TStringList list;
  for (const std::string& e : entries) {
    if (kv::Trim(e).empty() || kv::ExtractFilePath(e).empty()) std::abort();
    list.Add(e);
  }
  const std::string copy = scratch.Dir + "out.pcf";
  kv::WriteCatalogFile(copy, list);
  if (kv::ReadCatalogFile(copy) != entries) std::abort();
  return 0;
}

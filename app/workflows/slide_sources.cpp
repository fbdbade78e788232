#include "app/workflows/slide_sources.h"

#include "app/catalog/catalog_sort.h"
#include "app/params/param_strings.h"
#include "app/tools/tool_files.h"
#include "platform/system/paths.h"

namespace kv {

std::vector<std::string> ListSlideShowPictures(const std::string& Params) {
  switch (ReadParamInt(Params, "SourceMode", -1)) {
    case 1: return ListFolderImageSource(Params);
    case 0: {
      std::string catalog = ReadParamString(Params, "catalog", "");
      if (catalog.empty()) return {};
      if (catalog[0] != '/') catalog = ProgramFolder() + catalog;
      return ReadCatalogFile(catalog);
    }
    default: return {};
  }
}

// No sound layer yet: every show runs in sound mode 0.
bool SlideSoundAvailable() { return false; }
bool SlideSoundPlayMusic(const std::string&) { return false; }
void SlideSoundKeepMusicPlaying() {}
bool SlideSoundPlayComment(const std::string&) { return false; }
void SlideSoundStop() {}

}  // namespace kv

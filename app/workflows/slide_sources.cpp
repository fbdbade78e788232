#include "app/workflows/slide_sources.h"

#include "app/catalog/catalog_sort.h"
#include "app/params/param_strings.h"
#include "app/tools/tool_files.h"
#include "platform/system/paths.h"
#include "platform/system/sound.h"

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

TSlideSound::TSlideSound() : FPlayer(std::make_unique<TSoundPlayer>()) {}

TSlideSound::~TSlideSound() = default;

bool TSlideSound::PlayMusic(const std::string& FileName) {
  FMusic = FileName;
  return !FileName.empty() && FPlayer->Play(FileName).Ok();
}

void TSlideSound::KeepMusicPlaying() {
  if (!FMusic.empty() && !FPlayer->Playing()) FPlayer->Play(FMusic);
}

bool TSlideSound::PlayComment(const std::string& FileName) {
  FPlayer->Stop();
  return FPlayer->Play(FileName).Ok();
}

void TSlideSound::Stop() { FPlayer->Stop(); }

}  // namespace kv

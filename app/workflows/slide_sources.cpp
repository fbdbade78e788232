#include "app/workflows/slide_sources.h"

#include "platform/system/sound.h"

namespace kv {

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

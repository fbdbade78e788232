// What a slide show needs from outside itself besides its pictures (those
// come from ListImageSource): the sound of its music and spoken comments.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace kv {

// The sound of a show: background music that repeats, or a picture's spoken
// comment, on one player as the show has one. Any file the sound layer reads
// plays; a failing file or a missing device answers false, and the show then
// goes on silent.
class TSoundPlayer;
class TSlideSound {
 public:
  TSlideSound();
  ~TSlideSound();
  bool PlayMusic(const std::string& FileName);
  // Starts the music again when it has ended, so that it repeats.
  void KeepMusicPlaying();
  // A picture's spoken comment, in place of whatever played.
  bool PlayComment(const std::string& FileName);
  void Stop();

 private:
  std::unique_ptr<TSoundPlayer> FPlayer;
  std::string FMusic;
};

}  // namespace kv

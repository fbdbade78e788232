// What a slide show needs from outside itself: the pictures of its image
// source, and the sound of its music and spoken comments.
#pragma once
#include <string>
#include <vector>

namespace kv {

// The pictures of the image-source parameters of a slide-show command: a
// folder ("SourceMode" 1) or a catalog file ("SourceMode" 0); relative names
// are taken from the program folder. Any other source lists nothing.
std::vector<std::string> ListSlideShowPictures(const std::string& Params);

// Whether the show can play sound at all (an output device is there).
bool SlideSoundAvailable();
// Background music: starts it, false when it cannot play.
bool SlideSoundPlayMusic(const std::string& FileName);
// Starts the music again when it has ended, so that it repeats.
void SlideSoundKeepMusicPlaying();
// A picture's spoken comment, in place of whatever played; false when it cannot play.
bool SlideSoundPlayComment(const std::string& FileName);
void SlideSoundStop();

}  // namespace kv

// MIDI files turned into samples by FluidSynth with a General MIDI sound
// font. The sound player (sound.h) plays what this renders through the same
// ALSA output as any other sound file; without a sound font MIDI files do not
// play at all.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv {

// Where a General MIDI sound font is looked for, in this order. By default
// the places Debian's sound-font packages use.
std::vector<std::string> MidiSoundFontPlaces();
void SetMidiSoundFontPlaces(std::vector<std::string> Places);
// The first existing sound font of those places, an empty text without one.
std::string GeneralMidiSoundFont();

// True when the file starts as a standard MIDI file ("MThd").
bool IsMidiFile(const std::string& FileName);

// Renders one MIDI file into 16-bit stereo samples, piece by piece.
class TMidiRenderer {
 public:
  TMidiRenderer();
  ~TMidiRenderer();
  TMidiRenderer(const TMidiRenderer&) = delete;
  TMidiRenderer& operator=(const TMidiRenderer&) = delete;

  static constexpr int32_t kChannels = 2;

  // Reads the file and the sound font. False with Error set when the file is
  // no MIDI file, cannot be read, or the font is missing or unusable.
  bool Open(const std::string& FileName, const std::string& SoundFont, int32_t SampleRate, std::string& Error);
  // Writes up to Frames interleaved stereo frames; fewer (0 at last) once the
  // music has ended.
  int64_t Read(int16_t* Samples, int64_t Frames);

 private:
  struct TState;
  std::unique_ptr<TState> FState;
};

// Renders a whole MIDI file with the sound font into interleaved stereo
// samples, at most MaxSeconds long. False with Error as for Open.
bool RenderMidiFile(const std::string& FileName, const std::string& SoundFont, int32_t SampleRate,
                    double MaxSeconds, std::vector<int16_t>& Samples, std::string& Error);

}  // namespace kv

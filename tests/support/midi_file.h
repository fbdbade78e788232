// A small standard MIDI file for the tests: a piano playing a few quarter
// notes at the default tempo (120 beats a minute, so half a second each);
// and the sound-font places set for the time of a test.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/system/midi_player.h"

namespace kv::test {

inline std::vector<uint8_t> MidiNotes(const std::vector<uint8_t>& Keys) {
  std::vector<uint8_t> track = {0x00, 0xC0, 0x00};  // program 0 on channel 1
  for (uint8_t key : Keys) {
    const std::vector<uint8_t> note = {0x00, 0x90, key, 0x64, 0x60, 0x80, key, 0x40};  // on, 96 ticks, off
    track.insert(track.end(), note.begin(), note.end());
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});  // end of track
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
  const uint32_t n = uint32_t(track.size());
  file.insert(file.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

// The places searched for a sound font while a test runs, put back afterwards.
class TFontPlaces {
 public:
  explicit TFontPlaces(std::vector<std::string> Places) : FOld(MidiSoundFontPlaces()) {
    SetMidiSoundFontPlaces(std::move(Places));
  }
  ~TFontPlaces() { SetMidiSoundFontPlaces(FOld); }
  TFontPlaces(const TFontPlaces&) = delete;
  TFontPlaces& operator=(const TFontPlaces&) = delete;

 private:
  std::vector<std::string> FOld;
};

}  // namespace kv::test

// MIDI files come from the user's disk as a slide show's music. Any bytes are
// refused or rendered without a fault, and the rendering ends within its cap.
// Rendered with the installed General MIDI sound font; without one only the
// reading of the file is exercised.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/system/midi_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const std::string file = [] {
    char name[] = "/tmp/kvmidifuzzXXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    std::atexit([] { std::remove(file.c_str()); });
    return std::string(name);
  }();
  static const std::string font = kv::GeneralMidiSoundFont();
  FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(Data, 1, Size, f);
  std::fclose(f);
  std::vector<int16_t> samples;
  std::string error;
  constexpr int32_t rate = 8000;
  if (kv::RenderMidiFile(file, font, rate, 2, samples, error)) {
    if (samples.size() > size_t(2 * rate) * 2) std::abort();
  } else if (!samples.empty() || error.empty()) {
    std::abort();
  }
  return 0;
}

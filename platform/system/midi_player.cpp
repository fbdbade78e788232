// FluidSynth driven by hand: no audio driver of its own, its player timed by
// the samples we ask for, so the music goes wherever the caller sends them.
#include "platform/system/midi_player.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <mutex>
#include <sys/stat.h>

#include "platform/system/file_lock.h"

namespace kv {

namespace {

std::mutex& PlacesLock() {
  static std::mutex m;
  return m;
}
std::vector<std::string>& PlacesValue() {
  static std::vector<std::string> places = {
      "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/soundfonts/default.sf2",
      "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"};
  return places;
}

bool IsRegularFile(const std::string& Path) {
  struct stat st{};
  return !Path.empty() && ::stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// FluidSynth prints its complaints to stderr; the caller's status says what failed.
void QuietFluid() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
  });
}

// A music file is small; anything larger is not one worth reading into memory.
constexpr long kMaxMidiBytes = 16L << 20;

uint32_t BigEndian32(const std::vector<char>& B, size_t At) {
  return uint32_t(uint8_t(B[At])) << 24 | uint32_t(uint8_t(B[At + 1])) << 16 | uint32_t(uint8_t(B[At + 2])) << 8 |
         uint32_t(uint8_t(B[At + 3]));
}

// The chunk structure of a standard MIDI file: the header chunk "MThd" of at
// least 6 bytes with a track count and a time division, then at least one
// whole track chunk "MTrk". Bytes after the last whole chunk are let be, as
// many writers leave some. What the tracks say is the synthesizer's to judge.
bool WholeMidiChunks(const std::vector<char>& B) {
  if (B.size() < 14 || std::string(B.data(), 4) != "MThd") return false;
  const uint32_t headLen = BigEndian32(B, 4);
  if (headLen < 6 || headLen > B.size() - 8) return false;
  const unsigned format = unsigned(uint8_t(B[8])) << 8 | uint8_t(B[9]);
  const unsigned tracks = unsigned(uint8_t(B[10])) << 8 | uint8_t(B[11]);
  const unsigned division = unsigned(uint8_t(B[12])) << 8 | uint8_t(B[13]);
  if (format > 2 || tracks == 0 || division == 0) return false;
  size_t at = 8 + size_t(headLen);
  while (at + 8 <= B.size()) {
    const uint32_t len = BigEndian32(B, at + 4);
    if (len > B.size() - at - 8) break;
    if (std::string(B.data() + at, 4) == "MTrk") return true;
    at += 8 + size_t(len);
  }
  return false;
}

bool ReadMidiBytes(const std::string& FileName, std::vector<char>& Bytes, std::string& Error) {
  std::string text;
  bool read = false;
  try {
    read = ReadFileToString(FileName, text, kMaxMidiBytes);
  } catch (const std::exception&) {
    read = false;
  }
  if (!read) {
    Error = "Kann " + FileName + " nicht lesen";
    return false;
  }
  Bytes.assign(text.begin(), text.end());
  if (!WholeMidiChunks(Bytes)) {
    Error = FileName + " ist keine lesbare MIDI-Datei";
    return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> MidiSoundFontPlaces() {
  std::lock_guard<std::mutex> g(PlacesLock());
  return PlacesValue();
}

void SetMidiSoundFontPlaces(std::vector<std::string> Places) {
  std::lock_guard<std::mutex> g(PlacesLock());
  PlacesValue() = std::move(Places);
}

std::string GeneralMidiSoundFont() {
  for (const std::string& p : MidiSoundFontPlaces())
    if (IsRegularFile(p)) return p;
  return {};
}

bool IsMidiFile(const std::string& FileName) {
  FILE* f = std::fopen(FileName.c_str(), "rb");
  if (!f) return false;
  char head[4] = {};
  const bool ok = std::fread(head, 1, 4, f) == 4 && head[0] == 'M' && head[1] == 'T' && head[2] == 'h' && head[3] == 'd';
  std::fclose(f);
  return ok;
}

struct TMidiRenderer::TState {
  fluid_settings_t* Settings = nullptr;
  fluid_synth_t* Synth = nullptr;
  fluid_player_t* Player = nullptr;
  std::vector<char> Bytes;  // the player reads the file from here
  int32_t Rate = 44100;
  int64_t TailFrames = 0;  // rendered after the last event: notes fade out
  bool Ended = false;

  ~TState() {
    if (Player) {
      fluid_player_stop(Player);
      delete_fluid_player(Player);
    }
    if (Synth) delete_fluid_synth(Synth);
    if (Settings) delete_fluid_settings(Settings);
  }
};

TMidiRenderer::TMidiRenderer() = default;
TMidiRenderer::~TMidiRenderer() = default;

bool TMidiRenderer::Open(const std::string& FileName, const std::string& SoundFont, int32_t SampleRate,
                         std::string& Error) {
  FState.reset();
  QuietFluid();
  auto s = std::make_unique<TState>();
  if (!ReadMidiBytes(FileName, s->Bytes, Error)) return false;
  if (!IsRegularFile(SoundFont)) {
    Error = "Keine Klangbank für MIDI-Dateien gefunden";
    return false;
  }
  s->Rate = std::clamp(SampleRate, 8000, 96000);
  s->Settings = new_fluid_settings();
  if (!s->Settings) {
    Error = "Der MIDI-Synthesizer startet nicht";
    return false;
  }
  fluid_settings_setnum(s->Settings, "synth.sample-rate", double(s->Rate));
  fluid_settings_setint(s->Settings, "synth.cpu-cores", 1);
  // The player follows the rendered samples, not the clock.
  fluid_settings_setstr(s->Settings, "player.timing-source", "sample");
  s->Synth = new_fluid_synth(s->Settings);
  if (!s->Synth) {
    Error = "Der MIDI-Synthesizer startet nicht";
    return false;
  }
  if (fluid_synth_sfload(s->Synth, SoundFont.c_str(), 1) == FLUID_FAILED) {
    Error = "Die Klangbank " + SoundFont + " ist nicht lesbar";
    return false;
  }
  s->Player = new_fluid_player(s->Synth);
  if (!s->Player || fluid_player_add_mem(s->Player, s->Bytes.data(), s->Bytes.size()) != FLUID_OK ||
      fluid_player_play(s->Player) != FLUID_OK) {
    Error = "Kann " + FileName + " nicht abspielen";
    return false;
  }
  FState = std::move(s);
  return true;
}

int64_t TMidiRenderer::Read(int16_t* Samples, int64_t Frames) {
  if (!FState || FState->Ended || Frames <= 0) return 0;
  TState& s = *FState;
  // After the last event the voices still sounding are let ring, but a note
  // the file never ends must not hold the music open for ever.
  const int64_t maxTail = int64_t(s.Rate) * 2;
  const bool playing = fluid_player_get_status(s.Player) == FLUID_PLAYER_PLAYING;
  if (!playing) {
    if (fluid_synth_get_active_voice_count(s.Synth) == 0 || s.TailFrames >= maxTail) {
      s.Ended = true;
      return 0;
    }
    Frames = std::min(Frames, maxTail - s.TailFrames);
    s.TailFrames += Frames;
  }
  const int n = int(std::min<int64_t>(Frames, 1 << 16));
  if (fluid_synth_write_s16(s.Synth, n, Samples, 0, 2, Samples, 1, 2) != FLUID_OK) {
    s.Ended = true;
    return 0;
  }
  return n;
}

bool RenderMidiFile(const std::string& FileName, const std::string& SoundFont, int32_t SampleRate,
                    double MaxSeconds, std::vector<int16_t>& Samples, std::string& Error) {
  Samples.clear();
  TMidiRenderer r;
  if (!r.Open(FileName, SoundFont, SampleRate, Error)) return false;
  const int64_t limit = int64_t(std::max(0.0, MaxSeconds) * std::clamp(SampleRate, 8000, 96000));
  std::vector<int16_t> buf(size_t(4096) * TMidiRenderer::kChannels);
  int64_t frames = 0;
  while (frames < limit) {
    const int64_t n = r.Read(buf.data(), std::min<int64_t>(4096, limit - frames));
    if (n <= 0) break;
    Samples.insert(Samples.end(), buf.begin(), buf.begin() + n * TMidiRenderer::kChannels);
    frames += n;
  }
  return true;
}

}  // namespace kv

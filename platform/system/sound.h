// Recording and playing sound through ALSA, reading and writing sound files
// through libsndfile. A recorder captures from the sound device into memory
// and saves a wave file; a player plays any file libsndfile reads, and MIDI
// files when a General MIDI sound font is installed (midi_player.h). Both run
// their device work on a thread of their own and report the end to the GUI
// thread, so a window's message loop never waits on the device.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

enum TSoundResult : uint8_t {
  srOk,
  srNoDevice,     // the device name does not open: no sound device here
  srDeviceError,  // the device opened but refused the format or failed while running
  srFileError,    // the sound file could not be read or written
  srBusy          // already recording or playing
};

struct TSoundStatus {
  TSoundResult Result = srOk;
  std::string Message;  // what failed and where; empty on success
  bool Ok() const { return Result == srOk; }
};

// The ALSA device name used by recorders and players made without one;
// "default" until set. Desktops with PulseAudio or PipeWire are reached through it.
std::string SoundDeviceName();
void SetSoundDeviceName(const std::string& Name);
constexpr const char* kDefaultSoundDevice = "default";

// The format a recording is made in: 16-bit signed samples, interleaved.
struct TSoundFormat {
  int32_t SampleRate = 22050;
  int32_t Channels = 1;
};

// The length in seconds and the format of a sound file; false when libsndfile
// cannot read it.
bool SoundFileInfo(const std::string& FileName, double& Seconds, TSoundFormat& Format);

// Writes 16-bit samples as a wave file (PCM).
TSoundStatus WriteWaveFile(const std::string& FileName, const std::vector<int16_t>& Samples,
                           const TSoundFormat& Format);

class TSoundRecorder {
 public:
  explicit TSoundRecorder(std::string Device = SoundDeviceName(), TSoundFormat Format = {});
  ~TSoundRecorder();  // stops a running recording; nothing is saved
  TSoundRecorder(const TSoundRecorder&) = delete;
  TSoundRecorder& operator=(const TSoundRecorder&) = delete;

  // Opens the device and starts recording into memory (previous samples are
  // dropped); runs until Stop. srNoDevice when the device does not open.
  TSoundStatus Start();
  // Ends the recording; the result is that of the device while it ran.
  TSoundStatus Stop();
  bool Recording() const;
  // Seconds recorded so far (samples, not the clock).
  double Seconds() const;
  // The recorded samples, interleaved; call after Stop.
  std::vector<int16_t> Samples() const;
  const TSoundFormat& Format() const { return FFormat; }
  // Writes what was recorded as a wave file; call after Stop.
  TSoundStatus SaveToFile(const std::string& FileName) const;

 private:
  struct TState;
  std::string FDevice;
  TSoundFormat FFormat;
  std::shared_ptr<TState> FState;
};

class TSoundPlayer {
 public:
  explicit TSoundPlayer(std::string Device = SoundDeviceName());
  ~TSoundPlayer();  // stops playing; OnFinished is not called any more
  TSoundPlayer(const TSoundPlayer&) = delete;
  TSoundPlayer& operator=(const TSoundPlayer&) = delete;

  // Reads the file and the device's readiness, then plays it from the start.
  // srFileError when the file does not read (a MIDI file also without a
  // sound font), srNoDevice without a device.
  TSoundStatus Play(const std::string& FileName);
  // Stops at once; OnFinished is not called for a stopped sound.
  void Stop();
  bool Playing() const;
  // The result of the last playing once it has ended (a device failure while
  // playing shows here).
  TSoundStatus LastStatus() const;
  // Called on the GUI thread when the sound has played to its end (or the
  // device failed while playing); not called after Stop or destruction.
  std::function<void()> OnFinished;

 private:
  struct TState;
  std::string FDevice;
  std::shared_ptr<TState> FState;
};

}  // namespace kv

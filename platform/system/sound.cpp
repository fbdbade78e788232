// Sound over ALSA and libsndfile. Each recording or playing runs on a thread
// of its own holding a shared state; the object that started it only flags
// it to stop and joins, so a device that blocks never blocks the GUI.
#include "platform/system/sound.h"

#include "platform/system/midi_player.h"

#include <alsa/asoundlib.h>
#include <sndfile.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace kv {

namespace {

std::mutex& DeviceNameLock() {
  static std::mutex m;
  return m;
}
std::string& DeviceNameValue() {
  static std::string name = kDefaultSoundDevice;
  return name;
}

// ALSA prints its own complaints to stderr; ours go into the status instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void InstallQuietHandler() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(QuietAlsa); });
}

TSoundStatus Failure(TSoundResult Result, const std::string& Text) { return {Result, Text}; }

std::string AlsaText(const std::string& What, const std::string& Device, int Err) {
  return What + " \"" + Device + "\": " + snd_strerror(Err);
}

// Opens Device for Stream in 16-bit interleaved samples of Format, with a
// latency short enough that Stop answers quickly.
TSoundStatus OpenDevice(const std::string& Device, snd_pcm_stream_t Stream, const TSoundFormat& Format,
                        snd_pcm_t*& Pcm) {
  InstallQuietHandler();
  Pcm = nullptr;
  int err = snd_pcm_open(&Pcm, Device.c_str(), Stream, 0);
  if (err < 0) {
    Pcm = nullptr;
    return Failure(srNoDevice, AlsaText("Kein Tongerät", Device, err));
  }
  err = snd_pcm_set_params(Pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                           unsigned(Format.Channels), unsigned(Format.SampleRate), 1, 200000);
  if (err < 0) {
    snd_pcm_close(Pcm);
    Pcm = nullptr;
    return Failure(srDeviceError, AlsaText("Das Tongerät nimmt das Format nicht an", Device, err));
  }
  return {};
}

bool ValidFormat(const TSoundFormat& F) {
  return F.SampleRate >= 1000 && F.SampleRate <= 384000 && F.Channels >= 1 && F.Channels <= 8;
}

// Hands Fn to the GUI thread; without an application object there is no GUI
// thread to hand it to, and callers poll instead.
void PostToGui(std::function<void()> Fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(app, std::move(Fn), Qt::QueuedConnection);
}

}  // namespace

std::string SoundDeviceName() {
  std::lock_guard<std::mutex> g(DeviceNameLock());
  return DeviceNameValue();
}

void SetSoundDeviceName(const std::string& Name) {
  std::lock_guard<std::mutex> g(DeviceNameLock());
  DeviceNameValue() = Name.empty() ? kDefaultSoundDevice : Name;
}

bool SoundFileInfo(const std::string& FileName, double& Seconds, TSoundFormat& Format) {
  SF_INFO info{};
  SNDFILE* f = sf_open(FileName.c_str(), SFM_READ, &info);
  if (!f) return false;
  sf_close(f);
  if (info.samplerate <= 0 || info.channels <= 0) return false;
  Format.SampleRate = info.samplerate;
  Format.Channels = info.channels;
  Seconds = double(info.frames) / info.samplerate;
  return true;
}

TSoundStatus WriteWaveFile(const std::string& FileName, const std::vector<int16_t>& Samples,
                           const TSoundFormat& Format) {
  if (!ValidFormat(Format)) return Failure(srFileError, "Ungültiges Tonformat für " + FileName);
  SF_INFO info{};
  info.samplerate = Format.SampleRate;
  info.channels = Format.Channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(FileName.c_str(), SFM_WRITE, &info);
  if (!f) return Failure(srFileError, "Kann " + FileName + " nicht schreiben: " + sf_strerror(nullptr));
  const sf_count_t frames = sf_count_t(Samples.size() / size_t(Format.Channels));
  const sf_count_t written = frames ? sf_writef_short(f, Samples.data(), frames) : 0;
  const int closeErr = sf_close(f);
  if (written != frames || closeErr != 0)
    return Failure(srFileError, "Kann " + FileName + " nicht vollständig schreiben");
  return {};
}

// ---- recorder ----

struct TSoundRecorder::TState {
  std::atomic<bool> StopFlag{false};
  std::atomic<bool> Running{false};
  mutable std::mutex Lock;
  std::vector<int16_t> Samples;  // under Lock
  TSoundStatus Status;           // under Lock
  std::thread Worker;
};

TSoundRecorder::TSoundRecorder(std::string Device, TSoundFormat Format)
    : FDevice(std::move(Device)), FFormat(Format), FState(std::make_shared<TState>()) {}

TSoundRecorder::~TSoundRecorder() { Stop(); }

TSoundStatus TSoundRecorder::Start() {
  if (FState->Running || FState->Worker.joinable()) return Failure(srBusy, "Die Aufnahme läuft bereits");
  if (!ValidFormat(FFormat)) return Failure(srDeviceError, "Ungültiges Tonformat");
  snd_pcm_t* pcm = nullptr;
  TSoundStatus st = OpenDevice(FDevice, SND_PCM_STREAM_CAPTURE, FFormat, pcm);
  if (!st.Ok()) return st;
  {
    std::lock_guard<std::mutex> g(FState->Lock);
    FState->Samples.clear();
    FState->Status = {};
  }
  FState->StopFlag = false;
  FState->Running = true;
  std::shared_ptr<TState> state = FState;
  const TSoundFormat format = FFormat;
  const std::string device = FDevice;
  using Clock = std::chrono::steady_clock;
  // The clock starts here, not when the thread gets going: the recording
  // lasts from Start to Stop.
  const auto start = Clock::now();
  FState->Worker = std::thread([state, pcm, format, device, start] {
    const int32_t chunk = std::max(1, format.SampleRate / 50);  // 20 ms
    std::vector<int16_t> buf(size_t(chunk) * size_t(format.Channels));
    int64_t frames = 0;
    // Reads up to Count frames into the recording; false on a device failure.
    auto readSome = [&](int64_t Count) {
      snd_pcm_sframes_t n = snd_pcm_readi(pcm, buf.data(), snd_pcm_uframes_t(std::min<int64_t>(chunk, Count)));
      if ((n == -EPIPE || n == -ESTRPIPE || n == -EINTR) && snd_pcm_recover(pcm, int(n), 1) == 0) return true;
      if (n < 0) {
        std::lock_guard<std::mutex> g(state->Lock);
        state->Status = Failure(srDeviceError, AlsaText("Die Aufnahme ist fehlgeschlagen", device, int(n)));
        return false;
      }
      frames += n;
      std::lock_guard<std::mutex> g(state->Lock);
      state->Samples.insert(state->Samples.end(), buf.begin(), buf.begin() + n * format.Channels);
      return true;
    };
    auto due = [&] {
      return int64_t(std::chrono::duration<double>(Clock::now() - start).count() * format.SampleRate);
    };
    bool ok = true;
    while (ok && !state->StopFlag) {
      // A file-fed or null device hands out samples faster than real time;
      // read no further than the clock, so a recording is as long as it took.
      const int64_t wanted = due() - frames;
      if (wanted <= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        continue;
      }
      ok = readSome(wanted);
    }
    // What the device captured up to the stop is kept: a thread that fell
    // behind (a busy machine) catches up, but by at most a second.
    if (ok) {
      const int64_t last = std::min(due(), frames + format.SampleRate);
      while (ok && frames < last) ok = readSome(last - frames);
    }
    snd_pcm_drop(pcm);
    snd_pcm_close(pcm);
    state->Running = false;
  });
  return {};
}

TSoundStatus TSoundRecorder::Stop() {
  FState->StopFlag = true;
  if (FState->Worker.joinable()) FState->Worker.join();
  std::lock_guard<std::mutex> g(FState->Lock);
  return FState->Status;
}

bool TSoundRecorder::Recording() const { return FState->Running; }

double TSoundRecorder::Seconds() const {
  std::lock_guard<std::mutex> g(FState->Lock);
  return double(FState->Samples.size() / size_t(std::max(1, FFormat.Channels))) / std::max(1, FFormat.SampleRate);
}

std::vector<int16_t> TSoundRecorder::Samples() const {
  std::lock_guard<std::mutex> g(FState->Lock);
  return FState->Samples;
}

TSoundStatus TSoundRecorder::SaveToFile(const std::string& FileName) const {
  if (FState->Running) return Failure(srBusy, "Die Aufnahme läuft noch");
  return WriteWaveFile(FileName, Samples(), FFormat);
}

// ---- player ----

struct TSoundPlayer::TState {
  std::atomic<bool> StopFlag{false};
  std::atomic<bool> Running{false};
  std::atomic<bool> Alive{true};  // cleared when the player goes or stops: no late OnFinished
  mutable std::mutex Lock;
  TSoundStatus Status;  // under Lock
  std::thread Worker;
};

TSoundPlayer::TSoundPlayer(std::string Device) : FDevice(std::move(Device)), FState(std::make_shared<TState>()) {}

TSoundPlayer::~TSoundPlayer() {
  OnFinished = nullptr;
  Stop();
}

TSoundStatus TSoundPlayer::Play(const std::string& FileName) {
  Stop();
  // Where the samples come from: libsndfile for sound files, the synthesizer
  // for MIDI files. Read returns the frames it wrote, 0 at the end.
  std::function<int64_t(int16_t*, int64_t)> read;
  TSoundFormat format;
  if (IsMidiFile(FileName)) {
    auto midi = std::make_shared<TMidiRenderer>();
    std::string error;
    format = {44100, TMidiRenderer::kChannels};
    if (!midi->Open(FileName, GeneralMidiSoundFont(), format.SampleRate, error)) return Failure(srFileError, error);
    read = [midi](int16_t* Buf, int64_t Frames) { return midi->Read(Buf, Frames); };
  } else {
    SF_INFO info{};
    SNDFILE* f = sf_open(FileName.c_str(), SFM_READ, &info);
    if (!f) return Failure(srFileError, "Kann " + FileName + " nicht lesen: " + sf_strerror(nullptr));
    std::shared_ptr<SNDFILE> file(f, [](SNDFILE* F) { sf_close(F); });
    format = {info.samplerate, info.channels};
    if (!ValidFormat(format)) return Failure(srFileError, "Das Tonformat von " + FileName + " wird nicht unterstützt");
    read = [file](int16_t* Buf, int64_t Frames) { return int64_t(sf_readf_short(file.get(), Buf, Frames)); };
  }
  snd_pcm_t* pcm = nullptr;
  TSoundStatus st = OpenDevice(FDevice, SND_PCM_STREAM_PLAYBACK, format, pcm);
  if (!st.Ok()) return st;
  // A fresh state per sound: a stopped thread still finishing cannot touch it.
  FState = std::make_shared<TState>();
  FState->Running = true;
  std::shared_ptr<TState> state = FState;
  const std::string device = FDevice;
  TSoundPlayer* self = this;
  FState->Worker = std::thread([state, pcm, read = std::move(read), format, device, self]() mutable {
    const int32_t chunk = std::max(1, format.SampleRate / 20);
    std::vector<int16_t> buf(size_t(chunk) * size_t(format.Channels));
    TSoundStatus result;
    while (!state->StopFlag) {
      const int64_t got = read(buf.data(), chunk);
      if (got <= 0) break;
      const int16_t* p = buf.data();
      int64_t left = got;
      while (left > 0 && !state->StopFlag) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm, p, snd_pcm_uframes_t(left));
        if (n == -EPIPE || n == -ESTRPIPE || n == -EINTR) {
          if (snd_pcm_recover(pcm, int(n), 1) == 0) continue;
        }
        if (n < 0) {
          result = Failure(srDeviceError, AlsaText("Die Wiedergabe ist fehlgeschlagen", device, int(n)));
          state->StopFlag = true;
          break;
        }
        p += n * format.Channels;
        left -= n;
      }
    }
    const bool stopped = state->StopFlag && result.Ok();
    if (stopped)
      snd_pcm_drop(pcm);
    else
      snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    read = nullptr;  // closes the file or the synthesizer here, off the GUI thread
    {
      std::lock_guard<std::mutex> g(state->Lock);
      state->Status = result;
    }
    state->Running = false;
    if (!stopped)
      PostToGui([state, self] {
        // Checked on the GUI thread, where Stop and the destructor clear it.
        if (state->Alive && self->OnFinished) self->OnFinished();
      });
  });
  return {};
}

void TSoundPlayer::Stop() {
  FState->Alive = false;
  FState->StopFlag = true;
  if (FState->Worker.joinable()) FState->Worker.join();
}

bool TSoundPlayer::Playing() const { return FState->Running; }

TSoundStatus TSoundPlayer::LastStatus() const {
  std::lock_guard<std::mutex> g(FState->Lock);
  return FState->Status;
}

}  // namespace kv

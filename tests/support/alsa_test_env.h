// A sound device made of ALSA's own plug-ins for the tests: recording reads a
// known feed file, playing writes into a catch file, both over the null
// device, so no sound hardware is needed and what went in and out is on disk.
// The configuration is the test's own (ALSA_CONFIG_PATH), restored afterwards.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_files.h"

namespace kv::test {

class TAlsaTestEnv {
 public:
  // Feed: raw 16-bit little-endian samples the device records; empty leaves
  // the device without a configuration at all (no sound device).
  explicit TAlsaTestEnv(const std::vector<int16_t>& Feed, bool WithDevice = true) {
    const char* old = std::getenv("ALSA_CONFIG_PATH");
    if (old) FOld = old;
    FeedFile = FFolder.Path() + "/feed.raw";
    CatchFile = FFolder.Path() + "/catch.raw";
    ConfigFile = FFolder.Path() + "/asound.conf";
    std::vector<uint8_t> bytes;
    for (int16_t s : Feed) {
      bytes.push_back(uint8_t(uint16_t(s) & 0xff));
      bytes.push_back(uint8_t(uint16_t(s) >> 8));
    }
    WriteBytes(FeedFile, bytes);
    std::string conf;
    if (WithDevice)
      conf = "pcm.!default {\n"
             "  type asym\n"
             "  capture.pcm { type file slave.pcm { type null } file \"/dev/null\" infile \"" +
             FeedFile +
             "\" format \"raw\" }\n"
             "  playback.pcm { type file slave.pcm { type null } file \"" +
             CatchFile +
             "\" format \"raw\" }\n"
             "}\n";
    WriteText(ConfigFile, conf);
    ::setenv("ALSA_CONFIG_PATH", ConfigFile.c_str(), 1);
  }
  ~TAlsaTestEnv() {
    if (FOld)
      ::setenv("ALSA_CONFIG_PATH", FOld->c_str(), 1);
    else
      ::unsetenv("ALSA_CONFIG_PATH");
  }
  TAlsaTestEnv(const TAlsaTestEnv&) = delete;
  TAlsaTestEnv& operator=(const TAlsaTestEnv&) = delete;

  // What was played, as 16-bit samples.
  std::vector<int16_t> Caught() const { return Samples(ReadBytes(CatchFile)); }

  static std::vector<int16_t> Samples(const std::vector<uint8_t>& Raw) {
    std::vector<int16_t> s(Raw.size() / 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(uint16_t(Raw[2 * i] | (Raw[2 * i + 1] << 8)));
    return s;
  }

  // A feed that no stretch of silence or repetition could imitate.
  static std::vector<int16_t> Pattern(size_t Count) {
    std::vector<int16_t> s(Count);
    uint32_t x = 12345;
    for (auto& v : s) {
      x = x * 1103515245u + 12345u;
      v = int16_t(x >> 16);
    }
    return s;
  }

  std::string FeedFile, CatchFile, ConfigFile;

 private:
  TScratchFolder FFolder{"kvalsa"};
  std::optional<std::string> FOld;
};

}  // namespace kv::test

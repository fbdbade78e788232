// Recording and playing through ALSA's file and null plug-ins: what the feed
// file holds is recorded, what is played lands in the catch file, and the
// saved wave file is judged by ffprobe and ffmpeg.
#include "platform/system/sound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/ui/application.h"
#include "platform/ui/qt_app.h"
#include "support/alsa_test_env.h"
#include "support/message_wait.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::TAlsaTestEnv;

template <typename Pred> bool WaitFor(Pred P, double Seconds = 20) { return test::WaitWithMessages(P, Seconds); }

constexpr int32_t kRate = 22050;

TEST(Sound, RecordsTheFedSamplesForAsLongAsItRuns) {
  const auto feed = TAlsaTestEnv::Pattern(size_t(kRate) * 5);
  TAlsaTestEnv env(feed);
  test::TScratchFolder dir;
  const std::string wav = dir.Path() + "/rec.wav";

  TSoundRecorder rec;
  ASSERT_TRUE(rec.Start().Ok());
  EXPECT_TRUE(rec.Recording());
  // The null device hands out samples at once; the recorder keeps to the clock.
  EXPECT_LT(rec.Seconds(), 0.5);
  ASSERT_TRUE(WaitFor([&] { return rec.Seconds() >= 3.0; }));
  ASSERT_TRUE(rec.Stop().Ok());
  EXPECT_FALSE(rec.Recording());
  ASSERT_TRUE(rec.SaveToFile(wav).Ok());

  const auto got = rec.Samples();
  ASSERT_GE(got.size(), size_t(3 * kRate));
  EXPECT_LT(got.size(), size_t(3.5 * kRate));
  EXPECT_TRUE(std::equal(got.begin(), got.end(), feed.begin()));

  double seconds = 0;
  TSoundFormat format;
  ASSERT_TRUE(SoundFileInfo(wav, seconds, format));
  EXPECT_EQ(format.SampleRate, kRate);
  EXPECT_EQ(format.Channels, 1);
  if (test::HaveTool("ffprobe")) {
    const std::string probe = test::RunCapture(
        "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,duration -of default=nw=1 '" + wav +
        "'");
    EXPECT_NE(probe.find("codec_name=pcm_s16le"), std::string::npos) << probe;
    EXPECT_NE(probe.find("sample_rate=22050"), std::string::npos) << probe;
    EXPECT_NE(probe.find("channels=1"), std::string::npos) << probe;
    const auto at = probe.find("duration=");
    ASSERT_NE(at, std::string::npos) << probe;
    EXPECT_GE(std::stod(probe.substr(at + 9)), 2.99) << probe;
    EXPECT_LT(std::stod(probe.substr(at + 9)), 3.5) << probe;
    const std::string raw = dir.Path() + "/decoded.raw";
    ASSERT_EQ(test::Run("ffmpeg -v error -y -i '" + wav + "' -f s16le '" + raw + "'"), 0);
    EXPECT_EQ(TAlsaTestEnv::Samples(test::ReadBytes(raw)), got);
  }
}

TEST(Sound, PlaysAFileIntoTheDeviceAndReportsTheEnd) {
  TAlsaTestEnv env({});
  test::TScratchFolder dir;
  const std::string wav = dir.Path() + "/play.wav";
  const auto samples = TAlsaTestEnv::Pattern(size_t(kRate) / 2);
  ASSERT_TRUE(WriteWaveFile(wav, samples, {kRate, 1}).Ok());

  EnsureQtApplication();
  TSoundPlayer player;
  int finished = 0;
  player.OnFinished = [&] { ++finished; };
  ASSERT_TRUE(player.Play(wav).Ok());
  ASSERT_TRUE(WaitFor([&] { return finished > 0; }));
  EXPECT_FALSE(player.Playing());
  EXPECT_TRUE(player.LastStatus().Ok());
  EXPECT_EQ(env.Caught(), samples);

  // A stopped sound does not report an end.
  finished = 0;
  ASSERT_TRUE(player.Play(wav).Ok());
  player.Stop();
  EXPECT_FALSE(player.Playing());
  for (int i = 0; i < 20; ++i) Application->ProcessMessages();
  EXPECT_EQ(finished, 0);
}

TEST(Sound, FailuresAreReported) {
  test::TScratchFolder dir;
  const std::string wav = dir.Path() + "/x.wav";
  ASSERT_TRUE(WriteWaveFile(wav, std::vector<int16_t>(100, 7), {8000, 1}).Ok());
  {
    TAlsaTestEnv env({}, false);  // no device configured at all
    TSoundRecorder rec;
    const TSoundStatus r = rec.Start();
    EXPECT_EQ(r.Result, srNoDevice);
    EXPECT_FALSE(r.Message.empty());
    EXPECT_FALSE(rec.Recording());
    TSoundPlayer player;
    EXPECT_EQ(player.Play(wav).Result, srNoDevice);
    EXPECT_FALSE(player.Playing());
  }
  TAlsaTestEnv env({});
  TSoundRecorder unknown("kv_no_such_device");
  EXPECT_EQ(unknown.Start().Result, srNoDevice);
  TSoundPlayer player;
  EXPECT_EQ(player.Play(dir.Path() + "/missing.wav").Result, srFileError);
  test::WriteText(dir.Path() + "/junk.wav", "RIFF junk, not a wave");
  EXPECT_EQ(player.Play(dir.Path() + "/junk.wav").Result, srFileError);
  EXPECT_EQ(WriteWaveFile(dir.Path() + "/no/such/folder.wav", {1, 2}, {8000, 1}).Result, srFileError);
}

TEST(Sound, DeviceNameSetting) {
  EXPECT_EQ(SoundDeviceName(), "default");
  SetSoundDeviceName("hw:1,0");
  EXPECT_EQ(SoundDeviceName(), "hw:1,0");
  SetSoundDeviceName("");
  EXPECT_EQ(SoundDeviceName(), "default");
}

}  // namespace
}  // namespace kv

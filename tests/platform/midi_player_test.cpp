// MIDI files through the synthesizer: rendered into a buffer and played into
// ALSA's fed test device with the installed General MIDI sound font (skipped
// without one), and refused without harm when the file is broken or no sound
// font is there.
#include "platform/system/midi_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/system/sound.h"
#include "platform/ui/application.h"
#include "platform/ui/qt_app.h"
#include "support/alsa_test_env.h"
#include "support/message_wait.h"
#include "support/midi_file.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::TAlsaTestEnv;

template <typename Pred> bool WaitFor(Pred P, double Seconds = 60) { return test::WaitWithMessages(P, Seconds); }

int32_t Loudest(const std::vector<int16_t>& S, size_t From, size_t To) {
  int32_t m = 0;
  for (size_t i = From; i < std::min(To, S.size()); ++i) m = std::max(m, std::abs(int32_t(S[i])));
  return m;
}

TEST(Midi, RendersTheNotesWithTheSoundFont) {
  const std::string font = GeneralMidiSoundFont();
  if (font.empty()) GTEST_SKIP() << "no General MIDI sound font installed";
  test::TScratchFolder dir;
  const std::string mid = dir.Path() + "/two.mid";
  test::WriteBytes(mid, test::MidiNotes({60, 64}));  // two half-second notes
  ASSERT_TRUE(IsMidiFile(mid));

  constexpr int32_t rate = 22050;
  std::vector<int16_t> s;
  std::string error;
  ASSERT_TRUE(RenderMidiFile(mid, font, rate, 30, s, error)) << error;
  const size_t frames = s.size() / 2;
  // One second of notes, then the fading of the last one, cut at two seconds
  // after the synthesizer reports the end (which comes a little late).
  EXPECT_GE(frames, size_t(rate));
  EXPECT_LE(frames, size_t(6 * rate));
  // Both notes sound; both channels carry them.
  EXPECT_GT(Loudest(s, 0, size_t(rate)), 500);
  EXPECT_GT(Loudest(s, size_t(rate), size_t(2 * rate)), 500);
  int32_t left = 0, right = 0;
  for (size_t i = 0; i + 1 < s.size(); i += 2) {
    left = std::max(left, std::abs(int32_t(s[i])));
    right = std::max(right, std::abs(int32_t(s[i + 1])));
  }
  EXPECT_GT(left, 500);
  EXPECT_GT(right, 500);
  // The cap holds for music longer than asked.
  ASSERT_TRUE(RenderMidiFile(mid, font, rate, 0.25, s, error));
  EXPECT_EQ(s.size(), size_t(rate / 4) * 2);
}

TEST(Midi, BrokenFilesAndFontsAreRefused) {
  test::TScratchFolder dir;
  const std::string good = dir.Path() + "/good.mid";
  test::WriteBytes(good, test::MidiNotes({60}));
  std::vector<uint8_t> cut = test::MidiNotes({60});
  cut.resize(cut.size() - 5);  // the track chunk runs past the end
  std::vector<uint8_t> noTracks = test::MidiNotes({60});
  noTracks[11] = 0;
  std::vector<uint8_t> hugeHeader = test::MidiNotes({60});
  hugeHeader[4] = 0x7f;
  const std::string notAFont = dir.Path() + "/text.sf2";
  test::WriteText(notAFont, "RIFF this is no sound font");
  const std::string font = GeneralMidiSoundFont();
  const std::string anyFont = font.empty() ? notAFont : font;

  struct TCase {
    const char* Name;
    bool Present;
    std::vector<uint8_t> Bytes;
    std::string Font;
  };
  const std::vector<TCase> cases = {
      {"missing file", false, {}, anyFont},
      {"empty", true, {}, anyFont},
      {"text", true, {'M', 'T', 'h', 'd', ' ', 'b', 'u', 't', ' ', 'n', 'o', ' ', 'm', 'i', 'd', 'i'}, anyFont},
      {"cut track", true, cut, anyFont},
      {"no tracks", true, noTracks, anyFont},
      {"header past the end", true, hugeHeader, anyFont},
      {"no font", true, test::MidiNotes({60}), dir.Path() + "/none.sf2"},
      {"font is a folder", true, test::MidiNotes({60}), dir.Path()},
      {"font is no sound font", true, test::MidiNotes({60}), notAFont},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string mid = dir.Path() + "/case.mid";
    std::remove(mid.c_str());
    if (c.Present) test::WriteBytes(mid, c.Bytes);
    std::vector<int16_t> s = {1, 2};
    std::string error;
    EXPECT_FALSE(RenderMidiFile(mid, c.Font, 22050, 5, s, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(s.empty());
  }
}

// Events the synthesizer cannot make sense of end the music early, quietly.
TEST(Midi, GarbledEventsEndTheMusic) {
  const std::string font = GeneralMidiSoundFont();
  if (font.empty()) GTEST_SKIP() << "no General MIDI sound font installed";
  test::TScratchFolder dir;
  std::vector<uint8_t> bytes = test::MidiNotes({60, 62, 64});
  for (size_t i = 22; i < bytes.size(); i += 3) bytes[i] = uint8_t(0xF0 + i % 16);
  const std::string mid = dir.Path() + "/garbled.mid";
  test::WriteBytes(mid, bytes);
  std::vector<int16_t> s;
  std::string error;
  RenderMidiFile(mid, font, 22050, 60, s, error);
  EXPECT_LT(s.size(), size_t(22050) * 2 * 10);
}

TEST(Midi, PlaysIntoTheSoundDevice) {
  if (GeneralMidiSoundFont().empty()) GTEST_SKIP() << "no General MIDI sound font installed";
  TAlsaTestEnv env({});
  test::TScratchFolder dir;
  const std::string mid = dir.Path() + "/one.mid";
  test::WriteBytes(mid, test::MidiNotes({67}));

  EnsureQtApplication();
  TSoundPlayer player;
  int finished = 0;
  player.OnFinished = [&] { ++finished; };
  const TSoundStatus st = player.Play(mid);
  ASSERT_TRUE(st.Ok()) << st.Message;
  ASSERT_TRUE(WaitFor([&] { return finished > 0; }));
  EXPECT_TRUE(player.LastStatus().Ok());
  // Half a second of stereo at 44.1 kHz at least, and not silence.
  const auto caught = env.Caught();
  EXPECT_GE(caught.size(), size_t(44100));
  EXPECT_GT(Loudest(caught, 0, caught.size()), 500);
}

TEST(Midi, WithoutASoundFontNothingPlays) {
  TAlsaTestEnv env({});
  test::TScratchFolder dir;
  test::TFontPlaces places({dir.Path() + "/none.sf2", dir.Path()});
  EXPECT_EQ(GeneralMidiSoundFont(), "");
  const std::string mid = dir.Path() + "/one.mid";
  test::WriteBytes(mid, test::MidiNotes({67}));
  TSoundPlayer player;
  const TSoundStatus st = player.Play(mid);
  EXPECT_EQ(st.Result, srFileError);
  EXPECT_FALSE(st.Message.empty());
  EXPECT_FALSE(player.Playing());
  EXPECT_TRUE(env.Caught().empty());
}

}  // namespace
}  // namespace kv

// The slide-show player on folders of generated pictures, with a clock the
// test steps: order, intervals, keys and buttons, information text, broken
// pictures and the end of a show; the placement rules and the row effects.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>

#include "app/params/param_strings.h"
#include "app/tools/tool_files.h"
#include "app/workflows/slide_frames.h"
#include "app/workflows/slide_player.h"
#include "command_fixture.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/ticks.h"
#include "platform/ui/button.h"
#include "platform/ui/message_window.h"
#include "platform/system/sound.h"
#include "support/alsa_test_env.h"
#include "support/bitmap_patterns.h"
#include "support/midi_file.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

// Every reading of the clock moves it on by 50 ms.
uint32_t GNow = 0;
uint32_t SteppedClock() { return GNow += 50; }

class SlidePlayer : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    GNow = 0;
    SetTickSource(&SteppedClock);
  }
  void TearDown() override {
    SetTickSource(nullptr);
    CommandTest::TearDown();
  }
  void Picture(const std::string& Name, int32_t W, int32_t H, TBGRPixel P) {
    TBitmap b(W, H, pf24bit);
    FillFlat24(b, P);
    SaveToolPicture(Dir + "pics/" + Name, b);
  }
  std::string Show(const std::string& Options) {
    return "SlideShow Effects=0 Canvasmode=2 Canvasmode2width=64 Canvasmode2height=48 " + Options +
           " SourceMode=1 Dir=\"" + Dir + "pics\" Subdirs=0";
  }
  // Plays the show; Step runs in the wait loop with the number of waits so far.
  struct TPlayed {
    std::vector<std::string> Names;
    std::vector<uint32_t> Times;
  };
  TPlayed Play(const std::string& Line, std::function<void(Tdoslide&, int32_t Wait)> Step = {}) {
    TPlayed played;
    Tdoslide slide(nullptr);
    slide.ParamText = Line;
    slide.OnShown = [&](int32_t I) {
      played.Names.push_back(ExtractFileName(slide.FileList()[size_t(I)]));
      played.Times.push_back(GNow);
    };
    int32_t waits = 0;
    slide.OnWait = [&] {
      ++waits;
      if (Step) Step(slide, waits);
      // A show that nobody ends would run on: the test fails instead of hanging.
      if (waits > 2000) {
        ADD_FAILURE() << "the show did not end";
        uint16_t esc = VK_ESCAPE;
        slide.FormKeyDown(esc, {});
      }
    };
    slide.Show();
    slide.FormActivate();
    EXPECT_TRUE(slide.Finished());
    EXPECT_FALSE(slide.Inhibiting());  // released when the show ends
    return played;
  }

  void SetUpPictures() {
    std::filesystem::create_directories(Dir + "pics");
    Picture("a.png", 32, 24, TBGRPixel{0, 0, 255});
    WriteText(Dir + "pics/b.png", "this is no picture");
    Picture("c.bmp", 20, 40, TBGRPixel{0, 255, 0});
    Picture("d.png", 64, 16, TBGRPixel{255, 0, 0});
  }
};

TEST_F(SlidePlayer, PlaysInOrderAtItsIntervalSkippingBrokenPictures) {
  SetUpPictures();
  int32_t shown = 0;
  const TPlayed p = Play(Show("Interval=1 forever=0"), [&](Tdoslide& S, int32_t) {
    // Without "forever" the last picture stays; the test ends the show there.
    if (shown != int32_t(S.FileList().size()) && S.CurrentIndex() == int32_t(S.FileList().size()) - 1) {
      shown = int32_t(S.FileList().size());
      uint16_t esc = VK_ESCAPE;
      S.FormKeyDown(esc, {});
    }
  });
  EXPECT_EQ(p.Names, (std::vector<std::string>{"a.png", "c.bmp", "d.png"}));
  ASSERT_EQ(p.Times.size(), 3u);
  for (size_t i = 1; i < p.Times.size(); ++i) {
    EXPECT_GE(p.Times[i] - p.Times[i - 1], 1000u);
    EXPECT_LT(p.Times[i] - p.Times[i - 1], 2000u);
  }
}

TEST_F(SlidePlayer, KeysAndButtons) {
  SetUpPictures();
  // Without an interval pictures change only on request, and Play and Pause are off.
  const std::vector<uint16_t> keys = {VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_LEFT, VK_DOWN, VK_UP, VK_ESCAPE};
  size_t next = 0;
  bool checked = false;
  const TPlayed p = Play(Show("forever=0"), [&](Tdoslide& S, int32_t Wait) {
    if (!checked) {
      EXPECT_FALSE(S.MediaPlayer2[mbtPlay]->Enabled());
      EXPECT_FALSE(S.MediaPlayer2[mbtPause]->Enabled());
      checked = true;
    }
    if (Wait % 3 == 0 && next < keys.size()) {
      uint16_t k = keys[next++];
      S.FormKeyDown(k, {});
    }
  });
  // Step on the last picture stays there; Back, first, last.
  EXPECT_EQ(p.Names, (std::vector<std::string>{"a.png", "c.bmp", "d.png", "d.png", "c.bmp", "a.png", "d.png"}));

  // With "forever" Step on the last goes to the first; Pause holds a timed show until Play.
  const TPlayed q = Play(Show("Interval=1 forever=1"), [&](Tdoslide& S, int32_t Wait) {
    if (Wait == 2) S.MediaPlayer2Click(mbtPause);
    if (Wait == 3) {
      EXPECT_TRUE(S.MediaPlayer2[mbtPlay]->Enabled());
      EXPECT_FALSE(S.MediaPlayer2[mbtPause]->Enabled());
    }
    if (Wait == 200) S.MediaPlayer2Click(mbtNext);  // to the last
    if (Wait == 203) S.MediaPlayer2Click(mbtStep);  // round to the first
    if (Wait == 206) S.MediaPlayer2Click(mbtStop);
  });
  EXPECT_EQ(q.Names, (std::vector<std::string>{"a.png", "d.png", "a.png"}));
}

// A key acts once however long it is held: its repeats step no further, and
// the show moves on only after the key is released. The key messages arrive
// from the message loop while the player waits, as the window's would.
TEST_F(SlidePlayer, AHeldKeyActsOnceAndThePlayerWaitsForItsRelease) {
  SetUpPictures();
  Tdoslide* slide = nullptr;
  bool released = false;
  HWND keyboard = 0;
  keyboard = AllocateHWnd([&](TMessage& M) {
    if (M.Msg == WM_USER) {
      NoteKeyState(VK_RIGHT, true);
      slide->Perform(WM_KEYDOWN, VK_RIGHT, 1);
      for (int i = 0; i < 3; ++i) slide->Perform(WM_KEYDOWN, VK_RIGHT, 0x40000001);  // repeats
      SetTimer(keyboard, 1, 300);
    } else if (M.Msg == WM_TIMER) {
      KillTimer(keyboard, 1);
      NoteKeyState(VK_RIGHT, false);
      slide->Perform(WM_KEYUP, VK_RIGHT, LPARAM(0xC0000001u));
      released = true;
    }
  });
  std::vector<bool> releasedWhenShown;
  const TPlayed p = Play(Show("forever=0"), [&](Tdoslide& S, int32_t Wait) {
    if (!slide) {
      slide = &S;
      // Play's observer stays; this one notes whether the key was up by then.
      S.OnShown = [&, shown = S.OnShown](int32_t I) {
        shown(I);
        releasedWhenShown.push_back(released);
      };
    }
    if (Wait == 3) PostMessage(keyboard, WM_USER);
    if (!releasedWhenShown.empty()) {
      uint16_t esc = VK_ESCAPE;
      S.FormKeyDown(esc, {});
    }
  });
  DeallocateHWnd(keyboard);
  NoteKeyState(VK_RIGHT, false);
  EXPECT_EQ(p.Names, (std::vector<std::string>{"a.png", "c.bmp"}));
  EXPECT_EQ(releasedWhenShown, (std::vector<bool>{true}));
}

TEST_F(SlidePlayer, InformationTextIsDrawnAtTheBottom) {
  std::filesystem::create_directories(Dir + "pics");
  Picture("a.png", 64, 10, TBGRPixel{0, 0, 0});
  auto bottomLit = [&](const std::string& Info) {
    int32_t lit = 0;
    Tdoslide slide(nullptr);
    slide.ParamText = Show("Anchor=2 Info=" + Info + " FontColor=16777215 FontHeight=-12 FontName=\"DejaVu Sans\"");
    slide.OnShown = [&](int32_t) {
      const TBitmap& b = slide.imager1->Bitmap();
      for (int32_t y = b.Height() - 16; y < b.Height(); ++y)
        for (int32_t x = 0; x < b.Width(); ++x) lit += static_cast<const uint8_t*>(b.ScanLine(y))[x * 3] > 128;
      slide.MediaPlayer2Click(mbtStop);
    };
    slide.Show();
    slide.FormActivate();
    return lit;
  };
  EXPECT_EQ(bottomLit("0"), 0);
  EXPECT_GT(bottomLit("1"), 10);  // the file name
}

TEST_F(SlidePlayer, ShowsWithoutReadablePicturesEndWithAMessage) {
  std::filesystem::create_directories(Dir + "pics");
  Play(Show("Interval=1 forever=1"));
  EXPECT_TRUE(ShownText(kSlideNoFiles));
  WriteText(Dir + "pics/x.png", "broken");
  WriteText(Dir + "pics/y.jpg", "broken too");
  Play(Show("Interval=1 forever=1"));
  EXPECT_TRUE(ShownText(kNoReadablePicture));
}

// Spoken comments go to the sound device as each picture shows; music that
// cannot be read, or no device at all, leaves the show silent but running.
TEST_F(SlidePlayer, SoundModesOnTheFedDevice) {
  SetUpPictures();
  const auto samples = TAlsaTestEnv::Pattern(800);
  ASSERT_TRUE(WriteWaveFile(Dir + "pics/c.bmp.wav", samples, {8000, 1}).Ok());
  {
    TAlsaTestEnv env({});
    int32_t mode = -1;
    Play(Show("Soundmode=2 forever=0"), [&](Tdoslide& S, int32_t Wait) {
      mode = S.SoundMode();
      if (Wait == 1) S.MediaPlayer2Click(mbtStep);  // to c.bmp and its comment
      if (Wait > 1 && env.Caught().size() >= samples.size()) S.MediaPlayer2Click(mbtStop);
    });
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(env.Caught(), samples);
  }
  {
    TAlsaTestEnv env({});
    WriteText(Dir + "music.mid", "MThd but no sound the device layer reads");
    int32_t mode = -1;
    Play(Show("Soundmode=1 Soundmode1Filename=\"" + Dir + "music.mid\" forever=0"), [&](Tdoslide& S, int32_t) {
      mode = S.SoundMode();
      S.MediaPlayer2Click(mbtStop);
    });
    EXPECT_EQ(mode, 0);
  }
  // MIDI music plays through the sound font; without one the show is silent.
  WriteBytes(Dir + "tune.mid", MidiNotes({60, 64, 67}));
  const std::string tune = Show("Soundmode=1 Soundmode1Filename=\"" + Dir + "tune.mid\" forever=0");
  if (!GeneralMidiSoundFont().empty()) {
    TAlsaTestEnv env({});
    int32_t mode = -1;
    Play(tune, [&](Tdoslide& S, int32_t) {
      mode = S.SoundMode();
      if (env.Caught().size() >= 44100) S.MediaPlayer2Click(mbtStop);
    });
    EXPECT_EQ(mode, 1);
    EXPECT_GE(env.Caught().size(), size_t(44100));
  }
  {
    TAlsaTestEnv env({});
    TFontPlaces noFont({Dir + "none.sf2"});
    int32_t mode = -1;
    const TPlayed played = Play(tune, [&](Tdoslide& S, int32_t) {
      mode = S.SoundMode();
      S.MediaPlayer2Click(mbtStop);
    });
    EXPECT_EQ(mode, 0);
    EXPECT_FALSE(played.Names.empty());
    EXPECT_TRUE(env.Caught().empty());
  }
  {
    TAlsaTestEnv none({}, false);
    int32_t mode = -1;
    Play(Show("Soundmode=1 Soundmode1Filename=\"" + Dir + "pics/c.bmp.wav\" forever=0"), [&](Tdoslide& S, int32_t) {
      mode = S.SoundMode();
      S.MediaPlayer2Click(mbtStop);
    });
    EXPECT_EQ(mode, 0);
  }
}

TEST_F(SlidePlayer, SlideShowLineOpensThePlayer) {
  SetUpPictures();
  bool played = false;
  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto& slide = dynamic_cast<Tdoslide&>(F);
    slide.OnShown = [&](int32_t) {
      played = true;
      slide.MediaPlayer2Click(mbtStop);
    };
    slide.FormActivate();
    return mrCancel;
  });
  EXPECT_TRUE(RunLine(Show("Interval=1")));
  EXPECT_TRUE(played);
}

TEST(SlideFrames, ShownSizeAndPlace) {
  struct TCase {
    int32_t Mode, VW, VH, PW, PH, W, H;
  };
  const TCase cases[] = {
      {0, 100, 100, 30, 20, 30, 20}, {1, 100, 100, 200, 100, 100, 50}, {1, 100, 100, 100, 200, 50, 100},
      {2, 100, 100, 200, 100, 200, 100},  // wider than the view: fills the height, sides cut
      {1, 100, 100, 0, 0, 100, 100},     // no divisor: the view's size
  };
  for (const TCase& c : cases) {
    int32_t w = 0, h = 0;
    FitShownSize(c.Mode, c.VW, c.VH, c.PW, c.PH, w, h);
    EXPECT_EQ(w, c.W) << c.Mode << ' ' << c.PW << 'x' << c.PH;
    EXPECT_EQ(h, c.H) << c.Mode << ' ' << c.PW << 'x' << c.PH;
  }
  const TShownRect centred = PlaceShown(0, 100, 100, 200, 100);
  EXPECT_EQ(centred.X, -50);  // centred, sides cut
  const TShownRect bl = PlaceShown(9, 100, 80, 40, 20);
  EXPECT_EQ(bl.X, 0);
  EXPECT_EQ(bl.Y, 60);
  const TShownRect tl = PlaceShown(-1, 100, 80, 40, 20);
  EXPECT_EQ(tl.X, 0);
  EXPECT_EQ(tl.Y, 0);
  EXPECT_EQ(NextSlideIndex(2, 3, false), 2);
  EXPECT_EQ(NextSlideIndex(2, 3, true), 0);
  EXPECT_EQ(PrevSlideIndex(0, 3, false), 0);
  EXPECT_EQ(PrevSlideIndex(0, 3, true), 2);
}

// The first frame of every row effect shows the old canvas, the last one (almost all) the new.
TEST(SlideFrames, RowEffectsGoFromOldToNew) {
  TBitmap oldB(64, 48, pf24bit), newB(64, 48, pf24bit), shown(64, 48, pf24bit);
  FillFlat24(oldB, TBGRPixel{0, 0, 200});
  FillFlat24(newB, TBGRPixel{200, 0, 0});
  auto newShare = [&]() {
    int32_t n = 0;
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x) {
        const uint8_t* p = static_cast<const uint8_t*>(shown.ScanLine(y)) + x * 3;
        n += p[0] > p[2];
      }
    return double(n) / (64 * 48);
  };
  for (int32_t e = 0; e < kRowEffectCount; ++e) {
    ComposeRowEffect(e, 0, newB, oldB, shown);
    // Rolling down starts from the new picture's first row stretched over the canvas.
    if (e != 7) {
      EXPECT_LE(newShare(), 0.02) << "effect " << e;
    }
    ComposeRowEffect(e, 255, newB, oldB, shown);
    EXPECT_GE(newShare(), 0.85) << "effect " << e;
  }
}

}  // namespace
}  // namespace kv

#ifdef KV_PROGRAM_DIR
namespace kv {
namespace {

// A batch holding a slide show, run by the program as users run it: without a
// display the show still plays, and its messages go to standard error.
TEST(SlideProgram, BatchPlaysTheShowOfItsLine) {
  test::TScratchFolder scratch;
  const std::string dir = scratch.Path() + "/";
  std::filesystem::create_directories(dir + "pics");
  test::WriteText(dir + "pics/a.png", "not a picture");
  test::WriteText(dir + "job.atp", "SLIDESHOW Interval=1.00000000 forever=1 Effects=0 SourceMode=1 Dir=\"" + dir +
                                       "pics\" Subdirs=0\n");
  const test::TToolRun r = test::RunTool("cd " + dir + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME=" +
                                         dir + " XDG_RUNTIME_DIR=" + dir + " XDG_CONFIG_HOME=" + dir +
                                         "config timeout 60 " + KV_PROGRAM_DIR + "kavrelin job.atp 2>&1");
  EXPECT_TRUE(WIFEXITED(r.Status) && WEXITSTATUS(r.Status) == 0) << r.Output;
  EXPECT_NE(r.Output.find(kNoReadablePicture), std::string::npos) << r.Output;
}

// The show's pictures come from its image source, a folder or a catalog: only
// the chosen file kinds, in the order of the sort keys. Every file is
// unreadable, so the program tries each once and ends by itself; the order it
// opens them in is the order it plays them in.
TEST(SlideProgram, ShowPlaysTheChosenKindsInSortOrder) {
  if (!test::HaveTool("strace")) GTEST_SKIP() << "strace missing";
  test::TScratchFolder scratch;
  const std::string dir = scratch.Path() + "/";
  std::filesystem::create_directories(dir + "pics");
  const std::vector<std::string> names = {"m.jpg", "z.png", "k.bmp", "a.png", "q.gif", "x.txt", "c.jpeg"};
  std::string catalog;
  for (const std::string& name : names) {
    test::WriteText(dir + "pics/" + name, "not a picture");
    catalog += dir + "pics/" + name + "\n";
  }
  test::WriteText(dir + "show.pcf", catalog);
  // Filetypes 3: JPG and PNG only; Sort1 3: by file name, descending.
  const std::string keys = " seperate=0 Sort1=3 Sort1descanding=1 Filetypes=3";
  const struct {
    const char* Name;
    std::string Source;
  } cases[] = {
      {"folder", "SourceMode=1 Dir=\"" + dir + "pics\" Subdirs=0" + keys},
      {"catalog", "SourceMode=0 catalog=\"" + dir + "show.pcf\"" + keys},
  };
  for (const auto& c : cases) {
    test::WriteText(dir + "job.atp", "SLIDESHOW Interval=1.00000000 forever=0 Effects=0 " + c.Source + "\n");
    std::filesystem::remove(dir + "trace");
    // The leak checker cannot run under a tracer.
    const test::TToolRun r = test::RunTool(
        "cd " + dir + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME=" + dir + " XDG_RUNTIME_DIR=" +
        dir + " XDG_CONFIG_HOME=" + dir + "config ASAN_OPTIONS=detect_leaks=0 timeout 60 strace -f -qq -e trace=openat -o " +
        dir + "trace " + KV_PROGRAM_DIR + "kavrelin job.atp 2>&1");
    const std::string trace = std::filesystem::exists(dir + "trace") ? test::ReadText(dir + "trace") : "";
    if (trace.find("openat") == std::string::npos) GTEST_SKIP() << "strace cannot trace here: " << r.Output;
    EXPECT_TRUE(WIFEXITED(r.Status) && WEXITSTATUS(r.Status) == 0) << c.Name << ": " << r.Output;
    EXPECT_NE(r.Output.find(kNoReadablePicture), std::string::npos) << c.Name << ": " << r.Output;
    std::vector<std::string> opened;
    const std::string prefix = "\"" + dir + "pics/";
    for (size_t at = trace.find(prefix); at != std::string::npos; at = trace.find(prefix, at + 1)) {
      const size_t from = at + prefix.size();
      const std::string name = trace.substr(from, trace.find('"', from) - from);
      if (!name.empty() && (opened.empty() || opened.back() != name)) opened.push_back(name);
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"z.png", "m.jpg", "c.jpeg", "a.png"})) << c.Name << ":\n" << trace;
  }
}

}  // namespace
}  // namespace kv
#endif

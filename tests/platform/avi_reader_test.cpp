// The AVI reader against ffmpeg's own decoding of files ffmpeg wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/media/avi_reader.h"
#include "platform/rtl/streams.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::HaveTool;
using test::Run;
using test::TempPath;

constexpr int kW = 62, kH = 46;  // odd row length: DIB rows carry padding

bool MakeVideo(const std::string& Path, const std::string& Codec, const std::string& Extra = "") {
  return Run("ffmpeg -v error -y -f lavfi -i testsrc=size=" + std::to_string(kW) + "x" + std::to_string(kH) +
             ":rate=10 -frames:v 12 " + Extra + " -c:v " + Codec + " '" + Path + "'") == 0;
}

// ffmpeg's frames of a file as top-down BGR rows without padding.
std::vector<std::vector<uint8_t>> ReferenceFrames(const std::string& Path) {
  const std::string raw = Path + ".bgr";
  std::vector<std::vector<uint8_t>> frames;
  if (Run("ffmpeg -v error -y -i '" + Path + "' -vsync passthrough -f rawvideo -pix_fmt bgr24 '" + raw + "'") != 0)
    return frames;
  const std::vector<uint8_t> all = test::ReadBytes(raw);
  const size_t n = size_t(kW) * kH * 3;
  for (size_t at = 0; at + n <= all.size(); at += n) frames.emplace_back(all.begin() + long(at), all.begin() + long(at + n));
  return frames;
}

// The DIB's pixels as top-down BGR rows without padding, checking its header.
std::vector<uint8_t> DibPixels(const std::vector<uint8_t>& Dib) {
  auto get32 = [&](size_t at) {
    return uint32_t(Dib[at]) | uint32_t(Dib[at + 1]) << 8 | uint32_t(Dib[at + 2]) << 16 | uint32_t(Dib[at + 3]) << 24;
  };
  EXPECT_EQ(get32(0), 40u);
  EXPECT_EQ(get32(4), uint32_t(kW));
  EXPECT_EQ(get32(8), uint32_t(kH));
  EXPECT_EQ(Dib[14], 24);
  const size_t rowBytes = (size_t(kW) * 24 + 31) / 32 * 4;
  EXPECT_EQ(Dib.size(), 40 + rowBytes * kH);
  std::vector<uint8_t> out;
  for (int y = kH - 1; y >= 0; --y) {
    const uint8_t* row = Dib.data() + 40 + rowBytes * size_t(y);
    out.insert(out.end(), row, row + kW * 3);
  }
  return out;
}

class AviReader : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  }
};

// Every codec a user's file may hold decodes as ffmpeg decodes it, frame by
// frame in order and again out of order (seeking back and ahead).
TEST_F(AviReader, FramesEqualFfmpegsInEveryCodec) {
  const struct {
    const char* Codec;
    const char* Extra;
    uint32_t Handler;
  } cases[] = {
      {"mjpeg", "", AviFourCC('M', 'J', 'P', 'G')},
      {"rawvideo", "-pix_fmt bgr24", 0},
      {"bmp", "-pix_fmt bgr24", 0},
      {"mpeg4", "-g 4", AviFourCC('F', 'M', 'P', '4')},
      {"mpeg4", "-g 4 -bf 2 -vtag XVID", AviFourCC('X', 'V', 'I', 'D')},
      {"msmpeg4v2", "", AviFourCC('M', 'P', '4', '2')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Codec) + " " + c.Extra);
    const std::string path = TempPath(std::string("avi_") + c.Codec + (c.Extra[0] ? "_x" : "") +
                                      std::to_string(c.Handler) + ".avi");
    ASSERT_TRUE(MakeVideo(path, c.Codec, c.Extra));
    const auto ref = ReferenceFrames(path);
    ASSERT_EQ(ref.size(), 12u);

    TAviFile avi;
    ASSERT_TRUE(avi.Open(path));
    ASSERT_TRUE(avi.GetVideoStream());
    TAviStreamInfo info;
    ASSERT_TRUE(avi.StreamInfo(info));
    EXPECT_EQ(info.fccType, streamtypeVIDEO);
    if (c.Handler) {
      EXPECT_EQ(info.fccHandler, c.Handler);
    }
    EXPECT_EQ(info.Length, 12u);
    EXPECT_EQ(double(info.Rate) / info.Scale, 10.0);
    EXPECT_EQ(info.Width, kW);
    EXPECT_EQ(info.Height, kH);
    ASSERT_TRUE(avi.GetFrameOpen());
    for (int i = 0; i < 12; ++i) {
      const std::vector<uint8_t>* dib = avi.GetFrame(i);
      ASSERT_NE(dib, nullptr) << i;
      EXPECT_TRUE(DibPixels(*dib) == ref[size_t(i)]) << "frame " << i;
    }
    EXPECT_EQ(avi.GetFrame(12), nullptr);
    for (int i : {7, 2, 2, 11, 0, 9}) {
      const std::vector<uint8_t>* dib = avi.GetFrame(i);
      ASSERT_NE(dib, nullptr) << i;
      EXPECT_TRUE(DibPixels(*dib) == ref[size_t(i)]) << "frame " << i << " out of order";
    }
  }
}

// Empty chunks stand for "the frame before, again": frames 1 and 2 show frame 0.
TEST_F(AviReader, EmptyChunksRepeatTheFrameBefore) {
  const std::string path = TempPath("avi_dropped.avi");
  ASSERT_EQ(test::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=62x46:rate=10 -vf \"select=not(mod(n\\,3))\" "
                "-vsync passthrough -frames:v 4 -c:v mjpeg '" + path + "'"),
            0);
  const auto ref = ReferenceFrames(path);
  ASSERT_EQ(ref.size(), 4u);
  TAviFile avi;
  ASSERT_TRUE(avi.Open(path) && avi.GetVideoStream() && avi.GetFrameOpen());
  TAviStreamInfo info;
  ASSERT_TRUE(avi.StreamInfo(info));
  ASSERT_EQ(info.Length, 10u);
  for (int i = 0; i < 10; ++i) {
    const std::vector<uint8_t>* dib = avi.GetFrame(i);
    ASSERT_NE(dib, nullptr) << i;
    EXPECT_TRUE(DibPixels(*dib) == ref[size_t(i / 3)]) << "frame " << i;
  }
}

TEST_F(AviReader, RefusesWhatItCannotRead) {
  TAviFile avi;
  EXPECT_FALSE(avi.Open(TempPath("no_such_file.avi")));
  EXPECT_FALSE(avi.GetVideoStream());
  EXPECT_EQ(avi.GetFrame(0), nullptr);

  const std::string text = TempPath("avi_not.avi");
  test::WriteText(text, "RIFF this is no video at all");
  EXPECT_FALSE(avi.Open(text));

  // Sound only: the file opens, but there is no video stream.
  const std::string sound = TempPath("avi_sound.avi");
  ASSERT_EQ(test::Run("ffmpeg -v error -y -f lavfi -i sine=duration=0.2 -c:a pcm_s16le '" + sound + "'"), 0);
  ASSERT_TRUE(avi.Open(sound));
  EXPECT_FALSE(avi.GetVideoStream());
  TAviStreamInfo info;
  EXPECT_FALSE(avi.StreamInfo(info));
  EXPECT_FALSE(avi.GetFrameOpen());
}

// A file cut short keeps the frames before the cut and refuses those after, without a crash.
TEST_F(AviReader, TruncatedFileGivesTheFramesItHolds) {
  const std::string path = TempPath("avi_cut.avi");
  ASSERT_TRUE(MakeVideo(path, "rawvideo", "-pix_fmt bgr24"));
  const auto ref = ReferenceFrames(path);
  std::vector<uint8_t> bytes = test::ReadBytes(path);
  // Header lists, then 12 chunks of 8 + 62*46*3 bytes: keep 5 whole frames.
  const size_t frameChunk = 8 + size_t(kW) * kH * 3;
  const size_t movi = bytes.size() - 12 * frameChunk - 8 - 16 * 12;  // less the index
  bytes.resize(movi + 5 * frameChunk + 100);
  test::WriteBytes(path, bytes);
  TAviFile avi;
  ASSERT_TRUE(avi.Open(path) && avi.GetVideoStream() && avi.GetFrameOpen());
  int good = 0;
  for (int i = 0; i < 12; ++i) {
    const std::vector<uint8_t>* dib = avi.GetFrame(i);
    if (!dib) break;
    EXPECT_TRUE(DibPixels(*dib) == ref[size_t(i)]) << i;
    ++good;
  }
  EXPECT_EQ(good, 5);
}

// A stream header that claims a million frames is not believed past the
// index: the reader counts what the file holds and gives nothing after it.
TEST_F(AviReader, LengthBeyondTheIndexIsNotBelieved) {
  const std::string path = TempPath("avi_long.avi");
  ASSERT_TRUE(MakeVideo(path, "mjpeg"));
  std::vector<uint8_t> bytes = test::ReadBytes(path);
  const std::string tag = "strh";
  const auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
  ASSERT_NE(at, bytes.end());
  const size_t length = size_t(at - bytes.begin()) + 8 + 32;  // dwLength of the stream header
  for (int i = 0; i < 4; ++i) bytes[length + size_t(i)] = uint8_t(1000000 >> (8 * i));
  test::WriteBytes(path, bytes);
  TAviFile avi;
  ASSERT_TRUE(avi.Open(path) && avi.GetVideoStream() && avi.GetFrameOpen());
  TAviStreamInfo info;
  ASSERT_TRUE(avi.StreamInfo(info));
  EXPECT_EQ(info.Length, 12u);
  EXPECT_NE(avi.GetFrame(11), nullptr);
  EXPECT_EQ(avi.GetFrame(12), nullptr);
  EXPECT_EQ(avi.GetFrame(999999), nullptr);
}

// Frames read ahead on other threads are byte for byte those read one at a
// time on the calling thread: in order, after jumps back and ahead (which
// stop the reading ahead and start it again), repeated frames, and a file cut
// short (the same frames, then nothing).
TEST_F(AviReader, ReadingAheadGivesTheFramesOfOneThread) {
  // Cut inside its sixth chunk. (A chunk cut short that the decoder still
  // takes leaves parts of its picture unpainted, holding whatever an earlier
  // picture left in the buffer, which no reading of the file fixes.)
  const std::string cut = TempPath("avi_ahead_cut.avi");
  ASSERT_TRUE(MakeVideo(cut, "rawvideo", "-pix_fmt bgr24"));
  std::vector<uint8_t> bytes = test::ReadBytes(cut);
  const size_t frameChunk = 8 + size_t(kW) * kH * 3;
  bytes.resize(bytes.size() - 12 * frameChunk - 8 - 16 * 12 + 5 * frameChunk + 100);
  test::WriteBytes(cut, bytes);
  const std::string dropped = TempPath("avi_ahead_dropped.avi");
  ASSERT_EQ(test::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=62x46:rate=10 -vf \"select=not(mod(n\\,3))\" "
                      "-vsync passthrough -frames:v 5 -c:v mjpeg '" + dropped + "'"),
            0);
  std::vector<std::string> files{cut, dropped};
  for (const auto& [codec, extra] : std::vector<std::pair<std::string, std::string>>{
           {"mjpeg", ""}, {"rawvideo", "-pix_fmt bgr24"}, {"mpeg4", "-g 4 -bf 2"}, {"msmpeg4v2", ""}}) {
    files.push_back(TempPath("avi_ahead_" + codec + ".avi"));
    ASSERT_TRUE(MakeVideo(files.back(), codec, extra));
  }
  // In order past the end, then jumps: back, ahead in order, far back, in order again.
  const std::vector<int> order{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 3, 4, 5, 9, 10, 0, 1, 2, 2, 3, 11, 12};
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    std::vector<std::vector<uint8_t>> serial;
    std::vector<bool> had;
    TAviFile one;
    ASSERT_TRUE(one.Open(path) && one.GetVideoStream() && one.GetFrameOpen());
    for (int i : order) {
      const std::vector<uint8_t>* dib = one.GetFrame(i);
      had.push_back(dib != nullptr);
      serial.push_back(dib ? *dib : std::vector<uint8_t>());
    }
    ASSERT_TRUE(had[0]);
    for (int threads : {2, 4, 8}) {
      TAviFile ahead;
      ahead.SetReadAhead(threads);
      ASSERT_TRUE(ahead.Open(path) && ahead.GetVideoStream() && ahead.GetFrameOpen());
      for (size_t k = 0; k < order.size(); ++k) {
        const std::vector<uint8_t>* dib = ahead.GetFrame(order[k]);
        ASSERT_EQ(dib != nullptr, had[k]) << threads << " threads, frame " << order[k] << " at " << k;
        if (dib) {
          EXPECT_TRUE(*dib == serial[k]) << threads << " threads, frame " << order[k] << " at " << k;
        }
      }
    }
  }
}

// Reading ahead stops cleanly whatever the caller does next: closing the
// decoder, the file or the object itself while frames are still in flight,
// or turning the reading ahead off on the way.
TEST_F(AviReader, ReadingAheadStopsAtEveryStep) {
  const std::string path = TempPath("avi_ahead_stop.avi");
  ASSERT_TRUE(MakeVideo(path, "mpeg4", "-g 4"));
  const auto ref = ReferenceFrames(path);
  ASSERT_EQ(ref.size(), 12u);
  for (int step = 0; step < 4; ++step) {
    SCOPED_TRACE(step);
    auto avi = std::make_unique<TAviFile>();
    avi->SetReadAhead(4);
    ASSERT_TRUE(avi->Open(path) && avi->GetVideoStream() && avi->GetFrameOpen());
    ASSERT_NE(avi->GetFrame(0), nullptr);
    switch (step) {
      case 0: avi->GetFrameClose(); EXPECT_EQ(avi->GetFrame(1), nullptr); break;
      case 1: avi->Close(); EXPECT_EQ(avi->GetFrame(1), nullptr); break;
      case 2: avi.reset(); break;
      case 3:
        avi->SetReadAhead(1);
        for (int i = 1; i < 12; ++i) {
          const std::vector<uint8_t>* dib = avi->GetFrame(i);
          ASSERT_NE(dib, nullptr) << i;
          EXPECT_TRUE(DibPixels(*dib) == ref[size_t(i)]) << i;
        }
        break;
    }
  }
}

}  // namespace
}  // namespace kv

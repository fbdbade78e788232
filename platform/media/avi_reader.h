// Reading the video of AVI files: open a file, take its first video stream,
// read that stream's header values and get its frames one by one as packed
// device-independent bitmaps. Every codec the system's decoders know (MJPEG,
// raw DIB, the MPEG-4 family, ...) decodes; frames come out as 24-bit DIBs,
// or 1-bit ones for two-level sources.
//
// Frames read in order cost one decode each; a jump backwards or far ahead
// seeks to the key frame before it and decodes forward from there.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class TStream;

// Four characters packed as an AVI file stores them, first character lowest.
constexpr uint32_t AviFourCC(char A, char B, char C, char D) {
  return uint32_t(uint8_t(A)) | uint32_t(uint8_t(B)) << 8 | uint32_t(uint8_t(C)) << 16 | uint32_t(uint8_t(D)) << 24;
}
constexpr uint32_t streamtypeVIDEO = AviFourCC('v', 'i', 'd', 's');

// The header values of one stream. Rate / Scale is the frame rate; Length
// counts the frames (the file's own count, else what its index holds).
struct TAviStreamInfo {
  uint32_t fccType = 0;
  uint32_t fccHandler = 0;  // the codec's four characters (0 when unknown)
  uint32_t Scale = 0;
  uint32_t Rate = 0;
  uint32_t Start = 0;
  uint32_t Length = 0;
  uint32_t SuggestedBufferSize = 0;
  int32_t Width = 0;   // the frame rectangle
  int32_t Height = 0;
  int32_t BitCount = 0;  // bits per pixel the stream's format states (0 when it states none)
  std::string Name;      // the codec's name
};

// One AVI file. The steps follow the order a caller takes them and each can
// fail: Open, GetVideoStream, GetFrameOpen, then GetFrame as often as wanted.
class TAviFile {
 public:
  TAviFile();
  ~TAviFile();
  TAviFile(const TAviFile&) = delete;
  TAviFile& operator=(const TAviFile&) = delete;

  // Opens the file for reading; false when it cannot be opened or holds no AVI.
  bool Open(const std::string& FileName);
  // The same over a stream read from its start; the stream must outlive this object.
  bool Open(TStream& Stream);
  // Chooses the first video stream; false when there is none.
  bool GetVideoStream();
  // The chosen stream's values; false before GetVideoStream.
  bool StreamInfo(TAviStreamInfo& Info) const;
  // Opens the decoder of the chosen stream; false when none exists for its
  // codec or its frame size is refused.
  bool GetFrameOpen();
  // The packed DIB of frame Index (0 = the stream's first frame): a 40-byte
  // header, for 1 bit a two-entry colour table, then the rows bottom-up and
  // padded to 4 bytes. Null when the frame cannot be had (past the end, a
  // decoding error, no decoder open). The block stays valid until the next
  // call or until the file is closed. A frame the file stores as "same as
  // before" (an empty chunk) gives the picture of the frame before it.
  const std::vector<uint8_t>* GetFrame(int32_t Index);
  void GetFrameClose();
  // Frames asked for in order (n, n + 1, ...) are decoded and turned into
  // DIBs ahead of the caller on up to Threads threads (the file's stream is
  // then read on one of them); any other step stops that first. 1 or less
  // reads each frame on the calling thread when it is asked for (the
  // default). The frames are the same either way.
  void SetReadAhead(int32_t Threads);
  // Releases everything; Open may follow again.
  void Close();

 private:
  struct TState;
  std::unique_ptr<TState> F;
  int32_t FReadAhead = 1;
};

}  // namespace kv

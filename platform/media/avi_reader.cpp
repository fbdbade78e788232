// AVI reading on the system's demuxer and decoders. The file's bytes come
// through our own stream (never through the library's protocols, which would
// read a name such as "concat:..." as something else) and only the AVI
// demuxer is asked, so no other container parser sees outside bytes.
#include "platform/media/avi_reader.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/graphics/bmp_format.h"
#include "platform/rtl/shared_library.h"
#include "platform/rtl/streams.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace kv {

namespace {

constexpr int kIoBufferSize = 1 << 16;
constexpr int32_t kDibHeaderSize = 40;
// A jump ahead by more than this decodes from the nearest key frame instead
// of through every frame in between, when that key frame lies past the
// current one.
constexpr int64_t kDecodeAheadLimit = 64;

// The decoders pull in a hundred libraries that only AVI files need: they
// are opened when the first AVI file is, not when the program starts.
#define KV_FFMPEG_FUNCTIONS(X) \
  X(av_find_input_format) \
  X(av_frame_alloc) \
  X(av_frame_free) \
  X(av_frame_ref) \
  X(av_frame_unref) \
  X(av_free) \
  X(av_freep) \
  X(av_index_search_timestamp) \
  X(av_log_set_level) \
  X(av_malloc) \
  X(av_packet_alloc) \
  X(av_packet_free) \
  X(av_packet_unref) \
  X(av_read_frame) \
  X(av_rescale_q) \
  X(av_rescale_q_rnd) \
  X(av_seek_frame) \
  X(avcodec_alloc_context3) \
  X(avcodec_descriptor_get) \
  X(avcodec_find_decoder) \
  X(avcodec_flush_buffers) \
  X(avcodec_free_context) \
  X(avcodec_open2) \
  X(avcodec_parameters_to_context) \
  X(avcodec_receive_frame) \
  X(avcodec_send_packet) \
  X(avformat_alloc_context) \
  X(avformat_close_input) \
  X(avformat_index_get_entries_count) \
  X(avformat_index_get_entry) \
  X(avformat_open_input) \
  X(avio_alloc_context) \
  X(avio_context_free) \
  X(sws_freeContext) \
  X(sws_getCachedContext) \
  X(sws_getCoefficients) \
  X(sws_getColorspaceDetails) \
  X(sws_scale) \
  X(sws_setColorspaceDetails)

struct TFfmpeg {
#define KV_FFMPEG_POINTER(Name) decltype(&::Name) Name = nullptr;
  KV_FFMPEG_FUNCTIONS(KV_FFMPEG_POINTER)
#undef KV_FFMPEG_POINTER
  TSharedLibrary Libs[4];
  bool Ready = false;

  TFfmpeg() {
    const char* names[4] = {"libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
                            "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
                            "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
                            "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR)};
    for (int i = 0; i < 4; ++i)
      if (!Libs[i].Load({names[i]})) return;
    bool all = true;
#define KV_FFMPEG_BIND(Name) all = Find(Name, #Name) && all;
    KV_FFMPEG_FUNCTIONS(KV_FFMPEG_BIND)
#undef KV_FFMPEG_BIND
    Ready = all;
    // The library's own messages would go to stderr for every damaged file.
    if (Ready) av_log_set_level(AV_LOG_QUIET);
  }

  template <typename F> bool Find(F& Fn, const char* Name) {
    for (TSharedLibrary& l : Libs)
      if (void* p = l.Symbol(Name)) {
        Fn = reinterpret_cast<F>(p);
        return true;
      }
    return false;
  }
};

// Null when the libraries or one of their functions are missing; then no AVI
// file opens, which callers report as for any file they cannot read.
// Never closed: the libraries keep threads and caches until the process ends.
const TFfmpeg* LoadFfmpeg() {
  static const TFfmpeg* f = new TFfmpeg;
  return f->Ready ? f : nullptr;
}

// Only reached through an open file, which needed the libraries.
const TFfmpeg& Lib() { return *LoadFfmpeg(); }

void Put16(uint8_t* P, uint32_t V) {
  P[0] = uint8_t(V);
  P[1] = uint8_t(V >> 8);
}
void Put32(uint8_t* P, uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = uint8_t(V >> (8 * i));
}

int ReadPacket(void* Opaque, uint8_t* Buf, int Size) {
  try {
    const int32_t n = static_cast<TStream*>(Opaque)->Read(Buf, Size);
    return n > 0 ? n : AVERROR_EOF;
  } catch (...) {
    return AVERROR(EIO);
  }
}

int64_t SeekStream(void* Opaque, int64_t Offset, int Whence) {
  TStream* s = static_cast<TStream*>(Opaque);
  try {
    switch (Whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE: return s->Size();
      case SEEK_SET: return s->Seek(Offset, soBeginning);
      case SEEK_CUR: return s->Seek(Offset, soCurrent);
      case SEEK_END: return s->Seek(Offset, soEnd);
      default: return -1;
    }
  } catch (...) {
    return -1;
  }
}

// What turns decoded pictures into DIBs; one for each thread that converts.
struct TConverter {
  SwsContext* Sws = nullptr;
  std::vector<uint8_t> RowSpare;  // one row, for turning the picture over
  TConverter() = default;
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;
  ~TConverter() { Reset(); }
  void Reset() {
    if (Sws) Lib().sws_freeContext(Sws);
    Sws = nullptr;
  }
};

// A packed DIB and the shape of the frame it holds last.
struct TDib {
  std::vector<uint8_t> Bytes;
  int32_t Shape[3] = {0, 0, 0};  // width, height and bits
};

bool MakeDib(const AVFrame* Frame, TConverter& Conv, TDib& Out) {
  const int32_t w = Frame->width, h = Frame->height;
  if (w <= 0 || h <= 0 || int64_t(w) * h > kMaxBitmapPixels) return false;
  const auto fmt = AVPixelFormat(Frame->format);
  const bool oneBit = fmt == AV_PIX_FMT_MONOBLACK || fmt == AV_PIX_FMT_MONOWHITE;
  const int32_t bits = oneBit ? 1 : 24;
  const int64_t rowBytes = (int64_t(w) * bits + 31) / 32 * 4;
  const int32_t table = oneBit ? 8 : 0;
  // A frame of the shape before it reuses the block: every pixel byte is
  // written again and the row padding is still zero.
  const size_t size = size_t(kDibHeaderSize + table + rowBytes * h);
  if (Out.Bytes.size() != size || Out.Shape[0] != w || Out.Shape[1] != h || Out.Shape[2] != bits) {
    Out.Bytes.assign(size, 0);
    Out.Shape[0] = w, Out.Shape[1] = h, Out.Shape[2] = bits;
  }
  uint8_t* p = Out.Bytes.data();
  Put32(p, kDibHeaderSize);
  Put32(p + 4, uint32_t(w));
  Put32(p + 8, uint32_t(h));
  Put16(p + 12, 1);
  Put16(p + 14, uint32_t(bits));
  Put32(p + 20, uint32_t(rowBytes * h));
  if (oneBit) {
    Put32(p + 32, 2);
    Put32(p + 44, 0x00FFFFFF);  // entry 0 black, entry 1 white
  }
  uint8_t* bottom = p + kDibHeaderSize + table + rowBytes * (h - 1);
  if (oneBit) {
    // A set bit is white in the DIB; the white-is-zero layout is complemented.
    const int32_t n = (w + 7) / 8;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* src = Frame->data[0] + int64_t(y) * Frame->linesize[0];
      uint8_t* dst = bottom - rowBytes * y;
      if (fmt == AV_PIX_FMT_MONOBLACK) std::memcpy(dst, src, size_t(n));
      else
        for (int32_t i = 0; i < n; ++i) dst[i] = uint8_t(~src[i]);
    }
    return true;
  }
  if (fmt == AV_PIX_FMT_BGR24) {
    // Already the DIB's pixel layout: the rows are copied into their places
    // (the converter would copy them just the same, top-down, and they would
    // then be turned over).
    for (int32_t y = 0; y < h; ++y)
      std::memcpy(bottom - rowBytes * y, Frame->data[0] + int64_t(y) * Frame->linesize[0], size_t(w) * 3);
    return true;
  }
  Conv.Sws = Lib().sws_getCachedContext(Conv.Sws, w, h, fmt, w, h, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!Conv.Sws) return false;
  // The picture's own matrix and range, as the system's converter takes them.
  int* invTable;
  int* table2;
  int srcRange, dstRange, brightness, contrast, saturation;
  if (Lib().sws_getColorspaceDetails(Conv.Sws, &invTable, &srcRange, &table2, &dstRange, &brightness, &contrast,
                               &saturation) >= 0) {
    const int space = Frame->colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : int(Frame->colorspace);
    if (Frame->color_range != AVCOL_RANGE_UNSPECIFIED) srcRange = Frame->color_range == AVCOL_RANGE_JPEG;
    Lib().sws_setColorspaceDetails(Conv.Sws, Lib().sws_getCoefficients(space), srcRange, table2, dstRange, brightness, contrast,
                             saturation);
  }
  // The converter's fast paths mishandle a negative row step (the first
  // pixels of the picture come out wrong), so rows go top-down and are
  // turned over after.
  uint8_t* top = p + kDibHeaderSize;
  uint8_t* dst[4] = {top, nullptr, nullptr, nullptr};
  const int dstStride[4] = {int(rowBytes), 0, 0, 0};
  if (Lib().sws_scale(Conv.Sws, Frame->data, Frame->linesize, 0, h, dst, dstStride) != h) return false;
  Conv.RowSpare.resize(static_cast<size_t>(rowBytes));
  for (int32_t y = 0; y < h / 2; ++y) {
    uint8_t* a = top + rowBytes * y;
    uint8_t* b = bottom - rowBytes * y;
    std::memcpy(Conv.RowSpare.data(), a, size_t(rowBytes));
    std::memcpy(a, b, size_t(rowBytes));
    std::memcpy(b, Conv.RowSpare.data(), size_t(rowBytes));
  }
  return true;
}

// Frames read ahead of the caller, in order: one thread decodes (the decoder
// is serial) and the others turn decoded pictures into DIBs, each with a
// converter of its own, so that frame N is converted while N + 1 decodes.
// Every DIB comes from the same picture through the same steps as on the
// calling thread, so its bytes are the same.
struct TReadAhead {
  enum class TStep { Free, Decoded, Converting, Ready, Failed };
  struct TSlot {
    AVFrame* Picture = nullptr;  // a reference to the decoder's picture until converted
    TDib Dib;
    int64_t Index = -1;
    TStep Step = TStep::Free;
  };
  std::mutex Lock;
  // Each waiter has its own signal: a picture to convert (the converting
  // threads), a frame done (the caller), a slot given back (the decoding thread).
  std::condition_variable ToConvert, Done, SlotFree;
  std::vector<TSlot> Slots;  // frame i in slot i % size
  int64_t Limit = 0;         // frames from here on are not read ahead
  int64_t Taken = -1;        // the frame the caller holds: its slot is left alone
  int64_t DecodeEnd = -1;    // the decoding thread stopped before this frame (-1: running)
  bool Stop = false;
  std::thread Decoder;
  std::vector<std::thread> Converters;

  TSlot& SlotOf(int64_t Index) { return Slots[size_t(Index % int64_t(Slots.size()))]; }

  // A converting thread: the decoded picture of the lowest frame first.
  void Convert() {
    TConverter conv;
    for (;;) {
      TSlot* slot = nullptr;
      {
        std::unique_lock<std::mutex> g(Lock);
        ToConvert.wait(g, [&] {
          if (Stop) return true;
          for (TSlot& s : Slots)
            if (s.Step == TStep::Decoded && (!slot || s.Index < slot->Index)) slot = &s;
          return slot != nullptr;
        });
        if (Stop) return;
        slot->Step = TStep::Converting;
      }
      bool ok = false;
      try {
        ok = MakeDib(slot->Picture, conv, slot->Dib);
      } catch (...) {
      }
      Lib().av_frame_unref(slot->Picture);
      {
        std::lock_guard<std::mutex> g(Lock);
        slot->Step = ok ? TStep::Ready : TStep::Failed;
      }
      Done.notify_one();
    }
  }
};

// Reading ahead keeps two slots for each converting thread (one picture
// being converted, one decoded and waiting) and the caller's, within this
// many bytes of DIBs; pictures too large for three slots are read on the
// calling thread.
constexpr int64_t kReadAheadBytes = int64_t(256) << 20;

}  // namespace

struct TAviFile::TState {
  std::unique_ptr<TStream> OwnStream;
  TStream* Stream = nullptr;
  AVIOContext* Io = nullptr;
  AVFormatContext* Fmt = nullptr;
  AVStream* Video = nullptr;
  AVCodecContext* Dec = nullptr;
  AVPacket* Pkt = nullptr;
  // Cur: the newest decoded frame at or before the wanted one; Pending: one
  // decoded past it, kept for a later call.
  AVFrame* Cur = nullptr;
  AVFrame* Pending = nullptr;
  int64_t CurIndex = -1;
  int64_t PendingIndex = -1;
  bool DemuxEnd = false;
  bool Drained = false;
  bool Failed = false;
  int64_t OutIndex = -1;  // frame of the picture DecodeNext gave last (-1: unknown)
  int64_t StartTs = 0;
  AVRational FrameTime{0, 1};  // Scale / Rate
  int64_t Length = 0;
  int64_t IndexedFrames = 0;  // frames up to the last one the index lists
  TConverter Conv;
  TDib Dib;
  int64_t DibIndex = -1;

  ~TState() {
    CloseDecoder();
    if (Fmt) Lib().avformat_close_input(&Fmt);
    if (Io) {
      Lib().av_freep(&Io->buffer);
      Lib().avio_context_free(&Io);
    }
  }

  void CloseDecoder() {
    StopReadAhead();
    Lib().av_frame_free(&Cur);
    Lib().av_frame_free(&Pending);
    Lib().av_packet_free(&Pkt);
    Lib().avcodec_free_context(&Dec);
    Conv.Reset();
    Dib = TDib();
    DibIndex = CurIndex = PendingIndex = -1;
  }

  // The frames of the chunks sent to the decoder and not yet come out, in
  // file order. AVI stamps chunks in decoding order only, so a decoder that
  // reorders (B-frames) gives pictures whose own stamps are shifted; the
  // pictures come out in display order, and the n-th of them belongs to the
  // n-th smallest chunk frame, which is the front of this queue.
  std::deque<int64_t> Sent;

  int64_t FrameOf(int64_t Ts) const {
    return Lib().av_rescale_q_rnd(Ts - StartTs, Video->time_base, FrameTime,
                            AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
  }

  // Decodes the next picture into Out; false at the end or on an error.
  bool DecodeNext(AVFrame* Out) {
    for (;;) {
      const int r = Lib().avcodec_receive_frame(Dec, Out);
      if (r == 0) {
        OutIndex = -1;
        if (!Sent.empty()) {
          OutIndex = Sent.front();
          Sent.pop_front();
        }
        return true;
      }
      if (r != AVERROR(EAGAIN)) {
        if (r != AVERROR_EOF) Failed = true;
        return false;
      }
      if (DemuxEnd) {
        if (Drained) return false;
        Drained = true;
        Lib().avcodec_send_packet(Dec, nullptr);
        continue;
      }
      if (Lib().av_read_frame(Fmt, Pkt) < 0) {
        DemuxEnd = true;
        continue;
      }
      // An empty chunk repeats the frame before it: the timestamps show the
      // gap, and an empty packet would read as the end of the stream.
      if (Pkt->stream_index != Video->index || Pkt->size == 0) {
        Lib().av_packet_unref(Pkt);
        continue;
      }
      const int64_t ts = Pkt->dts != AV_NOPTS_VALUE ? Pkt->dts : Pkt->pts;
      const int s = Lib().avcodec_send_packet(Dec, Pkt);
      Lib().av_packet_unref(Pkt);
      if (s >= 0) Sent.push_back(ts == AV_NOPTS_VALUE ? -1 : FrameOf(ts));
      if (s < 0 && s != AVERROR(EAGAIN)) {
        Failed = true;
        return false;
      }
    }
  }

  bool SeekTo(int64_t Index) {
    const int64_t ts = StartTs + Lib().av_rescale_q(Index, FrameTime, Video->time_base);
    if (Lib().av_seek_frame(Fmt, Video->index, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
        Lib().av_seek_frame(Fmt, Video->index, StartTs, AVSEEK_FLAG_BACKWARD) < 0)
      return false;
    Lib().avcodec_flush_buffers(Dec);
    Lib().av_frame_unref(Cur);
    Lib().av_frame_unref(Pending);
    CurIndex = PendingIndex = -1;
    DemuxEnd = Drained = false;
    Sent.clear();
    return true;
  }

  // Whether reaching Index is cheaper from the key frame before it than by
  // decoding on from where the decoder stands. A stream with B-frames is
  // stamped in decoding order, so after a seek its pictures could not be
  // placed: it goes back to its start for a frame behind, and decodes through
  // to one ahead.
  bool WorthSeeking(int64_t Index, int64_t& Target) {
    const bool reorders = Dec->has_b_frames > 0;
    Target = reorders ? 0 : Index;
    if (Index < CurIndex) return true;
    if (reorders || CurIndex < 0 || Index - CurIndex <= kDecodeAheadLimit) return false;
    const int64_t ts = StartTs + Lib().av_rescale_q(Index, FrameTime, Video->time_base);
    const int e = Lib().av_index_search_timestamp(Video, ts, AVSEEK_FLAG_BACKWARD);
    if (e < 0) return false;
    const AVIndexEntry* entry = Lib().avformat_index_get_entry(Video, e);
    return entry && FrameOf(entry->timestamp) > CurIndex;
  }

  // Cur becomes the picture of frame Index: the frame itself, or the one
  // before it when the file repeats that one. False when there is none.
  bool Reach(int64_t Index) {
    int64_t target = Index;
    if (WorthSeeking(Index, target) && !SeekTo(target)) return false;
    for (;;) {
      if (PendingIndex >= 0) {
        if (PendingIndex > Index && CurIndex >= 0) return true;  // a repeated frame
        std::swap(Cur, Pending);
        CurIndex = PendingIndex;
        PendingIndex = -1;
        Lib().av_frame_unref(Pending);
        // A stream whose first picture is stamped after frame 0 shows that picture from the start.
        if (CurIndex >= Index) return true;
        continue;
      }
      if (CurIndex == Index) return true;
      if (!DecodeNext(Pending)) {
        // Empty chunks at the end repeat the last picture, as far as the index goes.
        return !Failed && CurIndex >= 0 && CurIndex < Index && Index < std::min(Length, IndexedFrames);
      }
      PendingIndex = std::max(OutIndex, CurIndex + 1);
    }
  }

  // Reading ahead, when running (see TReadAhead).
  std::unique_ptr<TReadAhead> Ahead;

  void StartReadAhead(int64_t First, int32_t Threads) {
    const int32_t converters = std::max(Threads - 1, 1);
    const int64_t frameBytes = std::max<int64_t>(int64_t(Video->codecpar->width) * Video->codecpar->height * 3, 1);
    const int64_t slotCount = std::min<int64_t>(kReadAheadBytes / frameBytes, 2 * converters + 1);
    if (slotCount < 3) return;
    auto a = std::make_unique<TReadAhead>();
    a->Slots.resize(size_t(slotCount));
    for (TReadAhead::TSlot& s : a->Slots)
      if (!(s.Picture = Lib().av_frame_alloc())) {
        FreeSlots(*a);
        return;  // the frames are read on the calling thread
      }
    a->Limit = Length;
    a->Taken = First - 1;
    Ahead = std::move(a);
    TReadAhead& ahead = *Ahead;
    try {
      ahead.Decoder = std::thread([this, First] { DecodeAhead(First); });
      for (int32_t i = 0; i < converters; ++i) ahead.Converters.emplace_back([&ahead] { ahead.Convert(); });
    } catch (...) {
      StopReadAhead();  // no thread to be had: the frames are read on the calling thread
    }
  }

  // The decoding thread: frames First, First + 1, ... into their slots, as
  // long as a slot is free, until Limit or the first frame that fails.
  void DecodeAhead(int64_t First) {
    TReadAhead& a = *Ahead;
    int64_t i = First;
    for (;; ++i) {
      {
        std::unique_lock<std::mutex> g(a.Lock);
        a.SlotFree.wait(g, [&] { return a.Stop || i < a.Taken + int64_t(a.Slots.size()); });
        if (a.Stop || i >= a.Limit) break;
      }
      TReadAhead::TSlot& slot = a.SlotOf(i);
      Failed = false;
      bool ok = false;
      try {
        ok = Reach(i) && Lib().av_frame_ref(slot.Picture, Cur) >= 0;
      } catch (...) {
      }
      {
        std::lock_guard<std::mutex> g(a.Lock);
        slot.Index = i;
        slot.Step = ok ? TReadAhead::TStep::Decoded : TReadAhead::TStep::Failed;
      }
      if (ok) a.ToConvert.notify_one();
      else a.Done.notify_one();
      if (!ok) {
        ++i;
        break;
      }
    }
    {
      std::lock_guard<std::mutex> g(a.Lock);
      a.DecodeEnd = i;
    }
    a.Done.notify_one();
  }

  // Frame Index from the read-ahead; Known false when it does not hold that
  // frame (then it has been stopped and the caller reads the frame itself).
  const std::vector<uint8_t>* FromReadAhead(int64_t Index, bool& Known) {
    TReadAhead& a = *Ahead;
    Known = false;
    if (Index == a.Taken + 1 && Index < a.Limit) {
      std::unique_lock<std::mutex> g(a.Lock);
      a.Taken = Index;
      a.SlotFree.notify_one();
      TReadAhead::TSlot& slot = a.SlotOf(Index);
      a.Done.wait(g, [&] {
        return (slot.Index == Index && (slot.Step == TReadAhead::TStep::Ready || slot.Step == TReadAhead::TStep::Failed)) ||
               (a.DecodeEnd >= 0 && Index >= a.DecodeEnd);
      });
      if (slot.Index == Index) {
        Known = true;
        return slot.Step == TReadAhead::TStep::Ready ? &slot.Dib.Bytes : nullptr;
      }
    }
    StopReadAhead();
    return nullptr;
  }

  void StopReadAhead() {
    if (!Ahead) return;
    {
      std::lock_guard<std::mutex> g(Ahead->Lock);
      Ahead->Stop = true;
    }
    Ahead->ToConvert.notify_all();
    Ahead->SlotFree.notify_all();
    if (Ahead->Decoder.joinable()) Ahead->Decoder.join();
    for (std::thread& t : Ahead->Converters) t.join();
    FreeSlots(*Ahead);
    Ahead.reset();
    DibIndex = -1;  // it may have been a slot's
  }

  static void FreeSlots(TReadAhead& A) {
    for (TReadAhead::TSlot& s : A.Slots) Lib().av_frame_free(&s.Picture);
  }
};

TAviFile::TAviFile() = default;

TAviFile::~TAviFile() = default;

bool TAviFile::Open(const std::string& FileName) {
  Close();
  std::unique_ptr<TStream> s;
  try {
    s = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
  } catch (...) {
    return false;
  }
  if (!Open(*s)) return false;
  F->OwnStream = std::move(s);
  return true;
}

bool TAviFile::Open(TStream& Stream) {
  Close();
  if (!LoadFfmpeg()) return false;
  auto st = std::make_unique<TState>();
  st->Stream = &Stream;
  try {
    Stream.SetPosition(0);
  } catch (...) {
    return false;
  }
  auto* buffer = static_cast<uint8_t*>(Lib().av_malloc(kIoBufferSize));
  if (!buffer) return false;
  st->Io = Lib().avio_alloc_context(buffer, kIoBufferSize, 0, &Stream, ReadPacket, nullptr, SeekStream);
  if (!st->Io) {
    Lib().av_free(buffer);
    return false;
  }
  st->Fmt = Lib().avformat_alloc_context();
  if (!st->Fmt) return false;
  st->Fmt->pb = st->Io;
  st->Fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
  if (Lib().avformat_open_input(&st->Fmt, nullptr, Lib().av_find_input_format("avi"), nullptr) < 0) return false;
  F = std::move(st);
  return true;
}

bool TAviFile::GetVideoStream() {
  if (!F || !F->Fmt) return false;
  F->CloseDecoder();
  F->Video = nullptr;
  for (unsigned i = 0; i < F->Fmt->nb_streams; ++i)
    if (F->Fmt->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      F->Video = F->Fmt->streams[i];
      break;
    }
  if (!F->Video) return false;
  AVStream* v = F->Video;
  for (unsigned i = 0; i < F->Fmt->nb_streams; ++i)
    if (F->Fmt->streams[i] != v) F->Fmt->streams[i]->discard = AVDISCARD_ALL;
  F->StartTs = v->start_time == AV_NOPTS_VALUE ? 0 : v->start_time;
  // The demuxer's time base is the stream header's Scale / Rate, reduced.
  F->FrameTime = v->time_base;
  // The index lists the chunks that hold pictures; frames after its last
  // one can only repeat it, so a header that claims more is not believed.
  F->IndexedFrames = 0;
  if (const int n = Lib().avformat_index_get_entries_count(v); n > 0)
    if (const AVIndexEntry* last = Lib().avformat_index_get_entry(v, n - 1))
      F->IndexedFrames = std::max<int64_t>(F->FrameOf(last->timestamp) + 1, 0);
  int64_t length = v->nb_frames > 0 ? v->nb_frames : v->duration > 0 ? v->duration : F->IndexedFrames;
  if (F->IndexedFrames > 0) length = std::min(length, F->IndexedFrames);
  F->Length = std::clamp<int64_t>(length, 0, INT32_MAX);
  return true;
}

bool TAviFile::StreamInfo(TAviStreamInfo& Info) const {
  if (!F || !F->Video) return false;
  const AVStream* v = F->Video;
  const AVCodecParameters* par = v->codecpar;
  Info = TAviStreamInfo{};
  Info.fccType = streamtypeVIDEO;
  Info.fccHandler = par->codec_tag;
  Info.Scale = uint32_t(std::max(F->FrameTime.num, 0));
  Info.Rate = uint32_t(std::max(F->FrameTime.den, 0));
  Info.Start = uint32_t(std::clamp<int64_t>(F->StartTs, 0, UINT32_MAX));
  Info.Length = uint32_t(F->Length);
  Info.Width = par->width;
  Info.Height = par->height;
  Info.BitCount = par->bits_per_coded_sample;
  if (const AVCodecDescriptor* d = Lib().avcodec_descriptor_get(par->codec_id)) Info.Name = d->name;
  // What one 24-bit picture takes; 0 for a frame size the decoder refuses.
  if (Info.Width > 0 && Info.Height > 0 && int64_t(Info.Width) * Info.Height <= kMaxBitmapPixels)
    Info.SuggestedBufferSize = uint32_t(std::min<int64_t>(int64_t(Info.Width) * Info.Height * 3, UINT32_MAX));
  return true;
}

bool TAviFile::GetFrameOpen() {
  if (!F || !F->Video) return false;
  F->CloseDecoder();
  const AVCodecParameters* par = F->Video->codecpar;
  if (par->width <= 0 || par->height <= 0 || int64_t(par->width) * par->height > kMaxBitmapPixels) return false;
  const AVCodec* codec = Lib().avcodec_find_decoder(par->codec_id);
  if (!codec) return false;
  F->Dec = Lib().avcodec_alloc_context3(codec);
  if (!F->Dec || Lib().avcodec_parameters_to_context(F->Dec, par) < 0) return F->CloseDecoder(), false;
  F->Dec->pkt_timebase = F->Video->time_base;
  F->Dec->thread_count = 0;  // as many as the machine has
  if (Lib().avcodec_open2(F->Dec, codec, nullptr) < 0) return F->CloseDecoder(), false;
  F->Pkt = Lib().av_packet_alloc();
  F->Cur = Lib().av_frame_alloc();
  F->Pending = Lib().av_frame_alloc();
  if (!F->Pkt || !F->Cur || !F->Pending) return F->CloseDecoder(), false;
  F->Failed = false;
  F->DemuxEnd = F->Drained = false;
  return true;
}

const std::vector<uint8_t>* TAviFile::GetFrame(int32_t Index) {
  if (!F || !F->Dec || Index < 0) return nullptr;
  if (Index == F->DibIndex) return F->Ahead ? &F->Ahead->SlotOf(Index).Dib.Bytes : &F->Dib.Bytes;
  if (!F->Ahead && FReadAhead > 1 && Index == F->DibIndex + 1 && Index + 1 < F->Length)
    F->StartReadAhead(Index, FReadAhead);
  if (F->Ahead) {
    bool known = false;
    const std::vector<uint8_t>* dib = F->FromReadAhead(Index, known);
    if (known) {
      F->DibIndex = dib ? Index : -1;
      return dib;
    }
  }
  F->Failed = false;
  if (!F->Reach(Index) || !MakeDib(F->Cur, F->Conv, F->Dib)) {
    F->DibIndex = -1;
    return nullptr;
  }
  F->DibIndex = Index;
  return &F->Dib.Bytes;
}

void TAviFile::SetReadAhead(int32_t Threads) {
  FReadAhead = Threads;
  if (F && Threads <= 1) F->StopReadAhead();
}

void TAviFile::GetFrameClose() {
  if (F) F->CloseDecoder();
}

void TAviFile::Close() { F.reset(); }

}  // namespace kv

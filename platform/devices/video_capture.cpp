// Capture through the system's device library: "v4l2" for cameras, "x11grab"
// for the screen and its windows, "lavfi" for the test pattern. Whatever the
// source, packets go through a decoder and the scaler into 24-bit rows, so
// the test pattern exercises the path a camera takes.
#include "platform/devices/video_capture.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/shared_library.h"
#include "platform/ui/message_window.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace kv {

namespace {

// Opened on first use, as the AVI reader does: the device library pulls in
// the filter graph, X and camera libraries that only capture needs.
#define KV_CAPTURE_FUNCTIONS(X) \
  X(avdevice_register_all) \
  X(av_log_set_level) \
  X(av_strerror) \
  X(av_dict_set) \
  X(av_dict_free) \
  X(av_find_input_format) \
  X(avformat_alloc_context) \
  X(avformat_open_input) \
  X(avformat_find_stream_info) \
  X(av_find_best_stream) \
  X(avformat_close_input) \
  X(av_read_frame) \
  X(avcodec_find_decoder) \
  X(avcodec_find_encoder) \
  X(avcodec_alloc_context3) \
  X(avcodec_free_context) \
  X(avcodec_parameters_to_context) \
  X(avcodec_parameters_from_context) \
  X(avcodec_open2) \
  X(avcodec_send_packet) \
  X(avcodec_receive_frame) \
  X(avcodec_send_frame) \
  X(avcodec_receive_packet) \
  X(av_packet_alloc) \
  X(av_packet_free) \
  X(av_packet_unref) \
  X(av_packet_rescale_ts) \
  X(av_new_packet) \
  X(av_write_frame) \
  X(av_frame_alloc) \
  X(av_frame_free) \
  X(av_frame_get_buffer) \
  X(av_frame_make_writable) \
  X(av_get_pix_fmt_name) \
  X(avformat_alloc_output_context2) \
  X(avformat_new_stream) \
  X(avformat_write_header) \
  X(av_interleaved_write_frame) \
  X(av_write_trailer) \
  X(avio_open) \
  X(avio_closep) \
  X(avformat_free_context) \
  X(sws_getCachedContext) \
  X(sws_scale) \
  X(sws_freeContext)

struct TCapLib {
#define KV_CAP_POINTER(Name) decltype(&::Name) Name = nullptr;
  KV_CAPTURE_FUNCTIONS(KV_CAP_POINTER)
#undef KV_CAP_POINTER
  TSharedLibrary Libs[5];
  bool Ready = false;
  std::string Error;

  TCapLib() {
    const char* names[5] = {"libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
                            "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
                            "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
                            "libavdevice.so." AV_STRINGIFY(LIBAVDEVICE_VERSION_MAJOR),
                            "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR)};
    for (int i = 0; i < 5; ++i)
      if (!Libs[i].Load({names[i]})) {
        Error = Libs[i].Error();
        return;
      }
    bool all = true;
#define KV_CAP_BIND(Name) all = Find(Name, #Name) && all;
    KV_CAPTURE_FUNCTIONS(KV_CAP_BIND)
#undef KV_CAP_BIND
    if (!all) return;
    Ready = true;
    av_log_set_level(AV_LOG_QUIET);
    avdevice_register_all();
  }

  template <typename F> bool Find(F& Fn, const char* Name) {
    for (TSharedLibrary& l : Libs)
      if (void* p = l.Symbol(Name)) {
        Fn = reinterpret_cast<F>(p);
        return true;
      }
    Error = std::string("Funktion ") + Name + " fehlt";
    return false;
  }
};

// Never closed: the libraries keep threads and caches until the process ends.
const TCapLib& CapLib() {
  static const TCapLib* l = new TCapLib;
  return *l;
}

std::string AvError(int Code) {
  char buf[128] = {};
  CapLib().av_strerror(Code, buf, sizeof buf);
  return buf;
}

int32_t DibRowBytes(int32_t Width) { return ((Width * 24 + 31) / 32) * 4; }

// Parses "WxH@R" or "WxH@R:S" (a pattern that ends after S seconds, as an
// unplugged camera does); leaves the values alone where the text says nothing.
void ParseSizeRate(const std::string& Text, int32_t& W, int32_t& H, double& Rate, double& Seconds) {
  int w = 0, h = 0;
  double r = 0, s = 0;
  if (std::sscanf(Text.c_str(), "%dx%d@%lf:%lf", &w, &h, &r, &s) >= 2 && w > 0 && h > 0 && w <= 8192 && h <= 8192) {
    W = w;
    H = h;
    if (r > 0 && r <= 1000) Rate = r;
    if (s > 0 && s < 1e6) Seconds = s;
  }
}

constexpr UINT WM_CAPTURE_FRAME = WM_USER + 1;
constexpr UINT WM_CAPTURE_ENDED = WM_USER + 2;

// The open input: demuxer, decoder and the scaler to 24-bit rows.
struct TInput {
  AVFormatContext* Fmt = nullptr;
  AVCodecContext* Dec = nullptr;
  SwsContext* Sws = nullptr;
  std::vector<uint8_t> Scratch;  // the scaler's padded rows
  AVPacket* Pkt = nullptr;
  AVFrame* Frame = nullptr;
  int Stream = -1;
  AVRational TimeBase{1, 1};
  double Rate = 0;
  std::atomic<bool>* Stop = nullptr;
  bool Paced = false;  // a generator: frames are read no faster than their time stamps

  ~TInput() {
    const TCapLib& l = CapLib();
    if (Sws) l.sws_freeContext(Sws);
    if (Frame) l.av_frame_free(&Frame);
    if (Pkt) l.av_packet_free(&Pkt);
    if (Dec) l.avcodec_free_context(&Dec);
    if (Fmt) l.avformat_close_input(&Fmt);
  }

  static int Interrupt(void* Opaque) {
    auto* stop = static_cast<std::atomic<bool>*>(Opaque);
    return stop && stop->load() ? 1 : 0;
  }

  bool Open(const TCaptureDevice& D, int32_t W, int32_t H, double R, std::atomic<bool>* StopFlag, std::string& Err) {
    const TCapLib& l = CapLib();
    Stop = StopFlag;
    AVDictionary* opts = nullptr;
    std::string url;
    const char* demuxer = nullptr;
    char buf[64];
    switch (D.Kind) {
      case cskCamera:
        demuxer = "video4linux2";
        url = D.Path;
        if (W > 0 && H > 0) {
          std::snprintf(buf, sizeof buf, "%dx%d", W, H);
          l.av_dict_set(&opts, "video_size", buf, 0);
        }
        if (R > 0) {
          std::snprintf(buf, sizeof buf, "%g", R);
          l.av_dict_set(&opts, "framerate", buf, 0);
        }
        break;
      case cskTestPattern: {
        demuxer = "lavfi";
        int32_t w = 320, h = 240;
        double rate = 30, seconds = 0;
        ParseSizeRate(D.Path, w, h, rate, seconds);
        if (W > 0 && H > 0) w = W, h = H;
        if (R > 0) rate = R;
        std::snprintf(buf, sizeof buf, "testsrc2=size=%dx%d:rate=%g", w, h, rate);
        url = buf;
        if (seconds > 0) {
          std::snprintf(buf, sizeof buf, ":duration=%g", seconds);
          url += buf;
        }
        Paced = true;
        Rate = rate;  // the generator's own stream states none before it runs
        break;
      }
      case cskScreen:
        demuxer = "x11grab";
        url = D.Path;
        if (D.WindowId) l.av_dict_set(&opts, "window_id", std::to_string(D.WindowId).c_str(), 0);
        l.av_dict_set(&opts, "draw_mouse", "0", 0);
        if (R > 0) {
          std::snprintf(buf, sizeof buf, "%g", R);
          l.av_dict_set(&opts, "framerate", buf, 0);
        }
        break;
    }
    const AVInputFormat* in = l.av_find_input_format(demuxer);
    if (!in) {
      l.av_dict_free(&opts);
      Err = std::string("Die Eingabe \"") + demuxer + "\" fehlt in der Gerätebibliothek";
      return false;
    }
    Fmt = l.avformat_alloc_context();
    Fmt->interrupt_callback.callback = &TInput::Interrupt;
    Fmt->interrupt_callback.opaque = Stop;
    int rc = l.avformat_open_input(&Fmt, url.c_str(), in, &opts);
    l.av_dict_free(&opts);
    if (rc < 0) {
      Fmt = nullptr;  // freed by the failed open
      Err = AvError(rc);
      return false;
    }
    if (D.Kind != cskTestPattern) l.avformat_find_stream_info(Fmt, nullptr);
    Stream = l.av_find_best_stream(Fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (Stream < 0) {
      Err = "Das Gerät liefert kein Video";
      return false;
    }
    AVStream* s = Fmt->streams[Stream];
    TimeBase = s->time_base;
    if (Rate <= 0 && s->avg_frame_rate.num > 0 && s->avg_frame_rate.den > 0) Rate = av_q2d(s->avg_frame_rate);
    if (Rate <= 0 && s->r_frame_rate.num > 0 && s->r_frame_rate.den > 0) Rate = av_q2d(s->r_frame_rate);
    const AVCodec* codec = l.avcodec_find_decoder(s->codecpar->codec_id);
    if (!codec) {
      Err = "Kein Decoder für das Format des Geräts";
      return false;
    }
    Dec = l.avcodec_alloc_context3(codec);
    if (!Dec || l.avcodec_parameters_to_context(Dec, s->codecpar) < 0 || l.avcodec_open2(Dec, codec, nullptr) < 0) {
      Err = "Der Decoder des Geräts lässt sich nicht öffnen";
      return false;
    }
    Pkt = l.av_packet_alloc();
    Frame = l.av_frame_alloc();
    if (!Pkt || !Frame) {
      Err = "Kein Speicher";
      return false;
    }
    return true;
  }

  int32_t Width() const { return Dec ? Dec->width : 0; }
  int32_t Height() const { return Dec ? Dec->height : 0; }

  // The next decoded frame in Frame; 0, or the library's error (AVERROR_EOF at the end).
  int Next() {
    const TCapLib& l = CapLib();
    for (;;) {
      int rc = l.avcodec_receive_frame(Dec, Frame);
      if (rc == 0) return 0;
      if (rc != AVERROR(EAGAIN)) return rc;
      rc = l.av_read_frame(Fmt, Pkt);
      if (rc == AVERROR(EAGAIN)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      if (rc < 0) return rc;
      if (Pkt->stream_index == Stream) {
        const int sent = l.avcodec_send_packet(Dec, Pkt);
        l.av_packet_unref(Pkt);
        // A damaged camera frame is skipped; the next one decodes.
        if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA) return sent;
      } else {
        l.av_packet_unref(Pkt);
      }
    }
  }

  // Seconds of the current frame on the source's clock, or a negative value.
  double FrameSeconds() const {
    const int64_t ts = Frame->best_effort_timestamp != AV_NOPTS_VALUE ? Frame->best_effort_timestamp : Frame->pts;
    return ts == AV_NOPTS_VALUE ? -1 : double(ts) * av_q2d(TimeBase);
  }

  // The current frame as top-down 24-bit rows padded to 4 bytes.
  bool ToDib(std::vector<uint8_t>& Out, int32_t& W, int32_t& H) {
    const TCapLib& l = CapLib();
    W = Frame->width;
    H = Frame->height;
    if (W <= 0 || H <= 0) return false;
    Sws = l.sws_getCachedContext(Sws, W, H, AVPixelFormat(Frame->format), W, H, AV_PIX_FMT_BGR24, SWS_BILINEAR,
                                 nullptr, nullptr, nullptr);
    if (!Sws) return false;
    const int32_t row = DibRowBytes(W);
    // The scaler's vector code writes past the end of its rows and of the
    // last one, so it draws into padded, aligned rows that are then copied.
    const size_t rgb = size_t(W) * 3;
    const size_t padded = (rgb + 63) & ~size_t(63);
    Scratch.resize(padded * (size_t(H) + 1) + 64);
    uint8_t* dst[4] = {Scratch.data(), nullptr, nullptr, nullptr};
    int lines[4] = {int(padded), 0, 0, 0};
    l.sws_scale(Sws, Frame->data, Frame->linesize, 0, H, dst, lines);
    Out.assign(size_t(row) * H, 0);
    for (int32_t y = 0; y < H; ++y) std::memcpy(Out.data() + size_t(y) * row, Scratch.data() + size_t(y) * padded, rgb);
    return true;
  }
};

// An AVI file with MJPEG video, written by the worker frame by frame.
struct TRecorder {
  AVFormatContext* Out = nullptr;
  AVCodecContext* Enc = nullptr;
  AVStream* Stream = nullptr;
  SwsContext* Sws = nullptr;
  AVFrame* Yuv = nullptr;
  AVPacket* Pkt = nullptr;
  double Rate = 15;
  AVStream* Audio = nullptr;
  int32_t AudioChannels = 0;
  double StartSeconds = -1;
  int64_t NextIndex = 0;
  uint64_t Frames = 0;
  std::string Error;
  bool HeaderWritten = false;

  ~TRecorder() {
    const TCapLib& l = CapLib();
    if (Sws) l.sws_freeContext(Sws);
    if (Yuv) l.av_frame_free(&Yuv);
    if (Pkt) l.av_packet_free(&Pkt);
    if (Enc) l.avcodec_free_context(&Enc);
    if (Out) {
      if (Out->pb) l.avio_closep(&Out->pb);
      l.avformat_free_context(Out);
    }
  }

  bool Open(const std::string& FileName, int32_t W, int32_t H, double FrameRate, int32_t Quality, int32_t AudioRate,
            int32_t Channels, std::string& Err) {
    const TCapLib& l = CapLib();
    Rate = FrameRate;
    // Whole frames per second: the file's rate is Rate / 1 or, for a
    // fractional rate, in thousandths.
    AVRational tb = std::fabs(FrameRate - std::round(FrameRate)) < 1e-9
                        ? AVRational{1, int(std::lround(FrameRate))}
                        : AVRational{1000, int(std::lround(FrameRate * 1000))};
    if (l.avformat_alloc_output_context2(&Out, nullptr, "avi", FileName.c_str()) < 0 || !Out) {
      Err = "Das AVI-Format fehlt in der Bibliothek";
      return false;
    }
    const AVCodec* codec = l.avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec) {
      Err = "Der MJPEG-Encoder fehlt in der Bibliothek";
      return false;
    }
    Enc = l.avcodec_alloc_context3(codec);
    Enc->width = W;
    Enc->height = H;
    Enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
    Enc->time_base = tb;
    Enc->framerate = AVRational{tb.den, tb.num};
    Enc->flags |= AV_CODEC_FLAG_QSCALE;
    // The encoder's scale runs from 2 (best) to 31.
    Enc->global_quality = FF_QP2LAMBDA * (2 + (100 - std::clamp(Quality, 1, 100)) * 29 / 99);
    if (Out->oformat->flags & AVFMT_GLOBALHEADER) Enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (l.avcodec_open2(Enc, codec, nullptr) < 0) {
      Err = "Der MJPEG-Encoder lässt sich nicht öffnen";
      return false;
    }
    Stream = l.avformat_new_stream(Out, nullptr);
    Stream->time_base = tb;
    l.avcodec_parameters_from_context(Stream->codecpar, Enc);
    if (AudioRate > 0 && Channels > 0) {
      // Plain 16-bit PCM: the samples are written as they were recorded.
      Audio = l.avformat_new_stream(Out, nullptr);
      AVCodecParameters* p = Audio->codecpar;
      p->codec_type = AVMEDIA_TYPE_AUDIO;
      p->codec_id = AV_CODEC_ID_PCM_S16LE;
      p->sample_rate = AudioRate;
      p->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
      p->ch_layout.nb_channels = Channels;
      p->bits_per_coded_sample = 16;
      p->block_align = 2 * Channels;
      p->bit_rate = int64_t(AudioRate) * Channels * 16;
      Audio->time_base = AVRational{1, AudioRate};
      AudioChannels = Channels;
    }
    int rc = l.avio_open(&Out->pb, FileName.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) {
      Err = AvError(rc);
      return false;
    }
    rc = l.avformat_write_header(Out, nullptr);
    if (rc < 0) {
      Err = AvError(rc);
      return false;
    }
    HeaderWritten = true;
    Yuv = l.av_frame_alloc();
    Yuv->format = AV_PIX_FMT_YUVJ420P;
    Yuv->width = W;
    Yuv->height = H;
    Pkt = l.av_packet_alloc();
    if (l.av_frame_get_buffer(Yuv, 0) < 0 || !Pkt) {
      Err = "Kein Speicher";
      return false;
    }
    return true;
  }

  void Drain() {
    const TCapLib& l = CapLib();
    while (l.avcodec_receive_packet(Enc, Pkt) == 0) {
      l.av_packet_rescale_ts(Pkt, Enc->time_base, Stream->time_base);
      Pkt->stream_index = Stream->index;
      // With sound the file is written in order of arrival: the samples come
      // at the end, and interleaving would hold every frame until then.
      const int rc = Audio ? l.av_write_frame(Out, Pkt) : l.av_interleaved_write_frame(Out, Pkt);
      if (Audio) CapLib().av_packet_unref(Pkt);
      if (rc < 0 && Error.empty()) Error = AvError(rc);
    }
  }

  // Puts the frame at its place on the file's clock (Seconds of the source).
  void Add(const AVFrame* Frame, double Seconds) {
    if (!Error.empty()) return;
    if (Frame->width != Enc->width || Frame->height != Enc->height) return;  // a size change is not recorded
    if (StartSeconds < 0) StartSeconds = Seconds;
    const int64_t index = Seconds < 0 ? NextIndex : int64_t(std::floor((Seconds - StartSeconds) * Rate + 1e-6));
    if (index < NextIndex) return;
    const TCapLib& l = CapLib();
    Sws = l.sws_getCachedContext(Sws, Frame->width, Frame->height, AVPixelFormat(Frame->format), Enc->width,
                                 Enc->height, AV_PIX_FMT_YUVJ420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    // The encoder may still hold the buffer of the frame before.
    if (!Sws || l.av_frame_make_writable(Yuv) < 0) return;
    l.sws_scale(Sws, Frame->data, Frame->linesize, 0, Frame->height, Yuv->data, Yuv->linesize);
    Yuv->pts = index;
    Yuv->quality = Enc->global_quality;
    if (l.avcodec_send_frame(Enc, Yuv) < 0) return;
    NextIndex = index + 1;
    ++Frames;
    Drain();
  }

  void WriteAudio(const std::vector<int16_t>& Samples) {
    const TCapLib& l = CapLib();
    const size_t chunk = size_t(std::max(1, Audio->codecpar->sample_rate / 10)) * size_t(AudioChannels);
    int64_t at = 0;
    for (size_t i = 0; i < Samples.size() && Error.empty(); i += chunk) {
      const size_t n = std::min(chunk, Samples.size() - i);
      AVPacket* p = l.av_packet_alloc();
      if (!p || l.av_new_packet(p, int(n * 2)) < 0) {
        l.av_packet_free(&p);
        Error = "Kein Speicher";
        return;
      }
      for (size_t k = 0; k < n; ++k) {
        const uint16_t v = uint16_t(Samples[i + k]);
        p->data[2 * k] = uint8_t(v & 0xFF);
        p->data[2 * k + 1] = uint8_t(v >> 8);
      }
      p->stream_index = Audio->index;
      p->pts = p->dts = at;
      p->duration = int64_t(n / size_t(AudioChannels));
      at += p->duration;
      const int rc = l.av_write_frame(Out, p);
      if (rc < 0) Error = AvError(rc);
      l.av_packet_free(&p);
    }
  }

  bool Finish(std::string& Err, const std::vector<int16_t>* Samples = nullptr) {
    const TCapLib& l = CapLib();
    if (HeaderWritten) {
      l.avcodec_send_frame(Enc, nullptr);
      Drain();
      if (Audio && Samples) WriteAudio(*Samples);
      const int rc = l.av_write_trailer(Out);
      if (rc < 0 && Error.empty()) Error = AvError(rc);
      HeaderWritten = false;
    }
    if (Out && Out->pb) l.avio_closep(&Out->pb);
    Err = Error;
    return Error.empty();
  }
};

}  // namespace

struct TCaptureSession::TState {
  std::atomic<bool> Stop{false};
  std::thread Worker;
  std::unique_ptr<TInput> Input;
  HWND Wnd = 0;

  mutable std::mutex Lock;
  // The frame waiting for the UI thread, and whether it is still waiting.
  std::vector<uint8_t> Slot;
  int32_t SlotW = 0, SlotH = 0;
  bool Pending = false;
  bool Deliver = true;
  bool Requested = false;
  uint32_t IntervalMs = 0;
  std::chrono::steady_clock::time_point LastDelivery{};
  uint64_t Delivered = 0, Dropped = 0;
  std::string EndMessage;
  TCaptureFormat Format;
  // Counts the messages posted to Wnd, for a wait on this session alone.
  std::condition_variable PostedCv;
  uint64_t Posted = 0;

  std::mutex RecLock;
  std::unique_ptr<TRecorder> Rec;
  uint64_t RecFrames = 0;

  void Run() {
    std::vector<uint8_t> work;
    const auto start = std::chrono::steady_clock::now();
    double firstSeconds = -1;
    while (!Stop.load()) {
      const int rc = Input->Next();
      if (Stop.load()) break;
      if (rc < 0) {
        std::lock_guard<std::mutex> g(Lock);
        EndMessage = rc == AVERROR_EOF ? std::string("Ende des Datenstroms") : AvError(rc);
        PostMessage(Wnd, WM_CAPTURE_ENDED);
        ++Posted;
        PostedCv.notify_all();
        return;
      }
      const double seconds = Input->FrameSeconds();
      if (Input->Paced && seconds >= 0) {
        // A generator runs as fast as the processor allows; a camera's clock is its own.
        if (firstSeconds < 0) firstSeconds = seconds;
        const auto due = start + std::chrono::microseconds(int64_t((seconds - firstSeconds) * 1e6));
        while (!Stop.load() && std::chrono::steady_clock::now() < due)
          std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
              due - std::chrono::steady_clock::now(), std::chrono::milliseconds(20)));
      }
      {
        std::lock_guard<std::mutex> g(RecLock);
        if (Rec) {
          Rec->Add(Input->Frame, seconds);
          RecFrames = Rec->Frames;
        }
      }
      bool want;
      {
        std::lock_guard<std::mutex> g(Lock);
        const auto now = std::chrono::steady_clock::now();
        want = Requested || (Deliver && (IntervalMs == 0 || now - LastDelivery >= std::chrono::milliseconds(IntervalMs)));
        if (want && Pending) {
          ++Dropped;
          want = false;
        }
      }
      if (!want) continue;
      int32_t w = 0, h = 0;
      if (!Input->ToDib(work, w, h)) continue;
      std::lock_guard<std::mutex> g(Lock);
      if (Pending) {  // the UI thread took nothing since the check above
        ++Dropped;
        continue;
      }
      Slot.swap(work);
      SlotW = w;
      SlotH = h;
      Pending = true;
      Requested = false;
      LastDelivery = std::chrono::steady_clock::now();
      PostMessage(Wnd, WM_CAPTURE_FRAME);
      ++Posted;
      PostedCv.notify_all();
    }
  }
};

std::string V4l2VersionText(uint32_t Version) {
  return std::to_string((Version >> 16) & 0xFF) + "." + std::to_string((Version >> 8) & 0xFF) + "." +
         std::to_string(Version & 0xFF);
}

bool CaptureLibrariesAvailable(std::string* Error) {
  const TCapLib& l = CapLib();
  if (!l.Ready && Error) *Error = l.Error;
  return l.Ready;
}

std::vector<TCaptureDevice> ListCaptureDevices() {
  std::vector<TCaptureDevice> out;
  std::vector<std::string> nodes;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/dev", ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("video", 0) == 0 && name.size() > 5 &&
        std::all_of(name.begin() + 5, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      nodes.push_back(e.path().string());
  }
  std::sort(nodes.begin(), nodes.end(), [](const std::string& a, const std::string& b) {
    return std::atoi(a.c_str() + 10) < std::atoi(b.c_str() + 10);
  });
  for (const std::string& node : nodes) {
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    v4l2_capability cap{};
    if (::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
      const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
      // Metadata nodes of the same camera are no capture devices.
      if ((caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING)) {
        TCaptureDevice d;
        d.Name.assign(reinterpret_cast<const char*>(cap.card), strnlen(reinterpret_cast<const char*>(cap.card), sizeof cap.card));
        d.Version = V4l2VersionText(cap.version);
        d.Path = node;
        d.Kind = cskCamera;
        out.push_back(d);
      }
    }
    ::close(fd);
  }
  if (const char* v = std::getenv(kCaptureTestSourceVar); v && *v) {
    TCaptureDevice d;
    d.Name = "Testbild";
    d.Version = "testsrc2";
    d.Path = v;
    d.Kind = cskTestPattern;
    out.push_back(d);
  }
  return out;
}

TCaptureDevice ScreenCaptureDevice(uint32_t WindowId) {
  TCaptureDevice d;
  d.Name = "Bildschirm";
  const char* display = std::getenv("DISPLAY");
  d.Path = display && *display ? display : ":0";
  d.Kind = cskScreen;
  d.WindowId = WindowId;
  return d;
}

bool GrabSingleFrame(const TCaptureDevice& Device, TBitmap& Into, std::string* Error) {
  std::string err;
  if (!CaptureLibrariesAvailable(&err)) {
    if (Error) *Error = err;
    return false;
  }
  std::atomic<bool> stop{false};
  TInput in;
  if (!in.Open(Device, 0, 0, 0, &stop, err)) {
    if (Error) *Error = err;
    return false;
  }
  const int rc = in.Next();
  std::vector<uint8_t> rows;
  int32_t w = 0, h = 0;
  if (rc < 0 || !in.ToDib(rows, w, h)) {
    if (Error) *Error = rc < 0 ? AvError(rc) : std::string("Das Gerät liefert kein Bild");
    return false;
  }
  Into.AllocateForOverwrite(w, h, pf24bit);
  const int32_t row = DibRowBytes(w);
  for (int32_t y = 0; y < h; ++y) std::memcpy(Into.ScanLine(y), rows.data() + size_t(y) * row, size_t(row));
  Into.Modified();
  return true;
}

TCaptureSession::TCaptureSession() = default;

TCaptureSession::~TCaptureSession() { Close(); }

bool TCaptureSession::Open(const TCaptureDevice& Device, std::string* Error, int32_t Width, int32_t Height,
                           double FrameRate) {
  Close();
  std::string err;
  if (!CaptureLibrariesAvailable(&err)) {
    if (Error) *Error = "Die Videobibliotheken fehlen: " + err;
    return false;
  }
  auto s = std::make_shared<TState>();
  s->Input = std::make_unique<TInput>();
  if (!s->Input->Open(Device, Width, Height, FrameRate, &s->Stop, err)) {
    if (Error) *Error = Device.Name + ": " + err;
    return false;
  }
  s->Format.Width = s->Input->Width();
  s->Format.Height = s->Input->Height();
  s->Format.FrameRate = s->Input->Rate;
  if (const char* n = CapLib().av_get_pix_fmt_name(s->Input->Dec->pix_fmt)) s->Format.PixelFormat = n;
  else if (s->Input->Dec->codec_id == AV_CODEC_ID_MJPEG) s->Format.PixelFormat = "mjpeg";
  FDevice = Device;
  s->Wnd = AllocateHWnd([this](TMessage& Msg) {
    if (Msg.Msg == WM_CAPTURE_FRAME) Deliver();
    else if (Msg.Msg == WM_CAPTURE_ENDED) Ended();
  });
  F = s;
  TState* raw = s.get();
  s->Worker = std::thread([raw] { raw->Run(); });
  return true;
}

void TCaptureSession::Ended() {
  if (!F) return;
  std::string message;
  {
    std::lock_guard<std::mutex> g(F->Lock);
    message = F->EndMessage;
  }
  const std::string name = FDevice.Name;
  TEndedEvent ended = OnEnded;
  Close();
  if (ended) ended("Das Videogerät \"" + name + "\" liefert keine Bilder mehr (" + message + ").");
}

bool TCaptureSession::HandleOwnMessage(uint32_t MaxWaitMs) {
  std::shared_ptr<TState> s = F;
  if (!s) return false;
  uint64_t seen = 0;
  {
    std::lock_guard<std::mutex> g(s->Lock);
    seen = s->Posted;
  }
  for (int round = 0; round < 2; ++round) {
    if (RemovePendingMessage(s->Wnd, WM_CAPTURE_FRAME)) {
      Deliver();
      return true;
    }
    if (RemovePendingMessage(s->Wnd, WM_CAPTURE_ENDED)) {
      Ended();
      return true;
    }
    if (round == 1) break;
    // Nothing queued yet: sleep until the worker posts (a post after the
    // count was read changes it) or the time is up.
    std::unique_lock<std::mutex> g(s->Lock);
    if (!s->PostedCv.wait_for(g, std::chrono::milliseconds(MaxWaitMs), [&] { return s->Posted != seen; })) return false;
  }
  return false;
}

void TCaptureSession::Close() {
  if (!F) return;
  std::shared_ptr<TState> s = std::move(F);
  s->Stop = true;
  if (s->Worker.joinable()) s->Worker.join();
  {
    std::lock_guard<std::mutex> g(s->RecLock);
    if (s->Rec) {
      std::string ignored;
      s->Rec->Finish(ignored);
      s->Rec.reset();
    }
  }
  DeallocateHWnd(s->Wnd);
}

bool TCaptureSession::IsOpen() const { return F != nullptr; }

TCaptureFormat TCaptureSession::Format() const { return F ? F->Format : TCaptureFormat{}; }

void TCaptureSession::SetDeliveryInterval(uint32_t Ms) {
  if (!F) return;
  std::lock_guard<std::mutex> g(F->Lock);
  F->IntervalMs = Ms;
}

void TCaptureSession::SetDelivering(bool Value) {
  if (!F) return;
  std::lock_guard<std::mutex> g(F->Lock);
  F->Deliver = Value;
}

bool TCaptureSession::Delivering() const {
  if (!F) return false;
  std::lock_guard<std::mutex> g(F->Lock);
  return F->Deliver;
}

void TCaptureSession::RequestFrame() {
  if (!F) return;
  std::lock_guard<std::mutex> g(F->Lock);
  F->Requested = true;
}

uint64_t TCaptureSession::DeliveredFrames() const {
  if (!F) return 0;
  std::lock_guard<std::mutex> g(F->Lock);
  return F->Delivered;
}

uint64_t TCaptureSession::DroppedFrames() const {
  if (!F) return 0;
  std::lock_guard<std::mutex> g(F->Lock);
  return F->Dropped;
}

void TCaptureSession::Deliver() {
  std::shared_ptr<TState> s = F;
  if (!s) return;
  TBitmap frame;
  {
    std::lock_guard<std::mutex> g(s->Lock);
    if (!s->Pending) return;
    frame.AllocateForOverwrite(s->SlotW, s->SlotH, pf24bit);
    const int32_t row = DibRowBytes(s->SlotW);
    for (int32_t y = 0; y < s->SlotH; ++y)
      std::memcpy(frame.ScanLine(y), s->Slot.data() + size_t(y) * row, size_t(row));
    ++s->Delivered;
  }
  // Pending stays set while the handler runs: a frame that comes meanwhile is dropped.
  struct TClear {
    TState* S;
    ~TClear() {
      std::lock_guard<std::mutex> g(S->Lock);
      S->Pending = false;
    }
  } clear{s.get()};
  if (OnFrame) OnFrame(frame);
}

bool TCaptureSession::StartRecording(const std::string& FileName, double FrameRate, std::string* Error,
                                     int32_t Quality, int32_t AudioRate, int32_t AudioChannels) {
  if (!F) {
    if (Error) *Error = "Kein Gerät verbunden";
    return false;
  }
  if (!(FrameRate > 0)) {
    if (Error) *Error = "Ungültige Bildrate";
    return false;
  }
  std::lock_guard<std::mutex> g(F->RecLock);
  if (F->Rec) {
    if (Error) *Error = "Die Aufnahme läuft schon";
    return false;
  }
  auto rec = std::make_unique<TRecorder>();
  std::string err;
  if (!rec->Open(FileName, F->Format.Width, F->Format.Height, FrameRate, Quality, AudioRate, AudioChannels, err)) {
    rec.reset();
    if (Error) *Error = FileName + ": " + err;
    return false;
  }
  F->Rec = std::move(rec);
  F->RecFrames = 0;
  return true;
}

bool TCaptureSession::StopRecording(std::string* Error, const std::vector<int16_t>* Audio) {
  if (!F) return false;
  std::unique_ptr<TRecorder> rec;
  {
    std::lock_guard<std::mutex> g(F->RecLock);
    rec = std::move(F->Rec);
  }
  if (!rec) return false;
  std::string err;
  const bool ok = rec->Finish(err, Audio);
  if (!ok && Error) *Error = err;
  return ok;
}

bool TCaptureSession::Recording() const {
  if (!F) return false;
  std::lock_guard<std::mutex> g(F->RecLock);
  return F->Rec != nullptr;
}

uint64_t TCaptureSession::RecordedFrames() const {
  if (!F) return 0;
  std::lock_guard<std::mutex> g(F->RecLock);
  return F->RecFrames;
}

}  // namespace kv

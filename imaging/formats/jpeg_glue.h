// What the JPEG reader, writer and EXIF thumbnail share below the public
// routines: libjpeg's error manager, and its source and destination managers
// over our streams.
//
// libjpeg reports a fatal error by calling error_exit, which must not return.
// Ours longjmps to the jmp_buf of the error manager. Every call into libjpeg
// therefore happens inside a small function that did the setjmp itself and
// holds no object with a destructor, so the jump skips nothing that needs
// cleaning up; the owner of the libjpeg structures lives in the caller's
// frame and destroys them whatever happened.
#pragma once
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace kv {

class TStream;

inline constexpr int32_t kJpegBufferSize = 65536;

struct TJpegErrorMgr {
  jpeg_error_mgr pub;  // first, so libjpeg's pointer is ours
  jmp_buf Jump;
  int32_t Warnings = 0;     // warnings (level -1) reported by the decoder
  int32_t LastWarning = 0;  // message code of the last one
};

// Installs our routines on Err and returns the pointer libjpeg wants.
jpeg_error_mgr* InitJpegErrorMgr(TJpegErrorMgr& Err);

struct TJpegSourceMgr {
  jpeg_source_mgr pub;
  TStream* Stream = nullptr;
  uint8_t* Buffer = nullptr;   // kJpegBufferSize bytes, owned by the caller
  int64_t Limit = -1;          // stream position past the JPEG data (-1: the stream's end)
  bool AnyRead = false;        // some byte came from the stream
  bool FakeEoi = false;        // the data ran out and an end-of-image was made up
};

// Reads from Stream at its position. At the end of the data an end-of-image
// marker is supplied (the image then ends early) and FakeEoi is set. When
// the decompressor terminates normally the stream is put back right after
// the bytes libjpeg consumed.
void AttachJpegSource(j_decompress_ptr Info, TJpegSourceMgr& Src, TStream& Stream, uint8_t* Buffer);

struct TJpegDestMgr {
  jpeg_destination_mgr pub;
  TStream* Stream = nullptr;
  uint8_t* Buffer = nullptr;  // kJpegBufferSize bytes, owned by the caller
  bool WriteFailed = false;   // a short write or a stream error; the compression stops
};

void AttachJpegDest(j_compress_ptr Info, TJpegDestMgr& Dst, TStream& Stream, uint8_t* Buffer);

// Memory libjpeg may take for one image (multi-scan images keep all their
// coefficients). Past it the decoder fails instead of allocating more.
extern size_t JpegMemoryLimit;
// Scans a progressive file may have; a file of thousands of tiny scans
// would otherwise keep the decoder busy for minutes.
inline constexpr int kJpegMaxScans = 1000;

}  // namespace kv

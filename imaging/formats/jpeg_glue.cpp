#include "imaging/formats/jpeg_glue.h"

#include <algorithm>

#include "platform/rtl/streams.h"

namespace kv {

size_t JpegMemoryLimit = size_t(2) << 30;

namespace {

void ErrorExit(j_common_ptr Info) {
  auto* err = reinterpret_cast<TJpegErrorMgr*>(Info->err);
  longjmp(err->Jump, 1);
}

void EmitMessage(j_common_ptr Info, int Level) {
  auto* err = reinterpret_cast<TJpegErrorMgr*>(Info->err);
  if (Level == -1) {
    ++err->Warnings;
    err->LastWarning = err->pub.msg_code;
  }
}

void OutputMessage(j_common_ptr) {}
void FormatMessage(j_common_ptr, char* Buffer) { Buffer[0] = 0; }

void ResetErrorMgr(j_common_ptr Info) {
  auto* err = reinterpret_cast<TJpegErrorMgr*>(Info->err);
  err->Warnings = 0;
  err->LastWarning = 0;
  err->pub.msg_code = 0;
}

TJpegSourceMgr* Source(j_decompress_ptr Info) { return reinterpret_cast<TJpegSourceMgr*>(Info->src); }

void InitSource(j_decompress_ptr) {}

// A stream error counts as the end of the data: nothing may be thrown
// through libjpeg's C frames.
boolean FillInputBuffer(j_decompress_ptr Info) {
  TJpegSourceMgr* src = Source(Info);
  int32_t got = 0;
  try {
    int64_t want = kJpegBufferSize;
    if (src->Limit >= 0) want = std::clamp<int64_t>(src->Limit - src->Stream->Position(), 0, want);
    if (want > 0) got = src->Stream->Read(src->Buffer, int32_t(want));
  } catch (...) {
    got = 0;
  }
  if (got <= 0) {
    WARNMS(Info, JWRN_JPEG_EOF);
    src->Buffer[0] = 0xFF;
    src->Buffer[1] = JPEG_EOI;
    got = 2;
    src->FakeEoi = true;
  } else {
    src->AnyRead = true;
  }
  src->pub.next_input_byte = src->Buffer;
  src->pub.bytes_in_buffer = size_t(got);
  return TRUE;
}

void SkipInputData(j_decompress_ptr Info, long Count) {
  TJpegSourceMgr* src = Source(Info);
  if (Count <= 0) return;
  while (Count > long(src->pub.bytes_in_buffer)) {
    Count -= long(src->pub.bytes_in_buffer);
    FillInputBuffer(Info);
  }
  src->pub.next_input_byte += Count;
  src->pub.bytes_in_buffer -= size_t(Count);
}

// Hands back what was read ahead, so the stream stands right after the image.
void TermSource(j_decompress_ptr Info) {
  TJpegSourceMgr* src = Source(Info);
  if (src->FakeEoi || src->pub.bytes_in_buffer == 0) return;
  try {
    src->Stream->Seek(-int64_t(src->pub.bytes_in_buffer), soCurrent);
    src->pub.bytes_in_buffer = 0;
  } catch (...) {
  }
}

TJpegDestMgr* Dest(j_compress_ptr Info) { return reinterpret_cast<TJpegDestMgr*>(Info->dest); }

void InitDestination(j_compress_ptr Info) {
  TJpegDestMgr* dst = Dest(Info);
  dst->pub.next_output_byte = dst->Buffer;
  dst->pub.free_in_buffer = kJpegBufferSize;
}

bool WriteOut(TJpegDestMgr* Dst, int32_t Count) {
  try {
    return Dst->Stream->Write(Dst->Buffer, Count) == Count;
  } catch (...) {
    return false;
  }
}

boolean EmptyOutputBuffer(j_compress_ptr Info) {
  TJpegDestMgr* dst = Dest(Info);
  if (!WriteOut(dst, kJpegBufferSize)) {
    dst->WriteFailed = true;
    ERREXIT(Info, JERR_FILE_WRITE);
  }
  InitDestination(Info);
  return TRUE;
}

void TermDestination(j_compress_ptr Info) {
  TJpegDestMgr* dst = Dest(Info);
  const int32_t used = kJpegBufferSize - int32_t(dst->pub.free_in_buffer);
  if (used > 0 && !WriteOut(dst, used)) {
    dst->WriteFailed = true;
    ERREXIT(Info, JERR_FILE_WRITE);
  }
}

}  // namespace

jpeg_error_mgr* InitJpegErrorMgr(TJpegErrorMgr& Err) {
  jpeg_std_error(&Err.pub);
  Err.pub.error_exit = ErrorExit;
  Err.pub.emit_message = EmitMessage;
  Err.pub.output_message = OutputMessage;
  Err.pub.format_message = FormatMessage;
  Err.pub.reset_error_mgr = ResetErrorMgr;
  Err.Warnings = 0;
  Err.LastWarning = 0;
  return &Err.pub;
}

void AttachJpegSource(j_decompress_ptr Info, TJpegSourceMgr& Src, TStream& Stream, uint8_t* Buffer) {
  Src.Stream = &Stream;
  Src.Buffer = Buffer;
  Src.AnyRead = false;
  Src.FakeEoi = false;
  Src.pub.init_source = InitSource;
  Src.pub.fill_input_buffer = FillInputBuffer;
  Src.pub.skip_input_data = SkipInputData;
  Src.pub.resync_to_restart = jpeg_resync_to_restart;
  Src.pub.term_source = TermSource;
  Src.pub.next_input_byte = nullptr;
  Src.pub.bytes_in_buffer = 0;
  Info->src = &Src.pub;
}

void AttachJpegDest(j_compress_ptr Info, TJpegDestMgr& Dst, TStream& Stream, uint8_t* Buffer) {
  Dst.Stream = &Stream;
  Dst.Buffer = Buffer;
  Dst.WriteFailed = false;
  Dst.pub.init_destination = InitDestination;
  Dst.pub.empty_output_buffer = EmptyOutputBuffer;
  Dst.pub.term_destination = TermDestination;
  Info->dest = &Dst.pub;
}

}  // namespace kv

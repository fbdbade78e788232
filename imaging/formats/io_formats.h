// The codecs the I/O component dispatches to, one row per file type. A
// format joins by filling its row: its reader and writer adapters (the
// codec's own routine with the arguments it takes), its content test when
// detection uses one, and its stream-header tag. A row without a reader or
// writer makes the component fail that operation through the aborted flag.
#pragma once
#include <cstdint>

#include "imaging/formats/codec.h"

namespace kv {

struct TIOReadCall {
  TStream& S;
  TBitmap& Bitmap;
  TIOParamsVals& Params;
  TProgressRec& Progress;
  bool ParamsOnly;
  TIMMask* Mask;   // receives transparency (codec.h); never null from the component
  int64_t Size;    // bytes of the image from the stream's position
  bool Framed;     // the data stands after a 12-byte stream header
};

struct TIOWriteCall {
  TStream& S;
  const TBitmap& Bitmap;  // 1 or 24 bits per pixel
  TIOParamsVals& Params;
  TProgressRec& Progress;
  const TIMMask* Alpha;   // the attached view's alpha mask, or null
  bool Framed;            // a 12-byte stream header stands before the data
};

struct TIOFormat {
  int32_t Id;
  const char* Name;                        // for messages: "TIFF", "GIF" ...
  void (*Read)(const TIOReadCall& Call);   // null: no reader built in
  void (*Write)(const TIOWriteCall& Call); // null: not written
  bool (*IsFormat)(TStream& S);            // content test of the detection; position restored
  const char* StreamTag;                   // tag of the 12-byte stream header, or null
  int32_t (*CountImages)(TStream& S);      // pages or frames of a file, 0 on any error; may be null
};

// The row of a file-type id; null for ids the component reads no codec for
// (0, the metafiles 9 and 10, anything unknown).
const TIOFormat* FindIOFormat(int32_t Id);

}  // namespace kv

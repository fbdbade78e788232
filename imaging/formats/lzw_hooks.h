// The four process-wide LZW hooks. The GIF and TIFF codecs never call an LZW
// routine by name: the application installs its coders here at start, and
// every parameter record copies the hooks when it is reset. All start empty.
#pragma once
#include <cstdint>

namespace kv {

class TStream;

// Decodes one whole strip: Data holds DataLength bytes of the strip's code
// stream, Out receives up to OutLength bytes (sized by the caller from the
// image, so no code can expand past it). Returns the bytes produced, or -1
// on a corrupt code stream. Never reads past Data + DataLength.
using TTiffLzwDecompressProc = int32_t (*)(const uint8_t* Data, int32_t DataLength, uint8_t* Out,
                                           int32_t OutLength);
// Encodes Length bytes into one code stream on Out. The first call (State
// null) creates the state and writes the clear code; a call with Data null
// ends the stream (end code, padding) and releases the state.
using TTiffLzwCompressProc = void (*)(const uint8_t* Data, int32_t Length, TStream& Out, void*& State);

// The stream stands at the code size byte. Indices holds Width x Height bytes,
// top row first. On failure the decoder puts the stream back where it was.
using TGifLzwDecompressProc = void (*)(TStream& S, int32_t Height, int32_t Width, uint8_t* Indices,
                                       bool Interlaced);
// Writes the code size byte, the sub-blocks and the 0 block.
using TGifLzwCompressProc = void (*)(TStream& S, int32_t Height, int32_t Width, int32_t BitsPerPixel,
                                     const uint8_t* Indices, bool Interlaced);

extern TGifLzwDecompressProc GifLzwDecoderHook;
extern TGifLzwCompressProc GifLzwEncoderHook;
extern TTiffLzwDecompressProc TiffLzwDecoderHook;
extern TTiffLzwCompressProc TiffLzwEncoderHook;

// The open and save dialogs offer GIF only with these.
inline bool IsGifDecoderInstalled() { return GifLzwDecoderHook != nullptr; }
inline bool IsGifEncoderInstalled() { return GifLzwEncoderHook != nullptr; }

}  // namespace kv

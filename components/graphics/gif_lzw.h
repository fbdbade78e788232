// The GIF graphic's own LZW coder: codes of up to 12 bits packed least
// significant bit first into data sub-blocks of at most 255 bytes.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace kv {

// Rows in stored order: every 8th from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
std::vector<int32_t> InterlacedRowOrder(int32_t Height);

// Progress in percent, called as the work goes on.
using TGifCoderProgress = std::function<void(int32_t Percent)>;

struct TGifDecodeResult {
  bool Corrupt = false;   // data were damaged; what could be decoded is in the pixels
};

// Decodes Coded (the minimum code size byte, the sub-blocks and their terminator)
// into Pixels, Width bytes per row, rows top-down. Pixels left undecoded stay 0.
// Raises EInvalidGraphicOperation for damaged data unless Tolerant, which flags it instead.
TGifDecodeResult GifLzwDecode(const uint8_t* Coded, size_t Size, int32_t Width, int32_t Height, bool Interlaced,
                              bool Tolerant, uint8_t* Pixels, const TGifCoderProgress& Progress = {});

// Encodes Width x Height pixel values of BitCount (1, 4 or 8) bits, one byte
// each, rows top-down, into the minimum code size byte, sub-blocks and terminator.
std::vector<uint8_t> GifLzwEncode(const uint8_t* Pixels, int32_t Width, int32_t Height, int32_t BitCount,
                                  bool Interlaced, const TGifCoderProgress& Progress = {});

}  // namespace kv

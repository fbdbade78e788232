// Two-level fax coding of TIFF compressions 2 (modified Huffman, rows on byte
// boundaries), 3 (Group 3, one- or two-dimensional) and 4 (Group 4), row by row.
#pragma once
#include <cstdint>
#include <vector>

namespace kv {

// T4Options bits.
constexpr uint32_t kT4TwoD = 1;
constexpr uint32_t kT4Uncompressed = 2;
constexpr uint32_t kT4FillBits = 4;

class TCcittDecoder {
 public:
  // Data (Size bytes) is one strip; Compression is 2, 3 or 4; Options are
  // the T4Options (T6Options for 4); FillOrder 2 takes the low bit of each
  // byte first. Width must be at least 1.
  TCcittDecoder(const uint8_t* Data, int32_t Size, int32_t Width, int32_t Compression, uint32_t Options,
                int32_t FillOrder);
  // Writes the next row to Row ((Width + 7) / 8 bytes, most significant bit
  // first, 1 = white). Bad codes cost a bit each; a row the data does not
  // cover stays white. Never reads outside the strip.
  void DecodeRow(uint8_t* Row);

 private:
  uint32_t PeekAt(uint64_t Pos, int32_t Bits) const;
  uint32_t Peek(int32_t Bits) const { return PeekAt(FPos, Bits); }
  int32_t ZerosAhead(int32_t Limit) const;
  bool AtEol() const;
  void SkipEol();
  int32_t ReadRun(int32_t Colour);
  bool Push(int32_t X);
  void Put(int32_t& X, int32_t Count, int32_t Colour, int32_t& Current);
  void Uncompressed(int32_t& A0, int32_t& Colour);
  void DecodeOneD();
  void DecodeTwoD();
  int32_t FindB1(int32_t A0, int32_t Colour);

  std::vector<uint8_t> FReversed;  // the strip with its bits reversed, for FillOrder 2
  const uint8_t* FData;
  int64_t FSize;
  uint64_t FPos = 0;
  uint64_t FEnd;
  int32_t FWidth;
  int32_t FCompression;
  uint32_t FOptions;
  bool FFirstRow = true;
  size_t FRefIndex = 0;
  std::vector<int32_t> FRef;  // changing elements of the previous row, then three sentinels at Width
  std::vector<int32_t> FCur;  // even index: white to black, odd: black to white
};

class TCcittEncoder {
 public:
  // Compression 2, 3 (TwoD for two-dimensional rows) or 4.
  TCcittEncoder(int32_t Width, int32_t Compression, bool TwoD);
  // Codes one row of Width pixels (most significant bit first, 1 = black) and
  // appends the bytes that are complete to Out.
  void EncodeRow(const uint8_t* Row);
  // Ends the strip (Group 4: end-of-block codes) and writes the last partial byte.
  void Finish();
  std::vector<uint8_t> Out;

 private:
  void PutBits(uint32_t Bits, int32_t Len);
  void PutRun(int32_t Run, int32_t Colour);
  void PutEol() { PutBits(1, 12); }
  void ByteAlign();
  void OneD();
  void TwoD();

  int32_t FWidth;
  int32_t FCompression;
  bool FTwoD;
  bool FFirstRow = true;
  uint32_t FAcc = 0;
  int32_t FAccBits = 0;
  std::vector<int32_t> FRef;
  std::vector<int32_t> FCur;
};

}  // namespace kv

// Tag numbers of the TIFF fields the reader and writer use.
#pragma once
#include <cstdint>

namespace kv {

enum TTiffTag : uint16_t {
  tgImageWidth = 256, tgImageLength = 257, tgBitsPerSample = 258, tgCompression = 259,
  tgPhotometric = 262, tgFillOrder = 266, tgDocumentName = 269, tgImageDescription = 270,
  tgStripOffsets = 273, tgOrientation = 274, tgSamplesPerPixel = 277, tgRowsPerStrip = 278,
  tgStripByteCounts = 279, tgXResolution = 282, tgYResolution = 283, tgPlanarConfig = 284,
  tgPageName = 285, tgXPosition = 286, tgYPosition = 287, tgT4Options = 292, tgT6Options = 293,
  tgResolutionUnit = 296, tgPageNumber = 297, tgPredictor = 317, tgColorMap = 320,
  tgTileWidth = 322, tgTileLength = 323, tgTileOffsets = 324, tgTileByteCounts = 325,
  tgInkSet = 332, tgExtraSamples = 338, tgSampleFormat = 339, tgJpegProc = 512, tgJpegInterchangeFormat = 513,
  tgJpegInterchangeFormatLength = 514, tgExifIfd = 34665
};

// Compression codes of the Compression tag.
enum : uint16_t {
  tcNone = 1, tcHuffman = 2, tcGroup3 = 3, tcGroup4 = 4, tcLzw = 5, tcOldJpeg = 6, tcJpeg = 7,
  tcDeflate = 8, tcPackBits = 32773, tcDeflateOld = 32946
};

}  // namespace kv

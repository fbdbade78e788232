// Counting the images of a GIF file and copying it without one of them.
#include <string>
#include <vector>

#include "imaging/formats/gif.h"
#include "imaging/formats/gif_blocks.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/file_lock.h"

namespace kv {

namespace {

using namespace gif;

// Largest GIF file taken into memory for the walk.
constexpr int64_t kMaxGifFileBytes = (int64_t(1) << 31) - 1;

// Walks the blocks of a whole file held in memory and copies all but one
// image (and the graphic control extension before it).
class TFrameCopier {
 public:
  TFrameCopier(const std::string& Data, int32_t Drop)
      : FData(reinterpret_cast<const uint8_t*>(Data.data())), FSize(Data.size()), FDrop(Drop) {}

  // Copies; false when the data is no GIF.
  bool Run() {
    if (FSize < size_t(kHeaderSize) || FData[0] != 'G' || FData[1] != 'I' || FData[2] != 'F') return false;
    FOut.assign({'G', 'I', 'F', '8', '9', 'a'});
    FOut.insert(FOut.end(), FData + 6, FData + kHeaderSize);
    FPos = kHeaderSize;
    if ((FData[10] & 0x80) && !Copy(size_t(TableEntries(FData[10])) * 3)) return Finish();
    while (FPos < FSize) {
      const uint8_t b = FData[FPos];
      if (b == kTrailer) break;
      if (b == kExtension) {
        if (!Extension()) break;
      } else if (b == kImage) {
        if (!Image()) break;
      } else {
        ++FPos;  // stray bytes between blocks are dropped
      }
    }
    return Finish();
  }

  int32_t Copied() const { return FCopied; }
  const std::vector<uint8_t>& Out() const { return FOut; }

 private:
  bool Finish() {
    FOut.push_back(kTrailer);
    return true;
  }

  // Copies N bytes from the input when they are all there.
  bool Copy(size_t N) {
    if (N > FSize - FPos) return false;
    FOut.insert(FOut.end(), FData + FPos, FData + FPos + N);
    FPos += N;
    return true;
  }

  // Sub-blocks up to the 0 block, copied or skipped. A sub-block that claims
  // more than the file holds ends the walk; a copy is then closed with a 0
  // block so that what it holds stays readable.
  bool SubBlocks(bool Keep) {
    for (;;) {
      if (FPos >= FSize) break;
      const size_t n = FData[FPos];
      if (n > FSize - FPos - 1) break;
      if (Keep) FOut.insert(FOut.end(), FData + FPos, FData + FPos + n + 1);
      FPos += n + 1;
      if (n == 0) return true;
    }
    FPos = FSize;
    if (Keep) FOut.push_back(0);
    return false;
  }

  bool Extension() {
    if (FSize - FPos < 2) {
      FPos = FSize;
      return false;
    }
    const bool keep = !(FData[FPos + 1] == kGraphicControl && FMet == FDrop);
    if (keep) FOut.insert(FOut.end(), FData + FPos, FData + FPos + 2);
    FPos += 2;
    return SubBlocks(keep);
  }

  bool Image() {
    const size_t outStart = FOut.size();
    const bool keep = FMet != FDrop;
    ++FMet;
    size_t head = 1 + size_t(kDescriptorSize);
    if (FSize - FPos >= head && (FData[FPos + 9] & 0x80)) head += size_t(TableEntries(FData[FPos + 9])) * 3;
    ++head;  // the LZW code size byte
    if (!Copy(head)) {
      // Not even the descriptor, table and code size: nothing of it is kept.
      FOut.resize(outStart);
      FPos = FSize;
      return false;
    }
    if (!keep) FOut.resize(outStart);
    const bool complete = SubBlocks(keep);
    if (keep) ++FCopied;
    return complete;
  }

  const uint8_t* FData;
  size_t FSize;
  int32_t FDrop;
  size_t FPos = 0;
  int32_t FMet = 0;
  int32_t FCopied = 0;
  std::vector<uint8_t> FOut;
};

}  // namespace

int32_t DeleteGifFrame(const std::string& FileName, int32_t FrameIndex, bool Save) {
  try {
    std::string data;
    if (!ReadFileToString(FileName, data, kMaxGifFileBytes)) return 0;
    TFrameCopier c(data, FrameIndex);
    if (!c.Run()) return 0;
    if (Save)
      SaveFileAtomically(FileName,
                         std::string_view(reinterpret_cast<const char*>(c.Out().data()), c.Out().size()));
    return c.Copied();
  } catch (...) {
    return 0;
  }
}

int32_t GetGifImageCount(const std::string& FileName) { return DeleteGifFrame(FileName, -1, false); }

int32_t GetGifImageCountStream(TStream& S) {
  try {
    const int64_t left = S.Size() - S.Position();
    if (left <= 0 || left > kMaxGifFileBytes) return 0;
    std::string data(static_cast<size_t>(left), '\0');
    if (S.Read(data.data(), int32_t(left)) != int32_t(left)) return 0;
    TFrameCopier c(data, -1);
    return c.Run() ? c.Copied() : 0;
  } catch (...) {
    return 0;
  }
}

}  // namespace kv

// TGIFImage: GIF pictures as graphics of the picture class. Every frame keeps
// its coded data and extensions as read; a frame is decoded to a bitmap on
// first use and bitmaps are coded back with the graphic's own LZW coder.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/graphics/kv_graph.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/types.h"

namespace kv {

class TCanvas;
class TGIFImage;

enum TGIFVersion : uint8_t { gfvNone, gfv87a, gfv89a };
enum TGIFExtensionKind : uint8_t { gekGraphicControl, gekPlainText, gekApplication, gekComment };
enum TProgressStage : uint8_t { psStarting, psRunning, psEnding };
using TProgressEvent =
    std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, const std::string& Msg)>;

// Decoding accepts damaged data and flags the frame instead of failing (on by default).
extern bool GIFTolerantDecoding;
// The reduction used for frames whose bitmap has no palette.
extern TColorReduction GIFColorReduction;

struct TGIFColorTable {
  int32_t Count = 0;          // 0..256
  uint8_t RGB[256][3] = {};   // red, green, blue
};

// Header data shared by images assigned from each other.
struct TGIFData {
  TStringList ImageComment;
  uint8_t AspectRatio = 0;
  uint8_t BitsPerPixel = 8;
  uint8_t ColorResBits = 8;
  TGIFColorTable Global;
};

// A frame's coded picture, shared by frames assigned from each other.
struct TGIFItem {
  std::vector<uint8_t> CodedData;  // minimum code size, sub-blocks, terminator
  uint8_t BitsPerPixel = 8;
  TGIFColorTable Colors;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t Packed = 0;
};

class TExtension : public TPersistent {
 public:
  TGIFExtensionKind Kind = gekGraphicControl;
  // The fixed part as read: graphic control 6 bytes (block size, packed, delay
  // low and high in 1/100 s, transparent index, terminator); plain text 13;
  // application 12 (block size and the 11-byte identifier). Empty for comments.
  std::vector<uint8_t> Fixed;
  TStringList SubBlocks;  // one line per data sub-block
  void Assign(const TPersistent* Source) override;
};

class TGIFFrame : public TPersistent {
 public:
  explicit TGIFFrame(TGIFImage* Owner);
  ~TGIFFrame() override;

  TGIFImage* OwnerImage() const { return FOwner; }
  std::shared_ptr<TGIFItem> Item;
  TPoint Origin;
  bool IsInterlaced = false;
  bool IsCorrupt = false;
  bool ReduceToGray = false;
  TColor KeyColor = clNone;
  uint16_t DelayMs = 0;
  uint8_t Disposal = 0;
  bool HasLocalTable = false;
  std::vector<std::unique_ptr<TExtension>> ExtensionList;

  // Decoded on first use; nullptr when the frame has neither bitmap nor data.
  TBitmap* DecodedBitmap();
  bool HasBitmap() const { return FBitmap != nullptr; }
  // Takes a copy of Value as the frame's picture and drops the coded data (unless KeepData).
  void SetBitmap(const TBitmap& Value, bool KeepData = false);
  int32_t Width() const;
  int32_t Height() const;
  // The lines of the frame's comment extension, made on request.
  TStringList& FrameComment();

  void Assign(const TPersistent* Source) override;
  // A bitmap target gets the decoded picture, with the key colour as its transparent colour.
  void AssignTo(TPersistent* Dest) const override;

  // ---- for the image ----
  void Decode();
  void Encode();
  void PrepareExtensions();
  void Reset();

 private:
  TGIFImage* FOwner;
  std::unique_ptr<TBitmap> FBitmap;
};

class TGIFImage : public TGraphic {
 public:
  TGIFImage();
  ~TGIFImage() override;

  int32_t Width() const override { return FLogicalWidth; }
  int32_t Height() const override { return FLogicalHeight; }
  bool Empty() const override { return FFrames.empty(); }
  // Raises EInvalidGraphicOperation: a GIF picture cannot be resized.
  void SetWidth(int32_t);
  void SetHeight(int32_t);

  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  using TGraphic::LoadFromFile;
  using TGraphic::SaveToFile;
  // Form streaming: a 4-byte length, then the GIF data.
  void ReadData(TStream& Stream);
  void WriteData(TStream& Stream);
  void ReadGif(int64_t Size, TStream& Stream, bool DecodeFirst);
  void WriteGif(TStream& Stream, bool WithLength);

  void Assign(const TPersistent* Source) override;
  // Frame 0 as a bitmap and, when every frame is coded, the image under "GIF Image".
  void SaveToClipboardFormat();
  // "GIF Image" when there (frame 0's bitmap from the clipboard's bitmap), else a bitmap.
  void LoadFromClipboardFormat();
  // The current frame stretched into Rect, its key colour left out when transparent.
  void Draw(TCanvas& ACanvas, const TRect& Rect);
  // Both images share the same header data.
  bool Equals(const TGIFImage& Other) const { return FData == Other.FData; }
  std::vector<TPaletteEntry> Palette();

  int32_t AppendFrame(const TGraphic& Graphic);
  int32_t FrameCount() const { return int32_t(FFrames.size()); }
  TGIFFrame& Frames(int32_t Index) const;
  int32_t CurrentFrame() const { return FCurrentFrame; }
  void SetCurrentFrame(int32_t Value);
  void Clear();

  TGIFData& Data() { return *FData; }
  const TGIFData& Data() const { return *FData; }
  uint16_t LogicalWidth() const { return FLogicalWidth; }
  uint16_t LogicalHeight() const { return FLogicalHeight; }
  TColor BackColor() const { return FBackColor; }
  void SetBackColor(TColor Value) { FBackColor = Value; }
  bool LoopEnabled() const { return FLoopEnabled; }
  void SetLoopEnabled(bool Value) { FLoopEnabled = Value; }
  uint16_t LoopCount() const { return FLoopCount; }
  void SetLoopCount(uint16_t Value) { FLoopCount = Value; }
  TGIFVersion FormatVersion() const { return FVersion; }

  TProgressEvent OnProgress;
  const TPropertyTable& PropertyTable() const override;

  // ---- for the frames ----
  void Progress(TProgressStage Stage, int32_t Percent, const std::string& Msg = std::string());
  void FrameChanged();  // recomputes the screen size
  void NeedVersion(TGIFVersion Value) {
    if (FVersion < Value) FVersion = Value;
  }

 protected:
  void AssignTo(TPersistent* Dest) const override;

 private:
  std::shared_ptr<TGIFData> FData;
  std::vector<std::unique_ptr<TGIFFrame>> FFrames;
  int32_t FCurrentFrame = -1;
  uint16_t FLogicalWidth = 0;
  uint16_t FLogicalHeight = 0;
  TColor FBackColor = clNone;
  bool FLoopEnabled = false;
  uint16_t FLoopCount = 1;
  TGIFVersion FVersion = gfvNone;
};

// The clipboard format name GIF data travel under, and its number.
constexpr char CF_GIF_NAME[] = "GIF Image";
uint32_t CF_GIF();
// The picture class loads ".gif" files and reads "GIF Image" through TGIFImage
// (done at start-up; undone at the end).
void RegisterGIFImage();
void UnregisterGIFImage();

}  // namespace kv

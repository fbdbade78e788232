// TAnimatedCursorImage: the frames of an animated cursor file (RIFF form
// "ACON") kept as icons, with the file's timing and step order.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/icon.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/types.h"

namespace kv {

class TIconList;

// The "anih" record as stored: nine little-endian 32-bit values.
struct TAniHeader {
  uint32_t HeaderSize = 36;
  uint32_t FrameCount = 0;
  uint32_t StepCount = 0;
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint32_t BitCount = 0;
  uint32_t Planes = 0;
  uint32_t DefaultRate = 0;  // 1/60 s
  uint32_t Flags = 0;        // bit 0: the frames are icon or cursor resources
};

class TIconFrame : public TPersistent {
 public:
  TIconFrame();
  ~TIconFrame() override;
  TIcon& FrameIcon() { return *FIcon; }
  const TIcon& FrameIcon() const { return *FIcon; }
  bool FromIconData = false;   // the data were an icon, not a cursor
  uint8_t ChunkTag[8] = {};    // identifier and size of the chunk the frame came from
  TPoint HotSpot;
  uint32_t JiffyRate = 0;      // display time in 1/60 s
  int32_t StepIndex = 0;       // place in the file's frame order; -1 beyond the header's count
  void Assign(const TPersistent* Source) override;

 private:
  std::unique_ptr<TIcon> FIcon;
};

class TAnimatedCursorImage : public TPersistent {
 public:
  TAnimatedCursorImage();
  ~TAnimatedCursorImage() override;

  const TAniHeader& AniHeader() const { return FHeader; }
  const std::string& CursorTitle() const { return FTitle; }
  const std::string& CursorAuthor() const { return FAuthor; }
  int32_t FrameCount() const { return int32_t(FFrames.size()); }
  TIconFrame& FrameItems(int32_t Index) const;
  int32_t SourceColorCount() const { return FSourceColorCount; }

  // Reads from the position to the end; a malformed file raises EReadError
  // "Stream-Read-Fehler" and leaves the image empty.
  virtual void LoadFromStream(TStream& Stream);
  // Not available: raises the library's not-implemented error.
  virtual void SaveToStream(TStream& Stream);
  virtual void LoadFromFile(const std::string& FileName);
  void Clear();

  // The frames side by side (or one below the other) on Background; with
  // Reduce, cut to max(SourceColorCount, 16) colours.
  void DrawStrip(TBitmap& Target, TColor Background, bool Vertical, bool Reduce) const;

  void Assign(const TPersistent* Source) override;
  // To a TIcon: the first frame's icon; to a TBitmap: the reduced strip on the
  // target's brush colour; to a TIconList: a copy of every frame icon.
  void AssignTo(TPersistent* Dest) const override;

 private:
  void ReadChunks(TStream& Stream, int64_t End);
  void ReadFrameList(TStream& Stream, int64_t End, int32_t& IconNumber);
  void ReadInfoList(TStream& Stream, int64_t End);

  TAniHeader FHeader;
  std::string FTitle;
  std::string FAuthor;
  std::vector<std::unique_ptr<TIconFrame>> FFrames;
  int32_t FSourceColorCount = 0;
};

}  // namespace kv

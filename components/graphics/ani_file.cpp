// Animated cursor files: RIFF chunks, each size checked against what is left.
#include "components/graphics/ani_file.h"

#include <algorithm>
#include <cstring>

#include "components/graphics/gif_texts.h"
#include "components/graphics/icon_list.h"
#include "components/graphics/kv_graph.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"

namespace kv {

namespace {

[[noreturn]] void ReadFault() { throw EReadError(SReadError); }

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

struct TChunk {
  char Id[4];
  uint32_t Size;
  uint8_t Raw[8];
};

// A chunk header at the position when a full one lies before End.
bool NextChunk(TStream& S, int64_t End, TChunk& C) {
  if (End - S.Position() < 8) return false;
  S.ReadBuffer(C.Raw, 8);
  std::memcpy(C.Id, C.Raw, 4);
  C.Size = U32(C.Raw + 4);
  if (int64_t(C.Size) > End - S.Position()) ReadFault();  // a chunk may not run past its container
  return true;
}
bool Is(const TChunk& C, const char* Id) { return std::memcmp(C.Id, Id, 4) == 0; }
// Past the chunk's data and its pad byte.
void SkipTo(TStream& S, int64_t DataStart, uint32_t Size, int64_t End) {
  S.SetPosition(std::min(End, DataStart + int64_t(Size) + (Size & 1)));
}
std::vector<uint8_t> ReadData(TStream& S, uint32_t Size) {
  std::vector<uint8_t> v(Size);
  if (Size) S.ReadBuffer(v.data(), int32_t(Size));
  return v;
}

int32_t ColorsOfBits(uint32_t Bits) {
  switch (Bits) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

}  // namespace

// ---- TIconFrame ----

TIconFrame::TIconFrame() : FIcon(std::make_unique<TIcon>()) {}
TIconFrame::~TIconFrame() = default;

void TIconFrame::Assign(const TPersistent* Source) {
  if (const auto* f = dynamic_cast<const TIconFrame*>(Source)) {
    FIcon->Assign(f->FIcon.get());
    FromIconData = f->FromIconData;
    std::memcpy(ChunkTag, f->ChunkTag, sizeof ChunkTag);
    HotSpot = f->HotSpot;
    JiffyRate = f->JiffyRate;
    StepIndex = f->StepIndex;
    return;
  }
  TPersistent::Assign(Source);
}

// ---- TAnimatedCursorImage ----

TAnimatedCursorImage::TAnimatedCursorImage() = default;
TAnimatedCursorImage::~TAnimatedCursorImage() = default;

TIconFrame& TAnimatedCursorImage::FrameItems(int32_t Index) const {
  if (Index < 0 || Index >= FrameCount()) throw EListError("List index out of bounds");
  return *FFrames[size_t(Index)];
}

void TAnimatedCursorImage::Clear() {
  FHeader = TAniHeader{};
  FTitle.clear();
  FAuthor.clear();
  FFrames.clear();
  FSourceColorCount = 0;
}

void TAnimatedCursorImage::LoadFromFile(const std::string& FileName) {
  TFileStream s(FileName, fmOpenRead | fmShareDenyNone);
  LoadFromStream(s);
}

void TAnimatedCursorImage::SaveToStream(TStream&) { throw EInvalidGraphicOperation(SNotImplemented); }

void TAnimatedCursorImage::LoadFromStream(TStream& Stream) {
  try {
    const int64_t end = Stream.Size();
    TChunk riff;
    if (!NextChunk(Stream, end, riff) || !Is(riff, "RIFF") || riff.Size < 4) ReadFault();
    char form[4];
    Stream.ReadBuffer(form, 4);
    if (std::memcmp(form, "ACON", 4) != 0) ReadFault();
    Clear();
    ReadChunks(Stream, Stream.Position() - 4 + int64_t(riff.Size));
    // Frames the file named but gave no icon are dropped.
    FFrames.erase(std::remove_if(FFrames.begin(), FFrames.end(),
                                 [](const std::unique_ptr<TIconFrame>& f) { return f->FrameIcon().Empty(); }),
                  FFrames.end());
    if (FFrames.empty()) ReadFault();
    FHeader.StepCount = uint32_t(FFrames.size());
  } catch (...) {
    Clear();
    throw;
  }
}

void TAnimatedCursorImage::ReadChunks(TStream& Stream, int64_t End) {
  TChunk c;
  int32_t iconNumber = 0;
  while (NextChunk(Stream, End, c)) {
    const int64_t start = Stream.Position();
    if (Is(c, "anih")) {
      if (c.Size < 36) ReadFault();
      uint8_t h[36];
      Stream.ReadBuffer(h, 36);
      uint32_t* f = &FHeader.HeaderSize;
      for (int i = 0; i < 9; ++i) f[i] = U32(h + 4 * i);
      if (!(FHeader.Flags & 1) || FHeader.StepCount == 0) ReadFault();
      // Each frame needs at least a chunk header in the file.
      if (FHeader.FrameCount > uint64_t(End - start) / 8 || FHeader.StepCount > uint64_t(End - start) / 4) ReadFault();
      FFrames.clear();
      for (uint32_t i = 0; i < FHeader.FrameCount; ++i) {
        auto fr = std::make_unique<TIconFrame>();
        fr->StepIndex = int32_t(i);
        fr->JiffyRate = FHeader.DefaultRate;
        FFrames.push_back(std::move(fr));
      }
    } else if (Is(c, "rate") || Is(c, "seq ")) {
      // Every value is read: one per step, each for the frame at that place.
      const bool rate = Is(c, "rate");
      if (c.Size % 4 != 0) ReadFault();
      const std::vector<uint8_t> v = ReadData(Stream, c.Size);
      const size_t n = v.size() / 4;
      if (FHeader.StepCount && n != FHeader.StepCount) ReadFault();
      for (size_t i = 0; i < n; ++i) {
        const uint32_t value = U32(v.data() + 4 * i);
        if (!rate && value >= FHeader.FrameCount) ReadFault();  // a step naming a frame that does not exist
        if (i >= FFrames.size()) continue;
        if (rate) FFrames[i]->JiffyRate = value;
        else FFrames[i]->StepIndex = int32_t(value);
      }
    } else if (Is(c, "LIST") && c.Size >= 4) {
      char type[4];
      Stream.ReadBuffer(type, 4);
      const int64_t listEnd = start + int64_t(c.Size);
      if (std::memcmp(type, "fram", 4) == 0) ReadFrameList(Stream, listEnd, iconNumber);
      else if (std::memcmp(type, "INFO", 4) == 0) ReadInfoList(Stream, listEnd);
    }
    SkipTo(Stream, start, c.Size, End);
  }
}

void TAnimatedCursorImage::ReadFrameList(TStream& Stream, int64_t End, int32_t& IconNumber) {
  TChunk c;
  while (NextChunk(Stream, End, c)) {
    const int64_t start = Stream.Position();
    if (Is(c, "icon")) {
      std::vector<uint8_t> data = ReadData(Stream, c.Size);
      if (data.size() < 6) return;
      const uint16_t type = U16(data.data() + 2);
      const size_t count = U16(data.data() + 4);
      if ((type != 1 && type != 2) || 6 + count * 16 > data.size()) return;
      const bool fromIcon = type == 1;
      data[2] = 1;  // a cursor loads as an icon
      TPoint hot;
      for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = data.data() + 6 + 16 * i;
        const uint32_t off = U32(e + 12);
        if (uint64_t(off) + 16 <= data.size())
          FSourceColorCount = std::max(FSourceColorCount, ColorsOfBits(U16(data.data() + off + 14)));
        if (i == 0) hot = fromIcon ? TPoint{(e[0] ? e[0] : 256) / 2, (e[1] ? e[1] : 256) / 2}
                                   : TPoint{U16(e + 4), U16(e + 6)};
      }
      TIcon icon;
      try {
        TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
        icon.LoadFromStream(s);
      } catch (const Exception&) {
        return;  // an icon that does not decode ends the frame list
      }
      bool placed = false;
      for (auto& f : FFrames) {
        if (f->StepIndex != IconNumber) continue;
        f->FrameIcon().Assign(&icon);
        f->FromIconData = fromIcon;
        std::memcpy(f->ChunkTag, c.Raw, 8);
        f->HotSpot = hot;
        placed = true;
      }
      if (!placed) {
        auto f = std::make_unique<TIconFrame>();
        f->FrameIcon().Assign(&icon);
        f->FromIconData = fromIcon;
        std::memcpy(f->ChunkTag, c.Raw, 8);
        f->HotSpot = hot;
        f->StepIndex = -1;
        f->JiffyRate = FHeader.DefaultRate;
        FFrames.push_back(std::move(f));
      }
      ++IconNumber;
    }
    SkipTo(Stream, start, c.Size, End);
  }
}

void TAnimatedCursorImage::ReadInfoList(TStream& Stream, int64_t End) {
  while (End - Stream.Position() >= 8) {
    uint8_t raw[8];
    Stream.ReadBuffer(raw, 8);
    const uint32_t size = U32(raw + 4);
    const int64_t start = Stream.Position();
    if (int64_t(size) > End - start) return;  // an entry that does not fit ends the list
    if (std::memcmp(raw, "INAM", 4) == 0 || std::memcmp(raw, "IART", 4) == 0) {
      std::vector<uint8_t> v = ReadData(Stream, std::min<uint32_t>(size, 255));
      std::string text(v.begin(), v.end());
      if (const size_t z = text.find('\0'); z != std::string::npos) text.resize(z);
      (raw[1] == 'N' ? FTitle : FAuthor) = text;
    }
    SkipTo(Stream, start, size, End);
  }
}

void TAnimatedCursorImage::DrawStrip(TBitmap& Target, TColor Background, bool Vertical, bool Reduce) const {
  if (FFrames.empty()) return;
  const int32_t w = FFrames[0]->FrameIcon().Width(), h = FFrames[0]->FrameIcon().Height();
  const int32_t n = FrameCount();
  TBitmap strip(Vertical ? w : w * n, Vertical ? h * n : h, pf24bit);
  strip.Canvas().Brush().SetColor(Background);
  strip.Canvas().FillRect(Rect(0, 0, strip.Width(), strip.Height()));
  for (int32_t i = 0; i < n; ++i) {
    const TIcon& ic = FFrames[size_t(i)]->FrameIcon();
    const int32_t x = Vertical ? 0 : i * ic.Width(), y = Vertical ? i * ic.Height() : 0;
    const_cast<TIcon&>(ic).Draw(strip.Canvas(), Bounds(x, y, ic.Width(), ic.Height()));
  }
  if (Reduce) {
    auto s = ReduceToColors(strip, std::max(FSourceColorCount, 16));
    Target.LoadFromStream(*s);
  } else {
    Target.Assign(&strip);
  }
}

void TAnimatedCursorImage::Assign(const TPersistent* Source) {
  if (!Source) {
    Clear();
    return;
  }
  if (const auto* a = dynamic_cast<const TAnimatedCursorImage*>(Source)) {
    if (a == this) return;
    Clear();
    FHeader = a->FHeader;
    FTitle = a->FTitle;
    FAuthor = a->FAuthor;
    FSourceColorCount = a->FSourceColorCount;
    for (const auto& f : a->FFrames) {
      auto c = std::make_unique<TIconFrame>();
      c->Assign(f.get());
      FFrames.push_back(std::move(c));
    }
    return;
  }
  TPersistent::Assign(Source);
}

void TAnimatedCursorImage::AssignTo(TPersistent* Dest) const {
  if (auto* icon = dynamic_cast<TIcon*>(Dest)) {
    if (FFrames.empty()) icon->Assign(nullptr);
    else icon->Assign(&FFrames[0]->FrameIcon());
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
    DrawStrip(*b, b->Canvas().Brush().Color(), false, true);
    return;
  }
  if (auto* list = dynamic_cast<TIconList*>(Dest)) {
    list->BeginUpdate();
    try {
      list->Clear();
      for (const auto& f : FFrames) list->Add(&f->FrameIcon());
    } catch (...) {
      list->EndUpdate();
      throw;
    }
    list->EndUpdate();
    return;
  }
  TPersistent::AssignTo(Dest);
}

}  // namespace kv

// Reading and writing GIF files. Every count, size and index that comes from
// the file is checked before it is used.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "components/graphics/gif_image.h"
#include "components/graphics/gif_texts.h"
#include "platform/rtl/exceptions.h"

namespace kv {

namespace {

[[noreturn]] void ReadFault() { throw EInvalidGraphicOperation(SReadError); }

class TGifReader {
 public:
  TGifReader(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
  bool AtEnd() const { return FPos >= FSize; }
  size_t Left() const { return FSize - FPos; }
  size_t Pos() const { return FPos; }
  int32_t Percent() const { return FSize ? int32_t(uint64_t(FPos) * 100 / FSize) : 100; }
  uint8_t Byte() {
    if (FPos >= FSize) ReadFault();
    return FData[FPos++];
  }
  uint16_t Word() {
    const uint8_t lo = Byte();
    return uint16_t(lo | (Byte() << 8));
  }
  void Bytes(uint8_t* Out, size_t N) {
    if (N > Left()) ReadFault();
    std::memcpy(Out, FData + FPos, N);
    FPos += N;
  }
  // Length byte plus text until a zero length or the end of the data.
  void SubBlocks(TStringList& Out) {
    while (!AtEnd()) {
      const size_t len = Byte();
      if (len == 0) break;
      const size_t take = std::min(len, Left());
      Out.Add(std::string(reinterpret_cast<const char*>(FData + FPos), take));
      FPos += take;
    }
  }
  // The next non-zero byte; ';' at the end of the data.
  uint8_t NextCode() {
    while (!AtEnd()) {
      const uint8_t c = FData[FPos++];
      if (c != 0) return c;
    }
    return ';';
  }
  // The minimum code size byte and the sub-blocks up to and including the
  // terminator; false when a sub-block runs past the data.
  bool CodedData(std::vector<uint8_t>& Out) {
    Out.push_back(Byte());
    while (!AtEnd()) {
      const size_t len = FData[FPos++];
      Out.push_back(uint8_t(len));
      if (len == 0) return true;
      if (len > Left()) {
        Out.insert(Out.end(), FData + FPos, FData + FSize);
        FPos = FSize;
        return false;
      }
      Out.insert(Out.end(), FData + FPos, FData + FPos + len);
      FPos += len;
    }
    return false;
  }

 private:
  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
};

int32_t BitsForCount(int32_t Count) {
  for (int32_t b = 1; b <= 8; ++b)
    if (Count == (1 << b)) return b;
  throw EInvalidGraphicOperation(SGIFWrongColors);
}

void ReadTable(TGifReader& R, TGIFColorTable& T, int32_t Count) {
  T.Count = Count;
  R.Bytes(&T.RGB[0][0], size_t(Count) * 3);
}

TColor TableColor(const TGIFColorTable& T, int32_t Index) {
  return TColor(RGB(T.RGB[Index][0], T.RGB[Index][1], T.RGB[Index][2]));
}

bool IsLoopExtension(const TExtension& E) {
  if (E.Fixed.size() < 12 || E.SubBlocks.Count() == 0) return false;
  const std::string id(reinterpret_cast<const char*>(E.Fixed.data() + 1), 11);
  const std::string first = E.SubBlocks.Get(0);
  return (id == "NETSCAPE2.0" || id == "ANIMEXTS1.0") && first.size() >= 3 && first[0] == 1;
}

std::unique_ptr<TExtension> ReadExtension(TGifReader& R) {
  const uint8_t label = R.Byte();
  auto e = std::make_unique<TExtension>();
  auto fixed = [&](size_t n) {
    e->Fixed.resize(n);
    R.Bytes(e->Fixed.data(), n);
  };
  switch (label) {
    case 0xF9: e->Kind = gekGraphicControl; fixed(6); break;
    case 0xFE: e->Kind = gekComment; R.SubBlocks(e->SubBlocks); break;
    case 0x01: e->Kind = gekPlainText; fixed(13); R.SubBlocks(e->SubBlocks); break;
    case 0xFF: e->Kind = gekApplication; fixed(12); R.SubBlocks(e->SubBlocks); break;
    default: {
      char msg[64];
      std::snprintf(msg, sizeof msg, "Unerkannter Erweiterungsblock: %.2x", label);
      throw EInvalidGraphicOperation(msg);
    }
  }
  return e;
}

void PutWord(TMemoryStream& S, uint32_t V) {
  const uint8_t b[2] = {uint8_t(V), uint8_t(V >> 8)};
  S.WriteBuffer(b, 2);
}
void PutByte(TMemoryStream& S, uint8_t V) { S.WriteBuffer(&V, 1); }
void PutSubBlocks(TMemoryStream& S, const TStringList& L) {
  for (int32_t i = 0; i < L.Count(); ++i) {
    std::string t = L.Get(i);
    // A sub-block holds at most 255 bytes; longer lines go out in pieces.
    for (size_t at = 0; at < t.size(); at += 255) {
      const size_t n = std::min<size_t>(255, t.size() - at);
      PutByte(S, uint8_t(n));
      S.WriteBuffer(t.data() + at, int32_t(n));
    }
  }
  PutByte(S, 0);
}
void PutTable(TMemoryStream& S, const TGIFColorTable& T, int32_t Entries) {
  uint8_t buf[768] = {};
  std::memcpy(buf, T.RGB, size_t(std::min(T.Count, Entries)) * 3);
  S.WriteBuffer(buf, Entries * 3);
}

}  // namespace

void TGIFImage::ReadGif(int64_t Size, TStream& Stream, bool DecodeFirst) {
  Clear();
  if (Size <= 0) {
    Changed();
    return;
  }
  if (Size > INT32_MAX) ReadFault();
  std::vector<uint8_t> bytes(static_cast<size_t>(Size));
  Stream.ReadBuffer(bytes.data(), int32_t(Size));
  Progress(psStarting, 0);
  try {
    TGifReader r(bytes.data(), bytes.size());
    char sig[6];
    if (r.Left() < 6) throw EInvalidGraphicOperation(SGIFVersion);
    r.Bytes(reinterpret_cast<uint8_t*>(sig), 6);
    auto lower = [](char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); };
    std::string s(6, ' ');
    std::transform(sig, sig + 6, s.begin(), lower);
    if (s == "gif87a") FVersion = gfv87a;
    else if (s == "gif89a") FVersion = gfv89a;
    else throw EInvalidGraphicOperation(SGIFVersion);

    FLogicalWidth = r.Word();
    FLogicalHeight = r.Word();
    const uint8_t packed = r.Byte();
    const uint8_t backIndex = r.Byte();
    FData->AspectRatio = r.Byte();
    FData->BitsPerPixel = uint8_t((packed & 7) + 1);
    FData->ColorResBits = uint8_t(((packed >> 4) & 7) + 1);
    if (packed & 0x80) {
      ReadTable(r, FData->Global, 1 << FData->BitsPerPixel);
      if (backIndex < FData->Global.Count) FBackColor = TableColor(FData->Global, backIndex);
    }

    std::vector<std::unique_ptr<TExtension>> pending;
    uint8_t code = r.NextCode();
    while (code != 0 && code != ';' && !r.AtEnd()) {
      while (code == '!') {
        auto e = ReadExtension(r);
        if (e->Kind == gekPlainText) {
          pending.clear();  // text drawn over the picture is not kept, nor what came before it
        } else if (e->Kind == gekApplication) {
          if (IsLoopExtension(*e)) {
            const std::string& b = e->SubBlocks.Get(0);
            const uint16_t n = uint16_t(uint8_t(b[1]) | (uint8_t(b[2]) << 8));
            FLoopEnabled = true;
            FLoopCount = std::min<uint16_t>(n, 30000);
          }
        } else {
          pending.push_back(std::move(e));
        }
        code = r.NextCode();
      }
      if (code == ',') {
        auto f = std::make_unique<TGIFFrame>(this);
        auto item = std::make_shared<TGIFItem>();
        item->BitsPerPixel = FData->Global.Count ? uint8_t(BitsForCount(FData->Global.Count)) : 8;
        f->ExtensionList = std::move(pending);
        pending.clear();
        f->Origin.X = r.Word();
        f->Origin.Y = r.Word();
        item->Width = r.Word();
        item->Height = r.Word();
        item->Packed = r.Byte();
        f->IsInterlaced = (item->Packed & 0x40) != 0;
        if (item->Packed & 0x80) {
          f->HasLocalTable = true;
          ReadTable(r, item->Colors, 1 << ((item->Packed & 7) + 1));
          item->BitsPerPixel = uint8_t((item->Packed & 7) + 1);
        } else {
          item->Colors = FData->Global;
        }
        if (!r.CodedData(item->CodedData)) {
          if (!GIFTolerantDecoding) ReadFault();
          f->IsCorrupt = true;
        }
        if (item->Width == 0) item->Width = FLogicalWidth;
        if (item->Height == 0) item->Height = FLogicalHeight;
        for (const auto& e : f->ExtensionList) {
          if (e->Kind != gekGraphicControl || e->Fixed.size() < 6) continue;
          const uint8_t gp = e->Fixed[1];
          const uint32_t delay = uint32_t(e->Fixed[2] | (e->Fixed[3] << 8));
          const uint8_t ti = e->Fixed[4];
          f->KeyColor = (gp & 1) && ti < item->Colors.Count ? TableColor(item->Colors, ti) : clNone;
          // Hundredths beyond 6553 do not fit the 16-bit milliseconds: clamped.
          f->DelayMs = uint16_t(std::max<uint32_t>(std::min<uint32_t>(delay * 10, 0xFFFF), f->DelayMs));
          f->Disposal = uint8_t((gp >> 2) & 7);
        }
        f->Item = std::move(item);
        FFrames.push_back(std::move(f));
        Progress(psRunning, r.Percent());
        code = r.NextCode();
        if (code != '!' && code != ',' && code != ';') break;
      } else if (code != '!') {
        // Extensions with no picture after them: their comments describe the image.
        if (FData->ImageComment.Count() == 0) {
          std::string text;
          for (const auto& e : pending) {
            if (e->Kind != gekComment) continue;
            if (!text.empty()) text += "\r\n\r\n";
            for (int32_t i = 0; i < e->SubBlocks.Count(); ++i) text += e->SubBlocks.Get(i);
          }
          if (!text.empty()) FData->ImageComment.SetText(text);
        }
        pending.clear();
        if (code != 0 && code != ';') ReadFault();
      }
    }
    FrameChanged();
    if (!FFrames.empty()) {
      FCurrentFrame = 0;
      if (DecodeFirst) {
        try {
          FFrames[0]->Decode();
        } catch (...) {
          FFrames.erase(FFrames.begin());
          FCurrentFrame = FFrames.empty() ? -1 : 0;
          throw;
        }
      }
    }
  } catch (const Exception& e) {
    Progress(psEnding, 0, e.Message());
    throw;
  }
  Progress(psEnding, 100);
  Changed();
}

void TGIFImage::WriteGif(TStream& Stream, bool WithLength) {
  if (FFrames.empty()) throw EInvalidGraphicOperation(SGIFNoData);
  for (auto& f : FFrames) {
    f->Encode();
    // A frame of no size would read back as one the size of the screen.
    if (f->Item->Width == 0 || f->Item->Height == 0) throw EInvalidGraphicOperation(SGIFNoData);
    f->PrepareExtensions();
  }
  if (FData->ImageComment.Count() > 0) NeedVersion(gfv89a);
  FrameChanged();

  TMemoryStream s;
  s.WriteBuffer(FVersion == gfv89a ? "GIF89a" : "GIF87a", 6);
  PutWord(s, FLogicalWidth);
  PutWord(s, FLogicalHeight);
  const TGIFColorTable& g = FData->Global;
  int32_t c = 0;
  if (g.Count > 0) {
    c = 1;
    while ((1 << c) < g.Count && c < 8) ++c;
  }
  const uint8_t packed =
      c ? uint8_t(0x80 | ((std::clamp<int32_t>(FData->ColorResBits, 1, 8) - 1) << 4) | (c - 1)) : 0;
  PutByte(s, packed);
  uint8_t back = 0;
  for (int32_t i = 0; i < g.Count; ++i)
    if (FBackColor != clNone && TableColor(g, i) == TColor(ColorToRGB(FBackColor))) {
      back = uint8_t(i);
      break;
    }
  PutByte(s, back);
  PutByte(s, FData->AspectRatio);
  if (c) PutTable(s, g, 1 << c);
  if (FLoopEnabled && FFrames.size() > 1) {
    const uint8_t head[3] = {'!', 0xFF, 11};
    s.WriteBuffer(head, 3);
    s.WriteBuffer("NETSCAPE2.0", 11);
    const uint8_t sub[5] = {3, 1, uint8_t(FLoopCount), uint8_t(FLoopCount >> 8), 0};
    s.WriteBuffer(sub, 5);
  }
  for (auto& f : FFrames) {
    for (const auto& e : f->ExtensionList) {
      static constexpr uint8_t kLabels[4] = {0xF9, 0x01, 0xFF, 0xFE};
      PutByte(s, '!');
      PutByte(s, kLabels[e->Kind]);
      if (e->Kind == gekGraphicControl) {
        uint8_t fixed[6] = {4, 0, 0, 0, 0, 0};
        std::memcpy(fixed, e->Fixed.data(), std::min<size_t>(6, e->Fixed.size()));
        fixed[0] = 4;
        fixed[5] = 0;
        s.WriteBuffer(fixed, 6);
        continue;
      }
      if (!e->Fixed.empty()) s.WriteBuffer(e->Fixed.data(), int32_t(e->Fixed.size()));
      PutSubBlocks(s, e->SubBlocks);
    }
    const TGIFItem& it = *f->Item;
    PutByte(s, ',');
    PutWord(s, uint32_t(f->Origin.X));
    PutWord(s, uint32_t(f->Origin.Y));
    PutWord(s, it.Width);
    PutWord(s, it.Height);
    const int32_t bits = std::clamp<int32_t>(it.BitsPerPixel, 1, 8);
    PutByte(s, uint8_t((f->HasLocalTable ? 0x80 | (bits - 1) : 0) | (f->IsInterlaced ? 0x40 : 0)));
    if (f->HasLocalTable) PutTable(s, it.Colors, 1 << bits);
    s.WriteBuffer(it.CodedData.data(), int32_t(it.CodedData.size()));
  }
  if (FData->ImageComment.Count() > 0) {
    PutByte(s, '!');
    PutByte(s, 0xFE);
    TStringList lines;
    for (int32_t i = 0; i < FData->ImageComment.Count(); ++i)
      if (!FData->ImageComment.Get(i).empty()) lines.Add(FData->ImageComment.Get(i).substr(0, 255));
    PutSubBlocks(s, lines);
  }
  PutByte(s, ';');
  if (WithLength) {
    const uint32_t n = uint32_t(s.Size());
    const uint8_t len[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    Stream.WriteBuffer(len, 4);
  }
  Stream.WriteBuffer(s.Memory(), int32_t(s.Size()));
}

void TGIFImage::LoadFromStream(TStream& Stream) { ReadGif(Stream.Size() - Stream.Position(), Stream, true); }
void TGIFImage::SaveToStream(TStream& Stream) { WriteGif(Stream, false); }

void TGIFImage::ReadData(TStream& Stream) {
  uint8_t len[4];
  Stream.ReadBuffer(len, 4);
  const uint32_t n = uint32_t(len[0]) | (uint32_t(len[1]) << 8) | (uint32_t(len[2]) << 16) | (uint32_t(len[3]) << 24);
  if (int64_t(n) > Stream.Size() - Stream.Position()) ReadFault();
  ReadGif(n, Stream, false);
}

void TGIFImage::WriteData(TStream& Stream) { WriteGif(Stream, true); }

}  // namespace kv

// GIF frames and images: decoding on demand, coding bitmaps, assignment and drawing.
#include "components/graphics/gif_image.h"

#include <algorithm>
#include <cstring>

#include "components/graphics/ani_file.h"
#include "components/graphics/gif_lzw.h"
#include "components/graphics/gif_texts.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace kv {

bool GIFTolerantDecoding = true;
TColorReduction GIFColorReduction = crHistogram;

namespace {
struct TGIFRegistration {
  TGIFRegistration() { RegisterGIFImage(); }
  ~TGIFRegistration() { UnregisterGIFImage(); }
} GGIFRegistration;

// A frame's pixels are held twice while decoding; this keeps a 16-bit frame size in reach.
constexpr int64_t kMaxFramePixels = int64_t(1) << 26;

TColor TableColor(const TGIFColorTable& T, int32_t Index) {
  return TColor(RGB(T.RGB[Index][0], T.RGB[Index][1], T.RGB[Index][2]));
}
}  // namespace

// ---- TExtension ----

void TExtension::Assign(const TPersistent* Source) {
  if (const auto* e = dynamic_cast<const TExtension*>(Source)) {
    Kind = e->Kind;
    Fixed = e->Fixed;
    SubBlocks.Assign(&e->SubBlocks);
    return;
  }
  TPersistent::Assign(Source);
}

// ---- TGIFFrame ----

TGIFFrame::TGIFFrame(TGIFImage* Owner) : FOwner(Owner) {}
TGIFFrame::~TGIFFrame() = default;

void TGIFFrame::Reset() {
  Item.reset();
  FBitmap.reset();
  IsCorrupt = false;
}

TBitmap* TGIFFrame::DecodedBitmap() {
  if (!FBitmap && Item && !Item->CodedData.empty()) Decode();
  return FBitmap.get();
}

int32_t TGIFFrame::Width() const {
  if (FBitmap) return FBitmap->Width();
  return Item && !Item->CodedData.empty() ? Item->Width : 0;
}
int32_t TGIFFrame::Height() const {
  if (FBitmap) return FBitmap->Height();
  return Item && !Item->CodedData.empty() ? Item->Height : 0;
}

void TGIFFrame::SetBitmap(const TBitmap& Value, bool KeepData) {
  auto b = std::make_unique<TBitmap>();
  b->Assign(&Value);
  if (!KeepData) Item.reset();
  FBitmap = std::move(b);
}

TStringList& TGIFFrame::FrameComment() {
  for (auto& e : ExtensionList)
    if (e->Kind == gekComment) return e->SubBlocks;
  auto e = std::make_unique<TExtension>();
  e->Kind = gekComment;
  ExtensionList.push_back(std::move(e));
  return ExtensionList.back()->SubBlocks;
}

void TGIFFrame::Decode() {
  if (!Item) return;
  const TGIFItem& it = *Item;
  int32_t bits;
  if (it.BitsPerPixel == 1) bits = 1;
  else if (it.BitsPerPixel >= 2 && it.BitsPerPixel <= 4) bits = 4;
  else if (it.BitsPerPixel >= 5 && it.BitsPerPixel <= 8) bits = 8;
  else throw EInvalidGraphicOperation(SGIFWrongColors);
  const int32_t w = it.Width, h = it.Height;
  if (int64_t(w) * h > kMaxFramePixels) throw EInvalidGraphicOperation(SGIFDecodeError);

  std::vector<uint8_t> pixels(size_t(w) * size_t(h), 0);
  FOwner->Progress(psStarting, 0);
  TGifDecodeResult res;
  try {
    res = GifLzwDecode(it.CodedData.data(), it.CodedData.size(), w, h, IsInterlaced, GIFTolerantDecoding,
                       pixels.data(), [this](int32_t p) { FOwner->Progress(psRunning, p); });
  } catch (const Exception& e) {
    FOwner->Progress(psEnding, 0, e.Message());
    throw;
  }
  IsCorrupt = IsCorrupt || res.Corrupt;

  const TPixelFormat fmt = bits == 1 ? pf1bit : bits == 4 ? pf4bit : pf8bit;
  auto b = std::make_unique<TBitmap>();
  b->AllocateForOverwrite(w, h, fmt);
  // The frame's colours, the rest of the table grey as the stored file had it.
  std::vector<TPaletteEntry> pal(size_t(1) << bits, TPaletteEntry{128, 128, 128, 0});
  for (int32_t i = 0; i < std::min<int32_t>(it.Colors.Count, int32_t(pal.size())); ++i)
    pal[size_t(i)] = {it.Colors.RGB[i][0], it.Colors.RGB[i][1], it.Colors.RGB[i][2], 0};
  b->SetPaletteEntries(0, int32_t(pal.size()), pal.data());
  const uint8_t mask = uint8_t((1 << bits) - 1);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = static_cast<uint8_t*>(b->ScanLine(y));
    const uint8_t* src = pixels.data() + size_t(y) * size_t(w);
    if (bits == 8) {
      std::memcpy(row, src, size_t(w));
    } else if (bits == 4) {
      std::memset(row, 0, size_t(b->RowBytes()));
      for (int32_t x = 0; x < w; ++x) row[x >> 1] |= uint8_t((src[x] & mask) << ((x & 1) ? 0 : 4));
    } else {
      std::memset(row, 0, size_t(b->RowBytes()));
      for (int32_t x = 0; x < w; ++x) row[x >> 3] |= uint8_t((src[x] & 1) << (7 - (x & 7)));
    }
  }
  FBitmap = std::move(b);
  FOwner->Progress(psEnding, 100);
}

void TGIFFrame::Encode() {
  if (Item && !Item->CodedData.empty()) return;
  if (!FBitmap || FBitmap->Empty()) throw EInvalidGraphicOperation(SGIFNoData);
  std::unique_ptr<TBitmap> reduced;
  const TBitmap* src = FBitmap.get();
  const TPixelFormat pf = src->PixelFormat();
  if (pf != pf1bit && pf != pf4bit && pf != pf8bit) {
    const TColorReduction method = ReduceToGray ? crGrayscale : GIFColorReduction;
    if (method == crGrayscale) ReduceToGray = true;
    auto s = BitmapToDIBStream(*src, pf8bit, method);
    reduced = std::make_unique<TBitmap>();
    reduced->LoadFromStream(*s);
    src = reduced.get();
  }
  const int32_t bitCount = PixelFormatBits(src->PixelFormat());
  if (bitCount != 1 && bitCount != 4 && bitCount != 8) throw EInvalidGraphicOperation(SGIFEncodeError);
  const int32_t w = src->Width(), h = src->Height();
  if (w > 0xFFFF || h > 0xFFFF) throw EInvalidGraphicOperation(SGIFEncodeError);

  auto item = std::make_shared<TGIFItem>();
  std::vector<TPaletteEntry> pal = src->Palette();
  if (pal.empty()) pal = DefaultPalette(src->PixelFormat());
  if (pal.size() > 256) pal.resize(256);
  int32_t n = 1;
  while ((1 << n) < int32_t(pal.size())) ++n;
  item->BitsPerPixel = uint8_t(n);
  item->Colors.Count = 1 << n;
  for (size_t i = 0; i < pal.size(); ++i) {
    item->Colors.RGB[i][0] = pal[i].peRed;
    item->Colors.RGB[i][1] = pal[i].peGreen;
    item->Colors.RGB[i][2] = pal[i].peBlue;
  }
  std::vector<uint8_t> pixels(size_t(w) * size_t(h));
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(src->ScanLine(y));
    uint8_t* dst = pixels.data() + size_t(y) * size_t(w);
    for (int32_t x = 0; x < w; ++x) {
      if (bitCount == 8) dst[x] = row[x];
      else if (bitCount == 4) dst[x] = uint8_t((x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4);
      else dst[x] = uint8_t((row[x >> 3] >> (7 - (x & 7))) & 1);
    }
  }
  FOwner->Progress(psStarting, 0);
  try {
    item->CodedData = GifLzwEncode(pixels.data(), w, h, bitCount, false,
                                   [this](int32_t p) { FOwner->Progress(psRunning, p); });
  } catch (const Exception& e) {
    Item.reset();
    FOwner->Progress(psEnding, 0, e.Message());
    throw;
  }
  FOwner->Progress(psEnding, 100);
  IsInterlaced = false;
  item->Width = uint16_t(w);
  item->Height = uint16_t(h);
  TGIFData& d = FOwner->Data();
  if (d.Global.Count == 0) {
    d.Global = item->Colors;
    d.BitsPerPixel = item->BitsPerPixel;
    HasLocalTable = false;
  } else {
    HasLocalTable = true;
  }
  item->Packed = uint8_t((HasLocalTable ? 0x80 | (n - 1) : 0));
  Item = std::move(item);
  FOwner->FrameChanged();
}

void TGIFFrame::PrepareExtensions() {
  TExtension* gce = nullptr;
  for (auto& e : ExtensionList)
    if (e->Kind == gekGraphicControl) gce = e.get();
  if (!gce && (DelayMs != 0 || KeyColor != clNone || Disposal != 0)) {
    auto e = std::make_unique<TExtension>();
    e->Kind = gekGraphicControl;
    e->Fixed = {4, 0, 0, 0, 0, 0};
    gce = e.get();
    ExtensionList.push_back(std::move(e));
  }
  if (gce) {
    gce->Fixed.resize(6);
    gce->Fixed[0] = 4;
    uint8_t packed = uint8_t(gce->Fixed[1] & ~(0x1C | 0x01));
    const uint16_t delay = uint16_t(DelayMs / 10);
    gce->Fixed[2] = uint8_t(delay);
    gce->Fixed[3] = uint8_t(delay >> 8);
    if (KeyColor != clNone && Item) {
      const TColor key = TColor(ColorToRGB(KeyColor));
      for (int32_t i = 0; i < Item->Colors.Count; ++i)
        if (TableColor(Item->Colors, i) == key) {
          packed |= 1;
          gce->Fixed[4] = uint8_t(i);
          break;
        }
    }
    packed = uint8_t(packed | ((Disposal & 7) << 2));
    gce->Fixed[1] = packed;
  }
  ExtensionList.erase(std::remove_if(ExtensionList.begin(), ExtensionList.end(),
                                     [](const std::unique_ptr<TExtension>& e) {
                                       if (e->Kind != gekComment) return false;
                                       for (int32_t i = 0; i < e->SubBlocks.Count(); ++i)
                                         if (!e->SubBlocks.Get(i).empty()) return false;
                                       return true;
                                     }),
                      ExtensionList.end());
  if (!ExtensionList.empty()) FOwner->NeedVersion(gfv89a);
}

void TGIFFrame::Assign(const TPersistent* Source) {
  if (const auto* f = dynamic_cast<const TGIFFrame*>(Source)) {
    if (f == this) return;
    Item = f->Item;  // shared
    FBitmap.reset();
    if (f->FBitmap) {
      FBitmap = std::make_unique<TBitmap>();
      FBitmap->Assign(f->FBitmap.get());
    }
    Origin = f->Origin;
    IsInterlaced = f->IsInterlaced;
    IsCorrupt = f->IsCorrupt;
    ReduceToGray = f->ReduceToGray;
    KeyColor = f->KeyColor;
    DelayMs = f->DelayMs;
    Disposal = f->Disposal;
    HasLocalTable = f->FOwner == FOwner ? f->HasLocalTable : true;
    ExtensionList.clear();
    for (const auto& e : f->ExtensionList) {
      auto c = std::make_unique<TExtension>();
      c->Assign(e.get());
      ExtensionList.push_back(std::move(c));
    }
    // Another image's frame needs its colours with it.
    if (Item && HasLocalTable) Item->Packed |= 0x80;
    FOwner->FrameChanged();
    return;
  }
  if (const auto* g = dynamic_cast<const TBitmap*>(Source)) {
    SetBitmap(*g);
    if (g->Transparent()) KeyColor = g->TransparentColor();
    FOwner->FrameChanged();
    return;
  }
  if (const auto* icon = dynamic_cast<const TIcon*>(Source)) {
    // Drawn on a colour no icon is likely to use, which then marks the see-through pixels.
    TBitmap b(icon->Width(), icon->Height(), pf24bit);
    b.Canvas().Brush().SetColor(clFuchsia);
    b.Canvas().FillRect(Rect(0, 0, b.Width(), b.Height()));
    const_cast<TIcon*>(icon)->Draw(b.Canvas(), Rect(0, 0, b.Width(), b.Height()));
    SetBitmap(b);
    KeyColor = clFuchsia;
    FOwner->FrameChanged();
    return;
  }
  if (const auto* gif = dynamic_cast<const TGIFImage*>(Source)) {
    if (gif->FrameCount() == 0) {
      Reset();
      return;
    }
    Assign(&gif->Frames(std::max(0, gif->CurrentFrame())));
    return;
  }
  TPersistent::Assign(Source);
}

void TGIFFrame::AssignTo(TPersistent* Dest) const {
  if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
    TBitmap* src = const_cast<TGIFFrame*>(this)->DecodedBitmap();
    b->Assign(src);
    if (src && KeyColor != clNone) {
      b->SetTransparentColor(TColor(ColorToRGB(KeyColor)));
      b->SetTransparent(true);
    }
    return;
  }
  TPersistent::AssignTo(Dest);
}

// ---- TGIFImage ----

TGIFImage::TGIFImage() : FData(std::make_shared<TGIFData>()) { FTransparent = true; }
TGIFImage::~TGIFImage() = default;

void TGIFImage::SetWidth(int32_t) { throw EInvalidGraphicOperation(SGIFResize); }
void TGIFImage::SetHeight(int32_t) { throw EInvalidGraphicOperation(SGIFResize); }

void TGIFImage::Clear() {
  FData = std::make_shared<TGIFData>();
  FFrames.clear();
  FCurrentFrame = -1;
  FBackColor = clNone;
  FLoopCount = 1;
  FLoopEnabled = false;
  FVersion = gfvNone;
  FLogicalWidth = FLogicalHeight = 0;
}

TGIFFrame& TGIFImage::Frames(int32_t Index) const {
  if (Index < 0 || Index >= FrameCount()) throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
  return *FFrames[size_t(Index)];
}

void TGIFImage::SetCurrentFrame(int32_t Value) {
  if (Value < -1 || Value >= FrameCount() || Value == FCurrentFrame) return;
  FCurrentFrame = Value;
  Changed();
}

void TGIFImage::Progress(TProgressStage Stage, int32_t Percent, const std::string& Msg) {
  if (OnProgress) OnProgress(this, Stage, uint8_t(std::clamp(Percent, 0, 100)), Msg);
}

void TGIFImage::FrameChanged() {
  int32_t w = 0, h = 0;
  for (const auto& f : FFrames) {
    w = std::max(w, f->Origin.X + f->Width());
    h = std::max(h, f->Origin.Y + f->Height());
  }
  FLogicalWidth = uint16_t(std::min(w, 0xFFFF));
  FLogicalHeight = uint16_t(std::min(h, 0xFFFF));
}

int32_t TGIFImage::AppendFrame(const TGraphic& Graphic) {
  auto f = std::make_unique<TGIFFrame>(this);
  FFrames.push_back(std::move(f));
  try {
    FFrames.back()->Assign(&Graphic);
  } catch (...) {
    FFrames.pop_back();
    throw;
  }
  NeedVersion(gfv87a);
  if (FFrames.size() > 1) NeedVersion(gfv89a);
  FCurrentFrame = FrameCount() - 1;
  FrameChanged();
  Changed();
  return FCurrentFrame;
}

void TGIFImage::Assign(const TPersistent* Source) {
  if (!Source) {
    Clear();
    Changed();
    return;
  }
  if (Source == this) return;
  if (const auto* g = dynamic_cast<const TGIFImage*>(Source)) {
    std::vector<std::unique_ptr<TGIFFrame>> frames;
    for (const auto& f : g->FFrames) {
      auto c = std::make_unique<TGIFFrame>(this);
      frames.push_back(std::move(c));
      frames.back()->Assign(f.get());
      frames.back()->HasLocalTable = f->HasLocalTable;
    }
    FData = g->FData;
    FFrames = std::move(frames);
    FVersion = g->FVersion;
    FBackColor = g->FBackColor;
    FLoopCount = g->FLoopCount;
    FLoopEnabled = g->FLoopEnabled;
    FLogicalWidth = g->FLogicalWidth;
    FLogicalHeight = g->FLogicalHeight;
    FCurrentFrame = g->FCurrentFrame;
    Changed();
    return;
  }
  if (const auto* f = dynamic_cast<const TGIFFrame*>(Source)) {
    auto data = std::make_shared<TGIFData>();
    const TGIFData& src = f->OwnerImage()->Data();
    data->AspectRatio = src.AspectRatio;
    data->BitsPerPixel = src.BitsPerPixel;
    data->ColorResBits = src.ColorResBits;
    data->Global = src.Global;
    Clear();
    FData = data;
    auto c = std::make_unique<TGIFFrame>(this);
    FFrames.push_back(std::move(c));
    FFrames.back()->Assign(f);
    FFrames.back()->HasLocalTable = f->HasLocalTable;
    FCurrentFrame = 0;
    NeedVersion(gfv87a);
    FrameChanged();
    Changed();
    return;
  }
  if (const auto* a = dynamic_cast<const TAnimatedCursorImage*>(Source)) {
    Clear();
    FBackColor = clWindow;
    for (int32_t i = 0; i < a->FrameCount(); ++i) {
      const TIconFrame& f = a->FrameItems(i);
      AppendFrame(f.FrameIcon());
      FFrames.back()->DelayMs = uint16_t(std::min<uint64_t>(uint64_t(f.JiffyRate) * 100 / 6, 0xFFFF));
    }
    Changed();
    return;
  }
  if (const auto* b = dynamic_cast<const TBitmap*>(Source)) {
    TBitmap copy;
    copy.Assign(b);  // Source may be a frame's own bitmap
    Clear();
    AppendFrame(copy);
    return;
  }
  TGraphic::Assign(Source);
}

void TGIFImage::AssignTo(TPersistent* Dest) const {
  if (auto* g = dynamic_cast<TGIFImage*>(Dest)) {
    g->Assign(this);
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
    if (FFrames.empty()) {
      b->Assign(nullptr);
      return;
    }
    FFrames[size_t(std::max(0, FCurrentFrame))]->AssignTo(b);
    return;
  }
  TGraphic::AssignTo(Dest);
}

void TGIFImage::Draw(TCanvas& ACanvas, const TRect& Rect) {
  if (FFrames.empty()) return;
  TGIFFrame& f = *FFrames[size_t(std::max(0, FCurrentFrame))];
  TBitmap* b = f.DecodedBitmap();
  if (!b || b->Empty()) return;
  const bool masked = Transparent() && f.KeyColor != clNone;
  const bool wasTransparent = b->Transparent();
  const TColor oldKey = b->TransparentColor();
  const TTransparentMode oldMode = b->TransparentMode();
  if (masked) {
    b->SetTransparentColor(TColor(ColorToRGB(f.KeyColor)));
    b->SetTransparent(true);
  } else {
    b->SetTransparent(false);
  }
  ACanvas.StretchDraw(Rect, *b);
  b->SetTransparent(wasTransparent);
  if (oldMode == tmAuto) b->SetTransparentMode(tmAuto);
  else b->SetTransparentColor(oldKey);
}

std::vector<TPaletteEntry> TGIFImage::Palette() {
  if (FFrames.empty()) return {};
  TBitmap* b = FFrames[size_t(std::max(0, FCurrentFrame))]->DecodedBitmap();
  return b ? b->Palette() : std::vector<TPaletteEntry>();
}

const TPropertyTable& TGIFImage::PropertyTable() const {
  // The picture travels in a form's resource as the hex text of its length-prefixed data.
  static const auto table = TPropertyTable::Make<TGIFImage>(TGraphic::PropertyTable(), [](auto& p) {
    p.String(
        "Data",
        [](const TGIFImage& g) {
          if (g.Empty()) return std::string();
          TMemoryStream s;
          const_cast<TGIFImage&>(g).WriteData(s);
          static const char kHex[] = "0123456789ABCDEF";
          std::string out;
          out.reserve(size_t(s.Size()) * 2);
          const uint8_t* m = static_cast<const uint8_t*>(s.Memory());
          for (int64_t i = 0; i < s.Size(); ++i) {
            out += kHex[m[i] >> 4];
            out += kHex[m[i] & 15];
          }
          return out;
        },
        [](TGIFImage& g, const std::string& text) {
          if (text.empty()) {
            g.Assign(nullptr);
            return;
          }
          if (text.size() % 2) throw EInvalidGraphicOperation(SReadError);
          std::vector<uint8_t> bytes(text.size() / 2);
          auto nib = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            throw EInvalidGraphicOperation(SReadError);
          };
          for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(nib(text[2 * i]) * 16 + nib(text[2 * i + 1]));
          TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
          g.ReadData(s);
        });
  });
  return table;
}

}  // namespace kv

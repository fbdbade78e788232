// Image lists: one pixel block and one see-through map per image.
#include "platform/ui/image_list.h"

#include <algorithm>

namespace kv {

TChangeLink::~TChangeLink() {
  if (FSender) FSender->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  if (OnChange) OnChange(FSender);
}

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(TComponent* AOwner, int32_t AWidth, int32_t AHeight)
    : TComponent(AOwner), FWidth(std::max(AWidth, 1)), FHeight(std::max(AHeight, 1)) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* l : FLinks) l->SetSender(nullptr);
  FLinks.clear();
}

void TCustomImageList::SetSize(int32_t AWidth, int32_t AHeight) {
  AWidth = std::max(AWidth, 1);
  AHeight = std::max(AHeight, 1);
  if (AWidth == FWidth && AHeight == FHeight) return;
  FWidth = AWidth;
  FHeight = AHeight;
  FImages.clear();
  Change();
}

TCustomImageList::TEntry TCustomImageList::Cut(const TBitmap& Image, int32_t Left,
                                               const std::function<bool(int32_t, int32_t)>& SeeThrough) const {
  TEntry e;
  e.Pixels.assign(size_t(FWidth) * size_t(FHeight), 0);
  e.Clear.assign(e.Pixels.size(), 1);
  const int32_t w = std::min(FWidth, Image.Width() - Left), h = std::min(FHeight, Image.Height());
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t i = size_t(y) * size_t(FWidth) + size_t(x);
      const TColorRef c = static_cast<TColorRef>(Image.GetPixelColor(Left + x, y));
      e.Pixels[i] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
      e.Clear[i] = SeeThrough(Left + x, y) ? 1 : 0;
    }
  return e;
}

int32_t TCustomImageList::AddCells(const TBitmap& Image, const std::function<bool(int32_t, int32_t)>& SeeThrough) {
  if (Image.Empty()) return -1;
  const int32_t first = Count();
  const int32_t n = std::max(1, Image.Width() / FWidth);
  for (int32_t i = 0; i < n; ++i) FImages.push_back(Cut(Image, i * FWidth, SeeThrough));
  Change();
  return first;
}

namespace {
std::function<bool(int32_t, int32_t)> MaskTest(const TBitmap* Mask) {
  if (!Mask) return [](int32_t, int32_t) { return false; };
  return [Mask](int32_t X, int32_t Y) {
    return X < Mask->Width() && Y < Mask->Height() && (ColorToRGB(Mask->GetPixelColor(X, Y)) & 0xFFFFFF) != 0;
  };
}
std::function<bool(int32_t, int32_t)> ColorTest(const TBitmap& Image, TColor MaskColor) {
  const TColorRef key = ColorToRGB(MaskColor);
  return [&Image, key](int32_t X, int32_t Y) { return static_cast<TColorRef>(Image.GetPixelColor(X, Y)) == key; };
}
}  // namespace

int32_t TCustomImageList::Add(const TBitmap& Image, const TBitmap* Mask) { return AddCells(Image, MaskTest(Mask)); }

int32_t TCustomImageList::AddMasked(const TBitmap& Image, TColor MaskColor) {
  return AddCells(Image, ColorTest(Image, MaskColor));
}

void TCustomImageList::Replace(int32_t Index, const TBitmap& Image, const TBitmap* Mask) {
  if (Index < 0 || Index >= Count()) return;
  FImages[size_t(Index)] = Cut(Image, 0, MaskTest(Mask));
  Change();
}

void TCustomImageList::ReplaceMasked(int32_t Index, const TBitmap& Image, TColor MaskColor) {
  if (Index < 0 || Index >= Count()) return;
  FImages[size_t(Index)] = Cut(Image, 0, ColorTest(Image, MaskColor));
  Change();
}

void TCustomImageList::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) return;
  FImages.erase(FImages.begin() + Index);
  Change();
}

void TCustomImageList::Clear() {
  if (FImages.empty()) return;
  FImages.clear();
  Change();
}

void TCustomImageList::Draw(TCanvas& Canvas, int32_t X, int32_t Y, int32_t Index) const {
  if (Index < 0 || Index >= Count()) return;
  const TEntry& e = FImages[size_t(Index)];
  for (int32_t y = 0; y < FHeight; ++y)
    for (int32_t x = 0; x < FWidth; ++x) {
      const size_t i = size_t(y) * size_t(FWidth) + size_t(x);
      if (e.Clear[i]) continue;
      const uint32_t p = e.Pixels[i];
      Canvas.SetPixel(X + x, Y + y, static_cast<TColor>(RGB(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p))));
    }
}

bool TCustomImageList::GetBitmap(int32_t Index, TBitmap& Image, TColor BackColor) const {
  if (Index < 0 || Index >= Count()) return false;
  Image.Assign(nullptr);
  Image.SetPixelFormat(pf24bit);
  Image.SetSize(FWidth, FHeight);
  const TColor back = static_cast<TColor>(ColorToRGB(BackColor));
  const TEntry& e = FImages[size_t(Index)];
  for (int32_t y = 0; y < FHeight; ++y)
    for (int32_t x = 0; x < FWidth; ++x) {
      const size_t i = size_t(y) * size_t(FWidth) + size_t(x);
      const uint32_t p = e.Pixels[i];
      Image.SetPixelColor(x, y, e.Clear[i] ? back : static_cast<TColor>(RGB(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p))));
    }
  return true;
}

bool TCustomImageList::GetMask(int32_t Index, TBitmap& Mask) const {
  if (Index < 0 || Index >= Count()) return false;
  Mask.Assign(nullptr);
  Mask.SetPixelFormat(pf1bit);
  Mask.SetSize(FWidth, FHeight);
  const TEntry& e = FImages[size_t(Index)];
  for (int32_t y = 0; y < FHeight; ++y)
    for (int32_t x = 0; x < FWidth; ++x)
      Mask.SetPixelColor(x, y, e.Clear[size_t(y) * size_t(FWidth) + size_t(x)] ? clWhite : clBlack);
  return true;
}

bool TCustomImageList::IsTransparent(int32_t Index, int32_t X, int32_t Y) const {
  if (Index < 0 || Index >= Count() || X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return true;
  return FImages[size_t(Index)].Clear[size_t(Y) * size_t(FWidth) + size_t(X)] != 0;
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
  if (!Value || std::find(FLinks.begin(), FLinks.end(), Value) != FLinks.end()) return;
  Value->SetSender(this);
  FLinks.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
  auto it = std::find(FLinks.begin(), FLinks.end(), Value);
  if (it == FLinks.end()) return;
  FLinks.erase(it);
  Value->SetSender(nullptr);
}

void TCustomImageList::Change() {
  // A link may unregister itself from its handler.
  const std::vector<TChangeLink*> links = FLinks;
  for (TChangeLink* l : links)
    if (std::find(FLinks.begin(), FLinks.end(), l) != FLinks.end()) l->Change();
  if (OnChange) OnChange(this);
}

const TPropertyTable& TCustomImageList::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomImageList>(TComponent::PropertyTable(), [](auto& p) {
    p.Integer("Width", &TCustomImageList::Width, &TCustomImageList::SetWidth);
    p.Integer("Height", &TCustomImageList::Height, &TCustomImageList::SetHeight);
    p.Method("OnChange");
  });
  return table;
}

}  // namespace kv

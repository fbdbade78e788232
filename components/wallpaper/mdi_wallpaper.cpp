// Hooking the client, the properties and their effects, and the prepared image.
#include "components/wallpaper/mdi_wallpaper.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "components/graphics/gif_image.h"
#include "components/graphics/kv_graph.h"
#include "components/graphics/rr_colors.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/icon.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/list_box.h"
#include "platform/ui/scrolling.h"
#include "platform/ui/tree_view.h"

namespace kv {

TPicture* SharedWallpaperPicture = nullptr;

namespace {

// Never destroyed: a wallpaper of a form still alive at exit leaves this list
// after the file's statics may be gone.
std::vector<TMDIWallpaper*>& AllWallpapers() {
  static auto* list = new std::vector<TMDIWallpaper*>;
  return *list;
}

TColorRef GRamp[256];
bool GRampBuilt = false;

void BuildRamp() {
  const THLS face = RGBToHLS(clBtnFace);
  const THLS hi = RGBToHLS(clBtnHighlight);
  const int32_t lf = face.Luminance, lh = hi.Luminance;
  for (int32_t i = 0; i < 256; ++i) {
    const int32_t l = i <= 192 ? lf * i / 192 : lf + (i - 192) * (lh - lf) / 63;
    GRamp[i] = ColorToRGB(HLSToRGB(face.Hue, l, face.Saturation));
  }
  GRampBuilt = true;
}

int32_t Half(int32_t v) { return v / 2; }  // toward zero

// The picture as a bitmap with its grey levels replaced by the ramp's colours.
std::unique_ptr<TBitmap> GrayMap(const TBitmap& Source) {
  auto b = std::make_unique<TBitmap>();
  const TPixelFormat pf = Source.PixelFormat();
  if (pf == pf1bit || pf == pf4bit || pf == pf8bit) {
    b->Assign(&Source);
  } else {
    auto s = BitmapToDIBStream(Source, pf8bit, crGrayscale);
    b->LoadFromStream(*s);
  }
  const TColorRef* ramp = TMDIWallpaper::GrayRamp();
  std::vector<TPaletteEntry> pal = b->Palette();
  for (TPaletteEntry& e : pal)
    if (e.peRed == e.peGreen && e.peGreen == e.peBlue) {
      const TColorRef c = ramp[e.peRed];
      e = {GetRValue(c), GetGValue(c), GetBValue(c), 0};
    }
  if (!pal.empty()) b->SetPaletteEntries(0, int32_t(pal.size()), pal.data());
  b->SetPixelFormat(pf24bit);
  return b;
}

// Any graphic as a 24-bit bitmap, drawn on Background where it is not a bitmap.
std::unique_ptr<TBitmap> AsBitmap(TGraphic& G, TColor Background) {
  auto b = std::make_unique<TBitmap>();
  if (const auto* bmp = dynamic_cast<const TBitmap*>(&G)) {
    b->Assign(bmp);
    b->SetTransparent(false);
    return b;
  }
  b->SetSize(G.Width(), G.Height());
  b->Canvas().Brush().SetColor(Background);
  b->Canvas().FillRect(Rect(0, 0, b->Width(), b->Height()));
  if (auto* icon = dynamic_cast<TIcon*>(&G)) icon->Draw(b->Canvas(), Rect(0, 0, b->Width(), b->Height()));
  else if (auto* gif = dynamic_cast<TGIFImage*>(&G)) gif->Draw(b->Canvas(), Rect(0, 0, b->Width(), b->Height()));
  return b;
}

}  // namespace

// Bound to the wallpaper it belongs to, so that unhooking can tell whether
// the control's procedure is still this one.
struct TMDIWallpaper::THookProc {
  TMDIWallpaper* Owner;
  void operator()(TMessage& Message) const { Owner->HookedWndProc(Message); }
};

TMDIWallpaper::TMDIWallpaper(TComponent* AOwner) : TComponent(AOwner), FPicture(std::make_unique<TPicture>()) {
  FPicture->OnChange = [this](TObject*) { PictureChanged(); };
  AllWallpapers().push_back(this);
  // At design time an owner that is a windowed control is painted, unless another wallpaper does it.
  if (AOwner && AOwner->ComponentState().Contains(csDesigning)) {
    SetDesigning(true);
    if (auto* w = dynamic_cast<TWinControl*>(AOwner)) {
      bool taken = false;
      for (TMDIWallpaper* o : AllWallpapers())
        if (o != this && o->FClient == w) taken = true;
      if (!taken) {
        FClient = w;
        w->FreeNotification(this);
        Hook();
      }
    }
  }
}

TMDIWallpaper::~TMDIWallpaper() {
  Unhook();
  if (FClient) FClient->RemoveFreeNotification(this);
  auto& all = AllWallpapers();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  FPicture->OnChange = nullptr;
}

TMDIWallpaper1::TMDIWallpaper1(TComponent* AOwner) : TMDIWallpaper(AOwner) {
  if (SharedWallpaperPicture) Picture().Assign(SharedWallpaperPicture);
}

const TColorRef* TMDIWallpaper::GrayRamp() {
  if (!GRampBuilt) BuildRamp();
  return GRamp;
}

void TMDIWallpaper::SystemColorsChanged() {
  BuildRamp();
  for (TMDIWallpaper* w : AllWallpapers())
    if (w->FGrayMapped) w->PrepareImage();
}

// ---- client and hook ----

void TMDIWallpaper::SetClient(TWinControl* Value) {
  if (Value == FClient) return;
  const TComponentState st = ComponentState();
  if (!st.Contains(csDesigning) && !st.Contains(csLoading)) throw EMDIWallpaper(SWallpaperClientAtRuntime);
  if (Value)
    for (TMDIWallpaper* o : AllWallpapers())
      if (o != this && o->FClient == Value) {
        // One wallpaper per client: the other one lets it go.
        o->Unhook();
        o->FClient->RemoveFreeNotification(o);
        o->FClient = nullptr;
      }
  if (FClient) {
    Unhook();
    FClient->RemoveFreeNotification(this);
  }
  FClient = Value;
  if (FClient) {
    FClient->FreeNotification(this);
    if (!st.Contains(csLoading)) Hook();
  }
}

bool TMDIWallpaper::ClientIsOwnerForm() const {
  return FClient && FClient == Owner() && dynamic_cast<const TCustomForm*>(FClient);
}

void TMDIWallpaper::SetClientIsOwnerForm(bool Value) {
  if (Value)
    if (auto* f = dynamic_cast<TCustomForm*>(Owner())) SetClient(f);
}

void TMDIWallpaper::Loaded() {
  TComponent::Loaded();
  Hook();
}

void TMDIWallpaper::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FClient) {
    Unhook();
    FClient = nullptr;
  }
}

void TMDIWallpaper::Hook() {
  if (!FClient || FHooked || FClient->ComponentState().Contains(csLoading)) return;
  auto* form = dynamic_cast<TCustomForm*>(FClient);
  if (form && form->ComponentState().Contains(csDesigning)) return;
  FIsMDIClient = form && form->FormStyle() == fsMDIForm;
  FPrevProc = FClient->WindowProc;
  FClient->WindowProc = THookProc{this};
  FHooked = true;
  PrepareImage();
}

void TMDIWallpaper::Unhook() {
  if (!FHooked) return;
  FHooked = false;
  // A control being freed has no procedure left to put back.
  if (FClient && !FClient->ComponentState().Contains(csDestroying)) {
    const THookProc* mine = FClient->WindowProc.target<THookProc>();
    const bool ours = mine && mine->Owner == this;
    FClient->WindowProc = FPrevProc;
    if (!ours) {
      const std::string owner = Owner() ? Owner()->Name() : std::string();
      Application->MessageBox(Format(SWallpaperChainBroken, owner, Name(), FClient->Name(), std::string()),
                              "Warning", MB_OK | MB_ICONWARNING);
    }
    FClient->Invalidate();
  }
  FPrevProc = nullptr;
  FIsMDIClient = false;
}

void TMDIWallpaper::HookedWndProc(TMessage& Message) {
  const TWndMethod prev = FPrevProc;  // the handler may unhook
  TWinControl* client = FClient;
  if (Message.Msg == WM_ERASEBKGND && FEnabled && FHasPicture && Message.WParam) {
    const auto* form = dynamic_cast<const TCustomForm*>(client);
    if (!form || form->WindowState() != wsMinimized) {
      PaintWallpaper(*reinterpret_cast<TCanvas*>(Message.WParam), PaintArea());
      Message.Result = 1;
      return;
    }
  }
  if (Message.Msg == WM_HSCROLL || Message.Msg == WM_VSCROLL) {
    // The offsets follow the MDI client's scrolling so that tiles stay put
    // on the scrolled desktop; the delta comes with the message (pixels).
    if (FIsMDIClient) (Message.Msg == WM_HSCROLL ? FScrollX : FScrollY) += int32_t(Message.LParam);
    if (FMode != wpTile) InvalidateClient();
  }
  if (prev) prev(Message);
  if (Message.Msg == WM_SIZE && FMode != wpTile && FMode != wpTopLeft) InvalidateClient();
  // A form turns the desktop's colour change into CM_SYSCOLORCHANGE and hands
  // that to its controls, so a form and an MDI client area both hear it once.
  else if (Message.Msg == CM_SYSCOLORCHANGE) SystemColorsChanged();
}

int32_t MDIScrollDelta(uint16_t Code, int32_t Pos, int32_t Min, int32_t Max, int32_t Page) {
  const int32_t p = std::max(Page - 1, 0);
  switch (Code) {
    case SB_LINEUP: return std::min(Pos - Min, 3) * 8;
    case SB_LINEDOWN: return std::max(Pos + p - Max, -3) * 8;
    case SB_PAGEUP: return std::min(Pos - Min, p) * 8;
    case SB_PAGEDOWN: return -std::min(Max - p - Pos, p) * 8;
    case SB_THUMBPOSITION: return -Pos * 8;
    default: return 0;
  }
}

void TMDIWallpaper::InvalidateClient() {
  if (!FClient || ComponentState().Contains(csReading) || FClient->ComponentState().Contains(csDestroying)) return;
  FClient->Invalidate();
}

TColor TMDIWallpaper::ClientColor() const { return FClient ? FClient->Color() : clBtnFace; }

TRect TMDIWallpaper::PaintArea() const {
  if (!FClient) return TRect{};
  TRect r = FClient->ClientRect();
  if (FIsMDIClient) return r;  // its scrolling is in the accumulated offsets
  // A scrolled control's picture moves with its contents: the area starts
  // where the contents start. List boxes and tree views scroll by whole rows.
  int32_t row = 1;
  if (const auto* list = dynamic_cast<const TCustomListBox*>(FClient)) row = list->ItemHeight();
  else if (const auto* tree = dynamic_cast<const TCustomTreeView*>(FClient)) row = tree->ItemHeight();
  for (int32_t bar : {SB_HORZ, SB_VERT}) {
    TScrollInfo si;
    si.fMask = SIF_ALL;
    if (!GetScrollInfo(FClient, bar, si) || si.nPage == 0) continue;
    int64_t pos = si.nPos, max = si.nMax;
    if (bar == SB_VERT) {
      pos *= row;
      max *= row;
    }
    const int32_t p = static_cast<int32_t>(std::clamp<int64_t>(pos, INT32_MIN / 2, INT32_MAX / 2));
    const int32_t m = static_cast<int32_t>(std::clamp<int64_t>(max, INT32_MIN / 2, INT32_MAX / 2));
    if (bar == SB_HORZ) {
      r.Right = std::max(r.Right, m) - p;
      r.Left -= p;
    } else {
      r.Bottom = std::max(r.Bottom, m) - p;
      r.Top -= p;
    }
  }
  return r;
}

// ---- properties ----

void TMDIWallpaper::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  InvalidateClient();
}

void TMDIWallpaper::SetFitPictureSize(bool Value) {
  if (Value == FFitPictureSize) return;
  FFitPictureSize = Value;
  if (FMode != wpTile && FMode != wpStretch) InvalidateClient();
}

void TMDIWallpaper::SetMode(TWallpaperMode Value) {
  if (Value == FMode) return;
  const bool tileChange = (Value == wpTile || FMode == wpTile) &&
                          (FTileWidth != FPicture->Width() || FTileHeight != FPicture->Height());
  FMode = Value;
  if (tileChange) PictureChanged();
  else InvalidateClient();
}

void TMDIWallpaper::SetShift(int32_t Value) {
  FZigzag = false;
  if (Value == FShift) return;
  FShift = Value;
  if (FMode == wpTile) InvalidateClient();
}

void TMDIWallpaper::SetShiftMode(TShiftMode Value) {
  if (Value == FShiftMode) return;
  FShiftMode = Value;
  if (FMode == wpTile) InvalidateClient();
}

void TMDIWallpaper::SetZigzag(bool Value) {
  if (Value == FZigzag) return;
  FZigzag = Value;
  if (FMode == wpTile) InvalidateClient();
}

void TMDIWallpaper::SetTileWidth(int32_t Value) {
  if (FAutoSizeTile) return;
  Value = std::max(Value, FPicture->Width());
  if (Value == FTileWidth) return;
  FTileWidth = Value;
  if (FMode == wpTile) PictureChanged();
}

void TMDIWallpaper::SetTileHeight(int32_t Value) {
  if (FAutoSizeTile) return;
  Value = std::max(Value, FPicture->Height());
  if (Value == FTileHeight) return;
  FTileHeight = Value;
  if (FMode == wpTile) PictureChanged();
}

void TMDIWallpaper::SetAutoSizeTile(bool Value) {
  if (Value == FAutoSizeTile) return;
  FAutoSizeTile = Value;
  if (FMode == wpTile && (FTileWidth != FPicture->Width() || FTileHeight != FPicture->Height())) PictureChanged();
}

void TMDIWallpaper::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  PictureChanged();
}

TColor TMDIWallpaper::CurrentTransparentColor() const {
  if (FTransparentColor == clDefault) {
    if (const auto* b = dynamic_cast<const TBitmap*>(FPicture->Graphic()); b && !b->Empty()) {
      if (b->Monochrome()) return clWhite;
      return b->GetPixelColor(0, b->Height() - 1);
    }
  }
  return TColor(ColorToRGB(FTransparentColor == clDefault ? clWhite : FTransparentColor));
}

void TMDIWallpaper::SetTransparentColor(TColor Value) {
  if (Value == FTransparentColor) return;
  FTransparentColor = Value;
  FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
  if (FTransparent) PrepareImage();
}

void TMDIWallpaper::SetTransparentMode(TTransparentMode Value) {
  if (Value == FTransparentMode) return;
  if (Value == tmFixed) SetTransparentColor(CurrentTransparentColor());
  else SetTransparentColor(clDefault);
}

void TMDIWallpaper::SetGrayMapped(bool Value) {
  if (Value == FGrayMapped) return;
  FGrayMapped = Value;
  if (Value) GrayRamp();
  PrepareImage();
}

void TMDIWallpaper::PictureChanged() {
  if (FUpdating) return;
  const int32_t pw = FPicture->Width(), ph = FPicture->Height();
  FHasPicture = pw > 0 && ph > 0;
  if (FTileWidth < pw || FTileHeight < ph || (FAutoSizeTile && FHasPicture)) {
    FTileWidth = pw;
    FTileHeight = ph;
  }
  if (TGraphic* g = FPicture->Graphic()) {
    FUpdating = true;  // the graphic's change comes back through the picture
    g->SetTransparent(FTransparent);
    FUpdating = false;
  }
  PrepareImage();
}

void TMDIWallpaper::PrepareImage() {
  if (FUpdating || !FClient) return;
  TGraphic* g = FPicture->Graphic();
  if (!g || g->Empty()) {
    FCache.reset();
    InvalidateClient();
    return;
  }
  const int32_t pw = g->Width(), ph = g->Height();
  const bool tile = FMode == wpTile;
  const int32_t dx = tile ? Half(FTileWidth - pw) : 0, dy = tile ? Half(FTileHeight - ph) : 0;
  const bool padding = tile && (FTileWidth != pw || FTileHeight != ph);
  const bool icon = dynamic_cast<TIcon*>(g) != nullptr;
  const bool masking = icon || FTransparent;
  if (!(masking || FGrayMapped || padding)) {
    FCache.reset();
    InvalidateClient();
    return;
  }
  const TColor back = ClientColor();
  auto cache = std::make_unique<TBitmap>(tile ? FTileWidth : pw, tile ? FTileHeight : ph, pf24bit);
  cache->Canvas().Brush().SetColor(back);
  cache->Canvas().FillRect(Rect(0, 0, cache->Width(), cache->Height()));
  if (icon) {
    static_cast<TIcon*>(g)->Draw(cache->Canvas(), Bounds(dx, dy, pw, ph));
  } else if (masking) {
    const TColor key = CurrentTransparentColor();
    std::unique_ptr<TBitmap> copy = AsBitmap(*g, key);
    copy->SetPixelFormat(pf24bit);
    // The mask comes from the colours as they are, before any grey mapping.
    std::vector<uint8_t> see(size_t(pw) * size_t(ph));
    for (int32_t y = 0; y < ph; ++y)
      for (int32_t x = 0; x < pw; ++x) see[size_t(y) * size_t(pw) + size_t(x)] = copy->GetPixelColor(x, y) == key;
    if (FGrayMapped) copy = GrayMap(*copy);
    for (int32_t y = 0; y < ph; ++y) {
      const uint8_t* src = static_cast<const uint8_t*>(copy->ScanLine(y));
      if (y + dy < 0 || y + dy >= cache->Height()) continue;
      uint8_t* dst = static_cast<uint8_t*>(cache->ScanLine(y + dy));
      for (int32_t x = 0; x < pw; ++x) {
        if (see[size_t(y) * size_t(pw) + size_t(x)] || x + dx < 0 || x + dx >= cache->Width()) continue;
        std::copy_n(src + 3 * x, 3, dst + 3 * (x + dx));
      }
    }
  } else if (FGrayMapped) {
    std::unique_ptr<TBitmap> grey = GrayMap(*AsBitmap(*g, back));
    cache->Canvas().Draw(dx, dy, *grey);
  } else {
    std::unique_ptr<TBitmap> copy = AsBitmap(*g, back);
    cache->Canvas().Draw(dx, dy, *copy);
  }
  FCache = std::move(cache);
  InvalidateClient();
}

const TPropertyTable& TMDIWallpaper::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TMDIWallpaper>(TComponent::PropertyTable(), [](auto& p) {
    p.Object("Client", &TMDIWallpaper::Client, &TMDIWallpaper::SetClient);
    p.Object("Picture", [](const TMDIWallpaper& w) { return w.FPicture.get(); }, &TMDIWallpaper::SetPicture);
    p.Enum("Mode", &TMDIWallpaper::Mode, &TMDIWallpaper::SetMode,
           {"wpTile", "wpCenter", "wpTopLeft", "wpStretch", "wpTopRight", "wpBottomLeft", "wpBottomRight", "wpTop",
            "wpLeft", "wpBottom", "wpRight"});
    p.Bool("Enabled", &TMDIWallpaper::Enabled, &TMDIWallpaper::SetEnabled);
    p.Bool("Transparent", &TMDIWallpaper::Transparent, &TMDIWallpaper::SetTransparent);
    p.Integer("TransparentColor", &TMDIWallpaper::TransparentColor, &TMDIWallpaper::SetTransparentColor);
    p.Enum("TransparentMode", &TMDIWallpaper::TransparentMode, &TMDIWallpaper::SetTransparentMode, {"tmAuto", "tmFixed"});
    p.Integer("TileWidth", &TMDIWallpaper::TileWidth, &TMDIWallpaper::SetTileWidth);
    p.Integer("TileHeight", &TMDIWallpaper::TileHeight, &TMDIWallpaper::SetTileHeight);
    p.Bool("AutoSizeTile", &TMDIWallpaper::AutoSizeTile, &TMDIWallpaper::SetAutoSizeTile);
    p.Integer("Shift", &TMDIWallpaper::Shift, &TMDIWallpaper::SetShift);
    p.Enum("ShiftMode", &TMDIWallpaper::ShiftMode, &TMDIWallpaper::SetShiftMode, {"smRows", "smColumns"});
    p.Bool("Zigzag", &TMDIWallpaper::Zigzag, &TMDIWallpaper::SetZigzag);
    p.Bool("FitPictureSize", &TMDIWallpaper::FitPictureSize, &TMDIWallpaper::SetFitPictureSize);
    p.Bool("GrayMapped", &TMDIWallpaper::GrayMapped, &TMDIWallpaper::SetGrayMapped);
    p.Bool("ClientIsOwnerForm", &TMDIWallpaper::ClientIsOwnerForm, &TMDIWallpaper::SetClientIsOwnerForm);
  });
  return table;
}

}  // namespace kv

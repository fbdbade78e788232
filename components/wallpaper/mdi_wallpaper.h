// TMDIWallpaper paints a picture behind the client area of a windowed
// control (or of an MDI main form): tiled with row or column shifts, placed
// at one of nine anchors, or stretched; optionally transparent and mapped to
// a ramp of the system's button colours. It hooks the control's window
// procedure and answers its background-erase message.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/picture.h"
#include "platform/rtl/component.h"
#include "platform/ui/controls.h"

namespace kv {

enum TWallpaperMode : uint8_t {
  wpTile, wpCenter, wpTopLeft, wpStretch, wpTopRight, wpBottomLeft, wpBottomRight, wpTop, wpLeft, wpBottom, wpRight
};
enum TShiftMode : uint8_t { smRows, smColumns };

KV_DECLARE_EXCEPTION(EMDIWallpaper, Exception)

constexpr char SWallpaperClientAtRuntime[] = "Cannot change a TMDIWallpaper's Client property at runtime.";
constexpr char SWallpaperChainBroken[] = "Message from %s.%s:\r\n\r\nOops... Messing up %s's window procedure chain.%s";

class TMDIWallpaper : public TComponent {
 public:
  explicit TMDIWallpaper(TComponent* AOwner);
  ~TMDIWallpaper() override;

  TWinControl* Client() const { return FClient; }
  // Outside design and loading raises EMDIWallpaper.
  void SetClient(TWinControl* Value);
  TPicture& Picture() { return *FPicture; }
  void SetPicture(const TPicture* Value) { FPicture->Assign(Value); }
  TWallpaperMode Mode() const { return FMode; }
  void SetMode(TWallpaperMode Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  TColor TransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(TColor Value);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode Value);
  int32_t TileWidth() const { return FTileWidth; }
  void SetTileWidth(int32_t Value);
  int32_t TileHeight() const { return FTileHeight; }
  void SetTileHeight(int32_t Value);
  bool AutoSizeTile() const { return FAutoSizeTile; }
  void SetAutoSizeTile(bool Value);
  int32_t Shift() const { return FShift; }
  void SetShift(int32_t Value);
  TShiftMode ShiftMode() const { return FShiftMode; }
  void SetShiftMode(TShiftMode Value);
  bool Zigzag() const { return FZigzag; }
  void SetZigzag(bool Value);
  bool FitPictureSize() const { return FFitPictureSize; }
  void SetFitPictureSize(bool Value);
  bool GrayMapped() const { return FGrayMapped; }
  void SetGrayMapped(bool Value);
  // Stands in for Client in a form's resource when the client is the owner form.
  bool ClientIsOwnerForm() const;
  void SetClientIsOwnerForm(bool Value);

  bool Hooked() const { return FHooked; }
  bool IsMDIClient() const { return FIsMDIClient; }
  bool HasPicture() const { return FHasPicture; }
  // The prepared image: tile-sized in wpTile, picture-sized otherwise; nullptr when the picture is drawn as it is.
  const TBitmap* CacheBitmap() const { return FCache.get(); }
  // The colour drawn as see-through now (RGB).
  TColor CurrentTransparentColor() const;
  // Paints the wallpaper over Area of a canvas (what the erase message does).
  void PaintWallpaper(TCanvas& Canvas, const TRect& Area);

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TPropertyTable& PropertyTable() const override;

  // The 256 colours grey level i maps to; built from the button colours.
  static const TColorRef* GrayRamp();
  // Rebuilds the ramp and re-prepares every grey-mapped wallpaper (a system colour change).
  static void SystemColorsChanged();
  // The rectangle the picture is laid out in: the client area, moved with the
  // scroll position of a scrolled control (list boxes and tree views scroll by rows).
  TRect PaintArea() const;

 private:
  struct THookProc;
  void Hook();
  void Unhook();
  void HookedWndProc(TMessage& Message);
  void PictureChanged();
  void PrepareImage();
  void InvalidateClient();
  void PaintTiles(TCanvas& Canvas, const TRect& Area);
  void PaintPlaced(TCanvas& Canvas, const TRect& Area);
  void DrawImage(TCanvas& Canvas, const TRect& R);
  TColor ClientColor() const;
  void Invalidate() { InvalidateClient(); }

  TWinControl* FClient = nullptr;
  std::unique_ptr<TPicture> FPicture;
  TWallpaperMode FMode = wpTile;
  bool FEnabled = true;
  bool FTransparent = false;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  int32_t FTileWidth = 0;
  int32_t FTileHeight = 0;
  bool FAutoSizeTile = false;
  int32_t FShift = 0;
  TShiftMode FShiftMode = smRows;
  bool FZigzag = false;
  bool FFitPictureSize = false;
  bool FGrayMapped = false;

  TWndMethod FPrevProc;
  bool FHooked = false;
  bool FIsMDIClient = false;
  int32_t FScrollX = 0;
  int32_t FScrollY = 0;
  bool FHasPicture = false;
  bool FUpdating = false;
  std::unique_ptr<TBitmap> FCache;
};

// The picture the application's main window shares with every TMDIWallpaper1; set while it is created.
extern TPicture* SharedWallpaperPicture;

// A wallpaper that starts with the application's shared picture.
class TMDIWallpaper1 : public TMDIWallpaper {
 public:
  explicit TMDIWallpaper1(TComponent* AOwner);
};

// The scroll delta of an MDI client for a scroll code, from the scroll
// information before the client handles it, in pixels (units of 8).
int32_t MDIScrollDelta(uint16_t Code, int32_t Pos, int32_t Min, int32_t Max, int32_t Page);

}  // namespace kv

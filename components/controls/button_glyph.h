// The glyph engine behind the speed buttons: one rendered image per button
// state, kept in image lists shared by every button of the same glyph size,
// and the layout and drawing of glyph, caption and drop-down mark.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/draw_text.h"
#include "platform/ui/image_list.h"

namespace kv {

enum SpeedButtonState : uint8_t { sbsUp, sbsDisabled, sbsPressed, sbsLatched, sbsInactive };
enum TButtonLayout : uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonStyle : uint8_t { bsAutoDetect, bsWin31, bsNew };
using TKvNumGlyphs = uint8_t;  // 1..5

// Whether the program draws controls in the new style (flat 3-D frames, no bold dialog fonts).
bool& NewStyleControls();

// An image list of one glyph size whose slots are handed out and given back.
class TGlyphList : public TImageList {
 public:
  TGlyphList(int32_t AWidth, int32_t AHeight);
  int32_t AddGlyph(const TBitmap& Image, const TBitmap* Mask);
  int32_t AddGlyphMasked(const TBitmap& Image, TColor MaskColor);
  void ReleaseIndex(int32_t Index);
  // Slots in use.
  int32_t UsedCount() const { return FCount; }

 private:
  int32_t AllocateIndex();
  std::vector<bool> FUsed;
  int32_t FCount = 0;
};

// The glyph lists of all sizes in use.
class TGlyphCache : public TObject {
 public:
  ~TGlyphCache() override;
  TGlyphList* GetList(int32_t AWidth, int32_t AHeight);
  void ReturnList(TGlyphList* List);
  bool IsEmpty() const { return FLists.empty(); }
  int32_t ListCount() const { return static_cast<int32_t>(FLists.size()); }

 private:
  std::vector<TGlyphList*> FLists;
};

// The process-wide cache while any glyph engine exists (nullptr otherwise).
TGlyphCache* GlyphCache();

// Where CalcButtonLayout put the glyph and the caption.
struct TButtonLayoutResult {
  TPoint GlyphPos;
  TRect TextBounds;
  std::string Caption;  // shortened to fit when the caption does not wrap
};

class TKvButtonGlyph : public TObject {
 public:
  TKvButtonGlyph();
  ~TKvButtonGlyph() override;

  TBitmap& GlyphStrip() { return *FOriginal; }
  void SetGlyph(const TBitmap* Value);
  TKvNumGlyphs NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int32_t Value);
  TColor MaskColor() const { return FMaskColor; }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value) { FWordWrap = Value; }
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value) { FAlignment = Value; }
  TNotifyEvent OnChange;

  // Renders the image of a state (reused once rendered); -1 without a strip.
  int32_t CreateButtonGlyph(SpeedButtonState State);
  int32_t StateIndex(SpeedButtonState State) const { return FIndexs[State]; }
  TGlyphList* SharedList() const { return FGlyphList; }
  // Gives every rendered image back to the shared list.
  void Invalidate();

  // Lays out and draws glyph, caption and mark into Client; returns the caption's bounds.
  TRect Draw(TCanvas& Canvas, const TRect& Client, TPoint Offset, const std::string& Caption, TButtonLayout Layout,
             int32_t Margin, int32_t Spacing, bool DrawMark, SpeedButtonState State, uint32_t Flags,
             const TCustomImageList* Images = nullptr, int32_t ImageIndex = -1);
  TButtonLayoutResult CalcButtonLayout(TCanvas& Canvas, const TRect& Client, TPoint Offset,
                                       const std::string& Caption, TButtonLayout Layout, int32_t Margin,
                                       int32_t Spacing, bool DrawMark, uint32_t Flags,
                                       const TCustomImageList* Images, int32_t ImageIndex);

 private:
  void GlyphChanged();
  TPoint GlyphSize(const TCustomImageList* Images, int32_t ImageIndex) const;
  void DrawGlyph(TCanvas& Canvas, TPoint Pos, SpeedButtonState State, const TCustomImageList* Images,
                 int32_t ImageIndex);
  void DrawText(TCanvas& Canvas, const std::string& Caption, TRect Bounds, SpeedButtonState State, uint32_t Flags);

  std::unique_ptr<TBitmap> FOriginal;
  TGlyphList* FGlyphList = nullptr;
  int32_t FIndexs[5] = {-1, -1, -1, -1, -1};
  TColor FMaskColor = static_cast<TColor>(0xFF00FF);
  TKvNumGlyphs FNumGlyphs = 1;
  bool FWordWrap = false;
  TAlignment FAlignment = taCenter;
};

// The mark of a button with a drop-down menu: a downward triangle whose top row is at Anchor.Y - 1.
void DrawDropDownMark(TCanvas& Canvas, TPoint Anchor, bool Enabled);
// The frame of a button; returns the rectangle inside it.
TRect DrawButtonFrame(TCanvas& Canvas, const TRect& Client, bool IsDown, TButtonStyle Style, bool Flat);
// The grey of a colour as inactive glyphs show it.
inline uint8_t GlyphGrey(uint8_t R, uint8_t G, uint8_t B) { return uint8_t((77 * R + 150 * G + 29 * B) >> 8); }

// Paints a button face (for lists that show what a button looks like).
class TButtonImage : public TObject {
 public:
  TButtonImage();
  TKvButtonGlyph& Glyph() { return FGlyph; }
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value) { FCaption = Value; }
  TPoint ImageSize() const { return FImageSize; }
  void SetImageSize(TPoint Value) { FImageSize = Value; }
  void SetNumGlyphs(int32_t Value) { FGlyph.SetNumGlyphs(Value); }
  void SetWordWrap(bool Value) { FGlyph.SetWordWrap(Value); }
  void SetAlignment(TAlignment Value) { FGlyph.SetAlignment(Value); }
  void SetGlyph(const TBitmap* Value) { FGlyph.SetGlyph(Value); }
  void DrawButtonImage(TCanvas& Canvas, int32_t X, int32_t Y, uint32_t Flags, int32_t ImageIndex,
                       const TCustomImageList* Images, const TFont* Font, TButtonLayout Layout, int32_t Spacing,
                       int32_t Margin);

 private:
  TKvButtonGlyph FGlyph;
  std::string FCaption;
  TPoint FImageSize{24, 23};
};

}  // namespace kv

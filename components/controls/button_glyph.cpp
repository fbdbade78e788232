// Glyph engine, shared glyph lists, button layout, frames and the button image painter.
#include "components/controls/button_glyph.h"

#include <algorithm>

#include "components/draw_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/panel.h"

namespace kv {

bool& NewStyleControls() {
  static bool v = true;
  return v;
}

// ---- TGlyphList ----

TGlyphList::TGlyphList(int32_t AWidth, int32_t AHeight) : TImageList(nullptr, AWidth, AHeight) {}

int32_t TGlyphList::AllocateIndex() {
  auto it = std::find(FUsed.begin(), FUsed.end(), false);
  const int32_t i = static_cast<int32_t>(it - FUsed.begin());
  if (i >= Count()) {
    TBitmap empty(Width(), Height(), pf24bit);
    TImageList::Add(empty, nullptr);
  }
  if (i >= static_cast<int32_t>(FUsed.size())) FUsed.resize(size_t(i) + 1, false);
  FUsed[size_t(i)] = true;
  return i;
}

int32_t TGlyphList::AddGlyph(const TBitmap& Image, const TBitmap* Mask) {
  const int32_t i = AllocateIndex();
  Replace(i, Image, Mask);
  ++FCount;
  return i;
}

int32_t TGlyphList::AddGlyphMasked(const TBitmap& Image, TColor MaskColor) {
  const int32_t i = AllocateIndex();
  ReplaceMasked(i, Image, MaskColor);
  ++FCount;
  return i;
}

void TGlyphList::ReleaseIndex(int32_t Index) {
  if (Index < 0 || Index >= static_cast<int32_t>(FUsed.size()) || !FUsed[size_t(Index)]) return;
  FUsed[size_t(Index)] = false;
  --FCount;
}

// ---- TGlyphCache ----

namespace {
TGlyphCache* GCache = nullptr;
int32_t GEngines = 0;
}  // namespace

TGlyphCache* GlyphCache() { return GCache; }

TGlyphCache::~TGlyphCache() {
  for (TGlyphList* l : FLists) delete l;
}

TGlyphList* TGlyphCache::GetList(int32_t AWidth, int32_t AHeight) {
  for (auto it = FLists.rbegin(); it != FLists.rend(); ++it)
    if ((*it)->Width() == AWidth && (*it)->Height() == AHeight) return *it;
  FLists.push_back(new TGlyphList(AWidth, AHeight));
  return FLists.back();
}

void TGlyphCache::ReturnList(TGlyphList* List) {
  if (!List || List->UsedCount() != 0) return;
  auto it = std::find(FLists.begin(), FLists.end(), List);
  if (it == FLists.end()) return;
  FLists.erase(it);
  delete List;
}

// ---- TKvButtonGlyph ----

TKvButtonGlyph::TKvButtonGlyph() : FOriginal(std::make_unique<TBitmap>()) {
  if (!GCache) GCache = new TGlyphCache;
  ++GEngines;
  FOriginal->OnChange = [this](TObject*) { GlyphChanged(); };
}

TKvButtonGlyph::~TKvButtonGlyph() {
  FOriginal->OnChange = nullptr;
  Invalidate();
  if (--GEngines == 0 && GCache && GCache->IsEmpty()) {
    delete GCache;
    GCache = nullptr;
  }
}

void TKvButtonGlyph::Invalidate() {
  for (int32_t& i : FIndexs) {
    if (i != -1 && FGlyphList) FGlyphList->ReleaseIndex(i);
    i = -1;
  }
  if (FGlyphList && GCache) GCache->ReturnList(FGlyphList);
  FGlyphList = nullptr;
}

void TKvButtonGlyph::SetGlyph(const TBitmap* Value) {
  FOriginal->Assign(Value);  // raises OnChange, which re-reads the strip
}

void TKvButtonGlyph::GlyphChanged() {
  Invalidate();
  const TBitmap& g = *FOriginal;
  if (g.Height() > 0) {
    FMaskColor = static_cast<TColor>(static_cast<uint32_t>(g.TransparentColor()) & ~0x02000000u);
    if (g.Width() % g.Height() == 0) {
      int32_t n = g.Width() / g.Height();
      if (n > 5) n = 1;
      if (n >= 1) FNumGlyphs = static_cast<TKvNumGlyphs>(n);
    }
  }
  if (OnChange) OnChange(this);
}

void TKvButtonGlyph::SetNumGlyphs(int32_t Value) {
  if (Value <= 0) return;
  Value = std::min(Value, 5);
  if (Value == FNumGlyphs) return;
  Invalidate();
  FNumGlyphs = static_cast<TKvNumGlyphs>(Value);
  if (OnChange) OnChange(this);
}

namespace {

// Every pixel to grey except the see-through colour and the button face.
void MapToGrey(TBitmap& B, TColor Keep1, TColor Keep2) {
  const TColor k1 = static_cast<TColor>(ColorToRGB(Keep1)), k2 = static_cast<TColor>(ColorToRGB(Keep2));
  for (int32_t y = 0; y < B.Height(); ++y) {
    auto* row = static_cast<uint8_t*>(B.ScanLine(y));
    for (int32_t x = 0; x < B.Width(); ++x) {
      uint8_t* p = row + size_t(x) * 3;  // pf24bit: B, G, R
      const TColor c = static_cast<TColor>(RGB(p[2], p[1], p[0]));
      if (c == k1 || c == k2) continue;
      const uint8_t g = GlyphGrey(p[2], p[1], p[0]);
      p[0] = p[1] = p[2] = g;
    }
  }
}

}  // namespace

int32_t TKvButtonGlyph::CreateButtonGlyph(SpeedButtonState State) {
  if (State == sbsPressed && FNumGlyphs < 3) State = sbsUp;
  if (FIndexs[State] != -1) return FIndexs[State];
  const TBitmap& strip = *FOriginal;
  if (strip.Empty() || FNumGlyphs == 0) return -1;
  const int32_t iw = strip.Width() / FNumGlyphs, ih = strip.Height();
  if (iw <= 0 || ih <= 0) return -1;
  if (!FGlyphList) FGlyphList = GCache->GetList(iw, ih);
  const int32_t cell = State < FNumGlyphs ? State : 0;
  TBitmap tmp;
  GetGlyphCell(strip, tmp, FNumGlyphs, cell);
  tmp.SetPixelFormat(pf24bit);
  if (State == sbsDisabled && FNumGlyphs < 2) {
    auto emb = MakeEmbossedGlyph(tmp, FMaskColor, clBtnFace, clBtnHighlight, clBtnShadow, true);
    FIndexs[State] = FGlyphList->AddGlyphMasked(*emb, clBtnFace);
  } else if (State == sbsInactive && FNumGlyphs < 5) {
    MapToGrey(tmp, FMaskColor, clBtnFace);
    FIndexs[State] = FGlyphList->AddGlyphMasked(tmp, FMaskColor);
  } else {
    FIndexs[State] = FGlyphList->AddGlyphMasked(tmp, FMaskColor);
  }
  return FIndexs[State];
}

TPoint TKvButtonGlyph::GlyphSize(const TCustomImageList* Images, int32_t ImageIndex) const {
  if (Images && ImageIndex >= 0 && ImageIndex < Images->Count()) return TPoint{Images->Width(), Images->Height()};
  if (!FOriginal->Empty() && FNumGlyphs > 0) return TPoint{FOriginal->Width() / FNumGlyphs, FOriginal->Height()};
  return TPoint{0, 0};
}

void TKvButtonGlyph::DrawGlyph(TCanvas& Canvas, TPoint Pos, SpeedButtonState State, const TCustomImageList* Images,
                               int32_t ImageIndex) {
  if (Images && ImageIndex >= 0 && ImageIndex < Images->Count()) {
    if (State == sbsPressed) State = sbsUp;
    if (State == sbsDisabled) {
      DrawImageEmbossed(*Images, Canvas, Pos.X, Pos.Y, ImageIndex, clBtnHighlight, clBtnShadow, true);
      return;
    }
    if (FIndexs[State] == -1) {
      if (!FGlyphList) FGlyphList = GCache->GetList(Images->Width(), Images->Height());
      TBitmap img(Images->Width(), Images->Height(), pf24bit);
      if (State == sbsInactive) {
        Images->GetBitmap(ImageIndex, img, clBtnFace);
        MapToGrey(img, clBtnFace, clBtnFace);
        FIndexs[State] = FGlyphList->AddGlyphMasked(img, clBtnFace);
      } else {
        TBitmap mask;
        Images->GetBitmap(ImageIndex, img, clBlack);
        Images->GetMask(ImageIndex, mask);
        FIndexs[State] = FGlyphList->AddGlyph(img, &mask);
      }
    }
    FGlyphList->Draw(Canvas, Pos.X, Pos.Y, FIndexs[State]);
    return;
  }
  const int32_t i = CreateButtonGlyph(State);
  if (i >= 0 && FGlyphList) FGlyphList->Draw(Canvas, Pos.X, Pos.Y, i);
}

void TKvButtonGlyph::DrawText(TCanvas& Canvas, const std::string& Caption, TRect Bounds, SpeedButtonState State,
                              uint32_t Flags) {
  if (Caption.empty()) return;
  Canvas.Brush().SetStyle(bsClear);
  uint32_t fmt = Flags | DT_VCENTER | (FWordWrap ? DT_WORDBREAK : 0);
  fmt |= FAlignment == taCenter ? DT_CENTER : FAlignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  if (!FWordWrap) fmt |= DT_SINGLELINE;
  if (State == sbsDisabled) {
    const TColor old = Canvas.Font().Color();
    TRect r = Bounds;
    r.Left += 1; r.Top += 1; r.Right += 1; r.Bottom += 1;
    Canvas.Font().SetColor(clBtnHighlight);
    kv::DrawText(Canvas, Caption, r, fmt);
    Canvas.Font().SetColor(clBtnShadow);
    r = Bounds;
    kv::DrawText(Canvas, Caption, r, fmt);
    Canvas.Font().SetColor(old);
  } else {
    kv::DrawText(Canvas, Caption, Bounds, fmt);
  }
}

TButtonLayoutResult TKvButtonGlyph::CalcButtonLayout(TCanvas& Canvas, const TRect& Client, TPoint Offset,
                                                     const std::string& Caption, TButtonLayout Layout,
                                                     int32_t Margin, int32_t Spacing, bool DrawMark, uint32_t Flags,
                                                     const TCustomImageList* Images, int32_t ImageIndex) {
  TButtonLayoutResult res;
  const TPoint gs = GlyphSize(Images, ImageIndex);
  const int32_t cw = Client.Width(), ch = Client.Height();
  const bool horz = Layout == blGlyphLeft || Layout == blGlyphRight;
  const int32_t m0 = Margin != -1 ? Margin : 0, s0 = Spacing != -1 ? Spacing : 0;
  int32_t roomW, roomH;
  if (horz) {
    roomW = cw - gs.X - m0 - s0 - (DrawMark ? 9 : 0);
    roomH = ch;
  } else {
    roomW = cw;
    roomH = ch - gs.Y - m0 - s0;
  }
  roomW = std::max(roomW, 0);
  roomH = std::max(roomH, 0);
  // 2: each line cut to the room with an ellipsis.
  std::string caption = Caption;
  if (!FWordWrap) {
    TStringList lines;
    lines.SetText(Caption);
    std::string joined;
    for (int32_t i = 0; i < lines.Count(); ++i) {
      std::string line = lines.Strings(i).substr(0, 255);
      if (Canvas.TextWidth(line) > roomW) line = ShortenTextToWidth(line, Canvas, roomW);
      joined += (i ? "\r\n" : "") + line;
    }
    while (!joined.empty() && joined.back() == ' ') joined.pop_back();
    caption = joined;
  }
  res.Caption = caption;
  // 3: text bounds.
  int32_t tw = 0, th = 0;
  if (!caption.empty()) {
    TRect r = Rect(0, 0, roomW, 0);
    kv::DrawText(Canvas, caption, r,
                 DT_CALCRECT | DT_CENTER | DT_VCENTER | (FWordWrap ? DT_WORDBREAK : DT_SINGLELINE) | Flags);
    tw = std::min(r.Width(), roomW);
    th = std::min(r.Height(), roomH);
  }
  // 4: room for the mark.
  int32_t gw = gs.X, markExtra = 0;
  if (DrawMark) {
    if (gs.X == 0 || Layout == blGlyphLeft) {
      tw += 9;
      markExtra = 9;
    } else {
      gw += 6;
    }
  }
  // 5: centred across the layout's axis.
  TPoint gp{0, 0}, tp{0, 0};
  if (horz) {
    gp.Y = ch / 2 - gs.Y / 2;
    tp.Y = ch / 2 - th / 2;
  } else {
    gp.X = cw / 2 - gw / 2;
    tp.X = cw / 2 - tw / 2;
  }
  // 6, 7: spacing and margin.
  if (tw == 0 || gw == 0) Spacing = 0;
  const int32_t extent = horz ? cw : ch, gext = horz ? gw : gs.Y, text = horz ? tw : th;
  if (Margin == -1 && Spacing == -1) {
    Spacing = (extent - (gext + text)) / 3;
    Margin = Spacing;
  } else if (Margin == -1) {
    Margin = extent / 2 - (gext + Spacing + text) / 2;
  } else if (Spacing == -1) {
    Spacing = (extent - Margin - gext) / 2 - text / 2;
  }
  // 8: along the axis.
  switch (Layout) {
    case blGlyphLeft:
      gp.X = Margin;
      tp.X = gp.X + gw + Spacing;
      break;
    case blGlyphRight:
      gp.X = cw - Margin - gw;
      tp.X = gp.X - Spacing - tw;
      break;
    case blGlyphTop:
      gp.Y = Margin;
      tp.Y = gp.Y + gs.Y + Spacing;
      break;
    case blGlyphBottom:
      gp.Y = ch - Margin - gs.Y;
      tp.Y = gp.Y - Spacing - th;
      break;
  }
  const int32_t ox = Client.Left + Offset.X, oy = Client.Top + Offset.Y;
  res.GlyphPos = TPoint{gp.X + ox, gp.Y + oy};
  // The mark's room lies right of the caption; the caption itself keeps its own width.
  res.TextBounds = Rect(tp.X + ox, tp.Y + oy, tp.X + ox + tw - markExtra, tp.Y + oy + th);
  return res;
}

TRect TKvButtonGlyph::Draw(TCanvas& Canvas, const TRect& Client, TPoint Offset, const std::string& Caption,
                           TButtonLayout Layout, int32_t Margin, int32_t Spacing, bool DrawMark,
                           SpeedButtonState State, uint32_t Flags, const TCustomImageList* Images,
                           int32_t ImageIndex) {
  const TButtonLayoutResult l =
      CalcButtonLayout(Canvas, Client, Offset, Caption, Layout, Margin, Spacing, DrawMark, Flags, Images, ImageIndex);
  DrawGlyph(Canvas, l.GlyphPos, State, Images, ImageIndex);
  DrawText(Canvas, l.Caption, l.TextBounds, State, Flags);
  if (DrawMark) {
    const TPoint gs = GlyphSize(Images, ImageIndex);
    TPoint anchor;
    if (Layout != blGlyphLeft && gs.X > 0) {
      anchor = TPoint{l.GlyphPos.X + gs.X + 1, l.GlyphPos.Y + gs.Y / 2};
    } else {
      anchor.X = !l.Caption.empty() ? l.TextBounds.Right + 3 : (Client.Left + Client.Right - 7) / 2;
      anchor.Y = l.TextBounds.Top + l.TextBounds.Height() / 2;
    }
    DrawDropDownMark(Canvas, anchor, State != sbsDisabled);
  }
  return l.TextBounds;
}

// ---- free drawing routines ----

void DrawDropDownMark(TCanvas& Canvas, TPoint Anchor, bool Enabled) {
  auto tri = [&Canvas](int32_t X, int32_t Y, TColor C) {
    Canvas.Brush().SetStyle(bsSolid);
    Canvas.Brush().SetColor(C);
    for (int32_t row = 0; row < 4; ++row) Canvas.FillRect(Rect(X + row, Y - 1 + row, X + 7 - row, Y + row));
  };
  if (!Enabled) {
    tri(Anchor.X + 1, Anchor.Y + 1, clBtnHighlight);
    tri(Anchor.X, Anchor.Y, clBtnShadow);
  } else {
    tri(Anchor.X, Anchor.Y, clBtnText);
  }
}

TRect DrawButtonFrame(TCanvas& Canvas, const TRect& Client, bool IsDown, TButtonStyle Style, bool Flat) {
  TRect r = Client;
  const bool newStyle = Style == bsNew || (Style == bsAutoDetect && NewStyleControls());
  if (IsDown) {
    if (newStyle) {
      Frame3D(Canvas, r, clWindowFrame, clBtnHighlight, 1);
      if (!Flat) Frame3D(Canvas, r, clBtnShadow, clBtnFace, 1);
    } else if (!Flat) {
      Frame3D(Canvas, r, clWindowFrame, clWindowFrame, 1);
      Canvas.Pen().SetColor(clBtnShadow);
      Canvas.Pen().SetWidth(1);
      Canvas.MoveTo(r.Left, r.Bottom - 1);
      Canvas.LineTo(r.Left, r.Top);
      Canvas.LineTo(r.Right, r.Top);
    } else {
      Frame3D(Canvas, r, clWindowFrame, clBtnHighlight, 1);
    }
  } else if (newStyle) {
    if (!Flat) {
      Frame3D(Canvas, r, clBtnHighlight, clWindowFrame, 1);
      Frame3D(Canvas, r, clBtnFace, clBtnShadow, 1);
    } else {
      Frame3D(Canvas, r, clBtnHighlight, clBtnShadow, 1);
    }
  } else if (!Flat) {
    Frame3D(Canvas, r, clWindowFrame, clWindowFrame, 1);
    Frame3D(Canvas, r, clBtnHighlight, clBtnShadow, 1);
  } else {
    Frame3D(Canvas, r, clBtnHighlight, clWindowFrame, 1);
  }
  return Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
}

// ---- TButtonImage ----

TButtonImage::TButtonImage() = default;

void TButtonImage::DrawButtonImage(TCanvas& Canvas, int32_t X, int32_t Y, uint32_t Flags, int32_t ImageIndex,
                                   const TCustomImageList* Images, const TFont* Font, TButtonLayout Layout,
                                   int32_t Spacing, int32_t Margin) {
  TFont oldFont;
  oldFont.Assign(Canvas.Font());
  const TColor oldBrush = Canvas.Brush().Color();
  const TBrushStyle oldStyle = Canvas.Brush().Style();
  TRect r = Bounds(X, Y, FImageSize.X, FImageSize.Y);
  Canvas.Brush().SetStyle(bsSolid);
  Canvas.Brush().SetColor(clBtnFace);
  Canvas.FillRect(r);
  Frame3D(Canvas, r, clBtnShadow, clWindowFrame, 1);
  Frame3D(Canvas, r, clBtnHighlight, clBtnShadow, 1);
  if (Font) Canvas.Font().Assign(*Font);
  const bool useList = Images && ImageIndex >= 0 && ImageIndex < Images->Count();
  FGlyph.Draw(Canvas, r, TPoint{0, 0}, FCaption, Layout, Margin, Spacing, false, sbsUp, Flags,
              useList ? Images : nullptr, useList ? ImageIndex : -1);
  Canvas.Font().Assign(oldFont);
  Canvas.Brush().SetColor(oldBrush);
  Canvas.Brush().SetStyle(oldStyle);
}

}  // namespace kv

// The colour and font combo boxes.
#include "components/controls/color_font_combo.h"

#include <array>

#include "components/draw_utils.h"
#include "platform/graphics/draw_text.h"
#include "platform/graphics/font_families.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {
constexpr std::array<TColor, 16> kColors = {clBlack, clMaroon, clGreen,  clOlive, clNavy, clPurple,
                                            clTeal,  clGray,   clSilver, clRed,   clLime, clYellow,
                                            clBlue,  clFuchsia, clAqua,  clWhite};
const char* const kDefaultColorName = "Vorgabe";

struct TColorName {
  TColor Color;
  const char* Name;
};
constexpr TColorName kColorNames[] = {
    {clBlack, "clBlack"},   {clMaroon, "clMaroon"},   {clGreen, "clGreen"},       {clOlive, "clOlive"},
    {clNavy, "clNavy"},     {clPurple, "clPurple"},   {clTeal, "clTeal"},         {clGray, "clGray"},
    {clSilver, "clSilver"}, {clRed, "clRed"},         {clLime, "clLime"},         {clYellow, "clYellow"},
    {clBlue, "clBlue"},     {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"},         {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"}, {clSkyBlue, "clSkyBlue"}, {clCream, "clCream"}, {clMedGray, "clMedGray"},
    {clNone, "clNone"},     {clDefault, "clDefault"}};

// The name without the "cl" the platform's names start with.
std::string ShortColorName(TColor C) {
  const std::string s = ColorToString(C);
  return s.rfind("cl", 0) == 0 ? s.substr(2) : s;
}

void FillItem(TCanvas& C, const TRect& R, TOwnerDrawState State) {
  C.Brush().SetStyle(bsSolid);
  C.Brush().SetColor(State.Contains(odSelected) ? clHighlight : clWindow);
  C.FillRect(R);
}
}  // namespace

std::string ColorToString(TColor Color) {
  for (const TColorName& n : kColorNames)
    if (n.Color == Color) return n.Name;
  return "$" + IntToHex(static_cast<int32_t>(Color), 8);
}

// ---- TOwnerDrawComboBox ----

TOwnerDrawComboBox::TOwnerDrawComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
  FStyle = csDropDownList;
  FOwnerDraw = true;
}

int32_t TOwnerDrawComboBox::WantedItemHeight() {
  TBitmap b(1, 1);
  b.Canvas().Font().Assign(Font());
  return std::max(9, b.Canvas().TextHeight("Wg") + 1);
}

void TOwnerDrawComboBox::ResetItemHeight() { SetItemHeight(WantedItemHeight()); }

void TOwnerDrawComboBox::CreateWnd() {
  ResetItemHeight();
  TCustomComboBox::CreateWnd();
}

void TOwnerDrawComboBox::Dispatch(TMessage& Message) {
  TCustomComboBox::Dispatch(Message);
  if (Message.Msg == CM_FONTCHANGED) ResetItemHeight();
}

// ---- TColorComboBox ----

TColorComboBox::TColorComboBox(TComponent* AOwner) : TOwnerDrawComboBox(AOwner) {
  PopulateList();
  SetColorValue(clBlack);
  ResetItemHeight();
}

void TColorComboBox::PopulateList() {
  BeginUpdate();
  ClearItems();
  std::vector<TColor> colors(kColors.begin(), kColors.end());
  if (FOptions.Contains(coIncludeNone)) colors.push_back(clNone);
  if (FOptions.Contains(coIncludeDefault)) colors.push_back(clDefault);
  for (size_t i = 0; i < colors.size(); ++i) {
    std::string name;
    if (i < FColorNames.size() && !FColorNames[i].empty()) name = FColorNames[i];
    else if (colors[i] == clDefault) name = kDefaultColorName;
    else name = ShortColorName(colors[i]);
    AddItem(name, static_cast<intptr_t>(colors[i]));
  }
  EndUpdate();
}

TColor TColorComboBox::ColorValue() const {
  if (FStyle == csDropDownList || FItemIndex >= 0) return FColorValue;
  const int32_t i = IndexOf(Text());
  if (i >= 0) return static_cast<TColor>(ItemData(i));
  int32_t n = 0;
  if (TryStrToInt(Text(), n)) return static_cast<TColor>(n);
  return FColorValue;
}

void TColorComboBox::SetColorValue(TColor Value) {
  if (Value == FColorValue && FItemIndex >= 0) return;
  FColorValue = Value;
  int32_t found = -1;
  for (int32_t i = 0; i < Count() && found < 0; ++i)
    if (static_cast<TColor>(ItemData(i)) == Value) found = i;
  if (found >= 0) SetItemIndex(found);
  else if (FStyle == csDropDownList) SetItemIndex(-1);
  else {
    SetItemIndex(-1);
    SetText(ShortColorName(Value));
  }
  DoChange();
}

void TColorComboBox::SetColorNames(const std::vector<std::string>& Value) {
  FColorNames = Value;
  const TColor keep = FColorValue;
  PopulateList();
  FItemIndex = -1;
  SetColorValue(keep);
}

void TColorComboBox::SetDisplayNames(bool Value) {
  if (Value == FDisplayNames) return;
  FDisplayNames = Value;
  Invalidate();
}

void TColorComboBox::SetOptions(TColorComboOptions Value) {
  if (Value == FOptions) return;
  FOptions = Value;
  const TColor keep = FColorValue;
  PopulateList();
  FItemIndex = -1;
  SetColorValue(keep);
}

void TColorComboBox::DoChange() {
  if (OnChange) OnChange(this);
}

void TColorComboBox::Click() {
  if (FItemIndex >= 0) SetColorValue(static_cast<TColor>(ItemData(FItemIndex)));
  TOwnerDrawComboBox::Click();
}

void TColorComboBox::Change() {
  // Picking an item reported its colour in Click; typing reports a new value only.
  if (FStyle == csDropDownList || FItemIndex >= 0) return;
  const TColor v = ColorValue();
  if (v == FColorValue) return;
  FColorValue = v;
  DoChange();
}

void TColorComboBox::DrawItem(TCanvas& Canvas, int32_t Index, const TRect& Rect, TOwnerDrawState State) {
  FillItem(Canvas, Rect, State);
  if (Index < 0 || Index >= Count()) return;
  const TColor color = static_cast<TColor>(ItemData(Index));
  const TColorRef rgb = ColorToRGB(color);
  TRect r{Rect.Left + 2, Rect.Top + 2, 0, Rect.Bottom - 2};
  r.Right = FDisplayNames ? r.Left + 22 : Rect.Right - 3;
  TColor frame;
  if (GetRValue(rgb) > 192 || GetGValue(rgb) > 192 || GetBValue(rgb) > 192) frame = clBlack;
  else frame = State.Contains(odSelected) ? clWhite : static_cast<TColor>(rgb);
  Canvas.Brush().SetColor(frame);
  Canvas.FrameRect(r);
  Canvas.Brush().SetColor(static_cast<TColor>(rgb));
  Canvas.FillRect(TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1});
  if (!FDisplayNames) return;
  Canvas.Font().Assign(Font());
  Canvas.Font().SetColor(State.Contains(odSelected) ? clHighlightText : clWindowText);
  Canvas.Brush().SetStyle(bsClear);
  TRect t{Rect.Left + 28, Rect.Top, Rect.Right, Rect.Bottom};
  DrawText(Canvas, Item(Index), t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

const TPropertyTable& TColorComboBox::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TColorComboBox>(TCustomComboBox::PropertyTable(), [](auto& p) {
    p.Integer("ColorValue", &TColorComboBox::ColorValue, &TColorComboBox::SetColorValue);
    p.Bool("DisplayNames", &TColorComboBox::DisplayNames, &TColorComboBox::SetDisplayNames);
    p.Set("Options", &TColorComboBox::Options, &TColorComboBox::SetOptions, {"coIncludeDefault", "coIncludeNone"});
    p.Enum("Style", &TColorComboBox::Style, &TColorComboBox::SetStyle, {"csDropDown", "csSimple", "csDropDownList"});
    p.Method("OnChange");
  });
  return table;
}

// ---- symbols ----

void MakeTrueTypeSymbol(TBitmap& Bitmap) {
  // Two overlapping T's, the back one grey.
  Bitmap.SetSize(12, 12);
  TCanvas& c = Bitmap.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clOlive);
  c.FillRect(Rect(0, 0, 12, 12));
  auto tee = [&](int32_t X, int32_t Y, TColor Color) {
    c.Brush().SetColor(Color);
    c.FillRect(Rect(X, Y, X + 7, Y + 2));
    c.FillRect(Rect(X + 2, Y, X + 5, Y + 8));
  };
  tee(0, 1, clGray);
  tee(4, 3, clBlack);
}

void MakeDeviceFontSymbol(TBitmap& Bitmap) {
  // A printer: paper on top, the body below.
  Bitmap.SetSize(12, 12);
  TCanvas& c = Bitmap.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clOlive);
  c.FillRect(Rect(0, 0, 12, 12));
  c.Brush().SetColor(clWhite);
  c.FillRect(Rect(3, 1, 9, 6));
  c.Brush().SetColor(clBlack);
  c.FrameRect(Rect(3, 1, 9, 6));
  c.FillRect(Rect(0, 6, 12, 10));
  c.Brush().SetColor(clLime);
  c.FillRect(Rect(9, 7, 11, 8));
}

// ---- TFontComboBox ----

TFontComboBox::TFontComboBox(TComponent* AOwner) : TOwnerDrawComboBox(AOwner) {
  MakeTrueTypeSymbol(FTrueTypeSymbol);
  MakeDeviceFontSymbol(FDeviceSymbol);
  PopulateList();
  ResetItemHeight();
}

int32_t TFontComboBox::WantedItemHeight() {
  return std::max(TOwnerDrawComboBox::WantedItemHeight(), FTrueTypeSymbol.Height() - 1);
}

void TFontComboBox::PopulateList() {
  ++FSilent;
  BeginUpdate();
  ClearItems();
  std::vector<TFontFamilyInfo> families;
  if (FDevice == fdScreen || FDevice == fdBoth || FDevice == fdPrinter) {
    // The printer prints with the screen's families here, so both lists are one.
    families = ScreenFontFamilies();
  }
  for (const TFontFamilyInfo& f : families) {
    const uint8_t charset = f.Symbol ? 2 : (f.Latin ? 0 : 1);
    if (FOptions.Contains(foAnsiOnly) && charset != 0) continue;
    if (FOptions.Contains(foTrueTypeOnly) && !f.Outline) continue;
    if (FOptions.Contains(foFixedPitchOnly) && !f.FixedPitch) continue;
    if (FOptions.Contains(foOEMFontsOnly) && charset != 255) continue;
    if (FOptions.Contains(foNoOEMFonts) && charset == 255) continue;
    if (FOptions.Contains(foNoSymbolFonts) && charset == 2) continue;
    if (FOptions.Contains(foScalableOnly) && f.Raster) continue;
    if (IndexOf(f.Name) >= 0) continue;
    intptr_t bits = f.Outline ? TRUETYPE_FONTTYPE : RASTER_FONTTYPE;
    if (!f.Symbol) bits |= NOT_SYMBOL_FONT;
    AddItem(f.Name, bits);
  }
  EndUpdate();
  --FSilent;
}

void TFontComboBox::Reset() {
  const std::string keep = FontName();
  PopulateList();
  ++FSilent;
  SetFontName(keep);
  --FSilent;
  // Only a name that is gone is news.
  if (FontName() != keep && OnChange) OnChange(this);
}

void TFontComboBox::SetFontName(const std::string& Value) {
  if (Value == FontName() && FItemIndex >= 0) return;
  const int32_t i = IndexOf(Value, true);
  if (i >= 0) SetItemIndex(i);
  else if (FStyle == csDropDownList) SetItemIndex(-1);
  else {
    SetItemIndex(-1);
    SetText(Value);
  }
  if (!FSilent && OnChange) OnChange(this);
}

void TFontComboBox::Dispatch(TMessage& Message) {
  TOwnerDrawComboBox::Dispatch(Message);
  if (Message.Msg == CM_FONTCHANGE) Reset();
}

void TFontComboBox::SetDevice(TFontDevice Value) {
  if (Value == FDevice) return;
  FDevice = Value;
  Reset();
}

void TFontComboBox::SetOptions(TFontListOptions Value) {
  if (Value == FOptions) return;
  FOptions = Value;
  Reset();
}

void TFontComboBox::SetTrueTypeOnly(bool Value) {
  TFontListOptions o = FOptions;
  if (Value) o.Include(foTrueTypeOnly);
  else o.Exclude(foTrueTypeOnly);
  SetOptions(o);
}

void TFontComboBox::SetUseFonts(bool Value) {
  if (Value == FUseFonts) return;
  FUseFonts = Value;
  Invalidate();
}

void TFontComboBox::Change() {
  if (FSilent) return;
  // A typed name that is in the list selects it.
  if (FStyle != csDropDownList && FItemIndex < 0) {
    const int32_t i = IndexOf(Text(), true);
    if (i >= 0) SetItemIndex(i);
  }
  if (OnChange) OnChange(this);
}

void TFontComboBox::DrawItem(TCanvas& Canvas, int32_t Index, const TRect& Rect, TOwnerDrawState State) {
  FillItem(Canvas, Rect, State);
  if (Index < 0 || Index >= Count()) return;
  const intptr_t bits = ItemData(Index);
  const TBitmap* symbol = (bits & TRUETYPE_FONTTYPE) ? &FTrueTypeSymbol
                          : (bits & DEVICE_FONTTYPE)  ? &FDeviceSymbol
                                                      : nullptr;
  int32_t x = Rect.Left + 20;
  if (symbol) {
    DrawTransparent(Canvas, Rect.Left + 2, Rect.Top + (Rect.Height() - symbol->Height()) / 2, *symbol, clDefault);
    x = Rect.Left + 2 + symbol->Width() + 6;
  }
  Canvas.Font().Assign(Font());
  if (FUseFonts && (bits & NOT_SYMBOL_FONT)) Canvas.Font().SetName(Item(Index));
  Canvas.Font().SetColor(State.Contains(odSelected) ? clHighlightText : clWindowText);
  Canvas.Brush().SetStyle(bsClear);
  TRect t{x, Rect.Top, Rect.Right, Rect.Bottom};
  DrawText(Canvas, Item(Index), t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

const TPropertyTable& TFontComboBox::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TFontComboBox>(TCustomComboBox::PropertyTable(), [](auto& p) {
    p.Enum("Device", &TFontComboBox::Device, &TFontComboBox::SetDevice, {"fdScreen", "fdPrinter", "fdBoth"});
    p.String("FontName", &TFontComboBox::FontName, &TFontComboBox::SetFontName);
    p.Set("Options", &TFontComboBox::Options, &TFontComboBox::SetOptions,
          {"foAnsiOnly", "foTrueTypeOnly", "foFixedPitchOnly", "foNoOEMFonts", "foOEMFontsOnly", "foScalableOnly",
           "foNoSymbolFonts"});
    p.Enum("Style", &TFontComboBox::Style, &TFontComboBox::SetStyle, {"csDropDown", "csSimple", "csDropDownList"});
    p.Bool("TrueTypeOnly", &TFontComboBox::TrueTypeOnly, &TFontComboBox::SetTrueTypeOnly);
    p.Bool("UseFonts", &TFontComboBox::UseFonts, &TFontComboBox::SetUseFonts);
    p.Method("OnChange");
  });
  return table;
}

}  // namespace kv

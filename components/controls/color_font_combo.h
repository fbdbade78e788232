// Owner-drawn combo boxes: the colour list with swatches and the font list
// with a symbol per font kind.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/set.h"
#include "platform/ui/custom_combo.h"

namespace kv {

// A fixed-height owner-drawn combo box whose item height follows its font.
class TOwnerDrawComboBox : public TCustomComboBox {
 public:
  explicit TOwnerDrawComboBox(TComponent* AOwner);
  void Dispatch(TMessage& Message) override;

 protected:
  void CreateWnd() override;
  // The item height the font asks for: its height + 1, at least 9.
  virtual int32_t WantedItemHeight();
  void ResetItemHeight();
};

enum TColorComboOption : uint8_t { coIncludeDefault, coIncludeNone };
using TColorComboOptions = TSet<TColorComboOption, 8>;

// The platform's name of a colour ("clRed", "clNone", "$00123456").
std::string ColorToString(TColor Color);

class TColorComboBox : public TOwnerDrawComboBox {
 public:
  explicit TColorComboBox(TComponent* AOwner);

  // The chosen colour; in an editable box the typed name or number when it reads.
  TColor ColorValue() const;
  void SetColorValue(TColor Value);
  const std::vector<std::string>& ColorNames() const { return FColorNames; }
  void SetColorNames(const std::vector<std::string>& Value);
  bool DisplayNames() const { return FDisplayNames; }
  void SetDisplayNames(bool Value);
  TColorComboOptions Options() const { return FOptions; }
  void SetOptions(TColorComboOptions Value);

  void DrawItem(TCanvas& Canvas, int32_t Index, const TRect& Rect, TOwnerDrawState State) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void Click() override;
  void Change() override;
  void PopulateList();

 private:
  void DoChange();
  TColor FColorValue = clBlack;
  std::vector<std::string> FColorNames;
  bool FDisplayNames = true;
  TColorComboOptions FOptions;
};

enum TFontDevice : uint8_t { fdScreen, fdPrinter, fdBoth };
enum TFontListOption : uint8_t {
  foAnsiOnly, foTrueTypeOnly, foFixedPitchOnly, foNoOEMFonts, foOEMFontsOnly, foScalableOnly, foNoSymbolFonts
};
using TFontListOptions = TSet<TFontListOption, 8>;

// Font type bits of an entry.
constexpr intptr_t RASTER_FONTTYPE = 1;
constexpr intptr_t DEVICE_FONTTYPE = 2;
constexpr intptr_t TRUETYPE_FONTTYPE = 4;
constexpr intptr_t NOT_SYMBOL_FONT = 0x100;

// The symbols drawn before the names, drawn here (transparent olive at the bottom left).
void MakeTrueTypeSymbol(TBitmap& Bitmap);
void MakeDeviceFontSymbol(TBitmap& Bitmap);

class TFontComboBox : public TOwnerDrawComboBox {
 public:
  explicit TFontComboBox(TComponent* AOwner);

  std::string FontName() const { return Text(); }
  void SetFontName(const std::string& Value);
  TFontDevice Device() const { return FDevice; }
  void SetDevice(TFontDevice Value);
  TFontListOptions Options() const { return FOptions; }
  void SetOptions(TFontListOptions Value);
  bool TrueTypeOnly() const { return FOptions.Contains(foTrueTypeOnly); }
  void SetTrueTypeOnly(bool Value);
  bool UseFonts() const { return FUseFonts; }
  void SetUseFonts(bool Value);
  void DrawItem(TCanvas& Canvas, int32_t Index, const TRect& Rect, TOwnerDrawState State) override;
  // CM_FONTCHANGE (the installed fonts changed) builds the list again keeping the chosen name.
  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  int32_t WantedItemHeight() override;
  void Change() override;
  void PopulateList();
  void Reset();

 private:
  TFontDevice FDevice = fdScreen;
  TFontListOptions FOptions;
  bool FUseFonts = false;
  int32_t FSilent = 0;  // change notifications held back while the list is rebuilt
  TBitmap FTrueTypeSymbol{0, 0, pf24bit};
  TBitmap FDeviceSymbol{0, 0, pf24bit};
};

}  // namespace kv

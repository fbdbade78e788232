// The built-in effects of the four catalogues, with their parameters and
// suggestion rows.
#include <string>
#include <vector>

#include "app/filters/colour_models.h"
#include "app/filters/filter_catalogue.h"
#include "platform/rtl/strings.h"

namespace kv {
namespace {

struct TParamDef {
  const char* Name;
  uint8_t Typ;
  const char* Default;
  const char* Min;
  const char* Max;
  const char* Increment;
};

TParamDef Int(const char* Name, const char* Min, const char* Max, const char* Default) {
  return {Name, fptInteger, Default, Min, Max, "1"};
}
TParamDef Real(const char* Name, const char* Min, const char* Max, const char* Default, const char* Inc) {
  return {Name, fptReal, Default, Min, Max, Inc};
}
TParamDef YesNo(const char* Name, const char* Default) { return {Name, fptBool, Default, "0", "1", "1"}; }
TParamDef Colour(const char* Name, const char* Default) { return {Name, fptColor, Default, "", "", ""}; }

tfilteritem& Reg(tfilterclass& C, const std::string& Caption, const std::string& Keyword, int32_t Tag,
                 const std::string& Category, int32_t Rows, const std::vector<TParamDef>& Params) {
  auto* item = new tfilteritem;
  RegisterFilter(C, item, Caption, Keyword, Tag, Category, Rows, int32_t(Params.size()));
  for (size_t i = 0; i < Params.size(); ++i) {
    const TParamDef& p = Params[i];
    AddParameter(C, item->Params[i], p.Name, p.Typ, p.Default, p.Min, p.Max, p.Increment);
  }
  return *item;
}

void RegisterFilterCatalogue(tfilterclass& C) {
  const TParamDef x = Int("X-Position", kOpenRangeMin, kOpenRangeMax, "50");
  const TParamDef y = Int("Y-Position", kOpenRangeMin, kOpenRangeMax, "50");
  const TParamDef centred = YesNo("Zentriert", "1");

  tfilteritem& lens = Reg(C, "Linse", "Lens", 318, "Div", 6,
                          {x, y, centred, Int("Linsenbreite", "1", kOpenRangeMax, "50"),
                           Int("Linsenhöhe", "1", kOpenRangeMax, "50"), YesNo("Voll", "1"),
                           Real("Brechung", "1", kOpenRangeMax, "2", "0.1")});
  const char* lensCentred[] = {"1", "1", "1", "1", "1", "0"};
  const char* lensFull[] = {"0", "1", "1", "1", "1", "1"};
  const char* lensRefraction[] = {"2.0", "2.0", "2.3", "2.7", "3.0", "2.0"};
  for (int32_t r = 0; r < 6; ++r)
    SetSuggestionRow(C, lens, r, {"50", "50", lensCentred[r], "50", "50", lensFull[r], lensRefraction[r]});

  tfilteritem& wave = Reg(C, "Welle", "Wave", 312, "Div", 6,
                          {Int("Amplitude", "1", "200", "10"), Int("Wellenlänge", "1", "200", "10"),
                           Int("Phase", "0", "359", "0"), YesNo("Reflektierend", "0")});
  const char* waveRows[6][4] = {{"10", "20", "0", "0"}, {"10", "30", "0", "0"}, {"10", "40", "0", "0"},
                                {"15", "10", "0", "0"}, {"20", "10", "0", "0"}, {"1", "57", "0", "1"}};
  for (int32_t r = 0; r < 6; ++r)
    SetSuggestionRow(C, wave, r, {waveRows[r][0], waveRows[r][1], waveRows[r][2], waveRows[r][3]});

  tfilteritem& bump = Reg(C, "Bump map", "Bumpmap", 311, "Div", 9,
                          {x, y, centred, Int("Lichtbreite", "1", kOpenRangeMax, "50"),
                           Int("Lichthöhe", "1", kOpenRangeMax, "50"), YesNo("Voll", "1"),
                           Int("Lichtanteil", "0", "100", "0"), Colour("Lichtfarbe", "$FFFFFF")});
  const char* bumpShare[] = {"0.0", "20.0", "40.0", "60.0", "80.0", "100.0", "0.0", "0.0", "0.0"};
  const char* bumpColour[] = {"$FFFFFF", "$FFFFFF", "$FFFFFF", "$FFFFFF", "$FFFFFF",
                              "$FFFFFF", "$FF0000", "$00FF00", "$0000FF"};
  for (int32_t r = 0; r < 9; ++r)
    SetSuggestionRow(C, bump, r, {"50", "50", "1", "50", "50", "1", bumpShare[r], bumpColour[r]});

  const std::pair<const char*, const char*> morph[] = {
      {"Maximum", "Maximum"}, {"Minimum", "Minimum"}, {"Opening", "Öffnen"}, {"Closing", "Schließen"}};
  const int32_t morphTags[] = {315, 316, 317, 317};
  for (int32_t k = 0; k < 4; ++k) {
    tfilteritem& m = Reg(C, morph[k].second, morph[k].first, morphTags[k], "Morphing", 6,
                         {Int("Zyklen", "1", kOpenRangeMax, "1")});
    for (int32_t r = 0; r < 6; ++r) SetSuggestionRow(C, m, r, {IntToStr(r)});
  }

  Reg(C, "Shen-Castan", "ShenCastan", 318, "Div", 0,
      {Real("Verhältnis", "0", "1", "0.99", "0.1"), Real("Glättung", "0", "1", "0.9", "0.1"),
       Int("Fenstergröße", "0", kOpenRangeMax, "7"), YesNo("Hysterese", "1")});
}

void RegisterImageCatalogue(tfilterclass& C) {
  Reg(C, "Filter erstellen", "ManageUserFilter", 307, "Filter", 0, {{"", fptUserFilter, "0", "", "", ""}});
  tfilteritem& rotate = Reg(C, "Winkel angeben", "Rotate", 211, kCategoryRotate, 8,
                            {Real("Winkel", "-360", "360", "0", "1"), YesNo("Antialiasing", "0")});
  const char* angles[] = {"90", "180", "270", "360", "45", "135", "225", "315"};
  for (int32_t r = 0; r < 8; ++r) SetSuggestionRow(C, rotate, r, {angles[r], "1"});
  Reg(C, "-90° drehen (im Uhrzeigersinn)", "RotateS-90", 201, kCategoryRotate, 0, {});
  Reg(C, "90° drehen (gegen Uhrzeigersinn)", "RotateS90", 202, kCategoryRotate, 0, {});
  Reg(C, "180° drehen", "RotateS180", 203, kCategoryRotate, 0, {});
  Reg(C, "Vertikal spiegeln", "FlipVert", 221, kCategoryRotate, 0, {});
  Reg(C, "Horizontal spiegeln", "FlipHorz", 222, kCategoryRotate, 0, {});
  Reg(C, "In Einzelbilder trennen", "Seperate", 11, "Autokorrektur", 0,
      {Int("Toleranz", "0", "255", "20"), Real("Min.Größe (cm)", "0", kOpenRangeMax, "9", "1"),
       Colour("Randfarbe", "0")});
  Reg(C, "Rand geraderichten", "StraightenBorder", 12, "Autokorrektur", 0,
      {Int("Toleranz", "0", "255", "20"), Colour("Randfarbe", "0")});
  Reg(C, "Rand abschneiden", "CutBorder", 13, "Autokorrektur", 0,
      {Int("Toleranz", "0", "255", "30"), Colour("Randfarbe", "0"),
       Real("Entfernen (cm)", "0", kOpenRangeMax, "0", "1")});
  Reg(C, "Text geraderichten", "StraightenText", 14, "Autokorrektur", 0,
      {Int("Winkelbereich", "1", "180", "10"), Real("Präzision", "0", "1", "0.1", "0.1")});
  Reg(C, "Egalisierung", "Equalize", 14, "Autokorrektur", 0, {});
}

void RegisterColourCatalogue(tfilterclass& C) {
  for (const TColorModel model : {cmRGB, cmHSV, cmHSL, cmCMYK, cmLAB, cmYUV}) {
    const int32_t n = ColorModelChannelCount(model);
    std::vector<TParamDef> params;
    for (int32_t ch = 0; ch < n; ++ch) params.push_back(Int(ColorChannelName(model, ch), "-100", "100", "0"));
    tfilteritem& add =
        Reg(C, ColorModelName(model), std::string("ColorAdd") + ColorModelName(model), 4, kCategoryChannels, 8, params);
    // +30, then -30, on channel 1, 2, 3, 4 in turn.
    for (int32_t r = 0; r < 8; ++r)
      for (int32_t ch = 0; ch < n; ++ch)
        add.Params[size_t(ch)].Suggestions[size_t(r)] = ch == r % 4 ? (r < 4 ? "30" : "-30") : "0";
  }
  Reg(C, "2 Farben (1 Bit/Pixel)", "RedColor2", 1, kCategoryReduce, 0, {});
  Reg(C, "16 Farben (4 Bit/Pixel)", "RedColor16", 2, kCategoryReduce, 0, {});
  Reg(C, "256 Farben (8 Bit/Pixel)", "RedColor256", 3, kCategoryReduce, 0, {});
  tfilteritem& reduce = Reg(C, "Anzahl Farben eingeben", "ReduceColors", 11, kCategoryReduce, 8,
                            {Int("Anzahl Farben", "2", kOpenRangeMax, "16")});
  for (int32_t r = 0; r < 8; ++r) SetSuggestionRow(C, reduce, r, {IntToStr(2 << r)});
  Reg(C, "In Graustufen umwandeln", "Grayscale", 21, kCategoryReduce, 0, {});
  tfilteritem& bw = Reg(C, "Schwarz Weiss", "BlackWhite", 22, kCategoryReduce, 10,
                        {Int("Grenzwert", "0", "255", "128"), YesNo("Durchschnitt", "1")});
  const char* thresholds[] = {"128", "108", "113", "118", "123", "133", "138", "143", "148", "153"};
  for (int32_t r = 0; r < 10; ++r) SetSuggestionRow(C, bw, r, {thresholds[r], r == 0 ? "1" : "0"});

  const char* steps[] = {"10", "20", "-10", "-20"};
  tfilteritem& bc = Reg(C, "Helligkeit / Kontrast", "BrightnessContrast", 11, "", 8,
                        {Int("Helligkeit", "-255", "255", "0"), Int("Kontrast", "-100", "100", "0")});
  tfilteritem& hs = Reg(C, "Farbton / Sättigung", "HueSaturation", 12, "", 8,
                        {Int("Farbton", "-359", "359", "0"), Int("Sättigung", "-99", "99", "0")});
  for (tfilteritem* item : {&bc, &hs})
    for (int32_t r = 0; r < 4; ++r) {
      SetSuggestionRow(C, *item, r, {steps[r]});
      SetSuggestionRow(C, *item, r + 4, {"", steps[r]});
    }
  Reg(C, "Invertieren (Negativ)", "Invert", 13, "", 0, {});
  tfilteritem& gamma = Reg(C, "Gamma Korrektur", "Gamma", 3, "", 5, {Real("Gamma", "0.1", "4.0", "1", "0.01")});
  const char* gammas[] = {"0.7", "0.8", "0.9", "1.1", "1.2"};
  for (int32_t r = 0; r < 5; ++r) SetSuggestionRow(C, gamma, r, {gammas[r]});

  std::string models;
  for (const TColorModel model : {cmRGB, cmHSV, cmHSL, cmCMYK, cmLAB, cmYUV})
    models += std::string(model ? "|" : "") + ColorModelName(model);
  std::vector<TParamDef> combine;
  const char* channels[] = {"Kanal 1", "Kanal 2", "Kanal 3", "Kanal 4"};
  for (const char* ch : channels) combine.push_back({ch, fptImageWindow, "", "!OPENED", "", ""});
  combine.push_back({"Farbmodell", fptChoice, "0", "", "", ""});
  tfilteritem& comb = Reg(C, "Kanäle kombinieren", "Combine", 11, kCategoryChannels, 0, combine);
  comb.Params[4].Min = models;  // the choice items live in the minimum field
}

void RegisterCameraCatalogue(tfilterclass& C) {
  Reg(C, "Hot Pixel (Wechselnde Pixelfehler)", "HotPixel", 2, "Digitalkamera", 0,
      {Int("Toleranz", "0", "255", "38"), Int("Radius", "1", kOpenRangeMax, "1")});
  Reg(C, "Seitenverhältnis", "AspectRatio", 3, "Digitalkamera", 0,
      {Real("Breite", "0.00001", kOpenRangeMax, "1", "1"), Real("Höhe", "0.00001", kOpenRangeMax, "1", "1"),
       YesNo("auch Kehrwert", "1"), {"Anker", fptAnchor, "0", "0", "255", "1"}});
}

}  // namespace

void RegisterBuiltinFilters(tfilterclass& Filters, tfilterclass& Images, tfilterclass& Colours,
                            tfilterclass& Camera) {
  RegisterFilterCatalogue(Filters);
  RegisterImageCatalogue(Images);
  RegisterColourCatalogue(Colours);
  RegisterCameraCatalogue(Camera);
}

}  // namespace kv

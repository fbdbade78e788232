// Filter catalogues: the built-in effects with their parameters and
// suggestion rows, command lines and stored values of items, the menus, and
// the user's filter files found on disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/filters/filter_catalogue.h"
#include "app/filters/user_filter_scan.h"
#include "imaging/processing/ff_files.h"
#include "platform/system/registry.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/menus.h"
#include "support/temp_files.h"

namespace kv {
namespace {

std::vector<std::string> Keywords(const tfilterclass& C) {
  std::vector<std::string> v;
  for (int32_t i = 0; i < C.Count(); ++i) v.push_back(C.Items(i)->Keyword);
  return v;
}

TEST(FilterCatalogue, BuiltinFiltersInRegistrationOrder) {
  EXPECT_EQ(Keywords(FilterCatalogue()),
            (std::vector<std::string>{"Lens", "Wave", "Bumpmap", "Maximum", "Minimum", "Opening", "Closing",
                                      "ShenCastan"}));
  EXPECT_EQ(Keywords(ImageCatalogue()),
            (std::vector<std::string>{"ManageUserFilter", "Rotate", "RotateS-90", "RotateS90", "RotateS180",
                                      "FlipVert", "FlipHorz", "Seperate", "StraightenBorder", "CutBorder",
                                      "StraightenText", "Equalize"}));
  EXPECT_EQ(Keywords(ColorCatalogue()),
            (std::vector<std::string>{"ColorAddRGB", "ColorAddHSV", "ColorAddHSL", "ColorAddCMYK", "ColorAddLAB",
                                      "ColorAddYUV", "RedColor2", "RedColor16", "RedColor256", "ReduceColors",
                                      "Grayscale", "BlackWhite", "BrightnessContrast", "HueSaturation", "Invert",
                                      "Gamma", "Combine"}));
  EXPECT_EQ(Keywords(CameraCatalogue()), (std::vector<std::string>{"HotPixel", "AspectRatio"}));
  // The list name of a built-in filter is its caption.
  EXPECT_EQ(ColorCatalogue().Names(16), "Kanäle kombinieren");
}

struct TParamCase {
  const char* Keyword;
  const char* Caption;
  const char* Category;
  int32_t Tag;
  int32_t Rows;
  // "name:type:default:min:max:increment" per parameter.
  std::vector<std::string> Params;
};

std::string Describe(const tfilterparam& P) {
  return P.Name + ":" + std::to_string(P.Typ) + ":" + P.Default + ":" + P.Min + ":" + P.Max + ":" + P.Increment;
}

tfilteritem* FindAnywhere(const std::string& Keyword) {
  for (tfilterclass* c : {&FilterCatalogue(), &ImageCatalogue(), &ColorCatalogue(), &CameraCatalogue()})
    if (tfilteritem* item = c->FindKeyword(Keyword)) return item;
  return nullptr;
}

TEST(FilterCatalogue, ParametersRangesAndDefaults) {
  const std::vector<TParamCase> cases = {
      {"Lens", "Linse", "Div", 318, 6,
       {"X-Position:0:50:-10000:10000:1", "Y-Position:0:50:-10000:10000:1", "Zentriert:2:1:0:1:1",
        "Linsenbreite:0:50:1:10000:1", "Linsenhöhe:0:50:1:10000:1", "Voll:2:1:0:1:1", "Brechung:1:2:1:10000:0.1"}},
      {"Wave", "Welle", "Div", 312, 6,
       {"Amplitude:0:10:1:200:1", "Wellenlänge:0:10:1:200:1", "Phase:0:0:0:359:1", "Reflektierend:2:0:0:1:1"}},
      {"Bumpmap", "Bump map", "Div", 311, 9,
       {"X-Position:0:50:-10000:10000:1", "Y-Position:0:50:-10000:10000:1", "Zentriert:2:1:0:1:1",
        "Lichtbreite:0:50:1:10000:1", "Lichthöhe:0:50:1:10000:1", "Voll:2:1:0:1:1", "Lichtanteil:0:0:0:100:1",
        "Lichtfarbe:3:$FFFFFF:::"}},
      {"Closing", "Schließen", "Morphing", 317, 6, {"Zyklen:0:1:1:10000:1"}},
      {"ShenCastan", "Shen-Castan", "Div", 318, 0,
       {"Verhältnis:1:0.99:0:1:0.1", "Glättung:1:0.9:0:1:0.1", "Fenstergröße:0:7:0:10000:1", "Hysterese:2:1:0:1:1"}},
      {"ManageUserFilter", "Filter erstellen", "Filter", 307, 0, {":4:0:::"}},
      {"Rotate", "Winkel angeben", "Drehen / Spiegeln", 211, 8,
       {"Winkel:1:0:-360:360:1", "Antialiasing:2:0:0:1:1"}},
      {"RotateS-90", "-90° drehen (im Uhrzeigersinn)", "Drehen / Spiegeln", 201, 0, {}},
      {"CutBorder", "Rand abschneiden", "Autokorrektur", 13, 0,
       {"Toleranz:0:30:0:255:1", "Randfarbe:3:0:::", "Entfernen (cm):1:0:0:10000:1"}},
      {"StraightenText", "Text geraderichten", "Autokorrektur", 14, 0,
       {"Winkelbereich:0:10:1:180:1", "Präzision:1:0.1:0:1:0.1"}},
      {"ColorAddCMYK", "CMYK", "Farbkanäle", 4, 8,
       {"Cyan:0:0:-100:100:1", "Mangenta:0:0:-100:100:1", "Gelb:0:0:-100:100:1", "Schwarz:0:0:-100:100:1"}},
      {"ColorAddYUV", "YUV", "Farbkanäle", 4, 8,
       {"Leuchtkraft:0:0:-100:100:1", "Differenz Blau:0:0:-100:100:1", "Differenz Rot:0:0:-100:100:1"}},
      {"RedColor256", "256 Farben (8 Bit/Pixel)", "Farbanzahl reduzieren", 3, 0, {}},
      {"ReduceColors", "Anzahl Farben eingeben", "Farbanzahl reduzieren", 11, 8, {"Anzahl Farben:0:16:2:10000:1"}},
      {"BlackWhite", "Schwarz Weiss", "Farbanzahl reduzieren", 22, 10,
       {"Grenzwert:0:128:0:255:1", "Durchschnitt:2:1:0:1:1"}},
      {"BrightnessContrast", "Helligkeit / Kontrast", "", 11, 8,
       {"Helligkeit:0:0:-255:255:1", "Kontrast:0:0:-100:100:1"}},
      {"HueSaturation", "Farbton / Sättigung", "", 12, 8, {"Farbton:0:0:-359:359:1", "Sättigung:0:0:-99:99:1"}},
      {"Gamma", "Gamma Korrektur", "", 3, 5, {"Gamma:1:1:0.1:4.0:0.01"}},
      {"Combine", "Kanäle kombinieren", "Farbkanäle", 11, 0,
       {"Kanal 1:5::!OPENED::", "Kanal 2:5::!OPENED::", "Kanal 3:5::!OPENED::", "Kanal 4:5::!OPENED::",
        "Farbmodell:8:0:RGB|HSV|HSL|CMYK|LAB|YUV::"}},
      {"HotPixel", "Hot Pixel (Wechselnde Pixelfehler)", "Digitalkamera", 2, 0,
       {"Toleranz:0:38:0:255:1", "Radius:0:1:1:10000:1"}},
      {"AspectRatio", "Seitenverhältnis", "Digitalkamera", 3, 0,
       {"Breite:1:1:0.00001:10000:1", "Höhe:1:1:0.00001:10000:1", "auch Kehrwert:2:1:0:1:1",
        "Anker:9:0:0:255:1"}},
  };
  for (const TParamCase& c : cases) {
    SCOPED_TRACE(c.Keyword);
    const tfilteritem* item = FindAnywhere(c.Keyword);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Kind, fkBuiltin);
    EXPECT_EQ(item->Caption, c.Caption);
    EXPECT_EQ(item->Category, c.Category);
    EXPECT_EQ(item->Tag, c.Tag);
    EXPECT_EQ(item->RowCount, c.Rows);
    ASSERT_EQ(item->ParamCount, int32_t(c.Params.size()));
    for (size_t i = 0; i < c.Params.size(); ++i) {
      EXPECT_EQ(Describe(item->Params[i]), c.Params[i]);
      EXPECT_EQ(item->Params[i].Value, item->Params[i].Default);
    }
  }
}

TEST(FilterCatalogue, SuggestionRows) {
  auto row = [](const char* Keyword, int32_t Row) {
    const tfilteritem* item = FindAnywhere(Keyword);
    std::vector<std::string> v;
    for (int32_t i = 0; i < item->ParamCount; ++i) v.push_back(item->Params[size_t(i)].Suggestions[size_t(Row)]);
    return v;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(row("Lens", 5), (V{"50", "50", "0", "50", "50", "1", "2.0"}));
  EXPECT_EQ(row("Lens", 2), (V{"50", "50", "1", "50", "50", "1", "2.3"}));
  EXPECT_EQ(row("Wave", 5), (V{"1", "57", "0", "1"}));
  EXPECT_EQ(row("Bumpmap", 6), (V{"50", "50", "1", "50", "50", "1", "0.0", "$FF0000"}));
  EXPECT_EQ(row("Minimum", 0), (V{"0"}));
  EXPECT_EQ(row("Rotate", 4), (V{"45", "1"}));
  EXPECT_EQ(row("ColorAddRGB", 1), (V{"0", "30", "0"}));
  EXPECT_EQ(row("ColorAddCMYK", 7), (V{"0", "0", "0", "-30"}));
  EXPECT_EQ(row("ReduceColors", 7), (V{"256"}));
  EXPECT_EQ(row("BlackWhite", 0), (V{"128", "1"}));
  EXPECT_EQ(row("BlackWhite", 9), (V{"153", "0"}));
  EXPECT_EQ(row("Gamma", 4), (V{"1.2"}));
  // Rows 1-4 change only the first parameter, rows 5-8 only the second.
  for (const char* k : {"BrightnessContrast", "HueSaturation"}) {
    EXPECT_EQ(row(k, 1), (V{"20", ""})) << k;
    EXPECT_EQ(row(k, 6), (V{"", "-10"})) << k;
  }
}

TEST(FilterCatalogue, ParameterValuesAsNumbers) {
  const struct {
    const char* Text;
    int32_t Int;
    double Float;
  } cases[] = {
      {"12", 12, 12},          {" -7 ", -7, -7},   {"20.0", 20, 20},      {"2.5", 2, 2.5},
      {"$FFFFFF", 16777215, 16777215}, {"", 0, 0}, {"abc", 0, 0}, {"1e400", 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FilterParamInt(c.Text), c.Int) << c.Text;
    EXPECT_DOUBLE_EQ(FilterParamFloat(c.Text), c.Float) << c.Text;
  }
}

TEST(FilterCatalogue, CommandLinesOfItems) {
  EXPECT_EQ(FilterItemToCommand(nullptr), "");

  tfilteritem gamma;
  gamma.Keyword = "Gamma";
  gamma.ParamCount = 2;
  gamma.Params[0].Value = "0.5";
  EXPECT_EQ(FilterItemToCommand(&gamma), "Effect Name=\"Gamma\" Param1=\"0.5\" Param2=\"\"");

  tfilteritem acf;
  acf.Kind = fkUserFilter;
  acf.FilePath = "/p/Plugins/soft edge.acf";
  EXPECT_EQ(FilterItemToCommand(&acf), "ACF Name=\"/p/Plugins/soft edge.acf\"");

  tfilteritem ffl;
  ffl.Kind = fkFilterFactory;
  ffl.FilePath = "/p/a.ffl";
  ffl.FilterNumber = 3;
  ffl.ParamCount = 8;
  for (int32_t i = 0; i < 8; ++i) ffl.Params[size_t(i)].Value = std::to_string(i * 10);
  const std::string line = FilterItemToCommand(&ffl);
  EXPECT_EQ(line,
            "FFL Name=\"/p/a.ffl\" Num=3 Param1=\"0\" Param2=\"10\" Param3=\"20\" Param4=\"30\" Param5=\"40\" "
            "Param6=\"50\" Param7=\"60\" Param8=\"70\"");

  // Back: present and non-empty values are taken, the others kept.
  tfilteritem other;
  other.Kind = fkFilterFactory;
  other.ParamCount = 8;
  other.Params[7].Value = "keep";
  ApplyCommandParams(other, "ffl name=x param1=\"5\" PARAM2=6 Param8=\"\"");
  EXPECT_EQ(other.Params[0].Value, "5");
  EXPECT_EQ(other.Params[1].Value, "6");
  EXPECT_EQ(other.Params[2].Value, "");
  EXPECT_EQ(other.Params[7].Value, "keep");
}

class FilterSettings : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    SetRegistryFolder(Dir);
  }
  void TearDown() override {
    SetRegistryFolder("");
    TTempFolderTest::TearDown();
  }
};

TEST_F(FilterSettings, ValuesPersistPerFilter) {
  tfilteritem lens;
  lens.Keyword = "Lens";
  lens.ParamCount = 2;
  lens.Params[0].Value = "70";
  lens.Params[1].Value = "-3";
  StoreFilterSettings(lens);

  tfilteritem ffl;
  ffl.Kind = fkFilterFactory;
  ffl.FilePath = "/somewhere/Lib.ffl";
  ffl.FilterNumber = 2;
  ffl.ParamCount = 8;
  ffl.Params[4].Value = "99";
  StoreFilterSettings(ffl);

  tfilteritem acf;
  acf.Kind = fkUserFilter;
  acf.FilePath = "/somewhere/x.acf";
  StoreFilterSettings(acf);

  TRegistry r;
  ASSERT_TRUE(r.OpenKey(kFilterSettingsKey, false));
  std::vector<std::string> names;
  r.GetValueNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Lens", "Lib.ffl2"}));
  EXPECT_EQ(r.ReadString("Lens"), "Effect Name=\"Lens\" Param1=\"70\" Param2=\"-3\"");
  r.CloseKey();

  tfilteritem lens2;
  lens2.Keyword = "Lens";
  lens2.ParamCount = 2;
  LoadFilterSettings(lens2);
  EXPECT_EQ(lens2.Params[0].Value, "70");
  EXPECT_EQ(lens2.Params[1].Value, "-3");

  tfilteritem ffl2;
  ffl2.Kind = fkFilterFactory;
  ffl2.FilePath = "/elsewhere/Lib.ffl";
  ffl2.FilterNumber = 2;
  ffl2.ParamCount = 8;
  LoadFilterSettings(ffl2);
  EXPECT_EQ(ffl2.Params[4].Value, "99");

  // A filter never stored keeps its values.
  tfilteritem wave;
  wave.Keyword = "Wave";
  wave.ParamCount = 1;
  wave.Params[0].Value = "10";
  LoadFilterSettings(wave);
  EXPECT_EQ(wave.Params[0].Value, "10");
}

std::vector<std::string> Captions(const TMenuItem& Menu) {
  std::vector<std::string> v;
  for (int32_t i = 0; i < Menu.Count(); ++i) v.push_back(Menu.Items(i)->Caption());
  return v;
}

TMenuItem* Fixed(TMenuItem& Menu, const std::string& Caption, int32_t Tag) {
  auto* item = new TMenuItem(&Menu);
  item->SetCaption(Caption);
  item->SetTag(Tag);
  Menu.Add(item);
  return item;
}

TEST(FilterMenus, EntriesByCategoryAndTag) {
  TMenuItem filter1(nullptr);
  Fixed(filter1, "Filter...", 301);
  Fixed(filter1, "Vorschau...", 302);
  Fixed(filter1, "-", 310);
  TObject* clicked = nullptr;
  FilterCatalogue().BuildMenu(&filter1, fmmCategories, [&](TObject* Sender) { clicked = Sender; });
  // Div takes the lens's tag 318, so Morphing (315) goes in front of it.
  EXPECT_EQ(Captions(filter1), (std::vector<std::string>{"Filter...", "Vorschau...", "-", "Morphing...", "Div..."}));
  auto* div = dynamic_cast<tmymenuitem*>(filter1.Items(4));
  ASSERT_NE(div, nullptr);
  EXPECT_EQ(div->Catalogue, &FilterCatalogue());
  EXPECT_EQ(div->Filter->Keyword, "Lens");  // the first filter of the category
  div->Click();
  EXPECT_EQ(clicked, div);

  TMenuItem bild1(nullptr);
  ImageCatalogue().BuildMenu(&bild1, fmmSubmenus, nullptr);
  EXPECT_EQ(Captions(bild1), (std::vector<std::string>{"Autokorrektur", "Drehen / Spiegeln", "Filter"}));
  EXPECT_EQ(Captions(*bild1.Items(1)),
            (std::vector<std::string>{"-90° drehen (im Uhrzeigersinn)...", "90° drehen (gegen Uhrzeigersinn)...",
                                      "180° drehen...", "Winkel angeben...", "Vertikal spiegeln...",
                                      "Horizontal spiegeln..."}));

  // Filters without a category stand directly in the menu.
  TMenuItem farben1(nullptr);
  ColorCatalogue().BuildMenu(&farben1, fmmSubmenus, nullptr);
  EXPECT_EQ(Captions(farben1), (std::vector<std::string>{"Farbanzahl reduzieren", "Gamma Korrektur...",
                                                         "Farbkanäle", "Helligkeit / Kontrast...",
                                                         "Farbton / Sättigung...", "Invertieren (Negativ)..."}));
}

// A convolution filter file: 27 big-endian words.
void WriteAcf(const std::string& Path) {
  std::vector<uint8_t> bytes(54, 0);
  bytes[2 * 12 + 1] = 1;  // centre tap
  bytes[2 * 25 + 1] = 1;  // divisor
  test::WriteBytes(Path, bytes);
}

void WriteFfl(const std::string& Path, const std::vector<std::pair<std::string, std::string>>& CategoryTitle) {
  tfflfilter lib;
  for (size_t n = 1; n < CategoryTitle.size(); ++n) lib.NewFilter(int32_t(n));
  for (size_t n = 0; n < CategoryTitle.size(); ++n) {
    lib.SetField(CategoryTitle[n].first, ffkCategory, 0, int32_t(n));
    lib.SetField(CategoryTitle[n].second, ffkTitle, 0, int32_t(n));
    lib.SetField("Stärke", ffkControlName, 0, int32_t(n));
    lib.SetField("42", ffkControlValue, 0, int32_t(n));
  }
  lib.Save(Path);
}

class UserFilterScan : public test::TTempFolderTest {};

TEST_F(UserFilterScan, FilterFactoryLibrariesAddAnItemPerFilterAndAnEntryPerCategory) {
  std::filesystem::create_directories(Dir + "sub");
  WriteFfl(Dir + "sub/Two.FFL", {{"Kunst", "Welle..."}, {"", ""}});
  WriteFfl(Dir + "one.ffl", {{"&Alt", "Alt 1"}, {"kunst", "Zweite"}});
  test::WriteText(Dir + "notes.txt", "not a filter");

  TMenuItem menu(nullptr);
  Fixed(menu, "Div...", 311);
  Fixed(menu, "-", 310);
  Fixed(menu, "Zzz...", 0);
  tfilterclass c;
  ScanFflFilters(c, Dir, &menu, nullptr);

  ASSERT_EQ(c.Count(), 4);
  std::vector<std::string> names;
  for (int32_t i = 0; i < c.Count(); ++i) names.push_back(c.Names(i));
  EXPECT_EQ(names, (std::vector<std::string>{"Alt 1", "Zweite", "Welle", "Unbenannt"}));
  const tfilteritem& second = *c.Items(1);
  EXPECT_EQ(second.Kind, fkFilterFactory);
  EXPECT_EQ(second.FilePath, Dir + "one.ffl");
  EXPECT_EQ(second.Caption, second.FilePath);
  EXPECT_EQ(second.FilterNumber, 1);
  EXPECT_EQ(second.ParamCount, 8);
  EXPECT_EQ(Describe(second.Params[0]), "Stärke:0:42:0:255:1");
  EXPECT_EQ(c.Items(3)->Category, "Keine Kategorie");

  // One entry per category (case and "&" do not count), alphabetically after the 310 line.
  EXPECT_EQ(Captions(menu), (std::vector<std::string>{"Div...", "-", "&Alt...", "Keine Kategorie...", "kunst...",
                                                      "Zzz..."}));
  EXPECT_EQ(dynamic_cast<tmymenuitem*>(menu.Items(4))->Filter, c.Items(1));
}

TEST_F(UserFilterScan, ConvolutionFiltersByFolder) {
  std::filesystem::create_directories(Dir + "Sharpen");
  std::filesystem::create_directories(Dir + "blur/soft");
  WriteAcf(Dir + "Sharpen/edges.acf");
  WriteAcf(Dir + "Sharpen/more.ACF");
  WriteAcf(Dir + "blur/soft/gentle.acf");

  TMenuItem menu(nullptr);
  Fixed(menu, "-", 310);
  Fixed(menu, "SOFT...", 0);  // already there: no second entry
  tfilterclass c;
  ScanAcfFilters(c, Dir, &menu, nullptr);

  ASSERT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Names(0), "Edges");
  EXPECT_EQ(c.Items(0)->Kind, fkUserFilter);
  EXPECT_EQ(c.Items(0)->Category, "Sharpen");
  EXPECT_EQ(c.Items(0)->FilePath, Dir + "Sharpen/edges.acf");
  EXPECT_EQ(c.Items(2)->Category, "blur/soft");
  EXPECT_EQ(Captions(menu), (std::vector<std::string>{"-", "Schärfe...", "SOFT..."}));

  RemoveUserFilters(c);
  EXPECT_EQ(c.Count(), 0);
}

TEST_F(UserFilterScan, AFileThatCannotBeReadIsReportedAfterTheOthers) {
  WriteFfl(Dir + "b.ffl", {{"Gut", "x"}});
  std::filesystem::create_directories(Dir + "a.ffl");  // a folder named like a library is no file
  // Far larger than any library: refused without being read (sparse, so it costs no disk).
  test::WriteText(Dir + "c.ffl", "");
  std::filesystem::resize_file(Dir + "c.ffl", (int64_t(64) << 20) + 1);
  WriteFfl(Dir + "d.ffl", {{"Gut", "y"}});
  tfilterclass c;
  EXPECT_THROW(ScanFflFilters(c, Dir, nullptr, nullptr), Exception);
  EXPECT_EQ(c.Count(), 2);
}

}  // namespace
}  // namespace kv

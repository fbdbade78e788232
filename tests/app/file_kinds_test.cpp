#include <gtest/gtest.h>

#include "app/params/file_kinds.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/string_list.h"

namespace kv {
namespace {

TEST(FileKinds, TableParts) {
  const struct {
    tFileFormat Kind;
    const char* Short;
    const char* Description;
    const char* Ext;
  } cases[] = {
      {tFileFormat::jpg, "JPG", "(JPG) Jpeg ", "jpg"},
      {tFileFormat::gif, "GIF", "(GIF) CompuServe Bitmap (GIF) ", "gif"},
      {tFileFormat::tiff, "TIF", "(TIF) Tiff Bitmap ", "tif"},
      {tFileFormat::pcf, "PCF", "(PCF) Katalog ", "pcf"},
      {tFileFormat::wma, "WMA", "(WMA) Windows Media Audio", "wma"},
      {tFileFormat::mp3, "MP3", "(MP3) MP3 ", "mp3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileKindShortName(c.Kind), c.Short);
    EXPECT_EQ(FileKindDescription(FileKindText(c.Kind)), c.Description);
    EXPECT_EQ(FileKindExtension(c.Kind), c.Ext);
  }
  const char* tgaExtra[] = {"targa", "vda", "icb", "vst", "pix", ""};
  for (int n = 0; n < 6; ++n) EXPECT_EQ(FileKindExtraExtension(tFileFormat::tga, n), tgaExtra[n]) << n;
  EXPECT_EQ(FileKindExtension(tFileFormat::tga), "tga");
  EXPECT_EQ(FileKindExtraExtension(tFileFormat::png, 0), "");
  EXPECT_EQ(FileKindExtraExtension(tFileFormat::jpg, -1), "");
}

TEST(FileKinds, KindOfExtension) {
  const struct {
    const char* Ext;
    tFileFormat Kind;
  } known[] = {{".jpeg", tFileFormat::jpg}, {"JPE", tFileFormat::jpg},   {".TIFF", tFileFormat::tiff},
               {"rle", tFileFormat::bmp},   {".Pix", tFileFormat::tga},  {".mp3", tFileFormat::mp3}};
  for (const auto& c : known) {
    tFileFormat k = tFileFormat::avi;
    EXPECT_TRUE(FileKindOfExtension(c.Ext, k)) << c.Ext;
    EXPECT_EQ(k, c.Kind) << c.Ext;
  }
  tFileFormat k;
  for (const char* ext : {"", ".", ".xyz", ".jp", ".jpgx"}) EXPECT_FALSE(FileKindOfExtension(ext, k)) << ext;
}

TEST(FileKinds, ListPlacesOfImageKinds) {
  for (int i = 0; i <= 10; ++i) {
    const auto k = static_cast<tFileFormat>(i);
    EXPECT_EQ(FileKindListIndex(k), i);
    EXPECT_EQ(FileKindAtListIndex(i), k);
  }
  EXPECT_EQ(FileKindListIndex(tFileFormat::mp3), 11);
  EXPECT_THROW(FileKindAtListIndex(11), EListError);
  EXPECT_THROW(FileKindAtListIndex(-1), EListError);
}

TEST(FileKinds, SaveFilterStartsWithAllAndEndsWithAllFiles) {
  const std::string expected =
      "Alle|*.jpg;*.jpeg;*.jpe;*.png;*.bmp;*.dib;*.rle;*.pcx;*.gif;*.tif;*.tiff;"
      "*.tga;*.targa;*.vda;*.icb;*.vst;*.pix;|"
      "(JPG) Jpeg |*.jpg;*.jpeg;*.jpe|(PNG) Portable Network Graphics |*.png|"
      "(BMP) Windows Bitmap |*.bmp;*.dib;*.rle|(PCX) PaintBrush |*.pcx|"
      "(GIF) CompuServe Bitmap (GIF) |*.gif|(TIF) Tiff Bitmap |*.tif;*.tiff|"
      "(TGA) Targa Bitmap |*.tga;*.targa;*.vda;*.icb;*.vst;*.pix|Alle Dateien|*.*";
  EXPECT_EQ(SaveFilter(), expected);
  EXPECT_EQ(WaveFilter(), "Alle|*.wav;|(WAV) Wave |*.wav|Alle Dateien|*.*");
  EXPECT_EQ(CatalogFilter(), "Alle|*.pcf;|(PCF) Katalog |*.pcf|Alle Dateien|*.*");
  EXPECT_EQ(SoundFilter(),
            "Alle|*.wav;*.mid;*.wma;*.mp3;|(WAV) Wave |*.wav|(MID) Midi |*.mid|(WMA) Windows Media Audio|*.wma|"
            "(MP3) MP3 |*.mp3|Alle Dateien|*.*");
  // The open filter holds every kind up to the catalog and none after it.
  EXPECT_NE(OpenFilter().find("|(PCF) Katalog |*.pcf|Alle Dateien|*.*"), std::string::npos);
  EXPECT_NE(OpenFilter().find("*.cur;*.pcf;|"), std::string::npos);
  EXPECT_EQ(OpenFilter().find("avi"), std::string::npos);
  EXPECT_EQ(ImageFilter().find("pcf"), std::string::npos);
  EXPECT_NE(ImageFilter().find("(CUR) Microsoft Cursor |*.cur|Alle Dateien"), std::string::npos);
}

TEST(FileKinds, AddAllFilesFilterOnCallersFilters) {
  EXPECT_EQ(AddAllFilesFilter("(JPS) Left/Right Eye|*.jps|"),
            "Alle|*.jps;|(JPS) Left/Right Eye|*.jps|Alle Dateien|*.*");
  // Handed over without its closing bar, the last pattern still stands apart.
  EXPECT_EQ(AddAllFilesFilter("(FFL) Filter Factory Library|*.ffl|(AFS) Filter Factory File|*.afs"),
            "Alle|*.ffl;*.afs;|(FFL) Filter Factory Library|*.ffl|(AFS) Filter Factory File|*.afs|"
            "Alle Dateien|*.*");
  EXPECT_EQ(AddAllFilesFilter(""), "Alle||Alle Dateien|*.*");
}

TEST(FileKinds, ImageInfoSetsAndBarLists) {
  const tImageInfoset s{tImageInfo::filedate, tImageInfo::numpixels, tImageInfo::orientation};
  EXPECT_EQ(SetCount(s), 3);
  EXPECT_EQ(SetMemberAt(0, s), tImageInfo::filedate);
  EXPECT_EQ(SetMemberAt(1, s), tImageInfo::numpixels);
  EXPECT_EQ(SetMemberAt(2, s), tImageInfo::orientation);
  EXPECT_THROW(SetMemberAt(3, s), EListError);
  EXPECT_EQ(SetCount(tImageInfoset{}), 0);

  TBarList texts;
  for (int i = 0; i < 11; ++i) texts[size_t(i)] = "t" + std::to_string(i);
  const std::string joined = JoinBarList(texts);
  EXPECT_EQ(joined, "t0|t1|t2|t3|t4|t5|t6|t7|t8|t9|t10|");
  TBarList back;
  SplitBarList(joined, back);
  EXPECT_EQ(back, texts);
  SplitBarList("a||c", back);  // two bars: the first two texts change
  EXPECT_EQ(back[0], "a");
  EXPECT_EQ(back[1], "");
  EXPECT_EQ(back[2], "t2");
  EXPECT_EQ(back[10], "t10");
}

// Anything with Items() and SetItemIndex() serves as the combo.
struct TFakeCombo {
  TStringList List;
  int32_t Index = -1;
  TStrings& Items() { return List; }
  void SetItemIndex(int32_t I) { Index = I; }
};

TEST(FileKinds, CombosAndTexts) {
  TFakeCombo combo;
  combo.List.Add("old");
  FillWritableFormatsCombo(combo);
  EXPECT_EQ(combo.List.Text(), "JPG\nPNG\nBMP\nPCX\nGIF\nTIF\nTGA\n");
  EXPECT_EQ(combo.Index, 0);

  FillSortKeyCombo(combo);
  ASSERT_EQ(combo.List.Count(), 14);
  EXPECT_EQ(combo.List.Get(0), "Keine");
  EXPECT_EQ(combo.List.Get(2), "Zufällig");
  EXPECT_EQ(combo.List.Get(3 + int(tImageInfo::filesize)), "Dateigröße");
  EXPECT_EQ(combo.List.Get(13), "Ausrichtung");
  EXPECT_EQ(ImageInfoText(tImageInfo::resolution), "Auflösung");
}

}  // namespace
}  // namespace kv

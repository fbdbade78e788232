// The program's table of the 19 file kinds it knows (images, catalogs,
// vector, video and sound kinds), the parts the dialogs cut from its texts,
// the kind sets, the dialog filters built from them, and the display texts
// of the image-information fields.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/params/file_kind_types.h"

namespace kv {

// The table text of a kind: description, a bar, the patterns joined by ";",
// as in "(JPG) Jpeg |*.jpg;*.jpeg;*.jpe". Fixed, never translated.
const std::string& FileKindText(tFileFormat Kind);

// "JPG" for jpg: the text between "(" and the first ")".
std::string FileKindShortName(tFileFormat Kind);
// The text before the first "|", its trailing blank kept: "(JPG) Jpeg ".
std::string FileKindDescription(std::string_view TableText);
// "jpg": the text after the first "|*." up to the next ";" or the end.
std::string FileKindExtension(tFileFormat Kind);
// Further extension N (from 0), the text after the (N+1)-th ";*."; "" past the last.
std::string FileKindExtraExtension(tFileFormat Kind, int32_t N);
// The kind one of whose extensions is Ext (with or without its dot, any
// case); false when no kind has it.
bool FileKindOfExtension(std::string_view Ext, tFileFormat& Kind);

// Place of an image kind in a list of image kinds (the number of image kinds
// before it), and back. FileKindAtListIndex raises EListError outside 0..10.
int32_t FileKindListIndex(tFileFormat Kind);
tFileFormat FileKindAtListIndex(int32_t Index);

// Kind sets.
extern const tFileFormatset ImageKinds;     // jpg .. cur
extern const tFileFormatset WritableKinds;  // jpg, png, bmp, pcx, gif, tiff, tga
extern const tFileFormatset CatalogKinds;   // pcf
extern const tFileFormatset SoundKinds;     // wav, mid, wma, mp3
extern const tFileFormatset WaveKinds;      // wav

// Texts of the string table that a language module may replace before the
// first filter is asked for.
struct TFileKindTexts {
  std::string All = "Alle";
  std::string AllFiles = "Alle Dateien";
  std::array<std::string, 3> SortKeys{"Keine", "Datei+Nummer", "Zufällig"};
  std::array<std::string, kImageInfoCount> ImageInfo{
      "Dateiname",    "Verzeichnis", "Dateidatum",    "Dateigröße", "Dateityp",
      "Grafikbreite", "Grafikhöhe", "Pixelanzahl", "Textkommentar", "Auflösung",
      "Ausrichtung"};
};
TFileKindTexts& FileKindTexts();
const std::string& ImageInfoText(tImageInfo Info);

// Prefixes "Alle" with every pattern list of Filter, each followed by ";",
// and appends "Alle Dateien|*.*".
std::string AddAllFilesFilter(std::string_view Filter);

// The dialog filters, built on first use and kept for the process.
const std::string& OpenFilter();     // kinds 0 to 11: images and catalogs
const std::string& ImageFilter();    // image kinds
const std::string& SaveFilter();     // writable kinds
const std::string& CatalogFilter();  // pcf
const std::string& SoundFilter();    // sound kinds
const std::string& WaveFilter();     // wav

// Number of members of an image-information set, and its N-th member (from 0)
// in ordinal order; SetMemberAt raises EListError when N is not below the count.
int32_t SetCount(tImageInfoset Set);
tImageInfo SetMemberAt(int32_t N, tImageInfoset Set);

// The 11 texts, each followed by "|"; and cut back at the bars. Texts after
// the last bar found keep what they held.
using TBarList = std::array<std::string, kImageInfoCount>;
std::string JoinBarList(const TBarList& Texts);
void SplitBarList(std::string_view Text, TBarList& Texts);

// Short names of the writable kinds in ordinal order: JPG PNG BMP PCX GIF TIF TGA.
std::vector<std::string> WritableFormatShortNames();
// "Keine", "Datei+Nummer", "Zufällig", then the 11 image-information texts:
// item k is sort key k.
std::vector<std::string> SortKeyTexts();

// Any combo-like control with Items() (a TStrings) and SetItemIndex.
template <typename TCombo>
void FillWritableFormatsCombo(TCombo& Combo) {
  Combo.Items().Clear();
  for (const std::string& s : WritableFormatShortNames()) Combo.Items().Add(s);
  Combo.SetItemIndex(0);
}

template <typename TCombo>
void FillSortKeyCombo(TCombo& Combo) {
  Combo.Items().Clear();
  for (const std::string& s : SortKeyTexts()) Combo.Items().Add(s);
  Combo.SetItemIndex(0);
}

}  // namespace kv

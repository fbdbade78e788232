#include "imaging/formats/tiff_exif.h"

#include "imaging/formats/io_params.h"
#include "imaging/formats/tiff_tags.h"

namespace kv {

namespace {

using P = TIOParamsFields;

struct TTextField {
  uint16_t Tag;
  std::string P::*Field;
};
struct TIntField {
  uint16_t Tag;
  int32_t P::*Field;
};
struct TRealField {
  uint16_t Tag;
  double P::*Field;
};

const TTextField kTexts[] = {
    {270, &P::ExifImageDescription}, {271, &P::ExifMake}, {272, &P::ExifModel}, {305, &P::ExifSoftware},
    {306, &P::ExifDateTime}, {33432, &P::ExifCopyright}, {36867, &P::ExifDateTimeOriginal},
    {36868, &P::ExifDateTimeDigitized}, {37520, &P::ExifSubsecTime}, {37521, &P::ExifSubsecTimeOriginal},
    {37522, &P::ExifSubsecTimeDigitized}, {40964, &P::ExifRelatedSoundFile},
};
const TIntField kInts[] = {
    {274, &P::ExifOrientation}, {296, &P::ExifResolutionUnit}, {531, &P::ExifYCbCrPositioning},
    {34850, &P::ExifExposureProgram}, {37383, &P::ExifMeteringMode}, {37384, &P::ExifLightSource},
    {37385, &P::ExifFlash}, {40961, &P::ExifColorSpace}, {40962, &P::ExifImageWidth},
    {40963, &P::ExifImageHeight}, {41488, &P::ExifFocalPlaneResolutionUnit}, {41495, &P::ExifSensingMethod},
    {41728, &P::ExifFileSource}, {41729, &P::ExifSceneType},
};
const TRealField kReals[] = {
    {282, &P::ExifXResolution}, {283, &P::ExifYResolution}, {33434, &P::ExifExposureTime},
    {33437, &P::ExifFNumber}, {37122, &P::ExifCompressedBitsPerPixel}, {37377, &P::ExifShutterSpeedValue},
    {37378, &P::ExifApertureValue}, {37379, &P::ExifBrightnessValue}, {37380, &P::ExifExposureBiasValue},
    {37381, &P::ExifMaxApertureValue}, {37382, &P::ExifSubjectDistance}, {37386, &P::ExifFocalLength},
    {41486, &P::ExifFocalPlaneXResolution}, {41487, &P::ExifFocalPlaneYResolution},
    {41493, &P::ExifExposureIndex},
};

// Four-character versions are stored as UNDEFINED bytes.
std::string Version(TTiffFile& F, const TTiffEntry* E) {
  std::vector<uint8_t> raw;
  if (!E || !F.Bytes(*E, raw, 4)) return {};
  return std::string(raw.begin(), raw.end());
}

void ReadDirectory(TTiffFile& F, const std::vector<TTiffEntry>& E, TIOParamsVals& Params) {
  for (const TTextField& t : kTexts)
    if (const TTiffEntry* e = FindTag(E, t.Tag)) Params.*t.Field = F.Ascii(e);
  for (const TIntField& t : kInts)
    if (const TTiffEntry* e = FindTag(E, t.Tag)) Params.*t.Field = int32_t(F.Value(e, 0));
  for (const TRealField& t : kReals)
    if (const TTiffEntry* e = FindTag(E, t.Tag)) Params.*t.Field = F.Rational(e, 0);
  auto reals = [&](uint16_t Tag, double* Out, uint32_t Count) {
    if (const TTiffEntry* e = FindTag(E, Tag))
      for (uint32_t i = 0; i < Count && i < e->Count; ++i) Out[i] = F.Rational(e, 0, i);
  };
  reals(318, Params.ExifWhitePoint, 2);
  reals(319, Params.ExifPrimaryChromaticities, 6);
  reals(529, Params.ExifYCbCrCoefficients, 3);
  reals(532, Params.ExifReferenceBlackWhite, 6);
  if (const TTiffEntry* e = FindTag(E, 34855)) {
    std::vector<uint32_t> v;
    if (F.Values(*e, v, 2))
      for (size_t i = 0; i < v.size(); ++i) Params.ExifIsoSpeedRatings[i] = int32_t(v[i]);
  }
  if (const TTiffEntry* e = FindTag(E, 36864)) Params.ExifVersion = Version(F, e);
  if (const TTiffEntry* e = FindTag(E, 40960)) Params.ExifFlashPixVersion = Version(F, e);
}

}  // namespace

void ReadExifFields(TTiffFile& File, const std::vector<TTiffEntry>& Entries, TIOParamsVals& Params) {
  ReadDirectory(File, Entries, Params);
  if (const TTiffEntry* e = FindTag(Entries, tgExifIfd)) {
    std::vector<TTiffEntry> exif;
    uint32_t next = 0;
    if (File.ReadDirectory(File.Value(e, 0), exif, next)) ReadDirectory(File, exif, Params);
  }
}

}  // namespace kv

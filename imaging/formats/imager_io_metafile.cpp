// Metafile import of the I/O component: the size arithmetic and the record
// are ours; the drawing comes from the installed metafile renderer.
#include <algorithm>
#include <vector>

#include "imaging/formats/codec.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/metafile.h"
#include "platform/rtl/exceptions.h"

namespace kv {

namespace {
constexpr int64_t kMaxMetafileSide = 2800;
// Larger files are no metafiles anyone draws; reading them whole would only cost memory.
constexpr int64_t kMaxMetafileBytes = int64_t(256) << 20;
}  // namespace

void TImagerIO::ImportMetafile(const std::string& FileName, int32_t Width, int32_t Height) {
  FAborted = false;
  FAbortReason.clear();
  if (Width == 0 || Height == 0) return;
  TBitmap* bmp = Bitmap();
  if (!bmp) {
    Fail("Es ist kein Bild zum Laden da");
    return;
  }
  std::vector<uint8_t> data;
  {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    const int64_t size = file.Size();
    if (size <= 0 || size > kMaxMetafileBytes) throw EInvalidGraphic("\"" + FileName + "\" ist keine Metadatei");
    data.resize(size_t(size));
    file.ReadBuffer(data.data(), int32_t(size));
  }
  const int32_t type = DetectMetafileType(data.data(), data.size());
  if (type == 0) throw EInvalidGraphic("\"" + FileName + "\" ist keine Metadatei");
  if (!MetafileRecordsSound(data.data(), data.size(), type)) {
    Fail("Metadatei \"" + FileName + "\" ist beschädigt oder unvollständig");
    return;
  }
  const TIOMetafileLoader loader = IOMetafileLoader();
  if (!loader) {
    // Recognised, but nothing here can draw it: a clean failure, never an empty success.
    Fail(std::string(type == ioEMF ? "EMF" : "WMF") +
         "-Dateien können nicht gezeichnet werden: kein Metadatei-Renderer installiert");
    return;
  }
  std::unique_ptr<TIOMetafile> mf = loader(data, type);
  if (!mf) throw EInvalidGraphic("Das Grafiksystem kann \"" + FileName + "\" nicht laden");

  const int64_t ownW = mf->Width(), ownH = mf->Height();
  int64_t w = Width, h = Height;
  if (w == -1 && h == -1) {
    w = ownW;
    h = ownH;
  } else if (w == -1) {
    w = ownH > 0 ? h * ownW / ownH : 0;
  } else if (h == -1) {
    h = ownW > 0 ? w * ownH / ownW : 0;
  }
  if (w > kMaxMetafileSide || h > kMaxMetafileSide) {
    if (w >= h) {
      h = h * kMaxMetafileSide / w;
      w = kMaxMetafileSide;
    } else {
      w = w * kMaxMetafileSide / h;
      h = kMaxMetafileSide;
    }
  }
  // The picture is one pixel smaller than the size it is drawn at.
  if (w - 1 <= 0 || h - 1 <= 0) {
    Fail("Die Metadatei hat keine Größe");
    return;
  }
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(int32_t(w - 1), int32_t(h - 1));
  TCanvas& c = bmp->Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Background());
  c.FillRect(TRect{0, 0, bmp->Width(), bmp->Height()});
  mf->Draw(*bmp, int32_t(w), int32_t(h));

  TIOParamsVals& p = *FParams;
  p.FileName = FileName;
  p.FileType = type;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 3;
  p.Width = bmp->Width();
  p.Height = bmp->Height();
  p.DpiX = IODefaultDpi();
  p.DpiY = IODefaultDpi();
  p.FreeColorMap();
  if (TIMIOViewLink* view = IOView()) view->SetDpi(p.DpiX, p.DpiY);
  RefreshTarget();
}

}  // namespace kv

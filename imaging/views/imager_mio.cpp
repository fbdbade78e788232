// The multi-frame loader: parameter records that follow the view's entries,
// and the GIF, TIFF and AVI loads.
#include "imaging/views/imager_mio.h"

#include <algorithm>

#include "imaging/formats/gif.h"
#include "imaging/formats/tiff.h"
#include "imaging/model/parallel_rows.h"
#include "imaging/processing/dib.h"
#include "imaging/views/imager_mview.h"
#include "imaging/views/io_previews.h"
#include "platform/media/avi_reader.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

// The window system's colour value of a file's colour.
TColor ColorOfPixel(TBGRPixel P) { return static_cast<TColor>(RGB(P.r, P.g, P.b)); }

// Bits per sample and samples per pixel of a DIB's bit count.
void SetDepthFromBitCount(TIOParamsVals& P, int32_t BitCount) {
  switch (BitCount) {
    case 1: P.BitsPerSample = 1, P.SamplesPerPixel = 1; break;
    case 4: P.BitsPerSample = 4, P.SamplesPerPixel = 1; break;
    case 8: P.BitsPerSample = 8, P.SamplesPerPixel = 1; break;
    case 15: P.BitsPerSample = 5, P.SamplesPerPixel = 3; break;
    case 16:
    case 24:
    case 32: P.BitsPerSample = 8, P.SamplesPerPixel = 3; break;
    default: break;
  }
}

// trunc(1 / (Rate / Scale) x 1000); a stream that states no rate gives 0
// (which the view plays at its shortest step) instead of dividing by zero.
int32_t MsPerFrame(uint32_t Rate, uint32_t Scale) {
  if (Rate == 0 || Scale == 0) return 0;
  return Trunc32(1.0 / (double(Rate) / double(Scale)) * 1000.0);
}

// The rows of a frame the reader gives as a plain 24-bit bottom-up DIB
// (BITMAPINFOHEADER, no compression, no table), which the view's store keeps
// as they are; null for any other layout, which goes through a bitmap.
const uint8_t* PlainDibRows(const std::vector<uint8_t>& Dib, int32_t& Width, int32_t& Height) {
  constexpr size_t kInfo = 40;
  if (Dib.size() < kInfo) return nullptr;
  auto get32 = [&](size_t At) {
    return uint32_t(Dib[At]) | uint32_t(Dib[At + 1]) << 8 | uint32_t(Dib[At + 2]) << 16 | uint32_t(Dib[At + 3]) << 24;
  };
  const auto w = int32_t(get32(4)), h = int32_t(get32(8));
  const uint32_t bitsAndPlanes = get32(12), compression = get32(16), used = get32(32);
  if (get32(0) != kInfo || w <= 0 || h <= 0 || bitsAndPlanes != (24u << 16 | 1u) || compression != 0 || used != 0)
    return nullptr;
  const int64_t rowBytes = BytesPerScanLine(w, 24);
  if (rowBytes > int64_t(Dib.size() - kInfo) / h) return nullptr;
  Width = w;
  Height = h;
  return Dib.data() + kInfo;
}

}  // namespace

// An AVI load between its steps: the open file keeps its decoder, so each
// step goes on where the one before stopped.
struct TImagerMIO::TAviLoad {
  TAviFile Avi;
  std::string FileName;
  int32_t Count = 0;  // frames of the video
  int32_t Ms = 0;     // display time of one frame
  int32_t Next = 0;   // the next frame to read
  int32_t Index = 0;  // the view entry it goes to
};

TImagerMIO::TImagerMIO(TComponent* AOwner)
    : TComponent(AOwner),
      FPreviewFont(std::make_unique<TFont>()),
      FTWainParams(std::make_unique<TIMTWainParams>(this, true)) {}

TImagerMIO::~TImagerMIO() {
  Detach();
  FParams.clear();
}

// ---- the view ----

void TImagerMIO::Detach() {
  StopAVILoad();  // its frames would go to a view this loader no longer serves
  if (FAttachedMView) FAttachedMView->RemoveBitmapChangeEvent(FChangeHandle);
  FChangeHandle = nullptr;
}

void TImagerMIO::SetAttachedMView(TImagerMView* Value) {
  Detach();
  FAttachedMView = Value;
  if (!Value) return;
  Value->FreeNotification(this);
  FChangeHandle = Value->AddBitmapChangeEvent([this](TObject*, bool Destroying) { MViewChanged(Destroying); });
}

void TImagerMIO::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || !AComponent || AComponent != FAttachedMView) return;
  Detach();
  FAttachedMView = nullptr;
}

void TImagerMIO::MViewChanged(bool Destroying) {
  if (Destroying) {
    // The view frees the registration itself.
    FAttachedMView = nullptr;
    FChangeHandle = nullptr;
    return;
  }
  if (!FAttachedMView) return;
  const int32_t kind = FAttachedMView->TakeLastChange();
  if (kind == 1) InsertParams(FAttachedMView->LastChangeIndex());
  else if (kind == 2) DeleteParams(FAttachedMView->LastChangeIndex());
}

TComponent* TImagerMIO::AttachedMViewComponent() const { return FAttachedMView; }

void TImagerMIO::SetAttachedMViewComponent(TComponent* Value) {
  auto* view = dynamic_cast<TImagerMView*>(Value);
  if (Value && !view) throw EPropertyError("Property AttachedMView does not belong to this object");
  SetAttachedMView(view);
}

// ---- parameter records ----

TIOParamsVals* TImagerMIO::ImageParams(int32_t idx) const {
  return idx >= 0 && idx < ParamsCount() ? FParams[size_t(idx)].get() : nullptr;
}

void TImagerMIO::InsertParams(int32_t idx) {
  auto p = std::make_unique<TIOParamsVals>(nullptr);
  const bool append = idx < 0 || idx >= ParamsCount();
  // A new record starts as a copy of its neighbour, so a new frame shares
  // the file's values until its own read replaces them.
  if (!FParams.empty()) p->Assign(*FParams[append ? FParams.size() - 1 : size_t(idx)]);
  if (append) FParams.push_back(std::move(p));
  else FParams.insert(FParams.begin() + idx, std::move(p));
  Renumber();
}

void TImagerMIO::DeleteParams(int32_t idx) {
  if (idx < 0 || idx >= ParamsCount()) return;
  FParams.erase(FParams.begin() + idx);
  Renumber();
}

void TImagerMIO::Renumber() {
  for (size_t i = 0; i < FParams.size(); ++i) {
    FParams[i]->TiffImageIndex = int32_t(i);
    FParams[i]->GifImageIndex = int32_t(i);
  }
}

void TImagerMIO::SetPreviewFont(TFont* Value) {
  if (Value) FPreviewFont->Assign(Value);
}

// ---- loading ----

void TImagerMIO::Progress(int32_t i, int32_t Count) {
  if (OnProgress && Count > 0) OnProgress(this, Trunc32(double(i) * 100.0 / Count));
}

void TImagerMIO::FinishLoad() {
  if (!FAttachedMView) return;
  FAttachedMView->Update();
  FAttachedMView->ImageChange();
}

void TImagerMIO::LoadFile(const std::string& FileName) {
  FAborting = false;
  const std::string ext = LowerCase(ExtractFileExt(FileName));
  if (ext == ".gif") LoadGIFFile(FileName);
  else if (ext == ".tif" || ext == ".tiff") LoadTIFFFile(FileName);
  else if (ext == ".avi") LoadAVIFile(FileName);
}

void TImagerMIO::LoadGIFFile(const std::string& FileName) {
  FAborting = false;
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadGIFStream(f);
}

void TImagerMIO::LoadTIFFFile(const std::string& FileName) {
  FAborting = false;
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadTIFFStream(f);
}

namespace {

// One GIF image or TIFF page after the other into the view: the shared body
// of the two stream loads. Read(i, Bitmap, Params, Progress) reads frame i.
template <typename TRead>
void LoadFrames(TImagerMView& View, TImagerMIO& Loader, bool& Aborting, int32_t Count, bool Gif, TRead Read,
                const std::function<void(int32_t)>& Progress) {
  int32_t index = std::max(View.SelectedImage(), 0);
  int32_t lastDelay = 10;
  for (int32_t i = 0;;) {
    View.InsertImageNoSelect(index);  // the callback inserts the record at index
    TIOParamsVals* p = Loader.ImageParams(index);
    if (!p) {  // only when the view did not tell this loader of the insert
      View.DeleteImage(index);
      Aborting = true;
      break;
    }
    TBitmap bitmap;
    TProgressRec progress;
    progress.Aborted = &Aborting;
    if (Gif) p->GifImageIndex = i;
    else p->TiffImageIndex = i;
    Read(i, bitmap, *p, progress);
    p->GifImageIndex = index;
    p->TiffImageIndex = index;
    p->FileType = Gif ? 2 : 1;
    p->FileName.clear();
    if (Aborting) {
      View.DeleteImage(index);
      break;
    }
    if (Count > 0) {
      View.SetImageNoUpdate(index, &bitmap);
      if (Gif) {
        View.SetImageBackground(index, ColorOfPixel(p->GifBackground));
        if (p->GifDelayTime > 0) lastDelay = p->GifDelayTime * 10;
        View.SetImageDelay(index, lastDelay);
      } else {
        View.SetImageDelay(index, 100);
      }
    } else {
      View.DeleteImage(index);
    }
    Progress(i);
    if (Aborting) break;
    ++i;
    ++index;
    if (i >= Count) break;
  }
}

}  // namespace

void TImagerMIO::LoadGIFStream(TStream& Stream) {
  FAborting = false;
  if (!FAttachedMView) return;
  TGifFrameReader reader(Stream);
  const int32_t count = reader.ImageCount();
  LoadFrames(
      *FAttachedMView, *this, FAborting, count, true,
      [&](int32_t, TBitmap& B, TIOParamsVals& P, TProgressRec& R) { reader.ReadNext(B, P, R, nullptr); },
      [&](int32_t i) { Progress(i, count); });
  FinishLoad();
}

void TImagerMIO::LoadTIFFStream(TStream& Stream) {
  FAborting = false;
  if (!FAttachedMView) return;
  TTiffPageReader reader(Stream);
  const int32_t count = reader.PageCount();
  LoadFrames(
      *FAttachedMView, *this, FAborting, count, false,
      [&](int32_t i, TBitmap& B, TIOParamsVals& P, TProgressRec& R) { reader.ReadPage(i, B, P, R, nullptr); },
      [&](int32_t i) { Progress(i, count); });
  FinishLoad();
}

void TImagerMIO::LoadAVIFile(const std::string& FileName) {
  if (BeginAVILoad(FileName) > 0)
    while (ContinueAVILoad(INT32_MAX)) {
    }
}

int32_t TImagerMIO::BeginAVILoad(const std::string& FileName) {
  StopAVILoad();
  FAborting = false;
  if (!FAttachedMView) return 0;
  auto load = std::make_unique<TAviLoad>();
  // Every frame is wanted in order: they decode and convert ahead of the store's writes.
  load->Avi.SetReadAhead(KernelThreads());
  TAviStreamInfo info;
  if (!load->Avi.Open(FileName) || !load->Avi.GetVideoStream() || !load->Avi.StreamInfo(info) ||
      !load->Avi.GetFrameOpen()) {
    FAborting = true;
    return 0;  // the file object releases what was obtained
  }
  load->FileName = FileName;
  load->Count = int32_t(std::min<uint32_t>(info.Length, INT32_MAX));
  load->Ms = MsPerFrame(info.Rate, info.Scale);
  load->Index = std::max(FAttachedMView->SelectedImage(), 0);
  if (load->Count <= 0) {
    FinishLoad();
    return 0;
  }
  FAviLoad = std::move(load);
  return FAviLoad->Count;
}

bool TImagerMIO::ContinueAVILoad(int32_t MaxFrames) {
  if (!FAviLoad || !FAttachedMView) return false;
  TAviLoad& l = *FAviLoad;
  bool ended = false;
  for (int32_t n = 0; n < MaxFrames && !ended; ++n, ++l.Next, ++l.Index) {
    if (l.Next >= l.Count) {
      ended = true;
      break;
    }
    const std::vector<uint8_t>* dib = l.Avi.GetFrame(l.Next);
    int32_t width = 0, height = 0;
    const uint8_t* rows = dib ? PlainDibRows(*dib, width, height) : nullptr;
    int32_t bits = 24;
    TBitmap bitmap;
    if (!rows) {
      bits = dib ? DIBToBitmap(dib->data(), dib->size(), bitmap) : -1;
      if (bits < 0) {
        FAborting = true;
        ended = true;
        break;
      }
      width = bitmap.Width();
      height = bitmap.Height();
    }
    FAttachedMView->InsertImageNoSelect(l.Index);
    if (!rows || !FAttachedMView->SetImageRowsNoUpdate(l.Index, width, height, bits, rows)) {
      if (rows) DIBToBitmap(dib->data(), dib->size(), bitmap);
      FAttachedMView->SetImageNoUpdate(l.Index, &bitmap);
    }
    // The store grows once for all the frames that follow.
    if (l.Next == 0) FAttachedMView->PrepareImageSpace(l.Count - 1, width, height, bits);
    FAttachedMView->SetImageDelay(l.Index, l.Ms);
    if (TIOParamsVals* p = ImageParams(l.Index)) {
      p->GifDelayTime = l.Ms;
      SetDepthFromBitCount(*p, bits);
      p->TiffImageIndex = l.Index;
      p->GifImageIndex = l.Index;
      p->DpiX = p->DpiY = IODefaultDpi();
      p->Width = width;
      p->Height = height;
      p->FileName = l.FileName;
      p->FileType = 0;
      p->FreeColorMap();
    }
    Progress(l.Next, l.Count);
    if (FAborting) ended = true;
  }
  if (l.Next >= l.Count) ended = true;
  if (ended) FAviLoad.reset();
  FinishLoad();
  return !ended;
}

void TImagerMIO::StopAVILoad() { FAviLoad.reset(); }

// ---- the parameters dialog ----

bool TImagerMIO::ShowPreviewsDialog(int32_t idx, int32_t Pages) {
  if (!FAttachedMView || !FAttachedMView->GetBitmap()) return false;
  TIOParamsVals* params = ImageParams(idx);
  if (!params) return false;  // the dialog edits a record; without one there is nothing to edit
  bool ok = false;
  {
    // Owned by this component while it shows; freed (and so taken off the
    // owner's list) when the block ends, whatever happens inside.
    const std::unique_ptr<TfIOPreviews> form(new TfIOPreviews(this));
    form->SetDefaultLockPreview(FPreviewsParams.Contains(ioppDefaultLockPreview));
    form->SetParams(params);
    form->SetLanguage(FMsgLanguage);
    form->SetFont(*FPreviewFont);
    form->Imager1->Bitmap().Assign(FAttachedMView->GetBitmap());
    form->Imager1->Update();
    if (form->SetupPages(Pages)) ok = form->Execute();
  }
  Renumber();
  FAttachedMView->Update();
  FAttachedMView->ImageChange();
  return ok;
}

const TPropertyTable& TImagerMIO::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TImagerMIO>(TComponent::PropertyTable(), [](auto& p) {
    p.Object("AttachedMView", &TImagerMIO::AttachedMViewComponent, &TImagerMIO::SetAttachedMViewComponent);
    p.Method("OnProgress");
    p.Enum("MsgLanguage", &TImagerMIO::MsgLanguage, &TImagerMIO::SetMsgLanguage,
           {"msSystem", "msEnglish", "msItalian", "msGerman", "msSpanish", "msFrench", "msPortuguese", "msGreek",
            "msRussian", "msDutch", "msSwedish", "msUser"});
    p.Set("PreviewsParams", &TImagerMIO::PreviewsParams, &TImagerMIO::SetPreviewsParams,
          {"ioppDefaultLockPreview", "ioppApplyButton"});
    p.Object("PreviewFont", &TImagerMIO::PreviewFont, &TImagerMIO::SetPreviewFont);
  });
  return table;
}

}  // namespace kv

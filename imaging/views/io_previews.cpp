// The format parameters dialog: pages, working values, the preview and the
// dialog's maker for the I/O component.
#include "imaging/views/io_previews.h"

#include "imaging/formats/file_types.h"
#include "imaging/model/nul_stream.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"

namespace kv {

namespace {
std::string Bytes(int64_t N) { return IntToStr(N) + " bytes"; }
TColor ColorOf(TBGRPixel P) { return static_cast<TColor>(RGB(P.r, P.g, P.b)); }
int32_t IndexOr(const TComboBox* C, int32_t Old) { return C->ItemIndex() >= 0 ? C->ItemIndex() : Old; }
}  // namespace

TfIOPreviews::TfIOPreviews(TComponent* AOwner) : TForm(AOwner) {
  FIO = new TImagerIO(this);
  FIO->SetStreamHeaders(false);
  FIO->OnProgress = [this](TObject* Sender, int32_t Per) { Progress(Sender, Per); };
  FProc = new TImagerProc(this);
  FProc->SetAutoUndo(false);
  BuildControls();
}

TfIOPreviews::~TfIOPreviews() = default;

bool TfIOPreviews::SetupPages(int32_t Pages) {
  FPages = Pages;
  if (Pages & 2) FPages |= FParams ? PageBitOfFileType(FParams->FileType) : 0;
  return !(Pages == 2 && FPages == 2);
}

int32_t TfIOPreviews::ActivePageKind() const {
  for (int32_t i = 0; i < kIOPreviewPageCount; ++i)
    if (PageControl1->ActivePage() == Sheets[static_cast<size_t>(i)]) return i;
  return -1;
}

// ---- activation and page change ----

void TfIOPreviews::FormShow(TObject*) {
  LockButton->SetDown(FDefaultLockPreview);
  PreviewButton->SetEnabled(!LockButton->Down());
  TTabSheet* first = nullptr;
  for (int32_t i = 0; i < kIOPreviewPageCount; ++i) {
    TTabSheet* s = Sheets[static_cast<size_t>(i)];
    s->SetTabVisible((FPages & 1) != 0 || (FPages & PageBit(i)) != 0);
    if (!first && s->TabVisible()) first = s;
  }
  FUpdating = true;
  PageControl1->SetActivePage(first);
  FUpdating = false;
  if (FParams) FValues.Load(*FParams);
  FillPage(ActivePageKind());
  Imager1->Fit();
  Application->ProcessMessages();
  PageChange(PageControl1);
}

void TfIOPreviews::PageChange(TObject*) {
  FUpdating = true;
  if (FParams) FValues.Load(*FParams);
  FillPage(ActivePageKind());
  FUpdating = false;
  ComputePreview(Imager2);
  ApplyButton->SetEnabled(false);
}

void TfIOPreviews::ShowOriginalSize(int32_t Page) {
  if (Page < 0) return;
  const TBitmap& b = Imager1->Bitmap();
  const int64_t bits = b.PixelFormat() == pf1bit ? 1 : 24;
  const int64_t size = (bits * b.Width() + 31) / 32 * 4 * b.Height();
  Sizes[static_cast<size_t>(Page)].Original->SetCaption(Bytes(size));
}

void TfIOPreviews::FillPage(int32_t Page) {
  const bool was = FUpdating;
  FUpdating = true;
  const TIOPreviewValues& v = FValues;
  switch (Page) {
    case ppJPEG:
      Jpeg.Quality->SetText(IntToStr(v.JpegQuality));
      Jpeg.QualityTrack->SetPosition(v.JpegQuality);
      Jpeg.Photometric->SetItemIndex(v.JpegColorSpace);
      Jpeg.DctMethod->SetItemIndex(v.JpegDctMethod);
      Jpeg.OptimalHuffman->SetChecked(v.JpegOptimalHuffman);
      Jpeg.Smoothing->SetText(IntToStr(v.JpegSmoothing));
      Jpeg.Progressive->SetChecked(v.JpegProgressive);
      break;
    case ppTIFF:
      Tiff.Compression->SetItemIndex(v.TiffCompression);
      Tiff.ImageIndex->SetText(IntToStr(v.TiffImageIndex));
      Tiff.Colors->SetItemIndex(v.TiffColors);
      Tiff.Photometric->SetItemIndex(v.TiffPhotometric);
      Tiff.XPos->SetText(IntToStr(v.TiffXPos));
      Tiff.YPos->SetText(IntToStr(v.TiffYPos));
      Tiff.Name->SetText(v.TiffDocumentName);
      Tiff.Description->SetText(v.TiffImageDescription);
      Tiff.PageName->SetText(v.TiffPageName);
      Tiff.PageNumber->SetText(IntToStr(v.TiffPageNumber));
      Tiff.PageCount->SetText(IntToStr(v.TiffPageCount));
      break;
    case ppGIF:
      Gif.ImageIndex->SetText(IntToStr(v.GifImageIndex));
      Gif.Colors->SetItemIndex(v.GifColors);
      Gif.Transparent->SetChecked(v.GifTransparent);
      Gif.TransparentColor->SetEnabled(v.GifTransparent);
      Gif.TransparentColor->SetColor(ColorOf(v.GifTransparentColor));
      Gif.Interlaced->SetChecked(v.GifInterlaced);
      Gif.Background->SetColor(ColorOf(v.GifBackground));
      Gif.XPos->SetText(IntToStr(v.GifXPos));
      Gif.YPos->SetText(IntToStr(v.GifYPos));
      Gif.DelayTime->SetText(IntToStr(v.GifDelayTime));
      break;
    case ppBMP:
      Bmp.Compression->SetItemIndex(v.BmpCompression);
      Bmp.Colors->SetItemIndex(v.BmpColors);
      break;
    case ppPCX:
      Pcx.Compression->SetItemIndex(v.PcxCompressed ? 1 : 0);
      Pcx.Colors->SetItemIndex(v.PcxColors);
      break;
    case ppPNG:
      Png.Colors->SetItemIndex(v.PngColors);
      Png.Background->SetColor(ColorOf(v.PngBackground));
      Png.Filter->SetItemIndex(v.PngFilter);
      Png.Interlaced->SetChecked(v.PngInterlaced);
      Png.Compression->SetItemIndex(v.PngCompression);
      break;
    case ppTGA:
      Tga.Colors->SetItemIndex(v.TgaColors);
      Tga.Background->SetColor(ColorOf(v.TgaBackground));
      Tga.Compressed->SetChecked(v.TgaCompressed);
      Tga.Name->SetText(v.TgaImageName);
      Tga.Description->SetText(v.TgaDescription);
      break;
    default:
      break;
  }
  ShowOriginalSize(Page);
  FUpdating = was;
}

// ---- change handlers ----

void TfIOPreviews::ValuesChanged(bool AffectsFile) {
  if (AffectsFile && LockButton->Down()) {
    ComputePreview(Imager2);
    Imager2->Repaint();
  }
  ApplyButton->SetEnabled(true);
}

void TfIOPreviews::QualityEditChange(TObject* Sender) {
  if (FUpdating) return;
  Jpeg.QualityTrack->SetPosition(StrToIntDef(Jpeg.Quality->Text(), 50));
  JpegChange(Sender);
}

void TfIOPreviews::QualityTrackChange(TObject* Sender) {
  if (FUpdating) return;
  // Writing the edit runs the edit's handler, which reads the new value.
  if (StrToIntDef(Jpeg.Quality->Text(), 50) != Jpeg.QualityTrack->Position())
    Jpeg.Quality->SetText(IntToStr(Jpeg.QualityTrack->Position()));
  else
    JpegChange(Sender);
}

template <class Read>
void TfIOPreviews::EditPage(Read ReadControls) {
  if (FUpdating) return;
  const TIOPreviewValues old = FValues;
  ValuesChanged(ReadControls(FValues, old));
}

void TfIOPreviews::JpegChange(TObject*) {
  EditPage([this](TIOPreviewValues& v, const TIOPreviewValues& old) {
    v.JpegQuality = StrToIntDef(Jpeg.Quality->Text(), 50);
    v.JpegColorSpace = static_cast<uint8_t>(IndexOr(Jpeg.Photometric, old.JpegColorSpace));
    v.JpegDctMethod = static_cast<uint8_t>(IndexOr(Jpeg.DctMethod, old.JpegDctMethod));
    v.JpegOptimalHuffman = Jpeg.OptimalHuffman->Checked();
    v.JpegSmoothing = StrToIntDef(Jpeg.Smoothing->Text(), 0);
    v.JpegProgressive = Jpeg.Progressive->Checked();
    return v.JpegQuality != old.JpegQuality || v.JpegColorSpace != old.JpegColorSpace ||
           v.JpegDctMethod != old.JpegDctMethod || v.JpegOptimalHuffman != old.JpegOptimalHuffman ||
           v.JpegSmoothing != old.JpegSmoothing || v.JpegProgressive != old.JpegProgressive;
  });
}

void TfIOPreviews::TiffChange(TObject* Sender) {
  EditPage([this, Sender](TIOPreviewValues& v, const TIOPreviewValues& old) {
    FUpdating = true;
    if (Sender == Tiff.Photometric)
      Tiff.Colors->SetItemIndex(TiffColorsForPhotometric(IndexOr(Tiff.Photometric, old.TiffPhotometric),
                                                         IndexOr(Tiff.Colors, old.TiffColors)));
    else if (Sender == Tiff.Colors)
      Tiff.Photometric->SetItemIndex(TiffPhotometricForColors(IndexOr(Tiff.Colors, old.TiffColors),
                                                              IndexOr(Tiff.Photometric, old.TiffPhotometric)));
    FUpdating = false;
    v.TiffCompression = static_cast<uint8_t>(IndexOr(Tiff.Compression, old.TiffCompression));
    v.TiffImageIndex = StrToIntDef(Tiff.ImageIndex->Text(), 0);
    v.TiffPhotometric = static_cast<uint8_t>(IndexOr(Tiff.Photometric, old.TiffPhotometric));
    v.TiffColors = IndexOr(Tiff.Colors, old.TiffColors);
    v.TiffXPos = StrToIntDef(Tiff.XPos->Text(), 0);
    v.TiffYPos = StrToIntDef(Tiff.YPos->Text(), 0);
    v.TiffDocumentName = Tiff.Name->Text();
    v.TiffImageDescription = Tiff.Description->Text();
    v.TiffPageName = Tiff.PageName->Text();
    v.TiffPageNumber = StrToIntDef(Tiff.PageNumber->Text(), 0);
    v.TiffPageCount = StrToIntDef(Tiff.PageCount->Text(), 0);
    return v.TiffCompression != old.TiffCompression || v.TiffPhotometric != old.TiffPhotometric ||
           v.TiffColors != old.TiffColors;
  });
}

void TfIOPreviews::GifChange(TObject*) {
  EditPage([this](TIOPreviewValues& v, const TIOPreviewValues& old) {
    v.GifImageIndex = StrToIntDef(Gif.ImageIndex->Text(), 0);
    v.GifColors = IndexOr(Gif.Colors, old.GifColors);
    v.GifTransparent = Gif.Transparent->Checked();
    Gif.TransparentColor->SetEnabled(v.GifTransparent);
    v.GifInterlaced = Gif.Interlaced->Checked();
    v.GifXPos = StrToIntDef(Gif.XPos->Text(), 0);
    v.GifYPos = StrToIntDef(Gif.YPos->Text(), 0);
    v.GifDelayTime = StrToIntDef(Gif.DelayTime->Text(), 0);
    return v.GifColors != old.GifColors || v.GifInterlaced != old.GifInterlaced;
  });
}

void TfIOPreviews::BmpChange(TObject*) {
  EditPage([this](TIOPreviewValues& v, const TIOPreviewValues& old) {
    v.BmpCompression = IndexOr(Bmp.Compression, old.BmpCompression) == 1 ? 1 : 0;
    v.BmpColors = IndexOr(Bmp.Colors, old.BmpColors);
    return v.BmpCompression != old.BmpCompression || v.BmpColors != old.BmpColors;
  });
}

void TfIOPreviews::PcxChange(TObject*) {
  EditPage([this](TIOPreviewValues& v, const TIOPreviewValues& old) {
    v.PcxCompressed = IndexOr(Pcx.Compression, old.PcxCompressed ? 1 : 0) == 1;
    v.PcxColors = IndexOr(Pcx.Colors, old.PcxColors);
    return v.PcxCompressed != old.PcxCompressed || v.PcxColors != old.PcxColors;
  });
}

void TfIOPreviews::PngChange(TObject*) {
  EditPage([this](TIOPreviewValues& v, const TIOPreviewValues& old) {
    v.PngColors = IndexOr(Png.Colors, old.PngColors);
    v.PngFilter = static_cast<uint8_t>(IndexOr(Png.Filter, old.PngFilter));
    v.PngInterlaced = Png.Interlaced->Checked();
    v.PngCompression = IndexOr(Png.Compression, old.PngCompression);
    return v.PngColors != old.PngColors || v.PngFilter != old.PngFilter || v.PngInterlaced != old.PngInterlaced ||
           v.PngCompression != old.PngCompression;
  });
}

void TfIOPreviews::TgaChange(TObject*) {
  EditPage([this](TIOPreviewValues& v, const TIOPreviewValues& old) {
    v.TgaColors = IndexOr(Tga.Colors, old.TgaColors);
    v.TgaCompressed = Tga.Compressed->Checked();
    v.TgaImageName = Tga.Name->Text();
    v.TgaDescription = Tga.Description->Text();
    return v.TgaColors != old.TgaColors || v.TgaCompressed != old.TgaCompressed;
  });
}

// ---- buttons ----

void TfIOPreviews::LockClick(TObject*) {
  if (LockButton->Down()) ComputePreview(Imager2);
  PreviewButton->SetEnabled(!LockButton->Down());
}

void TfIOPreviews::PreviewClick(TObject*) { ComputePreview(Imager2); }

void TfIOPreviews::ApplyClick(TObject*) {
  if (FParams) StoreValues(FValues, ActivePageKind(), *FParams);
  ApplyButton->SetEnabled(false);
}

void TfIOPreviews::OKClick(TObject*) {
  if (FParams) StoreValues(FValues, ActivePageKind(), *FParams);
  SetModalResult(mrOk);
}

// ---- the preview ----

void TfIOPreviews::Progress(TObject*, int32_t Per) {
  ProgressBar1->SetPosition(Per / FProgressDivisor + FProgressBase);
}

void TfIOPreviews::SourceViewChange(TObject*, int32_t) {
  Imager2->LockPaint();
  Imager2->SetZoom(Imager1->Zoom());
  Imager2->SetViewXY(Imager1->ViewX(), Imager1->ViewY());
  Imager2->UnlockPaint();
}

void TfIOPreviews::ComputePreview(TImager* Target) {
  const int32_t page = ActivePageKind();
  if (page < 0 || !Target || Imager1->Bitmap().Empty()) return;
  TSizeLabels& sizes = Sizes[static_cast<size_t>(page)];
  const TIOPreviewValues& v = FValues;
  TIOParamsVals& p = FIO->Params();
  // The file is written as the record would write it (resolution, markers,
  // LZW hooks ...), so that its size is the size of the real file.
  if (FParams) p.Assign(*FParams);
  FIO->AttachBitmap(&Imager1->Bitmap());
  FProgressBase = 0;
  if (page == ppJPEG) {
    FProgressDivisor = 2;
    StoreValues(v, ppJPEG, p);
    TMemoryStream ms;
    FIO->WriteJpegStream(ms);
    const bool written = !FIO->Aborted();
    sizes.Compressed->SetCaption(written ? Bytes(ms.Size()) : std::string("---"));
    if (written) {
      ms.SetPosition(0);
      FIO->AttachBitmap(&Target->Bitmap());
      FProgressBase = 50;
      FIO->ReadJpegStream(ms);
    }
  } else {
    FProgressDivisor = 1;
    TSampleBits sb{p.SamplesPerPixel, p.BitsPerSample};
    switch (page) {
      case ppTIFF:
        p.TiffCompression = v.TiffCompression;
        p.TiffPhotometric = v.TiffPhotometric;
        sb = TiffSampleBits(v.TiffColors, v.TiffPhotometric);
        break;
      case ppGIF:
        sb = {1, v.GifColors + 1};
        p.GifInterlaced = v.GifInterlaced;
        break;
      case ppBMP:
        p.BmpCompression = v.BmpCompression;
        sb = BmpSampleBits(v.BmpColors);
        break;
      case ppPCX:
        p.PcxCompressed = v.PcxCompressed;
        sb = PcxSampleBits(v.PcxColors);
        break;
      case ppPNG:
        sb = SmallSampleBits(v.PngColors);
        p.PngInterlaced = v.PngInterlaced;
        p.PngFilter = v.PngFilter;
        p.PngCompression = v.PngCompression;
        break;
      case ppTGA:
        sb = SmallSampleBits(v.TgaColors);
        p.TgaCompressed = v.TgaCompressed;
        break;
      default:
        break;
    }
    p.SamplesPerPixel = sb.Samples;
    p.BitsPerSample = sb.Bits;
    TNulStream counter;
    static constexpr int32_t kTypes[kIOPreviewPageCount] = {ioJPEG, ioTIFF, ioGIF, ioBMP, ioPCX, ioPNG, ioTGA};
    FIO->SaveToStreamByType(counter, kTypes[page]);
    sizes.Compressed->SetCaption(FIO->Aborted() ? std::string("---") : Bytes(counter.Size()));
    Target->Bitmap().Assign(FIO->Bitmap());
    ReduceColors(Target, page);
  }
  FIO->AttachBitmap(nullptr);
  Target->Update();
  ProgressBar1->SetPosition(0);
  if (Target == Imager2) SourceViewChange(Imager1, 1);
}

// ---- the maker for the I/O component ----

namespace {
class TIOPreviewsShowing : public TIOPreviewsDialog {
 public:
  TIOPreviewsShowing(TImagerIO& IO, TIOParamsVals& Params, std::unique_ptr<TBitmap> Source)
      : FForm(new TfIOPreviews(nullptr)) {
    FForm->SetDefaultLockPreview(IO.PreviewsParams().Contains(ioppDefaultLockPreview));
    FForm->SetParams(&Params);
    FForm->SetLanguage(IO.MsgLanguage());
    if (IO.PreviewFont()) FForm->SetFont(*IO.PreviewFont());
    if (Source) FForm->Imager1->Bitmap().Assign(Source.get());
    FForm->Imager1->Update();
  }
  bool SetupPages(int32_t Pages) override { return FForm->SetupPages(Pages); }
  TForm* Form() override { return FForm.get(); }
  bool Execute() override { return FForm->Execute(); }

 private:
  std::unique_ptr<TfIOPreviews> FForm;
};
}  // namespace

void InstallIOPreviewsDialog() {
  SetIOPreviewsDialogMaker([](TImagerIO& IO, TIOParamsVals& Params, std::unique_ptr<TBitmap> Source) {
    return std::unique_ptr<TIOPreviewsDialog>(std::make_unique<TIOPreviewsShowing>(IO, Params, std::move(Source)));
  });
}

}  // namespace kv

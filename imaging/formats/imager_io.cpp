// The I/O component: attachment, properties, the dialog and the helpers that
// every read and write shares. Reads are in imager_io_read.cpp, writes in
// imager_io_write.cpp, the metafile import in imager_io_metafile.cpp.
#include "imaging/formats/imager_io.h"

#include "imaging/formats/file_types.h"
#include "imaging/formats/io_formats.h"
#include "platform/rtl/exceptions.h"

namespace kv {

namespace {
template <typename I> TComponent* ComponentOf(I* Value, const char* Prop) {
  auto* c = dynamic_cast<TComponent*>(Value);
  if (!c) throw EPropertyError(std::string("Property ") + Prop + " needs a component");
  return c;
}

TIOPreviewsDialogMaker& DialogMaker() {
  static TIOPreviewsDialogMaker maker;
  return maker;
}
}  // namespace

void SetIOPreviewsDialogMaker(TIOPreviewsDialogMaker Maker) { DialogMaker() = std::move(Maker); }
const TIOPreviewsDialogMaker& IOPreviewsDialogMaker() { return DialogMaker(); }

TImagerIO::TImagerIO(TComponent* AOwner) : TComponent(AOwner), FPreviewFont(std::make_unique<TFont>()) {
  FParams = std::make_unique<TIOParamsVals>(this);
  FTWainParams = std::make_unique<TIMTWainParams>(this);
}

TImagerIO::~TImagerIO() {
  DetachImager();
  FAviHandles.reset();
}

// ---- attaching ----

void TImagerIO::DetachImager() {
  if (FAttachedImager) FAttachedImager->RemoveBitmapChangeEvent(FChangeHandle);
  FChangeHandle = nullptr;
}

TBitmap* TImagerIO::Bitmap() const {
  // A TImage's picture may replace its bitmap object: take the one it holds now.
  if (FAttachedTImage) return dynamic_cast<TBitmap*>(FAttachedTImage->Picture().Graphic());
  return FBitmap;
}

void TImagerIO::SetAttachedImager(TIMViewLink* Value) {
  TComponent* component = Value ? ComponentOf(Value, "AttachedImager") : nullptr;
  DetachImager();
  FAttachedImager = Value;
  if (!Value) return;
  FBitmap = Value->GetBitmap();
  FBitmapOwner = component;
  component->FreeNotification(this);
  FAttachedTImage = nullptr;
  // The view keeps transparency itself from now on.
  FOwnMask.reset();
  FChangeHandle = Value->AddBitmapChangeEvent([this](TObject* Sender, bool Destroying) {
    BitmapChange(Sender, Destroying);
  });
}

void TImagerIO::SetAttachedTImage(TPictureHolder* Value) {
  if (!Value) {
    if (FAttachedTImage) FBitmap = Bitmap();
    FAttachedTImage = nullptr;
    return;
  }
  TComponent* component = ComponentOf(Value, "AttachedTImage");
  DetachImager();
  FAttachedTImage = Value;
  FBitmap = &Value->Picture().Bitmap();
  FBitmapOwner = component;
  component->FreeNotification(this);
  FAttachedImager = nullptr;
}

void TImagerIO::AttachBitmap(TBitmap* Value) {
  if (!Value && (FAttachedImager || FAttachedTImage)) return;
  DetachImager();
  FBitmap = Value;
  FBitmapOwner = nullptr;
  FAttachedImager = nullptr;
  FAttachedTImage = nullptr;
  FOwnMask.reset();
}

void TImagerIO::BitmapChange(TObject* /*Sender*/, bool Destroying) {
  if (Destroying) {
    // The view frees the record itself; its bitmap goes with it.
    FAttachedImager = nullptr;
    FChangeHandle = nullptr;
    FBitmap = nullptr;
    FBitmapOwner = nullptr;
    return;
  }
  if (FAttachedImager) FBitmap = FAttachedImager->GetBitmap();
}

void TImagerIO::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || !AComponent || AComponent != FBitmapOwner) return;
  // Recognised by the component: by now it is no longer a view.
  if (FAttachedImager) DetachImager();
  FAttachedImager = nullptr;
  FAttachedTImage = nullptr;
  FBitmap = nullptr;
  FBitmapOwner = nullptr;
}

TIMIOViewLink* TImagerIO::IOView() const { return dynamic_cast<TIMIOViewLink*>(FAttachedImager); }

TIMMask* TImagerIO::ViewAlpha() const {
  return FAttachedImager && FAttachedImager->HasAlphaChannel() ? FAttachedImager->GetAlphaChannel() : nullptr;
}

bool TImagerIO::ParamsViewDpi(int32_t& DpiX, int32_t& DpiY) {
  TIMIOViewLink* view = IOView();
  if (!view) return false;
  DpiX = view->DpiX();
  DpiY = view->DpiY();
  return true;
}

// ---- properties ----

TColor TImagerIO::Background() const { return FAttachedImager ? FAttachedImager->Background() : FOwnBackground; }

void TImagerIO::SetBackground(TColor Value) {
  if (FAttachedImager) FAttachedImager->SetBackground(Value);
  else FOwnBackground = Value;
}

void TImagerIO::SetPreviewFont(TFont* Value) { FPreviewFont->Assign(Value); }

void TImagerIO::SetAttachedImagerComponent(TComponent* Value) {
  auto* view = dynamic_cast<TIMViewLink*>(Value);
  if (Value && !view) throw EPropertyError("Property AttachedImager does not belong to this object");
  SetAttachedImager(view);
}

void TImagerIO::SetAttachedTImageComponent(TComponent* Value) {
  auto* image = dynamic_cast<TPictureHolder*>(Value);
  if (Value && !image) throw EPropertyError("Property AttachedTImage does not belong to this object");
  SetAttachedTImage(image);
}

const TPropertyTable& TImagerIO::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TImagerIO>(TComponent::PropertyTable(), [](auto& p) {
    p.Object("AttachedImager", &TImagerIO::AttachedImagerComponent, &TImagerIO::SetAttachedImagerComponent);
    p.Object("AttachedTImage", &TImagerIO::AttachedTImageComponent, &TImagerIO::SetAttachedTImageComponent);
    p.Enum("MsgLanguage", &TImagerIO::MsgLanguage, &TImagerIO::SetMsgLanguage,
           {"msSystem", "msEnglish", "msItalian", "msGerman", "msSpanish", "msFrench", "msPortuguese", "msGreek",
            "msRussian", "msDutch", "msSwedish", "msUser"});
    p.Bool("StreamHeaders", &TImagerIO::StreamHeaders, &TImagerIO::SetStreamHeaders);
    p.Object("PreviewFont", &TImagerIO::PreviewFont, &TImagerIO::SetPreviewFont);
    p.Method("OnIOPreview");
    p.Enum("DialogsMeasureUnit", &TImagerIO::DialogsMeasureUnit, &TImagerIO::SetDialogsMeasureUnit,
           {"imduInches", "imduCm", "imduSelectableDefInches", "imduSelectableDefCm"});
    p.Bool("AutoAdjustDPI", &TImagerIO::AutoAdjustDPI, &TImagerIO::SetAutoAdjustDPI);
    p.Method("OnProgress");
    p.Integer("Background", &TImagerIO::Background, &TImagerIO::SetBackground);
    p.Set("PreviewsParams", &TImagerIO::PreviewsParams, &TImagerIO::SetPreviewsParams,
          {"ioppDefaultLockPreview", "ioppApplyButton"});
  });
  return table;
}

// ---- shared steps ----

void TImagerIO::Fail(std::string Reason) {
  FAborted = true;
  FAbortReason = std::move(Reason);
}

void TImagerIO::ClearMetadata() {
  FParams->IptcList.Clear();
  FParams->JpegMarkers.Clear();
  FParams->ClearExif();
}

void TImagerIO::FailUnknownType(std::string Reason) {
  ClearMetadata();
  FParams->FileName.clear();
  FParams->FileType = 0;
  Fail(std::move(Reason));
}

TProgressRec TImagerIO::MakeProgress(bool WithHandler) {
  TProgressRec p;
  if (WithHandler) p.OnProgress = OnProgress;
  p.Sender = this;
  p.Aborted = &FAborted;
  return p;
}

void TImagerIO::RefreshTarget() {
  if (FAttachedImager) FAttachedImager->PictureEdited();
  else if (TBitmap* bmp = Bitmap()) bmp->SetModified(true);  // an attached TImage repaints on OnChange
}

// ---- the rest of the interface ----

int32_t TImagerIO::GetTiffPageCount(const std::string& FileName) {
  const TIOFormat* tiff = FindIOFormat(ioTIFF);
  return tiff && tiff->CountImages ? tiff->CountImages(FileName) : 0;
}

int32_t TImagerIO::GetGifImageCount(const std::string& FileName) {
  const TIOFormat* gif = FindIOFormat(ioGIF);
  return gif && gif->CountImages ? gif->CountImages(FileName) : 0;
}

bool TImagerIO::ShowPreviewsDialog(int32_t Pages) {
  TBitmap* bmp = Bitmap();
  const TIOPreviewsDialogMaker& maker = IOPreviewsDialogMaker();
  if (!bmp || !maker) return false;
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(bmp);
  std::unique_ptr<TIOPreviewsDialog> dialog = maker(*this, *FParams, std::move(copy));
  if (!dialog || !dialog->SetupPages(Pages)) return false;
  if (OnIOPreview) OnIOPreview(this, dialog->Form());
  return dialog->Execute();
}

void TImagerIO::AssignParams(const TObject* Source) {
  if (const auto* io = dynamic_cast<const TImagerIO*>(Source)) {
    if (io != this) FParams->Assign(io->Params());
  } else if (const auto* rec = dynamic_cast<const TIOParamsVals*>(Source)) {
    if (rec != FParams.get()) FParams->Assign(*rec);
  }
}

void TImagerIO::FillBackground() {
  TBitmap* bmp = Bitmap();
  if (!bmp || bmp->Empty()) return;
  TCanvas& c = bmp->Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Background());
  c.FillRect(TRect{0, 0, bmp->Width(), bmp->Height()});
  RefreshTarget();
}

}  // namespace kv

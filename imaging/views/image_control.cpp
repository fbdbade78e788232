// The image control: construction, the properties it forwards to its
// companions, Assign and its published properties. The I/O forwards are in
// image_control_io.cpp.
#include "imaging/views/image_control.h"

#include "imaging/views/io_previews.h"

namespace kv {

TImager::TImager(TComponent* AOwner) : TImagerView(AOwner) {
  // Both companions exist from here on, attached and carrying OnProgress.
  IO();
  Proc();
  // The parameters dialog is the library's own unless the program put another in place.
  if (!IOPreviewsDialogMaker()) InstallIOPreviewsDialog();
}

// The view's destructor frees the companions.
TImager::~TImager() = default;

void TImager::SetMsgLanguage(TMsgLanguage Value) {
  ProcRef().SetMsgLanguage(Value);
  IORef().SetMsgLanguage(Value);
}

void TImager::SetPreviewFont(TFont* Value) {
  // Each companion copies the font; the control keeps none of its own.
  IORef().SetPreviewFont(Value);
  ProcRef().SetPreviewFont(Value);
}

void TImager::SetUndoStorage(uint8_t Kind) {
  // A kind the snapshots do not know would leave them with no storage at all.
  if (Kind > skBitmap) return;
  ProcRef().SetUndoStorage(static_cast<TIMStorageKind>(Kind));
}

void TImager::Assign(const TPersistent* Source) {
  if (auto* imager = dynamic_cast<const TImager*>(Source)) IORef().AssignParams(&imager->IORef().Params());
  else if (auto* io = dynamic_cast<const TImagerIO*>(Source)) IORef().AssignParams(io);
  TImagerView::Assign(Source);
}

const TPropertyTable& TImager::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TImager>(TImagerView::PropertyTable(), [](auto& p) {
    p.Bool("AutoUndo", &TImager::AutoUndo, &TImager::SetAutoUndo);
    p.Enum("MsgLanguage", &TImager::MsgLanguage, &TImager::SetMsgLanguage,
           {"msSystem", "msEnglish", "msItalian", "msGerman", "msSpanish", "msFrench", "msPortuguese", "msGreek",
            "msRussian", "msDutch", "msSwedish", "msUser"});
    p.Set("ProcPreviewsParams", &TImager::ProcPreviewsParams, &TImager::SetProcPreviewsParams,
          {"prppDefaultLockPreview"});
    p.Set("IOPreviewsParams", &TImager::IOPreviewsParams, &TImager::SetIOPreviewsParams,
          {"ioppDefaultLockPreview", "ioppApplyButton"});
    p.Object("PreviewFont", &TImager::PreviewFont, &TImager::SetPreviewFont);
    p.Bool("StreamHeaders", &TImager::StreamHeaders, &TImager::SetStreamHeaders);
    p.Method("OnPreview").Method("OnIOPreview");
    p.Enum("DialogsMeasureUnit", &TImager::DialogsMeasureUnit, &TImager::SetDialogsMeasureUnit,
           {"imduInches", "imduCm", "imduSelectableDefInches", "imduSelectableDefCm"});
  });
  return table;
}

}  // namespace kv

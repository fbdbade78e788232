#include "imaging/processing/imager_proc.h"

#include <algorithm>

#include "imaging/processing/bitmap_utils.h"
#include "imaging/model/mask.h"
#include "imaging/processing/skew.h"
#include "platform/rtl/exceptions.h"

namespace kv {

namespace {
// The attachments are components (views, image controls) seen through interfaces.
template <typename I> TComponent* ComponentOf(I* Value, const char* Prop) {
  auto* c = dynamic_cast<TComponent*>(Value);
  if (!c) throw EPropertyError(std::string("Property ") + Prop + " needs a component");
  return c;
}
}  // namespace

TImagerProc::TImagerProc(TComponent* AOwner) : TComponent(AOwner), FPreviewFont(std::make_unique<TFont>()) {}

TImagerProc::~TImagerProc() {
  if (FAttachedImager) FAttachedImager->RemoveBitmapChangeEvent(FChangeHandle);
  FChangeHandle = nullptr;
  ClearAllUndo();
  ClearAllRedo();
}

// ---- attaching ----

void TImagerProc::DetachImager() {
  if (FAttachedImager) FAttachedImager->RemoveBitmapChangeEvent(FChangeHandle);
  FChangeHandle = nullptr;
}

TBitmap* TImagerProc::Bitmap() const {
  // A TImage's picture may replace its bitmap object (a load, an assignment):
  // take the one it holds now.
  if (FAttachedTImage) return dynamic_cast<TBitmap*>(FAttachedTImage->Picture().Graphic());
  return FBitmap;
}

void TImagerProc::SetAttachedImager(TIMViewLink* Value) {
  TComponent* component = Value ? ComponentOf(Value, "AttachedImager") : nullptr;
  DetachImager();
  FAttachedImager = Value;
  // Unregistered, the component would not hear of the former view dropping
  // its alpha channel: a mask kept from it could be read after it is freed.
  FAlphaMask = nullptr;
  if (!Value) return;
  FBitmap = Value->GetBitmap();
  FBitmapOwner = component;
  component->FreeNotification(this);
  FAttachedTImage = nullptr;
  FChangeHandle = Value->AddBitmapChangeEvent([this](TObject* Sender, bool Destroying) {
    BitmapChange(Sender, Destroying);
  });
  FAlphaMask = Value->HasAlphaChannel() ? Value->GetAlphaChannel() : nullptr;
}

void TImagerProc::SetAttachedTImage(TPictureHolder* Value) {
  // nullptr only forgets the image (keeping the bitmap it held): an attached
  // view stays attached and registered.
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
  FAlphaMask = nullptr;
}

void TImagerProc::SetAttachedBitmap(TBitmap* Value) {
  // Handing over nullptr while a view or a TImage is attached keeps the attachment.
  if (!Value) {
    if (!FAttachedImager && !FAttachedTImage) FBitmap = nullptr;
    return;
  }
  DetachImager();
  FBitmap = Value;
  FBitmapOwner = nullptr;
  FAttachedImager = nullptr;
  FAttachedTImage = nullptr;
  FAlphaMask = nullptr;
}

void TImagerProc::BitmapChange(TObject* /*Sender*/, bool Destroying) {
  if (Destroying) {
    // The view frees the record itself; its bitmap goes with it.
    FAttachedImager = nullptr;
    FChangeHandle = nullptr;
    FAlphaMask = nullptr;
    FBitmap = nullptr;
    FBitmapOwner = nullptr;
    return;
  }
  if (!FAttachedImager) return;
  FBitmap = FAttachedImager->GetBitmap();
  FAlphaMask = FAttachedImager->HasAlphaChannel() ? FAttachedImager->GetAlphaChannel() : nullptr;
}

void TImagerProc::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || !AComponent) return;
  // Attachments are recognised by their component: by now it is no longer a view.
  const bool attachedOne = FBitmapOwner && AComponent == FBitmapOwner;
  if (FAttachedImager && attachedOne) {
    DetachImager();
    FAttachedImager = nullptr;
    FAlphaMask = nullptr;
  }
  if (FAttachedTImage && attachedOne) FAttachedTImage = nullptr;
  // A view or image detached earlier may still own the bitmap kept since.
  if (FBitmapOwner && AComponent == FBitmapOwner) {
    FBitmap = nullptr;
    FBitmapOwner = nullptr;
  }
}

// ---- properties ----

TColor TImagerProc::Background() const { return FAttachedImager ? FAttachedImager->Background() : FOwnBackground; }

void TImagerProc::SetBackground(TColor Value) {
  if (FAttachedImager) FAttachedImager->SetBackground(Value);
  else FOwnBackground = Value;
}

void TImagerProc::SetAttachedImagerComponent(TComponent* Value) {
  auto* view = dynamic_cast<TIMViewLink*>(Value);
  if (Value && !view) throw EPropertyError("Property AttachedImager does not belong to this object");
  SetAttachedImager(view);
}

void TImagerProc::SetAttachedTImageComponent(TComponent* Value) {
  auto* image = dynamic_cast<TPictureHolder*>(Value);
  if (Value && !image) throw EPropertyError("Property AttachedTImage does not belong to this object");
  SetAttachedTImage(image);
}

void TImagerProc::SetPreviewFont(TFont* Value) { FPreviewFont->Assign(Value); }

const TPropertyTable& TImagerProc::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TImagerProc>(TComponent::PropertyTable(), [](auto& p) {
    p.Object("AttachedImager", &TImagerProc::AttachedImagerComponent, &TImagerProc::SetAttachedImagerComponent);
    p.Bool("AutoUndo", &TImagerProc::AutoUndo, &TImagerProc::SetAutoUndo);
    p.Integer("Background", &TImagerProc::Background, &TImagerProc::SetBackground);
    p.Method("OnProgress");
    p.Enum("MsgLanguage", &TImagerProc::MsgLanguage, &TImagerProc::SetMsgLanguage,
           {"msSystem", "msEnglish", "msItalian", "msGerman", "msSpanish", "msFrench", "msPortuguese", "msGreek",
            "msRussian", "msDutch", "msSwedish", "msUser"});
    p.Set("PreviewsParams", &TImagerProc::PreviewsParams, &TImagerProc::SetPreviewsParams,
          {"prppDefaultLockPreview"});
    p.Object("PreviewFont", &TImagerProc::PreviewFont, &TImagerProc::SetPreviewFont);
    p.Object("AttachedTImage", &TImagerProc::AttachedTImageComponent, &TImagerProc::SetAttachedTImageComponent);
    p.Method("OnPreview");
    p.Integer("UndoLimit", &TImagerProc::UndoLimit, &TImagerProc::SetUndoLimit);
  });
  return table;
}

// ---- undo and redo ----

void TImagerProc::SaveSnapshot(TSnapshotList& List, TStringList& Captions) {
  TBitmap* bmp = Bitmap();
  if (!bmp || bmp->Width() <= 0 || bmp->Height() <= 0) return;
  PushSnapshot(List, Captions, *bmp, false, GetAlphaMask());
}

void TImagerProc::PushSnapshot(TSnapshotList& List, TStringList& Captions, TBitmap& Picture, bool Take,
                               const TIMMask* Alpha) {
  // A limit below 1 would empty the list and still add: keep one snapshot.
  const size_t limit = static_cast<size_t>(std::max(FUndoLimit, 1));
  // The copy first: a copy that fails (a full disk under the temporary
  // file) raises and leaves the list as it was, the oldest step included.
  auto snap = std::make_unique<TIMBitmap>();
  snap->SetStorageKind(FUndoStorage);
  if (Take) snap->TakeFromTBitmap(Picture);
  else snap->CopyFromTBitmap(Picture);
  // After the pixels: allocating them frees any companion plane.
  if (Alpha) snap->CompanionPlane()->CopyFromTIMMask(*Alpha);
  while (List.size() >= limit) {
    List.erase(List.begin());
    Captions.Delete(0);
  }
  List.push_back(std::move(snap));
  Captions.Add("");
}

void TImagerProc::SaveUndo() { SaveSnapshot(FUndoList, FUndoCaptions); }

void TImagerProc::SaveRedo() { SaveSnapshot(FRedoList, FRedoCaptions); }

void TImagerProc::SaveUndoReplaced(TBitmap& Old, const TIMMask* Alpha, const std::string& Caption) {
  if (Old.Width() <= 0 || Old.Height() <= 0) {
    SaveUndoCaptioned(Caption);
    return;
  }
  PushSnapshot(FUndoList, FUndoCaptions, Old, true, Alpha);
  FUndoCaptions.Put(FUndoCaptions.Count() - 1, Caption);
}

void TImagerProc::SaveUndoCaptioned(const std::string& Caption) {
  const TBitmap* bmp = Bitmap();
  if (!bmp || bmp->Width() <= 0 || bmp->Height() <= 0) return;
  SaveUndo();
  if (!FUndoList.empty()) FUndoCaptions.Put(FUndoCaptions.Count() - 1, Caption);
}

void TImagerProc::RestoreSnapshot(TSnapshotList& List, int32_t N) {
  TBitmap* bmp = Bitmap();
  if (!bmp || N < 0 || static_cast<size_t>(N) >= List.size()) return;
  TIMBitmap& snap = *List[List.size() - 1 - static_cast<size_t>(N)];
  // The picture comes back in the pixel format and palette it had.
  snap.RestoreToTBitmap(*bmp);
  if (snap.HasCompanion() && FAttachedImager) {
    TIMMask* alpha = FAttachedImager->GetAlphaChannel();
    if (alpha) {
      snap.CompanionPlane()->CopyToTIMMask(*alpha);
      FAlphaMask = alpha;
    }
  }
  RefreshTarget();
}

void TImagerProc::UndoAt(int32_t N) { RestoreSnapshot(FUndoList, N); }

void TImagerProc::Undo() { UndoAt(0); }

void TImagerProc::Redo() { RestoreSnapshot(FRedoList, 0); }

void TImagerProc::ClearLast(TSnapshotList& List, TStringList& Captions) {
  if (List.empty()) return;
  List.pop_back();
  Captions.Delete(Captions.Count() - 1);
}

void TImagerProc::ClearLastUndo() { ClearLast(FUndoList, FUndoCaptions); }

void TImagerProc::ClearLastRedo() { ClearLast(FRedoList, FRedoCaptions); }

void TImagerProc::ClearAll(TSnapshotList& List, TStringList& Captions) {
  // Oldest first.
  for (auto& snap : List) snap.reset();
  List.clear();
  Captions.Clear();
}

void TImagerProc::ClearAllUndo() { ClearAll(FUndoList, FUndoCaptions); }

void TImagerProc::ClearAllRedo() { ClearAll(FRedoList, FRedoCaptions); }

// ---- shared members ----

TIMMask* TImagerProc::GetAlphaMask() const {
  if (FAttachedImager) return FAttachedImager->HasAlphaChannel() ? FAttachedImager->GetAlphaChannel() : nullptr;
  return FAlphaMask;
}

bool TImagerProc::GetSelectionInfo(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2, TIMMask*& Mask,
                                   int32_t& PolyCount, const TPoint*& PolyPoints) const {
  X1 = 0;
  Y1 = 0;
  const TBitmap* bmp = Bitmap();
  X2 = bmp ? bmp->Width() : 0;
  Y2 = bmp ? bmp->Height() : 0;
  Mask = nullptr;
  PolyCount = 0;
  PolyPoints = nullptr;
  auto* view = dynamic_cast<TIMSelectionSource*>(FAttachedImager);
  if (!view) return false;
  Mask = view->SelectionMask();
  if (!view->SelectionExists()) return false;
  if (Mask && !Mask->IsEmpty()) {
    X1 = Mask->X1;
    Y1 = Mask->Y1;
    X2 = Mask->X2 + 1;
    Y2 = Mask->Y2 + 1;
    PolyPoints = view->GetPolySelPoints();
    PolyCount = view->GetPolySelCount();
  }
  return true;
}

TIMMask* TImagerProc::WorkMask() {
  if (FAttachedImager) {
    auto* view = dynamic_cast<TIMSelectionSource*>(FAttachedImager);
    return view && view->SelectionExists() ? view->SelectionMask() : nullptr;
  }
  if (!FOwnMask) FOwnMask = std::make_unique<TIMMask>();
  return FOwnMask.get();
}

void TImagerProc::RefreshTarget() {
  if (FAttachedImager) {
    FAttachedImager->PictureEdited();
  } else if (TBitmap* bmp = Bitmap()) {
    // An attached TImage repaints through the bitmap's OnChange.
    bmp->SetModified(true);
  }
}

void TImagerProc::RunOnSelection(const std::function<void(TBitmap&, int32_t, int32_t, int32_t, int32_t)>& Kernel) {
  int32_t x1, y1, x2, y2, count;
  TIMMask* mask;
  const TPoint* points = nullptr;
  GetSelectionInfo(x1, y1, x2, y2, mask, count, points);
  TBitmap& bmp = *Bitmap();
  if (!mask || mask->IsEmpty()) {
    Kernel(bmp, x1, y1, x2, y2);
  } else {
    TBitmap box;
    if (CopyBitmapRect(bmp, box, mask->X1, mask->Y1, mask->X2 + 1, mask->Y2 + 1)) {
      Kernel(box, 0, 0, box.Width(), box.Height());
      mask->CopyThroughMask(bmp, box, true, false);
    }
  }
  RefreshTarget();
}

bool TImagerProc::Is24Bit() const {
  const TBitmap* bmp = Bitmap();
  return bmp && bmp->PixelFormat() == pf24bit;
}

double EstimateSkewAngle(TImagerProc& Proc, int32_t TargetWidth, int32_t MaxAngle, double Precision) {
  return EstimateSkewAngleOfBitmap(Proc.Bitmap(), TargetWidth, MaxAngle, Precision, &Proc, Proc.OnProgress);
}

}  // namespace kv

// The clipboard methods of the processing component. Pictures travel as
// packed DIBs through the clipboard the user interface layer installs; a
// clipboard picture that does not decode changes nothing and leaves no snapshot.
#include "imaging/processing/imager_proc.h"

#include "imaging/model/mask.h"
#include "imaging/processing/dib.h"
#include "platform/system/clipboard_service.h"

namespace kv {

namespace {

bool Is24Or1(const TBitmap* B) {
  return B && !B->Empty() && (B->PixelFormat() == pf24bit || B->PixelFormat() == pf1bit);
}

// Replaces the clipboard's content with one DIB.
void PutDib(const TDib& Dib) {
  TClipboardService* c = ClipboardService();
  if (!c || Dib.empty()) return;
  c->Open();
  c->Clear();
  c->SetBuffer(CF_DIB, Dib.data(), Dib.size());
  c->Close();
}

// The clipboard's DIB decoded; false when there is none or it is refused.
bool TakeDib(TBitmap& Out) {
  TClipboardService* c = ClipboardService();
  if (!c) return false;
  c->Open();
  bool ok = false;
  if (c->HasFormat(CF_DIB)) {
    const std::vector<uint8_t> dib = c->GetBuffer(CF_DIB);
    ok = !dib.empty() && DIBToBitmap(dib.data(), dib.size(), Out) >= 0;
  }
  c->Close();
  return ok;
}

}  // namespace

void TImagerProc::CopyToClipboard() {
  if (!Is24Or1(Bitmap())) return;
  PutDib(BitmapRectToDIB(*Bitmap(), 0, 0, 0, 0));
}

void TImagerProc::SelCopyToClip() {
  if (!Is24Or1(Bitmap())) return;
  int32_t x1, y1, x2, y2, count;
  TIMMask* mask = nullptr;
  const TPoint* points = nullptr;
  if (!GetSelectionInfo(x1, y1, x2, y2, mask, count, points)) {
    CopyToClipboard();
    return;
  }
  if (!mask || mask->IsEmpty()) PutDib(BitmapRectToDIB(*Bitmap(), x1, y1, x2, y2));
  else PutDib(SelectionToDIB(*Bitmap(), *mask));
}

void TImagerProc::SelCutToClip() {
  if (!Is24Or1(Bitmap())) return;
  int32_t x1, y1, x2, y2, count;
  TIMMask* mask = nullptr;
  const TPoint* points = nullptr;
  if (!GetSelectionInfo(x1, y1, x2, y2, mask, count, points)) return;
  if (FAutoUndo) SaveUndoCaptioned("SelCutToClip");
  SelCopyToClip();
  if (!mask || mask->IsEmpty()) {
    TCanvas& c = Bitmap()->Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Background());
    c.FillRect(Rect(x1, y1, x2, y2));
  } else {
    FillThroughMask(*Bitmap(), *mask, Background());
  }
  RefreshTarget();
}

void TImagerProc::PasteFromClipboard() {
  if (!Bitmap()) return;
  TBitmap pasted;
  if (!TakeDib(pasted)) return;
  if (FAutoUndo) SaveUndoCaptioned("PastFromClipboard");
  Bitmap()->TakeOver(pasted);
  RefreshTarget();
}

void TImagerProc::SelPasteFromClipStretch() {
  if (!Bitmap()) return;
  int32_t x1, y1, x2, y2, count;
  TIMMask* mask = nullptr;
  const TPoint* points = nullptr;
  if (!GetSelectionInfo(x1, y1, x2, y2, mask, count, points)) {
    PasteFromClipboard();
    return;
  }
  TBitmap pasted;
  if (!TakeDib(pasted)) return;
  if (FAutoUndo) SaveUndoCaptioned("SelPasteFromClipStretch");
  Bitmap()->Canvas().StretchDraw(Rect(x1, y1, x2, y2), pasted);
  RefreshTarget();
}

}  // namespace kv

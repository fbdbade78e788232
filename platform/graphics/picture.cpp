#include "platform/graphics/picture.h"

#include <algorithm>
#include <cctype>

#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"

namespace kv {

TPicture::TPicture() = default;

TPicture::~TPicture() {
  if (FGraphic) FGraphic->OnChange = nullptr;
}

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

// Changes of the graphic, and drawing on a bitmap's canvas, are changes of the picture.
void TPicture::Watch() {
  if (!FGraphic) return;
  FGraphic->OnChange = [this](TObject*) { Changed(); };
}

TBitmap& TPicture::Bitmap() {
  if (!dynamic_cast<TBitmap*>(FGraphic.get())) {
    FGraphic = std::make_unique<TBitmap>();
    Watch();
    Changed();
  }
  return static_cast<TBitmap&>(*FGraphic);
}

void TPicture::SetGraphic(const TGraphic* Value) {
  if (Value == FGraphic.get() && Value) return;
  std::unique_ptr<TGraphic> copy;
  if (Value) {
    const auto* b = dynamic_cast<const TBitmap*>(Value);
    if (!b) throw EInvalidGraphic("Cannot copy a " + Value->ClassName() + " into a picture");
    auto nb = std::make_unique<TBitmap>();
    nb->Assign(b);
    copy = std::move(nb);
  }
  TakeGraphic(std::move(copy));
}

void TPicture::TakeGraphic(std::unique_ptr<TGraphic> Value) {
  FGraphic = std::move(Value);
  Watch();
  Changed();
}

void TPicture::Assign(const TPersistent* Source) {
  if (!Source) {
    TakeGraphic(nullptr);
    return;
  }
  if (const auto* p = dynamic_cast<const TPicture*>(Source)) {
    if (p != this) SetGraphic(p->Graphic());
    return;
  }
  if (const auto* g = dynamic_cast<const TGraphic*>(Source)) {
    SetGraphic(g);
    return;
  }
  TPersistent::Assign(Source);
}

void TPicture::LoadFromFile(const std::string& FileName) {
  const size_t dot = FileName.find_last_of('.');
  const size_t slash = FileName.find_last_of('/');
  std::string ext = (dot == std::string::npos || (slash != std::string::npos && dot < slash)) ? "" : FileName.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext != ".bmp" && ext != ".dib") throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
  auto b = std::make_unique<TBitmap>();
  b->LoadFromFile(FileName);
  TakeGraphic(std::move(b));
}

void TPicture::SaveToFile(const std::string& FileName) {
  if (FGraphic) FGraphic->SaveToFile(FileName);
}

}  // namespace kv

#include "platform/graphics/picture.h"

#include <algorithm>
#include <cctype>

#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"

namespace kv {

namespace {

struct TGraphicClass {
  std::string Extension;  // lower case; empty for a clipboard entry
  std::string Description;
  uint32_t ClipFormat = 0;
  std::string ClassName;
  TPicture::TGraphicFactory Factory;
};

std::vector<TGraphicClass>& Registry() {
  static std::vector<TGraphicClass> list;
  return list;
}

std::string Lower(std::string S) {
  std::transform(S.begin(), S.end(), S.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return S;
}

const TGraphicClass* FindClass(const std::string& ClassName) {
  for (const TGraphicClass& c : Registry())
    if (c.ClassName == ClassName) return &c;
  return nullptr;
}

}  // namespace

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                  TGraphicFactory Factory) {
  TGraphicClass c;
  c.Extension = Lower(Extension);
  c.Description = Description;
  c.ClassName = Factory()->ClassName();
  c.Factory = std::move(Factory);
  Registry().push_back(std::move(c));
}

void TPicture::RegisterClipboardFormat(uint32_t Format, TGraphicFactory Factory) {
  TGraphicClass c;
  c.ClipFormat = Format;
  c.ClassName = Factory()->ClassName();
  c.Factory = std::move(Factory);
  Registry().push_back(std::move(c));
}

void TPicture::UnregisterGraphicClass(const std::string& ClassName) {
  auto& r = Registry();
  r.erase(std::remove_if(r.begin(), r.end(), [&](const TGraphicClass& c) { return c.ClassName == ClassName; }), r.end());
}

std::string TPicture::FileFormatDescription(const std::string& Extension) {
  const std::string ext = Lower(Extension);
  for (const TGraphicClass& c : Registry())
    if (!c.Extension.empty() && c.Extension == ext) return c.Description;
  return std::string();
}

std::unique_ptr<TGraphic> TPicture::GraphicForClipboardFormat(uint32_t Format) {
  for (const TGraphicClass& c : Registry())
    if (c.Extension.empty() && c.ClipFormat == Format) return c.Factory();
  return nullptr;
}

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
    if (const auto* b = dynamic_cast<const TBitmap*>(Value)) {
      auto nb = std::make_unique<TBitmap>();
      nb->Assign(b);
      copy = std::move(nb);
    } else if (const TGraphicClass* c = FindClass(Value->ClassName())) {
      copy = c->Factory();
      copy->Assign(Value);
    } else {
      throw EInvalidGraphic("Cannot copy a " + Value->ClassName() + " into a picture");
    }
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
  if (ext != ".bmp" && ext != ".dib") {
    for (const TGraphicClass& c : Registry())
      if (!c.Extension.empty() && "." + c.Extension == ext) {
        std::unique_ptr<TGraphic> g = c.Factory();
        g->LoadFromFile(FileName);
        TakeGraphic(std::move(g));
        return;
      }
    throw EInvalidGraphic("Unbekannte Bilddateierweiterung (" + ext + ")");
  }
  auto b = std::make_unique<TBitmap>();
  b->LoadFromFile(FileName);
  TakeGraphic(std::move(b));
}

void TPicture::SaveToFile(const std::string& FileName) {
  if (FGraphic) FGraphic->SaveToFile(FileName);
}

}  // namespace kv

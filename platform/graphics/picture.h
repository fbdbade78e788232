// TPicture: a holder for one graphic (today a bitmap) that tells its owner
// when the graphic changed.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/component.h"

namespace kv {

class TPicture : public TPersistent {
 public:
  TPicture();
  ~TPicture() override;

  // The bitmap; asking for it when the picture holds no bitmap replaces the
  // graphic with an empty bitmap.
  TBitmap& Bitmap();
  void SetBitmap(const TBitmap* Value) { SetGraphic(Value); }
  TGraphic* Graphic() const { return FGraphic.get(); }
  // Holds a copy of Value (nullptr empties the picture). Raises
  // EInvalidGraphic for a graphic class it cannot copy.
  void SetGraphic(const TGraphic* Value);
  // Takes the graphic over.
  void TakeGraphic(std::unique_ptr<TGraphic> Value);
  int32_t Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int32_t Height() const { return FGraphic ? FGraphic->Height() : 0; }

  // From a TPicture, a graphic, or nullptr (empties the picture).
  void Assign(const TPersistent* Source) override;
  // By extension: ".bmp" and ".dib" read into a bitmap; anything else raises
  // EInvalidGraphic "Unknown picture file extension (.ext)". A failed read
  // leaves the picture as it was.
  void LoadFromFile(const std::string& FileName);
  // Writes the graphic in its own format; an empty picture writes nothing.
  void SaveToFile(const std::string& FileName);

  // Raised after the graphic was replaced or changed, also after pixels were
  // written and the graphic's Modified was set.
  TNotifyEvent OnChange;

  // Graphic classes beyond the bitmap. A registered file extension (without
  // the dot, any case) loads through its class; a registered class is copied
  // by SetGraphic; a registered clipboard format names the class that reads it.
  using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;
  static void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                 TGraphicFactory Factory);
  static void RegisterClipboardFormat(uint32_t Format, TGraphicFactory Factory);
  // Forgets every extension and clipboard format of the class.
  static void UnregisterGraphicClass(const std::string& ClassName);
  // The description of a registered extension, empty when unknown.
  static std::string FileFormatDescription(const std::string& Extension);
  // A new empty graphic for a clipboard format, or nullptr.
  static std::unique_ptr<TGraphic> GraphicForClipboardFormat(uint32_t Format);

 protected:
  void Changed();

 private:
  void Watch();
  std::unique_ptr<TGraphic> FGraphic;
};

// A component showing a picture of its own (the image control implements it),
// so that layers above the graphics can work on its picture without knowing the controls.
class TPictureHolder {
 public:
  virtual ~TPictureHolder() = default;
  virtual TPicture& Picture() = 0;
};

}  // namespace kv

// TPicture: a holder for one graphic (today a bitmap) that tells its owner
// when the graphic changed.
#pragma once
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

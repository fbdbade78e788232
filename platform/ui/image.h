// TImage: a graphic control that shows a picture.
#pragma once
#include "platform/graphics/picture.h"
#include "platform/ui/controls.h"

namespace kv {

// Paints the parent's colour, then the picture: at the top-left, centred,
// stretched to the client area, or (Proportional) shrunk to fit keeping its
// aspect. Repaints whenever the picture or its graphic changes.
class TImage : public TGraphicControl, public TPictureHolder {
 public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;

  TPicture& Picture() override { return FPicture; }
  void SetPicture(const TPicture* Value) { FPicture.Assign(Value); }
  bool Stretch() const { return FStretch; }
  void SetStretch(bool Value);
  bool Center() const { return FCenter; }
  void SetCenter(bool Value);
  bool Proportional() const { return FProportional; }
  void SetProportional(bool Value);
  // Draws the bitmap without its transparent colour.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  // Takes the picture's size whenever the picture changes.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  // Where the picture lands in the client area.
  TRect DestRect() const;

  const TPropertyTable& PropertyTable() const override;

 protected:
  void Paint() override;

 private:
  void PictureChanged();
  TPicture FPicture;
  bool FStretch = false;
  bool FCenter = false;
  bool FProportional = false;
  bool FTransparent = false;
  bool FAutoSize = false;
};

}  // namespace kv

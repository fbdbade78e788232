// TImageList: pictures of one size kept side by side, each with a mask that
// says which of its pixels are see-through, drawn onto canvases.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/component.h"

namespace kv {

class TCustomImageList;

// Told whenever the images of a list change (added, replaced, deleted, resized).
class TChangeLink : public TObject {
 public:
  ~TChangeLink() override;
  TCustomImageList* Sender() const { return FSender; }
  void SetSender(TCustomImageList* Value) { FSender = Value; }
  void Change();
  TNotifyEvent OnChange;

 private:
  TCustomImageList* FSender = nullptr;
};

class TCustomImageList : public TComponent {
 public:
  explicit TCustomImageList(TComponent* AOwner);
  TCustomImageList(TComponent* AOwner, int32_t AWidth, int32_t AHeight);
  ~TCustomImageList() override;

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  // A new size empties the list.
  void SetWidth(int32_t Value) { SetSize(Value, FHeight); }
  void SetHeight(int32_t Value) { SetSize(FWidth, Value); }
  void SetSize(int32_t AWidth, int32_t AHeight);
  int32_t Count() const { return static_cast<int32_t>(FImages.size()); }

  // Image is cut into as many images of the list's width as it holds (at
  // least one). Mask: a monochrome picture of the same size, white where the
  // image is see-through (nullptr: opaque). Returns the index of the first.
  int32_t Add(const TBitmap& Image, const TBitmap* Mask);
  // The pixels of MaskColor become see-through.
  int32_t AddMasked(const TBitmap& Image, TColor MaskColor);
  void Replace(int32_t Index, const TBitmap& Image, const TBitmap* Mask);
  void ReplaceMasked(int32_t Index, const TBitmap& Image, TColor MaskColor);
  void Delete(int32_t Index);
  void Clear();

  // Draws the image with its see-through pixels left out; nothing for a bad index.
  void Draw(TCanvas& Canvas, int32_t X, int32_t Y, int32_t Index) const;
  // The image on a background of BackColor, and its mask (white see-through).
  bool GetBitmap(int32_t Index, TBitmap& Image, TColor BackColor = clBlack) const;
  bool GetMask(int32_t Index, TBitmap& Mask) const;
  // Whether pixel (X, Y) of image Index is see-through (true outside).
  bool IsTransparent(int32_t Index, int32_t X, int32_t Y) const;

  void RegisterChanges(TChangeLink* Value);
  void UnRegisterChanges(TChangeLink* Value);
  TNotifyEvent OnChange;

  const TPropertyTable& PropertyTable() const override;

 protected:
  virtual void Change();

 private:
  struct TEntry {
    std::vector<uint32_t> Pixels;  // 0x00RRGGBB, row by row
    std::vector<uint8_t> Clear;    // 1 where see-through
  };
  TEntry Cut(const TBitmap& Image, int32_t Left, const std::function<bool(int32_t, int32_t)>& SeeThrough) const;
  int32_t AddCells(const TBitmap& Image, const std::function<bool(int32_t, int32_t)>& SeeThrough);

  int32_t FWidth = 16;
  int32_t FHeight = 16;
  std::vector<TEntry> FImages;
  std::vector<TChangeLink*> FLinks;
};

class TImageList : public TCustomImageList {
 public:
  using TCustomImageList::TCustomImageList;
};

}  // namespace kv

// What the processing component needs of a view, declared here so that it
// works on views without depending on them: the image views implement these.
#pragma once
#include <cstdint>
#include <functional>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"
#include "platform/rtl/object.h"
#include "platform/rtl/types.h"

namespace kv {

class TIMMask;

// Sender is the view; Destroying is true when the view is going away (the
// registrant then only drops its reference: the view frees the record).
using TIMBitmapChangeEvent = std::function<void(TObject* Sender, bool Destroying)>;

// One registration. Its address is the handle the registrant keeps and hands
// back to RemoveBitmapChangeEvent.
struct TIMBitmapChangeRecord {
  TIMBitmapChangeEvent Event;
  // Set when the record left the list while callbacks were being called; it
  // is then skipped and freed once the calls are over.
  bool Removed = false;
};

// A view as the processing component attaches to it. The implementer is a
// component, so that its end reaches the attached component as a notification.
class TIMViewLink {
 public:
  virtual ~TIMViewLink() = default;
  // The bitmap now displayed: the object attached components read and write.
  virtual TBitmap* GetBitmap() = 0;
  // The 8-bit alpha mask of the displayed image, created on first request.
  virtual TIMMask* GetAlphaChannel() = 0;
  // True when an alpha mask exists (none is created).
  virtual bool HasAlphaChannel() const = 0;
  virtual TColor Background() const = 0;
  virtual void SetBackground(TColor Value) = 0;
  // The picture was edited in place: repaint and raise the image-change hook.
  virtual void PictureEdited() = 0;
  // Registers a callback and returns its handle.
  virtual TIMBitmapChangeRecord* AddBitmapChangeEvent(TIMBitmapChangeEvent Event) = 0;
  // Frees the registration; a handle that is not registered (null, already removed) is ignored.
  virtual void RemoveBitmapChangeEvent(TIMBitmapChangeRecord* Handle) = 0;
};

// What the processing component reads of a view that keeps a selection: the
// single-image view implements it beside TIMView.
class TIMSelectionSource {
 public:
  virtual ~TIMSelectionSource() = default;
  // The view's 1-bit selection mask, even when nothing is selected.
  virtual TIMMask* SelectionMask() = 0;
  // True while the view has a selection.
  virtual bool SelectionExists() const = 0;
  // The outline's points (polygons separated by a point whose x is kPolygonSeparator) and their count.
  virtual const TPoint* GetPolySelPoints() const = 0;
  virtual int32_t GetPolySelCount() const = 0;
};

}  // namespace kv

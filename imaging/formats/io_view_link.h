// What the I/O component needs of a view beyond what the processing
// component does (TIMViewLink), and the format parameters dialog as the
// component shows it. Both are declared here so that the formats stay below
// the views: the single-image view implements TIMIOViewLink beside TIMView,
// and the views layer installs the dialog's maker at start.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "imaging/processing/view_link.h"

namespace kv {

class TBitmap;
class TForm;
class TImagerIO;
class TIMMask;
class TIOParamsVals;

class TIMIOViewLink {
 public:
  virtual ~TIMIOViewLink() = default;
  virtual int32_t DpiX() const = 0;
  virtual int32_t DpiY() const = 0;
  virtual void SetDpi(int32_t X, int32_t Y) = 0;
  // A load replaces the picture: the selection of the old one goes.
  virtual void DeSelect() = 0;
  // The transparency a reader found becomes the view's alpha mask.
  virtual void SetAlphaChannel(std::unique_ptr<TIMMask> Mask) = 0;
  virtual void RemoveAlphaChannel() = 0;
};

// One showing of the format parameters dialog, made for a component, the
// record it edits and a copy of the picture.
class TIOPreviewsDialog {
 public:
  virtual ~TIOPreviewsDialog() = default;
  // Chooses the pages (1 all, 2 the page of the record's file type, 4 JPEG,
  // 8 TIFF, 16 GIF, 32 BMP, 64 PCX, 128 PNG, 256 TGA); false when there is
  // nothing to show.
  virtual bool SetupPages(int32_t Pages) = 0;
  // The form, handed to OnIOPreview before it is shown.
  virtual TForm* Form() = 0;
  // Shows the dialog modally; true when it closed with OK.
  virtual bool Execute() = 0;
};

// Makes the dialog: its lock-preview default, language and font come from
// the component; Params is the record it edits in place.
using TIOPreviewsDialogMaker = std::function<std::unique_ptr<TIOPreviewsDialog>(
    TImagerIO& IO, TIOParamsVals& Params, std::unique_ptr<TBitmap> Source)>;

// Empty until the views layer installs one; ShowPreviewsDialog is false without it.
void SetIOPreviewsDialogMaker(TIOPreviewsDialogMaker Maker);
const TIOPreviewsDialogMaker& IOPreviewsDialogMaker();

}  // namespace kv

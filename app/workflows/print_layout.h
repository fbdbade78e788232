// Page layout of the "Print" command: one picture, a page of copies, a
// poster over several pages, or the thumbnails of a catalog, with the
// information text and cut lines. The same routine prints and draws the
// print dialog's preview at a reduced scale.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/layer/imager_layer.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/string_list.h"

namespace kv {

class TBitmap;
class TCanvas;
class TPrinter;

// A layout that cannot be made: a picture or page without size, a poster of too many pages.
KV_DECLARE_EXCEPTION(EPrintLayout, Exception)

// More pages than this make no poster anyone prints (and no preview that draws).
constexpr int32_t kMaxPosterPages = 1000;

// The printer a layout is made for, in its pixels.
struct TPrintDevice {
  int32_t Dpi = 300;  // horizontal resolution, used for both axes
  int32_t OffsetX = 0, OffsetY = 0;  // printable area on the paper
  double ScreenPpi = 96;  // the fallback resolution of pictures without one
  double UserUnit = 1;    // user units per inch ("Userunit")
  // Set while drawing on this printer's canvas: pages after the first start new printer pages.
  TPrinter* Printer = nullptr;
  std::function<void(int32_t Percent)> Progress;
};
// The device values of a printer (its resolution and offsets; Printer set).
TPrintDevice PrintDeviceOf(TPrinter& Printer);

// What is printed: a picture with its information texts, or catalog entries.
struct TPrintSource {
  const TBitmap* Picture = nullptr;
  int32_t PictureDpi = 0;  // from the file's parameters; below 1: none
  TImageInfoTexts Info;
  // Mode 3: the files of the catalog, their thumbnails and texts from the thumbnail cache.
  const TStrings* CatalogFiles = nullptr;
};
TPrintSource PrintSourceOf(timagerlayer& Control);

// Left, top, width and height of the picture in printer pixels (unscaled).
struct TPrintGeometry {
  double Left = 0, Top = 0, Width = 0, Height = 0;
};

// Lays out (and with Draw, draws on Canvas at Scale) the page or pages of
// the parameter text. PageWidth and PageHeight are the printable area in
// printer pixels. Raises EPrintLayout for a layout that cannot be made.
TPrintGeometry PrintWithLayout(const TPrintSource& Source, TCanvas* Canvas, int32_t PageWidth, int32_t PageHeight,
                               double Scale, bool Draw, std::string_view Params, const TPrintDevice& Device);

// Pages of a poster (columns x rows) for the geometry of a layout; 1 x 1 for other modes.
void PosterPages(const TPrintGeometry& G, int32_t PageWidth, int32_t PageHeight, int32_t& Columns, int32_t& Rows);

}  // namespace kv

// The catalog frame: an ordered list of image files laid out as a grid of
// cells in one of three arrangements, sorted by the shared sort text, with a
// rectangular selection of cells. A double click opens the file of a cell.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/layer/imager_layer.h"
#include "app/params/file_kind_types.h"
#include "components/controls/kv_draw_grid.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/types.h"
#include "platform/ui/frames.h"

namespace kv {

// The lines of an information block: the chosen texts in six groups (name,
// date, size and type, picture size, each comment line, resolution and
// orientation), leaving out lines that are blank.
std::vector<std::string> InfoBlockLines(const TImageInfoTexts& Info, tImageInfoset Set);
// The lines a block of Set reserves: one per group with a chosen text.
int32_t InfoBlockLineCount(tImageInfoset Set);

enum TCatalogArrangement : uint8_t { carCells = 0, carOverview = 1, carDetailed = 2 };

class Tcatalogframe : public TFrame {
 public:
  explicit Tcatalogframe(TComponent* AOwner);

  // Full paths in display order.
  TStringList& Files() { return FFiles; }
  const TStringList& Files() const { return FFiles; }
  tImageInfoset InfoSet() const { return FInfoSet; }
  void SetInfoSet(tImageInfoset Value);
  int32_t GridMargin() const { return FGridMargin; }
  TCatalogArrangement Arrangement() const { return FArrangement; }
  bool Horizontal() const { return FHorizontal; }
  // Lays out and repaints only on a change.
  void SetArrangement(TCatalogArrangement Value, bool Horizontal);
  const std::string& FontText() const { return FFontText; }
  // The grid the frame lays out (column and row 0 are the fixed ones); its
  // selection, in cells, is what the file operations work on.
  TKvDrawGrid& DrawGrid1() { return *FGrid; }
  const TKvDrawGrid& DrawGrid1() const { return *FGrid; }

  // Makes SortText the shared current sort, sorts the list by it and lays out again.
  void Resort(TObject* Sender, const std::string& SortText);
  // Lays out again and repaints.
  void Repaint() override;
  // The list index a cell shows, -1 for none.
  int32_t CellFileIndex(int32_t Col, int32_t Row) const;
  // The cell under a point of the grid (scrolling included); false outside every cell.
  bool CellAt(int32_t X, int32_t Y, int32_t& Col, int32_t& Row) const;
  // Sorted paths, without duplicates, of every cell of the selection.
  void SelectedFiles(TStrings& Out) const;
  // Those paths, each followed by its sound (".wav") and text (".txt")
  // comment when they exist, joined with NUL characters plus a final NUL.
  std::string SelectedFilesWithComments() const;
  // Thumbnail cell size: the thumbnail cache's image size once it exists.
  TSize ThumbnailSize() const;
  // Height of the information block for the chosen lines.
  int32_t InfoHeight() const;
  // Line height of the information text: its font height times 1.1.
  int32_t InfoLineHeight() const;

 protected:
  void Resize() override;

 private:
  void Layout();
  void DrawGrid1DrawCell(int32_t Col, int32_t Row, const TRect& R);
  void DrawGrid1DblClick();
  // Caption of a fixed cell of the detailed arrangement, else "".
  std::string CaptionText(int32_t Col, int32_t Row) const;
  void DrawFileCell(TCanvas& C, int32_t Col, int32_t Row, const TRect& R, int32_t Index);
  void DrawThumbnail(TCanvas& C, int32_t X, int32_t Y, const std::string& FileName);
  void DrawInfo(TCanvas& C, const TRect& Clip, int32_t X, int32_t Y, const std::string& FileName, tImageInfoset Set);

  TStringList FFiles;
  tImageInfoset FInfoSet;
  int32_t FGridMargin = 15;
  TCatalogArrangement FArrangement = carCells;
  bool FHorizontal = true;
  std::string FFontText = " FontHeight=-10 FontColor=255";
  TKvDrawGrid* FGrid = nullptr;
  TBitmap FThumb;
};

}  // namespace kv

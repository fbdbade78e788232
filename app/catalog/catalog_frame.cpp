#include "app/catalog/catalog_frame.h"

#include <algorithm>
#include <cstdlib>

#include "app/catalog/catalog_sort.h"
#include "app/catalog/thumbnail_cache.h"
#include "app/layer/layer_helpers.h"
#include "app/main/main_form.h"
#include "app/params/file_kinds.h"
#include "app/params/param_strings.h"
#include "app/workflows/info_text.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/color.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

// The characters of a UTF-8 text, each with all its bytes.
std::vector<std::string> Utf8Chars(const std::string& Text) {
  std::vector<std::string> out;
  for (size_t i = 0; i < Text.size();) {
    size_t n = 1;
    while (i + n < Text.size() && (uint8_t(Text[i + n]) & 0xC0) == 0x80) ++n;
    out.push_back(Text.substr(i, n));
    i += n;
  }
  return out;
}

}  // namespace

std::vector<std::string> InfoBlockLines(const TImageInfoTexts& Info, tImageInfoset Set) {
  using I = tImageInfo;
  auto pick = [&](I Item) { return Set.Contains(Item) ? Info[Item] : std::string(); };
  std::vector<std::string> lines;
  auto add = [&](const std::string& Line) {
    if (!Trim(Line).empty()) lines.push_back(Line);
  };
  add(pick(I::filepath) + pick(I::filename));
  add(pick(I::filedate));
  add((Set.Contains(I::filesize) ? Info[I::filesize] + "   " : "") + pick(I::filetype));
  add((Set.Contains(I::imagewidth) ? Info[I::imagewidth] + " x " : "") + pick(I::imageheight) +
      (Set.Contains(I::numpixels) ? " = " + Info[I::numpixels] + " Pixel" : ""));
  if (Set.Contains(I::textcomment)) {
    TStringList comment;
    EscapedTextToList(Info[I::textcomment], comment);
    // A comment read without its line markers is still one line.
    if (comment.Count() == 0) comment.Add(Info[I::textcomment]);
    for (int32_t i = 0; i < comment.Count(); ++i) add(comment.Strings(i));
  }
  add((Set.Contains(I::resolution) ? Info[I::resolution] + " dpi   " : "") + pick(I::orientation));
  return lines;
}

int32_t InfoBlockLineCount(tImageInfoset Set) {
  using I = tImageInfo;
  auto any = [&](std::initializer_list<I> Items) {
    return int32_t(std::any_of(Items.begin(), Items.end(), [&](I Item) { return Set.Contains(Item); }));
  };
  return any({I::filepath, I::filename}) + any({I::filedate}) + any({I::filesize, I::filetype}) +
         any({I::imagewidth, I::imageheight, I::numpixels}) + any({I::textcomment}) +
         any({I::resolution, I::orientation});
}

Tcatalogframe::Tcatalogframe(TComponent* AOwner) : TFrame(AOwner) {
  FGrid = new TKvDrawGrid(this);
  FGrid->SetName("DrawGrid1");
  FGrid->SetParent(this);
  FGrid->SetAlign(alClient);
  FGrid->SetBorderStyle(bsNone);
  FGrid->SetGridLineWidth(0);
  FGrid->SetDefaultDrawing(false);
  FGrid->SetOptions(TGridOptions{goRangeSelect, goDrawFocusSelected});
  FGrid->SetColCount(2);
  FGrid->SetRowCount(2);
  FGrid->OnDrawCell = [this](TObject*, int32_t Col, int32_t Row, const TRect& R, TGridDrawState) {
    DrawGrid1DrawCell(Col, Row, R);
  };
  FGrid->OnDblClick = [this](TObject*) { DrawGrid1DblClick(); };
  std::string info = "Info=265";
  if (form1) {
    info = form1->StoredString("CatalogInfo");
    FGridMargin = std::max(0, form1->StoredInt("CatalogGridsize"));
  }
  FInfoSet = ReadParamImageInfoset(info, "Info");
  Layout();
}

void Tcatalogframe::SetInfoSet(tImageInfoset Value) {
  if (Value == FInfoSet) return;
  FInfoSet = Value;
  Repaint();
}

void Tcatalogframe::SetArrangement(TCatalogArrangement Value, bool Horizontal) {
  if (Value > carDetailed) Value = carCells;
  if (Value == FArrangement && Horizontal == FHorizontal) return;
  FArrangement = Value;
  FHorizontal = Horizontal;
  Layout();
  FGrid->SetLeftCol(1);
  FGrid->SetTopRow(1);
  Repaint();
}

void Tcatalogframe::Resort(TObject*, const std::string& SortText) {
  SetCurrentCatalogSort(SortText);
  SortCatalogList(FFiles, ReadCatalogSort(SortText));
  Repaint();
}

void Tcatalogframe::Repaint() {
  Layout();
  TFrame::Repaint();
  FGrid->Invalidate();
}

void Tcatalogframe::Resize() {
  Layout();
  FGrid->Invalidate();
  TFrame::Resize();
}

TSize Tcatalogframe::ThumbnailSize() const { return TSize{tcache().Width(), tcache().Height()}; }

int32_t Tcatalogframe::InfoLineHeight() const {
  return Round32(std::abs(ReadParamInt(FFontText, "FontHeight", 8)) * 1.1);
}

int32_t Tcatalogframe::InfoHeight() const { return InfoBlockLineCount(FInfoSet) * InfoLineHeight(); }

void Tcatalogframe::Layout() {
  const TSize thumb = ThumbnailSize();
  const int32_t m = FGridMargin;
  const int32_t files = FFiles.Count();
  const int32_t lines = SetCount(FInfoSet);
  const int32_t cellW = thumb.cx + 2 * m;
  const int32_t cellH = thumb.cy + 2 * m;
  int32_t cols = 2, rows = 2, fixedW = 0, fixedH = 0, rowH = cellH;
  switch (FArrangement) {
    case carCells:
      rowH = InfoHeight() + cellH;
      if (FHorizontal) {
        rows = std::max(2, ClientHeight() / rowH + 1);
        cols = std::max(2, (files - 1) / (rows - 1) + 2);
      } else {
        cols = std::max(2, ClientWidth() / cellW + 1);
        rows = std::max(2, (files - 1) / (cols - 1) + 2);
      }
      break;
    case carOverview:
      if (FHorizontal) {
        rows = 3;
        cols = std::max(2, files + 1);
      } else {
        cols = 3;
        rows = std::max(2, files + 1);
      }
      break;
    case carDetailed: {
      ReadParamFont(FFontText, FGrid->Canvas().Font());
      const int32_t captions = Round32(1.2 * std::max(1, FGrid->Canvas().TextHeight("W")));
      if (FHorizontal) {
        cols = std::max(2, files + 1);
        rows = lines + 2;
        fixedW = captions;
      } else {
        rows = std::max(2, files + 1);
        cols = lines + 2;
        fixedH = captions;
      }
      break;
    }
  }
  // The grid keeps its selection and view inside the new counts itself.
  FGrid->SetColCount(cols);
  FGrid->SetRowCount(rows);
  for (int32_t c = 0; c < cols; ++c) FGrid->SetColWidths(c, c == 0 ? fixedW : cellW);
  for (int32_t r = 0; r < rows; ++r) FGrid->SetRowHeights(r, r == 0 ? fixedH : rowH);
}

int32_t Tcatalogframe::CellFileIndex(int32_t Col, int32_t Row) const {
  const int32_t cols = FGrid->ColCount(), rows = FGrid->RowCount();
  if (Col < 1 || Row < 1 || Col >= cols || Row >= rows) return -1;
  int32_t index = -1;
  switch (FArrangement) {
    case carCells:
      index = FHorizontal ? (Col - 1) * (rows - 1) + (Row - 1) : (Row - 1) * (cols - 1) + (Col - 1);
      break;
    case carOverview:
      // The thumbnail and the information cell of a file both show it.
      index = FHorizontal ? Col - 1 : Row - 1;
      break;
    case carDetailed: index = FHorizontal ? Col - 1 : Row - 1; break;
  }
  return index < FFiles.Count() ? index : -1;
}

bool Tcatalogframe::CellAt(int32_t X, int32_t Y, int32_t& Col, int32_t& Row) const {
  FGrid->MouseToCell(X, Y, Col, Row);
  return Col >= 0 && Row >= 0;
}

void Tcatalogframe::SelectedFiles(TStrings& Out) const {
  std::vector<std::string> paths;
  const TGridRect s = FGrid->Selection();
  for (int32_t row = s.Top; row <= s.Bottom; ++row)
    for (int32_t col = s.Left; col <= s.Right; ++col)
      if (const int32_t i = CellFileIndex(col, row); i >= 0) paths.push_back(FFiles.Strings(i));
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  Out.AssignLines(paths);
}

std::string Tcatalogframe::SelectedFilesWithComments() const {
  TStringList files;
  SelectedFiles(files);
  std::string out;
  for (int32_t i = 0; i < files.Count(); ++i) {
    const std::string f = files.Strings(i);
    for (const std::string& name : {f, f + ".wav", f + ".txt"})
      if (name == f || FileExists(name)) {
        out += name;
        out += '\0';
      }
  }
  out += '\0';
  return out;
}

std::string Tcatalogframe::CaptionText(int32_t Col, int32_t Row) const {
  if (FArrangement != carDetailed) return "";
  const int32_t line = (FHorizontal ? Row : Col) - 2;
  if ((FHorizontal ? Col : Row) != 0 || line < 0 || line >= SetCount(FInfoSet)) return "";
  const tImageInfo info = SetMemberAt(line, FInfoSet);
  std::string caption = ImageInfoText(info);
  const TCatalogSort sort = ReadCatalogSort(CurrentCatalogSort());
  if (sort.Sort1 == int32_t(info) + skFileName) caption += sort.Sort1Descending ? " (Abwärts)" : " (Aufwärts)";
  return caption;
}

void Tcatalogframe::DrawThumbnail(TCanvas& C, int32_t X, int32_t Y, const std::string& FileName) {
  TImageInfoTexts info;
  tcache().Lookup(FileName, &FThumb, info);
  if (!FThumb.Empty()) {
    C.Draw(X, Y, FThumb);
    return;
  }
  // An unreadable file: a white picture crossed out in red.
  const TSize t = ThumbnailSize();
  C.Brush().SetStyle(bsSolid);
  C.Brush().SetColor(clWhite);
  C.FillRect(TRect{X, Y, X + t.cx, Y + t.cy});
  C.Pen().SetColor(clRed);
  C.MoveTo(X, Y);
  C.LineTo(X + t.cx, Y + t.cy);
  C.MoveTo(X + t.cx - 1, Y);
  C.LineTo(X - 1, Y + t.cy);
}

void Tcatalogframe::DrawInfo(TCanvas& C, const TRect& Clip, int32_t X, int32_t Y, const std::string& FileName,
                             tImageInfoset Set) {
  if (SetCount(Set) == 0) return;
  TImageInfoTexts info;
  tcache().Lookup(FileName, nullptr, info);
  C.Brush().SetStyle(bsSolid);
  C.Brush().SetColor(clWindow);
  // Long lines stop at the cell's edge instead of running into the next cell.
  const TRect oldClip = C.ClipRect();
  C.SetClipRect(TRect{std::max(oldClip.Left, Clip.Left), std::max(oldClip.Top, Clip.Top),
                      std::min(oldClip.Right, Clip.Right), std::min(oldClip.Bottom, Clip.Bottom)});
  DrawImageInfoText(C, TRect{X, Y, X, Y}, itdDown, 1, FFontText, Set, info, true);
  C.SetClipRect(oldClip);
}

void Tcatalogframe::DrawFileCell(TCanvas& C, int32_t Col, int32_t Row, const TRect& R, int32_t Index) {
  const std::string& file = FFiles.Strings(Index);
  const int32_t m = FGridMargin;
  const int32_t x = R.Left + m, y = R.Top + m;
  switch (FArrangement) {
    case carCells:
      DrawThumbnail(C, x, y, file);
      DrawInfo(C, R, x, y + ThumbnailSize().cy, file, FInfoSet);
      break;
    case carOverview:
      if ((FHorizontal ? Row : Col) == 1)
        DrawThumbnail(C, x, y, file);
      else
        DrawInfo(C, R, x, y, file, FInfoSet);
      break;
    case carDetailed: {
      const int32_t line = (FHorizontal ? Row : Col) - 2;
      if (line < 0) {
        DrawThumbnail(C, x, y, file);
      } else if (line < SetCount(FInfoSet)) {
        tImageInfoset one;
        one.Include(SetMemberAt(line, FInfoSet));
        DrawInfo(C, R, x, y, file, one);
      }
      break;
    }
  }
}

void Tcatalogframe::DrawGrid1DrawCell(int32_t Col, int32_t Row, const TRect& R) {
  TCanvas& c = FGrid->Canvas();
  const int32_t m = FGridMargin;
  const TGridRect s = FGrid->Selection();
  const bool selected = Col >= s.Left && Col <= s.Right && Row >= s.Top && Row <= s.Bottom;
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(selected ? clHighlight : clWindow);
  c.FillRect(R);
  if (const int32_t index = CellFileIndex(Col, Row); index >= 0) {
    DrawFileCell(c, Col, Row, R, index);
  } else if (const std::string caption = CaptionText(Col, Row); !caption.empty()) {
    // The caption runs down its narrow column letter below letter.
    ReadParamFont(FFontText, c.Font());
    if (FHorizontal && FArrangement == carDetailed) {
      const int32_t step = std::max(1, c.TextHeight("W"));
      int32_t y = R.Top;
      for (const std::string& letter : Utf8Chars(caption)) {
        if (y >= R.Bottom) break;
        c.TextRect(R, R.Left + 1, y, letter);
        y += step;
      }
    } else {
      c.TextRect(R, R.Left + std::min(m, R.Width() / 2), R.Top + 1, caption);
    }
  }
}

void Tcatalogframe::DrawGrid1DblClick() {
  const TGridRect s = FGrid->Selection();
  const int32_t index = CellFileIndex(s.Left, s.Top);
  if (index >= 0 && form1) form1->interpreter(this, "open" + WriteParamString("Filename", FFiles.Strings(index)));
}

}  // namespace kv

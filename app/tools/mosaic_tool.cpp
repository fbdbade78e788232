#include "app/tools/mosaic_tool.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "app/child/child_window.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/tools/sample_pictures.h"
#include "app/tools/tool_files.h"
#include "app/catalog/image_source.h"
#include "app/catalog/image_source_frame.h"
#include "imaging/processing/mosaic.h"
#include "imaging/processing/resample.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/temp_file.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/std_controls.h"

namespace kv {

namespace {

const char kNoFiles[] = "Keine Dateien ausgewählt";

// A tile of CellWidth x CellHeight: the picture fitted in with its proportions,
// the rest black.
void MakeTile(const TBitmap& Picture, int32_t CellW, int32_t CellH, int32_t Filter, TBitmap& Tile) {
  int32_t w = 0, h = 0;
  FitIntoCell(Picture.Width(), Picture.Height(), CellW, CellH, w, h);
  TBitmap sized(w, h, pf24bit);
  if (Filter >= 1 && Filter <= 6 && Picture.Width() >= 2 && Picture.Height() >= 2)
    ResampleBitmapProgress(Picture, sized, TResampleFilter(Filter), nullptr, nullptr);
  else
    StretchNearest(Picture, sized);
  Tile.SetPixelFormat(pf24bit);
  Tile.SetSize(CellW, CellH);
  for (int32_t y = 0; y < CellH; ++y) std::memset(Tile.ScanLine(y), 0, size_t(CellW) * 3);
  for (int32_t y = 0; y < std::min(h, CellH); ++y)
    std::memcpy(Tile.ScanLine(y), sized.ScanLine(y), size_t(std::min(w, CellW)) * 3);
}

std::string TilePath(const std::string& Folder, size_t I) { return Folder + std::to_string(I) + ".bmp"; }

}  // namespace

std::string DefaultMosaicTileFolder() {
  std::string tmp = GetTempPath();
  if (!tmp.empty() && tmp.back() != '/') tmp += '/';
  return tmp + "kavrelin-mosaic/";
}

void BuildMosaic(Tform1& Form, const std::string& Line) {
  TMosaicLayout layout;
  layout.Rows = ReadParamInt(Line, "Rows", 50);
  layout.Columns = ReadParamInt(Line, "Columns", 50);
  layout.CellWidth = ReadParamInt(Line, "CellWidth", 64);
  layout.CellHeight = ReadParamInt(Line, "CellHeight", 48);
  layout.ScoreSize = std::max(ReadParamInt(Line, "Scoresize", 3), 1);
  const int32_t adjust = std::clamp(ReadParamInt(Line, "Adjust", 0), 0, 100);
  std::string folder = ReadParamString(Line, "thumbdir", "");
  if (folder.empty()) folder = DefaultMosaicTileFolder();
  if (folder.back() != '/') folder += '/';
  const bool generate = ReadParamBool(Line, "Generate", false);
  const int32_t filter = ReadParamInt(Line, "Filter", 0);
  const bool border = ReadParamBool(Line, "border", false);
  if (layout.Rows < 1 || layout.Columns < 1 || layout.CellWidth < 1 || layout.CellHeight < 1 ||
      int64_t(layout.Rows) * layout.CellHeight * layout.Columns * layout.CellWidth > (int64_t(1) << 28))
    throw ECommandError("Das Mosaik aus " + IntToStr(layout.Columns) + " x " + IntToStr(layout.Rows) + " Kacheln zu " +
                        IntToStr(layout.CellWidth) + " x " + IntToStr(layout.CellHeight) + " Pixeln ist zu groß");
  timagerlayer* current = Form.getimager();
  if (!current) throw ECommandError("Es ist kein Bildfenster aktiv");

  std::vector<std::string> files;
  if (generate) {
    files = ListImageSource(Line);
  } else {
    // The default tile folder starts with the demo tiles, so that a mosaic can
    // be made before any tiles have been generated.
    if (folder == DefaultMosaicTileFolder() && !FileExists(TilePath(folder, 0))) {
      try {
        WriteDemoMosaicTiles(folder);
      } catch (const Exception& e) {
        throw ECommandError("The demo tiles could not be written to \"" + folder + "\": " + e.Message());
      }
    }
    for (size_t i = 0; FileExists(TilePath(folder, i)); ++i) files.push_back(TilePath(folder, i));
  }

  std::vector<TBitmap> tiles(files.size());
  std::vector<TScoreGrid> grids(files.size());
  if (generate && !files.empty()) ForceDirectories(folder);
  Form.AbortRequested = false;
  for (size_t e = 0; e < files.size(); ++e) {
    if (Form.onprogressany(&Form, StepPercent(int64_t(e), int64_t(files.size()) - 1))) return;
    TBitmap picture;
    LoadToolPicture(files[e], picture);
    if (generate) {
      MakeTile(picture, layout.CellWidth, layout.CellHeight, filter, tiles[e]);
      SaveToolPicture(TilePath(folder, e), tiles[e]);
    } else if (picture.Width() == layout.CellWidth && picture.Height() == layout.CellHeight) {
      tiles[e].TakeOver(picture);
    } else {
      MakeTile(picture, layout.CellWidth, layout.CellHeight, filter, tiles[e]);
    }
    grids[e] = ScoreGrid(tiles[e], layout.ScoreSize, 0, 0, layout.CellWidth, layout.CellHeight);
  }
  // Tiles of an earlier, larger run would join the next run from the folder.
  if (generate)
    for (size_t i = files.size(); FileExists(TilePath(folder, i)); ++i) DeleteFile(TilePath(folder, i));
  if (files.empty()) {
    ShowMessage(kNoFiles);
    Form.AbortRequested = true;
    return;
  }

  TBitmap source;
  source.Assign(&current->Bitmap());
  Form.interpreter(&Form, "HIDDEN NEWIMAGE" + WriteParamInt("Width", layout.CellWidth * layout.Columns) +
                              WriteParamInt("Height", layout.CellHeight * layout.Rows) + WriteParamInt("FillColor", 0));
  timagerlayer* target = &NewestImage(Form);
  if (target == current) throw ECommandError("Das Bildfenster konnte nicht angelegt werden");
  const std::vector<int32_t> placement = PlaceMosaicTiles(
      source, layout, grids, [&Form](int32_t Percent) { Form.onprogressany(&Form, Percent); },
      [&Form] { return Form.AbortRequested; });
  TBitmap& out = target->Bitmap();
  TBitmap tile;
  for (int32_t r = 0; r < layout.Rows; ++r)
    for (int32_t c = 0; c < layout.Columns; ++c) {
      const int32_t index = placement[size_t(r) * size_t(layout.Columns) + size_t(c)];
      if (index < 0) continue;
      tile.Assign(&tiles[size_t(index)]);
      if (adjust > 0) {
        int32_t l, t, rr, b;
        MosaicCellRect(layout, source.Width(), source.Height(), c, r, l, t, rr, b);
        AdjustTileColour(tile, AverageColor(source, l, t, rr, b), adjust);
      }
      if (border) DrawTileFrame(tile);
      for (int32_t y = 0; y < layout.CellHeight; ++y)
        std::memcpy(static_cast<uint8_t*>(out.ScanLine(r * layout.CellHeight + y)) + size_t(c) * layout.CellWidth * 3,
                    tile.ScanLine(y), size_t(layout.CellWidth) * 3);
    }
  Form.PercentProc(0);
  target->Update();
}

Tmosaicform::Tmosaicform(TComponent* AOwner, int32_t ImageWidth, int32_t ImageHeight)
    : TToolDialog(AOwner, "mosaicform", "Mosaik"), FW(ImageWidth), FH(ImageHeight) {
  ColumnsEdit = AddEdit("Spalten", "Columns", "50");
  RowsEdit = AddEdit("Reihen", "Rows", "50");
  CellWidthEdit = AddEdit("Zellbreite (Pixel)", "CellWidth", "64");
  CellHeightEdit = AddEdit("Zellhöhe (Pixel)", "CellHeight", "48");
  AdjustEdit = AddEdit("Farbanpassung (%)", "Adjust", "0");
  FilterBox = AddCombo("Filter", "Filter", {"Keinen", "Triangle", "Hermite", "Bell", "BSpline", "Lanczos3", "Mitchell"}, 0);
  FilterBox->SetHint(
      "Hier können Sie einen Filter auswählen, der auf das Bild angewendet wird.\r\nDadurch sehen die Pixel bei kleinen "
      "Bildern nicht so rechteckig aus.");
  ProportionalBox = AddCheck("Proportional", "Proportional", true);
  BorderBox = AddCheck("Rahmen", "Border", false);
  AddNote("Thumbnails (je mehr Bilder desto besser)");
  GenerateBox = AddCheck("Neu generieren von", "Generate", true);
  imageSourceframe1 = new TimageSourceframe(this);
  imageSourceframe1->SetName("imageSourceframe1");
  imageSourceframe1->SetKindCount(2);  // tiles are made from files
  AddFrame(imageSourceframe1, 100);
  ThumbDirEdit = AddEdit("Thumbnailverzeichnis", "thumbdir", DefaultMosaicTileFolder());
  SizeLabel = AddNote("");
  PiecesLabel = AddNote("");
  AddButtons("Erstellen", 0);
  OnRun = [this](TObject*) { ResultLine = BuildLine(); };
  for (TEdit* e : {ColumnsEdit, RowsEdit, CellWidthEdit, CellHeightEdit})
    e->OnChange = [this, e](TObject*) { Proportion(e); };
  UpdateLabels();
}

void Tmosaicform::Proportion(TEdit* From) {
  if (FBusy) return;
  FBusy = true;
  if (ProportionalBox->Checked()) {
    const int64_t cw = EditInt(CellWidthEdit), ch = EditInt(CellHeightEdit);
    if (From == RowsEdit || From == CellWidthEdit) {
      const int64_t d = int64_t(FH) * cw;
      if (d != 0) ColumnsEdit->SetText(IntToStr(int64_t(FW) * ch * EditInt(RowsEdit) / d));
    } else {
      const int64_t d = int64_t(FW) * ch;
      if (d != 0) RowsEdit->SetText(IntToStr(cw * EditInt(ColumnsEdit) * FH / d));
    }
  }
  FBusy = false;
  UpdateLabels();
}

void Tmosaicform::UpdateLabels() {
  if (!SizeLabel || !PiecesLabel) return;
  SizeLabel->SetCaption("Resultierende Größe: " + IntToStr(EditInt(CellWidthEdit) * EditInt(ColumnsEdit)) + " x " +
                        IntToStr(EditInt(CellHeightEdit) * EditInt(RowsEdit)));
  PiecesLabel->SetCaption("Mosaik Stücke: " + IntToStr(EditInt(ColumnsEdit) * EditInt(RowsEdit)));
}

std::string Tmosaicform::BuildLine() const {
  std::string line = "MOSAIC" + WriteParamInt("Columns", EditInt(ColumnsEdit)) +
                     WriteParamInt("CellWidth", EditInt(CellWidthEdit)) +
                     WriteParamInt("CellHeight", EditInt(CellHeightEdit)) + WriteParamInt("Rows", EditInt(RowsEdit)) +
                     WriteParamInt("Filter", std::max(FilterBox->ItemIndex(), 0)) +
                     WriteParamInt("Adjust", EditInt(AdjustEdit)) + WriteParamBool("Border", BorderBox->Checked()) +
                     WriteParamString("thumbdir", ThumbDirEdit->Text()) +
                     WriteParamInt("Generate", GenerateBox->Checked() ? 1 : 0);
  if (GenerateBox->Checked()) line += imageSourceframe1->GetParams();
  return line;
}

void ShowMosaicDialog(Tform1& Form) {
  timagerlayer* imager = Form.getimager();
  if (!imager) return;
  auto dlg = std::make_unique<Tmosaicform>(nullptr, imager->Bitmap().Width(), imager->Bitmap().Height());
  if (dlg->ShowModal() != mrOk || dlg->ResultLine.empty()) return;
  Form.interpreter(&Form, dlg->ResultLine);
}

}  // namespace kv

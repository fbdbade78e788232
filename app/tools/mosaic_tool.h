// The photo mosaic in the program: the MOSAIC line (tiles made from a folder
// of pictures or taken from a tile folder) and the dialog that builds it.
#pragma once
#include <string>

#include "app/tools/tool_dialog.h"

namespace kv {

class Tform1;
class TEdit;
class TCheckBox;
class TComboBox;
class TLabel;
class TimageSourceframe;

// The tile folder used when the line names none: a folder of its own in the
// temporary folder, so that no stray file there is taken for a tile. Taken
// without generating while it holds no tiles, it is filled with the demo tiles.
std::string DefaultMosaicTileFolder();

void BuildMosaic(Tform1& Form, const std::string& Line);

class Tmosaicform : public TToolDialog {
 public:
  Tmosaicform(TComponent* AOwner, int32_t ImageWidth, int32_t ImageHeight);
  TEdit* ColumnsEdit = nullptr;
  TEdit* RowsEdit = nullptr;
  TEdit* CellWidthEdit = nullptr;
  TEdit* CellHeightEdit = nullptr;
  TEdit* AdjustEdit = nullptr;
  TComboBox* FilterBox = nullptr;
  TCheckBox* ProportionalBox = nullptr;
  TCheckBox* BorderBox = nullptr;
  TCheckBox* GenerateBox = nullptr;  // "Neu generieren von" (else "aus Verzeichnis")
  TimageSourceframe* imageSourceframe1 = nullptr;  // the pictures the tiles are made of
  TEdit* ThumbDirEdit = nullptr;
  TLabel* SizeLabel = nullptr;
  TLabel* PiecesLabel = nullptr;
  std::string BuildLine() const;
  // Keeps the proportions of the picture: From is the edit that changed.
  void Proportion(TEdit* From);

 private:
  void UpdateLabels();
  int32_t FW, FH;
  bool FBusy = false;
};

void ShowMosaicDialog(Tform1& Form);

}  // namespace kv

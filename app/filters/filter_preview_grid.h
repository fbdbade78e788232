// "Schnell-Auswahl": a small preview of the current picture (or of its
// selection) once for every filter of a list, so that a filter is picked by
// its effect rather than by its name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/ui/forms.h"

namespace kv {

class TButton;
class TImagerMView;
class TLabel;
class tfilterclass;
class tfilteritem;
class TImagerView;

// A filter list that holds references, not copies: the items belong to
// their catalogue (or to whoever made them).
struct TFilterRef {
  std::string Name;
  tfilteritem* Item = nullptr;
};
using TFilterRefs = std::vector<TFilterRef>;

// Every item of a catalogue in its order.
TFilterRefs CatalogueRefs(const tfilterclass& Catalogue);

// The selection's bounding box of a view (right and bottom exclusive), the
// whole picture when nothing is selected.
TRect SelectionArea(TImagerView& View);
// The Area of Source fitted into MaxW x MaxH keeping its proportions and
// resampled into Target (pf24bit).
void ScaleAreaInto(const TBitmap& Source, const TRect& Area, int32_t MaxW, int32_t MaxH, TBitmap& Target);

class Tmultiform : public TForm {
 public:
  explicit Tmultiform(TComponent* AOwner);
  ~Tmultiform() override;

  // Set by the opener before showing; neither is owned.
  TImagerView* Source = nullptr;
  TFilterRefs Catalogue;
  // The item picked (OK, activating the window, a double click), or none.
  tfilteritem* Chosen = nullptr;
  int32_t ChosenIndex = -1;

  TImagerMView* ImagerMView1 = nullptr;
  TLabel* CategoryLabel = nullptr;   // "Kategorie"
  TLabel* NameLabel = nullptr;       // "Name"
  TLabel* AuthorLabel = nullptr;     // "Autor"
  TLabel* CopyrightLabel = nullptr;  // "Copyright"
  TButton* Button1 = nullptr;        // "Ok"
  TButton* Button2 = nullptr;        // "Abbrechen"

  // One thumbnail per item, in catalogue order (done when the window shows).
  void BuildThumbnails();
  // Fills the labels for thumbnail Index.
  void ShowItemInfo(int32_t Index);
  // The error of each item whose filter could not run ("" for the others).
  const std::vector<std::string>& Errors() const { return FErrors; }
  // The scaled picture the filters ran on.
  const TBitmap& Preview() const { return FPreview; }

 private:
  void TakeChoice();
  TBitmap FPreview;
  TBitmap FWork;
  std::vector<std::string> FErrors;
  bool FBuilt = false;
};

// Shows the grid over Source for Refs; the chosen item (or nullptr when cancelled).
tfilteritem* ChooseFilterByPreview(TImagerView& Source, const TFilterRefs& Refs, int32_t* ChosenIndex = nullptr);

}  // namespace kv

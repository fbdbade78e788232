// TCustomListBox: a list of text lines with one selected line, drawn by us.
//
// The lines are changed through the list box's messages (LB_ADDSTRING,
// LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT), as the window system's
// list box takes them, so a descendant sees every change in Dispatch.
// LB_SETHORIZONTALEXTENT sets how far the lines scroll sideways: when it is
// wider than the client area the horizontal bar shows.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/string_list.h"
#include "platform/ui/controls.h"

namespace kv {

constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_INSERTSTRING = 0x0181;
constexpr UINT LB_DELETESTRING = 0x0182;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr UINT LB_GETTOPINDEX = 0x018E;
constexpr UINT LB_GETHORIZONTALEXTENT = 0x0193;
constexpr UINT LB_SETHORIZONTALEXTENT = 0x0194;
constexpr LRESULT LB_ERR = -1;

class TCustomListBox;

// The lines of a list box; every change goes through the box's messages.
class TListBoxStrings : public TStrings {
 public:
  explicit TListBoxStrings(TCustomListBox* Box) : FBox(Box) {}
  int32_t Count() const override;
  std::string Get(int32_t Index) const override;
  TObject* GetObject(int32_t Index) const override;
  void PutObject(int32_t Index, TObject* AObject) override;
  int32_t Add(const std::string& S) override;
  void Insert(int32_t Index, const std::string& S) override;
  void Delete(int32_t Index) override;
  void Clear() override;

 private:
  TCustomListBox* FBox;
};

class TCustomListBox : public TCustomControl {
 public:
  explicit TCustomListBox(TComponent* AOwner);
  ~TCustomListBox() override;

  TStrings& Items() { return *FItems; }
  void SetItems(const TStrings& Value) { FItems->Assign(&Value); }
  int32_t ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int32_t Value);
  int32_t TopIndex() const { return FTopIndex; }
  void SetTopIndex(int32_t Value);
  int32_t ItemHeight() const;
  // Tab stops every TabWidth dialog units (4 per average character); 0: the default of 8 characters.
  int32_t TabWidth() const { return FTabWidth; }
  void SetTabWidth(int32_t Value);
  // What LB_SETHORIZONTALEXTENT set, and the sideways scroll position in pixels.
  int32_t HorizontalExtent() const { return FHorzExtent; }
  int32_t HorzPosition() const { return FHorzPos; }
  // The index of the line at a client point, -1 below the last.
  int32_t ItemAtPos(TPoint Pos) const;
  // The canvas of the list's picture, with the list's font (for measuring).
  TCanvas& MeasureCanvas();

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void Resize() override;
  // Draws line Index across R (the row's full client width); a descendant
  // draws beside it by narrowing R before calling this.
  virtual void PaintItem(TCanvas& C, int32_t Index, const TRect& R, bool Selected);

 private:
  friend class TListBoxStrings;
  struct TLine {
    std::string Text;
    TObject* Object = nullptr;
  };
  void UpdateBars();
  void ScrollHorz(uint16_t Code, int32_t Pos);

  std::vector<TLine> FLines;
  std::unique_ptr<TListBoxStrings> FItems;
  int32_t FItemIndex = -1;
  int32_t FTopIndex = 0;
  int32_t FTabWidth = 0;
  int32_t FHorzExtent = 0;
  int32_t FHorzPos = 0;
  TBitmap FMeasure{1, 1, pf24bit};
};

class TListBox : public TCustomListBox {
 public:
  using TCustomListBox::TCustomListBox;
};

}  // namespace kv

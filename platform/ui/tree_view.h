// TCustomTreeView: nodes with text, pictures of an image list and expand
// buttons, drawn by the control; one selected node, labels edited in place.
//
// Children are made by the owner when a node first expands (OnExpanding):
// HasChildren shows the button before any child exists.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/image_list.h"
#include "platform/ui/std_controls.h"

namespace kv {

class TCustomTreeView;

class TTreeNode {
 public:
  TTreeNode(TCustomTreeView* Owner, TTreeNode* Parent) : FOwner(Owner), FParent(Parent) {}
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;

  TCustomTreeView* TreeView() const { return FOwner; }
  TTreeNode* Parent() const { return FParent; }
  int32_t Count() const { return static_cast<int32_t>(FChildren.size()); }
  TTreeNode* Item(int32_t Index) const { return FChildren.at(static_cast<size_t>(Index)).get(); }
  TTreeNode* GetFirstChild() const { return FChildren.empty() ? nullptr : FChildren.front().get(); }
  int32_t Index() const;
  int32_t Level() const;

  const std::string& Text() const { return FText; }
  void SetText(const std::string& Value);
  int32_t ImageIndex = -1;
  int32_t SelectedIndex = -1;
  // An image of the list drawn over the node's picture, -1 for none.
  int32_t OverlayIndex = -1;
  void* Data = nullptr;
  bool Checked = false;

  // Whether the node shows an expand button: it has children or was told it will.
  bool HasChildren() const { return FHasChildren || !FChildren.empty(); }
  void SetHasChildren(bool Value);
  bool Expanded() const { return FExpanded; }
  // Asks OnExpanding first; false when it refused or there is nothing to show.
  bool Expand(bool Recurse = false);
  void Collapse();
  bool Selected() const;
  // Expands every ancestor and scrolls the node into view.
  void MakeVisible();
  // Starts editing the label in place.
  bool EditText();
  // Removes the node (OnDeletion for it and every descendant first).
  void Delete();
  void DeleteChildren();

 private:
  friend class TCustomTreeView;
  TCustomTreeView* FOwner;
  TTreeNode* FParent;
  std::vector<std::unique_ptr<TTreeNode>> FChildren;
  std::string FText;
  bool FHasChildren = false;
  bool FExpanded = false;
};

using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVEditingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
// S is the edited text; the label takes S afterwards (set it back to refuse).
using TTVEditedEvent = std::function<void(TObject* Sender, TTreeNode* Node, std::string& S)>;
using TTVCompare = std::function<int32_t(TTreeNode* A, TTreeNode* B)>;

class TCustomTreeView : public TCustomControl {
 public:
  explicit TCustomTreeView(TComponent* AOwner);
  ~TCustomTreeView() override;

  // Parent nullptr: a root node. Appended after the last child.
  TTreeNode* AddChild(TTreeNode* Parent, const std::string& Text);
  int32_t RootCount() const { return FRoot.Count(); }
  TTreeNode* Root(int32_t Index) const { return FRoot.Item(Index); }
  // Every node, roots first, depth first; for tests and walks.
  std::vector<TTreeNode*> AllNodes() const;
  void Clear();

  TTreeNode* Selected() const { return FSelected; }
  // Raises OnChanging (which may refuse) and OnChange.
  void SetSelected(TTreeNode* Node);
  TTreeNode* GetNodeAt(int32_t X, int32_t Y) const;
  // The row rectangle of a node, empty when it is not shown.
  TRect NodeRect(const TTreeNode* Node) const;

  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  bool Checkboxes() const { return FCheckboxes; }
  void SetCheckboxes(bool Value);
  bool ShowRoot() const { return FShowRoot; }
  void SetShowRoot(bool Value);
  int32_t ItemHeight() const;
  int32_t TopRow() const { return FTopRow; }
  void SetTopRow(int32_t Value);
  // How far the rows are scrolled to the left, in pixels; a row wider than
  // the client area brings the horizontal bar. A column (one step of the
  // bar's arrows) is as wide as a row is high.
  int32_t LeftPos() const { return FLeftPos; }
  void SetLeftPos(int32_t Value);
  // The width the shown rows need: the right edge of the widest label.
  int32_t ContentWidth() const;
  // The height of a line of text in the tree's font.
  int32_t FontHeight() const;

  // Drawing and scroll bars wait until the last EndUpdate.
  void BeginUpdate() { ++FUpdating; }
  void EndUpdate();
  bool Updating() const { return FUpdating > 0; }

  // Sorts a node's children (nullptr: the roots) by Compare.
  void SortChildren(TTreeNode* Parent, const TTVCompare& Compare);

  bool IsEditing() const { return FEditNode != nullptr; }
  TEdit* EditControl() const { return FEdit; }
  // Ends an edit: Cancel drops it, else OnEdited decides the label.
  void EndEditNode(bool Cancel);

  TTVExpandingEvent OnExpanding;
  TTVExpandedEvent OnExpanded;
  TTVExpandingEvent OnCollapsing;
  TTVChangingEvent OnChanging;
  TTVChangedEvent OnChange;
  TTVExpandedEvent OnDeletion;
  TTVEditingEvent OnEditing;
  TTVEditedEvent OnEdited;

  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  // Descendants hear of the same as the events, before them.
  virtual bool CanExpand(TTreeNode* Node);
  virtual void Expanded(TTreeNode* /*Node*/) {}
  virtual bool CanChange(TTreeNode* Node);
  virtual void Change(TTreeNode* Node);
  virtual void Delete(TTreeNode* Node);
  virtual bool CanEdit(TTreeNode* Node);
  virtual void Edit(TTreeNode* Node, std::string& S);

  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void DblClick() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void Resize() override;
  bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) override;

 private:
  friend class TTreeNode;
  void Rows(std::vector<TTreeNode*>& Out) const;
  void StructureChanged();
  void UpdateBars();
  void DeleteNode(TTreeNode* Node);
  void NotifyDeletion(TTreeNode* Node);
  int32_t RowOf(const TTreeNode* Node) const;
  int32_t Indent() const { return 19; }
  int32_t TextLeft(const TTreeNode* Node) const;
  int32_t MaxLeftPos() const;

  TTreeNode FRoot{this, nullptr};
  TTreeNode* FSelected = nullptr;
  TTreeNode* FEditNode = nullptr;
  TEdit* FEdit = nullptr;
  TCustomImageList* FImages = nullptr;
  TChangeLink FImageLink;
  bool FReadOnly = false;
  bool FCheckboxes = false;
  bool FShowRoot = true;
  bool FClearing = false;
  int32_t FUpdating = 0;
  int32_t FTopRow = 0;
  int32_t FLeftPos = 0;
  mutable int32_t FContentWidth = -1;  // -1: measure again
  mutable std::vector<TTreeNode*> FRows;
  mutable bool FRowsValid = false;
  TBitmap FMeasure{1, 1, pf24bit};
};

class TTreeView : public TCustomTreeView {
 public:
  using TCustomTreeView::TCustomTreeView;
};

}  // namespace kv

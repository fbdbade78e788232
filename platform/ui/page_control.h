// A page control: sheets on top of each other, one shown, chosen by tabs.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/ui/controls.h"

namespace kv {

class TPageControl;

class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return FPageControl; }
  // Makes the sheet a page of the control (its child, after its other pages).
  void SetPageControl(TPageControl* Value);
  // A sheet without a visible tab can be neither chosen nor shown.
  bool TabVisible() const { return FTabVisible; }
  void SetTabVisible(bool Value);
  // Place among the control's pages, -1 without control.
  int32_t PageIndex() const;
  void Dispatch(TMessage& Message) override;

 private:
  TPageControl* FPageControl = nullptr;
  bool FTabVisible = true;
};

enum TTabPosition : uint8_t { tpTop, tpBottom };
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TWinControl {
 public:
  static constexpr int32_t kTabHeight = 24;

  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;
  int32_t PageCount() const { return static_cast<int32_t>(FPages.size()); }
  TTabSheet* Pages(int32_t Index) const { return FPages.at(static_cast<size_t>(Index)); }
  TTabSheet* ActivePage() const { return FActivePage; }
  // Shows the page (null: none) without raising events; a page of another
  // control or with its tab hidden is refused.
  void SetActivePage(TTabSheet* Page);
  int32_t ActivePageIndex() const { return FActivePage ? FActivePage->PageIndex() : -1; }
  void SetActivePageIndex(int32_t Index);
  TTabPosition TabPosition() const { return FTabPosition; }
  void SetTabPosition(TTabPosition Value);
  // The user clicking a page's tab: OnChanging may refuse, then the page
  // shows and OnChange runs. False when the page did not become active.
  bool SelectPage(TTabSheet* Page);
  // The pages whose tabs show, in order.
  std::vector<TTabSheet*> VisiblePages() const;
  // The first page with a visible tab after (or before) Current, wrapping.
  TTabSheet* FindNextPage(TTabSheet* Current, bool GoForward) const;

  TTabChangingEvent OnChanging;
  TNotifyEvent OnChange;

  // ---- for the sheets ----
  void InsertPage(TTabSheet* Page);
  void RemovePage(TTabSheet* Page);
  void UpdateTabs();
  // Places the pages and the tab bar (none while no tab is shown).
  void LayoutPages();

 protected:
  void CreateWnd() override;
  void Resize() override;

 private:
  std::vector<TTabSheet*> FPages;
  TTabSheet* FActivePage = nullptr;
  TTabPosition FTabPosition = tpTop;
};

}  // namespace kv

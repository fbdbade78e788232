// Actions: a command with its caption, hint, state and image in one place,
// shared by the controls that show it. A control links to an action; every
// change of the action is passed to its linked controls, and clicking such a
// control executes the action.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/ui/image_list.h"

namespace kv {

class TBasicAction;
class TCustomAction;

// What a control does when the action it is linked to changes.
class TActionClient {
 public:
  virtual ~TActionClient() = default;
  virtual void ActionChanged(TBasicAction* Sender) = 0;
};

class TBasicAction : public TComponent {
 public:
  explicit TBasicAction(TComponent* AOwner);
  ~TBasicAction() override;
  // Runs OnExecute; false when there is none.
  virtual bool Execute();
  TNotifyEvent OnExecute;

  void RegisterClient(TActionClient* Client);
  void UnRegisterClient(TActionClient* Client);

 protected:
  void Change();

 private:
  std::vector<TActionClient*> FClients;
};

// Runs for every action of the list before the action's own OnExecute;
// setting Handled keeps the action's own handler from running.
using TActionEvent = std::function<void(TBasicAction* Action, bool& Handled)>;

class TCustomActionList : public TComponent {
 public:
  explicit TCustomActionList(TComponent* AOwner);
  ~TCustomActionList() override;
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The actions that belong to the list, in the order they joined it.
  int32_t ActionCount() const { return static_cast<int32_t>(FActions.size()); }
  TCustomAction* Actions(int32_t Index) const;  // EListError for a bad index
  // The action with that name (no case), or nullptr.
  TCustomAction* FindAction(const std::string& AName) const;

  TActionEvent OnExecute;
  // Offers the action to OnExecute; true when it was handled there.
  virtual bool ExecuteAction(TBasicAction* Action);

 private:
  friend class TCustomAction;
  void AddAction(TCustomAction* Action);
  void RemoveAction(TCustomAction* Action);
  TCustomImageList* FImages = nullptr;
  std::vector<TCustomAction*> FActions;
};

class TCustomAction : public TBasicAction {
 public:
  explicit TCustomAction(TComponent* AOwner);
  ~TCustomAction() override;
  // The list's OnExecute first; the action's own OnExecute when that did not handle it.
  bool Execute() override;
  const std::string& Category() const { return FCategory; }
  void SetCategory(const std::string& Value);
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value);
  int32_t ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int32_t Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  TCustomActionList* ActionList() const { return FActionList; }
  void SetActionList(TCustomActionList* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TPropertyTable& PropertyTable() const override;

 private:
  std::string FCaption;
  std::string FCategory;
  bool FChecked = false;
  bool FEnabled = true;
  std::string FHint;
  int32_t FImageIndex = -1;
  bool FVisible = true;
  TCustomActionList* FActionList = nullptr;
};

class TAction : public TCustomAction {
 public:
  using TCustomAction::TCustomAction;
};
class TActionList : public TCustomActionList {
 public:
  using TCustomActionList::TCustomActionList;
};

}  // namespace kv

// The program's settings store: the form store of the components layer, always
// in the registry under one fixed key, with an event before every save. On an
// option frame it attaches itself to the form that holds the frame, so the
// frame's settings are restored when that form is shown and saved when it is
// destroyed.
#pragma once
#include <memory>
#include <string>

#include "components/form_storage.h"
#include "platform/ui/forms.h"

namespace kv {

// The key (below the current user) every store of the program writes under.
inline constexpr const char* ProgramStorageKey = "\\software\\Kavrelin\\storage";

class tformstorage1 : public TFormStorage {
 public:
  explicit tformstorage1(TComponent* AOwner);
  ~tformstorage1() override;

  // Raised with the store as sender before each save (never before a restore):
  // the owner copies its controls' states into stored values here.
  TNotifyEvent BeforeStorage;

  // The form whose events this frame store is hooked into, or nullptr.
  TCustomForm* HookedForm() const;

  const TPropertyTable& PropertyTable() const override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void StorePlacement() override;
  void HookFormEvents() override;
  void UnhookFormEvents() override;

 private:
  struct THookLink;
  struct TShowHook;
  struct TCloseQueryHook;
  struct TDestroyHook;

  // The first form on the owner chain of a frame owner; nullptr otherwise.
  TCustomForm* FrameHostForm() const;
  void FrameFormShow();
  void FrameFormDestroy();

  // Shared with the handlers installed in the form: they outlive the store when
  // a later store hooked the same form, and then only pass the call on.
  std::shared_ptr<THookLink> FLink;
};

}  // namespace kv

#include "app/settings/form_storage1.h"

#include "platform/ui/application.h"
#include "platform/ui/frames.h"

namespace kv {

struct tformstorage1::THookLink {
  tformstorage1* Store = nullptr;  // cleared when the store goes
  TCustomForm* Form = nullptr;  // cleared when the form goes
  // The form's handlers found when hooking; called after ours.
  TNotifyEvent PrevShow;
  TCloseQueryEvent PrevCloseQuery;
  TNotifyEvent PrevDestroy;
};

// Each installed handler is a type of its own, so that unhooking can tell
// whether the form's current handler is still this store's.
struct tformstorage1::TShowHook {
  std::shared_ptr<THookLink> Link;
  void operator()(TObject* Sender) const {
    const std::shared_ptr<THookLink> l = Link;  // the handler may be replaced while it runs
    if (l->Store) l->Store->FrameFormShow();
    if (l->PrevShow) l->PrevShow(Sender);
  }
};

struct tformstorage1::TCloseQueryHook {
  std::shared_ptr<THookLink> Link;
  // A frame store never saves when its form closes: only the form's own does.
  void operator()(TObject* Sender, bool& CanClose) const {
    const std::shared_ptr<THookLink> l = Link;
    if (l->PrevCloseQuery) l->PrevCloseQuery(Sender, CanClose);
  }
};

struct tformstorage1::TDestroyHook {
  std::shared_ptr<THookLink> Link;
  void operator()(TObject* Sender) const {
    const std::shared_ptr<THookLink> l = Link;
    if (l->Store) l->Store->FrameFormDestroy();
    if (l->PrevDestroy) l->PrevDestroy(Sender);
  }
};

tformstorage1::tformstorage1(TComponent* AOwner) : TFormStorage(AOwner) {
  SetIniFileName(ProgramStorageKey);
  SetUseRegistry(true);
}

tformstorage1::~tformstorage1() {
  // The base destructor would only run its own unhook.
  if (!ComponentState().Contains(csDesigning)) UnhookFormEvents();
}

void tformstorage1::StorePlacement() {
  if (BeforeStorage) BeforeStorage(this);
  TFormStorage::StorePlacement();
}

TCustomForm* tformstorage1::FrameHostForm() const {
  if (!dynamic_cast<TCustomFrame*>(Owner())) return nullptr;
  for (TComponent* o = Owner()->Owner(); o; o = o->Owner())
    if (auto* f = dynamic_cast<TCustomForm*>(o)) return f;
  return nullptr;
}

TCustomForm* tformstorage1::HookedForm() const { return FLink ? FLink->Form : nullptr; }

void tformstorage1::HookFormEvents() {
  TFormStorage::HookFormEvents();
  if (FLink) return;
  TCustomForm* f = FrameHostForm();
  if (!f) return;
  FLink = std::make_shared<THookLink>();
  FLink->Store = this;
  FLink->Form = f;
  FLink->PrevShow = f->OnShow;
  FLink->PrevCloseQuery = f->OnCloseQuery;
  FLink->PrevDestroy = f->OnDestroy;
  f->OnShow = TShowHook{FLink};
  f->OnCloseQuery = TCloseQueryHook{FLink};
  f->OnDestroy = TDestroyHook{FLink};
  f->FreeNotification(this);
  FDefMaximize = false;
  // A frame made after its form was shown would miss the form's showing, and
  // a store never restored never saves: it restores now instead.
  if (f->Visible()) FrameFormShow();
}

void tformstorage1::UnhookFormEvents() {
  TFormStorage::UnhookFormEvents();
  if (!FLink) return;
  const std::shared_ptr<THookLink> link = std::move(FLink);
  link->Store = nullptr;
  TCustomForm* f = link->Form;
  // A form being torn down takes its handlers with it.
  if (!f || f->ComponentState().Contains(csDestroying)) return;
  f->RemoveFreeNotification(this);
  // Handlers are put back only while ours are still the form's current ones;
  // when a later store hooked the form, its kept copies still lead here and
  // our handlers stay in place, only passing each call on.
  const auto* show = f->OnShow.target<TShowHook>();
  const auto* query = f->OnCloseQuery.target<TCloseQueryHook>();
  const auto* destroy = f->OnDestroy.target<TDestroyHook>();
  if (show && show->Link == link && query && query->Link == link && destroy && destroy->Link == link) {
    f->OnShow = link->PrevShow;
    f->OnCloseQuery = link->PrevCloseQuery;
    f->OnDestroy = link->PrevDestroy;
  }
}

void tformstorage1::Notification(TComponent* AComponent, TOperation Operation) {
  TFormStorage::Notification(AComponent, Operation);
  if (Operation == opRemove && FLink && AComponent == FLink->Form) FLink->Form = nullptr;
}

void tformstorage1::FrameFormShow() {
  if (!Active()) return;
  try {
    RestoreFormPlacement();
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
}

void tformstorage1::FrameFormDestroy() {
  if (!Active() || Saved()) return;
  FDestroying = true;
  try {
    SaveFormPlacement();
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
  FDestroying = false;
}

const TPropertyTable& tformstorage1::PropertyTable() const {
  static const auto table = TPropertyTable::Make<tformstorage1>(TFormStorage::PropertyTable(),
                                                                [](auto& p) { p.Method("BeforeStorage"); });
  return table;
}

}  // namespace kv

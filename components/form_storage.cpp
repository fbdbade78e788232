// TFormPlacement: the window part of the form store, its store object, links and hook.
#include "components/form_storage.h"

#include <algorithm>

#include "components/str_utils.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/system/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/monitors.h"

namespace kv {

namespace {

HKEY RootKeyOf(TPlacementRegRoot R) {
  switch (R) {
    case prLocalMachine: return HKEY_LOCAL_MACHINE;
    case prCurrentConfig: return HKEY_CURRENT_CONFIG;
    case prClassesRoot: return HKEY_CLASSES_ROOT;
    case prUsers: return HKEY_USERS;
    case prDynData: return HKEY_DYN_DATA;
    default: return HKEY_CURRENT_USER;
  }
}

// The profile functions strip one pair of quotes on reading; a quoted text
// gets one more pair so that it reads back as written.
std::string IniQuoted(const std::string& S) {
  if (S.size() >= 2 && ((S.front() == '"' && S.back() == '"') || (S.front() == '\'' && S.back() == '\'')))
    return '"' + S + '"';
  return S;
}

std::string PosText(int32_t A, int32_t B, int32_t C, int32_t D) {
  return IntToStr(A) + "," + IntToStr(B) + "," + IntToStr(C) + "," + IntToStr(D);
}

std::string ScreenSuffix() { return "(" + IntToStr(Screen->Width()) + "x" + IntToStr(Screen->Height()) + ")"; }

// Frame sizes of the border styles, as the window system's metrics give them.
TPoint FrameMetrics(TFormBorderStyle Style) {
  switch (Style) {
    case bsSingle:
    case bsToolWindow: return TPoint{1, 1};
    case bsSizeable:
    case bsSizeToolWin: return TPoint{4, 4};
    case bsDialog: return TPoint{3, 3};
    default: return TPoint{0, 0};
  }
}

}  // namespace

// ---- TWinMinMaxInfo ----

void TWinMinMaxInfo::SetValue(int32_t Index, int32_t Value) {
  if (Index < 0 || Index > 7 || FValues[size_t(Index)] == Value) return;
  FValues[size_t(Index)] = Value;
  if (FOwner) FOwner->MinMaxInfoChanged();
}

bool TWinMinMaxInfo::DefaultMinMaxInfo() const {
  return std::all_of(std::begin(FValues), std::end(FValues), [](int32_t v) { return v == 0; });
}

void TWinMinMaxInfo::Assign(const TPersistent* Source) {
  auto* s = dynamic_cast<const TWinMinMaxInfo*>(Source);
  if (!s) {
    TPersistent::Assign(Source);
    return;
  }
  std::copy(std::begin(s->FValues), std::end(s->FValues), std::begin(FValues));
  if (FOwner) FOwner->MinMaxInfoChanged();
}

const TPropertyTable& TWinMinMaxInfo::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TWinMinMaxInfo>(TPersistent::PropertyTable(), [](auto& p) {
    static const char* const names[] = {"MaxPosLeft",     "MaxPosTop",     "MaxSizeHeight", "MaxSizeWidth",
                                        "MaxTrackHeight", "MaxTrackWidth", "MinTrackHeight", "MinTrackWidth"};
    for (int32_t i = 0; i < 8; ++i)
      p.Integer(
          names[i], [i](const TWinMinMaxInfo& o) { return o.Value(i); },
          [i](TWinMinMaxInfo& o, int32_t v) { o.SetValue(i, v); });
  });
  return table;
}

// ---- TIniLink ----

TIniLink::~TIniLink() {
  OnSave = nullptr;
  OnLoad = nullptr;
  SetStorage(nullptr);
}

void TIniLink::SetStorage(TFormPlacement* Value) {
  if (Value == FStorage) return;
  if (FStorage) FStorage->RemoveLink(this);
  FStorage = Value;
  if (Value) Value->AddLink(this);
}

std::string TIniLink::BaseSection() const {
  if (!FStorage) return {};
  const std::string& s = FStorage->IniSectionValue();
  return s.empty() ? s : s + "\\";
}

TCustomIniFile* TIniLink::StorageObject() const { return FStorage ? FStorage->StorageObject() : nullptr; }

void TIniLink::SaveToStorage() {
  if (OnSave) OnSave(this);
}

void TIniLink::LoadFromStorage() {
  if (OnLoad) OnLoad(this);
}

// ---- TFormPlacement ----

TFormPlacement::TFormPlacement(TComponent* AOwner) : TComponent(AOwner) {
  if (dynamic_cast<TCustomForm*>(AOwner)) FOptions = TPlacementOptions{fpState, fpPosition};
  FHook = new TKvWindowHook(this);
  FHook->AfterMessage = [this](TObject* S, TMessage& M, bool& H) { HookedMessage(S, M, H); };
}

TFormPlacement::~TFormPlacement() {
  Destroying();
  try {
    FStore.reset();
  } catch (...) {
  }
  while (!FLinks.empty()) FLinks.back()->SetStorage(nullptr);
  if (!ComponentState().Contains(csDesigning)) {
    FHook->SetWinControl(nullptr);
    UnhookFormEvents();
  }
}

std::string& TFormPlacement::CompanyName() {
  static std::string name;
  return name;
}

bool& TFormPlacement::UseAppTitle() {
  static bool use = false;
  return use;
}

TCustomForm* TFormPlacement::Form() const { return dynamic_cast<TCustomForm*>(Owner()); }

std::string TFormPlacement::IniSection() const {
  if (!FIniSection.empty()) return FIniSection;
  // While the form is being destroyed its class is no longer the program's
  // own: the section found before stays.
  if (FDestroying && !FDefaultSection.empty()) return FDefaultSection;
  FDefaultSection = DefaultSection();
  return FDefaultSection;
}

std::string TFormPlacement::DefaultSection() const {
  TComponent* o = Owner();
  if (!o) return {};
  if (auto* f = dynamic_cast<TCustomForm*>(o)) return f->ClassName();
  if (auto* c = dynamic_cast<TControl*>(o)) {
    if (TCustomForm* pf = GetParentForm(c)) return pf->ClassName() + c->Name();
    if (c->Parent()) return c->Parent()->Name() + c->Name();
    return c->Name();
  }
  if (o->Owner() && dynamic_cast<TCustomForm*>(o->Owner())) return o->Owner()->ClassName() + "." + o->Name();
  return o->Name();
}

std::string TFormPlacement::StorageName() const {
  if (FUseRegistry) {
    if (!FIniFileName.empty()) return FIniFileName;
    std::string key = "Software\\";
    if (!CompanyName().empty()) key += CompanyName() + "\\";
    if (UseAppTitle() && Application && !Application->Title().empty()) key += Application->Title();
    else key += ChangeFileExt(ExtractFileName(Application ? Application->ExeName() : std::string()), "");
    return key;
  }
  if (!FIniFileName.empty()) return FIniFileName;
  return ChangeFileExt(ExtractFileName(Application ? Application->ExeName() : std::string("kavrelin")), ".INI");
}

void TFormPlacement::OpenStorage(bool ReadOnly) {
  if (FStore) return;
  if (FUseRegistry) {
    const std::string key = StorageName();
    auto reg = std::make_unique<TRegistryIniFile>(key, ReadOnly ? KEY_READ : KEY_ALL_ACCESS);
    if (FRegistryRoot != prCurrentUser) {
      reg->RegIniFile().SetRootKey(RootKeyOf(FRegistryRoot));
      reg->RegIniFile().OpenKey(key, !ReadOnly);
    }
    FStore = std::move(reg);
  } else {
    FStore = std::make_unique<TIniFile>(StorageName());
  }
}

void TFormPlacement::CloseStorage() {
  if (!FStore) return;
  std::unique_ptr<TCustomIniFile> store = std::move(FStore);
  // A write that did not reach the disk raises here, so it is reported, not lost.
  store->UpdateFile();
}

std::string TFormPlacement::ReadSectionString(const std::string& Section, const std::string& Ident,
                                              const std::string& Default) {
  const bool opened = !FStore;
  OpenStorage(true);
  std::string r;
  try {
    r = FStore->ReadString(Section, Ident, Default);
  } catch (...) {
    if (opened) FStore.reset();
    throw;
  }
  if (opened) CloseStorage();
  return r;
}

void TFormPlacement::WriteSectionString(const std::string& Section, const std::string& Ident,
                                        const std::string& Value) {
  const bool opened = !FStore;
  OpenStorage(false);
  try {
    FStore->WriteString(Section, Ident, FUseRegistry ? Value : IniQuoted(Value));
  } catch (...) {
    if (opened) FStore.reset();
    throw;
  }
  if (opened) CloseStorage();
}

std::string TFormPlacement::ReadString(const std::string& Ident, const std::string& Default) {
  return ReadSectionString(IniSection(), Ident, Default);
}

void TFormPlacement::WriteString(const std::string& Ident, const std::string& Value) {
  WriteSectionString(IniSection(), Ident, Value);
}

int32_t TFormPlacement::ReadInteger(const std::string& Ident, int32_t Default) {
  return StrToIntDef(Trim(ReadString(Ident, IntToStr(Default))), Default);
}

void TFormPlacement::WriteInteger(const std::string& Ident, int32_t Value) { WriteString(Ident, IntToStr(Value)); }

void TFormPlacement::AddLink(TIniLink* Link) {
  if (std::find(FLinks.begin(), FLinks.end(), Link) == FLinks.end()) FLinks.push_back(Link);
}

void TFormPlacement::RemoveLink(TIniLink* Link) { std::erase(FLinks, Link); }

void TFormPlacement::MinMaxInfoChanged() {
  UpdateHook();
  AdjustMaximizedPosition();
}

void TFormPlacement::SetPreventResize(bool Value) {
  if (Value == FPreventResize) return;
  FPreventResize = Value;
  ApplyPreventResize();
  AdjustMaximizedPosition();
}

void TFormPlacement::UpdateHook() {
  TCustomForm* f = Form();
  const bool want = f && !ComponentState().Contains(csDesigning) &&
                    (!FMinMaxInfo.DefaultMinMaxInfo() || FPreventResize);
  FHook->SetWinControl(want ? f : nullptr);
}

void TFormPlacement::ApplyPreventResize() {
  TCustomForm* f = Form();
  if (!f || ComponentState().Contains(csDesigning)) return;
  if (FPreventResize) FDefMaximize = f->BorderIcons().Contains(biMaximize);
  const bool wasActive = FActive;
  FActive = false;
  TBorderIcons icons = f->BorderIcons();
  if (FPreventResize || !FDefMaximize || f->BorderStyle() == bsDialog) icons.Exclude(biMaximize);
  else icons.Include(biMaximize);
  f->SetBorderIcons(icons);
  FActive = wasActive;
  if (!ComponentState().Contains(csLoading)) UpdateHook();
}

void TFormPlacement::AdjustMaximizedPosition() {
  TCustomForm* f = Form();
  if (!f || !f->HandleAllocated() || ComponentState().Contains(csLoading) || FPreventResize ||
      !FMinMaxInfo.DefaultMinMaxInfo())
    return;
  const TPoint m = FrameMetrics(f->BorderStyle());
  FMaxPos = TPoint{-m.X, -m.Y};
}

void TFormPlacement::HookedMessage(TObject*, TMessage& Msg, bool&) {
  TCustomForm* f = Form();
  if (!f) return;
  if (FPreventResize) {
    switch (Msg.Msg) {
      case WM_GETMINMAXINFO:
        if (f->HandleAllocated() && f->Visible() && Msg.LParam) {
          auto* mm = reinterpret_cast<TMinMaxInfoRecord*>(Msg.LParam);
          mm->MinTrackSize = TPoint{f->Width(), f->Height()};
          mm->MaxTrackSize = TPoint{f->Width(), f->Height()};
          Msg.Result = 1;
        }
        break;
      case WM_NCHITTEST:
        if (Msg.Result >= HTLEFT && Msg.Result <= HTBOTTOMRIGHT) Msg.Result = HTNOWHERE;
        break;
      case WM_INITMENUPOPUP:
        // The system menu: sizing and maximising are not offered (no menu of ours to pass it to).
        if (HiWord(static_cast<uintptr_t>(Msg.LParam)) != 0) Msg.Result = 1;
        break;
      default:
        break;
    }
    return;
  }
  if (Msg.Msg == WM_GETMINMAXINFO && Msg.LParam) {
    auto* mm = reinterpret_cast<TMinMaxInfoRecord*>(Msg.LParam);
    if (!FMinMaxInfo.DefaultMinMaxInfo()) {
      const TWinMinMaxInfo& i = FMinMaxInfo;
      if (i.MinTrackWidth()) mm->MinTrackSize.X = i.MinTrackWidth();
      if (i.MinTrackHeight()) mm->MinTrackSize.Y = i.MinTrackHeight();
      if (i.MaxTrackWidth()) mm->MaxTrackSize.X = i.MaxTrackWidth();
      if (i.MaxTrackHeight()) mm->MaxTrackSize.Y = i.MaxTrackHeight();
      if (i.MaxSizeWidth()) mm->MaxSize.X = i.MaxSizeWidth();
      if (i.MaxSizeHeight()) mm->MaxSize.Y = i.MaxSizeHeight();
      if (i.MaxPosLeft()) mm->MaxPosition.X = i.MaxPosLeft();
      if (i.MaxPosTop()) mm->MaxPosition.Y = i.MaxPosTop();
    } else {
      mm->MaxPosition = TPoint{0, 0};
    }
    Msg.Result = 1;
  }
}

// ---- form events ----

void TFormPlacement::Loaded() {
  const bool wasLoading = ComponentState().Contains(csLoading);
  TComponent::Loaded();
  if (ComponentState().Contains(csDesigning)) return;
  if (wasLoading) HookFormEvents();
  UpdateHook();
}

void TFormPlacement::HookFormEvents() {
  TCustomForm* f = Form();
  if (!f || FEventsHooked) return;
  FEventsHooked = true;
  FSaveFormShow = f->OnShow;
  FSaveFormCloseQuery = f->OnCloseQuery;
  FSaveFormDestroy = f->OnDestroy;
  f->OnShow = [this](TObject* S) { FormShow(S); };
  f->OnCloseQuery = [this](TObject* S, bool& C) { FormCloseQuery(S, C); };
  f->OnDestroy = [this](TObject* S) { FormDestroy(S); };
  FDefMaximize = f->BorderIcons().Contains(biMaximize);
  if (FPreventResize) ApplyPreventResize();
}

void TFormPlacement::UnhookFormEvents() {
  TCustomForm* f = Form();
  if (!f || !FEventsHooked) return;
  FEventsHooked = false;
  f->OnShow = FSaveFormShow;
  f->OnCloseQuery = FSaveFormCloseQuery;
  f->OnDestroy = FSaveFormDestroy;
}

void TFormPlacement::FormShow(TObject* Sender) {
  if (FActive) {
    try {
      RestoreFormPlacement();
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
  }
  if (FSaveFormShow) FSaveFormShow(Sender);
}

void TFormPlacement::FormCloseQuery(TObject* Sender, bool& CanClose) {
  if (FSaveFormCloseQuery) FSaveFormCloseQuery(Sender, CanClose);
  if (CanClose && FActive && Form() && Form()->HandleAllocated()) {
    try {
      SaveFormPlacement();
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
  }
}

void TFormPlacement::FormDestroy(TObject* Sender) {
  if (FActive && !FSaved) {
    FDestroying = true;
    try {
      SaveFormPlacement();
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
    FDestroying = false;
  }
  if (FSaveFormDestroy) FSaveFormDestroy(Sender);
}

// ---- save and restore ----

void TFormPlacement::DoSave() {
  if (OnSavePlacement) OnSavePlacement(this);
}

void TFormPlacement::DoRestore() {
  if (OnRestorePlacement) OnRestorePlacement(this);
}

void TFormPlacement::SaveFormPlacement() {
  // A form whose settings were never read must not overwrite them.
  if (!FRestored && FActive) return;
  OpenStorage(false);
  try {
    WriteInteger("FormVersion", FVersion);
    StorePlacement();
    DoSave();
    FSaved = true;
  } catch (...) {
    FStore.reset();
    throw;
  }
  CloseStorage();
}

void TFormPlacement::RestoreFormPlacement() {
  FSaved = false;
  OpenStorage(true);
  try {
    if (ReadInteger("FormVersion", 0) >= FVersion) {
      LoadPlacement();
      FRestored = true;
      DoRestore();
      if (FOptions.Contains(fpActiveControl)) {
        if (TCustomForm* f = Form()) {
          const std::string name = ReadString("ActiveControl", "");
          auto* c = dynamic_cast<TWinControl*>(name.empty() ? nullptr : f->FindComponent(name));
          if (c && c->CanFocus()) f->SetActiveControl(c);
        }
      }
    }
    FRestored = true;
  } catch (...) {
    FStore.reset();
    FRestored = true;
    throw;
  }
  CloseStorage();
  AdjustMaximizedPosition();
}

void TFormPlacement::StorePlacement() {
  if (TCustomForm* f = Form()) {
    if (FOptions.Contains(fpState) || FOptions.Contains(fpPosition)) {
      WritePlacement();
      WriteString("Visible", FDestroying ? "1" : "0");
    }
    if (FOptions.Contains(fpActiveControl) && f->ActiveControl()) WriteString("ActiveControl", f->ActiveControl()->Name());
  }
  for (TIniLink* l : std::vector<TIniLink*>(FLinks)) l->SaveToStorage();
}

void TFormPlacement::LoadPlacement() {
  if (Form()) ReadPlacement(FOptions.Contains(fpPosition), FOptions.Contains(fpState));
  for (TIniLink* l : std::vector<TIniLink*>(FLinks)) l->LoadFromStorage();
}

TWindowPlacement TFormPlacement::CurrentPlacement() const {
  TCustomForm* f = Form();
  TWindowPlacement p;
  p.MinPosition = FMinPos;
  p.MaxPosition = FMaxPos;
  p.NormalPosition = f->BoundsRect();
  if (!f->Visible()) p.ShowCmd = SW_HIDE;
  else if (f->WindowState() == wsMinimized) p.ShowCmd = SW_SHOWMINIMIZED;
  else if (f->WindowState() == wsMaximized) p.ShowCmd = SW_SHOWMAXIMIZED;
  else p.ShowCmd = SW_SHOWNORMAL;
  return p;
}

void TFormPlacement::ApplyPlacement(const TWindowPlacement& P) {
  FMinPos = P.MinPosition;
  FMaxPos = P.MaxPosition;
  // A placement saved on a screen that is gone comes back onto one that is there.
  Form()->SetBoundsRect(BringOntoMonitor(P.NormalPosition));
}

void TFormPlacement::WritePlacement() {
  TCustomForm* f = Form();
  TWindowPlacement p = CurrentPlacement();
  if (f->FormStyle() == fsMDIChild && f->WindowState() == wsMinimized) p.Flags |= WPF_SETMINPOSITION;
  if (Application && Application->MainForm() == f && f->WindowState() == wsMinimized) p.ShowCmd = SW_SHOWMINIMIZED;
  WriteInteger("Flags", static_cast<int32_t>(p.Flags));
  WriteInteger("ShowCmd", p.ShowCmd);
  WriteInteger("PixelsPerInch", Screen->PixelsPerInch());
  const std::string minMax = PosText(p.MinPosition.X, p.MinPosition.Y, p.MaxPosition.X, p.MaxPosition.Y);
  const std::string norm = PosText(p.NormalPosition.Left, p.NormalPosition.Top, p.NormalPosition.Right,
                                   p.NormalPosition.Bottom);
  const std::string suffix = ScreenSuffix();
  WriteString("MinMaxPos" + suffix, minMax);
  WriteString("MinMaxPos", minMax);
  WriteString("NormPos" + suffix, norm);
  WriteString("NormPos", norm);
}

void TFormPlacement::ReadPlacement(bool RestorePosition, bool RestoreState) {
  if (!RestorePosition && !RestoreState) return;
  TCustomForm* f = Form();
  TWindowPlacement p = CurrentPlacement();
  if (RestorePosition) {
    p.Flags = static_cast<uint32_t>(ReadInteger("Flags", static_cast<int32_t>(p.Flags)));
    const std::string suffix = ScreenSuffix();
    std::string minMax = ReadString("MinMaxPos" + suffix, "");
    if (minMax.empty()) minMax = ReadString("MinMaxPos", "");
    std::string norm = ReadString("NormPos" + suffix, "");
    if (norm.empty()) norm = ReadString("NormPos", "");
    const int32_t ppi = ReadInteger("PixelsPerInch", Screen->PixelsPerInch());
    auto word = [](const std::string& S, int32_t N, int32_t Def) {
      return StrToIntDef(GetWord(N, S, WordDelims), Def);
    };
    if ((!minMax.empty() || !norm.empty()) && ppi == Screen->PixelsPerInch()) {
      p.MinPosition = TPoint{word(minMax, 1, 0), word(minMax, 2, 0)};
      p.MaxPosition = TPoint{word(minMax, 3, 0), word(minMax, 4, 0)};
      TRect& n = p.NormalPosition;
      n = Rect(word(norm, 1, f->Left()), word(norm, 2, f->Top()), word(norm, 3, f->Left() + f->Width()),
               word(norm, 4, f->Top() + f->Height()));
      if (f->BorderStyle() != bsSizeable && f->BorderStyle() != bsSizeToolWin)
        n = Bounds(n.Left, n.Top, f->Width(), f->Height());
      if (n.Left < n.Right) {
        if (f->Position() == poScreenCenter || f->Position() == poDesktopCenter) f->SetPosition(poDesigned);
        ApplyPlacement(p);
      }
    }
  }
  if (RestoreState) {
    const bool isMain = !Application || !Application->MainForm() || Application->MainForm() == f;
    TWindowState state = wsNormal;
    if (isMain && (f->FormStyle() == fsMDIForm || (f->FormStyle() == fsNormal && f->Position() == poDefault)))
      state = wsMaximized;
    switch (ReadInteger("ShowCmd", 0)) {
      case SW_SHOWNORMAL:
      case SW_SHOW:
      case SW_RESTORE: state = wsNormal; break;
      case SW_SHOWMINIMIZED:
      case SW_MINIMIZE:
      case SW_SHOWMINNOACTIVE: state = wsMinimized; break;
      case SW_SHOWMAXIMIZED: state = wsMaximized; break;
      default: break;
    }
    if (state == wsMinimized && isMain) {
      f->SetWindowState(wsNormal);
      if (Application) Application->Minimize();
      return;
    }
    f->SetWindowState(state);
  }
  f->Update();
}

const TPropertyTable& TFormPlacement::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TFormPlacement>(TComponent::PropertyTable(), [](auto& p) {
    p.Bool("Active", &TFormPlacement::Active, &TFormPlacement::SetActive);
    p.String("IniFileName", &TFormPlacement::IniFileName, &TFormPlacement::SetIniFileName);
    p.String("IniSection", &TFormPlacement::IniSectionValue, &TFormPlacement::SetIniSection);
    p.Object("MinMaxInfo", [](const TFormPlacement& o) { return const_cast<TFormPlacement&>(o).MinMaxInfo(); },
             &TFormPlacement::SetMinMaxInfo);
    p.Set("Options", &TFormPlacement::Options, &TFormPlacement::SetOptions,
          {"fpState", "fpPosition", "fpActiveControl"});
    p.Bool("PreventResize", &TFormPlacement::PreventResize, &TFormPlacement::SetPreventResize);
    p.Enum("RegistryRoot", &TFormPlacement::RegistryRoot, &TFormPlacement::SetRegistryRoot,
           {"prCurrentUser", "prLocalMachine", "prCurrentConfig", "prClassesRoot", "prUsers", "prDynData"});
    p.Bool("UseRegistry", &TFormPlacement::UseRegistry, &TFormPlacement::SetUseRegistry);
    p.Integer("Version", &TFormPlacement::Version, &TFormPlacement::SetVersion);
    p.Method("OnSavePlacement").Method("OnRestorePlacement");
  });
  return table;
}

// ---- grids ----

void SaveGridColumnWidths(const TColumnWidths& Grid, TCustomIniFile& Store, const std::string& Section) {
  for (int32_t i = 0; i < Grid.ColCount(); ++i) Store.WriteInteger(Section, "Item" + IntToStr(i), Grid.ColWidth(i));
}

void RestoreGridColumnWidths(TColumnWidths& Grid, TCustomIniFile& Store, const std::string& Section) {
  for (int32_t i = 0; i < Grid.ColCount(); ++i)
    Grid.SetColWidth(i, Store.ReadInteger(Section, "Item" + IntToStr(i), Grid.ColWidth(i)));
}

}  // namespace kv

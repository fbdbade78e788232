// Per-user storage of a form's window placement, chosen published properties
// of its controls and named values, in the registry or an INI file.
//
// TFormPlacement keeps the window part; TFormStorage adds StoredProps and
// StoredValues; a TIniLink lets another component (a speed bar, a grid) save
// its own layout into the same section at the same moments. A form built in
// code makes its storage, sets its handlers and options, and then calls the
// storage's Loaded() between BeginLoading() and the end of its construction,
// which chains the storage to the form's OnShow, OnCloseQuery and OnDestroy:
// shown, the form is restored; closed or freed, it is saved.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/window_hook.h"
#include "platform/rtl/collection.h"
#include "platform/rtl/set.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"
#include "platform/system/ini_file.h"
#include "platform/ui/forms.h"

namespace kv {

enum TPlacementOption : uint8_t { fpState, fpPosition, fpActiveControl };
using TPlacementOptions = TSet<TPlacementOption, 8>;
enum TPlacementRegRoot : uint8_t { prCurrentUser, prLocalMachine, prCurrentConfig, prClassesRoot, prUsers, prDynData };

// Window placement as the window system reports it.
constexpr uint32_t WPF_SETMINPOSITION = 1;
constexpr int32_t SW_HIDE = 0;
constexpr int32_t SW_SHOWNORMAL = 1;
constexpr int32_t SW_SHOWMINIMIZED = 2;
constexpr int32_t SW_SHOWMAXIMIZED = 3;
constexpr int32_t SW_SHOW = 5;
constexpr int32_t SW_MINIMIZE = 6;
constexpr int32_t SW_SHOWMINNOACTIVE = 7;
constexpr int32_t SW_RESTORE = 9;
struct TWindowPlacement {
  uint32_t Flags = 0;
  int32_t ShowCmd = SW_SHOWNORMAL;
  TPoint MinPosition{-1, -1};
  TPoint MaxPosition{-1, -1};
  TRect NormalPosition;
};

// WM_GETMINMAXINFO: LParam points at this record.
struct TMinMaxInfoRecord {
  TPoint Reserved;
  TPoint MaxSize;
  TPoint MaxPosition;
  TPoint MinTrackSize;
  TPoint MaxTrackSize;
};
constexpr LRESULT HTNOWHERE = 0;
constexpr LRESULT HTLEFT = 10;
constexpr LRESULT HTBOTTOMRIGHT = 17;

class TFormPlacement;
class TFormStorage;

// Tracking and maximise limits imposed on the form; empty when all are 0.
class TWinMinMaxInfo : public TPersistent {
 public:
  explicit TWinMinMaxInfo(TFormPlacement* Owner = nullptr) : FOwner(Owner) {}
  int32_t MaxPosLeft() const { return FValues[0]; }
  int32_t MaxPosTop() const { return FValues[1]; }
  int32_t MaxSizeHeight() const { return FValues[2]; }
  int32_t MaxSizeWidth() const { return FValues[3]; }
  int32_t MaxTrackHeight() const { return FValues[4]; }
  int32_t MaxTrackWidth() const { return FValues[5]; }
  int32_t MinTrackHeight() const { return FValues[6]; }
  int32_t MinTrackWidth() const { return FValues[7]; }
  int32_t Value(int32_t Index) const { return FValues[size_t(Index)]; }
  void SetValue(int32_t Index, int32_t Value);
  bool DefaultMinMaxInfo() const;
  void Assign(const TPersistent* Source) override;
  const TPropertyTable& PropertyTable() const override;

 private:
  TFormPlacement* FOwner;
  int32_t FValues[8] = {};
};

// How a component stores its own layout in a placement's store.
class TIniLink : public TPersistent {
 public:
  TIniLink() = default;
  ~TIniLink() override;
  TFormPlacement* Storage() const { return FStorage; }
  void SetStorage(TFormPlacement* Value);
  // The storage's IniSection as set, with "\" behind it when not empty.
  std::string BaseSection() const;
  // The open store, or nullptr outside a save or restore.
  TCustomIniFile* StorageObject() const;
  virtual void SaveToStorage();
  virtual void LoadFromStorage();

  TNotifyEvent OnSave;
  TNotifyEvent OnLoad;

 private:
  TFormPlacement* FStorage = nullptr;
};

class TFormPlacement : public TComponent {
 public:
  explicit TFormPlacement(TComponent* AOwner);
  ~TFormPlacement() override;

  bool Active() const { return FActive; }
  void SetActive(bool Value) { FActive = Value; }
  const std::string& IniFileName() const { return FIniFileName; }
  void SetIniFileName(const std::string& Value) { FIniFileName = Value; }
  // The section as set (may be empty); IniSection() gives the one in use.
  const std::string& IniSectionValue() const { return FIniSection; }
  std::string IniSection() const;
  void SetIniSection(const std::string& Value) { FIniSection = Value; }
  TWinMinMaxInfo* MinMaxInfo() { return &FMinMaxInfo; }
  void SetMinMaxInfo(TWinMinMaxInfo* Value) { FMinMaxInfo.Assign(Value); }
  TPlacementOptions Options() const { return FOptions; }
  void SetOptions(TPlacementOptions Value) { FOptions = Value; }
  bool PreventResize() const { return FPreventResize; }
  void SetPreventResize(bool Value);
  TPlacementRegRoot RegistryRoot() const { return FRegistryRoot; }
  void SetRegistryRoot(TPlacementRegRoot Value) { FRegistryRoot = Value; }
  bool UseRegistry() const { return FUseRegistry; }
  void SetUseRegistry(bool Value) { FUseRegistry = Value; }
  int32_t Version() const { return FVersion; }
  void SetVersion(int32_t Value) { FVersion = Value; }

  TNotifyEvent OnSavePlacement;
  TNotifyEvent OnRestorePlacement;

  void SaveFormPlacement();
  void RestoreFormPlacement();
  std::string ReadString(const std::string& Ident, const std::string& Default);
  void WriteString(const std::string& Ident, const std::string& Value);
  int32_t ReadInteger(const std::string& Ident, int32_t Default);
  void WriteInteger(const std::string& Ident, int32_t Value);
  virtual std::string ReadSectionString(const std::string& Section, const std::string& Ident,
                                        const std::string& Default);
  virtual void WriteSectionString(const std::string& Section, const std::string& Ident, const std::string& Value);

  // The store stays open until CloseStorage (nested opens do nothing).
  void OpenStorage(bool ReadOnly = false);
  // Writes what is pending (a failure raises) and frees the store.
  void CloseStorage();
  TCustomIniFile* StorageObject() const { return FStore.get(); }
  // The registry key or INI file name in use.
  std::string StorageName() const;

  void AddLink(TIniLink* Link);
  void RemoveLink(TIniLink* Link);
  void MinMaxInfoChanged();
  bool Saved() const { return FSaved; }
  bool Restored() const { return FRestored; }

  // Process-wide settings behind the default registry key.
  static std::string& CompanyName();
  static bool& UseAppTitle();

  void Loaded() override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  virtual void StorePlacement();
  virtual void LoadPlacement();
  virtual void HookFormEvents();
  virtual void UnhookFormEvents();
  virtual void DoSave();
  virtual void DoRestore();
  TCustomForm* Form() const;
  // The form's handlers, for TFormStorage and subclasses.
  void FormShow(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormDestroy(TObject* Sender);

  bool FSaved = false;
  bool FRestored = false;
  bool FDestroying = false;
  bool FDefMaximize = false;

 private:
  void HookedMessage(TObject* Sender, TMessage& Msg, bool& Handled);
  void UpdateHook();
  void ApplyPreventResize();
  void AdjustMaximizedPosition();
  void WritePlacement();
  void ReadPlacement(bool RestorePosition, bool RestoreState);
  TWindowPlacement CurrentPlacement() const;
  void ApplyPlacement(const TWindowPlacement& P);

  std::string DefaultSection() const;

  bool FActive = true;
  mutable std::string FDefaultSection;
  std::string FIniFileName;
  std::string FIniSection;
  TWinMinMaxInfo FMinMaxInfo{this};
  TPlacementOptions FOptions;
  bool FPreventResize = false;
  TPlacementRegRoot FRegistryRoot = prCurrentUser;
  bool FUseRegistry = false;
  int32_t FVersion = 0;

  std::unique_ptr<TCustomIniFile> FStore;
  std::vector<TIniLink*> FLinks;
  TKvWindowHook* FHook = nullptr;
  bool FEventsHooked = false;
  TNotifyEvent FSaveFormShow;
  TCloseQueryEvent FSaveFormCloseQuery;
  TNotifyEvent FSaveFormDestroy;
  // Minimised and maximised positions of the form's placement (ours to keep).
  TPoint FMinPos{-1, -1};
  TPoint FMaxPos{-1, -1};
};

using TStoredValueEvent = std::function<void(TObject* Sender, TVariant& Value)>;

class TStoredValues;

class TStoredValue : public TCollectionItem {
 public:
  explicit TStoredValue(TCollection* Collection);
  const std::string& Name() const { return FName; }
  // Raises EStringListError "In der Stringliste sind Duplikate nicht erlaubt"
  // for a name another item has.
  void SetName(const std::string& Value);
  const TVariant& Value() const { return FValue; }
  void SetValue(const TVariant& Value) { FValue = Value; }
  TStoredValueEvent OnSave;
  TStoredValueEvent OnRestore;

  std::string DisplayName() const override;
  void SetDisplayName(const std::string& Value) override { SetName(Value); }
  void Assign(const TPersistent* Source) override;
  virtual void StoreValue();
  virtual void LoadValue();
  TFormStorage* Storage() const;
  const TPropertyTable& PropertyTable() const override;

 private:
  std::string FName;
  TVariant FValue;
};

class TStoredValues : public TOwnedCollection {
 public:
  explicit TStoredValues(TFormStorage* Storage);
  TFormStorage* Storage() const { return FStorage; }
  TStoredValue* Items(int32_t Index) const { return static_cast<TStoredValue*>(TCollection::Items(Index)); }
  TStoredValue* Add() { return static_cast<TStoredValue*>(TCollection::Add()); }
  int32_t IndexOfName(const std::string& Name) const;
  TStoredValue* FindValue(const std::string& Name) const;
  virtual void StoreAll();
  virtual void LoadAll();

 private:
  TFormStorage* FStorage;
};

class TFormStorage : public TFormPlacement {
 public:
  explicit TFormStorage(TComponent* AOwner);
  ~TFormStorage() override;

  TStrings& StoredProps() { return FStoredProps; }
  // Copies the lines with their objects and asks each component for its removal.
  void SetStoredProps(const TStrings& Value);
  TStoredValues& StoredValues() { return FStoredValues; }

  virtual void SaveStoredProps();
  virtual void RestoreStoredProps();
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Before the storage is written out: the lines follow their components' names.
  void WriteState();
  const TPropertyTable& PropertyTable() const override;

 protected:
  void StorePlacement() override;
  void LoadPlacement() override;

 private:
  TStringList FStoredProps;
  TStoredValues FStoredValues{this};
};

// Grid column widths through a link: "Item%d" per column.
class TColumnWidths {
 public:
  virtual ~TColumnWidths() = default;
  virtual int32_t ColCount() const = 0;
  virtual int32_t ColWidth(int32_t Col) const = 0;
  virtual void SetColWidth(int32_t Col, int32_t Width) = 0;
};
void SaveGridColumnWidths(const TColumnWidths& Grid, TCustomIniFile& Store, const std::string& Section);
void RestoreGridColumnWidths(TColumnWidths& Grid, TCustomIniFile& Store, const std::string& Section);

}  // namespace kv

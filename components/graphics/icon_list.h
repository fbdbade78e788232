// TIconList: a persistent list of icons that components publish and store
// with their forms. Entries may be empty (nullptr).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/icon.h"
#include "platform/rtl/component.h"
#include "platform/rtl/streams.h"

namespace kv {

class TIconList : public TPersistent {
 public:
  TIconList();
  ~TIconList() override;

  virtual void Changed();
  virtual TIcon* GetIcon(int32_t Index) const;
  virtual int32_t GetCount() const { return int32_t(FIcons.size()); }
  // Index = count appends; an empty slot gets a new icon; the icon is copied.
  virtual void SetIcon(int32_t Index, const TIcon* Icon);
  virtual int32_t Add(const TIcon* Icon);
  // Loads an icon file by name from the module's resource folder (empty Instance: the program's).
  virtual int32_t AddFromResource(const std::string& Instance, const std::string& ResName);
  virtual void Clear();
  virtual void Delete(int32_t Index);
  virtual void Exchange(int32_t Index1, int32_t Index2);
  virtual int32_t IndexOf(const TIcon* Icon) const;
  virtual void Insert(int32_t Index, const TIcon* Icon);
  virtual void InsertFromResource(int32_t Index, const std::string& Instance, const std::string& ResName);
  // A 32-bit count, then per entry a 32-bit size and that many bytes of the
  // icon file; size 0 for an empty entry.
  virtual void LoadItems(TStream& Stream);
  virtual void Move(int32_t CurIndex, int32_t NewIndex);
  virtual void SaveItems(TStream& Stream) const;

  int32_t Count() const { return GetCount(); }
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  // Whether a form must store the list, compared with its ancestor's (nullptr: none).
  bool NeedsStoring(const TIconList* Ancestor) const;

  void Assign(const TPersistent* Source) override;
  // "Icons": the stored items as hex text, so a form streams them by name.
  const TPropertyTable& PropertyTable() const override;

  TNotifyEvent OnChange;

 private:
  void CheckIndex(int32_t Index, int32_t Limit) const;
  std::unique_ptr<TIcon> Copy(const TIcon* Icon);
  std::vector<std::unique_ptr<TIcon>> FIcons;
  int32_t FUpdateCount = 0;
};

// Where AddFromResource looks for "<name>.ico" when no module is given.
extern std::string IconResourceFolder;

}  // namespace kv

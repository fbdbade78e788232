// TCollection: an owned, ordered list of items of one class whose published
// properties are stored like those of components (a form's stored values, a
// list view's columns).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/component.h"

namespace kv {

class TCollection;

class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* Collection);
  ~TCollectionItem() override;

  TCollection* Collection() const { return FCollection; }
  // Place in the collection; setting it moves the item (clamped to the list).
  int32_t Index() const;
  virtual void SetIndex(int32_t Value);
  int32_t ID() const { return FID; }
  // The item's name in lists: by default the class name.
  virtual std::string DisplayName() const;
  virtual void SetDisplayName(const std::string& Value);
  std::string GetNamePath() const override;

 protected:
  // Tells the collection that this item changed (AllItems: the whole list did).
  void Changed(bool AllItems);
  TPersistent* GetOwner() const override;

 private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  int32_t FID = 0;
};

class TCollection : public TPersistent {
 public:
  using TItemFactory = std::function<TCollectionItem*(TCollection*)>;
  // Factory makes one item of the collection's item class inside the collection.
  TCollection(std::string ItemClassName, TItemFactory Factory);
  ~TCollection() override;

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // EListError for a bad index.
  TCollectionItem* Items(int32_t Index) const;
  TCollectionItem* Add();
  TCollectionItem* Insert(int32_t Index);
  void Delete(int32_t Index);
  void Clear();
  TCollectionItem* FindItemID(int32_t ID) const;
  const std::string& ItemClassName() const { return FItemClassName; }

  void BeginUpdate();
  void EndUpdate();
  int32_t UpdateCount() const { return FUpdateCount; }

  // Copies the items of another collection (item by item through Assign).
  void Assign(const TPersistent* Source) override;
  std::string GetNamePath() const override;

  // Raised after a change when no update is running (nullptr: many items).
  std::function<void(TCollection* Sender, TCollectionItem* Item)> OnUpdate;

 protected:
  virtual void Update(TCollectionItem* Item);
  void Changed();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item);
  void RemoveItem(TCollectionItem* Item);
  void MoveItem(TCollectionItem* Item, int32_t NewIndex);

  std::string FItemClassName;
  TItemFactory FFactory;
  std::vector<TCollectionItem*> FItems;
  int32_t FNextID = 0;
  int32_t FUpdateCount = 0;
};

// A collection with an owner (the owner's name path leads to it).
class TOwnedCollection : public TCollection {
 public:
  TOwnedCollection(TPersistent* AOwner, std::string ItemClassName, TItemFactory Factory)
      : TCollection(std::move(ItemClassName), std::move(Factory)), FOwner(AOwner) {}
  TPersistent* Owner() const { return FOwner; }

 protected:
  TPersistent* GetOwner() const override { return FOwner; }

 private:
  TPersistent* FOwner;
};

}  // namespace kv

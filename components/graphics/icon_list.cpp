#include "components/graphics/icon_list.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace kv {

std::string IconResourceFolder;

TIconList::TIconList() = default;
TIconList::~TIconList() = default;

void TIconList::CheckIndex(int32_t Index, int32_t Limit) const {
  if (Index < 0 || Index > Limit) throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
}

void TIconList::Changed() {
  if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TIconList::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

std::unique_ptr<TIcon> TIconList::Copy(const TIcon* Icon) {
  if (!Icon) return nullptr;
  auto c = std::make_unique<TIcon>();
  c->Assign(Icon);
  c->OnChange = [this](TObject*) { Changed(); };  // editing an icon changes the list
  return c;
}

TIcon* TIconList::GetIcon(int32_t Index) const {
  CheckIndex(Index, GetCount() - 1);
  return FIcons[size_t(Index)].get();
}

void TIconList::SetIcon(int32_t Index, const TIcon* Icon) {
  CheckIndex(Index, GetCount());
  if (Index == GetCount()) FIcons.push_back(nullptr);
  auto& slot = FIcons[size_t(Index)];
  if (!slot) {
    slot = std::make_unique<TIcon>();
    slot->OnChange = [this](TObject*) { Changed(); };
  }
  slot->Assign(Icon);
  Changed();
}

int32_t TIconList::Add(const TIcon* Icon) {
  Insert(GetCount(), Icon);
  return GetCount() - 1;
}

void TIconList::Insert(int32_t Index, const TIcon* Icon) {
  CheckIndex(Index, GetCount());
  FIcons.insert(FIcons.begin() + Index, Copy(Icon));
  Changed();
}

int32_t TIconList::AddFromResource(const std::string& Instance, const std::string& ResName) {
  InsertFromResource(GetCount(), Instance, ResName);
  return GetCount() - 1;
}

void TIconList::InsertFromResource(int32_t Index, const std::string& Instance, const std::string& ResName) {
  const std::string folder = Instance.empty() ? IconResourceFolder : Instance;
  TIcon icon;
  icon.LoadFromFile((folder.empty() ? std::string() : folder + "/") + ResName + ".ico");
  Insert(Index, &icon);
}

void TIconList::Clear() {
  BeginUpdate();
  for (int32_t i = GetCount() - 1; i >= 0; --i) Delete(i);
  EndUpdate();
}

void TIconList::Delete(int32_t Index) {
  CheckIndex(Index, GetCount() - 1);
  FIcons.erase(FIcons.begin() + Index);
  Changed();
}

void TIconList::Exchange(int32_t Index1, int32_t Index2) {
  CheckIndex(Index1, GetCount() - 1);
  CheckIndex(Index2, GetCount() - 1);
  std::swap(FIcons[size_t(Index1)], FIcons[size_t(Index2)]);
  Changed();
}

void TIconList::Move(int32_t CurIndex, int32_t NewIndex) {
  if (CurIndex == NewIndex) return;
  CheckIndex(CurIndex, GetCount() - 1);
  CheckIndex(NewIndex, GetCount() - 1);
  auto icon = std::move(FIcons[size_t(CurIndex)]);
  FIcons.erase(FIcons.begin() + CurIndex);
  FIcons.insert(FIcons.begin() + NewIndex, std::move(icon));
  Changed();
}

int32_t TIconList::IndexOf(const TIcon* Icon) const {
  for (size_t i = 0; i < FIcons.size(); ++i)
    if (FIcons[i].get() == Icon) return int32_t(i);
  return -1;
}

void TIconList::SaveItems(TStream& Stream) const {
  auto put32 = [&](uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    Stream.WriteBuffer(b, 4);
  };
  put32(uint32_t(FIcons.size()));
  for (const auto& icon : FIcons) {
    TMemoryStream s;
    if (icon && !icon->Empty()) icon->SaveToStream(s);
    put32(uint32_t(s.Size()));
    if (s.Size()) Stream.WriteBuffer(s.Memory(), int32_t(s.Size()));
  }
}

void TIconList::LoadItems(TStream& Stream) {
  auto get32 = [&] {
    uint8_t b[4];
    Stream.ReadBuffer(b, 4);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
  };
  const uint32_t count = get32();
  // Each entry needs its size field at least.
  if (uint64_t(count) * 4 > uint64_t(Stream.Size() - Stream.Position())) throw EReadError("Unerwartetes Dateiende");
  BeginUpdate();
  try {
    FIcons.clear();
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t size = get32();
      if (size == 0) {
        FIcons.push_back(nullptr);
        continue;
      }
      if (int64_t(size) > Stream.Size() - Stream.Position()) throw EReadError("Unerwartetes Dateiende");
      std::vector<uint8_t> data(size);
      Stream.ReadBuffer(data.data(), int32_t(size));
      auto icon = std::make_unique<TIcon>();
      TReadOnlyMemoryStream s(data.data(), int64_t(size));
      icon->LoadFromStream(s);  // a half-made icon is freed by its owner pointer
      icon->OnChange = [this](TObject*) { Changed(); };
      FIcons.push_back(std::move(icon));
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

bool TIconList::NeedsStoring(const TIconList* Ancestor) const {
  if (!Ancestor) return GetCount() > 0;
  if (Ancestor->GetCount() != GetCount()) return true;
  for (int32_t i = 0; i < GetCount(); ++i)
    if (Ancestor->FIcons[size_t(i)].get() != FIcons[size_t(i)].get()) return true;
  return false;
}

void TIconList::Assign(const TPersistent* Source) {
  if (!Source) {
    Clear();
    return;
  }
  if (const auto* l = dynamic_cast<const TIconList*>(Source)) {
    if (l == this) return;
    BeginUpdate();
    std::vector<std::unique_ptr<TIcon>> copies;
    for (const auto& i : l->FIcons) copies.push_back(Copy(i.get()));
    FIcons = std::move(copies);
    Changed();
    EndUpdate();
    return;
  }
  if (const auto* icon = dynamic_cast<const TIcon*>(Source)) {
    BeginUpdate();
    FIcons.clear();
    FIcons.push_back(Copy(icon));
    Changed();
    EndUpdate();
    return;
  }
  TPersistent::Assign(Source);
}

const TPropertyTable& TIconList::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TIconList>(TPersistent::PropertyTable(), [](auto& p) {
    p.String(
        "Icons",
        [](const TIconList& l) {
          TMemoryStream s;
          l.SaveItems(s);
          static const char kHex[] = "0123456789ABCDEF";
          std::string out;
          const uint8_t* m = static_cast<const uint8_t*>(s.Memory());
          for (int64_t i = 0; i < s.Size(); ++i) (out += kHex[m[i] >> 4]) += kHex[m[i] & 15];
          return out;
        },
        [](TIconList& l, const std::string& text) {
          std::vector<uint8_t> bytes;
          auto nib = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            throw EReadError("Unerwartetes Dateiende");
          };
          if (text.size() % 2) throw EReadError("Unerwartetes Dateiende");
          for (size_t i = 0; i + 1 < text.size(); i += 2) bytes.push_back(uint8_t(nib(text[i]) * 16 + nib(text[i + 1])));
          if (bytes.empty()) {
            l.Clear();
            return;
          }
          TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
          l.LoadItems(s);
        });
  });
  return table;
}

}  // namespace kv

#include "imaging/model/marker_list.h"

#include <string>

#include "platform/rtl/exceptions.h"

namespace kv {

std::unique_ptr<TMemoryStream> TIMMarkerList::NewData(const void* Data, int32_t Length) {
  if (Length < 0 || Length > MaxMarkerLength)
    throw EListError("JPEG marker data too long (" + std::to_string(Length) + " bytes, at most " +
                     std::to_string(MaxMarkerLength) + ")");
  if (Length > 0 && !Data) throw EListError("JPEG marker data missing");
  auto s = std::make_unique<TMemoryStream>();
  s->WriteBuffer(Data, Length);
  s->SetPosition(0);
  return s;
}

void TIMMarkerList::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("JPEG marker index out of bounds (" + std::to_string(Index) + ")");
}

uint8_t* TIMMarkerList::MarkerData(int32_t Index) const {
  CheckIndex(Index);
  return static_cast<uint8_t*>(FData[size_t(Index)]->Memory());
}

uint8_t TIMMarkerList::MarkerType(int32_t Index) const {
  CheckIndex(Index);
  return FTypes[size_t(Index)];
}

int32_t TIMMarkerList::MarkerLength(int32_t Index) const {
  CheckIndex(Index);
  return int32_t(FData[size_t(Index)]->Size());
}

int32_t TIMMarkerList::IndexOf(uint8_t MarkerType) const {
  for (size_t i = 0; i < FTypes.size(); ++i)
    if (FTypes[i] == MarkerType) return int32_t(i);
  return -1;
}

int32_t TIMMarkerList::AddMarker(uint8_t MarkerType, const void* Data, int32_t Length) {
  auto s = NewData(Data, Length);
  FTypes.reserve(FTypes.size() + 1);  // so that the second push_back cannot fail and leave the lists uneven
  FData.push_back(std::move(s));
  FTypes.push_back(MarkerType);
  return Count() - 1;
}

void TIMMarkerList::SetMarker(int32_t Index, uint8_t MarkerType, int32_t Length, const void* Data) {
  CheckIndex(Index);
  FData[size_t(Index)] = NewData(Data, Length);
  FTypes[size_t(Index)] = MarkerType;
}

void TIMMarkerList::Clear() {
  FData.clear();
  FTypes.clear();
}

void TIMMarkerList::Assign(const TIMMarkerList* Source) {
  if (!Source || Source == this) return;
  Clear();
  for (int32_t i = 0; i < Source->Count(); ++i)
    AddMarker(Source->FTypes[size_t(i)], Source->MarkerData(i), Source->MarkerLength(i));
}

}  // namespace kv

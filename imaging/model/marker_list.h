// JPEG marker segments (APPn, COM and others) kept with their type byte, the
// byte after 0xFF, so that a JPEG read and written again keeps them. Each
// marker's data is the segment's bytes without marker and length.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/streams.h"

namespace kv {

class TIMMarkerList : public TObject {
 public:
  // A segment's length field is 16 bits and counts its own two bytes.
  static constexpr int32_t MaxMarkerLength = 65533;

  TIMMarkerList() = default;

  int32_t Count() const { return int32_t(FData.size()); }
  // Index outside 0..Count-1 raises EListError.
  uint8_t* MarkerData(int32_t Index) const;  // nullptr for an empty marker
  uint8_t MarkerType(int32_t Index) const;
  int32_t MarkerLength(int32_t Index) const;
  int32_t IndexOf(uint8_t MarkerType) const;  // first match, -1 if none

  // Appends a copy of Length bytes; returns the new index. Data that no
  // segment can hold (Length outside 0..MaxMarkerLength) raises EListError and
  // leaves the list as it was: it is never cut short.
  int32_t AddMarker(uint8_t MarkerType, const void* Data, int32_t Length);
  // Replaces marker Index with a copy; same refusal as AddMarker.
  void SetMarker(int32_t Index, uint8_t MarkerType, int32_t Length, const void* Data);
  void Clear();
  // Clear, then copies of the source's markers in order; nullptr does nothing.
  void Assign(const TIMMarkerList* Source);

 private:
  static std::unique_ptr<TMemoryStream> NewData(const void* Data, int32_t Length);
  void CheckIndex(int32_t Index) const;

  std::vector<std::unique_ptr<TMemoryStream>> FData;
  std::vector<uint8_t> FTypes;  // parallel to FData
};

}  // namespace kv

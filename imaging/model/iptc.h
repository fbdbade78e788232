// IPTC records of an image and their resource block, the bytes a JPEG file
// carries in its APP13 segment:
//
//   "Photoshop 3.0\0" "8BIM" 04 04 00 00 <data size, 4 bytes big-endian>
//   records: 1C <record> <dataset> <length: 2 bytes big-endian, or for 32768
//            and more 80 04 and 4 bytes big-endian> <data>
//   one 0 byte when the block would otherwise have an odd length
//
// The record version (record 2, dataset 0) is never written.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/rtl/object.h"

namespace kv {

class TIMIPTCInfoList : public TObject {
 public:
  TIMIPTCInfoList() = default;

  int32_t Count() const { return int32_t(FItems.size()); }
  // Index outside 0..Count-1 raises EListError.
  int32_t RecordNumber(int32_t Index) const;
  int32_t DatasetNumber(int32_t Index) const;
  int32_t DataLength(int32_t Index) const;
  const uint8_t* Data(int32_t Index) const;  // nullptr for an empty record

  // Copies Length bytes of Data and appends the record; returns its index.
  // Record or dataset outside 0..255 (they are stored as one byte each), a
  // negative Length or nullptr data with a positive Length raise EListError.
  int32_t AddItem(int32_t RecordNumber, int32_t DatasetNumber, int32_t Length, const void* Data);
  void Clear();
  // Clear, then copies of the source's records in order; nullptr does nothing.
  void Assign(const TIMIPTCInfoList* Source);

  // A block larger than MaxInt bytes raises EListError.
  std::vector<uint8_t> SaveToBuffer() const;
  // Clear, then the records of the block; a record that runs past the end
  // ends the parse with the records before it. Leaves UserChanged false.
  void LoadFromBuffer(const void* Buffer, int32_t Length);

  // Set by every edit (add, clear, assign), cleared by a load: the JPEG
  // writer packs the list into APP13 only when the user changed it.
  bool UserChanged() const { return FUserChanged; }

 private:
  struct TIPTCRecord {
    int32_t RecordNumber = 0;
    int32_t DatasetNumber = 0;
    std::vector<uint8_t> Data;
  };
  const TIPTCRecord& Item(int32_t Index) const;

  std::vector<TIPTCRecord> FItems;
  bool FUserChanged = false;
};

}  // namespace kv

#include "imaging/model/iptc.h"

#include <cstring>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/types.h"

namespace kv {

namespace {

constexpr uint8_t kTagMarker = 0x1C;
constexpr int32_t kHeaderSize = 26;
constexpr char kSignature[] = "Photoshop 3.0";  // with its terminating 0: 14 bytes
constexpr size_t kSignatureSize = sizeof kSignature;
constexpr uint16_t kIptcResourceId = 0x0404;
constexpr size_t kLongLength = 0x8000;  // from here on the 4-byte extended length

// The record version (2:0) is the writer's business: it is never saved.
bool IsVersionRecord(int32_t Record, int32_t Dataset) { return Record == 2 && Dataset == 0; }

uint32_t GetBE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void PutBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

constexpr int64_t kNoResource = -1;  // not a resource block we can walk: scan for the first record
constexpr int64_t kNoIptc = -2;      // a well-formed resource block without IPTC records

// Where the records of the IPTC resource begin. The data size of our own
// header may itself hold a 0x1C byte, and other resources may hold any bytes,
// so a block that starts with the signature is walked resource by resource
// rather than scanned for the first tag marker.
int64_t FindIptcResource(const uint8_t* b, int64_t len) {
  if (len < int64_t(kSignatureSize) || std::memcmp(b, kSignature, kSignatureSize) != 0) return kNoResource;
  int64_t pos = kSignatureSize;
  while (pos + 7 <= len && std::memcmp(b + pos, "8BIM", 4) == 0) {
    const uint16_t id = uint16_t((b[pos + 4] << 8) | b[pos + 5]);
    // Pascal-string name, padded with its length byte to an even size.
    int64_t p = pos + 6 + ((int64_t(b[pos + 6]) + 2) & ~int64_t(1));
    if (p + 4 > len) return kNoResource;
    const int64_t size = GetBE32(b + p);
    p += 4;
    if (id == kIptcResourceId) return p;
    pos = p + size + (size & 1);
  }
  // Walked to the end (a pad byte may be left over): there is no IPTC resource.
  return pos >= len - 1 ? kNoIptc : kNoResource;
}

}  // namespace

const TIMIPTCInfoList::TIPTCRecord& TIMIPTCInfoList::Item(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("IPTC record index out of bounds (" + std::to_string(Index) + ")");
  return FItems[size_t(Index)];
}

int32_t TIMIPTCInfoList::RecordNumber(int32_t Index) const { return Item(Index).RecordNumber; }
int32_t TIMIPTCInfoList::DatasetNumber(int32_t Index) const { return Item(Index).DatasetNumber; }
int32_t TIMIPTCInfoList::DataLength(int32_t Index) const { return int32_t(Item(Index).Data.size()); }

const uint8_t* TIMIPTCInfoList::Data(int32_t Index) const {
  const auto& d = Item(Index).Data;
  return d.empty() ? nullptr : d.data();
}

int32_t TIMIPTCInfoList::AddItem(int32_t RecordNumber, int32_t DatasetNumber, int32_t Length,
                                 const void* Data) {
  if (RecordNumber < 0 || RecordNumber > 255 || DatasetNumber < 0 || DatasetNumber > 255)
    throw EListError("Invalid IPTC record " + std::to_string(RecordNumber) + ":" +
                     std::to_string(DatasetNumber));
  if (Length < 0 || (Length > 0 && !Data))
    throw EListError("Invalid IPTC data length (" + std::to_string(Length) + ")");
  const auto* p = static_cast<const uint8_t*>(Data);
  FItems.push_back({RecordNumber, DatasetNumber, std::vector<uint8_t>(p, p + Length)});
  FUserChanged = true;
  return Count() - 1;
}

void TIMIPTCInfoList::Clear() {
  FItems.clear();
  FUserChanged = true;
}

void TIMIPTCInfoList::Assign(const TIMIPTCInfoList* Source) {
  if (!Source) return;
  if (Source != this) FItems = Source->FItems;
  FUserChanged = true;
}

std::vector<uint8_t> TIMIPTCInfoList::SaveToBuffer() const {
  int64_t total = kHeaderSize;
  for (const auto& r : FItems)
    if (!IsVersionRecord(r.RecordNumber, r.DatasetNumber))
      total += (r.Data.size() < kLongLength ? 5 : 9) + int64_t(r.Data.size());
  if (total + 1 > MaxInt) throw EListError("IPTC block too large");

  std::vector<uint8_t> b;
  b.reserve(size_t(total + 1));
  b.insert(b.end(), kSignature, kSignature + kSignatureSize);
  b.insert(b.end(), {'8', 'B', 'I', 'M', 0x04, 0x04, 0x00, 0x00, 0, 0, 0, 0});
  for (const auto& r : FItems) {
    if (IsVersionRecord(r.RecordNumber, r.DatasetNumber)) continue;
    const uint32_t n = uint32_t(r.Data.size());
    b.insert(b.end(), {kTagMarker, uint8_t(r.RecordNumber), uint8_t(r.DatasetNumber)});
    if (n < kLongLength) {
      b.insert(b.end(), {uint8_t(n >> 8), uint8_t(n)});
    } else {
      b.insert(b.end(), {0x80, 0x04, 0, 0, 0, 0});
      PutBE32(b.data() + b.size() - 4, n);
    }
    b.insert(b.end(), r.Data.begin(), r.Data.end());
  }
  PutBE32(b.data() + 22, uint32_t(b.size() - kHeaderSize));  // without the pad byte
  if (b.size() % 2 != 0) b.push_back(0);
  return b;
}

void TIMIPTCInfoList::LoadFromBuffer(const void* Buffer, int32_t Length) {
  FItems.clear();
  FUserChanged = false;
  const auto* b = static_cast<const uint8_t*>(Buffer);
  // Positions in 64 bits: a 4-byte length near 2^32 must not wrap.
  const int64_t len = (b && Length > 0) ? Length : 0;
  int64_t pos = FindIptcResource(b, len);
  if (pos == kNoIptc) return;
  if (pos == kNoResource) {
    pos = 0;
    while (pos < len && b[pos] != kTagMarker) ++pos;
  }
  while (pos < len && b[pos] == kTagMarker) {
    if (pos + 5 > len) break;  // an empty record may end the buffer exactly
    const int32_t rec = b[pos + 1];
    const int32_t ds = b[pos + 2];
    int64_t n, start;
    if (b[pos + 3] & 0x80) {
      if (pos + 9 > len) break;
      n = GetBE32(b + pos + 5);
      start = pos + 9;
    } else {
      n = (int64_t(b[pos + 3]) << 8) | b[pos + 4];
      start = pos + 5;
    }
    if (n > len - start) break;  // runs past the buffer: keep the records before it
    FItems.push_back({rec, ds, std::vector<uint8_t>(b + start, b + start + n)});
    pos = start + n;
  }
}

}  // namespace kv

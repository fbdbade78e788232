// PNM reader: any bytes end as a picture or as the aborted flag; what reads
// is written (1 bit or 24 bits, both lossless) and read back to the same pixels.
#include "fuzz/lossless_round_trip.h"
#include "imaging/formats/pnm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  return kvfuzz::LosslessRoundTrip(Data, Size, kv::ReadPnmStream, kv::WritePnmStream);
}

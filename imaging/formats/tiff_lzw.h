// LZW of TIFF compression 5: codes most significant bit first, 256 clears the
// table, 257 ends the data, and the code width grows one code early. The TIFF
// reader and writer reach these routines only through the parameter record's
// decoder and encoder hooks, which the application installs at start.
#pragma once
#include <cstdint>

namespace kv {

class TStream;

// Decodes the strip Data (DataLength bytes) into Out, at most OutLength
// bytes, sized by the caller from the image. Returns the bytes produced
// (fewer when the data or an end code comes first), or -1 when the code
// stream is corrupt (a code past the table, or a table past 4096 entries).
int32_t TiffLzwDecode(const uint8_t* Data, int32_t DataLength, uint8_t* Out, int32_t OutLength);

// Encodes Length bytes of Data into one code stream on Out. The first call
// (State null) starts the stream with a clear code; a call with Data null
// ends it (pending code, end code, zero bits up to a byte), writes what is
// buffered and releases the state.
void TiffLzwEncode(const uint8_t* Data, int32_t Length, TStream& Out, void*& State);

}  // namespace kv

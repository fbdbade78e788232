// Hidden data of the processing component.
#include "imaging/processing/hidden_data.h"
#include "imaging/processing/imager_proc.h"

namespace kv {

int32_t TImagerProc::WriteHiddenData(const void* Buffer, int32_t N) {
  if (!Is24Bit()) return 0;
  TBitmap& bmp = *Bitmap();
  // Checked before the snapshot: data that does not fit leaves no trace.
  if (N < 0 || N > HiddenDataCapacity(bmp) || (N > 0 && !Buffer)) return 0;
  if (FAutoUndo) SaveUndoCaptioned("WriteHiddenData");
  WriteHiddenBits(bmp, static_cast<const uint8_t*>(Buffer), N);
  RefreshTarget();
  return N;
}

int32_t TImagerProc::WriteHiddenText(const std::string& Text) {
  if (Text.size() > size_t(INT32_MAX)) return 0;
  return WriteHiddenData(Text.data(), int32_t(Text.size()));
}

int32_t TImagerProc::ReadHiddenData(void* Buffer, int32_t MaxCount) {
  if (!Is24Bit()) return 0;
  return ReadHiddenBits(*Bitmap(), static_cast<uint8_t*>(Buffer), MaxCount);
}

std::string TImagerProc::ReadHiddenText() {
  // The length is bounded by the picture's capacity, so the string never outgrows the picture.
  const int32_t n = ReadHiddenData(nullptr, 0);
  if (n <= 0) return std::string();
  std::string text(size_t(n), '\0');
  ReadHiddenData(text.data(), n);
  return text;
}

int32_t TImagerProc::GetHiddenDataSpace() {
  if (!Is24Bit()) return 0;
  return HiddenDataCapacity(*Bitmap());
}

}  // namespace kv

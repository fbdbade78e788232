// File facts, byte sizes, comment texts and proportional sizes.
#include "app/layer/layer_helpers.h"

#include <charconv>
#include <cmath>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

constexpr std::string_view kLineMarker = "\\r\\n";

// Two decimals with "." whatever locale the process runs in.
std::string TwoDecimals(double Value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed, 2);
  return std::string(buf, r.ptr);
}

// The two branches shared by the fitting and the covering size.
void ScaledSize(bool WidthFirst, int32_t ImageWidth, int32_t ImageHeight, int32_t BoxWidth, int32_t BoxHeight,
                int32_t& Width, int32_t& Height) {
  const double divisor = WidthFirst ? ImageWidth : ImageHeight;
  Width = BoxWidth;
  Height = BoxHeight;
  if (std::fabs(divisor) < 1e-6) return;
  if (WidthFirst)
    Height = Round32(double(BoxWidth) * ImageHeight / divisor);
  else
    Width = Round32(double(BoxHeight) * ImageWidth / divisor);
}

}  // namespace

int64_t GetFileSizeByName(const std::string& Path) {
  const int64_t size = FileSizeOf(Path);
  return size < 0 ? 0 : size;
}

TDateTime GetFileDateByName(const std::string& Path) {
  const TDateTime age = FileAge(Path);
  return age == -1 ? 0 : age;
}

std::string FileDateText(const std::string& Path) { return DateTimeToStr(GetFileDateByName(Path)); }

std::string FormatByteSize(int64_t Size) {
  if (Size > 1048576) return TwoDecimals(double(Size) / 1048576) + " MB";
  if (Size > 1024) return TwoDecimals(double(Size) / 1024) + " KB";
  return TwoDecimals(double(Size)) + " Byte";
}

std::string ReadTextComment(const std::string& ImageFileName) {
  if (ImageFileName.empty() || ImageFileName[0] == '!') return {};
  const std::string name = ImageFileName + ".txt";
  if (!FileExists(name)) return {};
  TStringList lines;
  try {
    lines.LoadFromFile(name);
  } catch (const Exception&) {
    return {};  // an unreadable comment shows as none
  }
  return ListToEscapedText(lines);
}

std::string ListToEscapedText(const TStrings& List) {
  std::string text;
  for (int32_t i = 0; i < List.Count(); ++i) {
    text += List.Get(i);
    text += kLineMarker;
  }
  return text;
}

void EscapedTextToList(const std::string& Text, TStrings& List) {
  List.Clear();
  size_t start = 0;
  for (size_t at = Text.find(kLineMarker); at != std::string::npos; at = Text.find(kLineMarker, start)) {
    List.Add(Text.substr(start, at - start));
    start = at + kLineMarker.size();
  }
}

void ProportionalSize(int32_t ImageWidth, int32_t ImageHeight, int32_t BoxWidth, int32_t BoxHeight,
                      int32_t& Width, int32_t& Height) {
  const bool widthFirst = int64_t(BoxHeight) * ImageWidth >= int64_t(BoxWidth) * ImageHeight;
  ScaledSize(widthFirst, ImageWidth, ImageHeight, BoxWidth, BoxHeight, Width, Height);
}

void ProportionalCoverSize(int32_t ImageWidth, int32_t ImageHeight, int32_t BoxWidth, int32_t BoxHeight,
                           int32_t& Width, int32_t& Height) {
  const bool widthFirst = int64_t(BoxHeight) * ImageWidth <= int64_t(BoxWidth) * ImageHeight;
  ScaledSize(widthFirst, ImageWidth, ImageHeight, BoxWidth, BoxHeight, Width, Height);
}

}  // namespace kv

// Small helpers on files, sizes and comment texts shared by the windows that
// show pictures and their information.
#pragma once
#include <cstdint>
#include <string>

#include "platform/rtl/date_time.h"
#include "platform/rtl/string_list.h"

namespace kv {

// The size of the file or folder, 0 when there is none.
int64_t GetFileSizeByName(const std::string& Path);
// Its last modification (local time), 0 when there is none.
TDateTime GetFileDateByName(const std::string& Path);
// That date as the image information shows it; the thumbnail cache compares
// this very text to see whether a cached entry is still fresh.
std::string FileDateText(const std::string& Path);
// "12.34 MB", "1.50 KB", "1024.00 Byte": always two decimals and a ".".
std::string FormatByteSize(int64_t Size);

// The text comment kept beside an image (its full name plus ".txt"), its
// lines joined by ListToEscapedText; empty for unsaved images ("!" names).
std::string ReadTextComment(const std::string& ImageFileName);
// Each line followed by the four characters \r\n.
std::string ListToEscapedText(const TStrings& List);
// The lines back; text after the last marker is dropped.
void EscapedTextToList(const std::string& Text, TStrings& List);

// The largest size inside the box with the image's aspect; the box itself
// when the image has no size to take the aspect from.
void ProportionalSize(int32_t ImageWidth, int32_t ImageHeight, int32_t BoxWidth, int32_t BoxHeight,
                      int32_t& Width, int32_t& Height);
// The smallest size with the image's aspect that covers the box.
void ProportionalCoverSize(int32_t ImageWidth, int32_t ImageHeight, int32_t BoxWidth, int32_t BoxHeight,
                           int32_t& Width, int32_t& Height);

}  // namespace kv

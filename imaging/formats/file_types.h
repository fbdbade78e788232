// The file types the library knows, by numeric id. Built once when the
// library starts; read-only afterwards.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

constexpr int32_t ioTIFF = 1;
constexpr int32_t ioGIF = 2;
constexpr int32_t ioJPEG = 3;
constexpr int32_t ioPCX = 4;
constexpr int32_t ioBMP = 5;
constexpr int32_t ioICO = 6;
constexpr int32_t ioCUR = 7;
constexpr int32_t ioPNG = 8;
constexpr int32_t ioWMF = 9;
constexpr int32_t ioEMF = 10;
constexpr int32_t ioTGA = 11;
constexpr int32_t ioPXM = 12;

struct TIMFileTypeRecord {
  int32_t Id = 0;
  std::string Description;  // up to 80 characters
  std::string Extensions;   // upper case, ";"-separated, without dots
};

// Null when the table does not hold the id or the extension (compared without case).
const TIMFileTypeRecord* FindFileType(int32_t Id);
const TIMFileTypeRecord* FindFileTypeByExtension(std::string_view Ext);
// The N-th (0-based) extension of an id as stored; empty past the end or for an unknown id.
std::string GetFileTypeExtension(int32_t Id, int32_t N);
int32_t FileTypeExtensionCount(int32_t Id);
int32_t FileTypeCount();
const TIMFileTypeRecord& FileTypeAt(int32_t Index);

void BuildFileTypeList();
void FreeFileTypeList();

}  // namespace kv

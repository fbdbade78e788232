// What the program and harlok.so exchange: the call block of Run8BFPlugIn and the
// bitmap it points at. Both sides include this header; the layout is pinned below
// because the two are built separately.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kv {

// The working copy of the image: a 24-bit device-independent bitmap. Rows are padded
// to RowBytes and run bottom-up as in a bitmap section, or top-down when Height is
// negative. The library edits the pixels in place during a run.
struct THarlokBitmap {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t RowBytes = 0;
  int32_t BitCount = 24;
  uint8_t* Bits = nullptr;  // the first row in memory
};

using TPluginAbortTest = uint8_t (*)();
using TPluginProgress = void (*)(int32_t Percent);
// Components: four 16-bit values red, green, blue, unused (0..255); Prompt: counted text or null.
using TPluginChooseColor = void (*)(uint16_t* Components, const uint8_t* Prompt);
using TPluginConvertColor = void (*)(uint16_t* Components, int32_t SourceSpace, int32_t TargetSpace);

constexpr std::size_t PluginTextBufferSize = 301;  // every text buffer: 300 characters and a zero

struct FilterCallBlock {
  void* ParentWindow = nullptr;      // owns the plug-in's dialogs and about box
  THarlokBitmap* Bitmap = nullptr;   // working copy, edited in place
  int32_t HorzResolution = 0;        // dots per inch
  int32_t VertResolution = 0;
  int32_t FilterTop = 0;             // area to filter: rows Top..Bottom-1,
  int32_t FilterLeft = 0;            // columns Left..Right-1
  int32_t FilterBottom = 0;
  int32_t FilterRight = 0;
  int32_t Result = 0;                // written by the library
  int32_t Reserved = 0;              // keeps the pointers below naturally aligned
  char* NameBuffer = nullptr;        // 301 bytes or null
  char* CategoryBuffer = nullptr;    // 301 bytes or null
  uint32_t ForegroundColor = 0;      // bytes in memory: red, green, blue, unused
  uint32_t BackgroundColor = 0;
  TPluginAbortTest AbortTest = nullptr;
  TPluginProgress Progress = nullptr;
  TPluginChooseColor ChooseColor = nullptr;
  TPluginConvertColor ConvertColor = nullptr;
  char* ErrorText = nullptr;         // 301 bytes or null
};

static_assert(sizeof(void*) == 8, "the call block below is laid out for 64-bit pointers");
static_assert(offsetof(FilterCallBlock, Bitmap) == 8 && offsetof(FilterCallBlock, HorzResolution) == 16 &&
              offsetof(FilterCallBlock, FilterTop) == 24 && offsetof(FilterCallBlock, FilterRight) == 36 &&
              offsetof(FilterCallBlock, Result) == 40 && offsetof(FilterCallBlock, NameBuffer) == 48 &&
              offsetof(FilterCallBlock, CategoryBuffer) == 56 && offsetof(FilterCallBlock, ForegroundColor) == 64 &&
              offsetof(FilterCallBlock, BackgroundColor) == 68 && offsetof(FilterCallBlock, AbortTest) == 72 &&
              offsetof(FilterCallBlock, Progress) == 80 && offsetof(FilterCallBlock, ChooseColor) == 88 &&
              offsetof(FilterCallBlock, ConvertColor) == 96 && offsetof(FilterCallBlock, ErrorText) == 104 &&
              sizeof(FilterCallBlock) == 112,
              "FilterCallBlock layout is shared with harlok.so");
static_assert(sizeof(THarlokBitmap) == 24, "THarlokBitmap layout is shared with harlok.so");

// Actions of Run8BFPlugIn.
constexpr int32_t haDescribe = 0;
constexpr int32_t haRun = 1;
constexpr int32_t haRepeat = 2;
constexpr int32_t haAbout = 3;

// Results besides the plug-in's own (negative) codes.
constexpr int32_t hrOk = 0;
constexpr int32_t hrCannotLoad = 1;
constexpr int32_t hrNothingToRepeat = 2;

extern "C" {
using TRun8BFPlugIn = void (*)(const char* FileName, int32_t Action, FilterCallBlock* Block);
}

constexpr const char* HarlokLibraryName = "harlok.so";
constexpr const char* HarlokExportName = "Run8BFPlugIn";

}  // namespace kv

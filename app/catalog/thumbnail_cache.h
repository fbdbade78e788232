// The program's one thumbnail cache: thumbnails of a fixed size and the
// eleven information texts of image files, kept in memory and in one
// ".cache" file per image in the "Cache" folder beside the program, so that
// catalogs draw and sort without decoding their images again.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/layer/imager_layer.h"
#include "platform/ui/image_list.h"

namespace kv {

class TBitmap;

class tcacheitem {
 public:
  TImageInfoTexts Info;
  // Index of the thumbnail in the cache's image list.
  int32_t ImageIndex = -1;
};

class TThumbnailCache {
 public:
  // Folder: where the ".cache" files go ("" for the program's "Cache" folder).
  explicit TThumbnailCache(std::string Folder = "");
  ~TThumbnailCache();
  TThumbnailCache(const TThumbnailCache&) = delete;
  TThumbnailCache& operator=(const TThumbnailCache&) = delete;

  // The thumbnail (W x H) into Bitmap when given, and the eleven texts. A file
  // that is missing or cannot be read gives an empty bitmap and only its name.
  void Lookup(const std::string& FileName, TBitmap* Bitmap, TImageInfoTexts& Info);
  // Drops the file's memory entry and deletes its cache file.
  void Remove(const std::string& FileName);
  // Frees every memory entry.
  void Clear();
  // Deletes every ".cache" file of the folder.
  void ClearDisk();

  int32_t Width() const { return FImages.Width(); }
  int32_t Height() const { return FImages.Height(); }
  // A new size drops the memory entries; the same size keeps them.
  void SetImageSize(int32_t Width, int32_t Height);

  std::string CacheFolder() const;
  // The cache file of an image: the last 55 bytes of its path, with every
  // delimiter and ":" as "_", plus ".cache", in the cache folder.
  std::string CacheFileName(const std::string& FileName) const;
  // Bytes of all cache files; -1 until first counted.
  int64_t DiskTotal() const { return FDiskTotal; }
  int32_t MemoryCount() const { return int32_t(FItems.size()); }

  // Reads "CacheDisk" and "CacheMem" (megabytes); the main window's stored
  // values by default, 100 and 10 without a main window.
  std::function<int32_t(const std::string& Name)> ReadSetting;

 private:
  void LimitDisk(int64_t Limit);
  void LimitMemory(int64_t Limit);
  void Drop(const std::string& Key);
  timagerlayer& Work();
  // Fits the work image into W x H and keeps it as a new memory entry.
  tcacheitem& Keep(const std::string& Key, const TImageInfoTexts& Info);
  tcacheitem* ReadCacheFile(const std::string& FileName);
  void WriteCacheFile(const std::string& FileName, const tcacheitem& Item);
  void FitWork();

  std::string FFolder;
  int64_t FDiskTotal = -1;
  TImageList FImages;
  std::map<std::string, std::unique_ptr<tcacheitem>> FItems;
  std::unique_ptr<timagerlayer> FWork;
};

// The eleven texts joined with "|", as a cache file holds them, and back;
// false when the text holds fewer than eleven fields.
std::string JoinCacheInfo(const TImageInfoTexts& Info);
bool SplitCacheInfo(const std::string& Text, TImageInfoTexts& Info);
// The framing of a cache file: a 32-bit little-endian length, that many bytes
// of information text, then the thumbnail as JPEG from JpegAt on. False when
// the length or the text is damaged.
bool SplitCacheFile(const uint8_t* Data, size_t Size, TImageInfoTexts& Info, size_t& JpegAt);

// The process-wide cache, made on first use.
TThumbnailCache& tcache();

}  // namespace kv

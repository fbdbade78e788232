#include "app/catalog/thumbnail_cache.h"

#include <algorithm>
#include <vector>

#include "app/helpers/folder_helpers.h"
#include "app/layer/layer_helpers.h"
#include "app/main/main_form.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"

namespace kv {

namespace {

constexpr int32_t kDefaultWidth = 100;
constexpr int32_t kDefaultHeight = 70;
constexpr int64_t kMegabyte = 1048576;
constexpr size_t kNameTail = 55;

struct TCacheFile {
  TDateTime Time = 0;
  int64_t Size = 0;
  std::string Name;
};

// Every "*.cache" file of the folder (the mask matches without case).
std::vector<TCacheFile> ListCacheFiles(const std::string& Folder) {
  std::vector<TCacheFile> out;
  TSearchRec f;
  if (FindFirst(Folder + "*.cache", faAnyFile, f) == 0) {
    do {
      if (!(f.Attr & faDirectory)) out.push_back({f.Time, f.Size, f.Name});
    } while (FindNext(f) == 0);
  }
  FindClose(f);
  return out;
}

void EmptyResult(const std::string& FileName, TBitmap* Bitmap, TImageInfoTexts& Info) {
  Info = TImageInfoTexts{};
  Info[0] = FileName;
  if (Bitmap) Bitmap->SetSize(0, 0);
}

}  // namespace

std::string JoinCacheInfo(const TImageInfoTexts& Info) {
  std::string out;
  for (size_t i = 0; i < Info.size(); ++i) {
    if (i) out += '|';
    out += Info[i];
  }
  return out;
}

// The eleven texts back from their joined form. Only the comment is free
// text and may hold "|" itself: the fields before and after it are counted
// from both ends, so such a comment does not shift the others.
bool SplitCacheInfo(const std::string& Text, TImageInfoTexts& Info) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t bar = Text.find('|', start);
    parts.push_back(Text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  if (parts.size() < Info.size()) return false;
  constexpr size_t comment = size_t(tImageInfo::textcomment);
  for (size_t i = 0; i < comment; ++i) Info[i] = parts[i];
  const size_t tail = Info.size() - comment - 1;
  std::string text = parts[comment];
  for (size_t i = comment + 1; i < parts.size() - tail; ++i) text += "|" + parts[i];
  Info[comment] = text;
  for (size_t i = 0; i < tail; ++i) Info[comment + 1 + i] = parts[parts.size() - tail + i];
  return true;
}

TThumbnailCache::TThumbnailCache(std::string Folder)
    : FFolder(std::move(Folder)), FImages(nullptr, kDefaultWidth, kDefaultHeight) {
  ReadSetting = [](const std::string& Name) -> int32_t {
    if (form1) return form1->StoredInt(Name);
    return Name == "CacheDisk" ? 100 : 10;
  };
}

TThumbnailCache::~TThumbnailCache() { Clear(); }

std::string TThumbnailCache::CacheFolder() const {
  return FFolder.empty() ? kv::CacheFolder() : IncludeTrailingPathDelimiter(FFolder);
}

std::string TThumbnailCache::CacheFileName(const std::string& FileName) const {
  size_t cut = FileName.size() > kNameTail ? FileName.size() - kNameTail : 0;
  // Never start inside a UTF-8 sequence: the name would not be valid text.
  while (cut < FileName.size() && (uint8_t(FileName[cut]) & 0xC0) == 0x80) ++cut;
  std::string name = FileName.substr(cut);
  // "/" as well: on this system it is the delimiter that would make folders.
  for (char& c : name)
    if (c == ':' || c == '\\' || c == '/') c = '_';
  return CacheFolder() + name + ".cache";
}

void TThumbnailCache::SetImageSize(int32_t Width, int32_t Height) {
  Width = std::max(1, Width);
  Height = std::max(1, Height);
  if (Width == FImages.Width() && Height == FImages.Height()) return;
  // The list empties on a new size, so the entries' indexes would dangle.
  Clear();
  FImages.SetSize(Width, Height);
}

timagerlayer& TThumbnailCache::Work() {
  if (!FWork) {
    FWork = std::make_unique<timagerlayer>(nullptr);
    FWork->SetAutoUndo(false);
    // The information texts speak the program's language.
    FWork->SetMsgLanguage(msGerman);
    FWork->SetBackground(TColor(ColorToRGB(clWindow)));
    FWork->SetStreamHeaders(true);
    FWork->IOParams().JpegQuality = 20;
    FWork->IOParams().JpegDctMethod = 1;
    FWork->IOParams().Width = kDefaultWidth;
    FWork->IOParams().Height = kDefaultHeight;
  }
  return *FWork;
}

void TThumbnailCache::Clear() {
  FItems.clear();
  FImages.Clear();
}

void TThumbnailCache::Drop(const std::string& Key) {
  const auto it = FItems.find(Key);
  if (it == FItems.end()) return;
  const int32_t index = it->second->ImageIndex;
  FItems.erase(it);
  if (index < 0 || index >= FImages.Count()) return;
  FImages.Delete(index);
  for (auto& [key, item] : FItems)
    if (item->ImageIndex > index) --item->ImageIndex;
}

void TThumbnailCache::ClearDisk() {
  const std::string folder = CacheFolder();
  for (const TCacheFile& f : ListCacheFiles(folder)) DeleteFile(folder + f.Name);
  FDiskTotal = 0;
}

void TThumbnailCache::Remove(const std::string& FileName) {
  Drop(FileName);
  const std::string name = CacheFileName(FileName);
  const int64_t size = FileSizeOf(name);
  if (size >= 0 && DeleteFile(name) && FDiskTotal >= 0) FDiskTotal = std::max<int64_t>(0, FDiskTotal - size);
}

void TThumbnailCache::LimitDisk(int64_t Limit) {
  const std::string folder = CacheFolder();
  if (FDiskTotal < 0) {
    FDiskTotal = 0;
    for (const TCacheFile& f : ListCacheFiles(folder)) FDiskTotal += f.Size;
  }
  if (FDiskTotal <= Limit) return;
  std::vector<TCacheFile> files = ListCacheFiles(folder);
  std::sort(files.begin(), files.end(), [](const TCacheFile& A, const TCacheFile& B) {
    return A.Time != B.Time ? A.Time < B.Time : A.Name < B.Name;
  });
  // Down to 4/5 of the limit, so that eviction does not run on every lookup.
  const int64_t target = 4 * Limit / 5;
  for (const TCacheFile& f : files) {
    if (FDiskTotal <= target) break;
    FDiskTotal -= f.Size;
    if (SameText(ExtractFileExt(f.Name), ".cache")) DeleteFile(folder + f.Name);
  }
}

void TThumbnailCache::LimitMemory(int64_t Limit) {
  const int64_t held = int64_t(FImages.Count()) * FImages.Width() * FImages.Height() * 3;
  if (Limit < held) Clear();
}

void TThumbnailCache::FitWork() {
  timagerlayer& w = Work();
  if (w.Bitmap().PixelFormat() != pf24bit) w.ConvertTo24Bit();
  const int32_t W = FImages.Width(), H = FImages.Height();
  if (w.Bitmap().Width() == W && w.Bitmap().Height() == H) return;
  int32_t fw = W, fh = H;
  ProportionalSize(w.Bitmap().Width(), w.Bitmap().Height(), W, H, fw, fh);
  w.Resample(std::clamp(fw, 1, W), std::clamp(fh, 1, H), rfTriangle);
  w.ImageResize(W, H);
}

tcacheitem& TThumbnailCache::Keep(const std::string& Key, const TImageInfoTexts& Info) {
  FitWork();
  Drop(Key);
  auto item = std::make_unique<tcacheitem>();
  item->Info = Info;
  item->ImageIndex = FImages.Add(Work().Bitmap(), nullptr);
  tcacheitem& ref = *item;
  FItems[Key] = std::move(item);
  return ref;
}

bool SplitCacheFile(const uint8_t* Data, size_t Size, TImageInfoTexts& Info, size_t& JpegAt) {
  if (!Data || Size < 4) return false;
  const uint32_t n = uint32_t(Data[0]) | uint32_t(Data[1]) << 8 | uint32_t(Data[2]) << 16 | uint32_t(Data[3]) << 24;
  // A length beyond the file's end is a damaged file, not a reason to read further.
  if (uint64_t(n) > uint64_t(Size) - 4) return false;
  if (!SplitCacheInfo(std::string(reinterpret_cast<const char*>(Data + 4), n), Info)) return false;
  JpegAt = 4 + size_t(n);
  return true;
}

tcacheitem* TThumbnailCache::ReadCacheFile(const std::string& FileName) {
  try {
    TMemoryStream s;
    s.LoadFromFile(CacheFileName(FileName));
    TImageInfoTexts info;
    size_t jpegAt = 0;
    if (!SplitCacheFile(static_cast<const uint8_t*>(s.Memory()), size_t(s.Size()), info, jpegAt)) return nullptr;
    if (info[tImageInfo::filepath] + info[tImageInfo::filename] != FileName) return nullptr;
    s.SetPosition(int64_t(jpegAt));
    timagerlayer& w = Work();
    w.LoadFromStreamJpeg(s);
    if (w.IO()->Aborted() || w.Bitmap().Empty()) return nullptr;
    return &Keep(FileName, info);
  } catch (const std::exception&) {
    return nullptr;
  }
}

void TThumbnailCache::WriteCacheFile(const std::string& FileName, const tcacheitem& Item) {
  try {
    timagerlayer& w = Work();
    if (!FImages.GetBitmap(Item.ImageIndex, w.Bitmap())) return;
    const std::string text = JoinCacheInfo(Item.Info);
    const uint32_t n = uint32_t(text.size());
    const uint8_t length[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    TMemoryStream s;
    s.WriteBuffer(length, 4);
    s.WriteBuffer(text.data(), int32_t(n));
    // A load resets the record, so the thumbnail's JPEG settings are set each time.
    w.IOParams().JpegQuality = 20;
    w.IOParams().JpegDctMethod = 1;
    w.SaveToStreamJpeg(s);
    if (w.IO()->Aborted()) return;
    const std::string name = CacheFileName(FileName);
    const int64_t replaced = FileSizeOf(name);
    ForceDirectories(CacheFolder());
    // Written whole or not at all: a half-written file would be read as damaged.
    SaveFileAtomically(name, std::string_view(static_cast<const char*>(s.Memory()), size_t(s.Size())));
    if (FDiskTotal < 0) return;
    if (replaced > 0) FDiskTotal = std::max<int64_t>(0, FDiskTotal - replaced);
    FDiskTotal += s.Size();
  } catch (const std::exception&) {
    // The thumbnail stays in memory; the disk copy is only a speed-up.
  }
}

void TThumbnailCache::Lookup(const std::string& FileName, TBitmap* Bitmap, TImageInfoTexts& Info) {
  const int64_t diskLimit = int64_t(std::max(0, ReadSetting("CacheDisk"))) * kMegabyte;
  if (diskLimit > 0) LimitDisk(diskLimit);
  LimitMemory(int64_t(ReadSetting("CacheMem")) * kMegabyte);

  if (!FileExists(FileName)) {
    EmptyResult(FileName, Bitmap, Info);
    return;
  }
  const std::string date = FileDateText(FileName);
  tcacheitem* item = nullptr;
  if (const auto it = FItems.find(FileName); it != FItems.end()) {
    if (SameText(it->second->Info[tImageInfo::filedate], date))
      item = it->second.get();
    else
      Drop(FileName);
  }
  if (!item && diskLimit > 0 && FileExists(CacheFileName(FileName))) {
    item = ReadCacheFile(FileName);
    if (item && !SameText(item->Info[tImageInfo::filedate], date)) {
      Drop(FileName);
      item = nullptr;
      const std::string name = CacheFileName(FileName);
      const int64_t size = FileSizeOf(name);
      if (DeleteFile(name) && size > 0 && FDiskTotal >= 0) FDiskTotal = std::max<int64_t>(0, FDiskTotal - size);
    }
  }
  if (!item) {
    timagerlayer& w = Work();
    try {
      w.LoadFromFileByExtension(FileName);
    } catch (const std::exception&) {
      EmptyResult(FileName, Bitmap, Info);
      return;
    }
    // A failed load keeps the picture before it: that must not become this file's thumbnail.
    if (w.IO()->Aborted() || w.Bitmap().Empty()) {
      EmptyResult(FileName, Bitmap, Info);
      return;
    }
    TImageInfoTexts info = ImageInfoText(w);
    item = &Keep(FileName, info);
    if (diskLimit > 0) WriteCacheFile(FileName, *item);
  }
  if (Bitmap) FImages.GetBitmap(item->ImageIndex, *Bitmap);
  // Comments change without the image changing: always read afresh.
  item->Info[tImageInfo::textcomment] = ReadTextComment(FileName);
  Info = item->Info;
}

TThumbnailCache& tcache() {
  static TThumbnailCache cache;
  return cache;
}

}  // namespace kv

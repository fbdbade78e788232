#include "pluginhost/plugin_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kv {
namespace {

void CopyText(char* Buffer, const std::string& Text) {
  if (!Buffer) return;
  const std::size_t n = std::min(Text.size(), PluginTextBufferSize - 1);
  std::memcpy(Buffer, Text.data(), n);
  Buffer[n] = 0;
}

bool HasArea(const VRect& r) { return r.right > r.left && r.bottom > r.top; }

bool Within(const VRect& r, int32_t Width, int32_t Height) {
  return r.left >= 0 && r.top >= 0 && r.right <= Width && r.bottom <= Height;
}

// Blue-green-red to red-green-blue and back (the same exchange), reversing the row
// order on the way when asked: one pass over the pixels for both.
void ExchangeLayout(const THostImage& I, bool ReverseRows) {
  const auto exchange = [&](uint8_t* p) {
    for (int32_t x = 0; x < I.Width; ++x, p += 3) std::swap(p[0], p[2]);
  };
  if (!ReverseRows) {
    for (int32_t y = 0; y < I.Height; ++y) exchange(I.Pixels + int64_t(y) * I.RowBytes);
    return;
  }
  int32_t a = 0, b = I.Height - 1;
  for (; a < b; ++a, --b) {
    uint8_t* p = I.Pixels + int64_t(a) * I.RowBytes;
    uint8_t* q = I.Pixels + int64_t(b) * I.RowBytes;
    for (int32_t x = 0; x < I.Width; ++x, p += 3, q += 3) {
      const uint8_t p0 = p[0], p1 = p[1], p2 = p[2];
      p[0] = q[2], p[1] = q[1], p[2] = q[0];
      q[0] = p2, q[1] = p1, q[2] = p0;
    }
  }
  if (a == b) exchange(I.Pixels + int64_t(a) * I.RowBytes);
}

}  // namespace

TPluginHost& TPluginHost::Instance() {
  static TPluginHost host;
  return host;
}

TPluginHost::~TPluginHost() { Unload(); }

void TPluginHost::SetError(const std::string& Text) {
  if (FBlock) CopyText(FBlock->ErrorText, Text);
}

void TPluginHost::Call(const char* FileName, int32_t Action, FilterCallBlock* Block) {
  if (!Block) return;
  FBlock = Block;
  SetServiceBlock(Block);
  switch (Action) {
    case haDescribe:
    case haRun:
    case haAbout:
      Unload();
      if (!Load(FileName)) {
        Block->Result = hrCannotLoad;
        break;
      }
      if (Action == haDescribe) Describe();
      else if (Action == haAbout) About();
      else Run(true);
      break;
    case haRepeat:
      if (FRunHeld && FileChanged()) {
        // The code in memory no longer matches the file: do not call into it again.
        FFinishDue = false;
        Unload();
      }
      if (!FRunHeld) {
        Block->Result = hrNothingToRepeat;
        break;
      }
      Run(false);
      break;
    default: Block->Result = paramErr; break;
  }
  FBlock = nullptr;
  SetServiceBlock(nullptr);
  SetServiceImage({});
}

bool TPluginHost::Load(const char* FileName) {
  if (!FileName || !*FileName) {
    SetError("No plug-in file was given.");
    return false;
  }
  std::string path = FileName;
  // A name without a slash would be looked up along the library path instead.
  if (path.find('/') == std::string::npos) path = "./" + path;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char magic[2] = {};
    const bool mz = std::fread(magic, 1, 2, f) == 2 && magic[0] == 'M' && magic[1] == 'Z';
    std::fclose(f);
    if (mz) {
      SetError(path + ": a plug-in built for Windows cannot run on this system; a build of it for Linux is needed.");
      return false;
    }
  }
  dlerror();
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    const char* e = dlerror();
    SetError(e ? e : path + ": cannot be loaded.");
    return false;
  }
  FLibrary = lib;
  FFileName = path;
  if (stat(path.c_str(), &FFileStat) != 0) FFileStat = {};
  FInfo = {};
  const auto* pipl = static_cast<const uint8_t*>(dlsym(lib, "PiPL"));
  const auto* piplSize = static_cast<const uint32_t*>(dlsym(lib, "PiPLSize"));
  if (pipl && piplSize) ReadPiPL(pipl, *piplSize, FInfo);
  for (const std::string& name : {FInfo.EntryPoint, std::string("ENTRYPOINT"), std::string("ENTRYPOINT1")}) {
    if (name.empty()) continue;
    if (void* sym = dlsym(lib, name.c_str())) {
      FEntry = reinterpret_cast<PIEntryPoint>(sym);
      break;
    }
  }
  FData = 0;
  FParamsCalled = false;
  FFinishDue = false;
  return true;
}

bool TPluginHost::FileChanged() const {
  struct stat now {};
  if (stat(FFileName.c_str(), &now) != 0) return true;
  return now.st_dev != FFileStat.st_dev || now.st_ino != FFileStat.st_ino || now.st_size != FFileStat.st_size ||
         now.st_mtim.tv_sec != FFileStat.st_mtim.tv_sec || now.st_mtim.tv_nsec != FFileStat.st_mtim.tv_nsec;
}

void TPluginHost::Unload() {
  if (!FLibrary) return;
  if (FFinishDue && FEntry) CallEntry(filterSelectorFinish);
  dlclose(FLibrary);
  FLibrary = nullptr;
  FEntry = nullptr;
  FData = 0;
  FParamsCalled = false;
  FRunHeld = false;
  FFinishDue = false;
  ReleasePluginMemory();
  FOut.Free();
  FSample.clear();
  FSample.shrink_to_fit();
  FSampleRate = 0;
}

void TPluginHost::Describe() {
  CopyText(FBlock->NameBuffer, FInfo.Name);
  CopyText(FBlock->CategoryBuffer, FInfo.Category);
  FBlock->Result = hrOk;
}

void TPluginHost::About() {
  if (!FEntry) {
    SetError(FFileName + ": no entry point found.");
    FBlock->Result = hrCannotLoad;
    return;
  }
  FAbout = {};
  FPlatform.parentWindow = FBlock->ParentWindow;
  FAbout.platformData = &FPlatform;
  FResult = 0;
  CallEntry(filterSelectorAbout);
  FBlock->Result = hrOk;
}

void TPluginHost::CallEntry(int16_t Selector) {
  void* record = Selector == filterSelectorAbout ? static_cast<void*>(&FAbout) : static_cast<void*>(&FRecord);
  try {
    FEntry(Selector, record, &FData, &FResult);
  } catch (...) {
    FResult = paramErr;  // an exception must not unwind through the caller's frames
  }
  // Damage around the output stops the run whatever the plug-in answered.
  if (!FOut.Intact()) FDamaged = true;
  if (FDamaged) FResult = int16_t(hrWroteOutside);
}

// Validates the caller's bitmap and rectangle and turns the bitmap into the plug-in's layout.
bool TPluginHost::BindImage() {
  const THarlokBitmap* b = FBlock->Bitmap;
  const FilterCallBlock& k = *FBlock;
  if (!b || !b->Bits || b->BitCount != 24 || b->Width <= 0 || b->Height == 0 || b->Height == INT32_MIN ||
      int64_t(b->Width) * 3 > b->RowBytes)
    return false;
  const int32_t h = b->Height < 0 ? -b->Height : b->Height;
  const VRect f{k.FilterTop, k.FilterLeft, k.FilterBottom, k.FilterRight};
  if (!HasArea(f) || !Within(f, b->Width, h)) return false;
  FImage = {b->Bits, b->Width, h, b->RowBytes};
  FBottomUp = b->Height > 0;
  return true;
}

void TPluginHost::Run(bool Fresh) {
  if (!FEntry) {
    SetError(FFileName + ": no entry point found.");
    FBlock->Result = hrCannotLoad;
    return;
  }
  if (!BindImage()) {
    SetError("The bitmap or the filter rectangle handed to the plug-in host is not valid.");
    FBlock->Result = filterBadParameters;
    return;
  }
  const FilterCallBlock& k = *FBlock;
  const std::size_t bytes = std::size_t(int64_t(FImage.RowBytes) * FImage.Height);
  if (!FOut.Allocate(bytes)) {
    SetError("Not enough memory for the plug-in's output.");
    FBlock->Result = memFullErr;
    return;
  }
  ExchangeLayout(FImage, FBottomUp);
  SetServiceImage(FImage);
  // What the plug-in does not write keeps the source, so nothing undefined is copied back.
  std::memcpy(FOut.Data(), FImage.Pixels, bytes);
  FSample.clear();
  FSampleRate = 0;
  FDamaged = false;

  if (Fresh) {
    FRecord = {};
    InstallHostServices(FRecord, AdvanceStateProcImpl);
    FRecord.planes = 3;
    FRecord.hostSig = 0x0012CADF;
    FRecord.imageMode = plugInModeRGBColor;
    FRecord.filterCase = filterCaseFlatImageNoSelection;
    FRecord.samplingSupport = 1;
    FRecord.depth = 8;
    FRecord.inputRate = FRecord.maskRate = 1 << 16;
  }
  FRecord.imageSize = {FImage.Height, FImage.Width};
  FRecord.filterRect = {k.FilterTop, k.FilterLeft, k.FilterBottom, k.FilterRight};
  FRecord.inRowBytes = FRecord.outRowBytes = FImage.RowBytes;
  const int64_t area = int64_t(k.FilterRight - k.FilterLeft) * (k.FilterBottom - k.FilterTop);
  FRecord.maxSpace = int32_t(std::min<int64_t>(int64_t(AvailableMemory()) + 2 * area, INT32_MAX));
  std::memcpy(FRecord.backColor, &k.BackgroundColor, 4);
  std::memcpy(FRecord.foreColor, &k.ForegroundColor, 4);
  FRecord.imageHRes = Fixed(uint32_t(k.HorzResolution) << 16);
  FRecord.imageVRes = Fixed(uint32_t(k.VertResolution) << 16);
  FPlatform.parentWindow = k.ParentWindow;
  FRecord.platformData = &FPlatform;
  std::memset(FErrorString, 0, sizeof FErrorString);
  FRecord.errorString = FErrorString;
  FRecord.inData = FRecord.outData = nullptr;

  FResult = 0;
  if (Fresh) {
    CallEntry(filterSelectorParameters);
    FParamsResult = FResult;
    FParamsCalled = true;
    FFinishDue = FResult == 0;
    // Only a record the plug-in has taken its parameters into can be run again:
    // a run refused before this point left no record, or one whose handles are gone.
    FRunHeld = FResult == 0;
  }
  bool started = false;
  if (FResult == 0) CallEntry(filterSelectorPrepare);
  if (FResult == 0) {
    started = true;
    FFinishDue = true;
    CallEntry(filterSelectorStart);
  }
  // Rectangles without area (empty or inverted) ask for nothing; when both are so the work is done.
  while (FResult == 0 && (HasArea(FRecord.inRect) || HasArea(FRecord.outRect))) {
    if (HostAbortRequested()) {
      FResult = userCanceledErr;
      break;
    }
    const OSErr e = AdvanceState();
    if (e != noErr) {
      FResult = e;
      break;
    }
    CallEntry(filterSelectorContinue);
  }
  if (started) {
    const int16_t before = FResult;
    CallEntry(filterSelectorFinish);
    FFinishDue = false;
    if (before != 0) FResult = before;
  }
  if (FResult == 0) {
    const int32_t x0 = k.FilterLeft * 3, n = (k.FilterRight - k.FilterLeft) * 3;
    for (int32_t y = k.FilterTop; y < k.FilterBottom; ++y) {
      const int64_t at = int64_t(y) * FImage.RowBytes + x0;
      std::memcpy(FImage.Pixels + at, FOut.Data() + at, std::size_t(n));
    }
  }
  ExchangeLayout(FImage, FBottomUp);
  FOut.Free();
  FSample.clear();
  FSample.shrink_to_fit();
  FSampleRate = 0;
  FRecord.inData = FRecord.outData = nullptr;

  FBlock->Result = FResult;
  if (FDamaged)
    SetError("The plug-in wrote outside the buffers it was given; its result was discarded.");
  else if (FResult == errReportString)
    SetError(std::string(reinterpret_cast<const char*>(FErrorString + 1), FErrorString[0]));
}

OSErr TPluginHost::AdvanceStateProcImpl() { return Instance().AdvanceState(); }

OSErr TPluginHost::AdvanceState() {
  if (!FOut.Data()) return paramErr;  // only while a run is going on
  const int32_t r = FRecord.inputRate >> 16;
  const uint8_t* base = FImage.Pixels;
  int32_t w = FImage.Width, h = FImage.Height;
  if (r >= 2) {
    w = FImage.Width / r;
    h = FImage.Height / r;
    if (r != FSampleRate) {
      FSample.assign(std::size_t(int64_t(FImage.RowBytes) * FImage.Height), 0);
      for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = FImage.Pixels + int64_t(y) * r * FImage.RowBytes;
        uint8_t* dst = FSample.data() + int64_t(y) * FImage.RowBytes;
        for (int32_t x = 0; x < w; ++x) std::memcpy(dst + 3 * x, src + int64_t(x) * r * 3, 3);
      }
      FSampleRate = r;
    }
    base = FSample.data();
  }
  // Every rectangle the plug-in asks for must lie in what it reads or writes.
  const VRect& in = FRecord.inRect;
  const VRect& out = FRecord.outRect;
  if ((HasArea(in) && !Within(in, w, h)) || (HasArea(out) && !Within(out, FImage.Width, FImage.Height)))
    return filterBadParameters;
  FRecord.inData = HasArea(in) ? const_cast<uint8_t*>(base) + int64_t(in.top) * FImage.RowBytes + int64_t(in.left) * 3
                               : nullptr;
  FRecord.outData = HasArea(out) ? FOut.Data() + int64_t(out.top) * FImage.RowBytes + int64_t(out.left) * 3 : nullptr;
  return noErr;
}

}  // namespace kv

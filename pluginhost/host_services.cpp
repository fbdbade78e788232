#include "pluginhost/host_services.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <vector>

// The interface's opaque handle and buffer types are these records.
struct PIHandleRecord {
  void* Data;
  char Tag[4];  // "OTOF": marks a master record made here
  int32_t Size;
  int32_t Locks;
};
struct PIBufferRecord {
  void* Data;
  int32_t Size;
};

namespace kv {
namespace {

FilterCallBlock* GBlock = nullptr;
THostImage GImage;
int16_t GHandleError = 0;
// Live handles and buffers: a value the plug-in passes that is not among them is
// refused instead of being dereferenced.
std::unordered_set<Handle> GHandles;
std::unordered_set<BufferID> GBuffers;

bool Known(Handle h) { return h && GHandles.count(h) != 0; }

// A size the plug-in asks for is refused when negative or above free memory.
bool SizeAllowed(int32_t Size) { return Size >= 0 && Size <= AvailableMemory(); }

// Handle suite -------------------------------------------------------------------

Handle NewHandle(int32_t Size) {
  GHandleError = 0;
  if (!SizeAllowed(Size)) { GHandleError = memFullErr; return nullptr; }
  auto* h = static_cast<PIHandleRecord*>(std::calloc(1, sizeof(PIHandleRecord)));
  void* data = std::calloc(1, std::max<std::size_t>(std::size_t(Size), 1));
  if (!h || !data) {
    std::free(h);
    std::free(data);
    GHandleError = memFullErr;
    return nullptr;
  }
  h->Data = data;
  std::memcpy(h->Tag, "OTOF", 4);
  h->Size = Size;
  GHandles.insert(h);
  return h;
}

void DisposeHandle(Handle h) {
  GHandleError = 0;
  if (!Known(h)) { GHandleError = nilHandleErr; return; }
  GHandles.erase(h);
  std::free(h->Data);
  std::free(h);
}

int32_t GetHandleSize(Handle h) {
  GHandleError = 0;
  if (!Known(h)) { GHandleError = nilHandleErr; return 0; }
  return h->Size;
}

// A failing resize is answered with its error: the plug-in must not go on writing
// into the size it asked for.
OSErr SetHandleSize(Handle h, int32_t Size) {
  GHandleError = 0;
  if (!Known(h)) return GHandleError = memWZErr;
  if (!SizeAllowed(Size)) return GHandleError = memFullErr;
  void* data = std::realloc(h->Data, std::max<std::size_t>(std::size_t(Size), 1));
  if (!data) return GHandleError = memFullErr;
  if (Size > h->Size) std::memset(static_cast<char*>(data) + h->Size, 0, std::size_t(Size - h->Size));
  h->Data = data;
  h->Size = Size;
  return noErr;
}

Ptr LockHandle(Handle h, Boolean) {
  if (!Known(h)) { GHandleError = nilHandleErr; return nullptr; }
  ++h->Locks;
  return static_cast<Ptr>(h->Data);
}

void UnlockHandle(Handle h) {
  if (Known(h) && h->Locks > 0) --h->Locks;
}

void RecoverSpace(int32_t) {}

// Buffer suite --------------------------------------------------------------------

OSErr AllocateBuffer(int32_t Size, BufferID* Id) {
  if (!Id) return paramErr;
  *Id = nullptr;
  if (!SizeAllowed(Size)) return memFullErr;
  auto* b = static_cast<PIBufferRecord*>(std::malloc(sizeof(PIBufferRecord)));
  void* data = std::malloc(std::max<std::size_t>(std::size_t(Size), 1));
  if (!b || !data) {
    std::free(b);
    std::free(data);
    return memFullErr;
  }
  b->Data = data;
  b->Size = Size;
  GBuffers.insert(b);
  *Id = b;
  return noErr;
}

Ptr LockBuffer(BufferID Id, Boolean) {
  return Id && GBuffers.count(Id) ? static_cast<Ptr>(Id->Data) : nullptr;
}

void UnlockBuffer(BufferID) {}

void FreeBuffer(BufferID Id) {
  if (!Id || !GBuffers.count(Id)) return;
  GBuffers.erase(Id);
  std::free(Id->Data);
  std::free(Id);
}

int32_t BufferSpace() { return AvailableMemory(); }

// Property suite ------------------------------------------------------------------

OSErr GetProperty(uint32_t, uint32_t Key, int32_t, intptr_t* Simple, Handle* Complex) {
  intptr_t v = 0;
  switch (Key) {
    case PIFourCC('b', 'n', 'd', 'H'):
    case PIFourCC('b', 'n', 'd', 'V'): v = 10; break;
    case PIFourCC('c', 'l', 'p', 'a'):
    case PIFourCC('t', 'g', 'p', 'a'):
    case PIFourCC('w', 'k', 'p', 'a'): v = -1; break;
    case PIFourCC('i', 'n', 't', 'p'): v = 1; break;
    case PIFourCC('m', 'o', 'd', 'e'): v = plugInModeRGBColor; break;
    case PIFourCC('n', 'u', 'c', 'h'): v = 3; break;
    default: break;
  }
  if (Simple) *Simple = v;
  if (Complex) *Complex = nullptr;
  return noErr;
}

OSErr SetProperty(uint32_t, uint32_t, int32_t, intptr_t, Handle) { return noErr; }

// Small procs ---------------------------------------------------------------------

Boolean AbortProc() { return HostAbortRequested() ? 1 : 0; }

void ProgressProcImpl(int32_t Done, int32_t Total) {
  if (Total == 0 || !GBlock || !GBlock->Progress) return;
  const int64_t p = int64_t(Done) * 100 / Total;
  GBlock->Progress(int32_t(std::clamp<int64_t>(p, 0, 100)));
}

void ProcessEvent(void*) {}

VRect Intersect(const VRect& a, const VRect& b) {
  return {std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom), std::min(a.right, b.right)};
}

OSErr DisplayPixels(const PSPixelMap* Source, const VRect* SrcRect, int32_t DstRow, int32_t DstCol, void* Context) {
  if (!Source || !SrcRect || !Source->baseAddr) return paramErr;
  const VRect r = Intersect(*SrcRect, Source->bounds);
  if (r.right <= r.left || r.bottom <= r.top) return noErr;
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  const int64_t stride = (int64_t(w) / 4 * 4 + 4) * 3;
  if (stride * h > AvailableMemory()) return memFullErr;
  std::vector<uint8_t> rows(std::size_t(stride * h));
  const auto* base = static_cast<const uint8_t*>(Source->baseAddr);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = base + int64_t(r.top - Source->bounds.top + y) * Source->rowBytes +
                         int64_t(r.left - Source->bounds.left) * Source->colBytes;
    uint8_t* dst = rows.data() + y * stride;
    for (int32_t x = 0; x < w; ++x, src += Source->colBytes, dst += 3) {
      dst[0] = src[2 * Source->planeBytes];
      dst[1] = src[Source->planeBytes];
      dst[2] = src[0];
    }
  }
  const auto* target = static_cast<const PIDrawTarget*>(Context);
  if (target && target->draw) target->draw(target->context, DstCol, DstRow, w, h, rows.data(), int32_t(stride));
  return noErr;
}

// Colour services -----------------------------------------------------------------

void Convert(int16_t* c, int32_t From, int32_t To) {
  if (GBlock && GBlock->ConvertColor) GBlock->ConvertColor(reinterpret_cast<uint16_t*>(c), From, To);
}

void ColorFromBytes(int16_t* c, uint32_t Colour) {
  uint8_t b[4];
  std::memcpy(b, &Colour, 4);
  for (int i = 0; i < 3; ++i) c[i] = b[i];
}

OSErr ColorServices(ColorServicesInfo* Info) {
  if (!Info) return paramErr;
  int16_t* c = Info->colorComponents;
  Convert(c, Info->sourceSpace, plugIncolorServicesRGBSpace);
  switch (Info->selector) {
    case plugIncolorServicesChooseColor:
      if (GBlock && GBlock->ChooseColor)
        GBlock->ChooseColor(reinterpret_cast<uint16_t*>(c), Info->selectorParameter.pickerPrompt);
      break;
    case plugIncolorServicesSamplePoint: {
      const VPoint* p = Info->selectorParameter.globalSamplePoint;
      // The point comes from the plug-in: only a point of the image is read.
      if (!p || !GImage.Pixels || p->h < 0 || p->v < 0 || p->h >= GImage.Width || p->v >= GImage.Height)
        return paramErr;
      const uint8_t* px = GImage.Pixels + int64_t(p->v) * GImage.RowBytes + int64_t(p->h) * 3;
      for (int i = 0; i < 3; ++i) c[i] = px[i];
      break;
    }
    case plugIncolorServicesGetSpecialColor:
      if (GBlock)
        ColorFromBytes(c, Info->selectorParameter.specialColorID == plugIncolorServicesForegroundColor
                              ? GBlock->ForegroundColor : GBlock->BackgroundColor);
      break;
    default: break;
  }
  Convert(c, plugIncolorServicesRGBSpace, Info->resultSpace);
  return noErr;
}

// Image services ------------------------------------------------------------------

bool Inside(const VRect& b, int32_t v, int32_t h) { return v >= b.top && v < b.bottom && h >= b.left && h < b.right; }

uint8_t* PlanePixel(PSImagePlane* p, int32_t v, int32_t h) {
  return static_cast<uint8_t*>(p->data) + int64_t(v - p->bounds.top) * p->rowBytes +
         int64_t(h - p->bounds.left) * p->colBytes;
}

template <int Dims>
OSErr Interpolate(PSImagePlane* Src, PSImagePlane* Dst, VRect* Area, Fixed* Coords, int16_t) {
  if (!Src || !Dst || !Area || !Coords || !Src->data || !Dst->data) return paramErr;
  const int32_t n = std::min(3, std::min(Src->colBytes, Dst->colBytes));
  int64_t i = 0;
  for (int32_t v = Area->top; v < Area->bottom; ++v) {
    for (int32_t h = Area->left; h < Area->right; ++h, ++i) {
      int32_t sv, sh;
      if (Dims == 1) {
        sv = v;
        sh = Coords[h - Area->left] >> 16;
      } else {
        sv = Coords[2 * i] >> 16;
        sh = Coords[2 * i + 1] >> 16;
      }
      if (!Inside(Src->bounds, sv, sh) || !Inside(Dst->bounds, v, h)) continue;
      std::memcpy(PlanePixel(Dst, v, h), PlanePixel(Src, sv, sh), std::size_t(std::max(n, 0)));
    }
  }
  return noErr;
}

// Suite tables, filled once when the library is loaded.
HandleProcs GHandleProcs = {1, 8, NewHandle, DisposeHandle, GetHandleSize, SetHandleSize,
                            LockHandle, UnlockHandle, RecoverSpace};
BufferProcs GBufferProcs = {2, 2, AllocateBuffer, LockBuffer, UnlockBuffer, FreeBuffer, BufferSpace};
PropertyProcs GPropertyProcs = {1, 2, GetProperty, SetProperty};
ImageServicesProcs GImageProcs = {1, 2, Interpolate<1>, Interpolate<2>};

}  // namespace

void SetServiceBlock(FilterCallBlock* Block) { GBlock = Block; }
void SetServiceImage(const THostImage& Image) { GImage = Image; }

void InstallHostServices(FilterRecord& R, AdvanceStateProc AdvanceState) {
  R.abortProc = AbortProc;
  R.progressProc = ProgressProcImpl;
  R.bufferProcs = &GBufferProcs;
  R.processEvent = ProcessEvent;
  R.displayPixels = DisplayPixels;
  R.handleProcs = &GHandleProcs;
  R.advanceState = AdvanceState;
  R.colorServices = ColorServices;
  R.imageServicesProcs = &GImageProcs;
  R.propertyProcs = &GPropertyProcs;
  R.getPropertyObsolete = GetProperty;
}

void ReleasePluginMemory() {
  for (Handle h : GHandles) {
    std::free(h->Data);
    std::free(h);
  }
  GHandles.clear();
  for (BufferID b : GBuffers) {
    std::free(b->Data);
    std::free(b);
  }
  GBuffers.clear();
}

int16_t LastHandleError() { return GHandleError; }

int32_t AvailableMemory() {
  const long pages = sysconf(_SC_AVPHYS_PAGES), size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || size <= 0) return 0;
  return int32_t(std::min<int64_t>(int64_t(pages) * size, INT32_MAX));
}

bool HostAbortRequested() { return GBlock && GBlock->AbortTest && GBlock->AbortTest() != 0; }

}  // namespace kv

// Calls every host service and checks the answers; the first wrong one ends the run
// with its description as the error text. Writes no pixels: the image must come back
// as it was.
#include <string>

#include "tests/pluginhost/plugins/test_plugin.h"

KV_TEST_PLUGIN("Probe", "Kavrelin Tests", "ProbeMain")

namespace {

std::string Failure;

#define CHECK(cond)                                         \
  do {                                                      \
    if (!(cond) && Failure.empty()) Failure = #cond;        \
  } while (0)

struct TDrawn {
  int32_t Column = -1, Row = -1, Width = 0, Height = 0, RowBytes = 0;
  uint8_t First[3] = {}, Last[3] = {};
} Drawn;

void Draw(void*, int32_t Column, int32_t Row, int32_t Width, int32_t Height, const uint8_t* Bgr, int32_t RowBytes) {
  Drawn = {Column, Row, Width, Height, RowBytes, {Bgr[0], Bgr[1], Bgr[2]}, {}};
  const uint8_t* last = Bgr + int64_t(Height - 1) * RowBytes + int64_t(Width - 1) * 3;
  std::memcpy(Drawn.Last, last, 3);
}

void ProbeRecord(FilterRecord* r) {
  CHECK(r->planes == 3 && r->imageMode == plugInModeRGBColor && r->depth == 8);
  CHECK(r->hostSig == 0x0012CADF && r->filterCase == 1 && r->samplingSupport == 1);
  CHECK(r->imageHRes == (72 << 16) && r->imageVRes == (96 << 16));
  CHECK(r->foreColor[0] == 255 && r->foreColor[1] == 0 && r->backColor[1] == 255 && r->backColor[0] == 0);
  CHECK(r->platformData && r->platformData->parentWindow == reinterpret_cast<void*>(0x1234));
  CHECK(r->inRowBytes == r->outRowBytes && r->inRowBytes >= r->imageSize.h * 3);
  CHECK(r->maxSpace > 0 && r->processEvent && r->errorString);
  r->processEvent(nullptr);
}

void ProbeSmallProcs(FilterRecord* r) {
  CHECK(!r->abortProc());
  r->progressProc(1, 2);  // the test sees 50
  r->progressProc(5, 0);  // nothing
}

void ProbeHandles(FilterRecord* r) {
  HandleProcs* p = r->handleProcs;
  CHECK(p && p->handleProcsVersion == 1 && p->numHandleProcs == 8);
  Handle h = p->newProc(16);
  CHECK(h != nullptr);
  if (!h) return;
  char* d = p->lockProc(h, 0);
  CHECK(d && d[0] == 0 && d[15] == 0);
  std::memcpy(d, "kavrelin", 8);
  p->unlockProc(h);
  CHECK(p->setSizeProc(h, 40) == noErr && p->getSizeProc(h) == 40);
  d = p->lockProc(h, 0);
  CHECK(std::memcmp(d, "kavrelin", 8) == 0 && d[39] == 0);
  p->unlockProc(h);
  CHECK(p->setSizeProc(h, -1) == memFullErr && p->getSizeProc(h) == 40);
  CHECK(p->setSizeProc(nullptr, 4) == memWZErr);
  CHECK(p->getSizeProc(nullptr) == 0);
  CHECK(p->newProc(-1) == nullptr);
  p->disposeProc(nullptr);
  p->recoverSpaceProc(100);
  p->disposeProc(h);
  // This one is left for the host to free when the plug-in is unloaded.
  r->parameters = p->newProc(8);
  CHECK(r->parameters != nullptr);
}

void ProbeBuffers(FilterRecord* r) {
  BufferProcs* p = r->bufferProcs;
  CHECK(p && p->bufferProcsVersion == 2);
  BufferID id = nullptr;
  CHECK(p->allocateProc(100, &id) == noErr && id);
  if (!id) return;
  char* d = p->lockProc(id, 0);
  CHECK(d != nullptr);
  if (d) std::memset(d, 7, 100);
  p->unlockProc(id);
  p->freeProc(id);
  BufferID bad = nullptr;
  CHECK(p->allocateProc(-5, &bad) == memFullErr && bad == nullptr);
  CHECK(p->spaceProc() > 0);
}

void ProbeProperties(FilterRecord* r) {
  PropertyProcs* p = r->propertyProcs;
  CHECK(p && p->numPropertyProcs == 2 && r->getPropertyObsolete == p->getPropertyProc);
  struct { uint32_t Key; intptr_t Want; } cases[] = {
      {PIFourCC('b', 'n', 'd', 'H'), 10}, {PIFourCC('b', 'n', 'd', 'V'), 10}, {PIFourCC('c', 'l', 'p', 'a'), -1},
      {PIFourCC('t', 'g', 'p', 'a'), -1}, {PIFourCC('w', 'k', 'p', 'a'), -1}, {PIFourCC('i', 'n', 't', 'p'), 1},
      {PIFourCC('m', 'o', 'd', 'e'), 3},  {PIFourCC('n', 'u', 'c', 'h'), 3},  {PIFourCC('z', 'z', 'z', 'z'), 0}};
  for (auto& c : cases) {
    intptr_t v = 99;
    CHECK(p->getPropertyProc(PIFourCC('8', 'B', 'I', 'M'), c.Key, 0, &v, nullptr) == noErr && v == c.Want);
  }
  CHECK(p->setPropertyProc(0, PIFourCC('m', 'o', 'd', 'e'), 0, 5, nullptr) == noErr);
}

void ProbeColours(FilterRecord* r) {
  ColorServicesInfo info{};
  info.infoSize = sizeof info;
  info.selector = plugIncolorServicesGetSpecialColor;
  info.selectorParameter.specialColorID = plugIncolorServicesBackgroundColor;
  CHECK(r->colorServices(&info) == noErr && info.colorComponents[0] == 0 && info.colorComponents[1] == 255);
  info.selector = plugIncolorServicesSamplePoint;
  VPoint pt{1, 2};
  info.selectorParameter.globalSamplePoint = &pt;
  const uint8_t* px = static_cast<const uint8_t*>(r->inData);  // set up at (0, 0) by advanceState below
  CHECK(r->colorServices(&info) == noErr && px && info.colorComponents[0] == px[r->inRowBytes + 6] &&
        info.colorComponents[2] == px[r->inRowBytes + 8]);
  VPoint outside{r->imageSize.v, 0};
  info.selectorParameter.globalSamplePoint = &outside;
  CHECK(r->colorServices(&info) == paramErr);
  static const unsigned char prompt[] = "\x04Pick";
  info.selector = plugIncolorServicesChooseColor;
  info.sourceSpace = plugIncolorServicesHSBSpace;
  info.resultSpace = plugIncolorServicesRGBSpace;
  info.selectorParameter.pickerPrompt = prompt;
  CHECK(r->colorServices(&info) == noErr && info.colorComponents[0] == 1 && info.colorComponents[1] == 2 &&
        info.colorComponents[2] == 3);
  CHECK(r->colorServices(nullptr) == paramErr);
}

void ProbeImageServices(FilterRecord* r) {
  ImageServicesProcs* p = r->imageServicesProcs;
  CHECK(p && p->numImageServicesProcs == 2);
  uint8_t src[2 * 3] = {1, 2, 3, 4, 5, 6}, dst[3 * 3] = {};
  PSImagePlane s{src, {0, 0, 1, 2}, 6, 3}, d{dst, {0, 0, 1, 3}, 9, 3};
  VRect area{0, 0, 1, 3};
  Fixed coords1[3] = {1 << 16, 0, 5 << 16};  // the last is outside the source: skipped
  CHECK(p->interpolate1Space(&s, &d, &area, coords1, 0) == noErr);
  CHECK(dst[0] == 4 && dst[3] == 1 && dst[6] == 0);
  Fixed coords2[6] = {0, 0, 0, 1 << 16, -1 << 16, 0};
  std::memset(dst, 0, sizeof dst);
  CHECK(p->interpolate2Space(&s, &d, &area, coords2, 0) == noErr);
  CHECK(dst[0] == 1 && dst[3] == 4 && dst[6] == 0);
}

void ProbeDisplay(FilterRecord* r) {
  uint8_t rgb[2 * 3 * 3];
  for (int i = 0; i < 18; ++i) rgb[i] = uint8_t(i);
  PSPixelMap map{1, {10, 20, 12, 23}, 3, 9, 3, 1, rgb};
  PIDrawTarget target{nullptr, Draw};
  VRect want{11, 0, 40, 22};  // clipped to row 11, columns 20 and 21
  CHECK(r->displayPixels(&map, &want, 5, 6, &target) == noErr);
  CHECK(Drawn.Column == 6 && Drawn.Row == 5 && Drawn.Width == 2 && Drawn.Height == 1 && Drawn.RowBytes == 12);
  CHECK(Drawn.First[0] == 11 && Drawn.First[2] == 9 && Drawn.Last[0] == 14 && Drawn.Last[2] == 12);
}

void ProbeAdvance(FilterRecord* r) {
  r->inRect = VRect{0, 0, 2, 3};
  CHECK(r->advanceState() == noErr && r->inData != nullptr);
  const VRect keep = r->inRect;
  r->inRect = VRect{0, 0, r->imageSize.v + 1, 1};
  CHECK(r->advanceState() == filterBadParameters);
  r->inRect = VRect{-1, 0, 1, 1};
  CHECK(r->advanceState() == filterBadParameters);
  r->inRect = keep;
  CHECK(r->advanceState() == noErr);
}

}  // namespace

extern "C" KV_EXPORT void ProbeMain(int16_t Selector, void* Record, intptr_t*, int16_t* Result) {
  LogSelector(Selector);
  auto* r = static_cast<FilterRecord*>(Record);
  *Result = noErr;
  if (Selector == filterSelectorStart) {
    Failure.clear();
    ProbeRecord(r);
    ProbeSmallProcs(r);
    ProbeHandles(r);
    ProbeBuffers(r);
    ProbeProperties(r);
    ProbeAdvance(r);
    ProbeColours(r);
    ProbeImageServices(r);
    ProbeDisplay(r);
    r->inRect = r->outRect = r->filterRect;
  } else if (Selector == filterSelectorContinue) {
    r->inRect = r->outRect = VRect{0, 0, 0, 0};  // nothing written
  }
  if (!Failure.empty()) {
    const std::size_t n = Failure.size() < 255 ? Failure.size() : 255;
    r->errorString[0] = uint8_t(n);
    std::memcpy(r->errorString + 1, Failure.data(), n);
    *Result = errReportString;
  }
}

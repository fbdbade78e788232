/* The filter plug-in interface as this platform's host offers it: selectors, the
 * filter record, the about record, pixel maps and the host's callback suites.
 * Plug-ins are native shared objects; they export their entry point and their
 * property list ("PiPL" bytes and "PiPLSize") as data. Coordinates are 32-bit and
 * pointers have the platform's natural size. Plain C so that plug-ins written in
 * C can use it too. */
#ifndef KV_PLUGINHOST_FILTER_PLUGIN_API_H
#define KV_PLUGINHOST_FILTER_PLUGIN_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int16_t OSErr;
typedef int32_t Fixed; /* 16.16 */
typedef uint8_t Boolean;
typedef char* Ptr;
typedef struct PIHandleRecord* Handle; /* opaque: only the handle suite looks inside */
typedef struct PIBufferRecord* BufferID;

typedef struct VPoint { int32_t v, h; } VPoint;
typedef struct VRect { int32_t top, left, bottom, right; } VRect;

/* Selectors of the entry point. */
enum {
  filterSelectorAbout = 0,
  filterSelectorParameters = 1,
  filterSelectorPrepare = 2,
  filterSelectorStart = 3,
  filterSelectorContinue = 4,
  filterSelectorFinish = 5
};

/* Result codes. */
enum {
  noErr = 0,
  paramErr = -50,
  memFullErr = -108,
  nilHandleErr = -109,
  memWZErr = -111, /* resize of a nil handle */
  userCanceledErr = -128,
  filterBadParameters = -30100,
  filterBadMode = -30101,
  errPlugInHostInsufficient = -30900,
  errReportString = -30904 /* the plug-in put its message in errorString */
};

enum { plugInModeRGBColor = 3 };
enum { filterCaseFlatImageNoSelection = 1 };

/* Colour services. */
enum {
  plugIncolorServicesChooseColor = 0,
  plugIncolorServicesConvertColor = 1,
  plugIncolorServicesSamplePoint = 2,
  plugIncolorServicesGetSpecialColor = 3
};
enum {
  plugIncolorServicesRGBSpace = 0,
  plugIncolorServicesHSBSpace = 1,
  plugIncolorServicesCMYKSpace = 2,
  plugIncolorServicesLabSpace = 3,
  plugIncolorServicesGraySpace = 4,
  plugIncolorServicesHSLSpace = 5,
  plugIncolorServicesXYZSpace = 6
};
enum { plugIncolorServicesForegroundColor = 0, plugIncolorServicesBackgroundColor = 1 };

typedef struct ColorServicesInfo {
  int32_t infoSize;
  int16_t selector;
  int16_t sourceSpace;
  int16_t resultSpace;
  Boolean resultGamutInfoValid;
  Boolean resultInGamut;
  void* reservedSourceSpaceInfo;
  void* reservedResultSpaceInfo;
  int16_t colorComponents[4];
  void* reserved;
  union {
    const unsigned char* pickerPrompt; /* counted text: a length byte, then the characters */
    VPoint* globalSamplePoint;
    int32_t specialColorID;
  } selectorParameter;
} ColorServicesInfo;

typedef struct PSPixelMap {
  int32_t version;
  VRect bounds;
  int32_t imageMode;
  int32_t rowBytes;
  int32_t colBytes;
  int32_t planeBytes; /* distance from one colour plane to the next */
  void* baseAddr;
} PSPixelMap;

typedef struct PSImagePlane {
  void* data;
  VRect bounds;
  int32_t rowBytes;
  int32_t colBytes;
} PSImagePlane;

/* What displayPixels draws into on this platform: the plug-in passes one of these as
 * its device context; the host hands it top-down blue-green-red rows. */
typedef struct PIDrawTarget {
  void* context;
  void (*draw)(void* context, int32_t column, int32_t row, int32_t width, int32_t height,
               const uint8_t* bgrRows, int32_t rowBytes);
} PIDrawTarget;

typedef struct PlatformData {
  void* parentWindow; /* the window that owns the plug-in's dialogs */
} PlatformData;

typedef Boolean (*TestAbortProc)(void);
typedef void (*ProgressProc)(int32_t done, int32_t total);
typedef void (*ProcessEventProc)(void* event);
typedef OSErr (*DisplayPixelsProc)(const PSPixelMap* source, const VRect* srcRect, int32_t dstRow,
                                   int32_t dstCol, void* platformContext);
typedef OSErr (*AdvanceStateProc)(void);
typedef OSErr (*ColorServicesProc)(ColorServicesInfo* info);

typedef struct HandleProcs {
  int16_t handleProcsVersion;
  int16_t numHandleProcs;
  Handle (*newProc)(int32_t size);
  void (*disposeProc)(Handle h);
  int32_t (*getSizeProc)(Handle h);
  OSErr (*setSizeProc)(Handle h, int32_t newSize);
  Ptr (*lockProc)(Handle h, Boolean moveHigh);
  void (*unlockProc)(Handle h);
  void (*recoverSpaceProc)(int32_t size);
} HandleProcs;

typedef struct BufferProcs {
  int16_t bufferProcsVersion;
  int16_t numBufferProcs;
  OSErr (*allocateProc)(int32_t size, BufferID* bufferID);
  Ptr (*lockProc)(BufferID bufferID, Boolean moveHigh);
  void (*unlockProc)(BufferID bufferID);
  void (*freeProc)(BufferID bufferID);
  int32_t (*spaceProc)(void);
} BufferProcs;

typedef OSErr (*GetPropertyProc)(uint32_t signature, uint32_t key, int32_t index,
                                 intptr_t* simpleProperty, Handle* complexProperty);
typedef OSErr (*SetPropertyProc)(uint32_t signature, uint32_t key, int32_t index,
                                 intptr_t simpleProperty, Handle complexProperty);

typedef struct PropertyProcs {
  int16_t propertyProcsVersion;
  int16_t numPropertyProcs;
  GetPropertyProc getPropertyProc;
  SetPropertyProc setPropertyProc;
} PropertyProcs;

typedef OSErr (*PIResampleProc)(PSImagePlane* source, PSImagePlane* destination, VRect* area,
                                Fixed* coords, int16_t method);

typedef struct ImageServicesProcs {
  int16_t imageServicesProcsVersion;
  int16_t numImageServicesProcs;
  PIResampleProc interpolate1Space; /* coords: one source column per column of the area */
  PIResampleProc interpolate2Space; /* coords: (row, column) per pixel of the area, row by row */
} ImageServicesProcs;

/* Four-character codes as 32-bit numbers: 'bndH' is PIFourCC('b','n','d','H'). */
#define PIFourCC(a, b, c, d) \
  (((uint32_t)(uint8_t)(a) << 24) | ((uint32_t)(uint8_t)(b) << 16) | ((uint32_t)(uint8_t)(c) << 8) | (uint32_t)(uint8_t)(d))

typedef struct FilterRecord {
  int32_t serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  Handle parameters;
  VPoint imageSize;
  int16_t planes;
  VRect filterRect;
  int32_t maxSpace;
  int32_t bufferSpace;
  VRect inRect;
  int16_t inLoPlane, inHiPlane;
  VRect outRect;
  int16_t outLoPlane, outHiPlane;
  void* inData;
  int32_t inRowBytes;
  void* outData;
  int32_t outRowBytes;
  Boolean isFloating, haveMask, autoMask;
  VRect maskRect;
  void* maskData;
  int32_t maskRowBytes;
  uint8_t backColor[4]; /* red, green, blue, unused */
  uint8_t foreColor[4];
  uint32_t hostSig;
  void* hostProc;
  int16_t imageMode;
  Fixed imageHRes, imageVRes;
  VPoint floatCoord, wholeSize;
  void* monitor;
  PlatformData* platformData;
  BufferProcs* bufferProcs;
  void* resourceProcs;
  ProcessEventProc processEvent;
  DisplayPixelsProc displayPixels;
  HandleProcs* handleProcs;
  Boolean supportsDummyChannels, supportsAlternateLayouts;
  int16_t wantLayout, filterCase, dummyPlaneValue;
  void* premiereHook;
  AdvanceStateProc advanceState;
  Boolean supportsAbsolute, wantsAbsolute;
  GetPropertyProc getPropertyObsolete;
  Boolean cannotUndo, supportsPadding;
  int16_t inputPadding, outputPadding, maskPadding;
  Boolean samplingSupport;
  Fixed inputRate, maskRate; /* 16.16; an integer part of 2 or more asks for every r-th pixel */
  ColorServicesProc colorServices;
  ImageServicesProcs* imageServicesProcs;
  PropertyProcs* propertyProcs;
  int16_t depth;
  unsigned char* errorString; /* 256 bytes, counted text, for errReportString */
  uint8_t reserved[64];
} FilterRecord;

typedef struct AboutRecord {
  PlatformData* platformData;
  uint8_t reserved[248];
} AboutRecord;

/* The entry point: for the about selector the record is an AboutRecord. */
typedef void (*PIEntryPoint)(int16_t selector, void* record, intptr_t* data, int16_t* result);

#ifdef __cplusplus
}
#endif

#endif

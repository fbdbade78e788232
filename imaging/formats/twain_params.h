// Scanner acquisition parameters and calls. On this platform the sources are
// the devices of our scanner layer (platform/devices); capabilities map onto
// their options (resolution, mode, threshold, brightness, contrast, the scan
// area, the feeder through the source option). Units towards callers stay inches.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/model/im_lists.h"
#include "imaging/model/kernel_types.h"
#include "platform/devices/sane_scanner.h"

namespace kv {

class TBitmap;
class TIOParamsVals;

// One source as the manager lists it.
struct TW_IDENTITY {
  std::string DeviceName;     // what the scanner layer opens
  std::string Manufacturer;
  std::string ProductFamily;
  std::string ProductName;
};

// Process-wide manager record: the live scanner session and the last condition.
struct TTwainManager {
  std::unique_ptr<TScanSession> Session;
  TScanStatus ConditionCode = ssGood;
  std::string ConditionText;   // empty while nothing failed
  void Fail(TScanStatus Code, const std::string& Text) {
    ConditionCode = Code;
    ConditionText = Text;
  }
};

TTwainManager& TwainManager();
bool LoadTwainManager(TTwainManager& Mgr);
void UnloadTwain(TTwainManager& Mgr);

struct TIMAcquireFrame {
  double Left = 0, Top = 0, Right = 0, Bottom = 0;  // inches
};

// Pixel types as the capability names them.
constexpr int32_t TWPT_BW = 0;
constexpr int32_t TWPT_GRAY = 1;
constexpr int32_t TWPT_RGB = 2;

class TIMTWainParams : public TObject {
 public:
  // MultiFrameOwner: owned by a multi-frame loader, which wants the feeder.
  explicit TIMTWainParams(TObject* Owner = nullptr, bool MultiFrameOwner = false);
  ~TIMTWainParams() override;

  void SetDefaults();

  // Capability getters read the selected source first when not yet read.
  TIMDoubleList& XResolution() { EnsureRead(); return FXResolution; }
  TIMDoubleList& YResolution() { EnsureRead(); return FYResolution; }
  TIMDoubleList& XScaling() { EnsureRead(); return FXScaling; }
  TIMDoubleList& YScaling() { EnsureRead(); return FYScaling; }
  TIMIntegerList& PixelType() { EnsureRead(); return FPixelType; }
  TIMDoubleList& Contrast() { EnsureRead(); return FContrast; }
  TIMDoubleList& Brightness() { EnsureRead(); return FBrightness; }
  TIMIntegerList& Orientation() { EnsureRead(); return FOrientation; }
  TIMIntegerList& SupportedSizes() { EnsureRead(); return FSupportedSizes; }
  double Gamma() { EnsureRead(); return FGamma; }
  double PhysicalHeight() { EnsureRead(); return FPhysicalHeight; }
  double PhysicalWidth() { EnsureRead(); return FPhysicalWidth; }
  int32_t Threshold() { EnsureRead(); return FThreshold; }
  void SetThreshold(int32_t V) { EnsureRead(); FThreshold = V; }
  bool FeederEnabled() { EnsureRead(); return FFeederEnabled; }
  void SetFeederEnabled(bool V) { EnsureRead(); FFeederEnabled = V; }
  bool DuplexEnabled() { EnsureRead(); return FDuplexEnabled; }
  void SetDuplexEnabled(bool V) { EnsureRead(); FDuplexEnabled = V; }
  bool IndicatorsEnabled() { EnsureRead(); return FIndicators; }
  bool FeederLoaded() { EnsureRead(); return FFeederLoaded; }
  bool PaperDetectable() { EnsureRead(); return FPaperDetectable; }
  bool Duplex() { EnsureRead(); return FDuplex; }

  int32_t SelectedSource() const { return FSelectedSource; }
  // Flags the capabilities unread and reads them from the new source.
  void SetSelectedSource(int32_t Index);
  // First source whose product name begins with Name (no case); false when none.
  bool SelectSourceByName(const std::string& Name);
  int32_t GetDefaultSourceIndex();
  // Reads the selected source's capabilities into the lists now (the device
  // is opened and closed for it); false when it cannot be opened.
  bool ReadCapabilities();
  // Sends the values to the selected source, then reads back what it took.
  bool ApplyCapabilities();
  // Edge 0 left, 1 top, 2 right, 3 bottom of AcquireFrame in inches; another
  // edge reads 0 and is not written.
  double GetAcquireFrame(int32_t Edge) const;
  void SetAcquireFrame(int32_t Edge, double Value);
  // Fills the source list when empty.
  std::vector<TW_IDENTITY>& SourceList();

  bool VisibleDialog = true;
  TIMAcquireFrame AcquireFrame;
  bool UseAcquireFrame = false;
  bool BufferedTransfer = true;
  bool UndefinedImageSize = false;
  std::string AppVersionInfo, AppManufacturer, AppProductFamily, AppProductName;
  bool CapabilitiesValid = false;
  TObject* Owner = nullptr;

  // Raw access for the exchange itself (no reading first).
  TIMDoubleList FXResolution, FYResolution, FXScaling, FYScaling, FContrast, FBrightness;
  TIMIntegerList FPixelType, FOrientation, FSupportedSizes;
  double FGamma = 2.2, FPhysicalHeight = 0, FPhysicalWidth = 0;
  int32_t FThreshold = 128;
  bool FFeederEnabled = false, FDuplexEnabled = false, FIndicators = true;
  bool FFeederLoaded = false, FPaperDetectable = false, FDuplex = false;
  std::vector<TW_IDENTITY> FSourceList;

 private:
  void EnsureRead();
  bool FMultiFrameOwner = false;
  int32_t FSelectedSource = 0;
  bool FReading = false;
};

// Per-image callback of a feeder acquisition: the bitmap (freed after) and the record.
using TIMAcquireBitmapEvent = std::function<void(void* Data, TBitmap* Bitmap, TIOParamsVals& Params)>;

bool ListTwainSources(std::vector<TW_IDENTITY>& List, TTwainManager& Mgr, void* Parent = nullptr);
std::string GetTwainDefaultSource(TTwainManager& Mgr, void* Parent = nullptr);
bool ExchangeTwainCapabilities(TIMTWainParams& Params, bool Send, void* Parent, TTwainManager& Mgr);
// One image into Bitmap, or with Callback every pending one (a new bitmap each).
bool TwainAcquire(TBitmap* Bitmap, bool ShowDialog, TIMTWainParams& Params, void* Parent, TTwainManager& Mgr,
                  TProgressRec& Progress, TIOParamsVals& IOParams, const TIMAcquireBitmapEvent& Callback = nullptr,
                  void* CallbackData = nullptr);

// Chooses among the sources; the platform's dialog is hooked in by the UI.
using TSelectSourceHook = std::function<bool(const std::vector<std::string>& Names, std::string& Chosen)>;
void SetSelectSourceHook(TSelectSourceHook Hook);
bool SelectTwainSourceDialog(std::string& ProductName, TTwainManager& Mgr, void* Parent = nullptr);

}  // namespace kv

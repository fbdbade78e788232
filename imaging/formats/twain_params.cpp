#include "imaging/formats/twain_params.h"

#include <algorithm>
#include <cctype>

#include "imaging/formats/twain_options.h"

namespace kv {

namespace {
TSelectSourceHook& SelectHook() {
  static TSelectSourceHook hook;
  return hook;
}

bool StartsWithNoCase(const std::string& S, const std::string& Prefix) {
  if (Prefix.size() > S.size()) return false;
  for (size_t i = 0; i < Prefix.size(); ++i)
    if (std::tolower(uint8_t(S[i])) != std::tolower(uint8_t(Prefix[i]))) return false;
  return true;
}
}  // namespace

TTwainManager& TwainManager() {
  static TTwainManager mgr;
  return mgr;
}

bool LoadTwainManager(TTwainManager& Mgr) {
  if (Mgr.Session && Mgr.Session->Ready()) return true;
  Mgr.Session = std::make_unique<TScanSession>();
  if (Mgr.Session->Ready()) return true;
  Mgr.Session.reset();
  Mgr.Fail(ssInval, "Die Scanner-Bibliothek konnte nicht gestartet werden.");
  return false;
}

void UnloadTwain(TTwainManager& Mgr) { Mgr.Session.reset(); }

bool ListTwainSources(std::vector<TW_IDENTITY>& List, TTwainManager& Mgr, void*) {
  List.clear();
  if (!LoadTwainManager(Mgr)) return false;
  TScanStatus st = ssGood;
  for (const TScanDeviceInfo& d : Mgr.Session->Devices(&st)) {
    TW_IDENTITY id;
    id.DeviceName = d.Name;
    id.Manufacturer = d.Vendor;
    id.ProductFamily = d.Type;
    // Vendor and model alone are not unique (two of one kind): the device name tells them apart.
    id.ProductName = d.Vendor + " " + d.Model + " (" + d.Name + ")";
    List.push_back(std::move(id));
  }
  if (st != ssGood) Mgr.Fail(st, ScanStatusText(st));
  return st == ssGood;
}

std::string GetTwainDefaultSource(TTwainManager& Mgr, void* Parent) {
  std::vector<TW_IDENTITY> list;
  ListTwainSources(list, Mgr, Parent);
  return list.empty() ? std::string() : list.front().ProductName;
}

void SetSelectSourceHook(TSelectSourceHook Hook) { SelectHook() = std::move(Hook); }

bool SelectTwainSourceDialog(std::string& ProductName, TTwainManager& Mgr, void* Parent) {
  std::vector<TW_IDENTITY> list;
  ListTwainSources(list, Mgr, Parent);
  if (list.empty()) {
    Mgr.Fail(ssInval, kNoScannerText);
    return false;
  }
  if (!SelectHook()) return false;
  std::vector<std::string> names;
  for (const TW_IDENTITY& id : list) names.push_back(id.ProductName);
  std::string chosen;
  if (!SelectHook()(names, chosen)) return false;
  ProductName = chosen;
  return true;
}

TIMTWainParams::TIMTWainParams(TObject* AOwner, bool MultiFrameOwner)
    : Owner(AOwner), FMultiFrameOwner(MultiFrameOwner) {
  SetDefaults();
}

TIMTWainParams::~TIMTWainParams() { UnloadTwain(TwainManager()); }

void TIMTWainParams::SetDefaults() {
  VisibleDialog = true;
  FSourceList.clear();
  FSelectedSource = 0;
  for (TIMDoubleList* l : {&FXResolution, &FYResolution, &FXScaling, &FYScaling, &FContrast, &FBrightness}) l->Clear();
  for (TIMIntegerList* l : {&FPixelType, &FOrientation, &FSupportedSizes}) l->Clear();
  FGamma = 2.2;
  FPhysicalHeight = FPhysicalWidth = 0;
  FThreshold = 128;
  FFeederEnabled = FDuplexEnabled = FMultiFrameOwner;
  FIndicators = true;
  AcquireFrame = {};
  UseAcquireFrame = false;
  BufferedTransfer = true;
  UndefinedImageSize = false;
  FFeederLoaded = FPaperDetectable = FDuplex = false;
  AppVersionInfo.clear();
  AppManufacturer.clear();
  AppProductFamily.clear();
  AppProductName.clear();
  CapabilitiesValid = false;
}

void TIMTWainParams::EnsureRead() {
  if (!CapabilitiesValid && !FReading) {
    FReading = true;
    ExchangeTwainCapabilities(*this, false, nullptr, TwainManager());
    FReading = false;
  }
}

std::vector<TW_IDENTITY>& TIMTWainParams::SourceList() {
  if (FSourceList.empty()) ListTwainSources(FSourceList, TwainManager());
  return FSourceList;
}

void TIMTWainParams::SetSelectedSource(int32_t Index) {
  FSelectedSource = Index;
  CapabilitiesValid = false;
  EnsureRead();
}

bool TIMTWainParams::SelectSourceByName(const std::string& Name) {
  const auto& list = SourceList();
  for (size_t i = 0; i < list.size(); ++i)
    if (StartsWithNoCase(list[i].ProductName, Name)) {
      SetSelectedSource(int32_t(i));
      return true;
    }
  return false;
}

int32_t TIMTWainParams::GetDefaultSourceIndex() {
  const std::string def = GetTwainDefaultSource(TwainManager());
  const auto& list = SourceList();
  for (size_t i = 0; i < list.size(); ++i)
    if (StartsWithNoCase(list[i].ProductName, def)) return int32_t(i);
  return 0;
}

bool TIMTWainParams::ReadCapabilities() { return ExchangeTwainCapabilities(*this, false, nullptr, TwainManager()); }

bool TIMTWainParams::ApplyCapabilities() { return ExchangeTwainCapabilities(*this, true, nullptr, TwainManager()); }

double TIMTWainParams::GetAcquireFrame(int32_t Edge) const {
  switch (Edge) {
    case 0: return AcquireFrame.Left;
    case 1: return AcquireFrame.Top;
    case 2: return AcquireFrame.Right;
    case 3: return AcquireFrame.Bottom;
    default: return 0;
  }
}

void TIMTWainParams::SetAcquireFrame(int32_t Edge, double Value) {
  switch (Edge) {
    case 0: AcquireFrame.Left = Value; break;
    case 1: AcquireFrame.Top = Value; break;
    case 2: AcquireFrame.Right = Value; break;
    case 3: AcquireFrame.Bottom = Value; break;
    default: break;
  }
}

}  // namespace kv

#include "imaging/formats/twain_options.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace kv {

namespace {

constexpr double kMmPerInch = 25.4;

std::string Lower(std::string S) {
  for (char& c : S) c = char(std::tolower(uint8_t(c)));
  return S;
}
bool Has(const std::string& S, const char* Part) { return Lower(S).find(Part) != std::string::npos; }

bool IsFeederSource(const std::string& S) { return Has(S, "adf") || Has(S, "feeder") || Has(S, "automatic document"); }
bool IsDuplexSource(const std::string& S) { return Has(S, "duplex"); }

// The pixel type a SANE mode stands for; -1 when unknown.
int32_t PixelTypeOfMode(const std::string& Mode) {
  if (Has(Mode, "lineart") || Has(Mode, "binary") || Has(Mode, "halftone") || Has(Mode, "black")) return TWPT_BW;
  if (Has(Mode, "gray") || Has(Mode, "grey")) return TWPT_GRAY;
  if (Has(Mode, "color") || Has(Mode, "colour") || Has(Mode, "rgb")) return TWPT_RGB;
  return -1;
}

bool OffersDepth(const TScanDevice& Dev, double Depth) {
  const TScanOption* o = Dev.Option(SANE_NAME_BIT_DEPTH);
  if (!o || !o->Active) return false;
  if (o->Constraint == scWordList) return std::find(o->Words.begin(), o->Words.end(), Depth) != o->Words.end();
  return o->Constraint != scRange || (Depth >= o->Min && Depth <= o->Max);
}

// A list as an option offers it: its range or its values, and the current value.
void ReadList(TScanDevice& Dev, const char* Name, TIMDoubleList& L) {
  L.Clear();
  const TScanOption* o = Dev.Option(Name);
  double cur = 0;
  if (!o || !Dev.GetNumber(Name, cur)) return;
  if (o->Constraint == scRange) {
    L.SetRangeMin(o->Min);
    L.SetRangeMax(o->Max);
    L.SetRangeStep(o->Quant);
  } else if (o->Constraint == scWordList) {
    for (double w : o->Words) L.Add(w);
  }
  L.SetCurrentValue(cur);
  L.SetChanged(0);
}

bool Check(TScanStatus S, const char* What, TTwainManager& Mgr) {
  if (S == ssGood) return true;
  Mgr.Fail(S, std::string(What) + ": " + ScanStatusText(S));
  return false;
}

// Sends a changed list: its current value is what a scanner option takes.
bool SendList(TScanDevice& Dev, const char* Name, const TIMDoubleList& L, TTwainManager& Mgr) {
  if (!(L.Changed() & TIMList::chCurrentValue) || !Dev.Option(Name)) return true;
  return Check(Dev.SetNumber(Name, L.CurrentValue()), Name, Mgr);
}

bool SendPixelType(TScanDevice& Dev, int32_t Type, TTwainManager& Mgr) {
  if (Type > TWPT_RGB) Type = TWPT_RGB;
  if (Type < TWPT_BW) Type = TWPT_BW;
  const TScanOption* mode = Dev.Option(SANE_NAME_SCAN_MODE);
  if (!mode) return true;
  std::string pick, gray;
  for (const std::string& m : mode->Strings) {
    const int32_t t = PixelTypeOfMode(m);
    if (t == Type && pick.empty()) pick = m;
    if (t == TWPT_GRAY && gray.empty()) gray = m;
  }
  bool viaDepth = false;  // lineart as one-bit gray where the device has no lineart mode
  if (pick.empty() && Type == TWPT_BW && !gray.empty()) pick = gray, viaDepth = true;
  if (pick.empty()) {
    Mgr.Fail(ssUnsupported, "Der Scanner bietet diese Farbtiefe nicht an.");
    return false;
  }
  if (!Check(Dev.SetString(SANE_NAME_SCAN_MODE, pick), "mode", Mgr)) return false;
  const double depth = viaDepth ? 1 : 8;
  if (OffersDepth(Dev, depth)) return Check(Dev.SetNumber(SANE_NAME_BIT_DEPTH, depth), "depth", Mgr);
  return true;
}

bool SendFrame(TScanDevice& Dev, const TIMAcquireFrame& F, TTwainManager& Mgr) {
  double dpi = 0;
  Dev.GetNumber(SANE_NAME_SCAN_RESOLUTION, dpi);
  auto send = [&](const char* Name, double Inches) {
    const TScanOption* o = Dev.Option(Name);
    if (!o) return true;
    const double v = o->Unit == 1 /* pixels */ ? Inches * dpi : Inches * kMmPerInch;
    return Check(Dev.SetNumber(Name, v), Name, Mgr);
  };
  // Top-left first, so a shrinking area never crosses its own corner.
  return send(SANE_NAME_SCAN_TL_X, F.Left) && send(SANE_NAME_SCAN_TL_Y, F.Top) &&
         send(SANE_NAME_SCAN_BR_X, F.Right) && send(SANE_NAME_SCAN_BR_Y, F.Bottom);
}

// Paper sizes as the supported-sizes capability numbers them, in millimetres.
struct TPaperSize {
  int32_t Code;
  double Width, Height;
};
constexpr TPaperSize kPaperSizes[] = {
    {1, 210, 297},       {2, 182, 257},   {3, 215.9, 279.4}, {4, 215.9, 355.6}, {5, 148, 210},
    {6, 257, 364},       {7, 128, 182},   {9, 279.4, 431.8}, {10, 184.15, 266.7}, {11, 297, 420},
    {12, 364, 515},      {13, 105, 148},  {14, 229, 324},    {15, 162, 229},    {16, 114, 162},
};

const TPaperSize* PaperSize(int32_t Code) {
  for (const TPaperSize& p : kPaperSizes)
    if (p.Code == Code) return &p;
  return nullptr;
}

// The first option the device has of a few names backends use for one setting.
const TScanOption* FirstOption(TScanDevice& Dev, std::initializer_list<const char*> Names) {
  for (const char* n : Names)
    if (const TScanOption* o = Dev.Option(n); o && o->Active && o->Settable) return o;
  return nullptr;
}

const TScanOption* GammaOption(TScanDevice& Dev) {
  const TScanOption* o = FirstOption(Dev, {SANE_NAME_ANALOG_GAMMA, "gamma"});
  return o && (o->Type == sotFixed || o->Type == sotInt) && o->Size == 4 ? o : nullptr;
}
const TScanOption* ScalingOption(TScanDevice& Dev) {
  const TScanOption* o = FirstOption(Dev, {"scale", "scaling", "zoom"});
  return o && (o->Type == sotFixed || o->Type == sotInt) && o->Size == 4 ? o : nullptr;
}
const TScanOption* RotationOption(TScanDevice& Dev) { return FirstOption(Dev, {"rotation", "rotate", "orientation"}); }

// The capability's orientation (0, 90, 180, 270 degrees as 0..3) onto the
// device's rotation option: a number of degrees, or the choice naming them.
bool SendOrientation(TScanDevice& Dev, int32_t Orientation, TTwainManager& Mgr) {
  const TScanOption* o = RotationOption(Dev);
  if (!o) return true;
  const int32_t degrees = ((Orientation % 4) + 4) % 4 * 90;
  if (o->Type == sotString) {
    const std::string want = std::to_string(degrees);
    for (const std::string& s : o->Strings)
      if (s.find(want) != std::string::npos || (degrees == 0 && (Has(s, "none") || Has(s, "portrait"))))
        return Check(Dev.SetString(o->Name, s), "orientation", Mgr);
    Mgr.Fail(ssUnsupported, "Der Scanner bietet diese Ausrichtung nicht an.");
    return false;
  }
  return Check(Dev.SetNumber(o->Name, degrees), "orientation", Mgr);
}

// A paper size becomes the scan area from the top-left corner, cut to what the device reaches.
bool SendPaperSize(TScanDevice& Dev, int32_t Code, TTwainManager& Mgr) {
  const TPaperSize* paper = PaperSize(Code);
  if (!paper || !Dev.Option(SANE_NAME_SCAN_BR_X) || !Dev.Option(SANE_NAME_SCAN_BR_Y)) return true;
  double dpi = 0;
  Dev.GetNumber(SANE_NAME_SCAN_RESOLUTION, dpi);
  auto send = [&](const char* Name, double Mm) {
    const TScanOption* o = Dev.Option(Name);
    if (!o) return true;
    double v = o->Unit == 1 /* pixels */ ? Mm / kMmPerInch * dpi : Mm;
    if (o->Constraint == scRange) v = std::clamp(v, o->Min, o->Max);
    return Check(Dev.SetNumber(Name, v), Name, Mgr);
  };
  return send(SANE_NAME_SCAN_TL_X, 0) && send(SANE_NAME_SCAN_TL_Y, 0) && send(SANE_NAME_SCAN_BR_X, paper->Width) &&
         send(SANE_NAME_SCAN_BR_Y, paper->Height);
}

double ReadInches(TScanDevice& Dev, const char* Name) {
  const TScanOption* o = Dev.Option(Name);
  double v = 0, dpi = 0;
  if (!o || !Dev.GetNumber(Name, v)) return 0;
  if (o->Unit == 1) return Dev.GetNumber(SANE_NAME_SCAN_RESOLUTION, dpi) && dpi > 0 ? v / dpi : 0;
  return v / kMmPerInch;
}

}  // namespace

std::unique_ptr<TScanDevice> OpenTwainSource(TIMTWainParams& Params, TTwainManager& Mgr) {
  if (!LoadTwainManager(Mgr)) return nullptr;
  std::vector<TW_IDENTITY>& list = Params.FSourceList;
  if (list.empty()) ListTwainSources(list, Mgr);
  if (list.empty()) {
    Mgr.Fail(ssInval, kNoScannerText);
    return nullptr;
  }
  const int32_t i = Params.SelectedSource();
  const TW_IDENTITY& id = list[size_t(i >= 0 && size_t(i) < list.size() ? i : 0)];
  auto dev = std::make_unique<TScanDevice>(*Mgr.Session, id.DeviceName);
  if (!dev->Opened()) {
    Mgr.Fail(dev->OpenStatus(), id.ProductName + ": " + ScanStatusText(dev->OpenStatus()));
    return nullptr;
  }
  return dev;
}

bool SendTwainCapabilities(TIMTWainParams& P, TScanDevice& Dev, TTwainManager& Mgr) {
  if (!SendList(Dev, SANE_NAME_CONTRAST, P.FContrast, Mgr)) return false;
  if (!SendList(Dev, SANE_NAME_BRIGHTNESS, P.FBrightness, Mgr)) return false;
  if (P.FThreshold != 128 && Dev.Option(SANE_NAME_THRESHOLD) &&
      !Check(Dev.SetNumber(SANE_NAME_THRESHOLD, P.FThreshold), "threshold", Mgr))
    return false;
  // Pixel type before the resolution: a mode change may reload the other options.
  if ((P.FPixelType.Changed() & TIMList::chCurrentValue) &&
      !SendPixelType(Dev, P.FPixelType.CurrentValue(), Mgr))
    return false;
  const bool split = Dev.Option(SANE_NAME_SCAN_X_RESOLUTION) != nullptr;
  if (!SendList(Dev, split ? SANE_NAME_SCAN_X_RESOLUTION : SANE_NAME_SCAN_RESOLUTION, P.FXResolution, Mgr))
    return false;
  if (split && !SendList(Dev, SANE_NAME_SCAN_Y_RESOLUTION, P.FYResolution, Mgr)) return false;
  if (const TScanOption* src = Dev.Option(SANE_NAME_SCAN_SOURCE)) {
    std::string pick;
    for (const std::string& s : src->Strings) {
      const bool feeder = IsFeederSource(s) || IsDuplexSource(s);
      if (feeder != P.FFeederEnabled) continue;
      if (P.FFeederEnabled && IsDuplexSource(s) != P.FDuplexEnabled && !pick.empty()) continue;
      if (pick.empty() || (P.FFeederEnabled && IsDuplexSource(s) == P.FDuplexEnabled)) pick = s;
    }
    if (P.FFeederEnabled && pick.empty()) {
      Mgr.Fail(ssUnsupported, "Der Scanner hat keinen Dokumenteinzug.");
      return false;
    }
    if (!pick.empty() && !Check(Dev.SetString(SANE_NAME_SCAN_SOURCE, pick), "source", Mgr)) return false;
  }
  if (const TScanOption* o = ScalingOption(Dev); o && (P.FXScaling.Changed() & TIMList::chCurrentValue)) {
    const double factor = P.FXScaling.CurrentValue();
    if (!Check(Dev.SetNumber(o->Name, o->Unit == 5 /* percent */ ? factor * 100 : factor), "scaling", Mgr))
      return false;
  }
  if ((P.FOrientation.Changed() & TIMList::chCurrentValue) && !SendOrientation(Dev, P.FOrientation.CurrentValue(), Mgr))
    return false;
  if ((P.FSupportedSizes.Changed() & TIMList::chCurrentValue) &&
      !SendPaperSize(Dev, P.FSupportedSizes.CurrentValue(), Mgr))
    return false;
  if (const TScanOption* o = GammaOption(Dev)) {
    double have = 0;
    if (Dev.GetNumber(o->Name, have) && have != P.FGamma && !Check(Dev.SetNumber(o->Name, P.FGamma), "gamma", Mgr))
      return false;
  }
  if (P.UseAcquireFrame && !SendFrame(Dev, P.AcquireFrame, Mgr)) return false;
  return true;
}

void ReadTwainCapabilities(TIMTWainParams& P, TScanDevice& Dev) {
  const bool split = Dev.Option(SANE_NAME_SCAN_X_RESOLUTION) != nullptr;
  ReadList(Dev, split ? SANE_NAME_SCAN_X_RESOLUTION : SANE_NAME_SCAN_RESOLUTION, P.FXResolution);
  ReadList(Dev, split ? SANE_NAME_SCAN_Y_RESOLUTION : SANE_NAME_SCAN_RESOLUTION, P.FYResolution);
  for (TIMDoubleList* l : {&P.FXScaling, &P.FYScaling}) {
    l->Clear();
    l->Add(1.0);
    double v = 0;
    const TScanOption* o = ScalingOption(Dev);
    l->SetCurrentValue(o && Dev.GetNumber(o->Name, v) && v > 0 ? (o->Unit == 5 ? v / 100 : v) : 1.0);
    l->SetChanged(0);
  }
  ReadList(Dev, SANE_NAME_CONTRAST, P.FContrast);
  ReadList(Dev, SANE_NAME_BRIGHTNESS, P.FBrightness);
  double v = 128;
  P.FThreshold = Dev.GetNumber(SANE_NAME_THRESHOLD, v) ? int32_t(v) : 128;

  P.FPixelType.Clear();
  if (const TScanOption* mode = Dev.Option(SANE_NAME_SCAN_MODE)) {
    for (const std::string& m : mode->Strings) {
      const int32_t t = PixelTypeOfMode(m);
      if (t >= 0 && P.FPixelType.IndexOf(t) < 0) P.FPixelType.Add(t);
    }
    if (P.FPixelType.IndexOf(TWPT_BW) < 0 && P.FPixelType.IndexOf(TWPT_GRAY) >= 0 && OffersDepth(Dev, 1))
      P.FPixelType.Add(TWPT_BW);
    std::string cur;
    double depth = 8;
    Dev.GetNumber(SANE_NAME_BIT_DEPTH, depth);
    if (Dev.GetString(SANE_NAME_SCAN_MODE, cur)) {
      int32_t t = PixelTypeOfMode(cur);
      if (t == TWPT_GRAY && depth == 1) t = TWPT_BW;
      P.FPixelType.SetCurrentValue(std::max(t, 0));
    }
  }
  P.FGamma = 2.2;
  if (const TScanOption* o = GammaOption(Dev)) {
    double g = 0;
    if (Dev.GetNumber(o->Name, g) && g > 0) P.FGamma = g;
  }
  const TScanOption* brx = Dev.Option(SANE_NAME_SCAN_BR_X);
  const TScanOption* bry = Dev.Option(SANE_NAME_SCAN_BR_Y);
  P.FPhysicalWidth = brx && brx->Constraint == scRange && brx->Unit == 3 ? brx->Max / kMmPerInch : 0;
  P.FPhysicalHeight = bry && bry->Constraint == scRange && bry->Unit == 3 ? bry->Max / kMmPerInch : 0;

  std::string src;
  const TScanOption* so = Dev.Option(SANE_NAME_SCAN_SOURCE);
  const bool hasSource = Dev.GetString(SANE_NAME_SCAN_SOURCE, src);
  P.FFeederEnabled = hasSource && (IsFeederSource(src) || IsDuplexSource(src));
  P.FDuplexEnabled = hasSource && IsDuplexSource(src);
  // The layer cannot tell whether paper lies in the feeder before a scan.
  P.FFeederLoaded = false;
  P.FPaperDetectable = false;
  P.FDuplex = so && std::any_of(so->Strings.begin(), so->Strings.end(), IsDuplexSource);
  P.FOrientation.Clear();
  P.FOrientation.Add(0);
  if (const TScanOption* o = RotationOption(Dev)) {
    for (int32_t q = 1; q < 4; ++q) {
      const double degrees = q * 90;
      const bool offered =
          o->Type == sotString
              ? std::any_of(o->Strings.begin(), o->Strings.end(),
                            [&](const std::string& S) { return S.find(std::to_string(q * 90)) != std::string::npos; })
              : o->Constraint == scWordList ? std::find(o->Words.begin(), o->Words.end(), degrees) != o->Words.end()
                                            : o->Constraint != scRange || (degrees >= o->Min && degrees <= o->Max);
      if (offered) P.FOrientation.Add(q);
    }
  }
  P.FOrientation.SetChanged(0);
  // The sizes whose paper the scan area can hold.
  P.FSupportedSizes.Clear();
  if (brx && bry && brx->Constraint == scRange && bry->Constraint == scRange && brx->Unit == 3 && bry->Unit == 3) {
    P.FSupportedSizes.Add(0);
    for (const TPaperSize& paper : kPaperSizes)
      if (paper.Width <= brx->Max + 0.5 && paper.Height <= bry->Max + 0.5) P.FSupportedSizes.Add(paper.Code);
    P.FSupportedSizes.SetCurrentValue(0);
  }
  P.FSupportedSizes.SetChanged(0);
  P.FIndicators = true;
  if (P.UseAcquireFrame) {
    P.AcquireFrame.Left = ReadInches(Dev, SANE_NAME_SCAN_TL_X);
    P.AcquireFrame.Top = ReadInches(Dev, SANE_NAME_SCAN_TL_Y);
    P.AcquireFrame.Right = ReadInches(Dev, SANE_NAME_SCAN_BR_X);
    P.AcquireFrame.Bottom = ReadInches(Dev, SANE_NAME_SCAN_BR_Y);
  }
}

bool ExchangeTwainCapabilities(TIMTWainParams& Params, bool Send, void*, TTwainManager& Mgr) {
  std::unique_ptr<TScanDevice> dev = OpenTwainSource(Params, Mgr);
  if (!dev) return false;
  if (Send && !SendTwainCapabilities(Params, *dev, Mgr)) return false;
  ReadTwainCapabilities(Params, *dev);
  if (!Send)
    for (TIMList* l : std::initializer_list<TIMList*>{&Params.FXResolution, &Params.FYResolution, &Params.FXScaling,
                                                       &Params.FYScaling, &Params.FPixelType, &Params.FOrientation,
                                                       &Params.FContrast, &Params.FBrightness})
      l->SetChanged(0);
  Params.CapabilitiesValid = true;
  return true;
}

}  // namespace kv

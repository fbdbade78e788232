// Our scanner layer: a thin owner of SANE. Devices are listed, opened and
// driven by option name; every read loop ends on end of frame, cancel or error.
// Nothing here knows about bitmaps: callers get raw frames and options.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

// Status codes as SANE numbers them (0 good, 2 cancelled, 5 end of file, 7 no docs ...).
using TScanStatus = int32_t;
constexpr TScanStatus ssGood = 0;
constexpr TScanStatus ssCancelled = 2;
constexpr TScanStatus ssEof = 5;
constexpr TScanStatus ssNoDocs = 7;
constexpr TScanStatus ssInval = 4;
constexpr TScanStatus ssUnsupported = 1;

std::string ScanStatusText(TScanStatus Status);

struct TScanDeviceInfo {
  std::string Name;    // the device name SANE opens ("test:0")
  std::string Vendor;
  std::string Model;
  std::string Type;
};

enum TScanOptionType : uint8_t { sotBool, sotInt, sotFixed, sotString, sotButton, sotGroup };
enum TScanConstraint : uint8_t { scNone, scRange, scWordList, scStringList };

struct TScanOption {
  int32_t Index = 0;
  std::string Name;
  std::string Title;        // what a dialog shows for it
  TScanOptionType Type = sotInt;
  int32_t Unit = 0;         // SANE unit: 3 mm, 4 dpi
  int32_t Size = 0;
  bool Active = false;
  bool Settable = false;
  TScanConstraint Constraint = scNone;
  double Min = 0, Max = 0, Quant = 0;     // range (fixed values as doubles)
  std::vector<double> Words;              // word list
  std::vector<std::string> Strings;       // string list
};

// Frame kinds of SANE: gray, RGB interleaved, or one colour of a three-pass scan.
enum TScanFrame : uint8_t { sfGray, sfRGB, sfRed, sfGreen, sfBlue };

struct TScanParameters {
  TScanFrame Format = sfGray;
  bool LastFrame = true;
  int32_t BytesPerLine = 0;
  int32_t PixelsPerLine = 0;
  int32_t Lines = 0;        // -1: not known before the end
  int32_t Depth = 8;
};

// Holds SANE initialised while alive; the first session initialises, the
// last one gone exits. Only one thread (the GUI thread) uses it.
class TScanSession {
 public:
  TScanSession();
  ~TScanSession();
  TScanSession(const TScanSession&) = delete;
  TScanSession& operator=(const TScanSession&) = delete;

  bool Ready() const { return FReady; }
  // The devices present now (local ones only: no network probing).
  std::vector<TScanDeviceInfo> Devices(TScanStatus* Status = nullptr) const;

 private:
  bool FReady = false;
};

class TScanDevice {
 public:
  // Opens Name on a live session; Status tells why when Opened() is false.
  TScanDevice(const TScanSession& Session, const std::string& Name);
  ~TScanDevice();
  TScanDevice(const TScanDevice&) = delete;
  TScanDevice& operator=(const TScanDevice&) = delete;

  bool Opened() const { return FHandle != nullptr; }
  TScanStatus OpenStatus() const { return FOpenStatus; }

  // nullptr when the device has no such option.
  const TScanOption* Option(const std::string& Name) const;
  const std::vector<TScanOption>& Options() const { return FOptions; }

  // Numeric options read and written as doubles (fixed and int alike; bools as 0/1).
  bool GetNumber(const std::string& Name, double& Value) const;
  TScanStatus SetNumber(const std::string& Name, double Value);
  bool GetString(const std::string& Name, std::string& Value) const;
  TScanStatus SetString(const std::string& Name, const std::string& Value);

  TScanStatus Start();
  TScanStatus Parameters(TScanParameters& P) const;
  // Reads up to Max bytes; Got is what arrived. ssEof ends the frame.
  TScanStatus Read(uint8_t* Buffer, int32_t Max, int32_t& Got);
  void Cancel();

 private:
  void LoadOptions();
  void* FHandle = nullptr;
  TScanStatus FOpenStatus = ssGood;
  std::vector<TScanOption> FOptions;
};

}  // namespace kv

#include "platform/devices/sane_scanner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <cmath>
#include <cstring>

#include "platform/rtl/exceptions.h"

namespace kv {

namespace {

int GSessions = 0;

SANE_Handle H(void* P) { return static_cast<SANE_Handle>(P); }

double FromWord(SANE_Value_Type T, SANE_Word W) {
  return T == SANE_TYPE_FIXED ? SANE_UNFIX(W) : double(W);
}

SANE_Word ToWord(SANE_Value_Type T, double V) {
  if (T == SANE_TYPE_FIXED) {
    // SANE_FIX of a value beyond +-32767 overflows its 32-bit word.
    V = std::fmax(-32767.0, std::fmin(32767.0, V));
    return SANE_FIX(V);
  }
  V = std::fmax(-2147483647.0, std::fmin(2147483647.0, std::nearbyint(V)));
  return SANE_Word(V);
}

}  // namespace

// SANE's own texts follow the installed locales; these do not.
std::string ScanStatusText(TScanStatus Status) {
  switch (SANE_Status(Status)) {
    case SANE_STATUS_GOOD: return "Erfolg";
    case SANE_STATUS_UNSUPPORTED: return "Vorgang wird nicht unterstützt";
    case SANE_STATUS_CANCELLED: return "Vorgang wurde abgebrochen";
    case SANE_STATUS_DEVICE_BUSY: return "Gerät ist belegt";
    case SANE_STATUS_INVAL: return "Ungültige Angabe";
    case SANE_STATUS_EOF: return "Keine weiteren Daten";
    case SANE_STATUS_JAMMED: return "Papierstau im Einzug";
    case SANE_STATUS_NO_DOCS: return "Kein Dokument im Einzug";
    case SANE_STATUS_COVER_OPEN: return "Die Abdeckung des Scanners ist offen";
    case SANE_STATUS_IO_ERROR: return "Ein-/Ausgabefehler beim Scanner";
    case SANE_STATUS_NO_MEM: return kOutOfMemoryText;
    case SANE_STATUS_ACCESS_DENIED: return "Zugriff verweigert";
    default: return "Scannerfehler " + std::to_string(int(Status));
  }
}

TScanSession::TScanSession() {
  if (GSessions == 0) {
    SANE_Int version = 0;
    if (sane_init(&version, nullptr) != SANE_STATUS_GOOD) return;
  }
  ++GSessions;
  FReady = true;
}

TScanSession::~TScanSession() {
  if (!FReady) return;
  if (--GSessions == 0) sane_exit();
}

std::vector<TScanDeviceInfo> TScanSession::Devices(TScanStatus* Status) const {
  std::vector<TScanDeviceInfo> r;
  if (!FReady) {
    if (Status) *Status = SANE_STATUS_INVAL;
    return r;
  }
  const SANE_Device** list = nullptr;
  const SANE_Status s = sane_get_devices(&list, SANE_TRUE);
  if (Status) *Status = s;
  if (s != SANE_STATUS_GOOD || !list) return r;
  auto str = [](const char* p) { return p ? std::string(p) : std::string(); };
  for (int i = 0; list[i]; ++i)
    r.push_back({str(list[i]->name), str(list[i]->vendor), str(list[i]->model), str(list[i]->type)});
  return r;
}

TScanDevice::TScanDevice(const TScanSession& Session, const std::string& Name) {
  if (!Session.Ready()) {
    FOpenStatus = SANE_STATUS_INVAL;
    return;
  }
  SANE_Handle h = nullptr;
  FOpenStatus = sane_open(Name.c_str(), &h);
  if (FOpenStatus != SANE_STATUS_GOOD) return;
  FHandle = h;
  LoadOptions();
}

TScanDevice::~TScanDevice() {
  if (FHandle) {
    sane_cancel(H(FHandle));
    sane_close(H(FHandle));
  }
}

void TScanDevice::LoadOptions() {
  FOptions.clear();
  SANE_Int count = 0;
  if (sane_control_option(H(FHandle), 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
    return;
  for (SANE_Int i = 1; i < count && i < 10000; ++i) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(FHandle), i);
    if (!d) continue;
    TScanOption o;
    o.Index = i;
    o.Name = d->name ? d->name : "";
    o.Title = d->title ? d->title : "";
    switch (d->type) {
      case SANE_TYPE_BOOL: o.Type = sotBool; break;
      case SANE_TYPE_INT: o.Type = sotInt; break;
      case SANE_TYPE_FIXED: o.Type = sotFixed; break;
      case SANE_TYPE_STRING: o.Type = sotString; break;
      case SANE_TYPE_BUTTON: o.Type = sotButton; break;
      default: o.Type = sotGroup; break;
    }
    o.Unit = d->unit;
    o.Size = d->size;
    o.Active = SANE_OPTION_IS_ACTIVE(d->cap);
    o.Settable = SANE_OPTION_IS_SETTABLE(d->cap);
    if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
      o.Constraint = scRange;
      o.Min = FromWord(d->type, d->constraint.range->min);
      o.Max = FromWord(d->type, d->constraint.range->max);
      o.Quant = FromWord(d->type, d->constraint.range->quant);
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
      o.Constraint = scWordList;
      const SANE_Word n = d->constraint.word_list[0];
      for (SANE_Word k = 1; k <= n && k < 10000; ++k)
        o.Words.push_back(FromWord(d->type, d->constraint.word_list[k]));
    } else if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list) {
      o.Constraint = scStringList;
      for (int k = 0; d->constraint.string_list[k] && k < 10000; ++k)
        o.Strings.emplace_back(d->constraint.string_list[k]);
    }
    if (!o.Name.empty()) FOptions.push_back(std::move(o));
  }
}

const TScanOption* TScanDevice::Option(const std::string& Name) const {
  for (const TScanOption& o : FOptions)
    if (o.Name == Name) return &o;
  return nullptr;
}

bool TScanDevice::GetNumber(const std::string& Name, double& Value) const {
  const TScanOption* o = Option(Name);
  if (!FHandle || !o || !o->Active || (o->Type != sotInt && o->Type != sotFixed && o->Type != sotBool))
    return false;
  // Array options (size > one word) give their first element.
  std::vector<SANE_Word> buf(size_t(std::max<int32_t>(1, o->Size / int32_t(sizeof(SANE_Word)))));
  if (sane_control_option(H(FHandle), o->Index, SANE_ACTION_GET_VALUE, buf.data(), nullptr) != SANE_STATUS_GOOD)
    return false;
  Value = FromWord(o->Type == sotFixed ? SANE_TYPE_FIXED : SANE_TYPE_INT, buf[0]);
  return true;
}

TScanStatus TScanDevice::SetNumber(const std::string& Name, double Value) {
  const TScanOption* o = Option(Name);
  if (!FHandle || !o || !o->Settable || !o->Active) return SANE_STATUS_UNSUPPORTED;
  if (o->Type != sotInt && o->Type != sotFixed && o->Type != sotBool) return SANE_STATUS_INVAL;
  const SANE_Value_Type t = o->Type == sotFixed ? SANE_TYPE_FIXED : SANE_TYPE_INT;
  std::vector<SANE_Word> buf(size_t(std::max<int32_t>(1, o->Size / int32_t(sizeof(SANE_Word)))),
                             ToWord(t, o->Type == sotBool ? (Value != 0 ? 1 : 0) : Value));
  SANE_Int info = 0;
  const SANE_Status s = sane_control_option(H(FHandle), o->Index, SANE_ACTION_SET_VALUE, buf.data(), &info);
  if (s == SANE_STATUS_GOOD && (info & SANE_INFO_RELOAD_OPTIONS)) LoadOptions();
  return s;
}

bool TScanDevice::GetString(const std::string& Name, std::string& Value) const {
  const TScanOption* o = Option(Name);
  if (!FHandle || !o || !o->Active || o->Type != sotString || o->Size <= 0 || o->Size > (1 << 20)) return false;
  std::vector<char> buf(size_t(o->Size) + 1, '\0');
  if (sane_control_option(H(FHandle), o->Index, SANE_ACTION_GET_VALUE, buf.data(), nullptr) != SANE_STATUS_GOOD)
    return false;
  Value.assign(buf.data(), strnlen(buf.data(), size_t(o->Size)));
  return true;
}

TScanStatus TScanDevice::SetString(const std::string& Name, const std::string& Value) {
  const TScanOption* o = Option(Name);
  if (!FHandle || !o || !o->Settable || !o->Active) return SANE_STATUS_UNSUPPORTED;
  if (o->Type != sotString || o->Size <= 0 || Value.size() >= size_t(o->Size)) return SANE_STATUS_INVAL;
  std::vector<char> buf(size_t(o->Size), '\0');
  std::memcpy(buf.data(), Value.data(), Value.size());
  SANE_Int info = 0;
  const SANE_Status s = sane_control_option(H(FHandle), o->Index, SANE_ACTION_SET_VALUE, buf.data(), &info);
  if (s == SANE_STATUS_GOOD && (info & SANE_INFO_RELOAD_OPTIONS)) LoadOptions();
  return s;
}

TScanStatus TScanDevice::Start() {
  if (!FHandle) return SANE_STATUS_INVAL;
  const SANE_Status s = sane_start(H(FHandle));
  // Blocking reads: our loops must never spin on "no data yet".
  if (s == SANE_STATUS_GOOD) sane_set_io_mode(H(FHandle), SANE_FALSE);
  return s;
}

TScanStatus TScanDevice::Parameters(TScanParameters& P) const {
  if (!FHandle) return SANE_STATUS_INVAL;
  SANE_Parameters p{};
  const SANE_Status s = sane_get_parameters(H(FHandle), &p);
  if (s != SANE_STATUS_GOOD) return s;
  switch (p.format) {
    case SANE_FRAME_RGB: P.Format = sfRGB; break;
    case SANE_FRAME_RED: P.Format = sfRed; break;
    case SANE_FRAME_GREEN: P.Format = sfGreen; break;
    case SANE_FRAME_BLUE: P.Format = sfBlue; break;
    case SANE_FRAME_GRAY: P.Format = sfGray; break;
    default: return SANE_STATUS_UNSUPPORTED;
  }
  P.LastFrame = p.last_frame != 0;
  P.BytesPerLine = p.bytes_per_line;
  P.PixelsPerLine = p.pixels_per_line;
  P.Lines = p.lines;
  P.Depth = p.depth;
  return SANE_STATUS_GOOD;
}

TScanStatus TScanDevice::Read(uint8_t* Buffer, int32_t Max, int32_t& Got) {
  Got = 0;
  if (!FHandle || Max <= 0) return SANE_STATUS_INVAL;
  SANE_Int n = 0;
  const SANE_Status s = sane_read(H(FHandle), Buffer, Max, &n);
  Got = (s == SANE_STATUS_GOOD && n > 0 && n <= Max) ? n : 0;
  return s;
}

void TScanDevice::Cancel() {
  if (FHandle) sane_cancel(H(FHandle));
}

}  // namespace kv

#include "platform/system/clipboard_service.h"

namespace kv {

namespace {
TClipboardService* GService = nullptr;
}  // namespace

TClipboardService* ClipboardService() { return GService; }

void SetClipboardService(TClipboardService* Service) { GService = Service; }

}  // namespace kv

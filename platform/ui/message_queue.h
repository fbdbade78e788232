// Posted messages: a message put in the queue now and delivered by the event
// loop later, to a control's WindowProc or to a hidden message window made
// with AllocateHWnd. Messages keep their order; one posted while the queue is
// being delivered waits for the next round.
#pragma once
#include "platform/ui/controls.h"

namespace kv {

// A window that only receives messages (no peer, never shown). Its window id
// is unique among all windows; DeallocateHWnd drops the messages still queued for it.
HWND AllocateHWnd(TWndMethod Method);
void DeallocateHWnd(HWND Wnd);

// Queues the message for the window (a control's Handle or an allocated
// window). Returns false for a window id that is not known.
bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
// Removes the first queued message of that number for the window (0: any
// window); returns whether one was removed and gives it in Removed.
bool RemovePendingMessage(HWND Wnd, UINT Msg, TMessage* Removed = nullptr);
// Number of queued messages, for tests.
int32_t PendingMessageCount();

}  // namespace kv
